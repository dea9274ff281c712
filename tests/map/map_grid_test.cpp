#include "map/map_grid.h"

#include <gtest/gtest.h>

#include "map_fixture.h"
#include "players/strateg.h"

using maptest::LogWatch;
using maptest::TestMap;

namespace {

TEST(MapGrid, TileToPixelOnEvenAndOddRows)
{
    struct Case {
        plat::Point cell;
        plat::Point pixel;
    };
    const Case cases[] = {
        {{0, 0}, {-48, 0}}, {{0, 1}, {0, 24}}, {{1, 0}, {48, 0}}, {{1, 1}, {96, 24}},
        {{5, 10}, {432, 240}}, {{5, 11}, {480, 264}},
    };
    for (const Case& c : cases) {
        const plat::Point p = TileToPixel(c.cell);
        EXPECT_EQ(p.x, c.pixel.x) << c.cell.x << "," << c.cell.y;
        EXPECT_EQ(p.y, c.pixel.y) << c.cell.x << "," << c.cell.y;
    }
}

TEST(MapGrid, NeighboursFollowTheRowParity)
{
    struct Case {
        plat::Point cell;
        std::uint8_t dir;
        plat::Point expected;
    };
    const Case cases[] = {
        {{3, 4}, 0, {3, 4}}, {{3, 4}, 1, {3, 3}}, {{3, 4}, 2, {3, 5}}, {{3, 4}, 3, {2, 5}},
        {{3, 4}, 4, {2, 3}}, {{3, 4}, 5, {3, 2}}, {{3, 4}, 6, {3, 6}}, {{3, 4}, 7, {4, 4}},
        {{3, 4}, 8, {2, 4}}, {{3, 5}, 1, {4, 4}}, {{3, 5}, 2, {4, 6}}, {{3, 5}, 3, {3, 6}},
        {{3, 5}, 4, {3, 4}}, {{3, 5}, 5, {3, 3}}, {{3, 5}, 7, {4, 5}}, {{3, 5}, 8, {2, 5}},
    };
    for (const Case& c : cases) {
        const plat::Point n = GetNeighbourPoint(c.cell, c.dir);
        EXPECT_EQ(n.x, c.expected.x) << "dir " << int(c.dir) << " of row " << c.cell.y;
        EXPECT_EQ(n.y, c.expected.y) << "dir " << int(c.dir) << " of row " << c.cell.y;
    }
}

TEST(MapGrid, ReverseDirectionLeadsBack)
{
    for (int y : {4, 5})
        for (std::uint8_t d = 0; d < kDirectionCount; ++d) {
            const plat::Point there = GetNeighbourPoint({3, y}, d);
            const plat::Point back = GetNeighbourPoint(there, g_ReverseDirection[d]);
            EXPECT_EQ(back.x, 3) << int(d);
            EXPECT_EQ(back.y, y) << int(d);
        }
}

// Each neighbour's diamond shares the edge or corner its direction names: the neighbour's left
// corner lies where the direction says relative to the cell's own.
TEST(MapGrid, NeighbourTablesMatchTheDiamondGeometry)
{
    const plat::Point offsets[kDirectionCount] = {{0, 0},  {48, -24}, {48, 24},  {-48, 24}, {-48, -24},
                                                  {0, -48}, {0, 48},   {96, 0},   {-96, 0}};
    for (int y : {6, 7})
        for (std::uint8_t d = 0; d < kDirectionCount; ++d) {
            const plat::Point a = TileToPixel({4, y});
            const plat::Point b = TileToPixel(GetNeighbourPoint({4, y}, d));
            EXPECT_EQ(b.x - a.x, offsets[d].x) << int(d);
            EXPECT_EQ(b.y - a.y, offsets[d].y) << int(d);
        }
}

TEST(MapGrid, FlatPickingAtDiamondEdges)
{
    struct Case {
        float x, y;
        plat::Point cell;
    };
    // Cell (0, 1) has its diamond around (48, 24); (0, 0) and (1, 0) above, (0, 2) and (1, 2) below.
    // A point on an edge or corner goes to the lower or right cell.
    const Case cases[] = {
        {48.0f, 24.0f, {0, 1}},  {1.0f, 1.0f, {0, 0}},   {95.0f, 1.0f, {1, 0}},  {1.0f, 47.0f, {0, 2}},
        {95.0f, 47.0f, {1, 2}},  {24.0f, 12.0f, {0, 1}}, {23.9f, 11.9f, {0, 0}}, {72.0f, 12.0f, {0, 1}},
        {72.1f, 11.9f, {1, 0}},  {72.0f, 36.0f, {1, 2}}, {24.0f, 36.0f, {0, 2}}, {23.9f, 35.9f, {0, 1}},
        {0.0f, 24.0f, {0, 2}},   {96.0f, 24.0f, {1, 2}}, {140.0f, 70.0f, {1, 3}},
    };
    for (const Case& c : cases) {
        const plat::Point p = PixelToFlatCell(c.x, c.y);
        EXPECT_EQ(p.x, c.cell.x) << c.x << "," << c.y;
        EXPECT_EQ(p.y, c.cell.y) << c.x << "," << c.y;
    }
}

// Every pixel centre of a region picks the cell whose diamond holds it.
TEST(MapGrid, FlatPickingAgreesWithTheDiamonds)
{
    for (int py = 0; py < 96; ++py)
        for (int px = 0; px < 192; ++px) {
            const float x = px + 0.5f;
            const float y = py + 0.5f;
            const plat::Point cell = PixelToFlatCell(x, y);
            const plat::Point ref = TileToPixel(cell);
            const float dx = x - (ref.x + 48.0f);
            const float dy = y - ref.y;
            EXPECT_LE(std::abs(dx) / 48.0f + std::abs(dy) / 24.0f, 1.0f) << px << "," << py;
        }
}

TEST(MapGrid, GeometrySetsSizesAndZeroedLayers)
{
    TestMap map(20, 30);
    ASSERT_TRUE(map.ok);
    EXPECT_EQ(g_MapCellCount, 600u);
    EXPECT_EQ(g_MapPixelWidth, 20 * 96);
    EXPECT_EQ(g_MapPixelHeight, 30 * 24);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i) {
        ASSERT_EQ(g_pHeightMap[i], 0);
        ASSERT_EQ(g_pObjectMap[i], 0);
        ASSERT_EQ(g_pUnitsMap[i], nullptr);
        ASSERT_EQ(g_pCellFlags[i] | g_pPathWork0[i] | g_pPathWork1[i] | g_pPathWork2[i], 0);
    }
    EXPECT_NE(g_pCellInfo, nullptr);
}

