#pragma once
// Player state shared across subsystems.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"

struct THeapItem;
class THouse;
class TUnit;

struct TMapPlayerRecord;

constexpr int STRATEG_RESOURCES = 5;
// Bytes of one mission condition record (its layout belongs to the mission-end test).
constexpr std::size_t MISSION_CONDITION_SIZE = 10212;
// A planner's target x while it has none.
constexpr std::int32_t STRATEG_AI_UNSET = 99999;

// The player's group manager: what the game start writes into it.
struct TGroupManager {
    std::uint8_t WarTemplate = 0; // byte 6
    std::uint8_t Level = 0;       // byte 7: the computer level
};

// The player's planner: its home and target cells.
struct TStrategAI {
    std::int32_t HomeX = 0;
    std::int32_t HomeY = 0;
    std::int32_t TargetX = STRATEG_AI_UNSET;
    std::int32_t TargetY = 0;
};

class TStrateg {
public:
    // Appends a command record to the player's queue; the queue owns it from then on.
    void AddCommand(THeapItem* item);
    // Marks the alert-grid cell holding (x, y) and, for a value below 100, its four side
    // neighbours; false outside the grid.
    bool MarkGrid(float x, float y, std::uint8_t value);

    // Main thread writes under g_InputLock (the mouse thread reads it).
    std::uint16_t NumSelectedUnits = 0;
    // 0 Russia, 1 England, 2 France, 3 Germany, 4 Austria; 255 until set.
    std::uint8_t Nation = 255;
    // The player's house array (owned by slot p of g_pHouse).
    THouse* Houses = nullptr;

    // The unit table: stores the unit, writes its index into it and returns the index.
    std::uint16_t AddUnit(TUnit* unit);
    // false for an index that was never handed out; else the slot is freed for reuse.
    bool RemoveUnit(std::uint16_t index);
    std::uint16_t NextUnitIndex = 0;
    // Head of the player's unit list (linked through the units' next and Prev fields).
    TUnit* FirstUnit = nullptr;
    // Units the player has, for the statistics.
    std::uint32_t LiveUnits = 0;
    // Set once by the player's defeat and never cleared.
    std::uint8_t Dead = 0;

    // What the game start sets (missions and random maps).
    void SetName(const std::u16string& name);
    // Team number counted from 0, 255 = none.
    void SetTeam(std::uint8_t team);
    // Relation bytes toward the eight players from every player's team.
    void SetRelationsFromTeams();

    std::u16string Name;
    std::uint8_t Number = 0;      // index in g_Strateg
    // The level byte: the kind the map loader created the player with (4 the local player,
    // 1..3 a computer player).
    std::uint8_t Level = 0;
    std::uint8_t WarTemplate = 0; // the computer player's plan
    std::uint8_t Team = 255;
    std::uint8_t OutOfGame = 0;   // the two not-playing flags
    std::uint8_t NotPlaying = 0;
    std::uint8_t Relations[8] = {};
    // Slots 0..4 of the resources, and the amounts they started with.
    double Resources[STRATEG_RESOURCES] = {};
    double StartResources[STRATEG_RESOURCES] = {};
    std::uint8_t MissionStage = 0;
    // ConditionCount records of MISSION_CONDITION_SIZE bytes each.
    std::uint16_t ConditionCount = 0;
    std::vector<std::uint8_t> Conditions;
    std::unique_ptr<TGroupManager> GroupManager;
    std::unique_ptr<TStrategAI> Planner; // computer players only
    // The building the player has selected; null for none.
    THouse* SelectedHouse = nullptr;
};

// The local player's state (null outside a game); its number MyPlayer is in core/app_state.h.
// Main thread writes under g_InputLock (the mouse thread reads it).
extern TStrateg* MyStrateg;

// The game cycle, run once a frame while a game runs.
void NetworkFrame();
// The map-mouse handlers: network play, single play.
void UpdateCursorMode();
void ProcessMapMouse();
// Queues a hot-key command of the local player for the next cycle.
void PostHotKeyCommand(int commandId, int a, int b, int c);

// The eight players' states, indexed by player number; null for an absent player.
extern TStrateg* g_Strateg[8];

// The one building the player has selected while the player is in the game; null when none or
// several are selected. Main thread only.
THouse* GetSingleSelectedHouse(std::uint8_t player);

// Number of players of the game or map. Main thread only.
extern std::uint16_t g_wNumPlayer;
// Frees every queued global command and every player record.
void ClearGlobalHeap();

// A new game: the command heap emptied, the eight player records freed, g_wNumPlayer = 0.
void ResetPlayerSlots();
// The map loader's player creation: the next player (g_wNumPlayer grows by one) with its house
// array.
bool CreateMapPlayer(const TMapPlayerRecord& record, std::uint8_t kind);
// Flags the player as not playing and destroys its house array.
void SetPlayerNotPlaying(int player);
// The player exists and is playing.
bool CanPlayerReceiveUnits(int player);
// Lets the planner rebuild its army movement after its home cell was set.
void UpdateAIArmy(TStrategAI* planner);
// The selection module at game start and end.
void InitSelection();
void FreeSelection();
// The group window of the game screen.
void ShowGroupWindow();
// Raised while a game is torn down: no orders are built.
extern std::uint8_t g_bTearingDown;

// Save-game blocks of the players. The state block of every player slot (SaveStrateg, read by
// LoadStrategAI into a freshly made record that owns its house array) and the units block of a
// player still in the game (SaveStrategUnits, read by LoadStrateg).
class TOfStreamMemory;
class TIfStreamMemory;
void SaveStrateg(std::uint8_t player, TOfStreamMemory& out);
bool LoadStrategAI(std::uint8_t player, TIfStreamMemory& in);
void SaveStrategUnits(std::uint8_t player, TOfStreamMemory& out);
bool LoadStrateg(std::uint8_t player, TIfStreamMemory& in);
// A player that exists and has not left the game.
bool IsPlayerInGame(std::uint8_t player);
// The player's name; empty when the player has no name record.
std::u16string GetPlayerName(std::uint8_t player);

class TUnit;
// Empties the player's unit selection.
void ClearSelection(std::uint8_t player);
// The player's adviser places a building of the type; its result.
bool AdvisorBuildHouse(std::uint8_t player, std::uint16_t type);
// The unit at a position of the player's unit list; null beyond its end.
TUnit* StrategUnitAt(std::uint8_t player, std::uint32_t position);
