#include "platform/draw.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/text.h"

namespace plat {

DrawContext::DrawContext(Surface* surface)
    : m_Surface(surface && !surface->IsLost() ? surface : nullptr)
{
}

const Font* DrawContext::SelectFont(const Font* font)
{
    const Font* old = CurrentFont();
    if (font)
        m_Font = font;
    return old;
}

const Font* DrawContext::CurrentFont() const
{
    return m_Font ? m_Font : DefaultFont();
}

std::uint32_t DrawContext::SetTextColor(std::uint32_t color)
{
    std::swap(m_TextColor, color);
    return color;
}

std::uint32_t DrawContext::SetBkColor(std::uint32_t color)
{
    std::swap(m_BkColor, color);
    return color;
}

int DrawContext::SetBkMode(int mode)
{
    const int old = m_BkMode;
    if (mode == kBkTransparent || mode == kBkOpaque)
        m_BkMode = mode;
    return old;
}

std::uint32_t DrawContext::SetTextAlign(std::uint32_t align)
{
    if (!m_Surface)
        return 0;
    const std::uint32_t old = m_Surface->TextAlign();
    m_Surface->SetTextAlign(align);
    return old;
}

std::uint32_t DrawContext::TextAlign() const
{
    return m_Surface ? m_Surface->TextAlign() : 0;
}

Pen DrawContext::SelectPen(const Pen& pen)
{
    const Pen old = m_Pen;
    m_Pen = pen;
    return old;
}

Brush DrawContext::SelectBrush(const Brush& brush)
{
    const Brush old = m_Brush;
    m_Brush = brush;
    return old;
}

bool DrawContext::TextOut(int x, int y, std::u16string_view text)
{
    const Font* font = CurrentFont();
    if (!m_Surface || !font)
        return false;
    const std::uint32_t align = m_Surface->TextAlign();
    const bool updateCp = (align & kTextAlignUpdateCp) != 0;
    if (updateCp)
        x = m_Pos.x, y = m_Pos.y;
    const int width = font->TextWidth(text);
    const FontMetrics& m = font->Metrics();

    std::int64_t left = x;
    switch (align & kTextAlignCenter) {
    case kTextAlignRight: left = static_cast<std::int64_t>(x) - width; break;
    case kTextAlignCenter: left = static_cast<std::int64_t>(x) - width / 2; break;
    default: break;
    }
    std::int64_t top = y;
    if ((align & kTextAlignBaseline) == kTextAlignBaseline)
        top = static_cast<std::int64_t>(y) - m.ascent;
    else if (align & kTextAlignBottom)
        top = static_cast<std::int64_t>(y) - m.height;
    if (updateCp && (align & kTextAlignCenter) != kTextAlignCenter) {
        const std::int64_t moved = static_cast<std::int64_t>(x) + ((align & kTextAlignCenter) == kTextAlignRight ? -width : width);
        m_Pos.x = static_cast<int>(std::clamp<std::int64_t>(moved, INT32_MIN, INT32_MAX));
    }
    // Nothing of a text that starts this far away can reach the surface.
    constexpr std::int64_t kFar = 1 << 30;
    if (left < -kFar || left > kFar || top < -kFar || top > kFar)
        return true;

    const int l = static_cast<int>(left), t = static_cast<int>(top);
    if (m_BkMode == kBkOpaque)
        FillRect({l, t, static_cast<int>(std::min<std::int64_t>(left + width, kFar)), t + m.height}, m_BkColor);
    const Rect clip = m_Surface->Bounds();
    font->Draw(m_Surface->Pixels(), l, t, text, ColorRefToPixel(m_Surface->Format(), m_TextColor), clip);

    return true;
}

bool DrawContext::TextOutA(int x, int y, std::string_view text)
{
    return TextOut(x, y, Cp1251ToUtf16(text));
}

bool DrawContext::GetTextExtent(std::u16string_view text, int& width, int& height) const
{
    const Font* font = CurrentFont();
    if (!m_Surface || !font) {
        width = height = 0;
        return false;
    }
    width = font->TextWidth(text);
    height = font->Metrics().height;
    return true;
}

FontMetrics DrawContext::GetTextMetrics() const
{
    const Font* font = CurrentFont();
    return font ? font->Metrics() : FontMetrics{};
}

int DrawContext::CharWidth(char32_t c) const
{
    const Font* font = CurrentFont();
    return font ? font->CharWidth(c) : 0;
}

void DrawContext::FillRect(const Rect& rect, std::uint32_t color)
{
    if (!m_Surface)
        return;
    Rect r = rect;
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, m_Surface->Width());
    r.bottom = std::min(r.bottom, m_Surface->Height());
    if (r.Empty())
        return;
    m_Surface->ColorFill(&r, ColorRefToPixel(m_Surface->Format(), color));
}

void DrawContext::SetPixel(int x, int y, std::uint32_t color)
{
    if (!m_Surface || x < 0 || y < 0 || x >= m_Surface->Width() || y >= m_Surface->Height())
        return;
    const std::uint32_t p = ColorRefToPixel(m_Surface->Format(), color);
    if (BytesPerPixel(m_Surface->Format()) == 2)
        m_Surface->Pixels().Row16(y)[x] = static_cast<std::uint16_t>(p);
    else
        m_Surface->Pixels().Row32(y)[x] = p;
}

