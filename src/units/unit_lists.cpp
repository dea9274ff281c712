#include "units/unit_lists.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "combat/house_events.h"
#include "combat/timed_effects.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_events.h"
#include "core/error_log.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/ship_grid.h"
#include "map/site_queries.h"
#include "map/water.h"
#include "movement/directions.h"
#include "movement/house_moves.h"
#include "movement/passability.h"
#include "players/house_orders.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "ui/panel.h"
#include "units/house.h"
#include "units/unit.h"

std::uint16_t NumUnits[UNIT_PLAYERS] = {};
std::uint16_t g_UnitTypeCount[UNIT_PLAYERS][UNIT_TYPES_PER_NATION] = {};
TUnit* g_NeutralUnitList = nullptr;
std::uint16_t g_NeutralUnitCount = 0;
std::vector<TUnit*> g_ShipUnits;
std::vector<TCellPair> g_AdvancedPathReleaseQueue;
std::vector<TCellPair> g_AdvancedPathUnpathQueue;

namespace {

// An aircraft starts its life in the air, on this course: slightly off the diagonal, so that its
// first turn is not skipped.
constexpr float kAirStartHeading = 0.7953982f;
constexpr float kAirStartReach = 100.0f;
constexpr float kAirTrail = 0.05f;
constexpr std::uint8_t kAirStartOrient = 5;
constexpr std::uint8_t kAirStartAnimation = 14;

const char kMsgOffMap[] = "Юнит(не самолет) вышел за пределы карты. Тревога!!!";

bool IsLargeUnit(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->ClosePath != 0;
}

bool IsShip(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->IsShipUnit();
}

bool IsAir(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->m_bAir != 0;
}

TShipGrid* WaterShipGrid()
{
    return g_pWater != nullptr ? g_pWater->m_pShipGrid.get() : nullptr;
}

// Units are kept only inside this band; the two outer bands of columns and rows are the map's
// frame, which no ground unit may stand on.
bool IsInnerCell(std::int32_t x, std::int32_t y)
{
    return x >= 3 && y >= 8 && x <= g_MapWidth - 3 && y <= g_MapHeight - 8;
}

TUnit** CellList(std::int32_t x, std::int32_t y)
{
    if (g_pUnitsMap == nullptr || !CellPointInMap({x, y}))
        return nullptr;
    return g_pUnitsMap[CellIndex(x, y)];
}

void EnterCellList(std::int32_t x, std::int32_t y, TUnit* u)
{
    if (g_pUnitsMap == nullptr || !CellPointInMap({x, y}))
        return;
    // A full cell leaves the unit out of every list until it moves on.
    AddUnitToCell(static_cast<std::uint32_t>(CellIndex(x, y)), u);
}

// The nine cells of a large unit's block: the cell, east and west, two rows up and down, and the
// four diagonal neighbours.
void ForEachBlockCell(std::int32_t x, std::int32_t y, void (*apply)(std::int32_t, std::int32_t))
{
    const plat::Point c{x, y};
    const plat::Point cells[] = {
        c,
        {x + 1, y},
        {x - 1, y},
        {x, y - 2},
        {x, y + 2},
        GetNeighbourPoint(c, 4),
        GetNeighbourPoint(c, 1),
        GetNeighbourPoint(c, 2),
        GetNeighbourPoint(c, 3),
    };
    for (const plat::Point& p : cells)
        apply(p.x, p.y);
}

bool InBlockRange(std::int32_t x, std::int32_t y)
{
    return x >= 2 && y >= 3 && x <= g_MapWidth - 3 && y <= g_MapHeight - 4;
}

void DropTargets(TUnit* u)
{
    u->PlayerAttack = UNIT_NO_PLAYER;
    u->AttackUnit = nullptr;
    u->PlayerHouseAttack = UNIT_NO_PLAYER;
    u->HouseAttack = nullptr;
}

// Puts a ground unit that left the inner area back on the nearest inner cell and stops it.
void ReturnToInnerArea(std::int32_t x, std::int32_t y, TUnit* u)
{
    ReportError(kMsgOffMap);
    const std::int32_t cx = std::max<std::int32_t>(4, std::min<std::int32_t>(x, g_MapWidth - 4));
    const std::int32_t cy = std::max<std::int32_t>(10, std::min<std::int32_t>(y, g_MapHeight - 10));
    DropTargets(u);
    const float px = static_cast<float>((2 * cx - ((cy & 1) == 0 ? 1 : 0)) * 48 + 48);
    const float py = static_cast<float>(24 * cy);
    u->X = px;
    u->Y = py;
    u->GoalX = px;
    u->GoalY = py;
    u->StepX = px;
    u->StepY = py;
    u->MapX = static_cast<std::uint16_t>(cx);
    u->MapY = static_cast<std::uint16_t>(cy);
    // A map too small to have an inner area keeps no unit lists at all.
    if (IsInnerCell(cx, cy))
        MoveUnitToCell(cx, cy, u);
    UnitServices().stopUnit(u, 0);
}

void LinkAtHead(TUnit*& head, TUnit* u)
{
    u->Prev = nullptr;
    u->m_pNext = head;
    if (head != nullptr)
        head->Prev = u;
    head = u;
}

// Unlinks a unit from the list with this head. A unit whose Prev is missing is found by walking
// from the head, so a broken back link never leaves a freed unit in the list.
void Unlink(TUnit*& head, TUnit* u)
{
    TUnit* next = u->m_pNext;
    if (head == u) {
        head = next;
        if (next != nullptr)
            next->Prev = nullptr;
        return;
    }
    TUnit* prev = u->Prev;
    if (prev == nullptr) {
        ReportError("DeleteUnit u->Prev==NULL");
        for (TUnit* p = head; p != nullptr; p = p->m_pNext)
            if (p->m_pNext == u) {
                prev = p;
                break;
            }
        if (prev == nullptr)
            return;
    }
    prev->m_pNext = next;
    if (next != nullptr)
        next->Prev = prev;
}

std::uint8_t NationOf(const TUnit* u)
{
    if (u->Player < UNIT_PLAYERS && g_Strateg[u->Player] != nullptr && g_Strateg[u->Player]->Nation < UNIT_NATIONS)
        return g_Strateg[u->Player]->Nation;
    return UNIT_NEUTRAL_NATION;
}

void ClearReferencesOfList(TUnit* head, TUnit* gone)
{
    TUnitServices& s = UnitServices();
    for (TUnit* un = head; un != nullptr; un = un->m_pNext) {
        if (un == gone)
            continue;
        if (un->AttackUnit == gone) {
            DropTargets(un);
            s.cancelOrderAndStop(un);
        }
        if (un->m_MyFutureTransporter == gone || un->m_MyTransporter == gone) {
            ReportError("DeleteUnit if (un->m_MyFutureTransporter==u || un->m_MyTransporter==u)");
            un->m_MyFutureTransporter = nullptr;
            un->m_MyTransporter = nullptr;
            un->Work = UNIT_NO_WORK;
        }
        if (un->GunTarget == gone)
            un->GunTarget = nullptr;
        if (un->m_pContactUnit == gone)
            un->m_pContactUnit = nullptr;
        if (un->m_pOrderObject == gone)
            un->m_pOrderObject = nullptr;
    }
}

// The same for buildings of [first, end) that are about to be freed.
void ClearHouseReferencesOfList(TUnit* head, const THouse* first, const THouse* end)
{
    auto in = [first, end](const void* p) {
        return std::less_equal<const void*>()(first, p) && std::less<const void*>()(p, end);
    };
    for (TUnit* un = head; un != nullptr; un = un->m_pNext) {
        if (un->HouseAttack != nullptr && in(un->HouseAttack)) {
            un->PlayerHouseAttack = UNIT_NO_PLAYER;
            un->HouseAttack = nullptr;
            UnitServices().cancelOrderAndStop(un);
        }
        if (un->House != nullptr && in(un->House)) {
            un->House = nullptr;
            if (un->Work == STAY_IN_HOUSE)
                un->Work = UNIT_NO_WORK;
        }
        if (un->m_pOrderObject != nullptr && in(un->m_pOrderObject))
            un->m_pOrderObject = nullptr;
    }
}

void ClearReferencesOfHouses(THouse* houses, std::uint32_t count, TUnit* gone)
{
    for (std::uint32_t i = 0; i < count; ++i) {
        THouse* h = HouseAt(houses, i);
        if (h == nullptr)
            return;
        if (h->TargetUnit == gone) {
            h->TargetPlayer = UNIT_NO_PLAYER;
            h->TargetUnit = nullptr;
        }
        if (h->ShipUnderConstruction == gone)
            h->ShipUnderConstruction = nullptr;
    }
}

} // namespace

