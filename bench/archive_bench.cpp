// Reading every entry of an archive (open the slot, find each entry by name, read and inflate it)
// against bare zlib inflating the same bodies from memory.
#include <benchmark/benchmark.h>

#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archives.h"
#include "core/archive.h"
#include "platform/bytes.h"
#include "sample_data.h"

namespace {

constexpr int kEntries = 500;

// 500 sprite-like pictures (16-bit pixels, shaded shapes on a key colour), 24 to 80 pixels high.
struct BenchArchive {
    std::string folder;
    std::string path;
    std::vector<std::string> names;
    std::vector<std::vector<std::uint8_t>> bodies; // the packed bodies as stored
    std::vector<std::uint32_t> rawSizes;
    std::size_t rawTotal = 0;

    BenchArchive()
    {
        folder = (std::filesystem::temp_directory_path() / "korvela-bench-archive").string();
        std::filesystem::create_directories(folder);
        std::vector<sampledata::LesSource> sources;
        for (int i = 0; i < kEntries; ++i) {
            const int w = 64 + (i % 5) * 16;
            const int h = 24 + (i * 7) % 57;
            std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w * h * 2));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int dx = x - w / 2;
                    const int dy = y - h / 2;
                    const bool inside = dx * dx * h * h + dy * dy * w * w < w * w * h * h / 4;
                    const std::uint16_t c = inside ? static_cast<std::uint16_t>(((x + i) & 31) << 11 | ((y * 2) & 63) << 5 | ((x ^ y) & 31))
                                                   : 0xF81F;
                    plat::WriteU16LE(pixels.data() + 2 * (y * w + x), c);
                }
            names.push_back("frame_" + std::to_string(i) + ".bmp");
            rawTotal += pixels.size();
            sources.push_back({names.back(), static_cast<std::uint16_t>(i), std::move(pixels)});
        }
        const std::vector<std::uint8_t> image = sampledata::BuildLesArchive(sources);
        sampledata::WriteFileBytes(folder, "bench.les", image.data(), image.size());
        path = folder + "/bench.les";
        for (int i = 0; i < kEntries; ++i) {
            const std::uint8_t* d = image.data() + LES_HEADER_SIZE + i * LES_ENTRY_SIZE;
            const std::uint32_t packed = plat::ReadU32LE(d + 36);
            const std::uint32_t offset = plat::ReadU32LE(d + 44);
            rawSizes.push_back(plat::ReadU32LE(d + 40));
            bodies.emplace_back(image.begin() + offset, image.begin() + offset + packed);
        }
    }
    ~BenchArchive() { std::filesystem::remove_all(folder); }
};

BenchArchive& Archive()
{
    static BenchArchive archive;
    return archive;
}

void BM_ArchiveReadEveryEntry(benchmark::State& state)
{
    BenchArchive& a = Archive();
    ini_unpack();
    for (auto _ : state) {
        if (!Load_LesHeader(LES_SLOT_ANIMATION, a.path.c_str())) {
            state.SkipWithError("archive did not open");
            break;
        }
        for (const std::string& name : a.names) {
            std::uint32_t size = 0;
            std::uint8_t* data = LoadLesEntry(LES_SLOT_ANIMATION, name.c_str(), 0, &size);
            benchmark::DoNotOptimize(data);
            FreeLesEntry(data);
        }
        CloseLes(LES_SLOT_ANIMATION);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(a.rawTotal));
}
BENCHMARK(BM_ArchiveReadEveryEntry)->Unit(benchmark::kMillisecond);

void BM_BareZlibUncompressSameBodies(benchmark::State& state)
{
    BenchArchive& a = Archive();
    for (auto _ : state) {
        for (int i = 0; i < kEntries; ++i) {
            auto* out = new std::uint8_t[a.rawSizes[i]];
            uLongf size = a.rawSizes[i];
            uncompress(out, &size, a.bodies[i].data(), static_cast<uLong>(a.bodies[i].size()));
            benchmark::DoNotOptimize(out);
            delete[] out;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(a.rawTotal));
}
BENCHMARK(BM_BareZlibUncompressSameBodies)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

void BM_ArchiveOpenAndClose(benchmark::State& state)
{
    BenchArchive& a = Archive();
    ini_unpack();
    for (auto _ : state) {
        Load_LesHeader(LES_SLOT_ANIMATION, a.path.c_str());
        CloseLes(LES_SLOT_ANIMATION);
    }
}
BENCHMARK(BM_ArchiveOpenAndClose)->Unit(benchmark::kMicrosecond);

void BM_ArchiveReadEveryEntryOpenSlot(benchmark::State& state)
{
    BenchArchive& a = Archive();
    ini_unpack();
    Load_LesHeader(LES_SLOT_ANIMATION, a.path.c_str());
    for (auto _ : state) {
        for (const std::string& name : a.names) {
            std::uint32_t size = 0;
            std::uint8_t* data = LoadLesEntry(LES_SLOT_ANIMATION, name.c_str(), 0, &size);
            benchmark::DoNotOptimize(data);
            FreeLesEntry(data);
        }
    }
    CloseLes(LES_SLOT_ANIMATION);
}
BENCHMARK(BM_ArchiveReadEveryEntryOpenSlot)->Unit(benchmark::kMillisecond);

} // namespace
