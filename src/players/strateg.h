#pragma once
// Player state shared across subsystems.
#include <cstdint>

// The local player's number (0 until a game sets it).
extern std::uint8_t MyPlayer;
