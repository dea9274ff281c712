#include "devices/span_image.h"

#include <algorithm>
#include <cstring>

#include "core/archive.h"
#include "core/memory_stream.h"
#include "devices/display.h"

namespace {

// Reads the span table shared by both formats: per row a u16 count, then {x0, x1, u32 first}.
// Every span must lie inside the width, and its values (count of pixels times unitSize) inside a
// block of blockUnits units starting at first / divisor.
bool ReadSpanRows(TIfStreamMemory& in, std::uint16_t width, std::uint16_t rows, std::uint32_t blockUnits,
                  std::uint32_t divisor, std::vector<std::vector<TSpan>>& out)
{
    out.assign(rows, {});
    for (std::uint16_t r = 0; r < rows; ++r) {
        std::uint16_t count = 0;
        if (!in.ReadU16(count))
            return false;
        // Each span takes 8 bytes: a count beyond the remaining data is a lie.
        if (static_cast<std::int64_t>(count) * 8 > in.Remaining())
            return false;
        out[r].reserve(count);
        for (std::uint16_t s = 0; s < count; ++s) {
            TSpan span;
            std::uint32_t first = 0;
            if (!in.ReadU16(span.x0) || !in.ReadU16(span.x1) || !in.ReadU32(first))
                return false;
            if (span.x0 > span.x1 || span.x1 >= width || first % divisor != 0)
                return false;
            span.first = first / divisor;
            const std::uint64_t end = static_cast<std::uint64_t>(span.first) + (span.x1 - span.x0 + 1);
            if (end > blockUnits)
                return false;
            out[r].push_back(span);
        }
    }
    return true;
}

// The part of an image at (x, y) that is written: the clip rectangle (or the whole image),
// limited to the screen.
struct Region {
    int c0, c1, r0, r1; // columns c0..c1-1, rows r0..r1-1 of the image
};

Region VisibleRegion(int x, int y, int width, int rows, const plat::Rect* clip, const TLockedSurface& lock)
{
    // A lock of a surface smaller than the screen bounds the writes as well.
    int screenWidth = g_ScreenWidth, screenHeight = g_ScreenHeight;
    if (lock.width > 0)
        screenWidth = std::min(screenWidth, lock.width);
    if (lock.height > 0)
        screenHeight = std::min(screenHeight, lock.height);
    Region g{0, width, 0, rows};
    if (clip) {
        g.c0 = std::max(g.c0, clip->left);
        g.c1 = std::min(g.c1, clip->right);
        g.r0 = std::max(g.r0, clip->top);
        g.r1 = std::min(g.r1, clip->bottom);
    }
    g.c0 = std::max(g.c0, -x);
    g.c1 = std::min(g.c1, screenWidth - x);
    g.r0 = std::max(g.r0, -y);
    g.r1 = std::min(g.r1, screenHeight - y);
    return g;
}

} // namespace

// ---- cHMap ----------------------------------------------------------------------------------

void cHMap::Free()
{
    m_Width = m_Rows = 0;
    m_RowSpans.clear();
    m_Values.clear();
}

bool cHMap::LoadFromMemory(const std::uint8_t* data, std::int32_t size)
{
    Free();
    TIfStreamMemory in(data, size);
    char magic[6];
    std::uint16_t width = 0, rows = 0;
    std::uint32_t count = 0;
    if (in.Read(magic, 6) != 6 || std::memcmp(magic, "~cHMap", 6) != 0)
        return false;
    if (!in.ReadU16(width) || !in.ReadU16(rows) || !in.ReadU32(count))
        return false;
    std::vector<std::vector<TSpan>> spans;
    if (!ReadSpanRows(in, width, rows, count, 1, spans))
        return false;
    if (static_cast<std::uint64_t>(count) * 2 > static_cast<std::uint64_t>(in.Remaining()))
        return false;
    std::vector<std::uint16_t> values(count);
    for (auto& v : values)
        in.ReadU16(v);
    m_Width = width;
    m_Rows = rows;
    m_RowSpans = std::move(spans);
    m_Values = std::move(values);
    return true;
}

