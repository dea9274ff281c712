#include "combat/unit_walk.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "combat/battle_services.h"
#include "combat/cycle_updates.h"
#include "combat/ship_graphics.h"
#include "combat/ships.h"
#include "combat/target_grid.h"
#include "combat/target_search.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_events.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "devices/cursor_state.h"
#include "devices/sound.h"
#include "map/map_grid.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "movement/passability.h"
#include "platform/text.h"
#include "players/economy.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/building_graphics.h"
#include "units/house_behaviour.h"
#include "units/house_queue.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

constexpr std::uint8_t kNoPlayer = 255;
constexpr std::uint16_t kAlwaysSearchingType = 13;
constexpr std::int32_t kAlertCell = STRATEG_GRID_CELL;
// Alert-grid bytes: 0 and 100 ready, 1..99 searches left, 101..200 cooling down.
constexpr std::uint8_t kAlertReady = 100;
// Sound of an aircraft on screen: category, sub-kind and priority.
constexpr std::uint8_t kAirSoundSubKind = 5;
constexpr std::uint8_t kAirSoundPriority = 6;
// Heights above which a unit is drawn with the aircraft.
constexpr float kAirDrawHeight = 1.0f;
constexpr float kDeadAirDrawHeight = 2.0f;
// Ruins.
constexpr float kRuinGone = -149000.0f;
constexpr float kRuinPicture = -500.0f;
constexpr float kPortRuinStep = 100.0f;
constexpr float kRuinStep = 5.0f;
constexpr float kBurnStep = 0.1f;
constexpr float kBurntOut = 1.0f;
constexpr float kBurntHitPoints = -10.0f;
// Production.
constexpr float kPowerNeedFloor = 0.01f;
constexpr float kShortageFloor = 0.3f;
constexpr float kRetryCountdown = 1.0f;
constexpr std::uint8_t kShipPhaseShowingHull = 2;
constexpr float kShipPhases = 4.0f;
constexpr std::uint8_t kShipBuildingMode = 1;
constexpr std::uint8_t kShipPartConstruction = 1;
constexpr std::uint8_t kShipPartHull = 0;

TViewSnapshot g_ViewSnapshot;
// The cycle the snapshot belongs to; the first walk of a new cycle takes a new one.
std::uint32_t g_ViewSnapshotFrame = 0;
bool g_ViewSnapshotTaken = false;

// A target that is gone: the pointer and the owner byte agree again, and an order against a dead
// unit or a destroyed building ends.
void DropLostTargets(TUnit* u)
{
    if (u->PlayerAttack == kNoPlayer) {
        u->AttackUnit = nullptr;
    } else if (u->AttackUnit == nullptr) {
        u->PlayerAttack = kNoPlayer;
    } else if (u->AttackUnit->Dead != 0) {
        CancelOrderAndStop(u);
        return;
    }
    if (u->PlayerHouseAttack == kNoPlayer)
        u->HouseAttack = nullptr;
    else if (u->HouseAttack == nullptr)
        u->PlayerHouseAttack = kNoPlayer;
    else if (u->HouseAttack->Destroyed != 0)
        CancelOrderAndStop(u);
}

void RunCountdowns(TUnit* u)
{
    if (u->m_FirstCountdown != 0)
        --u->m_FirstCountdown;
    if (u->SlowCount != 0)
        --u->SlowCount;
    if (u->m_SearchDelay != 0 && --u->m_SearchDelay == 0)
        u->m_bMaySearch = 1;
}

// The type's upkeep runs food, wood, iron, gold, oil; the player's pairs are indexed otherwise.
void ChargeUnitUpkeep(TStrateg& p, const TBasicUnit& type)
{
    static constexpr std::uint8_t kPairOf[5] = {RESOURCE_FOOD, RESOURCE_WOOD, RESOURCE_IRON, RESOURCE_GOLD,
                                                RESOURCE_OIL};
    for (int k = 0; k < 5; ++k) {
        const double upkeep = type.m_Upkeep[k];
        if (upkeep == 0.0)
            continue;
        TResourcePair& pair = p.Res[kPairOf[k]];
        pair.recorded -= upkeep;
        pair.spendable -= upkeep;
        if (pair.spendable < 0.0)
            pair.spendable = 0.0;
    }
}

