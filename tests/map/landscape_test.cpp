#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "devices/device_fixture.h"
#include "map/land_textures.h"
#include "map/landscape.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "map_fixture.h"
#include "movement/passability.h"
#include "players/strateg.h"
#include "units/anim_slots.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"

namespace {

TEST(LandscapeRegion, RedrawRegionByDirection)
{
    // View at (10, 20), 11 x 34 cells: R = 21, B = 54.
    const struct {
        std::uint8_t direction;
        int count;
        TCellRect a, b;
    } cases[] = {
        {0, 1, {9, 20, 21, 74}, {}},
        {1, 1, {9, 20, 12, 74}, {}},
        {2, 1, {19, 20, 21, 74}, {}},
        {3, 1, {10, 20, 21, 44}, {}},
        {4, 1, {10, 49, 21, 74}, {}},
        {5, 2, {9, 20, 12, 74}, {13, 20, 21, 35}},
        {6, 2, {9, 20, 12, 74}, {13, 49, 21, 74}},
        {7, 2, {19, 20, 21, 74}, {10, 20, 18, 40}},
        {8, 2, {19, 20, 21, 74}, {10, 49, 18, 74}},
        {9, 0, {}, {}},
    };
    for (const auto& c : cases) {
        TCellRect out[2]{};
        ASSERT_EQ(LandscapeRedrawRegion(c.direction, 10, 20, 11, 34, out), c.count) << int(c.direction);
        const TCellRect* expected[2] = {&c.a, &c.b};
        for (int r = 0; r < c.count; ++r) {
            EXPECT_EQ(out[r].x0, expected[r]->x0) << int(c.direction) << " " << r;
            EXPECT_EQ(out[r].y0, expected[r]->y0) << int(c.direction) << " " << r;
            EXPECT_EQ(out[r].x1, expected[r]->x1) << int(c.direction) << " " << r;
            EXPECT_EQ(out[r].y1, expected[r]->y1) << int(c.direction) << " " << r;
        }
    }
}

// A small map on the display (1024 x 768) with the view at a chosen origin and size.
class LandscapeTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        saved[0] = g_ViewX, saved[1] = g_ViewY, saved[2] = g_ViewCols, saved[3] = g_ViewRows;
        g_ViewDepthBase = 0;
        g_PlacingHouseType = -1;
        g_bShowLandPass = g_bShowShipPass = 0;
        FillLandscapeTemplates();
    }
    void TearDown() override
    {
        FreeMapAnimList(g_MapAnimList);
        g_VisibleHouses.clear();
        map.reset();
        g_ViewX = saved[0], g_ViewY = saved[1], g_ViewCols = saved[2], g_ViewRows = saved[3];
        DeviceTest::TearDown();
    }
    void MakeMap(std::uint16_t w, std::uint16_t h, std::uint16_t base = 1)
    {
        map = std::make_unique<maptest::TestMap>(w, h);
        ASSERT_TRUE(map->ok);
        for (std::uint32_t i = 0; i < g_MapCellCount; ++i) {
            g_pCellInfo[i] = TMapCell{};
            g_pCellInfo[i].base = base;
            g_pCellInfo[i].shade = 200;
        }
    }
    void View(std::uint16_t x, std::uint16_t y, std::uint16_t cols, std::uint16_t rows)
    {
        g_ViewX = x, g_ViewY = y, g_ViewCols = cols, g_ViewRows = rows;
    }
    std::uint32_t Index(int x, int y) const { return static_cast<std::uint32_t>(y) * g_MapWidth + x; }

    std::unique_ptr<maptest::TestMap> map;
    std::uint16_t saved[4]{};
};

