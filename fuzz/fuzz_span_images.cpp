// Feeds arbitrary bytes to both span-coded picture loaders and draws what loads.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "devices/display.h"
#include "devices/span_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = DirectDrawInit(nullptr, 0);
    (void)ready;
    static std::vector<std::uint16_t> screen(static_cast<std::size_t>(g_ScreenWidth) * g_ScreenHeight);
    TLockedSurface lock{reinterpret_cast<std::uint8_t*>(screen.data()), g_ScreenWidth * 2};
    const auto n = static_cast<std::int32_t>(size);
    cHMap h;
    if (h.LoadFromMemory(data, n)) {
        h.WriteZ(-3, 5, 1024, &lock, nullptr);
        h.WriteZChecker(static_cast<std::int16_t>(g_ScreenWidth - 2), 0, 0, &lock, nullptr);
        h.GetPixel(0, 0);
    }
    cIMg img;
    if (img.LoadFromMemory(data, n, 2)) {
        img.DrawToSurface(-7, -7, &lock, nullptr);
        const plat::Rect clip{1, 1, 3, 3};
        img.DrawToSurfaceMasked(10, g_ScreenHeight - 1, &lock, &clip);
    }
    img.LoadFromMemory(data, n, 3);
    return 0;
}
