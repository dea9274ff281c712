#include "combat/ground_frame.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "combat/cycle_updates.h"
#include "combat/firing.h"
#include "combat/target_grid.h"
#include "combat/unit_orders.h"
#include "combat/unit_walk.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_events.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/terrain.h"
#include "orders_world.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

using orderstest::OrdersWorld;
using testworld::CellCentre;
using testworld::kRifleman;

constexpr std::uint8_t kMortar = 8;
constexpr std::uint8_t kNone = UNIT_NO_NEXT_WORK;

// A rifleman standing at a cell, halted, facing north.
TUnit* Soldier(OrdersWorld& w, std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type = kRifleman)
{
    TUnit* u = w.AddUnit(player, type, x, y);
    u->Halted = 1;
    u->NumWork = ANIM_STAND_UPRIGHT;
    u->NumSprite = 0.0f;
    u->SetOrient(0);
    u->WantedOrient = 0;
    u->NextWork = kNone;
    return u;
}

void Target(TUnit* a, TUnit* t)
{
    a->AttackUnit = t;
    a->PlayerAttack = t->Player;
    a->Work = 7;
}

} // namespace

// ---- the animation clock ------------------------------------------------------------------------

TEST(GroundFrame, AFrameIsCrossedFromTheStartUpToButNotIncludingTheNextStart)
{
    struct Row {
        float start, speed, frame;
        bool crossed;
    };
    const Row rows[] = {{0.0f, 0.5f, 0.0f, true},  {0.5f, 0.5f, 1.0f, false}, {1.0f, 0.5f, 1.0f, true},
                        {2.5f, 0.5f, 3.0f, false}, {3.0f, 0.5f, 3.0f, true},  {2.9f, 0.25f, 3.0f, true},
                        {3.01f, 1.0f, 3.0f, false}};
    for (const Row& r : rows)
        EXPECT_EQ(FrameCrossed(r.start, r.speed, r.frame), r.crossed) << r.start << " + " << r.speed << " vs " << r.frame;

    // Through the handler: the fidget is cut in the cycle that starts at its middle frame, not before.
    OrdersWorld w;
    TUnit* u = Soldier(w, 0, 10, 20);
    TBasicUnit* type = u->Basic;
    type->AnimationSize[4] = 6;
    type->AnimationSpeed[4] = 0.5f;
    u->NumWork = 4;
    u->NumSprite = 2.5f;
    w.SetNextRandomValues(std::vector<std::uint16_t>(8, 30000)); // no new fidget
    MakeMoveDefault(u);
    EXPECT_EQ(u->NumWork, 4);
    EXPECT_FLOAT_EQ(u->NumSprite, 3.0f);
    MakeMoveDefault(u);
    EXPECT_EQ(u->NumWork, ANIM_STAND_UPRIGHT);
}

