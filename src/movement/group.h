#pragma once
// Unit groups: several units moved as one body. A group keeps its members in numbered slots, lays
// the slots out as a formation (rows and columns turned to face an orient around a centre), walks
// the body along one path found for the whole group, keeps one speed for all (the slowest
// member's, a little reduced) and reacts when a member is attacked.
//
// Group actions that start movement are metered by the cycle's group budget (players/game_cycle.h):
// over the budget, forming and ordering are queued as commands 45 and 47 of the owner's queue for
// the next cycle, so every machine defers alike.
//
// Shared random table draws (the index advances by the count given):
// - each jittered slot of a layout: 2 draws on x, then 2 on y (the second of each pair skipped);
// - a slot that fails its validation: 1;
// - each front-row slot of a march step: 1 on x, 1 on y;
// - a layout without a head unit: 1 for the orient;
// - GoByOrder: 2 per member for kinds 0, 1 and 4.
//
// Threads: main thread only (the game cycle).
#include <cstdint>
#include <vector>

#include "movement/word_list.h"

class TUnit;
class TGroup;
class TOfStreamMemory;
class TIfStreamMemory;

// Order kinds of a group.
constexpr std::uint8_t GROUP_ORDER_NONE = 0;
constexpr std::uint8_t GROUP_ORDER_GO = 1;
constexpr std::uint8_t GROUP_ORDER_HOUSE = 2;
constexpr std::uint8_t GROUP_ORDER_UNIT = 3;
constexpr std::uint8_t GROUP_ORDER_OBJECT = 4;
constexpr std::uint8_t GROUP_ORDER_ENTER = 6;

constexpr std::uint16_t GROUP_NO_HEAD = 65535;
constexpr std::uint8_t GROUP_NO_ORIENT = 255;
constexpr std::uint32_t GROUP_NEW_ID = 99999;

// One queued order of a group.
struct TGroupOrderNode {
    std::uint8_t kind = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint8_t a = 0;
    std::uint16_t b = 0;
};

// What a deferred forming (command 45) or order (command 47) carries: the 28-byte record's fields,
// the group, and for a forming its unit list.
struct TGroupOrder {
    TGroup* group = nullptr;
    std::uint32_t groupId = 0;
    std::uint8_t owner = 0;
    bool forming = false;
    std::uint8_t kind = 0; // the order kind
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint8_t a = 0;
    std::uint16_t b = 0;
    std::uint8_t modeA = 0;
    std::uint8_t formKind = 0;
    std::uint8_t columns = 0;
    std::vector<TUnit*> units;
};

class TGroup {
public:
    explicit TGroup(std::uint8_t owner);
    ~TGroup();
    TGroup(const TGroup&) = delete;
    TGroup& operator=(const TGroup&) = delete;

    // Builds the group of the listed units (see the throttle above).
    void FormGroup(TUnit* const* units, std::uint16_t count, std::uint8_t modeA, std::uint8_t kind,
                   std::uint8_t columns, std::uint8_t orderKind, std::int32_t x, std::int32_t y, std::uint8_t a,
                   std::uint16_t b, std::uint8_t formationMode);
    void GiveOrder(std::uint8_t kind, std::int32_t x, std::int32_t y, std::uint8_t a, std::uint16_t b);
    // The replay of a deferred order or forming.
    void GiveOrderFromRecord(const TGroupOrder& record);
    void ReplayForming(const TGroupOrder& record);
    // False when the group became empty.
    bool RemoveUnit(TUnit* unit);
    // Lays the slots out for the wanted orient around the order point; send also moves the members.
    void MoveInFormation(bool send);
    void OnAttacked(std::int32_t x, std::int32_t y, TUnit* attacker);
    // Hands the current order to the members one by one (the group gives up its formation).
    void GoByOrder(bool keepMembers);
    void ClearOrderQueue();
    void QueueOrder(const TGroupOrderNode& node);
    void SelectUnits();
    void DeselectUnits();
    bool HasUnitOfType(std::uint16_t type) const;
    // Once per cycle.
    void MoveStep();

