// Least bodies of player and order services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "devices/mouse.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/map_mouse.h"
#include "players/strateg.h"
#include "net/net_events.h"
#include "map/ship_grid.h"

TStrateg* MyStrateg = nullptr;

// The cycle is not built yet: the budget keeps its start value.
std::uint16_t g_PathBudget = 30;

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

// No selection exists yet.
THouse* GetSingleSelectedHouse(std::uint8_t)
{
    return nullptr;
}

std::uint16_t g_wNumPlayer = 0;

// No command heap exists yet; the player records are all there is to free.
void ClearGlobalHeap()
{
    for (TStrateg*& player : g_Strateg) {
        delete player;
        player = nullptr;
    }
    {
        std::lock_guard lock(g_InputLock);
        MyStrateg = nullptr;
    }
    g_wNumPlayer = 0;
}

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
// No alert grid exists yet.
bool TStrateg::MarkGrid(float, float, std::uint8_t)
{
    return false;
}

// The unit table, prices of units and the selection come with the players' subsystem: indexes
// are handed out in order and never reused, units are free, and a unit leaves the selection by
// its flag alone.
#include "players/selection.h"
#include "units/unit.h"

std::uint16_t TStrateg::AddUnit(TUnit* unit)
{
    const std::uint16_t index = NextUnitIndex++;
    if (unit != nullptr)
        unit->m_Index = index;
    return index;
}
bool TStrateg::RemoveUnit(std::uint16_t index)
{
    return index < NextUnitIndex;
}
bool CanAffordUnit(std::uint8_t, std::uint16_t)
{
    return true;
}
bool PayForUnit(std::uint8_t, std::uint16_t)
{
    return true;
}
void RefundUnit(std::uint8_t, std::uint16_t) {}
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

std::uint8_t g_bTearingDown = 0;

void TStrateg::SetName(const std::u16string& name)
{
    Name = name;
}

void TStrateg::SetTeam(std::uint8_t team)
{
    Team = team;
}

void TStrateg::SetRelationsFromTeams()
{
    for (int j = 0; j < 8; ++j) {
        const TStrateg* other = g_Strateg[j];
        Relations[j] = Team != 255 && other != nullptr && other->Team == Team ? 1 : 0;
    }
}

void ResetPlayerSlots()
{
    ClearGlobalHeap();
}

bool CreateMapPlayer(const TMapPlayerRecord& record, std::uint8_t kind)
{
    if (g_wNumPlayer >= 8)
        return false;
    const std::uint8_t n = static_cast<std::uint8_t>(g_wNumPlayer);
    auto* player = new TStrateg;
    player->Number = n;
    player->Level = kind;
    player->Nation = record.nation < 5 ? record.nation : 0;
    player->Name.assign(record.name, std::char_traits<char16_t>::length(record.name));
    player->GroupManager = std::make_unique<TGroupManager>();
    if (kind != 4)
        player->Planner = std::make_unique<TStrategAI>();
    DeleteHouseArray(g_pHouse[n]);
    g_pHouse[n] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
    NumHouse[n] = 0;
    player->Houses = g_pHouse[n];
    g_Strateg[n] = player;
    if (n == MyPlayer) {
        std::lock_guard lock(g_InputLock);
        MyStrateg = player;
    }
    ++g_wNumPlayer;
    return true;
}

void SetPlayerNotPlaying(int player)
{
    if (player < 0 || player >= 8 || g_Strateg[player] == nullptr)
        return;
    g_Strateg[player]->OutOfGame = 1;
    g_Strateg[player]->NotPlaying = 1;
    g_Strateg[player]->Planner.reset();
    FreePlayerHouses(static_cast<std::uint8_t>(player));
    g_Strateg[player]->Houses = nullptr;
}

bool CanPlayerReceiveUnits(int player)
{
    return player >= 0 && player < 8 && g_Strateg[player] != nullptr && g_Strateg[player]->OutOfGame == 0;
}

void UpdateAIArmy(TStrategAI*) {}

void InitSelection() {}
void FreeSelection() {}
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
