// The target searches of units, ships, aircraft, tanks' machine guns and defensive buildings.
#include "combat/target_search.h"

#include <algorithm>

#include "combat/house_events.h"
#include "combat/target_grid.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/unit_queries.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace {

constexpr std::uint8_t kWorkSheltered = STAY_IN_HOUSE;
constexpr std::uint8_t kWorkTransported = 20;
constexpr std::uint8_t kAnimAim = 6;
constexpr std::uint16_t kTypeAntiAir = 13;
constexpr std::uint16_t kTypeFlameSearcher = 9;
constexpr std::uint8_t kFirstCountdownLimit = 13;
constexpr std::uint8_t kFirstCountdownHolding = 9;
constexpr float kPointBlank = 50.0f;
constexpr float kWorkerReach = 150.0f;
constexpr float kHeldTargetReach = 1000000.0f;
constexpr float kArtilleryMinimumShare = 0.2f;
constexpr std::uint8_t kAttackMode = 1;

bool Alive(const TUnit* u)
{
    return u->Dead == 0 && u->Basic != nullptr;
}

float Range(const TUnit* u)
{
    return u->Basic != nullptr && u->Player < UNIT_PLAYERS ? static_cast<float>(u->Basic->Range[u->Player]) : 0.0f;
}

float Distance(const TUnit* a, const TUnit* b)
{
    return PixelDistance(a->X, a->Y, b->X, b->Y);
}

void MarkAlert(std::uint8_t player, float x, float y)
{
    if (player < UNIT_PLAYERS && g_Strateg[player] != nullptr)
        g_Strateg[player]->MarkGrid(x, y, STRATEG_GRID_MARK);
}

// Every unit of the per-cell lists in the window of columns and rows on each side of a cell, the
// window kept inside the map on both axes.
template <class Visit>
void ForUnitsAround(std::int32_t cx, std::int32_t cy, std::int32_t columns, std::int32_t rows, Visit visit)
{
    if (g_pUnitsMap == nullptr || g_MapWidth == 0 || g_MapHeight == 0)
        return;
    const std::int32_t x0 = std::max(cx - columns, 0);
    const std::int32_t x1 = std::min(cx + columns, static_cast<std::int32_t>(g_MapWidth) - 1);
    const std::int32_t y0 = std::max(cy - rows, 0);
    const std::int32_t y1 = std::min(cy + rows, static_cast<std::int32_t>(g_MapHeight) - 1);
    for (std::int32_t y = y0; y <= y1; ++y)
        for (std::int32_t x = x0; x <= x1; ++x) {
            TUnit** list = g_pUnitsMap[CellIndex(x, y)];
            if (list == nullptr)
                continue;
            for (int i = 0; i < kCellUnitCapacity && list[i] != nullptr; ++i)
                if (!visit(list[i]))
                    return;
        }
}

// A window corner's coordinate, kept inside the map's pixels.
float ClampCorner(float v, std::int32_t size)
{
    v = std::max(v, 1.0f);
    if (!(v < static_cast<float>(size)))
        v = static_cast<float>(size - 1);
    return v;
}

struct TSearchRules {
    bool mayAir = true;
    bool onlyAir = false;
    bool mayBuildings = true;
};

TSearchRules RulesOf(const TUnit* u)
{
    const TBasicUnit& t = *u->Basic;
    TSearchRules r;
    const std::uint8_t kind = t.m_Kind;
    if (u->Type == 15 || u->Type == 0 || kind == 4 || kind == 10 || kind == UNIT_KIND_TANK || t.IsShipUnit())
        r.mayAir = false;
    if (u->Work == kWorkSheltered && u->House != nullptr && (u->House->HouseType == 1 || u->House->HouseType == 7))
        r.mayAir = false;
    if (u->Type == kTypeAntiAir) {
        r.mayAir = true;
        r.onlyAir = true;
    }
    r.mayBuildings = u->Type != kTypeAntiAir && t.m_ParamFlags[1] != 0 && (t.MaxAmmo == 0 || u->Ammo > 1.0f) &&
                     u->Work != kWorkSheltered;
    return r;
}

