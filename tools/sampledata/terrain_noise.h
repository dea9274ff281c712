#pragma once
// Noise for the sample terrain: value noise on a lattice that can wrap, so tiles repeat without seams.
#include <cmath>
#include <cstdint>

namespace sampledata {

inline std::uint32_t HashCell(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// 0..1 from the integer lattice point.
inline float HashUnit(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    return static_cast<float>(HashCell(x, y, seed) & 0xFFFF) / 65535.0f;
}

// Smooth value noise 0..1 at (x, y) in lattice units; period > 0 wraps the lattice.
inline float ValueNoise(float x, float y, std::uint32_t seed, int period = 0)
{
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    std::int32_t x0 = static_cast<std::int32_t>(fx);
    std::int32_t y0 = static_cast<std::int32_t>(fy);
    std::int32_t x1 = x0 + 1;
    std::int32_t y1 = y0 + 1;
    if (period > 0) {
        x0 = ((x0 % period) + period) % period;
        y0 = ((y0 % period) + period) % period;
        x1 = ((x1 % period) + period) % period;
        y1 = ((y1 % period) + period) % period;
    }
    float tx = x - fx;
    float ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const float a = HashUnit(x0, y0, seed) + (HashUnit(x1, y0, seed) - HashUnit(x0, y0, seed)) * tx;
    const float b = HashUnit(x0, y1, seed) + (HashUnit(x1, y1, seed) - HashUnit(x0, y1, seed)) * tx;
    return a + (b - a) * ty;
}

// Octaves of value noise, 0..1; each octave doubles the frequency (and the period).
inline float FractalNoise(float x, float y, std::uint32_t seed, int octaves, int period = 0)
{
    float sum = 0;
    float amp = 1;
    float norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += ValueNoise(x, y, seed + 31u * o, period) * amp;
        norm += amp;
        amp *= 0.5f;
        x *= 2;
        y *= 2;
        if (period > 0)
            period *= 2;
    }
    return sum / norm;
}

inline int Clamp255(float v)
{
    return v < 0 ? 0 : v > 255 ? 255 : static_cast<int>(v);
}

// ARGB 4444 from 8-bit channels.
inline std::uint16_t Pack4444(int a, int r, int g, int b)
{
    return static_cast<std::uint16_t>(((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4));
}

} // namespace sampledata
