// korvela-simrun GAME_FOLDER MISSION CYCLES [--seed N] [--computer P,P,...]
//
// Runs a game without drawing and prints one line per game cycle: the frame counter and the
// checksum of the simulation state. The same folder, mission, seed and computer slots give the
// same trail in every process and on every machine; the real program writes the same trail with
// KORVELA_TEST_HASH. A test and benchmark tool, not a part of the game.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/random_table.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "game/game_load.h"
#include "game/test_hooks.h"
#include "map/map_view.h"
#include "platform/paths.h"
#include "players/game_cycle.h"
#include "players/sim_checksum.h"
#include "players/strateg.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: korvela-simrun GAME_FOLDER MISSION CYCLES [--seed N] [--computer P,P,...]\n");
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

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    unsigned long long cycles = 0;
    unsigned long long seed = 1;
    std::vector<int> computers;
    if (!ParseNumber(argv[3], 100000000ull, cycles))
        return Usage();
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 0xFFFFFFFFull, seed))
                return Usage();
        } else if (std::strcmp(argv[i], "--computer") == 0 && i + 1 < argc) {
            if (!ParseSlots(argv[++i], computers))
                return Usage();
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
    PrepareTestGame(argv[2]);
    int status = 0;
    if (!LoadGame(argv[2], false, nullptr)) {
        std::fprintf(stderr, "korvela-simrun: the game did not load, see ReportError.log\n");
        status = 1;
    } else {
        for (int slot : computers)
            if (slot < g_wNumPlayer && g_Strateg[slot] != nullptr)
                g_Strateg[slot]->Kind = PLAYER_KIND_COMPUTER;
        char line[40];
        for (unsigned long long c = 0; c < cycles; ++c) {
            NetworkFrame();
            FormatChecksumLine(line, g_FrameCounter, SimulationChecksum());
            std::fputs(line, stdout);
        }
    }
    FreeGame();
    Direct3DFree();
    DirectDrawFree();
    return status;
}
