#include "game/game_main.h"

#include <mutex>
#include <string>

#include "game/command_line.h"
#include "core/error_log.h"
#include "game/frame_rules.h"
#include "game/key_mapping.h"
#include "core/settings.h"
#include "core/app_state.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "devices/cursor_state.h"
#include "devices/display.h"
#include "platform/events.h"
#include "platform/messages.h"
#include "platform/text.h"

std::uint32_t g_LastFrameTick = 0;

namespace {

TFpsMeter g_FpsMeter;

// Hot-key commands that carry the modifier states across a network game.
constexpr int HOTKEY_SHIFT = 32;
constexpr int HOTKEY_CTRL = 33;

bool Fatal(bool ok, const char* failure)
{
    if (!ok)
        ReportError(failure);
    return ok;
}

void WaitForLoaderIdle()
{
    auto& s = AppServices();
    while (!s.IsLoaderIdle())
        s.Sleep(200);
}

int LocalPlayerIndex()
{
    const int p = AppServices().LocalPlayer();
    return p >= 0 && p < 8 ? p : 0;
}

// Shift, then Ctrl: in single play the local entry follows the key; in a network game the
// difference is sent as a hot-key command, which changes the entry on every machine at once.
void SyncModifier(std::uint32_t virtualKey, std::uint8_t* entries, int command)
{
    auto& s = AppServices();
    const bool held = (plat::GetKeyState(virtualKey) & 0x8000) != 0;
    const int me = LocalPlayerIndex();
    if (!s.IsNetGame())
        entries[me] = held;
    else if ((entries[me] != 0) != held)
        s.PostHotKeyCommand(command);
}

// The window-level messages of the game's handler; keys go to the key handler.
bool GameWndHandler(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    auto& s = AppServices();
    switch (message) {
    case plat::MSG_CLOSE:
        if (s.NetCheckEnoughPlayers() != 0)
            return false;
        g_bQuitRequest = 1;
        return true;
    case plat::MSG_TIMER:
        s.NetSendPlayerValue(wParam, lParam);
        return true;
    case plat::MSG_NETEVENT:
        s.HandleNetMessage(wParam, lParam);
        return true;
    case plat::MSG_VIDEOEVENT:
        if (s.VideoPlayerExists())
            s.HandleVideoEvent();
        return true;
    case plat::MSG_KEYDOWN:
    case plat::MSG_KEYUP:
    case plat::MSG_CHAR:
        return s.GameKeyHandler(message, wParam, lParam);
    default:
        return true;
    }
}

// What the system's default processing does with the messages the game passes on.
void DefaultWindowProc(std::uint32_t message)
{
    if (message == plat::MSG_CLOSE)
        plat::RequestWindowDestroy();
}

// Takes the next message: without waiting while the application is active, else waiting for one.
bool NextMessage(plat::Message& msg, bool wait)
{
    for (;;) {
        plat::PumpEvents();
        if (plat::PeekAppMessage(msg, true))
            return true;
        if (!wait)
            return false;
        plat::WaitAppMessage(10);
    }
}

} // namespace

TAppServices& AppServices()
{
    static TAppServices services = DefaultAppServices();
    return services;
}

std::uint32_t StartTimer()
{
    g_LastFrameTick = AppServices().GetTickCount();
    return g_LastFrameTick;
}

float MeasureFramesPerSecond()
{
    return g_FpsMeter.Sample(AppServices().GetTickCount(), g_LastFrameTick);
}

