#pragma once
// Orders given to single units and to the units a player has selected.
#include <cstdint>

// Each of the player's selected units takes the order at the point (x, y); flag: the order the
// cursor chose (attack ground rather than move).
void ForSelectedUnits(std::uint8_t player, float x, float y, bool flag);
