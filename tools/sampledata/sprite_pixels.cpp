#include "sprite_pixels.h"

namespace sampledata {

std::vector<std::uint16_t> MakeKeyedDisc4444(int width, int height, int red, int green, int blue)
{
    std::vector<std::uint16_t> out(static_cast<std::size_t>(width > 0 ? width : 0) * (height > 0 ? height : 0), 0x0F0F);
    const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0;
    const double r = (width < height ? width : height) / 2.0 - 0.5;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double dx = x - cx, dy = y - cy;
            const double d2 = dx * dx + dy * dy;
            if (d2 > r * r)
                continue;
            // Lighter toward the upper left, like the rest of the game's shaded shapes.
            const double light = 1.0 - 0.4 * (dx + dy + 2 * r) / (4 * r);
            auto shade = [&](int c) { return static_cast<std::uint16_t>(c * light + 0.5) & 0xF; };
            out[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint16_t>(0xF000 | shade(red) << 8 | shade(green) << 4 | shade(blue));
        }
    return out;
}

std::vector<std::uint16_t> MakeCoordinatePattern4444(int width, int height)
{
    std::vector<std::uint16_t> out(static_cast<std::size_t>(width > 0 ? width : 0) * (height > 0 ? height : 0));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint16_t>(0xF000 | (x & 15) << 8 | (y & 15) << 4 | ((x + y) & 15));
    return out;
}

} // namespace sampledata
