#pragma once
// What the players' turns ask of the interface's mission and market code.
#include <cstdint>

class TUnit;

// true when the mission is over for the player.
bool MissionTimerDialog(std::uint8_t player);
// The market's tick of a player, every 20 cycles.
void MarketTick(std::uint8_t player);
// A unit that is freed leaves the unit panel's list.
void ForgetPanelUnit(TUnit* unit);
// The player's mission state, when what it owns is freed.
void ResetPlayerMission(std::uint8_t player);
