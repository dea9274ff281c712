#pragma once
// Fonts for text on surfaces: a face name, a height, a weight and a character set, as the game's
// font list gives them, mapped through fontconfig to an installed face and rendered by FreeType.
// Glyphs are rendered without smoothing, so text drawn on a keyed surface never mixes with the key.
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

class PixelBuffer;
struct Rect;

// Largest cell or em height CreateFont accepts, in pixels.
constexpr int kMaxFontHeight = 1000;

struct FontDesc {
    std::string face;        // UTF-8; empty: the system's default face
    int height = 10;         // > 0: cell height in pixels (ascent + descent); < 0: character (em) height
    int weight = 400;        // 100..900; 700 is bold
    int charset = 1;         // 204 asks for a face that covers Cyrillic
    bool italic = false;
};

struct FontMetrics {
    int height = 0;           // ascent + descent: the line height and the extent's height
    int ascent = 0;           // baseline below the top of the cell
    int descent = 0;
    int averageCharWidth = 0;
    int maxCharWidth = 0;
};

class Font {
public:
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const FontDesc& Desc() const { return m_Desc; }
    const FontMetrics& Metrics() const { return m_Metrics; }
    // The font file fontconfig chose.
    const std::string& FilePath() const { return m_Path; }

    // Advance of one character in pixels (0 for a character the face lacks and cannot substitute).
    int CharWidth(char32_t c) const;
    // Width of a text in pixels: the sum of the characters' advances. Surrogate pairs are one
    // character; an unpaired surrogate counts as U+FFFD.
    int TextWidth(std::u16string_view text) const;

    // Draws the text with its cell's top-left corner at (x, y), every set glyph pixel becoming
    // `pixel`. Only pixels inside clip (and inside the buffer) are written. Returns the advance.
    int Draw(PixelBuffer& target, int x, int y, std::u16string_view text, std::uint32_t pixel, const Rect& clip) const;

private:
    friend Font* CreateFont(const FontDesc& desc);
    Font() = default;
    struct Impl;
    Impl* m_Impl = nullptr;
    FontDesc m_Desc;
    FontMetrics m_Metrics;
    std::string m_Path;
};

// Null (logged) only when no face at all can be loaded; a face name that is not installed falls
// back to DejaVu Sans.
Font* CreateFont(const FontDesc& desc);
void ReleaseFont(Font*& font);
// The font a drawing context uses until one is selected (16-pixel DejaVu Sans, made on first use).
const Font* DefaultFont();
// Pixel width of a text in a font (the default font when null); the measure the text wrapper uses.
int MeasureTextWidth(const Font* font, std::u16string_view text);

} // namespace plat