TEST(GroundFrame, EndOfAnimationTransitionsByStateNextWorkAndFacing)
{
    struct Row {
        std::uint8_t numWork;
        std::uint8_t nextWork;
        bool facing;
        bool halted;
        std::uint8_t wantNumWork;
        std::uint8_t wantNextWork;
    };
    // The rifleman has no 13, 14, 18 or 20 of its own; the rows that look for them get them below.
    const Row rows[] = {
        {ANIM_WALK_LOW, kNone, true, true, ANIM_STAND, kNone},
        {ANIM_WALK_LOW, ANIM_AIM, true, true, ANIM_AIM, kNone},
        {ANIM_WALK_LOW, UNIT_WALK, true, false, UNIT_WALK, kNone}, // the moving work of an upright unit
        {ANIM_FIRE_TO_TURN, kNone, true, true, ANIM_STAND_UPRIGHT, kNone},
        {ANIM_FIRE_TO_TURN, kNone, true, false, UNIT_WALK, kNone},
        {ANIM_FIRE_TO_TURN, ANIM_FIRE, false, true, ANIM_TURN, ANIM_FIRE_ALT},
        {ANIM_AIM_TO_TURN, ANIM_AIM, false, true, ANIM_TURN, ANIM_AIM_ALT},
        {ANIM_AIM_TO_TURN, 22, false, true, ANIM_TURN, 22},
        {ANIM_AIM_TO_TURN, ANIM_AIM, true, true, ANIM_AIM, kNone},
        {ANIM_FIRE_ALT, kNone, true, true, ANIM_FIRE, kNone},
        {ANIM_AIM_ALT, kNone, true, true, ANIM_AIM, kNone},
        {ANIM_WALK_UPRIGHT, kNone, true, true, ANIM_STAND_UPRIGHT, kNone},
        {ANIM_WALK_UPRIGHT, ANIM_FIRE, true, true, ANIM_FIRE, kNone},
        {ANIM_WALK_UPRIGHT, ANIM_FIRE, false, true, ANIM_TURN, ANIM_FIRE},
        {ANIM_AIM_MOVING_ALT, kNone, true, true, ANIM_AIM_MOVING, kNone},
        {ANIM_WALK_UPRIGHT_ALT, ANIM_AIM_MOVING, false, true, ANIM_AIM_MOVING_ALT, ANIM_AIM_MOVING},
        {ANIM_WALK_UPRIGHT_ALT, kNone, false, true, ANIM_STAND, kNone},
        {ANIM_WALK_UPRIGHT_ALT, ANIM_AIM, true, true, ANIM_WALK_UPRIGHT, ANIM_AIM},
        {ANIM_WALK_UPRIGHT_ALT, UNIT_WALK, true, true, ANIM_WALK_UPRIGHT, UNIT_WALK},
        {ANIM_WALK_UPRIGHT_ALT, 22, true, true, 22, kNone},
    };
    OrdersWorld w;
    for (const Row& r : rows) {
        TUnit* u = Soldier(w, 0, 10, 20);
        u->Basic->AnimationSize[ANIM_AIM_ALT] = 2;
        u->Basic->AnimationSize[ANIM_FIRE_ALT] = 2;
        u->Halted = r.halted ? 1 : 0;
        u->NumWork = r.numWork;
        u->NextWork = r.nextWork;
        u->WantedOrient = r.facing ? 0 : 3;
        EXPECT_TRUE(EndOfAnimationShared(u));
        const std::string row = std::to_string(r.numWork) + "/" + std::to_string(r.nextWork) + (r.facing ? " facing" : " turning") +
                                (r.halted ? " halted" : " moving");
        EXPECT_EQ(u->NumWork, r.wantNumWork) << row;
        EXPECT_EQ(u->NextWork, r.wantNextWork) << row;
        if (r.numWork == ANIM_WALK_UPRIGHT_ALT && !r.facing)
            EXPECT_EQ(u->Orient, 3) << row << ": faces at once";
    }
    // The firing states belong to each kind's own handler.
    TUnit* u = Soldier(w, 0, 12, 20);
    u->NumWork = ANIM_AIM;
    EXPECT_FALSE(EndOfAnimationShared(u));
}

TEST(GroundFrame, TheFiringAnimationWaitsAtItsFirstFrameUntilTheReloadIsOver)
{
    OrdersWorld w;
    TUnit* a = Soldier(w, 0, 10, 20);
    TUnit* t = Soldier(w, 1, 10, 24);
    Target(a, t);
    a->NumWork = ANIM_AIM;
    a->NumSprite = 0.0f;
    a->Reload = 3;
    for (int c = 0; c < 3; ++c) {
        MakeMoveDefault(a);
        EXPECT_EQ(a->NumWork, ANIM_AIM);
        EXPECT_EQ(a->NumSprite, 0.0f) << "cycle " << c;
    }
    EXPECT_EQ(a->Reload, 0);
    MakeMoveDefault(a);
    EXPECT_GT(a->NumSprite, 0.0f);
    // A reload that runs while the animation is past its first frame does not hold it.
    a->NumSprite = 1.5f;
    a->Reload = 5;
    MakeMoveDefault(a);
    EXPECT_GT(a->NumSprite, 1.5f);
}

