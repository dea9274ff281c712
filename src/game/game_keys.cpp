#include "game/game_keys.h"

#include <algorithm>
#include <mutex>

#include "combat/effects.h"
#include "game/frame_drawing.h"
#include "game/game_main.h"
#include "game/key_mapping.h"
#include "core/random_table.h"
#include "game/save_game.h"
#include "core/settings.h"
#include "core/string_table.h"
#include "devices/cursor_state.h"
#include "devices/mouse.h"
#include "map/landscape.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "net/net_events.h"
#include "net/network.h"
#include "platform/events.h"
#include "players/command.h"
#include "players/dispatcher.h"
#include "movement/group_orders.h"
#include "players/hot_keys.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "ui/menus.h"
#include "ui/window_stack.h"
#include "ui/windows.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_drawing.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

std::uint8_t g_bKeysEnabled = 1;
std::uint8_t g_bTextInput = 0;
std::uint8_t g_bDeveloperKeys = 0;
std::int32_t g_DevUnitBase = 38;
std::int32_t g_CycleIndex = 0;

namespace {

constexpr std::uint32_t kVkF2 = 0x71;
// The key left of 1 on a US keyboard.
constexpr std::uint32_t kVkBackQuote = 0xC0;
constexpr double kDevResourceGift = 100000.0;
constexpr std::uint32_t kVkF5 = 0x74, kVkF6 = 0x75, kVkF7 = 0x76, kVkF8 = 0x77;
constexpr std::uint32_t kVkAdd = 0x6B, kVkSubtract = 0x6D;
constexpr std::intptr_t kRepeatBit = std::intptr_t{1} << 30;
constexpr std::uint8_t kSpeedFastest = 30;
constexpr std::uint8_t kSpeedSlowest = 90;
constexpr std::uint16_t kMarketType = 8;
constexpr int kDevUnitBlock = 500;
constexpr std::uint32_t kWhite = 0xFFFFFF;

std::uint8_t LocalPlayer()
{
    return MyPlayer < 8 ? MyPlayer : 0;
}

TStrateg* Player(std::uint8_t player)
{
    return player < 8 ? g_Strateg[player] : nullptr;
}

// The visible map rectangle as two packed corners (x | y << 16) for the rectangle commands.
void PostWithViewRect(int id)
{
    const int topLeft = g_ViewX | (g_ViewY << 16);
    const int bottomRight = (g_ViewX + g_ViewCols) | ((g_ViewY + g_ViewRows) << 16);
    GameKeyServices().postHotKey(id, topLeft, bottomRight, 0);
}

std::uint16_t UnitTypesOfNation(std::uint8_t nation)
{
    std::uint16_t n = 0;
    while (n < UNIT_TYPES_PER_NATION && GetUnitType(nation, n))
        ++n;
    return n;
}

void SetView(std::int32_t x, std::int32_t y)
{
    std::lock_guard lock(g_InputLock);
    g_ViewX = static_cast<std::uint16_t>(std::max(x, 0));
    g_ViewY = static_cast<std::uint16_t>(std::max(y, 0));
}

void SelectHouse(std::uint8_t player, THouse& house)
{
    GameKeyServices().clearSelection(player);
    SelectHouseOf(player, &house);
}

bool IsStanding(const THouse& h)
{
    return h.Destroyed == 0 && h.TypeRecord != nullptr;
}

void QuickSave()
{
    TGameKeyServices& s = GameKeyServices();
    const bool ok = s.saveGame(SAVE_QUICK_PATH);
    s.showMessageLine(GetResString(ok ? u"IDS_QUICKSAVE_SUCCESS" : u"IDS_QUICKSAVE_FAILED"));
}

void DevUnitBlock(std::uint8_t player, bool ctrl)
{
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    {
        std::lock_guard lock(g_InputLock);
        cx = g_CursorMapX;
        cy = g_CursorMapY;
    }
    for (int i = 0; i < kDevUnitBlock; ++i) {
        const int rx = RandomDraw() % 15;
        const int ry = RandomDraw() % 15;
        const float x = static_cast<float>(cx - 30 + rx + 50 * (i % 22));
        const float y = static_cast<float>(cy - 30 + ry + (50 * i) / 22);
        GameKeyServices().createUnitAt(x, y, player, 0, ctrl ? 2 : 0);
    }
}

void DevUnitAtCursor(std::uint8_t player, std::uint16_t type)
{
    float x = 0.0f;
    float y = 0.0f;
    {
        std::lock_guard lock(g_InputLock);
        x = static_cast<float>(g_CursorMapX);
        y = static_cast<float>(g_CursorMapY);
    }
    GameKeyServices().createUnitAt(x, y, player, type, 1);
}

void DigitKey(std::uint32_t key, bool single, bool shift, bool ctrl)
{
    TGameKeyServices& s = GameKeyServices();
    const int digit = static_cast<int>(key - '0');
    if (!g_bTextInput && ctrl && !shift)
        s.postHotKey(HOTKEY_DIGIT_CTRL, digit, 0, 0);
    if (!g_bTextInput && !ctrl && !shift)
        s.postHotKey(HOTKEY_DIGIT, digit, 0, 0);
    if (!single || !g_bDeveloperKeys)
        return;
    const std::uint8_t player = ctrl ? FirstEnemyPlayer() : LocalPlayer();
    const TStrateg* me = Player(LocalPlayer());
    if (shift && me && digit < UnitTypesOfNation(me->Nation))
        DevUnitAtCursor(player, static_cast<std::uint16_t>(digit));
    bool pressWaiting = false;
    {
        std::lock_guard lock(g_InputLock);
        pressWaiting = g_bLButtonDown != 0;
        g_bLButtonDown = 0;
    }
    if (pressWaiting)
        DevUnitAtCursor(player, static_cast<std::uint16_t>(static_cast<std::int32_t>(key) - g_DevUnitBase));
}

void GeneralKey(std::uint32_t key)
{
    TGameKeyServices& s = GameKeyServices();
    const std::uint8_t me = LocalPlayer();
    const bool single = !s.isNetGame();
    const bool shift = g_ShiftDown[me] != 0;
    const bool ctrl = g_CtrlDown[me] != 0;
    const bool paused = g_bPaused != 0;
    const bool dev = single && g_bDeveloperKeys;
    s.clearPanelFlags();
    if (key >= '0' && key <= '9') {
        DigitKey(key, single, shift, ctrl);
        return;
    }
    switch (key) {
    case plat::VK_TAB:
        if (single)
            CycleUnitGroup(me);
        else
            s.postHotKey(HOTKEY_TAB, 0, 0, 0);
        break;
    case plat::VK_PAUSE:
        if (s.netMode() == 3)
            s.netPause();
        else if (paused) {
            g_bPaused = 0;
            s.closePauseWindow();
        } else
            s.pauseGame();
        break;
    case plat::VK_SPACE:
        if (!g_bTextInput)
            CenterViewOnUnit(nullptr);
        break;
    case plat::VK_DELETE:
        if (!g_bTextInput && !paused) {
            if (single)
                s.playerUnitsUpdate(me);
            else
                s.postHotKey(HOTKEY_DELETE, 0, 0, 0);
        }
        break;
    case 'A':
        if (ctrl)
            s.postHotKey(HOTKEY_A_CTRL, 0, 0, 0);
        else
            PostWithViewRect(shift ? HOTKEY_A_SHIFT : HOTKEY_A);
        break;
    case 'Z':
        if (ctrl)
            s.postHotKey(HOTKEY_Z_CTRL, 0, 0, 0);
        else
            PostWithViewRect(HOTKEY_Z);
        break;
    case 'E':
    case 'Q':
    case 'R':
    case 'T':
    case 'U':
    case 'W':
    case 'Y':
        if (!g_bTextInput && !s.panelWindowOpen())
            PostSelectHouseByKey(me, key);
        break;
    case 'J':
        if (const TStrateg* p = Player(me);
            !g_bTextInput && p && p->SelectedHouse && p->SelectedHouse->HouseType == kMarketType)
            s.resetMarketPanel();
        break;
    case 'M':
        if (single && !g_bTextInput && !s.frontMenuOpen() && !(s.panelWindowOpen() && s.localPanelFlag()))
            s.showMiniMap(!s.miniMapShown());
        break;
    case 'F':
        if (!g_bTextInput && ctrl)
            s.localOrNetPlayerAction();
        else if (dev && !ctrl)
            g_bFogOfWar = g_bFogOfWar ? 0 : 1;
        break;
    case plat::VK_F1:
        if (!paused)
            s.showMissionInfo();
        break;
    case kVkF2:
        // The landscape drawn as its triangles' edges.
        g_bWireframe = g_bWireframe ? 0 : 1;
        g_bMapViewDirty = 1;
        break;
    case 'D':
        if (g_bDeveloperKeys && ctrl && shift && !g_bTextInput) {
            g_bDebugPanel = g_bDebugPanel ? 0 : 1;
            g_bMapViewDirty = 1;
        }
        break;
    case kVkBackQuote: {
        // The unit-debug lines over the frame and the marks at the units' points go together.
        const std::uint8_t on = g_bUnitDebug ? 0 : 1;
        g_bUnitDebug = on;
        g_DebugUnitMarks.pointQuads = on;
        g_bMapViewDirty = 1;
        break;
    }
    case kVkF5:
        if (single && !paused && !s.frontMenuOpen() && !s.inGameMenuOpen())
            QuickSave();
        break;
    case kVkF6:
        if (single && !paused && !s.frontMenuOpen() && !s.inGameMenuOpen())
            s.confirmQuickLoad(GetResString(u"IDS_CONFIRM_QUICK_LOAD"));
        break;
    case 'H':
        if (single && ctrl && shift)
            g_bDeveloperKeys = g_bDeveloperKeys ? 0 : 1;
        break;
    case 'K':
        if (dev) {
            std::lock_guard lock(g_InputLock);
            s.addExplosion(static_cast<float>(g_CursorMapX), static_cast<float>(g_CursorMapY));
        }
        break;
    case 'P':
        if (g_bDeveloperKeys && ctrl)
            s.toggleViewMode();
        break;
    case kVkF7:
    case kVkF8:
        if (dev)
            DevUnitBlock(key == kVkF7 ? FirstEnemyPlayer() : me, ctrl);
        break;
    case kVkAdd:
    case kVkSubtract:
        if (dev && ctrl && shift && key == kVkAdd)
            s.giveEveryPlayer(kDevResourceGift);
        if (!dev || (ctrl && shift))
            break;
        if (ctrl)
            g_DevUnitBase = g_DevUnitBase == 38 ? 28 : 38;
        else if (key == kVkAdd)
            g_GameSpeed = static_cast<std::uint8_t>(std::max<int>(g_GameSpeed - 10, kSpeedFastest));
        else
            g_GameSpeed = static_cast<std::uint8_t>(std::min<int>(g_GameSpeed + 10, kSpeedSlowest));
        break;
    default:
        break;
    }
}

// Arrow keys scroll one step and run a whole frame at once, so the view keeps up with the key's
// repeat rate; the upper limit of the down key is one row lower than the mouse's.
void ArrowKey(std::uint32_t key)
{
    TGameKeyServices& s = GameKeyServices();
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    if (key == plat::VK_LEFT && g_ViewX > 1)
        dx = -1;
    else if (key == plat::VK_RIGHT && g_ViewX < g_MapWidth - g_ViewCols - 2)
        dx = 1;
    else if (key == plat::VK_UP && g_ViewY > 1)
        dy = -1;
    else if (key == plat::VK_DOWN && g_ViewY < g_MapHeight - g_ViewRows - 10)
        dy = 1;
    if (dx == 0 && dy == 0)
        return;
    g_ScrollFlag = 2;
    s.scrollMap(dx, dy);
    s.gameFrame();
}

bool ModifierKey(std::uint32_t message, std::uint32_t key, std::intptr_t lParam)
{
    TGameKeyServices& s = GameKeyServices();
    const std::uint8_t me = LocalPlayer();
    const bool single = !s.isNetGame();
    std::uint8_t* entry = key == plat::VK_SHIFT ? &g_ShiftDown[me] : &g_CtrlDown[me];
    const int command = key == plat::VK_SHIFT ? HOTKEY_SHIFT : HOTKEY_CTRL;
    if (message == plat::MSG_KEYUP) {
        if (single)
            *entry = 0;
        else
            s.postHotKey(command, 0, 0, 0);
    } else if (single && s.frontMenuOpen()) {
        *entry = 1;
    } else if ((lParam & kRepeatBit) == 0) {
        s.postHotKey(command, 0, 0, 0);
    }
    return false;
}

bool CharacterKey(std::uint32_t code)
{
    TGameKeyServices& s = GameKeyServices();
    const bool single = !s.isNetGame();
    if (code == plat::VK_ESCAPE && !s.frontMenuOpen()) {
        if (s.isPlacingHouse())
            s.cancelPlacement();
        else if (!g_bPaused && !s.inGameMenuOpen()) {
            if (single)
                g_bPaused = 1;
            s.openInGameMenu();
        }
        return true;
    }
    s.setPendingKey(code);
    if (code == plat::VK_RETURN && !single && !g_bTextInput && !g_bPaused)
        s.toggleChat();
    return true;
}

} // namespace

