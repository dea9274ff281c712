#include "devices/display.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/error_log.h"
#include "devices/cursor_state.h"
#include "platform/window.h"
#include "test_support.h"

namespace {

using plat::PixelFormat;
using plat::Rect;
using plat::Surface;

// Each test starts with a fresh windowless full-screen display of mode 0.
class Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDisplayFormat(PixelFormat::RGB565);
        plat::SetVideoMemoryBytes(64ull << 20);
        g_bWindowed = 0;
        g_TextFont = nullptr;
        g_TextColor = 0xFFFFFF;
        ASSERT_TRUE(DirectDrawInit(nullptr, 0));
    }
    void TearDown() override
    {
        DirectDrawFree();
        plat::SetDisplayFormat(PixelFormat::RGB565);
        plat::SetVideoMemoryBytes(64ull << 20);
        g_bWindowed = 0;
    }
};

// Runs the error log in a temporary folder (the log is written to the current folder).
class LogCapture {
public:
    LogCapture() : m_Old(std::filesystem::current_path()) { std::filesystem::current_path(m_Dir.Path()); }
    ~LogCapture() { std::filesystem::current_path(m_Old); }
    std::string Text() const { return testsupport::ReadText(m_Dir / "ReportError.log"); }

private:
    testsupport::TempDir m_Dir;
    std::filesystem::path m_Old;
};

std::unique_ptr<Surface> Pattern(int w, int h)
{
    auto s = std::make_unique<Surface>(w, h, PixelFormat::RGB565);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s->Pixels().Row16(y)[x] = static_cast<std::uint16_t>(1 + y * 64 + x);
    return s;
}

TEST_F(Display, MakeColor16FollowsTheBackBufferMasks)
{
    struct Case {
        PixelFormat format;
        std::uint8_t r, g, b;
        std::uint16_t expected;
    };
    const Case cases[] = {
        {PixelFormat::RGB565, 255, 0, 255, 0xF81F}, {PixelFormat::RGB555, 255, 0, 255, 0x7C1F},
        {PixelFormat::RGB565, 255, 255, 255, 0xFFFF}, {PixelFormat::RGB555, 255, 255, 255, 0x7FFF},
        {PixelFormat::RGB565, 0, 4, 0, 0x0020},      {PixelFormat::RGB555, 0, 4, 0, 0x0000},
        {PixelFormat::RGB565, 38, 71, 88, 0x222B},   {PixelFormat::RGB555, 38, 71, 88, 0x110B},
    };
    for (const Case& c : cases) {
        DirectDrawFree();
        plat::SetDisplayFormat(c.format);
        ASSERT_TRUE(DirectDrawInit(nullptr, 0));
        EXPECT_EQ(MakeColor16(c.r, c.g, c.b), c.expected) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        EXPECT_EQ(g_pDDSBack->Format(), c.format);
    }
    EXPECT_EQ(g_RedShift, 10);
    EXPECT_EQ(g_GreenBits, 5);
}

TEST_F(Display, UnreadablePixelFormatFailsTheStart)
{
    DirectDrawFree();
    LogCapture log;
    plat::SetDisplayFormat(PixelFormat::Depth16);
    EXPECT_FALSE(DirectDrawInit(nullptr, 0));
    EXPECT_NE(log.Text().find("Error reading of pixel format!"), std::string::npos);
    // No colour of the display that was there before, and no division by a zero divisor.
    EXPECT_EQ(MakeColor16(255, 255, 255), 0);
}

