// The minimap on a 160 x 480 map (the size of the largest sample map) at 1024 x 768: a full
// recomputation of the picture, as a load, a shown minimap or the editor asks for, and one frame's
// drawing with 4000 unit dots over eight players.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "bench_display.h"
#include "map/map_grid.h"
#include "map/minimap.h"
#include "map/land_textures.h"

namespace {

struct MiniMapBenchWorld {
    BenchDisplay display;
    std::array<std::vector<TMiniMapUnit>, 8> units;
    bool ok = false;

    MiniMapBenchWorld()
    {
        if (!display.Ok())
            return;
        g_MapWidth = 160;
        g_MapHeight = 480;
        if (!SetMapGeometry())
            return;
        g_LandColors.assign(136, TLandColor{});
        for (std::size_t i = 0; i < g_LandColors.size(); ++i)
            g_LandColors[i] = {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(i)};
        std::uint32_t seed = 77;
        const auto next = [&seed](std::uint32_t range) {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % range;
        };
        for (std::uint32_t i = 0; i < g_MapCellCount; ++i) {
            TMapCell& c = g_pCellInfo[i];
            c = TMapCell{};
            c.base = static_cast<std::uint16_t>(1 + next(136));
            if (next(3) == 0) {
                c.base |= 0x8000;
                c.overlay[next(9)] = static_cast<std::uint16_t>(1 + next(136));
                c.overlay[next(4)] = static_cast<std::uint16_t>(1 + next(136));
            }
            g_pHeightMap[i] = static_cast<std::uint8_t>(next(256));
            g_pObjectMap[i] = next(50) == 0 ? static_cast<std::uint16_t>(9000 + next(400)) : 0;
        }
        for (int k = 0; k < 4000; ++k)
            units[static_cast<std::size_t>(k % 8)].push_back(
                {static_cast<std::uint16_t>(next(160)), static_cast<std::uint16_t>(next(480)), 0, 1,
                 static_cast<std::uint8_t>(next(10) == 0)});
        g_bMiniMapShown = 1;
        ok = MiniMapInit();
        TMiniMapServices& s = MiniMapServices();
        s.PlayerActive = [](std::uint8_t) { return true; };
        s.ForEachUnit = [this](std::uint8_t p, const std::function<void(const TMiniMapUnit&)>& f) {
            for (const TMiniMapUnit& u : units[p])
                f(u);
        };
        s.LocalSelectedHouse = [](TMiniMapHouse&) { return false; };
    }
    ~MiniMapBenchWorld()
    {
        ResetMiniMapServices();
        g_bMiniMapShown = 0;
        FreeMiniMap();
        DestroyMap();
        g_LandColors.clear();
    }
    MiniMapBenchWorld(const MiniMapBenchWorld&) = delete;
    MiniMapBenchWorld& operator=(const MiniMapBenchWorld&) = delete;
};

void BM_MiniMapFullRedraw(benchmark::State& state)
{
    MiniMapBenchWorld world;
    if (!world.ok) {
        state.SkipWithError("minimap not made");
        return;
    }
    for (auto _ : state) {
        RedrawMiniMap(nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * MINIMAP_PIXELS);
}
BENCHMARK(BM_MiniMapFullRedraw)->Unit(benchmark::kMicrosecond);

void BM_MiniMapFrame(benchmark::State& state)
{
    MiniMapBenchWorld world;
    if (!world.ok) {
        state.SkipWithError("minimap not made");
        return;
    }
    RedrawMiniMap(nullptr);
    for (auto _ : state) {
        DrawMiniMap();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MiniMapFrame)->Unit(benchmark::kMicrosecond);

} // namespace
