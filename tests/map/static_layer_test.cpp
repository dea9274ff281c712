#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "map/trench_pieces.h"
#include "devices/d3d_device.h"
#include "devices/device_fixture.h"
#include "devices/span_image.h"
#include "map/landscape.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/land_textures.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "map/static_layer.h"
#include "map_fixture.h"
#include "span_images.h"
#include "units/anim_slots.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"

namespace {

std::vector<std::uint16_t> Pixels(plat::Surface* s)
{
    std::vector<std::uint16_t> out;
    out.reserve(static_cast<std::size_t>(s->Width()) * s->Height());
    for (int y = 0; y < s->Height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(s->Pixels().Row(y));
        out.insert(out.end(), row, row + s->Width());
    }
    return out;
}

std::uint16_t PixelAt(plat::Surface* s, int x, int y)
{
    return reinterpret_cast<const std::uint16_t*>(s->Pixels().Row(y))[x];
}

TEST(StaticLayerShift, ZShiftAndStripRectangles)
{
    const int W = 1024, H = 768;
    using R = plat::Rect;
    const struct {
        std::uint8_t direction;
        R source;
        int x, y;
        std::vector<R> strips;
    } cases[] = {
        {1, {0, 0, W - 96, H}, 96, 0, {{0, 0, 96, H}}},
        {2, {96, 0, W, H}, 0, 0, {{W - 96, 0, W, H}}},
        {3, {0, 0, W, H - 48}, 0, 48, {{0, 0, W, 48}}},
        {4, {0, 48, W, H}, 0, 0, {{0, H - 48, W, H}}},
        {5, {0, 0, W - 96, H - 48}, 96, 48, {{0, 0, 96, H}, {96, 0, W, 48}}},
        {6, {0, 48, W - 96, H}, 96, 0, {{0, 0, 96, H}, {96, H - 48, W, H}}},
        {7, {96, 0, W, H - 48}, 0, 48, {{W - 96, 0, W, H}, {0, 0, W - 96, 48}}},
        {8, {96, 48, W, H}, 0, 0, {{W - 96, 0, W, H}, {0, H - 48, W - 96, H}}},
    };
    auto same = [](const R& a, const R& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    for (const auto& c : cases) {
        TLayerShift s;
        ASSERT_TRUE(StaticLayerShift(c.direction, W, H, s)) << int(c.direction);
        EXPECT_TRUE(same(s.source, c.source)) << int(c.direction);
        EXPECT_EQ(s.x, c.x) << int(c.direction);
        EXPECT_EQ(s.y, c.y) << int(c.direction);
        ASSERT_EQ(s.stripCount, static_cast<int>(c.strips.size())) << int(c.direction);
        for (int i = 0; i < s.stripCount; ++i)
            EXPECT_TRUE(same(s.strips[i], c.strips[i])) << int(c.direction) << " " << i;
    }
    TLayerShift s;
    EXPECT_FALSE(StaticLayerShift(0, W, H, s));
    EXPECT_FALSE(StaticLayerShift(9, W, H, s));
}

class StaticLayerTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        g_ViewDepthBase = 0;
        g_bStaticLayerFresh = 0;
        g_bRadeon = g_bZBufClear = 0;
    }
    void TearDown() override
    {
        FreeMapAnimList(g_MapAnimList);
        g_VisibleHouses.clear();
        g_bRadeon = g_bZBufClear = 0;
        g_ViewDepthBase = 0;
        DeviceTest::TearDown();
    }
};

TEST_F(StaticLayerTest, TwentyTwoStepsDownEndInAFullRebuild)
{
    for (int step = 1; step <= 22; ++step) {
        g_ViewDepthBase = static_cast<std::int16_t>(g_ViewDepthBase + 48);
        RenderMapView(4);
        EXPECT_EQ(g_ViewDepthBase, step < 22 ? 48 * step : 0) << step;
        EXPECT_EQ(g_bStaticLayerFresh, 1);
    }
    // With radeon set every step is full.
    g_bRadeon = 1;
    g_ViewDepthBase = 48;
    RenderMapView(4);
    EXPECT_EQ(g_ViewDepthBase, 0);
    // Direction 9 does nothing at all.
    g_bRadeon = 0;
    g_ViewDepthBase = 96;
    g_bStaticLayerFresh = 0;
    RenderMapView(9);
    EXPECT_EQ(g_ViewDepthBase, 96);
    EXPECT_EQ(g_bStaticLayerFresh, 0);
}

