#pragma once
// The computer player's share of a turn.
#include <cstdint>

class TGroup;
class TStrateg;

// The group of the player's group manager whose id is the value; null for none.
TGroup* FindManagedGroup(std::uint8_t player, std::uint32_t id);

// The group manager's update, every turn of a live player.
void GroupManagerUpdate(TStrateg* player);
// The computer player's step, on its period.
void ComputerPlayerStep(TStrateg* player);
