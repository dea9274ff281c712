#pragma once
// The command dispatcher: runs one command record for the acting player (g_ActingPlayer). It
// switches on the record's class (1 selection, 2 buildings and objects, 3 game-wide, 4 mouse on the
// map) and command id, checks what the record names, and calls the handler that does the work.
//
// Threads: main thread only, inside the game cycle (ExecuteHeap).
#include <cstdint>
#include <functional>

struct THeapItem;
class TGroup;
class THouse;
class TStrateg;
class TUnit;

// Command ids the dispatcher's own bodies and their callers name (command.h has the queue's).
constexpr std::uint8_t COMMAND_ID_PLACE_HOUSE = 7;
constexpr std::uint8_t COMMAND_ID_ORDER_AT_POINT = 9;
constexpr std::uint8_t COMMAND_ID_LOSE = 12;
constexpr std::uint8_t COMMAND_ID_CREATE_UNITS = 17;
constexpr std::uint8_t COMMAND_ID_QUEUE_UNITS = 18;
constexpr std::uint8_t COMMAND_ID_CREATE_UPGRADE = 20;
constexpr std::uint8_t COMMAND_ID_START_HOUSE_WORK = 21;
constexpr std::uint8_t COMMAND_ID_FINISH_HOUSE_WORK = 22;
constexpr std::uint8_t COMMAND_ID_MOUSE_ORIENT = 54;
constexpr std::uint8_t COMMAND_ID_SELECT_MANAGED_GROUP = 66;
constexpr std::uint8_t COMMAND_ID_MAP_SIGNAL = 73;
constexpr std::uint8_t COMMAND_ID_BARN_REFRESH = 74;
constexpr std::uint8_t COMMAND_ID_ADVISOR_BUILD = 75;

// A computer player's path moves in one cycle beyond this number are abandoned, not deferred.
constexpr std::uint32_t COMP_PATH_MOVES_PER_CYCLE = 100;
// Frames a map signal shows on the minimap.
constexpr std::uint16_t MAP_SIGNAL_FRAMES = 100;

// false in every case but one: a deferred path move that put the record back into a queue itself
// (the record must then not be freed). The record's objects are resolved again from their (player,
// index) fields first, so a record never reaches a handler with a building that has gone.
bool ExecuteCommand(THeapItem* item);

// After a save game is loaded: every unit with a pending path move takes the newest queued id-13
// record of its owner that names it and its point as that move again; a unit whose record is not in
// the queue loses the pending flag, so no unit waits on a move that never comes.
void RelinkPendingPathMoves();

