#include "unit_graphics.h"

#include <cstring>
#include <functional>

#include <algorithm>
#include <array>
#include <cmath>

#include "images.h"
#include "platform/bytes.h"
#include "sample_data.h"
#include "sample_types.h"

namespace sampledata {

namespace {

constexpr int kOrients = 5;
constexpr int kHeaderSize = 20;
constexpr double kPi = 3.14159265358979323846;

std::uint16_t PowerOfTwoUpTo512(int v)
{
    if (v > 512)
        return static_cast<std::uint16_t>(v);
    int p = 2;
    while (p < v)
        p *= 2;
    return static_cast<std::uint16_t>(p);
}

void PutHeader(std::vector<std::uint8_t>& out, std::size_t at, const UnitFrameImage& f, std::uint32_t pixelOffset)
{
    std::uint8_t* p = out.data() + at;
    plat::WriteU16LE(p, static_cast<std::uint16_t>(f.x));
    plat::WriteU16LE(p + 2, static_cast<std::uint16_t>(f.y));
    plat::WriteU16LE(p + 4, static_cast<std::uint16_t>(f.width));
    plat::WriteU16LE(p + 6, static_cast<std::uint16_t>(f.height));
    plat::WriteU16LE(p + 8, PowerOfTwoUpTo512(f.width));
    plat::WriteU16LE(p + 10, PowerOfTwoUpTo512(f.height));
    plat::WriteU32LE(p + 12, 0);
    plat::WriteU32LE(p + 16, pixelOffset);
}

// --- a small painter: colours as floats, projected from the figure's ground frame ---

// team: the surface shows the owner's colour (drawn again in the overlay layer, which the game
// tints with the player colour).
struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
    bool team = false;
};

Rgba Mix(Rgba c, float light)
{
    return {std::clamp(c.r * light, 0.0f, 1.0f), std::clamp(c.g * light, 0.0f, 1.0f),
            std::clamp(c.b * light, 0.0f, 1.0f), c.a, c.team};
}

Rgba Team(Rgba c)
{
    c.team = true;
    return c;
}

// How much of a team surface the tinted overlay covers: the type's own colour still shows through.
constexpr float kTeamCover = 0.8f;

class Painter {
public:
    // The foot point stands at the box centre, where the game places the unit's position; scale
    // fits the figure's drawn units to the box.
    Painter(int width, int height, double facing, bool shadow, double scale)
        : m_W(width), m_H(height), m_Shadow(shadow), m_S(scale), m_Pixels(static_cast<std::size_t>(width) * height),
          m_Overlay(m_Pixels.size())
    {
        m_FootX = width / 2.0;
        m_FootY = height / 2.0;
        m_Fx = std::sin(facing);
        m_Fy = -std::cos(facing) * 0.5;
        m_Rx = std::cos(facing);
        m_Ry = std::sin(facing) * 0.5;
    }

    // Ground frame: u forward, v to the right, z up (pixels).
    void Project(double u, double v, double z, double& x, double& y) const
    {
        u *= m_S;
        v *= m_S;
        z *= m_S;
        if (m_Shadow) {
            // The shadow lies flat, cast away from a light in the upper left.
            x = m_FootX + u * m_Fx + v * m_Rx + z * 0.35;
            y = m_FootY + u * m_Fy + v * m_Ry + z * 0.15;
            return;
        }
        x = m_FootX + u * m_Fx + v * m_Rx;
        y = m_FootY + u * m_Fy + v * m_Ry - z;
    }

    void Dot(int x, int y, Rgba c)
    {
        if (x < 0 || y < 0 || x >= m_W || y >= m_H || c.a <= 0)
            return;
        if (m_Shadow)
            c = {0.0f, 0.0f, 0.0f, 0.45f};
        // A little grain so that no surface is flat.
        const std::uint32_t h = (static_cast<std::uint32_t>(x) * 73856093u) ^ (static_cast<std::uint32_t>(y) * 19349663u);
        const float grain = m_Shadow ? 1.0f : 0.94f + 0.12f * static_cast<float>(h % 97) / 96.0f;
        const std::size_t at = static_cast<std::size_t>(y) * m_W + x;
        m_Pixels[at] = Mix(c, grain);
        // A team surface goes to the overlay as a grey of its brightness; anything drawn later in
        // front of it covers it there too.
        Rgba over{};
        if (c.team && !m_Shadow) {
            const Rgba lit = Mix(c, grain);
            const float grey = std::clamp(0.35f + 1.2f * (0.3f * lit.r + 0.55f * lit.g + 0.15f * lit.b), 0.0f, 1.0f);
            over = {grey, grey, grey, kTeamCover};
        }
        m_Overlay[at] = over;
    }

    // An ellipse of screen radii (rx, ry) around a projected point, lit from the upper left.
    void Blob(double u, double v, double z, double rx, double ry, Rgba c)
    {
        rx = std::max(0.6, rx * m_S);
        ry = std::max(0.6, ry * m_S);
        double cx, cy;
        Project(u, v, z, cx, cy);
        for (int y = static_cast<int>(cy - ry - 1); y <= static_cast<int>(cy + ry + 1); ++y)
            for (int x = static_cast<int>(cx - rx - 1); x <= static_cast<int>(cx + rx + 1); ++x) {
                const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
                if (dx * dx + dy * dy > 1.0)
                    continue;
                Dot(x, y, Mix(c, static_cast<float>(1.1 - 0.35 * (dx + dy + 1.0) / 2.0)));
            }
    }

