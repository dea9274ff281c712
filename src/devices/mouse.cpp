#include "devices/mouse.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>

#include "core/app_state.h"
#include "core/error_log.h"
#include "devices/display.h"
#include "devices/image_files.h"
#include "map/map_objects.h"
#include "map/minimap.h"
#include "map/map_view.h"
#include "movement/directions.h"
#include "net/net_events.h"
#include "platform/clock.h"
#include "platform/texture.h"
#include "platform/window.h"
#include "players/command.h"
#include "players/map_mouse.h"
#include "players/strateg.h"
#include "ui/menus.h"
#include "ui/window_stack.h"

plat::InputSystem* g_pDI = nullptr;
plat::MouseDevice* g_pMouseDevice = nullptr;
plat::Event* g_hMouseEvent = nullptr;
plat::Thread* g_hMouseThread = nullptr;

const char g_CursorPaths[CURSOR_COUNT][CURSOR_PATH_LENGTH] = {
    "Data\\Misc\\Cursors\\Cursor_Default.bmp",
    "Data\\Misc\\Cursors\\Cursor_Patrol.bmp",
    "Data\\Misc\\Cursors\\Cursor_Build.bmp",
    "Data\\Misc\\Cursors\\Way_point2.bmp",
    "Data\\Misc\\Cursors\\Cursor_Attack.bmp",
    "Data\\Misc\\Cursors\\Cursor_AttackPoint.bmp",
    "Data\\Misc\\Cursors\\Cursor_Food.bmp",
    "Data\\Misc\\Cursors\\Cursor_GoIntoHouse.bmp",
    "",
    "",
};

std::uint8_t g_bLButtonDown = 0;
std::uint8_t g_bLButtonUp = 0;
std::uint8_t g_bLButtonHeld = 0;
std::uint8_t g_bRButtonDown = 0;
std::uint8_t g_bRButtonUp = 0;
std::uint8_t g_bRButtonHeld = 0;
std::uint8_t g_bDoubleClick = 0;
std::uint32_t g_LastLPressTime = 0;
std::uint8_t g_bMouseMoved = 0;
std::uint8_t g_bLPressOnMap = 0;
std::uint8_t g_bLPressOnMiniMap = 0;
std::uint8_t g_bMapDragging = 0;

std::int32_t g_ClickMapX = 0;
std::int32_t g_ClickMapY = 0;
std::int32_t g_RPressMapX = 0;
std::int32_t g_RPressMapY = 0;
std::int32_t g_LocalClickX = 0;
std::int32_t g_LocalClickY = 0;
std::int32_t g_LocalPrevClickX = 0;
std::int32_t g_LocalPrevClickY = 0;
std::int32_t g_PlayerClickX[8] = {};
std::int32_t g_PlayerClickY[8] = {};
std::int32_t g_PlayerPrevClickX[8] = {};
std::int32_t g_PlayerPrevClickY[8] = {};

plat::Texture* g_pFlagClothTex[FLAG_FRAME_COUNT] = {};
plat::Texture* g_pFlagStaffTex[FLAG_FRAME_COUNT] = {};

