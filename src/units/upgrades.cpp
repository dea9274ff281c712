#include "units/upgrades.h"

#include <algorithm>
#include <cstring>

#include "core/error_log.h"
#include "core/memory_stream.h"
#include "map/map_file.h"
#include "players/economy.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/house_types.h"

namespace {

constexpr TUpgradeCost Cost(std::int32_t food, std::int32_t wood, std::int32_t iron, std::int32_t gold,
                            std::int32_t oil, std::int32_t sixth = 0)
{
    return {food, wood, iron, gold, oil, sixth};
}

// The resource each cost pays from, in the cost order food, wood, iron, gold, oil.
constexpr std::uint8_t kCostResource[UPGRADE_GOODS] = {RESOURCE_FOOD, RESOURCE_WOOD, RESOURCE_IRON, RESOURCE_GOLD,
                                                       RESOURCE_OIL};
// Paying walks the goods in this order (indexes into the cost row).
constexpr int kPayOrder[UPGRADE_GOODS] = {0, 3, 1, 2, 4};

constexpr std::array<TUpgradeRow, 6> kPowerPlantRows = {{
    {Cost(200, 200, 200, 200, 200, 3), 300},
    {Cost(400, 400, 400, 400, 400, 4), 500},
    {Cost(800, 800, 800, 800, 800, 5), 800},
    {Cost(1600, 1600, 1600, 1600, 1600, 6), 1200},
    {Cost(3000, 3000, 3000, 3000, 3000, 7), 1600},
    {Cost(5000, 5000, 5000, 5000, 5000, 8), 2200},
}};
constexpr std::array<TUpgradeRow, 6> kDwellingRows = {{
    {Cost(100, 100, 100, 100, 100), 300},
    {Cost(150, 150, 150, 150, 150), 500},
    {Cost(200, 200, 200, 200, 200), 600},
    {Cost(250, 250, 250, 250, 250), 800},
    {Cost(300, 300, 300, 300, 300), 1000},
    {Cost(350, 350, 350, 350, 350), 1200},
}};
// The iron and gold makers pay alike but keep a table each, as their pages do.
constexpr std::array<TUpgradeRow, 6> kMineRows = {{
    {Cost(1000, 500, 0, 1000, 0), 500},
    {Cost(5000, 1500, 0, 3000, 0), 700},
    {Cost(25000, 4500, 0, 9000, 0), 900},
    {Cost(125000, 13500, 0, 27000, 0), 1100},
    {Cost(625000, 41500, 0, 81000, 0), 1300},
    {Cost(243000, 124500, 0, 243000, 0), 1500},
}};
constexpr std::array<TUpgradeRow, 6> kIronMakerRows = kMineRows;
constexpr std::array<TUpgradeRow, 6> kGoldMakerRows = kMineRows;
constexpr std::array<TUpgradeRow, 6> kOilMakerRows = {{
    {Cost(1000, 0, 1000, 1000, 0), 500},
    {Cost(5000, 0, 3000, 3000, 0), 700},
    {Cost(25000, 0, 9000, 9000, 0), 900},
    {Cost(125000, 0, 27000, 27000, 0), 1100},
    {Cost(625000, 0, 81000, 81000, 0), 1300},
    {Cost(243000, 0, 243000, 243000, 0), 1500},
}};
constexpr std::array<TUpgradeRow, 4> kWatchtowerRows = {{
    {Cost(1000, 0, 0, 100, 0), 200},
    {Cost(1000, 0, 0, 200, 0), 300},
    {Cost(1000, 0, 0, 400, 0), 400},
    {Cost(1000, 0, 0, 800, 0), 500},
}};
constexpr std::array<TUpgradeRow, 4> kPillboxRows = {{
    {Cost(1000, 0, 0, 200, 0), 300},
    {Cost(1000, 0, 0, 400, 0), 400},
    {Cost(1000, 0, 0, 800, 0), 600},
    {Cost(1000, 0, 0, 1600, 0), 800},
}};

THouseBehaviourServices& S()
{
    return HouseBehaviourServices();
}

bool ValidHouse(const THouse* h)
{
    return h != nullptr && h->TypeRecord != nullptr && h->Owner < 8;
}

void RebuildPanelFor(std::uint8_t player)
{
    if (player == MyPlayer)
        S().refreshPanel();
}

// The fields every start sets.
void StartTimer(THouse* h, std::uint16_t duration, std::uint8_t id)
{
    h->UpgradeRunning = duration;
    h->UpgradeCountdown = duration;
    h->UpgradeInProgress = id;
    h->UpgradeFlag = 1;
}

void MarkScienceTaken(THouse* h, int index)
{
    const std::uint8_t p = h->Owner;
    g_ScienceTaken[p][index] = 1;
    if (index < SCIENCE_SINGLE_FLAGS) {
        g_ScienceTakenFlags[index][p] = 1;
        h->UpgradeFlagPointer = &g_ScienceTakenFlags[index][p];
    } else {
        h->UpgradeFlagPointer = &g_ScienceTaken[p][index];
    }
}

void Refund(THouse* h, const TUpgradeCost& cost)
{
    const float fraction = h->UpgradeCountdown / static_cast<float>(h->UpgradeRunning);
    h->UpgradeRunning = 0;
    h->UpgradeFlag = 0;
    for (int k : kPayOrder)
        S().addResource(h->Owner, kCostResource[k], static_cast<double>(cost[k]) * fraction);
}

} // namespace

