#include <gtest/gtest.h>

#include <cmath>

#include "devices/d3d_device.h"
#include "devices/display.h"
#include "water_fixture.h"

namespace {

class WaterDrawingTest : public WaterTest {
protected:
    // A 40 x 80 map (80 x 80 water cells) and a cleared screen with the static layer's states.
    TWaterMap& Prepare()
    {
        TWaterMap& w = MakeWater(40, 80, true);
        for (TScreenVertex& v : g_SpriteQuadTemplate)
            v.diffuse = 0xFFFFFFFFu;
        FillSurface(g_pDDSBack, 0);
        g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
        g_pD3DDevice->SetRenderState(D3DState::ZEnable, 1);
        g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 1);
        g_pD3DDevice->SetRenderState(D3DState::ZFunc, 4);
        return w;
    }
    static std::uint16_t Read(plat::Surface* s, int x, int y)
    {
        plat::LockedArea a;
        if (!s->Lock(nullptr, a))
            return 0;
        const std::uint16_t v = reinterpret_cast<const std::uint16_t*>(a.bits + static_cast<std::ptrdiff_t>(y) * a.pitch)[x];
        s->Unlock();
        return v;
    }
    static bool DepthWritten(int x, int y) { return Read(g_pZBuffer, x, y) != 0xFFFF; }
    // Centre pixel of visible cell (c, r).
    static int Cx(int c) { return c * 48 + 24; }
    static int Cy(int r) { return r * 24 + 12; }
};

} // namespace

TEST_F(WaterDrawingTest, KeptRectangleByScrollDirection)
{
    const struct {
        int direction;
        plat::Rect kept;
    } cases[] = {{1, {2, 0, 21, 31}}, {2, {0, 0, 17, 31}}, {3, {0, 2, 21, 31}}, {4, {0, 0, 21, 27}},
                 {5, {2, 2, 21, 31}}, {6, {2, 0, 21, 27}}, {7, {0, 2, 17, 31}}, {8, {0, 0, 17, 27}}};
    for (const auto& c : cases) {
        plat::Rect kept;
        ASSERT_TRUE(WaterKeptRect(static_cast<std::uint8_t>(c.direction), 22, 32, kept));
        EXPECT_EQ(kept.left, c.kept.left) << c.direction;
        EXPECT_EQ(kept.top, c.kept.top) << c.direction;
        EXPECT_EQ(kept.right, c.kept.right) << c.direction;
        EXPECT_EQ(kept.bottom, c.kept.bottom) << c.direction;
    }
    plat::Rect none;
    EXPECT_FALSE(WaterKeptRect(0, 22, 32, none));
}

TEST_F(WaterDrawingTest, ScrollRedrawsOnlyTheUncoveredCells)
{
    TWaterMap& w = Prepare();
    FillOpenWater(w);
    ASSERT_EQ(w.m_VisibleCols, 22);
    w.BuildWaterFromMap(1);
    EXPECT_TRUE(DepthWritten(Cx(0), Cy(5)));
    EXPECT_TRUE(DepthWritten(Cx(1), Cy(5)));
    EXPECT_FALSE(DepthWritten(Cx(2), Cy(5)));

    g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
    w.BuildWaterFromMap(8);
    EXPECT_FALSE(DepthWritten(Cx(17), Cy(0)));
    EXPECT_TRUE(DepthWritten(Cx(18), Cy(0)));
    EXPECT_FALSE(DepthWritten(Cx(0), Cy(27)));
    EXPECT_TRUE(DepthWritten(Cx(0), Cy(28)));

    // A full-redraw request draws everything whatever the direction.
    g_pD3DDevice->Clear(0, nullptr, kClearZBuffer, 0, 1.0f, 0);
    g_bMapViewDirty = 1;
    w.BuildWaterFromMap(8);
    EXPECT_TRUE(DepthWritten(Cx(5), Cy(5)));
}

