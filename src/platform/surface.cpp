#include "platform/surface.h"

namespace plat {

int BytesPerPixel(PixelFormat format)
{
    return format == PixelFormat::ARGB8888 ? 4 : 2;
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

} // namespace plat
