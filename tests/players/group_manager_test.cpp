// The group manager: the army's pace by difficulty, the choice of an enemy, the groups it owns
// and their removal, the guard test of economic buildings and the save blocks.
#include "players/group_manager.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "core/memory_stream.h"
#include "core/settings.h"
#include "movement/group.h"
#include "movement/passability.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"

namespace {

using testworld::TestWorld;

// The war advisor bytes and the groups are game-wide: each test starts from none of either.
struct ManagerGuard {
    std::uint8_t war[ADVISOR_PLAYERS][ADVISOR_OPTIONS];
    std::uint16_t pathBudget = g_PathBudget;
    ManagerGuard()
    {
        std::memcpy(war, g_WarAdvisorOptions, sizeof war);
        std::memset(g_WarAdvisorOptions, 0, sizeof g_WarAdvisorOptions);
        InitGroups();
    }
    ~ManagerGuard()
    {
        FreeGroups();
        std::memcpy(g_WarAdvisorOptions, war, sizeof war);
        g_PathBudget = pathBudget;
    }
};

TGroupManager& Manager(TestWorld& w, std::uint8_t p)
{
    TStrateg* s = w.Player(p);
    s->GroupManager = std::make_unique<TGroupManager>(p, s->Nation);
    return *s->GroupManager;
}

TEST(GroupManager, ArmyActsFirstOnItsDelayByLevelAndTemplate)
{
    TestWorld w(40, 80);
    ManagerGuard guard;
    const struct {
        std::uint8_t level, war;
        std::uint32_t calls;
    } cases[] = {
        {3, 1, 33}, {2, 1, 66}, {1, 1, 100}, {0, 1, 133}, {3, 2, 33}, {3, 5, 33},
        {3, 3, 166}, {2, 3, 333}, {1, 3, 500}, {0, 3, 666}, {3, 4, 166},
        // Out of range: logged, and paced as the hardest level.
        {9, 1, 33},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << int(c.level) << " template " << int(c.war));
        TGroupManager& m = Manager(w, 0);
        m.HardLevel = c.level;
        m.WarTemplate = c.war;
        for (std::uint32_t i = 1; i < c.calls; ++i)
            ASSERT_FALSE(m.ArmyThink()) << "call " << i;
        EXPECT_TRUE(m.ArmyThink());
        EXPECT_EQ(m.ArmyCounter, 0u);
    }
    // Template 0 never acts.
    TGroupManager& idle = Manager(w, 0);
    idle.WarTemplate = 0;
    for (int i = 0; i < 1000; ++i)
        ASSERT_FALSE(idle.ArmyThink());
    EXPECT_EQ(ArmyShortDelay(3), 33);
    EXPECT_EQ(ArmyLongDelay(3), 166);
    EXPECT_EQ(ArmyShortDelay(0), 133);
    EXPECT_EQ(ArmyLongDelay(0), 666);
}

TEST(GroupManager, ChooseEnemySkipsTheDeadAndMutualPeaceOnly)
{
    TestWorld w(40, 80, {{0, 0}, {1, 0}, {2, 0}, {3, 0}});
    ManagerGuard guard;
    TGroupManager& m = Manager(w, 0);
    w.Player(1)->Dead = 1;
    w.SetAllies(0, 2, true);
    w.SetAllies(0, 3, true);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(m.ChooseEnemy(), 0) << "no candidate: the own index";
    // Peace one way only is no peace.
    w.Player(3)->Relations[0] = 0;
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(m.ChooseEnemy(), 3);
    w.Player(3)->Relations[0] = w.Player(0)->Relations[3];
    w.Player(0)->Relations[2] = 0;
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(m.ChooseEnemy(), 2);
    // A live enemy at war is chosen; the dead one never.
    w.Player(1)->Dead = 0;
    bool sawOne = false;
    for (int i = 0; i < 40; ++i) {
        const std::uint8_t e = m.ChooseEnemy();
        ASSERT_TRUE(e == 1 || e == 2);
        sawOne = sawOne || e == 1;
    }
    EXPECT_TRUE(sawOne);
}

