// Least bodies of player services that built modules use before the players module exists.
// The module that builds the real service deletes its entry here.
#include "players/strateg.h"

std::uint8_t MyPlayer = 0;
