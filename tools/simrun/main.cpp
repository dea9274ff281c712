// korvela-simrun GAME_FOLDER MISSION CYCLES [--seed N] [--computer P,P,...] [--counts] [--build P,TYPE]
//                [--events] [--save-at N FILE] [--load FILE]
//
// Runs a game without drawing and prints one line per game cycle: the frame counter and the
// checksum of the simulation state. The same folder, mission, seed and computer slots give the
// same trail in every process and on every machine; the real program writes the same trail with
// KORVELA_TEST_HASH. With --counts it prints, instead of the trail, one line per player at the end
// with what the player put up and produced since the start (see PrintCounts). With --build the
// player's workers are selected and a building of the type is placed by order (the placement
// command) at the buildable cell nearest to its first worker before the first cycle; the counts
// then end with a line telling how far that building came. With --events it prints, instead of
// the trail, the first fight between players and every defeat as they happen, and at the end one
// line that folds the trail (see TEventWatch); the run ends early once a fight and a defeat were
// seen. With --save-at the game is saved after cycle N through the game's own save, and the line
// "saved" with the checksum of that moment follows the cycle's line; with --load the game starts
// from a save instead of the mission (give MISSION as -) and the line "loaded" with the checksum
// of the loaded game comes before the first cycle. Save paths are relative to the game folder, as
// the game writes them. A test and benchmark tool, not a part of the game.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/random_table.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "game/game_load.h"
#include "game/save_game.h"
#include "game/test_hooks.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "platform/paths.h"
#include "players/command.h"
#include "players/economy.h"
#include "players/game_cycle.h"
#include "players/map_mouse.h"
#include "players/selection.h"
#include "players/sim_checksum.h"
#include "players/strateg.h"
#include "units/build_site.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/upgrades.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: korvela-simrun GAME_FOLDER MISSION CYCLES [--seed N] [--computer P,P,...] "
                         "[--counts] [--build P,TYPE] [--events]\n"
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

// The building placed by the --build order: its player and index, none yet.
struct TBuildOrder {
    int player = -1;
    std::uint16_t type = 0;
    std::uint16_t index = 0xFFFF;
    std::uint16_t housesBefore = 0;
};

bool ParseBuild(const char* text, TBuildOrder& order)
{
    const std::string list = text;
    const std::size_t comma = list.find(',');
    unsigned long long player = 0;
    unsigned long long type = 0;
    if (comma == std::string::npos || !ParseNumber(list.substr(0, comma).c_str(), 7, player) ||
        !ParseNumber(list.substr(comma + 1).c_str(), 64999, type))
        return false;
    order.player = static_cast<int>(player);
    order.type = static_cast<std::uint16_t>(type);
    return true;
}

// Selects the player's workers and queues the placement command at the buildable cell nearest to
// the first of them, as a press of the mouse with the building on the cursor would.
bool OrderBuilding(TBuildOrder& order)
{
    const auto p = static_cast<std::uint8_t>(order.player);
    if (p >= g_wNumPlayer || g_Strateg[p] == nullptr)
        return false;
    ClearSelection(p);
    const TUnit* first = nullptr;
    for (TUnit* u = FirstPlayerUnit(p); u != nullptr; u = u->m_pNext)
        if (u->Dead == 0 && u->Basic != nullptr && u->Basic->m_Kind == UNIT_KIND_WORKER) {
            AddUnitToSelection(p, u);
            if (first == nullptr)
                first = u;
        }
    if (first == nullptr)
        return false;
    const std::int32_t cx = first->MapX;
    const std::int32_t cy = first->MapY;
    for (std::int32_t ring = 2; ring < 40; ++ring)
        for (std::int32_t dy = -2 * ring; dy <= 2 * ring; ++dy)
            for (std::int32_t dx = -ring; dx <= ring; ++dx) {
                if (std::abs(dx) != ring && std::abs(dy) < 2 * ring - 1)
                    continue;
                const plat::Point cell{cx + dx, cy + dy};
                if (!IsTileInMap(cell) || !CanBuildHouse(p, cell.x, cell.y, order.type, g_Strateg[p]->Nation))
                    continue;
                const float x = static_cast<float>((2 * cell.x - (cell.y % 2 == 0 ? 1 : 0)) * 48);
                const float y = static_cast<float>(cell.y * 24) - static_cast<float>(GetHeightFromMap(cell));
                THeapItem* record = NewCommand(COMMAND_CLASS_OBJECTS, ORDER_ID_PLACE_HOUSE, x, y);
                record->params[0] = order.type;
                order.housesBefore = NumHouse[p];
                g_Strateg[p]->AddCommand(record);
                return true;
            }
    return false;
}

