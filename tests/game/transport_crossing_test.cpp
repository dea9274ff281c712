// A troop ship on the sample coast: soldiers called to it board on one shore, the ship sails to
// another, and the transport state machine's unloading step puts them all ashore there.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "combat/transport_ai.h"
#include "combat/transports.h"
#include "combat/unit_events.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_orders.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/loader_thread.h"
#include "game/game_load.h"
#include "game/sample_world_fixture.h"
#include "game/test_hooks.h"
#include "map/map_grid.h"
#include "map/site_queries.h"
#include "map/ship_grid.h"
#include "map/water.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

constexpr std::uint16_t kTroopShip = 17;
constexpr std::uint16_t kRifleman = 2;
constexpr int kSoldiers = 50;

class TransportCrossingTest : public SampleWorldTest {
protected:
    void SetUp() override
    {
        SampleWorldTest::SetUp();
        saved = GameLoadServices();
        MyPlayer = 0;
        ::setenv("KORVELA_TEST_MISSION", "Data\\Campaigns\\Sample\\Coast.mis", 1);
        ::setenv("KORVELA_TEST_SEED", "5", 1);
        StartTestGame();
        ::unsetenv("KORVELA_TEST_MISSION");
        ::unsetenv("KORVELA_TEST_SEED");
        ASSERT_NE(g_Strateg[0], nullptr);
        ASSERT_NE(g_pWater, nullptr);
        grid = g_pWater->m_pShipGrid.get();
        ASSERT_NE(grid, nullptr);
    }
    void TearDown() override
    {
        FreeGame();
        GameLoadServices() = saved;
        g_Loader.WaitUntilIdleFor(10000);
        MapDeviceTest::TearDown();
    }

    // Open sea around a ship cell, two cells every way.
    bool OpenSea(int c, int r) const
    {
        if (c < 6 || r < 6 || c >= static_cast<int>(grid->m_Width) - 6 || r >= static_cast<int>(grid->m_Height) - 6)
            return false;
        for (int j = r - 2; j <= r + 2; ++j)
            for (int i = c - 2; i <= c + 2; ++i)
                if (grid->CellValue(i, j) != SHIP_CELL_FREE)
                    return false;
        return true;
    }

    // A berth: a point of open sea where the ship, heading so, finds a shore place beside it.
    struct TBerth {
        float x = 0.0f, y = 0.0f, heading = 0.0f;
        TFloatPoint shore;
    };
    std::vector<TBerth> Berths(TUnit* ship) const
    {
        std::vector<TBerth> out;
        const float kept[3] = {ship->X, ship->Y, ship->Heading};
        for (int r = 6; r < static_cast<int>(grid->m_Height) - 6; r += 2)
            for (int c = 6; c < static_cast<int>(grid->m_Width) - 6; c += 2) {
                if (!OpenSea(c, r))
                    continue;
                ship->X = 96.0f * c + 48.0f;
                ship->Y = 48.0f * r + 24.0f;
                for (int h = 0; h < 8; ++h) {
                    ship->Heading = 0.7853982f * h;
                    TFloatPoint at;
                    if (FindUnloadPlace(ship, at) && std::hypot(at.x - ship->X, at.y - ship->Y) < 350.0f) {
                        out.push_back({ship->X, ship->Y, ship->Heading, at});
                        break;
                    }
                }
            }
        ship->X = kept[0];
        ship->Y = kept[1];
        ship->Heading = kept[2];
        return out;
    }

    TUnit* Created(float x, float y, std::uint16_t type)
    {
        const std::uint16_t index = CreateUnitAt(x, y, 0, type, 1);
        return index == UNIT_NO_INDEX ? nullptr : g_Strateg[0]->GetUnit(index);
    }

    static bool Stopped(const TUnit* ship) { return ship->VX == 0.0f && ship->VY == 0.0f; }

    TGameLoadServices saved;
    TShipGrid* grid = nullptr;
};

} // namespace

