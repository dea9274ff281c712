#include "players/game_cycle.h"

#include <algorithm>
#include <mutex>

#include "combat/cycle_updates.h"
#include "combat/house_events.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "devices/cursor_state.h"
#include "devices/mouse.h"
#include "map/map_grid.h"
#include "map/map_scene.h"
#include "map/ship_grid.h"
#include "movement/path_cache.h"
#include "movement/path_search.h"
#include "net/network.h"
#include "players/command.h"
#include "players/computer_player.h"
#include "players/defeat.h"
#include "players/dispatcher.h"
#include "players/economy.h"
#include "players/hot_keys.h"
#include "players/map_mouse.h"
#include "players/strateg.h"
#include "ui/menus.h"
#include "ui/player_services.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

std::uint32_t g_ExecutedCount = 0;
std::uint32_t g_ReceivedTotal = 0;
std::uint32_t g_PathMoveCount = 0;
std::uint32_t g_CompPathMoveCount = 0;
std::uint16_t g_PathBudget = 30;
std::uint8_t g_GroupOrderBudget = 1;
std::uint8_t g_GroupOrdersUsed = 0;
std::uint8_t g_FrameMod50 = 0;
std::uint16_t g_FrameMod1000 = 0;
std::uint16_t g_SyncSnapshot = 0;
std::uint32_t g_CheckCounter = 0;
std::uint8_t g_StartStateSent = 0;

namespace {

// The global heap: under g_HeapLock.
THeapItem* g_GlobalHeapHead = nullptr;
THeapItem* g_GlobalHeapTail = nullptr;

void AppendLocked(THeapItem*& head, THeapItem*& tail, THeapItem* item)
{
    item->next = nullptr;
    if (head == nullptr)
        head = item;
    else
        tail->next = item;
    tail = item;
}

THeapItem* TakeGlobalHeap()
{
    std::lock_guard lock(g_HeapLock);
    THeapItem* head = g_GlobalHeapHead;
    g_GlobalHeapHead = g_GlobalHeapTail = nullptr;
    return head;
}

bool IsAircraftKind(std::uint8_t kind)
{
    return kind == UNIT_KIND_FIGHTER || kind == UNIT_KIND_AIRCRAFT || kind == UNIT_KIND_BOMBER;
}

// A unit still in play on the map: an aircraft counts only while its cell lies inside the map.
bool HasLiveUnitOnMap(const TStrateg& player)
{
    for (const TUnit* u = player.FirstUnit; u != nullptr; u = u->m_pNext) {
        if (u->Dead != 0)
            continue;
        const bool aircraft = u->Basic != nullptr && IsAircraftKind(u->Basic->m_Kind);
        if (!aircraft || (u->MapX < g_MapWidth && u->MapY < g_MapHeight))
            return true;
    }
    return false;
}

// Messages built by this machine for one of its players.
TNetData* NewPlayerMessage(std::uint8_t player, std::uint8_t id)
{
    TNetData* message = NewNetData(COMMAND_CLASS_GAME, id);
    message->PlayerSend = player;
    return message;
}

// The three start messages of a network game: the advisor switches, then the modifier keys.
void SendStartMessages(TGameCycleServices& s)
{
    const std::uint8_t me = MyPlayer;
    const int row = me < ADVISOR_PLAYERS ? me : 0;
    TStrateg* local = me < 8 ? g_Strateg[me] : nullptr;
    if (local != nullptr) {
        TNetData* economy = NewPlayerMessage(me, COMMAND_ID_ECONOMY_ADVISOR);
        for (int k = 0; k < 6; ++k)
            economy->params[k] = g_AdvisorOptions[row][k];
        SendCommand(economy);
        TNetData* war = NewPlayerMessage(me, COMMAND_ID_WAR_ADVISOR);
        war->x = local->GroupManager ? local->GroupManager->WarTemplate : 2;
        for (int k = 0; k < 4; ++k)
            war->params[k] = g_WarAdvisorOptions[row][k];
        SendCommand(war);
        // Until the two commands execute, every option of this player is on.
        std::fill(std::begin(g_AdvisorOptions[row]), std::end(g_AdvisorOptions[row]), 1);
        std::fill(std::begin(g_WarAdvisorOptions[row]), std::end(g_WarAdvisorOptions[row]), 1);
    }
    if (s.isNetGame() && g_StartStateSent == 0) {
        TNetData* keys = NewPlayerMessage(me, COMMAND_ID_KEY_STATE);
        keys->params[0] = me < 8 && g_ShiftDown[me] ? 1 : 0;
        keys->params[1] = me < 8 && g_CtrlDown[me] ? 1 : 0;
        SendCommand(keys);
    }
}

void SortDrawList(std::vector<TUnitDrawRecord>& list)
{
    std::sort(list.begin(), list.end(), DrawOrderLess);
}

} // namespace

