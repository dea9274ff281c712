// Span-coded house pictures drawn in software: the colours of a 96 x 96 picture into the back
// surface and its heights into the Z-buffer, whole on screen (the fast path) and clipped at the
// left edge.
#include <benchmark/benchmark.h>

#include <vector>

#include "devices/d3d_device.h"
#include "devices/display.h"
#include "bench_display.h"
#include "devices/span_image.h"
#include "span_images.h"

namespace {

struct HousePicture {
    cIMg image;
    cHMap heights;
    std::vector<std::uint8_t> opaque; // 96 x 96
    // Opaque pixels of one draw at screen column x.
    std::int64_t Visible(int x) const
    {
        std::int64_t n = 0;
        for (std::size_t i = 0; i < opaque.size(); ++i)
            n += opaque[i] && static_cast<int>(i % 96) >= -x;
        return n;
    }
};

const HousePicture& House()
{
    static HousePicture h = [] {
        HousePicture p;
        const sampledata::SpanPicture pic = sampledata::MakeBlockPicture(96, 96, 170, 90, 60);
        const auto img = sampledata::EncodeIMg(pic);
        const auto map = sampledata::EncodeHMap(pic);
        p.image.LoadFromMemory(img.data(), static_cast<std::int32_t>(img.size()), 2);
        p.heights.LoadFromMemory(map.data(), static_cast<std::int32_t>(map.size()));
        p.opaque = pic.opaque;
        return p;
    }();
    return h;
}

void DrawHouse(benchmark::State& state, int x)
{
    BenchDisplay display;
    if (!display.Ok()) {
        state.SkipWithError("no display");
        return;
    }
    const HousePicture& house = House();
    plat::LockedArea back, z;
    if (!g_pDDSBack->Lock(nullptr, back) || !g_pZBuffer->Lock(nullptr, z)) {
        state.SkipWithError("no lock");
        return;
    }
    std::int16_t y = 0;
    for (auto _ : state) {
        house.image.DrawToSurface(x, y, &back, nullptr);
        house.heights.WriteZ(static_cast<std::int16_t>(x), y, 1024, &z, nullptr);
        y = static_cast<std::int16_t>((y + 7) % (g_ScreenHeight - 96));
        benchmark::ClobberMemory();
    }
    g_pZBuffer->Unlock();
    g_pDDSBack->Unlock();
    // Megapixels per second: each pixel gets its colour and its depth.
    state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(house.Visible(x)) * state.iterations() / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_SpanHouseWhole(benchmark::State& state) { DrawHouse(state, 200); }
void BM_SpanHouseClippedLeft(benchmark::State& state) { DrawHouse(state, -40); }

} // namespace

BENCHMARK(BM_SpanHouseWhole);
BENCHMARK(BM_SpanHouseClippedLeft);
