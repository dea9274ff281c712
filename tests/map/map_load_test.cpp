#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "combat/craters.h"
#include "core/memory_stream.h"
#include "land_textures.h"
#include "map/land_textures.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/minimap.h"
#include "map/site_queries.h"
#include "map/trenches.h"
#include "map_device_fixture.h"
#include "maps.h"
#include "objects.h"
#include "players/strateg.h"
#include "sample_data.h"

namespace {

// The loader's services replaced by recorders; the table is put back after each test.
class MapLoadTest : public MapDeviceTest {
protected:
    void SetUp() override
    {
        MapDeviceTest::SetUp();
        saved = MapServices();
        TMapServices& s = MapServices();
        s.CreateMapPlayer = [this](const TMapPlayerRecord& r, std::uint8_t kind) {
            players.push_back({std::u16string(r.name), r.nation, kind});
            ++g_wNumPlayer;
            return true;
        };
        s.SetNotPlaying = [this](int p) { notPlaying.push_back(p); };
        s.SetTeam = [this](int p, int team) { teams.push_back({p, team}); };
        s.AddMapHouse = [this](int p, std::int32_t x, std::int32_t y, const TMapHouseRecord& r) {
            houses.push_back({p, x, y, r.type});
            return true;
        };
        s.CreateMapUnit = [this](int p, const TMapUnitRecord&) {
            unitsOf.push_back(p);
            return true;
        };
        s.CanReceiveUnits = [](int) { return true; };
        s.AddNeutralHouse = [this](const TMapHouseRecord&) {
            ++neutralHouses;
            return true;
        };
        s.LoadWater = [this](TIfStreamMemory& in) {
            waterRead = true;
            return SkipWaterBlock(in, g_MapWidth, g_MapHeight);
        };
        MyPlayer = 0;
    }
    void TearDown() override
    {
        FreeMapResources();
        MapServices() = saved;
        MapDeviceTest::TearDown();
    }
    void WriteMap(const std::string& name, const sampledata::SampleMap& m, bool compressed = true)
    {
        const auto file = sampledata::BuildMapFile(m.data, m.tail, compressed);
        ASSERT_TRUE(sampledata::WriteFileBytes(dir.Path(), "Maps/" + name, file.data(), file.size()));
    }
    std::uint16_t Object(int x, int y) const { return g_pObjectMap[y * g_MapWidth + x]; }

    struct Player {
        std::u16string name;
        std::uint8_t nation;
        std::uint8_t kind;
    };
    struct House {
        int player, x, y, type;
    };
    TMapServices saved;
    std::vector<Player> players;
    std::vector<int> notPlaying;
    std::vector<std::pair<int, int>> teams;
    std::vector<House> houses;
    std::vector<int> unitsOf;
    int neutralHouses = 0;
    bool waterRead = false;
};

TEST_F(MapLoadTest, SampleMapBuildsTheWorld)
{
    sampledata::SampleMap m = sampledata::MakeTestMap();
    m.tail.neutralHouses.resize(2);
    WriteMap("Test.dat", m);
    ASSERT_TRUE(LoadMapFile("Test.dat", nullptr));
    EXPECT_EQ(g_MapWidth, m.data.width);
    EXPECT_EQ(g_MapHeight, m.data.height);
    EXPECT_EQ(g_MapKind, 1u);
    EXPECT_STREQ(g_MapName, "Test.dat");
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[0].kind, 4); // the local player
    EXPECT_EQ(players[1].kind, 3);
    ASSERT_EQ(houses.size(), 2u);
    // Houses stand on the lifted reference point of their cell.
    const TMapHouseRecord& hq = m.data.houses[1][0];
    const std::uint8_t h = m.data.cells[hq.y * m.data.width + hq.x].height;
    EXPECT_EQ(houses[1].x, (2 * hq.x - ((hq.y & 1) ? 0 : 1)) * 48);
    EXPECT_EQ(houses[1].y, 24 * hq.y - h);
    EXPECT_EQ(unitsOf.size(), m.data.units[0].size() + m.data.units[1].size());
    EXPECT_TRUE(waterRead);
    EXPECT_EQ(neutralHouses, 2);
    EXPECT_EQ(g_PortPoints.size(), m.tail.portPoints.size());
    EXPECT_FLOAT_EQ(g_MiniMapScaleX, m.data.width * 0.005f);
    // Cells: texture words as stored, blocked stones flagged, their code kept without the bit.
    int blocked = 0;
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i) {
        ASSERT_EQ(g_pCellInfo[i].base, m.data.cells[i].base);
        ASSERT_EQ(g_pObjectMap[i], m.data.cells[i].object & 0x7FFF);
        blocked += g_pCellFlags[i];
        if (m.data.cells[i].object & 0x8000)
            ASSERT_EQ(g_pCellFlags[i], 1);
    }
    EXPECT_GT(blocked, 0);
}

