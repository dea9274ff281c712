// The command dispatcher: every class and id reaches its handler with the arguments of the record,
// the dispatcher's own commands (house placement, the paid start of a building's work, the deferred
// path move, the managed groups, the advisor and key-state commands) do their work, and hostile
// records are refused without changing the game.
#include "players/dispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "core/app_state.h"
#include "core/game_folder_fixture.h"
#include "core/settings.h"
#include "map/map_view.h"
#include "movement/group.h"
#include "movement/path_search.h"
#include "players/command.h"
#include "players/economy.h"
#include "players/game_cycle.h"
#include "players/sim_checksum.h"
#include "players/player_houses.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/build_site.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"

namespace {

using testworld::TestWorld;

std::string Fmt(std::uint8_t v)
{
    return std::to_string(v);
}
std::string Fmt(std::uint16_t v)
{
    return std::to_string(v);
}
std::string Fmt(std::int32_t v)
{
    return std::to_string(v);
}
std::string Fmt(std::uint32_t v)
{
    return std::to_string(v);
}
std::string Fmt(bool v)
{
    return v ? "1" : "0";
}
std::string Fmt(double v)
{
    return std::to_string(static_cast<long long>(v));
}
std::string Fmt(float v)
{
    return std::to_string(static_cast<long long>(v));
}
std::string Fmt(THouse* h)
{
    return h ? "H" + std::to_string(h->Owner) + "." + std::to_string(h->Index) : "null";
}
std::string Fmt(TUnit* u)
{
    return u ? "U" + std::to_string(u->Player) + "." + std::to_string(u->m_Index) : "null";
}
std::string Fmt(TStrateg* s)
{
    return s ? "S" + std::to_string(s->Number) : "null";
}
std::string Fmt(void* p)
{
    return p ? "payload" : "null";
}
std::string Fmt(TGroup* g)
{
    return g ? "group" : "null";
}
std::string Fmt(const TGroup* g)
{
    return g ? "group" : "null";
}
// Parameter arrays show their first value; relation arrays all eight bytes.
std::string Fmt(const std::uint32_t* p)
{
    return p ? "P" + std::to_string(p[0]) : "null";
}
std::string Fmt(const std::uint8_t* bytes)
{
    std::string s;
    for (int k = 0; k < 8; ++k)
        s += static_cast<char>('0' + bytes[k]);
    return s;
}
std::string Fmt(const char16_t* text)
{
    std::string s;
    for (; text && *text; ++text)
        s += static_cast<char>(*text);
    return s;
}

TGroup* const kGroup = reinterpret_cast<TGroup*>(static_cast<std::uintptr_t>(0x1000));

// Every handler call as one line "name arg arg ..."; results by name (0 when not set).
struct TCalls {
    std::vector<std::string> lines;
    std::map<std::string, long long> results;

