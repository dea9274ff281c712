// Feeds arbitrary bytes as a tiled picture block, then draws what was loaded.
#include <cstddef>
#include <cstdint>

#include "device_once.h"
#include "devices/image_files.h"
#include "devices/picture.h"
#include "platform/bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t pos = 0;
    if (!OpenDeviceOnce() || size == 0 || !PictureTexturesAreSmall(data, size, pos))
        return 0;
    TPicture picture;
    if (picture.LoadFromMemory({data, size}) == 0)
        return 0;
    TScreenQuad quad = g_SpriteQuadTemplate;
    picture.DrawAll(size % 2 ? 6 : 2, -16.0f, -16.0f, 3.0f, quad.data());
    return 0;
}
