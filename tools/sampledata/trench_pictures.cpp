#include "trench_pictures.h"

#include <algorithm>
#include <cmath>

#include "archives.h"
#include "images.h"
#include "map/trench_pieces.h"
#include "map/trenches.h"
#include "put_bytes.h"
#include "sample_data.h"
#include "terrain_noise.h"

namespace sampledata {

namespace {

struct Rgb {
    float r, g, b;
};

Rgb Mix(Rgb a, Rgb b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

std::uint16_t Pixel(int alpha, Rgb c, float light)
{
    return Pack4444(alpha, Clamp255(c.r * light), Clamp255(c.g * light), Clamp255(c.b * light));
}

constexpr Rgb kEarth{112, 86, 56};
constexpr Rgb kDarkEarth{62, 46, 30};
constexpr Rgb kSandbag{168, 150, 110};
constexpr Rgb kPlank{150, 108, 62};
constexpr Rgb kOldPlank{118, 84, 50};
constexpr Rgb kHull{70, 74, 66};
constexpr Rgb kRope{196, 176, 130};

// Distance of (x, y) from the segment (ax, ay)-(bx, by), and the position along it (0..1).
float SegmentDistance(float x, float y, float ax, float ay, float bx, float by, float& along)
{
    const float vx = bx - ax, vy = by - ay;
    const float len2 = vx * vx + vy * vy;
    along = len2 > 0 ? std::clamp(((x - ax) * vx + (y - ay) * vy) / len2, 0.0f, 1.0f) : 0.0f;
    const float dx = x - (ax + vx * along), dy = y - (ay + vy * along);
    return std::sqrt(dx * dx + dy * dy);
}

// A pontoon bridge across the sprite along its diagonal: dark floats under a deck of planks laid
// across the line, rope rails along both edges. built < 1 leaves the far planks out.
std::vector<std::uint16_t> DrawPontoon(bool rising, float built)
{
    const int n = kTrenchSpritePixels;
    std::vector<std::uint16_t> px(n * n, 0);
    // The line runs through the sprite's centre, flattened to the map's 2:1 diamonds.
    const float ax = 8, bx = n - 8;
    const float ay = rising ? n * 0.5f + 30 : n * 0.5f - 30;
    const float by = rising ? n * 0.5f - 30 : n * 0.5f + 30;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float t = 0;
            const float d = SegmentDistance(x + 0.5f, y + 0.5f, ax, ay, bx, by, t);
            const float grain = FractalNoise(x * 0.35f, y * 0.05f, 7u, 3);
            if (d < 11 && t <= built) {
                const int plank = static_cast<int>(t * 26);
                const bool gap = std::fmod(t * 26, 1.0f) < 0.12f;
                Rgb c = Mix(plank % 3 == 0 ? kOldPlank : kPlank, kDarkEarth, gap ? 0.6f : 0.0f);
                const float light = 0.8f + 0.35f * grain - d * 0.012f;
                px[y * n + x] = Pixel(255, c, light);
            } else if (d < 13.5f && t <= built) {
                px[y * n + x] = Pixel(255, kRope, 0.75f + 0.3f * grain);
            } else {
                // Five floats under the deck, across the line: their rounded ends show beyond the
                // planks, lit on the upper side.
                const float len = std::hypot(bx - ax, by - ay);
                for (int k = 0; k < 5; ++k) {
                    const float tk = 0.1f + 0.2f * static_cast<float>(k);
                    if (tk > built + 0.05f)
                        break;
                    const float along = (t - tk) * len;
                    const float e = (along / 6.0f) * (along / 6.0f) + (d / 19.0f) * (d / 19.0f);
                    if (e < 1.0f) {
                        const float shade = 0.55f + 0.45f * (1.0f - e) + 0.15f * grain;
                        px[y * n + x] = Pixel(255, kHull, shade);
                        break;
                    }
                }
            }
        }
    return px;
}

// A dug trench segment across the sprite: a dark channel with sandbag rims.
std::vector<std::uint16_t> DrawTrenchSegment(int kind, float built)
{
    const int n = kTrenchSpritePixels;
    std::vector<std::uint16_t> px(n * n, 0);
    const bool rising = kind == 2 || kind == 9 || kind == 10 || kind == 4 || kind == 5;
    // Straights span the sprite; ends and caps stop in the middle.
    const bool half = kind >= 3;
    const float ax = half && (kind == 3 || kind == 5 || kind == 7 || kind == 9) ? n * 0.5f : 10;
    const float bx = half && !(kind == 3 || kind == 5 || kind == 7 || kind == 9) ? n * 0.5f : n - 10;
    auto lineY = [&](float x) { return n * 0.5f + (rising ? -1.0f : 1.0f) * (x - n * 0.5f) * 0.5f; };
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float t = 0;
            const float d = SegmentDistance(x + 0.5f, y + 0.5f, ax, lineY(ax), bx, lineY(bx), t);
            const float noise = FractalNoise(x * 0.12f, y * 0.12f, 11u + kind, 4);
            const float depth = built * 9.0f;
            if (d < depth) {
                px[y * n + x] = Pixel(255, kDarkEarth, 0.55f + 0.4f * noise + d * 0.03f);
            } else if (d < 16) {
                const bool bag = std::fmod(t * 18 + (d > 12 ? 0.5f : 0.0f), 1.0f) > 0.15f;
                px[y * n + x] = Pixel(255, bag ? kSandbag : kEarth, 0.7f + 0.4f * noise - (d - 9) * 0.02f);
            } else if (d < 22) {
                px[y * n + x] = Pixel(static_cast<int>(255 * (22 - d) / 6), kEarth, 0.8f + 0.3f * noise);
            }
        }
    return px;
}

// The channel's arms from the piece's centre toward the texture's edges (v = 0 north, v = 1 south,
// u = 0 west, u = 1 east), by piece kind.
enum : std::uint8_t { kArmN = 1, kArmS = 2, kArmW = 4, kArmE = 8 };
constexpr std::uint8_t kPieceArms[16] = {
    kArmN | kArmS,                 // L
    kArmW | kArmE,                 // R
    kArmS,                         // LUE
    kArmN,                         // RDE
    kArmW,                         // RUE
    kArmE,                         // LDE
    kArmS | kArmE,                 // LC
    kArmN | kArmW,                 // RC
    kArmS | kArmW,                 // UC
    kArmN | kArmE,                 // DC
    kArmN | kArmS | kArmE,         // LUCross
    kArmN | kArmS | kArmW,         // RDCross
    kArmW | kArmE | kArmS,         // RUCross
    kArmW | kArmE | kArmN,         // LDCross
    kArmN | kArmS | kArmW | kArmE, // Cross
    0,                             // Dot
};

// Distance of a texel from the channel of a kind, in texels.
float ChannelDistance(int kind, float x, float y)
{
    const float c = kTrenchPiecePixels * 0.5f;
    float best = std::hypot(x - c, y - c);
    const std::uint8_t arms = kPieceArms[kind];
    if (arms & kArmN)
        best = std::min(best, y <= c ? std::fabs(x - c) : best);
    if (arms & kArmS)
        best = std::min(best, y >= c ? std::fabs(x - c) : best);
    if (arms & kArmW)
        best = std::min(best, x <= c ? std::fabs(y - c) : best);
    if (arms & kArmE)
        best = std::min(best, x >= c ? std::fabs(y - c) : best);
    return best;
}

} // namespace

