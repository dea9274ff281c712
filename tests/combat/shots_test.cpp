#include "combat/shots.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "combat/explosions.h"
#include "combat/ships.h"
#include "core/memory_stream.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/terrain.h"
#include "map/water.h"
#include "players/strateg.h"
#include "support/open_sea.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

using testworld::TestWorld;

// A world with the shot tables filled and no shots or explosions, cleaned up afterwards.
class ShotTest : public ::testing::Test {
protected:
    ShotTest() : world(40, 120)
    {
        ini_tshot(); // the pictures are missing here; the tables are filled all the same
        ini_explo();
    }
    ~ShotTest() override
    {
        FreeShotList();
        ExplosionsFree();
    }

    static TShotParams Params(std::uint8_t type, float x0, float y0, float z0, float x1, float y1, float z1,
                              float range = 5000.0f)
    {
        TShotParams p;
        p.type = type;
        p.startX = x0;
        p.startY = y0;
        p.startZ = z0;
        p.aimX = x1;
        p.aimY = y1;
        p.aimZ = z1;
        p.maxRange = range;
        return p;
    }
    static int CountShots()
    {
        int n = 0;
        for (const TShot* s = g_ShotList; s; s = s->next)
            ++n;
        return n;
    }
    // Steps the shot until it ends; the number of cycles, or -1 past the limit.
    static int Fly(TShot& s, int limit = 10000)
    {
        for (int i = 1; i <= limit; ++i)
            if (ShotStep(s))
                return i;
        return -1;
    }

    TestWorld world;
};

TEST_F(ShotTest, TablesAreFilledWithoutThePictures)
{
    EXPECT_FALSE(ini_tshot());
    for (const TShotType& t : g_ShotTypes)
        EXPECT_GT(t.TimeScale, 0.0f);
    EXPECT_EQ(g_ShotTypes[7].MuzzleSpeed, 3.0);
    EXPECT_EQ(g_ShotTypes[9].SubStepScale, 20000.0f);
    const std::vector<std::uint8_t> set1(g_FragmentSets[0], g_FragmentSets[0] + 7);
    const std::vector<std::uint8_t> set2(g_FragmentSets[1], g_FragmentSets[1] + 9);
    EXPECT_EQ(set1, (std::vector<std::uint8_t>{6, 10, 10, 10, 12, 11, 11}));
    EXPECT_EQ(set2, (std::vector<std::uint8_t>{8, 10, 10, 12, 10, 10, 11, 12, 11}));
}

TEST_F(ShotTest, SolverFindsBothArcsAndRefusesAnAimOutOfReach)
{
    TShot low, high, none;
    ASSERT_TRUE(BuildShot(Params(0, 1000, 1000, 50, 1400, 1000, 50), low));
    ASSERT_TRUE(BuildShot(Params(2, 1000, 1000, 50, 1400, 1000, 50), high));
    EXPECT_EQ(low.HighArc, 0);
    EXPECT_EQ(high.HighArc, 1);
    // The lob flies longer and steeper than the flat shot; both come down at the aim height.
    EXPECT_GT(high.pitch, low.pitch);
    EXPECT_GT(high.pitch, 0.785); // above 45 degrees
    EXPECT_LT(low.pitch, 0.785);
    EXPECT_NEAR(ShotHeightAt(&low, static_cast<float>(low.L)), 50.0, 1e-3);
    EXPECT_NEAR(ShotHeightAt(&high, static_cast<float>(high.L)), 50.0, 1e-3);
    EXPECT_EQ(low.steps, static_cast<int>(low.L) + 1);

    TShotParams slow = Params(0, 1000, 1000, 50, 3000, 1000, 50);
    slow.speed = 50.0f; // v^2 / g is about 255 pixels
    EXPECT_FALSE(BuildShot(slow, none));
    EXPECT_EQ(none.noSolution, 1);
}