// ---- tables -----------------------------------------------------------------------------------

const std::array<TUpgradeRow, SCIENCE_UPGRADES> g_ScienceUpgrades = {{
    {Cost(10000, 0, 0, 2000, 0), 1000},         {Cost(8000, 0, 0, 1000, 0), 1000},
    {Cost(15000, 0, 0, 5500, 0), 1000},         {Cost(20000, 25000, 30000, 40000, 0), 1000},
    {Cost(30000, 35000, 40000, 50000, 0), 1000}, {Cost(20000, 25000, 30000, 40000, 0), 1000},
    {Cost(150000, 0, 0, 25000, 0), 1000},       {Cost(200000, 0, 0, 100000, 0), 1000},
    {Cost(10000, 0, 0, 10000, 20000), 1000},    {Cost(30000, 0, 0, 30000, 60000), 1000},
    {Cost(100000, 20000, 20000, 40000, 0), 1000}, {Cost(10000, 0, 0, 10000, 20000), 1000},
    {Cost(100000, 0, 0, 30000, 20000), 1000},   {Cost(10000, 0, 1000, 5000, 5000), 1000},
    {Cost(50000, 0, 0, 10000, 5000), 1000},     {Cost(25000, 0, 0, 15000, 0), 1000},
    {Cost(250000, 0, 50000, 100000, 0), 1000},  {Cost(10000, 0, 0, 5000, 0), 1000},
    {Cost(55000, 0, 0, 25000, 0), 1000},        {Cost(0, 0, 0, 0, 0), 1000},
}};

const std::array<TUpgradeRow, WAR_UPGRADES> g_WarUpgrades = {{
    {Cost(10000, 0, 0, 10000, 0), 1000},
    {Cost(100000, 10000, 30000, 20000, 10000), 1000},
    {Cost(10000, 0, 0, 10000, 0), 1000},
    {Cost(10000, 0, 0, 10000, 0), 1000},
    {Cost(20000, 10000, 30000, 20000, 10000), 1000},
    {Cost(20000, 15000, 30000, 20000, 10000), 1000},
    {Cost(20000, 15000, 30000, 20000, 10000), 1000},
    {Cost(20000, 15000, 30000, 20000, 10000), 1000},
    {Cost(20000, 15000, 30000, 20000, 10000), 1000},
    {Cost(75000, 15000, 30000, 20000, 10000), 1000},
    {Cost(10000, 0, 0, 2000, 0), 1000},
    {Cost(50000, 0, 0, 20000, 0), 1000},
    {Cost(25000, 0, 30000, 20000, 0), 1000},
    {Cost(25000, 0, 30000, 20000, 0), 1000},
    {Cost(30000, 0, 40000, 50000, 0), 1000},
    {Cost(65000, 0, 0, 10000, 0), 1000},
    {Cost(100000, 0, 0, 25000, 0), 1000},
    {Cost(25000, 0, 30000, 40000, 0), 1000},
    {Cost(25000, 0, 30000, 40000, 0), 1000},
    {Cost(125000, 0, 40000, 60000, 0), 2000},
    {Cost(200000, 0, 0, 100000, 0), 1000},
    {Cost(40000, 0, 10000, 10000, 0), 2000},
    {Cost(0, 0, 0, 40000, 0), 2000},
    {Cost(50000, 0, 30000, 50000, 0), 2000},
    {Cost(200000, 0, 50000, 100000, 0), 2000},
    {Cost(100000, 0, 30000, 50000, 0), 2000},
    {Cost(1, 1, 1, 1, 1), 2000},
    {Cost(1, 1, 1, 1, 1), 2000},
    {Cost(1, 1, 1, 1, 1), 2000},
    {Cost(1, 1, 1, 1, 1), 2000},
}};

