#pragma once
// The window stack and the frame's window input.
#include <cstdint>

// 1 while the frame's mouse button event is still the game's (no window consumed it).
extern std::uint8_t g_InputToGame;

// True when the cursor lies over the bottom panel, the minimap frame or a visible window.
bool IsCursorOverInterface();
