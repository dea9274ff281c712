#pragma once
// A player leaves the game.

class TStrateg;

// Marks the player dead (final) and frees what it owns; the local player's defeat or victory.
void StrategDead(TStrateg* player);