// Whether the unit searches for a target this cycle, by its cell of the alert grid.
void ThrottledSearch(TStrateg& p, TUnit* u, TUnitWalkServices& s)
{
    const std::int64_t c = static_cast<std::int64_t>(static_cast<std::int32_t>(u->Y) / kAlertCell) * p.GridWidth +
                           static_cast<std::int32_t>(u->X) / kAlertCell;
    if (c < 0 || c >= static_cast<std::int64_t>(p.Grid.size()))
        return;
    if (u->Type == kAlwaysSearchingType) {
        s.searchTarget(u);
        return;
    }
    const TAlertThrottle t = AlertThrottle(s.countAllUnits());
    std::uint8_t& g = p.Grid[static_cast<std::size_t>(c)];
    if (u->PlayerAttack != kNoPlayer || u->PlayerHouseAttack != kNoPlayer) {
        g = t.searches;
        return;
    }
    if (g > kAlertReady) {
        --g;
        return;
    }
    if (g == kAlertReady || g == 0)
        g = static_cast<std::uint8_t>(t.skips + kAlertReady);
    else
        --g;
    s.searchTarget(u);
}

void WalkLivingUnit(TStrateg& p, TUnit* u, bool t33, std::uint8_t stagger, TUnitWalkServices& s)
{
    const TBasicUnit& type = *u->Basic;
    if (type.ClosePath != 0)
        TankRedirectAllArround(u);
    ChargeUnitUpkeep(p, type);
    if (u->FramePhase == stagger && u->m_bMaySearch != 0)
        ThrottledSearch(p, u, s);
    if (u->Work != WORK_UNIT_TRANSPORTED) {
        const TUnitHandler move = type.m_MoveHandler != nullptr ? type.m_MoveHandler : UnitKindHandlers(type.m_Kind).move;
        move(u);
    }
    if (t33 && u->X > 0.0f && u->X <= static_cast<float>(g_MapPixelWidth) && u->Y > 0.0f &&
        u->Y <= static_cast<float>(g_MapPixelHeight))
        s.addUnitToTargetGrid(u);
}

bool MeetsView(const TUnit& u, const TViewSnapshot& v)
{
    return u.m_RectRight >= v.left && u.m_RectTop <= v.bottom && u.m_RectBottom >= v.top && u.m_RectLeft <= v.right;
}

// The on-screen flag and the draw-order lists: what this machine shows, never what it simulates.
void FileForDrawing(TUnit* u, const TViewSnapshot& view)
{
    if (u->m_bShown == 0 || !MeetsView(*u, view)) {
        u->m_bOnScreen = 0;
        return;
    }
    u->m_bOnScreen = 1;
    const TUnitDrawRecord record{u, static_cast<std::int32_t>(u->X), static_cast<std::int32_t>(u->Y - u->GroundHeight)};
    if (u->Dead != 0) {
        if (u->Height > kDeadAirDrawHeight) {
            g_UnitsDrawLate.push_back(record);
            return;
        }
        const int size = u->NumWork < UNIT_COUNT_WORK ? u->Basic->AnimationSize[u->NumWork] : 0;
        const int frame = static_cast<std::uint8_t>(static_cast<std::int32_t>(u->NumSprite));
        (frame < size - 1 ? g_UnitsDrawSorted : g_UnitsDrawTinted).push_back(record);
        return;
    }
    if (u->Height > kAirDrawHeight) {
        g_UnitsDrawLate.push_back(record);
        if (BattleServices().playSound)
            BattleServices().playSound(SOUND_UNIT, u, kAirSoundSubKind, kAirSoundPriority);
        return;
    }
    g_UnitsDrawSorted.push_back(record);
}

// ---- buildings ----------------------------------------------------------------------------------

