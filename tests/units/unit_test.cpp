#include "units/unit.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "combat/tower.h"
#include "core/game_folder_fixture.h"
#include "core/random_table.h"
#include "platform/bytes.h"
#include "units/unit_types.h"

namespace {

class UnitTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        FreeUnitTypes();
        g_UnitIdCounter = 0;
        g_RandIndex = 0;
        for (int i = 0; i < 64; ++i)
            g_RandTable[i] = static_cast<std::uint16_t>(i * 5 + 3);
    }
    void TearDown() override
    {
        FreeUnitTypes();
        GameFolderTest::TearDown();
    }
    TBasicUnit* AddType(int nation, int type)
    {
        auto* t = new TBasicUnit;
        g_UnitTypes[nation * UNIT_TYPES_PER_NATION + type] = t;
        return t;
    }
};

TEST_F(UnitTest, ConstructorGivesResetAndTypeValues)
{
    TBasicUnit* type = AddType(1, 7);
    type->ReloadTime[0] = 41;
    type->MaxHitPoints[0] = 120;
    type->m_CanFire = 1;
    type->MaxAmmo = 3;
    g_RandTable[0] = 0x1236; // & 7 = 6

    TUnit unit(7, 1);
    EXPECT_EQ(unit.Basic, type);
    EXPECT_EQ(unit.Type, 7);
    EXPECT_EQ(unit.Orient, 6);
    EXPECT_EQ(unit.WantedOrient, 6);
    EXPECT_EQ(g_RandIndex, 1) << "one shared draw per unit";
    EXPECT_EQ(unit.NumWork, 3);
    EXPECT_EQ(unit.NextWork, 100);
    EXPECT_EQ(unit.Work, 255);
    EXPECT_EQ(unit.WorkObject, 65535);
    EXPECT_EQ(unit.PlayerAttack, 255);
    EXPECT_EQ(unit.PlayerHouseAttack, 255);
    EXPECT_EQ(unit.m_AttackIndex, -1);
    EXPECT_EQ(unit.m_GroupSlot, -1);
    EXPECT_EQ(unit.m_StoredGroup, -1);
    EXPECT_EQ(unit.Stance, -1);
    EXPECT_EQ(unit.m_Reserved277, -1);
    EXPECT_EQ(unit.Upright, 1u);
    EXPECT_EQ(unit.FaceOrient, 255);
    EXPECT_EQ(unit.GunScanDelay, 20);
    EXPECT_EQ(unit.m_bMaySearch, 1);
    EXPECT_EQ(unit.m_bOnScreen, 1);
    EXPECT_EQ(unit.m_bShown, 1);
    EXPECT_EQ(unit.Halted, 1);
    EXPECT_EQ(unit.m_Flag157, 1);
    EXPECT_EQ(unit.m_OrientTag, 100);
    EXPECT_FLOAT_EQ(unit.GroundHeight, 50.0f);
    EXPECT_EQ(unit.Reload, 20);
    EXPECT_FLOAT_EQ(unit.HitPoints, 120.0f);
    EXPECT_EQ(unit.m_CanFire, 1);
    EXPECT_FLOAT_EQ(unit.Ammo, 3.0f);
    EXPECT_EQ(unit.Heading, static_cast<float>(6 * static_cast<double>(0.7853982f) + 0.0001));
    EXPECT_EQ(unit.Towers, nullptr);
    EXPECT_EQ(unit.TowerCount, 0);
    EXPECT_EQ(unit.m_pPassengers, nullptr);
    EXPECT_EQ(unit.m_AnimationCount, 0);
}

TEST_F(UnitTest, EveryFacingSurvivesTheHeadingRoundTrip)
{
    AddType(0, 2);
    for (int orient = 0; orient < 8; ++orient) {
        g_RandIndex = 0;
        g_RandTable[0] = static_cast<std::uint16_t>(orient + 8 * 11);
        TUnit unit(2, 0);
        EXPECT_EQ(unit.Orient, orient);
    }
}

TEST_F(UnitTest, FramePhaseStaggersByUniqueId)
{
    AddType(0, 2);
    for (int i = 0; i < 51; ++i) {
        TUnit unit(2, 0);
        EXPECT_EQ(unit.UniqueId(), static_cast<std::uint32_t>(i));
        EXPECT_EQ(unit.FramePhase, i % 50);
    }
    EXPECT_EQ(g_UnitIdCounter, 51);
}

TEST_F(UnitTest, SetOrientStoresTheSinglePrecisionHeading)
{
    AddType(0, 2);
    TUnit unit(2, 0);
    ASSERT_TRUE(unit.SetOrient(7));
    EXPECT_EQ(unit.Orient, 7);
    EXPECT_EQ(unit.Heading, 5.4978871f);
    EXPECT_FALSE(unit.SetOrient(8));
    EXPECT_EQ(unit.Orient, 7);
    EXPECT_EQ(unit.Heading, 5.4978871f);
}