    void Line(double u0, double v0, double z0, double u1, double v1, double z1, double width, Rgba c)
    {
        double x0, y0, x1, y1;
        Project(u0, v0, z0, x0, y0);
        Project(u1, v1, z1, x1, y1);
        width = std::max(1.0, width * m_S);
        const int steps = static_cast<int>(std::max(std::abs(x1 - x0), std::abs(y1 - y0)) * 2) + 1;
        for (int i = 0; i <= steps; ++i) {
            const double t = static_cast<double>(i) / steps;
            const double x = x0 + (x1 - x0) * t, y = y0 + (y1 - y0) * t;
            for (int dy = 0; dy < std::max(1, static_cast<int>(width)); ++dy)
                for (int dx = 0; dx < std::max(1, static_cast<int>(width)); ++dx)
                    Dot(static_cast<int>(x - width / 2 + dx + 0.5), static_cast<int>(y - width / 2 + dy + 0.5), c);
        }
    }

    // A box on the ground frame: length along u, width along v, from height z0 to z1. The sides
    // are darker than the top, the far side darkest.
    void Box(double u, double v, double length, double width, double z0, double z1, Rgba c)
    {
        const double step = 0.5 / m_S;
        for (double z = z0; z <= z1; z += step)
            Quad(u, v, length, width, z, Mix(c, z + step > z1 ? 1.15f : 0.7f));
    }

    void Quad(double u, double v, double length, double width, double z, Rgba c)
    {
        std::array<double, 8> p{};
        const double du[4] = {-length / 2, length / 2, length / 2, -length / 2};
        const double dv[4] = {-width / 2, -width / 2, width / 2, width / 2};
        for (int i = 0; i < 4; ++i)
            Project(u + du[i], v + dv[i], z, p[2 * i], p[2 * i + 1]);
        const double minY = std::min({p[1], p[3], p[5], p[7]}), maxY = std::max({p[1], p[3], p[5], p[7]});
        for (int y = static_cast<int>(minY); y <= static_cast<int>(maxY) + 1; ++y) {
            double lo = 1e9, hi = -1e9;
            for (int i = 0; i < 4; ++i) {
                const double ax = p[2 * i], ay = p[2 * i + 1], bx = p[(2 * i + 2) % 8], by = p[(2 * i + 3) % 8];
                const double sy = y + 0.5;
                if ((ay <= sy && by > sy) || (by <= sy && ay > sy)) {
                    const double x = ax + (sy - ay) * (bx - ax) / (by - ay);
                    lo = std::min(lo, x);
                    hi = std::max(hi, x);
                }
            }
            for (int x = static_cast<int>(lo + 0.5); x < static_cast<int>(hi + 0.5); ++x)
                Dot(x, y, c);
        }
    }

    std::vector<std::uint16_t> To4444() const { return Pack(m_Pixels); }
    std::vector<std::uint16_t> OverlayTo4444() const { return Pack(m_Overlay); }
    bool HasTeam() const
    {
        return std::any_of(m_Overlay.begin(), m_Overlay.end(), [](const Rgba& c) { return c.a > 0; });
    }

private:
    static std::vector<std::uint16_t> Pack(const std::vector<Rgba>& pixels)
    {
        std::vector<std::uint16_t> out(pixels.size());
        for (std::size_t i = 0; i < out.size(); ++i) {
            const Rgba& c = pixels[i];
            auto q = [](float v) { return static_cast<std::uint16_t>(std::clamp(v, 0.0f, 1.0f) * 15.0f + 0.5f); };
            out[i] = static_cast<std::uint16_t>(q(c.a) << 12 | q(c.r) << 8 | q(c.g) << 4 | q(c.b));
        }
        return out;
    }

