#pragma once
// A private game folder and the 3-D device, for loaders that make textures from game files.
#include "core/game_folder_fixture.h"
#include "devices/d3d_device.h"
#include "devices/display.h"

class MapDeviceTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        ASSERT_TRUE(DirectDrawInit(nullptr, 0));
        ASSERT_TRUE(Direct3DInit());
    }
    void TearDown() override
    {
        Direct3DFree();
        DirectDrawFree();
        GameFolderTest::TearDown();
    }
    void ClearLog() const { testsupport::WriteText("ReportError.log", ""); }
};
