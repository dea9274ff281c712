#include "combat/timed_effects.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "combat/cycle_updates.h"
#include "combat/game_state.h"
#include "combat/ground_effects.h"
#include "core/memory_stream.h"
#include "map/map_grid.h"
#include "map/terrain.h"
#include "players/sim_checksum.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

using testworld::TestWorld;

struct TLanding {
    float x = 0.0f, y = 0.0f;
    TUnit* shooter = nullptr;
    bool hitOwnSide = false;
    float radius = 0.0f;
};

class HitsWorld : public TestWorld {
public:
    HitsWorld() : TestWorld(40, 80)
    {
        m_Saved = TimedEffectServices();
        TimedEffectServices().bulletToPoint = [this](float x, float y, TUnit* shooter, bool own, float radius) {
            landed.push_back({x, y, shooter, own, radius});
        };
        FreeTimedEffects();
    }
    ~HitsWorld()
    {
        FreeTimedEffects();
        TimedEffectServices() = m_Saved;
    }
    std::vector<TLanding> landed;

private:
    TTimedEffectServices m_Saved;
};

std::vector<std::uint8_t> Saved()
{
    TOfStreamMemory out;
    SaveTimedEffects(out);
    return {out.Data(), out.Data() + out.Size()};
}

bool Load(const std::vector<std::uint8_t>& bytes)
{
    TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    return LoadTimedEffects(in);
}

void PutU32(std::vector<std::uint8_t>& v, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}
void PutF32(std::vector<std::uint8_t>& v, float f)
{
    std::uint32_t x = 0;
    std::memcpy(&x, &f, 4);
    PutU32(v, x);
}
// One stored hit at (x, y), height 50, delay 2, with the shooter marker and its fields.
void PutHit(std::vector<std::uint8_t>& v, float x, float y, bool shooter, std::uint8_t player = 0, std::uint16_t index = 0)
{
    PutF32(v, x);
    PutF32(v, y);
    PutF32(v, 50.0f);
    v.insert(v.end(), {0, 0, 2, 0});
    PutU32(v, shooter ? 1 : 0);
    if (shooter)
        v.insert(v.end(), {player, static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(index >> 8)});
}

} // namespace

TEST(TimedEffects, AHitWithDelayThreeLandsOnTheFourthUpdate)
{
    HitsWorld w;
    TUnit* shooter = w.AddUnit(0, testworld::kFighter, 10, 20);
    TTimedEffect* hit = AddTimedEffect(500.0f, 600.0f);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->Height, static_cast<float>(GetLandHeightF(500.0f, 600.0f)));
    EXPECT_EQ(hit->Delay, 0);
    EXPECT_EQ(hit->Shooter, nullptr);
    hit->Delay = 3;
    hit->Shooter = shooter;
    for (int i = 1; i <= 3; ++i) {
        UpdateTimedEffects();
        EXPECT_TRUE(w.landed.empty()) << "update " << i;
        EXPECT_EQ(g_TimedEffects.size(), 1u);
    }
    UpdateTimedEffects();
    ASSERT_EQ(w.landed.size(), 1u);
    EXPECT_EQ(w.landed[0].x, 500.0f);
    EXPECT_EQ(w.landed[0].y, 600.0f);
    EXPECT_EQ(w.landed[0].shooter, shooter);
    EXPECT_TRUE(w.landed[0].hitOwnSide);
    EXPECT_EQ(w.landed[0].radius, 20.0f);
    EXPECT_TRUE(g_TimedEffects.empty());
}

TEST(TimedEffects, AShooterDeletedBeforeItsHitLandsIsForgottenAndTheHitDoesNoDamage)
{
    HitsWorld w;
    TUnit* shooter = w.AddUnit(0, testworld::kFighter, 10, 20);
    TTimedEffect* hit = AddTimedEffect(500.0f, 600.0f);
    hit->Delay = 1;
    hit->Shooter = shooter;
    TTimedEffect* other = AddTimedEffect(520.0f, 600.0f);
    other->Delay = 1;
    TUnit* stays = w.AddUnit(1, testworld::kFighter, 12, 20);
    other->Shooter = stays;
    shooter->WorkObject = UNIT_DELETE_PARAM;
    DeleteUnit(&shooter);
    EXPECT_EQ(hit->Shooter, nullptr);
    EXPECT_EQ(other->Shooter, stays);
    UpdateTimedEffects();
    UpdateTimedEffects();
    ASSERT_EQ(w.landed.size(), 1u);
    EXPECT_EQ(w.landed[0].shooter, stays);
    EXPECT_TRUE(g_TimedEffects.empty());
}

