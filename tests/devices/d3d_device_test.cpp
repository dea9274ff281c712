#include "devices/d3d_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error_log.h"
#include "devices/display.h"
#include "sprite_pixels.h"
#include "test_support.h"

namespace {

// The log written since the object was made.
class LogSince {
public:
    LogSince() : m_Start(testsupport::ReadText(g_ErrorLog.FileName()).size()) {}
    std::string Text() const
    {
        const std::string all = testsupport::ReadText(g_ErrorLog.FileName());
        return all.size() > m_Start ? all.substr(m_Start) : std::string();
    }

private:
    std::size_t m_Start;
};

// A display with a back surface of the given format, and the device profile restored afterwards.
class DeviceTest : public testing::Test {
protected:
    void Open(plat::PixelFormat format = plat::PixelFormat::RGB565, int w = 64, int h = 48)
    {
        m_Back = std::make_unique<plat::Surface>(w, h, format);
        g_pDD = &m_Display;
        g_pDDSBack = m_Back.get();
        g_ScreenWidth = static_cast<std::uint16_t>(w);
        g_ScreenHeight = static_cast<std::uint16_t>(h);
        // The channel layout the display derives from its back surface's masks.
        const bool is565 = format == plat::PixelFormat::RGB565;
        g_RedShift = is565 ? 11 : 10;
        g_GreenShift = 5;
        g_BlueShift = 0;
        g_RedBits = g_BlueBits = 5;
        g_GreenBits = is565 ? 6 : 5;
    }
    void TearDown() override
    {
        Direct3DFree();
        SetD3DDeviceProfile(SoftwareDeviceProfile());
        g_pDDSBack = nullptr;
        g_pDD = nullptr;
        g_ScreenWidth = g_ScreenHeight = 0;
        g_RedShift = g_GreenShift = g_BlueShift = 0;
        g_RedBits = g_GreenBits = g_BlueBits = 0;
    }