TEST(GroundFrame, ArtilleryCancelsTargetsNearerThanAFifthOfItsRangeOrBeyondIt)
{
    struct Row {
        float share; // of the range
        float height;
        bool messagePause;
        bool kept;
        bool message;
    };
    const Row rows[] = {{0.1f, 0.0f, false, false, true}, {0.1f, 0.0f, true, false, false},
                        {0.5f, 0.0f, false, true, false}, {0.95f, 0.0f, false, true, false},
                        {1.2f, 0.0f, false, false, false}, {0.5f, 5.0f, false, false, false}};
    for (const Row& r : rows) {
        OrdersWorld w;
        TUnit* gun = Soldier(w, 0, 10, 30, kMortar);
        TUnit* t = Soldier(w, 1, 10, 60);
        const float range = static_cast<float>(gun->Basic->Range[0]);
        ASSERT_GT(range, 0.0f);
        t->X = gun->X;
        t->Y = gun->Y + r.share * range;
        t->Height = r.height;
        Target(gun, t);
        gun->NumWork = ANIM_AIM;
        g_MoveCountdown = r.messagePause ? 5 : 0;
        MakeMoveDefault(gun);
        const std::string row = std::to_string(r.share) + " of the range, height " + std::to_string(r.height);
        EXPECT_EQ(gun->AttackUnit != nullptr, r.kept) << row;
        EXPECT_EQ(!w.messages.empty(), r.message) << row;
        g_MoveCountdown = 0;
    }
}

TEST(GroundFrame, AFidgetStartsOnOneHundredOfTheTableAndHalfOfThemFromTheMiddle)
{
    struct Row {
        std::vector<std::uint16_t> draws;
        bool hasIdle;
        std::uint8_t numWork;
        float sprite;
        std::uint16_t used;
    };
    const Row rows[] = {{{99, 16383}, true, 4, 6 * 0.5f + 1.01f, 2},
                        {{0, 16384}, true, 4, 0.0f, 2},
                        {{100, 0}, true, ANIM_STAND_UPRIGHT, 0.01f, 1},
                        {{5, 0}, false, ANIM_STAND_UPRIGHT, 0.01f, 1}};
    for (const Row& r : rows) {
        OrdersWorld w;
        TUnit* u = Soldier(w, 0, 10, 20);
        u->Basic->AnimationSize[4] = r.hasIdle ? 6 : 0;
        u->NumSprite = 0.01f;
        w.SetRandomIndex(100);
        w.SetNextRandomValues(r.draws);
        StandingLoopEnded(u);
        EXPECT_EQ(u->NumWork, r.numWork) << r.draws[0];
        EXPECT_FLOAT_EQ(u->NumSprite, r.sprite) << r.draws[0];
        EXPECT_EQ(g_RandIndex, 100 + r.used) << r.draws[0];
    }
}

// ---- map queries --------------------------------------------------------------------------------

TEST(GroundFrame, CheckUnitCellReadsTheSquareBlockCentredOnTheUnit)
{
    constexpr std::uint16_t kCode = 9650;
    for (std::uint8_t radius : {1, 2}) {
        OrdersWorld w;
        TUnit* u = Soldier(w, 0, 15, 40);
        const testworld::TPixel c = CellCentre(15, 40);
        for (std::int32_t y = 30; y <= 50; ++y) {
            for (std::int32_t x = 11; x <= 19; ++x) {
                const testworld::TPixel p = CellCentre(x, y);
                // The cell's place in steps north-east (a) and north-west (b) from the unit's.
                const float dx = (p.x - c.x) / 48.0f;
                const float dy = (p.y - c.y) / 24.0f;
                const float a = (dx - dy) / 2.0f;
                const float b = (-dx - dy) / 2.0f;
                const bool inside = std::fabs(a) <= radius && std::fabs(b) <= radius;
                w.SetObject(x, y, kCode);
                EXPECT_EQ(CheckUnitCell(u, kCode, radius), inside) << "radius " << int(radius) << " cell " << x << "," << y;
                w.SetObject(x, y, 0);
            }
        }
    }
}

