#pragma once
// A player's resources as other subsystems reach them: the wood a trench or pontoon piece costs.
#include <cstdint>

// One resource of a player: the recorded value and the spendable one (a payment takes from both
// and keeps the spendable value at 0 or above).
struct TResourcePair {
    double recorded = 0.0;
    double spendable = 0.0;
};

// The player's wood; null for a player index past the players of the game or an empty slot.
// Main thread only (the game cycle and the frame's placement preview).
TResourcePair* GetPlayerWood(std::uint8_t player);
// Whether the player can pay for one trench or pontoon piece (spendable wood of at least 300).
bool CanAffordTrench(std::uint8_t player);
