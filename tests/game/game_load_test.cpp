// The game load, teardown and exit with recording stand-ins: the order of the steps, the early
// exit on each failure, and the tables the load builds (unit producers, home points, colours).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/game_folder_fixture.h"
#include "game/game_load.h"
#include "game/game_main.h"
#include "net/network.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "map/map_file.h"
#include "players/strateg.h"
#include "ui/setup_screen.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/parameter_files.h"

namespace {

// Every service of the table, by what it returns.
#define KORVELA_VOID_STEPS(X)                                                                                       \
    X(ResetInterfaceGameState) X(ResumeLoaderThread) X(InitRandomTable) X(ResetPlayerSlots) X(InitSelection)        \
    X(InitUnitsAndHouses) X(InitGroups) X(CreateCraters) X(LoadInterfaceGraphics) X(InitUpgrades)                   \
    X(ResetDiplomacyMatrix) X(LoadGameTextures) X(TrenchesInit) X(ResetGlobalRecordGrid) X(ShipListInit)            \
    X(SetViewPixelLimits) X(ResetNetPlayerList) X(RenderMapView) X(RedrawMiniMap) X(BuildWaterFromMap)              \
    X(ShowGroupWindow) X(LoadDigitsTexture) X(ScrollToOrigin) X(RenderFrame) X(ReleaseDigitsTexture)                \
    X(TrenchesFree) X(FreeShipTables) X(ReleaseWhiteTexture) X(StopAllSounds) X(StopLoader) X(SaveGameInfo)         \
    X(FreeCraters) X(ShipListFree) X(FreeMinimapFrame) X(FreeMiniMap) X(FreeSpecialPoints)                          \
    X(DestroyTimedSignList) X(ShotsFree) X(FreeSelection) X(DoneUnitsAndHouses) X(FreeGroups) X(ClearPanelIcons)    \
    X(FreeUpgrades) X(FreeObjects) X(FreeFogTexture) X(DeleteWater) X(ReleaseGameTextures)                          \
    X(FreeHousesAndUnitsMap) X(FreeUnitAndHouseTypes) X(FreeMapResources) X(FreeMessageQueue)                       \
    X(ResetGlobalRecordLists) X(FreeTimedEffects) X(FreePathBuffers) X(FreeInterfaceSlots) X(CloseNetwork)          \
    X(CloseGameWindows) X(OpenInterfaceArchive) X(EditorFree) X(FreeTextRendererEntries) X(LoadCampaignList)        \
    X(MakeMainMenu)
#define KORVELA_BOOL_STEPS(X)                                                                                       \
    X(LoadObjects) X(InitResourceMultipliers) X(LoadBasicParametrs) X(LoadAnimationList) X(InitPathFinding)         \
    X(CreateWater) X(ShotsInit) X(CreateTimedSignList) X(LoadRandomMap) X(MiniMapInit) X(InitSuperFog)             \
    X(MakeShipTable) X(LoadColors) X(LoadMinimapFrame) X(FreeAnimations) X(NetCheckEnoughPlayers)

class GameLoadTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        saved = GameLoadServices();
        TGameLoadServices& s = GameLoadServices();
#define KORVELA_RECORD_VOID(name) s.name = [this] { calls.push_back(#name); };
#define KORVELA_RECORD_BOOL(name)                                                                                   \
    s.name = [this] {                                                                                               \
        calls.push_back(#name);                                                                                     \
        return fail != #name;                                                                                       \
    };
        KORVELA_VOID_STEPS(KORVELA_RECORD_VOID)
        KORVELA_BOOL_STEPS(KORVELA_RECORD_BOOL)
        s.IsNetGame = [this] { return net; };
        s.LoadSavedGame = [this](const char*) {
            calls.push_back("LoadSavedGame");
            return fail != "LoadSavedGame";
        };
        s.LoadMission = [this](const char*, TGameSetup*) {
            calls.push_back("LoadMission");
            return fail != "LoadMission";
        };
        s.WaitLoaderIdle = [this](std::uint32_t) {
            calls.push_back("WaitLoaderIdle");
            return fail != "WaitLoaderIdle";
        };
        s.DrawLoadingBar = [this](int v) { progress.push_back(v); };
        s.PlayMusic = [this](int track) { calls.push_back("PlayMusic" + std::to_string(track)); };
        s.SaveCampaignProgress = [this](const std::u16string& player, const std::string& mission) {
            saves.push_back({player, mission});
        };
        s.LocalPlayerName = [this] { return localName; };
        s.ChangeScreenMode = [this](std::uint8_t mode) {
            calls.push_back("ChangeScreenMode" + std::to_string(mode));
            return true;
        };
        g_GameType = 0;
        g_MissionPath.clear();
        g_CampaignMode = 0;
        g_NetMode = 0;
    }
    void TearDown() override
    {
        GameLoadServices() = saved;
        ClearGlobalHeap();
        FreeHousesAndUnitsMap();
        GameFolderTest::TearDown();
    }
    std::size_t IndexOf(const std::string& name) const
    {
        return static_cast<std::size_t>(std::find(calls.begin(), calls.end(), name) - calls.begin());
    }
    bool Called(const std::string& name) const { return IndexOf(name) < calls.size(); }

