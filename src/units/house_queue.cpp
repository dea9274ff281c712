#include "units/house_queue.h"

#include <algorithm>

#include "core/error_log.h"
#include "players/house_orders.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

// An endless queue that cannot pay asks again next cycle.
constexpr float kRetryTimer = 0.01f;
// The largest ordinary queue: one more entry would read as the endless mark.
constexpr std::uint16_t kQueueLimit = HOUSE_QUEUE_ENDLESS - 1;

THouse* PlayerHouse(std::uint8_t player, std::uint16_t house)
{
    if (player >= UNIT_PLAYERS || g_pHouse[player] == nullptr || house >= NumHouse[player])
        return nullptr;
    return HouseAt(g_pHouse[player], house);
}

TBasicUnit* TypeOf(std::uint8_t player, std::uint16_t type)
{
    const std::uint8_t nation = player < UNIT_PLAYERS && g_Strateg[player] != nullptr ? g_Strateg[player]->Nation : 0;
    return GetUnitType(nation, type);
}

float PowerNeed(std::uint8_t player, std::uint16_t type)
{
    const TBasicUnit* t = TypeOf(player, type);
    return t != nullptr ? t->m_PowerNeed : 0.0f;
}

float BuildTime(std::uint8_t player, std::uint16_t type)
{
    const TBasicUnit* t = TypeOf(player, type);
    return t != nullptr && player < UNIT_PLAYERS ? static_cast<float>(t->BuildTime[player]) : 0.0f;
}

void AddPowerDemand(std::uint8_t player, float need)
{
    if (player < UNIT_PLAYERS)
        g_PowerDemand[player] += need;
}

bool IsLocalSelected(const THouse& h)
{
    return h.Owner == MyPlayer && h.Selected != 0;
}

void FreeQueue(THouse& h)
{
    delete[] h.Queue;
    h.Queue = nullptr;
    h.QueueCount = 0;
    h.EndlessUnpaid = 0;
}

void RemoveQueueEntry(THouse& h, std::uint16_t i)
{
    std::copy(h.Queue + i + 1, h.Queue + h.QueueCount, h.Queue + i);
    if (--h.QueueCount == 0)
        FreeQueue(h);
}

// The ship a port is building goes away with its cancelled order, and so do the counts its
// creation raised, which otherwise only its death would lower.
void CancelShipUnderConstruction(THouse& h)
{
    TUnit* ship = h.ShipUnderConstruction;
    h.ShipUnderConstruction = nullptr;
    TUnitServices& s = UnitServices();
    s.stopShipEffect(ship);
    ship->House = nullptr;
    ship->WorkObject = UNIT_DELETE_PARAM;
    s.refreshTargetGridUnits();
    if (ship->Player < UNIT_PLAYERS) {
        if (ship->Type < UNIT_TYPES_PER_NATION && g_UnitTypeCount[ship->Player][ship->Type] > 0)
            --g_UnitTypeCount[ship->Player][ship->Type];
        if (TStrateg* owner = g_Strateg[ship->Player]; owner != nullptr && owner->LiveUnits > 0)
            --owner->LiveUnits;
    }
    DeleteUnit(&ship);
}

// The way out shared by produced units and units leaving the garrison: from the door toward the
// exit, then on to the rally point.
void StartThroughDoor(TUnit* u, THouse* h)
{
    u->X = h->DoorX;
    u->Y = h->DoorY;
    u->StartX = h->DoorX;
    u->StartY = h->DoorY;
    u->GoalX = h->ExitX;
    u->GoalY = h->ExitY;
    u->StepX = h->ExitX;
    u->StepY = h->ExitY;
    u->EnteringHouse = 1;
    u->House = h;
    u->WantedOrient = UnitServices().orientToPoint(h->DoorX, h->DoorY, h->ExitX, h->ExitY);
    u->SetOrient(u->WantedOrient);
    u->NumWork = UNIT_WALK;
    u->Work = UNIT_WORK_LEAVE_HOUSE;
    u->HasSavedOrder = 1;
    u->SavedGoalX = h->RallyX;
    u->SavedGoalY = h->RallyY;
    u->SavedWork = -1;
    u->SavedWorkObject = UNIT_NO_OBJECT;
}

} // namespace

