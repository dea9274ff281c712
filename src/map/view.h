#pragma once
// The window of the screen onto the map.
#include <cstdint>

// View origin in cells.
extern std::uint16_t g_ViewX;
extern std::uint16_t g_ViewY;
// The map pixel point under the mouse cursor.
extern std::int32_t g_CursorMapX;
extern std::int32_t g_CursorMapY;
