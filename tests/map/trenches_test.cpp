#include <gtest/gtest.h>


#include "map/map_file.h"
#include "trench_fixture.h"

namespace {

std::uint16_t CodeAt(std::int32_t x, std::int32_t y)
{
    return GetObjectFromMap(plat::Point{x, y});
}

std::vector<std::uint8_t> SaveBlock()
{
    TOfStreamMemory out;
    EXPECT_TRUE(g_TrenchList.SaveTrenchList(out));
    return {out.Data(), out.Data() + out.Size()};
}

} // namespace

TEST(TrenchLineStep, StepsTowardTheTargetOnTheStaggeredGrid)
{
    struct Case {
        plat::Point from, to;
        std::uint8_t dir;
    };
    const Case cases[] = {
        {{5, 10}, {5, 10}, 0},  // same tile
        {{5, 10}, {5, 11}, 2},  // one row down from an even row
        {{5, 11}, {5, 12}, 3},  // one row down from an odd row
        {{5, 10}, {5, 14}, 3},  // farther down
        {{5, 11}, {5, 10}, 4},  // one row up from an odd row
        {{5, 10}, {5, 9}, 1},   // one row up from an even row
        {{5, 10}, {5, 6}, 4},   // farther up
        {{5, 10}, {2, 10}, 4},  // same row, left
        {{5, 10}, {9, 10}, 1},  // same row, right
        {{5, 10}, {8, 4}, 1},   // right and above
        {{5, 10}, {8, 14}, 2},  // right and below
        {{5, 10}, {1, 4}, 4},   // left and above
        {{5, 10}, {1, 14}, 3},  // left and below
    };
    for (const Case& c : cases) {
        plat::Point pos = c.from;
        const std::uint8_t dir = LineStep(pos, c.to);
        EXPECT_EQ(dir, c.dir) << c.from.x << "," << c.from.y << " -> " << c.to.x << "," << c.to.y;
        const plat::Point moved = dir ? GetNeighbourPoint(c.from, dir) : c.from;
        EXPECT_EQ(pos.x, moved.x);
        EXPECT_EQ(pos.y, moved.y);
    }
}

TEST(TrenchLineStep, WalksEndAtTheTargetAndNeverPassTheStepList)
{
    for (const plat::Point& to : {plat::Point{30, 7}, plat::Point{2, 40}, plat::Point{11, 10}, plat::Point{11, 30}}) {
        const auto tiles = TrenchLineWalk({11, 20}, to);
        ASSERT_FALSE(tiles.empty());
        EXPECT_EQ(tiles.back().tile.x, to.x);
        EXPECT_EQ(tiles.back().tile.y, to.y);
        for (std::size_t i = 0; i + 1 < tiles.size(); ++i) {
            const plat::Point next = GetNeighbourPoint(tiles[i].tile, tiles[i].direction);
            EXPECT_EQ(next.x, tiles[i + 1].tile.x);
            EXPECT_EQ(next.y, tiles[i + 1].tile.y);
        }
    }
    EXPECT_EQ(TrenchLineWalk({11, 20}, {11, 20}).size(), 1u);
    EXPECT_EQ(TrenchLineWalk({0, 0}, {30000, 30000}).size(), static_cast<std::size_t>(kTrenchWalkMaxTiles));
}

