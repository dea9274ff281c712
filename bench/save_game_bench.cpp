// Saving runs on the quick-save key in the middle of a game; loading runs inside the game load.
// Measured on a 200 x 400 map with 400 buildings of two players: building the save image, the whole
// save to a compressed file, and the whole load of that file. Then on the coast map's eight players
// with 5,000 units: the save, and the quick load (the running game freed, the saved one loaded with
// every module's start, as BM_LoadAndFreeCoastMission measures for the mission alone).
#include <algorithm>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "bench_display.h"
#include "core/memory_stream.h"
#include "game/game_load.h"
#include "map/map_view.h"
#include "sample_data.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "game/save_game.h"
#include "map/map_file.h"
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
        for (std::uint8_t p = 0; p < 2; ++p) {
            // A player's record owns its house array; the save holds the record's state block.
            CreateMapPlayer(TMapPlayerRecord{}, PLAYER_KIND_COMPUTER);
            for (int i = 0; i < 200; ++i) {
                THouse* t = CreateHouseRecord(4 + (i % 20) * 9, 8 + p * 190 + (i / 20) * 18, HOUSE_WATCHTOWER, 0);
                AddHouse(p, t);
                delete t;
            }
        }
    }
    ~SaveBenchGame()
    {
        ClearGlobalHeap();
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

// The coast map's eight players, each with its units brought to 625 around its first unit.
struct CoastGame5000 {
    static constexpr int kUnitsPerPlayer = 625;
    CoastGame5000()
    {
        folder = (std::filesystem::temp_directory_path() / "korvela-save-bench-coast").string();
        if (!display.Ok() || !sampledata::WriteWorldFiles(folder))
            return;
        std::filesystem::create_directories(folder + "/Save");
        plat::SetGameRoot(folder);
        SetViewSizeByScreen();
        g_GameType = 0;
        if (!LoadGame("Data\\Campaigns\\Sample\\Coast.mis", false, nullptr))
            return;
        const float right = static_cast<float>(g_MapWidth) * 96.0f - 200.0f;
        const float bottom = static_cast<float>(g_MapHeight) * 24.0f - 200.0f;
        for (std::uint8_t p = 0; p < g_wNumPlayer; ++p) {
            const TUnit* first = FirstPlayerUnit(p);
            if (first == nullptr)
                return;
            const float x0 = first->X;
            const float y0 = first->Y;
            for (int i = 0; NumUnits[p] < kUnitsPerPlayer && i < 4 * kUnitsPerPlayer; ++i) {
                const float x = std::clamp(x0 + static_cast<float>(i % 25 - 12) * 24.0f, 200.0f, right);
                const float y = std::clamp(y0 + static_cast<float>(i / 25 - 12) * 12.0f, 200.0f, bottom);
                CreateUnitAt(x, y, p, static_cast<std::uint16_t>(i % 2 == 0 ? 0 : 2), 1);
            }
        }
        for (std::uint8_t p = 0; p < g_wNumPlayer; ++p)
            units += NumUnits[p];
        ok = units >= 8 * kUnitsPerPlayer;
    }
    ~CoastGame5000()
    {
        FreeGame();
        plat::SetGameRoot(".");
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    BenchDisplay display;
    std::string folder;
    int units = 0;
    bool ok = false;
};

void BM_SaveCoastGame5000Units(benchmark::State& state)
{
    CoastGame5000 game;
    if (!game.ok) {
        state.SkipWithError("the game with 5,000 units was not made");
        return;
    }
    for (auto _ : state)
        if (!SaveGameData("Save\\bench.svg")) {
            state.SkipWithError("the save failed");
            break;
        }
    state.counters["units"] = game.units;
    state.counters["file bytes"] = static_cast<double>(std::filesystem::file_size(game.folder + "/Save/bench.svg"));
}
BENCHMARK(BM_SaveCoastGame5000Units)->Unit(benchmark::kMillisecond);

void BM_QuickLoadCoastGame5000Units(benchmark::State& state)
{
    CoastGame5000 game;
    if (!game.ok || !SaveGameData("Save\\bench.svg")) {
        state.SkipWithError("the game with 5,000 units was not made or saved");
        return;
    }
    for (auto _ : state)
        if (!ReplaceGameFromSave("Save\\bench.svg")) {
            state.SkipWithError("the load failed");
            break;
        }
    int units = 0;
    for (std::uint8_t p = 0; p < g_wNumPlayer; ++p)
        units += NumUnits[p];
    state.counters["units loaded"] = units;
}
BENCHMARK(BM_QuickLoadCoastGame5000Units)->Unit(benchmark::kMillisecond);

} // namespace
