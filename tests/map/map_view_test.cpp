#include "map/map_view.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "units/parameter_files.h"
#include "devices/cursor_state.h"
#include "devices/display.h"
#include "map_fixture.h"
#include "core/app_state.h"
#include "net/net_events.h"

using maptest::TestMap;

namespace {

// Records what the view hands to the static layer and the drawing, and restores the services,
// the screen size and the view at the end.
class MapViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Saved = MapViewServices();
        m_Width = g_ScreenWidth;
        m_Height = g_ScreenHeight;
        TMapViewServices& s = MapViewServices();
        s.RenderMapView = [this](std::uint8_t direction) { rebuilds.push_back(direction); };
        s.DrawLine = [this](const TPointF& a, const TPointF& b, std::uint32_t color) {
            lines.push_back({a, b, color});
            return true;
        };
        s.DrawQuad = [this](const TScreenQuad& q, plat::Texture*) {
            quads.push_back(q);
            return true;
        };
        s.DrawSprite = [this](float x, float y, const TSpriteFrame& frame, std::uint32_t color, int offset) {
            sprites.push_back({x, y, frame.texture, color, offset});
            return true;
        };
        s.PortRallyEffect = [this](float x, float y) { effects.push_back({x, y}); };
        s.HouseFields = [this](const THouse* house, THouseMapFields& out) {
            const auto i = reinterpret_cast<std::uintptr_t>(house);
            if (i == 0 || i > houses.size())
                return false;
            out = houses[i - 1];
            return true;
        };
        g_ScreenWidth = 1024;
        g_ScreenHeight = 768;
        SetViewSizeByScreen();
        g_ViewX = g_ViewY = 0;
        g_ViewPixelX = g_ViewPixelY = 0;
        g_ViewDepthBase = 0;
        g_bMapViewDirty = 0;
    }
    void TearDown() override
    {
        MapViewServices() = m_Saved;
        g_ScreenWidth = m_Width;
        g_ScreenHeight = m_Height;
        g_ViewX = g_ViewY = 0;
        g_ViewPixelX = g_ViewPixelY = 0;
        g_ViewDepthBase = 0;
        g_bMapViewDirty = 0;
        g_HouseBarSegments = {};
        g_MouseX = g_MouseY = 0;
    }
    // A house handle the stand-in resolves to the given fields.
    THouse* AddHouse(const THouseMapFields& fields)
    {
        houses.push_back(fields);
        return reinterpret_cast<THouse*>(static_cast<std::uintptr_t>(houses.size()));
    }

    struct Line {
        TPointF a, b;
        std::uint32_t color;
    };
    struct Sprite {
        float x, y;
        plat::Texture* texture;
        std::uint32_t color;
        int offset;
    };
    std::vector<std::uint8_t> rebuilds;
    std::vector<Line> lines;
    std::vector<TScreenQuad> quads;
    std::vector<Sprite> sprites;
    std::vector<TPointF> effects;
    std::vector<THouseMapFields> houses;

private:
    TMapViewServices m_Saved;
    std::uint16_t m_Width = 0;
    std::uint16_t m_Height = 0;
};

TEST_F(MapViewTest, ViewSizeByScreen)
{
    struct Case {
        std::uint16_t width, height, cols, rows;
    };
    const Case cases[] = {
        {1024, 768, 11, 34}, {1152, 864, 12, 38}, {1280, 960, 14, 42}, {1280, 1024, 14, 44}, {800, 600, 14, 44},
    };
    for (const Case& c : cases) {
        g_ScreenWidth = c.width;
        g_ScreenHeight = c.height;
        SetViewSizeByScreen();
        EXPECT_EQ(g_ViewCols, c.cols) << c.width << "x" << c.height;
        EXPECT_EQ(g_ViewRows, c.rows) << c.width << "x" << c.height;
    }
    // Every display mode has its own size.
    for (const TScreenModeInfo& mode : g_ScreenModes) {
        g_ViewCols = g_ViewRows = 0;
        g_ScreenWidth = mode.width;
        g_ScreenHeight = mode.height;
        SetViewSizeByScreen();
        EXPECT_GT(g_ViewCols, 0) << mode.width;
        EXPECT_GT(g_ViewRows, 0) << mode.width;
    }
}

