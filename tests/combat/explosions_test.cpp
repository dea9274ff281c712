#include "combat/explosions.h"

#include <vector>

#include <gtest/gtest.h>

#include "combat/craters.h"
#include "combat/house_events.h"
#include "core/game_folder_fixture.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "effects_art.h"
#include "images.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "support/open_sea.h"
#include "support/test_world.h"
#include "units/unit.h"

namespace {

using testworld::TestWorld;

class ExplosionTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        ASSERT_TRUE(DirectDrawInit(nullptr, 0));
        ASSERT_TRUE(Direct3DInit());
        world = std::make_unique<TestWorld>(40, 120);
        ini_explo();
        savedW = g_ScreenWidth;
        savedH = g_ScreenHeight;
        g_ScreenWidth = 800;
        g_ScreenHeight = 600;
        g_ViewPixelX = 0;
        g_ViewPixelY = 0;
    }
    void TearDown() override
    {
        ExplosionsFree();
        FreeCraters();
        g_ScreenWidth = savedW;
        g_ScreenHeight = savedH;
        world.reset();
        Direct3DFree();
        DirectDrawFree();
        GameFolderTest::TearDown();
    }
    // A set of count frames without textures, head A, B, C, D.
    static TExploSprites* FakeSet(std::uint16_t count, std::uint16_t a = 64, std::uint16_t b = 64,
                                  std::uint16_t c = 96, std::uint16_t d = 128)
    {
        auto* s = new TExploSprites;
        s->set.frameCount = count;
        s->set.frames.resize(count);
        s->A = a;
        s->B = b;
        s->C = c;
        s->D = d;
        return s;
    }
    static int Count()
    {
        int n = 0;
        for (const TExplosion* e = g_ExplosionList; e; e = e->next)
            ++n;
        return n;
    }

    std::unique_ptr<TestWorld> world;
    std::uint16_t savedW = 0, savedH = 0;
};

TEST_F(ExplosionTest, UnknownTypesMakeNothing)
{
    EXPECT_EQ(AddExplosion(EXPLOSION_GROUND, nullptr, 500, 500, 50, 41, 100, 50, 0), nullptr);
    EXPECT_EQ(g_ExplosionList, nullptr);
    EXPECT_EQ(g_ExplosionsMade, 0u);
}

TEST_F(ExplosionTest, AMissingArchiveLeavesAnEmptySetThatEndsAtOnce)
{
    TExplosion* e = AddExplosion(EXPLOSION_FREE, nullptr, 500, 500, 50, 6, 0, 0, 0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->endFrame, 0);
    EXPECT_TRUE(Logged("No file "));
    UpdateExplosions();
    EXPECT_EQ(g_ExplosionList, nullptr);
}

TEST_F(ExplosionTest, SampleSetsLoadWithTheirFramesAndRefuseFiftyOrMore)
{
    ASSERT_TRUE(sampledata::WriteEffectsArt(dir.Path()));
    TExplosion* e = AddExplosion(EXPLOSION_FREE, nullptr, 500, 500, 50, 0, 0, 0, 0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->sprites->FrameCount(), sampledata::kExplosionFrames);
    EXPECT_EQ(g_ExploSetsLoaded, 1);
    ASSERT_NE(e->sprites->set.frames[0].texture, nullptr);
    EXPECT_EQ(e->sprites->set.frames[0].rect[2], sampledata::kExplosionFrameSize);

    std::vector<sampledata::FrameSpec> frames(50);
    for (auto& f : frames) {
        f.texWidth = f.texHeight = f.dataWidth = f.dataHeight = 2;
        f.pixels.assign(4, 0xFFFF);
    }
    const auto block = sampledata::MakeFrameBlock({}, frames);
    TExploSprites big;
    FillExploSprites(big, block.data(), static_cast<std::uint32_t>(block.size()));
    EXPECT_EQ(big.FrameCount(), 0);
    EXPECT_TRUE(Logged("ExploBuffer small, increace MAX_NKADR_EXPLO"));
}

TEST_F(ExplosionTest, ADelayedExplosionPlaysAllItsFramesAfterTheDelay)
{
    g_ExploSprites[6] = FakeSet(4);
    TExplosion* e = AddExplosion(EXPLOSION_FREE, nullptr, 300, 300, 0, 6, 0, 0, 0);
    e->delay = 10;
    for (int i = 0; i < 10; ++i) {
        UpdateExplosions();
        EXPECT_TRUE(g_ExploDrawList.empty());
    }
    std::vector<int> shown;
    for (int i = 0; i < 6; ++i) {
        UpdateExplosions();
        if (!g_ExploDrawList.empty())
            shown.push_back(g_ExploDrawList[0].frame);
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Count(), 0);
}