    template <class R>
    R Result(const std::string& name) const
    {
        const auto it = results.find(name);
        const long long v = it == results.end() ? 0 : it->second;
        if constexpr (std::is_pointer_v<R>)
            return v != 0 ? kGroup : nullptr;
        else
            return static_cast<R>(v);
    }
};

template <class F>
struct Recorder;
template <class R, class... A>
struct Recorder<std::function<R(A...)>> {
    static std::function<R(A...)> Make(std::string name, TCalls* calls)
    {
        return [name, calls](A... a) -> R {
            std::string line = name;
            ((line += " " + Fmt(a)), ...);
            calls->lines.push_back(line);
            if constexpr (!std::is_void_v<R>)
                return calls->template Result<R>(name);
        };
    }
};

#define RECORD(field) s.field = Recorder<decltype(s.field)>::Make(#field, &calls)

class DispatcherTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        world.emplace(40, 80);
        saved = DispatcherServices();
        savedUnitCounts = std::to_array(g_NationUnitTypeCount);
        savedHouseCounts = std::to_array(g_NationHouseTypeCount);
        g_NationUnitTypeCount[0] = g_NationUnitTypeCount[1] = 20;
        g_NationHouseTypeCount[0] = g_NationHouseTypeCount[1] = 25;
        TDispatcherServices& s = DispatcherServices();
        RECORD(selectedUnitsCommandD);
        RECORD(selectedUnitsStop);
        RECORD(selectedUnitsForbidFire);
        RECORD(selectedUnitsAllowFire);
        RECORD(forSelectedUnits);
        RECORD(selectedUnitsCommandF);
        RECORD(setPlayerOption);
        RECORD(deselectByKind);
        RECORD(filterSelectionByType);
        RECORD(replayGroupForming);
        RECORD(giveGroupOrder);
        RECORD(selectedUnitsFormGroup);
        RECORD(selectedUnitsDisbandGroup);
        RECORD(selectedUnitsUnload);
        RECORD(setSelectedUnitsOption);
        RECORD(sendUnitToCell);
        RECORD(setMoveWork);
        RECORD(stopUnit);
        RECORD(addHouseToPointFull);
        RECORD(acquirePhaseGraphic);
        RECORD(dropCursorBuilding);
        RECORD(clearPlacingChoice);
        RECORD(setHousePoint);
        RECORD(groupCommandOn);
        RECORD(groupCommandOff);
        RECORD(createUnitsInHouse);
        RECORD(addUnitsToQueue);
        RECORD(houseCommandA);
        RECORD(houseCommandB);
        RECORD(applyUpgrade);
        RECORD(addResourceAmount);
        RECORD(startScienceUpgrade);
        RECORD(startWarUpgrade);
        RECORD(setHouseTimer);
        RECORD(academyFinishWarUpgrade);
        RECORD(academyFinishScienceUpgrade);
        RECORD(houseTransferResources);
        RECORD(finishHouseUpgrade);
        RECORD(selectIdleWorkers);
        RECORD(digTrenchLine);
        RECORD(setHouseOption);
        RECORD(toggleHouseFireMode);
        RECORD(placeStructureAndPay);
        RECORD(advisorBuildAndSelect);
        RECORD(addRefHousePhaseGraphic);
        RECORD(selectHouseByKey);
        RECORD(strategDead);
        RECORD(reloadInterface);
        RECORD(executeHotKey);
        RECORD(marketSell);
        RECORD(marketExchange);
        RECORD(cycleUnitGroup);
        RECORD(playerUnitsUpdate);
        RECORD(setDiplomacy);
        RECORD(clearSelection);
        RECORD(findManagedGroup);
        RECORD(isGroupSelected);
        RECORD(selectGroupUnits);
        RECORD(centreViewOnGroup);
        RECORD(refreshPanel);
        RECORD(activateMainWindow);
        RECORD(isEnemy);
        RECORD(addMapSignal);
        RECORD(showMessageLine);
        RECORD(playSound);
        RECORD(selectAtPointOrFrame);
        RECORD(orderSelectionToPoint);
        RECORD(mousePressAtPoint);
        RECORD(dragEnd);
        RECORD(orientSelection);
        RECORD(selectSameTypeOnScreen);
        g_ActingPlayer = 0;
        MyPlayer = 0;
        for (int p = 0; p < 8; ++p)
            g_ShiftDown[p] = g_CtrlDown[p] = 0;
        // A barracks of each player at index 0.
        AddHouse(0, 4);
        AddHouse(1, 4);
    }
    void TearDown() override
    {
        DispatcherServices() = saved;
        std::copy(savedUnitCounts.begin(), savedUnitCounts.end(), g_NationUnitTypeCount);
        std::copy(savedHouseCounts.begin(), savedHouseCounts.end(), g_NationHouseTypeCount);
        for (int p = 0; p < 8; ++p)
            g_ShiftDown[p] = g_CtrlDown[p] = 0;
        world.reset();
        GameFolderTest::TearDown();
    }

    static THouse* AddHouse(std::uint8_t player, std::uint16_t type) { return playertest::AddPlayerHouse(player, type); }

    // A record of the acting player; house and unit given by (player, index).
    static THeapItem Record(std::uint16_t cls, std::uint8_t id, float x = 0, float y = 0,
                            std::vector<std::uint32_t> params = {})
    {
        THeapItem item;
        item.commandClass = cls;
        item.id = id;
        item.x = x;
        item.y = y;
        for (std::size_t k = 0; k < params.size() && k < 6; ++k)
            item.params[k] = params[k];
        return item;
    }
    std::vector<std::string> Run(THeapItem item)
    {
        calls.lines.clear();
        EXPECT_FALSE(ExecuteCommand(&item));
        return calls.lines;
    }

    std::optional<TestWorld> world;
    TDispatcherServices saved;
    std::array<std::uint16_t, PARAM_SIDES> savedUnitCounts{};
    std::array<std::uint16_t, HOUSE_SIDES> savedHouseCounts{};
    TCalls calls;
};

THeapItem WithHouse(THeapItem item, std::uint8_t player, std::uint16_t index)
{
    item.housePlayer = player;
    item.houseIndex = index;
    return item;
}