TEST_F(StaticLayerTest, ZBufferMovesOntoItselfAndTheStripsAreCleared)
{
    for (std::uint8_t clearWithDevice : {0, 1}) {
        g_bZBufClear = clearWithDevice;
        plat::LockedArea z;
        ASSERT_TRUE(g_pZBuffer->Lock(nullptr, z));
        for (int y = 0; y < z.height; ++y)
            for (int x = 0; x < z.width; ++x)
                reinterpret_cast<std::uint16_t*>(z.bits + y * z.pitch)[x] = static_cast<std::uint16_t>(y * 7 + x);
        g_pZBuffer->Unlock();
        RenderMapView(8); // right and down: picture moves 96 left and 48 up
        for (int y : {0, 300, 719})
            for (int x : {0, 500, 927})
                EXPECT_EQ(PixelAt(g_pZBuffer, x, y), static_cast<std::uint16_t>((y + 48) * 7 + x + 96))
                    << int(clearWithDevice) << " " << x << "," << y;
        for (auto [x, y] : {std::pair{1000, 10}, std::pair{10, 740}, std::pair{927, 767}})
            EXPECT_EQ(PixelAt(g_pZBuffer, x, y), 0xFFFF) << int(clearWithDevice) << " " << x << "," << y;
    }
}

// One neutral house with a raw depth array on an empty map, drawn in software.
class RenderHousesTest : public StaticLayerTest {
protected:
    void SetUp() override
    {
        StaticLayerTest::SetUp();
        map = std::make_unique<maptest::TestMap>(30, 90);
        ASSERT_TRUE(map->ok);
        for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
            g_pCellInfo[i] = TMapCell{0xFFFF, 200, 0, {}};
        g_ViewX = 2, g_ViewY = 4;
        g_ViewPixelX = g_ViewX * 96, g_ViewPixelY = g_ViewY * 24;
        SetViewSizeByScreen();
        const sampledata::SpanPicture picture = sampledata::MakeBlockPicture(kW, kH, 200, 40, 40);
        const std::vector<std::uint8_t> bytes = sampledata::EncodeIMg(picture);
        phase.m_pPicture = new cIMg;
        ASSERT_TRUE(phase.m_pPicture->LoadFromMemory(bytes.data(), static_cast<std::int32_t>(bytes.size()), 2));
        phase.m_pDepth = new std::uint16_t[kW * kH];
        for (int i = 0; i < kW * kH; ++i)
            phase.m_pDepth[i] = static_cast<std::uint16_t>(i % 5);
        phase.m_pDepth[0] = 0x7FFF;
        phase.m_State = PHASE_LOADED;
        type.m_SpriteWidth = kW;
        type.m_SpriteHeight = kH;
        type.m_AnchorX = 48;
        type.m_AnchorY = 48;
        type.m_pFinishedPhase = &phase;
        house = &g_pHouse[kNeutralHouseSlot][0];
        house->TypeRecord = &type;
        house->HouseType = 5;
        house->Owner = HOUSE_NO_OWNER;
        house->HitPoints = 100.0f;
        house->PhaseState = HOUSE_STATE_FINISHED;
        g_NeutralHouseCount = 1;
    }
    void TearDown() override
    {
        house->TypeRecord = nullptr;
        house->FinishedHeld = 0;
        type.m_pFinishedPhase = nullptr;
        g_VisibleHouses.clear();
        map.reset();
        StaticLayerTest::TearDown();
    }
    // The picture's top-left corner on screen for the house at its cell.
    void Place(int x, int y, int& left, int& top)
    {
        house->X = x;
        house->Y = y;
        left = (2 * x - ((y & 1) ? 0 : 1)) * 48 - g_ViewPixelX;
        top = y * 24 - g_ViewPixelY - 24 - 1; // anchor 48 and offset o = height 0 + 1
    }
    static constexpr int kW = 40, kH = 30;
    THouseType type;
    CHousePhaseGraphic phase;
    THouse* house = nullptr;
    std::unique_ptr<maptest::TestMap> map;
};

