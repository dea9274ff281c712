#pragma once
// Ship bow waves: two animated instances per ship, one on each side.
#include <cstdint>

class TAnimationStruct;

// Loads the ship-wave bank once; false (after logging) when it cannot be loaded.
bool ShipWaveInit();
// Rewinds a wave instance of side 0 or 1 to its first frame, or to its alternative first frame.
void ShipWaveRewind(TAnimationStruct* wave, std::uint8_t side, bool alternative);
