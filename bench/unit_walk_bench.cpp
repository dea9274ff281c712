// The per-cycle unit walk of one player with 1,000 and 10,000 units on a 160 x 480 map, standing
// idle or moving: the walk's own work per unit (countdowns, upkeep, the throttled search, the kind
// handler, the target-grid cycles and the draw-order lists, with about a tenth of the units on
// screen), reported as ns per unit per cycle. The moving units step 3 pixels a cycle along a
// straight line and change cell as they go; no path is searched.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "combat/unit_walk.h"
#include "core/app_state.h"
#include "devices/cursor_state.h"
#include "map/map_grid.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "movement/passability.h"
#include "players/strateg.h"
#include "parameters.h"
#include "sample_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace {

constexpr std::uint16_t kMapWidth = 160;
constexpr std::uint16_t kMapHeight = 480;
constexpr std::uint16_t kSoldier = 2;

// A straight step toward the goal, turning round at either end, with the cell lists following.
void StepAlong(TUnit* u)
{
    const float dx = u->GoalX - u->X;
    const float dy = u->GoalY - u->Y;
    const float d = std::fabs(dx) + std::fabs(dy);
    if (d < 3.0f) {
        std::swap(u->GoalX, u->StartX);
        std::swap(u->GoalY, u->StartY);
        return;
    }
    u->X += dx / d * 3.0f;
    u->Y += dy / d * 3.0f;
    const plat::Point c = PixelToFlatCell(u->X, u->Y);
    if (c.x != u->MapX || c.y != u->MapY)
        MoveUnitToCell(c.x, c.y, u);
    u->m_RectLeft = static_cast<std::int32_t>(u->X) - 20;
    u->m_RectRight = static_cast<std::int32_t>(u->X) + 20;
    u->m_RectTop = static_cast<std::int32_t>(u->Y) - 50;
    u->m_RectBottom = static_cast<std::int32_t>(u->Y) + 10;
}

void StandStill(TUnit*) {}

class WalkBench {
public:
    WalkBench(int units, bool moving)
    {
        DestroyMap();
        g_MapWidth = kMapWidth;
        g_MapHeight = kMapHeight;
        SetMapGeometry();
        FreeUnitTypes();
        ResetUnitCounters();
        for (const auto& t : sampledata::kSampleUnitTypes)
            CreateUnitTypeFromParams(0, t.type, sampledata::SampleUnitRecord(0, t));
        MakeBasicMap();
        m_Player = new TStrateg;
        m_Player->Number = 0;
        m_Player->Nation = 0;
        m_Player->MakeGrid(g_MapWidth, g_MapHeight);
        g_Strateg[0] = m_Player;
        g_wNumPlayer = 1;
        TBasicUnit* type = GetUnitType(0, kSoldier);
        type->m_MoveHandler = moving ? StepAlong : StandStill;
        for (int i = 0; i < units; ++i) {
            const int col = 4 + i % (kMapWidth - 8);
            const int row = 12 + (i / (kMapWidth - 8)) * 4 % (kMapHeight - 24);
            const float x = static_cast<float>(col * kCellWidth);
            const float y = static_cast<float>(row * kRowStep);
            TUnit* u = CreateUnit(x, y, kSoldier, 0);
            AddUnitToPlayer(0, u);
            u->StartX = x;
            u->StartY = y;
            u->GoalX = x + static_cast<float>((i % 7) * 96 - 288);
            u->GoalY = y + static_cast<float>((i % 5) * 48 - 96);
            u->m_RectLeft = static_cast<std::int32_t>(x) - 20;
            u->m_RectRight = static_cast<std::int32_t>(x) + 20;
            u->m_RectTop = static_cast<std::int32_t>(y) - 50;
            u->m_RectBottom = static_cast<std::int32_t>(y) + 10;
        }
        std::lock_guard lock(g_InputLock);
        g_ViewPixelX = 0;
        g_ViewPixelY = 0;
        g_ViewPixelRight = 1600;
        g_ViewPixelBottom = 1200;
    }
    ~WalkBench()
    {
        for (TUnit* u = m_Player->FirstUnit; u != nullptr;) {
            TUnit* next = u->m_pNext;
            delete u;
            u = next;
        }
        m_Player->FirstUnit = nullptr;
        g_Strateg[0] = nullptr;
        g_wNumPlayer = 0;
        delete m_Player;
        FreeUnitsMap();
        ResetUnitCounters();
        DestroyMap();
        FreePathBuffers();
        FreeUnitTypes();
    }
    void Cycle()
    {
        ++g_FrameCounter;
        // The cycle empties the draw-order lists before the turns.
        g_UnitsDrawSorted.clear();
        g_UnitsDrawTinted.clear();
        g_UnitsDrawLate.clear();
        WalkPlayerUnits(m_Player);
        SettleAdvancedPaths();
    }

private:
    TStrateg* m_Player = nullptr;
};

void BM_UnitWalk(benchmark::State& state)
{
    const int units = static_cast<int>(state.range(0));
    WalkBench world(units, state.range(1) != 0);
    for (auto _ : state)
        world.Cycle();
    state.counters["ns_per_unit"] = benchmark::Counter(static_cast<double>(state.iterations()) * units,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["on_screen"] = static_cast<double>(g_UnitsDrawSorted.size());
}

} // namespace

BENCHMARK(BM_UnitWalk)
    ->ArgNames({"units", "moving"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Unit(benchmark::kMicrosecond);
