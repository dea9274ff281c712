#include "combat/unit_events.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "combat/battle_services.h"
#include "combat/house_events.h"
#include "combat/ships.h"
#include "combat/transports.h"
#include "combat/unit_orders.h"
#include "combat/unit_queries.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/string_table.h"
#include "map/map_grid.h"
#include "movement/directions.h"
#include "movement/group.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace {

constexpr float kBoardingReach = 20.0f;
constexpr float kTransportOrderReach = 1500.0f;
constexpr std::uint8_t kBoardingRetries = 4;
constexpr std::uint8_t kAttackRetries = 4;
constexpr std::uint8_t kMoveAsideRetriesAtEnd = 5;
constexpr std::uint8_t kMoveAsideRetriesAtStop = 3;
constexpr std::uint8_t kBoardingCountdown = 100;
constexpr std::uint16_t kCarrierType = 24;
constexpr std::uint16_t kLorryType = 23;
constexpr std::uint16_t kFirstResourceHouse = 10;
constexpr std::uint16_t kLastResourceHouse = 12;
constexpr float kTakeOffAngle = 0.7853982f;
constexpr std::uint8_t kTakeOffOrient = 5;
constexpr float kTakeOffBacking = 0.05f;
constexpr std::uint32_t kTakeOffSpacing = 50;
constexpr float kRemovedHouseHitPoints = -1000000.0f;
constexpr std::uint8_t ANIM_DEATH = 15;
constexpr std::uint8_t ANIM_DEATH_HARD = 16;
constexpr std::uint8_t ANIM_DEATH_MOVING = 17;
constexpr float kHardDeathHitPoints = -1000.0f;
constexpr std::uint8_t kSoundUnit = 3;
constexpr std::uint8_t kSoundBuilding = 2;

bool InsideHouse(const TUnit* u)
{
    return u->Work == STAY_IN_HOUSE;
}
bool Transported(const TUnit* u)
{
    return u->Work == WORK_UNIT_TRANSPORTED || u->m_MyTransporter != nullptr;
}
bool IsLocal(std::uint8_t player)
{
    return player == MyPlayer;
}
void RefreshPanel()
{
    if (BattleServices().refreshPanel)
        BattleServices().refreshPanel();
}
void PlaySound(std::uint8_t category, const void* object, std::uint8_t a, std::uint8_t b)
{
    if (BattleServices().playSound)
        BattleServices().playSound(category, object, a, b);
}
std::uint8_t StandAnimation(const TUnit* u)
{
    return u->Upright == 0 ? ANIM_STAND : ANIM_STAND_UPRIGHT;
}
void TurnToFace(TUnit* u)
{
    if (u->FaceOrient != UNIT_NO_FACE && u->FaceOrient != static_cast<std::uint8_t>(u->Orient)) {
        u->WantedOrient = u->FaceOrient;
        StartTurn(u);
    }
}
void StandStill(TUnit* u)
{
    DropPath(u);
    u->StepX = u->GoalX = u->X;
    u->StepY = u->GoalY = u->Y;
    u->VX = u->VY = 0.0f;
}

// The end of a move with nothing more to do: the unit stands where it is.
void StopAtEndOfMove(TUnit* u)
{
    u->m_PathRetries = 0;
    u->NumWork = StandAnimation(u);
    u->NumSprite = 0.0f;
    u->Halted = 1;
    StandStill(u);
    TurnToFace(u);
    if (u->Work != STAY_IN_HOUSE)
        u->Work = UNIT_NO_WORK;
}

bool BoardingPoint(const TUnit* transport, TFloatPoint& at)
{
    return transport->Type == kCarrierType ? FindBoardingPlace(transport, at) : FindUnloadPlace(transport, at);
}

void GiveUpTransport(TUnit* u)
{
    u->Work = UNIT_NO_WORK;
    u->m_MyFutureTransporter = nullptr;
}

bool IsResourceHouse(const THouse* h)
{
    return h->HouseType >= kFirstResourceHouse && h->HouseType <= kLastResourceHouse;
}

// A worker with nothing left at its building looks for other work and stands when it finds none.
void WorkerLooksForWork(TUnit* worker)
{
    worker->Work = UNIT_NO_WORK;
    if (!FindWorkForIdleUnit(worker))
        StopUnit(worker, 1);
}

