// The computer player: rule chances by difficulty, the template's levels, production orders,
// trading, the statistics conditions, the draws of one cascade step and the stored state.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/app_state.h"
#include "core/memory_stream.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "game/game_load.h"
#include "map/map_grid.h"
#include "map/site_queries.h"
#include "players/computer_player.h"
#include "players/economy.h"
#include "players/placement.h"
#include "players/strateg.h"
#include "sample_types.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/house_queue.h"
#include "units/house_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

using testworld::TestWorld;

constexpr std::uint16_t kBarracksType = 3; // the sample riflemen's producer
constexpr std::uint16_t kFarmType = 15;
constexpr std::uint16_t kMarketType = 8;

// Everything a test changes of the game-wide state, put back afterwards.
struct StateGuard {
    std::uint32_t frame = g_FrameCounter;
    std::uint32_t season = g_MapSeason;
    std::uint8_t advisors[ADVISOR_PLAYERS][ADVISOR_OPTIONS];
    std::vector<THouseType> types;
    float power[4][8];
    std::uint16_t unitTypes = g_NationUnitTypeCount[0];
    std::uint16_t houseTypes = g_NationHouseTypeCount[0];
    std::uint8_t producers[40];
    StateGuard()
    {
        std::copy(std::begin(g_UnitProducer[0]), std::end(g_UnitProducer[0]), producers);
        // Nation 0 with the sample game's types (the unit types come from the test world).
        g_NationUnitTypeCount[0] = static_cast<std::uint16_t>(sampledata::kSampleUnitTypes.size());
        g_NationHouseTypeCount[0] = static_cast<std::uint16_t>(sampledata::kSampleHouseTypes.size());
        float* arrays[4] = {g_PowerDemand, g_PowerSupply, g_PowerDemandScale, g_PowerSupplyScale};
        for (int a = 0; a < 4; ++a) {
            std::copy(arrays[a], arrays[a] + 8, power[a]);
            std::fill(arrays[a], arrays[a] + 8, a < 2 ? 0.0f : 1.0f);
        }
        std::copy(&g_AdvisorOptions[0][0], &g_AdvisorOptions[0][0] + sizeof g_AdvisorOptions, &advisors[0][0]);
        for (int t = 0; t < HOUSE_TYPES_PER_SIDE; ++t)
            types.push_back(HouseType(0, t));
        std::memset(g_AdvisorOptions, 1, sizeof g_AdvisorOptions);
        for (auto& row : g_HouseTypeCount)
            std::fill(std::begin(row), std::end(row), 0);
        g_MapSeason = 0;
        g_FrameCounter = 0;
        BuildUnitProducer();
    }
    ~StateGuard()
    {
        g_NationUnitTypeCount[0] = unitTypes;
        g_NationHouseTypeCount[0] = houseTypes;
        std::copy(std::begin(producers), std::end(producers), g_UnitProducer[0]);
        float* arrays[4] = {g_PowerDemand, g_PowerSupply, g_PowerDemandScale, g_PowerSupplyScale};
        for (int a = 0; a < 4; ++a)
            std::copy(power[a], power[a] + 8, arrays[a]);
        g_FrameCounter = frame;
        g_MapSeason = season;
        std::copy(&advisors[0][0], &advisors[0][0] + sizeof advisors, &g_AdvisorOptions[0][0]);
        for (int t = 0; t < HOUSE_TYPES_PER_SIDE; ++t)
            HouseType(0, t) = types[static_cast<std::size_t>(t)];
        for (auto& row : g_HouseTypeCount)
            std::fill(std::begin(row), std::end(row), 0);
    }
};

// Player 0 with a planner, a group manager and the given stock of every resource.
TComputerStrategAI& Planner(TestWorld& w, double stock, std::uint8_t hardLevel = 2, std::uint8_t war = 2)
{
    TStrateg* s = w.Player(0);
    auto ai = std::make_unique<TComputerStrategAI>();
    ai->Player = 0;
    TComputerStrategAI& ref = *ai;
    s->Planner = std::move(ai);
    s->GroupManager = std::make_unique<TGroupManager>();
    s->GroupManager->HardLevel = hardLevel;
    s->GroupManager->WarTemplate = war;
    for (auto& r : s->Res)
        r = {stock, stock};
    s->PopulationCap = 1000;
    return ref;
}