    TDisplayDevice m_Display;
    std::unique_ptr<plat::Surface> m_Back;
};

TPixelFormatDesc Desc(plat::PixelFormat f) { return DescFromPixelFormat(f); }

TEST_F(DeviceTest, InitOnTheSoftwareDeviceSetsTheStartState)
{
    Open();
    ASSERT_TRUE(Direct3DInit());
    ASSERT_NE(g_pD3DDevice, nullptr);
    EXPECT_EQ(g_pD3DDevice->Kind(), D3DDeviceKind::Hal);
    ASSERT_NE(g_pZBuffer, nullptr);
    EXPECT_EQ(g_pDDSBack->AttachedDepth(), g_pZBuffer);
    EXPECT_EQ(g_pZBuffer->Format(), plat::PixelFormat::Depth16);
    EXPECT_EQ(g_pZBuffer->Width(), 64);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(g_pZBuffer->Pixels().Row16(y)[x], 0xFFFF);
    const struct {
        D3DState state;
        std::uint32_t value;
    } expected[] = {
        {D3DState::ColorKeyEnable, 1}, {D3DState::DestBlend, 6}, {D3DState::SrcBlend, 5},
        {D3DState::AlphaRef, 0},       {D3DState::AlphaFunc, 6}, {D3DState::AlphaBlendEnable, 0},
        {D3DState::AlphaTestEnable, 0}, {D3DState::ZEnable, 0},  {D3DState::ZWriteEnable, 0},
        {D3DState::Clipping, 0},
    };
    for (const auto& e : expected)
        EXPECT_EQ(g_pD3DDevice->GetRenderState(e.state), e.value) << static_cast<int>(e.state);
    EXPECT_EQ(g_pD3DDevice->Viewport().width, 64u);
    EXPECT_EQ(g_pD3DDevice->Viewport().height, 48u);
    EXPECT_EQ(g_bLinearMagFilter, 1);
    EXPECT_EQ(g_bTextureOpsSupported, 1);
    EXPECT_EQ(g_TexFormat1555.alphaMask, 0x8000u);
    EXPECT_EQ(g_TexFormat4444.alphaMask, 0xF000u);
    EXPECT_EQ(g_TexFormat8888.alphaMask, 0xFF000000u);

    // Free releases everything and detaches the Z-buffer; a second init works again.
    Direct3DFree();
    EXPECT_EQ(g_pD3DDevice, nullptr);
    EXPECT_EQ(g_pZBuffer, nullptr);
    EXPECT_EQ(g_pD3D, nullptr);
    EXPECT_EQ(g_pDDSBack->AttachedDepth(), nullptr);
    EXPECT_TRUE(Direct3DInit());
}

TEST_F(DeviceTest, TextureFormatEnumeration)
{
    const TPixelFormatDesc f4444 = Desc(plat::PixelFormat::ARGB4444), f1555 = Desc(plat::PixelFormat::ARGB1555),
                           f8888 = Desc(plat::PixelFormat::ARGB8888), f565 = Desc(plat::PixelFormat::RGB565);
    TPixelFormatDesc f4444b = f4444;
    f4444b.redMask = 0x000F; // a second 4444 layout listed later
    f4444b.blueMask = 0x0F00;
    TPixelFormatDesc rgba5551 = f1555;
    rgba5551.alphaMask = 0x0001;
    TPixelFormatDesc noAlphaFlag = f1555;
    noAlphaFlag.flags = kPixelFlagRgb; // a mask without the alpha flag does not count
    struct Case {
        const char* name;
        std::vector<TPixelFormatDesc> formats;
        bool ok;
        const char* log;
        std::uint32_t red4444;
    };
    const Case cases[] = {
        {"all", {f565, f1555, f4444, f8888}, true, nullptr, 0x0F00},
        {"last 4444 wins", {f1555, f4444, f4444b}, true, nullptr, 0x000F},
        {"no 8888 is fine", {f4444, f1555}, true, nullptr, 0x0F00},
        {"alpha in bit 0 counts as 1555", {rgba5551, f4444}, true, nullptr, 0x0F00},
        {"no 1555", {f565, f4444, f8888}, false, "Pixel format 1555 not found!", 0},
        {"1555 without alpha flag", {noAlphaFlag, f4444}, false, "Pixel format 1555 not found!", 0},
        {"no 4444", {f1555, f8888}, false, "Pixel format 4444 not found!", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TD3DDeviceProfile p = SoftwareDeviceProfile();
        p.textureFormats = c.formats;
        SetD3DDeviceProfile(p);
        Open();
        LogSince log;
        EXPECT_EQ(Direct3DInit(), c.ok);
        if (c.log)
            EXPECT_NE(log.Text().find(c.log), std::string::npos) << log.Text();
        else
            EXPECT_EQ(g_TexFormat4444.redMask, c.red4444);
        Direct3DFree();
    }
}

TEST_F(DeviceTest, ZBufferFormatChoice)
{
    const TPixelFormatDesc plain = Desc(plat::PixelFormat::Depth16);
    TPixelFormatDesc withStencil = plain;
    withStencil.flags |= kPixelFlagStencil;
    withStencil.greenMask = 0x1;
    TPixelFormatDesc deep = plain;
    deep.bitCount = 32;
    // Only a format whose flags are exactly "depth" and whose depth is 16 bits is taken; the
    // first one stops the enumeration.
    TPixelFormatDesc found;
    bool have = false;
    EXPECT_TRUE(ZBufferFormatCallback(withStencil, found, have));
    EXPECT_TRUE(ZBufferFormatCallback(deep, found, have));
    EXPECT_FALSE(have);
    EXPECT_FALSE(ZBufferFormatCallback(plain, found, have));
    EXPECT_TRUE(have);
    EXPECT_EQ(found.flags, kPixelFlagZBuffer);

    TD3DDeviceProfile p = SoftwareDeviceProfile();
    p.zBufferFormats = {withStencil, deep, plain};
    SetD3DDeviceProfile(p);
    Open();
    EXPECT_TRUE(Direct3DInit());
    Direct3DFree();

    p.zBufferFormats = {withStencil, deep};
    SetD3DDeviceProfile(p);
    LogSince log;
    EXPECT_FALSE(Direct3DInit());
    EXPECT_NE(log.Text().find("EnumZBufferFormats() FAILED"), std::string::npos);
}

TEST_F(DeviceTest, DeviceFallbacksAndTheirLogLines)
{
    struct Case {
        bool hal, mmx, rgb;
        bool ok;
        D3DDeviceKind kind;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {false, true, true, true, D3DDeviceKind::Mmx, {"Failed to create a HAL device, trying MMX."}},
        {false, false, true, true, D3DDeviceKind::Rgb,
         {"Failed to create a HAL device, trying MMX.", "Failed to create an MMX device, trying RGB"}},
        {false, false, false, false, D3DDeviceKind::Rgb,
         {"Failed to create an MMX device, trying RGB", "Failed to create an RGB device.",
          "No Direct3D Devices are available"}},
    };
    for (const Case& c : cases) {
        TD3DDeviceProfile p = SoftwareDeviceProfile();
        p.halDevice = c.hal;
        p.mmxDevice = c.mmx;
        p.rgbDevice = c.rgb;
        SetD3DDeviceProfile(p);
        Open();
        LogSince log;
        ASSERT_EQ(Direct3DInit(), c.ok);
        if (c.ok)
            EXPECT_EQ(g_pD3DDevice->Kind(), c.kind);
        for (const std::string& line : c.lines)
            EXPECT_NE(log.Text().find(line), std::string::npos) << line;
        Direct3DFree();
    }
}

TEST_F(DeviceTest, InitWithoutADisplayFails)
{
    LogSince log;
    EXPECT_FALSE(Direct3DInit());
    EXPECT_NE(log.Text().find("Direct3D QueryInterface() Failed"), std::string::npos);
    // A back surface that already carries a Z-buffer cannot take another.
    Open();
    plat::Surface other(64, 48, plat::PixelFormat::Depth16);
    g_pDDSBack->AttachDepth(&other);
    LogSince log2;
    EXPECT_FALSE(Direct3DInit());
    EXPECT_NE(log2.Text().find("Attaching Z-buffer FAILED"), std::string::npos);
    g_pDDSBack->AttachDepth(nullptr);
}

TEST(D3DTextures, RoundUpToPowerOfTwo)
{
    const std::pair<std::uint16_t, std::uint16_t> cases[] = {
        {0, 2}, {1, 2}, {2, 2}, {3, 4}, {64, 64}, {65, 128}, {255, 256}, {511, 512}, {512, 512}, {513, 513}, {1000, 1000},
    };
    for (auto [in, out] : cases) {
        std::uint16_t w = in, h = in;
        RoundUpToPowerOfTwo(w, h);
        EXPECT_EQ(w, out) << in;
        EXPECT_EQ(h, out) << in;
    }
    std::uint16_t w = 5, h = 700;
    RoundUpToPowerOfTwo(w, h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 700);
}

TEST_F(DeviceTest, ColourKeyPerTextureFormat)
{
    struct Case {
        plat::PixelFormat display;
        plat::PixelFormat texture;
        std::uint32_t key;
    };
    const Case cases[] = {
        {plat::PixelFormat::RGB565, plat::PixelFormat::ARGB1555, 0x7C1F},
        {plat::PixelFormat::RGB555, plat::PixelFormat::ARGB1555, 0x7C1F},
        {plat::PixelFormat::RGB565, plat::PixelFormat::ARGB4444, 0x0F0F},
        {plat::PixelFormat::RGB555, plat::PixelFormat::ARGB4444, 0x0F0F},
        {plat::PixelFormat::RGB565, plat::PixelFormat::ARGB8888, 0xF81F},
        {plat::PixelFormat::RGB555, plat::PixelFormat::ARGB8888, 0x7C1F},
    };
    for (const Case& c : cases) {
        Open(c.display);
        plat::Texture* t = CreateTexture(16, 8, Desc(c.texture));
        ASSERT_NE(t, nullptr);
        EXPECT_TRUE(t->HasColorKey());
        EXPECT_EQ(t->ColorKey(), c.key) << static_cast<int>(c.texture) << " on " << static_cast<int>(c.display);
        EXPECT_EQ(t->Format(), c.texture);
        t->Release();

        plat::Texture* s = CreateTextureSurface(4, 4);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->Format(), c.display);
        EXPECT_EQ(s->ColorKey(), c.display == plat::PixelFormat::RGB565 ? 0xF81Fu : 0x7C1Fu);
        s->Release();
    }
    plat::Texture* own = CreateTextureWithAlpha(4, 4, Desc(plat::PixelFormat::ARGB4444), 0x1234);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->ColorKey(), 0x1234u);
    own->Release();
    // Without a display object, or for a format the device does not draw, nothing is made.
    EXPECT_EQ(CreateTexture(4, 4, Desc(plat::PixelFormat::Depth16)), nullptr);
    EXPECT_EQ(CreateTexture(0, 4, Desc(plat::PixelFormat::ARGB4444)), nullptr);
    g_pDD = nullptr;
    EXPECT_EQ(CreateTexture(4, 4, Desc(plat::PixelFormat::ARGB4444)), nullptr);
}

