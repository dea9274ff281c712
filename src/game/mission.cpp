#include "game/mission.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "game/command_line.h"
#include "core/error_log.h"
#include "core/file_bytes.h"
#include "game/game_load.h"
#include "core/memory_stream.h"
#include "core/random_table.h"
#include "map/map_file.h"
#include "net/network.h"
#include "platform/clock.h"
#include "players/strateg.h"
#include "ui/setup_screen.h"

std::u16string g_MissionTitle;
std::u16string g_MissionBriefing;
TMissionHeader g_MissionHeader;

namespace {

void ForceWideTerminator(std::span<std::uint8_t> bytes, std::size_t offset, std::size_t chars)
{
    bytes[offset + 2 * (chars - 1)] = 0;
    bytes[offset + 2 * (chars - 1) + 1] = 0;
}

// Every player's resource slots get the same amount.
void SetResources(TStrateg& player, const double (&amounts)[STRATEG_RESOURCES])
{
    for (int k = 0; k < STRATEG_RESOURCES; ++k) {
        player.Res[k].recorded = amounts[k];
        player.Res[k].spendable = amounts[k];
    }
}

void NameLocalPlayer()
{
    TStrateg* local = MyPlayer < 8 ? g_Strateg[MyPlayer] : nullptr;
    if (local == nullptr)
        return;
    const std::u16string profile = MissionServices().ProfileName();
    local->SetName(profile.empty() ? std::u16string(u"1") : profile);
}

// A nation choice of 5 becomes a nation drawn from the shared table, in player order, so that
// every machine of a network game draws the same ones.
void DrawRandomNations(TGameSetup& setup)
{
    for (int i = 0; i < 8; ++i)
        if (setup.Nation(i) == GAME_SETUP_RANDOM_NATION)
            setup.Nation(i) = static_cast<std::uint8_t>(RandomDraw() % 5);
}

// Where the setup screen's amounts for game mode 3 differ from these, the mission loader's own
// table holds: slot 4 gets +10,000 / +50,000 / +200,000 over the level's amount in a network
// mission, and 11,000 / 60,000 / 200,000 on a random map.
constexpr double kMode3MissionBonus[3] = {10000.0, 50000.0, 200000.0};
constexpr double kMode3RandomMapOil[3] = {11000.0, 60000.0, 200000.0};

std::uint8_t LevelIndex(std::uint8_t level)
{
    return level > 2 ? 2 : level;
}

} // namespace

std::u16string TMissionHeader::Title() const
{
    return ReadWideField(bytes.data(), MISSION_TITLE_OFFSET, MISSION_TITLE_CHARS);
}

std::u16string TMissionHeader::Briefing() const
{
    return ReadWideField(bytes.data(), MISSION_BRIEFING_OFFSET, MISSION_BRIEFING_CHARS);
}

std::string TMissionHeader::MapName() const
{
    const char* name = reinterpret_cast<const char*>(bytes.data() + MISSION_MAP_NAME_OFFSET);
    return std::string(name, strnlen(name, MISSION_MAP_NAME_SIZE - 1));
}

bool IsMissionPath(const char* path)
{
    if (path == nullptr)
        return false;
    const std::string_view p(path);
    return p.size() >= 4 && p.substr(p.size() - 4) == ".mis";
}

bool ParseMissionHeader(std::span<const std::uint8_t> file, TMissionHeader& out, const char* pathForLog)
{
    out.bytes.fill(0);
    if (file.size() < MISSION_HEADER_SIZE) {
        ReportError(std::string("Mission file cut short in its header: ") + (pathForLog ? pathForLog : ""));
        return false;
    }
    std::memcpy(out.bytes.data(), file.data(), MISSION_HEADER_SIZE);
    ForceWideTerminator(out.bytes, MISSION_TITLE_OFFSET, MISSION_TITLE_CHARS);
    ForceWideTerminator(out.bytes, MISSION_BRIEFING_OFFSET, MISSION_BRIEFING_CHARS);
    out.bytes[MISSION_MAP_NAME_OFFSET + MISSION_MAP_NAME_SIZE - 1] = 0;
    return true;
}

bool ParseMissionPlayerBlock(std::span<const std::uint8_t> block, TMissionPlayerBlock& out)
{
    out = {};
    if (block.size() < MISSION_PLAYER_BLOCK_SIZE)
        return false;
    TIfStreamMemory in(block.data(), static_cast<std::int32_t>(MISSION_PLAYER_BLOCK_SIZE));
    bool ok = in.Seek(MISSION_BLOCK_CONDITION_COUNTS);
    for (std::uint16_t& n : out.conditionCount)
        ok = ok && in.ReadU16(n);
    for (std::uint8_t& t : out.warTemplate)
        ok = ok && in.ReadU8(t);
    ok = ok && in.Seek(MISSION_BLOCK_RESOURCES);
    for (int a = 0; a < 5; ++a)
        for (int i = 0; i < 8; ++i)
            ok = ok && in.ReadF32(out.resources[MISSION_RESOURCE_SLOTS[a]][i]);
    for (std::uint8_t& t : out.team)
        ok = ok && in.ReadU8(t);
    return ok;
}

