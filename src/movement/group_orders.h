#pragma once
// The group orders that command records carry (ids 45 and 47), and what the groups ask of the
// interface.
#include <cstdint>


class TGroup;

// Runs the group order a command record carries (command 47): a disbanded group only clears its
// busy flag. A group destroyed since the record was queued is skipped. The payload stays the
// record's.
void GiveGroupOrderFromRecord(void* payload);
// Runs a deferred forming of a group (command 45) the same way.
void ReplayGroupForming(void* payload);
// The map cell of the group's first member; false for a group without members.
bool GetGroupCell(const TGroup* group, std::int32_t& column, std::int32_t& row);

// Frees a group-order payload a record owns.
void FreeGroupOrder(void* payload);

// The interface's side: the group window is refreshed when a group gives up its formation; the
// local player hears of a group under attack at the cell of its first member (alarm list and the
// message "IDS_GROUP_UNDER_ATTACK").
void ToggleGroupWindow();
void AnnounceGroupUnderAttack(std::int32_t column, std::int32_t row);
