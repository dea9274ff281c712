#pragma once
// Small questions the orders, events and path following ask of a unit, and the one way they
// drop a unit's targets.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "units/unit.h"
#include "units/unit_types.h"

inline std::uint8_t UnitKindOf(const TUnit* u)
{
    return u->Basic != nullptr ? u->Basic->m_Kind : 0;
}
inline bool IsAirUnit(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->m_bAir != 0;
}
inline bool IsShipTypeUnit(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->IsShipUnit();
}
inline bool IsOneOfCodes(std::uint8_t v, std::initializer_list<std::uint8_t> set)
{
    return std::find(set.begin(), set.end(), v) != set.end();
}
inline float PixelDistance(float ax, float ay, float bx, float by)
{
    return std::sqrt((ax - bx) * (ax - bx) + (ay - by) * (ay - by));
}
// Both targets and their players (255 none).
inline void ClearUnitTargets(TUnit* u)
{
    u->AttackUnit = nullptr;
    u->PlayerAttack = UNIT_NO_PLAYER;
    u->HouseAttack = nullptr;
    u->PlayerHouseAttack = UNIT_NO_PLAYER;
}
