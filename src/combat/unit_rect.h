#pragma once
// The screen rectangle of a unit: what drawing and picking read. The height above the ground lifts
// the top only, so an aircraft is picked at its shadow's foot as well as in the air.
class TUnit;

void RefreshUnitRect(TUnit* unit);
