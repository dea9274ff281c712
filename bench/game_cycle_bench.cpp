// One game cycle on the 8-player sample mission with every slot a computer player and the map
// filled up to a number of units: the queues, the turns and the unit walk as far as it is built.
// The queue case measures the cycle with the unit walk left out.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench_display.h"
#include "game/game_load.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "platform/paths.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "sample_data.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

// Each player gets soldiers in a block around its first unit until the map holds the count.
void FillUnits(int total)
{
    int have = 0;
    for (int p = 0; p < g_wNumPlayer; ++p)
        have += NumUnits[p];
    for (int k = 0; have < total && k < 100000; ++k) {
        const int p = k % g_wNumPlayer;
        const TUnit* first = FirstPlayerUnit(static_cast<std::uint8_t>(p));
        if (first == nullptr)
            continue;
        const int ring = k / g_wNumPlayer;
        const float x = first->X + static_cast<float>((ring % 40) * 24 - 480);
        const float y = first->Y + static_cast<float>((ring / 40) * 12 - 120);
        if (CreateUnitAt(x, y, static_cast<std::uint8_t>(p), 0, 1) != UNIT_NO_INDEX)
            ++have;
    }
}

void CoastCycle(benchmark::State& state, bool walk)
{
    const std::string folder = (std::filesystem::temp_directory_path() / "korvela-bench-cycle").string();
    BenchDisplay display;
    if (!sampledata::WriteWorldFiles(folder) || !display.Ok()) {
        state.SkipWithError("setup failed");
        return;
    }
    plat::SetGameRoot(folder);
    SetViewSizeByScreen();
    g_GameType = 0;
    if (!LoadGame("Data\\Campaigns\\Sample\\Coast.mis", false, nullptr)) {
        state.SkipWithError("load failed");
        FreeGame();
        return;
    }
    for (int p = 0; p < g_wNumPlayer; ++p)
        g_Strateg[p]->Kind = PLAYER_KIND_COMPUTER;
    FillUnits(static_cast<int>(state.range(0)));
    TGameCycleServices saved = GameCycleServices();
    if (!walk)
        GameCycleServices().unitWalk = [](TTurnList&) {};
    for (auto _ : state)
        NetworkFrame();
    int units = 0;
    for (int p = 0; p < g_wNumPlayer; ++p)
        units += NumUnits[p];
    state.counters["units"] = units;
    GameCycleServices() = saved;
    FreeGame();
    plat::SetGameRoot(".");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

void BM_GameCycleCoast(benchmark::State& state)
{
    CoastCycle(state, true);
}
void BM_GameCycleQueuesAndTurns(benchmark::State& state)
{
    CoastCycle(state, false);
}
// A fixed count: each run loads the whole mission, which must not be repeated for the probing runs.
BENCHMARK(BM_GameCycleCoast)->Arg(1000)->Arg(5000)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GameCycleQueuesAndTurns)->Arg(1000)->Arg(5000)->Iterations(20000)->Unit(benchmark::kMicrosecond);

} // namespace