void RemoveFromStoredGroups(TUnit* u)
{
    LeaveGroup(u);
    u->m_StoredGroup = -1;
    TStrateg* owner = u->Player < 8 ? g_Strateg[u->Player] : nullptr;
    if (owner == nullptr)
        return;
    for (auto& group : owner->Group)
        group.erase(std::remove_if(group.begin(), group.end(),
                                   [u](const TStoredGroupEntry& e) { return e.kind == 1 && e.object == u; }),
                    group.end());
}

std::uint8_t DeathAnimation(const TUnit* u)
{
    const std::uint8_t kind = UnitKindOf(u);
    std::uint8_t anim = 0;
    if (((kind == 10 || kind == UNIT_KIND_MACHINE_GUNNER) && IsOneOfCodes(u->NumWork, {2, 6, 18, 20, 21}))
        || IsMovingAnimation(u->NumWork))
        anim = ANIM_DEATH_MOVING;
    else
        anim = u->HitPoints <= kHardDeathHitPoints ? ANIM_DEATH_HARD : ANIM_DEATH;
    return HasAnimation(u, anim) ? anim : ANIM_DEATH;
}

} // namespace

// ---- relations --------------------------------------------------------------------------------

bool IsEnemy(std::uint8_t a, std::uint8_t b)
{
    if (a == b)
        return false;
    if (a == UNIT_NO_PLAYER || b == UNIT_NO_PLAYER)
        return true;
    if (a >= 8 || b >= 8 || g_Strateg[a] == nullptr || g_Strateg[b] == nullptr)
        return false;
    if (g_Strateg[a]->Dead != 0 || g_Strateg[b]->Dead != 0)
        return false;
    const std::uint8_t ab = g_Strateg[a]->Relations[b];
    const std::uint8_t ba = g_Strateg[b]->Relations[a];
    return ab != ba || ab == 0;
}

bool NoFriendNearUnit(std::uint8_t player, const TUnit* u)
{
    if (u == nullptr || InsideHouse(u) || Transported(u))
        return true;
    const plat::Point cell{u->MapX, u->MapY};
    if (cell.x < PASS_BORDER_LEFT || cell.x > g_MapWidth - PASS_BORDER_LEFT || cell.y < PASS_BORDER_TOP
        || cell.y > g_MapHeight - PASS_BORDER_TOP || g_pUnitsMap == nullptr)
        return true;
    for (std::uint8_t k = 0; k < kDirectionCount; ++k) {
        const plat::Point n = GetNeighbourPoint(cell, k);
        if (!CellPointInMap(n)) {
            ReportError("Error in GetUnitsFromPoint");
            continue;
        }
        TUnit** list = g_pUnitsMap[CellIndex(n.x, n.y)];
        for (int i = 0; list != nullptr && i < kCellUnitCapacity && list[i] != nullptr; ++i) {
            const TUnit* o = list[i];
            // Neutral units (owner 255) are nobody's friends, as for IsEnemy.
            if (o->Dead == 0 && o->Height <= 1.0f && !IsEnemy(player, o->Player))
                return false;
        }
    }
    return true;
}

// ---- stopping ---------------------------------------------------------------------------------

void DropPath(TUnit* unit)
{
    if (unit == nullptr)
        return;
    delete[] unit->Path;
    unit->Path = nullptr;
    unit->PathLength = 0;
    unit->PathIndex = -1;
    unit->GoalX = unit->X;
    unit->GoalY = unit->Y;
}

