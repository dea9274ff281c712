#pragma once
// A player of a running game, human or computer: one TStrateg record in g_Strateg. It owns the
// player's command queue, unit table, selection and stored groups, resources, statistics history,
// coarse target-search grid and the computer-player objects.
//
// Threads: the command queue (HeapHead, HeapTail, HeapCount) is touched only under g_HeapLock (the
// mouse thread and the network receiver append to it); every other field belongs to the main
// thread, except where a field says otherwise.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "players/computer_player.h"
#include "players/group_manager.h"
#include "players/resources.h"

struct THeapItem;
class THouse;
class TUnit;
struct TSelectionNode;

struct TMapPlayerRecord;
class TOfStreamMemory;
class TIfStreamMemory;

constexpr int STRATEG_RESOURCES = 5;
// The five resources and the sixth pair that is only copied into the statistics history.
constexpr int STRATEG_RESOURCE_PAIRS = 6;
constexpr int STRATEG_MAX_PLAYERS = 8;
// Bytes of one mission condition record (its layout belongs to the mission-end test).
constexpr std::size_t MISSION_CONDITION_SIZE = 10212;

// The unit table: 65 pages of 1000 unit pointers.
constexpr std::uint32_t UNIT_TABLE_PAGE = 1000;
constexpr std::uint32_t UNIT_TABLE_PAGES = 65;
constexpr std::uint32_t UNIT_TABLE_LIMIT = UNIT_TABLE_PAGE * UNIT_TABLE_PAGES;
// AddUnit's answer when the table is full.
constexpr std::uint16_t UNIT_TABLE_FULL = 65535;

// The statistics rings.
constexpr std::uint16_t STRATEG_STAT_RING = 1000;
// The target-search grid's cell size in map pixels, and the value every caller marks with.
constexpr std::int32_t STRATEG_GRID_CELL = 300;
constexpr std::uint8_t STRATEG_GRID_MARK = 30;

// Player kinds.
constexpr std::uint8_t PLAYER_KIND_COMPUTER = 1;
constexpr std::uint8_t PLAYER_KIND_LOCAL = 4;
constexpr std::uint8_t PLAYER_KIND_REMOTE = 5;

constexpr std::uint16_t STRATEG_NO_HOUSE = 65535;
constexpr std::uint32_t STRATEG_NO_TEAM = 0xFFFFFFFFu;


// One entry of a stored group: a house (kind 0) or a unit (kind 1).
struct TStoredGroupEntry {
    std::uint8_t kind = 0;
    void* object = nullptr;
};

class TStrateg;

// The turn's scratch records: emptied at the end of each turn, just before the unit walk, which
// runs on this list.
struct TTurnList {
    THeapItem* head = nullptr;
    THeapItem* tail = nullptr;
    TStrateg* owner = nullptr;
    void Free();
};

class TStrateg {
public:
    TStrateg();
    ~TStrateg();
    TStrateg(const TStrateg&) = delete;
    TStrateg& operator=(const TStrateg&) = delete;

    // Appends a command record to the player's queue (under g_HeapLock); the queue owns it.
    void AddCommand(THeapItem* item);
    // Detaches the whole queue under g_HeapLock and returns its head; the queue is left empty.
    THeapItem* TakeCommands();

    // The unit at a table index; null beyond the indexes handed out or for a freed slot.
    TUnit* GetUnit(std::uint16_t index) const;
    // Stores the unit, writes its index into it and returns the index; UNIT_TABLE_FULL (nothing
    // stored) when every index below UNIT_TABLE_LIMIT is in use.
    std::uint16_t AddUnit(TUnit* unit);
    // false for an index that was never handed out; else the slot is freed for reuse.
    bool RemoveUnit(std::uint16_t index);
    // Frees every page and empties the free-index queue; the next index starts again at 0.
    void ClearUnitTable();
    // Makes room for the indexes below next (the units block of a save); false beyond the limit.
    bool ReserveUnitTable(std::uint32_t next);

    // Marks the target-search cell holding (x, y) and, for a value below 100, its four side
    // neighbours within the grid (never wrapping into another row); false outside the grid.
    bool MarkGrid(float x, float y, std::uint8_t value);
    // Makes an empty grid for a map of the given size in cells.
    void MakeGrid(std::uint32_t mapWidth, std::uint32_t mapHeight);

