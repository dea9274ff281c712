#include "water.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "archives.h"
#include "core/memory_stream.h"
#include "images.h"
#include "sample_data.h"

namespace sampledata {

namespace {

constexpr double kPi = 3.14159265358979323846;

// A 4 x 4 ordered dither, so that 4-bit channels still show smooth gradients.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

std::uint16_t Pack4444(double a, double r, double g, double b, int x, int y)
{
    const double t = (kBayer[y & 3][x & 3] + 0.5) / 16.0;
    auto q = [t](double v) { return std::clamp(static_cast<int>(v * 15.0 + t), 0, 15); };
    return static_cast<std::uint16_t>((q(a) << 12) | (q(r) << 8) | (q(g) << 4) | q(b));
}

// Deterministic value noise in [0, 1) from integer coordinates.
std::uint32_t Mix(std::uint32_t h)
{
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

double Hash01(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    const std::uint32_t h = Mix(Mix(Mix(seed * 0x9E3779B9u) ^ x) + 0x7F4A7C15u * (y + 1));
    return (h & 0xFFFFFF) / static_cast<double>(0x1000000);
}

struct Wave {
    int kx, ky, speed;
    double amplitude;
};

} // namespace

std::vector<AnimationFrame> DrawWaterFrames(int count, int size)
{
    // Whole numbers of wave lengths across the picture and of periods over the loop, so the
    // picture tiles seamlessly and the animation loops without a jump.
    static constexpr Wave kWaves[] = {{2, 1, 1, 0.45}, {-1, 3, 2, 0.30}, {3, -2, -1, 0.22}, {5, 4, 3, 0.12},
                                      {-7, 2, 2, 0.08}};
    std::vector<AnimationFrame> frames;
    for (int f = 0; f < count; ++f) {
        AnimationFrame frame{size, size, std::vector<std::uint16_t>(static_cast<std::size_t>(size) * size)};
        const double t = static_cast<double>(f) / count;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                double h = 0.0, slope = 0.0;
                for (const Wave& w : kWaves) {
                    const double phase = 2 * kPi * ((w.kx * x + w.ky * y) / static_cast<double>(size) + w.speed * t);
                    h += w.amplitude * std::sin(phase);
                    slope += w.amplitude * w.kx * std::cos(phase);
                }
                // Deep blue-green in the troughs, lighter on the faces turned to the light, and
                // white glints where crests meet.
                const double light = std::clamp(0.5 + 0.35 * h + 0.05 * slope, 0.0, 1.0);
                double r = 0.10 + 0.22 * light, g = 0.24 + 0.26 * light, b = 0.32 + 0.26 * light;
                const double glint = std::max(0.0, h - 0.9) * 0.9;
                r += glint;
                g += glint;
                b += glint;
                frame.pixels[static_cast<std::size_t>(y) * size + x] = Pack4444(1.0, r, g, b, x, y);
            }
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::vector<AnimationFrame> DrawSurfFrames(int count, int width, int height)
{
    std::vector<AnimationFrame> frames;
    for (int f = 0; f < count; ++f) {
        AnimationFrame frame{width, height, std::vector<std::uint16_t>(static_cast<std::size_t>(width) * height)};
        const double t = static_cast<double>(f) / count;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                // Distance from the shore line (the middle row), 0 there and 1 at the quad's sides.
                const double d = std::abs((y + 0.5) - height / 2.0) / (height / 2.0);
                const double ripple = 0.08 * std::sin(2 * kPi * (3.0 * x / width + t))
                    + 0.05 * std::sin(2 * kPi * (7.0 * x / width - 2 * t));
                // A foam line rolls in from the side toward the shore and breaks there.
                const double front = 1.0 - t + ripple;
                const double line = std::exp(-std::pow((d - front) * 9.0, 2.0)) * (0.4 + 0.6 * t);
                const double edge = std::exp(-std::pow((d - ripple * 0.5) * 5.0, 2.0));
                const double speckle = Hash01(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y + f * 97), 7) > 0.6 ? 1.0 : 0.7;
                const double alpha = std::clamp((0.85 * edge + 0.7 * line) * speckle, 0.0, 1.0);
                frame.pixels[static_cast<std::size_t>(y) * width + x] = Pack4444(alpha, 0.92, 0.97, 1.0, x, y);
            }
        frames.push_back(std::move(frame));
    }
    return frames;
}

AnimationFrame DrawLightSpot(int index)
{
    const int w = 12 + 4 * index, h = std::max(4, w / 2);
    AnimationFrame frame{w, h, std::vector<std::uint16_t>(static_cast<std::size_t>(w) * h)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = (x + 0.5 - w / 2.0) / (w / 2.0), dy = (y + 0.5 - h / 2.0) / (h / 2.0);
            const double glow = std::exp(-3.0 * (dx * dx + dy * dy));
            // A thin horizontal streak, as sunlight breaks on small waves.
            const double streak = std::exp(-40.0 * dy * dy) * std::max(0.0, 1.0 - std::abs(dx)) * 0.6;
            const double a = std::clamp(glow * 0.2 + streak * 0.6, 0.0, 1.0);
            frame.pixels[static_cast<std::size_t>(y) * w + x] = Pack4444(a, 0.85, 0.92, 1.0, x, y);
        }
    return frame;
}

namespace {

struct WaterField {
    int width = 0;
    int height = 0;
    std::span<const std::uint8_t> tiles;
    std::uint32_t seed = 1;

