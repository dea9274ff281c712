#pragma once
// A picture in memory: the storage that the display layer's surfaces, the 3-D device's render
// target, its Z-buffer and its textures all share, and the display surface built on it with the
// operations the game expects of a DirectDraw-style surface: locks, blits with and without a
// source colour key, stretched blits, colour fills, and a front surface that flips its back buffer.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/types.h"

namespace plat {

enum class PixelFormat : std::uint8_t {
    RGB565,    // display format
    RGB555,    // display format on older cards; the colour code supports both
    ARGB1555,  // textures
    ARGB4444,  // textures
    ARGB8888,  // textures
    Depth16,   // Z-buffer
};

int BytesPerPixel(PixelFormat format);

// Channel masks of a pixel format, as a display reports them. Depth16 has none.
struct PixelMasks {
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
    std::uint32_t alpha = 0;
    int bitCount = 0;
};
// false for a format without colour channels.
bool GetPixelMasks(PixelFormat format, PixelMasks& out);

// A 0x00BBGGRR colour as a pixel of a 16-bit colour format (channels truncated); 0 for formats
// that hold no colour. Alpha bits, where the format has them, are set.
std::uint32_t ColorRefToPixel(PixelFormat format, std::uint32_t colorRef);
// A pixel of a colour format back to 0x00BBGGRR, each channel widened by repeating its top bits.
std::uint32_t PixelToColorRef(PixelFormat format, std::uint32_t pixel);

class PixelBuffer {
public:
    PixelBuffer() = default;
    // pitchBytes 0 means width * bytes per pixel; a wider pitch leaves unused bytes at each row end.
    PixelBuffer(int width, int height, PixelFormat format, int pitchBytes = 0);

    bool Empty() const { return m_Width <= 0 || m_Height <= 0; }
    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    int Pitch() const { return m_Pitch; }
    PixelFormat Format() const { return m_Format; }
    std::uint8_t* Bits() { return m_Bits.data(); }
    const std::uint8_t* Bits() const { return m_Bits.data(); }
    std::uint8_t* Row(int y) { return m_Bits.data() + static_cast<std::size_t>(y) * m_Pitch; }
    const std::uint8_t* Row(int y) const { return m_Bits.data() + static_cast<std::size_t>(y) * m_Pitch; }
    std::uint16_t* Row16(int y) { return reinterpret_cast<std::uint16_t*>(Row(y)); }
    const std::uint16_t* Row16(int y) const { return reinterpret_cast<const std::uint16_t*>(Row(y)); }
    std::uint32_t* Row32(int y) { return reinterpret_cast<std::uint32_t*>(Row(y)); }
    const std::uint32_t* Row32(int y) const { return reinterpret_cast<const std::uint32_t*>(Row(y)); }
    std::size_t SizeBytes() const { return m_Bits.size(); }

private:
    int m_Width = 0;
    int m_Height = 0;
    int m_Pitch = 0;
    PixelFormat m_Format = PixelFormat::RGB565;
    std::vector<std::uint8_t> m_Bits;
};

// What a lock hands out: the first pixel of the locked area and the pitch to step rows with.
struct LockedArea {
    std::uint8_t* bits = nullptr;
    int pitch = 0;
    int width = 0;
    int height = 0;
    PixelFormat format = PixelFormat::RGB565;
};

// Text alignment flags; a surface keeps the alignment it was last given, so that a text drawn
// without setting one uses the previous caller's.
enum : std::uint32_t {
    kTextAlignLeft = 0,
    kTextAlignUpdateCp = 1,
    kTextAlignRight = 2,
    kTextAlignCenter = 6,
    kTextAlignTop = 0,
    kTextAlignBottom = 8,
    kTextAlignBaseline = 24,
};

// A display surface: a pixel buffer with the state DirectDraw-style callers expect (a source colour
// key, a lock count, a "lost" flag that is only ever set by ForceLost, an attached Z-buffer and,
// for a front surface, the back buffer it flips). Every operation on a lost surface fails.
class Surface {
public:
    Surface(int width, int height, PixelFormat format, int pitchBytes = 0)
        : m_Pixels(width, height, format, pitchBytes)
    {
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    PixelBuffer& Pixels() { return m_Pixels; }
    const PixelBuffer& Pixels() const { return m_Pixels; }
    int Width() const { return m_Pixels.Width(); }
    int Height() const { return m_Pixels.Height(); }
    PixelFormat Format() const { return m_Pixels.Format(); }
    Rect Bounds() const { return {0, 0, Width(), Height()}; }

    void SetColorKey(std::uint32_t key) { m_HasColorKey = true, m_ColorKey = key; }
    void ClearColorKey() { m_HasColorKey = false; }
    bool HasColorKey() const { return m_HasColorKey; }
    std::uint32_t ColorKey() const { return m_ColorKey; }

    bool IsLost() const { return m_Lost; }
    void ForceLost() { m_Lost = true; }
    void Restore() { m_Lost = false; }

    void AttachDepth(Surface* depth) { m_Depth = depth; }
    Surface* AttachedDepth() const { return m_Depth; }

    // Locks the whole surface (area null) or an area inside it. Fails on a lost surface and for an
    // area that is empty or not wholly inside. Locks nest; each needs its Unlock.
    bool Lock(const Rect* area, LockedArea& out);
    void Unlock();
    bool IsLocked() const { return m_LockCount > 0; }

    // Unscaled copy of srcRect (whole source when null) of src to (x, y). The source rectangle must
    // lie inside the source and the destination rectangle inside this surface, else nothing is
    // copied and the result is false, as is a lost surface on either side or a source of another
    // pixel size. keyed: source pixels equal to the source's colour key are skipped (a source
    // without a key copies everything). src may be this surface; overlapping areas copy as if
    // through a temporary (memmove).
    bool BltFast(int x, int y, const Surface& src, const Rect* srcRect, bool keyed);
    // Scaled copy (nearest pixel) of srcRect of src onto dstRect (null: the whole surface of
    // either side). Both rectangles must lie inside their surfaces.
    bool Blt(const Rect* dstRect, const Surface& src, const Rect* srcRect, bool keyed);
    // Fills rect (the whole surface when null) with a raw pixel value; rect must lie inside.
    bool ColorFill(const Rect* rect, std::uint32_t pixel);

    // A front surface owns its back buffer: a surface of the same size and format that frames are
    // drawn to. Flip brings the back buffer's picture to the front; the back keeps its own storage,
    // so that pointers into it (the 3-D device's render target) stay valid.
    Surface* CreateBackBuffer();
    Surface* BackBuffer() const { return m_Back.get(); }
    bool Flip();

    // Current text alignment (kTextAlign... flags) of text drawn on this surface.
    std::uint32_t TextAlign() const { return m_TextAlign; }
    void SetTextAlign(std::uint32_t align) { m_TextAlign = align; }

private:
    PixelBuffer m_Pixels;
    bool m_HasColorKey = false;
    std::uint32_t m_ColorKey = 0;
    bool m_Lost = false;
    int m_LockCount = 0;
    std::uint32_t m_TextAlign = kTextAlignLeft | kTextAlignTop;
    Surface* m_Depth = nullptr;
    std::unique_ptr<Surface> m_Back;
};

// True when r is non-empty and lies wholly inside a width x height area.
bool RectInside(const Rect& r, int width, int height);

// Releases a surface made with new and clears the pointer; null is ignored.
inline void ReleaseSurface(Surface*& surface)
{
    delete surface;
    surface = nullptr;
}

} // namespace plat
