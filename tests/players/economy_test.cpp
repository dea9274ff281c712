// Prices against a player's resource pairs: the affordability tests, payments, refunds, upkeep,
// and the two orders a price run and the resource indexes keep.
#include <bit>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/app_state.h"
#include "core/game_folder_fixture.h"
#include "map/map_grid.h"
#include "players/economy.h"
#include "players/house_orders.h"
#include "players/resources.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit_types.h"

namespace {

constexpr std::uint16_t kUnitType = 3;
constexpr std::uint16_t kHouseType = 7;
constexpr std::uint16_t kRequiredType = 4;

// Two players of nation 0, one unit type and two building types with prices set by each test.
class EconomyTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        for (std::uint8_t p = 0; p < 2; ++p) {
            auto* s = new TStrateg;
            s->Number = p;
            s->Nation = 0;
            g_Strateg[p] = s;
            g_pHouse[p] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
            NumHouse[p] = 0;
        }
        g_wNumPlayer = 2;
        m_SavedUnitType = g_UnitTypes[kUnitType];
        g_UnitTypes[kUnitType] = m_Unit.get();
        m_SavedHouse = HouseType(0, kHouseType);
        m_SavedRequired = HouseType(0, kRequiredType);
        HouseType(0, kHouseType) = THouseType{};
        std::fill(std::begin(House().m_RequiredHouses), std::end(House().m_RequiredHouses), HOUSE_LIST_END);
        for (auto& row : g_HouseTypeCount)
            std::fill(std::begin(row), std::end(row), 0);
    }
    void TearDown() override
    {
        for (std::uint8_t p = 0; p < 2; ++p) {
            FreePlayerHouses(p);
            delete g_Strateg[p];
            g_Strateg[p] = nullptr;
        }
        g_wNumPlayer = 0;
        g_UnitTypes[kUnitType] = m_SavedUnitType;
        HouseType(0, kHouseType) = m_SavedHouse;
        HouseType(0, kRequiredType) = m_SavedRequired;
        for (auto& row : g_HouseTypeCount)
            std::fill(std::begin(row), std::end(row), 0);
        GameFolderTest::TearDown();
    }

public:
    static TStrateg& P(std::uint8_t p = 0) { return *g_Strateg[p]; }
    TBasicUnit& Unit() { return *m_Unit; }
    static THouseType& House() { return HouseType(0, kHouseType); }
    // Prices in the type records' order: food, wood, iron, gold, oil.
    static void SetPrice(float (&run)[5], float food, float wood, float iron, float gold, float oil)
    {
        run[0] = food;
        run[1] = wood;
        run[2] = iron;
        run[3] = gold;
        run[4] = oil;
    }
    static void Stock(TStrateg& p, double amount)
    {
        for (int r = 0; r < STRATEG_RESOURCES; ++r)
            p.Res[r] = {amount, amount};
    }
    // A standing building record of the test type at the player's next index.
    static THouse& AddHouseRecord(std::uint8_t p)
    {
        THouse& h = g_pHouse[p][NumHouse[p]];
        h.TypeRecord = &House();
        h.HouseType = kHouseType;
        h.Owner = p;
        h.Index = NumHouse[p]++;
        return h;
    }

private:
    std::unique_ptr<TBasicUnit> m_Unit = std::make_unique<TBasicUnit>();
    TBasicUnit* m_SavedUnitType = nullptr;
    THouseType m_SavedHouse;
    THouseType m_SavedRequired;
};

