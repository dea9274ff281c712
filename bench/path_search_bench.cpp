// Path searches across a whole map: the wave search of a vehicle (no straight line, no cache), a
// land unit answered from the cache, the formation search, and beside them a plain breadth-first
// search of the same pass map as the baseline. The maps are the largest sample map (Coast.dat,
// 160 x 480) and generated maps with scattered obstacles (100 x 200 up to 400 x 800).
#include <benchmark/benchmark.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "coast_map.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "maps.h"
#include "movement/passability.h"
#include "movement/path_cache.h"
#include "movement/path_search.h"
#include "platform/paths.h"
#include "sample_data.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

constexpr std::uint16_t kBenchType = 3;

// A plain breadth-first search over the pass map by the grid's neighbour tables: the number of
// steps to the goal, or -1. Its visited map and queue are reused, as the wave's buffers are.
struct PlainBfs {
    std::vector<std::uint8_t> seen;
    std::vector<std::uint32_t> queue;
    std::vector<std::uint32_t> depth;

    int Run(const std::uint16_t* pass, plat::Point s, plat::Point g)
    {
        seen.assign(g_MapCellCount, 0);
        depth.resize(g_MapCellCount);
        queue.clear();
        const std::size_t start = CellIndex(s.x, s.y);
        const std::size_t goal = CellIndex(g.x, g.y);
        seen[start] = 1;
        depth[start] = 0;
        queue.push_back(static_cast<std::uint32_t>(start));
        for (std::size_t head = 0; head < queue.size(); ++head) {
            const std::uint32_t at = queue[head];
            if (at == goal)
                return static_cast<int>(depth[at]);
            const plat::Point c{static_cast<std::int32_t>(at % g_MapWidth), static_cast<std::int32_t>(at / g_MapWidth)};
            for (std::uint8_t k = 1; k < kDirectionCount; ++k) {
                const plat::Point n = GetNeighbourPoint(c, k);
                if (!IsCellInPlayableArea(n.x, n.y))
                    continue;
                const std::size_t poz = CellIndex(n.x, n.y);
                if (seen[poz] || pass[poz] != 0)
                    continue;
                seen[poz] = 1;
                depth[poz] = depth[at] + 1;
                queue.push_back(static_cast<std::uint32_t>(poz));
            }
        }
        return -1;
    }
};

// Start near the top left; goal the reachable cell farthest from it by the baseline.
bool CrossMapPair(plat::Point& s, plat::Point& g)
{
    for (std::int32_t y = PASS_BORDER_TOP + 2; y < g_MapHeight / 2; ++y)
        for (std::int32_t x = PASS_BORDER_LEFT + 2; x < g_MapWidth / 2; ++x)
            if (g_pVehiclePassMap[CellIndex(x, y)] == 0) {
                s = {x, y};
                PlainBfs bfs;
                bfs.Run(g_pVehiclePassMap, s, {-1, -1});
                const std::uint32_t far = bfs.queue.back();
                g = {static_cast<std::int32_t>(far % g_MapWidth), static_cast<std::int32_t>(far / g_MapWidth)};
                return bfs.queue.size() > 1000;
            }
    return false;
}

// Scattered blocks of buildings on a flat map: every twelfth cell a 3 x 6 block, shifted by a
// simple hash so the gaps are irregular.
void MakeObstacleMap(std::uint16_t width, std::uint16_t height)
{
    DestroyMap();
    g_MapWidth = width;
    g_MapHeight = height;
    SetMapGeometry();
    std::uint32_t h = 12345;
    for (std::int32_t by = 12; by < height - 16; by += 12)
        for (std::int32_t bx = 6; bx < width - 8; bx += 6) {
            h = h * 1103515245u + 12345u;
            if ((h >> 16) % 3 == 0)
                continue;
            const std::int32_t ox = static_cast<std::int32_t>((h >> 8) % 3);
            for (std::int32_t y = 0; y < 6; ++y)
                for (std::int32_t x = 0; x < 3; ++x)
                    g_pObjectMap[CellIndex(bx + ox + x, by + y)] = kObjectPlayerHouseFirst;
        }
    MakeBasicMap();
}

