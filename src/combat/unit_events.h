#pragma once
// What happens to a single unit: its path ends, it is told to stop or hold, it enters or leaves a
// building, it walks to and boards a transport, a ship leaves its port, it is taken out of the
// game. Also the relation tests every target decision uses and the attack decision and order.
//
// Threads: main thread only (the game cycle).
#include <cstdint>

class THouse;
class TUnit;

// ---- relations ----
// Hostility of two players: never oneself; always a player 255 (nobody's units); never a dead
// player; else when the two relation bytes differ or are both 0 (war).
bool IsEnemy(std::uint8_t a, std::uint8_t b);
// No own or allied (or dead player's) ground unit stands in u's cell or its eight neighbours.
bool NoFriendNearUnit(std::uint8_t player, const TUnit* u);

// ---- stopping ----
// Stops the unit where it is (flag: it may step aside to a free cell).
void StopUnit(TUnit* unit, std::uint8_t flag);
// Clears the order fields; a moving unit's move ends (EventUnitEndMove).
void StopMoving(TUnit* unit);
void HoldPosition(TUnit* unit);
void CancelOrderAndStop(TUnit* unit);
// Stand where it is: standing animation, path freed, goal at the position, turned to its final orient.
void ClearUnitPath(TUnit* unit);
void StopUnitAtPosition(TUnit* unit);
// Frees the path (length 0, index -1); the goal becomes the position.
void DropPath(TUnit* unit);
bool TargetReached(const TUnit* unit);
// A move to resume when the unit's path ends.
void SetPendingMove(TUnit* unit, float x, float y);
void ResumeMove(TUnit* unit);
// Whenever a unit's path ends or an order finishes.
void EventUnitEndMove(TUnit* unit);

// ---- buildings ----
void EnterHouse(TUnit* unit, THouse* house);
// An aircraft takes off from its building, any other unit walks out to the exit point.
void SendUnitToExit(TUnit* unit, THouse* house);
void LeaveHouse(TUnit* unit, THouse* house);
// A unit reached a field (map object codes 9694..9699) or a misc object.
void EventSendToMisc(TUnit* unit, float x, float y, std::uint16_t code);
// A worker completed a building.
void EventConstructionFinished(TUnit* worker, THouse* house);
// A worker arrived at a building or cell it was sent to (the building, null for a plain cell).
void EventWorkerArrived(TUnit* worker, THouse* house);

// ---- transports and ports ----
// false (with the range message for the local player's order when tell is set) when the unit
// cannot reach a boarding place of the transport.
bool GoToTransport(TUnit* unit, TUnit* transport, std::uint8_t tell);
void SendShipOutOfPort(TUnit* ship, THouse* port);

// ---- combat ----
// OrderAttackUnit's results.
constexpr std::int32_t ATTACK_REFUSED = 0;
constexpr std::int32_t ATTACK_TAKEN = 1;
// Whether the attacker may fire now at the target at that distance (entering its fire work when
// it does).
bool CanAttack(TUnit* attacker, TUnit* target, float distance);
std::int32_t OrderAttackUnit(TUnit* attacker, TUnit* target, std::uint8_t mode);
// Sets every unit's attack points afresh from the live attackers aimed at it now.
void RecountAttackPoints();

// A ship under construction that is cancelled stops its building effect.
void StopShipEffect(TUnit* ship);
// Empties the unit cells of the target grid, so no search finds a unit that went away.
void ClearTargetGridUnits();
// Takes a unit that leaves the game out of the target grid at once.
void RemoveUnitFromTargetGrid(const TUnit* unit);

