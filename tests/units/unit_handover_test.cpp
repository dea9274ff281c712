// The hand-over of unit works between the main thread and the loader thread. Also built with
// ThreadSanitizer (tests/tsan), so it depends on nothing but the unit graphics and the loader.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "core/loader_thread.h"
#include "platform/bytes.h"
#include "platform/texture.h"
#include "units/unit_graphics.h"
#include "units/unit_types.h"

namespace {

// A work entry of frameCount frames of size x size per facing, with a shadow layer.
std::vector<std::uint8_t> Entry(int frameCount, int size)
{
    const int headers = 5 * frameCount;
    const std::size_t layer1 = 2, offsets = layer1 + headers * 20, layer2 = offsets + 8;
    std::vector<std::uint8_t> out(layer2 + headers * 20, 0);
    out[0] = static_cast<std::uint8_t>(frameCount);
    out[1] = UNIT_LAYER2_BIT;
    plat::WriteU32LE(out.data() + offsets + 4, static_cast<std::uint32_t>(layer2));
    for (std::size_t block : {layer1, layer2}) {
        for (int i = 0; i < headers; ++i) {
            std::uint8_t* h = out.data() + block + i * 20;
            for (int f = 0; f < 6; ++f)
                plat::WriteU16LE(h + 2 * f, f < 2 ? 0 : static_cast<std::uint16_t>(size));
            plat::WriteU32LE(h + 16, static_cast<std::uint32_t>(out.size()));
            out.insert(out.end(), static_cast<std::size_t>(size) * size * 2, static_cast<std::uint8_t>(0xF0 | i));
        }
    }
    return out;
}

TEST(UnitHandoverTest, WorksArriveFromTheLoaderThreadAndAreFreedAfterIt)
{
    TLoaderServices loaderServices;
    loaderServices.loadUnitPhases = [](TBasicUnit* type, std::uint32_t work) { return LoadUnitPhases(type, work); };
    loaderServices.sleepMs = [](std::uint32_t) {};
    loaderServices.requestRedraw = [] {};
    TBackgroundLoader loader(loaderServices);

    const std::vector<std::uint8_t> entry = Entry(2, 16);
    std::atomic<int> made{0};
    TUnitGraphicServices services;
    services.request = [&](TBasicUnit* type, std::uint32_t work) {
        loader.Request(MakeUnitPhasesRequest(UNIT_LOAD_PRIORITY, type, work));
    };
    services.createTexture = [&](std::uint16_t w, std::uint16_t h) {
        made.fetch_add(1);
        return plat::Texture::Create(w, h, plat::PixelFormat::ARGB4444);
    };
    services.waitLoaderIdle = [&] { loader.WaitUntilIdle(); };
    services.readEntry = [&](std::uint32_t, std::uint16_t id, std::uint32_t* size) -> std::uint8_t* {
        if (id != 0 && id != 5 && id != 7)
            return nullptr;
        auto* copy = new std::uint8_t[entry.size()];
        std::memcpy(copy, entry.data(), entry.size());
        *size = static_cast<std::uint32_t>(entry.size());
        return copy;
    };
    SetUnitGraphicServices(services);

    TBasicUnit type;
    type.m_Kind = 2;
    CUnitGraphic graphic;
    graphic.m_ArchiveSlot = 7;
    type.m_pGraphic = &graphic;
    graphic.AddGraphicRef(&type);
    const TUnitWork& fire = graphic.m_Works[7];
    while (fire.loading.load(std::memory_order_acquire))
        std::this_thread::yield();
    ASSERT_TRUE(fire.IsLoaded(0, 4));
    EXPECT_EQ(fire.frames[0][4][1].width, 16);
    EXPECT_NE(fire.FrameTexture(1, 4, 1), nullptr);
    // The main thread frees while the loader may still be building the stand pose from work 5.
    graphic.ReleaseGraphicRef();
    for (const TUnitWork& w : graphic.m_Works) {
        EXPECT_FALSE(w.loading.load());
        EXPECT_FALSE(w.IsLoaded(0, 0));
    }
    EXPECT_GT(made.load(), 0);
    loader.Shutdown();
    type.m_pGraphic = nullptr;
    SetUnitGraphicServices(TUnitGraphicServices::Default());
}

} // namespace
