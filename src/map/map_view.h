#pragma once
// The map view: position, scrolling and picking.
#include <cstdint>

// The next view rebuild must be complete.
extern std::uint8_t g_bMapViewDirty;
