#pragma once
// Hull geometry of ships: the keel line and the hull outline on the screen plane, as shots,
// contacts and picking use them. Pure arithmetic on a type's ship data and a ship's position.
#include <array>
#include <cstdint>

class TUnit;
struct TShipData;

struct TShipVec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

inline TShipVec3 ShipVecSet(float x, float y, float z)
{
    return {x, y, z};
}
inline TShipVec3 ShipVecAdd(const TShipVec3& a, const TShipVec3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline TShipVec3 ShipVecSub(const TShipVec3& a, const TShipVec3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
// The isometric projection of a ship-local point onto the map's pixel plane.
inline TShipVec3 ShipProject(const TShipVec3& p)
{
    return {(p.x - p.y) * 0.866025403f, -((p.x + p.y) * 0.5f + p.z), 0.0f};
}
// Turns a point about the vertical axis.
TShipVec3 ShipTurn(const TShipVec3& p, float angle);

// The ship's heading as the drawing shows it: cut down to the type's frames per 45 degrees.
float ShipDrawingAngle(const TShipData* data, const TUnit* ship);

// A convex quadrilateral on the map's pixel plane (corners in order round the hull).
using TShipQuad = std::array<TShipVec3, 4>;

// The hull outline for hit and contact tests; data null uses the fallback keel.
TShipQuad ShipHullOutline(const TShipData* data, const TUnit* ship);
// The point of the ship's keel line (20 samples, 0.05 of its length apart) nearest to (x, y).
TShipVec3 ShipNearestKeelPoint(const TShipData* data, const TUnit* ship, float x, float y);

bool ShipQuadContains(const TShipQuad& q, float x, float y);
bool ShipQuadsIntersect(const TShipQuad& a, const TShipQuad& b);

// The ship data of a ship's type, null for a type made without it.
const TShipData* ShipDataOf(const TUnit* ship);
