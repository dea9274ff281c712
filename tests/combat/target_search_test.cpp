#include "combat/target_search.h"

#include <gtest/gtest.h>

#include "combat/target_grid.h"
#include "map/map_grid.h"
#include "support/test_world.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace {

using testworld::TestWorld;

constexpr std::uint16_t kRange = 400;

// A searcher of player 0 ready to search, its type's range set, at a pixel point.
TUnit* Searcher(TestWorld& w, std::uint16_t type, float x, float y)
{
    TUnit* u = w.AddUnit(0, type, 2, 2);
    u->X = x;
    u->Y = y;
    u->m_bMaySearch = 1;
    u->Work = UNIT_NO_WORK;
    u->Basic->Range[0] = kRange;
    return u;
}

TUnit* Enemy(TestWorld& w, std::uint16_t type, float x, float y)
{
    TUnit* v = w.AddUnit(1, type, 3, 3);
    v->X = x;
    v->Y = y;
    v->Work = UNIT_NO_WORK;
    return v;
}

void FileAll(const std::vector<TUnit*>& units)
{
    ResetTargetGrid();
    for (TUnit* u : units)
        AddUnitToTargetGrid(u);
}

TEST(TargetSearch, ListSizeFallsWithPopulation)
{
    const struct {
        std::uint32_t population;
        std::size_t k;
    } cases[] = {{0, 5}, {2000, 5}, {2001, 3}, {3000, 3}, {3001, 2}, {4000, 2}, {4001, 1}, {5000, 1}, {9000, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(SearchListSize(c.population), c.k) << c.population;
}

TEST(TargetSearch, CandidateListKeepsTheNearestInSearchOrder)
{
    int a = 0, b = 0, c = 0, d = 0;
    auto* ua = reinterpret_cast<TUnit*>(&a);
    auto* ub = reinterpret_cast<TUnit*>(&b);
    auto* uc = reinterpret_cast<TUnit*>(&c);
    auto* ud = reinterpret_cast<TUnit*>(&d);
    TCandidateList list(2, 100.0f);
    list.Offer(ua, 100.0f); // at the limit: not taken
    list.Offer(ua, 80.0f);
    list.Offer(ub, 90.0f);
    EXPECT_EQ(list.Count(), 2u);
    list.Offer(uc, 85.0f); // between: b drops out, the limit becomes 85
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.At(0), ua);
    EXPECT_EQ(list.At(1), uc);
    EXPECT_FLOAT_EQ(list.Limit(), 85.0f);
    list.Offer(ud, 86.0f);
    EXPECT_EQ(list.At(1), uc);
}

// Where the enemy stands relative to a searcher, and whether the search attacks it.
TEST(TargetSearch, WindowsByRangeKindAndAir)
{
    // Grid cells are 480 x 240 pixels; the map is 40 x 80 cells (3840 x 1920 pixels).
    const struct {
        const char* name;
        std::uint16_t searcher;
        float sx, sy;
        std::uint16_t enemy;
        float dx, dy;
        bool attacked;
    } cases[] = {
        {"near, same cell", testworld::kRifleman, 1000, 1000, testworld::kRifleman, 100, 0, true},
        {"in the window's bottom row", testworld::kRifleman, 1000, 950, testworld::kRifleman, 0, 300, true},
        {"just inside the range", testworld::kRifleman, 1000, 1000, testworld::kRifleman, 399, 0, true},
        {"at the range", testworld::kRifleman, 1000, 1000, testworld::kRifleman, 400, 0, false},
        {"at the map's top-left edge", testworld::kRifleman, 150, 150, testworld::kRifleman, -100, -100, true},
        {"at the map's bottom-right edge", testworld::kRifleman, 3700, 1800, testworld::kRifleman, 130, 110, true},
        {"worker: only its own cell", testworld::kWorker, 1000, 1000, testworld::kRifleman, 140, 0, true},
        {"worker: beyond 150", testworld::kWorker, 1000, 1000, testworld::kRifleman, 160, 0, false},
        {"tank gun ignores aircraft", testworld::kTank, 1000, 1000, testworld::kFighter, 100, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestWorld w(40, 80);
        TUnit* u = Searcher(w, c.searcher, c.sx, c.sy);
        TUnit* v = Enemy(w, c.enemy, c.sx + c.dx, c.sy + c.dy);
        if (v->Basic->m_bAir != 0)
            v->Height = 200.0f;
        FileAll({u, v});
        w.SetRandomIndex(0);
        const bool found = UnitSearchTarget(u);
        EXPECT_EQ(found, c.attacked);
        // An enemy on the map's outer border is ordered but no way leads there; the attack ends at once.
        if (c.sx + c.dx > 100.0f)
            EXPECT_EQ(u->AttackUnit == v, c.attacked);
    }
}

TEST(TargetSearch, PointBlankEnemyWinsOverNearerListedOnes)
{
    TestWorld w(40, 80);
    TUnit* u = Searcher(w, testworld::kRifleman, 1000, 1000);
    std::vector<TUnit*> all{u};
    for (int i = 0; i < 4; ++i)
        all.push_back(Enemy(w, testworld::kRifleman, 1000 + 300 - 20 * i, 1000));
    TUnit* close = Enemy(w, testworld::kRifleman, 1040, 1000);
    all.push_back(close);
    FileAll(all);
    // Whatever the random value, the list holds the one point-blank enemy.
    w.SetNextRandomValues({3});
    EXPECT_TRUE(UnitSearchTarget(u));
    EXPECT_EQ(u->AttackUnit, close);
}

TEST(TargetSearch, AlliesDeadAndShelteredAreNoTargets)
{
    TestWorld w(40, 80, {{0, 1}, {1, 1}, {2, 0}});
    TUnit* u = Searcher(w, testworld::kRifleman, 1000, 1000);
    TUnit* ally = w.AddUnit(1, testworld::kRifleman, 3, 3);
    ally->X = 1100;
    ally->Y = 1000;
    TUnit* dead = w.AddUnit(2, testworld::kRifleman, 3, 3);
    dead->X = 1100;
    dead->Y = 1010;
    dead->Dead = 1;
    TUnit* sheltered = w.AddUnit(2, testworld::kRifleman, 3, 3);
    sheltered->X = 1100;
    sheltered->Y = 1020;
    sheltered->Work = STAY_IN_HOUSE;
    FileAll({u, ally, dead, sheltered});
    EXPECT_FALSE(UnitSearchTarget(u));
    EXPECT_EQ(u->AttackUnit, nullptr);
}

TEST(TargetSearch, SearchIsRefusedWhileHeldOrDelayed)
{
    TestWorld w(40, 80);
    TUnit* u = Searcher(w, testworld::kRifleman, 1000, 1000);
    TUnit* v = Enemy(w, testworld::kRifleman, 1100, 1000);
    FileAll({u, v});
    u->m_bHold = 1;
    EXPECT_FALSE(UnitSearchTarget(u));
    u->m_bHold = 0;
    u->m_SearchDelay = 5;
    EXPECT_FALSE(UnitSearchTarget(u));
    u->m_SearchDelay = 0;
    u->m_bMaySearch = 0;
    EXPECT_FALSE(UnitSearchTarget(u));
    EXPECT_EQ(u->AttackUnit, nullptr);
}

TEST(TargetSearch, DeletedUnitLeavesTheGridAndItsHunters)
{
    TestWorld w(40, 80);
    TUnit* hunter = Searcher(w, testworld::kRifleman, 1000, 1000);
    TUnit* other = Searcher(w, testworld::kRifleman, 1010, 1000);
    TUnit* prey = Enemy(w, testworld::kRifleman, 1100, 1000);
    FileAll({hunter, other, prey});
    ASSERT_TRUE(UnitSearchTarget(hunter));
    ASSERT_EQ(hunter->AttackUnit, prey);
    hunter->GunTarget = prey;
    prey->WorkObject = UNIT_DELETE_PARAM;
    DeleteUnit(&prey);
    EXPECT_EQ(hunter->AttackUnit, nullptr);
    EXPECT_EQ(hunter->GunTarget, nullptr);
    // The grid entry would have lived until the next refill; the sanitizers catch any read of it.
    EXPECT_FALSE(UnitSearchTarget(other));
    for (std::size_t c = 0; c < g_TargetGrid.CellCount(); ++c)
        for (const TUnit* f : g_TargetGrid.UnitsAt(c))
            EXPECT_TRUE(f == hunter || f == other);
}

TEST(TargetSearch, MachineGunScanTakesNearGroundUnitsOnly)
{
    TestWorld w(40, 80);
    TUnit* tank = w.AddUnit(0, testworld::kTank, 10, 20);
    tank->m_bMaySearch = 1;
    tank->Basic->Range[0] = kRange;
    tank->Basic->MachineGunReach = 200.0f;
    TUnit* near = w.AddUnit(1, testworld::kRifleman, 11, 20);
    EXPECT_EQ(UnitScanAround(tank), 1u);
    EXPECT_EQ(tank->GunTarget, near);
    tank->Basic->MachineGunReach = 10.0f;
    EXPECT_EQ(UnitScanAround(tank), 0u);
    EXPECT_EQ(tank->GunTarget, nullptr);
    // At the map's corner the window is cut to the map instead of reading past it.
    TUnit* corner = w.AddUnit(0, testworld::kTank, 0, 0);
    corner->m_bMaySearch = 1;
    EXPECT_EQ(UnitScanAround(corner), 0u);
}

} // namespace
