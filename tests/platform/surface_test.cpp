#include "platform/surface.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using plat::PixelFormat;
using plat::Rect;
using plat::Surface;

// Every pixel distinct (and never 0xF81F, the key used below), so a misplaced copy shows.
void FillPattern(Surface& s, std::uint16_t seed = 1)
{
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            s.Pixels().Row16(y)[x] = static_cast<std::uint16_t>(seed + y * 256 + x);
}

std::vector<std::uint16_t> Snapshot(const Surface& s)
{
    std::vector<std::uint16_t> out;
    for (int y = 0; y < s.Height(); ++y)
        out.insert(out.end(), s.Pixels().Row16(y), s.Pixels().Row16(y) + s.Width());
    return out;
}

std::uint16_t At(const Surface& s, int x, int y)
{
    return s.Pixels().Row16(y)[x];
}

TEST(Surface, BltFastRefusesRectanglesThatDoNotLieInside)
{
    struct Case {
        const char* name;
        Rect src;
        int x, y;
    };
    const Case cases[] = {
        {"source past right", {10, 0, 17, 4}, 0, 0},
        {"source past bottom", {0, 10, 4, 13}, 0, 0},
        {"source left negative", {-1, 0, 4, 4}, 0, 0},
        {"source empty", {3, 3, 3, 5}, 0, 0},
        {"source inverted", {5, 3, 2, 5}, 0, 0},
        {"destination past right", {0, 0, 4, 4}, 7, 0},
        {"destination past bottom", {0, 0, 4, 4}, 0, 5},
        {"destination negative", {0, 0, 4, 4}, -1, 0},
    };
    Surface src(16, 12, PixelFormat::RGB565);
    FillPattern(src);
    for (const Case& c : cases) {
        Surface dst(10, 8, PixelFormat::RGB565);
        const auto before = Snapshot(dst);
        EXPECT_FALSE(dst.BltFast(c.x, c.y, src, &c.src, false)) << c.name;
        EXPECT_EQ(Snapshot(dst), before) << c.name;
    }
}

TEST(Surface, BltFastCopiesIntoAPitchWiderThanTheRow)
{
    Surface src(6, 5, PixelFormat::RGB565);
    FillPattern(src);
    Surface dst(8, 6, PixelFormat::RGB565, 8 * 2 + 10);
    // The padding at each row end must survive the copy.
    for (int y = 0; y < dst.Height(); ++y)
        for (int b = 16; b < 26; ++b)
            dst.Pixels().Row(y)[b] = 0xAB;
    const Rect r{1, 1, 5, 4};
    ASSERT_TRUE(dst.BltFast(4, 3, src, &r, false));
    for (int y = 0; y < dst.Height(); ++y) {
        for (int x = 0; x < dst.Width(); ++x) {
            const bool inside = x >= 4 && y >= 3 && y < 6;
            EXPECT_EQ(At(dst, x, y), inside ? At(src, x - 3, y - 2) : 0) << x << "," << y;
        }
        for (int b = 16; b < 26; ++b)
            EXPECT_EQ(dst.Pixels().Row(y)[b], 0xAB);
    }
}

TEST(Surface, KeyedBltSkipsKeyPixelsAndUnkeyedCopiesThem)
{
    Surface src(4, 2, PixelFormat::RGB565);
    const std::uint16_t px[2][4] = {{0xF81F, 1, 2, 0xF81F}, {3, 0xF81F, 0xF81F, 4}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            src.Pixels().Row16(y)[x] = px[y][x];
    src.SetColorKey(0xF81F);

    Surface keyed(4, 2, PixelFormat::RGB565), plain(4, 2, PixelFormat::RGB565);
    keyed.ColorFill(nullptr, 0x1234);
    plain.ColorFill(nullptr, 0x1234);
    ASSERT_TRUE(keyed.BltFast(0, 0, src, nullptr, true));
    ASSERT_TRUE(plain.BltFast(0, 0, src, nullptr, false));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(At(keyed, x, y), px[y][x] == 0xF81F ? 0x1234 : px[y][x]);
            EXPECT_EQ(At(plain, x, y), px[y][x]);
        }
    // A source without a key copies everything even when a keyed copy is asked for.
    src.ClearColorKey();
    ASSERT_TRUE(keyed.BltFast(0, 0, src, nullptr, true));
    EXPECT_EQ(Snapshot(keyed), Snapshot(src));
}

// Overlapping copies on one surface must behave as if the source were copied aside first.
TEST(Surface, OverlappingSelfBltBehavesLikeMemmove)
{
    struct Case {
        Rect src;
        int x, y;
        bool keyed;
    };
    const Case cases[] = {
        {{2, 2, 12, 10}, 4, 3, false},  // down and right
        {{4, 3, 14, 11}, 2, 2, false},  // up and left
        {{2, 2, 12, 10}, 5, 2, false},  // same rows, right
        {{5, 2, 15, 10}, 1, 2, false},  // same rows, left
        {{2, 2, 12, 10}, 2, 4, false},  // same columns, down
        {{2, 2, 12, 10}, 4, 3, true},
        {{4, 3, 14, 11}, 2, 2, true},
        {{2, 2, 12, 10}, 5, 2, true},
        {{5, 2, 15, 10}, 1, 2, true},
    };
    for (const Case& c : cases) {
        Surface s(16, 12, PixelFormat::RGB565);
        FillPattern(s);
        // A few key pixels inside the moved area.
        s.Pixels().Row16(4)[6] = 0xF81F;
        s.Pixels().Row16(7)[9] = 0xF81F;
        s.SetColorKey(0xF81F);

        Surface aside(16, 12, PixelFormat::RGB565);
        ASSERT_TRUE(aside.BltFast(0, 0, s, nullptr, false));
        aside.SetColorKey(0xF81F);
        Surface expected(16, 12, PixelFormat::RGB565);
        ASSERT_TRUE(expected.BltFast(0, 0, s, nullptr, false));
        ASSERT_TRUE(expected.BltFast(c.x, c.y, aside, &c.src, c.keyed));

        ASSERT_TRUE(s.BltFast(c.x, c.y, s, &c.src, c.keyed));
        EXPECT_EQ(Snapshot(s), Snapshot(expected)) << c.x << "," << c.y << " keyed " << c.keyed;
    }
}

