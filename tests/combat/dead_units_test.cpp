#include "combat/dead_units.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "combat/explosions.h"
#include "combat/unit_behaviour.h"
#include "combat/work_states.h"
#include "map/map_grid.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

using testworld::TestWorld;

struct TMadeExplosion {
    bool visual = false;
    std::uint32_t kind = 0;
    std::int32_t x = 0, y = 0, z = 0;
    std::uint32_t type = 0;
    std::int32_t damage = 0, radius = 0;
    std::uint8_t flag = 0;
    TExplosion* made = nullptr;
};

// A world whose dead units' explosions are recorded, not made.
class DeadWorld : public TestWorld {
public:
    DeadWorld() : TestWorld(40, 80)
    {
        m_Saved = DeadUnitServices();
        TDeadUnitServices& s = DeadUnitServices();
        s.addExplosion = [this](std::uint32_t kind, std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t type,
                                std::int32_t damage, std::int32_t radius, std::uint8_t flag) {
            return Record({false, kind, x, y, z, type, damage, radius, flag});
        };
        s.addVisualExplosion = [this](std::uint32_t kind, std::int32_t x, std::int32_t y, std::int32_t z,
                                      std::uint32_t type) { return Record({true, kind, x, y, z, type, 0, 0, 0}); };
        s.isWater = [this](std::int32_t x, std::int32_t y) { return water.count({x, y}) != 0; };
    }
    ~DeadWorld() { DeadUnitServices() = m_Saved; }

    // A unit just taken out of the game, lying where it stood.
    TUnit* Dying(std::uint16_t type, std::int32_t cx, std::int32_t cy)
    {
        TUnit* u = AddUnit(0, type, cx, cy);
        u->Dead = 1;
        u->Work = UNIT_NO_WORK;
        u->WorkObject = DEAD_COUNTER_START;
        u->NumWork = ANIM_DEATH_FIRST;
        u->NumSprite = 0.0f;
        return u;
    }
    // A shot-down aircraft falling from height h above the ground.
    TUnit* Falling(std::int32_t cx, std::int32_t cy, float h)
    {
        TUnit* u = Dying(testworld::kFighter, cx, cy);
        u->Work = WORK_REMOVED;
        u->NumWork = 0;
        u->Height = h;
        u->VX = u->VY = 0.0f;
        u->Basic->Speed = 20.0f; // falls 10 pixels a cycle
        return u;
    }
    // One cycle of the dead unit; true when it deleted itself.
    static bool Step(TUnit* u)
    {
        TUnit* current = u;
        MakeMoveForDead(&current);
        return current != u;
    }
    bool InPlayerList(const TUnit* u) const
    {
        for (TUnit* v = Player(0)->FirstUnit; v != nullptr; v = v->m_pNext)
            if (v == u)
                return true;
        return false;
    }
    std::vector<TMadeExplosion> Damaging() const
    {
        std::vector<TMadeExplosion> out;
        for (const TMadeExplosion& e : made)
            if (e.damage != 0)
                out.push_back(e);
        return out;
    }

    std::vector<TMadeExplosion> made;
    std::set<std::pair<std::int32_t, std::int32_t>> water;

private:
    TExplosion* Record(TMadeExplosion e)
    {
        m_Explosions.push_back(std::make_unique<TExplosion>());
        e.made = m_Explosions.back().get();
        made.push_back(e);
        return e.made;
    }

    TDeadUnitServices m_Saved;
    std::vector<std::unique_ptr<TExplosion>> m_Explosions;
};

} // namespace

