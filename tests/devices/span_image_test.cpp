#include "devices/span_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/archive.h"
#include "devices/display.h"
#include "span_images.h"
#include "test_support.h"

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

TEST_F(SpanImages, MaskStartsWhiteAndAndsEveryPixel)
{
    cIMg fresh;
    EXPECT_EQ(fresh.maskColor, MakeColor16(255, 255, 255));
    EXPECT_EQ(fresh.BytesPerPixel(), 3);

    SpanPicture p = FromRows({"1.2", ".3."});
    for (std::size_t i = 0; i < p.rgb.size(); i += 3) {
        p.rgb[i] = 200;
        p.rgb[i + 1] = 150 + static_cast<std::uint8_t>(i);
        p.rgb[i + 2] = 40;
    }
    const auto bytes = sampledata::EncodeIMg(p);
    cIMg img;
    ASSERT_TRUE(img.LoadFromMemory(bytes.data(), static_cast<std::int32_t>(bytes.size()), 2));
    Screen plain(0x1234), masked(0x1234);
    ASSERT_TRUE(img.DrawToSurface(10, 10, &plain.lock, nullptr));
    img.maskColor = MakeColor16(90, 255, 0); // a player colour
    ASSERT_TRUE(img.DrawToSurfaceMasked(10, 10, &masked.lock, nullptr));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const int i = y * 3 + x;
            if (!p.opaque[i]) {
                EXPECT_EQ(plain.At(10 + x, 10 + y), 0x1234) << x << "," << y;
                EXPECT_EQ(masked.At(10 + x, 10 + y), 0x1234) << x << "," << y;
                continue;
            }
            const std::uint16_t c = MakeColor16(p.rgb[i * 3], p.rgb[i * 3 + 1], p.rgb[i * 3 + 2]);
            EXPECT_EQ(plain.At(10 + x, 10 + y), c) << x << "," << y;
            EXPECT_EQ(masked.At(10 + x, 10 + y), c & img.maskColor) << x << "," << y;
        }
}

TEST_F(SpanImages, ClipRectangleAndDepthAtTheEdges)
{
    SpanPicture p;
    p.width = 10;
    p.rows = 3;
    p.opaque.assign(30, 1);
    p.rgb.assign(90, 255);
    p.heights.assign(30, 0);
    const auto ib = sampledata::EncodeIMg(p);
    cIMg img;
    ASSERT_TRUE(img.LoadFromMemory(ib.data(), static_cast<std::int32_t>(ib.size()), 2));
    Screen s(0);
    const plat::Rect clip{2, 1, 4, 2}; // image columns 2..3 of row 1
    ASSERT_TRUE(img.DrawToSurface(20, 20, &s.lock, &clip));
    int written = 0;
    for (int y = 18; y < 26; ++y)
        for (int x = 18; x < 32; ++x)
            written += s.At(x, y) != 0;
    EXPECT_EQ(written, 2);
    EXPECT_NE(s.At(22, 21), 0);
    EXPECT_NE(s.At(23, 21), 0);

    // a lock of a surface smaller than the screen bounds the writes too
    std::vector<std::uint16_t> small(4 * 4, 0);
    TLockedSurface smallLock;
    smallLock.bits = reinterpret_cast<std::uint8_t*>(small.data());
    smallLock.pitch = 8;
    smallLock.width = 4;
    smallLock.height = 4;
    ASSERT_TRUE(img.DrawToSurface(1, 2, &smallLock, nullptr));
    EXPECT_EQ(small[1 * 4 + 3], 0);
    EXPECT_NE(small[2 * 4 + 1], 0);
    EXPECT_NE(small[3 * 4 + 3], 0);

    // Depth is written clipped at both edges, with the clipped image's depth step.
    const auto hb = sampledata::EncodeHMap(p);
    cHMap h;
    ASSERT_TRUE(h.LoadFromMemory(hb.data(), static_cast<std::int32_t>(hb.size())));
    Screen z(7);
    ASSERT_TRUE(h.WriteZ(-5, 100, 1024, &z.lock, nullptr));
    const std::uint16_t clipped = static_cast<std::uint16_t>(65535 - static_cast<int>(1125 * 15.9998));
    EXPECT_EQ(z.At(0, 100), clipped);
    EXPECT_EQ(z.At(4, 100), clipped);
    EXPECT_EQ(z.At(5, 100), 7);
    ASSERT_TRUE(h.WriteZ(static_cast<std::int16_t>(g_ScreenWidth - 3), 100, 1024, &z.lock, nullptr));
    EXPECT_EQ(z.At(g_ScreenWidth - 4, 100), 7);
    EXPECT_EQ(z.At(g_ScreenWidth - 3, 100), clipped);
    EXPECT_EQ(z.At(g_ScreenWidth - 1, 100), clipped);
    EXPECT_TRUE(h.WriteZ(0, static_cast<std::int16_t>(g_ScreenHeight), 0, &z.lock, nullptr));
    EXPECT_FALSE(h.WriteZ(0, 0, 0, nullptr, nullptr));
    cHMap empty;
    EXPECT_FALSE(empty.WriteZ(0, 0, 0, &z.lock, nullptr));
}