TEST(GroupManager, AnArmyWithoutEnemiesNeverAttacks)
{
    TestWorld w(40, 80);
    ManagerGuard guard;
    std::memset(g_WarAdvisorOptions, 1, sizeof g_WarAdvisorOptions);
    TGroupManager& m = Manager(w, 0);
    m.HardLevel = 3;
    m.WarTemplate = 4;
    for (int i = 0; i < 3; ++i)
        w.AddUnit(0, testworld::kRifleman, 10 + i, 20)->Work = UNIT_NO_WORK;
    w.AddUnit(1, testworld::kRifleman, 10, 60);
    w.SetAllies(0, 1, true);
    for (int i = 0; i < 2000; ++i)
        m.ArmyThink();
    EXPECT_TRUE(m.Groups().empty());
}

TEST(GroupManager, CreateGroupGrowsByOneWithTheNextId)
{
    TestWorld w(40, 80);
    ManagerGuard guard;
    TGroupManager& m = Manager(w, 0);
    m.NextGroupId = 7;
    ASSERT_TRUE(m.Groups().empty());
    TGroup* a = m.CreateGroup();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(m.Groups().size(), 1u);
    EXPECT_EQ(a->Id, 7u);
    EXPECT_EQ(a->Owner, 0);
    TGroup* b = m.CreateGroup();
    EXPECT_EQ(m.Groups().size(), 2u);
    EXPECT_EQ(b->Id, 8u);
    EXPECT_EQ(m.FindGroupById(7), a);
    EXPECT_EQ(m.FindGroupById(8), b);
    EXPECT_EQ(m.FindGroupById(9), nullptr);
    EXPECT_EQ(FindManagedGroup(0, 8), b);
}

TEST(GroupManager, AGroupOfADeadOwnerGoesFromTheManagerAndEveryUnit)
{
    TestWorld w(40, 80);
    ManagerGuard guard;
    TGroupManager& m = Manager(w, 0);
    m.WarTemplate = 0;
    std::vector<TUnit*> units;
    for (int i = 0; i < 3; ++i) {
        units.push_back(w.AddUnit(0, testworld::kRifleman, 10 + i, 20));
        units.back()->Work = UNIT_NO_WORK;
    }
    TGroup* g = m.CreateGroup();
    g_GroupOrdersUsed = 0;
    g->FormGroup(units.data(), 3, 1, 0, 0, 0, 0, 0, 255, 65535, 1);
    ASSERT_EQ(units[0]->m_pGroup, g);
    // A unit that still points at the group without holding a slot (left behind by an order).
    TUnit* stray = w.AddUnit(0, testworld::kRifleman, 30, 20);
    stray->m_pGroup = g;
    m.Update();
    ASSERT_EQ(m.Groups().size(), 1u) << "a live owner keeps the group";
    w.Player(0)->Dead = 1;
    g->Busy = 0;
    m.Update();
    EXPECT_TRUE(m.Groups().empty());
    for (TUnit* u : units)
        EXPECT_EQ(u->m_pGroup, nullptr);
    EXPECT_EQ(stray->m_pGroup, nullptr);
    w.Player(0)->Dead = 0;
}

