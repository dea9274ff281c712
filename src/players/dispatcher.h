#pragma once
// The command dispatcher: runs one command record for the acting player (g_ActingPlayer).

struct THeapItem;

// false in every case but one: a deferred path move that put the record back into a queue itself
// (the record must then not be freed).
bool ExecuteCommand(THeapItem* item);
