// A player's defeat and the local player's victory, hand-overs of buildings and units, teams and
// relations, and the departure of a network player on an agreed cycle.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/app_state.h"
#include "core/game_folder_fixture.h"
#include "core/string_table.h"
#include "map/map_grid.h"
#include "map/map_scene.h"
#include "net/net_events.h"
#include "players/command.h"
#include "players/defeat.h"
#include "combat/unit_events.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "parameters.h"
#include "sample_strings.h"
#include "sample_types.h"
#include "support/test_world.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

using testworld::TestWorld;
using testworld::TPlayerSetup;

class DefeatTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        sampledata::FillStringTable(g_ResStrings);
        m_SavedDefeat = DefeatServices();
        m_SavedCycle = GameCycleServices();
        std::copy(std::begin(g_HouseTypes), std::end(g_HouseTypes), m_SavedTypes.begin());
        for (int side = 0; side < 3; ++side)
            for (const auto& s : sampledata::kSampleHouseTypes)
                HouseType(side, s.type) = sampledata::SampleHouseRecord(static_cast<std::uint8_t>(side), s);
        for (auto& row : g_HouseTypeCount)
            std::fill(std::begin(row), std::end(row), 0);
        TDefeatServices& s = DefeatServices();
        s.waitLoaderIdle = [this](std::uint32_t) { return loaderIdle; };
        s.isNetGame = [] { return false; };
        s.closeNetGame = [this] { ++netCloses; };
        s.showCenteredText = [this](const char16_t* text) { texts.emplace_back(text); };
        s.playSound = [this](std::uint8_t event) { sounds.push_back(event); };
        s.setGameResult = [this](std::uint32_t r) { results.push_back(r); };
        s.refreshPanel = [] {};
        s.refreshTargetUnits = [] {};
        s.refreshTargetHouses = [] {};
        s.redrawMiniMap = [] {};
        s.redrawMapView = [] {};
        s.resetOrders = [this](TUnit*) { ++orderResets; };
        TGameCycleServices& c = GameCycleServices();
        c.isNetGame = [] { return false; };
        c.isNetConnected = [] { return false; };
        c.groupManagerUpdate = [](TStrateg*) {};
        c.computerStep = [](TStrateg*) {};
        c.missionOver = [](std::uint8_t) { return false; };
        c.marketTick = [](std::uint8_t) {};
        c.unitWalk = [](TTurnList&) {};
        c.refreshTargetUnits = [] {};
        c.refreshTargetHouses = [] {};
    }
    void TearDown() override
    {
        if (world) {
            for (std::uint8_t p = 0; p < 8; ++p)
                FreePlayerHouses(p);
            world.reset();
        }
        for (THouseType& t : g_HouseTypes)
            CHousePhaseGraphic::Free(t);
        std::copy(m_SavedTypes.begin(), m_SavedTypes.end(), std::begin(g_HouseTypes));
        for (auto& row : g_HouseTypeCount)
            std::fill(std::begin(row), std::end(row), 0);
        DefeatServices() = m_SavedDefeat;
        GameCycleServices() = m_SavedCycle;
        g_UnitsDrawSorted.clear();
        kadr_now = 0;
        g_FrameCounter = 0;
        GameFolderTest::TearDown();
    }

    void MakeWorld(const std::vector<TPlayerSetup>& players)
    {
        world.emplace(40, 80, players);
        for (std::uint8_t p = 0; p < players.size(); ++p)
            world->Player(p)->SetName(u"P" + std::u16string(1, static_cast<char16_t>(u'0' + p)));
    }
    THouse& Place(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type)
    {
        THouse* t = CreateHouseRecord(x, y, type, world->Player(player)->Nation);
        const std::uint16_t index = AddHouse(player, t);
        delete t;
        EXPECT_NE(index, HOUSE_NONE);
        // Finished, as a map's buildings stand.
        THouse& h = g_pHouse[player][index];
        h.BuildWork = 0;
        HouseArrives(&h);
        return h;
    }
    static std::u16string Victory(std::uint8_t me)
    {
        return std::u16string(GetResString(u"IDS_PLAYER")) + g_Strateg[me]->Name + GetResString(u"IDS_WIN");
    }

    std::optional<TestWorld> world;
    bool loaderIdle = true;
    int netCloses = 0;
    int orderResets = 0;
    std::vector<std::u16string> texts;
    std::vector<std::uint8_t> sounds;
    std::vector<std::uint32_t> results;