THeapItem WithUnit(THeapItem item, std::uint8_t player, std::uint16_t index)
{
    item.unitPlayer = player;
    item.unitIndex = index;
    return item;
}

struct TTableCase {
    const char* name;
    THeapItem item;
    std::vector<std::string> calls;
};

using V = std::vector<std::string>;

std::string SignalCell(float x, float y)
{
    plat::Point cell{};
    GetCellFromPoint(x, y, cell);
    return std::to_string(cell.x) + " " + std::to_string(cell.y);
}

TEST_F(DispatcherTest, EveryClassAndIdReachesItsHandlerWithTheRecordsArguments)
{
    TUnit* unit = world->AddUnit(0, testworld::kRifleman, 5, 5);
    calls.results["advisorBuildAndSelect"] = 1;
    calls.results["isGroupSelected"] = 0;
    // The record owns its group order and frees it once run.
    auto withPayload = [](THeapItem item) {
        item.groupOrder = new TGroupOrder;
        return item;
    };
    const std::vector<TTableCase> cases = {
        {"1.1", Record(1, 1), V{"selectedUnitsCommandD 0"}},
        {"1.3", Record(1, 3), V{"selectedUnitsStop 0"}},
        {"1.4", Record(1, 4), V{"selectedUnitsForbidFire 0"}},
        {"1.5", Record(1, 5), V{"selectedUnitsAllowFire 0"}},
        {"1.9", Record(1, 9, 100.7f, 200.2f, {1}), V{"forSelectedUnits 0 100 200 1"}},
        {"1.36", Record(1, 36), V{"selectedUnitsCommandF 0"}},
        {"1.41", Record(1, 41, 2), V{"setPlayerOption 0 2", "filterSelectionByType 0 2"}},
        {"1.45", withPayload(Record(1, 45)), V{"replayGroupForming payload"}},
        {"1.45 without payload", Record(1, 45), V{}},
        {"1.47", withPayload(Record(1, 47)), V{"giveGroupOrder payload"}},
        {"1.51", Record(1, 51), V{"selectedUnitsFormGroup 0"}},
        {"1.52", Record(1, 52), V{"selectedUnitsDisbandGroup 0"}},
        {"1.55", Record(1, 55), V{"selectedUnitsUnload 0"}},
        {"1.56", Record(1, 56, 3), V{"setSelectedUnitsOption 0 3"}},
        {"1.62", Record(1, 62, 2), V{"deselectByKind 0 2"}},
        {"2.7", Record(2, 7, 480, 240, {4}), V{"addHouseToPointFull 0 480 240 4", "acquirePhaseGraphic H0.0", "dropCursorBuilding"}},
        {"2.8", WithHouse(Record(2, 8, 100, 200), 0, 0), V{"setHousePoint H0.0 100 200"}},
        {"2.15", WithHouse(Record(2, 15), 0, 0), V{"groupCommandOn H0.0"}},
        {"2.16", WithHouse(Record(2, 16), 0, 0), V{"groupCommandOff H0.0"}},
        {"2.17", WithHouse(Record(2, 17, 2), 0, 0), V{"createUnitsInHouse 0 0 2 1"}},
        {"2.18", WithHouse(Record(2, 18, 2, 0), 0, 0), V{"addUnitsToQueue 0 0 2 1"}},
        {"2.18 endless", WithHouse(Record(2, 18, 2, 65535), 0, 0), V{"addUnitsToQueue 0 0 2 65535"}},
        {"2.19", WithUnit(WithHouse(Record(2, 19), 0, 0), 0, unit->m_Index), V{"houseCommandB H0.0 U0.0"}},
        {"2.20", WithHouse(Record(2, 20, 0, 0, {0x107}), 0, 0), V{"applyUpgrade H0.0"}},
        {"2.22", WithHouse(Record(2, 22, 0, 0, {9}), 0, 0), V{"academyFinishScienceUpgrade H0.0 P9"}},
        {"2.23", WithHouse(Record(2, 23, 0, 0, {9}), 0, 0), V{"houseTransferResources H0.0 P9"}},
        {"2.24", WithUnit(WithHouse(Record(2, 24), 0, 0), 0, unit->m_Index), V{"houseCommandA H0.0 U0.0"}},
        {"2.34", WithHouse(Record(2, 34), 0, 0), V{}},
        {"2.35", WithHouse(Record(2, 35), 0, 0), V{"finishHouseUpgrade H0.0"}},
        {"2.50", Record(2, 50), V{"selectIdleWorkers 0"}},
        {"2.53", Record(2, 53, 0, 0, {65534, 1, 2, 3, 4}), V{"digTrenchLine 0 1 2 3 4", "clearPlacingChoice"}},
        {"2.60", Record(2, 60, 3), V{"setHouseOption 0 3"}},
        {"2.63", WithHouse(Record(2, 63), 0, 0), V{"toggleHouseFireMode H0.0"}},
        {"2.74", WithHouse(Record(2, 74), 0, 0), V{"placeStructureAndPay H0.0"}},
        {"2.74 without house", Record(2, 74), V{}},
        {"2.75", Record(2, 75, 4), V{"advisorBuildAndSelect 0 4", "addRefHousePhaseGraphic 4"}},
        {"2.76", Record(2, 76, 82), V{"selectHouseByKey 0 82"}},
        {"3.2", Record(3, 2), V{}},
        {"3.12", Record(3, 12), V{"strategDead S0"}},
        {"3.14", Record(3, 14), V{"reloadInterface 1"}},
        {"3.32", Record(3, 32, 1, 2, {5}), V{"executeHotKey 0 32 1 2 P5"}},
        {"3.33", Record(3, 33), V{"executeHotKey 0 33 0 0 P0"}},
        {"3.37", Record(3, 37), V{"executeHotKey 0 37 0 0 P0"}},
        {"3.38", Record(3, 38, 0, 0, {7}), V{"executeHotKey 0 38 0 0 P7"}},
        {"3.39", Record(3, 39), V{"executeHotKey 0 39 0 0 P0"}},
        {"3.40", Record(3, 40), V{"executeHotKey 0 40 0 0 P0"}},
        {"3.42", Record(3, 42, 3), V{"executeHotKey 0 42 3 0 P0"}},
        {"3.43", Record(3, 43, 4), V{"executeHotKey 0 43 4 0 P0"}},
        {"3.44", Record(3, 44), V{"executeHotKey 0 44 0 0 P0"}},
        {"3.46", Record(3, 46, 9, 9, {9}), V{"executeHotKey 0 46 0 0 null"}},
        {"3.57", Record(3, 57, 6, 7, {1, 2, 3, 4, 5}), V{"marketSell 0 4 2 1 5 3 6 7"}},
        {"3.58", Record(3, 58, 6, 0, {1, 2, 3, 4, 5}), V{"marketExchange 0 6 4 2 1 5 3"}},
        {"3.59 same", Record(3, 59, 0, 0, {g_SyncSnapshot}), V{}},
        {"3.59 differs", Record(3, 59, 0, 0, {g_SyncSnapshot + 1u}), V{"showMessageLine Synchro problems"}},
        {"3.61", Record(3, 61), V{"cycleUnitGroup 0"}},
        {"3.64", Record(3, 64), V{"playerUnitsUpdate 0"}},
        {"3.65", Record(3, 65, 0.5f, 0.4f, {1, 0, 1, 2, 1, 0}), V{"setDiplomacy 0 10101010"}},
        {"3.66", Record(3, 66, 0, 0, {12}), V{"findManagedGroup 0 12"}},
        {"3.70", Record(3, 70), V{"clearSelection 0"}},
        {"3.71", Record(3, 71, 0, 0, {1, 0}), V{"activateMainWindow"}},
        {"3.73", Record(3, 73, 480, 240), V{"isEnemy 0 0", "addMapSignal " + SignalCell(480, 240) + " 100"}},
        {"4.27", Record(4, 27, 100, 200), V{"selectAtPointOrFrame 0 100 200"}},
        {"4.28", Record(4, 28, 100, 200), V{"orderSelectionToPoint 0 100 200"}},
        {"4.29", Record(4, 29, 100, 200), V{"mousePressAtPoint 0 100 200"}},
        {"4.30", Record(4, 30, 100, 200), V{}},
        {"4.31", Record(4, 31), V{"dragEnd 0"}},
        {"4.54", Record(4, 54, 3, 150.5f), V{"orientSelection 0 3 150"}},
        {"4.67", Record(4, 67, 100, 200, {11, 12, 13, 14}), V{"selectSameTypeOnScreen 0 100 200 P11"}},
    };
    for (const TTableCase& c : cases)
        EXPECT_EQ(Run(c.item), c.calls) << c.name;
    EXPECT_FALSE(Logged("фигня")) << Log();
}