// ---- services ---------------------------------------------------------------------------------

TUnitServices TUnitServices::Default()
{
    TUnitServices s;
    s.addToTable = [](TStrateg* owner, TUnit* u) { return owner->AddUnit(u); };
    s.removeFromTable = [](TStrateg* owner, std::uint16_t index) { return owner->RemoveUnit(index); };
    s.canAffordUnit = [](std::uint8_t p, std::uint16_t t) { return CanAffordUnit(p, t); };
    s.payForUnit = [](std::uint8_t p, std::uint16_t t) { return PayForUnit(p, t); };
    s.refundUnit = [](std::uint8_t p, std::uint16_t t) { RefundUnit(p, t); };
    s.deselect = [](std::uint8_t p, TUnit* u) { ForgetUnitInSelection(p, u); };
    s.setVelocityToTarget = [](TUnit* u) { SetVelocityToTarget(u); };
    s.canStayInCell = [](TUnit* u) {
        // A map's own units are placed while it loads, before its pass maps are built from it: they
        // stand where the map's author put them, as long as that is on the map.
        if (!PassMapsBuilt())
            return u != nullptr && u->MapX < g_MapWidth && u->MapY < g_MapHeight;
        return CanUnitStayInCell(u);
    };
    s.recomputePassability = [](std::int32_t x, std::int32_t y, std::int32_t r) { RecalcPassabilityAround(x, y, r); };
    s.orientToPoint = [](float x0, float y0, float x1, float y1) { return GetOrientToPoint(x0, y0, x1, y1); };
    s.shipPassValue = [](std::int32_t x, std::int32_t y) { return GetShipPassValue(x, y); };
    s.isPointPassable = [](std::uint32_t x, std::uint32_t y, std::uint16_t t) { return IsPointPassable(x, y, t); };
    s.getObjectAt = [](TUnit* u) { GetObjectAt(u); };
    s.stopUnit = [](TUnit* u, std::uint8_t flag) { StopUnit(u, flag); };
    s.cancelOrderAndStop = [](TUnit* u) { CancelOrderAndStop(u); };
    s.getMeFromTransport = [](TUnit* u) { u->GetMeFromTransport(); };
    s.leaveHouse = [](TUnit* u) { LeaveHouse(u); };
    s.stopShipEffect = [](TUnit* u) { StopShipEffect(u); };
    s.refreshTargetGridUnits = [] { ClearTargetGridUnits(); };
    s.refreshPanel = [] { UpdateInterfacePanel(0); };
    return s;
}

