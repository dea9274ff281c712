// Feeds arbitrary bytes as the water block of a small map: the first two bytes choose the map's
// width and height, the rest is the block. Whatever the loader accepts must save and load again
// to the same bytes, and the ships' grid it rebuilt must stay inside its cells.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/memory_stream.h"
#include "map/map_grid.h"
#include "map/ship_grid.h"
#include "map/water.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // One water object for the whole run: its pictures are missing here, which it reports once.
    static TWaterMap* water = (g_pWater = new TWaterMap());
    g_MapWidth = static_cast<std::uint16_t>(1 + data[0] % 24);
    g_MapHeight = static_cast<std::uint16_t>(1 + data[1] % 48);
    if (!SetMapGeometry()) {
        DestroyMap();
        return 0;
    }
    TIfStreamMemory in(data + 2, static_cast<std::int32_t>(size - 2));
    if (water->LoadWater(in)) {
        TOfStreamMemory out;
        water->SaveWater(out);
        const std::vector<std::uint8_t> first(out.Data(), out.Data() + out.Size());
        TIfStreamMemory again(first.data(), static_cast<std::int32_t>(first.size()));
        if (!water->LoadWater(again))
            std::abort();
        TOfStreamMemory out2;
        water->SaveWater(out2);
        if (std::vector<std::uint8_t>(out2.Data(), out2.Data() + out2.Size()) != first)
            std::abort();
        for (int y = 0; y < g_MapHeight; ++y)
            for (int x = 0; x < g_MapWidth; ++x) {
                water->GetWaterKind(x, y);
                water->IsTileOnWater(x, y);
            }
        float fx = 0, fy = 0;
        water->m_pShipGrid->ShipGridCellAt(100.0f, 100.0f, fx, fy);
    }
    DestroyMap();
    return 0;
}
