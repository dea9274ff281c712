#include "platform/raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "platform/texture.h"
#include "platform/threads.h"
#include "sprite_pixels.h"

namespace {

using plat::CompareFunc;
using plat::PixelBuffer;
using plat::PixelFormat;
using plat::PrimitiveType;
using plat::RasterState;
using plat::RasterVertex;

// A colour buffer with its Z-buffer, both prefilled, and a state with depth off.
struct Scene {
    PixelBuffer color;
    PixelBuffer depth;
    plat::RenderTarget target;
    Scene(int w, int h, std::uint16_t colorFill = 0x1234, std::uint16_t depthFill = 0xFFFF,
          PixelFormat format = PixelFormat::RGB565)
        : color(w, h, format, w * 2 + 6) // a pitch wider than the row
        , depth(w, h, PixelFormat::Depth16)
    {
        plat::FillColor16(color, {0, 0, w, h}, colorFill);
        plat::FillDepth(depth, {0, 0, w, h}, depthFill);
        target.color = &color;
        target.depth = &depth;
        target.viewport = {0, 0, w, h};
    }
    std::uint16_t C(int x, int y) const { return color.Row16(y)[x]; }
    std::uint16_t Z(int x, int y) const { return depth.Row16(y)[x]; }
};

struct TextureRef {
    plat::Texture* t = nullptr;
    explicit TextureRef(plat::Texture* tex) : t(tex) {}
    ~TextureRef()
    {
        if (t)
            t->Release();
    }
};

plat::Texture* Make4444(const std::vector<std::uint16_t>& pixels, int w, int h, bool keyed)
{
    plat::Texture* t = plat::Texture::Create(w, h, PixelFormat::ARGB4444);
    plat::TextureLock lock;
    EXPECT_TRUE(t->Lock(lock));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            reinterpret_cast<std::uint16_t*>(lock.bits + y * lock.pitch)[x] = pixels[y * w + x];
    t->Unlock();
    if (keyed)
        t->SetColorKey(0x0F0F);
    return t;
}

// A quad in strip order with texture coordinates 0 .. 0.99999 as the game's template has them.
std::vector<RasterVertex> Quad(float x0, float y0, float x1, float y1, float zTop, float zBottom,
                               std::uint32_t diffuse = 0xFFFFFFFFu)
{
    std::vector<RasterVertex> q(4);
    const float xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
    const float us[4] = {0, 0.99999f, 0, 0.99999f}, vs[4] = {0, 0, 0.99999f, 0.99999f};
    for (int i = 0; i < 4; ++i) {
        q[i].x = xs[i];
        q[i].y = ys[i];
        q[i].z = i < 2 ? zTop : zBottom;
        q[i].diffuse = diffuse;
        q[i].u = us[i];
        q[i].v = vs[i];
    }
    return q;
}

// The game's depth rule in its own float arithmetic.
float GameZ(double value)
{
    float z = 0.99999f - static_cast<float>(value) * 0.00024414063f;
    return z < 0.0f ? 0.0f : (z > 0.99999f ? 0.99999f : z);
}
std::uint16_t HandDepth(double value)
{
    return static_cast<std::uint16_t>(65535 - static_cast<long>(std::trunc(value * 15.9998)));
}

std::uint16_t To565(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return static_cast<std::uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

TEST(RasterDepth, VertexDepthEqualsTheHandWrittenValue)
{
    for (double value : {0.0, 1.0, 2.0, 7.0, 100.0, 1144.0, 1500.5, 2047.0, 3000.25, 4000.0, 4095.0})
        EXPECT_EQ(plat::DepthFromZ(GameZ(value)), HandDepth(value)) << "value " << value;
    // The far end of the rule and a clear to 1.0 both give the depth fill's far value.
    EXPECT_EQ(plat::DepthFromZ(0.99999f), 0xFFFF);
    EXPECT_EQ(plat::DepthFromZ(1.0f), 0xFFFF);
    EXPECT_EQ(plat::DepthFromZ(std::nanf("")), 0xFFFF);
}

TEST(RasterDepth, LessEqualAgainstHandWrittenDepthOfTheSameValue)
{
    struct Case {
        double quadValue;
        double handValue;
        bool drawn;
    };
    const Case cases[] = {
        {1144, 1144, true},   // same value: LESSEQUAL passes
        {1144, 1145, false},  // the hand-written pixel is one row nearer
        {1145, 1144, true},   // the quad is nearer
        {0, 0, true},         // far end against the far clear
        {4095, 4095, true},   // near end
        {300.5, 300.5, true}, // half values (upright sprites centred on odd sizes)
    };
    for (const Case& c : cases) {
        Scene s(8, 8, 0x1111, HandDepth(c.handValue));
        RasterState st;
        st.zEnable = true;
        st.zWrite = true;
        st.zFunc = CompareFunc::LessEqual;
        const float z = GameZ(c.quadValue);
        auto q = Quad(0, 0, 8, 8, z, z, 0xFF00FF00u);
        ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                SCOPED_TRACE(testing::Message() << "quad " << c.quadValue << " hand " << c.handValue);
                EXPECT_EQ(s.C(x, y), c.drawn ? 0x07E0 : 0x1111);
                EXPECT_EQ(s.Z(x, y), c.drawn ? HandDepth(c.quadValue) : HandDepth(c.handValue));
            }
    }
}

TEST(RasterDepth, EqualHoldsBetweenPassesOfTheSameSurface)
{
    // A lying quad with z per row, at fractional positions, written first; then the same quad, and
    // a differently cut quad of the same depth rule, each with EQUAL.
    const double base = 1024 + 37;
    auto zAt = [&](double y) { return GameZ(y + base); };
    Scene s(64, 48);
    RasterState st;
    st.zEnable = true;
    st.zWrite = true;
    st.zFunc = CompareFunc::LessEqual;
    auto first = Quad(3.25f, 2.0f, 60.5f, 45.0f, zAt(2.0), zAt(45.0), 0xFFFF0000u);
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, first.data(), 4));
    const Scene before = s;

    st.zWrite = false;
    st.zFunc = CompareFunc::Equal;
    auto again = Quad(3.25f, 2.0f, 60.5f, 45.0f, zAt(2.0), zAt(45.0), 0xFF0000FFu);
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, again.data(), 4));
    int drawn = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            if (before.C(x, y) == 0xF800) {
                EXPECT_EQ(s.C(x, y), 0x001F) << x << "," << y;
                ++drawn;
            } else {
                EXPECT_EQ(s.C(x, y), before.C(x, y));
            }
    EXPECT_GT(drawn, 50 * 40);

    // A smaller quad inside, cut as a fan with its own corners, still on the same depth rule.
    std::vector<RasterVertex> fan(4);
    const float fx[4] = {10, 40, 40, 10}, fy[4] = {10, 10, 30, 30};
    for (int i = 0; i < 4; ++i) {
        fan[i].x = fx[i];
        fan[i].y = fy[i];
        fan[i].z = zAt(fy[i]);
        fan[i].diffuse = 0xFF00FF00u;
    }
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleFan, fan.data(), 4));
    for (int y = 10; y < 30; ++y)
        for (int x = 10; x < 40; ++x)
            EXPECT_EQ(s.C(x, y), 0x07E0) << x << "," << y;
}