    std::uint8_t Tile(int x, int y) const
    {
        x = std::clamp(x, 0, width - 1);
        y = std::clamp(y, 0, height - 1);
        return tiles[static_cast<std::size_t>(y) * width + x];
    }
    // Share of water around a map pixel (0 land .. 1 water) and which water is nearer.
    double At(double px, double py, std::uint8_t& cls) const
    {
        constexpr double kSigma = 38.0;
        double sum = 0.0, water = 0.0, sea = 0.0, river = 0.0;
        const int tx = static_cast<int>(std::floor(px / 96.0)), ty = static_cast<int>(std::floor(py / 24.0));
        for (int y = ty - 4; y <= ty + 4; ++y)
            for (int x = tx - 2; x <= tx + 2; ++x) {
                const double cx = (2 * x - ((y & 1) == 0 ? 1 : 0)) * 48.0 + 48.0, cy = 24.0 * y;
                const double dx = px - cx, dy = (py - cy) * 2.0;
                const double w = std::exp(-(dx * dx + dy * dy) / (2 * kSigma * kSigma));
                const std::uint8_t t = Tile(x, y);
                sum += w;
                if (t != kTileLand)
                    water += w;
                (t == kTileRiver ? river : sea) += t != kTileLand ? w : 0.0;
            }
        cls = river > sea ? kTileRiver : kTileSea;
        const double ragged = (Hash01(static_cast<std::uint32_t>(px), static_cast<std::uint32_t>(py), seed) - 0.5) * 0.12;
        return sum > 0.0 ? water / sum + ragged : 0.0;
    }
};

constexpr std::array<std::array<int, 2>, 4> kCorners = {{{0, 0}, {48, 0}, {48, 24}, {0, 24}}};

} // namespace

std::vector<std::uint8_t> BuildWaterBlock(int width, int height, std::span<const std::uint8_t> tiles,
                                          std::uint32_t seed)
{
    const int cols = 2 * width, rows = height;
    std::vector<std::uint16_t> cells(static_cast<std::size_t>(cols) * rows, 0);
    struct Zone {
        std::uint16_t value;
        std::vector<std::array<std::uint8_t, 2>> points;
    };
    std::vector<Zone> zones;
    if (width > 0 && height > 0 && tiles.size() >= static_cast<std::size_t>(width) * height) {
        const WaterField field{width, height, tiles, seed};
        // The field at every cell corner, shared by the neighbouring cells so their shores meet.
        std::vector<double> corner(static_cast<std::size_t>(cols + 1) * (rows + 1));
        std::vector<std::uint8_t> cornerClass(corner.size());
        for (int r = 0; r <= rows; ++r)
            for (int c = 0; c <= cols; ++c) {
                const std::size_t i = static_cast<std::size_t>(r) * (cols + 1) + c;
                corner[i] = field.At(48.0 * c, 24.0 * r, cornerClass[i]);
            }
        auto valueFor = [&](std::uint8_t cls, int c, int r) {
            const std::uint16_t kind = cls == kTileRiver ? 2 : 1;
            // One look for all water, so that sea and river meet without a seam in the waves.
            const std::uint16_t look = 1;
            std::uint16_t v = static_cast<std::uint16_t>((kind << 11) | look);
            if (Hash01(static_cast<std::uint32_t>(c), static_cast<std::uint32_t>(r), seed + 11) < 0.025)
                v |= static_cast<std::uint16_t>((1 + static_cast<int>(Hash01(c, r, seed + 12) * 7)) << 4);
            return v;
        };
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                double f[4];
                int inside = 0;
                std::uint8_t cls = kTileSea;
                for (int k = 0; k < 4; ++k) {
                    const std::size_t i = static_cast<std::size_t>(r + kCorners[k][1] / 24) * (cols + 1) + c + kCorners[k][0] / 48;
                    f[k] = corner[i] - 0.5;
                    if (f[k] > 0) {
                        ++inside;
                        cls = cornerClass[i];
                    }
                }
                std::uint16_t& cell = cells[static_cast<std::size_t>(r) * cols + c];
                if (inside == 0)
                    continue;
                if (inside == 4 || zones.size() >= 32767) {
                    cell = valueFor(cls, c, r);
                    continue;
                }
                // Walk the cell's outline: water corners, and where the shore crosses an edge,
                // the crossing; where the walk leaves the water it turns inland through a point
                // inside the cell, so the shore has an edge that is not on the border.
                Zone zone{static_cast<std::uint16_t>(valueFor(cls, c, r) & ~0x70), {}};
                auto lerp = [](int a, int b, double t) { return static_cast<int>(std::lround(a + (b - a) * t)); };
                int exitX = -1, exitY = -1;
                // Starting at a water corner, every entry into the water follows an exit.
                int first = 0;
                while (!(f[first] > 0))
                    ++first;
                for (int step = 0; step < 4; ++step) {
                    const int k = (first + step) % 4;
                    const int n = (k + 1) % 4;
                    if (f[k] > 0)
                        zone.points.push_back({static_cast<std::uint8_t>(kCorners[k][0]), static_cast<std::uint8_t>(kCorners[k][1])});
                    if ((f[k] > 0) != (f[n] > 0)) {
                        const double t = f[k] / (f[k] - f[n]);
                        const int x = lerp(kCorners[k][0], kCorners[n][0], t), y = lerp(kCorners[k][1], kCorners[n][1], t);
                        if (f[k] > 0) {
                            exitX = x;
                            exitY = y;
                            zone.points.push_back({static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)});
                        } else {
                            if (exitX >= 0) {
                                const double jitter = (Hash01(c, r, seed + 5) - 0.5) * 8.0;
                                const int mx = std::clamp(static_cast<int>((exitX + x) / 2 + jitter), 2, 46);
                                const int my = std::clamp(static_cast<int>((exitY + y) / 2 - jitter / 2), 2, 22);
                                zone.points.push_back({static_cast<std::uint8_t>(mx), static_cast<std::uint8_t>(my)});
                            }
                            zone.points.push_back({static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)});
                        }
                    }
                }
                if (zone.points.size() < 3)
                    continue;
                cell = static_cast<std::uint16_t>(0x8000 | zones.size());
                zones.push_back(std::move(zone));
            }
    }
    TOfStreamMemory out;
    for (std::uint16_t v : cells)
        out.WriteU16(v);
    out.WriteU16(static_cast<std::uint16_t>(zones.size()));
    for (const Zone& z : zones) {
        out.WriteU8(1);
        out.WriteU16(z.value);
        out.WriteU8(static_cast<std::uint8_t>(z.points.size()));
        for (const auto& p : z.points) {
            out.WriteU8(p[0]);
            out.WriteU8(p[1]);
        }
    }
    return {out.Data(), out.Data() + out.Size()};
}