    TGameLoadServices saved;
    std::vector<std::string> calls;
    std::vector<int> progress;
    std::vector<std::pair<std::u16string, std::string>> saves;
    std::u16string localName = u"Anna";
    std::string fail;
    bool net = false;
};

} // namespace

TEST_F(GameLoadTest, LoadRunsItsStepsInOrder)
{
    ASSERT_TRUE(LoadGame("m.mis", false, nullptr));
    const std::vector<std::string> order = {
        "ResetInterfaceGameState", "ResumeLoaderThread", "InitRandomTable", "ResetPlayerSlots", "InitSelection",
        "InitUnitsAndHouses", "InitGroups", "CreateCraters", "LoadObjects", "LoadInterfaceGraphics", "InitUpgrades",
        "InitResourceMultipliers", "ResetDiplomacyMatrix", "LoadBasicParametrs", "LoadGameTextures",
        "LoadAnimationList", "InitPathFinding", "CreateWater", "ShotsInit", "CreateTimedSignList", "LoadMission",
        "ResetGlobalRecordGrid", "MiniMapInit", "InitSuperFog", "ShipListInit", "MakeShipTable",
        "SetViewPixelLimits", "LoadColors", "ResetNetPlayerList", "LoadMinimapFrame", "RenderMapView",
        "RedrawMiniMap", "BuildWaterFromMap", "ShowGroupWindow", "LoadDigitsTexture", "WaitLoaderIdle",
        "ScrollToOrigin", "RenderFrame"};
    EXPECT_EQ(calls, order);
    EXPECT_EQ(progress, (std::vector<int>{2, 5, 7, 65, 70, 75, 100}));
    EXPECT_EQ(g_GameResult, GAME_RESULT_UNDECIDED);
    EXPECT_EQ(g_bPaused, 0);
    EXPECT_EQ(g_FrameCounter, 0u);
}

TEST_F(GameLoadTest, SourceOfTheMapFollowsTheKindOfGame)
{
    ASSERT_TRUE(LoadGame("s.sav", true, nullptr));
    EXPECT_TRUE(Called("LoadSavedGame"));
    EXPECT_FALSE(Called("LoadColors")) << "a save keeps its colours";
    calls.clear();
    g_GameType = GAME_TYPE_RANDOM_MAP;
    ASSERT_TRUE(LoadGame(nullptr, false, nullptr));
    EXPECT_TRUE(Called("LoadRandomMap"));
    EXPECT_FALSE(Called("LoadMission"));
}