private:
    TDefeatServices m_SavedDefeat;
    TGameCycleServices m_SavedCycle;
    std::array<THouseType, HOUSE_TYPE_COUNT> m_SavedTypes{};
};

TEST_F(DefeatTest, TwoPlayersTheLastEnemyGoneIsAVictoryAndTheOwnDeathADefeat)
{
    MakeWorld({{0, 0}, {1, 0}});
    StrategDead(world->Player(1));
    EXPECT_EQ(world->Player(1)->Dead, 1);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], Victory(0));
    EXPECT_EQ(sounds, std::vector<std::uint8_t>{1});
    EXPECT_EQ(results, std::vector<std::uint32_t>{DEFEAT_RESULT_WON});

    StrategDead(world->Player(0));
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], GetResString(u"IDS_YOU_DEAD"));
    EXPECT_EQ(sounds.back(), 9);
    EXPECT_EQ(results.back(), DEFEAT_RESULT_LOST);
    EXPECT_EQ(netCloses, 0) << "single play has no network game to close";

    StrategDead(world->Player(0));
    EXPECT_TRUE(Logged("StrategDead already dead"));
    EXPECT_EQ(texts.size(), 2u) << "a second death changes nothing";
}

TEST_F(DefeatTest, ThreePlayersVictoryComesWithTheLastEnemyOnly)
{
    struct Case {
        const char* name;
        std::vector<TPlayerSetup> players;
        std::vector<std::uint8_t> deaths;
        std::size_t victoriesAfterEach[2];
    };
    const Case cases[] = {
        {"0 and 1 share a team, 2 dies", {{0, 1}, {1, 1}, {2, 0}}, {2}, {1, 0}},
        {"all apart: 2 dies, then 1", {{0, 0}, {1, 0}, {2, 0}}, {2, 1}, {0, 1}},
        {"the ally dies first", {{0, 1}, {1, 1}, {2, 0}}, {1, 2}, {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        texts.clear();
        MakeWorld(c.players);
        std::size_t victories = 0;
        for (std::size_t k = 0; k < c.deaths.size(); ++k) {
            StrategDead(world->Player(c.deaths[k]));
            const std::size_t now = static_cast<std::size_t>(std::count(texts.begin(), texts.end(), Victory(0)));
            EXPECT_EQ(now - victories, c.victoriesAfterEach[k]) << "after death " << k;
            victories = now;
        }
        EXPECT_EQ(texts.size(), victories) << "the local player never lost";
    }
}

TEST_F(DefeatTest, TheDeadPlayersThingsGoAndTheOthersForgetIt)
{
    MakeWorld({{0, 0}, {1, 0}, {2, 0}});
    TUnit* hunter = world->AddUnit(0, testworld::kRifleman, 10, 10);
    TUnit* prey = world->AddUnit(2, testworld::kRifleman, 12, 12);
    TUnit* bystander = world->AddUnit(1, testworld::kRifleman, 14, 14);
    ASSERT_TRUE(hunter && prey && bystander);
    hunter->AttackUnit = prey;
    hunter->PlayerAttack = 2;
    hunter->m_AttackIndex = static_cast<std::int16_t>(prey->m_Index);
    hunter->GunTarget = prey;
    bystander->AttackUnit = hunter;
    bystander->PlayerAttack = 0;
    g_UnitsDrawSorted.push_back({prey, 0, 0});
    g_UnitsDrawSorted.push_back({hunter, 0, 0});
    THouse& mine = Place(2, 20, 40, HOUSE_IRON_MAKER);
    const plat::Point ref{mine.X, mine.Y};
    Place(2, 20, 60, HOUSE_BARRACKS);
    world->Player(2)->AddCommand(NewCommand(COMMAND_CLASS_GAME, 2, 0, 0));

    StrategDead(world->Player(2));

    EXPECT_EQ(hunter->AttackUnit, nullptr);
    EXPECT_EQ(hunter->PlayerAttack, 255);
    EXPECT_EQ(hunter->m_AttackIndex, 0);
    EXPECT_EQ(hunter->GunTarget, nullptr);
    EXPECT_EQ(bystander->AttackUnit, hunter) << "targets of other players stay";
    ASSERT_EQ(g_UnitsDrawSorted.size(), 1u);
    EXPECT_EQ(g_UnitsDrawSorted[0].unit, hunter);
    const TStrateg& dead = *world->Player(2);
    EXPECT_EQ(dead.FirstUnit, nullptr);
    EXPECT_EQ(dead.HeapCount, 0u);
    EXPECT_EQ(NumUnits[2], 0);
    EXPECT_EQ(NumHouse[2], 0);
    EXPECT_EQ(g_pHouse[2], nullptr);
    for (std::uint16_t y = 0; y < g_MapHeight; ++y)
        for (std::uint16_t x = 0; x < g_MapWidth; ++x) {
            const std::uint16_t code = GetObjectFromMap(x, y);
            EXPECT_FALSE(code >= 3000 && code < 4000) << x << "," << y;
        }
    EXPECT_EQ(GetObjectFromMap(ref), OBJECT_IRON_POINT) << "the iron maker's ground keeps its iron";
    EXPECT_TRUE(texts.empty()) << "player 1 is still an enemy";
}

TEST_F(DefeatTest, ALoaderThatStaysBusyIsWaitedForOnlySoLong)
{
    MakeWorld({{0, 0}, {1, 0}});
    loaderIdle = false;
    StrategDead(world->Player(1));
    EXPECT_TRUE(Logged("StrategDead: the loader thread did not go idle in time"));
    EXPECT_EQ(world->Player(1)->Dead, 1) << "the defeat goes on";
}

TEST_F(DefeatTest, APlayerWhoseLastUnitIsDeletedDiesInItsOwnTurn)
{
    MakeWorld({{0, 0}, {1, 0}});
    world->AddUnit(0, testworld::kRifleman, 8, 8);
    TUnit* last = world->AddUnit(1, testworld::kRifleman, 10, 10);
    ASSERT_NE(last, nullptr);
    GameCycleServices().executeCommand = [](THeapItem*) { return false; };
    GameCycleServices().strategDead = ::StrategDead;
    last->WorkObject = UNIT_DELETE_PARAM;
    DeleteUnit(&last);
    EXPECT_EQ(world->Player(1)->Dead, 0) << "deleting a unit never decides a defeat";
    g_FrameCounter = 49; // not player 1's test cycle
    StrategTurn(world->Player(1));
    EXPECT_EQ(world->Player(1)->Dead, 0);
    g_FrameCounter = 51;
    StrategTurn(world->Player(1));
    EXPECT_EQ(world->Player(1)->Dead, 1);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], Victory(0));
}