TEST_F(LandscapeTest, TileCornersTakeNeighbourHeightsShadesAndDepths)
{
    MakeMap(10, 30);
    View(1, 2, 4, 4);
    g_ViewDepthBase = 48;
    // Cell (0, 2) is the first walked: even row, so its left corner lies 48 further left.
    g_pHeightMap[Index(0, 2)] = 10;
    g_pCellInfo[Index(0, 2)].shade = 100;
    g_pHeightMap[Index(0, 1)] = 20; // top: i - W (even row)
    g_pCellInfo[Index(0, 1)].shade = 110;
    g_pHeightMap[Index(0, 3)] = 30; // bottom: i + W
    g_pCellInfo[Index(0, 3)].shade = 120;
    g_pHeightMap[Index(1, 2)] = 40; // right: i + 1
    g_pCellInfo[Index(1, 2)].shade = 130;
    PrepareLandscape(0);
    ASSERT_GT(g_Landscape.tileCount, 0);
    const TScreenQuad& q = g_Landscape.tileQuads[0];
    const float x0 = -144.0f, y0 = -24.0f;
    const struct {
        float x, y, depthValue;
        std::uint32_t colour;
    } expected[4] = {
        {x0, y0 + 24 - 10, 10 + y0 + 24, 0xFF646464u},
        {x0 + 48, y0 - 20, 20 + y0, 0xFF6E6E6Eu},
        {x0 + 48, y0 + 48 - 30, 30 + y0 + 48, 0xFF787878u},
        {x0 + 96, y0 + 24 - 40, 40 + y0 + 24, 0xFF828282u},
    };
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(q[k].x, expected[k].x) << k;
        EXPECT_FLOAT_EQ(q[k].y, expected[k].y) << k;
        EXPECT_FLOAT_EQ(q[k].z, ClampedDepth(expected[k].depthValue + 48 + 1024)) << k;
        EXPECT_EQ(q[k].diffuse, expected[k].colour) << k;
    }
    EXPECT_EQ(g_Landscape.tiles[0].base, 1);
}

TEST_F(LandscapeTest, PlacementGreenWinsOverBlockedRed)
{
    MakeMap(10, 30);
    View(1, 2, 4, 4);
    std::vector<std::uint16_t> pass(g_MapCellCount, 1);
    std::uint16_t* savedPass = g_pLandPassMap;
    g_pLandPassMap = pass.data();
    g_bShowLandPass = 1;
    TStrateg me;
    me.Nation = 0;
    TStrateg* savedMe = MyStrateg;
    MyStrateg = &me;
    TPlacementServices savedPlacement = PlacementServices();
    PlacementServices().CanBuildHouseAt = [](int, TCellXY c, int, int) { return c.x == 0 && c.y == 2; };
    g_PlacingHouseType = 3;
    PrepareLandscape(0);
    g_PlacingHouseType = -1;
    PlacementServices() = savedPlacement;
    MyStrateg = savedMe;
    g_pLandPassMap = savedPass;
    g_bShowLandPass = 0;
    ASSERT_GT(g_Landscape.tileCount, 1);
    EXPECT_EQ(g_Landscape.tileQuads[0][0].diffuse, 0xFF33CC33u); // cell (0, 2): buildable
    EXPECT_EQ(g_Landscape.tileQuads[1][0].diffuse, 0xFFFF0000u); // cell (1, 2): blocked
}

TEST_F(LandscapeTest, TheLastRowIsNeverDrawn)
{
    MakeMap(6, 12);
    View(0, 0, 5, 4); // walks columns -1..5 and rows 0..24: the whole map
    PrepareLandscape(0);
    EXPECT_EQ(g_Landscape.tileCount, 6 * 11);
}

TEST_F(LandscapeTest, TilesAboveOrBelowTheScreenAreDropped)
{
    MakeMap(6, 60);
    View(0, 0, 5, 34); // rows 0..54; rows from 33 on lie below 768 pixels
    PrepareLandscape(0);
    // Row y's tile spans y0 = 24y - 24 .. y0 + 48; it is kept while its top corner is above 768.
    int expected = 0;
    for (int y = 0; y <= 54; ++y)
        if (24 * y - 24 < 768)
            expected += 6;
    EXPECT_EQ(g_Landscape.tileCount, expected);
}

