#include <gtest/gtest.h>

#include <mutex>

#include "devices/cursor_state.h"
#include "devices/mouse.h"
#include "map/map_view.h"
#include "map/trench_pieces.h"
#include "map_device_fixture.h"
#include "map_fixture.h"
#include "trench_pictures.h"

namespace {

// Every device call of the pieces and the line tool's path, recorded.
struct TRecorder {
    struct Draw {
        bool indexed = false;
        std::vector<TScreenVertex> vertices;
        std::vector<std::uint16_t> indices;
        plat::Texture* texture = nullptr;
        std::uint32_t zWrite = 0;
    };
    std::vector<Draw> draws;
    plat::Texture* texture = nullptr;
    std::uint32_t zWrite = 0;
    std::vector<std::pair<D3DState, std::uint32_t>> states;
    std::vector<std::uint8_t> path;
    bool pathFound = true;
};

class TrenchPiecesTest : public MapDeviceTest {
protected:
    void SetUp() override
    {
        MapDeviceTest::SetUp();
        ASSERT_TRUE(sampledata::WriteTrenchFiles("."));
        map = std::make_unique<maptest::TestMap>(40, 60);
        ASSERT_TRUE(map->ok);
        g_ViewPixelX = g_ViewPixelY = 0;
        g_ViewDepthBase = 0;
        TTrenchPieceServices& s = TrenchPieceServices();
        s.SetTexture = [this](plat::Texture* t) {
            rec.texture = t;
            return true;
        };
        s.SetRenderState = [this](D3DState state, std::uint32_t value) {
            rec.states.push_back({state, value});
            if (state == D3DState::ZWriteEnable)
                rec.zWrite = value;
            return true;
        };
        s.DrawIndexedTriangles = [this](const TScreenVertex* v, std::uint32_t n, const std::uint16_t* idx,
                                        std::uint32_t ni) {
            rec.draws.push_back({true, {v, v + n}, {idx, idx + ni}, rec.texture, rec.zWrite});
            return true;
        };
        s.DrawStrip = [this](const TScreenVertex* v, std::uint32_t n) {
            rec.draws.push_back({false, {v, v + n}, {}, rec.texture, rec.zWrite});
            return true;
        };
        s.FindPath = [this](const plat::Point&, const plat::Point&, const std::uint8_t cost[9],
                            std::vector<std::uint8_t>& path) {
            EXPECT_EQ(cost[1], 9);
            EXPECT_EQ(cost[5], 255);
            path = rec.path;
            return rec.pathFound;
        };
        ASSERT_TRUE(TrenchesInit());
    }
    void TearDown() override
    {
        TrenchesFree();
        TrenchPieceServices() = DefaultTrenchPieceServices();
        SetMouse(0, 0, {0, 0});
        map.reset();
        MapDeviceTest::TearDown();
    }
    static void SetMouse(std::uint8_t held, std::uint8_t up, plat::Point cursor)
    {
        std::lock_guard lock(g_InputLock);
        g_bLButtonHeld = held;
        g_bLButtonUp = up;
        g_CursorCellX = static_cast<std::uint16_t>(cursor.x);
        g_CursorCellY = static_cast<std::uint16_t>(cursor.y);
    }
    static std::uint16_t Code(std::int32_t x, std::int32_t y) { return GetObjectFromMap(plat::Point{x, y}); }

    std::unique_ptr<maptest::TestMap> map;
    TRecorder rec;
};

std::vector<std::uint8_t> KindsAlong(plat::Point start, std::vector<std::uint8_t> dirs)
{
    return TrenchLineKinds(start, dirs);
}

} // namespace

TEST_F(TrenchPiecesTest, InitLoadsBothPicturesOfEveryKindOnce)
{
    for (int k = 0; k < kTrenchPieceKinds; ++k) {
        EXPECT_NE(g_TrenchPieceTextures[k], nullptr) << g_TrenchPieceNames[k];
        EXPECT_NE(g_TrenchDepthTextures[k], nullptr) << g_TrenchPieceNames[k];
    }
    EXPECT_FALSE(TrenchesInit());
    TrenchesFree();
    EXPECT_EQ(g_pTrenchPieces, nullptr);
    EXPECT_EQ(g_TrenchPieceTextures[0], nullptr);
    EXPECT_TRUE(TrenchesInit());
}

