#pragma once
// Directions and orientations on the staggered grid.
//
// Direction codes (u8): 0 the cell itself, 1 NE, 2 SE, 3 SW, 4 NW, 5 N, 6 S, 7 E, 8 W; their cell
// offsets and reverses are the world map's tables (g_DirDx, g_ReverseDirection in map/map_grid.h),
// and a pixel point becomes a cell by the map's diamond rule (PixelToFlatCell).
// Orient codes (0..7): facing in eighths of a turn counter-clockwise from north: 0 N, 1 NW, 2 W,
// 3 SW, 4 S, 5 SE, 6 E, 7 NE.
#include <cstdint>

#include "map/map_grid.h"

class TUnit;

// Pixel step of a direction and the wave search's label increment, both indexed by the code.
extern const TDirStep g_DirPixelStep[kDirectionCount];
extern const std::uint8_t g_DirWaveCost[kDirectionCount];

// Conversions. A bad argument is logged and a fixed value returned (see each).
std::uint8_t GetDirectionUseOrient(std::uint8_t orient);       // above 7: 1
std::uint8_t GetOrientUseDirection(std::uint8_t direction);    // outside 1..8: 0
std::uint8_t GetBackDirection(std::uint8_t orient);            // opposite orient; above 7: 1
std::uint8_t GetOrtogonalDirection(std::uint8_t orient);       // a quarter turn left; above 7: 1
// The perpendicular of the orient's axis on its east/north side: the same for an orient and its
// opposite, always one of 6, 7, 0, 5. Above 7: 1.
std::uint8_t GetOrtogonalDirectionRight(std::uint8_t orient);
struct TDirSign {
    std::int32_t h = 0; // -1, 0 or 1, x to the right
    std::int32_t v = 0; // -1, 0 or 1, y downward
};
TDirSign GetHorizontalAndVertical(std::uint8_t orient); // above 7: (0, 0)
TDirSign GetOrtogonalVector(std::uint8_t orient);       // the signs of orient + 2; above 7: (-1, 0)
// The pixel step of a direction; 0 and codes above 8 are logged and give (0, 0).
TDirStep GetDxDyUseDirection(std::uint8_t direction);

// The orient of a vector, y downward. Pure: the mouse thread asks it too.
std::uint8_t GetOrientOfVector(float dx, float dy);
// The orient from the first point toward the second. Pure.
std::uint8_t GetOrientToPoint(float x0, float y0, float x1, float y1);

// 1 when the last SetOrientToPointEx / SetOrientToUnit looked east (dx >= 0), else 0; read by the
// ground behaviours right after those calls. Main thread only.
extern std::uint8_t g_EastFlag;

// Turning toward a point: each sets WantedOrient and then settles the facing, at once while the
// unit walks, else through its turning animation (StartTurn).
void SetOrientToPoint(TUnit* unit, float x, float y);
void SetOrientToPointEx(TUnit* unit, float x, float y);
// Toward the unit's step point (StepX, StepY).
void SetOrientToUnit(TUnit* unit);
// Toward AttackUnit when set, else toward the fire point (TargetX, TargetY).
void SetOrientToAttackTarget(TUnit* unit);

// Aims the unit's velocity at its step point.
void SetVelocityToTarget(TUnit* unit);