// ---- queues ------------------------------------------------------------------------------------

void AddToGlobalHeap(THeapItem* item)
{
    if (item == nullptr)
        return;
    std::lock_guard lock(g_HeapLock);
    AppendLocked(g_GlobalHeapHead, g_GlobalHeapTail, item);
}

void FreeGlobalHeap()
{
    FreeHeapList(TakeGlobalHeap());
}

std::uint32_t GlobalHeapCount()
{
    std::uint32_t count = 0;
    ForEachGlobalHeapItem([&count](const THeapItem&) { ++count; });
    return count;
}

void ForEachGlobalHeapItem(const std::function<void(const THeapItem&)>& visit)
{
    std::lock_guard lock(g_HeapLock);
    for (const THeapItem* item = g_GlobalHeapHead; item != nullptr; item = item->next)
        visit(*item);
}

void ResetGameCycle()
{
    FreeGlobalHeap();
    g_ExecutedCount = 0;
    g_ReceivedTotal = 0;
    g_PathMoveCount = 0;
    g_CompPathMoveCount = 0;
    g_PathBudget = 30;
    g_GroupOrderBudget = 1;
    g_GroupOrdersUsed = 0;
    g_FrameMod50 = 0;
    g_FrameMod1000 = 0;
    g_SyncSnapshot = 0;
    g_CheckCounter = 0;
    g_PathWorkCounter = 0;
    if (GameCycleServices().isNetGame()) {
        std::fill(std::begin(g_ShiftDown), std::end(g_ShiftDown), 0);
        std::fill(std::begin(g_CtrlDown), std::end(g_CtrlDown), 0);
    }
    g_StartStateSent = 0;
    ResetDebugData();
    g_UnitsDrawSorted.clear();
    g_UnitsDrawTinted.clear();
    g_UnitsDrawLate.clear();
    std::lock_guard lock(g_InputLock);
    g_NetDragCount = 0;
}

bool CompareHeapItems(const THeapItem& a, const THeapItem& b)
{
    if (a.cikl != b.cikl)
        return a.cikl < b.cikl;
    return a.sequence < b.sequence;
}

void SortReceivedCommands(THeapItem*& head)
{
    if (head == nullptr || head->next == nullptr)
        return;
    std::vector<THeapItem*> received;
    std::vector<THeapItem*> others;
    for (THeapItem* item = head; item != nullptr; item = item->next)
        (item->kind == HEAP_KIND_RECEIVED ? received : others).push_back(item);
    if (received.empty())
        return;
    std::stable_sort(received.begin(), received.end(),
                     [](const THeapItem* a, const THeapItem* b) { return CompareHeapItems(*a, *b); });
    received.insert(received.end(), others.begin(), others.end());
    for (std::size_t i = 0; i + 1 < received.size(); ++i)
        received[i]->next = received[i + 1];
    received.back()->next = nullptr;
    head = received.front();
}

void SendCommand(TNetData* message)
{
    if (message == nullptr)
        return;
    TGameCycleServices& s = GameCycleServices();
    // Single play acts directly; a message that is not queued is freed here, whatever refused it.
    if (s.sendBlocked() || !s.isNetGame() || message->PlayerSend >= g_wNumPlayer ||
        g_Strateg[message->PlayerSend] == nullptr) {
        delete message;
        return;
    }
    THeapItem* item = NewCommand(message->commandClass, static_cast<std::uint8_t>(message->id), 0.0f, 0.0f);
    item->kind = HEAP_KIND_OUTGOING;
    item->cikl = kadr_now;
    item->message = message;
    g_Strateg[message->PlayerSend]->AddCommand(item);
}

std::int32_t ReceiveNetCommands()
{
    TGameCycleServices& s = GameCycleServices();
    std::int32_t count = 0;
    TNetData* message = s.takeReceivedMessages ? s.takeReceivedMessages() : nullptr;
    while (message != nullptr) {
        TNetData* next = message->link;
        ++count;
        if (message->PlayerSend >= g_wNumPlayer || g_Strateg[message->PlayerSend] == nullptr) {
            // No queue to put it in: dropped, on every machine alike.
            ReportError("NetData->PlayerSend>=g_wNumPlayer");
        } else {
            THeapItem* item = NetDataToHeapItem(*message);
            if (kadr_now > item->cikl)
                ReportError("!!!!!!!Message from previous cadr!!!!!!!");
            g_Strateg[message->PlayerSend]->AddCommand(item);
        }
        delete message;
        message = next;
    }
    g_ReceivedTotal += static_cast<std::uint32_t>(count);
    return count;
}

