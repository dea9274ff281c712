// Feeds arbitrary vertices, indices and render states to the rasteriser: whatever they hold, no
// write may land outside the colour buffer, the Z-buffer or the viewport, and nothing may hang.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/raster.h"
#include "platform/texture.h"

namespace {

template <class T> T Take(const std::uint8_t*& p, const std::uint8_t* end)
{
    T v{};
    if (end - p >= static_cast<std::ptrdiff_t>(sizeof(T))) {
        std::memcpy(&v, p, sizeof(T));
        p += sizeof(T);
    }
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t* p = data;
    const std::uint8_t* end = data + size;
    // The target is a little smaller than the buffers' width on purpose: sanitizers see any write
    // past a row's end, and the viewport check covers the rest.
    plat::PixelBuffer color(37, 23, plat::PixelFormat::RGB565, 37 * 2);
    plat::PixelBuffer depth(37, 23, plat::PixelFormat::Depth16);
    plat::RenderTarget target{&color, &depth, {Take<std::int8_t>(p, end), Take<std::int8_t>(p, end), 30, 20}};

    const std::uint8_t flags = Take<std::uint8_t>(p, end);
    const std::uint8_t texSize = Take<std::uint8_t>(p, end);
    const int tw = 1 + (texSize & 7) * 3, th = 1 + (texSize >> 5);
    static const plat::PixelFormat kFormats[] = {plat::PixelFormat::ARGB4444, plat::PixelFormat::ARGB1555,
                                                 plat::PixelFormat::ARGB8888, plat::PixelFormat::RGB565};
    plat::Texture* tex = plat::Texture::Create(tw, th, kFormats[(flags >> 4) & 3]);
    if (tex) {
        plat::TextureLock lock;
        if (tex->Lock(lock)) {
            for (int y = 0; y < th; ++y)
                for (int x = 0; x < lock.pitch; ++x)
                    lock.bits[y * lock.pitch + x] = Take<std::uint8_t>(p, end);
            tex->Unlock();
        }
        tex->SetColorKey(Take<std::uint16_t>(p, end));
    }

    plat::RasterState st;
    st.zEnable = flags & 1;
    st.zWrite = flags & 2;
    st.alphaBlend = flags & 4;
    st.alphaTest = flags & 8;
    st.colorKey = flags & 64;
    st.texture = (flags & 128) ? tex : nullptr;
    st.zFunc = static_cast<plat::CompareFunc>(1 + Take<std::uint8_t>(p, end) % 8);
    st.alphaFunc = static_cast<plat::CompareFunc>(1 + Take<std::uint8_t>(p, end) % 8);
    st.srcBlend = static_cast<plat::BlendFactor>(1 + Take<std::uint8_t>(p, end) % 10);
    st.destBlend = static_cast<plat::BlendFactor>(1 + Take<std::uint8_t>(p, end) % 10);
    st.colorOp = static_cast<plat::TextureOp>(1 + Take<std::uint8_t>(p, end) % 11);
    if (st.colorOp == static_cast<plat::TextureOp>(9))
        st.colorOp = plat::TextureOp::Modulate;
    st.colorArg2 = static_cast<plat::TextureArg>(Take<std::uint8_t>(p, end) % 4);
    st.alphaOp = plat::TextureOp::Modulate;
    st.alphaArg2 = plat::TextureArg::TFactor;
    st.magFilter = (Take<std::uint8_t>(p, end) & 1) ? plat::TextureFilter::Linear : plat::TextureFilter::Point;
    st.fillMode = static_cast<plat::FillMode>(1 + Take<std::uint8_t>(p, end) % 3);
    st.zBias = Take<std::uint8_t>(p, end) % 17;
    st.textureFactor = Take<std::uint32_t>(p, end);

    static const plat::PrimitiveType kTypes[] = {plat::PrimitiveType::LineList, plat::PrimitiveType::TriangleList,
                                                 plat::PrimitiveType::TriangleStrip, plat::PrimitiveType::TriangleFan};
    const plat::PrimitiveType type = kTypes[Take<std::uint8_t>(p, end) % 4];
    const bool indexed = Take<std::uint8_t>(p, end) & 1;
    std::vector<plat::RasterVertex> verts;
    while (end - p >= static_cast<std::ptrdiff_t>(sizeof(plat::RasterVertex)) && verts.size() < 64) {
        plat::RasterVertex v;
        std::memcpy(&v, p, sizeof v);
        p += sizeof v;
        // Half of the inputs keep positions near the screen, so that drawing really happens.
        if (flags & 32) {
            v.x = static_cast<float>(static_cast<std::int32_t>(v.diffuse % 900) - 400) / 8.0f;
            v.y = static_cast<float>(static_cast<std::int32_t>(v.specular % 600) - 300) / 8.0f;
        }
        verts.push_back(v);
    }
    if (indexed) {
        std::vector<std::uint16_t> idx;
        while (end - p >= 2 && idx.size() < 96)
            idx.push_back(static_cast<std::uint16_t>(Take<std::uint16_t>(p, end) % (verts.size() + 2)));
        plat::DrawIndexedPrimitive(target, st, type, verts.data(), static_cast<std::uint32_t>(verts.size()), idx.data(),
                                   static_cast<std::uint32_t>(idx.size()));
    } else {
        plat::DrawPrimitive(target, st, type, verts.data(), static_cast<std::uint32_t>(verts.size()));
    }
    plat::BlitSelf16(depth, {target.viewport.left, target.viewport.top, 60, 9}, target.viewport.top, target.viewport.left);
    if (tex)
        tex->Release();
    return 0;
}
