#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "combat/transport_ai.h"
#include "combat/transports.h"
#include "combat/work_states.h"
#include "map/map_fixture.h"
#include "orders_world.h"
#include "players/computer_player.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

using orderstest::OrdersWorld;
constexpr std::uint16_t kCarrier = 24;

TUnit* Rider(OrdersWorld& w, std::int32_t x = 20, std::int32_t y = 40)
{
    TUnit* u = w.AddUnit(0, testworld::kRifleman, x, y);
    u->Work = UNIT_NO_WORK;
    return u;
}

// Every cell water: no ship finds a shore place.
void Flood(OrdersWorld& w)
{
    for (std::int32_t y = 0; y < g_MapHeight; ++y)
        for (std::int32_t x = 0; x < g_MapWidth; ++x)
            w.SetWater(x, y);
    w.BuildPassMaps();
}

TEST(Transports, CapacityOfCarriersAndShips)
{
    OrdersWorld w;
    struct Case {
        std::uint16_t type;
        int capacity;
    };
    for (const Case c : {Case{kCarrier, UNIT_CARRIER_PASSENGERS}, Case{testworld::kTransportShip, UNIT_SHIP_PASSENGERS}}) {
        TUnit* carrier = w.AddUnit(0, c.type, 20, 40);
        ASSERT_NE(carrier->m_pPassengers, nullptr);
        for (int i = 0; i < c.capacity; ++i)
            ASSERT_TRUE(Rider(w)->PutMeInTransport(carrier)) << c.type << " passenger " << i + 1;
        EXPECT_EQ(carrier->m_PassengerCount, c.capacity);
        maptest::LogWatch log;
        TUnit* extra = Rider(w);
        EXPECT_FALSE(extra->PutMeInTransport(carrier));
        EXPECT_EQ(extra->m_MyTransporter, nullptr);
        EXPECT_NE(extra->Work, WORK_UNIT_TRANSPORTED);
        EXPECT_EQ(carrier->m_PassengerCount, c.capacity);
        EXPECT_EQ(log.Added(), ""); // a full carrier refuses without a message
    }
}

TEST(Transports, BoardingRefusals)
{
    OrdersWorld w;
    TUnit* tank = w.AddUnit(0, testworld::kTank, 20, 40);
    TUnit* ship = w.AddUnit(0, testworld::kTransportShip, 20, 40);
    TUnit* u = Rider(w);
    maptest::LogWatch log;
    EXPECT_FALSE(u->PutMeInTransport(tank));
    EXPECT_EQ(log.Count("Transport->Type error"), 1);
    ASSERT_TRUE(u->PutMeInTransport(ship));
    EXPECT_EQ(u->Work, WORK_UNIT_TRANSPORTED);
    EXPECT_EQ(u->m_MyTransporter, ship);
    EXPECT_FALSE(u->PutMeInTransport(ship));
    EXPECT_EQ(log.Count("m_MyTransporter!=NULL in TUnit::PutMeInTransport"), 1);
    EXPECT_EQ(ship->m_PassengerCount, 1);
}

TEST(Transports, LeavingKeepsTheArrayPacked)
{
    OrdersWorld w;
    TUnit* ship = w.AddUnit(0, testworld::kTransportShip, 20, 40);
    TUnit* riders[5];
    for (TUnit*& r : riders) {
        r = Rider(w);
        ASSERT_TRUE(r->PutMeInTransport(ship));
    }
    ASSERT_TRUE(riders[1]->GetMeFromTransport());
    ASSERT_TRUE(riders[3]->GetMeFromTransport());
    ASSERT_EQ(ship->m_PassengerCount, 3);
    EXPECT_EQ(ship->m_pPassengers[0], riders[0]);
    EXPECT_EQ(ship->m_pPassengers[1], riders[2]);
    EXPECT_EQ(ship->m_pPassengers[2], riders[4]);
    for (int i = 3; i < UNIT_SHIP_PASSENGERS; ++i)
        ASSERT_EQ(ship->m_pPassengers[i], nullptr) << i;
    for (TUnit* r : {riders[1], riders[3]}) {
        EXPECT_EQ(r->m_MyTransporter, nullptr);
        EXPECT_NE(r->Work, WORK_UNIT_TRANSPORTED);
        // Put ashore beside the ship, beyond the first probe and the push.
        const float d = std::hypot(r->X - ship->X, r->Y - ship->Y);
        EXPECT_GE(d, 100.0f);
        EXPECT_EQ(r->m_SearchDelay, 20);
    }
    // Not transported: refused with its message.
    maptest::LogWatch log;
    EXPECT_FALSE(riders[1]->GetMeFromTransport());
    EXPECT_EQ(log.Count("m_MyTransporter==NULL || Work!=WORK_UNIT_TRANSPORTED"), 1);
}

