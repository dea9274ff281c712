#include "units/house_behaviour.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "combat/house_events.h"
#include "core/error_log.h"
#include "core/app_state.h"
#include "core/memory_stream.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "platform/bytes.h"
#include "players/economy.h"
#include "players/house_orders.h"
#include "players/strateg.h"
#include "ui/panel.h"
#include "units/build_site.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/unit_lists.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_types.h"
#include "units/upgrades.h"

float g_PowerSupply[8] = {};
float g_PowerDemand[8] = {};
float g_PowerSupplyScale[8] = {1, 1, 1, 1, 1, 1, 1, 1};
float g_PowerDemandScale[8] = {1, 1, 1, 1, 1, 1, 1, 1};
float g_OilFactor[8] = {1, 1, 1, 1, 1, 1, 1, 1};
float g_WoodFactor[8] = {1, 1, 1, 1, 1, 1, 1, 1};
float g_MetalFactor[8] = {1, 1, 1, 1, 1, 1, 1, 1};
float g_GatherFactor[8] = {1, 1, 1, 1, 1, 1, 1, 1};
float g_HouseArmourFactor[8] = {1, 1, 1, 1, 1, 1, 1, 1};
float g_MintFactor[8] = {1, 1, 1, 1, 1, 1, 1, 1};
std::uint32_t g_MintCount[8] = {};
std::uint8_t g_bResearchChanged = 0;