TEST(RasterTexture, KeyedTexelLeavesColourAndDepthUntouched)
{
    const auto disc = sampledata::MakeKeyedDisc4444(16, 16, 15, 8, 0);
    TextureRef tex(Make4444(disc, 16, 16, true));
    for (bool keyEnabled : {true, false}) {
        Scene s(16, 16, 0x5555, 0xFFFF);
        RasterState st;
        st.zEnable = true;
        st.zWrite = true;
        st.colorKey = keyEnabled;
        st.texture = tex.t;
        const float z = GameZ(500);
        auto q = Quad(0, 0, 16, 16, z, z);
        ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const std::uint16_t texel = disc[y * 16 + x];
                const std::uint32_t argb = plat::Texture::Expand(PixelFormat::ARGB4444, texel);
                const bool skipped = keyEnabled && texel == 0x0F0F;
                const std::uint16_t expected = To565((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
                EXPECT_EQ(s.C(x, y), skipped ? 0x5555 : expected) << x << "," << y;
                EXPECT_EQ(s.Z(x, y), skipped ? 0xFFFF : HandDepth(500)) << x << "," << y;
            }
    }
}

TEST(RasterTexture, AlphaZeroTexelsWithBlending)
{
    // Texels: alpha 0 red, alpha 15 green, alpha 8 blue, and a 4444 key.
    const std::vector<std::uint16_t> px = {0x0F00, 0xF0F0, 0x800F, 0x0F0F};
    TextureRef tex(Make4444(px, 4, 1, true));
    struct Case {
        bool alphaTest;
        bool depthWrittenUnderAlphaZero;
    };
    for (const Case c : {Case{false, true}, Case{true, false}}) {
        const std::uint16_t dst = To565(200, 100, 40);
        Scene s(4, 1, dst, 0xFFFF);
        RasterState st;
        st.zEnable = true;
        st.zWrite = true;
        st.colorKey = true;
        st.alphaBlend = true;
        st.srcBlend = plat::BlendFactor::SrcAlpha;
        st.destBlend = plat::BlendFactor::InvSrcAlpha;
        st.alphaTest = c.alphaTest; // the game's reference 0 with NOTEQUAL
        st.alphaRef = 0;
        st.alphaFunc = CompareFunc::NotEqual;
        st.texture = tex.t;
        const float z = GameZ(1000);
        auto q = Quad(0, 0, 4, 1, z, z);
        ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
        // The destination read back for blending is widened by repeating its top bits.
        const std::uint32_t dr = ((200 >> 3) << 3) | ((200 >> 3) >> 2), dg = ((100 >> 2) << 2) | ((100 >> 2) >> 4),
                            db = ((40 >> 3) << 3) | ((40 >> 3) >> 2);
        EXPECT_EQ(s.C(0, 0), dst);                 // alpha 0: the destination, exactly
        EXPECT_EQ(s.C(1, 0), To565(0, 255, 0));    // alpha 255: the texel, exactly
        const std::uint32_t a = 0x88;              // 4-bit alpha 8 widened
        EXPECT_EQ(s.C(2, 0), To565((0 * a + dr * (255 - a)) / 255, (0 * a + dg * (255 - a)) / 255,
                                   (255 * a + db * (255 - a)) / 255));
        EXPECT_EQ(s.C(3, 0), dst);                 // keyed
        EXPECT_EQ(s.Z(0, 0), c.depthWrittenUnderAlphaZero ? HandDepth(1000) : 0xFFFF);
        EXPECT_EQ(s.Z(1, 0), HandDepth(1000));
        EXPECT_EQ(s.Z(3, 0), 0xFFFF);
    }
}

TEST(RasterTexture, TexelsMapOneToOneOntoAnAlignedQuad)
{
    const auto pattern = sampledata::MakeCoordinatePattern4444(16, 8);
    TextureRef tex(Make4444(pattern, 16, 8, false));
    Scene s(20, 10);
    RasterState st;
    st.texture = tex.t;
    auto q = Quad(2, 1, 18, 9, 0, 0);
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 2 && x < 18 && y >= 1 && y < 9;
            if (!inside) {
                EXPECT_EQ(s.C(x, y), 0x1234) << x << "," << y;
                continue;
            }
            const std::uint32_t argb = plat::Texture::Expand(PixelFormat::ARGB4444, pattern[(y - 1) * 16 + (x - 2)]);
            EXPECT_EQ(s.C(x, y), To565((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF)) << x << "," << y;
        }
}

// Counts how often each pixel is written: additive blending of red 8 per write.
std::vector<int> CountWrites(const std::vector<RasterVertex>& v, PrimitiveType type, int w, int h)
{
    Scene s(w, h, 0, 0xFFFF);
    RasterState st;
    st.alphaBlend = true;
    st.srcBlend = plat::BlendFactor::One;
    st.destBlend = plat::BlendFactor::One;
    EXPECT_TRUE(plat::DrawPrimitive(s.target, st, type, v.data(), static_cast<std::uint32_t>(v.size())));
    std::vector<int> counts(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            counts[y * w + x] = s.C(x, y) >> 11;
    return counts;
}

RasterVertex V(float x, float y)
{
    RasterVertex v;
    v.x = x;
    v.y = y;
    v.diffuse = 0xFF080000u;
    return v;
}

TEST(RasterCoverage, SharedEdgesAreDrawnExactlyOnce)
{
    // A 3 x 3 grid of quads on fractional positions, as triangle lists cut along both diagonals.
    const float xs[4] = {1.3f, 7.5f, 12.75f, 20.2f}, ys[4] = {0.6f, 5.5f, 11.25f, 17.9f};
    std::vector<RasterVertex> tris;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            const RasterVertex a = V(xs[i], ys[j]), b = V(xs[i + 1], ys[j]), c = V(xs[i], ys[j + 1]),
                               d = V(xs[i + 1], ys[j + 1]);
            if ((i + j) % 2) {
                tris.insert(tris.end(), {a, b, c, c, b, d});
            } else {
                tris.insert(tris.end(), {a, b, d, a, d, c});
            }
        }
    const auto counts = CountWrites(tris, PrimitiveType::TriangleList, 24, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x) {
            // Pixel centres inside [1.3, 20.2) x [0.6, 17.9).
            const double cx = x + 0.5, cy = y + 0.5;
            const bool inside = cx >= 1.3 && cx < 20.2 && cy >= 0.6 && cy < 17.9;
            EXPECT_EQ(counts[y * 24 + x], inside ? 1 : 0) << x << "," << y;
        }
}

TEST(RasterCoverage, FanAroundACentreCoversEachPixelOnce)
{
    // Eight triangles around a centre off the pixel grid: every edge is shared.
    std::vector<RasterVertex> fan = {V(10.3f, 9.7f)};
    const float ring[9][2] = {{2, 2}, {10, 1}, {18.5f, 2}, {19, 10}, {18, 18}, {10, 19.2f}, {2, 18}, {1, 10}, {2, 2}};
    for (const auto& p : ring)
        fan.push_back(V(p[0], p[1]));
    const auto counts = CountWrites(fan, PrimitiveType::TriangleFan, 21, 21);
    int covered = 0;
    for (int c : counts) {
        EXPECT_LE(c, 1);
        covered += c;
    }
    // The octagon's pixels: hit once each, none twice, no gaps along the spokes.
    EXPECT_GT(covered, 250);
    for (int i = 3; i < 18; ++i) {
        EXPECT_EQ(counts[10 * 21 + i], 1) << "row 10, x " << i;
        EXPECT_EQ(counts[i * 21 + 10], 1) << "column 10, y " << i;
    }
}

TEST(RasterTexture, BilinearAgainstPointMagnification)
{
    // Two texels, black and white, stretched over 8 pixels.
    TextureRef tex(Make4444({0xF000, 0xFFFF}, 2, 1, false));
    auto draw = [&](plat::TextureFilter filter) {
        Scene s(8, 1);
        RasterState st;
        st.texture = tex.t;
        st.magFilter = filter;
        auto q = Quad(0, 0, 8, 1, 0, 0);
        q[1].u = q[3].u = 1.0f;
        EXPECT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
        std::vector<int> red;
        for (int x = 0; x < 8; ++x)
            red.push_back(s.C(x, 0) >> 11);
        return red;
    };
    EXPECT_EQ(draw(plat::TextureFilter::Point), (std::vector<int>{0, 0, 0, 0, 31, 31, 31, 31}));
    // Sample points (x + 0.5) / 4 - 0.5 texels: the red of each pixel is 255 x the white weight,
    // truncated to 5 bits; wrapping blends the ends with the far texel.
    EXPECT_EQ(draw(plat::TextureFilter::Linear), (std::vector<int>{11, 3, 3, 11, 19, 27, 27, 19}));
}

TEST(RasterLines, LineListIsHalfOpenAndMeetsWithoutOverlap)
{
    struct Case {
        std::vector<RasterVertex> verts;
        std::vector<std::pair<int, int>> pixels;
    };
    const Case cases[] = {
        {{V(2, 5.5f), V(10, 5.5f)}, {{2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}, {7, 5}, {8, 5}, {9, 5}}},
        {{V(10, 5.5f), V(2, 5.5f)}, {{2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}, {7, 5}, {8, 5}, {9, 5}}},
        {{V(0, 0), V(6, 6)}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}},
        {{V(3.5f, 1), V(3.5f, 4)}, {{3, 1}, {3, 2}, {3, 3}}},
        // Two chained lines sharing the end point (6, 2.5): the joint pixel is drawn once.
        {{V(2, 2.5f), V(6, 2.5f), V(6, 2.5f), V(6, 2.5f + 3)},
         {{2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}, {6, 3}, {6, 4}}},
    };
    for (const Case& c : cases) {
        const auto counts = CountWrites(c.verts, PrimitiveType::LineList, 12, 8);
        std::vector<int> expected(12 * 8, 0);
        for (auto [x, y] : c.pixels)
            expected[y * 12 + x] = 1;
        EXPECT_EQ(counts, expected) << "line from " << c.verts[0].x << "," << c.verts[0].y;
    }
}

