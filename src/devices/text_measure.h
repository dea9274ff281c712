#pragma once
// Measures texts for the text wrapper in one of the display's fonts.
#include "core/text_file.h"
#include "platform/font.h"

class TFontTextMeasurer : public TTextMeasurer {
public:
    // A null font measures in the drawing default font.
    explicit TFontTextMeasurer(const plat::Font* font)
        : m_Font(font)
    {
    }
    TTextExtent Measure(std::u16string_view text) const override;

private:
    const plat::Font* m_Font;
};