const TUpgradeRow g_MintUpgrade = {Cost(10000, 0, 5000, 1000, 0), 500};

const std::array<TUpgradeCost, BASIC_UPGRADE_ROWS> g_BasicUpgrades = {{
    Cost(10000, 5000, 5000, 5000, 0),
    Cost(10000, 5000, 5000, 5000, 0),
    Cost(10000, 5000, 5000, 5000, 0),
    Cost(2000, 1000, 1000, 1000, 0),
    Cost(2000, 1000, 1000, 1000, 0),
    Cost(2000, 1000, 1000, 1000, 0),
}};

std::span<const TUpgradeRow> LevelFamily(std::uint16_t houseType)
{
    switch (houseType) {
    case HOUSE_POWER_PLANT:
        return kPowerPlantRows;
    case HOUSE_DWELLING:
        return kDwellingRows;
    case HOUSE_IRON_MAKER:
        return kIronMakerRows;
    case HOUSE_GOLD_MAKER:
        return kGoldMakerRows;
    case HOUSE_OIL_MAKER:
        return kOilMakerRows;
    case HOUSE_WATCHTOWER:
        return kWatchtowerRows;
    case HOUSE_PILLBOX:
    case HOUSE_BUNKER:
        return kPillboxRows;
    default:
        return {};
    }
}

// ---- state ------------------------------------------------------------------------------------

std::uint8_t g_ScienceTaken[8][SCIENCE_UPGRADES] = {};
std::uint8_t g_ScienceDone[8][SCIENCE_UPGRADES] = {};
std::uint8_t g_ScienceTakenFlags[SCIENCE_SINGLE_FLAGS][8] = {};
std::uint8_t g_ScienceDoneFlags[SCIENCE_SINGLE_FLAGS][8] = {};
std::uint8_t g_WarTaken[8][WAR_UPGRADES] = {};
std::uint8_t g_WarDone[8][WAR_UPGRADES] = {};
std::uint8_t g_MintUpgraded[8] = {};

float g_AccuracyFactor[8] = {};
float g_WarResearchFactorB[8] = {};
float g_ShelterFactor[8] = {};
float g_UnitArmourFactor[8] = {};
float g_AirDamageFactor[8] = {};
float g_GasFactor[8] = {};
float g_ShotAccuracyFactor[8] = {};
float g_HealRate[8] = {};
std::uint32_t g_SpecialShells[8] = {};

void InitUpgrades()
{
    std::memset(g_ScienceTaken, 0, sizeof g_ScienceTaken);
    std::memset(g_ScienceDone, 0, sizeof g_ScienceDone);
    std::memset(g_ScienceTakenFlags, 0, sizeof g_ScienceTakenFlags);
    std::memset(g_ScienceDoneFlags, 0, sizeof g_ScienceDoneFlags);
    std::memset(g_WarTaken, 0, sizeof g_WarTaken);
    std::memset(g_WarDone, 0, sizeof g_WarDone);
    std::memset(g_MintUpgraded, 0, sizeof g_MintUpgraded);
    std::memset(g_SpecialShells, 0, sizeof g_SpecialShells);
    for (float* factor : {g_AccuracyFactor, g_WarResearchFactorB, g_ShelterFactor, g_UnitArmourFactor,
                          g_AirDamageFactor, g_GasFactor, g_ShotAccuracyFactor, g_HealRate})
        std::fill(factor, factor + 8, 1.0f);
}

namespace {

// The stored order of the research marks, for both directions.
template <class Fn>
void ForEachResearchArray(Fn fn)
{
    for (auto& flags : g_ScienceTakenFlags)
        fn(flags, sizeof flags);
    for (auto& flags : g_ScienceDoneFlags)
        fn(flags, sizeof flags);
    fn(g_ScienceTaken, sizeof g_ScienceTaken);
    fn(g_ScienceDone, sizeof g_ScienceDone);
    fn(g_WarTaken, sizeof g_WarTaken);
    fn(g_WarDone, sizeof g_WarDone);
    fn(g_MintUpgraded, sizeof g_MintUpgraded);
}

// The rest of the stored block belongs to the players' statistics.
constexpr std::size_t kOtherStatistics = 4 * 8;

} // namespace

void SaveResearchState(TOfStreamMemory& out)
{
    ForEachResearchArray([&](const void* array, std::size_t size) {
        out.Write(array, static_cast<std::int32_t>(size));
    });
    static const std::uint8_t kZeros[kOtherStatistics] = {};
    out.Write(kZeros, sizeof kZeros);
}

