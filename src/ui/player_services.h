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
// The large centred text of a defeat or victory (kept in the mission log too).
void DrawCenteredText(const char16_t* text, int endFlag);
// Queues a timed screen text at (x, y) for a number of frames, colour 0x00BBGGRR.
void QueueScreenText(int x, int y, const char16_t* text, std::uint32_t frames, std::uint32_t colour, int flag);
