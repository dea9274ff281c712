// The group manager and the computer player's army.
//
// Mode choice of ArmyThink (the war template picks the pace, the draws the mode):
//   template 1: always the defence of the own territory;
//   templates 2 and 3: draw % 5 == 1 defence, else a land attack; template 2 defends when the war
//     advisor byte 0 is clear;
//   templates 4 and 5: an odd draw is a land attack; else draw % 10 == 1 an air attack; template 5
//     with a draw below 15000 a naval attack; else defence when the step's first draw was below
//     1500, a land attack otherwise.
// A planned attack (level 3) turns a defence step into a land attack.
// An attack gathers the picked units at a quiet point 1000 pixels short of the target and then
// marches them in formation on the enemy's building (or the unit) nearest to the player's base;
// a group that lost most of its members walks back to the base point.
#include "players/group_manager.h"

#include <algorithm>
#include <cmath>

#include "combat/house_events.h"
#include "combat/transport_ai.h"
#include "core/error_log.h"
#include "core/memory_stream.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "core/string_table.h"
#include "map/map_grid.h"
#include "map/minimap.h"
#include "movement/group.h"
#include "movement/group_orders.h"
#include "movement/passability.h"
#include "players/dispatcher.h"
#include "players/economy.h"
#include "players/game_cycle.h"
#include "players/house_orders.h"
#include "players/placement.h"
#include "players/strateg.h"
#include "units/build_site.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"
#include "ui/player_services.h"

std::uint16_t g_ArmyShortDelay = 0;
std::uint16_t g_ArmyLongDelay = 0;

namespace {

constexpr float kAnchorRange = 2000.0f;
constexpr float kShipRange = 2500.0f;
constexpr float kGatherDistance = 1000.0f;
// A land attack sets out with at least this many units; a group that has done its order fights on
// with at least this many and is dissolved with fewer.
constexpr std::size_t kMinLandAttack = 10;
constexpr std::uint16_t kMinHoldingGroup = 4;
constexpr std::int32_t kAlarmCountdown = 40;
constexpr std::uint16_t kRaisedPathBudget = 100;
constexpr std::uint16_t kSignalRadius = 20;
constexpr int kTextX = 30;
constexpr int kTextY = 22;
constexpr std::uint32_t kWhite = 0xFFFFFF;

TStrateg* Record(std::uint8_t p)
{
    return p < 8 ? g_Strateg[p] : nullptr;
}

bool Alive(std::uint8_t p)
{
    const TStrateg* s = Record(p);
    return s != nullptr && s->Dead == 0 && s->OutOfGame == 0;
}

float Dist2(float ax, float ay, float bx, float by)
{
    return (ax - bx) * (ax - bx) + (ay - by) * (ay - by);
}

bool Within(const TUnit* a, const TUnit* b, float range)
{
    return Dist2(a->X, a->Y, b->X, b->Y) < range * range;
}

bool IsFighting(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->CanBeInGroup();
}

// A unit inside a building. The building a unit walked out of stays in its House field, so only
// the work tells.
bool Garrisoned(const TUnit* u)
{
    return u->Work == STAY_IN_HOUSE;
}

// Whether the unit's weapon can damage buildings (rifles cannot).
bool HarmsBuildings(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->m_ParamFlags[1] != 0;
}

// The enemy's living unit nearest to the pixel point; null when there is none.
TUnit* NearestLivingUnit(std::uint8_t enemy, float x, float y)
{
    const TStrateg* s = Record(enemy);
    TUnit* best = nullptr;
    float bestD = 0.0f;
    for (TUnit* u = s != nullptr ? s->FirstUnit : nullptr; u != nullptr; u = u->m_pNext) {
        if (u->Dead != 0 || u->HitPoints <= 0.0f)
            continue;
        const float d = Dist2(u->X, u->Y, x, y);
        if (best == nullptr || d < bestD) {
            best = u;
            bestD = d;
        }
    }
    return best;
}

plat::Point BasePixel(std::uint8_t p)
{
    const TStrateg* s = Record(p);
    if (s != nullptr && s->Planner && s->Planner->HomeX != STRATEG_AI_UNSET)
        return CellPixel(s->Planner->HomeX, s->Planner->HomeY);
    for (std::uint16_t i = 0; g_pHouse[p] != nullptr && i < NumHouse[p]; ++i)
        if (g_pHouse[p][i].TypeRecord != nullptr && g_pHouse[p][i].Destroyed == 0)
            return CellPixel(g_pHouse[p][i].X, g_pHouse[p][i].Y);
    return {0, 0};
}

// The rectangle of cells around a building: its footprint widened by the margin on every side.
TSiteSquare AroundHouse(const THouse* h, std::int32_t margin)
{
    const std::int32_t rows = h->TypeRecord != nullptr ? h->TypeRecord->m_FootprintRows : 1;
    const std::int32_t cells = h->TypeRecord != nullptr ? h->TypeRecord->m_FootprintCells : 1;
    return {h->X - margin, h->Y - margin, h->X + cells + margin, h->Y + rows + margin};
}

bool CellIn(const TSiteSquare& r, std::int32_t x, std::int32_t y)
{
    return x >= r.x0 && x <= r.x1 && y >= r.y0 && y <= r.y1;
}

} // namespace

