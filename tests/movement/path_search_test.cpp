#include <string>

#include <gtest/gtest.h>

#include "map/map_fixture.h"
#include "map/trench_pieces.h"
#include "path_world.h"
#include "players/game_cycle.h"
#include "units/unit_lists.h"

using pathtest::Kind;
using pathtest::PathWorld;
using pathtest::Walk;

namespace {

const std::uint16_t* PassOf(Kind kind)
{
    return kind == Kind::Vehicle ? g_pVehiclePassMap : g_pLandPassMap;
}

struct SearchCase {
    const char* name;
    Kind kind;
    plat::Point start;
    plat::Point goal;
    int painted; // which picture: 0 none, 1 a wall with one gap, 2 a land-only wall, 3 a closed box
    std::int8_t result;
};

// Walls are two rows thick: a step north or south passes over one row.
void PaintPicture(int picture)
{
    switch (picture) {
    case 1: // across the map, with one gap at column 20
        for (std::int32_t y : {30, 31})
            for (std::int32_t x = 4; x < g_MapWidth - 3; ++x)
                if (x != 20)
                    PathWorld::Block(x, y);
        break;
    case 2:
        PathWorld::Paint(4, 30, {"llllllllllllllllllllllllllllllllll", "llllllllllllllllllllllllllllllllll"});
        break;
    case 3:
        // A ring of cells around (20, 50) and its neighbours, two cells thick.
        for (std::int32_t y = 44; y <= 56; ++y)
            for (std::int32_t x = 16; x <= 24; ++x)
                if (y <= 45 || y >= 55 || x <= 17 || x >= 23)
                    PathWorld::Block(x, y);
        break;
    default:
        break;
    }
}

} // namespace

TEST(PathSearch, PathsOnHandMadeMapsReachTheGoalOverOpenCells)
{
    const SearchCase cases[] = {
        {"open, far", Kind::Land, {8, 14}, {30, 66}, 0, 1},
        {"open, far, vehicle", Kind::Vehicle, {30, 66}, {8, 14}, 0, 1},
        {"wall with one gap", Kind::Land, {8, 20}, {32, 40}, 1, 1},
        {"wall with one gap, vehicle", Kind::Vehicle, {32, 40}, {8, 20}, 1, 1},
        {"land-only wall stops a soldier", Kind::Land, {10, 20}, {10, 40}, 2, 0},
        {"land-only wall lets a tank pass", Kind::Vehicle, {10, 20}, {10, 40}, 2, 1},
        {"goal inside a closed box", Kind::Land, {8, 14}, {20, 50}, 3, 0},
        {"start inside a closed box", Kind::Land, {20, 50}, {8, 14}, 3, 0},
        {"neighbour goal, walked straight", Kind::Land, {20, 40}, {21, 40}, 0, -1},
        {"neighbour goal, vehicle", Kind::Vehicle, {20, 40}, {21, 40}, 0, 1},
    };
    for (const SearchCase& c : cases) {
        SCOPED_TRACE(c.name);
        PathWorld w;
        PaintPicture(c.painted);
        TUnit* u = w.Place(c.kind, c.start.x, c.start.y);
        ASSERT_NE(u, nullptr);
        EXPECT_EQ(PathWorld::Send(u, c.goal.x, c.goal.y), c.result);
        if (c.result != 1) {
            EXPECT_EQ(u->Path, nullptr);
            EXPECT_EQ(u->m_PathRetries, c.result == 0 ? 1 : 0);
            continue;
        }
        ASSERT_NE(u->Path, nullptr);
        EXPECT_EQ(u->PathIndex, 0);
        const plat::Point end = Walk(c.start, u->Path, u->PathLength, PassOf(c.kind));
        EXPECT_EQ(end.x, c.goal.x);
        EXPECT_EQ(end.y, c.goal.y);
    }
}

