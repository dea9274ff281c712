// Feeds arbitrary bytes to the ".444" reader and the texture made from it.
#include <cstddef>
#include <cstdint>

#include "device_once.h"
#include "devices/image_files.h"
#include "platform/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!OpenDeviceOnce())
        return 0;
    TImage444 image;
    if (!Parse444({data, size}, image))
        return 0;
    if (plat::Texture* t = CreateTexture4444(image.pixels.data(), static_cast<std::uint16_t>(image.width),
                                             static_cast<std::uint16_t>(image.height)))
        t->Release();
    return 0;
}
