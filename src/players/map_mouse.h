#pragma once
// The mouse over the map view and the minimap turned into selections and orders. In network play
// the mouse thread builds order messages (the Post* builders) and every machine applies them later
// in the mouse handlers below, which the command dispatcher calls for the acting player; in single
// play ProcessMapMouse does the same work for MyPlayer once a frame.
#include <cstdint>
#include <functional>

#include "players/selection.h"

class THouse;
class TUnit;
struct TNetData;
struct THeapItem;
class TStrateg;

// Cursor modes (the cursor picture of the same number is shown). 1, 3 and 5 are armed by the
// interface for a special order and left alone here.
constexpr std::uint16_t CURSOR_MODE_NORMAL = 0;
constexpr std::uint16_t CURSOR_MODE_PATROL = 1;
constexpr std::uint16_t CURSOR_MODE_REPAIR = 2;
constexpr std::uint16_t CURSOR_MODE_RALLY_POINT = 3;
constexpr std::uint16_t CURSOR_MODE_ATTACK = 4;
constexpr std::uint16_t CURSOR_MODE_FIRE_AT_POINT = 5;
constexpr std::uint16_t CURSOR_MODE_RESOURCE = 6;
constexpr std::uint16_t CURSOR_MODE_ENTER = 7;

// Mouse command ids (class 4) and the orders the builders make in other classes.
constexpr std::uint8_t MOUSE_ID_FRAME = 27;
constexpr std::uint8_t MOUSE_ID_ORDER = 28;
constexpr std::uint8_t MOUSE_ID_PRESS = 29;
constexpr std::uint8_t MOUSE_ID_DRAG_END = 31;
constexpr std::uint8_t MOUSE_ID_ORIENT = 54;
constexpr std::uint8_t MOUSE_ID_SAME_TYPE = 67;
constexpr std::uint8_t ORDER_ID_PLACE_HOUSE = 7;
constexpr std::uint8_t ORDER_ID_RALLY_POINT = 8;
constexpr std::uint8_t ORDER_ID_AT_POINT = 9;
constexpr std::uint8_t ORDER_ID_TRENCH_LINE = 53;
constexpr std::uint8_t ORDER_ID_MAP_SIGNAL = 73;
// g_PlacingHouseType while a trench line is pending, as order 53 carries it.
constexpr std::uint32_t PENDING_TRENCH_LINE = 65534;
// The formation spacing a right drag may ask for at most.
constexpr float ORIENT_SPACING_MAX = 2000.0f;

// Under g_InputLock (the mouse thread's builders read and reset them; the interface arms them).
extern std::uint16_t g_CursorMode;
extern std::uint8_t g_OrderFlag; // parameter 0 of an order at a point

// Per player, game state that every machine keeps alike: a frame-selection drag of that player
// runs. Written only by the handlers (main thread) under g_InputLock; the mouse thread reads it
// under the lock.
extern std::uint8_t g_bNetDragging[8];

// The corner of the local player's running network drag and how often the mouse thread moved it.
// Under g_InputLock.
struct TNetDragCorner {
    std::uint8_t player = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
};
extern TNetDragCorner g_NetDragCorner;
extern std::uint32_t g_NetDragCount;

// Sets the cursor mode and the cursor picture (takes g_InputLock).
void SetCursorMode(std::uint16_t mode);

// The order builders (mouse thread, holding g_InputLock). Each does nothing while the game is
// paused, a front menu window is open or a game is being torn down.
void PostMapClickCommand();     // left press
void PostDragEndCommand();      // left release
void PostMapOrderCommand();     // right press
void PostOrientationCommand();  // right release

// The mouse handlers the dispatcher runs for the acting player p (ids 27, 28, 29, 31, 54, 67).
void SelectAtPointOrFrame(std::uint8_t p, std::int32_t x, std::int32_t y);
void OrderSelectionToPoint(std::uint8_t p, std::int32_t x, std::int32_t y);
void MousePressAtPoint(std::uint8_t p, std::int32_t x, std::int32_t y);
void MouseDragEnd(std::uint8_t p);
// orient 0..7 (others are refused); distance in map pixels.
void OrientSelection(std::uint8_t p, std::uint8_t orient, float distance);
void SelectSameTypeOnScreen(std::uint8_t p, std::int32_t x, std::int32_t y, const TMapRect& view);

// Per frame: the cursor mode in network play, and the whole map mouse of single play.
void UpdateCursorMode();
void ProcessMapMouse();

// Picking at a map point: the enemy's (or the player's own) unit whose drawn body holds the point;
// null when none. Cells outside the map are skipped.
TUnit* PickEnemyUnitAtPoint(std::uint8_t player, std::int32_t x, std::int32_t y);
TUnit* PickOwnUnitAtPoint(std::uint8_t player, std::int32_t x, std::int32_t y);
// A click at a point: selects or deselects the player's unit there, selects its building, or (for
// MyPlayer) describes a foreign object in the message line.
void SelectAtPoint(std::uint8_t p, std::int32_t x, std::int32_t y);

// The map point of a screen point on the minimap (truncated). Reads the map size, so the mouse
// thread calls it under g_InputLock.
void MiniMapPointToMap(std::int32_t mouseX, std::int32_t mouseY, std::int32_t& x, std::int32_t& y);

// What the map mouse calls above its floor or in modules built elsewhere. Tests put recording
// stand-ins here.
struct TMapMouseServices {
    std::function<void(TNetData*)> sendCommand;
    std::function<void(TStrateg*, THeapItem*)> addCommand;
    std::function<void(std::uint8_t player, std::int32_t x, std::int32_t y)> selectedUnitsGo;
    std::function<void(TUnit*, float x, float y, std::uint8_t flag)> unitOrderAtPoint;
    std::function<void(THouse*, float x, float y)> setHousePoint;
    std::function<void(std::uint8_t player, float x, float y, std::int32_t startX, std::int32_t startY)> digTrenchLine;
    std::function<bool()> isNetGame;
    std::function<bool()> isCursorOverInterface;
    std::function<bool(std::int32_t x, std::int32_t y)> isPointInMiniMap;
    std::function<bool(std::uint16_t x, std::uint16_t y)> fogHidesTile;
    std::function<void(const char16_t* text, std::uint32_t colour)> showMessageLine;
    static TMapMouseServices Default();
};
TMapMouseServices& MapMouseServices();
