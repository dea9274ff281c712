// Feeds arbitrary text to the readers of Data\Colors.txt and Data\ShipTowersParams.txt.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "units/parameter_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (ParseColors({data, size}))
        for (std::uint32_t c : g_PlayerColorsD3D)
            if ((c >> 24) != 0xFF)
                std::abort();
    if (ParseShipTowersParams({data, size})) {
        TShipTowerParams p;
        for (int i = 0; i < 256; ++i)
            GetShipTowersParams(static_cast<std::uint8_t>(i), p);
    }
    FreeShipTowersParams();
    return 0;
}
