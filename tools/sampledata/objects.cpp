#include "objects.h"

#include <algorithm>
#include <cmath>

#include "archives.h"
#include "map/map_objects.h"
#include "platform/bytes.h"
#include "terrain_noise.h"

namespace sampledata {

namespace {

constexpr int kSide = kObjectTextureSide;
constexpr std::uint16_t kKey = 0x0F0F; // the 4444 colour key: transparent

using Picture = std::vector<std::uint16_t>;

void Plot(Picture& pic, int x, int y, int r, int g, int b, int a = 255)
{
    if (x >= 0 && y >= 0 && x < kSide && y < kSide)
        pic[y * kSide + x] = Pack4444(a, Clamp255(r), Clamp255(g), Clamp255(b));
}

// Light falls from the upper left: brightness of a point of a sphere-like blob.
float Light(float dx, float dy)
{
    return std::clamp(0.75f - 0.45f * dx - 0.35f * dy, 0.3f, 1.25f);
}

// A round tree crown of leaf clumps on a trunk; the picture's cell is 64 x 128 at (cx0, cy0).
void DrawBroadleaf(Picture& pic, int cx0, int cy0, float size, std::uint32_t seed)
{
    const float cx = cx0 + 32.0f;
    const float base = cy0 + 124.0f;
    for (int y = static_cast<int>(base - 40); y < base; ++y)
        for (int x = static_cast<int>(cx - 3); x <= cx + 3; ++x) {
            const float s = x < cx ? 1.0f : 0.7f;
            Plot(pic, x, y, 92 * s, 64 * s, 40 * s);
        }
    const float rx = 26 * size;
    const float ry = 34 * size;
    const float ccy = base - 40 - ry * 0.7f;
    for (int y = static_cast<int>(ccy - ry); y <= ccy + ry; ++y)
        for (int x = static_cast<int>(cx - rx); x <= cx + rx; ++x) {
            const float dx = (x - cx) / rx;
            const float dy = (y - ccy) / ry;
            const float edge = (FractalNoise(x / 5.0f, y / 5.0f, seed, 3) - 0.5f) * 0.5f;
            if (dx * dx + dy * dy > 1 + edge)
                continue;
            const float leaves = 0.75f + 0.5f * ValueNoise(x / 2.5f, y / 2.5f, seed + 3);
            const float l = Light(dx, dy) * leaves;
            Plot(pic, x, y, 52 * l, 112 * l, 38 * l);
        }
}

// A fir: stacked dark green tiers narrowing to the top.
void DrawConifer(Picture& pic, int cx0, int cy0, float size, std::uint32_t seed)
{
    const float cx = cx0 + 32.0f;
    const float base = cy0 + 124.0f;
    for (int y = static_cast<int>(base - 16); y < base; ++y)
        for (int x = static_cast<int>(cx - 2); x <= cx + 2; ++x)
            Plot(pic, x, y, 80, 56, 36);
    const float height = 100 * size;
    const float top = base - 12 - height;
    for (int y = static_cast<int>(top); y < base - 12; ++y) {
        const float t = (y - top) / height;          // 0 at the tip
        const float tier = std::fmod(t * 4.0f, 1.0f); // each tier widens downwards
        const float half = (6 + 20 * size * t) * (0.6f + 0.4f * tier);
        for (int x = static_cast<int>(cx - half); x <= cx + half; ++x) {
            const float dx = (x - cx) / std::max(half, 1.0f);
            const float n = 0.8f + 0.4f * ValueNoise(x / 2.0f, y / 2.0f, seed);
            const float l = Light(dx, 0) * n * (0.8f + 0.3f * tier);
            Plot(pic, x, y, 30 * l, 82 * l, 44 * l);
        }
    }
}

// A boulder: a lumpy grey blob with a lit top.
void DrawStone(Picture& pic, int cx0, int cy0, float w, float h, std::uint32_t seed)
{
    const float cx = cx0 + 32.0f;
    const float cy = cy0 + 60.0f - h;
    for (int y = static_cast<int>(cy - h); y <= cy + h; ++y)
        for (int x = static_cast<int>(cx - w); x <= cx + w; ++x) {
            const float dx = (x - cx) / w;
            const float dy = (y - cy) / h;
            const float lump = (FractalNoise(x / 6.0f, y / 6.0f, seed, 2) - 0.5f) * 0.4f;
            if (dx * dx + dy * dy > 1 + lump)
                continue;
            const float n = 0.85f + 0.3f * ValueNoise(x / 1.5f, y / 1.5f, seed + 1);
            const float l = Light(dx, dy) * n;
            Plot(pic, x, y, 132 * l, 128 * l, 120 * l);
        }
}

// Soft dark ellipses of the shadows, one per 64 x 32 cell of the shadow texture.
void DrawShadow(Picture& pic, int cx0, int cy0)
{
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            const float dx = (x - 32) / 30.0f;
            const float dy = (y - 16) / 12.0f;
            const float r = dx * dx + dy * dy;
            if (r < 1)
                Plot(pic, cx0 + x, cy0 + y, 0, 0, 0, Clamp255((1 - r) * 150));
        }
}

// Miscellaneous objects: bush, the three special building sites (oil seep, ore heap, spring),
// fence, cart, haystack, ruin.
void DrawMisc(Picture& pic, int index, int cx0, int cy0)
{
    const float cx = cx0 + 32.0f;
    const float cy = cy0 + 40.0f;
    const std::uint32_t seed = 300u + index;
    for (int y = cy0; y < cy0 + 64; ++y)
        for (int x = cx0; x < cx0 + 64; ++x) {
            const float dx = (x - cx) / 28.0f;
            const float dy = (y - cy) / 20.0f;
            const float r2 = dx * dx + dy * dy;
            const float n = 0.8f + 0.4f * ValueNoise(x / 2.0f, y / 2.0f, seed);
            const float l = Light(dx, dy) * n;
            switch (index) {
            case 0: // bush
                if (r2 < 0.8f + (FractalNoise(x / 4.0f, y / 4.0f, seed, 2) - 0.5f) * 0.5f)
                    Plot(pic, x, y, 60 * l, 100 * l, 40 * l);
                break;
            case 1: // black oil seep with a rainbow sheen
                if (r2 < 0.7f)
                    Plot(pic, x, y, 20 + 30 * (n - 0.8f) * 4, 18, 24 + 40 * (n - 0.8f) * 3);
                break;
            case 2: // ore heap: rusty rubble cone
                if (std::fabs(dx) < 1 - (cy + 20 - y) / 44.0f && y < cy + 20)
                    Plot(pic, x, y, 150 * l, 86 * l, 50 * l);
                break;
            case 3: // spring: stone ring round blue water
                if (r2 < 0.45f)
                    Plot(pic, x, y, 60 * n, 110 * n, 170 * n);
                else if (r2 < 0.7f)
                    Plot(pic, x, y, 130 * l, 126 * l, 118 * l);
                break;
            case 4: // fence: posts and two rails
                if (((x - cx0) % 12 < 3 && y > cy - 20 && y < cy + 14) || ((y == static_cast<int>(cy) - 12 || y == static_cast<int>(cy)) && x > cx0 + 4 && x < cx0 + 60))
                    Plot(pic, x, y, 120 * l, 90 * l, 56 * l);
                break;
            case 5: // cart: plank bed on two wheels
                if (y > cy - 14 && y < cy && std::fabs(dx) < 0.8f)
                    Plot(pic, x, y, 140 * l, 100 * l, 60 * l);
                for (float wx : {cx - 16, cx + 16}) {
                    const float d = std::hypot(x - wx, y - (cy + 6));
                    if (d < 9 && d > 6)
                        Plot(pic, x, y, 70, 50, 30);
                }
                break;
            case 6: // haystack
                if (r2 < 1 && y < cy + 10)
                    Plot(pic, x, y, 210 * l, 180 * l, 90 * l);
                break;
            default: // ruin: broken wall with a gap
                if (y > cy - 26 + 10 * std::fabs(std::sin(x * 0.3f)) && y < cy + 10 && std::fabs(dx) < 0.9f && !(std::fabs(dx) < 0.2f && y > cy - 8))
                    Plot(pic, x, y, 150 * l, 130 * l, 110 * l);
                break;
            }
        }
}

TMapObjectRecord Record(std::uint8_t texture, int cellX, int cellY, int w, int h, std::uint8_t shadowTexture,
                        int shadowCellX, int shadowCellY)
{
    TMapObjectRecord r{};
    r.classByte = 0;
    r.listWidth = static_cast<std::uint8_t>(w / 2);
    r.listHeight = static_cast<std::uint8_t>(h / 4);
    r.texture = texture;
    r.u0 = cellX / float(kSide);
    r.u1 = (cellX + w) / float(kSide);
    r.v0 = cellY / float(kSide);
    r.v1 = (cellY + h) / float(kSide);
    r.width = static_cast<std::uint8_t>(w);
    r.height = static_cast<std::uint8_t>(h);
    r.xOffset = static_cast<std::int16_t>(-w / 2);
    r.yOffset = static_cast<std::int16_t>(-h + 8);
    r.shadowTexture = shadowTexture;
    if (shadowTexture != 0xFF) {
        r.shadowU0 = shadowCellX / float(kSide);
        r.shadowU1 = (shadowCellX + 64) / float(kSide);
        r.shadowV0 = shadowCellY / float(kSide);
        r.shadowV1 = (shadowCellY + 32) / float(kSide);
        r.shadowWidth = 64;
        r.shadowHeight = 32;
        r.shadowX = static_cast<std::int16_t>(-w / 2 + 8);
        r.shadowY = -20;
    }
    return r;
}

} // namespace

