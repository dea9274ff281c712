#include "map/terrain.h"

#include <algorithm>
#include <cmath>

#include "map/map_grid.h"
#include "map/map_view.h"

TVector3 g_LightDir = {1.0f, 0.8f, 0.7f};

namespace {

struct TVertex {
    float x;
    float y;
    float z;
};

// Newell's normal over V1 -> V2 -> V3 -> V1, then normalised so that d is 1 when it can be.
TPlane& PlaneThrough(TPlane& plane, const TVertex (&v)[3], double& d)
{
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    for (int i = 0; i < 3; ++i) {
        const TVertex& p = v[i];
        const TVertex& q = v[(i + 1) % 3];
        a += (p.y - q.y) * (p.z + q.z);
        b += (p.z - q.z) * (p.x + q.x);
        c += (p.x - q.x) * (p.y + q.y);
    }
    d = -(static_cast<double>(a) * v[2].x + static_cast<double>(b) * v[2].y + static_cast<double>(c) * v[2].z);
    if (d != 0.0) {
        a = static_cast<float>(a / d);
        b = static_cast<float>(b / d);
        c = static_cast<float>(c / d);
        d = 1.0;
    }
    plane.a = a;
    plane.b = b;
    plane.c = c;
    return plane;
}

std::int32_t EvenRow(std::int32_t y)
{
    return (y & 1) == 0 ? 1 : 0;
}

std::uint8_t ShadeByte(double value)
{
    // Only a height near 255 under full light goes past the byte; it saturates.
    return static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
}

} // namespace

TPlane& TriangleFromTiles(TPlane& plane, const plat::Point& cell1, const plat::Point& cell2,
                          const plat::Point& cell3, double& d)
{
    const plat::Point p[3] = {GetCoordsUseTile(cell1), GetCoordsUseTile(cell2), GetCoordsUseTile(cell3)};
    const plat::Point* cells[3] = {&cell1, &cell2, &cell3};
    TVertex v[3];
    for (int i = 0; i < 3; ++i) {
        v[i].x = static_cast<float>(p[i].x - p[0].x);
        v[i].y = static_cast<float>(p[i].y - p[0].y);
        v[i].z = static_cast<float>(GetHeightFromMap(*cells[i]));
    }
    return PlaneThrough(plane, v, d);
}

TPlane& GetTileTriangle(TPlane& plane, const plat::Point& cell1, const plat::Point& cell2,
                        const plat::Point& cell3, double& d)
{
    const plat::Point* cells[3] = {&cell1, &cell2, &cell3};
    const std::int32_t x1 = 2 * cell1.x - EvenRow(cell1.y);
    TVertex v[3];
    for (int i = 0; i < 3; ++i) {
        const plat::Point& c = *cells[i];
        v[i].x = static_cast<float>((2 * c.x - EvenRow(c.y) - x1) * 48);
        v[i].y = static_cast<float>((c.y - cell1.y) * kRowStep);
        v[i].z = static_cast<float>(GetHeightFromMap(c));
    }
    return PlaneThrough(plane, v, d);
}

std::int32_t PlaneHeightAt(float x, float y, double d, const TPlane& plane)
{
    if (plane.c == 0.0f)
        return 0;
    const double t = -(plane.a * x + plane.b * y - 1000.0f * plane.c + d) / (2000.0f * plane.c);
    const double z = 2000.0 * t - 1000.0;
    // A nearly vertical plane gives values no ground has; they must not overflow the result.
    if (!std::isfinite(z) || z <= -2147483648.0 || z >= 2147483648.0)
        return 0;
    return static_cast<std::int32_t>(z);
}

std::int32_t GetLandHeightF(float x, float y)
{
    if (!g_pHeightMap)
        return 0;
    const plat::Point cell = PixelToFlatCell(x, y);
    if (!IsTileInMap(cell))
        return kEdgeHeight;
    plat::Point base = cell;
    plat::Point ref = TileToPixel(cell);
    const plat::Point ne = GetNeighbourPoint(cell, 1);
    const plat::Point se = GetNeighbourPoint(cell, 2);
    if (!IsTileInMap(ne) || !IsTileInMap(se))
        return kEdgeHeight;
    if (x - static_cast<float>(ref.x) >= 48.0f) {
        base = GetNeighbourPoint(cell, 7);
        if (!IsTileInMap(base))
            return kEdgeHeight;
        ref = TileToPixel(base);
    }
    TPlane plane;
    double d = 0.0;
    GetTileTriangle(plane, base, ne, se, d);
    return PlaneHeightAt(x - static_cast<float>(ref.x), y - static_cast<float>(ref.y), d, plane);
}

