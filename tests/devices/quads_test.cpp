#include "devices/quads.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "device_fixture.h"
#include "devices/image_files.h"
#include "devices/picture.h"
#include "images.h"
#include "map/map_view.h"
#include "platform/texture.h"

namespace {

// Opaque ARGB 4444 colours whose channels are 0 or 15, so their display pixels are exact.
constexpr std::uint16_t kRed = 0xFF00, kGreen = 0xF0F0, kBlue = 0xF00F, kWhite = 0xFFFF, kYellow = 0xFFF0,
                        kCyan = 0xF0FF, kMagenta = 0xFF0F;

std::uint16_t Display16(std::uint16_t argb4444)
{
    auto full = [](int nibble) { return static_cast<std::uint8_t>(nibble ? 255 : 0); };
    return MakeColor16(full((argb4444 >> 8) & 0xF), full((argb4444 >> 4) & 0xF), full(argb4444 & 0xF));
}

std::vector<std::uint8_t> Bytes(const std::vector<std::uint16_t>& px)
{
    std::vector<std::uint8_t> out;
    for (std::uint16_t p : px) {
        out.push_back(static_cast<std::uint8_t>(p));
        out.push_back(static_cast<std::uint8_t>(p >> 8));
    }
    return out;
}

// The digits texture a test loads is released after it.
class Quads : public SpriteDrawTest {
protected:
    void TearDown() override
    {
        if (g_pDigitsTexture)
            g_pDigitsTexture->Release();
        g_pDigitsTexture = nullptr;
        SpriteDrawTest::TearDown();
    }
    std::uint16_t Pixel(int x, int y) const { return g_pDDSBack->Pixels().Row16(y)[x]; }
    std::uint16_t Depth(int x, int y) const { return g_pZBuffer->Pixels().Row16(y)[x]; }
    void DepthOn()
    {
        g_pD3DDevice->SetRenderState(D3DState::ZEnable, 1);
        g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 1);
    }
    // Pixels drawn anywhere on the back buffer.
    int DrawnPixels() const
    {
        int n = 0;
        for (int y = 0; y < g_pDDSBack->Height(); ++y)
            for (int x = 0; x < g_pDDSBack->Width(); ++x)
                n += Pixel(x, y) != 0;
        return n;
    }

};

struct TextureRelease {
    void operator()(plat::Texture* t) const
    {
        if (t)
            t->Release();
    }
};
using TexturePtr = std::unique_ptr<plat::Texture, TextureRelease>;

} // namespace

TEST_F(Quads, DepthRuleValuesAndClamps)
{
    struct Case {
        std::int16_t base;
        float y, h;
        float z;
    };
    const Case cases[] = {
        {0, 100, 10, 0.99999f - 1144.0f / 4096.0f},
        {48, 52, 10, 0.99999f - 1144.0f / 4096.0f}, // a scroll step moves the base, not the depth
        {0, -1024, 0, 0.99999f},                     // exactly at the far end
        {0, -3000, 0, 0.99999f},                     // beyond: clamped, never 1.0
        {0, 3071, 0, 0.99999f - 4095.0f / 4096.0f},  // just above 0
        {0, 5000, 40, 0.0f},                         // below 0
        {-1023, 0, 0, 0.99999f - 1.0f / 4096.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.base << " " << c.y << " " << c.h);
        g_ViewDepthBase = c.base;
        const float z = SpriteDepth(c.y, c.h);
        EXPECT_NEAR(z, std::max(0.0f, c.z), 1e-6f);
        EXPECT_GE(z, 0.0f);
        EXPECT_LE(z, 0.99999f);
    }
    g_ViewDepthBase = 0;
    EXPECT_NEAR(SpriteDepth(100, 10), 0.72069f, 1e-5f);
    EXPECT_EQ(ClampedDepth(std::nanf("")), 0.99999f);
}

TEST_F(Quads, CornersUseIntegerHalvesAndTexCoordsMirror)
{
    const TSpriteFrame frame{nullptr, 5, 7};
    TSpriteCorners c;
    SetSpriteCorners(10, 20, frame, c);
    const float xs[4] = {8, 13, 8, 13}, ys[4] = {17, 17, 24, 24};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(c[i].x, xs[i]);
        EXPECT_EQ(c[i].y, ys[i]);
        EXPECT_EQ(c[i].h, GetLandHeight(xs[i], ys[i]) + 5.0f);
    }
    SetSpriteCornersUpright(10, 20, frame, c);
    EXPECT_EQ(c[0].h, static_cast<float>(GetLandHeight(8, 24)));
    EXPECT_EQ(c[1].h, static_cast<float>(GetLandHeight(13, 24)));

    TScreenQuad q = g_SpriteQuadTemplate;
    SetQuadTexCoordsFromFrame(q.data(), {64, 32, 40, 16}, true);
    const float u = 40 * 0.999f / 64, v = 16 * 0.999f / 32;
    EXPECT_FLOAT_EQ(q[0].u, u);
    EXPECT_FLOAT_EQ(q[1].u, 0.0f);
    EXPECT_FLOAT_EQ(q[2].v, v);
    EXPECT_FLOAT_EQ(q[0].v, 0.0f);
    SetQuadTexCoordsFromFrame(q.data(), {0, 0, 4, 4}, false); // no texture size: no division
    EXPECT_EQ(q[3].u, 0.0f);
}

