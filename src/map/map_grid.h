#pragma once
// The staggered isometric grid: its size, the per-cell layers every subsystem reads, their
// creation and release, the bounds-checked cell accessors, the object-code ranges and the
// neighbour-direction tables.
//
// Cells are diamonds 96 pixels wide and 48 high; rows are 24 pixels apart and odd rows sit 48
// pixels to the right of even ones. A cell's index ("poz") is y * W + x.
//
// Threads: the layers and the size globals are written only on the main thread, and only while
// g_InputLock is held (SetMapGeometry, DestroyMap); the main thread reads them freely, any other
// thread (the mouse thread's picking) reads them only under g_InputLock.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/geometry.h"
#include "platform/types.h"

class THouse;
class TUnit;

// Map size in cells (set by the loaders before SetMapGeometry) and what SetMapGeometry derives.
extern std::uint16_t g_MapWidth;
extern std::uint16_t g_MapHeight;
extern std::uint32_t g_MapCellCount;
extern std::int32_t g_MapPixelWidth;
extern std::int32_t g_MapPixelHeight;

constexpr std::int32_t kCellWidth = 96;
constexpr std::int32_t kCellHeight = 48;
constexpr std::int32_t kRowStep = 24;
// Rows of zeros before and after the padded layers, so that neighbour walks near the map's edge
// read "nothing there" instead of leaving the allocation.
constexpr std::int32_t kSpareRows = 5;

// Landscape texturing and shade of one cell: the same 22 bytes as in map files and saves.
struct TMapCell {
    std::uint16_t base;        // land texture + 1; 65535 no landscape; bit 15: overlays in use
    std::uint8_t shade;        // brightness of the reference vertex
    std::uint8_t reserved;     // kept and copied, never read by the map
    std::uint16_t overlay[9];  // land textures drawn over the base in this order; 0 empty
};
static_assert(sizeof(TMapCell) == 22);

// Units standing in one cell: a block of this many pointers, packed from slot 0, ended by the
// first null.
constexpr int kCellUnitCapacity = 40;
using TCellUnits = TUnit*;

extern std::uint8_t* g_pHeightMap;      // padded; height of the reference vertex in pixels
extern TMapCell* g_pCellInfo;           // not padded, not cleared: every loader writes every record
extern std::uint16_t* g_pObjectMap;     // padded; object code (ranges below)
extern TCellUnits** g_pUnitsMap;        // padded; null or a block of kCellUnitCapacity units
extern std::uint8_t* g_pCellFlags;      // terrain class: 0 open, 1 blocked by the map file, 2 special
extern std::uint8_t* g_pPathWork0;      // work bytes of the path finding
extern std::uint8_t* g_pPathWork1;
extern std::uint8_t* g_pPathWork2;

// Object codes of g_pObjectMap.
constexpr std::uint16_t kObjectFree = 0;
constexpr std::uint16_t kObjectInfantryBlock = 99;
constexpr std::uint16_t kObjectAirfield = 100;
constexpr std::uint16_t kObjectNeutralHouseFirst = 101;
constexpr std::uint16_t kObjectNeutralHouseLast = 999;
constexpr std::uint16_t kObjectPlayerHouseFirst = 1000;
constexpr std::uint16_t kObjectPlayerHouseLast = 8999;
constexpr std::uint16_t kObjectTreeFirst = 9000;
constexpr std::uint16_t kObjectTreeLast = 9499;
constexpr std::uint16_t kObjectStoneFirst = 9500;
constexpr std::uint16_t kObjectStoneLast = 9599;
constexpr std::uint16_t kObjectMiscFirst = 9600;
constexpr std::uint16_t kObjectMiscLast = 9693;
constexpr std::uint16_t kObjectAnimatedFirst = 9694;
constexpr std::uint16_t kObjectAnimatedLast = 9699;
constexpr std::uint16_t kObjectTrenchListFirst = 9700;
constexpr std::uint16_t kObjectTrenchListLast = 10999;
constexpr std::uint16_t kObjectTrenchPieceFirst = 11000;
constexpr std::uint16_t kObjectTrenchPieceLast = 24999;

