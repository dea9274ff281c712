#pragma once
// Path searches over the passability maps.
#include <cstdint>
#include <vector>

// A path of directions (1..8 of the grid's neighbour tables) from the start cell to the goal cell
// over the pass map, with the label increment cost[k] for direction k (255: forbidden). 1 when a
// path was found (path then leads from the start to the goal, one direction per step); 0 for a
// start equal to the goal or a goal it cannot reach (path left empty).
std::int8_t FindPathFromPointToPointEx(const std::uint16_t* passMap, std::int32_t c0, std::int32_t r0,
                                       std::int32_t c1, std::int32_t r1, const std::uint8_t cost[9],
                                       std::vector<std::uint8_t>& path);

// Path-search work done this cycle, against the cycle's path budget; the cycle zeroes it. Main
// thread only.
extern std::uint32_t g_PathWorkCounter;
// The path cache's per-cycle tick (its refresh runs every 100 cycles).
void PathCacheTick();