TEST_F(ShotTest, AnAimBeyondTheRangeAllowanceIsPulledBackToTheRange)
{
    struct Case {
        float aimX;
        float wantD;
    } cases[] = {
        {1000 + 400.0f, 400.0f}, // within range
        {1000 + 650.0f, 650.0f}, // beyond the range (500), within twice the blast radius (100)
        {1000 + 701.0f, 500.0f},
    };
    for (const Case& c : cases) {
        TShot s;
        ASSERT_TRUE(BuildShot(Params(0, 1000, 1000, 50, c.aimX, 1000, 50, 500.0f), s)) << c.aimX;
        EXPECT_NEAR(s.D, c.wantD, 1e-3) << c.aimX;
        EXPECT_NEAR(s.aimX, 1000 + c.wantD, 1e-3) << c.aimX;
    }
}

TEST_F(ShotTest, GrenadeScatterUsesTwoDrawsOfTheSharedTable)
{
    TUnit* thrower = world.AddUnit(0, testworld::kRifleman, 10, 40);
    thrower->TargetX = thrower->X + 200.0f;
    thrower->TargetY = thrower->Y;
    world.SetRandomIndex(100);
    // r = 200 * 50 * 0.01 * 0.5 = 50, times 99 % 100 / 100; the angle 90 degrees.
    world.SetNextRandomValues({99, 90});
    std::uint8_t out = 7;
    ASSERT_EQ(AddShot(SHOT_SOURCE_GRENADE, thrower, &out, nullptr), SHOT_FIRED);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(g_RandIndex, 102);
    ASSERT_EQ(CountShots(), 1);
    const TShot& s = *g_ShotList;
    EXPECT_EQ(s.type, SHOT_GRENADE);
    EXPECT_NEAR(s.aimX, thrower->X + 200.0f, 1e-2);
    EXPECT_NEAR(s.aimY, thrower->Y + 49.5f, 1e-2);
    EXPECT_EQ(s.startZ, thrower->GroundHeight + 15.0f);
    EXPECT_EQ(s.source.Get(), thrower);
    EXPECT_EQ(s.owner, 0);
    EXPECT_EQ(s.whistleKind, 0u);
}

TEST_F(ShotTest, LaunchDelayHoldsABombForItsCycles)
{
    TUnit* bomber = world.AddUnit(0, testworld::kFighter, 10, 40);
    bomber->Height = 150.0f;
    bomber->VX = 2.0f;
    world.SetRandomIndex(0);
    world.SetNextRandomValues({0, 0});
    const std::uint8_t launch[2] = {20, 0};
    ASSERT_EQ(AddShot(SHOT_SOURCE_BOMB, bomber, nullptr, launch), SHOT_FIRED);
    TShot& s = *g_ShotList;
    EXPECT_EQ(s.type, SHOT_BOMB);
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(ShotStep(s));
        EXPECT_EQ(s.step, 0);
    }
    EXPECT_FALSE(ShotStep(s)); // the 21st cycle moves it
    EXPECT_EQ(s.step, 1);
}

TEST_F(ShotTest, AShooterWithoutATowerFiresFromItself)
{
    TUnit* gun = world.AddUnit(0, testworld::kFieldGun, 10, 40);
    gun->TargetX = gun->X + 150.0f;
    gun->TargetY = gun->Y;
    world.SetNextRandomValues({0, 0});
    ASSERT_EQ(AddShot(0, gun, nullptr, nullptr), SHOT_FIRED);
    EXPECT_EQ(g_ShotList->startX, gun->X);
    EXPECT_EQ(g_ShotList->startY, gun->Y);
}

TEST_F(ShotTest, TheSourceIsForgottenWhenItsUnitLeaves)
{
    TUnit* thrower = world.AddUnit(0, testworld::kRifleman, 10, 40);
    thrower->TargetX = thrower->X + 100.0f;
    thrower->TargetY = thrower->Y;
    ASSERT_EQ(AddShot(SHOT_SOURCE_GRENADE, thrower, nullptr, nullptr), SHOT_FIRED);
    EXPECT_EQ(g_ShotList->source.Get(), thrower);
    thrower->Dead = 1;
    EXPECT_EQ(g_ShotList->source.Get(), nullptr);
}