void StopUnit(TUnit* unit, std::uint8_t flag)
{
    if (unit == nullptr || unit->Work == WORK_UNIT_TRANSPORTED)
        return;
    if (unit->Work == UNIT_WORK_LEAVE_HOUSE)
        unit->Work = UNIT_NO_WORK;
    unit->m_MyFutureTransporter = nullptr;
    ClearUnitTargets(unit);
    unit->m_OrderFlagB = 0;
    if (InsideHouse(unit)) {
        unit->VX = unit->VY = 0.0f;
        return;
    }
    if (IsShipTypeUnit(unit)) {
        StandStill(unit);
        ShipStop(unit);
        return;
    }
    if (IsAirUnit(unit)) {
        unit->GoalX = unit->X;
        unit->GoalY = unit->Y;
        EventUnitEndMove(unit);
        return;
    }
    if (flag != 0 && !CanUnitStayInCell(unit) && unit->m_PathRetries < kMoveAsideRetriesAtStop) {
        MoveAsideToFreeCell(unit);
        return;
    }
    unit->m_PathRetries = 0;
    unit->HasSavedOrder = 0;
    StandStill(unit);
    if (IsMovingAnimation(unit->NumWork)) {
        unit->NumWork = ANIM_STAND;
        unit->NumSprite = 0.0f;
    } else if (unit->NumWork == ANIM_FIRE_TO_TURN || unit->NumWork == ANIM_AIM_TO_TURN) {
        unit->NextWork = ANIM_STAND_UPRIGHT;
    } else {
        SetMoveWork(unit);
        unit->NumWork = StandAnimation(unit);
        unit->NumSprite = 0.0f;
        TurnToFace(unit);
    }
    unit->Halted = 1;
    if (unit->Work != STAY_IN_HOUSE)
        unit->Work = UNIT_NO_WORK;
}

void StopMoving(TUnit* unit)
{
    if (unit == nullptr)
        return;
    unit->m_OrderFlagA = 0;
    unit->m_OrderFlagB = 0;
    unit->HasSavedOrder = 0;
    unit->PendingMove = 0;
    ClearUnitTargets(unit);
    if (IsMovingAnimation(unit->NumWork))
        EventUnitEndMove(unit);
}

void HoldPosition(TUnit* unit)
{
    if (unit == nullptr)
        return;
    unit->m_FirstCountdown = 0;
    unit->m_bMaySearch = 1;
}

void CancelOrderAndStop(TUnit* unit)
{
    if (unit == nullptr)
        return;
    if (unit->Dead == 0 && !InsideHouse(unit) && !Transported(unit) && unit->StopAtEnd != 0)
        StopUnit(unit, 1);
    if (unit->HasSavedOrder != 0 && unit->m_pGroup == nullptr && !InsideHouse(unit)) {
        unit->HasSavedOrder = 0;
        SendUnitToMapPoint(unit, unit->SavedGoalX, unit->SavedGoalY, static_cast<std::uint8_t>(unit->SavedWork),
                           unit->SavedWorkObject);
        return;
    }
    ClearUnitTargets(unit);
    StopUnit(unit, 1);
}

void ClearUnitPath(TUnit* unit)
{
    if (unit == nullptr)
        return;
    unit->NumWork = StandAnimation(unit);
    StandStill(unit);
    TurnToFace(unit);
}

void StopUnitAtPosition(TUnit* unit)
{
    ClearUnitPath(unit);
}

bool TargetReached(const TUnit* unit)
{
    return unit != nullptr && unit->GoalX == unit->X && unit->GoalY == unit->Y;
}

void SetPendingMove(TUnit* unit, float x, float y)
{
    if (unit == nullptr || Transported(unit))
        return;
    unit->PendingMove = 1;
    unit->m_OrderedX = static_cast<std::int32_t>(x);
    unit->m_OrderedY = static_cast<std::int32_t>(y);
}

void ResumeMove(TUnit* unit)
{
    if (unit == nullptr || unit->PendingMove == 0)
        return;
    unit->PendingMove = 0;
    ResumeGoToPoint(unit, static_cast<float>(unit->m_OrderedX), static_cast<float>(unit->m_OrderedY));
}

