#pragma once
// Path following: an order to go to a map pixel becomes a path and a first step, the step point
// and velocity stay current while the unit walks, and units get out of trouble (a reachable cell
// near a bad goal, stepping aside, finding work for idle workers).
//
// Every random choice draws from the shared random table (core/random_table.h):
// - a random walk toward a free cell draws one value per step (direction = (value & 7) + 1);
// - MoveAsideToFreeCell draws its walk, then one value for the shift and skips one more (the index
//   advances by 2 for the shift);
// - FindNewWay draws one value when it found at least one point;
// - FindWorkForIdleUnit of a computer player's unit draws one value first.
//
// Threads: main thread only (the game cycle).
#include <cstdint>

#include "platform/types.h"

class TUnit;
class TGroup;

// SendUnitToCell's results.
constexpr std::int8_t SEND_WALK_STRAIGHT = -1;
constexpr std::int8_t SEND_FAILED = 0;
constexpr std::int8_t SEND_PATH_FOUND = 1;
constexpr std::int8_t SEND_DEFERRED = 2;

// Random steps a goal walks at most before the walk gives up (land units, and vehicles).
constexpr int kFreeCellWalkSteps = 20000;
constexpr int kVehicleWalkSteps = 10000;
// The greedy path's longest run, in steps.
constexpr int kGreedyPathLimit = 4999;

// The speed a unit moves at: its type's, 1.1 times that while it catches up with its group, else
// its group's.
float UnitSpeed(const TUnit* unit);
// The speed of a group (formations keep it).
float GroupSpeed(const TGroup* group);

// The centre pixel of a cell.
void CellCentrePixel(const plat::Point& cell, float& x, float& y);

// A move to the cell under (x, y): -1 walk straight, 1 path found (first step taken), 2 deferred
// as a path-move command of the owner's queue for the next cycle, 0 failed (the unit's path
// retries count it). A path whose first cell is blocked fails, so the caller's retry runs.
std::int8_t SendUnitToCell(TUnit* unit, float x, float y, bool mayDefer);
// The general move of orders to a pixel point; keepState keeps the unit's posture when the goal
// is blocked.
void AddBasicPath(TUnit* unit, float x, float y, bool keepState);
// A move of the unit's own choosing (misc-building visits, idle workers): Work 10, no target.
std::int8_t SendUnitToPoint(TUnit* unit, float x, float y);
// The end-of-move event's replanning of an interrupted move.
void ResumeGoToPoint(TUnit* unit, float x, float y);

// The velocity toward the step point (tanks first snap it to a cell centre), slowed by the slope.
void SetVelocityToWaypoint(TUnit* unit);
// The same velocity without snapping or slope.
void SetVelocityToTarget(TUnit* unit);

// The unit stands: standing animation, path dropped, turned to its final orient.
void PutUnitToStanding(TUnit* unit);

// A free cell near (x, y) for any land unit, found by random steps; the cell given when none.
plat::Point FindFreeCellNear(std::int32_t x, std::int32_t y);
// A unit that may not stay where it is walks to a free cell nearby.
void MoveAsideToFreeCell(TUnit* unit);
// A worker whose way is blocked looks for another field spot close by; none stops it.
void FindNewWay(TUnit* unit);
// A worker of the owner goes to the nearest free building of type 15; false when there is none.
bool GoToNearestHouseOfType15(TUnit* unit);
// An idle worker (Work 255) looks for something to do; true when it was given something.
bool FindWorkForIdleUnit(TUnit* unit);