TEST_F(SpanImages, HousePhasesLoadFromTheirArchive)
{
    testsupport::TempDir dir;
    ASSERT_TRUE(sampledata::WriteSpanImages(dir.Path()));
    constexpr int kSlot = 998;
    ASSERT_TRUE(Load_LesHeader(kSlot, (dir / "Data/Objects/Houses/SampleHouse.les").c_str()));
    const SpanPicture standing = sampledata::MakeBlockPicture(96, 96, 170, 90, 60);
    cIMg img;
    cHMap h;
    ASSERT_TRUE(img.LoadFromArchive(kSlot, 10, 2));
    ASSERT_TRUE(h.LoadFromArchive(kSlot, 12));
    EXPECT_EQ(img.Width(), 96);
    EXPECT_EQ(img.Rows(), 96);
    EXPECT_EQ(h.GetPixel(48, 95), standing.heights[95 * 96 + 48]);
    EXPECT_EQ(h.GetPixel(0, 0), cHMap::NO_PIXEL); // the roof's corner is transparent
    Screen s(0);
    ASSERT_TRUE(img.DrawToSurface(0, 0, &s.lock, nullptr));
    const std::size_t i = 90 * 96 + 10;
    EXPECT_EQ(s.At(10, 90), MakeColor16(standing.rgb[i * 3], standing.rgb[i * 3 + 1], standing.rgb[i * 3 + 2]));
    cIMg overlay;
    EXPECT_TRUE(overlay.LoadFromArchive(kSlot, 13, 2));
    // a missing entry and a picture read as a height map are refused and leave the objects empty
    EXPECT_FALSE(img.LoadFromArchive(kSlot, 3, 2));
    EXPECT_EQ(img.Width(), 0);
    EXPECT_EQ(img.left, 0);
    EXPECT_FALSE(h.LoadFromArchive(kSlot, 10));
    EXPECT_TRUE(h.Empty());
    CloseLes(kSlot);
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
    // bytes after the values belong to nobody and are left alone
    auto longer = good;
    longer.insert(longer.end(), {1, 2, 3, 4, 5, 6, 7});
    cHMap h;
    EXPECT_TRUE(h.LoadFromMemory(longer.data(), static_cast<std::int32_t>(longer.size())));
    auto longImg = sampledata::EncodeIMg(p);
    longImg.insert(longImg.end(), 9, 0xEE);
    cIMg li;
    ASSERT_TRUE(li.LoadFromMemory(longImg.data(), static_cast<std::int32_t>(longImg.size()), 2));
    EXPECT_EQ(li.Pixels().size(), 3u * 2);
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
