#pragma once
// What buildings ask of movement beside the cell tests of movement/passability.h: whether a unit
// may be pushed off a new footprint, and pushing it.
#include <cstdint>

class THouse;
class TUnit;

// Whether a unit of this type may be pushed aside by a new building (alive, not inside a building).
bool MayPushUnit(const TUnit* unit);
// Sends a unit standing on a new footprint to a free point beside the building.
void PushUnitOutOfHouse(TUnit* unit, const THouse* house, float x, float y);