TEST(RasterStages, TextureOperationsOnOnePixel)
{
    // Texel ARGB 4444 0x8F84 -> (0x88, 0xFF, 0x88, 0x44); diffuse and factor as below.
    TextureRef tex(Make4444({0x8F84}, 1, 1, false));
    const std::uint32_t diffuse = 0xFF804020u, factor = 0x5A000000u;
    auto mul = [](std::uint32_t a, std::uint32_t b) { return (a * b + 127) / 255; };
    struct Case {
        plat::TextureOp colorOp;
        plat::TextureArg arg1, arg2;
        std::uint32_t r, g, b;
    };
    const Case cases[] = {
        {plat::TextureOp::Modulate, plat::TextureArg::Texture, plat::TextureArg::Current, mul(0xFF, 0x80), mul(0x88, 0x40),
         mul(0x44, 0x20)},
        {plat::TextureOp::SelectArg1, plat::TextureArg::Texture, plat::TextureArg::Current, 0xFF, 0x88, 0x44},
        {plat::TextureOp::SelectArg2, plat::TextureArg::Texture, plat::TextureArg::Current, 0x80, 0x40, 0x20},
        {plat::TextureOp::AddSmooth, plat::TextureArg::Texture, plat::TextureArg::Current, 0xFF,
         0x88 + 0x40 - mul(0x88, 0x40), 0x44 + 0x20 - mul(0x44, 0x20)},
    };
    for (const Case& c : cases) {
        Scene s(1, 1);
        RasterState st;
        st.texture = tex.t;
        st.textureFactor = factor;
        st.colorOp = c.colorOp;
        st.colorArg1 = c.arg1;
        st.colorArg2 = c.arg2;
        auto q = Quad(0, 0, 1, 1, 0, 0, diffuse);
        ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
        EXPECT_EQ(s.C(0, 0), To565(c.r, c.g, c.b)) << static_cast<int>(c.colorOp);
    }
    // Alpha by the texture factor (the reflections' MODULATE with TFACTOR), then blended over white.
    Scene s(1, 1, 0xFFFF);
    RasterState st;
    st.texture = tex.t;
    st.textureFactor = factor;
    st.alphaOp = plat::TextureOp::Modulate;
    st.alphaArg2 = plat::TextureArg::TFactor;
    st.colorOp = plat::TextureOp::SelectArg1;
    st.alphaBlend = true;
    st.srcBlend = plat::BlendFactor::SrcAlpha;
    st.destBlend = plat::BlendFactor::InvSrcAlpha;
    auto q = Quad(0, 0, 1, 1, 0, 0, diffuse);
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
    const std::uint32_t a = mul(0x88, 0x5A);
    EXPECT_EQ(s.C(0, 0), To565((0xFF * a + 255 * (255 - a)) / 255, (0x88 * a + 255 * (255 - a)) / 255,
                               (0x44 * a + 255 * (255 - a)) / 255));
}

