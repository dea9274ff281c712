#pragma once
// The player's settings, read from and written to Data\GameInf.txt. The values below are the start
// values that stand before the file is read.
#include <cstddef>
#include <cstdint>
#include <string>

constexpr int ADVISOR_PLAYERS = 8;
constexpr int ADVISOR_OPTIONS = 20;

extern std::uint8_t g_bMusicOn;          // 1
extern std::uint8_t g_MusicVolume;       // 0..100
extern std::uint8_t g_bSoundOn;          // 1
extern std::uint8_t g_SoundVolume;       // 0..100
extern std::uint8_t g_ScreenMode;        // 0..3, the player's setting
extern std::uint8_t g_GameSpeed;         // frame budget in milliseconds
extern std::uint8_t g_StartGameSpeed;
extern std::uint8_t g_bFogOfWar;
extern std::uint8_t g_bShowHints;
extern std::uint8_t g_MouseScrollSpeed;  // 1..100
extern std::uint8_t g_KeyScrollSpeed;    // 1..100
extern std::uint8_t g_bLandFilter;
extern std::uint8_t g_AdvisorOptions[ADVISOR_PLAYERS][ADVISOR_OPTIONS];
extern std::uint8_t g_WarAdvisorOptions[ADVISOR_PLAYERS][ADVISOR_OPTIONS];
extern std::uint8_t g_bReducedAnimation;
extern std::uint8_t g_bWaterReflections;

constexpr const char* GAME_INFO_FILE = "Data\\GameInf.txt";

// Game-state counters that reading the settings resets together with the fog of war.
extern std::int32_t g_GameStateCounters[4];

// Reads Data\GameInf.txt into the settings; a missing file keeps every value and logs one line, a
// truncated one keeps the values of the items it could not read.
void LoadGameInfo();
// Writes the current settings to Data\GameInf.txt; when that fails the old file stays and one line
// is logged.
void SaveGameInfo();
// The same on any game path, for tools and tests.
bool LoadGameInfoFrom(const char* path);
bool SaveGameInfoAs(const char* path);
// The file image SaveGameInfo writes, and the reading of one.
std::string MakeGameInfoText();
void ParseGameInfo(const char* data, std::size_t size);
