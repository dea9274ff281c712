#include "map/map_grid.h"
#include "map/site_queries.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

#include "core/error_log.h"
#include "devices/cursor_state.h"
#include "movement/passability.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

std::uint16_t g_MapWidth = 0;
std::uint16_t g_MapHeight = 0;
std::uint32_t g_MapCellCount = 0;
std::int32_t g_MapPixelWidth = 0;
std::int32_t g_MapPixelHeight = 0;

std::uint8_t* g_pHeightMap = nullptr;
TMapCell* g_pCellInfo = nullptr;
std::uint16_t* g_pObjectMap = nullptr;
TCellUnits** g_pUnitsMap = nullptr;
std::uint8_t* g_pCellFlags = nullptr;
std::uint8_t* g_pPathWork0 = nullptr;
std::uint8_t* g_pPathWork1 = nullptr;
std::uint8_t* g_pPathWork2 = nullptr;

std::uint16_t g_NeutralHouseCount = 0;
std::uint16_t g_HouseTypeCount[8][kHouseTypeCountTypes] = {};

std::uint8_t g_bShowLandPass = 0;
std::uint8_t g_bShowShipPass = 0;

const TDirStep g_DirDx[2][kDirectionCount] = {
    {{0, 0}, {0, -1}, {0, 1}, {-1, 1}, {-1, -1}, {0, -2}, {0, 2}, {1, 0}, {-1, 0}},
    {{0, 0}, {1, -1}, {1, 1}, {0, 1}, {0, -1}, {0, -2}, {0, 2}, {1, 0}, {-1, 0}},
};
const std::uint8_t g_ReverseDirection[kDirectionCount] = {0, 3, 4, 1, 2, 6, 5, 8, 7};

namespace {

// The padded layers are freed from the start of their allocations, which the layer pointers do
// not designate; keeping the starts (and the element counts) here makes the release independent
// of the size globals, which a caller may already have cleared.
struct TPaddedLayers {
    std::uint8_t* heightBase = nullptr;
    std::uint16_t* objectBase = nullptr;
    TCellUnits** unitsBase = nullptr;
    std::size_t unitsCount = 0;
};
TPaddedLayers g_Padded;

template <class T>
T* NewZeroed(std::size_t count)
{
    return new (std::nothrow) T[count]();
}

// Releases the layers only (under g_InputLock, like their creation).
void ReleaseLayers()
{
    std::lock_guard lock(g_InputLock);
    if (g_MapWidth == 0 && (g_Padded.heightBase || g_Padded.objectBase))
        ReportError("DestroyMap");
    delete[] g_Padded.heightBase;
    g_Padded.heightBase = nullptr;
    g_pHeightMap = nullptr;
    delete[] g_pCellInfo;
    g_pCellInfo = nullptr;
    delete[] g_Padded.objectBase;
    g_Padded.objectBase = nullptr;
    g_pObjectMap = nullptr;
    if (g_Padded.unitsBase) {
        for (std::size_t i = 0; i < g_Padded.unitsCount; ++i)
            delete[] g_Padded.unitsBase[i];
        delete[] g_Padded.unitsBase;
    }
    g_Padded.unitsBase = nullptr;
    g_Padded.unitsCount = 0;
    g_pUnitsMap = nullptr;
    for (std::uint8_t** layer : {&g_pCellFlags, &g_pPathWork0, &g_pPathWork1, &g_pPathWork2}) {
        delete[] *layer;
        *layer = nullptr;
    }
}

} // namespace

TObjectKind ClassifyObjectCode(std::uint16_t code)
{
    struct Range {
        std::uint16_t first;
        std::uint16_t last;
        TObjectKind kind;
    };
    static constexpr Range ranges[] = {
        {kObjectFree, kObjectFree, TObjectKind::Free},
        {kObjectInfantryBlock, kObjectAirfield, TObjectKind::Special},
        {kObjectNeutralHouseFirst, kObjectNeutralHouseLast, TObjectKind::NeutralHouse},
        {kObjectPlayerHouseFirst, kObjectPlayerHouseLast, TObjectKind::PlayerHouse},
        {kObjectTreeFirst, kObjectTreeLast, TObjectKind::Tree},
        {kObjectStoneFirst, kObjectStoneLast, TObjectKind::Stone},
        {kObjectMiscFirst, kObjectMiscLast, TObjectKind::Misc},
        {kObjectAnimatedFirst, kObjectAnimatedLast, TObjectKind::Animated},
        {kObjectTrenchListFirst, kObjectTrenchListLast, TObjectKind::TrenchList},
        {kObjectTrenchPieceFirst, kObjectTrenchPieceLast, TObjectKind::TrenchPiece},
    };
    for (const Range& r : ranges)
        if (code >= r.first && code <= r.last)
            return r.kind;
    return TObjectKind::Unknown;
}