TEST(RasterDepth, BiasPullsTowardTheViewerAndWireframeDrawsEdgesOnly)
{
    Scene s(16, 16, 0, HandDepth(600));
    RasterState st;
    st.zEnable = true;
    st.zWrite = false;
    st.zFunc = CompareFunc::Less;
    const float z = GameZ(600);
    auto q = Quad(0, 0, 16, 16, z, z, 0xFFFFFFFFu);
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
    EXPECT_EQ(s.C(5, 5), 0); // equal depth fails LESS
    st.zBias = 1;
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
    EXPECT_EQ(s.C(5, 5), 0xFFFF);

    Scene w(16, 16, 0);
    RasterState ws;
    ws.fillMode = plat::FillMode::Wireframe;
    auto wq = Quad(2, 2, 14, 14, 0, 0);
    ASSERT_TRUE(plat::DrawPrimitive(w.target, ws, PrimitiveType::TriangleStrip, wq.data(), 4));
    EXPECT_EQ(w.C(2, 2), 0xFFFF);   // corner
    EXPECT_EQ(w.C(8, 2), 0xFFFF);   // top edge
    EXPECT_EQ(w.C(5, 8), 0);        // inside, off the diagonal
    EXPECT_EQ(w.C(0, 0), 0);
}

TEST(RasterSafety, BadInputDrawsNothing)
{
    Scene s(8, 8, 0x1111);
    RasterState st;
    auto q = Quad(0, 0, 8, 8, 0, 0, 0xFF000000u);
    struct Case {
        PrimitiveType type;
        std::uint32_t count;
        bool ok;
    };
    for (const Case c : {Case{PrimitiveType::TriangleStrip, 2, false}, Case{PrimitiveType::TriangleList, 4, false},
                         Case{PrimitiveType::LineList, 3, false}, Case{static_cast<PrimitiveType>(9), 4, false}})
        EXPECT_EQ(plat::DrawPrimitive(s.target, st, c.type, q.data(), c.count), c.ok);
    EXPECT_FALSE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, nullptr, 4));
    const std::uint16_t badIndex[3] = {0, 1, 7};
    EXPECT_FALSE(plat::DrawIndexedPrimitive(s.target, st, PrimitiveType::TriangleList, q.data(), 4, badIndex, 3));
    // Non-finite and absurdly far vertices, and triangles reaching far outside the target.
    auto far = q;
    far[0].x = std::nanf("");
    far[1].y = 1e30f;
    EXPECT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, far.data(), 4));
    auto huge = Quad(-5e5f, -5e5f, 5e5f, 5e5f, 0, 0, 0xFF000000u);
    huge[0].u = 1e20f;
    EXPECT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, huge.data(), 4));
    EXPECT_EQ(s.C(0, 0), 0);
    EXPECT_EQ(s.C(7, 7), 0);
    // No colour buffer or a non-display format: refused.
    plat::RenderTarget none;
    EXPECT_FALSE(plat::DrawPrimitive(none, st, PrimitiveType::TriangleStrip, q.data(), 4));
}

