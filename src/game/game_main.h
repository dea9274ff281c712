#pragma once
// The process's life: start-up in its fixed order, the message loop, the window procedure, the
// frame driver and shutdown in the reverse order.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/app_state.h"
#include "platform/surface.h"

extern std::uint32_t g_LastFrameTick;

// Every service of another module that start-up, the loop, the window procedure and the frame
// call. The default table binds the real modules; tests put recording stand-ins in its place.
struct TAppServices {
    // Start-up, in order.
    std::function<bool(const char*)> ParseCommandLine;
    std::function<bool()> IsAnotherCopyRunning;
    std::function<bool()> InitApp;
    std::function<bool()> ini_unpack;
    std::function<void()> LoadGameInfo;
    std::function<bool()> DirectDrawInit;
    std::function<bool()> Direct3DInit;
    std::function<bool()> IniDirectSound;
    std::function<bool()> IniDirectMedia;
    std::function<void()> InitRandomTable;
    std::function<void()> InitWindows;
    std::function<void()> ReadMenuTxt;
    std::function<bool()> UnitInit;
    std::function<bool()> ParticlesInit;
    std::function<void()> LoadHouseSelTexture;
    std::function<bool()> DirectInputInit;
    std::function<bool(const std::u16string& name, std::uint16_t port)> HostGameFromCommandLine;
    std::function<bool(const std::u16string& name, const std::u16string& address, std::uint16_t port)>
        JoinGameFromCommandLine;
    std::function<void()> MakeMainMenu;
    // Right after start-up: the game a test asks for (see core/test_hooks.h).
    std::function<void()> StartTestGame;
    std::function<void(const char*)> ShowMessageBox; // "Command line fatal error"

    // Shutdown, in order. A game still running is freed first, so that its world does not outlive
    // the devices it was drawn with.
    std::function<void()> EndRunningGame;
    std::function<bool()> IsLoaderIdle;
    std::function<void()> StopLoader;
    std::function<void()> FreeHouseSelTexture;
    std::function<void()> ParticlesFree;
    std::function<void()> UnitDone;
    std::function<void()> CloseMainMenuWindow;
    std::function<void()> DirectInputFree;
    std::function<void()> FreeMenuTxt;
    std::function<bool()> CloseAllWindows;
    std::function<void()> FreeDirectMedia;
    std::function<void()> RestoreWaveVolume;
    std::function<void()> Direct3DFree;
    std::function<void()> DirectDrawFree;
    std::function<void()> FreeFonts;
    std::function<void()> FreeLesSlots;

    // The window procedure's calls.
    std::function<void()> AcquireMouse;
    std::function<void()> ResumeMusic;
    std::function<void()> StopMusic;
    std::function<void()> VideoMessageStep;
    std::function<bool()> IsNetGame;
    std::function<void(int commandId)> PostHotKeyCommand;
    std::function<std::uint32_t(std::uint32_t)> MapKey;
    std::function<bool(std::uint32_t, std::uintptr_t, std::intptr_t)> EditorHandleMessage;
    std::function<bool(std::uint32_t, std::uintptr_t, std::intptr_t)> GameKeyHandler;
    std::function<std::uint32_t()> NetCheckEnoughPlayers;
    std::function<void(std::uintptr_t, std::intptr_t)> NetSendPlayerValue;
    std::function<void(std::uintptr_t, std::intptr_t)> HandleNetMessage;
    std::function<bool()> VideoPlayerExists;
    std::function<void()> HandleVideoEvent;

    // The frame's calls.
    std::function<void()> UpdateMusic;
    std::function<bool()> VideoFrameStep; // true ends the frame at once
    std::function<bool()> PrimarySurfaceLost;
    std::function<bool()> RestoreAllSurfaces;
    std::function<bool()> MenuWindowOpen;
    std::function<void(std::int32_t& x, std::int32_t& y)> MousePosition;
    std::function<void(std::int32_t& w, std::int32_t& h)> ScreenSize;
    std::function<void(std::int32_t (&limits)[6])> ScrollLimits; // view x, y, cols, rows, map w, h
    std::function<void(std::int32_t dx, std::int32_t dy)> ScrollMap;
    std::function<bool(std::int32_t x, std::int32_t y)> IsPointInMiniMap;
    std::function<void(std::uint8_t)> ProcessMiniMap;
    std::function<void()> WindowsHandleInput;
    std::function<void()> EditorBuildUnitDrawLists;
    std::function<void()> NetworkFrame;
    std::function<void()> EditorFrame;
    std::function<void()> RenderFrame;
    std::function<void()> UpdateCursorMode;
    std::function<void()> ProcessMapMouse;

    // Once every turn of the message loop: what other threads changed on the screen is shown.
    std::function<void()> LoopTurn;

    // Time, so that pacing can be tested with a fake clock.
    std::function<std::uint32_t()> GetTickCount;
    std::function<void(std::uint32_t)> Sleep;

    // The local player, the index of g_ShiftDown and g_CtrlDown.
    std::function<int()> LocalPlayer;
};

TAppServices& AppServices();
// The table that binds the real modules.
TAppServices DefaultAppServices();

// The program's entry: returns the exit code (0 normal end or failed start-up, 1 another copy
// runs, 2 bad command line, 3 the network start failed).
int KorvelaMain(const char* commandLine);
// Start-up alone; returns -1 when the main loop is to run, else the exit code.
int StartUp(const char* commandLine);
int RunMainLoop();
void ShutdownApp();
// Stops the loader and mouse threads, the films and the sound and music devices; every way out of
// KorvelaMain runs it (after ShutdownApp, or in its place when start-up failed or the window was
// destroyed).
void StopThreadsAndAudio();

std::intptr_t WindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
void GameFrame();
std::uint32_t StartTimer();
float MeasureFramesPerSecond();
void DrawNumber(plat::Surface* surface, int x, int y, int value);
void DrawNumberColored(plat::Surface* surface, int x, int y, int value, std::uint32_t colour);

