#pragma once
// Firing and hits: how a decided attack becomes damage. Every roll draws from the shared random
// table, so all machines agree; a hit also warns the units round its victim.
#include <cstdint>

class TUnit;
class THouse;

// Damage of one bullet (or flame, for a flame thrower) from shooter to victim.
double BulletDamage(TUnit* shooter, TUnit* victim);
// One bullet landing at a point: every unit in the radius of another player (any player with
// hitOwnSide) takes its damage.
void BulletToPoint(float x, float y, TUnit* shooter, bool hitOwnSide, float radius);
// One flame step at a point: burns buildings and units round it, never the shooter itself.
void FlameToPoint(TUnit* shooter, float x, float y, bool hitOwnSide, float radius);
// Aimed single fire; also the air-target path of the other fire operations.
void CombatFireForMashineGunner(TUnit* attacker, TUnit* target);
// A tank's burst (kind 3) and a machine gunner's burst.
void MashineGunnerFire(TUnit* attacker, TUnit* target);
void MashineGunnerBurst(TUnit* attacker, TUnit* target);
void CombatFireFlameThrower(TUnit* attacker);
// Close combat against a unit and against a building.
void UnitHitNear(TUnit* attacker, TUnit* target);
void UnitHitHouse(TUnit* attacker, THouse* target);
// An aircraft's fire at a unit: air-to-air fire or a strafing run of delayed bullets.
void UnitFireAtUnit(TUnit* aircraft, TUnit* target);
void AirToAirFire(TUnit* attacker, TUnit* target);
// true when the aircraft found a new target round its aim point.
bool AirReacquireTarget(TUnit* aircraft);
// Explosion damage to one unit.
void UnitDamage(TUnit* victim, std::uint16_t damage, std::uint32_t killerPlayer, std::uint8_t direct);
// Warns the units round a hit cell of another player than the shooter's.
void AlarmUnitsNearHit(std::uint8_t shooterPlayer, std::uint16_t cellX, std::uint16_t cellY, TUnit* attacker,
                       std::int32_t x, std::int32_t y);
// The player's unit nearest to a point, or null.
TUnit* GetNearestUnitOfPlayer(std::uint8_t player, float x, float y);
