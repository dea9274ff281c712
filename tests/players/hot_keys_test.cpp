// Hot keys: what each id runs, how a key is posted in single and network play, and the debug dump
// of the buildings.
#include "players/hot_keys.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/game_folder_fixture.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/player_houses.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/house_types.h"

namespace {

std::string Rect(const std::uint32_t* rect)
{
    return rect ? "rect " + std::to_string(rect[0]) : "visible area";
}

class HotKeyTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        world.emplace(40, 80);
        saved = HotKeyServices();
        savedCycle = GameCycleServices();
        THotKeyServices& s = HotKeyServices();
        s.isNetGame = [this] { return net; };
        s.blocked = [this] { return blocked; };
        s.textInput = [this] { return textInput; };
        s.selectAll = [this](std::uint8_t p) { Record("selectAll", p, ""); };
        s.selectUnitsInRect = [this](std::uint8_t p, const std::uint32_t* r) { Record("selectUnitsInRect", p, Rect(r)); };
        s.selectSameTypes = [this](std::uint8_t p) { Record("selectSameTypes", p, ""); };
        s.selectSameTypesInRect = [this](std::uint8_t p, const std::uint32_t* r) {
            Record("selectSameTypesInRect", p, Rect(r));
        };
        s.selectUnitsFromGroup = [this](std::uint8_t p, std::uint32_t g) {
            Record("selectUnitsFromGroup", p, std::to_string(g));
        };
        s.storeGroup = [this](std::uint8_t p, std::uint32_t g) { Record("storeGroup", p, std::to_string(g)); };
        s.selectWorkersInRect = [this](std::uint8_t p, const std::uint32_t* r) {
            Record("selectWorkersInRect", p, Rect(r));
        };
        s.writeDebugData = [this] { calls.push_back("writeDebugData"); };
        TGameCycleServices& c = GameCycleServices();
        c.isNetGame = [this] { return net; };
        c.sendBlocked = [] { return false; };
        for (int p = 0; p < 8; ++p)
            g_ShiftDown[p] = g_CtrlDown[p] = 0;
        MyPlayer = 1;
        ResetDebugData();
    }
    void TearDown() override
    {
        HotKeyServices() = saved;
        GameCycleServices() = savedCycle;
        for (int p = 0; p < 8; ++p)
            g_ShiftDown[p] = g_CtrlDown[p] = 0;
        for (int p = 0; p < 8; ++p)
            if (g_Strateg[p])
                FreeHeapList(g_Strateg[p]->TakeCommands());
        world.reset();
        GameFolderTest::TearDown();
    }
    void Record(const char* name, std::uint8_t p, const std::string& arg)
    {
        calls.push_back(std::string(name) + " " + std::to_string(p) + (arg.empty() ? "" : " " + arg));
    }
    static THouse* AddHouse(std::uint8_t player, std::uint16_t type)
    {
        THouse* h = playertest::AddPlayerHouse(player, type);
        const std::uint16_t index = h->Index;
        h->X = 3 + index;
        h->HitPoints = 100.0f + index;
        return h;
    }

    std::optional<testworld::TestWorld> world;
    THotKeyServices saved;
    TGameCycleServices savedCycle;
    std::vector<std::string> calls;
    bool net = false;
    bool blocked = false;
    bool textInput = false;
};

