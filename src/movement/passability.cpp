#include "movement/passability.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/error_log.h"
#include "map/map_grid.h"
#include "map/site_queries.h"
#include "map/trenches.h"
#include "movement/movement_services.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

std::uint16_t* g_pLandPassMap = nullptr;
std::uint16_t* g_pVehiclePassMap = nullptr;
std::uint8_t* g_pLandPenalty = nullptr;

namespace {

// The cell count the maps were made for: a map of another size gets new ones.
std::uint32_t g_PassCells = 0;

constexpr std::uint16_t kMiscSpecialFirst = 9601;
constexpr std::uint16_t kMiscSpecialLast = 9603;

bool InBorderBand(std::int32_t c, std::int32_t r)
{
    return c < PASS_BORDER_LEFT || r < PASS_BORDER_TOP || c >= g_MapWidth - PASS_BORDER_RIGHT
        || r >= g_MapHeight - PASS_BORDER_BOTTOM;
}

std::uint8_t AdvancedPathByte(std::size_t poz)
{
    return g_pCellFlags != nullptr ? g_pCellFlags[poz] : 0;
}

void BlockVehicleCell(const plat::Point& p)
{
    if (CellPointInMap(p))
        g_pVehiclePassMap[CellIndex(p.x, p.y)] = PASS_BLOCKED;
}

// The four cells of the vehicle block beside a special point: its NE neighbour n, the cell two rows
// below n, and the cells one column left of those two.
void ForEachSpecialPointBlock(std::int32_t c, std::int32_t r, const auto& visit)
{
    const plat::Point n = GetNeighbourPoint({c, r}, 1);
    const plat::Point m{n.x, n.y + 2};
    visit(n);
    visit(m);
    visit(plat::Point{n.x - 1, n.y});
    visit(plat::Point{m.x - 1, m.y});
}

bool IsSpecialPoint(std::uint16_t code)
{
    return code >= kMiscSpecialFirst && code <= kMiscSpecialLast;
}

// A neutral small house (type 0 or 1) leaves three cells of its footprint open as a passage.
bool IsNeutralPassage(const THouse& h, std::int32_t c, std::int32_t r)
{
    if (h.HouseType > 1)
        return false;
    const plat::Point house{h.X, h.Y};
    const plat::Point side = GetNeighbourPoint(house, h.HouseType == 0 ? 1 : 4);
    const plat::Point above{house.x, house.y - 2};
    const plat::Point aboveSide = GetNeighbourPoint(above, h.HouseType == 0 ? 4 : 1);
    for (const plat::Point& p : {side, above, aboveSide})
        if (p.x == c && p.y == r)
            return true;
    return false;
}

const THouse* NeutralHouseOfCode(std::uint16_t code)
{
    const std::uint32_t index = code - kObjectNeutralHouseFirst;
    if (g_pHouse[kNeutralHouseSlot] == nullptr || index >= g_NeutralHouseCount)
        return nullptr;
    return &g_pHouse[kNeutralHouseSlot][index];
}

// The cell rules over a cell whose maps already hold their start values. partial: the refresh of
// a square, where an infantry block (99) on a reserved cell also stops vehicles.
void ApplyCellRules(std::int32_t c, std::int32_t r, bool partial)
{
    const std::size_t poz = CellIndex(c, r);
    std::uint16_t& land = g_pLandPassMap[poz];
    std::uint16_t& vehicle = g_pVehiclePassMap[poz];
    std::uint8_t& penalty = g_pLandPenalty[poz];
    if (InBorderBand(c, r)) {
        land = vehicle = PASS_BLOCKED;
        penalty = PASS_BLOCKED_PENALTY;
        return;
    }
    const std::uint16_t code = g_pObjectMap[poz];
    if (code == kObjectInfantryBlock) {
        land = PASS_BLOCKED;
        vehicle = partial && AdvancedPathByte(poz) == ADVANCED_PATH_UNIT_BIT ? PASS_BLOCKED : 0;
        penalty = PASS_BLOCKED_PENALTY;
        return;
    }
    if (code >= kObjectTrenchListFirst && code <= kObjectTrenchListLast) {
        // A finished piece lets infantry into its own cell only.
        const TTrenchEntry* e = g_TrenchList.EntryForCode(code);
        vehicle = PASS_BLOCKED;
        land = e != nullptr && e->countdown < 0.0f && e->x == c && e->y == r ? 0 : PASS_BLOCKED;
        return;
    }
    if (code >= kObjectNeutralHouseFirst && code <= kObjectNeutralHouseLast) {
        const THouse* h = NeutralHouseOfCode(code);
        if (h != nullptr && IsNeutralPassage(*h, c, r)) {
            land = vehicle = 0;
        } else {
            land = vehicle = PASS_BLOCKED;
            penalty = 0;
        }
        return;
    }
    if (MovementMapServices().isWater(c, r)) {
        land = vehicle = PASS_BLOCKED;
        penalty = PASS_BLOCKED_PENALTY;
        return;
    }
    if (IsSpecialPoint(code)) {
        land = vehicle = PASS_BLOCKED;
        penalty = PASS_BLOCKED_PENALTY;
        ForEachSpecialPointBlock(c, r, BlockVehicleCell);
        return;
    }
    // The four corners of the diamond: the cell, the cell to its right, its NE neighbour and the
    // cell two rows below that.
    const plat::Point ne = GetNeighbourPoint({c, r}, 1);
    const int corners[4] = {g_pHeightMap[poz], g_pHeightMap[CellIndex(c + 1, r)], g_pHeightMap[CellIndex(ne.x, ne.y)],
                            g_pHeightMap[CellIndex(ne.x, ne.y + 2)]};
    const int d = *std::max_element(corners, corners + 4) - *std::min_element(corners, corners + 4);
    int pen = d / 3;
    if (d > PASS_VEHICLE_SLOPE)
        vehicle = PASS_BLOCKED;
    const bool isTreeOrStone = code >= kObjectTreeFirst && code <= kObjectStoneLast;
    if (d < PASS_LAND_SLOPE && land == 0) {
        if (code >= kObjectPlayerHouseFirst && code <= kObjectPlayerHouseLast) {
            land = vehicle = PASS_BLOCKED;
        } else if (code >= kObjectMiscFirst && code <= kObjectMiscLast) {
            if (GetMapObjectClass(code) < 3)
                land = PASS_BLOCKED;
        } else if (isTreeOrStone && GetMapObjectClass(code) < 2) {
            vehicle = PASS_BLOCKED;
        }
    } else {
        land = PASS_BLOCKED;
        const bool vehiclesPass = code >= kObjectMiscFirst || (isTreeOrStone && GetMapObjectClass(code) >= 2);
        if (code >= kObjectNeutralHouseFirst && !vehiclesPass)
            vehicle = PASS_BLOCKED;
    }
    if (land != 0)
        pen += PASS_BLOCKED_PENALTY;
    penalty = static_cast<std::uint8_t>(pen);
}

void ResetCell(std::size_t poz)
{
    const std::uint16_t start = AdvancedPathByte(poz) != 0 ? PASS_BLOCKED : 0;
    g_pLandPassMap[poz] = start;
    g_pVehiclePassMap[poz] = start;
    g_pLandPenalty[poz] = 0;
}

// Columns [c0, c1) and rows [r0, r1): each cell's penalty becomes the mean of its own and its eight
// neighbours', in place and in row order, so later cells see the smoothed values before them.
void SmoothPenalty(std::int32_t c0, std::int32_t c1, std::int32_t r0, std::int32_t r1)
{
    for (std::int32_t r = r0; r < r1; ++r)
        for (std::int32_t c = c0; c < c1; ++c) {
            unsigned sum = 0;
            for (std::uint8_t k = 0; k < kDirectionCount; ++k) {
                const plat::Point n = GetNeighbourPoint({c, r}, k);
                sum += g_pLandPenalty[CellIndex(n.x, n.y)];
            }
            g_pLandPenalty[CellIndex(c, r)] = static_cast<std::uint8_t>(sum / kDirectionCount);
        }
}

bool MapsReady()
{
    return g_pLandPassMap != nullptr && g_PassCells == g_MapCellCount && g_MapCellCount != 0;
}

std::int32_t Clamp64(std::int64_t v, std::int32_t lo, std::int32_t hi)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, lo, std::max(lo, hi)));
}

} // namespace