TEST(Transports, UnloadWithNoPlaceKeepsTheUnitAboard)
{
    OrdersWorld w;
    TUnit* ship = w.AddUnit(0, testworld::kTransportShip, 20, 40);
    TUnit* r = Rider(w);
    ASSERT_TRUE(r->PutMeInTransport(ship));
    Flood(w);
    const float x = r->X;
    const float y = r->Y;
    EXPECT_FALSE(r->CanUnload(ship));
    EXPECT_FALSE(r->GetMeFromTransport());
    EXPECT_EQ(r->Work, WORK_UNIT_TRANSPORTED);
    EXPECT_EQ(r->m_MyTransporter, ship);
    EXPECT_EQ(ship->m_PassengerCount, 1);
    EXPECT_EQ(ship->m_pPassengers[0], r);
    EXPECT_EQ(r->X, x);
    EXPECT_EQ(r->Y, y);
}

TEST(Transports, UnloadPlaceProbesBesideTheShip)
{
    OrdersWorld w;
    TUnit* ship = w.AddUnit(0, testworld::kTransportShip, 20, 40);
    ship->Heading = 0.0f; // the side is straight up the screen
    TFloatPoint at;
    ASSERT_TRUE(FindUnloadPlace(ship, at));
    EXPECT_NEAR(at.x, ship->X, 0.01f);
    EXPECT_NEAR(ship->Y - at.y, 55.0f, 0.01f);
    TUnit* carrier = w.AddUnit(0, kCarrier, 20, 40);
    EXPECT_TRUE(Rider(w)->CanUnload(carrier));
}

TEST(Transports, BoardingPlaceOrderAndFallback)
{
    OrdersWorld w;
    TUnit* carrier = w.AddUnit(0, kCarrier, 20, 40);
    TFloatPoint at;
    // From the carrier itself all four places are 2 cells off; the tie goes to direction 4 (NW).
    ASSERT_TRUE(FindBoardingPlace(carrier, at));
    EXPECT_LT(at.x, carrier->X);
    EXPECT_LT(at.y, carrier->Y);
    // A unit to the south-east is given the south-east place.
    TUnit* u = Rider(w);
    u->X = carrier->X + 200.0f;
    u->Y = carrier->Y + 100.0f;
    ASSERT_TRUE(FindBoardingPlace(carrier, at, u));
    EXPECT_GT(at.x, carrier->X);
    EXPECT_GT(at.y, carrier->Y);
    // All four blocked: the place comes from the free-cell search, never the far marker.
    const plat::Point home = PixelToFlatCell(carrier->X, carrier->Y);
    for (std::uint8_t d : {1, 2, 3, 4}) {
        const plat::Point c = GetNeighbourPoint(GetNeighbourPoint(home, d), d);
        w.SetWater(c.x, c.y);
    }
    w.BuildPassMaps();
    ASSERT_TRUE(FindBoardingPlace(carrier, at, u));
    EXPECT_LT(at.x, 90000.0f);
    EXPECT_LT(std::hypot(at.x - carrier->X, at.y - carrier->Y), 300.0f);
}

// ---- transport AI ----

class TransportAi : public ::testing::Test {
protected:
    OrdersWorld w;
    TUnit* ship = nullptr;
    void SetUp() override
    {
        ship = w.AddUnit(0, testworld::kTransportShip, 20, 40);
        ship->GoalX = ship->X;
        ship->GoalY = ship->Y;
        ship->m_ShipGoalX = ship->X;
        ship->m_ShipGoalY = ship->Y;
        m_Listed = std::find(g_ShipUnits.begin(), g_ShipUnits.end(), ship) == g_ShipUnits.end();
        if (m_Listed)
            g_ShipUnits.push_back(ship);
    }
    void Load(int n)
    {
        for (int i = 0; i < n; ++i)
            ship->m_pPassengers[i] = ship; // stand-ins: only the count is read while loading
        ship->m_PassengerCount = static_cast<std::uint16_t>(n);
    }
    void Unload()
    {
        for (int i = 0; i < UNIT_SHIP_PASSENGERS; ++i)
            ship->m_pPassengers[i] = nullptr;
        ship->m_PassengerCount = 0;
    }
    void TearDown() override
    {
        Unload();
        if (m_Listed)
            g_ShipUnits.erase(std::find(g_ShipUnits.begin(), g_ShipUnits.end(), ship));
    }
    bool m_Listed = false;
};

TEST_F(TransportAi, TargetMinusOneChangesNothing)
{
    ship->m_TransportState = TRANSPORT_LOADING;
    Load(500);
    TransportAiExecute(0, -1);
    EXPECT_EQ(ship->m_TransportState, TRANSPORT_LOADING);
}

TEST_F(TransportAi, LoadingNeedsHalfALoad)
{
    struct Case {
        int passengers;
        std::uint8_t retries;
        bool sails;
    };
    w.Player(1)->Planner = MakeStrategAI(1);
    for (const Case c : {Case{249, 1, false}, Case{250, 0, false}, Case{250, 1, true}, Case{500, 0, true}}) {
        Unload();
        Load(c.passengers);
        ship->GoalX = ship->X;
        ship->GoalY = ship->Y;
        ship->m_TransportState = TRANSPORT_LOADING;
        ship->m_TransportCounter = c.retries;
        TransportAiExecute(0, 1);
        EXPECT_EQ(ship->m_TransportState, c.sails ? TRANSPORT_TO_LANDING : TRANSPORT_LOADING) << c.passengers;
        if (c.sails) {
            EXPECT_EQ(ship->m_TransportTag, 1);
            EXPECT_EQ(ship->m_TransportCounter, 0);
        }
    }
}

