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

// Groups come with formations: no unit is in a group yet.
#include "movement/path_follow.h"

float GroupSpeed(const TGroup*)
{
    return 0.0f;
}

// The groups come with formations: a game has none yet.
void InitGroups() {}
void FreeGroups() {}

// No group orders exist yet.
#include "movement/group_orders.h"

void FreeGroupOrder(void*) {}

// No groups exist yet: a group order has no group to run, and no group is selected or has members.
void GiveGroupOrderFromRecord(void*) {}
void ReplayGroupForming(void*) {}
bool IsGroupSelected(const TGroup*)
{
    return false;
}
void SelectGroupUnits(TGroup*, bool) {}
bool GetGroupCell(const TGroup*, std::int32_t&, std::int32_t&)
{
    return false;
}

// Formations and moving a selection come with the groups: no group is ever shown as selected,
// and a right-click order moves nobody yet.
#include "movement/group_selection.h"

bool IsGroupShownSelected(const TGroup*)
{
    return false;
}
void GroupSelectUnits(TGroup*) {}
void GroupDeselectUnits(TGroup*) {}
bool GroupHasUnitOfType(const TGroup*, std::uint16_t)
{
    return false;
}
void OrientGroup(TGroup*, std::uint8_t, float) {}
void SelectedUnitsGo(std::uint8_t, std::int32_t, std::int32_t) {}
