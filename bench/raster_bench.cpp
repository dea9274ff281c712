// A frame's worth of 64 x 64 sprites at 1024 x 768: the rasteriser (textured, keyed, depth tested
// and written) against SDL's software renderer doing plain keyed copies of the same sprites.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstring>
#include <vector>

#include "platform/raster.h"
#include "platform/texture.h"
#include "sprite_pixels.h"

namespace {

constexpr int kScreenW = 1024;
constexpr int kScreenH = 768;
constexpr int kSprite = 64;
// Sprites of one frame: the screen covered about twice, on positions that are not tile-aligned.
constexpr int kSpritesPerFrame = 384;

struct SpritePos {
    int x, y;
};

std::vector<SpritePos> FramePositions()
{
    std::vector<SpritePos> out;
    std::uint32_t seed = 12345;
    for (int i = 0; i < kSpritesPerFrame; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int x = static_cast<int>((seed >> 8) % (kScreenW - kSprite));
        seed = seed * 1664525u + 1013904223u;
        const int y = static_cast<int>((seed >> 8) % (kScreenH - kSprite));
        out.push_back({x, y});
    }
    return out;
}

plat::Texture* MakeSpriteTexture()
{
    const auto pixels = sampledata::MakeKeyedDisc4444(kSprite, kSprite, 12, 9, 3);
    plat::Texture* t = plat::Texture::Create(kSprite, kSprite, plat::PixelFormat::ARGB4444);
    plat::TextureLock lock;
    t->Lock(lock);
    for (int y = 0; y < kSprite; ++y)
        std::memcpy(lock.bits + y * lock.pitch, pixels.data() + y * kSprite, kSprite * 2);
    t->Unlock();
    t->SetColorKey(0x0F0F);
    return t;
}

void RunRaster(benchmark::State& state, bool blended)
{
    plat::PixelBuffer color(kScreenW, kScreenH, plat::PixelFormat::RGB565);
    plat::PixelBuffer depth(kScreenW, kScreenH, plat::PixelFormat::Depth16);
    plat::RenderTarget target{&color, &depth, {0, 0, kScreenW, kScreenH}};
    plat::Texture* tex = MakeSpriteTexture();
    plat::RasterState st;
    st.zEnable = true;
    st.zWrite = true;
    st.zFunc = plat::CompareFunc::LessEqual;
    st.colorKey = true;
    st.texture = tex;
    if (blended) {
        st.alphaBlend = true;
        st.srcBlend = plat::BlendFactor::SrcAlpha;
        st.destBlend = plat::BlendFactor::InvSrcAlpha;
        st.alphaTest = true;
        st.alphaFunc = plat::CompareFunc::NotEqual;
    }
    const auto positions = FramePositions();
    plat::RasterVertex q[4];
    // The map keeps its depths from frame to frame; frames only test and write them.
    plat::FillDepth(depth, {0, 0, kScreenW, kScreenH}, 0xFFFF);
    for (auto _ : state) {
        for (const SpritePos& p : positions) {
            // Upright sprites: all four vertices at the depth of the foot.
            const float z = 0.99999f - static_cast<float>(p.y + kSprite + 1024) / 4096.0f;
            const float xs[4] = {float(p.x), float(p.x + kSprite), float(p.x), float(p.x + kSprite)};
            const float ys[4] = {float(p.y), float(p.y), float(p.y + kSprite), float(p.y + kSprite)};
            for (int i = 0; i < 4; ++i) {
                q[i].x = xs[i];
                q[i].y = ys[i];
                q[i].z = z;
                q[i].u = (i & 1) ? 0.99999f : 0.0f;
                q[i].v = (i & 2) ? 0.99999f : 0.0f;
            }
            plat::DrawPrimitive(target, st, plat::PrimitiveType::TriangleStrip, q, 4);
        }
        benchmark::DoNotOptimize(color.Bits());
    }
    tex->Release();
    const double pixels = static_cast<double>(state.iterations()) * kSpritesPerFrame * kSprite * kSprite;
    state.counters["Mpixel/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_RasterKeyedDepthSprites(benchmark::State& state) { RunRaster(state, false); }
void BM_RasterBlendedAlphaTestedSprites(benchmark::State& state) { RunRaster(state, true); }

void BM_SdlSoftwareKeyedBlits(benchmark::State& state)
{
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Renderer* renderer = screen ? SDL_CreateSoftwareRenderer(screen) : nullptr;
    if (!renderer) {
        state.SkipWithError("no SDL software renderer");
        if (screen)
            SDL_FreeSurface(screen);
        return;
    }
    const auto pixels = sampledata::MakeKeyedDisc4444(kSprite, kSprite, 12, 9, 3);
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormat(0, kSprite, kSprite, 16, SDL_PIXELFORMAT_ARGB4444);
    for (int y = 0; y < kSprite; ++y)
        std::memcpy(static_cast<std::uint8_t*>(sprite->pixels) + y * sprite->pitch, pixels.data() + y * kSprite, kSprite * 2);
    SDL_SetColorKey(sprite, SDL_TRUE, 0x0F0F);
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, sprite);
    const auto positions = FramePositions();
    for (auto _ : state) {
        for (const SpritePos& p : positions) {
            const SDL_Rect dst{p.x, p.y, kSprite, kSprite};
            SDL_RenderCopy(renderer, texture, nullptr, &dst);
        }
        SDL_RenderFlush(renderer);
        benchmark::DoNotOptimize(screen->pixels);
    }
    SDL_DestroyTexture(texture);
    SDL_FreeSurface(sprite);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(screen);
    const double px = static_cast<double>(state.iterations()) * kSpritesPerFrame * kSprite * kSprite;
    state.counters["Mpixel/s"] = benchmark::Counter(px / 1e6, benchmark::Counter::kIsRate);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The landscape filter's pass: the whole screen in 256 x 256 quads, depth NOTEQUAL, source factor
// DESTCOLOR, ADDSMOOTH of texture and diffuse: the general pixel pipeline at full screen.
void BM_RasterLandscapeFilterPass(benchmark::State& state)
{
    plat::PixelBuffer color(kScreenW, kScreenH, plat::PixelFormat::RGB565);
    plat::PixelBuffer depth(kScreenW, kScreenH, plat::PixelFormat::Depth16);
    plat::FillDepth(depth, {0, 0, kScreenW, kScreenH}, 0x8000);
    plat::RenderTarget target{&color, &depth, {0, 0, kScreenW, kScreenH}};
    const auto pixels = sampledata::MakeCoordinatePattern4444(256, 256);
    plat::Texture* tex = plat::Texture::Create(256, 256, plat::PixelFormat::ARGB4444);
    plat::TextureLock lock;
    tex->Lock(lock);
    for (int y = 0; y < 256; ++y)
        std::memcpy(lock.bits + y * lock.pitch, pixels.data() + y * 256, 512);
    tex->Unlock();
    plat::RasterState st;
    st.zEnable = true;
    st.zWrite = false;
    st.zFunc = plat::CompareFunc::NotEqual;
    st.alphaBlend = true;
    st.srcBlend = plat::BlendFactor::DestColor;
    st.destBlend = plat::BlendFactor::InvSrcAlpha;
    st.colorOp = plat::TextureOp::AddSmooth;
    st.texture = tex;
    plat::RasterVertex q[4];
    for (auto _ : state) {
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 6; ++col) {
                const float x = col * 256.0f - 100, y = row * 256.0f - 60;
                for (int i = 0; i < 4; ++i) {
                    q[i].x = x + ((i & 1) ? 256 : 0);
                    q[i].y = y + ((i & 2) ? 256 : 0);
                    q[i].z = 0.99999f - (q[i].y + 1024 + 110) / 4096.0f;
                    q[i].diffuse = 0xFF808080u;
                    q[i].u = (i & 1) ? 0.99999f : 0.0f;
                    q[i].v = (i & 2) ? 0.99999f : 0.0f;
                }
                plat::DrawPrimitive(target, st, plat::PrimitiveType::TriangleStrip, q, 4);
            }
        benchmark::DoNotOptimize(color.Bits());
    }
    tex->Release();
    const double px = static_cast<double>(state.iterations()) * kScreenW * kScreenH;
    state.counters["Mpixel/s"] = benchmark::Counter(px / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_RasterLandscapeFilterPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasterKeyedDepthSprites)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasterBlendedAlphaTestedSprites)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SdlSoftwareKeyedBlits)->Unit(benchmark::kMillisecond);

} // namespace