TEST_F(WaterDrawingTest, ShoreQuadsFollowInnerEdgesOnly)
{
    TWaterMap& w = Prepare();
    w.m_Zones[0] = TCoastZone{{TCoastArc{{{0, 0}, {20, 0}, {20, 12}, {0, 12}}}}, 1};
    w.m_Zones[1] = TCoastZone{{TCoastArc{{{0, 0}, {30, 10}}}}, 1};
    w.CoastZoneCount = 2;
    w.SetCell(2, 3, WATER_COAST_BIT | 0);
    w.SetCell(6, 3, WATER_COAST_BIT | 1);
    w.BuildWaterFromMap(0);
    // Two edges of the first polygon run along the border; the two-point arc draws nothing.
    ASSERT_EQ(w.CoastLineCount(), 2);
    EXPECT_FALSE(DepthWritten(Cx(6) - 10, Cy(3) - 6));
    EXPECT_TRUE(DepthWritten(96 + 5, 72 + 5));
    EXPECT_FALSE(DepthWritten(96 + 30, 72 + 18));

    // The edge from (20, 0) to (20, 12) of the cell at screen (96, 72).
    const TCoastLine& q = w.m_CoastLines.lines[0];
    EXPECT_FLOAT_EQ(q.x0, 116.0f);
    EXPECT_FLOAT_EQ(q.y0, 72.0f);
    const float mx = (q.x[0] + q.x[1] + q.x[2] + q.x[3]) / 4, my = (q.y[0] + q.y[1] + q.y[2] + q.y[3]) / 4;
    EXPECT_NEAR(mx, 116.0f, 1e-3);
    EXPECT_NEAR(my, 78.0f, 1e-3);
    auto dist = [&](int a, int b) { return std::hypot(q.x[a] - q.x[b], q.y[a] - q.y[b]); };
    EXPECT_NEAR(dist(0, 1), 24.0, 1e-2); // twice the edge's length, along it
    EXPECT_NEAR(dist(0, 2), 32.0, 1e-2); // 16 pixels to each side
    EXPECT_NEAR(q.x[0], q.x[1], 0.05);   // the edge is vertical
    for (int k = 0; k < 4; ++k)
        EXPECT_FLOAT_EQ(q.z[k], WaterDepth(q.y[k]));

    // A later rebuild starts the list afresh.
    w.BuildWaterFromMap(0);
    EXPECT_EQ(w.CoastLineCount(), 2);
}

TEST_F(WaterDrawingTest, ShoreQuadsChainIntoFurtherBlocks)
{
    TWaterMap& w = Prepare();
    w.m_Zones[0] = TCoastZone{{TCoastArc{{{10, 5}, {30, 5}, {30, 15}, {10, 15}}}}, 1};
    w.CoastZoneCount = 1;
    for (int c = 0; c < 20; ++c)
        w.SetCell(c, 4, WATER_COAST_BIT);
    w.BuildWaterFromMap(0);
    EXPECT_EQ(w.CoastLineCount(), 80);
    ASSERT_NE(w.m_CoastLines.next, nullptr);
    EXPECT_EQ(w.m_CoastLines.used, COAST_LINE_BLOCK);
}

TEST_F(WaterDrawingTest, LightSpotsReachBeyondTheView)
{
    TWaterMap& w = Prepare();
    g_ViewX = 10; // water column 20
    g_ViewY = 20;
    const std::uint16_t spot = 0x0031; // light spot 3: picture 2
    const struct {
        int c, r;
        bool listed;
    } cells[] = {{16, 12, true}, {15, 20, false}, {16, 11, false}, {45, 59, true}, {46, 30, false}, {30, 60, false}};
    for (const auto& c : cells)
        w.SetCell(c.c, c.r, spot);
    w.SetCell(30, 30, 0x0001);
    w.CollectVisibleWaterSpots();
    ASSERT_EQ(w.m_LightSpots.size(), 2u);
    EXPECT_EQ(w.m_LightSpots[0].column, -4);
    EXPECT_EQ(w.m_LightSpots[0].row, -8);
    EXPECT_EQ(w.m_LightSpots[0].picture, 2);
    EXPECT_EQ(w.m_LightSpots[1].column, 25);
    EXPECT_EQ(w.m_LightSpots[1].row, 39);
    g_ViewX = g_ViewY = 0;
}

