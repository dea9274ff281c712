#pragma once
// The lock-step game cycle: once per frame NetworkFrame runs the global queue, the timed work of
// the cycle and one turn per player (people first, by number, then computer players, by number);
// each turn executes the player's due command records. Every change a player makes passes through
// these queues, so all machines apply the same records at the same cycle.
//
// Threads: the queues' heads, tails and counts only under g_HeapLock (the mouse thread and the
// network receiver append); everything else here belongs to the main thread.
#include <cstdint>
#include <functional>

struct THeapItem;
struct TNetData;
class TStrateg;
struct TTurnList;
struct TUnitDrawRecord;

// Counters of the cycle.
extern std::uint32_t g_ExecutedCount;      // records taken for execution this cycle
extern std::uint32_t g_ReceivedTotal;      // received messages turned into records
extern std::uint32_t g_PathMoveCount;      // path-move commands executed this cycle
extern std::uint32_t g_CompPathMoveCount;  // of those, by computer players
// Budgets: path moves per cycle (30 at start; then 20, 40 or 100 by the previous cycle's load),
// group orders per three cycles.
extern std::uint16_t g_PathBudget;
extern std::uint8_t g_GroupOrderBudget;
extern std::uint8_t g_GroupOrdersUsed;
// g_FrameCounter % 50 and % 1000, derived every cycle.
extern std::uint8_t g_FrameMod50;
extern std::uint16_t g_FrameMod1000;
// The shared random index as the lowest live player's turn found it at the last tenth cycle.
extern std::uint16_t g_SyncSnapshot;
// The debug overlay's check counter: one more every 50 cycles in the local player's turn.
extern std::uint32_t g_CheckCounter;
// Whether this machine's start command 71 has executed (the players' modifier keys themselves are
// g_ShiftDown and g_CtrlDown).
extern std::uint8_t g_StartStateSent;

// One game cycle.
void NetworkFrame();
// One player's turn.
void StrategTurn(TStrateg* player);
// Executes the player's queue.
void ExecuteHeap(TStrateg* player);
// Appends to the global heap under g_HeapLock.
void AddToGlobalHeap(THeapItem* item);
// The entry of every order a person gives through the interface; owns the message from here on.
void SendCommand(TNetData* message);
// Turns the received messages into records of their senders' queues; how many.
std::int32_t ReceiveNetCommands();
// Orders the received records of a list by (cycle, sequence), stably, ahead of the others, which
// keep their order.
void SortReceivedCommands(THeapItem*& head);
bool CompareHeapItems(const THeapItem& a, const THeapItem& b);
void GlobalHeapExecute();
void FrameHousekeeping();
// The order the map draws a draw-order list in: by y, then x, signed.
bool DrawOrderLess(const TUnitDrawRecord& a, const TUnitDrawRecord& b);

// A new game's cycle state: counters, budgets, flags and an empty global heap.
void ResetGameCycle();
// Frees every record of the global heap.
void FreeGlobalHeap();
// Records waiting in the global heap (tests and the checksum read it under g_HeapLock).
std::uint32_t GlobalHeapCount();
// Visits the global heap's records in order, under g_HeapLock.
void ForEachGlobalHeapItem(const std::function<void(const THeapItem&)>& visit);

// What the cycle calls in subsystems built elsewhere. The default table binds the modules that
// exist; tests put recording stand-ins here.
struct TGameCycleServices {
    // Network play.
    std::function<bool()> isNetGame;
    std::function<bool()> isNetConnected;
    std::function<bool()> netCycleGate;
    std::function<void(TNetData*)> netSendCommand;
    std::function<TNetData*()> takeReceivedMessages;
    std::function<void(THeapItem&)> handleNetMessage;
    std::function<bool()> sendBlocked; // paused or a front menu window open
    // Players: the dispatcher, defeat, the computer player and its group manager.
    std::function<bool(THeapItem*)> executeCommand;
    std::function<void(TStrateg*)> strategDead;
    std::function<void(TStrateg*)> groupManagerUpdate;
    std::function<void(TStrateg*)> computerStep;
    // Interface.
    std::function<bool(std::uint8_t player)> missionOver;
    std::function<void(std::uint8_t player)> marketTick;
    // Timed work of the cycle and the unit walk.
    std::function<void()> cycleUpdates;
    std::function<void()> refreshTargetUnits;
    std::function<void()> refreshTargetHouses;
    std::function<void(TTurnList&)> unitWalk;

    static TGameCycleServices Default();
};
TGameCycleServices& GameCycleServices();
