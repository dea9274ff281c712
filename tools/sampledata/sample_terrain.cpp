#include "sample_terrain.h"

#include <algorithm>
#include <cmath>

namespace sampledata {
namespace {

// A small hash of the lattice point: its own generator, never the game's random table.
float Lattice(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    std::uint32_t h = seed * 0x9E3779B9u ^ static_cast<std::uint32_t>(x) * 0x85EBCA6Bu
        ^ static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return static_cast<float>(h & 0xFFFFu) / 65535.0f;
}

float Smooth(float t)
{
    return t * t * (3.0f - 2.0f * t);
}

// Value noise on a lattice of the given spacing, 0..1.
float ValueNoise(float x, float y, float spacing, std::uint32_t seed)
{
    const float gx = x / spacing;
    const float gy = y / spacing;
    const auto x0 = static_cast<std::int32_t>(std::floor(gx));
    const auto y0 = static_cast<std::int32_t>(std::floor(gy));
    const float tx = Smooth(gx - static_cast<float>(x0));
    const float ty = Smooth(gy - static_cast<float>(y0));
    const float top = Lattice(x0, y0, seed) + (Lattice(x0 + 1, y0, seed) - Lattice(x0, y0, seed)) * tx;
    const float bottom = Lattice(x0, y0 + 1, seed) + (Lattice(x0 + 1, y0 + 1, seed) - Lattice(x0, y0 + 1, seed)) * tx;
    return top + (bottom - top) * ty;
}

} // namespace

std::vector<std::uint8_t> MakeSampleHeights(int width, int height, std::uint32_t seed)
{
    std::vector<std::uint8_t> heights(static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (x < 2 || y < 4 || x >= width - 2 || y >= height - 4)
                continue;
            // Columns are twice as wide as rows are tall on screen: stretch y to keep hills round.
            const float px = static_cast<float>(x) * 2.0f;
            const float py = static_cast<float>(y) * 0.5f;
            const float hills = ValueNoise(px, py, 24.0f, seed) * 70.0f + ValueNoise(px, py, 9.0f, seed + 1) * 25.0f;
            const float knoll = std::max(0.0f, ValueNoise(px, py, 14.0f, seed + 2) - 0.7f) * 300.0f;
            const float value = std::max(0.0f, hills + knoll - 30.0f);
            heights[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(std::min(value, 200.0f));
        }
    return heights;
}

} // namespace sampledata