TEST_F(DispatcherTest, UnlistedClassesAndIdsAreLoggedAndRunNothing)
{
    struct TUnknown {
        std::uint16_t cls;
        std::uint8_t id;
        const char* text;
    };
    const TUnknown cases[] = {
        {1, 2, "Что это за фигня?"},  {1, 63, "Что это за фигня?"}, {2, 6, "Что это за фигня?"},
        {2, 77, "Что это за фигня?"}, {3, 1, "What is za fignya?"}, {3, 41, "What is za fignya?"},
        {4, 26, "What is za fignya?"}, {4, 53, "What is za fignya?"}, {5, 1, "What is za fignya?"},
        {0, 2, "What is za fignya?"},
    };
    for (const TUnknown& c : cases) {
        testsupport::WriteText(dir / "ReportError.log", "");
        EXPECT_EQ(Run(Record(c.cls, c.id)), V{}) << c.cls << "." << int(c.id);
        EXPECT_TRUE(Logged(c.text)) << c.cls << "." << int(c.id);
    }
}

TEST_F(DispatcherTest, CreateUnitsCountFollowsTheHeldKeys)
{
    struct TKeys {
        bool shift;
        bool ctrl;
        int count;
    };
    for (const TKeys k : {TKeys{false, false, 1}, TKeys{true, false, 5}, TKeys{false, true, 50}, TKeys{true, true, 65535}}) {
        g_ShiftDown[0] = k.shift;
        g_CtrlDown[0] = k.ctrl;
        EXPECT_EQ(Run(WithHouse(Record(2, 17, 3), 0, 0)), V{"createUnitsInHouse 0 0 3 " + std::to_string(k.count)})
            << k.shift << k.ctrl;
    }
    // The queue prefers Shift when both are held.
    g_ShiftDown[0] = g_CtrlDown[0] = 1;
    EXPECT_EQ(Run(WithHouse(Record(2, 18, 3), 0, 0)), V{"addUnitsToQueue 0 0 3 5"});
    g_ShiftDown[0] = 0;
    EXPECT_EQ(Run(WithHouse(Record(2, 18, 3), 0, 0)), V{"addUnitsToQueue 0 0 3 50"});
}

