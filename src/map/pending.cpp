// Least bodies of world-map services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/static_layer.h"

void RenderMapView(std::uint8_t) {}

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

std::uint32_t g_MapKind = 1;
