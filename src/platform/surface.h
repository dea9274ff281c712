#pragma once
// A picture in memory: the storage that the display layer's surfaces, the 3-D device's render
// target, its Z-buffer and its textures all share. Pixel operations (blits, fills, locks, text)
// are built on top of it by the display and device modules.
#include <cstdint>
#include <vector>

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

} // namespace plat

namespace plat {

// A display surface: a pixel buffer with the state DirectDraw-style callers expect (a source colour
// key, a lock count, a "lost" flag that is only ever set by ForceLost, and an attached Z-buffer).
// The display module adds blits, fills, text and presentation on top.
class Surface {
public:
    Surface(int width, int height, PixelFormat format, int pitchBytes = 0)
        : m_Pixels(width, height, format, pitchBytes)
    {
    }
    PixelBuffer& Pixels() { return m_Pixels; }
    const PixelBuffer& Pixels() const { return m_Pixels; }
    int Width() const { return m_Pixels.Width(); }
    int Height() const { return m_Pixels.Height(); }
    PixelFormat Format() const { return m_Pixels.Format(); }

    void SetColorKey(std::uint32_t key) { m_HasColorKey = true, m_ColorKey = key; }
    void ClearColorKey() { m_HasColorKey = false; }
    bool HasColorKey() const { return m_HasColorKey; }
    std::uint32_t ColorKey() const { return m_ColorKey; }

    bool IsLost() const { return m_Lost; }
    void ForceLost() { m_Lost = true; }
    void Restore() { m_Lost = false; }

    void AttachDepth(Surface* depth) { m_Depth = depth; }
    Surface* AttachedDepth() const { return m_Depth; }

private:
    PixelBuffer m_Pixels;
    bool m_HasColorKey = false;
    std::uint32_t m_ColorKey = 0;
    bool m_Lost = false;
    Surface* m_Depth = nullptr;
};

} // namespace plat