// A ruin loses hit points every cycle until it is taken off the map.
void DecayRuin(THouse* h)
{
    if (h->HitPoints < kRuinGone)
        return;
    const float before = h->HitPoints;
    h->HitPoints -= h->HouseType == HOUSE_PORT ? kPortRuinStep : kRuinStep;
    if (h->Type().m_RuinPhaseCount >= 2 && before >= kRuinPicture && h->HitPoints < kRuinPicture)
        h->AcquirePhaseGraphic(HOUSE_STATE_RUIN, 1);
    if (h->HitPoints <= HOUSE_HP_STAGE_TWO)
        DestroyHouse(h, HOUSE_NO_DESTROYER);
}

// true when the building burnt out and is gone.
bool Burn(THouse* h)
{
    if (h->HitPoints >= static_cast<float>(h->MaxHitPoints >> 1))
        return false;
    h->HitPoints -= kBurnStep;
    if (h->HitPoints >= kBurntOut)
        return false;
    h->HitPoints = kBurntHitPoints;
    DestroyHouse(h, HOUSE_NO_DESTROYER);
    return true;
}

TUnit* StartShip(TStrateg& p, THouse* h, std::uint16_t unitType)
{
    if (h->m_ShipSideForPort == THouse::none) {
        ReportError("House->m_ShipSideForPort == THouse::none");
        return nullptr;
    }
    const std::uint16_t index = CreateUnitAt(h->ExitX, h->ExitY, h->Owner, unitType, 0);
    TUnit* ship = p.GetUnit(index);
    h->ShipUnderConstruction = ship;
    if (ship == nullptr)
        return nullptr;
    ship->m_bShown = 0;
    ship->House = h;
    ship->Work = WORK_SHIP_IN_YARD;
    const std::uint8_t o = static_cast<std::uint8_t>(h->GetBuildState() % UNIT_ORIENTS);
    GetShipPart(ship->Basic, kShipPartConstruction, o);
    ship->SetOrient(o);
    ship->WorkObject = 0;
    ship->ShipPartMode = kShipBuildingMode;
    ship->m_ShipParts1[o] = 1;
    return ship;
}

// The ship in the yard shows its build progress; a ship too close to it holds the work back.
void AdvanceShip(THouse* h, TUnit* ship)
{
    const std::uint8_t owner = ship->Player < UNIT_PLAYERS ? ship->Player : 0;
    const float buildTime = ship->Basic != nullptr ? static_cast<float>(ship->Basic->BuildTime[owner]) : 0.0f;
    if (FindShipTooClose(ship) && ship->m_bShown == 0) {
        h->ProductionTimer = buildTime;
        return;
    }
    ship->m_bShown = 1;
    const float done = buildTime > 0.0f ? h->ProductionTimer / buildTime : 0.0f;
    ship->WorkObject = static_cast<std::uint16_t>(static_cast<std::int32_t>(kShipPhases - kShipPhases * done));
    const std::uint8_t o = static_cast<std::uint8_t>(ship->Orient) % UNIT_ORIENTS;
    if (ship->WorkObject == kShipPhaseShowingHull && ship->m_ShipParts0[o] == 0) {
        ship->SetOrient(o);
        GetShipPart(ship->Basic, kShipPartHull, o);
        ship->m_ShipParts0[o] = 1;
    }
}

// Whether the produced unit has a free cell to appear on.
bool ExitCellFree(const THouse* h)
{
    const plat::Point c = PixelToFlatCell(h->ExitX, h->ExitY);
    if (!CellPointInMap(c))
        return false;
    if (h->HouseType == HOUSE_PORT)
        return true;
    const std::uint16_t* pass = h->HouseType == HOUSE_TANK_FACTORY ? g_pVehiclePassMap : g_pLandPassMap;
    return pass != nullptr && pass[CellIndex(c.x, c.y)] == 0;
}

