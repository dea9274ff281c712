#include "game/save_game.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "combat/shots.h"

#include "core/archive.h"
#include "game/game_load.h"
#include "game/game_main.h"
#include "core/memory_stream.h"
#include "game/mission.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "core/string_table.h"
#include "map/fog.h"
#include "map/map_file.h"
#include "map/map_view.h"
#include "map/water.h"
#include "combat/explosions.h"
#include "movement/path_cache.h"
#include "players/game_cycle.h"
#include "platform/bytes.h"
#include "platform/paths.h"
#include "players/strateg.h"
#include "test_support.h"
#include "units/house_behaviour.h"
#include "units/house_fixture.h"
#include "units/unit.h"
#include "units/upgrades.h"

namespace {

using housetest::HouseWorld;

constexpr std::uint8_t kPlayers = 2;

// One unit of a player as the stand-in units block keeps it: its 380-byte image.
using TUnitImage = std::array<std::uint8_t, UNIT_RECORD_SIZE>;

// A small running game: a map with buildings of two players, the game's counters and the save's
// services with stand-ins for the players' blocks (their units are kept as stored images) and the
// minimap picture.
class SaveWorld : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Each test starts without a game, as after FreeGame: no name of an earlier save is kept.
        ForgetSavedLocalName();
        std::filesystem::create_directories(dir / "Save");
        plat::SetGameRoot(dir.Path());
        world.emplace(40, 80);
        saved = SaveServices();
        TSaveServices& s = SaveServices();
        s.playerName = [this](std::uint8_t) { return playerName; };
        // The stand-in players have no records: every slot of the game counts.
        s.isPlayerInGame = [](std::uint8_t p) { return p < g_wNumPlayer; };
        s.saveStrategUnits = [this](std::uint8_t p, TOfStreamMemory& out) {
            out.WriteU16(static_cast<std::uint16_t>(units[p].size()));
            for (const TUnitImage& u : units[p])
                out.Write(u.data(), UNIT_RECORD_SIZE);
        };
        s.loadStrategUnits = [this](std::uint8_t p, TIfStreamMemory& in) {
            std::uint16_t n = 0;
            if (!in.ReadU16(n))
                return false;
            loadedUnits[p].assign(n, TUnitImage{});
            for (TUnitImage& u : loadedUnits[p])
                if (in.Read(u.data(), UNIT_RECORD_SIZE) != UNIT_RECORD_SIZE)
                    return false;
            return true;
        };
        s.writeMiniMapImage = [this](TOfStreamMemory& out) {
            return out.Write(picture.data(), static_cast<std::int32_t>(picture.size())) ==
                   static_cast<std::int32_t>(picture.size());
        };
        s.createMiniMap = [this](TIfStreamMemory& in) -> plat::Texture* {
            shownPicture.assign(static_cast<std::size_t>(in.Remaining()), 0);
            in.Read(shownPicture.data(), in.Remaining());
            return nullptr;
        };
        s.waitLoaderIdle = [this] {
            ++loaderWaits;
            return true;
        };
        s.updateInterfacePanel = [this](std::uint8_t) { ++panelRebuilds; };
        for (std::size_t i = 0; i < picture.size(); ++i)
            picture[i] = static_cast<std::uint8_t>(i * 7);
        BuildGame();
    }
    void TearDown() override
    {
        SaveServices() = saved;
        // A load made the players' records.
        for (TStrateg*& record : g_Strateg) {
            delete record;
            record = nullptr;
        }
        world.reset();
        plat::SetGameRoot(".");
        g_FrameCounter = 0;
        g_PortPoints.clear();
        g_MissionPath[0] = 0;
        g_MissionTitle.clear();
        MyPlayer = 0;
        MyStrateg = nullptr;
        std::memset(g_AdvisorOptions, 1, sizeof g_AdvisorOptions);
        std::memset(g_WarAdvisorOptions, 1, sizeof g_WarAdvisorOptions);
        ClearFogRecord(g_FogRevealPoints);
        g_bFogOfWar = 1;
    }

    void BuildGame()
    {
        g_wNumPlayer = kPlayers;
        // Out of the game, so no planner saves a play time that follows the calendar clock; each
        // has the group manager a load gives every player.
        for (std::uint8_t p = 0; p < kPlayers; ++p) {
            g_Strateg[p] = new TStrateg;
            g_Strateg[p]->Number = p;
            g_Strateg[p]->Dead = 1;
            g_Strateg[p]->Houses = g_pHouse[p];
            g_Strateg[p]->GroupManager = std::make_unique<TGroupManager>(p, 0);
        }
        for (std::uint32_t i = 0; i < g_MapCellCount; ++i) {
            g_pHeightMap[i] = static_cast<std::uint8_t>(i * 13);
            g_pCellInfo[i] = TMapCell{static_cast<std::uint16_t>(i % 40 + 1), static_cast<std::uint8_t>(i), 0, {}};
            g_pCellInfo[i].overlay[i % 9] = static_cast<std::uint16_t>(i % 5);
            g_pCellFlags[i] = static_cast<std::uint8_t>(i % 3);
        }
        world->SetCode(3, 3, kObjectTreeFirst + 4);
        world->Place(0, 10, 20, HOUSE_BARRACKS);
        world->Place(0, 20, 40, HOUSE_PILLBOX);
        world->Place(1, 12, 60, HOUSE_DWELLING).HitPoints = 17.5f;
        {
            TUnit unit(3, 0);
            unit.X = 100.5f;
            unit.Y = 220.25f;
            unit.Player = 1;
            unit.HitPoints = 42.0f;
            WriteUnitImage(unit, units[1].emplace_back());
        }
        g_ViewX = 5;
        g_ViewY = 7;
        g_FrameCounter = 1234;
        g_UnitIdCounter = 4321;
        g_RandSeed = 99;
        InitRandomTable();
        for (int i = 0; i < 300; ++i)
            RandomDraw();
        g_MissionPath = "Data\\Campaigns\\Russia\\One.mis";
        std::u16string title = u"The Crossing";
        g_MissionTitle = title;
        g_bLandMap = 1;
        g_PortPoints = {{4, 9}, {30, 70}};
        ClearFogRecord(g_FogRevealPoints);
        AddFogRevealPoint(g_FogRevealPoints, 400, 800, 3);
        g_bFogOfWar = 0;
        MyPlayer = 1;
        g_AdvisorOptions[1][4] = 0;
        g_WarAdvisorOptions[0][2] = 0;
    }

    std::vector<std::uint8_t> Image()
    {
        TOfStreamMemory out;
        EXPECT_TRUE(BuildSaveImage(out));
        return {out.Data(), out.Data() + out.Size()};
    }

    // Puts the game's state out of the way so that a load has to bring it back.
    void Scramble()
    {
        std::memset(g_pHeightMap, 0, g_MapCellCount);
        std::memset(g_pObjectMap, 0, g_MapCellCount * 2);
        g_FrameCounter = 7;
        g_UnitIdCounter = 0;
        g_RandIndex = 0;
        g_ViewX = g_ViewY = 1;
        g_PortPoints.clear();
        MyPlayer = 0;
        g_bFogOfWar = 1;
        g_MissionTitle.clear();
        ClearFogRecord(g_FogRevealPoints);
    }

    bool WriteRawSave(const std::string& name, const std::vector<std::uint8_t>& raw)
    {
        return SaveCompressedFile(name.c_str(), raw.data(), static_cast<std::int32_t>(raw.size()));
    }

    testsupport::TempDir dir;
    std::optional<HouseWorld> world;
    TSaveServices saved;
    std::u16string playerName = u"Ivan";
    std::vector<TUnitImage> units[8];
    std::vector<TUnitImage> loadedUnits[8];
    std::vector<std::uint8_t> picture = std::vector<std::uint8_t>(SAVE_MINIMAP_BYTES);
    std::vector<std::uint8_t> shownPicture;
    int loaderWaits = 0;
    int panelRebuilds = 0;
};

