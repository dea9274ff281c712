#include "game/game_main.h"
#include "map/map_view.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/app_state.h"
#include "game/command_line.h"
#include "core/error_log.h"
#include "core/settings.h"
#include "devices/display.h"
#include "platform/events.h"
#include "platform/messages.h"
#include "test_support.h"

namespace {

// Replaces every service with a stand-in that records its name and answers as told.
class Recorder {
public:
    std::vector<std::string> calls;
    std::vector<std::string> failing; // names whose bool result is false
    std::uint32_t now = 1000;
    bool menuOpen = false;
    bool videoPlaying = false;
    bool netGame = false;
    std::int32_t mouseX = 400, mouseY = 300;
    std::int32_t limits[6] = {5, 5, 10, 20, 100, 100};

    void Install()
    {
        TAppServices& s = AppServices();
        s = DefaultAppServices();
        auto b = [this](const char* name) {
            return [this, name] {
                calls.push_back(name);
                for (const auto& f : failing)
                    if (f == name)
                        return false;
                return true;
            };
        };
        auto v = [this](const char* name) { return [this, name] { calls.push_back(name); }; };
        s.ParseCommandLine = [this](const char* line) {
            calls.push_back("ParseCommandLine");
            return ::ParseCommandLine(line);
        };
        s.IsAnotherCopyRunning = [this] {
            calls.push_back("IsAnotherCopyRunning");
            for (const auto& f : failing)
                if (f == "single")
                    return true;
            return false;
        };
        s.ShowMessageBox = [this](const char* text) { calls.push_back(std::string("box:") + text); };
        s.InitApp = b("InitApp");
        s.ini_unpack = b("ini_unpack");
        s.LoadGameInfo = v("LoadGameInfo");
        s.DirectDrawInit = b("DirectDrawInit");
        s.Direct3DInit = b("Direct3DInit");
        s.IniDirectSound = b("IniDirectSound");
        s.IniDirectMedia = b("IniDirectMedia");
        s.InitRandomTable = v("InitRandomTable");
        s.InitWindows = v("InitWindows");
        s.ReadMenuTxt = v("ReadMenuTxt");
        s.UnitInit = b("UnitInit");
        s.ParticlesInit = b("ParticlesInit");
        s.LoadHouseSelTexture = v("LoadHouseSelTexture");
        s.DirectInputInit = b("DirectInputInit");
        s.HostGameFromCommandLine = [this](const std::u16string&, std::uint16_t) {
            calls.push_back("HostGameFromCommandLine");
            return false;
        };
        s.MakeMainMenu = v("MakeMainMenu");
        s.IsLoaderIdle = b("IsLoaderIdle");
        s.StopLoader = v("StopLoader");
        s.FreeHouseSelTexture = v("FreeHouseSelTexture");
        s.ParticlesFree = v("ParticlesFree");
        s.UnitDone = v("UnitDone");
        s.CloseMainMenuWindow = v("CloseMainMenuWindow");
        s.DirectInputFree = v("DirectInputFree");
        s.FreeMenuTxt = v("FreeMenuTxt");
        s.CloseAllWindows = b("CloseAllWindows");
        s.FreeDirectMedia = v("FreeDirectMedia");
        s.RestoreWaveVolume = v("RestoreWaveVolume");
        s.Direct3DFree = v("Direct3DFree");
        s.DirectDrawFree = v("DirectDrawFree");
        s.FreeFonts = v("FreeFonts");
        s.FreeLesSlots = v("FreeLesSlots");

        s.UpdateMusic = v("UpdateMusic");
        s.VideoFrameStep = [this] {
            calls.push_back("VideoFrameStep");
            return videoPlaying;
        };
        s.PrimarySurfaceLost = [] { return false; };
        s.MenuWindowOpen = [this] { return menuOpen; };
        s.MousePosition = [this](std::int32_t& x, std::int32_t& y) { x = mouseX, y = mouseY; };
        s.ScreenSize = [](std::int32_t& w, std::int32_t& h) { w = 800, h = 600; };
        s.ScrollLimits = [this](std::int32_t (&out)[6]) { std::copy(limits, limits + 6, out); };
        s.ScrollMap = [this](std::int32_t dx, std::int32_t dy) {
            calls.push_back("ScrollMap " + std::to_string(dx) + "," + std::to_string(dy));
        };
        s.WindowsHandleInput = v("WindowsHandleInput");
        s.NetworkFrame = [this] {
            calls.push_back("NetworkFrame");
            now += 20; // the simulation and drawing take 20 ms
        };
        s.RenderFrame = v("RenderFrame");
        s.EditorFrame = v("EditorFrame");
        s.EditorBuildUnitDrawLists = v("EditorBuildUnitDrawLists");
        s.ProcessMapMouse = v("ProcessMapMouse");
        s.UpdateCursorMode = v("UpdateCursorMode");
        s.IsNetGame = [this] { return netGame; };
        s.PostHotKeyCommand = [this](int id) { calls.push_back("hotkey " + std::to_string(id)); };
        s.GetTickCount = [this] { return now; };
        s.Sleep = [this](std::uint32_t ms) {
            calls.push_back("Sleep " + std::to_string(ms));
            now += ms;
        };
    }
    bool Has(const std::string& name) const { return std::find(calls.begin(), calls.end(), name) != calls.end(); }
};

class AppLife : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetCommandLine();
        plat::ClearAppMessages();
        rec.Install();
        g_bQuitRequest = 0;
        g_bPaused = 0;
        g_bEditorMode = 0;
        g_GameSpeed = 53;
        testsupport::WriteText(g_ErrorLog.FileName(), "");
    }
    void TearDown() override
    {
        AppServices() = DefaultAppServices();
        ResetCommandLine();
        plat::ClearAppMessages();
        g_bQuitRequest = 0;
    }
    Recorder rec;
};

