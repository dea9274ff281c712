#pragma once
// A stand-in for the per-cycle ground walk, for the movement tests and benchmarks: each call moves
// a unit by its velocity, keeps its cell list and ground height current, and at its step point
// takes the next code of its path (asking for a new path when the next cell is blocked), then its
// end point, and at the end point raises the end-of-move event.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "combat/unit_events.h"
#include "map/map_grid.h"
#include "map/terrain.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace testworld {

enum class TWalkStep { Moving, Arrived, Idle };

inline TWalkStep WalkOneCycle(TUnit* u)
{
    if (u->Dead != 0 || (u->VX == 0.0f && u->VY == 0.0f && u->StepX == u->X && u->StepY == u->Y))
        return TWalkStep::Idle;
    const float dx = u->StepX - u->X;
    const float dy = u->StepY - u->Y;
    const float speed = std::sqrt(u->VX * u->VX + u->VY * u->VY);
    if (std::sqrt(dx * dx + dy * dy) > std::max(speed, 0.01f)) {
        u->X += u->VX;
        u->Y += u->VY;
    } else {
        u->X = u->StepX;
        u->Y = u->StepY;
    }
    UpdateUnitCell(u);
    u->GroundHeight = static_cast<float>(GetLandHeightF(u->X, u->Y));
    if (u->X != u->StepX || u->Y != u->StepY)
        return TWalkStep::Moving;
    if (u->Path != nullptr && u->PathIndex >= 0 && u->PathIndex < u->PathLength) {
        const plat::Point next = GetNeighbourPoint({u->MapX, u->MapY}, u->Path[u->PathIndex]);
        if (!IsCellUsableByUnit(u, static_cast<std::uint32_t>(CellIndex(next.x, next.y)))) {
            if (SendUnitToCell(u, u->GoalX, u->GoalY, false) == SEND_FAILED)
                EventUnitEndMove(u);
            return TWalkStep::Moving;
        }
        ++u->PathIndex;
        CellCentrePixel(next, u->StepX, u->StepY);
        SetVelocityToWaypoint(u);
        return TWalkStep::Moving;
    }
    if (u->X != u->GoalX || u->Y != u->GoalY) {
        u->StepX = u->GoalX;
        u->StepY = u->GoalY;
        SetVelocityToWaypoint(u);
        return TWalkStep::Moving;
    }
    u->VX = u->VY = 0.0f;
    EventUnitEndMove(u);
    return TWalkStep::Arrived;
}

// Walks until the unit arrives or stands idle; the cycles it took, or -1 past the limit.
inline int WalkUntilStill(TUnit* u, int maxCycles)
{
    for (int c = 0; c < maxCycles; ++c)
        if (WalkOneCycle(u) != TWalkStep::Moving)
            return c;
    return -1;
}

} // namespace testworld