TEST_F(RenderHousesTest, EachPixelTakesItsOwnDepthOnlyInsideTheStrips)
{
    int left = 0, top = 0;
    Place(6, 4 + 31, left, top); // near the bottom: rows 720.. lie in the strip of a step down
    ASSERT_LT(top, 768 - 48);
    ASSERT_GT(top + kH, 768 - 48);
    DepthFillSurface(g_pZBuffer, nullptr, 0xFFFFFFFFu);
    FillSurface(g_pDDSBack, 0);
    g_VisibleHouses = {{house, 1}};
    RenderHouses(4);
    const int base = g_ViewDepthBase + 2 * 1 + 1024;
    int written = 0;
    for (int r = 0; r < kH; ++r)
        for (int c = 0; c < kW; ++c) {
            const int sx = left + c, sy = top + r;
            const std::uint16_t v = phase.m_pDepth[r * kW + c];
            std::uint16_t expected = 0xFFFF;
            if (sy >= 768 - 48 && v < 0x7FFF)
                expected = static_cast<std::uint16_t>(65535 - static_cast<int>((v + base + sy) * 15.9998));
            ASSERT_EQ(PixelAt(g_pZBuffer, sx, sy), expected) << c << "," << r;
            written += expected != 0xFFFF;
            if (sy < 768 - 48)
                ASSERT_EQ(PixelAt(g_pDDSBack, sx, sy), 0) << c << "," << r;
        }
    EXPECT_GT(written, 0);
}

TEST_F(RenderHousesTest, AnimationDepthReadsStayInsideThePicture)
{
    int left = 0, top = 0;
    Place(6, 20, left, top);
    TAnimationSlot& slot = g_Animations[3];
    slot.m_bLoaded = 1;
    slot.m_FrameWidth = 16;
    slot.m_FrameHeight = 12;
    type.m_AnimationCount = 2;
    house->BuildWork = 0;
    house->AnimationCount = 2;
    house->Animations = new THouseAnimation[2];
    house->Animations[0] = {&slot, 0, 12, 3};    // inside: depth value 3 * 40 + 12 = 132 -> 132 % 5 = 2
    house->Animations[1] = {&slot, 0, 900, 900}; // far outside the picture
    g_VisibleHouses = {{house, 1}};
    RenderHouses(0);
    std::vector<std::int16_t> keys;
    for (TMapAnimNode* n = g_MapAnimList; n; n = n->next) {
        EXPECT_EQ(n->layer, MAP_ANIM_LAYER_HOUSE);
        keys.push_back(n->key);
    }
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], 2 + 2);
    EXPECT_EQ(keys[1], 0 + 2);
    const TMapAnimNode& n = *g_MapAnimList;
    EXPECT_FLOAT_EQ(n.quad[0].x, static_cast<float>(left + 12));
    EXPECT_FLOAT_EQ(n.quad[3].y, static_cast<float>(top + 3 + 12));
    FreeMapAnimList(g_MapAnimList);
    slot.m_bLoaded = 0;
    type.m_AnimationCount = 0;
}

TEST_F(RenderHousesTest, AHouseWhosePhaseIsStillLoadingIsSkipped)
{
    int left = 0, top = 0;
    Place(6, 20, left, top);
    phase.m_State = PHASE_LOADING;
    FillSurface(g_pDDSBack, 0);
    g_VisibleHouses = {{house, 1}};
    RenderHouses(0);
    EXPECT_EQ(PixelAt(g_pDDSBack, left + kW / 2, top + kH - 2), 0);
    phase.m_State = PHASE_LOADED;
    RenderHouses(0);
    EXPECT_NE(PixelAt(g_pDDSBack, left + kW / 2, top + kH - 2), 0);
    // Loading again: the pictures it holds from the loaded phase are not taken while it loads.
    phase.m_State = PHASE_LOADING;
    FillSurface(g_pDDSBack, 0);
    RenderHouses(0);
    EXPECT_EQ(PixelAt(g_pDDSBack, left + kW / 2, top + kH - 2), 0);
    phase.m_State = PHASE_LOADED;
}

