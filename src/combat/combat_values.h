#pragma once
// The firing values every hit reads: a unit type's per-player combat record and a building type's
// armour and fire defence.
//
// A unit type keeps one combat record of 20 u16 per player in its first parameter table, so one
// player's research changes only that player's units; war research 7 raises the bullet attack.
#include <cstdint>

#include "units/house_types.h"
#include "units/unit_types.h"

constexpr int UNIT_COMBAT_RECORD_WORDS = 20;
enum TUnitCombatSlot : int {
    COMBAT_CLOSE_ATTACK = 0,
    COMBAT_CLOSE_DEFENCE = 1,
    COMBAT_FIRE_ATTACK = 2,
    COMBAT_FIRE_DEFENCE = 3,
    COMBAT_EXPLOSION_ARMOUR = 4,
    COMBAT_ACCURACY = 5,       // a percentage
    COMBAT_SHELL_DAMAGE = 6,   // of the grenades and bombs the type throws
    COMBAT_BULLET_ATTACK = 10, // the slot war research 7 raises
    COMBAT_BULLET_DEFENCE = 11,
};
static_assert(COMBAT_BULLET_DEFENCE < UNIT_COMBAT_RECORD_WORDS);
static_assert(UNIT_COMBAT_RECORD_WORDS * UNIT_PLAYERS <= UNIT_PARAM_TABLE);

// 0 for a null type or a player beyond the eight.
inline std::uint16_t UnitCombatValue(const TBasicUnit* type, std::uint8_t player, TUnitCombatSlot slot)
{
    if (type == nullptr || player >= UNIT_PLAYERS)
        return 0;
    return type->m_ParamTables[0][player * UNIT_COMBAT_RECORD_WORDS + slot];
}
inline void SetUnitCombatValue(TBasicUnit* type, std::uint8_t player, TUnitCombatSlot slot, std::uint16_t value)
{
    if (type != nullptr && player < UNIT_PLAYERS)
        type->m_ParamTables[0][player * UNIT_COMBAT_RECORD_WORDS + slot] = value;
}

// A building type's armour (record offset 324) and fire defence (offset 328, doubled by the second
// stage of the building-type upgrade).
inline std::uint16_t HouseTypeArmour(const THouseType* type)
{
    return type != nullptr ? type->m_Param324 : 0;
}
inline std::uint16_t HouseTypeFireDefence(const THouseType* type)
{
    return type != nullptr ? type->m_Param328 : 0;
}