TEST_F(TrenchTest, PlacementRules)
{
    MakeStripedMap();
    // A house next to a tile (direction 3 of (20, 31)) and one to the west (direction 8 of
    // (24, 33)), which the rule does not look at.
    SetObjectMap(plat::Point{20, 32}, PlayerHouseCode(0, 3));
    SetObjectMap(plat::Point{23, 33}, 150);
    // One deep-water tile: the ships' grid is free under it.
    const plat::Point deep{10, 24};
    const plat::Point shipPixel = TrenchTilePixel(deep);
    g_pWater->m_pShipGrid->SetCellValue((shipPixel.x + 48) / 96, shipPixel.y / 48, SHIP_CELL_FREE);
    ASSERT_NE(g_TrenchList.AddTrenchEntry(kPontoonKindRising, 15, 21), nullptr);

    struct Case {
        std::uint8_t kind;
        std::int32_t x, y;
        bool ok;
        const char* why;
    };
    const Case cases[] = {
        {1, 20, 21, true, "a bank takes a trench"},
        {20, 20, 21, true, "a bank takes a pontoon"},
        {20, 20, 24, true, "shallow water takes a pontoon"},
        {21, 20, 26, true, "two rows under water counts as water"},
        {1, 20, 24, false, "water refuses a trench"},
        {5, 20, 26, false, "water refuses a trench end"},
        {20, 10, 24, false, "deep water refuses everything"},
        {20, 3, 21, false, "left border"},
        {20, 4, 21, true, "first column inside"},
        {20, 37, 21, false, "right border (W - 3)"},
        {20, 36, 21, true, "last column inside"},
        {20, 20, 9, false, "top border"},
        {20, 20, 51, false, "bottom border (H - 9)"},
        {20, 15, 21, false, "the tile holds an entry"},
        {20, 20, 31, false, "a house around the tile"},
        {20, 24, 33, true, "a house to the west does not count"},
        {20, 23, 33, false, "a neutral house on the tile"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(g_TrenchList.CanPlaceTrench(c.kind, c.x, c.y), c.ok) << c.why;
}

TEST_F(TrenchTest, DryLandFarFromWaterRefusesEverything)
{
    TWaterMap& w = MakeWater(40, 60);
    w.SetCell(21, 21, 1); // the water cell tile (10, 21) is tested on
    w.m_pShipGrid->m_pWater = &w;
    w.m_pShipGrid->RebuildShipGrid(nullptr);
    ASSERT_TRUE(w.IsTileOnWater(10, 21));
    EXPECT_TRUE(g_TrenchList.CanPlaceTrench(1, 11, 21));  // its neighbour to the east is a bank
    EXPECT_FALSE(g_TrenchList.CanPlaceTrench(1, 20, 21)); // dry land
    EXPECT_FALSE(g_TrenchList.CanPlaceTrench(20, 20, 21));
}

TEST_F(TrenchTest, NewEntriesTakeCodesAndRefreshThePassability)
{
    MakeStripedMap();
    TTrenchEntry* e = g_TrenchList.AddTrenchEntry(kPontoonKindFalling, 12, 23);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->kind, kPontoonKindFalling);
    EXPECT_EQ(e->active, 1);
    EXPECT_EQ(e->countdown, kTrenchNewCountdown);
    EXPECT_EQ(e->strength, kTrenchNewStrength);
    ASSERT_NE(g_TrenchList.AddTrenchEntry(1, 14, 23), nullptr);
    EXPECT_EQ(CodeAt(12, 23), 9700);
    EXPECT_EQ(CodeAt(14, 23), 9701);
    EXPECT_EQ(g_bMapViewDirty, 1);
    EXPECT_EQ(refreshes, (std::vector<TRefresh>{{12, 23, 2}, {14, 23, 2}}));
    EXPECT_TRUE(g_TrenchList.IsTrenchObjectCode(9700));
    EXPECT_FALSE(g_TrenchList.IsTrenchObjectCode(9701)); // a trench piece, not a pontoon
    EXPECT_FALSE(g_TrenchList.IsTrenchObjectCode(9702)); // past the entries
    EXPECT_FALSE(g_TrenchList.IsTrenchObjectCode(11000));
}

TEST_F(TrenchTest, ListGrowsBy300AndRefusesThe1301stEntry)
{
    MakeStripedMap();
    int added = 0;
    for (int y = 10; y < 51 && added < 1300; ++y)
        for (int x = 4; x < 37 && added < 1300; ++x)
            if (g_TrenchList.AddTrenchEntry(kPontoonKindRising, x, y))
                ++added;
    ASSERT_EQ(added, 1300);
    EXPECT_EQ(g_TrenchList.Count(), 1300);
    EXPECT_EQ(g_TrenchList.Capacity(), 1500);
    EXPECT_EQ(CodeAt(g_TrenchList.Entry(1299)->x, g_TrenchList.Entry(1299)->y), 10999);
    EXPECT_EQ(g_TrenchList.AddTrenchEntry(kPontoonKindRising, 36, 50), nullptr);
    EXPECT_EQ(g_TrenchList.Count(), 1300);
    EXPECT_EQ(CodeAt(36, 50), 0);
}

TEST_F(TrenchTest, DigPays300WoodAPieceFromBothValues)
{
    MakeStripedMap();
    const plat::Point start{10, 21};
    const plat::Point target{16, 21};
    const plat::Point pixel = TileCentre(target);
    plat::Point picked;
    GetCellFromPoint(static_cast<float>(pixel.x), static_cast<float>(pixel.y), picked);
    ASSERT_EQ(picked.x, target.x);
    ASSERT_EQ(picked.y, target.y);
    const auto walk = TrenchLineWalk(target, start);
    ASSERT_GE(walk.size(), 4u);

    struct Case {
        double wood;
        int pieces;
        double left;
    };
    for (const Case& c : {Case{299.0, 0, 299.0}, Case{650.0, 2, 50.0}, Case{300.0, 1, 0.0}}) {
        g_TrenchList.Clear();
        for (const auto& t : walk)
            SetObjectMap(t.tile, 0);
        wood = {c.wood, c.wood};
        g_TrenchList.DigTrenchLine(0, static_cast<float>(pixel.x), static_cast<float>(pixel.y), start.x, start.y);
        ASSERT_EQ(g_TrenchList.Count(), c.pieces) << c.wood;
        EXPECT_EQ(wood.recorded, c.left);
        EXPECT_EQ(wood.spendable, c.left);
        for (int i = 0; i < c.pieces; ++i) {
            const TTrenchEntry* e = g_TrenchList.Entry(static_cast<std::uint16_t>(i));
            EXPECT_EQ(e->x, walk[i].tile.x);
            EXPECT_EQ(e->y, walk[i].tile.y);
            EXPECT_EQ(e->kind, PontoonKindForDirection(walk[i].direction));
        }
    }
}

TEST_F(TrenchTest, DigOfOneTileLaysAtMostOnePiece)
{
    MakeStripedMap();
    wood = {5000.0, 5000.0};
    const plat::Point tile{20, 21};
    const plat::Point pixel = TileCentre(tile);
    g_TrenchList.DigTrenchLine(0, static_cast<float>(pixel.x), static_cast<float>(pixel.y), tile.x, tile.y);
    ASSERT_EQ(g_TrenchList.Count(), 1);
    EXPECT_EQ(g_TrenchList.Entry(0)->kind, kPontoonKindRising);
    g_TrenchList.DigTrenchLine(0, static_cast<float>(pixel.x), static_cast<float>(pixel.y), tile.x, tile.y);
    EXPECT_EQ(g_TrenchList.Count(), 1);
    EXPECT_EQ(wood.spendable, 4700.0);
}

TEST_F(TrenchTest, PreviewRestoresTheSpendableWoodExactlyAndLaysNothing)
{
    MakeStripedMap();
    const plat::Point pixel = TileCentre({18, 25});
    const double odd = 650.1;
    wood = {777.0, odd};
    g_TrenchList.PlaceTrenchPath(0, static_cast<float>(pixel.x), static_cast<float>(pixel.y), {10, 21});
    EXPECT_EQ(wood.spendable, odd);
    EXPECT_EQ(wood.recorded, 777.0);
    EXPECT_EQ(g_TrenchList.Count(), 0);
    EXPECT_TRUE(refreshes.empty());
    EXPECT_NE(g_TrenchList.Graphics().main[kPontoonKindRising], nullptr);
    EXPECT_EQ(g_TrenchList.Graphics().frameCount[kPontoonKindFalling], kTrenchBuildFrames);
}

TEST_F(TrenchTest, MissingGraphicsAreReportedAndNothingIsDrawn)
{
    MakeStripedMap();
    const std::string logged = LoggedBy([] { EXPECT_FALSE(g_TrenchList.LoadTrenchGraphics("Data\\Misc\\None.les")); });
    EXPECT_NE(logged.find("Cannot find trench file  Data\\Misc\\None.les"), std::string::npos);
    EXPECT_EQ(g_TrenchList.Graphics().main[kPontoonKindRising], nullptr);
}

TEST_F(TrenchTest, ShapedPathPatterns)
{
    using P = plat::Point;
    struct Case {
        P s, e;
        std::vector<std::uint8_t> kinds; // caps included
        const char* what;
    };
    const Case cases[] = {
        // Row run right: dx 5 -> (2 * 5) / 5 = 2 repeats of {1, 3, 2, 4}, then a 1.
        {{10, 21}, {15, 21}, {7, 1, 3, 2, 4, 1, 3, 2, 4, 1, 8}, "row run right"},
        // Row run left: dx 3 -> 1 repeat of {1, 4, 2, 3}, then a 1.
        {{15, 21}, {12, 22}, {8, 1, 4, 2, 3, 1, 7}, "row run left"},
        // Column run up: dy 10 -> 2 repeats of {2, 6, 1, 5}, then a 2.
        {{20, 40}, {21, 30}, {10, 2, 6, 1, 5, 2, 6, 1, 5, 2, 9}, "column run up"},
        // Column run down: dy 5 -> 1 repeat of {2, 5, 1, 6}, then a 2.
        {{20, 30}, {20, 35}, {9, 2, 5, 1, 6, 2, 10}, "column run down"},
        // Diagonal up-right (direction 1, kind 2) until the row of e; the caps lie away from the
        // line, on the direction-3 side of the start and the direction-1 side of the end.
        {{10, 30}, {20, 27}, {10, 2, 2, 2, 2, 9}, "diagonal up-right"},
        // Diagonal down-left (direction 3, kind 2).
        {{20, 30}, {16, 34}, {9, 2, 2, 2, 2, 2, 10}, "diagonal down-left"},
        // Diagonal up-left (direction 4, kind 1); one piece when e's row is the start's.
        {{20, 30}, {19, 30}, {8, 1, 7}, "one piece"},
    };
    for (const Case& c : cases) {
        const auto plan = TTrenchList::PlanTrenchPath(c.s, c.e);
        std::vector<std::uint8_t> kinds;
        for (const auto& p : plan)
            kinds.push_back(p.kind);
        EXPECT_EQ(kinds, c.kinds) << c.what;
        ASSERT_GE(plan.size(), 3u);
        EXPECT_EQ(plan[1].tile.x, c.s.x) << c.what;
        EXPECT_EQ(plan[1].tile.y, c.s.y) << c.what;
    }
}

TEST_F(TrenchTest, ShapedPathStepsAndCapTiles)
{
    // Row run right from (10, 21): pieces move by 2, 7, 1, 7 between them.
    const auto plan = TTrenchList::PlanTrenchPath({10, 21}, {13, 21});
    ASSERT_EQ(plan.size(), 7u); // cap, 1, 3, 2, 4, 1, cap
    const std::uint8_t steps[] = {2, 7, 1, 7};
    for (int i = 0; i < 4; ++i) {
        const plat::Point next = GetNeighbourPoint(plan[1 + i].tile, steps[i]);
        EXPECT_EQ(next.x, plan[2 + i].tile.x);
        EXPECT_EQ(next.y, plan[2 + i].tile.y);
    }
    // The start piece (kind 1) is followed by a kind 3: cap 7 on its direction-4 neighbour. The
    // last piece (kind 1) follows a kind 4: cap 8 on its direction-2 neighbour.
    const plat::Point startCap = GetNeighbourPoint(plan[1].tile, 4);
    EXPECT_EQ(plan[0].kind, 7);
    EXPECT_EQ(plan[0].tile.x, startCap.x);
    EXPECT_EQ(plan[0].tile.y, startCap.y);
    const plat::Point endCap = GetNeighbourPoint(plan[5].tile, 2);
    EXPECT_EQ(plan[6].kind, 8);
    EXPECT_EQ(plan[6].tile.x, endCap.x);
    EXPECT_EQ(plan[6].tile.y, endCap.y);
}

TEST_F(TrenchTest, LongDiagonalsStopAt901Pieces)
{
    const auto plan = TTrenchList::PlanTrenchPath({0, 5000}, {2000, 0});
    EXPECT_EQ(plan.size(), static_cast<std::size_t>(kTrenchDiagonalMaxPieces) + 2);
    const auto rows = TTrenchList::PlanTrenchPath({0, 10}, {20000, 10});
    EXPECT_LE(rows.size(), static_cast<std::size_t>(kTrenchWalkMaxTiles) + 2);
}

TEST_F(TrenchTest, FindPathLaysTheShapeWhereTheTilesAllowIt)
{
    MakeStripedMap();
    // The map mouse passes the release tile first and the press tile second.
    const plat::Point release{10, 21};
    const plat::Point press{15, 21};
    const auto plan = TTrenchList::PlanTrenchPath(release, press);
    g_TrenchList.TrenchFindPath(release, press);
    // Trench kinds stand only on the banks, the odd rows of the striped map.
    std::vector<std::pair<int, int>> expected;
    for (const auto& p : plan)
        if (p.tile.y & 1)
            expected.push_back({p.tile.x, p.tile.y});
    std::vector<std::pair<int, int>> laid;
    for (std::uint16_t i = 0; i < g_TrenchList.Count(); ++i)
        laid.push_back({g_TrenchList.Entry(i)->x, g_TrenchList.Entry(i)->y});
    EXPECT_EQ(laid, expected);
    EXPECT_FALSE(laid.empty());
    EXPECT_EQ(wood.spendable, 0.0); // no cost
}

TEST_F(TrenchTest, WearRemovesUnfinishedAtOnceAndFinishedAtTheFifthHit)
{
    MakeStripedMap();
    TTrenchEntry* fresh = g_TrenchList.AddTrenchEntry(kPontoonKindRising, 12, 21);
    ASSERT_NE(fresh, nullptr);
    refreshes.clear();
    g_TrenchList.TrenchWearDown(fresh, {12, 21}, std::nullopt);
    EXPECT_EQ(fresh->active, 0);
    EXPECT_EQ(CodeAt(12, 21), 0);
    EXPECT_EQ(refreshes, (std::vector<TRefresh>{{12, 21, 3}}));

    TTrenchEntry* done = g_TrenchList.AddTrenchEntry(kPontoonKindRising, 14, 21);
    ASSERT_NE(done, nullptr);
    done->countdown = -1.0f;
    for (int hit = 1; hit <= 4; ++hit) {
        g_TrenchList.TrenchWearDown(done, {14, 21}, std::nullopt);
        EXPECT_EQ(done->active, 1) << hit;
        EXPECT_EQ(CodeAt(14, 21), 9701) << hit;
    }
    g_TrenchList.TrenchWearDown(done, {14, 21}, std::nullopt);
    EXPECT_EQ(done->active, 0);
    EXPECT_EQ(CodeAt(14, 21), 0);

    TTrenchEntry* strong = g_TrenchList.AddTrenchEntry(kPontoonKindRising, 16, 21);
    strong->countdown = -1.0f;
    g_TrenchList.TrenchWearDown(strong, {16, 21}, 999.0f);
    EXPECT_EQ(strong->active, 1);
    g_TrenchList.TrenchWearDown(strong, {16, 21}, 1.0f);
    EXPECT_EQ(strong->active, 0);
    // A removed entry whose tile was taken by something else leaves that code alone.
    SetObjectMap(plat::Point{16, 21}, 9000);
    g_TrenchList.TrenchWearDown(strong, {16, 21}, std::nullopt);
    EXPECT_EQ(CodeAt(16, 21), 9000);
}

TEST_F(TrenchTest, StandingPointsInTheTrenchesAround)
{
    MakeStripedMap();
    ASSERT_NE(g_TrenchList.AddTrenchEntry(1, 20, 21), nullptr);  // direction 0 of (20, 21)
    ASSERT_NE(g_TrenchList.AddTrenchEntry(3, 20, 23), nullptr);  // direction 6 (two rows down)
    ASSERT_NE(g_TrenchList.AddTrenchEntry(20, 19, 21), nullptr); // a pontoon: not a standing place
    plat::Point points[8];
    const int n = g_TrenchList.TrenchPontoonStep({20, 21}, points, 8);
    ASSERT_EQ(n, 4);
    const plat::Point p = TrenchTilePixel({20, 21});
    for (int i = 0; i < 3; ++i) {
        const auto xi = static_cast<std::int32_t>(p.x + 2.0f + 14.666667f * i);
        EXPECT_EQ(points[i].x, xi);
        EXPECT_EQ(points[i].y, static_cast<std::int32_t>(p.y + 0.5f * (xi - p.x - 2)));
    }
    const plat::Point q = TrenchTilePixel({20, 23});
    EXPECT_EQ(points[3].x, q.x);
    EXPECT_EQ(points[3].y, q.y - 1);
    EXPECT_EQ(g_TrenchList.TrenchPontoonStep({20, 21}, points, 2), 2);
}

TEST_F(TrenchTest, BlockRoundTripKeepsRemovedEntriesRemoved)
{
    MakeStripedMap();
    ASSERT_NE(g_TrenchList.AddTrenchEntry(kPontoonKindRising, 12, 21), nullptr);
    TTrenchEntry* gone = g_TrenchList.AddTrenchEntry(kPontoonKindFalling, 14, 21);
    ASSERT_NE(gone, nullptr);
    ASSERT_NE(g_TrenchList.AddTrenchEntry(2, 16, 23), nullptr);
    g_TrenchList.Entry(0)->countdown = -3.5f;
    g_TrenchList.TrenchWearDown(gone, {14, 21}, std::nullopt);
    const std::vector<std::uint8_t> block = SaveBlock();
    ASSERT_EQ(block.size(), 4u + 3u * kTrenchBlockEntryBytes);

    g_TrenchList.Clear();
    for (const plat::Point t : {plat::Point{12, 21}, plat::Point{16, 23}})
        SetObjectMap(t, 0);
    TIfStreamMemory in(block.data(), static_cast<std::int32_t>(block.size()));
    ASSERT_TRUE(g_TrenchList.LoadTrenchList(in));
    EXPECT_EQ(g_TrenchList.Count(), 3);
    EXPECT_EQ(g_TrenchList.Capacity(), 300);
    EXPECT_EQ(CodeAt(12, 21), 9700);
    EXPECT_EQ(CodeAt(14, 21), 0);
    EXPECT_EQ(CodeAt(16, 23), 9702);
    EXPECT_EQ(g_TrenchList.Entry(1)->active, 0);
    EXPECT_EQ(g_TrenchList.Entry(0)->countdown, -3.5f);
    EXPECT_EQ(SaveBlock(), block);
    // Slots past the count are empty.
    ASSERT_NE(g_TrenchList.AddTrenchEntry(kPontoonKindRising, 18, 21), nullptr);
    EXPECT_EQ(CodeAt(18, 21), 9703);
}

TEST_F(TrenchTest, BadBlocksAreRefusedAndLeaveTheListAsItWas)
{
    MakeStripedMap();
    ASSERT_NE(g_TrenchList.AddTrenchEntry(kPontoonKindRising, 12, 21), nullptr);
    const std::vector<std::uint8_t> before = SaveBlock();
    auto block = [](std::uint16_t capacity, std::uint16_t count, std::size_t entryBytes) {
        std::vector<std::uint8_t> b = {static_cast<std::uint8_t>(capacity), static_cast<std::uint8_t>(capacity >> 8),
                                       static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8)};
        b.resize(4 + entryBytes, 0);
        return b;
    };
    struct Case {
        std::vector<std::uint8_t> bytes;
        const char* what;
    };
    const Case cases[] = {
        {{0x2C}, "cut inside the header"},
        {block(2, 3, 3 * 14), "count above the capacity"},
        {block(1400, 1301, 1301 * 14), "more entries than codes"},
        {block(300, 2, 2 * 14 - 1), "an entry cut short"},
    };
    for (const Case& c : cases) {
        TIfStreamMemory in(c.bytes.data(), static_cast<std::int32_t>(c.bytes.size()));
        const std::string logged = LoggedBy([&] { EXPECT_FALSE(g_TrenchList.LoadTrenchList(in)) << c.what; });
        EXPECT_FALSE(logged.empty()) << c.what;
        EXPECT_EQ(SaveBlock(), before) << c.what;
    }
    // An entry off the map is reported by the object map's setter and written nowhere.
    std::vector<std::uint8_t> off = block(300, 1, 14);
    off[4] = 20;
    off[5] = 0xFF; // x 65535
    off[6] = 0xFF;
    off[17] = 1;
    TIfStreamMemory in(off.data(), static_cast<std::int32_t>(off.size()));
    const std::string logged = LoggedBy([&] { EXPECT_TRUE(g_TrenchList.LoadTrenchList(in)); });
    EXPECT_NE(logged.find(kMsgSetObjectXY), std::string::npos);
}

