#include "platform/surface.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plat {

namespace {

// One row of a keyed 16-bit copy, left to right. Sprites have long runs of transparent corners
// and of solid inside: eight pixels at a time, a block wholly keyed is skipped and a block without
// a key stored whole.
void KeyedRow16(std::uint16_t* d, const std::uint16_t* s, int w, std::uint16_t key)
{
    int c = 0;
#if defined(__SSE2__)
    const __m128i k = _mm_set1_epi16(static_cast<short>(key));
    for (; c + 8 <= w; c += 8) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + c));
        const __m128i hit = _mm_cmpeq_epi16(px, k);
        const int mask = _mm_movemask_epi8(hit);
        if (mask == 0xFFFF)
            continue;
        auto* dp = reinterpret_cast<__m128i*>(d + c);
        if (mask == 0) {
            _mm_storeu_si128(dp, px);
        } else {
            const __m128i old = _mm_loadu_si128(dp);
            _mm_storeu_si128(dp, _mm_or_si128(_mm_and_si128(hit, old), _mm_andnot_si128(hit, px)));
        }
    }
#endif
    for (; c < w; ++c)
        if (s[c] != key)
            d[c] = s[c];
}

} // namespace

int BytesPerPixel(PixelFormat format)
{
    return format == PixelFormat::ARGB8888 ? 4 : 2;
}

bool GetPixelMasks(PixelFormat format, PixelMasks& out)
{
    switch (format) {
    case PixelFormat::RGB565: out = {0xF800, 0x07E0, 0x001F, 0, 16}; return true;
    case PixelFormat::RGB555: out = {0x7C00, 0x03E0, 0x001F, 0, 16}; return true;
    case PixelFormat::ARGB1555: out = {0x7C00, 0x03E0, 0x001F, 0x8000, 16}; return true;
    case PixelFormat::ARGB4444: out = {0x0F00, 0x00F0, 0x000F, 0xF000, 16}; return true;
    case PixelFormat::ARGB8888: out = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, 32}; return true;
    case PixelFormat::Depth16: break;
    }
    out = {};
    return false;
}

namespace {

int MaskShift(std::uint32_t mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int MaskBits(std::uint32_t mask)
{
    int bits = 0;
    for (; mask; mask &= mask - 1)
        ++bits;
    return bits;
}

std::uint32_t Narrow(std::uint32_t value8, std::uint32_t mask)
{
    const int bits = MaskBits(mask);
    if (bits == 0)
        return 0;
    return ((value8 >> (8 - bits)) << MaskShift(mask)) & mask;
}

std::uint32_t Widen(std::uint32_t pixel, std::uint32_t mask)
{
    const int bits = MaskBits(mask);
    if (bits == 0)
        return 0;
    std::uint32_t v = (pixel & mask) >> MaskShift(mask);
    std::uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += bits)
        out = (out << bits) | v;
    // Keep the top 8 of however many bits were stacked.
    int total = ((8 + bits - 1) / bits) * bits;
    return (out >> (total - 8)) & 0xFF;
}

bool SameSizePixels(const Surface& a, const Surface& b)
{
    return BytesPerPixel(a.Format()) == BytesPerPixel(b.Format());
}

} // namespace

std::uint32_t ColorRefToPixel(PixelFormat format, std::uint32_t colorRef)
{
    PixelMasks m;
    if (!GetPixelMasks(format, m))
        return 0;
    const std::uint32_t r = colorRef & 0xFF, g = (colorRef >> 8) & 0xFF, b = (colorRef >> 16) & 0xFF;
    return Narrow(r, m.red) | Narrow(g, m.green) | Narrow(b, m.blue) | m.alpha;
}

std::uint32_t PixelToColorRef(PixelFormat format, std::uint32_t pixel)
{
    PixelMasks m;
    if (!GetPixelMasks(format, m))
        return 0;
    return Widen(pixel, m.red) | (Widen(pixel, m.green) << 8) | (Widen(pixel, m.blue) << 16);
}

PixelBuffer::PixelBuffer(int width, int height, PixelFormat format, int pitchBytes)
    : m_Width(width > 0 ? width : 0)
    , m_Height(height > 0 ? height : 0)
    , m_Format(format)
{
    const int minPitch = m_Width * BytesPerPixel(format);
    m_Pitch = pitchBytes >= minPitch ? pitchBytes : minPitch;
    m_Bits.assign(static_cast<std::size_t>(m_Pitch) * m_Height, 0);
}

bool RectInside(const Rect& r, int width, int height)
{
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= width && r.bottom <= height;
}

bool Surface::Lock(const Rect* area, LockedArea& out)
{
    const Rect r = area ? *area : Bounds();
    if (m_Lost || !RectInside(r, Width(), Height()))
        return false;
    const int bpp = BytesPerPixel(Format());
    out.bits = m_Pixels.Row(r.top) + static_cast<std::size_t>(r.left) * bpp;
    out.pitch = m_Pixels.Pitch();
    out.width = r.Width();
    out.height = r.Height();
    out.format = Format();
    ++m_LockCount;
    return true;
}

void Surface::Unlock()
{
    if (m_LockCount > 0)
        --m_LockCount;
}

