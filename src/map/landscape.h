#pragma once
// The landscape of the view as the static layer draws it: the walk over the visible cells that
// gathers tile quads with their overlay fans, the quads of trees, stones and miscellaneous objects,
// the raised blocks under the crop fields, the animated map objects and the visible houses; and the
// small drawing routines of those lists (overlays, explosion sprites, the animated-object list).
//
// Depth rule of the map: a vertex whose value (unlifted screen row plus its height, for sprites the
// foot row plus twice the height) is v lies at 0.99999 - (v + g_ViewDepthBase + 1024) / 4096,
// clamped to [0, 0.99999].
//
// Threads: main thread only.
#include <array>
#include <cstdint>
#include <vector>

#include "devices/quads.h"
#include "platform/types.h"

class THouse;
class THouseType;
class TAnimationSlot;
struct THouseAnimation;
namespace plat {
class Texture;
}

// ---- limits of the gathered lists ------------------------------------------------------------
constexpr int LANDSCAPE_MAX_TILES = 1000;
constexpr int LANDSCAPE_MAX_FANS = 9000;
constexpr int LANDSCAPE_FAN_VERTICES = 8;
constexpr int LANDSCAPE_MAX_TREES = 1000;
constexpr int LANDSCAPE_MAX_STONES = 300;
constexpr int LANDSCAPE_MAX_MISC = 300;
constexpr int LANDSCAPE_MAX_BLOCKS = 1000;
constexpr int LANDSCAPE_BLOCK_QUADS = 3;
// Every 51st rebuild lets the houses give back phase graphics they no longer show.
constexpr int LANDSCAPE_RELEASE_PERIOD = 51;

// 1 draws the landscape as wireframe and leaves the overlays out (a developer switch).
extern std::uint8_t g_bWireframe;

// The depth of map value v (see the rule above).
float MapDepth(float v);

// ---- animated map objects --------------------------------------------------------------------

// What an animated node shows: the slot's frames, speed and count, and the frame reached. The map's
// eight animated object codes each have one source shared by all their nodes.
struct TMapAnimSource {
    TAnimationSlot* slot = nullptr;
    float currentFrame = 0.0f;
};

constexpr std::int16_t MAP_ANIM_NO_KEY = 0x7FFF;
constexpr std::uint8_t MAP_ANIM_LAYER_OBJECT = 0;
constexpr std::uint8_t MAP_ANIM_LAYER_HOUSE = 1;

struct TMapAnimNode {
    TMapAnimSource* source = nullptr;
    TMapAnimNode* next = nullptr;
    TMapAnimNode* prev = nullptr;
    TScreenQuad quad{};
    // The sort point: the quad's last (bottom-right) vertex in screen pixels.
    float x = 0.0f;
    float y = 0.0f;
    std::int16_t key = MAP_ANIM_NO_KEY; // the depth value of a house animation
    std::uint8_t layer = MAP_ANIM_LAYER_OBJECT;
    // A house animation keeps its frame in the house's slot record between rebuilds.
    TMapAnimSource ownSource{};
    THouseAnimation* houseSlot = nullptr;
};

// The list the static layer rebuilds and the map scene draws, in drawing order.
extern TMapAnimNode* g_MapAnimList;
// Loads the node's animation when needed and links it before the first node it must precede.
void InsertMapAnimNode(TMapAnimNode*& head, TMapAnimNode* node);
// Frees every node and empties the list.
void FreeMapAnimList(TMapAnimNode*& head);
// The source of one of the animated object codes (9601, 9602, 9694..9699); null for other codes.
TMapAnimSource* MapObjectAnimSource(std::uint16_t code);
// One frame step of a drawn node: speed added, wrapped to 0 at the frame count.
void AdvanceMapAnimFrame(TMapAnimNode& node);

// ---- explosion sprites -----------------------------------------------------------------------

