#pragma once
// The target search of units and the alert grids it reads.
class TUnit;

// Looks for a target for the unit and takes it; false when it found none.
bool UnitSearchTarget(TUnit* unit);
