#pragma once
// The static layer of the map: terrain, objects and houses drawn once into the back buffer and
// the Z-buffer and kept, rebuilt in full or by one scroll step.
#include <cstdint>

// direction 0: full rebuild; 1..8: one scroll step (1 left, 2 right, 3 up, 4 down, 5 left and up,
// 6 left and down, 7 right and up, 8 right and down); other values do nothing.
void RenderMapView(std::uint8_t direction);
