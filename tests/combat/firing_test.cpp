#include "combat/firing.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "combat/combat_values.h"
#include "combat/hits.h"
#include "combat/house_events.h"
#include "combat/shots.h"
#include "combat/target_grid.h"
#include "combat/target_search.h"
#include "combat/unit_orders.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "orders_world.h"
#include "players/strateg.h"
#include "units/house_behaviour.h"
#include "units/unit_lists.h"
#include "units/upgrades.h"

namespace {

using orderstest::OrdersWorld;
using testworld::CellCentre;

constexpr std::uint16_t kFlameThrower = 9;
constexpr std::uint16_t kArmouredLorry = 24;
constexpr std::uint16_t kHeavyGun = 21;
constexpr std::uint16_t kRecon = 12;

// The per-player factors the hits read, 1.0 while a test runs and put back after it.
class Factors {
public:
    Factors()
    {
        Save();
        for (float* f : Arrays())
            std::fill(f, f + 8, 1.0f);
    }
    ~Factors() { Restore(); }

private:
    static std::vector<float*> Arrays()
    {
        return {g_AccuracyFactor, g_ShelterFactor, g_AirDamageFactor, g_UnitArmourFactor, g_HouseArmourFactor};
    }
    void Save()
    {
        for (float* f : Arrays())
            m_Saved.insert(m_Saved.end(), f, f + 8);
    }
    void Restore()
    {
        std::size_t i = 0;
        for (float* f : Arrays())
            for (int p = 0; p < 8; ++p)
                f[p] = m_Saved[i++];
    }
    std::vector<float> m_Saved;
};

void SetCombat(TUnit* u, TUnitCombatSlot slot, std::uint16_t value)
{
    SetUnitCombatValue(u->Basic, u->Player, slot, value);
}

TUnit* Unit(OrdersWorld& w, std::uint8_t player, std::uint16_t type, std::int32_t x, std::int32_t y)
{
    TUnit* u = w.AddUnit(player, type, x, y);
    EXPECT_NE(u, nullptr);
    u->Work = UNIT_NO_WORK;
    u->NumWork = UNIT_STAND_WORK;
    u->HitPoints = 1000.0f;
    return u;
}

// ---- bullets ----------------------------------------------------------------------------------

TEST(Firing, BulletDamageByWeaponArmourAndPosture)
{
    struct Case {
        const char* label;
        std::uint16_t shooterType = testworld::kRifleman;
        std::uint16_t victimType = testworld::kRifleman;
        std::uint16_t attack = 30;  // bullet attack, or fire attack for a flame thrower
        std::uint16_t defence = 10; // bullet defence, or fire defence
        std::uint16_t r = 99;       // the draw: r mod 100 + 1 percent of the difference
        float shooterExperience = 0.0f;
        std::uint8_t victimNumWork = UNIT_STAND_WORK;
        int shelterHouseType = -1; // the victim sits in a building of this type
        double expected = 0.0;
        bool draws = true;
    };
    const Case cases[] = {
        {.label = "full difference", .expected = 20.0},
        {.label = "half the roll", .r = 49, .expected = 10.0},
        {.label = "the roll wraps at 100", .r = 149, .expected = 10.0},
        {.label = "defence above attack: the minimum", .attack = 5, .defence = 30, .expected = 0.5},
        {.label = "a scratch: the minimum", .attack = 11, .r = 0, .expected = 0.5},
        {.label = "lying down: four tenths", .victimNumWork = 1, .expected = 8.0},
        {.label = "dug in: four tenths", .victimNumWork = 21, .expected = 8.0},
        {.label = "machine gunner aiming: four tenths", .victimType = testworld::kMachineGunner, .victimNumWork = 6, .expected = 8.0},
        {.label = "rifleman in the firing state: no cover", .victimNumWork = 6, .expected = 20.0},
        {.label = "sheltered in a pillbox: a hundredth", .shelterHouseType = 1, .expected = 0.5},
        {.label = "sheltered in a barracks: a twentieth", .attack = 210, .shelterHouseType = 3, .expected = 10.0},
        {.label = "sheltered in a watchtower: a hundredth", .attack = 1010, .shelterHouseType = 21, .expected = 10.0},
        {.label = "veteran: one and a half", .shooterExperience = 250.0f, .expected = 30.0},
        {.label = "old veteran: still one and a half", .shooterExperience = 5000.0f, .expected = 30.0},
        {.label = "half-trained", .shooterExperience = 100.0f, .expected = 24.0},
        {.label = "flame thrower burns by fire values", .shooterType = kFlameThrower, .expected = 20.0},
        {.label = "aircraft at a ground target: half the attack", .shooterType = testworld::kFighter, .attack = 40,
         .expected = 10.0},
        {.label = "aircraft at an aircraft: the whole attack", .shooterType = testworld::kFighter, .victimType = kRecon,
         .expected = 20.0},
        {.label = "tank: immune, no draw", .victimType = testworld::kTank, .expected = 0.0, .draws = false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        OrdersWorld w;
        TUnit* s = Unit(w, 0, c.shooterType, 5, 10);
        TUnit* v = Unit(w, 1, c.victimType, 5, 20);
        const bool flame = c.shooterType == kFlameThrower;
        SetCombat(s, flame ? COMBAT_FIRE_ATTACK : COMBAT_BULLET_ATTACK, c.attack);
        SetCombat(v, flame ? COMBAT_FIRE_DEFENCE : COMBAT_BULLET_DEFENCE, c.defence);
        s->m_Experience = c.shooterExperience;
        v->NumWork = c.victimNumWork;
        THouse shelter;
        if (c.shelterHouseType >= 0) {
            shelter.HouseType = static_cast<std::uint16_t>(c.shelterHouseType);
            v->Work = STAY_IN_HOUSE;
            v->House = &shelter;
        }
        w.SetRandomIndex(1000);
        w.SetNextRandomValues({c.r});
        EXPECT_NEAR(BulletDamage(s, v), c.expected, 1e-4);
        EXPECT_EQ(g_RandIndex, c.draws ? 1001 : 1000);
        v->House = nullptr;
    }
}

TEST(Firing, OnlyTheArmouredLorryOfTheTankKindTakesBullets)
{
    OrdersWorld w;
    TUnit* s = Unit(w, 0, testworld::kRifleman, 5, 10);
    TUnit* lorry = Unit(w, 1, kArmouredLorry, 5, 20);
    lorry->Basic->m_Kind = UNIT_KIND_TANK;
    SetCombat(s, COMBAT_BULLET_ATTACK, 30);
    SetCombat(lorry, COMBAT_BULLET_DEFENCE, 10);
    w.SetNextRandomValues({99});
    EXPECT_NEAR(BulletDamage(s, lorry), 20.0, 1e-4);
}

// A machine gunner's aimed fire at a unit of the other player, both in the open.
struct TAimed {
    TUnit* gunner = nullptr;
    TUnit* target = nullptr;
};
TAimed PlaceAimed(OrdersWorld& w, std::int32_t targetRow, std::uint16_t targetType = testworld::kRifleman)
{
    TAimed a;
    a.gunner = Unit(w, 0, testworld::kMachineGunner, 10, 10);
    a.target = Unit(w, 1, targetType, 10, targetRow);
    a.gunner->Basic->Range[0] = 2000;
    SetCombat(a.gunner, COMBAT_ACCURACY, 100);
    SetCombat(a.gunner, COMBAT_BULLET_ATTACK, 30);
    SetCombat(a.target, COMBAT_BULLET_DEFENCE, 10);
    a.target->HitPoints = 100.0f;
    a.gunner->AttackUnit = a.target;
    a.gunner->PlayerAttack = 1;
    return a;
}

struct AimedFire : ::testing::Test {
    Factors factors;
    OrdersWorld w;
    TUnit* gunner = nullptr;
    TUnit* target = nullptr;

    void Place(std::int32_t targetRow)
    {
        const TAimed a = PlaceAimed(w, targetRow);
        gunner = a.gunner;
        target = a.target;
    }
};

TEST(Firing, MachineGunHoldsFireAtGroundTargetsCloserThan150)
{
    struct Case {
        std::int32_t row; // the gunner stands in row 10, rows are 24 pixels apart
        std::uint16_t type;
        bool fires;
    } cases[] = {{14, testworld::kRifleman, false},
                 {16, testworld::kRifleman, false},
                 {17, testworld::kRifleman, true},
                 {30, testworld::kRifleman, true},
                 {12, kRecon, true}, // an aircraft is fought however close
                 {30, testworld::kTank, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row * 100 + c.type);
        Factors factors;
        OrdersWorld w;
        const TAimed a = PlaceAimed(w, c.row, c.type);
        if (c.type == kRecon)
            a.target->Height = 200.0f;
        w.SetNextRandomValues({0, 99});
        CombatFireForMashineGunner(a.gunner, a.target);
        EXPECT_EQ(a.target->HitPoints < 100.0f, c.fires);
        EXPECT_EQ(a.gunner->AttackUnit != nullptr, c.fires);
        EXPECT_EQ(a.gunner->FiredFlag, 1);
    }
}

TEST_F(AimedFire, HitAndMissFollowTheDistanceRoll)
{
    Place(30); // 480 pixels: q = 0.24, q^2 x 100 = 5.76
    SetCombat(gunner, COMBAT_ACCURACY, 5);
    w.SetNextRandomValues({100});
    CombatFireForMashineGunner(gunner, target);
    EXPECT_FLOAT_EQ(target->HitPoints, 100.0f) << "5 < 5.76: a miss";
    SetCombat(gunner, COMBAT_ACCURACY, 6);
    w.SetNextRandomValues({100, 99});
    CombatFireForMashineGunner(gunner, target);
    EXPECT_NEAR(target->HitPoints, 100.0f - 20.0f * 1.004f, 1e-3) << "two points of experience by now";
    EXPECT_GT(gunner->m_Experience, 1.9f);
}

TEST_F(AimedFire, AKillEndsTheAttackAndTakesTheTargetOut)
{
    Place(30);
    target->HitPoints = 20.5f; // 0.5 left: below 1.0 counts as a kill
    w.SetNextRandomValues({0, 99});
    CombatFireForMashineGunner(gunner, target);
    EXPECT_NE(target->Dead, 0);
    EXPECT_EQ(gunner->AttackUnit, nullptr);
    EXPECT_NEAR(gunner->m_Experience, 11.0f, 1e-4);
}

TEST_F(AimedFire, TheSecondHalfOfABurstHurtsFriends)
{
    // A burst of 39 bullets from column 10 to column 26 of row 20: bullets 20 on may hurt friends.
    gunner = Unit(w, 0, testworld::kMachineGunner, 10, 20);
    target = Unit(w, 1, testworld::kRifleman, 26, 20);
    TUnit* nearFriend = Unit(w, 0, testworld::kRifleman, 13, 20);
    TUnit* farFriend = Unit(w, 0, testworld::kRifleman, 20, 20);
    gunner->Basic->Range[0] = 3000;
    SetCombat(gunner, COMBAT_ACCURACY, 100);
    SetCombat(gunner, COMBAT_BULLET_ATTACK, 30);
    const float distance = target->X - gunner->X;
    ASSERT_EQ(static_cast<int>(distance) / 40 + 1, 39);
    w.SetNextRandomValues(std::vector<std::uint16_t>(400, 0));
    MashineGunnerBurst(gunner, target);
    EXPECT_FLOAT_EQ(nearFriend->HitPoints, 1000.0f);
    EXPECT_LT(farFriend->HitPoints, 1000.0f);
    EXPECT_LT(target->HitPoints, 1000.0f);
    EXPECT_NEAR(gunner->m_Experience, 0.3f, 1e-4);
}

TEST(Firing, CloseCombatBlows)
{
    struct Case {
        const char* label;
        std::uint16_t victimType = testworld::kRifleman;
        std::int32_t victimRow = 11; // the attacker stands in row 10
        std::uint16_t attack = 30;
        std::uint16_t defence = 10;
        float attackerExperience = 0.0f;
        std::uint8_t victimWork = UNIT_NO_WORK;
        float expectedLoss = 0.0f;
        bool attackGoesOn = true;
    };
    const Case cases[] = {
        {.label = "attack less defence", .expectedLoss = 20.04f}, // the blow's own point of experience counts
        {.label = "at least one", .attack = 5, .expectedLoss = 1.002f},
        {.label = "veteran", .attackerExperience = 250.0f, .expectedLoss = 30.0f},
        {.label = "beyond reach", .victimRow = 20, .attackGoesOn = false},
        {.label = "a tank", .victimType = testworld::kTank, .attackGoesOn = false},
        {.label = "in a building", .victimWork = STAY_IN_HOUSE, .attackGoesOn = false},
        {.label = "on a transport", .victimWork = WORK_UNIT_TRANSPORTED, .attackGoesOn = false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Factors factors;
        OrdersWorld w;
        TUnit* a = Unit(w, 0, testworld::kRifleman, 10, 10);
        TUnit* t = Unit(w, 1, c.victimType, 10, c.victimRow);
        SetCombat(a, COMBAT_CLOSE_ATTACK, c.attack);
        SetCombat(t, COMBAT_CLOSE_DEFENCE, c.defence);
        a->m_Experience = c.attackerExperience;
        t->Work = c.victimWork;
        t->HitPoints = 100.0f;
        a->AttackUnit = t;
        UnitHitNear(a, t);
        EXPECT_NEAR(100.0f - t->HitPoints, c.expectedLoss, 1e-3);
        EXPECT_EQ(a->AttackUnit != nullptr, c.attackGoesOn);
        EXPECT_EQ(t->SlowCount, c.attackGoesOn ? 10 : 0);
    }
}

TEST(Firing, CloseCombatAgainstABuilding)
{
    Factors factors;
    OrdersWorld w;
    THouseType& type = OrdersWorld::HouseTypeRecord();
    const THouseType savedType = type;
    type.m_Param324 = 0; // no armour: nothing divides by it
    type.m_BuildWork = 100;
    THouse* h = w.AddHouse(1, 20, 20);
    TUnit* lone = Unit(w, 0, testworld::kRifleman, 20, 26);
    SetCombat(lone, COMBAT_CLOSE_ATTACK, 40);
    lone->HouseAttack = h;

    UnitHitHouse(lone, h); // 40 x 0.5 x 1.5 for an attacker without a group, x 1.002 for the blow's point
    EXPECT_NEAR(h->HitPoints, 69.94f, 1e-3);

    type.m_Param324 = 30; // armour above the blow: a token 0.3
    UnitHitHouse(lone, h);
    EXPECT_NEAR(h->HitPoints, 69.64f, 1e-3);

    type.m_Param324 = 0;
    h->BuildWork = 50; // still being built: the blow undoes construction
    UnitHitHouse(lone, h);
    EXPECT_EQ(h->BuildWork, 81);
    EXPECT_EQ(h->Destroyed, 0);
    h->BuildWork = 95;
    UnitHitHouse(lone, h);
    EXPECT_NE(h->Destroyed, 0) << "the work grew beyond the building's total";
    EXPECT_EQ(lone->HouseAttack, nullptr);
    type = savedType;
}

// ---- explosion damage -------------------------------------------------------------------------

TEST(Firing, ExplosionDamageToOneUnit)
{
    struct Case {
        const char* label;
        std::uint16_t type = testworld::kRifleman;
        std::uint16_t damage = 50;
        std::uint16_t armour = 10;
        std::uint8_t direct = 0;
        std::uint8_t numWork = UNIT_STAND_WORK;
        int shelterHouseType = -1;
        float shelterFactor = 1.0f;
        float airFactor = 1.0f;
        float shipFactor = 1.0f;
        float expected = 0.0f;
    };
    const Case cases[] = {
        {.label = "damage less armour", .expected = 40.0f},
        {.label = "armour above damage: a tenth", .damage = 5, .expected = 0.1f},
        {.label = "direct: at least one", .damage = 5, .direct = 1, .expected = 1.0f},
        {.label = "direct on a heavy gun: at least two", .type = kHeavyGun, .damage = 5, .direct = 1, .expected = 2.0f},
        {.label = "lying down", .numWork = 1, .expected = 24.0f},
        {.label = "sheltered, direct, in a pillbox", .direct = 1, .shelterHouseType = 1, .expected = 12.0f},
        {.label = "sheltered, direct, in a barracks", .direct = 1, .shelterHouseType = 3, .expected = 20.0f},
        {.label = "sheltered, direct, strong shelter doubles", .direct = 1, .shelterHouseType = 7, .shelterFactor = 2.0f,
         .expected = 3.0f},
        {.label = "sheltered, a near miss", .shelterHouseType = 3, .expected = 0.4f},
        {.label = "reconnaissance plane: no direct hit", .type = kRecon, .direct = 1, .expected = 0.0f},
        {.label = "reconnaissance plane: the air factor", .type = kRecon, .airFactor = 0.5f, .expected = 20.0f},
        {.label = "ship: divided by its armour factor", .type = testworld::kDestroyer, .shipFactor = 2.0f, .expected = 20.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Factors factors;
        OrdersWorld w;
        TUnit* v = Unit(w, 1, c.type, 10, 10);
        SetCombat(v, COMBAT_EXPLOSION_ARMOUR, c.armour);
        v->HitPoints = 100.0f;
        v->NumWork = c.numWork;
        g_ShelterFactor[1] = c.shelterFactor;
        g_AirDamageFactor[1] = c.airFactor;
        g_UnitArmourFactor[1] = c.shipFactor;
        THouse shelter;
        if (c.shelterHouseType >= 0) {
            shelter.HouseType = static_cast<std::uint16_t>(c.shelterHouseType);
            v->Work = STAY_IN_HOUSE;
            v->House = &shelter;
        }
        UnitDamage(v, c.damage, 0, c.direct);
        EXPECT_NEAR(100.0f - v->HitPoints, c.expected, 1e-4);
        v->House = nullptr;
        v->Work = UNIT_NO_WORK;
    }
}

TEST(Firing, ExplosionDamageKillsAndSparesTheDead)
{
    Factors factors;
    OrdersWorld w;
    TUnit* v = Unit(w, 1, testworld::kRifleman, 10, 10);
    SetCombat(v, COMBAT_EXPLOSION_ARMOUR, 0);
    v->HitPoints = 30.0f;
    UnitDamage(v, 20, 0, 0);
    EXPECT_EQ(v->SlowCount, 10);
    UnitDamage(v, 20, 0, 0);
    EXPECT_NE(v->Dead, 0);
    const float left = v->HitPoints;
    UnitDamage(v, 20, 0, 0);
    EXPECT_FLOAT_EQ(v->HitPoints, left);
}

TEST(Firing, ArtilleryDamageByDistanceAndCover)
{
    struct Case {
        const char* label;
        std::int32_t row = 30;    // the building's reference cell is (10, 10)
        std::uint16_t defence = 20;
        std::uint16_t r = 0;      // hit when 50 >= r mod 101
        std::uint8_t work = UNIT_NO_WORK;
        std::uint8_t numWork = UNIT_STAND_WORK;
        std::uint16_t type = testworld::kRifleman;
        bool expectHit = true;
        bool closeShare = true;   // within half the range of the muzzle
        bool targetKept = true;
        bool checkTarget = true;
        double expected = 0.0;    // for close shots; far ones are checked by formula
    };
    const Case cases[] = {
        {.label = "close: all of 100 less defence", .expected = 80.0},
        {.label = "a miss", .r = 51, .expectHit = false},
        {.label = "the roll wraps at 101", .r = 101 + 50, .expected = 80.0},
        {.label = "in cover", .work = STAY_IN_HOUSE, .expected = 8.0},
        {.label = "lying down", .numWork = 1, .expected = 32.0},
        {.label = "all defence: at least one", .defence = 150, .expected = 1.0},
        {.label = "far: less with distance", .row = 50, .closeShare = false},
        {.label = "a tank: nothing, and a new search", .type = testworld::kTank, .expectHit = false, .checkTarget = false},
        {.label = "beyond range: target dropped", .row = 79, .expectHit = false, .targetKept = false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Factors factors;
        OrdersWorld w;
        THouse* h = w.AddHouse(0, 10, 10, 1);
        h->Range = 1200.0f;
        TUnit* t = Unit(w, 1, c.type, 10, c.row);
        SetCombat(t, COMBAT_BULLET_DEFENCE, c.defence);
        t->HitPoints = 500.0f;
        t->NumWork = c.numWork;
        THouse shelter;
        if (c.work == STAY_IN_HOUSE) {
            t->Work = STAY_IN_HOUSE;
            t->House = &shelter;
        }
        h->TargetUnit = t;
        h->TargetPlayer = 1;
        w.SetNextRandomValues({c.r});
        ArtilleryFire(h, t);
        const double loss = 500.0 - t->HitPoints;
        if (!c.expectHit) {
            EXPECT_EQ(loss, 0.0);
        } else if (c.closeShare) {
            EXPECT_NEAR(loss, c.expected, 1e-3);
        } else {
            const TFloatPoint centre = HouseCentre(h);
            const double d = std::hypot(t->X - centre.x, t->Y - (centre.y - 50.0f));
            EXPECT_NEAR(loss, (1200.0 - d) / 600.0 * 80.0, 1e-2);
            EXPECT_LT(loss, 80.0);
        }
        if (c.checkTarget && c.targetKept)
            EXPECT_EQ(h->TargetUnit, t);
        else if (c.checkTarget)
            EXPECT_NE(h->TargetUnit, t);
        t->House = nullptr;
    }
}

// ---- area damage ------------------------------------------------------------------------------

struct AreaDamage : ::testing::Test {
    Factors factors;
    OrdersWorld w;
    TShot shot;

    TUnit* Victim(std::int32_t x, std::int32_t y)
    {
        TUnit* v = Unit(w, 1, testworld::kRifleman, x, y);
        SetCombat(v, COMBAT_EXPLOSION_ARMOUR, 0);
        v->HitPoints = 1000.0f;
        return v;
    }
};

TEST_F(AreaDamage, RadiusAndShellKinds)
{
    struct Case {
        const char* label;
        bool withShot;
        std::uint8_t shotType;
        float offset; // pixels east of the blast
        float expected;
    };
    const Case cases[] = {
        {"explosion at the centre: the damage as given", false, 0, 0.0f, 100.0f},
        {"explosion halfway out: half", false, 0, 50.0f, 50.0f},
        {"explosion at the radius: nothing", false, 0, 100.0f, 0.0f},
        {"shell at the centre: twice", true, 0, 0.0f, 200.0f},
        {"grenade at the centre: half", true, SHOT_GRENADE, 0.0f, 50.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TUnit* v = Victim(10, 20);
        shot.type = c.shotType;
        shot.owner = 0;
        const float z = v->GroundHeight + v->Height;
        DamageForUnits(v->X - c.offset, v->Y, z, 0, 100, 100, nullptr, c.withShot ? &shot : nullptr, 0);
        EXPECT_NEAR(1000.0f - v->HitPoints, c.expected, 1e-3);
        v->HitPoints = -1.0f;
        v->Dead = 1;
    }
}

TEST_F(AreaDamage, ABlastOfRadiusZeroHurtsNobody)
{
    TUnit* v = Victim(10, 20);
    DamageForUnits(v->X, v->Y, v->GroundHeight + v->Height, 0, 100, 0, nullptr, nullptr, 0);
    EXPECT_FLOAT_EQ(v->HitPoints, 1000.0f);
}

TEST_F(AreaDamage, BuildingsByArmourAndConstruction)
{
    THouseType& type = OrdersWorld::HouseTypeRecord();
    const THouseType savedType = type;
    type.m_Param324 = 10;
    type.m_BuildWork = 200;
    THouse* h = w.AddHouse(0, 20, 20);
    h->HitPoints = 100.0f;
    const TFloatPoint c = HouseCentre(h);
    DamageForUnits(c.x, c.y, 0.0f, 0, 5, 10, h, nullptr, 0); // 5 x 100 / 10
    EXPECT_FLOAT_EQ(h->HitPoints, 50.0f);
    DamageForUnits(c.x, c.y, 0.0f, 0, 5, 10, h, nullptr, 1); // flagged: the house is spared
    EXPECT_FLOAT_EQ(h->HitPoints, 50.0f);

    h->BuildWork = 100; // half built: 21 / (10 x 2/3) = 3.15, 3 more to do
    DamageForUnits(c.x, c.y, 0.0f, 0, 21, 10, h, nullptr, 0);
    EXPECT_EQ(h->BuildWork, 103);
    EXPECT_EQ(h->Destroyed, 0);
    h->BuildWork = 199;
    DamageForUnits(c.x, c.y, 0.0f, 0, 21, 10, h, nullptr, 0);
    EXPECT_NE(h->Destroyed, 0) << "nothing built any more";
    const float after = h->HitPoints;
    DamageForUnits(c.x, c.y, 0.0f, 0, 20, 10, h, nullptr, 0);
    EXPECT_FLOAT_EQ(h->HitPoints, after) << "a ruin takes nothing";

    type.m_Param324 = 0; // a type without armour is destroyed, not divided by zero
    THouse* bare = w.AddHouse(0, 30, 40);
    bare->HitPoints = 1000.0f;
    DamageForUnits(c.x, c.y, 0.0f, 0, 5, 10, bare, nullptr, 0);
    EXPECT_FLOAT_EQ(bare->HitPoints, 500.0f);
    type = savedType;
}

TEST_F(AreaDamage, TreesFallOnlyToBlastsThatMayFellThem)
{
    constexpr std::uint16_t kTree = 9003;
    constexpr std::uint16_t kStump = 9004;
    w.SetObjectClass(kTree, 0);
    w.SetObjectClass(kStump, 1);
    w.SetObject(10, 20, kTree);
    w.SetObject(12, 20, kStump);
    w.BuildPassMaps();
    const auto at = [](std::int32_t x, std::int32_t y) { return g_pObjectMap[CellIndex(x, y)]; };
    const testworld::TPixel tree = CellCentre(10, 20);
    const testworld::TPixel stump = CellCentre(12, 20);
    DamageForUnits(tree.x, tree.y, 0.0f, 0, 100, 50, nullptr, nullptr, 0);
    EXPECT_EQ(at(10, 20), kTree);
    DamageForUnits(tree.x, tree.y, 0.0f, 1, 100, 50, nullptr, nullptr, 0);
    EXPECT_EQ(at(10, 20), kObjectFree);
    DamageForUnits(stump.x, stump.y, 0.0f, 1, 100, 50, nullptr, nullptr, 0);
    EXPECT_EQ(at(12, 20), 9119);
}

TEST_F(AreaDamage, NoShipUnderTheShellIsNoHit)
{
    shot.owner = 0;
    shot.type = 0;
    shot.damage = 100;
    EXPECT_FALSE(ShipHit(500.0f, 500.0f, 60.0f, &shot));
    EXPECT_FALSE(ShipHit(500.0f, 500.0f, 60.0f, nullptr));
}

// ---- the alarm and look-ups -------------------------------------------------------------------

TEST(Firing, AlarmWakesIdleEnemiesAndKeepsToTheMap)
{
    Factors factors;
    OrdersWorld w;
    TUnit* shooter = Unit(w, 0, testworld::kRifleman, 14, 40);
    TUnit* idle = Unit(w, 1, testworld::kRifleman, 20, 40);
    TUnit* busy = Unit(w, 1, testworld::kRifleman, 20, 42);
    TUnit* friendOfShooter = Unit(w, 0, testworld::kRifleman, 21, 41);
    for (TUnit* u : {idle, busy, friendOfShooter}) {
        u->m_bMaySearch = 1;
        u->m_SearchDelay = 0;
        u->m_FirstCountdown = 0;
    }
    busy->NumWork = 7; // in close combat already
    // Hits in the corners: the window is cut to the map on both axes.
    const std::uint16_t corners[][2] = {{0, 0}, {39, 0}, {0, 79}, {39, 79}};
    for (const auto& c : corners)
        AlarmUnitsNearHit(0, c[0], c[1], shooter, 0, 0);
    EXPECT_EQ(idle->AttackUnit, nullptr);
    AlarmUnitsNearHit(0, 20, 40, shooter, 0, 0);
    EXPECT_EQ(idle->AttackUnit, shooter);
    EXPECT_EQ(busy->AttackUnit, nullptr);
    EXPECT_EQ(friendOfShooter->AttackUnit, nullptr);
}

TEST(Firing, NearestLivingUnitOfAPlayer)
{
    OrdersWorld w;
    EXPECT_EQ(GetNearestUnitOfPlayer(0, 100.0f, 100.0f), nullptr);
    TUnit* far = Unit(w, 0, testworld::kRifleman, 20, 40);
    TUnit* near = Unit(w, 0, testworld::kRifleman, 2, 4);
    Unit(w, 1, testworld::kRifleman, 1, 2);
    EXPECT_EQ(GetNearestUnitOfPlayer(0, 0.0f, 0.0f), near);
    near->Dead = 1;
    EXPECT_EQ(GetNearestUnitOfPlayer(0, 0.0f, 0.0f), far);
}

// ---- a unit deleted while it is targeted ------------------------------------------------------

TEST(Firing, ADeletedTargetLeavesNoReferenceBehind)
{
    Factors factors;
    OrdersWorld w;
    TUnit* hunter = Unit(w, 0, testworld::kMachineGunner, 10, 10);
    TUnit* tank = Unit(w, 0, testworld::kTank, 12, 10);
    THouse* tower = w.AddHouse(0, 20, 10, 21);
    TUnit* prey = Unit(w, 1, testworld::kRifleman, 10, 30);
    hunter->m_bMaySearch = 1;
    hunter->Basic->Range[0] = 2000;
    SetCombat(hunter, COMBAT_ACCURACY, 100);
    SetCombat(hunter, COMBAT_BULLET_ATTACK, 5000);
    ResetTargetGrid();
    AddUnitToTargetGrid(hunter);
    AddUnitToTargetGrid(prey);
    hunter->AttackUnit = prey;
    hunter->PlayerAttack = 1;
    tank->GunTarget = prey;
    tank->m_pContactUnit = prey;
    tower->TargetUnit = prey;
    tower->TargetPlayer = 1;

    w.SetNextRandomValues({0, 99});
    CombatFireForMashineGunner(hunter, prey);
    ASSERT_NE(prey->Dead, 0);
    prey->WorkObject = UNIT_DELETE_PARAM;
    TUnit* gone = prey;
    DeleteUnit(&gone);

    EXPECT_EQ(hunter->AttackUnit, nullptr);
    EXPECT_EQ(tank->GunTarget, nullptr);
    EXPECT_EQ(tank->m_pContactUnit, nullptr);
    EXPECT_EQ(tower->TargetUnit, nullptr);
    // The grid no longer files it: a search within the cycles its entry would have lived finds
    // nothing, and nothing reads the freed record (the sanitizers watch).
    hunter->m_SearchDelay = 0;
    hunter->Work = UNIT_NO_WORK;
    EXPECT_FALSE(UnitSearchTarget(hunter));
    CombatFireForMashineGunner(hunter, hunter->AttackUnit);
    ArtilleryFire(tower, tower->TargetUnit);
    EXPECT_EQ(GetNearestUnitOfPlayer(1, 0.0f, 0.0f), nullptr);
}

// ---- a skirmish -------------------------------------------------------------------------------

struct TSkirmishResult {
    std::vector<float> hitPoints;
    std::vector<int> dead;
    std::uint16_t randIndex = 0;
    int cycles = 0;
    bool operator==(const TSkirmishResult&) const = default;
};

// Two squads of five riflemen 480 pixels apart fire at the nearest living enemy whenever their
// reload allows; player 0's rifles are better.
TSkirmishResult RunSkirmish()
{
    Factors factors;
    OrdersWorld w;
    g_RandSeed = 4242;
    InitRandomTable();
    std::vector<TUnit*> side[2];
    for (int i = 0; i < 5; ++i) {
        side[0].push_back(Unit(w, 0, testworld::kRifleman, 12 + 2 * i, 20));
        side[1].push_back(Unit(w, 1, testworld::kRifleman, 12 + 2 * i, 40));
    }
    for (int p = 0; p < 2; ++p) {
        side[p][0]->Basic->Range[p] = 700;
        SetUnitCombatValue(side[p][0]->Basic, static_cast<std::uint8_t>(p), COMBAT_ACCURACY, 90);
        SetUnitCombatValue(side[p][0]->Basic, static_cast<std::uint8_t>(p), COMBAT_BULLET_ATTACK, p == 0 ? 40 : 20);
        SetUnitCombatValue(side[p][0]->Basic, static_cast<std::uint8_t>(p), COMBAT_BULLET_DEFENCE, 2);
        for (TUnit* u : side[p])
            u->HitPoints = 100.0f;
    }
    const auto alive = [](const std::vector<TUnit*>& units) {
        int n = 0;
        for (const TUnit* u : units)
            n += u->Dead == 0 ? 1 : 0;
        return n;
    };
    TSkirmishResult result;
    for (; result.cycles < 5000 && alive(side[0]) > 0 && alive(side[1]) > 0; ++result.cycles)
        for (int p = 0; p < 2; ++p)
            for (TUnit* u : side[p]) {
                if (u->Dead != 0)
                    continue;
                if (u->Reload > 0) {
                    --u->Reload;
                    continue;
                }
                TUnit* target = GetNearestUnitOfPlayer(static_cast<std::uint8_t>(1 - p), u->X, u->Y);
                if (target == nullptr)
                    break;
                u->AttackUnit = target;
                u->PlayerAttack = target->Player;
                u->Work = UNIT_NO_WORK;
                CombatFireForMashineGunner(u, target);
            }
    for (int p = 0; p < 2; ++p)
        for (const TUnit* u : side[p]) {
            result.hitPoints.push_back(u->HitPoints);
            result.dead.push_back(u->Dead);
        }
    result.randIndex = g_RandIndex;
    return result;
}

TEST(Firing, TwoSquadsFightUntilOneIsDeadTheSameWayTwice)
{
    const TSkirmishResult first = RunSkirmish();
    int dead[2] = {0, 0};
    bool hurtSurvivor = false;
    for (std::size_t i = 0; i < first.dead.size(); ++i) {
        dead[i / 5] += first.dead[i] != 0 ? 1 : 0;
        if (first.dead[i] == 0 && first.hitPoints[i] < 100.0f)
            hurtSurvivor = true;
    }
    EXPECT_LT(first.cycles, 5000);
    EXPECT_EQ(dead[1], 5) << "the better rifles win";
    EXPECT_LT(dead[0], 5);
    EXPECT_TRUE(hurtSurvivor);
    const TSkirmishResult second = RunSkirmish();
    EXPECT_TRUE(first == second);
}

} // namespace
