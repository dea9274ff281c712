// A frame of the sample mission drawn with 1, 2 and 8 drawing threads: the same picture and the same
// depths, byte for byte, whatever the number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/app_state.h"
#include "core/loader_thread.h"
#include "game/frame_drawing.h"
#include "game/game_load.h"
#include "game/game_main.h"
#include "map/landscape.h"
#include "map/map_grid.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "platform/raster.h"
#include "players/strateg.h"
#include "sample_data.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "game/sample_world_fixture.h"

namespace {

class FrameBandsTest : public SampleWorldTest {
protected:
    void SetUp() override
    {
        SampleWorldTest::SetUp();
        MyPlayer = 0;
    }
    void TearDown() override
    {
        g_UnitsDrawSorted.clear();
        FreeGame();
        // The view's list of buildings points into the freed game: the next frame drawn by
        // another test must not walk it.
        g_VisibleHouses.clear();
        g_bMapViewDirty = 1;
        g_Loader.WaitUntilIdleFor(10000);
        plat::SetRasterThreads(1);
        MapDeviceTest::TearDown();
    }

    struct Picture {
        std::vector<std::uint16_t> color;
        std::vector<std::uint16_t> depth;
        plat::RasterCounters work;
    };

    static void Copy(const plat::PixelBuffer& b, std::vector<std::uint16_t>& out)
    {
        out.clear();
        for (int y = 0; y < b.Height(); ++y)
            out.insert(out.end(), b.Row16(y), b.Row16(y) + b.Width());
    }

    // The mission loaded afresh, the view on the local player's base with units of every player
    // around it, and three frames drawn with the given number of threads.
    Picture Draw(int threads)
    {
        Picture p;
        g_UnitsDrawSorted.clear();
        FreeGame();
        g_Loader.WaitUntilIdleFor(10000);
        g_FrameCounter = 0;
        if (!LoadGame("Data\\Campaigns\\Sample\\Coast.mis", false, nullptr) || !g_pHouse[MyPlayer])
            return p;
        const THouse& base = g_pHouse[MyPlayer][0];
        g_ViewX = static_cast<std::uint16_t>(std::clamp(base.X - g_ViewCols / 2, 0, std::max(0, g_MapWidth - g_ViewCols - 2)));
        g_ViewY = static_cast<std::uint16_t>(std::clamp((base.Y - g_ViewRows / 2) & ~1, 0, std::max(0, g_MapHeight - g_ViewRows - 10)));
        ScrollMap(0, 0);
        const float left = static_cast<float>(g_ViewX * 96), top = static_cast<float>(g_ViewY * 24);
        static constexpr std::uint16_t kTypes[] = {2, 6, 5, 14};
        for (int i = 0; i < 64; ++i) {
            const auto player = static_cast<std::uint8_t>(i % g_wNumPlayer);
            TUnit* u = CreateUnit(left + 40.0f + static_cast<float>((i * 97) % (g_ScreenWidth - 80)),
                                  top + 60.0f + static_cast<float>((i * 53) % (g_ScreenHeight - 120)), kTypes[i % 4],
                                  g_Strateg[player]->Nation);
            if (u != nullptr)
                AddUnitToPlayer(player, u);
        }
        g_Loader.WaitUntilIdleFor(60000);
        for (int player = 0; player < g_wNumPlayer; ++player)
            for (TUnit* u = g_Strateg[player]->FirstUnit; u != nullptr; u = u->m_pNext)
                g_UnitsDrawSorted.push_back({u, 0, 0});
        std::sort(g_UnitsDrawSorted.begin(), g_UnitsDrawSorted.end(), [](const TUnitDrawRecord& a, const TUnitDrawRecord& b) {
            return a.unit->Y < b.unit->Y || (a.unit->Y == b.unit->Y && a.unit->X < b.unit->X);
        });
        g_bMapViewDirty = 1;
        plat::SetRasterThreads(threads);
        plat::ResetRasterCounters();
        for (int frame = 0; frame < 3; ++frame) {
            ++g_FrameCounter;
            RenderFrame();
        }
        p.work = plat::ReadRasterCounters();
        Copy(g_pDDSBack->Pixels(), p.color);
        Copy(g_pZBuffer->Pixels(), p.depth);
        return p;
    }

};

TEST_F(FrameBandsTest, TheSampleFrameIsTheSameWithOneTwoAndEightThreads)
{
    const Picture one = Draw(1);
    ASSERT_FALSE(one.color.empty());
    EXPECT_GE(g_UnitsDrawSorted.size(), 64u);
    EXPECT_GT(one.work.draws, 500u);
    EXPECT_GT(one.work.pixels, static_cast<std::uint64_t>(g_ScreenWidth) * g_ScreenHeight);
    EXPECT_EQ(one.work.banded, 0u) << "one thread draws every draw whole";
    for (int threads : {2, 8}) {
        const Picture many = Draw(threads);
        ASSERT_EQ(many.color.size(), one.color.size()) << threads;
        EXPECT_GT(many.work.banded, 0u) << threads << " threads: large draws are cut into bands";
        EXPECT_EQ(many.work.pixels, one.work.pixels) << threads;
        EXPECT_TRUE(many.color == one.color) << threads << " threads: the picture differs";
        EXPECT_TRUE(many.depth == one.depth) << threads << " threads: the depths differ";
    }
}

} // namespace
