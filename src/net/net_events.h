#pragma once
// Network events on the main thread and the cycle gate.
#include <atomic>
#include <cstdint>

// Atomic: the mouse thread tests it. 0 single play, 1 network screens, 2 the lobby (the game being set up), 3 and 4 a running game.
extern std::atomic<std::uint8_t> g_NetMode;
// The lock-step cycle; commands carry the cycle on which they execute.
extern std::uint32_t kadr_now;

// True while a network game is set up or running (mode 2, 3 or 4).
bool IsNetGame();