bool ReactWithList(TUnit* u, const TCandidateList& list, THouse* house)
{
    const std::uint16_t r = RandomDraw();
    const std::uint8_t kind = u->Basic->m_Kind;
    if (kind == UNIT_KIND_FLAME || kind == 10 || kind == UNIT_KIND_BOMBER) {
        if (u->Type == kTypeFlameSearcher)
            for (TUnit* v : list.Units())
                if (v->Type == kTypeAntiAir)
                    return OrderAttackUnit(u, v, kAttackMode) != ATTACK_REFUSED;
        if (house != nullptr) {
            AttackHouse(u, u, house, 0, 1);
            return u->HouseAttack == house;
        }
        std::vector<TUnit*> low;
        for (TUnit* v : list.Units())
            if (v->Height < 1.0f)
                low.push_back(v);
        // Only targets in the air were listed: this searcher starts nothing.
        if (low.empty())
            return false;
        return OrderAttackUnit(u, low[r % low.size()], kAttackMode) != ATTACK_REFUSED;
    }
    if (!list.Empty()) {
        if (u->AttackUnit != nullptr)
            u->m_FirstCountdown = kFirstCountdownHolding;
        return OrderAttackUnit(u, list.At(r % list.Count()), kAttackMode) != ATTACK_REFUSED;
    }
    const THouseType* ht = house->TypeRecord;
    const std::uint32_t slots = (ht != nullptr ? ht->m_FootprintCells + ht->m_FootprintRows : 0) + 3;
    AttackHouse(u, u, house, static_cast<std::uint16_t>(r % slots), 1);
    return u->HouseAttack == house;
}

} // namespace

void TCandidateList::Offer(TUnit* unit, float distance)
{
    if (!(distance < m_Limit))
        return;
    if (m_Units.size() < m_Capacity) {
        m_Units.push_back(unit);
        m_Distances.push_back(distance);
        return;
    }
    for (std::size_t i = 0; i < m_Units.size(); ++i) {
        if (m_Distances[i] > distance) {
            m_Units.insert(m_Units.begin() + static_cast<std::ptrdiff_t>(i), unit);
            m_Distances.insert(m_Distances.begin() + static_cast<std::ptrdiff_t>(i), distance);
            m_Units.pop_back();
            m_Distances.pop_back();
            m_Limit = m_Distances.back();
            return;
        }
    }
}

void TCandidateList::Only(TUnit* unit, float distance)
{
    m_Units.assign(1, unit);
    m_Distances.assign(1, distance);
}

std::size_t SearchListSize(std::uint32_t p)
{
    if (p <= 2000)
        return 5;
    if (p <= 5000)
        return (5000 - p) / 1000 + 1;
    return 1;
}

