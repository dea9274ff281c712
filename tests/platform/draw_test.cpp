#include "platform/draw.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/font.h"
#include "platform/surface.h"

namespace {

using plat::PixelFormat;
using plat::Point;
using plat::Surface;

constexpr std::uint16_t kWhite = 0xFFFF;

struct FontDeleter {
    void operator()(plat::Font* f) const { plat::ReleaseFont(f); }
};
using FontPtr = std::unique_ptr<plat::Font, FontDeleter>;

FontPtr MakeFont(const char* face, int height, int weight = 400, int charset = 204)
{
    return FontPtr(plat::CreateFont(plat::FontDesc{face, height, weight, charset, false}));
}

int CountPixels(const Surface& s, std::uint16_t value)
{
    int n = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            n += s.Pixels().Row16(y)[x] == value;
    return n;
}

TEST(Font, UnknownFacesFallBackAndCellHeightsAreKept)
{
    for (const char* face : {"Arial", "Times New Roman", "Courier New", "No Such Face 123", ""}) {
        for (int height : {10, 14, 20}) {
            FontPtr font = MakeFont(face, height);
            ASSERT_NE(font, nullptr) << face;
            EXPECT_FALSE(font->FilePath().empty());
            EXPECT_EQ(font->Metrics().height, height) << face;
            EXPECT_GT(font->Metrics().averageCharWidth, 0);
            EXPECT_GE(font->Metrics().maxCharWidth, font->Metrics().averageCharWidth);
        }
    }
}

TEST(Font, TextWidthIsTheSumOfCharacterAdvances)
{
    FontPtr regular = MakeFont("Arial", 16);
    FontPtr bold = MakeFont("Arial", 16, 700);
    ASSERT_TRUE(regular && bold);
    const std::u16string text = u"Привет, World 1916!";
    int sum = 0;
    for (char16_t c : text)
        sum += regular->CharWidth(c);
    EXPECT_EQ(regular->TextWidth(text), sum);
    EXPECT_GT(sum, 0);
    EXPECT_EQ(regular->TextWidth(u""), 0);
    EXPECT_GT(bold->TextWidth(text), sum);
    EXPECT_EQ(plat::MeasureTextWidth(regular.get(), text), sum);
    EXPECT_GT(plat::MeasureTextWidth(nullptr, text), 0);
    // A surrogate pair is one character; a lone surrogate is measured as the replacement character.
    EXPECT_EQ(regular->TextWidth(u"\xD83D\xDE00"), regular->CharWidth(0x1F600));
    EXPECT_EQ(regular->TextWidth(std::u16string(1, char16_t(0xD800))), regular->CharWidth(0xFFFD));
}

// The network threads measure texts while the main thread draws with the same font: a glyph loaded
// by one thread must be seen whole by the others.
TEST(Font, MeasuresConsistentlyFromSeveralThreads)
{
    FontPtr font = MakeFont("Arial", 15);
    ASSERT_NE(font, nullptr);
    std::u16string text;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        text.push_back(c);
    for (char16_t c = 0x410; c < 0x450; ++c)
        text.push_back(c);
    text += u"\u2014\u00AB\u00BB";
    std::vector<int> widths(4, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            Surface s(64, 24, PixelFormat::RGB565);
            for (int round = 0; round < 20; ++round) {
                font->Draw(s.Pixels(), 0, 0, text, kWhite, s.Bounds());
                widths[t] = font->TextWidth(text);
            }
        });
    for (std::thread& th : threads)
        th.join();
    FontPtr fresh = MakeFont("Arial", 15);
    for (int w : widths)
        EXPECT_EQ(w, fresh->TextWidth(text));
}

// A line of Cyrillic text must show exactly the glyphs drawn one by one at the advancing pen, in
// the text colour, over the opaque black box of the line.
TEST(DrawContext, CyrillicLineMatchesItsGlyphsDrawnOneByOne)
{
    FontPtr font = MakeFont("Times New Roman", 18, 700);
    ASSERT_NE(font, nullptr);
    const std::u16string text = u"Съешь же ещё этих мягких булок";
    const int width = font->TextWidth(text), height = font->Metrics().height;

    Surface line(width + 20, height + 10, PixelFormat::RGB565);
    line.ColorFill(nullptr, 0x1234);
    plat::DrawContext dc(&line);
    ASSERT_TRUE(dc);
    dc.SelectFont(font.get());
    dc.SetTextColor(0xFFFFFF);
    dc.SetBkColor(0);
    dc.SetBkMode(plat::kBkOpaque);
    ASSERT_TRUE(dc.TextOut(7, 4, text));

    Surface expected(width + 20, height + 10, PixelFormat::RGB565);
    expected.ColorFill(nullptr, 0x1234);
    const plat::Rect box{7, 4, 7 + width, 4 + height};
    expected.ColorFill(&box, 0);
    int pen = 7;
    for (char16_t c : text)
        pen += font->Draw(expected.Pixels(), pen, 4, std::u16string_view(&c, 1), kWhite, expected.Bounds());
    EXPECT_EQ(pen - 7, width);

    int differing = 0;
    for (int y = 0; y < line.Height(); ++y)
        for (int x = 0; x < line.Width(); ++x)
            differing += line.Pixels().Row16(y)[x] != expected.Pixels().Row16(y)[x];
    EXPECT_EQ(differing, 0);
    // Real glyphs were drawn, and only inside the box.
    EXPECT_GT(CountPixels(line, kWhite), width);
    EXPECT_EQ(CountPixels(line, 0x1234), line.Width() * line.Height() - width * height);
}

