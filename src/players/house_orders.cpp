// The build order's call for labour: the player's selected workers go to the new building.
#include "players/house_orders.h"

#include "combat/house_events.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

void SendSelectedWorkersToHouse(std::uint8_t player, THouse* house)
{
    if (player >= 8 || g_Strateg[player] == nullptr || house == nullptr || house->Owner != player)
        return;
    TSelectionNode* head = g_Strateg[player]->SelectionHead;
    if (head == nullptr)
        return;
    // The selection's first unit leads; the others take their places around the building in turn.
    TUnit* first = head->unit;
    std::uint16_t slot = 0;
    for (TSelectionNode* n = head; n != nullptr; n = n->next) {
        TUnit* u = n->unit;
        if (u == nullptr || u->Basic == nullptr || u->Dead != 0 || u->Basic->m_Kind != UNIT_KIND_WORKER ||
            u->Work == UNIT_WORK_LEAVE_HOUSE)
            continue;
        GoToObject(u, first, house->Index, slot++);
    }
}