std::vector<std::uint8_t> MakeSampleWaterTiles(int width, int height)
{
    std::vector<std::uint8_t> tiles(static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0), kTileLand);
    if (width <= 0 || height <= 0)
        return tiles;
    auto centre = [](int x, int y) {
        return std::array<double, 2>{(2 * x - ((y & 1) == 0 ? 1 : 0)) * 48.0 + 48.0, 24.0 * y};
    };
    // The sea: everything right of a wavy coast.
    for (int y = 0; y < height; ++y) {
        const double coast = width * 0.72 + 2.0 * std::sin(y * 0.15) + 1.2 * std::sin(y * 0.37 + 1.0);
        for (int x = 0; x < width; ++x)
            if (x > coast)
                tiles[static_cast<std::size_t>(y) * width + x] = kTileSea;
    }
    // The river: a meander from the top edge down to the coast.
    std::vector<std::array<double, 2>> path;
    for (int i = 0; i <= 400; ++i) {
        const double t = i / 400.0;
        const double tx = width * (0.25 + 0.55 * t) + 2.5 * std::sin(t * 11.0);
        const double ty = height * 0.62 * t;
        path.push_back({tx * 96.0, ty * 24.0});
    }
    constexpr double kHalfWidth = 70.0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t& t = tiles[static_cast<std::size_t>(y) * width + x];
            if (t != kTileLand)
                continue;
            const auto c = centre(x, y);
            for (const auto& p : path) {
                const double dx = c[0] - p[0], dy = (c[1] - p[1]) * 2.0;
                if (dx * dx + dy * dy < kHalfWidth * kHalfWidth) {
                    t = kTileRiver;
                    break;
                }
            }
        }
    return tiles;
}

bool WriteWaterFiles(const std::string& outDir)
{
    // The brush dot of the editor's water overlay: bright, so it shows over water and land.
    std::vector<std::uint32_t> brush(8 * 8, 0xFFE040);
    for (int i = 0; i < 8; ++i) {
        brush[i] = brush[56 + i] = brush[i * 8] = brush[i * 8 + 7] = 0x806000;
    }
    const auto brushBmp = MakeBmp24(8, 8, brush);
    if (!WriteFileBytes(outDir, "Data\\Misc\\Water\\Brush.bmp", brushBmp.data(), brushBmp.size()))
        return false;
    if (!WriteLesArchive(outDir, "Data\\Misc\\Water\\Anim0\\Anim_0.les",
                         MakeAnimationPack(DrawWaterFrames(16, 128), std::nullopt))
        || !WriteLesArchive(outDir, "Data\\Misc\\Water\\CoastWater0_0.les",
                            MakeAnimationPack(DrawSurfFrames(12, 64, 32), std::nullopt)))
        return false;
    for (int i = 0; i < 7; ++i) {
        const AnimationFrame spot = DrawLightSpot(i);
        const auto file = Make444(spot.width, spot.height, spot.pixels);
        if (!WriteFileBytes(outDir, "Data\\Misc\\Water\\LightSpots\\LSpot" + std::to_string(i) + ".444", file.data(),
                            file.size()))
            return false;
    }
    return true;
}

} // namespace sampledata
