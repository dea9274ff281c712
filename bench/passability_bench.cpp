// The passability maps: the whole build of the largest sample map (at every map load) and the
// refresh around a building (at every building, tree, trench or standing-vehicle change).
#include <benchmark/benchmark.h>

#include "map/map_grid.h"
#include "maps.h"
#include "movement/passability.h"

namespace {

// The Coast map's heights, objects and blocked cells in the map layers.
struct CoastLayers {
    CoastLayers()
    {
        const sampledata::SampleMap map = sampledata::MakeCoastMap();
        g_MapWidth = map.data.width;
        g_MapHeight = map.data.height;
        SetMapGeometry();
        for (std::size_t i = 0; i < map.data.cells.size() && i < g_MapCellCount; ++i) {
            g_pHeightMap[i] = map.data.cells[i].height;
            g_pObjectMap[i] = map.data.cells[i].object & 0x7FFF;
            g_pCellFlags[i] = (map.data.cells[i].object & 0x8000) != 0 ? 1 : 0;
        }
        MakeBasicMap();
    }
    ~CoastLayers() { DestroyMap(); }
    CoastLayers(const CoastLayers&) = delete;
    CoastLayers& operator=(const CoastLayers&) = delete;
};

void BM_MakeBasicMapCoast(benchmark::State& state)
{
    CoastLayers layers;
    for (auto _ : state) {
        MakeBasicMap();
        benchmark::DoNotOptimize(g_pLandPassMap[g_MapCellCount / 2]);
    }
    state.counters["cells"] = static_cast<double>(g_MapCellCount);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * g_MapCellCount);
}
BENCHMARK(BM_MakeBasicMapCoast)->Unit(benchmark::kMillisecond);

// A 3 x 3 building's square: the house code refreshes with its rows plus cells as the radius.
void BM_MakePartOfBasicMapBuilding(benchmark::State& state)
{
    CoastLayers layers;
    const plat::Point where{g_MapWidth / 2, g_MapHeight / 2};
    for (auto _ : state) {
        MakePartOfBasicMap(where, 6);
        benchmark::DoNotOptimize(g_pLandPassMap[CellIndex(where.x, where.y)]);
    }
}
BENCHMARK(BM_MakePartOfBasicMapBuilding)->Unit(benchmark::kMicrosecond);

} // namespace
