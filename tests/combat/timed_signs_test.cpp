#include "combat/timed_signs.h"

#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "combat/cycle_updates.h"
#include "combat/explosions.h"
#include "combat/game_state.h"
#include "core/game_folder_fixture.h"
#include "core/random_table.h"
#include "map/terrain.h"
#include "players/sim_checksum.h"
#include "support/test_world.h"
#include "units/unit.h"

namespace {

using testworld::TestWorld;

class TimedSignTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        world = std::make_unique<TestWorld>(40, 120);
        ini_explo();
        ASSERT_TRUE(CreateTimedSignList());
        const testworld::TPixel c = testworld::CellCentre(20, 60);
        cx = static_cast<std::int32_t>(c.x);
        cy = static_cast<std::int32_t>(c.y);
    }
    void TearDown() override
    {
        DestroyTimedSignList();
        ExplosionsFree();
        world.reset();
        GameFolderTest::TearDown();
    }
    TTimedSignDesc Gas(std::uint16_t radius, std::uint8_t density = 16, std::int32_t lifetime = 1500) const
    {
        TTimedSignDesc d;
        d.kind = TIMED_SIGN_GAS;
        d.x = cx;
        d.y = cy;
        d.lifetime = lifetime;
        d.radius = radius;
        d.growth = 2;
        d.density = density;
        d.damage = 50;
        d.damageRadius = 50;
        return d;
    }
    static std::vector<const TExplosion*> Explosions()
    {
        std::vector<const TExplosion*> out;
        for (const TExplosion* e = g_ExplosionList; e != nullptr; e = e->next)
            out.insert(out.begin(), e); // the list holds the newest first
        return out;
    }
    static std::size_t SignCount() { return TTimedSignList::Signs()->size(); }

    std::unique_ptr<TestWorld> world;
    std::int32_t cx = 0, cy = 0;
};

TEST_F(TimedSignTest, TheExplosionCountComesFromDensityAndRadius)
{
    struct Case {
        std::uint8_t density;
        std::int16_t current;
        std::uint16_t greatest;
        std::uint8_t count;
    };
    for (const Case& c : {Case{16, 1, 600, 0}, Case{16, 1, 16, 1}, Case{16, 1, 17, 0}, Case{16, 1, 8, 2},
                          Case{16, 300, 600, 8}, Case{255, 600, 600, 255}, Case{16, 1, 1, 16},
                          Case{16, 0, 10, 0}, Case{16, 1, 0, 0}}) {
        TTimedSign sign(Gas(c.greatest, c.density));
        sign.m_Radius = c.current;
        EXPECT_EQ(sign.ExplosionCount(), c.count) << int(c.density) << " " << c.current << " " << c.greatest;
    }
}

TEST_F(TimedSignTest, KindsChooseTheirExplosionTypeAndEveryKindGetsOne)
{
    TTimedSignDesc d = Gas(10);
    EXPECT_EQ(TTimedSignList::Add(d)->m_ExplosionType, 36);
    d.kind = TIMED_SIGN_BURSTS;
    EXPECT_EQ(TTimedSignList::Add(d)->m_ExplosionType, 30);
    d.kind = 7;
    TTimedSign* odd = TTimedSignList::Add(d);
    EXPECT_EQ(odd->m_ExplosionType, 36);
    EXPECT_EQ(odd->m_Radius, 1);
    EXPECT_TRUE(Logged("Timed sign: unknown kind 7"));
}

// Radius 1 accepts only the centre: a pair is drawn until both values are odd, then one value
// jitters the explosion; each draw moves the shared index by 2.
TEST_F(TimedSignTest, AStepDrawsPairsUntilInsideAndMovesTheIndexByTwoPerDraw)
{
    TTimedSign* sign = TTimedSignList::Add(Gas(1, 3));
    world->SetRandomIndex(1000);
    world->SetNextRandomValues({0, 0, 1, 1, 17, 0, /**/ 3, 5, 0, 0, /**/ 1, 0, 7, 9, 23, 0});
    UpdateTimedSigns();
    EXPECT_EQ(g_RandIndex, 1016);

    const auto made = Explosions();
    ASSERT_EQ(made.size(), 3u);
    const std::int32_t dx[] = {-2, 5, 2}, dy[] = {3, 5, 2};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(made[i]->x, cx + dx[i]) << i;
        EXPECT_EQ(made[i]->y, cy + dy[i]) << i;
        EXPECT_EQ(made[i]->kind, EXPLOSION_ATTACHED);
        EXPECT_EQ(made[i]->type, 36u);
        EXPECT_EQ(made[i]->risePerFrame, 2);
        EXPECT_EQ(made[i]->z, GetLandHeightF(static_cast<float>(cx), static_cast<float>(cy)));
    }
    EXPECT_EQ(sign->m_Radius, 1); // capped at the greatest radius
    EXPECT_EQ(sign->m_Desc.lifetime, 1499);
}

