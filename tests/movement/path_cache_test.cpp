#include <gtest/gtest.h>

#include "path_world.h"

using pathtest::Kind;
using pathtest::PathWorld;
using pathtest::Walk;

namespace {

using Path = std::vector<std::uint8_t>;

// A path that runs east (7) or west (8) from start to goal only matters through its descriptor.
const Path kEast{7, 7, 7};

} // namespace

TEST(PathCache, LookUpScoresNearbyRequestsAndTakesTheBestOldestFirst)
{
    struct Case {
        const char* name;
        plat::Point cachedStart, cachedGoal;
        plat::Point s, g;
        bool hit;
    };
    const Case cases[] = {
        {"same start and goal", {20, 40}, {30, 40}, {20, 40}, {30, 40}, true},
        {"one column left, path east, goal two columns on (score 4)", {20, 40}, {30, 40}, {19, 40}, {32, 40}, true},
        {"one column left, path west", {20, 40}, {10, 40}, {19, 40}, {32, 40}, false},
        {"same column, rows differ, same way", {20, 40}, {20, 60}, {20, 42}, {20, 62}, true},
        {"same column, rows differ, other way", {20, 40}, {20, 60}, {20, 42}, {20, 20}, false},
        {"four rows below", {20, 40}, {30, 40}, {20, 44}, {30, 44}, false},
        {"two columns off", {20, 40}, {30, 40}, {22, 40}, {30, 40}, false},
        {"goal six columns off (score 12)", {20, 40}, {30, 40}, {20, 40}, {36, 40}, false},
        {"goal five columns off (score 10)", {20, 40}, {30, 40}, {20, 40}, {35, 40}, true},
        {"goal ten rows off (score 10)", {20, 40}, {30, 40}, {20, 40}, {30, 50}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPathHelper cache;
        ASSERT_TRUE(cache.Add(c.cachedStart, c.cachedGoal, kEast));
        Path path;
        TPathDesc desc;
        EXPECT_EQ(cache.Lookup(c.s, c.g, path, desc), c.hit);
        if (c.hit) {
            EXPECT_EQ(path, kEast);
            EXPECT_EQ(desc.startX, c.cachedStart.x);
            EXPECT_EQ(desc.goalY, c.cachedGoal.y);
        }
    }
}

TEST(PathCache, TheExactEntryWinsAndTiesGoToTheOldest)
{
    CPathHelper cache;
    cache.Add({20, 40}, {31, 40}, Path{1});     // score 2 for the request below
    cache.Add({21, 40}, {31, 40}, Path{2});     // score 2 as well: the older one wins the tie
    Path path;
    TPathDesc desc;
    ASSERT_TRUE(cache.Lookup({20, 40}, {30, 40}, path, desc));
    EXPECT_EQ(path, Path{1});
    cache.Add({20, 40}, {30, 40}, Path{3});     // exact: score 0
    cache.Add({20, 40}, {30, 40}, Path{4});     // a later exact entry is never reached
    ASSERT_TRUE(cache.Lookup({20, 40}, {30, 40}, path, desc));
    EXPECT_EQ(path, Path{3});
}

TEST(PathCache, AddingKeepsEightyEntriesAndRefusesAKnownPairAtTheFront)
{
    CPathHelper cache;
    EXPECT_TRUE(cache.Add({5, 5}, {6, 6}, Path{1}));
    EXPECT_FALSE(cache.Add({5, 5}, {6, 6}, Path{1}));
    for (int i = 1; i < CPathHelper::kCapacity; ++i)
        EXPECT_TRUE(cache.Add({10 + i, 20}, {30, 40}, Path{2}));
    EXPECT_EQ(cache.Size(), 80u);
    EXPECT_TRUE(cache.Add({200, 20}, {30, 40}, Path{3}));
    EXPECT_EQ(cache.Size(), 80u);
    EXPECT_EQ(cache.Desc(0).startX, 11) << "the first entry went";
    EXPECT_EQ(cache.Desc(79).startX, 200);
}

TEST(PathCache, RefreshDropsEntriesOlderThanTheKeepTime)
{
    PathWorld w;
    g_FrameCounter = 1000;
    g_PathHelper.Add({10, 20}, {30, 40}, kEast);
    g_FrameCounter = 1050;
    g_PathHelper.Add({11, 20}, {30, 40}, kEast);
    struct Step {
        std::uint32_t frame;
        std::size_t left;
    };
    // The tick refreshes only at frames ending in 02.
    for (const Step& s : {Step{1101, 2}, Step{1102, 2}, Step{1160, 2}, Step{1202, 1}, Step{1251, 1}, Step{1302, 0}}) {
        g_FrameCounter = s.frame;
        RefreshPathCacheTick();
        EXPECT_EQ(g_PathHelper.Size(), s.left) << "frame " << s.frame;
    }
}

TEST(PathCache, StitchingStepsStraightAndFailsOnABlockedCell)
{
    PathWorld w;
    struct Case {
        plat::Point a, b;
        Path steps;
    };
    const Case cases[] = {
        {{20, 40}, {20, 41}, {2}}, {{20, 41}, {20, 42}, {3}},  {{20, 40}, {20, 39}, {1}},  {{20, 41}, {20, 40}, {4}},
        {{20, 40}, {20, 44}, {6, 6}}, {{20, 40}, {20, 36}, {5, 5}}, {{20, 40}, {22, 40}, {7, 7}},
        {{20, 40}, {18, 40}, {8, 8}}, {{20, 40}, {18, 38}, {4, 4, 8}}, {{20, 40}, {21, 42}, {2, 2}},
        {{20, 40}, {20, 40}, {}},
    };
    for (const Case& c : cases) {
        Path path{9};
        ASSERT_TRUE(CPathHelper::Stitch(c.a, c.b, path, 0));
        Path front = c.steps;
        front.push_back(9);
        EXPECT_EQ(path, front) << c.b.x << "," << c.b.y;
        path = Path{9};
        ASSERT_TRUE(CPathHelper::Stitch(c.a, c.b, path, 1));
        Path back{9};
        back.insert(back.end(), c.steps.begin(), c.steps.end());
        EXPECT_EQ(path, back);
    }
    PathWorld::Block(21, 40);
    Path path{9};
    EXPECT_FALSE(CPathHelper::Stitch({20, 40}, {22, 40}, path, 0));
    EXPECT_EQ(path, Path{9});
}

TEST(PathCache, ALandUnitReusesANearbyPathAndAVehicleNever)
{
    PathWorld w;
    TUnit* first = w.Place(Kind::Land, 10, 20);
    ASSERT_EQ(PathWorld::Send(first, 30, 60), 1);
    ASSERT_EQ(g_PathHelper.Size(), 1u);
    const std::int32_t wave = g_PathWorkCounter;

    // One row below the first start, a goal one column further: a hit joined at both ends.
    TUnit* second = w.Place(Kind::Land, 10, 22);
    ASSERT_EQ(PathWorld::Send(second, 31, 60), 1);
    EXPECT_EQ(g_PathWorkCounter, wave + 2);
    EXPECT_EQ(g_PathHelper.Size(), 1u);
    const plat::Point end = Walk({10, 22}, second->Path, second->PathLength, g_pLandPassMap);
    EXPECT_EQ(end.x, 31);
    EXPECT_EQ(end.y, 60);

    TUnit* tank = w.Place(Kind::Vehicle, 10, 20);
    ASSERT_EQ(PathWorld::Send(tank, 30, 60), 1);
    EXPECT_EQ(g_PathWorkCounter, wave + 2 + wave) << "a whole wave of the same length";
    EXPECT_EQ(g_PathHelper.Size(), 1u);
}

TEST(PathCache, AFailedStitchFallsBackToTheWave)
{
    PathWorld w;
    TUnit* first = w.Place(Kind::Land, 10, 20);
    ASSERT_EQ(PathWorld::Send(first, 30, 60), 1);
    const std::int32_t wave = g_PathWorkCounter;
    // The cached start itself is blocked now, so the straight steps toward it fail.
    PathWorld::Block(10, 20);
    TUnit* second = w.Place(Kind::Land, 10, 22);
    ASSERT_EQ(PathWorld::Send(second, 30, 60), 1);
    EXPECT_EQ(g_PathWorkCounter, wave + 20 + 38 / 2);
    EXPECT_EQ(g_PathHelper.Size(), 2u);
    const plat::Point end = Walk({10, 22}, second->Path, second->PathLength, g_pLandPassMap);
    EXPECT_EQ(end.x, 30);
    EXPECT_EQ(end.y, 60);
}
