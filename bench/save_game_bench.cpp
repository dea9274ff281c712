// Saving runs on the quick-save key in the middle of a game; loading runs inside the game load.
// Measured on a 200 x 400 map with 400 buildings of two players: building the save image, the whole
// save to a compressed file, and the whole load of that file.
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "core/memory_stream.h"
#include "game/save_game.h"
#include "map/map_grid.h"
#include "parameters.h"
#include "platform/paths.h"
#include "players/strateg.h"
#include "sample_types.h"
#include "units/house.h"
#include "units/house_types.h"

namespace {

struct SaveBenchGame {
    SaveBenchGame()
    {
        root = (std::filesystem::temp_directory_path() / "korvela-save-bench").string();
        std::filesystem::create_directories(root + "/Save");
        plat::SetGameRoot(root);
        g_MapWidth = 200;
        g_MapHeight = 400;
        SetMapGeometry();
        for (const auto& s : sampledata::kSampleHouseTypes)
            HouseType(0, s.type) = sampledata::SampleHouseRecord(0, s);
        for (std::uint32_t i = 0; i < g_MapCellCount; ++i) {
            g_pHeightMap[i] = static_cast<std::uint8_t>((i * 37) >> 5);
            g_pCellInfo[i] = TMapCell{static_cast<std::uint16_t>(i % 12 + 1), static_cast<std::uint8_t>(i), 0, {}};
            if (i % 7 == 0)
                g_pObjectMap[i] = kObjectTreeFirst;
        }
        g_wNumPlayer = 2;
        for (std::uint8_t p = 0; p < 2; ++p) {
            g_pHouse[p] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
            NumHouse[p] = 0;
            for (int i = 0; i < 200; ++i) {
                THouse* t = CreateHouseRecord(4 + (i % 20) * 9, 8 + p * 190 + (i / 20) * 18, HOUSE_WATCHTOWER, 0);
                AddHouse(p, t);
                delete t;
            }
        }
    }
    ~SaveBenchGame()
    {
        for (std::uint8_t p = 0; p < 8; ++p)
            FreePlayerHouses(p);
        DestroyMap();
        plat::SetGameRoot(".");
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string root;
};

void BM_BuildSaveImage(benchmark::State& state)
{
    SaveBenchGame game;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        TOfStreamMemory out;
        BuildSaveImage(out);
        bytes += out.Size();
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_BuildSaveImage)->Unit(benchmark::kMillisecond);

void BM_SaveGameData(benchmark::State& state)
{
    SaveBenchGame game;
    for (auto _ : state)
        if (!SaveGameData("Save\\bench.svg")) {
            state.SkipWithError("the save failed");
            break;
        }
}
BENCHMARK(BM_SaveGameData)->Unit(benchmark::kMillisecond);

void BM_LoadGameData(benchmark::State& state)
{
    SaveBenchGame game;
    if (!SaveGameData("Save\\bench.svg"))
        state.SkipWithError("the save failed");
    for (auto _ : state)
        if (!LoadGameData("Save\\bench.svg")) {
            state.SkipWithError("the load failed");
            break;
        }
    state.counters["houses"] = NumHouse[0] + NumHouse[1];
}
BENCHMARK(BM_LoadGameData)->Unit(benchmark::kMillisecond);

} // namespace
