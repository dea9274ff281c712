#pragma once
// The land and ship passability maps (u16 per cell, 0 free).
#include <cstdint>

class TUnit;

extern std::uint16_t* g_pLandPassMap;
extern std::uint16_t* g_pShipPassMap;

// Frees both maps and clears their pointers.
void FreePassabilityMaps();
// Whether the unit may stand in its cell.
bool CanUnitStayInCell(TUnit* unit);
