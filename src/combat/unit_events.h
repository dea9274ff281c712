#pragma once
// What units entering and leaving the map and production ask of unit behaviour: stopping, order
// cancelling, and a port's ship that is cancelled.
#include <cstdint>

class THouse;
class TUnit;

// Stops the unit where it is (flag: it may step aside to a free cell).
void StopUnit(TUnit* unit, std::uint8_t flag);
void CancelOrderAndStop(TUnit* unit);
// A ship under construction that is cancelled stops its building effect.
void StopShipEffect(TUnit* ship);
// A finished ship leaves its port's yard.
void SendShipOutOfPort(TUnit* ship, THouse* port);
// Empties the unit cells of the target grid, so no search finds a unit that went away.
void ClearTargetGridUnits();