bool ParseMissionFile(std::span<const std::uint8_t> file, TMissionFile& out, const char* pathForLog)
{
    const std::string where = pathForLog ? pathForLog : "";
    if (!ParseMissionHeader(file, out.header, pathForLog))
        return false;
    if (file.size() < MISSION_CONDITIONS_OFFSET
        || !ParseMissionPlayerBlock(file.subspan(MISSION_HEADER_SIZE, MISSION_PLAYER_BLOCK_SIZE), out.players)) {
        ReportError("Mission file cut short in its player block: " + where);
        return false;
    }
    std::size_t at = MISSION_CONDITIONS_OFFSET;
    for (int i = 0; i < 8; ++i) {
        const std::size_t bytes = std::size_t{out.players.conditionCount[i]} * MISSION_CONDITION_RECORD_SIZE;
        if (bytes > file.size() - at) {
            ReportError("Mission file cut short in the condition records of player " + std::to_string(i) + ": " +
                        where);
            return false;
        }
        out.conditions[i] = file.subspan(at, bytes);
        at += bytes;
    }
    return true;
}

bool ReadMissionHeader(const char* path, TMissionHeader& header)
{
    if (!IsMissionPath(path))
        return false;
    std::vector<std::uint8_t> file;
    if (!ReadGameFile(path, file))
        return false;
    return ParseMissionHeader(file, header, path);
}

TMapStartRecord MapStartFromSetup(TGameSetup& setup)
{
    TMapStartRecord start;
    for (int i = 0; i < MAP_PLAYER_SLOTS; ++i) {
        TMapStartSlot& slot = start.slots[i];
        const std::u16string name = setup.Name(i);
        std::memcpy(slot.name, name.data(), std::min<std::size_t>(name.size(), 19) * sizeof(char16_t));
        slot.nation = setup.Nation(i) < 5 ? setup.Nation(i) : 0;
        slot.team = setup.Team(i);
        slot.kind = i < setup.PlayerCount() ? setup.Level(i) : 0;
    }
    return start;
}

double StartResourceAmount(std::uint8_t level)
{
    constexpr double kAmounts[3] = {1000.0, 10000.0, 100000.0};
    return kAmounts[LevelIndex(level)];
}

bool LoadMission(const char* path, TMissionHeader& header, TGameSetup* setup)
{
    if (!IsMissionPath(path))
        return false;
    std::vector<std::uint8_t> bytes;
    if (!ReadGameFile(path, bytes))
        return false;
    // The whole file is checked before the world is touched, so a short file refuses the mission
    // instead of giving players records of zeros.
    TMissionFile file;
    if (!ParseMissionFile(bytes, file, path))
        return false;
    header = file.header;
    g_MissionTitle = header.Title();
    g_MissionBriefing = header.Briefing();
    TMissionServices& svc = MissionServices();
    svc.ShowBriefing(g_MissionBriefing);

    const bool net = setup != nullptr;
    if (net)
        DrawRandomNations(*setup);
    TMapStartRecord start;
    if (net)
        start = MapStartFromSetup(*setup);
    if (!svc.LoadMap(header.MapName().c_str(), net ? &start : nullptr)) {
        ReportError("MapInit() FAILED");
        return false;
    }
    NameLocalPlayer();

    const TMissionPlayerBlock& block = file.players;
    for (std::uint16_t i = 0; i < g_wNumPlayer && i < 8; ++i) {
        TStrateg* player = g_Strateg[i];
        if (player == nullptr)
            continue;
        std::uint8_t warTemplate = block.warTemplate[i];
        if (net && warTemplate < 2)
            warTemplate = 2;
        if (player->Kind == PLAYER_KIND_LOCAL || player->Kind == PLAYER_KIND_REMOTE)
            warTemplate = 2;
        player->WarTemplate = warTemplate;
        if (player->GroupManager)
            player->GroupManager->WarTemplate = warTemplate;

        std::uint8_t team = 0;
        if (net) {
            std::uint8_t level = setup->Level(i);
            if (level > AI_MAX_HARD_LEVEL)
                level = 2;
            if (player->GroupManager)
                player->GroupManager->HardLevel = level;
            team = static_cast<std::uint8_t>(setup->Team(i) - 1);
        } else {
            if (g_HardLevel != 0 && i != MyPlayer && player->GroupManager)
                player->GroupManager->HardLevel = ClampHardLevel(g_HardLevel);
            team = block.team[i];
        }
        player->SetTeam(team);

        double amounts[STRATEG_RESOURCES];
        for (int k = 0; k < STRATEG_RESOURCES; ++k)
            amounts[k] = net ? StartResourceAmount(g_StartResources) : static_cast<double>(block.resources[k][i]);
        if (net && g_GameMode == GAME_MODE_EXTRA_OIL)
            amounts[4] += kMode3MissionBonus[LevelIndex(g_StartResources)];
        SetResources(*player, amounts);

        player->MissionStage = 1;
        player->ConditionCount = block.conditionCount[i];
        player->Conditions.assign(file.conditions[i].begin(), file.conditions[i].end());
        for (std::size_t at = 0; at < player->Conditions.size(); at += MISSION_CONDITION_RECORD_SIZE) {
            player->Conditions[at] = 0;
            std::memset(&player->Conditions[at + MISSION_CONDITION_COUNTER_OFFSET], 0, 4);
        }
    }

    if (net && g_bLandMap == 0) {
        const std::uint8_t warTemplate = g_PortPoints.empty() ? 4 : 5;
        for (std::uint16_t i = 0; i < g_wNumPlayer && i < 8; ++i)
            if (TStrateg* player = g_Strateg[i]) {
                player->WarTemplate = warTemplate;
                if (player->GroupManager)
                    player->GroupManager->WarTemplate = warTemplate;
            }
    }
    for (std::uint16_t i = 0; i < g_wNumPlayer && i < 8; ++i)
        if (g_Strateg[i])
            g_Strateg[i]->SetRelationsFromTeams();
    return true;
}