THouse* AddHouse(TestWorld& w, std::uint16_t type, std::int32_t x, std::int32_t y)
{
    THouse* h = w.AddPlayerHouse(0, x, y, &HouseType(0, type));
    h->HouseType = type;
    ++g_HouseTypeCount[0][type];
    return h;
}

void SetResource(std::uint8_t resource, double value)
{
    g_Strateg[0]->Res[resource] = {value, value};
}

// Two statistics samples of every resource: the older one at base, the newer at base + delta of
// the resource.
void TwoSamples(const double (&delta)[STRATEG_RESOURCE_PAIRS], double base = 100000.0)
{
    TStrateg* s = g_Strateg[0];
    for (int r = 0; r < STRATEG_RESOURCE_PAIRS; ++r) {
        s->History[r][0] = base;
        s->History[r][1] = base + delta[r];
    }
    s->StatIndex = 2;
}

std::string StateBytes(const TStrategAI& ai)
{
    TOfStreamMemory out;
    ai.SaveState(out);
    std::string bytes(reinterpret_cast<const char*>(out.Data()), static_cast<std::size_t>(out.Pos()));
    out.Free();
    return bytes;
}

TEST(ComputerPlayer, RuleChanceFollowsTheDifficultyAndClampsIt)
{
    const struct {
        int level;
        std::int32_t c205, c10922;
    } cases[] = {
        {0, 51, 2730}, {1, 68, 3640}, {2, 102, 5461}, {3, 205, 10922},
        // Out of range: brought back to the nearest level, never a division by zero.
        {4, 205, 10922}, {200, 205, 10922}, {-1, 51, 2730},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(RuleChance(205, c.level), c.c205);
        EXPECT_EQ(RuleChance(10922, c.level), c.c10922);
    }
    EXPECT_EQ(ClampHardLevel(7), 3);
    EXPECT_EQ(ClampHardLevel(2), 2);
}

TEST(ComputerPlayer, GrewAndFellNeedTwoSamples)
{
    TestWorld w(40, 80);
    TStrateg* s = w.Player(0);
    const std::uint32_t frame = g_FrameCounter;
    g_FrameCounter = 5000;
    for (std::uint16_t index : {0, 1}) {
        SCOPED_TRACE(index);
        s->StatIndex = index;
        s->History[RESOURCE_GOLD][0] = 500.0; // a sample against zeros would read as growth
        EXPECT_FALSE(ResourceGrewSinceSample(0, RESOURCE_GOLD));
        EXPECT_FALSE(ResourceFellSinceSample(0, RESOURCE_GOLD));
    }
    s->StatIndex = 2;
    s->History[RESOURCE_GOLD][1] = 700.0;
    EXPECT_TRUE(ResourceGrewSinceSample(0, RESOURCE_GOLD));
    EXPECT_FALSE(ResourceFellSinceSample(0, RESOURCE_GOLD));
    s->History[RESOURCE_GOLD][1] = 300.0;
    EXPECT_FALSE(ResourceGrewSinceSample(0, RESOURCE_GOLD));
    EXPECT_TRUE(ResourceFellSinceSample(0, RESOURCE_GOLD));
    g_FrameCounter = frame;
}

