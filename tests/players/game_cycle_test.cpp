// The lock-step queue and the game cycle: when records run, in which order, what happens to those
// that cannot run, the turn order of people and computer players, and the per-cycle budgets.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/game_folder_fixture.h"
#include "core/random_table.h"
#include "net/net_events.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "units/unit.h"

namespace {

constexpr std::uint8_t kNone = 2;     // a command that does nothing
constexpr std::uint8_t kKill = 12;    // kills the acting player
constexpr std::uint8_t kRequeue = 13; // puts itself back once, for the next cycle

class GameCycleTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        m_Saved = GameCycleServices();
        TGameCycleServices& s = GameCycleServices();
        s.isNetGame = [this] { return net; };
        s.isNetConnected = [this] { return net; };
        s.netCycleGate = [this] {
            if (net)
                ++kadr_now;
            return true;
        };
        s.netSendCommand = [this](TNetData* m) { sent.push_back(*m); };
        s.takeReceivedMessages = [this] {
            TNetData* head = nullptr;
            for (auto it = incoming.rbegin(); it != incoming.rend(); ++it) {
                auto* m = new TNetData(*it);
                m->link = head;
                head = m;
            }
            incoming.clear();
            return head;
        };
        s.handleNetMessage = [this](THeapItem& item) { netMessages.push_back(item.params[0]); };
        s.sendBlocked = [] { return false; };
        s.executeCommand = [this](THeapItem* item) {
            ran.push_back(std::to_string(Cycle()) + ":" + std::to_string(g_ActingPlayer) + ":" +
                          std::to_string(item->id));
            if (item->id == kKill)
                g_Strateg[g_ActingPlayer]->Dead = 1;
            if (item->id == kRequeue && item->flag == 0) {
                item->flag = 1;
                item->cikl = kadr_now + 1;
                g_Strateg[g_ActingPlayer]->AddCommand(item);
                return true;
            }
            return false;
        };
        s.strategDead = [](TStrateg* p) { p->Dead = 1; };
        s.groupManagerUpdate = [](TStrateg*) {};
        s.computerStep = [](TStrateg*) {};
        s.missionOver = [](std::uint8_t) { return false; };
        s.marketTick = [](std::uint8_t) {};
        s.cycleUpdates = [] {};
        s.refreshTargetUnits = [] {};
        s.refreshTargetHouses = [] {};
        s.unitWalk = [this](TTurnList& turn) { walked.push_back(turn.owner->Number); };
        ResetWorld();
    }
    // A fresh game for the next case: no players, an empty global heap, cycle 0.
    void ResetWorld()
    {
        ClearGlobalHeap();
        ResetGameCycle();
        kadr_now = 0;
        g_FrameCounter = 0;
        MyPlayer = 0;
        incoming.clear();
        sent.clear();
        netMessages.clear();
        ran.clear();
        walked.clear();
    }
    void TearDown() override
    {
        ClearGlobalHeap();
        GameCycleServices() = m_Saved;
        kadr_now = 0;
        g_FrameCounter = 0;
        GameFolderTest::TearDown();
    }

    std::uint32_t Cycle() const { return net ? kadr_now : g_FrameCounter; }

    // Players with the given kinds; each gets one live unit so that no turn ends it.
    void MakePlayers(const std::vector<std::uint8_t>& kinds)
    {
        for (std::uint8_t kind : kinds) {
            auto* p = new TStrateg;
            p->Number = static_cast<std::uint8_t>(g_wNumPlayer);
            p->Kind = kind;
            p->FirstUnit = new TUnit(0, 0);
            p->FirstUnit->Player = p->Number;
            g_Strateg[g_wNumPlayer++] = p;
        }
    }
    static THeapItem* Local(std::uint8_t id, std::uint32_t cycle)
    {
        THeapItem* item = NewCommand(COMMAND_CLASS_GAME, id, 0.0f, 0.0f);
        item->cikl = cycle;
        return item;
    }
    static TNetData Received(std::uint8_t player, std::uint32_t cycle, std::uint16_t sequence, std::uint8_t id)
    {
        TNetData m;
        m.PlayerSend = player;
        m.cycle = cycle;
        m.sequence = sequence;
        m.commandClass = COMMAND_CLASS_GAME;
        m.id = id;
        return m;
    }
    void Run(int cycles)
    {
        for (int i = 0; i < cycles; ++i)
            NetworkFrame();
    }

public:
    bool net = false;
    std::vector<TNetData> incoming;
    std::vector<TNetData> sent;
    std::vector<std::uint32_t> netMessages;
    std::vector<std::string> ran;
    std::vector<int> walked;