// The sample loop against the map under the flight path: where each kind of shot ends.
TEST_F(ShotTest, SampleLoopMeetsGroundHousesTreesAndTheMapEdge)
{
    const float x0 = 1000, y0 = 1000, z = 50;
    // Plain ground: the shell lands at its aim.
    {
        TShot s;
        ASSERT_TRUE(BuildShot(Params(0, x0, y0, z, x0 + 600, y0, z), s));
        ASSERT_GT(Fly(s), 0);
        EXPECT_EQ(s.silent, 0);
        EXPECT_NEAR(s.x, x0 + 600, 40.0f);
    }
    // A sample leaving the map ends the shot silently.
    {
        TShot s;
        ASSERT_TRUE(BuildShot(Params(0, x0, y0, z, x0 + 6000, y0, z), s));
        ASSERT_GT(Fly(s), 0);
        EXPECT_EQ(s.silent, 1);
    }
    // A neutral house (60 high) on the way stops a flat shell in front of it.
    {
        plat::Point cell;
        GetCellFromPoint(x0 + 300, y0, cell);
        world.SetObject(cell.x, cell.y, 150);
        TShot s;
        ASSERT_TRUE(BuildShot(Params(0, x0, y0, z, x0 + 600, y0, z), s));
        ASSERT_GT(Fly(s), 0);
        EXPECT_LT(s.x, x0 + 400);
        EXPECT_FLOAT_EQ(s.z, static_cast<float>(GetLandHeightF(s.x, s.y) + 60 + 15));
        // An anti-aircraft shell passes over everything and bursts at its aim.
        TShot aa;
        ASSERT_TRUE(BuildShot(Params(SHOT_ANTI_AIRCRAFT, x0, y0, z, x0 + 600, y0, z), aa));
        ASSERT_GT(Fly(aa), 0);
        EXPECT_NEAR(aa.x, x0 + 600, 80.0f);
        world.SetObject(cell.x, cell.y, 0);
    }
    // A torpedo on dry land ends at once, with its burst.
    {
        TShot s;
        ASSERT_TRUE(BuildShot(Params(SHOT_TORPEDO, x0, y0, 55, x0 + 600, y0, 55), s));
        EXPECT_EQ(Fly(s), 1);
        EXPECT_EQ(s.silent, 0);
    }
    // Over open water a torpedo that meets no ship runs to its aim and ends there silently.
    {
        auto* water = new TWaterMap();
        water->m_Width = static_cast<std::uint16_t>(2 * g_MapWidth);
        water->m_Height = static_cast<std::uint16_t>(g_MapHeight);
        water->m_Grid.assign(static_cast<std::size_t>(water->m_Width) * water->m_Height, 1);
        g_pWater = water;
        TShot s;
        ASSERT_TRUE(BuildShot(Params(SHOT_TORPEDO, x0, y0, 55, x0 + 600, y0, 55), s));
        EXPECT_GT(Fly(s), 1);
        EXPECT_EQ(s.silent, 1);
        EXPECT_NEAR(s.x, x0 + 600, 40.0f);
        g_pWater = nullptr;
        delete water;
    }
}