TEST(Surface, StretchedBltScalesByNearestPixelAndHonoursTheKey)
{
    Surface src(2, 2, PixelFormat::RGB565);
    src.Pixels().Row16(0)[0] = 10;
    src.Pixels().Row16(0)[1] = 0xF81F;
    src.Pixels().Row16(1)[0] = 30;
    src.Pixels().Row16(1)[1] = 40;
    src.SetColorKey(0xF81F);
    Surface dst(8, 6, PixelFormat::RGB565);
    dst.ColorFill(nullptr, 7);
    const Rect to{1, 1, 5, 5};
    ASSERT_TRUE(dst.Blt(&to, src, nullptr, true));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            std::uint16_t want = 7;
            if (to.Contains(x, y)) {
                const int sx = (x - 1) / 2, sy = (y - 1) / 2;
                const std::uint16_t p = src.Pixels().Row16(sy)[sx];
                want = p == 0xF81F ? 7 : p;
            }
            EXPECT_EQ(At(dst, x, y), want) << x << "," << y;
        }
    // Shrinking picks every other pixel; rectangles outside fail.
    Surface small(1, 1, PixelFormat::RGB565);
    ASSERT_TRUE(small.Blt(nullptr, src, nullptr, false));
    EXPECT_EQ(At(small, 0, 0), 10);
    const Rect outside{6, 4, 9, 6};
    EXPECT_FALSE(dst.Blt(&outside, src, nullptr, false));
}

TEST(Surface, LostSurfacesRefuseEveryOperationUntilRestored)
{
    Surface a(4, 4, PixelFormat::RGB565), b(4, 4, PixelFormat::RGB565);
    plat::LockedArea area;
    a.ForceLost();
    EXPECT_FALSE(a.Lock(nullptr, area));
    EXPECT_FALSE(a.ColorFill(nullptr, 1));
    EXPECT_FALSE(b.BltFast(0, 0, a, nullptr, false));
    EXPECT_FALSE(a.BltFast(0, 0, b, nullptr, false));
    a.Restore();
    EXPECT_TRUE(a.ColorFill(nullptr, 1));
    ASSERT_TRUE(a.Lock(nullptr, area));
    EXPECT_TRUE(a.IsLocked());
    a.Unlock();
    EXPECT_FALSE(a.IsLocked());
}

TEST(Surface, LockHandsOutTheAreaAndThePitch)
{
    Surface s(10, 6, PixelFormat::RGB565, 32);
    FillPattern(s);
    plat::LockedArea area;
    const Rect r{3, 2, 7, 5};
    ASSERT_TRUE(s.Lock(&r, area));
    EXPECT_EQ(area.pitch, 32);
    EXPECT_EQ(area.width, 4);
    EXPECT_EQ(area.height, 3);
    EXPECT_EQ(reinterpret_cast<std::uint16_t*>(area.bits + area.pitch)[1], At(s, 4, 3));
    s.Unlock();
    const Rect outside{8, 2, 11, 5};
    EXPECT_FALSE(s.Lock(&outside, area));
}

TEST(Surface, FlipBringsTheBackBufferToTheFrontAndKeepsItsStorage)
{
    Surface front(6, 4, PixelFormat::RGB565);
    Surface* back = front.CreateBackBuffer();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(front.CreateBackBuffer(), back);
    const std::uint8_t* storage = back->Pixels().Bits();
    FillPattern(*back, 100);
    ASSERT_TRUE(front.Flip());
    EXPECT_EQ(Snapshot(front), Snapshot(*back));
    EXPECT_EQ(back->Pixels().Bits(), storage);
    back->ForceLost();
    EXPECT_FALSE(front.Flip());
    Surface single(6, 4, PixelFormat::RGB565);
    EXPECT_FALSE(single.Flip());
}

TEST(Surface, ColorRefConvertsToEachColourFormat)
{
    struct Case {
        PixelFormat format;
        std::uint32_t colorRef;
        std::uint32_t pixel;
    };
    const Case cases[] = {
        {PixelFormat::RGB565, 0xFF00FF, 0xF81F},
        {PixelFormat::RGB555, 0xFF00FF, 0x7C1F},
        {PixelFormat::RGB565, 0x0000FF, 0xF800},
        {PixelFormat::RGB555, 0x00FF00, 0x03E0},
        {PixelFormat::RGB565, 0x99F7FF, 0xFFB3},
        {PixelFormat::ARGB4444, 0x00FF00, 0xF0F0},
        {PixelFormat::Depth16, 0xFFFFFF, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::ColorRefToPixel(c.format, c.colorRef), c.pixel) << std::hex << c.colorRef;
    EXPECT_EQ(plat::PixelToColorRef(PixelFormat::RGB565, 0xFFFF), 0xFFFFFFu);
    EXPECT_EQ(plat::PixelToColorRef(PixelFormat::RGB555, 0x7C00), 0x0000FFu);
}

} // namespace