TEST_F(MapViewTest, ScrollStepsGiveDirectionCodesAndDepthBase)
{
    TestMap map(60, 200);
    ASSERT_TRUE(map.ok);
    struct Case {
        std::int32_t dx, dy;
        std::uint8_t direction;
        std::int16_t depthChange;
    };
    const Case cases[] = {
        {-1, 0, 1, 0},  {1, 0, 2, 0},   {0, -1, 3, -48}, {0, 1, 4, 48},
        {-1, -1, 5, -48}, {-1, 1, 6, 48}, {1, -1, 7, -48}, {1, 1, 8, 48},
    };
    for (const Case& c : cases) {
        g_ViewX = 20;
        g_ViewY = 50;
        g_ViewDepthBase = 100;
        const std::uint8_t toggle = g_ViewRowToggle;
        rebuilds.clear();
        ScrollMap(c.dx, c.dy);
        ASSERT_EQ(rebuilds.size(), 1u);
        EXPECT_EQ(rebuilds[0], c.direction) << c.dx << "," << c.dy;
        EXPECT_EQ(ScrollDirection(c.dx, c.dy), c.direction);
        EXPECT_EQ(g_ViewDepthBase, 100 + c.depthChange) << c.dx << "," << c.dy;
        EXPECT_EQ(g_ViewX, 20 + c.dx);
        EXPECT_EQ(g_ViewY, 50 + 2 * c.dy);
        EXPECT_EQ(g_ViewPixelX, (20 + c.dx) * 96);
        EXPECT_EQ(g_ViewPixelY, (50 + 2 * c.dy) * 24);
        EXPECT_EQ(g_ViewPixelRight, g_ViewPixelX + 1024);
        EXPECT_EQ(g_ViewPixelBottom, g_ViewPixelY + 768);
        EXPECT_EQ(g_ViewRowToggle != toggle, c.dy != 0);
    }
}

TEST_F(MapViewTest, ScrollInPlaceRebuildsAllAndRefreshesTheCursorCell)
{
    TestMap map(60, 200);
    ASSERT_TRUE(map.ok);
    g_ViewX = 10;
    g_ViewY = 40;
    g_MouseX = 300;
    g_MouseY = 200;
    g_ViewDepthBase = 96;
    ScrollMap(0, 0);
    ASSERT_EQ(rebuilds, std::vector<std::uint8_t>{0});
    EXPECT_EQ(g_ViewX, 10);
    EXPECT_EQ(g_ViewY, 40);
    EXPECT_EQ(g_ViewDepthBase, 96);
    EXPECT_EQ(g_CursorMapX, 960 + 300);
    EXPECT_EQ(g_CursorMapY, 960 + 200);
    plat::Point cell;
    GetCellFromPoint(1260.0f, 1160.0f, cell);
    EXPECT_EQ(g_CursorCellX, cell.x);
    EXPECT_EQ(g_CursorCellY, cell.y);
    // A pending full redraw turns a step into a complete rebuild and is consumed.
    g_bMapViewDirty = 1;
    ScrollMap(0, 1);
    EXPECT_EQ(rebuilds.back(), 0);
    EXPECT_EQ(g_bMapViewDirty, 0);
    EXPECT_EQ(g_ViewDepthBase, 96);
}

TEST_F(MapViewTest, ScrollClampsOnEverySide)
{
    TestMap map(60, 200);
    ASSERT_TRUE(map.ok);
    struct Case {
        std::uint16_t x, y;
        std::int32_t dx, dy;
        std::uint16_t endX, endY;
    };
    const std::uint16_t lastRow = 200 - 34 - 10;
    const std::uint16_t lastColumn = 60 - 11 - 2;
    const Case cases[] = {
        {20, lastRow - 1, 0, 1, 20, lastRow},      // past the bottom
        {lastColumn, 50, 1, 0, lastColumn, 50},    // past the right
        {0, 50, -1, 0, 0, 50},                     // past the left: no wrap of the unsigned origin
        {20, 1, 0, -1, 20, 0},                     // past the top
        {0, 0, -3, -3, 0, 0},
    };
    for (const Case& c : cases) {
        g_ViewX = c.x;
        g_ViewY = c.y;
        rebuilds.clear();
        ScrollMap(c.dx, c.dy);
        EXPECT_EQ(g_ViewX, c.endX) << c.x << "," << c.y << " by " << c.dx << "," << c.dy;
        EXPECT_EQ(g_ViewY, c.endY) << c.x << "," << c.y << " by " << c.dx << "," << c.dy;
        ASSERT_EQ(rebuilds.size(), 1u);
        EXPECT_EQ(rebuilds[0], 0) << "a clamped scroll rebuilds completely";
    }
}

