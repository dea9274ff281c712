#pragma once
// The land and ship passability maps (u16 per cell, 0 free).
#include <cstdint>

class TUnit;
#include "platform/types.h"

extern std::uint16_t* g_pLandPassMap;
extern std::uint16_t* g_pShipPassMap;

// Frees both maps and clears their pointers.
void FreePassabilityMaps();
// Whether the unit may stand in its cell.
bool CanUnitStayInCell(TUnit* unit);


// The path cache and work buffers of a game; false refuses the load.
bool InitPathFinding();
// Frees the path work buffers and both passability maps.
void FreePathBuffers();
// The groups of a game (empty operations).
void InitGroups();
void FreeGroups();

// Recomputes the land and ship passability maps in the square around a cell (radius cells each
// way, clamped to the playable border).
void MakePartOfBasicMap(const plat::Point& where, std::uint16_t radius);