plat::Point GetNeighbourPoint(const plat::Point& cell, std::uint8_t direction)
{
    if (direction >= kDirectionCount)
        return cell;
    const TDirStep& step = g_DirDx[cell.y & 1][direction];
    return {cell.x + step.dx, cell.y + step.dy};
}

bool IsTileInMap(const plat::Point& cell)
{
    return CellPointInMap(cell);
}

plat::Point TileToPixel(const plat::Point& cell)
{
    const std::int32_t evenRow = (cell.y & 1) == 0 ? 1 : 0;
    return {(2 * cell.x - evenRow) * 48, cell.y * kRowStep};
}

plat::Point PixelToFlatCell(float x, float y)
{
    // Far beyond any map, and not-a-number, the cell numbers would not fit their integers.
    constexpr float kFar = 1.0e8f;
    x = std::isnan(x) ? 0.0f : std::clamp(x, -kFar, kFar);
    y = std::isnan(y) ? 0.0f : std::clamp(y, -kFar, kFar);
    // Floor, not truncation: left of or above the map the cell numbers must go negative for the
    // remainders below to stay within the diamond pair they describe.
    const auto cx = static_cast<std::int32_t>(std::floor(x * (1.0f / 96.0f)));
    const auto cy = static_cast<std::int32_t>(std::floor(y * (1.0f / 48.0f)));
    const float fx = x - static_cast<float>(cx * kCellWidth);
    const float fy = y - static_cast<float>(cy * kCellHeight);
    if (fx >= 48.0f) {
        if (fy >= 24.0f)
            return 2.0f * fy + fx - 96.0f >= 48.0f ? plat::Point{cx + 1, 2 * cy + 2} : plat::Point{cx, 2 * cy + 1};
        return 2.0f * fy - fx + 96.0f >= 48.0f ? plat::Point{cx, 2 * cy + 1} : plat::Point{cx + 1, 2 * cy};
    }
    if (fy >= 24.0f)
        return 2.0f * fy - fx >= 48.0f ? plat::Point{cx, 2 * cy + 2} : plat::Point{cx, 2 * cy + 1};
    return 2.0f * fy + fx >= 48.0f ? plat::Point{cx, 2 * cy + 1} : plat::Point{cx, 2 * cy};
}

void ReportMapOverrun(std::string_view message)
{
    ReportError(message);
}

plat::Point GetCoordsUseTile(const plat::Point& cell)
{
    if (!CellPointInMap(cell)) {
        ReportMapOverrun(kMsgCoordsUseTile);
        return cell;
    }
    const plat::Point p = TileToPixel(cell);
    return {p.x, p.y - g_pHeightMap[cell.y * g_MapWidth + cell.x]};
}

bool CellHasHouseKindBelow2(const plat::Point& cell)
{
    const std::uint16_t code = GetObjectFromMap(cell);
    if (code < kObjectNeutralHouseFirst || code > kObjectNeutralHouseLast)
        return false;
    THouseMapFields fields;
    if (!GetHouseMapFields(HouseAt(g_pHouse[kNeutralHouseSlot], code - kObjectNeutralHouseFirst), fields))
        return false;
    return fields.type <= 1;
}

double PointDistance(float ax, float ay, float bx, float by)
{
    const double dx = static_cast<double>(ax) - static_cast<double>(bx);
    const double dy = static_cast<double>(ay) - static_cast<double>(by);
    return std::sqrt(dx * dx + dy * dy);
}

TVector3* CopyVector3(TVector3* destination, const TVector3* source)
{
    *destination = *source;
    return destination;
}

void CopyWords(std::uint16_t* destination, const std::uint16_t* source, std::uint32_t count)
{
    if (count)
        std::memmove(destination, source, count * sizeof(std::uint16_t));
}