TEST_F(MapLoadTest, MissingTailsEndTheLoadWithTheirMessages)
{
    const struct {
        int blocks;
        const char* logged;
        bool water;
    } cases[] = {{0, "end of file before animation", false},
                 {1, "end of file before water", false},
                 {2, nullptr, true},
                 {5, nullptr, true}};
    for (const auto& c : cases) {
        sampledata::SampleMap m = sampledata::MakeTestMap();
        m.tail.blocks = c.blocks;
        WriteMap("t.dat", m);
        ClearLog();
        waterRead = false;
        g_PortPoints = {{1, 1}};
        ASSERT_TRUE(LoadMapFile("t.dat", nullptr)) << c.blocks;
        if (c.logged)
            EXPECT_TRUE(Logged(c.logged)) << c.blocks;
        else
            EXPECT_FALSE(Logged("end of file before")) << c.blocks;
        EXPECT_EQ(waterRead, c.water) << c.blocks;
        EXPECT_EQ(g_PortPoints.size(), c.blocks == 5 ? m.tail.portPoints.size() : 1u) << c.blocks;
    }
}

// Whatever ends the tail before the trench block, the list holds this map's pieces only.
TEST_F(MapLoadTest, TrenchesOfThePreviousMapAreGoneAfterAMapWithoutThem)
{
    std::vector<std::uint8_t> oneEntry;
    for (std::uint16_t v : {std::uint16_t{300}, std::uint16_t{1}})
        oneEntry.insert(oneEntry.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    oneEntry.resize(oneEntry.size() + 14, 0);
    oneEntry[4] = 20; // a pontoon piece
    const struct {
        const char* name;
        int blocks;
        bool craters;
    } cases[] = {{"no tail", 0, false}, {"craters only", 1, false}, {"up to water", 2, false},
                 {"neutral objects last", 3, false}, {"with craters", 5, true}};
    for (const auto& c : cases) {
        TIfStreamMemory in(oneEntry.data(), static_cast<std::int32_t>(oneEntry.size()));
        ASSERT_TRUE(g_TrenchList.LoadTrenchList(in)) << c.name;
        ASSERT_EQ(g_TrenchList.Count(), 1) << c.name;
        sampledata::SampleMap m = sampledata::MakeTestMap();
        m.tail.blocks = c.blocks;
        if (c.craters) {
            TOfStreamMemory block;
            block.WriteU16(1);
            TGroundPicture crater;
            crater.m_X = 400.0f;
            crater.m_Y = 300.0f;
            ASSERT_TRUE(crater.Save(block));
            m.tail.craters.assign(block.Data(), block.Data() + block.Size());
        }
        WriteMap("t.dat", m);
        ASSERT_TRUE(LoadMapFile("t.dat", nullptr)) << c.name;
        EXPECT_EQ(g_TrenchList.Count(), 0) << c.name;
    }
}

// The map's name gives its kind, and the kind its season: winter (3) for the "w" maps.
TEST_F(MapLoadTest, TheSeasonFollowsTheMapKind)
{
    const struct {
        const char* name;
        std::uint32_t season;
    } cases[] = {{"Winter.dat", 3}, {"t.dat", 1}, {"wood.dat", 3}, {"random2R.dat", 1}};
    for (const auto& c : cases) {
        WriteMap(c.name, sampledata::MakeTestMap());
        g_MapSeason = 0;
        ASSERT_TRUE(LoadMapFile(c.name, nullptr)) << c.name;
        EXPECT_EQ(g_MapSeason, c.season) << c.name;
        EXPECT_EQ(g_MapKind, c.season) << c.name;
    }
}

// The crater block is read whole, so the blocks behind it are found.
TEST_F(MapLoadTest, AMapWithCratersKeepsItsWaterNeutralBuildingsTrenchesAndPorts)
{
    sampledata::SampleMap m = sampledata::MakeTestMap();
    m.tail.neutralHouses.resize(2);
    TOfStreamMemory craters;
    craters.WriteU16(3);
    for (std::uint8_t set : {0, 1, 2}) {
        TGroundPicture p;
        p.m_Type = set;
        p.m_X = 400.0f + 50.0f * set;
        p.m_Y = 300.0f;
        ASSERT_TRUE(p.Save(craters));
    }
    m.tail.craters.assign(craters.Data(), craters.Data() + craters.Size());
    m.tail.trenchList = {1, 0, 1, 0, 20, 5, 0, 6, 0, 0, 0, 128, 191, 0, 0, 200, 66, 1};
    ASSERT_FALSE(m.tail.portPoints.empty());
    WriteMap("c.dat", m);
    g_PortPoints.clear();
    ASSERT_TRUE(LoadMapFile("c.dat", nullptr));
    EXPECT_FALSE(Logged("Map craters unreadable"));
    EXPECT_TRUE(waterRead);
    EXPECT_EQ(neutralHouses, 2);
    EXPECT_NE(g_TrenchList.Entry(0), nullptr);
    EXPECT_EQ(g_PortPoints.size(), m.tail.portPoints.size());
}

TEST_F(MapLoadTest, UnreadableWaterFailsTheLoad)
{
    WriteMap("t.dat", sampledata::MakeTestMap());
    MapServices().LoadWater = [](TIfStreamMemory&) { return false; };
    ClearLog();
    EXPECT_FALSE(LoadMapFile("t.dat", nullptr));
    EXPECT_TRUE(Logged("LoadMap() FAILED"));
}

TEST_F(MapLoadTest, SpecialPointsInsideTheMarginsAreCountedUpTo199)
{
    sampledata::SampleMap m = sampledata::MakeTestMap();
    m.data.width = 40;
    m.data.height = 60;
    m.data.cells.assign(40 * 60, TMapFileCell{});
    auto at = [&](int x, int y) -> TMapFileCell& { return m.data.cells[y * 40 + x]; };
    for (auto& units : m.data.units)
        units.clear();
    for (auto& h : m.data.houses)
        for (auto& r : h)
            r.x = 10, r.y = 20;
    at(5, 15).object = 9601;  // left margin: removed, not counted
    at(34, 15).object = 9602; // x = W - 6: kept
    at(20, 14).object = 9603; // top margin
    int placed = 1;
    for (int y = 16; y <= 45 && placed < 199; ++y)
        for (int x = 6; x <= 34 && placed < 199; x += 4, ++placed)
            at(x, y).object = 9601;
    at(20, 45).object = 9602; // the 200th: neither recorded nor removed
    m.tail.water.assign(2 * 40 * 60 * 2 + 2, 0);
    WriteMap("sp.dat", m);
    ASSERT_TRUE(LoadMapFile("sp.dat", nullptr));
    EXPECT_EQ(g_SpecialPointCount, 199);
    EXPECT_EQ(Object(5, 15), 0);
    EXPECT_EQ(Object(20, 14), 0);
    EXPECT_EQ(Object(34, 15), 9602);
    EXPECT_EQ(g_SpecialPoints[0].x, 34);
    EXPECT_EQ(g_SpecialPoints[0].y, 15);
    EXPECT_EQ(Object(20, 45), 9602);
}

TEST_F(MapLoadTest, ObjectCodesAMapCannotHoldAreCleared)
{
    sampledata::SampleMap m = sampledata::MakeTestMap();
    auto at = [&](int x, int y) -> TMapFileCell& { return m.data.cells[y * m.data.width + x]; };
    const std::uint16_t codes[] = {1500, 150, 11000, 9700, 9701, 99, 100, 9694, 0x8000 | 9000};
    for (int i = 0; i < 9; ++i)
        at(10 + i, 50).object = codes[i];
    WriteMap("c.dat", m);
    MapServices().TrenchEntryExists = [](std::uint16_t slot) { return slot == 1; };
    ClearLog();
    ASSERT_TRUE(LoadMapFile("c.dat", nullptr));
    const std::uint16_t expected[] = {0, 0, 0, 0, 9701, 99, 100, 9694, 9000};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(Object(10 + i, 50), expected[i]) << codes[i];
    EXPECT_EQ(g_pCellFlags[50 * g_MapWidth + 18], 1);
    EXPECT_TRUE(Logged("object codes a map cannot hold, cleared: 3"));
    EXPECT_TRUE(Logged("trench entries that do not exist, cleared: 1"));
}

TEST_F(MapLoadTest, StartRecordSlotLeftEmptyGetsNoHousesOrUnits)
{
    WriteMap("w1.dat", sampledata::MakeTestMap());
    TMapStartRecord start;
    std::u16string name = u"Chosen";
    std::copy(name.begin(), name.end(), start.slots[0].name);
    start.slots[0].nation = 3;
    start.slots[0].team = 2;
    start.slots[0].kind = 2;
    start.slots[1].kind = 0;
    start.slots[1].team = 1;
    ASSERT_TRUE(LoadMapFile("w1.dat", &start));
    EXPECT_EQ(g_MapKind, 3u);
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[0].name, u"Chosen");
    EXPECT_EQ(players[0].nation, 3);
    EXPECT_EQ(players[0].kind, 4); // the local player's slot
    EXPECT_EQ(players[1].kind, 1);
    EXPECT_EQ(notPlaying, std::vector<int>{1});
    EXPECT_EQ(teams, (std::vector<std::pair<int, int>>{{0, 1}, {1, 0}}));
    for (const House& h : houses)
        EXPECT_EQ(h.player, 0);
    EXPECT_EQ(houses.size(), 1u);
    for (int p : unitsOf)
        EXPECT_EQ(p, 0);
}