int StartUp(const char* commandLine)
{
    auto& s = AppServices();
    if (!s.ParseCommandLine(commandLine)) {
        s.ShowMessageBox("Command line fatal error");
        plat::PostAppMessage(plat::MSG_QUIT, 2);
        return 2;
    }
    if (s.IsAnotherCopyRunning()) {
        plat::PostAppMessage(plat::MSG_QUIT, 1);
        return 1;
    }
    if (!Fatal(s.InitApp(), "InitApp() FAILED") || !Fatal(s.ini_unpack(), "ini_unpack() FAILED"))
        return 0;
    s.LoadGameInfo();
    if (!Fatal(s.DirectDrawInit(), "DirectDrawInit() FAILED") || !Fatal(s.Direct3DInit(), "Direct3DInit() FAILED"))
        return 0;
    if (!s.IniDirectSound())
        ReportError("IniDirectSound() FAILED");
    if (!s.IniDirectMedia())
        ReportError("IniDirectMedia() FAILED");
    s.InitRandomTable();
    s.InitWindows();
    s.ReadMenuTxt();
    if (!Fatal(s.UnitInit(), "UnitInit() FAILED") || !Fatal(s.ParticlesInit(), "ParticlesInit() FAILED"))
        return 0;
    s.LoadHouseSelTexture();
    if (!Fatal(s.DirectInputInit(), "DirectInputInit() FAILED"))
        return 0;
    // The command-queue and text-buffer locks are objects that live from static initialisation on,
    // so they exist before any thread that takes them.
    StartTimer();

    plat::Message first;
    plat::PumpEvents();
    const bool gotFirst = plat::PeekAppMessage(first, true);

    if (g_bNetStart && g_pNetStart) {
        const TNetStartInfo info = *g_pNetStart;
        delete g_pNetStart;
        g_pNetStart = nullptr;
        const bool ok = info.mode == 0 ? s.HostGameFromCommandLine(info.name, info.port)
                                       : s.JoinGameFromCommandLine(info.name, info.address, info.port);
        if (!ok) {
            plat::PostAppMessage(plat::MSG_QUIT, 3);
            return 3;
        }
    } else {
        s.MakeMainMenu();
        if (s.StartTestGame)
            s.StartTestGame();
    }
    if (gotFirst && first.message == plat::MSG_QUIT)
        return 0;
    if (gotFirst)
        WindowProc(first.message, first.wParam, first.lParam);
    return -1;
}

int KorvelaMain(const char* commandLine)
{
    // The game folder is known by now; the key mapping applies to every key message from here on.
    LoadKeyMapping();
    int code = StartUp(commandLine);
    if (code < 0)
        code = RunMainLoop();
    StopThreadsAndAudio();
    return code;
}

void StopThreadsAndAudio()
{
    // Static destructors run in no fixed order, and a thread still running then may touch what
    // is already gone. Each step does nothing when its part was never started or is stopped.
    auto& s = AppServices();
    s.StopLoader();
    s.DirectInputFree();
    s.FreeDirectMedia();
    s.RestoreWaveVolume();
}

int RunMainLoop()
{
    plat::Message msg;
    for (;;) {
        if (g_bQuitRequest) {
            ShutdownApp();
            plat::PostAppMessage(plat::MSG_QUIT, 0);
            return 0;
        }
        const bool active = g_bAppActive != 0;
        AppServices().LoopTurn();
        if (NextMessage(msg, !active)) {
            if (msg.message == plat::MSG_QUIT)
                return 0;
            WindowProc(msg.message, msg.wParam, msg.lParam);
        } else if (active) {
            GameFrame();
        }
    }
}

void ShutdownApp()
{
    auto& s = AppServices();
    if (s.EndRunningGame)
        s.EndRunningGame();
    WaitForLoaderIdle();
    s.StopLoader();
    s.FreeHouseSelTexture();
    s.ParticlesFree();
    s.UnitDone();
    s.CloseMainMenuWindow();
    s.DirectInputFree();
    s.FreeMenuTxt();
    if (!s.CloseAllWindows())
        ReportError("Проблемы с выгрузкой интерфейса!!!");
    s.FreeDirectMedia();
    s.RestoreWaveVolume();
    s.Direct3DFree();
    s.DirectDrawFree();
    s.FreeFonts();
    WaitForLoaderIdle();
    s.FreeLesSlots();
    delete g_pNetStart;
    g_pNetStart = nullptr;
}