void EventUnitEndMove(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr || u->Work == STAY_IN_HOUSE || u->Work == WORK_UNIT_TRANSPORTED)
        return;
    if (u->Work == UNIT_WORK_LEAVE_HOUSE)
        u->Work = UNIT_NO_WORK;
    u->m_OrderFlagB = 0;
    u->m_pContactUnit = nullptr;
    if (u->Work == WORK_GO_TO_TRANSPORT) {
        TUnit* t = u->m_MyFutureTransporter;
        if (t != nullptr && t->Dead == 0) {
            TFloatPoint at;
            if (!BoardingPoint(t, at)) {
                GiveUpTransport(u);
                EventUnitEndMove(u);
                return;
            }
            if (PixelDistance(u->X, u->Y, at.x, at.y) >= kBoardingReach) {
                if (u->m_PathRetries < kBoardingRetries) {
                    ++u->m_PathRetries;
                    GoToTransport(u, t, 0);
                } else {
                    GiveUpTransport(u);
                    EventUnitEndMove(u);
                }
                return;
            }
            if (u->PutMeInTransport(t))
                u->m_MyFutureTransporter = nullptr;
            else
                GiveUpTransport(u);
            return;
        }
        GiveUpTransport(u);
    }
    if (IsAirUnit(u)) {
        GoToPoint(u, u->GoalX, u->GoalY, 0);
        return;
    }
    if (IsShipTypeUnit(u))
        return;
    TUnit* target = u->AttackUnit;
    if (target != nullptr && target->Dead == 0 && u->Basic->m_CanFire != 0) {
        if (u->m_PathRetries < kAttackRetries) {
            OrderAttackUnit(u, target, 1);
            return;
        }
        ClearUnitTargets(u);
        StopAtEndOfMove(u);
        return;
    }
    ClearUnitTargets(u);
    if (u->HasSavedOrder != 0 && u->m_pGroup == nullptr) {
        u->HasSavedOrder = 0;
        if (!InsideHouse(u)) {
            SendUnitToMapPoint(u, u->SavedGoalX, u->SavedGoalY, static_cast<std::uint8_t>(u->SavedWork),
                               u->SavedWorkObject);
            return;
        }
    }
    u->HasSavedOrder = 0;
    if (u->PendingMove != 0) {
        ResumeMove(u);
        return;
    }
    if (!CanUnitStayInCell(u) && u->m_PathRetries < kMoveAsideRetriesAtEnd) {
        MoveAsideToFreeCell(u);
        return;
    }
    StopAtEndOfMove(u);
}

// ---- buildings --------------------------------------------------------------------------------

void EnterHouse(TUnit* unit, THouse* house)
{
    if (unit == nullptr || house == nullptr)
        return;
    if (!PutUnitInHouse(unit, house)) {
        SendUnitToExit(unit, house);
        return;
    }
    ClearUnitPath(unit);
    unit->NumSprite = 0.0f;
    unit->Halted = 1;
    LeaveGroup(unit);
    if (IsLocal(unit->Player))
        RefreshPanel();
}

void SendUnitToExit(TUnit* unit, THouse* house)
{
    if (unit == nullptr || house == nullptr)
        return;
    if (IsAirUnit(unit)) {
        LeaveHouse(unit, house);
        return;
    }
    unit->Work = UNIT_WORK_LEAVE_HOUSE;
    unit->House = house;
    unit->StepX = unit->GoalX = house->ExitX;
    unit->StepY = unit->GoalY = house->ExitY;
    unit->StartX = house->DoorX;
    unit->StartY = house->DoorY;
    unit->EnteringHouse = 1;
    unit->Halted = 0;
    SetOrientToUnit(unit);
    SetMoveWork(unit);
    SetVelocityToWaypoint(unit);
}

void LeaveHouse(TUnit* unit, THouse* house)
{
    if (unit == nullptr || house == nullptr)
        return;
    if (!IsAirUnit(unit)) {
        SendUnitToExit(unit, house);
        return;
    }
    unit->SetOrient(kTakeOffOrient);
    unit->Heading = kTakeOffAngle;
    unit->Height = 0.0f;
    unit->GoalX = unit->StepX = house->ExitX;
    unit->GoalY = unit->StepY = house->ExitY;
    unit->StartX = unit->X - (unit->GoalX - unit->X) * kTakeOffBacking;
    unit->StartY = unit->Y - (unit->GoalY - unit->Y) * kTakeOffBacking;
    unit->Halted = 0;
    unit->Work = UNIT_WORK_AIR_START;
    unit->NumWork = ANIM_WALK_UPRIGHT;
    unit->EnteringHouse = 1;
    unit->House = house;
    unit->m_CanFire = unit->Basic->m_CanFire;
    SetVelocityToTarget(unit);
    // Aircraft leaving together start some cycles apart.
    if (house->TakeOffCountdown != 0)
        unit->WaitCount = static_cast<std::uint16_t>(std::min<std::uint32_t>(house->TakeOffCountdown, 65535));
    house->TakeOffCountdown += kTakeOffSpacing;
}

