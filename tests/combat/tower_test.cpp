#include <gtest/gtest.h>

#include <cmath>

#include "combat/tower.h"
#include "core/memory_stream.h"
#include "map/map_fixture.h"
#include "orders_world.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/unit.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kDeg = 0.017453292f;

TEST(Towers, AngleSumsWrapIntoOneTurn)
{
    struct Case {
        float a, b, sum;
    };
    for (const Case c : {Case{6.2831855f, 0.0f, 0.0f}, Case{6.2825f, 0.0f, 0.0f}, Case{-0.0005f, 0.0f, 6.2826f},
                         Case{3.0f, 4.0f, 7.0f - 6.2831855f}, Case{1.0f, -2.0f, 6.2831855f - 1.0f},
                         Case{0.5f, 0.25f, 0.75f}}) {
        EXPECT_NEAR(AddAngles(c.a, c.b), c.sum, 1e-4f) << c.a << " + " << c.b;
    }
}

TEST(Towers, DifferencesFoldKeepingTheirSign)
{
    struct Case {
        float in, out;
    };
    for (const Case c : {Case{0.0f, 0.0f}, Case{kPi, kPi}, Case{-kPi, kPi}, Case{1.5f * kPi, -0.5f * kPi},
                         Case{-1.5f * kPi, 0.5f * kPi}, Case{-0.25f, -0.25f}, Case{2.0f * kPi + 0.1f, 0.1f},
                         Case{-2.0f * kPi - 0.1f, -0.1f}}) {
        EXPECT_NEAR(WrapAngleDifference(c.in), c.out, 1e-4f) << c.in;
    }
}

TEST(Towers, SectorsKeepTheirShape)
{
    TPartRecord part;
    part.sectorCount = 1;
    // Upper +30 degrees, lower -90 degrees around a centre at 10 degrees: not symmetric.
    part.sectors[0][0] = 30.0f * kDeg;
    part.sectors[0][1] = -90.0f * kDeg;
    part.sectors[0][2] = 10.0f * kDeg;
    struct Case {
        float degrees;
        bool in;
    };
    for (const Case c : {Case{10, true}, Case{39, true}, Case{41, false}, Case{359, true}, Case{281, true},
                         Case{279, false}, Case{180, false}, Case{100, false}}) {
        EXPECT_EQ(InSector(part, c.degrees * kDeg), c.in) << c.degrees;
    }
    // A second sector is tried as well.
    part.sectorCount = 2;
    part.sectors[1][0] = 10.0f * kDeg;
    part.sectors[1][1] = -10.0f * kDeg;
    part.sectors[1][2] = 180.0f * kDeg;
    EXPECT_TRUE(InSector(part, 185.0f * kDeg));
    EXPECT_FALSE(InSector(part, 200.0f * kDeg));
    part.sectorCount = 0;
    EXPECT_FALSE(InSector(part, 10.0f * kDeg));
}

TEST(Towers, PartRecordDefaults)
{
    TPartRecord part;
    part.shotType = 9;
    part.maxDistance = 5.0f;
    part.sectorCount = 2;
    PartRecordInit(part);
    EXPECT_EQ(part.shotType, 1);
    EXPECT_EQ(part.fireA, 300);
    EXPECT_EQ(part.reload, 0);
    EXPECT_EQ(part.fireC, 100);
    EXPECT_EQ(part.maxDistance, 2000.0f);
    EXPECT_EQ(part.fireE, 400.0f);
    EXPECT_EQ(part.sectorCount, 0);
    EXPECT_EQ(part.frameEntry, nullptr);
    // Rest angles: the one sector's centre, else the start angle.
    part.sectorCount = 1;
    part.sectors[0][2] = 1.0f;
    part.startAngle = 2.0f;
    EXPECT_EQ(PartRestAngle(part), 1.0f);
    part.sectorCount = 2;
    EXPECT_EQ(PartRestAngle(part), 2.0f);
}

TEST(Towers, ShipParamsWithoutRecordKeepDefaults)
{
    TPartRecord part;
    part.mode = 1;
    SetShipTowerParams(part, 19, 0); // the file is not loaded: no record 3
    EXPECT_EQ(part.shotType, 1);
    EXPECT_EQ(part.fireA, 300);
    EXPECT_EQ(part.maxDistance, 2000.0f);
    part.mode = 2;
    SetShipTowerParams(part, 18, 0);
    EXPECT_EQ(part.shotType, 7);
    TPartRecord fixed;
    SetShipTowerParams(fixed, 18, 0); // mode 0 parts are left alone
    EXPECT_EQ(fixed.shotType, 1);
}

// A tower bound to a hand-made part of a unit, without the type's part table.
struct TowerRig {
    orderstest::OrdersWorld w;
    TPartRecord part;
    TPartFrameEntry entry;
    CTower tower;
    TUnit* unit = nullptr;
    TowerRig()
    {
        unit = w.AddUnit(0, testworld::kTank, 20, 40);
        unit->Heading = 0.0f;
        unit->GroundHeight = 0.0f;
        part.mode = 1;
        part.sectorCount = 1;
        part.sectors[0][0] = kPi;
        part.sectors[0][1] = -kPi;
        part.turnStep = 0.1f;
        entry.steps = 4;
        part.frameEntry = &entry;
        tower.m_pUnit = unit;
        tower.m_pPart = &part;
    }
};

