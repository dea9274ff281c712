#include "effects_art.h"

#include <algorithm>
#include <cmath>

#include "archives.h"
#include "sample_data.h"

namespace sampledata {

namespace {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0; // 0..1
};

std::uint16_t Pack(const Rgba& c)
{
    auto q = [](float v) { return static_cast<std::uint16_t>(std::clamp(v, 0.0f, 1.0f) * 15.0f + 0.5f); };
    return static_cast<std::uint16_t>((q(c.a) << 12) | (q(c.r) << 8) | (q(c.g) << 4) | q(c.b));
}

// A fixed hash noise in [0, 1): the pictures come out the same on every run.
float Noise(int x, int y, int seed)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u
        + static_cast<std::uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65536.0f;
}

Rgba Mix(const Rgba& a, const Rgba& b, float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

enum class Look { Fire, Smoke, Splash, Dust, Flak, Gas, Flash, Wake, Arrows };

Look LookOf(int type)
{
    if (type >= 30 && type <= 33)
        return Look::Splash;
    if (type >= 19 && type <= 23)
        return Look::Flak;
    switch (type) {
    case 9: return Look::Smoke;
    case 20: return Look::Dust;
    case 5:
    case 35:
    case 39:
    case 40: return Look::Flash;
    case 36: return Look::Gas;
    case 37: return Look::Arrows;
    case 38: return Look::Wake;
    default: return Look::Fire;
    }
}

// One 64 x 64 frame; t runs 0..1 over the explosion's life. The bottom centre is the ground point.
std::vector<std::uint16_t> DrawExplosionFrame(Look look, float t, int seed)
{
    const int n = kExplosionFrameSize;
    std::vector<std::uint16_t> px(static_cast<std::size_t>(n) * n, 0);
    const float cx = n / 2.0f;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            Rgba c;
            const float nz = Noise(x / 3, y / 3, seed);
            const float dx = (x + 0.5f - cx) / cx;
            switch (look) {
            case Look::Fire:
            case Look::Dust: {
                // A ball that rises from the ground and grows; a hot core that turns to smoke.
                const float r = 0.25f + 0.6f * t;
                const float cy = n - 4 - (n * 0.45f) * std::sqrt(t) - r * cx * 0.5f;
                const float dy = (y + 0.5f - cy) / cx;
                const float d = std::sqrt(dx * dx + dy * dy) / r + (nz - 0.5f) * 0.35f;
                if (d < 1.0f) {
                    const Rgba core = look == Look::Fire ? Rgba{1.0f, 0.95f, 0.55f, 1} : Rgba{0.85f, 0.72f, 0.5f, 1};
                    const Rgba flame = look == Look::Fire ? Rgba{0.95f, 0.45f, 0.08f, 1} : Rgba{0.6f, 0.45f, 0.28f, 1};
                    const Rgba smoke{0.25f, 0.22f, 0.2f, 0.85f};
                    c = Mix(Mix(core, flame, d * 1.4f), smoke, t * 1.3f + d * 0.3f - 0.2f);
                    c.a *= 1.0f - std::max(0.0f, t - 0.6f) * 2.0f;
                }
                // A dark column of debris below the ball.
                if (std::fabs(dx) < 0.12f * (1.0f - t) && y > cy && nz > 0.4f)
                    c = {0.2f, 0.15f, 0.1f, 0.9f};
                break;
            }
            case Look::Smoke:
            case Look::Gas: {
                const float r = 0.3f + 0.5f * t;
                const float cy = n - 6 - n * 0.35f * t - r * cx * 0.6f;
                const float dy = (y + 0.5f - cy) / (cx * 0.8f);
                const float d = std::sqrt(dx * dx + dy * dy) / r + (nz - 0.5f) * 0.5f;
                if (d < 1.0f) {
                    const Rgba base = look == Look::Smoke ? Rgba{0.55f, 0.55f, 0.55f, 0.8f} : Rgba{0.55f, 0.75f, 0.25f, 0.7f};
                    c = Mix(base, Rgba{base.r * 0.6f, base.g * 0.6f, base.b * 0.6f, base.a}, d);
                    c.a *= 1.0f - t * 0.7f;
                }
                break;
            }
            case Look::Splash: {
                // A white column of water over a blue ring on the surface.
                const float h = n * (0.3f + 0.6f * std::sin(t * 3.14159f));
                const float w = 0.15f + 0.25f * t;
                const float top = n - 6 - h;
                if (y > top && std::fabs(dx) < w * (1.0f - (y - top) / (h + 8.0f) * 0.3f) + (nz - 0.5f) * 0.12f)
                    c = Mix(Rgba{0.95f, 0.98f, 1.0f, 0.95f}, Rgba{0.45f, 0.65f, 0.9f, 0.9f}, (y - top) / (h + 1.0f));
                const float ry = (y + 0.5f - (n - 6)) / 4.0f;
                const float ring = std::sqrt(dx * dx / ((0.3f + 0.6f * t) * (0.3f + 0.6f * t)) + ry * ry);
                if (std::fabs(ring - 1.0f) < 0.25f)
                    c = {0.8f, 0.9f, 1.0f, 0.9f * (1.0f - t)};
                break;
            }
            case Look::Flak: {
                const float r = 0.15f + 0.35f * t;
                const float cy = n * 0.4f;
                const float dy = (y + 0.5f - cy) / cx;
                const float d = std::sqrt(dx * dx + dy * dy) / r + (nz - 0.5f) * 0.4f;
                if (d < 1.0f)
                    c = Mix(Mix(Rgba{1.0f, 0.8f, 0.3f, 1}, Rgba{0.15f, 0.15f, 0.15f, 0.9f}, t * 2.0f + d * 0.5f),
                            Rgba{0.15f, 0.15f, 0.15f, 0.0f}, t - 0.3f);
                break;
            }
            case Look::Flash: {
                const float dy = (y + 0.5f - (n - 16)) / cx;
                const float d = std::sqrt(dx * dx * 0.6f + dy * dy * 2.0f) / (0.4f * (1.0f - t) + 0.05f);
                if (d < 1.0f)
                    c = Mix(Rgba{1.0f, 1.0f, 0.8f, 1}, Rgba{1.0f, 0.6f, 0.1f, 0.6f}, d);
                break;
            }
            case Look::Wake: {
                const float dy = (y + 0.5f - (n - 8)) / 6.0f;
                const float d = std::sqrt(dx * dx / 0.09f + dy * dy);
                if (d < 1.0f && nz > 0.3f)
                    c = {0.9f, 0.95f, 1.0f, 0.8f * (1.0f - t)};
                break;
            }
            case Look::Arrows: {
                // Three chevrons pointing down at the rally point, sliding down with time.
                const int shift = static_cast<int>(t * 12.0f);
                const int yy = (y - shift + 64) % 20;
                if (std::abs(std::abs(x - 32) - (14 - yy)) < 3 && yy < 14)
                    c = {1.0f, 0.85f, 0.1f, 1.0f};
                break;
            }
            }
            px[static_cast<std::size_t>(y) * n + x] = Pack(c);
        }
    }
    return px;
}

