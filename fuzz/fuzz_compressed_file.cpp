// Feeds arbitrary compressed-file images to the reader; what it accepts must inflate to the
// header's size exactly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <vector>

#include "archives.h"
#include "core/archive.h"
#include "platform/bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Odd first bytes: a real file made from the rest, with one header field overwritten.
    std::vector<std::uint8_t> file(data, data + size);
    if (size >= 6 && (data[0] & 1)) {
        file = sampledata::BuildCompressedFile({data + 6, size - 6});
        plat::WriteU32LE(file.data() + ((data[1] & 1) ? 4 : 0), plat::ReadU32LE(data + 2));
    }
    std::uint32_t raw = 0;
    std::uint8_t* out = LoadCompressedBuffer(file, &raw, "fuzz");
    if (out && raw != plat::ReadU32LE(file.data() + 4))
        std::abort();
    FreeCompressedFile(out);
    if (size > 8) {
        std::uint32_t produced = 0;
        FreeLesEntry(InflateBody(data + 8, static_cast<std::uint32_t>(size - 8), plat::ReadU32LE(data) & 0xFFFFF,
                                 &produced));
    }
    return 0;
}