TEST_F(MapLoadTest, WaterAndCoastCellsGetHeight30)
{
    sampledata::SampleMap m = sampledata::MakeTestMap();
    for (TMapFileCell& c : m.data.cells)
        c.height = 80;
    WriteMap("h.dat", m);
    MapServices().GetWaterKind = [](int x, int y) -> std::uint8_t { return x < 3 ? 1 + (y & 1) : 0; };
    ASSERT_TRUE(LoadMapFile("h.dat", nullptr));
    for (int y = 0; y < g_MapHeight; y += 7) {
        EXPECT_EQ(g_pHeightMap[y * g_MapWidth + 1], 30);
        EXPECT_EQ(g_pHeightMap[y * g_MapWidth + 2], 30);
        EXPECT_EQ(g_pHeightMap[y * g_MapWidth + 3], 80);
    }
}

TEST_F(MapLoadTest, RefusedFilesKeepThePreviousMap)
{
    WriteMap("good.dat", sampledata::MakeTestMap());
    ASSERT_TRUE(LoadMapFile("good.dat", nullptr));
    const std::uint16_t width = g_MapWidth;
    sampledata::SampleMap bad = sampledata::MakeTestMap();
    bad.data.players.resize(9);
    WriteMap("bad.dat", bad);
    ClearLog();
    EXPECT_FALSE(LoadMapFile("bad.dat", nullptr));
    EXPECT_EQ(g_MapWidth, width);
    EXPECT_FALSE(LoadMapFile("none.dat", nullptr));
    EXPECT_TRUE(Logged("none.dat Load failed!!!"));
}