    int m_W, m_H;
    bool m_Shadow;
    double m_S;
    std::vector<Rgba> m_Pixels;
    std::vector<Rgba> m_Overlay;
    double m_FootX = 0, m_FootY = 0, m_Fx = 0, m_Fy = 0, m_Rx = 0, m_Ry = 0;
};

constexpr Rgba kSkin{0.93f, 0.75f, 0.6f, 1};
constexpr Rgba kBlack{0.12f, 0.12f, 0.12f, 1};
constexpr Rgba kSteel{0.45f, 0.47f, 0.5f, 1};
constexpr Rgba kWood{0.5f, 0.33f, 0.18f, 1};
constexpr Rgba kFlash{1.0f, 0.85f, 0.3f, 1};
constexpr Rgba kFlame{1.0f, 0.45f, 0.1f, 1};
constexpr Rgba kBlood{0.55f, 0.08f, 0.06f, 1};

bool IsAirKind(std::uint8_t kind)
{
    return kind == 1 || kind == 11 || kind == 12;
}
bool IsShipKind(std::uint8_t kind)
{
    return kind >= 13 && kind <= 15;
}
bool IsDeathWork(int work)
{
    return work >= 15 && work <= 17;
}
bool IsFireWork(int work)
{
    return work == 6 || work == 7 || work == 13 || work == 22;
}
// Vehicles, aircraft and ships show their wreck in work 4 as in the death works; a gun's work 4 is
// its stand pose, and a soldier lies down in it.
int PoseWork(std::uint8_t kind, int work)
{
    return work == 4 && kind != 4 && (kind == 3 || kind == 10 || kind == 1 || kind == 11 || kind == 12 || IsShipKind(kind)) ? 15 : work;
}

Rgba UniformOf(std::uint8_t type, std::uint8_t kind)
{
    switch (type) {
    case 0: case 1: return {0.55f, 0.42f, 0.28f, 1};  // workers: brown overalls
    case 25: return {0.25f, 0.27f, 0.3f, 1};  // guards: dark
    case 26: return {0.2f, 0.3f, 0.55f, 1};   // marines: navy blue
    case 27: return {0.5f, 0.52f, 0.5f, 1};   // stormtroopers: field grey
    case 28: return {0.85f, 0.85f, 0.8f, 1};  // medic: white coat
    default: break;
    }
    if (kind == 9)
        return {0.4f, 0.4f, 0.38f, 1};
    return {0.52f, 0.5f, 0.32f, 1}; // khaki
}

// A soldier (or worker) in the pose of a work.
void DrawSoldier(Painter& p, std::uint8_t type, std::uint8_t kind, int work, int frame, int frames)
{
    const Rgba cloth = UniformOf(type, kind);
    const double phase = frames > 0 ? 2 * kPi * frame / frames : 0;
    if (work == 4 || IsDeathWork(work)) {
        // Lying down: the further the death animation runs, the flatter and redder.
        const double t = IsDeathWork(work) && frames > 1 ? static_cast<double>(frame) / (frames - 1) : 1.0;
        const double hip = 8 * (1 - t) + 2;
        p.Line(-2, -2, 0, 6 * t - 4, -2, hip, 2, kBlack);
        p.Blob(3 * t, 0, hip + 4 * (1 - t), 4, 3, Team(cloth));
        p.Blob(7 * t, 0, hip + 9 * (1 - t), 2.5, 2.5, kSkin);
        if (IsDeathWork(work))
            p.Blob(2, 2, 0, 2 + 3 * t, 1 + 1.5 * t, kBlood);
        else
            p.Line(6, 1, 2, 14, 1, 2, 1, kWood);
        return;
    }
    const bool low = work == 1 || work == 2 || work == 8 || work == 20;
    const double stride = (work == 0 || work == 8 || work == 14 || work == 21) ? std::sin(phase) * 4 : 0;
    const double hip = low ? 6 : 11;
    const double shoulder = hip + (low ? 7 : 9);
    p.Blob(0, 0, 0, 5, 2, {0, 0, 0, 0.35f}); // contact shadow
    p.Line(0, -2, hip, stride, -2, 0, 2, kBlack);
    p.Line(0, 2, hip, -stride, 2, 0, 2, kBlack);
    for (double z = hip; z <= shoulder; z += 1)
        p.Blob(0, 0, z, 3.5, 2.5, Team(cloth));
    if (kind == 9) // the fuel tank on the back
        p.Box(-4, 0, 3, 5, hip, shoulder, kSteel);
    p.Blob(0.5, 0, shoulder + 3, 2.5, 2.5, kSkin);
    if (type > 1)
        p.Blob(0.3, 0, shoulder + 4.5, 3, 1.5, Mix(cloth, 0.6f)); // helmet
    if (type == 28) {
        p.Blob(0, 3, shoulder - 2, 1.2, 1.2, {0.85f, 0.1f, 0.1f, 1}); // red cross armband
        return;
    }
    const bool aiming = work == 2 || work == 6 || work == 18 || work == 20 || IsFireWork(work) || work == 9 || work == 19;
    if (type == 1) {
        // A sack of food over the shoulder, held with both hands.
        p.Blob(-2.5, 0, shoulder + 1, 4, 3.5, {0.78f, 0.68f, 0.45f, 1});
        p.Line(0, -2.5, shoulder - 1, -2, -2, shoulder + 3, 1, kSkin);
        p.Line(0, 2.5, shoulder - 1, -2, 2, shoulder + 3, 1, kSkin);
        return;
    }
    if (type == 0) {
        // A shovel swung by the worker at work.
        const double swing = work == 11 ? std::sin(phase) * 6 : 0;
        p.Line(2, 3, shoulder - 2, 8, 3, shoulder - 10 + swing, 1, kWood);
        p.Blob(9, 3, shoulder - 11 + swing, 1.5, 1.5, kSteel);
        return;
    }
    const double gunZ = aiming ? shoulder - 1 : shoulder - 3;
    if (kind == 16) {
        // The machine gun on its tripod in front of the gunner.
        p.Line(4, 0, gunZ, 14, 0, gunZ, 3, kBlack);
        p.Line(8, -2, 0, 8, 0, gunZ, 1, kSteel);
        p.Line(8, 2, 0, 8, 0, gunZ, 1, kSteel);
        if (IsFireWork(work) && frame % 2 == 0)
            p.Blob(16, 0, gunZ, 3, 2.5, kFlash);
        return;
    }
    if (kind == 9) {
        p.Line(2, 2, gunZ, 9, 2, gunZ, 2, kSteel);
        if (IsFireWork(work))
            for (int i = 0; i < 4 + frame; ++i)
                p.Blob(11 + i * 2.5, 2, gunZ + i * 0.3, 1.5 + i * 0.5, 1.2 + i * 0.4, i % 2 ? kFlash : kFlame);
        return;
    }
    p.Line(2, 2, gunZ, aiming ? 13 : 6, 2, aiming ? gunZ : gunZ + 8, 1, kWood);
    if (IsFireWork(work) && frame == 1)
        p.Blob(14, 2, gunZ, 2.5, 2, kFlash);
}

void DrawRider(Painter& p, std::uint8_t type, int work, int frame, int frames)
{
    const Rgba horse = type == 16 ? Rgba{0.25f, 0.18f, 0.12f, 1} : Rgba{0.5f, 0.32f, 0.18f, 1};
    const double phase = frames > 0 ? 2 * kPi * frame / frames : 0;
    if (IsDeathWork(work) || work == 4) {
        p.Box(0, 0, 18, 7, 0, 5, horse);
        p.Blob(0, 5, 1, 4, 2, kBlood);
        return;
    }
    const double gallop = work == 0 ? std::sin(phase) * 3 : 0;
    p.Blob(0, 0, 0, 9, 3, {0, 0, 0, 0.35f});
    for (int leg = 0; leg < 4; ++leg) {
        const double u = leg < 2 ? 6 : -6, v = leg % 2 ? 2 : -2;
        p.Line(u, v, 9, u + (leg % 2 ? gallop : -gallop), v, 0, 2, Mix(horse, 0.7f));
    }
    p.Box(0, 0, 16, 6, 9, 15, horse);
    p.Line(7, 0, 14, 11, 0, 20, 3, horse);
    p.Blob(12, 0, 20, 3, 2, horse);
    for (double z = 15; z <= 24; z += 1)
        p.Blob(-1, 0, z, 3, 2.2, Team(UniformOf(type, 5)));
    p.Blob(-0.5, 0, 27, 2.5, 2.5, kSkin);
    p.Line(0, 3, 22, 8, 3, IsFireWork(work) ? 22 : 30, 1, kSteel);
}

void DrawGun(Painter& p, std::uint8_t type, std::uint8_t kind, int work, int frame, int frames)
{
    const double length = type == 21 || type == 23 ? 24 : type == 13 ? 16 : 18;
    const double elevation = type == 13 ? 14 : kind == 10 ? 9 : 3; // anti-aircraft and howitzers point up
    const Rgba olive{0.35f, 0.38f, 0.25f, 1};
    if (IsDeathWork(work)) {
        const double t = frames > 1 ? static_cast<double>(frame) / (frames - 1) : 1.0;
        p.Box(0, 0, 14, 8, 0, 4 - 2 * t, Mix(olive, 0.5f));
        p.Blob(0, 0, 2, 5 + 4 * t, 3 + 2 * t, {0.2f, 0.2f, 0.2f, 0.8f});
        return;
    }
    const double recoil = IsFireWork(work) && frame == 1 ? -3 : 0;
    p.Blob(0, 0, 0, 10, 4, {0, 0, 0, 0.35f});
    p.Line(-12, 0, 1, 0, 0, 5, 3, Mix(olive, 0.8f)); // trail
    p.Blob(0, -6, 5, 2, 5, kBlack);
    p.Blob(0, 6, 5, 2, 5, kBlack);
    p.Box(1, 0, 6, 10, 5, 8, olive);
    p.Line(recoil, 0, 8, recoil + length, 0, 8 + elevation, 3, Mix(olive, 0.9f));
    if (type != 13)
        p.Box(3, 0, 1, 12, 5, 14, Team(Mix(olive, 1.1f))); // shield
    if (IsFireWork(work) && frame <= 1)
        p.Blob(length + 3, 0, 8 + elevation * 1.1, 4, 3.5, kFlash);
    if (work == 0)
        p.Blob(-14, 3, 0, 1.5 + frame % 2, 1, {0.6f, 0.5f, 0.35f, 0.6f}); // dust
}

void DrawTank(Painter& p, std::uint8_t type, int work, int frame)
{
    const bool car = type == 15;
    const Rgba hull = car ? Rgba{0.42f, 0.44f, 0.36f, 1} : Rgba{0.38f, 0.4f, 0.3f, 1};
    const double dead = IsDeathWork(work) ? 0.45 : 1.0;
    p.Blob(0, 0, 0, 20, 8, {0, 0, 0, 0.35f});
    if (car) {
        for (int i = 0; i < 4; ++i)
            p.Blob(i < 2 ? 8 : -8, i % 2 ? 7 : -7, 3, 3, 3, kBlack);
    } else {
        const double tread = work == 0 ? frame % 2 : 0;
        p.Box(0, -8, 28, 4, 0, 6, Mix(kBlack, 1.3f));
        p.Box(0, 8, 28, 4, 0, 6, Mix(kBlack, 1.3f));
        for (int i = -3; i <= 3; ++i) {
            p.Blob(i * 4 + tread, -10, 3, 1, 1, kSteel);
            p.Blob(i * 4 + tread, 10, 3, 1, 1, kSteel);
        }
    }
    p.Box(0, 0, car ? 22 : 26, 13, car ? 4 : 3, car ? 11 : 10, Mix(hull, static_cast<float>(dead)));
    p.Box(-1, 0, 10, 9, car ? 11 : 10, car ? 15 : 15, Team(Mix(hull, static_cast<float>(1.05 * dead))));
    const double recoil = IsFireWork(work) && frame == 1 ? -2 : 0;
    p.Line(4 + recoil, 0, 13, 18 + recoil, 0, 13.5, 2, Mix(hull, 0.8f));
    if (IsFireWork(work) && frame <= 1)
        p.Blob(20, 0, 14, 4, 3, kFlash);
    if (IsDeathWork(work))
        for (int i = 0; i <= frame; ++i)
            p.Blob(-2 + i, 0, 17 + i * 4, 3 + i, 2.5 + i, {0.25f, 0.25f, 0.25f, 0.75f});
}

void DrawPlane(Painter& p, std::uint8_t type, std::uint8_t kind, int work, int frame, int frames)
{
    const bool bomber = kind == 12;
    const double span = bomber ? 30 : 20, length = bomber ? 26 : 18;
    const Rgba body = kind == 1 ? Rgba{0.6f, 0.55f, 0.35f, 1} : bomber ? Rgba{0.35f, 0.4f, 0.3f, 1} : Rgba{0.55f, 0.58f, 0.5f, 1};
    const double z = 10;
    if (IsDeathWork(work)) {
        const double t = frames > 1 ? static_cast<double>(frame) / (frames - 1) : 1.0;
        p.Line(-length / 2, 0, z, length / 2, 0, z - 4, 4, Mix(body, 0.5f));
        p.Line(0, -span / 2, z, 0, span / 2 * (1 - t * 0.5), z, 2, Mix(body, 0.4f));
        p.Blob(2, 0, z + 2 + t * 6, 3 + t * 3, 3 + t * 2, {0.2f, 0.2f, 0.2f, 0.8f});
        p.Blob(3, 0, z, 2.5, 2, kFlame);
        return;
    }
    (void)type;
    p.Line(-length / 2, 0, z, length / 2, 0, z, bomber ? 4 : 3, body);
    p.Box(1, 0, bomber ? 6 : 5, span, z + 1, z + 2, Mix(body, 1.1f));
    if (kind != 11 || bomber)
        p.Box(1, 0, bomber ? 6 : 5, span * 0.9, z + 5, z + 6, Mix(body, 1.15f)); // the upper wing of a biplane
    p.Box(-length / 2 + 2, 0, 3, span * 0.35, z, z + 1, body);
    p.Line(-length / 2 + 1, 0, z, -length / 2 + 1, 0, z + 5, 2, Team(body)); // the fin
    p.Blob(1, span * 0.35, z + 2, 1.8, 1.8, Team({0.85f, 0.85f, 0.85f, 1})); // roundel
    p.Blob(1, -span * 0.35, z + 2, 1.8, 1.8, Team({0.85f, 0.85f, 0.85f, 1}));
    // The propeller blurs into a disc whose light moves from frame to frame.
    const double blade = frame % 2 ? 1.0 : 0.6;
    if (bomber) {
        p.Blob(4, -7, z + 2, 3 * blade, 3, {0.8f, 0.8f, 0.8f, 0.45f});
        p.Blob(4, 7, z + 2, 3 * blade, 3, {0.8f, 0.8f, 0.8f, 0.45f});
    } else {
        p.Blob(length / 2 + 1, 0, z, 3 * blade, 3, {0.8f, 0.8f, 0.8f, 0.45f});
    }
    if (IsFireWork(work) && frame % 2 == 0)
        p.Blob(length / 2 + 4, 0, z, 2.5, 2, kFlash);
}

void DrawShip(Painter& p, std::uint8_t type, int work, int frame, int frames)
{
    const double length = type == 20 ? 110 : type == 19 ? 96 : type == 17 ? 90 : 72;
    const double beam = length * 0.18;
    const Rgba hull{0.4f, 0.42f, 0.45f, 1};
    const Rgba deck{0.6f, 0.52f, 0.38f, 1};
    const double sink = IsDeathWork(work) && frames > 1 ? 6.0 * frame / (frames - 1) : 0;
    p.Blob(0, 0, 0, length * 0.55, beam * 0.6, {0.85f, 0.9f, 0.95f, 0.5f}); // wake foam
    for (int i = -5; i <= 5; ++i) {
        const double w = beam * std::sqrt(1 - (i / 5.5) * (i / 5.5));
        p.Box(i * length / 11, 0, length / 11 + 1, w, 0, std::max(1.0, 7 - sink), hull);
    }
    for (int i = -5; i <= 5; ++i) {
        const double w = beam * 0.85 * std::sqrt(1 - (i / 5.5) * (i / 5.5));
        p.Quad(i * length / 11, 0, length / 11 + 1, w, 7.5 - sink, deck);
    }
    if (type == 17) {
        p.Box(-length * 0.3, 0, length * 0.2, beam * 0.6, 7 - sink, 14 - sink, Mix(hull, 1.2f)); // bridge
        for (int i = 0; i < 3; ++i)
            p.Box(length * (0.05 + 0.12 * i), 0, length * 0.09, beam * 0.6, 7 - sink, 10 - sink, kWood); // cargo
    } else {
        p.Box(-length * 0.05, 0, length * 0.18, beam * 0.5, 7 - sink, 16 - sink, Mix(hull, 1.2f));
        const int funnels = type == 18 ? 2 : 3;
        for (int i = 0; i < funnels; ++i)
            p.Box(-length * (0.18 + 0.07 * i), 0, 4, 4, 9 - sink, 24 - sink, Team({0.45f, 0.45f, 0.45f, 1})); // funnels
        const int turrets = type == 18 ? 1 : 2;
        for (int i = 0; i < turrets; ++i) {
            const double u = length * (i == 0 ? 0.28 : -0.34);
            p.Box(u, 0, 8, 7, 7 - sink, 11 - sink, Mix(hull, 1.1f));
            p.Line(u, 0, 10 - sink, u + (i == 0 ? 10 : -10), 0, 10.5 - sink, 2, kSteel);
        }
    }
    if (work == 0)
        p.Blob(length * 0.5, 0, 1, 3 + frame % 2, beam * 0.5, {0.9f, 0.95f, 1.0f, 0.7f}); // bow wave
    if (IsDeathWork(work))
        p.Blob(0, 0, 20 - sink, 6 + frame * 2, 4 + frame, {0.2f, 0.2f, 0.2f, 0.8f});
}

// A ship on the slipway: the keel laid first, then the hull plates rising frame by frame inside
// the scaffolding, the deck and superstructure last.
void DrawShipOnSlip(Painter& p, std::uint8_t type, double done)
{
    const double length = type == 20 ? 110 : type == 19 ? 96 : type == 17 ? 90 : 72;
    const double beam = length * 0.18;
    const Rgba rust{0.5f, 0.3f, 0.2f, 1};
    const Rgba hull{0.4f, 0.42f, 0.45f, 1};
    p.Quad(0, 0, length * 1.1, beam * 2.6, 0, {0.45f, 0.4f, 0.33f, 1}); // the slipway
    const double plated = std::clamp(done * 1.4, 0.0, 1.0);
    for (int i = -5; i <= 5; ++i) {
        const double w = beam * std::sqrt(1 - (i / 5.5) * (i / 5.5));
        const double top = 1.0 + 6.0 * plated;
        p.Box(i * length / 11, 0, length / 11 + 1, w, 0, top, (i + 5) % 3 == 0 ? rust : hull);
    }
    if (done > 0.7) {
        p.Quad(0, 0, length * 0.9, beam * 1.4, 7.5, {0.6f, 0.52f, 0.38f, 1});
        p.Box(-length * 0.05, 0, length * 0.18, beam * 0.5, 7, 7 + 9 * (done - 0.7) / 0.3, Mix(hull, 1.2f));
        p.Box(-length * 0.2, 0, 4, 4, 9, 9 + 15 * (done - 0.7) / 0.3, Team({0.45f, 0.45f, 0.45f, 1}));
    }
    // Scaffold poles along both sides and a crane at the stern.
    for (int i = -4; i <= 4; i += 2)
        for (double side : {-1.0, 1.0})
            p.Line(i * length / 10, side * beam * 1.2, 0, i * length / 10, side * beam * 1.2, 20, 1.2, kWood);
    p.Line(-length * 0.55, beam * 1.5, 0, -length * 0.55, beam * 1.5, 34, 2, kSteel);
    p.Line(-length * 0.55, beam * 1.5, 34, -length * 0.55 + 30 * done, 0, 34, 1.5, kSteel);
}

void DrawFigure(Painter& p, std::uint8_t type, std::uint8_t kind, int work, int frame, int frames)
{
    if (IsAirKind(kind))
        DrawPlane(p, type, kind, work, frame, frames);
    else if (IsShipKind(kind))
        DrawShip(p, type, work, frame, frames);
    else if (kind == 3)
        DrawTank(p, type, work, frame);
    else if (kind == 4 || kind == 10)
        DrawGun(p, type, kind, work, frame, frames);
    else if (kind == 5)
        DrawRider(p, type, work, frame, frames);
    else
        DrawSoldier(p, type, kind, work, frame, frames);
}

// The frame cut to the pixels it shows (at least one), placed where they stood in the box: the
// overlay covers little of a figure, and every pixel of a quad costs drawing time.
UnitFrameImage CropToContent(const UnitFrameImage& f)
{
    int left = f.width, top = f.height, right = 0, bottom = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            if (f.pixels[static_cast<std::size_t>(y) * f.width + x] >> 12) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x + 1);
                bottom = std::max(bottom, y + 1);
            }
    if (right <= left)
        return UnitFrameImage{f.x, f.y, 1, 1, {0}};
    UnitFrameImage out{f.x + left, f.y + top, right - left, bottom - top, {}};
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            out.pixels.push_back(f.pixels[static_cast<std::size_t>(y) * f.width + x]);
    return out;
}

} // namespace