std::uint16_t ArmyShortDelay(std::uint8_t hardLevel)
{
    return static_cast<std::uint16_t>(static_cast<int>((4 - static_cast<int>(hardLevel)) * 33.333334f));
}

std::uint16_t ArmyLongDelay(std::uint8_t hardLevel)
{
    return static_cast<std::uint16_t>(static_cast<int>((4 - static_cast<int>(hardLevel)) * 166.66667f));
}

TGroupManager::TGroupManager(std::uint8_t player, std::uint8_t nation) : Player(player), Nation(nation) {}

TGroupManager::~TGroupManager()
{
    // The groups die with the player record's store (FreeGroups at the end of a game).
}

const std::vector<TGroup*>& TGroupManager::Groups() const
{
    return PlayerGroups(Player);
}

TGroup* TGroupManager::CreateGroup()
{
    return NewGroup(Player);
}

TGroup* TGroupManager::FindGroupById(std::uint32_t id) const
{
    for (TGroup* g : Groups())
        if (g->Id == id)
            return g;
    return nullptr;
}

void TGroupManager::Update()
{
    if (Player >= 8)
        return;
    const TStrateg* s = Record(Player);
    if (s != nullptr && (g_WarAssist[Player] != 0 || s->Kind == PLAYER_KIND_COMPUTER))
        ArmyThink();
    const bool ownerDead = s == nullptr || s->Dead != 0;
    const std::size_t before = Groups().size();
    if (ownerDead)
        for (TGroup* g : Groups())
            g->Disbanded = 1;
    UpdateGroups(Player);
    if (Groups().size() != before && Player == MyPlayer)
        ToggleGroupWindow();
}

std::uint8_t TGroupManager::ChooseEnemy()
{
    const TStrateg* self = Record(Player);
    const int n = g_wNumPlayer;
    int chosen = -1;
    for (int t = 0; t < 2 * n; ++t) {
        const int p = t % n;
        if (p == Player || !Alive(static_cast<std::uint8_t>(p)))
            continue;
        const TStrateg* other = Record(static_cast<std::uint8_t>(p));
        const std::uint8_t mine = self != nullptr ? self->Relations[p] : 0;
        const std::uint8_t theirs = other->Relations[Player];
        if (mine == theirs && mine != 0)
            continue; // mutual peace
        if (chosen < 0 || (RandomDraw() & 1) != 0)
            chosen = p;
    }
    return chosen < 0 ? Player : static_cast<std::uint8_t>(chosen);
}

bool TGroupManager::TargetPoint(std::uint8_t enemy, std::int32_t& x, std::int32_t& y) const
{
    // The enemy's building nearest to the base point, else its unit nearest to it.
    const plat::Point base = BasePixel(Player);
    float bestD = -1.0f;
    for (std::uint16_t i = 0; enemy < 8 && g_pHouse[enemy] != nullptr && i < NumHouse[enemy]; ++i) {
        const THouse& h = g_pHouse[enemy][i];
        if (h.TypeRecord == nullptr || h.Destroyed != 0 || !InBuildingArea(h.X, h.Y))
            continue;
        const plat::Point c = CellPixel(h.X, h.Y);
        const float d = Dist2(static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(base.x),
                              static_cast<float>(base.y));
        if (bestD < 0.0f || d < bestD) {
            bestD = d;
            x = c.x;
            y = c.y;
        }
    }
    if (bestD >= 0.0f)
        return true;
    const TUnit* u = NearestLivingUnit(enemy, static_cast<float>(base.x), static_cast<float>(base.y));
    if (u == nullptr)
        return false;
    const plat::Point cell = PixelToFlatCell(u->X, u->Y);
    if (!InBuildingArea(cell.x, cell.y))
        return false;
    x = static_cast<std::int32_t>(u->X);
    y = static_cast<std::int32_t>(u->Y);
    return true;
}

