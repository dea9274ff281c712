// Least bodies of world-map services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "core/memory_stream.h"
#include "core/save_game.h"
#include "devices/cursor_state.h"
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/trenches.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/site_queries.h"
#include "map/static_layer.h"
#include "map/fog.h"
#include "net/net_events.h"

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
void HideMiniMap()
{
    std::lock_guard lock(g_InputLock);
    g_bMiniMapShown = 0;
}
void ShowMiniMap()
{
    std::lock_guard lock(g_InputLock);
    g_bMiniMapShown = 1;
}

// Until the minimap is drawn, its picture is black.
bool WriteMiniMapImage(TOfStreamMemory& out)
{
    static const std::uint8_t kBlack[200 * 200 * 2] = {};
    return out.Write(kBlack, sizeof kBlack) == static_cast<std::int32_t>(sizeof kBlack);
}
plat::Texture* CreateMiniMap(TIfStreamMemory&)
{
    return nullptr;
}

// No trenches exist yet: the list is empty, and a stored list is passed over.
bool SaveTrenchList(TOfStreamMemory& out)
{
    out.WriteU16(0);
    out.WriteU16(0);
    return true;
}
bool LoadTrenchList(TIfStreamMemory& in)
{
    std::uint16_t value = 0;
    std::uint16_t n = 0;
    return in.ReadU16(value) && in.ReadU16(n) && 14 * n <= in.Remaining() && in.Seek(in.Pos() + 14 * n);
}

std::int16_t g_PlacingHouseType = -1;


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
// The map loader's services of subsystems that are not built yet. Each owner replaces its entries
// with its real functions.
#include "core/memory_stream.h"
#include "players/strateg.h"

TMapServices DefaultMapServices()
{
    TMapServices s;
    s.CreateMapPlayer = [](const TMapPlayerRecord&, std::uint8_t) {
        ++g_wNumPlayer;
        return true;
    };
    s.SetNotPlaying = [](int) {};
    s.CanReceiveUnits = [](int) { return false; };
    s.SetTeam = [](int, int) {};
    s.SetRelationsFromTeams = [] {};
    s.AddMapHouse = [](int, std::int32_t, std::int32_t, const TMapHouseRecord&) { return true; };
    s.ClearNeutralObjects = [] {};
    s.ReserveNeutralHouses = [](std::uint16_t) {};
    s.AddNeutralHouse = [](const TMapHouseRecord&) { return true; };
    s.CreateMapUnit = [](int, const TMapUnitRecord&) { return true; };
    s.MakeBasicMap = [] {};
    // Craters: only an empty block can be passed over without the crater reader.
    s.LoadCraters = [](TIfStreamMemory& in) {
        std::uint16_t n = 0;
        return in.ReadU16(n) && n == 0;
    };
    s.LoadWater = [](TIfStreamMemory& in) { return SkipWaterBlock(in, g_MapWidth, g_MapHeight); };
    s.LoadTrenchList = LoadTrenchList;
    s.TrenchEntryExists = [](std::uint16_t) { return false; };
    s.BuildWaterFromMap = [] {};
    s.GetWaterKind = [](int, int) -> std::uint8_t { return 0; };
    s.LoadGameData = LoadGameData;
    s.ScrollToOrigin = [] { ScrollMap(0, 0); };
    s.AdvanceLoadingBar = [](int) {};
    return s;
}

// Building rules and pictures come with the building subsystem; until then nothing can be placed.
TPlacementServices DefaultPlacementServices()
{
    TPlacementServices s;
    s.CanBuildHouseAt = [](int, TCellXY, int, int) { return false; };
    s.CanAffordHouse = [](int, int) { return false; };
    s.PhaseGraphicState = [](int, int) { return 1; };
    s.MakePlacementTexture = [](int, int) -> plat::Texture* { return nullptr; };
    s.DrawTrenchPathPreview = [](int) {};
    s.HasLineStart = [](int) { return false; };
    s.ReleasePhaseGraphic = [](std::uint16_t) {};
    return s;
}

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
