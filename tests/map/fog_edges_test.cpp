#include "map/fog_edges.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fog_fixture.h"

namespace {

constexpr std::uint16_t kGround = 0x07E0; // pure green in RGB565

// A grid node as the stages hold it: grid pixels, 2 right of and below the node.
TFogPoint Node(int gx, int gy)
{
    return {std::trunc(static_cast<float>(gx) * g_FogCellWidth) + 2.0f,
            std::trunc(static_cast<float>(gy) * g_FogCellHeight) + 2.0f, 0};
}

std::vector<std::pair<int, int>> NodesOf(const TFogCurve& c, int base)
{
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < c.count; ++i) {
        const TFogPoint& p = c.pt[static_cast<std::size_t>(base + i)];
        out.emplace_back(static_cast<int>(p.x / g_FogCellWidth + 0.5f), static_cast<int>(p.y / g_FogCellHeight + 0.5f));
    }
    return out;
}

// A closed curve of the stages (numbered from 1) through grid nodes.
TFogCurve CurveThrough(const std::vector<std::pair<int, int>>& nodes, std::uint8_t hole)
{
    TFogCurve c;
    c.hole = hole;
    for (const auto& [x, y] : nodes)
        AppendFogPoint(c, 1, Node(x, y));
    CloseFogCurve(c);
    return c;
}

} // namespace

class FogEdges : public FogTest {
protected:
    void SetUp() override
    {
        FogTest::SetUp();
        ASSERT_TRUE(InitSuperFog());
        for (TScreenVertex& v : g_SpriteQuadTemplate)
            v.diffuse = 0xFFFFFFFFu;
    }
    static void FillGround() { FillSurface(g_pDDSBack, kGround); }
    static std::uint16_t Pixel(int x, int y) { return g_pDDSBack->Pixels().Row16(y)[x]; }
    static int PixelsEqual(std::uint16_t value)
    {
        int n = 0;
        for (int y = 0; y < g_pDDSBack->Height(); ++y)
            for (int x = 0; x < g_pDDSBack->Width(); ++x)
                n += Pixel(x, y) == value;
        return n;
    }
};

TEST_F(FogEdges, AlignmentInsertsTheNodesNearestTheLine)
{
    struct Case {
        int dx, dy;
        std::vector<std::pair<int, int>> inserted; // relative to the start node (20, 20)
    } cases[] = {
        {1, 0, {}},
        {0, 1, {}},
        {1, 1, {}},
        {3, 0, {{1, 0}, {2, 0}}},
        {3, 3, {{1, 1}, {2, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << ", " << c.dy);
        TFogCurve out;
        FillFogSegment(Node(20, 20), Node(20 + c.dx, 20 + c.dy), out);
        ASSERT_EQ(out.count, c.inserted.size());
        const auto nodes = NodesOf(out, 1);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            // Inserted nodes lie on the nodes themselves, so they read back exactly.
            EXPECT_EQ(nodes[i].first - 20, c.inserted[i].first);
            EXPECT_EQ(nodes[i].second - 20, c.inserted[i].second);
        }
    }
    // A (2, 4) step takes three nodes, and the chain it makes moves from node to neighbouring node.
    TFogCurve chain;
    FillFogSegment(Node(20, 20), Node(22, 24), chain);
    ASSERT_EQ(chain.count, 3);
    auto nodes = NodesOf(chain, 1);
    nodes.insert(nodes.begin(), {20, 20});
    nodes.emplace_back(22, 24);
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        EXPECT_LE(std::abs(nodes[i].first - nodes[i - 1].first), 1) << i;
        EXPECT_LE(std::abs(nodes[i].second - nodes[i - 1].second), 1) << i;
    }

    TFogCurve outside;
    FillFogSegment(Node(2, 2), Node(6, 6), outside);
    EXPECT_EQ(outside.count, 0) << "a step wholly outside the visible part keeps its shape";
}

TEST_F(FogEdges, CurvesOfFiveTracedPointsOrFewerVanishAtSmoothing)
{
    for (const int count : {5, 6}) {
        SCOPED_TRACE(count);
        std::fill(g_FogGrid.begin(), g_FogGrid.end(), FOG_SEEN);
        TFogCurve c;
        const int xs[] = {20, 21, 22, 22, 21, 20};
        const int ys[] = {20, 20, 21, 22, 22, 21};
        for (int i = 0; i < count - 1; ++i)
            AppendFogPoint(c, 0, {static_cast<float>(xs[i]), static_cast<float>(ys[i]), 0});
        AppendFogPoint(c, 0, c.pt[0]);
        g_FogCurves = {c};
        SmoothFogCurves();
        ASSERT_EQ(g_FogCurves.size(), 1u);
        EXPECT_EQ(g_FogCurves[0].count > 0, count > 5);
    }
}