const std::vector<std::string> kStartupOrder = {
    "ParseCommandLine", "IsAnotherCopyRunning", "InitApp",        "ini_unpack",   "LoadGameInfo",
    "DirectDrawInit",   "Direct3DInit",         "IniDirectSound", "IniDirectMedia", "InitRandomTable",
    "InitWindows",      "ReadMenuTxt",          "UnitInit",       "ParticlesInit", "LoadHouseSelTexture",
    "DirectInputInit",  "MakeMainMenu",
};

} // namespace

TEST_F(AppLife, StartUpRunsEveryStepInOrder)
{
    EXPECT_EQ(StartUp(""), -1);
    EXPECT_EQ(rec.calls, kStartupOrder);
}

TEST_F(AppLife, FatalStepsStopStartUpWithTheirLogLine)
{
    for (const char* step : {"InitApp", "ini_unpack", "DirectDrawInit", "Direct3DInit", "UnitInit", "ParticlesInit",
                             "DirectInputInit"}) {
        rec.calls.clear();
        rec.failing = {step};
        testsupport::WriteText(g_ErrorLog.FileName(), "");
        EXPECT_EQ(StartUp(""), 0) << step;
        EXPECT_EQ(rec.calls.back(), step);
        EXPECT_NE(testsupport::ReadText(g_ErrorLog.FileName()).find(std::string(step) + "() FAILED"), std::string::npos);
    }
}

TEST_F(AppLife, SoundAndVideoFailuresAreOnlyLogged)
{
    rec.failing = {"IniDirectSound", "IniDirectMedia"};
    EXPECT_EQ(StartUp(""), -1);
    EXPECT_EQ(rec.calls, kStartupOrder);
    const std::string log = testsupport::ReadText(g_ErrorLog.FileName());
    EXPECT_NE(log.find("IniDirectSound() FAILED"), std::string::npos);
    EXPECT_NE(log.find("IniDirectMedia() FAILED"), std::string::npos);
}