void MakeBasicMap()
{
    if (g_MapCellCount == 0 || g_pObjectMap == nullptr || g_pHeightMap == nullptr) {
        ReportError("MakeBasicMap: no map");
        return;
    }
    if (!MapsReady()) {
        FreePathBuffers();
        g_pLandPassMap = new std::uint16_t[g_MapCellCount];
        g_pVehiclePassMap = new std::uint16_t[g_MapCellCount];
        g_pLandPenalty = new std::uint8_t[g_MapCellCount];
        g_PassCells = g_MapCellCount;
    }
    // Every start value first: a special point's vehicle block reaches into the row below it.
    for (std::size_t poz = 0; poz < g_MapCellCount; ++poz)
        ResetCell(poz);
    for (std::int32_t r = 0; r < g_MapHeight; ++r)
        for (std::int32_t c = 0; c < g_MapWidth; ++c)
            ApplyCellRules(c, r, false);
    SmoothPenalty(2, g_MapWidth - 4, 4, g_MapHeight - 4);
}

void MakePartOfBasicMap(const plat::Point& where, std::uint16_t radius)
{
    if (!MapsReady())
        return;
    if (!CellPointInMap(where))
        ReportError("if (!ThisPointInMap(Where))    in void MakePartOfBasicMap(POINT Where,WORD Radius)");
    // Exclusive ends reach the last playable column and row, so the refresh leaves none stale.
    const std::int32_t c0 = Clamp64(std::int64_t{where.x} - radius - 2, PASS_BORDER_LEFT, g_MapWidth - PASS_BORDER_RIGHT);
    const std::int32_t c1 = Clamp64(std::int64_t{where.x} + radius + 2, PASS_BORDER_LEFT, g_MapWidth - PASS_BORDER_RIGHT);
    const std::int32_t r0 = Clamp64(std::int64_t{where.y} - radius - 2, PASS_BORDER_TOP, g_MapHeight - PASS_BORDER_BOTTOM);
    const std::int32_t r1 = Clamp64(std::int64_t{where.y} + radius + 2, PASS_BORDER_TOP, g_MapHeight - PASS_BORDER_BOTTOM);
    if (c0 >= c1 || r0 >= r1)
        return;
    // The whole square is reset before any rule runs, so a special point's block written into the
    // next row survives as in the full build.
    for (std::int32_t r = r0; r < r1; ++r)
        for (std::int32_t c = c0; c < c1; ++c)
            ResetCell(CellIndex(c, r));
    // The rules run in the full build's order over the square and the ring around it: a special
    // point of the ring blocks vehicle cells inside the square (it reaches one column and one row
    // each way), at the same moment of the order as in the full build.
    const auto insideSquare = [&](const plat::Point& p) { return p.x >= c0 && p.x < c1 && p.y >= r0 && p.y < r1; };
    for (std::int32_t r = r0 - 1; r <= r1; ++r)
        for (std::int32_t c = c0 - 1; c <= c1; ++c) {
            if (insideSquare({c, r})) {
                ApplyCellRules(c, r, true);
                continue;
            }
            if (InBorderBand(c, r) || !CellPointInMap({c, r}) || !IsSpecialPoint(g_pObjectMap[CellIndex(c, r)])
                || MovementMapServices().isWater(c, r))
                continue;
            ForEachSpecialPointBlock(c, r, [&](const plat::Point& p) {
                if (insideSquare(p))
                    BlockVehicleCell(p);
            });
        }
    SmoothPenalty(c0, c1, r0, r1);
}

