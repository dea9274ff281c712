#pragma once
// A picture cut into texture tiles, as stored inside archives: a tile count, then per tile a
// 20-byte header (position, data and texture sizes, pixel-data size) and its ARGB 4444 rows.
#include <cstdint>
#include <memory>
#include <span>

#include "devices/quads.h"

struct TPictureTile {
    plat::Texture* texture = nullptr; // null when it could not be made; the tile is then skipped
    std::uint16_t x = 0;              // position inside the picture
    std::uint16_t y = 0;
    std::uint16_t texWidth = 0;
    std::uint16_t texHeight = 0;
    std::uint16_t dataWidth = 0;
    std::uint16_t dataHeight = 0;
};

constexpr std::size_t kPictureTileHeaderSize = 20;
// Draw flags: 0xFF keeps the depths already in the quad; bit 1 tests the top at the tile's foot;
// 6 also draws the tile upside down.
constexpr std::uint8_t kPictureKeepDepth = 0xFF;
constexpr std::uint8_t kPictureUprightBit = 2;
constexpr std::uint8_t kPictureFlipped = 6;

class TPicture {
public:
    TPicture() = default;
    ~TPicture() { Free(); }
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // Bytes consumed: 1 plus 20 + size for every tile; 0 when the block is shorter than its
    // headers say (the picture is then empty).
    std::uint32_t LoadFromMemory(std::span<const std::uint8_t> block);
    // One tile from the block's bytes at its header: 20 + size, or 0 when they are not all there.
    // A tile whose rows do not fit its texture or its size keeps no texture but is still consumed.
    std::uint32_t Load(TPictureTile& tile, std::span<const std::uint8_t> tileData);
    // quad: the caller's four vertices with colours, specular and rhw set.
    void DrawAll(std::uint8_t flags, float x0, float y0, float heightOffset, TScreenVertex* quad) const;
    void DrawTile(const TPictureTile& tile, std::uint8_t flags, float scale, float x0, float y0,
                  float heightOffset, TScreenVertex* quad) const;
    void Free();

    std::uint8_t Count() const { return m_Count; }
    const TPictureTile* Tiles() const { return m_Tiles.get(); }

private:
    std::uint8_t m_Count = 0;
    std::unique_ptr<TPictureTile[]> m_Tiles;
};