void LeaveHouse(TUnit* unit)
{
    if (unit != nullptr)
        LeaveHouse(unit, unit->House);
}

void EventSendToMisc(TUnit* unit, float x, float y, std::uint16_t code)
{
    if (unit == nullptr || unit->Basic == nullptr)
        return;
    if (IsAirUnit(unit) || IsShipTypeUnit(unit) || code < kObjectAnimatedFirst || code > kObjectAnimatedLast) {
        ReportError("Здесь бодяга EventSendToMisc");
        return;
    }
    // Workers go to work the field; anyone else just walks onto it.
    if (UnitKindOf(unit) == UNIT_KIND_WORKER) {
        SendUnitToPoint(unit, x, y);
        return;
    }
    unit->Work = UNIT_NO_WORK;
    AddBasicPath(unit, x, y, true);
    unit->m_OrderFlagA = 0;
    unit->m_OrderFlagB = 0;
}

void EventConstructionFinished(TUnit* worker, THouse* house)
{
    if (worker == nullptr || house == nullptr)
        return;
    const bool local = IsLocal(house->Owner);
    if (house->HouseType == kCarrierType) {
        const std::uint8_t player = worker->Player;
        CreateUnitAt(house->DoorX, house->DoorY, player, kLorryType, 1);
        house->HitPoints = kRemovedHouseHitPoints;
        house->Destroyed = 1;
        DestroyHouse(house, HOUSE_NO_DESTROYER);
        if (local) {
            RefreshPanel();
            PlaySound(kSoundBuilding, house, 2, 5);
        }
        return;
    }
    HouseArrives(house);
    if (local) {
        RefreshPanel();
        PlaySound(kSoundBuilding, house, 2, 5);
    }
    if (IsResourceHouse(house)) {
        GoToObject(worker, worker, house->Index, 0);
        return;
    }
    WorkerLooksForWork(worker);
}

void EventWorkerArrived(TUnit* worker, THouse* house)
{
    if (worker == nullptr)
        return;
    if (house != nullptr && IsResourceHouse(house) && house->Destroyed == 0 && house->Owner == worker->Player) {
        GoToObject(worker, worker, house->Index, 0);
        return;
    }
    if (house == nullptr && worker->Work == STAY_IN_HOUSE)
        ReportError("Здесь бодяга");
    WorkerLooksForWork(worker);
}

// ---- transports and ports ---------------------------------------------------------------------

bool GoToTransport(TUnit* unit, TUnit* transport, std::uint8_t tell)
{
    if (unit == nullptr || transport == nullptr || transport->Dead != 0)
        return false;
    TFloatPoint at;
    const bool found = BoardingPoint(transport, at);
    // The refusal is the same on every machine; only the local player is told.
    if (!found || (tell != 0 && PixelDistance(unit->X, unit->Y, at.x, at.y) >= kTransportOrderReach)) {
        if (tell != 0 && IsLocal(unit->Player) && BattleServices().showMessage)
            BattleServices().showMessage(GetResString(u"IDS_CANNOT_GO_TO_TRANSPORT_RANGE"), 0xffffff);
        return false;
    }
    unit->Work = WORK_GO_TO_TRANSPORT;
    unit->m_MyFutureTransporter = transport;
    unit->m_FirstCountdown = kBoardingCountdown;
    if (PixelDistance(unit->X, unit->Y, at.x, at.y) >= kBoardingReach) {
        AddBasicPath(unit, at.x, at.y, false);
        unit->m_OrderFlagA = 0;
        unit->m_OrderFlagB = 0;
    } else {
        EventUnitEndMove(unit);
    }
    return true;
}

