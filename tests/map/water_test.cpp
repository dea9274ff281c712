#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/memory_stream.h"
#include "devices/cursor_state.h"
#include "devices/display.h"
#include "map/map_grid.h"
#include "water_fixture.h"

namespace {

std::vector<std::uint8_t> Saved(const TWaterMap& w)
{
    TOfStreamMemory out;
    EXPECT_TRUE(w.SaveWater(out));
    return {out.Data(), out.Data() + out.Size()};
}

bool Load(TWaterMap& w, const std::vector<std::uint8_t>& block)
{
    TIfStreamMemory in(block.data(), static_cast<std::int32_t>(block.size()));
    return w.LoadWater(in);
}

TCoastArc Arc(std::initializer_list<TCoastPoint> points)
{
    return TCoastArc{std::vector<TCoastPoint>(points)};
}

// The brush centred on a map pixel with the view at the origin, so that the mouse and the map
// point agree.
void AimBrush(TWaterMap& w, std::int32_t x, std::int32_t y)
{
    g_MouseX = x;
    g_MouseY = y;
    w.m_BrushPointX = x;
    w.m_BrushPointY = y;
    w.m_BrushCenterX = x;
    w.m_BrushCenterY = y;
}

} // namespace

TEST_F(WaterTest, InitLoadsTheSampleAnimationsAndLightSpots)
{
    maptest::LogWatch log;
    TWaterMap& w = MakeWater(8, 8);
    EXPECT_EQ(log.Added(), "");
    EXPECT_GT(w.m_WaterAnim[0].FrameCount(), 1);
    EXPECT_GT(w.m_CoastWaterAnim[0].FrameCount(), 1);
    for (const TLightSpotPicture& p : w.m_LightSpotPictures) {
        ASSERT_NE(p.texture, nullptr);
        EXPECT_GT(p.width, p.height);
    }
    EXPECT_NE(w.m_pBrushTexture, nullptr);
    EXPECT_EQ(w.m_WaterColor, MakeColor16(38, 71, 88));
    EXPECT_EQ(w.m_Width, 16);
    EXPECT_EQ(w.m_Height, 8);
    EXPECT_EQ(w.m_CellCount, 128u);
    ASSERT_NE(w.m_pShipGrid, nullptr);
    EXPECT_EQ(w.m_pShipGrid->m_Width, 8u);
    EXPECT_EQ(w.m_pShipGrid->m_Height, 4u);
}

TEST_F(WaterTest, MissingAnimationIsReportedAndStopsTheSetUp)
{
    plat::SetGameRoot(dir.Path());
    maptest::LogWatch log;
    TWaterMap w;
    EXPECT_NE(log.Added().find("m_WaterAnim[0] FAILED"), std::string::npos);
    EXPECT_EQ(w.m_LightSpotPictures[0].texture, nullptr);
}

TEST_F(WaterTest, BlockRoundTripKeepsZonesAndEmptyArcs)
{
    TWaterMap& w = MakeWater(6, 6, true);
    w.SetCell(1, 1, 0x0013);
    w.SetCell(2, 3, WATER_COAST_BIT | 0);
    w.SetCell(4, 5, WATER_COAST_BIT | 1);
    w.m_Zones[0] = TCoastZone{{Arc({{0, 0}, {48, 0}, {20, 24}}), Arc({}), Arc({{1, 2}})}, 0x1802};
    w.m_Zones[1] = TCoastZone{{}, 0x0001};
    w.CoastZoneCount = 2;
    const std::vector<std::uint8_t> block = Saved(w);
    // Cells, the count, zone 0 (1 + 2 + 1 + 6 + 1 + 1 + 2), zone 1 (3).
    EXPECT_EQ(block.size(), 12u * 6 * 2 + 2 + 14 + 3);

    for (bool editor : {false, true}) {
        g_bEditorMode = editor;
        TWaterMap other;
        ASSERT_TRUE(other.CreateWaterGrid(6, 6));
        ASSERT_TRUE(Load(other, block));
        EXPECT_EQ(other.m_Grid, w.m_Grid);
        ASSERT_EQ(other.CoastZoneCount, 2);
        EXPECT_EQ(other.m_Zones[0], w.m_Zones[0]);
        EXPECT_EQ(other.m_Zones[1], w.m_Zones[1]);
        EXPECT_EQ(other.m_Zones.size(), editor ? MAX_COAST_NUM : 2u);
        EXPECT_EQ(Saved(other), block);
    }
}

