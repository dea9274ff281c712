// Least bodies of world-map services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "core/memory_stream.h"
#include "devices/cursor_state.h"
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/site_queries.h"
#include "map/static_layer.h"
#include "map/fog.h"
#include "net/net_events.h"


std::int16_t g_PlacingHouseType = -1;


// Until the ship passability is wired: no ship passability.
std::uint16_t GetShipPassValue(std::int32_t, std::int32_t)
{
    return 0;
}
void ClampPointIntoShipGrid(float&, float&) {}
// The map loader's services of subsystems that are not built yet. Each owner replaces its entries
// with its real functions.
#include "combat/craters.h"
#include "core/memory_stream.h"
#include "map/water.h"
#include "platform/clock.h"
#include "players/house_orders.h"
#include "players/strateg.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"
#include "units/build_site.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"
#include "ui/setup_screen.h"
#include "map/trench_pieces.h"
#include "map/trenches.h"

TMapServices DefaultMapServices()
{
    TMapServices s;
    s.CreateMapPlayer = ::CreateMapPlayer;
    s.SetNotPlaying = SetPlayerNotPlaying;
    s.CanReceiveUnits = CanPlayerReceiveUnits;
    s.SetTeam = [](int p, int team) {
        if (p >= 0 && p < 8 && g_Strateg[p])
            g_Strateg[p]->SetTeam(static_cast<std::uint8_t>(team));
    };
    s.SetRelationsFromTeams = [] {
        for (TStrateg* player : g_Strateg)
            if (player)
                player->SetRelationsFromTeams();
    };
    s.AddMapHouse = ::AddMapHouse;
    s.ClearNeutralObjects = ::ClearNeutralObjects;
    s.ReserveNeutralHouses = ::ReserveNeutralHouses;
    s.AddNeutralHouse = AddNeutralMapHouse;
    s.CreateMapUnit = CreateMapUnitFromRecord;
    s.MakeBasicMap = [] {};
    s.LoadCraters = ::LoadCraters;
    // Outside a game (the map tools) no water object exists, and the block is passed over.
    s.LoadWater = [](TIfStreamMemory& in) {
        return g_pWater ? g_pWater->LoadWater(in) : SkipWaterBlock(in, g_MapWidth, g_MapHeight);
    };
    s.LoadTrenchList = [](TIfStreamMemory& in) { return g_TrenchList.LoadTrenchList(in); };
    s.ClearTrenchList = [] { g_TrenchList.Clear(); };
    s.TrenchEntryExists = [](std::uint16_t slot) { return g_TrenchList.Entry(slot) != nullptr; };
    s.BuildWaterFromMap = [] {
        if (g_pWater)
            g_pWater->BuildWaterFromMap(0);
    };
    s.GetWaterKind = [](int x, int y) -> std::uint8_t { return g_pWater ? g_pWater->GetWaterKind(x, y) : 0; };
    s.ScrollToOrigin = [] { ScrollMap(0, 0); };
    s.AdvanceLoadingBar = [](int) {};
    return s;
}

// Prices and the placement picture come with the players' subsystem and building drawing.
TPlacementServices DefaultPlacementServices()
{
    TPlacementServices s;
    s.CanBuildHouseAt = [](int player, TCellXY cell, int type, int nation) {
        return player >= 0 && player < 8 && type >= 0 && nation >= 0
            && ::CanBuildHouseAt(static_cast<std::uint8_t>(player), cell.x, cell.y, static_cast<std::uint16_t>(type),
                                 static_cast<std::uint8_t>(nation));
    };
    s.CanAffordHouse = [](int player, int type) {
        return player >= 0 && player < 8 && type >= 0
            && ::CanAffordHouse(static_cast<std::uint8_t>(player), static_cast<std::uint16_t>(type));
    };
    // A phase the archive could not give stays "not loaded": nothing is drawn from it.
    s.PhaseGraphicState = [](int type, int nation) -> int {
        if (type < 0 || nation < 0)
            return 0;
        const std::uint8_t state = PlacementPhaseState(static_cast<std::uint16_t>(type), static_cast<std::uint8_t>(nation));
        return state == PHASE_FAILED ? 0 : state;
    };
    s.MakePlacementTexture = [](int type, int nation) -> plat::Texture* {
        return type >= 0 && nation >= 0
            ? MakeHousePlacementTexture(static_cast<std::uint16_t>(type), static_cast<std::uint8_t>(nation))
            : nullptr;
    };
    s.Geometry = [](int type, int nation, TPlacementGeometry& out) {
        return type >= 0 && nation >= 0
            && HousePlacementGeometry(static_cast<std::uint16_t>(type), static_cast<std::uint8_t>(nation), out);
    };
    s.Sleep = [](std::uint32_t ms) { plat::SleepMs(ms); };
    s.IsOnWater = [](TCellXY c) { return g_pWater != nullptr && g_pWater->GetWaterKind(c.x, c.y) != 0; };
    s.DrawRingCell = DrawPlacementRingCell;
    s.DrawGhost = DrawPlacementGhost;
    s.DrawTrenchPathPreview = DrawTrenchLinePreview;
    s.HasLineStart = HasTrenchLineStart;
    s.ReleasePhaseGraphic = ReleaseHousePhaseGraphic;
    return s;
}

