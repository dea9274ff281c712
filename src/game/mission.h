#pragma once
// Missions and random maps: the .mis mission file (header, player block, condition records), its
// reader, and the two ways a game that does not come from a save starts: a mission file or the
// random map chosen on the setup screen. Both end in the map loader, which creates the players.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "core/game_setup.h"

struct TMapStartRecord;

constexpr std::size_t MISSION_HEADER_SIZE = 2340;
constexpr std::size_t MISSION_TITLE_OFFSET = 2;
constexpr std::size_t MISSION_TITLE_CHARS = 80; // the 80th is always the terminator
constexpr std::size_t MISSION_BRIEFING_OFFSET = 244;
constexpr std::size_t MISSION_BRIEFING_CHARS = 1000;
constexpr std::size_t MISSION_MAP_NAME_OFFSET = 2259;
constexpr std::size_t MISSION_MAP_NAME_SIZE = 81;
constexpr std::size_t MISSION_PLAYER_BLOCK_SIZE = 996;
constexpr std::size_t MISSION_CONDITIONS_OFFSET = MISSION_HEADER_SIZE + MISSION_PLAYER_BLOCK_SIZE; // 3336
constexpr std::size_t MISSION_CONDITION_RECORD_SIZE = 10212;
constexpr std::size_t MISSION_CONDITION_COUNTER_OFFSET = 10208;
// Offsets inside the player block.
constexpr std::size_t MISSION_BLOCK_CONDITION_COUNTS = 2; // u16 x 8
constexpr std::size_t MISSION_BLOCK_WAR_TEMPLATES = 18;   // u8 x 8
constexpr std::size_t MISSION_BLOCK_RESOURCES = 28;       // 5 x f32 x 8, slots in MISSION_RESOURCE_SLOTS order
constexpr std::size_t MISSION_BLOCK_TEAMS = 188;          // u8 x 8, 255 none
// The resource slot each f32 array of the block fills, in file order.
constexpr int MISSION_RESOURCE_SLOTS[5] = {0, 2, 4, 3, 1};

// The 2340 header bytes as read, with the title's and briefing's terminators forced.
struct TMissionHeader {
    std::array<std::uint8_t, MISSION_HEADER_SIZE> bytes{};

    std::u16string Title() const;
    std::u16string Briefing() const;
    std::string MapName() const;
};

// The player block, by player number.
struct TMissionPlayerBlock {
    std::uint16_t conditionCount[8] = {};
    std::uint8_t warTemplate[8] = {};
    float resources[5][8] = {}; // [resource slot][player]
    std::uint8_t team[8] = {};  // 255 none
};

// The mission's title (saved with save games) and briefing of the running game, and the header
// of its mission file (empty for a random map).
extern std::u16string g_MissionTitle;
extern std::u16string g_MissionBriefing;
extern TMissionHeader g_MissionHeader;

// True when the path's last four characters are ".mis" (compared case-sensitively).
bool IsMissionPath(const char* path);
// The header of a file in memory; false (logged) when the file is shorter than the header.
bool ParseMissionHeader(std::span<const std::uint8_t> file, TMissionHeader& out, const char* pathForLog);
bool ParseMissionPlayerBlock(std::span<const std::uint8_t> block, TMissionPlayerBlock& out);
// The whole file in memory: header, player block and every player's condition records, which
// must lie inside the file. What LoadMission reads, without the world; false (logged) on a short
// or malformed file.
struct TMissionFile {
    TMissionHeader header;
    TMissionPlayerBlock players;
    std::array<std::span<const std::uint8_t>, 8> conditions; // count x 10,212 bytes per player
};
bool ParseMissionFile(std::span<const std::uint8_t> file, TMissionFile& out, const char* pathForLog);

// The menus' reader: false when the path is no mission path or the file cannot be opened or is
// shorter than the header.
bool ReadMissionHeader(const char* path, TMissionHeader& header);
// Loads the mission at path; setup is given for a network game (its random nations are drawn).
bool LoadMission(const char* path, TMissionHeader& header, TGameSetup* setup);
// Starts a game on the random map chosen on the setup screen.
bool LoadRandomMap();

// The start record the map loader takes, from a game-setup record: the slots below the player
// count take part with their level as the player kind.
TMapStartRecord MapStartFromSetup(TGameSetup& setup);
// Start amounts of the five resource slots by the resource level (levels above 2 count as 2).
double StartResourceAmount(std::uint8_t level);

// What missions and random maps call outside the core; tests put recording stand-ins here.
struct TMissionServices {
    std::function<bool(const char* mapName, const TMapStartRecord* start)> LoadMap;
    std::function<void(const std::u16string&)> ShowBriefing;
    std::function<void(TGameSetup&)> PrepareMissionPath;
    std::function<std::u16string()> ProfileName;
    std::function<std::uint32_t()> CalendarSeconds;
};
TMissionServices& MissionServices();
TMissionServices DefaultMissionServices();