TEST_F(TrenchTest, MapLoaderServicesReachTheList)
{
    MakeStripedMap();
    const TMapServices s = DefaultMapServices();
    const std::vector<std::uint8_t> bytes = {0x2C, 0x01, 0x01, 0x00, 20, 12, 0, 21, 0, 0, 0, 0x80, 0xBF, 0, 0, 0x7A, 0x44, 1};
    TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    ASSERT_TRUE(s.LoadTrenchList(in));
    EXPECT_TRUE(s.TrenchEntryExists(0));
    EXPECT_FALSE(s.TrenchEntryExists(1));
    EXPECT_EQ(CodeAt(12, 21), 9700);
    EXPECT_EQ(g_TrenchList.Entry(0)->countdown, -1.0f);
    EXPECT_EQ(g_TrenchList.Entry(0)->strength, 1000.0f);
}

TEST_F(TrenchTest, PontoonsAreDrawnFinishedOrAsTheirFirstBuildingFrame)
{
    MakeStripedMap();
    ASSERT_NE(g_TrenchList.AddTrenchEntry(kPontoonKindRising, 6, 11), nullptr);
    ASSERT_NE(g_TrenchList.AddTrenchEntry(kPontoonKindFalling, 8, 13), nullptr);
    g_TrenchList.Entry(1)->countdown = -1.0f;
    const TScreenQuad saved = g_SpriteQuadTemplate;
    for (TScreenVertex& v : g_SpriteQuadTemplate)
        v.diffuse = 0xFFFFFFFFu;
    FillSurface(g_pDDSBack, 0);
    g_pD3DDevice->SetRenderState(D3DState::ZEnable, 0);
    g_TrenchList.DrawTrenchPontoons();
    g_SpriteQuadTemplate = saved;
    EXPECT_EQ(g_pD3DDevice->GetRenderState(D3DState::AlphaTestEnable), 0u);
    EXPECT_EQ(g_pD3DDevice->GetRenderState(D3DState::ZWriteEnable), 0u);
    // Both sprites reached the back surface: the finished one and the first building frame.
    plat::LockedArea a;
    ASSERT_TRUE(g_pDDSBack->Lock(nullptr, a));
    int lit = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            lit += reinterpret_cast<const std::uint16_t*>(a.bits + static_cast<std::ptrdiff_t>(y) * a.pitch)[x] != 0;
    g_pDDSBack->Unlock();
    EXPECT_GT(lit, 1000);
}