TUnitServices& UnitServices()
{
    static TUnitServices services = TUnitServices::Default();
    return services;
}

// ---- entering the map -------------------------------------------------------------------------

TUnit* CreateUnit(float x, float y, std::uint16_t type, std::uint8_t nation)
{
    const plat::Point cell = PixelToFlatCell(x, y);
    auto* u = new TUnit(type, nation);
    u->X = x;
    u->Y = y;
    u->GoalX = x;
    u->GoalY = y;
    u->StepX = x;
    u->StepY = y;
    u->StartX = x;
    u->StartY = y;
    u->m_SpareX = x;
    u->m_SpareY = y;
    u->m_pSelectionNode = nullptr;
    u->MapX = static_cast<std::uint16_t>(cell.x);
    u->MapY = static_cast<std::uint16_t>(cell.y);
    if (IsShip(u)) {
        g_ShipUnits.push_back(u);
        if (TShipGrid* grid = WaterShipGrid())
            grid->AddShipToList(u);
    }
    if (IsAir(u)) {
        u->StopAtEnd = 1;
        u->SetOrient(kAirStartOrient);
        u->Heading = kAirStartHeading;
        u->GoalX = x + kAirStartReach;
        u->GoalY = y + kAirStartReach;
        u->StartX = u->X - (u->GoalX - u->X) * kAirTrail;
        u->StartY = u->Y - (u->GoalY - u->Y) * kAirTrail;
        u->Halted = 0;
        u->Work = UNIT_WORK_AIR_START;
        u->NumWork = kAirStartAnimation;
        u->NumSprite = 0.0f;
        UnitServices().setVelocityToTarget(u);
    }
    u->StartShipWaves();
    return u;
}

