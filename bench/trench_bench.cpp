// The mouse's trench tool: TrenchFindPath laying a shaped line on a map whose banks take every
// piece (water on every fourth row), for a row run, a column run and a long diagonal. The list
// and the object map are cleared after each line, inside the timing (a few hundred writes).
#include <benchmark/benchmark.h>

#include "map/map_grid.h"
#include "map/ship_grid.h"
#include "map/trenches.h"
#include "map/water.h"

namespace {

constexpr std::uint16_t kMapW = 128;
constexpr std::uint16_t kMapH = 256;

struct TrenchScene {
    TrenchScene()
    {
        // The water pictures are not needed: the water object reports them missing and goes on.
        g_pWater = new TWaterMap();
        g_MapWidth = kMapW;
        g_MapHeight = kMapH;
        SetMapGeometry();
        for (int r = 0; r < g_pWater->m_Height; r += 4)
            for (int c = 0; c < g_pWater->m_Width; ++c)
                g_pWater->SetCell(c, r, 1);
        TShipGrid& g = *g_pWater->m_pShipGrid;
        for (std::uint32_t r = 0; r < g.m_Height; ++r)
            for (std::uint32_t c = 0; c < g.m_Width; ++c)
                g.SetCellValue(static_cast<std::int32_t>(c), static_cast<std::int32_t>(r), SHIP_CELL_SHORE);
    }
};

TrenchScene& Scene()
{
    static TrenchScene scene;
    return scene;
}

void LayAndClear(benchmark::State& state, plat::Point s, plat::Point e)
{
    Scene();
    std::int64_t laid = 0;
    for (auto _ : state) {
        g_TrenchList.TrenchFindPath(s, e);
        laid += g_TrenchList.Count();
        for (std::uint16_t i = 0; i < g_TrenchList.Count(); ++i) {
            const TTrenchEntry* t = g_TrenchList.Entry(i);
            SetObjectMap(t->x, t->y, 0);
        }
        g_TrenchList.Clear();
    }
    state.counters["pieces"] = benchmark::Counter(static_cast<double>(laid), benchmark::Counter::kAvgIterations);
}

void BM_TrenchFindPathRow(benchmark::State& state) { LayAndClear(state, {10, 101}, {110, 101}); }
void BM_TrenchFindPathColumn(benchmark::State& state) { LayAndClear(state, {60, 230}, {61, 20}); }
void BM_TrenchFindPathDiagonal(benchmark::State& state) { LayAndClear(state, {10, 240}, {120, 12}); }

void BM_PlanTrenchPathDiagonal(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(TTrenchList::PlanTrenchPath({10, 240}, {120, 12}));
}

} // namespace

BENCHMARK(BM_TrenchFindPathRow);
BENCHMARK(BM_TrenchFindPathColumn);
BENCHMARK(BM_TrenchFindPathDiagonal);
BENCHMARK(BM_PlanTrenchPathDiagonal);
