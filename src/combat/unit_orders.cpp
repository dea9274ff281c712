#include "combat/unit_orders.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "combat/battle_services.h"
#include "combat/house_events.h"
#include "combat/ships.h"
#include "combat/target_search.h"
#include "combat/unit_events.h"
#include "combat/unit_queries.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/trenches.h"
#include "movement/directions.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_types.h"

std::uint8_t g_PointFireDevice[8] = {};

namespace {

constexpr std::uint8_t kAlertValue = 30;
constexpr std::uint16_t kAirfieldType = 20;
constexpr std::uint16_t kCarrierType = 24;
constexpr std::uint16_t kSearchDelayAfterOrder = 60;
constexpr float kStanceReach = 400.0f;
constexpr float kTankPointFireMin = 250.0f;
constexpr float kRadiansToDegrees = 57.295776f;
constexpr float kLandingOffsetScale = 4.0f;
constexpr float kApproachDistance = 25.0f;
constexpr std::uint8_t ANIM_AIM_CODE = 6;
constexpr std::uint8_t kKindArtillery = 10;
constexpr std::uint8_t kKindDefaultA = 5;
constexpr std::uint8_t kKindDefaultB = 8;
constexpr std::uint8_t kKindCloseCombat = UNIT_KIND_WORKER;
constexpr std::uint8_t kKindPlainGround = 2;
constexpr std::uint8_t kKindDestroyer = 14;
constexpr std::uint8_t kKindCruiser = 15;
constexpr std::uint8_t kKindTransportShip = 13;

// The type flags the orders read: the first parameter flag lets a type enter buildings and map
// objects, the second lets it attack buildings; an ammunition type needs a charge above 1.0 to.
bool MayEnterObjects(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->m_ParamFlags[0] != 0;
}
bool MayAttackBuildings(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->m_ParamFlags[1] != 0 && (u->Basic->MaxAmmo == 0 || u->Ammo > 1.0f);
}
float UnitRange(const TUnit* u)
{
    return u->Basic != nullptr && u->Player < UNIT_PLAYERS ? static_cast<float>(u->Basic->Range[u->Player]) : 0.0f;
}
void RaiseSearchDelay(TUnit* u)
{
    u->m_SearchDelay = std::max(u->m_SearchDelay, kSearchDelayAfterOrder);
}


// The pixel point of a map cell; a cell off the map is logged and gives (0, 0).
TFloatPoint CellPoint(const plat::Point& cell)
{
    if (!CellPointInMap(cell)) {
        ReportError("GetCoordsUseTile");
        return {};
    }
    TFloatPoint p;
    CellCentrePixel(cell, p.x, p.y);
    return p;
}

// Offsets of a candidate point from its cell's corner by the side of the ring it lies on.
struct TSideOffsets {
    TFloatPoint firstColumnFirstRow, firstColumn, lastColumnFirstRow, lastColumnLastRow, lastColumn, lastRow, firstRow;
};
constexpr TSideOffsets kVisitOffsets{{48, -20}, {74, 0}, {5, 0}, {48, 20}, {5, 0}, {48, 19}, {4, 0}};
constexpr TSideOffsets kAttackOffsets{{48, -25}, {84, 0}, {1, 0}, {-2, 23}, {0, -10}, {48, 19}, {1, 0}};
// The house-clearing walk keeps its own last-column offset on the last row.
constexpr TSideOffsets kClearOffsets{{48, -20}, {74, 0}, {5, 0}, {48, 19}, {5, 0}, {48, 19}, {4, 0}};

// The cell of ring position (i, j): j steps north-east (rows of the footprint), i steps north-west
// (cells of a row), negative steps the other way.
plat::Point RingCell(const plat::Point& reference, int i, int j)
{
    plat::Point p = reference;
    for (int k = 0; k < std::abs(j); ++k)
        p = GetNeighbourPoint(p, j > 0 ? 1 : 3);
    for (int k = 0; k < std::abs(i); ++k)
        p = GetNeighbourPoint(p, i > 0 ? 4 : 2);
    return p;
}

bool InsidePlayableBorder(const plat::Point& c)
{
    return c.x > 3 && c.x < g_MapWidth - 3 && c.y > 9 && c.y < g_MapHeight - 9;
}

struct TCandidate {
    plat::Point cell;
    TFloatPoint point;
    float distance = 0.0f;
};

// The free places on the ring one cell outside a footprint of rows x cells at reference, in walk
// order; ownCode marks the building's own cells (0: none).
std::vector<TCandidate> RingCandidates(const plat::Point& reference, int rows, int cells, std::uint16_t ownCode,
                                       const TSideOffsets& off)
{
    std::vector<TCandidate> out;
    for (int j = -1; j <= rows; ++j)
        for (int i = -1; i <= cells; ++i) {
            const bool firstCol = i == -1;
            const bool lastCol = i == cells;
            const bool firstRow = j == -1;
            const bool lastRow = j == rows;
            if (!firstCol && !lastCol && !firstRow && !lastRow)
                continue;
            const plat::Point c = RingCell(reference, i, j);
            if (!InsidePlayableBorder(c) || !IsLandCellFree(static_cast<std::uint32_t>(CellIndex(c.x, c.y)))
                || (ownCode != 0 && g_pObjectMap[CellIndex(c.x, c.y)] == ownCode))
                continue;
            TFloatPoint shift;
            if (firstCol)
                shift = firstRow ? off.firstColumnFirstRow : off.firstColumn;
            else if (lastCol)
                shift = firstRow ? off.lastColumnFirstRow : lastRow ? off.lastColumnLastRow : off.lastColumn;
            else if (lastRow)
                shift = off.lastRow;
            else
                shift = off.firstRow;
            const plat::Point corner = TileToPixel(c);
            out.push_back({c, {static_cast<float>(corner.x) + shift.x, static_cast<float>(corner.y) + shift.y}, 0.0f});
        }
    return out;
}

// Orders the candidates by distance from the unit far enough to settle the slot-th place; false
// when there are not more candidates than the slot number.
bool SettleSlot(std::vector<TCandidate>& c, const TUnit* from, std::uint16_t slot)
{
    if (c.size() <= slot)
        return false;
    for (TCandidate& x : c)
        x.distance = from != nullptr ? PixelDistance(from->X, from->Y, x.point.x, x.point.y) : 0.0f;
    // Selection by the smallest remaining; the first in walk order wins ties.
    for (std::size_t k = 0; k <= slot; ++k) {
        std::size_t best = k;
        for (std::size_t m = k + 1; m < c.size(); ++m)
            if (c[m].distance < c[best].distance)
                best = m;
        if (best != k) {
            const TCandidate chosen = c[best];
            c.erase(c.begin() + static_cast<std::ptrdiff_t>(best));
            c.insert(c.begin() + static_cast<std::ptrdiff_t>(k), chosen);
        }
    }
    return true;
}

void ShipStopHere(TUnit* ship)
{
    DropPath(ship);
    ship->StepX = ship->GoalX = ship->X;
    ship->StepY = ship->GoalY = ship->Y;
    ship->VX = ship->VY = 0.0f;
    ShipStop(ship);
}

void AirOrShipGoal(TUnit* u, float x, float y)
{
    u->StepX = u->GoalX = x;
    u->StepY = u->GoalY = y;
    u->NumWork = 0;
    u->Halted = 0;
    u->Upright = 1;
}

void AlertAround(TUnit* u, const TFloatPoint& centre)
{
    TStrateg* owner = u->Player < 8 ? g_Strateg[u->Player] : nullptr;
    if (owner == nullptr)
        return;
    owner->MarkGrid(u->X, u->Y, kAlertValue);
    owner->MarkGrid(centre.x, centre.y, kAlertValue);
}

} // namespace

