#pragma once
// An order in its two forms: the message that travels between machines (TNetData, 47 bytes on the
// wire) and the command record that waits in a player's queue and is executed (THeapItem, 92 bytes
// in a save game). Both are read and written field by field; neither is ever copied as memory.
#include <cstdint>
#include <span>

#include "platform/threads.h"

class THouse;
class TUnit;

constexpr std::size_t NET_DATA_WIRE_SIZE = 47;
constexpr std::size_t HEAP_ITEM_SIZE = 92;
constexpr std::uint16_t COMMAND_NO_HOUSE_REF = 65535;
constexpr std::uint16_t COMMAND_NO_INDEX = 65535;
constexpr std::uint8_t COMMAND_NO_PLAYER = 255;
constexpr std::uint16_t COMMAND_LOCAL_SEQUENCE = 65535;

// Record kinds.
constexpr std::uint8_t HEAP_KIND_LOCAL = 0;
constexpr std::uint8_t HEAP_KIND_OUTGOING = 1;
constexpr std::uint8_t HEAP_KIND_RECEIVED = 2;

// Command classes.
constexpr std::uint16_t COMMAND_CLASS_SELECTION = 1;
constexpr std::uint16_t COMMAND_CLASS_OBJECTS = 2;
constexpr std::uint16_t COMMAND_CLASS_GAME = 3;
constexpr std::uint16_t COMMAND_CLASS_MOUSE = 4;

// Ids the queue itself deals in.
constexpr std::uint8_t COMMAND_ID_PATH_MOVE = 13;
constexpr std::uint8_t COMMAND_ID_REPLAY_GROUP_ORDER = 45;
constexpr std::uint8_t COMMAND_ID_GROUP_ORDER = 47;
constexpr std::uint8_t COMMAND_ID_SYNC = 59;
constexpr std::uint8_t COMMAND_ID_ECONOMY_ADVISOR = 68;
constexpr std::uint8_t COMMAND_ID_WAR_ADVISOR = 69;
constexpr std::uint8_t COMMAND_ID_KEY_STATE = 71;
constexpr std::uint8_t COMMAND_ID_NET_MESSAGE = 72;

// The order message. x and y are signed: a point left of or above the map stays negative.
struct TNetData {
    std::uint32_t cycle = 0;
    std::uint16_t sequence = 0;
    std::uint8_t PlayerSend = 0;
    std::uint8_t commandClass = 0;
    std::uint16_t id = 0; // read as its low byte
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint16_t houseRef = COMMAND_NO_HOUSE_REF; // player * 1000 + house index
    std::uint16_t unitIndex = COMMAND_NO_INDEX;
    std::uint8_t unitPlayer = COMMAND_NO_PLAYER;
    std::uint32_t params[6] = {};
    // The next message of the received list (memory only, never sent).
    TNetData* link = nullptr;
};

// A new message of the local player with no house and no unit; the caller fills in the order.
TNetData* NewNetData(std::uint16_t commandClass, std::uint16_t id);
// The 47 wire bytes of a message, and a message from them (false, nothing changed, for a short
// buffer).
void WriteNetData(const TNetData& message, std::span<std::uint8_t, NET_DATA_WIRE_SIZE> out);
bool ReadNetData(std::span<const std::uint8_t> bytes, TNetData& message);

// The command record. The objects it names are kept as (player, index) and resolved when it
// executes (ResolveHeapItemRefs); the pointer fields are never taken over from a file or a message.
struct THeapItem {
    std::uint8_t kind = HEAP_KIND_LOCAL;
    std::uint32_t cikl = 0; // cycle at which the record may execute
    std::uint16_t sequence = COMMAND_LOCAL_SEQUENCE;
    std::uint16_t commandClass = 0;
    float x = 0.0f;
    float y = 0.0f;
    TUnit* secondUnit = nullptr;
    TUnit* unit = nullptr;
    std::uint8_t unitPlayer = COMMAND_NO_PLAYER;
    std::uint8_t secondUnitPlayer = COMMAND_NO_PLAYER;
    std::uint16_t unitIndex = COMMAND_NO_INDEX;
    std::uint16_t secondUnitIndex = COMMAND_NO_INDEX;
    std::uint8_t id = 0;
    THouse* house = nullptr;
    std::uint16_t houseIndex = COMMAND_NO_INDEX;
    std::uint8_t housePlayer = COMMAND_NO_PLAYER;
    std::uint32_t params[6] = {};
    std::uint8_t flag = 0;
    // Owned payloads: the message an outgoing record carries, the group order of ids 45 and 47.
    TNetData* message = nullptr;
    void* groupOrder = nullptr;
    THeapItem* next = nullptr;
};

// A new local record for the current cycle naming no object; the caller owns it until it is queued.
THeapItem* NewCommand(std::uint16_t commandClass, std::uint8_t id, float x, float y);
// The same naming the given objects (each may be null) by owner and index.
THeapItem* NewCommandForObjects(std::uint16_t commandClass, std::uint8_t id, float x, float y, TUnit* secondUnit,
                                TUnit* unit, THouse* house);
// Frees a record with what it owns.
void FreeHeapItem(THeapItem* item);
// Frees a list linked through next.
void FreeHeapList(THeapItem* head);

// The record a received message becomes: kind 2, cycle, sequence, values and references of the
// message. The house reference splits into player (ref / 1000) and index (ref % 1000).
THeapItem* NetDataToHeapItem(const TNetData& message);

// Points the record's pointer fields at the objects its (player, index) fields name now: a unit
// that is in its owner's table and alive, a house within its owner's count that stands; null
// otherwise.
void ResolveHeapItemRefs(THeapItem& item);

// The 92 bytes of a record in a save game (pointer slots 0), and a record from them (pointers null,
// for ResolveHeapItemRefs; false, nothing changed, for a short buffer).
void WriteHeapItem(const THeapItem& item, std::span<std::uint8_t, HEAP_ITEM_SIZE> out);
bool ReadHeapItem(std::span<const std::uint8_t> bytes, THeapItem& item);

// Guards every player's command queue and the global queue. An object that lives from static
// initialisation on, so it exists before any thread (the mouse thread, the network threads) that
// takes it; taken inside g_InputLock, never the other way round.
extern plat::CriticalSection g_HeapLock;

// Sends a network command of a player carrying one value (the building keys' commands 75, 76).
void SendKeyCommand(int commandId, std::uint8_t player, std::uint32_t value);
