#pragma once
// The orders that act on one unit: go to a point, go to a building or map object, attack a
// building, fire at a point, approach a target unit. Group moves and the dispatcher end in them,
// and the unit events chain them. Refused orders leave the unit as it was.
//
// Threads: main thread only (the game cycle).
#include <cstdint>
#include <vector>

class THouse;
class TUnit;
struct TFloatPoint;

// The move order; flag keeps the unit's posture when the goal is blocked.
void GoToPoint(TUnit* unit, float x, float y, std::uint8_t flag);
// A move to a map point that looks at what stands there (the end of a unit's path).
void SendUnitToMapPoint(TUnit* unit, float x, float y, std::uint8_t work, std::uint16_t objectCode);
// GoToObject and GetFreePointsAroundHouse are declared with the building events
// (combat/house_events.h).
// Attack a building; from is the first unit of those sent together, slot the unit's place among
// them; keepOrder remembers the current order so that the unit resumes it.
void AttackHouse(TUnit* unit, TUnit* from, THouse* target, std::uint16_t slot, std::uint8_t keepOrder);
// Fire at a point; flag lets artillery with a point-fire device use it.
void UnitOrderAtPoint(TUnit* unit, float x, float y, std::uint8_t flag);
// UnitOrderAtPoint for every unit of the player's selection, in list order.
void ForSelectedUnits(std::uint8_t player, float x, float y, std::uint8_t flag);
// Sets the unit's step point 25 pixels short of the target (pushed on past cells a vehicle target
// closes).
void SetApproachPointToUnit(TUnit* unit, const TUnit* target);
// The centre of a building: the mean of its footprint cells' centres.
TFloatPoint HouseCentre(const THouse* house);
// -1, 0 or 1.
std::int32_t Sign(std::int32_t v);

// Per player, non-zero when the player has a point-fire device for its artillery. Main thread only.
extern std::uint8_t g_PointFireDevice[8];
// Pushes of the approach point past closed cells stop after this many.
constexpr int kApproachPushLimit = 64;