TEST(GroundFrame, GetObjectAtStandsUnitsOnTrenchesSmallHousesAndTheGround)
{
    OrdersWorld w;
    w.SetHeight(15, 41, 80);
    w.AddTrench(10, 20, true);
    const std::uint16_t house = w.AddNeutralHouse(12, 20, 0);
    g_pHouse[kNeutralHouseSlot][house].TypeRecord = &OrdersWorld::HouseTypeRecord();
    TUnit* inTrench = Soldier(w, 0, 10, 20);
    TUnit* onHouse = Soldier(w, 0, 12, 20);
    TUnit* onSlope = Soldier(w, 0, 15, 40);
    TUnit* flying = Soldier(w, 0, 10, 20);
    flying->Height = 50.0f;
    TUnit* atEdge = Soldier(w, 0, 4, 10);
    atEdge->MapX = 2; // the unit's cell as the walk keeps it, two columns from the edge
    atEdge->GroundHeight = 7.0f;
    for (TUnit* u : {inTrench, onHouse, onSlope, flying, atEdge})
        GetObjectAt(u);
    EXPECT_EQ(inTrench->GroundHeight, 65.0f);
    EXPECT_EQ(onHouse->GroundHeight, 114.0f);
    EXPECT_EQ(onSlope->GroundHeight, static_cast<float>(GetLandHeightF(onSlope->X, onSlope->Y)));
    EXPECT_NE(onSlope->GroundHeight, 50.0f) << "the slope lifts the point";
    EXPECT_EQ(flying->GroundHeight, static_cast<float>(GetLandHeightF(flying->X, flying->Y)));
    EXPECT_EQ(atEdge->GroundHeight, 7.0f) << "cells near the edge keep their height";
    // The rectangle: the bottom ignores the height above the ground, the top does not.
    const float v = static_cast<float>(flying->Basic->m_SpriteHeight);
    EXPECT_EQ(flying->m_RectBottom, static_cast<std::int32_t>(flying->Y + v - flying->GroundHeight));
    EXPECT_EQ(flying->m_RectTop, static_cast<std::int32_t>(flying->Y - v - flying->GroundHeight - 50.0f));
}

TEST(GroundFrame, ScanMapCellsRefusesPointsNearOwnAndFriendlyUnitsButNotNeutralOrEnemyOnes)
{
    struct Row {
        std::uint8_t other; // owner of the unit near the point
        bool allies;
        bool otherDead;
        bool free;
    };
    const Row rows[] = {{0, false, false, false}, {1, true, false, false}, {1, false, false, true},
                        {UNIT_NO_PLAYER, false, false, true}, {1, false, true, false}};
    for (const Row& r : rows) {
        OrdersWorld w;
        TUnit* shooter = Soldier(w, 0, 10, 20);
        w.SetAllies(0, 1, r.allies);
        TUnit* near = nullptr;
        if (r.other == UNIT_NO_PLAYER) {
            const testworld::TPixel p = CellCentre(12, 40);
            near = CreateUnit(p.x, p.y, kRifleman, 0);
            AddNeutralUnit(near);
        } else {
            near = Soldier(w, r.other, 12, 40);
        }
        if (r.otherDead)
            w.Player(1)->Dead = 1;
        EXPECT_EQ(ScanMapCells(shooter, near->X + 30.0f, near->Y), r.free) << int(r.other) << (r.allies ? " ally" : "");
        shooter->Work = WORK_FIRE_AT_POINT;
        EXPECT_TRUE(ScanMapCells(shooter, near->X, near->Y)) << "fire at a point is never refused";
    }
}

// ---- turning ------------------------------------------------------------------------------------

TEST(GroundFrame, ATurnWiderThanOneFrameLandsOnTheWantedFacing)
{
    for (float step : {0.05f, 0.4f, 1.0f, 2.0f}) {
        OrdersWorld w;
        TUnit* tank = w.AddUnit(0, testworld::kTank, 10, 20);
        tank->Basic->TurnStep = step;
        for (std::uint8_t wanted : {2, 6, 7, 1}) {
            tank->WantedOrient = wanted;
            tank->NumWork = ANIM_TURN;
            tank->NextWork = kNone;
            int cycles = 0;
            while (tank->NumWork == ANIM_TURN && cycles < 400) {
                EXPECT_TRUE(AirInRotate(tank));
                ++cycles;
            }
            EXPECT_EQ(tank->NumWork, ANIM_STAND_UPRIGHT) << "step " << step << " to " << int(wanted);
            EXPECT_EQ(tank->Orient, wanted) << "step " << step;
        }
    }
}

