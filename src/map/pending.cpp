// Least bodies of world-map services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/site_queries.h"
#include "map/static_layer.h"

bool CreateWaterGrid(std::uint16_t, std::uint16_t)
{
    return true;
}

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

std::uint32_t g_MapKind = 1;

// Until the water object, the ships' grid and the map objects' records are wired: dry land, no
// ships' grid, and every tree, stone and object blocks (trees class 1, the others class 0).
bool IsTileOnWater(std::int32_t, std::int32_t)
{
    return false;
}
std::uint16_t GetShipPassValue(std::int32_t, std::int32_t)
{
    return 0;
}
void RebuildShipGrid(std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void ClampPointIntoShipGrid(float&, float&) {}
void RedrawMiniMapCells(std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
std::uint8_t GetAdvancedPathByte(std::int32_t, std::int32_t)
{
    return 0;
}
std::uint8_t GetMapObjectClass(std::uint16_t code)
{
    return code >= kObjectTreeFirst && code <= kObjectTreeLast ? 1 : 0;
}
std::uint32_t g_MapSeason = 0;