TEST(RasterDepthBuffer, ClearsFillsAndSelfBlits)
{
    PixelBuffer z(8, 6, PixelFormat::Depth16);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            z.Row16(y)[x] = static_cast<std::uint16_t>(y * 8 + x);
    const PixelBuffer original = z;
    // Shift right by 3 and down by 2 (a scroll step), overlapping itself.
    plat::BlitSelf16(z, {0, 0, 5, 4}, 3, 2);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool moved = x >= 3 && y >= 2;
            EXPECT_EQ(z.Row16(y)[x], moved ? original.Row16(y - 2)[x - 3] : original.Row16(y)[x]) << x << "," << y;
        }
    // And back the other way.
    z = original;
    plat::BlitSelf16(z, {3, 2, 8, 6}, 0, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(z.Row16(y)[x], original.Row16(y + 2)[x + 3]);
    // Clipped: source columns -2 and -1 do not exist; columns 0..2 land at 5..7, column 3 off the edge.
    z = original;
    plat::BlitSelf16(z, {-2, 0, 4, 1}, 3, 5);
    EXPECT_EQ(z.Row16(5)[3], original.Row16(5)[3]);
    EXPECT_EQ(z.Row16(5)[4], original.Row16(5)[4]);
    EXPECT_EQ(z.Row16(5)[5], original.Row16(0)[0]);
    EXPECT_EQ(z.Row16(5)[7], original.Row16(0)[2]);

    // Clears of a list of rectangles, clipped; others untouched.
    z = original;
    const plat::Rect rects[2] = {{0, 0, 2, 6}, {6, -3, 20, 1}};
    plat::ClearDepth(z, rects, 2, 0.99999f);
    EXPECT_EQ(z.Row16(3)[1], 0xFFFF);
    EXPECT_EQ(z.Row16(0)[7], 0xFFFF);
    EXPECT_EQ(z.Row16(1)[7], original.Row16(1)[7]);
    EXPECT_EQ(z.Row16(3)[2], original.Row16(3)[2]);
    plat::ClearDepth(z, nullptr, 0, GameZ(1144));
    EXPECT_EQ(z.Row16(5)[5], HandDepth(1144));
}

TEST(RasterTexture, DrawWaitsForAFillOnAnotherThread)
{
    // A loader thread holds the lock while it fills the texture; a draw in the meantime must see
    // either all old or all new pixels: it waits for the unlock.
    TextureRef tex(Make4444(std::vector<std::uint16_t>(64 * 64, 0xF00F), 64, 64, false));
    plat::Event locked, release;
    std::thread loader([&] {
        plat::TextureLock lock;
        ASSERT_TRUE(tex.t->Lock(lock));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x)
                reinterpret_cast<std::uint16_t*>(lock.bits + y * lock.pitch)[x] = 0xFF00;
        locked.Set();
        release.Wait(200); // the draw has started waiting, or soon will
        for (int y = 32; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                reinterpret_cast<std::uint16_t*>(lock.bits + y * lock.pitch)[x] = 0xFF00;
        tex.t->Unlock();
    });
    locked.Wait();
    Scene s(64, 64);
    RasterState st;
    st.texture = tex.t;
    auto q = Quad(0, 0, 64, 64, 0, 0);
    release.Set();
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
    loader.join();
    for (int y = 0; y < 64; y += 7)
        for (int x = 0; x < 64; x += 5)
            ASSERT_EQ(s.C(x, y), 0xF800) << x << "," << y;
    // A second lock on the same thread is refused instead of hanging, and so is a draw of a
    // texture this thread is filling.
    plat::TextureLock lock;
    ASSERT_TRUE(tex.t->Lock(lock));
    plat::TextureLock again;
    EXPECT_FALSE(tex.t->Lock(again));
    tex.t->Fill(0xF0F0); // a fill and a key change under the own lock do not hang
    tex.t->SetColorKey(0x0F0F);
    EXPECT_FALSE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
    tex.t->Unlock();
    EXPECT_EQ(lock.pitch % 8, 0);
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
    EXPECT_EQ(s.C(10, 10), 0x07E0);
}