namespace {

// Cells (y * map width + x) whose crops decay; main thread only.
std::vector<std::uint32_t> s_DecayList;

constexpr std::uint8_t kWorkInHouse = 3;
constexpr std::uint8_t kWorkTransported = 20;
constexpr std::uint16_t kUnitTypeWorker = 6;
constexpr std::uint16_t kUnitTypeRifleman = 2;
constexpr float kWorkerSearchRadius = 50000.0f;
constexpr float kGarrisonSearchRadius = 2000.0f;
constexpr std::uint16_t kCropNation0 = 9696;
constexpr std::uint16_t kCropNation1 = 9694;
constexpr std::uint16_t kCropNation3 = 9698;
// The alert-grid value a firing tower leaves around itself.
constexpr std::uint8_t kAlertValue = 30;
// The per-player combat record of a unit type is 20 u16 per player in its first parameter table;
// war research 7 raises the value at this slot of it.
constexpr int kUnitPlayerRecordWords = 20;
constexpr int kUnitResearchSlot = 10;

THouseBehaviourServices& S()
{
    return HouseBehaviourServices();
}

std::uint8_t OwnerOf(const THouse* h)
{
    return h->Owner;
}

bool Computer(std::uint8_t p)
{
    return S().isComputerPlayer(p);
}

// The owner is a computer player or has the economy assistant on.
bool AutomationAllowed(std::uint8_t p)
{
    return Computer(p) || S().compAssist(p);
}

// Computer players always have every advisor option.
bool EconomyOption(std::uint8_t p, int option)
{
    return Computer(p) || S().economyOption(p, option);
}

// The building's turn: once every 1000 cycles, at its index.
bool ItsTurn(const THouse* h)
{
    return g_FrameCounter % 1000u == h->Index;
}

bool EveryPeriod(const THouse* h, std::uint32_t period)
{
    return g_FrameCounter % period == h->Index % period;
}

void TryLevelUpgrade(THouse* h)
{
    if (LevelCanUpgrade(h))
        LevelStartUpgrade(h);
}

// Truncates a scaled u16 value, saturating instead of wrapping.
std::uint16_t ScaleU16(std::uint16_t value, double factor)
{
    const double v = std::trunc(static_cast<double>(value) * factor);
    return static_cast<std::uint16_t>(std::clamp(v, 0.0, 65535.0));
}

std::uint8_t AddU8(std::uint8_t value, int add)
{
    return static_cast<std::uint8_t>(std::min(255, value + add));
}

// Units inside whose unit type is 0 count whole, others half.
double WorkerWeight(const THouse* h)
{
    double n = 0.0;
    for (std::uint16_t i = 0; h->Inside != nullptr && i < h->InsideCount; ++i)
        if (h->Inside[i] != nullptr)
            n += h->Inside[i]->Type == 0 ? 1.0 : 0.5;
    return n;
}

void Yield(std::uint8_t p, std::uint8_t resource, double amount)
{
    if (amount == 0.0)
        return;
    S().addResource(p, resource, amount);
    S().addExtracted(p, resource, amount);
}

template <class Fn>
void ForEachUnitOf(std::uint8_t p, Fn&& fn)
{
    for (TUnit* u = S().firstUnit(p); u != nullptr; u = u->m_pNext)
        fn(u);
}

template <class Fn>
void ForEachHouseOf(std::uint8_t p, std::uint16_t type, Fn&& fn)
{
    if (p >= 8 || g_pHouse[p] == nullptr)
        return;
    for (std::uint16_t i = 0; i < NumHouse[p]; ++i)
        if (g_pHouse[p][i].HouseType == type && g_pHouse[p][i].TypeRecord != nullptr)
            fn(g_pHouse[p][i]);
}

// The owner's nearest unit within a radius of the building's exit that passes the test.
template <class Pred>
TUnit* NearestUnit(const THouse* h, float radius, Pred&& pred)
{
    TUnit* best = nullptr;
    double bestDistance = radius;
    ForEachUnitOf(h->Owner, [&](TUnit* u) {
        if (u->Dead != 0 || !pred(u))
            return;
        const double d = PointDistance(u->X, u->Y, h->ExitX, h->ExitY);
        if (d < bestDistance) {
            bestDistance = d;
            best = u;
        }
    });
    return best;
}

void SendInto(THouse* h, TUnit* u)
{
    if (u != nullptr)
        S().goToObject(u, u, h->Index, 0);
}

// ---- per-cycle handlers -----------------------------------------------------------------------

void PowerPlantCycle(THouse* h)
{
    const std::uint8_t p = OwnerOf(h);
    if (!ItsTurn(h) || h->UpgradeLevel >= AUTO_UPGRADE_LEVEL_LIMIT || !AutomationAllowed(p) || !EconomyOption(p, 4))
        return;
    if (PowerDemandOf(p) > PowerSupplyOf(p))
        TryLevelUpgrade(h);
}

void DwellingCycle(THouse* h)
{
    const std::uint8_t p = OwnerOf(h);
    if (!ItsTurn(h) || h->UpgradeLevel >= AUTO_UPGRADE_LEVEL_LIMIT || !EconomyOption(p, 4) || !AutomationAllowed(p))
        return;
    if (S().population(p) >= S().populationCap(p))
        TryLevelUpgrade(h);
}

// The iron and gold makers' shared step: their automatic upgrade every 200 cycles.
void MakerUpgrade(THouse* h)
{
    const std::uint8_t p = OwnerOf(h);
    if (EveryPeriod(h, 200) && AutomationAllowed(p) && EconomyOption(p, 4) && h->UpgradeLevel < AUTO_UPGRADE_LEVEL_LIMIT)
        TryLevelUpgrade(h);
}

void IronMakerCycle(THouse* h)
{
    const std::uint8_t p = OwnerOf(h);
    MakerUpgrade(h);
    AssignIdleWorker(h, 0);
    Yield(p, RESOURCE_IRON, static_cast<double>(g_MetalFactor[p]) * h->Output * WorkerWeight(h));
}

void GoldMakerCycle(THouse* h)
{
    const std::uint8_t p = OwnerOf(h);
    MakerUpgrade(h);
    AssignIdleWorker(h, 1);
    Yield(p, RESOURCE_GOLD,
          static_cast<double>(g_MintFactor[p]) * g_MetalFactor[p] * h->Output * WorkerWeight(h));
}

void LumberMillCycle(THouse* h)
{
    const std::uint8_t p = OwnerOf(h);
    AssignIdleWorker(h, S().resourceFell(p, RESOURCE_WOOD) ? 1 : 0);
    Yield(p, RESOURCE_WOOD, static_cast<double>(g_WoodFactor[p]) * h->Output * WorkerWeight(h));
}

void OilMakerCycle(THouse* h)
{
    const std::uint8_t p = OwnerOf(h);
    if (ItsTurn(h) && EconomyOption(p, 4) && h->UpgradeLevel < AUTO_UPGRADE_LEVEL_LIMIT && AutomationAllowed(p))
        TryLevelUpgrade(h);
    Yield(p, RESOURCE_OIL, static_cast<double>(g_OilFactor[p]) * h->Output);
}

void TowerCycle(THouse* h)
{
    const std::uint8_t p = OwnerOf(h);
    const bool early = g_FrameCounter < 1000u && EveryPeriod(h, 100);
    if (h->UpgradeLevel <= TOWER_AUTO_UPGRADE_LEVEL && (ItsTurn(h) || early)) {
        if (Computer(p) || S().warAssist(p) || (S().compAssist(p) && S().economyOption(p, 4)))
            TryLevelUpgrade(h);
        if ((Computer(p) || (S().warAssist(p) && S().warOption(p, 1))) && h->InsideCount < h->Capacity) {
            auto free = [](const TUnit* u) { return u->Work != kWorkInHouse && u->Work != kWorkTransported; };
            TUnit* u = NearestUnit(h, kGarrisonSearchRadius, [&](const TUnit* c) { return c->Type == kUnitTypeWorker && free(c); });
            if (u == nullptr)
                u = NearestUnit(h, kGarrisonSearchRadius, [&](const TUnit* c) { return c->Type == kUnitTypeRifleman && free(c); });
            SendInto(h, u);
        }
    }
    // An empty tower never fires, whatever its target.
    if (h->Shots == 0 || h->InsideCount == 0)
        return;
    if (h->TargetUnit == nullptr) {
        h->TargetPlayer = HOUSE_NO_OWNER;
        if (EveryPeriod(h, 30))
            S().houseSearchTarget(h);
        return;
    }
    // A shot may clear the target (a kill or a target out of range): the rest of the volley waits.
    for (int shot = 0; shot < h->Shots && h->TargetUnit != nullptr; ++shot) {
        if (h->ReloadB <= 0.0f) {
            h->ReloadB = h->ReloadA;
            S().artilleryFire(h, h->TargetUnit);
            THouse::MuzzleFlash(h);
        } else {
            h->ReloadB -= 1.0f;
        }
    }
}

// ---- repair and healing -----------------------------------------------------------------------

bool Allied(std::uint8_t a, std::uint8_t b)
{
    if (a == b)
        return true;
    if (a == HOUSE_NO_OWNER || b == HOUSE_NO_OWNER || a >= 8 || b >= 8)
        return false;
    if (S().isDead(a) || S().isDead(b))
        return true;
    const std::uint8_t ab = S().relation(a, b);
    return ab != 0 && ab == S().relation(b, a);
}

void Mend(TUnit* u, float amount)
{
    if (u->Player >= 8 || u->Basic == nullptr)
        return;
    const float max = u->Basic->MaxHitPoints[u->Player];
    if (u->HitPoints < max)
        u->HitPoints = std::min(u->HitPoints + amount, max);
}

// The units around a repairing building that qualify get the amount the test gives (0: none).
template <class Amount>
void MendAround(THouse* h, Amount&& amount)
{
    const THouseType& t = h->Type();
    if (!(h->Range > 0.0f) || g_pUnitsMap == nullptr)
        return;
    // The window never needs to reach beyond the map, whatever range a loaded record holds.
    const auto k = static_cast<std::int32_t>(std::min(h->Range * 0.0125f, 4096.0f));
    std::int32_t x0 = std::numeric_limits<std::int32_t>::max(), y0 = x0;
    std::int32_t x1 = std::numeric_limits<std::int32_t>::min(), y1 = x1;
    for (const plat::Point& c : FootprintCells({h->X, h->Y}, t.m_FootprintRows, t.m_FootprintCells)) {
        x0 = std::min(x0, c.x);
        x1 = std::max(x1, c.x);
        y0 = std::min(y0, c.y);
        y1 = std::max(y1, c.y);
    }
    x0 = std::max(x0 - k, 4);
    x1 = std::min<std::int32_t>(x1 + k, g_MapWidth - 4);
    y0 = std::max(y0 - 2 * k, 10);
    y1 = std::min<std::int32_t>(y1 + 2 * k, g_MapHeight - 10);
    const float refX = 48.0f * static_cast<float>(2 * h->X - ((h->Y % 2) == 0 ? 1 : 0));
    const float refY = 24.0f * static_cast<float>(h->Y);
    for (std::int32_t y = y0; y <= y1; ++y)
        for (std::int32_t x = x0; x <= x1; ++x) {
            TCellUnits* list = g_pUnitsMap[static_cast<std::uint32_t>(y) * g_MapWidth + static_cast<std::uint32_t>(x)];
            for (int i = 0; list != nullptr && i < kCellUnitCapacity && list[i] != nullptr; ++i) {
                TUnit* u = list[i];
                if (u->Dead != 0 || u->Basic == nullptr || !Allied(u->Player, h->Owner))
                    continue;
                if (PointDistance(u->X, u->Y, refX, refY) >= h->Range)
                    continue;
                const float a = amount(u);
                if (a > 0.0f)
                    Mend(u, a);
            }
        }
}

void HospitalCycle(THouse* h)
{
    if (g_FrameCounter % 20u != 0)
        return;
    float heal = g_HealRate[h->Owner] * 0.2f;
    if (h->HouseType == HOUSE_FIELD_HOSPITAL)
        heal *= static_cast<float>(h->InsideCount + 1);
    MendAround(h, [heal](const TUnit* u) {
        const TBasicUnit& b = *u->Basic;
        const bool machine = b.m_bAir != 0 || b.m_Kind == UNIT_KIND_TANK || b.m_bShip != 0;
        return b.m_bLastParamFlag == 0 && machine ? 0.0f : heal;
    });
}

void AirHangarCycle(THouse* h)
{
    if (g_FrameCounter % 20u == 0)
        MendAround(h, [](const TUnit* u) { return u->Basic->m_bAir != 0 ? 5.0f : 0.0f; });
}

void TankFactoryCycle(THouse* h)
{
    if (g_FrameCounter % 20u == 0)
        MendAround(h, [](const TUnit* u) { return u->Basic->m_Kind == UNIT_KIND_TANK || u->Type == 23 ? 10.0f : 0.0f; });
}

void PortCycle(THouse* h)
{
    if (g_FrameCounter % 20u != 0)
        return;
    for (TUnit* u : S().shipUnits())
        if (u != nullptr && u->Dead == 0 && u->Basic != nullptr && Allied(u->Player, h->Owner) &&
            PointDistance(u->X, u->Y, h->DoorX, h->DoorY) < h->Range)
            Mend(u, 100.0f);
}

void BarnCycle(THouse* h)
{
    const std::uint8_t p = OwnerOf(h);
    if (!Computer(p) || !ItsTurn(h))
        return;
    SetNearestHouseRallyPoint(p, HOUSE_WORKER_BUILDING, h->ExitX + 40.0f, h->ExitY + 40.0f, RandomDraw() > 22000);
    if (RandomDraw() < 16000 && S().spendable(p, RESOURCE_GOLD) >= 7000.0)
        BarnPlantField(h);
}

// ---- comes and leaves -------------------------------------------------------------------------

void PowerPlantCome(THouse* h)
{
    g_PowerSupply[h->Owner] += h->Output;
}

void PowerPlantLeave(THouse* h)
{
    g_PowerSupply[h->Owner] -= h->Output;
}

void HousingCome(THouse* h)
{
    S().addPopulationCap(h->Owner, static_cast<std::int32_t>(h->Output));
}

void HousingLeave(THouse* h)
{
    S().addPopulationCap(h->Owner, -static_cast<std::int32_t>(h->Output));
}

void MintCome(THouse* h)
{
    const std::uint8_t p = h->Owner;
    ++g_MintCount[p];
    if (g_MintUpgraded[p] != 0)
        g_MintFactor[p] = 2.0f;
}

void MintLeave(THouse* h)
{
    const std::uint8_t p = h->Owner;
    if (g_MintCount[p] > 0)
        --g_MintCount[p];
    if (g_MintCount[p] == 0)
        g_MintFactor[p] = 1.0f;
}

bool IsCrop(std::uint16_t code)
{
    return code >= OBJECT_CROP_FIRST && code <= OBJECT_CROP_LAST;
}

void BarnLeave(THouse* h)
{
    for (const plat::Point& c : BarnFieldCells(*h))
        if (IsInPlayableBorder(c.x, c.y) && IsCrop(GetObjectFromMap(c)))
            s_DecayList.push_back(static_cast<std::uint32_t>(c.y) * g_MapWidth + static_cast<std::uint32_t>(c.x));
}

void PortLeave(THouse* h)
{
    TUnit* ship = h->ShipUnderConstruction;
    if (ship == nullptr)
        return;
    // The ship goes with the port; the pointer must not outlive it.
    h->ShipUnderConstruction = nullptr;
    S().removeUnitFromGame(ship, HOUSE_NO_DESTROYER);
    S().refreshTargetGridHouses();
}

constexpr THouseHandlerTables MakeHandlerTables()
{
    THouseHandlerTables t{};
    t.cycle[HOUSE_POWER_PLANT] = PowerPlantCycle;
    t.come[HOUSE_POWER_PLANT] = PowerPlantCome;
    t.leave[HOUSE_POWER_PLANT] = PowerPlantLeave;
    t.cycle[HOUSE_PILLBOX] = TowerCycle;
    t.cycle[HOUSE_BUNKER] = TowerCycle;
    t.cycle[HOUSE_WATCHTOWER] = TowerCycle;
    t.come[HOUSE_WORKER_BUILDING] = HousingCome;
    t.leave[HOUSE_WORKER_BUILDING] = HousingLeave;
    t.cycle[HOUSE_DWELLING] = DwellingCycle;
    t.come[HOUSE_DWELLING] = HousingCome;
    t.leave[HOUSE_DWELLING] = HousingLeave;
    t.cycle[HOUSE_IRON_MAKER] = IronMakerCycle;
    t.cycle[HOUSE_GOLD_MAKER] = GoldMakerCycle;
    t.cycle[HOUSE_LUMBER_MILL] = LumberMillCycle;
    t.cycle[HOUSE_OIL_MAKER] = OilMakerCycle;
    t.come[HOUSE_MINT] = MintCome;
    t.leave[HOUSE_MINT] = MintLeave;
    t.cycle[HOUSE_BARN] = BarnCycle;
    t.come[HOUSE_BARN] = BarnPlantField;
    t.leave[HOUSE_BARN] = BarnLeave;
    t.cycle[HOUSE_FIELD_HOSPITAL] = HospitalCycle;
    t.cycle[HOUSE_HOSPITAL] = HospitalCycle;
    t.cycle[HOUSE_TANK_FACTORY] = TankFactoryCycle;
    t.cycle[HOUSE_AIR_HANGAR] = AirHangarCycle;
    t.cycle[HOUSE_PORT] = PortCycle;
    t.leave[HOUSE_PORT] = PortLeave;
    return t;
}

bool Runnable(const THouse* h)
{
    return h != nullptr && h->TypeRecord != nullptr && h->Owner < 8 && h->HouseType < HOUSE_HANDLER_SLOTS;
}

// ---- upgrade effects --------------------------------------------------------------------------

void ForEachUnitType(std::uint8_t nation, std::initializer_list<int> types, void (*fn)(TBasicUnit&, std::uint8_t),
                     std::uint8_t p)
{
    for (int type : types)
        if (TBasicUnit* b = GetUnitType(nation, static_cast<std::uint32_t>(type)))
            fn(*b, p);
}

// Applies the building-type stage the basic upgrade has reached. The stage counter indexes the
// six basic rows, so it stops at the last one.
void ApplyTypeStage(THouse* h)
{
    THouseType& t = h->Type();
    const std::uint8_t p = h->Owner;
    const std::uint8_t s = t.m_NoCapacity;
    if (s >= BASIC_UPGRADE_ROWS) {
        ReportErrorInt("ApplyUpgrade: the building type has no further stage, stage ", s);
        return;
    }
    switch (s) {
    case 0:
        ForEachHouseOf(p, h->HouseType, [](THouse& b) { b.Capacity = ScaleU16(b.Capacity, 2.0); });
        t.m_Capacity = ScaleU16(t.m_Capacity, 2.0);
        break;
    case 1:
        t.m_Param328 = ScaleU16(t.m_Param328, 2.0);
        break;
    case 2:
        ForEachHouseOf(p, h->HouseType, [](THouse& b) {
            const float half = b.MaxHitPoints * 0.5f;
            b.MaxHitPoints = ScaleU16(b.MaxHitPoints, 1.5);
            if (b.Destroyed == 0)
                b.HitPoints += half;
        });
        t.m_HitPoints = ScaleU16(t.m_HitPoints, 1.5);
        break;
    default:
        break;
    }
    // A demand below zero would read as an endless shortage once the walk truncates it to u16.
    g_PowerDemand[p] = std::max(0.0f, g_PowerDemand[p] - static_cast<float>(g_BasicUpgrades[s][0]));
    t.m_NoCapacity = static_cast<std::uint8_t>(s + 1);
}

void ScienceEffect(THouse* h, std::uint8_t u)
{
    const std::uint8_t p = h->Owner;
    const std::uint8_t nation = S().nation(p);
    switch (u) {
    case 3: g_GatherFactor[p] *= 1.35f; break;
    case 4: g_GatherFactor[p] *= 1.15f; break;
    case 5: g_GatherFactor[p] *= 1.5f; break;
    case 6: g_HouseArmourFactor[p] *= 1.1f; break;
    case 7: g_HouseArmourFactor[p] *= 1.2f; break;
    case 8: g_HouseArmourFactor[p] *= 1.15f; break;
    case 9: g_GatherFactor[p] *= 2.0f; break;
    case 10: g_GatherFactor[p] *= 3.0f; break;
    case 11: g_PowerSupplyScale[p] *= 1.15f; break;
    case 12: g_PowerSupplyScale[p] *= 1.2f; break;
    case 13:
    case 14: g_MetalFactor[p] *= 1.5f; break;
    case 16: ++g_SpecialShells[p]; break;
    // These three repeat; each stops at its bound, and a value already past it stays where it is.
    case 17: g_GasFactor[p] = std::min(g_GasFactor[p] * 1.2f, std::max(g_GasFactor[p], RESEARCH_MAX_GAS_FACTOR)); break;
    case 18:
        g_AirDamageFactor[p] =
            std::max(g_AirDamageFactor[p] * 0.75f, std::min(g_AirDamageFactor[p], RESEARCH_MIN_AIR_DAMAGE));
        break;
    case 19:
        ForEachUnitType(nation, {11, 12}, [](TBasicUnit& b, std::uint8_t q) {
            const std::uint16_t old = b.ReloadTime[q];
            b.ReloadTime[q] = std::max(ScaleU16(old, 0.85), std::min(old, RESEARCH_MIN_AIR_RELOAD));
        }, p);
        break;
    case 20:
        ForEachUnitOf(p, [p](TUnit* unit) {
            if (unit->Dead == 0 && unit->Basic != nullptr && unit->Basic->m_bLastParamFlag != 0)
                unit->HitPoints = unit->Basic->MaxHitPoints[p];
        });
        break;
    case 21:
        for (std::uint32_t type = 0; type < UNIT_TYPES_PER_NATION; ++type) {
            TBasicUnit* b = GetUnitType(nation, type);
            if (b == nullptr || b->m_bLastParamFlag == 0)
                continue;
            const std::uint16_t old = b->MaxHitPoints[p];
            b->MaxHitPoints[p] = ScaleU16(old, 1.1);
            const float rise = static_cast<float>(b->MaxHitPoints[p] - old);
            const float max = b->MaxHitPoints[p];
            ForEachUnitOf(p, [&](TUnit* unit) {
                if (unit->Basic == b && unit->Dead == 0)
                    unit->HitPoints = std::clamp(unit->HitPoints + rise, 1.0f, std::max(1.0f, max));
            });
        }
        break;
    default:
        break;
    }
}

void ScaleReload(TBasicUnit& b, std::uint8_t p, double f)
{
    b.ReloadTime[p] = ScaleU16(b.ReloadTime[p], f);
}

void WarEffect(THouse* h, int w)
{
    const std::uint8_t p = h->Owner;
    const std::uint8_t n = S().nation(p);
    switch (w) {
    case 1: g_AccuracyFactor[p] *= 1.1f; break;
    case 2: g_AccuracyFactor[p] *= 1.15f; break;
    case 3: g_WarResearchFactorB[p] *= 1.2f; break;
    case 4: ForEachUnitType(n, {3}, [](TBasicUnit& b, std::uint8_t q) { b.m_FirstValue[q] = ScaleU16(b.m_FirstValue[q], 1.3); }, p); break;
    case 5: ForEachUnitType(n, {2, 3, 14, 25, 26, 27}, [](TBasicUnit& b, std::uint8_t q) { ScaleReload(b, q, 0.85); }, p); break;
    case 6: ForEachUnitType(n, {2, 3, 14, 25, 26, 27}, [](TBasicUnit& b, std::uint8_t q) { ScaleReload(b, q, 0.75); }, p); break;
    case 7:
        ForEachUnitType(n, {2, 3, 14, 25, 26, 27}, [](TBasicUnit& b, std::uint8_t q) {
            std::uint16_t& v = b.m_ParamTables[0][q * kUnitPlayerRecordWords + kUnitResearchSlot];
            v = ScaleU16(v, 1.15);
        }, p);
        break;
    case 8:
        ForEachUnitType(n, {7, 8}, [](TBasicUnit& b, std::uint8_t q) {
            ScaleReload(b, q, 0.75);
            b.m_FirstValue[q] = ScaleU16(b.m_FirstValue[q], 1.25);
        }, p);
        break;
    case 9: ForEachUnitType(n, {3}, [](TBasicUnit& b, std::uint8_t q) { ScaleReload(b, q, 0.8); }, p); break;
    case 10: g_ShelterFactor[p] *= 1.5f; break;
    case 11: g_HealRate[p] *= 1.2f; break;
    case 12: g_ShelterFactor[p] *= 1.2f; break;
    case 13: ForEachUnitType(n, {5}, [](TBasicUnit& b, std::uint8_t q) { b.Range[q] = ScaleU16(b.Range[q], 1.2); }, p); break;
    case 14: ForEachUnitType(n, {5}, [](TBasicUnit& b, std::uint8_t q) { ScaleReload(b, q, 0.8); }, p); break;
    case 15: g_ShotAccuracyFactor[p] *= 1.5f; break;
    case 16:
        // The speed belongs to the type record, which every player of the nation shares.
        ForEachUnitType(n, {4, 16}, [](TBasicUnit& b, std::uint8_t q) {
            b.MaxHitPoints[q] = ScaleU16(b.MaxHitPoints[q], 1.1);
            b.Speed *= 1.1f;
        }, p);
        break;
    case 17: ForEachUnitType(n, {4, 16}, [](TBasicUnit& b, std::uint8_t q) { b.MaxHitPoints[q] = ScaleU16(b.MaxHitPoints[q], 1.25); }, p); break;
    case 18: ForEachUnitType(n, {21, 23}, [](TBasicUnit& b, std::uint8_t q) { ScaleReload(b, q, 0.8); }, p); break;
    case 19: ForEachUnitType(n, {22}, [](TBasicUnit& b, std::uint8_t q) { ScaleReload(b, q, 0.8); }, p); break;
    case 20:
        ForEachUnitType(n, {21, 22}, [](TBasicUnit& b, std::uint8_t q) {
            b.m_FirstValue[q] = ScaleU16(b.m_FirstValue[q], 1.3);
            b.Range[q] = ScaleU16(b.Range[q], 1.3);
        }, p);
        break;
    case 21:
        if (p == MyPlayer)
            S().fogOff();
        break;
    case 22: ForEachUnitType(n, {11, 12}, [](TBasicUnit& b, std::uint8_t q) { b.m_FirstValue[q] = ScaleU16(b.m_FirstValue[q], 1.2); }, p); break;
    case 23: ForEachUnitType(n, {11, 12}, [](TBasicUnit& b, std::uint8_t q) { b.BuildTime[q] = ScaleU16(b.BuildTime[q], 0.9); }, p); break;
    case 24: g_UnitArmourFactor[p] *= 1.2f; break;
    case 25:
        ForEachUnitType(n, {17, 18, 19, 20}, [](TBasicUnit& b, std::uint8_t q) { b.BuildTime[q] = ScaleU16(b.BuildTime[q], 0.5); }, p);
        ForEachHouseOf(p, HOUSE_PORT, [](THouse& port) {
            if (port.ShipUnderConstruction != nullptr)
                port.ProductionTimer *= 0.5f;
        });
        break;
    case 26: ForEachUnitType(n, {11, 12}, [](TBasicUnit& b, std::uint8_t q) { b.BuildTime[q] = ScaleU16(b.BuildTime[q], 0.7); }, p); break;
    default:
        break;
    }
}

void CompleteScience(THouse* h, std::uint8_t u)
{
    const int index = u - UPGRADE_ID_FIRST;
    if (index < 0 || index >= SCIENCE_UPGRADES)
        return;
    ScienceEffect(h, u);
    const std::uint8_t p = h->Owner;
    // Which research repeats follows the research table: indices 13..17 may be taken again.
    if (index >= SCIENCE_REPEATABLE_FIRST && index <= SCIENCE_REPEATABLE_LAST) {
        g_ScienceTaken[p][index] = 0;
        g_ScienceDone[p][index] = 0;
        return;
    }
    g_ScienceDone[p][index] = 1;
    if (index < SCIENCE_SINGLE_FLAGS)
        g_ScienceDoneFlags[index][p] = 1;
}

void CompleteWar(THouse* h, std::uint8_t u)
{
    if (u < UPGRADE_ID_FIRST || u > 28) {
        ReportError("Unknown upgrade in acadwar");
        return;
    }
    WarEffect(h, u - 2);
    g_WarDone[h->Owner][u - UPGRADE_ID_FIRST] = 1;
}

} // namespace