TEST_F(WaterTest, BadBlocksAreRefusedAndLeaveTheWaterAsItWas)
{
    TWaterMap& w = MakeWater(4, 4);
    const std::size_t cellBytes = 8 * 4 * 2;
    auto block = [&](std::uint16_t zones, std::vector<std::uint8_t> tail, std::uint16_t firstCell = 0) {
        std::vector<std::uint8_t> b(cellBytes, 0);
        b[0] = static_cast<std::uint8_t>(firstCell);
        b[1] = static_cast<std::uint8_t>(firstCell >> 8);
        b.push_back(static_cast<std::uint8_t>(zones));
        b.push_back(static_cast<std::uint8_t>(zones >> 8));
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    };
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"cut inside the cells", std::vector<std::uint8_t>(cellBytes - 1, 0)},
        {"no zone count", std::vector<std::uint8_t>(cellBytes, 0)},
        {"more zones than the table", block(MAX_COAST_NUM + 1, {})},
        {"cut inside a zone", block(1, {1})},
        {"cut inside an arc", block(1, {1, 1, 0, 2, 5, 5, 6})},
        {"coast cell beyond the zones", block(1, {0, 1, 0}, WATER_COAST_BIT | 1)},
        {"coast cell with no zones", block(0, {}, WATER_COAST_BIT)},
    };
    w.SetCell(3, 3, 0x0001);
    const std::vector<std::uint8_t> before = Saved(w);
    for (const auto& c : cases) {
        maptest::LogWatch log;
        EXPECT_FALSE(Load(w, c.bytes)) << c.name;
        EXPECT_NE(log.Added().find("LoadWater"), std::string::npos) << c.name;
        EXPECT_EQ(Saved(w), before) << c.name;
    }
}

TEST_F(WaterTest, OneThirdOfOpenWaterMakesASeaMapAndCoastDoesNotCount)
{
    TWaterMap& w = MakeWater(3, 4); // 24 cells, a third is 8
    auto loadWith = [&](int open, int coast) {
        TWaterMap src;
        src.CreateWaterGrid(3, 4);
        src.m_Zones.resize(1);
        src.CoastZoneCount = 1;
        for (int i = 0; i < open; ++i)
            src.m_Grid[i] = 1;
        for (int i = open; i < open + coast; ++i)
            src.m_Grid[i] = WATER_COAST_BIT;
        g_bLandMap = 1;
        EXPECT_TRUE(Load(w, Saved(src)));
        return g_bLandMap;
    };
    EXPECT_EQ(loadWith(8, 0), 1u);
    EXPECT_EQ(loadWith(9, 0), 0u);
    EXPECT_EQ(loadWith(8, 16), 1u);
}

TEST_F(WaterTest, WaterKindIsZeroInTheOuterBand)
{
    TWaterMap& w = MakeWater(20, 40);
    FillOpenWater(w);
    w.m_Zones.resize(1);
    w.CoastZoneCount = 1;
    // Tile (10, 21): pixel (960, 504), cell (20, 21).
    w.SetCell(20, 21, WATER_COAST_BIT);
    const struct {
        int x, y, height, kind;
    } cases[] = {
        {0, 5, 0, 0},   // pixel x 0
        {0, 4, 0, 0},   // pixel x -48
        {1, 4, 0, 1},   // pixel x 48
        {5, 1, 0, 0},   // pixel y 24
        {5, 2, 0, 1},   // pixel y 48
        {5, 2, 30, 0},  // lifted to pixel y 18
        {19, 5, 0, 0},  // pixel x 1824, within 100 of the right edge
        {19, 4, 0, 1},  // pixel x 1776
        {5, 39, 0, 0},  // pixel y 936, within 25 of the bottom
        {5, 38, 0, 1},  // pixel y 912
        {20, 5, 0, 0},  // off the map
        {10, 21, 0, 2}, // the coast cell
    };
    for (const auto& c : cases) {
        if (c.height)
            map->SetHeight(c.x, c.y, static_cast<std::uint8_t>(c.height));
        EXPECT_EQ(w.GetWaterKind(c.x, c.y), c.kind) << c.x << "," << c.y;
        map->SetHeight(std::min(c.x, 19), std::min(c.y, 39), 0);
    }
    w.SetCell(20, 21, 0);
    EXPECT_EQ(w.GetWaterKind(10, 21), 0);
}