TEST_F(DefeatTest, APlayerKilledByItsOwnCommandRunsNothingAfterIt)
{
    MakeWorld({{0, 0}, {1, 0}});
    world->AddUnit(1, testworld::kRifleman, 10, 10);
    std::vector<int> ran;
    GameCycleServices().executeCommand = [&ran](THeapItem* item) {
        ran.push_back(item->id);
        if (item->id == 12)
            StrategDead(g_Strateg[g_ActingPlayer]);
        return false;
    };
    for (std::uint8_t id : {2, 12, 3})
        world->Player(1)->AddCommand(NewCommand(COMMAND_CLASS_GAME, id, 0, 0));
    g_FrameCounter = 7;
    StrategTurn(world->Player(1));
    EXPECT_EQ(ran, (std::vector<int>{2, 12}));
    EXPECT_EQ(world->Player(1)->Dead, 1);
    EXPECT_EQ(world->Player(1)->HeapCount, 0u);
    EXPECT_EQ(world->Player(1)->FirstUnit, nullptr);
}

TEST_F(DefeatTest, HandOverMovesStandingBuildingsAndEveryUnit)
{
    MakeWorld({{0, 0}, {0, 0}});
    THouse& barracks = Place(0, 10, 20, HOUSE_BARRACKS);
    THouse& ruin = Place(0, 10, 50, HOUSE_DWELLING);
    ruin.HitPoints = HOUSE_HP_STAGE_TWO;
    TUnit* a = world->AddUnit(0, testworld::kRifleman, 30, 10);
    TUnit* b = world->AddUnit(0, testworld::kWorker, 30, 14);
    TUnit* inside = world->AddUnit(0, testworld::kRifleman, 30, 18);
    ASSERT_TRUE(a && b && inside);
    RemoveUnitFromCell(inside);
    inside->Work = STAY_IN_HOUSE;
    inside->House = &barracks;
    barracks.Inside = new TUnit*[4]();
    barracks.Inside[0] = inside;
    barracks.InsideCount = 1;
    a->HitPoints = 3.0f;
    world->Player(0)->Group[2].push_back({1, a});
    const std::uint16_t barracksCode = GetObjectFromMap(barracks.X, barracks.Y);

    TStrateg& from = *world->Player(0);
    from.SendMyHousesToPLayer(0, true);
    EXPECT_TRUE(Logged("Player==NewPlayer in void TStrateg::SendMyHousesToPLayer(BYTE NewPlayer)"));
    from.SendMyUnitsToPLayer(0);
    EXPECT_TRUE(Logged("Player==NewPlayer in void TStrateg::SendMyUnitsToPLayer(BYTE NewPlayer)"));
    EXPECT_EQ(NumUnits[0], 3);

    from.SendMyHousesToPLayer(1, true);
    ASSERT_EQ(NumHouse[1], 1) << "the ruin stays behind";
    THouse& moved = g_pHouse[1][0];
    EXPECT_EQ(moved.Owner, 1);
    EXPECT_EQ(moved.HouseType, HOUSE_BARRACKS);
    EXPECT_EQ(GetObjectFromMap(moved.X, moved.Y), PlayerHouseCode(1, 0));
    EXPECT_NE(barracksCode, PlayerHouseCode(1, 0));
    EXPECT_EQ(g_HouseTypeCount[0][HOUSE_BARRACKS], 0);
    EXPECT_EQ(g_HouseTypeCount[1][HOUSE_BARRACKS], 1);
    ASSERT_EQ(moved.InsideCount, 1);
    EXPECT_EQ(moved.Inside[0], inside);
    EXPECT_EQ(inside->House, &moved);
    EXPECT_EQ(barracks.InsideCount, 0) << "the old record keeps no occupants";
    EXPECT_NE(barracks.OffMap, 0);

    from.SendMyUnitsToPLayer(1);
    EXPECT_EQ(from.FirstUnit, nullptr);
    EXPECT_EQ(NumUnits[0], 0);
    EXPECT_EQ(from.LiveUnits, 0u);
    EXPECT_EQ(NumUnits[1], 3);
    EXPECT_EQ(world->Player(1)->LiveUnits, 3u);
    EXPECT_EQ(g_UnitTypeCount[0][testworld::kRifleman], 0);
    EXPECT_EQ(g_UnitTypeCount[1][testworld::kRifleman], 2);
    int owned = 0;
    for (TUnit* u = world->Player(1)->FirstUnit; u != nullptr; u = u->m_pNext, ++owned) {
        EXPECT_EQ(u->Player, 1);
        EXPECT_EQ(world->Player(1)->GetUnit(u->m_Index), u);
    }
    EXPECT_EQ(owned, 3);
    EXPECT_EQ(a->HitPoints, 3.0f) << "a wounded unit stays wounded";
    EXPECT_TRUE(from.Group[2].empty());
    EXPECT_EQ(orderResets, 3);
    EXPECT_TRUE(TestWorld::UnitsIn(30, 18).empty()) << "the unit inside stays out of the cells";
    EXPECT_EQ(TestWorld::UnitsIn(30, 10).size(), 1u);
}

