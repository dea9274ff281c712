#pragma once
// In-game message and timer dialogs, and the pause they impose on single play.
#include <cstdint>

// Single play stands still behind a window.
extern std::uint8_t g_bPaused;
