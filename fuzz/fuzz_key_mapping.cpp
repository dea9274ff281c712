// Feeds key-mapping file images to the reader and looks every byte code up in the result.
#include <cstddef>
#include <cstdint>

#include "game/key_mapping.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    KeyMapping mapping;
    mapping.Parse({data, size});
    std::uint32_t sum = 0;
    for (std::uint32_t key = 0; key < 256; ++key)
        sum += mapping.Find(key);
    return sum == 0xFFFFFFFFu ? 1 : 0;
}