TEST_F(FogEdges, AFullySeenViewHasNoBodyInsideTheView)
{
    AddFogRevealPoint(g_FogRevealPoints, kViewX + 5, kViewY + 20, 40);
    FullPass();
    ASSERT_FALSE(g_FogCurves.empty());
    EXPECT_EQ(g_FogCurves[0].hole, 0);
    EXPECT_EQ(g_FogQuadCount, 0);
    for (std::size_t i = 0; i < g_FogTriangles.size(); ++i) {
        const TScreenVertex& v = g_FogTriangles[i];
        // Triangles may only sit at the view's edges.
        EXPECT_TRUE(v.x <= 0 || v.y <= 0 || v.x >= 1024 || v.y >= 768) << v.x << ", " << v.y;
    }
    FillGround();
    DrawSuperFog();
    EXPECT_EQ(Pixel(512, 384), kGround);
}

TEST_F(FogEdges, AFullyFoggedViewIsSpannedRowByRowAndKeepsTheLastOuterBand)
{
    AddUnit(0, kViewX + 5, kViewY + 12, 8);
    FullPass();
    ASSERT_FALSE(g_FogOuterCurves.empty());
    const std::size_t bands = g_FogOuterCurves.size();

    units[0].clear();
    FullPass();
    EXPECT_TRUE(g_FogCurves.empty());
    EXPECT_EQ(g_FogTriangleCount, 0);
    ASSERT_EQ(g_FogQuadCount, 34) << "one full-width run per visible row";
    for (int r = 0; r < 34; ++r) {
        const TScreenVertex* q = &g_FogQuads[static_cast<std::size_t>(r) * 6];
        EXPECT_FLOAT_EQ(q[0].x, 0.0f);
        EXPECT_NEAR(q[5].x, 1024.0f, 0.01f);
        EXPECT_NEAR(q[0].y, r * 768.0f / 34.0f, 0.01f);
    }
    EXPECT_EQ(g_FogOuterCurves.size(), bands) << "the band lists stay until the next traced pass";
    FillGround();
    DrawSuperFog();
    EXPECT_EQ(PixelsEqual(kGround), 0);
    EXPECT_EQ(Pixel(512, 384), 0);
}

TEST_F(FogEdges, AnIslandOfFogIsPaintedAsSpansAndItsBandLiesOutsideIt)
{
    // A seen area over the whole visible part, with an island of fog (counter-clockwise) inside.
    const int l = 9, t = 9, r = 2 * 11 + 13, b = 34 + 13;
    g_FogCurves = {CurveThrough({{l, t}, {r, t}, {r, b}, {l, b}}, 0),
                   CurveThrough({{20, 20}, {20, 30}, {26, 30}, {26, 20}}, 1)};
    AlignCurve();
    BuildFogCornerTriangles();
    BuildFogSpans();
    ASSERT_GT(g_FogQuadCount, 0);
    // The island's cells, and the outline the polygon's pen adds on its right and bottom edges.
    for (std::size_t i = 0; i < g_FogQuads.size(); ++i) {
        const TScreenVertex& v = g_FogQuads[i];
        EXPECT_GE(v.x, (20 - 11) * g_FogCellWidth - 0.01f);
        EXPECT_LE(v.x, (27 - 11) * g_FogCellWidth + 0.01f);
        EXPECT_GE(v.y, (20 - 11) * g_FogCellHeight - 0.01f);
        EXPECT_LE(v.y, (31 - 11) * g_FogCellHeight + 0.01f);
    }
    BuildSoftFogBands();
    ASSERT_EQ(g_FogInnerCurves.size(), 2u);
    const TFogCurve& band = g_FogInnerCurves[1];
    for (int i = 1; i <= band.count; ++i) {
        const TFogPoint& p = band.pt[static_cast<std::size_t>(i)];
        // Corners are cut diagonally, so the test stays a cell away from them.
        const bool inside = p.x > (21 - 11) * g_FogCellWidth && p.x < (25 - 11) * g_FogCellWidth &&
                            p.y > (21 - 11) * g_FogCellHeight && p.y < (29 - 11) * g_FogCellHeight;
        EXPECT_FALSE(inside) << "point " << i << " at " << p.x << ", " << p.y;
    }
}

TEST_F(FogEdges, TheSoftBandBlendsFromFogToGround)
{
    AddUnit(0, kViewX + 5, kViewY + 20, 4);
    FullPass();
    FillGround();
    DrawSuperFog();
    const int ground = PixelsEqual(kGround), black = PixelsEqual(0);
    EXPECT_GT(ground, 0);
    EXPECT_GT(black, 0);
    EXPECT_GT(1024 * 768 - ground - black, 1000) << "pixels between fog and ground";
    // Every band closes on itself: along the screen row through the seen area, the ground is
    // reached from the fog through blended pixels, on both sides.
    int y = 0;
    while (y < 768 && Pixel(512, y) != kGround)
        ++y;
    ASSERT_LT(y, 768);
    int firstGround = -1, lastGround = -1;
    for (int x = 0; x < 1024; ++x)
        if (Pixel(x, y) == kGround)
            lastGround = x, firstGround = firstGround < 0 ? x : firstGround;
    ASSERT_GT(firstGround, 0);
    EXPECT_NE(Pixel(firstGround - 1, y), 0);
    EXPECT_NE(Pixel(lastGround + 1, y), 0);
}
