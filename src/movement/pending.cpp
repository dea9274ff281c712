// Least bodies of movement services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "movement/directions.h"
#include "movement/house_moves.h"
#include "movement/passability.h"
#include "units/unit.h"

// Pushing a unit off a new footprint comes with path following: the unit is simply placed on the
// free point it was given.
bool MayPushUnit(const TUnit* unit)
{
    return unit != nullptr && unit->Dead == 0 && (unit->Basic == nullptr || !unit->Basic->IsShipUnit());
}
void PushUnitOutOfHouse(TUnit* unit, const THouse*, float x, float y)
{
    unit->TargetX = x;
    unit->TargetY = y;
}
