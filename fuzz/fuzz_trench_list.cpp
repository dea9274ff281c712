// Feeds arbitrary bytes as the trench and pontoon list block of a small map: the first two bytes
// choose the map's width and height, the rest is the block. Whatever the loader accepts must save
// to exactly the bytes it read, and the list's queries must stay inside the list and the map.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/memory_stream.h"
#include "map/map_grid.h"
#include "map/trenches.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    g_MapWidth = static_cast<std::uint16_t>(1 + data[0] % 40);
    g_MapHeight = static_cast<std::uint16_t>(1 + data[1] % 60);
    if (!SetMapGeometry()) {
        DestroyMap();
        return 0;
    }
    g_TrenchList.Clear();
    TIfStreamMemory in(data + 2, static_cast<std::int32_t>(size - 2));
    if (g_TrenchList.LoadTrenchList(in)) {
        TOfStreamMemory out;
        g_TrenchList.SaveTrenchList(out);
        const std::size_t used = static_cast<std::size_t>(out.Size());
        if (used > size - 2 || std::memcmp(out.Data(), data + 2, used) != 0)
            std::abort();
        plat::Point points[16];
        for (std::int32_t y = 0; y < g_MapHeight; ++y)
            for (std::int32_t x = 0; x < g_MapWidth; ++x) {
                g_TrenchList.IsTrenchObjectCode(GetObjectFromMap(plat::Point{x, y}));
                if (g_TrenchList.TrenchPontoonStep({x, y}, points, 16) > 16)
                    std::abort();
            }
        for (std::uint16_t i = 0; i < g_TrenchList.Count(); ++i) {
            TTrenchEntry* e = g_TrenchList.Entry(i);
            g_TrenchList.TrenchWearDown(e, {e->x, e->y}, std::nullopt);
        }
        g_TrenchList.AddTrenchEntry(20, 5, 12);
    }
    g_TrenchList.Clear();
    DestroyMap();
    return 0;
}
