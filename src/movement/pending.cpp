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

// Path following is not built yet: velocities stay as they are.
void SetVelocityToTarget(TUnit*) {}

// The path cache and the groups come with path search and formations: a game has none yet.
bool InitPathFinding()
{
    return true;
}
void InitGroups() {}
void FreeGroups() {}

// No path search yet: no path is ever found.
#include "movement/path_search.h"

std::int8_t FindPathFromPointToPointEx(const std::uint16_t*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                       const std::uint8_t*, std::vector<std::uint8_t>& path)
{
    path.clear();
    return 0;
}

// No group orders, path cache or path searches exist yet.
#include "movement/group_orders.h"
#include "movement/path_search.h"

void FreeGroupOrder(void*) {}
std::uint32_t g_PathWorkCounter = 0;
void PathCacheTick() {}