// One unit type and unit standing in the start cell.
struct BenchUnit {
    BenchUnit(bool vehicle, const plat::Point& at)
    {
        type = new TBasicUnit;
        type->ClosePath = vehicle ? 1 : 0;
        g_UnitTypes[kBenchType] = type;
        unit = new TUnit(kBenchType, 0);
        unit->MapX = static_cast<std::uint16_t>(at.x);
        unit->MapY = static_cast<std::uint16_t>(at.y);
    }
    ~BenchUnit()
    {
        delete unit;
        g_UnitTypes[kBenchType] = nullptr;
        delete type;
    }
    BenchUnit(const BenchUnit&) = delete;
    BenchUnit& operator=(const BenchUnit&) = delete;
    TBasicUnit* type;
    TUnit* unit;
};

bool Prepare(benchmark::State& state, plat::Point& s, plat::Point& g)
{
    const bool ok = state.range(0) == 0 ? LoadCoastMap("korvela-bench-paths")
                                        : (MakeObstacleMap(static_cast<std::uint16_t>(state.range(0)),
                                                           static_cast<std::uint16_t>(2 * state.range(0))),
                                           true);
    if (!ok || !CrossMapPair(s, g)) {
        state.SkipWithError("no map");
        return false;
    }
    state.counters["cells"] = static_cast<double>(g_MapCellCount);
    return true;
}

void Finish(benchmark::State& state)
{
    // Elapsed seconds over (iterations / 1e9): microseconds per thousand searches.
    state.counters["us_per_1000"] = benchmark::Counter(static_cast<double>(state.iterations()) * 1e-9,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    g_PathHelper.Clear();
    DestroyMap();
}

void BM_WaveCrossMapVehicle(benchmark::State& state)
{
    plat::Point s, g;
    if (!Prepare(state, s, g))
        return;
    BenchUnit b(true, s);
    for (auto _ : state) {
        if (FindPath(b.unit, g.x, g.y) != 1) {
            state.SkipWithError("no path");
            break;
        }
        benchmark::DoNotOptimize(b.unit->PathLength);
    }
    state.counters["steps"] = b.unit->PathLength;
    Finish(state);
}

void BM_BaselineBfsCrossMap(benchmark::State& state)
{
    plat::Point s, g;
    if (!Prepare(state, s, g))
        return;
    PlainBfs bfs;
    int steps = 0;
    for (auto _ : state) {
        steps = bfs.Run(g_pVehiclePassMap, s, g);
        benchmark::DoNotOptimize(steps);
    }
    state.counters["steps"] = steps;
    Finish(state);
}

void BM_FormationCrossMap(benchmark::State& state)
{
    plat::Point s, g;
    if (!Prepare(state, s, g))
        return;
    const plat::Point a = TileToPixel(s);
    const plat::Point b = TileToPixel(g);
    std::vector<std::uint8_t> path;
    for (auto _ : state) {
        // The cell's left corner lies on its edge: aim 10 pixels inside.
        benchmark::DoNotOptimize(FindPathFromPointToPoint(g_pVehiclePassMap, a.x + 10, a.y, b.x + 10, b.y, path));
    }
    state.counters["steps"] = static_cast<double>(path.size());
    Finish(state);
}

// A land unit asking again for a path it found: answered from the cache.
void BM_CachedCrossMapLand(benchmark::State& state)
{
    plat::Point s, g;
    if (!Prepare(state, s, g))
        return;
    BenchUnit b(false, s);
    g_PathHelper.Clear();
    if (FindPath(b.unit, g.x, g.y) != 1) {
        state.SkipWithError("no land path");
        return;
    }
    for (auto _ : state)
        if (FindPath(b.unit, g.x, g.y) != 1) {
            state.SkipWithError("not found");
            break;
        }
    state.counters["steps"] = b.unit->PathLength;
    Finish(state);
}

// 0: the sample map; otherwise the width of a generated map twice as high.
void MapSizes(benchmark::internal::Benchmark* b)
{
    b->Arg(0)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(BM_WaveCrossMapVehicle)->Apply(MapSizes);
BENCHMARK(BM_BaselineBfsCrossMap)->Apply(MapSizes);
BENCHMARK(BM_FormationCrossMap)->Apply(MapSizes);
BENCHMARK(BM_CachedCrossMapLand)->Apply(MapSizes);