bool LoadRandomMap()
{
    // A random map has no mission file: no title, briefing or header.
    g_MissionHeader = TMissionHeader{};
    g_MissionTitle.clear();
    g_MissionBriefing.clear();
    TGameSetup setup;
    setup.SlotCount() = 8;
    setup.PlayerCount() = g_SetupPlayerCount;
    for (int i = 0; i < 8; ++i) {
        if (i < g_SetupPlayerCount) {
            const TSetupPlayer& row = g_SetupPlayers[i];
            setup.Nation(i) = row.nation;
            setup.Colour(i) = row.colour;
            setup.Team(i) = row.team;
            setup.Level(i) = row.level;
            setup.SetName(i, std::u16string_view(row.name, std::char_traits<char16_t>::length(row.name)));
            // Drawn from the table the previous seed filled, before the new seed below.
            if (setup.Nation(i) == GAME_SETUP_RANDOM_NATION)
                setup.Nation(i) = static_cast<std::uint8_t>(RandomDraw() % 5);
        } else {
            setup.Colour(i) = 0;
            setup.Team(i) = 255;
            setup.Level(i) = 0;
            setup.Nation(i) = 0;
            setup.SetName(i, u"ERROR");
        }
    }
    TMissionServices& svc = MissionServices();
    g_RandSeed = svc.CalendarSeconds();
    InitRandomTable();
    svc.PrepareMissionPath(setup);
    for (int i = 0; i < 8; ++i) {
        TSetupPlayer& row = g_SetupPlayers[i];
        row.nation = setup.Nation(i);
        row.colour = setup.Colour(i);
        row.team = setup.Team(i);
        row.level = setup.Level(i);
        const std::u16string name = setup.Name(i);
        std::fill(std::begin(row.name), std::end(row.name), u'\0');
        std::copy(name.begin(), name.end(), row.name);
    }

    const TMapStartRecord start = MapStartFromSetup(setup);
    if (!svc.LoadMap(g_RandomMapName, &start)) {
        ReportError("MapInit() FAILED");
        return false;
    }
    NameLocalPlayer();

    const std::uint8_t level = LevelIndex(g_StartResources);
    double amounts[STRATEG_RESOURCES];
    for (double& a : amounts)
        a = StartResourceAmount(level);
    if (g_GameMode == GAME_MODE_EXTRA_OIL)
        amounts[4] = kMode3RandomMapOil[level];
    for (std::uint16_t i = 0; i < g_wNumPlayer && i < 8; ++i) {
        TStrateg* player = g_Strateg[i];
        if (player == nullptr)
            continue;
        player->WarTemplate = 2;
        if (player->GroupManager) {
            player->GroupManager->WarTemplate = 2;
            const std::uint8_t computer = setup.Level(i);
            player->GroupManager->HardLevel = computer == 4 || computer == 5 ? 2 : ClampHardLevel(computer);
        }
        SetResources(*player, amounts);
        player->Conditions.clear();
        player->ConditionCount = 0;
    }
    return true;
}

TMissionServices& MissionServices()
{
    static TMissionServices services = DefaultMissionServices();
    return services;
}

TMissionServices DefaultMissionServices()
{
    TMissionServices s;
    s.LoadMap = [](const char* name, const TMapStartRecord* start) { return ::LoadMap(name, true, start); };
    s.ShowBriefing = ShowBriefingText;
    s.PrepareMissionPath = ::PrepareMissionPath;
    s.ProfileName = NetProfileName;
    s.CalendarSeconds = [] { return static_cast<std::uint32_t>(plat::GetCalendarTime()); };
    return s;
}