bool SetMapGeometry()
{
    // A loader that skipped DestroyMap would otherwise leak the old layers.
    ReleaseLayers();
    const std::size_t w = g_MapWidth;
    const std::size_t h = g_MapHeight;
    if (w == 0 || h == 0) {
        ReportError("SetMapGeometry: the map has no cells");
        return false;
    }
    if (!MapSizeAllowed(g_MapWidth, g_MapHeight)) {
        ReportError("Map size out of range");
        return false;
    }
    const std::size_t cells = w * h;
    const std::size_t padded = w * (h + 2 * kSpareRows);
    const std::size_t spare = w * kSpareRows;
    {
        std::lock_guard lock(g_InputLock);
        g_MapPixelHeight = static_cast<std::int32_t>(h) * kRowStep;
        g_MapPixelWidth = static_cast<std::int32_t>(w) * kCellWidth;
        g_MapCellCount = static_cast<std::uint32_t>(cells);

        g_Padded.heightBase = NewZeroed<std::uint8_t>(padded);
        if (!g_Padded.heightBase)
            return false;
        g_pHeightMap = g_Padded.heightBase + spare;
        g_pCellInfo = new (std::nothrow) TMapCell[cells];
        if (!g_pCellInfo)
            return false;
        g_Padded.objectBase = NewZeroed<std::uint16_t>(padded);
        if (!g_Padded.objectBase)
            return false;
        g_pObjectMap = g_Padded.objectBase + spare;
        g_Padded.unitsBase = NewZeroed<TCellUnits*>(padded);
        if (!g_Padded.unitsBase)
            return false;
        g_Padded.unitsCount = padded;
        g_pUnitsMap = g_Padded.unitsBase + spare;
        for (std::uint8_t** layer : {&g_pCellFlags, &g_pPathWork0, &g_pPathWork1, &g_pPathWork2}) {
            *layer = NewZeroed<std::uint8_t>(cells);
            if (!*layer) {
                ReportError("SetMapGeometry: out of memory");
                return false;
            }
        }
    }
    DeleteHouseArray(g_pHouse[kNeutralHouseSlot]);
    g_pHouse[kNeutralHouseSlot] = NewHouseArray(kNeutralHouseCapacity);
    g_NeutralHouseCount = 0;
    return CreateWaterGrid(g_MapWidth, g_MapHeight);
}

bool MapSizeAllowed(std::uint32_t width, std::uint32_t height)
{
    return width != 0 && height != 0 && width <= MAP_MAX_WIDTH
        && std::uint64_t{width} * height <= MAP_MAX_CELLS;
}

void DestroyMap()
{
    ReleaseLayers();
    {
        // Sizes that outlive their layers would let a later writer index a null layer.
        std::lock_guard lock(g_InputLock);
        g_MapWidth = 0;
        g_MapHeight = 0;
        g_MapCellCount = 0;
        g_MapPixelWidth = 0;
        g_MapPixelHeight = 0;
    }
    FreePathBuffers();
    for (std::uint32_t p = 0; p < g_wNumPlayer && p < 8; ++p) {
        DeleteHouseArray(g_pHouse[p]);
        g_pHouse[p] = nullptr;
        if (g_Strateg[p])
            g_Strateg[p]->Houses = nullptr;
        NumHouse[p] = 0;
    }
    DeleteHouseArray(g_pHouse[kNeutralHouseSlot]);
    g_pHouse[kNeutralHouseSlot] = nullptr;
    // Empty already when the game's teardown ran FreeUnitsMap, which frees these units while
    // their types still exist.
    FreeUnitList(g_NeutralUnitList);
    std::memset(g_HouseTypeCount, 0, sizeof g_HouseTypeCount);
    ResetUnitCounters();
    g_NeutralHouseCount = 0;
    ClearGlobalHeap();
    g_wNumPlayer = 0;
}

bool AddUnitToCell(std::uint32_t poz, TUnit* unit)
{
    if (poz >= g_MapCellCount || !g_pUnitsMap || !unit)
        return false;
    TCellUnits*& block = g_pUnitsMap[poz];
    if (!block) {
        block = NewZeroed<TCellUnits>(kCellUnitCapacity);
        if (!block)
            return false;
    }
    for (int i = 0; i < kCellUnitCapacity; ++i) {
        if (!block[i]) {
            block[i] = unit;
            return true;
        }
    }
    return false;
}

bool RemoveUnitFromCell(std::uint32_t poz, TUnit* unit)
{
    if (poz >= g_MapCellCount || !g_pUnitsMap || !g_pUnitsMap[poz])
        return false;
    TCellUnits* block = g_pUnitsMap[poz];
    for (int i = 0; i < kCellUnitCapacity && block[i]; ++i) {
        if (block[i] != unit)
            continue;
        for (int j = i; j + 1 < kCellUnitCapacity; ++j)
            block[j] = block[j + 1];
        block[kCellUnitCapacity - 1] = nullptr;
        return true;
    }
    return false;
}

std::uint8_t GetAdvancedPathByte(std::int32_t x, std::int32_t y)
{
    return g_pCellFlags != nullptr && CellPointInMap({x, y}) ? g_pCellFlags[CellIndex(x, y)] : 0;
}