TEST_F(Display, ModesAreOfferedOnlyAboveTheirVideoMemoryThreshold)
{
    struct Case {
        std::uint64_t memory;
        std::uint8_t available[4];
    };
    const Case cases[] = {
        {6291456, {0, 0, 0, 0}},   {6291457, {1, 0, 0, 0}},   {7962624, {1, 0, 0, 0}},
        {7962625, {1, 1, 0, 0}},   {10485760, {1, 1, 1, 0}},  {10485761, {1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        DirectDrawFree();
        plat::SetVideoMemoryBytes(c.memory);
        ASSERT_TRUE(DirectDrawInit(nullptr, 0));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(g_ModeAvailable[i], c.available[i]) << c.memory << " mode " << i;
    }
}

TEST_F(Display, WrongModesChangeNothing)
{
    {
        LogCapture log;
        EXPECT_FALSE(SetScreenMode(4));
        EXPECT_FALSE(SetScreenMode(-1));
        EXPECT_EQ(g_ScreenWidth, 1024);
        EXPECT_EQ(g_DisplayMode, 0);
        EXPECT_NE(log.Text().find("Wrong ScreenMode!!!"), std::string::npos);
        EXPECT_EQ(log.Text().find("DDSetVideoMode() FAILED"), std::string::npos);
    }
    DirectDrawFree();
    LogCapture log;
    EXPECT_FALSE(DirectDrawInit(nullptr, 4));
    EXPECT_EQ(g_pDDSBack, nullptr);
    const std::string text = log.Text();
    const auto wrong = text.find("Wrong ScreenMode!!!");
    ASSERT_NE(wrong, std::string::npos);
    EXPECT_NE(text.find("DDSetVideoMode() FAILED", wrong), std::string::npos);
}

TEST_F(Display, ModeChangeRebuildsTheScreenSurfaces)
{
    EXPECT_FALSE(CreateBackBuffer());  // the surfaces exist already
    Surface* back = g_pDDSBack;
    ReleaseScreenSurfaces();
    EXPECT_EQ(g_pDDSPrimary, nullptr);
    EXPECT_EQ(g_pDDSBack, nullptr);
    EXPECT_EQ(g_pDDSBuffer, nullptr);
    ASSERT_TRUE(SetScreenMode(3));
    ASSERT_TRUE(CreateBackBuffer());
    EXPECT_EQ(g_pDDSBack->Width(), 1280);
    EXPECT_EQ(g_pDDSBack->Height(), 1024);
    EXPECT_EQ(g_pDDSBuffer->Height(), 1024);
    EXPECT_EQ(g_pDDSPrimary->BackBuffer(), g_pDDSBack);
    (void)back;
}

TEST_F(Display, WindowedArrangementHasASeparateBackSurface)
{
    DirectDrawFree();
    g_bWindowed = 1;
    ASSERT_TRUE(DirectDrawInit(nullptr, 0));
    EXPECT_EQ(g_pDDSPrimary->BackBuffer(), nullptr);
    ASSERT_NE(g_pDDSBack, nullptr);
    g_pDDSBack->ColorFill(nullptr, 0x1234);
    g_bCursorVisible = 0;
    EXPECT_TRUE(PresentFrame());
    g_bCursorVisible = 1;
    EXPECT_EQ(g_pDDSPrimary->Pixels().Row16(100)[100], 0x1234);
}

// The copy of a 10 x 8 source onto the 1024 x 768 back buffer at various places.
TEST_F(Display, BltSurfaceClipsToTheDestination)
{
    auto src = Pattern(10, 8);
    struct Case {
        const char* name;
        int x, y;
        int srcLeft, srcTop, width, height;  // the part of the source that must arrive at (max(x,0), max(y,0))
    };
    const Case cases[] = {
        {"inside", 100, 50, 0, 0, 10, 8},
        {"last column", 1023, 10, 0, 0, 1, 8},
        {"past the right", 1020, 10, 0, 0, 4, 8},
        {"past the bottom", 10, 765, 0, 0, 10, 3},
        {"past the left", -3, 10, 3, 0, 7, 8},
        {"past the top", 10, -5, 0, 5, 10, 3},
        {"past top and left", -9, -7, 9, 7, 1, 1},
        {"past bottom and right", 1018, 762, 0, 0, 6, 6},
        {"fully left", -10, 10, 0, 0, 0, 0},
        {"fully above", 10, -8, 0, 0, 0, 0},
        {"fully right", 1024, 10, 0, 0, 0, 0},
        {"fully below", 10, 768, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        FillSurface(g_pDDSBack, 0);
        EXPECT_TRUE(BltSurface(g_pDDSBack, src.get(), nullptr, c.x, c.y, false)) << c.name;
        int copied = 0;
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x)
                copied += g_pDDSBack->Pixels().Row16(y)[x] != 0;
        EXPECT_EQ(copied, c.width * c.height) << c.name;
        const int dx = std::max(c.x, 0), dy = std::max(c.y, 0);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_EQ(g_pDDSBack->Pixels().Row16(dy + y)[dx + x], src->Pixels().Row16(c.srcTop + y)[c.srcLeft + x]) << c.name;
    }
}

TEST_F(Display, BltSurfaceWithARectangleOutsideTheSourceFails)
{
    auto src = Pattern(10, 8);
    const Rect outside{5, 0, 12, 8};
    EXPECT_FALSE(BltSurface(g_pDDSBack, src.get(), &outside, 10, 10, false));
    EXPECT_FALSE(BltSurface(nullptr, src.get(), nullptr, 0, 0, false));
    EXPECT_FALSE(BltSurface(g_pDDSBack, nullptr, nullptr, 0, 0, false));
    // A destination size larger than the surface lets the copy run past it: refused, not written.
    EXPECT_FALSE(BltSurfaceClipped(g_pDDSBack, src.get(), 2000, 2000, nullptr, 1020, 0, false));
    EXPECT_TRUE(BltSurfaceClipped(g_pDDSBack, src.get(), 1022, 768, nullptr, 1020, 0, false));
    EXPECT_EQ(g_pDDSBack->Pixels().Row16(0)[1021], src->Pixels().Row16(0)[1]);
    EXPECT_EQ(g_pDDSBack->Pixels().Row16(0)[1022], 0);
}

TEST_F(Display, OffscreenSurfacesUseTheDisplayFormatAndTheirKey)
{
    Surface* s = CreateOffscreenSurface(48, 24, MakeColor16(255, 0, 255), false);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Format(), g_pDDSBack->Format());
    EXPECT_TRUE(s->HasColorKey());
    EXPECT_EQ(s->ColorKey(), 0xF81Fu);
    FillSurface(s, 0x0F0F);
    EXPECT_EQ(s->Pixels().Row16(23)[47], 0x0F0F);
    plat::ReleaseSurface(s);
    EXPECT_EQ(CreateOffscreenSurface(0, 24, 0, true), nullptr);
    EXPECT_EQ(CreateOffscreenSurface(100000, 24, 0, true), nullptr);
    FillSurface(nullptr, 1);
}

// After the present the save-under surface holds what the screen shows under the cursor when the
// cursor is taken away, and the front shows the cursor over the frame.
TEST_F(Display, PresentSavesTheScreenUnderTheCursorAndDrawsIt)
{
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            g_pDDSBack->Pixels().Row16(y)[x] = static_cast<std::uint16_t>(x * 7 + y * 13 + 1);
    const std::uint16_t key = MakeColor16(255, 0, 255);
    Surface* cursor = CreateOffscreenSurface(32, 32, key, true);
    Surface* under = CreateOffscreenSurface(32, 32, 0, true);
    ASSERT_TRUE(cursor && under);
    FillSurface(cursor, key);
    const Rect arrow{0, 0, 8, 8};
    cursor->ColorFill(&arrow, 0x07E0);
    {
        std::lock_guard<plat::CriticalSection> lock(g_InputLock);
        g_pCursorSurf[2] = cursor;
        g_CursorIndex = 2;
        g_CursorWidth = 32;
        g_CursorHeight = 32;
        g_CursorRect = {0, 0, 32, 32};
        g_pSurfUnderCursor = under;
        g_bCursorVisible = 1;
        g_MouseX = 1000;  // the cursor hangs over the right edge
        g_MouseY = 300;
    }
    Surface before(1024, 768, PixelFormat::RGB565);
    ASSERT_TRUE(before.BltFast(0, 0, *g_pDDSBack, nullptr, false));
    ASSERT_TRUE(PresentFrame());

    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 24; ++x) {
            ASSERT_EQ(under->Pixels().Row16(y)[x], before.Pixels().Row16(300 + y)[1000 + x]) << x << "," << y;
            const std::uint16_t shown = g_pDDSPrimary->Pixels().Row16(300 + y)[1000 + x];
            ASSERT_EQ(shown, x < 8 && y < 8 ? 0x07E0 : before.Pixels().Row16(300 + y)[1000 + x]);
        }
    // Putting the saved background back gives the frame without the cursor.
    const Rect saved{0, 0, 24, 32};
    ASSERT_TRUE(BltSurface(g_pDDSPrimary, under, &saved, 1000, 300, false));
    for (int y = 0; y < 768; y += 7)
        for (int x = 0; x < 1024; x += 5)
            ASSERT_EQ(g_pDDSPrimary->Pixels().Row16(y)[x], before.Pixels().Row16(y)[x]);

    std::lock_guard<plat::CriticalSection> lock(g_InputLock);
    g_pCursorSurf[2] = nullptr;
    g_pSurfUnderCursor = nullptr;
    g_CursorIndex = 0;
    plat::ReleaseSurface(cursor);
    plat::ReleaseSurface(under);
}

