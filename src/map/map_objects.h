#pragma once
// Map objects and the placement preview of a building site.
#include <cstdint>

// Under g_InputLock (a right release on the mouse thread cancels the site).
// -1 no site is being chosen, -2 a trench or pontoon line, else the building type being placed.
extern std::int16_t g_PlacingHouseType;

// Gives back the local player's reference on the build-phase graphic of the house type.
void ReleaseHousePhaseGraphic(std::uint16_t type);
