#pragma once
// The player's settings, read from and written to Data\GameInf.txt. The values below are the start
// values that stand before the file is read.
#include <cstdint>

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