namespace {

void AddCommandToQueue(TStrateg* strateg, THeapItem* item)
{
    strateg->AddCommand(item);
}

constexpr TMouseServices kRealServices = {
    IsNetGame,
    IsCursorOverInterface,
    IsPointInMiniMap,
    ProcessMiniMap,
    ReleaseHousePhaseGraphic,
    PostDragEndCommand,
    PostMapClickCommand,
    PostMapOrderCommand,
    PostOrientationCommand,
    GetOrientToPoint,
    AddCommandToQueue,
};

// The objects that own what the raw pointers above point at.
std::unique_ptr<plat::InputSystem> s_Input;
std::unique_ptr<plat::MouseDevice> s_Mouse;
std::unique_ptr<plat::Event> s_MouseEvent;
std::unique_ptr<plat::Thread> s_MouseThread;

// Rows of the per-player tables; outside a game MyPlayer may be 255.
int LocalRow()
{
    return MyPlayer < 8 ? MyPlayer : 0;
}

std::int32_t AddSaturated(std::int32_t value, std::int32_t delta)
{
    const std::int64_t sum = static_cast<std::int64_t>(value) + delta;
    if (sum > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (sum < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(sum);
}

// The cursor's map point follows the cursor at once, so that a click in the same batch as the
// move lands where the cursor is and not where the last frame saw it.
void RefreshCursorMapPoint()
{
    g_CursorMapX = AddSaturated(g_ViewPixelX, g_MouseX);
    g_CursorMapY = AddSaturated(g_ViewPixelY, g_MouseY);
    // The map layers change only under g_InputLock, which the caller holds.
    plat::Point cell;
    GetCellFromPoint(static_cast<float>(g_CursorMapX), static_cast<float>(g_CursorMapY), cell);
    g_CursorCellX = static_cast<std::uint16_t>(cell.x);
    g_CursorCellY = static_cast<std::uint16_t>(cell.y);
}

bool MiniMapDragAllowed()
{
    const std::int32_t width = g_ScreenWidth;
    const std::int32_t height = g_ScreenHeight;
    return g_bMiniMapShown && g_MiniMapLeft < g_MouseX && g_MouseX < width - 12 && g_MiniMapTop < g_MouseY
        && g_MouseY < height - 12 && g_MainMenuWindow == nullptr && !g_bPaused;
}

void HandleMovement(const plat::MouseRecord& record)
{
    const auto delta = static_cast<std::int32_t>(record.data);
    if (record.offset == plat::kMouseOfsX)
        g_MouseX = AddSaturated(g_MouseX, delta);
    else
        g_MouseY = AddSaturated(g_MouseY, delta);
    RefreshCursorMapPoint();

    const bool netGame = g_MouseServices.isNetGame();
    if (netGame && g_bLPressOnMiniMap) {
        if (MiniMapDragAllowed())
            g_MouseServices.processMiniMap(0);
        return;
    }
    if (!netGame || !g_bNetDragging[LocalRow()] || g_NetMode == 2) {
        g_bMouseMoved = 1;
        return;
    }
    if (g_PlacingHouseType == -1) {
        g_NetDragCorner.player = MyPlayer;
        g_NetDragCorner.x = AddSaturated(static_cast<std::int32_t>(g_ViewX) * 96, g_MouseX);
        g_NetDragCorner.y = AddSaturated(static_cast<std::int32_t>(g_ViewY) * 24, g_MouseY);
        ++g_NetDragCount;
    } else {
        g_MouseServices.postDragEndCommand();
    }
}

void ShiftClickPoints()
{
    g_LocalPrevClickX = g_LocalClickX;
    g_LocalPrevClickY = g_LocalClickY;
    g_LocalClickX = g_CursorMapX;
    g_LocalClickY = g_CursorMapY;
}

void HandleLeftButton(const plat::MouseRecord& record)
{
    const bool pressed = (record.data & plat::kMouseButtonPressed) != 0;
    if (pressed) {
        g_bLButtonDown = 1;
        g_bLButtonUp = 0;
        g_bLButtonHeld = 1;
        g_bDoubleClick = (record.timeStamp - g_LastLPressTime) < DOUBLE_CLICK_MS ? 1 : 0;
        if (MiniMapDragAllowed())
            g_MouseServices.processMiniMap(0);
        g_LastLPressTime = record.timeStamp;
        if (g_MainMenuWindow == nullptr) {
            g_bLPressOnMap = g_MouseServices.isCursorOverInterface() ? 0 : 1;
            g_bLPressOnMiniMap = g_MouseServices.isPointInMiniMap(g_MouseX, g_MouseY) ? 1 : 0;
        }
    } else {
        g_bLButtonDown = 0;
        g_bLButtonUp = 1;
        g_bMapDragging = 0;
        g_bLButtonHeld = 0;
        g_bLPressOnMap = 0;
        g_bLPressOnMiniMap = 0;
    }
    g_bRButtonDown = 0;
    g_bRButtonUp = 0;
    g_ClickMapX = g_CursorMapX;
    g_ClickMapY = g_CursorMapY;
    g_InputToGame = 0;

    if (g_PlacingHouseType == -2 && g_LocalPrevClickX == NO_LINE_START) {
        g_LocalClickX = g_LocalPrevClickX = g_CursorMapX;
        g_LocalClickY = g_LocalPrevClickY = g_CursorMapY;
        return;
    }
    if (g_MouseServices.isNetGame()) {
        if (g_NetMode != 2) {
            if (pressed)
                g_MouseServices.postMapClickCommand();
            else
                g_MouseServices.postDragEndCommand();
        }
        return;
    }
    ShiftClickPoints();
}

void HandleRightButton(const plat::MouseRecord& record)
{
    const bool pressed = (record.data & plat::kMouseButtonPressed) != 0;
    g_bDoubleClick = 0;
    if (pressed) {
        g_bRButtonHeld = 1;
        g_RPressMapX = g_CursorMapX;
        g_RPressMapY = g_CursorMapY;
        g_bRButtonDown = 1;
        g_bRButtonUp = 0;
    } else {
        g_bRButtonHeld = 0;
        if (g_PlacingHouseType != -1) {
            // The release only cancels the site being chosen.
            g_MouseServices.releaseHousePhaseGraphic(static_cast<std::uint16_t>(g_PlacingHouseType));
            g_PlacingHouseType = -1;
            return;
        }
        g_bRButtonDown = 0;
        g_bRButtonUp = 1;
    }
    g_bLButtonDown = 0;
    g_bLButtonUp = 0;
    g_ClickMapX = g_CursorMapX;
    g_ClickMapY = g_CursorMapY;
    g_InputToGame = 0;

    if (g_MouseServices.isNetGame()) {
        if (g_NetMode != 2) {
            if (g_bRButtonDown)
                g_MouseServices.postMapOrderCommand();
            else if (g_bRButtonUp)
                g_MouseServices.postOrientationCommand();
        }
        return;
    }
    ShiftClickPoints();
    if (MyStrateg == nullptr || MyStrateg->NumSelectedUnits == 0)
        return;
    const float distance = RightDragLength();
    if (!(distance > ORIENTATION_DRAG_MIN))
        return;
    const std::uint8_t direction = g_MouseServices.getOrientToPoint(static_cast<float>(g_RPressMapX),
        static_cast<float>(g_RPressMapY), static_cast<float>(g_CursorMapX), static_cast<float>(g_CursorMapY));
    THeapItem* command = NewCommand(4, 54, static_cast<float>(direction), distance);
    if (command == nullptr)
        return;
    command->cikl += 1;
    g_MouseServices.addCommand(MyStrateg, command);
}

plat::Surface* CurrentCursorSurface()
{
    return g_CursorIndex < CURSOR_COUNT ? g_pCursorSurf[g_CursorIndex] : nullptr;
}

void ReleaseTexture(plat::Texture*& texture)
{
    if (texture)
        texture->Release();
    texture = nullptr;
}

void FlagPath(char (&path)[CURSOR_PATH_LENGTH], const char* folder, int number)
{
    std::snprintf(path, sizeof path, "Data\\Misc\\Cursors\\%s\\0%d.bmp", folder, number);
}

} // namespace

TMouseServices g_MouseServices = kRealServices;

void ResetMouseServices()
{
    g_MouseServices = kRealServices;
}

float RightDragLength()
{
    const float dx = static_cast<float>(g_CursorMapX) - static_cast<float>(g_RPressMapX);
    const float dy = static_cast<float>(g_CursorMapY) - static_cast<float>(g_RPressMapY);
    return std::sqrt(dx * dx + dy * dy);
}

void HandleMouseRecord(const plat::MouseRecord& record)
{
    switch (record.offset) {
    case plat::kMouseOfsX:
    case plat::kMouseOfsY: HandleMovement(record); break;
    case plat::kMouseOfsButton0: HandleLeftButton(record); break;
    case plat::kMouseOfsButton1: HandleRightButton(record); break;
    default: break; // wheel and further buttons
    }
}

void RedrawCursor(plat::Surface* front)
{
    if (front == nullptr || g_pSurfUnderCursor == nullptr || g_pCursorUnionSurf == nullptr)
        return;
    const int w = g_CursorWidth;
    const int h = g_CursorHeight;
    // A far-off position draws nothing either way; bounding it keeps the sums below in range.
    constexpr std::int32_t kFar = 1 << 20;
    const int x = std::clamp(g_MouseX, -kFar, kFar);
    const int y = std::clamp(g_MouseY, -kFar, kFar);
    const int px = std::clamp(g_PrevMouseX, -kFar, kFar);
    const int py = std::clamp(g_PrevMouseY, -kFar, kFar);
    const int screenW = front->Width();
    const int screenH = front->Height();
    plat::Surface* cursor = CurrentCursorSurface();

    if (std::abs(x - px) < w && std::abs(y - py) < h) {
        // One write to the screen for both rectangles, so the cursor never flickers.
        const int left = std::min(x, px);
        const int top = std::min(y, py);
        const int unionW = std::min(w + std::abs(x - px), screenW - left);
        const int unionH = std::min(h + std::abs(y - py), screenH - top);
        if (unionW <= 0 || unionH <= 0)
            return;
        const plat::Rect box{left, top, left + unionW, top + unionH};
        BltSurface(g_pCursorUnionSurf, front, &box, 0, 0, false);
        BltSurface(g_pCursorUnionSurf, g_pSurfUnderCursor, nullptr, px - left, py - top, false);
        const plat::Rect under{x - left, y - top, x - left + w, y - top + h};
        BltSurface(g_pSurfUnderCursor, g_pCursorUnionSurf, &under, 0, 0, false);
        BltSurface(g_pCursorUnionSurf, cursor, &g_CursorRect, x - left, y - top, true);
        const plat::Rect all{0, 0, unionW, unionH};
        BltSurface(front, g_pCursorUnionSurf, &all, left, top, false);
    } else {
        BltSurface(front, g_pSurfUnderCursor, nullptr, px, py, false);
        const plat::Rect under{x, y, std::min(x + w, screenW), std::min(y + h, screenH)};
        if (!under.Empty())
            BltSurface(g_pSurfUnderCursor, front, &under, 0, 0, false);
        BltSurface(front, cursor, &g_CursorRect, x, y, true);
    }
}

void MouseThreadBatch()
{
    std::lock_guard lock(g_InputLock);
    g_PrevMouseX = g_MouseX;
    g_PrevMouseY = g_MouseY;
    if (g_pMouseDevice) {
        plat::MouseRecord record;
        for (;;) {
            const plat::MouseRead result = g_pMouseDevice->Read(record);
            if (result == plat::MouseRead::InputLost) {
                if (g_bAppActive)
                    g_pMouseDevice->Acquire();
                else
                    g_pMouseDevice->Unacquire();
                break;
            }
            if (result != plat::MouseRead::Record)
                break;
            HandleMouseRecord(record);
        }
    }
    // Once per batch: records inside the batch see the unclamped sum.
    const std::int32_t maxX = std::max(0, static_cast<int>(g_ScreenWidth) - 4);
    const std::int32_t maxY = std::max(0, static_cast<int>(g_ScreenHeight) - 4);
    g_MouseX = std::clamp(g_MouseX, 0, maxX);
    g_MouseY = std::clamp(g_MouseY, 0, maxY);
    if (g_MouseX == g_PrevMouseX && g_MouseY == g_PrevMouseY)
        return;
    RefreshCursorMapPoint();
    if (g_bCursorVisible) {
        RedrawCursor(g_pDDSPrimary);
        if (g_pDD && g_pDD->window)
            g_pDD->window->MarkFrontChanged();
    }
}

void MouseThreadProc(plat::Thread& self)
{
    plat::Event* event = g_hMouseEvent;
    while (!self.StopRequested()) {
        if (event)
            event->Wait();
        else
            plat::SleepMs(10);
        if (self.StopRequested())
            break;
        MouseThreadBatch();
    }
}

bool InitMouse(plat::Window*)
{
    if (!s_Input)
        return false;
    s_Mouse = s_Input->CreateMouse();
    if (!s_Mouse)
        return false;
    g_pMouseDevice = s_Mouse.get();
    if (!g_pMouseDevice->SetBufferSize(MOUSE_BUFFER_RECORDS))
        return false;
    s_MouseEvent = std::make_unique<plat::Event>(false, false);
    g_hMouseEvent = s_MouseEvent.get();
    g_pMouseDevice->SetNotifyEvent(g_hMouseEvent);
    std::lock_guard lock(g_InputLock);
    g_MouseX = g_ScreenWidth / 2;
    g_MouseY = g_ScreenHeight / 2;
    return true;
}

bool DirectInputInit(plat::Window* window)
{
    if (g_pDD == nullptr) {
        ReportError("DirectInputInit: no display");
        return false;
    }
    if (g_pDI != nullptr)
        DirectInputFree();
    g_NetDragCount = 0;

    s_Input = plat::InputSystem::Create();
    g_pDI = s_Input.get();
    if (!g_pDI) {
        ReportError("!DirectInputCreate");
        return false;
    }
    if (!InitMouse(window)) {
        ReportError("!InitMouse(hWnd)");
        DirectInputFree();
        return false;
    }
    s_MouseThread = std::make_unique<plat::Thread>();
    g_hMouseThread = s_MouseThread.get();

    const std::uint16_t magenta = MakeColor16(255, 0, 255);
    for (int i = 0; i < CURSOR_COUNT; ++i) {
        if (g_CursorPaths[i][0] == 0)
            continue;
        g_pCursorSurf[i] = CreateSurfaceFromBmpFile(g_CursorPaths[i], magenta, false);
        if (!g_pCursorSurf[i]) {
            ReportError2("Cant load ", g_CursorPaths[i]);
            DirectInputFree();
            return false;
        }
    }
    for (int n = 1; n <= FLAG_FRAME_COUNT; ++n) {
        char path[CURSOR_PATH_LENGTH];
        FlagPath(path, "Polotnishe", n);
        g_pFlagClothTex[n - 1] = LoadTextureFromFile(path);
        if (!g_pFlagClothTex[n - 1]) {
            ReportError2("Cant load ", path);
            DirectInputFree();
            return false;
        }
        FlagPath(path, "Flagshtok", n);
        g_pFlagStaffTex[n - 1] = LoadTextureFromFile(path);
        if (!g_pFlagStaffTex[n - 1]) {
            ReportError2("Cant load ", path);
            DirectInputFree();
            return false;
        }
    }

    // Every cursor is drawn with the size of cursor 0, which the u8 size globals must hold.
    const int cursorW = g_pCursorSurf[0]->Width();
    const int cursorH = g_pCursorSurf[0]->Height();
    if (cursorW < 1 || cursorH < 1 || cursorW > 255 || cursorH > 255) {
        ReportErrorInt("Cursor picture too large or empty, width ", cursorW);
        DirectInputFree();
        return false;
    }
    {
        std::lock_guard lock(g_InputLock);
        g_CursorWidth = static_cast<std::uint8_t>(cursorW);
        g_CursorHeight = static_cast<std::uint8_t>(cursorH);
        g_CursorRect = {0, 0, cursorW, cursorH};
        g_pSurfUnderCursor = CreateOffscreenSurface(cursorW, cursorH, magenta, false);
        if (!g_pSurfUnderCursor)
            ReportError("g_pSurfUnderCursor ");
        else if (!(g_pCursorUnionSurf = CreateOffscreenSurface(cursorW * 2, cursorH * 2, magenta, false)))
            ReportError("g_pCursorUnionSurf");
    }
    if (!g_pSurfUnderCursor || !g_pCursorUnionSurf) {
        DirectInputFree();
        return false;
    }

    if (g_bAppActive)
        g_pMouseDevice->Acquire();
    else
        g_pMouseDevice->Unacquire();
    plat::SyncRelativeMouseMode();
    plat::Event* event = g_hMouseEvent;
    g_hMouseThread->SetWakeHandler([event] { event->Set(); });
    if (!g_hMouseThread->Start(MouseThreadProc)) {
        ReportError("DirectInputInit: the mouse thread did not start");
        DirectInputFree();
        return false;
    }
    return true;
}

void DirectInputFree()
{
    // The thread goes first: it must not be inside a batch while the device, the event or the
    // cursor surfaces go away.
    if (s_MouseThread) {
        s_MouseThread->RequestStop();
        s_MouseThread->Join();
    }
    std::lock_guard lock(g_InputLock);
    g_hMouseThread = nullptr;
    s_MouseThread.reset();
    if (s_Mouse) {
        s_Mouse->Unacquire();
        s_Mouse->SetNotifyEvent(nullptr);
        plat::SyncRelativeMouseMode();
    }
    g_pMouseDevice = nullptr;
    s_Mouse.reset();
    g_hMouseEvent = nullptr;
    s_MouseEvent.reset();
    g_pDI = nullptr;
    s_Input.reset();
    for (auto& surface : g_pCursorSurf)
        plat::ReleaseSurface(surface);
    for (int i = 0; i < FLAG_FRAME_COUNT; ++i) {
        ReleaseTexture(g_pFlagClothTex[i]);
        ReleaseTexture(g_pFlagStaffTex[i]);
    }
    plat::ReleaseSurface(g_pCursorUnionSurf);
    plat::ReleaseSurface(g_pSurfUnderCursor);
}

bool AcquireMouse()
{
    if (g_pMouseDevice) {
        if (g_bAppActive)
            g_pMouseDevice->Acquire();
        else
            g_pMouseDevice->Unacquire();
        plat::SyncRelativeMouseMode();
    }
    return false;
}

bool RestoreCursorSurfaces()
{
    // The mouse thread draws with these surfaces; it must not see them half reloaded.
    std::lock_guard lock(g_InputLock);
    if (!g_pCursorUnionSurf)
        return true;
    if (g_pCursorUnionSurf->IsLost())
        g_pCursorUnionSurf->Restore();
    if (g_pSurfUnderCursor && g_pSurfUnderCursor->IsLost())
        g_pSurfUnderCursor->Restore();
    for (int i = 0; i < CURSOR_COUNT; ++i) {
        if (g_CursorPaths[i][0] == 0 || g_pCursorSurf[i] == nullptr)
            continue;
        if (g_pCursorSurf[i]->IsLost())
            g_pCursorSurf[i]->Restore();
        if (!LoadBmpToSurface(g_pCursorSurf[i], g_CursorPaths[i])) {
            ReportError2("Cant load ", g_CursorPaths[i]);
            return false;
        }
    }
    return true;
}

bool PresentFrontIfCursorMoved()
{
    if (g_pDD == nullptr || g_pDD->window == nullptr || !g_pDD->window->TakeFrontChanged())
        return false;
    return PresentFront();
}
