// Least bodies of network services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "net/net_events.h"

std::uint8_t g_NetMode = 0;
std::uint32_t kadr_now = 0;

bool IsNetGame()
{
    return g_NetMode >= 2 && g_NetMode <= 4;
}