bool TGroupManager::ArmyThink()
{
    ++ArmyCounter;
    const std::uint16_t r = RandomDraw();
    if (HardLevel > GROUP_MANAGER_MAX_HARD_LEVEL)
        ReportError("HardLevel>3");
    const std::uint8_t level = std::min(HardLevel, GROUP_MANAGER_MAX_HARD_LEVEL);
    g_ArmyShortDelay = ArmyShortDelay(level);
    g_ArmyLongDelay = ArmyLongDelay(level);
    std::uint32_t delay = 0;
    switch (WarTemplate) {
    case 1:
    case 2:
    case 5:
        delay = g_ArmyShortDelay;
        break;
    case 3:
    case 4:
        delay = g_ArmyLongDelay;
        break;
    default:
        return false;
    }
    if (ArmyCounter < delay)
        return false;
    ArmyCounter = 0;
    const std::uint8_t* war = g_WarAdvisorOptions[Player];
    std::uint8_t mode = ARMY_MODE_DEFENCE;
    if (WarTemplate == 2 || WarTemplate == 3) {
        mode = RandomDraw() % 5 == 1 ? ARMY_MODE_DEFENCE : ARMY_MODE_LAND;
        if (WarTemplate == 2 && war[0] == 0)
            mode = ARMY_MODE_DEFENCE;
    } else if (WarTemplate == 4 || WarTemplate == 5) {
        if ((RandomDraw() & 1) != 0)
            mode = ARMY_MODE_LAND;
        else if (RandomDraw() % 10 == 1)
            mode = ARMY_MODE_AIR;
        else if (WarTemplate == 5 && RandomDraw() < 15000)
            mode = ARMY_MODE_NAVAL;
        else
            mode = r < 1500 ? ARMY_MODE_DEFENCE : ARMY_MODE_LAND;
    }
    if (level == 3) {
        if (AttackPlanned == 0 && RandomDraw() % 101 == 1) {
            AttackPlanned = 1;
            PlannedDelay = RandomDraw() % 10;
        }
        if (WarTemplate == 3 && RandomDraw() % 51 == 2)
            WarTemplate = 2;
        else if (WarTemplate == 2 && RandomDraw() % 51 == 2)
            WarTemplate = 3;
    }
    bool planned = false;
    if (AttackPlanned != 0) {
        if (PlannedDelay > 0) {
            --PlannedDelay;
            return true;
        }
        AttackPlanned = 0;
        planned = true;
        if (mode == ARMY_MODE_DEFENCE)
            mode = ARMY_MODE_LAND;
    }
    RetreatBrokenGroups();
    ReorderIdleGroups();
    if (mode == ARMY_MODE_DEFENCE) {
        if (war[0] != 0)
            GarrisonBuildings();
        return true;
    }
    const std::uint8_t enemy = ChooseEnemy();
    if (enemy == Player)
        return true;
    if ((WarTemplate == 5 || mode == ARMY_MODE_NAVAL) && war[3] != 0)
        TransportAiExecute(Player, static_cast<std::int8_t>(enemy));
    std::int32_t tx = 0, ty = 0;
    if (war[1] == 0 || !TargetPoint(enemy, tx, ty))
        return true;
    std::vector<TUnit*> units;
    if (mode == ARMY_MODE_LAND)
        PickLandArmy(units);
    else if (mode == ARMY_MODE_AIR)
        PickAircraft(units);
    else
        PickWarships(units);
    if (units.empty())
        return true;
    if (!planned && mode == ARMY_MODE_LAND && units.size() < kMinLandAttack)
        return true; // too few to attack: they wait for the next step with more
    if (planned && units.size() < (static_cast<std::size_t>(g_HouseTypeCount[Player][4]) + 5) * 10 && Groups().size() < 10) {
        AttackPlanned = 1; // waits for the next step with a bigger army
        PlannedDelay = 0;
        return true;
    }
    // The group's path searches are many at once: the cycle may take the most it ever allows.
    g_PathBudget = std::max<std::uint16_t>(g_PathBudget, kRaisedPathBudget);
    FormAttackGroup(units.data(), static_cast<std::uint16_t>(std::min<std::size_t>(units.size(), 65535)), tx, ty);
    return true;
}

void TGroupManager::RetreatBrokenGroups()
{
    const plat::Point base = BasePixel(Player);
    for (TGroup* g : Groups()) {
        if (g->Disbanded != 0 || g->OrderKind == GROUP_ORDER_GO || g->SlotCount < 6)
            continue;
        if (g->LiveCount * 3 < g->SlotCount) {
            g->ClearOrderQueue();
            g->GiveOrder(GROUP_ORDER_GO, base.x, base.y, 0, 0);
        }
    }
}

