#pragma once
// What buildings and upgrades read and change of a player's state: the resource pairs, the
// population and its cap, the statistics, relations and the advisor switches. Main thread only.
#include <cstdint>

// Resource indexes of a player's pairs {recorded, spendable}.
constexpr std::uint8_t RESOURCE_GOLD = 0;
constexpr std::uint8_t RESOURCE_WOOD = 1;
constexpr std::uint8_t RESOURCE_IRON = 2;
constexpr std::uint8_t RESOURCE_OIL = 3;
constexpr std::uint8_t RESOURCE_FOOD = 4;

// The spendable amount of a resource (0 for a player that does not exist).
double GetSpendableResource(std::uint8_t player, std::uint8_t resource);
// Adds to both values of the pair; the spendable value is clamped at 0.
void AddResourceAmount(std::uint8_t player, std::uint8_t resource, double amount);
// Adds to the player's extracted total of a resource (the statistics).
void AddExtractedResource(std::uint8_t player, std::uint8_t resource, double amount);
// Whether the recorded value fell between the last two statistics samples.
bool ResourceFellSinceSample(std::uint8_t player, std::uint8_t resource);
// Subtracts five amounts {food, wood, iron, gold, oil} from both values, without clamping.
void SubtractCost(std::uint8_t player, const std::int32_t* cost);

std::int32_t GetPopulation(std::uint8_t player);
std::int32_t GetPopulationCap(std::uint8_t player);
void AddPopulationCap(std::uint8_t player, std::int32_t delta);

// The relation byte of a player toward another (1 peace, 0 war) and the dead flag.
std::uint8_t GetPlayerRelation(std::uint8_t player, std::uint8_t toward);
bool IsPlayerDead(std::uint8_t player);

// The economy assistant (command 25) and war assistant (command 26) switches; the advisor option
// bytes they gate are the settings' g_AdvisorOptions and g_WarAdvisorOptions.
extern std::uint8_t g_CompAssist[8];
extern std::uint8_t g_WarAssist[8];

// Charges one cycle of the building type's upkeep to the building's owner; false when the
// building does nothing more this cycle.
class THouse;
bool ChargeHouseUpkeep(THouse* house);
// The cycle clears the upkeep marker before the players' turns.
void ClearUpkeepMarker();
