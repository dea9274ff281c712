// Drawing in bands on the pool of drawing threads: many draws one after another, as a frame hands
// them over, give the one-thread picture whatever the size of the pool. Built into the
// ThreadSanitizer program too, which watches the pool's hand-over between the drawing thread and
// its workers.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/raster.h"
#include "platform/texture.h"

namespace {

using plat::PixelBuffer;
using plat::PixelFormat;
using plat::RasterVertex;

constexpr int kW = 320, kH = 240;

// A bumpy translucent 32 x 32 texture with keyed texels.
plat::Texture* MakeTexture()
{
    plat::Texture* t = plat::Texture::Create(32, 32, PixelFormat::ARGB4444);
    plat::TextureLock lock;
    EXPECT_TRUE(t->Lock(lock));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const unsigned v = static_cast<unsigned>(x * 37 + y * 91 + x * y * 7);
            reinterpret_cast<std::uint16_t*>(lock.bits + y * lock.pitch)[x] =
                (x + y) % 11 == 0 ? std::uint16_t{0x0F0F} : static_cast<std::uint16_t>((v & 0x0FFF) | (4 + v % 12) << 12);
        }
    t->Unlock();
    t->SetColorKey(0x0F0F);
    return t;
}

// Draw d of the sequence: a strip of quads across part of the target, placed, sized, tinted and
// filtered by d, so that large and small draws, banded and whole, follow each other.
std::vector<RasterVertex> Strip(int d)
{
    const int quads = 1 + d % 7;
    const float left = static_cast<float>((d * 53) % 200) - 40.0f, top = static_cast<float>((d * 29) % 180) - 30.0f;
    const float w = 20.0f + static_cast<float>((d * 17) % 90), h = 30.0f + static_cast<float>((d * 13) % 150);
    std::vector<RasterVertex> v;
    for (int q = 0; q <= quads; ++q)
        for (int row = 0; row < 2; ++row) {
            RasterVertex p{};
            p.x = left + w * static_cast<float>(q) + 0.37f;
            p.y = top + h * static_cast<float>(row) + static_cast<float>(q % 3) * 3.3f;
            p.z = 0.2f + 0.001f * static_cast<float>(d % 300) + 0.01f * static_cast<float>(row);
            p.diffuse = 0x80FFFFFFu ^ static_cast<std::uint32_t>(d * 0x010305);
            p.u = 0.1f * static_cast<float>(q) + 0.05f * static_cast<float>(d % 5);
            p.v = static_cast<float>(row) * 1.7f;
            v.push_back(p);
        }
    return v;
}

std::vector<std::uint16_t> Draw(int threads, plat::Texture* texture, std::uint64_t& banded)
{
    plat::SetRasterThreads(threads);
    plat::ResetRasterCounters();
    PixelBuffer color(kW, kH, PixelFormat::RGB565), depth(kW, kH, PixelFormat::Depth16);
    plat::FillColor16(color, {0, 0, kW, kH}, 0x39E7);
    plat::FillDepth(depth, {0, 0, kW, kH}, 0xFFFF);
    plat::RenderTarget target;
    target.color = &color;
    target.depth = &depth;
    target.viewport = {0, 0, kW, kH};
    plat::RasterState st;
    st.zEnable = true;
    st.zWrite = true;
    st.colorKey = true;
    st.alphaBlend = true;
    st.srcBlend = plat::BlendFactor::SrcAlpha;
    st.destBlend = plat::BlendFactor::InvSrcAlpha;
    st.colorOp = plat::TextureOp::Modulate;
    st.texture = texture;
    for (int d = 0; d < 300; ++d) {
        st.magFilter = d % 2 ? plat::TextureFilter::Linear : plat::TextureFilter::Point;
        st.zFunc = d % 3 ? plat::CompareFunc::LessEqual : plat::CompareFunc::Always;
        const std::vector<RasterVertex> v = Strip(d);
        EXPECT_TRUE(plat::DrawPrimitive(target, st, plat::PrimitiveType::TriangleStrip, v.data(),
                                        static_cast<std::uint32_t>(v.size())));
    }
    banded = plat::ReadRasterCounters().banded;
    std::vector<std::uint16_t> picture;
    for (int y = 0; y < kH; ++y) {
        picture.insert(picture.end(), color.Row16(y), color.Row16(y) + kW);
        picture.insert(picture.end(), depth.Row16(y), depth.Row16(y) + kW);
    }
    return picture;
}

TEST(RasterBands, BackToBackDrawsOnAnyPoolGiveTheOnePicture)
{
    plat::Texture* texture = MakeTexture();
    std::uint64_t banded = 0;
    const std::vector<std::uint16_t> one = Draw(1, texture, banded);
    EXPECT_EQ(banded, 0u);
    for (int threads : {2, 3, 8}) {
        SCOPED_TRACE(threads);
        EXPECT_TRUE(Draw(threads, texture, banded) == one);
        EXPECT_GT(banded, 100u) << "most draws are large enough for bands";
    }
    // A pool made smaller and larger again between pictures keeps drawing the same.
    EXPECT_TRUE(Draw(8, texture, banded) == one);
    plat::SetRasterThreads(1);
    texture->Release();
}

} // namespace
