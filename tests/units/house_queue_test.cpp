#include "units/house_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "map/map_fixture.h"
#include "unit_world.h"
#include "units/house.h"
#include "units/house_types.h"

namespace {

using unittest::CellCentre;
using unittest::kPlane;
using unittest::kShip;
using unittest::kSoldier;
using unittest::kTank;
using unittest::UnitWorld;

constexpr std::uint16_t S = kSoldier; // power need 3, build time 52
constexpr std::uint16_t T = kTank;    // power need 6, build time 55
constexpr std::uint16_t kEndless = HOUSE_QUEUE_ENDLESS;

// A finished barracks of player 0 (index 0) that produces soldiers, tanks, aircraft and ships.
class QueueWorld : public UnitWorld {
public:
    QueueWorld()
    {
        type.m_Units[0] = kSoldier;
        type.m_Units[1] = kTank;
        type.m_Units[2] = kPlane;
        type.m_Units[3] = kShip;
        type.m_Units[4] = HOUSE_LIST_END;
        type.m_Units[5] = 30;
        NumHouse[0] = 1;
        THouse& h = House();
        h.TypeRecord = &type;
        h.Owner = 0;
        h.Capacity = 4;
        const TFloatPoint door = CellCentre(10, 21);
        const TFloatPoint exit = CellCentre(10, 25);
        h.DoorX = door.x;
        h.DoorY = door.y;
        h.ExitX = exit.x;
        h.ExitY = exit.y;
        h.RallyX = 900.0f;
        h.RallyY = 800.0f;
        h.UnitMode = 4;
    }
    static THouse& House() { return g_pHouse[0][0]; }
    // The queue as a list of types, whatever its mode.
    static std::vector<std::uint16_t> Queue()
    {
        const THouse& h = House();
        const std::uint16_t n = h.QueueCount == kEndless ? 1 : h.QueueCount;
        return std::vector<std::uint16_t>(h.Queue, h.Queue + (h.Queue != nullptr ? n : 0));
    }