TEST_F(ExplosionTest, TheQueueIsSortedByRowThenColumnAndCulled)
{
    g_ExploSprites[5] = FakeSet(5);
    // Screen point = (A - C + x, B - D + y) = (x - 32, y - 64); the margin is A + B = 128.
    AddExplosion(EXPLOSION_FREE, nullptr, 400, 300, 0, 5, 0, 0, 0);
    AddExplosion(EXPLOSION_FREE, nullptr, 200, 300, 0, 5, 0, 0, 0);
    AddExplosion(EXPLOSION_FREE, nullptr, 600, 200, 0, 5, 0, 0, 0);
    AddExplosion(EXPLOSION_FREE, nullptr, 5000, 300, 0, 5, 0, 0, 0); // far right of the view
    AddExplosion(EXPLOSION_FREE, nullptr, 300, 300, 1000, 5, 0, 0, 0); // lifted far above it
    UpdateExplosions();
    ASSERT_EQ(g_ExploDrawList.size(), 3u);
    EXPECT_EQ(g_ExploDrawList[0].x, 600 - 32);
    EXPECT_EQ(g_ExploDrawList[0].y, 200 - 64);
    EXPECT_EQ(g_ExploDrawList[1].x, 200 - 32);
    EXPECT_EQ(g_ExploDrawList[2].x, 400 - 32);
    std::vector<const TExplosionSprite*> scene;
    CollectExplosionSprites(scene);
    ASSERT_EQ(scene.size(), 3u);
    EXPECT_EQ(scene[0], &g_ExploDrawList[0]);
    // The rise grows each frame and lifts the sprite.
    UpdateExplosions();
    EXPECT_EQ(g_ExploDrawList[0].height, 1);
}

TEST_F(ExplosionTest, GroundBurstsLeaveOneCraterPerPointAndAnimatedObjectsLiftThem)
{
    ASSERT_TRUE(sampledata::WriteEffectsArt(dir.Path()));
    CreateCraters();
    g_ExploSprites[0] = FakeSet(3);
    // Type 0 leaves crater set 0; a ground burst below the ground height + 20 only.
    AddExplosion(EXPLOSION_GROUND, nullptr, 1000, 1000, 50, 0, 0, 0, 0);
    AddExplosion(EXPLOSION_GROUND, nullptr, 1000, 1000, 50, 0, 0, 0, 0);
    EXPECT_EQ(g_pCraters->PictureCount(), 1);
    AddExplosion(EXPLOSION_FREE, nullptr, 1200, 1000, 50, 0, 0, 0, 0);
    AddExplosion(EXPLOSION_GROUND, nullptr, 1400, 1000, 200, 0, 0, 0, 0);
    EXPECT_EQ(g_pCraters->PictureCount(), 1);
    EXPECT_EQ(g_pCraters->Picture(0)->m_X, 1000.0f);
    EXPECT_EQ(g_pCraters->Picture(0)->m_Y, 950.0f);

    plat::Point cell;
    GetCellFromPoint(1600, 1000, cell);
    world->SetObject(cell.x, cell.y, 9695);
    TExplosion* lifted = AddExplosion(EXPLOSION_FREE, nullptr, 1600, 1000, 50, 0, 0, 0, 0);
    EXPECT_EQ(lifted->z, 90);
    world->SetObject(cell.x, cell.y, 0);
}

// A burst on open water becomes the water burst of its type at the water's height, is heard more
// quietly and leaves no crater; a burst on a unit, a torpedo's wake and type 9 keep their types.
TEST_F(ExplosionTest, BurstsOnOpenWaterBecomeWaterBurstsWithoutCraters)
{
    ASSERT_TRUE(sampledata::WriteEffectsArt(dir.Path()));
    CreateCraters();
    for (std::uint32_t t : {0u, 1u, 5u, 9u, 30u, 31u, EXPLOSION_TORPEDO_WAKE})
        g_ExploSprites[t] = FakeSet(3);
    TUnit* swimmer = world->AddUnit(1, testworld::kRifleman, 20, 60);
    ASSERT_NE(swimmer, nullptr);
    const struct {
        const char* name;
        std::uint32_t type;
        bool attached;
        std::uint32_t becomes;
        bool onWater;
    } cases[] = {
        {"shell", 0, false, 31, true},
        {"bomb", 1, false, 30, true},
        {"a water burst stays itself", 31, false, 31, true},
        {"no water entry", 5, false, 5, true},
        {"type 9", 9, false, 9, true},
        {"torpedo wake", EXPLOSION_TORPEDO_WAKE, false, EXPLOSION_TORPEDO_WAKE, true},
        {"on a unit", 0, true, 0, false},
    };
    {
        const testworld::OpenSea sea;
        for (const auto& k : cases) {
            world->sounds.clear();
            TUnit* on = k.attached ? swimmer : nullptr;
            TExplosion* e = AddExplosion(EXPLOSION_GROUND, on, 1000, 1000, 20, k.type, 0, 0, 0);
            ASSERT_NE(e, nullptr) << k.name;
            EXPECT_EQ(e->type, k.becomes) << k.name;
            EXPECT_EQ(e->onWater, k.onWater) << k.name;
            EXPECT_EQ(e->z, k.onWater ? 50 : 20) << k.name;
            if (k.type == 0 && !k.attached) {
                ASSERT_EQ(world->sounds.size(), 1u) << k.name;
                EXPECT_EQ(world->sounds[0].priority, 5) << k.name;
            }
        }
        EXPECT_EQ(g_pCraters->PictureCount(), 0);
    }
    // The same burst on land leaves its crater: the water alone kept it away.
    AddExplosion(EXPLOSION_GROUND, nullptr, 1000, 1000, 20, 0, 0, 0, 0);
    EXPECT_EQ(g_pCraters->PictureCount(), 1);
}

