// A whole game frame (RenderFrame) of the 8-player sample mission at 1024 x 768 and 1280 x 1024,
// with one, two and eight drawing threads (wall-clock time):
// the view on a base by the sea, water, the fog of war and 1,000 units of eight players. Beside it,
// in the same run, its two baselines: a memcpy of the frame (the memory limit) and SDL's software
// renderer drawing as many blended textured quads over as many pixels as the frame drew.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "bench_display.h"
#include "game/frame_drawing.h"
#include "game/game_main.h"
#include "devices/display.h"
#include "game_world.h"
#include "map/map_scene.h"

namespace {

constexpr int kModes[] = {0, 3}; // 1024 x 768, 1280 x 1024

// Draws and pixels of one frame, measured on a fresh world before any benchmark loop; handed
// counts also the draws left out under the fog.
struct FrameWork {
    double draws = 0;
    double pixels = 0;
    double handed = 0;
};

FrameWork MeasureFrame()
{
    plat::ResetRasterCounters();
    const std::uint64_t hidden = g_pD3DDevice->HiddenDraws();
    ++g_FrameCounter;
    RenderFrame();
    const plat::RasterCounters c = plat::ReadRasterCounters();
    return {static_cast<double>(c.draws), static_cast<double>(c.pixels),
            static_cast<double>(c.draws + g_pD3DDevice->HiddenDraws() - hidden)};
}

void BM_RenderFrame(benchmark::State& state)
{
    GameFrameWorld world(static_cast<int>(state.range(0)));
    BenchThreads threads(state, static_cast<int>(state.range(1)));
    if (!world.Ok()) {
        state.SkipWithError("the sample mission did not load");
        return;
    }
    // The first frame builds the static layer; the game's later frames only draw the scene.
    MeasureFrame();
    // The units must be drawn: a frame without them hands at least one quad fewer per unit to the
    // device.
    std::vector<TUnitDrawRecord> units;
    units.swap(g_UnitsDrawSorted);
    const FrameWork bare = MeasureFrame();
    units.swap(g_UnitsDrawSorted);
    const FrameWork full = MeasureFrame();
    if (full.handed - bare.handed < GameFrameWorld::kUnits) {
        state.SkipWithError("the units were not drawn");
        return;
    }
    RasterWork work;
    const std::uint64_t hidden = g_pD3DDevice->HiddenDraws();
    for (auto _ : state) {
        ++g_FrameCounter;
        RenderFrame();
    }
    if (!work.Check(state, 100))
        return;
    state.counters["draws under fog"] =
        static_cast<double>(g_pD3DDevice->HiddenDraws() - hidden) / static_cast<double>(state.iterations());
    state.counters["units drawn"] = static_cast<double>(g_UnitsDrawSorted.size());
    state.counters["water cells"] = world.WaterCellsInView();
    state.counters["Mpix/s"] = benchmark::Counter(state.counters["pixels"] * static_cast<double>(state.iterations()) / 1e6,
                                                  benchmark::Counter::kIsRate);
}

// The memory limit: one copy of a frame's colour buffer.
void BM_FrameMemcpy(benchmark::State& state)
{
    const int mode = static_cast<int>(state.range(0));
    const std::size_t bytes = static_cast<std::size_t>(g_ScreenModes[mode].width) * g_ScreenModes[mode].height * 2;
    std::vector<std::uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    if (to[bytes - 1] != 0x5A)
        state.SkipWithError("nothing was copied");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// SDL's software renderer drawing the frame's count of quads over the frame's count of pixels:
// blended 64 x 64 ARGB4444 textures, stretched to the frame's average quad size, into a 16-bit
// target of the mode's size.
void BM_SdlSoftwareFrameQuads(benchmark::State& state)
{
    const int mode = static_cast<int>(state.range(0));
    FrameWork frame;
    {
        GameFrameWorld world(mode);
        if (!world.Ok()) {
            state.SkipWithError("the sample mission did not load");
            return;
        }
        MeasureFrame();
        frame = MeasureFrame();
    }
    const int w = g_ScreenModes[mode].width, h = g_ScreenModes[mode].height;
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, w, h, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Renderer* renderer = screen ? SDL_CreateSoftwareRenderer(screen) : nullptr;
    if (!renderer || frame.draws < 1) {
        state.SkipWithError("no SDL software renderer");
        if (screen)
            SDL_FreeSurface(screen);
        return;
    }
    constexpr int kTexture = 64;
    std::vector<SDL_Texture*> textures;
    for (int t = 0; t < 8; ++t) {
        SDL_Texture* tex = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB4444, SDL_TEXTUREACCESS_STATIC, kTexture, kTexture);
        std::vector<std::uint16_t> px(kTexture * kTexture);
        for (int i = 0; i < kTexture * kTexture; ++i)
            px[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(0x8000 | ((i * 2654435761u + t * 977u) >> 20 & 0x7FFF));
        SDL_UpdateTexture(tex, nullptr, px.data(), kTexture * 2);
        SDL_SetTextureBlendMode(tex, SDL_BLENDMODE_BLEND);
        SDL_SetTextureColorMod(tex, 0xE5, 0xE5, 0xE5);
        textures.push_back(tex);
    }
    const int quads = static_cast<int>(frame.draws);
    const int side = std::max(1, static_cast<int>(std::sqrt(frame.pixels / frame.draws)));
    std::vector<SDL_Rect> rects;
    std::uint32_t seed = 99;
    for (int i = 0; i < quads; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int x = static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(std::max(1, w - side)));
        seed = seed * 1664525u + 1013904223u;
        const int y = static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(std::max(1, h - side)));
        rects.push_back({x, y, side, side});
    }
    for (auto _ : state) {
        int n = 0;
        for (const SDL_Rect& r : rects)
            SDL_RenderCopy(renderer, textures[static_cast<std::size_t>(n++ % 8)], nullptr, &r);
        SDL_RenderFlush(renderer);
        benchmark::DoNotOptimize(screen->pixels);
    }
    for (SDL_Texture* t : textures)
        SDL_DestroyTexture(t);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(screen);
    state.counters["quads"] = quads;
    state.counters["pixels"] = static_cast<double>(quads) * side * side;
}

void Modes(benchmark::internal::Benchmark* b)
{
    for (int mode : kModes)
        b->Arg(mode);
}

// Each mode with one, two and eight drawing threads.
void ModesAndThreads(benchmark::internal::Benchmark* b)
{
    for (int mode : kModes)
        for (int threads : {1, 2, 8})
            b->Args({mode, threads});
}

BENCHMARK(BM_RenderFrame)->Apply(ModesAndThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FrameMemcpy)->Apply(Modes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SdlSoftwareFrameQuads)->Apply(Modes)->Unit(benchmark::kMillisecond);

} // namespace
