// Selections and stored groups on the movement test world: the selecting operations, the stored
// groups' keys, and a unit that leaves the game leaving every selection and group.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/app_state.h"
#include "players/house_orders.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

using testworld::TestWorld;

class SelectionTest : public ::testing::Test {
protected:
    SelectionTest() : world(40, 60)
    {
        saved = SelectionServices();
        SelectionServices().refreshPanel = [this](std::uint8_t) { ++refreshes; };
        SelectionServices().centerViewOnUnit = [this](TUnit* u) { centred.push_back(u); };
        SelectionServices().playSound = [](std::uint8_t, const void*, std::uint8_t, std::uint8_t) {};
        std::fill(std::begin(g_ShiftDown), std::end(g_ShiftDown), 0);
        std::fill(std::begin(g_CtrlDown), std::end(g_CtrlDown), 0);
        g_SelectAnything = 0;
    }
    ~SelectionTest() override
    {
        SelectionServices() = saved;
        std::fill(std::begin(g_ShiftDown), std::end(g_ShiftDown), 0);
    }

    TStrateg& P0() { return *world.Player(0); }
    // The selection, newest first.
    std::vector<TUnit*> Selected(std::uint8_t p = 0)
    {
        std::vector<TUnit*> out;
        for (TSelectionNode* n = world.Player(p)->SelectionHead; n != nullptr; n = n->next)
            out.push_back(n->unit);
        return out;
    }
    std::vector<TUnit*> GroupUnits(std::uint8_t g)
    {
        std::vector<TUnit*> out;
        for (const TStoredGroupEntry& e : P0().Group[g])
            out.push_back(static_cast<TUnit*>(e.object));
        return out;
    }

    TestWorld world;
    TSelectionServices saved;
    THouseType houseType;
    int refreshes = 0;
    std::vector<TUnit*> centred;
};

TEST_F(SelectionTest, AddingAndDeletingKeepsListCountFlagsAndNodesTogether)
{
    TUnit* worker = world.AddUnit(0, testworld::kWorker, 10, 20);
    TUnit* gun = world.AddUnit(0, testworld::kFieldGun, 11, 20);
    ASSERT_TRUE(worker && gun);
    AddUnitToSelection(0, worker);
    AddUnitToSelection(0, gun);
    AddUnitToSelection(0, gun); // a second add of a selected unit changes nothing
    EXPECT_EQ(P0().NumSelectedUnits, 2);
    EXPECT_EQ(Selected(), (std::vector<TUnit*>{gun, worker}));
    EXPECT_EQ(P0().SelectionFlags[SELECTION_WORKER_FLAG], 1);
    EXPECT_EQ(worker->Selected, 1);
    EXPECT_NE(worker->m_pSelectionNode, nullptr);

    DeleteSelection(0, worker);
    EXPECT_EQ(Selected(), (std::vector<TUnit*>{gun}));
    EXPECT_EQ(P0().NumSelectedUnits, 1);
    EXPECT_EQ(worker->Selected, 0);
    EXPECT_EQ(worker->m_pSelectionNode, nullptr);
    // A unit without a node: logged, nothing else changes.
    DeleteSelection(0, worker);
    EXPECT_EQ(P0().NumSelectedUnits, 1);

    ClearSelection(0);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(P0().NumSelectedUnits, 0);
    EXPECT_EQ(P0().SelectionFlags[SELECTION_WORKER_FLAG], 0);
    EXPECT_EQ(P0().g_wNumSelectedHouse, STRATEG_NO_HOUSE);
}

