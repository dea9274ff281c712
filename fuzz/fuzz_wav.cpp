// The WAV reader takes any bytes without reading outside them.
#include <cstddef>
#include <cstdint>

#include "platform/wav.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plat::WaveData wave;
    std::string reason;
    if (plat::ParseWave(std::span<const std::uint8_t>(data, size), wave, &reason) && wave.samples.size() > size)
        __builtin_trap();
    return 0;
}
