#pragma once
// The map scene: once per frame, everything on the map that moves or changes, drawn over the kept
// static layer. The static layer's colours come back with one blit; its Z-buffer stays as the
// rebuild left it, and every pass here tests against it with depth writing off, so sprites hide
// behind houses, trees and hills exactly where they should.
//
// Threads: main thread only. The draw-order vectors are filled by the unit turn (or the editor's
// list builder) on the main thread before the frame draws them.
#include <cstdint>
#include <functional>
#include <vector>

#include "devices/quads.h"

class THouse;
class TUnit;
struct TExplosionSprite;
struct TMapAnimNode;

// Set by RenderMapView when it has just left the complete static layer in the back buffer; the
// scene then skips its restoring blit and clears the flag.
extern std::uint8_t g_bStaticLayerFresh;

// A record of the draw-order vectors; only the unit is read here.
struct TUnitDrawRecord {
    TUnit* unit = nullptr;
    std::int32_t key1 = 0;
    std::int32_t key2 = 0;
};
extern std::vector<TUnitDrawRecord> g_UnitsDrawTinted;
extern std::vector<TUnitDrawRecord> g_UnitsDrawSorted;
extern std::vector<TUnitDrawRecord> g_UnitsDrawLate;

// Whether the house-bar display is on (a game key toggles it).
extern std::uint8_t g_bShowHouseBars;

// What the map drawing calls in subsystems built elsewhere. The default table binds the modules
// that exist; tests put recording stand-ins here.
struct TMapDrawServices {
    // Players.
    std::function<bool(std::uint8_t player)> IsPlayerOutOfGame;
    // Whether the local player is still in the game and some unit of its selection belongs to a group.
    std::function<bool()> SelectionHasGroup;
    // The local player's single selected house whose rally flag shows, or null.
    std::function<THouse*()> RallyFlagHouse;
    // Trenches and pontoons.
    std::function<void(std::uint16_t index)> BuildTrenchPieces;
    std::function<void()> DrawTrenches;
    std::function<void()> DrawTrenchPontoons;
    // Effects and ships.
    std::function<void()> ParticlesUpdateAll;
    std::function<void()> ClearShipList;
    std::function<void()> StepShipList;
    std::function<void()> DrawCraters;
    std::function<void()> DrawCratersSecondPass;
    // The explosions on screen this frame, in list order.
    std::function<void(std::vector<const TExplosionSprite*>& out)> Explosions;
    std::function<void()> DrawShots;
    // Buildings: the reflection of a house drawn shifted by (dx, dy) with the quad template, the
    // mesh colour of reflections, and the per-house step of the frame.
    std::function<void(THouse* house, float dx, float dy, TScreenQuad& quad)> DrawHouseRotated;
    std::function<void(std::uint32_t colour)> SetReflectionMeshColour;
    std::function<void()> StepHouses;
    // Editor.
    std::function<void()> DrawEditorBrush;
};
TMapDrawServices& MapDrawServices();
TMapDrawServices DefaultMapDrawServices();

// ---- the merged pass -------------------------------------------------------------------------

// A sort key in screen pixels, truncated to 16 bits; an exhausted source has (0x7FFF, 0x7FFF).
struct TSceneKey {
    std::int16_t x = 0x7FFF;
    std::int16_t y = 0x7FFF;
    bool Exhausted() const { return x == 0x7FFF; }
};
// The heads of the four sources as the merge compares them.
struct TMergeHeads {
    TSceneKey unit;            // source 0
    std::int16_t unitLift = 0; // the sum of the unit's two vertical offsets, each truncated
    TSceneKey node;            // source 1
    std::uint8_t nodeLayer = 1;
    std::int16_t nodeKey = 0x7FFF;
    TSceneKey explosion; // source 2
    TSceneKey flag;      // source 3
};
// The source to draw next (0..3), or -1 when the pass ends.
int ChooseMergeSource(const TMergeHeads& heads);

// Whether a right drag from (x0, y0) to (x1, y1) is long enough to draw an arrow (over 100 pixels).
bool IsOrderDragLongEnough(float x0, float y0, float x1, float y1);

// The landscape filter's grid: 6 x 5 quads of 256 pixels fixed to the world.
constexpr int FILTER_COLUMNS = 6;
constexpr int FILTER_ROWS = 5;
constexpr int FILTER_TILE = 256;
void MakeFilterQuad(int column, int row, std::int32_t viewPixelX, std::int32_t viewPixelY, TScreenQuad& quad);

// Draws the frame's dynamic map content over the static layer.
void DrawMapScene();
