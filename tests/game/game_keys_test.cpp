#include "game/game_keys.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/frame_drawing.h"
#include "game/game_main.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "core/string_table.h"
#include "map/landscape.h"
#include "map/map_view.h"
#include "platform/events.h"
#include "players/strateg.h"
#include "sample_strings.h"
#include "units/house_fixture.h"
#include "units/unit.h"
#include "units/unit_drawing.h"
#include "units/unit_lists.h"

namespace {

using housetest::HouseWorld;

constexpr std::uint32_t kF5 = 0x74, kF6 = 0x75, kF7 = 0x76, kAdd = 0x6B, kSubtract = 0x6D;
constexpr std::intptr_t kRepeat = std::intptr_t{1} << 30;

// Two players on a small map, the keys' services replaced by stand-ins that record what the keys
// asked for.
class Keys : public ::testing::Test {
protected:
    void SetUp() override
    {
        world.emplace(60, 120);
        sampledata::FillStringTable(g_ResStrings);
        saved = GameKeyServices();
        TGameKeyServices& s = GameKeyServices();
        s.isNetGame = [this] { return net; };
        s.netMode = [this] { return static_cast<std::uint8_t>(net ? 4 : 0); };
        s.frontMenuOpen = [this] { return frontMenu; };
        s.inGameMenuOpen = [this] { return inGameMenu; };
        s.panelWindowOpen = [this] { return panelWindow; };
        s.localPanelFlag = [this] { return panelFlag; };
        s.postHotKey = [this](int id, int a, int, int) { Record("post " + std::to_string(id) + " " + std::to_string(a)); };
        s.sendCommand = [this](int id, std::uint8_t p, std::uint32_t v) {
            Record("send " + std::to_string(id) + " " + std::to_string(p) + " " + std::to_string(v));
        };
        s.scrollMap = [this](std::int32_t dx, std::int32_t dy) {
            Record("scroll " + std::to_string(dx) + " " + std::to_string(dy));
        };
        s.gameFrame = [this] { Record("frame"); };
        s.clearPanelFlags = [] {};
        s.showMissionInfo = [this] { Record("mission info"); };
        s.showMessageLine = [this](const char16_t* text) { messages.emplace_back(text); };
        s.confirmQuickLoad = [this](const char16_t*) { Record("confirm quick load"); };
        s.loadGameFile = [this](const char* path) {
            Record(std::string("load ") + path);
            return loadWorks;
        };
        s.saveGame = [this](const char* path) {
            Record(std::string("save ") + path);
            return saveWorks;
        };
        s.pauseGame = [this] { Record("pause"); };
        s.closePauseWindow = [this] { Record("close pause window"); };
        s.netPause = [this] { Record("net pause"); };
        s.openInGameMenu = [this] { Record("in-game menu"); };
        s.setPendingKey = [this](std::uint32_t key) { Record("pending " + std::to_string(key)); };
        s.toggleChat = [this] { Record("chat"); };
        s.isPlacingHouse = [this] { return placing; };
        s.cancelPlacement = [this] { Record("cancel placement"); };
        s.miniMapShown = [] { return true; };
        s.showMiniMap = [this](bool show) { Record(show ? "show minimap" : "hide minimap"); };
        s.resetMarketPanel = [this] { Record("market"); };
        s.localOrNetPlayerAction = [this] { Record("player action"); };
        s.toggleViewMode = [this] { Record("view mode"); };
        s.clearSelection = [](std::uint8_t) {};
        s.playerUnitsUpdate = [this](std::uint8_t p) { Record("units update " + std::to_string(p)); };
        s.advisorBuildHouse = [this](std::uint8_t p, std::uint16_t type) {
            world->Place(p, 30, 60, type);
            return true;
        };
        s.listedUnit = [this](std::uint8_t, std::uint32_t i) { return i < listed.size() ? listed[i] : nullptr; };
        s.createUnitAt = [this](float, float, std::uint8_t p, std::uint16_t type, int) {
            ++created[p];
            lastCreatedType = type;
            return std::uint16_t{0};
        };
        s.addExplosion = [this](float, float) { Record("explosion"); };
        for (int p = 0; p < 2; ++p) {
            players[p].Nation = 0;
            g_Strateg[p] = &players[p];
        }
        g_wNumPlayer = 2;
        MyPlayer = 0;
        MyStrateg = &players[0];
        g_ViewCols = 10;
        g_ViewRows = 30;
        g_ViewX = 3;
        g_ViewY = 3;
    }
    void TearDown() override
    {
        GameKeyServices() = saved;
        for (TStrateg*& p : g_Strateg)
            p = nullptr;
        MyStrateg = nullptr;
        g_wNumPlayer = 0;
        std::fill(std::begin(g_ShiftDown), std::end(g_ShiftDown), 0);
        std::fill(std::begin(g_CtrlDown), std::end(g_CtrlDown), 0);
        std::fill(std::begin(NumUnits), std::end(NumUnits), 0);
        g_bPaused = 0;
        g_bTextInput = 0;
        g_bDeveloperKeys = 0;
        g_DevUnitBase = 38;
        g_CycleIndex = 0;
        g_bKeysEnabled = 1;
        world.reset();
    }
    void Record(const std::string& action) { actions.push_back(action); }
    void KeyDown(std::uint32_t key, std::intptr_t lParam = 0) { GameKeyMessage(plat::MSG_KEYDOWN, key, lParam); }