TEST(ComputerPlayer, TradeResourcesMakesOneTradeWithinFloorsAndLevels)
{
    StateGuard guard;
    TestWorld w(40, 80);
    Planner(w, 0.0);
    // Minimums: food 1000, gold 1000, iron 1000, wood 1000, oil 1000.
    const double mins[5] = {1000, 1000, 1000, 1000, 1000};
    auto trade = [&] { return TradeResources(0, mins[0], mins[1], mins[2], mins[3], mins[4]); };
    struct Stock {
        double food, gold, iron, wood, oil;
    };
    auto set = [](const Stock& s) {
        SetResource(RESOURCE_FOOD, s.food);
        SetResource(RESOURCE_GOLD, s.gold);
        SetResource(RESOURCE_IRON, s.iron);
        SetResource(RESOURCE_WOOD, s.wood);
        SetResource(RESOURCE_OIL, s.oil);
    };
    auto have = [](std::uint8_t r) { return g_Strateg[0]->Res[r].spendable; };

    // No market: nothing.
    set({0, 50000, 0, 0, 0});
    EXPECT_FALSE(trade());
    ++g_HouseTypeCount[0][kMarketType];

    // Food, iron and wood are all short: only food is bought, with one gold lot at 15 food each.
    set({0, 50000, 0, 0, 0});
    EXPECT_TRUE(trade());
    EXPECT_DOUBLE_EQ(have(RESOURCE_FOOD), 15000.0);
    EXPECT_DOUBLE_EQ(have(RESOURCE_GOLD), 49000.0);
    EXPECT_DOUBLE_EQ(have(RESOURCE_IRON), 0.0);
    EXPECT_DOUBLE_EQ(have(RESOURCE_WOOD), 0.0);

    // Buying iron: food above its surplus level but not above its floor (minimum + one lot) is
    // kept; gold above its surplus level pays.
    set({200500, 40000, 0, 2000, 2000});
    EXPECT_TRUE(TradeResources(0, 160000, 1000, 1000, 0, 0));
    EXPECT_DOUBLE_EQ(have(RESOURCE_FOOD), 200500.0); // floor 210000
    EXPECT_DOUBLE_EQ(have(RESOURCE_GOLD), 39000.0);
    EXPECT_DOUBLE_EQ(have(RESOURCE_IRON), 2000.0);

    // Below every surplus level and nothing grew: no trade; the same stock after gold grew
    // between two samples sells gold above its growth level.
    set({0, 20000, 2000, 2000, 2000});
    EXPECT_FALSE(trade());
    EXPECT_DOUBLE_EQ(have(RESOURCE_FOOD), 0.0);
    g_FrameCounter = 3000;
    TwoSamples({1000, 0, 0, 0, 0, 0});
    EXPECT_TRUE(trade());
    EXPECT_DOUBLE_EQ(have(RESOURCE_GOLD), 19000.0);
    EXPECT_DOUBLE_EQ(have(RESOURCE_FOOD), 15000.0);

    // Nothing short: nothing traded.
    set({5000, 5000, 5000, 5000, 5000});
    EXPECT_FALSE(trade());
}

TEST(ComputerPlayer, OrderUnitTakesTheShortestQueueBelowTheLimit)
{
    StateGuard guard;
    TestWorld w(40, 80);
    TComputerStrategAI& ai = Planner(w, 1e9);
    std::fill(std::begin(HouseType(0, kBarracksType).m_Units), std::end(HouseType(0, kBarracksType).m_Units), HOUSE_LIST_END);
    HouseType(0, kBarracksType).m_Units[0] = testworld::kRifleman;
    BuildUnitProducer();
    ASSERT_EQ(g_UnitProducer[0][testworld::kRifleman], kBarracksType);
    const std::uint16_t queues[] = {10, 4, 2, 2};
    std::vector<THouse*> houses;
    for (std::uint16_t q : queues) {
        THouse* h = AddHouse(w, kBarracksType, 10 + 4 * static_cast<std::int32_t>(houses.size()), 20);
        for (std::uint16_t k = 0; k < q; ++k)
            ASSERT_TRUE(AddUnitToHouseQueue(0, h->Index, testworld::kRifleman, 0));
        houses.push_back(h);
    }
    // A building site of the type is passed over.
    THouse* site = AddHouse(w, kBarracksType, 30, 30);
    site->BuildWork = 100;

    ASSERT_TRUE(ai.OrderUnit(testworld::kRifleman, 10));
    EXPECT_EQ(houses[2]->QueueCount, 3); // the first of the two shortest
    EXPECT_EQ(houses[3]->QueueCount, 2);
    EXPECT_EQ(houses[0]->QueueCount, 10);
    EXPECT_EQ(site->QueueCount, 0);

    // Limit 3: only the building with 2 is below it; limit 2: none, and nothing is paid.
    ASSERT_TRUE(ai.OrderUnit(testworld::kRifleman, 3));
    EXPECT_EQ(houses[3]->QueueCount, 3);
    const double gold = g_Strateg[0]->Res[RESOURCE_GOLD].spendable;
    const double food = g_Strateg[0]->Res[RESOURCE_FOOD].spendable;
    EXPECT_FALSE(ai.OrderUnit(testworld::kRifleman, 3));
    EXPECT_EQ(g_Strateg[0]->Res[RESOURCE_GOLD].spendable, gold);
    EXPECT_EQ(g_Strateg[0]->Res[RESOURCE_FOOD].spendable, food);

    // A batch of five lands in one building; the advisor byte for other units gates it.
    ASSERT_TRUE(ai.OrderUnitBatch5(testworld::kRifleman, 10));
    EXPECT_EQ(houses[2]->QueueCount, 8);
    g_AdvisorOptions[0][2] = 0;
    EXPECT_FALSE(ai.OrderUnit(testworld::kRifleman, 20));
}

