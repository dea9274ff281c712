// Feeds arbitrary bytes to the BMP readers: file and in-memory forms, into surfaces and textures.
// The first byte chooses which header fields are made plausible (info-header size, data offset,
// bit count, compression, picture size), so that the row handling is reached often and not only
// the header refusals.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "device_once.h"
#include "devices/image_files.h"
#include "platform/bytes.h"
#include "platform/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!OpenDeviceOnce() || size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if ((mode & 1) && bytes.size() >= 2)
        bytes[0] = 'B', bytes[1] = 'M';
    if ((mode & 2) && bytes.size() >= kBmpPixelOffset) {
        // the plain info header or the largest one, uncompressed 24 bits, with the rows right
        // after it or a few bytes later
        const std::uint32_t infoSize = (mode & 8) ? 124 : 40;
        plat::WriteU32LE(bytes.data() + 10, kBmpFileHeaderSize + infoSize + bytes[10] % 8);
        plat::WriteU32LE(bytes.data() + 14, infoSize);
        plat::WriteU16LE(bytes.data() + 28, 24);
        plat::WriteU32LE(bytes.data() + 30, 0);
    }
    if ((mode & 4) && bytes.size() >= kBmpPixelOffset) {
        // sizes that the remaining bytes can nearly hold
        plat::WriteI32LE(bytes.data() + 18, bytes[18] % 17 - 1);
        plat::WriteI32LE(bytes.data() + 22, bytes[22] % 9 - 1);
    }
    TBmpInfoHeader info;
    std::span<const std::uint8_t> rows;
    if (ParseBmpFile(bytes, info, rows) && info.width < kFuzzMaxTextureSide && info.height < kFuzzMaxTextureSide) {
        std::unique_ptr<plat::Surface> surface(
            CreateOffscreenSurface(info.width / 2 + 1 + (mode >> 4), info.height + (mode >> 6), 0, true));
        Copy_Bmp24_Surface16(surface.get(), rows.data(), info.width, info.height);
    }
    int w = 0, h = 0;
    if (ParseBmpMemory(bytes, w, h, rows) && w < kFuzzMaxTextureSide && h < kFuzzMaxTextureSide) {
        delete CreateSurfaceFromBmpMemory(bytes);
        if (plat::Texture* t = CreateTextureFromBmpMemory(bytes))
            t->Release();
    }
    return 0;
}