// The last stretch of a path runs from the last path point to the goal itself; a soldier that
// must turn for it walks on after the turn, arrives and ends its move, never standing still on
// its way with its order unfinished.
TEST(GroundFrame, ASoldierTurningForTheLastStretchToItsGoalWalksOnAndEndsItsMove)
{
    int turned = 0;
    for (const auto& [dc, dr] : {std::pair{0, 6}, std::pair{0, -6}, std::pair{3, 0}, std::pair{-3, 0}}) {
        SCOPED_TRACE(testing::Message() << dc << "," << dr);
        OrdersWorld w;
        g_FrameCounter = 0;
        TUnit* u = Soldier(w, 0, 10, 30);
        const testworld::TPixel goal = CellCentre(10 + dc, 30 + dr);
        u->Halted = 0;
        u->NumWork = UNIT_WALK;
        u->Work = WORK_OWN_WAY;
        u->GoalX = goal.x;
        u->GoalY = goal.y;
        FinishPathAtGoal(u, PathEndDefault);
        turned += u->NumWork == ANIM_TURN ? 1 : 0;
        for (std::uint32_t c = 1; c <= 600 && !(u->Halted != 0 && u->X == goal.x && u->Y == goal.y); ++c) {
            g_FrameCounter = c;
            WalkPlayerUnits(w.Player(0));
        }
        EXPECT_EQ(u->X, goal.x);
        EXPECT_EQ(u->Y, goal.y);
        EXPECT_NE(u->Halted, 0);
        EXPECT_EQ(u->Work, UNIT_NO_WORK) << "the end of the move finished the order";
        g_FrameCounter = 0;
    }
    EXPECT_GT(turned, 0) << "no goal made the soldier turn first";
}

// ---- a fight on the test world ------------------------------------------------------------------

namespace {

struct TFightOutcome {
    std::vector<float> state; // per unit of both players: x, y, hit points, dead
    std::uint16_t randIndex = 0;
    int fallen[2] = {};
};

// Riflemen and a tank of player 0 ordered onto a squad of player 1, the unit walks of both players
// run cycle by cycle with the target grid refilled as the game cycle does it.
TFightOutcome Fight()
{
    OrdersWorld w;
    w.SetRandomIndex(0);
    g_FrameCounter = 0;
    ResetTargetGrid();
    for (std::uint8_t p = 0; p < 2; ++p)
        w.Player(p)->MakeGrid(g_MapWidth, g_MapHeight);
    std::vector<TUnit*> attackers;
    for (std::int32_t i = 0; i < 3; ++i)
        attackers.push_back(w.AddUnit(0, kRifleman, 10 + i, 20));
    attackers.push_back(w.AddUnit(0, testworld::kTank, 14, 22));
    for (std::int32_t i = 0; i < 4; ++i)
        w.AddUnit(1, kRifleman, 10 + i, 50);
    const testworld::TPixel squad = CellCentre(11, 50);
    for (TUnit* u : attackers)
        GoToPoint(u, squad.x, squad.y, 0);
    for (std::uint32_t c = 1; c <= 2500; ++c) {
        g_FrameCounter = c;
        if (c % 33 == 0)
            RefreshTargetGridUnits();
        for (std::uint8_t p = 0; p < 2; ++p)
            WalkPlayerUnits(w.Player(p));
    }
    // A killed man leaves his player's unit list for the dead, so the fallen are those missing from
    // it or still dying in it.
    TFightOutcome out;
    out.fallen[0] = static_cast<int>(attackers.size());
    out.fallen[1] = 4;
    for (std::uint8_t p = 0; p < 2; ++p)
        for (TUnit* u = w.Player(p)->FirstUnit; u != nullptr; u = u->m_pNext) {
            out.state.insert(out.state.end(), {u->X, u->Y, u->HitPoints, static_cast<float>(u->Dead)});
            out.fallen[p] -= u->Dead == 0 ? 1 : 0;
        }
    out.randIndex = g_RandIndex;
    g_FrameCounter = 0;
    return out;
}

} // namespace