std::vector<std::uint8_t> Layer(const std::uint8_t* data, std::size_t n)
{
    return {data, data + n};
}

TEST_F(SaveWorld, RoundTripRestoresTheWorldAndSavesTheSameBytesAgain)
{
    const std::vector<std::uint8_t> heights = Layer(g_pHeightMap, g_MapCellCount);
    const std::vector<std::uint8_t> objects =
        Layer(reinterpret_cast<const std::uint8_t*>(g_pObjectMap), g_MapCellCount * 2);
    const std::vector<std::uint8_t> cells =
        Layer(reinterpret_cast<const std::uint8_t*>(g_pCellInfo), g_MapCellCount * sizeof(TMapCell));
    const std::vector<std::uint8_t> flags = Layer(g_pCellFlags, g_MapCellCount);
    const std::vector<std::uint8_t> first = Image();
    const std::uint16_t nextDraw = g_RandTable[g_RandIndex];
    ASSERT_TRUE(SaveGameData("Save\\one.svg"));

    Scramble();
    ASSERT_TRUE(LoadGameData("Save\\one.svg"));
    EXPECT_EQ(loaderWaits, 1);
    EXPECT_EQ(panelRebuilds, 1);

    EXPECT_EQ(Layer(g_pHeightMap, g_MapCellCount), heights);
    EXPECT_EQ(Layer(reinterpret_cast<const std::uint8_t*>(g_pObjectMap), g_MapCellCount * 2), objects);
    EXPECT_EQ(Layer(reinterpret_cast<const std::uint8_t*>(g_pCellInfo), g_MapCellCount * sizeof(TMapCell)), cells);
    EXPECT_EQ(Layer(g_pCellFlags, g_MapCellCount), flags);
    EXPECT_EQ(g_wNumPlayer, kPlayers);
    EXPECT_EQ(NumHouse[0], 2);
    EXPECT_EQ(NumHouse[1], 1);
    EXPECT_EQ(g_pHouse[0][1].HouseType, HOUSE_PILLBOX);
    EXPECT_EQ(g_pHouse[0][1].X, 20);
    EXPECT_EQ(g_pHouse[1][0].HitPoints, 17.5f);
    EXPECT_EQ(g_pHouse[1][0].Owner, 1);
    ASSERT_EQ(loadedUnits[1].size(), 1u);
    EXPECT_EQ(loadedUnits[1][0], units[1][0]);
    EXPECT_TRUE(loadedUnits[0].empty());
    EXPECT_EQ(g_FrameCounter, 1234u);
    EXPECT_EQ(g_UnitIdCounter, 4321) << "units made after the load number on";
    EXPECT_EQ(g_ViewX, 5);
    EXPECT_EQ(g_ViewY, 7);
    EXPECT_EQ(MyPlayer, 1);
    EXPECT_EQ(g_bFogOfWar, 0);
    EXPECT_EQ(g_FogRevealPoints.radius[0], 3);
    EXPECT_EQ(g_MissionTitle, u"The Crossing");
    EXPECT_EQ(g_MissionPath, "Data\\Campaigns\\Russia\\One.mis");
    ASSERT_EQ(g_PortPoints.size(), 2u);
    EXPECT_EQ(g_PortPoints[1].x, 30);
    EXPECT_EQ(g_PortPoints[1].y, 70);
    EXPECT_EQ(g_AdvisorOptions[1][4], 0);
    EXPECT_EQ(g_WarAdvisorOptions[0][2], 0);
    // The next shared draw is the one the saving game would have made.
    EXPECT_EQ(RandomDraw(), nextDraw);
    --g_RandIndex;

    const std::vector<std::uint8_t> second = Image();
    ASSERT_EQ(second.size(), first.size());
    const auto diff = std::mismatch(first.begin(), first.end(), second.begin());
    EXPECT_TRUE(diff.first == first.end()) << "the second save differs at byte " << (diff.first - first.begin());
}