TEST_F(MapLoadTest, LoadMapMakesAndFreeMapResourcesReleasesTheResources)
{
    ASSERT_TRUE(sampledata::WriteLandTextures(dir.Path()));
    ASSERT_TRUE(sampledata::WriteMapResources(dir.Path()));
    WriteMap("Test.dat", sampledata::MakeTestMap());
    ASSERT_TRUE(LoadMap("Test.dat", true, nullptr));
    EXPECT_NE(g_pSelectTexture, nullptr);
    EXPECT_NE(g_pFilterTexture, nullptr);
    EXPECT_NE(g_pUnitFlashTexture, nullptr);
    EXPECT_NE(g_pWhiteTexture, nullptr);
    EXPECT_NE(g_pTintTexture, nullptr);
    for (plat::Texture* t : g_pBurntStains)
        EXPECT_NE(t, nullptr);
    EXPECT_EQ(g_MapQuadBuffers[1].size(), 18000u);
    EXPECT_NE(g_LandTex128[51], nullptr);
    EXPECT_NE(g_LandTex128[135], nullptr);
    // Only grounds the map uses are made: the test map has no snow.
    EXPECT_EQ(g_LandTex64[sampledata::LandTextureNumber(sampledata::Terrain::Snow, 0) - 1], nullptr);
    FreeMapResources();
    EXPECT_EQ(g_pSelectTexture, nullptr);
    EXPECT_EQ(g_pFilterTexture, nullptr);
    EXPECT_EQ(g_pBurntStains[0], nullptr);
    EXPECT_EQ(g_LandTex128[51], nullptr);
    EXPECT_EQ(g_pHeightMap, nullptr);
}

TEST_F(MapLoadTest, MissingResourcesFailTheLoadWithTheirMessages)
{
    WriteMap("Test.dat", sampledata::MakeTestMap());
    ClearLog();
    EXPECT_FALSE(LoadMap("Test.dat", true, nullptr));
    EXPECT_TRUE(Logged("LandTextures.dat opening ERROR"));
    EXPECT_TRUE(Logged("CreateLandscapeTextures() FAILED"));
    ASSERT_TRUE(sampledata::WriteLandTextures(dir.Path()));
    ClearLog();
    EXPECT_FALSE(LoadMap("Test.dat", true, nullptr));
    EXPECT_TRUE(Logged("FAILED: Data\\Misc\\BurntStains.les"));
    ClearLog();
    EXPECT_FALSE(LoadMap("none.dat", true, nullptr));
    EXPECT_TRUE(Logged("LoadMap () FAILED"));
}

} // namespace