TEST_F(LandscapeTest, ListsDropTheEntryPastTheirCapacity)
{
    MakeMap(100, 40);
    View(0, 0, 90, 10);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        g_pObjectMap[i] = i % 2 ? 9000 : 9500;
    PrepareLandscape(0);
    // 91 columns x 31 rows of cells are walked, more than 1000 tiles and trees and 300 stones.
    EXPECT_EQ(g_Landscape.tileCount, LANDSCAPE_MAX_TILES);
    EXPECT_EQ(g_Landscape.trees.count, LANDSCAPE_MAX_TREES);
    EXPECT_EQ(g_Landscape.stones.count, LANDSCAPE_MAX_STONES);
}

TEST_F(LandscapeTest, ObjectIndexesKeepSixteenBits)
{
    MakeMap(10, 30);
    View(1, 2, 4, 4);
    g_pObjectMap[Index(2, 4)] = 9000 + 300;
    g_pObjectMap[Index(3, 4)] = 9600 + 3; // the flat iron point
    PrepareLandscape(0);
    ASSERT_EQ(g_Landscape.trees.count, 1);
    EXPECT_EQ(g_Landscape.trees.index[0], 300);
    ASSERT_EQ(g_Landscape.misc.count, 1);
    EXPECT_EQ(g_Landscape.misc.index[0], 3);
}

TEST_F(LandscapeTest, IncrementalWalkCollectsObjectsOnlyInTheRegionButEveryAnimatedNode)
{
    MakeMap(20, 80);
    View(2, 4, 11, 34);
    g_pObjectMap[Index(5, 10)] = 9000;  // kept part of the screen
    g_pObjectMap[Index(6, 50)] = 9001;  // inside the bottom region of a step down (rows 33..58)
    g_pObjectMap[Index(7, 10)] = 9601;  // animated, kept part
    g_pObjectMap[Index(8, 12)] = 9694;  // animated crop field with a raised block
    PrepareLandscape(4);
    ASSERT_EQ(g_Landscape.trees.count, 1);
    EXPECT_EQ(g_Landscape.blockCount, 1);
    int nodes = 0;
    for (TMapAnimNode* n = g_MapAnimList; n; n = n->next) {
        ++nodes;
        EXPECT_EQ(n->layer, 0);
        EXPECT_EQ(n->key, MAP_ANIM_NO_KEY);
        // The top of an animated object takes its bottom depth.
        EXPECT_EQ(n->quad[0].z, n->quad[3].z);
    }
    EXPECT_EQ(nodes, 2);
}

TEST_F(LandscapeTest, VisibleHousesSortByCellAndFlagTheWidenedRegion)
{
    MakeMap(40, 120);
    View(10, 40, 11, 34); // walk x 9..21, y 40..94
    THouseType type;
    THouse* houses = g_pHouse[kNeutralHouseSlot];
    ASSERT_NE(houses, nullptr);
    g_NeutralHouseCount = 6;
    const struct {
        int x, y;
        float hp;
    } placed[6] = {
        {20, 60, 100.0f},     // in
        {15, 50, 100.0f},     // in, earlier key
        {26, 45, 100.0f},     // x = 21 + 5: in the list, outside the widened rectangle
        {25, 45, 100.0f},     // x = 21 + 4: inside it
        {12, 42, -150001.0f}, // off the map
        {40, 42, 100.0f},     // beyond the view
    };
    for (int i = 0; i < 6; ++i) {
        houses[i].TypeRecord = &type;
        houses[i].X = placed[i].x;
        houses[i].Y = placed[i].y;
        houses[i].HitPoints = placed[i].hp;
    }
    PrepareLandscape(0);
    ASSERT_EQ(g_VisibleHouses.size(), 4u);
    EXPECT_EQ(g_VisibleHouses[0].house, &houses[3]); // 25 + 4500
    EXPECT_EQ(g_VisibleHouses[1].house, &houses[2]); // 26 + 4500
    EXPECT_EQ(g_VisibleHouses[2].house, &houses[1]); // 15 + 5000
    EXPECT_EQ(g_VisibleHouses[3].house, &houses[0]); // 20 + 6000
    EXPECT_EQ(g_VisibleHouses[0].redraw, 1);
    EXPECT_EQ(g_VisibleHouses[1].redraw, 0);
    EXPECT_EQ(g_VisibleHouses[2].redraw, 1);
    // A step right redraws only the right edge (x 19..21 widened to 14..26, rows 40..94 to -10..99).
    PrepareLandscape(2);
    ASSERT_EQ(g_VisibleHouses.size(), 4u);
    EXPECT_EQ(g_VisibleHouses[0].redraw, 1); // x 25
    EXPECT_EQ(g_VisibleHouses[2].redraw, 1); // x 15
    g_VisibleHouses.clear();
    for (int i = 0; i < 6; ++i)
        houses[i].TypeRecord = nullptr;
}

