#pragma once
// A unit's way to a point: its path and first step.
#include <cstdint>

class TUnit;

// Sends the unit to the cell of (x, y): -1 it walks straight, 1 a path was found, 2 the search was
// deferred to a later cycle (mayDefer), 0 it failed.
std::int8_t SendUnitToCell(TUnit* unit, float x, float y, bool mayDefer);
