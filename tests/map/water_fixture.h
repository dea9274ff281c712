#pragma once
// A water object over a map of the given size, with the sample water pictures and animations
// written once per test program, on a display and 3-D device without a window.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "core/app_state.h"
#include "devices/device_fixture.h"
#include "map/map_view.h"
#include "map/ship_grid.h"
#include "map/water.h"
#include "map_fixture.h"
#include "platform/paths.h"
#include "water.h"

class WaterTest : public DeviceTest {
protected:
    static void SetUpTestSuite()
    {
        s_Folder = new testsupport::TempDir;
        ASSERT_TRUE(sampledata::WriteWaterFiles(s_Folder->Path()));
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
        ResetWaterServices();
        g_ViewX = g_ViewY = 0;
        g_ViewPixelX = g_ViewPixelY = 0;
        g_ViewDepthBase = 0;
        g_bMapViewDirty = 0;
        g_bLandMap = 1;
    }
    void TearDown() override
    {
        map.reset();
        delete g_pWater;
        g_pWater = nullptr;
        g_bEditorMode = 0;
        ResetWaterServices();
        plat::SetGameRoot(".");
        DeviceTest::TearDown();
    }

    // The water object first, so that the map's set-up makes its grid.
    TWaterMap& MakeWater(std::uint16_t width, std::uint16_t height, bool editor = false)
    {
        g_bEditorMode = editor ? 1 : 0;
        g_pWater = new TWaterMap();
        map = std::make_unique<maptest::TestMap>(width, height);
        EXPECT_TRUE(map->ok);
        return *g_pWater;
    }
    // Every cell open water of look 1.
    static void FillOpenWater(TWaterMap& w, std::uint16_t value = 1)
    {
        std::fill(w.m_Grid.begin(), w.m_Grid.end(), value);
    }

    static testsupport::TempDir* s_Folder;
    std::unique_ptr<maptest::TestMap> map;
};

inline testsupport::TempDir* WaterTest::s_Folder = nullptr;
