#pragma once
// Sprites as textured quads: the pre-transformed vertex, the quad template every drawer copies,
// the depth rule that lets sprites and the software-drawn map share one Z-buffer, the quad
// drawers, the corner and texture-coordinate helpers, the line drawer and the digits.
#include <array>
#include <cstdint>

#include "core/geometry.h"
#include "platform/raster.h"

namespace plat {
class Texture;
}

// x, y in screen pixels, z 0 (near) .. 1 (far), rhw 1, diffuse and specular ARGB, u, v.
using TScreenVertex = plat::RasterVertex;
// Strip order: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right.
using TScreenQuad = std::array<TScreenVertex, 4>;

// The quad every drawer copies before filling positions: z 0, rhw 1, the map light as diffuse,
// opaque white specular, texture coordinates spanning the texture. The map's tile-template set-up
// refills it whenever the light changes.
extern TScreenQuad g_SpriteQuadTemplate;

// The digits texture ("Data\Misc\Numbers2.bmp", 64 x 7, digit d in columns 5d .. 5d + 4); loaded
// and released by the game load.
extern plat::Texture* g_pDigitsTexture;

// Depths stop short of 1.0, the value the Z-buffer is cleared to.
constexpr float kFarDepth = 0.99999f;
// Sprites that take their heights from the ground instead of a given offset.
constexpr int kLandHeightOffset = 999999;

// 0.99999 - value / 4096, clamped to [0, 0.99999]; value is the screen row of the foot plus twice
// the height, the view's depth base and 1024.
float ClampedDepth(float value);
// The depth of a vertex at screen row y standing h pixels above the ground.
float SpriteDepth(float y, float h);

// A sprite frame: a texture and the quad's size in pixels.
struct TSpriteFrame {
    plat::Texture* texture = nullptr;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

// A corner of a sprite quad in map pixels with its height above the ground.
struct TCornerPoint {
    float x = 0.0f;
    float y = 0.0f;
    float h = 0.0f;
};
using TSpriteCorners = std::array<TCornerPoint, 4>;

// The sizes a frame's texture coordinates come from.
struct TFrameSizes {
    std::uint16_t texWidth = 0;
    std::uint16_t texHeight = 0;
    std::uint16_t dataWidth = 0;
    std::uint16_t dataHeight = 0;
};
// Precomputed texture coordinates.
struct TQuadTexCoords {
    float uLeft = 0.0f;
    float uRight = 0.0f;
    float vBottom = 0.0f;
};

// Map positions (x, y) become screen positions by subtracting the view origin.
// heightOffset kLandHeightOffset: each vertex stands at the ground height of its map point.
bool DrawSpriteFrame(float x, float y, const TSpriteFrame& frame, int heightOffset);
// Tested against the Z-buffer at its foot; a non-zero colour becomes the diffuse of the quad.
bool DrawUprightSprite(float x, float y, const TSpriteFrame& frame, std::uint32_t color, int heightOffset);
bool DrawQuadPoints(const TSpriteCorners& corners, const TSpriteFrame& frame);
bool DrawQuadPointsUpright(const TSpriteCorners& corners, const TSpriteFrame& frame);
// The corners turned by angle (radians) about (cx, cy), all in map pixels.
bool DrawQuadPointsRotated(const TSpriteCorners& corners, const TSpriteFrame& frame, float cx, float cy,
                           float angle);
// Screen centre; the caller has bound the texture.
bool DrawRotatedQuad(float cx, float cy, std::uint16_t width, std::uint16_t height, float angle,
                     std::int16_t heightOffset);
// Screen rectangle at depth 0.
bool DrawQuad2D(plat::Texture* texture, float x, float y, float width, float height);

void SetSpriteCorners(int x, int y, const TSpriteFrame& frame, TSpriteCorners& corners);
void SetSpriteCornersUpright(int x, int y, const TSpriteFrame& frame, TSpriteCorners& corners);
void SetQuadTexCoordsFromFrame(TScreenVertex* quad, const TFrameSizes& sizes, bool mirror);
void SetQuadTexCoords(TScreenVertex* quad, const TQuadTexCoords& coords, bool mirror);

// The caller has set z, rhw and colours of the two vertices.
bool DrawLine2D(const TPointF& p0, const TPointF& p1, TScreenVertex* line);

// Decimal digits 5 pixels apart from the digits texture; false when nothing was drawn. A negative
// value draws the digits of its magnitude.
bool DrawNumberTextured(float x, float y, float height, long long value);
