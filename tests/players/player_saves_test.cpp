// The players' save blocks: the state block of a slot, the units block with the group manager and
// the pending group orders, the units' link entries, and the refusal of damaged blocks.
#include "players/player_saves.h"

#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "core/game_folder_fixture.h"
#include "core/memory_stream.h"
#include "game/save_game.h"
#include "movement/group.h"
#include "movement/passability.h"
#include "players/command.h"
#include "players/economy.h"
#include "players/game_cycle.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

using testworld::TestWorld;
using Bytes = std::vector<std::uint8_t>;

Bytes Take(TOfStreamMemory& out)
{
    return Bytes(out.Data(), out.Data() + out.Pos());
}

TIfStreamMemory Reader(const Bytes& b, std::size_t length)
{
    return TIfStreamMemory(b.data(), static_cast<std::int32_t>(length));
}

Bytes StateBlock(std::uint8_t p)
{
    TOfStreamMemory out;
    SaveStrateg(p, out);
    return Take(out);
}

Bytes UnitsBlock(std::uint8_t p)
{
    TOfStreamMemory out;
    SaveServices().saveStrategUnits(p, out);
    return Take(out);
}

// The play time of a live player follows the calendar clock: it is left out of comparisons.
Bytes WithoutPlayTime(Bytes state)
{
    std::fill(state.end() - 93, state.end() - 89, std::uint8_t{0});
    return state;
}

Bytes LinkEntries(std::uint8_t p)
{
    TOfStreamMemory out;
    WriteUnitLinkEntries(p, out);
    return Take(out);
}

class PlayerSaves : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        world = std::make_unique<TestWorld>(40, 80);
        InitGroups();
        budget = g_GroupOrderBudget;
        used = g_GroupOrdersUsed;
    }
    void TearDown() override
    {
        FreeGroups();
        g_GroupOrderBudget = budget;
        g_GroupOrdersUsed = used;
        world.reset();
        GameFolderTest::TearDown();
    }

    // A player worth saving: every kind of field set to something other than its default.
    void FillState(TStrateg& p)
    {
        p.MakeGrid(40, 80);
        p.Grid[3] = 30;
        p.SelectionFlags[1] = 1;
        p.SelectedHouseFlag = 1;
        p.g_wNumSelectedHouse = 4;
        p.SetupByte = 9;
        p.WarTemplate = 3;
        p.SetName(u"Жанна");
        p.LiveUnits = 12;
        p.UnitsLost = 3;
        p.UnitsKilled = 7;
        for (int r = 0; r < STRATEG_RESOURCES; ++r) {
            p.Res[r].recorded = 100.5 * (r + 1);
            p.Res[r].spendable = 10.25 * (r + 1);
            p.History[r][r * 10] = r + 0.5;
        }
        p.TimeRing[999] = 123456;
        p.TimeRingExtra = 77;
        p.StatFlag = 1;
        p.PopulationCap = 150;
        p.MissionStage = 2;
        p.ConditionCount = 2;
        p.Conditions.assign(2 * MISSION_CONDITION_SIZE, 0);
        p.Conditions[MISSION_CONDITION_SIZE + 5] = 0xAB;
        p.Kind = PLAYER_KIND_LOCAL;
        p.Team = 2;
        p.BlockA[39] = 1;
        p.BlockB[0] = 2;
        p.Relations[3] = 1;
        p.PlayTime = 1000;
        g_HouseCounters[p.Number] = {5, 2, 1};
    }

    std::unique_ptr<TestWorld> world;
    std::uint8_t budget = 0, used = 0;
};

TEST_F(PlayerSaves, StateBlockComesBackFieldByFieldAndSavesTheSameBytes)
{
    TStrateg& p = *world->Player(1);
    FillState(p);
    const std::uint16_t width = p.GridWidth;
    const Bytes first = StateBlock(1);
    TIfStreamMemory in = Reader(first, first.size());
    ASSERT_TRUE(LoadStrategAI(1, in));
    EXPECT_TRUE(in.AtEnd());
    const TStrateg& q = *g_Strateg[1];
    EXPECT_NE(&q, &p) << "a freshly made record takes the slot";
    EXPECT_EQ(q.Grid[3], 30);
    EXPECT_EQ(q.GridWidth, width);
    EXPECT_EQ(q.Name, u"Жанна");
    EXPECT_EQ(q.Res[RESOURCE_OIL].recorded, 402.0);
    EXPECT_EQ(q.Res[RESOURCE_FOOD].spendable, 51.25);
    EXPECT_EQ(q.History[RESOURCE_IRON][20], 2.5);
    EXPECT_EQ(q.Conditions[MISSION_CONDITION_SIZE + 5], 0xAB);
    EXPECT_EQ(q.Kind, PLAYER_KIND_LOCAL);
    EXPECT_EQ(q.Team, 2u);
    EXPECT_EQ(q.WarTemplate, 3);
    ASSERT_NE(q.GroupManager, nullptr);
    EXPECT_EQ(q.GroupManager->WarTemplate, 3);
    EXPECT_NE(q.Planner, nullptr) << "a live player gets a planner";
    EXPECT_EQ(g_HouseCounters[1].placed, 5u);
    EXPECT_NE(g_pHouse[1], nullptr);
    EXPECT_EQ(q.Houses, g_pHouse[1]);
    EXPECT_EQ(WithoutPlayTime(StateBlock(1)), WithoutPlayTime(first));
}

