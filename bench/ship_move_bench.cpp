// Ships crossing an open sea with an island in its middle (the largest sample map's grid opened
// up): n ships on the western third are ordered to the mirrored points on the eastern third, and
// the cycles of ship movement (the grid's tags, then every ship's handler) run until every ship is
// still or a cycle limit is reached. Reported: ns per ship per cycle. Run with 50, 100 and 200
// ships, the figures show how the blocking tests (every ship against every other near it) grow.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "coast_map.h"
#include "combat/ship_movement.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_orders.h"
#include "map/ship_grid.h"
#include "map/water.h"
#include "parameters.h"
#include "players/strateg.h"
#include "sample_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "map/map_grid.h"

namespace {

constexpr int kCycles = 600;
constexpr std::uint16_t kShipTypes[] = {18, 19, 17, 20};

bool MakeSea()
{
    TShipGrid* grid = g_pWater != nullptr ? g_pWater->m_pShipGrid.get() : nullptr;
    if (grid == nullptr)
        return false;
    const auto w = static_cast<std::int32_t>(grid->m_Width), h = static_cast<std::int32_t>(grid->m_Height);
    for (std::int32_t r = 0; r < h; ++r)
        for (std::int32_t c = 0; c < w; ++c) {
            const bool border = c < 3 || r < 3 || c >= w - 3 || r >= h - 3;
            const bool island = c > w / 2 - 8 && c < w / 2 + 8 && r > h / 2 - 30 && r < h / 2 + 30;
            grid->SetCellValue(c, r, border || island ? SHIP_CELL_BLOCKED : SHIP_CELL_FREE);
        }
    return true;
}

bool AddShips(int count, std::vector<TUnit*>& ships)
{
    MakeSampleUnitTypes();
    const TShipGrid* grid = g_pWater->m_pShipGrid.get();
    const float width = static_cast<float>(grid->m_Width) * 96.0f, height = static_cast<float>(grid->m_Height) * 48.0f;
    const int columns = 10;
    for (int i = 0; i < count; ++i) {
        const float x = width * 0.06f + static_cast<float>(i % columns) * 300.0f;
        const float y = height * 0.08f + static_cast<float>(i / columns) * (height * 0.84f / static_cast<float>((count + columns - 1) / columns));
        const auto player = static_cast<std::uint8_t>(i % g_wNumPlayer);
        // The sea is the grid's alone: the map's tiles under it may be land, so the ship is placed
        // without the cell test of CreateUnitAt.
        TUnit* made = CreateUnit(x, y, kShipTypes[i % 4], g_Strateg[player]->Nation);
        const std::uint16_t index = made != nullptr ? AddUnitToPlayer(player, made) : UNIT_NO_INDEX;
        if (index == UNIT_NO_INDEX)
            return false;
        TUnit* s = g_Strateg[player]->GetUnit(index);
        s->m_bShown = 1;
        s->Work = UNIT_NO_WORK;
        ships.push_back(s);
    }
    return true;
}

void BM_ShipsCrossTheSea(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        delete g_pWater;
        g_pWater = new TWaterMap();
        std::vector<TUnit*> ships;
        const char* failed = !LoadCoastMap("korvela-bench-ships") ? "the sample map could not be loaded"
                             : g_wNumPlayer == 0                     ? "the sample map has no players"
                             : !MakeSea()                            ? "the map has no ships' grid"
                             : !AddShips(count, ships)               ? "the ships could not be made"
                                                                     : nullptr;
        if (failed != nullptr) {
            state.SkipWithError(failed);
            DestroyMap();
            return;
        }
        const TShipGrid* grid = g_pWater->m_pShipGrid.get();
        const float width = static_cast<float>(grid->m_Width) * 96.0f;
        for (TUnit* s : ships)
            GoToPoint(s, width - s->X, s->Y, 1);
        state.ResumeTiming();

        std::int64_t steps = 0;
        int cycles = 0;
        const auto start = std::chrono::steady_clock::now();
        for (; cycles < kCycles; ++cycles) {
            RefreshShipTags();
            int moving = 0;
            for (TUnit* s : ships) {
                MakeMoveShip(s);
                moving += s->VX != 0.0f || s->VY != 0.0f;
                ++steps;
            }
            if (moving == 0)
                break;
        }
        const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();

        state.PauseTiming();
        state.counters["ships"] = count;
        state.counters["cycles"] = cycles;
        state.counters["ns_per_ship_cycle"] = ns / static_cast<double>(steps);
        DestroyMap();
        delete g_pWater;
        g_pWater = nullptr;
        FreeUnitTypes();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_ShipsCrossTheSea)->Arg(50)->Arg(100)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond);