TEST_F(Display, LostBackBufferMakesThePresentFailUntilRestored)
{
    g_bCursorVisible = 0;
    g_pDDSBack->ForceLost();
    EXPECT_FALSE(PresentFrame());
    g_pDDSBack->Restore();
    EXPECT_TRUE(PresentFrame());
    g_bCursorVisible = 1;
}

TEST_F(Display, SurfaceTextUsesTheSetFontColourAndBackground)
{
    plat::Font* font = plat::CreateFont({"Arial", 14, 400, 204, false});
    ASSERT_NE(font, nullptr);
    EXPECT_FALSE(SetSurfaceTextFont(nullptr, 0x123456));
    EXPECT_EQ(g_TextColor, 0xFFFFFFu);
    ASSERT_TRUE(SetSurfaceTextFont(font, 0x99F7FF));
    const std::uint16_t text = MakeColor16(255, 247, 153);

    FillSurface(g_pDDSBack, 0x1111);
    DrawSurfaceText(g_pDDSBack, 10, 10, u"Верден");
    const int w = font->TextWidth(u"Верден");
    int textPixels = 0, black = 0;
    for (int y = 10; y < 10 + font->Metrics().height; ++y)
        for (int x = 10; x < 10 + w; ++x) {
            const std::uint16_t p = g_pDDSBack->Pixels().Row16(y)[x];
            textPixels += p == text;
            black += p == 0;
            ASSERT_TRUE(p == text || p == 0);
        }
    EXPECT_GT(textPixels, 0);
    EXPECT_GT(black, 0);

    // The 8-bit variant reads code page 1251 and keeps the surface's alignment.
    FillSurface(g_pDDSBack, 0x1111);
    plat::DrawContext(g_pDDSBack).SetTextAlign(plat::kTextAlignRight);
    DrawTextAWithBackground(g_pDDSBack, 300, 40, "\xC2\xE5\xF0\xE4\xE5\xED", true);
    int right = 0;
    for (int y = 40; y < 40 + font->Metrics().height; ++y)
        for (int x = 0; x < 1024; ++x) {
            const std::uint16_t p = g_pDDSBack->Pixels().Row16(y)[x];
            if (p == text) {
                ++right;
                ASSERT_LT(x, 300);
                ASSERT_GE(x, 300 - w - 2);
            } else {
                ASSERT_EQ(p, 0x1111);
            }
        }
    EXPECT_EQ(right, textPixels);
    g_TextFont = nullptr;
    plat::ReleaseFont(font);
}

