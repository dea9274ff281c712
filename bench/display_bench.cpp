#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/draw.h"
#include "platform/font.h"
#include "platform/surface.h"

namespace {

using plat::PixelFormat;
using plat::Surface;

// Baseline for the screen copy: the same bytes moved by memcpy.
void BM_MemcpyScreen1024x768(benchmark::State& state)
{
    std::vector<std::uint8_t> a(1024 * 768 * 2, 1), b(1024 * 768 * 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(a.size()));
}
BENCHMARK(BM_MemcpyScreen1024x768);

void BM_BltFastScreen1024x768(benchmark::State& state)
{
    Surface src(1024, 768, PixelFormat::RGB565), dst(1024, 768, PixelFormat::RGB565);
    src.ColorFill(nullptr, 0x1234);
    for (auto _ : state) {
        dst.BltFast(0, 0, src, nullptr, false);
        benchmark::DoNotOptimize(dst.Pixels().Bits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 1024 * 768 * 2);
}
BENCHMARK(BM_BltFastScreen1024x768);

// A 64 x 64 sprite with a quarter of its pixels transparent, copied keyed onto the screen.
void BM_KeyedSprite64(benchmark::State& state)
{
    Surface sprite(64, 64, PixelFormat::RGB565), screen(1024, 768, PixelFormat::RGB565);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            sprite.Pixels().Row16(y)[x] = ((x ^ y) & 3) == 0 ? 0xF81F : static_cast<std::uint16_t>(x * 64 + y + 1);
    sprite.SetColorKey(0xF81F);
    int x = 0;
    for (auto _ : state) {
        screen.BltFast(x, 300, sprite, nullptr, true);
        x = (x + 61) % 960;
        benchmark::ClobberMemory();
    }
    state.counters["Mpixel/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 64 * 64 / 1e6,
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_KeyedSprite64);

void BM_TextLine100(benchmark::State& state)
{
    std::unique_ptr<plat::Font, void (*)(plat::Font*)> font(plat::CreateFont({"Arial", 14, 400, 204, false}),
                                                             [](plat::Font* f) { plat::ReleaseFont(f); });
    Surface screen(1024, 768, PixelFormat::RGB565);
    std::u16string text;
    while (text.size() < 100)
        text += u"Наступление на Сомме, July 1916. ";
    text.resize(100);
    plat::DrawContext dc(&screen);
    dc.SelectFont(font.get());
    dc.SetBkMode(plat::kBkTransparent);
    dc.SetTextColor(0x99F7FF);
    for (auto _ : state) {
        dc.TextOut(10, 100, text);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TextLine100);

} // namespace