bool cHMap::LoadFromArchive(int slot, int entryId)
{
    std::uint32_t size = 0;
    std::uint8_t* data = LoadLesEntry(static_cast<std::uint32_t>(slot), nullptr, static_cast<std::uint16_t>(entryId), &size);
    if (!data) {
        Free(); // a failed load never leaves the previous height map behind
        return false;
    }
    const bool ok = LoadFromMemory(data, static_cast<std::int32_t>(size));
    FreeLesEntry(data);
    return ok;
}

std::uint16_t cHMap::GetPixel(int x, int row) const
{
    if (row < 0 || row >= static_cast<int>(m_RowSpans.size()))
        return NO_PIXEL;
    for (const TSpan& s : m_RowSpans[row])
        if (x >= s.x0 && x <= s.x1)
            return m_Values[s.first + (x - s.x0)];
    return NO_PIXEL;
}

bool cHMap::Write(std::int16_t x, std::int16_t y, std::int16_t depthBase, const TLockedSurface* z,
                  const plat::Rect* clip, bool checker) const
{
    if (x >= static_cast<int>(g_ScreenWidth) || y >= static_cast<int>(g_ScreenHeight))
        return true;
    if (!z || !z->bits || m_Values.empty())
        return false;
    const bool whole = !clip && x >= 0 && y >= 0 && x + m_Width <= g_ScreenWidth && y + m_Rows <= g_ScreenHeight;
    // A whole, unclipped image sits one depth step deeper than a clipped one.
    const int bias = whole ? 2 : 1;
    const Region g = VisibleRegion(x, y, m_Width, m_Rows, clip, *z);
    for (int r = g.r0; r < g.r1; ++r) {
        auto* row = reinterpret_cast<std::uint16_t*>(z->bits + static_cast<std::ptrdiff_t>(y + r) * z->pitch);
        for (const TSpan& s : m_RowSpans[r]) {
            const int c0 = std::max<int>(s.x0, g.c0);
            const int c1 = std::min<int>(s.x1, g.c1 - 1);
            for (int c = c0; c <= c1; ++c) {
                if (checker && ((c ^ r) & 1))
                    continue;
                const auto v = static_cast<std::int16_t>(m_Values[s.first + (c - s.x0)] * 2);
                const int d = v + bias + depthBase + y + r;
                // Depths outside the buffer's range are held at its ends instead of wrapping round.
                const int depth = 65535 - static_cast<int>(static_cast<double>(d) * 15.9998);
                row[x + c] = static_cast<std::uint16_t>(std::clamp(depth, 0, 65535));
            }
        }
    }
    return true;
}

bool cHMap::WriteZ(std::int16_t x, std::int16_t y, std::int16_t depthBase, const TLockedSurface* z,
                   const plat::Rect* clip) const
{
    return Write(x, y, depthBase, z, clip, false);
}

bool cHMap::WriteZChecker(std::int16_t x, std::int16_t y, std::int16_t depthBase, const TLockedSurface* z,
                          const plat::Rect* clip) const
{
    return Write(x, y, depthBase, z, clip, true);
}

// ---- cIMg -----------------------------------------------------------------------------------

cIMg::cIMg()
    : maskColor(MakeColor16(255, 255, 255))
{
}

void cIMg::Clear()
{
    m_Width = m_Rows = 0;
    m_RowSpans.clear();
    m_Pixels.clear();
    left = top = right = bottom = 0;
}

