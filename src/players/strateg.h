#pragma once
// Player state shared across subsystems.
#include <cstdint>

struct THeapItem;
class THouse;
class TUnit;

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

// The one building the player has selected while the player is in the game; null when none or
// several are selected. Main thread only.
THouse* GetSingleSelectedHouse(std::uint8_t player);

// Number of players of the game or map. Main thread only.
extern std::uint16_t g_wNumPlayer;
// Frees every queued global command and every player record.
void ClearGlobalHeap();
