#pragma once
// Ship movement: straight legs in pixel space, turning at a fixed rate, 20-cycle start and stop
// ramps, yielding to ships ahead and re-planning on the ships' grid.
#include <cstdint>
#include <vector>

class TUnit;
class TShipGrid;

// Cycles of a start or a stop ramp.
constexpr std::uint16_t SHIP_RAMP_CYCLES = 20;
constexpr std::uint8_t SHIP_WORK_STARTING = 50;
constexpr std::uint8_t SHIP_WORK_STOPPING = 51;
constexpr std::uint32_t SHIP_MODE_FORWARD = 1;
constexpr std::uint32_t SHIP_MODE_BACKING = 2;

// Angles wrapped into [0, 2 pi); values from 6.2821856 up count as 0.
float ShipWrapAngle(float a);
// The heading of a velocity: 0 up the screen.
float ShipVelocityHeading(float vx, float vy);

bool ShipTurnStep(TUnit* ship);
bool IsShipBlocked(TUnit* ship);
bool ShipBlocksWay(TUnit* ship, TUnit* other);
void ShipFireAt(TUnit* ship, float x, float y, std::uint8_t arrived, std::uint8_t atBuilding);
bool FreeShipPointToward(TUnit* ship, float* x, float* y);
TUnit* FindShipAtPoint(float x, float y, std::uint8_t player);

// The ships' grid as the planner reads it: a copy of the cells with one ship's own cells lifted.
struct TShipPlanGrid {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> cells;
    std::uint8_t At(std::int32_t c, std::int32_t r) const
    {
        return c < 0 || r < 0 || c >= width || r >= height ? 10 : cells[static_cast<std::size_t>(r) * width + c];
    }
};
// The grid of the current water with the ship's own cells (15) lifted; false without a grid.
bool MakeShipPlanGrid(const TUnit* ship, TShipPlanGrid& out);
// Bresenham's line from start to end: clear unless a cell above 9 lies on it; a ship cell (15)
// does not block among the first two steps and from the 15th step on.
bool ShipLineClear(const TShipPlanGrid& grid, std::int32_t c0, std::int32_t r0, std::int32_t c1, std::int32_t r1);
// The farthest cell toward the goal that the ship can sail to in a straight line; false when the
// goal cannot be reached. The flood visits each cell once, so it ends on every grid.
bool ShipPlan(const TShipPlanGrid& grid, std::int32_t sc, std::int32_t sr, std::int32_t gc, std::int32_t gr,
              std::int32_t& outC, std::int32_t& outR);
