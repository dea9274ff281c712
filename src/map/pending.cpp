// Least bodies of world-map services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/minimap.h"

std::uint8_t g_bMapViewDirty = 0;

std::uint16_t g_ViewX = 0;
std::uint16_t g_ViewY = 0;
std::int32_t g_ViewPixelX = 0;
std::int32_t g_ViewPixelY = 0;
std::int16_t g_ViewDepthBase = 0;
std::int32_t g_CursorMapX = 0;
std::int32_t g_CursorMapY = 0;

// Flat ground until the height map exists.
std::int32_t GetLandHeight(float, float)
{
    return 0;
}

std::uint8_t g_bMiniMapShown = 1;
std::uint16_t g_MiniMapLeft = 0;
std::uint16_t g_MiniMapTop = 0;

bool IsPointInMiniMap(std::int32_t, std::int32_t)
{
    return false;
}

void ProcessMiniMap(std::uint8_t) {}

std::int16_t g_PlacingHouseType = -1;

void ReleaseHousePhaseGraphic(std::uint16_t) {}
