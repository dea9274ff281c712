// korvela-simrun GAME_FOLDER MISSION CYCLES [--seed N] [--computer P,P,...] [--counts]
//                [--save-at N FILE] [--load FILE]
//
// Runs a game without drawing and prints one line per game cycle: the frame counter and the
// checksum of the simulation state. The same folder, mission, seed and computer slots give the
// same trail in every process and on every machine; the real program writes the same trail with
// KORVELA_TEST_HASH. With --counts it prints, instead of the trail, one line per player at the end
// with what the player put up and produced since the start (see PrintCounts). With --save-at the
// game is saved after cycle N through the game's own save, and the line "saved" with the checksum
// of that moment follows the cycle's line; with --load the game starts from a save instead of the
// mission (give MISSION as -) and the line "loaded" with the checksum of the loaded game comes
// before the first cycle. Save paths are relative to the game folder, as the game writes them. A
// test and benchmark tool, not a part of the game.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/random_table.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "game/game_load.h"
#include "game/save_game.h"
#include "game/test_hooks.h"
#include "map/map_view.h"
#include "platform/paths.h"
#include "players/economy.h"
#include "players/game_cycle.h"
#include "players/sim_checksum.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/unit_lists.h"
#include "units/upgrades.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: korvela-simrun GAME_FOLDER MISSION CYCLES [--seed N] [--computer P,P,...] [--counts]\n"
                         "                      [--save-at N FILE] [--load FILE]\n");
    return 2;
}

bool ParseNumber(const char* text, unsigned long long limit, unsigned long long& out)
{
    char* end = nullptr;
    out = std::strtoull(text, &end, 10);
    return end != text && *end == 0 && out <= limit;
}

bool ParseSlots(const char* text, std::vector<int>& slots)
{
    std::string list = text;
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        unsigned long long slot = 0;
        if (!ParseNumber(list.substr(at, comma - at).c_str(), 7, slot))
            return false;
        slots.push_back(static_cast<int>(slot));
        at = comma + 1;
    }
    return true;
}

// What one player has: standing buildings by type (building sites included), living units and
// units waiting in the production queues by type, research started or done.
struct TPlayerCounts {
    int houses[25] = {};
    int units[40] = {};
    int research = 0;
    int finishedBarracks = 0;
    int finishedHouses = 0;
    double food = 0.0;
};

TPlayerCounts CountPlayer(std::uint8_t p)
{
    TPlayerCounts c;
    for (std::uint16_t i = 0; g_pHouse[p] != nullptr && i < NumHouse[p]; ++i) {
        const THouse& h = g_pHouse[p][i];
        if (h.TypeRecord == nullptr || h.Destroyed != 0 || h.HouseType >= 25)
            continue;
        ++c.houses[h.HouseType];
        if (h.HouseType == 3 && h.IsFinished())
            ++c.finishedBarracks;
        if (h.IsFinished())
            ++c.finishedHouses;
        const int queued = h.QueueCount == HOUSE_QUEUE_ENDLESS ? 1 : h.QueueCount;
        for (int k = 0; k < queued && h.Queue != nullptr; ++k)
            if (h.Queue[k] < 40)
                ++c.units[h.Queue[k]];
    }
    for (int t = 0; t < 40; ++t)
        c.units[t] += g_UnitTypeCount[p][t];
    for (int i = 0; i < SCIENCE_UPGRADES; ++i)
        c.research += ScienceTaken(p, i) || ScienceDone(p, i) ? 1 : 0;
    for (int i = 0; i < WAR_UPGRADES; ++i)
        c.research += g_WarTaken[p][i] || g_WarDone[p][i] ? 1 : 0;
    if (g_Strateg[p] != nullptr)
        c.food = g_Strateg[p]->Res[RESOURCE_FOOD].recorded;
    return c;
}