const THouseHandlerTables g_HouseHandlers = MakeHandlerTables();

// ---- services ---------------------------------------------------------------------------------

THouseBehaviourServices THouseBehaviourServices::Default()
{
    THouseBehaviourServices s;
    s.isComputerPlayer = [](std::uint8_t p) { return IsComputerPlayer(p); };
    s.nation = [](std::uint8_t p) -> std::uint8_t {
        return p < 8 && g_Strateg[p] != nullptr && g_Strateg[p]->Nation < HOUSE_NEUTRAL_SIDE ? g_Strateg[p]->Nation : 0;
    };
    s.economyOption = [](std::uint8_t p, int n) {
        return p < ADVISOR_PLAYERS && n >= 1 && n <= ADVISOR_OPTIONS && g_AdvisorOptions[p][n - 1] != 0;
    };
    s.warOption = [](std::uint8_t p, int n) {
        return p < ADVISOR_PLAYERS && n >= 1 && n <= ADVISOR_OPTIONS && g_WarAdvisorOptions[p][n - 1] != 0;
    };
    s.compAssist = [](std::uint8_t p) { return p < 8 && g_CompAssist[p] != 0; };
    s.warAssist = [](std::uint8_t p) { return p < 8 && g_WarAssist[p] != 0; };
    s.spendable = [](std::uint8_t p, std::uint8_t r) { return GetSpendableResource(p, r); };
    s.addResource = [](std::uint8_t p, std::uint8_t r, double a) { AddResourceAmount(p, r, a); };
    s.addExtracted = [](std::uint8_t p, std::uint8_t r, double a) { AddExtractedResource(p, r, a); };
    s.resourceFell = [](std::uint8_t p, std::uint8_t r) { return ResourceFellSinceSample(p, r); };
    s.subtractCost = [](std::uint8_t p, const std::int32_t* cost) { SubtractCost(p, cost); };
    s.population = [](std::uint8_t p) { return GetPopulation(p); };
    s.populationCap = [](std::uint8_t p) { return GetPopulationCap(p); };
    s.addPopulationCap = [](std::uint8_t p, std::int32_t d) { AddPopulationCap(p, d); };
    s.relation = [](std::uint8_t p, std::uint8_t q) { return GetPlayerRelation(p, q); };
    s.isDead = [](std::uint8_t p) { return IsPlayerDead(p); };
    s.markGrid = [](std::uint8_t p, float x, float y, std::uint8_t v) {
        if (p < 8 && g_Strateg[p] != nullptr)
            g_Strateg[p]->MarkGrid(x, y, v);
    };
    s.firstUnit = [](std::uint8_t p) { return FirstPlayerUnit(p); };
    s.shipUnits = []() -> const std::vector<TUnit*>& { return g_ShipUnits; };
    s.removeFromQueue = [](std::uint8_t p, std::uint16_t h, std::uint16_t t, std::uint8_t r) {
        RemoveUnitFromHouseQueue(p, h, t, r);
    };
    s.goToObject = [](TUnit* u, TUnit* from, std::uint16_t code, std::uint16_t slot) { GoToObject(u, from, code, slot); };
    s.houseSearchTarget = [](THouse* h) { return HouseSearchTarget(h); };
    s.artilleryFire = [](THouse* h, TUnit* t) { ArtilleryFire(h, t); };
    s.delayedExplosion = [](float x, float y, std::uint32_t type) { AddDelayedExplosion(x, y, type); };
    s.removeUnitFromGame = [](TUnit* u, std::uint8_t killer) { RemoveUnitFromGame(u, killer); };
    s.refreshTargetGridHouses = [] { RefreshTargetGridHouses(); };
    s.isWater = [](std::int32_t x, std::int32_t y) { return HouseServices().isWater(x, y); };
    s.refreshPanel = [] { UpdateInterfacePanel(0); };
    s.fogOff = [] { g_bFogOfWar = 0; };
    return s;
}