bool TGroupManager::GroupStalled(const TGroup* g) const
{
    if (g->Disbanded != 0 || g->Busy != 0 || g->LiveCount == 0 || !g->OrderQueue.empty() || g->PathLength() != 0 ||
        (g->OrderKind != GROUP_ORDER_HOUSE && g->OrderKind != GROUP_ORDER_UNIT))
        return false;
    // The members shuffle about their places; only a fight going on counts.
    for (const TUnit* u : g->Slots)
        if (u != nullptr && u->Dead == 0 && (u->AttackUnit != nullptr || u->HouseAttack != nullptr))
            return false;
    return true;
}

bool TGroupManager::GroupIdle(const TGroup* g) const
{
    if (g->Disbanded != 0 || g->Busy != 0 || g->LiveCount == 0 || !g->OrderQueue.empty() ||
        g->OrderKind == GROUP_ORDER_HOUSE || g->OrderKind == GROUP_ORDER_UNIT)
        return false;
    for (const TUnit* u : g->Slots)
        if (u != nullptr && u->Dead == 0 && (u->Halted == 0 || u->AttackUnit != nullptr || u->HouseAttack != nullptr))
            return false;
    return true;
}

void TGroupManager::ReorderIdleGroups()
{
    for (TGroup* g : Groups()) {
        if (GroupStalled(g)) {
            // Standing within reach of its target with no way left to march: every member takes
            // the attack on by itself.
            g->GoByOrder(false);
            continue;
        }
        if (!GroupIdle(g))
            continue;
        const TUnit* head = g->HeadPoz < g->Slots.size() ? g->Slots[g->HeadPoz] : nullptr;
        if (head == nullptr || g->LiveCount < kMinHoldingGroup) {
            // Too few to fight on: the members go back to the pool of the next attack.
            g->Disbanded = 1;
            continue;
        }
        std::uint8_t enemy = g->OrderA;
        if (enemy == Player || enemy >= g_wNumPlayer || !Alive(enemy) || AtPeace(enemy))
            enemy = ChooseEnemy();
        if (enemy == Player) {
            g->Disbanded = 1;
            continue;
        }
        // On to the enemy's building nearest to where the group stands, else its nearest unit.
        std::int32_t bestD = -1;
        std::uint16_t best = 0;
        const plat::Point at = PixelToFlatCell(head->X, head->Y);
        for (std::uint16_t i = 0; g_pHouse[enemy] != nullptr && i < NumHouse[enemy]; ++i) {
            const THouse& h = g_pHouse[enemy][i];
            if (h.TypeRecord == nullptr || h.Destroyed != 0)
                continue;
            const std::int32_t d = (h.X - at.x) * (h.X - at.x) + (h.Y - at.y) * (h.Y - at.y);
            if (bestD < 0 || d < bestD) {
                bestD = d;
                best = i;
            }
        }
        const bool harms = std::any_of(g->Slots.begin(), g->Slots.end(),
                                       [](const TUnit* u) { return u != nullptr && u->Dead == 0 && HarmsBuildings(u); });
        if (bestD >= 0 && harms) {
            const plat::Point c = CellPixel(g_pHouse[enemy][best].X, g_pHouse[enemy][best].Y);
            g->GiveOrder(GROUP_ORDER_HOUSE, c.x, c.y, enemy, best);
        } else if (!AttackNearestUnit(g, enemy, static_cast<std::int32_t>(head->X), static_cast<std::int32_t>(head->Y))) {
            g->Disbanded = 1;
        }
    }
}

bool TGroupManager::AtPeace(std::uint8_t other) const
{
    const TStrateg* self = Record(Player);
    const TStrateg* them = Record(other);
    if (self == nullptr || them == nullptr)
        return false;
    const std::uint8_t mine = self->Relations[other];
    return mine != 0 && mine == them->Relations[Player];
}

