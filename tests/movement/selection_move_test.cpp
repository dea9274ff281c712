#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "combat/unit_events.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/random_table.h"
#include "map/map_view.h"
#include "movement/group.h"
#include "movement/group_selection.h"
#include "movement/path_world.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

using pathtest::PathWorld;
using testworld::CellCentre;

class SelectionWorld : public PathWorld {
public:
    SelectionWorld() : PathWorld(60, 160)
    {
        InitGroups();
        g_GroupOrderBudget = 1;
        g_GroupOrdersUsed = 0;
        MyPlayer = 0;
    }
    ~SelectionWorld()
    {
        ClearSelection(0);
        FreeGroups();
        FreeHeapList(Player(0)->TakeCommands());
        g_GroupOrdersUsed = 0;
    }
    std::vector<TUnit*> Select(std::int32_t x0, std::int32_t y0, int count, int perRow)
    {
        std::vector<TUnit*> units;
        for (int i = 0; i < count; ++i) {
            TUnit* u = AddUnit(0, testworld::kRifleman, x0 + i % perRow, y0 + 2 * (i / perRow));
            u->Work = UNIT_NO_WORK;
            AddUnitToSelection(0, u);
            units.push_back(u);
        }
        return units;
    }
};

// The crowd's layout: k = truncated sqrt(count) columns, 2b + 1 apart, shifted by the same draw
// on both axes; two table values per unit.
TEST(SelectedUnitsGo, UngroupedUnitsSpreadInAGridRoundThePoint)
{
    SelectionWorld w;
    std::vector<TUnit*> units = w.Select(10, 20, 4, 2);
    const std::int32_t b = units[0]->Basic->CrushSize;
    const testworld::TPixel goal = CellCentre(30, 100);
    const std::int32_t gx = static_cast<std::int32_t>(goal.x);
    const std::int32_t gy = static_cast<std::int32_t>(goal.y);
    const std::uint16_t start = g_RandIndex;
    // The list is the selection's order: the newest first.
    std::vector<TUnit*> listed;
    for (TSelectionNode* n = w.Player(0)->SelectionHead; n != nullptr; n = n->next)
        listed.push_back(n->unit);
    SelectedUnitsGo(0, gx, gy);
    EXPECT_EQ(static_cast<std::uint16_t>(g_RandIndex - start), 8);
    const std::int32_t k = 2;
    const float s = static_cast<float>(2 * b + 1);
    const float h = static_cast<float>(b + 1) * 0.5f;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const float j = static_cast<float>(g_RandTable[static_cast<std::uint16_t>(start + 2 * i)] % (b + 1));
        const float ex = static_cast<float>(gx) + h - j + static_cast<float>(i % k) * s - static_cast<float>((b + 1) * k);
        const float ey = static_cast<float>(gy) + h - j + static_cast<float>(i / k) * s - static_cast<float>((b + 1) * k);
        EXPECT_NEAR(listed[i]->GoalX, ex, 1.0f);
        EXPECT_NEAR(listed[i]->GoalY, ey, 1.0f);
    }
}

// A group gets one order; the ungrouped units still spread. A single unit goes to the point itself.
TEST(SelectedUnitsGo, AGroupIsOrderedOnceAndASingleUnitGoesStraight)
{
    SelectionWorld w;
    std::vector<TUnit*> grouped = w.Select(10, 20, 10, 5);
    TGroup* g = NewGroup(0);
    g->FormGroup(grouped.data(), static_cast<std::uint16_t>(grouped.size()), 1, 0, 0, 0, 0, 0, 255, 65535, 0);
    ASSERT_EQ(g->LiveCount, 10);
    TUnit* alone = w.Select(20, 20, 1, 1)[0];
    g_GroupOrdersUsed = 0;
    const testworld::TPixel goal = CellCentre(30, 120);
    SelectedUnitsGo(0, static_cast<std::int32_t>(goal.x), static_cast<std::int32_t>(goal.y));
    EXPECT_EQ(g->OrderKind, GROUP_ORDER_GO);
    EXPECT_EQ(g->OrderA, 255);
    EXPECT_GT(g->PathLength(), 0) << "the group walks one formation path";
    EXPECT_EQ(g->LiveCount, 10) << "a group not in formation mode keeps its members";
    EXPECT_NEAR(alone->GoalX, goal.x, 1.0f);
    EXPECT_NEAR(alone->GoalY, goal.y, 1.0f);
}

// Open ground is a move; a building of an enemy is attacked; one of a player at peace both ways is
// walked to like open ground.
TEST(SelectedUnitsGo, ABuildingIsAttackedOnlyWhenItsOwnerIsAnEnemy)
{
    SelectionWorld w;
    std::vector<TUnit*> grouped = w.Select(10, 20, 6, 3);
    TGroup* g = NewGroup(0);
    g->FormGroup(grouped.data(), static_cast<std::uint16_t>(grouped.size()), 1, 0, 0, 0, 0, 0, 255, 65535, 0);
    THouseType type;
    type.m_FootprintRows = 1;
    type.m_FootprintCells = 1;
    THouse* h = w.AddPlayerHouse(1, 30, 110, &type);
    ASSERT_NE(h, nullptr);
    // The point seen over the building's cell: the map is drawn with its heights.
    testworld::TPixel at = CellCentre(30, 110);
    for (float lift = 0.0f; lift < 200.0f; lift += 1.0f) {
        plat::Point seen;
        GetCellFromPoint(at.x, CellCentre(30, 110).y - lift, seen);
        if (seen.x == 30 && seen.y == 110) {
            at.y = CellCentre(30, 110).y - lift;
            break;
        }
    }
    for (bool allies : {false, true}) {
        SCOPED_TRACE(allies);
        w.SetAllies(0, 1, allies);
        g_GroupOrdersUsed = 0;
        g->OrderKind = GROUP_ORDER_NONE;
        SelectedUnitsGo(0, static_cast<std::int32_t>(at.x), static_cast<std::int32_t>(at.y));
        EXPECT_EQ(g->OrderKind, allies ? GROUP_ORDER_GO : GROUP_ORDER_HOUSE);
        if (!allies) {
            EXPECT_EQ(g->OrderA, 1);
            EXPECT_EQ(g->OrderB, h->Index);
        }
    }
}

} // namespace
