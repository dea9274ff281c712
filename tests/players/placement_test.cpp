// Building placement of the computer players: the site search, the worker threshold, the base
// point moves, the enemy score and the shore points.
#include <algorithm>
#include <iterator>
#include <memory>

#include <gtest/gtest.h>

#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "players/placement.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/build_site.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"

namespace {

using testworld::TestWorld;

// A player 0 with a planner based at a cell, plenty of every resource and its advisor on.
TStrategAI& Plan(TestWorld& w, std::int32_t x, std::int32_t y)
{
    TStrateg* s = w.Player(0);
    s->Planner = std::make_unique<TComputerStrategAI>();
    s->Planner->TargetX = s->Planner->HomeX = x;
    s->Planner->TargetY = s->Planner->HomeY = y;
    for (auto& r : s->Res)
        r = {1e9, 1e9};
    g_AdvisorOptions[0][0] = 1;
    return *s->Planner;
}

// Puts back the frame counter and the special points, and lets the power plant of nation 0 be
// built without a required building while it lives.
struct FrameGuard {
    std::uint32_t saved = g_FrameCounter;
    std::uint8_t points = g_SpecialPointCount;
    THouseType plant = HouseType(0, HOUSE_POWER_PLANT);
    FrameGuard()
    {
        std::fill(std::begin(HouseType(0, HOUSE_POWER_PLANT).m_RequiredHouses),
                  std::end(HouseType(0, HOUSE_POWER_PLANT).m_RequiredHouses), HOUSE_LIST_END);
    }
    ~FrameGuard()
    {
        g_FrameCounter = saved;
        g_SpecialPointCount = points;
        HouseType(0, HOUSE_POWER_PLANT) = plant;
    }
};

TEST(Placement, SearchSquareSlidesInsideAtTheCornersAndKeepsItsSize)
{
    TestWorld w(100, 200);
    const struct {
        std::int32_t x, y;
        TSiteSquare want;
    } cases[] = {
        {50, 100, {20, 40, 80, 160}},
        {5, 12, {4, 10, 64, 130}},    // top left: slid right and down
        {99, 199, {36, 70, 96, 190}}, // bottom right: slid left and up
    };
    for (const auto& c : cases) {
        const TSiteSquare s = SiteSearchSquare(c.x, c.y, 30);
        EXPECT_EQ(s.x0, c.want.x0);
        EXPECT_EQ(s.y0, c.want.y0);
        EXPECT_EQ(s.x1, c.want.x1);
        EXPECT_EQ(s.y1, c.want.y1);
    }
    // A map smaller than the square: the square is the whole building area.
    TestWorld small(40, 60);
    const TSiteSquare s = SiteSearchSquare(20, 30, 30);
    EXPECT_EQ(s.x0, 4);
    EXPECT_EQ(s.x1, 36);
    EXPECT_EQ(s.y0, 10);
    EXPECT_EQ(s.y1, 50);
}

TEST(Placement, ANearWorkerBuildsAtOnceAFarOneIsSentTowardsTheSite)
{
    FrameGuard guard;
    for (const std::int32_t dx : {11, 12}) {
        SCOPED_TRACE(dx);
        TestWorld w(80, 160);
        w.BuildPassMaps();
        Plan(w, 40, 80);
        plat::Point site{};
        ASSERT_TRUE(ChooseSite(site, 0, HOUSE_POWER_PLANT));
        ASSERT_TRUE(CanBuildHouse(0, site.x, site.y, HOUSE_POWER_PLANT, 0));
        TUnit* worker = w.AddUnit(0, testworld::kWorker, site.x - dx, site.y);
        ASSERT_NE(worker, nullptr);
        worker->Work = UNIT_NO_WORK;
        ASSERT_EQ(FindNearestWorker(site.x, site.y, 0), worker);
        const std::uint16_t before = NumHouse[0];
        const bool built = BuildHouse(0, HOUSE_POWER_PLANT);
        EXPECT_EQ(built, dx == 11);
        EXPECT_EQ(NumHouse[0], before + (dx == 11 ? 1 : 0));
        EXPECT_EQ(w.Player(0)->Planner->FarWorkers, dx == 11 ? 0u : 1u);
        if (built) {
            const THouse* h = HouseAt(g_pHouse[0], NumHouse[0] - 1);
            EXPECT_EQ(h->X, site.x);
            EXPECT_EQ(h->Y, site.y);
        }
    }
}

TEST(Placement, FortyOneFarPlacementsMoveTheBase)
{
    FrameGuard guard;
    TestWorld w(120, 240);
    w.BuildPassMaps();
    TStrategAI& ai = Plan(w, 60, 120);
    g_FrameCounter = 10000;
    TUnit* worker = w.AddUnit(0, testworld::kWorker, 10, 20);
    ASSERT_NE(worker, nullptr);
    for (int i = 0; i < 40; ++i) {
        worker->Work = UNIT_NO_WORK;
        worker->X = CellPixel(10, 20).x;
        worker->Y = CellPixel(10, 20).y;
        ASSERT_FALSE(BuildHouse(0, HOUSE_POWER_PLANT));
    }
    EXPECT_EQ(ai.FarWorkers, 40u);
    EXPECT_EQ(ai.TargetX, 60);
    EXPECT_EQ(ai.TargetY, 120);
    worker->Work = UNIT_NO_WORK;
    worker->X = CellPixel(10, 20).x;
    worker->Y = CellPixel(10, 20).y;
    EXPECT_FALSE(BuildHouse(0, HOUSE_POWER_PLANT));
    EXPECT_EQ(ai.FarWorkers, 0u);
    EXPECT_TRUE(ai.TargetX != 60 || ai.TargetY != 120);
    EXPECT_EQ(ai.WantedHouses[6], 2);
}

TEST(Placement, TheBaseStaysBeforeFrameTenThousandAndOnSmallMapsInModeOne)
{
    FrameGuard guard;
    TestWorld w(41, 100);
    TStrategAI& ai = Plan(w, 20, 50);
    g_FrameCounter = 9999;
    EXPECT_FALSE(ChooseNewBase(0, 0));
    g_FrameCounter = 10000;
    // 41 cells across leaves no room for the random cells 20 inside each border.
    EXPECT_FALSE(ChooseNewBase(0, 1));
    EXPECT_EQ(ai.TargetX, 20);
    EXPECT_EQ(ai.TargetY, 50);
    TestWorld big(100, 200);
    TStrategAI& ai2 = Plan(big, 50, 100);
    EXPECT_TRUE(ChooseNewBase(0, 1));
    EXPECT_GE(ai2.TargetX, 20);
    EXPECT_LT(ai2.TargetX, 80);
    EXPECT_GE(ai2.TargetY, 20);
    EXPECT_LT(ai2.TargetY, 180);
}

TEST(Placement, WithoutSpecialPointsNoExtractorIsSited)
{
    FrameGuard guard;
    TestWorld w(80, 160);
    w.BuildPassMaps();
    Plan(w, 40, 80);
    g_SpecialPointCount = 0;
    w.AddUnit(0, testworld::kWorker, 40, 80);
    for (std::uint16_t type : {10, 11, 13}) {
        plat::Point site{};
        EXPECT_FALSE(ChooseSite(site, 0, type));
        EXPECT_FALSE(BuildHouse(0, type));
    }
    EXPECT_EQ(NumHouse[0], 0);
}

TEST(Placement, EnemyPresenceCountsEnemyUnitsAndBuildings)
{
    TestWorld w(40, 80);
    const plat::Point base{20, 40};
    EXPECT_EQ(EnemyPresence(0, base, base, 0), 0);
    w.AddUnit(1, testworld::kRifleman, 22, 44); // an enemy
    w.AddUnit(0, testworld::kRifleman, 21, 44); // our own
    // Depth 0 adds the midpoint at depth 1, which adds its own at depth 2: the same area thrice.
    EXPECT_EQ(EnemyPresence(0, base, base, 2), 1);
    EXPECT_EQ(EnemyPresence(0, base, base, 0), 3);
    THouseType pillbox = HouseType(1, HOUSE_PILLBOX);
    THouseType market = HouseType(1, 8);
    w.AddPlayerHouse(1, 18, 38, &pillbox)->HouseType = HOUSE_PILLBOX;
    w.AddPlayerHouse(1, 24, 36, &market)->HouseType = 8;
    EXPECT_EQ(EnemyPresence(0, base, base, 2), 1 + 100 + 10);
    // Far away (more than 20 columns) nothing counts.
    EXPECT_EQ(EnemyPresence(0, {30, 40}, {30, 40}, 2) , 1 + 100 + 10);
    w.SetAllies(0, 1, true);
    EXPECT_EQ(EnemyPresence(0, base, base, 0), 0);
}

TEST(Placement, ShorePointsLieOnTheWaterAroundTheBase)
{
    TestWorld w(60, 120);
    for (std::int32_t y = 0; y < 120; ++y)
        for (std::int32_t x = 35; x < 60; ++x)
            w.SetWater(x, y);
    TStrategAI& ai = Plan(w, 20, 60);
    ComputeShorePoints(0);
    ASSERT_FALSE(ai.ShoreX.empty());
    EXPECT_LE(ai.ShoreX.size(), 20u);
    EXPECT_EQ(ai.ShoreX.size(), ai.ShoreY.size());
    for (std::size_t i = 0; i < ai.ShoreX.size(); ++i) {
        const plat::Point c = PixelToFlatCell(static_cast<float>(ai.ShoreX[i]), static_cast<float>(ai.ShoreY[i]));
        EXPECT_GE(c.x, 35);
        EXPECT_GT(ai.ShoreX[i], CellPixel(20, 60).x); // only the eastern directions reach it
    }
    plat::Point p{};
    NearShorePoint(0, p, ai.ShoreX[0], ai.ShoreY[0], 1);
    EXPECT_EQ(p.x, ai.ShoreX[0]);
    EXPECT_EQ(p.y, ai.ShoreY[0]);

    // Dry land: no points, and the base point stands in.
    TestWorld dry(60, 120);
    TStrategAI& ai2 = Plan(dry, 20, 60);
    ComputeShorePoints(0);
    EXPECT_TRUE(ai2.ShoreX.empty());
    NearShorePoint(0, p, 0, 0, 3);
    EXPECT_EQ(p.x, CellPixel(20, 60).x);
    EXPECT_EQ(p.y, CellPixel(20, 60).y);
}

// A base on an island with no room to build: the land beyond the water is never a site, however
// near; a strip of land across the water opens it.
TEST(Placement, SitesLieOnLandTheBaseReachesWithoutCrossingWater)
{
    FrameGuard guard;
    for (const bool ford : {false, true}) {
        SCOPED_TRACE(ford);
        TestWorld w(80, 160);
        for (std::int32_t y = 60; y <= 100; ++y)
            for (std::int32_t x = 30; x <= 50; ++x) {
                const bool island = x >= 39 && x <= 41 && y >= 78 && y <= 82;
                const bool strip = ford && y >= 79 && y <= 81 && x < 39;
                if (island)
                    w.SetAdvancedPath(x, y, 1); // no room to build
                else if (!strip)
                    w.SetWater(x, y);
            }
        w.BuildPassMaps();
        Plan(w, 40, 80);
        plat::Point site{};
        const bool found = ChooseSite(site, 0, HOUSE_POWER_PLANT);
        EXPECT_EQ(found, ford);
        if (found)
            EXPECT_LT(site.x, 39) << "off the island, along the strip";
    }
}

// A site nobody walks to gets the nearest free worker, once: a worker already on its way keeps the
// site to itself.
TEST(Placement, AnUnattendedSiteGetsTheNearestFreeWorker)
{
    FrameGuard guard;
    TestWorld w(80, 160);
    w.BuildPassMaps();
    TStrategAI& ai = Plan(w, 40, 80);
    ai.Player = 0;
    plat::Point site{};
    ASSERT_TRUE(ChooseSite(site, 0, HOUSE_POWER_PLANT));
    const std::uint16_t index = PlaceHouse(0, site.x, site.y, HOUSE_POWER_PLANT);
    ASSERT_NE(index, 65535);
    HouseAt(g_pHouse[0], index)->BuildWork = 100; // a site with work left
    TUnit* near = w.AddUnit(0, testworld::kWorker, site.x - 3, site.y);
    TUnit* far = w.AddUnit(0, testworld::kWorker, site.x - 8, site.y);
    ASSERT_NE(near, nullptr);
    ASSERT_NE(far, nullptr);
    near->Work = far->Work = UNIT_NO_WORK;
    ai.TendSites();
    EXPECT_EQ(near->Work, WORK_GO_TO_OBJECT);
    EXPECT_EQ(near->WorkObject, PlayerHouseCode(0, index));
    ai.TendSites();
    EXPECT_EQ(far->Work, UNIT_NO_WORK);
}

} // namespace