// A flat crater: a dark bowl with a raised lighter rim and clods, in an isometric ellipse.
std::vector<std::uint16_t> DrawCrater(int w, int h, int seed)
{
    std::vector<std::uint16_t> px(static_cast<std::size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = (x + 0.5f - w / 2.0f) / (w / 2.0f);
            const float dy = (y + 0.5f - h / 2.0f) / (h / 2.0f);
            const float nz = Noise(x / 2, y / 2, seed);
            const float d = std::sqrt(dx * dx + dy * dy) + (nz - 0.5f) * 0.2f;
            Rgba c;
            if (d < 0.6f)
                c = Mix(Rgba{0.12f, 0.09f, 0.06f, 1}, Rgba{0.3f, 0.22f, 0.14f, 1}, d / 0.6f + dy * 0.4f);
            else if (d < 0.85f)
                c = Mix(Rgba{0.55f, 0.42f, 0.28f, 1}, Rgba{0.4f, 0.3f, 0.2f, 0.9f}, (d - 0.6f) / 0.25f);
            else if (d < 1.0f && nz > 0.55f)
                c = {0.35f, 0.27f, 0.18f, 0.8f};
            px[static_cast<std::size_t>(y) * w + x] = Pack(c);
        }
    return px;
}

// An upright picture: a charred splintered stake.
std::vector<std::uint16_t> DrawStake(int w, int h, int seed)
{
    std::vector<std::uint16_t> px(static_cast<std::size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float nz = Noise(x, y, seed);
            const int half = 2 + (y * 3) / h;
            Rgba c;
            if (std::abs(x - w / 2) <= half && (y > 6 || nz > 0.5f))
                c = Mix(Rgba{0.1f, 0.08f, 0.06f, 1}, Rgba{0.35f, 0.25f, 0.15f, 1}, nz * (x > w / 2 ? 1.0f : 0.5f));
            if (y > h - 5 && std::abs(x - w / 2) < w / 2 - 1 && nz > 0.3f)
                c = {0.3f, 0.22f, 0.14f, 1.0f};
            px[static_cast<std::size_t>(y) * w + x] = Pack(c);
        }
    return px;
}

