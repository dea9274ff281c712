#pragma once
// 2-D drawing on a surface through a drawing context that holds the selected font, text colour,
// background mode, pen and brush, as the game's text and outline code expects of a device context.
// Colours are 0x00BBGGRR values, converted to the surface's pixel format on use.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/font.h"
#include "platform/surface.h"
#include "platform/types.h"

namespace plat {

enum : int { kPenSolid = 0, kPenNull = 5 };
struct Pen {
    int style = kPenSolid;
    int width = 0;  // 0 and 1 both draw one pixel wide
    std::uint32_t color = 0;
};
struct Brush {
    bool null = false;
    std::uint32_t color = 0xFFFFFF;
};

enum : int { kBkTransparent = 1, kBkOpaque = 2 };

class DrawContext {
public:
    // A context on a surface; not usable (false) for a null or lost surface.
    explicit DrawContext(Surface* surface);
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    explicit operator bool() const { return m_Surface != nullptr; }
    Surface* Target() const { return m_Surface; }

    // Each setter returns the previous value.
    const Font* SelectFont(const Font* font);
    const Font* CurrentFont() const;
    std::uint32_t SetTextColor(std::uint32_t color);
    std::uint32_t TextColor() const { return m_TextColor; }
    std::uint32_t SetBkColor(std::uint32_t color);
    int SetBkMode(int mode);
    int BkMode() const { return m_BkMode; }
    // The alignment is kept by the surface, not the context.
    std::uint32_t SetTextAlign(std::uint32_t align);
    std::uint32_t TextAlign() const;
    Pen SelectPen(const Pen& pen);
    Brush SelectBrush(const Brush& brush);

    // Text at (x, y) placed by the surface's alignment: left/right/centre, top/bottom/baseline;
    // with kTextAlignUpdateCp the current position is used and advanced. Opaque mode fills the
    // text's box with the background colour first.
    bool TextOut(int x, int y, std::u16string_view text);
    // The same for an 8-bit text in code page 1251.
    bool TextOutA(int x, int y, std::string_view text);
    bool GetTextExtent(std::u16string_view text, int& width, int& height) const;
    FontMetrics GetTextMetrics() const;
    int CharWidth(char32_t c) const;

    // Lines with the selected pen; the end point itself is not drawn.
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    Point CurrentPosition() const { return m_Pos; }
    void Polyline(const Point* points, std::size_t count);
    // Fills the closed polygon with the brush by the even-odd rule (a pixel is inside when its
    // centre is), then outlines it with the pen. Fewer than 2 points draw nothing.
    void Polygon(const Point* points, std::size_t count);
    // Fills a rectangle (right and bottom exclusive) with a colour, clipped to the surface.
    void FillRect(const Rect& rect, std::uint32_t color);
    void SetPixel(int x, int y, std::uint32_t color);

private:
    void PenDot(int x, int y, std::uint32_t pixel);
    Surface* m_Surface = nullptr;
    const Font* m_Font = nullptr;
    std::uint32_t m_TextColor = 0;
    std::uint32_t m_BkColor = 0;
    int m_BkMode = kBkOpaque;
    Pen m_Pen;
    Brush m_Brush;
    Point m_Pos;
};

} // namespace plat
