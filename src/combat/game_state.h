#pragma once
// The combat and effects modules' share of a game's load and teardown.

// Craters and ground pictures of the running game.
void CreateCraters();
void FreeCraters();
// Shot and explosion types; false refuses the load.
bool ShotsInit();
void ShotsFree();
// The timed signs; false refuses the load.
bool CreateTimedSignList();
void DestroyTimedSignList();
// The ship list and its table; false from MakeShipTable refuses the load.
void ShipListInit();
bool MakeShipTable();
void ShipListFree();
// The ship tables and bow waves.
void FreeShipTables();
// The 8 x 8 relation matrix: 1 on the diagonal, 0 elsewhere.
void ResetDiplomacyMatrix();
// The global record object's two lists.
void ResetGlobalRecordGrid();
void ResetGlobalRecordLists();
void FreeTimedEffects();
// The timed effects of save chunk 2 (before the shots).
class TOfStreamMemory;
class TIfStreamMemory;
void SaveTimedEffects(TOfStreamMemory& out);
bool LoadTimedEffects(TIfStreamMemory& in);
// Reads the block without keeping anything: false (logged) when LoadTimedEffects would refuse it.
bool CheckTimedEffects(TIfStreamMemory& in);
