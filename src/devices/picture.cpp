#include "devices/picture.h"

#include <algorithm>

#include "core/error_log.h"
#include "devices/d3d_device.h"
#include "devices/image_files.h"
#include "map/map_view.h"
#include "platform/bytes.h"
#include "platform/texture.h"

namespace {
constexpr float kUvEnd = 0.99999f;
}

std::uint32_t TPicture::Load(TPictureTile& tile, std::span<const std::uint8_t> tileData)
{
    tile = {};
    if (tileData.size() < kPictureTileHeaderSize) {
        ReportError("TPicture::Load: tile header is cut off");
        return 0;
    }
    const TFrameRecord r = ReadFrameRecord(tileData.data());
    if (r.size > tileData.size() - kPictureTileHeaderSize) {
        ReportError("TPicture::Load: tile data is cut off");
        return 0;
    }
    tile.x = r.x;
    tile.y = r.y;
    tile.dataWidth = r.dataWidth;
    tile.dataHeight = r.dataHeight;
    tile.texWidth = r.texWidth;
    tile.texHeight = r.texHeight;
    const std::uint32_t consumed = static_cast<std::uint32_t>(kPictureTileHeaderSize) + r.size;
    if (!CheckFrameSizes("TPicture::Load", r.dataWidth, r.dataHeight, r.texWidth, r.texHeight, r.size))
        return consumed;
    plat::Texture* texture = CreateTexture(r.texWidth, r.texHeight, g_TexFormat4444);
    if (!texture)
        return consumed;
    plat::TextureLock lock;
    if (!texture->Lock(lock)) {
        texture->Release();
        return consumed;
    }
    const std::uint8_t* src = tileData.data() + kPictureTileHeaderSize;
    const std::size_t rowBytes = static_cast<std::size_t>(r.dataWidth) * 2;
    for (int y = 0; y < r.dataHeight; ++y)
        std::copy_n(src + y * rowBytes, rowBytes, lock.bits + static_cast<std::size_t>(y) * lock.pitch);
    texture->Unlock();
    tile.texture = texture;
    return consumed;
}

std::uint32_t TPicture::LoadFromMemory(std::span<const std::uint8_t> block)
{
    Free();
    if (block.empty()) {
        ReportError("TPicture::LoadFromMemory: empty block");
        return 0;
    }
    const std::uint8_t count = block[0];
    m_Tiles = std::make_unique<TPictureTile[]>(count);
    m_Count = count;
    std::size_t pos = 1;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t used = Load(m_Tiles[i], block.subspan(pos));
        if (used == 0) {
            Free();
            return 0;
        }
        pos += used;
    }
    return static_cast<std::uint32_t>(pos);
}

void TPicture::DrawAll(std::uint8_t flags, float x0, float y0, float heightOffset, TScreenVertex* quad) const
{
    for (int i = 0; i < m_Count; ++i)
        DrawTile(m_Tiles[i], flags, 1.0f, x0, y0, heightOffset, quad);
}

void TPicture::DrawTile(const TPictureTile& tile, std::uint8_t flags, float scale, float x0, float y0,
                        float heightOffset, TScreenVertex* quad) const
{
    if (!tile.texture || !quad || !g_pD3DDevice || !tile.texWidth || !tile.texHeight)
        return;
    const float uRight = tile.dataWidth * (kUvEnd / tile.texWidth);
    const float vEnd = tile.dataHeight * (kUvEnd / tile.texHeight);
    const bool flipped = flags == kPictureFlipped;
    const float vTop = flipped ? vEnd : 0.0f;
    const float vBottom = flipped ? 0.0f : vEnd;
    quad[0].u = 0.0f;
    quad[0].v = vTop;
    quad[1].u = uRight;
    quad[1].v = vTop;
    quad[2].u = 0.0f;
    quad[2].v = vBottom;
    quad[3].u = uRight;
    quad[3].v = vBottom;

    const float left = tile.x * scale + x0;
    const float top = tile.y * scale + y0;
    const float right = left + tile.dataWidth * scale;
    const float bottom = top + tile.dataHeight * scale;
    quad[0].x = left;
    quad[0].y = top;
    quad[1].x = right;
    quad[1].y = top;
    quad[2].x = left;
    quad[2].y = bottom;
    quad[3].x = right;
    quad[3].y = bottom;

    if (flags != kPictureKeepDepth) {
        const float base = static_cast<float>(g_ViewDepthBase) + 1024.0f + 2.0f * heightOffset;
        const float bottomZ = ClampedDepth(base + bottom);
        const float topRow = (flags & kPictureUprightBit) ? top + tile.dataHeight : top;
        const float topZ = ClampedDepth(base + topRow);
        quad[0].z = quad[1].z = topZ;
        quad[2].z = quad[3].z = bottomZ;
    }
    g_pD3DDevice->SetTexture(0, tile.texture);
    g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, quad, 4, kDrawWait);
}

void TPicture::Free()
{
    if (!m_Tiles)
        return;
    for (int i = 0; i < m_Count; ++i)
        if (m_Tiles[i].texture)
            m_Tiles[i].texture->Release();
    m_Tiles.reset();
    m_Count = 0;
}
