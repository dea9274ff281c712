#include "core/settings.h"

std::uint8_t g_bMusicOn = 1;
std::uint8_t g_MusicVolume = 0;
std::uint8_t g_bSoundOn = 1;
std::uint8_t g_SoundVolume = 0;
std::uint8_t g_ScreenMode = 0;
std::uint8_t g_GameSpeed = 53;
std::uint8_t g_StartGameSpeed = 53;
std::uint8_t g_bFogOfWar = 1;
std::uint8_t g_bShowHints = 0;
std::uint8_t g_MouseScrollSpeed = 50;
std::uint8_t g_KeyScrollSpeed = 50;
std::uint8_t g_bLandFilter = 1;
std::uint8_t g_AdvisorOptions[ADVISOR_PLAYERS][ADVISOR_OPTIONS];
std::uint8_t g_WarAdvisorOptions[ADVISOR_PLAYERS][ADVISOR_OPTIONS];
std::uint8_t g_bReducedAnimation = 0;
std::uint8_t g_bWaterReflections = 1;