private:
    TGameCycleServices m_Saved;
};

TEST_F(GameCycleTest, RecordsRunAtTheirCycleInTheAgreedOrder)
{
    const struct {
        const char* name;
        bool net;
        std::vector<std::uint8_t> kinds;
        std::function<void(GameCycleTest&)> setup;
        int cycles;
        std::vector<std::string> ran;
    } cases[] = {
        {"a received record waits for its cycle", true, {4},
         [](GameCycleTest& t) { t.incoming = {Received(0, 3, 1000, 40)}; }, 5, {"3:0:40"}},
        {"same-cycle records run by sequence whatever their arrival", true, {4},
         [](GameCycleTest& t) {
             t.incoming = {Received(0, 2, 3000, 40), Received(0, 2, 1000, 41), Received(0, 2, 2000, 42),
                           Received(0, 1, 9000, 43)};
         },
         3, {"1:0:43", "2:0:41", "2:0:42", "2:0:40"}},
        {"local records keep their order behind received ones", true, {4},
         [](GameCycleTest& t) {
             g_Strateg[0]->AddCommand(Local(20, 2));
             g_Strateg[0]->AddCommand(Local(21, 2));
             t.incoming = {Received(0, 2, 5, 30), Received(0, 2, 1, 31)};
         },
         3, {"2:0:31", "2:0:30", "2:0:20", "2:0:21"}},
        {"a record put back during a turn runs in the next turn", false, {4},
         [](GameCycleTest&) { g_Strateg[0]->AddCommand(Local(kRequeue, 0)); }, 3, {"1:0:13", "2:0:13"}},
        {"single play runs every record when found, whatever its cycle", false, {4},
         [](GameCycleTest&) {
             g_Strateg[0]->AddCommand(Local(50, 90));
             g_Strateg[0]->AddCommand(Local(51, 0));
         },
         2, {"1:0:50", "1:0:51"}},
        {"records behind a killing command do not run", false, {4, 1},
         [](GameCycleTest&) {
             for (std::uint8_t id : {kNone, kKill, kNone, kRequeue})
                 g_Strateg[0]->AddCommand(Local(id, 0));
             g_Strateg[1]->AddCommand(Local(kNone, 0));
         },
         3, {"1:0:2", "1:0:12", "1:1:2"}},
        {"people first by number, then computer players", false, {1, 4, 5},
         [](GameCycleTest&) {
             for (int p = 0; p < 3; ++p)
                 g_Strateg[p]->AddCommand(Local(kNone, 0));
         },
         1, {"1:1:2", "1:2:2", "1:0:2"}},
        {"a record of a passed cycle is dropped", true, {4},
         [](GameCycleTest&) { g_Strateg[0]->AddCommand(Local(60, 0)); }, 3, {}},
    };
    for (const auto& c : cases) {
        ResetWorld();
        net = c.net;
        MakePlayers(c.kinds);
        c.setup(*this);
        Run(c.cycles);
        EXPECT_EQ(ran, c.ran) << c.name;
    }
}

TEST_F(GameCycleTest, APassedRecordIsLoggedOnceAndAKilledPlayersRecordsAreFreed)
{
    net = true;
    MakePlayers({4});
    g_Strateg[0]->AddCommand(Local(60, 0));
    Run(5);
    const std::string log = Log();
    EXPECT_EQ(log.find("a record of a past cycle is dropped"), log.rfind("a record of a past cycle is dropped"));
    EXPECT_NE(log.find("a record of a past cycle is dropped"), std::string::npos);
    EXPECT_EQ(g_Strateg[0]->HeapCount, 0u);
    // A player killed by its own command keeps nothing queued (the sanitiser checks the frees).
    net = false;
    for (std::uint8_t id : {kKill, kNone, kNone})
        g_Strateg[0]->AddCommand(Local(id, 0));
    Run(1);
    EXPECT_EQ(g_Strateg[0]->Dead, 1);
    EXPECT_EQ(g_Strateg[0]->HeapCount, 0u);
    EXPECT_EQ(g_Strateg[0]->HeapHead, nullptr);
}

TEST_F(GameCycleTest, TheTurnEndsWithTheUnitWalkOfLivePlayersOnly)
{
    MakePlayers({1, 4, 4});
    g_Strateg[2]->Dead = 1;
    Run(1);
    EXPECT_EQ(walked, (std::vector<int>{1, 0}));
}

