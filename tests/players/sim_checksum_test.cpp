// The simulation checksum reads what the simulation owns and nothing that differs between
// machines or between a drawn and an undrawn run.
#include <gtest/gtest.h>

#include <functional>

#include "combat/unit_orders.h"
#include "core/app_state.h"
#include "core/game_folder_fixture.h"
#include "core/random_table.h"
#include "players/command.h"
#include "players/sim_checksum.h"
#include "players/strateg.h"
#include "units/house_behaviour.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

class SimChecksumTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        for (int p = 0; p < 2; ++p) {
            g_Strateg[p] = new TStrateg;
            g_Strateg[p]->Number = static_cast<std::uint8_t>(p);
            g_Strateg[p]->FirstUnit = new TUnit(0, 0);
        }
        g_wNumPlayer = 2;
        g_FrameCounter = 0;
        g_RandIndex = 0;
    }
    void TearDown() override
    {
        ClearGlobalHeap();
        InitResourceMultipliers();
        GameFolderTest::TearDown();
    }
};

TEST_F(SimChecksumTest, SimulationStateChangesItAndDrawingOrClockStateDoesNot)
{
    const struct {
        const char* name;
        bool changes;
        std::function<void()> change;
    } cases[] = {
        {"a resource", true, [] { g_Strateg[1]->Res[2].spendable += 1.0; }},
        {"the random index", true, [] { ++g_RandIndex; }},
        {"the frame counter", true, [] { ++g_FrameCounter; }},
        {"a unit's position", true, [] { g_Strateg[0]->FirstUnit->X += 0.5f; }},
        {"a queued record", true, [] { g_Strateg[0]->AddCommand(NewCommand(3, 2, 0.0f, 0.0f)); }},
        {"a relation", true, [] { g_Strateg[1]->Relations[0] = 1; }},
        {"an advanced-path cell waiting for the walk", true, [] { g_AdvancedPathUnpathQueue.push_back({7, 9}); }},
        {"the dead flag", true, [] { g_Strateg[1]->Dead = 1; }},
        {"a point-fire device", true, [] { g_PointFireDevice[1] = 1; }},
        {"a player's gathering factor", true, [] { g_GatherFactor[1] *= 1.5f; }},
        {"a player's power demand", true, [] { g_PowerDemand[0] += 2.0f; }},
        {"a unit's screen rectangle", false, [] { g_Strateg[0]->FirstUnit->m_RectTop += 40; }},
        {"a unit's on-screen flag", false, [] { g_Strateg[0]->FirstUnit->m_bOnScreen ^= 1; }},
        {"the creation tick", false, [] { g_Strateg[0]->CreationTick += 1000; }},
        {"the play time", false, [] { g_Strateg[0]->PlayTime += 5; }},
        {"the statistics time ring", false, [] { g_Strateg[0]->TimeRing[3] = 12345; }},
    };
    for (const auto& c : cases) {
        const std::uint64_t before = SimulationChecksum();
        EXPECT_EQ(SimulationChecksum(), before) << "the checksum only reads";
        c.change();
        EXPECT_EQ(SimulationChecksum() != before, c.changes) << c.name;
    }
    g_PointFireDevice[1] = 0;
    g_AdvancedPathUnpathQueue.clear();
}

TEST_F(SimChecksumTest, TheTrailLineNamesTheCycleAndTheChecksum)
{
    char line[40];
    FormatChecksumLine(line, 17, 0x00ab00cd00ef0012ull);
    EXPECT_STREQ(line, "17 00ab00cd00ef0012\n");
}

} // namespace
