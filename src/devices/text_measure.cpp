#include "devices/text_measure.h"

TTextExtent TFontTextMeasurer::Measure(std::u16string_view text) const
{
    const plat::Font* font = m_Font ? m_Font : plat::DefaultFont();
    TTextExtent e{};
    e.cx = plat::MeasureTextWidth(font, text);
    e.cy = font ? font->Metrics().height : 0;
    return e;
}
