#pragma once
// The mouse: a thread of its own drains the buffered mouse device, keeps the shared mouse state
// (cursor position, button and event flags, the map points of clicks), draws the software cursor
// straight onto the front surface when it moves, and in network play turns clicks into orders.
// All of the state is guarded by g_InputLock (devices/cursor_state.h); whoever consumes a button
// or event flag reads and clears it under that lock.
#include <cstdint>

#include "devices/cursor_state.h"
#include "platform/input.h"
#include "platform/threads.h"

namespace plat {
class Texture;
class Window;
} // namespace plat
class TStrateg;
struct THeapItem;

constexpr int CURSOR_PATH_LENGTH = 100;
constexpr int FLAG_FRAME_COUNT = 8;
// Records the device keeps between two wake-ups of the thread.
constexpr std::size_t MOUSE_BUFFER_RECORDS = 64;
// A second left press sooner than this (milliseconds) is a double click.
constexpr std::uint32_t DOUBLE_CLICK_MS = 300;
// A right drag longer than this (map pixels) orients the selection.
constexpr float ORIENTATION_DRAG_MIN = 100.0f;
// A previous click point holds this while a trench or pontoon line has no start point yet.
constexpr std::int32_t NO_LINE_START = 999999;

extern plat::InputSystem* g_pDI;
extern plat::MouseDevice* g_pMouseDevice;
extern plat::Event* g_hMouseEvent;
extern plat::Thread* g_hMouseThread;

// Entries 8 and 9 are empty and get no surface.
extern const char g_CursorPaths[CURSOR_COUNT][CURSOR_PATH_LENGTH];

// Button and event flags (bytes); see the consumers' rules above.
extern std::uint8_t g_bLButtonDown;   // a left press waits for the frame
extern std::uint8_t g_bLButtonUp;     // a left release waits for the frame
extern std::uint8_t g_bLButtonHeld;   // the left button is physically down
extern std::uint8_t g_bRButtonDown;
extern std::uint8_t g_bRButtonUp;
extern std::uint8_t g_bRButtonHeld;
extern std::uint8_t g_bDoubleClick;   // the last left press came soon after the one before
extern std::uint32_t g_LastLPressTime; // device time stamp of the last left press
extern std::uint8_t g_bMouseMoved;
extern std::uint8_t g_bLPressOnMap;     // the last left press was not over the interface
extern std::uint8_t g_bLPressOnMiniMap; // the last left press was in the minimap
extern std::uint8_t g_bMapDragging;     // set by the map mouse code during a left drag on the map

// Map points (map pixels): the cursor's at the last button record, and at the last right press.
extern std::int32_t g_ClickMapX;
extern std::int32_t g_ClickMapY;
extern std::int32_t g_RPressMapX;
extern std::int32_t g_RPressMapY;
// The local interface's own click points: the map point of the latest button record and of the
// one before (the previous one NO_LINE_START while a line waits for its start). Under g_InputLock.
extern std::int32_t g_LocalClickX;
extern std::int32_t g_LocalClickY;
extern std::int32_t g_LocalPrevClickX;
extern std::int32_t g_LocalPrevClickY;
// Per player, game state that every machine keeps alike: the current and the previous press point
// (NO_LINE_START none). Written only by the map-mouse handlers on the main thread, inside a
// g_InputLock section; the main thread reads them freely, other threads never touch them. The mouse
// thread keeps the local click points above instead, so a local click never makes one machine's
// frame selection differ from another's.
extern std::int32_t g_PlayerClickX[8];
extern std::int32_t g_PlayerClickY[8];
extern std::int32_t g_PlayerPrevClickX[8];
extern std::int32_t g_PlayerPrevClickY[8];

// The animated waypoint flag: cloth and staff, frames 0..7.
extern plat::Texture* g_pFlagClothTex[FLAG_FRAME_COUNT];
extern plat::Texture* g_pFlagStaffTex[FLAG_FRAME_COUNT];

// Creates the device, loads the cursors and flags and starts the mouse thread. Called at start-up
// and after every display change; false (logged) on any failure, leaving everything released.
bool DirectInputInit(plat::Window* window);
// Stops and joins the mouse thread, then releases the device, its event, the cursors and flags.
// Must not be called while holding g_InputLock.
void DirectInputFree();
// Creates and configures the device and puts the cursor in the middle of the screen.
bool InitMouse(plat::Window* window);
// Acquires the device while the application is active, else unacquires it. Always false.
bool AcquireMouse();
// After lost surfaces: restores the cursor surfaces and reloads their pictures.
bool RestoreCursorSurfaces();

// The mouse thread's body: waits for records and runs one batch per wake-up until stopped.
void MouseThreadProc(plat::Thread& self);
// One batch under g_InputLock: drains the device, clamps the position, redraws the cursor.
void MouseThreadBatch();
// The length of the right drag, from the right press point to the cursor's map point (the caller
// holds g_InputLock).
float RightDragLength();
// Handles one record (the caller holds g_InputLock).
void HandleMouseRecord(const plat::MouseRecord& record);
// Moves the cursor drawn on front from (g_PrevMouseX, g_PrevMouseY) to (g_MouseX, g_MouseY),
// keeping g_pSurfUnderCursor equal to what the screen shows under the cursor.
void RedrawCursor(plat::Surface* front);
// The main thread's part: shows the front surface again when the mouse thread moved the cursor.
bool PresentFrontIfCursorMoved();

// The other subsystems' services that the record handler calls. Tests put recording stand-ins in
// their place; ResetMouseServices brings back the real ones.
struct TMouseServices {
    bool (*isNetGame)();
    bool (*isCursorOverInterface)();
    bool (*isPointInMiniMap)(std::int32_t x, std::int32_t y);
    void (*processMiniMap)(std::uint8_t flag);
    void (*releaseHousePhaseGraphic)(std::uint16_t type);
    void (*postDragEndCommand)();
    void (*postMapClickCommand)();
    void (*postMapOrderCommand)();
    void (*postOrientationCommand)();
    std::uint8_t (*getOrientToPoint)(float x0, float y0, float x1, float y1);
    void (*addCommand)(TStrateg* strateg, THeapItem* item);
};
extern TMouseServices g_MouseServices;
void ResetMouseServices();