TEST_F(TrenchPiecesTest, LineKinds)
{
    const plat::Point s{10, 20};
    struct Case {
        std::vector<std::uint8_t> dirs;
        std::vector<std::uint8_t> kinds;
        const char* what;
    };
    const Case cases[] = {
        {{2, 2, 2}, {2, 0, 3}, "three steps along direction 2: LUE, L, RDE"},
        {{1}, {15}, "one step: a dot"},
        {{4, 4}, {3, 2}, "two steps: the first end takes the second step's code"},
        {{1, 1, 1, 1}, {5, 1, 1, 4}, "straight R with its ends"},
        {{4, 4, 1}, {3, 6, 4}, "corner (0, 2)"},
        {{2, 2, 3}, {2, 7, 5}, "corner (1, 3)"},
        {{1, 1, 2}, {5, 8, 3}, "corner (2, 1)"},
        {{3, 3, 4}, {4, 9, 2}, "corner (3, 0)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KindsAlong(s, c.dirs), c.kinds) << c.what;
}

TEST_F(TrenchPiecesTest, LinesMergeWithPiecesAlreadyThere)
{
    const plat::Point s{10, 20};
    const plat::Point a = GetNeighbourPoint(s, 1);
    const plat::Point b = GetNeighbourPoint(a, 1);
    const plat::Point c = GetNeighbourPoint(b, 1);
    // Existing L pieces: an R crossing one gives Cross, the line's end (kind 4) on one LDCross.
    for (const plat::Point& p : {b, c})
        ASSERT_TRUE(AddTrenchPiece(g_pTrenchPieces, static_cast<std::uint16_t>(p.x), static_cast<std::uint16_t>(p.y), 0));
    EXPECT_EQ(KindsAlong(s, {1, 1, 1}), (std::vector<std::uint8_t>{5, 14, 13}));
    // A one-step line onto a piece is dropped; elsewhere it lays a dot, and a dot is never merged.
    EXPECT_TRUE(KindsAlong(a, {1}).empty());
    EXPECT_EQ(KindsAlong(s, {3}), std::vector<std::uint8_t>{15});
    ASSERT_TRUE(AddTrenchPiece(g_pTrenchPieces, static_cast<std::uint16_t>(a.x), static_cast<std::uint16_t>(a.y), 15));
    EXPECT_EQ(KindsAlong(s, {1, 1, 1}), (std::vector<std::uint8_t>{5, 14, 13}));
    // Samples of the merge table.
    EXPECT_EQ(g_TrenchMergeTable[0][1], 14);
    EXPECT_EQ(g_TrenchMergeTable[0][4], 13);
    EXPECT_EQ(g_TrenchMergeTable[3][5], 9);
    EXPECT_EQ(g_TrenchMergeTable[14][9], 14);
}

TEST_F(TrenchPiecesTest, AddTrenchPieceCodesAndRefusals)
{
    g_pCellInfo[CellIndex(7, 9)].base = 12;
    ASSERT_TRUE(AddTrenchPiece(g_pTrenchPieces, 7, 9, 1));
    ASSERT_TRUE(AddTrenchPiece(g_pTrenchPieces, 8, 9, 2));
    ASSERT_TRUE(AddTrenchPiece(g_pTrenchPieces, 7, 9, 14)); // laid again: a new code
    EXPECT_EQ(Code(7, 9), 11002);
    EXPECT_EQ(Code(8, 9), 11001);
    EXPECT_EQ(g_pCellInfo[CellIndex(7, 9)].base, 65535);
    EXPECT_EQ(TrenchPieceKindAt({7, 9}), 14);
    EXPECT_EQ(g_pTrenchPieces->pieces.size(), 3u);
    maptest::LogWatch log;
    EXPECT_FALSE(AddTrenchPiece(g_pTrenchPieces, 40, 9, 1));
    EXPECT_EQ(log.Count(std::string(kMsgSetObjectXY)), 1);
    EXPECT_EQ(g_pTrenchPieces->pieces.size(), 3u);
    // A code past the pieces (a stale map) reads as no piece.
    SetObjectMap(plat::Point{9, 9}, 11500);
    EXPECT_EQ(TrenchPieceKindAt({9, 9}), kTrenchPieceNone);
}

TEST_F(TrenchPiecesTest, MeshVerticesFollowTheTerrainAndTheDepthRule)
{
    // Cross (kind 14) uses samples 5, 6, 9, 10: C0, C1, C2, C3 at offset 0.
    const std::uint16_t x = 10, y = 21; // an odd row
    map->SetHeight(10, 21, 8);          // C0
    map->SetHeight(11, 20, 16);         // C1: direction 1 of an odd row
    map->SetHeight(11, 22, 24);         // C2
    map->SetHeight(11, 21, 4);          // C3
    g_ViewPixelX = 100;
    g_ViewPixelY = 50;
    g_ViewDepthBase = 48;
    ASSERT_TRUE(DrawTrenchPiece(x, y, 14));
    ASSERT_EQ(rec.draws.size(), 1u);
    const auto& d = rec.draws[0];
    EXPECT_TRUE(d.indexed);
    ASSERT_EQ(d.vertices.size(), 4u);
    EXPECT_EQ(d.indices, (std::vector<std::uint16_t>{0, 1, 2, 2, 1, 3}));
    const float px = 2 * 10 * 48 - 100.0f, py = 21 * 24 - 50.0f;
    struct Expect {
        float dx, dy, h, u, v;
    };
    const Expect e[4] = {{0, 0, 8, 0, 0}, {48, -24, 16, 0.99999f, 0}, {48, 24, 24, 0, 0.99999f}, {96, 0, 4, 0.99999f, 0.99999f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(d.vertices[i].x, px + e[i].dx) << i;
        EXPECT_FLOAT_EQ(d.vertices[i].y, py + e[i].dy - e[i].h) << i;
        EXPECT_FLOAT_EQ(d.vertices[i].z, ClampedDepth(py + e[i].dy + e[i].h + 48 + 1024)) << i;
        EXPECT_FLOAT_EQ(d.vertices[i].u, e[i].u) << i;
        EXPECT_FLOAT_EQ(d.vertices[i].v, e[i].v) << i;
    }
}

TEST_F(TrenchPiecesTest, MeanPointsTakeTheMeanOfTheirTwoSamples)
{
    // L (kind 0): vertex 1 is point 16 (sample 5, C0), vertex 0 point 15 = mean of 14 and 16; point
    // 14 is sample 4: C2 one column left. Row 20 is even: C1 = (10, 19), C2 = (10, 21).
    map->SetHeight(10, 20, 10);
    map->SetHeight(9, 21, 30);
    ASSERT_TRUE(DrawTrenchPiece(10, 20, 0));
    ASSERT_EQ(rec.draws.size(), 1u);
    const auto& v = rec.draws[0].vertices;
    ASSERT_EQ(v.size(), 10u);
    const float px = (2 * 10 - 1) * 48.0f, py = 20 * 24.0f;
    EXPECT_FLOAT_EQ(v[1].y, py - 10);
    EXPECT_FLOAT_EQ(v[0].x, px - 24);
    EXPECT_FLOAT_EQ(v[0].y, py + 12 - 20);
    EXPECT_EQ(rec.draws[0].indices.size(), 24u);
}

TEST_F(TrenchPiecesTest, OffMapSamplesReportAndCountAsZero)
{
    maptest::LogWatch log;
    ASSERT_TRUE(DrawTrenchPiece(0, 0, 14));
    ASSERT_TRUE(DrawTrenchPieceDepth(0, 0));
    EXPECT_GE(log.Count(std::string(kMsgGetHeightPoint)), 1);
    EXPECT_GE(log.Count(std::string(kMsgGetHeightXY)), 1);
    // The dot has no mesh: nothing is drawn, and that is no failure.
    rec.draws.clear();
    EXPECT_TRUE(DrawTrenchPiece(10, 20, kTrenchPieceDot));
    EXPECT_TRUE(rec.draws.empty());
}

TEST_F(TrenchPiecesTest, DrawTrenchesDrawsDepthsThenPicturesAndEmptiesTheQueue)
{
    ASSERT_TRUE(AddTrenchPiece(g_pTrenchPieces, 10, 21, 0));
    ASSERT_TRUE(AddTrenchPiece(g_pTrenchPieces, 12, 21, 15));
    map->SetHeight(10, 21, 6);
    map->SetHeight(11, 22, 12);
    BuildTrenchPieces(g_pTrenchPieces, 0);
    BuildTrenchPieces(g_pTrenchPieces, 1);
    BuildTrenchPieces(g_pTrenchPieces, 7); // no such piece
    DrawTrenches(g_pTrenchPieces);
    ASSERT_EQ(rec.draws.size(), 3u); // two diamonds, one mesh (the dot has none)
    EXPECT_FALSE(rec.draws[0].indexed);
    EXPECT_EQ(rec.draws[0].texture, g_TrenchDepthTextures[0]);
    EXPECT_EQ(rec.draws[0].zWrite, 1u);
    EXPECT_EQ(rec.draws[1].texture, g_TrenchDepthTextures[15]);
    EXPECT_TRUE(rec.draws[2].indexed);
    EXPECT_EQ(rec.draws[2].texture, g_TrenchPieceTextures[0]);
    EXPECT_EQ(rec.draws[2].zWrite, 0u);
    // The diamond of (10, 21): left corner lifted by C0, bottom corner by C2 = (11, 22).
    const auto& q = rec.draws[0].vertices;
    const float px = 2 * 10 * 48.0f, py = 21 * 24.0f;
    EXPECT_FLOAT_EQ(q[0].x, px);
    EXPECT_FLOAT_EQ(q[0].y, py - 6);
    EXPECT_FLOAT_EQ(q[0].z, ClampedDepth(py + 6 + 1024));
    EXPECT_FLOAT_EQ(q[2].x, px + 48);
    EXPECT_FLOAT_EQ(q[2].y, py + 24 - 12);
    EXPECT_FLOAT_EQ(q[3].x, px + 96);
    EXPECT_TRUE(g_pTrenchPieces->queue.empty());
    rec.draws.clear();
    DrawTrenches(g_pTrenchPieces);
    EXPECT_TRUE(rec.draws.empty());
}

TEST_F(TrenchPiecesTest, LineToolPreviewsWhileHeldAndCommitsOnRelease)
{
    const plat::Point start{10, 20};
    rec.path = {2, 2, 2};
    plat::Point end = start;
    for (std::uint8_t d : rec.path)
        end = GetNeighbourPoint(end, d);
    SetMouse(0, 0, start);
    PlaceTrench();
    EXPECT_EQ(g_bTrenchDragging, 0);
    SetMouse(1, 0, start);
    PlaceTrench();
    EXPECT_EQ(g_bTrenchDragging, 1);
    EXPECT_EQ(g_TrenchDragStartX, 10u);
    EXPECT_EQ(g_TrenchDragStartY, 20u);
    EXPECT_EQ(rec.draws.size(), 3u); // the preview
    EXPECT_TRUE(g_pTrenchPieces->pieces.empty());
    SetMouse(0, 1, end);
    g_bMapViewDirty = 0;
    PlaceTrench();
    EXPECT_EQ(g_bTrenchDragging, 0);
    EXPECT_EQ(g_bMapViewDirty, 1);
    ASSERT_EQ(g_pTrenchPieces->pieces.size(), 3u);
    plat::Point c = start;
    const std::uint8_t kinds[3] = {2, 0, 3};
    for (int i = 0; i < 3; ++i) {
        c = GetNeighbourPoint(c, 2);
        EXPECT_EQ(Code(c.x, c.y), 11000 + i);
        EXPECT_EQ(g_pTrenchPieces->pieces[i]->kind, kinds[i]);
    }
    EXPECT_EQ(Code(start.x, start.y), 0); // the start cell carries no piece
}

TEST_F(TrenchPiecesTest, ReleaseWithoutAPathCommitsNothingAndEndsTheDrag)
{
    rec.pathFound = false;
    SetMouse(1, 0, {10, 20});
    PlaceTrench();
    EXPECT_TRUE(rec.draws.empty());
    SetMouse(0, 1, {14, 20});
    PlaceTrench();
    EXPECT_EQ(g_bTrenchDragging, 0);
    EXPECT_TRUE(g_pTrenchPieces->pieces.empty());
}
