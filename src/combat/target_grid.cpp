// The target grid and what fills and empties it.
#include "combat/target_grid.h"

#include <algorithm>
#include <unordered_map>

#include "combat/game_state.h"
#include "combat/house_events.h"
#include "combat/cycle_updates.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "core/error_log.h"
#include "core/memory_stream.h"
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

constexpr std::uint8_t kNeutralSlot = 8;

// The first unit of an owner's list: the eight players' and the neutral one.
TUnit* FirstUnitOf(std::uint8_t slot)
{
    if (slot == kNeutralSlot)
        return g_NeutralUnitList;
    return slot < 8 && g_Strateg[slot] != nullptr ? g_Strateg[slot]->FirstUnit : nullptr;
}

std::uint32_t HouseCountOf(std::uint8_t slot)
{
    if (g_pHouse[slot] == nullptr)
        return 0;
    return slot == kNeutralSlot ? g_NeutralHouseCount : NumHouse[slot];
}

struct TGridRef {
    std::uint8_t slot;
    std::uint32_t index;
};

void WriteEntries(TOfStreamMemory& out, const std::vector<TTargetGridEntry>& entries)
{
    out.WriteU32(static_cast<std::uint32_t>(entries.size()));
    for (const TTargetGridEntry& e : entries) {
        out.WriteU32(e.cell);
        out.WriteU8(e.slot);
        out.WriteU32(e.index);
    }
}

bool ReadEntries(TIfStreamMemory& in, std::vector<TTargetGridEntry>& entries)
{
    constexpr std::int32_t kEntryBytes = 9;
    std::uint32_t count = 0;
    if (!in.ReadU32(count) || count > static_cast<std::uint32_t>(in.Remaining() / kEntryBytes))
        return false;
    entries.resize(count);
    for (TTargetGridEntry& e : entries) {
        in.ReadU32(e.cell);
        in.ReadU8(e.slot);
        in.ReadU32(e.index);
        if (e.slot > kNeutralSlot)
            return false;
    }
    return !in.Failed();
}

} // namespace

bool TTargetGrid::PutUnit(std::size_t cell, TUnit* unit)
{
    if (cell >= m_Units.size())
        return false;
    m_Units[cell].push_back(unit);
    return true;
}

bool TTargetGrid::PutHouse(std::size_t cell, THouse* house)
{
    if (cell >= m_Houses.size())
        return false;
    m_Houses[cell].push_back(house);
    return true;
}

void SaveTargetGrid(TOfStreamMemory& out)
{
    // Entries are named by what owns them; an entry of nothing known is not written.
    std::unordered_map<const void*, TGridRef> known;
    for (std::uint8_t slot = 0; slot <= kNeutralSlot; ++slot) {
        std::uint32_t i = 0;
        for (const TUnit* u = FirstUnitOf(slot); u != nullptr; u = u->m_pNext, ++i)
            known.emplace(u, TGridRef{slot, i});
        for (std::uint32_t h = 0; h < HouseCountOf(slot); ++h)
            known.emplace(&g_pHouse[slot][h], TGridRef{slot, h});
    }
    TTargetGridImage image;
    const TTargetGrid& g = g_TargetGrid;
    for (std::size_t c = 0; c < g.CellCount(); ++c) {
        for (const TUnit* u : g.UnitsAt(c))
            if (auto it = known.find(u); it != known.end())
                image.units.push_back({static_cast<std::uint32_t>(c), it->second.slot, it->second.index});
        for (const THouse* h : g.HousesAt(c))
            if (auto it = known.find(h); it != known.end())
                image.houses.push_back({static_cast<std::uint32_t>(c), it->second.slot, it->second.index});
    }
    WriteEntries(out, image.units);
    WriteEntries(out, image.houses);
}

bool ReadTargetGrid(TIfStreamMemory& in, TTargetGridImage& image)
{
    if (!ReadEntries(in, image.units) || !ReadEntries(in, image.houses)) {
        ReportError("Target grid: the entries are cut short or bad");
        return false;
    }
    return true;
}

bool RestoreTargetGrid(const TTargetGridImage& image)
{
    g_TargetGrid.Reset();
    std::vector<TUnit*> units[kNeutralSlot + 1];
    for (std::uint8_t slot = 0; slot <= kNeutralSlot; ++slot)
        for (TUnit* u = FirstUnitOf(slot); u != nullptr; u = u->m_pNext)
            units[slot].push_back(u);
    bool ok = true;
    for (const TTargetGridEntry& e : image.units)
        ok = e.index < units[e.slot].size() && g_TargetGrid.PutUnit(e.cell, units[e.slot][e.index]) && ok;
    for (const TTargetGridEntry& e : image.houses)
        ok = e.index < HouseCountOf(e.slot) && g_TargetGrid.PutHouse(e.cell, &g_pHouse[e.slot][e.index]) && ok;
    if (!ok)
        ReportError("Target grid: an entry names no unit or building of the game");
    return ok;
}

void RefillTargetGrid()
{
    g_TargetGrid.Reset();
    for (std::uint8_t slot = 0; slot < 8; ++slot) {
        for (TUnit* u = FirstUnitOf(slot); u != nullptr; u = u->m_pNext)
            if (u->Basic != nullptr && u->Dead == 0 && u->X > 0.0f && u->X <= static_cast<float>(g_MapPixelWidth) &&
                u->Y > 0.0f && u->Y <= static_cast<float>(g_MapPixelHeight))
                AddUnitToTargetGrid(u);
        for (std::uint32_t h = 0; h < HouseCountOf(slot); ++h) {
            THouse* house = &g_pHouse[slot][h];
            if (house->TypeRecord != nullptr && house->Destroyed == 0 &&
                static_cast<std::uint32_t>(house->X) < g_MapWidth && static_cast<std::uint32_t>(house->Y) < g_MapHeight)
                AddHouseToTargetGrid(house);
        }
    }
}

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