bool IsCellInPlayableArea(std::int32_t x, std::int32_t y)
{
    return CellPointInMap({x, y}) && !InBorderBand(x, y);
}

const std::uint16_t* PassMapForUnit(const TUnit* unit)
{
    return unit != nullptr && unit->Basic != nullptr && unit->Basic->ClosePath != 0 ? g_pVehiclePassMap : g_pLandPassMap;
}

TPathBuffers& PathBuffers()
{
    static TPathBuffers buffers;
    return buffers;
}

void FreePathBuffers()
{
    delete[] g_pLandPassMap;
    delete[] g_pVehiclePassMap;
    delete[] g_pLandPenalty;
    g_pLandPassMap = nullptr;
    g_pVehiclePassMap = nullptr;
    g_pLandPenalty = nullptr;
    g_PassCells = 0;
    PathBuffers() = TPathBuffers{};
}

void RecalcPassabilityAround(std::int32_t x, std::int32_t y, std::int32_t radius)
{
    MakePartOfBasicMap({x, y}, static_cast<std::uint16_t>(std::clamp(radius, 0, 65535)));
}

void ClearCellPassability(std::int32_t x, std::int32_t y)
{
    if (!MapsReady() || !CellPointInMap({x, y}))
        return;
    g_pLandPassMap[CellIndex(x, y)] = 0;
    g_pVehiclePassMap[CellIndex(x, y)] = 0;
}

