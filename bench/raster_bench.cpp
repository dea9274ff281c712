// A frame's worth of 64 x 64 sprites at 1024 x 768: the rasteriser (textured, keyed, depth tested
// and written; white and with the map light) against SDL doing keyed copies of the same sprites
// (renderer copies, and surface blits plain and colour-modulated).
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstring>
#include <vector>

#include "bench_display.h"
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

// The map light every sprite of the game carries in its diffuse colour.
constexpr std::uint32_t kMapLight = 0xFFE5E5E5u;
// A frame's sprites come from several pictures, as units of several types do.
constexpr int kSpriteTextures = 8;

// Disc-shaped sprites with solid transparent corners, each picture a little different.
std::vector<std::uint16_t> SpritePixels(int which)
{
    return sampledata::MakeKeyedDisc4444(kSprite, kSprite, 12 + which % 4, 9 + which % 3, 3);
}

plat::Texture* MakeSpriteTexture(int which)
{
    const auto pixels = SpritePixels(which);
    plat::Texture* t = plat::Texture::Create(kSprite, kSprite, plat::PixelFormat::ARGB4444);
    plat::TextureLock lock;
    if (!t || !t->Lock(lock)) {
        if (t)
            t->Release();
        return nullptr;
    }
    for (int y = 0; y < kSprite; ++y)
        std::memcpy(lock.bits + y * lock.pitch, pixels.data() + y * kSprite, kSprite * 2);
    t->Unlock();
    t->SetColorKey(0x0F0F);
    return t;
}