THouseBehaviourServices& HouseBehaviourServices()
{
    static THouseBehaviourServices services = THouseBehaviourServices::Default();
    return services;
}

// ---- entry points -----------------------------------------------------------------------------

void HouseCycleHandler(THouse* h)
{
    if (Runnable(h) && g_HouseHandlers.cycle[h->HouseType] != nullptr)
        g_HouseHandlers.cycle[h->HouseType](h);
}

namespace {

// The unit type an emplacement turns into, of the nation whose row holds the building's type.
TBasicUnit* EmplacementUnitType(const THouse* h, std::uint8_t& nation)
{
    if (h == nullptr || h->TypeRecord == nullptr || h->HouseType != HOUSE_UNIT_EMPLACEMENT)
        return nullptr;
    const auto row = static_cast<std::uint32_t>((h->TypeRecord - g_HouseTypes) / HOUSE_TYPES_PER_SIDE);
    nation = static_cast<std::uint8_t>(row);
    return GetUnitType(row, EMPLACEMENT_UNIT_TYPE);
}

} // namespace

void TakeEmplacementUnitGraphic(THouse* h)
{
    std::uint8_t nation = 0;
    if (TBasicUnit* type = EmplacementUnitType(h, nation))
        type->AddRef(nation);
}

void ReleaseEmplacementUnitGraphic(THouse* h)
{
    std::uint8_t nation = 0;
    if (TBasicUnit* type = EmplacementUnitType(h, nation))
        type->Release(nation);
}