TEST_F(DispatcherTest, PlacementKeepsTheBuildingOnTheCursorWithShiftAndShowsTheRefusal)
{
    g_ShiftDown[0] = 1;
    EXPECT_EQ(Run(Record(2, 7, 480, 240, {4})), V({"addHouseToPointFull 0 480 240 4", "acquirePhaseGraphic H0.0"}));
    calls.results["addHouseToPointFull"] = HOUSE_NONE;
    EXPECT_EQ(Run(Record(2, 7, 480, 240, {4})),
              V({"addHouseToPointFull 0 480 240 4", "showMessageLine " + Fmt(g_CantBuildReason), "playSound 1"}));
    // Another player's refusal is not shown on this machine.
    g_ActingPlayer = 1;
    EXPECT_EQ(Run(Record(2, 7, 480, 240, {4})), V({"addHouseToPointFull 1 480 240 4"}));
}

TEST_F(DispatcherTest, PaidStartTakesTheCostsAndStartsResearchAtTheRightAcademy)
{
    THouse* science = AddHouse(0, HOUSE_SCIENCE_ACADEMY);
    THouse* war = AddHouse(0, HOUSE_WAR_ACADEMY);
    const std::vector<std::uint32_t> cost = {10, 20, 30, 40, 50};
    const V paid = {"addResourceAmount 0 4 -10", "addResourceAmount 0 1 -20", "addResourceAmount 0 2 -30",
                    "addResourceAmount 0 0 -40", "addResourceAmount 0 3 -50"};
    auto expect = [&](THouse* h, std::int32_t id, const std::string& start) {
        V want = paid;
        want.push_back(start);
        EXPECT_EQ(Run(WithHouse(Record(2, 21, static_cast<float>(id), 300, cost), 0, h->Index)), want) << start;
    };
    expect(science, 3 + 19, "startScienceUpgrade H0." + std::to_string(science->Index) + " 300 22");
    expect(war, 3 + 29, "startWarUpgrade H0." + std::to_string(war->Index) + " 300 32");
    expect(HouseAt(g_pHouse[0], 0), 7, "setHouseTimer H0.0 300 7");
    // A research the academy does not have is refused before anything is paid.
    EXPECT_EQ(Run(WithHouse(Record(2, 21, 3 + 20, 300, cost), 0, science->Index)), V{});
    EXPECT_EQ(Run(WithHouse(Record(2, 21, 2, 300, cost), 0, war->Index)), V{});
    // A busy building starts nothing and takes nothing.
    science->UpgradeFlag = 1;
    EXPECT_EQ(Run(WithHouse(Record(2, 21, 5, 300, cost), 0, science->Index)), V{});
    // Finishing goes to the academy's own kind of research.
    EXPECT_EQ(Run(WithHouse(Record(2, 22), 0, war->Index)), V{"academyFinishWarUpgrade H0.2 P0"});
    EXPECT_EQ(Run(WithHouse(Record(2, 22), 0, science->Index)), V{"academyFinishScienceUpgrade H0.1 P0"});
}

