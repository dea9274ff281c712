// Mission files and random maps: the reader's refusals, the header's terminators, and what a
// mission or a random map gives the players (nations, teams, levels, resources, conditions).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/error_log.h"
#include "core/game_folder_fixture.h"
#include "game/game_load.h"
#include "game/mission.h"
#include "core/random_table.h"
#include "map/map_file.h"
#include "map/water.h"
#include "missions.h"
#include "players/strateg.h"
#include "ui/setup_screen.h"
#include "units/house.h"

namespace {

sampledata::MissionRecord TwoPlayerMission()
{
    sampledata::MissionRecord m;
    m.title = u"Title";
    m.briefing = u"Briefing";
    m.mapName = "Test.dat";
    for (int i = 0; i < 8; ++i) {
        m.players.warTemplate[i] = static_cast<std::uint8_t>(i);
        m.players.team[i] = static_cast<std::uint8_t>(i == 1 ? 0 : 255);
        for (int k = 0; k < 5; ++k)
            m.players.resources[k][i] = 100.0f * (k + 1) + i;
    }
    return m;
}

// The map loader replaced by a recorder that creates the players the map would have.
class MissionTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        saved = MissionServices();
        TMissionServices& s = MissionServices();
        s.LoadMap = [this](const char* name, const TMapStartRecord* start) {
            mapName = name;
            hadStart = start != nullptr;
            if (start)
                startRecord = *start;
            if (failMap)
                return false;
            ClearGlobalHeap();
            for (int i = 0; i < mapPlayers; ++i) {
                TMapPlayerRecord r;
                r.nation = static_cast<std::uint8_t>(i % 5);
                const std::uint8_t kind = start ? (start->slots[i].kind ? start->slots[i].kind : 1) : (i == 0 ? 4 : 3);
                CreateMapPlayer(r, kind);
            }
            return true;
        };
        s.ShowBriefing = [this](const std::u16string& text) { briefing = text; };
        s.PrepareMissionPath = [this](TGameSetup&) { ++prepared; };
        s.ProfileName = [] { return std::u16string(); };
        s.CalendarSeconds = [] { return 1234u; };
        MyPlayer = 0;
        g_GameType = 0;
        g_GameMode = 0;
        g_StartResources = 1;
        g_bLandMap = 1;
        g_PortPoints.clear();
        for (std::size_t i = 0; i < kRandTableSize; ++i)
            g_RandTable[i] = static_cast<std::uint16_t>(i);
        g_RandIndex = 100;
    }
    void TearDown() override
    {
        ClearGlobalHeap();
        FreeHousesAndUnitsMap();
        MissionServices() = saved;
        GameFolderTest::TearDown();
    }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        testsupport::WriteText(dir / name, std::string(bytes.begin(), bytes.end()));
        return name;
    }

    TMissionServices saved;
    std::string mapName;
    bool hadStart = false;
    TMapStartRecord startRecord;
    bool failMap = false;
    int mapPlayers = 2;
    int prepared = 0;
    std::u16string briefing;
};

} // namespace

