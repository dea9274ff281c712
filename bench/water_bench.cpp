// The water's share of the map frame at 1024 x 768 over the sample sea and river: the per-frame
// pass (animated water with depth EQUAL, light spots, surf), the static layer's rebuild of the
// water shape and shore lines, and a whole rebuild of the ships' grid.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bench_display.h"

#include "core/memory_stream.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/ship_grid.h"
#include "map/water.h"
#include "platform/paths.h"
#include "water.h"

namespace {

constexpr std::uint16_t kMapW = 64;
constexpr std::uint16_t kMapH = 128;

// The display, the sample water files and a map whose view looks at the coast and the river; made
// by each benchmark and freed again.
struct WaterScene {
    std::string folder = (std::filesystem::temp_directory_path() / "korvela-water-bench").string();
    std::unique_ptr<BenchDisplay> display;
    bool ok = false;

    WaterScene()
    {
        if (!sampledata::WriteWaterFiles(folder))
            return;
        plat::SetGameRoot(folder);
        display = std::make_unique<BenchDisplay>();
        if (!display->Ok())
            return;
        g_pWater = new TWaterMap();
        g_MapWidth = kMapW;
        g_MapHeight = kMapH;
        if (!SetMapGeometry())
            return;
        const auto block = sampledata::BuildWaterBlock(kMapW, kMapH, sampledata::MakeSampleWaterTiles(kMapW, kMapH));
        TIfStreamMemory in(block.data(), static_cast<std::int32_t>(block.size()));
        if (!g_pWater->LoadWater(in) || !g_pWater->m_pShipGrid)
            return;
        g_pWater->SetWaterScreenParams();
        g_ViewX = 30;
        g_ViewY = 40;
        g_pD3DDevice->SetRenderState(D3DState::ZEnable, 1);
        g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 1);
        g_pD3DDevice->SetRenderState(D3DState::ZFunc, 4);
        g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
        g_pWater->BuildWaterFromMap(0);
        ok = true;
    }
    ~WaterScene()
    {
        delete g_pWater;
        g_pWater = nullptr;
        DestroyMap();
        display.reset();
        plat::SetGameRoot(".");
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    WaterScene(const WaterScene&) = delete;
    WaterScene& operator=(const WaterScene&) = delete;
};

void BM_DrawWaterFrame(benchmark::State& state)
{
    WaterScene scene;
    if (!scene.ok) {
        state.SkipWithError("water not made");
        return;
    }
    g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 0);
    RasterWork work;
    for (auto _ : state)
        g_pWater->DrawWater();
    if (work.Check(state, 10))
        state.counters["shore quads"] = g_pWater->CoastLineCount();
}
BENCHMARK(BM_DrawWaterFrame)->Unit(benchmark::kMillisecond);

void BM_BuildWaterFromMap(benchmark::State& state)
{
    WaterScene scene;
    if (!scene.ok) {
        state.SkipWithError("water not made");
        return;
    }
    RasterWork work;
    for (auto _ : state) {
        g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
        g_pWater->BuildWaterFromMap(0);
    }
    work.Check(state, 10);
}
BENCHMARK(BM_BuildWaterFromMap)->Unit(benchmark::kMillisecond);

void BM_RebuildShipGrid(benchmark::State& state)
{
    WaterScene scene;
    if (!scene.ok) {
        state.SkipWithError("water not made");
        return;
    }
    for (auto _ : state)
        g_pWater->m_pShipGrid->RebuildShipGrid(nullptr);
    state.counters["cells"] = static_cast<double>(g_pWater->m_pShipGrid->m_Width) * g_pWater->m_pShipGrid->m_Height;
}
BENCHMARK(BM_RebuildShipGrid)->Unit(benchmark::kMillisecond);

} // namespace
