// Least bodies of player and order services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "players/command.h"
#include "players/map_mouse.h"
#include "players/strateg.h"
#include "net/net_events.h"
#include "map/ship_grid.h"

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

// The cycle itself is not built yet; its fixed point for the ships' tags already runs, so every
// machine refreshes them once per cycle whether or not it draws.
void NetworkFrame()
{
    RefreshShipTags();
}
void UpdateCursorMode() {}
void ProcessMapMouse() {}
void PostHotKeyCommand(int, int, int, int) {}

TStrateg* g_Strateg[8] = {};

std::uint16_t g_wNumPlayer = 0;

void ClearGlobalHeap() {}

// Prices, groups and computer players come with the players' subsystem: everything is
// affordable and free, no player is a computer player.
#include "players/house_orders.h"

bool CanAffordHouse(std::uint8_t, std::uint16_t)
{
    return true;
}
void PayForHouse(std::uint8_t, std::uint16_t) {}
void SendSelectedWorkersToHouse(std::uint8_t, THouse*) {}
void RemoveHouseFromGroups(THouse*) {}
bool IsComputerPlayer(std::uint8_t)
{
    return false;
}
bool AdvisorWorkersOption(std::uint8_t)
{
    return false;
}
float g_PowerDemand[8] = {};
bool TellGroupManagerHouseAttacked(THouse*)
{
    return false;
}

// The players' records come with the players' subsystem: their blocks are empty, and loading a
// player only gives it the house array its record would own.
#include "units/house.h"

void SaveStrateg(std::uint8_t, TOfStreamMemory&) {}
bool LoadStrategAI(std::uint8_t player, TIfStreamMemory&)
{
    if (player >= 8)
        return false;
    if (!g_pHouse[player])
        g_pHouse[player] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
    NumHouse[player] = 0;
    return g_pHouse[player] != nullptr;
}
void SaveStrategUnits(std::uint8_t, TOfStreamMemory&) {}
bool LoadStrateg(std::uint8_t, TIfStreamMemory&)
{
    return true;
}
bool IsPlayerInGame(std::uint8_t player)
{
    return player < g_wNumPlayer;
}
std::u16string GetPlayerName(std::uint8_t)
{
    return {};
}

// Selections, advisers and unit lists come with the players' subsystem.
void SendKeyCommand(int, std::uint8_t, std::uint32_t) {}
void ClearSelection(std::uint8_t) {}
bool AdvisorBuildHouse(std::uint8_t, std::uint16_t)
{
    return false;
}
TUnit* StrategUnitAt(std::uint8_t, std::uint32_t)
{
    return nullptr;
}