void CenterViewOnCell(std::int32_t column, std::int32_t row)
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    CenteredViewOrigin(column, row, x, y);
    SetView(x, y);
    g_ScrollFlag = 10;
    GameKeyServices().scrollMap(0, 0);
}

std::uint32_t MapGameKey(std::uint32_t key)
{
    return g_KeyMapping.Find(key);
}

bool GameKeyMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    TGameKeyServices& s = GameKeyServices();
    if (!s.isNetGame())
        g_bKeysEnabled = 1;
    if (!g_bKeysEnabled)
        return false;
    const auto key = static_cast<std::uint32_t>(wParam);
    if (message == plat::MSG_CHAR)
        return CharacterKey(key);
    if (key == plat::VK_SHIFT || key == plat::VK_CONTROL)
        return ModifierKey(message, key, lParam);
    if (message != plat::MSG_KEYDOWN)
        return false;
    if (!g_bPaused && key >= plat::VK_LEFT && key <= plat::VK_DOWN)
        ArrowKey(key);
    if (!s.frontMenuOpen())
        GeneralKey(key);
    return false;
}

int HouseTypeForKey(std::uint32_t key, bool shift, bool ctrl)
{
    struct TRow {
        char key;
        int types[4]; // none, Shift, Ctrl, Ctrl+Shift
    };
    static constexpr TRow kRows[] = {
        {'E', {21, 1, 7, -1}},   {'Q', {4, 23, -1, -1}}, {'R', {2, 5, 8, -1}},   {'T', {9, 6, 18, 17}},
        {'U', {12, 15, 14, -1}}, {'W', {16, 19, 20, 22}}, {'Y', {0, 11, 10, 13}},
    };
    for (const TRow& row : kRows)
        if (static_cast<std::uint32_t>(row.key) == key)
            return row.types[(shift ? 1 : 0) + (ctrl ? 2 : 0)];
    return -1;
}