// A shell sprite: a pointed body along the picture's vertical axis.
std::vector<std::uint16_t> DrawShell(int w, int h, const Rgba& body, bool shard, int seed)
{
    std::vector<std::uint16_t> px(static_cast<std::size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = (x + 0.5f - w / 2.0f) / (w / 2.0f);
            const float v = (y + 0.5f) / h;
            Rgba c;
            if (shard) {
                if (Noise(x, y, seed) > 0.45f && std::fabs(dx) + std::fabs(v - 0.5f) < 0.8f)
                    c = Mix(body, Rgba{1, 0.7f, 0.3f, 1}, Noise(y, x, seed));
            } else {
                const float width = v < 0.3f ? v / 0.3f * 0.8f : 0.8f;
                if (std::fabs(dx) < width)
                    c = Mix(Rgba{body.r * 1.6f, body.g * 1.6f, body.b * 1.6f, 1}, body, std::fabs(dx + 0.3f));
                if (v > 0.85f && std::fabs(dx) < 0.5f)
                    c = {0.7f, 0.55f, 0.2f, 1.0f}; // the brass band at the base
            }
            px[static_cast<std::size_t>(y) * w + x] = Pack(c);
        }
    return px;
}

const char* const kExplosionFiles[41] = {
    "Bomba.les", "Bomba1.les", "Bomba2.les", "Bomba3.les", "BuildingSmallDeath.les", "ShootRight.les",
    "CannonShot.les", "FireManDeath.les", "GaubicaShot.les", "SM1.les", "PlaneDeath.les", "PlaneDeath1.les",
    "PlaneDeath2.les", "PlaneDeath3.les", "Tank-Hit.les", "GranadeLouncher.les", "exFG.les", "exFG2.les",
    "SmallDB.les", "Flack.les", "SmallDBSand.les", "flack.les", "flack2.les", "flack3.les", "granade1.les",
    "granade2.les", "granade3.les", "Tank1.les", "Tank2.les", "Tank3.les", "WEN.les", "WEM.les", "WES.les",
    "WEP.les", "SmallFire.les", "ShootLeft.les", "gas.les", "Arrows.les", "torpedo.les", "gunplane.les",
    "HouseShootFull.les",
};

// Smooth noise in [0, 1) at a fractional point, from the lattice noise above.
float SmoothNoise(float x, float y, int seed)
{
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    float tx = x - static_cast<float>(x0), ty = y - static_cast<float>(y0);
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const float top = Noise(x0, y0, seed) + (Noise(x0 + 1, y0, seed) - Noise(x0, y0, seed)) * tx;
    const float bottom = Noise(x0, y0 + 1, seed) + (Noise(x0 + 1, y0 + 1, seed) - Noise(x0, y0 + 1, seed)) * tx;
    return top + (bottom - top) * ty;
}

// A billowing puff: a round body with a ragged, noisy rim, lit from the upper left.
Rgba Puff(float dx, float dy, float radius, float t, const Rgba& lit, const Rgba& shade, int seed)
{
    const float d = std::hypot(dx, dy);
    const float rim = radius * (0.8f + 0.35f * SmoothNoise(dx * 0.25f + t * 3, dy * 0.25f, seed));
    if (d >= rim)
        return {};
    const float light = std::clamp(0.5f - (dx + dy) / (2.5f * radius), 0.0f, 1.0f);
    Rgba c = Mix(shade, lit, light * 0.7f + 0.3f * SmoothNoise(dx * 0.4f, dy * 0.4f + t * 4, seed + 1));
    c.a *= std::clamp((rim - d) / (0.35f * rim), 0.0f, 1.0f);
    return c;
}

} // namespace

