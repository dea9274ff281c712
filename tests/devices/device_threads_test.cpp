// The mouse thread, a loader making textures and the main thread re-creating the 3-D device, all
// at once. The ThreadSanitizer build (tests/tsan) runs this test to hold the thread rules to
// account: the device's formats, read by the loader, must not change under it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/app_state.h"
#include "core/loader_thread.h"
#include "cursors.h"
#include "devices/cursor_state.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/mouse.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/texture.h"
#include "sample_data.h"
#include "test_support.h"

TEST(DeviceThreads, MouseAndLoaderRunWhileTheDeviceIsMadeAgain)
{
    testsupport::TempDir dir;
    ASSERT_TRUE(sampledata::WriteFolderTree(dir.Path()));
    ASSERT_TRUE(sampledata::WriteCursors(dir.Path()));
    plat::SetGameRoot(dir.Path());
    ASSERT_TRUE(DirectDrawInit(nullptr, 0));
    ASSERT_TRUE(Direct3DInit());
    g_bAppActive = 1;
    ASSERT_TRUE(DirectInputInit(nullptr));

    // A loader whose unit loads make and fill textures the way the graphics loaders do.
    std::atomic<int> made{0};
    TLoaderServices services;
    services.loadUnitPhases = [&made](TBasicUnit*, std::uint32_t) {
        plat::Texture* t = CreateTexture(32, 32, g_TexFormat4444);
        if (!t)
            return false;
        t->Fill(MakeColor16(200, 100, 50));
        t->Release();
        ++made;
        return true;
    };
    services.loadHouseSprites = [](CHousePhaseGraphic*, THouseType*, std::int32_t) { return true; };
    services.shipPartsStep = [](TShipData*, std::uint8_t, std::uint8_t) {};
    services.sleepMs = [](std::uint32_t) {};
    services.requestRedraw = [] {};
    TBackgroundLoader loader(services);
    // The loader refuses requests without a unit type; the stand-in service never looks at it.
    auto* unitType = reinterpret_cast<TBasicUnit*>(&services);

    std::atomic<bool> stop{false};
    std::thread feeder([&stop] {
        std::int32_t dx = 3;
        for (std::uint32_t t = 0; !stop.load(); ++t) {
            plat::InjectMouseMotion(dx, 0, t);
            dx = -dx;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    constexpr int kRounds = 20, kLoadsPerRound = 5;
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kLoadsPerRound; ++i)
            loader.Request(MakeUnitPhasesRequest(1, unitType, 0));
        // The device goes and comes back with the same formats while the loads run.
        Direct3DFree();
        ASSERT_TRUE(Direct3DInit()) << round;
        std::lock_guard lock(g_InputLock);
        EXPECT_GE(g_MouseX, 0);
    }
    loader.WaitUntilIdle();
    stop = true;
    feeder.join();
    loader.Shutdown();
    EXPECT_EQ(made.load(), kRounds * kLoadsPerRound);

    DirectInputFree();
    Direct3DFree();
    DirectDrawFree();
    plat::SetGameRoot(".");
}