void TGroupManager::PickLandArmy(std::vector<TUnit*>& out)
{
    out.clear();
    const TStrateg* s = Record(Player);
    std::vector<TUnit*> all;
    for (TUnit* u = s != nullptr ? s->FirstUnit : nullptr; u != nullptr; u = u->m_pNext)
        if (u->Dead == 0 && IsFighting(u) && u->Work == UNIT_NO_WORK && u->m_pGroup == nullptr && u->AttackUnit == nullptr &&
            u->HouseAttack == nullptr && u->m_MyTransporter == nullptr && u->m_MyFutureTransporter == nullptr &&
            u->Basic->Speed > 0.5f)
            all.push_back(u);
    if (all.empty())
        return;
    std::size_t anchor = 0;
    if (HardLevel == 3 && (RandomDraw() & 1) != 0)
        anchor = RandomDraw() % all.size();
    TUnit* a = all[anchor];
    out.push_back(a);
    for (TUnit* u : all)
        if (u != a && Within(u, a, kAnchorRange))
            out.push_back(u);
}

void TGroupManager::PickAircraft(std::vector<TUnit*>& out)
{
    out.clear();
    const TStrateg* s = Record(Player);
    for (TUnit* u = s != nullptr ? s->FirstUnit : nullptr; u != nullptr; u = u->m_pNext)
        if (u->Dead == 0 && (u->Type == 11 || u->Type == 12) && u->Work != 9 && u->m_pGroup == nullptr)
            out.push_back(u);
}

void TGroupManager::PickWarships(std::vector<TUnit*>& out)
{
    out.clear();
    const TStrateg* s = Record(Player);
    TUnit* anchor = nullptr;
    for (TUnit* u = s != nullptr ? s->FirstUnit : nullptr; u != nullptr; u = u->m_pNext) {
        if (u->Dead != 0 || u->Basic == nullptr || !u->Basic->IsShipUnit() || u->Type == UNIT_TYPE_TRANSPORT_SHIP ||
            u->Work == 14 || u->m_pGroup != nullptr)
            continue;
        if (anchor == nullptr) {
            if (RandomDraw() % 3 != 0)
                continue;
            anchor = u;
            out.push_back(u);
        } else if (Within(u, anchor, kShipRange)) {
            out.push_back(u);
        }
    }
}

void TGroupManager::FormAttackGroup(TUnit* const* units, std::uint16_t count, std::int32_t x, std::int32_t y)
{
    if (units == nullptr || count == 0)
        return;
    std::vector<TUnit*> kept;
    for (std::uint16_t i = 0; i < count && kept.size() < ARMY_GROUP_LIMIT; ++i)
        if (units[i] != nullptr && Within(units[i], units[0], kAnchorRange))
            kept.push_back(units[i]);
    TGroup* g = CreateGroup();
    if (g == nullptr)
        return;
    // The attack: on the building whose point the target is (TargetPoint gives a building's
    // reference cell point), else on the unit standing there.
    std::uint8_t kind = GROUP_ORDER_GO;
    std::uint8_t a = 0;
    std::uint16_t b = 0;
    for (std::uint8_t p = 0; p < 8 && kind == GROUP_ORDER_GO; ++p) {
        if (p == Player || g_pHouse[p] == nullptr)
            continue;
        for (std::uint16_t i = 0; i < NumHouse[p]; ++i) {
            const THouse& h = g_pHouse[p][i];
            const plat::Point at = CellPixel(h.X, h.Y);
            if (h.TypeRecord != nullptr && h.Destroyed == 0 && at.x == x && at.y == y) {
                kind = GROUP_ORDER_HOUSE;
                a = p;
                b = i;
                break;
            }
        }
    }
    // Rifles and their like cannot harm a building: such a group goes for the building's
    // defenders and workers instead, the enemy's unit nearest to it.
    if (kind == GROUP_ORDER_HOUSE && std::none_of(kept.begin(), kept.end(), HarmsBuildings)) {
        const TUnit* defender = NearestLivingUnit(a, static_cast<float>(x), static_cast<float>(y));
        if (defender != nullptr) {
            kind = GROUP_ORDER_UNIT;
            b = defender->m_Index;
            x = static_cast<std::int32_t>(defender->X);
            y = static_cast<std::int32_t>(defender->Y);
        }
    }
    // Gathering first, at the quietest of up to 10 points 1000 pixels short of the target.
    const TUnit* first = kept.front();
    const float far = Dist2(first->X, first->Y, static_cast<float>(x), static_cast<float>(y));
    std::int32_t gx = x, gy = y;
    if (far >= kGatherDistance * kGatherDistance) {
        std::int32_t best = -1;
        const plat::Point base = PixelToFlatCell(first->X, first->Y);
        for (int t = 0; t < 10; ++t) {
            const float angle = static_cast<float>(RandomDraw() % 360) * 3.14159265f / 180.0f;
            const std::int32_t px = x + static_cast<std::int32_t>(std::cos(angle) * kGatherDistance);
            const std::int32_t py = y + static_cast<std::int32_t>(std::sin(angle) * kGatherDistance);
            const plat::Point c = PixelToFlatCell(static_cast<float>(px), static_cast<float>(py));
            // A point in the water or on a blocked cell gives the group no way there.
            if (!InBuildingArea(c.x, c.y) || !IsCellUsableByUnit(first, static_cast<std::uint32_t>(CellIndex(c.x, c.y))))
                continue;
            const std::int32_t score = EnemyPresence(Player, c, base, 0);
            if (best < 0 || score < best) {
                best = score;
                gx = px;
                gy = py;
            }
        }
    }
    if (gx != x || gy != y) {
        g->FormGroup(kept.data(), static_cast<std::uint16_t>(kept.size()), 1, 1, 0, GROUP_ORDER_GO, gx, gy, 0, 0, 1);
        if (kind != GROUP_ORDER_GO)
            g->QueueOrder({kind, x, y, a, b});
    } else {
        g->FormGroup(kept.data(), static_cast<std::uint16_t>(kept.size()), 1, 1, 0, kind, x, y, a, b, 1);
    }
    if (kind != GROUP_ORDER_GO)
        return;
    // The target was a unit: the one standing there, of whichever player it is.
    const TUnit* at = nullptr;
    for (std::uint8_t p = 0; p < 8; ++p) {
        if (p == Player || !Alive(p))
            continue;
        const TUnit* u = NearestLivingUnit(p, static_cast<float>(x), static_cast<float>(y));
        if (u != nullptr && (at == nullptr || Dist2(u->X, u->Y, static_cast<float>(x), static_cast<float>(y)) <
                                                  Dist2(at->X, at->Y, static_cast<float>(x), static_cast<float>(y))))
            at = u;
    }
    if (at != nullptr && (gx != x || gy != y))
        g->QueueOrder({GROUP_ORDER_UNIT, x, y, at->Player, at->m_Index});
    else if (at != nullptr)
        AttackNearestUnit(g, at->Player, x, y);
}