std::vector<std::uint16_t> DrawParticleFrame(ParticleLook look, int frame)
{
    constexpr int n = kParticleFrameSize;
    const float t = static_cast<float>(frame) / (kParticleFrames - 1);
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(n) * n, 0);
    const float c = n / 2.0f;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float dx = x + 0.5f - c, dy = y + 0.5f - c;
            Rgba px;
            switch (look) {
            case ParticleLook::Smoke: {
                // A grey puff that swells, rises a little and thins out.
                px = Puff(dx, dy + 3 * t, 6 + 8 * t, t, {0.78f, 0.78f, 0.76f, 0.9f}, {0.3f, 0.3f, 0.32f, 0.85f},
                          11);
                px.a *= 1.0f - 0.7f * t;
                break;
            }
            case ParticleLook::Gas: {
                // A yellow-green cloud, wider than high, that spreads and fades.
                px = Puff(dx, dy * 1.4f, 8 + 6 * t, t, {0.85f, 0.9f, 0.35f, 0.75f}, {0.45f, 0.55f, 0.15f, 0.7f},
                          23);
                px.a *= 1.0f - 0.6f * t;
                break;
            }
            case ParticleLook::Fire: {
                // A flickering tongue of flame: white-yellow at the root, orange, then red at the tip.
                const float up = (c + 10 - (y + 0.5f)) / 22.0f; // 0 at the root, 1 at the tip
                if (up < 0 || up > 1)
                    break;
                const float sway = 2.5f * std::sin(up * 5 + t * 6.283f);
                const float half = 8 * (1 - up) * (0.75f + 0.25f * SmoothNoise(x * 0.3f, y * 0.3f - t * 6, 31));
                const float across = std::abs(dx - sway * up) / std::max(half, 0.5f);
                if (across >= 1)
                    break;
                const float heat = (1 - across) * (1 - up);
                px = heat > 0.45f ? Mix({1, 0.75f, 0.2f, 1}, {1, 1, 0.85f, 1}, (heat - 0.45f) * 2.5f)
                                  : Mix({0.7f, 0.1f, 0.05f, 0.6f}, {1, 0.75f, 0.2f, 1}, heat / 0.45f);
                break;
            }
            case ParticleLook::Foam: {
                // Churned water: a ring of white bubbles round a pale blue-green swirl that spreads
                // and sinks back.
                const float r = 5 + 9 * t;
                const float ry = dy * 1.8f;
                const float d = std::hypot(dx, ry);
                const float swirl = SmoothNoise(dx * 0.35f + t * 5, ry * 0.35f, 53);
                if (d < r) {
                    px = Mix({0.55f, 0.75f, 0.8f, 0.55f}, {0.95f, 0.98f, 1.0f, 0.9f}, swirl * (0.4f + 0.6f * d / r));
                    px.a *= 1.0f - 0.6f * t;
                }
                // Bubbles: small bright dots scattered over the swirl's edge.
                for (int k = 0; k < 7; ++k) {
                    const float ang = k * 0.9f + t * 2.0f;
                    const float bx = std::cos(ang) * r * (0.6f + 0.4f * Noise(k, 2, 53));
                    const float by = std::sin(ang) * r * (0.6f + 0.4f * Noise(k, 3, 53));
                    if (std::hypot(dx - bx, ry - by) < 1.6f)
                        px = {1.0f, 1.0f, 1.0f, 1.0f - 0.5f * t};
                }
                break;
            }
            case ParticleLook::Sparks: {
                // Eight glowing sparks fly out from the centre, each with a short fading trail.
                for (int k = 0; k < 8; ++k) {
                    const float ang = k * 0.785f + 0.3f * Noise(k, 0, 41);
                    const float head = 2 + 12 * t * (0.7f + 0.3f * Noise(k, 1, 41));
                    const float ux = std::cos(ang), uy = std::sin(ang);
                    const float along = dx * ux + dy * uy, side = std::abs(-dx * uy + dy * ux);
                    if (side < 1.0f && along <= head && along >= head - 4) {
                        const float glow = (1 - side) * (1 - (head - along) / 4) * (1 - 0.5f * t);
                        const Rgba spark = Mix({1, 0.5f, 0.1f, 0}, {1, 1, 0.8f, 1}, glow);
                        if (spark.a > px.a)
                            px = spark;
                    }
                }
                break;
            }
            }
            pixels[static_cast<std::size_t>(y) * n + x] = Pack(px);
        }
    return pixels;
}