void RunRaster(benchmark::State& state, bool blended, std::uint32_t diffuse)
{
    plat::PixelBuffer color(kScreenW, kScreenH, plat::PixelFormat::RGB565);
    plat::PixelBuffer depth(kScreenW, kScreenH, plat::PixelFormat::Depth16);
    plat::RenderTarget target{&color, &depth, {0, 0, kScreenW, kScreenH}};
    plat::Texture* textures[kSpriteTextures] = {};
    for (int i = 0; i < kSpriteTextures; ++i)
        if (!(textures[i] = MakeSpriteTexture(i))) {
            state.SkipWithError("no texture");
            for (plat::Texture* t : textures)
                if (t)
                    t->Release();
            return;
        }
    plat::RasterState st;
    st.zEnable = true;
    st.zWrite = true;
    st.zFunc = plat::CompareFunc::LessEqual;
    st.colorKey = true;
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
    bool ok = true;
    RasterWork work;
    for (auto _ : state) {
        int n = 0;
        for (const SpritePos& p : positions) {
            st.texture = textures[n++ % kSpriteTextures];
            // Upright sprites: all four vertices at the depth of the foot.
            const float z = 0.99999f - static_cast<float>(p.y + kSprite + 1024) / 4096.0f;
            const float xs[4] = {float(p.x), float(p.x + kSprite), float(p.x), float(p.x + kSprite)};
            const float ys[4] = {float(p.y), float(p.y), float(p.y + kSprite), float(p.y + kSprite)};
            for (int i = 0; i < 4; ++i) {
                q[i].x = xs[i];
                q[i].y = ys[i];
                q[i].z = z;
                q[i].diffuse = diffuse;
                q[i].u = (i & 1) ? 0.99999f : 0.0f;
                q[i].v = (i & 2) ? 0.99999f : 0.0f;
            }
            ok = plat::DrawPrimitive(target, st, plat::PrimitiveType::TriangleStrip, q, 4) && ok;
        }
        benchmark::DoNotOptimize(color.Bits());
    }
    for (plat::Texture* t : textures)
        t->Release();
    if (!ok)
        state.SkipWithError("a draw failed");
    else if (!work.Check(state, kSpritesPerFrame))
        return;
    const double pixels = static_cast<double>(state.iterations()) * kSpritesPerFrame * kSprite * kSprite;
    state.counters["Mpixel/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_RasterKeyedDepthSprites(benchmark::State& state) { RunRaster(state, false, 0xFFFFFFFFu); }
void BM_RasterLitKeyedDepthSprites(benchmark::State& state) { RunRaster(state, false, kMapLight); }
void BM_RasterBlendedAlphaTestedSprites(benchmark::State& state) { RunRaster(state, true, 0xFFFFFFFFu); }

// SDL's keyed surface blits of the same sprites onto a 16-bit screen, plain and colour-modulated
// by the map light (SDL has no depth test: this is the lower bound of the same colour work).
void RunSdlBlits(benchmark::State& state, bool modulated, bool rle)
{
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 16, SDL_PIXELFORMAT_RGB565);
    SDL_Surface* sprites[kSpriteTextures] = {};
    bool ok = screen != nullptr;
    for (int i = 0; ok && i < kSpriteTextures; ++i) {
        const auto pixels = SpritePixels(i);
        SDL_Surface* argb = SDL_CreateRGBSurfaceWithFormat(0, kSprite, kSprite, 16, SDL_PIXELFORMAT_ARGB4444);
        if (!argb) {
            ok = false;
            break;
        }
        for (int y = 0; y < kSprite; ++y)
            std::memcpy(static_cast<std::uint8_t*>(argb->pixels) + y * argb->pitch, pixels.data() + y * kSprite,
                        kSprite * 2);
        // The key is applied in the screen's format, as the game's own sprite copies are.
        sprites[i] = SDL_ConvertSurfaceFormat(argb, SDL_PIXELFORMAT_RGB565, 0);
        SDL_FreeSurface(argb);
        ok = sprites[i] != nullptr;
        if (ok) {
            SDL_SetColorKey(sprites[i], SDL_TRUE, SDL_MapRGB(sprites[i]->format, 255, 0, 255));
            // Mark the keyed texels of the picture with the key colour.
            for (int y = 0; y < kSprite; ++y)
                for (int x = 0; x < kSprite; ++x)
                    if (pixels[static_cast<std::size_t>(y) * kSprite + x] == 0x0F0F)
                        reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(sprites[i]->pixels) +
                                                         y * sprites[i]->pitch)[x] = 0xF81F;
            SDL_SetSurfaceBlendMode(sprites[i], SDL_BLENDMODE_NONE);
            if (modulated)
                SDL_SetSurfaceColorMod(sprites[i], 0xE5, 0xE5, 0xE5);
            if (rle)
                SDL_SetSurfaceRLE(sprites[i], 1);
        }
    }
    if (ok) {
        const auto positions = FramePositions();
        for (auto _ : state) {
            int n = 0;
            for (const SpritePos& p : positions) {
                SDL_Rect dst{p.x, p.y, kSprite, kSprite};
                ok = SDL_BlitSurface(sprites[n++ % kSpriteTextures], nullptr, screen, &dst) == 0 && ok;
            }
            benchmark::DoNotOptimize(screen->pixels);
        }
    }
    for (SDL_Surface* sprite : sprites)
        if (sprite)
            SDL_FreeSurface(sprite);
    if (screen)
        SDL_FreeSurface(screen);
    if (!ok) {
        state.SkipWithError("SDL blit failed");
        return;
    }
    const double px = static_cast<double>(state.iterations()) * kSpritesPerFrame * kSprite * kSprite;
    state.counters["Mpixel/s"] = benchmark::Counter(px / 1e6, benchmark::Counter::kIsRate);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_SdlKeyedSurfaceBlits(benchmark::State& state) { RunSdlBlits(state, false, false); }
void BM_SdlKeyedSurfaceBlitsRle(benchmark::State& state) { RunSdlBlits(state, false, true); }
void BM_SdlLitKeyedSurfaceBlits(benchmark::State& state) { RunSdlBlits(state, true, false); }
void BM_SdlLitKeyedSurfaceBlitsRle(benchmark::State& state) { RunSdlBlits(state, true, true); }

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
    const auto pixels = SpritePixels(0);
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
// DESTCOLOR, ADDSMOOTH of texture and diffuse, with one and eight drawing threads (wall-clock time).
void BM_RasterLandscapeFilterPass(benchmark::State& state)
{
    BenchThreads threads(state, static_cast<int>(state.range(0)));
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
    bool ok = true;
    RasterWork work;
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
                ok = plat::DrawPrimitive(target, st, plat::PrimitiveType::TriangleStrip, q, 4) && ok;
            }
        benchmark::DoNotOptimize(color.Bits());
    }
    tex->Release();
    if (!ok)
        state.SkipWithError("a draw failed");
    else if (!work.Check(state, 30))
        return;
    const double px = static_cast<double>(state.iterations()) * kScreenW * kScreenH;
    state.counters["Mpixel/s"] = benchmark::Counter(px / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_RasterLandscapeFilterPass)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RasterKeyedDepthSprites)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasterLitKeyedDepthSprites)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SdlKeyedSurfaceBlits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SdlKeyedSurfaceBlitsRle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SdlLitKeyedSurfaceBlits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SdlLitKeyedSurfaceBlitsRle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasterBlendedAlphaTestedSprites)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SdlSoftwareKeyedBlits)->Unit(benchmark::kMillisecond);

} // namespace