bool TGroupManager::AttackNearestUnit(TGroup* group, std::uint8_t enemy, std::int32_t x, std::int32_t y)
{
    if (group == nullptr || enemy >= 8 || enemy == Player)
        return false;
    TUnit* u = NearestLivingUnit(enemy, static_cast<float>(x), static_cast<float>(y));
    if (u == nullptr)
        return false;
    group->ClearOrderQueue();
    group->GiveOrder(GROUP_ORDER_UNIT, static_cast<std::int32_t>(u->X), static_cast<std::int32_t>(u->Y), enemy,
                     u->m_Index);
    return true;
}

void TGroupManager::GarrisonBuildings()
{
    if (g_pHouse[Player] == nullptr)
        return;
    int done = 0;
    for (int i = static_cast<int>(NumHouse[Player]) - 1; i >= 0 && done < 5; --i) {
        THouse& h = g_pHouse[Player][i];
        const THouseType* t = h.TypeRecord;
        if (t == nullptr || h.Destroyed != 0 || !h.IsFinished() || t->m_Capacity == 0 || h.HouseType == 10 ||
            h.HouseType == 11 || h.HouseType == 12 || h.InsideCount >= t->m_Capacity)
            continue;
        if (RandomDraw() % 5 != 1)
            continue;
        ++done;
        const plat::Point at = CellPixel(h.X, h.Y);
        TUnit* best = nullptr;
        for (std::uint16_t type : {std::uint16_t{6}, std::uint16_t{2}}) {
            float bestD = 1000000.0f * 1000000.0f;
            for (TUnit* u = Record(Player)->FirstUnit; u != nullptr; u = u->m_pNext) {
                if (u->Dead != 0 || u->Type != type || Garrisoned(u))
                    continue;
                const float d = Dist2(u->X, u->Y, static_cast<float>(at.x), static_cast<float>(at.y));
                if (d < bestD) {
                    bestD = d;
                    best = u;
                }
            }
            if (best != nullptr)
                break;
        }
        if (best != nullptr)
            GoToObject(best, best, static_cast<std::uint16_t>(i), 0);
    }
}

