// The player record: its unit table with the free-index queue, the target-search grid, creation
// for a map's slots, the unit list's front and the editor's removal of a player.
#include <gtest/gtest.h>

#include "core/game_folder_fixture.h"
#include "map/map_file.h"
#include "map/map_fixture.h"
#include "map/map_grid.h"
#include "players/command.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"

namespace {

class StrategTest : public GameFolderTest {
protected:
    void TearDown() override
    {
        ClearGlobalHeap();
        GameFolderTest::TearDown();
    }
};

TEST_F(StrategTest, FreedIndexesAreReusedOldestFirst)
{
    TStrateg p;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(p.AddUnit(nullptr), i);
    EXPECT_TRUE(p.RemoveUnit(7));
    EXPECT_TRUE(p.RemoveUnit(3));
    EXPECT_FALSE(p.RemoveUnit(10)) << "never handed out";
    EXPECT_EQ(p.AddUnit(nullptr), 7);
    EXPECT_EQ(p.AddUnit(nullptr), 3);
    EXPECT_EQ(p.AddUnit(nullptr), 10) << "the queue is empty again";
    EXPECT_EQ(p.GetUnit(11), nullptr);
}

TEST_F(StrategTest, TheTableGrowsByPagesAndRefusesIndexesPastItsLimit)
{
    TStrateg p;
    for (std::uint32_t i = 0; i < 1000; ++i)
        p.AddUnit(nullptr);
    EXPECT_EQ(p.Pages[1], nullptr);
    TUnit unit(0, 0);
    EXPECT_EQ(p.AddUnit(&unit), 1000);
    ASSERT_NE(p.Pages[1], nullptr) << "index 1000 opens the second page";
    EXPECT_EQ(unit.m_Index, 1000);
    EXPECT_EQ(p.GetUnit(1000), &unit);
    EXPECT_TRUE(p.RemoveUnit(1000));
    EXPECT_EQ(p.GetUnit(1000), nullptr);
    EXPECT_EQ(p.AddUnit(nullptr), 1000);

    while (p.NextUnitIndex < UNIT_TABLE_LIMIT)
        p.AddUnit(nullptr);
    EXPECT_EQ(p.AddUnit(&unit), UNIT_TABLE_FULL);
    EXPECT_EQ(p.NextUnitIndex, UNIT_TABLE_LIMIT);
    EXPECT_TRUE(Logged("the unit table is full"));
    EXPECT_TRUE(p.RemoveUnit(64999));
    EXPECT_EQ(p.AddUnit(nullptr), 64999) << "a freed index is still usable at the limit";
}

TEST_F(StrategTest, MarkGridStaysInsideTheGridAndItsRow)
{
    // A 10 x 10 cell map gives a grid 4 cells wide (960 / 300 + 1) and 1 row high (240 / 300 + 1);
    // 40 x 100 cells give 13 x 9.
    TStrateg p;
    p.MakeGrid(40, 100);
    ASSERT_EQ(p.GridWidth, 13);
    ASSERT_EQ(p.Grid.size(), 13u * 9u);
    const int w = p.GridWidth;
    const struct {
        const char* name;
        float x, y;
        std::uint8_t value;
        bool result;
        std::vector<int> marked;
    } cases[] = {
        {"inside", 650.0f, 650.0f, 30, true, {2 * w + 2, 2 * w + 1, 2 * w + 3, w + 2, 3 * w + 2}},
        {"last column keeps to its row", 12 * 300.0f + 10.0f, 350.0f, 30, true, {w + 12, w + 11, 12, 2 * w + 12}},
        {"first column keeps to its row", 10.0f, 350.0f, 30, true, {w, w + 1, 0, 2 * w}},
        {"first row has nothing above", 650.0f, 10.0f, 30, true, {2, 1, 3, w + 2}},
        {"a value of 100 marks the cell alone", 650.0f, 650.0f, 100, true, {2 * w + 2}},
        {"past the last column", 13 * 300.0f + 10.0f, 350.0f, 30, false, {}},
        {"below the grid", 650.0f, 9 * 300.0f + 5.0f, 30, false, {}},
        {"negative", -5.0f, 350.0f, 30, false, {}},
    };
    for (const auto& c : cases) {
        std::fill(p.Grid.begin(), p.Grid.end(), 0);
        EXPECT_EQ(p.MarkGrid(c.x, c.y, c.value), c.result) << c.name;
        std::vector<std::uint8_t> expected(p.Grid.size(), 0);
        for (int cell : c.marked)
            expected[static_cast<std::size_t>(cell)] = c.value;
        EXPECT_EQ(p.Grid, expected) << c.name;
    }
}

TEST_F(StrategTest, MapPlayersTakeTheNextSlotWithTheirKindAndName)
{
    maptest::TestMap map(40, 100);
    const struct {
        std::uint8_t kind;
        std::uint8_t expected;
        const char16_t* name;
    } cases[] = {{0, 1, u"Anna"}, {2, 1, u""}, {3, 1, u"Boris"}, {4, 4, u""}, {5, 5, u"Vera"},
                 {1, 1, u""},  {6, 1, u""},  {4, 4, u"Gleb"}};
    int n = 0;
    for (const auto& c : cases) {
        TMapPlayerRecord record;
        std::u16string name = c.name;
        std::copy(name.begin(), name.end(), record.name);
        record.nation = static_cast<std::uint8_t>(n % 5);
        record.byte41 = 7;
        ASSERT_TRUE(CreateMapPlayer(record, c.kind));
        const TStrateg& p = *g_Strateg[n];
        EXPECT_EQ(p.Kind, c.expected) << n;
        EXPECT_EQ(p.Number, n);
        EXPECT_EQ(p.Nation, n % 5);
        EXPECT_EQ(p.SetupByte, 7);
        EXPECT_EQ(p.WarTemplate, 2);
        if (!name.empty())
            EXPECT_EQ(p.Name, name);
        EXPECT_EQ(p.Grid.size(), 13u * 9u);
        EXPECT_NE(p.GroupManager, nullptr);
        EXPECT_NE(g_pHouse[n], nullptr);
        EXPECT_EQ(p.Houses, g_pHouse[n]);
        ++n;
    }
    EXPECT_EQ(g_wNumPlayer, 8);
    EXPECT_EQ(MyStrateg, g_Strateg[MyPlayer]);
    EXPECT_FALSE(CreateMapPlayer(TMapPlayerRecord{}, 4)) << "a ninth player";
    EXPECT_EQ(g_wNumPlayer, 8);
}

TEST_F(StrategTest, MoveUnitToFirstUnitRelinksTheList)
{
    TStrateg* p = g_Strateg[0] = new TStrateg;
    g_wNumPlayer = 1;
    TUnit a(0, 0), b(0, 0), c(0, 0);
    for (TUnit* u : {&a, &b, &c})
        u->Player = 0;
    // List c, b, a.
    p->FirstUnit = &c;
    c.m_pNext = &b;
    b.Prev = &c;
    b.m_pNext = &a;
    a.Prev = &b;
    MoveUnitToFirstUnit(&b);
    EXPECT_EQ(p->FirstUnit, &b);
    EXPECT_EQ(b.Prev, nullptr);
    EXPECT_EQ(b.m_pNext, &c);
    EXPECT_EQ(c.Prev, &b);
    EXPECT_EQ(c.m_pNext, &a);
    EXPECT_EQ(a.Prev, &c);
    MoveUnitToFirstUnit(&b);
    EXPECT_EQ(p->FirstUnit, &b) << "already first";
    TUnit loose(0, 0);
    loose.Player = 0;
    MoveUnitToFirstUnit(&loose);
    EXPECT_TRUE(Logged("MoveUnitToFirstUnit"));
    EXPECT_EQ(p->FirstUnit, &b);
    p->FirstUnit = nullptr;
}

TEST_F(StrategTest, ReleasedPlayerVanishesAndThoseAboveMoveDown)
{
    maptest::TestMap map(20, 20);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(CreateMapPlayer(TMapPlayerRecord{}, 1));
    NumHouse[2] = 1;
    g_pHouse[2][0].Owner = 2;
    THouse* movedHouses = g_pHouse[2];
    TStrateg* moved = g_Strateg[2];
    SetObjectMap(1, 1, 2005); // player 1's house 5
    SetObjectMap(2, 2, 3007); // player 2's house 7
    SetObjectMap(3, 3, 1004); // player 0's house 4
    SetObjectMap(4, 4, 9500); // not a house
    ReleasePlayer(1);
    EXPECT_EQ(g_wNumPlayer, 2);
    EXPECT_EQ(g_Strateg[1], moved);
    EXPECT_EQ(moved->Number, 1);
    EXPECT_EQ(g_pHouse[1], movedHouses);
    EXPECT_EQ(g_pHouse[1][0].Owner, 1);
    EXPECT_EQ(NumHouse[1], 1);
    EXPECT_EQ(g_Strateg[2], nullptr);
    EXPECT_EQ(g_pHouse[2], nullptr);
    EXPECT_EQ(GetObjectFromMap(1, 1), 0);
    EXPECT_EQ(GetObjectFromMap(2, 2), 2007);
    EXPECT_EQ(GetObjectFromMap(3, 3), 1004);
    EXPECT_EQ(GetObjectFromMap(4, 4), 9500);
}

TEST_F(StrategTest, ClearDetachesAndFreesTheQueue)
{
    TStrateg p;
    for (int i = 0; i < 3; ++i)
        p.AddCommand(NewCommand(3, 2, 0.0f, 0.0f));
    EXPECT_EQ(p.HeapCount, 3u);
    p.Clear();
    EXPECT_EQ(p.HeapHead, nullptr);
    EXPECT_EQ(p.HeapTail, nullptr);
    EXPECT_EQ(p.HeapCount, 0u);
}

} // namespace