TEST_F(PlayerSaves, StateBlockEdgeCases)
{
    TStrateg& p = *world->Player(0);
    p.Kind = 2;
    p.Dead = 1;
    const Bytes block = StateBlock(0);
    TIfStreamMemory in = Reader(block, block.size());
    ASSERT_TRUE(LoadStrategAI(0, in));
    const TStrateg& q = *g_Strateg[0];
    EXPECT_TRUE(q.Name.empty()) << "an empty name is saved as length 0";
    EXPECT_EQ(q.Kind, PLAYER_KIND_COMPUTER) << "kinds other than 4 and 5 load as a computer player";
    EXPECT_EQ(q.Dead, 1);
    EXPECT_EQ(q.Planner, nullptr) << "a dead player's block holds no planner";
    EXPECT_FALSE(IsPlayerInGame(0));
    const Bytes again = StateBlock(0);
    ASSERT_EQ(again.size(), block.size());
    for (std::size_t i = 0; i < block.size(); ++i)
        ASSERT_EQ(again[i], block[i]) << i << " of " << block.size();
}

TEST_F(PlayerSaves, DamagedStateBlocksAreRefusedAndTheSlotKeepsItsRecord)
{
    TStrateg& p = *world->Player(1);
    FillState(p);
    const Bytes block = StateBlock(1);
    for (std::size_t cut = 0; cut < block.size(); cut += cut < 64 ? 1 : 997) {
        TIfStreamMemory in = Reader(block, cut);
        EXPECT_FALSE(LoadStrategAI(1, in)) << cut;
        ASSERT_EQ(g_Strateg[1], &p) << cut;
    }
    // One byte left where the kind starts: the end of the file is told.
    const std::size_t kindAt = 4 + p.Grid.size() + 6 + 3 + 4 + 2 * p.Name.size() + 12 + 80 + 5 * 8000 + 4004 + 5 +
                               2 * MISSION_CONDITION_SIZE;
    ASSERT_EQ(block[kindAt], PLAYER_KIND_LOCAL);
    TIfStreamMemory in = Reader(block, kindAt + 1);
    EXPECT_FALSE(LoadStrategAI(1, in));
    EXPECT_TRUE(Logged("Неожиданный конец файла"));

    const struct {
        const char* name;
        std::size_t at;
        std::uint8_t value;
    } raised[] = {
        {"grid count past the data", 1, 0xFF},
        {"name length past the data", 4 + p.Grid.size() + 9 + 3, 0x7F},
        {"mission records past the data", kindAt - 1 - 2 * MISSION_CONDITION_SIZE, 200},
        {"own index of another slot", kindAt + 1, 5},
    };
    for (const auto& c : raised) {
        Bytes bad = block;
        bad[c.at] = c.value;
        TIfStreamMemory r = Reader(bad, bad.size());
        EXPECT_FALSE(LoadStrategAI(1, r)) << c.name;
        EXPECT_EQ(g_Strateg[1], &p) << c.name;
    }
}

// Player 0's units, a group, stored groups and a queue holding a path move and both kinds of
// deferred group work; player 1 holds the unit player 0's rifleman aims at.
struct TSavedGame {
    Bytes state[2], units[2], links[2];
};

TSavedGame SaveBoth()
{
    TSavedGame s;
    for (std::uint8_t p = 0; p < 2; ++p) {
        s.state[p] = StateBlock(p);
        s.units[p] = UnitsBlock(p);
        s.links[p] = LinkEntries(p);
    }
    return s;
}

bool LoadBoth(const TSavedGame& s)
{
    // The game is freed before a load: the groups first, while their members still exist.
    FreeGroups();
    InitGroups();
    for (std::uint8_t p = 0; p < 2; ++p) {
        TIfStreamMemory in = Reader(s.state[p], s.state[p].size());
        if (!LoadStrategAI(p, in))
            return false;
    }
    for (std::uint8_t p = 0; p < 2; ++p) {
        TIfStreamMemory in = Reader(s.units[p], s.units[p].size());
        if (!SaveServices().loadStrategUnits(p, in) || !in.AtEnd())
            return false;
    }
    RelinkLoadedPlayers();
    for (std::uint8_t p = 0; p < 2; ++p) {
        TIfStreamMemory in = Reader(s.links[p], s.links[p].size());
        if (!ReadUnitLinkEntries(p, in, SaveServices().findUnit) || !in.AtEnd())
            return false;
    }
    ForgetLoadedUnitLinks();
    return true;
}