bool TGroupManager::IsHouseUnprotected(const THouse* house) const
{
    if (house == nullptr || house->TypeRecord == nullptr || house->Owner >= 8 || g_pHouse[house->Owner] == nullptr)
        return false;
    switch (house->HouseType) {
    case 0: case 6: case 10: case 11: case 12: case 13: case 15: case 20: case 22:
        break;
    default:
        return false;
    }
    const TSiteSquare r = AroundHouse(house, house->HouseType == 15 ? 20 : 12);
    int type21 = 0;
    const std::uint8_t p = house->Owner;
    for (std::uint16_t i = 0; i < NumHouse[p]; ++i) {
        const THouse& h = g_pHouse[p][i];
        if (&h == house || h.TypeRecord == nullptr || h.Destroyed != 0 || !CellIn(r, h.X, h.Y))
            continue;
        if (h.HouseType == 7 || h.HouseType == 1)
            return false;
        if (h.HouseType == 21 && ++type21 >= 2)
            return false;
    }
    return true;
}

void TGroupManager::GuardHouse(THouse* house)
{
    if (house == nullptr || house->TypeRecord == nullptr || house->Owner != Player || g_AdvisorOptions[Player][0] == 0)
        return;
    std::uint16_t type = 21;
    if (CanAffordHouse(Player, 7))
        type = 7;
    else if (CanAffordHouse(Player, 1))
        type = 1;
    if (!CanAffordHouse(Player, type))
        return;
    const TSiteSquare r = AroundHouse(house, house->HouseType == 15 ? 20 : 12);
    for (int t = 0; t < 40; ++t) {
        const std::int32_t x = r.x0 + static_cast<std::int32_t>(RandomDraw() % static_cast<std::uint32_t>(r.x1 - r.x0 + 1));
        const std::int32_t y = r.y0 + static_cast<std::int32_t>(RandomDraw() % static_cast<std::uint32_t>(r.y1 - r.y0 + 1));
        if (!InBuildingArea(x, y) || !CanBuildHouse(Player, x, y, type, Nation))
            continue;
        TUnit* worker = FindNearestWorker(x, y, Player);
        if (worker == nullptr)
            return;
        const std::uint16_t index = PlaceHouse(Player, x, y, type);
        if (index != 65535)
            OrderWorkerToBuild(worker, index);
        return;
    }
}

void TGroupManager::OnHouseAttacked(THouse* house)
{
    if (house == nullptr || house->Owner != Player)
        return;
    house->AlarmCountdown = kAlarmCountdown;
    if (RandomDraw() < 5000 && Player == MyPlayer)
    {
        AddMiniMapIndicator(0, house->X, house->Y, kSignalRadius);
        QueueScreenText(kTextX, kTextY, GetResString(u"IDS_HOUSE_UNDER_ATTACK"), MAP_SIGNAL_FRAMES, kWhite, 0);
    }
    if (g_WarAdvisorOptions[Player][2] == 0)
        return;
    TSiteSquare r = AroundHouse(house, 0);
    r.y1 += 30;
    r.x0 = std::max(r.x0, 0);
    r.y0 = std::max(r.y0, 0);
    std::vector<TUnit*> units;
    for (TUnit* u = Record(Player)->FirstUnit; u != nullptr; u = u->m_pNext) {
        if (u->Dead != 0 || !IsFighting(u) || Garrisoned(u) || u->m_pGroup != nullptr)
            continue;
        const plat::Point c = PixelToFlatCell(u->X, u->Y);
        if (CellIn(r, c.x, c.y) && InBuildingArea(c.x, c.y))
            units.push_back(u);
    }
    if (units.empty())
        return;
    const plat::Point at = CellPixel(house->X, house->Y);
    // The attacker: the nearest living unit of any player at war with the owner.
    TUnit* attacker = nullptr;
    float bestD = 0.0f;
    for (std::uint8_t p = 0; p < 8; ++p) {
        if (p == Player || !Alive(p))
            continue;
        TUnit* u = NearestLivingUnit(p, static_cast<float>(at.x), static_cast<float>(at.y));
        if (u == nullptr)
            continue;
        const float d = Dist2(u->X, u->Y, static_cast<float>(at.x), static_cast<float>(at.y));
        if (attacker == nullptr || d < bestD) {
            attacker = u;
            bestD = d;
        }
    }
    if (attacker == nullptr)
        return;
    TGroup* g = CreateGroup();
    if (g == nullptr)
        return;
    g->FormGroup(units.data(), static_cast<std::uint16_t>(std::min<std::size_t>(units.size(), ARMY_GROUP_LIMIT)), 1, 1,
                 0, GROUP_ORDER_UNIT, static_cast<std::int32_t>(attacker->X), static_cast<std::int32_t>(attacker->Y),
                 attacker->Player, attacker->m_Index, 1);
}