TEST_F(EconomyTest, PriceEdgeCases)
{
    struct Case {
        const char* name;
        std::function<void(EconomyTest&)> setup;
        std::function<bool()> result;
        bool expected;
        std::function<void()> after; // further checks once the result is known
    };
    const Case cases[] = {
        {"a price of exactly 1.0 is not tested",
         [](EconomyTest& t) {
             SetPrice(t.Unit().m_Costs, 0, 0, 0, 1.0f, 0);
             P().PopulationCap = 10;
         },
         [] { return PayForUnit(0, kUnitType); }, true,
         [] {
             EXPECT_EQ(P().Res[RESOURCE_GOLD].spendable, 0.0);
             EXPECT_EQ(P().Res[RESOURCE_GOLD].recorded, -1.0);
         }},
        {"a price just above 1.0 is tested",
         [](EconomyTest& t) {
             SetPrice(t.Unit().m_Costs, 0, 0, 0, 1.5f, 0);
             P().PopulationCap = 10;
         },
         [] { return PayForUnit(0, kUnitType); }, false,
         [] { EXPECT_EQ(P().Res[RESOURCE_GOLD].recorded, 0.0) << "a refused payment takes nothing"; }},
        {"999 buildings refuse even type 65533", [](EconomyTest&) { NumHouse[0] = 999; },
         [] { return CanAffordHouse(0, HOUSE_TYPE_ALWAYS_AFFORDABLE); }, false, {}},
        {"998 buildings allow type 65533", [](EconomyTest&) { NumHouse[0] = 998; },
         [] { return CanAffordHouse(0, HOUSE_TYPE_ALWAYS_AFFORDABLE); }, true, {}},
        {"999 buildings refuse a priced type", [](EconomyTest&) {
             Stock(P(), 1e6);
             NumHouse[0] = 999;
         },
         [] { return CanAffordHouse(0, kHouseType); }, false, {}},
        {"a required building the player lacks",
         [](EconomyTest&) {
             Stock(P(), 1e6);
             House().m_RequiredHouses[0] = kRequiredType;
             g_HouseTypeCount[1][kRequiredType] = 1; // another player's does not count
         },
         [] { return CanAffordHouse(0, kHouseType); }, false, {}},
        {"a required building the player owns",
         [](EconomyTest&) {
             House().m_RequiredHouses[0] = kRequiredType;
             g_HouseTypeCount[0][kRequiredType] = 1;
         },
         [] { return CanAffordHouse(0, kHouseType); }, true, {}},
        {"299.9 wood refuses a trench segment", [](EconomyTest&) { P().Res[RESOURCE_WOOD] = {299.9, 299.9}; },
         [] { return CanAffordTrench(0) || CanAffordHouse(0, HOUSE_TYPE_TRENCH); }, false, {}},
        {"300 wood allows a trench segment", [](EconomyTest&) { P().Res[RESOURCE_WOOD] = {300.0, 300.0}; },
         [] { return CanAffordTrench(0) && CanAffordHouse(0, HOUSE_TYPE_TRENCH); }, true, {}},
        {"no trench for a player past the game's players", [](EconomyTest&) { g_wNumPlayer = 1; },
         [] { return CanAffordTrench(1); }, false, [] { g_wNumPlayer = 2; }},
        {"population at the cap refuses a unit whatever the stock",
         [](EconomyTest&) {
             Stock(P(), 1e6);
             P().PopulationCap = 20;
             P().LiveUnits = 20;
         },
         [] { return CanAffordUnit(0, kUnitType) || PayForUnit(0, kUnitType); }, false, {}},
        {"a batch of 5 at cap - 5 is refused",
         [](EconomyTest&) {
             Stock(P(), 1e6);
             P().PopulationCap = 25;
             P().LiveUnits = 20;
         },
         [] { return CanAffordUnitsBatch5(0, kUnitType); }, false, {}},
        {"a batch of 5 at cap - 6 is allowed",
         [](EconomyTest&) {
             Stock(P(), 1e6);
             P().PopulationCap = 26;
             P().LiveUnits = 20;
         },
         [] { return CanAffordUnitsBatch5(0, kUnitType); }, true, {}},
        {"a batch multiplies every counted price",
         [](EconomyTest& t) {
             SetPrice(t.Unit().m_Costs, 0, 0, 10.0f, 0, 0);
             P().Res[RESOURCE_IRON] = {499.0, 499.0};
             P().PopulationCap = 1000;
         },
         [] { return CanAffordUnitsBatch50(0, kUnitType) || !CanAffordUnitsBatch5(0, kUnitType); }, false, {}},
        {"upkeep beyond the stock leaves 0 spendable and a negative recorded value",
         [](EconomyTest&) {
             House().m_Params376[1] = std::bit_cast<std::uint32_t>(25.0f); // wood
             P().Res[RESOURCE_WOOD] = {10.0, 10.0};
         },
         [] { return ChargeHouseUpkeep(&AddHouseRecord(0)); }, true,
         [] {
             EXPECT_EQ(P().Res[RESOURCE_WOOD].spendable, 0.0);
             EXPECT_EQ(P().Res[RESOURCE_WOOD].recorded, -15.0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Stock(P(), 0.0);
        P().PopulationCap = 0;
        P().LiveUnits = 0;
        NumHouse[0] = 0;
        SetPrice(Unit().m_Costs, 0, 0, 0, 0, 0);
        House() = THouseType{};
        std::fill(std::begin(House().m_RequiredHouses), std::end(House().m_RequiredHouses), HOUSE_LIST_END);
        for (auto& row : g_HouseTypeCount)
            std::fill(std::begin(row), std::end(row), 0);
        c.setup(*this);
        EXPECT_EQ(c.result(), c.expected);
        if (c.after)
            c.after();
    }
}

TEST_F(EconomyTest, PriceRunsMapOntoTheResourceIndexes)
{
    // food 10, wood 20, iron 30, gold 40, oil 50 in the run; indexes 0 gold .. 4 food in the record.
    SetPrice(Unit().m_Costs, 10, 20, 30, 40, 50);
    SetPrice(House().m_Costs, 10, 20, 30, 40, 50);
    P().PopulationCap = 5;
    Stock(P(), 100.0);
    const double after[5] = {60.0, 80.0, 70.0, 50.0, 90.0}; // gold, wood, iron, oil, food
    auto expectStock = [](const double (&want)[5], const char* what) {
        for (int r = 0; r < STRATEG_RESOURCES; ++r) {
            EXPECT_EQ(P().Res[r].spendable, want[r]) << what << ", resource " << r;
            EXPECT_EQ(P().Res[r].recorded, want[r]) << what << ", resource " << r;
        }
    };

    ASSERT_TRUE(PayForUnit(0, kUnitType));
    expectStock(after, "unit paid");
    RefundUnit(0, kUnitType);
    const double full[5] = {100, 100, 100, 100, 100};
    expectStock(full, "unit refunded");

    const std::uint16_t index = AddHouseRecord(0).Index;
    ASSERT_TRUE(PayForHouse(0, index));
    expectStock(after, "building paid");
    Stock(P(), 100.0);
    const std::int32_t cost[5] = {10, 20, 30, 40, 50};
    SubtractCost(0, cost);
    expectStock(after, "upgrade cost");

    // SubtractCost neither tests nor clamps: its caller tested.
    Stock(P(), 0.0);
    SubtractCost(0, cost);
    EXPECT_EQ(P().Res[RESOURCE_OIL].spendable, -50.0);
    // A payment refused leaves the stock untouched; a building index past the records pays nothing.
    EXPECT_FALSE(PayForHouse(0, index));
    EXPECT_FALSE(PayForHouse(0, 5));
    EXPECT_EQ(P().Res[RESOURCE_OIL].spendable, -50.0);

    EXPECT_EQ(GetSpendableResource(0, RESOURCE_FOOD), 0.0 - 10.0);
    EXPECT_EQ(GetSpendableResource(7, RESOURCE_FOOD), 0.0) << "no such player";
}

TEST_F(EconomyTest, UpkeepTakesEveryResourceOfTheRunAndIgnoresDamagedValues)
{
    const float upkeep[5] = {1.0f, 2.0f, 3.0f, 4.0f, std::numeric_limits<float>::quiet_NaN()};
    for (int i = 0; i < 5; ++i)
        House().m_Params376[i] = std::bit_cast<std::uint32_t>(upkeep[i]);
    Stock(P(), 10.0);
    THouse& h = AddHouseRecord(0);
    for (int cycle = 0; cycle < 2; ++cycle)
        EXPECT_TRUE(ChargeHouseUpkeep(&h));
    EXPECT_EQ(P().Res[RESOURCE_FOOD].spendable, 8.0);
    EXPECT_EQ(P().Res[RESOURCE_WOOD].spendable, 6.0);
    EXPECT_EQ(P().Res[RESOURCE_IRON].spendable, 4.0);
    EXPECT_EQ(P().Res[RESOURCE_GOLD].spendable, 2.0);
    EXPECT_EQ(P().Res[RESOURCE_OIL].spendable, 10.0) << "a value that is not a number charges nothing";
    EXPECT_EQ(P(1).Res[RESOURCE_FOOD].spendable, 0.0) << "only the owner pays";
}

TEST_F(EconomyTest, PairsPopulationAndRelationsAsBuildingsReachThem)
{
    AddResourceAmount(0, RESOURCE_IRON, 5.0);
    AddResourceAmount(0, RESOURCE_IRON, -8.0);
    EXPECT_EQ(P().Res[RESOURCE_IRON].spendable, 0.0);
    EXPECT_EQ(P().Res[RESOURCE_IRON].recorded, -3.0);
    AddResourceAmount(0, 5, 100.0);
    EXPECT_EQ(P().Res[5].recorded, 0.0) << "the sixth pair is not the economy's";

    AddPopulationCap(0, 70000);
    EXPECT_EQ(GetPopulationCap(0), 65535);
    AddPopulationCap(0, -70000);
    EXPECT_EQ(GetPopulationCap(0), 0);
    P().LiveUnits = 12;
    EXPECT_EQ(GetPopulation(0), 12);

    // A ring that has wrapped (a thousand samples in): the last two samples are at its end.
    const std::uint32_t frame = g_FrameCounter;
    g_FrameCounter = 10 + 1000 * STRATEG_STAT_RING;
    P().StatIndex = 0;
    P().History[RESOURCE_FOOD][STRATEG_STAT_RING - 2] = 50.0;
    P().History[RESOURCE_FOOD][STRATEG_STAT_RING - 1] = 40.0;
    EXPECT_TRUE(ResourceFellSinceSample(0, RESOURCE_FOOD));
    P().StatIndex = 1;
    P().History[RESOURCE_FOOD][0] = 45.0;
    EXPECT_FALSE(ResourceFellSinceSample(0, RESOURCE_FOOD));
    g_FrameCounter = frame;

    P().Relations[1] = 1;
    EXPECT_EQ(GetPlayerRelation(0, 1), 1);
    EXPECT_EQ(GetPlayerRelation(0, 9), 0);
    EXPECT_FALSE(IsPlayerDead(0));
    EXPECT_TRUE(IsPlayerDead(5)) << "a player that does not exist";
    P(1).Dead = 1;
    EXPECT_TRUE(IsPlayerDead(1));
}

} // namespace
