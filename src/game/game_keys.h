#pragma once
// The game's keys: the key mapping applied to every key message, the handler of key messages
// outside the editor, and the view-centring and building-selection actions the keys call.
//
// Threads: main thread only.
#include <cstdint>
#include <functional>

class THouse;
class TUnit;

// The replacement of a key code by Data\KeyMapping.txt (the code itself when it has none).
std::uint32_t MapGameKey(std::uint32_t key);
// true lets the window procedure pass the message to default processing.
bool GameKeyMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// Keys are handled only while it is 1; set on every key in single play, left to the network code
// in a network game.
extern std::uint8_t g_bKeysEnabled;
// A text field of a window has the keyboard.
extern std::uint8_t g_bTextInput;
// The developer keys work only while it is 1.
extern std::uint8_t g_bDeveloperKeys;
// Subtracted from a digit's key code to give the unit type of the developer keys' second row.
extern std::int32_t g_DevUnitBase;
// Position in the local player's unit list for the cycling keys.
extern std::int32_t g_CycleIndex;

// Hot-key commands the keys post, by key.
constexpr int HOTKEY_SHIFT = 32;
constexpr int HOTKEY_CTRL = 33;
constexpr int HOTKEY_A_CTRL = 37;
constexpr int HOTKEY_A = 38;
constexpr int HOTKEY_Z_CTRL = 39;
constexpr int HOTKEY_Z = 40;
constexpr int HOTKEY_DIGIT = 42;
constexpr int HOTKEY_DIGIT_CTRL = 43;
constexpr int HOTKEY_A_SHIFT = 44;
constexpr int HOTKEY_TAB = 61;
constexpr int HOTKEY_DELETE = 64;
// Network commands of the building keys.
constexpr int COMMAND_ADVISOR_PLACE_HOUSE = 75;
constexpr int COMMAND_SELECT_HOUSE_BY_KEY = 76;

// The building type the key selects with the modifiers; -1 for none.
int HouseTypeForKey(std::uint32_t key, bool shift, bool ctrl);
bool SelectHouseOfType(std::uint8_t player, std::uint16_t type);
void SelectHouseByKey(std::uint8_t player, std::uint32_t key);
void PostSelectHouseByKey(std::uint8_t player, std::uint32_t key);
bool AdvisorPlaceHouse(std::uint8_t player, std::uint16_t type);
bool PostAdvisorPlaceHouse(std::uint8_t player, std::uint16_t type);
// Puts the view so that the cell is in its middle (kept inside the map).
void CenterViewOnCell(std::int32_t column, std::int32_t row);
void CenterViewOnUnit(TUnit* unit);
void CenterViewOnSelectedHouse();
void CycleUnitGroup(std::uint8_t player);
void QuickLoadConfirmed();
std::uint8_t FirstEnemyPlayer();
// The view origin that centres a cell: half a view back when the cell lies beyond the first view
// (else 2), then made odd.
void CenteredViewOrigin(std::int32_t column, std::int32_t row, std::int32_t& x, std::int32_t& y);

// What the keys call in subsystems built elsewhere. The default table binds their functions;
// tests put recording stand-ins in its place.
struct TGameKeyServices {
    std::function<bool()> isNetGame;
    std::function<std::uint8_t()> netMode;
    std::function<bool()> frontMenuOpen;
    std::function<bool()> inGameMenuOpen;
    std::function<bool()> panelWindowOpen;
    // Orders: a hot-key command of the local player, and a network command of a player.
    std::function<void(int id, int a, int b, int c)> postHotKey;
    std::function<void(int id, std::uint8_t player, std::uint32_t value)> sendCommand;
    // The view: one scrolling step, and a whole game frame run at once.
    std::function<void(std::int32_t dx, std::int32_t dy)> scrollMap;
    std::function<void()> gameFrame;
    // The interface.
    std::function<void()> clearPanelFlags;
    std::function<void()> showMissionInfo;
    std::function<void(const char16_t* text)> showMessageLine;
    std::function<void(const char16_t* text)> confirmQuickLoad;
    std::function<bool(const char* path)> loadGameFile;
    std::function<bool(const char* path)> saveGame;
    std::function<void()> pauseGame;
    std::function<void()> closePauseWindow;
    std::function<void()> netPause;
    std::function<void()> openInGameMenu;
    std::function<void(std::uint32_t key)> setPendingKey;
    std::function<void()> toggleChat;
    std::function<bool()> isPlacingHouse;
    std::function<void()> cancelPlacement;
    std::function<bool()> miniMapShown;
    // The local player's panel flag: with it set, an open panel window keeps the minimap key.
    std::function<bool()> localPanelFlag;
    // Each of the five resources of every player in the game grows by the amount.
    std::function<void(double amount)> giveEveryPlayer;
    std::function<void(bool show)> showMiniMap;
    std::function<void()> resetMarketPanel;
    std::function<void()> localOrNetPlayerAction;
    std::function<void()> toggleViewMode;
    // Players.
    std::function<void(std::uint8_t player)> clearSelection;
    std::function<void(std::uint8_t player)> playerUnitsUpdate;
    std::function<bool(std::uint8_t player, std::uint16_t type)> advisorBuildHouse;
    // The unit at a position of the player's list; null beyond its end.
    std::function<TUnit*(std::uint8_t player, std::uint32_t position)> listedUnit;
    // Developer keys.
    std::function<std::uint16_t(float x, float y, std::uint8_t player, std::uint16_t type, int flag)> createUnitAt;
    std::function<void(float x, float y)> addExplosion;

    static TGameKeyServices Default();
};
TGameKeyServices& GameKeyServices();

// Binds the commands that run the game's own actions (the advisor's building, the building keys,
// cycling, centring the view, the window's activation) and the text-field test of the hot keys.
void InstallGameCommandHandlers();
