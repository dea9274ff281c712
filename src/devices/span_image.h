#pragma once
// Span-coded pictures of houses and other large map objects: only opaque pixels are stored, as
// rows of spans. cIMg holds the colours, cHMap the heights above the object's ground line. Both
// are drawn in software into the locked back buffer and Z-buffer.
#include <cstdint>
#include <vector>

#include "platform/surface.h"
#include "platform/types.h"

// A locked 16-bit surface as its Lock hands it out; the drawing uses the first pixel and the pitch.
using TLockedSurface = plat::LockedArea;

struct TSpan {
    std::uint16_t x0 = 0; // first and last column, both inclusive
    std::uint16_t x1 = 0;
    std::uint32_t first = 0; // index of the span's first value (cHMap) or pixel (cIMg)
};

class cHMap {
public:
    static constexpr std::uint16_t NO_PIXEL = 0x8000;

    cHMap() = default;
    bool LoadFromArchive(int slot, int entryId);
    // Parses a stored height map; false (and the object left empty) on any inconsistency.
    bool LoadFromMemory(const std::uint8_t* data, std::int32_t size);
    bool WriteZ(std::int16_t x, std::int16_t y, std::int16_t depthBase, const TLockedSurface* z,
                const plat::Rect* clip) const;
    bool WriteZChecker(std::int16_t x, std::int16_t y, std::int16_t depthBase, const TLockedSurface* z,
                       const plat::Rect* clip) const;
    std::uint16_t GetPixel(int x, int row) const;
    void Free();

    std::uint16_t Width() const { return m_Width; }
    std::uint16_t Rows() const { return m_Rows; }
    bool Empty() const { return m_Values.empty(); }

private:
    bool Write(std::int16_t x, std::int16_t y, std::int16_t depthBase, const TLockedSurface* z, const plat::Rect* clip,
               bool checker) const;

    std::uint16_t m_Width = 0;
    std::uint16_t m_Rows = 0;
    std::vector<std::vector<TSpan>> m_RowSpans;
    std::vector<std::uint16_t> m_Values;
};

class cIMg {
public:
    // Empty, 3 bytes per pixel, the mask all ones in the display's format.
    cIMg();
    bool LoadFromArchive(int slot, int entryId, int bytesPerPixel);
    bool LoadFromMemory(const std::uint8_t* data, std::int32_t size, int bytesPerPixel);
    bool DrawToSurface(int x, int y, const TLockedSurface* surface, const plat::Rect* clip) const;
    bool DrawToSurfaceMasked(int x, int y, const TLockedSurface* surface, const plat::Rect* clip) const;
    void Clear();
    void Release() { Clear(); }

    std::int32_t left = 0, top = 0, right = 0, bottom = 0; // bounding box of the opaque pixels
    // ANDed with every pixel of a masked draw; the owner sets it (a player colour) before one.
    std::uint16_t maskColor = 0xFFFF;

    std::uint16_t Width() const { return m_Width; }
    std::uint16_t Rows() const { return m_Rows; }
    int BytesPerPixel() const { return m_BytesPerPixel; }
    // The pixel bytes as loaded (3 per pixel: red, green, blue; 2 per pixel: display colours).
    const std::vector<std::uint8_t>& Pixels() const { return m_Pixels; }

private:
    bool Draw(int x, int y, const TLockedSurface* surface, const plat::Rect* clip, bool masked) const;

    std::uint16_t m_Width = 0;
    std::uint16_t m_Rows = 0;
    int m_BytesPerPixel = 3;
    std::vector<std::vector<TSpan>> m_RowSpans;
    std::vector<std::uint8_t> m_Pixels;
};
