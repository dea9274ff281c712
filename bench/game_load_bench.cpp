// A whole game's load and teardown on the 8-player sample mission: every module's start, the map,
// houses, water, fog and the landscape textures, then everything freed again.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench_display.h"
#include "game/game_load.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "map/map_view.h"
#include "platform/paths.h"
#include "sample_data.h"

namespace {

void BM_LoadAndFreeCoastMission(benchmark::State& state)
{
    const std::string folder = (std::filesystem::temp_directory_path() / "korvela-bench-game").string();
    BenchDisplay display;
    if (!sampledata::WriteWorldFiles(folder) || !display.Ok()) {
        state.SkipWithError("setup failed");
        return;
    }
    plat::SetGameRoot(folder);
    SetViewSizeByScreen();
    g_GameType = 0;
    for (auto _ : state) {
        const bool ok = LoadGame("Data\\Campaigns\\Sample\\Coast.mis", false, nullptr);
        FreeGame();
        if (!ok) {
            state.SkipWithError("load failed");
            break;
        }
    }
    plat::SetGameRoot(".");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}
BENCHMARK(BM_LoadAndFreeCoastMission)->Unit(benchmark::kMillisecond);

} // namespace