TEST(DeadUnits, ASoldierLiesOnItsLastFrameForAboutFifteenHundredCyclesAndIsDeleted)
{
    DeadWorld w;
    TUnit* u = w.Dying(testworld::kRifleman, 10, 20);
    const std::uint16_t cx = u->MapX, cy = u->MapY;
    int cycles = 0;
    bool leftCell = false;
    float lastFrame = -1.0f;
    while (!DeadWorld::Step(u)) {
        ++cycles;
        ASSERT_LT(cycles, 3000) << "the corpse is never deleted";
        const auto in = TestWorld::UnitsIn(cx, cy);
        const bool listed = std::find(in.begin(), in.end(), u) != in.end();
        if (!listed && !leftCell) {
            leftCell = true;
            EXPECT_EQ(u->WorkObject, 61999);
        }
        if (leftCell)
            EXPECT_FALSE(listed) << "a corpse once out of its cell's list stays out";
        if (u->WorkObject < DEAD_COUNTER_START) {
            if (lastFrame >= 0.0f)
                EXPECT_EQ(u->NumSprite, lastFrame) << "the last frame stays";
            lastFrame = u->NumSprite;
        }
    }
    EXPECT_TRUE(leftCell);
    // (65535 - 20000) / 30 cycles less the jump over 1000, plus the death animation.
    EXPECT_GE(cycles, 1450);
    EXPECT_LE(cycles, 1550);
    EXPECT_FALSE(w.InPlayerList(u));
    EXPECT_TRUE(w.made.empty()) << "a soldier makes no explosion";
}

TEST(DeadUnits, ATankWreckSmokesOnAboutTwoCyclesInThreeWhileItsCounterIsAbove59000)
{
    DeadWorld w;
    TUnit* u = w.Dying(testworld::kTank, 10, 20);
    int window = 0;
    int smoked = 0;
    for (int i = 0; i < 600; ++i) {
        const bool above = u->WorkObject > DEAD_TANK_SMOKE_ABOVE;
        const std::size_t before = w.made.size();
        ASSERT_FALSE(DeadWorld::Step(u));
        const bool smoke = w.made.size() > before;
        if (!above)
            EXPECT_FALSE(smoke) << "no smoke once the counter is at 59000 or below, cycle " << i;
        if (above)
            ++window;
        if (smoke) {
            ++smoked;
            const TMadeExplosion& e = w.made.back();
            EXPECT_TRUE(e.visual);
            EXPECT_EQ(e.type, 9u);
            EXPECT_EQ(e.made->risePerFrame, 3);
            EXPECT_EQ(e.z, static_cast<std::int32_t>(u->GroundHeight + 100.0f));
            EXPECT_GE(e.y, static_cast<std::int32_t>(u->Y) + 96);
            EXPECT_LE(e.y, static_cast<std::int32_t>(u->Y) + 100);
        }
    }
    // About 218 cycles of corpse time less the jump from 62999 to 61999, plus the death animation.
    EXPECT_GE(window, 180);
    EXPECT_LE(window, 260);
    EXPECT_GT(smoked, window / 2);
    EXPECT_LT(smoked, window * 5 / 6);
}

