// Loading the 8-player sample map from its file to a ready world: the file read and inflated, the
// layers filled and shaded, the optional blocks read, the land textures the map uses made.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench_display.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "land_textures.h"
#include "map/land_textures.h"
#include "map/map_file.h"
#include "maps.h"
#include "platform/paths.h"
#include "sample_data.h"

namespace {

void BM_LoadCoastMap(benchmark::State& state)
{
    const std::string folder = (std::filesystem::temp_directory_path() / "korvela-bench-map").string();
    const sampledata::SampleMap map = sampledata::MakeCoastMap();
    const auto file = sampledata::BuildMapFile(map.data, map.tail, true);
    BenchDisplay display;
    if (!sampledata::WriteFileBytes(folder, "Maps/Coast.dat", file.data(), file.size())
        || !sampledata::WriteLandTextures(folder) || !display.Ok()) {
        state.SkipWithError("setup failed");
        return;
    }
    plat::SetGameRoot(folder);
    for (auto _ : state) {
        const bool ok = LoadMapFile("Coast.dat", nullptr) && CreateLandscapeTextures();
        if (!ok) {
            state.SkipWithError("load failed");
            break;
        }
    }
    FreeMapResources();
    plat::SetGameRoot(".");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    state.counters["cells"] = static_cast<double>(map.data.cells.size());
}
BENCHMARK(BM_LoadCoastMap)->Unit(benchmark::kMillisecond);

} // namespace
