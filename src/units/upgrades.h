#pragma once
// Upgrades and research: the cost and duration tables, the per-player research state, paying,
// starting and cancelling an upgrade (with its refund), and the tests computer players and the
// building handlers use. The effect of a completed upgrade is THouse::ApplyUpgrade
// (house_behaviour.h).
//
// Threads: main thread only, inside the game cycle (orders, computer players, building handlers).
#include <array>
#include <cstdint>
#include <span>

class THouse;
class TOfStreamMemory;

// Costs in the order food, wood, iron, gold, oil, then a sixth value (the power plant's level
// rows hold 3..8 there; the basic family's cancellation reads it).
constexpr int UPGRADE_COSTS = 6;
constexpr int UPGRADE_GOODS = 5;
using TUpgradeCost = std::array<std::int32_t, UPGRADE_COSTS>;

struct TUpgradeRow {
    TUpgradeCost cost;
    std::uint16_t duration; // cycles
};

// An upgrade id is 3 + the index within its family; 0..2 mean none.
constexpr std::uint8_t UPGRADE_ID_FIRST = 3;
constexpr int SCIENCE_UPGRADES = 20;
constexpr int WAR_UPGRADES = 30;
constexpr int SCIENCE_SINGLE_FLAGS = 12;
constexpr int BASIC_UPGRADE_ROWS = 6;
// Science indices whose marks are cleared again on completion, so they can be researched again.
constexpr int SCIENCE_REPEATABLE_FIRST = 13;
constexpr int SCIENCE_REPEATABLE_LAST = 17;
// Repeated research must not drive a value to nothing: the gas factor stops rising at
// RESEARCH_MAX_GAS_FACTOR, the aircraft damage factor stops falling at RESEARCH_MIN_AIR_DAMAGE and
// research no longer shortens an aircraft reload time below RESEARCH_MIN_AIR_RELOAD cycles.
constexpr float RESEARCH_MAX_GAS_FACTOR = 4.0f;
constexpr float RESEARCH_MIN_AIR_DAMAGE = 0.25f;
constexpr std::uint16_t RESEARCH_MIN_AIR_RELOAD = 10;
// The automatic upgrades of power plants, dwellings and resource makers stop below this level;
// towers only upgrade while at or below TOWER_AUTO_UPGRADE_LEVEL.
constexpr std::uint8_t AUTO_UPGRADE_LEVEL_LIMIT = 5;
constexpr std::uint8_t TOWER_AUTO_UPGRADE_LEVEL = 3;

extern const std::array<TUpgradeRow, SCIENCE_UPGRADES> g_ScienceUpgrades;
extern const std::array<TUpgradeRow, WAR_UPGRADES> g_WarUpgrades;
extern const TUpgradeRow g_MintUpgrade;
extern const std::array<TUpgradeCost, BASIC_UPGRADE_ROWS> g_BasicUpgrades;
// The level rows of a building type's family (power plant, dwelling, iron and gold makers, oil
// maker, watchtower, the two pillboxes); empty for any other type. Row = the current level.
std::span<const TUpgradeRow> LevelFamily(std::uint16_t houseType);

// ---- per-player research state (cleared by InitUpgrades, saved with the game statistics) ------

extern std::uint8_t g_ScienceTaken[8][SCIENCE_UPGRADES]; // started or completed
extern std::uint8_t g_ScienceDone[8][SCIENCE_UPGRADES];
// The same marks for indices 0..11, one array of eight players per index.
extern std::uint8_t g_ScienceTakenFlags[SCIENCE_SINGLE_FLAGS][8];
extern std::uint8_t g_ScienceDoneFlags[SCIENCE_SINGLE_FLAGS][8];
extern std::uint8_t g_WarTaken[8][WAR_UPGRADES];
extern std::uint8_t g_WarDone[8][WAR_UPGRADES];
extern std::uint8_t g_MintUpgraded[8];

// Factors that research raises (1.0 at game start), read by combat: accuracy of units and
// buildings (war research 1, 2), the third war research's factor, protection of units inside
// buildings (war research 10, 12), damage to ships, damage to aircraft, the gas cloud of gas shells,
// the accuracy of shells and bombs, and the hospitals' healing.
extern float g_AccuracyFactor[8];
extern float g_WarResearchFactorB[8];
extern float g_ShelterFactor[8];
extern float g_UnitArmourFactor[8];
extern float g_AirDamageFactor[8];
extern float g_GasFactor[8];
extern float g_ShotAccuracyFactor[8];
extern float g_HealRate[8];
// Special shells the shot code may spend (one more per science research 16).
extern std::uint32_t g_SpecialShells[8];

// The research marks as the game statistics block stores them (docs/formats.md): 24 arrays of 8
// single flags, the four per-player arrays, the mint marks and 32 bytes kept for other modules.
constexpr std::int32_t RESEARCH_STATE_BYTES = 24 * 8 + 160 + 160 + 240 + 240 + 5 * 8;
void SaveResearchState(TOfStreamMemory& out);
// Takes the marks from a stored block of RESEARCH_STATE_BYTES; false for a block of another size.
bool LoadResearchState(std::span<const std::uint8_t> block);

// Clears the research state and sets the factors to 1.0 (game load). FreeUpgrades is its empty
// counterpart.
void InitUpgrades();
void FreeUpgrades();

// Whether a science index is started or done; indices 0..11 read their single flags, which is the
// mark a running academy holds and a destroyed academy clears.
bool ScienceTaken(std::uint8_t player, int index);
bool ScienceDone(std::uint8_t player, int index);

// Every one of the five costs is at most the player's spendable amount.
bool UpgradeAffordable(std::uint8_t player, const TUpgradeCost& cost);
// Subtracts the five costs from both values of their resources; the spendable value stays >= 0.
void PayUpgradeRow(std::uint8_t player, const TUpgradeCost& cost);

// Starts an upgrade of a building: timer and remaining time = duration, the running id and flag.
// The academies also mark the research taken. false (logged, nothing changed) for an id outside
// the building's tables.
bool StartScienceUpgrade(THouse* house, std::uint16_t duration, std::uint8_t id);
bool StartWarUpgrade(THouse* house, std::uint16_t duration, std::uint8_t id);
bool SetHouseTimer(THouse* house, std::uint16_t duration, std::uint8_t id);
// The start an upgrade order makes after paying, by the building's type.
bool StartHouseUpgrade(THouse* house, std::uint16_t duration, std::uint8_t id);

// Cancels the running upgrade and gives back the part of the cost not yet used (remaining /
// timer of each cost); nothing when no upgrade runs. The academy variant clears the taken mark.
void CancelAcademyUpgrade(THouse* house, const TUpgradeCost& cost);
void CancelHouseUpgrade(THouse* house, const TUpgradeCost& cost);
// Cancels the building type's basic upgrade (its row chosen by the type's basic-row field).
void CancelBasicUpgrade(THouse* house);

// The computer player's test of a science index: not taken or done, twice its cost in every
// resource, the map kind and the prerequisites.
bool AcademyCanUpgrade(std::uint8_t player, int index);
// Starts science index on an idle academy and pays for it; false when the academy is busy.
bool AcademyStartUpgrade(THouse* house, int index);
// Starts the player's mint upgrade when a mint is idle and the player can pay.
bool MintStartUpgrade(std::uint8_t player);
// The level family's test and start for a building at its current level.
bool LevelCanUpgrade(const THouse* house);
bool LevelStartUpgrade(THouse* house);
