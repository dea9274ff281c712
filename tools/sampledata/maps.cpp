#include "maps.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "archives.h"
#include "map/minimap.h"
#include "map/water.h"
#include "platform/surface.h"
#include "land_textures.h"
#include "objects.h"
#include "platform/bytes.h"
#include "put_bytes.h"
#include "sample_data.h"
#include "terrain_noise.h"

namespace sampledata {

namespace {

void PutOldHouse(std::vector<std::uint8_t>& out, const TMapHouseRecord& h)
{
    std::uint8_t r[MAP_OLD_HOUSE_RECORD_SIZE] = {};
    plat::WriteU32LE(r + 8, static_cast<std::uint32_t>(h.x));
    plat::WriteU32LE(r + 12, static_cast<std::uint32_t>(h.y));
    plat::WriteU16LE(r + 34, h.type);
    out.insert(out.end(), r, r + sizeof r);
}

void PutOldUnit(std::vector<std::uint8_t>& out, const TMapUnitRecord& u)
{
    std::vector<std::uint8_t> full;
    WriteMapUnitRecord(full, u);
    out.insert(out.end(), full.begin(), full.begin() + 11);
    out.push_back(0);
}

} // namespace

std::vector<std::uint8_t> BuildMapImage(const TMapFileData& map, const TMapFileTail& tail, bool oldForm)
{
    std::vector<std::uint8_t> out{'~', 'A', 'M', 'p'};
    out.reserve(16 + map.cells.size() * MAP_CELL_RECORD_SIZE);
    PutU16(out, map.width);
    PutU16(out, map.height);
    for (const TMapFileCell& c : map.cells) {
        out.push_back(c.height);
        PutU16(out, c.base);
        out.push_back(c.shade);
        out.push_back(c.reserved);
        for (std::uint16_t o : c.overlay)
            PutU16(out, o);
        PutU16(out, c.object);
    }
    PutU16(out, static_cast<std::uint16_t>(map.players.size()));
    for (const TMapPlayerRecord& p : map.players)
        WriteMapPlayerRecord(out, p);
    const std::size_t slots = std::min<std::size_t>(map.players.size(), MAP_PLAYER_SLOTS);
    for (int s = 0; s < MAP_PLAYER_SLOTS; ++s)
        PutU16(out, static_cast<std::uint16_t>(map.houses[s].size()));
    for (std::size_t s = 0; s < slots; ++s)
        for (const TMapHouseRecord& h : map.houses[s])
            oldForm ? PutOldHouse(out, h) : WriteMapHouseRecord(out, h);
    for (int s = 0; s < MAP_PLAYER_SLOTS; ++s)
        PutU16(out, static_cast<std::uint16_t>(map.units[s].size()));
    for (std::size_t s = 0; s < slots; ++s)
        for (const TMapUnitRecord& u : map.units[s])
            oldForm ? PutOldUnit(out, u) : WriteMapUnitRecord(out, u);

    if (tail.blocks >= 1)
        out.insert(out.end(), tail.craters.begin(), tail.craters.end());
    if (tail.blocks >= 2)
        out.insert(out.end(), tail.water.begin(), tail.water.end());
    if (tail.blocks >= 3) {
        PutU16(out, static_cast<std::uint16_t>(tail.neutralHouses.size()));
        for (const TMapHouseRecord& h : tail.neutralHouses)
            WriteMapHouseRecord(out, h);
        PutU16(out, static_cast<std::uint16_t>(tail.neutralUnits.size()));
        for (const TMapUnitRecord& u : tail.neutralUnits)
            WriteMapUnitRecord(out, u);
    }
    if (tail.blocks >= 4)
        out.insert(out.end(), tail.trenchList.begin(), tail.trenchList.end());
    if (tail.blocks >= 5) {
        PutU16(out, static_cast<std::uint16_t>(tail.portPoints.size()));
        for (const TPortPoint& p : tail.portPoints)
            PutU32(out, static_cast<std::uint32_t>(p.x) | (static_cast<std::uint32_t>(p.y) << 16));
    }
    return out;
}

std::vector<std::uint8_t> BuildMapFile(const TMapFileData& map, const TMapFileTail& tail, bool compressed)
{
    if (!compressed)
        return BuildMapImage(map, tail, true);
    return BuildCompressedFile(BuildMapImage(map, tail, false));
}

std::vector<std::uint8_t> BuildWaterBlock(const std::vector<std::uint16_t>& cells, const std::vector<WaterZone>& zones)
{
    std::vector<std::uint8_t> out;
    out.reserve(cells.size() * 2 + 2);
    for (std::uint16_t c : cells)
        PutU16(out, c);
    PutU16(out, static_cast<std::uint16_t>(zones.size()));
    for (const WaterZone& z : zones) {
        out.push_back(static_cast<std::uint8_t>(z.arcs.size()));
        PutU16(out, z.value);
        for (const auto& arc : z.arcs) {
            out.push_back(static_cast<std::uint8_t>(arc.size()));
            for (const auto& [x, y] : arc) {
                out.push_back(x);
                out.push_back(y);
            }
        }
    }
    return out;
}

namespace {

struct Recipe {
    int width = 32;
    int height = 96;
    int players = 2;
    std::uint32_t seed = 1;
    float hillHeight = 60;  // pixels of the highest hills above the plain
    float rockLine = 0.72f; // elevation above which rock, then snow
    float snowLine = 0.86f;
    float forest = 0.3f;  // share of land under woods
    float seaLevel = -1;  // elevation below which the sea lies (-1 none)
    int rivers = 0;
    bool winter = false;
    // Start cells chosen by hand (x < 0: round the map as usual).
    int startX[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int startY[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
};

constexpr std::uint8_t kPlainHeight = 34;

// Tiles' map coordinates: u across in tiles (0..W), v down in rows (0..H).
struct Terrain2D {
    const Recipe& r;
    float Elevation(float u, float v) const
    {
        float e = FractalNoise(u / 12.0f, v / 36.0f, r.seed, 4);
        // Keep the edges of a sea map low so the sea reaches the rim.
        if (r.seaLevel > 0) {
            const float cu = std::fabs(u / r.width - 0.5f) * 2;
            const float cv = std::fabs(v / r.height - 0.5f) * 2;
            e -= 0.35f * std::pow(std::max(cu, cv), 3.0f);
        }
        return e;
    }
    // Distance (in tiles) to the nearest river course.
    float River(float u, float v) const
    {
        float best = 1e9f;
        for (int i = 0; i < r.rivers; ++i) {
            const float centre = r.width * (i + 1.0f) / (r.rivers + 1);
            const float course = centre + 4 * std::sin(v / 23.0f + i * 2.1f) + 2.5f * std::sin(v / 9.0f + i);
            best = std::min(best, std::fabs(u - course));
        }
        return best;
    }
    // Water where negative.
    float Water(float u, float v) const
    {
        float w = 1.0f;
        if (r.seaLevel > 0)
            w = (Elevation(u, v) - r.seaLevel) * 8;
        if (r.rivers > 0)
            w = std::min(w, River(u, v) - 0.9f);
        return w;
    }
};

float PixelU(float px) { return px / 96.0f + 0.5f; }
float PixelV(float py) { return py / 24.0f; }

std::uint16_t CornerFlags(const Terrain2D& t, int c, int r, float out[4])
{
    const float xs[4] = {0, 48, 48, 0};
    const float ys[4] = {0, 0, 24, 24};
    std::uint16_t wet = 0;
    for (int k = 0; k < 4; ++k) {
        out[k] = t.Water(PixelU(48.0f * c + xs[k]), PixelV(24.0f * r + ys[k]));
        if (out[k] < 0)
            wet |= 1u << k;
    }
    return wet;
}

// Water grid and zones by marching squares over the water field.
void BuildWater(const Terrain2D& t, int w, int h, std::vector<std::uint16_t>& cells, std::vector<WaterZone>& zones)
{
    const int cols = 2 * w;
    cells.assign(static_cast<std::size_t>(cols) * h, 0);
    const float xs[4] = {0, 48, 48, 0};
    const float ys[4] = {0, 0, 24, 24};
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < cols; ++c) {
            float f[4];
            const std::uint16_t wet = CornerFlags(t, c, r, f);
            if (wet == 0)
                continue;
            // Light spots glint on a few open-water cells.
            const std::uint16_t look = 1;
            const std::uint16_t spot = (HashCell(c, r, 91) % 23 == 0) ? static_cast<std::uint16_t>((1 + HashCell(c, r, 92) % 7) << 4) : 0;
            if (wet == 15) {
                cells[r * cols + c] = look | spot;
                continue;
            }
            if (zones.size() >= 32767)
                continue;
            std::vector<std::pair<std::uint8_t, std::uint8_t>> arc;
            for (int k = 0; k < 4; ++k) {
                const int n = (k + 1) % 4;
                if (f[k] < 0)
                    arc.emplace_back(static_cast<std::uint8_t>(xs[k]), static_cast<std::uint8_t>(ys[k]));
                if ((f[k] < 0) != (f[n] < 0)) {
                    const float s = f[k] / (f[k] - f[n]);
                    arc.emplace_back(static_cast<std::uint8_t>(std::lround(xs[k] + (xs[n] - xs[k]) * s)),
                                     static_cast<std::uint8_t>(std::lround(ys[k] + (ys[n] - ys[k]) * s)));
                }
            }
            WaterZone z;
            z.value = look;
            z.arcs.push_back(std::move(arc));
            cells[r * cols + c] = static_cast<std::uint16_t>(0x8000 | zones.size());
            zones.push_back(std::move(z));
        }
}

// Blending order of the grounds: a ground laps over its neighbours of lower rank.
int Rank(Terrain t)
{
    switch (t) {
    case Terrain::Mud: return 0;
    case Terrain::Sand: return 1;
    case Terrain::Grass: return 2;
    case Terrain::Field: return 3;
    case Terrain::Earth: return 4;
    case Terrain::Rock: return 5;
    case Terrain::Snow: return 6;
    }
    return 0;
}

SampleMap Generate(const Recipe& r)
{
    SampleMap m;
    TMapFileData& d = m.data;
    d.width = static_cast<std::uint16_t>(r.width);
    d.height = static_cast<std::uint16_t>(r.height);
    d.cells.resize(static_cast<std::size_t>(r.width) * r.height);
    const Terrain2D t{r};
    std::vector<Terrain> ground(d.cells.size());
    std::vector<bool> wet(d.cells.size());
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            const float u = x - ((y & 1) ? 0.0f : 0.5f) + 0.5f;
            const float v = static_cast<float>(y);
            const float e = t.Elevation(u, v);
            const float water = t.Water(u, v);
            const std::size_t i = static_cast<std::size_t>(y) * r.width + x;
            TMapFileCell& c = d.cells[i];
            Terrain g = r.winter ? Terrain::Snow : Terrain::Grass;
            const float hill = std::max(0.0f, (e - 0.45f) / 0.55f);
            c.height = static_cast<std::uint8_t>(std::clamp(kPlainHeight + hill * r.hillHeight, 0.0f, 250.0f));
            if (water < 0) {
                g = Terrain::Mud;
                wet[i] = true;
                c.height = MAP_WATER_HEIGHT;
            } else if (water < 0.35f) {
                g = Terrain::Sand;
                c.height = static_cast<std::uint8_t>(MAP_WATER_HEIGHT + 2);
            } else if (e > r.snowLine) {
                g = Terrain::Snow;
            } else if (e > r.rockLine) {
                g = Terrain::Rock;
            } else if (!r.winter) {
                const float field = FractalNoise(u / 6.0f, v / 18.0f, r.seed + 5, 2);
                if (field > 0.68f && hill < 0.2f)
                    g = Terrain::Field;
                else if (FractalNoise(u / 3.0f, v / 9.0f, r.seed + 6, 2) > 0.72f)
                    g = Terrain::Earth;
            }
            ground[i] = g;
            const int variant = g == Terrain::Field ? static_cast<int>(HashCell(x / 4, y / 12, r.seed) % 4)
                                                    : static_cast<int>(HashCell(x, y, r.seed + 1) % kLandTextureVariants);
            c.base = static_cast<std::uint16_t>(LandTextureNumber(g, variant));
            c.shade = 200;
        }
    // Overlays: a higher-ranked neighbour laps over the slots along the shared edge.
    static const int kEdgeSlots[4][3] = {{2, 5, 8}, {6, 7, 8}, {0, 3, 6}, {0, 1, 2}}; // NE, SE, SW, NW
    for (int y = 1; y < r.height - 1; ++y)
        for (int x = 1; x < r.width - 1; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * r.width + x;
            const bool odd = (y & 1) != 0;
            const int nx[4] = {x + (odd ? 1 : 0), x + (odd ? 1 : 0), x - (odd ? 0 : 1), x - (odd ? 0 : 1)};
            const int ny[4] = {y - 1, y + 1, y + 1, y - 1};
            TMapFileCell& c = d.cells[i];
            for (int dir = 0; dir < 4; ++dir) {
                const std::size_t n = static_cast<std::size_t>(ny[dir]) * r.width + nx[dir];
                if (Rank(ground[n]) <= Rank(ground[i]))
                    continue;
                c.base |= 0x8000;
                for (int s : kEdgeSlots[dir])
                    c.overlay[s] = static_cast<std::uint16_t>(d.cells[n].base & 0x7FFF);
            }
        }
    // Woods, stones and the odd object, kept off water and the map's rim.
    for (int y = 4; y < r.height - 4; ++y)
        for (int x = 2; x < r.width - 2; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * r.width + x;
            if (wet[i] || ground[i] == Terrain::Sand || ground[i] == Terrain::Field)
                continue;
            const float u = static_cast<float>(x);
            const float v = static_cast<float>(y);
            const float woods = FractalNoise(u / 5.0f, v / 15.0f, r.seed + 9, 3);
            const std::uint32_t roll = HashCell(x, y, r.seed + 10) % 1000;
            TMapFileCell& c = d.cells[i];
            if (ground[i] == Terrain::Rock) {
                if (roll < 90)
                    c.object = static_cast<std::uint16_t>((9500 + roll % kSampleStoneCount) | MAP_BLOCKED_BIT);
            } else if (woods > 1.0f - r.forest * 0.9f && roll < 550) {
                const bool conifer = ground[i] == Terrain::Snow || t.Elevation(u, v) > 0.6f || roll % 3 == 0;
                c.object = static_cast<std::uint16_t>(9000 + (conifer ? 4 : 0) + roll % 4);
            } else if (roll < 6) {
                static const int kMisc[] = {0, 4, 5, 6, 7, 0};
                c.object = static_cast<std::uint16_t>(9600 + kMisc[roll]);
            }
        }
    // Players start on dry ground spread round the map, with a headquarters and a few soldiers.
    for (int p = 0; p < r.players; ++p) {
        const float angle = 6.2831853f * p / r.players + 0.4f;
        int sx = static_cast<int>(r.width / 2 + std::cos(angle) * r.width * 0.32f);
        int sy = static_cast<int>(r.height / 2 + std::sin(angle) * r.height * 0.34f);
        if (r.startX[p] >= 0) {
            sx = r.startX[p];
            sy = r.startY[p];
        }
        // Walk towards the middle until the start is dry.
        for (int k = 0; k < 40 && wet[static_cast<std::size_t>(sy) * r.width + sx]; ++k) {
            sx += (r.width / 2 - sx) > 0 ? 1 : -1;
            sy += (r.height / 2 - sy) > 0 ? 3 : -3;
        }
        TMapPlayerRecord pr;
        const std::u16string name = u"Player " + std::u16string(1, static_cast<char16_t>(u'1' + p));
        std::copy(name.begin(), name.end(), pr.name);
        pr.nation = static_cast<std::uint8_t>(p % 5);
        d.players.push_back(pr);
        for (int yy = sy - 12; yy <= sy + 12; ++yy)
            for (int xx = sx - 4; xx <= sx + 4; ++xx)
                if (xx >= 0 && yy >= 0 && xx < r.width && yy < r.height) {
                    d.cells[static_cast<std::size_t>(yy) * r.width + xx].object = 0;
                    TMapFileCell& c = d.cells[static_cast<std::size_t>(yy) * r.width + xx];
                    if (!wet[static_cast<std::size_t>(yy) * r.width + xx] && std::abs(yy - sy) < 6 && std::abs(xx - sx) < 2)
                        c.base = static_cast<std::uint16_t>(kBuildingGroundTexture);
                }
        // A wood lot beside every start, on the side towards the middle: a lumber mill needs trees
        // round its site, and the random woods may have left none near this start.
        const int side = sx < r.width / 2 ? 1 : -1;
        for (int yy = sy - 10; yy <= sy + 10; ++yy)
            for (int xx = sx + 6 * side; xx != sx + 9 * side; xx += side) {
                if (xx < 2 || yy < 4 || xx >= r.width - 2 || yy >= r.height - 4)
                    continue;
                const std::size_t i = static_cast<std::size_t>(yy) * r.width + xx;
                if (wet[i] || ground[i] == Terrain::Rock || d.cells[i].object != 0 || HashCell(xx, yy, r.seed + 11) % 3 == 0)
                    continue;
                d.cells[i].object = static_cast<std::uint16_t>(9000 + HashCell(xx, yy, r.seed + 12) % 8);
            }
        TMapHouseRecord hq;
        hq.x = sx;
        hq.y = sy;
        hq.type = 6; // the town hall: workers and the first room for them
        d.houses[p].push_back(hq);
        for (int k = 0; k < 5; ++k) {
            TMapUnitRecord u;
            const int ux = sx + (k % 3) - 1;
            const int uy = sy + 8 + 2 * (k / 3);
            u.x = static_cast<float>((2 * ux - ((uy & 1) ? 0 : 1)) * 48 + 48);
            u.y = static_cast<float>(uy * 24);
            u.type = static_cast<std::uint16_t>(k % 2);
            u.orient = static_cast<std::uint8_t>(1 + (p + k) % 8);
            d.units[p].push_back(u);
        }
    }
    // Special building sites, inside the margins the loader keeps them in.
    for (int k = 0; k < 3; ++k) {
        const int x = 6 + static_cast<int>(HashCell(k, 1, r.seed) % std::max(1, r.width - 12));
        const int y = 15 + static_cast<int>(HashCell(k, 2, r.seed) % std::max(1, r.height - 30));
        const std::size_t i = static_cast<std::size_t>(y) * r.width + x;
        if (!wet[i])
            d.cells[i].object = static_cast<std::uint16_t>(9601 + k);
    }
    std::vector<std::uint16_t> water;
    std::vector<WaterZone> zones;
    BuildWater(t, r.width, r.height, water, zones);
    m.tail.water = BuildWaterBlock(water, zones);
    // Berths on dry ground beside the water, for ports.
    for (int y = 8; y < r.height - 8 && m.tail.portPoints.size() < 8; y += 7)
        for (int x = 3; x < r.width - 3; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * r.width + x;
            if (!wet[i] && wet[i + 1]) {
                m.tail.portPoints.push_back({static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y)});
                break;
            }
        }
    return m;
}

} // namespace

