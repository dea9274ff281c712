#include "units/house_links.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/memory_stream.h"
#include "house_fixture.h"
#include "map/map_fixture.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/house_types.h"

namespace {

class HouseLinksTest : public ::testing::Test {
protected:
    // A building whose type has animations, with a queue, handler bytes and animation states.
    THouse& Building()
    {
        for (std::uint16_t type = 0; type < HOUSE_TYPES_PER_SIDE; ++type)
            if (HouseType(0, type).m_AnimationCount > 0) {
                THouse& h = world.Place(0, 10, 20, type);
                h.Queue = new std::uint16_t[3]{4, 7, 4};
                h.QueueCount = 3;
                h.HandlerBytes[9] = 0x5A;
                for (std::uint8_t i = 0; i < h.AnimationCount; ++i)
                    h.Animations[i].frameState = 100 + i;
                return h;
            }
        ADD_FAILURE() << "no sample type has animations";
        return world.Place(0, 10, 20, 0);
    }
    std::vector<std::uint8_t> Entry(const THouse& h)
    {
        TOfStreamMemory out;
        WriteHouseLinks(h, out);
        return {out.Data(), out.Data() + out.Size()};
    }
    std::vector<std::uint8_t> Record(const THouse& h)
    {
        std::vector<std::uint8_t> r(HOUSE_RECORD_SIZE);
        WriteHouseRecord(h, r.data());
        return r;
    }

    housetest::HouseWorld world;
};

TEST_F(HouseLinksTest, EntryBringsBackTheQueueStateAndAnimationsOfAPlacedBuilding)
{
    THouse& h = Building();
    const std::vector<std::uint8_t> entry = Entry(h);
    const THouseLinkCounts counts = ReadHouseLinkCounts(std::span<const std::uint8_t, 192>(Record(h).data(), 192));
    EXPECT_EQ(counts.queueCount, 3);
    EXPECT_FALSE(counts.ship);

    THouse& back = world.Place(1, 10, 40, h.HouseType);
    delete[] back.Animations;
    back.Animations = nullptr;
    back.AnimationCount = 0;
    TIfStreamMemory in(entry.data(), static_cast<std::int32_t>(entry.size()));
    ASSERT_TRUE(ReadHouseLinks(back, counts, in, nullptr));
    EXPECT_TRUE(in.AtEnd());
    ASSERT_EQ(back.QueueCount, 3);
    EXPECT_EQ(back.Queue[1], 7);
    EXPECT_EQ(back.HandlerBytes[9], 0x5A);
    ASSERT_EQ(back.AnimationCount, h.AnimationCount);
    EXPECT_EQ(back.Animations[0].frameState, 100u);
    EXPECT_EQ(back.Animations[0].slot, h.Animations[0].slot);
    EXPECT_EQ(Entry(back), entry);
}

TEST_F(HouseLinksTest, EndlessQueueAndLostLinks)
{
    THouse& h = Building();
    h.Queue[0] = 9;
    h.QueueCount = HOUSE_QUEUE_ENDLESS;
    h.TargetPlayer = 1;
    const std::vector<std::uint8_t> entry = Entry(h);
    THouseLinkCounts counts = ReadHouseLinkCounts(std::span<const std::uint8_t, 192>(Record(h).data(), 192));
    counts.insideCount = 0;
    THouse& back = world.Place(1, 10, 40, h.HouseType);
    TIfStreamMemory in(entry.data(), static_cast<std::int32_t>(entry.size()));
    maptest::LogWatch log;
    // The type's records were made at placing: a save's entry finds them already there.
    ASSERT_TRUE(ReadHouseLinks(back, counts, in, [](std::uint8_t, std::uint16_t) { return nullptr; }));
    EXPECT_EQ(log.Count("Откуда здесь взялись анимации?"), 1);
    EXPECT_EQ(back.QueueCount, HOUSE_QUEUE_ENDLESS);
    EXPECT_EQ(back.Queue[0], 9);
    EXPECT_EQ(back.TargetPlayer, 255) << "a target that names no unit is dropped";
    EXPECT_EQ(back.TargetUnit, nullptr);
}

TEST_F(HouseLinksTest, DamagedEntriesAreRefused)
{
    THouse& h = Building();
    const std::vector<std::uint8_t> good = Entry(h);
    const THouseLinkCounts counts = ReadHouseLinkCounts(std::span<const std::uint8_t, 192>(Record(h).data(), 192));
    const struct {
        const char* name;
        std::vector<std::uint8_t> entry;
        THouseLinkCounts counts;
        const char* logged;
    } cases[] = {
        {"queue beyond the entry", good, THouseLinkCounts{60000, 0, 255, false}, "production queue is cut short"},
        {"unit type beyond the table", [&] {
             std::vector<std::uint8_t> e = good;
             e[0] = 40;
             return e;
         }(),
         counts, "queued unit type beyond the table"},
        {"no separator", std::vector<std::uint8_t>(good.begin(), good.end() - 1), counts, "separator"},
        {"wrong separator", [&] {
             std::vector<std::uint8_t> e = good;
             e.back() = '$';
             return e;
         }(),
         counts, "separator"},
        {"target cut short", std::vector<std::uint8_t>(good.begin(), good.begin() + 6 + 10 + 1),
         THouseLinkCounts{3, 0, 2, false}, "target is cut short"},
    };
    for (const auto& c : cases) {
        THouse& back = world.Place(1, 10, 40, h.HouseType);
        TIfStreamMemory in(c.entry.data(), static_cast<std::int32_t>(c.entry.size()));
        maptest::LogWatch log;
        EXPECT_FALSE(ReadHouseLinks(back, c.counts, in, nullptr)) << c.name;
        EXPECT_GE(log.Count(c.logged), 1) << c.name << log.Added();
        EXPECT_EQ(back.QueueCount, 0) << c.name;
    }
}

} // namespace
