// A computer player on a sample mission puts up the first buildings of the sample template on
// sites the build-site rules accept, its port included where the map has water.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "core/app_state.h"
#include "core/loader_thread.h"
#include "game/game_load.h"
#include "game/sample_world_fixture.h"
#include "map/map_file.h"
#include "players/placement.h"
#include "players/strateg.h"
#include "players/template.h"
#include "units/build_site.h"
#include "units/house.h"
#include "units/house_types.h"

namespace {

class PlacementGame : public SampleWorldTest {
protected:
    void SetUp() override
    {
        SampleWorldTest::SetUp();
        MyPlayer = 0;
        ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Test.mis", false, nullptr));
    }
    void TearDown() override
    {
        FreeGame();
        g_Loader.WaitUntilIdleFor(10000);
        MapDeviceTest::TearDown();
    }
    // A player other than the local one with a planner based at its first building, rich enough
    // for anything.
    std::uint8_t ComputerPlayer()
    {
        for (std::uint8_t p = 1; p < 8; ++p) {
            TStrateg* s = g_Strateg[p];
            if (s == nullptr || s->Dead != 0 || NumHouse[p] == 0)
                continue;
            if (!s->Planner)
                s->Planner = std::make_unique<TComputerStrategAI>();
            const THouse* first = HouseAt(g_pHouse[p], 0);
            s->Planner->TargetX = s->Planner->HomeX = first->X;
            s->Planner->TargetY = s->Planner->HomeY = first->Y;
            for (auto& r : s->Res)
                r = {1e9, 1e9};
            return p;
        }
        return 255;
    }
};

TEST_F(PlacementGame, AComputerPlayersFirstBuildingsStandOnLegalSites)
{
    TTemplate plan;
    ASSERT_TRUE(plan.LoadTemplateFromBinaryFile("Data\\Template4.tpl"));
    ASSERT_GE(plan.LevelCount, 2);
    const std::uint8_t p = ComputerPlayer();
    ASSERT_LT(p, 8) << "the sample mission has a player with buildings besides the local one";
    const std::uint8_t nation = g_Strateg[p]->Nation;
    // The template starts from a town hall; the sample maps give a player its power plant only.
    plat::Point hall{};
    ASSERT_TRUE(ChooseSite(hall, p, HOUSE_WORKER_BUILDING));
    ASSERT_TRUE(CanBuildHouse(p, hall.x, hall.y, HOUSE_WORKER_BUILDING, nation));
    const std::uint16_t hallIndex = PlaceHouse(p, hall.x, hall.y, HOUSE_WORKER_BUILDING);
    ASSERT_NE(hallIndex, 65535);
    // Its workers have finished it.
    HouseArrives(HouseAt(g_pHouse[p], hallIndex));
    int placed = 0;
    // The buildings the first two levels must have: food and dwellings, then the lumber mill,
    // power, learning and the barracks.
    for (int level = 0; level < 2; ++level)
        for (const TTemplateEntry& e : plan.MustList(level)) {
            if (e.Kind != TEMPLATE_HOUSE)
                continue;
            for (std::uint16_t n = 0; n < e.Count; ++n) {
                SCOPED_TRACE(testing::Message() << "type " << e.Type << " #" << n);
                plat::Point site{};
                if (!ChooseSite(site, p, e.Type)) {
                    // Only an extractor may find no site: then no resource point of the map takes it.
                    ASSERT_TRUE(e.Type >= 10 && e.Type <= 13);
                    for (int i = 0; i < g_SpecialPointCount; ++i)
                        EXPECT_FALSE(CanBuildHouse(p, g_SpecialPoints[i].x, g_SpecialPoints[i].y, e.Type, nation));
                    continue;
                }
                EXPECT_TRUE(CanBuildHouse(p, site.x, site.y, e.Type, nation));
                const std::uint16_t index = PlaceHouse(p, site.x, site.y, e.Type);
                ASSERT_NE(index, 65535);
                const THouse* h = HouseAt(g_pHouse[p], index);
                EXPECT_EQ(h->HouseType, e.Type);
                EXPECT_EQ(h->X, site.x);
                EXPECT_EQ(h->Y, site.y);
                // Finished, as its workers will: a later entry may need it standing.
                HouseArrives(HouseAt(g_pHouse[p], index));
                ++placed;
            }
        }
    EXPECT_GE(placed, 3);
}

// On the coast map every player's port goes to a site the rules accept: one of the map's berths,
// else the water's edge round its base.
TEST_F(PlacementGame, PortsOfTheCoastMapStandOnLegalSites)
{
    FreeGame();
    ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Coast.mis", false, nullptr));
    ASSERT_FALSE(g_PortPoints.empty());
    const std::uint8_t p = ComputerPlayer();
    ASSERT_LT(p, 8);
    const std::uint8_t nation = g_Strateg[p]->Nation;
    plat::Point port{};
    int legal = 0;
    for (std::int32_t y = 0; y < g_MapHeight; ++y)
        for (std::int32_t x = 0; x < g_MapWidth; ++x)
            legal += CanBuildHouse(p, x, y, HOUSE_PORT, nation) ? 1 : 0;
    if (legal == 0)
        GTEST_SKIP() << "the sample coast map has no cell the port rules accept (its water is too narrow)";
    ASSERT_TRUE(ChooseSite(port, p, HOUSE_PORT));
    EXPECT_TRUE(CanBuildHouse(p, port.x, port.y, HOUSE_PORT, nation));
    EXPECT_NE(PlaceHouse(p, port.x, port.y, HOUSE_PORT), 65535);
}

} // namespace
