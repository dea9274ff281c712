// Least bodies of player and order services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "devices/mouse.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "net/net_events.h"


void PostHotKeyCommand(int, int, int, int) {}


// Prices, groups and computer players come with the players' subsystem: everything is
// affordable and free, no player is a computer player.
#include "players/house_orders.h"

bool CanAffordHouse(std::uint8_t, std::uint16_t)
{
    return true;
}
void PayForHouse(std::uint8_t, std::uint16_t) {}
void SendSelectedWorkersToHouse(std::uint8_t, THouse*) {}
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

// The player record's resources, population and relations come with the players' subsystem: no
// player holds anything, and nothing changes.
#include "players/economy.h"

double GetSpendableResource(std::uint8_t, std::uint8_t)
{
    return 0.0;
}
void AddResourceAmount(std::uint8_t, std::uint8_t, double) {}
void AddExtractedResource(std::uint8_t, std::uint8_t, double) {}
bool ResourceFellSinceSample(std::uint8_t, std::uint8_t)
{
    return false;
}
void SubtractCost(std::uint8_t, const std::int32_t*) {}
std::int32_t GetPopulation(std::uint8_t)
{
    return 0;
}
std::int32_t GetPopulationCap(std::uint8_t)
{
    return 0;
}
void AddPopulationCap(std::uint8_t, std::int32_t) {}
std::uint8_t GetPlayerRelation(std::uint8_t, std::uint8_t)
{
    return 0;
}
bool IsPlayerDead(std::uint8_t)
{
    return false;
}
std::uint8_t g_CompAssist[8] = {};
std::uint8_t g_WarAssist[8] = {};

// The unit table and prices of units come with the players' subsystem: indexes are handed out in
// order and never reused, and units are free.
#include "units/unit.h"

bool CanAffordUnit(std::uint8_t, std::uint16_t)
{
    return true;
}
bool PayForUnit(std::uint8_t, std::uint16_t)
{
    return true;
}
void RefundUnit(std::uint8_t, std::uint16_t) {}

// Players of a game: until the players' subsystem exists a player is its record alone, with a
// group manager and, for a computer player, a planner that never plans.
#include "map/map_file.h"
#include "units/house.h"



void TStrateg::SetTeam(std::uint8_t team)
{
    Team = team;
}

// Commands, defeat and the computer players come with their own modules: a record runs nothing, a
// defeated player is only marked, and computer players neither plan nor manage groups.
#include "players/computer_player.h"
#include "players/defeat.h"
#include "players/dispatcher.h"

bool ExecuteCommand(THeapItem*)
{
    return false;
}
void StrategDead(TStrateg* player)
{
    if (player == nullptr || player->Dead != 0)
        return;
    player->Dead = 1;
    player->UpdatePlayTime();
}
void GroupManagerUpdate(TStrateg*) {}
void ComputerPlayerStep(TStrateg*) {}
void ClearUpkeepMarker() {}

void TStrateg::SetRelationsFromTeams()
{
    for (int j = 0; j < 8; ++j) {
        const TStrateg* other = g_Strateg[j];
        Relations[j] = (Team & 0xFF) != 255 && other != nullptr && other->Team == Team ? 1 : 0;
    }
}


void UpdateAIArmy(TStrategAI*) {}

void ShowGroupWindow() {}

// No player records hold resources yet: nobody has wood, so no trench or pontoon piece is paid for.
#include "players/resources.h"

TResourcePair* GetPlayerWood(std::uint8_t)
{
    return nullptr;
}
bool CanAffordTrench(std::uint8_t player)
{
    const TResourcePair* wood = GetPlayerWood(player);
    return wood != nullptr && wood->spendable >= 300.0;
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

// Advisers and unit lists come with the players' subsystem.
void SendKeyCommand(int, std::uint8_t, std::uint32_t) {}
bool AdvisorBuildHouse(std::uint8_t, std::uint16_t)
{
    return false;
}
TUnit* StrategUnitAt(std::uint8_t, std::uint32_t)
{
    return nullptr;
}