TFloatPoint HouseCentre(const THouse* h)
{
    const int rows = h->TypeRecord != nullptr ? h->TypeRecord->m_FootprintRows : 1;
    const int cells = h->TypeRecord != nullptr ? h->TypeRecord->m_FootprintCells : 1;
    const std::vector<plat::Point> fp = FootprintCells({h->X, h->Y}, std::max(rows, 1), std::max(cells, 1));
    TFloatPoint c;
    for (const plat::Point& p : fp) {
        float x = 0.0f;
        float y = 0.0f;
        CellCentrePixel(p, x, y);
        c.x += x;
        c.y += y;
    }
    c.x /= static_cast<float>(fp.size());
    c.y /= static_cast<float>(fp.size());
    return c;
}

std::int32_t Sign(std::int32_t v)
{
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

void GoToPoint(TUnit* unit, float x, float y, std::uint8_t flag)
{
    if (unit == nullptr || unit->Basic == nullptr)
        return;
    if (!IsAirUnit(unit) && !IsShipTypeUnit(unit)) {
        if (IsOneOfCodes(unit->Work, {WORK_UNIT_TRANSPORTED, UNIT_WORK_LEAVE_HOUSE, STAY_IN_HOUSE}))
            return;
        unit->Work = UNIT_NO_WORK;
        AddBasicPath(unit, x, y, flag != 0);
        unit->m_OrderFlagA = 0;
        unit->m_OrderFlagB = 0;
        return;
    }
    if (IsOneOfCodes(unit->Work, {WORK_SHIP_IN_YARD, UNIT_WORK_AIR_START, WORK_AIR_TO_AIRFIELD, WORK_AIR_APPROACH,
                             WORK_AIR_LANDING, WORK_REMOVED})
        || unit->m_bHold != 0)
        return;
    AirOrShipGoal(unit, x, y);
    if (IsShipTypeUnit(unit)) {
        FreePixelCoordForShip(unit);
        if (PixelDistance(unit->X, unit->Y, unit->GoalX, unit->GoalY) < 1.0f)
            ShipStop(unit);
        else
            StepTowardTarget(unit);
        return;
    }
    unit->Work = UNIT_NO_WORK;
}

void SendUnitToMapPoint(TUnit* unit, float x, float y, std::uint8_t work, std::uint16_t objectCode)
{
    if (unit == nullptr || unit->Basic == nullptr)
        return;
    unit->Work = UNIT_NO_WORK;
    if (unit->m_bHold != 0)
        return;
    if (!IsAirUnit(unit) && !IsShipTypeUnit(unit)) {
        const plat::Point cell = PixelToFlatCell(x, y);
        if (InsidePlayableBorder(cell)) {
            const std::uint16_t code = GetObjectFromMap(cell);
            if (code >= kObjectPlayerHouseFirst && code <= kObjectPlayerHouseLast) {
                if (HouseCodePlayer(code) == unit->Player) {
                    GoToObject(unit, unit, static_cast<std::uint16_t>(HouseCodeIndex(code)), 0);
                    return;
                }
                // Only an enemy's building is attacked; an ally's is walked to.
                THouse* h = HouseFromObjectCode(code);
                if (h != nullptr && IsEnemy(unit->Player, h->Owner)) {
                    AttackHouse(unit, unit, h, 0, 1);
                    return;
                }
            } else if (code >= kObjectAnimatedFirst && code <= kObjectAnimatedLast) {
                EventSendToMisc(unit, x, y, code);
                return;
            }
        }
        unit->Work = work;
        unit->WorkObject = objectCode;
        AddBasicPath(unit, x, y, true);
        unit->m_OrderFlagA = 0;
        unit->m_OrderFlagB = 0;
        return;
    }
    AirOrShipGoal(unit, x, y);
    unit->Work = work;
    unit->WorkObject = objectCode;
    if (!IsShipTypeUnit(unit))
        return;
    if (!ShipGoalIsFreeWater(unit)) {
        FreePixelCoordForShip(unit);
        if (PixelDistance(unit->X, unit->Y, unit->GoalX, unit->GoalY) < 1.0f) {
            ShipStop(unit);
            return;
        }
    } else {
        unit->GoalX = unit->StepX;
        unit->GoalY = unit->StepY;
    }
    if (FreeShipPointToward(unit)) {
        SetVelocityToWaypoint(unit);
        ShipSetUnderway(unit);
    } else {
        ShipStopHere(unit);
    }
}

void GoToObject(TUnit* unit, TUnit* from, std::uint16_t code, std::uint16_t slot)
{
    if (unit == nullptr || unit->Basic == nullptr || unit->m_bHold != 0)
        return;
    const bool mapObject = code > 1000;
    THouse* house = nullptr;
    const TTrenchEntry* object = nullptr;
    plat::Point reference;
    int rows = 1;
    int cells = 1;
    if (mapObject) {
        if (code < kObjectTrenchListFirst || code > kObjectTrenchListLast)
            return;
        object = g_TrenchList.Entry(static_cast<std::uint16_t>(code - kObjectTrenchListFirst));
        if (object == nullptr)
            return;
        reference = {object->x, object->y};
    } else {
        if (unit->Player >= 8 || code >= NumHouse[unit->Player])
            return;
        house = HouseAt(g_pHouse[unit->Player], code);
        if (house == nullptr || house->TypeRecord == nullptr)
            return;
        reference = {house->X, house->Y};
        rows = house->TypeRecord->m_FootprintRows;
        cells = house->TypeRecord->m_FootprintCells;
    }
    unit->StopAtEnd = 0;
    std::uint8_t kind = UnitKindOf(unit);
    if (IsAirUnit(unit) && house != nullptr && house->HouseType == kAirfieldType)
        return;
    if (!MayEnterObjects(unit) && kind != UNIT_KIND_WORKER) {
        EventUnitEndMove(unit);
        return;
    }
    if (unit->Work == WORK_UNIT_TRANSPORTED || unit->Work == UNIT_WORK_LEAVE_HOUSE)
        return;
    ClearUnitTargets(unit);
    const std::uint16_t ownCode = house != nullptr ? PlayerHouseCode(unit->Player, code) : 0;
    const std::uint16_t storedCode = house != nullptr ? ownCode : code;
    if (kind == UNIT_KIND_WORKER
        && ((object != nullptr && object->countdown < 0.0f)
            || (house != nullptr && house->IsFinished() && house->HitPoints >= house->MaxHitPoints)))
        kind = kKindPlainGround;

    if (kind == UNIT_KIND_FIGHTER || kind == UNIT_KIND_AIRCRAFT || kind == UNIT_KIND_BOMBER) {
        if (object != nullptr) {
            const TFloatPoint p = CellPoint(reference);
            GoToPoint(unit, p.x, p.y, 1);
        } else if (house->HouseType == kAirfieldType && house->IsFinished() && house->Destroyed == 0) {
            unit->Work = WORK_AIR_TO_AIRFIELD;
            unit->WorkObject = storedCode;
            unit->Halted = 0;
            unit->House = house;
            const float turn = unit->Basic->TurnStep * kRadiansToDegrees;
            const float shift = turn != 0.0f ? static_cast<float>(unit->Basic->RunwayLength) * kLandingOffsetScale / turn : 0.0f;
            unit->StepX = house->ExitX + shift;
            unit->StepY = house->ExitY + shift;
        } else {
            const TFloatPoint c = HouseCentre(house);
            GoToPoint(unit, c.x, c.y, 1);
        }
        return;
    }
    if (kind == UNIT_KIND_WORKER) {
        std::vector<TCandidate> c = RingCandidates(reference, rows, cells, ownCode, kVisitOffsets);
        if (!SettleSlot(c, from, slot)) {
            EventUnitEndMove(unit);
            return;
        }
        unit->Work = WORK_GO_TO_OBJECT;
        unit->WorkObject = storedCode;
        unit->House = house;
        unit->m_OrderFlagA = 0;
        TFloatPoint goal = c[slot].point;
        if (object != nullptr) {
            const plat::Point corner = TileToPixel(c[slot].cell);
            const std::uint16_t r = RandomDraw();
            const std::uint16_t r2 = RandomDraw();
            goal = {static_cast<float>(corner.x + r % 30 + 33), static_cast<float>(corner.y + r2 % 30 - 15)};
        }
        AddBasicPath(unit, goal.x, goal.y, false);
        return;
    }
    TFloatPoint goal;
    if (object != nullptr) {
        goal = CellPoint(reference);
        unit->Work = UNIT_NO_WORK;
    } else {
        goal = {house->ExitX, house->ExitY};
        unit->Work = house->IsFinished() && house->Destroyed == 0 ? WORK_ENTER_HOUSE : UNIT_NO_WORK;
    }
    unit->m_OrderFlagA = 0;
    unit->WorkObject = storedCode;
    unit->House = house;
    AddBasicPath(unit, goal.x, goal.y, false);
}

std::vector<TFloatPoint> GetFreePointsAroundHouse(const THouse* house)
{
    std::vector<TFloatPoint> out;
    if (house == nullptr || house->TypeRecord == nullptr || g_pObjectMap == nullptr)
        return out;
    const std::uint16_t ownCode = house->Owner < 8 ? PlayerHouseCode(house->Owner, house->Index)
                                                   : static_cast<std::uint16_t>(kObjectNeutralHouseFirst + house->Index);
    for (const TCandidate& c : RingCandidates({house->X, house->Y}, house->TypeRecord->m_FootprintRows,
                                              house->TypeRecord->m_FootprintCells, ownCode, kClearOffsets))
        out.push_back(c.point);
    return out;
}

void AttackHouse(TUnit* unit, TUnit* from, THouse* target, std::uint16_t slot, std::uint8_t keepOrder)
{
    if (unit == nullptr || unit->Basic == nullptr || target == nullptr)
        return;
    std::uint8_t kind = UnitKindOf(unit);
    if ((kind == UNIT_KIND_TANK && !HasAnimation(unit, ANIM_AIM_CODE)) || unit->m_bHold != 0)
        return;
    unit->m_Flag156 = 0;
    const TFloatPoint centre = HouseCentre(target);
    AlertAround(unit, centre);
    if (unit->Type == kCarrierType)
        return;
    unit->StopAtEnd = 0;
    if (unit->Work == UNIT_WORK_LEAVE_HOUSE || unit->Work == WORK_ENTER_HOUSE || !MayAttackBuildings(unit))
        return;
    ClearUnitTargets(unit);
    if (unit->Work == STAY_IN_HOUSE || unit->Work == WORK_UNIT_TRANSPORTED)
        return;
    const float dist = PixelDistance(unit->X, unit->Y, centre.x, centre.y);
    if (unit->Stance == 4) {
        if ((kind == kKindArtillery || kind == UNIT_KIND_TANK) ? dist >= UnitRange(unit) - 50.0f : dist > kStanceReach)
            return;
    }
    unit->PlayerHouseAttack = target->Owner;
    unit->HouseAttack = target;
    unit->m_bMaySearch = 1;
    if (IsAirUnit(unit)) {
        if (unit->Work == STAY_IN_HOUSE && unit->House != nullptr) {
            THouse* home = unit->House;
            GetUnitOutOfHouse(home, unit);
            LeaveHouse(unit, home);
            if (MyStrateg != nullptr && MyStrateg->SelectedHouse == home && BattleServices().refreshPanel)
                BattleServices().refreshPanel();
        }
        if (IsOneOfCodes(unit->Work, {UNIT_WORK_AIR_START, WORK_AIR_TO_AIRFIELD, WORK_AIR_APPROACH, WORK_AIR_LANDING}))
            return;
    }
    if (keepOrder != 0 && unit->HasSavedOrder == 0) {
        unit->SavedGoalX = unit->GoalX;
        unit->SavedGoalY = unit->GoalY;
        unit->SavedWorkObject = unit->WorkObject;
        unit->SavedWork = static_cast<std::int8_t>(unit->Work);
        unit->HasSavedOrder = 1;
    }
    if (!IsAirUnit(unit) && !IsShipTypeUnit(unit)
        && !IsOneOfCodes(kind, {UNIT_KIND_TANK, kKindDefaultA, kKindDefaultB, kKindArtillery}))
        kind = kKindCloseCombat;
    switch (kind) {
    case UNIT_KIND_FIGHTER:
    case UNIT_KIND_AIRCRAFT:
        unit->StepX = centre.x;
        unit->StepY = centre.y;
        unit->Halted = 0;
        unit->HouseAttack = nullptr;
        unit->PlayerHouseAttack = UNIT_NO_PLAYER;
        return;
    case kKindCloseCombat: {
        const std::uint16_t ownCode = target->Owner < 8 ? PlayerHouseCode(target->Owner, target->Index) : 0;
        std::vector<TCandidate> c = RingCandidates({target->X, target->Y}, target->TypeRecord->m_FootprintRows,
                                                   target->TypeRecord->m_FootprintCells, ownCode, kAttackOffsets);
        if (!SettleSlot(c, from, slot))
            return;
        unit->Work = UNIT_NO_WORK;
        unit->m_OrderFlagA = 0;
        AddBasicPath(unit, c[slot].point.x, c[slot].point.y, false);
        RaiseSearchDelay(unit);
        return;
    }
    case UNIT_KIND_BOMBER:
        unit->StepX = centre.x;
        unit->StepY = centre.y;
        if (unit->Work != STAY_IN_HOUSE)
            unit->Work = UNIT_NO_WORK;
        return;
    case kKindTransportShip:
        ClearUnitTargets(unit);
        return;
    case kKindDestroyer:
    case kKindCruiser:
        unit->Work = UNIT_NO_WORK;
        unit->GoalX = centre.x;
        unit->GoalY = centre.y;
        GoToPoint(unit, centre.x, centre.y, 1);
        return;
    default:
        break;
    }
    if (kind == kKindArtillery && dist < UnitRange(unit) - 100.0f) {
        EnterAimWork(unit);
        SetOrientToPoint(unit, centre.x, centre.y);
        return;
    }
    if (unit->TowerCount > 0 && UnitRange(unit) >= dist) {
        HaltUnit(unit);
        EnterAimWork(unit);
        SetOrientToPoint(unit, centre.x, centre.y);
        return;
    }
    if (unit->Work == STAY_IN_HOUSE)
        return;
    unit->Work = UNIT_NO_WORK;
    unit->m_OrderFlagA = 0;
    AddBasicPath(unit, target->ExitX, target->ExitY, true);
    RaiseSearchDelay(unit);
}

void UnitOrderAtPoint(TUnit* unit, float x, float y, std::uint8_t flag)
{
    if (unit == nullptr || unit->Basic == nullptr)
        return;
    unit->m_Flag156 = 0;
    if (unit->m_bHold != 0)
        return;
    const std::uint8_t kind = UnitKindOf(unit);
    if (flag != 0 && kind == kKindArtillery && unit->Player < 8 && g_PointFireDevice[unit->Player] != 0)
        unit->m_Flag156 = 1;
    if (kind == UNIT_KIND_TANK && PixelDistance(unit->X, unit->Y, x, y) < kTankPointFireMin)
        return;
    unit->Work = WORK_FIRE_AT_POINT;
    unit->m_OrderFlagB = 0;
    unit->WorkObject = UNIT_NO_OBJECT;
    ClearUnitTargets(unit);
    unit->TargetX = x;
    unit->TargetY = y;
    unit->m_AttackIndex = -1;
    if (IsAirUnit(unit)) {
        unit->StepX = x;
        unit->StepY = y;
        unit->Halted = 0;
        unit->NumWork = 0;
        return;
    }
    if (HasAnimation(unit, ANIM_AIM_CODE)) {
        unit->m_OrderFlagA = 0;
        if (PixelDistance(unit->X, unit->Y, x, y) <= UnitRange(unit)) {
            HaltUnit(unit);
            EnterAimWork(unit);
            SetOrientToPoint(unit, x, y);
        } else {
            AddBasicPath(unit, x, y, true);
        }
        return;
    }
    if (unit->TowerCount > 0)
        return;
    unit->Work = UNIT_NO_WORK;
    HaltUnit(unit);
    if (unit->Work != WORK_UNIT_TRANSPORTED && unit->Work != STAY_IN_HOUSE && unit->HasSavedOrder != 0)
        StopUnit(unit, 1);
    if (!UnitSearchTarget(unit)) {
        ClearUnitTargets(unit);
        StopUnit(unit, 1);
    }
}

void ForSelectedUnits(std::uint8_t player, float x, float y, std::uint8_t flag)
{
    if (player >= 8 || g_Strateg[player] == nullptr)
        return;
    for (TUnit* u = g_Strateg[player]->FirstUnit; u != nullptr; u = u->m_pNext)
        if (u->Selected != 0 && u->Dead == 0)
            UnitOrderAtPoint(u, x, y, flag);
}

void SetApproachPointToUnit(TUnit* unit, const TUnit* target)
{
    if (unit == nullptr || target == nullptr)
        return;
    const float dx = target->X - unit->X;
    const float dy = target->Y - unit->Y;
    float ax = 0.0f;
    float ay = 0.0f;
    if (std::fabs(dx) >= 1.0f) {
        const float k = dy / dx;
        const float s = kApproachDistance / std::sqrt(k * k + 1.0f);
        ax = static_cast<float>(static_cast<std::int32_t>(dx > 0.0f ? dx - s : dx + s));
        ay = ax * k;
    } else {
        ay = dy > 0.0f ? dy - kApproachDistance : dy + kApproachDistance;
    }
    unit->StepX = unit->X + ax;
    unit->StepY = unit->Y + ay;
    if (target->Basic == nullptr || target->Basic->ClosePath == 0 || (ax == 0.0f && ay == 0.0f))
        return;
    // Past the cells the target closes, a bounded number of pushes.
    for (int push = 0; push < kApproachPushLimit; ++push) {
        const plat::Point c = PixelToFlatCell(unit->StepX, unit->StepY);
        if (c.x < PASS_BORDER_LEFT || c.x > g_MapWidth - PASS_BORDER_LEFT || c.y < PASS_BORDER_TOP
            || c.y > g_MapHeight - PASS_BORDER_TOP
            || IsCellUsableByUnit(unit, static_cast<std::uint32_t>(CellIndex(c.x, c.y))))
            return;
        unit->StepX += ax;
        unit->StepY += ay;
    }
}