    void SetName(const std::u16string& name);
    // Team byte, 255 = none.
    void SetTeam(std::uint8_t team);
    // Relation bytes toward the eight players from every player's team.
    void SetRelationsFromTeams();
    // Every standing building goes to player q (a live player other than this one); keep: the
    // units inside stay inside and go with it, else they step out first.
    void SendMyHousesToPLayer(std::uint8_t q, bool keep);
    // Every unit goes to player q (a live player other than this one) with its orders reset.
    void SendMyUnitsToPLayer(std::uint8_t q);
    // Adds the whole seconds since the clock base to the play time.
    void UpdatePlayTime();
    // Frees everything the record owns but its name and scratch list.
    void Clear();
    // Reads the group orders of the queued records of commands 45 and 47 (SaveSpecialHeap wrote
    // them); false, with the queue's payloads read so far kept, for a block cut short or damaged.
    bool LoadSpecialHeap(TIfStreamMemory& in);

    // 1. The command queue (under g_HeapLock).
    THeapItem* HeapHead = nullptr;
    THeapItem* HeapTail = nullptr;
    std::uint32_t HeapCount = 0;
    // 2.
    TTurnList Scratch;
    // 3, 4, 5. Clock values: never part of the simulation.
    std::uint16_t StatIndex = 0;
    std::uint32_t ClockBase = 0;
    std::uint32_t PlayTime = 0;
    std::uint32_t CreationTick = 0;
    // 6, 7. The unit table; freed indexes are reused oldest first.
    std::deque<std::uint16_t> FreeIndexes;
    TUnit** Pages[UNIT_TABLE_PAGES] = {};
    std::uint16_t NextUnitIndex = 0;
    // 8. The target-search grid, GridWidth cells to a row.
    std::vector<std::uint8_t> Grid;
    std::uint16_t GridWidth = 0;
    // 9. Team byte in a 32-bit slot; all bits set until a team is given.
    std::uint32_t Team = STRATEG_NO_TEAM;
    // 10.
    std::u16string Name;
    // 11. The selection (players/selection.h). The count, the selected-house flag and index and
    // the selected building are written by the main thread under g_InputLock (the mouse thread's
    // order builders read them); the list and the flags are main thread only.
    std::uint16_t NumSelectedUnits = 0;
    TSelectionNode* SelectionHead = nullptr;
    std::uint8_t SelectionFlags[2] = {}; // worker, kind 7
    std::uint16_t SelectedHouseFlag = 0;
    std::uint16_t g_wNumSelectedHouse = STRATEG_NO_HOUSE;
    // The building the player has selected; null for none.
    THouse* SelectedHouse = nullptr;
    // 12. Stored groups 0..9.
    std::vector<TStoredGroupEntry> Group[10];
    // 13. 0 Russia, 1 England, 2 France, 3 Germany, 4 Austria; 255 until set.
    std::uint8_t Nation = 255;
    std::uint8_t SetupByte = 1;
    std::uint8_t WarTemplate = 2;
    // 14.
    std::unique_ptr<TGroupManager> GroupManager;
    std::unique_ptr<TStrategAI> Planner;
    // 15. Statistics (the house counters are kept in g_HouseCounters by the buildings).
    std::uint32_t LiveUnits = 0;
    std::uint32_t UnitsLost = 0;
    std::uint32_t UnitsKilled = 0;
    // 16. Resource pairs, indexed by RESOURCE_GOLD .. RESOURCE_FOOD, then the sixth pair.
    TResourcePair Res[STRATEG_RESOURCE_PAIRS];
    // 17. Saved and loaded whole; nothing here reads them.
    std::uint8_t BlockA[40] = {};
    std::uint8_t BlockB[40] = {};
    // 18. Milliseconds since creation at each snapshot: clock values, never simulation.
    std::uint8_t StatFlag = 0;
    std::uint32_t TimeRing[STRATEG_STAT_RING] = {};
    std::uint32_t TimeRingExtra = 0;
    // 19. The recorded value of each pair at each snapshot.
    double History[STRATEG_RESOURCE_PAIRS][STRATEG_STAT_RING] = {};
    // 20.
    std::uint16_t PopulationCap = 0;
    std::uint8_t MissionStage = 1;
    // ConditionCount records of MISSION_CONDITION_SIZE bytes each.
    std::uint16_t ConditionCount = 0;
    std::vector<std::uint8_t> Conditions;
    // 21. PLAYER_KIND_LOCAL, PLAYER_KIND_REMOTE or PLAYER_KIND_COMPUTER.
    std::uint8_t Kind = PLAYER_KIND_COMPUTER;
    // 22. Head of the player's unit list (linked through the units' m_pNext and Prev fields).
    TUnit* FirstUnit = nullptr;
    // 23. 1 peace or alliance toward that player, 0 war.
    std::uint8_t Relations[8] = {};
    // 24. The map slot had no player (OutOfGame and NotPlaying are set together); own index; set
    // once by the player's defeat and never cleared.
    std::uint8_t OutOfGame = 0;
    std::uint8_t NotPlaying = 0;
    std::uint8_t Number = 0;
    std::uint8_t Dead = 0;
    // The player's house array (owned by slot Number of g_pHouse).
    THouse* Houses = nullptr;
};

