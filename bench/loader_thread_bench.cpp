#include <benchmark/benchmark.h>

#include <atomic>

#include "core/loader_thread.h"
#include "core/random_table.h"

namespace {

constexpr int kRequests = 10000;

TLoaderServices CountingServices(std::atomic<int>& runs)
{
    TLoaderServices services;
    services.loadUnitPhases = [&runs](TBasicUnit*, std::uint32_t) {
        runs.fetch_add(1, std::memory_order_relaxed);
        return true;
    };
    services.sleepMs = [](std::uint32_t) {};
    return services;
}

TBasicUnit* FakeType()
{
    static int storage;
    return reinterpret_cast<TBasicUnit*>(&storage);
}

// 10,000 small requests posted in a burst, then one wait for the worker to be idle.
void BM_LoaderBurstRoundTrip(benchmark::State& state)
{
    std::atomic<int> runs{0};
    TBackgroundLoader loader(CountingServices(runs));
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i)
            loader.Request(MakeUnitPhasesRequest(static_cast<std::uint8_t>(i & 15), FakeType(), i));
        loader.WaitUntilIdle();
    }
    state.SetItemsProcessed(state.iterations() * kRequests);
    benchmark::DoNotOptimize(runs.load());
}
BENCHMARK(BM_LoaderBurstRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

// 10,000 requests each waited for before the next: the latency from request to completion,
// including waking the worker from idle every time.
void BM_LoaderSingleRoundTrip(benchmark::State& state)
{
    std::atomic<int> runs{0};
    TBackgroundLoader loader(CountingServices(runs));
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i) {
            loader.Request(MakeUnitPhasesRequest(1, FakeType(), i));
            loader.WaitUntilIdle();
        }
    }
    state.SetItemsProcessed(state.iterations() * kRequests);
    benchmark::DoNotOptimize(runs.load());
}
BENCHMARK(BM_LoaderSingleRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InitRandomTable(benchmark::State& state)
{
    for (auto _ : state) {
        g_RandSeed = static_cast<std::uint32_t>(state.iterations());
        InitRandomTable();
        benchmark::DoNotOptimize(g_RandTable[kRandTableSize - 1]);
    }
}
BENCHMARK(BM_InitRandomTable)->Unit(benchmark::kMicrosecond);

} // namespace
