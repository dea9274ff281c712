// The real game load on the sample game folder: a mission builds the world, the teardown frees
// all of it so that the next load works, a load that stops at any step is freed cleanly, and a
// random map starts from the setup screen's players.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "game/game_load.h"
#include "core/loader_thread.h"
#include "game/mission.h"
#include "map/fog.h"
#include "map/map_device_fixture.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/water.h"
#include "missions.h"
#include "players/strateg.h"
#include "sample_data.h"
#include "ui/setup_screen.h"
#include "units/house.h"
#include "units/parameter_files.h"

namespace {

class GameWorldTest : public MapDeviceTest {
protected:
    // One sample folder for the suite: writing it takes longer than the loads.
    static void SetUpTestSuite()
    {
        folder = new testsupport::TempDir;
        written = sampledata::WriteWorldFiles(folder->Path());
    }
    static void TearDownTestSuite()
    {
        delete folder;
        folder = nullptr;
    }
    void SetUp() override
    {
        MapDeviceTest::SetUp();
        ASSERT_TRUE(written);
        plat::SetGameRoot(folder->Path());
        SetViewSizeByScreen();
        saved = GameLoadServices();
        g_GameType = 0;
        MyPlayer = 0;
        ClearLog();
    }
    void TearDown() override
    {
        FreeGame();
        GameLoadServices() = saved;
        g_Loader.WaitUntilIdleFor(10000);
        MapDeviceTest::TearDown();
    }
    void ExpectNoWorld()
    {
        EXPECT_EQ(g_pWater, nullptr);
        EXPECT_EQ(g_pHeightMap, nullptr);
        EXPECT_EQ(g_wNumPlayer, 0);
        for (int p = 0; p < kHouseSlots; ++p)
            EXPECT_EQ(g_pHouse[p], nullptr) << p;
        for (TStrateg* player : g_Strateg)
            EXPECT_EQ(player, nullptr);
        for (int side = 0; side < PARAM_SIDES; ++side)
            EXPECT_EQ(g_NationUnitTypeCount[side], 0) << side;
    }

    std::string Game(const std::string& name) const { return folder->Path() + "/" + name; }

    TGameLoadServices saved;
    static inline testsupport::TempDir* folder = nullptr;
    static inline bool written = false;
};

} // namespace

TEST_F(GameWorldTest, SampleMissionBuildsTheWorldAndTeardownFreesIt)
{
    ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Coast.mis", false, nullptr)) << Log();
    EXPECT_EQ(g_MapWidth, 160);
    EXPECT_EQ(g_MapHeight, 480);
    ASSERT_EQ(g_wNumPlayer, 8);
    for (int p = 0; p < 8; ++p) {
        ASSERT_NE(g_Strateg[p], nullptr);
        EXPECT_EQ(NumHouse[p], 1) << p;
        EXPECT_EQ(g_HouseTypeCount[p][0], 1) << p;
        EXPECT_EQ(g_pHouse[p][0].PhaseState, 0) << "a finished building";
        EXPECT_DOUBLE_EQ(g_Strateg[p]->Res[0].spendable, 8000.0) << p;
    }
    EXPECT_EQ(g_Strateg[0]->ConditionCount, 2);
    EXPECT_EQ(g_MissionTitle, u"Eight flags on the coast");
    ASSERT_NE(g_pWater, nullptr);
    EXPECT_GT(g_pWater->m_Grid.size(), 0u);
    EXPECT_NE(g_FogMiniSurface, nullptr) << "the fog is ready";
    EXPECT_NE(g_UnitProducer[0][0], 0) << "built from the parameter files";
    EXPECT_EQ(Log().find("FAILED"), std::string::npos) << Log();

    ASSERT_TRUE(FreeGame());
    ExpectNoWorld();
    EXPECT_EQ(g_FogMiniSurface, nullptr);

    // A second load on the freed state works as the first.
    ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Test.mis", false, nullptr)) << Log();
    EXPECT_EQ(g_wNumPlayer, 2);
    EXPECT_EQ(NumHouse[1], 1);
}

