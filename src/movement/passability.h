#pragma once
// The land and ship passability maps (u16 per cell, 0 free).
#include <cstdint>

#include "platform/types.h"

extern std::uint16_t* g_pLandPassMap;
extern std::uint16_t* g_pShipPassMap;

// Frees both maps and clears their pointers.
void FreePassabilityMaps();

// Recomputes the land and ship passability maps in the square around a cell (radius cells each
// way, clamped to the playable border).
void MakePartOfBasicMap(const plat::Point& where, std::uint16_t radius);