bool SelectHouseOfType(std::uint8_t player, std::uint16_t type)
{
    if (player >= 8)
        return false;
    for (std::uint16_t i = 0; i < NumHouse[player]; ++i) {
        THouse* h = HouseAt(g_pHouse[player], i);
        if (h && IsStanding(*h) && h->HouseType == type) {
            SelectHouse(player, *h);
            return true;
        }
    }
    return false;
}

void SelectHouseByKey(std::uint8_t player, std::uint32_t key)
{
    if (player >= 8)
        return;
    const int type = HouseTypeForKey(key, g_ShiftDown[player] != 0, g_CtrlDown[player] != 0);
    if (type >= 0)
        SelectHouseOfType(player, static_cast<std::uint16_t>(type));
}

void PostSelectHouseByKey(std::uint8_t player, std::uint32_t key)
{
    TGameKeyServices& s = GameKeyServices();
    if (s.frontMenuOpen() || !Player(player))
        return;
    if (s.isNetGame())
        s.sendCommand(COMMAND_SELECT_HOUSE_BY_KEY, player, key);
    else
        SelectHouseByKey(player, key);
}

bool AdvisorPlaceHouse(std::uint8_t player, std::uint16_t type)
{
    if (player >= 8)
        return false;
    const bool result = GameKeyServices().advisorBuildHouse(player, type);
    THouse* last = NumHouse[player] > 0 ? HouseAt(g_pHouse[player], NumHouse[player] - 1u) : nullptr;
    if (last && IsStanding(*last) && last->HouseType == type) {
        SelectHouse(player, *last);
        if (player == MyPlayer)
            CenterViewOnSelectedHouse();
    }
    return result;
}

