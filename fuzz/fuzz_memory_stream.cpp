// Feeds arbitrary bytes to the memory reader's token and field calls.
#include <cstddef>
#include <cstdint>

#include "core/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the token buffer's capacity, so cut tokens are exercised too.
    const std::int32_t capacity = data[0] % 33;
    TIfStreamMemory in(data + 1, static_cast<std::int32_t>(size - 1));
    char token[33];
    int guard = 0;
    while (!in.AtEnd() && guard++ < 100000) {
        in.ReadToken(capacity ? token : nullptr, capacity);
        std::uint32_t u32;
        std::int16_t i16;
        double d;
        in.ReadU32(u32);
        in.ReadI16(i16);
        in.ReadF64(d);
    }
    in.Seek(static_cast<std::int32_t>(size / 2));
    std::uint8_t buf[64];
    in.Read(buf, sizeof buf);
    return 0;
}