std::vector<std::uint8_t> MakeExplosionBlock(int type)
{
    const Look look = LookOf(type);
    std::vector<FrameSpec> frames;
    for (int i = 0; i < kExplosionFrames; ++i) {
        FrameSpec f;
        f.texWidth = f.texHeight = f.dataWidth = f.dataHeight = kExplosionFrameSize;
        f.pixels = DrawExplosionFrame(look, static_cast<float>(i) / (kExplosionFrames - 1), type * 31 + i);
        frames.push_back(std::move(f));
    }
    return MakeFrameBlock(kExplosionHead, frames);
}

std::vector<std::uint8_t> MakeCraterPicture(int index)
{
    const int w = 32 + 8 * (index % 5);
    const int h = w / 2;
    return Make444(w, h, DrawCrater(w, h, index));
}

std::vector<std::uint8_t> MakeUprightPicture(int index)
{
    return Make444(16, 32, DrawStake(16, 32, 100 + index));
}

bool WriteEffectsArt(const std::string& outDir)
{
    struct Shell {
        const char* file;
        int w, h;
        Rgba body;
        bool shard;
    };
    const Shell shells[] = {
        {"snar_S.444", 8, 8, {0.35f, 0.35f, 0.3f, 1}, false},   {"snar_M.444", 8, 8, {0.4f, 0.35f, 0.25f, 1}, false},
        {"snar_L.444", 16, 16, {0.3f, 0.3f, 0.3f, 1}, false},   {"snar_Gr.444", 8, 8, {0.25f, 0.35f, 0.2f, 1}, false},
        {"snar_Bo.444", 8, 8, {0.2f, 0.2f, 0.25f, 1}, false},   {"torpeda.444", 32, 64, {0.4f, 0.42f, 0.45f, 1}, false},
        {"oskolok_1.444", 8, 8, {0.3f, 0.25f, 0.2f, 1}, true}, {"oskolok_2.444", 8, 8, {0.35f, 0.3f, 0.2f, 1}, true},
        {"oskolok_3.444", 8, 8, {0.25f, 0.25f, 0.25f, 1}, true},
    };
    int seed = 0;
    for (const Shell& s : shells) {
        const auto file = Make444(s.w, s.h, DrawShell(s.w, s.h, s.body, s.shard, ++seed));
        if (!WriteFileBytes(outDir, std::string("Data\\Misc\\") + s.file, file.data(), file.size()))
            return false;
    }
    for (int type = 0; type < 41; ++type)
        if (!WriteLesArchive(outDir, std::string("Data\\Misc\\Explo\\") + kExplosionFiles[type],
                             {{"frames", 0, MakeExplosionBlock(type)}}))
            return false;
    std::vector<LesSource> flat, upright;
    for (int i = 0; i < kFlatCraters; ++i)
        flat.push_back({"crater" + std::to_string(i), static_cast<std::uint16_t>(i), MakeCraterPicture(i)});
    for (int i = 0; i < kUprightCraters; ++i)
        upright.push_back({"stake" + std::to_string(i), static_cast<std::uint16_t>(i), MakeUprightPicture(i)});
    const auto burst = Make444(32, 32, DrawStake(32, 32, 999));
    return WriteLesArchive(outDir, "Data\\Objects\\Animation\\Craters\\Craters.les", flat)
        && WriteLesArchive(outDir, "Data\\Objects\\Animation\\Craters\\Vertical.les", upright)
        && WriteLesArchive(outDir, "Data\\Objects\\Animation\\Craters\\burst.les", {{"burst", 65535, burst}});
}

} // namespace sampledata
