// Binds the start-up, loop and frame services to the modules that provide them, and holds the
// application's own start-up work (the window, the fonts and the pen).
#include <cstdlib>
#include <string>

#include "combat/effects.h"
#include "core/app_state.h"
#include "core/archive.h"
#include "game/command_line.h"
#include "core/font_list.h"
#include "game/frame_drawing.h"
#include "game/game_keys.h"
#include "game/game_load.h"
#include "game/test_hooks.h"
#include "game/game_main.h"
#include "core/loader_thread.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "devices/cursor_state.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/mouse.h"
#include "devices/music.h"
#include "devices/sound.h"
#include "devices/video.h"
#include "platform/input.h"
#include "editor/editor.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "net/network.h"
#include "platform/clock.h"
#include "platform/draw.h"
#include "platform/font.h"
#include "platform/messages.h"
#include "platform/events.h"
#include "platform/single_instance.h"
#include "platform/text.h"
#include "platform/window.h"
#include "players/hot_keys.h"
#include "players/strateg.h"
#include "ui/windows.h"
#include "units/unit_types.h"

plat::Font* g_hFont0 = nullptr;
plat::Font* g_hFont1 = nullptr;
plat::Font* g_hFont2 = nullptr;
plat::Font* g_hFont3 = nullptr;
plat::Pen g_hPen;
std::uint8_t g_GameSpeedTable[256];

namespace {

const char kWindowClass[] = "Dorvane";
const char kWindowTitle[] = "Dorvane ";

bool InitApp()
{
    g_NetMode = 0;
    g_RandSeed = static_cast<std::uint32_t>(plat::GetCalendarTime());
    for (int i = 0; i < 256; ++i)
        g_GameSpeedTable[i] = static_cast<std::uint8_t>(i);
    g_GameSpeed = 53;

    plat::Window* window = plat::CreateMainWindow(kWindowTitle, 1024, 768, g_bWindowed == 0);
    if (!window)
        return false;

    const TFontList fonts(FONT_LIST_FILE);
    plat::Font** slots[4] = {&g_hFont0, &g_hFont1, &g_hFont2, &g_hFont3};
    const int weights[4] = {400, 400, 700, 700};
    for (int i = 0; i < 4; ++i) {
        const TFontEntry e = fonts.GetEntry(i);
        *slots[i] = plat::CreateFont({plat::Cp1251ToUtf8(e.name), e.height, weights[i], e.charset, false});
        // A height the face cannot take (logged by CreateFont) falls back to the list's default.
        if (!*slots[i])
            *slots[i] = plat::CreateFont(
                {plat::Cp1251ToUtf8(e.name), TFontList::kDefaultHeight, weights[i], e.charset, false});
    }
    g_hPen = plat::Pen{plat::kPenSolid, 2, 0x2828C8};
    SetSurfaceTextFont(g_hFont0, 0x99F7FF);
    // The game draws its own cursor; activation follows the window's real focus.
    g_bAppActive = window->HasInputFocus() ? 1 : 0;
    return true;
}

void FreeFonts()
{
    if (g_TextFont == g_hFont0 || g_TextFont == g_hFont1 || g_TextFont == g_hFont2 || g_TextFont == g_hFont3)
        g_TextFont = nullptr;
    plat::ReleaseFont(g_hFont0);
    plat::ReleaseFont(g_hFont1);
    plat::ReleaseFont(g_hFont2);
    plat::ReleaseFont(g_hFont3);
}

// A test seam: KORVELA_TEST_FRAMES=n asks the program to close itself after n frames, as if the
// player had closed the window, so that runs without a player end by themselves.
void CountTestFrames()
{
    static const long limit = [] {
        const char* v = std::getenv("KORVELA_TEST_FRAMES");
        return v ? std::strtol(v, nullptr, 10) : 0L;
    }();
    static long frames = 0;
    if (limit > 0 && ++frames == limit)
        plat::PostAppMessage(plat::MSG_CLOSE);
}

} // namespace

