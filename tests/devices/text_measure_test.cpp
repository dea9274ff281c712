#include "devices/text_measure.h"

#include <gtest/gtest.h>

#include "platform/font.h"

// The wrapper and the font agree: every wrapped line fits the width in the real font, and the
// lines together hold the whole text.
TEST(FontTextMeasurer, WrappedLinesFitTheirWidthInTheRealFont)
{
    plat::Font* font = plat::CreateFont({"DejaVu Sans", 16, 400, 204, false});
    ASSERT_NE(font, nullptr);
    const TFontTextMeasurer measurer(font);
    const std::u16string text = u"Пехота заняла окопы у реки, а артиллерия открыла огонь по позициям противника.";
    const int width = 160;
    const auto lines = WrapTextToWidth(text, width, 10000, &measurer);
    ASSERT_GT(lines.size(), 1u);
    std::u16string joined;
    for (const auto& line : lines) {
        EXPECT_LT(plat::MeasureTextWidth(font, line), width);
        joined += line;
    }
    std::u16string letters, expected;
    for (char16_t c : joined)
        if (c != u' ')
            letters += c;
    for (char16_t c : text)
        if (c != u' ')
            expected += c;
    EXPECT_EQ(letters, expected);
    EXPECT_EQ(measurer.Measure(u"x").cy, font->Metrics().height);
    plat::ReleaseFont(font);
}