TEST_F(Quads, NumbersAreDrawnDigitByDigitFromTheDigitsTexture)
{
    const auto bmp = sampledata::MakeNumbersBmp();
    g_pDigitsTexture = CreateTextureFromBmpMemory(bmp);
    ASSERT_TRUE(g_pDigitsTexture);
    struct Case {
        long long value;
        const char* digits;
    };
    for (const Case& c : {Case{105, "105"}, Case{0, "0"}, Case{-42, "42"}, Case{9876543210LL, "9876543210"}}) {
        SCOPED_TRACE(c.value);
        FillSurface(g_pDDSBack, 0);
        const float x = 10, y = 30, height = 3; // digits cover rows y - height .. y - height + 6
        ASSERT_TRUE(DrawNumberTextured(x, y, height, c.value));
        const int count = static_cast<int>(std::strlen(c.digits));
        for (int py = 20; py < 40; ++py) {
            for (int px = 0; px < 80; ++px) {
                const int cell = (px - 10) / 5, cx = (px - 10) % 5, cy = py - 27;
                const bool ink = px >= 10 && cell < count && cy >= 0 && cy < 7 &&
                                 sampledata::DigitPixel(c.digits[cell] - '0', cx, cy);
                ASSERT_EQ(Pixel(px, py), ink ? MakeColor16(255, 255, 255) : 0) << px << "," << py;
            }
        }
    }
}

