#pragma once
// The map view: the window of the map the screen shows, its size per screen mode, scrolling, the
// map point and cell under the cursor, picking with heights, the quad templates, and the small
// overlays of the map scene (house bars, rally flag, order arrows).
//
// Threads: the view origin, its pixel rectangle and the cursor's map point and cell are written
// under g_InputLock (by ScrollMap on the main thread and by the mouse thread when the cursor
// moves); the main thread reads them freely, other threads under g_InputLock. The rest is main
// thread only.
#include <cstdint>
#include <functional>
#include <vector>

#include "devices/quads.h"
#include "map/map_grid.h"
#include "map/terrain.h"
#include "units/house.h"
#include "platform/types.h"

class THouse;
namespace plat {
class Texture;
}

// The next view rebuild must be complete.
extern std::uint8_t g_bMapViewDirty;
extern std::uint8_t g_ScrollFlag; // 0 none, 1 mouse at an edge, 2 scrolling keys, 10 centring

// The view origin (cells and map pixels): main thread writes under g_InputLock (the mouse thread
// reads it). The row moves in steps of 2, so its parity never changes while scrolling.
extern std::uint16_t g_ViewX;
extern std::uint16_t g_ViewY;
// View size in cells (by screen mode).
extern std::uint16_t g_ViewCols;
extern std::uint16_t g_ViewRows;
// Screen origin in map pixels, and its right and bottom edges.
extern std::int32_t g_ViewPixelX;
extern std::int32_t g_ViewPixelY;
extern std::int32_t g_ViewPixelRight;
extern std::int32_t g_ViewPixelBottom;
// Added to every depth value of the map; moves by 48 per vertical scroll step.
extern std::int16_t g_ViewDepthBase;
// Flips on every vertical scroll.
extern std::uint8_t g_ViewRowToggle;
// The pixel origin is (scale + 1) * 48 * g_ViewX.
extern std::uint8_t g_ViewColumnScale;
// The map pixel point under the mouse cursor, and the cell picked there. Under g_InputLock (the
// mouse thread writes them).
extern std::int32_t g_CursorMapX;
extern std::int32_t g_CursorMapY;
extern std::uint16_t g_CursorCellX;
extern std::uint16_t g_CursorCellY;

// The view's size in cells from the screen size; other widths leave it as it is.
void SetViewSizeByScreen();
// Moves the view by dx columns and 2 * dy rows and rebuilds it.
void ScrollMap(std::int32_t dx, std::int32_t dy);
// Direction code ScrollMap hands to the view rebuild: 0 complete, 1..8 by the signs of dx, dy.
std::uint8_t ScrollDirection(std::int32_t dx, std::int32_t dy);

// The cell whose height-lifted tile is seen at the map pixel point. Reads the map only.
void GetCellFromPoint(float x, float y, plat::Point& out);
// Whether the point lies inside the cell's lifted tile; false for cells on the map's border.
bool IsPointInLiftedTile(std::int32_t cx, std::int32_t cy, float x, float y);

// Cycles the passability overlays: none, land, ship, none.
void ToggleViewMode();

// Fills the quad templates of sprites, fog and landscape.
void InitTileVertexTemplates();
// The two further templates: texture coordinates reversed in both directions, and a plain copy.
extern TScreenQuad g_SpriteQuadTemplateFlipped;
extern TScreenQuad g_SpriteQuadTemplatePlain;

// The untextured look: bound for bars and lines (created and released with the map's resources).
extern plat::Texture* g_pWhiteTexture;

// The house bars gathered by the view rebuild: rectangles in map pixels and their houses.
struct TBarRect {
    std::int32_t x1;
    std::int32_t y1;
    std::int32_t x2;
    std::int32_t y2;
};
struct THouseBarSegments {
    std::vector<TBarRect> rects;
    std::vector<THouse*> houses;
};
extern THouseBarSegments g_HouseBarSegments;

void DrawHouseBars();
void DrawRallyFlag(THouse* house);
void DrawOrderArrow(float x1, float y1, float x2, float y2);
void DrawOrientationArrow(float x1, float y1, float x2, float y2, float length);

// What the view calls beyond the map: the static layer's rebuild and the drawing of the overlays.
// Defaults call the real services; tests put recording stand-ins here.
struct TMapViewServices {
    std::function<void(std::uint8_t direction)> RenderMapView;
    // A screen quad with its texture (null: untextured).
    std::function<bool(const TScreenQuad& quad, plat::Texture* texture)> DrawQuad;
    // A 2-D line between two screen points.
    std::function<bool(const TPointF& a, const TPointF& b, std::uint32_t color)> DrawLine;
    // An upright sprite standing at a map point (DrawUprightSprite's arguments).
    std::function<bool(float x, float y, const TSpriteFrame& frame, std::uint32_t color, int heightOffset)>
        DrawSprite;
    // The port's rally point effect.
    std::function<void(float x, float y)> PortRallyEffect;
    // What the overlays read of a house.
    std::function<bool(const THouse* house, THouseMapFields& out)> HouseFields;
};
TMapViewServices& MapViewServices();
TMapViewServices DefaultMapViewServices();