bool UnitSearchTarget(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr || u->m_bMaySearch == 0)
        return false;
    const TBasicUnit& t = *u->Basic;
    const std::uint8_t kind = t.m_Kind;
    if (kind == UNIT_KIND_TANK && t.AnimationSize[kAnimAim] == 0)
        return false;
    if (IsOneOfCodes(u->Work, {14, 20, 8, 9, 5, 12, 13, 6, 4, 2}) || u->m_bHold != 0 || u->m_SearchDelay != 0)
        return false;
    if (kind == UNIT_KIND_AIRCRAFT)
        return AirKind11SearchTarget(u);
    if (t.IsShipUnit()) {
        const bool found = ShipSearchTarget(u);
        MarkAlert(u->Player, u->X, u->Y);
        if (found)
            return true;
    }

    std::size_t k = SearchListSize(CountAllUnits());
    const TSearchRules rules = RulesOf(u);
    const float range = Range(u);
    float minimum = 0.0f;
    if (kind == 10)
        minimum = kArtilleryMinimumShare * range;
    float unitLimit = range;
    float houseLimit = range;

    TTargetGrid& grid = g_TargetGrid;
    if (grid.CellCount() == 0 || grid.Columns() <= 0)
        return false;
    const auto cellOf = [&](float x, float y, std::int32_t& column, std::int32_t& row) {
        column = static_cast<std::int32_t>(ClampCorner(x, g_MapPixelWidth) * TTargetGrid::kInverseWidth);
        row = static_cast<std::int32_t>(ClampCorner(y, g_MapPixelHeight) * TTargetGrid::kInverseHeight);
    };
    std::int32_t c0 = 0;
    std::int32_t r0 = 0;
    std::int32_t c1 = 0;
    std::int32_t r1 = 0;
    cellOf(u->X - range, u->Y - range, c0, r0);
    cellOf(u->X + range, u->Y + range, c1, r1);
    if (kind == UNIT_KIND_WORKER) {
        cellOf(u->X, u->Y, c0, r0);
        c1 = c0;
        r1 = r0;
        k = 2;
        unitLimit = houseLimit = kWorkerReach;
    } else if (u->AttackUnit != nullptr) {
        cellOf(u->AttackUnit->X, u->AttackUnit->Y, c0, r0);
        c1 = c0;
        r1 = r0;
        k = 2;
        unitLimit = kHeldTargetReach;
    }

    TCandidateList list(k, unitLimit);
    THouse* best = nullptr;
    const std::int64_t cells = static_cast<std::int64_t>(grid.Columns()) * grid.Rows();
    bool done = false;
    // Both bounds are inclusive: the bottom row of a window is often the searcher's own.
    for (std::int32_t c = c0; c <= c1 && !done; ++c) {
        for (std::int32_t row = r0; row <= r1 && !done; ++row) {
            const std::int64_t cell = static_cast<std::int64_t>(row) * grid.Columns() + c;
            if (cell < 0 || cell >= cells)
                continue;
            if (rules.mayBuildings)
                for (THouse* h : grid.HousesAt(static_cast<std::size_t>(cell))) {
                    if (h->Destroyed != 0 || h->Owner == u->Player || !IsEnemy(u->Player, h->Owner))
                        continue;
                    const TFloatPoint centre = HouseCentre(h);
                    const float d = PixelDistance(u->X, u->Y, centre.x, centre.y);
                    if (d < houseLimit && !(d < minimum)) {
                        best = h;
                        houseLimit = d;
                    }
                }
            for (TUnit* v : grid.UnitsAt(static_cast<std::size_t>(cell))) {
                if (v->Player == u->Player || !IsEnemy(u->Player, v->Player))
                    continue;
                const float d = Distance(u, v);
                if (!(d < list.Limit()) || d < minimum || v->m_FirstCountdown >= kFirstCountdownLimit || !Alive(v) ||
                    v->Work == kWorkSheltered || v->Work == kWorkTransported)
                    continue;
                const bool air = IsAirUnit(v);
                if ((air && !rules.mayAir) || (!air && rules.onlyAir))
                    continue;
                if (d < kPointBlank && v->Height < 1.0f) {
                    list.Only(v, d);
                    done = true;
                    break;
                }
                list.Offer(v, d);
            }
        }
    }
    if (list.Empty() && best == nullptr)
        return false;
    return ReactWithList(u, list, best);
}

bool ShipSearchTarget(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr)
        return false;
    // The fixed reach of the game settings is not offered: every game reaches by the range.
    const std::int32_t reach = (static_cast<std::int32_t>(Range(u)) - 200) / kCellWidth;
    TUnit* nearest = nullptr;
    float nearestDistance = 0.0f;
    for (TUnit* v : g_ShipUnits) {
        if (v == u || !Alive(v) || v->m_bShown == 0 || !IsEnemy(u->Player, v->Player))
            continue;
        const std::int32_t dc = std::abs(static_cast<std::int32_t>(v->MapX) - u->MapX);
        const std::int32_t dr = std::abs(static_cast<std::int32_t>(v->MapY) - u->MapY);
        if (dc >= reach || dr >= 2 * reach)
            continue;
        // The first of equally near ships in list order wins, on every machine alike.
        const float d = Distance(u, v);
        if (nearest == nullptr || d < nearestDistance) {
            nearest = v;
            nearestDistance = d;
        }
    }
    if (nearest == nullptr)
        return false;
    OrderAttackUnit(u, nearest, kAttackMode);
    return true;
}

