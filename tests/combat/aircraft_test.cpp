#include "combat/aircraft.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "combat/cycle_updates.h"
#include "combat/explosions.h"
#include "combat/shots.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/unit_queries.h"
#include "combat/work_states.h"
#include "core/random_table.h"
#include "orders_world.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/upgrades.h"
#include "test_support.h"

namespace {

using orderstest::OrdersWorld;

constexpr std::uint16_t kBomber = 10;
constexpr std::uint16_t kRecon = 12; // kind 11: turns tightly even while attacking
constexpr std::uint16_t kAirfield = 20;
constexpr float kPi = 3.1415927f;

// An aircraft of the player in free flight over cell (x, y), heading as given, step point where
// it is.
TUnit* Flying(OrdersWorld& w, std::uint8_t player, std::uint16_t type, std::int32_t x, std::int32_t y,
              float heading = 0.0f)
{
    TUnit* u = w.AddUnit(player, type, x, y);
    EXPECT_NE(u, nullptr);
    u->Work = UNIT_NO_WORK;
    u->NumWork = 0;
    u->NumSprite = 0.0f;
    u->WaitCount = 0;
    u->Reload = 0;
    u->FiredFlag = 0;
    u->Height = 300.0f;
    u->GroundHeight = 50.0f;
    u->Heading = heading;
    u->StepX = u->GoalX = u->X;
    u->StepY = u->GoalY = u->Y;
    ClearUnitTargets(u);
    return u;
}

// The shot accuracy factors of the players, 1.0 during the test and put back after it.
class AccuracyFactors {
public:
    AccuracyFactors()
    {
        for (int p = 0; p < 8; ++p) {
            m_Saved[p] = g_ShotAccuracyFactor[p];
            g_ShotAccuracyFactor[p] = 1.0f;
        }
    }
    ~AccuracyFactors()
    {
        for (int p = 0; p < 8; ++p)
            g_ShotAccuracyFactor[p] = m_Saved[p];
    }

private:
    float m_Saved[8] = {};
};

// Shot tables filled, and no shot left behind.
class ShotTables {
public:
    ShotTables()
    {
        ini_tshot(); // the pictures are missing here; the tables are filled all the same
        ini_explo();
    }
    ~ShotTables()
    {
        FreeShotList();
        ExplosionsFree();
    }
};

int CountShots()
{
    int n = 0;
    for (const TShot* s = g_ShotList; s != nullptr; s = s->next)
        ++n;
    return n;
}

// Sends an aircraft home the way a landing order does: to the approach point of its airfield.
void SendHome(TUnit* u, THouse* airfield)
{
    ClearUnitTargets(u);
    u->Work = WORK_AIR_TO_AIRFIELD;
    u->House = airfield;
    const float shift = static_cast<float>(u->Basic->RunwayLength) * 4.0f / (u->Basic->TurnStep * 57.295776f);
    u->StepX = airfield->ExitX + shift;
    u->StepY = airfield->ExitY + shift;
}

// An aircraft of the airfield's owner at its door, starting its take-off.
TUnit* LeavingAirfield(OrdersWorld& w, THouse* field, std::uint16_t type)
{
    TUnit* u = w.AddUnit(field->Owner, type, field->X, field->Y + 2);
    u->X = field->DoorX;
    u->Y = field->DoorY;
    u->GroundHeight = 50.0f;
    LeaveHouse(u, field);
    return u;
}

// The error log of this test process, emptied.
void ClearLog()
{
    testsupport::WriteText("ReportError.log", "");
}
std::string Log()
{
    return testsupport::ReadText("ReportError.log");
}
// No entry of the air handlers' faults (missing pictures of effects may be logged around them).
bool NoAirFaultLogged()
{
    const std::string log = Log();
    for (const char* key : {"AirRotate", "ChangeOrientIfNeedForAir", "MakeMoveAirBomber", "AirFieldStep"})
        if (log.find(key) != std::string::npos)
            return false;
    return true;
}

// Runs the aircraft's handler until the predicate holds; the cycles it took, or -1.
template <typename Pred>
int RunUntil(TUnit* u, int limit, Pred done, const std::vector<TUnit*>& others = {})
{
    const TUnitHandler move = u->Basic->m_MoveHandler != nullptr ? u->Basic->m_MoveHandler
                                                                  : UnitKindHandlers(u->Basic->m_Kind).move;
    for (int c = 0; c < limit; ++c) {
        if (done())
            return c;
        move(u);
        for (TUnit* o : others)
            UnitKindHandlers(o->Basic->m_Kind).move(o);
        UpdateTimedEffects();
        UpdateShots();
    }
    return done() ? limit : -1;
}

TEST(AircraftGeometry, HeadingsComeBackIntoOneTurn)
{
    struct Case {
        float in, out;
    };
    const Case cases[] = {{0.5f, 0.5f}, {-0.1f, 6.2831855f - 0.1f}, {6.2825f, 0.0f}, {7.0f, 7.0f - 6.2831855f},
                          {-7.0f, 2.0f * 6.2831855f - 7.0f}, {NAN, 0.0f}, {INFINITY, 0.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_NEAR(AirNormaliseHeading(c.in), c.out, 1e-4f);
    }
    // The aircraft moves along (sin, cos) of the heading, y pointing down the screen.
    EXPECT_NEAR(AirAngleTo(0, 0, 0, 10), 0.0f, 1e-6f);
    EXPECT_NEAR(AirAngleTo(0, 0, 10, 0), kPi / 2, 1e-6f);
    EXPECT_NEAR(AirAngleTo(0, 0, 0, -10), kPi, 1e-6f);
    EXPECT_NEAR(AirAngleTo(0, 0, -10, 0), 1.5f * kPi, 1e-6f);
    EXPECT_NEAR(AirAngleTo(10, 10, 0, 0), AIR_GLIDE_HEADING, 1e-5f);
}

TEST(AircraftGeometry, TurnsTheShortWay)
{
    struct Case {
        float heading, angle;
        bool grows;
    };
    const Case cases[] = {{0.5f, 1.0f, true}, {1.0f, 0.5f, false}, {0.2f, 6.0f, false},
                          {6.0f, 0.2f, true},  {0.0f, 3.0f, true},  {0.0f, 3.3f, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.heading << " -> " << c.angle);
        EXPECT_EQ(AirTurnGrows(c.heading, c.angle), c.grows);
    }
}

TEST(AircraftGeometry, TurnCircleLiesSquareToTheHeadingOnTheSideOfTheTurn)
{
    const float r = 150.0f;
    for (float h : {0.0f, 0.7f, 2.0f, 3.9f, 5.5f}) {
        for (bool grows : {true, false}) {
            SCOPED_TRACE(testing::Message() << "heading " << h << (grows ? " growing" : " shrinking"));
            const TPointF c = AirTurnCentre(100.0f, 200.0f, h, r, grows);
            EXPECT_NEAR(std::hypot(c.x - 100.0f, c.y - 200.0f), r, 1e-3f);
            EXPECT_NEAR((c.x - 100.0f) * std::sin(h) + (c.y - 200.0f) * std::cos(h), 0.0f, 1e-3f);
            // The aircraft stands on its circle, and a turning step carries it forward.
            const TPointF here = AirPointOnCircle(c, h, r, grows);
            EXPECT_NEAR(here.x, 100.0f, 1e-3f);
            EXPECT_NEAR(here.y, 200.0f, 1e-3f);
            const TPointF next = AirPointOnCircle(c, grows ? h + 0.05f : h - 0.05f, r, grows);
            EXPECT_GT((next.x - 100.0f) * std::sin(h) + (next.y - 200.0f) * std::cos(h), 0.0f);
        }
    }
}

TEST(Aircraft, TurnFactorDependsOnAttackAndKind)
{
    OrdersWorld w;
    TUnit* enemy = Flying(w, 1, testworld::kFighter, 10, 20);
    struct Case {
        const char* label;
        std::uint16_t type;
        bool attacking;
        float factor;
    };
    const Case cases[] = {
        {"fighter cruising", testworld::kFighter, false, 1.4f},
        {"fighter attacking", testworld::kFighter, true, 3.0f},
        {"kind 11 attacking", kRecon, true, 1.4f},
        {"kind 11 cruising", kRecon, false, 1.4f},
        {"bomber attacking", kBomber, true, 3.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TUnit* u = Flying(w, 0, c.type, 20, 40);
        if (c.attacking) {
            u->AttackUnit = enemy;
            u->PlayerAttack = 1;
        }
        EXPECT_FLOAT_EQ(AirTurnFactor(u), c.factor);
    }
    TUnit* pointFire = Flying(w, 0, kBomber, 20, 40);
    pointFire->Work = WORK_FIRE_AT_POINT;
    EXPECT_TRUE(AirIsAttacking(pointFire));
}

TEST(Aircraft, StepPointInsideTheCircleIsFlownAtStraight)
{
    // Heading 0 (down the screen), the step point 400 pixels to the east: the centre of the turn
    // lies 150 east, so the step point is 250 from it, between 1.4 and 3.0 radii.
    OrdersWorld w;
    TUnit* enemy = Flying(w, 1, testworld::kFighter, 10, 20);
    for (bool attacking : {false, true}) {
        SCOPED_TRACE(attacking ? "attacking" : "cruising");
        TUnit* u = Flying(w, 0, testworld::kFighter, 20, 40, 0.0f);
        const float x0 = u->X;
        const float y0 = u->Y;
        u->StepX = x0 + 400.0f;
        u->StepY = y0;
        if (attacking) {
            u->AttackUnit = enemy;
            u->PlayerAttack = 1;
        }
        const float r = u->Basic->TurnRadius;
        const TPointF centre = AirTurnCentre(x0, y0, 0.0f, r, true);
        AirRotate(u);
        if (!attacking) {
            EXPECT_NEAR(u->Heading, u->Basic->TurnStep, 1e-6f);
            EXPECT_NEAR(std::hypot(u->X - centre.x, u->Y - centre.y), r, 1e-2f);
            EXPECT_NEAR(u->VX, u->X - x0, 1e-4f);
            EXPECT_NEAR(u->VY, u->Y - y0, 1e-4f);
        } else {
            EXPECT_FLOAT_EQ(u->Heading, 0.0f);
            EXPECT_FLOAT_EQ(u->VX, 0.0f);
            EXPECT_FLOAT_EQ(u->VY, u->Basic->Speed);
            EXPECT_FLOAT_EQ(u->X, x0);
            EXPECT_FLOAT_EQ(u->Y, y0 + u->Basic->Speed);
        }
        // The flight sprite follows the heading: an orient 0..7 and a frame inside the animation.
        EXPECT_GE(u->Orient, 0);
        EXPECT_LT(u->Orient, 8);
        EXPECT_LT(u->NumSprite, static_cast<float>(u->Basic->AnimationSize[0]));
    }
}

TEST(Aircraft, FlightSpriteOutOfItsStateIsLoggedAndReset)
{
    OrdersWorld w;
    TUnit* u = Flying(w, 0, testworld::kFighter, 20, 40);
    u->StepX = u->X + 400.0f;
    u->NumWork = ANIM_AIM;
    ClearLog();
    AirRotate(u);
    EXPECT_EQ(u->NumWork, 0);
    EXPECT_EQ(u->NumSprite, 0.0f);
    const std::string log = Log();
    EXPECT_NE(log.find("if ((byte)u->NumSprite >= u->Basic->AnimationSize[UNIT_WALK] || u->NumWork!=UNIT_WALK) in AirRotate"),
              std::string::npos);
    EXPECT_NE(log.find("u->NumWork=6"), std::string::npos) << log;
}

TEST(Aircraft, CruiseAltitudeIsCapped)
{
    OrdersWorld w;
    TUnit* high = Flying(w, 0, testworld::kFighter, 20, 40);
    high->Height = 500.0f;
    MakeMoveAirKind1(high);
    EXPECT_FLOAT_EQ(high->Height, 400.0f - high->GroundHeight + 0.01f);
    TUnit* low = Flying(w, 0, testworld::kFighter, 20, 40);
    low->Height = 200.0f;
    MakeMoveAirKind1(low);
    EXPECT_FLOAT_EQ(low->Height, 200.0f);
}

TEST(Aircraft, TakeOffRollsFasterAndFasterThenClimbsToCruise)
{
    OrdersWorld w;
    THouse* field = w.AddHouse(0, 20, 30, kAirfield);
    TUnit* f = LeavingAirfield(w, field, testworld::kFighter);
    std::vector<float> roll;
    std::vector<float> heights;
    float lastX = f->X;
    float lastY = f->Y;
    bool leftGround = false;
    const int cycles = RunUntil(f, 1000, [&] {
        if (f->Height < 1.0f) {
            EXPECT_FALSE(leftGround) << "back on the ground during the climb";
            roll.push_back(std::hypot(f->X - lastX, f->Y - lastY));
        } else {
            if (!leftGround) {
                // The aircraft lifts off at the airfield's exit point.
                EXPECT_FLOAT_EQ(f->X, field->ExitX);
                EXPECT_FLOAT_EQ(f->Y, field->ExitY);
                EXPECT_FLOAT_EQ(f->Height, 1.01f);
            }
            leftGround = true;
            heights.push_back(f->Height);
        }
        EXPECT_LE(f->Height + f->GroundHeight, 400.011f);
        lastX = f->X;
        lastY = f->Y;
        return f->Work == UNIT_NO_WORK;
    });
    ASSERT_GT(cycles, 0);
    EXPECT_LT(cycles, 300);
    ASSERT_GT(roll.size(), 3u);
    // From rest: the first step is short, each next one at least as long.
    EXPECT_LT(roll[1], f->Basic->Speed * 0.2f);
    // The last step ends on the exit point and may be shorter.
    for (std::size_t i = 2; i + 1 < roll.size(); ++i)
        EXPECT_GE(roll[i] + 1e-4f, roll[i - 1]) << "roll step " << i;
    // The lift-off height 1.01 becomes the climb's 1.0 + 400 x the share of the climb run.
    for (std::size_t i = 1; i < heights.size(); ++i)
        EXPECT_GE(heights[i] + 0.011f, heights[i - 1]) << "climb step " << i;
    EXPECT_EQ(f->NumWork, 0);
    EXPECT_NEAR(f->Height + f->GroundHeight, 400.01f, 1e-3f);
}

// Landing from the approach point: the glide ends at height 0 exactly on the exit point, the roll
// slows toward the door and ends inside the airfield in a bounded number of cycles.
TEST(Aircraft, LandingReachesTheGroundAtTheExitPointAndRollsIn)
{
    struct Case {
        const char* label;
        float heading;
        bool doorOnExit;
    };
    const Case cases[] = {{"lined up", AIR_GLIDE_HEADING, false},
                          {"turning onto the glide", 0.5f, false},
                          {"door on the exit point", AIR_GLIDE_HEADING, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        OrdersWorld w;
        THouse* field = w.AddHouse(0, 20, 30, kAirfield);
        if (c.doorOnExit) {
            field->DoorX = field->ExitX;
            field->DoorY = field->ExitY;
        }
        TUnit* f = Flying(w, 0, testworld::kFighter, 20, 40, c.heading);
        const float run = static_cast<float>(f->Basic->RunwayLength);
        f->House = field;
        f->StepX = field->ExitX + run;
        f->StepY = field->ExitY + run;
        f->Work = WORK_ENTER_HOUSE;
        bool touched = false;
        float lastRoll = 1e9f;
        float lastX = 0.0f;
        float lastY = 0.0f;
        const int cycles = RunUntil(f, 3000, [&] {
            if (f->Work == STAY_IN_HOUSE)
                return true;
            if (f->Work == WORK_AIR_LANDING && f->Height < 1.0f) {
                if (!touched) {
                    EXPECT_EQ(f->Height, 0.0f);
                    EXPECT_FLOAT_EQ(f->X, field->ExitX);
                    EXPECT_FLOAT_EQ(f->Y, field->ExitY);
                    EXPECT_EQ(f->NumWork, ANIM_WALK_UPRIGHT);
                } else {
                    const float step = std::hypot(f->X - lastX, f->Y - lastY);
                    EXPECT_LE(step, lastRoll + 1e-4f) << "the roll speeds up";
                    lastRoll = step;
                }
                touched = true;
                lastX = f->X;
                lastY = f->Y;
            }
            return false;
        });
        EXPECT_TRUE(touched);
        ASSERT_GT(cycles, 0) << "never inside the airfield";
        EXPECT_LT(cycles, 1500);
        EXPECT_EQ(f->Work, STAY_IN_HOUSE);
        EXPECT_FLOAT_EQ(f->X, field->DoorX);
        EXPECT_FLOAT_EQ(f->Y, field->DoorY);
        EXPECT_TRUE(std::isfinite(f->X) && std::isfinite(f->Y));
    }
}

TEST(Aircraft, BomberLeadGrowsWithSpeedAndShipsAndShrinksWithAccuracy)
{
    OrdersWorld w;
    AccuracyFactors factors;
    TUnit* b = Flying(w, 0, kBomber, 20, 40);
    TUnit* ship = w.AddUnit(1, testworld::kDestroyer, 10, 20);
    TUnit* soldier = w.AddUnit(1, testworld::kRifleman, 12, 20);
    const float v = b->Basic->Speed;
    EXPECT_FLOAT_EQ(BomberLeadDistance(b, soldier), v * 30.0f);
    EXPECT_FLOAT_EQ(BomberLeadDistance(b, nullptr), v * 30.0f);
    EXPECT_FLOAT_EQ(BomberLeadDistance(b, ship), v * 150.0f);
    g_ShotAccuracyFactor[0] = 1.5f;
    EXPECT_FLOAT_EQ(BomberLeadDistance(b, soldier), v * 20.0f);
    // An accuracy factor never set does not make the lead infinite.
    g_ShotAccuracyFactor[0] = 0.0f;
    EXPECT_FLOAT_EQ(BomberLeadDistance(b, soldier), v * 30.0f);
    g_ShotAccuracyFactor[0] = 1.0f;
    b->Type = 9;
    EXPECT_FLOAT_EQ(BomberLeadDistance(b, soldier), v * 10.0f);
}

TEST(Aircraft, BomberDropsOnItsTargetWithinTheLead)
{
    OrdersWorld w({{0, 0}, {1, 0}, {2, 0}});
    AccuracyFactors factors;
    ShotTables shots;
    THouse* target = w.AddHouse(1, 20, 20);
    for (const float beyond : {-5.0f, 5.0f}) {
        SCOPED_TRACE(beyond);
        TUnit* b = Flying(w, 0, kBomber, 20, 40);
        const float lead = BomberLeadDistance(b, nullptr);
        b->X = target->DoorX;
        b->Y = target->DoorY + lead + beyond;
        b->Heading = kPi;
        b->StepX = target->DoorX;
        b->StepY = target->DoorY;
        b->VX = 0.0f;
        b->VY = -b->Basic->Speed;
        b->HouseAttack = target;
        b->PlayerHouseAttack = 1;
        const int before = CountShots();
        // The flight step comes first: one speed nearer.
        b->Y += b->Basic->Speed;
        MakeMoveAirBomber(b);
        const bool dropped = beyond < 0.0f;
        EXPECT_EQ(CountShots() - before, dropped ? 5 : 0);
        EXPECT_EQ(b->FiredFlag, dropped ? 1 : 0);
        EXPECT_EQ(b->Reload, dropped ? b->Basic->ReloadTime[0] : 0);
    }
}

// Against a ship the aim point is the bomber's position scattered by (100 - r % 200) on each axis,
// and the lead is five times as long.
TEST(Aircraft, BomberScattersItsAimAtAShip)
{
    struct Case {
        std::uint16_t scatter;
        bool drops;
    };
    // The ship lies 500 ahead; the lead against it is 450. Aim shifted by +100 on both axes: 412
    // from the ship; by -99: 607.
    const Case cases[] = {{0, true}, {199, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scatter);
        OrdersWorld w;
        AccuracyFactors factors;
        ShotTables shots;
        TUnit* b = Flying(w, 0, kBomber, 20, 30, 0.0f);
        TUnit* ship = w.AddUnit(1, testworld::kDestroyer, 20, 50);
        ship->X = b->X;
        ship->Y = b->Y + 500.0f;
        ASSERT_FLOAT_EQ(BomberLeadDistance(b, ship), 450.0f);
        b->AttackUnit = ship;
        b->PlayerAttack = 1;
        b->StepX = ship->X;
        b->StepY = ship->Y;
        b->VX = 0.0f;
        b->VY = 0.001f;
        w.SetRandomIndex(3000);
        // No re-aim (the first draw is not below 200), then the two scatter draws.
        w.SetNextRandomValues({5000, c.scatter, c.scatter});
        MakeMoveAirBomber(b);
        EXPECT_EQ(b->FiredFlag, c.drops ? 1 : 0);
        if (!c.drops)
            EXPECT_EQ(g_RandIndex, 3003);
    }
}

// What lies below decides whether a bomber on its way to a far target drops: an own ground unit
// vetoes, an ally's unit neither vetoes nor invites.
TEST(Aircraft, BomberFindsTargetsBelowAndOwnUnitsVeto)
{
    struct Case {
        const char* label;
        bool own, ally, enemy, enemyHouse, ownAircraft;
        bool found;
    };
    const Case cases[] = {
        {"nothing below", false, false, false, false, false, false},
        {"enemy soldier", false, false, true, false, false, true},
        {"enemy building", false, false, false, true, false, true},
        {"ally soldier only", false, true, false, false, false, false},
        {"ally and enemy", false, true, true, false, false, true},
        {"own soldier and enemy", true, false, true, false, false, false},
        {"own soldier and enemy building", true, false, false, true, false, false},
        {"own aircraft and enemy", false, false, true, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        // Players 0 and 1 are allies, 2 their enemy.
        OrdersWorld w({{0, 1}, {1, 1}, {2, 0}});
        AccuracyFactors factors;
        ShotTables shots;
        TUnit* b = Flying(w, 0, kBomber, 20, 50);
        const plat::Point here{20, 50};
        const plat::Point ne = GetNeighbourPoint(here, 1);
        const plat::Point nw = GetNeighbourPoint(here, 4);
        const plat::Point se = GetNeighbourPoint(here, 2);
        if (c.own)
            w.AddUnit(0, testworld::kRifleman, here.x, here.y);
        if (c.ally)
            w.AddUnit(1, testworld::kRifleman, ne.x, ne.y);
        if (c.enemy)
            w.AddUnit(2, testworld::kRifleman, nw.x, nw.y);
        if (c.enemyHouse)
            w.SetObject(se.x, se.y, PlayerHouseCode(2, w.AddHouse(2, 20, 70)->Index));
        if (c.ownAircraft)
            Flying(w, 0, testworld::kFighter, here.x, here.y);
        EXPECT_EQ(BomberFindTargets(b), c.found);

        // On the way to a far target the bomber drops exactly when something is found below.
        THouse* far = w.AddHouse(2, 20, 8);
        b->HouseAttack = far;
        b->PlayerHouseAttack = 2;
        b->Heading = kPi;
        b->StepX = far->DoorX;
        b->StepY = far->DoorY;
        b->VX = 0.0f;
        b->VY = -0.001f;
        ASSERT_GT(PixelDistance(b->X, b->Y, far->DoorX, far->DoorY) - BomberLeadDistance(b, nullptr),
                  b->Basic->ReloadTime[0] * b->Basic->Speed);
        MakeMoveAirBomber(b);
        EXPECT_EQ(b->FiredFlag, c.found ? 1 : 0);
    }
}

TEST(Aircraft, BomberOutsideTheInnerMapFindsNothing)
{
    OrdersWorld w({{0, 0}, {1, 0}});
    TUnit* b = Flying(w, 0, kBomber, 3, 8);
    w.AddUnit(1, testworld::kRifleman, 3, 8);
    EXPECT_FALSE(BomberFindTargets(b));
}

// The stick: five bombs 5 velocity steps apart, each from a point scattered by (r % 10 - 5) on
// each axis, ten draws of the shared table, and the bomber back where it was.
TEST(Aircraft, StickOfFiveBombsTakesTenDraws)
{
    OrdersWorld w;
    AccuracyFactors factors;
    ShotTables shots;
    TUnit* single = Flying(w, 0, testworld::kFighter, 20, 40);
    single->VX = 3.0f;
    w.SetRandomIndex(1000);
    BomberDropBombs(single);
    ASSERT_EQ(CountShots(), 1);
    EXPECT_FLOAT_EQ(g_ShotList->startX, single->X);
    const int perShot = g_RandIndex - 1000;
    FreeShotList();

    TUnit* b = Flying(w, 0, kBomber, 20, 40);
    b->VX = 3.0f;
    b->VY = -1.0f;
    const float x0 = b->X;
    const float y0 = b->Y;
    w.SetRandomIndex(2000);
    std::vector<std::uint16_t> values;
    for (int i = 0; i < 80; ++i)
        values.push_back(static_cast<std::uint16_t>(i * 7 + 3));
    w.SetNextRandomValues(values);
    BomberDropBombs(b);
    EXPECT_EQ(g_RandIndex - 2000, 10 + 5 * perShot);
    EXPECT_FLOAT_EQ(b->X, x0);
    EXPECT_FLOAT_EQ(b->Y, y0);
    std::vector<const TShot*> stick;
    for (const TShot* s = g_ShotList; s != nullptr; s = s->next)
        stick.insert(stick.begin(), s);
    ASSERT_EQ(stick.size(), 5u);
    int draw = 0;
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const float dx = static_cast<float>(values[draw] % 10) - 5.0f;
        const float dy = static_cast<float>(values[draw + 1] % 10) - 5.0f;
        draw += 2 + perShot;
        EXPECT_FLOAT_EQ(stick[i]->startX, x0 + i * 5.0f * b->VX + dx);
        EXPECT_FLOAT_EQ(stick[i]->startY, y0 + i * 5.0f * b->VY + dy);
    }
}

// On the test world: a fighter takes off, attacks an enemy aircraft and lands again.
TEST(AircraftScenario, FighterTakesOffAttacksAndLands)
{
    OrdersWorld w;
    THouse* field = w.AddHouse(0, 20, 30, kAirfield);
    ClearLog();
    TUnit* f = LeavingAirfield(w, field, testworld::kFighter);
    ASSERT_GT(RunUntil(f, 500, [&] { return f->Work == UNIT_NO_WORK; }), 0);

    TUnit* enemy = Flying(w, 1, testworld::kFighter, 20, 50);
    enemy->StepX = enemy->X + 50.0f;
    const float hp = enemy->HitPoints;
    f->m_bMaySearch = 1;
    ASSERT_EQ(OrderAttackUnit(f, enemy, 0), ATTACK_TAKEN);
    ASSERT_GT(RunUntil(f, 2000, [&] { return f->FiredFlag != 0; }, {enemy}), 0) << "never fired";

    SendHome(f, field);
    // A strafing run's bullets may land some cycles after the shot.
    const int landing = RunUntil(f, 4000, [&] { return f->Work == STAY_IN_HOUSE; });
    const bool damaged = enemy->HitPoints < hp;
    ASSERT_GT(landing, 0) << "never landed; Work " << int(f->Work);
    EXPECT_FLOAT_EQ(f->X, field->DoorX);
    EXPECT_FLOAT_EQ(f->Y, field->DoorY);
    // Flight, turns and glide never left the sprite ranges nor lost a target or airfield.
    EXPECT_TRUE(NoAirFaultLogged()) << Log();
    EXPECT_TRUE(damaged) << "the fighter's fire never hurt the enemy aircraft";
}

// On the test world: a bomber takes off, bombs an enemy building and returns to its airfield.
TEST(AircraftScenario, BomberBombsABuildingAndReturns)
{
    OrdersWorld w;
    AccuracyFactors factors;
    ShotTables shots;
    THouse* field = w.AddHouse(0, 20, 30, kAirfield);
    THouse* target = w.AddHouse(1, 20, 60);
    // A building that stands up from flat ground, so a falling bomb meets its walls, and reaches
    // down over its door point, onto which the bomber leads its drop.
    w.FillHeights(0);
    static THouseType standing = [] {
        THouseType t = orderstest::OrdersWorld::HouseTypeRecord();
        t.m_SpriteHeight = 300;
        return t;
    }();
    target->TypeRecord = &standing;
    for (const plat::Point& c : FootprintCells({20, 62}, 2, 2))
        w.SetObject(c.x, c.y, PlayerHouseCode(1, target->Index));
    w.BuildPassMaps();
    ClearLog();
    TUnit* b = LeavingAirfield(w, field, kBomber);
    ASSERT_GT(RunUntil(b, 800, [&] { return b->Work == UNIT_NO_WORK; }), 0);

    const float hp = target->HitPoints;
    b->HouseAttack = target;
    b->PlayerHouseAttack = 1;
    b->StepX = target->DoorX;
    b->StepY = target->DoorY;
    ASSERT_GT(RunUntil(b, 2000, [&] { return b->FiredFlag != 0; }), 0) << "never dropped";
    EXPECT_GT(CountShots(), 0);
    // Let the bombs fall.
    for (int i = 0; i < 300 && g_ShotList != nullptr; ++i)
        UpdateShots();
    const bool damaged = target->HitPoints < hp;

    SendHome(b, field);
    const int landing = RunUntil(b, 4000, [&] { return b->Work == STAY_IN_HOUSE; });
    ASSERT_GT(landing, 0) << "never landed; Work " << int(b->Work);
    EXPECT_TRUE(NoAirFaultLogged()) << Log();
    EXPECT_TRUE(damaged) << "the bombs fell, but none hurt the building";
}

} // namespace
