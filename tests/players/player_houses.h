#pragma once
// A building put by hand into a player's array of the movement test world: the next index, a type
// record of the player's nation, standing. No map cell is written.
#include <cstdint>

#include "players/strateg.h"
#include "units/house.h"
#include "units/house_types.h"

namespace playertest {

inline THouse* AddPlayerHouse(std::uint8_t player, std::uint16_t type)
{
    const std::uint16_t index = NumHouse[player]++;
    THouse* h = HouseAt(g_pHouse[player], index);
    h->TypeRecord = &HouseType(g_Strateg[player]->Nation, type);
    h->HouseType = type;
    h->Owner = player;
    h->Index = index;
    return h;
}

} // namespace playertest