// A torpedo running over open water strikes the first ship on its way, whoever owns it, except
// the ship that fired it; only a ship of an enemy turns on the firer.
TEST_F(ShotTest, ATorpedoHitsAnyShipButItsFirer)
{
    const testworld::OpenSea sea;
    const struct {
        const char* name;
        std::uint8_t targetPlayer;
        bool targetIsFirer;
        bool hits;
        bool turnsOnFirer;
    } cases[] = {
        {"enemy ship", 1, false, true, true},
        {"friendly ship", 0, false, true, false},
        {"the ship that fired it", 0, true, false, false},
    };
    for (const auto& k : cases) {
        const testworld::TPixel at = testworld::CellCentre(20, 60);
        TUnit* target = world.AddUnit(k.targetPlayer, testworld::kDestroyer, 20, 60);
        TUnit* firer = k.targetIsFirer ? target : world.AddUnit(0, testworld::kDestroyer, 8, 20);
        ASSERT_NE(target, nullptr) << k.name;
        ASSERT_NE(firer, nullptr) << k.name;
        std::vector<TUnit*> listed;
        for (TUnit* u : {target, firer})
            if (std::find(g_ShipUnits.begin(), g_ShipUnits.end(), u) == g_ShipUnits.end()) {
                g_ShipUnits.push_back(u);
                listed.push_back(u);
            }
        for (TUnit* u : {target, firer})
            u->m_bMaySearch = 1;
        target->HitPoints = 1000.0f;
        // The torpedo runs along a row through the middle of the target's hull.
        const float row = target->Y - target->GroundHeight + 55.0f;
        ASSERT_EQ(ShipQuery(at.x, row, UNIT_NO_PLAYER), target) << k.name;
        TShotParams p = Params(SHOT_TORPEDO, at.x - 400, row, 55, at.x + 400, row, 55);
        p.owner = 0;
        p.source = firer;
        p.damage = 100;
        TShot s;
        ASSERT_TRUE(BuildShot(p, s)) << k.name;
        ASSERT_EQ(s.source.Get(), firer) << k.name;
        ASSERT_GT(Fly(s), 0) << k.name;
        EXPECT_EQ(s.silent, 1) << k.name << ": the hit makes its own burst, a miss ends quietly";
        bool burst = false;
        for (const TExplosion* e = g_ExplosionList; e; e = e->next)
            burst = burst || (e->object == target && e->type == 8);
        if (k.hits) {
            EXPECT_LT(s.x, at.x + 100) << k.name;
            EXPECT_FLOAT_EQ(target->HitPoints, 900.0f) << k.name;
            EXPECT_TRUE(burst) << k.name;
        } else {
            EXPECT_NEAR(s.x, at.x + 400, 40.0f) << k.name;
            EXPECT_FLOAT_EQ(target->HitPoints, 1000.0f) << k.name;
            EXPECT_FALSE(burst) << k.name;
        }
        EXPECT_EQ(target->AttackUnit == firer, k.turnsOnFirer) << k.name;
        for (TUnit* u : listed)
            g_ShipUnits.erase(std::find(g_ShipUnits.begin(), g_ShipUnits.end(), u));
        for (TUnit* u : {target, firer})
            u->Dead = 1;
        ExplosionsFree();
        ini_explo();
    }
}

TEST_F(ShotTest, AShellThatHitsAHouseScattersNoFragments)
{
    // A player's building of the sample house table under the flight path.
    THouse& h = g_pHouse[1][0];
    h.TypeRecord = &HouseType(0, 1);
    h.Destroyed = 0;
    const std::uint16_t oldHeight = HouseType(0, 1).m_SpriteHeight;
    HouseType(0, 1).m_SpriteHeight = 400; // 80 pixels high to a shell
    NumHouse[1] = 1;
    plat::Point cell;
    GetCellFromPoint(1300, 1000, cell);
    h.X = cell.x;
    h.Y = cell.y;
    world.SetObject(cell.x, cell.y, 2000);
    TShot s;
    ASSERT_TRUE(BuildShot(Params(1, 1000, 1000, 50, 1600, 1000, 50), s));
    EXPECT_EQ(s.Fragments, 2);
    ASSERT_GT(Fly(s), 0);
    EXPECT_EQ(s.Fragments, 0);
    EXPECT_LT(s.x, 1400);
    world.SetObject(cell.x, cell.y, 0);
    NumHouse[1] = 0;
    HouseType(0, 1).m_SpriteHeight = oldHeight;
}

