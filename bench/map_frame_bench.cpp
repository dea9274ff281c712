// The map frame of the 8-player sample mission, one core: a full static-layer rebuild, a one-step
// scroll, and the map scene with water, the fog and 1,000 units in view, at 1024 x 768 and
// 1280 x 1024.
#include <benchmark/benchmark.h>

#include "game/game_main.h"
#include "game_world.h"
#include "map/landscape.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "map/static_layer.h"

namespace {

void BM_RenderMapViewFull(benchmark::State& state)
{
    GameFrameWorld world(static_cast<int>(state.range(0)));
    if (!world.Ok()) {
        state.SkipWithError("the sample mission did not load");
        return;
    }
    RasterWork work;
    for (auto _ : state)
        RenderMapView(0);
    if (work.Check(state, 100))
        state.counters["tiles"] = g_Landscape.tileCount;
}

void BM_RenderMapViewScrollStep(benchmark::State& state)
{
    GameFrameWorld world(static_cast<int>(state.range(0)));
    if (!world.Ok()) {
        state.SkipWithError("the sample mission did not load");
        return;
    }
    RenderMapView(0);
    bool right = true;
    RasterWork work;
    for (auto _ : state) {
        // One column right, then back left: every rebuild is a one-step scroll.
        g_ViewX = static_cast<std::uint16_t>(g_ViewX + (right ? 1 : -1));
        g_ViewPixelX = g_ViewX * 96;
        RenderMapView(right ? 2 : 1);
        right = !right;
    }
    work.Check(state, 1);
}

void BM_DrawMapScene(benchmark::State& state)
{
    GameFrameWorld world(static_cast<int>(state.range(0)));
    if (!world.Ok()) {
        state.SkipWithError("the sample mission did not load");
        return;
    }
    RenderMapView(0);
    RasterWork work;
    for (auto _ : state) {
        ++g_FrameCounter;
        DrawMapScene();
    }
    if (work.Check(state, 100))
        state.counters["units"] = static_cast<double>(g_UnitsDrawSorted.size());
}

BENCHMARK(BM_RenderMapViewFull)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderMapViewScrollStep)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawMapScene)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);

} // namespace
