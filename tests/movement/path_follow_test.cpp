#include "movement/path_follow.h"

#include <cmath>

#include <gtest/gtest.h>

#include "combat/unit_events.h"
#include "combat/work_states.h"
#include "core/random_table.h"
#include "movement/path_world.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "support/unit_walker.h"

namespace {

using pathtest::Kind;
using pathtest::PathWorld;
using testworld::CellCentre;
using testworld::WalkUntilStill;

constexpr int kManyCycles = 5000;

float DistanceTo(const TUnit* u, float x, float y)
{
    return std::hypot(u->X - x, u->Y - y);
}

TUnit* Rifleman(PathWorld& w, std::int32_t x, std::int32_t y)
{
    TUnit* u = w.AddUnit(0, testworld::kRifleman, x, y);
    u->Work = UNIT_NO_WORK;
    return u;
}

TEST(PathFollow, AShortMoveOnOpenGroundWalksStraightWithoutAPath)
{
    PathWorld w;
    TUnit* u = Rifleman(w, 20, 40);
    const float x = u->X + 60.0f;
    const float y = u->Y;
    AddBasicPath(u, x, y, false);
    EXPECT_EQ(u->Path, nullptr);
    EXPECT_EQ(u->StepX, x);
    EXPECT_EQ(u->StepY, y);
    EXPECT_EQ(u->Halted, 0);
    EXPECT_GT(u->VX, 0.0f);
    EXPECT_FLOAT_EQ(u->VY, 0.0f);
    EXPECT_GE(WalkUntilStill(u, kManyCycles), 0);
    EXPECT_EQ(u->X, x);
    EXPECT_EQ(u->Y, y);
    // The end-of-move event stood it there.
    EXPECT_EQ(u->Halted, 1);
    EXPECT_EQ(u->Work, UNIT_NO_WORK);
}

TEST(PathFollow, AUnitCrossesOpenGroundAndGoesRoundAWall)
{
    struct Case {
        const char* label;
        bool wall;
    };
    for (const Case& c : {Case{"open ground", false}, Case{"round a wall", true}}) {
        SCOPED_TRACE(c.label);
        PathWorld w;
        if (c.wall)
            for (std::int32_t y = 24; y <= 56; ++y)
                PathWorld::Block(23, y);
        TUnit* u = Rifleman(w, 18, 40);
        const testworld::TPixel goal = CellCentre(30, 41);
        AddBasicPath(u, goal.x, goal.y, false);
        ASSERT_NE(u->Path, nullptr);
        ASSERT_GE(WalkUntilStill(u, kManyCycles), 0);
        EXPECT_LT(DistanceTo(u, goal.x, goal.y), 1.0f);
        EXPECT_EQ(u->Halted, 1);
    }
}

TEST(PathFollow, AnUnreachableGoalLeavesTheUnitStandingWithTheEndOfMoveEvent)
{
    PathWorld w;
    // A closed ring of blocked cells round the goal cell (30, 41).
    for (std::uint8_t k = 1; k < kDirectionCount; ++k) {
        const plat::Point n = GetNeighbourPoint({30, 41}, k);
        PathWorld::Block(n.x, n.y);
    }
    TUnit* u = Rifleman(w, 27, 41);
    u->NumWork = ANIM_WALK_UPRIGHT;
    const float x0 = u->X;
    const float y0 = u->Y;
    const testworld::TPixel goal = CellCentre(30, 41);
    AddBasicPath(u, goal.x, goal.y, false);
    EXPECT_EQ(u->X, x0);
    EXPECT_EQ(u->Y, y0);
    EXPECT_EQ(u->Halted, 1);
    EXPECT_EQ(u->VX, 0.0f);
    EXPECT_EQ(u->Path, nullptr);
    EXPECT_EQ(u->GoalX, x0);
    // EventUnitEndMove's stop: retries back to 0, the stand animation.
    EXPECT_EQ(u->m_PathRetries, 0);
    EXPECT_EQ(u->NumWork, ANIM_STAND_UPRIGHT);
    EXPECT_EQ(WalkUntilStill(u, 10), 0);
}

TEST(PathFollow, AGoalInTheBorderBandIsMovedToAFreeCellByRandomSteps)
{
    PathWorld w;
    TUnit* u = Rifleman(w, 10, 30);
    // The goal cell (2, 30) is clamped to (4, 30), which is blocked; one step east (value 6 ->
    // direction 7) reaches the free (5, 30).
    PathWorld::Block(4, 30);
    w.SetRandomIndex(100);
    w.SetNextRandomValues({6});
    const testworld::TPixel bad = CellCentre(2, 30);
    AddBasicPath(u, bad.x, bad.y, false);
    EXPECT_EQ(g_RandIndex, 101);
    const testworld::TPixel moved = CellCentre(5, 30);
    EXPECT_EQ(u->GoalX, moved.x);
    EXPECT_EQ(u->GoalY, moved.y);
}

TEST(PathFollow, ALongMoveOverThePathBudgetIsDeferredAsACommandOfItsOwner)
{
    PathWorld w;
    TUnit* u = Rifleman(w, 10, 20);
    g_PathWorkCounter = g_PathBudget;
    const testworld::TPixel goal = CellCentre(30, 60);
    EXPECT_EQ(SendUnitToCell(u, goal.x, goal.y, true), SEND_DEFERRED);
    EXPECT_EQ(u->PendingMove, 1);
    EXPECT_EQ(u->m_OrderedX, static_cast<std::int32_t>(goal.x));
    EXPECT_EQ(u->m_OrderedY, static_cast<std::int32_t>(goal.y));
    THeapItem* queued = w.Player(0)->HeapHead;
    ASSERT_NE(queued, nullptr);
    EXPECT_EQ(queued->id, COMMAND_ID_PATH_MOVE);
    EXPECT_EQ(queued->unitIndex, u->m_Index);
    EXPECT_EQ(queued->x, goal.x);
    EXPECT_EQ(u->m_pOrderObject, queued);
    // Inside AddBasicPath a vehicle's deferred move leaves it standing until its command runs.
    TUnit* tank = w.AddUnit(0, testworld::kTank, 10, 22);
    AddBasicPath(tank, goal.x, goal.y, false);
    EXPECT_EQ(tank->Halted, 1);
    EXPECT_EQ(tank->PendingMove, 1);
    EXPECT_EQ(tank->m_PathRetries, 1);
    // Under the budget the move is searched at once and costs its work.
    g_PathWorkCounter = 0;
    EXPECT_EQ(SendUnitToCell(u, goal.x, goal.y, true), SEND_PATH_FOUND);
    EXPECT_GE(g_PathWorkCounter, 10);
}

TEST(PathFollow, ASlowUnitIsRefusedAPathButTurnsTowardThePoint)
{
    PathWorld w;
    TUnit* u = Rifleman(w, 20, 40);
    u->Basic->Speed = 0.15f;
    const testworld::TPixel goal = CellCentre(30, 40);
    EXPECT_EQ(SendUnitToCell(u, goal.x, goal.y, false), SEND_FAILED);
    EXPECT_EQ(u->m_PathRetries, 1);
    u->Orient = 4;
    AddBasicPath(u, goal.x, goal.y, false);
    EXPECT_EQ(u->WantedOrient, 6); // east
    EXPECT_EQ(u->Halted, 0);
    // Below 0.1 it only turns and stands.
    u->Basic->Speed = 0.05f;
    u->Orient = 4;
    const testworld::TPixel north = CellCentre(20, 30);
    AddBasicPath(u, north.x, north.y, false);
    EXPECT_EQ(u->WantedOrient, 0);
    EXPECT_EQ(u->Halted, 1);
    EXPECT_EQ(u->StepY, north.y);
}

TEST(PathFollow, APathStartingIntoABlockedCellIsReportedAsNotFound)
{
    PathWorld w;
    TUnit* u = Rifleman(w, 10, 40);
    // A cached path whose first cell has since been blocked.
    std::vector<std::uint8_t> path(10, 7);
    g_PathHelper.Add({10, 40}, {20, 40}, path);
    PathWorld::Block(11, 40);
    const testworld::TPixel goal = CellCentre(20, 40);
    EXPECT_EQ(SendUnitToCell(u, goal.x, goal.y, false), SEND_FAILED);
    EXPECT_EQ(u->Path, nullptr);
    EXPECT_EQ(u->m_PathRetries, 1);
}

TEST(PathFollow, VelocityFollowsTheStepPointAndSlowsUphill)
{
    PathWorld w;
    TUnit* u = Rifleman(w, 20, 40);
    const float speed = u->Basic->Speed;
    u->GroundHeight = 50.0f;
    u->StepX = u->X + 30.0f;
    u->StepY = u->Y + 40.0f;
    SetVelocityToWaypoint(u);
    EXPECT_NEAR(std::hypot(u->VX, u->VY), speed, 1e-4f);
    EXPECT_NEAR(u->VX / u->VY, 0.75f, 1e-4f);
    // Uphill: the ground at the step point stands 20 pixels higher.
    for (std::int32_t y = 38; y <= 46; ++y)
        for (std::int32_t x = 18; x <= 23; ++x)
            w.SetHeight(x, y, 70);
    u->GroundHeight = 50.0f;
    u->StepX = u->X + 48.0f;
    u->StepY = u->Y;
    SetVelocityToWaypoint(u);
    EXPECT_LT(std::hypot(u->VX, u->VY), speed * 0.5f);
    // A tank's step point snaps to its cell's centre.
    TUnit* tank = w.AddUnit(0, testworld::kTank, 10, 20);
    const testworld::TPixel c = CellCentre(12, 20);
    tank->StepX = c.x + 7.0f;
    tank->StepY = c.y - 5.0f;
    tank->GoalX = tank->StepX;
    tank->GoalY = tank->StepY;
    SetVelocityToWaypoint(tank);
    EXPECT_EQ(tank->StepX, c.x);
    EXPECT_EQ(tank->StepY, c.y);
    EXPECT_EQ(tank->GoalX, c.x);
}

// The shared random table's index change of each operation that draws from it.
TEST(PathFollow, RandomIndexDeltaOfEachOperation)
{
    struct Case {
        const char* label;
        int delta;
        void (*run)(PathWorld& w);
    };
    const Case cases[] = {
        {"FindFreeCellNear on a free cell", 0, [](PathWorld& w) { w.SetRandomIndex(500); FindFreeCellNear(20, 40); }},
        {"FindFreeCellNear one step", 1,
         [](PathWorld& w) {
             PathWorld::Block(20, 40);
             w.SetRandomIndex(500);
             w.SetNextRandomValues({6});
             EXPECT_EQ(FindFreeCellNear(20, 40).x, 21);
         }},
        {"MoveAsideToFreeCell", 2,
         [](PathWorld& w) {
             TUnit* u = Rifleman(w, 20, 40);
             w.SetRandomIndex(500);
             MoveAsideToFreeCell(u);
         }},
        {"FindNewWay with a field spot", 1,
         [](PathWorld& w) {
             w.SetObject(21, 40, kObjectAnimatedFirst);
             TUnit* u = Rifleman(w, 20, 40);
             u->Work = WORK_OWN_WAY;
             w.SetRandomIndex(500);
             FindNewWay(u);
         }},
        {"FindNewWay without one", 0,
         [](PathWorld& w) {
             TUnit* u = Rifleman(w, 20, 40);
             w.SetRandomIndex(500);
             FindNewWay(u);
         }},
        {"FindWorkForIdleUnit of a person's unit", 0,
         [](PathWorld& w) {
             TUnit* u = Rifleman(w, 20, 40);
             w.SetRandomIndex(500);
             FindWorkForIdleUnit(u);
         }},
        {"FindWorkForIdleUnit of a computer's unit", 1,
         [](PathWorld& w) {
             w.Player(0)->Kind = PLAYER_KIND_COMPUTER;
             TUnit* u = Rifleman(w, 20, 40);
             w.SetRandomIndex(500);
             FindWorkForIdleUnit(u);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PathWorld w;
        w.Player(0)->Kind = PLAYER_KIND_LOCAL;
        c.run(w);
        EXPECT_EQ(static_cast<int>(static_cast<std::uint16_t>(g_RandIndex - 500)), c.delta);
    }
}

TEST(PathFollow, FindNewWayWithNowhereToGoStopsTheUnit)
{
    PathWorld w;
    TUnit* u = Rifleman(w, 20, 40);
    u->Work = WORK_OWN_WAY;
    u->VX = 1.0f;
    FindNewWay(u);
    EXPECT_EQ(u->Work, UNIT_NO_WORK);
    EXPECT_EQ(u->Halted, 1);
    EXPECT_EQ(u->VX, 0.0f);
    // A unit in a corner, where the search square lies outside the playable area.
    TUnit* edge = Rifleman(w, 4, 10);
    edge->Work = WORK_OWN_WAY;
    FindNewWay(edge);
    EXPECT_EQ(edge->Work, UNIT_NO_WORK);
}

TEST(PathFollow, AnIdleWorkerFindsAFieldAndAnEndOfMoveOnACrowdedCellStepsAside)
{
    PathWorld w;
    w.SetObject(23, 44, kObjectAnimatedFirst + 2);
    TUnit* worker = w.AddUnit(0, testworld::kWorker, 20, 40);
    worker->Work = UNIT_NO_WORK;
    EXPECT_TRUE(FindWorkForIdleUnit(worker));
    EXPECT_EQ(worker->Work, WORK_OWN_WAY);
    const testworld::TPixel field = CellCentre(23, 44);
    EXPECT_EQ(worker->GoalX, field.x);
    EXPECT_EQ(worker->GoalY, field.y);

    TUnit* a = Rifleman(w, 30, 40);
    TUnit* b = Rifleman(w, 30, 40);
    (void)a;
    EventUnitEndMove(b);
    EXPECT_EQ(b->m_PathRetries, 1);
    EXPECT_EQ(b->Halted, 0);
    EXPECT_NE(b->StepX == b->X && b->StepY == b->Y, true);
}

} // namespace