// ---- cell tests ---------------------------------------------------------------------------------

namespace {

std::int32_t BodySize(const TUnit* unit)
{
    return unit->Basic != nullptr ? unit->Basic->CrushSize : 0;
}

// Every living unit listed in a cell and its eight neighbours.
bool AnyLivingUnitAround(const plat::Point& cell, const std::function<bool(const TUnit&)>& visit)
{
    return AnyUnitAround(cell, [&](const TUnit& u) { return u.Dead == 0 && visit(u); });
}

bool Within(float dx, float dy, float size)
{
    return std::fabs(dx) < size && std::fabs(dy) < size;
}

} // namespace

bool IsVehicleUnit(const TUnit* unit)
{
    return unit != nullptr && unit->Basic != nullptr && unit->Basic->ClosePath != 0;
}

bool AnyUnitAround(const plat::Point& cell, const std::function<bool(const TUnit&)>& test)
{
    if (g_pUnitsMap == nullptr)
        return false;
    for (std::uint8_t k = 0; k < kDirectionCount; ++k) {
        const plat::Point n = GetNeighbourPoint(cell, k);
        if (!CellPointInMap(n))
            continue;
        TUnit** list = g_pUnitsMap[CellIndex(n.x, n.y)];
        for (int i = 0; list != nullptr && i < kCellUnitCapacity && list[i] != nullptr; ++i)
            if (test(*list[i]))
                return true;
    }
    return false;
}

bool IsCellUsableByUnit(const TUnit* unit, std::uint32_t cell)
{
    if (!MapsReady() || cell >= g_MapCellCount)
        return false;
    return PassMapForUnit(unit)[cell] == 0;
}

bool IsNeighbourCellFree(const TUnit* unit, std::uint8_t direction)
{
    if (unit == nullptr || !MapsReady() || direction >= kDirectionCount)
        return false;
    const plat::Point n = GetNeighbourPoint({unit->MapX, unit->MapY}, direction);
    if (!IsCellInPlayableArea(n.x, n.y))
        return false;
    const std::size_t poz = CellIndex(n.x, n.y);
    if (IsVehicleUnit(unit))
        return g_pVehiclePassMap[poz] == 0 || AdvancedPathByte(poz) == ADVANCED_PATH_UNIT_BIT;
    return g_pLandPassMap[poz] == 0;
}