TEST_F(GameWorldTest, ALoadStoppedAtAnyStepIsFreedCleanly)
{
    // Each fallible step fails in turn; the teardown after it must release exactly what was made.
    const struct {
        const char* name;
        std::function<void(TGameLoadServices&)> fail;
    } steps[] = {
        {"LoadObjects", [](TGameLoadServices& s) { s.LoadObjects = [] { return false; }; }},
        {"LoadBasicParametrs", [](TGameLoadServices& s) { s.LoadBasicParametrs = [] { return false; }; }},
        {"InitPathFinding", [](TGameLoadServices& s) { s.InitPathFinding = [] { return false; }; }},
        {"CreateWater", [](TGameLoadServices& s) { s.CreateWater = [] { return false; }; }},
        {"LoadMission", [](TGameLoadServices& s) { s.LoadMission = [](const char*, TGameSetup*) { return false; }; }},
        {"MiniMapInit", [](TGameLoadServices& s) { s.MiniMapInit = [] { return false; }; }},
        {"InitSuperFog", [](TGameLoadServices& s) { s.InitSuperFog = [] { return false; }; }},
        {"LoadMinimapFrame", [](TGameLoadServices& s) { s.LoadMinimapFrame = [] { return false; }; }},
        {"WaitLoaderIdle", [](TGameLoadServices& s) { s.WaitLoaderIdle = [](std::uint32_t) { return false; }; }},
    };
    for (const auto& step : steps) {
        GameLoadServices() = saved;
        step.fail(GameLoadServices());
        EXPECT_FALSE(LoadGame("Data\\Campaigns\\Sample\\Hills.mis", false, nullptr)) << step.name;
        GameLoadServices() = saved;
        EXPECT_TRUE(FreeGame()) << step.name;
        ExpectNoWorld();
    }
    ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Hills.mis", false, nullptr)) << Log();
    EXPECT_EQ(g_wNumPlayer, 2);
}

TEST_F(GameWorldTest, BadMissionFilesAreRefusedWithoutAWorld)
{
    const std::vector<std::uint8_t> good = testsupport::ReadAll(Game("Data/Campaigns/Sample/Hills.mis"));
    ASSERT_GT(good.size(), MISSION_CONDITIONS_OFFSET);
    testsupport::WriteText(Game("Data/Campaigns/Sample/Cut.mis"), std::string(good.begin(), good.begin() + 3000));
    EXPECT_FALSE(LoadGame("Data\\Campaigns\\Sample\\Cut.mis", false, nullptr));
    EXPECT_TRUE(Logged("cut short in its player block")) << Log();
    EXPECT_TRUE(Logged("Load mission FAILED"));
    EXPECT_EQ(g_pHeightMap, nullptr);

    // A mission naming a map that does not exist.
    sampledata::MissionRecord m;
    m.mapName = "Nowhere.dat";
    const std::vector<std::uint8_t> bytes = sampledata::BuildMissionFile(m);
    testsupport::WriteText(Game("Data/Campaigns/Sample/Nowhere.mis"), std::string(bytes.begin(), bytes.end()));
    ClearLog();
    EXPECT_FALSE(LoadGame("Data\\Campaigns\\Sample\\Nowhere.mis", false, nullptr));
    EXPECT_TRUE(Logged("MapInit() FAILED")) << Log();
    EXPECT_TRUE(FreeGame());
    ExpectNoWorld();
}

TEST_F(GameWorldTest, RandomMapStartsTheSetupScreensPlayers)
{
    g_GameType = GAME_TYPE_RANDOM_MAP;
    std::snprintf(g_RandomMapName, sizeof g_RandomMapName, "Coast.dat");
    g_SetupPlayerCount = 3;
    for (int i = 0; i < 8; ++i) {
        g_SetupPlayers[i] = {};
        g_SetupPlayers[i].nation = static_cast<std::uint8_t>(i % 5);
        g_SetupPlayers[i].colour = static_cast<std::uint8_t>(i == 1 ? 9 : 7 - i);
        g_SetupPlayers[i].team = static_cast<std::uint8_t>(i + 1);
        g_SetupPlayers[i].level = static_cast<std::uint8_t>(i == 0 ? 4 : 2);
    }
    ASSERT_TRUE(LoadGame(nullptr, false, nullptr)) << Log();
    ASSERT_EQ(g_wNumPlayer, 8) << "every slot of the map exists";
    for (int p = 0; p < 8; ++p) {
        EXPECT_EQ(g_Strateg[p]->NotPlaying, p >= 3 ? 1 : 0) << p;
        EXPECT_EQ(NumHouse[p], p >= 3 ? 0 : 1) << p;
    }
    EXPECT_EQ(g_Strateg[2]->Nation, 2);
    EXPECT_EQ(g_Strateg[1]->Team, 1);
    EXPECT_EQ(g_SetupPlayers[1].colour, 0) << "colour 9 becomes 0 and is written back";
    EXPECT_EQ(Log().find("FAILED"), std::string::npos) << Log();
    g_GameType = 0;
}
