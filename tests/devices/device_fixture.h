#pragma once
// A display without a window and the 3-D device on its back surface, for tests that load
// pictures into surfaces and textures or draw through the rasteriser.
#include <gtest/gtest.h>

#include <string>

#include "core/error_log.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
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
