#pragma once
// The minimap in the bottom-right corner of the screen.
#include <cstdint>

// Shown flag and screen position of the minimap's left and top edges: main thread writes under
// g_InputLock (the mouse thread reads them).
extern std::uint8_t g_bMiniMapShown;
extern std::uint16_t g_MiniMapLeft;
extern std::uint16_t g_MiniMapTop;

// Map columns and rows per minimap pixel (map size x 0.005), and minimap pixels per map pixel
// (200 / (width x 96), 200 / (height x 24)); set when a map is loaded.
extern float g_MiniMapScaleX;
extern float g_MiniMapScaleY;
extern float g_MiniMapPixelScaleX;
extern float g_MiniMapPixelScaleY;

bool IsPointInMiniMap(std::int32_t x, std::int32_t y);
// 0: a click to be turned into a view jump by the next frame; else: jump to the mouse position now.
void ProcessMiniMap(std::uint8_t flag);

class TOfStreamMemory;
class TIfStreamMemory;
namespace plat {
class Texture;
}
// Appends the 200 x 200 minimap picture (80,000 bytes of 16-bit pixels, row by row).
bool WriteMiniMapImage(TOfStreamMemory& out);
// A 200 x 200 texture holding the next 80,000 bytes of the reader; null (logged) on failure.
plat::Texture* CreateMiniMap(TIfStreamMemory& in);

// Hides and shows the minimap.
void HideMiniMap();
void ShowMiniMap();
