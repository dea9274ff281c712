#include "units/upgrades.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "behaviour_fixture.h"
#include "map/map_fixture.h"
#include "map/map_file.h"
#include "core/memory_stream.h"
#include "platform/bytes.h"

using housetest::BehaviourWorld;
using maptest::LogWatch;

namespace {

// ---- completed upgrades -----------------------------------------------------------------------

struct EffectCase {
    const char* name;
    std::uint16_t type;
    std::uint8_t id;
    std::function<void(THouse&)> prepare;
    std::function<void(BehaviourWorld&, const THouse&)> check;
    int levelRise;
};

TEST(Upgrades, ACompletedUpgradeChangesItsFieldsByTypeAndId)
{
    const EffectCase cases[] = {
        {"power plant first", HOUSE_POWER_PLANT, 3, [](THouse& h) { h.Output = 100.0f; },
         [](BehaviourWorld&, const THouse& h) {
             EXPECT_FLOAT_EQ(h.Output, 115.0f);
             EXPECT_FLOAT_EQ(g_PowerSupply[1], 100.0f + 15.0f);
         }, 1},
        {"power plant later", HOUSE_POWER_PLANT, 7, [](THouse& h) { h.Output = 100.0f; },
         [](BehaviourWorld&, const THouse& h) {
             EXPECT_FLOAT_EQ(h.Output, 120.0f);
             EXPECT_FLOAT_EQ(g_PowerSupply[1], 100.0f + 20.0f);
         }, 1},
        {"pillbox armour, u16 truncated", HOUSE_PILLBOX, 3,
         [](THouse& h) {
             h.MaxHitPoints = 101;
             h.HitPoints = 40.0f;
         },
         [](BehaviourWorld&, const THouse& h) {
             EXPECT_EQ(h.MaxHitPoints, 151); // 151.5 truncated
             EXPECT_FLOAT_EQ(h.HitPoints, 90.5f);
         }, 1},
        {"bunker range", HOUSE_BUNKER, 4, [](THouse& h) { h.Range = 700.0f; },
         [](BehaviourWorld&, const THouse& h) { EXPECT_FLOAT_EQ(h.Range, 910.0f); }, 1},
        {"pillbox shots", HOUSE_PILLBOX, 5, nullptr,
         [](BehaviourWorld&, const THouse& h) { EXPECT_EQ(h.Shots, 3); }, 1},
        {"dwelling room", HOUSE_DWELLING, 5, [](THouse& h) { h.Output = 10.0f; },
         [](BehaviourWorld& w, const THouse& h) {
             EXPECT_FLOAT_EQ(h.Output, 13.0f);
             EXPECT_EQ(w.cap[1], 13);
         }, 1},
        {"iron maker first", HOUSE_IRON_MAKER, 3, [](THouse& h) { h.Output = 2.0f; },
         [](BehaviourWorld&, const THouse& h) { EXPECT_FLOAT_EQ(h.Output, 2.5f); }, 1},
        {"gold maker later", HOUSE_GOLD_MAKER, 4, [](THouse& h) { h.Output = 2.0f; },
         [](BehaviourWorld&, const THouse& h) { EXPECT_FLOAT_EQ(h.Output, 3.0f); }, 1},
        {"oil maker later", HOUSE_OIL_MAKER, 8, [](THouse& h) { h.Output = 2.0f; },
         [](BehaviourWorld&, const THouse& h) { EXPECT_FLOAT_EQ(h.Output, 2.7f); }, 1},
        {"watchtower fire", HOUSE_WATCHTOWER, 3, nullptr,
         [](BehaviourWorld&, const THouse& h) { EXPECT_EQ(h.FireValue, 23); }, 1},
        {"watchtower reload", HOUSE_WATCHTOWER, 6, [](THouse& h) { h.ReloadA = 20.0f; },
         [](BehaviourWorld&, const THouse& h) { EXPECT_FLOAT_EQ(h.ReloadA, 13.0f); }, 1},
        {"watchtower range", HOUSE_WATCHTOWER, 5, nullptr,
         [](BehaviourWorld&, const THouse& h) { EXPECT_FLOAT_EQ(h.Range, 1050.0f); }, 1},
        {"science gathering", HOUSE_SCIENCE_ACADEMY, 4, nullptr,
         [](BehaviourWorld&, const THouse&) {
             EXPECT_FLOAT_EQ(g_GatherFactor[1], 1.15f);
             EXPECT_EQ(g_ScienceDone[1][1], 1);
             EXPECT_EQ(g_ScienceDoneFlags[1][1], 1);
         }, 0},
        {"science supply scale", HOUSE_SCIENCE_ACADEMY, 12, nullptr,
         [](BehaviourWorld&, const THouse&) { EXPECT_FLOAT_EQ(g_PowerSupplyScale[1], 1.2f); }, 0},
        {"science aircraft reload, u16 truncated", HOUSE_SCIENCE_ACADEMY, 19, nullptr,
         [](BehaviourWorld&, const THouse&) {
             EXPECT_EQ(g_UnitTypes[11]->ReloadTime[1], 34); // 40 x 0.85
             EXPECT_EQ(g_UnitTypes[11]->ReloadTime[0], 40);  // another player's stays
         }, 0},
        {"science special shell, repeatable", HOUSE_SCIENCE_ACADEMY, 16, nullptr,
         [](BehaviourWorld&, const THouse&) {
             EXPECT_EQ(g_SpecialShells[1], 1u);
             EXPECT_EQ(g_ScienceDone[1][13], 0);
             EXPECT_EQ(g_ScienceTaken[1][13], 0);
         }, 0},
        {"war accuracy", HOUSE_WAR_ACADEMY, 3, nullptr,
         [](BehaviourWorld&, const THouse&) {
             EXPECT_FLOAT_EQ(g_AccuracyFactor[1], 1.1f);
             EXPECT_EQ(g_WarDone[1][0], 1);
         }, 0},
        {"war gunner reload", HOUSE_WAR_ACADEMY, 7, nullptr,
         [](BehaviourWorld&, const THouse&) {
             for (int t : {2, 3, 14, 25, 26, 27})
                 EXPECT_EQ(g_UnitTypes[t]->ReloadTime[1], 34) << t; // 40 x 0.85
         }, 0},
        {"war hit points and speed", HOUSE_WAR_ACADEMY, 18, nullptr,
         [](BehaviourWorld&, const THouse&) {
             EXPECT_EQ(g_UnitTypes[4]->MaxHitPoints[1], 110);
             EXPECT_FLOAT_EQ(g_UnitTypes[16]->Speed, 1.1f);
         }, 0},
        {"war aircraft build time", HOUSE_WAR_ACADEMY, 28, nullptr,
         [](BehaviourWorld&, const THouse&) { EXPECT_EQ(g_UnitTypes[12]->BuildTime[1], 210); }, 0},
        {"war shelter", HOUSE_WAR_ACADEMY, 12, nullptr,
         [](BehaviourWorld&, const THouse&) { EXPECT_FLOAT_EQ(g_ShelterFactor[1], 1.5f); }, 0},
        {"barracks stage", HOUSE_BARRACKS, 9, nullptr,
         [](BehaviourWorld&, const THouse& h) { EXPECT_EQ(h.Type().m_NoCapacity, 1); }, 0},
    };
    for (const EffectCase& c : cases) {
        SCOPED_TRACE(c.name);
        BehaviourWorld w;
        g_UnitTypes[16]->Speed = 1.0f;
        THouse& h = w.Finished(1, 12, 30, c.type);
        HouseType(0, c.type).m_NoCapacity = 0;
        if (c.prepare)
            c.prepare(h);
        const std::uint8_t level = h.UpgradeLevel;
        if (c.type == HOUSE_POWER_PLANT)
            g_PowerSupply[1] = h.Output;
        if (c.type == HOUSE_DWELLING)
            w.cap[1] = static_cast<std::int32_t>(h.Output);
        h.UpgradeInProgress = c.id;
        h.UpgradeFlag = 1;
        THouse::ApplyUpgrade(&h);
        c.check(w, h);
        EXPECT_EQ(h.UpgradeLevel, level + c.levelRise);
        EXPECT_EQ(h.UpgradeFlag, 0);
        EXPECT_EQ(g_bResearchChanged, 1);
    }
}

TEST(Upgrades, AnUnknownUpgradeIsLoggedAndOnlyRaisesTheLevel)
{
    struct Case {
        std::uint16_t type;
        std::uint8_t id;
        const char* message;
    };
    const Case cases[] = {
        {HOUSE_POWER_PLANT, 9, "Unknown upgrade in powerplant"}, {HOUSE_PILLBOX, 7, "Unknown upgrade in dot"},
        {HOUSE_DWELLING, 9, "Unknown upgrade in house"},         {HOUSE_IRON_MAKER, 9, "Unknown upgrade in ironmaker"},
        {HOUSE_GOLD_MAKER, 1, "Unknown upgrade in goldmaker"},   {HOUSE_OIL_MAKER, 9, "Unknown upgrade in oilmaker"},
        {HOUSE_WATCHTOWER, 7, "Unknown upgrade in wathtower"},   {HOUSE_WAR_ACADEMY, 29, "Unknown upgrade in acadwar"},
    };
    for (const Case& c : cases) {
        BehaviourWorld w;
        THouse& h = w.Finished(1, 12, 30, c.type);
        h.Output = 5.0f;
        const float supply = g_PowerSupply[1];
        LogWatch log;
        h.UpgradeInProgress = c.id;
        THouse::ApplyUpgrade(&h);
        EXPECT_EQ(log.Count(c.message), 1) << c.message;
        EXPECT_FLOAT_EQ(h.Output, 5.0f) << c.message;
        EXPECT_FLOAT_EQ(g_PowerSupply[1], supply);
        EXPECT_EQ(h.UpgradeLevel, c.type == HOUSE_WAR_ACADEMY ? 0 : 1) << c.message;
    }
}

TEST(Upgrades, TheBuildingTypeStageActsOnTheOwnersBuildingsAndTheTypeAndStopsAtItsLastRow)
{
    BehaviourWorld w;
    THouse& a = w.Finished(1, 12, 30, HOUSE_BARRACKS);
    THouse& b = w.Finished(1, 22, 30, HOUSE_BARRACKS);
    THouse& other = w.Finished(2, 12, 60, HOUSE_BARRACKS);
    THouseType& t = HouseType(0, HOUSE_BARRACKS);
    t.m_NoCapacity = 0;
    t.m_Capacity = 10;
    a.Capacity = b.Capacity = other.Capacity = 10;
    t.m_HitPoints = 301;
    a.MaxHitPoints = 301;
    a.HitPoints = 200.0f;
    g_PowerDemand[1] = 15000.0f;
    auto stage = [&] {
        a.UpgradeInProgress = 2;
        THouse::ApplyUpgrade(&a);
    };
    stage();
    EXPECT_EQ(a.Capacity, 20);
    EXPECT_EQ(b.Capacity, 20);
    EXPECT_EQ(other.Capacity, 10); // another player's buildings keep theirs
    EXPECT_EQ(t.m_Capacity, 20);   // the type, shared by the nation, grows for everyone
    EXPECT_FLOAT_EQ(g_PowerDemand[1], 5000.0f);
    stage();
    stage();
    EXPECT_EQ(a.MaxHitPoints, 451);
    EXPECT_FLOAT_EQ(a.HitPoints, 350.5f);
    EXPECT_EQ(t.m_HitPoints, 451);
    EXPECT_FLOAT_EQ(g_PowerDemand[1], 0.0f); // never below zero
    stage();
    stage();
    stage();
    EXPECT_EQ(t.m_NoCapacity, BASIC_UPGRADE_ROWS);
    LogWatch log;
    stage();
    EXPECT_EQ(t.m_NoCapacity, BASIC_UPGRADE_ROWS);
    EXPECT_EQ(log.Count("ApplyUpgrade: the building type has no further stage"), 1);
}

// ---- starting, paying, completing, cancelling -------------------------------------------------

TEST(Upgrades, LevelFamiliesRefuseWhileRunningUnaffordableOrAtTheirTop)
{
    struct Case {
        const char* name;
        std::uint16_t type;
        std::uint8_t level;
        std::uint16_t timer;
        double stock; // of each resource
        bool expected;
    };
    const Case cases[] = {
        {"power plant level 0, exactly affordable", HOUSE_POWER_PLANT, 0, 0, 200.0, true},
        {"power plant level 0, one short", HOUSE_POWER_PLANT, 0, 0, 199.0, false},
        {"running upgrade", HOUSE_POWER_PLANT, 0, 300, 1e9, false},
        {"top of the family", HOUSE_DWELLING, 6, 0, 1e9, false},
        {"watchtower level 3", HOUSE_WATCHTOWER, 3, 0, 1000.0, true},
        {"watchtower level 4", HOUSE_WATCHTOWER, 4, 0, 1e9, false},
        {"no family", HOUSE_BARRACKS, 0, 0, 1e9, false},
    };
    for (const Case& c : cases) {
        BehaviourWorld w;
        THouse& h = w.Finished(1, 12, 30, c.type);
        h.UpgradeLevel = c.level;
        h.UpgradeRunning = c.timer;
        w.Rich(1, c.stock);
        EXPECT_EQ(LevelCanUpgrade(&h), c.expected) << c.name;
    }
}

TEST(Upgrades, AStartedLevelUpgradePaysRunsDownAndCompletes)
{
    BehaviourWorld w;
    THouse& plant = w.Finished(1, 12, 30, HOUSE_POWER_PLANT);
    plant.Output = 10.0f;
    g_PowerSupply[1] = 10.0f;
    w.Rich(1, 300.0);
    w.spendable[1][RESOURCE_OIL] = 150.0; // the power plant family clamps at zero
    ASSERT_TRUE(LevelStartUpgrade(&plant));
    EXPECT_EQ(plant.UpgradeRunning, 300);
    EXPECT_EQ(plant.UpgradeInProgress, 3);
    EXPECT_EQ(plant.UpgradeFlag, 1);
    EXPECT_DOUBLE_EQ(w.spendable[1][RESOURCE_GOLD], 100.0);
    EXPECT_DOUBLE_EQ(w.spendable[1][RESOURCE_OIL], 0.0);
    EXPECT_DOUBLE_EQ(w.recorded[1][RESOURCE_OIL], -200.0);

    // A shortage slows it to P / D per cycle: supply 10, demand 20.
    g_PowerDemand[1] = 20.0f;
    for (int i = 0; i < 100; ++i)
        AdvanceHouseUpgrade(&plant);
    EXPECT_FLOAT_EQ(plant.UpgradeCountdown, 250.0f);
    g_PowerDemand[1] = 0.0f;
    for (int i = 0; i < 249; ++i)
        AdvanceHouseUpgrade(&plant);
    EXPECT_EQ(plant.UpgradeLevel, 0);
    AdvanceHouseUpgrade(&plant);
    EXPECT_EQ(plant.UpgradeRunning, 0);
    EXPECT_EQ(plant.UpgradeLevel, 1);
    EXPECT_FLOAT_EQ(plant.Output, 11.5f);
    EXPECT_FLOAT_EQ(g_PowerSupply[1], 11.5f);

    // The other families pay without clamping.
    THouse& home = w.Finished(1, 22, 30, HOUSE_DWELLING);
    w.Rich(1, 50.0);
    ASSERT_TRUE(LevelStartUpgrade(&home));
    EXPECT_DOUBLE_EQ(w.spendable[1][RESOURCE_FOOD], -50.0);
}

TEST(Upgrades, ComputerBuildingsStartTheirUpgradesOnTheirTurn)
{
    BehaviourWorld w;
    w.computer[1] = true;
    w.Rich(1);
    THouse& plant = w.Finished(1, 12, 30, HOUSE_POWER_PLANT);
    g_PowerDemand[1] = 1000.0f;
    g_FrameCounter = 1000 + plant.Index + 1;
    HouseCycleHandler(&plant);
    EXPECT_EQ(plant.UpgradeRunning, 0);
    g_FrameCounter = 1000 + plant.Index;
    HouseCycleHandler(&plant);
    EXPECT_EQ(plant.UpgradeRunning, 300);

    // A person's buildings do nothing without the assistant and option 4.
    THouse& home = w.Finished(2, 22, 30, HOUSE_DWELLING);
    w.Rich(2);
    w.population[2] = w.cap[2] = 5;
    g_FrameCounter = home.Index;
    HouseCycleHandler(&home);
    EXPECT_EQ(home.UpgradeRunning, 0);
    w.compAssist[2] = true;
    w.economy[2][4] = true;
    HouseCycleHandler(&home);
    EXPECT_EQ(home.UpgradeRunning, 300);
}

TEST(Upgrades, CancellingRefundsTheUnusedShare)
{
    for (const float remaining : {1000.0f, 500.0f, 0.0f}) {
        BehaviourWorld w;
        THouse& academy = w.Finished(1, 12, 30, HOUSE_SCIENCE_ACADEMY);
        const TUpgradeRow& row = g_ScienceUpgrades[3];
        ASSERT_TRUE(StartScienceUpgrade(&academy, row.duration, 6));
        EXPECT_TRUE(ScienceTaken(1, 3));
        academy.UpgradeCountdown = remaining;
        CancelAcademyUpgrade(&academy, row.cost);
        const double share = remaining / 1000.0;
        EXPECT_DOUBLE_EQ(w.spendable[1][RESOURCE_FOOD], 20000.0 * share);
        EXPECT_DOUBLE_EQ(w.spendable[1][RESOURCE_WOOD], 25000.0 * share);
        EXPECT_DOUBLE_EQ(w.spendable[1][RESOURCE_IRON], 30000.0 * share);
        EXPECT_DOUBLE_EQ(w.spendable[1][RESOURCE_GOLD], 40000.0 * share);
        EXPECT_EQ(academy.UpgradeRunning, 0);
        EXPECT_FALSE(ScienceTaken(1, 3));
        EXPECT_EQ(g_ScienceTaken[1][3], 0);
        // A second cancel finds no upgrade.
        CancelAcademyUpgrade(&academy, row.cost);
        EXPECT_DOUBLE_EQ(w.spendable[1][RESOURCE_FOOD], 20000.0 * share);
    }
}

TEST(Upgrades, StartsRefuseIdsOutsideTheirTables)
{
    BehaviourWorld w;
    THouse& science = w.Finished(1, 12, 30, HOUSE_SCIENCE_ACADEMY);
    THouse& war = w.Finished(1, 22, 30, HOUSE_WAR_ACADEMY);
    LogWatch log;
    EXPECT_FALSE(StartScienceUpgrade(&science, 1000, 23));
    EXPECT_FALSE(StartScienceUpgrade(&science, 1000, 2));
    EXPECT_FALSE(StartWarUpgrade(&war, 1000, 33));
    EXPECT_EQ(science.UpgradeRunning, 0);
    EXPECT_EQ(war.UpgradeRunning, 0);
    EXPECT_EQ(log.Count("StartScienceUpgrade: no such research"), 2);
    EXPECT_EQ(log.Count("StartWarUpgrade: no such research"), 1);
    EXPECT_TRUE(StartHouseUpgrade(&war, 2000, 32));
    EXPECT_EQ(g_WarTaken[1][29], 1);
}

TEST(Upgrades, AComputerNeedsTwiceTheScienceCostAndThePrerequisites)
{
    struct Case {
        const char* name;
        int index;
        double stockFactor; // times the cost in each resource
        std::uint32_t mapKind;
        int done;           // index completed first, -1 none
        bool expected;
    };
    const Case cases[] = {
        {"twice the cost", 0, 2.0, 0, -1, true},
        {"just short of twice", 0, 1.99, 0, -1, false},
        {"map kind 3 forbids", 1, 2.0, 3, -1, false},
        {"map kind 3 allows others", 3, 2.0, 3, -1, true},
        {"index 2 needs 0", 2, 2.0, 0, -1, false},
        {"index 2 after 0", 2, 2.0, 0, 0, true},
        {"index 4 after 3", 4, 2.0, 0, 3, true},
        {"index 13 has no prerequisite", 13, 2.0, 0, -1, true},
        {"done already", 5, 2.0, 0, 5, false},
    };
    const std::uint32_t savedKind = g_MapKind;
    for (const Case& c : cases) {
        BehaviourWorld w;
        g_MapKind = c.mapKind;
        const TUpgradeCost& cost = g_ScienceUpgrades[c.index].cost;
        const std::uint8_t res[5] = {RESOURCE_FOOD, RESOURCE_WOOD, RESOURCE_IRON, RESOURCE_GOLD, RESOURCE_OIL};
        for (int k = 0; k < 5; ++k)
            w.spendable[1][res[k]] = cost[k] * c.stockFactor;
        if (c.done >= 0)
            g_ScienceDone[1][c.done] = 1;
        EXPECT_EQ(AcademyCanUpgrade(1, c.index), c.expected) << c.name;
    }
    g_MapKind = savedKind;
}

TEST(Upgrades, RepeatableScienceCanBeTakenAgainAfterCompletion)
{
    for (int index : {12, 13, 17, 18}) {
        BehaviourWorld w;
        w.Rich(1);
        THouse& academy = w.Finished(1, 12, 30, HOUSE_SCIENCE_ACADEMY);
        ASSERT_TRUE(AcademyStartUpgrade(&academy, index));
        EXPECT_FALSE(AcademyStartUpgrade(&academy, index)); // busy
        EXPECT_FALSE(AcademyCanUpgrade(1, index));
        academy.UpgradeCountdown = 1.0f;
        AdvanceHouseUpgrade(&academy);
        const bool repeatable = index >= 13 && index <= 17;
        EXPECT_EQ(AcademyCanUpgrade(1, index), repeatable) << index;
        EXPECT_EQ(ScienceDone(1, index), !repeatable) << index;
    }
}

TEST(Upgrades, RepeatedResearchStopsAtItsBounds)
{
    // Each repeatable research taken 40 times: its value moves toward the bound and stays there.
    const struct {
        std::uint8_t id;
        std::function<double()> value;
        double bound;
    } cases[] = {
        {17, [] { return g_GasFactor[1]; }, RESEARCH_MAX_GAS_FACTOR},
        {18, [] { return g_AirDamageFactor[1]; }, RESEARCH_MIN_AIR_DAMAGE},
        {19, [] { return g_UnitTypes[11]->ReloadTime[1]; }, RESEARCH_MIN_AIR_RELOAD},
        {19, [] { return g_UnitTypes[12]->ReloadTime[1]; }, RESEARCH_MIN_AIR_RELOAD},
    };
    for (const auto& c : cases) {
        BehaviourWorld w;
        THouse& academy = w.Finished(1, 12, 30, HOUSE_SCIENCE_ACADEMY);
        const double start = c.value();
        double last = start;
        for (int i = 0; i < 40; ++i) {
            academy.UpgradeInProgress = c.id;
            THouse::ApplyUpgrade(&academy);
            const double now = c.value();
            EXPECT_TRUE(c.bound > start ? now >= last && now <= c.bound : now <= last && now >= c.bound)
                << int(c.id) << " after " << i + 1 << ": " << now;
            last = now;
        }
        EXPECT_DOUBLE_EQ(last, c.bound) << int(c.id);
        // Other players keep their values.
        EXPECT_EQ(g_UnitTypes[11]->ReloadTime[2], 40);
    }
}

TEST(Upgrades, ADestroyedAcademyGivesItsResearchBack)
{
    BehaviourWorld w;
    w.Rich(1);
    THouse& academy = w.Finished(1, 12, 30, HOUSE_SCIENCE_ACADEMY);
    ASSERT_TRUE(AcademyStartUpgrade(&academy, 0));
    EXPECT_FALSE(AcademyCanUpgrade(1, 0));
    DestroyHouse(&academy, 2);
    EXPECT_TRUE(AcademyCanUpgrade(1, 0));
}

TEST(Upgrades, TheMintUpgradeStartsOnAnIdleAffordableMint)
{
    BehaviourWorld w;
    EXPECT_FALSE(MintStartUpgrade(1)); // no mint
    THouse& mint = w.Finished(1, 12, 30, HOUSE_MINT);
    w.Rich(1, 9999.0);
    EXPECT_FALSE(MintStartUpgrade(1)); // food short
    w.Rich(1, 10000.0);
    ASSERT_TRUE(MintStartUpgrade(1));
    EXPECT_EQ(mint.UpgradeRunning, 500);
    EXPECT_EQ(mint.UpgradeInProgress, 3);
    EXPECT_DOUBLE_EQ(w.spendable[1][RESOURCE_FOOD], 0.0);
    EXPECT_DOUBLE_EQ(w.spendable[1][RESOURCE_IRON], 5000.0);
    EXPECT_FALSE(MintStartUpgrade(1)); // busy
}

TEST(Upgrades, ResearchAndPerPlayerValuesComeBackFromTheirStoredBlocks)
{
    BehaviourWorld w;
    w.Rich(1);
    THouse& academy = w.Finished(1, 12, 30, HOUSE_SCIENCE_ACADEMY);
    ASSERT_TRUE(AcademyStartUpgrade(&academy, 0));
    academy.UpgradeCountdown = 1.0f;
    AdvanceHouseUpgrade(&academy);
    g_WarDone[2][7] = 1;
    g_MintUpgraded[3] = 1;
    g_PowerSupply[1] = 120.0f;
    g_PowerDemand[1] = 35.5f;
    g_HouseArmourFactor[6] = 1.32f;
    g_MintCount[4] = 2;
    g_SpecialShells[5] = 7;
    g_HealRate[0] = 1.2f;
    TOfStreamMemory out;
    SaveResearchState(out);
    SavePlayerBuildingValues(out);
    ASSERT_EQ(out.Size(), RESEARCH_STATE_BYTES + PLAYER_BUILDING_VALUES_BYTES);
    const std::vector<std::uint8_t> bytes(out.Data(), out.Data() + out.Size());
    const std::span<const std::uint8_t> research(bytes.data(), RESEARCH_STATE_BYTES);
    const std::span<const std::uint8_t> values(bytes.data() + RESEARCH_STATE_BYTES, PLAYER_BUILDING_VALUES_BYTES);

    InitUpgrades();
    InitResourceMultipliers();
    EXPECT_TRUE(AcademyCanUpgrade(1, 0));
    ASSERT_TRUE(LoadResearchState(research));
    ASSERT_TRUE(LoadPlayerBuildingValues(values));
    EXPECT_TRUE(ScienceDone(1, 0));
    EXPECT_FALSE(AcademyCanUpgrade(1, 0)); // finished research is not for sale again
    EXPECT_EQ(g_WarDone[2][7], 1);
    EXPECT_EQ(g_MintUpgraded[3], 1);
    EXPECT_FLOAT_EQ(g_PowerSupply[1], 120.0f);
    EXPECT_FLOAT_EQ(g_PowerDemand[1], 35.5f);
    EXPECT_FLOAT_EQ(g_HouseArmourFactor[6], 1.32f);
    EXPECT_EQ(g_MintCount[4], 2u);
    EXPECT_EQ(g_SpecialShells[5], 7u);
    EXPECT_FLOAT_EQ(g_HealRate[0], 1.2f);

    // A value that is not a number refuses the whole block and changes nothing.
    for (std::size_t at : {std::size_t{4 * 9}, std::size_t{9 * 32 + 16 + 32 * 9}}) {
        std::vector<std::uint8_t> bad(values.begin(), values.end());
        plat::WriteU32LE(bad.data() + at, 0x7FC00000u);
        InitResourceMultipliers();
        LogWatch log;
        EXPECT_FALSE(LoadPlayerBuildingValues(bad)) << at;
        EXPECT_FLOAT_EQ(g_PowerSupply[1], 0.0f) << at;
        EXPECT_GT(log.Count("not a number"), 0) << at;
    }
    EXPECT_FALSE(LoadResearchState(research.first(RESEARCH_STATE_BYTES - 1)));
    EXPECT_FALSE(LoadPlayerBuildingValues(values.first(PLAYER_BUILDING_VALUES_BYTES - 1)));
}

TEST(Upgrades, InitUpgradesClearsTheStateAndSetsTheFactors)
{
    BehaviourWorld w;
    g_ScienceTaken[3][4] = 1;
    g_WarDone[2][7] = 1;
    g_ScienceDoneFlags[5][6] = 1;
    g_HealRate[4] = 3.0f;
    g_SpecialShells[1] = 9;
    InitUpgrades();
    EXPECT_EQ(g_ScienceTaken[3][4], 0);
    EXPECT_EQ(g_WarDone[2][7], 0);
    EXPECT_EQ(g_ScienceDoneFlags[5][6], 0);
    EXPECT_FLOAT_EQ(g_HealRate[4], 1.0f);
    EXPECT_FLOAT_EQ(g_ShelterFactor[7], 1.0f);
    EXPECT_EQ(g_SpecialShells[1], 0u);
}

} // namespace
