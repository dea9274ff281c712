#pragma once
// What units entering and leaving the map and production ask of unit behaviour: stopping, order
// cancelling, and a port's ship that is cancelled.
#include <cstdint>

class TUnit;

// Stops the unit where it is (flag: it may step aside to a free cell).
void StopUnit(TUnit* unit, std::uint8_t flag);
void CancelOrderAndStop(TUnit* unit);
// A ship under construction that is cancelled stops its building effect.
void StopShipEffect(TUnit* ship);
// Empties the unit cells of the target grid, so no search finds a unit that went away.
void ClearTargetGridUnits();
// Whether two players are hostile: never the same player; always when either is 255 (neutral);
// never when either is dead; otherwise when their relation bytes differ or are both 0.
bool IsEnemy(std::uint8_t a, std::uint8_t b);
// The unit's order at a map point (fire at it) with the order flag.
void UnitOrderAtPoint(TUnit* unit, float x, float y, std::uint8_t flag);
