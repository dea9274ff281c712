#pragma once
// The land textures (Data\LandTextures\LandTextures.dat), the overlay blend mask (m44.bmp), the
// landscape filter (Filter.tga) and the fixed pictures of a loaded map (selection, unit flash,
// burnt stains).
#include <cstdint>
#include <string>
#include <vector>

namespace sampledata {

enum class Terrain { Grass, Earth, Sand, Rock, Snow, Field, Mud };
constexpr int kLandTextureCount = 136;
constexpr int kLandTextureVariants = 8;
// Texture numbers (from 1) that buildings paint: the trampled ground under a building and the
// scorched ground a destroyed one leaves.
constexpr int kBuildingGroundTexture = 52;
constexpr int kScorchedGroundTexture = 136;

// Texture number (from 1) of variant v (0..7) of a terrain.
int LandTextureNumber(Terrain terrain, int variant);
// The 64 x 64 ARGB 4444 picture of entry (texture number - 1).
std::vector<std::uint16_t> LandTexturePixels(int entry);
// The whole file with count entries (the first count of the sample set).
std::vector<std::uint8_t> BuildLandTexturesDat(int count = kLandTextureCount);
// The 44 x 43 24-bit BMP whose blue bytes are the blend mask.
std::vector<std::uint8_t> MakeLandMaskBmp();
// The mask intensity the bitmap holds at (x, y), row 0 at the top.
std::uint8_t LandMaskValue(int x, int y);
// Entry {u16 width, u16 height, ARGB 4444 pixels} of burnt stain i.
std::vector<std::uint8_t> MakeBurntStainEntry(int i);

bool WriteLandTextures(const std::string& outDir);
bool WriteMapResources(const std::string& outDir);

} // namespace sampledata