// One cycle of the head of the queue. Runs once per cycle: a long countdown takes many cycles.
void AdvanceProduction(TStrateg& p, THouse* h, std::uint16_t index, std::uint16_t demand, std::uint16_t supply,
                       TUnitWalkServices& s)
{
    const std::uint16_t unitType = h->Queue[0];
    const bool port = h->HouseType == HOUSE_PORT;
    TUnit* ship = h->ShipUnderConstruction;
    if (port && ship == nullptr) {
        // No ship, nothing to finish: the yard tries again next cycle.
        ship = StartShip(p, h, unitType);
        if (ship == nullptr)
            return;
    }
    const bool shortage = demand > supply;
    const float step = h->Type().m_PowerNeed > kPowerNeedFloor && shortage
                           ? std::max(kShortageFloor, static_cast<float>(supply) / static_cast<float>(demand))
                           : 1.0f;
    h->ProductionTimer -= step;
    if (port && ship != nullptr)
        AdvanceShip(h, ship);
    if (h->ProductionTimer > 0.0f)
        return;
    const std::uint8_t me = p.Number;
    if (s.population(me) >= s.populationCap(me) || !ExitCellFree(h)) {
        h->ProductionTimer = kRetryCountdown;
        return;
    }
    if (ship != nullptr) {
        ship->Work = UNIT_NO_WORK;
        ship->House = nullptr;
        if (ship->Basic != nullptr && ship->Basic->IsShipUnit())
            SendShipOutOfPort(ship, h);
    }
    HouseProduceUnit(me, index);
}

void WalkHouse(TStrateg& p, THouse* h, std::uint16_t index, TUnitWalkServices& s)
{
    if (h->TypeRecord == nullptr)
        return;
    if (h->Destroyed != 0) {
        DecayRuin(h);
        return;
    }
    if (static_cast<std::uint32_t>(h->X) < g_MapWidth && static_cast<std::uint32_t>(h->Y) < g_MapHeight)
        s.addHouseToTargetGrid(h);
    if (h->BuildWork != 0)
        return;
    if (Burn(h))
        return;
    if (h->TakeOffCountdown != 0)
        --h->TakeOffCountdown;
    if (!s.chargeHouseUpkeep(h))
        return;
    HouseCycleHandler(h);
    // A handler that destroyed its own building (an emplacement turning into its unit) leaves
    // nothing to upgrade or produce.
    if (h->Destroyed != 0)
        return;
    AdvanceHouseUpgrade(h);
    if (h->QueueCount != 0 && h->Queue != nullptr)
        AdvanceProduction(p, h, index, PowerDemandOf(p.Number), PowerSupplyOf(p.Number), s);
    CheckShelteredUnits(h);
}

std::string NameOf(const char16_t* name)
{
    return plat::Utf16ToUtf8(name);
}

} // namespace

// ---- the view ----------------------------------------------------------------------------------

void TakeViewSnapshot()
{
    std::lock_guard lock(g_InputLock);
    g_ViewSnapshot = {g_ViewPixelX, g_ViewPixelY, g_ViewPixelRight, g_ViewPixelBottom};
    g_ViewSnapshotFrame = g_FrameCounter;
    g_ViewSnapshotTaken = true;
}

const TViewSnapshot& CurrentViewSnapshot()
{
    if (!g_ViewSnapshotTaken || g_ViewSnapshotFrame != g_FrameCounter)
        TakeViewSnapshot();
    return g_ViewSnapshot;
}

// ---- the walk ----------------------------------------------------------------------------------

TAlertThrottle AlertThrottle(std::uint32_t n)
{
    if (n <= 1000)
        return {30, 30};
    if (n > 10000)
        return {5, 100};
    const std::uint32_t k = n / 1000;
    return {static_cast<std::uint8_t>(static_cast<std::int32_t>(30.0 - 2.5 * k)), static_cast<std::uint8_t>(7 * k + 30)};
}