void SendShipOutOfPort(TUnit* ship, THouse* port)
{
    if (ship == nullptr || port == nullptr)
        return;
    const bool southSide = port->m_ShipSideForPort == PORT_SIDE_FIRST_ROW || port->m_ShipSideForPort == PORT_SIDE_LAST_ROW;
    const float ox = 400.0f;
    const float oy = southSide ? 200.0f : -200.0f;
    ship->m_bHold = 1;
    const TFloatPoint tries[2] = {{ship->X + ox, ship->Y + oy}, {ship->X - ox, ship->Y - oy}};
    for (std::int32_t radius : {10, 1})
        for (const TFloatPoint& p : tries) {
            if (!ShipRoomAt(p.x, p.y, radius))
                continue;
            ship->StepX = p.x;
            ship->StepY = p.y;
            ship->GoalX = port->RallyX;
            ship->GoalY = port->RallyY;
            SetVelocityToWaypoint(ship);
            ShipSetUnderway(ship);
            return;
        }
    GoToPoint(ship, port->RallyX, port->RallyY, 1);
}

// ---- removal ----------------------------------------------------------------------------------

void RemoveUnitFromGame(TUnit* unit, std::uint8_t killer)
{
    if (unit == nullptr || unit->Dead != 0)
        return;
    ClearUnitTargets(unit);
    PlaySound(kSoundUnit, unit, 4, 4);
    if (InsideHouse(unit) && unit->House != nullptr) {
        THouse* house = unit->House;
        FreeDeadUnitFromHouse(house, unit);
        if (IsLocal(unit->Player) && MyStrateg != nullptr && MyStrateg->SelectedHouse == house)
            RefreshPanel();
    }
    // A passenger its ship cannot put ashore leaves the passenger list all the same.
    if (Transported(unit) && !unit->GetMeFromTransport())
        DropFromTransport(unit);
    if (unit->m_pPassengers != nullptr)
        for (std::uint16_t i = 0; i < unit->m_PassengerCount && i < unit->PassengerCapacity(); ++i)
            if (unit->m_pPassengers[i] != nullptr) {
                TUnit* p = unit->m_pPassengers[i];
                unit->m_pPassengers[i] = nullptr;
                p->m_MyTransporter = nullptr;
                if (p->Work == WORK_UNIT_TRANSPORTED)
                    p->Work = UNIT_NO_WORK;
                RemoveUnitFromGame(p, killer);
            }
    unit->m_PassengerCount = 0;
    if (unit->Player < UNIT_PLAYERS && unit->Type < UNIT_TYPES_PER_NATION && g_UnitTypeCount[unit->Player][unit->Type] > 0)
        --g_UnitTypeCount[unit->Player][unit->Type];
    RemoveFromStoredGroups(unit);
    if (TStrateg* owner = unit->Player < 8 ? g_Strateg[unit->Player] : nullptr; owner != nullptr) {
        if (owner->LiveUnits > 0)
            --owner->LiveUnits;
        ++owner->UnitsLost;
    }
    unit->Dead = 1;
    unit->Work = UNIT_NO_WORK;
    unit->WorkObject = UNIT_NO_OBJECT;
    unit->NumWork = DeathAnimation(unit);
    unit->NumSprite = 0.0f;
    if (unit->Selected != 0) {
        UnitServices().deselect(unit->Player, unit);
        if (IsLocal(unit->Player))
            RefreshPanel();
    }
    if (IsAirUnit(unit)) {
        unit->Work = WORK_REMOVED;
        unit->NumWork = 0;
    }
}

// ---- combat -----------------------------------------------------------------------------------