TEST(RasterTarget, Rgb555TargetPacksFiveBitsGreen)
{
    TextureRef tex(Make4444({0xFFFF, 0xF0F0}, 2, 1, false));
    Scene s(2, 1, 0, 0xFFFF, PixelFormat::RGB555);
    RasterState st;
    st.texture = tex.t;
    auto q = Quad(0, 0, 2, 1, 0, 0);
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
    EXPECT_EQ(s.C(0, 0), 0x7FFF);
    EXPECT_EQ(s.C(1, 0), 0x03E0);
}

} // namespace

namespace {

TEST(RasterPaths, SpritePathsMatchTheGeneralPixelPipeline)
{
    // The same sprites drawn as strips (the whole-quad, direct and translucent sprite paths) and as
    // two-triangle lists through the general pipeline (forced by modulating with a white texture
    // factor) must give the same colours and depths: scaled, mirrored, offset by fractions,
    // clipped, lying and upright, opaque and blended.
    auto disc = sampledata::MakeKeyedDisc4444(32, 32, 15, 7, 2);
    for (std::size_t i = 0; i < disc.size(); i += 3) // translucent texels among the opaque ones
        if (disc[i] != 0x0F0F)
            disc[i] = static_cast<std::uint16_t>((disc[i] & 0x0FFF) | ((i / 3) % 16) << 12);
    TextureRef tex(Make4444(disc, 32, 32, true));
    struct Case {
        float x0, y0, x1, y1;
        float u0, u1;
        double valueTop, valueBottom;
        CompareFunc func;
        float shear = 0; // bottom corners moved right: not a rectangle
        bool blended = false;
        bool lit = false; // the diffuse colour of every vertex is the map light, not white
    };
    const Case cases[] = {
        {10, 10, 42, 42, 0, 0.99999f, 700, 700, CompareFunc::LessEqual},      // 1:1
        {-7, -5, 25, 27, 0, 0.99999f, 700, 700, CompareFunc::LessEqual},      // clipped top-left
        {40, 30, 72, 62, 0, 0.99999f, 700, 700, CompareFunc::LessEqual},      // clipped bottom-right
        {3.4f, 7.6f, 35.4f, 39.6f, 0, 0.99999f, 700, 700, CompareFunc::LessEqual},
        {5, 5, 61, 45, 0, 0.99999f, 700, 700, CompareFunc::LessEqual},        // stretched
        {5, 5, 21, 21, 0, 0.99999f, 700, 700, CompareFunc::LessEqual},        // halved
        {10, 10, 42, 42, 0.99999f, 0, 700, 700, CompareFunc::LessEqual},      // mirrored
        {10, 10, 42, 42, 0.25f, 1.25f, 700, 700, CompareFunc::LessEqual},     // wrapping
        {10, 4, 42, 36, 0, 0.99999f, 900, 868, CompareFunc::LessEqual},       // lying: z per row
        {10, 10, 42, 42, 0, 0.99999f, 700, 700, CompareFunc::Greater},
        {10, 10, 42, 42, 0, 0.99999f, 700, 700, CompareFunc::LessEqual, 9.5f},
        {10, 10, 42, 42, 0, 0.99999f, 700, 700, CompareFunc::LessEqual, 0, true},
        {3.4f, 7.6f, 50.4f, 39.6f, 0.99999f, 0, 900, 868, CompareFunc::LessEqual, 0, true},
        {10, 10, 42, 42, 0, 0.99999f, 700, 700, CompareFunc::LessEqual, 0, false, true},
        {-7, -5, 25, 27, 0.99999f, 0, 700, 700, CompareFunc::LessEqual, 0, false, true},
        {5, 5, 61, 45, 0, 0.99999f, 900, 868, CompareFunc::LessEqual, 0, false, true},
        {10, 10, 42, 42, 0.25f, 1.25f, 700, 700, CompareFunc::Greater, 0, false, true},
        {10, 10, 42, 42, 0, 0.99999f, 700, 700, CompareFunc::LessEqual, 9.5f, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "quad " << c.x0 << "," << c.y0 << " u " << c.u0 << " func "
                                        << static_cast<int>(c.func));
        auto q = Quad(c.x0, c.y0, c.x1, c.y1, GameZ(c.valueTop), GameZ(c.valueBottom));
        q[0].u = q[2].u = c.u0;
        q[1].u = q[3].u = c.u1;
        q[2].x += c.shear;
        q[3].x += c.shear;
        constexpr std::uint32_t kLight = 0xFFE5E5E5u;
        if (c.lit)
            for (auto& v : q)
                v.diffuse = kLight;
        const std::vector<RasterVertex> list = {q[0], q[1], q[2], q[1], q[3], q[2]};
        // A depth pattern that some sprite pixels pass and some fail.
        auto scene = [] {
            Scene s(64, 48, 0x2222, 0);
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 64; ++x)
                    s.depth.Row16(y)[x] = HandDepth(680 + (x * 7 + y * 3) % 40);
            return s;
        };
        Scene fast = scene(), general = scene();
        RasterState st;
        st.zEnable = true;
        st.zWrite = true;
        st.zFunc = c.func;
        st.colorKey = true;
        st.texture = tex.t;
        st.alphaBlend = c.blended;
        st.srcBlend = plat::BlendFactor::SrcAlpha;
        st.destBlend = plat::BlendFactor::InvSrcAlpha;
        st.alphaTest = c.blended;
        st.alphaFunc = CompareFunc::NotEqual;
        ASSERT_TRUE(plat::DrawPrimitive(fast.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
        st.colorOp = plat::TextureOp::Modulate;
        st.colorArg2 = plat::TextureArg::TFactor;
        st.textureFactor = c.lit ? kLight : 0xFFFFFFFFu;
        ASSERT_TRUE(plat::DrawPrimitive(general.target, st, PrimitiveType::TriangleList, list.data(), 6));
        int differences = 0, written = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                differences += fast.C(x, y) != general.C(x, y) || fast.Z(x, y) != general.Z(x, y);
                written += fast.C(x, y) != 0x2222;
            }
        EXPECT_EQ(differences, 0);
        EXPECT_GT(written, 50);
    }
}

} // namespace