void DrawContext::PenDot(int x, int y, std::uint32_t pixel)
{
    const int w = std::max(1, m_Pen.width);
    const int x0 = x - (w - 1) / 2, y0 = y - (w - 1) / 2;
    const int sw = m_Surface->Width(), sh = m_Surface->Height();
    const bool wide = BytesPerPixel(m_Surface->Format()) == 4;
    for (int py = std::max(0, y0); py < std::min(sh, y0 + w); ++py)
        for (int px = std::max(0, x0); px < std::min(sw, x0 + w); ++px) {
            if (wide)
                m_Surface->Pixels().Row32(py)[px] = pixel;
            else
                m_Surface->Pixels().Row16(py)[px] = static_cast<std::uint16_t>(pixel);
        }
}

void DrawContext::MoveTo(int x, int y)
{
    m_Pos = {x, y};
}

void DrawContext::LineTo(int x, int y)
{
    const Point from = m_Pos;
    m_Pos = {x, y};
    if (!m_Surface || m_Pen.style == kPenNull)
        return;
    const int pad = std::max(1, m_Pen.width);
    const int w = m_Surface->Width(), h = m_Surface->Height();
    if ((from.x < -pad && x < -pad) || (from.y < -pad && y < -pad) || (from.x >= w + pad && x >= w + pad) ||
        (from.y >= h + pad && y >= h + pad))
        return;
    const std::uint32_t pixel = ColorRefToPixel(m_Surface->Format(), m_Pen.color);
    // Bresenham; the last point belongs to the next segment.
    std::int64_t cx = from.x, cy = from.y, ex = x, ey = y;
    bool drawEnd = false;
    // A very long line is first cut to the area around the surface, so that its walk stays short.
    const std::int64_t span = std::max(std::llabs(ex - cx), std::llabs(ey - cy));
    if (span > 4096 + w + h) {
        const double x0 = static_cast<double>(cx), y0 = static_cast<double>(cy);
        const double ddx = static_cast<double>(ex - cx), ddy = static_cast<double>(ey - cy);
        double t0 = 0.0, t1 = 1.0;
        const double p[4] = {-ddx, ddx, -ddy, ddy};
        const double q[4] = {x0 + pad, (w + pad) - x0, y0 + pad, (h + pad) - y0};
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0.0) {
                if (q[i] < 0.0)
                    return;
                continue;
            }
            const double t = q[i] / p[i];
            if (p[i] < 0.0)
                t0 = std::max(t0, t);
            else
                t1 = std::min(t1, t);
        }
        if (t0 > t1)
            return;
        drawEnd = t1 < 1.0;
        const std::int64_t nx0 = std::llround(x0 + t0 * ddx), ny0 = std::llround(y0 + t0 * ddy);
        ex = std::llround(x0 + t1 * ddx);
        ey = std::llround(y0 + t1 * ddy);
        cx = nx0;
        cy = ny0;
    }
    const std::int64_t dx = std::llabs(ex - cx), dy = -std::llabs(ey - cy);
    const int sx = cx < ex ? 1 : -1, sy = cy < ey ? 1 : -1;
    std::int64_t err = dx + dy;
    const std::int64_t limitW = w + pad + 1, limitH = h + pad + 1;
    for (;;) {
        const bool atEnd = cx == ex && cy == ey;
        if (atEnd && !drawEnd)
            break;
        if (cx > -limitW && cx < limitW * 2 && cy > -limitH && cy < limitH * 2)
            PenDot(static_cast<int>(cx), static_cast<int>(cy), pixel);
        if (atEnd)
            break;
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            cx += sx;
        }
        if (e2 <= dx) {
            err += dx;
            cy += sy;
        }
    }
}

void DrawContext::Polyline(const Point* points, std::size_t count)
{
    if (!points || count < 2)
        return;
    const Point saved = m_Pos;
    MoveTo(points[0].x, points[0].y);
    for (std::size_t i = 1; i < count; ++i)
        LineTo(points[i].x, points[i].y);
    m_Pos = saved;
}

void DrawContext::Polygon(const Point* points, std::size_t count)
{
    if (!m_Surface || !points || count < 2)
        return;
    if (!m_Brush.null && count >= 3) {
        const std::uint32_t pixel = ColorRefToPixel(m_Surface->Format(), m_Brush.color);
        const bool wide = BytesPerPixel(m_Surface->Format()) == 4;
        int minY = points[0].y, maxY = points[0].y;
        for (std::size_t i = 1; i < count; ++i)
            minY = std::min(minY, points[i].y), maxY = std::max(maxY, points[i].y);
        minY = std::max(minY, 0);
        maxY = std::min(maxY, m_Surface->Height());
        std::vector<double> xs;
        for (int y = minY; y < maxY; ++y) {
            const double sy = y + 0.5;
            xs.clear();
            for (std::size_t i = 0; i < count; ++i) {
                const Point& a = points[i];
                const Point& b = points[(i + 1) % count];
                if ((a.y <= sy && sy < b.y) || (b.y <= sy && sy < a.y))
                    xs.push_back(a.x + (sy - a.y) * (static_cast<double>(b.x) - a.x) / (static_cast<double>(b.y) - a.y));
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
                // Pixels whose centres lie in [xa, xb).
                const double first = std::ceil(xs[k] - 0.5), end = std::ceil(xs[k + 1] - 0.5);
                const double width = m_Surface->Width();
                const int x0 = static_cast<int>(std::clamp(first, 0.0, width));
                const int x1 = static_cast<int>(std::clamp(end, 0.0, width));
                for (int x = x0; x < x1; ++x) {
                    if (wide)
                        m_Surface->Pixels().Row32(y)[x] = pixel;
                    else
                        m_Surface->Pixels().Row16(y)[x] = static_cast<std::uint16_t>(pixel);
                }
            }
        }
    }
    if (m_Pen.style != kPenNull) {
        std::vector<Point> closed(points, points + count);
        closed.push_back(points[0]);
        Polyline(closed.data(), closed.size());
    }
}

} // namespace plat
