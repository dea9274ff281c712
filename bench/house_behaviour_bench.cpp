// Every cycle the unit walk runs each finished building's handler and its upgrade step, for every
// player: with hundreds of buildings per player this pass runs tens of thousands of times a second.
// Measured over one player's 1000 buildings of every type on a 200 x 400 map, with the sample
// building types of side 0 and an idle world (no units, nothing to repair).
#include <benchmark/benchmark.h>

#include "game/game_main.h"
#include "house_map.h"
#include "units/house_behaviour.h"
#include "units/upgrades.h"

namespace {

struct BehaviourMap : SampleHouseMap {
    BehaviourMap()
    {
        InitUpgrades();
        InitResourceMultipliers();
        // Records filled as placing fills them; the pass reads only the records.
        for (std::uint16_t i = 0; i < HOUSE_PLAYER_CAPACITY; ++i) {
            const auto type = static_cast<std::uint16_t>(i % HOUSE_TYPES_PER_SIDE);
            THouse* t = CreateHouseRecord(10 + (i % 18) * 10, 20 + (i / 18) * 6, type, 0);
            THouse& h = g_pHouse[0][i];
            h.TakeFrom(*t);
            delete t;
            h.Index = i;
            h.Owner = 0;
            h.BuildWork = 0;
            h.Output = 2.0f;
            if (i % 3 == 0) {
                h.UpgradeRunning = 60000;
                h.UpgradeCountdown = 60000.0f;
            }
        }
        NumHouse[0] = HOUSE_PLAYER_CAPACITY;
    }
};

void BM_BuildingBehaviourPass(benchmark::State& state)
{
    BehaviourMap map;
    for (auto _ : state) {
        ++g_FrameCounter;
        for (std::uint16_t i = 0; i < NumHouse[0]; ++i) {
            THouse* h = &g_pHouse[0][i];
            HouseCycleHandler(h);
            AdvanceHouseUpgrade(h);
        }
        benchmark::DoNotOptimize(g_pHouse[0]);
    }
    state.SetItemsProcessed(state.iterations() * NumHouse[0]);
}
BENCHMARK(BM_BuildingBehaviourPass);

} // namespace