TEST_F(MapViewTest, MapSmallerThanTheViewKeepsTheOriginAtZero)
{
    TestMap map(8, 20);
    ASSERT_TRUE(map.ok);
    for (std::int32_t d : {0, 1, -1, 5}) {
        g_ViewX = 0;
        g_ViewY = 0;
        ScrollMap(d, d);
        EXPECT_EQ(g_ViewX, 0) << d;
        EXPECT_EQ(g_ViewY, 0) << d;
        EXPECT_EQ(g_ViewPixelX, 0);
        EXPECT_EQ(rebuilds.back(), 0);
    }
}

TEST_F(MapViewTest, NoScrollWithoutAMap)
{
    DestroyMap();
    g_ViewX = 5;
    ScrollMap(1, 0);
    EXPECT_TRUE(rebuilds.empty());
    EXPECT_EQ(g_ViewX, 5);
}

TEST_F(MapViewTest, PickingFindsTheHillTwoRowsDown)
{
    TestMap map(40, 80);
    ASSERT_TRUE(map.ok);
    // Cell (10, 20)'s diamond is centred on (960, 480).
    plat::Point cell;
    GetCellFromPoint(960.5f, 481.0f, cell);
    EXPECT_EQ(cell.x, 10);
    EXPECT_EQ(cell.y, 20);
    // Lift the tile of (10, 22) by two rows: all four of its vertices stand 48 pixels high.
    const plat::Point hill{10, 22};
    for (std::uint8_t d : {0, 1, 7, 2}) {
        const plat::Point v = GetNeighbourPoint(hill, d);
        map.SetHeight(v.x, v.y, 48);
    }
    GetCellFromPoint(960.5f, 481.0f, cell);
    EXPECT_EQ(cell.x, 10);
    EXPECT_EQ(cell.y, 22);
    EXPECT_TRUE(IsPointInLiftedTile(10, 22, 960.5f, 481.0f));
}

TEST_F(MapViewTest, BorderColumnsReturnTheFlatCell)
{
    TestMap map(40, 80);
    ASSERT_TRUE(map.ok);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        g_pHeightMap[i] = 40;
    for (float x : {-40.0f, 10.0f, 60.0f, 100.0f, 150.0f}) {
        const plat::Point flat = PixelToFlatCell(x, 500.0f);
        if (flat.x > 1)
            continue;
        plat::Point cell;
        GetCellFromPoint(x, 500.0f, cell);
        EXPECT_EQ(cell.x, flat.x) << x;
        EXPECT_EQ(cell.y, flat.y) << x;
    }
    EXPECT_FALSE(IsPointInLiftedTile(1, 20, 140.0f, 470.0f));
    EXPECT_FALSE(IsPointInLiftedTile(39, 20, 3800.0f, 470.0f));
}

// On hilly ground every pick is either a tile that holds the point, with no lower tile of the
// search holding it, or the flat cell when nothing holds it.
TEST_F(MapViewTest, PickingOnHillsIsTheLowestCoveringTile)
{
    TestMap map(40, 120);
    ASSERT_TRUE(map.ok);
    map.FillHeights(sampledata::MakeSampleHeights(40, 120, 7));
    int lifted = 0;
    for (float y = 200.5f; y < 2600.0f; y += 17.0f)
        for (float x = 250.5f; x < 3500.0f; x += 41.0f) {
            plat::Point cell;
            GetCellFromPoint(x, y, cell);
            const plat::Point flat = PixelToFlatCell(x, y);
            if (cell.x == flat.x && cell.y == flat.y && !IsPointInLiftedTile(cell.x, cell.y, x, y))
                continue;
            ASSERT_TRUE(IsPointInLiftedTile(cell.x, cell.y, x, y)) << x << "," << y;
            // The tiles the search looks at: up to 15 rows below the flat cell, the flat column and
            // the two columns that reach it from the next row.
            for (int k = 0; k <= 14; k += 2) {
                const int r = flat.y + k;
                const int nextX = (r & 1) ? flat.x : flat.x - 1;
                const plat::Point candidates[3] = {{flat.x, r}, {nextX, r + 1}, {nextX + 1, r + 1}};
                for (const plat::Point& c : candidates)
                    if (c.y > cell.y)
                        ASSERT_FALSE(IsPointInLiftedTile(c.x, c.y, x, y)) << x << "," << y;
            }
            lifted += cell.y != flat.y;
        }
    EXPECT_GT(lifted, 0);
}

