#include "land_textures.h"

#include <cmath>

#include "archives.h"
#include "images.h"
#include "platform/bytes.h"
#include "sample_data.h"
#include "terrain_noise.h"

namespace sampledata {

namespace {

constexpr int kSide = 64;

struct Rgb {
    float r, g, b;
};

// Order of the terrains in the file: eight variants each from entry 0, then the mixed variants.
constexpr Terrain kTerrains[] = {Terrain::Grass, Terrain::Earth, Terrain::Sand, Terrain::Rock,
                                 Terrain::Snow,  Terrain::Field, Terrain::Mud};
constexpr int kTerrainCount = 7;

Rgb Mix(Rgb a, Rgb b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scale(Rgb a, float k)
{
    return {a.r * k, a.g * k, a.b * k};
}

// One pixel of a terrain at (x, y) of a 64-pixel tile; the noise wraps at the tile's edge.
Rgb TerrainPixel(Terrain t, int variant, int x, int y, std::uint32_t seed)
{
    const float fx = x / 8.0f;
    const float fy = y / 8.0f;
    const float broad = FractalNoise(fx, fy, seed, 3, 8);
    const float fine = ValueNoise(x / 2.0f, y / 2.0f, seed + 7, 32);
    const float grain = HashUnit(x, y, seed + 99);
    const float tint = variant / 7.0f;
    switch (t) {
    case Terrain::Grass: {
        Rgb c = Mix({62, 104, 36}, {96, 128, 48}, broad);
        c = Mix(c, {80, 96, 40}, tint * 0.5f);
        // Blades: short dark and light flecks.
        const float blade = grain > 0.85f ? 1.25f : grain < 0.12f ? 0.75f : 1.0f;
        return Scale(c, (0.85f + 0.3f * fine) * blade);
    }
    case Terrain::Earth: {
        Rgb c = Mix({104, 76, 50}, {138, 104, 70}, broad);
        c = Mix(c, {120, 90, 60}, tint * 0.4f);
        const float pebble = grain > 0.93f ? 1.35f : 1.0f;
        return Scale(c, (0.8f + 0.35f * fine) * pebble);
    }
    case Terrain::Sand: {
        Rgb c = Mix({196, 176, 120}, {222, 204, 150}, broad);
        c = Mix(c, {206, 180, 130}, tint * 0.5f);
        // Wind ripples across the tile (one whole wave count per tile, so it wraps).
        const float ripple = 0.94f + 0.06f * std::sin((x + y * 0.5f + fine * 6) * 6.2831853f * 4 / kSide);
        return Scale(c, ripple * (0.92f + 0.12f * grain));
    }
    case Terrain::Rock: {
        Rgb c = Mix({108, 106, 100}, {150, 146, 138}, broad);
        c = Mix(c, {120, 112, 104}, tint * 0.5f);
        // Cracks where the ridged noise comes close to its middle.
        const float ridge = std::fabs(FractalNoise(fx * 0.7f, fy * 0.7f, seed + 3, 3, 6) - 0.5f);
        const float crack = ridge < 0.035f ? 0.55f : 1.0f;
        return Scale(c, (0.8f + 0.3f * fine) * crack);
    }
    case Terrain::Snow: {
        Rgb c = Mix({214, 222, 236}, {246, 248, 252}, broad);
        c = Mix(c, {200, 212, 232}, tint * 0.4f);
        return Scale(c, 0.93f + 0.07f * fine + (grain > 0.97f ? 0.05f : 0));
    }
    case Terrain::Field: {
        // Furrows: ploughed earth, green shoots or ripe wheat by variant, in rows of 8 pixels.
        static const Rgb kCrop[] = {{112, 80, 52}, {92, 128, 50}, {206, 176, 88}, {150, 150, 60}};
        const Rgb crop = kCrop[variant % 4];
        const float row = 0.5f + 0.5f * std::sin((x + y) * 6.2831853f / 8.0f);
        Rgb c = Mix(Scale(crop, 0.72f), crop, row);
        return Scale(c, 0.88f + 0.2f * fine * (0.5f + broad));
    }
    case Terrain::Mud: {
        Rgb c = Mix({70, 62, 44}, {96, 88, 58}, broad);
        const float puddle = FractalNoise(fx, fy, seed + 11, 2, 8) > 0.7f ? 0.7f : 1.0f;
        Rgb out = Scale(c, (0.85f + 0.25f * fine) * puddle);
        if (puddle < 1.0f)
            out = Mix(out, {70, 84, 92}, 0.4f);
        return out;
    }
    }
    return {128, 128, 128};
}

std::vector<std::uint16_t> Picture(std::uint32_t seed, auto pixel)
{
    std::vector<std::uint16_t> px(kSide * kSide);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const Rgb c = pixel(x, y);
            // A little dither keeps the 4-bit channels from banding.
            const float d = (HashUnit(x, y, seed + 5) - 0.5f) * 14;
            px[y * kSide + x] = Pack4444(255, Clamp255(c.r + d), Clamp255(c.g + d), Clamp255(c.b + d));
        }
    }
    return px;
}

void AverageColour(const std::vector<std::uint16_t>& px, std::uint8_t rgb[3])
{
    std::uint64_t sum[3] = {};
    for (std::uint16_t p : px) {
        sum[0] += ((p >> 8) & 15) * 17;
        sum[1] += ((p >> 4) & 15) * 17;
        sum[2] += (p & 15) * 17;
    }
    for (int c = 0; c < 3; ++c)
        rgb[c] = static_cast<std::uint8_t>(sum[c] / px.size());
}

} // namespace