bool IsLandCellFree(std::uint32_t cell)
{
    return MapsReady() && cell < g_MapCellCount && g_pLandPassMap[cell] == 0;
}

bool IsPointPassable(std::uint32_t x, std::uint32_t y, std::uint16_t type)
{
    const plat::Point cell = PixelToFlatCell(static_cast<float>(x), static_cast<float>(y));
    if (!IsCellInPlayableArea(cell.x, cell.y))
        return false;
    const std::uint8_t nation = g_Strateg[0] != nullptr && g_Strateg[0]->Nation < UNIT_NATIONS ? g_Strateg[0]->Nation : 0;
    const TBasicUnit* basic = GetUnitType(nation, type);
    if (basic == nullptr)
        return false;
    if (basic->IsShipUnit())
        return MovementMapServices().isWater(cell.x, cell.y);
    const std::size_t poz = CellIndex(cell.x, cell.y);
    TUnit** list = g_pUnitsMap != nullptr ? g_pUnitsMap[poz] : nullptr;
    for (int i = 0; list != nullptr && i < kCellUnitCapacity && list[i] != nullptr; ++i)
        if (list[i]->Dead == 0 && list[i]->Halted != 0)
            return false;
    return MapsReady() && g_pLandPassMap[poz] == 0;
}

bool PassMapsBuilt()
{
    return MapsReady();
}

bool CanUnitStayInCell(const TUnit* unit)
{
    if (unit == nullptr || !MapsReady() || !CellPointInMap({unit->MapX, unit->MapY}))
        return false;
    const std::size_t poz = CellIndex(unit->MapX, unit->MapY);
    if (unit->Basic != nullptr && unit->Basic->IsShipUnit())
        return MovementMapServices().isWater(unit->MapX, unit->MapY);
    if (IsVehicleUnit(unit))
        return g_pVehiclePassMap[poz] == 0 || AdvancedPathByte(poz) == ADVANCED_PATH_UNIT_BIT;
    if (g_pLandPassMap[poz] != 0)
        return false;
    if (unit->m_pGroup != nullptr)
        return true;
    const float own = static_cast<float>(BodySize(unit));
    return !AnyLivingUnitAround({unit->MapX, unit->MapY}, [&](const TUnit& other) {
        if (&other == unit)
            return false;
        const float dx = other.X - unit->X;
        const float dy = other.Y - unit->Y;
        return Within(dx, dy, static_cast<float>(BodySize(&other))) || Within(dx, dy, own);
    });
}

bool IsCellFreeForUnit(plat::Point& cell, const TUnit* unit)
{
    if (!IsCellInPlayableArea(cell.x, cell.y)) {
        cell.x = std::clamp<std::int32_t>(cell.x, PASS_BORDER_LEFT, g_MapWidth - PASS_BORDER_LEFT);
        cell.y = std::clamp<std::int32_t>(cell.y, PASS_BORDER_TOP, g_MapHeight - PASS_BORDER_TOP);
        return false;
    }
    if (!MapsReady() || PassMapForUnit(unit)[CellIndex(cell.x, cell.y)] != 0)
        return false;
    // The test point lies 20 pixels left of the cell's centre.
    const float px = static_cast<float>(cell.x * kCellWidth + ((cell.y & 1) != 0 ? kCellWidth / 2 : 0) - 20);
    const float py = static_cast<float>(cell.y * kRowStep);
    const float own = unit != nullptr ? static_cast<float>(BodySize(unit) + 10) : 0.0f;
    return !AnyLivingUnitAround(cell, [&](const TUnit& other) {
        // A unit does not stand in its own way.
        if (&other == unit)
            return false;
        const float body = static_cast<float>(BodySize(&other));
        const float dx = other.X - px;
        const float dy = other.Y - py;
        return Within(dx, dy, body) || (unit != nullptr && Within(dx, dy, std::max(body, own)));
    });
}
