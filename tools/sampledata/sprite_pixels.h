#pragma once
// Sprite pictures drawn from code: the pixels the texture and rasteriser fixtures and benchmarks
// use, in the same 16-bit texture formats the game's pictures are stored in.
#include <cstdint>
#include <vector>

namespace sampledata {

// A width x height ARGB 4444 sprite: an opaque shaded disc in the given colour (0..15 per channel)
// on the texture format's colour key 0x0F0F, so that keyed drawing leaves the corners untouched.
std::vector<std::uint16_t> MakeKeyedDisc4444(int width, int height, int red, int green, int blue);

// A width x height ARGB 4444 picture whose every pixel is distinct in its low bits: pixel (x, y)
// has alpha 15 and the colour (x & 15, y & 15, (x + y) & 15). Shows which texel landed where.
std::vector<std::uint16_t> MakeCoordinatePattern4444(int width, int height);

} // namespace sampledata
