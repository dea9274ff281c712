#include <benchmark/benchmark.h>

#include <SDL.h>

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

// A 64 x 64 sprite as real sprites are: a solid figure with solid transparent corners around it.
constexpr std::uint16_t kMagenta565 = 0xF81F;
std::uint16_t SpritePixel(int x, int y)
{
    const int dx = x - 32, dy = y - 32;
    return dx * dx + dy * dy > 30 * 30 ? kMagenta565 : static_cast<std::uint16_t>(x * 64 + y + 1);
}

// Screen positions visited in turn, so the copies do not all land in the cache's one place.
int NextX(int x) { return (x + 61) % 960; }

// Copies one sprite per iteration at changing places; copy(x) returns whether it worked.
template <class Copy>
void RunSpriteCopies(benchmark::State& state, Copy&& copy)
{
    int x = 0;
    bool ok = true;
    for (auto _ : state) {
        ok = copy(x) && ok;
        x = NextX(x);
        benchmark::ClobberMemory();
    }
    if (!ok)
        state.SkipWithError("a copy failed");
    state.counters["Mpixel/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 64 * 64 / 1e6,
                                                    benchmark::Counter::kIsRate);
}

void BM_KeyedSprite64(benchmark::State& state)
{
    Surface sprite(64, 64, PixelFormat::RGB565), screen(1024, 768, PixelFormat::RGB565);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            sprite.Pixels().Row16(y)[x] = SpritePixel(x, y);
    sprite.SetColorKey(kMagenta565);
    RunSpriteCopies(state, [&](int x) { return screen.BltFast(x, 300, sprite, nullptr, true); });
}
BENCHMARK(BM_KeyedSprite64);

// The same copy by SDL_BlitSurface with a colour key (and with its run-length acceleration).
void SdlKeyedSprite64(benchmark::State& state, bool rle)
{
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, 1024, 768, 16, SDL_PIXELFORMAT_RGB565);
    if (!sprite || !screen) {
        state.SkipWithError("no SDL surface");
    } else {
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(sprite->pixels) + y * sprite->pitch)[x] =
                    SpritePixel(x, y);
        SDL_SetColorKey(sprite, SDL_TRUE, kMagenta565);
        SDL_SetSurfaceBlendMode(sprite, SDL_BLENDMODE_NONE);
        if (rle)
            SDL_SetSurfaceRLE(sprite, 1);
        RunSpriteCopies(state, [&](int x) {
            SDL_Rect dst{x, 300, 64, 64};
            return SDL_BlitSurface(sprite, nullptr, screen, &dst) == 0;
        });
    }
    if (sprite)
        SDL_FreeSurface(sprite);
    if (screen)
        SDL_FreeSurface(screen);
}
void BM_SdlKeyedSprite64(benchmark::State& state) { SdlKeyedSprite64(state, false); }
void BM_SdlKeyedSprite64Rle(benchmark::State& state) { SdlKeyedSprite64(state, true); }
BENCHMARK(BM_SdlKeyedSprite64);
BENCHMARK(BM_SdlKeyedSprite64Rle);

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
