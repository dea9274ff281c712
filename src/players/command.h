#pragma once
// The command record: the form in which an order waits in a player's queue and is executed.
#include <cstdint>

#include "platform/threads.h"

struct THeapItem {
    std::uint8_t kind = 0;            // 0 made locally, 1 outgoing message wrapper, 2 received
    std::uint32_t cikl = 0;           // cycle at which the record may execute
    std::uint16_t sequence = 65535;
    std::uint16_t commandClass = 0;   // 1..4
    float x = 0.0f;
    float y = 0.0f;
    void* secondUnit = nullptr;
    void* unit = nullptr;
    std::uint8_t unitPlayer = 255;
    std::uint8_t secondUnitPlayer = 255;
    std::uint16_t unitIndex = 65535;
    std::uint16_t secondUnitIndex = 65535;
    std::uint8_t id = 0;
    void* house = nullptr;
    std::uint16_t houseIndex = 65535;
    std::uint8_t housePlayer = 255;
    std::uint32_t params[6] = {};
    std::uint8_t flag = 0;
    THeapItem* next = nullptr;
};

// A new local record for the current cycle; the caller owns it until it is queued.
THeapItem* NewCommand(std::uint16_t commandClass, std::uint8_t id, float x, float y);

// Guards every player's command queue and the global queue. An object that lives from static
// initialisation on, so it exists before any thread (the mouse thread, the network threads) that
// takes it; taken inside g_InputLock, never the other way round.
extern plat::CriticalSection g_HeapLock;

// Sends a network command of a player carrying one value (the building keys' commands 75, 76).
void SendKeyCommand(int commandId, std::uint8_t player, std::uint32_t value);