namespace {

TEST(RasterDepth, EveryCompareFunctionOnEveryPath)
{
    // The stored depth against a quad nearer, equal and farther, through the direct sprite path
    // (textured, opaque), the translucent path and the general one (no texture).
    TextureRef tex(Make4444(std::vector<std::uint16_t>(16 * 16, 0xFFFF), 16, 16, true));
    struct Func {
        CompareFunc f;
        bool nearer, equal, farther;
    };
    const Func funcs[] = {
        {CompareFunc::Never, false, false, false},   {CompareFunc::Less, true, false, false},
        {CompareFunc::Equal, false, true, false},    {CompareFunc::LessEqual, true, true, false},
        {CompareFunc::Greater, false, false, true},  {CompareFunc::NotEqual, true, false, true},
        {CompareFunc::GreaterEqual, false, true, true}, {CompareFunc::Always, true, true, true},
    };
    for (int path = 0; path < 3; ++path)
        for (const Func& f : funcs)
            for (double value : {801.0, 800.0, 799.0}) { // nearer, equal, farther than 800
                Scene s(16, 2, 0, HandDepth(800));
                RasterState st;
                st.zEnable = true;
                st.zWrite = false;
                st.zFunc = f.f;
                st.texture = path < 2 ? tex.t : nullptr;
                st.alphaBlend = path == 1;
                st.srcBlend = plat::BlendFactor::SrcAlpha;
                st.destBlend = plat::BlendFactor::InvSrcAlpha;
                auto q = Quad(0, 0, 16, 2, GameZ(value), GameZ(value));
                ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
                const bool expected = value > 800 ? f.nearer : (value == 800 ? f.equal : f.farther);
                for (int x = 0; x < 16; ++x)
                    ASSERT_EQ(s.C(x, 1), expected ? 0xFFFF : 0)
                        << "path " << path << " func " << static_cast<int>(f.f) << " value " << value << " x " << x;
            }
}

TEST(RasterStages, DestColorSourceFactorOfTheLandscapeFilter)
{
    // SRCBLEND DESTCOLOR, DESTBLEND INVSRCALPHA, ADDSMOOTH of texel and diffuse.
    TextureRef tex(Make4444({0x8421}, 1, 1, false)); // (0x88, 0x44, 0x22, 0x11)
    const std::uint16_t dst = To565(160, 80, 40);
    Scene s(1, 1, dst);
    RasterState st;
    st.texture = tex.t;
    st.colorOp = plat::TextureOp::AddSmooth;
    st.alphaBlend = true;
    st.srcBlend = plat::BlendFactor::DestColor;
    st.destBlend = plat::BlendFactor::InvSrcAlpha;
    auto q = Quad(0, 0, 1, 1, 0, 0, 0xFF404040u);
    ASSERT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
    auto mul = [](std::uint32_t a, std::uint32_t b) { return (a * b + 127) / 255; };
    auto smooth = [&](std::uint32_t t) { return std::min<std::uint32_t>(255, t + 0x40 - mul(t, 0x40)); };
    const std::uint32_t d[3] = {(20u << 3) | (20u >> 2), (20u << 2) | (20u >> 4), (5u << 3) | (5u >> 2)};
    const std::uint32_t src[3] = {smooth(0x44), smooth(0x22), smooth(0x11)};
    const std::uint32_t a = 0x88; // the texel's alpha, selected by the default alpha operation
    std::uint32_t out[3];
    for (int i = 0; i < 3; ++i)
        out[i] = std::min<std::uint32_t>(255, (src[i] * d[i] + d[i] * (255 - a)) / 255);
    EXPECT_EQ(s.C(0, 0), To565(out[0], out[1], out[2]));
}

} // namespace