void TGroupManager::Save(TOfStreamMemory& out) const
{
    out.WriteU32(NextGroupId);
    out.WriteU32(ArmyCounter);
    out.WriteU8(WarTemplate);
    out.WriteU8(HardLevel);
    const auto& groups = Groups();
    out.WriteU16(static_cast<std::uint16_t>(groups.size()));
    for (const TGroup* g : groups)
        SaveGroup(*g, out);
}

bool TGroupManager::Load(TIfStreamMemory& in)
{
    std::uint16_t count = 0;
    if (!in.ReadU32(NextGroupId) || !in.ReadU32(ArmyCounter) || !in.ReadU8(WarTemplate) || !in.ReadU8(HardLevel) ||
        !in.ReadU16(count)) {
        ReportError("Group manager block is cut short");
        return false;
    }
    if (HardLevel > GROUP_MANAGER_MAX_HARD_LEVEL) {
        ReportError("HardLevel>3");
        HardLevel = GROUP_MANAGER_MAX_HARD_LEVEL;
    }
    if (WarTemplate > 5) {
        ReportError("Group manager war template out of range");
        WarTemplate = 1;
    }
    const std::uint32_t nextId = NextGroupId;
    for (std::uint16_t i = 0; i < count; ++i) {
        TGroup* g = NewGroup(Player);
        if (g == nullptr || !LoadGroup(*g, in)) {
            ReportError("Group manager group is damaged");
            NextGroupId = nextId;
            return false;
        }
    }
    NextGroupId = nextId;
    return true;
}

void TGroupManager::SaveExtra(TOfStreamMemory& out) const
{
    out.WriteU8(AttackPlanned);
    out.WriteU32(PlannedDelay);
}

bool TGroupManager::LoadExtra(TIfStreamMemory& in)
{
    std::uint8_t planned = 0;
    std::uint32_t delay = 0;
    if (!in.ReadU8(planned) || !in.ReadU32(delay)) {
        ReportError("Group manager extra block is cut short");
        return false;
    }
    AttackPlanned = planned != 0 ? 1 : 0;
    PlannedDelay = std::min<std::uint32_t>(delay, 9);
    return true;
}

// ---- the services other modules call ----

void GroupManagerUpdate(TStrateg* player)
{
    if (player != nullptr && player->GroupManager)
        player->GroupManager->Update();
    else if (player != nullptr)
        UpdateGroups(player->Number);
}

bool TellGroupManagerHouseAttacked(THouse* house)
{
    if (house == nullptr || house->Owner >= 8)
        return false;
    TStrateg* s = g_Strateg[house->Owner];
    if (s == nullptr || s->Dead != 0 || !s->GroupManager)
        return false;
    s->GroupManager->OnHouseAttacked(house);
    return true;
}

bool IsHouseUnprotected(THouse* house)
{
    if (house == nullptr || house->Owner >= 8 || g_Strateg[house->Owner] == nullptr ||
        !g_Strateg[house->Owner]->GroupManager)
        return false;
    return g_Strateg[house->Owner]->GroupManager->IsHouseUnprotected(house);
}

void GuardHouse(THouse* house)
{
    if (house != nullptr && house->Owner < 8 && g_Strateg[house->Owner] != nullptr &&
        g_Strateg[house->Owner]->GroupManager)
        g_Strateg[house->Owner]->GroupManager->GuardHouse(house);
}

void SaveGroupManagerExtra(std::uint8_t player, TOfStreamMemory& out)
{
    const TStrateg* s = Record(player);
    if (s != nullptr && s->GroupManager) {
        s->GroupManager->SaveExtra(out);
    } else {
        out.WriteU8(0);
        out.WriteU32(0);
    }
}

bool LoadGroupManagerExtra(std::uint8_t player, TIfStreamMemory& in)
{
    TStrateg* s = Record(player);
    if (s != nullptr && s->GroupManager)
        return s->GroupManager->LoadExtra(in);
    TGroupManager scratch(player, 0);
    return scratch.LoadExtra(in);
}

TGroup* FindManagedGroup(std::uint8_t player, std::uint32_t id)
{
    const TStrateg* s = Record(player);
    return s != nullptr && s->GroupManager ? s->GroupManager->FindGroupById(id) : nullptr;
}

void UpdateAIArmy(TStrategAI* planner)
{
    // A new home cell: the army's pace starts over from it.
    if (planner == nullptr)
        return;
    const std::uint8_t p = planner->PlayerIndex();
    TStrateg* s = Record(p);
    if (s != nullptr && s->GroupManager)
        s->GroupManager->ArmyCounter = 0;
}
