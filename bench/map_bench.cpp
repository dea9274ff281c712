// Picking with heights: the mouse thread turns every cursor event into a cell, and the height
// queries of units and shots run the same search. Measured over a screen's worth of points of a
// hilly 200 x 400 map, and the two height queries over the same points.
#include <benchmark/benchmark.h>

#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/terrain.h"
#include "sample_terrain.h"

namespace {

struct HillyMap {
    HillyMap()
    {
        g_MapWidth = 200;
        g_MapHeight = 400;
        SetMapGeometry();
        const std::vector<std::uint8_t> heights = sampledata::MakeSampleHeights(200, 400, 11);
        for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
            g_pHeightMap[i] = heights[i];
    }
    ~HillyMap() { DestroyMap(); }
};

// A 1024 x 768 screen in the middle of the map, every fourth pixel each way.
template <class Query>
void OverScreen(benchmark::State& state, Query query)
{
    HillyMap map;
    const float left = 80.0f * 96.0f;
    const float top = 150.0f * 24.0f;
    std::int64_t calls = 0;
    for (auto _ : state) {
        for (int y = 0; y < 768; y += 4)
            for (int x = 0; x < 1024; x += 4)
                query(left + static_cast<float>(x), top + static_cast<float>(y));
        calls += (768 / 4) * (1024 / 4);
    }
    state.SetItemsProcessed(calls);
}

void BM_GetCellFromPoint(benchmark::State& state)
{
    OverScreen(state, [](float x, float y) {
        plat::Point cell;
        GetCellFromPoint(x, y, cell);
        benchmark::DoNotOptimize(cell);
    });
}
BENCHMARK(BM_GetCellFromPoint);

void BM_GetLandHeight(benchmark::State& state)
{
    OverScreen(state, [](float x, float y) { benchmark::DoNotOptimize(GetLandHeight(x, y)); });
}
BENCHMARK(BM_GetLandHeight);

void BM_GetLandHeightF(benchmark::State& state)
{
    OverScreen(state, [](float x, float y) { benchmark::DoNotOptimize(GetLandHeightF(x, y)); });
}
BENCHMARK(BM_GetLandHeightF);

} // namespace