TEST_F(StaticLayerTest, QuadsNeverFilledFromTheTemplateDrawNothing)
{
    maptest::TestMap map(20, 60);
    ASSERT_TRUE(map.ok);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        g_pCellInfo[i] = TMapCell{1, 200, 0, {}};
    g_ViewX = 1, g_ViewY = 2;
    SetViewSizeByScreen();
    g_Landscape = TLandscapeLists{};
    FillSurface(g_pDDSBuffer, 0);
    FillSurface(g_pDDSBack, 0);
    RenderMapView(0);
    for (std::uint16_t p : Pixels(g_pDDSBack))
        ASSERT_EQ(p, 0);
    FillLandscapeTemplates();
    RenderMapView(0);
    int lit = 0;
    for (std::uint16_t p : Pixels(g_pDDSBack))
        lit += p != 0;
    EXPECT_GT(lit, 1024 * 700);
    EXPECT_EQ(Pixels(g_pDDSBuffer), Pixels(g_pDDSBack));
}


// An object or shadow whose texture is 255 or past its kind's textures leaves the view untouched:
// drawn without a texture it would be an opaque grey block.
TEST_F(StaticLayerTest, ObjectsAndShadowsWithoutATextureAreLeftOut)
{
    maptest::TestMap map(20, 60);
    ASSERT_TRUE(map.ok);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        g_pCellInfo[i] = TMapCell{LAND_NO_TEXTURE, 200, 0, {}};
    g_pObjectMap[20 * g_MapWidth + 5] = kObjectTreeFirst;
    g_ViewX = 1, g_ViewY = 2;
    SetViewSizeByScreen();
    g_Landscape = TLandscapeLists{};
    FillLandscapeTemplates();
    const struct {
        const char* name;
        std::uint8_t texture, shadow;
    } cases[] = {{"no picture, no shadow", MAP_OBJECT_NO_PICTURE, MAP_OBJECT_NO_PICTURE},
                 {"picture past the textures", 0, MAP_OBJECT_NO_PICTURE},
                 {"shadow past the textures", MAP_OBJECT_NO_PICTURE, 3}};
    for (const auto& c : cases) {
        TMapObjectRecord rec;
        rec.width = rec.height = 64;
        rec.u1 = rec.v1 = 0.25f;
        rec.texture = c.texture;
        rec.shadowTexture = c.shadow;
        rec.shadowWidth = rec.shadowHeight = 40;
        g_ObjRecords[OBJ_TREES].assign(1, rec);
        g_ObjCount[OBJ_TREES] = 1;
        FillSurface(g_pDDSBuffer, 0);
        FillSurface(g_pDDSBack, 0);
        RenderMapView(0);
        int drawn = 0;
        for (std::uint16_t p : Pixels(g_pDDSBack))
            drawn += p != 0;
        EXPECT_EQ(drawn, 0) << c.name;
    }
    // The same object with a texture of its own is drawn.
    plat::Texture* white = CreateTexture(MAP_OBJECT_TEXTURE_SIDE, MAP_OBJECT_TEXTURE_SIDE, g_TexFormat4444);
    ASSERT_NE(white, nullptr);
    white->Fill(0xFFFF);
    g_ObjTextures[OBJ_TREES].assign(1, white);
    g_ObjRecords[OBJ_TREES][0].texture = 0;
    RenderMapView(0);
    int drawn = 0;
    for (std::uint16_t p : Pixels(g_pDDSBack))
        drawn += p != 0;
    EXPECT_GT(drawn, 100);
    white->Release();
    g_ObjTextures[OBJ_TREES].clear();
    g_ObjRecords[OBJ_TREES].clear();
    g_ObjCount[OBJ_TREES] = 0;
}

} // namespace