// A burst with damage harms the units about its point: with the flag wherever the point is,
// without it only inside the map; a type beyond the table makes nothing and harms nobody.
TEST_F(ExplosionTest, ABurstDamagesWithAndWithoutItsFlag)
{
    const testworld::TPixel c = testworld::CellCentre(20, 60);
    const auto x = static_cast<std::int32_t>(c.x), y = static_cast<std::int32_t>(c.y);
    const struct {
        const char* name;
        std::int32_t x, y;
        std::uint32_t type;
        std::int32_t damage;
        std::uint8_t flag;
        bool hurts;
    } cases[] = {
        {"flag set", x, y, 0, 400, 1, true},
        {"flag clear", x, y, 0, 400, 0, true},
        {"no damage", x, y, 0, 0, 1, false},
        {"type 41", x, y, 41, 400, 1, false},
        {"flag clear, point off the map", -500, y, 0, 400, 0, false},
    };
    for (const auto& k : cases) {
        TUnit* u = world->AddUnit(1, testworld::kRifleman, 20, 60);
        ASSERT_NE(u, nullptr) << k.name;
        const float full = u->HitPoints;
        AddExplosion(EXPLOSION_FREE, nullptr, k.x, k.y, 50, k.type, k.damage, 100, k.flag);
        if (k.hurts)
            EXPECT_LT(u->HitPoints, full) << k.name;
        else
            EXPECT_EQ(u->HitPoints, full) << k.name;
        u->HitPoints = full;
    }
}

// A building's destruction points burst one after another, each lifted above its point, and the
// machines count them like any burst of the game.
TEST_F(ExplosionTest, ABuildingsDestructionBurstsOneAfterAnother)
{
    CreateCraters();
    g_ExploSprites[3] = FakeSet(4);
    StartHouseExplosion(600.0f, 500.0f, 18.0f, 0);
    StartHouseExplosion(640.0f, 520.0f, 4.0f, 3);
    ASSERT_EQ(Count(), 2);
    const TExplosion* second = g_ExplosionList; // the newest first
    const TExplosion* first = second->next;
    EXPECT_EQ(first->type, 3u);
    EXPECT_EQ(first->kind, EXPLOSION_FREE);
    EXPECT_EQ(first->x, 600);
    EXPECT_EQ(first->y, 500);
    EXPECT_EQ(first->z, 18);
    EXPECT_EQ(first->delay, 0);
    EXPECT_EQ(second->z, 4);
    EXPECT_EQ(second->delay, 3);
    EXPECT_EQ(g_ExplosionsMade, 2u);
    EXPECT_EQ(g_pCraters->PictureCount(), 0) << "no crater under a ruin";
}

TEST_F(ExplosionTest, SoundsPlayUnlessSilentAndTheTrailCountsWhatWasMade)
{
    g_ExploSprites[6] = FakeSet(1);
    g_ExploSprites[5] = FakeSet(1);
    AddExplosion(EXPLOSION_FREE, nullptr, 500, 500, 20, 6, 0, 0, 0);
    AddExplosion(EXPLOSION_FREE, nullptr, 500, 500, 20, 5, 0, 0, 0);
    ASSERT_EQ(world->sounds.size(), 1u);
    EXPECT_EQ(world->sounds[0].category, 6);
    EXPECT_EQ(world->sounds[0].subKind, 1);
    EXPECT_EQ(world->sounds[0].priority, 7);
    EXPECT_EQ(g_ExplosionsMade, 2u);
    const std::uint64_t trail = g_ExplosionTrail;
    ini_explo();
    AddExplosion(EXPLOSION_FREE, nullptr, 500, 500, 20, 6, 0, 0, 0);
    AddExplosion(EXPLOSION_FREE, nullptr, 501, 500, 20, 5, 0, 0, 0);
    EXPECT_NE(g_ExplosionTrail, trail);
}

} // namespace
