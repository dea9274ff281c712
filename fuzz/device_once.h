#pragma once
// Display and 3-D device opened once per fuzz run, so loaders can make real surfaces and textures.
#include <cstddef>
#include <cstdint>

#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/image_files.h"

inline bool OpenDeviceOnce()
{
    static const bool ok = DirectDrawInit(nullptr, 0) && Direct3DInit();
    return ok;
}

// Textures of this size or more are legal but only slow the fuzzer down.
constexpr int kFuzzMaxTextureSide = 1024;

// Walks the tile headers of one tiled picture from pos the way the loaders do: false when a tile
// asks for a huge texture. pos ends after the picture, or at size when it is cut short.
inline bool PictureTexturesAreSmall(const std::uint8_t* data, std::size_t size, std::size_t& pos)
{
    if (pos >= size)
        return true;
    const int tiles = data[pos++];
    for (int i = 0; i < tiles; ++i) {
        if (size - pos < kFrameRecordSize) {
            pos = size;
            return true;
        }
        const TFrameRecord r = ReadFrameRecord(data + pos);
        if (r.texWidth >= kFuzzMaxTextureSide || r.texHeight >= kFuzzMaxTextureSide)
            return false;
        if (r.size > size - pos - kFrameRecordSize) {
            pos = size;
            return true;
        }
        pos += kFrameRecordSize + r.size;
    }
    return true;
}