void HouseComeHandler(THouse* h)
{
    if (Runnable(h) && g_HouseHandlers.come[h->HouseType] != nullptr)
        g_HouseHandlers.come[h->HouseType](h);
}

void HouseLeaveHandler(THouse* h)
{
    if (Runnable(h) && g_HouseHandlers.leave[h->HouseType] != nullptr)
        g_HouseHandlers.leave[h->HouseType](h);
}

void NeutralHouseLeaveHandler(THouse*) {}

bool InitResourceMultipliers()
{
    for (int p = 0; p < 8; ++p) {
        g_PowerSupply[p] = 0.0f;
        g_PowerDemand[p] = 0.0f;
        g_MintCount[p] = 0;
    }
    for (float* factor : {g_PowerSupplyScale, g_PowerDemandScale, g_OilFactor, g_WoodFactor, g_MetalFactor,
                          g_GatherFactor, g_HouseArmourFactor, g_MintFactor})
        std::fill(factor, factor + 8, 1.0f);
    return true;
}

namespace {

// The stored order of the per-player values; null entries are kept for other modules.
constexpr int kStoredFloatArrays = 9;
float* const kStoredFloats[kStoredFloatArrays] = {g_PowerSupply, g_PowerDemand, g_PowerSupplyScale,
                                                  g_PowerDemandScale, g_OilFactor, g_WoodFactor,
                                                  g_MetalFactor, g_GatherFactor, g_HouseArmourFactor};
constexpr int kStoredSwitchBytes = 2 * 8;
struct TStoredWordArray {
    float* f32 = nullptr;
    std::uint32_t* u32 = nullptr;
};
const TStoredWordArray kStoredWords[12] = {
    {g_MintFactor, nullptr}, {nullptr, g_MintCount}, {g_AccuracyFactor, nullptr}, {g_WarResearchFactorB, nullptr},
    {g_ShelterFactor, nullptr}, {g_UnitArmourFactor, nullptr}, {g_AirDamageFactor, nullptr},
    {g_GasFactor, nullptr}, {g_ShotAccuracyFactor, nullptr}, {g_HealRate, nullptr}, {nullptr, g_SpecialShells},
    {nullptr, nullptr},
};

} // namespace