bool PostAdvisorPlaceHouse(std::uint8_t player, std::uint16_t type)
{
    TGameKeyServices& s = GameKeyServices();
    if (s.frontMenuOpen() || !Player(player))
        return false;
    if (s.isNetGame()) {
        s.sendCommand(COMMAND_ADVISOR_PLACE_HOUSE, player, type);
        return true;
    }
    return AdvisorPlaceHouse(player, type);
}

void CenteredViewOrigin(std::int32_t column, std::int32_t row, std::int32_t& x, std::int32_t& y)
{
    x = column > g_ViewCols + 2 ? column - g_ViewCols / 2 : 2;
    y = row > g_ViewRows + 2 ? row - g_ViewRows / 2 : 2;
    // The row parity of the origin never changes while scrolling; it is always odd.
    if (x % 2 == 0)
        --x;
    if (y % 2 == 0)
        --y;
}

void CenterViewOnUnit(TUnit* unit)
{
    const std::uint8_t me = LocalPlayer();
    const TStrateg* player = Player(me);
    if (!player || player->OutOfGame)
        return;
    if (!unit) {
        if (NumUnits[me] == 0) {
            CenterViewOnSelectedHouse();
            return;
        }
        TGameKeyServices& s = GameKeyServices();
        unit = g_CycleIndex >= 0 ? s.listedUnit(me, static_cast<std::uint32_t>(g_CycleIndex)) : nullptr;
        if (!unit) {
            g_CycleIndex = 0;
            unit = s.listedUnit(me, 0);
        }
        if (!unit)
            return;
    }
    CenterViewOnCell(unit->MapX, unit->MapY);
}

