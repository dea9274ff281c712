// Binds the start-up, loop and frame services to the modules that provide them.
#include "core/command_line.h"
#include "core/game_main.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/single_instance.h"

TAppServices DefaultAppServices()
{
    TAppServices s;
    const auto yes = [] { return true; };
    const auto no = [] { return false; };
    const auto nothing = [] {};

    s.ParseCommandLine = ::ParseCommandLine;
    s.IsAnotherCopyRunning = [] { return !plat::AcquireSingleInstance("Dorvane", "Dorvane "); };
    s.ShowMessageBox = [](const char* text) { plat::ShowMessageBox("Error", text); };
    s.InitApp = yes;
    s.ini_unpack = yes;
    s.LoadGameInfo = nothing;
    s.DirectDrawInit = yes;
    s.Direct3DInit = yes;
    s.IniDirectSound = yes;
    s.IniDirectMedia = yes;
    s.InitRandomTable = nothing;
    s.InitWindows = nothing;
    s.ReadMenuTxt = nothing;
    s.UnitInit = yes;
    s.ParticlesInit = yes;
    s.LoadHouseSelTexture = nothing;
    s.DirectInputInit = yes;
    s.HostGameFromCommandLine = [](const std::u16string&, std::uint16_t) { return false; };
    s.JoinGameFromCommandLine = [](const std::u16string&, const std::u16string&, std::uint16_t) { return false; };
    s.MakeMainMenu = nothing;

    s.IsLoaderIdle = yes;
    s.StopLoader = nothing;
    s.FreeHouseSelTexture = nothing;
    s.ParticlesFree = nothing;
    s.UnitDone = nothing;
    s.CloseMainMenuWindow = nothing;
    s.DirectInputFree = nothing;
    s.FreeMenuTxt = nothing;
    s.CloseAllWindows = yes;
    s.FreeDirectMedia = nothing;
    s.RestoreWaveVolume = nothing;
    s.Direct3DFree = nothing;
    s.DirectDrawFree = nothing;
    s.FreeFonts = nothing;
    s.FreeLesSlots = nothing;

    s.AcquireMouse = nothing;
    s.ResumeMusic = nothing;
    s.StopMusic = nothing;
    s.VideoMessageStep = nothing;
    s.IsNetGame = no;
    s.PostHotKeyCommand = [](int) {};
    s.MapKey = [](std::uint32_t key) { return key; };
    s.EditorHandleMessage = [](std::uint32_t, std::uintptr_t, std::intptr_t) { return true; };
    s.GameKeyHandler = [](std::uint32_t, std::uintptr_t, std::intptr_t) { return true; };
    s.NetCheckEnoughPlayers = [] { return 0u; };
    s.NetSendPlayerValue = [](std::uintptr_t, std::intptr_t) {};
    s.HandleNetMessage = [](std::uintptr_t, std::intptr_t) {};
    s.VideoPlayerExists = no;
    s.HandleVideoEvent = nothing;

    s.UpdateMusic = nothing;
    s.VideoFrameStep = no;
    s.PrimarySurfaceLost = no;
    s.RestoreAllSurfaces = yes;
    s.MenuWindowOpen = no;
    s.MousePosition = [](std::int32_t& x, std::int32_t& y) { x = y = 100; };
    s.ScreenSize = [](std::int32_t& w, std::int32_t& h) { w = 800, h = 600; };
    s.ScrollLimits = [](std::int32_t (&v)[6]) { v[0] = v[1] = v[2] = v[3] = v[4] = v[5] = 0; };
    s.ScrollMap = [](std::int32_t, std::int32_t) {};
    s.IsPointInMiniMap = [](std::int32_t, std::int32_t) { return false; };
    s.ProcessMiniMap = [](int) {};
    s.WindowsHandleInput = nothing;
    s.EditorBuildUnitDrawLists = nothing;
    s.NetworkFrame = nothing;
    s.EditorFrame = nothing;
    s.RenderFrame = nothing;
    s.UpdateCursorMode = nothing;
    s.ProcessMapMouse = nothing;

    s.GetTickCount = plat::GetTickCountMs;
    s.Sleep = plat::SleepMs;
    s.LocalPlayer = [] { return 0; };
    return s;
}

void DrawNumber(plat::Surface*, int, int, int) {}
void DrawNumberColored(plat::Surface*, int, int, int, std::uint32_t) {}