// The players, their units and buildings as the fog reads them.
TFogServices DefaultFogServices()
{
    TFogServices s;
    s.NumPlayers = [] { return g_wNumPlayer; };
    s.IsDefeated = [](std::uint8_t p) { return p < 8 && g_Strateg[p] != nullptr && g_Strateg[p]->OutOfGame != 0; };
    s.Relation = [](std::uint8_t from, std::uint8_t to) {
        return from < 8 && to < 8 && g_Strateg[from] != nullptr ? g_Strateg[from]->Relations[to] : std::uint8_t{0};
    };
    s.IsRandomMapGame = [] { return g_bRandomMapGame != 0; };
    s.IsNetGame = IsNetGame;
    // No death counter is kept yet: a dead unit's sight ends at once.
    s.ForEachUnit = [](std::uint8_t p, const std::function<void(const TFogUnitSight&)>& visit) {
        ForEachPlayerUnit(p, [&](const TUnit& u) {
            const std::uint8_t sight = u.Basic != nullptr ? u.Basic->SightRadius : 0;
            visit({sight, u.Dead, 0, u.MapX, u.MapY, u.X, u.Y});
        });
    };
    s.ForEachHouse = [](std::uint8_t p, const std::function<void(const TFogHouseSight&)>& visit) {
        if (p >= 8 || g_pHouse[p] == nullptr)
            return;
        for (std::uint16_t i = 0; i < NumHouse[p]; ++i) {
            const THouse& h = g_pHouse[p][i];
            visit({h.Destroyed, HOUSE_SIGHT_CELLS, h.X, h.Y});
        }
    };
    return s;
}

// The map drawing's neighbours: where a module is not built yet, no player leaves the game, nobody
// has a group or a rally flag shown, and ships and reflections draw nothing.
#include "combat/craters.h"
#include "combat/effects.h"
#include "combat/explosions.h"
#include "editor/editor.h"
#include "map/map_scene.h"

TMapDrawServices DefaultMapDrawServices()
{
    TMapDrawServices s;
    s.IsPlayerOutOfGame = [](std::uint8_t) { return false; };
    s.SelectionHasGroup = [] { return false; };
    s.RallyFlagHouse = []() -> THouse* { return nullptr; };
    s.BuildTrenchPieces = [](std::uint16_t index) { BuildTrenchPieces(g_pTrenchPieces, index); };
    s.DrawTrenches = [] { DrawTrenches(g_pTrenchPieces); };
    s.DrawTrenchPontoons = [] { g_TrenchList.DrawTrenchPontoons(); };
    s.ParticlesUpdateAll = ::ParticlesUpdateAll;
    s.ClearShipList = [] {};
    s.StepShipList = [] {};
    s.DrawCraters = ::DrawCraters;
    s.DrawCratersSecondPass = ::DrawCratersPass2;
    s.Explosions = CollectExplosionSprites;
    s.DrawShots = ::DrawShots;
    s.DrawHouseRotated = [](THouse*, float, float, TScreenQuad&) {};
    s.SetReflectionMeshColour = [](std::uint32_t) {};
    s.StepHouses = [] {};
    s.DrawEditorBrush = ::DrawEditorBrush;
    return s;
}

