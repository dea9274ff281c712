// Feeds arbitrary bytes as the shots block of save chunk 2 (first byte even) or as the crater block
// of maps and saves (first byte odd) over a small flat map. Loaded shots then fly a few cycles:
// nothing read may index past the tables, loop without end or reach the map out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "combat/craters.h"
#include "combat/explosions.h"
#include "combat/shots.h"
#include "core/memory_stream.h"
#include "map/map_grid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    g_MapWidth = 20;
    g_MapHeight = 60;
    if (!SetMapGeometry()) {
        DestroyMap();
        return 0;
    }
    TIfStreamMemory in(data + 1, static_cast<std::int32_t>(size - 1));
    if ((data[0] & 1) == 0) {
        LoadShots(in);
        for (int cycle = 0; cycle < 8 && g_ShotList != nullptr; ++cycle)
            UpdateShots();
        TOfStreamMemory out;
        SaveShots(out);
        FreeShotList();
        ExplosionsFree();
    } else {
        TCraters craters;
        if (craters.LoadCraters(in)) {
            TOfStreamMemory out;
            craters.SaveCraters(out);
            if (out.Size() != 2 + craters.PictureCount() * ANIMATION_RECORD_SIZE)
                std::abort();
        }
    }
    DestroyMap();
    return 0;
}
