// Picture loading and sprite drawing: BMP and .444 into textures, tiled pictures, sprite quads and
// digits through the 3-D device.
#include <benchmark/benchmark.h>

#include <vector>

#include "devices/d3d_device.h"
#include "devices/display.h"
#include "bench_display.h"
#include "devices/image_files.h"
#include "devices/picture.h"
#include "devices/quads.h"
#include "images.h"
#include "map/map_view.h"
#include "platform/texture.h"

namespace {

std::vector<std::uint32_t> Rgb(int w, int h)
{
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFF;
    return px;
}

std::vector<std::uint16_t> Argb4444(int w, int h)
{
    std::vector<std::uint16_t> px(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<std::uint16_t>(0xF000 | (i * 40503u & 0x0FFF));
    return px;
}

void BM_BmpToTexture(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    BenchDisplay display;
    if (!display.Ok())
        return state.SkipWithError("no device");
    const auto bmp = sampledata::MakeBmp24(side, side, Rgb(side, side));
    for (auto _ : state) {
        plat::Texture* t = CreateTextureFromBmpMemory(bmp);
        benchmark::DoNotOptimize(t);
        t->Release();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bmp.size()));
}
BENCHMARK(BM_BmpToTexture)->Arg(64)->Arg(256);

void BM_BmpToSurface(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    BenchDisplay display;
    if (!display.Ok())
        return state.SkipWithError("no device");
    const auto bmp = sampledata::MakeBmp24(side, side, Rgb(side, side));
    for (auto _ : state) {
        plat::Surface* s = CreateSurfaceFromBmpMemory(bmp);
        benchmark::DoNotOptimize(s);
        delete s;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bmp.size()));
}
BENCHMARK(BM_BmpToSurface)->Arg(256);

void BM_TiledPictureLoad(benchmark::State& state)
{
    BenchDisplay display;
    if (!display.Ok())
        return state.SkipWithError("no device");
    const auto block = sampledata::MakePictureBlock(sampledata::CutIntoTiles(200, 150, Argb4444(200, 150), 64));
    for (auto _ : state) {
        TPicture picture;
        benchmark::DoNotOptimize(picture.LoadFromMemory(block));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(block.size()));
}
BENCHMARK(BM_TiledPictureLoad);

void BM_HalfSizeFrames(benchmark::State& state)
{
    BenchDisplay display;
    if (!display.Ok())
        return state.SkipWithError("no device");
    std::vector<sampledata::FrameSpec> frames(20);
    for (auto& f : frames) {
        f.dataWidth = f.dataHeight = 120;
        f.texWidth = f.texHeight = 128;
        f.pixels = Argb4444(120, 120);
    }
    const auto block = sampledata::MakeFrameBlock({}, frames);
    plat::Texture* textures[20];
    TFrameHeader headers[20];
    for (auto _ : state) {
        CreateHalfSizeFrameTextures(block, textures, headers);
        for (plat::Texture* t : textures)
            t->Release();
    }
}
BENCHMARK(BM_HalfSizeFrames);

// One 64 x 64 depth-tested sprite quad per iteration: the per-sprite cost of the map drawing.
void BM_DrawSpriteFrame(benchmark::State& state)
{
    BenchDisplay display;
    if (!display.Ok())
        return state.SkipWithError("no device");
    const auto px = Argb4444(64, 64);
    plat::Texture* texture = CreateTexture4444(px.data(), 64, 64);
    g_pD3DDevice->SetRenderState(D3DState::ZEnable, 1);
    g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 1);
    // Screen positions are map positions less the view origin.
    g_ViewPixelX = g_ViewPixelY = 0;
    float x = 100;
    RasterWork work;
    for (auto _ : state) {
        DrawSpriteFrame(x, 300, {texture, 64, 64}, 10);
        x = x > 900 ? 100 : x + 7;
    }
    work.Check(state);
    g_pD3DDevice->SetRenderState(D3DState::ZEnable, 0);
    g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 0);
    texture->Release();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawSpriteFrame);

void BM_DrawNumberTextured(benchmark::State& state)
{
    BenchDisplay display;
    if (!display.Ok())
        return state.SkipWithError("no device");
    g_pDigitsTexture = CreateTextureFromBmpMemory(sampledata::MakeNumbersBmp());
    long long value = 0;
    RasterWork work;
    for (auto _ : state)
        DrawNumberTextured(200, 200, 10, value++ % 1000);
    work.Check(state);
    g_pDigitsTexture->Release();
    g_pDigitsTexture = nullptr;
}
BENCHMARK(BM_DrawNumberTextured);

} // namespace