namespace {

TEST(RasterTexture, RefilledTextureDrawsItsNewPixelsOnEveryPath)
{
    // A texture drawn once, then refilled through a lock and through Fill, then given a key that
    // matches its new pixels: each draw shows the texture as it is now, on the direct sprite path
    // (opaque, depth tested) and on the general one.
    TextureRef tex(Make4444(std::vector<std::uint16_t>(8 * 8, 0xF00F), 8, 8, false));
    auto draw = [&](bool direct) {
        Scene s(8, 8, 0x1111, 0xFFFF);
        RasterState st;
        st.zEnable = direct;
        st.colorKey = true;
        st.texture = tex.t;
        auto q = Quad(0, 0, 8, 8, 0.5f, 0.5f);
        EXPECT_TRUE(plat::DrawPrimitive(s.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
        return s.C(3, 3);
    };
    for (bool direct : {true, false}) {
        EXPECT_EQ(draw(direct), 0x001F);
        plat::TextureLock lock;
        ASSERT_TRUE(tex.t->Lock(lock));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                reinterpret_cast<std::uint16_t*>(lock.bits + y * lock.pitch)[x] = 0xFF00;
        tex.t->Unlock();
        EXPECT_EQ(draw(direct), 0xF800);
        tex.t->Fill(0xF0F0);
        EXPECT_EQ(draw(direct), 0x07E0);
        tex.t->SetColorKey(0xF0F0);
        EXPECT_EQ(draw(direct), 0x1111);
        tex.t->ClearColorKey();
        tex.t->Fill(0xF00F);
    }
}

} // namespace

namespace {

TEST(RasterPaths, PlaneSpansAndBandsMatchTheGeneralPixelPipeline)
{
    // Stage draws under one diffuse colour (texel first: the per-texel planes; diffuse first: the
    // general pipeline, the operations being symmetric; for SRCALPHA the stage span) must agree on
    // every pixel and depth, for
    // opaque, SRCALPHA/INVSRCALPHA and DESTCOLOR/INVSRCALPHA blends, mirrored, clipped, stretched
    // and lying quads, in 565 and 555, drawn whole or in bands by eight threads.
    auto disc = sampledata::MakeKeyedDisc4444(64, 64, 30, 7, 2);
    for (std::size_t i = 0; i < disc.size(); i += 5) // translucent and clear texels among the opaque
        if (disc[i] != 0x0F0F)
            disc[i] = static_cast<std::uint16_t>((disc[i] & 0x0FFF) | ((i / 5) % 16) << 12);
    TextureRef tex(Make4444(disc, 64, 64, true));
    struct Blend {
        bool on;
        plat::BlendFactor src;
    };
    const Blend blends[] = {{false, plat::BlendFactor::SrcAlpha},
                            {true, plat::BlendFactor::SrcAlpha},
                            {true, plat::BlendFactor::DestColor}};
    const plat::TextureOp ops[] = {plat::TextureOp::Modulate, plat::TextureOp::AddSmooth};
    struct Shape {
        float x0, y0, x1, y1, u0, u1;
        double top, bottom;
    };
    const Shape shapes[] = {
        {10, 10, 74, 74, 0, 0.99999f, 700, 700},     // 1:1
        {10, 10, 74, 74, 0.99999f, 0, 700, 700},     // mirrored
        {-9, -7, 55, 57, 0.99999f, 0, 700, 700},     // mirrored, clipped
        {3.4f, 7.6f, 67.4f, 71.6f, 0, 0.99999f, 700, 700},
        {5, 5, 150, 90, 0, 0.99999f, 700, 700},      // stretched
        {10, 4, 74, 68, 0, 0.99999f, 900, 836},      // lying: z per row
        {-20, -20, 200, 140, 0.25f, 2.25f, 800, 800}, // wrapping, over the whole target
    };
    for (PixelFormat format : {PixelFormat::RGB565, PixelFormat::RGB555})
        for (int threads : {1, 8}) {
            plat::SetRasterThreads(threads);
            plat::ResetRasterCounters();
            for (const Blend& b : blends)
                for (plat::TextureOp op : ops)
                    for (const Shape& sh : shapes) {
                        SCOPED_TRACE(testing::Message() << "threads " << threads << " blend " << b.on << "/"
                                                        << static_cast<int>(b.src) << " op " << static_cast<int>(op)
                                                        << " quad " << sh.x0 << "," << sh.y0 << " u " << sh.u0);
                        auto q = Quad(sh.x0, sh.y0, sh.x1, sh.y1, GameZ(sh.top), GameZ(sh.bottom), 0xC0E5B090u);
                        q[0].u = q[2].u = sh.u0;
                        q[1].u = q[3].u = sh.u1;
                        auto scene = [format] {
                            Scene s(160, 120, 0x6B4D, 0, format);
                            for (int y = 0; y < 120; ++y)
                                for (int x = 0; x < 160; ++x) {
                                    s.color.Row16(y)[x] = static_cast<std::uint16_t>(x * 409 + y * 1031);
                                    s.depth.Row16(y)[x] = HandDepth(680 + (x * 7 + y * 3) % 40);
                                }
                            return s;
                        };
                        Scene planes = scene(), general = scene();
                        RasterState st;
                        st.zEnable = true;
                        st.zWrite = true;
                        st.colorKey = true;
                        st.texture = tex.t;
                        st.colorOp = op;
                        st.alphaBlend = b.on;
                        st.srcBlend = b.src;
                        st.destBlend = plat::BlendFactor::InvSrcAlpha;
                        st.colorArg1 = plat::TextureArg::Texture;
                        st.colorArg2 = plat::TextureArg::Diffuse;
                        ASSERT_TRUE(plat::DrawPrimitive(planes.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
                        if (b.on && b.src == plat::BlendFactor::SrcAlpha) {
                            // The translucent stage span (an alpha test that always passes keeps
                            // the planes out).
                            st.alphaTest = true;
                            st.alphaFunc = CompareFunc::Always;
                        } else {
                            st.colorArg1 = plat::TextureArg::Diffuse;
                            st.colorArg2 = plat::TextureArg::Texture;
                        }
                        ASSERT_TRUE(plat::DrawPrimitive(general.target, st, PrimitiveType::TriangleStrip, q.data(), 4));
                        int differences = 0, written = 0;
                        for (int y = 0; y < 120; ++y)
                            for (int x = 0; x < 160; ++x) {
                                differences += planes.C(x, y) != general.C(x, y) || planes.Z(x, y) != general.Z(x, y);
                                written += planes.Z(x, y) != HandDepth(680 + (x * 7 + y * 3) % 40);
                            }
                        EXPECT_EQ(differences, 0);
                        EXPECT_GT(written, 100);
                    }
            const plat::RasterCounters c = plat::ReadRasterCounters();
            if (threads == 1)
                EXPECT_EQ(c.banded, 0u);
            else
                EXPECT_GT(c.banded, 0u) << "the large quads are drawn in bands";
        }
    plat::SetRasterThreads(1);
}

} // namespace