TEST(ComputerPlayer, WinterSuppressesFarmsFromTheTemplateAndTheRules)
{
    StateGuard guard;
    for (const std::uint32_t season : {0u, 3u}) {
        SCOPED_TRACE(season);
        TestWorld w(80, 160);
        w.BuildPassMaps();
        std::fill(std::begin(HouseType(0, kFarmType).m_RequiredHouses), std::end(HouseType(0, kFarmType).m_RequiredHouses),
                  HOUSE_LIST_END);
        TComputerStrategAI& ai = Planner(w, 1e9);
        ai.TargetX = ai.HomeX = 40;
        ai.TargetY = ai.HomeY = 80;
        plat::Point site{};
        ASSERT_TRUE(ChooseSite(site, 0, kFarmType));
        TUnit* worker = w.AddUnit(0, testworld::kWorker, site.x, site.y);
        ASSERT_NE(worker, nullptr);
        worker->Work = UNIT_NO_WORK;
        g_MapSeason = season;

        // The template wants one farm.
        ai.Template.LevelCount = 1;
        ai.Template.Level(0).Must = {{TEMPLATE_HOUSE, kFarmType, 1}};
        ai.AccumulateLevelNeeds();
        ASSERT_EQ(ai.WantedHouses[kFarmType], 1);
        ai.WorkCurrentLevel();
        EXPECT_EQ(NumHouse[0], season == 3 ? 0 : 1);
        EXPECT_EQ(ai.WantedHouses[kFarmType], season == 3 ? 0 : 1);

        // The rules, with every chance firing.
        w.SetNextRandomValues(std::vector<std::uint16_t>(8, 0));
        const std::uint16_t before = NumHouse[0];
        ai.FarmsAndWorkers(32768, 0);
        if (season == 3)
            EXPECT_EQ(NumHouse[0], before);
    }
}

TEST(ComputerPlayer, LevelsAccumulateAndAdvanceThroughAnEmptyMustList)
{
    StateGuard guard;
    TestWorld w(40, 80);
    TComputerStrategAI& ai = Planner(w, 0.0);
    TTemplate& t = ai.Template;
    t.LevelCount = 3;
    t.Level(0).Must = {{TEMPLATE_UNIT, 0, 4}, {TEMPLATE_HOUSE, 9, 1}};
    t.Level(0).May = {{TEMPLATE_UNIT, 0, 2}, {TEMPLATE_UPGRADE, 0, 3}};
    t.Level(1).May = {{TEMPLATE_HOUSE, 9, 2}};
    t.Level(2).Must = {{TEMPLATE_HOUSE, 15, 2}};
    ai.AccumulateLevelNeeds();
    EXPECT_EQ(ai.WantedUnits[0], 4);
    EXPECT_EQ(ai.WantedHouses[9], 1);

    EXPECT_FALSE(ai.TryAdvanceLevel());
    g_UnitTypeCount[0][0] = 4;
    EXPECT_FALSE(ai.TryAdvanceLevel()); // the dwelling is missing
    AddHouse(w, 9, 10, 20)->BuildWork = 50; // a building site counts
    t.Cursor = 1;
    ASSERT_TRUE(ai.TryAdvanceLevel());
    EXPECT_EQ(t.CurrentLevel, 1);
    EXPECT_EQ(t.Cursor, 0);
    EXPECT_EQ(ai.WantedUnits[0], 6); // level 0's MAY added; the upgrade touches nothing

    // Level 1 has no MUST entries: the step does nothing on it and the advance passes it.
    ai.WorkCurrentLevel();
    EXPECT_EQ(t.CurrentLevel, 1);
    ASSERT_TRUE(ai.TryAdvanceLevel());
    EXPECT_EQ(t.CurrentLevel, 2);
    EXPECT_EQ(ai.WantedHouses[9], 3);
    EXPECT_EQ(ai.WantedHouses[15], 2);
    AddHouse(w, 15, 14, 20);
    AddHouse(w, 15, 18, 20);
    ASSERT_TRUE(ai.TryAdvanceLevel());
    EXPECT_EQ(t.CurrentLevel, 3);
    EXPECT_FALSE(ai.TryAdvanceLevel()); // the template is finished
    g_UnitTypeCount[0][0] = 0;
}

