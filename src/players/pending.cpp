// Least bodies of player and order services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "players/command.h"
#include "players/map_mouse.h"
#include "players/strateg.h"
#include "net/net_events.h"

std::uint8_t MyPlayer = 0;
TStrateg* MyStrateg = nullptr;

plat::CriticalSection g_HeapLock;

// No queue exists yet: the record is dropped.
void TStrateg::AddCommand(THeapItem* item)
{
    std::lock_guard lock(g_HeapLock);
    delete item;
}

THeapItem* NewCommand(std::uint16_t commandClass, std::uint8_t id, float x, float y)
{
    auto* item = new THeapItem;
    item->cikl = kadr_now;
    item->commandClass = commandClass;
    item->id = id;
    item->x = x;
    item->y = y;
    return item;
}

std::uint8_t g_bNetDragging[8] = {};
TNetDragCorner g_NetDragCorner;
std::uint32_t g_NetDragCount = 0;

void PostDragEndCommand() {}
void PostMapClickCommand() {}
void PostMapOrderCommand() {}
void PostOrientationCommand() {}

void NetworkFrame() {}
void UpdateCursorMode() {}
void ProcessMapMouse() {}
void PostHotKeyCommand(int, int, int, int) {}

TStrateg* g_Strateg[8] = {};

std::uint16_t g_wNumPlayer = 0;

void ClearGlobalHeap() {}