bool cIMg::LoadFromMemory(const std::uint8_t* data, std::int32_t size, int bytesPerPixel)
{
    Clear();
    if (bytesPerPixel != 2 && bytesPerPixel != 3)
        return false;
    TIfStreamMemory in(data, size);
    char magic[5];
    std::uint16_t width = 0, rows = 0;
    std::uint32_t byteCount = 0;
    if (in.Read(magic, 5) != 5 || std::memcmp(magic, "~cIMg", 5) != 0)
        return false;
    if (!in.ReadU16(width) || !in.ReadU16(rows) || !in.ReadU32(byteCount))
        return false;
    const std::uint32_t pixelCount = byteCount / 3;
    std::vector<std::vector<TSpan>> spans;
    if (!ReadSpanRows(in, width, rows, pixelCount, 3, spans))
        return false;
    if (static_cast<std::uint64_t>(pixelCount) * 3 > static_cast<std::uint64_t>(in.Remaining()))
        return false;
    std::int32_t l = 10000, t = -1, rt = -1, b = -1;
    for (int r = 0; r < rows; ++r) {
        if (spans[r].empty())
            continue;
        if (t < 0)
            t = r;
        b = r;
        for (const TSpan& s : spans[r]) {
            l = std::min<std::int32_t>(l, s.x0);
            rt = std::max<std::int32_t>(rt, s.x1);
        }
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pixelCount) * bytesPerPixel);
    if (bytesPerPixel == 3) {
        in.Read(pixels.data(), static_cast<std::int32_t>(pixels.size()));
    } else {
        for (std::uint32_t i = 0; i < pixelCount; ++i) {
            std::uint8_t rgb[3];
            in.Read(rgb, 3);
            const std::uint16_t c = MakeColor16(rgb[0], rgb[1], rgb[2]);
            std::memcpy(&pixels[i * 2], &c, 2);
        }
    }
    m_Width = width;
    m_Rows = rows;
    m_BytesPerPixel = bytesPerPixel;
    m_RowSpans = std::move(spans);
    m_Pixels = std::move(pixels);
    if (t >= 0)
        left = l, top = t, right = rt, bottom = b;
    return true;
}

bool cIMg::LoadFromArchive(int slot, int entryId, int bytesPerPixel)
{
    std::uint32_t size = 0;
    std::uint8_t* data = LoadLesEntry(static_cast<std::uint32_t>(slot), nullptr, static_cast<std::uint16_t>(entryId), &size);
    if (!data) {
        Clear(); // a failed load never leaves the previous picture behind
        return false;
    }
    const bool ok = LoadFromMemory(data, static_cast<std::int32_t>(size), bytesPerPixel);
    FreeLesEntry(data);
    return ok;
}

bool cIMg::Draw(int x, int y, const TLockedSurface* surface, const plat::Rect* clip, bool masked) const
{
    if (!surface || !surface->bits || m_Pixels.empty())
        return false;
    if (x >= static_cast<int>(g_ScreenWidth) || y >= static_cast<int>(g_ScreenHeight))
        return true;
    if (m_BytesPerPixel != 2)
        return false; // only display-format pictures are drawn
    const auto* px = reinterpret_cast<const std::uint16_t*>(m_Pixels.data());
    const Region g = VisibleRegion(x, y, m_Width, m_Rows, clip, *surface);
    for (int r = g.r0; r < g.r1; ++r) {
        auto* row = reinterpret_cast<std::uint16_t*>(surface->bits + static_cast<std::ptrdiff_t>(y + r) * surface->pitch);
        for (const TSpan& s : m_RowSpans[r]) {
            const int c0 = std::max<int>(s.x0, g.c0);
            const int c1 = std::min<int>(s.x1, g.c1 - 1);
            if (c0 > c1)
                continue;
            const std::uint16_t* src = px + s.first + (c0 - s.x0);
            if (!masked) {
                std::memcpy(row + x + c0, src, static_cast<std::size_t>(c1 - c0 + 1) * 2);
                continue;
            }
            for (int c = c0; c <= c1; ++c)
                row[x + c] = static_cast<std::uint16_t>(*src++ & maskColor);
        }
    }
    return true;
}

bool cIMg::DrawToSurface(int x, int y, const TLockedSurface* surface, const plat::Rect* clip) const
{
    return Draw(x, y, surface, clip, false);
}

bool cIMg::DrawToSurfaceMasked(int x, int y, const TLockedSurface* surface, const plat::Rect* clip) const
{
    return Draw(x, y, surface, clip, true);
}