int LandTextureNumber(Terrain terrain, int variant)
{
    return static_cast<int>(terrain) * kLandTextureVariants + (variant % kLandTextureVariants) + 1;
}

std::vector<std::uint16_t> LandTexturePixels(int entry)
{
    const std::uint32_t seed = 1000u + static_cast<std::uint32_t>(entry) * 17u;
    if (entry + 1 == kBuildingGroundTexture) {
        // Trampled earth strewn with gravel.
        return Picture(seed, [&](int x, int y) {
            Rgb c = TerrainPixel(Terrain::Earth, 3, x, y, seed);
            if (HashUnit(x, y, seed + 21) > 0.9f)
                c = {150, 146, 136};
            return Scale(c, 0.9f);
        });
    }
    if (entry + 1 == kScorchedGroundTexture) {
        // Scorched ground: dark ash with a few embers of burnt earth.
        return Picture(seed, [&](int x, int y) {
            const float n = FractalNoise(x / 8.0f, y / 8.0f, seed, 3, 8);
            Rgb c = Mix({34, 30, 26}, {84, 66, 48}, n * n);
            return Scale(c, 0.85f + 0.3f * HashUnit(x, y, seed + 1));
        });
    }
    int kind = entry / kLandTextureVariants;
    int variant = entry % kLandTextureVariants;
    if (kind >= kTerrainCount) {
        // The later entries repeat the terrains with other seeds, so large maps vary more.
        kind = (entry - kTerrainCount * kLandTextureVariants) % kTerrainCount;
        variant = entry % kLandTextureVariants;
    }
    return Picture(seed, [&](int x, int y) { return TerrainPixel(kTerrains[kind], variant, x, y, seed); });
}

std::vector<std::uint8_t> BuildLandTexturesDat(int count)
{
    std::vector<std::uint8_t> out(2 + 3 * count);
    plat::WriteU16LE(out.data(), static_cast<std::uint16_t>(count));
    std::vector<std::vector<std::uint16_t>> pictures(count);
    for (int i = 0; i < count; ++i) {
        pictures[i] = LandTexturePixels(i);
        AverageColour(pictures[i], out.data() + 2 + 3 * i);
    }
    for (const auto& px : pictures) {
        const std::size_t at = out.size();
        out.resize(at + px.size() * 2);
        for (std::size_t k = 0; k < px.size(); ++k)
            plat::WriteU16LE(out.data() + at + 2 * k, px[k]);
    }
    return out;
}

std::uint8_t LandMaskValue(int x, int y)
{
    // Opaque in the middle of the sub-tile, fading to clear at its edge, with a ragged rim so that
    // neighbouring grounds interlock instead of meeting on a straight line.
    const float dx = (x - 21.0f) / 21.0f;
    const float dy = (y - 21.0f) / 21.0f;
    const float r = std::sqrt(dx * dx + dy * dy) + (FractalNoise(x / 5.0f, y / 5.0f, 4242, 2) - 0.5f) * 0.35f;
    const float t = 1.0f - (r - 0.45f) / 0.55f;
    return static_cast<std::uint8_t>(Clamp255(t * 255));
}