TEST_F(AppLife, ExitCodes)
{
    SetCommandLineMessageBox([](const char*, const char*) {});
    EXPECT_EQ(StartUp("+editor"), 2);
    EXPECT_TRUE(rec.Has("box:Command line fatal error"));
    EXPECT_FALSE(rec.Has("InitApp"));

    rec.calls.clear();
    rec.failing = {"single"};
    EXPECT_EQ(StartUp(""), 1);
    EXPECT_FALSE(rec.Has("InitApp"));

    rec.calls.clear();
    rec.failing.clear();
    ResetCommandLine();
    EXPECT_EQ(StartUp("+host x +name me"), 3);
    EXPECT_TRUE(rec.Has("HostGameFromCommandLine"));
    EXPECT_FALSE(rec.Has("MakeMainMenu"));
    EXPECT_EQ(g_pNetStart, nullptr);
    SetCommandLineMessageBox(nullptr);
}

TEST_F(AppLife, ShutdownReleasesInReverseOrder)
{
    ShutdownApp();
    const std::vector<std::string> expected = {
        "IsLoaderIdle",    "StopLoader",     "FreeHouseSelTexture", "ParticlesFree",     "UnitDone",
        "CloseMainMenuWindow", "DirectInputFree", "FreeMenuTxt",    "CloseAllWindows",   "FreeDirectMedia",
        "RestoreWaveVolume", "Direct3DFree",   "DirectDrawFree",      "FreeFonts",         "IsLoaderIdle",
        "FreeLesSlots",
    };
    EXPECT_EQ(rec.calls, expected);
    rec.calls.clear();
    rec.failing = {"CloseAllWindows"};
    ShutdownApp();
    EXPECT_NE(testsupport::ReadText(g_ErrorLog.FileName()).find("Проблемы с выгрузкой интерфейса!!!"),
              std::string::npos);
}

TEST_F(AppLife, FrameStepsAndPacing)
{
    StartTimer();
    GameFrame(); // a 20 ms frame at speed 53 sleeps 33 ms
    const std::vector<std::string> expected = {"UpdateMusic",   "VideoFrameStep",  "WindowsHandleInput", "NetworkFrame",
                                               "RenderFrame",   "ProcessMapMouse", "Sleep 33"};
    EXPECT_EQ(rec.calls, expected);
    EXPECT_EQ(g_LastFrameTick, rec.now);
}

TEST_F(AppLife, VideoEndsTheFrameWithoutStampingTheClock)
{
    StartTimer();
    const std::uint32_t stamped = g_LastFrameTick;
    rec.videoPlaying = true;
    rec.now += 500;
    GameFrame();
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"UpdateMusic", "VideoFrameStep"}));
    EXPECT_EQ(g_LastFrameTick, stamped);
}

TEST_F(AppLife, MenuOpenMeansNoScrollNoSimulationNoSleep)
{
    StartTimer();
    rec.menuOpen = true;
    rec.mouseX = 0; // at the left edge
    GameFrame();
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"UpdateMusic", "VideoFrameStep", "WindowsHandleInput", "RenderFrame"}));
}

TEST_F(AppLife, EdgeScrollFrameSleepsByScrollSpeed)
{
    StartTimer();
    rec.mouseX = 0;
    g_MouseScrollSpeed = 0;
    GameFrame();
    EXPECT_TRUE(rec.Has("ScrollMap -1,0"));
    EXPECT_TRUE(rec.Has("Sleep 100"));
    EXPECT_EQ(g_MouseScrollSpeed, 1);
    EXPECT_EQ(g_ScrollFlag, 0);
    g_MouseScrollSpeed = 50;
}

