// The target grid and what fills and empties it.
#include "combat/target_grid.h"

#include <algorithm>

#include "combat/game_state.h"
#include "combat/house_events.h"
#include "combat/cycle_updates.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "map/map_grid.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

TTargetGrid g_TargetGrid;
std::uint8_t g_DiplomacyMatrix[8][8] = {};

namespace {

std::int32_t MapColumns()
{
    return static_cast<std::int32_t>(g_MapWidth) * kCellWidth / TTargetGrid::kCellWidth;
}
std::int32_t MapRows()
{
    return static_cast<std::int32_t>(g_MapHeight) * kRowStep / TTargetGrid::kCellHeight;
}

// A grid made for another map is sized anew before anything is filed in it.
void FitToMap(TTargetGrid& g)
{
    if (g.CellCount() == 0 || g.Columns() != MapColumns() || g.Rows() != MapRows())
        g.Reset();
}

} // namespace

void TTargetGrid::Reset()
{
    m_Columns = MapColumns();
    m_Rows = MapRows();
    const std::size_t cells = static_cast<std::size_t>(m_Columns) * static_cast<std::size_t>(m_Rows) + 200;
    m_Units.assign(cells, {});
    m_Houses.assign(cells, {});
}

void TTargetGrid::ClearUnits()
{
    for (auto& c : m_Units)
        c.clear();
}

void TTargetGrid::ClearHouses()
{
    for (auto& c : m_Houses)
        c.clear();
}

void TTargetGrid::ClearBoth()
{
    ClearUnits();
    ClearHouses();
}

std::int64_t TTargetGrid::CellOf(float x, float y) const
{
    if (!(x >= 0.0f) || !(y >= 0.0f))
        return -1;
    const std::int64_t cell = static_cast<std::int64_t>(y * kInverseHeight) * m_Columns +
                              static_cast<std::int64_t>(x * kInverseWidth);
    return cell < static_cast<std::int64_t>(m_Units.size()) ? cell : -1;
}

void TTargetGrid::AddUnit(TUnit* u)
{
    const std::int64_t c = CellOf(u->X, u->Y);
    if (c >= 0)
        m_Units[static_cast<std::size_t>(c)].push_back(u);
}

void TTargetGrid::AddHouse(THouse* h)
{
    const TFloatPoint centre = HouseCentre(h);
    const std::int64_t c = CellOf(centre.x, centre.y);
    if (c >= 0)
        m_Houses[static_cast<std::size_t>(c)].push_back(h);
}

void TTargetGrid::RemoveUnit(const TUnit* u)
{
    for (auto& c : m_Units)
        c.erase(std::remove(c.begin(), c.end(), u), c.end());
}

std::uint32_t CountAllUnits()
{
    std::uint32_t n = 0;
    for (std::uint16_t p = 0; p < g_wNumPlayer && p < UNIT_PLAYERS; ++p)
        if (g_Strateg[p] != nullptr && g_Strateg[p]->Dead == 0)
            n += NumUnits[p];
    return n;
}

void AddUnitToTargetGrid(TUnit* u)
{
    if (u == nullptr || !(u->X < static_cast<float>(g_MapPixelWidth)) || !(u->Y < static_cast<float>(g_MapPixelHeight)))
        return;
    FitToMap(g_TargetGrid);
    g_TargetGrid.AddUnit(u);
}

void AddHouseToTargetGrid(THouse* h)
{
    if (h == nullptr)
        return;
    FitToMap(g_TargetGrid);
    g_TargetGrid.AddHouse(h);
}

void ResetTargetGrid()
{
    g_TargetGrid.Reset();
}

void ResetDiplomacyMatrix()
{
    for (int a = 0; a < 8; ++a)
        for (int b = 0; b < 8; ++b)
            g_DiplomacyMatrix[a][b] = a == b ? 1 : 0;
    // A new game starts with nothing of the last one filed.
    g_TargetGrid.ClearBoth();
}

void ClearTargetGridUnits()
{
    g_TargetGrid.ClearUnits();
}
// Every 33 frames the units register afresh, and the attack points resting on them are counted
// afresh with them.
void RefreshTargetGridUnits()
{
    g_TargetGrid.ClearUnits();
    RecountAttackPoints();
}
void RefreshTargetGridHouses()
{
    g_TargetGrid.ClearHouses();
}
void RemoveUnitFromTargetGrid(const TUnit* unit)
{
    g_TargetGrid.RemoveUnit(unit);
}
