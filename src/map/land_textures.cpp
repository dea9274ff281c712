#include "map/land_textures.h"

#include <cstring>

#include "core/error_log.h"
#include "core/file_bytes.h"
#include "core/app_state.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "devices/d3d_device.h"
#include "devices/image_files.h"
#include "platform/bytes.h"
#include "platform/texture.h"

std::uint16_t g_LandTextureCount = 0;
plat::Texture* g_LandTex64[LAND_TEXTURE_SLOTS] = {};
plat::Texture* g_LandTex128[LAND_TEXTURE_SLOTS] = {};
std::vector<TLandColor> g_LandColors;
std::vector<std::uint8_t> g_LandMask;
TLatticePoint g_SubTileLattice[LAND_LATTICE_POINTS] = {};

const std::uint8_t g_SlotAnchor[9] = {5, 6, 7, 10, 11, 12, 15, 16, 17};
const float g_SlotShiftU[9] = {0, -0.5f, 0, 0, -0.5f, 0, 0, -0.5f, 0};
const float g_SlotShiftV[9] = {0, 0, 0, 0.5f, 0.5f, 0.5f, 0, 0, 0};

namespace {

constexpr const char* kTexturesPath = "Data\\LandTextures\\LandTextures.dat";
constexpr int kLatticeXY[LAND_LATTICE_POINTS][2] = {
    {0, 24},  {16, 16}, {32, 8},  {48, 0},  {0, 40},  {16, 32}, {32, 24}, {48, 16}, {64, 8},  {16, 48}, {32, 40}, {48, 32},
    {64, 24}, {80, 16}, {32, 56}, {48, 48}, {64, 40}, {80, 32}, {96, 24}, {48, 64}, {64, 56}, {80, 48}, {96, 40}};
// u and v in sixths.
constexpr int kLatticeUV[LAND_LATTICE_POINTS][2] = {
    {3, 0}, {4, 0}, {5, 0}, {6, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {2, 2}, {3, 2}, {4, 2},
    {5, 2}, {6, 2}, {2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}, {2, 4}, {3, 4}, {4, 4}, {5, 4}};

void SetLattice()
{
    for (int i = 0; i < LAND_LATTICE_POINTS; ++i)
        g_SubTileLattice[i] = {static_cast<float>(kLatticeXY[i][0]), static_cast<float>(kLatticeXY[i][1]),
                               static_cast<float>(kLatticeUV[i][0] / 6.0), static_cast<float>(kLatticeUV[i][1] / 6.0)};
}

void ReleaseAll(plat::Texture* (&table)[LAND_TEXTURE_SLOTS])
{
    for (plat::Texture*& t : table) {
        if (t)
            t->Release();
        t = nullptr;
    }
}

// keepBits are flag bits of the word that are not part of its texture number: an overlay word has
// none, so an overlay word with bit 15 set is out of range like any other too large number.
void Keep(std::vector<bool>& kept, std::uint16_t& word, std::uint16_t count, std::uint16_t keepBits)
{
    const int n = (word & ~keepBits & 0xFFFF) - 1;
    if (n < 0 || n >= count) {
        // Texture number 1 is entry 0, which therefore has to be resident.
        word = static_cast<std::uint16_t>(1 | (word & keepBits));
        kept[0] = true;
        return;
    }
    kept[n] = true;
}

// Fills a 64 x 64 texture and a 128 x 128 one holding it four times, masked per overlay slot.
bool MakeTexturePair(int entry, const std::uint8_t* pixels)
{
    plat::Texture* small = CreateTexture(LAND_TEXTURE_SIDE, LAND_TEXTURE_SIDE, g_TexFormat4444);
    g_LandTex64[entry] = small;
    plat::TextureLock lock;
    if (small && small->Lock(lock)) {
        for (int y = 0; y < LAND_TEXTURE_SIDE; ++y)
            std::memcpy(lock.bits + static_cast<std::ptrdiff_t>(y) * lock.pitch, pixels + y * LAND_TEXTURE_SIDE * 2,
                        LAND_TEXTURE_SIDE * 2);
        small->Unlock();
    }
    plat::Texture* big = CreateTexture(2 * LAND_TEXTURE_SIDE, 2 * LAND_TEXTURE_SIDE, g_TexFormat4444);
    if (!big)
        return false;
    g_LandTex128[entry] = big;
    if (big->Lock(lock)) {
        for (int y = 0; y < 2 * LAND_TEXTURE_SIDE; ++y)
            for (int half = 0; half < 2; ++half)
                std::memcpy(lock.bits + static_cast<std::ptrdiff_t>(y) * lock.pitch + half * LAND_TEXTURE_SIDE * 2,
                            pixels + (y % LAND_TEXTURE_SIDE) * LAND_TEXTURE_SIDE * 2, LAND_TEXTURE_SIDE * 2);
        big->Unlock();
    }
    for (int k = 0; k < 9; ++k)
        ApplyTextureMask(big, k);
    return true;
}

} // namespace

std::vector<bool> ChooseKeptLandTextures(std::span<const TLandCellTextures> cells, std::uint16_t count, bool editor)
{
    std::vector<bool> kept(count, editor);
    if (editor || count == 0)
        return kept;
    for (const TLandCellTextures& c : cells) {
        if (*c.base == LAND_NO_TEXTURE)
            continue;
        const bool overlays = (*c.base & LAND_OVERLAYS_BIT) != 0;
        Keep(kept, *c.base, count, LAND_OVERLAYS_BIT);
        if (!overlays)
            continue;
        for (int k = 0; k < 9; ++k)
            if (c.overlay[k] != 0)
                Keep(kept, c.overlay[k], count, 0);
    }
    for (int e : LAND_ALWAYS_KEPT)
        if (e < count)
            kept[e] = true;
    return kept;
}

bool LoadMaska(const char* path)
{
    SetLattice();
    g_LandMask.clear();
    TBmpInfoHeader info;
    const std::vector<std::uint8_t> rows = DDLoadBMP(path, info);
    if (rows.empty() || info.bitCount != 24 || info.width < LAND_MASK_SIDE || info.height < LAND_MASK_SIDE) {
        ReportError("LoadMaska() FAILED");
        return false;
    }
    const std::int64_t rowBytes = BmpRowSize(info.width, 24);
    g_LandMask.resize(LAND_MASK_SIDE * LAND_MASK_SIDE);
    // The file's bottom row comes first; mask row 0 is the top.
    for (int y = 0; y < LAND_MASK_SIDE; ++y) {
        const std::uint8_t* row = rows.data() + (info.height - 1 - y) * rowBytes;
        for (int x = 0; x < LAND_MASK_SIDE; ++x)
            g_LandMask[y * LAND_MASK_SIDE + x] = row[3 * x];
    }
    return true;
}

bool ApplyTextureMask(plat::Texture* texture, int slot)
{
    plat::TextureLock lock;
    if (!texture || slot < 0 || slot > 8 || !texture->Lock(lock))
        return false;
    static constexpr int kOrigin[3] = {0, 42, 85};
    const int x0 = kOrigin[slot % 3];
    const int y0 = kOrigin[slot / 3];
    const bool haveMask = g_LandMask.size() == LAND_MASK_SIDE * LAND_MASK_SIDE;
    for (int y = 0; y < LAND_MASK_SIDE && y0 + y < lock.height; ++y) {
        std::uint8_t* row = lock.bits + static_cast<std::ptrdiff_t>(y0 + y) * lock.pitch;
        for (int x = 0; x < LAND_MASK_SIDE && x0 + x < lock.width; ++x) {
            std::uint8_t* p = row + 2 * (x0 + x);
            const std::uint16_t alpha = haveMask ? (g_LandMask[y * LAND_MASK_SIDE + x] >> 4) : 15;
            plat::WriteU16LE(p, static_cast<std::uint16_t>((plat::ReadU16LE(p) & 0x0FFF) | (alpha << 12)));
        }
    }
    texture->Unlock();
    return true;
}

bool ParseLandTexturesHead(std::span<const std::uint8_t> file, std::uint16_t& count, std::vector<TLandColor>& colors)
{
    count = 0;
    colors.clear();
    if (file.size() < 2) {
        ReportError("LandTextures.dat: file too short");
        return false;
    }
    const std::uint16_t n = plat::ReadU16LE(file.data());
    if (n > LAND_TEXTURE_SLOTS) {
        ReportErrorInt("LandTextures.dat: more textures than slots: ", n);
        return false;
    }
    if (2 + std::size_t{n} * (3 + LAND_TEXTURE_BYTES) > file.size()) {
        ReportError("LandTextures.dat: file too short");
        return false;
    }
    colors.resize(n);
    for (int i = 0; i < n; ++i)
        colors[i] = {file[2 + 3 * i], file[3 + 3 * i], file[4 + 3 * i]};
    count = n;
    return true;
}

bool CreateLandscapeTextures(std::span<const TLandCellTextures> cells, bool editor)
{
    FreeLandTextures();
    LoadMaska("Data\\LandTextures\\m44.bmp");
    std::vector<std::uint8_t> file;
    if (!ReadGameFile(kTexturesPath, file)) {
        ReportError("LandTextures.dat opening ERROR");
        return false;
    }
    std::uint16_t count = 0;
    if (!ParseLandTexturesHead(file, count, g_LandColors))
        return false;
    g_LandTextureCount = count;
    const std::vector<bool> kept = ChooseKeptLandTextures(cells, count, editor);
    const std::uint8_t* pictures = file.data() + 2 + 3 * std::size_t{count};
    for (int i = 0; i < count; ++i) {
        if (kept[i] && !MakeTexturePair(i, pictures + std::size_t{static_cast<unsigned>(i)} * LAND_TEXTURE_BYTES))
            return false;
    }
    return true;
}

bool CreateLandscapeTextures()
{
    const std::vector<TLandCellTextures> words = MapCellTextureWords();
    return CreateLandscapeTextures(words, g_bEditorMode != 0);
}

void FreeLandTextures()
{
    ReleaseAll(g_LandTex64);
    ReleaseAll(g_LandTex128);
    g_LandMask.clear();
}

namespace {

// Lattice point k sits at i steps of a third of the tile's upper-left edge (towards the top corner)
// and j steps of a third of its lower-left edge (towards the bottom corner) from the left corner.
constexpr int kLatticeIJ[LAND_LATTICE_POINTS][2] = {
    {0, 0},  {1, 0}, {2, 0}, {3, 0}, {-1, 1}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {-1, 2}, {0, 2}, {1, 2},
    {2, 2},  {3, 2}, {-1, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 3}, {-1, 4}, {0, 4}, {1, 4}, {2, 4}};

int FloorDiv3(int v)
{
    return v >= 0 ? v / 3 : -((-v + 2) / 3);
}

struct TVertexValue {
    float height;
    float shade;
};

// The vertex a whole number of tile edges away: ne steps north-east and se steps south-east.
TVertexValue VertexAt(plat::Point own, int ne, int se)
{
    plat::Point c = own;
    for (int k = 0; k < (ne < 0 ? -ne : ne); ++k)
        c = GetNeighbourPoint(c, ne > 0 ? 1 : 3);
    for (int k = 0; k < (se < 0 ? -se : se); ++k)
        c = GetNeighbourPoint(c, se > 0 ? 2 : 4);
    if (!CellPointInMap(c))
        c = own;
    const std::uint32_t poz = static_cast<std::uint32_t>(c.y) * g_MapWidth + static_cast<std::uint32_t>(c.x);
    return {static_cast<float>(g_pHeightMap[poz]), g_pCellInfo[poz].shade / 255.0f};
}

std::uint16_t SlotOf(plat::Point own, int direction, int slot)
{
    const plat::Point n = GetNeighbourPoint(own, static_cast<std::uint8_t>(direction));
    if (!CellPointInMap(n))
        return 0;
    return g_pCellInfo[n.y * g_MapWidth + n.x].overlay[slot];
}

} // namespace

void BuildTileMesh(int x, int y, int rowParity, TTileMesh& out)
{
    out = {};
    if (!g_pHeightMap || !g_pCellInfo || x < 0 || y < 0 || x >= g_MapWidth || y >= g_MapHeight)
        return;
    // The row's parity is the cell's own: the neighbour tables follow y.
    static_cast<void>(rowParity);
    const plat::Point own{x, y};
    for (int k = 0; k < LAND_LATTICE_POINTS; ++k) {
        // Bilinear between the four vertices round the point: on an edge this is the linear
        // interpolation in thirds along it.
        const int i = kLatticeIJ[k][0];
        const int j = kLatticeIJ[k][1];
        const int i0 = FloorDiv3(i);
        const int j0 = FloorDiv3(j);
        const float fi = (i - 3 * i0) / 3.0f;
        const float fj = (j - 3 * j0) / 3.0f;
        const TVertexValue a = VertexAt(own, i0, j0);
        const TVertexValue b = VertexAt(own, i0 + 1, j0);
        const TVertexValue c = VertexAt(own, i0, j0 + 1);
        const TVertexValue d = VertexAt(own, i0 + 1, j0 + 1);
        auto mix = [&](float va, float vb, float vc, float vd) {
            const float top = va + (vb - va) * fi;
            const float bottom = vc + (vd - vc) * fi;
            return top + (bottom - top) * fj;
        };
        out.height[k] = mix(a.height, b.height, c.height, d.height);
        out.shade[k] = mix(a.shade, b.shade, c.shade, d.shade);
    }
    // The inner points: each the mean of two opposite edge points.
    static constexpr int kInner[4][3] = {{6, 2, 10}, {7, 1, 13}, {11, 5, 17}, {12, 8, 16}};
    for (const auto& p : kInner) {
        out.height[p[0]] = (out.height[p[1]] + out.height[p[2]]) / 2;
        out.shade[p[0]] = (out.shade[p[1]] + out.shade[p[2]]) / 2;
    }
    const TMapCell& cell = g_pCellInfo[own.y * g_MapWidth + own.x];
    for (int s = 0; s < 9; ++s)
        out.slotTexture[g_SlotAnchor[s]] = cell.overlay[s];
    static constexpr struct {
        std::uint8_t entry, direction, slot;
    } kBorrowed[] = {{0, 4, 6},  {1, 4, 7},  {2, 4, 8},  {3, 5, 6},  {4, 3, 2},  {9, 3, 5},  {14, 3, 8},
                     {8, 1, 0},  {13, 1, 3}, {18, 1, 6}, {19, 6, 2}, {20, 2, 0}, {21, 2, 1}, {22, 2, 2}};
    for (const auto& b : kBorrowed)
        out.slotTexture[b.entry] = SlotOf(own, b.direction, b.slot);
}
