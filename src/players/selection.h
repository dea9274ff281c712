#pragma once
// The players' selections, as units and buildings reach them.
#include <cstdint>

class TUnit;

// The unit leaves its owner's selection.
void DeleteSelection(std::uint8_t player, TUnit* unit);

// Frees a selection list and empties its head.
void FreeSelectionList(void*& head);

// The selecting operations of the hot keys and commands. A rectangle is {left, top, right, bottom}
// in map pixels; null means the visible map area.
void SelectAll(std::uint8_t player);
void SelectUnitsInRect(std::uint8_t player, const std::uint32_t* rect);
void SelectSameTypes(std::uint8_t player);
void SelectSameTypesInRect(std::uint8_t player, const std::uint32_t* rect);
void SelectWorkersInRect(std::uint8_t player, const std::uint32_t* rect);
// Stored groups 0..9.
void SelectUnitsFromGroup(std::uint8_t player, std::uint32_t group);
void StoreGroup(std::uint8_t player, std::uint32_t group);
// Keeps only the selected units of a unit type, or drops those of a type.
void FilterSelectionByType(std::uint8_t player, std::int32_t type);
void DeselectByKind(std::uint8_t player, std::int32_t type);
void SelectIdleWorkers(std::uint8_t player);