TEST(DrawContext, TransparentTextLeavesTheBackgroundAndAlignmentStaysWithTheSurface)
{
    FontPtr font = MakeFont("Arial", 16);
    Surface s(200, 40, PixelFormat::RGB555);
    s.ColorFill(nullptr, 0x1111);
    {
        plat::DrawContext dc(&s);
        dc.SelectFont(font.get());
        dc.SetBkMode(plat::kBkTransparent);
        dc.SetTextColor(0x0000FF);
        EXPECT_EQ(dc.SetTextAlign(plat::kTextAlignRight), plat::kTextAlignLeft | plat::kTextAlignTop);
        ASSERT_TRUE(dc.TextOut(150, 5, u"Ypres"));
    }
    const int w = font->TextWidth(u"Ypres");
    int red = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) {
            const std::uint16_t p = s.Pixels().Row16(y)[x];
            EXPECT_TRUE(p == 0x1111 || p == 0x7C00);
            if (p == 0x7C00) {
                ++red;
                EXPECT_GE(x, 150 - w - 2);
                EXPECT_LT(x, 150);
            }
        }
    EXPECT_GT(red, 0);
    plat::DrawContext again(&s);
    EXPECT_EQ(again.TextAlign(), plat::kTextAlignRight);
}

TEST(DrawContext, LostSurfaceGivesNoContext)
{
    Surface s(8, 8, PixelFormat::RGB565);
    s.ForceLost();
    plat::DrawContext dc(&s);
    EXPECT_FALSE(dc);
    EXPECT_FALSE(dc.TextOut(0, 0, u"x"));
    plat::DrawContext none(nullptr);
    EXPECT_FALSE(none);
}

TEST(DrawContext, LinesLeaveOutTheirEndPoint)
{
    Surface s(10, 10, PixelFormat::RGB565);
    plat::DrawContext dc(&s);
    dc.SelectPen({plat::kPenSolid, 0, 0xFFFFFF});
    dc.MoveTo(1, 1);
    dc.LineTo(6, 1);
    dc.LineTo(6, 5);
    EXPECT_EQ(CountPixels(s, kWhite), 9);
    EXPECT_EQ(s.Pixels().Row16(1)[1], kWhite);
    EXPECT_EQ(s.Pixels().Row16(1)[6], kWhite);  // drawn by the second segment
    EXPECT_EQ(s.Pixels().Row16(5)[6], 0);
    EXPECT_EQ(dc.CurrentPosition().x, 6);
    EXPECT_EQ(dc.CurrentPosition().y, 5);
    // Lines far outside draw nothing and do not hang.
    dc.MoveTo(-2000000000, -5);
    dc.LineTo(2000000000, -5);
    EXPECT_EQ(CountPixels(s, kWhite), 9);
    // A very long line across the surface draws its visible part only, and quickly.
    Surface across(10, 10, PixelFormat::RGB565);
    plat::DrawContext adc(&across);
    adc.SelectPen({plat::kPenSolid, 0, 0xFFFFFF});
    adc.MoveTo(-2000000000, 4);
    adc.LineTo(2000000000, 4);
    EXPECT_EQ(CountPixels(across, kWhite), 10);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(across.Pixels().Row16(4)[x], kWhite);
    dc.SelectPen({plat::kPenNull, 0, 0xFFFFFF});
    dc.MoveTo(0, 9);
    dc.LineTo(9, 9);
    EXPECT_EQ(CountPixels(s, kWhite), 9);
}

TEST(DrawContext, PolygonsFillByTheEvenOddRule)
{
    // A square covers exactly the pixels whose centres lie inside it.
    Surface s(20, 20, PixelFormat::RGB565);
    plat::DrawContext dc(&s);
    dc.SelectPen({plat::kPenNull, 0, 0});
    dc.SelectBrush({false, 0xFFFFFF});
    const Point square[] = {{2, 3}, {8, 3}, {8, 7}, {2, 7}};
    dc.Polygon(square, 4);
    EXPECT_EQ(CountPixels(s, kWhite), 6 * 4);
    EXPECT_EQ(s.Pixels().Row16(3)[2], kWhite);
    EXPECT_EQ(s.Pixels().Row16(6)[7], kWhite);
    EXPECT_EQ(s.Pixels().Row16(7)[7], 0);

    // A five-pointed star drawn in one stroke: its centre is crossed twice and stays empty, its
    // points are filled.
    Surface star(40, 40, PixelFormat::RGB565);
    plat::DrawContext sdc(&star);
    sdc.SelectPen({plat::kPenNull, 0, 0});
    sdc.SelectBrush({false, 0xFFFFFF});
    const Point pts[] = {{20, 2}, {31, 36}, {2, 14}, {38, 14}, {9, 36}};
    sdc.Polygon(pts, 5);
    EXPECT_EQ(star.Pixels().Row16(20)[20], 0);
    EXPECT_EQ(star.Pixels().Row16(8)[20], kWhite);
    EXPECT_EQ(star.Pixels().Row16(15)[4], kWhite);

    // With a pen the outline is drawn in the pen's colour over the fill; a null brush leaves the
    // inside alone.
    Surface outlined(20, 20, PixelFormat::RGB565);
    plat::DrawContext odc(&outlined);
    odc.SelectPen({plat::kPenSolid, 0, 0x0000FF});
    odc.SelectBrush({true, 0});
    odc.Polygon(square, 4);
    EXPECT_EQ(outlined.Pixels().Row16(3)[2], 0xF800);
    EXPECT_EQ(outlined.Pixels().Row16(7)[8], 0xF800);
    EXPECT_EQ(outlined.Pixels().Row16(5)[5], 0);
    // Polygons reaching past the surface are clipped.
    const Point huge[] = {{-100, -100}, {100, -100}, {100, 100}, {-100, 100}};
    dc.Polygon(huge, 4);
    EXPECT_EQ(CountPixels(s, kWhite), 400);
}

} // namespace