TEST_F(HotKeyTest, EachIdRunsItsRowAndUnknownIdsOnlyLog)
{
    using V = std::vector<std::string>;
    const std::uint32_t params[6] = {70, 80, 90, 100, 0, 0};
    struct TRow {
        std::uint16_t id;
        std::uint32_t x;
        const std::uint32_t* params;
        V calls;
    };
    const TRow rows[] = {
        {37, 0, nullptr, V{"selectAll 2"}},
        {38, 0, nullptr, V{"selectUnitsInRect 2 visible area"}},
        {38, 0, params, V{"selectUnitsInRect 2 rect 70"}},
        {39, 0, nullptr, V{"selectSameTypes 2"}},
        {40, 0, params, V{"selectSameTypesInRect 2 rect 70"}},
        {42, 4, nullptr, V{"selectUnitsFromGroup 2 4"}},
        {43, 9, nullptr, V{"storeGroup 2 9"}},
        {44, 0, nullptr, V{"selectWorkersInRect 2 visible area"}},
        {46, 0, nullptr, V{"writeDebugData"}},
    };
    for (const TRow& r : rows) {
        calls.clear();
        ExecuteHotKeyCommand(2, r.id, r.x, 0, r.params);
        EXPECT_EQ(calls, r.calls) << r.id;
    }
    ExecuteHotKeyCommand(2, 32, 0, 0, nullptr);
    ExecuteHotKeyCommand(2, 33, 0, 0, nullptr);
    EXPECT_EQ(g_ShiftDown[2], 1);
    EXPECT_EQ(g_CtrlDown[2], 1);
    ExecuteHotKeyCommand(2, 32, 0, 0, nullptr);
    EXPECT_EQ(g_ShiftDown[2], 0);
    EXPECT_EQ(g_CtrlDown[2], 1);

    calls.clear();
    for (std::uint16_t id : {34, 35, 36, 41, 45, 31, 47, 0, 300}) {
        testsupport::WriteText(dir / "ReportError.log", "");
        ExecuteHotKeyCommand(2, id, 0, 0, nullptr);
        EXPECT_TRUE(Logged("Unknown Hot Key. _CommandID = " + std::to_string(id))) << id << Log();
    }
    // A stored group beyond the ten is refused, not used as an index.
    ExecuteHotKeyCommand(2, 42, 10, 0, nullptr);
    ExecuteHotKeyCommand(2, 43, 4294967295u, 0, nullptr);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(g_ShiftDown[2], 0);
    EXPECT_EQ(g_CtrlDown[2], 1);
}

TEST_F(HotKeyTest, SinglePlayRunsTheKeyAtOnceAndANetworkGameSendsIt)
{
    PostHotKeyCommand(32, 0, 0);
    EXPECT_EQ(g_ShiftDown[1], 1);
    PostHotKeyCommand(38, 0x10002, 0x30004);
    EXPECT_EQ(calls, std::vector<std::string>{"selectUnitsInRect 1 visible area"});

    // Nothing while blocked or while a text field has the keyboard.
    blocked = true;
    PostHotKeyCommand(32, 0, 0);
    blocked = false;
    textInput = true;
    PostHotKeyCommand(32, 0, 0);
    textInput = false;
    EXPECT_EQ(g_ShiftDown[1], 1);

    net = true;
    const std::uint32_t params[6] = {1, 2, 3, 4, 5, 6};
    PostHotKeyCommand(40, 7, 8, params);
    EXPECT_EQ(g_ShiftDown[1], 1);
    THeapItem* queued = g_Strateg[1]->TakeCommands();
    ASSERT_NE(queued, nullptr);
    ASSERT_NE(queued->message, nullptr);
    const TNetData& m = *queued->message;
    EXPECT_EQ(m.commandClass, COMMAND_CLASS_GAME);
    EXPECT_EQ(m.id, 40);
    EXPECT_EQ(m.PlayerSend, 1);
    EXPECT_EQ(m.x, 7);
    EXPECT_EQ(m.y, 8);
    EXPECT_EQ(m.params[5], 6u);
    FreeHeapList(queued);
}

TEST_F(HotKeyTest, DebugDumpAppendsWithinAGameAndStartsFreshInTheNext)
{
    for (int i = 0; i < 3; ++i)
        AddHouse(0, 4);
    for (int i = 0; i < 120; ++i)
        AddHouse(1, 9);
    const std::string file = dir / DebugDataFileName(MyPlayer);
    testsupport::WriteText(file, "left from an old game");
    WriteDebugData();
    const std::vector<std::uint8_t> first = testsupport::ReadAll(file);
    // Player 0's three buildings, then only the first 100 of player 1's.
    ASSERT_EQ(first.size(), std::size_t{(3 + DEBUG_DATA_HOUSES) * HOUSE_SYNC_BYTES});
    std::uint8_t record[HOUSE_RECORD_SIZE];
    WriteHouseRecord(*HouseAt(g_pHouse[1], 7), record);
    EXPECT_TRUE(std::equal(record, record + HOUSE_SYNC_BYTES, first.begin() + (3 + 7) * HOUSE_SYNC_BYTES))
        << "the stored, pointer-free form of each building";

    g_Strateg[0]->Dead = 1;
    WriteDebugData();
    EXPECT_EQ(testsupport::ReadAll(file).size(), first.size() + DEBUG_DATA_HOUSES * HOUSE_SYNC_BYTES);

    ResetDebugData();
    WriteDebugData();
    EXPECT_EQ(testsupport::ReadAll(file).size(), std::size_t{DEBUG_DATA_HOUSES * HOUSE_SYNC_BYTES});
}

} // namespace