TEST_F(GameLoadTest, EachFailureEndsTheLoadWithItsMessage)
{
    const struct {
        const char* step;
        const char* message;
    } cases[] = {
        {"LoadObjects", "ObjectsInit() FAILED"},
        {"InitResourceMultipliers", "ResourcesInit() FAILED"},
        {"LoadBasicParametrs", "LoadBasicParametrs() FAILED"},
        {"LoadAnimationList", "LoadAnimationList() FAILED"},
        {"InitPathFinding", "PathInit() FAILED"},
        {"CreateWater", "Water initialization FAILED"},
        {"ShotsInit", "Load_SNARIAD_problems"},
        {"CreateTimedSignList", "GasInit() FAILED"},
        {"LoadMission", "Load mission FAILED"},
        {"MiniMapInit", "MiniMapInit() FAILED"},
        {"InitSuperFog", "FogInit() FAILED"},
        {"MakeShipTable", "ShipInit() FAILED"},
        {"LoadMinimapFrame", "InterfaceGPInit() FAILED"},
        {"WaitLoaderIdle", "the loader thread did not finish"},
    };
    for (const auto& c : cases) {
        calls.clear();
        fail = c.step;
        testsupport::WriteText("ReportError.log", "");
        EXPECT_FALSE(LoadGame("m.mis", false, nullptr)) << c.step;
        EXPECT_TRUE(Logged(c.message)) << c.step << ": " << Log();
        EXPECT_EQ(calls.back(), c.step) << "nothing runs after the failing step";
        // The teardown is safe after any partial load.
        EXPECT_TRUE(FreeGame());
        EXPECT_EQ(g_bGameLoaded, 0);
    }
    for (const auto& [source, message] : {std::pair{"LoadSavedGame", "Load game FAILED"},
                                          std::pair{"LoadRandomMap", "Load Rand map FAILED"}}) {
        fail = source;
        g_GameType = std::string(source) == "LoadRandomMap" ? GAME_TYPE_RANDOM_MAP : 0;
        EXPECT_FALSE(LoadGame("x", std::string(source) == "LoadSavedGame", nullptr));
        EXPECT_TRUE(Logged(message)) << source;
    }
}

TEST_F(GameLoadTest, TeardownRunsItsStepsInOrderAndResetsTheGame)
{
    MyPlayer = 3;
    g_AdvisorOptions[3][5] = 42;
    g_WarAdvisorOptions[3][0] = 7;
    g_FrameCounter = 99;
    fail = "FreeAnimations";
    ASSERT_TRUE(FreeGame());
    const std::vector<std::string> order = {
        "ReleaseDigitsTexture", "FreeShipTables", "ReleaseWhiteTexture", "StopAllSounds", "WaitLoaderIdle",
        "StopLoader", "SaveGameInfo", "FreeCraters", "ShipListFree", "FreeMinimapFrame", "FreeMiniMap",
        "FreeSpecialPoints", "DestroyTimedSignList", "ShotsFree", "FreeSelection", "DoneUnitsAndHouses",
        "FreeGroups", "ClearPanelIcons", "FreeUpgrades", "FreeObjects", "FreeFogTexture", "DeleteWater",
        "FreeAnimations", "ReleaseGameTextures", "FreeHousesAndUnitsMap", "FreeUnitAndHouseTypes",
        "FreeMapResources", "FreeMessageQueue", "ResetGlobalRecordLists", "FreeTimedEffects", "FreePathBuffers",
        "FreeInterfaceSlots", "CloseNetwork", "WaitLoaderIdle"};
    EXPECT_EQ(calls, order);
    EXPECT_TRUE(Logged("DeleteAnimation failed"));
    EXPECT_EQ(g_AdvisorOptions[0][5], 42) << "the local player's options go back to row 0";
    EXPECT_EQ(g_WarAdvisorOptions[0][0], 7);
    EXPECT_EQ(MyPlayer, 0);
    EXPECT_EQ(g_FrameCounter, 0u);
    EXPECT_EQ(g_bTearingDown, 0);
}

TEST_F(GameLoadTest, AdvisorRowsOfANewGame)
{
    MyPlayer = 2;
    for (int i = 0; i < ADVISOR_OPTIONS; ++i)
        g_AdvisorOptions[0][i] = static_cast<std::uint8_t>(i == 4 ? 0 : 9);
    ASSERT_TRUE(LoadGame("m.mis", false, nullptr));
    EXPECT_EQ(g_AdvisorOptions[2][4], 0);
    EXPECT_EQ(g_AdvisorOptions[2][0], 9);
    EXPECT_EQ(g_AdvisorOptions[0][4], 1) << "every other row starts with every option on";
    EXPECT_EQ(g_AdvisorOptions[7][19], 1);
    MyPlayer = 0;
}