std::uint16_t AddUnitToPlayer(std::uint8_t player, TUnit* u)
{
    if (u == nullptr || player >= UNIT_PLAYERS || g_Strateg[player] == nullptr) {
        ReportErrorInt("AddUnitToPlayer: no such player ", player);
        return UNIT_NO_INDEX;
    }
    TStrateg* owner = g_Strateg[player];
    u->m_pOwner = owner;
    if (u->Type < UNIT_TYPES_PER_NATION)
        ++g_UnitTypeCount[player][u->Type];
    ++owner->LiveUnits;
    u->Player = player;
    if (u->Basic != nullptr)
        u->HitPoints = u->Basic->MaxHitPoints[player];
    LinkAtHead(owner->FirstUnit, u);
    const std::uint16_t index = UnitServices().addToTable(owner, u);
    if (u->Basic != nullptr)
        u->Basic->AddRef(NationOf(u));
    ++NumUnits[player];
    const plat::Point cell = PixelToFlatCell(u->X, u->Y);
    MoveUnitToCell(cell.x, cell.y, u);
    UnitServices().getObjectAt(u);
    return index;
}

std::uint16_t MoveUnitToPlayer(TUnit* u, std::uint8_t player)
{
    if (u == nullptr || player >= UNIT_PLAYERS || g_Strateg[player] == nullptr || u->Player >= UNIT_PLAYERS ||
        g_Strateg[u->Player] == nullptr || u->Player == player) {
        ReportErrorInt("MoveUnitToPlayer: no such player ", player);
        return UNIT_NO_INDEX;
    }
    const std::uint8_t old = u->Player;
    TStrateg* from = g_Strateg[old];
    // A unit inside a building or a transporter stands in no cell and stays out of the cells.
    const bool inCell = RemoveUnitFromCell(u);
    Unlink(from->FirstUnit, u);
    UnitServices().removeFromTable(from, u->m_Index);
    if (NumUnits[old] > 0)
        --NumUnits[old];
    if (u->Type < UNIT_TYPES_PER_NATION && g_UnitTypeCount[old][u->Type] > 0)
        --g_UnitTypeCount[old][u->Type];
    if (from->LiveUnits > 0)
        --from->LiveUnits;
    // The graphics reference was taken for the old owner's nation.
    if (u->Basic != nullptr)
        u->Basic->Release(NationOf(u));
    const float hitPoints = u->HitPoints;
    const std::uint16_t reload = u->Reload;
    const std::uint16_t index = AddUnitToPlayer(player, u);
    if (!inCell)
        RemoveUnitFromCell(u);
    u->HitPoints = hitPoints;
    u->Reload = reload;
    return index;
}

std::uint16_t AddNeutralUnit(TUnit* u)
{
    if (u == nullptr)
        return UNIT_NO_INDEX;
    u->Player = UNIT_NEUTRAL_PLAYER;
    u->m_pOwner = nullptr;
    const std::uint16_t index = g_NeutralUnitCount;
    u->m_Index = index;
    LinkAtHead(g_NeutralUnitList, u);
    if (u->Basic != nullptr)
        u->Basic->AddRef(UNIT_NEUTRAL_NATION);
    const plat::Point cell = PixelToFlatCell(u->X, u->Y);
    MoveUnitToCell(cell.x, cell.y, u);
    UnitServices().getObjectAt(u);
    ++g_NeutralUnitCount;
    return index;
}

