#pragma once
// The group orders that command records carry (ids 45 and 47).

// Frees a group-order payload a record owns.
void FreeGroupOrder(void* payload);
