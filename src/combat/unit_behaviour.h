#pragma once
// The per-cycle behaviour handlers of the unit kinds: a move handler that the unit walk calls every
// cycle and, for ground kinds, a second handler that steps the unit along its path.
class TUnit;

void MakeMoveDefault(TUnit* unit);
void MakeMoveAirKind1(TUnit* unit);
void MakeMoveKind3(TUnit* unit);
void MakeMoveKind6(TUnit* unit);
void MakeMoveKind9(TUnit* unit);
void MakeMoveAirKind11(TUnit* unit);
void MakeMoveAirBomber(TUnit* unit);
void MakeMoveShip(TUnit* unit);
void MakeMoveMashineGunner(TUnit* unit);

void SecondHandlerDefault(TUnit* unit);
void SecondHandlerKind3(TUnit* unit);
void SecondHandlerKind6(TUnit* unit);

// Turning in place: the walk calls it instead of the move handler while NumWork is 5; false when
// the unit was not turning.
bool AirInRotate(TUnit* unit);
// A dead unit's cycle; it may delete the unit, and then stores the next unit of its owner's list
// in *unit.
void MakeMoveForDead(TUnit** unit);
// A large unit keeps the cells around it clear.
void TankRedirectAllArround(TUnit* unit);

// Sets the unit's ground height for its cell and refreshes its screen rectangle.
void GetObjectAt(TUnit* unit);