std::uint16_t CreateUnitAt(float x, float y, std::uint8_t player, std::uint16_t type, std::uint8_t skip)
{
    // Type 1 is the worker carrying a load, never made on its own.
    if (type == 1)
        type = 0;
    if (player >= g_wNumPlayer || player >= UNIT_PLAYERS || g_Strateg[player] == nullptr || g_Strateg[player]->Dead != 0)
        return UNIT_NO_INDEX;
    const std::uint8_t nation = g_Strateg[player]->Nation;
    if (type >= UNIT_TYPES_PER_NATION || GetUnitType(nation, type) == nullptr)
        return UNIT_NO_INDEX;
    TUnitServices& s = UnitServices();
    if (skip == 0 && !s.isPointPassable(static_cast<std::uint32_t>(static_cast<std::int64_t>(x)),
                                        static_cast<std::uint32_t>(static_cast<std::int64_t>(y)), type))
        return UNIT_NO_INDEX;
    TUnit* u = CreateUnit(x, y, type, nation);
    if (s.canStayInCell(u))
        return AddUnitToPlayer(player, u);
    // A refused ship must not stay in the ship lists it joined at creation.
    UnregisterShip(u);
    delete u;
    return UNIT_NO_INDEX;
}

TUnit* FirstPlayerUnit(std::uint8_t player)
{
    return player < UNIT_PLAYERS && g_Strateg[player] != nullptr ? g_Strateg[player]->FirstUnit : nullptr;
}

void ForEachPlayerUnit(std::uint8_t player, const std::function<void(const TUnit&)>& visit)
{
    for (const TUnit* u = FirstPlayerUnit(player); u != nullptr; u = u->m_pNext)
        visit(*u);
}

bool CreateMapUnitFromRecord(int player, const TMapUnitRecord& record)
{
    if (player < 0 || player >= UNIT_PLAYERS)
        return false;
    const auto p = static_cast<std::uint8_t>(player);
    if (CreateUnitAt(record.x, record.y, p, record.type, 1) == UNIT_NO_INDEX)
        return false;
    // The unit just given heads its owner's list. Only units on the ground take the stored facing.
    TUnit* u = g_Strateg[p]->FirstUnit;
    if (u != nullptr && !IsAir(u) && record.orient != 0)
        u->SetOrient(static_cast<std::uint8_t>(record.orient - 1));
    return true;
}

// ---- the cell lists ---------------------------------------------------------------------------

void UpdateUnitCell(TUnit* u)
{
    if (u == nullptr)
        return;
    const plat::Point cell = PixelToFlatCell(u->X, u->Y);
    if (cell.x != u->MapX || cell.y != u->MapY)
        MoveUnitToCell(cell.x, cell.y, u);
}

void UpdateUnitCellAlt(TUnit* u)
{
    if (u == nullptr)
        return;
    const plat::Point cell = PixelToFlatCell(u->X, u->Y);
    MoveUnitToCell(cell.x, cell.y, u);
}

void MoveUnitToCell(std::int32_t x, std::int32_t y, TUnit* u)
{
    if (u == nullptr)
        return;
    if (!IsInnerCell(u->MapX, u->MapY)) {
        RemoveUnitFromCell(u);
        ReturnToInnerArea(x, y, u);
        return;
    }
    if (!IsInnerCell(x, y)) {
        RemoveUnitFromCell(u);
        // An aircraft may fly over the frame; it rejoins a list when it comes back.
        if (!IsAir(u))
            ReturnToInnerArea(x, y, u);
        return;
    }
    if (IsLargeUnit(u)) {
        FreeAdvancedPath(u->MapX, u->MapY, 0);
        SetUnpathOnAdvancedPath(x, y, 0);
    }
    RemoveUnitFromCellList(CellList(u->MapX, u->MapY), u);
    u->MapX = static_cast<std::uint16_t>(x);
    u->MapY = static_cast<std::uint16_t>(y);
    EnterCellList(x, y, u);
}

bool RemoveUnitFromCellList(TUnit** list, TUnit* u)
{
    if (list == nullptr || u == nullptr)
        return false;
    for (int i = 0; i < kCellUnitCapacity && list[i] != nullptr; ++i) {
        if (list[i] != u)
            continue;
        for (int j = i; j + 1 < kCellUnitCapacity; ++j)
            list[j] = list[j + 1];
        list[kCellUnitCapacity - 1] = nullptr;
        return true;
    }
    return false;
}