TEST_F(Quads, RotatedQuadTurnsTheTextureAboutItsCentre)
{
    // 4 x 2 texels, every one telling its place
    const std::vector<std::uint16_t> texels = {kRed, kGreen, kBlue, kWhite, kYellow, kCyan, kMagenta, kRed};
    TexturePtr texture(CreateTexture4444(Bytes(texels).data(), 4, 2));
    ASSERT_TRUE(texture);
    g_pD3DDevice->SetTexture(0, texture.get());
    struct Case {
        const char* name;
        float angle;
        int width, height; // the drawn area on screen
        // texel (column, row) seen at screen offset (a, b) from the area's top-left
        int (*col)(int a, int b);
        int (*row)(int a, int b);
    };
    const Case cases[] = {
        {"0 transposes", 0.0f, 2, 4, [](int, int b) { return b; }, [](int a, int) { return a; }},
        {"half turn", std::numbers::pi_v<float>, 2, 4, [](int, int b) { return 3 - b; }, [](int a, int) { return 1 - a; }},
        {"quarter turn", std::numbers::pi_v<float> / 2, 4, 2, [](int a, int) { return a; },
         [](int, int b) { return 1 - b; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FillSurface(g_pDDSBack, 0);
        const float cx = 40, cy = 60;
        ASSERT_TRUE(DrawRotatedQuad(cx, cy, 4, 2, c.angle, 0));
        const int x0 = static_cast<int>(cx) - c.width / 2, y0 = static_cast<int>(cy) - c.height / 2;
        for (int b = 0; b < c.height; ++b)
            for (int a = 0; a < c.width; ++a)
                EXPECT_EQ(Pixel(x0 + a, y0 + b), Display16(texels[c.row(a, b) * 4 + c.col(a, b)])) << a << "," << b;
        EXPECT_EQ(DrawnPixels(), 8);
    }
}

TEST_F(Quads, UprightSpriteIsTestedAtItsFootInTheGivenColour)
{
    const std::vector<std::uint16_t> white(64, kWhite);
    TexturePtr texture(CreateTexture4444(Bytes(white).data(), 8, 8));
    ASSERT_TRUE(texture);
    DepthOn();
    g_ViewPixelX = 20;
    g_ViewPixelY = 50;
    g_ViewDepthBase = -48;
    ASSERT_TRUE(DrawUprightSprite(100, 200, {texture.get(), 8, 8}, 0xFF00FF00u, 3));
    // centred on map (100, 200): screen 76..83 x 146..153, foot at screen row 154
    const std::uint16_t foot = plat::DepthFromZ(SpriteDepth(154, GetLandHeight(100, 204) + 3.0f));
    for (int y = 146; y < 154; ++y)
        for (int x = 76; x < 84; ++x) {
            ASSERT_EQ(Pixel(x, y), MakeColor16(0, 255, 0)) << x << "," << y;
            ASSERT_EQ(Depth(x, y), foot) << x << "," << y;
        }
    EXPECT_EQ(DrawnPixels(), 64);
}

TEST_F(Quads, LyingAndUprightCornerQuadsDifferOnlyInTheirTopDepth)
{
    const std::vector<std::uint16_t> white(16, kWhite);
    TexturePtr texture(CreateTexture4444(Bytes(white).data(), 4, 4));
    const TSpriteFrame frame{texture.get(), 4, 4};
    TSpriteCorners corners;
    for (int i = 0; i < 4; ++i)
        corners[i] = {10.0f + 4 * (i % 2), 10.0f + 4 * (i / 2), 2.0f};
    DepthOn();
    ASSERT_TRUE(DrawQuadPointsUpright(corners, frame));
    // every row of an upright quad carries the depth of its foot
    const std::uint16_t foot = plat::DepthFromZ(SpriteDepth(14, 2));
    EXPECT_EQ(Depth(10, 10), foot);
    EXPECT_EQ(Depth(13, 13), foot);

    g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
    ASSERT_TRUE(DrawQuadPoints(corners, frame));
    // a lying quad is nearer at its bottom than at its top
    EXPECT_LT(Depth(10, 13), Depth(10, 10));
}

TEST_F(Quads, SpriteFramesScreenQuadsAndLinesDrawThroughTheDevice)
{
    const std::vector<std::uint16_t> red(64, kRed);
    TexturePtr texture(CreateTexture4444(Bytes(red).data(), 8, 8));
    ASSERT_TRUE(texture);
    const TSpriteFrame frame{texture.get(), 8, 8};
    DepthOn();
    g_ViewPixelX = 20;
    g_ViewPixelY = 50;
    // Centred on map (100, 200): screen 76..83 x 146..153, a lying quad nearer at its foot.
    ASSERT_TRUE(DrawSpriteFrame(100, 200, frame, 10));
    for (int y = 146; y < 154; ++y)
        for (int x = 76; x < 84; ++x)
            ASSERT_EQ(Pixel(x, y), Display16(kRed)) << x << "," << y;
    EXPECT_EQ(DrawnPixels(), 64);
    EXPECT_LT(Depth(80, 153), Depth(80, 146));
    std::vector<std::uint16_t> raised;
    for (int y = 146; y < 154; ++y)
        raised.push_back(Depth(80, y));

    // On flat ground the land-height offset stands the corners on the ground: the same quad as an
    // offset of the ground's height, and farther than one 10 pixels above it.
    const int ground = GetLandHeight(100, 200);
    g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
    ASSERT_TRUE(DrawSpriteFrame(100, 200, frame, kLandHeightOffset));
    std::vector<std::uint16_t> onGround;
    for (int y = 146; y < 154; ++y)
        onGround.push_back(Depth(80, y));
    g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
    ASSERT_TRUE(DrawSpriteFrame(100, 200, frame, ground));
    for (int y = 146; y < 154; ++y) {
        EXPECT_EQ(Depth(80, y), onGround[static_cast<std::size_t>(y - 146)]) << y;
        EXPECT_GT(onGround[static_cast<std::size_t>(y - 146)], raised[static_cast<std::size_t>(y - 146)]) << y;
    }

    // A screen rectangle, scaled, whatever the view.
    FillSurface(g_pDDSBack, 0);
    g_pD3DDevice->SetRenderState(D3DState::ZEnable, 0);
    ASSERT_TRUE(DrawQuad2D(texture.get(), 300, 100, 16, 4));
    EXPECT_EQ(Pixel(300, 100), Display16(kRed));
    EXPECT_EQ(Pixel(315, 103), Display16(kRed));
    EXPECT_EQ(DrawnPixels(), 64);

    // A line in its vertices' colour, without a texture; its end point is left out.
    FillSurface(g_pDDSBack, 0);
    g_pD3DDevice->SetTexture(0, nullptr);
    TScreenVertex line[2] = {g_SpriteQuadTemplate[0], g_SpriteQuadTemplate[1]};
    line[0].diffuse = line[1].diffuse = 0xFF00FF00u;
    ASSERT_TRUE(DrawLine2D({10, 20}, {30, 20}, line));
    for (int x = 10; x < 30; ++x)
        ASSERT_EQ(Pixel(x, 20), MakeColor16(0, 255, 0)) << x;
    EXPECT_EQ(DrawnPixels(), 20);
}

TEST_F(Quads, DrawersWithoutADeviceDrawNothing)
{
    TD3DDevice* device = g_pD3DDevice;
    g_pD3DDevice = nullptr;
    TScreenVertex line[2] = {};
    EXPECT_FALSE(DrawNumberTextured(0, 0, 0, 5));
    EXPECT_FALSE(DrawQuad2D(nullptr, 0, 0, 4, 4));
    EXPECT_FALSE(DrawLine2D({0, 0}, {4, 4}, line));
    g_pD3DDevice = device;
}

namespace {

// A 20 x 12 picture with an asymmetric pattern of exact colours.
std::vector<std::uint16_t> TestPicture()
{
    const std::uint16_t palette[] = {kRed, kGreen, kBlue, kWhite, kYellow, kCyan, kMagenta};
    std::vector<std::uint16_t> px(20 * 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            px[y * 20 + x] = palette[(x * 3 + y * 5 + x * y) % 7];
    return px;
}

} // namespace

TEST_F(Quads, PictureRoundTripThroughTilesDrawsThePicture)
{
    const auto px = TestPicture();
    const auto tiles = sampledata::CutIntoTiles(20, 12, px, 8);
    ASSERT_EQ(tiles.size(), 6u);
    const auto block = sampledata::MakePictureBlock(tiles);

    TPicture picture;
    ASSERT_EQ(picture.LoadFromMemory(block), block.size());
    ASSERT_EQ(picture.Count(), 6);
    const TPictureTile& last = picture.Tiles()[5];
    EXPECT_EQ(last.x, 16);
    EXPECT_EQ(last.y, 8);
    EXPECT_EQ(last.dataWidth, 4);
    EXPECT_EQ(last.dataHeight, 4);
    ASSERT_TRUE(last.texture);
    EXPECT_EQ(last.texture->ColorKey(), 0x0F0Fu);
    EXPECT_EQ(last.texture->Pixels().Row16(3)[3], px[11 * 20 + 19]);

    TScreenQuad quad = g_SpriteQuadTemplate;
    picture.DrawAll(kPictureKeepDepth, 5, 7, 0, quad.data());
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(Pixel(5 + x, 7 + y), Display16(px[y * 20 + x])) << x << "," << y;
    EXPECT_EQ(DrawnPixels(), 240);

    // upside down, one tile at a time
    FillSurface(g_pDDSBack, 0);
    picture.DrawTile(picture.Tiles()[0], kPictureFlipped, 1.0f, 0, 0, 0, quad.data());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(Pixel(x, y), Display16(px[(7 - y) * 20 + x])) << x << "," << y;
}

TEST_F(Quads, PictureTileDepthFollowsTheUprightBit)
{
    const auto px = TestPicture();
    const auto tiles = sampledata::CutIntoTiles(20, 12, px, 8);
    const auto block = sampledata::MakePictureBlock(tiles);
    TPicture picture;
    ASSERT_EQ(picture.LoadFromMemory(block), block.size());
    TScreenQuad quad = g_SpriteQuadTemplate;
    DepthOn();
    g_ViewDepthBase = 96;
    // bit 1: the whole tile at the depth of its bottom row
    picture.DrawTile(picture.Tiles()[0], 2, 1.0f, 30, 40, 5, quad.data());
    const std::uint16_t foot = plat::DepthFromZ(ClampedDepth(96 + 1024 + 48 + 10));
    EXPECT_EQ(Depth(30, 40), foot);
    EXPECT_EQ(Depth(37, 47), foot);
    // flags 0xFF keep the caller's depths
    for (TScreenVertex& v : quad)
        v.z = 0.25f;
    g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
    picture.DrawTile(picture.Tiles()[0], kPictureKeepDepth, 1.0f, 30, 40, 5, quad.data());
    EXPECT_EQ(Depth(33, 44), plat::DepthFromZ(0.25f));
}

TEST_F(Quads, PictureBlocksThatLieAreRefusedOrSkipped)
{
    TPicture picture;
    const std::uint8_t empty[] = {0};
    EXPECT_EQ(picture.LoadFromMemory(empty), 1u);
    TScreenQuad quad = g_SpriteQuadTemplate;
    picture.DrawAll(0, 0, 0, 0, quad.data());
    EXPECT_EQ(DrawnPixels(), 0);

    const auto px = TestPicture();
    auto tiles = sampledata::CutIntoTiles(20, 12, px, 8);
    tiles[1].texWidth = 4; // rows wider than the texture: the tile is kept without texture
    const auto block = sampledata::MakePictureBlock(tiles);
    ASSERT_EQ(picture.LoadFromMemory(block), block.size());
    EXPECT_EQ(picture.Tiles()[1].texture, nullptr);
    EXPECT_NE(picture.Tiles()[2].texture, nullptr);

    for (std::size_t cut : {std::size_t{0}, std::size_t{10}, block.size() - 1}) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(picture.LoadFromMemory(std::span<const std::uint8_t>(block).first(cut)), 0u);
        EXPECT_EQ(picture.Count(), 0);
    }
}