TEST_F(SaveWorld, UnitTypeValuesOfEveryPlayerSurviveTheRoundTrip)
{
    TBasicUnit* type = new TBasicUnit;
    g_UnitTypes[2] = type;
    type->BuildTime[3] = 77;
    type->MaxHitPoints[5] = 300;
    type->m_ParamTables[1][159] = 9;
    ASSERT_TRUE(SaveGameData("Save\\types.svg"));
    type->BuildTime[3] = 1;
    type->MaxHitPoints[5] = 1;
    type->m_ParamTables[1][159] = 1;
    EXPECT_TRUE(LoadGameData("Save\\types.svg"));
    EXPECT_EQ(type->BuildTime[3], 77);
    EXPECT_EQ(type->MaxHitPoints[5], 300);
    EXPECT_EQ(type->m_ParamTables[1][159], 9);
    g_UnitTypes[2] = nullptr;
    delete type;
}

TEST_F(SaveWorld, ResearchAndPerPlayerBuildingValuesSurviveTheRoundTrip)
{
    InitUpgrades();
    InitResourceMultipliers();
    g_ScienceDone[1][15] = 1;
    g_ScienceDoneFlags[3][1] = 1;
    g_WarTaken[0][29] = 1;
    g_PowerSupply[0] = 50.0f;
    g_PowerDemand[1] = 12.5f;
    g_MintCount[1] = 2;
    g_AirDamageFactor[1] = 0.75f;
    ASSERT_TRUE(SaveGameData("Save\research.svg"));
    InitUpgrades();
    InitResourceMultipliers();
    EXPECT_TRUE(LoadGameData("Save\research.svg"));
    // Finished research stays finished, so it cannot be bought again.
    EXPECT_TRUE(ScienceDone(1, 15));
    EXPECT_EQ(g_ScienceDoneFlags[3][1], 1);
    EXPECT_EQ(g_WarTaken[0][29], 1);
    EXPECT_FLOAT_EQ(g_PowerSupply[0], 50.0f);
    EXPECT_FLOAT_EQ(g_PowerDemand[1], 12.5f);
    EXPECT_EQ(g_MintCount[1], 2u);
    EXPECT_FLOAT_EQ(g_AirDamageFactor[1], 0.75f);
    InitUpgrades();
    InitResourceMultipliers();
}