std::vector<std::uint8_t> BuildUnitWorkEntry(const UnitWorkImages& work)
{
    const std::size_t count = static_cast<std::size_t>(work.frameCount) * kOrients;
    const bool has2 = work.layers[1].size() == count && count != 0;
    const bool has3 = work.layers[2].size() == count && count != 0;
    // Head, layer 1 headers, the two offsets of the layer 3 and layer 2 header blocks, those
    // blocks, then the pixels of every frame in header order.
    const std::size_t block = count * kHeaderSize;
    const std::size_t layer1 = 2, offsets = layer1 + block;
    const std::size_t layer3 = offsets + 8, layer2 = layer3 + (has3 ? block : 0);
    std::size_t pixels = layer2 + (has2 ? block : 0);
    std::vector<std::uint8_t> out(pixels, 0);
    out[0] = static_cast<std::uint8_t>(work.frameCount);
    out[1] = static_cast<std::uint8_t>((has2 ? 1 : 0) | (has3 ? 2 : 0));
    plat::WriteU32LE(out.data() + offsets, has3 ? static_cast<std::uint32_t>(layer3) : 0);
    plat::WriteU32LE(out.data() + offsets + 4, has2 ? static_cast<std::uint32_t>(layer2) : 0);
    auto writeLayer = [&](const std::vector<UnitFrameImage>& frames, std::size_t headersAt) {
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const UnitFrameImage& f = frames[i];
            PutHeader(out, headersAt + i * kHeaderSize, f, static_cast<std::uint32_t>(out.size()));
            for (std::uint16_t px : f.pixels) {
                out.push_back(static_cast<std::uint8_t>(px));
                out.push_back(static_cast<std::uint8_t>(px >> 8));
            }
        }
    };
    if (work.layers[0].size() == count)
        writeLayer(work.layers[0], layer1);
    if (has3)
        writeLayer(work.layers[2], layer3);
    if (has2)
        writeLayer(work.layers[1], layer2);
    return out;
}