TEST(GroupManager, HouseUnprotectedByTypeAndNeighbourhood)
{
    TestWorld w(120, 200);
    ManagerGuard guard;
    Manager(w, 0);
    THouseType& farmType = HouseType(0, 15);
    THouseType& workshop = HouseType(0, 6);
    THouseType& barracks = HouseType(0, 3);
    THouseType& guardPost = HouseType(0, 7);
    THouseType& tower = HouseType(0, 21);
    THouseType& fort = HouseType(0, 1);
    auto add = [&](THouseType& t, std::uint16_t type, std::int32_t x, std::int32_t y) {
        THouse* h = w.AddPlayerHouse(0, x, y, &t);
        h->HouseType = type;
        return h;
    };
    THouse* shop = add(workshop, 6, 30, 40);
    THouse* barrack = add(barracks, 3, 80, 40);
    EXPECT_TRUE(IsHouseUnprotected(shop)) << "economic, alone";
    EXPECT_FALSE(IsHouseUnprotected(barrack)) << "not an economic type";
    THouse* far = add(guardPost, 7, 30 + workshop.m_FootprintCells + 14, 40);
    EXPECT_TRUE(IsHouseUnprotected(shop)) << "a guard beyond 12 cells does not count";
    far->Destroyed = 1;
    THouse* t1 = add(tower, 21, 31, 45);
    EXPECT_TRUE(IsHouseUnprotected(shop)) << "one tower is not enough";
    add(tower, 21, 33, 45);
    EXPECT_FALSE(IsHouseUnprotected(shop)) << "two towers";
    t1->Destroyed = 1;
    EXPECT_TRUE(IsHouseUnprotected(shop)) << "a destroyed tower does not count";
    add(guardPost, 7, 28, 36);
    EXPECT_FALSE(IsHouseUnprotected(shop)) << "a guard post near by";
    // A farm looks 20 cells round.
    THouse* farm = add(farmType, 15, 30, 150);
    EXPECT_TRUE(IsHouseUnprotected(farm));
    add(fort, 1, 30, 150 + farmType.m_FootprintRows + 18);
    EXPECT_FALSE(IsHouseUnprotected(farm)) << "a fort 18 cells below a farm";
    EXPECT_FALSE(IsHouseUnprotected(nullptr));
}

TEST(GroupManager, SaveBlocksReadBackAndAnOutOfRangeLevelIsClamped)
{
    TestWorld w(40, 80);
    ManagerGuard guard;
    TGroupManager& m = Manager(w, 0);
    m.NextGroupId = 12;
    m.ArmyCounter = 5;
    m.WarTemplate = 4;
    m.HardLevel = 3;
    m.AttackPlanned = 1;
    m.PlannedDelay = 6;
    TOfStreamMemory out;
    m.Save(out);
    m.SaveExtra(out);
    TIfStreamMemory in(out.Data(), out.Pos());
    TGroupManager back(0, 0);
    ASSERT_TRUE(back.Load(in));
    ASSERT_TRUE(back.LoadExtra(in));
    EXPECT_EQ(back.NextGroupId, 12u);
    EXPECT_EQ(back.ArmyCounter, 5u);
    EXPECT_EQ(back.WarTemplate, 4);
    EXPECT_EQ(back.HardLevel, 3);
    EXPECT_EQ(back.AttackPlanned, 1);
    EXPECT_EQ(back.PlannedDelay, 6u);
    out.Free();

    // A stored difficulty of 9 plays as 3; a cut block is refused.
    TOfStreamMemory bad;
    bad.WriteU32(0);
    bad.WriteU32(0);
    bad.WriteU8(1);
    bad.WriteU8(9);
    bad.WriteU16(0);
    TIfStreamMemory badIn(bad.Data(), bad.Pos());
    TGroupManager clamped(0, 0);
    ASSERT_TRUE(clamped.Load(badIn));
    EXPECT_EQ(clamped.HardLevel, 3);
    TIfStreamMemory cut(bad.Data(), 5);
    TGroupManager refused(0, 0);
    EXPECT_FALSE(refused.Load(cut));
    TIfStreamMemory cutExtra(bad.Data(), 3);
    EXPECT_FALSE(refused.LoadExtra(cutExtra));
    bad.Free();
}