// One line per player: farms (15), extractors (10..13), barracks (3), other military buildings
// (1, 4, 5, 7, 16, 19..21, 23, 24), workers (unit type 0) and soldiers (every other type) gained
// since the start, research started, the barracks finished (soldiers need one), the finished
// buildings gained since the start, and the food the player was credited at the start and now.
void PrintCounts(const TPlayerCounts (&start)[8])
{
    for (std::uint8_t p = 0; p < g_wNumPlayer && p < 8; ++p) {
        const TPlayerCounts now = CountPlayer(p);
        auto gained = [&](std::initializer_list<int> types) {
            int n = 0;
            for (int t : types)
                n += now.houses[t] - start[p].houses[t];
            return n;
        };
        int soldiers = 0;
        for (int t = 2; t < 40; ++t)
            soldiers += std::max(0, now.units[t] - start[p].units[t]);
        std::printf("player %d: farms %d extractors %d barracks %d military %d workers %d soldiers %d research %d finished-barracks %d"
                    " finished-houses %d food %.0f %.0f\n",
                    p, gained({15}), gained({10, 11, 12, 13}), gained({3}), gained({1, 4, 5, 7, 16, 19, 20, 21, 23, 24}),
                    std::max(0, now.units[0] - start[p].units[0]), soldiers, now.research, now.finishedBarracks,
                    now.finishedHouses - start[p].finishedHouses, start[p].food, now.food);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    unsigned long long cycles = 0;
    unsigned long long seed = 1;
    std::vector<int> computers;
    bool counts = false;
    bool saveAt = false;
    unsigned long long saveCycle = 0;
    const char* savePath = nullptr;
    const char* loadPath = nullptr;
    if (!ParseNumber(argv[3], 100000000ull, cycles))
        return Usage();
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 0xFFFFFFFFull, seed))
                return Usage();
        } else if (std::strcmp(argv[i], "--computer") == 0 && i + 1 < argc) {
            if (!ParseSlots(argv[++i], computers))
                return Usage();
        } else if (std::strcmp(argv[i], "--counts") == 0) {
            counts = true;
        } else if (std::strcmp(argv[i], "--save-at") == 0 && i + 2 < argc) {
            if (!ParseNumber(argv[++i], 100000000ull, saveCycle))
                return Usage();
            saveAt = true;
            savePath = argv[++i];
        } else if (std::strcmp(argv[i], "--load") == 0 && i + 1 < argc) {
            loadPath = argv[++i];
        } else {
            return Usage();
        }
    }

    plat::SetGameRoot(argv[1]);
    if (!DirectDrawInit(nullptr, 0) || !Direct3DInit()) {
        std::fprintf(stderr, "korvela-simrun: no display device\n");
        return 1;
    }
    SetViewSizeByScreen();
    g_RandSeed = static_cast<std::uint32_t>(seed);
    if (loadPath == nullptr)
        PrepareTestGame(argv[2]);
    int status = 0;
    char line[40];
    const bool loaded = loadPath != nullptr ? LoadGame(loadPath, true, nullptr) : LoadGame(argv[2], false, nullptr);
    if (!loaded) {
        std::fprintf(stderr, "korvela-simrun: the game did not load, see ReportError.log\n");
        status = 1;
    } else {
        for (int slot : computers)
            if (slot < g_wNumPlayer && g_Strateg[slot] != nullptr)
                g_Strateg[slot]->Kind = PLAYER_KIND_COMPUTER;
        TPlayerCounts start[8];
        for (std::uint8_t p = 0; p < g_wNumPlayer && p < 8; ++p)
            start[p] = CountPlayer(p);
        if (loadPath != nullptr && !counts) {
            FormatChecksumLine(line, g_FrameCounter, SimulationChecksum());
            std::printf("loaded %s", line);
        }
        // A save before the first cycle is a save of the game as loaded.
        auto save = [&] {
            if (!SaveGameData(savePath)) {
                std::fprintf(stderr, "korvela-simrun: the save failed, see ReportError.log\n");
                status = 1;
                return;
            }
            FormatChecksumLine(line, g_FrameCounter, SimulationChecksum());
            std::printf("saved %s", line);
        };
        if (saveAt && saveCycle == 0)
            save();
        for (unsigned long long c = 0; c < cycles; ++c) {
            NetworkFrame();
            if (!counts) {
                FormatChecksumLine(line, g_FrameCounter, SimulationChecksum());
                std::fputs(line, stdout);
            }
            if (saveAt && c + 1 == saveCycle)
                save();
        }
        if (counts)
            PrintCounts(start);
    }
    FreeGame();
    Direct3DFree();
    DirectDrawFree();
    return status;
}
