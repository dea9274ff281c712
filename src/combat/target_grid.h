#pragma once
// The target grid as the unit walk feeds it and asks it: every unit and building filed in its cell,
// and the total unit count that throttles searching.
#include <cstdint>

class THouse;
class TUnit;

// The live units of every player still in the game.
std::uint32_t CountAllUnits();
// Files a unit (its point inside the map) or a building in its cell of the grid.
void AddUnitToTargetGrid(TUnit* unit);
void AddHouseToTargetGrid(THouse* house);
