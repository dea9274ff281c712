#pragma once
// Map files and map loading.
#include <cstdint>

// 3 for a winter map, 1 otherwise; set at every map-file load.
extern std::uint32_t g_MapKind;