TEST_F(GameCycleTest, MessagesFromUnknownSendersAreDroppedAndTheRestQueued)
{
    net = true;
    MakePlayers({4, 5});
    incoming = {Received(7, 4, 1, 70), Received(1, 4, 2, 71), Received(2, 4, 3, 72)};
    kadr_now = 1;
    EXPECT_EQ(ReceiveNetCommands(), 3);
    EXPECT_TRUE(Logged("NetData->PlayerSend>=g_wNumPlayer"));
    EXPECT_EQ(g_Strateg[1]->HeapCount, 1u);
    EXPECT_EQ(g_Strateg[0]->HeapCount, 0u);
    EXPECT_EQ(g_ReceivedTotal, 3u);
    incoming = {Received(0, 0, 1, 73)};
    ReceiveNetCommands();
    EXPECT_TRUE(Logged("!!!!!!!Message from previous cadr!!!!!!!"));
}

TEST_F(GameCycleTest, SendCommandQueuesOnlyInANetworkGameAndSendsWhenTheQueueRuns)
{
    MakePlayers({4, 5});
    // Single play: freed at once (the sanitiser checks it), nothing queued.
    SendCommand(NewNetData(COMMAND_CLASS_GAME, 32));
    EXPECT_EQ(g_Strateg[0]->HeapCount, 0u);
    net = true;
    TNetData* m = NewNetData(COMMAND_CLASS_GAME, 32);
    m->PlayerSend = 9;
    SendCommand(m);
    m = NewNetData(COMMAND_CLASS_GAME, 33);
    m->PlayerSend = 1;
    m->x = -7;
    SendCommand(m);
    EXPECT_EQ(g_Strateg[1]->HeapCount, 1u);
    EXPECT_EQ(g_Strateg[1]->HeapHead->kind, HEAP_KIND_OUTGOING);
    kadr_now = 4;
    g_ActingPlayer = 1;
    ExecuteHeap(g_Strateg[1]);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].id, 33);
    EXPECT_EQ(sent[0].x, -7);
    EXPECT_EQ(g_Strateg[1]->HeapCount, 0u);
    EXPECT_TRUE(ran.empty()) << "an outgoing record is sent, not executed";
}

TEST_F(GameCycleTest, TheGlobalHeapRunsItsRecordsAtTheirCycleAndMovesLateOnesOn)
{
    kadr_now = 5;
    THeapItem* due = Local(COMMAND_ID_NET_MESSAGE, 5);
    due->params[0] = 77;
    AddToGlobalHeap(due);
    AddToGlobalHeap(Local(COMMAND_ID_NET_MESSAGE, 3));
    AddToGlobalHeap(Local(COMMAND_ID_NET_MESSAGE, 9));
    GlobalHeapExecute();
    EXPECT_EQ(netMessages, (std::vector<std::uint32_t>{77}));
    EXPECT_TRUE(Logged("Item->cikl<kadr_now in GlobalHeapExecute"));
    std::vector<std::uint32_t> cycles;
    ForEachGlobalHeapItem([&cycles](const THeapItem& item) { cycles.push_back(item.cikl); });
    EXPECT_EQ(cycles, (std::vector<std::uint32_t>{6, 9}));
}

TEST_F(GameCycleTest, ThePathBudgetFollowsThePreviousCyclesLoad)
{
    const struct {
        std::uint32_t moves;
        std::uint16_t budget;
    } cases[] = {{0, 20}, {100, 20}, {101, 40}, {300, 40}, {301, 100}, {5000, 100}};
    for (const auto& c : cases) {
        g_PathMoveCount = c.moves;
        FrameHousekeeping();
        EXPECT_EQ(g_PathBudget, c.budget) << c.moves;
        EXPECT_EQ(g_PathMoveCount, 0u);
    }
    g_GroupOrdersUsed = 5;
    FrameHousekeeping();
    EXPECT_EQ(g_GroupOrderBudget, 1) << "the group budget stays 1";
}

TEST_F(GameCycleTest, TheLowestLivePlayerTakesTheSyncSnapshotEveryTenthCycle)
{
    net = true;
    MakePlayers({4, 5});
    g_Strateg[0]->Dead = 1;
    g_RandIndex = 1234;
    kadr_now = 9;
    Run(1); // cycle 10
    EXPECT_EQ(g_FrameCounter, 10u) << "a network game's frame counter is the cycle";
    EXPECT_EQ(g_SyncSnapshot, 1234);
    ASSERT_EQ(sent.size(), 1u) << "command 59 went out in player 1's turn";
    EXPECT_EQ(sent[0].id, COMMAND_ID_SYNC);
    EXPECT_EQ(sent[0].PlayerSend, 1);
    EXPECT_EQ(sent[0].params[0], 1234u);
    g_RandIndex = 99;
    Run(1);
    EXPECT_EQ(g_SyncSnapshot, 1234) << "only every tenth cycle";
}

} // namespace