bool LoadResearchState(std::span<const std::uint8_t> block)
{
    if (block.size() != static_cast<std::size_t>(RESEARCH_STATE_BYTES))
        return false;
    std::size_t at = 0;
    ForEachResearchArray([&](void* array, std::size_t size) {
        std::memcpy(array, block.data() + at, size);
        at += size;
    });
    return true;
}

void FreeUpgrades() {}

bool ScienceTaken(std::uint8_t player, int index)
{
    if (player >= 8 || index < 0 || index >= SCIENCE_UPGRADES)
        return false;
    return index < SCIENCE_SINGLE_FLAGS ? g_ScienceTakenFlags[index][player] != 0 : g_ScienceTaken[player][index] != 0;
}

bool ScienceDone(std::uint8_t player, int index)
{
    if (player >= 8 || index < 0 || index >= SCIENCE_UPGRADES)
        return false;
    return g_ScienceDone[player][index] != 0;
}

// ---- paying -----------------------------------------------------------------------------------

bool UpgradeAffordable(std::uint8_t player, const TUpgradeCost& cost)
{
    for (int k = 0; k < UPGRADE_GOODS; ++k)
        if (static_cast<double>(cost[k]) > S().spendable(player, kCostResource[k]))
            return false;
    return true;
}

void PayUpgradeRow(std::uint8_t player, const TUpgradeCost& cost)
{
    for (int k : kPayOrder)
        S().addResource(player, kCostResource[k], -static_cast<double>(cost[k]));
}

// ---- starting ---------------------------------------------------------------------------------

bool StartScienceUpgrade(THouse* h, std::uint16_t duration, std::uint8_t id)
{
    if (!ValidHouse(h) || id < UPGRADE_ID_FIRST || id - UPGRADE_ID_FIRST >= SCIENCE_UPGRADES) {
        ReportErrorInt("StartScienceUpgrade: no such research, id ", h != nullptr ? id : -1);
        return false;
    }
    StartTimer(h, duration, id);
    MarkScienceTaken(h, id - UPGRADE_ID_FIRST);
    RebuildPanelFor(h->Owner);
    return true;
}

bool StartWarUpgrade(THouse* h, std::uint16_t duration, std::uint8_t id)
{
    if (!ValidHouse(h) || id < UPGRADE_ID_FIRST || id - UPGRADE_ID_FIRST >= WAR_UPGRADES) {
        ReportErrorInt("StartWarUpgrade: no such research, id ", h != nullptr ? id : -1);
        return false;
    }
    StartTimer(h, duration, id);
    std::uint8_t& taken = g_WarTaken[h->Owner][id - UPGRADE_ID_FIRST];
    taken = 1;
    h->UpgradeFlagPointer = &taken;
    RebuildPanelFor(h->Owner);
    return true;
}

bool SetHouseTimer(THouse* h, std::uint16_t duration, std::uint8_t id)
{
    if (!ValidHouse(h))
        return false;
    StartTimer(h, duration, id);
    if (h->Selected != 0)
        RebuildPanelFor(h->Owner);
    return true;
}

bool StartHouseUpgrade(THouse* h, std::uint16_t duration, std::uint8_t id)
{
    if (!ValidHouse(h))
        return false;
    switch (h->HouseType) {
    case HOUSE_SCIENCE_ACADEMY:
        return StartScienceUpgrade(h, duration, id);
    case HOUSE_WAR_ACADEMY:
        return StartWarUpgrade(h, duration, id);
    default:
        return SetHouseTimer(h, duration, id);
    }
}

// ---- cancelling -------------------------------------------------------------------------------

void CancelHouseUpgrade(THouse* h, const TUpgradeCost& cost)
{
    if (!ValidHouse(h) || h->UpgradeRunning == 0)
        return;
    Refund(h, cost);
    h->UpgradeFlagPointer = nullptr;
    RebuildPanelFor(h->Owner);
}

void CancelAcademyUpgrade(THouse* h, const TUpgradeCost& cost)
{
    if (!ValidHouse(h) || h->UpgradeRunning == 0)
        return;
    Refund(h, cost);
    const int index = h->UpgradeInProgress - UPGRADE_ID_FIRST;
    const std::uint8_t p = h->Owner;
    if (h->HouseType == HOUSE_SCIENCE_ACADEMY && index >= 0 && index < SCIENCE_UPGRADES) {
        g_ScienceTaken[p][index] = 0;
        if (index < SCIENCE_SINGLE_FLAGS)
            g_ScienceTakenFlags[index][p] = 0;
    } else if (h->HouseType == HOUSE_WAR_ACADEMY && index >= 0 && index < WAR_UPGRADES) {
        g_WarTaken[p][index] = 0;
    }
    // The mark is free again: a later destruction must not clear it for another academy.
    h->UpgradeFlagPointer = nullptr;
    RebuildPanelFor(p);
}