bool AddUnitToHouseQueue(std::uint8_t player, std::uint16_t house, std::uint16_t unitType, std::uint8_t endless)
{
    THouse* h = player < UNIT_PLAYERS && g_Strateg[player] != nullptr && g_Strateg[player]->Dead == 0
                    ? PlayerHouse(player, house)
                    : nullptr;
    // A ruin or a building site produces nothing, and a queue left there would never be paid back.
    if (h == nullptr || h->TypeRecord == nullptr || h->Destroyed != 0 || !h->IsFinished()) {
        ReportErrorInt(" AddUnitToHouseQueue - дом не тот ", house);
        return false;
    }
    bool listed = false;
    for (std::uint16_t produced : h->Type().m_Units) {
        if (produced == HOUSE_LIST_END) {
            ReportErrorInt(" AddUnitToHouseQueue - не могу тут строить таких ", unitType);
            return false;
        }
        if (produced == unitType) {
            listed = true;
            break;
        }
    }
    if (!listed)
        return false;
    if (TypeOf(player, unitType) == nullptr) {
        ReportErrorInt(" AddUnitToHouseQueue - не могу тут строить таких ", unitType);
        return false;
    }

    if (h->QueueCount == HOUSE_QUEUE_ENDLESS) {
        // Already producing it endlessly: the new payment buys nothing.
        if (h->Queue[0] == unitType)
            return false;
        RemoveUnitFromHouseQueue(player, house, h->Queue[0], 1);
    }
    if (endless != 0)
        while (h->QueueCount != 0)
            RemoveUnitFromHouseQueue(player, house, h->Queue[0], 1);
    if (h->QueueCount >= kQueueLimit)
        return false;

    const std::uint16_t count = h->QueueCount;
    auto* queue = new std::uint16_t[count + 1];
    if (count != 0)
        std::copy(h->Queue, h->Queue + count, queue);
    delete[] h->Queue;
    h->Queue = queue;
    if (count == 0) {
        AddPowerDemand(player, PowerNeed(player, unitType));
        h->ProductionTimer = BuildTime(player, unitType);
    }
    h->Queue[count] = unitType;
    h->QueueCount = endless != 0 ? HOUSE_QUEUE_ENDLESS : static_cast<std::uint16_t>(count + 1);
    h->EndlessUnpaid = 0;
    return true;
}

void RemoveUnitFromHouseQueue(std::uint8_t player, std::uint16_t house, std::uint16_t unitType, std::uint8_t refund)
{
    THouse* h = PlayerHouse(player, house);
    if (h == nullptr) {
        ReportError("AddUnitToHouseQueue - дом не тот");
        return;
    }
    if (h->QueueCount == 0 || h->Queue == nullptr)
        return;
    TUnitServices& s = UnitServices();

    if (h->QueueCount == 1 && h->Queue[0] == unitType) {
        if (h->ShipUnderConstruction != nullptr)
            CancelShipUnderConstruction(*h);
        FreeQueue(*h);
        AddPowerDemand(player, -PowerNeed(player, unitType));
        if (refund != 0)
            s.refundUnit(player, unitType);
        return;
    }
    if (h->QueueCount == HOUSE_QUEUE_ENDLESS) {
        const std::uint16_t head = h->Queue[0];
        // An endless head that could not be paid was neither charged nor counted.
        const bool paid = h->EndlessUnpaid == 0;
        // A ship in the yard has nothing left to finish it once its order is gone.
        if (h->ShipUnderConstruction != nullptr)
            CancelShipUnderConstruction(*h);
        FreeQueue(*h);
        if (paid) {
            AddPowerDemand(player, -PowerNeed(player, head));
            if (refund != 0)
                s.refundUnit(player, head);
        }
        return;
    }
    for (std::uint16_t i = static_cast<std::uint16_t>(h->QueueCount - 1); i >= 1; --i) {
        if (h->Queue[i] != unitType)
            continue;
        RemoveQueueEntry(*h, i);
        if (refund != 0)
            s.refundUnit(player, unitType);
        return;
    }
    if (h->Queue[0] != unitType)
        return;
    RemoveQueueEntry(*h, 0);
    if (h->ShipUnderConstruction != nullptr)
        CancelShipUnderConstruction(*h);
    // The new head is in production from now on, with its own time and power need.
    AddPowerDemand(player, -PowerNeed(player, unitType));
    h->ProductionTimer = BuildTime(player, h->Queue[0]);
    AddPowerDemand(player, PowerNeed(player, h->Queue[0]));
    if (refund != 0)
        s.refundUnit(player, unitType);
}

