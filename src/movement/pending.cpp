// Least bodies of movement services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "movement/directions.h"
#include "movement/house_moves.h"
#include "units/unit.h"
#include "movement/passability.h"

std::uint8_t GetOrientToPoint(float, float, float, float)
{
    return 0;
}

std::uint16_t* g_pLandPassMap = nullptr;
std::uint16_t* g_pShipPassMap = nullptr;

void FreePassabilityMaps()
{
    delete[] g_pLandPassMap;
    delete[] g_pShipPassMap;
    g_pLandPassMap = nullptr;
    g_pShipPassMap = nullptr;
}

// Passability is not kept yet; every cell is free for units, and a unit on a new footprint is
// simply placed on the free point it was given.
void RecalcPassabilityAround(std::int32_t, std::int32_t, std::int32_t) {}
void ClearCellPassability(std::int32_t, std::int32_t) {}
bool IsCellFreeForUnit(std::int32_t, std::int32_t)
{
    return true;
}
bool MayPushUnit(const TUnit* unit)
{
    return unit != nullptr && unit->Dead == 0 && (unit->Basic == nullptr || !unit->Basic->IsShipUnit());
}
void PushUnitOutOfHouse(TUnit* unit, const THouse*, float x, float y)
{
    unit->TargetX = x;
    unit->TargetY = y;
}

// Path following is not built yet: velocities stay as they are and every cell may be stood in.
void SetVelocityToTarget(TUnit*) {}
bool CanUnitStayInCell(TUnit*)
{
    return true;
}

// Paths come with the movement subsystem: a game has no path buffers yet, only the maps.
bool InitPathFinding()
{
    return true;
}
void FreePathBuffers()
{
    FreePassabilityMaps();
}
void InitGroups() {}
void FreeGroups() {}

// No passability maps are kept yet: nothing to recompute, and no path is ever found.
#include "movement/path_search.h"

void MakePartOfBasicMap(const plat::Point&, std::uint16_t) {}
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
