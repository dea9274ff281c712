#pragma once
// Player state shared across subsystems.
#include <cstdint>
#include <string>

struct THeapItem;
class THouse;

class TStrateg {
public:
    // Appends a command record to the player's queue; the queue owns it from then on.
    void AddCommand(THeapItem* item);

    // Main thread writes under g_InputLock (the mouse thread reads it).
    std::uint16_t NumSelectedUnits = 0;
    // 0 Russia, 1 England, 2 France, 3 Germany, 4 Austria; 255 until set.
    std::uint8_t Nation = 255;
    // The player's house array (owned by slot p of g_pHouse).
    THouse* Houses = nullptr;
    // The building the player has selected; null for none.
    THouse* SelectedHouse = nullptr;
    // Relation toward each player: 0 not allied.
    std::uint8_t Relations[8] = {};
    // Set when the player has left the game or lost.
    std::uint8_t OutOfGame = 0;
};

// The local player's number (0 until a game sets it) and state (null outside a game). Main thread
// writes under g_InputLock (the mouse thread reads them).
extern std::uint8_t MyPlayer;
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

// Number of players of the game or map. Main thread only.
extern std::uint16_t g_wNumPlayer;
// Frees every queued global command and every player record.
void ClearGlobalHeap();

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