TEST(PathSearch, ShortMovesOnOpenGroundWalkStraightAndAWallForcesTheWave)
{
    PathWorld w;
    TUnit* u = w.Place(Kind::Land, 20, 40);
    // Four rows down is 96 pixels away.
    EXPECT_EQ(PathWorld::Send(u, 20, 44), -1);
    EXPECT_EQ(u->Path, nullptr);
    EXPECT_EQ(g_PathWorkCounter, 0);

    PathWorld::Block(20, 42);
    EXPECT_EQ(PathWorld::Send(u, 20, 44), 1);
    ASSERT_NE(u->Path, nullptr);
    const plat::Point end = Walk({20, 40}, u->Path, u->PathLength, g_pLandPassMap);
    EXPECT_EQ(end.x, 20);
    EXPECT_EQ(end.y, 44);
}

TEST(PathSearch, AVehicleNeverWalksStraightAndFindsANeighbourGoalWithoutWork)
{
    struct Case {
        plat::Point goal;
        std::uint8_t step;
    };
    for (const Case& c : {Case{{20, 42}, 6}, Case{{20, 39}, 1}, Case{{19, 41}, 3}}) {
        PathWorld w;
        TUnit* u = w.Place(Kind::Vehicle, 20, 40);
        ASSERT_EQ(PathWorld::Send(u, c.goal.x, c.goal.y), 1);
        ASSERT_EQ(u->PathLength, 1);
        EXPECT_EQ(u->Path[0], c.step);
        EXPECT_EQ(g_PathWorkCounter, 0);
    }
}

TEST(PathSearch, WorkCounterGrowsByTheDistanceForWholeMapRoundsAndByTheBudgetForFormations)
{
    struct Case {
        plat::Point goal;
        std::int32_t growth; // |dx| + |dy| / 2
    };
    // The map is 40 wide, so the window round serves distances below 2; it finds a neighbour goal
    // without work and gives up on any other.
    const Case cases[] = {{{21, 40}, 0}, {{20, 43}, 1}, {{20, 45}, 2}, {{25, 40}, 5}, {{8, 70}, 27}, {{30, 12}, 24}};
    PathWorld w;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.goal.x) + "," + std::to_string(c.goal.y));
        TUnit* u = w.Place(Kind::Vehicle, 20, 40);
        g_PathWorkCounter = 0;
        ASSERT_EQ(PathWorld::Send(u, c.goal.x, c.goal.y), 1);
        EXPECT_EQ(g_PathWorkCounter, c.growth);
    }
    g_PathWorkCounter = 0;
    std::vector<std::uint8_t> path;
    const testworld::TPixel a = testworld::CellCentre(10, 20);
    const testworld::TPixel b = testworld::CellCentre(30, 60);
    ASSERT_EQ(FindPathFromPointToPoint(g_pLandPassMap, static_cast<std::int32_t>(a.x), static_cast<std::int32_t>(a.y),
                                       static_cast<std::int32_t>(b.x), static_cast<std::int32_t>(b.y), path),
              1);
    EXPECT_EQ(g_PathWorkCounter, g_PathBudget);
}

TEST(PathSearch, TheTraceTakesTheLowerDirectionBetweenEqualLabels)
{
    // The cell two rows below the start is blocked; the goal four rows below is reached from the
    // cells north-east and north-west of it, both labelled alike: the trace takes north-east.
    PathWorld w;
    PathWorld::Block(20, 42);
    TUnit* u = w.Place(Kind::Vehicle, 20, 40);
    ASSERT_EQ(PathWorld::Send(u, 20, 44), 1);
    ASSERT_EQ(u->PathLength, 3);
    EXPECT_EQ(u->Path[0], 2);
    EXPECT_EQ(u->Path[1], 6);
    EXPECT_EQ(u->Path[2], 3);
}

