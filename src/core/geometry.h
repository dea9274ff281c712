#pragma once
// Small stateless geometry shared by the water and coast builder, the fog of war, ship collisions
// and the movement and combat code. Nothing here allocates or reports errors. The float types are
// part of the simulation's determinism: single-precision storage, double-precision intermediate
// results, compiled without contraction.
#include <array>
#include <cstdint>
#include <span>

#include "platform/types.h"

struct TPointF {
    float x = 0.0f;
    float y = 0.0f;
};

// z is the height; the rotations about the vertical axis never change it.
struct TVector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Four corners in order around the outline.
using TQuadF = std::array<TPointF, 4>;

// 2π as the single-precision value the angle results are measured against.
constexpr float kTwoPiF = 6.2831855f;

// Whether segment p1-p2 meets segment p3-p4 (end points included); on true, `out` is the meeting
// point truncated toward zero. Parallel and degenerate segments never meet.
bool SegmentsIntersect(plat::Point p1, plat::Point p2, plat::Point p3, plat::Point p4, plat::Point& out);

// Crossing-number test on a closed outline of 5 points (the fifth equal to the first). A point on
// a non-vertical edge counts as inside; one on a vertical edge is left to the crossing test.
bool PointInQuad(std::span<const plat::Point, 5> outline, std::int32_t x, std::int32_t y);

// Signed distance of (px, py) from the line through (x1, y1) and (x2, y2); 0 when the two line
// points coincide.
double PointLineDistance(std::int32_t px, std::int32_t py, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                         std::int32_t y2);

// Angle-sum test: inside when the angles the corners subtend at the point add up to about 2π.
// A point exactly on a corner counts as inside.
bool PointInQuadF(const TQuadF& quad, TPointF point);

// True when a corner of b lies inside a or a corner of a inside b. Two outlines that cross without
// either holding a corner of the other do not overlap by this test.
bool QuadsOverlap(const TQuadF& a, const TQuadF& b);

double VectorDot(const TVector3& a, const TVector3& b);
double VectorLength(const TVector3& v);

// x' = cos(a)·x − sin(a)·y, y' = sin(a)·x + cos(a)·y; z unchanged.
void RotateVectorZ(TVector3& v, float angle);
TVector3& RotatedVectorZ(const TVector3& v, TVector3& out, float angle);

// The angle from a to b, counter-clockwise in the x-y plane, in [0, 2π). 0 when either vector is
// zero.
double VectorAngle(const TVector3& a, const TVector3& b);

// The direction of v in the x-y plane in [0, 2π), measured from the x axis (z counts in the
// length). 0 for a zero vector.
double VectorHeading(const TVector3& v);