void WalkPlayerUnits(TStrateg* p)
{
    if (p == nullptr)
        return;
    TUnitWalkServices& s = UnitWalkServices();
    const TViewSnapshot& view = CurrentViewSnapshot();
    const std::uint32_t f = g_FrameCounter;
    const bool t200 = f % 200 == static_cast<std::uint32_t>(p->Number) * 20;
    const bool t30 = f % 30 == 0;
    const bool t33 = f % 33 == 0;
    const auto stagger = static_cast<std::uint8_t>(f % UNIT_FRAME_STAGGER);
    TUnit* u = p->FirstUnit;
    while (u != nullptr) {
        if (u->Basic == nullptr) {
            u = u->m_pNext;
            continue;
        }
        if (t200)
            DropLostTargets(u);
        RunCountdowns(u);
        if (u->NumWork == ANIM_TURN) {
            AirInRotate(u);
        } else if (u->Dead != 0) {
            TUnit* current = u;
            MakeMoveForDead(&current);
            if (current == nullptr)
                return;
            if (current != u) {
                // The dead unit is gone; its successor is walked now, in this same pass.
                u = current;
                continue;
            }
        } else {
            WalkLivingUnit(*p, u, t33, stagger, s);
        }
        FileForDrawing(u, view);
        if (t30 && u->Basic->IsShipUnit())
            u->ReleaseShipParts(false);
        u = u->m_pNext;
    }
}

void SettleAdvancedPaths()
{
    // Settling a cell may queue again; what it queues waits for the next settling.
    std::vector<TCellPair> release;
    std::vector<TCellPair> unpath;
    release.swap(g_AdvancedPathReleaseQueue);
    unpath.swap(g_AdvancedPathUnpathQueue);
    for (const TCellPair& c : release)
        FreeAdvancedPath(c.x, c.y, 1);
    for (const TCellPair& c : unpath)
        SetUnpathOnAdvancedPath(c.x, c.y, 1);
    // The queues keep their room for the next cycle.
    release.clear();
    unpath.clear();
    if (g_AdvancedPathReleaseQueue.empty())
        g_AdvancedPathReleaseQueue.swap(release);
    if (g_AdvancedPathUnpathQueue.empty())
        g_AdvancedPathUnpathQueue.swap(unpath);
}

void WalkPlayerHouses(TStrateg* p)
{
    if (p == nullptr || p->Number >= 8)
        return;
    if (RandomDraw() % 30 == 1)
        DecayBarnFields();
    THouse* houses = g_pHouse[p->Number];
    if (houses == nullptr)
        return;
    TUnitWalkServices& s = UnitWalkServices();
    const std::uint16_t count = NumHouse[p->Number];
    for (std::uint16_t i = 0; i < count; ++i)
        WalkHouse(*p, &houses[i], i, s);
}

void CheckShelteredUnits(THouse* h)
{
    if (h == nullptr || h->InsideCount == 0 || h->Inside == nullptr)
        return;
    // Taking a unit out shortens the array (and frees it at the last one): the check walks a copy.
    const std::vector<TUnit*> inside(h->Inside, h->Inside + h->InsideCount);
    for (TUnit* u : inside) {
        if (u == nullptr || (u->m_pGroup == nullptr && u->Work == STAY_IN_HOUSE && u->House == h))
            continue;
        ReportError("Check me may be i dead");
        ReportError(u->Basic != nullptr ? NameOf(u->Basic->m_Name) : std::string());
        ReportError(NameOf(h->Type().m_Name));
        ReportError(u->Dead != 0 ? "Dead" : "Live");
        u->Work = STAY_IN_HOUSE;
        GetUnitOutOfHouse(h, u);
    }
}

void PlayerUnitsTurn(TStrateg* p)
{
    if (p == nullptr)
        return;
    WalkPlayerUnits(p);
    SettleAdvancedPaths();
    WalkPlayerHouses(p);
}

void UnitWalk(TTurnList& turn)
{
    PlayerUnitsTurn(turn.owner);
}

// ---- the services ------------------------------------------------------------------------------

TUnitWalkServices TUnitWalkServices::Default()
{
    TUnitWalkServices s;
    s.countAllUnits = ::CountAllUnits;
    s.searchTarget = [](TUnit* u) { ::UnitSearchTarget(u); };
    s.addUnitToTargetGrid = ::AddUnitToTargetGrid;
    s.addHouseToTargetGrid = ::AddHouseToTargetGrid;
    s.chargeHouseUpkeep = ::ChargeHouseUpkeep;
    s.population = ::GetPopulation;
    s.populationCap = ::GetPopulationCap;
    return s;
}

TUnitWalkServices& UnitWalkServices()
{
    static TUnitWalkServices services = TUnitWalkServices::Default();
    return services;
}
