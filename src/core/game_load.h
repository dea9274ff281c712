#pragma once
// The game being played: what a game load keeps of the mission for restarts, campaign progress and
// save games.
#include <cstdint>

// The 8-bit path of the mission being played; empty for a random map.
extern char g_MissionPath[260];
// The mission's title (UTF-16, zero-terminated); empty for a random map.
extern char16_t g_MissionTitle[80];