TEST_F(DefeatTest, HandOverWithoutContentsLetsTheOccupantsOut)
{
    MakeWorld({{0, 0}, {0, 0}});
    THouse& barracks = Place(0, 10, 20, HOUSE_BARRACKS);
    TUnit* inside = world->AddUnit(0, testworld::kRifleman, 30, 18);
    ASSERT_NE(inside, nullptr);
    RemoveUnitFromCell(inside);
    inside->Work = STAY_IN_HOUSE;
    inside->House = &barracks;
    barracks.Inside = new TUnit*[4]();
    barracks.Inside[0] = inside;
    barracks.InsideCount = 1;
    world->Player(0)->SendMyHousesToPLayer(1, false);
    ASSERT_EQ(NumHouse[1], 1);
    EXPECT_EQ(g_pHouse[1][0].InsideCount, 0);
    EXPECT_NE(inside->Work, STAY_IN_HOUSE);
    EXPECT_NE(inside->House, &g_pHouse[1][0]);
}

TEST_F(DefeatTest, RelationsFromTeams)
{
    // Teams as the map gives them: 255 none.
    const std::uint8_t teams[4] = {0, 0, 255, 1};
    MakeWorld({{0, 0}, {1, 0}, {2, 0}, {3, 0}});
    g_AllTeamsDifferent = 1;
    for (std::uint8_t p = 0; p < 4; ++p)
        world->Player(p)->SetTeam(teams[p]);
    EXPECT_EQ(g_AllTeamsDifferent, 0) << "players 0 and 1 share team 0";
    for (std::uint8_t p = 0; p < 4; ++p)
        world->Player(p)->SetRelationsFromTeams();
    const std::uint8_t expected[4][4] = {
        {1, 1, 0, 0},
        {1, 1, 0, 0},
        {0, 0, 0, 0}, // no team: at war with everybody, itself included
        {0, 0, 0, 1},
    };
    for (std::uint8_t p = 0; p < 4; ++p)
        for (std::uint8_t q = 0; q < 4; ++q)
            EXPECT_EQ(world->Player(p)->Relations[q], expected[p][q]) << int(p) << " toward " << int(q);
    EXPECT_FALSE(IsEnemy(0, 1));
    EXPECT_TRUE(IsEnemy(0, 3));
    EXPECT_TRUE(IsEnemy(2, 3));
    EXPECT_FALSE(IsEnemy(2, 2));
    EXPECT_TRUE(IsEnemy(2, 255));

    g_AllTeamsDifferent = 1;
    world->Player(2)->SetTeam(255);
    world->Player(3)->SetTeam(2);
    EXPECT_EQ(g_AllTeamsDifferent, 1) << "no team and different teams keep the flag";
    world->Player(3)->Dead = 1;
    world->Player(2)->SetTeam(2);
    EXPECT_EQ(g_AllTeamsDifferent, 1) << "a dead player's team does not count";
}

