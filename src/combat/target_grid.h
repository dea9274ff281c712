#pragma once
// The target grid as the unit walk feeds it and asks it: every unit and building filed in its cell,
// the total unit count that throttles searching, and one unit's search for a target.
#include <cstdint>

class THouse;
class TUnit;

// The live units of every player still in the game.
std::uint32_t CountAllUnits();
// true when an attack was started.
bool UnitSearchTarget(TUnit* unit);
// Files a unit (its point inside the map) or a building in its cell of the grid.
void AddUnitToTargetGrid(TUnit* unit);
void AddHouseToTargetGrid(THouse* house);
