#pragma once
// The players' selections, as units and buildings reach them.
#include <cstdint>

class TUnit;

// The unit leaves its owner's selection.
void DeleteSelection(std::uint8_t player, TUnit* unit);

// Frees a selection list and empties its head.
void FreeSelectionList(void*& head);
