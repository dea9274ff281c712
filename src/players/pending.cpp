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

// Advisers and unit lists come with the players' subsystem.
void SendKeyCommand(int, std::uint8_t, std::uint32_t) {}
TUnit* StrategUnitAt(std::uint8_t, std::uint32_t)
{
    return nullptr;
}