TEST_F(MapViewTest, OrderArrowGeometry)
{
    g_ViewPixelX = 50;
    g_ViewPixelY = 20;
    DrawOrderArrow(100.0f, 100.0f, 100.0f, 300.0f);
    ASSERT_EQ(lines.size(), 8u);
    // Pointing down the screen: the arrow's own frame is the screen's.
    const TPointF expected[8][2] = {
        {{45, 253}, {38, 246}}, {{38, 246}, {50, 280}}, {{50, 280}, {62, 246}}, {{62, 246}, {55, 253}},
        {{35, 80}, {45, 253}},  {{65, 80}, {55, 253}},  {{35, 80}, {50, 120}},  {{65, 80}, {50, 120}},
    };
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(lines[i].a.x, expected[i][0].x, 1e-3) << i;
        EXPECT_NEAR(lines[i].a.y, expected[i][0].y, 1e-3) << i;
        EXPECT_NEAR(lines[i].b.x, expected[i][1].x, 1e-3) << i;
        EXPECT_NEAR(lines[i].b.y, expected[i][1].y, 1e-3) << i;
        EXPECT_EQ(lines[i].color, 0xFFFFFF00u);
    }
    // Pointing right: the head's inner points sit 27 pixels behind the tip, 5 to either side.
    lines.clear();
    g_ViewPixelX = g_ViewPixelY = 0;
    DrawOrderArrow(100.0f, 100.0f, 300.0f, 100.0f);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_NEAR(lines[1].b.x, 300.0f, 1e-3);
    EXPECT_NEAR(lines[1].b.y, 100.0f, 1e-3);
    EXPECT_NEAR(lines[0].a.x, 273.0f, 1e-3);
    EXPECT_NEAR(std::abs(lines[0].a.y - 100.0f), 5.0f, 1e-3);
    EXPECT_NEAR(lines[6].b.x, 140.0f, 1e-3);
    EXPECT_NEAR(lines[6].b.y, 100.0f, 1e-3);
}

TEST_F(MapViewTest, OrientationArrowHasAFixedLength)
{
    DrawOrientationArrow(400.0f, 400.0f, 410.0f, 900.0f, 40.0f);
    ASSERT_EQ(lines.size(), 8u);
    const TPointF tip = lines[1].b;
    EXPECT_NEAR(std::hypot(tip.x - 400.0f, tip.y - 400.0f), 100.0, 1e-3);
    for (const auto& line : lines)
        EXPECT_EQ(line.color, 0xFFFFFF00u);
}

TEST_F(MapViewTest, HouseBarsShowStrengthOrConstruction)
{
    g_ViewPixelX = 100;
    g_ViewPixelY = 200;
    g_ViewDepthBase = -48;
    THouseMapFields damaged;
    damaged.strength = 50.0f;
    damaged.maxStrength = 200.0f;
    damaged.owner = 2;
    THouseMapFields building;
    building.state = 30;
    building.buildTotal = 120;
    building.owner = 5;
    THouseMapFields overfull;
    overfull.strength = 500.0f;
    overfull.maxStrength = 100.0f;
    g_HouseBarSegments.rects = {{300, 400, 380, 500}, {500, 600, 540, 700}, {100, 300, 200, 350},
                                {5000, 400, 5100, 500}, {300, 150, 380, 160}};
    g_HouseBarSegments.houses = {AddHouse(damaged), AddHouse(building), AddHouse(overfull), AddHouse(damaged),
                                 AddHouse(damaged)};
    DrawHouseBars();
    // The last two bars lie off the screen.
    ASSERT_EQ(quads.size(), 6u);
    const TScreenQuad& grey = quads[0];
    EXPECT_EQ(grey[0].x, 200.0f);
    EXPECT_EQ(grey[1].x, 280.0f);
    EXPECT_EQ(grey[0].y, 197.0f);
    EXPECT_EQ(grey[2].y, 200.0f);
    EXPECT_EQ(grey[0].diffuse, 0xFF808080u);
    EXPECT_EQ(grey[0].z, ClampedDepth(-48.0f + 1024.0f + 400.0f));
    const TScreenQuad& strength = quads[1];
    EXPECT_EQ(strength[0].x, 200.0f);
    EXPECT_EQ(strength[1].x, 220.0f);
    EXPECT_EQ(strength[0].diffuse, GetPlayerColorD3D(2));
    EXPECT_EQ(quads[3][1].x - quads[3][0].x, 30.0f); // three quarters of 40 built
    EXPECT_EQ(quads[3][0].diffuse, GetPlayerColorD3D(5));
    EXPECT_EQ(quads[5][1].x - quads[5][0].x, 100.0f); // never past the bar
}