// What the dispatcher calls in the subsystems that own the handlers. The default table binds the
// owners' functions (least bodies in their pending.cpp until they are built); the handlers of the
// game's own keys (advisor building, building keys, cycling, the view, the window) are installed by
// the game. Tests put recording stand-ins here.
struct TDispatcherServices {
    // Class 1: orders to the selection.
    std::function<void(std::uint8_t p)> selectedUnitsCommandD;
    std::function<void(std::uint8_t p)> selectedUnitsStop;
    std::function<void(std::uint8_t p)> selectedUnitsForbidFire;
    std::function<void(std::uint8_t p)> selectedUnitsAllowFire;
    std::function<void(std::uint8_t p, float x, float y, bool flag)> forSelectedUnits;
    std::function<void(std::uint8_t p)> selectedUnitsCommandF;
    std::function<void(std::uint8_t p, std::int32_t option)> setPlayerOption;
    std::function<void(std::uint8_t p, std::int32_t type)> deselectByKind;
    std::function<void(std::uint8_t p, std::int32_t type)> filterSelectionByType;
    std::function<void(void* payload)> replayGroupForming;
    std::function<void(void* payload)> giveGroupOrder;
    std::function<void(std::uint8_t p)> selectedUnitsFormGroup;
    std::function<void(std::uint8_t p)> selectedUnitsDisbandGroup;
    std::function<void(std::uint8_t p)> selectedUnitsUnload;
    std::function<void(std::uint8_t p, std::int32_t option)> setSelectedUnitsOption;
    // The deferred path move.
    std::function<std::int8_t(TUnit* unit, float x, float y, bool mayDefer)> sendUnitToCell;
    std::function<void(TUnit* unit)> setMoveWork;
    std::function<void(TUnit* unit, std::uint8_t flag)> stopUnit;
    // Class 2: buildings and objects.
    std::function<std::uint16_t(std::uint8_t p, float x, float y, std::uint16_t type)> addHouseToPointFull;
    std::function<void(THouse* house)> acquirePhaseGraphic;
    // The local player's cursor gives up the building it carries (its graphics reference too), or
    // the trench line it was laying.
    std::function<void()> dropCursorBuilding;
    std::function<void()> clearPlacingChoice;
    std::function<void(THouse* house, float x, float y)> setHousePoint;
    std::function<void(THouse* house)> groupCommandOn;
    std::function<void(THouse* house)> groupCommandOff;
    std::function<void(std::uint8_t p, std::uint16_t house, std::uint16_t type, std::uint16_t count)> createUnitsInHouse;
    std::function<void(std::uint8_t p, std::uint16_t house, std::uint16_t type, std::uint16_t count)> addUnitsToQueue;
    std::function<void(THouse* house, TUnit* unit)> houseCommandA;
    std::function<void(THouse* house, TUnit* unit)> houseCommandB;
    std::function<void(THouse* house)> applyUpgrade;
    std::function<void(std::uint8_t p, std::uint8_t resource, double amount)> addResourceAmount;
    std::function<bool(THouse* house, std::uint16_t duration, std::uint8_t id)> startScienceUpgrade;
    std::function<bool(THouse* house, std::uint16_t duration, std::uint8_t id)> startWarUpgrade;
    std::function<bool(THouse* house, std::uint16_t duration, std::uint8_t id)> setHouseTimer;
    std::function<void(THouse* house, const std::uint32_t* params)> academyFinishWarUpgrade;
    std::function<void(THouse* house, const std::uint32_t* params)> academyFinishScienceUpgrade;
    std::function<void(THouse* house, const std::uint32_t* params)> houseTransferResources;
    std::function<void(THouse* house)> finishHouseUpgrade;
    std::function<void(std::uint8_t p)> selectIdleWorkers;
    std::function<void(std::uint8_t p, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)> digTrenchLine;
    std::function<void(std::uint8_t p, std::int32_t option)> setHouseOption;
    std::function<void(THouse* house)> toggleHouseFireMode;
    std::function<void(THouse* house)> placeStructureAndPay;
    std::function<bool(std::uint8_t p, std::uint16_t type)> advisorBuildAndSelect;
    std::function<void(std::uint16_t type)> addRefHousePhaseGraphic;
    std::function<void(std::uint8_t p, std::uint32_t key)> selectHouseByKey;
    // Class 3: game-wide.
    std::function<void(TStrateg* player)> strategDead;
    std::function<void(int pause)> reloadInterface;
    std::function<void(std::uint8_t p, std::uint16_t id, std::uint32_t x, std::uint32_t y, const std::uint32_t* params)>
        executeHotKey;
    std::function<void(std::uint8_t p, float kind, float a, float b, float c, float d, std::int32_t amount, float price)>
        marketSell;
    std::function<void(std::uint8_t p, std::int32_t from, float a, float b, float c, float d, float e)> marketExchange;
    std::function<void(std::uint8_t p)> cycleUnitGroup;
    std::function<void(std::uint8_t p)> playerUnitsUpdate;
    std::function<void(std::uint8_t p, const std::uint8_t relations[8])> setDiplomacy;
    std::function<void(std::uint8_t p)> clearSelection;
    std::function<TGroup*(std::uint8_t p, std::uint32_t id)> findManagedGroup;
    std::function<bool(const TGroup* group)> isGroupSelected;
    std::function<void(TGroup* group, bool select)> selectGroupUnits;
    std::function<void(TGroup* group)> centreViewOnGroup;
    std::function<void()> refreshPanel;
    std::function<void()> activateMainWindow;
    std::function<bool(std::uint8_t p, std::uint8_t other)> isEnemy;
    std::function<void(std::int32_t column, std::int32_t row, std::uint16_t frames)> addMapSignal;
    std::function<void(const char16_t* text)> showMessageLine;
    std::function<void(std::uint8_t category)> playSound;
    // Class 4: the map mouse.
    std::function<void(std::uint8_t p, std::int32_t x, std::int32_t y)> selectAtPointOrFrame;
    std::function<void(std::uint8_t p, std::int32_t x, std::int32_t y)> orderSelectionToPoint;
    std::function<void(std::uint8_t p, std::int32_t x, std::int32_t y)> mousePressAtPoint;
    std::function<void(std::uint8_t p)> dragEnd;
    std::function<void(std::uint8_t p, std::uint8_t orient, float distance)> orientSelection;
    std::function<void(std::uint8_t p, std::int32_t x, std::int32_t y, const std::uint32_t* rect)> selectSameTypeOnScreen;

    static TDispatcherServices Default();
};
TDispatcherServices& DispatcherServices();
