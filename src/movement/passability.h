#pragma once
// The land and ship passability maps (u16 per cell, 0 free).
#include <cstdint>

extern std::uint16_t* g_pLandPassMap;
extern std::uint16_t* g_pShipPassMap;

// Frees both maps and clears their pointers.
void FreePassabilityMaps();

// The path cache and work buffers of a game; false refuses the load.
bool InitPathFinding();
// Frees the path work buffers and both passability maps.
void FreePathBuffers();
// The groups of a game (empty operations).
void InitGroups();
void FreeGroups();