void GlobalHeapExecute()
{
    THeapItem* item = TakeGlobalHeap();
    while (item != nullptr) {
        THeapItem* next = item->next;
        if (item->cikl == kadr_now) {
            if (item->id == COMMAND_ID_NET_MESSAGE && !RunPlayerLeftRecord(*item))
                GameCycleServices().handleNetMessage(*item);
            FreeHeapItem(item);
        } else {
            if (item->cikl < kadr_now) {
                ReportError("Item->cikl<kadr_now in GlobalHeapExecute");
                item->cikl = kadr_now + 1;
            }
            AddToGlobalHeap(item);
        }
        item = next;
    }
}

void ExecuteHeap(TStrateg* player)
{
    if (player == nullptr)
        return;
    TGameCycleServices& s = GameCycleServices();
    THeapItem* item = player->TakeCommands();
    const bool net = s.isNetGame();
    if (net)
        SortReceivedCommands(item);
    while (item != nullptr) {
        THeapItem* next = item->next;
        ++g_ExecutedCount;
        if (net && item->kind == HEAP_KIND_OUTGOING) {
            s.netSendCommand(item->message);
            FreeHeapItem(item);
        } else if (net && item->cikl > kadr_now) {
            player->AddCommand(item);
        } else if (net && item->cikl < kadr_now) {
            // Its cycle will never come again: kept, it would be put back every turn for good.
            ReportErrorInt("ExecuteHeap: a record of a past cycle is dropped, cycle ", item->cikl);
            FreeHeapItem(item);
        } else {
            ResolveHeapItemRefs(*item);
            const bool requeued = s.executeCommand(item);
            if (!requeued)
                FreeHeapItem(item);
            if (player->Dead != 0) {
                // The acting player is gone: what it had still to run goes with it.
                FreeHeapList(next);
                return;
            }
        }
        item = next;
    }
}

// ---- the cycle ---------------------------------------------------------------------------------

bool DrawOrderLess(const TUnitDrawRecord& a, const TUnitDrawRecord& b)
{
    if (a.key2 != b.key2)
        return a.key2 < b.key2;
    return a.key1 < b.key1;
}

void FrameHousekeeping()
{
    TGameCycleServices& s = GameCycleServices();
    if (g_FrameCounter % 33 == 0)
        s.refreshTargetUnits();
    if (g_FrameCounter % 62 == 0)
        s.refreshTargetHouses();
    if (g_GroupOrdersUsed >= g_GroupOrderBudget) {
        const int raised = g_GroupOrderBudget + 1;
        g_GroupOrderBudget = static_cast<std::uint8_t>(raised > 1 ? 1 : raised);
    } else {
        g_GroupOrderBudget = 1;
    }
    g_PathBudget = g_PathMoveCount > 300 ? 100 : g_PathMoveCount > 100 ? 40 : 20;
    g_PathMoveCount = 0;
    if (g_FrameCounter % 3 == 0)
        g_GroupOrdersUsed = 0;
    if (g_MoveCountdown != 0)
        --g_MoveCountdown;
    g_UnitsDrawSorted.clear();
    g_UnitsDrawTinted.clear();
    g_UnitsDrawLate.clear();
    ClearUpkeepMarker();
    g_PathWorkCounter = 0;
    g_ExecutedCount = 0;
    if (!s.isNetGame())
        return;
    TNetData* drag = nullptr;
    {
        std::lock_guard lock(g_InputLock);
        if (g_NetDragCount != 0 && g_bLButtonHeld && g_bLPressOnMap) {
            // A frame being dragged is selected live on every machine.
            drag = NewNetData(COMMAND_CLASS_MOUSE, 27);
            drag->PlayerSend = MyPlayer;
            drag->x = g_NetDragCorner.x;
            drag->y = g_NetDragCorner.y;
        }
        g_NetDragCount = 0;
    }
    if (drag != nullptr)
        SendCommand(drag);
    ResetNetSendCount();
}

