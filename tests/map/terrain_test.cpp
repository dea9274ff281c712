#include "map/terrain.h"

#include <cmath>

#include <gtest/gtest.h>

#include "map/map_view.h"
#include "map_fixture.h"

using maptest::LogWatch;
using maptest::TestMap;

namespace {

// Heights rising eastward: the reference vertex of each cell stands at px / 12 + 8, so the ground
// is the plane height = X / 12 + 8 over the flat map.
void FillEastRamp()
{
    for (int y = 0; y < g_MapHeight; ++y)
        for (int x = 0; x < g_MapWidth; ++x)
            g_pHeightMap[y * g_MapWidth + x] = static_cast<std::uint8_t>(TileToPixel({x, y}).x / 12 + 8);
}

// Heights rising southward: height = Y / 12 + 10 over the flat map.
void FillSouthRamp()
{
    for (int y = 0; y < g_MapHeight; ++y)
        for (int x = 0; x < g_MapWidth; ++x)
            g_pHeightMap[y * g_MapWidth + x] = static_cast<std::uint8_t>(2 * y + 10);
}

TEST(Terrain, FlatGroundIsZeroAndShade164)
{
    TestMap map(20, 40);
    ASSERT_TRUE(map.ok);
    ResetTileShading(0, g_MapWidth, 0, g_MapHeight);
    UpdateTileShading(0, g_MapWidth, 0, g_MapHeight);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        ASSERT_EQ(g_pCellInfo[i].shade, 164) << i;
    EXPECT_NEAR(ComputeTileLight(100, 80, 120), 0.7 / std::sqrt(2.13), 1e-6);
    for (float y = 100.5f; y < 800.0f; y += 37.0f)
        for (float x = 200.5f; x < 1600.0f; x += 53.0f) {
            EXPECT_EQ(GetLandHeightF(x, y), 0) << x << "," << y;
            EXPECT_EQ(GetLandHeight(x, y), 0) << x << "," << y;
        }
}

TEST(Terrain, EdgeOfTheMapGives50)
{
    TestMap map(20, 40);
    ASSERT_TRUE(map.ok);
    struct Case {
        float x, y;
    };
    // One pixel inside the left edge of the odd rows' diamonds, at the top, bottom and right edges.
    for (const Case c : {Case{-47.0f, 100.0f}, Case{1.0f, 100.0f}, Case{500.0f, 2.0f}, Case{500.0f, 40 * 24 - 2.0f},
                         Case{20 * 96 - 2.0f, 300.0f}})
        EXPECT_EQ(GetLandHeight(c.x, c.y), kEdgeHeight) << c.x << "," << c.y;
    for (const Case c : {Case{-47.0f, 100.0f}, Case{500.0f, 2.0f}, Case{500.0f, 40 * 24 - 2.0f},
                         Case{20 * 96 + 40.0f, 300.0f}, Case{-500.0f, -500.0f}})
        EXPECT_EQ(GetLandHeightF(c.x, c.y), kEdgeHeight) << c.x << "," << c.y;
}

TEST(Terrain, KnownSlopes)
{
    TestMap map(24, 60);
    ASSERT_TRUE(map.ok);
    FillEastRamp();
    // The plane's coefficients are scaled by d in single precision and the result truncated, so
    // a height may come out one below the exact value.
    for (float y = 200.0f; y < 1200.0f; y += 61.0f)
        for (float x = 300.0f; x < 2000.0f; x += 97.0f) {
            const float exact = x / 12.0f + 8.0f;
            ASSERT_NEAR(GetLandHeightF(x, y), exact, 1.0f) << x << "," << y;
            // On the drawn image the same ground is seen lifted by its height.
            ASSERT_NEAR(GetLandHeight(x, y - exact), exact, 1.0f) << x << "," << y;
        }
    FillSouthRamp();
    for (float y = 203.0f; y < 1200.0f; y += 61.0f)
        for (float x = 300.0f; x < 2000.0f; x += 97.0f)
            ASSERT_NEAR(GetLandHeightF(x, y), y / 12.0f + 10.0f, 1.0f) << x << "," << y;
}

// The tile splits along its vertical diagonal: from 48 pixels right of the reference point on,
// the east neighbour's height counts, the cell's own no longer does.
TEST(Terrain, RightTriangleFrom48PixelsOn)
{
    TestMap map(20, 40);
    ASSERT_TRUE(map.ok);
    const plat::Point cell{5, 10};
    g_pHeightMap[10 * 20 + 5] = 96; // the cell's own vertex only
    const plat::Point ref = TileToPixel(cell);
    EXPECT_NEAR(GetLandHeightF(ref.x + 47.0f, ref.y + 0.0f), 2.0, 1.0);
    EXPECT_EQ(GetLandHeightF(ref.x + 48.0f, ref.y + 0.0f), 0);
    EXPECT_NEAR(GetLandHeightF(ref.x + 24.0f, ref.y + 0.0f), 48.0, 1.0);
}

TEST(Terrain, ShadingFollowsHeightAndLight)
{
    TestMap map(20, 40);
    ASSERT_TRUE(map.ok);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        g_pHeightMap[i] = 100;
    UpdateTileShading(0, g_MapWidth, 0, g_MapHeight);
    EXPECT_EQ(g_pCellInfo[10 * 20 + 5].shade, 184); // (100 * 0.0008 + 0.3 * 0.4796 + 0.5) * 255
    // A tile rising toward its north-east corner and falling toward its south-east one faces the
    // light; one rising steeply toward the south-east faces away.
    g_pHeightMap[9 * 20 + 5] = 110;
    g_pHeightMap[11 * 20 + 5] = 90;
    g_pHeightMap[21 * 20 + 5] = 130;
    UpdateTileShading(0, g_MapWidth, 0, g_MapHeight);
    EXPECT_GT(g_pCellInfo[10 * 20 + 5].shade, 184);
    EXPECT_LT(g_pCellInfo[20 * 20 + 5].shade, 184);
    // Only the rectangle is recomputed.
    g_pCellInfo[0].shade = 7;
    UpdateTileShading(1, 3, 1, 3);
    EXPECT_EQ(g_pCellInfo[0].shade, 7);
    // A rectangle past the map's edges shades the map's cells only.
    UpdateTileShading(-5, 100, -5, 100);
    EXPECT_EQ(g_pCellInfo[0].shade, 184);
    EXPECT_EQ(g_pCellInfo[g_MapCellCount - 1].shade, 184);
}

TEST(Terrain, ResetShadingSkipsTheLastRowAndAlwaysSetsTheLight)
{
    TestMap map(10, 8);
    ASSERT_TRUE(map.ok);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        g_pCellInfo[i].shade = 1;
    g_LightDir = {0.0f, 0.0f, 1.0f};
    ResetTileShading(0, 10, 5, 5);
    EXPECT_EQ(g_pCellInfo[50].shade, 1);
    EXPECT_EQ(g_LightDir.x, 1.0f);
    EXPECT_EQ(g_LightDir.y, 0.8f);
    EXPECT_EQ(g_LightDir.z, 0.7f);
    ResetTileShading(0, 10, 0, 8);
    EXPECT_EQ(g_pCellInfo[69].shade, 200);
    EXPECT_EQ(g_pCellInfo[70].shade, 1);
    EXPECT_EQ(g_pCellInfo[79].shade, 1);
}

TEST(Terrain, PlaneThroughThreeTiles)
{
    TestMap map(20, 40);
    ASSERT_TRUE(map.ok);
    FillEastRamp();
    TPlane plane;
    double d = 0.0;
    const plat::Point c{6, 10};
    GetTileTriangle(plane, c, GetNeighbourPoint(c, 1), GetNeighbourPoint(c, 2), d);
    const int h0 = g_pHeightMap[10 * 20 + 6];
    EXPECT_NEAR(PlaneHeightAt(0.0f, 0.0f, d, plane), h0, 1.0);
    EXPECT_NEAR(PlaneHeightAt(48.0f, 5.0f, d, plane), h0 + 4, 1.0);
    EXPECT_NEAR(PlaneHeightAt(30.0f, -20.0f, d, plane), h0 + 2.5, 1.0);
    TriangleFromTiles(plane, c, GetNeighbourPoint(c, 1), GetNeighbourPoint(c, 2), d);
    EXPECT_NEAR(PlaneHeightAt(24.0f, -3.0f, d, plane), h0 + 2, 1.0);
    // A plane standing vertical has no height to give.
    EXPECT_EQ(PlaneHeightAt(1.0f, 1.0f, 1.0, TPlane{1.0f, 0.0f, 0.0f}), 0);
}

} // namespace

namespace {

// Sprites drawn outside a game (menus) stand on flat ground.
TEST(Terrain, WithoutAMapTheGroundIsFlat)
{
    DestroyMap();
    EXPECT_EQ(GetLandHeight(100.0f, 100.0f), 0);
    EXPECT_EQ(GetLandHeightF(100.0f, 100.0f), 0);
}

} // namespace