std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    auto& s = AppServices();
    switch (message) {
    case plat::MSG_ACTIVATEAPP:
        g_bAppActive = wParam != 0;
        s.AcquireMouse();
        return 0;
    case plat::MSG_DESTROY:
        plat::PostAppMessage(plat::MSG_QUIT, 0);
        return 0;
    case plat::MSG_ACTIVATE:
        if ((wParam & 0xFFFF) != 0) {
            s.ResumeMusic();
            SyncModifier(plat::VK_SHIFT, g_ShiftDown, HOTKEY_SHIFT);
            SyncModifier(plat::VK_CONTROL, g_CtrlDown, HOTKEY_CTRL);
            s.VideoMessageStep();
        } else {
            s.StopMusic();
        }
        break;
    case plat::MSG_KEYDOWN:
    case plat::MSG_KEYUP:
    case plat::MSG_CHAR:
        wParam = s.MapKey(static_cast<std::uint32_t>(wParam));
        break;
    default:
        break;
    }
    const bool passOn = g_bEditorMode ? s.EditorHandleMessage(message, wParam, lParam)
                                      : GameWndHandler(message, wParam, lParam);
    if (passOn)
        DefaultWindowProc(message);
    return 0;
}

void GameFrame()
{
    auto& s = AppServices();
    s.UpdateMusic();
    if (s.VideoFrameStep())
        return;
    if (s.PrimarySurfaceLost() && !s.RestoreAllSurfaces())
        ReportError("RestoreAllSurfaces() FAILED");

    if (!s.MenuWindowOpen()) {
        if (!g_bPaused) {
            std::int32_t x = 0, y = 0, w = 0, h = 0;
            std::int32_t v[6] = {};
            s.MousePosition(x, y);
            s.ScreenSize(w, h);
            s.ScrollLimits(v);
            const TScrollStep step = EdgeScrollStep(x, y, w, h, TScrollLimits{v[0], v[1], v[2], v[3], v[4], v[5]});
            if (step.Moves()) {
                s.ScrollMap(step.dx, step.dy);
                g_ScrollFlag = 1;
            }
        }
        bool miniMapClick = false;
        {
            std::lock_guard lock(g_InputLock);
            miniMapClick = g_MiniMapClick != 0 && !s.MenuWindowOpen();
            if (miniMapClick)
                g_MiniMapClick = 0;
        }
        if (miniMapClick) {
            std::int32_t x = 0, y = 0;
            s.MousePosition(x, y);
            if (s.IsPointInMiniMap(x, y))
                s.ProcessMiniMap(1);
        }
    }
    s.WindowsHandleInput();
    if (!s.MenuWindowOpen()) {
        if (g_bEditorMode)
            s.EditorBuildUnitDrawLists();
        else if (!g_bPaused)
            s.NetworkFrame();
    }
    if (g_bEditorMode)
        s.EditorFrame();
    else
        s.RenderFrame();
    if (!s.MenuWindowOpen()) {
        if (!g_bPaused) {
            if (s.IsNetGame())
                s.UpdateCursorMode();
            else
                s.ProcessMapMouse();
        }
        const std::int32_t remaining =
            static_cast<std::int32_t>(g_GameSpeed + g_LastFrameTick - s.GetTickCount());
        const std::uint32_t sleep = PacingSleepMs(remaining, g_ScrollFlag, g_MouseScrollSpeed, g_KeyScrollSpeed);
        if (sleep)
            s.Sleep(sleep);
    }
    g_ScrollFlag = 0;
    g_Fps = MeasureFramesPerSecond();
    StartTimer();
}

void DrawNumber(plat::Surface* surface, int x, int y, int value)
{
    if (!surface)
        return;
    DrawSurfaceText(surface, x, y, plat::Utf8ToUtf16(std::to_string(value)));
}

void DrawNumberColored(plat::Surface* surface, int x, int y, int value, std::uint32_t colour)
{
    if (!surface)
        return;
    const std::uint32_t previous = g_TextColor;
    g_TextColor = colour;
    DrawTextWithBackground(surface, x, y, plat::Utf8ToUtf16(std::to_string(value)), true);
    g_TextColor = previous;
}
