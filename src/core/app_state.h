#pragma once
// Process-wide state of the application that every floor may read: activation, the quit request,
// the flags set from the command line, editor mode, pause and the game's frame counter. It lives
// here, below the modules that read it; the game's life on top sets it.
#include <atomic>
#include <cstdint>

// The window has the focus and the game runs. Atomic: the mouse thread tests it.
extern std::atomic<std::uint8_t> g_bAppActive;
extern std::uint8_t g_bQuitRequest; // the main loop shuts down at its next turn
extern std::uint8_t g_bPlayVideo;   // the start-up videos play (command line "+video 0" clears it)
extern std::uint8_t g_bNetStart;

// The local player's number: 0 until a game sets it. Main thread writes under g_InputLock (the
// mouse thread reads it).
extern std::uint8_t MyPlayer;
// The map editor runs in place of a game.
extern std::uint8_t g_bEditorMode;
// Atomic: the mouse thread tests it.
extern std::atomic<std::uint8_t> g_bPaused;
// The game's frame counter that staggered periodic tasks read; 0 at every game load.
extern std::uint32_t g_FrameCounter;
extern float g_Fps;
// Shift and Ctrl held, per player: set by the key handling, read by the order builders.
extern std::uint8_t g_ShiftDown[8];
extern std::uint8_t g_CtrlDown[8];
// The debug select-anything switch: the selectable-unit test is skipped. Main thread only.
extern std::uint8_t g_SelectAnything;
