#include "units/house_types.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "core/memory_stream.h"
#include "platform/bytes.h"

namespace {

// A record whose every field holds a value of its own, so that a field at a wrong offset shows.
THouseType DistinctType()
{
    THouseType t;
    std::u16string name = u"Штаб";
    std::copy(name.begin(), name.end(), t.m_Name);
    std::strcpy(t.m_GraphicName, "TownHall");
    t.m_ArchiveSlot = 0x01020304;
    t.m_TypeNumber = 6;
    t.m_SpriteWidth = 336;
    t.m_SpriteHeight = 176;
    t.m_FootprintRows = 3;
    t.m_FootprintCells = 4;
    t.m_AnchorX = 168;
    t.m_AnchorY = 152;
    t.m_ExitX = -5;
    t.m_ExitY = 96;
    t.m_DoorX = -7;
    t.m_DoorY = 36;
    t.m_Param324 = 11;
    t.m_BuildWork = 1000;
    t.m_Param328 = 2;
    t.m_HitPoints = 3000;
    t.m_Capacity = 5;
    for (int i = 0; i < HOUSE_LIST_SIZE; ++i) {
        t.m_Units[i] = static_cast<std::uint16_t>(100 + i);
        t.m_AnimationSlots[i] = static_cast<std::uint16_t>(i);
        t.m_AnimationX[i] = static_cast<std::int16_t>(-i);
        t.m_AnimationY[i] = static_cast<std::int16_t>(-2 * i);
        t.m_DestructionX[i] = static_cast<std::int16_t>(3 * i);
        t.m_DestructionY[i] = static_cast<std::int16_t>(-3 * i);
        t.m_DestructionValues[i] = 1000u + i;
        t.m_SpotsBX[i] = static_cast<std::int16_t>(4 * i);
        t.m_SpotsBY[i] = static_cast<std::int16_t>(-4 * i);
        t.m_MuzzleX[i] = static_cast<std::int16_t>(5 * i);
        t.m_MuzzleY[i] = static_cast<std::int16_t>(-5 * i);
        t.m_RequiredHouses[i] = static_cast<std::uint16_t>(i == 2 ? HOUSE_LIST_END : i);
    }
    for (int i = 0; i < HOUSE_RESOURCES; ++i) {
        t.m_Costs[i] = 10.5f * (i + 1);
        t.m_Params376[i] = 77u + i;
    }
    t.m_PowerNeed = 2.5f;
    t.m_Output = 100.0f;
    t.m_RuinPhaseCount = 2;
    t.m_ConstructionPhaseCount = 4;
    t.m_DepthKind = HOUSE_DEPTH_SPAN_CODED;
    t.m_AnimationCount = 3;
    t.m_DestructionCount = 4;
    t.m_SpotCountB = 5;
    t.m_MuzzleCount = 6;
    t.m_NoCapacity = 0;
    t.m_Upgrade2 = 1;
    t.m_GroundFlag = 1;
    t.m_Reserved = 1;
    t.m_pFinishedPhase = reinterpret_cast<CHousePhaseGraphic*>(0x1234);
    return t;
}

std::vector<std::uint8_t> Stored(const THouseType& t)
{
    TOfStreamMemory out;
    SaveHouseType(t, out);
    return {out.Data(), out.Data() + out.Size()};
}

} // namespace

TEST(HouseTypeRecord, FieldsStandAtTheirOffsets)
{
    const auto b = Stored(DistinctType());
    ASSERT_EQ(b.size(), static_cast<std::size_t>(HOUSE_TYPE_RECORD_SIZE));
    const struct {
        int offset;
        int width;
        std::uint32_t value;
    } fields[] = {
        {0, 2, u'Ш'}, {8, 2, 0}, {200, 1, 'T'}, {300, 4, 0x01020304}, {304, 1, 6}, {305, 1, 0}, {306, 2, 336},
        {308, 2, 176}, {310, 1, 3}, {311, 1, 4}, {312, 2, 168}, {314, 2, 152}, {316, 2, 0xFFFB}, {318, 2, 96},
        {320, 2, 0xFFF9}, {322, 2, 36}, {324, 2, 11}, {326, 2, 1000}, {328, 2, 2}, {330, 2, 3000}, {332, 2, 5},
        {334, 2, 100}, {352, 2, 109}, {354, 2, 0}, {356, 4, std::bit_cast<std::uint32_t>(10.5f)},
        {372, 4, std::bit_cast<std::uint32_t>(52.5f)}, {376, 4, 77}, {392, 4, 81},
        {396, 4, std::bit_cast<std::uint32_t>(2.5f)}, {400, 4, std::bit_cast<std::uint32_t>(100.0f)},
        {404, 4, 0}, {428, 4, 0}, {432, 1, 2}, {433, 1, 4}, {434, 1, 0}, {435, 1, 255}, {436, 1, 3}, {438, 2, 0},
        {440, 2, 1}, {460, 2, 0xFFFF}, {480, 2, 0xFFFE}, {498, 1, 4}, {502, 2, 3}, {522, 2, 0xFFFD},
        {544, 4, 1001}, {580, 1, 5}, {584, 2, 4}, {604, 2, 0xFFFC}, {622, 1, 6}, {626, 2, 5}, {646, 2, 0xFFFB},
        {668, 2, 0xFFFF}, {670, 2, 3}, {684, 1, 0}, {685, 1, 1}, {686, 1, 1}, {687, 1, 1},
    };
    for (const auto& f : fields) {
        const std::uint32_t v = f.width == 1 ? b[f.offset] : f.width == 2 ? plat::ReadU16LE(&b[f.offset])
                                                                          : plat::ReadU32LE(&b[f.offset]);
        EXPECT_EQ(v, f.value) << "offset " << f.offset;
    }
}