TEST_F(DeviceTest, CreateTexture4444CopiesRowsAtThePitchWithoutKey)
{
    Open();
    ASSERT_TRUE(Direct3DInit());
    const auto pixels = sampledata::MakeCoordinatePattern4444(5, 3); // odd width: the pitch is wider
    plat::Texture* t = CreateTexture4444(pixels.data(), 5, 3);
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(t->HasColorKey());
    EXPECT_GT(t->Pixels().Pitch(), 10);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(t->Pixels().Row16(y)[x], pixels[y * 5 + x]);
    t->Release();
    EXPECT_EQ(CreateTexture4444(nullptr, 5, 3), nullptr);
}

TEST_F(DeviceTest, DeviceDrawsAndClearsThroughItsStates)
{
    Open();
    ASSERT_TRUE(Direct3DInit());
    TD3DDevice& dev = *g_pD3DDevice;
    // Out-of-range values are refused and change nothing.
    EXPECT_FALSE(dev.SetRenderState(D3DState::ZFunc, 0));
    EXPECT_FALSE(dev.SetRenderState(D3DState::ZFunc, 9));
    EXPECT_FALSE(dev.SetRenderState(D3DState::SrcBlend, 13));
    EXPECT_FALSE(dev.SetRenderState(D3DState::ZBias, 17));
    EXPECT_FALSE(dev.SetTextureStageState(0, D3DStageState::ColorOp, 12));
    EXPECT_FALSE(dev.SetTextureStageState(1, D3DStageState::ColorOp, 4));
    EXPECT_FALSE(dev.SetTexture(1, reinterpret_cast<plat::Texture*>(&dev)));
    EXPECT_EQ(dev.GetRenderState(D3DState::ZFunc), 4u);

    // A keyed sprite drawn with the depth test on, then the Z-buffer cleared in one rectangle.
    const auto disc = sampledata::MakeKeyedDisc4444(16, 16, 15, 0, 0);
    plat::Texture* t = CreateTexture4444(disc.data(), 16, 16);
    ASSERT_NE(t, nullptr);
    t->SetColorKey(0x0F0F);
    ASSERT_TRUE(dev.SetTexture(0, t));
    t->Release(); // the device keeps its own reference
    ASSERT_TRUE(dev.SetRenderState(D3DState::ZEnable, 1));
    ASSERT_TRUE(dev.SetRenderState(D3DState::ZWriteEnable, 1));
    ASSERT_TRUE(dev.BeginScene());
    plat::RasterVertex q[4];
    const float xs[4] = {8, 24, 8, 24}, ys[4] = {4, 4, 20, 20};
    for (int i = 0; i < 4; ++i) {
        q[i].x = xs[i];
        q[i].y = ys[i];
        q[i].z = 0.5f;
        q[i].u = (i & 1) ? 0.99999f : 0.0f;
        q[i].v = (i & 2) ? 0.99999f : 0.0f;
    }
    ASSERT_TRUE(dev.DrawPrimitive(plat::PrimitiveType::TriangleStrip, q, 4, kDrawWait));
    ASSERT_TRUE(dev.EndScene());
    const plat::PixelBuffer& color = g_pDDSBack->Pixels();
    const plat::PixelBuffer& z = g_pZBuffer->Pixels();
    EXPECT_EQ(z.Row16(12)[16], plat::DepthFromZ(0.5f));
    EXPECT_EQ(z.Row16(4)[8], 0xFFFF); // keyed corner
    EXPECT_NE(color.Row16(12)[16], 0);
    EXPECT_EQ(color.Row16(4)[8], 0);

    const plat::Rect strip{0, 10, 64, 14};
    ASSERT_TRUE(dev.Clear(1, &strip, kClearZBuffer, 0, 0.99999f, 0));
    EXPECT_EQ(z.Row16(12)[16], 0xFFFF);
    EXPECT_EQ(z.Row16(15)[16], plat::DepthFromZ(0.5f));
    ASSERT_TRUE(dev.Clear(0, nullptr, kClearTarget, 0x00FF0000u, 1.0f, 0));
    EXPECT_EQ(color.Row16(0)[0], 0xF800);

    // The static layer's depth blits: a fill and a shift of the Z-buffer onto itself.
    EXPECT_TRUE(DepthFillSurface(g_pZBuffer, nullptr, 0xFFFFFFFFu));
    const plat::Rect r{0, 0, 4, 4};
    EXPECT_TRUE(DepthFillSurface(g_pZBuffer, &r, 0x1234));
    EXPECT_TRUE(BltDepthSelf(g_pZBuffer, plat::Rect{0, 0, 60, 48}, 4, 0));
    EXPECT_EQ(z.Row16(2)[5], 0x1234);
    EXPECT_EQ(z.Row16(2)[8], 0xFFFF);
    EXPECT_FALSE(DepthFillSurface(g_pDDSBack, nullptr, 0));
    EXPECT_FALSE(BltDepthSelf(nullptr, r, 0, 0));
}