// The height above the foot point, in the figures' drawing units, that each family fills.
double FigureHeight(std::uint8_t kind)
{
    if (IsShipKind(kind))
        return 30;
    if (IsAirKind(kind))
        return 22;
    if (kind == 3 || kind == 4 || kind == 10)
        return 24;
    if (kind == 5)
        return 32;
    return 30;
}

int SampleUnitWorkFrames(const SampleUnitType& type, int work)
{
    if (work < 0 || work >= 30)
        return 0;
    // The stand pose: read where no other work gives it.
    if (work == 3)
        return 1;
    return SampleAnimationSizes(type)[static_cast<std::size_t>(work)];
}

UnitWorkImages DrawSampleUnitWork(const SampleUnitType& type, int work)
{
    UnitWorkImages out;
    out.frameCount = SampleUnitWorkFrames(type, work);
    const int width = type.width, height = type.height;
    const double scale = height / 2.0 / FigureHeight(type.kind) * 0.95;
    const int pose = PoseWork(type.kind, work);
    bool team = false;
    for (int orient = 0; orient < kOrients; ++orient) {
        for (int frame = 0; frame < out.frameCount; ++frame) {
            // Turning frames sweep from this facing toward the next.
            double facing = orient * kPi / 4;
            if (work == 5)
                facing += (kPi / 4) * frame / out.frameCount;
            for (int layer = 0; layer < 2; ++layer) {
                Painter p(width, height, facing, layer == 1, scale);
                DrawFigure(p, type.type, type.kind, pose, frame, out.frameCount);
                out.layers[layer].push_back(UnitFrameImage{0, 0, width, height, p.To4444()});
                if (layer == 0) {
                    team = team || p.HasTeam();
                    out.layers[2].push_back(CropToContent(UnitFrameImage{0, 0, width, height, p.OverlayTo4444()}));
                }
            }
        }
    }
    // Figures that show no team surface in this work (a wreck) carry no overlay.
    if (!team)
        out.layers[2].clear();
    return out;
}