TEST(MapGrid, SpareRowsReadZero)
{
    TestMap map(20, 30);
    ASSERT_TRUE(map.ok);
    const std::int32_t w = g_MapWidth;
    const std::int32_t cells = static_cast<std::int32_t>(g_MapCellCount);
    g_pObjectMap[0] = 7;
    g_pObjectMap[cells - 1] = 7;
    g_pHeightMap[0] = 7;
    for (std::int32_t i : {-1, -5 * w, cells, cells + 5 * w - 1}) {
        EXPECT_EQ(g_pObjectMap[i], 0) << i;
        EXPECT_EQ(g_pHeightMap[i], 0) << i;
        EXPECT_EQ(g_pUnitsMap[i], nullptr) << i;
    }
}

TEST(MapGrid, AccessorsReportOutOfRange)
{
    TestMap map(10, 12);
    ASSERT_TRUE(map.ok);
    g_pObjectMap[0] = 9001;
    g_pHeightMap[0] = 30;
    g_pObjectMap[g_MapCellCount] = 0;
    struct Case {
        std::string_view message;
        std::function<int()> call; // the value a reader returns
    };
    const std::uint32_t past = g_MapCellCount;
    const Case cases[] = {
        {kMsgGetObjectPoint, [] { return GetObjectFromMap(plat::Point{-1, 0}); }},
        {kMsgGetObjectPoint, [] { return GetObjectFromMap(plat::Point{0, 12}); }},
        {kMsgGetObjectPoz, [past] { return GetObjectFromMap(past); }},
        {kMsgGetObjectXY, [] { return GetObjectFromMap(std::uint16_t{10}, std::uint16_t{0}); }},
        {kMsgSetObjectPoint, [] { SetObjectMap(plat::Point{10, 0}, 5); return 0; }},
        {kMsgSetObjectXY, [] { SetObjectMap(std::uint16_t{0}, std::uint16_t{12}, 5); return 0; }},
        {kMsgGetHeightPoint, [] { return GetHeightFromMap(plat::Point{0, -1}); }},
        {kMsgGetHeightPoz, [past] { return GetHeightFromMap(past + 3); }},
        {kMsgGetHeightXY, [] { return GetHeightFromMap(std::uint16_t{11}, std::uint16_t{2}); }},
        {kMsgSetHeightXY, [] { SetHeightMap(10, 11, 5); return 0; }},
        {kMsgGetHeightPoz, [past] { return GetHeightAtIndex(past); }},
    };
    for (const Case& c : cases) {
        LogWatch log;
        EXPECT_EQ(c.call(), 0) << c.message;
        EXPECT_EQ(log.Count(std::string(c.message)), 1) << c.message;
    }
    // Setters out of range wrote nothing: the spare rows and the map are untouched.
    EXPECT_EQ(g_pObjectMap[past], 0);
    EXPECT_EQ(g_pHeightMap[past + 5], 0);
    // Inside the map every form reads and writes the cell.
    LogWatch quiet;
    EXPECT_EQ(GetObjectFromMap(plat::Point{0, 0}), 9001);
    EXPECT_EQ(GetObjectFromMap(std::uint32_t{0}), 9001);
    SetObjectMap(std::uint16_t{9}, std::uint16_t{11}, 1234);
    EXPECT_EQ(GetObjectFromMap(std::uint16_t{9}, std::uint16_t{11}), 1234);
    SetHeightMap(9, 11, 77);
    EXPECT_EQ(GetHeightFromMap(plat::Point{9, 11}), 77);
    EXPECT_EQ(GetHeightAtIndex(0), 30);
    EXPECT_EQ(quiet.Added(), "");
}