TEST_F(DispatcherTest, PaidStartCostsAreUnsignedSoNoRecordPaysTheActingPlayer)
{
    // Taking more than the spendable amount is the resources' own rule (spendable kept at 0); what
    // the dispatcher owes it is the amounts as they stand, never a negative cost turned into a gift.
    EXPECT_EQ(Run(WithHouse(Record(2, 21, 7, 300, {150, 0, 0, 0, 4294967295u}), 0, 0)),
              V({"addResourceAmount 0 4 -150", "addResourceAmount 0 1 0", "addResourceAmount 0 2 0",
                 "addResourceAmount 0 0 0", "addResourceAmount 0 3 -4294967295", "setHouseTimer H0.0 300 7"}));
}

// The four ways of a deferred path move against the cycle's path budget.
TEST_F(DispatcherTest, DeferredPathMoveRunsDefersAbandonsOrDrops)
{
    TUnit* unit = world->AddUnit(0, testworld::kRifleman, 5, 5);
    auto pending = [&](THeapItem* item) {
        unit->PendingMove = 1;
        unit->m_OrderedX = 500;
        unit->m_OrderedY = 250;
        unit->m_pOrderObject = item;
    };
    auto record = [&] {
        auto* item = new THeapItem(WithUnit(Record(1, 13, 500.5f, 250.9f), 0, unit->m_Index));
        item->cikl = 40;
        return item;
    };
    calls.results["sendUnitToCell"] = 1;
    g_PathMoveCount = 0;
    g_PathBudget = 20;

    // Within the budget: the move starts now and the record is forgotten.
    g_PathWorkCounter = 19;
    THeapItem* now = record();
    pending(now);
    EXPECT_FALSE(ExecuteCommand(now));
    EXPECT_EQ(calls.lines, V({"sendUnitToCell U0.0 500 250 1", "setMoveWork U0.0"}));
    EXPECT_EQ(unit->m_pOrderObject, nullptr);
    EXPECT_EQ(g_PathMoveCount, 1u);
    delete now;

    // Budget spent, a person's move: put back for the next cycle.
    calls.lines.clear();
    g_PathWorkCounter = 20;
    THeapItem* later = record();
    pending(later);
    EXPECT_TRUE(ExecuteCommand(later));
    EXPECT_EQ(calls.lines, V{});
    EXPECT_EQ(later->cikl, 41u);
    ASSERT_EQ(g_Strateg[0]->HeapHead, later);
    FreeHeapList(g_Strateg[0]->TakeCommands());

    // Budget spent, a computer's 101st move of the cycle: abandoned and the unit stopped.
    calls.lines.clear();
    g_Strateg[0]->Kind = PLAYER_KIND_COMPUTER;
    g_PathMoveCount = 5;
    g_CompPathMoveCount = 100;
    THeapItem* abandoned = record();
    pending(abandoned);
    unit->Work = 2;
    EXPECT_FALSE(ExecuteCommand(abandoned));
    EXPECT_EQ(calls.lines, V{"stopUnit U0.0 1"});
    EXPECT_EQ(unit->PendingMove, 0);
    EXPECT_EQ(unit->m_pOrderObject, nullptr);
    EXPECT_EQ(unit->Work, UNIT_NO_WORK);
    EXPECT_EQ(unit->PlayerAttack, UNIT_NO_PLAYER);
    EXPECT_EQ(unit->NumWork, 5);
    delete abandoned;

    // A stale record (the unit waits on another one, or on another point) changes nothing.
    calls.lines.clear();
    THeapItem* stale = record();
    THeapItem other;
    pending(&other);
    EXPECT_FALSE(ExecuteCommand(stale));
    unit->m_pOrderObject = stale;
    unit->m_OrderedX = 501;
    EXPECT_FALSE(ExecuteCommand(stale));
    EXPECT_EQ(calls.lines, V{});
    EXPECT_EQ(unit->m_pOrderObject, nullptr) << "a dropped record is not left behind in the unit";
    delete stale;
}