    std::optional<HouseWorld> world;
    TGameKeyServices saved;
    TStrateg players[2];
    bool net = false;
    bool frontMenu = false;
    bool inGameMenu = false;
    bool placing = false;
    bool panelWindow = false;
    bool panelFlag = false;
    bool loadWorks = true;
    bool saveWorks = true;
    std::vector<std::string> actions;
    std::vector<std::u16string> messages;
    std::vector<TUnit*> listed;
    int created[8] = {};
    std::uint16_t lastCreatedType = 0;
};

// One key message in a given state, and what the stand-ins recorded.
struct KeyCase {
    const char* name;
    std::uint32_t message;
    std::uint32_t key;
    bool shift;
    bool ctrl;
    bool net;
    bool paused;
    bool textInput;
    bool frontMenu;
    std::vector<std::string> expected;
};

class KeyTable : public Keys, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyTable, RecordsTheAction)
{
    const KeyCase& c = GetParam();
    g_ShiftDown[0] = c.shift;
    g_CtrlDown[0] = c.ctrl;
    net = c.net;
    g_bPaused = c.paused;
    g_bTextInput = c.textInput;
    frontMenu = c.frontMenu;
    GameKeyMessage(c.message, c.key, 0);
    EXPECT_EQ(actions, c.expected);
}