std::int32_t GetLandHeight(float x, float y)
{
    if (!g_pHeightMap)
        return 0;
    plat::Point cell;
    GetCellFromPoint(x, y, cell);
    if (cell.x < 2 || cell.y < 2 || cell.x >= g_MapWidth - 2 || cell.y >= g_MapHeight - 2)
        return kEdgeHeight;
    plat::Point base = cell;
    plat::Point ref = GetCoordsUseTile(cell);
    const plat::Point ne = GetNeighbourPoint(cell, 1);
    const plat::Point se = GetNeighbourPoint(cell, 2);
    if (x - static_cast<float>(ref.x) >= 48.0f) {
        base = GetNeighbourPoint(cell, 7);
        ref = GetCoordsUseTile(base);
    }
    TPlane plane;
    double d = 0.0;
    TriangleFromTiles(plane, base, ne, se, d);
    return PlaneHeightAt(x - static_cast<float>(ref.x), y - static_cast<float>(ref.y), d, plane);
}

void ResetTileShading(std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1)
{
    if (g_pCellInfo) {
        const std::int64_t last = (static_cast<std::int64_t>(g_MapHeight) - 1) * g_MapWidth;
        x0 = std::max(x0, 0);
        x1 = std::min<std::int32_t>(x1, g_MapWidth);
        y0 = std::max(y0, 0);
        for (std::int32_t y = y0; y < y1; ++y)
            for (std::int32_t x = x0; x < x1; ++x) {
                const std::int64_t i = static_cast<std::int64_t>(y) * g_MapWidth + x;
                if (i < last)
                    g_pCellInfo[i].shade = 200;
            }
    }
    g_LightDir = {1.0f, 0.8f, 0.7f};
}

double ComputeTileLight(std::uint32_t poz, std::uint32_t nePoz, std::uint32_t sePoz)
{
    const std::int32_t h0 = g_pHeightMap[poz];
    const std::int32_t p = g_pHeightMap[sePoz] - h0;
    const std::int32_t q = g_pHeightMap[nePoz] - h0;
    const double nx = 32.0 * (q - p);
    const double ny = -16.0 * (p + q);
    const double nz = 1024.0;
    const double lx = g_LightDir.x;
    const double ly = g_LightDir.y;
    const double lz = g_LightDir.z;
    const double dot = ly * nx + lx * ny + lz * nz;
    return dot / (std::sqrt(lx * lx + ly * ly + lz * lz) * std::sqrt(nx * nx + ny * ny + nz * nz));
}

void UpdateTileShading(std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1)
{
    if (!g_pCellInfo || !g_pHeightMap)
        return;
    const std::int64_t cells = g_MapCellCount;
    x0 = std::max(x0, 0);
    x1 = std::min<std::int32_t>(x1, g_MapWidth);
    y0 = std::max(y0, 0);
    y1 = std::min<std::int32_t>(y1, g_MapHeight);
    for (std::int32_t y = y0; y < y1; ++y)
        for (std::int32_t x = x0; x < x1; ++x) {
            const std::int64_t i = static_cast<std::int64_t>(y) * g_MapWidth + x;
            std::int64_t n[2];
            for (int k = 0; k < 2; ++k) {
                const TDirStep& s = g_DirDx[y & 1][k + 1];
                n[k] = static_cast<std::int64_t>(y + s.dy) * g_MapWidth + x + s.dx;
                if (n[k] < 0 || n[k] > cells - 1)
                    n[k] = i;
            }
            const double light = ComputeTileLight(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(n[0]),
                                                  static_cast<std::uint32_t>(n[1]));
            const double h0 = g_pHeightMap[i];
            g_pCellInfo[i].shade = ShadeByte((h0 * 0.0008 + 0.3 * light + 0.5) * 255.0);
        }
}
