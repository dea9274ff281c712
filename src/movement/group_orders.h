#pragma once
// The group orders that command records carry (ids 45 and 47).
#include <cstdint>


class TGroup;

// Runs the group order a command record carries (command 47): a disbanded group only clears its
// busy flag. The payload stays the record's.
void GiveGroupOrderFromRecord(void* payload);
// Runs a deferred forming of a group (command 45) the same way.
void ReplayGroupForming(void* payload);
// Whether the group is shown as selected; selects or deselects its live units.
bool IsGroupSelected(const TGroup* group);
void SelectGroupUnits(TGroup* group, bool select);
// The map cell of the group's first member; false for a group without members.
bool GetGroupCell(const TGroup* group, std::int32_t& column, std::int32_t& row);

// Frees a group-order payload a record owns.
void FreeGroupOrder(void* payload);
