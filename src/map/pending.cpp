// Least bodies of world-map services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "map/map_view.h"

std::uint8_t g_bMapViewDirty = 0;