enum class TObjectKind : std::uint8_t {
    Free,
    Special,       // 99, 100
    NeutralHouse,
    PlayerHouse,
    Tree,
    Stone,
    Misc,
    Animated,
    TrenchList,
    TrenchPiece,
    Unknown,
};
TObjectKind ClassifyObjectCode(std::uint16_t code);
// A player's house code: (player + 1) * 1000 + index.
constexpr std::uint16_t PlayerHouseCode(std::uint32_t player, std::uint32_t index)
{
    return static_cast<std::uint16_t>((player + 1) * 1000 + index);
}
constexpr std::uint32_t HouseCodePlayer(std::uint16_t code) { return code / 1000u - 1u; }
constexpr std::uint32_t HouseCodeIndex(std::uint16_t code) { return code % 1000u; }

// Directions: 0 the cell itself, 1 NE, 2 SE, 3 SW, 4 NW, 5 N (two rows up), 6 S (two rows down),
// 7 E, 8 W.
constexpr int kDirectionCount = 9;
struct TDirStep {
    std::int32_t dx;
    std::int32_t dy;
};
// [row parity][direction]: row 0 for cells in even rows, 1 for odd rows.
extern const TDirStep g_DirDx[2][kDirectionCount];
extern const std::uint8_t g_ReverseDirection[kDirectionCount];

// Neighbour of a cell by the table of its row; no range check.
plat::Point GetNeighbourPoint(const plat::Point& cell, std::uint8_t direction);
bool IsTileInMap(const plat::Point& cell);
// Left corner of the cell's flat diamond in map pixels; no range check, no height.
plat::Point TileToPixel(const plat::Point& cell);
// The flat cell under a map pixel point (heights ignored).
plat::Point PixelToFlatCell(float x, float y);

// The map-wide state beside the layers.
extern std::uint16_t g_NeutralHouseCount;
constexpr int kNeutralHouseCapacity = 300;
constexpr int kHouseTypeCountTypes = 25;
// Living buildings per player and type; 16 bits, since one type may stand more than 255 times.
extern std::uint16_t g_HouseTypeCount[8][kHouseTypeCountTypes];

// The largest map: the water grid is twice as wide as the map in 16 bits, and the cell count keeps
// the layers of one map below about 80 MB whatever size a small packed file claims.
constexpr std::uint32_t MAP_MAX_WIDTH = 32767;
constexpr std::uint32_t MAP_MAX_CELLS = 2u * 1024u * 1024u;
// Whether a width and height lie within the two limits above (and are not zero).
bool MapSizeAllowed(std::uint32_t width, std::uint32_t height);

// Creates every layer for g_MapWidth x g_MapHeight (the previous ones released by DestroyMap),
// the neutral house array and the water grid. False when the size is refused, a layer cannot be
// allocated or the water grid is refused; what was made stays for DestroyMap.
bool SetMapGeometry();
// Releases everything SetMapGeometry made and the map's houses, units and players, and zeroes the
// map's size with its layers. Safe to call twice and after a failed SetMapGeometry.
void DestroyMap();

// The units standing in a cell. False when the cell is outside the map or holds its cap already.
bool AddUnitToCell(std::uint32_t poz, TUnit* unit);
// Removes the unit and keeps the list packed; false when it was not there.
bool RemoveUnitFromCell(std::uint32_t poz, TUnit* unit);

// The accessors' out-of-range report.
void ReportMapOverrun(std::string_view message);

inline constexpr std::string_view kMsgGetObjectPoint = "перебор в inline WORD GetObjectFromMap(POINT &p)";
inline constexpr std::string_view kMsgGetObjectPoz = "перебор в inline WORD GetObjectFromMap(DWORD poz)";
inline constexpr std::string_view kMsgGetObjectXY = "перебор в inline WORD GetObjectFromMap(WORD x,WORD y)";
inline constexpr std::string_view kMsgSetObjectPoint = "перебор в inline void SetObjectMap(POINT &p,WORD Object)";
inline constexpr std::string_view kMsgSetObjectXY = "перебор в inline void SetObjectMap(WORD x,WORD y,WORD Object)";
inline constexpr std::string_view kMsgGetHeightPoint = "перебор в inline WORD GetHeightFromMap(POINT &p)";
inline constexpr std::string_view kMsgGetHeightPoz = "перебор в inline WORD GetHeightFromMap(DWORD poz)";
inline constexpr std::string_view kMsgGetHeightXY = "перебор в inline WORD GetHeightFromMap(WORD x,WORD y)";
inline constexpr std::string_view kMsgSetHeightXY = "перебор в inline void SetHeightMap(WORD x,WORD y,WORD Object)";
inline constexpr std::string_view kMsgCoordsUseTile = "перебор в GetCoordsUseTile";

inline bool CellPointInMap(const plat::Point& p)
{
    return p.x >= 0 && p.x < g_MapWidth && p.y >= 0 && p.y < g_MapHeight;
}

