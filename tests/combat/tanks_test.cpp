#include "combat/tanks.h"

#include <string>

#include <gtest/gtest.h>

#include "combat/ground_frame.h"
#include "combat/unit_behaviour.h"
#include "combat/work_states.h"
#include "map/map_grid.h"
#include "movement/passability.h"
#include "orders_world.h"
#include "support/test_world.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

using orderstest::OrdersWorld;
using testworld::CellCentre;
using testworld::kRifleman;
using testworld::kTank;

// A tank of player 0 at (10, 40) driving north toward a goal far away.
TUnit* DrivingTank(OrdersWorld& w)
{
    TUnit* t = w.AddUnit(0, kTank, 10, 40);
    t->SetOrient(0);
    t->WantedOrient = 0;
    t->NumWork = UNIT_WALK;
    t->Halted = 0;
    const testworld::TPixel goal = CellCentre(10, 10);
    t->GoalX = goal.x;
    t->GoalY = goal.y;
    return t;
}

} // namespace

TEST(Tanks, CrushOrPushDependsOnSideBoardingPlaceAndClosePath)
{
    enum class Outcome { Crushed, Pushed, Left };
    struct Row {
        const char* name;
        std::uint8_t player;
        std::uint16_t type;
        std::int32_t dy;   // pixels from the tank, negative ahead (north)
        bool standing;
        bool boarding;
        Outcome outcome;
    };
    const Row rows[] = {
        {"enemy soldier under the tank", 1, kRifleman, 0, true, false, Outcome::Crushed},
        {"enemy soldier just ahead", 1, kRifleman, -20, false, false, Outcome::Crushed},
        {"own soldier ahead", 0, kRifleman, -40, false, false, Outcome::Pushed},
        {"own soldier standing ahead", 0, kRifleman, -40, true, false, Outcome::Pushed},
        {"own soldier standing behind", 0, kRifleman, 40, true, false, Outcome::Left},
        {"enemy soldier boarding this tank", 1, kRifleman, 0, false, true, Outcome::Left},
        {"own soldier boarding this tank", 0, kRifleman, -40, false, true, Outcome::Left},
        {"own tank straight behind", 0, kTank, 48, false, false, Outcome::Left},
        {"enemy tank under the tank", 1, kTank, 0, true, false, Outcome::Left},
    };
    for (const Row& r : rows) {
        OrdersWorld w;
        TUnit* tank = DrivingTank(w);
        TUnit* u = w.AddUnit(r.player, r.type, 10, 40);
        u->Y = tank->Y + static_cast<float>(r.dy);
        UpdateUnitCell(u);
        u->NumWork = r.standing ? ANIM_STAND_UPRIGHT : UNIT_WALK;
        u->SetOrient(r.type == kTank ? 0 : 6);
        u->GoalX = u->X + 500.0f;
        u->GoalY = u->Y;
        if (r.boarding) {
            u->Work = WORK_GO_TO_TRANSPORT;
            u->m_MyFutureTransporter = tank;
        }
        w.SetRandomIndex(0);
        w.SetNextRandomValues(std::vector<std::uint16_t>(16, 30000));
        TankRedirectAllArround(tank);
        const Outcome got = u->Dead != 0 ? Outcome::Crushed : u->StopAtEnd != 0 ? Outcome::Pushed : Outcome::Left;
        EXPECT_EQ(static_cast<int>(got), static_cast<int>(r.outcome)) << r.name;
        if (got == Outcome::Pushed) {
            EXPECT_EQ(u->HasSavedOrder, 1) << r.name << ": the goal was more than 40 pixels away";
            EXPECT_EQ(u->SavedGoalX, tank->X + 500.0f) << r.name;
        }
    }
}

TEST(Tanks, AUnitPushedNearItsGoalSavesNoOrder)
{
    OrdersWorld w;
    TUnit* tank = DrivingTank(w);
    TUnit* u = w.AddUnit(0, kRifleman, 10, 40);
    u->Y = tank->Y - 40.0f;
    UpdateUnitCell(u);
    u->GoalX = u->X + 30.0f;
    u->GoalY = u->Y;
    TankRedirectAllArround(tank);
    EXPECT_EQ(u->StopAtEnd, 1);
    EXPECT_EQ(u->HasSavedOrder, 0);
}

TEST(Tanks, CrushedObjectCodes)
{
    OrdersWorld w;
    w.SetObjectClass(9660, 2);
    w.SetObjectClass(9661, 3);
    w.SetObjectClass(9662, 0);
    struct Row {
        std::uint16_t code;
        std::uint8_t side;
        std::uint16_t to;
    };
    const Row rows[] = {{9612, 0, 9635}, {9612, 1, 9636}, {9608, 2, 9658}, {9616, 0, 9636}, {9611, 1, 9642},
                        {9607, 0, 9629}, {9604, 1, 9627}, {9622, 2, 9625}, {9623, 0, 9623}, {9625, 0, 9623},
                        {9625, 1, 9625}, {9658, 0, 9656}, {9660, 0, 0},    {9661, 0, 9500}, {9662, 0, 9662},
                        {9694, 0, 9694}, {9699, 1, 9699}, {9500, 0, 9500}, {1005, 0, 1005}};
    for (const Row& r : rows)
        EXPECT_EQ(CrushedObjectCode(r.code, r.side), r.to) << r.code << " side " << int(r.side);
}

TEST(Tanks, FlatteningAFenceFreesTheCellForSoldiers)
{
    OrdersWorld w;
    w.SetObjectClass(9612, 0); // a fence stops soldiers
    w.SetObjectClass(9635, 3); // the flattened fence does not
    w.SetObject(10, 40, 9612);
    w.SetObject(10, 38, 9694); // a crop field north of it
    w.BuildPassMaps();
    const std::size_t poz = CellIndex(10, 40);
    ASSERT_NE(g_pLandPassMap[poz], 0);
    TUnit* tank = DrivingTank(w);
    TankCrushObjects(tank);
    EXPECT_EQ(GetObjectFromMap(std::uint16_t{10}, std::uint16_t{40}), 9635);
    EXPECT_EQ(g_pLandPassMap[poz], 0) << "the passability round the cell was rebuilt";

    // A field is taken away whole.
    tank->Y -= 48.0f;
    UpdateUnitCell(tank);
    ASSERT_EQ(tank->MapY, 38);
    TankCrushObjects(tank);
    EXPECT_EQ(GetObjectFromMap(std::uint16_t{10}, std::uint16_t{38}), 0);
}

TEST(Tanks, AStandingTankSkipsMostScans)
{
    OrdersWorld w;
    TUnit* tank = DrivingTank(w);
    tank->NumWork = ANIM_STAND_UPRIGHT;
    TUnit* enemy = w.AddUnit(1, kRifleman, 10, 40);
    w.SetRandomIndex(0);
    w.SetNextRandomValues({24999, 25000});
    TankRedirectAllArround(tank);
    EXPECT_EQ(enemy->Dead, 0) << "skipped on a draw below 25000";
    TankRedirectAllArround(tank);
    EXPECT_NE(enemy->Dead, 0);
}
