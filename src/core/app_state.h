#pragma once
// Process-wide state of the application: activation, the quit request and the command-line flags
// that several modules read.
#include <atomic>
#include <cstdint>

// The window has the focus and the game runs. Atomic: the mouse thread tests it.
extern std::atomic<std::uint8_t> g_bAppActive;
extern std::uint8_t g_bQuitRequest; // the main loop shuts down at its next turn
extern std::uint8_t g_bPlayVideo;   // the start-up videos play (command line "+video 0" clears it)
extern std::uint8_t g_bNetStart;