TEST_F(Display, ShadowedTextLeavesTheContextColourAsTheSurfaceTextColour)
{
    FillSurface(g_pDDSBack, 0);
    plat::DrawContext dc(g_pDDSBack);
    dc.SetBkMode(plat::kBkTransparent);
    dc.SetTextColor(0x00FF00);
    DrawShadowedText(dc, 20, 20, u"Somme", 0x000000FF);
    EXPECT_EQ(g_TextColor, 0x00FF00u);
    EXPECT_EQ(dc.TextColor(), 0x00FF00u);
    int green = 0, red = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x) {
            const std::uint16_t p = g_pDDSBack->Pixels().Row16(y)[x];
            green += p == 0x07E0;
            red += p == 0xF800;
        }
    EXPECT_GT(green, 0);
    EXPECT_GT(red, 0);
    FillSurface(g_pDDSBack, 0);
    DrawSurfaceText(g_pDDSBack, 0, 0, u"A");
    bool sawGreen = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            sawGreen |= g_pDDSBack->Pixels().Row16(y)[x] == 0x07E0;
    EXPECT_TRUE(sawGreen);
}

// The program's window under SDL's dummy driver: frames are presented and the front surface can be
// written out as a picture.
TEST_F(Display, WindowPresentsFramesAndTheFrontCanBeSavedAsBmp)
{
    DirectDrawFree();
    plat::Window* window = plat::CreateMainWindow("Korvela", 1024, 768, true);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(DirectDrawInit(window, 1));
    EXPECT_TRUE(window->IsFullScreen());
    EXPECT_EQ(window->ImageWidth(), 1152);
    FillSurface(g_pDDSBack, MakeColor16(0, 0, 255));
    const Rect red{10, 20, 30, 25};
    g_pDDSBack->ColorFill(&red, MakeColor16(255, 0, 0));
    g_bCursorVisible = 0;
    const auto before = window->PresentCount();
    ASSERT_TRUE(PresentFrame());
    ASSERT_TRUE(PresentFrame());
    EXPECT_EQ(window->PresentCount(), before + 2);
    EXPECT_TRUE(PresentFront());
    g_bCursorVisible = 1;

    testsupport::TempDir dir;
    ASSERT_TRUE(plat::WriteSurfaceBmp(*g_pDDSPrimary, dir / "front.bmp"));
    const auto bmp = testsupport::ReadAll(dir / "front.bmp");
    const std::size_t row = 1152 * 3;
    ASSERT_EQ(bmp.size(), 54 + row * 864);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[28], 24);
    // Rows are stored bottom-up, pixels as blue, green, red.
    const std::size_t at = 54 + (863 - 22) * row + 15 * 3;
    EXPECT_EQ(bmp[at], 0);
    EXPECT_EQ(bmp[at + 2], 255);
    const std::size_t blue = 54 + (863 - 100) * row + 100 * 3;
    EXPECT_EQ(bmp[blue], 255);
    EXPECT_EQ(bmp[blue + 2], 0);

    // The windowed arrangement is a normal window again.
    DirectDrawFree();
    g_bWindowed = 1;
    ASSERT_TRUE(DirectDrawInit(window, 0));
    EXPECT_FALSE(window->IsFullScreen());
    DirectDrawFree();
    plat::DestroyMainWindow();
    EXPECT_EQ(plat::MainWindow(), nullptr);
}

} // namespace
