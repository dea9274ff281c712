// The fog at 1024 x 768 with 500 sight sources of the local player spread over a 200 x 400 map,
// twenty of them around the view, where they leave seen patches in the fog: one full pass (both pictures, the grid, the contours and the
// soft edges) and one DrawSuperFog of its result.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_display.h"
#include "game/game_main.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/quads.h"
#include "fog_pictures.h"
#include "map/fog.h"
#include "map/fog_edges.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "platform/paths.h"
#include "players/strateg.h"

namespace {

constexpr int kSources = 500;

struct FogBenchWorld {
    std::string dir = (std::filesystem::temp_directory_path() / "korvela-bench-fog").string();
    std::vector<TFogUnitSight> units;
    BenchDisplay display;
    bool ok = false;

    FogBenchWorld()
    {
        if (!display.Ok() || !sampledata::WriteFogPictures(dir))
            return;
        plat::SetGameRoot(dir);
        g_MapWidth = 200;
        g_MapHeight = 400;
        g_MiniMapScaleX = 1.0f;
        g_MiniMapScaleY = 2.0f;
        g_MiniMapPixelScaleX = 200.0f / (200 * 96.0f);
        g_MiniMapPixelScaleY = 200.0f / (400 * 24.0f);
        g_ViewX = 90;
        g_ViewY = 180;
        g_ViewCols = 11;
        g_ViewRows = 34;
        MyPlayer = 0;
        std::uint32_t seed = 2024;
        const auto next = [&seed](int range) {
            seed = seed * 1664525u + 1013904223u;
            return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(range));
        };
        for (int i = 0; i < kSources; ++i) {
            TFogUnitSight u;
            const bool nearView = i % 25 == 0;
            const int x = nearView ? g_ViewX - 4 + next(g_ViewCols + 8) : next(200);
            const int y = nearView ? g_ViewY - 8 + next(g_ViewRows + 16) : next(400);
            u.sight = static_cast<std::uint8_t>(nearView ? 2 + next(3) : 3 + next(6));
            u.mapX = static_cast<std::uint16_t>(x);
            u.mapY = static_cast<std::uint16_t>(y);
            u.x = static_cast<float>(x * 96);
            u.y = static_cast<float>(y * 24);
            units.push_back(u);
        }
        TFogServices& s = FogServices();
        s.NumPlayers = [] { return std::uint16_t{1}; };
        s.ForEachUnit = [this](std::uint8_t, const std::function<void(const TFogUnitSight&)>& f) {
            for (const TFogUnitSight& u : units)
                f(u);
        };
        ok = InitSuperFog();
    }
    ~FogBenchWorld()
    {
        FreeSuperFog();
        ResetFogServices();
        plat::SetGameRoot(".");
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

void BM_FogFullPass(benchmark::State& state)
{
    FogBenchWorld world;
    if (!world.ok) {
        state.SkipWithError("fog not made");
        return;
    }
    for (auto _ : state) {
        g_FrameCounter = 0;
        UpdateFog();
        benchmark::DoNotOptimize(g_FogQuadCount);
    }
}
BENCHMARK(BM_FogFullPass)->Unit(benchmark::kMicrosecond);

void BM_DrawSuperFog(benchmark::State& state)
{
    FogBenchWorld world;
    if (!world.ok) {
        state.SkipWithError("fog not made");
        return;
    }
    g_FrameCounter = 0;
    UpdateFog();
    RasterWork work;
    for (auto _ : state)
        DrawSuperFog();
    if (!work.Check(state, 1))
        return;
    state.counters["triangles"] = g_FogTriangleCount;
    state.counters["quads"] = g_FogQuadCount;
    state.counters["curves"] = static_cast<double>(g_FogCurves.size());
}
BENCHMARK(BM_DrawSuperFog)->Unit(benchmark::kMicrosecond);

} // namespace
