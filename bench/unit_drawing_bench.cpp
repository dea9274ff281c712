// Drawing 1000 units in view on the 1024 x 768 screen with the render states of the map scene's
// sorted pass (depth test on, depth writes off, alpha blending): soldiers, tanks and aircraft of
// the sample data in eight facings and two player colours, in screen order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "bench_display.h"
#include "core/random_table.h"
#include "map/map_view.h"
#include "parameters.h"
#include "unit_graphics.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_drawing.h"
#include "units/unit_graphics.h"
#include "units/unit_types.h"

namespace {

struct BenchUnits {
    std::map<std::pair<std::uint32_t, std::uint16_t>, std::vector<std::uint8_t>> entries;
    std::vector<std::unique_ptr<TUnit>> units;
};

TBasicUnit* SampleType(BenchUnits& b, int index)
{
    const sampledata::SampleUnitType& s = sampledata::kSampleUnitTypes[static_cast<std::size_t>(index)];
    CreateUnitTypeFromParams(0, s.type, sampledata::SampleUnitRecord(0, s));
    TBasicUnit* t = GetUnitType(0, s.type);
    t->m_pGraphic = new CUnitGraphic;
    t->m_pGraphic->m_ArchiveSlot = s.type;
    for (const sampledata::LesSource& e : sampledata::MakeSampleUnitArchive(s))
        b.entries[{s.type, e.id}] = e.data;
    LoadUnitPhases(t, 0);
    return t;
}

void BM_DrawUnitsSortedPass(benchmark::State& state)
{
    BenchDisplay display;
    if (!display.Ok()) {
        state.SkipWithError("no display");
        return;
    }
    BenchUnits b;
    TUnitGraphicServices services = TUnitGraphicServices::Default();
    services.readEntry = [&b](std::uint32_t slot, std::uint16_t id, std::uint32_t* size) -> std::uint8_t* {
        auto it = b.entries.find({slot, id});
        if (it == b.entries.end())
            return nullptr;
        auto* copy = new std::uint8_t[it->second.size()];
        std::memcpy(copy, it->second.data(), it->second.size());
        *size = static_cast<std::uint32_t>(it->second.size());
        return copy;
    };
    services.waitLoaderIdle = [] {};
    SetUnitGraphicServices(services);
    FreeUnitTypes();
    const int kinds[] = {2, 14, 11}; // rifleman, tank, fighter
    for (int k : kinds)
        SampleType(b, k);
    g_PlayerColorsD3D[0] = 0xFFD02828u;
    g_PlayerColorsD3D[1] = 0xFF2850D0u;
    g_ViewPixelX = g_ViewPixelY = 0;
    g_ViewDepthBase = 0;
    for (int i = 0; i < 1000; ++i) {
        const int type = kinds[i % 10 < 6 ? 0 : i % 10 < 9 ? 1 : 2];
        auto u = std::make_unique<TUnit>(static_cast<std::uint16_t>(type), 0);
        u->X = static_cast<float>(40 + (i * 37) % 944);
        u->Y = static_cast<float>(60 + (i * 53) % 680);
        u->GroundHeight = 20.0f;
        u->Height = u->Basic->m_bAir ? 150.0f : 0.0f;
        u->Orient = static_cast<std::int8_t>(i % 8);
        u->NumWork = 0;
        u->NumSprite = static_cast<float>(i % 2);
        u->Work = 255;
        u->Player = static_cast<std::uint8_t>(i % 2);
        b.units.push_back(std::move(u));
    }
    std::sort(b.units.begin(), b.units.end(), [](const auto& a, const auto& c) { return a->Y < c->Y; });

    TD3DDevice& d = *g_pD3DDevice;
    d.SetRenderState(D3DState::ZEnable, 1);
    d.SetRenderState(D3DState::ZWriteEnable, 0);
    d.SetRenderState(D3DState::ZFunc, static_cast<std::uint32_t>(plat::CompareFunc::LessEqual));
    d.SetRenderState(D3DState::AlphaBlendEnable, 1);
    d.SetRenderState(D3DState::SrcBlend, static_cast<std::uint32_t>(plat::BlendFactor::SrcAlpha));
    d.SetRenderState(D3DState::DestBlend, static_cast<std::uint32_t>(plat::BlendFactor::InvSrcAlpha));
    d.Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
    RasterWork work;
    for (auto _ : state)
        for (const auto& u : b.units)
            u->Basic->Draw(u.get());
    work.Check(state, b.units.size());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * b.units.size()));
    d.SetRenderState(D3DState::ZEnable, 0);
    d.SetRenderState(D3DState::ZWriteEnable, 1);
    d.SetRenderState(D3DState::AlphaBlendEnable, 0);
    b.units.clear();
    FreeUnitTypes();
    SetUnitGraphicServices(TUnitGraphicServices::Default());
}
BENCHMARK(BM_DrawUnitsSortedPass)->Unit(benchmark::kMillisecond);

} // namespace