// A frame rectangle: position of the frame inside the sprite, its size, and the texture size the
// frame was cut from (the last two are also part of the validity test).
struct TExplosionFrame {
    plat::Texture* texture = nullptr;
    std::uint16_t rect[6] = {};
};
struct TExplosionSet {
    std::vector<TExplosionFrame> frames;
    std::uint16_t frameCount = 0;
    std::uint16_t hotX = 0;
    std::uint16_t hotY = 0;
};
// One explosion on screen: x, y screen pixels of its ground point, its height above it.
struct TExplosionSprite {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int16_t height = 0;
    const TExplosionSet* set = nullptr;
    std::uint8_t frame = 0;
};
// The quad of the entry's frame; false when the frame cannot be drawn.
bool MakeExplosionQuad(const TExplosionSprite& entry, TScreenQuad& quad, plat::Texture*& texture);
void DrawExplosionSprite(const TExplosionSprite& entry);

// ---- houses ----------------------------------------------------------------------------------

// Whether the graphic a house took its pictures from may still be drawn: true when it took none,
// false when it is one of the type's phases and not loaded.
bool IsHousePhaseReady(const THouse& house, const THouseType& type);

// The pictures a house holds between rebuilds (kept in its drawing slots).
enum THouseDrawSlot { HOUSE_DRAW_PICTURE, HOUSE_DRAW_MASK, HOUSE_DRAW_DEPTH, HOUSE_DRAW_DEPTH_MAP, HOUSE_DRAW_GRAPHIC };

struct TVisibleHouse {
    THouse* house = nullptr;
    std::uint8_t redraw = 0; // 1: the house touches a strip of this rebuild
};
extern std::vector<TVisibleHouse> g_VisibleHouses;

// ---- the gathered lists ----------------------------------------------------------------------

struct TTileRecord {
    std::uint16_t base = 0; // as in the cell: bit 15 = overlays
    std::uint16_t overlay[9] = {};
};
using TOverlayFan = std::array<TScreenVertex, LANDSCAPE_FAN_VERTICES>;

struct TObjectQuadList {
    std::uint16_t count = 0;
    std::vector<std::uint16_t> index; // object index within its kind (16 bits: kinds hold 500)
    std::vector<TScreenQuad> quads;
};

// Until the map load copies the quad template in, every vertex has rhw 0: such quads are never drawn.
struct TLandscapeLists {
    TLandscapeLists();
    std::uint16_t tileCount = 0;
    std::array<TTileRecord, LANDSCAPE_MAX_TILES> tiles{};
    std::array<TScreenQuad, LANDSCAPE_MAX_TILES> tileQuads{};
    // The fans of tile n's non-zero slots, consecutive in building order.
    std::uint16_t fanCount = 0;
    std::vector<TOverlayFan> fans;
    TObjectQuadList trees, stones, misc;
    std::uint16_t blockCount = 0;
    std::vector<TScreenQuad> blocks;
    // Set once the vertex templates were copied in (at the first walk of a loaded map).
    bool templated = false;
};
extern TLandscapeLists g_Landscape;

// Copies the quad template into every vertex of the lists (at map load, or when the light changes).
void FillLandscapeTemplates();

// Cell rectangle, bounds inclusive.
struct TCellRect {
    std::int32_t x0, y0, x1, y1;
    bool Contains(std::int32_t x, std::int32_t y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};
// The one or two cell rectangles whose objects a rebuild in that direction collects (direction 0:
// the whole walk). Returns how many were filled; 0 for an unknown direction.
int LandscapeRedrawRegion(std::uint8_t direction, std::int32_t vx, std::int32_t vy, std::int32_t vw, std::int32_t vh,
                          TCellRect (&out)[2]);

// The fan of overlay slot k of the tile whose left corner (raised by 24) lies at screen (x0, y0),
// from the mesh of BuildTileMesh; colours are the lattice shades.
struct TTileMesh;
void BuildOverlayQuads(float x0, float y0, int slot, const TTileMesh& mesh, TOverlayFan& out);

// Walks the view's cells and refills every list above (g_MapAnimList is emptied by the caller).
void PrepareLandscape(std::uint8_t direction);

// Draws the overlay fans of the gathered tiles (nothing in the wireframe view).
void DrawLandOverlays();

// Draws a strip or fan unless one of its vertices was never filled (rhw 0).
bool DrawFilledPrimitive(int type, const TScreenVertex* vertices, std::uint32_t count);