TEST(MapAnimList, NodesOfOneLayerKeepTheirOrderAndObjectsGoFirst)
{
    TAnimationSlot& slot = g_Animations[0];
    slot.m_bLoaded = 1; // nothing to load
    TMapAnimSource source{&slot, 0.0f};
    auto node = [&](float x, float y, std::uint8_t layer, std::int16_t key) {
        auto* n = new TMapAnimNode;
        n->source = &source;
        n->x = x, n->y = y, n->layer = layer, n->key = key;
        return n;
    };
    TMapAnimNode* head = nullptr;
    TMapAnimNode* a;
    TMapAnimNode* b;
    TMapAnimNode* c;
    TMapAnimNode* d;
    a = node(50, 100, 1, 20);
    b = node(10, 10, 1, 10);
    c = node(60, 90, 0, 5);
    d = node(70, 20, 0, 5);
    for (TMapAnimNode* n : {a, b, c, d})
        InsertMapAnimNode(head, n);
    std::vector<TMapAnimNode*> order;
    for (TMapAnimNode* n = head; n; n = n->next) {
        if (n->next)
            EXPECT_EQ(n->next->prev, n);
        order.push_back(n);
    }
    // c precedes a (y 90 < 100, key 5 <= 20); d precedes b (y 20 > 10 fails, so d goes before a).
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0], c);
    EXPECT_EQ(order[1], d);
    EXPECT_EQ(order[2], a);
    EXPECT_EQ(order[3], b);
    FreeMapAnimList(head);
    EXPECT_EQ(head, nullptr);
    slot.m_bLoaded = 0;
}

TEST(MapAnimList, FrameAdvancesBySpeedAndWrapsIntoTheHouseSlot)
{
    TAnimationSlot slot;
    slot.m_FrameStep = 1.5f;
    slot.m_FrameCount = 3;
    THouseAnimation houseSlot;
    TMapAnimNode n;
    n.ownSource = {&slot, 1.0f};
    n.source = &n.ownSource;
    n.houseSlot = &houseSlot;
    AdvanceMapAnimFrame(n);
    EXPECT_FLOAT_EQ(n.source->currentFrame, 2.5f);
    AdvanceMapAnimFrame(n);
    EXPECT_FLOAT_EQ(n.source->currentFrame, 0.0f);
    EXPECT_EQ(houseSlot.frameState, 0u);
}

