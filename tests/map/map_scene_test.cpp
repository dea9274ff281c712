#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/memory_stream.h"
#include "core/settings.h"
#include "devices/device_fixture.h"
#include "land_textures.h"
#include "map/landscape.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "map/static_layer.h"
#include "map/water.h"
#include "maps.h"
#include "objects.h"
#include "parameters.h"
#include "platform/paths.h"
#include "sample_data.h"
#include "units/anim_slots.h"
#include "units/house.h"
#include "water.h"

namespace {

TSceneKey K(int x, int y)
{
    return {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
}

TEST(MapSceneMerge, ChoosesByScreenPositionWithItsTieRules)
{
    const TSceneKey none;
    const struct {
        const char* what;
        TMergeHeads heads;
        int expected;
    } cases[] = {
        {"nothing left ends the pass", {none, 0, none, 1, 0x7FFF, none, none}, -1},
        {"a layer-0 node goes first whatever the keys", {K(0, 0), 0, K(500, 500), 0, 0x7FFF, none, none}, 1},
        {"the unit wins a tie of y with a smaller x", {K(10, 50), 0, K(20, 50), 1, 0, none, none}, 0},
        {"the unit wins a tie of y and x", {K(20, 50), 0, K(20, 50), 1, 0, none, none}, 0},
        {"the node wins a tie of y with a smaller x", {K(30, 50), 0, K(20, 50), 1, 0, none, none}, 1},
        {"a node higher up than the unit's lift comes first", {K(0, 10), 30, K(0, 90), 1, 5, none, none}, 1},
        {"a unit lower than the node's depth key comes first", {K(0, 90), 5, K(0, 10), 1, 30, none, none}, 0},
        {"keys within 10 leave the screen order", {K(0, 10), 12, K(0, 90), 1, 5, none, none}, 0},
        {"an explosion needs a strictly smaller x on a tie", {K(20, 50), 0, none, 1, 0x7FFF, K(20, 50), none}, 0},
        {"an explosion with a smaller x wins the tie", {K(20, 50), 0, none, 1, 0x7FFF, K(19, 50), none}, 2},
        {"an explosion higher up wins", {K(20, 50), 0, K(0, 60), 1, 0, K(900, 49), none}, 2},
        {"the flag wins over an explosion by the same rule", {none, 0, none, 1, 0x7FFF, K(5, 9), K(4, 9)}, 3},
        {"an exhausted source never wins", {none, 0, none, 1, 0x7FFF, K(5, 9), none}, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseMergeSource(c.heads), c.expected) << c.what;
}

TEST(MapSceneMerge, DragArrowNeedsMoreThanAHundredPixels)
{
    EXPECT_FALSE(IsOrderDragLongEnough(0, 0, 100, 0));
    EXPECT_TRUE(IsOrderDragLongEnough(0, 0, 101, 0));
    EXPECT_FALSE(IsOrderDragLongEnough(10, 10, 70, 90)); // exactly 100
    EXPECT_TRUE(IsOrderDragLongEnough(10, 10, 70, 90.5f));
}

TEST(MapSceneFilter, GridStaysFixedToTheWorldAndCoversEveryMode)
{
    const std::int16_t saved = g_ViewDepthBase;
    g_ViewDepthBase = 96;
    TScreenQuad q;
    MakeFilterQuad(0, 0, 300, 700, q);
    EXPECT_FLOAT_EQ(q[0].x, -44.0f);
    EXPECT_FLOAT_EQ(q[0].y, -188.0f);
    EXPECT_FLOAT_EQ(q[0].z, ClampedDepth(96 + 1024 - 188 + 110));
    EXPECT_FLOAT_EQ(q[3].z, ClampedDepth(96 + 1024 - 188 + 256 + 110));
    MakeFilterQuad(FILTER_COLUMNS - 1, FILTER_ROWS - 1, 255, 255, q);
    EXPECT_GE(q[3].x, 1280.0f);
    EXPECT_GE(q[3].y, 1024.0f);
    g_ViewDepthBase = saved;
}

// The scene's passes seen through recording stand-ins, each noting the render states it met.
class MapScenePassTest : public DeviceTest {
protected:
    struct Call {
        std::string name;
        std::uint32_t zEnable, zWrite, zFunc, alphaOp, alphaArg2, factor;
        std::uint32_t colorOp, colorArg1, colorArg2, alphaArg1, alphaTest;
    };
    void SetUp() override
    {
        DeviceTest::SetUp();
        saved = MapDrawServices();
        savedCaps = g_bTextureOpsSupported;
        savedFog = g_bFogOfWar;
        savedReflections = g_bWaterReflections;
        g_bFogOfWar = 0;
        g_bWaterReflections = 1;
        g_bEditorMode = 0;
        TMapDrawServices& s = MapDrawServices();
        auto rec = [this](const char* name) {
            return [this, name] { Note(name); };
        };
        s.ParticlesUpdateAll = rec("particles");
        s.ClearShipList = rec("clear ships");
        s.StepShipList = rec("step ships");
        s.DrawCraters = rec("craters");
        s.DrawCratersSecondPass = rec("craters 2");
        s.DrawShots = rec("shots");
        s.StepHouses = rec("houses");
        s.DrawEditorBrush = rec("brush");
        s.SetReflectionMeshColour = [this](std::uint32_t c) { Note(c == 0xFFE5E5E5u ? "mesh reflect" : "mesh normal"); };
        s.DrawHouseRotated = [this](THouse*, float dx, float dy, TScreenQuad&) {
            Note("reflect " + std::to_string(int(dx)) + "," + std::to_string(int(dy)));
        };
        s.Explosions = [this](std::vector<const TExplosionSprite*>&) { Note("explosions"); };
        s.RallyFlagHouse = []() -> THouse* { return nullptr; };
        houses[0].HouseType = 22;
        houses[1].HouseType = 4;
        houses[2].HouseType = 0;
        g_VisibleHouses = {{&houses[0], 1}, {&houses[1], 1}, {&houses[2], 0}};
    }
    void TearDown() override
    {
        g_VisibleHouses.clear();
        MapDrawServices() = saved;
        g_bTextureOpsSupported = savedCaps;
        g_bFogOfWar = savedFog;
        g_bWaterReflections = savedReflections;
        g_bEditorMode = 0;
        DeviceTest::TearDown();
    }
    void Note(const std::string& name)
    {
        const TD3DDevice& d = *g_pD3DDevice;
        calls.push_back({name, d.GetRenderState(D3DState::ZEnable), d.GetRenderState(D3DState::ZWriteEnable),
                         d.GetRenderState(D3DState::ZFunc), d.GetTextureStageState(D3DStageState::AlphaOp),
                         d.GetTextureStageState(D3DStageState::AlphaArg2), d.GetRenderState(D3DState::TextureFactor),
                         d.GetTextureStageState(D3DStageState::ColorOp), d.GetTextureStageState(D3DStageState::ColorArg1),
                         d.GetTextureStageState(D3DStageState::ColorArg2), d.GetTextureStageState(D3DStageState::AlphaArg1),
                         d.GetRenderState(D3DState::AlphaTestEnable)});
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> out;
        for (const Call& c : calls)
            out.push_back(c.name);
        return out;
    }
    const Call& Find(const std::string& name) const
    {
        for (const Call& c : calls)
            if (c.name == name)
                return c;
        static const Call none{};
        ADD_FAILURE() << "no call " << name;
        return none;
    }
    std::vector<Call> calls;
    THouse houses[3];
    TMapDrawServices saved;
    std::uint8_t savedCaps = 0, savedFog = 0, savedReflections = 0;
};

TEST_F(MapScenePassTest, PassesRunInOrderWithTheirStates)
{
    g_bTextureOpsSupported = static_cast<std::uint8_t>(g_bTextureOpsSupported | kTexOpCapModulate);
    DrawMapScene();
    const std::vector<std::string> expected = {"particles",   "clear ships",    "mesh reflect", "reflect 0,156",
                                               "reflect -17,55", "mesh normal", "craters",      "step ships",
                                               "explosions",  "houses",         "shots"};
    EXPECT_EQ(Names(), expected);
    const Call& particles = Find("particles");
    EXPECT_EQ(particles.zEnable, 1u);
    EXPECT_EQ(particles.zWrite, 0u);
    EXPECT_EQ(particles.zFunc, 3u); // equal
    const Call& reflect = Find("reflect 0,156");
    EXPECT_EQ(reflect.alphaOp, 4u); // modulate
    EXPECT_EQ(reflect.alphaArg2, 3u); // texture factor
    EXPECT_EQ(reflect.factor, 0x5A000000u);
    const Call& craters = Find("craters");
    EXPECT_EQ(craters.zFunc, 4u); // less or equal
    EXPECT_EQ(craters.alphaOp, 2u); // select the first argument again
    EXPECT_EQ(g_pD3DDevice->GetRenderState(D3DState::AlphaBlendEnable), 0u);
    EXPECT_FALSE(g_pD3DDevice->InScene());
}

TEST_F(MapScenePassTest, EachFrameLightsItsPassesWhateverTheLastFrameLeft)
{
    // What the fog's pass leaves at the end of a frame (the texture's own colour, no alpha test),
    // and what other drawing may leave; the next frame's units and craters are lit by the map light.
    struct Leftover {
        const char* name;
        plat::TextureOp colorOp;
        plat::TextureArg colorArg1;
        std::uint32_t alphaTest;
    };
    const Leftover leftovers[] = {
        {"fog", plat::TextureOp::SelectArg1, plat::TextureArg::Texture, 0},
        {"filter", plat::TextureOp::AddSmooth, plat::TextureArg::Texture, 0},
        {"diffuse only, alpha tested", plat::TextureOp::SelectArg1, plat::TextureArg::Diffuse, 1},
    };
    g_VisibleHouses.clear();
    for (const Leftover& l : leftovers) {
        SCOPED_TRACE(l.name);
        TD3DDevice& d = *g_pD3DDevice;
        d.SetTextureStageState(0, D3DStageState::ColorOp, static_cast<std::uint32_t>(l.colorOp));
        d.SetTextureStageState(0, D3DStageState::ColorArg1, static_cast<std::uint32_t>(l.colorArg1));
        d.SetTextureStageState(0, D3DStageState::AlphaArg1, static_cast<std::uint32_t>(plat::TextureArg::Diffuse));
        d.SetRenderState(D3DState::AlphaTestEnable, l.alphaTest);
        calls.clear();
        DrawMapScene();
        for (const char* pass : {"craters", "explosions", "shots"}) {
            const Call& c = Find(pass);
            EXPECT_EQ(c.colorOp, static_cast<std::uint32_t>(plat::TextureOp::Modulate)) << pass;
            EXPECT_EQ(c.colorArg1, static_cast<std::uint32_t>(plat::TextureArg::Texture)) << pass;
            EXPECT_EQ(c.colorArg2, static_cast<std::uint32_t>(plat::TextureArg::Current)) << pass;
            EXPECT_EQ(c.alphaOp, static_cast<std::uint32_t>(plat::TextureOp::SelectArg1)) << pass;
            EXPECT_EQ(c.alphaArg1, static_cast<std::uint32_t>(plat::TextureArg::Texture)) << pass;
            EXPECT_EQ(c.alphaTest, 0u) << pass;
        }
    }
}

TEST_F(MapScenePassTest, ReflectionsNeedTheTextureFactorCapability)
{
    g_bTextureOpsSupported = static_cast<std::uint8_t>(g_bTextureOpsSupported & ~kTexOpCapModulate);
    DrawMapScene();
    for (const std::string& n : Names())
        EXPECT_EQ(n.find("reflect"), std::string::npos) << n;
}

TEST_F(MapScenePassTest, TheEditorDrawsTheSecondCraterPassAndItsBrush)
{
    g_bEditorMode = 1;
    g_VisibleHouses.clear();
    DrawMapScene();
    const std::vector<std::string> expected = {"particles", "clear ships", "craters 2", "explosions", "brush"};
    EXPECT_EQ(Names(), expected);
}

TEST_F(MapScenePassTest, AFreshStaticLayerIsNotCopiedOnce)
{
    g_VisibleHouses.clear();
    FillSurface(g_pDDSBuffer, 0x1234);
    FillSurface(g_pDDSBack, 0x0042);
    g_bStaticLayerFresh = 1;
    DrawMapScene();
    EXPECT_EQ(g_bStaticLayerFresh, 0);
    EXPECT_EQ(reinterpret_cast<const std::uint16_t*>(g_pDDSBack->Pixels().Row(10))[10], 0x0042);
    DrawMapScene();
    EXPECT_EQ(reinterpret_cast<const std::uint16_t*>(g_pDDSBack->Pixels().Row(10))[10], 0x1234);
}

// ---- the 8-player sample map rendered headless at 1024 x 768 ----------------------------------

class SampleMapRenderTest : public DeviceTest {
protected:
    static void SetUpTestSuite()
    {
        s_Folder = new testsupport::TempDir;
        const std::string out = s_Folder->Path();
        const sampledata::SampleMap map = sampledata::MakeCoastMap();
        const auto file = sampledata::BuildMapFile(map.data, map.tail, true);
        ASSERT_TRUE(sampledata::WriteFolderTree(out) && sampledata::WriteLandTextures(out)
                    && sampledata::WriteMapResources(out) && sampledata::WriteObjects(out)
                    && sampledata::WriteWaterFiles(out) && sampledata::WriteAnimationSlots(out)
                    && sampledata::WriteFileBytes(out, "Maps/Coast.dat", file.data(), file.size()));
    }
    static void TearDownTestSuite()
    {
        delete s_Folder;
        s_Folder = nullptr;
    }
    void SetUp() override
    {
        DeviceTest::SetUp();
        plat::SetGameRoot(s_Folder->Path());
        savedServices = MapServices();
        savedFog = g_bFogOfWar;
        g_bFogOfWar = 0;
        g_bEditorMode = 0;
        savedFilter = g_bLandFilter;
        g_pWater = new TWaterMap();
        MapServices().LoadWater = [](TIfStreamMemory& in) { return g_pWater->LoadWater(in); };
        ASSERT_TRUE(LoadObjects());
        ASSERT_TRUE(LoadAnimationList());
        ASSERT_TRUE(LoadMap("Coast.dat", true, nullptr));
        g_pWater->SetWaterScreenParams();
        SetViewSizeByScreen();
        ChooseView();
    }
    void TearDown() override
    {
        FreeMapResources();
        FreeAnimations();
        FreeObjects();
        delete g_pWater;
        g_pWater = nullptr;
        MapServices() = savedServices;
        g_bFogOfWar = savedFog;
        g_bLandFilter = savedFilter;
        plat::SetGameRoot(".");
        DeviceTest::TearDown();
    }
    void SetView(int x, int y)
    {
        g_ViewX = static_cast<std::uint16_t>(x);
        g_ViewY = static_cast<std::uint16_t>(y);
        g_ViewPixelX = x * 96;
        g_ViewPixelY = y * 24;
    }
    // The water cell under a screen pixel (0: land).
    std::uint16_t WaterAt(int sx, int sy) const
    {
        const int column = 2 * g_ViewX + (sx + WATER_CELL_WIDTH) / WATER_CELL_WIDTH - 1;
        return g_pWater->Cell(column, g_ViewY + (sy + WATER_CELL_HEIGHT) / WATER_CELL_HEIGHT - 1);
    }
    // A view that shows both land and water.
    void ChooseView()
    {
        int best = -1, bestX = 1, bestY = 2;
        for (int y = 2; y + g_ViewRows + 24 < g_MapHeight; y += 20)
            for (int x = 1; x + g_ViewCols + 2 < g_MapWidth; x += 6) {
                SetView(x, y);
                int water = 0;
                for (int sy = 0; sy < 768; sy += 48)
                    for (int sx = 0; sx < 1024; sx += 64)
                        water += WaterAt(sx, sy) != 0;
                const int score = std::min(water, 256 - water);
                if (score > best)
                    best = score, bestX = x, bestY = y;
            }
        SetView(bestX, bestY);
        ASSERT_GT(best, 20) << "no view with land and water";
    }
    struct Layer {
        std::vector<std::uint16_t> back, z;
    };
    static std::vector<std::uint16_t> Read(plat::Surface* s)
    {
        std::vector<std::uint16_t> out;
        for (int y = 0; y < s->Height(); ++y) {
            const auto* row = reinterpret_cast<const std::uint16_t*>(s->Pixels().Row(y));
            out.insert(out.end(), row, row + s->Width());
        }
        return out;
    }
    static Layer Capture() { return {Read(g_pDDSBack), Read(g_pZBuffer)}; }

    static testsupport::TempDir* s_Folder;
    TMapServices savedServices;
    std::uint8_t savedFog = 0;
    std::uint8_t savedFilter = 0;
};
testsupport::TempDir* SampleMapRenderTest::s_Folder = nullptr;

TEST_F(SampleMapRenderTest, TheSceneShowsShadedTerrain)
{
    RenderMapView(0);
    DrawMapScene();
    const std::vector<std::uint16_t> back = Read(g_pDDSBack);
    std::set<std::uint16_t> colours(back.begin(), back.end());
    std::size_t black = 0;
    for (std::uint16_t p : back)
        black += p == 0;
    EXPECT_LT(black, back.size() / 50); // the landscape covers the screen
    EXPECT_GT(colours.size(), 200u);    // shaded, textured ground, not flat colours
    EXPECT_GT(g_Landscape.tileCount, 400);
}

TEST_F(SampleMapRenderTest, AStepRightOrDownGivesTheLayerOfAFullRebuild)
{
    const int x0 = g_ViewX, y0 = g_ViewY;
    RenderMapView(0);
    SetView(x0 + 1, y0);
    RenderMapView(2);
    const Layer shifted = Capture();
    RenderMapView(0);
    const Layer full = Capture();
    EXPECT_TRUE(shifted.back == full.back);
    EXPECT_TRUE(shifted.z == full.z);

    // A vertical step keeps depths made with another depth base, so a full rebuild (which resets
    // it) is compared after a step away and back: the layer must come back exactly.
    const struct {
        int dx, dy;
        std::uint8_t away, back;
    } trips[] = {{0, 2, 3, 4}, {1, 2, 5, 8}, {-1, 2, 7, 6}};
    for (const auto& t : trips) {
        SetView(x0 + 1, y0 + 2);
        RenderMapView(0);
        const Layer start = Capture();
        SetView(x0 + 1 - t.dx, y0 + 2 - t.dy);
        g_ViewDepthBase = static_cast<std::int16_t>(g_ViewDepthBase - 48);
        RenderMapView(t.away);
        SetView(x0 + 1, y0 + 2);
        g_ViewDepthBase = static_cast<std::int16_t>(g_ViewDepthBase + 48);
        RenderMapView(t.back);
        const Layer end = Capture();
        EXPECT_EQ(g_ViewDepthBase, 0);
        EXPECT_TRUE(end.back == start.back) << int(t.away);
        EXPECT_TRUE(end.z == start.z) << int(t.away);
    }
}

TEST_F(SampleMapRenderTest, WaterShowsOnlyWhereTheMapHasWater)
{
    // Animated objects start at a frame of their own each rebuild: they are left out here.
    RenderMapView(0);
    FreeMapAnimList(g_MapAnimList);
    DrawMapScene();
    const std::vector<std::uint16_t> wet = Read(g_pDDSBack);
    TWaterMap* water = g_pWater;
    g_pWater = nullptr;
    RenderMapView(0);
    FreeMapAnimList(g_MapAnimList);
    DrawMapScene();
    g_pWater = water;
    const std::vector<std::uint16_t> dry = Read(g_pDDSBack);
    std::size_t differing = 0, dryDiff = 0;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            if (wet[y * 1024 + x] == dry[y * 1024 + x])
                continue;
            ++differing;
            bool nearWater = false;
            for (int dy = -1; dy <= 1 && !nearWater; ++dy)
                for (int dx = -1; dx <= 1 && !nearWater; ++dx)
                    nearWater = WaterAt(x + dx * WATER_CELL_WIDTH, y + dy * WATER_CELL_HEIGHT) != 0;
            dryDiff += !nearWater;
            if (!nearWater && dryDiff < 4)
                ADD_FAILURE() << x << "," << y << " " << wet[y * 1024 + x] << " " << dry[y * 1024 + x];
        }
    EXPECT_GT(differing, 1000u);
    EXPECT_EQ(dryDiff, 0u) << differing;
}

} // namespace
