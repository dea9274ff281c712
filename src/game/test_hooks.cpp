#include "game/test_hooks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/app_state.h"
#include "core/error_log.h"
#include "game/frame_drawing.h"
#include "game/game_load.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "devices/display.h"
#include "devices/mouse.h"
#include "map/map_file.h"
#include "map/map_view.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "players/sim_checksum.h"
#include "players/strateg.h"
#include "units/unit.h"
#include "ui/setup_screen.h"

namespace {

// The sample setup of a random map: this machine's player first, each computer player on a team
// of its own.
void SetSampleSetup(const char* mapName)
{
    std::snprintf(g_RandomMapName, sizeof g_RandomMapName, "%s", mapName);
    std::uint8_t players = GetMapPlayerCount(mapName);
    if (players > 8)
        players = 8;
    g_SetupPlayerCount = players;
    for (std::uint8_t i = 0; i < 8; ++i) {
        TSetupPlayer& row = g_SetupPlayers[i];
        row = {};
        const std::u16string name = i == 0 ? u"Player" : u"Computer " + std::u16string(1, u'0' + i);
        std::copy(name.begin(), name.end(), row.name);
        row.nation = static_cast<std::uint8_t>(i % 5);
        row.colour = i;
        row.team = static_cast<std::uint8_t>(i + 1);
        row.level = i == 0 ? 4 : 2;
    }
}

void PutU16(std::string& out, std::uint32_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8 & 0xFF);
}

void PutU32(std::string& out, std::uint32_t v)
{
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

} // namespace

void PrepareTestGame(const char* path)
{
    const bool randomMap = std::strncmp(path, "Maps\\", 5) == 0 || std::strncmp(path, "Maps/", 5) == 0;
    if (randomMap) {
        g_GameType = GAME_TYPE_RANDOM_MAP;
        g_MissionPath.clear();
        SetSampleSetup(path + 5);
    } else {
        g_GameType = 0;
        g_MissionPath = path;
    }
}

void StartTestGame()
{
    const char* path = std::getenv("KORVELA_TEST_MISSION");
    if (path == nullptr || *path == 0)
        return;
    PrepareTestGame(path);
    if (const char* seed = std::getenv("KORVELA_TEST_SEED"); seed != nullptr && *seed != 0)
        g_RandSeed = static_cast<std::uint32_t>(std::strtoul(seed, nullptr, 10));
    // The menus switch the display to the game's mode before a load; the view takes its size
    // from it.
    ChangeScreenMode(g_ScreenMode);
    SetViewSizeByScreen();
    if (!LoadGame(path, false, nullptr))
        ReportError("LoadGame FAILED");
}

std::string FrontImageBmp()
{
    std::lock_guard lock(g_InputLock);
    const plat::Surface* front = g_pDDSPrimary;
    if (front == nullptr || front->Width() <= 0 || front->Height() <= 0)
        return {};
    const int w = front->Width();
    const int h = front->Height();
    const int row = (w * 3 + 3) & ~3;
    std::string out = "BM";
    PutU32(out, 54 + row * h);
    PutU32(out, 0);
    PutU32(out, 54);
    PutU32(out, 40);
    PutU32(out, w);
    PutU32(out, h);
    PutU16(out, 1);
    PutU16(out, 24);
    PutU32(out, 0);
    PutU32(out, row * h);
    PutU32(out, 2835);
    PutU32(out, 2835);
    PutU32(out, 0);
    PutU32(out, 0);
    const bool is555 = front->Format() == plat::PixelFormat::RGB555;
    const plat::PixelBuffer& pixels = front->Pixels();
    for (int y = h - 1; y >= 0; --y) {
        const std::uint8_t* src = pixels.Bits() + static_cast<std::size_t>(y) * pixels.Pitch();
        for (int x = 0; x < w; ++x) {
            const std::uint16_t p = static_cast<std::uint16_t>(src[2 * x] | src[2 * x + 1] << 8);
            const int r = is555 ? (p >> 10 & 31) << 3 : (p >> 11 & 31) << 3;
            const int g = is555 ? (p >> 5 & 31) << 3 : (p >> 5 & 63) << 2;
            const int b = (p & 31) << 3;
            out += static_cast<char>(b);
            out += static_cast<char>(g);
            out += static_cast<char>(r);
        }
        out.append(static_cast<std::size_t>(row - w * 3), '\0');
    }
    return out;
}

void WriteTestHashLine()
{
    // Opened once, on the first cycle; the lines are flushed as they come, so a trail survives a
    // program that is ended.
    static std::FILE* file = [] {
        const char* path = std::getenv("KORVELA_TEST_HASH");
        std::FILE* f = path != nullptr && *path != 0 ? std::fopen(path, "wb") : nullptr;
        if (path != nullptr && *path != 0 && f == nullptr)
            ReportError(std::string("KORVELA_TEST_HASH: cannot write ") + path);
        return f;
    }();
    if (file == nullptr)
        return;
    char line[40];
    FormatChecksumLine(line, g_FrameCounter, SimulationChecksum());
    std::fputs(line, file);
    std::fflush(file);
}

void WriteTestShot()
{
    const char* path = std::getenv("KORVELA_TEST_SHOT");
    if (path == nullptr || *path == 0)
        return;
    const std::string bmp = FrontImageBmp();
    if (bmp.empty() || !plat::WriteFileAtomic(path, bmp.data(), bmp.size()))
        ReportError(std::string("KORVELA_TEST_SHOT: cannot write ") + path);
}

std::string TestUnitsText()
{
    std::string out;
    char line[96];
    for (std::uint8_t p = 0; p < 8; ++p) {
        if (g_Strateg[p] == nullptr)
            continue;
        for (const TUnit* u = g_Strateg[p]->FirstUnit; u != nullptr; u = u->m_pNext) {
            if (u->Dead != 0)
                continue;
            std::snprintf(line, sizeof line, "%u %u %.2f %.2f\n", static_cast<unsigned>(p),
                          static_cast<unsigned>(u->UniqueId()), static_cast<double>(u->X), static_cast<double>(u->Y));
            out += line;
        }
    }
    return out;
}

void WriteTestUnits()
{
    const char* path = std::getenv("KORVELA_TEST_UNITS");
    if (path == nullptr || *path == 0)
        return;
    const std::string text = TestUnitsText();
    if (!plat::WriteFileAtomic(path, text.data(), text.size()))
        ReportError(std::string("KORVELA_TEST_UNITS: cannot write ") + path);
}