TEST(PathSearch, AnEnclosedGoalIsBlockedAndNotSearchedAgain)
{
    PathWorld w;
    for (std::uint8_t k = 1; k <= 8; ++k) {
        const plat::Point n = GetNeighbourPoint({20, 50}, k);
        PathWorld::Block(n.x, n.y);
    }
    TUnit* u = w.Place(Kind::Land, 10, 20);
    ASSERT_EQ(PathWorld::Send(u, 20, 50), 0);
    EXPECT_EQ(g_pLandPassMap[CellIndex(20, 50)], PASS_BLOCKED);
    EXPECT_EQ(g_pVehiclePassMap[CellIndex(20, 50)], 0) << "only the unit's own map";
    EXPECT_EQ(u->m_PathRetries, 1);

    const std::int32_t work = g_PathWorkCounter;
    EXPECT_EQ(PathWorld::Send(u, 20, 50), 0);
    EXPECT_EQ(g_PathWorkCounter, work) << "refused before any search";
    EXPECT_EQ(u->m_PathRetries, 2);
}

TEST(PathSearch, AnUnreachableGoalWithAnOpenNeighbourStaysOpen)
{
    PathWorld w;
    PaintPicture(3);
    TUnit* u = w.Place(Kind::Land, 10, 20);
    ASSERT_EQ(PathWorld::Send(u, 20, 50), 0);
    EXPECT_EQ(g_pLandPassMap[CellIndex(20, 50)], 0);
}

TEST(PathSearch, AVehicleLeavesItsReservedCellsUnlessAnotherVehicleStandsBesideThem)
{
    for (bool crowded : {false, true}) {
        SCOPED_TRACE(crowded ? "crowded" : "alone");
        PathWorld w;
        for (std::uint8_t k = 0; k <= 8; ++k) {
            const plat::Point n = GetNeighbourPoint({20, 40}, k);
            w.SetAdvancedPath(n.x, n.y, ADVANCED_PATH_UNIT_BIT);
        }
        w.BuildPassMaps();
        ASSERT_EQ(g_pVehiclePassMap[CellIndex(20, 39)], PASS_BLOCKED);
        TUnit* u = w.Place(Kind::Vehicle, 20, 40);
        if (crowded)
            w.Place(Kind::Vehicle, 20, 40);
        const std::int8_t r = PathWorld::Send(u, 20, 60);
        if (crowded) {
            EXPECT_EQ(r, 0);
            continue;
        }
        ASSERT_EQ(r, 1);
        // The first step goes onto a reserved cell, the rest over open ones.
        const plat::Point first = GetNeighbourPoint({20, 40}, u->Path[0]);
        EXPECT_EQ(g_pCellFlags[CellIndex(first.x, first.y)], ADVANCED_PATH_UNIT_BIT);
        plat::Point at = first;
        for (std::uint8_t k : std::vector<std::uint8_t>(u->Path + 1, u->Path + u->PathLength)) {
            at = GetNeighbourPoint(at, k);
            const std::size_t poz = CellIndex(at.x, at.y);
            EXPECT_TRUE(g_pVehiclePassMap[poz] == 0 || g_pCellFlags[poz] == ADVANCED_PATH_UNIT_BIT);
        }
        EXPECT_EQ(at.x, 20);
        EXPECT_EQ(at.y, 60);
    }
}

TEST(PathSearch, TheCheckedEntryRefusesBadGoalsAndDropsThePathForItsOwnCell)
{
    PathWorld w;
    TUnit* u = w.Place(Kind::Land, 20, 40);
    u->Path = new std::uint8_t[3]{1, 2, 3};
    u->PathLength = 3;
    u->PathIndex = 2;
    u->VX = 1.0f;
    EXPECT_EQ(FindPathChecked(u, 20, 40), -1);
    EXPECT_EQ(u->Path, nullptr);
    EXPECT_EQ(u->PathLength, 0);
    EXPECT_EQ(u->VX, 0.0f);

    maptest::LogWatch log;
    EXPECT_EQ(FindPathChecked(u, 20, 5000), 0);
    EXPECT_EQ(log.Count("FindPath"), 1);
    struct Bad {
        plat::Point goal;
    };
    // Outside the playable area, and a blocked cell.
    PathWorld::Block(25, 40);
    const std::uint8_t before = u->m_PathRetries;
    for (const Bad& b : {Bad{{3, 40}}, Bad{{20, 9}}, Bad{{g_MapWidth - 3, 40}}, Bad{{20, g_MapHeight - 9}}, Bad{{25, 40}}})
        EXPECT_EQ(FindPathChecked(u, b.goal.x, b.goal.y), 0);
    EXPECT_EQ(u->m_PathRetries, before + 5);
}

