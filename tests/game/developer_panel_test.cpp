#include "game/developer_panel.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/frame_drawing.h"
#include "map/map_fixture.h"
#include "map/map_grid.h"
#include "players/strateg.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

bool HasLine(const std::vector<std::u16string>& lines, const std::u16string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool HasLineStarting(const std::vector<std::u16string>& lines, const std::u16string& start)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::u16string& l) { return l.rfind(start, 0) == 0; });
}

class DeveloperPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int p = 0; p < 2; ++p)
            g_Strateg[p] = &players[p];
        MyPlayer = 1;
    }
    void TearDown() override
    {
        for (TStrateg*& p : g_Strateg)
            p = nullptr;
        MyPlayer = 0;
        NumUnits[0] = 0;
    }
    TStrateg players[2];
};

TEST_F(DeveloperPanel, PanelShowsResourcesQueuesThePlayerAndTheMemory)
{
    for (int r = 0; r < STRATEG_RESOURCES; ++r)
        players[0].Res[r].spendable = 100.0 * (r + 1);
    players[1].HeapCount = 0;
    const std::vector<std::u16string> lines = DeveloperPanelLines();
    EXPECT_TRUE(HasLine(lines, u"P0: 100 200 300 400 500"));
    EXPECT_TRUE(HasLine(lines, u"P1: 0 0 0 0 0"));
    EXPECT_TRUE(HasLine(lines, u"StratMesCount:0"));
    EXPECT_TRUE(HasLine(lines, u"Queue Size:0"));
    EXPECT_TRUE(HasLine(lines, u"MyPlayer:1"));
    EXPECT_TRUE(HasLineStarting(lines, u"Total memory (Kb):    "));
    EXPECT_TRUE(HasLineStarting(lines, u"Free memory (Kb):    "));
    EXPECT_FALSE(HasLine(lines, u"Total memory (Kb):    0")); // the machine tells its memory
    EXPECT_FALSE(HasLineStarting(lines, u"Shift")); // network games only
}

TEST_F(DeveloperPanel, UnitDebugLinesCountUnitsAndTheCellUnderTheMouse)
{
    NumUnits[0] = 2;
    TUnit first(0, 0);
    TUnit second(0, 0);
    first.NumWork = 3;
    first.NumSprite = 4.5f;
    first.Orient = 5;
    first.WantedOrient = 6;
    first.m_pNext = &second;
    players[0].FirstUnit = &first;
    std::vector<std::u16string> lines = UnitDebugLines();
    EXPECT_TRUE(HasLine(lines, u"Units   :    2"));
    EXPECT_TRUE(HasLine(lines, u"Число юнитов:    2"));
    EXPECT_TRUE(HasLine(lines, u"NumWork=:  3"));
    EXPECT_TRUE(HasLine(lines, u"NumSprite=:  4"));
    EXPECT_TRUE(HasLine(lines, u"Orient=:  5"));
    EXPECT_TRUE(HasLine(lines, u"RotateOrient:  6"));
    EXPECT_TRUE(HasLine(lines, u"               NULL")); // no map
    players[0].FirstUnit = nullptr;
    // The map's teardown frees the players it finds; these live on the test's stack.
    for (TStrateg*& p : g_Strateg)
        p = nullptr;

    maptest::TestMap map(20, 40);
    ASSERT_TRUE(map.ok);
    g_MouseCellX = 4;
    g_MouseCellY = 6;
    TCellUnits block[kCellUnitCapacity] = {&first, &second};
    TCellUnits*& cell = g_pUnitsMap[6 * g_MapWidth + 4];
    cell = block;
    lines = UnitDebugLines();
    EXPECT_TRUE(HasLine(lines, u"Number on Tile=2"));
    EXPECT_FALSE(HasLineStarting(lines, u"NumWork")); // no player 0 now
    cell = nullptr;
    g_MouseCellX = g_MouseCellY = 0;
}

// The frame reaches both through its developer flags.
TEST(DeveloperPanelFrame, TheFrameDrawsThemByDefault)
{
    const TFrameServices s = DefaultFrameServices();
    EXPECT_TRUE(static_cast<bool>(s.DrawDeveloperPanel));
    EXPECT_TRUE(static_cast<bool>(s.DrawUnitDebugLines));
}

} // namespace