void HouseProduceUnit(std::uint8_t player, std::uint16_t house)
{
    THouse* h = PlayerHouse(player, house);
    if (h == nullptr) {
        ReportErrorInt("HouseProduceUnit: no such building ", house);
        return;
    }
    if (h->QueueCount == 0 || h->Queue == nullptr)
        return;
    TUnitServices& s = UnitServices();
    const bool endless = h->QueueCount == HOUSE_QUEUE_ENDLESS;
    const std::uint16_t type = h->Queue[0];
    if (endless) {
        if (!s.canAffordUnit(player, type)) {
            h->ProductionTimer = kRetryTimer;
            return;
        }
        // The next unit could not be paid when the last one was finished: it starts only now.
        if (h->EndlessUnpaid != 0) {
            if (!s.payForUnit(player, type)) {
                h->ProductionTimer = kRetryTimer;
                return;
            }
            h->EndlessUnpaid = 0;
            h->ProductionTimer = BuildTime(player, type);
            AddPowerDemand(player, PowerNeed(player, type));
            return;
        }
    }
    AddPowerDemand(player, -PowerNeed(player, type));

    if (h->ShipUnderConstruction != nullptr) {
        // The unit walk has sent the ship out of the port already.
        h->ShipUnderConstruction->House = nullptr;
        h->ShipUnderConstruction = nullptr;
    } else {
        const std::uint8_t nation = g_Strateg[player] != nullptr ? g_Strateg[player]->Nation : 0;
        TUnit* u = CreateUnit(h->DoorX, h->DoorY, type, nation);
        if (AddUnitToPlayer(player, u) == UNIT_NO_INDEX) {
            UnregisterShip(u);
            delete u;
        } else {
            u->Stance = h->UnitMode;
            if (u->Basic != nullptr && u->Basic->m_bAir != 0) {
                // An aircraft takes off from its hangar: in, out again at once, and away.
                if (PutUnitInHouse(u, h))
                    GetUnitOutOfHouse(h, u);
                s.leaveHouse(u);
                if (IsLocalSelected(*h))
                    s.refreshPanel();
            } else {
                StartThroughDoor(u, h);
                // A new unit is made standing still: it is set walking toward the exit, or it
                // would stay in the doorway for good.
                s.leaveHouse(u);
            }
        }
    }

    if (endless) {
        if (s.payForUnit(player, type)) {
            h->ProductionTimer = BuildTime(player, type);
            AddPowerDemand(player, PowerNeed(player, type));
        } else {
            h->EndlessUnpaid = 1;
            h->ProductionTimer = kRetryTimer;
        }
    } else {
        RemoveQueueEntry(*h, 0);
        if (h->QueueCount != 0) {
            h->ProductionTimer = BuildTime(player, h->Queue[0]);
            AddPowerDemand(player, PowerNeed(player, h->Queue[0]));
        }
    }
    if (IsLocalSelected(*h))
        s.refreshPanel();
}

void ReleaseHouseQueue(THouse* h)
{
    if (h == nullptr)
        return;
    if (h->QueueCount == 0 || h->Queue == nullptr || h->Owner >= UNIT_PLAYERS) {
        FreeQueue(*h);
        return;
    }
    TUnitServices& s = UnitServices();
    const std::uint8_t player = h->Owner;
    if (h->QueueCount == HOUSE_QUEUE_ENDLESS) {
        if (h->EndlessUnpaid == 0) {
            AddPowerDemand(player, -PowerNeed(player, h->Queue[0]));
            s.refundUnit(player, h->Queue[0]);
        }
    } else {
        AddPowerDemand(player, -PowerNeed(player, h->Queue[0]));
        for (std::uint16_t i = 0; i < h->QueueCount; ++i)
            s.refundUnit(player, h->Queue[i]);
    }
    FreeQueue(*h);
}

bool PutUnitInHouse(TUnit* u, THouse* h)
{
    if (u == nullptr || h == nullptr)
        return false;
    if (u->Work == STAY_IN_HOUSE || u->Work == WORK_UNIT_TRANSPORTED) {
        ReportError("Не может такого быть!!! in PutUnitInHouse");
        return false;
    }
    if (!h->IsFinished() || h->Destroyed != 0 || h->InsideCount >= h->Capacity)
        return false;
    auto* inside = new TUnit*[h->InsideCount + 1];
    if (h->InsideCount != 0)
        std::copy(h->Inside, h->Inside + h->InsideCount, inside);
    delete[] h->Inside;
    h->Inside = inside;
    h->Inside[h->InsideCount] = u;
    TUnitServices& s = UnitServices();
    if (u->Selected != 0)
        s.deselect(u->Player, u);
    ++h->InsideCount;
    if (IsLocalSelected(*h))
        s.refreshPanel();
    u->House = h;
    u->Work = STAY_IN_HOUSE;
    u->m_bMaySearch = h->KeepInside;
    u->m_SearchDelay = 0;
    return true;
}

void GetUnitOutOfHouse(THouse* h, TUnit* u)
{
    if (h == nullptr || u == nullptr || u->Work != STAY_IN_HOUSE || h->InsideCount == 0 || h->Inside == nullptr)
        return;
    u->Work = UNIT_NO_WORK;
    const auto end = h->Inside + h->InsideCount;
    const auto it = std::find(h->Inside, end, u);
    if (it == end)
        return;
    u->m_bMaySearch = 1;
    u->m_SearchDelay = 0;
    u->PlayerAttack = UNIT_NO_PLAYER;
    u->AttackUnit = nullptr;
    u->PlayerHouseAttack = UNIT_NO_PLAYER;
    u->HouseAttack = nullptr;
    delete[] u->Path;
    u->Path = nullptr;
    u->PathLength = 0;
    u->PathIndex = -1;
    u->Halted = 0;
    StartThroughDoor(u, h);
    std::copy(it + 1, end, it);
    if (--h->InsideCount == 0) {
        delete[] h->Inside;
        h->Inside = nullptr;
    }
    // At the door now: the cell lists follow the unit there.
    UpdateUnitCell(u);
}

void SetHousePoint(THouse* h, float x, float y)
{
    if (h == nullptr)
        return;
    h->RallyX = x;
    h->RallyY = y;
}