constexpr std::uint32_t kDown = plat::MSG_KEYDOWN, kUp = plat::MSG_KEYUP, kChar = plat::MSG_CHAR;
using V = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyTable,
    ::testing::Values(
        KeyCase{"F5QuickSaves", kDown, kF5, false, false, false, false, false, false, V{"save Save\\QuickSave.svg"}},
        KeyCase{"F5InANetworkGameDoesNothing", kDown, kF5, false, false, true, false, false, false, V{}},
        KeyCase{"F5WhilePausedDoesNothing", kDown, kF5, false, false, false, true, false, false, V{}},
        KeyCase{"F6AsksFirst", kDown, kF6, false, false, false, false, false, false, V{"confirm quick load"}},
        KeyCase{"DigitSelectsGroup", kDown, '4', false, false, false, false, false, false, V{"post 42 4"}},
        KeyCase{"CtrlDigitStoresGroup", kDown, '4', false, true, false, false, false, false, V{"post 43 4"}},
        KeyCase{"DigitInTextInput", kDown, '4', false, false, false, false, true, false, V{}},
        KeyCase{"TabInANetworkGame", kDown, plat::VK_TAB, false, false, true, false, false, false, V{"post 61 0"}},
        KeyCase{"PauseWhenRunning", kDown, plat::VK_PAUSE, false, false, false, false, false, false, V{"pause"}},
        KeyCase{"PauseWhenPaused", kDown, plat::VK_PAUSE, false, false, false, true, false, false,
                V{"close pause window"}},
        KeyCase{"DeleteSingle", kDown, plat::VK_DELETE, false, false, false, false, false, false, V{"units update 0"}},
        KeyCase{"DeleteNetwork", kDown, plat::VK_DELETE, false, false, true, false, false, false, V{"post 64 0"}},
        KeyCase{"DeleteWhilePaused", kDown, plat::VK_DELETE, false, false, false, true, false, false, V{}},
        KeyCase{"CtrlA", kDown, 'A', false, true, false, false, false, false, V{"post 37 0"}},
        KeyCase{"ShiftA", kDown, 'A', true, false, false, false, false, false, V{"post 44 196611"}},
        KeyCase{"A", kDown, 'A', false, false, false, false, false, false, V{"post 38 196611"}},
        KeyCase{"CtrlZ", kDown, 'Z', false, true, false, false, false, false, V{"post 39 0"}},
        KeyCase{"F1", kDown, plat::VK_F1, false, false, false, false, false, false, V{"mission info"}},
        KeyCase{"CtrlF", kDown, 'F', false, true, false, false, false, false, V{"player action"}},
        KeyCase{"MTogglesTheMiniMap", kDown, 'M', false, false, false, false, false, false, V{"hide minimap"}},
        KeyCase{"MInANetworkGame", kDown, 'M', false, false, true, false, false, false, V{}},
        KeyCase{"GeneralKeysWaitWhileAFrontMenuIsOpen", kDown, 'A', false, false, false, false, false, true, V{}},
        KeyCase{"ShiftUpInANetworkGamePosts", kUp, plat::VK_SHIFT, false, false, true, false, false, false,
                V{"post 32 0"}},
        KeyCase{"CtrlDownPosts", kDown, plat::VK_CONTROL, false, false, false, false, false, false, V{"post 33 0"}},
        KeyCase{"ShiftWithAFrontMenuIsSetDirectly", kDown, plat::VK_SHIFT, false, false, false, false, false, true,
                V{}},
        KeyCase{"EscapeOpensTheMenuAndPauses", kChar, plat::VK_ESCAPE, false, false, false, false, false, false,
                V{"in-game menu"}},
        KeyCase{"EscapeWithAFrontMenuIsAPendingKey", kChar, plat::VK_ESCAPE, false, false, false, false, false, true,
                V{"pending 27"}},
        KeyCase{"CharacterIsAPendingKey", kChar, 'x', false, false, false, false, false, false, V{"pending 120"}},
        KeyCase{"EnterInANetworkGameOpensTheChat", kChar, plat::VK_RETURN, false, false, true, false, false, false,
                V{"pending 13", "chat"}},
        KeyCase{"ArrowUpScrollsAndRunsAFrame", kDown, plat::VK_UP, false, false, false, false, false, false,
                V{"scroll 0 -1", "frame"}},
        KeyCase{"ArrowWhilePausedDoesNothing", kDown, plat::VK_LEFT, false, false, false, true, false, false, V{}},
        KeyCase{"NDoesNothing", kDown, 'N', false, false, false, false, false, false, V{}}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST_F(Keys, HeldShiftPostsOnce)
{
    KeyDown(plat::VK_SHIFT);
    KeyDown(plat::VK_SHIFT, kRepeat);
    KeyDown(plat::VK_SHIFT, kRepeat);
    EXPECT_EQ(actions, V{"post 32 0"});
    g_ShiftDown[0] = 1;
    GameKeyMessage(plat::MSG_KEYUP, plat::VK_SHIFT, 0);
    EXPECT_EQ(g_ShiftDown[0], 0);
}

TEST_F(Keys, EscapeWhilePlacingOnlyCancelsThePlacement)
{
    placing = true;
    GameKeyMessage(plat::MSG_CHAR, plat::VK_ESCAPE, 0);
    EXPECT_EQ(actions, V{"cancel placement"});
    EXPECT_EQ(g_bPaused, 0);
    placing = false;
    GameKeyMessage(plat::MSG_CHAR, plat::VK_ESCAPE, 0);
    EXPECT_EQ(g_bPaused, 1);
}

TEST_F(Keys, ArrowUpStopsAtRowOneAndDownOneRowEarlierThanTheMouse)
{
    g_ViewY = 1;
    KeyDown(plat::VK_UP);
    g_ViewY = 120 - 30 - 10;
    KeyDown(plat::VK_DOWN);
    g_ViewY = 120 - 30 - 11;
    KeyDown(plat::VK_DOWN);
    EXPECT_EQ(actions, (V{"scroll 0 1", "frame"}));
    EXPECT_EQ(g_ScrollFlag, 2);
}

TEST_F(Keys, QuickSaveAndQuickLoadTellTheTruth)
{
    saveWorks = false;
    KeyDown(kF5);
    saveWorks = true;
    KeyDown(kF5);
    loadWorks = false;
    QuickLoadConfirmed();
    loadWorks = true;
    QuickLoadConfirmed();
    EXPECT_EQ(messages, (std::vector<std::u16string>{GetResString(u"IDS_QUICKSAVE_FAILED"),
                                                     GetResString(u"IDS_QUICKSAVE_SUCCESS"),
                                                     GetResString(u"IDS_QUICKLOAD_FAILED"),
                                                     GetResString(u"IDS_QUICKLOAD_SUCCESS")}));
    EXPECT_NE(messages[0], messages[1]);
}

TEST_F(Keys, SelectionTableGivesTheTypeOfEveryKeyAndModifier)
{
    // key: none, Shift, Ctrl, Ctrl+Shift
    const std::vector<std::pair<char, std::array<int, 4>>> table = {
        {'E', {21, 1, 7, -1}},   {'Q', {4, 23, -1, -1}},  {'R', {2, 5, 8, -1}},   {'T', {9, 6, 18, 17}},
        {'U', {12, 15, 14, -1}}, {'W', {16, 19, 20, 22}}, {'Y', {0, 11, 10, 13}},
    };
    for (const auto& [key, types] : table)
        for (int m = 0; m < 4; ++m)
            EXPECT_EQ(HouseTypeForKey(key, (m & 1) != 0, (m & 2) != 0), types[m]) << key << " modifiers " << m;
    EXPECT_EQ(HouseTypeForKey('B', false, false), -1);
}

TEST_F(Keys, SelectingByKeyTakesTheFirstStandingBuildingOfTheType)
{
    THouse& ruined = world->Place(0, 10, 20, HOUSE_POWER_PLANT);
    THouse& standing = world->Place(0, 20, 40, HOUSE_POWER_PLANT);
    world->Place(0, 30, 60, HOUSE_WATCHTOWER);
    ruined.Destroyed = 1;
    KeyDown('Y');
    EXPECT_EQ(players[0].SelectedHouse, &standing);
    EXPECT_EQ(standing.Selected, 1);
    // E with Ctrl and Shift lists no type: the selection stays.
    g_ShiftDown[0] = g_CtrlDown[0] = 1;
    KeyDown('E');
    EXPECT_EQ(players[0].SelectedHouse, &standing);
    g_ShiftDown[0] = g_CtrlDown[0] = 0;
    KeyDown('E');
    EXPECT_EQ(players[0].SelectedHouse->HouseType, HOUSE_WATCHTOWER);
}

TEST_F(Keys, BuildingKeysGoOverTheNetworkInANetworkGame)
{
    world->Place(0, 20, 40, HOUSE_POWER_PLANT);
    net = true;
    KeyDown('Y');
    EXPECT_EQ(actions, V{"send 76 0 89"});
    EXPECT_EQ(players[0].SelectedHouse, nullptr);
    EXPECT_TRUE(PostAdvisorPlaceHouse(0, HOUSE_BARRACKS));
    EXPECT_EQ(actions.back(), "send 75 0 3");
    frontMenu = true;
    PostSelectHouseByKey(0, 'Y');
    EXPECT_EQ(actions.size(), 2u);
}

TEST_F(Keys, AdvisorPlacementSelectsAndCentresOnTheNewBuilding)
{
    EXPECT_TRUE(AdvisorPlaceHouse(0, HOUSE_BARRACKS));
    ASSERT_NE(players[0].SelectedHouse, nullptr);
    EXPECT_EQ(players[0].SelectedHouse->HouseType, HOUSE_BARRACKS);
    EXPECT_EQ(g_ViewX, 25);
    EXPECT_EQ(g_ViewY, 45);
    EXPECT_EQ(g_ScrollFlag, 10);
}

struct OriginCase {
    std::int32_t column, row, x, y;
};

TEST_F(Keys, CentredOriginIsHalfAViewBackAndAlwaysOdd)
{
    // View of 10 columns and 30 rows.
    const OriginCase cases[] = {
        {0, 0, 1, 1},     // inside the first view: 2, made odd
        {12, 32, 1, 1},   // exactly view + 2 is still the first view
        {13, 33, 7, 17},  // 13 - 5 = 8 -> 7; 33 - 15 = 18 -> 17
        {14, 34, 9, 19},  // odd results stay
        {59, 119, 53, 103},
    };
    for (const OriginCase& c : cases) {
        std::int32_t x = 0, y = 0;
        CenteredViewOrigin(c.column, c.row, x, y);
        EXPECT_EQ(x, c.x) << c.column;
        EXPECT_EQ(y, c.y) << c.row;
    }
}

TEST_F(Keys, SpaceCentresOnTheListedUnitAtTheCycleIndex)
{
    TUnit a(0, 0), b(0, 0);
    a.MapX = 20, a.MapY = 50;
    b.MapX = 40, b.MapY = 90;
    listed = {&a, &b};
    NumUnits[0] = 2;
    g_CycleIndex = 1;
    KeyDown(plat::VK_SPACE);
    EXPECT_EQ(g_ViewX, 35);
    EXPECT_EQ(g_ViewY, 75);
    g_CycleIndex = 5; // beyond the list: the first unit, and the index starts over
    KeyDown(plat::VK_SPACE);
    EXPECT_EQ(g_ViewX, 15);
    EXPECT_EQ(g_CycleIndex, 0);
    KeyDown(plat::VK_TAB);
    EXPECT_EQ(g_CycleIndex, 1);
    EXPECT_EQ(g_ViewX, 35);
    players[0].OutOfGame = 1;
    g_ViewX = 3;
    KeyDown(plat::VK_SPACE);
    EXPECT_EQ(g_ViewX, 3);
}

TEST_F(Keys, TabCyclesBuildingsOfTheSelectedType)
{
    THouse& first = world->Place(0, 10, 20, HOUSE_POWER_PLANT);
    world->Place(0, 30, 60, HOUSE_WATCHTOWER);
    THouse& second = world->Place(0, 20, 40, HOUSE_POWER_PLANT);
    ASSERT_TRUE(SelectHouseOfType(0, HOUSE_POWER_PLANT));
    EXPECT_EQ(players[0].SelectedHouse, &first);
    KeyDown(plat::VK_TAB);
    EXPECT_EQ(players[0].SelectedHouse, &second);
    EXPECT_EQ(first.Selected, 0);
    KeyDown(plat::VK_TAB); // wraps around
    EXPECT_EQ(players[0].SelectedHouse, &first);
}

TEST_F(Keys, FirstEnemyPlayer)
{
    TStrateg more[2];
    g_Strateg[2] = &more[0];
    g_Strateg[3] = &more[1];
    g_wNumPlayer = 4;
    // Player 1 allied both ways, 2 allied one way, 3 not allied.
    players[0].Relations[1] = players[1].Relations[0] = 1;
    players[0].Relations[2] = 1;
    EXPECT_EQ(FirstEnemyPlayer(), 2);
    more[0].Relations[0] = 1;
    EXPECT_EQ(FirstEnemyPlayer(), 3);
    players[0].Relations[3] = more[1].Relations[0] = 1;
    EXPECT_EQ(FirstEnemyPlayer(), 0); // everybody allied: the local player
    more[1].Relations[0] = 0;
    more[1].OutOfGame = 1;
    EXPECT_EQ(FirstEnemyPlayer(), 0);
    g_Strateg[2] = g_Strateg[3] = nullptr;
}

TEST_F(Keys, DeveloperKeys)
{
    KeyDown(kF7);
    EXPECT_EQ(created[1], 0); // off until Ctrl+Shift+H
    g_ShiftDown[0] = g_CtrlDown[0] = 1;
    KeyDown('H');
    EXPECT_EQ(g_bDeveloperKeys, 1);
    g_ShiftDown[0] = g_CtrlDown[0] = 0;
    const std::uint16_t index = g_RandIndex;
    KeyDown(kF7);
    EXPECT_EQ(created[1], 500);
    EXPECT_EQ(static_cast<std::uint16_t>(g_RandIndex - index), 1000); // two shared draws per unit
    const std::uint8_t speed = g_GameSpeed;
    g_GameSpeed = 35;
    KeyDown(kAdd);
    EXPECT_EQ(g_GameSpeed, 30);
    g_GameSpeed = 85;
    KeyDown(kSubtract);
    EXPECT_EQ(g_GameSpeed, 90);
    g_GameSpeed = speed;
    g_CtrlDown[0] = 1;
    KeyDown(kAdd);
    EXPECT_EQ(g_DevUnitBase, 28);
    g_CtrlDown[0] = 0;
    net = true;
    KeyDown(kF7);
    EXPECT_EQ(created[1], 500); // single play only
}

// The switches of the map and frame drawing: each key toggles its flags and asks for a full rebuild
// of the view; the D key only with the developer keys, Ctrl and Shift, and outside text input.
TEST_F(Keys, DebugSwitchKeysToggleTheirFlagsAndRebuildTheView)
{
    const struct {
        const char* name;
        std::uint32_t key;
        bool dev, shift, ctrl, textInput;
        std::uint8_t* flag;
        bool toggles;
    } cases[] = {
        {"F2 wireframe", 0x71, false, false, false, false, &g_bWireframe, true},
        {"D developer panel", 'D', true, true, true, false, &g_bDebugPanel, true},
        {"D without developer keys", 'D', false, true, true, false, &g_bDebugPanel, false},
        {"D with Ctrl only", 'D', true, false, true, false, &g_bDebugPanel, false},
        {"D in text input", 'D', true, true, true, true, &g_bDebugPanel, false},
        {"0xC0 unit debug", 0xC0, false, false, false, false, &g_bUnitDebug, true},
        {"0xC0 marks at the units' points", 0xC0, false, false, false, false, &g_DebugUnitMarks.pointQuads, true},
    };
    for (const auto& c : cases) {
        g_bDeveloperKeys = c.dev;
        g_ShiftDown[0] = c.shift;
        g_CtrlDown[0] = c.ctrl;
        g_bTextInput = c.textInput;
        for (std::uint8_t before : {std::uint8_t{0}, std::uint8_t{1}}) {
            *c.flag = before;
            g_bMapViewDirty = 0;
            KeyDown(c.key);
            EXPECT_EQ(*c.flag, c.toggles ? 1 - before : before) << c.name;
            EXPECT_EQ(g_bMapViewDirty, c.toggles ? 1 : 0) << c.name;
        }
    }
    g_bWireframe = g_bDebugPanel = g_bUnitDebug = g_DebugUnitMarks.pointQuads = 0;
    g_bMapViewDirty = 0;
}

// M keeps to the panel only while the local player's panel flag is set.
TEST_F(Keys, MiniMapKeyYieldsToAPanelWithThePlayersPanelFlag)
{
    const struct {
        bool window, flag;
        std::vector<std::string> expected;
    } cases[] = {{false, false, {"hide minimap"}},
                 {true, false, {"hide minimap"}},
                 {false, true, {"hide minimap"}},
                 {true, true, {}}};
    for (const auto& c : cases) {
        panelWindow = c.window;
        panelFlag = c.flag;
        actions.clear();
        KeyDown('M');
        EXPECT_EQ(actions, c.expected) << c.window << c.flag;
    }
}

// Numpad + with Ctrl and Shift gives every player in the game 100000 of each resource and leaves
// the speed and the unit base alone.
TEST_F(Keys, NumpadPlusWithCtrlAndShiftGivesResources)
{
    g_bDeveloperKeys = 1;
    for (TStrateg& p : players)
        for (int r = 0; r < STRATEG_RESOURCES; ++r)
            p.Res[r] = {10.0, 5.0};
    players[1].OutOfGame = 1;
    const std::uint8_t speed = g_GameSpeed;
    g_ShiftDown[0] = g_CtrlDown[0] = 1;
    KeyDown(kAdd);
    for (int r = 0; r < STRATEG_RESOURCES; ++r) {
        EXPECT_EQ(players[0].Res[r].recorded, 100010.0) << r;
        EXPECT_EQ(players[0].Res[r].spendable, 100005.0) << r;
        EXPECT_EQ(players[1].Res[r].spendable, 5.0) << r; // out of the game
    }
    EXPECT_EQ(g_GameSpeed, speed);
    EXPECT_EQ(g_DevUnitBase, 38);
    KeyDown(kSubtract);
    EXPECT_EQ(players[0].Res[0].spendable, 100005.0);
    g_bDeveloperKeys = 0;
    g_ShiftDown[0] = g_CtrlDown[0] = 0;
    KeyDown(kAdd);
    EXPECT_EQ(players[0].Res[0].spendable, 100005.0); // developer keys only
}

TEST_F(Keys, KeysAreIgnoredWhileDisabledInANetworkGame)
{
    net = true;
    g_bKeysEnabled = 0;
    KeyDown('A');
    EXPECT_FALSE(GameKeyMessage(plat::MSG_CHAR, 'x', 0));
    EXPECT_TRUE(actions.empty());
    net = false;
    KeyDown('A'); // single play enables them again
    EXPECT_EQ(actions.size(), 1u);
}

} // namespace