std::vector<std::uint8_t> BuildObjectKindEntry(const std::vector<TMapObjectRecord>& records,
                                               const std::vector<std::vector<std::uint16_t>>& textures)
{
    std::vector<std::uint8_t> out(2);
    plat::WriteU16LE(out.data(), static_cast<std::uint16_t>(records.size()));
    for (const TMapObjectRecord& r : records) {
        const std::size_t at = out.size();
        out.resize(at + MAP_OBJECT_RECORD_SIZE);
        WriteMapObjectRecord(out.data() + at, r);
    }
    out.push_back(static_cast<std::uint8_t>(textures.size()));
    for (const auto& tex : textures) {
        const std::size_t at = out.size();
        out.resize(at + tex.size() * 2);
        for (std::size_t i = 0; i < tex.size(); ++i)
            plat::WriteU16LE(out.data() + at + 2 * i, tex[i]);
    }
    return out;
}

std::vector<std::uint8_t> BuildSampleObjectKind(int kind)
{
    Picture main(kSide * kSide, kKey);
    Picture shadows(kSide * kSide, kKey);
    std::vector<TMapObjectRecord> records;
    if (kind == 0) {
        for (int i = 0; i < kSampleTreeCount; ++i) {
            const int cx = (i % 4) * 64;
            const int cy = (i / 4) * 128;
            const float size = 0.75f + 0.08f * (i % 4);
            if (i < 4)
                DrawBroadleaf(main, cx, cy, size, 10u + i);
            else
                DrawConifer(main, cx, cy, size, 20u + i);
            DrawShadow(shadows, cx, (i / 4) * 32);
            records.push_back(Record(0, cx, cy, 64, 128, 1, cx, (i / 4) * 32));
        }
    } else if (kind == 1) {
        for (int i = 0; i < kSampleStoneCount; ++i) {
            DrawStone(main, i * 64, 0, 14.0f + 4 * i, 9.0f + 3 * i, 40u + i);
            DrawShadow(shadows, i * 64, 0);
            records.push_back(Record(0, i * 64, 0, 64, 64, 1, i * 64, 0));
        }
    } else {
        for (int i = 0; i < kSampleMiscCount; ++i) {
            DrawMisc(main, i, (i % 4) * 64, (i / 4) * 64);
            records.push_back(Record(0, (i % 4) * 64, (i / 4) * 64, 64, 64, 0xFF, 0, 0));
        }
    }
    std::vector<std::vector<std::uint16_t>> textures{main};
    if (kind != 2)
        textures.push_back(shadows);
    return BuildObjectKindEntry(records, textures);
}

bool WriteObjects(const std::string& outDir)
{
    std::vector<LesSource> entries;
    static const char* const kNames[] = {"trees", "stones", "misc"};
    for (int k = 0; k < 3; ++k)
        entries.push_back({kNames[k], static_cast<std::uint16_t>(k), BuildSampleObjectKind(k)});
    return WriteLesArchive(outDir, "Data/Objects/Objects.les", entries);
}

} // namespace sampledata