namespace {

constexpr float kCloseFireReach = 50.0f;
constexpr float kTurretMin = 140.0f;
constexpr float kTurretMax = 270.0f;
constexpr float kLongWeaponBeyond = 50.0f;
constexpr std::uint8_t kAttackPointsStep = 2;
constexpr std::uint8_t kAttackPointsMax = 14;
constexpr std::uint8_t kAttackPointsCrowded = 12;
constexpr std::uint8_t kAlertValue = 30;
constexpr std::uint8_t kKindArtillery = 10;

// The three weapons of a type, read from its values: a long weapon reaches beyond close combat,
// foot soldiers, riders, workers and flame throwers fight at close quarters when their type can
// play the close attack (a type without it would halt beside its target and never strike, so it
// uses its long weapon there), and a type with rotating parts has a turret.
bool HasLongWeapon(const TUnit* u)
{
    return u->Basic != nullptr && u->Player < UNIT_PLAYERS && u->Basic->m_CanFire != 0
        && static_cast<float>(u->Basic->Range[u->Player]) > kLongWeaponBeyond;
}
bool HasCloseWeapon(const TUnit* u)
{
    return IsOneOfCodes(UnitKindOf(u), {2, 5, UNIT_KIND_WORKER, UNIT_KIND_FLAME})
        && (HasAnimation(u, ANIM_FIRE) || HasAnimation(u, ANIM_FIRE_ALT));
}
bool HasTurret(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->m_PartCount > 0;
}
bool Sheltered(const TUnit* u)
{
    return u->Work == STAY_IN_HOUSE || u->Work == WORK_UNIT_TRANSPORTED;
}
bool IsLarge(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->ClosePath != 0;
}
// The ground between two units lets a turret's shot through: samples at quarters of the way on
// free land.
bool ShotLineFree(const TUnit* a, const TUnit* t)
{
    for (int i = 1; i < 4; ++i) {
        const float q = static_cast<float>(i) / 4.0f;
        const plat::Point c = PixelToFlatCell(a->X + (t->X - a->X) * q, a->Y + (t->Y - a->Y) * q);
        if (!CellPointInMap(c) || !IsLandCellFree(static_cast<std::uint32_t>(CellIndex(c.x, c.y))))
            return false;
    }
    return true;
}
void TakeTarget(TUnit* a, TUnit* t)
{
    if (a->AttackUnit != t)
        t->AttackPoints = static_cast<std::uint8_t>(std::min<int>(t->AttackPoints + kAttackPointsStep, kAttackPointsMax));
    a->AttackUnit = t;
    a->PlayerAttack = t->Player;
    a->m_AttackIndex = static_cast<std::int16_t>(t->m_Index);
}
void Alert(const TUnit* a, const TUnit* t)
{
    for (std::uint8_t p : {a->Player, t->Player})
        if (p < 8 && g_Strateg[p] != nullptr) {
            g_Strateg[p]->MarkGrid(a->X, a->Y, kAlertValue);
            g_Strateg[p]->MarkGrid(t->X, t->Y, kAlertValue);
        }
}

} // namespace

bool CanAttack(TUnit* attacker, TUnit* target, float distance)
{
    if (attacker == nullptr || target == nullptr || attacker->Basic == nullptr || target->Basic == nullptr)
        return false;
    const bool L = HasLongWeapon(attacker);
    const bool C = HasCloseWeapon(attacker);
    const std::int8_t mode = attacker->Stance;
    bool closeOk = mode != 1 && !Sheltered(target);
    bool longOk = mode != 2;
    bool turretOk = (mode == -1 || mode == 3) && HasTurret(attacker) && !Sheltered(attacker) && attacker->Ammo >= 1.0f;
    const std::uint8_t targetKind = UnitKindOf(target);
    const bool forceLong = L
        && ((IsLarge(target) && target->Type != kLorryType && targetKind != UNIT_KIND_TANK) || Sheltered(target) || !C
            || Sheltered(attacker));
    if (forceLong)
        closeOk = false;
    if (IsAirUnit(target)) {
        closeOk = false;
        turretOk = false;
    }
    const std::uint8_t kind = UnitKindOf(attacker);
    if (targetKind == UNIT_KIND_TANK && kind != UNIT_KIND_TANK && kind != kKindArtillery) {
        closeOk = false;
        longOk = false;
        if (!turretOk)
            return false;
    }
    if (turretOk && distance > kTurretMin && distance < kTurretMax && (IsLarge(target) || ShotLineFree(attacker, target))) {
        EnterPointFireWork(attacker, target->X, target->Y);
        SetOrientToPoint(attacker, target->X, target->Y);
        attacker->Halted = 1;
        attacker->VX = attacker->VY = 0.0f;
        return true;
    }
    const float range = attacker->Player < UNIT_PLAYERS ? static_cast<float>(attacker->Basic->Range[attacker->Player]) : 0.0f;
    if (closeOk && C && !Sheltered(attacker)) {
        if (distance <= kCloseFireReach) {
            SetOrientToPoint(attacker, target->X, target->Y);
            EnterFireWork(attacker);
            return true;
        }
        if (distance < range / 4.0f)
            return false;
        if (kind == UNIT_KIND_MACHINE_GUNNER && !NoFriendNearUnit(attacker->Player, target))
            return false;
    }
    if (longOk && L && distance < range) {
        const bool friendNear = !NoFriendNearUnit(attacker->Player, target);
        if (friendNear && !IsAirUnit(target) && C && !Sheltered(attacker))
            return false;
        // The shot itself is the firing code's: the attacker aims at its target.
        EnterAimWork(attacker);
        return true;
    }
    return false;
}

