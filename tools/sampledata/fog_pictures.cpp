#include "fog_pictures.h"

#include <algorithm>
#include <cmath>

#include "images.h"
#include "sample_data.h"

namespace sampledata {

namespace {

// Smooth value noise on a lattice of the given period in x, so the picture wraps along the curve.
double LatticeValue(int x, int y, int period)
{
    std::uint32_t h = static_cast<std::uint32_t>(((x % period) + period) % period) * 374761393u +
                      static_cast<std::uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

double Noise(double x, double y, int period)
{
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double top = LatticeValue(x0, y0, period) * (1 - sx) + LatticeValue(x0 + 1, y0, period) * sx;
    const double bottom = LatticeValue(x0, y0 + 1, period) * (1 - sx) + LatticeValue(x0 + 1, y0 + 1, period) * sx;
    return top * (1 - sy) + bottom * sy;
}

} // namespace

std::vector<std::uint32_t> MakeSuperFogTexels()
{
    constexpr int n = kSuperFogSize;
    std::vector<std::uint32_t> texels(static_cast<std::size_t>(n) * n);
    for (int y = 0; y < n; ++y) {
        const double v = y / double(n - 1); // 0 outer edge, 1 inner edge
        for (int x = 0; x < n; ++x) {
            // Two octaves of drifting mist that thin the band unevenly along its length.
            const double mist = 0.65 * Noise(x / 8.0, y / 8.0, n / 8) + 0.35 * Noise(x / 4.0, y / 4.0 + 17, n / 4);
            const double ramp = std::clamp(v + (mist - 0.5) * 0.35 * (1 - v) * 2, 0.0, 1.0);
            const double alpha = ramp * ramp * (3 - 2 * ramp);
            // A cold grey haze in the thin outer part, darkening to the body's black.
            const double shade = (1 - v) * (0.55 + 0.45 * mist);
            const auto r = static_cast<std::uint32_t>(std::lround(70 * shade));
            const auto g = static_cast<std::uint32_t>(std::lround(76 * shade));
            const auto b = static_cast<std::uint32_t>(std::lround(88 * shade));
            const auto a = y == n - 1 ? 255u : static_cast<std::uint32_t>(std::lround(255 * alpha));
            texels[static_cast<std::size_t>(y) * n + x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
    return texels;
}

std::vector<std::uint8_t> MakeSuperFogTga()
{
    std::vector<std::uint32_t> file = MakeSuperFogTexels();
    std::reverse(file.begin(), file.end());
    return MakeTga32(kSuperFogSize, kSuperFogSize, file);
}

bool WriteFogPictures(const std::string& outDir)
{
    const auto tga = MakeSuperFogTga();
    return WriteFileBytes(outDir, "Data\\Misc\\Fog\\SuperFog.tga", tga.data(), tga.size());
}

} // namespace sampledata