SampleMap MakeTestMap()
{
    Recipe r;
    r.width = 32;
    r.height = 96;
    r.seed = 7;
    r.rivers = 1;
    r.forest = 0.4f;
    return Generate(r);
}

SampleMap MakeHillsMap()
{
    Recipe r;
    r.width = 96;
    r.height = 288;
    r.seed = 21;
    r.hillHeight = 110;
    r.rockLine = 0.68f;
    r.snowLine = 0.76f;
    r.forest = 0.45f;
    return Generate(r);
}

SampleMap MakeCoastMap()
{
    Recipe r;
    r.width = 160;
    r.height = 480;
    r.players = 8;
    r.seed = 99;
    r.hillHeight = 70;
    r.seaLevel = 0.36f;
    r.rivers = 2;
    r.forest = 0.3f;
    return Generate(r);
}

SampleMap MakeBattleMap()
{
    Recipe r;
    r.width = 36;
    r.height = 120;
    r.seed = 41;
    r.hillHeight = 30;
    r.forest = 0.15f;
    r.startX[0] = 20;
    r.startY[0] = 60;
    r.startX[1] = 13;
    r.startY[1] = 60;
    SampleMap m = Generate(r);
    // Two batteries of mortars a short way apart on open ground beside the first headquarters,
    // each in the other's reach and inside the first player's opening view.
    const TMapHouseRecord& hq = m.data.houses[0][0];
    const float hqX = static_cast<float>((2 * hq.x - ((hq.y & 1) ? 0 : 1)) * 48 + 48);
    const float hqY = static_cast<float>(hq.y * 24);
    for (int p = 0; p < 2; ++p)
        for (int k = 0; k < 5; ++k) {
            TMapUnitRecord u;
            u.x = hqX - (p == 0 ? 150.0f : 340.0f) - 20.0f * static_cast<float>(k % 2);
            u.y = hqY - 140.0f + 60.0f * static_cast<float>(k);
            u.type = 8; // mortar
            u.orient = static_cast<std::uint8_t>(p == 0 ? 7 : 3);
            m.data.units[p].push_back(u);
        }
    return m;
}

