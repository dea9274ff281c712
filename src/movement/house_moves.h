#pragma once
// What buildings ask of movement: passability around a changed site, free cells for rally points,
// and moving a unit off a new footprint.
#include <cstdint>

class THouse;
class TUnit;

// Recomputes the land and vehicle passability around a cell.
void RecalcPassabilityAround(std::int32_t x, std::int32_t y, std::int32_t radius);
// Clears the land and ship passability values of a cell.
void ClearCellPassability(std::int32_t x, std::int32_t y);
// Whether a unit may stand on the cell.
bool IsCellFreeForUnit(std::int32_t x, std::int32_t y);
// Whether a unit of this type may be pushed aside by a new building (alive, not inside a building).
bool MayPushUnit(const TUnit* unit);
// Sends a unit standing on a new footprint to a free point beside the building.
void PushUnitOutOfHouse(TUnit* unit, const THouse* house, float x, float y);
