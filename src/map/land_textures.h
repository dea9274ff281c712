#pragma once
// Land textures: the 64- and 128-pixel textures of the grounds a map uses, the overlay blend mask
// and the sub-tile lattice the overlays are drawn on.
#include <cstdint>
#include <span>
#include <vector>

namespace plat {
class Texture;
}

constexpr int LAND_TEXTURE_SLOTS = 512;
constexpr int LAND_TEXTURE_SIDE = 64;
constexpr int LAND_TEXTURE_BYTES = LAND_TEXTURE_SIDE * LAND_TEXTURE_SIDE * 2;
constexpr int LAND_MASK_SIDE = 43;
constexpr int LAND_LATTICE_POINTS = 23;
// Entries kept for every map: the grounds that buildings paint.
constexpr int LAND_ALWAYS_KEPT[2] = {51, 135};
constexpr std::uint16_t LAND_NO_TEXTURE = 65535;
constexpr std::uint16_t LAND_OVERLAYS_BIT = 0x8000;

extern std::uint16_t g_LandTextureCount;
extern plat::Texture* g_LandTex64[LAND_TEXTURE_SLOTS];
extern plat::Texture* g_LandTex128[LAND_TEXTURE_SLOTS];
// Minimap colour of each texture (RGB), as many as the file holds.
struct TLandColor {
    std::uint8_t r = 0, g = 0, b = 0;
};
extern std::vector<TLandColor> g_LandColors;
// The blend mask, rows top to bottom; empty when the mask could not be loaded.
extern std::vector<std::uint8_t> g_LandMask;

struct TLatticePoint {
    float x, y, u, v;
};
// Offsets from the tile's left corner raised by 24, and coordinates into the 128-pixel texture.
extern TLatticePoint g_SubTileLattice[LAND_LATTICE_POINTS];
// Lattice point each overlay slot is anchored at, and the slot's texture-coordinate shift.
extern const std::uint8_t g_SlotAnchor[9];
extern const float g_SlotShiftU[9];
extern const float g_SlotShiftV[9];

// The base and overlay words of a cell, as the keep-set rule reads and rewrites them.
struct TLandCellTextures {
    std::uint16_t* base;
    std::uint16_t* overlay; // nine words
};

// Heights, shades (0..1) and overlay textures at the 23 lattice points of a tile, from the cell's
// own vertex and its neighbours' (a neighbour outside the map stands in with the cell itself).
struct TTileMesh {
    float height[LAND_LATTICE_POINTS] = {};
    float shade[LAND_LATTICE_POINTS] = {};
    std::uint16_t slotTexture[LAND_LATTICE_POINTS] = {};
};
void BuildTileMesh(int x, int y, int rowParity, TTileMesh& out);

// Which of count entries a map with these cells needs (the editor keeps all). Out-of-range
// texture numbers are rewritten to 1 in the cells, keeping bit 15 of a base word, and entry 0
// is kept for them.
std::vector<bool> ChooseKeptLandTextures(std::span<const TLandCellTextures> cells, std::uint16_t count, bool editor);

// Loads the blend mask from a 24-bit BMP of at least 43 x 43 pixels and sets the lattice; the
// lattice is set even when the mask cannot be loaded ("LoadMaska() FAILED").
bool LoadMaska(const char* path);
// Puts the mask into the alpha nibbles of overlay slot k's region of a 128-pixel texture; without a
// mask the region becomes fully opaque.
bool ApplyTextureMask(plat::Texture* texture, int slot);
// Reads Data\LandTextures\LandTextures.dat and makes the textures of the kept entries; cells are
// the loaded map's texture words.
bool CreateLandscapeTextures(std::span<const TLandCellTextures> cells, bool editor);
// The same for the loaded map, keeping all entries in the editor.
bool CreateLandscapeTextures();
void FreeLandTextures();
// Parses the head of the file: N and the colours. false (logged) when N exceeds the slot tables or
// the file cannot hold N pictures.
bool ParseLandTexturesHead(std::span<const std::uint8_t> file, std::uint16_t& count, std::vector<TLandColor>& colors);
