#include <gtest/gtest.h>

#include <string>

#include "game/frame_drawing.h"
#include "game/game_main.h"
#include "devices/d3d_device.h"
#include "devices/device_fixture.h"
#include "devices/display.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/static_layer.h"

namespace {

TEST(FrameStall, ARaisedFlagClearsItselfOnTheFifthFrame)
{
    g_bNetStall = 1;
    g_NetStallFrames = 0;
    for (int frame = 1; frame <= 4; ++frame)
        EXPECT_TRUE(StepNetStall(true)) << frame;
    EXPECT_FALSE(StepNetStall(true)); // the map is drawn again from this frame on
    EXPECT_EQ(g_bNetStall, 0);
    EXPECT_EQ(g_NetStallFrames, 0);
    g_bNetStall = 1;
    g_NetStallFrames = 3;
    EXPECT_FALSE(StepNetStall(false)); // outside a network game both stay 0
    EXPECT_EQ(g_bNetStall, 0);
    EXPECT_EQ(g_NetStallFrames, 0);
}

class FrameDrawingTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        saved = FrameServices();
        TFrameServices& s = FrameServices();
        s.UpdateInterfacePanel = [this](std::uint8_t) { ++panelUpdates; };
        s.PanelWantsUpdate = [this] { return panelWants; };
        s.DrawAllWindows = [this] { ++windowsDrawn; };
        s.DrawMiniMap = [this] { ++miniMaps; };
        s.DrawSelectedHouseRing = [this] { ++rings; };
        // The mouse needs a window; without one its start is a stand-in.
        s.DirectInputInit = [] { return true; };
        for (auto& m : g_ModeAvailable)
            m = 1;
        g_FrameCounter = 0;
    }
    void TearDown() override
    {
        FrameServices() = saved;
        g_FrameCounter = 0;
        g_bNetStall = 0;
        DeviceTest::TearDown();
    }
    TFrameServices saved;
    bool panelWants = false;
    int panelUpdates = 0;
    int windowsDrawn = 0;
    int miniMaps = 0;
    int rings = 0;
};

TEST_F(FrameDrawingTest, ThePanelIsRebuiltWhenAskedAndEveryTwentiethFrame)
{
    const struct {
        std::uint32_t frame;
        bool wants;
        int updates;
    } cases[] = {{5, false, 1}, {25, false, 1}, {6, false, 0}, {6, true, 1}, {0, false, 0}};
    for (const auto& c : cases) {
        panelUpdates = 0;
        g_FrameCounter = c.frame;
        panelWants = c.wants;
        RenderFrame();
        EXPECT_EQ(panelUpdates, c.updates) << c.frame << " " << c.wants;
    }
    EXPECT_EQ(windowsDrawn, 5);
    EXPECT_EQ(miniMaps, 5);
    // The selected building's range ring goes with the map, every frame.
    EXPECT_EQ(rings, 5);
}

TEST_F(FrameDrawingTest, ChangeScreenModeKeepsTheSameModeAndTakesModeZeroForABadIndex)
{
    plat::Surface* back = g_pDDSBack;
    EXPECT_TRUE(ChangeScreenMode(g_DisplayMode));
    EXPECT_EQ(g_pDDSBack, back);
    ASSERT_TRUE(ChangeScreenMode(3));
    EXPECT_EQ(g_ScreenWidth, 1280);
    EXPECT_EQ(g_ScreenHeight, 1024);
    EXPECT_EQ(g_ViewCols, 14);
    EXPECT_EQ(g_ViewRows, 44);
    ASSERT_NE(g_pDDSBack, nullptr);
    EXPECT_EQ(g_pDDSBack->Width(), 1280);
    ASSERT_NE(g_pZBuffer, nullptr);
    EXPECT_EQ(g_pZBuffer->Width(), 1280);
    // The minimap stands in the new screen's corner.
    EXPECT_EQ(g_MiniMapLeft, 1280 - MINIMAP_MARGIN);
    EXPECT_EQ(g_MiniMapTop, 1024 - (g_bMiniMapShown ? MINIMAP_MARGIN : MINIMAP_HIDDEN_MARGIN));
    g_ModeAvailable[2] = 0;
    ASSERT_TRUE(ChangeScreenMode(2)); // unusable: mode 0
    EXPECT_EQ(g_DisplayMode, 0);
    EXPECT_EQ(g_ScreenWidth, 1024);
    ASSERT_TRUE(ChangeScreenMode(3));
    ASSERT_TRUE(ChangeScreenMode(17));
    EXPECT_EQ(g_ScreenWidth, 1024);
}

TEST_F(FrameDrawingTest, ChangeScreenModeReportsADeviceThatDidNotComeBack)
{
    FrameServices().Direct3DInit = [] { return false; };
    const std::string log = LoggedBy([] { EXPECT_FALSE(ChangeScreenMode(3)); });
    EXPECT_NE(log.find("Direct3DInit() FAILED"), std::string::npos);
    FrameServices().Direct3DInit = nullptr;
    FrameServices().DirectInputInit = [] { return false; };
    const std::string log2 = LoggedBy([] { EXPECT_FALSE(ChangeScreenMode(0)); });
    EXPECT_NE(log2.find("DirectInputInit() FAILED"), std::string::npos);
    EXPECT_NE(g_pD3DDevice, nullptr);
}

TEST_F(FrameDrawingTest, RecreateDevicesStopsAtAFailingDirect3D)
{
    int unitInits = 0;
    FrameServices().Direct3DInit = [] { return false; };
    FrameServices().UnitInit = [&] { return ++unitInits > 0; };
    const std::string log = LoggedBy([] { EXPECT_FALSE(RecreateDevices(1)); });
    EXPECT_NE(log.find("Direct3DInit() FAILED"), std::string::npos);
    EXPECT_EQ(unitInits, 0);
    FrameServices().Direct3DInit = nullptr;
    FrameServices().UnitInit = [&] { return false; };
    const std::string log2 = LoggedBy([] { EXPECT_FALSE(RecreateDevices(1)); });
    EXPECT_NE(log2.find("UnitInit() FAILED"), std::string::npos);
    FrameServices().UnitInit = [&] { return ++unitInits > 0; };
    FrameServices().ParticlesInit = [] { return true; };
    g_bMapViewDirty = 0;
    EXPECT_TRUE(RecreateDevices(1));
    EXPECT_EQ(g_bWindowed, 1);
    EXPECT_NE(g_pD3DDevice, nullptr);
    // The new surfaces hold no static layer: the next frame of a game builds it.
    EXPECT_EQ(g_bMapViewDirty, 1);
    g_bMapViewDirty = 0;
}

TEST_F(FrameDrawingTest, LostSurfacesComeBackAndAFrameIsDrawn)
{
    g_pDDSBack->ForceLost();
    g_pDDSBuffer->ForceLost();
    EXPECT_TRUE(RestoreAllSurfaces());
    EXPECT_FALSE(g_pDDSBack->IsLost());
    EXPECT_FALSE(g_pDDSBuffer->IsLost());
    EXPECT_EQ(windowsDrawn, 1);
}

} // namespace
