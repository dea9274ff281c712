// Feeds arbitrary bytes as a pack frame entry: skipped fields, frame header, pixels, texture.
#include <cstddef>
#include <cstdint>

#include "core/memory_stream.h"
#include "device_once.h"
#include "devices/image_files.h"
#include "platform/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!OpenDeviceOnce() || size > 0x7FFFFFFF)
        return 0;
    TIfStreamMemory in(data, static_cast<std::int32_t>(size));
    std::uint16_t skipped;
    in.ReadU16(skipped);
    in.ReadU16(skipped);
    TFrameHeader header;
    if (!ReadFrameHeader(in, header) || header.texWidth >= kFuzzMaxTextureSide || header.texHeight >= kFuzzMaxTextureSide)
        return 0;
    if (plat::Texture* t = CreateTextureFromFrame({in.Data() + in.Pos(), static_cast<std::size_t>(in.Remaining())}, header))
        t->Release();
    return 0;
}