TEST(DeadUnits, AFallingAircraftCrashesIntoHillsAndBuildingsAndLandsOnGroundAndWater)
{
    enum Ground { kFlat, kHill, kBuilding, kWater };
    struct Row {
        const char* name;
        Ground ground;
        float height;       // above the ground when shot down
        bool deleted;       // after the first cycle
        std::int32_t damage; // of the one damaging explosion, 0 none
        std::int32_t radius;
        std::uint16_t delay;
    };
    const Row rows[] = {
        {"high over flat ground", kFlat, 150.0f, false, 0, 0, 0},
        {"into a hill", kHill, 150.0f, true, 800, 150, 0},
        {"low over a building", kBuilding, 80.0f, true, 800, 150, 0},
        {"high over a building", kBuilding, 150.0f, false, 0, 0, 0},
        {"onto the ground", kFlat, 5.0f, false, 300, 100, 10},
        {"into the water", kWater, 5.0f, true, 300, 100, 10},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        DeadWorld w;
        TUnit* u = w.Falling(10, 20, r.height);
        // The cell under it once it has moved (it keeps its point: no velocity).
        const plat::Point cell = PixelToFlatCell(u->X, u->Y);
        if (r.ground == kHill)
            w.SetHeight(cell.x, cell.y, 250);
        if (r.ground == kBuilding)
            w.SetObject(cell.x, cell.y, 1005);
        if (r.ground == kWater)
            w.water.insert({cell.x, cell.y});
        const float x = u->X, y = u->Y;
        EXPECT_EQ(DeadWorld::Step(u), r.deleted);
        EXPECT_EQ(w.InPlayerList(u), !r.deleted);
        const auto damaging = w.Damaging();
        if (r.damage == 0) {
            EXPECT_TRUE(damaging.empty());
            ASSERT_FALSE(w.made.empty()) << "a falling aircraft trails smoke";
            EXPECT_EQ(w.made.front().type, 9u);
            EXPECT_EQ(u->Work, WORK_REMOVED);
            continue;
        }
        ASSERT_EQ(damaging.size(), 1u);
        const TMadeExplosion& e = damaging.front();
        EXPECT_EQ(e.kind, EXPLOSION_GROUND);
        EXPECT_EQ(e.damage, r.damage);
        EXPECT_EQ(e.radius, r.radius);
        EXPECT_EQ(e.flag, 1);
        EXPECT_GE(e.type, 10u);
        EXPECT_LE(e.type, 13u);
        EXPECT_EQ(e.x, static_cast<std::int32_t>(x));
        EXPECT_EQ(e.y, static_cast<std::int32_t>(y));
        EXPECT_EQ(e.made->delay, r.delay);
        if (!r.deleted) {
            // The wreck on land follows the corpse rules.
            EXPECT_EQ(u->Work, UNIT_NO_WORK);
            EXPECT_EQ(u->NumWork, ANIM_DEATH_FIRST);
            EXPECT_EQ(u->WorkObject, DEAD_COUNTER_START);
            EXPECT_FALSE(DeadWorld::Step(u));
            EXPECT_EQ(w.Damaging().size(), 1u) << "the wreck lands once";
        }
    }
}

TEST(DeadUnits, AFallingAircraftEndsOnTheGroundWithinItsFall)
{
    DeadWorld w;
    TUnit* u = w.Falling(10, 20, 95.0f);
    int cycles = 0;
    while (u->Work == WORK_REMOVED) {
        ASSERT_FALSE(DeadWorld::Step(u));
        ASSERT_LT(++cycles, 20);
    }
    EXPECT_EQ(cycles, 10);
    // Bursts round it once it is 15 or lower.
    int bursts = 0;
    for (const TMadeExplosion& e : w.made)
        if (e.damage == 0 && e.type >= 10 && e.type <= 13)
            ++bursts;
    EXPECT_EQ(bursts, 2) << "at 15 and at 5 above the ground";
}

TEST(DeadUnits, ASunkShipIsDeletedWhen2400OfItsCounterHasRun)
{
    DeadWorld w;
    TUnit* ship = w.Dying(testworld::kDestroyer, 10, 20);
    ship->m_bShown = 1;
    int cycles = 0;
    bool tookWreck = false;
    while (!DeadWorld::Step(ship)) {
        tookWreck = tookWreck || ship->m_ShipParts2[ship->Orient] == 1;
        ASSERT_LT(++cycles, 400) << "the ship never goes";
        ASSERT_GE(static_cast<std::int32_t>(ship->WorkObject), DEAD_COUNTER_START - DEAD_SHIP_SINK);
    }
    EXPECT_TRUE(tookWreck);
    EXPECT_FALSE(w.InPlayerList(ship));

    TUnit* late = w.Dying(testworld::kDestroyer, 12, 20);
    late->m_bShown = 1;
    late->WorkObject = DEAD_COUNTER_START - DEAD_SHIP_SINK;
    EXPECT_TRUE(DeadWorld::Step(late));
    EXPECT_FALSE(w.InPlayerList(late));
}