TEST(PathSearch, AStartOutsideThePlayableAreaIsRefused)
{
    PathWorld w;
    TUnit* u = w.Place(Kind::Vehicle, 20, 40);
    u->MapX = 2; // the border band
    maptest::LogWatch log;
    EXPECT_EQ(PathWorld::Send(u, 20, 60), 0);
    EXPECT_EQ(log.Count("outside the playable area"), 1);
    u->MapX = 20;

    std::vector<std::uint8_t> path;
    const std::uint8_t costs[9] = {30, 9, 9, 9, 9, 9, 9, 16, 16};
    EXPECT_EQ(FindPathFromPointToPointEx(g_pLandPassMap, 1, 1, 20, 40, costs, path), 0);
    EXPECT_EQ(FindPathFromPointToPointEx(g_pLandPassMap, 20, 40, 20, g_MapHeight - 1, costs, path), 0);
    EXPECT_TRUE(path.empty());
}

TEST(PathSearch, TheTrenchSearchNeverUsesAForbiddenDirection)
{
    // The trench tool's table: diagonals only.
    const std::uint8_t diagonals[9] = {30, 9, 9, 9, 9, 255, 255, 255, 255};
    // East and west only cost less, but are forbidden: they must not appear.
    const std::uint8_t cheapForbidden[9] = {1, 20, 20, 20, 20, 1, 255, 255, 1};
    struct Case {
        const std::uint8_t* cost;
        plat::Point start, goal;
    };
    const Case cases[] = {
        {diagonals, {10, 20}, {11, 20}},  {diagonals, {10, 20}, {30, 60}}, {diagonals, {30, 60}, {10, 21}},
        {diagonals, {20, 40}, {20, 46}},  {cheapForbidden, {10, 20}, {30, 60}}, {cheapForbidden, {30, 60}, {10, 20}},
    };
    PathWorld w;
    PathWorld::Paint(10, 30, {"####################"});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.goal.x) + "," + std::to_string(c.goal.y));
        std::vector<std::uint8_t> path;
        ASSERT_EQ(FindPathFromPointToPointEx(g_pLandPassMap, c.start.x, c.start.y, c.goal.x, c.goal.y, c.cost, path), 1);
        for (std::uint8_t k : path)
            EXPECT_LT(c.cost[k], 255) << "direction " << int(k);
        const plat::Point end = Walk(c.start, path, g_pLandPassMap);
        EXPECT_EQ(end.x, c.goal.x);
        EXPECT_EQ(end.y, c.goal.y);
    }
    // A goal reachable only over forbidden directions: west only, and the start's other sides shut.
    const std::uint8_t westOnly[9] = {1, 255, 255, 255, 255, 255, 255, 255, 9};
    std::vector<std::uint8_t> path;
    EXPECT_EQ(FindPathFromPointToPointEx(g_pLandPassMap, 20, 40, 18, 40, westOnly, path), 1);
    EXPECT_EQ(path, (std::vector<std::uint8_t>{8, 8}));
    EXPECT_EQ(FindPathFromPointToPointEx(g_pLandPassMap, 20, 40, 22, 40, westOnly, path), 0);
    EXPECT_EQ(FindPathFromPointToPointEx(g_pLandPassMap, 20, 40, 20, 40, westOnly, path), -1);
    const std::uint8_t zero[9] = {0, 9, 9, 9, 0, 9, 9, 9, 9};
    maptest::LogWatch log;
    EXPECT_EQ(FindPathFromPointToPointEx(g_pLandPassMap, 20, 40, 22, 40, zero, path), 0);
    EXPECT_EQ(log.Count("costs 0"), 1);
}

TEST(PathSearch, TheTrenchToolLaysItsLineThroughTheRealSearch)
{
    PathWorld w;
    const std::uint8_t diagonals[9] = {30, 9, 9, 9, 9, 255, 255, 255, 255};
    std::vector<std::uint8_t> path;
    ASSERT_TRUE(DefaultTrenchPieceServices().FindPath({10, 20}, {14, 28}, diagonals, path));
    const plat::Point end = Walk({10, 20}, path, g_pLandPassMap);
    EXPECT_EQ(end.x, 14);
    EXPECT_EQ(end.y, 28);
}