void SavePlayerBuildingValues(TOfStreamMemory& out)
{
    for (const float* values : kStoredFloats)
        for (int p = 0; p < 8; ++p)
            out.WriteF32(values[p]);
    for (int i = 0; i < kStoredSwitchBytes; ++i)
        out.WriteU8(0);
    for (const TStoredWordArray& a : kStoredWords)
        for (int p = 0; p < 8; ++p)
            out.WriteU32(a.f32 != nullptr ? std::bit_cast<std::uint32_t>(a.f32[p]) : a.u32 != nullptr ? a.u32[p] : 0);
}

bool LoadPlayerBuildingValues(std::span<const std::uint8_t> block)
{
    if (block.size() != static_cast<std::size_t>(PLAYER_BUILDING_VALUES_BYTES)) {
        ReportError("The per-player building values are cut short");
        return false;
    }
    auto word = [&](int array, int player) {
        return plat::ReadU32LE(block.data() + 4 * (8 * array + player));
    };
    auto wordArray = [&](int i, int player) {
        return plat::ReadU32LE(block.data() + 4 * 8 * kStoredFloatArrays + kStoredSwitchBytes + 4 * (8 * i + player));
    };
    // Every float is checked before anything changes: the handlers turn them into integers.
    for (int a = 0; a < kStoredFloatArrays; ++a)
        for (int p = 0; p < 8; ++p)
            if (!std::isfinite(std::bit_cast<float>(word(a, p)))) {
                ReportError("The per-player building values hold a value that is not a number");
                return false;
            }
    for (int i = 0; i < 12; ++i)
        for (int p = 0; p < 8; ++p)
            if (kStoredWords[i].f32 != nullptr && !std::isfinite(std::bit_cast<float>(wordArray(i, p)))) {
                ReportError("The per-player research factors hold a value that is not a number");
                return false;
            }
    for (int a = 0; a < kStoredFloatArrays; ++a)
        for (int p = 0; p < 8; ++p)
            kStoredFloats[a][p] = std::bit_cast<float>(word(a, p));
    for (int i = 0; i < 12; ++i)
        for (int p = 0; p < 8; ++p) {
            if (kStoredWords[i].f32 != nullptr)
                kStoredWords[i].f32[p] = std::bit_cast<float>(wordArray(i, p));
            else if (kStoredWords[i].u32 != nullptr)
                kStoredWords[i].u32[p] = wordArray(i, p);
        }
    return true;
}