namespace {

std::uint16_t Color565(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return static_cast<std::uint16_t>(
        plat::ColorRefToPixel(plat::PixelFormat::RGB565, r | static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b) << 16));
}

} // namespace

std::vector<std::uint8_t> BuildMiniMapPreview(const SampleMap& map)
{
    const TMapFileData& d = map.data;
    const std::size_t n = d.cells.size();
    std::vector<TMapCell> cells(n);
    std::vector<std::uint16_t> objects(n);
    std::vector<std::uint8_t> heights(n);
    std::vector<TMapPoint> special;
    for (std::size_t i = 0; i < n; ++i) {
        const TMapFileCell& c = d.cells[i];
        cells[i].base = c.base;
        cells[i].shade = c.shade;
        std::copy(std::begin(c.overlay), std::end(c.overlay), cells[i].overlay);
        objects[i] = static_cast<std::uint16_t>(c.object & ~MAP_BLOCKED_BIT);
        heights[i] = c.height;
        if (objects[i] >= 9601 && objects[i] <= 9603)
            special.push_back({static_cast<std::int32_t>(i % d.width), static_cast<std::int32_t>(i / d.width)});
    }
    // The water grid: the first 2W x H words of the water block.
    const std::int32_t columns = 2 * d.width, rows = d.height;
    std::vector<std::uint16_t> water(static_cast<std::size_t>(columns) * rows, 0);
    for (std::size_t i = 0; i < water.size() && 2 * i + 1 < map.tail.water.size(); ++i)
        water[i] = static_cast<std::uint16_t>(map.tail.water[2 * i] | map.tail.water[2 * i + 1] << 8);

    static const std::vector<TLandColor> colors = [] {
        std::vector<TLandColor> c;
        std::uint16_t count = 0;
        ParseLandTexturesHead(BuildLandTexturesDat(), count, c);
        return c;
    }();
    TMiniMapSource s;
    s.width = d.width;
    s.height = d.height;
    s.scaleX = d.width * 0.005f;
    s.scaleY = d.height * 0.005f;
    s.cells = cells.data();
    s.objects = objects.data();
    s.heights = heights.data();
    s.landColors = colors;
    s.specialPoints = special;
    s.isWater = [&water, columns, rows](std::int32_t px, std::int32_t py) {
        return WaterGridAtMiniMapPixel(water.data(), columns, rows, px, py);
    };
    s.waterColor = Color565(WATER_MINIMAP_RGB[0], WATER_MINIMAP_RGB[1], WATER_MINIMAP_RGB[2]);
    s.makeColor = Color565;
    return BuildCompressedFile(MiniMapImageBytes(s));
}

bool WriteMaps(const std::string& outDir)
{
    const struct {
        const char* path;
        std::function<SampleMap()> make;
    } maps[] = {{"Maps/Test.dat", MakeTestMap}, {"Maps/Hills.dat", MakeHillsMap}, {"Maps/Coast.dat", MakeCoastMap},
                 {"Maps/Battle.dat", MakeBattleMap}};
    for (const auto& entry : maps) {
        const SampleMap m = entry.make();
        const std::vector<std::uint8_t> file = BuildMapFile(m.data, m.tail, true);
        const std::vector<std::uint8_t> preview = BuildMiniMapPreview(m);
        if (!WriteFileBytes(outDir, entry.path, file.data(), file.size()) ||
            !WriteFileBytes(outDir, MiniMapPreviewPath(entry.path), preview.data(), preview.size()))
            return false;
    }
    return true;
}

} // namespace sampledata
