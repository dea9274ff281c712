// 1,000 units on the largest sample map (Coast, 160 x 480) ordered across the map: the orders
// themselves (path following's planning), then the cycles until every unit stands again, with the
// time of one unit's step of the walk. The walk is the movement tests' stand-in for the per-cycle
// ground walk; the path budget is lifted, since deferred moves wait for the dispatcher.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "coast_map.h"
#include "combat/unit_orders.h"
#include "movement/path_cache.h"
#include "movement/path_search.h"
#include "parameters.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "sample_types.h"
#include "support/unit_walker.h"
#include "units/parameter_files.h"
#include "units/unit_lists.h"

namespace {

constexpr int kMaxCycles = 100000;
constexpr int kUnits = 1000;
constexpr std::uint16_t kTypes[] = {2, 2, 2, 6, 5, 14, 0, 3};

// The map's players get the sample unit types of their nations and 1,000 units on free land of
// the map's upper half, spread by a fixed sequence.
bool AddUnits(std::vector<TUnit*>& units)
{
    MakeSampleUnitTypes();
    std::uint32_t seed = 4242;
    for (int i = 0; static_cast<int>(units.size()) < kUnits && i < 50 * kUnits; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const auto x = static_cast<std::int32_t>(PASS_BORDER_LEFT + 1 + (seed >> 8) % (g_MapWidth - 10));
        seed = seed * 1664525u + 1013904223u;
        const auto y = static_cast<std::int32_t>(PASS_BORDER_TOP + 1 + (seed >> 8) % (g_MapHeight / 2 - 20));
        if (g_pLandPassMap[CellIndex(x, y)] != 0)
            continue;
        const auto player = static_cast<std::uint8_t>(units.size() % g_wNumPlayer);
        const plat::Point corner = TileToPixel({x, y});
        const std::uint16_t index = CreateUnitAt(static_cast<float>(corner.x + 48), static_cast<float>(corner.y),
                                                 player, kTypes[i % 8], 1);
        if (index == UNIT_NO_INDEX)
            continue;
        units.push_back(g_Strateg[player]->GetUnit(index));
    }
    return static_cast<int>(units.size()) == kUnits;
}

void BM_ThousandUnitsCrossTheMap(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<TUnit*> units;
        if (!LoadCoastMap("korvela-bench-moves") || g_wNumPlayer == 0 || !AddUnits(units)) {
            state.SkipWithError("the sample map or its units could not be made");
            DestroyMap();
            return;
        }
        const std::uint16_t budget = g_PathBudget;
        g_PathBudget = 65535;
        state.ResumeTiming();

        // Each unit goes to the point mirrored through the map's centre.
        const auto ordersStart = std::chrono::steady_clock::now();
        for (TUnit* u : units) {
            g_PathWorkCounter = 0;
            GoToPoint(u, static_cast<float>(g_MapPixelWidth) - u->X, static_cast<float>(g_MapPixelHeight) - u->Y, 0);
        }
        const double orderNs = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - ordersStart).count();
        std::int64_t steps = 0;
        int cycles = 0;
        const auto walkStart = std::chrono::steady_clock::now();
        for (; cycles < kMaxCycles; ++cycles) {
            g_PathWorkCounter = 0;
            int moving = 0;
            for (TUnit* u : units) {
                if (testworld::WalkOneCycle(u) == testworld::TWalkStep::Moving)
                    ++moving;
                ++steps;
            }
            if (moving == 0)
                break;
        }
        const double walkNs = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - walkStart).count();

        state.PauseTiming();
        g_PathBudget = budget;
        state.counters["units"] = static_cast<double>(units.size());
        state.counters["cycles"] = cycles;
        state.counters["ns_per_order"] = orderNs / static_cast<double>(units.size());
        state.counters["ns_per_unit_step"] = walkNs / static_cast<double>(steps);
        g_PathHelper.Clear();
        DestroyMap();
        FreeUnitTypes();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_ThousandUnitsCrossTheMap)->Iterations(1)->Unit(benchmark::kMillisecond);
