#include "devices/span_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "devices/display.h"
#include "span_images.h"

using sampledata::SpanPicture;

namespace {

// A picture from rows of text: '.' transparent, a digit is an opaque pixel of that height whose
// colour is (digit * 10, 0, 0).
SpanPicture FromRows(const std::vector<std::string>& rows)
{
    SpanPicture p;
    p.width = static_cast<int>(rows[0].size());
    p.rows = static_cast<int>(rows.size());
    p.opaque.assign(p.width * p.rows, 0);
    p.rgb.assign(p.width * p.rows * 3, 0);
    p.heights.assign(p.width * p.rows, 0);
    for (int r = 0; r < p.rows; ++r)
        for (int c = 0; c < p.width; ++c)
            if (rows[r][c] != '.') {
                const int i = r * p.width + c;
                p.opaque[i] = 1;
                p.heights[i] = static_cast<std::uint16_t>(rows[r][c] - '0');
                p.rgb[i * 3] = static_cast<std::uint8_t>((rows[r][c] - '0') * 10);
            }
    return p;
}

struct Screen {
    std::vector<std::uint16_t> pixels;
    TLockedSurface lock;
    explicit Screen(std::uint16_t fill)
        : pixels(static_cast<std::size_t>(g_ScreenWidth) * g_ScreenHeight, fill)
    {
        lock.bits = reinterpret_cast<std::uint8_t*>(pixels.data());
        lock.pitch = g_ScreenWidth * 2;
    }
    std::uint16_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * g_ScreenWidth + x]; }
};

class SpanImages : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(DirectDrawInit(nullptr, 0)); }
    void TearDown() override { DirectDrawFree(); }
};

} // namespace

TEST_F(SpanImages, GetPixelBetweenAndBesideSpans)
{
    const SpanPicture p = FromRows({
        "..3.45..",
        "........",
        "7.......",
    });
    const auto bytes = sampledata::EncodeHMap(p);
    cHMap h;
    ASSERT_TRUE(h.LoadFromMemory(bytes.data(), static_cast<std::int32_t>(bytes.size())));
    EXPECT_EQ(h.GetPixel(0, 0), cHMap::NO_PIXEL); // left of the first span
    EXPECT_EQ(h.GetPixel(2, 0), 3);              // a one-pixel span
    EXPECT_EQ(h.GetPixel(3, 0), cHMap::NO_PIXEL); // between spans
    EXPECT_EQ(h.GetPixel(4, 0), 4);
    EXPECT_EQ(h.GetPixel(5, 0), 5);
    EXPECT_EQ(h.GetPixel(6, 0), cHMap::NO_PIXEL); // right of the last
    EXPECT_EQ(h.GetPixel(3, 1), cHMap::NO_PIXEL); // an empty row
    EXPECT_EQ(h.GetPixel(0, 2), 7);
}

TEST_F(SpanImages, BoundingBoxAndThreeBytePixelsKeepTheFile)
{
    const SpanPicture p = FromRows({
        "......",
        "..1...",
        ".2..3.",
        "......",
    });
    const auto bytes = sampledata::EncodeIMg(p);
    cIMg img;
    ASSERT_TRUE(img.LoadFromMemory(bytes.data(), static_cast<std::int32_t>(bytes.size()), 3));
    EXPECT_EQ(img.left, 1);
    EXPECT_EQ(img.top, 1);
    EXPECT_EQ(img.right, 4);
    EXPECT_EQ(img.bottom, 2);
    ASSERT_EQ(img.Pixels().size(), 9u);
    EXPECT_EQ(img.Pixels()[0], 10);
    EXPECT_EQ(img.Pixels()[3], 20);
    EXPECT_EQ(img.Pixels()[6], 30);
}

TEST_F(SpanImages, DepthOfTheWorkedExample)
{
    // Height 0 at screen row 100 with base 1024, whole image on screen: 65535 - trunc(1126 * 15.9998).
    const SpanPicture p = FromRows({"0"});
    const auto bytes = sampledata::EncodeHMap(p);
    cHMap h;
    ASSERT_TRUE(h.LoadFromMemory(bytes.data(), static_cast<std::int32_t>(bytes.size())));
    Screen z(0);
    ASSERT_TRUE(h.WriteZ(10, 100, 1024, &z.lock, nullptr));
    EXPECT_EQ(z.At(10, 100), 47520);
    // With a clip rectangle the image counts as clipped: one step less deep.
    const plat::Rect all{0, 0, 1, 1};
    ASSERT_TRUE(h.WriteZ(10, 100, 1024, &z.lock, &all));
    EXPECT_EQ(z.At(10, 100), 65535 - static_cast<int>(1125 * 15.9998));
}

