#pragma once
// The ground surface between the cells' reference vertices, and the per-cell shade the landscape
// is lit with. Heights feed the simulation on every machine: the arithmetic here is kept in the
// stated precisions and order (no contraction, no fast maths).
//
// Threads: reads the map layers (map_grid.h's rule). g_LightDir is written and read on the main
// thread only.
#include <cstdint>

#include "core/geometry.h"
#include "platform/types.h"

// The plane a*X + b*Y + c*Z + d = 0 of a tile triangle; d is kept apart in double.
struct TPlane {
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
};

// What the two height queries return near the map's edge. Without a map (menus, films) the
// ground is flat: both return 0.
constexpr std::int32_t kEdgeHeight = 50;

extern TVector3 g_LightDir;

// Ground height under a point of the flat ground plane (map pixels without heights).
std::int32_t GetLandHeightF(float x, float y);
// Ground height seen at a point of the drawn map image (map pixels, heights drawn).
std::int32_t GetLandHeight(float x, float y);

// Plane through the three height-lifted reference points (screen-image coordinates, relative to
// the first vertex).
TPlane& TriangleFromTiles(TPlane& plane, const plat::Point& cell1, const plat::Point& cell2,
                          const plat::Point& cell3, double& d);
// Plane through the three vertices placed on the flat ground plane, Z their heights.
TPlane& GetTileTriangle(TPlane& plane, const plat::Point& cell1, const plat::Point& cell2,
                        const plat::Point& cell3, double& d);
// Z of the plane at (X, Y); 0 for a plane that stands vertical.
std::int32_t PlaneHeightAt(float x, float y, double d, const TPlane& plane);

// Shade 200 for the cells of the rectangle (x0 <= x < x1, y0 <= y < y1, last map row excluded),
// then the default light.
void ResetTileShading(std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1);
// Recomputes the shade byte of the rectangle's cells from their heights and the light.
void UpdateTileShading(std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1);
// Cosine between the tile's normal and the light.
double ComputeTileLight(std::uint32_t poz, std::uint32_t nePoz, std::uint32_t sePoz);