TEST(PathSearch, TheFormationSearchAvoidsCostlyGroundAndChangesNoMap)
{
    PathWorld w;
    const auto px = [](plat::Point c) {
        const testworld::TPixel p = testworld::CellCentre(c.x, c.y);
        return std::pair{static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
    };
    std::vector<std::uint8_t> path;
    // A band of costly ground across the straight way.
    for (std::int32_t y = 36; y <= 44; ++y)
        for (std::int32_t x = 4; x < 30; ++x)
            g_pLandPenalty[CellIndex(x, y)] = 250;
    const auto [x0, y0] = px({10, 30});
    const auto [x1, y1] = px({10, 50});
    ASSERT_EQ(FindPathFromPointToPoint(g_pLandPassMap, x0, y0, x1, y1, path), 1);
    plat::Point at{10, 30};
    bool detoured = false;
    for (std::uint8_t k : path) {
        at = GetNeighbourPoint(at, k);
        detoured = detoured || at.x >= 30;
    }
    EXPECT_EQ(at.x, 10);
    EXPECT_EQ(at.y, 50);
    EXPECT_TRUE(detoured);
    EXPECT_EQ(FindPathFromPointToPoint(g_pLandPassMap, x0, y0, x0 + 5, y0, path), -1);
    // An unreachable goal: nothing of the real map changes.
    for (std::uint8_t k = 1; k <= 8; ++k) {
        const plat::Point n = GetNeighbourPoint({20, 60}, k);
        PathWorld::Block(n.x, n.y);
    }
    const std::vector<std::uint16_t> walled(g_pLandPassMap, g_pLandPassMap + g_MapCellCount);
    const auto [x2, y2] = px({20, 60});
    EXPECT_EQ(FindPathFromPointToPoint(g_pLandPassMap, x0, y0, x2, y2, path), 0);
    EXPECT_EQ(std::vector<std::uint16_t>(g_pLandPassMap, g_pLandPassMap + g_MapCellCount), walled);
}

TEST(PathSearch, WaveFrontsGrowPastTenThousandCells)
{
    // Costly odd rows beside cheap even ones: the wave runs ahead over the even rows while every
    // odd cell it touches waits in the front for 259 value steps.
    PathWorld w(300, 600);
    for (std::int32_t y = 1; y < g_MapHeight; y += 2)
        std::fill_n(g_pLandPenalty + CellIndex(0, y), g_MapWidth, std::uint8_t{250});
    const testworld::TPixel a = testworld::CellCentre(150, 300);
    const testworld::TPixel b = testworld::CellCentre(290, 590);
    std::vector<std::uint8_t> path;
    ASSERT_EQ(FindPathFromPointToPoint(g_pLandPassMap, static_cast<std::int32_t>(a.x), static_cast<std::int32_t>(a.y),
                                       static_cast<std::int32_t>(b.x), static_cast<std::int32_t>(b.y), path),
              1);
    const plat::Point end = Walk({150, 300}, path, g_pLandPassMap);
    EXPECT_EQ(end.x, 290);
    EXPECT_EQ(end.y, 590);
    EXPECT_GT(std::max(PathBuffers().frontA.capacity(), PathBuffers().frontB.capacity()), 10000u);
}

TEST(PathSearch, SearchesWithoutPassMapsFailCleanly)
{
    maptest::TestMap map(40, 80);
    FreePathBuffers();
    std::vector<std::uint8_t> path;
    const std::uint8_t costs[9] = {30, 9, 9, 9, 9, 9, 9, 16, 16};
    EXPECT_EQ(FindPathFromPointToPointEx(g_pLandPassMap, 10, 20, 12, 20, costs, path), 0);
    EXPECT_EQ(FindPathFromPointToPoint(g_pLandPassMap, 100, 500, 900, 900, path), 0);
}
