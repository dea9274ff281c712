// The real game load on the sample game folder: a mission builds the world, the teardown frees
// all of it so that the next load works, a load that stops at any step is freed cleanly, and a
// random map starts from the setup screen's players; a save of a running game comes back as it was
// saved, and a damaged one is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "game/game_keys.h"
#include "game/game_load.h"
#include "game/game_main.h"
#include "game/test_hooks.h"
#include "platform/events.h"
#include "game/save_game.h"
#include "core/loader_thread.h"
#include "game/mission.h"
#include "map/fog.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/trenches.h"
#include "map/water.h"
#include "missions.h"
#include "platform/bytes.h"
#include "players/strateg.h"
#include "sample_data.h"
#include "ui/setup_screen.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/house_types.h"
#include "units/parameter_files.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"
#include "game/sample_world_fixture.h"

namespace {

class GameWorldTest : public SampleWorldTest {
protected:
    void SetUp() override
    {
        SampleWorldTest::SetUp();
        saved = GameLoadServices();
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
        EXPECT_EQ(g_HouseTypeCount[p][6], 1) << p;
        EXPECT_EQ(g_pHouse[p][0].PhaseState, 0) << "a finished building";
        EXPECT_DOUBLE_EQ(g_Strateg[p]->Res[0].spendable, 8000.0) << p;
        // The map's units stand before the pass maps are built from the loaded map.
        EXPECT_EQ(NumUnits[p], 5) << p;
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

TEST_F(GameWorldTest, RandomMapOfTheExtraOilModeStartsWithItsOil)
{
    g_GameType = GAME_TYPE_RANDOM_MAP;
    g_GameMode = GAME_MODE_EXTRA_OIL;
    g_StartResources = 1;
    std::snprintf(g_RandomMapName, sizeof g_RandomMapName, "Hills.dat");
    g_SetupPlayerCount = 2;
    for (int i = 0; i < 8; ++i) {
        g_SetupPlayers[i] = {};
        g_SetupPlayers[i].level = static_cast<std::uint8_t>(i == 0 ? 4 : 2);
    }
    ASSERT_TRUE(LoadGame(nullptr, false, nullptr)) << Log();
    for (int p = 0; p < 2; ++p) {
        EXPECT_DOUBLE_EQ(g_Strateg[p]->Res[4].spendable, 60000.0) << p;
        EXPECT_DOUBLE_EQ(g_Strateg[p]->Res[0].spendable, 10000.0) << p;
    }
    g_GameType = 0;
    g_GameMode = 0;
}

namespace {

std::vector<std::uint8_t> ReadSaveImage(const char* path)
{
    std::uint32_t size = 0;
    std::uint8_t* bytes = LoadCompressedFile(path, &size);
    std::vector<std::uint8_t> raw(bytes, bytes + (bytes ? size : 0));
    FreeCompressedFile(bytes);
    return raw;
}

bool WriteSaveImage(const char* path, const std::vector<std::uint8_t>& raw)
{
    return SaveCompressedFile(path, raw.data(), static_cast<std::int32_t>(raw.size()));
}

// (offset of the chunk header, id, length) of each chunk of a raw save.
struct TChunkAt {
    std::size_t at;
    std::uint16_t id;
    std::uint32_t length;
};
std::vector<TChunkAt> ChunksOf(const std::vector<std::uint8_t>& raw)
{
    std::vector<TChunkAt> chunks;
    for (std::size_t at = 0; at + 6 <= raw.size();) {
        const TChunkAt c{at, plat::ReadU16LE(&raw[at]), plat::ReadU32LE(&raw[at + 2])};
        chunks.push_back(c);
        at += 6 + c.length;
    }
    return chunks;
}
const TChunkAt& ChunkOf(const std::vector<TChunkAt>& chunks, std::uint16_t id)
{
    static const TChunkAt none{0, 0xFFFF, 0};
    for (const TChunkAt& c : chunks)
        if (c.id == id)
            return c;
    return none;
}

// Where two saves first differ: the chunk and the offset inside it.
std::string FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    if (i == n && a.size() == b.size())
        return "";
    for (const TChunkAt& c : ChunksOf(a))
        if (i >= c.at && i < c.at + 6 + c.length)
            return "chunk " + std::to_string(c.id) + " at " + std::to_string(i - c.at - 6);
    return "byte " + std::to_string(i) + " (sizes " + std::to_string(a.size()) + ", " + std::to_string(b.size()) + ")";
}

// A finished building of player 0 that produces units, with two units queued.
THouse* PlaceFinishedFactory()
{
    const THouse& home = g_pHouse[0][0];
    const std::uint8_t nation = g_Strateg[0]->Nation;
    for (std::uint16_t type = 0; type < HOUSE_TYPES_PER_SIDE; ++type) {
        const THouseType& t = HouseType(nation, type);
        if (t.m_Units[0] == HOUSE_LIST_END || GetUnitType(nation, t.m_Units[0]) == nullptr)
            continue;
        const TFloatPoint at = HouseReferencePixel(home.X, home.Y + 24);
        const std::uint16_t index = AddHouseFromMapData(0, at.x, at.y, type);
        if (index == HOUSE_NONE)
            return nullptr;
        THouse& h = g_pHouse[0][index];
        h.BuildWork = 0;
        AcquireMapHousePhase(h);
        if (!AddUnitToHouseQueue(0, index, t.m_Units[0], 0) || !AddUnitToHouseQueue(0, index, t.m_Units[0], 0))
            return nullptr;
        for (std::uint8_t i = 0; i < h.AnimationCount; ++i)
            h.Animations[i].frameState = 3 + i;
        return &h;
    }
    return nullptr;
}

// A trench piece at the first cell that takes one (by the water); false when the map has none.
bool AddAnyTrench()
{
    for (std::int32_t y = 0; y < g_MapHeight; ++y)
        for (std::int32_t x = 0; x < g_MapWidth; ++x)
            if (g_TrenchList.AddTrenchEntry(0, x, y) != nullptr)
                return true;
    return false;
}

} // namespace

TEST_F(GameWorldTest, EverySampleMissionSavedLoadedAndSavedAgainGivesTheSameFile)
{
    // The players' play time follows the calendar clock: it stands still here.
    SetPlayClock([]() -> std::int64_t { return 1'000'000; });
    struct RestoreClock {
        ~RestoreClock() { SetPlayClock(nullptr); }
    } restore;
    std::filesystem::create_directories(Game("Save"));
    int withTrenches = 0;
    for (const std::string& mission : sampledata::SampleMissionPaths()) {
        SCOPED_TRACE(mission);
        ClearLog();
        ASSERT_TRUE(LoadGame(mission.c_str(), false, nullptr)) << Log();
        THouse* factory = PlaceFinishedFactory();
        ASSERT_NE(factory, nullptr) << Log();
        const std::uint16_t factoryIndex = factory->Index;
        const std::uint16_t queued = factory->Queue[0];
        withTrenches += AddAnyTrench() ? 1 : 0;
        const std::uint16_t trenches = g_TrenchList.Count();
        ASSERT_TRUE(SaveGameData("Save\\round.svg")) << Log();
        // The frame a load draws moves the buildings' animations on by one picture; they are put
        // back where the save had them, so that the two saves compare.
        std::vector<std::uint32_t> frames;
        for (std::uint8_t p = 0; p < g_wNumPlayer; ++p)
            for (std::uint16_t i = 0; i < NumHouse[p]; ++i)
                for (std::uint8_t k = 0; g_pHouse[p][i].Animations != nullptr && k < g_pHouse[p][i].AnimationCount; ++k)
                    frames.push_back(g_pHouse[p][i].Animations[k].frameState);

        ASSERT_TRUE(ReplaceGameFromSave("Save\\round.svg")) << Log();
        const THouse& back = g_pHouse[0][factoryIndex];
        EXPECT_EQ(back.PhaseState, HOUSE_STATE_FINISHED) << "a finished building stays finished";
        EXPECT_EQ(back.FinishedHeld, 1);
        ASSERT_EQ(back.QueueCount, 2);
        EXPECT_EQ(back.Queue[1], queued);
        ASSERT_EQ(back.AnimationCount, back.Type().m_AnimationCount);
        for (std::uint8_t i = 0; i < back.AnimationCount; ++i)
            EXPECT_EQ(back.Animations[i].frameState, 3u + i);
        EXPECT_EQ(g_TrenchList.Count(), trenches);
        EXPECT_EQ(g_MissionTitle.empty(), false);
        std::size_t f = 0;
        for (std::uint8_t p = 0; p < g_wNumPlayer; ++p)
            for (std::uint16_t i = 0; i < NumHouse[p]; ++i)
                for (std::uint8_t k = 0; g_pHouse[p][i].Animations != nullptr && k < g_pHouse[p][i].AnimationCount; ++k)
                    if (f < frames.size())
                        g_pHouse[p][i].Animations[k].frameState = frames[f++];
        EXPECT_EQ(f, frames.size());
        ASSERT_TRUE(SaveGameData("Save\\again.svg")) << Log();

        const std::vector<std::uint8_t> first = ReadSaveImage("Save\\round.svg");
        const std::vector<std::uint8_t> second = ReadSaveImage("Save\\again.svg");
        ASSERT_FALSE(first.empty());
        EXPECT_EQ(FirstDifference(first, second), "");
        ASSERT_TRUE(FreeGame());
    }
    EXPECT_GT(withTrenches, 0);
}

TEST_F(GameWorldTest, DamagedSavesAreRefusedWithTheirReasonAndTheRunningGameStays)
{
    std::filesystem::create_directories(Game("Save"));
    ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Test.mis", false, nullptr)) << Log();
    ASSERT_TRUE(SaveGameData("Save\\good.svg"));
    const std::vector<std::uint8_t> good = ReadSaveImage("Save\\good.svg");
    const std::vector<TChunkAt> chunks = ChunksOf(good);
    auto without = [&](std::uint16_t id) {
        std::vector<std::uint8_t> raw;
        for (const TChunkAt& c : chunks)
            if (c.id != id)
                raw.insert(raw.end(), good.begin() + c.at, good.begin() + c.at + 6 + c.length);
        return raw;
    };
    const TChunkAt& stat = ChunkOf(chunks, SAVE_CHUNK_GAME_STAT);
    const TChunkAt& map = ChunkOf(chunks, SAVE_CHUNK_GAME_MAP);
    const struct {
        const char* name;
        std::vector<std::uint8_t> raw;
        const char* logged;
    } cases[] = {
        {"no map chunk", without(SAVE_CHUNK_GAME_MAP), "the save holds no map"},
        {"no statistics chunk", without(SAVE_CHUNK_GAME_STAT), "the save holds no game statistics"},
        {"local player 5 of 2",
         [&] {
             std::vector<std::uint8_t> raw = good;
             raw[stat.at + 6 + stat.length - 1] = 5;
             return raw;
         }(),
         "the local player is not among the players, player 5"},
        {"unknown chunk",
         [&] {
             std::vector<std::uint8_t> raw = good;
             raw.insert(raw.end(), {12, 0, 1, 0, 0, 0, 0});
             return raw;
         }(),
         "unknown chunk 12"},
        {"chunk longer than the file",
         [&] {
             std::vector<std::uint8_t> raw = good;
             plat::WriteU32LE(&raw[chunks.back().at + 2], 0x7FFFFFF0u);
             return raw;
         }(),
         "a chunk is longer than the file"},
        {"map tag", [&] {
             std::vector<std::uint8_t> raw = good;
             raw[map.at + 6] = 'X';
             return raw;
         }(),
         "GameMap: the block tag does not match"},
        {"map layers beyond the chunk",
         [&] {
             std::vector<std::uint8_t> raw = good;
             plat::WriteU16LE(&raw[map.at + 6 + 8 + 4], 4000);
             return raw;
         }(),
         "GameMap: the map layers are cut short"},
        {"statistics cut short",
         [&] {
             std::vector<std::uint8_t> raw = good;
             plat::WriteU32LE(&raw[stat.at + 2], 500);
             raw.erase(raw.begin() + stat.at + 6 + 500, raw.begin() + stat.at + 6 + stat.length);
             return raw;
         }(),
         "GameStat: the block is cut short"},
    };
    const std::uint8_t* heights = g_pHeightMap;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearLog();
        ASSERT_TRUE(WriteSaveImage("Save\\bad.svg", c.raw));
        EXPECT_FALSE(ReplaceGameFromSave("Save\\bad.svg"));
        EXPECT_TRUE(Logged(c.logged)) << Log();
        EXPECT_TRUE(Logged("the running game stays")) << Log();
        EXPECT_EQ(g_pHeightMap, heights);
        EXPECT_EQ(g_wNumPlayer, 2);
        EXPECT_EQ(NumHouse[1], 1);
    }
    ClearLog();
    testsupport::WriteText(Game("Save/bad.svg"), "not a save");
    EXPECT_FALSE(ReplaceGameFromSave("Save\\bad.svg"));
    EXPECT_TRUE(Logged("Load game: cannot read")) << Log();
    EXPECT_EQ(g_pHeightMap, heights);
}

TEST_F(GameWorldTest, SavesRefusedOnlyWhileLoadingLeaveNoGameAndNoCrash)
{
    std::filesystem::create_directories(Game("Save"));
    ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Test.mis", false, nullptr)) << Log();
    ASSERT_TRUE(SaveGameData("Save\\good.svg"));
    const std::vector<std::uint8_t> good = ReadSaveImage("Save\\good.svg");
    const std::vector<TChunkAt> chunks = ChunksOf(good);
    const TChunkAt& map = ChunkOf(chunks, SAVE_CHUNK_GAME_MAP);
    // The building records and the unit counts lie behind the players' blocks: the map chunk
    // ends with the unit-type values, the unit counts, the units blocks (empty) and the map's own
    // buildings.
    std::uint8_t record[HOUSE_RECORD_SIZE];
    WriteHouseRecord(g_pHouse[1][0], record);
    const auto found = std::search(good.begin() + map.at, good.begin() + map.at + 6 + map.length, record,
                                   record + HOUSE_RECORD_SIZE);
    ASSERT_NE(found, good.begin() + map.at + 6 + map.length);
    const std::size_t lastRecord = found - good.begin();
    std::size_t unitTypes = 0;
    for (int nation = 0; nation < 5; ++nation)
        for (int type = 0; type < UNIT_TYPES_PER_NATION; ++type)
            unitTypes += GetUnitType(nation, type) != nullptr ? 1 : 0;
    const std::size_t unitCounts = lastRecord + HOUSE_RECORD_SIZE + unitTypes * 720;
    ASSERT_TRUE(FreeGame());

    const struct {
        const char* name;
        std::size_t at;
        std::uint32_t value;
        int bytes;
        const char* logged;
    } cases[] = {
        {"building off the map", lastRecord + 8, 30000, 4, "a building whose cell lies outside the map"},
        {"unit count 65290", unitCounts + 2, 65290, 2, "more units than a player's table holds, player 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> raw = good;
        if (c.bytes == 4)
            plat::WriteU32LE(&raw[c.at], c.value);
        else
            plat::WriteU16LE(&raw[c.at], static_cast<std::uint16_t>(c.value));
        ASSERT_TRUE(WriteSaveImage("Save\\bad.svg", raw));
        ClearLog();
        EXPECT_FALSE(ReplaceGameFromSave("Save\\bad.svg"));
        EXPECT_TRUE(Logged(c.logged)) << Log();
        EXPECT_TRUE(Logged("LoadGame FAILED")) << Log();
        EXPECT_TRUE(FreeGame());
    }

    // A save without a usable map chunk, after an earlier game: the trench list, which writes into
    // the object map, is not applied without the map's layers.
    ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Hills.mis", false, nullptr)) << Log();
    ASSERT_TRUE(FreeGame());
    std::vector<std::uint8_t> raw = good;
    raw[map.at + 6] = 'X';
    ASSERT_TRUE(WriteSaveImage("Save\\bad.svg", raw));
    ClearLog();
    EXPECT_FALSE(LoadGame("Save\\bad.svg", true, nullptr));
    EXPECT_TRUE(Logged("the trench list comes without a map")) << Log();
    EXPECT_TRUE(Logged("Load game FAILED")) << Log();
    EXPECT_TRUE(FreeGame());
}

// The developer keys of a sample game started the way KORVELA_TEST_MISSION starts one: Ctrl+Shift+H
// through the window procedure turns them on (the held keys reach the player through its hot-key
// commands), then F alone switches the fog.
TEST_F(GameWorldTest, DeveloperKeysOfATestMissionGameSwitchTheFog)
{
    ::setenv("KORVELA_TEST_MISSION", "Data\\Campaigns\\Sample\\Coast.mis", 1);
    StartTestGame();
    ::unsetenv("KORVELA_TEST_MISSION");
    ASSERT_EQ(g_wNumPlayer, 8) << Log();
    const std::uint8_t me = MyPlayer;
    g_bDeveloperKeys = 0;
    g_ShiftDown[me] = g_CtrlDown[me] = 0;
    const std::uint8_t fog = g_bFogOfWar;
    auto key = [](std::uint32_t message, std::uint32_t code) { WindowProc(message, code, 0); };
    key(plat::MSG_KEYDOWN, plat::VK_CONTROL);
    key(plat::MSG_KEYDOWN, plat::VK_SHIFT);
    EXPECT_EQ(g_CtrlDown[me], 1);
    EXPECT_EQ(g_ShiftDown[me], 1);
    key(plat::MSG_KEYDOWN, 'H');
    EXPECT_EQ(g_bDeveloperKeys, 1);
    key(plat::MSG_KEYUP, plat::VK_SHIFT);
    key(plat::MSG_KEYUP, plat::VK_CONTROL);
    EXPECT_EQ(g_CtrlDown[me], 0);
    EXPECT_EQ(g_ShiftDown[me], 0);
    key(plat::MSG_KEYDOWN, 'F');
    EXPECT_NE(g_bFogOfWar, fog);
    key(plat::MSG_KEYDOWN, 'F');
    EXPECT_EQ(g_bFogOfWar, fog);
    g_bDeveloperKeys = 0;
}
