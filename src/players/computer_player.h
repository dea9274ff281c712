#pragma once
// The computer player's share of a turn.

class TStrateg;

// The group manager's update, every turn of a live player.
void GroupManagerUpdate(TStrateg* player);
// The computer player's step, on its period.
void ComputerPlayerStep(TStrateg* player);