TEST_F(ShotTest, TreesStopAShellOnlyOnTheirDraw)
{
    plat::Point cell;
    GetCellFromPoint(1300, 1000, cell);
    world.SetObject(cell.x, cell.y, 9001);
    // Every draw of the table answers 1 over the tree: the shell is caught there.
    for (std::size_t i = 0; i < kRandTableSize; ++i)
        g_RandTable[i] = 1;
    TShot s;
    ASSERT_TRUE(BuildShot(Params(0, 1000, 1000, 50, 1600, 1000, 50), s));
    ASSERT_GT(Fly(s), 0);
    EXPECT_LT(s.x, 1400);
    // With 0 it flies through.
    for (std::size_t i = 0; i < kRandTableSize; ++i)
        g_RandTable[i] = 0;
    TShot t;
    ASSERT_TRUE(BuildShot(Params(0, 1000, 1000, 50, 1600, 1000, 50), t));
    ASSERT_GT(Fly(t), 0);
    EXPECT_GT(t.x, 1500);
    world.SetObject(cell.x, cell.y, 0);
}

TEST_F(ShotTest, FragmentsScatterAroundTheImpactWithinTwiceTheDraw)
{
    TShot s;
    ASSERT_TRUE(BuildShot(Params(0, 1000, 1000, 50, 1400, 1000, 50), s));
    s.x = 1500;
    s.y = 1000;
    s.z = 60;
    world.SetRandomIndex(500);
    ScatterFragments(s, 2);
    EXPECT_EQ(g_RandIndex, 500 + 2 * 8);
    std::vector<int> types;
    for (const TShot* f = g_ShotList; f; f = f->next) {
        types.push_back(f->type);
        EXPECT_EQ(f->owner, SHOT_NO_OWNER);
        EXPECT_TRUE(f->source.Empty());
        EXPECT_EQ(f->silent, 1);
        EXPECT_EQ(f->startX, 1500.0f);
        const double d = std::hypot(f->aimX - 1500.0, f->aimY - 1000.0);
        EXPECT_LE(d, 2.0 * 0.49 * s.BlastRadius + 0.01);
    }
    // Each goes to the head, so the list holds the set backwards.
    EXPECT_EQ(types, (std::vector<int>{11, 12, 11, 10, 10, 12, 10, 10}));
}

TEST_F(ShotTest, ExplosionTypeOfALandingShellAndItsDraws)
{
    struct Case {
        std::uint8_t shot;
        std::uint16_t value;
        std::uint32_t want;
        std::uint16_t draws;
    } cases[] = {
        {0, 5, 29, 1}, {1, 3, 27, 1},  {3, 9, 8, 1},   {4, 0, 8, 1},   {5, 1, 3, 1},  {5, 2, 2, 1},
        {6, 4, 25, 1}, {7, 9, 27, 0},  {8, 2, 23, 1},  {2, 0, 15, 1},  {9, 1, 16, 1}, {12, 2, 17, 1},
    };
    for (const Case& c : cases) {
        world.SetRandomIndex(1000);
        world.SetNextRandomValues({c.value});
        EXPECT_EQ(ShotExplosionType(c.shot), c.want) << int(c.shot);
        EXPECT_EQ(g_RandIndex, 1000 + c.draws) << int(c.shot);
    }
}

TEST_F(ShotTest, UpdateShotsBurstsLandedShellsAndLaunchesTheirFragments)
{
    g_ExploSprites[27] = new TExploSprites; // no frames, no archive needed
    g_ExploSprites[28] = new TExploSprites;
    g_ExploSprites[29] = new TExploSprites;
    TShotParams p = Params(0, 1000, 1000, 50, 1010, 1000, 50);
    TShot* s = new TShot;
    ASSERT_TRUE(BuildShot(p, *s));
    g_ShotList = s;
    int cycles = 0;
    while (g_ShotList == s && cycles < 100) {
        UpdateShots();
        ++cycles;
    }
    EXPECT_EQ(g_ExplosionsMade, 1u);
    EXPECT_EQ(CountShots(), 6); // fragment set 1
}

