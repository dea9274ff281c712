#pragma once
// Trenches and pontoons: the list block of maps and save games.
class TOfStreamMemory;
class TIfStreamMemory;

// u16 list counter, u16 count, 14 bytes per entry.
bool SaveTrenchList(TOfStreamMemory& out);
bool LoadTrenchList(TIfStreamMemory& in);