TEST(Towers, AimAtSnapsAndTurns)
{
    TowerRig r;
    float angle = 0.0f;
    // Straight up the screen: angle 0, already pointing there.
    EXPECT_TRUE(r.tower.AimAt(r.unit->X, r.unit->Y - 100.0f, angle));
    EXPECT_NEAR(angle, 0.0f, 1e-4f);
    // To the left: a quarter turn, not aimed yet.
    EXPECT_FALSE(r.tower.AimAt(r.unit->X - 100.0f, r.unit->Y, angle));
    EXPECT_NEAR(angle, kPi / 2.0f, 1e-4f);
    // Beyond the greatest distance: never aimed, angle 0.
    EXPECT_FALSE(r.tower.AimAt(r.unit->X, r.unit->Y - 3000.0f, angle));
    EXPECT_EQ(angle, 0.0f);
    // Outside the only sector: back to the rest angle.
    r.part.sectors[0][0] = 0.2f;
    r.part.sectors[0][1] = -0.2f;
    r.part.sectors[0][2] = 0.0f;
    EXPECT_FALSE(r.tower.AimAt(r.unit->X - 100.0f, r.unit->Y, angle));
    EXPECT_NEAR(angle, 0.0f, 1e-4f);

    // Update snaps the wanted angle to the frame steps (eighths of a turn in 4 steps).
    r.part.sectors[0][0] = kPi;
    r.part.sectors[0][1] = -kPi;
    r.unit->TargetX = r.unit->X - 100.0f;
    r.unit->TargetY = r.unit->Y - 90.0f;
    r.unit->Work = 8;
    r.tower.Update();
    const float step = 0.7853982f / 4.0f;
    const float wanted = r.tower.m_WantedAngle - 0.001f;
    EXPECT_NEAR(wanted / step, std::round(wanted / step), 1e-3f);
    // The part then turns one step per cycle toward it, by the shorter way.
    EXPECT_TRUE(r.tower.Turn());
    EXPECT_NEAR(r.tower.m_Angle, 0.1f + 0.01f, 1e-4f);
    // A part without a turn step takes its wanted angle at once instead of turning forever.
    r.part.turnStep = 0.0f;
    EXPECT_FALSE(r.tower.Turn());
    EXPECT_EQ(r.tower.m_Angle, r.tower.m_WantedAngle);
}

TEST(Towers, ReloadOfAFixedPartIsHalfTheOwners)
{
    TowerRig r;
    r.part.mode = 0;
    r.part.shotType = 0; // no shell: only the reload is watched
    r.part.reload = 0;
    const std::uint16_t kept = r.unit->Basic->ReloadTime[0];
    r.unit->Basic->ReloadTime[0] = 40;
    r.unit->TargetX = r.unit->X;
    r.unit->TargetY = r.unit->Y - 100.0f;
    r.unit->Work = 8;
    r.tower.Update();
    EXPECT_EQ(r.tower.m_Reload, 20);
    for (int i = 0; i < 20; ++i)
        r.tower.Update();
    EXPECT_EQ(r.tower.m_Reload, 0);
    r.part.reload = 7; // the part's own time wins
    r.tower.Update();
    EXPECT_EQ(r.tower.m_Reload, 7);
    r.unit->Basic->ReloadTime[0] = kept;
}

TEST(Towers, TowerBlockRoundTrip)
{
    orderstest::OrdersWorld w;
    THouse* house = w.AddHouse(1, 24, 40);
    TUnit* unit = w.AddUnit(0, testworld::kTank, 20, 40);
    CTower a;
    a.m_pUnit = unit;
    a.m_Index = 0;
    a.m_Angle = 1.25f;
    a.m_WantedAngle = 2.5f;
    a.m_TargetPlayer = 1;
    a.m_TargetIndex = 7;
    a.PlayerHouseAttack = 1;
    a.m_TargetHouseIndex = static_cast<std::int16_t>(house->Index);
    a.m_Reload = 33;
    a.m_Value = 55.5f;
    TOfStreamMemory out;
    a.Save(out);
    // Without the building target 24 bytes; with it two more.
    EXPECT_EQ(out.Size(), 26);

    TIfStreamMemory in(out.Data(), out.Size());
    CTower b;
    ASSERT_TRUE(b.Load(in, unit));
    EXPECT_EQ(b.m_Angle, 1.25f);
    EXPECT_EQ(b.m_WantedAngle, 2.5f);
    EXPECT_EQ(b.m_TargetPlayer, 1);
    EXPECT_EQ(b.m_TargetIndex, 7);
    EXPECT_EQ(b.PlayerHouseAttack, 1);
    EXPECT_EQ(b.m_pTargetHouse, house);
    EXPECT_EQ(b.m_Reload, 33);
    EXPECT_EQ(b.m_Value, 55.5f);

    // A building that is gone by the load is dropped with its message.
    a.m_TargetHouseIndex = 40;
    TOfStreamMemory out2;
    a.Save(out2);
    maptest::LogWatch log;
    TIfStreamMemory in2(out2.Data(), out2.Size());
    CTower c;
    ASSERT_TRUE(c.Load(in2, unit));
    EXPECT_EQ(c.PlayerHouseAttack, 255);
    EXPECT_EQ(log.Count("???? CTower::Load"), 1);

    // A block cut short is refused.
    TIfStreamMemory cut(out.Data(), out.Size() - 3);
    CTower d;
    EXPECT_FALSE(d.Load(cut, unit));
}

} // namespace
