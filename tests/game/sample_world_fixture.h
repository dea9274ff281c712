#pragma once
// The 3-D device over one folder of sample game files written for the whole suite: writing the
// folder takes longer than the loads the tests make from it.
#include "core/app_state.h"
#include "map/map_device_fixture.h"
#include "map/map_view.h"
#include "game/game_load.h"
#include "platform/paths.h"
#include "cursors.h"
#include "sample_data.h"

class SampleWorldTest : public MapDeviceTest {
protected:
    // withCursors: the suite also needs the cursor files (the mouse draws them).
    static void WriteSampleFolder(bool withCursors)
    {
        folder = new testsupport::TempDir;
        written = sampledata::WriteWorldFiles(folder->Path()) &&
                  (!withCursors || sampledata::WriteCursors(folder->Path()));
    }
    static void SetUpTestSuite() { WriteSampleFolder(false); }
    static void TearDownTestSuite()
    {
        delete folder;
        folder = nullptr;
    }
    // The device, the folder as the game root, the view sized by the screen, single play.
    void SetUp() override
    {
        MapDeviceTest::SetUp();
        ASSERT_TRUE(written);
        plat::SetGameRoot(folder->Path());
        SetViewSizeByScreen();
        g_GameType = 0;
    }

    static inline testsupport::TempDir* folder = nullptr;
    static inline bool written = false;
};