TAppServices DefaultAppServices()
{
    TAppServices s;

    s.ParseCommandLine = ::ParseCommandLine;
    s.IsAnotherCopyRunning = [] { return !plat::AcquireSingleInstance(kWindowClass, kWindowTitle); };
    s.ShowMessageBox = [](const char* text) { plat::ShowMessageBox("Error", text); };
    s.InitApp = InitApp;
    s.ini_unpack = ::ini_unpack;
    s.LoadGameInfo = ::LoadGameInfo;
    s.DirectDrawInit = [] { return ::DirectDrawInit(plat::MainWindow(), 0); };
    s.Direct3DInit = ::Direct3DInit;
    s.IniDirectSound = [] { return ::IniDirectSound(plat::MainWindow()); };
    s.IniDirectMedia = [] {
        SetVideoDisplaySwitch(RecreateDevices);
        return ::IniDirectMedia();
    };
    s.InitRandomTable = ::InitRandomTable;
    s.InitWindows = ::InitWindows;
    s.ReadMenuTxt = ::ReadMenuTxt;
    s.UnitInit = ::UnitInit;
    s.ParticlesInit = ::ParticlesInit;
    s.LoadHouseSelTexture = ::LoadHouseSelTexture;
    s.DirectInputInit = [] {
        plat::SetMouseEventSink(plat::HandleMouseEventFromPump);
        return ::DirectInputInit(plat::MainWindow());
    };
    s.HostGameFromCommandLine = [](const std::u16string& name, std::uint16_t port) {
        return ::HostGameFromCommandLine(name, port, 2);
    };
    s.JoinGameFromCommandLine = [](const std::u16string& name, const std::u16string& address, std::uint16_t port) {
        return ::JoinGameFromCommandLine(name, address, port, 1);
    };
    s.MakeMainMenu = [] {
        // The menu writes its slot; the mouse thread tests the slot under the same lock.
        std::lock_guard lock(g_InputLock);
        ::MakeMenu(0, &g_MainMenuWindow);
    };
    s.StartTestGame = ::StartTestGame;
    s.EndRunningGame = [] {
        WriteTestShot();
        WriteTestUnits();
        if (g_bGameLoaded)
            FreeGame();
    };

    s.IsLoaderIdle = [] { return g_Loader.IsIdle(); };
    s.StopLoader = [] {
        ::StopLoader();
        g_Loader.Shutdown();
    };
    s.FreeHouseSelTexture = ::FreeHouseSelTexture;
    s.ParticlesFree = ::ParticlesFree;
    s.UnitDone = ::UnitDone;
    s.CloseMainMenuWindow = [] {
        std::lock_guard lock(g_InputLock);
        ::CloseWindow(g_MainMenuWindow);
        g_MainMenuWindow = nullptr;
    };
    s.DirectInputFree = ::DirectInputFree;
    s.FreeMenuTxt = ::FreeMenuTxt;
    s.CloseAllWindows = ::CloseAllWindows;
    s.FreeDirectMedia = ::FreeDirectMedia;
    s.RestoreWaveVolume = [] {
        FreeMusic();
        ::RestoreWaveVolume();
    };
    s.Direct3DFree = ::Direct3DFree;
    s.DirectDrawFree = [] {
        ::DirectDrawFree();
        plat::DestroyMainWindow();
    };
    s.FreeFonts = FreeFonts;
    s.FreeLesSlots = ::FreeLesSlots;

    s.AcquireMouse = [] { ::AcquireMouse(); };
    s.ResumeMusic = ::ResumeMusic;
    s.StopMusic = ::StopMusic;
    s.VideoMessageStep = [] { ::VideoWindowProc(); };
    s.IsNetGame = ::IsNetGame;
    s.PostHotKeyCommand = [](int id) { ::PostHotKeyCommand(static_cast<std::uint16_t>(id), 0, 0); };
    s.MapKey = MapGameKey;
    s.EditorHandleMessage = ::EditorHandleMessage;
    s.GameKeyHandler = [](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        // Escape skips a playing film before the key does anything else.
        if (message == plat::MSG_KEYDOWN && wParam == plat::VK_ESCAPE && g_VideoPlaying)
            SkipVideo();
        return GameKeyMessage(message, wParam, lParam);
    };
    s.NetCheckEnoughPlayers = ::NetCheckEnoughPlayers;
    s.NetSendPlayerValue = ::NetSendPlayerValue;
    s.HandleNetMessage = ::HandleNetMessage;
    s.VideoPlayerExists = [] { return g_pVideoPlayer != nullptr; };
    s.HandleVideoEvent = ::HandleVideoEvent;

    s.UpdateMusic = ::UpdateMusic;
    s.VideoFrameStep = ::VideoWindowProc;
    s.PrimarySurfaceLost = [] { return g_pDDSPrimary && g_pDDSPrimary->IsLost(); };
    s.RestoreAllSurfaces = ::RestoreAllSurfaces;
    s.MenuWindowOpen = [] { return g_MainMenuWindow != nullptr; };
    s.MousePosition = [](std::int32_t& x, std::int32_t& y) {
        std::lock_guard lock(g_InputLock);
        x = g_MouseX;
        y = g_MouseY;
    };
    s.ScreenSize = [](std::int32_t& w, std::int32_t& h) { w = g_ScreenWidth, h = g_ScreenHeight; };
    s.ScrollLimits = [](std::int32_t (&v)[6]) {
        v[0] = g_ViewX, v[1] = g_ViewY, v[2] = g_ViewCols, v[3] = g_ViewRows, v[4] = g_MapWidth, v[5] = g_MapHeight;
    };
    s.ScrollMap = ::ScrollMap;
    s.IsPointInMiniMap = ::IsPointInMiniMap;
    s.ProcessMiniMap = ::ProcessMiniMap;
    s.WindowsHandleInput = ::WindowsHandleInput;
    s.EditorBuildUnitDrawLists = ::EditorBuildUnitDrawLists;
    s.NetworkFrame = [] {
        const std::uint32_t before = g_FrameCounter;
        ::NetworkFrame();
        if (g_FrameCounter != before)
            WriteTestHashLine();
    };
    s.EditorFrame = ::EditorFrame;
    s.RenderFrame = [] {
        ::RenderFrame();
        CountTestFrames();
    };
    s.UpdateCursorMode = ::UpdateCursorMode;
    s.ProcessMapMouse = ::ProcessMapMouse;

    s.LoopTurn = [] {
        plat::SyncRelativeMouseMode();
        PresentFrontIfCursorMoved();
    };
    s.GetTickCount = plat::GetTickCountMs;
    s.Sleep = plat::SleepMs;
    s.LocalPlayer = [] { return static_cast<int>(MyPlayer); };
    return s;
}