TEST_F(GameLoadTest, ColourIndexAboveSevenBecomesZeroAndIsWrittenBack)
{
    for (int i = 0; i < 8; ++i) {
        g_PlayerColorsD3D[i] = 0xFF000000u + static_cast<std::uint32_t>(i);
        g_PlayerColors16[i] = static_cast<std::uint16_t>(100 + i);
        g_PlayerColorsGdi[i] = static_cast<std::uint32_t>(200 + i);
    }
    ClearGlobalHeap();
    for (int i = 0; i < 3; ++i)
        CreateMapPlayer({}, 3);
    TGameSetup setup;
    setup.Colour(0) = 9;
    setup.Colour(1) = 7;
    setup.Colour(2) = 0;
    ApplyPlayerColours(setup);
    EXPECT_EQ(setup.Colour(0), 0);
    EXPECT_EQ(g_PlayerColorsD3D[0], 0xFF000000u);
    EXPECT_EQ(g_PlayerColors16[1], 107);
    EXPECT_EQ(g_PlayerColorsGdi[2], 200u) << "entries are taken from the tables as they stood";
    EXPECT_EQ(g_PlayerColorsD3D[3], 0xFF000003u) << "players beyond the count keep theirs";

    // A network load applies the record; a random map the setup screen's rows.
    g_NetMode = 3;
    setup.Colour(1) = 12;
    ASSERT_TRUE(LoadGame("m.mis", false, &setup));
    EXPECT_EQ(setup.Colour(1), 0);
}

TEST_F(GameLoadTest, UnitProducerIsTheFirstBuildingTypeThatMakesTheUnit)
{
    const std::uint16_t savedCounts[2] = {g_NationUnitTypeCount[1], g_NationHouseTypeCount[1]};
    std::uint16_t savedLists[3][HOUSE_LIST_SIZE];
    for (int t = 0; t < 3; ++t)
        std::copy(std::begin(HouseType(1, t).m_Units), std::end(HouseType(1, t).m_Units), savedLists[t]);
    g_NationUnitTypeCount[1] = 5;
    g_NationHouseTypeCount[1] = 3;
    auto list = [](int t, std::initializer_list<std::uint16_t> units) {
        std::fill(std::begin(HouseType(1, t).m_Units), std::end(HouseType(1, t).m_Units), HOUSE_LIST_END);
        std::copy(units.begin(), units.end(), HouseType(1, t).m_Units);
    };
    list(0, {2, HOUSE_LIST_END, 3});           // 3 lies beyond the end marker
    list(1, {0, 0, 0, 0, 0, 0, 0, 0, 2, 3});   // ten entries, no end marker
    list(2, {4, 1});
    BuildUnitProducer();
    EXPECT_EQ(g_UnitProducer[1][0], 1);
    EXPECT_EQ(g_UnitProducer[1][2], 0) << "the first type in index order";
    EXPECT_EQ(g_UnitProducer[1][3], 1) << "the marker ends a list; the tenth entry of a full one counts";
    EXPECT_EQ(g_UnitProducer[1][4], 2);
    list(2, {});
    BuildUnitProducer();
    EXPECT_EQ(g_UnitProducer[1][4], UNIT_PRODUCER_NONE) << "nobody makes it";
    EXPECT_EQ(g_UnitProducer[1][1], UNIT_PRODUCER_NONE);
    for (int t = 0; t < 3; ++t)
        std::copy(std::begin(savedLists[t]), std::end(savedLists[t]), HouseType(1, t).m_Units);
    g_NationUnitTypeCount[1] = savedCounts[0];
    g_NationHouseTypeCount[1] = savedCounts[1];
}

TEST_F(GameLoadTest, HomePointsGoToPlannersWithoutATarget)
{
    ClearGlobalHeap();
    CreateMapPlayer({}, 4); // a person's planner serves the advisors
    CreateMapPlayer({}, 3); // no buildings, no units
    CreateMapPlayer({}, 3); // target already set
    g_Strateg[2]->Planner->TargetX = 5;
    SetPlayersHomePoints();
    EXPECT_EQ(g_Strateg[0]->Planner->HomeX, 20);
    EXPECT_EQ(g_Strateg[1]->Planner->HomeX, 20);
    EXPECT_EQ(g_Strateg[1]->Planner->HomeY, 40);
    EXPECT_EQ(g_Strateg[1]->Planner->TargetX, 20);
    EXPECT_EQ(g_Strateg[1]->Planner->TargetY, 40);
    EXPECT_EQ(g_Strateg[2]->Planner->TargetX, 5) << "a planner with a target keeps it";
    EXPECT_EQ(g_Strateg[2]->Planner->HomeX, 0);

    // The first worker building is home; without one, the first building.
    CreateMapPlayer({}, 3);
    auto place = [](int p, int i, std::uint16_t type, std::int32_t x, std::int32_t y) {
        THouse& h = g_pHouse[p][i];
        h.TypeRecord = &HouseType(0, type);
        h.HouseType = type;
        h.X = x;
        h.Y = y;
        NumHouse[p] = static_cast<std::uint16_t>(i + 1);
    };
    place(1, 0, HOUSE_BARRACKS, 5, 6);
    place(1, 1, HOUSE_WORKER_BUILDING, 7, 8);
    place(3, 0, HOUSE_BARRACKS, 9, 10);
    g_Strateg[1]->Planner->TargetX = STRATEG_AI_UNSET;
    SetPlayersHomePoints();
    EXPECT_EQ(g_Strateg[1]->Planner->HomeX, 7);
    EXPECT_EQ(g_Strateg[1]->Planner->HomeY, 8);
    EXPECT_EQ(g_Strateg[3]->Planner->HomeX, 9);
    EXPECT_EQ(g_Strateg[3]->Planner->TargetY, 10);
}

