#pragma once
// Path searches over the passability maps: a wave of integer labels grows outward from the start
// cell in cost steps until it touches the goal, and the path is read back from the goal. A path
// is a list of direction codes 1..8 (directions.h), one per step from the start toward the goal.
//
// Threads: main thread only (the game cycle and, for the trench tool, the frame).
#include <cstdint>
#include <vector>

class TUnit;

// Work the path searches did in this cycle; the cycle zeroes it and the movement code defers long
// moves once it reaches the cycle's path budget. Main thread only.
extern std::int32_t g_PathWorkCounter;

// Longest path a search hands back, in steps.
constexpr std::uint16_t kMaxPathSteps = 4999;
// A wave that runs this many value steps without reaching its goal gives up.
constexpr std::uint16_t kMaxWaveValue = 8000;

// Whether the unit may walk straight to its end point (GoalX, GoalY): closer than 120 pixels and
// four samples at quarters of the way free in the pass map (the end point itself not sampled).
bool StraightLineFree(const TUnit* unit, const std::uint16_t* pass);

// The movement code's entry: checks the goal cell (x, y), drops the unit's current path and
// searches. 1 a new path is stored in the unit; -1 the goal is the unit's own cell; 0 no path
// (the goal is off the map, not usable by the unit, outside the playable area, or unreachable).
std::int8_t FindPathChecked(TUnit* unit, std::int32_t x, std::int32_t y);
// The search for one unit from its cell to the goal cell on its own pass map. 1 a path is stored
// in the unit; -1 no path is needed, the unit can walk straight to its end point (GoalX, GoalY);
// 0 no path (the unit's retries count grows).
std::int8_t FindPath(TUnit* unit, std::int32_t x, std::int32_t y);
// The formation search: start and goal in map pixels, each cell costing its land penalty on top.
// 1 found (path filled); -1 start and goal are one cell; 0 none, or a start or goal outside the
// playable area.
std::int8_t FindPathFromPointToPoint(const std::uint16_t* passMap, std::int32_t x0, std::int32_t y0,
                                     std::int32_t x1, std::int32_t y1, std::vector<std::uint8_t>& path);
// The trench tool's search between cells, with the label increment cost[k] for direction k;
// directions costing 255 are never taken and a cost of 0 is refused. Results as above.
std::int8_t FindPathFromPointToPointEx(const std::uint16_t* passMap, std::int32_t c0, std::int32_t r0,
                                       std::int32_t c1, std::int32_t r1, const std::uint8_t cost[9],
                                       std::vector<std::uint8_t>& path);

