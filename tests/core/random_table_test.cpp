#include "core/random_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

void FillFrom(std::uint32_t seed)
{
    g_RandSeed = seed;
    InitRandomTable();
}

} // namespace

TEST(RandomTable, FirstValuesOfAFixedSeed)
{
    FillFrom(1);
    const std::uint16_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(g_RandTable[i], expected[i]) << "entry " << i;
    EXPECT_EQ(g_RandIndex, 0);

    // Seed 0 starts from the increment alone.
    FillFrom(0);
    EXPECT_EQ(g_RandTable[0], (2531011u >> 16) & 0x7FFF);
}

TEST(RandomTable, EveryEntryKeepsItsHighBitClearAndSeedsDiffer)
{
    FillFrom(0xDEADBEEF);
    EXPECT_TRUE(std::all_of(std::begin(g_RandTable), std::end(g_RandTable), [](std::uint16_t v) { return v <= 32767; }));
    std::vector<std::uint16_t> first(std::begin(g_RandTable), std::end(g_RandTable));
    FillFrom(0xDEADBEEF + 1);
    EXPECT_FALSE(std::equal(first.begin(), first.end(), std::begin(g_RandTable)));
}

TEST(RandomTable, IndexWrapsAfterAFullRingAndTheSequenceRepeats)
{
    FillFrom(12345);
    std::vector<std::uint16_t> firstLap;
    firstLap.reserve(kRandTableSize);
    for (std::size_t i = 0; i < kRandTableSize; ++i)
        firstLap.push_back(RandomDraw());
    EXPECT_EQ(g_RandIndex, 0);
    for (std::size_t i = 0; i < 100; ++i)
        ASSERT_EQ(RandomDraw(), firstLap[i]) << "draw " << i << " of the second lap";
}

TEST(RandomTable, RefillWithTheSameSeedAndARestoredIndexContinuesTheSequence)
{
    FillFrom(777);
    for (int i = 0; i < 65530; ++i)
        RandomDraw();
    const std::uint16_t savedIndex = RandSyncValue();
    std::vector<std::uint16_t> expected;
    for (int i = 0; i < 20; ++i) // crosses the wrap
        expected.push_back(RandomDraw());

    FillFrom(0); // another game in between
    FillFrom(777);
    g_RandIndex = savedIndex;
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(RandomDraw(), expected[i]) << "draw " << i;
}

TEST(RandomTable, VisualGeneratorNeverTouchesTheSharedTable)
{
    FillFrom(5);
    std::vector<std::uint16_t> before(std::begin(g_RandTable), std::end(g_RandTable));
    g_RandIndex = 1234;

    SeedVisualRand(1);
    EXPECT_EQ(VisualRand(), 41); // the same kind of generator, on its own state
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 10000; ++i) {
                const int v = VisualRand();
                ASSERT_TRUE(v >= 0 && v <= kVisualRandMax);
            }
        });
    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ(g_RandIndex, 1234);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), std::begin(g_RandTable)));
}
