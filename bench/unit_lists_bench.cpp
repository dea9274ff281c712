// Units are created and deleted by production, death and the loaders, and every moving unit
// changes its cell list several times a second. Measured on a 200 x 400 map with one player of
// nation 0 and a plain soldier type.
#include <benchmark/benchmark.h>

#include <vector>

#include "map/map_grid.h"
#include "players/strateg.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace {

constexpr std::uint16_t kSoldier = 2;

struct UnitMap {
    UnitMap()
    {
        g_MapWidth = 200;
        g_MapHeight = 400;
        SetMapGeometry();
        FreeUnitTypes();
        ResetUnitCounters();
        g_UnitTypes[kSoldier] = new TBasicUnit;
        g_Strateg[0] = new TStrateg;
        g_Strateg[0]->Nation = 0;
        g_wNumPlayer = 1;
    }
    ~UnitMap()
    {
        for (TUnit* u = g_Strateg[0]->FirstUnit; u != nullptr;) {
            u->WorkObject = UNIT_DELETE_PARAM;
            DeleteUnit(&u);
        }
        delete g_Strateg[0];
        g_Strateg[0] = nullptr;
        g_wNumPlayer = 0;
        FreeUnitsMap();
        DestroyMap();
        FreeUnitTypes();
    }
    static float CellX(int x, int y) { return static_cast<float>((2 * x - ((y & 1) == 0 ? 1 : 0)) * 48 + 48); }
};

void BM_CreateAndDeleteUnit(benchmark::State& state)
{
    UnitMap map;
    // A crowd already on the map, so that deletion walks a realistic list of references.
    const auto crowd = static_cast<int>(state.range(0));
    for (int i = 0; i < crowd; ++i)
        CreateUnitAt(UnitMap::CellX(10 + i % 150, 20 + 2 * (i / 150)), static_cast<float>(24 * (20 + 2 * (i / 150))), 0,
                     kSoldier, 1);
    std::int64_t n = 0;
    for (auto _ : state) {
        CreateUnitAt(UnitMap::CellX(100, 200), 24.0f * 200, 0, kSoldier, 1);
        TUnit* u = g_Strateg[0]->FirstUnit;
        u->WorkObject = UNIT_DELETE_PARAM;
        DeleteUnit(&u);
        ++n;
    }
    state.SetItemsProcessed(n);
}
BENCHMARK(BM_CreateAndDeleteUnit)->Arg(0)->Arg(1000)->Arg(10000);

void BM_MoveUnitBetweenCells(benchmark::State& state)
{
    UnitMap map;
    // Cells holding a few units each, as in a marching column.
    std::vector<TUnit*> units;
    for (int i = 0; i < 400; ++i) {
        CreateUnitAt(UnitMap::CellX(20 + i % 100, 50), 24.0f * 50, 0, kSoldier, 1);
        units.push_back(g_Strateg[0]->FirstUnit);
    }
    std::int64_t n = 0;
    int step = 0;
    for (auto _ : state) {
        const int dx = (step++ & 1) == 0 ? 1 : -1;
        for (TUnit* u : units)
            MoveUnitToCell(u->MapX + dx, u->MapY, u);
        n += static_cast<std::int64_t>(units.size());
    }
    state.SetItemsProcessed(n);
}
BENCHMARK(BM_MoveUnitBetweenCells);

} // namespace