TEST_F(TransportAi, NoPlannerNoLandingPoint)
{
    w.Player(1)->Planner.reset();
    Load(500);
    ship->m_TransportState = TRANSPORT_LOADING;
    for (int i = 1; i < TRANSPORT_RETRIES; ++i) {
        TransportAiExecute(0, 1);
        ASSERT_EQ(ship->m_TransportState, TRANSPORT_LOADING);
        ASSERT_EQ(ship->m_TransportCounter, i);
    }
    TransportAiExecute(0, 1);
    EXPECT_EQ(ship->m_TransportState, TRANSPORT_IDLE);
    EXPECT_EQ(ship->m_TransportCounter, 0);
    // An idle ship of a player without a planner stays idle.
    w.Player(0)->Planner.reset();
    TransportAiExecute(0, 1);
    EXPECT_EQ(ship->m_TransportState, TRANSPORT_IDLE);
}

TEST_F(TransportAi, NoShorePlaceRetriesThenGoesIdle)
{
    Flood(w);
    ship->m_TransportState = TRANSPORT_TO_LOADING;
    ship->m_TransportCounter = 0;
    for (int i = 1; i < TRANSPORT_RETRIES; ++i) {
        TransportAiExecute(0, 1);
        ship->GoalX = ship->X; // arrived again
        ship->GoalY = ship->Y;
        ASSERT_EQ(ship->m_TransportState, TRANSPORT_TO_LOADING) << i;
        ASSERT_EQ(ship->m_TransportCounter, i);
    }
    TransportAiExecute(0, 1);
    EXPECT_EQ(ship->m_TransportState, TRANSPORT_IDLE);
}

TEST_F(TransportAi, UnknownStateIsLoggedAndKept)
{
    ship->m_TransportState = 9;
    maptest::LogWatch log;
    TransportAiExecute(0, 1);
    EXPECT_EQ(ship->m_TransportState, 9u);
    EXPECT_EQ(log.Count(" TransportAiExecute unknown"), 1);
}

TEST_F(TransportAi, UnloadingStopsAtAPassengerWithNoPlace)
{
    TUnit* riders[3];
    for (TUnit*& r : riders) {
        r = Rider(w);
        ASSERT_TRUE(r->PutMeInTransport(ship));
    }
    ship->m_TransportState = TRANSPORT_UNLOADING;
    TransportAiExecute(0, 1);
    EXPECT_EQ(ship->m_PassengerCount, 0);
    EXPECT_EQ(ship->m_TransportState, TRANSPORT_IDLE);
    for (TUnit* r : riders)
        EXPECT_EQ(r->m_MyTransporter, nullptr);

    for (TUnit*& r : riders)
        ASSERT_TRUE(r->PutMeInTransport(ship));
    Flood(w);
    ship->m_TransportState = TRANSPORT_UNLOADING;
    TransportAiExecute(0, 1); // cannot unload: seeks a place and keeps everybody
    EXPECT_EQ(ship->m_PassengerCount, 3);
    EXPECT_EQ(ship->m_TransportState, TRANSPORT_UNLOADING);
}

TEST_F(TransportAi, FiftySoldiersCrossTheStrait)
{
    // A strait of water across the map; the ship lies in it, a shore on either side.
    for (std::int32_t y = 0; y < g_MapHeight; ++y)
        for (std::int32_t x = 18; x <= 22; ++x)
            w.SetWater(x, y);
    w.BuildPassMaps();
    const float westShore = testworld::CellCentre(17, 40).x;
    const float eastShore = testworld::CellCentre(23, 40).x;
    ship->Heading = 1.5707964f; // the west side faces the loading shore
    std::vector<TUnit*> soldiers;
    for (int i = 0; i < 50; ++i) {
        TUnit* s = Rider(w, 14 + i % 3, 30 + i / 3);
        ASSERT_TRUE(s->PutMeInTransport(ship));
        soldiers.push_back(s);
    }
    TFloatPoint at;
    ASSERT_TRUE(FindUnloadPlace(ship, at));
    EXPECT_LE(at.x, westShore + 48.0f);

    ship->Heading = 4.712389f; // across the strait: the landing side faces east
    ship->m_TransportState = TRANSPORT_UNLOADING;
    TransportAiExecute(0, 1);
    EXPECT_EQ(ship->m_PassengerCount, 0);
    EXPECT_EQ(ship->m_TransportState, TRANSPORT_IDLE);
    for (TUnit* s : soldiers) {
        EXPECT_EQ(s->m_MyTransporter, nullptr);
        EXPECT_NE(s->Work, WORK_UNIT_TRANSPORTED);
        EXPECT_GE(s->X, eastShore - 48.0f); // on the far shore
        EXPECT_EQ(FirstPlayerUnit(0) != nullptr, true);
    }
    // The last one to land heads its player's list.
    EXPECT_EQ(FirstPlayerUnit(0), soldiers.back());
}

} // namespace