// How far the ordered building came: the steps of construction left, 0 when finished.
void PrintBuildOrder(const TBuildOrder& order)
{
    const auto p = static_cast<std::uint8_t>(order.player);
    for (std::uint16_t i = order.housesBefore; g_pHouse[p] != nullptr && i < NumHouse[p]; ++i) {
        const THouse& h = g_pHouse[p][i];
        if (h.HouseType != order.type)
            continue;
        std::printf("order %d: house %u type %u %s steps-left %u\n", order.player, i, order.type,
                    h.Destroyed != 0 ? "destroyed" : h.IsFinished() ? "finished" : "building", h.BuildWork);
        return;
    }
    std::printf("order %d: house none type %u\n", order.player, order.type);
}

// Watches the game cycle by cycle for the first fight between two players (a unit or building
// that one player's unit is aiming at lost hit points since the cycle before) and for players
// leaving the game. Pointers held by units are only compared with the living units and the
// building tables, never followed blindly: a target may have died in the cycle.
class TEventWatch {
public:
    void Start()
    {
        for (std::uint8_t p = 0; p < 8; ++p)
            m_Dead[p] = p >= g_wNumPlayer || g_Strateg[p] == nullptr || g_Strateg[p]->Dead != 0;
        Remember();
    }

    // After one game cycle; prints what happened in it. The trail folds the checksum of every
    // kTrailStep-th cycle: the checksum costs more than the cycle itself, and a run that went
    // astray stays astray.
    void Step(std::uint32_t cycle)
    {
        ++m_Cycles;
        if (cycle % kTrailStep == 0)
            m_Trail = (m_Trail ^ SimulationChecksum()) * 1099511628211ull;
        if (!m_Attacked)
            FindFirstAttack(cycle);
        for (std::uint8_t p = 0; p < g_wNumPlayer && p < 8; ++p) {
            const bool dead = g_Strateg[p] == nullptr || g_Strateg[p]->Dead != 0;
            if (dead && !m_Dead[p]) {
                std::printf("player %d defeated at cycle %u\n", p, cycle);
                m_Defeated = true;
            }
            m_Dead[p] = dead;
        }
        Remember();
    }

    bool Done() const { return m_Attacked && m_Defeated; }

    void Finish() const
    {
        std::printf("trail %llu cycles %016llx\n", static_cast<unsigned long long>(m_Cycles),
                    static_cast<unsigned long long>(m_Trail));
    }

private:
    // The living units and the standing buildings with their hit points now.
    void Remember()
    {
        m_Hp.clear();
        for (std::uint8_t p = 0; p < g_wNumPlayer && p < 8; ++p) {
            for (const TUnit* u = g_Strateg[p] != nullptr ? g_Strateg[p]->FirstUnit : nullptr; u != nullptr; u = u->m_pNext)
                if (u->Dead == 0)
                    m_Hp[u] = u->HitPoints;
            for (std::uint16_t i = 0; g_pHouse[p] != nullptr && i < NumHouse[p]; ++i)
                if (g_pHouse[p][i].TypeRecord != nullptr && g_pHouse[p][i].Destroyed == 0)
                    m_Hp[&g_pHouse[p][i]] = g_pHouse[p][i].HitPoints;
        }
    }

