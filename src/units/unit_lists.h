#pragma once
// Units entering and leaving the map: a unit is made at a point (CreateUnit), handed to a player
// or to the map's own side (AddUnitToPlayer, AddNeutralUnit), kept in the per-cell unit list of the
// cell under it as it moves (MoveUnitToCell), and taken off the map by DeleteUnit, the only way
// out. The module's counters and lists start with each game (InitUnitsAndHouses) and end with it
// (FreeHousesAndUnitsMap).
//
// Ownership at teardown, one owner per thing: the cell-list blocks and the unit-list layer belong
// to the map and are freed only by DestroyMap; FreeUnitsMap empties the lists and frees the map's
// own units while the unit types still exist; a player's units are freed with the player's record.
//
// Threads: main thread only (the game cycle, the map loaders and the editor).
#include <cstdint>
#include <functional>
#include <vector>

#include "units/unit_types.h"

class TUnit;
class THouse;
class TStrateg;
struct TMapUnitRecord;

constexpr std::uint16_t UNIT_NO_INDEX = 65535;
// The work parameter the death sequence and a cancelled production set before DeleteUnit: any
// other value keeps the unit.
constexpr std::uint16_t UNIT_DELETE_PARAM = 11;
constexpr std::uint8_t STAY_IN_HOUSE = 3;
constexpr std::uint8_t UNIT_WORK_AIR_START = 5;
constexpr std::uint8_t UNIT_WORK_LEAVE_HOUSE = 9;
constexpr std::uint8_t WORK_UNIT_TRANSPORTED = 20;
// The map's own side: owner byte and the nation row of its unit types.
constexpr std::uint8_t UNIT_NEUTRAL_PLAYER = 255;
constexpr std::uint8_t UNIT_NEUTRAL_NATION = UNIT_NATIONS - 1;
// Bit of the advanced-path byte (g_pCellFlags) that a large unit sets around its cell.
constexpr std::uint8_t ADVANCED_PATH_UNIT_BIT = 2;

// Living units per player (units in the player's list).
extern std::uint16_t NumUnits[UNIT_PLAYERS];
// Living units per player and unit type.
extern std::uint16_t g_UnitTypeCount[UNIT_PLAYERS][UNIT_TYPES_PER_NATION];
// The map's own units (owner 255), linked like a player's list, and the next neutral index.
extern TUnit* g_NeutralUnitList;
extern std::uint16_t g_NeutralUnitCount;
// Every ship on the map, in creation order.
extern std::vector<TUnit*> g_ShipUnits;

// Cells whose large-unit block waits to be released or set by the unit walk.
struct TCellPair {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
extern std::vector<TCellPair> g_AdvancedPathReleaseQueue;
extern std::vector<TCellPair> g_AdvancedPathUnpathQueue;

TUnit* CreateUnit(float x, float y, std::uint16_t type, std::uint8_t nation);
// The unit's index in the player's table; UNIT_NO_INDEX (nothing done) without such a player.
std::uint16_t AddUnitToPlayer(std::uint8_t player, TUnit* unit);
std::uint16_t AddNeutralUnit(TUnit* unit);
// A unit changing hands: it leaves its owner's list, table and counts and joins the player's,
// keeping its hit points and reload time. UNIT_NO_INDEX (logged, nothing changed) when either
// player does not exist or the unit is already the player's.
std::uint16_t MoveUnitToPlayer(TUnit* unit, std::uint8_t player);
// The loaders', the editor's and the production's way to add a unit; UNIT_NO_INDEX on refusal.
std::uint16_t CreateUnitAt(float x, float y, std::uint8_t player, std::uint16_t type, std::uint8_t skip);

// A unit record of a map file given to its player (CreateUnitAt with the placement test skipped);
// false when it was refused.
bool CreateMapUnitFromRecord(int player, const TMapUnitRecord& record);

void UpdateUnitCell(TUnit* unit);
void UpdateUnitCellAlt(TUnit* unit);
void MoveUnitToCell(std::int32_t x, std::int32_t y, TUnit* unit);
// false when the unit was not in its cell's list (or the cell is off the map or has no list).
bool RemoveUnitFromCell(TUnit* unit);
bool RemoveUnitFromCellList(TUnit** list, TUnit* unit);

void FreeAdvancedPath(std::int32_t x, std::int32_t y, std::uint8_t now);
void SetUnpathOnAdvancedPath(std::int32_t x, std::int32_t y, std::uint8_t now);

// Deletes *unit when its work parameter is UNIT_DELETE_PARAM and stores the next unit of its
// owner's list in *unit; any other unit stays as it is.
void DeleteUnit(TUnit** unit);
// Every reference other units and buildings hold to a unit that is going away: targets, transport
// links, the order object, building targets, a port's ship, the selection. Subsystems that keep further references
// add them here.
void ClearUnitReferences(TUnit* unit);
// The same for an array of count buildings that is about to be freed: units lose them as their
// building, their building target (their order is cancelled) and their order object.
void ClearHouseReferences(const THouse* houses, std::uint32_t count);
void FreeDeadUnitFromHouse(THouse* house, TUnit* unit);

void InitUnitsAndHouses();
void DoneUnitsAndHouses();
void FreeAllPlayerHouses();
void FreeUnitsMap();
// Releases and frees every unit of the list (with its graphics reference) and empties it.
void FreeUnitList(TUnit*& head);
// Zeroes NumUnits and g_UnitTypeCount.
void ResetUnitCounters();
// Takes a ship off g_ShipUnits and the water's ship list.
void UnregisterShip(TUnit* unit);

// What units call in subsystems that are built elsewhere: tests put recording stand-ins here.
struct TUnitServices {
    // Players.
    std::function<std::uint16_t(TStrateg*, TUnit*)> addToTable;
    std::function<bool(TStrateg*, std::uint16_t index)> removeFromTable;
    std::function<bool(std::uint8_t player, std::uint16_t type)> canAffordUnit;
    std::function<bool(std::uint8_t player, std::uint16_t type)> payForUnit;
    std::function<void(std::uint8_t player, std::uint16_t type)> refundUnit;
    std::function<void(std::uint8_t player, TUnit*)> deselect; // out of the selection and stored group
    // Movement.
    std::function<void(TUnit*)> setVelocityToTarget;
    std::function<bool(TUnit*)> canStayInCell;
    std::function<void(std::int32_t x, std::int32_t y, std::int32_t radius)> recomputePassability;
    std::function<std::uint8_t(float x0, float y0, float x1, float y1)> orientToPoint;
    // World map.
    std::function<std::uint16_t(std::int32_t x, std::int32_t y)> shipPassValue;
    // Unit behaviour.
    std::function<bool(std::uint32_t x, std::uint32_t y, std::uint16_t type)> isPointPassable;
    std::function<void(TUnit*)> getObjectAt;
    std::function<void(TUnit*, std::uint8_t flag)> stopUnit;
    std::function<void(TUnit*)> cancelOrderAndStop;
    std::function<void(TUnit*)> getMeFromTransport;
    std::function<void(TUnit*)> leaveHouse;
    std::function<void(TUnit*)> stopShipEffect;
    std::function<void()> refreshTargetGridUnits;
    // Interface.
    std::function<void()> refreshPanel;

    static TUnitServices Default();
};
TUnitServices& UnitServices();
