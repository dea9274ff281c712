// Units of a sample mission started the way KORVELA_TEST_MISSION starts one walk where they are
// ordered: the positions the KORVELA_TEST_UNITS lines give differ between two frame counts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "combat/unit_orders.h"
#include "core/app_state.h"
#include "core/loader_thread.h"
#include "game/game_load.h"
#include "game/sample_world_fixture.h"
#include "game/test_hooks.h"
#include "map/map_grid.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace {

class MissionUnitsTest : public SampleWorldTest {
protected:
    void SetUp() override
    {
        SampleWorldTest::SetUp();
        saved = GameLoadServices();
        MyPlayer = 0;
    }
    void TearDown() override
    {
        FreeGame();
        GameLoadServices() = saved;
        g_Loader.WaitUntilIdleFor(10000);
        MapDeviceTest::TearDown();
    }
    TGameLoadServices saved;
};

// Unique id -> position, from the lines of TestUnitsText.
std::map<unsigned, std::pair<double, double>> Positions(const std::string& text)
{
    std::map<unsigned, std::pair<double, double>> out;
    std::istringstream in(text);
    unsigned player = 0;
    unsigned id = 0;
    double x = 0.0;
    double y = 0.0;
    while (in >> player >> id >> x >> y)
        out[id] = {x, y};
    return out;
}

} // namespace

TEST_F(MissionUnitsTest, OrderedUnitsOfATestMissionMoveBetweenTwoFrameCounts)
{
    ::setenv("KORVELA_TEST_MISSION", "Data\\Campaigns\\Sample\\Coast.mis", 1);
    ::setenv("KORVELA_TEST_SEED", "5", 1);
    StartTestGame();
    ::unsetenv("KORVELA_TEST_MISSION");
    ::unsetenv("KORVELA_TEST_SEED");
    ASSERT_GT(g_wNumPlayer, 0);
    ASSERT_NE(g_Strateg[MyPlayer], nullptr);

    // The mission's own units are workers, whose behaviour is their own; riflemen join each
    // player beside its first worker, as a barracks would send them out, and are sent a few
    // cells away, as a click would send them.
    constexpr std::uint16_t kRifleman = 2;
    int ordered = 0;
    for (std::uint8_t p = 0; p < g_wNumPlayer; ++p) {
        const TUnit* first = g_Strateg[p] != nullptr ? g_Strateg[p]->FirstUnit : nullptr;
        if (first == nullptr)
            continue;
        const plat::Point near = PixelToFlatCell(first->X, first->Y + 96.0f);
        float x = 0.0f;
        float y = 0.0f;
        CellCentrePixel(FindFreeCellNear(near.x, near.y), x, y);
        const std::uint16_t index = CreateUnitAt(x, y, p, kRifleman, 1);
        if (index == UNIT_NO_INDEX)
            continue;
        TUnit* u = g_Strateg[p]->FirstUnit;
        while (u != nullptr && u->m_pNext != nullptr && u->Type != kRifleman)
            u = u->m_pNext;
        if (u == nullptr || u->Type != kRifleman)
            continue;
        // A goal the walk cannot take is moved to a free cell by the move order itself.
        GoToPoint(u, u->X, u->Y + 240.0f, 0);
        ++ordered;
    }
    ASSERT_GT(ordered, 0);
    for (int c = 0; c < 20; ++c)
        NetworkFrame();
    const auto early = Positions(TestUnitsText());
    for (int c = 0; c < 150; ++c)
        NetworkFrame();
    const auto late = Positions(TestUnitsText());
    ASSERT_FALSE(early.empty());
    int moved = 0;
    for (const auto& [id, at] : early) {
        const auto it = late.find(id);
        if (it != late.end() && it->second != at)
            ++moved;
    }
    EXPECT_GT(moved, 0) << "no unit moved between frames 20 and 170";
}
