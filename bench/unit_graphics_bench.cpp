// Building one work of a unit type on the loader thread's path: parsing the archive entry and
// filling the textures (atlas for the sample soldier's walk, one texture per frame for a ship).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "units/unit_graphics.h"
#include "units/unit_types.h"
#include "unit_graphics.h"

namespace {

void BuildWork(benchmark::State& state, int type, int work)
{
    const sampledata::SampleUnitType& sample = sampledata::kSampleUnitTypes[static_cast<std::size_t>(type)];
    const std::uint8_t kind = sample.kind;
    const std::vector<std::uint8_t> entry = sampledata::BuildUnitWorkEntry(sampledata::DrawSampleUnitWork(sample, work));
    TUnitGraphicServices services = TUnitGraphicServices::Default();
    services.readEntry = [&](std::uint32_t, std::uint16_t, std::uint32_t* size) {
        auto* copy = new std::uint8_t[entry.size()];
        std::memcpy(copy, entry.data(), entry.size());
        *size = static_cast<std::uint32_t>(entry.size());
        return copy;
    };
    services.waitLoaderIdle = [] {};
    SetUnitGraphicServices(services);
    TBasicUnit unit;
    unit.m_Kind = kind;
    CUnitGraphic graphic;
    graphic.m_ArchiveSlot = 1;
    unit.m_pGraphic = &graphic;
    for (auto _ : state) {
        LoadUnitPhases(&unit, static_cast<std::uint32_t>(work));
        graphic.FreeWork(static_cast<std::uint32_t>(work));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * entry.size()));
    unit.m_pGraphic = nullptr;
    SetUnitGraphicServices(TUnitGraphicServices::Default());
}

void BM_UnitWorkSoldierWalk(benchmark::State& state)
{
    BuildWork(state, 2, 0);
}
BENCHMARK(BM_UnitWorkSoldierWalk);

void BM_UnitWorkBattleshipMove(benchmark::State& state)
{
    BuildWork(state, 20, 0);
}
BENCHMARK(BM_UnitWorkBattleshipMove);

} // namespace