TEST(GroupManager, AnAttackGathersShortOfTheBuildingThenMarchesOnIt)
{
    TestWorld w(60, 240);
    ManagerGuard guard;
    TGroupManager& m = Manager(w, 0);
    THouse* target = w.AddPlayerHouse(1, 30, 200, &HouseType(w.Player(1)->Nation, 6));
    target->HouseType = 6;
    // One far from the rest stays out of the group (the newest unit heads the list and anchors).
    TUnit* straggler = w.AddUnit(0, testworld::kRifleman, 50, 220);
    straggler->Work = UNIT_NO_WORK;
    std::vector<TUnit*> units;
    for (int i = 0; i < 6; ++i) {
        units.push_back(w.AddUnit(0, testworld::kRifleman, 10 + i, 20));
        units.back()->Work = UNIT_NO_WORK;
    }
    std::vector<TUnit*> picked;
    m.PickLandArmy(picked);
    ASSERT_EQ(picked.size(), 6u);
    EXPECT_EQ(std::count(picked.begin(), picked.end(), straggler), 0);
    std::int32_t tx = 0, ty = 0;
    ASSERT_TRUE(m.TargetPoint(1, tx, ty));
    g_GroupOrdersUsed = 0;
    m.FormAttackGroup(picked.data(), static_cast<std::uint16_t>(picked.size()), tx, ty);
    ASSERT_EQ(m.Groups().size(), 1u);
    const TGroup* g = m.Groups()[0];
    EXPECT_EQ(g->LiveCount, 6);
    for (TUnit* u : units)
        EXPECT_EQ(u->m_pGroup, g);
    // Gathering: 1000 pixels from the building, then the building itself.
    EXPECT_EQ(g->OrderKind, GROUP_ORDER_GO);
    const double d = std::hypot(static_cast<double>(g->OrderX - tx), static_cast<double>(g->OrderY - ty));
    EXPECT_NEAR(d, 1000.0, 50.0);
    EXPECT_EQ(g->Disbanded, 0);
    EXPECT_GT(g->PathLength(), 0);
    ASSERT_EQ(g->OrderQueue.size(), 1u);
    EXPECT_EQ(g->OrderQueue[0].kind, GROUP_ORDER_HOUSE);
    EXPECT_EQ(g->OrderQueue[0].a, 1);
    EXPECT_EQ(g->OrderQueue[0].b, target->Index);
    EXPECT_GE(g_PathBudget, 30);
}

// Rifles cannot harm a building: the gathered riflemen go for the enemy's unit nearest to it.
TEST(GroupManager, RiflemenGatherThenGoForTheUnitsAtTheBuilding)
{
    TestWorld w(60, 240);
    ManagerGuard guard;
    TGroupManager& m = Manager(w, 0);
    THouse* target = w.AddPlayerHouse(1, 30, 200, &HouseType(w.Player(1)->Nation, 6));
    target->HouseType = 6;
    TUnit* far = w.AddUnit(1, testworld::kWorker, 50, 150);
    TUnit* nearBuilding = w.AddUnit(1, testworld::kWorker, 33, 205);
    std::vector<TUnit*> units;
    for (int i = 0; i < 6; ++i) {
        units.push_back(w.AddUnit(0, testworld::kRifleman, 10 + i, 20));
        units.back()->Work = UNIT_NO_WORK;
    }
    std::int32_t tx = 0, ty = 0;
    ASSERT_TRUE(m.TargetPoint(1, tx, ty));
    g_GroupOrdersUsed = 0;
    m.FormAttackGroup(units.data(), static_cast<std::uint16_t>(units.size()), tx, ty);
    ASSERT_EQ(m.Groups().size(), 1u);
    const TGroup* g = m.Groups()[0];
    EXPECT_EQ(g->OrderKind, GROUP_ORDER_GO);
    ASSERT_EQ(g->OrderQueue.size(), 1u);
    EXPECT_EQ(g->OrderQueue[0].kind, GROUP_ORDER_UNIT);
    EXPECT_EQ(g->OrderQueue[0].a, 1);
    EXPECT_EQ(g->OrderQueue[0].b, nearBuilding->m_Index);
    EXPECT_NE(g->OrderQueue[0].b, far->m_Index);
}

} // namespace