std::vector<std::uint16_t> DrawTrenchSprite(int kind, float built)
{
    if (kind == 20 || kind == 21)
        return DrawPontoon(kind == 20, built);
    return DrawTrenchSegment(kind, built);
}

std::vector<std::uint8_t> BuildTrenchArchive()
{
    std::vector<LesSource> entries;
    auto add = [&](int id, const std::vector<std::uint16_t>& pixels) {
        std::vector<std::uint8_t> data;
        PutU16(data, kTrenchSpritePixels);
        PutU16(data, kTrenchSpritePixels);
        for (std::uint16_t p : pixels)
            PutU16(data, p);
        entries.push_back({"trench" + std::to_string(id), static_cast<std::uint16_t>(id), std::move(data)});
    };
    for (int kind : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 21}) {
        add(10 * kind, DrawTrenchSprite(kind, 1.0f));
        for (int f = 1; f <= 4; ++f)
            add(10 * kind + f, DrawTrenchSprite(kind, 0.2f * static_cast<float>(f)));
    }
    return BuildLesArchive(entries);
}

std::vector<std::uint16_t> DrawTrenchPiecePicture(int kind)
{
    const int n = kTrenchPiecePixels;
    std::vector<std::uint16_t> px(n * n);
    const float width = kind == 15 ? 9.0f : 7.0f;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float d = ChannelDistance(kind, x + 0.5f, y + 0.5f);
            const float noise = FractalNoise(x * 0.15f, y * 0.15f, 21u, 4, 0);
            if (d < width) {
                px[y * n + x] = 0; // the depth picture shows through the channel
            } else if (d < width + 5) {
                // Sandbags along the rim, lit from the upper left.
                const bool seam = ((x + y) / 5) % 2 == 0;
                px[y * n + x] = Pixel(255, seam ? kSandbag : Mix(kSandbag, kEarth, 0.4f), 0.75f + 0.35f * noise);
            } else {
                // Thrown-up spoil fading into the ground.
                const float fade = std::clamp((d - width - 5) / 14.0f, 0.0f, 1.0f);
                px[y * n + x] = Pixel(static_cast<int>(255 * (1.0f - fade)), kEarth, 0.7f + 0.45f * noise);
            }
        }
    return px;
}

std::vector<std::uint16_t> DrawTrenchPieceDepthPicture(int kind)
{
    const int n = kTrenchPiecePixels;
    std::vector<std::uint16_t> px(n * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float d = ChannelDistance(kind, x + 0.5f, y + 0.5f);
            const float noise = FractalNoise(x * 0.2f, y * 0.2f, 33u, 3, 0);
            // The floor darkens toward the walls; duckboards run along the channel's middle.
            const bool board = d < 3 && ((x + y) % 6) < 4;
            const Rgb c = board ? kOldPlank : kDarkEarth;
            px[y * n + x] = Pixel(255, c, std::max(0.25f, 0.85f - d * 0.04f) + 0.2f * noise);
        }
    return px;
}

bool WriteTrenchFiles(const std::string& outDir)
{
    const std::vector<std::uint8_t> archive = BuildTrenchArchive();
    if (!WriteFileBytes(outDir, kTrenchGraphicsPath, archive.data(), archive.size()))
        return false;
    for (int k = 0; k < kTrenchPieceKinds; ++k) {
        const std::string base = std::string(kTrenchPieceFolder) + g_TrenchPieceNames[k];
        const auto picture = Make444(kTrenchPiecePixels, kTrenchPiecePixels, DrawTrenchPiecePicture(k));
        const auto depth = Make444(kTrenchPiecePixels, kTrenchPiecePixels, DrawTrenchPieceDepthPicture(k));
        if (!WriteFileBytes(outDir, base + ".444", picture.data(), picture.size())
            || !WriteFileBytes(outDir, base + "_z.444", depth.data(), depth.size()))
            return false;
    }
    return true;
}

} // namespace sampledata