namespace {

// The walk's (u16)(int) conversion, defined for every float a loaded game may hold.
std::uint16_t WalkU16(double v)
{
    if (!std::isfinite(v))
        return 0;
    v = std::clamp(v, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                   static_cast<double>(std::numeric_limits<std::int32_t>::max()));
    return static_cast<std::uint16_t>(static_cast<std::int32_t>(v));
}

} // namespace

std::uint16_t PowerDemandOf(std::uint8_t p)
{
    return WalkU16(static_cast<double>(g_PowerDemand[p]) / g_PowerDemandScale[p]);
}

std::uint16_t PowerSupplyOf(std::uint8_t p)
{
    return WalkU16(static_cast<double>(g_PowerSupplyScale[p]) * g_PowerSupply[p]);
}

void AssignIdleWorker(THouse* h, std::uint8_t mode)
{
    if (!Runnable(h))
        return;
    const std::uint8_t p = h->Owner;
    if (!EconomyOption(p, 5))
        return;
    if (mode == 0 ? !ItsTurn(h) : !EveryPeriod(h, 300))
        return;
    if (h->InsideCount >= h->Capacity || !AutomationAllowed(p))
        return;
    SendInto(h, NearestUnit(h, kWorkerSearchRadius, [](const TUnit* u) {
        return u->Basic != nullptr && u->Basic->m_Kind == UNIT_KIND_WORKER && u->Halted != 0 && u->Work == UNIT_NO_WORK;
    }));
}

void BarnPlantField(THouse* h)
{
    if (!Runnable(h))
        return;
    const std::uint8_t nation = S().nation(h->Owner);
    const std::uint16_t crop = nation == 1 ? kCropNation1 : (nation == 3 || nation == 4 ? kCropNation3 : kCropNation0);
    for (const plat::Point& c : BarnFieldCells(*h)) {
        if (!IsInPlayableBorder(c.x, c.y))
            continue;
        const std::uint16_t code = GetObjectFromMap(c);
        // Buildings (the barn's own footprint among them), aprons and resource points keep their
        // cells; so do trenches, whose list names the cells they hold.
        if ((code >= kObjectNeutralHouseFirst && code <= kObjectPlayerHouseLast) || code == OBJECT_TANK_APRON ||
            (code >= OBJECT_OIL_POINT && code <= OBJECT_IRON_POINT) || code >= kObjectTrenchListFirst ||
            S().isWater(c.x, c.y))
            continue;
        SetObjectMap(c, static_cast<std::uint16_t>(crop + (RandomDraw() & 1u)));
    }
    if (IsCellNearView(h->X, h->Y))
        g_bMapViewDirty = 1;
}

void WriteHouseCells(THouse* h)
{
    BarnPlantField(h);
}

void DecayBarnFields()
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < s_DecayList.size(); ++i) {
        const std::uint32_t cell = s_DecayList[i];
        if (cell >= g_MapCellCount || g_MapWidth == 0)
            continue;
        const plat::Point c{static_cast<std::int32_t>(cell % g_MapWidth), static_cast<std::int32_t>(cell / g_MapWidth)};
        if (!IsCrop(GetObjectFromMap(c)))
            continue;
        bool guarded = false;
        for (const plat::Point& n : AreaCells({c.x, c.y + 6}, 7, 7)) {
            if (!CellPointInMap(n))
                continue;
            const THouse* b = HouseFromObjectCode(GetObjectFromMap(n));
            if (b != nullptr && b->Owner < 8 && b->HouseType == HOUSE_BARN && b->IsFinished() && b->Destroyed == 0) {
                guarded = true;
                break;
            }
        }
        if (guarded)
            continue;
        if (RandomDraw() % 300u == 1u) {
            SetObjectMap(c, kObjectFree);
            if (IsCellNearView(c.x, c.y))
                g_bMapViewDirty = 1;
            continue;
        }
        s_DecayList[kept++] = cell;
    }
    s_DecayList.resize(kept);
}

