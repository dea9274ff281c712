#pragma once
// Aircraft (kinds 1, 11 and 12): they have no path and no second handler. Each cycle they fly
// straight toward their step point or turn onto it on a circle, hold their cruising altitude, take
// off from and land at their airfield (the building in House), and attack: fighters fire at a unit
// in range, bombers drop bombs ahead of their target so that they fall onto it. The move handlers
// themselves are declared with the other kinds' in combat/unit_behaviour.h.
//
// Threads: main thread only (the game cycle); every random draw uses the shared table.
#include <cstdint>

#include "core/geometry.h"

class TUnit;

// The altitude above sea level (height plus ground) an aircraft climbs to and never exceeds.
constexpr float AIR_CRUISE_ALTITUDE = 400.0f;
// A heading at or above this value counts as 0.
constexpr float AIR_HEADING_WRAP = 6.2821856f;
// The heading of the landing glide (toward the north-west, the airfield's exit point).
constexpr float AIR_GLIDE_HEADING = 3.9269910f;
// How near (pixels, on both axes) an aircraft must come to its step point to have reached it on
// the runway and the glide: the landing roll slows in proportion to the way left, so it would
// otherwise never arrive.
constexpr float AIR_STEP_TOLERANCE = 0.5f;

// ---- geometry (pure) ----
// A heading brought into 0 .. 2 pi; AIR_HEADING_WRAP and above, or a value that is not finite,
// becomes 0.
float AirNormaliseHeading(float heading);
// The heading from (x, y) toward (px, py): the aircraft moves along (sin, cos) of it, y downward.
float AirAngleTo(float x, float y, float px, float py);
// Whether the short way from the heading to the angle lets the heading grow.
bool AirTurnGrows(float heading, float angle);
// The centre of the turning circle of radius r, square to the heading on the side of the turn.
TPointF AirTurnCentre(float x, float y, float heading, float radius, bool grows);
// The point of that circle at a heading.
TPointF AirPointOnCircle(TPointF centre, float heading, float radius, bool grows);

// ---- questions about one aircraft ----
// Whether the aircraft is attacking: in an aiming animation, with a target unit or house, or under
// an order to fire at a point.
bool AirIsAttacking(const TUnit* u);
// The circle factor k of AirRotate: 3.0 for an attacking aircraft of a kind other than 11, else
// 1.4. A step point nearer than k x TurnRadius to the circle's centre is flown at straight.
float AirTurnFactor(const TUnit* u);
// Whether the position lies within AIR_STEP_TOLERANCE of the step point on both axes.
bool AirStepReached(const TUnit* u);
// How far ahead of its target a bomber drops: its speed x 10 (type 9) or x 30 over the owner's
// shot accuracy factor, five times that against a ship.
float BomberLeadDistance(const TUnit* u, const TUnit* targetUnit);

// ---- the steps of the handlers ----
// The airfield states (take-off, landing approach, glide and roll-in, parked); true when they
// handled the cycle.
bool AirFieldStep(TUnit* u);
// One turning step toward the step point, or straight flight when the step point lies inside the
// turning circle.
void AirRotate(TUnit* u);
// Turns the heading one step toward the angle (on the landing glide) and sets the flight sprite.
void ChangeOrientIfNeedForAir(TUnit* u, float angle);
// Whether something worth a bomb lies below: an enemy's building or ground unit, and none of the
// bomber's own player's ground units.
bool BomberFindTargets(TUnit* u);
// A stick of five bombs (unit type 10) or one bomb from the bomber's position.
void BomberDropBombs(TUnit* u);
