// Least bodies of world-map services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/static_layer.h"
#include "map/fog.h"
#include "net/net_events.h"

bool CreateWaterGrid(std::uint16_t, std::uint16_t)
{
    return true;
}

void RenderMapView(std::uint8_t) {}

std::uint8_t g_bMiniMapShown = 1;
std::uint16_t g_MiniMapLeft = 0;
std::uint16_t g_MiniMapTop = 0;

float g_MiniMapScaleX = 0.0f;
float g_MiniMapScaleY = 0.0f;
float g_MiniMapPixelScaleX = 0.0f;
float g_MiniMapPixelScaleY = 0.0f;

bool IsPointInMiniMap(std::int32_t, std::int32_t)
{
    return false;
}

void ProcessMiniMap(std::uint8_t) {}

std::int16_t g_PlacingHouseType = -1;

void ReleaseHousePhaseGraphic(std::uint16_t) {}

std::uint32_t g_MapKind = 1;

// No player table, units or buildings exist yet: nobody's sight reaches the fog, and only the
// mission reveal points clear it.
TFogServices DefaultFogServices()
{
    TFogServices s;
    s.NumPlayers = [] { return std::uint16_t{0}; };
    s.IsDefeated = [](std::uint8_t) { return false; };
    s.Relation = [](std::uint8_t, std::uint8_t) { return std::uint8_t{0}; };
    s.IsRandomMapGame = [] { return false; };
    s.IsNetGame = IsNetGame;
    s.ForEachUnit = [](std::uint8_t, const std::function<void(const TFogUnitSight&)>&) {};
    s.ForEachHouse = [](std::uint8_t, const std::function<void(const TFogHouseSight&)>&) {};
    return s;
}