TEST_F(PlayerSaves, UnitsGroupsAndQueueComeBackRelinked)
{
    TStrateg& p0 = *world->Player(0);
    p0.GroupManager = std::make_unique<TGroupManager>(0, p0.Nation);
    world->Player(1)->GroupManager = std::make_unique<TGroupManager>(1, world->Player(1)->Nation);
    std::vector<TUnit*> u;
    for (int i = 0; i < 5; ++i)
        u.push_back(world->AddUnit(0, testworld::kRifleman, 5 + i, 20));
    TUnit* enemy = world->AddUnit(1, testworld::kRifleman, 30, 60);
    ASSERT_NE(enemy, nullptr);
    p0.AddUnit(nullptr);
    ASSERT_TRUE(p0.RemoveUnit(5)) << "index 5 waits in the free queue";
    u[0]->Path = new std::uint8_t[3]{1, 2, 3};
    u[0]->PathLength = 3;
    u[1]->AttackUnit = enemy;
    p0.Group[2] = {{GROUP_ENTRY_UNIT, u[0]}, {GROUP_ENTRY_UNIT, u[1]}};
    u[2]->Selected = 1;
    p0.NumSelectedUnits = 1;

    g_GroupOrderBudget = 1;
    g_GroupOrdersUsed = 0;
    TGroup* group = NewGroup(0);
    TUnit* members[2] = {u[3], u[4]};
    group->FormGroup(members, 2, 1, 1, 0, GROUP_ORDER_GO, 800, 900, 0, 0, 1);
    ASSERT_EQ(u[3]->m_pGroup, group);
    // Over the budget: the order and a forming wait in the queue for the next cycle.
    g_GroupOrdersUsed = g_GroupOrderBudget;
    group->GiveOrder(GROUP_ORDER_GO, 5000, 6000, 0, 0);
    TGroup* other = NewGroup(0);
    TUnit* listed[1] = {u[2]};
    other->FormGroup(listed, 1, 1, 1, 0, GROUP_ORDER_GO, 100, 200, 0, 0, 1);
    p0.AddCommand(NewCommandForObjects(COMMAND_CLASS_SELECTION, COMMAND_ID_PATH_MOVE, 10.0f, 20.0f, nullptr, u[2], nullptr));
    ASSERT_EQ(p0.HeapCount, 3u);

    const TSavedGame first = SaveBoth();
    ASSERT_TRUE(LoadBoth(first));
    const TStrateg& q = *g_Strateg[0];
    ASSERT_NE(&q, &p0);
    EXPECT_EQ(NumUnits[0], 5);
    EXPECT_EQ(q.NextUnitIndex, 6);
    ASSERT_EQ(q.FreeIndexes.size(), 1u);
    EXPECT_EQ(q.FreeIndexes.front(), 5);
    TUnit* v[5] = {};
    for (std::uint16_t i = 0; i < 5; ++i) {
        v[i] = q.GetUnit(i);
        ASSERT_NE(v[i], nullptr) << i;
        EXPECT_EQ(v[i]->m_pOwner, &q);
    }
    EXPECT_EQ(q.FirstUnit, v[4]) << "list order as saved";
    ASSERT_EQ(v[0]->PathLength, 3);
    EXPECT_EQ(v[0]->Path[2], 3);
    EXPECT_EQ(v[1]->AttackUnit, g_Strateg[1]->GetUnit(0)) << "a link into another player's table";
    ASSERT_EQ(q.Group[2].size(), 2u);
    EXPECT_EQ(q.Group[2][1].object, v[1]);
    EXPECT_EQ(q.NumSelectedUnits, 1);
    EXPECT_EQ(q.SelectionHead != nullptr ? q.SelectionHead->unit : nullptr, v[2]);

    const std::vector<TGroup*>& groups = PlayerGroups(0);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(v[3]->m_pGroup, groups[0]);
    EXPECT_EQ(groups[0]->Slots[1], v[4]);
    ASSERT_EQ(q.HeapCount, 3u);
    const THeapItem* order = q.HeapHead;
    ASSERT_EQ(order->id, COMMAND_ID_GROUP_ORDER);
    ASSERT_NE(order->groupOrder, nullptr) << "the order keeps its payload";
    EXPECT_EQ(static_cast<const TGroupOrder*>(order->groupOrder)->group, groups[0]);
    EXPECT_EQ(static_cast<const TGroupOrder*>(order->groupOrder)->x, 5000);
    const THeapItem* forming = order->next;
    ASSERT_EQ(forming->id, COMMAND_ID_REPLAY_GROUP_ORDER);
    const auto* f = static_cast<const TGroupOrder*>(forming->groupOrder);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->group, groups[1]);
    ASSERT_EQ(f->units.size(), 1u);
    EXPECT_EQ(f->units[0], v[2]);
    EXPECT_EQ(forming->next->unit, v[2]) << "queued records point at the loaded units";

    const TSavedGame second = SaveBoth();
    for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(WithoutPlayTime(second.state[p]), WithoutPlayTime(first.state[p])) << p;
        EXPECT_EQ(second.units[p], first.units[p]) << p;
        EXPECT_EQ(second.links[p], first.links[p]) << p;
    }
}