TEST_F(DispatcherTest, PendingPathMovesFindTheirRecordsAgainAfterALoad)
{
    TUnit* waiting = world->AddUnit(0, testworld::kRifleman, 5, 5);
    TUnit* orphan = world->AddUnit(0, testworld::kRifleman, 6, 6);
    for (TUnit* u : {waiting, orphan}) {
        u->PendingMove = 1;
        u->m_OrderedX = 500;
        u->m_OrderedY = 250;
        u->m_pOrderObject = nullptr; // as a loaded unit image has it
    }
    auto* item = new THeapItem(WithUnit(Record(1, 13, 500, 250), 0, waiting->m_Index));
    g_Strateg[0]->AddCommand(item);
    RelinkPendingPathMoves();
    EXPECT_EQ(waiting->m_pOrderObject, item);
    EXPECT_EQ(orphan->PendingMove, 0) << "no record waits for it";
    g_PathWorkCounter = 0;
    g_PathBudget = 20;
    calls.results["sendUnitToCell"] = 1;
    THeapItem* taken = g_Strateg[0]->TakeCommands();
    EXPECT_FALSE(ExecuteCommand(taken));
    EXPECT_EQ(calls.lines, V({"sendUnitToCell U0.0 500 250 1", "setMoveWork U0.0"}));
    FreeHeapList(taken);
}

TEST_F(DispatcherTest, HostileRecordsAreRefusedAndChangeNothing)
{
    THouse* foreign = HouseAt(g_pHouse[1], 0);
    THouse* gone = AddHouse(0, 4);
    gone->Destroyed = 1;
    struct THostile {
        const char* name;
        THeapItem item;
    };
    const std::vector<THostile> cases = {
        {"rally point without house", Record(2, 8, 1, 1)},
        {"rally point of a destroyed house", WithHouse(Record(2, 8, 1, 1), 0, gone->Index)},
        {"house index beyond the player's", WithHouse(Record(2, 8, 1, 1), 0, 999)},
        {"house of a player beyond the game", WithHouse(Record(2, 8, 1, 1), 7, 0)},
        {"unit command without house", Record(2, 19)},
        {"upgrade without house", Record(2, 20, 0, 0, {7})},
        {"paid start without house", Record(2, 21, 7, 300, {1, 1, 1, 1, 1})},
        {"finish without house", Record(2, 22)},
        {"transfer without house", Record(2, 23)},
        {"house command without house", Record(2, 24)},
        {"finish upgrade without house", Record(2, 35)},
        {"fire mode without house", Record(2, 63)},
        {"foreign rally point", WithHouse(Record(2, 8, 1, 1), 1, 0)},
        {"foreign upgrade", WithHouse(Record(2, 20, 0, 0, {7}), 1, 0)},
        {"foreign paid start", WithHouse(Record(2, 21, 7, 300, {1, 1, 1, 1, 1}), 1, 0)},
        {"foreign transfer", WithHouse(Record(2, 23), 1, 0)},
        {"foreign fire mode", WithHouse(Record(2, 63), 1, 0)},
        {"foreign production", WithHouse(Record(2, 17, 2), 1, 0)},
        {"building type beyond the nation", Record(2, 7, 480, 240, {25})},
        {"building type far beyond", Record(2, 7, 480, 240, {65535})},
        {"advisor building type beyond", Record(2, 75, 25)},
        {"unit type beyond", WithHouse(Record(2, 17, 20), 0, 0)},
        {"unit type negative", WithHouse(Record(2, 18, -1), 0, 0)},
        {"kind filter beyond", Record(1, 41, 40)},
        {"kind deselect beyond", Record(1, 62, 1e9f)},
        {"orientation 8", Record(4, 54, 8, 150)},
        {"orientation -1", Record(4, 54, -1, 150)},
        {"orientation NaN", Record(4, 54, std::numeric_limits<float>::quiet_NaN(), 150)},
        {"placement at an infinite point", Record(2, 7, std::numeric_limits<float>::infinity(), 0, {4})},
        {"research beyond the academy", WithHouse(Record(2, 21, 300, 300, {1, 1, 1, 1, 1}), 0, 0)},
        {"work of negative length", WithHouse(Record(2, 21, 7, -5, {1, 1, 1, 1, 1}), 0, 0)},
        {"signal outside the map", Record(3, 73, -5000, 1e7f)},
    };
    const std::uint64_t before = SimulationChecksum();
    for (const THostile& c : cases) {
        testsupport::WriteText(dir / "ReportError.log", "");
        const V ran = Run(c.item);
        for (const std::string& line : ran)
            EXPECT_EQ(line.rfind("isEnemy", 0), 0u) << c.name << ": " << line;
        const std::string log = Log();
        std::size_t refusals = 0;
        for (std::size_t at = log.find("ExecuteCommand:"); at != std::string::npos; at = log.find("ExecuteCommand:", at + 1))
            ++refusals;
        EXPECT_EQ(refusals, 1u) << c.name << ": the refusal is logged once\n" << log;
    }
    EXPECT_EQ(SimulationChecksum(), before);
    EXPECT_EQ(foreign->UpgradeInProgress, 0);
}