// The eight players, indexed by player number; null for an absent player. Main thread only.
extern TStrateg* g_Strateg[8];
// Number of player slots in use; a new player takes index g_wNumPlayer. Main thread only.
extern std::uint16_t g_wNumPlayer;
// The local player's state (null outside a game); its number MyPlayer is in core/app_state.h.
// Main thread writes under g_InputLock (the mouse thread reads it).
extern TStrateg* MyStrateg;
// The player whose turn and command queue run; every command handler reads it. Main thread only.
extern std::uint8_t g_ActingPlayer;
// 1 while no two live players share a team. Main thread only.
extern std::uint8_t g_AllTeamsDifferent;

// The map loader's and editor's player creation: the next player (g_wNumPlayer grows by one)
// with its house array; false for a ninth. Kinds other than 4 and 5 make a computer player.
bool CreateMapPlayer(const TMapPlayerRecord& record, std::uint8_t kind);
// The editor takes a player out of the table; the players above it move down one slot.
void ReleasePlayer(std::uint8_t player);
// Moves a unit of the player's list to its front; logs a unit that is not linked.
void MoveUnitToFirstUnit(TUnit* unit);
// A new game: the global heap emptied, the eight player slots forgotten, g_wNumPlayer = 0.
void ResetPlayerSlots();
// The end of a game: the global heap and every player record freed.
void ClearGlobalHeap();
// Flags the player as an empty map slot: not playing, dead, its house array freed.
void SetPlayerNotPlaying(int player);
// The player exists and is playing.
bool CanPlayerReceiveUnits(int player);
// A player that exists and has not left the game.
bool IsPlayerInGame(std::uint8_t player);
// The player's name; empty when the player does not exist.
std::u16string GetPlayerName(std::uint8_t player);
// The unit at a position of the player's unit list; null beyond its end.
TUnit* StrategUnitAt(std::uint8_t player, std::uint32_t position);

// The calendar clock of the players' play time (seconds); null restores the system's. Tests and the
// simulation runner fix it so that a save, loaded and saved again, gives the same bytes. Main
// thread only.
void SetPlayClock(std::int64_t (*clock)());
std::uint32_t PlayClockSeconds();

// The game cycle, run once a frame while a game runs (game_cycle.h has the rest).
void NetworkFrame();
// The map-mouse handlers: network play, single play.
void UpdateCursorMode();
void ProcessMapMouse();

// The one building the player has selected while the player is in the game; null when none or
// several are selected. Main thread only.
THouse* GetSingleSelectedHouse(std::uint8_t player);

// Lets the planner rebuild its army movement after its home cell was set.
void UpdateAIArmy(TStrategAI* planner);
// The selection module at game start and end.
void InitSelection();
void FreeSelection();
// The group window of the game screen.
void ShowGroupWindow();
// Raised while a game is torn down: no orders are built. Written by the main thread under
// g_InputLock (the mouse thread's builders test it there).
extern std::uint8_t g_bTearingDown;

// Save-game blocks of the players (players/player_saves.h has the rest). The state block of every
// player slot (SaveStrateg, read by LoadStrategAI into a freshly made record that takes the slot
// and a new house array) and the units block of a player still in the game (SaveStrategUnits, read
// by LoadStrateg into that record: the unit table, the units with their paths and towers, the
// stored groups, the command queue). Readers log and return false for a block cut short or a
// count, index or kind out of range.
void SaveStrateg(std::uint8_t player, TOfStreamMemory& out);
bool LoadStrategAI(std::uint8_t player, TIfStreamMemory& in);
void SaveStrategUnits(std::uint8_t player, TOfStreamMemory& out);
bool LoadStrateg(std::uint8_t player, TIfStreamMemory& in);
// The state block read without touching the running game, so that a damaged save is refused
// before the game goes: false (logged) when LoadStrategAI would refuse it; inGame tells whether
// the player is still in the game (only such a player has a units block).
bool CheckStrategBlock(std::uint8_t player, TIfStreamMemory& in, bool& inGame);

// Empties the player's unit selection.
void ClearSelection(std::uint8_t player);
// The player's adviser places a building of the type; its result.
bool AdvisorBuildHouse(std::uint8_t player, std::uint16_t type);