TEST(HiddenArea, RectanglesGiveUpAPixelEachSideAndMergeInTheirRows)
{
    THiddenArea area;
    area.Reset(40);
    area.AddRect(10, 4, 30, 20);   // centres 10.5 .. 29.5, 4.5 .. 19.5; kept: 11 .. 28, 5 .. 18
    area.AddRect(28, 10, 60, 30);  // overlaps the first from row 11 on
    area.AddRect(-5, -5, 3, 3);    // above the screen: only what lies inside is kept
    area.AddRect(5, 5, 5, 9);      // empty
    const struct {
        int x0, y0, x1, y1;
        bool hidden;
    } cases[] = {
        {11, 5, 28, 18, true},  {10, 5, 28, 18, false}, {11, 5, 29, 18, false}, {11, 4, 28, 18, false},
        {11, 11, 58, 18, true}, {11, 10, 58, 18, false}, {29, 11, 58, 28, true}, {29, 11, 58, 29, false},
        {0, 0, 1, 1, true},     {0, 0, 2, 1, false},    {5, 5, 5, 5, false},    {11, -1, 12, 6, false},
        {11, 39, 12, 40, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(area.HidesPixels(c.x0, c.y0, c.x1, c.y1), c.hidden) << c.x0 << "," << c.y0 << " .. " << c.x1 << "," << c.y1;
}

TEST_F(DeviceTest, DrawsInsideTheHiddenAreaAreLeftOutUnlessTheyWriteDepth)
{
    Open(plat::PixelFormat::RGB565, 256, 128);
    ASSERT_TRUE(Direct3DInit());
    TD3DDevice& dev = *g_pD3DDevice;
    FillSurface(g_pDDSBack, 0);
    ASSERT_TRUE(DepthFillSurface(g_pZBuffer, nullptr, 0xFFFFFFFFu));
    THiddenArea area;
    area.Reset(g_ScreenHeight);
    area.AddRect(0, 0, 200, 100);
    dev.SetHiddenArea(&area);
    ASSERT_TRUE(dev.SetRenderState(D3DState::ZEnable, 1));
    auto quad = [&](float x0, float y0, float x1, float y1) {
        plat::RasterVertex q[4];
        const float xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
        for (int i = 0; i < 4; ++i) {
            q[i].x = xs[i];
            q[i].y = ys[i];
            q[i].z = 0.5f;
            q[i].diffuse = 0xFFFF0000u;
        }
        return dev.DrawPrimitive(plat::PrimitiveType::TriangleStrip, q, 4, kDrawWait);
    };
    const plat::PixelBuffer& color = g_pDDSBack->Pixels();
    const plat::PixelBuffer& z = g_pZBuffer->Pixels();
    const struct {
        const char* name;
        std::uint32_t zWrite;
        float x0, y0, x1, y1;
        bool drawn;
    } cases[] = {
        {"inside, no depth written", 0, 20, 20, 60, 60, false},
        {"across the edge", 0, 180, 20, 220, 60, true},
        {"inside, depth written", 1, 100, 20, 140, 60, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(dev.SetRenderState(D3DState::ZWriteEnable, c.zWrite));
        const std::uint64_t hidden = dev.HiddenDraws();
        ASSERT_TRUE(quad(c.x0, c.y0, c.x1, c.y1));
        const int cx = static_cast<int>(c.x0) + 5, cy = static_cast<int>(c.y0) + 5;
        EXPECT_EQ(color.Row16(cy)[cx] != 0, c.drawn);
        EXPECT_EQ(dev.HiddenDraws() - hidden, c.drawn ? 0u : 1u);
        EXPECT_EQ(z.Row16(cy)[cx] != 0xFFFF, c.drawn && c.zWrite != 0);
    }
    // Without the area everything is drawn again.
    dev.SetHiddenArea(nullptr);
    ASSERT_TRUE(dev.SetRenderState(D3DState::ZWriteEnable, 0));
    ASSERT_TRUE(quad(20, 20, 60, 60));
    EXPECT_NE(color.Row16(25)[25], 0);
}

} // namespace

namespace {

TEST(D3DWithDisplay, StartsOnTheDisplaysBackSurfaceAndFollowsAModeChange)
{
    // Start-up order: the display, then the device; a mode change frees the device first.
    ASSERT_TRUE(DirectDrawInit(nullptr, 0));
    ASSERT_TRUE(Direct3DInit());
    ASSERT_NE(g_pZBuffer, nullptr);
    EXPECT_EQ(g_pDDSBack->AttachedDepth(), g_pZBuffer);
    EXPECT_EQ(g_pZBuffer->Width(), g_ScreenWidth);
    EXPECT_EQ(g_pZBuffer->Height(), g_ScreenHeight);
    plat::Texture* t = CreateTextureSurface(8, 8);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->ColorKey(), MakeColor16(255, 0, 255));
    t->Release();

    Direct3DFree();
    ReleaseScreenSurfaces();
    ASSERT_TRUE(SetScreenMode(1));
    ASSERT_TRUE(CreateBackBuffer());
    ASSERT_TRUE(Direct3DInit());
    EXPECT_EQ(g_pZBuffer->Width(), 1152);
    EXPECT_EQ(g_pD3DDevice->Viewport().height, 864u);
    Direct3DFree();
    DirectDrawFree();
}

} // namespace