const std::vector<std::uint32_t>& BarnDecayList()
{
    return s_DecayList;
}

void FreeBarnDecayList()
{
    s_DecayList.clear();
    s_DecayList.shrink_to_fit();
}

void PushUnitToHouseQueue(std::uint8_t player, std::uint16_t house, std::uint16_t unitType, std::uint8_t refund)
{
    S().removeFromQueue(player, house, unitType, refund);
}

void AdvanceHouseUpgrade(THouse* h)
{
    if (!Runnable(h) || h->UpgradeRunning == 0)
        return;
    const std::uint16_t demand = PowerDemandOf(h->Owner);
    const std::uint16_t supply = PowerSupplyOf(h->Owner);
    h->UpgradeCountdown -= demand > supply ? static_cast<float>(supply) / static_cast<float>(demand) : 1.0f;
    if (h->UpgradeCountdown <= 0.0f) {
        h->UpgradeRunning = 0;
        THouse::ApplyUpgrade(h);
    }
}

// ---- THouse -----------------------------------------------------------------------------------

void THouse::MuzzleFlash(THouse* h)
{
    if (!Runnable(h))
        return;
    const THouseType& t = h->Type();
    const std::uint32_t spots = std::min<std::uint32_t>(t.m_MuzzleCount, HOUSE_LIST_SIZE);
    if (spots == 0)
        return;
    const TFloatPoint ref = HouseReferencePixel(h->X, h->Y);
    S().markGrid(h->Owner, ref.x, ref.y, kAlertValue);
    const std::uint32_t r = RandomDraw();
    std::uint32_t spot = h->InsideCount > 0 && h->InsideCount < spots ? r % h->InsideCount : r % spots;
    if (h->HouseType == HOUSE_PILLBOX || h->HouseType == HOUSE_BUNKER || h->HouseType == HOUSE_WATCHTOWER)
        spot = RandomDraw() % spots;
    const float cellHeight = CellPointInMap({h->X, h->Y}) ? GetHeightFromMap(plat::Point{h->X, h->Y}) : 0.0f;
    const float x = ref.x - t.m_AnchorX + t.m_MuzzleX[spot];
    const float y = ref.y - t.m_AnchorY + t.m_MuzzleY[spot] - cellHeight;
    S().delayedExplosion(x, y, HOUSE_MUZZLE_FLASH_EXPLOSION);
}

void THouse::ApplyUpgrade(THouse* h)
{
    if (!Runnable(h))
        return;
    g_bResearchChanged = 1;
    h->UpgradeFlag = 0;
    h->UpgradeFlagPointer = nullptr;
    const std::uint8_t p = h->Owner;
    const std::uint8_t u = h->UpgradeInProgress;
    if (u == 2) {
        ApplyTypeStage(h);
    } else {
        switch (h->HouseType) {
        case HOUSE_POWER_PLANT:
        case HOUSE_PILLBOX:
        case HOUSE_BUNKER:
        case HOUSE_DWELLING:
        case HOUSE_IRON_MAKER:
        case HOUSE_GOLD_MAKER:
        case HOUSE_OIL_MAKER:
        case HOUSE_WATCHTOWER:
            h->UpgradeLevel = AddU8(h->UpgradeLevel, 1);
            break;
        default:
            break;
        }
        switch (h->HouseType) {
        case HOUSE_POWER_PLANT:
            if (u == 3) {
                g_PowerSupply[p] += 0.15f * h->Output;
                h->Output *= 1.15f;
            } else if (u >= 4 && u <= 8) {
                g_PowerSupply[p] += 0.2f * h->Output;
                h->Output *= 1.2f;
            } else {
                ReportError("Unknown upgrade in powerplant");
            }
            break;
        case HOUSE_PILLBOX:
        case HOUSE_BUNKER:
            if (u == 3 || u == 6) {
                const float half = h->MaxHitPoints * 0.5f;
                h->MaxHitPoints = ScaleU16(h->MaxHitPoints, 1.5);
                h->HitPoints += half;
            } else if (u == 4) {
                h->Range *= 1.3f;
            } else if (u == 5) {
                h->Shots = AddU8(h->Shots, 2);
            } else {
                ReportError("Unknown upgrade in dot");
            }
            break;
        case HOUSE_DWELLING:
            if (u >= 3 && u <= 8) {
                static constexpr float kGrowth[6] = {1.15f, 1.2f, 1.3f, 1.4f, 1.5f, 1.6f};
                S().addPopulationCap(p, -static_cast<std::int32_t>(h->Output));
                h->Output *= kGrowth[u - 3];
                S().addPopulationCap(p, static_cast<std::int32_t>(h->Output));
            } else {
                ReportError("Unknown upgrade in house");
            }
            break;
        case HOUSE_IRON_MAKER:
        case HOUSE_GOLD_MAKER:
            if (u == 3)
                h->Output *= 1.25f;
            else if (u >= 4 && u <= 8)
                h->Output *= 1.5f;
            else
                ReportError(h->HouseType == HOUSE_IRON_MAKER ? "Unknown upgrade in ironmaker"
                                                              : "Unknown upgrade in goldmaker");
            break;
        case HOUSE_OIL_MAKER:
            if (u == 3)
                h->Output *= 1.25f;
            else if (u >= 4 && u <= 8)
                h->Output *= 1.35f;
            else
                ReportError("Unknown upgrade in oilmaker");
            break;
        case HOUSE_MINT:
            g_MintUpgraded[p] = 1;
            if (g_MintCount[p] > 0)
                g_MintFactor[p] = 2.0f;
            break;
        case HOUSE_WATCHTOWER:
            if (u == 3)
                h->FireValue = AddU8(h->FireValue, 5);
            else if (u == 4)
                h->Shots = AddU8(h->Shots, 2);
            else if (u == 5)
                h->Range *= 1.5f;
            else if (u == 6)
                h->ReloadA *= 0.65f;
            else
                ReportError("Unknown upgrade in wathtower");
            break;
        case HOUSE_BARRACKS:
            if (h->Type().m_NoCapacity < BASIC_UPGRADE_ROWS)
                ++h->Type().m_NoCapacity;
            break;
        case HOUSE_SCIENCE_ACADEMY:
            CompleteScience(h, u);
            break;
        case HOUSE_WAR_ACADEMY:
            CompleteWar(h, u);
            break;
        default:
            break;
        }
    }
    if (p == MyPlayer)
        S().refreshPanel();
}