TEST_F(MapViewTest, RallyFlagOnTheGroundAndThePortsEffect)
{
    TestMap map(40, 80);
    ASSERT_TRUE(map.ok);
    THouseMapFields barracks;
    barracks.type = 5;
    barracks.rallyX = 1000.0f;
    barracks.rallyY = 900.0f;
    THouse* house = AddHouse(barracks);
    DrawRallyFlag(house);
    ASSERT_EQ(sprites.size(), 2u);
    EXPECT_EQ(sprites[0].x, 1000.0f);
    EXPECT_EQ(sprites[0].y, 900.0f);
    EXPECT_EQ(sprites[0].offset, 0);
    EXPECT_EQ(sprites[1].color, 0u);
    // Standing on an animated map object lifts the flag.
    const plat::Point flat = PixelToFlatCell(1000.0f, 900.0f);
    g_pObjectMap[flat.y * g_MapWidth + flat.x] = 9695;
    sprites.clear();
    DrawRallyFlag(house);
    ASSERT_EQ(sprites.size(), 2u);
    EXPECT_EQ(sprites[0].offset, 30);
    // A port makes its effect every tenth game frame instead.
    THouseMapFields port = barracks;
    port.type = 22;
    THouse* portHouse = AddHouse(port);
    sprites.clear();
    // The drawn frame times it, not the network cycle (which stands still between cycles).
    const std::uint32_t frame = g_FrameCounter;
    const std::uint32_t cycle = kadr_now;
    kadr_now = 1;
    for (g_FrameCounter = 0; g_FrameCounter < 30; ++g_FrameCounter)
        DrawRallyFlag(portHouse);
    g_FrameCounter = frame;
    kadr_now = cycle;
    EXPECT_TRUE(sprites.empty());
    ASSERT_EQ(effects.size(), 3u);
    EXPECT_EQ(effects[0].x, 1000.0f);
}

TEST_F(MapViewTest, TileVertexTemplates)
{
    InitTileVertexTemplates();
    const float u[4] = {0.0f, 0.99999f, 0.0f, 0.99999f};
    const float v[4] = {0.0f, 0.0f, 0.99999f, 0.99999f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(g_SpriteQuadTemplate[i].u, u[i]);
        EXPECT_EQ(g_SpriteQuadTemplate[i].v, v[i]);
        EXPECT_EQ(g_SpriteQuadTemplate[i].diffuse, 0xFFE5E5E5u);
        EXPECT_EQ(g_SpriteQuadTemplate[i].specular, 0xFFFFFFFFu);
        EXPECT_EQ(g_SpriteQuadTemplate[i].rhw, 1.0f);
        EXPECT_EQ(g_SpriteQuadTemplate[i].z, 0.0f);
        EXPECT_EQ(g_SpriteQuadTemplateFlipped[i].u, u[3 - i]);
        EXPECT_EQ(g_SpriteQuadTemplateFlipped[i].v, v[3 - i]);
        EXPECT_EQ(g_SpriteQuadTemplatePlain[i].u, u[i]);
        EXPECT_EQ(g_SpriteQuadTemplatePlain[i].rhw, 1.0f);
    }
}

TEST_F(MapViewTest, ToggleViewModeCycles)
{
    g_bShowLandPass = g_bShowShipPass = 0;
    const std::uint8_t expected[3][2] = {{1, 0}, {0, 1}, {0, 0}};
    for (const auto& e : expected) {
        g_bMapViewDirty = 0;
        ToggleViewMode();
        EXPECT_EQ(g_bShowLandPass, e[0]);
        EXPECT_EQ(g_bShowShipPass, e[1]);
        EXPECT_EQ(g_bMapViewDirty, 1);
    }
}

} // namespace