    // The data of the group, in its saved order.
    std::vector<TUnit*> Slots;
    std::vector<std::int32_t> SlotX, SlotY;
    std::vector<std::uint8_t> SlotBytes;
    std::vector<std::int32_t> PathX, PathY;
    std::vector<std::uint8_t> PathOrient;
    std::uint16_t PathIndex = 0;
    std::uint16_t SlotCount = 0;
    std::uint16_t Capacity = 0;
    std::uint16_t LiveCount = 0;
    std::uint16_t HalfCount = 0;
    std::uint8_t FormationKind = 1;
    std::uint8_t SpacingFactor = 1;
    std::uint8_t Columns = 1;
    std::uint16_t HeadPoz = GROUP_NO_HEAD;
    float TargetX = 0.0f, TargetY = 0.0f;
    std::uint8_t SlowedCounter = 0;
    std::uint8_t WantedOrient = GROUP_NO_ORIENT;
    float FormationWidth = -10.0f;
    std::uint16_t StepCountdown = 0;
    std::uint8_t Busy = 0;
    std::vector<TGroupOrderNode> OrderQueue;
    std::uint8_t FormationMode = 1;
    std::uint8_t Selected = 0;
    std::uint8_t WindowFlag = 0;
    std::uint32_t AlarmCountdown = 0;
    std::uint8_t VehicleGroup = 0;
    std::uint8_t GatherRetries = 0;
    std::uint16_t ReactionCounter = 0;
    std::uint8_t HasKind7 = 0, HasKind10 = 0;
    std::uint8_t FormingOrderKind = 0;
    std::uint8_t Owner = 0;
    std::uint8_t OrderKind = 0, OrderA = 0;
    std::uint16_t OrderB = 0;
    std::int32_t OrderX = 0, OrderY = 0;
    std::uint32_t Id = GROUP_NEW_ID;
    std::uint8_t FormationActive = 1;
    std::uint16_t Counter = 0;
    std::uint8_t Disbanded = 0;
    float Speed = 10.0f;
    float SpeedFactor = 1.0f;
    std::uint8_t FormationOrient = 5;
    TWordList Records;

    std::uint16_t PathLength() const { return static_cast<std::uint16_t>(PathX.size()); }

private:
    friend void SaveGroup(const TGroup& group, TOfStreamMemory& out);
    friend bool LoadGroup(TGroup& group, TIfStreamMemory& in);
    bool Throttled(bool forming, const TGroupOrderNode& order, const TGroupOrder* forming45);
    void ReleaseMembers();
    void StoreOrder(std::uint8_t kind, std::int32_t x, std::int32_t y, std::uint8_t a, std::uint16_t b);
    void OrderStep();
    void ComputeFormationPath();
    void EvaluateCoords();
    void ChooseHead();
    void LayOut(std::int32_t ox, std::int32_t oy, bool anchorSlot0);
    void SendMembers(bool send);
    bool ValidateSlot(std::uint16_t i);
    void RecomputeSpeed();
    void RecomputeKinds();
    void SlowDown(std::uint8_t counter);
    void MarchStep();
    void Gather();
    bool OrderSpecificStep();
    std::uint16_t SlowestIgnored = 0;
    float UnslowedSpeed = 10.0f;
};

// The groups of every player (owned here until the group manager owns them).
TGroup* NewGroup(std::uint8_t owner);
const std::vector<TGroup*>& PlayerGroups(std::uint8_t owner);
bool IsLiveGroup(const TGroup* group);
// The move step of each group of the player; disbanded groups are destroyed.
void UpdateGroups(std::uint8_t owner);
// Cycles until the local player hears of another group under attack (shared by all groups).
std::uint32_t GroupAlarmCountdown();
// A unit leaving its group for good (death, a building, a transport).
void LeaveGroup(TUnit* unit);
// A group's own block of the owner's group-manager save: its value fields as a 128-byte head,
// its order queue, its members by the owner's table index, slot points and bytes, and its path.
// Loading refuses (logged, false) a block cut short or with counts or members out of range; the
// group is changed only when the whole block was read.
constexpr std::int32_t GROUP_HEAD_BYTES = 128;
constexpr std::int32_t GROUP_ORDER_NODE_BYTES = 16;
void SaveGroup(const TGroup& group, TOfStreamMemory& out);
bool LoadGroup(TGroup& group, TIfStreamMemory& in);
