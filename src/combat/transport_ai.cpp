#include "combat/transport_ai.h"

#include <cmath>

#include "combat/transports.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/work_states.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "players/economy.h"
#include "players/placement.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

constexpr float kSailingReach = 50.0f;
constexpr float kLoadingReach = 1.0f;
constexpr float kLandingReach = 100.0f;
constexpr std::uint16_t kHalfLoad = 250;
constexpr float kGatherReach = 3000.0f;
constexpr float kSlowestPassenger = 0.5f;
constexpr std::uint32_t kShorePointChoices = 5;
constexpr std::uint16_t kRallyHouseType = 4;
constexpr int kSeekHeadings = 16;
constexpr float kTwoPi = 6.2831855f;

void SetState(TUnit* ship, std::uint32_t state)
{
    ship->m_TransportState = state;
    ship->WaitCount = 0;
}

void SailToGoal(TUnit* ship)
{
    GoToPoint(ship, ship->m_ShipGoalX, ship->m_ShipGoalY, 1);
}

double WaypointDistance(const TUnit* ship)
{
    return PointDistance(ship->X, ship->Y, ship->GoalX, ship->GoalY);
}

bool MayCallAdvisor(std::uint8_t player)
{
    const TStrateg* s = player < 8 ? g_Strateg[player] : nullptr;
    if (s == nullptr)
        return false;
    return s->Kind == PLAYER_KIND_COMPUTER || g_CompAssist[player] != 0;
}

void StepShip(TUnit* ship, std::uint8_t player, std::int8_t target)
{
    switch (ship->m_TransportState) {
    case TRANSPORT_IDLE:
        if (PickLandingPoint(ship, player)) {
            SailToGoal(ship);
            SetState(ship, TRANSPORT_TO_LOADING);
        }
        break;
    case TRANSPORT_TO_LOADING: {
        TFloatPoint at;
        if (WaypointDistance(ship) < kLoadingReach && FindUnloadPlace(ship, at, nullptr)) {
            SetState(ship, TRANSPORT_LOADING);
            ship->m_TransportCounter = 0;
            break;
        }
        if (++ship->m_TransportCounter < TRANSPORT_RETRIES) {
            SailToGoal(ship);
        } else {
            SetState(ship, TRANSPORT_IDLE);
            ship->m_TransportCounter = 0;
        }
        break;
    }
    case TRANSPORT_LOADING:
        if (ship->m_PassengerCount >= kHalfLoad
            && (ship->m_PassengerCount >= UNIT_SHIP_PASSENGERS || ship->m_TransportCounter > 0)) {
            if (PickLandingPoint(ship, static_cast<std::uint8_t>(target))) {
                ship->m_TransportTag = static_cast<std::uint8_t>(target);
                ship->m_TransportCounter = 0;
                SailToGoal(ship);
                SetState(ship, TRANSPORT_TO_LANDING);
            } else if (++ship->m_TransportCounter >= TRANSPORT_RETRIES) {
                SetState(ship, TRANSPORT_IDLE);
                ship->m_TransportCounter = 0;
            }
            break;
        }
        if (RandomDraw() % 3 == 1)
            GatherPassengers(ship);
        break;
    case TRANSPORT_TO_LANDING:
        if (WaypointDistance(ship) < kLandingReach) {
            TFloatPoint at;
            if (FindUnloadPlace(ship, at, nullptr)) {
                SetState(ship, TRANSPORT_UNLOADING);
                ship->m_TransportCounter = 0;
                break;
            }
            SeekUnloadPlace(ship);
        }
        if (++ship->m_TransportCounter < TRANSPORT_RETRIES) {
            SailToGoal(ship);
        } else {
            SetState(ship, TRANSPORT_LOADING);
            ship->m_TransportCounter = 0;
        }
        break;
    case TRANSPORT_UNLOADING:
        if (ship->m_PassengerCount == 0 || ship->m_pPassengers == nullptr) {
            SetState(ship, TRANSPORT_IDLE);
            break;
        }
        if (!ship->CanUnload(ship)) {
            SeekUnloadPlace(ship);
            break;
        }
        SetState(ship, TRANSPORT_IDLE);
        // Always the first passenger: each one that leaves moves the rest forward. A passenger
        // that finds no place stays aboard and ends the unloading for this step.
        while (ship->m_PassengerCount > 0) {
            TUnit* p = ship->m_pPassengers[0];
            if (p == nullptr || !p->GetMeFromTransport())
                break;
            MoveUnitToFirstUnit(p);
        }
        break;
    default: break;
    }
}

} // namespace

