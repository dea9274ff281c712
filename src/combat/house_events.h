#pragma once
// What buildings ask of unit behaviour and effects.
#include <cstdint>
#include <vector>

class THouse;
class TUnit;
struct TFloatPoint;

// Free map points around a building where units may stand.
std::vector<TFloatPoint> GetFreePointsAroundHouse(const THouse* house);
void RemoveUnitFromGame(TUnit* unit);
// An aircraft inside a destroyed building takes off.
void LeaveHouse(TUnit* unit);
// Starts a building explosion (type 3) at a map point, lifted, after a delay in cycles.
void StartHouseExplosion(float x, float y, float lift, std::uint32_t delay);
// Shows the range ring of a selected building.
void ShowHouseRangeRing(const THouse* house, float range);
// Sends a worker to a building (number: its place among the workers sent together).
void GoToObject(TUnit* unit, THouse* house, TUnit* first, std::uint32_t number);