TEST(ExplosionSprite, OnlyCompleteFramesMakeAQuad)
{
    plat::Texture* texture = reinterpret_cast<plat::Texture*>(0x10);
    TExplosionSet set;
    set.frameCount = 2;
    set.hotX = 10;
    set.hotY = 20;
    set.frames = {{texture, {4, 6, 32, 40, 64, 64}}, {texture, {0, 0, 0, 40, 64, 64}}};
    const std::int16_t savedBase = g_ViewDepthBase;
    g_ViewDepthBase = 0;
    TExplosionSprite e{300, 200, 16, &set, 0};
    TScreenQuad q;
    plat::Texture* t = nullptr;
    ASSERT_TRUE(MakeExplosionQuad(e, q, t));
    EXPECT_EQ(t, texture);
    EXPECT_FLOAT_EQ(q[0].x, 300 - 10 + 4);
    EXPECT_FLOAT_EQ(q[0].y, (200 - 16) - 20 + 6);
    EXPECT_FLOAT_EQ(q[3].x, 300 - 10 + 4 + 32);
    EXPECT_FLOAT_EQ(q[3].y, (200 - 16) - 20 + 6 + 40);
    const float bottom = q[3].y;
    const float value = 2 * 16 + 1024 + 2 * (200 - 16) - bottom;
    EXPECT_FLOAT_EQ(q[3].z, ClampedDepth(value));
    EXPECT_FLOAT_EQ(q[0].z, ClampedDepth(value + 20));
    e.frame = 1; // width 0
    EXPECT_FALSE(MakeExplosionQuad(e, q, t));
    e.frame = 2; // beyond the count
    EXPECT_FALSE(MakeExplosionQuad(e, q, t));
    e.frame = 0;
    set.frames[0].rect[5] = 65535;
    EXPECT_FALSE(MakeExplosionQuad(e, q, t));
    g_ViewDepthBase = savedBase;
}

TEST(HousePhaseReady, OnlyAHeldPhaseThatIsNotLoadedHoldsTheHouseBack)
{
    THouseType type;
    CHousePhaseGraphic finished, stage, other;
    type.m_pFinishedPhase = &finished;
    type.m_pConstructionPhases[2] = &stage;
    THouse house;
    EXPECT_TRUE(IsHousePhaseReady(house, type)); // holds none
    house.DrawBuffers[HOUSE_DRAW_GRAPHIC] = &stage;
    stage.m_State = PHASE_LOADING;
    EXPECT_FALSE(IsHousePhaseReady(house, type));
    stage.m_State = PHASE_LOADED;
    EXPECT_TRUE(IsHousePhaseReady(house, type));
    house.DrawBuffers[HOUSE_DRAW_GRAPHIC] = &other; // not one of the type's
    EXPECT_TRUE(IsHousePhaseReady(house, type));
    house.DrawBuffers[HOUSE_DRAW_GRAPHIC] = nullptr;
    type.m_pFinishedPhase = nullptr;
    type.m_pConstructionPhases[2] = nullptr;
}

TEST_F(LandscapeTest, OverlayFansUseTheSubTileHexagon)
{
    MakeMap(10, 30, static_cast<std::uint16_t>(1 | LAND_OVERLAYS_BIT));
    View(1, 2, 4, 4);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        g_pCellInfo[i].overlay[4] = 2;
    LoadMaska("missing.bmp"); // sets the lattice
    PrepareLandscape(0);
    ASSERT_GT(g_Landscape.fanCount, 0);
    EXPECT_EQ(g_Landscape.fanCount, g_Landscape.tileCount);
    const TOverlayFan& fan = g_Landscape.fans[0];
    // Slot 4 is anchored at lattice point 11 (48, 32) of the tile at (-144, -24), flat ground.
    EXPECT_FLOAT_EQ(fan[0].x, -144.0f + 48.0f);
    EXPECT_FLOAT_EQ(fan[0].y, -24.0f + 32.0f);
    EXPECT_FLOAT_EQ(fan[1].x, fan[7].x);
    EXPECT_FLOAT_EQ(fan[1].y, fan[7].y);
    for (const TScreenVertex& v : fan)
        EXPECT_EQ(v.rhw, 1.0f);
}

} // namespace
