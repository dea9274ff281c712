// Least bodies of player and order services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "core/memory_stream.h"
#include "devices/mouse.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "net/net_events.h"


// Groups and computer players come with the players' subsystem: no player is a computer player.
#include "players/house_orders.h"

void SendSelectedWorkersToHouse(std::uint8_t, THouse*) {}

// The extracted totals of the statistics and the assistants' switches come with the statistics
// and the dispatcher: nothing is counted.
#include "players/economy.h"

void AddExtractedResource(std::uint8_t, std::uint8_t, double) {}
std::uint8_t g_CompAssist[8] = {};
std::uint8_t g_WarAssist[8] = {};


// Players of a game: until the players' subsystem exists a player is its record alone, with a
// group manager and, for a computer player, a planner that never plans.
#include "map/map_file.h"
#include "units/house.h"


// Commands and the computer players come with their own modules: a record runs nothing, and
// computer players neither plan nor manage groups.
#include "movement/group.h"
#include "players/computer_player.h"
#include "players/strateg.h"





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
bool CheckStrategBlock(std::uint8_t player, TIfStreamMemory&, bool& inGame)
{
    inGame = false;
    return player < 8;
}
bool CheckStrategUnitsBlock(std::uint8_t, TIfStreamMemory&)
{
    return true;
}

// Advisers and unit lists come with the players' subsystem.
void SendKeyCommand(int, std::uint8_t, std::uint32_t) {}
TUnit* StrategUnitAt(std::uint8_t, std::uint32_t)
{
    return nullptr;
}

