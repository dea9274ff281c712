// Buildings that come with a map file: they arrive at their owners as a finished construction does,
// so that losing them later takes back exactly what they brought.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "map/map_device_fixture.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "maps.h"
#include "parameters.h"
#include "players/strateg.h"
#include "sample_data.h"
#include "sample_types.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/house_types.h"
#include "units/unit_lists.h"

namespace {

constexpr float kOutput = 40.0f;
constexpr float kPowerNeed = 3.5f;

class MapHouses : public MapDeviceTest {
protected:
    void SetUp() override
    {
        MapDeviceTest::SetUp();
        std::copy(std::begin(g_HouseTypes), std::end(g_HouseTypes), m_SavedTypes.begin());
        for (int side = 0; side < HOUSE_NEUTRAL_SIDE; ++side) {
            THouseType& t = HouseType(side, HOUSE_POWER_PLANT);
            t = sampledata::SampleHouseRecord(side, sampledata::kSampleHouseTypes[HOUSE_POWER_PLANT]);
            t.m_Output = kOutput;
            t.m_PowerNeed = kPowerNeed;
            t.m_RuinPhaseCount = 2;
        }
        InitResourceMultipliers();
        std::memset(g_HouseTypeCount, 0, sizeof g_HouseTypeCount);
        ClearGlobalHeap();
        m_SavedMap = MapServices();
        TMapServices& s = MapServices();
        s.LoadWater = [](TIfStreamMemory& in) { return SkipWaterBlock(in, g_MapWidth, g_MapHeight); };
        s.CreateMapUnit = [](int, const TMapUnitRecord&) { return true; };
        s.AddNeutralHouse = [](const TMapHouseRecord&) { return true; };
        MyPlayer = 0;
    }
    void TearDown() override
    {
        ClearGlobalHeap();
        FreeHousesAndUnitsMap();
        FreeMapResources();
        MapServices() = m_SavedMap;
        std::copy(m_SavedTypes.begin(), m_SavedTypes.end(), std::begin(g_HouseTypes));
        InitResourceMultipliers();
        MapDeviceTest::TearDown();
    }
    bool Load(const sampledata::SampleMap& m, bool compressed = true)
    {
        const auto file = sampledata::BuildMapFile(m.data, m.tail, compressed);
        return sampledata::WriteFileBytes(dir.Path(), "Maps/Houses.dat", file.data(), file.size()) &&
               LoadMapFile("Houses.dat", nullptr);
    }

private:
    std::array<THouseType, HOUSE_TYPE_COUNT> m_SavedTypes{};
    TMapServices m_SavedMap;
};

} // namespace

TEST_F(MapHouses, FinishedBuildingsArriveAndTheirLossTakesBackWhatTheyBrought)
{
    sampledata::SampleMap m = sampledata::MakeTestMap();
    ASSERT_GE(m.data.houses[1].size(), 1u);
    for (int p : {0, 1})
        m.data.houses[p][0].type = HOUSE_POWER_PLANT;
    m.data.houses[1][0].state = 40; // still being built: it brings nothing yet
    ASSERT_TRUE(Load(m));
    ASSERT_EQ(NumHouse[0], 1);
    ASSERT_EQ(NumHouse[1], 1);

    EXPECT_EQ(g_HouseTypeCount[0][HOUSE_POWER_PLANT], 1);
    EXPECT_FLOAT_EQ(g_PowerSupply[0], kOutput);
    EXPECT_FLOAT_EQ(g_PowerDemand[0], kPowerNeed);
    EXPECT_EQ(g_HouseTypeCount[1][HOUSE_POWER_PLANT], 0);
    EXPECT_FLOAT_EQ(g_PowerSupply[1], 0.0f);
    EXPECT_FLOAT_EQ(g_PowerDemand[1], 0.0f);

    for (std::uint8_t p : {0, 1})
        DestroyHouse(&g_pHouse[p][0], HOUSE_NO_DESTROYER);
    for (int p : {0, 1}) {
        EXPECT_EQ(g_HouseTypeCount[p][HOUSE_POWER_PLANT], 0) << p;
        EXPECT_FLOAT_EQ(g_PowerSupply[p], 0.0f) << p;
        EXPECT_FLOAT_EQ(g_PowerDemand[p], 0.0f) << p;
    }
}

// The plain form stores a building's type in 16 bits and no state: its buildings start as new sites
// of their type at full strength, and bring nothing until they are finished.
TEST_F(MapHouses, PlainFormBuildingsStartAsNewSitesOfTheirType)
{
    sampledata::SampleMap m = sampledata::MakeTestMap();
    for (int p : {0, 1})
        m.data.houses[p][0].type = HOUSE_POWER_PLANT;
    ASSERT_TRUE(Load(m, false));
    for (std::uint8_t p : {0, 1}) {
        ASSERT_EQ(NumHouse[p], 1) << int{p};
        const THouse& h = g_pHouse[p][0];
        EXPECT_EQ(h.HouseType, HOUSE_POWER_PLANT) << int{p};
        EXPECT_EQ(h.BuildWork, h.Type().m_BuildWork) << int{p};
        EXPECT_GT(h.BuildWork, 0) << int{p};
        EXPECT_FLOAT_EQ(h.HitPoints, static_cast<float>(h.Type().m_HitPoints)) << int{p};
        EXPECT_EQ(g_HouseTypeCount[p][HOUSE_POWER_PLANT], 0) << int{p};
    }
}