std::vector<LesSource> MakeSampleUnitArchive(const SampleUnitType& type)
{
    std::vector<LesSource> entries;
    for (int work = 0; work < 30; ++work) {
        const UnitWorkImages images = DrawSampleUnitWork(type, work);
        if (images.frameCount == 0)
            continue;
        entries.push_back(LesSource{"work" + std::to_string(work), static_cast<std::uint16_t>(work), BuildUnitWorkEntry(images)});
    }
    return entries;
}

// --- ship archives ---

namespace {

constexpr int kShipHullFrames = 4;           // frames per 45 degrees of heading
constexpr int kShipConstructionFrames = 17;  // stage s is frame 8 s
constexpr int kShipWreckFrames = 4;          // sinking stages
constexpr double kShipPointScale = 3.4105608; // archive units to world pixels

void PutF32(std::vector<std::uint8_t>& out, float v)
{
    std::uint32_t u = 0;
    std::memcpy(&u, &v, 4);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}

void PutPoint(std::vector<std::uint8_t>& out, double x, double y, double z)
{
    PutF32(out, static_cast<float>(x / kShipPointScale));
    PutF32(out, static_cast<float>(y / kShipPointScale));
    PutF32(out, static_cast<float>(z / kShipPointScale));
}

double ShipScale(const SampleUnitType& type)
{
    return type.height / 2.0 / 30.0 * 0.95;
}

// Half the hull's length in world pixels: the drawn length seen from the side, undone from the
// map's projection (a keel of length d across the screen is 1.2247 d wide).
double HalfKeel(const SampleUnitType& type)
{
    const double length = type.type == 20 ? 110 : type.type == 19 ? 96 : type.type == 17 ? 90 : 72;
    return length * ShipScale(type) / 1.2247449 / 2.0;
}

// A part entry: u8 frames, u8 layers (2), then per layer per frame a tiled picture.
std::vector<std::uint8_t> PartEntry(const SampleUnitType& type, int frames, const std::function<double(int)>& headingOf,
                                    const std::function<void(Painter&, int)>& draw)
{
    std::vector<std::vector<std::uint8_t>> pictures[2];
    for (int f = 0; f < frames; ++f) {
        Painter p(type.width, type.height, -headingOf(f), false, ShipScale(type));
        draw(p, f);
        const std::vector<std::uint16_t> layers[2] = {p.To4444(), p.OverlayTo4444()};
        for (int l = 0; l < 2; ++l)
            pictures[l].push_back(MakePictureBlock(CutIntoTiles(type.width, type.height, layers[l], 256)));
    }
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(frames), 2};
    for (const auto& layer : pictures)
        for (const std::vector<std::uint8_t>& block : layer)
            out.insert(out.end(), block.begin(), block.end());
    return out;
}

} // namespace