TEST_F(UnitTest, PassengerRoomDependsOnType)
{
    for (int type : {24, 17, 3})
        AddType(0, type);
    const struct {
        std::uint16_t type;
        std::uint16_t capacity;
    } cases[] = {{24, 50}, {17, 500}, {3, 0}};
    for (const auto& c : cases) {
        TUnit unit(c.type, 0);
        EXPECT_EQ(unit.PassengerCapacity(), c.capacity) << c.type;
        EXPECT_EQ(unit.m_pPassengers != nullptr, c.capacity != 0) << c.type;
        EXPECT_EQ(unit.m_PassengerCount, 0);
        for (int i = 0; i < c.capacity; ++i)
            ASSERT_EQ(unit.m_pPassengers[i], nullptr);
    }
}

TEST_F(UnitTest, TowersAndShipAnimationSlotsComeFromTheType)
{
    TBasicUnit* ship = AddType(0, 18);
    ship->m_bShip = 1;
    ship->m_PartCount = 2;
    ship->m_Parts = new TPartRecord[2];
    ship->m_AnimCount = 1;
    ship->m_AnimSetIndexes = new std::uint8_t[1]{0};
    TUnit unit(18, 0);
    ASSERT_NE(unit.Towers, nullptr);
    EXPECT_EQ(unit.TowerCount, 2);
    EXPECT_EQ(unit.Towers[1].m_Index, 1);
    EXPECT_EQ(unit.Towers[1].m_pUnit, &unit);
    EXPECT_EQ(unit.m_AnimationCount, 3) << "attached animations plus two bow waves";
    ASSERT_NE(unit.m_pAnimations, nullptr);
    EXPECT_NE(unit.m_pAnimations[0], nullptr);
    unit.StartShipWaves();
    unit.ResetShipWaves();
    unit.Release();
    EXPECT_EQ(unit.Towers, nullptr);
    EXPECT_EQ(unit.m_pAnimations, nullptr);
}

TEST_F(UnitTest, UnknownTypeIsLoggedAndStillMade)
{
    TUnit unit(9, 0);
    EXPECT_EQ(unit.Basic, nullptr);
    EXPECT_TRUE(Logged("no unit type"));
    std::int32_t x = 0, y = 0;
    unit.X = 10.7f;
    unit.Y = 100.9f;
    unit.Height = 5.0f;
    unit.GetDrawPoint(x, y);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 45);
}

TEST_F(UnitTest, StoredImageHoldsEveryFieldAtItsOffset)
{
    AddType(0, 5);
    TUnit target(5, 0);
    target.Player = 3;
    target.m_Index = 77;
    TUnit unit(5, 0);
    unit.X = 12.5f;
    unit.HitPoints = 33.0f;
    unit.Work = 7;
    unit.Type = 5;
    unit.FaceOrient = 4;
    unit.m_ShipParts2[7] = 1;
    unit.AttackUnit = &target;
    unit.Path = new std::uint8_t[3]{1, 2, 3};
    unit.PathLength = 3;

    std::array<std::uint8_t, UNIT_RECORD_SIZE> image{};
    WriteUnitImage(unit, image);
    EXPECT_EQ(plat::ReadF32LE(&image[28]), 12.5f);
    EXPECT_EQ(plat::ReadI32LE(&image[128]), static_cast<std::int32_t>(unit.UniqueId()));
    EXPECT_EQ(image[7], unit.FramePhase);
    EXPECT_EQ(image[200], 7);
    EXPECT_EQ(plat::ReadU16LE(&image[136]), 5);
    EXPECT_EQ(plat::ReadF32LE(&image[220]), 33.0f);
    EXPECT_EQ(image[376], 4);
    EXPECT_EQ(image[305 + 7], 1);
    EXPECT_EQ(plat::ReadU32LE(&image[208]), (3u << 16) | 77u);
    EXPECT_EQ(plat::ReadU32LE(&image[0]), 0u) << "the type pointer is not stored";
    EXPECT_EQ(plat::ReadU32LE(&image[192]), 0u) << "the path pointer is not stored";
    EXPECT_EQ(plat::ReadU32LE(&image[244]), UNIT_LINK_NONE);
    for (int gap : {25, 26, 27, 111, 114, 115, 123, 126, 127, 135, 138, 139, 161, 176, 187, 189, 201, 205, 225,
                    235, 250, 265, 279, 315, 341, 350, 361, 377, 378, 379})
        EXPECT_EQ(image[gap], 0) << gap;

    TUnit loaded(5, 0);
    std::uint8_t* ownPath = loaded.Path;
    TUnitLinks links;
    ASSERT_TRUE(ReadUnitImage(image, &loaded, links));
    EXPECT_EQ(loaded.UniqueId(), unit.UniqueId());
    EXPECT_EQ(loaded.FramePhase, unit.FramePhase);
    EXPECT_FLOAT_EQ(loaded.HitPoints, 33.0f);
    EXPECT_EQ(loaded.Work, 7);
    EXPECT_EQ(loaded.PathLength, 3);
    EXPECT_EQ(loaded.Path, ownPath) << "owned arrays keep the live unit's";
    EXPECT_EQ(loaded.AttackUnit, nullptr);
    EXPECT_EQ(links.attackUnit, (3u << 16) | 77u);
    EXPECT_EQ(links.house, UNIT_LINK_NONE);

    std::array<std::uint8_t, UNIT_RECORD_SIZE> again{};
    loaded.AttackUnit = &target;
    loaded.Path = new std::uint8_t[3]{};
    WriteUnitImage(loaded, again);
    EXPECT_EQ(image, again);
}

} // namespace
