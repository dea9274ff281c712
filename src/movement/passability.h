#pragma once
// The passability maps that path search reads instead of the world map, the buffers of the path
// searches, and the cell tests every mover asks. This module owns all of them: others read the
// maps through the pointers below and never allocate or free them.
//
// Both pass maps hold one u16 per cell: 0 free, PASS_BLOCKED blocked, nothing else. The land map
// serves every unit whose type lacks the ClosePath (vehicle) flag, the vehicle map those that
// have it. The land penalty is the extra cost per cell of the formation search. The advanced-path
// byte of a cell is the world map's g_pCellFlags: non-zero blocks the cell before the object rules
// run; ADVANCED_PATH_UNIT_BIT (2) marks cells reserved around standing vehicles.
//
// Threads: main thread only (the game cycle, the map loaders and the editor); the map view's
// passability overlay reads the maps in the frame on the same thread.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/types.h"

class TUnit;

constexpr std::uint16_t PASS_BLOCKED = 65535;
// The band along the map's edge that is blocked for everyone: columns below 4 or at W - 3 and
// beyond, rows below 10 or at H - 9 and beyond.
constexpr std::int32_t PASS_BORDER_LEFT = 4;
constexpr std::int32_t PASS_BORDER_RIGHT = 3;
constexpr std::int32_t PASS_BORDER_TOP = 10;
constexpr std::int32_t PASS_BORDER_BOTTOM = 9;
// Land penalty of a blocked cell, of water and of the border band.
constexpr std::uint8_t PASS_BLOCKED_PENALTY = 5;
// Height differences across a cell's diamond that stop vehicles (above) and everybody (at least).
constexpr int PASS_VEHICLE_SLOPE = 25;
constexpr int PASS_LAND_SLOPE = 61;

extern std::uint16_t* g_pLandPassMap;
extern std::uint16_t* g_pVehiclePassMap;
extern std::uint8_t* g_pLandPenalty;

// Rebuilds both pass maps and the land penalty for the whole map, allocating them for the current
// map size when absent or made for another size.
void MakeBasicMap();
// Rebuilds the square of columns where.x - radius - 2 .. where.x + radius + 1 and the same rows,
// clamped to the playable area. A point outside the map is reported and the clamped square still
// refreshed. Nothing happens before MakeBasicMap made the maps.
void MakePartOfBasicMap(const plat::Point& where, std::uint16_t radius);

// Whether a cell lies inside the playable area (outside the border band).
bool IsCellInPlayableArea(std::int32_t x, std::int32_t y);
// The pass map a unit moves on: the vehicle map for ClosePath types, else the land map.
const std::uint16_t* PassMapForUnit(const TUnit* unit);

// Work storage of the path searches, kept between searches and freed with the maps.
struct TPathBuffers {
    std::vector<std::uint16_t> work;    // one label per cell
    std::vector<std::uint64_t> frontA;  // the current and the next wave front (cell, label, row parity)
    std::vector<std::uint64_t> frontB;
    std::vector<std::uint8_t> trace;    // a path read back from its goal
};
TPathBuffers& PathBuffers();

// Frees both pass maps, the land penalty and the path buffers.
void FreePathBuffers();

// The path cache and the lists of a new game; false refuses the load.
bool InitPathFinding();
// The groups of a game.
void InitGroups();
void FreeGroups();

// ---- cell tests ----

// false for an index beyond the map; a ClosePath unit asks the vehicle map, anything else (or no
// unit) the land map.
bool IsCellUsableByUnit(const TUnit* unit, std::uint32_t cell);
// The neighbour of the unit's cell in a direction 1..8: false in the border band; a ClosePath unit
// also takes a cell reserved around vehicles (advanced-path byte 2).
bool IsNeighbourCellFree(const TUnit* unit, std::uint8_t direction);
bool IsLandCellFree(std::uint32_t cell);
// Whether a unit of the type (of player 0's nation) may be placed at the map pixel: ships on water,
// others on a free land cell where no living unit stands halted.
bool IsPointPassable(std::uint32_t x, std::uint32_t y, std::uint16_t type);
// Whether the unit may stay in its own cell: ships on water, vehicles on a free (or reserved)
// vehicle cell, grouped units on a free land cell, other units on a free land cell where no other
// living unit nearby stands within either's body size.
bool CanUnitStayInCell(const TUnit* unit);
// Whether the pass maps are built for the current map (a map's own units are placed before).
bool PassMapsBuilt();
// Whether a cell may take the unit (null: any land unit). A cell outside the playable area is
// moved into it and refused.
bool IsCellFreeForUnit(plat::Point& cell, const TUnit* unit);

// Whether the unit's type carries the ClosePath (vehicle) flag.
bool IsVehicleUnit(const TUnit* unit);
// Whether any unit listed in a cell or its eight neighbours (the first 40 of each list) passes
// the test.
bool AnyUnitAround(const plat::Point& cell, const std::function<bool(const TUnit&)>& test);

// Recomputes the maps in the square around a cell (MakePartOfBasicMap).
void RecalcPassabilityAround(std::int32_t x, std::int32_t y, std::int32_t radius);
// Frees a cell in both pass maps (a building's footprint taken off the map).
void ClearCellPassability(std::int32_t x, std::int32_t y);