TEST_F(DispatcherTest, ManagedGroupSelectionFollowsShiftAndTheGroupsState)
{
    calls.results["findManagedGroup"] = 1;
    calls.results["isGroupSelected"] = 1;
    EXPECT_EQ(Run(Record(3, 66, 0, 0, {4})), V({"findManagedGroup 0 4", "isGroupSelected group", "clearSelection 0",
                                                "selectGroupUnits group 1", "centreViewOnGroup group", "refreshPanel"}));
    g_ShiftDown[0] = 1;
    EXPECT_EQ(Run(Record(3, 66, 0, 0, {4})),
              V({"findManagedGroup 0 4", "isGroupSelected group", "selectGroupUnits group 0", "refreshPanel"}));
    calls.results["isGroupSelected"] = 0;
    g_ActingPlayer = 1;
    g_ShiftDown[1] = 0;
    EXPECT_EQ(Run(Record(3, 66, 0, 0, {4})), V({"findManagedGroup 1 4", "isGroupSelected group", "clearSelection 1",
                                                "selectGroupUnits group 1"}));
}

TEST_F(DispatcherTest, GameWideStateCommandsSetTheActingPlayersFlags)
{
    g_ActingPlayer = 1;
    g_Strateg[1]->GroupManager = std::make_unique<TGroupManager>();
    const std::uint8_t comp = g_CompAssist[1];
    Run(Record(3, 25));
    EXPECT_NE(g_CompAssist[1], comp);
    Run(Record(3, 25));
    EXPECT_EQ(g_CompAssist[1], comp);
    Run(Record(3, 26));
    EXPECT_EQ(g_WarAssist[1], 1);
    g_WarAssist[1] = 0;
    Run(Record(3, 68, 0, 0, {1, 0, 7, 0, 1, 0}));
    EXPECT_EQ(std::vector<int>(g_AdvisorOptions[1], g_AdvisorOptions[1] + 6), std::vector<int>({1, 0, 1, 0, 1, 0}));
    Run(Record(3, 69, 3, 0, {0, 1, 0, 1}));
    EXPECT_EQ(std::vector<int>(g_WarAdvisorOptions[1], g_WarAdvisorOptions[1] + 4), std::vector<int>({0, 1, 0, 1}));
    EXPECT_EQ(g_Strateg[1]->GroupManager->WarTemplate, 3);
    // The key state of another player changes its keys only; this machine's window is not touched.
    EXPECT_EQ(Run(Record(3, 71, 0, 0, {1, 1})), V{});
    EXPECT_EQ(g_ShiftDown[1], 1);
    EXPECT_EQ(g_CtrlDown[1], 1);
    EXPECT_EQ(g_ShiftDown[0], 0);
    // Ctrl turns the kind filter into a deselection.
    g_ActingPlayer = 0;
    g_CtrlDown[0] = 1;
    EXPECT_EQ(Run(Record(1, 41, 2)), V({"setPlayerOption 0 2", "deselectByKind 0 2"}));
    // The upgrade byte of command 20 is the low byte of its value.
    Run(WithHouse(Record(2, 20, 0, 0, {0x107}), 0, 0));
    EXPECT_EQ(HouseAt(g_pHouse[0], 0)->UpgradeInProgress, 7);
    EXPECT_TRUE(Logged("COMMAND_ID_CREATE_UPGRADE"));
    for (auto& row : g_AdvisorOptions)
        std::fill(std::begin(row), std::end(row), 0);
    for (auto& row : g_WarAdvisorOptions)
        std::fill(std::begin(row), std::end(row), 0);
}

} // namespace