bool RemoveUnitFromCell(TUnit* u)
{
    if (u == nullptr)
        return false;
    if (IsLargeUnit(u))
        FreeAdvancedPath(u->MapX, u->MapY, 0);
    return RemoveUnitFromCellList(CellList(u->MapX, u->MapY), u);
}

namespace {

// Deferred: the cell joins the queue the unit walk settles. Now: the block's nine cells change and
// passability follows them.
void ChangeBlock(std::int32_t x, std::int32_t y, std::uint8_t now, std::vector<TCellPair>& queue, const char* name,
                 void (*apply)(std::int32_t, std::int32_t))
{
    if (now == 0) {
        queue.push_back({x, y});
        return;
    }
    if (g_pCellFlags == nullptr || !InBlockRange(x, y)) {
        ReportError(name);
        return;
    }
    ForEachBlockCell(x, y, apply);
    UnitServices().recomputePassability(x, y, 3);
}

} // namespace

void FreeAdvancedPath(std::int32_t x, std::int32_t y, std::uint8_t now)
{
    ChangeBlock(x, y, now, g_AdvancedPathReleaseQueue, "FreeAdvancedPath", [](std::int32_t cx, std::int32_t cy) {
        g_pCellFlags[CellIndex(cx, cy)] &= static_cast<std::uint8_t>(~ADVANCED_PATH_UNIT_BIT);
    });
}

void SetUnpathOnAdvancedPath(std::int32_t x, std::int32_t y, std::uint8_t now)
{
    ChangeBlock(x, y, now, g_AdvancedPathUnpathQueue, "SetUnpathOnAdvancedPath", [](std::int32_t cx, std::int32_t cy) {
        if (UnitServices().shipPassValue(cx, cy) == 0)
            g_pCellFlags[CellIndex(cx, cy)] |= ADVANCED_PATH_UNIT_BIT;
    });
}

// ---- leaving the map --------------------------------------------------------------------------

void ClearUnitReferences(TUnit* u)
{
    if (u == nullptr)
        return;
    for (std::uint8_t p = 0; p < UNIT_PLAYERS; ++p) {
        if (g_Strateg[p] == nullptr)
            continue;
        ClearReferencesOfList(g_Strateg[p]->FirstUnit, u);
        ClearReferencesOfHouses(g_pHouse[p], NumHouse[p], u);
    }
    ClearReferencesOfList(g_NeutralUnitList, u);
    ClearReferencesOfHouses(g_pHouse[kNeutralHouseSlot], g_NeutralHouseCount, u);
    // A shot-down aircraft is deleted well within the cycles its grid entry would live.
    RemoveUnitFromTargetGrid(u);
    // A bullet still in the air lands without its shooter.
    ForgetTimedEffectShooter(u);
    if ((u->Selected != 0 || u->m_StoredGroup >= 0) && u->Player < UNIT_PLAYERS)
        UnitServices().deselect(u->Player, u);
}

void ClearHouseReferences(const THouse* houses, std::uint32_t count)
{
    if (houses == nullptr || count == 0)
        return;
    for (std::uint8_t p = 0; p < UNIT_PLAYERS; ++p)
        if (g_Strateg[p] != nullptr)
            ClearHouseReferencesOfList(g_Strateg[p]->FirstUnit, houses, houses + count);
    ClearHouseReferencesOfList(g_NeutralUnitList, houses, houses + count);
}

void UnregisterShip(TUnit* u)
{
    if (u == nullptr)
        return;
    const auto it = std::find(g_ShipUnits.begin(), g_ShipUnits.end(), u);
    if (it == g_ShipUnits.end())
        return;
    g_ShipUnits.erase(it);
    if (TShipGrid* grid = WaterShipGrid())
        grid->RemoveShipFromList(u);
}