TEST_F(WaterTest, TileOnWaterNeedsThreeTilesFromEveryEdgeAndCountsCoast)
{
    TWaterMap& w = MakeWater(20, 40, true);
    FillOpenWater(w);
    const struct {
        int x, y;
        bool water;
    } cases[] = {
        {2, 10, false}, {3, 10, true}, {16, 10, true}, {17, 10, false},
        {10, 2, false}, {10, 3, true}, {10, 36, true}, {10, 37, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(w.IsTileOnWater(c.x, c.y), c.water) << c.x << "," << c.y;
    std::fill(w.m_Grid.begin(), w.m_Grid.end(), WATER_COAST_BIT);
    w.CoastZoneCount = 1;
    EXPECT_TRUE(w.IsTileOnWater(10, 10));
    w.ClearWaterGrid();
    EXPECT_FALSE(w.IsTileOnWater(10, 10));
}

TEST_F(WaterTest, MinimapPointsMapOntoTheGrid)
{
    TWaterMap& w = MakeWater(100, 200); // 200 x 200 cells: one per minimap pixel
    w.SetCell(10, 20, 1);
    EXPECT_TRUE(w.IsTileInWaterGrid(10, 20));
    EXPECT_FALSE(w.IsTileInWaterGrid(11, 20));
    EXPECT_FALSE(w.IsTileInWaterGrid(-1, 20));
    EXPECT_FALSE(w.IsTileInWaterGrid(200, 0));
}

TEST_F(WaterTest, ScreenParamsFollowTheWidthAndKeepThemForOthers)
{
    TWaterMap& w = MakeWater(8, 8);
    const std::uint16_t savedW = g_ScreenWidth, savedH = g_ScreenHeight;
    const struct {
        int width, height, cols, rows;
    } cases[] = {{1024, 768, 22, 32}, {1152, 864, 24, 36}, {1280, 960, 27, 40}, {1280, 1024, 27, 43},
                 {1600, 1200, 35, 51}, {800, 600, 35, 51}};
    for (const auto& c : cases) {
        g_ScreenWidth = static_cast<std::uint16_t>(c.width);
        g_ScreenHeight = static_cast<std::uint16_t>(c.height);
        w.SetWaterScreenParams();
        EXPECT_EQ(w.m_VisibleCols, c.cols) << c.width;
        EXPECT_EQ(w.m_VisibleRows, c.rows) << c.width;
        EXPECT_EQ(w.m_LightSpotCapacity, (c.cols + 8) * (c.rows + 16));
        EXPECT_FLOAT_EQ(w.m_TexStepU, 3 * 0.99999f / c.cols);
        EXPECT_FLOAT_EQ(w.m_TexStepV, -3 * 0.99999f / c.rows);
    }
    g_ScreenWidth = savedW;
    g_ScreenHeight = savedH;
}

TEST_F(WaterTest, DestroyingAZoneRenumbersTheLaterOnes)
{
    TWaterMap& w = MakeWater(4, 4, true);
    for (std::uint16_t i = 0; i < 3; ++i) {
        w.m_Zones[i].value = static_cast<std::uint16_t>(10 + i);
        w.SetCell(i, 0, WATER_COAST_BIT | i);
    }
    w.CoastZoneCount = 3;
    w.DestroyCoastWater(0);
    EXPECT_EQ(w.CoastZoneCount, 2);
    EXPECT_EQ(w.Cell(1, 0), WATER_COAST_BIT | 0);
    EXPECT_EQ(w.Cell(2, 0), WATER_COAST_BIT | 1);
    EXPECT_EQ(w.m_Zones[0].value, 11);
    EXPECT_EQ(w.m_Zones[1].value, 12);
    EXPECT_EQ(w.m_Zones.size(), MAX_COAST_NUM);

    maptest::LogWatch log;
    w.DestroyCoastWater(2);
    EXPECT_EQ(log.Count("DestroyCoastWater(): CoastZoneCount-1-Num < 0"), 1);
    EXPECT_EQ(w.CoastZoneCount, 2);
}

TEST_F(WaterTest, BrushOutlineHoldsEveryPointOfEverySize)
{
    TWaterMap& w = MakeWater(4, 4, true);
    const struct {
        int size, points;
        float rx, ry;
    } cases[] = {{1, 25, 40, 20}, {4, 100, 160, 80}, {8, 200, 320, 160}, {9, 420, 720, 360}, {12, 420, 720, 360}};
    for (const auto& c : cases) {
        w.SetWaterBrushSize(static_cast<std::uint8_t>(c.size));
        ASSERT_EQ(w.m_BrushPointCount, c.points) << c.size;
        EXPECT_EQ(w.m_BrushRadiusX, c.rx);
        EXPECT_EQ(w.m_BrushRadiusY, c.ry);
        EXPECT_EQ(w.m_BrushX[0], c.rx);
        EXPECT_EQ(w.m_BrushY[0], 0.0f);
        // The store keeps the repeated first point after the last.
        EXPECT_EQ(w.m_BrushX[c.points], w.m_BrushX[0]);
        EXPECT_EQ(w.m_BrushY[c.points], w.m_BrushY[0]);
        EXPECT_NEAR(w.m_BrushX[c.points - 1], c.rx, c.rx * 1e-3);
        for (int i = 0; i < c.points; ++i) {
            const double e = std::pow(w.m_BrushX[i] / c.rx, 2) + std::pow(w.m_BrushY[i] / c.ry, 2);
            ASSERT_NEAR(e, 1.0, 1e-3) << c.size << " point " << i;
        }
    }
    w.SetWaterBrushSize(0);
    EXPECT_EQ(w.m_BrushPointCount, 0);
}

TEST_F(WaterTest, CoastArcStartsAtTheReferenceCornerAndTurnsAroundIt)
{
    TWaterMap& w = MakeWater(8, 16, true);
    w.SetWaterBrushSize(1);
    const struct {
        int x, y;
        TCoastPoint reference;
        bool reversed;
    } cases[] = {{240, 120, {0, 0}, false}, {288, 120, {48, 0}, true}, {240, 144, {0, 24}, false}};
    for (const auto& c : cases) {
        AimBrush(w, c.x, c.y);
        TCoastArc arc;
        ASSERT_TRUE(w.BuildCoastArcs(5, 5, arc));
        ASSERT_GE(arc.points.size(), 4u);
        if (c.reversed)
            std::reverse(arc.points.begin(), arc.points.end());
        EXPECT_EQ(arc.points[0], c.reference);
        double previous = -2.0;
        for (std::size_t i = 1; i < arc.points.size(); ++i) {
            const TCoastPoint& p = arc.points[i];
            EXPECT_FALSE(p == arc.points[i - 1]);
            EXPECT_LE(p.x, 48);
            EXPECT_LE(p.y, 24);
            const double dx = p.x - c.reference.x, dy = p.y - c.reference.y;
            const double key = dy / std::sqrt(dx * dx + dy * dy);
            EXPECT_GE(key, previous - 0.05) << "point " << i;
            previous = key;
        }
    }
    // No corner under the brush: no arc.
    AimBrush(w, 100, 20);
    TCoastArc arc;
    EXPECT_FALSE(w.BuildCoastArcs(5, 5, arc));
}

TEST_F(WaterTest, ChangeCoastZoneDropsCoveredArcsAndKeepsOthers)
{
    TWaterMap& w = MakeWater(8, 16, true);
    w.SetWaterBrushSize(1);
    AimBrush(w, 240, 120); // corner (0, 0) of cell (5, 5)
    auto reset = [&](std::vector<TCoastArc> arcs) {
        w.m_Zones[0] = TCoastZone{std::move(arcs), 0x0001};
        w.CoastZoneCount = 1;
        w.SetCell(5, 5, WATER_COAST_BIT);
    };
    // A small arc inside the brush's part is replaced by it.
    reset({Arc({{0, 0}, {10, 0}, {0, 5}})});
    w.ChangeCoastZone(0, 5, 5);
    ASSERT_EQ(w.m_Zones[0].arcs.size(), 1u);
    EXPECT_GT(w.m_Zones[0].arcs[0].points.size(), 3u);
    // An arc elsewhere in the cell stays, the new one comes after it.
    const TCoastArc far = Arc({{48, 24}, {40, 24}, {48, 18}});
    reset({far});
    w.ChangeCoastZone(0, 5, 5);
    ASSERT_EQ(w.m_Zones[0].arcs.size(), 2u);
    EXPECT_EQ(w.m_Zones[0].arcs[0], far);
    EXPECT_EQ(w.Cell(5, 5), WATER_COAST_BIT);
    // An arc that holds the new one already: nothing changes.
    const TCoastArc big = Arc({{0, 0}, {46, 0}, {46, 22}, {0, 22}});
    reset({big});
    w.ChangeCoastZone(0, 5, 5);
    ASSERT_EQ(w.m_Zones[0].arcs.size(), 1u);
    EXPECT_EQ(w.m_Zones[0].arcs[0], big);
    // Together they cover the cell: it becomes open water and the zone goes.
    reset({Arc({{30, 0}, {48, 0}, {48, 24}, {0, 24}, {0, 15}})});
    w.m_CurrentKind = 2;
    w.m_CurrentLook = 3;
    w.ChangeCoastZone(0, 5, 5);
    EXPECT_EQ(w.CoastZoneCount, 0);
    EXPECT_EQ(w.Cell(5, 5), (2 << 11) | 3);
}

TEST_F(WaterTest, PaintingMakesWaterCoastAndLeavesFarCells)
{
    TWaterMap& w = MakeWater(16, 32, true);
    w.SetWaterBrushSize(2); // 80 x 40 pixels
    AimBrush(w, 480, 240);
    w.PaintWaterBrush(480, 240);
    EXPECT_EQ(w.m_bCoastEdit, 1);
    // The cell at the centre has all four corners inside; one at the rim gets a zone.
    EXPECT_EQ(w.Cell(9, 9), 1);
    EXPECT_EQ(w.Cell(10, 10), 1);
    EXPECT_GT(w.CoastZoneCount, 0);
    EXPECT_TRUE(w.Cell(8, 10) & WATER_COAST_BIT);
    EXPECT_EQ(w.Cell(3, 10), 0);
    const std::uint16_t zones = w.CoastZoneCount;
    for (std::uint16_t i = 0; i < zones; ++i)
        EXPECT_FALSE(w.m_Zones[i].arcs.empty());

    // Painting again over open water sets the current look and drops its light spot.
    w.SetCell(10, 10, 0x0031);
    w.m_CurrentLook = 4;
    w.PaintWaterBrush(480, 240);
    EXPECT_EQ(w.Cell(10, 10), 4);

    // The square eraser clears cells and their zones.
    w.SetWaterBrushSize(3);
    w.EraseWaterBrush(480, 240);
    for (int r = 7; r <= 13; ++r)
        for (int c = 7; c <= 13; ++c)
            EXPECT_EQ(w.Cell(c, r), 0) << c << "," << r;
    for (std::uint16_t i = 0; i < w.CoastZoneCount; ++i)
        EXPECT_FALSE(w.m_Zones[i].arcs.empty());
}

TEST_F(WaterTest, ZoneTableFullRefusesANewZone)
{
    TWaterMap& w = MakeWater(8, 16, true);
    w.SetWaterBrushSize(1);
    AimBrush(w, 240, 120);
    w.CoastZoneCount = MAX_COAST_NUM;
    maptest::LogWatch log;
    w.AddCoastZone(5, 5);
    EXPECT_EQ(log.Count("CoastZoneCount == MAX_COAST_NUM"), 1);
    EXPECT_EQ(w.Cell(5, 5), 0);
}

TEST_F(WaterTest, LightSpotNumberIsSetOnOpenWaterOnly)
{
    TWaterMap& w = MakeWater(8, 8);
    w.SetCell(2, 2, 0x1801);
    w.SetCell(3, 2, WATER_COAST_BIT);
    w.m_Zones.resize(1);
    w.CoastZoneCount = 1;
    w.SetWaterBrushSize(5);
    w.SetWaterCellAnimIndex(2 * 48 + 5, 2 * 24 + 5);
    EXPECT_EQ(w.Cell(2, 2), 0x1851);
    EXPECT_EQ(w.m_LastLightSpot, 5);
    w.SetWaterCellAnimIndex(3 * 48 + 5, 2 * 24 + 5);
    EXPECT_EQ(w.Cell(3, 2), WATER_COAST_BIT);
    w.SetWaterBrushSize(0);
    w.SetWaterCellAnimIndex(2 * 48 + 5, 2 * 24 + 5);
    EXPECT_EQ(w.Cell(2, 2), 0x1801);
}

TEST_F(WaterTest, SampleMapWaterLoadsWithSeaCoastsAndRiver)
{
    TWaterMap& w = MakeWater(48, 96);
    const std::vector<std::uint8_t> tiles = sampledata::MakeSampleWaterTiles(48, 96);
    const std::vector<std::uint8_t> block = sampledata::BuildWaterBlock(48, 96, tiles);
    ASSERT_TRUE(Load(w, block));
    EXPECT_EQ(Saved(w), block);
    int sea = 0, river = 0, coast = 0, spots = 0;
    for (std::uint16_t cell : w.m_Grid) {
        if (cell & WATER_COAST_BIT)
            ++coast;
        else if (cell != 0) {
            ((cell >> WATER_KIND_SHIFT) == 2 ? river : sea) += 1;
            spots += (cell & WATER_SPOT_MASK) ? 1 : 0;
        }
    }
    EXPECT_GT(sea, 500);
    EXPECT_GT(river, 100);
    EXPECT_GT(coast, 100);
    EXPECT_GT(spots, 0);
    EXPECT_EQ(coast, w.CoastZoneCount);
    EXPECT_EQ(g_bLandMap, 1u);
    // Every coast polygon has a shore edge that is not on the cell's border.
    for (std::uint16_t i = 0; i < w.CoastZoneCount; ++i) {
        ASSERT_EQ(w.m_Zones[i].arcs.size(), 1u);
        const auto& points = w.m_Zones[i].arcs[0].points;
        ASSERT_GE(points.size(), 3u);
        const bool inner = std::any_of(points.begin(), points.end(), [](const TCoastPoint& p) {
            return p.x > 0 && p.x < 48 && p.y > 0 && p.y < 24;
        });
        EXPECT_TRUE(inner) << "zone " << i;
    }
}

// A refused width leaves no sizes over the freed grid: cell reads, the kind of a tile and the save
// see an empty water map.
TEST_F(WaterTest, RefusedGridWidthLeavesNoSizes)
{
    TWaterMap& w = MakeWater(6, 6, true);
    w.SetCell(1, 1, 0x0013);
    EXPECT_FALSE(w.CreateWaterGrid(0x8000, 6));
    EXPECT_EQ(w.m_Width, 0);
    EXPECT_EQ(w.m_Height, 0);
    EXPECT_EQ(w.m_CellCount, 0u);
    EXPECT_EQ(w.Cell(1, 1), 0);
    EXPECT_EQ(w.GetWaterKind(1, 1), 0);
    EXPECT_EQ(Saved(w).size(), 2u);
}