bool AirKind11SearchTarget(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr || u->m_bMaySearch == 0 || IsOneOfCodes(u->Work, {8, 9, 5, 12, 13, 6, 4}))
        return false;
    const float range = Range(u);
    const std::int32_t columns = static_cast<std::int32_t>(range) / kCellWidth;
    const std::int32_t rows = static_cast<std::int32_t>(range) / kCellHeight;
    TCandidateList list(3, range);
    bool sawAir = false;
    ForUnitsAround(u->MapX, u->MapY, columns, rows, [&](TUnit* v) {
        if (!IsAirUnit(v) || !Alive(v) || !IsEnemy(u->Player, v->Player))
            return true;
        const float d = Distance(u, v);
        if (!(d < range))
            return true;
        sawAir = true;
        if (v->Type == 9 || v->Type == 10) {
            list.Only(v, d);
            return false;
        }
        list.Offer(v, d);
        return true;
    });
    if (!sawAir) {
        list = TCandidateList(5, range);
        ForUnitsAround(u->MapX, u->MapY, columns, rows, [&](TUnit* v) {
            if (IsAirUnit(v) || !Alive(v) || v->Work == kWorkSheltered || !IsEnemy(u->Player, v->Player))
                return true;
            const float d = Distance(u, v);
            if (!(d < range))
                return true;
            if (v->AttackUnit == u) {
                list.Only(v, d);
                return false;
            }
            list.Offer(v, d);
            return true;
        });
    }
    if (list.Empty())
        return false;
    OrderAttackUnit(u, list.At(RandomDraw() % list.Count()), kAttackMode);
    return true;
}

std::uint32_t UnitScanAround(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr || (u->m_bMaySearch == 0 && u->m_SearchDelay == 0))
        return 0;
    const float range = Range(u);
    const float reach = u->Basic->MachineGunReach;
    TCandidateList list(3, reach);
    ForUnitsAround(u->MapX, u->MapY, static_cast<std::int32_t>(range) / kCellWidth,
                   static_cast<std::int32_t>(range) / kCellHeight, [&](TUnit* v) {
                       if (!Alive(v) || v->Work == kWorkSheltered || v->Work == kWorkTransported ||
                           !IsEnemy(u->Player, v->Player) || IsAirUnit(v) || IsShipTypeUnit(v) ||
                           (UnitKindOf(v) == UNIT_KIND_TANK && v->Type != 23))
                           return true;
                       list.Offer(v, Distance(u, v));
                       return true;
                   });
    u->GunTarget = list.Empty() ? nullptr : list.At(RandomDraw() % list.Count());
    return static_cast<std::uint32_t>(list.Count());
}

bool HouseSearchTarget(THouse* h)
{
    if (h == nullptr || !(h->Range > 0.0f))
        return false;
    const TFloatPoint centre = HouseCentre(h);
    const float range = h->Range;
    TCandidateList list(10, range);
    const bool airOnly = h->HouseType == 21;
    ForUnitsAround(h->X, h->Y, static_cast<std::int32_t>(range / kCellWidth),
                   static_cast<std::int32_t>(range / kCellHeight), [&](TUnit* v) {
                       if (!Alive(v) || !IsEnemy(h->Owner, v->Player) || (IsAirUnit(v) && !airOnly))
                           return true;
                       list.Offer(v, PixelDistance(centre.x, centre.y, v->X, v->Y));
                       return true;
                   });
    if (list.Empty())
        return false;
    TUnit* target = list.At(RandomDraw() % list.Count());
    h->TargetUnit = target;
    h->TargetPlayer = target->Player;
    MarkAlert(h->Owner, target->X, target->Y);
    MarkAlert(h->Owner, centre.x, centre.y);
    return true;
}