TEST_F(SpanImages, ClippingAtBothScreenEdges)
{
    SpanPicture p;
    p.width = 10;
    p.rows = 2;
    p.opaque.assign(20, 1);
    p.rgb.assign(60, 200);
    p.heights.assign(20, 1);
    const auto bytes = sampledata::EncodeIMg(p);
    cIMg img;
    ASSERT_TRUE(img.LoadFromMemory(bytes.data(), static_cast<std::int32_t>(bytes.size()), 2));
    const std::uint16_t c = MakeColor16(200, 200, 200);

    Screen left(0);
    ASSERT_TRUE(img.DrawToSurface(-5, 0, &left.lock, nullptr));
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(left.At(x, 0), c) << x;
    EXPECT_EQ(left.At(5, 0), 0);

    Screen right(0);
    ASSERT_TRUE(img.DrawToSurface(g_ScreenWidth - 3, g_ScreenHeight - 1, &right.lock, nullptr));
    int written = 0;
    for (int x = 0; x < g_ScreenWidth; ++x)
        written += right.At(x, g_ScreenHeight - 1) == c;
    EXPECT_EQ(written, 3);
    EXPECT_EQ(right.At(g_ScreenWidth - 3, g_ScreenHeight - 1), c);

    Screen off(0);
    EXPECT_TRUE(img.DrawToSurface(g_ScreenWidth, 0, &off.lock, nullptr)); // beyond the screen: nothing, true
    EXPECT_FALSE(img.DrawToSurface(0, 0, nullptr, nullptr));
}

TEST_F(SpanImages, CheckerAndMaskedDraws)
{
    SpanPicture p;
    p.width = 4;
    p.rows = 4;
    p.opaque.assign(16, 1);
    p.rgb.assign(48, 255);
    p.heights.assign(16, 0);
    const auto hb = sampledata::EncodeHMap(p);
    cHMap h;
    ASSERT_TRUE(h.LoadFromMemory(hb.data(), static_cast<std::int32_t>(hb.size())));
    Screen z(1);
    ASSERT_TRUE(h.WriteZChecker(0, 0, 0, &z.lock, nullptr));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(z.At(x, y) != 1, ((x ^ y) & 1) == 0) << x << "," << y;

    const auto ib = sampledata::EncodeIMg(p);
    cIMg img;
    ASSERT_TRUE(img.LoadFromMemory(ib.data(), static_cast<std::int32_t>(ib.size()), 2));
    img.maskColor = MakeColor16(255, 0, 0);
    Screen s(0);
    ASSERT_TRUE(img.DrawToSurfaceMasked(0, 0, &s.lock, nullptr));
    EXPECT_EQ(s.At(2, 2), MakeColor16(255, 0, 0));
}

TEST_F(SpanImages, RefusesLyingFiles)
{
    const SpanPicture p = FromRows({"12", "3."});
    const auto good = sampledata::EncodeHMap(p);
    struct Case {
        const char* what;
        std::size_t offset; // byte to patch
        std::uint8_t value;
    } cases[] = {
        {"bad magic", 0, 'X'},
        {"value count beyond the data", 10, 0xFF},
        {"span past the width", 18, 9},
        {"span start after its end", 16, 5},
    };
    for (const auto& c : cases) {
        auto bad = good;
        bad[c.offset] = c.value;
        cHMap h;
        EXPECT_FALSE(h.LoadFromMemory(bad.data(), static_cast<std::int32_t>(bad.size()))) << c.what;
        EXPECT_TRUE(h.Empty()) << c.what;
    }
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        cHMap h;
        EXPECT_FALSE(h.LoadFromMemory(good.data(), static_cast<std::int32_t>(cut))) << "cut at " << cut;
    }
    const auto img = sampledata::EncodeIMg(p);
    for (std::size_t cut = 0; cut < img.size(); ++cut) {
        cIMg i;
        EXPECT_FALSE(i.LoadFromMemory(img.data(), static_cast<std::int32_t>(cut), 2)) << "cut at " << cut;
    }
}