TEST_F(ShotTest, ARecordRoundTripsByteForByte)
{
    TShot s;
    ASSERT_TRUE(BuildShot(Params(4, 1000, 1200, 55, 1500, 1300, 40), s));
    s.step = 3;
    s.delay = 5;
    s.gas = 1;
    std::array<std::uint8_t, SHOT_RECORD_SIZE> a{}, b{};
    WriteShotRecord(s, a);
    EXPECT_EQ(a[202], 4);
    EXPECT_EQ(a[200], 5);
    TShot t;
    bool hasSource = true;
    ReadShotRecord(a, t, hasSource);
    EXPECT_FALSE(hasSource);
    WriteShotRecord(t, b);
    EXPECT_EQ(a, b);
}

// The shots step in list order: a loaded game must step them as the saving game would have.
TEST_F(ShotTest, SaveAndLoadKeepTheShotsTheirSourceAndTheirOrder)
{
    TUnit* thrower = world.AddUnit(0, testworld::kRifleman, 10, 40);
    for (float dx : {100.0f, 150.0f}) {
        thrower->TargetX = thrower->X + dx;
        thrower->TargetY = thrower->Y;
        ASSERT_EQ(AddShot(SHOT_SOURCE_GRENADE, thrower, nullptr, nullptr), SHOT_FIRED);
    }
    TOfStreamMemory out;
    SaveShots(out);
    EXPECT_EQ(out.Size(), 4 + 2 * (SHOT_RECORD_SIZE + 3));
    const float firstAim = g_ShotList->aimX;
    TIfStreamMemory in(out.Data(), out.Size());
    ASSERT_TRUE(LoadShots(in));
    ASSERT_EQ(CountShots(), 2);
    EXPECT_EQ(g_ShotList->aimX, firstAim);
    EXPECT_NE(g_ShotList->next->aimX, firstAim);
    EXPECT_EQ(g_ShotList->next->prev, g_ShotList);
    EXPECT_EQ(g_ShotList->source.Get(), thrower);
    TOfStreamMemory again;
    SaveShots(again);
    ASSERT_EQ(again.Size(), out.Size());
    EXPECT_EQ(std::memcmp(again.Data(), out.Data(), out.Size()), 0);
}

TEST_F(ShotTest, DamagedShotRecordsAreDroppedAndAShortBlockFails)
{
    TShot s;
    ASSERT_TRUE(BuildShot(Params(0, 1000, 1000, 50, 1400, 1000, 50), s));
    std::array<std::uint8_t, SHOT_RECORD_SIZE> rec{};
    struct Case {
        std::size_t at;
        std::uint8_t value;
    } cases[] = {{202, 13}, {203, 9}, {204, 3}};
    for (const Case& c : cases) {
        WriteShotRecord(s, rec);
        rec[c.at] = c.value;
        TOfStreamMemory out;
        out.WriteU32(1);
        out.Write(rec.data(), SHOT_RECORD_SIZE);
        TIfStreamMemory in(out.Data(), out.Size());
        EXPECT_TRUE(LoadShots(in));
        EXPECT_EQ(CountShots(), 0) << c.at;
    }
    // A source slot names a player that does not exist: the shot stays, without a source.
    WriteShotRecord(s, rec);
    rec[176] = 1;
    TOfStreamMemory out;
    out.WriteU32(2);
    out.Write(rec.data(), SHOT_RECORD_SIZE);
    out.WriteU8(7);
    out.WriteU16(999);
    out.Write(rec.data(), 100); // cut short
    TIfStreamMemory in(out.Data(), out.Size());
    EXPECT_FALSE(LoadShots(in));
    ASSERT_EQ(CountShots(), 1);
    EXPECT_EQ(g_ShotList->source.Get(), nullptr);
}

} // namespace
