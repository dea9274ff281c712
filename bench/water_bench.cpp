// The water's share of the map frame at 1024 x 768 over the sample sea and river: the per-frame
// pass (animated water with depth EQUAL, light spots, surf), the static layer's rebuild of the
// water shape and shore lines, and a whole rebuild of the ships' grid.
#include <benchmark/benchmark.h>

#include <filesystem>

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

// The display, the sample water files and a map whose view looks at the coast and the river.
struct WaterScene {
    WaterScene()
    {
        folder = (std::filesystem::temp_directory_path() / "korvela-water-bench").string();
        sampledata::WriteWaterFiles(folder);
        plat::SetGameRoot(folder);
        DirectDrawInit(nullptr, 0);
        Direct3DInit();
        g_pWater = new TWaterMap();
        g_MapWidth = kMapW;
        g_MapHeight = kMapH;
        SetMapGeometry();
        const auto block = sampledata::BuildWaterBlock(kMapW, kMapH, sampledata::MakeSampleWaterTiles(kMapW, kMapH));
        TIfStreamMemory in(block.data(), static_cast<std::int32_t>(block.size()));
        g_pWater->LoadWater(in);
        g_ViewX = 30;
        g_ViewY = 40;
        g_pD3DDevice->SetRenderState(D3DState::ZEnable, 1);
        g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 1);
        g_pD3DDevice->SetRenderState(D3DState::ZFunc, 4);
        g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
        g_pWater->BuildWaterFromMap(0);
    }
    std::string folder;
};

WaterScene& Scene()
{
    static WaterScene scene;
    return scene;
}

void BM_DrawWaterFrame(benchmark::State& state)
{
    Scene();
    for (auto _ : state)
        g_pWater->DrawWater();
    state.counters["shore quads"] = g_pWater->CoastLineCount();
}
BENCHMARK(BM_DrawWaterFrame)->Unit(benchmark::kMillisecond);

void BM_BuildWaterFromMap(benchmark::State& state)
{
    Scene();
    for (auto _ : state) {
        g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
        g_pWater->BuildWaterFromMap(0);
    }
}
BENCHMARK(BM_BuildWaterFromMap)->Unit(benchmark::kMillisecond);

void BM_RebuildShipGrid(benchmark::State& state)
{
    Scene();
    for (auto _ : state)
        g_pWater->m_pShipGrid->RebuildShipGrid(nullptr);
}
BENCHMARK(BM_RebuildShipGrid)->Unit(benchmark::kMillisecond);

} // namespace
