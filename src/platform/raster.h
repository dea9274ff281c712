#pragma once
// The software rasteriser behind the 3-D device: pre-transformed vertices drawn into a 16-bit colour
// target (RGB565 or RGB555) and a 16-bit Z-buffer, with the render states and the stage-0 texture
// operations the map and the interface use. The pixel rules (coverage, depth, rounding) are written
// down in docs/architecture.md; tests hold the rasteriser to them pixel by pixel.
#include <cstdint>

#include "platform/surface.h"
#include "platform/types.h"

namespace plat {

class Texture;

// One pre-transformed vertex: screen position, z in 0 (near) .. 1 (far), rhw (always 1 here; the
// rasteriser interpolates linearly in screen space), diffuse ARGB, specular (not used), u, v.
struct RasterVertex {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float rhw = 1.0f;
    std::uint32_t diffuse = 0xFFFFFFFFu;
    std::uint32_t specular = 0xFFFFFFFFu;
    float u = 0.0f;
    float v = 0.0f;
};
static_assert(sizeof(RasterVertex) == 32, "the vertex is the game's 32-byte record");

// Numeric values are the ones the drawing code has always used for these settings.
enum class PrimitiveType : std::uint32_t {
    LineList = 2,
    TriangleList = 4,
    TriangleStrip = 5,
    TriangleFan = 6,
};

enum class CompareFunc : std::uint32_t {
    Never = 1,
    Less = 2,
    Equal = 3,
    LessEqual = 4,
    Greater = 5,
    NotEqual = 6,
    GreaterEqual = 7,
    Always = 8,
};

enum class BlendFactor : std::uint32_t {
    Zero = 1,
    One = 2,
    SrcColor = 3,
    InvSrcColor = 4,
    SrcAlpha = 5,
    InvSrcAlpha = 6,
    DestAlpha = 7,
    InvDestAlpha = 8,
    DestColor = 9,
    InvDestColor = 10,
};

enum class TextureOp : std::uint32_t {
    Disable = 1,
    SelectArg1 = 2,
    SelectArg2 = 3,
    Modulate = 4,
    Modulate2x = 5,
    Modulate4x = 6,
    Add = 7,
    AddSigned = 8,
    Subtract = 10,
    AddSmooth = 11,
};

// Arguments of a texture-stage operation. For stage 0, Current is the diffuse colour.
enum class TextureArg : std::uint32_t {
    Diffuse = 0,
    Current = 1,
    Texture = 2,
    TFactor = 3,
};

enum class TextureFilter : std::uint32_t {
    Point = 1,
    Linear = 2,
};

enum class FillMode : std::uint32_t {
    Point = 1,
    Wireframe = 2,
    Solid = 3,
};

// Everything that decides what a draw writes. The defaults are the rasteriser's own start state;
// the device sets the game's start state on top of it.
struct RasterState {
    bool zEnable = false;
    bool zWrite = true;
    CompareFunc zFunc = CompareFunc::LessEqual;
    // Pulls a primitive's depths this many Z-buffer units toward the viewer (0..16).
    std::uint32_t zBias = 0;

    bool alphaBlend = false;
    BlendFactor srcBlend = BlendFactor::One;
    BlendFactor destBlend = BlendFactor::Zero;

    bool alphaTest = false;
    std::uint32_t alphaRef = 0;
    CompareFunc alphaFunc = CompareFunc::Always;

    bool colorKey = false;
    FillMode fillMode = FillMode::Solid;
    std::uint32_t textureFactor = 0xFFFFFFFFu;

    // Texture stage 0.
    const Texture* texture = nullptr;
    TextureOp colorOp = TextureOp::Modulate;
    TextureArg colorArg1 = TextureArg::Texture;
    TextureArg colorArg2 = TextureArg::Current;
    TextureOp alphaOp = TextureOp::SelectArg1;
    TextureArg alphaArg1 = TextureArg::Texture;
    TextureArg alphaArg2 = TextureArg::Current;
    TextureFilter magFilter = TextureFilter::Point;
};

// Where a draw lands: a colour buffer (RGB565 or RGB555), an optional Z-buffer (Depth16, at least
// the colour buffer's size) and the viewport that clips every primitive.
struct RenderTarget {
    PixelBuffer* color = nullptr;
    PixelBuffer* depth = nullptr;
    Rect viewport{};
};

// The stored Z-buffer value of a depth z in 0..1. Exactly the value that software drawing writes by
// hand for the depth value (0.99999 - z) x 4096: 65535 - trunc(value x 15.9998).
std::uint16_t DepthFromZ(float z);
// The hand-written Z-buffer value of a depth value (screen row + twice the height + base + 1024).
std::uint16_t DepthFromValue(double value);

// Draws vertexCount vertices as the given primitive. Invalid counts, vertices that are not finite
// or lie absurdly far off screen, or a target without colour buffer draw nothing and return false.
bool DrawPrimitive(const RenderTarget& target, const RasterState& state, PrimitiveType type,
                   const RasterVertex* vertices, std::uint32_t vertexCount);
// The same with 16-bit indices into vertices; an index at or beyond vertexCount fails the draw.
bool DrawIndexedPrimitive(const RenderTarget& target, const RasterState& state, PrimitiveType type,
                          const RasterVertex* vertices, std::uint32_t vertexCount,
                          const std::uint16_t* indices, std::uint32_t indexCount);

// Drawing threads (1 to 64; 1, the start, draws on the calling thread only). Large draws are cut
// into horizontal bands drawn by these threads; the pictures are the same byte for byte whatever
// the count. Any thread may set it; a draw in progress finishes first.
void SetRasterThreads(int threads);
int RasterThreads();

// What the rasteriser has drawn since the last reset, summed over every thread: primitives it was
// handed and pixels it shaded (covered pixels within the clip, before the key, alpha and depth
// tests). Benchmarks read them to tell a draw that worked from one that drew nothing.
struct RasterCounters {
    std::uint64_t draws = 0;
    std::uint64_t pixels = 0;
    // Draws cut into bands for the drawing threads.
    std::uint64_t banded = 0;
};
RasterCounters ReadRasterCounters();
void ResetRasterCounters();

// Z-buffer operations. Rectangles are clipped to the buffer; an empty one does nothing.
void ClearDepth(PixelBuffer& depth, const Rect* rects, std::uint32_t rectCount, float z);
void FillDepth(PixelBuffer& depth, const Rect& rect, std::uint16_t value);
// Copies src to (x, y) within the same 16-bit buffer, clipped, as if through a temporary copy.
void BlitSelf16(PixelBuffer& buffer, Rect src, int x, int y);
// Fills rectangles of a colour buffer with one 16-bit value.
void FillColor16(PixelBuffer& buffer, const Rect& rect, std::uint16_t value);

} // namespace plat