TEST(TimedEffects, HitsRoundTripThroughSaveAndLoad)
{
    HitsWorld w;
    TUnit* a = w.AddUnit(0, testworld::kFighter, 10, 20);
    TUnit* b = w.AddUnit(1, testworld::kFighter, 12, 20);
    const std::uint64_t empty = SimulationChecksum();
    struct Row {
        float x, y;
        std::uint16_t delay;
        TUnit* shooter;
    };
    const Row rows[] = {{100.5f, 200.0f, 3, a}, {300.0f, 400.25f, 0, nullptr}, {700.0f, 50.0f, 65535, b}};
    for (const Row& r : rows) {
        TTimedEffect* hit = AddTimedEffect(r.x, r.y);
        hit->Delay = r.delay;
        hit->Shooter = r.shooter;
    }
    const std::uint64_t full = SimulationChecksum();
    EXPECT_NE(full, empty) << "delayed hits are simulation state";
    const std::vector<std::uint8_t> bytes = Saved();
    EXPECT_EQ(bytes.size(), 4u + 3u * 20u + 2u * 3u);
    FreeTimedEffects();
    ASSERT_TRUE(Load(bytes));
    ASSERT_EQ(g_TimedEffects.size(), 3u);
    auto it = g_TimedEffects.begin();
    for (const Row& r : rows) {
        EXPECT_EQ(it->X, r.x);
        EXPECT_EQ(it->Y, r.y);
        EXPECT_EQ(it->Height, static_cast<float>(GetLandHeightF(r.x, r.y)));
        EXPECT_EQ(it->Delay, r.delay);
        EXPECT_EQ(it->Shooter, r.shooter);
        ++it;
    }
    EXPECT_EQ(SimulationChecksum(), full);
    EXPECT_EQ(Saved(), bytes);
}

TEST(TimedEffects, ALoadedHitNamingNoUnitHasNoShooterAndABadBlockIsRefused)
{
    HitsWorld w;
    TUnit* a = w.AddUnit(0, testworld::kFighter, 10, 20);
    std::vector<std::uint8_t> bytes;
    PutU32(bytes, 4);
    PutHit(bytes, 10.0f, 20.0f, true, 9, 0);      // no such player
    PutHit(bytes, 10.0f, 20.0f, true, 0, 999);    // no such index
    PutHit(bytes, 10.0f, 20.0f, true, 0, a->m_Index);
    PutHit(bytes, 10.0f, 20.0f, false);
    ASSERT_TRUE(Load(bytes));
    ASSERT_EQ(g_TimedEffects.size(), 4u);
    const TUnit* expected[] = {nullptr, nullptr, a, nullptr};
    int i = 0;
    for (const TTimedEffect& hit : g_TimedEffects)
        EXPECT_EQ(hit.Shooter, expected[i++]);

    struct Bad {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Bad> bad;
    bad.push_back({"no count", {1, 0}});
    {
        std::vector<std::uint8_t> v;
        PutU32(v, 1000000);
        PutHit(v, 1.0f, 2.0f, false);
        bad.push_back({"a count beyond the block", v});
    }
    {
        std::vector<std::uint8_t> v;
        PutU32(v, 1);
        PutHit(v, 1.0f, 2.0f, true, 0, 0);
        v.resize(v.size() - 2);
        bad.push_back({"a shooter cut short", v});
    }
    {
        std::vector<std::uint8_t> v;
        PutU32(v, 1);
        PutHit(v, std::numeric_limits<float>::quiet_NaN(), 2.0f, false);
        bad.push_back({"a hit at no point", v});
    }
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        EXPECT_FALSE(Load(b.bytes));
        EXPECT_TRUE(g_TimedEffects.empty());
    }
}

// ---- house fires and rings ------------------------------------------------------------------------

TEST(HouseFires, TheFireLevelGrowsAsTheHitPointsFallBelowHalf)
{
    struct Row {
        float hp;
        std::uint16_t max;
        std::int32_t level;
    };
    const Row rows[] = {
        {1000.0f, 1000, -1}, {500.0f, 1000, -1}, {499.0f, 1000, 0}, {376.0f, 1000, 0}, {375.0f, 1000, 1},
        {250.0f, 1000, 2},   {125.0f, 1000, 3},  {1.0f, 1000, 3},   {0.0f, 1000, 3},   {-50.0f, 1000, 3},
        {0.0f, 1, -1},       {0.0f, 0, -1},      {9.0f, 21, 0},      {10.0f, 21, -1},
    };
    for (const Row& r : rows)
        EXPECT_EQ(HouseFireLevel(r.hp, r.max), r.level) << r.hp << " of " << r.max;
}