double PointDistance(double x1, double y1, double x2, double y2)
{
    return std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
}

bool PickLandingPoint(TUnit* ship, std::uint8_t player)
{
    const TStrateg* s = player < 8 ? g_Strateg[player] : nullptr;
    if (s == nullptr || s->Planner == nullptr)
        return false;
    plat::Point p{};
    NearShorePoint(player, p, static_cast<std::int32_t>(ship->X), static_cast<std::int32_t>(ship->Y), kShorePointChoices);
    ship->m_ShipGoalX = static_cast<float>(p.x);
    ship->m_ShipGoalY = static_cast<float>(p.y);
    return true;
}

void GatherPassengers(TUnit* ship)
{
    if (ship->m_PassengerCount >= UNIT_SHIP_PASSENGERS)
        return;
    bool answered = false;
    for (TUnit* u = FirstPlayerUnit(ship->Player); u != nullptr; u = u->m_pNext) {
        const TBasicUnit* t = u->Basic;
        if (t == nullptr || t->m_bCarrier17 == 0 || t->m_Kind == UNIT_KIND_WORKER || u->Work != UNIT_NO_WORK
            || u->m_pGroup != nullptr || u->AttackUnit != nullptr || u->HouseAttack != nullptr || u->Dead != 0
            || t->Speed < kSlowestPassenger || u->m_bHold != 0
            || PointDistance(u->X, u->Y, ship->X, ship->Y) >= kGatherReach)
            continue;
        if (GoToTransport(u, ship, 0))
            answered = true;
    }
    if (answered) {
        ship->m_TransportCounter = 0;
        return;
    }
    if (MayCallAdvisor(ship->Player))
        SetNearestHouseRallyPoint(ship->Player, kRallyHouseType, ship->X, ship->Y, true);
    if (++ship->m_TransportCounter >= TRANSPORT_RETRIES) {
        ship->m_TransportState = TRANSPORT_IDLE;
        ship->m_TransportCounter = 0;
        ship->m_TransportTag = 0;
        ship->WaitCount = 0;
    }
}

bool SeekUnloadPlace(TUnit* ship)
{
    const float kept = ship->Heading;
    int first = -1;
    int last = -1;
    TFloatPoint at;
    for (int i = 0; i < kSeekHeadings; ++i) {
        ship->Heading = kTwoPi * static_cast<float>(i) / kSeekHeadings;
        if (FindUnloadPlace(ship, at, nullptr)) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    bool found = false;
    if (first >= 0) {
        ship->Heading = kTwoPi * static_cast<float>(first + last) / (2.0f * kSeekHeadings);
        found = FindUnloadPlace(ship, at, nullptr);
    }
    ship->Heading = kept;
    if (found)
        GoToPoint(ship, at.x, at.y, 1);
    return found;
}

void TransportAiExecute(std::uint8_t player, std::int8_t targetPlayer)
{
    if (player >= UNIT_PLAYERS || g_UnitTypeCount[player][UNIT_TYPE_TRANSPORT_SHIP] == 0 || g_ShipUnits.empty())
        return;
    // The steps may reorder unit lists, never the ship list; a copy keeps the walk safe all the same.
    const std::vector<TUnit*> ships = g_ShipUnits;
    for (TUnit* ship : ships) {
        if (ship == nullptr || ship->Player != player || ship->Type != UNIT_TYPE_TRANSPORT_SHIP || ship->Dead != 0
            || ship->m_bHold != 0 || ship->m_SearchDelay != 0)
            continue;
        if (WaypointDistance(ship) > kSailingReach || targetPlayer == -1)
            continue;
        if (ship->m_TransportState > TRANSPORT_UNLOADING) {
            ReportError(" TransportAiExecute unknown");
            continue;
        }
        StepShip(ship, player, targetPlayer);
    }
}