void CenterViewOnSelectedHouse()
{
    const TStrateg* player = Player(LocalPlayer());
    if (!player || player->OutOfGame || !player->SelectedHouse || !IsStanding(*player->SelectedHouse))
        return;
    CenterViewOnCell(player->SelectedHouse->X, player->SelectedHouse->Y);
}

void CycleUnitGroup(std::uint8_t player)
{
    TStrateg* p = Player(player);
    if (!p)
        return;
    if (NumUnits[player] > 0) {
        ++g_CycleIndex;
        if (g_CycleIndex < 0 || g_CycleIndex >= NumUnits[player])
            g_CycleIndex = 0;
        if (TUnit* unit = GameKeyServices().listedUnit(player, static_cast<std::uint32_t>(g_CycleIndex)))
            CenterViewOnUnit(unit);
        return;
    }
    THouse* selected = p->SelectedHouse;
    if (!selected || !IsStanding(*selected) || selected->Owner != player)
        return;
    const std::uint16_t type = selected->HouseType;
    const int count = NumHouse[player];
    int sameType = 0;
    for (int i = 0; i < count; ++i)
        if (const THouse* h = HouseAt(g_pHouse[player], i); h && IsStanding(*h) && h->HouseType == type)
            ++sameType;
    if (sameType < 2)
        return;
    const int step = g_CtrlDown[player] ? -1 : 1;
    for (int n = 1; n < count; ++n) {
        const int i = ((selected->Index + step * n) % count + count) % count;
        THouse* h = HouseAt(g_pHouse[player], i);
        if (h && IsStanding(*h) && h->HouseType == type) {
            selected->Selected = 0;
            SelectHouse(player, *h);
            return;
        }
    }
}

void QuickLoadConfirmed()
{
    TGameKeyServices& s = GameKeyServices();
    const bool ok = s.loadGameFile(SAVE_QUICK_PATH);
    s.showMessageLine(GetResString(ok ? u"IDS_QUICKLOAD_SUCCESS" : u"IDS_QUICKLOAD_FAILED"));
}

std::uint8_t FirstEnemyPlayer()
{
    const std::uint8_t me = LocalPlayer();
    const TStrateg* mine = Player(me);
    for (std::uint8_t p = 0; p < 8; ++p) {
        const TStrateg* other = Player(p);
        if (p == me || !other || p >= g_wNumPlayer || other->OutOfGame)
            continue;
        const std::uint8_t toMe = other->Relations[me];
        const std::uint8_t fromMe = mine ? mine->Relations[p] : 0;
        if (toMe != fromMe || toMe == 0)
            return p;
    }
    return me;
}