TEST_F(TransportCrossingTest, FiftySoldiersBoardOnOneShoreAndLandOnAnother)
{
    TUnit* ship = nullptr;
    for (int r = 6; r < static_cast<int>(grid->m_Height) - 6 && ship == nullptr; ++r)
        for (int c = 6; c < static_cast<int>(grid->m_Width) - 6 && ship == nullptr; ++c)
            if (OpenSea(c, r))
                ship = Created(96.0f * c + 48.0f, 48.0f * r + 24.0f, kTroopShip);
    ASSERT_NE(ship, nullptr) << "no open sea for the ship";
    const std::vector<TBerth> berths = Berths(ship);
    ASSERT_GE(berths.size(), 2u) << "the coast map has no shore a ship can lie beside";
    // Two berths whose shores lie well apart, but not so far that the voyage takes long.
    const TBerth* from = nullptr;
    const TBerth* to = nullptr;
    for (const TBerth& a : berths) {
        for (const TBerth& b : berths) {
            const float d = std::hypot(a.shore.x - b.shore.x, a.shore.y - b.shore.y);
            if (d > 1500.0f && d < 3000.0f) {
                from = &a;
                to = &b;
                break;
            }
        }
        if (from != nullptr)
            break;
    }
    ASSERT_NE(from, nullptr) << "no two shores 1500 to 3000 pixels apart";
    ship->X = ship->StepX = ship->GoalX = from->x;
    ship->Y = ship->StepY = ship->GoalY = from->y;
    ship->Heading = from->heading;
    ship->Work = UNIT_NO_WORK;
    ship->m_bShown = 1;
    UpdateUnitCell(ship);

    // The soldiers stand on the loading shore, called as the transport's gathering calls them.
    const plat::Point landing = PixelToFlatCell(from->shore.x, from->shore.y);
    std::vector<TUnit*> soldiers;
    for (int ring = 0; ring < 12 && static_cast<int>(soldiers.size()) < kSoldiers; ++ring)
        for (int dy = -2 * ring; dy <= 2 * ring && static_cast<int>(soldiers.size()) < kSoldiers; ++dy)
            for (int dx = -ring; dx <= ring && static_cast<int>(soldiers.size()) < kSoldiers; ++dx) {
                if (std::abs(dx) != ring && std::abs(dy) < 2 * ring - 1)
                    continue;
                const plat::Point c{landing.x + dx, landing.y + dy};
                if (c.x < 4 || c.y < 10 || c.x >= g_MapWidth - 4 || c.y >= g_MapHeight - 10 ||
                    !IsLandCellFree(static_cast<std::uint32_t>(CellIndex(c.x, c.y))))
                    continue;
                float x = 0.0f;
                float y = 0.0f;
                CellCentrePixel(c, x, y);
                if (TUnit* s = Created(x, y, kRifleman))
                    soldiers.push_back(s);
            }
    ASSERT_EQ(static_cast<int>(soldiers.size()), kSoldiers) << "no room for the soldiers on the shore";
    int cycles = 0;
    for (; cycles < 4000 && ship->m_PassengerCount < kSoldiers; ++cycles) {
        if (cycles % 50 == 0)
            GatherPassengers(ship);
        NetworkFrame();
    }
    if (ship->m_PassengerCount < kSoldiers) {
        TFloatPoint at;
        FindUnloadPlace(ship, at);
        for (const TUnit* s : soldiers)
            if (s->m_MyTransporter == nullptr)
                std::printf("ashore: work %d numwork %d halted %d at %.0f,%.0f, %.0f from the boarding point\n", s->Work,
                            s->NumWork, s->Halted, s->X, s->Y, std::hypot(s->X - at.x, s->Y - at.y));
    }
    ASSERT_EQ(ship->m_PassengerCount, kSoldiers) << "aboard after " << cycles << " cycles";
    std::printf("boarded: %d soldiers in %d cycles\n", kSoldiers, cycles);
    for (const TUnit* s : soldiers)
        EXPECT_EQ(s->m_MyTransporter, ship);

    GoToPoint(ship, to->x, to->y, 1);
    int voyage = 0;
    for (; voyage < 15000; ++voyage) {
        NetworkFrame();
        if (Stopped(ship) && std::hypot(ship->X - to->x, ship->Y - to->y) < 150.0f)
            break;
    }
    ASSERT_LT(voyage, 15000) << "the ship never reached the far shore; at " << ship->X << "," << ship->Y;

    std::printf("voyage: %d cycles to %.0f,%.0f (berth %.0f,%.0f heading %.2f, shore %.0f,%.0f)\n", voyage, ship->X, ship->Y, to->x,
                to->y, to->heading, to->shore.x, to->shore.y);
    // The ship lies to side-on to the shore, as at its berth: the search for an unload place turns
    // only the probe, never the hull, so a ship that arrives bow-on finds no place from where it
    // stops.
    ship->Heading = to->heading;
    // The state machine's unloading step, repeated while the ship seeks a place beside the shore.
    ship->m_TransportState = TRANSPORT_UNLOADING;
    for (int step = 0; step < 20 && ship->m_PassengerCount > 0; ++step) {
        for (int c = 0; c < 2000 && !(Stopped(ship) && PointDistance(ship->X, ship->Y, ship->GoalX, ship->GoalY) <= 50.0);
             ++c)
            NetworkFrame();
        ship->m_SearchDelay = 0;
        TransportAiExecute(0, 1);
        NetworkFrame();
    }
    ASSERT_EQ(ship->m_PassengerCount, 0) << "ship at " << ship->X << "," << ship->Y << " goal " << ship->GoalX << ","
                                         << ship->GoalY << " v " << ship->VX << "," << ship->VY << " state "
                                         << ship->m_TransportState << " count " << int(g_UnitTypeCount[0][kTroopShip])
                                         << " hold " << int(ship->m_bHold) << " can unload " << ship->CanUnload(ship);
    EXPECT_EQ(ship->m_TransportState, TRANSPORT_IDLE);
    int ashore = 0;
    for (const TUnit* s : soldiers) {
        EXPECT_EQ(s->m_MyTransporter, nullptr);
        EXPECT_NE(s->Work, WORK_UNIT_TRANSPORTED);
        const float far = std::hypot(s->X - from->shore.x, s->Y - from->shore.y);
        const float near = std::hypot(s->X - to->shore.x, s->Y - to->shore.y);
        if (near < 700.0f && far > 1000.0f && !IsTileOnWater(s->MapX, s->MapY))
            ++ashore;
    }
    EXPECT_EQ(ashore, kSoldiers);
    std::printf("landed: %d of %d beside %.0f,%.0f\n", ashore, kSoldiers, to->shore.x, to->shore.y);
}