TEST(MissionPath, ExtensionIsComparedCaseSensitively)
{
    const struct {
        const char* path;
        bool ok;
    } cases[] = {{"a.mis", true}, {"Data\\Campaigns\\x\\b.mis", true}, {"a.MIS", false}, {"a.Mis", false},
                 {".mis", true}, {"mis", false}, {"a.mi", false}, {"a.mis ", false}, {nullptr, false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsMissionPath(c.path), c.ok) << (c.path ? c.path : "null");
}

TEST_F(MissionTest, HeaderReaderForcesTheTerminators)
{
    sampledata::MissionRecord m = TwoPlayerMission();
    const std::u16string full80(80, u'T');
    const std::u16string full1000(1000, u'B');
    std::vector<std::uint8_t> file = sampledata::BuildMissionFile(m);
    // The writer keeps terminators; the file here fills both fields to their last character.
    for (std::size_t c = 0; c < 80; ++c)
        file[MISSION_TITLE_OFFSET + 2 * c] = 'T';
    for (std::size_t c = 0; c < 1000; ++c)
        file[MISSION_BRIEFING_OFFSET + 2 * c] = 'B';
    const std::string path = Write("full.mis", file);
    TMissionHeader header;
    ASSERT_TRUE(ReadMissionHeader(path.c_str(), header));
    EXPECT_EQ(header.Title(), full80.substr(0, 79));
    EXPECT_EQ(header.Briefing(), full1000.substr(0, 999));
    EXPECT_EQ(header.MapName(), "Test.dat");

    EXPECT_FALSE(ReadMissionHeader(Write("full.MIS", file).c_str(), header));
    EXPECT_FALSE(ReadMissionHeader("missing.mis", header));
}

TEST_F(MissionTest, ShortOrInconsistentFilesAreRefusedWithALoggedError)
{
    sampledata::MissionRecord m = TwoPlayerMission();
    m.conditions[1].push_back(sampledata::SampleConditionRecord(1));
    const std::vector<std::uint8_t> good = sampledata::BuildMissionFile(m);
    const struct {
        const char* label;
        std::size_t keep;
        const char* logged;
    } cases[] = {
        {"header", MISSION_HEADER_SIZE - 1, "cut short in its header"},
        {"player block", MISSION_CONDITIONS_OFFSET - 1, "cut short in its player block"},
        {"conditions", good.size() - 1, "condition records of player 1"},
    };
    for (const auto& c : cases) {
        testsupport::WriteText("ReportError.log", "");
        const std::string path = Write(std::string(c.label) + ".mis", {good.begin(), good.begin() + c.keep});
        TMissionHeader header;
        EXPECT_FALSE(LoadMission(path.c_str(), header, nullptr)) << c.label;
        EXPECT_TRUE(Logged(c.logged)) << c.label << ": " << Log();
        EXPECT_TRUE(mapName.empty()) << c.label << ": the world was touched";
    }
    // A wrong extension or a missing file is refused without a word; the caller logs.
    testsupport::WriteText("ReportError.log", "");
    TMissionHeader header;
    EXPECT_FALSE(LoadMission(Write("x.MIS", good).c_str(), header, nullptr));
    EXPECT_FALSE(LoadMission("nothing.mis", header, nullptr));
    EXPECT_EQ(Log(), "");
}

TEST_F(MissionTest, AMissionGivesEachPlayerItsBlock)
{
    sampledata::MissionRecord m = TwoPlayerMission();
    m.conditions[0].push_back(sampledata::SampleConditionRecord(1));
    m.conditions[0].push_back(sampledata::SampleConditionRecord(2));
    const std::string path = Write("two.mis", sampledata::BuildMissionFile(m));
    TMissionHeader header;
    ASSERT_TRUE(LoadMission(path.c_str(), header, nullptr)) << Log();
    EXPECT_EQ(mapName, "Test.dat");
    EXPECT_FALSE(hadStart);
    EXPECT_EQ(g_MissionTitle, u"Title");
    EXPECT_EQ(briefing, u"Briefing");
    ASSERT_EQ(g_wNumPlayer, 2);

    const TStrateg& p0 = *g_Strateg[0];
    const TStrateg& p1 = *g_Strateg[1];
    EXPECT_EQ(p0.Name, u"1"); // no profile name
    // The local player (level byte 4) plays template 2 whatever the block says.
    EXPECT_EQ(p0.WarTemplate, 2);
    EXPECT_EQ(p1.WarTemplate, 1);
    EXPECT_EQ(p1.GroupManager->WarTemplate, 1);
    EXPECT_EQ(p0.Team, 255);
    EXPECT_EQ(p1.Team, 0);
    // File order of the five arrays is slots 0, 2, 4, 3, 1.
    for (int k = 0; k < 5; ++k) {
        EXPECT_DOUBLE_EQ(p1.Res[k].spendable, m.players.resources[k][1]) << k;
        EXPECT_DOUBLE_EQ(p1.Res[k].recorded, p1.Res[k].spendable) << k;
    }
    ASSERT_EQ(p0.ConditionCount, 2);
    ASSERT_EQ(p0.Conditions.size(), 2 * MISSION_CONDITION_RECORD_SIZE);
    for (std::size_t r = 0; r < 2; ++r) {
        const std::uint8_t* rec = p0.Conditions.data() + r * MISSION_CONDITION_RECORD_SIZE;
        EXPECT_EQ(rec[0], 0) << "done flag cleared";
        EXPECT_EQ(rec[1], r + 1) << "the rest kept";
        std::uint32_t counter = 0;
        std::memcpy(&counter, rec + MISSION_CONDITION_COUNTER_OFFSET, 4);
        EXPECT_EQ(counter, 0u) << "running counter cleared";
    }
    EXPECT_EQ(p1.ConditionCount, 0);
    EXPECT_TRUE(p1.Conditions.empty());
    EXPECT_EQ(p0.MissionStage, 1);
    EXPECT_EQ(g_RandIndex, 100) << "a single-player mission draws nothing";
}

TEST_F(MissionTest, ANetworkMissionDrawsRandomNationsInPlayerOrderBeforeTheMap)
{
    const std::string path = Write("net.mis", sampledata::BuildMissionFile(TwoPlayerMission()));
    TGameSetup setup;
    setup.PlayerCount() = 2;
    const std::uint8_t nations[8] = {5, 2, 5, 5, 0, 5, 1, 5};
    for (int i = 0; i < 8; ++i)
        setup.Nation(i) = nations[i];
    setup.Level(0) = 4;
    setup.Level(1) = 7; // above 3: level 2
    setup.Team(0) = 0;  // none
    setup.Team(1) = 3;
    g_StartResources = 2;
    g_GameMode = GAME_MODE_EXTRA_OIL;
    TMissionHeader header;
    ASSERT_TRUE(LoadMission(path.c_str(), header, &setup)) << Log();
    // Five draws, values 100..104 of the table, mod 5, in player order.
    const std::uint8_t drawn[8] = {0, 2, 1, 2, 0, 3, 1, 4};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(setup.Nation(i), drawn[i]) << i;
    EXPECT_EQ(g_RandIndex, 105);
    ASSERT_TRUE(hadStart);
    EXPECT_EQ(startRecord.slots[2].nation, 1);
    EXPECT_EQ(startRecord.slots[1].kind, 7);
    EXPECT_EQ(startRecord.slots[2].kind, 0) << "beyond the player count";

    const TStrateg& p0 = *g_Strateg[0];
    const TStrateg& p1 = *g_Strateg[1];
    EXPECT_EQ(p0.Team, 255);
    EXPECT_EQ(p1.Team, 2);
    EXPECT_EQ(p1.GroupManager->HardLevel, 2);
    EXPECT_EQ(p1.WarTemplate, 2) << "a network template below 2 becomes 2";
    for (int k = 0; k < 4; ++k)
        EXPECT_DOUBLE_EQ(p1.Res[k].spendable, 100000.0) << k;
    EXPECT_DOUBLE_EQ(p1.Res[4].spendable, 300000.0) << "game mode 3 adds to slot 4";
}

TEST_F(MissionTest, ANetworkMissionOnASeaMapPlaysTheNavalTemplates)
{
    const std::string path = Write("sea.mis", sampledata::BuildMissionFile(TwoPlayerMission()));
    for (const bool ports : {false, true}) {
        TGameSetup setup;
        setup.PlayerCount() = 2;
        MissionServices().LoadMap = [&](const char*, const TMapStartRecord*) {
            ClearGlobalHeap();
            CreateMapPlayer({}, 4);
            CreateMapPlayer({}, 3);
            g_bLandMap = 0;
            g_PortPoints.assign(ports ? 1 : 0, TPortPoint{});
            return true;
        };
        TMissionHeader header;
        ASSERT_TRUE(LoadMission(path.c_str(), header, &setup));
        EXPECT_EQ(g_Strateg[1]->WarTemplate, ports ? 5 : 4);
        EXPECT_EQ(g_Strateg[1]->GroupManager->WarTemplate, ports ? 5 : 4);
    }
}

TEST_F(MissionTest, AMapThatFailsEndsTheMission)
{
    failMap = true;
    const std::string path = Write("m.mis", sampledata::BuildMissionFile(TwoPlayerMission()));
    TMissionHeader header;
    EXPECT_FALSE(LoadMission(path.c_str(), header, nullptr));
    EXPECT_TRUE(Logged("MapInit() FAILED"));
    EXPECT_FALSE(LoadRandomMap());
}

TEST_F(MissionTest, RandomMapDrawsNationsFromTheOldTableThenReseeds)
{
    std::snprintf(g_RandomMapName, sizeof g_RandomMapName, "Hills.dat");
    g_SetupPlayerCount = 3;
    const std::uint8_t nations[3] = {5, 1, 5};
    for (int i = 0; i < 3; ++i) {
        g_SetupPlayers[i] = {};
        g_SetupPlayers[i].name[0] = static_cast<char16_t>(u'A' + i);
        g_SetupPlayers[i].nation = nations[i];
        g_SetupPlayers[i].colour = static_cast<std::uint8_t>(7 - i);
        g_SetupPlayers[i].team = static_cast<std::uint8_t>(i + 1);
        g_SetupPlayers[i].level = static_cast<std::uint8_t>(i == 0 ? 4 : i);
    }
    mapPlayers = 3;
    ASSERT_TRUE(LoadRandomMap()) << Log();
    EXPECT_EQ(g_SetupPlayers[0].nation, 0) << "100 mod 5";
    EXPECT_EQ(g_SetupPlayers[2].nation, 1) << "101 mod 5";
    EXPECT_EQ(g_RandSeed, 1234u);
    EXPECT_EQ(prepared, 1);
    EXPECT_EQ(mapName, "Hills.dat");
    ASSERT_TRUE(hadStart);
    EXPECT_EQ(startRecord.slots[1].kind, 1);
    EXPECT_EQ(startRecord.slots[2].team, 3);
    EXPECT_EQ(startRecord.slots[3].kind, 0);
    EXPECT_EQ(startRecord.slots[3].team, 255) << "empty slots keep 255";
    EXPECT_EQ(std::u16string(startRecord.slots[3].name), u"ERROR");
    EXPECT_EQ(std::u16string(startRecord.slots[1].name), u"B");
    for (int i = 0; i < 3; ++i) {
        const TStrateg& p = *g_Strateg[i];
        EXPECT_EQ(p.WarTemplate, 2);
        EXPECT_EQ(p.GroupManager->HardLevel, i == 0 ? 2 : i) << "level 4 gives 2";
        EXPECT_EQ(p.ConditionCount, 0);
        EXPECT_DOUBLE_EQ(p.Res[0].spendable, 10000.0);
    }
}

TEST_F(MissionTest, RandomMapResourcesFollowTheLevelAndGameMode)
{
    std::snprintf(g_RandomMapName, sizeof g_RandomMapName, "Test.dat");
    g_SetupPlayerCount = 2;
    const struct {
        std::uint8_t level;
        std::uint32_t gameMode;
        double each;
        double slot4;
    } cases[] = {{0, 0, 1000, 1000},       {1, 0, 10000, 10000},    {2, 0, 100000, 100000},
                 {0, 3, 1000, 11000},      {1, 3, 10000, 60000},    {2, 3, 100000, 200000},
                 {9, 0, 100000, 100000}};
    for (const auto& c : cases) {
        g_StartResources = c.level;
        g_GameMode = c.gameMode;
        ASSERT_TRUE(LoadRandomMap());
        for (int p = 0; p < 2; ++p) {
            EXPECT_DOUBLE_EQ(g_Strateg[p]->Res[1].spendable, c.each) << int(c.level) << "/" << c.gameMode;
            EXPECT_DOUBLE_EQ(g_Strateg[p]->Res[4].spendable, c.slot4) << int(c.level) << "/" << c.gameMode;
            EXPECT_DOUBLE_EQ(g_Strateg[p]->Res[4].recorded, c.slot4);
        }
    }
}
