#pragma once
// What a building does besides producing units, by its type: the handlers that run every cycle
// for a finished building, when a building comes to a player and when it leaves one; the
// per-player values they keep (power, yields, mints, healing); barn fields and their decay; and
// the effect of a completed upgrade or research (THouse::ApplyUpgrade).
//
// Threads: main thread only, inside the game cycle. Every decision draws from the shared random
// table and reads only the frame counter, so all machines agree.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class THouse;
class TUnit;
class TOfStreamMemory;

// A howitzer emplacement (type 24) turns into a unit of type 23 of its nation when finished: while
// it stands on the map it holds a graphics reference of that unit type, taken when it is placed
// and given back when it is taken off the map. Both do nothing for other buildings.
constexpr std::uint16_t EMPLACEMENT_UNIT_TYPE = 23;
void TakeEmplacementUnitGraphic(THouse* house);
void ReleaseEmplacementUnitGraphic(THouse* house);

// ---- handler tables ---------------------------------------------------------------------------

constexpr int HOUSE_HANDLER_SLOTS = 30;
using THouseHandler = void (*)(THouse*);
// Indexed by the building type; a null entry does nothing.
struct THouseHandlerTables {
    THouseHandler cycle[HOUSE_HANDLER_SLOTS];
    THouseHandler come[HOUSE_HANDLER_SLOTS];
    THouseHandler leave[HOUSE_HANDLER_SLOTS];
};
extern const THouseHandlerTables g_HouseHandlers;

// Run the entry of the building's type (nothing for a type beyond the tables).
void HouseCycleHandler(THouse* house);
void HouseComeHandler(THouse* house);
// A player's building is lost or changes hands.
void HouseLeaveHandler(THouse* house);
// A neutral building keeps no per-player values: losing one changes nothing here.
void NeutralHouseLeaveHandler(THouse* house);

// ---- per-player values (f32 or u32 per player, saved with the game statistics) ----------------

extern float g_PowerSupply[8];
extern float g_PowerDemand[8];
extern float g_PowerSupplyScale[8];
extern float g_PowerDemandScale[8];
extern float g_OilFactor[8];
extern float g_WoodFactor[8];
extern float g_MetalFactor[8];
extern float g_GatherFactor[8];
extern float g_HouseArmourFactor[8];
// 2.0 while the player has a mint and its upgrade is done, else 1.0.
extern float g_MintFactor[8];
extern std::uint32_t g_MintCount[8];
// The market and the upgrade pages call the power supply electricity.
inline float (&g_ElectricitySupply)[8] = g_PowerSupply;

// Start values of the economy's factor arrays and the mint values; at every game and editor start.
bool InitResourceMultipliers();

// The per-player values of buildings and research as the game statistics block stores them
// (docs/formats.md): nine arrays of eight f32, 16 bytes kept for the players' switches, then
// twelve arrays of eight 32-bit values (the last kept empty).
constexpr std::int32_t PLAYER_BUILDING_VALUES_BYTES = 9 * 32 + 2 * 8 + 2 * 192;
void SavePlayerBuildingValues(TOfStreamMemory& out);
// All or nothing: false (logged, nothing changed) for a block of another size or a value that is
// not a finite number.
bool LoadPlayerBuildingValues(std::span<const std::uint8_t> block);

// The integer power balance the unit walk and the power plants compare: demand / demand scale and
// supply scale x supply, each truncated.
std::uint16_t PowerDemandOf(std::uint8_t player);
std::uint16_t PowerSupplyOf(std::uint8_t player);

// ---- the handlers' own operations -------------------------------------------------------------

// Sends the owner's nearest idle worker into a resource building (mode 0 on the building's turn,
// mode 1 every 300 cycles).
void AssignIdleWorker(THouse* house, std::uint8_t mode);
// Plants the barn's field with crops; also the handler of the barn-refresh order.
void BarnPlantField(THouse* house);
// The same under the interface's name.
void WriteHouseCells(THouse* house);
// One decay step over the crops left by lost barns.
void DecayBarnFields();
// The cells waiting to decay, in order; emptied at game end.
const std::vector<std::uint32_t>& BarnDecayList();
void FreeBarnDecayList();
// Takes the last queued entry of the unit type out of the building's queue (refund 1: its cost
// comes back).
void PushUnitToHouseQueue(std::uint8_t player, std::uint16_t house, std::uint16_t unitType, std::uint8_t refund);
// The effect a tower's muzzle flash uses.
constexpr std::uint32_t HOUSE_MUZZLE_FLASH_EXPLOSION = 6;

// Set when research or an upgrade completed, for the panel to show the change.
extern std::uint8_t g_bResearchChanged;

// The walk's upgrade step for one finished building: the countdown drops by P / D under a power
// shortage (D > P), else by 1.0; at 0 or below the upgrade word is cleared and the upgrade
// applied. Nothing while no upgrade runs.
void AdvanceHouseUpgrade(THouse* house);

// ---- what the behaviour asks of other subsystems ----------------------------------------------

// Tests put recording stand-ins here; the default table binds the real modules.
struct THouseBehaviourServices {
    // Players.
    std::function<bool(std::uint8_t player)> isComputerPlayer;
    std::function<std::uint8_t(std::uint8_t player)> nation;
    // Advisor option n (1-based) of the economy and war advisors, and the two assistants.
    std::function<bool(std::uint8_t player, int option)> economyOption;
    std::function<bool(std::uint8_t player, int option)> warOption;
    std::function<bool(std::uint8_t player)> compAssist;
    std::function<bool(std::uint8_t player)> warAssist;
    std::function<double(std::uint8_t player, std::uint8_t resource)> spendable;
    std::function<void(std::uint8_t player, std::uint8_t resource, double amount)> addResource;
    std::function<void(std::uint8_t player, std::uint8_t resource, double amount)> addExtracted;
    std::function<bool(std::uint8_t player, std::uint8_t resource)> resourceFell;
    std::function<void(std::uint8_t player, const std::int32_t* cost)> subtractCost;
    std::function<std::int32_t(std::uint8_t player)> population;
    std::function<std::int32_t(std::uint8_t player)> populationCap;
    std::function<void(std::uint8_t player, std::int32_t delta)> addPopulationCap;
    std::function<std::uint8_t(std::uint8_t player, std::uint8_t toward)> relation;
    std::function<bool(std::uint8_t player)> isDead;
    std::function<void(std::uint8_t player, float x, float y, std::uint8_t value)> markGrid;
    // Units.
    std::function<TUnit*(std::uint8_t player)> firstUnit;
    std::function<const std::vector<TUnit*>&()> shipUnits;
    std::function<void(std::uint8_t player, std::uint16_t house, std::uint16_t type, std::uint8_t refund)>
        removeFromQueue;
    // Combat and effects.
    std::function<void(TUnit* unit, TUnit* from, std::uint16_t code, std::uint16_t slot)> goToObject;
    std::function<bool(THouse*)> houseSearchTarget;
    std::function<void(THouse*, TUnit*)> artilleryFire;
    std::function<void(float x, float y, std::uint32_t type)> delayedExplosion;
    std::function<void(TUnit*, std::uint8_t killer)> removeUnitFromGame;
    std::function<void()> refreshTargetGridHouses;
    // World map and interface.
    std::function<bool(std::int32_t x, std::int32_t y)> isWater;
    std::function<void()> refreshPanel;
    std::function<void()> fogOff;

    static THouseBehaviourServices Default();
};
THouseBehaviourServices& HouseBehaviourServices();
