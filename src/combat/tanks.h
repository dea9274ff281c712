#pragma once
// Tanks (kind 3): they turn before they drive, their machine guns fire on their own, they crush
// enemy soldiers, push other units out of their way and flatten the fences and small objects they
// drive over. Main thread only; random draws use the shared table.
#include <cstdint>

class TUnit;

void TankNextPathStep(TUnit* tank);
void TankPathEnd(TUnit* tank);
// Flattens what lies in the tank's cell and, for rows of fences, the cells beside it.
void TankCrushObjects(TUnit* tank);
// The object code that replaces code when a tank passes over it from a side (0 straight over,
// 1 and 2 the two cells beside it); unchanged codes come back as they are.
std::uint16_t CrushedObjectCode(std::uint16_t code, std::uint8_t side);
// The two directions 45 degrees either side of a direction 1..8 (0, 0 for others).
struct TSideDirections {
    std::uint8_t a = 0;
    std::uint8_t b = 0;
};
TSideDirections SideDirections(std::uint8_t direction);
