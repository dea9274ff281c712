// Feeds arbitrary bytes as a tiled picture block, then draws what was loaded.
#include <cstddef>
#include <cstdint>

#include "device_once.h"
#include "devices/image_files.h"
#include "devices/picture.h"
#include "platform/bytes.h"

namespace {

// Walks the tile headers the way the loader does and refuses huge textures up front.
bool TexturesAreSmall(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return false;
    std::size_t pos = 1;
    for (int i = 0; i < data[0]; ++i) {
        if (size - pos < kFrameRecordSize)
            return true;
        const TFrameRecord r = ReadFrameRecord(data + pos);
        if (r.texWidth >= kFuzzMaxTextureSide || r.texHeight >= kFuzzMaxTextureSide)
            return false;
        if (r.size > size - pos - kFrameRecordSize)
            return true;
        pos += kFrameRecordSize + r.size;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!OpenDeviceOnce() || !TexturesAreSmall(data, size))
        return 0;
    TPicture picture;
    if (picture.LoadFromMemory({data, size}) == 0)
        return 0;
    TScreenQuad quad = g_SpriteQuadTemplate;
    picture.DrawAll(size % 2 ? 6 : 2, -16.0f, -16.0f, 3.0f, quad.data());
    return 0;
}
