#pragma once
// Directions and orientations on the map.
#include <cstdint>

class TUnit;

// Direction 0..7 from the first point toward the second.
std::uint8_t GetOrientToPoint(float x0, float y0, float x1, float y1);
// Aims the unit's velocity at its step point.
void SetVelocityToTarget(TUnit* unit);