TEST(HouseFires, AFirePointStandsOnTheGroundPlusThePictureDepthAndOnlyAStandingDamagedBuildingBurns)
{
    TestWorld w(40, 80);
    w.SetHeight(10, 20, 60);
    THouseType type;
    type.m_SpriteWidth = 4;
    type.m_SpriteHeight = 3;
    type.m_HitPoints = 1000;
    auto phase = std::make_unique<CHousePhaseGraphic>();
    phase->m_pDepth = new std::uint16_t[12]{0, 1, 2, 3, 10, 11, 32767, 0x8000, 20, 21, 22, 23};
    phase->m_State.store(PHASE_LOADED);
    type.m_pFinishedPhase = phase.get();
    THouse h;
    h.TypeRecord = &type;
    h.X = 10;
    h.Y = 20;
    h.Owner = 1;
    h.MaxHitPoints = 1000;
    h.HitPoints = 300.0f;

    struct Point {
        std::int16_t x, y;
        bool found;
        std::int32_t height;
    };
    const Point points[] = {{0, 0, true, 60},  {1, 1, true, 71},   {3, 2, true, 83},  {2, 1, false, 0},
                            {3, 1, false, 0},  {4, 0, false, 0},   {0, 3, false, 0},  {-1, 0, false, 0}};
    for (const Point& p : points) {
        std::int32_t height = -1;
        EXPECT_EQ(HouseFirePointHeight(h, p.x, p.y, height), p.found) << p.x << "," << p.y;
        if (p.found)
            EXPECT_EQ(height, p.height) << p.x << "," << p.y;
    }

    EXPECT_TRUE(HouseMayBurn(h));
    struct Change {
        const char* name;
        void (*apply)(THouse&, CHousePhaseGraphic&);
    };
    const Change changes[] = {
        {"no owner", [](THouse& x, CHousePhaseGraphic&) { x.Owner = HOUSE_NO_OWNER; }},
        {"destroyed", [](THouse& x, CHousePhaseGraphic&) { x.Destroyed = 1; }},
        {"under construction", [](THouse& x, CHousePhaseGraphic&) { x.BuildWork = 5; }},
        {"picture not loaded", [](THouse&, CHousePhaseGraphic& g) { g.m_State.store(PHASE_LOADING); }},
    };
    for (const Change& c : changes) {
        THouse copy;
        copy.TypeRecord = h.TypeRecord;
        copy.Owner = h.Owner;
        c.apply(copy, *phase);
        EXPECT_FALSE(HouseMayBurn(copy)) << c.name;
        phase->m_State.store(PHASE_LOADED);
    }
}

TEST(GroundRings, PointsLieOnTheEllipseOnTheTerrainAndSmallOrHugeRingsHaveNone)
{
    TestWorld w(60, 200);
    TRing ring;
    ring.Set(2000.0f, 1500.0f, 7.0f, 200.0f, nullptr);
    ASSERT_EQ(ring.Count(), 99);
    EXPECT_FLOAT_EQ(ring.Point(0).x, 2200.0f);
    EXPECT_FLOAT_EQ(ring.Point(0).y, 1500.0f);
    for (std::uint16_t i = 0; i < ring.Count(); ++i) {
        const TRingPoint& p = ring.Point(i);
        const float u = (p.x - 2000.0f) / 200.0f;
        const float v = (p.y - 1500.0f) / 100.0f;
        EXPECT_NEAR(u * u + v * v, 1.0f, 1e-3f) << "point " << i;
        EXPECT_EQ(p.z, static_cast<float>(GetLandHeightF(p.x, p.y)) + 26.0f);
    }
    EXPECT_NEAR(ring.Point(49).x, 1800.0f, 0.05f) << "half way round is the far side";
    EXPECT_NEAR(ring.Point(98).x, 2200.0f, 0.05f);
    EXPECT_NEAR(ring.Point(98).y, 1500.0f, 0.05f);

    // Beyond the map's margins a point keeps the centre's height.
    ring.SetCenter(60.0f, 1500.0f, 7.0f);
    EXPECT_EQ(ring.Point(49).z, 7.0f);

    struct Row {
        float radius;
        std::uint16_t count;
    };
    const Row rows[] = {{2048.0f, 0}, {5000.0f, 0}, {2047.0f, 1022}, {0.0f, 0}, {3.0f, 0}, {4.0f, 0}, {5.0f, 2}, {-10.0f, 0}};
    for (const Row& r : rows) {
        ring.Set(2000.0f, 1500.0f, 0.0f, r.radius, nullptr);
        EXPECT_EQ(ring.Count(), r.count) << "radius " << r.radius;
        ring.Draw(); // nothing to draw with: never a fault
    }
    ring.SetRadius(100);
    EXPECT_EQ(ring.Count(), 49);
    ring.Free();
    EXPECT_EQ(ring.Count(), 0);
}