std::vector<std::uint8_t> MakeLandMaskBmp()
{
    std::vector<std::uint32_t> px(44 * 43);
    for (int y = 0; y < 43; ++y)
        for (int x = 0; x < 44; ++x) {
            const std::uint32_t v = x < 43 ? LandMaskValue(x, y) : 0;
            px[y * 44 + x] = (v << 16) | (v << 8) | v;
        }
    return MakeBmp24(44, 43, px);
}

std::vector<std::uint8_t> MakeBurntStainEntry(int i)
{
    const int side = 32 + 16 * (i % 3);
    std::vector<std::uint8_t> out(4 + side * side * 2);
    plat::WriteU16LE(out.data(), static_cast<std::uint16_t>(side));
    plat::WriteU16LE(out.data() + 2, static_cast<std::uint16_t>(side));
    const float c = (side - 1) / 2.0f;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            // A flattened blot of soot, darker at its heart, its rim frayed by noise.
            const float dx = (x - c) / c;
            const float dy = (y - c) / (c * 0.6f);
            const float r = std::sqrt(dx * dx + dy * dy) + (FractalNoise(x / 4.0f, y / 4.0f, 77u + i, 3) - 0.5f) * 0.6f;
            const float a = r < 1 ? (1 - r) * 1.6f : 0;
            const int grey = Clamp255(20 + 40 * r);
            plat::WriteU16LE(out.data() + 4 + 2 * (y * side + x), Pack4444(Clamp255(a * 255), grey, grey - 4, grey - 8));
        }
    return out;
}

bool WriteLandTextures(const std::string& outDir)
{
    const std::vector<std::uint8_t> dat = BuildLandTexturesDat();
    const std::vector<std::uint8_t> mask = MakeLandMaskBmp();
    // The landscape filter: a soft pattern of light and dark blotches added over the ground.
    std::vector<std::uint32_t> filter(256 * 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const float n = FractalNoise(x / 32.0f, y / 32.0f, 555, 4, 8);
            const std::uint32_t v = static_cast<std::uint32_t>(Clamp255(n * 60));
            filter[y * 256 + x] = 0xFF000000u | (v << 16) | (v << 8) | v;
        }
    const std::vector<std::uint8_t> tga = MakeTga32(256, 256, filter);
    return WriteFileBytes(outDir, "Data/LandTextures/LandTextures.dat", dat.data(), dat.size())
        && WriteFileBytes(outDir, "Data/LandTextures/m44.bmp", mask.data(), mask.size())
        && WriteFileBytes(outDir, "Data/LandTextures/Filter.tga", tga.data(), tga.size());
}

bool WriteMapResources(const std::string& outDir)
{
    // The selection ring: a thin green ellipse laid on the ground.
    std::vector<std::uint16_t> select(64 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            const float dx = (x - 31.5f) / 30.0f;
            const float dy = (y - 15.5f) / 14.0f;
            const float r = std::fabs(std::sqrt(dx * dx + dy * dy) - 0.9f);
            select[y * 64 + x] = r < 0.08f ? Pack4444(Clamp255(255 * (1 - r / 0.08f)), 80, 255, 80) : 0;
        }
    // The unit flash: a white glow that fades from the middle.
    std::vector<std::uint16_t> flash(32 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const float dx = (x - 15.5f) / 15.5f;
            const float dy = (y - 15.5f) / 15.5f;
            const float a = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
            flash[y * 32 + x] = Pack4444(Clamp255(a * a * 255), 255, 255, 230);
        }
    std::vector<LesSource> stains;
    for (int i = 0; i < 8; ++i)
        stains.push_back({"stain" + std::to_string(i), static_cast<std::uint16_t>(i), MakeBurntStainEntry(i)});
    const std::vector<std::uint8_t> sel = Make444(64, 32, select);
    const std::vector<std::uint8_t> fl = Make444(32, 32, flash);
    return WriteFileBytes(outDir, "Data/Misc/Select.444", sel.data(), sel.size())
        && WriteFileBytes(outDir, "Data/Misc/UnitFlash.444", fl.data(), fl.size())
        && WriteLesArchive(outDir, "Data/Misc/BurntStains.les", stains);
}

} // namespace sampledata
