// The target search of 2,000 units of eight warring players on the largest sample map (Coast.dat,
// 160 x 480): every unit searches once a cycle, with the unit grid refilled every 33 cycles as the
// unit walk does; reported as ns per searching unit per cycle, the start of the attack included.
// The units stand in eight camps of 250 down the map's middle, each overlapping or facing two
// others within range, so most searches find enemies.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "coast_map.h"
#include "combat/target_grid.h"
#include "combat/target_search.h"
#include "combat/unit_queries.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "maps.h"
#include "movement/passability.h"
#include "parameters.h"
#include "players/strateg.h"
#include "sample_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace {

constexpr int kPlayers = 8;
constexpr int kUnitsPerPlayer = 250;
constexpr std::uint16_t kSoldier = 2;
constexpr std::uint16_t kRange = 600;

class SearchBench {
public:
    SearchBench()
    {
        DestroyMap();
        m_Layers = std::make_unique<CoastLayers>();
        FreeUnitTypes();
        ResetUnitCounters();
        for (std::uint8_t nation = 0; nation < 5; ++nation)
            for (const auto& t : sampledata::kSampleUnitTypes)
                CreateUnitTypeFromParams(nation, t.type, sampledata::SampleUnitRecord(nation, t));
        for (std::uint8_t p = 0; p < kPlayers; ++p) {
            auto* s = new TStrateg;
            s->Number = p;
            s->Nation = static_cast<std::uint8_t>(p % 5);
            s->SetTeam(255);
            g_Strateg[p] = s;
        }
        g_wNumPlayer = kPlayers;
        for (std::uint8_t p = 0; p < kPlayers; ++p)
            g_Strateg[p]->SetRelationsFromTeams();
        for (std::uint8_t n = 0; n < 5; ++n)
            if (TBasicUnit* type = GetUnitType(n, kSoldier))
                for (std::uint16_t& r : type->Range)
                    r = kRange;
        // Camps of 10 x 25 cells down the map's middle, two columns of four: the two of a row
        // overlap by three columns, and a camp's last row is 5 rows (120 pixels) above the next.
        for (std::uint8_t p = 0; p < kPlayers; ++p) {
            const int campX = g_MapWidth / 2 - 8 + (p % 2) * 7;
            const int campY = 60 + (p / 2) * 30;
            for (int i = 0; i < kUnitsPerPlayer; ++i) {
                const int col = campX + i % 10;
                const int row = campY + (i / 10) % 25;
                TUnit* u = CreateUnit(static_cast<float>(col * kCellWidth + (row & 1) * kCellWidth / 2),
                                      static_cast<float>(row * kRowStep), kSoldier, g_Strateg[p]->Nation);
                if (AddUnitToPlayer(p, u) == UNIT_NO_INDEX) {
                    delete u;
                    continue;
                }
                m_Units.push_back(u);
            }
        }
        ResetTargetGrid();
    }
    ~SearchBench()
    {
        g_TargetGrid.ClearBoth();
        for (std::uint8_t p = 0; p < kPlayers; ++p) {
            for (TUnit* u = g_Strateg[p]->FirstUnit; u != nullptr;) {
                TUnit* next = u->m_pNext;
                delete u;
                u = next;
            }
            g_Strateg[p]->FirstUnit = nullptr;
            delete g_Strateg[p];
            g_Strateg[p] = nullptr;
        }
        g_wNumPlayer = 0;
        FreeUnitsMap();
        ResetUnitCounters();
        m_Layers.reset();
        FreePathBuffers();
        FreeUnitTypes();
    }
    std::size_t Units() const { return m_Units.size(); }

    // One cycle: the grid refill when due, then every unit ready to search searches.
    void Cycle()
    {
        if (m_Cycle++ % 33 == 0) {
            g_TargetGrid.ClearUnits();
            for (TUnit* u : m_Units)
                AddUnitToTargetGrid(u);
        }
        // Every unit stands ready again, its attackers' marks gone, before anyone searches.
        for (TUnit* u : m_Units) {
            ClearUnitTargets(u);
            u->Work = UNIT_NO_WORK;
            u->m_bMaySearch = 1;
            u->m_SearchDelay = 0;
            u->m_FirstCountdown = 0;
            u->AttackPoints = 0;
        }
        for (TUnit* u : m_Units)
            m_Found += UnitSearchTarget(u) ? 1 : 0;
    }
    std::uint64_t Found() const { return m_Found; }

private:
    std::unique_ptr<CoastLayers> m_Layers;
    std::vector<TUnit*> m_Units;
    std::uint32_t m_Cycle = 0;
    std::uint64_t m_Found = 0;
};

void BM_TargetSearch(benchmark::State& state)
{
    SearchBench world;
    std::uint64_t cycles = 0;
    for (auto _ : state) {
        world.Cycle();
        ++cycles;
    }
    const double searches = static_cast<double>(state.iterations()) * static_cast<double>(world.Units());
    state.counters["ns_per_unit"] = benchmark::Counter(searches, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["units"] = static_cast<double>(world.Units());
    state.counters["found_share"] = searches > 0.0 ? static_cast<double>(world.Found()) / searches : 0.0;
}

} // namespace

BENCHMARK(BM_TargetSearch)->Unit(benchmark::kMicrosecond);