TEST_F(DefeatTest, ANetworkDepartureRunsOnItsAgreedCycle)
{
    MakeWorld({{0, 0}, {1, 0}, {2, 0}});
    std::vector<std::uint32_t> netMessages;
    GameCycleServices().handleNetMessage = [&netMessages](THeapItem& item) { netMessages.push_back(item.params[0]); };
    kadr_now = 10;
    PostPlayerLeft(1, 12);
    THeapItem* other = NewCommand(COMMAND_CLASS_GAME, COMMAND_ID_NET_MESSAGE, 0, 0);
    other->cikl = 12;
    other->params[0] = 5;
    AddToGlobalHeap(other);
    GlobalHeapExecute();
    kadr_now = 11;
    GlobalHeapExecute();
    EXPECT_EQ(world->Player(1)->Dead, 0) << "not before its cycle";
    EXPECT_EQ(GlobalHeapCount(), 2u);
    kadr_now = 12;
    GlobalHeapExecute();
    EXPECT_EQ(world->Player(1)->Dead, 1);
    EXPECT_EQ(netMessages, std::vector<std::uint32_t>{5}) << "other messages still go to the network";
    EXPECT_EQ(GlobalHeapCount(), 0u);

    // A departure of a player already out of the game changes nothing.
    PostPlayerLeft(1, 13);
    kadr_now = 13;
    GlobalHeapExecute();
    EXPECT_FALSE(Logged("StrategDead already dead"));
}

} // namespace
