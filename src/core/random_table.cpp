#include "core/random_table.h"

#include <atomic>

std::uint32_t g_RandSeed = 0;
std::uint16_t g_RandTable[kRandTableSize];
std::uint16_t g_RandIndex = 0;

void InitRandomTable()
{
    TRandomGenerator generator(g_RandSeed);
    for (std::size_t i = 0; i < kRandTableSize; ++i)
        g_RandTable[i] = generator.Next();
    g_RandIndex = 0;
}

namespace {

std::atomic<std::uint32_t> s_VisualState{1};

} // namespace

int VisualRand()
{
    std::uint32_t state = s_VisualState.load(std::memory_order_relaxed);
    TRandomGenerator step(state);
    std::uint16_t value = step.Next();
    // Another thread may have stepped the state meanwhile; retry from its state so that no two
    // callers get the value of the same step.
    while (!s_VisualState.compare_exchange_weak(state, step.State(), std::memory_order_relaxed)) {
        step.Seed(state);
        value = step.Next();
    }
    return value;
}

void SeedVisualRand(std::uint32_t seed)
{
    s_VisualState.store(seed, std::memory_order_relaxed);
}