void DeleteUnit(TUnit** pu)
{
    if (pu == nullptr || *pu == nullptr)
        return;
    TUnit* u = *pu;
    if (u->WorkObject != UNIT_DELETE_PARAM)
        return;
    TUnitServices& s = UnitServices();
    u->Dead = 1;
    ClearUnitReferences(u);

    UnregisterShip(u);
    RemoveUnitFromCell(u);

    const std::uint8_t work = u->Work;
    if (work == STAY_IN_HOUSE && u->House != nullptr) {
        THouse* h = u->House;
        FreeDeadUnitFromHouse(h, u);
        if (u->Player == MyPlayer && h->Selected != 0)
            s.refreshPanel();
    } else if (work == WORK_UNIT_TRANSPORTED) {
        s.getMeFromTransport(u);
    }

    const std::uint8_t player = u->Player;
    TStrateg* owner = player < UNIT_PLAYERS ? g_Strateg[player] : nullptr;
    if (owner != nullptr) {
        Unlink(owner->FirstUnit, u);
        if (NumUnits[player] > 0)
            --NumUnits[player];
        s.removeFromTable(owner, u->m_Index);
    } else {
        Unlink(g_NeutralUnitList, u);
    }
    // The reference AddUnitToPlayer or AddNeutralUnit took, given back for every kind of unit.
    if (u->Basic != nullptr)
        u->Basic->Release(NationOf(u));
    // The player's defeat is decided in its own turn, which also frees what it owns.

    TUnit* next = u->m_pNext;
    delete u;
    *pu = next;
}

void FreeDeadUnitFromHouse(THouse* h, TUnit* u)
{
    if (h == nullptr || u == nullptr || h->InsideCount == 0 || h->Inside == nullptr)
        return;
    if (u->Work != STAY_IN_HOUSE)
        ReportError("Здесь бодяга FreeDeadUnitFromHouse");
    for (std::uint16_t i = 0; i < h->InsideCount; ++i) {
        if (h->Inside[i] != u)
            continue;
        std::copy(h->Inside + i + 1, h->Inside + h->InsideCount, h->Inside + i);
        --h->InsideCount;
        u->Work = UNIT_NO_WORK;
        if (h->InsideCount == 0) {
            delete[] h->Inside;
            h->Inside = nullptr;
        }
        return;
    }
}

// ---- the module's start and end ---------------------------------------------------------------

void ResetUnitCounters()
{
    std::memset(NumUnits, 0, sizeof NumUnits);
    std::memset(g_UnitTypeCount, 0, sizeof g_UnitTypeCount);
}

void FreeUnitList(TUnit*& head)
{
    // The target grid must not keep naming units freed without DeleteUnit.
    if (head != nullptr)
        ClearTargetGridUnits();
    while (head != nullptr) {
        TUnit* u = head;
        head = u->m_pNext;
        UnregisterShip(u);
        ForgetTimedEffectShooter(u);
        if (u->Basic != nullptr)
            u->Basic->Release(NationOf(u));
        delete u;
    }
}

void InitUnitsAndHouses()
{
    // Arrays and types left by an earlier game are freed, not just forgotten.
    for (std::uint8_t p = 0; p < UNIT_PLAYERS; ++p) {
        FreePlayerHouses(p);
        if (g_Strateg[p] != nullptr)
            g_Strateg[p]->Houses = nullptr;
    }
    FreeUnitList(g_NeutralUnitList);
    FreeUnitTypes();
    ResetUnitCounters();
    std::memset(g_HouseTypeCount, 0, sizeof g_HouseTypeCount);
    g_NeutralUnitCount = 0;
    g_ShipUnits.clear();
    g_UnitIdCounter = 0;
}

void DoneUnitsAndHouses() {}

void FreeAllPlayerHouses()
{
    for (std::uint8_t p = 0; p < UNIT_PLAYERS; ++p)
        FreePlayerHouses(p);
}

void FreeUnitsMap()
{
    for (TStrateg* player : g_Strateg)
        if (player != nullptr) {
            FreeUnitList(player->FirstUnit);
            player->LiveUnits = 0;
        }
    ResetUnitCounters();
    FreeUnitList(g_NeutralUnitList);
    g_NeutralUnitCount = 0;
    if (g_pUnitsMap != nullptr)
        for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
            if (TUnit** list = g_pUnitsMap[i])
                std::fill(list, list + kCellUnitCapacity, nullptr);
    g_ShipUnits.clear();
    g_AdvancedPathReleaseQueue.clear();
    g_AdvancedPathUnpathQueue.clear();
}
