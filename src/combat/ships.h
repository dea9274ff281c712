#pragma once
// Ships as the rest of the game asks about them.
#include <cstdint>

class TUnit;

// The live ship whose hull holds the map pixel (x, y), or null; player 255 asks for any player's
// ship. Only ships within 600 pixels of the point are tested.
const TUnit* ShipQuery(float x, float y, std::uint8_t player);
// Whether another ship lies too close to this one to let it leave its yard.
bool FindShipTooClose(const TUnit* ship);

// Ship movement as orders and path following use it.
// The ship's move step toward its step point (after a new goal was set).
void ShipMoveStep(TUnit* ship);
// The ship halts where it is.
void ShipStop(TUnit* ship);
// The ship gets under way toward its step point.
void ShipSetUnderway(TUnit* ship);
// Whether the ship's next point toward its goal is free water (it may set the step point).
bool FreeShipPointToward(TUnit* ship);
// One step of a ship toward its goal.
void StepTowardTarget(TUnit* ship);
// Moves a ship's goal back toward the ship onto free water.
void FreePixelCoordForShip(TUnit* ship);
// Whether the ship's goal (GoalX, GoalY) lies on free water for it.
bool ShipGoalIsFreeWater(const TUnit* ship);
// Whether the ships' grid has room within radius cells of the point.
bool ShipRoomAt(float x, float y, std::int32_t radius);
