// Least bodies of core services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.

#include "core/game_keys.h"

// Until games are loaded, the frame counter stays at the load value.
std::uint32_t g_FrameCounter = 0;

// The developer keys that toggle them come with the unit checks: both stay off.
TDebugUnitMarks g_DebugUnitMarks;
