#include "combat/unit_orders.h"

#include <cmath>

#include <gtest/gtest.h>

#include "combat/house_events.h"
#include "combat/unit_events.h"
#include "combat/work_states.h"
#include "core/random_table.h"
#include "map/trenches.h"
#include "movement/path_follow.h"
#include "orders_world.h"
#include "units/unit_lists.h"

namespace {

using orderstest::OrdersWorld;
using testworld::CellCentre;
using testworld::TPixel;

TUnit* Soldier(OrdersWorld& w, std::uint8_t player, std::int32_t x, std::int32_t y)
{
    TUnit* u = w.AddUnit(player, testworld::kRifleman, x, y);
    u->Work = UNIT_NO_WORK;
    // Riflemen enter buildings and attack them.
    u->Basic->m_ParamFlags[0] = 1;
    u->Basic->m_ParamFlags[1] = 1;
    return u;
}

TEST(UnitOrders, GoToPointRefusesSheltersRidersAndBusyAircraft)
{
    struct Case {
        const char* label;
        std::uint16_t type;
        std::uint8_t work;
        std::uint8_t hold;
        bool taken;
    };
    const Case cases[] = {
        {"ground, idle", testworld::kRifleman, UNIT_NO_WORK, 0, true},
        {"ground, in a building", testworld::kRifleman, STAY_IN_HOUSE, 0, false},
        {"ground, riding", testworld::kRifleman, WORK_UNIT_TRANSPORTED, 0, false},
        {"ground, leaving a building", testworld::kRifleman, UNIT_WORK_LEAVE_HOUSE, 0, false},
        {"aircraft, idle", testworld::kFighter, UNIT_NO_WORK, 0, true},
        {"aircraft, taking off", testworld::kFighter, UNIT_WORK_AIR_START, 0, false},
        {"aircraft, landing", testworld::kFighter, WORK_AIR_LANDING, 0, false},
        {"aircraft, held", testworld::kFighter, UNIT_NO_WORK, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        OrdersWorld w;
        TUnit* u = w.AddUnit(0, c.type, 20, 40);
        u->Work = c.work;
        u->m_bHold = c.hold;
        const TPixel to = CellCentre(22, 40);
        GoToPoint(u, to.x, to.y, 0);
        EXPECT_EQ(u->GoalX == to.x, c.taken);
        EXPECT_EQ(u->Work, c.taken ? UNIT_NO_WORK : c.work);
    }
}

TEST(UnitOrders, AMoveToAMapPointLooksAtWhatStandsThere)
{
    enum class There { Ground, EnemyHouse, AlliedHouse, OwnHouse, Trench };
    struct Case {
        const char* label;
        There there;
    };
    for (const Case& c : {Case{"ground", There::Ground}, Case{"enemy building", There::EnemyHouse},
                          Case{"allied building", There::AlliedHouse}, Case{"own building", There::OwnHouse},
                          Case{"trench", There::Trench}}) {
        SCOPED_TRACE(c.label);
        OrdersWorld w;
        w.SetAllies(0, 2, true);
        TUnit* u = Soldier(w, 0, 14, 40);
        THouse* h = nullptr;
        TPixel at = CellCentre(24, 40);
        if (c.there == There::EnemyHouse || c.there == There::AlliedHouse || c.there == There::OwnHouse) {
            const std::uint8_t owner = c.there == There::EnemyHouse ? 1 : c.there == There::AlliedHouse ? 2 : 0;
            h = w.AddHouse(owner, 24, 40);
        } else if (c.there == There::Trench) {
            w.AddTrench(24, 40, true);
        }
        SendUnitToMapPoint(u, at.x, at.y, WORK_OWN_WAY, 77);
        switch (c.there) {
        case There::Ground:
        case There::Trench:
            EXPECT_EQ(u->Work, WORK_OWN_WAY);
            EXPECT_EQ(u->WorkObject, 77);
            EXPECT_EQ(u->GoalX, at.x);
            EXPECT_EQ(u->HouseAttack, nullptr);
            break;
        case There::EnemyHouse:
            EXPECT_EQ(u->HouseAttack, h);
            EXPECT_EQ(u->PlayerHouseAttack, 1);
            EXPECT_EQ(u->Work, UNIT_NO_WORK);
            EXPECT_GE(u->m_SearchDelay, 60);
            break;
        case There::AlliedHouse:
            EXPECT_EQ(u->HouseAttack, nullptr);
            EXPECT_EQ(u->Work, WORK_OWN_WAY);
            EXPECT_EQ(u->Halted, 0);
            break;
        case There::OwnHouse:
            EXPECT_EQ(u->Work, WORK_ENTER_HOUSE);
            EXPECT_EQ(u->House, h);
            EXPECT_EQ(u->WorkObject, PlayerHouseCode(0, 0));
            EXPECT_EQ(u->GoalX, h->ExitX);
            EXPECT_EQ(u->GoalY, h->ExitY);
            break;
        }
    }
}

TEST(UnitOrders, WorkersGoToDifferentPlacesAroundABuildingNearestFirst)
{
    OrdersWorld w;
    THouse* h = w.AddHouse(0, 24, 40);
    h->BuildWork = 50; // still to be built: the workers go to work on it
    std::vector<TUnit*> workers;
    for (int i = 0; i < 5; ++i)
        workers.push_back(w.AddUnit(0, testworld::kWorker, 14, 30 + 2 * i));
    std::vector<std::pair<float, float>> goals;
    float last = 0.0f;
    for (std::uint16_t slot = 0; slot < 5; ++slot) {
        TUnit* u = workers[slot];
        u->Work = UNIT_NO_WORK;
        GoToObject(u, workers[0], 0, slot);
        EXPECT_EQ(u->Work, WORK_GO_TO_OBJECT);
        EXPECT_EQ(u->House, h);
        const float d = std::hypot(u->GoalX - workers[0]->X, u->GoalY - workers[0]->Y);
        EXPECT_GE(d, last);
        last = d;
        for (const auto& g : goals)
            EXPECT_FALSE(g.first == u->GoalX && g.second == u->GoalY);
        goals.emplace_back(u->GoalX, u->GoalY);
    }
    // A finished, undamaged building is entered, not repaired.
    h->BuildWork = 0;
    TUnit* late = w.AddUnit(0, testworld::kWorker, 14, 44);
    late->Work = UNIT_NO_WORK;
    GoToObject(late, late, 0, 0);
    EXPECT_EQ(late->Work, WORK_ENTER_HOUSE);
    EXPECT_EQ(late->GoalX, h->ExitX);
    // The free places round the building are the same ring.
    EXPECT_FALSE(GetFreePointsAroundHouse(h).empty());
}

TEST(UnitOrders, AWorkerSentToATrenchDrawsTwoValuesForItsSpot)
{
    OrdersWorld w;
    const std::uint16_t index = w.AddTrench(24, 40, false);
    TUnit* u = w.AddUnit(0, testworld::kWorker, 14, 40);
    u->Work = UNIT_NO_WORK;
    w.SetRandomIndex(700);
    GoToObject(u, u, static_cast<std::uint16_t>(kObjectTrenchListFirst + index), 0);
    EXPECT_EQ(g_RandIndex, 702);
    EXPECT_EQ(u->Work, WORK_GO_TO_OBJECT);
}

TEST(UnitOrders, FireAtAPoint)
{
    OrdersWorld w;
    TUnit* tank = w.AddUnit(0, testworld::kTank, 20, 40);
    tank->Work = UNIT_NO_WORK;
    UnitOrderAtPoint(tank, tank->X + 200.0f, tank->Y, 0);
    EXPECT_EQ(tank->Work, UNIT_NO_WORK); // closer than 250
    UnitOrderAtPoint(tank, tank->X + 300.0f, tank->Y, 0);
    EXPECT_EQ(tank->TargetX, tank->X + 300.0f);

    TUnit* u = Soldier(w, 0, 20, 50);
    u->Basic->AnimationSize[6] = 4;
    const float far = u->X + u->Basic->Range[0] + 200.0f;
    UnitOrderAtPoint(u, far, u->Y, 0);
    EXPECT_EQ(u->Work, WORK_FIRE_AT_POINT);
    EXPECT_EQ(u->TargetX, far);
    EXPECT_EQ(u->GoalX, far); // walks into range
    UnitOrderAtPoint(u, u->X + 40.0f, u->Y, 0);
    EXPECT_EQ(u->Halted, 1); // in range: stops and aims
    EXPECT_EQ(u->VX, 0.0f);
}

TEST(UnitOrders, TheApproachPointNearAStandingVehicleTerminates)
{
    OrdersWorld w;
    TUnit* tank = w.AddUnit(1, testworld::kTank, 20, 40);
    // Straight below the tank: the push vector is (0, 0).
    TUnit* u = Soldier(w, 0, 20, 40);
    u->X = tank->X;
    u->Y = tank->Y - 25.0f;
    for (std::int32_t y = 30; y <= 50; ++y)
        for (std::int32_t x = 14; x <= 26; ++x)
            g_pLandPassMap[CellIndex(x, y)] = PASS_BLOCKED;
    SetApproachPointToUnit(u, tank);
    EXPECT_EQ(u->StepX, u->X);
    EXPECT_EQ(u->StepY, u->Y);
    // A push that never reaches a usable cell stops after its limit or at the border.
    for (std::size_t i = 0; i < g_MapCellCount; ++i)
        g_pLandPassMap[i] = PASS_BLOCKED;
    u->X = tank->X - 100.0f;
    u->Y = tank->Y;
    SetApproachPointToUnit(u, tank);
    EXPECT_LE(u->StepX - u->X, 75.0f * (kApproachPushLimit + 1));
}

TEST(UnitOrders, AttackingAnEnemyUnitTakesItAndClosesIn)
{
    OrdersWorld w;
    TUnit* u = Soldier(w, 0, 14, 40);
    TUnit* enemy = Soldier(w, 1, 30, 40);
    u->Stance = 2; // no long weapon: it must walk up
    EXPECT_EQ(OrderAttackUnit(u, enemy, 1), ATTACK_TAKEN);
    EXPECT_EQ(u->AttackUnit, enemy);
    EXPECT_EQ(u->PlayerAttack, 1);
    EXPECT_EQ(enemy->AttackPoints, 2);
    EXPECT_EQ(u->HasSavedOrder, 1);
    EXPECT_EQ(u->Halted, 0);
    EXPECT_GT(u->GoalX, u->X);
    // A held unit takes no attack order.
    TUnit* held = Soldier(w, 0, 14, 44);
    held->m_bHold = 1;
    EXPECT_EQ(OrderAttackUnit(held, enemy, 0), ATTACK_REFUSED);
    EXPECT_EQ(held->AttackUnit, nullptr);
}

} // namespace
