#pragma once
// The map view: where the screen's top-left corner lies on the map, the depth base that keeps the
// static layer's Z-buffer valid across scrolling, and the ground height at a map point.
#include <cstdint>

// Screen origin in map pixels.
extern std::int32_t g_ViewPixelX;
extern std::int32_t g_ViewPixelY;
// Added to every depth value of the map; moves by 48 per vertical scroll step.
extern std::int16_t g_ViewDepthBase;

// Ground height seen at a point of the drawn map image (map pixels, heights drawn).
std::int32_t GetLandHeight(float x, float y);
