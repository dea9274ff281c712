#pragma once
// The frame every ground kind shares: the wait step that drives a walking unit's second handler,
// the animation clock (when a frame counts as crossed, the end-of-animation transitions), the path
// stepping and the end of a path, and the small map queries the handlers and the firing code ask.
// The default, tank, flame-thrower, machine-gunner and worker handlers are built on these.
//
// Threads: main thread only, inside the game cycle. Every random decision draws the shared random
// table, so all machines agree.
#include <cstdint>

class TUnit;
class THouse;

// ---- small questions of the handlers ------------------------------------------------------------

// The owner's slot of the per-player type values (0 for nobody's units).
std::uint8_t OwnerSlot(const TUnit* unit);
float UnitRange(const TUnit* unit);
bool IsLiveUnit(const TUnit* unit);
bool IsLiveHouse(const THouse* house);
bool HasUnitPath(const TUnit* unit);

// ---- the wait step -------------------------------------------------------------------------------

// true: the move handler does nothing more this cycle.
bool UnitWaitStep(TUnit* unit);

// ---- the animation clock -------------------------------------------------------------------------

// Frame f counts as crossed in a cycle that starts at frame s and advances by speed when
// s <= f < s + speed.
inline bool FrameCrossed(float start, float speed, float frame)
{
    return start <= frame && frame < start + speed;
}
// The frames of an animation state and its speed (0 for states beyond the type's table).
std::uint8_t AnimationFrames(const TUnit* unit, std::uint8_t numWork);
float AnimationStep(const TUnit* unit, std::uint8_t numWork);
// The idle fidget is cut at its middle: back to standing upright (start: the frame at the start of
// the cycle).
void CutFidgetAtMiddle(TUnit* unit, float start);
// The end of a standing loop: a fidget starts with probability 100 in the table's range, half of
// them (second value below 16384) from the middle. Draws one value, two when a fidget starts.
void StandingLoopEnded(TUnit* unit);
// The shared rows of the end-of-animation table (every state but the firing states 2 and 6, which
// each kind ends its own way). false when the row is not one of them (the caller's rows).
bool EndOfAnimationShared(TUnit* unit);
// Takes the pending NextWork as the animation ends: 100 gives standing or walking by Halted,
// 0 gives state 1 with the moving work, anything else becomes the state.
void TakeNextWork(TUnit* unit, std::uint8_t whenNone);
// Whether the unit's cell entry is refreshed this cycle (once per 1000 cycles, spread by
// FramePhase).
bool IsCellRefreshCycle(const TUnit* unit);

// ---- stopping ------------------------------------------------------------------------------------

// Halts without changing the animation: Halted, path dropped, step and goal at the position,
// velocity 0.
void HaltInPlace(TUnit* unit);
// Halts, takes the aiming work and turns to the point.
void HaltAndAimAt(TUnit* unit, float x, float y);

// ---- path stepping -------------------------------------------------------------------------------

// Whether the unit reaches its step point moving by factor x velocity this cycle; when it does,
// it is put on the point.
bool ReachStepPoint(TUnit* unit, float factor);
void NextPathStep(TUnit* unit);
// One cycle of a second handler: the unit reaches its step point and takes the next path step or
// the end of its path, or moves on by factor x velocity; its cell entry follows.
void WalkTowardStepPoint(TUnit* unit, float factor, void (*nextStep)(TUnit*), void (*pathEnd)(TUnit*));
// One step of a path: the next path cell becomes the step point (a blocked cell recovers the path).
void StepOntoNextPathCell(TUnit* unit);
// The path is used up: the goal's cell is tested and reached (pathEnd) or walked to; an unusable
// goal cell raises the end-of-move event.
void FinishPathAtGoal(TUnit* unit, void (*pathEnd)(TUnit*));
void PathEndDefault(TUnit* unit);
// A path whose next cell is blocked: the move is planned again toward the goal.
void RecoverPath(TUnit* unit);

// ---- map queries ---------------------------------------------------------------------------------

// Calls visit(cell) for each cell of the square block of (2r + 1) rows by (2r + 1) cells centred
// on (x, y): it starts r x 2 rows below, walks north-east within a row and north-west between rows.
template <class F>
void ForEachBlockCell(std::int32_t x, std::int32_t y, std::int32_t r, F&& visit);
// The friendly-fire test of a point: false when an own building or an own or friendly unit
// stands near it.
bool ScanMapCells(TUnit* unit, float x, float y);
// true when the object code stands in the unit's cell or the block of the radius around it.
bool CheckUnitCell(TUnit* unit, std::uint16_t code, std::uint8_t radius);
// Whether two players count as friends for the firing tests: equal, non-zero relation bytes
// toward each other or either dead. Nobody (255) is nobody's friend.
bool ArePlayersFriends(std::uint8_t a, std::uint8_t b);

// ---- keyboard actions on the local player's selection ----------------------------------------------

void LocalPlayerUnitsCheck();
void LocalPlayerUnitCheck();

// ---- towers --------------------------------------------------------------------------------------

// Every barrel of every tower of the unit fires.
void FireTowers(TUnit* unit);

// ---- template body -------------------------------------------------------------------------------

#include "map/map_grid.h"

template <class F>
void ForEachBlockCell(std::int32_t x, std::int32_t y, std::int32_t r, F&& visit)
{
    constexpr std::uint8_t kNorthEast = 1;
    constexpr std::uint8_t kNorthWest = 4;
    constexpr std::uint8_t kSouth = 6;
    plat::Point rowStart{x, y};
    for (std::int32_t i = 0; i < r; ++i)
        rowStart = GetNeighbourPoint(rowStart, kSouth);
    const std::int32_t side = 2 * r + 1;
    for (std::int32_t row = 0; row < side; ++row) {
        plat::Point c = rowStart;
        for (std::int32_t col = 0; col < side; ++col) {
            visit(c);
            c = GetNeighbourPoint(c, kNorthEast);
        }
        rowStart = GetNeighbourPoint(rowStart, kNorthWest);
    }
}
