#pragma once
// What buildings ask of unit behaviour and effects.
#include <cstdint>
#include <vector>

class THouse;
class TUnit;
struct TFloatPoint;

// Free map points around a building where units may stand.
std::vector<TFloatPoint> GetFreePointsAroundHouse(const THouse* house);
// A unit dies or is destroyed; killer is the player credited with it, 255 nobody.
void RemoveUnitFromGame(TUnit* unit, std::uint8_t killer);
// An aircraft inside a destroyed building takes off.
void LeaveHouse(TUnit* unit);
// Starts a building explosion (type 3) at a map point, lifted, after a delay in drawn frames.
void StartHouseExplosion(float x, float y, float lift, std::uint32_t delay);
// Shows the range ring of a selected building.
void ShowHouseRangeRing(const THouse* house, float range);
// Sends a unit to an own building (code: the building's index in the owner's array, up to 1000)
// or to a map object; from is the first unit of those sent together, slot the unit's place among
// them.
void GoToObject(TUnit* unit, TUnit* from, std::uint16_t code, std::uint16_t slot);
// A defensive building looks for a target; true when it found one.
bool HouseSearchTarget(THouse* house);
// A defensive building's shot at its target.
void ArtilleryFire(THouse* house, TUnit* target);
// An explosion of the type at (x, y + 200) with height 200, made only when the point is on screen.
void AddDelayedExplosion(float x, float y, std::uint32_t type);
// The target grid's building lists are refilled after a building lost a unit it held.
void RefreshTargetGridHouses();
