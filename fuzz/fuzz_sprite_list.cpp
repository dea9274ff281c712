// Feeds arbitrary bytes as a sprite-list entry (a count, then eight headings of pictures), then
// draws every picture that was loaded.
#include <cstddef>
#include <cstdint>

#include "device_once.h"
#include "devices/image_files.h"
#include "devices/picture.h"
#include "units/unit_drawing.h"

namespace {

// Walks the pictures' tile headers the way the loaders do and refuses huge textures up front.
bool TexturesAreSmall(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return false;
    std::size_t pos = 1;
    for (int p = 0; p < data[0] * SPRITE_LIST_HEADINGS && pos < size; ++p) {
        const int tiles = data[pos++];
        for (int i = 0; i < tiles; ++i) {
            if (size - pos < kFrameRecordSize)
                return true;
            const TFrameRecord r = ReadFrameRecord(data + pos);
            if (r.texWidth >= kFuzzMaxTextureSide || r.texHeight >= kFuzzMaxTextureSide)
                return false;
            if (r.size > size - pos - kFrameRecordSize)
                return true;
            pos += kFrameRecordSize + r.size;
        }
    }
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