std::vector<std::uint8_t> BuildSampleShipRecord(const SampleUnitType& type)
{
    std::vector<std::uint8_t> out{2 /* layers */, 0 /* n */, 0 /* table of n + 1 */, 4 /* k */};
    // Gun turrets: fore and aft on cruisers and battleships, fore on destroyers; drawn in the hull.
    const double half = HalfKeel(type);
    std::vector<double> turrets;
    if (type.type == 18)
        turrets = {0.28};
    else if (type.type >= 19)
        turrets = {0.28, -0.34};
    out.push_back(static_cast<std::uint8_t>(turrets.size()));
    const double axis = 0.70710678;
    for (double t : turrets) {
        const double along = t * 2.0 * half;
        PutF32(out, static_cast<float>(along * axis));
        PutF32(out, static_cast<float>(along * axis));
        PutF32(out, 12.0f);
        out.push_back(1);
        for (float v : {150.0f, -150.0f, t > 0 ? 0.0f : 180.0f, 0.0f, 0.0f, 0.0f})
            PutF32(out, v);
        PutF32(out, t > 0 ? 0.0f : 180.0f);
        out.push_back(1);
        PutF32(out, 0.05f);
        out.push_back(type.type == 18 ? 2 : type.type == 19 ? 3 : 5);
        for (int b = 0; b < 4; ++b)
            for (float v : {t > 0 ? 18.0f : -18.0f, 0.0f, 12.0f})
                PutF32(out, b == 0 ? v : 0.0f);
    }
    out.push_back(0); // m
    // The keel runs bow to stern along the heading-0 direction (1, 1) of the ship's own frame.
    out.push_back(2);
    PutPoint(out, half * axis, half * axis, 0.0);
    PutPoint(out, -half * axis, -half * axis, 0.0);
    out.push_back(4);
    const double beam = half * 0.36;
    for (double a : {1.0, -1.0})
        for (double b : {1.0, -1.0})
            PutPoint(out, a * half * axis - b * beam * axis, a * half * axis + b * beam * axis, 0.0);
    out.push_back(kShipHullFrames);
    out.push_back(kShipConstructionFrames);
    out.push_back(kShipWreckFrames);
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(t * 4 + i));
    return out;
}

std::vector<LesSource> MakeSampleShipArchive(const SampleUnitType& type)
{
    std::vector<LesSource> entries;
    entries.push_back({"ship", 0, BuildSampleShipRecord(type)});
    constexpr double kEighth = kPi / 4.0;
    for (int o = 0; o < 8; ++o)
        entries.push_back({"hull" + std::to_string(o), static_cast<std::uint16_t>(1 + o),
                           PartEntry(type, kShipHullFrames,
                                     [o](int f) { return o * kEighth + f * kEighth / kShipHullFrames; },
                                     [&type](Painter& p, int) { DrawShip(p, type.type, 3, 0, 1); })});
    for (int o : {7, 5})
        entries.push_back({"build" + std::to_string(o), static_cast<std::uint16_t>(o == 7 ? 9 : 10),
                           PartEntry(type, kShipConstructionFrames, [o](int) { return o * kEighth; },
                                     [&type](Painter& p, int f) {
                                         DrawShipOnSlip(p, type.type, f / static_cast<double>(kShipConstructionFrames - 1));
                                     })});
    for (int o = 0; o < 8; ++o)
        entries.push_back({"wreck" + std::to_string(o), static_cast<std::uint16_t>(11 + o),
                           PartEntry(type, kShipWreckFrames, [o](int) { return o * kEighth; },
                                     [&type](Painter& p, int f) { DrawShip(p, type.type, 15, f, kShipWreckFrames); })});
    // The foam line of a sinking ship, along the keel (given a quarter turn back).
    const double half = HalfKeel(type) / kShipPointScale;
    const std::string boiling = "1 " + std::to_string(type.type == 20 ? 12 : 8) + " " + std::to_string(half * 0.8) +
                                " 0 0 " + std::to_string(-half * 0.8) + " 0 0";
    entries.push_back({"boiling", 255, std::vector<std::uint8_t>(boiling.begin(), boiling.end())});
    return entries;
}