TEST(HouseTypeRecord, LoadKeepsThePhasesAndRefusesBadRecords)
{
    const THouseType original = DistinctType();
    const auto bytes = Stored(original);
    THouseType loaded;
    loaded.m_pFinishedPhase = reinterpret_cast<CHousePhaseGraphic*>(0x99);
    TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    ASSERT_TRUE(LoadHouseType(in, loaded));
    EXPECT_EQ(loaded.m_pFinishedPhase, reinterpret_cast<CHousePhaseGraphic*>(0x99));
    loaded.m_pFinishedPhase = original.m_pFinishedPhase;
    // The archive slot is the process's own: the saved one is not taken.
    EXPECT_EQ(loaded.m_ArchiveSlot, 0u);
    loaded.m_ArchiveSlot = original.m_ArchiveSlot;
    EXPECT_EQ(Stored(loaded), bytes);

    const std::function<void(std::vector<std::uint8_t>&)> spoils[] = {
        [](auto& b) { b.resize(b.size() - 1); },
        [](auto& b) { b[432] = 3; },
        [](auto& b) { b[433] = 5; },
        [](auto& b) { b[436] = 11; },
        [](auto& b) { b[498] = 11; },
        [](auto& b) { b[580] = 11; },
        [](auto& b) { b[622] = 11; },
        [](auto& b) { plat::WriteU16LE(&b[306], HOUSE_SPRITE_MAX_SIDE + 1); },
        [](auto& b) { plat::WriteU16LE(&b[308], 65535); },
        [](auto& b) { plat::WriteU32LE(&b[400], std::bit_cast<std::uint32_t>(std::numeric_limits<float>::quiet_NaN())); },
        [](auto& b) { plat::WriteU32LE(&b[396], std::bit_cast<std::uint32_t>(std::numeric_limits<float>::infinity())); },
        [](auto& b) { plat::WriteU32LE(&b[364], 0xFF800000u); }, // a cost of minus infinity
    };
    for (const auto& spoil : spoils) {
        auto bad = bytes;
        spoil(bad);
        THouseType t;
        TIfStreamMemory badIn(bad.data(), static_cast<std::int32_t>(bad.size()));
        EXPECT_FALSE(LoadHouseType(badIn, t));
        EXPECT_EQ(t.m_HitPoints, 0);
    }
}

TEST(HouseTypeRecord, UnterminatedNamesAreCut)
{
    auto bytes = Stored(DistinctType());
    std::memset(bytes.data(), 'x', 300);
    THouseType t;
    TIfStreamMemory in(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    ASSERT_TRUE(LoadHouseType(in, t));
    EXPECT_EQ(t.m_Name[HOUSE_NAME_LENGTH - 1], 0);
    EXPECT_EQ(std::strlen(t.m_GraphicName), static_cast<std::size_t>(HOUSE_GRAPHIC_NAME_SIZE - 1));
}

TEST(HouseTypeTable, WholeTableIsAllOrNothing)
{
    for (int i = 0; i < HOUSE_TYPE_COUNT; ++i)
        g_HouseTypes[i].m_HitPoints = static_cast<std::uint16_t>(i);
    TOfStreamMemory out;
    SaveHouseTypes(out);
    ASSERT_EQ(out.Size(), HOUSE_TYPE_TABLE_SIZE);
    std::vector<std::uint8_t> bytes(out.Data(), out.Data() + out.Size());

    for (THouseType& t : g_HouseTypes)
        t.m_HitPoints = 7;
    bytes[HOUSE_TYPE_RECORD_SIZE * 149 + 436] = 12; // the last record is bad
    TIfStreamMemory bad(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_FALSE(LoadHouseTypes(bad));
    EXPECT_EQ(HouseType(0, 3).m_HitPoints, 7);

    bytes[HOUSE_TYPE_RECORD_SIZE * 149 + 436] = 0;
    TIfStreamMemory good(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    ASSERT_TRUE(LoadHouseTypes(good));
    EXPECT_EQ(HouseType(5, 24).m_HitPoints, 149);
    for (THouseType& t : g_HouseTypes)
        t = THouseType{};
}