TEST(GroundFight, InfantryAndATankFightItOutWithAnEnemySquadAlikeInTwoRuns)
{
    {
        OrdersWorld w;
        TUnit* a = w.AddUnit(0, kRifleman, 10, 20);
        TUnit* b = w.AddUnit(1, kRifleman, 10, 22);
        if (BulletDamage(a, b) == 0.0)
            GTEST_SKIP() << "firing is not built yet: no shot hurts anybody";
    }
    const TFightOutcome first = Fight();
    const TFightOutcome second = Fight();
    EXPECT_EQ(first.state, second.state);
    EXPECT_EQ(first.randIndex, second.randIndex);
    EXPECT_GT(first.fallen[1], 0) << "the squad lost men";
}

// Attackers that dropped a target leave no points on it: once the points are counted afresh a new
// attacker is let in, and only live attackers aimed at it count.
TEST(GroundFight, AttackPointsLeftByFormerAttackersAreCountedAwayWithTheTargetGrid)
{
    OrdersWorld w;
    TUnit* target = w.AddUnit(1, kRifleman, 10, 40);
    TUnit* aiming = w.AddUnit(0, kRifleman, 10, 30);
    TUnit* dead = w.AddUnit(0, kRifleman, 12, 30);
    TUnit* fresh = w.AddUnit(0, kRifleman, 14, 30);
    aiming->AttackUnit = target;
    dead->AttackUnit = target;
    dead->Dead = 1;
    target->AttackPoints = 14; // left by seven attackers that have all gone elsewhere
    EXPECT_EQ(OrderAttackUnit(fresh, target, 1), ATTACK_REFUSED);
    RefreshTargetGridUnits();
    EXPECT_EQ(target->AttackPoints, 2);
    EXPECT_EQ(fresh->AttackPoints, 0);
    EXPECT_EQ(OrderAttackUnit(fresh, target, 1), ATTACK_TAKEN);
    EXPECT_EQ(fresh->AttackUnit, target);
}

// A foot soldier beside its enemy strikes with its close attack; a type that cannot play one
// takes aim with its rifle instead of halting beside the enemy for good.
TEST(GroundFight, ASoldierBesideItsEnemyStrikesOrAimsButNeverJustHalts)
{
    for (const bool closeAttack : {true, false}) {
        SCOPED_TRACE(closeAttack);
        OrdersWorld w;
        TUnit* a = w.AddUnit(0, kRifleman, 10, 30);
        TUnit* b = w.AddUnit(1, kRifleman, 10, 32);
        ASSERT_GT(a->Basic->AnimationSize[ANIM_FIRE], 0) << "the sample foot soldier has a close attack";
        if (!closeAttack)
            a->Basic->AnimationSize[ANIM_FIRE] = a->Basic->AnimationSize[ANIM_FIRE_ALT] = 0;
        const float d = std::hypot(a->X - b->X, a->Y - b->Y);
        ASSERT_LT(d, 50.0f);
        a->AttackUnit = b;
        a->PlayerAttack = 1;
        EXPECT_TRUE(CanAttack(a, b, d));
        // Straight into the work or after turning to face the enemy.
        const auto entered = [&](std::initializer_list<int> works) {
            for (int k : works)
                if (a->NumWork == k || a->NextWork == k)
                    return true;
            return false;
        };
        if (closeAttack)
            EXPECT_TRUE(entered({ANIM_FIRE, ANIM_FIRE_ALT})) << int(a->NumWork) << " " << int(a->NextWork);
        else
            EXPECT_TRUE(entered({ANIM_AIM, ANIM_AIM_MOVING, ANIM_AIM_ALT, ANIM_AIM_MOVING_ALT}))
                << int(a->NumWork) << " " << int(a->NextWork);
    }
}
