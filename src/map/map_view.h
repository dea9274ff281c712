#pragma once
// The map view: position, scrolling and picking.
#include <cstdint>

// The next view rebuild must be complete.
extern std::uint8_t g_bMapViewDirty;

// View origin in cells.
extern std::uint16_t g_ViewX;
extern std::uint16_t g_ViewY;
// Screen origin in map pixels.
extern std::int32_t g_ViewPixelX;
extern std::int32_t g_ViewPixelY;
// Added to every depth value of the map; moves by 48 per vertical scroll step.
extern std::int16_t g_ViewDepthBase;
// The map pixel point under the mouse cursor.
extern std::int32_t g_CursorMapX;
extern std::int32_t g_CursorMapY;

// Ground height seen at a point of the drawn map image (map pixels, heights drawn).
std::int32_t GetLandHeight(float x, float y);