// One bounds-checked read or write of a layer: out of range the accessor's message is reported
// and a read gives 0.
template <class T>
inline std::uint16_t CheckedLayerRead(const T* layer, bool inRange, std::size_t index, std::string_view message)
{
    if (!inRange) {
        ReportMapOverrun(message);
        return 0;
    }
    return layer[index];
}
template <class T>
inline void CheckedLayerWrite(T* layer, bool inRange, std::size_t index, T value, std::string_view message)
{
    if (!inRange) {
        ReportMapOverrun(message);
        return;
    }
    layer[index] = value;
}
inline std::size_t CellIndex(std::int32_t x, std::int32_t y)
{
    return static_cast<std::size_t>(y) * g_MapWidth + static_cast<std::size_t>(x);
}

inline std::uint16_t GetObjectFromMap(const plat::Point& p)
{
    const bool in = CellPointInMap(p);
    return CheckedLayerRead(g_pObjectMap, in, in ? CellIndex(p.x, p.y) : 0, kMsgGetObjectPoint);
}
inline std::uint16_t GetObjectFromMap(std::uint32_t poz)
{
    return CheckedLayerRead(g_pObjectMap, poz < g_MapCellCount, poz, kMsgGetObjectPoz);
}
inline std::uint16_t GetObjectFromMap(std::uint16_t x, std::uint16_t y)
{
    return CheckedLayerRead(g_pObjectMap, x < g_MapWidth && y < g_MapHeight, CellIndex(x, y), kMsgGetObjectXY);
}
inline void SetObjectMap(const plat::Point& p, std::uint16_t code)
{
    const bool in = CellPointInMap(p);
    CheckedLayerWrite(g_pObjectMap, in, in ? CellIndex(p.x, p.y) : 0, code, kMsgSetObjectPoint);
}
inline void SetObjectMap(std::uint16_t x, std::uint16_t y, std::uint16_t code)
{
    CheckedLayerWrite(g_pObjectMap, x < g_MapWidth && y < g_MapHeight, CellIndex(x, y), code, kMsgSetObjectXY);
}
inline std::uint16_t GetHeightFromMap(const plat::Point& p)
{
    const bool in = CellPointInMap(p);
    return CheckedLayerRead(g_pHeightMap, in, in ? CellIndex(p.x, p.y) : 0, kMsgGetHeightPoint);
}
inline std::uint16_t GetHeightFromMap(std::uint32_t poz)
{
    return CheckedLayerRead(g_pHeightMap, poz < g_MapCellCount, poz, kMsgGetHeightPoz);
}
inline std::uint16_t GetHeightFromMap(std::uint16_t x, std::uint16_t y)
{
    return CheckedLayerRead(g_pHeightMap, x < g_MapWidth && y < g_MapHeight, CellIndex(x, y), kMsgGetHeightXY);
}
// The layer holds bytes: the value is stored modulo 256.
inline void SetHeightMap(std::uint16_t x, std::uint16_t y, std::uint16_t value)
{
    CheckedLayerWrite(g_pHeightMap, x < g_MapWidth && y < g_MapHeight, CellIndex(x, y),
                      static_cast<std::uint8_t>(value), kMsgSetHeightXY);
}
// The same reader under the name the editor uses.
inline std::uint16_t GetHeightAtIndex(std::uint32_t poz)
{
    return GetHeightFromMap(poz);
}

// The cell's reference point lifted by its height. Outside the map: the report, and the cell's
// own two numbers come back unchanged.
plat::Point GetCoordsUseTile(const plat::Point& cell);

// True when the cell holds a neutral house whose type word is 0 or 1 (a small house).
bool CellHasHouseKindBelow2(const plat::Point& cell);

// Planar distance between two float positions.
double PointDistance(float ax, float ay, float bx, float by);
// Distance between two units or houses (anything with float x and y).
template <class A, class B>
double GetUnitDistance(const A& a, const B& b)
{
    return PointDistance(a.x, a.y, b.x, b.y);
}

// Copies x, y, z; returns the destination.
TVector3* CopyVector3(TVector3* destination, const TVector3* source);
void CopyWords(std::uint16_t* destination, const std::uint16_t* source, std::uint32_t count);

// Passability overlays of the map view.
extern std::uint8_t g_bShowLandPass;
extern std::uint8_t g_bShowShipPass;

// Neighbours the map's lifecycle calls (their owners build them).
bool CreateWaterGrid(std::uint16_t width, std::uint16_t height);