    THouseType type;
};

enum class Op { Add, AddEndless, Remove, RemoveNoRefund, Produce, Release };

struct QueueCase {
    const char* name;
    std::vector<std::uint16_t> before; // queued in this order, the last one endless when endless
    bool endless;
    Op op;
    std::uint16_t type;
    std::vector<std::uint16_t> after;
    bool endlessAfter;
    float timer;
    float power;
    std::vector<std::uint16_t> refunds;
    int produced;
};

TEST(HouseQueueTest, QueueOperationsKeepTimerPowerAndPayments)
{
    const QueueCase cases[] = {
        {"first entry starts production", {}, false, Op::Add, S, {S}, false, 52.0f, 3.0f, {}, 0},
        {"second entry waits", {S}, false, Op::Add, T, {S, T}, false, 52.0f, 3.0f, {}, 0},
        {"a later entry goes before the head", {S, T, S}, false, Op::Remove, S, {S, T}, false, 52.0f, 3.0f, {S}, 0},
        {"cancelling the head starts the next", {S, T}, false, Op::Remove, S, {T}, false, 55.0f, 6.0f, {S}, 0},
        {"cancelling the only entry", {S}, false, Op::Remove, S, {}, false, 52.0f, 0.0f, {S}, 0},
        {"cancelling without refund", {S}, false, Op::RemoveNoRefund, S, {}, false, 52.0f, 0.0f, {}, 0},
        {"cancelling a type not queued", {T}, false, Op::Remove, S, {T}, false, 55.0f, 6.0f, {}, 0},
        {"endless switched to another type", {S}, true, Op::AddEndless, T, {T}, true, 55.0f, 6.0f, {S}, 0},
        {"endless of the same type again", {S}, true, Op::AddEndless, S, {S}, true, 52.0f, 3.0f, {}, 0},
        {"endless replaces a queue", {S, T}, false, Op::AddEndless, S, {S}, true, 52.0f, 3.0f, {S, T}, 0},
        {"an entry behind endless ends it", {S}, true, Op::Add, T, {T}, false, 55.0f, 6.0f, {S}, 0},
        {"cancelling endless", {S}, true, Op::Remove, T, {}, false, 52.0f, 0.0f, {S}, 0},
        {"producing advances the queue", {S, T}, false, Op::Produce, 0, {T}, false, 55.0f, 6.0f, {}, 1},
        {"producing the last entry", {T}, false, Op::Produce, 0, {}, false, 55.0f, 0.0f, {}, 1},
        {"endless produces and pays again", {S}, true, Op::Produce, 0, {S}, true, 52.0f, 3.0f, {}, 1},
        {"a lost building gives its queue back", {S, T, T}, false, Op::Release, 0, {}, false, 52.0f, 0.0f, {S, T, T}, 0},
        {"a lost endless building", {S}, true, Op::Release, 0, {}, false, 52.0f, 0.0f, {S}, 0},
    };
    for (const QueueCase& c : cases) {
        QueueWorld world;
        for (std::size_t i = 0; i < c.before.size(); ++i) {
            const bool last = i + 1 == c.before.size();
            ASSERT_TRUE(AddUnitToHouseQueue(0, 0, c.before[i], c.endless && last ? 1 : 0)) << c.name;
        }
        THouse& h = QueueWorld::House();
        bool accepted = true;
        switch (c.op) {
        case Op::Add:
            accepted = AddUnitToHouseQueue(0, 0, c.type, 0);
            break;
        case Op::AddEndless:
            accepted = AddUnitToHouseQueue(0, 0, c.type, 1);
            break;
        case Op::Remove:
            RemoveUnitFromHouseQueue(0, 0, c.type, 1);
            break;
        case Op::RemoveNoRefund:
            RemoveUnitFromHouseQueue(0, 0, c.type, 0);
            break;
        case Op::Produce:
            HouseProduceUnit(0, 0);
            break;
        case Op::Release:
            ReleaseHouseQueue(&h);
            break;
        }
        EXPECT_EQ(QueueWorld::Queue(), c.after) << c.name;
        EXPECT_EQ(h.QueueCount == kEndless, c.endlessAfter) << c.name;
        EXPECT_FLOAT_EQ(h.ProductionTimer, c.timer) << c.name;
        EXPECT_FLOAT_EQ(g_PowerDemand[0], c.power) << c.name;
        EXPECT_EQ(world.refunded, c.refunds) << c.name;
        EXPECT_EQ(NumUnits[0], c.produced) << c.name;
        if (std::string(c.name) == "endless of the same type again")
            EXPECT_FALSE(accepted) << "the caller takes its payment back";
        else
            EXPECT_TRUE(accepted) << c.name;
    }
}

TEST(HouseQueueTest, EndlessProductionThatCannotPayWaitsAndStartsOnlyWhenPaid)
{
    QueueWorld world;
    THouse& h = QueueWorld::House();
    ASSERT_TRUE(AddUnitToHouseQueue(0, 0, S, 1));
    // Production itself finds the money gone: nothing is made, the timer retries.
    world.affordable = false;
    HouseProduceUnit(0, 0);
    EXPECT_EQ(NumUnits[0], 0);
    EXPECT_FLOAT_EQ(h.ProductionTimer, 0.01f);
    EXPECT_FLOAT_EQ(g_PowerDemand[0], 3.0f);

    // The unit is finished, but the next one cannot be paid: it is not started.
    world.affordable = true;
    UnitServices().payForUnit = [](std::uint8_t, std::uint16_t) { return false; };
    HouseProduceUnit(0, 0);
    EXPECT_EQ(NumUnits[0], 1);
    EXPECT_FLOAT_EQ(h.ProductionTimer, 0.01f);
    EXPECT_FLOAT_EQ(g_PowerDemand[0], 0.0f);

    // Once it can be paid it starts with its full time, and no unit comes for free.
    UnitServices().payForUnit = [&world](std::uint8_t, std::uint16_t t) {
        world.paid.push_back(t);
        return true;
    };
    HouseProduceUnit(0, 0);
    EXPECT_EQ(NumUnits[0], 1);
    EXPECT_EQ(world.paid, std::vector<std::uint16_t>{S});
    EXPECT_FLOAT_EQ(h.ProductionTimer, 52.0f);
    EXPECT_FLOAT_EQ(g_PowerDemand[0], 3.0f);

    // An unpaid head is neither refunded nor taken off the demand when cancelled.
    UnitServices().payForUnit = [](std::uint8_t, std::uint16_t) { return false; };
    HouseProduceUnit(0, 0);
    RemoveUnitFromHouseQueue(0, 0, S, 1);
    EXPECT_TRUE(world.refunded.empty());
    EXPECT_FLOAT_EQ(g_PowerDemand[0], 0.0f);
}

TEST(HouseQueueTest, QueuingIsRefusedWhereNothingCanBeProduced)
{
    struct Case {
        const char* name;
        std::uint8_t player;
        std::uint16_t house;
        std::uint16_t type;
        std::uint16_t buildWork;
        std::uint8_t destroyed;
        const char* message;
    };
    const Case cases[] = {
        {"index beyond the buildings", 0, 1, S, 0, 0, " AddUnitToHouseQueue - дом не тот "},
        {"player beyond eight", 9, 0, S, 0, 0, " AddUnitToHouseQueue - дом не тот "},
        {"player without buildings", 1, 0, S, 0, 0, " AddUnitToHouseQueue - дом не тот "},
        {"building site", 0, 0, S, 40, 0, " AddUnitToHouseQueue - дом не тот "},
        {"ruin", 0, 0, S, 0, 1, " AddUnitToHouseQueue - дом не тот "},
        {"type behind the list's end", 0, 0, 30, 0, 0, " AddUnitToHouseQueue - не могу тут строить таких 30"},
    };
    for (const Case& c : cases) {
        QueueWorld world;
        maptest::LogWatch log;
        QueueWorld::House().BuildWork = c.buildWork;
        QueueWorld::House().Destroyed = c.destroyed;
        EXPECT_FALSE(AddUnitToHouseQueue(c.player, c.house, c.type, 0)) << c.name;
        EXPECT_NE(log.Added().find(c.message), std::string::npos) << c.name << ": " << log.Added();
        EXPECT_TRUE(QueueWorld::Queue().empty()) << c.name;
        EXPECT_FLOAT_EQ(g_PowerDemand[0], 0.0f) << c.name;
    }
    QueueWorld world;
    world.type.m_Units[4] = 7;
    maptest::LogWatch log;
    EXPECT_FALSE(AddUnitToHouseQueue(0, 0, 8, 0)) << "a type missing from a full list is refused silently";
    EXPECT_EQ(log.Added(), "");
}

TEST(HouseQueueTest, ABadIndexIsLoggedOnCancel)
{
    QueueWorld world;
    maptest::LogWatch log;
    RemoveUnitFromHouseQueue(0, 5, S, 1);
    EXPECT_EQ(log.Count("AddUnitToHouseQueue - дом не тот"), 1);
    EXPECT_TRUE(world.refunded.empty());
}

TEST(HouseQueueTest, DestroyingABuildingReleasesItsQueue)
{
    QueueWorld world;
    ASSERT_TRUE(AddUnitToHouseQueue(0, 0, S, 0));
    ASSERT_TRUE(AddUnitToHouseQueue(0, 0, T, 0));
    DestroyHouse(&QueueWorld::House(), 1);
    EXPECT_TRUE(QueueWorld::Queue().empty());
    EXPECT_EQ(world.refunded, (std::vector<std::uint16_t>{S, T}));
    EXPECT_FLOAT_EQ(g_PowerDemand[0], 0.0f);
}

TEST(HouseQueueTest, CancellingAShipUnderConstructionRemovesItAndItsCounts)
{
    QueueWorld world;
    THouse& h = QueueWorld::House();
    ASSERT_TRUE(AddUnitToHouseQueue(0, 0, kShip, 0));
    ASSERT_TRUE(AddUnitToHouseQueue(0, 0, S, 0));
    // The unit walk makes the ship at the exit point when its production starts.
    TUnit* ship = world.Add(0, kShip, 10, 25);
    ASSERT_NE(ship, nullptr);
    ship->House = &h;
    ship->Work = 14;
    h.ShipUnderConstruction = ship;
    ASSERT_EQ(g_UnitTypeCount[0][kShip], 1);

    RemoveUnitFromHouseQueue(0, 0, kShip, 1);
    EXPECT_EQ(h.ShipUnderConstruction, nullptr);
    EXPECT_EQ(NumUnits[0], 0);
    EXPECT_EQ(g_UnitTypeCount[0][kShip], 0);
    EXPECT_EQ(g_Strateg[0]->LiveUnits, 0u);
    EXPECT_TRUE(g_ShipUnits.empty());
    EXPECT_EQ(g_Strateg[0]->FirstUnit, nullptr);
    EXPECT_EQ(QueueWorld::Queue(), std::vector<std::uint16_t>{S});
    EXPECT_EQ(world.refunded, std::vector<std::uint16_t>{kShip});
    EXPECT_FLOAT_EQ(g_PowerDemand[0], 3.0f);
}

TEST(HouseQueueTest, AProducedGroundUnitLeavesThroughTheDoorForTheRallyPoint)
{
    QueueWorld world;
    THouse& h = QueueWorld::House();
    ASSERT_TRUE(AddUnitToHouseQueue(0, 0, S, 0));
    HouseProduceUnit(0, 0);
    TUnit* u = g_Strateg[0]->FirstUnit;
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->X, h.DoorX);
    EXPECT_EQ(u->Y, h.DoorY);
    EXPECT_EQ(u->StartX, h.DoorX);
    EXPECT_EQ(u->GoalX, h.ExitX);
    EXPECT_EQ(u->StepY, h.ExitY);
    EXPECT_EQ(u->Work, UNIT_WORK_LEAVE_HOUSE);
    EXPECT_EQ(u->House, &h);
    EXPECT_EQ(u->EnteringHouse, 1);
    EXPECT_EQ(u->HasSavedOrder, 1);
    EXPECT_EQ(u->SavedGoalX, 900.0f);
    EXPECT_EQ(u->SavedGoalY, 800.0f);
    EXPECT_EQ(u->SavedWork, -1);
    EXPECT_EQ(u->SavedWorkObject, 65535);
    EXPECT_EQ(u->Stance, 4);
    EXPECT_EQ(u->Orient, 2);
    EXPECT_EQ(u->Heading, static_cast<float>(2 * static_cast<double>(0.7853982f) + 0.0001));
    EXPECT_EQ(UnitWorld::Listed(10, 21), std::vector<TUnit*>{u});
}