bool Surface::BltFast(int x, int y, const Surface& src, const Rect* srcRect, bool keyed)
{
    const Rect s = srcRect ? *srcRect : src.Bounds();
    if (m_Lost || src.m_Lost || !SameSizePixels(*this, src))
        return false;
    if (!RectInside(s, src.Width(), src.Height()))
        return false;
    if (x < 0 || y < 0 || static_cast<std::int64_t>(x) + s.Width() > Width() ||
        static_cast<std::int64_t>(y) + s.Height() > Height())
        return false;
    const Rect d{x, y, x + s.Width(), y + s.Height()};

    const int bpp = BytesPerPixel(Format());
    const std::size_t rowBytes = static_cast<std::size_t>(s.Width()) * bpp;
    const int h = s.Height();
    const bool useKey = keyed && src.m_HasColorKey;
    // Copying onto the same surface: walk the rows bottom-up when the destination lies below the
    // source so that no source row is overwritten before it is read; within a row memmove handles
    // the overlap (and the keyed copy walks right-to-left when moving right).
    const bool self = &src == this;
    const bool upward = self && d.top > s.top;
    for (int i = 0; i < h; ++i) {
        const int row = upward ? h - 1 - i : i;
        const std::uint8_t* sp = src.m_Pixels.Row(s.top + row) + static_cast<std::size_t>(s.left) * bpp;
        std::uint8_t* dp = m_Pixels.Row(d.top + row) + static_cast<std::size_t>(d.left) * bpp;
        if (!useKey) {
            std::memmove(dp, sp, rowBytes);
            continue;
        }
        const int w = s.Width();
        const bool backward = self && d.top == s.top && d.left > s.left;
        if (bpp == 2) {
            const auto key = static_cast<std::uint16_t>(src.m_ColorKey);
            const auto* s16 = reinterpret_cast<const std::uint16_t*>(sp);
            auto* d16 = reinterpret_cast<std::uint16_t*>(dp);
            if (backward) {
                for (int c = w - 1; c >= 0; --c)
                    if (s16[c] != key)
                        d16[c] = s16[c];
            } else {
                // Within one surface this direction reads each source block before any write
                // can reach it.
                KeyedRow16(d16, s16, w, key);
            }
        } else {
            const std::uint32_t key = src.m_ColorKey;
            const auto* s32 = reinterpret_cast<const std::uint32_t*>(sp);
            auto* d32 = reinterpret_cast<std::uint32_t*>(dp);
            if (backward) {
                for (int c = w - 1; c >= 0; --c)
                    if (s32[c] != key)
                        d32[c] = s32[c];
            } else {
                for (int c = 0; c < w; ++c)
                    if (s32[c] != key)
                        d32[c] = s32[c];
            }
        }
    }
    return true;
}

bool Surface::Blt(const Rect* dstRect, const Surface& src, const Rect* srcRect, bool keyed)
{
    const Rect s = srcRect ? *srcRect : src.Bounds();
    const Rect d = dstRect ? *dstRect : Bounds();
    if (m_Lost || src.m_Lost || !SameSizePixels(*this, src))
        return false;
    if (!RectInside(s, src.Width(), src.Height()) || !RectInside(d, Width(), Height()))
        return false;
    if (s.Width() == d.Width() && s.Height() == d.Height())
        return BltFast(d.left, d.top, src, &s, keyed);

    // A scaled copy onto the same surface reads from a snapshot of the source area.
    const Surface* from = &src;
    Rect fromRect = s;
    std::unique_ptr<Surface> snapshot;
    if (&src == this) {
        snapshot = std::make_unique<Surface>(s.Width(), s.Height(), Format());
        if (src.m_HasColorKey)
            snapshot->SetColorKey(src.m_ColorKey);
        snapshot->BltFast(0, 0, src, &s, false);
        from = snapshot.get();
        fromRect = snapshot->Bounds();
    }

    const int bpp = BytesPerPixel(Format());
    const bool useKey = keyed && from->m_HasColorKey;
    const std::uint32_t key = from->m_ColorKey;
    const int dw = d.Width(), dh = d.Height(), sw = fromRect.Width(), sh = fromRect.Height();
    for (int y = 0; y < dh; ++y) {
        const int sy = fromRect.top + static_cast<int>((static_cast<std::int64_t>(y) * sh) / dh);
        const std::uint8_t* srow = from->m_Pixels.Row(sy);
        std::uint8_t* drow = m_Pixels.Row(d.top + y);
        for (int x = 0; x < dw; ++x) {
            const int sx = fromRect.left + static_cast<int>((static_cast<std::int64_t>(x) * sw) / dw);
            if (bpp == 2) {
                const std::uint16_t p = reinterpret_cast<const std::uint16_t*>(srow)[sx];
                if (!useKey || p != static_cast<std::uint16_t>(key))
                    reinterpret_cast<std::uint16_t*>(drow)[d.left + x] = p;
            } else {
                const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(srow)[sx];
                if (!useKey || p != key)
                    reinterpret_cast<std::uint32_t*>(drow)[d.left + x] = p;
            }
        }
    }
    return true;
}

bool Surface::ColorFill(const Rect* rect, std::uint32_t pixel)
{
    const Rect r = rect ? *rect : Bounds();
    if (m_Lost || !RectInside(r, Width(), Height()))
        return false;
    for (int y = r.top; y < r.bottom; ++y) {
        if (BytesPerPixel(Format()) == 2) {
            std::uint16_t* row = m_Pixels.Row16(y);
            std::fill(row + r.left, row + r.right, static_cast<std::uint16_t>(pixel));
        } else {
            std::uint32_t* row = m_Pixels.Row32(y);
            std::fill(row + r.left, row + r.right, pixel);
        }
    }
    return true;
}

Surface* Surface::CreateBackBuffer()
{
    if (!m_Back)
        m_Back = std::make_unique<Surface>(Width(), Height(), Format());
    return m_Back.get();
}

bool Surface::Flip()
{
    if (!m_Back || m_Lost || m_Back->m_Lost)
        return false;
    const std::size_t rowBytes = static_cast<std::size_t>(Width()) * BytesPerPixel(Format());
    for (int y = 0; y < Height(); ++y)
        std::memcpy(m_Pixels.Row(y), m_Back->m_Pixels.Row(y), rowBytes);
    return true;
}

} // namespace plat