TEST_F(SaveWorld, FailedSaveLeavesThePreviousFileWhole)
{
    ASSERT_TRUE(SaveGameData("Save\\keep.svg"));
    const std::vector<std::uint8_t> before = testsupport::ReadAll(dir / "Save/keep.svg");
    ASSERT_FALSE(before.empty());
    maptest::LogWatch log;
    g_FrameCounter = 55;
    SaveServices().writeMiniMapImage = [](TOfStreamMemory& out) {
        out.WriteU32(1);
        return true;
    };
    EXPECT_FALSE(SaveGameData("Save\\keep.svg"));
    EXPECT_EQ(testsupport::ReadAll(dir / "Save/keep.svg"), before);
    EXPECT_EQ(log.Count("Save game FAILED"), 1);
    EXPECT_EQ(log.Count("the minimap picture cannot be written"), 1);
}

TEST_F(SaveWorld, SaveWithoutAMapIsRefused)
{
    world.reset();
    maptest::LogWatch log;
    EXPECT_FALSE(SaveGameData("Save\\none.svg"));
    EXPECT_FALSE(std::filesystem::exists(dir / "Save/none.svg"));
    EXPECT_EQ(log.Count("no map is loaded"), 1);
    world.emplace(40, 80);
}

// The chunk spans of a raw save: (offset of the header, id, length).
struct ChunkSpan {
    std::size_t at;
    std::uint16_t id;
    std::uint32_t length;
};
std::vector<ChunkSpan> Spans(const std::vector<std::uint8_t>& raw)
{
    std::vector<ChunkSpan> spans;
    for (std::size_t at = 0; at + 6 <= raw.size();) {
        const ChunkSpan s{at, plat::ReadU16LE(&raw[at]), plat::ReadU32LE(&raw[at + 2])};
        spans.push_back(s);
        at += 6 + s.length;
    }
    return spans;
}
std::vector<std::uint8_t> WithoutChunk(const std::vector<std::uint8_t>& raw, std::uint16_t id)
{
    std::vector<std::uint8_t> out;
    for (const ChunkSpan& s : Spans(raw))
        if (s.id != id)
            out.insert(out.end(), raw.begin() + s.at, raw.begin() + s.at + 6 + s.length);
    return out;
}