TEST_F(AppLife, ActivationSyncsModifiersAndCloseRequestsQuit)
{
    plat::SetKeyHeld(plat::VK_SHIFT, true);
    plat::SetKeyHeld(plat::VK_CONTROL, false);
    g_CtrlDown[0] = 1;
    WindowProc(plat::MSG_ACTIVATE, 1, 0);
    EXPECT_EQ(g_ShiftDown[0], 1);
    EXPECT_EQ(g_CtrlDown[0], 0);

    rec.netGame = true;
    rec.calls.clear();
    plat::SetKeyHeld(plat::VK_SHIFT, false);
    WindowProc(plat::MSG_ACTIVATE, 1, 0);
    EXPECT_TRUE(rec.Has("hotkey 32"));  // Shift differs: the command changes it on every machine
    EXPECT_FALSE(rec.Has("hotkey 33")); // Ctrl agrees
    EXPECT_EQ(g_ShiftDown[0], 1);
    plat::SetKeyHeld(plat::VK_SHIFT, false);
    g_ShiftDown[0] = 0;

    WindowProc(plat::MSG_ACTIVATEAPP, 1, 0);
    EXPECT_EQ(g_bAppActive, 1);
    WindowProc(plat::MSG_CLOSE, 0, 0);
    EXPECT_EQ(g_bQuitRequest, 1);
    plat::Message m;
    ASSERT_TRUE(plat::PeekAppMessage(m));
    EXPECT_EQ(m.message, plat::MSG_DESTROY);
    g_bAppActive = 0;
}

TEST_F(AppLife, MessagePostedFromAnotherThreadReachesTheWindowProcedure)
{
    std::vector<std::uintptr_t> seen;
    AppServices().HandleNetMessage = [&](std::uintptr_t w, std::intptr_t) { seen.push_back(w); };
    std::thread([] { plat::PostAppMessage(plat::MSG_NETEVENT, 77, 0); }).join();
    plat::PostAppMessage(plat::MSG_QUIT, 0);
    g_bAppActive = 0; // the loop waits for messages
    EXPECT_EQ(RunMainLoop(), 0);
    EXPECT_EQ(seen, std::vector<std::uintptr_t>{77});
}

TEST_F(AppLife, EveryWayOutOfTheProgramStopsTheThreadsAndTheAudio)
{
    const std::vector<std::string> stops = {"StopLoader", "DirectInputFree", "FreeDirectMedia", "RestoreWaveVolume"};
    auto endsWithStops = [&] {
        return rec.calls.size() >= stops.size() &&
               std::equal(stops.begin(), stops.end(), rec.calls.end() - static_cast<std::ptrdiff_t>(stops.size()));
    };
    rec.failing = {"UnitInit"};
    EXPECT_EQ(KorvelaMain(""), 0);
    EXPECT_TRUE(endsWithStops()) << "after a fatal start-up step";

    // The window destroyed while the loop runs: the quit message ends the loop without ShutdownApp.
    rec.calls.clear();
    rec.failing.clear();
    g_bAppActive = 0;
    plat::PostAppMessage(plat::MSG_NETEVENT, 1, 0);
    plat::PostAppMessage(plat::MSG_DESTROY, 0, 0);
    EXPECT_EQ(KorvelaMain(""), 0);
    EXPECT_FALSE(rec.Has("FreeLesSlots"));
    EXPECT_TRUE(endsWithStops()) << "after the window was destroyed";
}

TEST_F(AppLife, QuitRequestRunsShutdown)
{
    g_bQuitRequest = 1;
    EXPECT_EQ(RunMainLoop(), 0);
    EXPECT_TRUE(rec.Has("FreeLesSlots"));
}

TEST(DrawNumbers, DrawDigitsAndIgnoreANullSurface)
{
    ASSERT_TRUE(DirectDrawInit(nullptr, 0));
    DrawNumber(nullptr, 0, 0, 5);
    DrawNumberColored(nullptr, 0, 0, 5, 0xFFFFFF);
    const auto lit = [] {
        int n = 0;
        const plat::PixelBuffer& p = g_pDDSBack->Pixels();
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 80; ++x)
                n += p.Row16(y)[x] != 0;
        return n;
    };
    FillSurface(g_pDDSBack, 0);
    DrawNumber(g_pDDSBack, 2, 2, -123);
    const int plain = lit();
    EXPECT_GT(plain, 0);
    const std::uint32_t before = g_TextColor;
    FillSurface(g_pDDSBack, 0);
    DrawNumberColored(g_pDDSBack, 2, 2, -123, 0x0000FF);
    EXPECT_GT(lit(), 0);
    EXPECT_EQ(g_TextColor, before); // the surface text colour is left as it was
    DirectDrawFree();
}