void CancelBasicUpgrade(THouse* h)
{
    if (!ValidHouse(h) || h->UpgradeRunning == 0)
        return;
    THouseType& t = h->Type();
    const TUpgradeCost& row = g_BasicUpgrades[std::min<int>(t.m_NoCapacity, BASIC_UPGRADE_ROWS - 1)];
    // The running flag stays as it was: only the timer, the refund and the mark change.
    const std::uint8_t flag = h->UpgradeFlag;
    Refund(h, row);
    h->UpgradeFlag = flag;
    t.m_Upgrade2 = 0;
    g_PowerDemand[h->Owner] -= static_cast<float>(row[5]);
    h->UpgradeInProgress = 2;
    RebuildPanelFor(h->Owner);
}

// ---- computer players and building handlers ---------------------------------------------------

bool AcademyCanUpgrade(std::uint8_t player, int index)
{
    if (player >= 8 || index < 0 || index >= SCIENCE_UPGRADES)
        return false;
    if (ScienceTaken(player, index) || ScienceDone(player, index))
        return false;
    const TUpgradeCost& cost = g_ScienceUpgrades[index].cost;
    for (int k = 0; k < UPGRADE_GOODS; ++k)
        if (S().spendable(player, kCostResource[k]) * 0.5 < static_cast<double>(cost[k]))
            return false;
    static constexpr int kNotOnKind3[] = {0, 1, 2, 6, 7};
    if (g_MapKind == 3 && std::find(std::begin(kNotOnKind3), std::end(kNotOnKind3), index) != std::end(kNotOnKind3))
        return false;
    switch (index) {
    case 2:
        return ScienceDone(player, 0);
    case 4:
        return ScienceDone(player, 3);
    case 7:
        return ScienceDone(player, 6);
    default:
        return true;
    }
}

bool AcademyStartUpgrade(THouse* h, int index)
{
    if (!ValidHouse(h) || h->UpgradeRunning != 0 || index < 0 || index >= SCIENCE_UPGRADES)
        return false;
    const TUpgradeRow& row = g_ScienceUpgrades[index];
    StartTimer(h, row.duration, static_cast<std::uint8_t>(index + UPGRADE_ID_FIRST));
    PayUpgradeRow(h->Owner, row.cost);
    MarkScienceTaken(h, index);
    return true;
}

bool MintStartUpgrade(std::uint8_t player)
{
    if (player >= 8 || g_pHouse[player] == nullptr)
        return false;
    THouse* mint = nullptr;
    for (std::uint16_t i = 0; i < NumHouse[player] && mint == nullptr; ++i) {
        THouse& h = g_pHouse[player][i];
        if (h.HouseType == HOUSE_MINT && h.Destroyed == 0 && h.TypeRecord != nullptr)
            mint = &h;
    }
    if (mint == nullptr || mint->UpgradeFlag != 0 || mint->UpgradeRunning != 0)
        return false;
    if (!UpgradeAffordable(player, g_MintUpgrade.cost))
        return false;
    PayUpgradeRow(player, g_MintUpgrade.cost);
    return SetHouseTimer(mint, g_MintUpgrade.duration, UPGRADE_ID_FIRST);
}

bool LevelCanUpgrade(const THouse* h)
{
    if (!ValidHouse(h) || h->UpgradeRunning != 0)
        return false;
    const std::span<const TUpgradeRow> rows = LevelFamily(h->HouseType);
    return h->UpgradeLevel < rows.size() && UpgradeAffordable(h->Owner, rows[h->UpgradeLevel].cost);
}

bool LevelStartUpgrade(THouse* h)
{
    if (!ValidHouse(h))
        return false;
    const std::span<const TUpgradeRow> rows = LevelFamily(h->HouseType);
    if (h->UpgradeLevel >= rows.size())
        return false;
    const TUpgradeRow& row = rows[h->UpgradeLevel];
    StartTimer(h, row.duration, static_cast<std::uint8_t>(h->UpgradeLevel + UPGRADE_ID_FIRST));
    if (h->HouseType == HOUSE_POWER_PLANT)
        PayUpgradeRow(h->Owner, row.cost);
    else
        S().subtractCost(h->Owner, row.cost.data());
    return true;
}
