#pragma once
// What every drawing benchmark stands on: a display and 3-D device of its own, made when the
// benchmark starts and freed when it ends, so that no benchmark draws on what another left behind;
// and the rasteriser's counters, so that a benchmark whose draws did nothing reports an error
// instead of a figure.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "devices/d3d_device.h"
#include "devices/display.h"
#include "platform/raster.h"

class BenchDisplay {
public:
    explicit BenchDisplay(int mode = 0)
    {
        // A display left over by code under test would refuse the new device's Z-buffer.
        Release();
        m_Ok = DirectDrawInit(nullptr, mode) && Direct3DInit();
    }
    ~BenchDisplay() { Release(); }
    BenchDisplay(const BenchDisplay&) = delete;
    BenchDisplay& operator=(const BenchDisplay&) = delete;

    bool Ok() const { return m_Ok; }

private:
    static void Release()
    {
        Direct3DFree();
        DirectDrawFree();
    }
    bool m_Ok = false;
};

// The rasteriser's drawing threads for one benchmark, back to one when it ends.
class BenchThreads {
public:
    BenchThreads(benchmark::State& state, int threads)
    {
        plat::SetRasterThreads(threads);
        state.counters["threads"] = threads;
    }
    ~BenchThreads() { plat::SetRasterThreads(1); }
    BenchThreads(const BenchThreads&) = delete;
    BenchThreads& operator=(const BenchThreads&) = delete;
};

// The rasteriser's work between construction and Check.
class RasterWork {
public:
    RasterWork() { plat::ResetRasterCounters(); }

    // Reports draws and shaded pixels per iteration; false, with the benchmark's error, when the
    // loop ran but fewer than minDraws primitives or no pixel at all were drawn per iteration.
    bool Check(benchmark::State& state, std::uint64_t minDraws = 1)
    {
        const plat::RasterCounters c = plat::ReadRasterCounters();
        const auto n = static_cast<std::uint64_t>(state.iterations());
        if (n == 0)
            return true;
        if (c.draws < minDraws * n || c.pixels == 0) {
            state.SkipWithError("the rasteriser drew nothing");
            return false;
        }
        state.counters["draws"] = static_cast<double>(c.draws) / static_cast<double>(n);
        state.counters["pixels"] = static_cast<double>(c.pixels) / static_cast<double>(n);
        return true;
    }
};