TEST_F(SaveWorld, ChunksAreWrittenInTheirOrderWithTheirLengths)
{
    const std::vector<std::uint8_t> raw = Image();
    std::vector<std::uint16_t> ids;
    std::size_t end = 0;
    for (const ChunkSpan& s : Spans(raw)) {
        ids.push_back(s.id);
        end = s.at + 6 + s.length;
    }
    EXPECT_EQ(ids, (std::vector<std::uint16_t>{0, 1, 3, 2, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(end, raw.size());
    EXPECT_EQ(Spans(raw)[5].length, static_cast<std::uint32_t>(SAVE_MINIMAP_BYTES));
    // The frame counter heads the cycle's state.
    EXPECT_GT(Spans(raw)[8].length, 4u);
    EXPECT_EQ(plat::ReadU32LE(&raw[Spans(raw)[8].at + 6]), 1234u);
    // Per player: a group manager's flag and its 5 bytes, and the flag of a planner it has not.
    EXPECT_EQ(Spans(raw).back().length, kPlayers * 7u);
}

// What carries from one cycle to the next comes back, so a loaded game goes on as the saving game
// would have; a path cache holding a step that is no direction is refused.
TEST_F(SaveWorld, CycleStateAndRecentPathsSurviveTheRoundTrip)
{
    g_PathBudget = 40;
    g_SyncSnapshot = 777;
    g_UnitIdCounter = 5123;
    g_ExplosionsMade = 19;
    g_ExplosionTrail = 0x1234567890ABCDEFull;
    g_PathHelper.Clear();
    const std::uint8_t steps[] = {1, 2, 8, 7};
    ASSERT_TRUE(g_PathHelper.Add({3, 4}, {9, 12}, steps));
    // The place in the statistics rings is not in the player's own block.
    ASSERT_NE(g_Strateg[1], nullptr);
    g_Strateg[1]->StatIndex = 7;
    std::vector<std::uint8_t> raw = Image();
    g_Strateg[1]->StatIndex = 0;
    g_PathBudget = 30;
    g_SyncSnapshot = 0;
    g_UnitIdCounter = 0;
    g_ExplosionsMade = 0;
    g_ExplosionTrail = 0;
    g_PathHelper.Clear();
    EXPECT_TRUE(ApplySaveImage(raw));
    EXPECT_EQ(g_PathBudget, 40);
    EXPECT_EQ(g_SyncSnapshot, 777);
    EXPECT_EQ(g_UnitIdCounter, 5123);
    EXPECT_EQ(g_ExplosionsMade, 19u);
    EXPECT_EQ(g_ExplosionTrail, 0x1234567890ABCDEFull);
    ASSERT_NE(g_Strateg[1], nullptr);
    EXPECT_EQ(g_Strateg[1]->StatIndex, 7);
    ASSERT_EQ(g_PathHelper.Size(), 1u);
    EXPECT_EQ(g_PathHelper.Desc(0).goalY, 12);
    EXPECT_EQ(std::vector<std::uint8_t>(g_PathHelper.Path(0).begin(), g_PathHelper.Path(0).end()),
              std::vector<std::uint8_t>(std::begin(steps), std::end(steps)));

    const ChunkSpan frame = Spans(raw)[8];
    // The last step, before the eight statistics indexes and the empty target grid's two counts.
    raw[frame.at + 6 + frame.length - 1 - 16 - 8] = 0;
    maptest::LogWatch log;
    EXPECT_FALSE(CheckSaveImage(raw));
    EXPECT_FALSE(ApplySaveImage(raw));
    EXPECT_GE(log.Count("Path cache: a path holds a step that is no direction"), 2);
    EXPECT_EQ(g_PathHelper.Size(), 1u) << "a refused cache leaves the one there";
    g_PathHelper.Clear();
    g_UnitIdCounter = 0;
    g_ExplosionsMade = 0;
    g_ExplosionTrail = 0;
}

TEST_F(SaveWorld, ShotsInFlightComeBackFromChunkTwo)
{
    TShotParams p;
    p.startX = 1000;
    p.startY = 800;
    p.startZ = 50;
    p.aimX = 1400;
    p.aimY = 900;
    p.aimZ = 50;
    p.maxRange = 2000;
    ini_tshot(); // the tables; the pictures are not needed here
    auto* shot = new TShot;
    if (!BuildShot(p, *shot)) {
        delete shot;
        FAIL() << "no arc";
    }
    shot->step = 4;
    g_ShotList = shot;
    const std::vector<std::uint8_t> raw = Image();
    FreeShotList();
    EXPECT_TRUE(ApplySaveImage(raw));
    ASSERT_NE(g_ShotList, nullptr);
    EXPECT_EQ(g_ShotList->next, nullptr);
    EXPECT_EQ(g_ShotList->aimX, 1400.0f);
    EXPECT_EQ(g_ShotList->step, 4);
    FreeShotList();
}

TEST_F(SaveWorld, MissingAdvisorChunkLeavesEveryOptionOn)
{
    ASSERT_TRUE(WriteRawSave("Save\\old.svg", WithoutChunk(Image(), SAVE_CHUNK_ADVISORS)));
    EXPECT_TRUE(LoadGameData("Save\\old.svg"));
    EXPECT_EQ(g_AdvisorOptions[1][4], 1);
    EXPECT_EQ(g_WarAdvisorOptions[0][2], 1);
    EXPECT_EQ(g_FrameCounter, 1234u);
}

TEST_F(SaveWorld, UnknownChunkFailsTheLoadWhileTheOthersAreApplied)
{
    std::vector<std::uint8_t> raw = WithoutChunk(Image(), SAVE_CHUNK_FRAME);
    raw.insert(raw.end(), {12, 0, 2, 0, 0, 0, 0xAB, 0xCD});
    raw.insert(raw.end(), {SAVE_CHUNK_FRAME, 0, 4, 0, 0, 0, 0x39, 0x30, 0, 0});
    maptest::LogWatch log;
    Scramble();
    EXPECT_FALSE(ApplySaveImage(raw));
    EXPECT_EQ(log.Count("Load game: unknown chunk 12"), 1);
    EXPECT_EQ(g_FrameCounter, 12345u);
    EXPECT_EQ(g_ViewX, 5);
    EXPECT_EQ(MyPlayer, 1);
}

struct Corruption {
    const char* name;
    // Changes the raw image of a save.
    void (*apply)(std::vector<std::uint8_t>& raw);
    const char* logged;
};

class SaveCorruption : public SaveWorld, public ::testing::WithParamInterface<Corruption> {};

TEST_P(SaveCorruption, IsRefusedWithALoggedReason)
{
    std::vector<std::uint8_t> raw = Image();
    GetParam().apply(raw);
    maptest::LogWatch log;
    EXPECT_FALSE(ApplySaveImage(raw));
    EXPECT_GE(log.Count(GetParam().logged), 1) << log.Added();
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, SaveCorruption,
    ::testing::Values(
        Corruption{"LengthBeyondTheFile",
                   [](std::vector<std::uint8_t>& raw) {
                       const ChunkSpan last = Spans(raw).back();
                       plat::WriteU32LE(&raw[last.at + 2], 0x7FFFFFF0u);
                   },
                   "a chunk is longer than the file, chunk 9"},
        Corruption{"HeaderCutShort", [](std::vector<std::uint8_t>& raw) { raw.insert(raw.end(), {8, 0, 4}); },
                   "a chunk header is cut short"},
        Corruption{"LastChunkCutShort", [](std::vector<std::uint8_t>& raw) { raw.resize(raw.size() - 2); },
                   "a chunk is longer than the file"},
        Corruption{"GameMapTag",
                   [](std::vector<std::uint8_t>& raw) { raw[Spans(raw)[1].at + 6] = 'X'; },
                   "GameMap: the block tag does not match"},
        Corruption{"GameMapLayersCutShort",
                   [](std::vector<std::uint8_t>& raw) {
                       const ChunkSpan map = Spans(raw)[1];
                       plat::WriteU16LE(&raw[map.at + 6 + 8 + 4], 4000); // the map height
                   },
                   "GameMap: the map layers are cut short"},
        Corruption{"TooManyPlayers",
                   [](std::vector<std::uint8_t>& raw) { plat::WriteU16LE(&raw[Spans(raw)[1].at + 6 + 8], 9); },
                   "GameMap: a bad map size or player count"},
        Corruption{"GameStatTag",
                   [](std::vector<std::uint8_t>& raw) { raw[Spans(raw)[4].at + 6] = 'g'; },
                   "GameStat: the block tag does not match"},
        Corruption{"GameStatPortCount",
                   [](std::vector<std::uint8_t>& raw) {
                       const ChunkSpan stat = Spans(raw)[4];
                       // From the block's end: MyPlayer, the setup screen's 1091 bytes, the two
                       // port points, then their count.
                       const std::size_t end = stat.at + 6 + stat.length;
                       const std::size_t count = end - 1 - 1091 - 8 - 4;
                       plat::WriteU32LE(&raw[count], 1000000);
                   },
                   "GameStat: the block is cut short"},
        Corruption{"GameStatPowerNotANumber",
                   [](std::vector<std::uint8_t>& raw) {
                       // After the tag, seed, index, path, title, research marks and fog switch.
                       const std::size_t values = Spans(raw)[4].at + 6 + 9 + 4 + 2 + 260 + 160 + 1032 + 1;
                       plat::WriteU32LE(&raw[values], 0x7FC00000u);
                   },
                   "GameStat: the per-player values are bad"},
        Corruption{"FrameCounterCutShort",
                   [](std::vector<std::uint8_t>& raw) {
                       // The frame counter is made the last chunk, then cut.
                       raw = WithoutChunk(raw, 9);
                       const ChunkSpan last = Spans(raw).back();
                       plat::WriteU32LE(&raw[last.at + 2], 2);
                       raw.resize(raw.size() - 2);
                   },
                   "Frame counter: the block is cut short"},
        // The cycle state ends with the eight statistics indexes and the target grid's two entry
        // counts (the fixture's grid is empty).
        Corruption{"StatisticsIndexPastTheRing",
                   [](std::vector<std::uint8_t>& raw) {
                       const ChunkSpan frame = Spans(raw)[8];
                       plat::WriteU16LE(&raw[frame.at + 6 + frame.length - 8 - 16], 1000);
                   },
                   "Frame counter: the statistics indexes are cut short or bad"},
        Corruption{"TargetGridCountPastTheData",
                   [](std::vector<std::uint8_t>& raw) {
                       const ChunkSpan frame = Spans(raw)[8];
                       plat::WriteU32LE(&raw[frame.at + 6 + frame.length - 4], 1000);
                   },
                   "Target grid: the entries are cut short or bad"}),
    [](const ::testing::TestParamInfo<Corruption>& info) { return info.param.name; });

TEST_F(SaveWorld, UnreadableFileFailsTheLoad)
{
    maptest::LogWatch log;
    testsupport::WriteText(dir / "Save/bad.svg", "not a save");
    EXPECT_FALSE(LoadGameData("Save\\bad.svg"));
    EXPECT_FALSE(LoadGameData("Save\\missing.svg"));
    EXPECT_EQ(log.Count("Load game: cannot read"), 2);
    EXPECT_EQ(loaderWaits, 0);
}

class SaveInfo : public SaveWorld {
protected:
    bool Read(std::int32_t capacity)
    {
        std::fill(std::begin(name), std::end(name), u'#');
        std::fill(std::begin(title), std::end(title), u'#');
        std::fill(std::begin(mapTitle), std::end(mapTitle), u'#');
        return ReadSaveGameInfo("Save\\info.svg", name, capacity, title, mapTitle);
    }
    char16_t name[64] = {};
    char16_t title[SAVE_TITLE_CHARS] = {};
    char16_t mapTitle[SAVE_TITLE_CHARS] = {};
};

TEST_F(SaveInfo, ReadsTheNameAndTitles)
{
    ASSERT_TRUE(SaveGameData("Save\\info.svg"));
    ASSERT_TRUE(Read(20));
    EXPECT_EQ(std::u16string(name), u"Ivan");
    EXPECT_EQ(std::u16string(title), u"");
    EXPECT_EQ(std::u16string(mapTitle), u"The Crossing");
}

TEST_F(SaveInfo, OverlongNameIsCutAndTheTitlesAreStillRead)
{
    playerName = u"Aleksandr Vasilyevich"; // 21 characters
    ASSERT_TRUE(SaveGameData("Save\\info.svg"));
    maptest::LogWatch log;
    ASSERT_TRUE(Read(20));
    EXPECT_EQ(log.Count("LoadGameInfo - name length is too much"), 1);
    EXPECT_EQ(std::u16string(name), u"Aleksandr Vasilyevi");
    EXPECT_EQ(std::u16string(mapTitle), u"The Crossing");
}

TEST_F(SaveInfo, NamelessRandomMapGame)
{
    sampledata::FillStringTable(g_ResStrings);
    playerName.clear();
    g_MissionTitle.clear();
    ASSERT_TRUE(SaveGameData("Save\\info.svg"));
    const std::vector<std::uint8_t> raw = [&] {
        std::uint32_t size = 0;
        std::uint8_t* bytes = LoadCompressedFile("Save\\info.svg", &size);
        std::vector<std::uint8_t> v(bytes, bytes + size);
        FreeCompressedFile(bytes);
        return v;
    }();
    // n = 0 and no name characters: the two titles follow at once.
    EXPECT_EQ(Spans(raw)[0].length, 4u + 160u + 160u);
    ASSERT_TRUE(Read(20));
    EXPECT_EQ(std::u16string(name), u"");
    EXPECT_EQ(std::u16string(mapTitle), GetResString(u"IDS_RANDOM_MAP"));
}

TEST_F(SaveInfo, FilesWithoutInformationAreRefused)
{
    maptest::LogWatch log;
    EXPECT_FALSE(Read(20)); // no file
    ASSERT_TRUE(WriteRawSave("Save\\info.svg", WithoutChunk(Image(), SAVE_CHUNK_INFO)));
    EXPECT_FALSE(Read(20));
    // A name longer than its chunk.
    ASSERT_TRUE(WriteRawSave("Save\\info.svg", {0, 0, 8, 0, 0, 0, 0xFF, 0xFF, 0, 0, 'a', 0}));
    EXPECT_FALSE(Read(20));
    // A length whose terminator would wrap the count around.
    ASSERT_TRUE(WriteRawSave("Save\\info.svg", {0, 0, 8, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 0}));
    EXPECT_FALSE(Read(20));
    EXPECT_EQ(log.Count("Cant load game info"), 4);
}

TEST_F(SaveWorld, SaveListPreviewIsTheSavedMiniMapPicture)
{
    ASSERT_TRUE(SaveGameData("Save\\mini.svg"));
    EXPECT_EQ(LoadSaveMiniMap("Save\\mini.svg"), nullptr); // the stand-in makes no texture
    EXPECT_EQ(shownPicture, picture);
    shownPicture.clear();
    ASSERT_TRUE(WriteRawSave("Save\\mini.svg", WithoutChunk(Image(), SAVE_CHUNK_MINIMAP)));
    EXPECT_EQ(LoadSaveMiniMap("Save\\mini.svg"), nullptr);
    EXPECT_TRUE(shownPicture.empty());
}

} // namespace
