#pragma once
// The fog as the player sees it, made from the curves a fog pass traced (fog.h): an opaque black
// body of horizontal runs of fogged cells plus one triangle at every diagonal step of a curve, and
// along every curve, on its seen side, an opaque band to an inner offset curve and a soft band
// (the texture "Data\Misc\Fog\SuperFog.tga", blended) out to an outer offset curve.
//
// Coordinates: grid units (the grid's columns and rows), grid pixels (grid units times the cell
// sizes) and screen pixels (grid pixels less 11 cells in each direction).
#include <cstdint>
#include <vector>

#include "devices/quads.h"
#include "map/fog.h"

struct THiddenArea;

namespace plat {
class Surface;
class Texture;
}

// Screen pixels; one node per curve of g_FogCurves, in the same order.
extern std::vector<TFogCurve> g_FogInnerCurves;
extern std::vector<TFogCurve> g_FogOuterCurves;
// The body: 3 vertices per triangle, 6 per quad.
extern std::vector<TScreenVertex> g_FogTriangles;
extern std::uint16_t g_FogTriangleCount;
extern std::vector<TScreenVertex> g_FogQuads;
extern std::uint16_t g_FogQuadCount;

struct TFogRect {
    float x1 = 0.0f;
    float y1 = 0.0f;
    float x2 = 0.0f;
    float y2 = 0.0f;
};
extern std::vector<TFogRect> g_FogSpanRects;

// 2 * g_ViewCols x g_ViewRows, one pixel per grid cell of the visible part: the curves' polygons.
extern plat::Surface* g_FogPolySurface;
// 4 x 4 opaque black (ARGB 4444 0xF000).
extern plat::Texture* g_FogBodyTexture;
extern plat::Texture* g_SuperFogTexture;
constexpr const char* SUPER_FOG_TEXTURE = "Data\\Misc\\Fog\\SuperFog.tga";
// The band's offsets along the summed normal of the two steps at a point (length 2 on straight runs).
constexpr float FOG_INNER_OFFSET = 24.0f;
constexpr float FOG_OUTER_OFFSET = 72.0f;

// The stages a pass runs, in this order, on the curves it traced.
void SmoothFogCurves();
void AlignCurve();
void BuildFogCornerTriangles();
void BuildFogSpans();
void BuildSoftFogBands();

// AlignCurve's fill of one step (grid pixels): appends to out the grid nodes nearest the line
// from `from` to `to`, in order from `from`, so that the step becomes a chain of neighbouring nodes.
// Steps wholly outside the visible part are left as they are.
void FillFogSegment(const TFogPoint& from, const TFogPoint& to, TFogCurve& out);

// Releases the body buffers (triangles and quads).
void FreeFogBody();

// Draws body, inner band and outer band on the map's device; last in the map scene, every frame.
void DrawSuperFog();
// The pixels the body quads of the last pass cover (what DrawSuperFog paints opaque), for a screen
// of the given height.
void FogBodyArea(THiddenArea& area, int screenHeight);
