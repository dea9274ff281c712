#include "movement/group.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "combat/house_events.h"
#include "combat/unit_events.h"
#include "combat/work_states.h"
#include "core/random_table.h"
#include "movement/group_orders.h"
#include "movement/path_world.h"
#include "movement/word_list.h"
#include "net/net_events.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "support/unit_walker.h"

namespace {

using pathtest::PathWorld;
using testworld::CellCentre;

// Groups live beside the world; each test starts and ends without any.
class GroupWorld : public PathWorld {
public:
    GroupWorld(std::uint16_t w = 40, std::uint16_t h = 80) : PathWorld(w, h)
    {
        InitGroups();
        g_GroupOrderBudget = 1;
        g_GroupOrdersUsed = 0;
    }
    ~GroupWorld()
    {
        FreeGroups();
        FreeHeapList(Player(0)->TakeCommands());
        g_GroupOrdersUsed = 0;
    }
    std::vector<TUnit*> Riflemen(std::int32_t x0, std::int32_t y0, int count, int perRow)
    {
        std::vector<TUnit*> units;
        for (int i = 0; i < count; ++i) {
            TUnit* u = AddUnit(0, testworld::kRifleman, x0 + i % perRow, y0 + 2 * (i / perRow));
            u->Work = UNIT_NO_WORK;
            units.push_back(u);
        }
        return units;
    }
    static TGroup* Form(const std::vector<TUnit*>& units, std::uint8_t columns = 0, std::uint8_t kind = 1)
    {
        TGroup* g = NewGroup(0);
        g_GroupOrdersUsed = 0;
        g->FormGroup(units.data(), static_cast<std::uint16_t>(units.size()), kind, 0, columns, 0, 0, 0, 255, 65535, 1);
        return g;
    }
};

TEST(WordList, FreshAndClearedListsAreEmpty)
{
    TWordList list;
    std::uint16_t count = 7;
    EXPECT_EQ(list.GetData(&count), nullptr);
    EXPECT_EQ(count, 0);
    list.Clear();
    EXPECT_EQ(list.GetData(&count), nullptr);
    // The values are numbers, not pointers: clearing frees the array only.
    const std::uint16_t values[3] = {1, 0xFFFF, 42};
    list.Assign(values, 3);
    const std::uint16_t* data = list.GetData(&count);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(data[1], 0xFFFF);
    list.Clear();
    EXPECT_EQ(list.GetData(&count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST(Group, FormationsOfAnySizeStayOnTheMapWithAtLeastOneColumn)
{
    struct Case {
        int count;
        std::uint8_t kind;
        std::uint8_t columns;
        std::uint16_t capacity;
    };
    // 4,000 units would need 267 columns: the count is held to a byte's range instead of wrapping.
    const Case cases[] = {{1, 1, 1, 100}, {15, 1, 2, 100}, {16, 1, 2, 100}, {16, 2, 10, 100}, {200, 1, 14, 300},
                          {250, 1, 17, 300}, {4000, 1, 255, 4100}};
    for (const Case& c : cases) {
        GroupWorld w(120, 240);
        TGroup* g = GroupWorld::Form(w.Riflemen(30, 60, c.count, 60), 0, c.kind);
        SCOPED_TRACE(c.count);
        EXPECT_EQ(g->Disbanded, 0);
        EXPECT_EQ(g->Columns, c.columns);
        EXPECT_EQ(g->Capacity, c.capacity);
        EXPECT_EQ(g->LiveCount, c.count);
        for (std::uint16_t i = 0; i < g->SlotCount; ++i) {
            const plat::Point cell = PixelToFlatCell(static_cast<float>(g->SlotX[i]), static_cast<float>(g->SlotY[i]));
            ASSERT_TRUE(IsCellInPlayableArea(cell.x, cell.y)) << "slot " << i;
        }
    }
}

TEST(Group, LayingOutAFormationDrawsFourValuesPerJitteredSlot)
{
    GroupWorld w(120, 240);
    TGroup* g = GroupWorld::Form(w.Riflemen(40, 100, 12, 4));
    g->WantedOrient = 0;
    g->OrderX = static_cast<std::int32_t>(CellCentre(60, 120).x);
    g->OrderY = static_cast<std::int32_t>(CellCentre(60, 120).y);
    const std::uint16_t before = g_RandIndex;
    g->MoveInFormation(false);
    EXPECT_EQ(static_cast<std::uint16_t>(g_RandIndex - before), 4 * (12 - 1));
    EXPECT_EQ(g->FormationOrient, 0);
}

TEST(Group, AnOrderOverTheBudgetRunsInALaterCycle)
{
    GroupWorld w(60, 160);
    TGroup* g = GroupWorld::Form(w.Riflemen(10, 20, 6, 3));
    const testworld::TPixel goal = CellCentre(40, 130);
    g_GroupOrdersUsed = g_GroupOrderBudget;
    g->GiveOrder(GROUP_ORDER_GO, static_cast<std::int32_t>(goal.x), static_cast<std::int32_t>(goal.y), 255, 65535);
    EXPECT_EQ(g->Busy, 1);
    EXPECT_EQ(g->PathLength(), 0);
    THeapItem* queued = w.Player(0)->TakeCommands();
    ASSERT_NE(queued, nullptr);
    EXPECT_EQ(queued->id, COMMAND_ID_GROUP_ORDER);
    EXPECT_GT(queued->cikl, kadr_now);
    // The next cycle's budget lets it through.
    g_GroupOrdersUsed = 0;
    GiveGroupOrderFromRecord(queued->groupOrder);
    EXPECT_EQ(g->Busy, 0);
    EXPECT_EQ(g->OrderKind, GROUP_ORDER_GO);
    EXPECT_GT(g->PathLength(), 0);
    FreeHeapList(queued);
}

TEST(Group, NearOrdersOnlyStoreTheOrder)
{
    GroupWorld w(60, 160);
    TGroup* g = GroupWorld::Form(w.Riflemen(10, 20, 4, 2));
    g_GroupOrdersUsed = g_GroupOrderBudget;
    g->GiveOrder(GROUP_ORDER_GO, g->SlotX[0] + 500, g->SlotY[0], 255, 65535);
    EXPECT_EQ(g->Busy, 0);
    EXPECT_EQ(g->OrderX, g->SlotX[0] + 500);
    g->GiveOrder(GROUP_ORDER_GO, g->SlotX[0] + 700, g->SlotY[0], 255, 65535);
    EXPECT_EQ(g->Busy, 1) << "a far order goes through the throttle";
}

TEST(Group, MembersAnswerAnEnemyOnceEveryFortyCycles)
{
    GroupWorld w;
    std::vector<TUnit*> units = w.Riflemen(10, 20, 3, 3);
    TGroup* g = GroupWorld::Form(units);
    for (TUnit* u : units) {
        u->m_bMaySearch = 1;
        u->WaitCount = 0;
        u->AttackUnit = nullptr;
    }
    TUnit* friendUnit = w.AddUnit(0, testworld::kRifleman, 12, 30);
    g->OnAttacked(0, 0, friendUnit);
    EXPECT_EQ(g->AlarmCountdown, 40u);
    EXPECT_EQ(units[0]->AttackUnit, nullptr);
    TUnit* enemy = w.AddUnit(1, testworld::kRifleman, 14, 30);
    g->OnAttacked(0, 0, enemy);
    EXPECT_EQ(units[0]->AttackUnit, nullptr) << "the alarm countdown still runs";
    g->AlarmCountdown = 0;
    g->OnAttacked(0, 0, enemy);
    for (TUnit* u : units)
        EXPECT_EQ(u->AttackUnit, enemy);
    EXPECT_EQ(enemy->m_FirstCountdown, 12);
    EXPECT_EQ(g->ReactionCounter, 100);
}

TEST(Group, ADeadMemberLeavesAtOnceAndAnEmptyGroupGoes)
{
    GroupWorld w;
    std::vector<TUnit*> units = w.Riflemen(10, 20, 2, 2);
    TGroup* g = GroupWorld::Form(units);
    ASSERT_EQ(g->LiveCount, 2);
    RemoveUnitFromGame(units[0], 1);
    EXPECT_EQ(units[0]->m_pGroup, nullptr);
    EXPECT_EQ(g->LiveCount, 1);
    EXPECT_EQ(g->Slots[0], nullptr);
    EXPECT_EQ(g->HeadPoz, 1);
    RemoveUnitFromGame(units[1], 1);
    EXPECT_EQ(g->Disbanded, 1);
    UpdateGroups(0);
    EXPECT_TRUE(PlayerGroups(0).empty());
}

TEST(Group, AGroupOrderedAcrossAWallArrivesTogether)
{
    GroupWorld w(40, 120);
    // A wall across the map with one gap at its right end.
    for (std::int32_t x = 4; x < 30; ++x)
        for (std::int32_t y = 60; y < 62; ++y)
            PathWorld::Block(x, y);
    std::vector<TUnit*> units = w.Riflemen(12, 30, 9, 3);
    TGroup* g = GroupWorld::Form(units);
    const testworld::TPixel goal = CellCentre(15, 100);
    g_GroupOrdersUsed = 0;
    g->GiveOrder(GROUP_ORDER_GO, static_cast<std::int32_t>(goal.x), static_cast<std::int32_t>(goal.y), 255, 65535);
    ASSERT_EQ(g->Disbanded, 0);
    ASSERT_GT(g->PathLength(), 0);
    const std::uint32_t startCycle = kadr_now;
    for (int cycle = 0; cycle < 6000; ++cycle) {
        // What the game cycle resets each cycle.
        g_GroupOrdersUsed = 0;
        g_PathWorkCounter = 0;
        g_PathMoveCount = 0;
        ++kadr_now;
        UpdateGroups(0);
        ExecuteHeap(w.Player(0));
        for (TUnit* u : units) {
            testworld::WalkOneCycle(u);
            // The walk stand-in has no animations: a turn ends at once.
            if (u->NumWork == ANIM_TURN) {
                u->Orient = static_cast<std::int8_t>(u->WantedOrient);
                u->NumWork = UNIT_STAND_WORK;
            }
        }
    }
    kadr_now = startCycle;
    ASSERT_EQ(PlayerGroups(0).size(), 1u);
    // The body ends as a column along the last stretch of its path, its head at the goal.
    EXPECT_LT(std::hypot(static_cast<float>(g->SlotX[0]) - goal.x, static_cast<float>(g->SlotY[0]) - goal.y), 100.0f);
    for (std::uint16_t i = 0; i < g->SlotCount; ++i) {
        const TUnit* u = g->Slots[i];
        ASSERT_NE(u, nullptr);
        SCOPED_TRACE(i);
        EXPECT_GT(u->Y, CellCentre(0, 62).y) << "every member crossed the wall";
        EXPECT_LT(std::fabs(u->X - static_cast<float>(g->SlotX[i])) + std::fabs(u->Y - static_cast<float>(g->SlotY[i])),
                  40.0f)
            << "every member stands in its slot";
    }
}

} // namespace
