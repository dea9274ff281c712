#include "building_graphics.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "span_images.h"

namespace sampledata {

namespace {

struct Rgb {
    int r, g, b;
};

// How one building type looks: walls, roof and the details that tell it apart.
struct HouseLook {
    int wallHeight;  // pixels
    int roofHeight;  // pixels above the wall top
    int roofStyle;   // 0 gable, 1 flat with parapet, 2 pyramid
    Rgb wall;
    Rgb roof;
    int chimneys;    // tall stacks at the back
    bool tower;      // a narrow tower rising from the middle
    bool slits;      // firing slits instead of windows
};

HouseLook LookOf(const SampleHouseType& t, bool neutral)
{
    const Rgb brick{150, 72, 52}, stone{150, 146, 132}, concrete{128, 128, 118}, timber{128, 92, 56},
        plaster{196, 184, 150};
    const Rgb slate{70, 76, 92}, tile{160, 64, 40}, copper{84, 140, 116}, tar{52, 50, 48}, thatch{190, 160, 80};
    if (neutral) {
        switch (t.type) {
        case 0: return {10, 34, 2, thatch, thatch, 0, false, false};
        case 1: return {14, 16, 2, stone, tile, 0, false, false};
        case 2: return {34, 30, 0, plaster, thatch, 1, false, false};
        case 3: return {30, 20, 2, timber, slate, 0, true, false};
        case 4: return {32, 28, 0, stone, slate, 0, true, false};
        default: return {28, 0, 1, stone, tar, 0, false, false};
        }
    }
    switch (t.type) {
    case 0: return {44, 6, 1, brick, tar, 2, false, false};         // power plant
    case 1: return {16, 6, 1, concrete, concrete, 0, false, true};  // pillbox
    case 2: return {40, 26, 2, plaster, copper, 0, false, false};   // science academy
    case 3: return {34, 26, 0, brick, slate, 0, false, false};      // barracks
    case 4: return {36, 10, 1, brick, tar, 1, false, false};        // artillery works
    case 5: return {40, 26, 0, stone, copper, 0, true, false};      // war academy
    case 6: return {42, 30, 2, stone, slate, 0, true, false};       // town hall
    case 7: return {14, 4, 1, concrete, concrete, 0, false, true};  // bunker
    case 8: return {26, 24, 0, timber, tile, 0, false, false};      // market
    case 9: return {28, 26, 0, plaster, tile, 1, false, false};     // dwelling
    case 10: return {26, 18, 0, timber, slate, 0, true, false};     // iron mine: head frame
    case 11: return {26, 18, 0, timber, tile, 0, true, false};      // gold mine
    case 12: return {24, 24, 0, timber, timber, 1, false, false};   // lumber mill
    case 13: return {20, 0, 1, tar, tar, 0, true, false};           // oil well: derrick
    case 14: return {34, 22, 2, stone, copper, 0, false, false};    // mint
    case 15: return {24, 30, 0, timber, thatch, 0, false, false};   // farm
    case 16: return {26, 26, 0, timber, slate, 0, false, false};    // stables
    case 17: return {22, 18, 0, plaster, plaster, 0, false, false}; // field hospital: tents
    case 18: return {38, 22, 0, plaster, tile, 0, false, false};    // hospital
    case 19: return {40, 14, 1, brick, slate, 3, false, false};     // tank factory
    case 20: return {30, 40, 0, concrete, slate, 0, false, false};  // air hangar
    case 21: return {70, 16, 2, timber, slate, 0, false, false};    // watchtower
    case 22: return {30, 16, 1, stone, tar, 1, true, false};        // port
    case 23: return {32, 12, 1, concrete, tar, 0, false, false};    // ordnance depot
    default: return {16, 8, 1, concrete, concrete, 0, false, true}; // howitzer emplacement
    }
}

// A deterministic hash for surface noise, so the pictures are the same on every run.
int Noise(int x, int y, int salt)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u ^
                      static_cast<std::uint32_t>(salt) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<int>(h & 31) - 16;
}

struct Canvas {
    int width = 0;
    int rows = 0;
    SpanPicture colour;
    SpanPicture mask; // the player-colour overlay (white where the player colour shows)

    Canvas(int w, int h)
        : width(w), rows(h)
    {
        for (SpanPicture* p : {&colour, &mask}) {
            p->width = w;
            p->rows = h;
            p->opaque.assign(static_cast<std::size_t>(w) * h, 0);
            p->rgb.assign(static_cast<std::size_t>(w) * h * 3, 0);
            p->heights.assign(static_cast<std::size_t>(w) * h, 0);
        }
    }

