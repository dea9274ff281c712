#pragma once
// A display without a window and the 3-D device on its back surface, for tests that load
// pictures into surfaces and textures or draw through the rasteriser.
#include <gtest/gtest.h>

#include <string>

#include "core/error_log.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/quads.h"
#include "map/map_view.h"
#include "test_support.h"

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(DirectDrawInit(nullptr, 0));
        ASSERT_TRUE(Direct3DInit());
    }
    void TearDown() override
    {
        Direct3DFree();
        DirectDrawFree();
    }

    // Runs f with an empty error log and returns what it logged.
    template <class F>
    static std::string LoggedBy(F&& f)
    {
        testsupport::WriteText(g_ErrorLog.FileName(), "");
        f();
        return testsupport::ReadText(g_ErrorLog.FileName());
    }

    testsupport::TempDir dir;
};

// The back buffer cleared, the view at the origin and the quad template lit white, so that drawn
// sprites show their texels unchanged; all put back after.
class SpriteDrawTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        saved = g_SpriteQuadTemplate;
        for (TScreenVertex& v : g_SpriteQuadTemplate)
            v.diffuse = 0xFFFFFFFFu;
        g_ViewPixelX = g_ViewPixelY = 0;
        g_ViewDepthBase = 0;
        FillSurface(g_pDDSBack, 0);
    }
    void TearDown() override
    {
        g_SpriteQuadTemplate = saved;
        g_ViewPixelX = g_ViewPixelY = 0;
        g_ViewDepthBase = 0;
        DeviceTest::TearDown();
    }

    TScreenQuad saved;
};
