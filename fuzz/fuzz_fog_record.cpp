// Feeds arbitrary bytes to the fog's reveal-record reader. A record that was read must be written
// back to the same bytes; a short one must be refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/memory_stream.h"
#include "map/fog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TIfStreamMemory in(data, static_cast<std::int32_t>(size));
    TFogRevealRecord record{};
    const bool ok = LoadFogState(record, in);
    if (ok != (size >= static_cast<std::size_t>(FOG_RECORD_BYTES)))
        std::abort();
    if (!ok)
        return 0;
    TOfStreamMemory out;
    if (!SaveFogState(record, out) || out.Size() != FOG_RECORD_BYTES ||
        std::memcmp(out.Data(), data, FOG_RECORD_BYTES) != 0)
        std::abort();
    // Whatever the record holds, adding a point never writes past its ten slots.
    const std::uint16_t slot = AddFogRevealPoint(record, 1, 2, data[0]);
    if (slot != FOG_NO_SLOT && slot >= FOG_REVEAL_SLOTS)
        std::abort();
    return 0;
}