TEST_F(TimedSignTest, TheDrawWrapsAtTheEndOfTheTable)
{
    TTimedSignList::Add(Gas(1, 1));
    world->SetRandomIndex(65535);
    world->SetNextRandomValues({1, 1, 4, 0});
    UpdateTimedSigns();
    EXPECT_EQ(g_RandIndex, 3);
    ASSERT_EQ(Explosions().size(), 1u);
    EXPECT_EQ(Explosions()[0]->x, cx + 1);
}

TEST_F(TimedSignTest, AGasCloudGrowsToItsRadiusAndIsRemovedAfterItsLastStep)
{
    TTimedSign* sign = TTimedSignList::Add(Gas(20, 0));
    for (int step = 1; step <= 1499; ++step) {
        UpdateTimedSigns();
        ASSERT_EQ(sign->m_Radius, std::min(1 + 2 * step, 20)) << step;
    }
    EXPECT_EQ(SignCount(), 1u);
    EXPECT_EQ(sign->m_Desc.lifetime, 1);
    UpdateTimedSigns();
    EXPECT_EQ(SignCount(), 0u);
}

TEST_F(TimedSignTest, ASignRemovedInAStepLetsTheNextOneStepInTheSameCycle)
{
    TTimedSignList::Add(Gas(20, 0, 1));
    TTimedSign* second = TTimedSignList::Add(Gas(20, 0, 3));
    UpdateTimedSigns();
    ASSERT_EQ(SignCount(), 1u);
    EXPECT_EQ((*TTimedSignList::Signs())[0], second);
    EXPECT_EQ(second->m_Desc.lifetime, 2);
}

TEST_F(TimedSignTest, AGasCloudBurstsInsideItsFlattenedCircle)
{
    InitRandomTable();
    TTimedSign* sign = TTimedSignList::Add(Gas(16, 16));
    sign->m_Radius = 16;
    const std::uint16_t before = g_RandIndex;
    UpdateTimedSigns();
    const auto made = Explosions();
    ASSERT_EQ(made.size(), 16u);
    EXPECT_GE(static_cast<std::uint16_t>(g_RandIndex - before), 16 * 4);
    for (const TExplosion* e : made) {
        // Undo the jitter's widest reach before testing the ellipse.
        const double a = std::abs(e->x - cx) - 5.0, b = 2.0 * (std::abs(e->y - cy) - 5.0);
        EXPECT_LT(std::hypot(std::max(a, 0.0), std::max(b, 0.0)), 16.0 + 2.0);
        EXPECT_EQ(e->type, 36u);
    }
    EXPECT_EQ(g_ExplosionsMade, 16u);
}

// The cloud harms through its bursts: a rifleman standing in it loses hit points, one outside its
// reach keeps them.
TEST_F(TimedSignTest, AGasCloudDamagesTheUnitsInsideIt)
{
    InitRandomTable();
    TUnit* inside = world->AddUnit(1, testworld::kRifleman, 20, 60);
    TUnit* outside = world->AddUnit(1, testworld::kRifleman, 30, 100);
    ASSERT_NE(inside, nullptr);
    ASSERT_NE(outside, nullptr);
    const float full = inside->HitPoints, far = outside->HitPoints;
    TTimedSign* sign = TTimedSignList::Add(Gas(16, 16));
    sign->m_Radius = 16;
    for (int i = 0; i < 5; ++i)
        UpdateTimedSigns();
    EXPECT_LT(inside->HitPoints, full);
    EXPECT_EQ(outside->HitPoints, far);
}

TEST_F(TimedSignTest, ASignWithoutRadiusMakesNothingAndStillAges)
{
    TTimedSign* sign = TTimedSignList::Add(Gas(0));
    const std::uint16_t before = g_RandIndex;
    UpdateTimedSigns();
    UpdateTimedSigns();
    EXPECT_EQ(g_RandIndex, before);
    EXPECT_EQ(g_ExplosionList, nullptr);
    EXPECT_EQ(sign->m_Radius, 0);
    EXPECT_EQ(sign->m_Desc.lifetime, 1498);
}

TEST_F(TimedSignTest, TheListIsMadeOnceAndSignsNeedIt)
{
    TTimedSignList::Add(Gas(10));
    EXPECT_TRUE(CreateTimedSignList()); // a failed load's list: emptied
    EXPECT_EQ(SignCount(), 0u);
    TTimedSignList::Add(Gas(10));
    DestroyTimedSignList();
    EXPECT_EQ(TTimedSignList::Signs(), nullptr);
    EXPECT_EQ(TTimedSignList::Add(Gas(10)), nullptr);
    EXPECT_TRUE(Logged("Timed sign without a list"));
    UpdateTimedSigns(); // nothing to step
    EXPECT_TRUE(CreateTimedSignList());
}

TEST_F(TimedSignTest, SignsAreInTheSimulationChecksum)
{
    const std::uint64_t empty = SimulationChecksum();
    TTimedSign* sign = TTimedSignList::Add(Gas(10, 0));
    const std::uint64_t one = SimulationChecksum();
    EXPECT_NE(one, empty);
    sign->m_Radius = 3;
    EXPECT_NE(SimulationChecksum(), one);
}

} // namespace