TGameKeyServices TGameKeyServices::Default()
{
    TGameKeyServices s;
    s.isNetGame = IsNetGame;
    s.netMode = [] { return g_NetMode.load(); };
    s.frontMenuOpen = [] { return g_MainMenuWindow != nullptr; };
    s.inGameMenuOpen = [] { return g_InGameMenuWindow != nullptr; };
    s.panelWindowOpen = [] { return g_PanelWindow != nullptr; };
    s.postHotKey = [](int id, int a, int b, int) {
        PostHotKeyCommand(static_cast<std::uint16_t>(id), static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b));
    };
    s.sendCommand = SendKeyCommand;
    s.scrollMap = ScrollMap;
    s.gameFrame = GameFrame;
    s.clearPanelFlags = [] {
        g_PanelDirty = 0;
        g_PanelHover = 0;
    };
    s.showMissionInfo = ShowMissionInfo;
    s.showMessageLine = [](const char16_t* text) { ShowMessageLine(text, kWhite); };
    s.confirmQuickLoad = [](const char16_t* text) {
        ShowConfirmBox(
            -1, -1, text,
            [](TContainer* button) {
                CloseParentWindow(button);
                QuickLoadConfirmed();
            },
            CloseParentWindow);
    };
    s.loadGameFile = ReplaceGameFromSave;
    s.saveGame = SaveGameData;
    s.pauseGame = [] { ReloadInterface(1); };
    s.closePauseWindow = [] {
        CloseWindow(g_PauseWindow);
        g_PauseWindow = nullptr;
    };
    s.netPause = NetSendState14;
    s.openInGameMenu = [] { MakeMenu(4, &g_InGameMenuWindow); };
    s.setPendingKey = [](std::uint32_t key) {
        g_PendingKey = 1;
        g_PendingKeyCode = key;
    };
    s.toggleChat = ToggleSendMessageWindow;
    s.isPlacingHouse = [] { return g_PlacingHouseType >= 0; };
    s.cancelPlacement = [] { g_PlacingHouseType = -1; };
    s.miniMapShown = [] { return g_bMiniMapShown != 0; };
    s.localPanelFlag = [] { return MyStrateg != nullptr && MyStrateg->SelectedHouseFlag != 0; };
    s.giveEveryPlayer = [](double amount) {
        for (TStrateg* p : g_Strateg) {
            if (p == nullptr || p->OutOfGame)
                continue;
            for (int r = 0; r < STRATEG_RESOURCES; ++r) {
                p->Res[r].recorded += amount;
                p->Res[r].spendable += amount;
            }
        }
    };
    s.showMiniMap = [](bool show) {
        if (show)
            ShowMiniMap();
        else
            HideMiniMap();
    };
    s.resetMarketPanel = [] { ResetMarketPanel(0, 0, 0); };
    s.localOrNetPlayerAction = [] { LocalOrNetPlayerAction(0, 0, 0); };
    s.toggleViewMode = ToggleViewMode;
    s.clearSelection = ClearSelection;
    s.playerUnitsUpdate = PlayerUnitsUpdate;
    s.advisorBuildHouse = AdvisorBuildHouse;
    s.listedUnit = StrategUnitAt;
    s.createUnitAt = [](float x, float y, std::uint8_t player, std::uint16_t type, int flag) {
        return CreateUnitAt(x, y, player, type, static_cast<std::uint8_t>(flag));
    };
    s.addExplosion = [](float x, float y) { AddExplosion(0, 0, x, y, 0, 0, 0, 0, 0); };
    return s;
}

TGameKeyServices& GameKeyServices()
{
    static TGameKeyServices services = TGameKeyServices::Default();
    return services;
}

void InstallGameCommandHandlers()
{
    TDispatcherServices& d = DispatcherServices();
    d.advisorBuildAndSelect = AdvisorPlaceHouse;
    d.selectHouseByKey = SelectHouseByKey;
    d.cycleUnitGroup = CycleUnitGroup;
    d.centreViewOnGroup = [](TGroup* group) {
        std::int32_t column = 0;
        std::int32_t row = 0;
        if (GetGroupCell(group, column, row))
            CenterViewOnCell(column, row);
    };
    d.activateMainWindow = [] { WindowProc(plat::MSG_ACTIVATE, 1, 0); };
    HotKeyServices().textInput = [] { return g_bTextInput != 0; };
}

namespace {
// Installed at static initialisation, so every program that links the game's keys runs the game's
// own handlers from its first command on.
[[maybe_unused]] const bool s_CommandHandlersInstalled = (InstallGameCommandHandlers(), true);
} // namespace
