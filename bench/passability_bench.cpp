// The passability maps: the whole build of the largest sample map (at every map load) and the
// refresh around a building (at every building, tree, trench or standing-vehicle change).
#include <benchmark/benchmark.h>

#include "map/map_grid.h"
#include "coast_map.h"
#include "maps.h"
#include "movement/passability.h"

namespace {

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
