#pragma once
// What shots and explosions ask of firing and hits: the blast that hurts the world, the hit of a
// shell on a ship it flies over, and the per-player firing values of a unit type.
#include <cstdint>

class THouse;
class TShot;
class TBasicUnit;

// Hurts the house hit (unless flag), every unit within radius of the point, wears trenches, and
// with objects fells trees and clears animated objects. shot: the shot that caused it, or null.
void DamageForUnits(float x, float y, float z, std::uint8_t objects, std::int32_t damage, std::int32_t radius,
                    THouse* house, TShot* shot, std::uint8_t flag);
// true when the shot hit a ship at the point (the hit made its own explosion).
bool ShipHit(float x, float y, float z, TShot* shot);
// The unit type's accuracy (a percentage) and damage for the player's units.
std::uint16_t UnitTypeAccuracy(const TBasicUnit* type, std::uint8_t player);
std::uint16_t UnitTypeDamage(const TBasicUnit* type, std::uint8_t player);
