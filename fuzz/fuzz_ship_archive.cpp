// Feeds arbitrary bytes as the entries of a ship archive: the first byte chooses the entry (the
// ship record, the boiling line or a part's pictures), the rest is its body.
#include <cstddef>
#include <cstdint>
#include <span>

#include "combat/ship_graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::span<const std::uint8_t> body(data + 1, size - 1);
    TShipData ship;
    switch (data[0] % 3) {
    case 0:
        ParseShipRecord(body, ship);
        break;
    case 1:
        ParseShipBoiling(body, ship);
        break;
    default: {
        TShipPartFrames frames;
        if (ParseShipPartEntry(body, frames))
            for (std::uint32_t f = 0; f <= frames.frameCount; ++f)
                for (std::uint8_t l = 0; l <= frames.layerCount; ++l)
                    (void)frames.Picture(l, f);
        break;
    }
    }
    return 0;
}