namespace {

std::uint16_t Pack4444(float a, float r, float g, float b)
{
    auto q = [](float v) { return static_cast<std::uint16_t>(std::clamp(v, 0.0f, 1.0f) * 15.0f + 0.5f); };
    return static_cast<std::uint16_t>(q(a) << 12 | q(r) << 8 | q(g) << 4 | q(b));
}

float Noise(int x, int y, int seed)
{
    const std::uint32_t h = (static_cast<std::uint32_t>(x) * 73856093u) ^ (static_cast<std::uint32_t>(y) * 19349663u) ^
                            (static_cast<std::uint32_t>(seed) * 83492791u);
    return static_cast<float>((h ^ (h >> 13)) % 1000) / 999.0f;
}

// A downward chevron, white shaded from the top and outlined, which the game tints with the owner's
// colour.
std::vector<std::uint16_t> ChevronPixels(int w, int h)
{
    std::vector<std::uint16_t> px(static_cast<std::size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        const double half = (w / 2.0) * (1.0 - static_cast<double>(y) / h);
        for (int x = 0; x < w; ++x) {
            const double d = std::abs(x + 0.5 - w / 2.0);
            if (d > half)
                continue;
            const bool edge = d > half - 1.2 || y == 0;
            const float shade = 1.0f - 0.35f * static_cast<float>(y) / static_cast<float>(h);
            px[static_cast<std::size_t>(y) * w + x] = edge ? Pack4444(1, 0.15f, 0.15f, 0.15f) : Pack4444(1, shade, shade, shade);
        }
    }
    return px;
}

// A small outlined diamond.
std::vector<std::uint16_t> DiamondPixels(int size)
{
    std::vector<std::uint16_t> px(static_cast<std::size_t>(size) * size, 0);
    const double c = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double d = std::abs(x + 0.5 - c) + std::abs(y + 0.5 - c);
            if (d <= c)
                px[static_cast<std::size_t>(y) * size + x] =
                    d > c - 1.3 ? Pack4444(1, 0.15f, 0.15f, 0.15f) : Pack4444(1, 0.95f, 0.95f, 0.95f);
        }
    return px;
}

// The ground where an aircraft came down: a scorched furrow along its course with soot fading
// out at the edges, torn metal and splintered wood strewn along it.
std::vector<std::uint16_t> WreckPixels(int w, int h, int type, int picture)
{
    std::vector<std::uint16_t> px(static_cast<std::size_t>(w) * h, 0);
    const double course = picture * kPi / 4 + (type == 12 ? 0.3 : 0.0);
    const double cu = std::cos(course), su = std::sin(course) * 0.5;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = (x + 0.5 - w / 2.0) / (w / 2.0), dy = (y + 0.5 - h / 2.0) / (h / 2.0);
            // Along and across the course, in the flattened ground view.
            const double along = dx * cu + dy * su * 2, across = -dx * su * 2 + dy * cu;
            const double r = std::sqrt(along * along * 0.7 + across * across * 2.2);
            if (r >= 1.0)
                continue;
            const float n = Noise(x, y, type * 8 + picture);
            const float soot = static_cast<float>(1.0 - r) * (0.75f + 0.25f * n);
            float red = 0.16f + 0.1f * n, green = 0.12f + 0.06f * n, blue = 0.08f;
            if (n > 0.93f && r < 0.8) { // metal scraps
                red = green = blue = 0.55f + 0.3f * n;
            } else if (n < 0.05f && r < 0.7) { // glowing embers
                red = 0.9f, green = 0.4f, blue = 0.1f;
            } else if (std::abs(across) < 0.08 && r < 0.85) { // the furrow
                red *= 0.5f, green *= 0.5f, blue *= 0.5f;
            }
            px[static_cast<std::size_t>(y) * w + x] = Pack4444(std::min(1.0f, soot * 1.6f), red, green, blue);
        }
    return px;
}

} // namespace

std::vector<SampleFile> MakeUnitDrawPictures()
{
    std::vector<SampleFile> files;
    files.push_back({"Data\\Misc\\UnitSelect.444", Make444(16, 8, ChevronPixels(16, 8))});
    files.push_back({"Data\\Misc\\UnitMark.444", Make444(8, 8, DiamondPixels(8))});
    for (int type = 11; type <= 12; ++type)
        for (int i = 0; i < 4; ++i)
            files.push_back({"Data\\Misc\\Wrecks\\Wreck" + std::to_string(type) + "_" + std::to_string(i) + ".444",
                             Make444(64, 32, WreckPixels(64, 32, type, i))});
    return files;
}

bool WriteUnitGraphics(const std::string& outDir)
{
    for (const SampleUnitType& t : kSampleUnitTypes)
        if (!WriteLesArchive(outDir, "Data\\Units\\" + SampleUnitArchiveName(t) + ".les",
                             IsShipKind(t.kind) ? MakeSampleShipArchive(t) : MakeSampleUnitArchive(t)))
            return false;
    for (const SampleFile& f : MakeUnitDrawPictures())
        if (!WriteFileBytes(outDir, f.path, f.bytes.data(), f.bytes.size()))
            return false;
    return true;
}

} // namespace sampledata
