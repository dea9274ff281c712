#pragma once
// The map view: position, scrolling and picking.
#include <cstdint>

// The next view rebuild must be complete.
extern std::uint8_t g_bMapViewDirty;

// The view origin (cells and map pixels): main thread writes under g_InputLock (the mouse thread
// reads it).
extern std::uint16_t g_ViewX;
extern std::uint16_t g_ViewY;
// Screen origin in map pixels.
extern std::int32_t g_ViewPixelX;
extern std::int32_t g_ViewPixelY;
// Added to every depth value of the map; moves by 48 per vertical scroll step.
extern std::int16_t g_ViewDepthBase;
// The map pixel point under the mouse cursor. Under g_InputLock (the mouse thread writes it).
extern std::int32_t g_CursorMapX;
extern std::int32_t g_CursorMapY;

// Ground height seen at a point of the drawn map image (map pixels, heights drawn).
std::int32_t GetLandHeight(float x, float y);

// View size in cells, and the map's size in cells.
extern std::int32_t g_ViewCols;
extern std::int32_t g_ViewRows;
extern std::int32_t g_MapWidth;
extern std::int32_t g_MapHeight;

// Moves the view by whole steps.
void ScrollMap(std::int32_t dx, std::int32_t dy);
