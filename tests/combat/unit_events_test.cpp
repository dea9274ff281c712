#include "combat/unit_events.h"

#include <cmath>

#include <gtest/gtest.h>

#include "combat/transports.h"

#include "combat/house_events.h"
#include "combat/unit_orders.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "orders_world.h"
#include "players/strateg.h"
#include "units/unit_lists.h"

namespace {

using orderstest::OrdersWorld;
using testworld::CellCentre;
using testworld::TPixel;

TUnit* Soldier(OrdersWorld& w, std::uint8_t player, std::int32_t x, std::int32_t y)
{
    TUnit* u = w.AddUnit(player, testworld::kRifleman, x, y);
    u->Work = UNIT_NO_WORK;
    return u;
}

TEST(UnitEvents, IsEnemyTruthTable)
{
    // Players 0 and 1 share a team; 2 and 3 stand alone.
    OrdersWorld w({{0, 1}, {1, 1}, {2, 0}, {3, 0}});
    struct Case {
        const char* label;
        std::uint8_t a, b;
        bool enemy;
    };
    const Case cases[] = {
        {"oneself", 2, 2, false},
        {"team mates", 0, 1, false},
        {"no team", 0, 2, true},
        {"neutral units", 0, 255, true},
        {"neutral units, either side", 255, 3, true},
        {"neutral units among themselves", 255, 255, false},
        {"no such player", 0, 7, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(IsEnemy(c.a, c.b), c.enemy);
    }
    // Relation bytes that differ make enemies even when one of them says peace.
    w.Player(2)->Relations[3] = 1;
    EXPECT_TRUE(IsEnemy(2, 3));
    EXPECT_TRUE(IsEnemy(3, 2));
    w.Player(3)->Relations[2] = 1;
    EXPECT_FALSE(IsEnemy(2, 3));
    // A dead player is nobody's enemy.
    w.Player(3)->Dead = 1;
    EXPECT_FALSE(IsEnemy(0, 3));
}

TEST(UnitEvents, NoFriendNearUnitCountsOwnAlliedAndDeadPlayersUnitsButNotNeutralOnes)
{
    OrdersWorld w;
    w.SetAllies(0, 2, true);
    TUnit* target = Soldier(w, 1, 20, 40);
    EXPECT_TRUE(NoFriendNearUnit(0, target)); // only an enemy there
    TUnit* neutral = CreateUnit(target->X, target->Y, testworld::kRifleman, 0);
    ASSERT_NE(AddNeutralUnit(neutral), UNIT_NO_INDEX);
    EXPECT_TRUE(NoFriendNearUnit(0, target));
    Soldier(w, 2, 21, 40);
    EXPECT_FALSE(NoFriendNearUnit(0, target)); // an ally next door
    EXPECT_TRUE(NoFriendNearUnit(1, Soldier(w, 0, 30, 60)));
    TUnit* own = Soldier(w, 0, 30, 61);
    EXPECT_FALSE(NoFriendNearUnit(0, own));
    own->Work = STAY_IN_HOUSE;
    EXPECT_TRUE(NoFriendNearUnit(0, own));
    FreeUnitList(g_NeutralUnitList);
}

TEST(UnitEvents, TheStopFamilyFields)
{
    OrdersWorld w;
    TUnit* u = Soldier(w, 0, 20, 40);
    TUnit* enemy = Soldier(w, 1, 30, 40);
    const TPixel to = CellCentre(28, 44);
    GoToPoint(u, to.x, to.y, 0);
    u->AttackUnit = enemy;
    u->PlayerAttack = 1;
    u->m_OrderFlagB = 1;
    u->NumWork = ANIM_WALK_UPRIGHT;
    ASSERT_NE(u->VX, 0.0f);
    StopUnit(u, 1);
    EXPECT_EQ(u->Halted, 1);
    EXPECT_EQ(u->VX, 0.0f);
    EXPECT_EQ(u->VY, 0.0f);
    EXPECT_EQ(u->Path, nullptr);
    EXPECT_EQ(u->PathIndex, -1);
    EXPECT_EQ(u->GoalX, u->X);
    EXPECT_EQ(u->StepY, u->Y);
    EXPECT_EQ(u->NumWork, ANIM_STAND);
    EXPECT_EQ(u->AttackUnit, nullptr);
    EXPECT_EQ(u->PlayerAttack, UNIT_NO_PLAYER);
    EXPECT_EQ(u->m_OrderFlagB, 0);
    EXPECT_EQ(u->Work, UNIT_NO_WORK);

    // Sheltered units keep their work, riders are not touched, leavers lose theirs.
    u->Work = STAY_IN_HOUSE;
    StopUnit(u, 1);
    EXPECT_EQ(u->Work, STAY_IN_HOUSE);
    u->Work = WORK_UNIT_TRANSPORTED;
    u->m_OrderFlagB = 1;
    StopUnit(u, 1);
    EXPECT_EQ(u->m_OrderFlagB, 1);
    u->Work = UNIT_WORK_LEAVE_HOUSE;
    StopUnit(u, 0);
    EXPECT_EQ(u->Work, UNIT_NO_WORK);

    // CancelOrderAndStop resumes a saved order.
    u->HasSavedOrder = 1;
    u->SavedGoalX = to.x;
    u->SavedGoalY = to.y;
    u->SavedWork = static_cast<std::int8_t>(WORK_OWN_WAY);
    u->SavedWorkObject = 5;
    CancelOrderAndStop(u);
    EXPECT_EQ(u->HasSavedOrder, 0);
    EXPECT_EQ(u->Work, WORK_OWN_WAY);
    EXPECT_EQ(u->WorkObject, 5);
    EXPECT_EQ(u->GoalX, to.x);
    // Without one it stops.
    CancelOrderAndStop(u);
    EXPECT_EQ(u->Work, UNIT_NO_WORK);
    EXPECT_EQ(u->Halted, 1);

    // StopMoving ends a walking unit's move; HoldPosition makes it ready to search.
    GoToPoint(u, to.x, to.y, 0);
    u->NumWork = ANIM_WALK_UPRIGHT;
    StopMoving(u);
    EXPECT_EQ(u->Halted, 1);
    u->m_FirstCountdown = 9;
    u->m_bMaySearch = 0;
    HoldPosition(u);
    EXPECT_EQ(u->m_FirstCountdown, 0);
    EXPECT_EQ(u->m_bMaySearch, 1);
    SetPendingMove(u, to.x, to.y);
    EXPECT_EQ(u->PendingMove, 1);
    EventUnitEndMove(u);
    EXPECT_EQ(u->PendingMove, 0);
    EXPECT_EQ(u->GoalX, to.x);
}

TEST(UnitEvents, EnteringAndLeavingABuilding)
{
    OrdersWorld w;
    THouse* h = w.AddHouse(0, 24, 40);
    h->Capacity = 1;
    TUnit* a = Soldier(w, 0, 20, 50);
    TUnit* b = Soldier(w, 0, 21, 50);
    const int refreshes = w.panelRefreshes;
    EnterHouse(a, h);
    EXPECT_EQ(a->Work, STAY_IN_HOUSE);
    EXPECT_EQ(a->House, h);
    EXPECT_EQ(a->Halted, 1);
    EXPECT_EQ(a->VX, 0.0f);
    EXPECT_GT(w.panelRefreshes, refreshes);
    // Full: the second walks out to the exit.
    EnterHouse(b, h);
    EXPECT_EQ(b->Work, UNIT_WORK_LEAVE_HOUSE);
    EXPECT_EQ(b->GoalX, h->ExitX);
    EXPECT_EQ(b->StartX, h->DoorX);
    EXPECT_EQ(b->EnteringHouse, 1);
    // Its arrival there ends the leaving.
    EventUnitEndMove(b);
    EXPECT_EQ(b->Work, UNIT_NO_WORK);

    // Aircraft take off one after another, 50 cycles apart.
    TUnit* f1 = w.AddUnit(0, testworld::kFighter, 24, 44);
    TUnit* f2 = w.AddUnit(0, testworld::kFighter, 24, 44);
    LeaveHouse(f1, h);
    LeaveHouse(f2, h);
    EXPECT_EQ(f1->Work, UNIT_WORK_AIR_START);
    EXPECT_EQ(f1->NumWork, ANIM_WALK_UPRIGHT);
    EXPECT_EQ(f1->Orient, 5);
    EXPECT_EQ(f1->WaitCount, 0);
    EXPECT_EQ(f2->WaitCount, 50);
    EXPECT_EQ(h->TakeOffCountdown, 100u);
}

TEST(UnitEvents, BoardingATransport)
{
    OrdersWorld w;
    TUnit* ship = w.AddUnit(0, testworld::kTransportShip, 20, 40);
    // Out of range: refused on every machine, told only to the local player.
    TUnit* far = Soldier(w, 0, 20, 40);
    far->X = ship->X + 1500.0f;
    EXPECT_FALSE(GoToTransport(far, ship, 1));
    EXPECT_EQ(w.messages.size(), 1u);
    TUnit* remote = Soldier(w, 1, 20, 40);
    remote->X = ship->X + 1600.0f;
    EXPECT_FALSE(GoToTransport(remote, ship, 1));
    EXPECT_EQ(w.messages.size(), 1u);
    EXPECT_NE(remote->Work, WORK_GO_TO_TRANSPORT);

    // From 20 pixels on the unit walks there, at most 4 times.
    TUnit* walker = Soldier(w, 0, 20, 40);
    walker->X = ship->X + 20.0f;
    walker->Y = ship->Y;
    EXPECT_TRUE(GoToTransport(walker, ship, 1));
    EXPECT_EQ(walker->Work, WORK_GO_TO_TRANSPORT);
    EXPECT_EQ(walker->m_MyFutureTransporter, ship);
    EXPECT_EQ(walker->m_FirstCountdown, 100);
    walker->m_PathRetries = 4;
    EventUnitEndMove(walker);
    EXPECT_EQ(walker->Work, UNIT_NO_WORK);
    EXPECT_EQ(walker->m_MyFutureTransporter, nullptr);

    // At 19 pixels from the ship's boarding place it boards at once.
    TFloatPoint at;
    ASSERT_TRUE(FindUnloadPlace(ship, at));
    TUnit* close = Soldier(w, 0, 20, 40);
    close->X = at.x + 19.0f;
    close->Y = at.y;
    EXPECT_TRUE(GoToTransport(close, ship, 1));
    EXPECT_EQ(close->Work, WORK_UNIT_TRANSPORTED);
    EXPECT_EQ(close->m_MyTransporter, ship);
}

TEST(UnitEvents, RemovingAUnitTakesItsPassengersWithIt)
{
    OrdersWorld w;
    TUnit* ship = w.AddUnit(0, testworld::kTransportShip, 20, 40);
    ASSERT_NE(ship->m_pPassengers, nullptr);
    TUnit* rider = Soldier(w, 0, 20, 40);
    rider->Work = WORK_UNIT_TRANSPORTED;
    ship->m_pPassengers[0] = rider;
    ship->m_PassengerCount = 1;
    TStrateg* owner = w.Player(0);
    owner->LiveUnits = 2;
    const std::uint16_t riders = g_UnitTypeCount[0][testworld::kRifleman];
    RemoveUnitFromGame(ship, 1);
    EXPECT_EQ(ship->Dead, 1);
    EXPECT_EQ(rider->Dead, 1);
    EXPECT_EQ(ship->m_PassengerCount, 0);
    EXPECT_EQ(owner->LiveUnits, 0u);
    EXPECT_EQ(owner->UnitsLost, 2u);
    EXPECT_EQ(g_UnitTypeCount[0][testworld::kRifleman], riders - 1);
    EXPECT_EQ(ship->Work, UNIT_NO_WORK);
    EXPECT_EQ(ship->WorkObject, UNIT_NO_OBJECT);
    // A dead unit is not removed twice.
    RemoveUnitFromGame(ship, 1);
    EXPECT_EQ(owner->UnitsLost, 2u);
    // A walking soldier falls with the moving death animation where its type has it.
    TUnit* s = Soldier(w, 0, 24, 44);
    s->NumWork = ANIM_WALK_UPRIGHT;
    s->Basic->AnimationSize[17] = 3;
    RemoveUnitFromGame(s, 1);
    EXPECT_EQ(s->NumWork, 17);
}

TEST(UnitEvents, AShipLeavesItsPortTowardTheOpenSide)
{
    OrdersWorld w;
    THouse* port = w.AddHouse(0, 24, 40);
    port->m_ShipSideForPort = PORT_SIDE_FIRST_ROW;
    port->RallyX = 900.0f;
    port->RallyY = 700.0f;
    TUnit* ship = w.AddUnit(0, testworld::kDestroyer, 20, 40);
    SendShipOutOfPort(ship, port);
    EXPECT_EQ(ship->m_bHold, 1);
    EXPECT_EQ(ship->StepX, ship->X + 400.0f);
    EXPECT_EQ(ship->StepY, ship->Y + 200.0f);
    EXPECT_EQ(ship->GoalX, 900.0f);
    port->m_ShipSideForPort = PORT_SIDE_LAST_CELL;
    SendShipOutOfPort(ship, port);
    EXPECT_EQ(ship->StepY, ship->Y - 200.0f);
}

TEST(UnitEvents, AFinishedBuildingSendsItsWorkerInsideOrToOtherWork)
{
    OrdersWorld w;
    THouse* mill = w.AddHouse(0, 24, 40, 12);
    TUnit* worker = w.AddUnit(0, testworld::kWorker, 20, 50);
    worker->Work = WORK_GO_TO_OBJECT;
    EventWorkerArrived(worker, mill);
    EXPECT_EQ(worker->Work, WORK_ENTER_HOUSE);
    EXPECT_EQ(worker->GoalX, mill->ExitX);
    // An enemy's mill is not entered; with nothing else to do the worker stands.
    THouse* theirs = w.AddHouse(1, 30, 60, 12);
    EventWorkerArrived(worker, theirs);
    EXPECT_EQ(worker->Work, UNIT_NO_WORK);
    EXPECT_EQ(worker->Halted, 1);
}

} // namespace
