// Feeds arbitrary bytes as a sprite-list entry (a count, then eight headings of pictures), then
// draws every picture that was loaded.
#include <cstddef>
#include <cstdint>

#include "device_once.h"
#include "devices/picture.h"
#include "units/unit_drawing.h"

namespace {

// Every picture of the entry, checked before the loader makes its textures.
bool TexturesAreSmall(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return false;
    std::size_t pos = 1;
    for (int p = 0; p < data[0] * SPRITE_LIST_HEADINGS && pos < size; ++p)
        if (!PictureTexturesAreSmall(data, size, pos))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!OpenDeviceOnce() || !TexturesAreSmall(data, size))
        return 0;
    TSpriteList list;
    if (!list.LoadFromMemory({data, size}))
        return 0;
    TScreenQuad quad = g_SpriteQuadTemplate;
    for (int i = 0; i < list.Count() * SPRITE_LIST_HEADINGS; ++i)
        if (const TPicture* picture = list.Picture(i))
            picture->DrawAll(2, -8.0f, -8.0f, UNIT_PART_DEPTH, quad.data());
    return 0;
}
