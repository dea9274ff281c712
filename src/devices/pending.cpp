// Least bodies of display services that are not built yet.
#include "devices/display.h"

// Display globals and colour conversion (the display module).
TDisplayDevice* g_pDD = nullptr;
plat::Surface* g_pDDSBack = nullptr;
std::uint16_t g_ScreenWidth = 0;
std::uint16_t g_ScreenHeight = 0;

std::uint16_t MakeColor16(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    if (g_pDDSBack && g_pDDSBack->Format() == plat::PixelFormat::RGB555)
        return static_cast<std::uint16_t>((red >> 3) << 10 | (green >> 3) << 5 | (blue >> 3));
    return static_cast<std::uint16_t>((red >> 3) << 11 | (green >> 2) << 5 | (blue >> 3));
}
