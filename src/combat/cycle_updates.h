#pragma once
// The work of combat and effects that the game cycle runs: the timed updates before the players'
// turns and the unit walk inside each turn. Main thread only.
#include <cstdint>

struct TTurnList;

// The delayed hits (combat/timed_effects.h): the ones due land, the others count down.
void UpdateTimedEffects();
void UpdateShots();
void UpdateTimedSigns();
// Refills the unit cells of the target grid.
void RefreshTargetGridUnits();
// Every unit and building of the turn's player: behaviour, production, the draw-order lists.
void UnitWalk(TTurnList& turn);
// The pause of the ground units' minimum-distance message: set when the message shows, lowered by
// the cycle while non-zero. Main thread only; it decides only what the local player is told.
extern std::uint8_t g_MoveCountdown;