TEST_F(GameLoadTest, MissionPathGivesCampaignAndMission)
{
    const struct {
        const char* path;
        bool ok;
        const char* campaign;
        const char* mission;
        const char* logged;
    } cases[] = {
        {"Data\\Campaigns\\Sample\\Test.mis", true, "Sample", "Test.mis", ""},
        {"Sample\\Test.mis", false, "", "", "Camp==NULL"},
        {"\\Test.mis", false, "", "", "Camp==NULL"},
        {"Test.mis", false, "", "", "Miss==NULL"},
    };
    for (const auto& c : cases) {
        testsupport::WriteText("ReportError.log", "");
        std::string campaign, mission;
        EXPECT_EQ(SplitMissionPath(c.path, campaign, mission), c.ok) << c.path;
        if (c.ok) {
            EXPECT_EQ(campaign, c.campaign);
            EXPECT_EQ(mission, c.mission);
        } else {
            EXPECT_TRUE(Logged(c.logged)) << c.path;
        }
    }
}

TEST_F(GameLoadTest, ExitAfterAWonMissionSavesTheProgress)
{
    g_MissionPath = "Data\\Campaigns\\Sample\\Hills.mis";
    for (const std::uint32_t result : {GAME_RESULT_WON, 1u}) {
        calls.clear();
        saves.clear();
        g_GameResult = result;
        g_CampaignMode = result == GAME_RESULT_WON ? 1 : 0;
        EXPECT_TRUE(ExitToMenu());
        EXPECT_EQ(calls.front(), "PlayMusic0");
        EXPECT_LT(IndexOf("OpenInterfaceArchive"), IndexOf("FreeMapResources"));
        EXPECT_EQ(calls.back(), "ChangeScreenMode0");
        EXPECT_FALSE(Called("EditorFree"));
        if (result == GAME_RESULT_WON) {
            ASSERT_EQ(saves.size(), 1u);
            EXPECT_EQ(saves[0].first, u"Anna");
            EXPECT_EQ(saves[0].second, "Hills.mis");
            EXPECT_EQ(g_CampaignName, "Sample");
            EXPECT_TRUE(Called("LoadCampaignList"));
        } else {
            EXPECT_TRUE(saves.empty()) << "a lost mission saves nothing";
            EXPECT_TRUE(Called("MakeMainMenu"));
        }
    }
    // Without a player name nothing is saved; in the editor the editor is freed instead.
    calls.clear();
    saves.clear();
    g_GameResult = GAME_RESULT_WON;
    localName.clear();
    g_bEditorMode = 1;
    ExitToMenu();
    g_bEditorMode = 0;
    EXPECT_TRUE(saves.empty());
    EXPECT_TRUE(Called("EditorFree"));
    EXPECT_FALSE(Called("FreeMapResources"));
}

TEST_F(GameLoadTest, ExitClosesANetworkThatLacksPlayers)
{
    g_NetMode = 3;
    fail = "NetCheckEnoughPlayers";
    ExitToMenu();
    EXPECT_LT(IndexOf("NetCheckEnoughPlayers"), IndexOf("CloseNetwork"));
    EXPECT_LT(IndexOf("CloseNetwork"), IndexOf("CloseGameWindows")) << "before the teardown closes it again";
    g_NetMode = 0;
}