TEST_F(WaterDrawingTest, TextureCoordinatesRepeatEveryThirdOfTheView)
{
    TWaterMap& w = Prepare();
    g_ViewX = 5;
    g_ViewY = 7;
    const float su = 3 * 0.99999f / 22, sv = -3 * 0.99999f / 32;
    const float ku = 22 * 0.33333334f, kv = 32 * 0.33333334f;
    const struct {
        int c, r, look;
        float u, v;
    } cases[] = {
        {3, 0, 1, (8 - ku) * su, 7 * sv},                 // A = 8, trunc(ku) = 7
        {1, 4, 1, 6 * su, (11 - kv) * sv},                // B = 11, trunc(kv) = 10
        {3, 0, 2, (8 - ku) * su * 2, 7 * sv * 2},         // look 2 doubles the steps
        {16, 20, 1, (21 - 3 * ku) * su, (27 - 2 * kv) * sv},
    };
    for (const auto& c : cases) {
        float u = 0, v = 0;
        WaterTexCoords(w, c.c, c.r, static_cast<std::uint8_t>(c.look), u, v);
        EXPECT_NEAR(u, c.u, 1e-5) << c.c << "," << c.r;
        EXPECT_NEAR(v, c.v, 1e-5) << c.c << "," << c.r;
    }
    g_ViewX = g_ViewY = 0;
}

TEST_F(WaterDrawingTest, AnimatedWaterShowsOnlyInsideTheShape)
{
    TWaterMap& w = Prepare();
    w.SetCell(4, 4, 0x0001);
    w.BuildWaterFromMap(0);
    const std::uint16_t plain = Read(g_pDDSBack, Cx(4), Cy(4));
    EXPECT_EQ(plain, MakeColor16(255, 255, 255));
    w.DrawWater();
    const std::uint16_t water = Read(g_pDDSBack, Cx(4), Cy(4));
    EXPECT_NE(water, plain);
    EXPECT_NE(water, 0);
    EXPECT_EQ(Read(g_pDDSBack, Cx(8), Cy(4)), 0); // land stays as it was
    EXPECT_FLOAT_EQ(w.m_WaterAnim[0].currentFrame, 0.5f);
    EXPECT_FLOAT_EQ(w.m_CoastWaterAnim[0].currentFrame, 0.4f);

    // Hidden water draws nothing and does not advance.
    FillSurface(g_pDDSBack, 0);
    w.m_bWaterHidden = 1;
    w.DrawWater();
    EXPECT_EQ(Read(g_pDDSBack, Cx(4), Cy(4)), 0);
    EXPECT_FLOAT_EQ(w.m_WaterAnim[0].currentFrame, 0.5f);
}

TEST_F(WaterDrawingTest, AnimationFramesWrapAtTheSetsFrameCount)
{
    TWaterMap& w = Prepare();
    const int frames = w.m_WaterAnim[0].FrameCount();
    ASSERT_GT(frames, 0);
    for (int i = 0; i < 2 * frames; ++i)
        w.DrawWater();
    EXPECT_FLOAT_EQ(w.m_WaterAnim[0].currentFrame, 0.0f);
}

TEST_F(WaterDrawingTest, EditOverlayNamesWhetherTheTileIsWater)
{
    TWaterMap& w = Prepare();
    w.SetWaterBrushSize(1);
    w.m_bWaterEditMode = 1;
    maptest::LogWatch log;
    w.DrawWater();
    g_WaterServices.editorEraseOn = [] { return true; };
    w.DrawWater();
    EXPECT_EQ(log.Added(), "");
}