TEST(MapGrid, CoordsUseTileLiftsAndReportsOutside)
{
    TestMap map(10, 12);
    ASSERT_TRUE(map.ok);
    g_pHeightMap[3 * 10 + 4] = 20;
    const plat::Point lifted = GetCoordsUseTile({4, 3});
    EXPECT_EQ(lifted.x, 8 * 48);
    EXPECT_EQ(lifted.y, 72 - 20);
    LogWatch log;
    const plat::Point outside = GetCoordsUseTile({12, -3});
    EXPECT_EQ(outside.x, 12);
    EXPECT_EQ(outside.y, -3);
    EXPECT_EQ(log.Count(std::string(kMsgCoordsUseTile)), 1);
    // The small-house test reads the object layer with the point reader's bounds test.
    EXPECT_FALSE(CellHasHouseKindBelow2({10, 0}));
    EXPECT_EQ(log.Count(std::string(kMsgGetObjectPoint)), 1);
    g_pObjectMap[0] = 9001;
    EXPECT_FALSE(CellHasHouseKindBelow2({0, 0}));
}

TEST(MapGrid, ObjectCodeRanges)
{
    struct Case {
        std::uint16_t code;
        TObjectKind kind;
    };
    const Case cases[] = {
        {0, TObjectKind::Free},           {99, TObjectKind::Special},        {100, TObjectKind::Special},
        {101, TObjectKind::NeutralHouse}, {999, TObjectKind::NeutralHouse},  {1000, TObjectKind::PlayerHouse},
        {8999, TObjectKind::PlayerHouse}, {9000, TObjectKind::Tree},         {9499, TObjectKind::Tree},
        {9500, TObjectKind::Stone},       {9599, TObjectKind::Stone},        {9600, TObjectKind::Misc},
        {9693, TObjectKind::Misc},        {9694, TObjectKind::Animated},     {9699, TObjectKind::Animated},
        {9700, TObjectKind::TrenchList},  {10999, TObjectKind::TrenchList},  {11000, TObjectKind::TrenchPiece},
        {24999, TObjectKind::TrenchPiece}, {25000, TObjectKind::Unknown},    {50, TObjectKind::Unknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyObjectCode(c.code), c.kind) << c.code;
    EXPECT_EQ(PlayerHouseCode(2, 17), 3017);
    EXPECT_EQ(HouseCodePlayer(3017), 2u);
    EXPECT_EQ(HouseCodeIndex(3017), 17u);
}

TEST(MapGrid, CellUnitListHoldsFortyPacked)
{
    TestMap map(10, 12);
    ASSERT_TRUE(map.ok);
    TUnit* units[kCellUnitCapacity + 1];
    for (int i = 0; i <= kCellUnitCapacity; ++i)
        units[i] = reinterpret_cast<TUnit*>(static_cast<std::uintptr_t>(0x1000 + 16 * i));
    for (int i = 0; i < kCellUnitCapacity; ++i)
        ASSERT_TRUE(AddUnitToCell(15, units[i])) << i;
    EXPECT_FALSE(AddUnitToCell(15, units[kCellUnitCapacity]));
    EXPECT_FALSE(AddUnitToCell(g_MapCellCount, units[0]));
    ASSERT_TRUE(RemoveUnitFromCell(15, units[3]));
    EXPECT_EQ(g_pUnitsMap[15][3], units[4]);
    EXPECT_EQ(g_pUnitsMap[15][kCellUnitCapacity - 2], units[kCellUnitCapacity - 1]);
    EXPECT_EQ(g_pUnitsMap[15][kCellUnitCapacity - 1], nullptr);
    EXPECT_FALSE(RemoveUnitFromCell(15, units[3]));
    EXPECT_TRUE(AddUnitToCell(15, units[kCellUnitCapacity]));
    EXPECT_EQ(g_pUnitsMap[15][kCellUnitCapacity - 1], units[kCellUnitCapacity]);
    EXPECT_FALSE(RemoveUnitFromCell(16, units[0]));
}

// The blocks of the unit lists and every layer are released (the sanitizer build sees a leak or
// a bad free); a second release and a release after a refused set-up do nothing harmful.
TEST(MapGrid, DestroyMapIsSafeTwiceAndAfterFailure)
{
    {
        TestMap map(10, 12);
        ASSERT_TRUE(map.ok);
        ASSERT_TRUE(AddUnitToCell(0, reinterpret_cast<TUnit*>(std::uintptr_t{0x100})));
        ASSERT_TRUE(AddUnitToCell(g_MapCellCount - 1, reinterpret_cast<TUnit*>(std::uintptr_t{0x100})));
        g_wNumPlayer = 3;
        g_HouseTypeCount[2][4] = 9;
        DestroyMap();
        EXPECT_EQ(g_pHeightMap, nullptr);
        EXPECT_EQ(g_pObjectMap, nullptr);
        EXPECT_EQ(g_pUnitsMap, nullptr);
        EXPECT_EQ(g_pCellInfo, nullptr);
        EXPECT_EQ(g_pCellFlags, nullptr);
        EXPECT_EQ(g_wNumPlayer, 0);
        EXPECT_EQ(g_HouseTypeCount[2][4], 0);
    } // the fixture's DestroyMap is the second call
    LogWatch log;
    g_MapWidth = 0;
    g_MapHeight = 40;
    EXPECT_FALSE(SetMapGeometry());
    EXPECT_EQ(log.Count("SetMapGeometry"), 1);
    DestroyMap();
    DestroyMap();
}

// A caller that clears the width before releasing still frees from the allocations' starts.
TEST(MapGrid, DestroyMapWithWidthClearedReportsAndFrees)
{
    g_MapWidth = 16;
    g_MapHeight = 16;
    ASSERT_TRUE(SetMapGeometry());
    g_MapWidth = 0;
    LogWatch log;
    DestroyMap();
    EXPECT_EQ(log.Count("DestroyMap"), 1);
    EXPECT_EQ(g_pHeightMap, nullptr);
}

TEST(MapGrid, SmallHelpers)
{
    struct P {
        float x, y;
    };
    EXPECT_DOUBLE_EQ(GetUnitDistance(P{1.0f, 2.0f}, P{4.0f, 6.0f}), 5.0);
    TVector3 a{1.0f, 2.0f, 3.0f};
    TVector3 b;
    EXPECT_EQ(CopyVector3(&b, &a), &b);
    EXPECT_EQ(b.z, 3.0f);
    const std::uint16_t text[] = {u'К', u'о', u'р'};
    std::uint16_t copy[3] = {};
    CopyWords(copy, text, 3);
    EXPECT_EQ(copy[2], u'р');
    EXPECT_TRUE(IsTileInMap({0, 0}) == (g_MapWidth > 0 && g_MapHeight > 0));
}

} // namespace
