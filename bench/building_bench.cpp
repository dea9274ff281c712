// The build-site test runs for the building cursor every frame and for every candidate cell of a
// computer player's site search; placing and taking off a building runs on every build order.
// Measured on a 200 x 400 map with the sample building types of side 0.
#include <benchmark/benchmark.h>

#include "house_map.h"
#include "units/build_site.h"

namespace {

struct SiteMap : SampleHouseMap {
    SiteMap()
    {
        // Trees here and there, so the scan has objects to count.
        for (std::uint32_t i = 0; i < g_MapCellCount; i += 7)
            g_pObjectMap[i] = kObjectTreeFirst;
    }
};

void BM_CanBuildHouse(benchmark::State& state)
{
    SiteMap map;
    const auto type = static_cast<std::uint16_t>(state.range(0));
    std::int64_t n = 0;
    for (auto _ : state) {
        for (int y = 20; y < 380; y += 9)
            for (int x = 10; x < 190; x += 9)
                benchmark::DoNotOptimize(CanBuildHouse(0, x, y, type, 0));
        n += 40 * 20;
    }
    state.SetItemsProcessed(n);
}
BENCHMARK(BM_CanBuildHouse)->Arg(HOUSE_BARRACKS)->Arg(HOUSE_LUMBER_MILL)->Arg(HOUSE_AIR_HANGAR);

void BM_PlaceAndRemoveHouse(benchmark::State& state)
{
    SiteMap map;
    std::int64_t n = 0;
    for (auto _ : state) {
        if (NumHouse[0] >= HOUSE_LAST_INDEX)
            NumHouse[0] = 0;
        THouse* t = CreateHouseRecord(100, 200, HOUSE_BARRACKS, 0);
        const std::uint16_t i = AddHouse(0, t);
        delete t;
        THouse& h = g_pHouse[0][i];
        h.BuildWork = 1;
        DestroyHouse(&h, HOUSE_NO_DESTROYER);
        h.FreeGraphicBuffers();
        ++n;
    }
    state.SetItemsProcessed(n);
}
BENCHMARK(BM_PlaceAndRemoveHouse);

} // namespace
