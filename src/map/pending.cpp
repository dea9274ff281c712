// Least bodies of world-map services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "map/map_view.h"

std::uint8_t g_bMapViewDirty = 0;

std::int32_t g_ViewPixelX = 0;
std::int32_t g_ViewPixelY = 0;
std::int16_t g_ViewDepthBase = 0;

// Flat ground until the height map exists.
std::int32_t GetLandHeight(float, float)
{
    return 0;
}
