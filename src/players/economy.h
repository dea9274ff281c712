#pragma once
// What buildings and upgrades read and change of a player's state: the resource pairs, the
// population and its cap, the statistics, relations and the advisor switches. Main thread only.
#include <cstdint>

class THouse;

// Resource indexes of a player's pairs {recorded, spendable}.
constexpr std::uint8_t RESOURCE_GOLD = 0;
constexpr std::uint8_t RESOURCE_WOOD = 1;
constexpr std::uint8_t RESOURCE_IRON = 2;
constexpr std::uint8_t RESOURCE_OIL = 3;
constexpr std::uint8_t RESOURCE_FOOD = 4;

// Prices and upkeeps in the type records run food, wood, iron, gold, oil; this is the resource
// index of each entry of such a run.
constexpr std::uint8_t PRICE_RESOURCE[5] = {RESOURCE_FOOD, RESOURCE_WOOD, RESOURCE_IRON, RESOURCE_GOLD, RESOURCE_OIL};
// A price at or below this is paid but never makes anything unaffordable.
constexpr double PRICE_TEST_FLOOR = 1.0;
// The most buildings a player may own; at this count no building is affordable.
constexpr std::uint16_t PLAYER_HOUSE_LIMIT = 999;
// Building-type values that are not indexes into the type table.
constexpr std::uint16_t HOUSE_TYPE_ALWAYS_AFFORDABLE = 65533;
constexpr std::uint16_t HOUSE_TYPE_TRENCH = 65534;
// Wood per trench or pontoon segment.
constexpr double TRENCH_WOOD_PRICE = 300.0;

// The spendable amount of a resource (0 for a player that does not exist).
double GetSpendableResource(std::uint8_t player, std::uint8_t resource);
// Adds to both values of the pair; the spendable value is clamped at 0.
void AddResourceAmount(std::uint8_t player, std::uint8_t resource, double amount);
// Adds to the player's extracted total of a resource (the statistics).
void AddExtractedResource(std::uint8_t player, std::uint8_t resource, double amount);
// Whether the recorded value fell (grew) between the last two statistics samples; never while
// fewer than two samples were taken.
bool ResourceFellSinceSample(std::uint8_t player, std::uint8_t resource);
bool ResourceGrewSinceSample(std::uint8_t player, std::uint8_t resource);
// Subtracts five amounts {food, wood, iron, gold, oil} from both values, without test or clamping
// (the upgrade pages test the price first).
void SubtractCost(std::uint8_t player, const std::int32_t* cost);

// The population: the player's living units, which count against the cap.
std::int32_t GetPopulation(std::uint8_t player);
std::int32_t GetPopulationCap(std::uint8_t player);
// The cap stays within 0..65535.
void AddPopulationCap(std::uint8_t player, std::int32_t delta);

// The relation byte of a player toward another (1 peace, 0 war) and the dead flag (a player that
// does not exist counts as dead).
std::uint8_t GetPlayerRelation(std::uint8_t player, std::uint8_t toward);
bool IsPlayerDead(std::uint8_t player);

// The price test with every price multiplied by the batch, and the population test cap >
// population + batch: what the computer player's placement asks before it builds a producer.
bool CanAffordUnitsBatch5(std::uint8_t player, std::uint16_t type);
bool CanAffordUnitsBatch50(std::uint8_t player, std::uint16_t type);
// One cycle of the building type's upkeep, taken from its owner (spendable values stop at 0).
// Always true: the building keeps working without stock.
bool ChargeHouseUpkeep(THouse* house);
// The local player's five resources and population on the back surface, and the warning when the
// population has reached the cap. Drawing only: reads the simulation, changes nothing in it.
void DrawResourceBar();

// The economy assistant (command 25) and war assistant (command 26) switches; the advisor option
// bytes they gate are the settings' g_AdvisorOptions and g_WarAdvisorOptions.
extern std::uint8_t g_CompAssist[8];
extern std::uint8_t g_WarAssist[8];

// The cycle clears the upkeep marker before the players' turns.
void ClearUpkeepMarker();