TEST(ComputerPlayer, AnAllUpgradeMustListPassesAtOnce)
{
    StateGuard guard;
    TestWorld w(40, 80);
    TComputerStrategAI& ai = Planner(w, 0.0);
    ai.Template.LevelCount = 2;
    ai.Template.Level(0).Must = {{TEMPLATE_UPGRADE, 0, 3}, {TEMPLATE_UPGRADE, 0, 6}};
    ai.Template.Level(1).Must = {{TEMPLATE_UNIT, 2, 1}};
    ai.AccumulateLevelNeeds();
    EXPECT_TRUE(ai.TryAdvanceLevel());
    EXPECT_EQ(ai.Template.CurrentLevel, 1);
    EXPECT_FALSE(ai.TryAdvanceLevel());
}

TEST(ComputerPlayer, OneThinkStepDrawsAPinnedNumberOfValues)
{
    // A bare player: no buildings, no units, no stock, frame 0, every draw failing its chance.
    const struct {
        std::uint8_t level;
        int draws;
    } cases[] = {{2, 17}, {3, 31}, {0, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        StateGuard guard;
        TestWorld w(40, 80);
        TComputerStrategAI& ai = Planner(w, 0.0, c.level);
        w.SetRandomIndex(1000);
        w.SetNextRandomValues(std::vector<std::uint16_t>(100, 32767));
        ai.Think();
        EXPECT_EQ(g_RandIndex, 1000 + c.draws);
        EXPECT_EQ(NumHouse[0], 0);
    }
}

TEST(ComputerPlayer, ASkippingPlannerOnlyCountsDown)
{
    StateGuard guard;
    TestWorld w(40, 80);
    TComputerStrategAI& ai = Planner(w, 0.0, 3);
    ai.SkipCounter = 2;
    const std::uint16_t index = g_RandIndex;
    ai.Think();
    EXPECT_EQ(ai.SkipCounter, 1u);
    EXPECT_EQ(g_RandIndex, index);
}

TEST(ComputerPlayer, TheStateBlockRoundTripsWithBothBarracksInTheirPlaces)
{
    StateGuard guard;
    TestWorld w(40, 80);
    TComputerStrategAI& ai = Planner(w, 0.0);
    ai.WantedUnits[0] = 12;
    ai.WantedUnits[39] = 7;
    ai.WantedHouses[4] = 3;
    ai.WantedHouses[24] = 1;
    ai.Template.LevelCount = 2;
    ai.Template.CurrentLevel = 1;
    ai.Template.Cursor = 1;
    ai.Template.Level(0).Must = {{TEMPLATE_UNIT, 0, 4}};
    ai.Template.Level(0).May = {{TEMPLATE_HOUSE, 9, 2}, {TEMPLATE_UPGRADE, 0, 6}};
    ai.Template.Level(1).Must = {{TEMPLATE_HOUSE, 3, 1}, {TEMPLATE_UNIT, 2, 6}};
    ai.TargetX = 41;
    ai.TargetY = 83;
    ai.SiteHalfSize = 33;
    ai.FailedSites = 5;
    ai.ShoreX = {960, 1008};
    ai.ShoreY = {240, 264};
    ai.FirstBarracks = 7;
    ai.SecondBarracks = 9;
    ai.SkipCounter = 4;

    const std::string bytes = StateBytes(ai);
    // 80 + 60 + 4, the levels (2 + 6 + 2 + 12, 2 + 12 + 2), 8 + 4 + 4, 4 + 16, then 4 + 4.
    ASSERT_EQ(bytes.size(), 144u + 22u + 16u + 16u + 20u + 8u);
    auto word = [&](std::size_t at) {
        return static_cast<std::int32_t>(static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8 |
                                         static_cast<std::uint8_t>(bytes[at + 2]) << 16 |
                                         static_cast<std::uint8_t>(bytes[at + 3]) << 24);
    };
    EXPECT_EQ(word(bytes.size() - 8), 7);
    EXPECT_EQ(word(bytes.size() - 4), 9);

    TComputerStrategAI back;
    back.Player = 0;
    TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    ASSERT_TRUE(back.LoadState(in));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(StateBytes(back), bytes);
    EXPECT_EQ(back.FirstBarracks, 7);
    EXPECT_EQ(back.SecondBarracks, 9);
    EXPECT_EQ(back.SkipCounter, 0u);
    EXPECT_EQ(back.Template.MayList(0), ai.Template.MayList(0));
    EXPECT_EQ(back.ShoreY, ai.ShoreY);

    // Cut short anywhere: refused, and the planner keeps what it had.
    for (std::size_t cut : {std::size_t{0}, std::size_t{143}, std::size_t{150}, bytes.size() - 30, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        TComputerStrategAI fresh;
        const std::string before = StateBytes(fresh);
        TIfStreamMemory part(bytes.data(), static_cast<std::int32_t>(cut));
        EXPECT_FALSE(fresh.LoadState(part));
        EXPECT_EQ(StateBytes(fresh), before);
    }
    // Values out of range are refused: a level count above 100, a cursor past the MUST list.
    const struct {
        std::size_t at;
        std::uint8_t value;
    } bad[] = {{140, 101}, {141, 3}, {142, 9}};
    for (const auto& b : bad) {
        SCOPED_TRACE(b.at);
        std::string damaged = bytes;
        damaged[b.at] = static_cast<char>(b.value);
        TComputerStrategAI fresh;
        TIfStreamMemory part(damaged.data(), static_cast<std::int32_t>(damaged.size()));
        EXPECT_FALSE(fresh.LoadState(part));
    }
}

TEST(ComputerPlayer, TheComputerPlayersChunkRoundTripsAndSkipsMissingObjects)
{
    StateGuard guard;
    TestWorld w(40, 80);
    TComputerStrategAI& ai = Planner(w, 0.0);
    ai.HomeX = 12;
    ai.HomeY = 34;
    ai.FarWorkers = 5;
    TOfStreamMemory out;
    SaveComputerPlayers(out);
    // Player 0: flag, 5 bytes, flag, 1012 bytes; player 1: two zero flags.
    ASSERT_EQ(out.Pos(), 1 + 5 + 1 + AI_BASE_POINTS_BYTES + 2);
    const std::string bytes(reinterpret_cast<const char*>(out.Data()), static_cast<std::size_t>(out.Pos()));
    out.Free();

    ai.HomeX = ai.HomeY = 0;
    ai.FarWorkers = 0;
    {
        TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(bytes.size()));
        ASSERT_TRUE(LoadComputerPlayers(in));
        EXPECT_TRUE(in.AtEnd());
    }
    EXPECT_EQ(ai.HomeX, 12);
    EXPECT_EQ(ai.HomeY, 34);
    EXPECT_EQ(ai.FarWorkers, 5u);

    // Read by a game whose player 0 has neither object: both blocks are passed over whole.
    w.Player(0)->Planner.reset();
    w.Player(0)->GroupManager.reset();
    {
        TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(bytes.size()));
        EXPECT_TRUE(LoadComputerPlayers(in));
        EXPECT_TRUE(in.AtEnd());
    }
    // Cut short or a flag other than 0 and 1: refused.
    for (std::size_t cut : {std::size_t{3}, std::size_t{100}, bytes.size() - 1}) {
        TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(cut));
        EXPECT_FALSE(LoadComputerPlayers(in));
    }
    std::string damaged = bytes;
    damaged[0] = 2;
    TIfStreamMemory in(damaged.data(), static_cast<std::int32_t>(damaged.size()));
    EXPECT_FALSE(LoadComputerPlayers(in));
}

} // namespace
