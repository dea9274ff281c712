#pragma once
// A player's colour as the 3-D device takes it (ARGB), from the colour tables of the parameter
// files; players outside 0..7 get opaque white.
#include <cstdint>

std::uint32_t GetPlayerColorD3D(std::uint8_t player);