TEST(HouseQueueTest, AProducedAircraftTakesOffFromItsHangar)
{
    QueueWorld world;
    THouse& h = QueueWorld::House();
    h.Selected = 1;
    ASSERT_TRUE(AddUnitToHouseQueue(0, 0, kPlane, 0));
    HouseProduceUnit(0, 0);
    TUnit* u = g_Strateg[0]->FirstUnit;
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(world.tookOff, std::vector<TUnit*>{u});
    EXPECT_EQ(h.InsideCount, 0);
    EXPECT_EQ(u->House, &h);
    EXPECT_GE(world.panelRefreshes, 1);
}

TEST(HouseQueueTest, TheGarrisonTakesUnitsInAndLetsThemOut)
{
    QueueWorld world;
    maptest::LogWatch log;
    THouse& h = QueueWorld::House();
    h.Capacity = 2;
    h.KeepInside = 0;
    TUnit* a = world.Add(0, kSoldier, 12, 31);
    TUnit* b = world.Add(0, kSoldier, 12, 31);
    TUnit* c = world.Add(0, kSoldier, 12, 31);
    a->Selected = 1;
    ASSERT_TRUE(PutUnitInHouse(a, &h));
    EXPECT_EQ(a->Work, STAY_IN_HOUSE);
    EXPECT_EQ(a->House, &h);
    EXPECT_EQ(a->Selected, 0) << "leaves the selection";
    EXPECT_EQ(a->m_bMaySearch, 0);
    EXPECT_FALSE(PutUnitInHouse(a, &h)) << "already inside";
    EXPECT_EQ(log.Count("Не может такого быть!!! in PutUnitInHouse"), 1);
    ASSERT_TRUE(PutUnitInHouse(b, &h));
    EXPECT_FALSE(PutUnitInHouse(c, &h)) << "full";
    EXPECT_EQ(h.InsideCount, 2);

    a->AttackUnit = c;
    a->PlayerAttack = 0;
    GetUnitOutOfHouse(&h, a);
    EXPECT_EQ(a->Work, UNIT_WORK_LEAVE_HOUSE);
    EXPECT_EQ(a->X, h.DoorX);
    EXPECT_EQ(a->GoalX, h.ExitX);
    EXPECT_EQ(a->SavedGoalX, h.RallyX);
    EXPECT_EQ(a->AttackUnit, nullptr);
    EXPECT_EQ(a->m_bMaySearch, 1);
    EXPECT_EQ(a->Halted, 0);
    ASSERT_EQ(h.InsideCount, 1);
    EXPECT_EQ(h.Inside[0], b);
    EXPECT_EQ(UnitWorld::Listed(10, 21), std::vector<TUnit*>{a}) << "the cell lists follow it to the door";
    GetUnitOutOfHouse(&h, a);
    EXPECT_EQ(h.InsideCount, 1) << "only a sheltered unit leaves";
    GetUnitOutOfHouse(&h, b);
    EXPECT_EQ(h.InsideCount, 0);
    EXPECT_EQ(h.Inside, nullptr);

    h.BuildWork = 10;
    EXPECT_FALSE(PutUnitInHouse(c, &h)) << "under construction";
    h.BuildWork = 0;
    h.Destroyed = 1;
    EXPECT_FALSE(PutUnitInHouse(c, &h)) << "destroyed";
    c->Work = WORK_UNIT_TRANSPORTED;
    h.Destroyed = 0;
    EXPECT_FALSE(PutUnitInHouse(c, &h)) << "transported";

    SetHousePoint(&h, 5.0f, 6.0f);
    EXPECT_EQ(h.RallyX, 5.0f);
    EXPECT_EQ(h.RallyY, 6.0f);
}

} // namespace