    void Put(int x, int y, Rgb c, int height, bool playerColour = false)
    {
        if (x < 0 || y < 0 || x >= width || y >= rows)
            return;
        const std::size_t i = static_cast<std::size_t>(y) * width + x;
        colour.opaque[i] = 1;
        colour.rgb[i * 3] = static_cast<std::uint8_t>(std::clamp(c.r, 0, 255));
        colour.rgb[i * 3 + 1] = static_cast<std::uint8_t>(std::clamp(c.g, 0, 255));
        colour.rgb[i * 3 + 2] = static_cast<std::uint8_t>(std::clamp(c.b, 0, 255));
        colour.heights[i] = static_cast<std::uint16_t>(std::max(height, 0));
        mask.opaque[i] = playerColour ? 1 : 0;
        if (playerColour) {
            mask.rgb[i * 3] = mask.rgb[i * 3 + 1] = mask.rgb[i * 3 + 2] = 255;
            mask.heights[i] = colour.heights[i];
        }
    }
};

struct P {
    double x, y;
};

Rgb Shade(Rgb c, double light, int noise)
{
    return {static_cast<int>(c.r * light) + noise, static_cast<int>(c.g * light) + noise,
            static_cast<int>(c.b * light) + noise};
}

// Fills a convex polygon; paint decides each pixel's colour (and whether it is drawn).
template <class Paint>
void FillPolygon(Canvas& cv, const std::vector<P>& poly, Paint paint)
{
    double top = 1e9, bottom = -1e9;
    for (const P& p : poly) {
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    for (int y = std::max(0, static_cast<int>(std::floor(top))); y <= std::min(cv.rows - 1, static_cast<int>(bottom)); ++y) {
        const double sy = y + 0.5;
        double left = 1e9, right = -1e9;
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const P& a = poly[i];
            const P& b = poly[(i + 1) % poly.size()];
            if ((a.y <= sy && b.y > sy) || (b.y <= sy && a.y > sy)) {
                const double x = a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        for (int x = std::max(0, static_cast<int>(std::ceil(left - 0.5))); x < std::min(cv.width, static_cast<int>(std::ceil(right - 0.5))); ++x)
            paint(x, y);
    }
}

// The ground plan: the front corner F, and the steps along the rows (north-east) and cells
// (north-west) of the footprint.
struct Plan {
    P front, right, left, back;
};

Plan PlanOf(const SampleHouseType& t, int width, int rows)
{
    const double cx = width / 2.0 - (t.rows - t.cells) * 24.0;
    const P f{cx, rows - 4.0};
    return {f, {f.x + t.rows * 48.0, f.y - t.rows * 24.0}, {f.x - t.cells * 48.0, f.y - t.cells * 24.0},
            {f.x + t.rows * 48.0 - t.cells * 48.0, f.y - (t.rows + t.cells) * 24.0}};
}

P Up(P p, double h)
{
    return {p.x, p.y - h};
}

P Lerp(P a, P b, double t)
{
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

// Walls: the two faces the viewer sees, lit from the left, with windows or slits and a player
// band under the eaves.
void DrawWalls(Canvas& cv, const Plan& pl, double height, const HouseLook& look, bool band, bool charred, int salt)
{
    const auto face = [&](P a, P b, double light, int faceSalt) {
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        FillPolygon(cv, {a, b, Up(b, height), Up(a, height)}, [&](int x, int y) {
            const double t = std::clamp((x + 0.5 - a.x) / (b.x - a.x), 0.0, 1.0);
            const double baseY = a.y + (b.y - a.y) * t;
            const double above = baseY - (y + 0.5);
            const int h = static_cast<int>(above);
            Rgb c = Shade(look.wall, light, Noise(x, y, salt + faceSalt) / 2);
            // Courses of brick or stone.
            if (static_cast<int>(above) % 6 == 0)
                c = Shade(c, 0.85, 0);
            const double along = t * len;
            const bool windowRow = look.slits ? (above > height * 0.55 && above < height * 0.7)
                                              : (above > height * 0.35 && above < height * 0.7);
            const bool windowCol = look.slits ? (static_cast<int>(along) % 28 < 12) : (static_cast<int>(along) % 24 > 12);
            if (!charred && windowRow && windowCol && along > 8 && along < len - 8)
                c = look.slits ? Rgb{20, 20, 22} : Rgb{70 + Noise(x, 1, 3) / 2, 90, 120};
            if (charred)
                c = Shade(c, 0.45 + 0.2 * (above / std::max(height, 1.0)), Noise(x, y, 9));
            const bool isBand = band && above > height - 5 && above <= height - 1;
            if (isBand)
                c = {235, 235, 235};
            cv.Put(x, y, c, h, isBand);
        });
    };
    face(pl.left, pl.front, 1.0, 1);
    face(pl.front, pl.right, 0.68, 2);
}

void DrawRoof(Canvas& cv, const Plan& pl, double wall, const HouseLook& look, int salt)
{
    const P f = Up(pl.front, wall), r = Up(pl.right, wall), l = Up(pl.left, wall), b = Up(pl.back, wall);
    const auto paintFlat = [&](double light, double lift) {
        return [&, light, lift](int x, int y) {
            Rgb c = Shade(look.roof, light, Noise(x, y, salt) / 2);
            if ((x + y) % 9 == 0)
                c = Shade(c, 0.9, 0);
            cv.Put(x, y, c, static_cast<int>(wall + lift));
        };
    };
    if (look.roofStyle == 1 || look.roofHeight == 0) {
        FillPolygon(cv, {f, r, b, l}, paintFlat(0.9, 0));
        // A parapet along the front edges.
        FillPolygon(cv, {l, f, Up(f, 4), Up(l, 4)}, paintFlat(0.75, 2));
        FillPolygon(cv, {f, r, Up(r, 4), Up(f, 4)}, paintFlat(0.55, 2));
        return;
    }
    const double rh = look.roofHeight;
    if (look.roofStyle == 2) {
        const P apex = Up(Lerp(f, b, 0.5), rh);
        FillPolygon(cv, {l, b, apex}, paintFlat(0.8, rh / 2));
        FillPolygon(cv, {b, r, apex}, paintFlat(0.6, rh / 2));
        FillPolygon(cv, {l, f, apex}, paintFlat(1.05, rh / 2));
        FillPolygon(cv, {f, r, apex}, paintFlat(0.72, rh / 2));
        return;
    }
    // Gable: the ridge runs along the longer side.
    const bool alongRows = std::hypot(r.x - f.x, r.y - f.y) >= std::hypot(l.x - f.x, l.y - f.y);
    if (alongRows) {
        const P r0 = Up(Lerp(f, l, 0.5), rh), r1 = Up(Lerp(r, b, 0.5), rh);
        FillPolygon(cv, {l, b, r1, r0}, paintFlat(0.85, rh / 2));
        FillPolygon(cv, {f, r, r1, r0}, paintFlat(0.7, rh / 2));
        FillPolygon(cv, {l, f, r0}, [&](int x, int y) { cv.Put(x, y, Shade(look.wall, 1.0, Noise(x, y, salt)), static_cast<int>(wall)); });
    } else {
        const P r0 = Up(Lerp(f, r, 0.5), rh), r1 = Up(Lerp(l, b, 0.5), rh);
        FillPolygon(cv, {r, b, r1, r0}, paintFlat(0.6, rh / 2));
        FillPolygon(cv, {f, l, r1, r0}, paintFlat(1.0, rh / 2));
        FillPolygon(cv, {f, r, r0}, [&](int x, int y) { cv.Put(x, y, Shade(look.wall, 0.68, Noise(x, y, salt)), static_cast<int>(wall)); });
    }
}

void DrawBox(Canvas& cv, P base, double w, double h, Rgb colour, int salt, bool player = false)
{
    FillPolygon(cv, {{base.x - w / 2, base.y}, {base.x, base.y + w / 4}, {base.x, base.y + w / 4 - h}, {base.x - w / 2, base.y - h}},
                [&](int x, int y) { cv.Put(x, y, Shade(colour, 1.0, Noise(x, y, salt)), static_cast<int>(h), player); });
    FillPolygon(cv, {{base.x, base.y + w / 4}, {base.x + w / 2, base.y}, {base.x + w / 2, base.y - h}, {base.x, base.y + w / 4 - h}},
                [&](int x, int y) { cv.Put(x, y, Shade(colour, 0.65, Noise(x, y, salt)), static_cast<int>(h), player); });
}

void DrawFlag(Canvas& cv, P foot)
{
    for (int i = 0; i < 22; ++i)
        cv.Put(static_cast<int>(foot.x), static_cast<int>(foot.y) - i, {60, 50, 40}, 40 + i);
    for (int r = 0; r < 8; ++r)
        for (int c = 1; c <= 12 - r / 2; ++c)
            cv.Put(static_cast<int>(foot.x) + c, static_cast<int>(foot.y) - 21 + r, {240, 240, 240}, 60, true);
}

// Scaffolding poles and planks around a building going up.
void DrawScaffold(Canvas& cv, const Plan& pl, double height)
{
    const Rgb wood{150, 110, 60};
    for (const P& p : {pl.left, pl.front, pl.right, Lerp(pl.left, pl.front, 0.5), Lerp(pl.front, pl.right, 0.5)})
        for (int i = 0; i < static_cast<int>(height) + 10; ++i)
            cv.Put(static_cast<int>(p.x), static_cast<int>(p.y) - i + 2, Shade(wood, 1.0, Noise(i, 0, 7) / 3), i);
    for (double level = 8; level < height + 8; level += 12)
        for (const auto& [a, b] : {std::pair{pl.left, pl.front}, std::pair{pl.front, pl.right}})
            for (double t = 0; t <= 1.0; t += 0.005) {
                const P p = Up(Lerp(a, b, t), level);
                cv.Put(static_cast<int>(p.x), static_cast<int>(p.y) + 2, {120, 86, 48}, static_cast<int>(level));
            }
}

void DrawRubble(Canvas& cv, const Plan& pl, int salt, int amount)
{
    for (int i = 0; i < amount; ++i) {
        const double u = (Noise(i, 1, salt) + 16) / 32.0;
        const double v = (Noise(i, 2, salt) + 16) / 32.0;
        const P p = Lerp(Lerp(pl.front, pl.right, u), Lerp(pl.left, pl.back, u), v);
        const int size = 3 + (Noise(i, 3, salt) + 16) / 6;
        const Rgb c{90 + Noise(i, 4, salt), 80 + Noise(i, 4, salt), 70 + Noise(i, 5, salt)};
        for (int dy = -size; dy <= 0; ++dy)
            for (int dx = -size + (-dy) / 2; dx <= size - (-dy) / 2; ++dx)
                cv.Put(static_cast<int>(p.x) + dx, static_cast<int>(p.y) + dy, Shade(c, 0.8 + 0.04 * (-dy), Noise(dx, dy, i)), -dy);
    }
}

// The building stands on its footprint with a yard around it.
Plan Inset(const Plan& p, double scale)
{
    const P c = Lerp(p.front, p.back, 0.5);
    const auto in = [&](P q) { return P{c.x + (q.x - c.x) * scale, c.y + (q.y - c.y) * scale}; };
    return {in(p.front), in(p.right), in(p.left), in(p.back)};
}

// One phase drawn: which state, how far built.
Canvas DrawPhase(const SampleHouseType& t, bool neutral, int state, int variant)
{
    Canvas cv(t.width, t.height);
    HouseLook look = LookOf(t, neutral);
    const Plan ground = PlanOf(t, t.width, t.height);
    const Plan pl = Inset(ground, 0.8);
    // Walls, roof, tower and flag must stay inside the sprite.
    const double room = pl.back.y - 24.0 - (look.tower ? 30.0 : 0.0);
    if (look.wallHeight + look.roofHeight > room && room > 8) {
        const double k = room / (look.wallHeight + look.roofHeight);
        look.wallHeight = static_cast<int>(look.wallHeight * k);
        look.roofHeight = static_cast<int>(look.roofHeight * k);
    }
    const int salt = t.type * 31 + (neutral ? 7 : 0);
    // A trodden ground patch under every phase anchors the building on the map.
    FillPolygon(cv, {ground.front, ground.right, ground.back, ground.left}, [&](int x, int y) {
        cv.Put(x, y, {110 + Noise(x, y, 5) / 2, 98 + Noise(x, y, 6) / 2, 70}, 0);
    });
    const bool player = !neutral;
    if (state == 1) { // construction stages
        const double built = look.wallHeight * (variant + 1) / (kSampleHouseConstructionStages + 1.0);
        DrawWalls(cv, pl, built, look, false, false, salt);
        if (variant == kSampleHouseConstructionStages - 1) {
            HouseLook open = look;
            open.roofHeight = look.roofHeight / 2;
            DrawRoof(cv, pl, built, open, salt);
        }
        DrawScaffold(cv, pl, built);
        if (player)
            DrawFlag(cv, pl.front);
        return cv;
    }
    if (state == 2) { // ruins
        const double left = variant == 0 ? look.wallHeight * 0.45 : look.wallHeight * 0.12;
        DrawWalls(cv, pl, left, look, false, true, salt);
        DrawRubble(cv, pl, salt + variant, variant == 0 ? 40 : 70);
        return cv;
    }
    DrawWalls(cv, pl, look.wallHeight, look, player, false, salt);
    for (int i = 0; i < look.chimneys; ++i) {
        const P foot = Up(Lerp(Lerp(pl.left, pl.back, 0.5), Lerp(pl.right, pl.back, 0.5), (i + 1.0) / (look.chimneys + 1)),
                          look.wallHeight - 6);
        DrawBox(cv, foot, 12, 40, {120, 60, 46}, salt + i);
    }
    DrawRoof(cv, pl, look.wallHeight, look, salt);
    const P centre = Up(Lerp(pl.front, pl.back, 0.5), look.wallHeight);
    if (look.tower)
        DrawBox(cv, {centre.x, centre.y + 6}, 22, look.roofHeight + 30, Shade(look.wall, 0.9, 0), salt + 3);
    if (player)
        DrawFlag(cv, Up(centre, look.tower ? look.roofHeight + 30 : look.roofHeight));
    return cv;
}

void AddPhase(std::vector<LesSource>& entries, std::uint16_t code, const Canvas& cv, bool overlay)
{
    const std::string base = "phase" + std::to_string(code);
    entries.push_back({base + ".img", code, EncodeIMg(cv.colour)});
    entries.push_back({base + ".tex", static_cast<std::uint16_t>(code + 1),
                       EncodeHouseTexture(cv.width, cv.rows, cv.colour.opaque, cv.colour.rgb)});
    entries.push_back({base + ".hmap", static_cast<std::uint16_t>(code + 2), EncodeHMap(cv.colour)});
    const bool any = std::find(cv.mask.opaque.begin(), cv.mask.opaque.end(), 1) != cv.mask.opaque.end();
    if (overlay && any)
        entries.push_back({base + "_mask.img", static_cast<std::uint16_t>(code + 3), EncodeIMg(cv.mask)});
}

} // namespace

std::vector<std::uint8_t> EncodeHouseTexture(int width, int rows, const std::vector<std::uint8_t>& opaque,
                                             const std::vector<std::uint8_t>& rgb)
{
    std::vector<std::uint8_t> out = {'H', 'T', 'E', 'X'};
    const auto put16 = [&](int v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    };
    put16(width);
    put16(rows);
    put16(0);
    put16(0);
    put16(0);
    put16(0);
    for (int i = 0; i < width * rows; ++i) {
        if (opaque[static_cast<std::size_t>(i)] == 0) {
            put16(0);
            continue;
        }
        const int r = rgb[static_cast<std::size_t>(i) * 3] >> 4;
        const int g = rgb[static_cast<std::size_t>(i) * 3 + 1] >> 4;
        const int b = rgb[static_cast<std::size_t>(i) * 3 + 2] >> 4;
        put16(0xF000 | (r << 8) | (g << 4) | b);
    }
    return out;
}

std::vector<LesSource> BuildHouseArchiveEntries(const SampleHouseType& type, bool neutral)
{
    std::vector<LesSource> entries;
    AddPhase(entries, 0, DrawPhase(type, neutral, 0, 0), !neutral);
    for (int v = 0; v < kSampleHouseConstructionStages; ++v)
        AddPhase(entries, static_cast<std::uint16_t>((v + 1) * 10), DrawPhase(type, neutral, 1, v), !neutral);
    for (int v = 0; v < kSampleHouseRuins; ++v)
        AddPhase(entries, static_cast<std::uint16_t>((v + 5) * 10), DrawPhase(type, neutral, 2, v), false);
    return entries;
}

bool WriteBuildingGraphics(const std::string& outDir)
{
    for (const SampleHouseType& t : kSampleHouseTypes)
        if (!WriteLesArchive(outDir, std::string("Data\\Objects\\Houses\\") + t.graphic + ".les",
                             BuildHouseArchiveEntries(t, false)))
            return false;
    for (const SampleHouseType& t : kSampleNeutralHouseTypes)
        if (!WriteLesArchive(outDir, std::string("Data\\Objects\\Houses\\") + t.graphic + ".les",
                             BuildHouseArchiveEntries(t, true)))
            return false;
    return true;
}

} // namespace sampledata
