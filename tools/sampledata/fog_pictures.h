#pragma once
// The fog's soft edge: the picture blended between the fog's inner and outer offset curves.
#include <cstdint>
#include <string>
#include <vector>

namespace sampledata {

constexpr int kSuperFogSize = 64;
// ARGB 8888, top row first as the texture holds it: row 0 is the outer (clear) edge of the band,
// the last row the inner edge, opaque black where it meets the fog's body. Columns run along the
// curve and wrap, so neighbouring pieces of the band join.
std::vector<std::uint32_t> MakeSuperFogTexels();
// The TGA file of the texels, stored in the reverse pixel order the loader turns back.
std::vector<std::uint8_t> MakeSuperFogTga();

// Writes "Data\Misc\Fog\SuperFog.tga".
bool WriteFogPictures(const std::string& outDir);

} // namespace sampledata
