// Least bodies of core services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.

#include "core/game_keys.h"
#include "core/game_main.h"

// Until games are loaded, the frame counter stays at the load value.
std::uint32_t g_FrameCounter = 0;

std::uint32_t MapGameKey(std::uint32_t key)
{
    return key;
}

bool GameKeyMessage(std::uint32_t, std::uintptr_t, std::intptr_t)
{
    return true;
}

// No key toggles them until the game keys exist: both stay off.
TDebugUnitMarks g_DebugUnitMarks;
