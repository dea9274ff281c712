// Feeds arbitrary bytes as an explosion frame block and makes its half-size textures. The first
// byte chooses whether the records' sizes and offsets are pulled into the block, so that the
// pixel copy is reached often and not only the refusals.
#include <cstddef>
#include <cstdint>
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
    std::vector<std::uint8_t> block(data + 1, data + size);
    if ((mode & 1) && !block.empty()) {
        const std::size_t n = block[0];
        for (std::size_t i = 0; i < n && kFrameBlockHeadSize + 20 * (i + 1) <= block.size(); ++i) {
            std::uint8_t* r = block.data() + kFrameBlockHeadSize + 20 * i;
            const std::uint16_t dw = r[4] % 9, dh = r[6] % 9;
            plat::WriteU16LE(r + 4, dw);
            plat::WriteU16LE(r + 6, dh);
            plat::WriteU16LE(r + 8, static_cast<std::uint16_t>(dw + r[8] % 3));
            plat::WriteU16LE(r + 10, static_cast<std::uint16_t>(dh + r[10] % 3));
            plat::WriteU32LE(r + 12, dw * dh * 2u + (mode >> 7));
            plat::WriteU32LE(r + 16, static_cast<std::uint32_t>(plat::ReadU32LE(r + 16) % (block.size() + 1)));
        }
    }
    std::vector<TFrameRecord> records;
    if (!ParseFrameBlock(block, records))
        return 0;
    for (const TFrameRecord& r : records)
        if (r.x != 0xFFFF && (r.texWidth >= kFuzzMaxTextureSide || r.texHeight >= kFuzzMaxTextureSide))
            return 0;
    plat::Texture* textures[256] = {};
    TFrameHeader headers[256];
    const std::size_t room = (mode & 2) ? records.size() : 256;
    if (CreateHalfSizeFrameTextures(block, {textures, room}, {headers, room}))
        for (plat::Texture* t : textures)
            if (t)
                t->Release();
    return 0;
}