// Taking a target adds points to it, but the many ways of dropping a target take none away: left
// alone the points would only grow, and after a few changes of target every unit would count as
// crowded and refuse all new attackers. So they are counted again from who aims at whom.
void RecountAttackPoints()
{
    for (TStrateg* p : g_Strateg)
        if (p != nullptr)
            for (TUnit* u = p->FirstUnit; u != nullptr; u = u->m_pNext)
                u->AttackPoints = 0;
    for (TStrateg* p : g_Strateg)
        if (p != nullptr)
            for (TUnit* u = p->FirstUnit; u != nullptr; u = u->m_pNext) {
                TUnit* t = u->AttackUnit;
                if (u->Dead == 0 && t != nullptr && t->Dead == 0)
                    t->AttackPoints =
                        static_cast<std::uint8_t>(std::min<int>(t->AttackPoints + kAttackPointsStep, kAttackPointsMax));
            }
}

std::int32_t OrderAttackUnit(TUnit* attacker, TUnit* target, std::uint8_t mode)
{
    if (attacker == nullptr || target == nullptr || attacker->Basic == nullptr || target->Basic == nullptr)
        return ATTACK_REFUSED;
    const std::uint8_t kind = UnitKindOf(attacker);
    const bool L = HasLongWeapon(attacker);
    if ((kind == UNIT_KIND_TANK && !L) || attacker->Type == kCarrierType
        || IsOneOfCodes(attacker->Work, {WORK_UNIT_TRANSPORTED, UNIT_WORK_LEAVE_HOUSE, WORK_ENTER_HOUSE, WORK_SHIP_IN_YARD,
                                    UNIT_WORK_AIR_START, WORK_AIR_TO_AIRFIELD, WORK_AIR_APPROACH, WORK_AIR_LANDING,
                                    WORK_REMOVED})
        || attacker->m_FirstCountdown != 0 || attacker->m_bMaySearch == 0 || attacker->m_bHold != 0
        || target->Dead != 0 || (InsideHouse(target) && !L)
        || (target->AttackPoints > kAttackPointsCrowded && !InsideHouse(attacker) && attacker->AttackUnit != target))
        return ATTACK_REFUSED;
    Alert(attacker, target);
    const float d = PixelDistance(attacker->X, attacker->Y, target->X, target->Y);
    if (IsShipTypeUnit(attacker)) {
        if (IsAirUnit(target))
            return ATTACK_REFUSED;
        GoToPoint(attacker, target->X, target->Y, 1);
        TakeTarget(attacker, target);
        return ATTACK_TAKEN;
    }
    if (mode != 0 && attacker->HasSavedOrder == 0) {
        attacker->SavedGoalX = attacker->GoalX;
        attacker->SavedGoalY = attacker->GoalY;
        attacker->SavedWork = static_cast<std::int8_t>(attacker->Work);
        attacker->SavedWorkObject = attacker->WorkObject;
        attacker->HasSavedOrder = 1;
    }
    if (kind == kKindArtillery && attacker->m_pGroup != nullptr && !InsideHouse(attacker)) {
        TakeTarget(attacker, target);
        attacker->Work = WORK_ATTACK_UNIT;
        CanAttack(attacker, target, d);
        return ATTACK_TAKEN;
    }
    if (IsAirUnit(attacker)) {
        TakeTarget(attacker, target);
        attacker->StepX = target->X;
        attacker->StepY = target->Y;
        attacker->NumWork = 0;
        attacker->Halted = 0;
        return ATTACK_TAKEN;
    }
    if (InsideHouse(attacker) && attacker->House != nullptr)
        GetUnitOutOfHouse(attacker->House, attacker);
    TakeTarget(attacker, target);
    if (!CanAttack(attacker, target, d)) {
        SetApproachPointToUnit(attacker, target);
        GoToPoint(attacker, attacker->StepX, attacker->StepY, 1);
    }
    return ATTACK_TAKEN;
}