TEST_F(PlayerSaves, TheCountAtTheHeadIsTheCountOfImagesWritten)
{
    for (int i = 0; i < 3; ++i)
        world->AddUnit(0, testworld::kRifleman, 5 + i, 20);
    ++NumUnits[0];
    const TSavedGame s = SaveBoth();
    EXPECT_TRUE(Logged("Неправильно сохраняет. Число юнитов не совпадает с реальным"));
    ASSERT_TRUE(LoadBoth(s)) << "the block still reads back";
    EXPECT_EQ(NumUnits[0], 3);
}

TEST_F(PlayerSaves, DamagedUnitsBlocksAreRefused)
{
    TStrateg& p0 = *world->Player(0);
    p0.GroupManager = std::make_unique<TGroupManager>(0, p0.Nation);
    for (int i = 0; i < 3; ++i)
        world->AddUnit(0, testworld::kRifleman, 5 + i, 20);
    g_GroupOrderBudget = 1;
    g_GroupOrdersUsed = 0;
    TGroup* group = NewGroup(0);
    TUnit* members[2] = {p0.GetUnit(0), p0.GetUnit(1)};
    group->FormGroup(members, 2, 1, 1, 0, GROUP_ORDER_GO, 800, 900, 0, 0, 1);
    g_GroupOrdersUsed = g_GroupOrderBudget;
    group->GiveOrder(GROUP_ORDER_GO, 5000, 6000, 0, 0);
    const TSavedGame good = SaveBoth();
    const Bytes& units = good.units[0];
    // Free count, next index, then the u32 count of images.
    const std::size_t countAt = 4;
    ASSERT_EQ(units[countAt], 3);
    const std::size_t groupsAt = countAt + 4 + 3 * UNIT_RECORD_SIZE;
    const std::size_t queueAt = groupsAt + 20;

    auto refused = [&](const Bytes& bad, const char* name) {
        TSavedGame s = good;
        s.units[0] = bad;
        EXPECT_FALSE(LoadBoth(s)) << name;
    };
    for (std::size_t cut = 0; cut < units.size(); cut += 53)
        refused(Bytes(units.begin(), units.begin() + static_cast<std::ptrdiff_t>(cut)), "cut");
    for (std::size_t cut : {countAt, groupsAt, queueAt, units.size() - 1})
        refused(Bytes(units.begin(), units.begin() + static_cast<std::ptrdiff_t>(cut)), "cut at a boundary");
    const struct {
        const char* name;
        std::size_t at;
        std::uint8_t value;
    } raised[] = {
        {"free count", 0, 9},
        {"next index below the units", 2, 1},
        {"image count", countAt, 4},
        {"image count past the table", countAt + 2, 1},
        {"stored group count past the data", groupsAt + 1, 0xFF},
        {"queue count past the data", queueAt + 3, 0x10},
    };
    for (const auto& c : raised) {
        Bytes bad = units;
        bad[c.at] = c.value;
        refused(bad, c.name);
    }
    ASSERT_TRUE(LoadBoth(good));
}

TEST_F(PlayerSaves, TheGroupManagerBlockClampsTheLevel)
{
    TStrateg& p0 = *world->Player(0);
    p0.GroupManager = std::make_unique<TGroupManager>(0, p0.Nation);
    p0.GroupManager->HardLevel = 3;
    TSavedGame s = SaveBoth();
    // The manager follows the empty units block: table (4), count (4), groups (20), queue (4).
    const std::size_t levelAt = 32 + 9;
    ASSERT_EQ(s.units[0][levelAt], 3);
    s.units[0][levelAt] = 7;
    ASSERT_TRUE(LoadBoth(s));
    EXPECT_EQ(g_Strateg[0]->GroupManager->HardLevel, 3);
    EXPECT_TRUE(Logged("HardLevel>3"));
}

} // namespace