    // The owner of a building of the tables, or -1 for a pointer that is none of them.
    static int HouseOwner(const THouse* h)
    {
        for (std::uint8_t p = 0; p < g_wNumPlayer && p < 8; ++p)
            if (g_pHouse[p] != nullptr && h >= g_pHouse[p] && h < g_pHouse[p] + NumHouse[p])
                return p;
        return -1;
    }

    // Whether the target (a unit or building that stood in the cycle before) lost hit points.
    bool Hurt(const void* target, float now) const
    {
        const auto was = m_Hp.find(target);
        return was != m_Hp.end() && now < was->second;
    }

    void FindFirstAttack(std::uint32_t cycle)
    {
        std::unordered_map<const void*, int> owner;
        for (std::uint8_t p = 0; p < g_wNumPlayer && p < 8; ++p)
            for (const TUnit* u = g_Strateg[p] != nullptr ? g_Strateg[p]->FirstUnit : nullptr; u != nullptr; u = u->m_pNext)
                owner[u] = p;
        for (std::uint8_t a = 0; a < g_wNumPlayer && a < 8 && !m_Attacked; ++a) {
            for (const TUnit* u = g_Strateg[a] != nullptr ? g_Strateg[a]->FirstUnit : nullptr; u != nullptr && !m_Attacked;
                 u = u->m_pNext) {
                if (u->Dead != 0)
                    continue;
                int victim = -1;
                if (u->AttackUnit != nullptr) {
                    const auto o = owner.find(u->AttackUnit);
                    if (o != owner.end() && o->second != a && Hurt(u->AttackUnit, u->AttackUnit->HitPoints))
                        victim = o->second;
                }
                if (victim < 0 && u->HouseAttack != nullptr) {
                    const int o = HouseOwner(u->HouseAttack);
                    if (o >= 0 && o != a && Hurt(u->HouseAttack, u->HouseAttack->HitPoints))
                        victim = o;
                }
                if (victim >= 0) {
                    std::printf("first attack at cycle %u: player %d on player %d\n", cycle, a, victim);
                    m_Attacked = true;
                }
            }
        }
    }

    static constexpr std::uint32_t kTrailStep = 100;
    std::unordered_map<const void*, float> m_Hp;
    bool m_Dead[8] = {};
    bool m_Attacked = false;
    bool m_Defeated = false;
    std::uint64_t m_Cycles = 0;
    std::uint64_t m_Trail = 14695981039346656037ull;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    unsigned long long cycles = 0;
    unsigned long long seed = 1;
    std::vector<int> computers;
    bool counts = false;
    TBuildOrder build;
    bool events = false;
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
        } else if (std::strcmp(argv[i], "--build") == 0 && i + 1 < argc) {
            if (!ParseBuild(argv[++i], build))
                return Usage();
        } else if (std::strcmp(argv[i], "--counts") == 0) {
            counts = true;
        } else if (std::strcmp(argv[i], "--events") == 0) {
            events = true;
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
    // The players' play time stands still: a game saved, loaded and saved again gives the same file
    // however long the machine took.
    SetPlayClock([]() -> std::int64_t { return 0; });
    // Nor does it draw: its cycles draw nothing, and the one frame a load would draw moves the
    // buildings' animations on a picture, so a loaded game saved again would not be the saved one.
    GameLoadServices().RenderFrame = [] {};
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
        if (build.player >= 0 && !OrderBuilding(build))
            std::fprintf(stderr, "korvela-simrun: no worker or no site for the ordered building\n");
        TEventWatch watch;
        if (events)
            watch.Start();
        if (loadPath != nullptr && !counts && !events) {
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
            if (events) {
                watch.Step(g_FrameCounter);
                if (watch.Done())
                    break;
            } else if (!counts) {
                FormatChecksumLine(line, g_FrameCounter, SimulationChecksum());
                std::fputs(line, stdout);
            }
            if (saveAt && c + 1 == saveCycle)
                save();
        }
        if (counts)
            PrintCounts(start);
        if (counts && build.player >= 0)
            PrintBuildOrder(build);
        if (events)
            watch.Finish();
    }
    FreeGame();
    Direct3DFree();
    DirectDrawFree();
    return status;
}