TEST_F(SelectionTest, FramesSelectOnlyUnitsThePlayerCanReach)
{
    struct Case {
        const char* name;
        void (*prepare)(TUnit&);
        bool framed;
    };
    const Case cases[] = {
        {"standing", [](TUnit&) {}, true},
        {"dead", [](TUnit& u) { u.Dead = 1; }, false},
        {"in a transport", [](TUnit& u) { u.Work = WORK_UNIT_TRANSPORTED; }, false},
        {"in a building", [](TUnit& u) { u.Work = STAY_IN_HOUSE; }, false},
        {"leaving a building", [](TUnit& u) { u.Work = 9; }, false},
        {"a ship off the map", [](TUnit& u) { u.Work = 14; }, false},
        {"walking with no path", [](TUnit& u) { u.Work = 2; }, false},
        {"walking a deferred move", [](TUnit& u) { u.Work = 2; u.PendingMove = 1; }, true},
        {"hidden", [](TUnit& u) { u.m_bShown = 0; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TUnit* u = world.AddUnit(0, testworld::kRifleman, 10, 20);
        ASSERT_NE(u, nullptr);
        c.prepare(*u);
        float x = 0.0f, y = 0.0f;
        UnitSeenPoint(*u, x, y);
        const TMapRect frame{static_cast<std::int32_t>(x) - 5, static_cast<std::int32_t>(y) - 5,
                             static_cast<std::int32_t>(x) + 5, static_cast<std::int32_t>(y) + 5};
        SelectUnitsInRect(0, &frame);
        EXPECT_EQ(u->Selected, c.framed ? 1 : 0);
        g_SelectAnything = 1;
        SelectUnitsInRect(0, &frame);
        EXPECT_EQ(u->Selected, 1) << "the debug switch reaches every unit";
        g_SelectAnything = 0;
        ClearSelection(0);
        u->Dead = 1;
        u->m_bShown = 0;
    }
    // An aircraft taking off or landing is never framed.
    TUnit* plane = world.AddUnit(0, testworld::kFighter, 12, 24);
    ASSERT_NE(plane, nullptr);
    plane->Work = 5;
    SelectAll(0);
    EXPECT_EQ(plane->Selected, 0);
}

TEST_F(SelectionTest, SameTypesAndFiltersWorkOnTheSelectionsTypes)
{
    TUnit* a = world.AddUnit(0, testworld::kRifleman, 10, 20);
    TUnit* b = world.AddUnit(0, testworld::kRifleman, 30, 50);
    TUnit* w = world.AddUnit(0, testworld::kWorker, 11, 20);
    TUnit* enemy = world.AddUnit(1, testworld::kRifleman, 12, 20);
    ASSERT_TRUE(a && b && w && enemy);
    AddUnitToSelection(0, a);
    SelectSameTypes(0);
    EXPECT_EQ(Selected(), (std::vector<TUnit*>{b, a}));
    EXPECT_EQ(enemy->Selected, 0);

    AddUnitToSelection(0, w);
    FilterSelectionByType(0, testworld::kRifleman);
    EXPECT_EQ(w->Selected, 0);
    EXPECT_EQ(P0().SelectionFlags[SELECTION_WORKER_FLAG], 0);
    DeselectByKind(0, testworld::kRifleman);
    EXPECT_TRUE(Selected().empty());

    // Limited to a rectangle, b far away stays out.
    AddUnitToSelection(0, a);
    float x = 0.0f, y = 0.0f;
    UnitSeenPoint(*a, x, y);
    const TMapRect near{static_cast<std::int32_t>(x) - 200, static_cast<std::int32_t>(y) - 200,
                        static_cast<std::int32_t>(x) + 200, static_cast<std::int32_t>(y) + 200};
    SelectSameTypesInRect(0, &near);
    EXPECT_EQ(Selected(), (std::vector<TUnit*>{a}));
    SelectWorkersInRect(0, &near);
    EXPECT_EQ(Selected(), (std::vector<TUnit*>{w}));
    EXPECT_EQ(P0().SelectionFlags[SELECTION_WORKER_FLAG], 1);
}

TEST_F(SelectionTest, IdleWorkersReplaceTheSelectionOnlyWhenThereAreSome)
{
    TUnit* rifle = world.AddUnit(0, testworld::kRifleman, 10, 20);
    TUnit* busy = world.AddUnit(0, testworld::kWorker, 11, 20);
    ASSERT_TRUE(rifle && busy);
    busy->Work = 1;
    AddUnitToSelection(0, rifle);
    SelectIdleWorkers(0);
    EXPECT_EQ(Selected(), (std::vector<TUnit*>{rifle})) << "no idle worker leaves the selection as it was";

    TUnit* idle = world.AddUnit(0, testworld::kWorker, 12, 20);
    ASSERT_NE(idle, nullptr);
    idle->Work = UNIT_NO_WORK;
    idle->NumWork = 3;
    SelectIdleWorkers(0);
    EXPECT_EQ(Selected(), (std::vector<TUnit*>{idle}));
    EXPECT_EQ(P0().SelectionFlags[SELECTION_WORKER_FLAG], 1);
}

TEST_F(SelectionTest, StoredGroupsFollowTheirKeys)
{
    TUnit* a = world.AddUnit(0, testworld::kRifleman, 10, 20);
    TUnit* b = world.AddUnit(0, testworld::kRifleman, 11, 20);
    ASSERT_TRUE(a && b);
    AddUnitToSelection(0, a);
    AddUnitToSelection(0, b);

    StoreGroup(0, 0);
    EXPECT_TRUE(P0().Group[0].empty()) << "key 0 cannot be stored";
    StoreGroup(0, 3);
    EXPECT_EQ(GroupUnits(3), (std::vector<TUnit*>{b, a}));
    EXPECT_EQ(a->m_StoredGroup, 3);

    // Without Shift the key reselects the group without centring.
    ClearSelection(0);
    SelectUnitsFromGroup(0, 3);
    EXPECT_EQ(P0().NumSelectedUnits, 2);
    EXPECT_TRUE(centred.empty());
    // With Shift on a group that is already whole: the view centres, nothing else changes.
    g_ShiftDown[0] = 1;
    SelectUnitsFromGroup(0, 3);
    EXPECT_EQ(P0().NumSelectedUnits, 2);
    EXPECT_EQ(centred.size(), 1u);
    g_ShiftDown[0] = 0;
    // Another player's key never moves this machine's view.
    MyPlayer = 1;
    g_ShiftDown[0] = 1;
    SelectUnitsFromGroup(0, 3);
    EXPECT_EQ(centred.size(), 1u);
    g_ShiftDown[0] = 0;
    MyPlayer = 0;
    SelectUnitsFromGroup(0, 10); // logged, nothing happens
    EXPECT_EQ(P0().NumSelectedUnits, 2);

    // b moves from group 3 to group 5; a follows and group 3 is freed.
    ClearSelection(0);
    AddUnitToSelection(0, b);
    StoreGroup(0, 5);
    EXPECT_EQ(GroupUnits(3), (std::vector<TUnit*>{a}));
    EXPECT_EQ(GroupUnits(5), (std::vector<TUnit*>{b}));
    EXPECT_EQ(b->m_StoredGroup, 5);
    ClearSelection(0);
    AddUnitToSelection(0, a);
    StoreGroup(0, 5);
    EXPECT_TRUE(P0().Group[3].empty());
    EXPECT_EQ(b->m_StoredGroup, STORED_GROUP_NONE) << "storing over a group releases its old units";
    EXPECT_EQ(GroupUnits(5), (std::vector<TUnit*>{a}));
}

TEST_F(SelectionTest, HouseGroupsHoldOneHouseThatMovesBetweenKeys)
{
    THouse* h = world.AddPlayerHouse(0, 10, 20, &houseType);
    TUnit* a = world.AddUnit(0, testworld::kRifleman, 12, 20);
    ASSERT_NE(a, nullptr);
    SelectHouseOf(0, h);
    StoreGroup(0, 2);
    ASSERT_EQ(P0().Group[2].size(), 1u);
    EXPECT_EQ(P0().Group[2][0].kind, GROUP_ENTRY_HOUSE);
    StoreGroup(0, 4);
    EXPECT_TRUE(P0().Group[2].empty()) << "a house group is emptied when its house is stored elsewhere";

    AddUnitToSelection(0, a);
    EXPECT_EQ(P0().SelectedHouseFlag, 0);
    EXPECT_EQ(h->Selected, 0);
    SelectUnitsFromGroup(0, 4);
    EXPECT_EQ(P0().NumSelectedUnits, 0);
    EXPECT_EQ(P0().g_wNumSelectedHouse, h->Index);
    EXPECT_EQ(GetSingleSelectedHouse(0), h);
    EXPECT_EQ(g_PanelHouse, h->HouseType);

    RemoveHouseFromGroups(h);
    EXPECT_TRUE(P0().Group[4].empty());
}

TEST_F(SelectionTest, AUnitLeavingTheGameLeavesItsSelectionAndGroup)
{
    UnitServices().deselect = TUnitServices::Default().deselect;
    TUnit* a = world.AddUnit(0, testworld::kRifleman, 10, 20);
    TUnit* b = world.AddUnit(0, testworld::kRifleman, 11, 20);
    ASSERT_TRUE(a && b);
    AddUnitToSelection(0, a);
    AddUnitToSelection(0, b);
    StoreGroup(0, 7);
    ClearSelection(0);
    AddUnitToSelection(0, a);

    ClearUnitReferences(a);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(P0().NumSelectedUnits, 0);
    EXPECT_EQ(GroupUnits(7), (std::vector<TUnit*>{b}));
    ClearUnitReferences(b); // not selected, only stored
    EXPECT_TRUE(P0().Group[7].empty());
    EXPECT_EQ(b->m_StoredGroup, STORED_GROUP_NONE);
}

} // namespace
