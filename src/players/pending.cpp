// Least bodies of player and order services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "devices/mouse.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/map_mouse.h"
#include "players/strateg.h"
#include "net/net_events.h"


std::uint8_t g_bNetDragging[8] = {};
TNetDragCorner g_NetDragCorner;
std::uint32_t g_NetDragCount = 0;

void PostDragEndCommand() {}
void PostMapClickCommand() {}
void PostMapOrderCommand() {}
void PostOrientationCommand() {}

void UpdateCursorMode() {}
void ProcessMapMouse() {}


// No selection exists yet.
THouse* GetSingleSelectedHouse(std::uint8_t)
{
    return nullptr;
}


// Groups and computer players come with the players' subsystem: no player is a computer player.
#include "players/house_orders.h"

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
bool TellGroupManagerHouseAttacked(THouse*)
{
    return false;
}

// The extracted totals of the statistics and the assistants' switches come with the statistics
// and the dispatcher: nothing is counted.
#include "players/economy.h"

void AddExtractedResource(std::uint8_t, std::uint8_t, double) {}
std::uint8_t g_CompAssist[8] = {};
std::uint8_t g_WarAssist[8] = {};

// The selection comes with the players' subsystem: a unit leaves the selection by its flag alone.
#include "players/selection.h"
#include "units/unit.h"

void DeleteSelection(std::uint8_t, TUnit* unit)
{
    if (unit == nullptr)
        return;
    unit->Selected = 0;
    unit->m_pSelectionNode = nullptr;
}

// Players of a game: until the players' subsystem exists a player is its record alone, with a
// group manager and, for a computer player, a planner that never plans.
#include "map/map_file.h"
#include "units/house.h"


// Commands and the computer players come with their own modules: a record runs nothing, and
// computer players neither plan nor manage groups.
#include "players/computer_player.h"

void GroupManagerUpdate(TStrateg*) {}
void ComputerPlayerStep(TStrateg*) {}
void FreeSelectionList(void*& head)
{
    head = nullptr;
}


void UpdateAIArmy(TStrategAI*) {}

void InitSelection() {}
void FreeSelection() {}
void ShowGroupWindow() {}

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

// Selection, the map mouse's handlers and the group manager's groups come with their own modules:
// the commands that reach them select, order and find nothing.
void SelectAll(std::uint8_t) {}
void SelectUnitsInRect(std::uint8_t, const std::uint32_t*) {}
void SelectSameTypes(std::uint8_t) {}
void SelectSameTypesInRect(std::uint8_t, const std::uint32_t*) {}
void SelectWorkersInRect(std::uint8_t, const std::uint32_t*) {}
void SelectUnitsFromGroup(std::uint8_t, std::uint32_t) {}
void StoreGroup(std::uint8_t, std::uint32_t) {}
void FilterSelectionByType(std::uint8_t, std::int32_t) {}
void DeselectByKind(std::uint8_t, std::int32_t) {}
void SelectIdleWorkers(std::uint8_t) {}
void SelectAtPointOrFrame(std::uint8_t, std::int32_t, std::int32_t) {}
void OrderSelectionToPoint(std::uint8_t, std::int32_t, std::int32_t) {}
void MousePressAtPoint(std::uint8_t, std::int32_t, std::int32_t) {}
void OrientSelection(std::uint8_t, std::uint8_t, float) {}
void SelectSameTypeOnScreen(std::uint8_t, std::int32_t, std::int32_t, const std::uint32_t*) {}
TGroup* FindManagedGroup(std::uint8_t, std::uint32_t)
{
    return nullptr;
}