void StrategTurn(TStrateg* p)
{
    if (p == nullptr)
        return;
    TGameCycleServices& s = GameCycleServices();
    const std::uint8_t me = p->Number;
    std::uint16_t lowest = 0;
    while (lowest < g_wNumPlayer && (g_Strateg[lowest] == nullptr || g_Strateg[lowest]->Dead != 0))
        ++lowest;
    if (lowest == me && g_FrameCounter % 10 == 0) {
        // Taken before this turn's own draws, in the same turn on every machine.
        g_SyncSnapshot = RandSyncValue();
        if (s.isNetConnected()) {
            TNetData* sync = NewPlayerMessage(me, COMMAND_ID_SYNC);
            sync->params[0] = g_RandIndex;
            SendCommand(sync);
        }
    }
    if (p->Dead != 0)
        return;
    g_ActingPlayer = me;
    if (g_FrameCounter % 1000 == 10) {
        const std::uint16_t i = p->StatIndex;
        p->TimeRing[i] = plat::GetTickCountMs() - p->CreationTick;
        for (int k = 0; k < STRATEG_RESOURCE_PAIRS; ++k)
            p->History[k][i] = p->Res[k].recorded;
        p->StatIndex = static_cast<std::uint16_t>(i + 1 >= STRATEG_STAT_RING ? 0 : i + 1);
    }
    if (g_FrameCounter % 20 == 0)
        s.marketTick(me);
    if (g_FrameCounter % 50 == me) {
        if (me == MyPlayer)
            ++g_CheckCounter;
        if (s.missionOver(me))
            return;
        if (!HasLiveUnitOnMap(*p)) {
            bool anyOver = false;
            for (std::uint16_t i = 0; i < g_wNumPlayer && !anyOver; ++i) {
                const TStrateg* other = g_Strateg[i];
                if (other != nullptr && (other->Dead == 0 || other == p))
                    anyOver = s.missionOver(static_cast<std::uint8_t>(i));
            }
            if (!anyOver || p->GroupManager)
                s.strategDead(p);
            return;
        }
    }
    if (p->Dead == 0)
        s.groupManagerUpdate(p);
    if (p->Kind == PLAYER_KIND_COMPUTER || g_CompAssist[me] != 0) {
        const std::uint8_t level = p->GroupManager ? p->GroupManager->HardLevel : 0;
        const std::uint32_t period = level == 1 ? 200 : level == 2 ? 100 : 60;
        if (g_FrameCounter % period == static_cast<std::uint32_t>(me) * 6)
            s.computerStep(p);
    }
    ExecuteHeap(p);
    if (p->Dead != 0)
        return;
    p->Scratch.Free();
    s.unitWalk(p->Scratch);
}

void NetworkFrame()
{
    TGameCycleServices& s = GameCycleServices();
    if (!s.netCycleGate())
        return;
    const bool net = s.isNetGame();
    if (kadr_now == 1 && net)
        SendStartMessages(s);
    if (net)
        GlobalHeapExecute();
    g_FrameCounter = net ? kadr_now : g_FrameCounter + 1;
    g_FrameMod50 = static_cast<std::uint8_t>(g_FrameCounter % 50);
    g_FrameMod1000 = static_cast<std::uint16_t>(g_FrameCounter % 1000);
    s.cycleUpdates();
    FrameHousekeeping();
    ReceiveNetCommands();
    TStrateg* order[8] = {};
    int n = 0;
    for (std::uint16_t i = 0; i < g_wNumPlayer && i < 8; ++i)
        if (g_Strateg[i] != nullptr && g_Strateg[i]->Kind != PLAYER_KIND_COMPUTER)
            order[n++] = g_Strateg[i];
    for (std::uint16_t i = 0; i < g_wNumPlayer && i < 8; ++i)
        if (g_Strateg[i] != nullptr && g_Strateg[i]->Kind == PLAYER_KIND_COMPUTER)
            order[n++] = g_Strateg[i];
    for (int k = 0; k < n; ++k)
        StrategTurn(order[k]);
    SortDrawList(g_UnitsDrawLate);
    SortDrawList(g_UnitsDrawTinted);
    SortDrawList(g_UnitsDrawSorted);
}

// ---- the services ------------------------------------------------------------------------------

TGameCycleServices TGameCycleServices::Default()
{
    TGameCycleServices s;
    s.isNetGame = ::IsNetGame;
    s.isNetConnected = ::IsNetConnected;
    s.netCycleGate = ::NetCycleGate;
    s.netSendCommand = ::NetSendCommand;
    s.takeReceivedMessages = ::TakeReceivedMessages;
    s.handleNetMessage = [](THeapItem& item) { ::HandleNetMessage(item.params[0], static_cast<std::intptr_t>(item.params[1])); };
    s.sendBlocked = [] { return g_bPaused != 0 || g_MainMenuWindow != nullptr; };
    s.executeCommand = ::ExecuteCommand;
    s.strategDead = ::StrategDead;
    s.groupManagerUpdate = ::GroupManagerUpdate;
    s.computerStep = ::ComputerPlayerStep;
    s.missionOver = ::MissionTimerDialog;
    s.marketTick = ::MarketTick;
    s.cycleUpdates = [] {
        UpdateTimedEffects();
        UpdateShots();
        RefreshPathCacheTick();
        UpdateTimedSigns();
        // The ships' grid tags are simulation state: refreshed once per cycle, drawn or not.
        RefreshShipTags();
    };
    s.refreshTargetUnits = ::RefreshTargetGridUnits;
    s.refreshTargetHouses = ::RefreshTargetGridHouses;
    s.unitWalk = ::UnitWalk;
    return s;
}

TGameCycleServices& GameCycleServices()
{
    static TGameCycleServices services = TGameCycleServices::Default();
    return services;
}
