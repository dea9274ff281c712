// A player's right-click order for its selection: what lies under the point decides the order;
// every group with a selected member is ordered once, and the units of no group are handled as a
// crowd, each with its own order.
//
// Shared random table draws: 2 per unit of a crowd spread around a point (the index advances by 2
// after each draw).
//
// Threads: main thread only (the game cycle and the single-play map mouse).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "combat/effects.h"
#include "combat/explosions.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/unit_queries.h"
#include "combat/house_events.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "devices/sound.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/terrain.h"
#include "map/trenches.h"
#include "movement/group.h"
#include "movement/group_selection.h"
#include "movement/path_follow.h"
#include "players/map_mouse.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

// What lies at the point of the order.
enum class TTargetClass : std::uint8_t {
    Ground = 0,
    OwnObject = 1,
    EnemyHouse = 2,
    EnemyUnit = 4,
    MiscObject = 5,
    Transport = 7,
};

struct TTarget {
    TTargetClass cls = TTargetClass::Ground;
    std::uint8_t kind = GROUP_ORDER_GO; // the group order
    std::uint8_t a = 255;
    std::uint16_t b = 65535;
    THouse* house = nullptr;
    TUnit* unit = nullptr;
};

constexpr std::size_t kHandledGroupsLogged = 5000;
constexpr std::uint16_t kSearchPause = 300;
constexpr std::uint16_t kAirSearchPause = 65000;
constexpr float kLowFlight = 400.0f;
constexpr std::int8_t kStanceHoldRange = 4;
constexpr std::uint8_t kWorkAttackHouse = 2;
constexpr std::uint8_t kWorkAttackUnit = 9;
// The acknowledgement of an order: sound category 3, sub-kind 1, priority 4.
constexpr std::uint8_t kAckSub = 1;
constexpr std::uint8_t kAckPriority = 4;
constexpr std::uint32_t kArrowExplosion = 37;

TTarget Classify(std::uint8_t player, std::int32_t x, std::int32_t y)
{
    TTarget t;
    plat::Point cell{-1, -1};
    GetCellFromPoint(static_cast<float>(x), static_cast<float>(y), cell);
    const bool onMap = cell.x >= 0 && cell.y >= 0 && cell.x < g_MapWidth && cell.y < g_MapHeight;
    const std::uint16_t code = onMap ? GetObjectFromMap(cell) : kObjectFree;
    if (code >= kObjectTrenchListFirst && code <= kObjectTrenchListLast && g_TrenchList.IsTrenchObjectCode(code)) {
        t.cls = TTargetClass::OwnObject;
        t.kind = GROUP_ORDER_ENTER;
        t.a = player;
        t.b = code;
        return t;
    }
    if (code >= kObjectPlayerHouseFirst && code <= kObjectPlayerHouseLast) {
        THouse* h = HouseFromObjectCode(code);
        const std::uint32_t owner = HouseCodePlayer(code);
        if (h != nullptr && owner == player) {
            t.cls = TTargetClass::OwnObject;
            t.kind = GROUP_ORDER_ENTER;
            t.a = player;
            t.b = static_cast<std::uint16_t>(HouseCodeIndex(code));
            t.house = h;
            return t;
        }
        // A building of a dead player or of one at peace both ways is no target: what else lies
        // there decides.
        if (h != nullptr && IsEnemy(player, static_cast<std::uint8_t>(owner))) {
            t.cls = TTargetClass::EnemyHouse;
            t.kind = GROUP_ORDER_HOUSE;
            t.a = static_cast<std::uint8_t>(owner);
            t.b = static_cast<std::uint16_t>(HouseCodeIndex(code));
            t.house = h;
            return t;
        }
    }
    if (TUnit* enemy = PickEnemyUnitAtPoint(player, x, y)) {
        t.cls = TTargetClass::EnemyUnit;
        t.kind = GROUP_ORDER_UNIT;
        t.a = enemy->Player;
        t.b = enemy->m_Index;
        t.unit = enemy;
        return t;
    }
    if (code >= kObjectMiscFirst && code <= kObjectAnimatedLast) {
        t.cls = TTargetClass::MiscObject;
        t.kind = GROUP_ORDER_OBJECT;
        t.b = code;
        return t;
    }
    TUnit* own = PickOwnUnitAtPoint(player, x, y);
    if (own != nullptr && (own->Type == UNIT_TYPE_CARRIER || own->Type == UNIT_TYPE_TRANSPORT_SHIP)) {
        t.cls = TTargetClass::Transport;
        t.unit = own;
    }
    return t;
}

// ---- the crowd operations: each unit of the list gets its own order ----

void SpreadAroundPoint(const std::vector<TUnit*>& units, std::int32_t x, std::int32_t y)
{
    if (units.size() == 1) {
        TUnit* u = units.front();
        u->WaitCount = 0;
        u->PendingMove = 0;
        GoToPoint(u, static_cast<float>(x), static_cast<float>(y), 1);
        return;
    }
    const std::int32_t k = std::max(1, static_cast<std::int32_t>(std::sqrt(static_cast<double>(units.size()))));
    for (std::size_t n = 0; n < units.size(); ++n) {
        TUnit* u = units[n];
        const std::int32_t i = static_cast<std::int32_t>(n);
        const std::int32_t b = u->Basic != nullptr ? u->Basic->CrushSize : 0;
        const float s = static_cast<float>(2 * b + 1);
        const float h = static_cast<float>(b + 1) * 0.5f;
        const float j = static_cast<float>(RandomDraw() % (b + 1));
        ++g_RandIndex;
        const float edge = static_cast<float>((b + 1) * k);
        u->PendingMove = 0;
        u->WaitCount = 0;
        GoToPoint(u, static_cast<float>(x) + h - j + static_cast<float>(i % k) * s - edge,
                  static_cast<float>(y) + h - j + static_cast<float>(i / k) * s - edge, 1);
    }
}

void EnterOwnObject(const std::vector<TUnit*>& units, std::uint16_t code)
{
    TUnit* first = units.front();
    for (std::size_t n = 0; n < units.size(); ++n)
        GoToObject(units[n], first, code, static_cast<std::uint16_t>(n));
}

void AttackBuilding(const std::vector<TUnit*>& units, THouse* house)
{
    TUnit* first = nullptr;
    std::uint16_t n = 0;
    for (TUnit* u : units) {
        const bool busyAttacking = (u->Work == kWorkAttackUnit || u->Work == kWorkAttackHouse) && u->Path == nullptr;
        const bool lowAircraft = IsAirUnit(u) && u->Height < kLowFlight;
        if (busyAttacking || lowAircraft)
            continue;
        if (u->Stance == kStanceHoldRange)
            u->Stance = -1;
        if (first == nullptr)
            first = u;
        AttackHouse(u, first, house, n++, 0);
    }
}

void AttackUnit(const std::vector<TUnit*>& units, TUnit* target)
{
    for (TUnit* u : units)
        OrderAttackUnit(u, target, 1);
}

void SendToMisc(const std::vector<TUnit*>& units, std::int32_t x, std::int32_t y, std::uint16_t code)
{
    for (TUnit* u : units) {
        u->WaitCount = 0;
        EventSendToMisc(u, static_cast<float>(x), static_cast<float>(y), code);
    }
}

void BoardTransport(std::uint8_t player, const std::vector<TUnit*>& units, TUnit* transport)
{
    const std::int32_t places =
        transport->Type == UNIT_TYPE_CARRIER ? UNIT_CARRIER_PASSENGERS : UNIT_SHIP_PASSENGERS;
    std::int32_t room = places - static_cast<std::int32_t>(transport->m_PassengerCount);
    for (TUnit* u : units) {
        if (room <= 0)
            break;
        if (u == transport)
            continue;
        --room;
        if (GoToTransport(u, transport, player == MyPlayer ? 1 : 0) && u->Selected != 0)
            DeleteSelection(player, u);
    }
}

} // namespace

void PlayGroupSelectSound(std::uint8_t player)
{
    const TStrateg* s = player < 8 ? g_Strateg[player] : nullptr;
    if (player != MyPlayer || s == nullptr || s->SelectionHead == nullptr)
        return;
    PlaySoundEvent(SOUND_UNIT, s->SelectionHead->unit, kAckSub, kAckPriority);
}

void SelectedUnitsGo(std::uint8_t player, std::int32_t x, std::int32_t y)
{
    TStrateg* s = player < 8 ? g_Strateg[player] : nullptr;
    if (s == nullptr || s->Dead != 0)
        return;
    const TTarget target = Classify(player, x, y);
    PlayGroupSelectSound(player);
    if (player == MyPlayer && target.cls == TTargetClass::Ground) {
        // The arrows that mark the goal stand on the ground there (edge height near the map's edge).
        const std::int32_t z = GetLandHeight(static_cast<float>(x), static_cast<float>(y));
        AddExplosion(EXPLOSION_ATTACHED, nullptr, x, y, z, kArrowExplosion, 0, 0, 0);
    }
    const bool engage = target.cls == TTargetClass::EnemyHouse || target.cls == TTargetClass::EnemyUnit;
    // The selection is walked first and acted on after: orders may change the selection (boarding
    // units leave it).
    std::vector<TUnit*> selected;
    for (TSelectionNode* n = s->SelectionHead; n != nullptr; n = n->next)
        if (n->unit != nullptr && n->unit->Dead == 0)
            selected.push_back(n->unit);
    std::vector<TUnit*> crowd;
    std::vector<TGroup*> handled;
    for (TUnit* u : selected) {
        u->m_MyFutureTransporter = nullptr;
        u->m_TransportState = 0;
        if (!engage) {
            if (u->m_bMaySearch != 0) {
                StopMoving(u);
                u->WaitCount = IsAirUnit(u) ? kAirSearchPause : kSearchPause;
                u->m_bMaySearch = 0;
            }
            if (u->m_pGroup != nullptr && u->m_pGroup->FormationMode != 0)
                LeaveGroup(u);
        } else {
            HoldPosition(u);
        }
        TGroup* g = u->m_pGroup;
        if (g == nullptr || !IsLiveGroup(g)) {
            crowd.push_back(u);
            continue;
        }
        if (std::find(handled.begin(), handled.end(), g) != handled.end())
            continue;
        handled.push_back(g);
        if (handled.size() == kHandledGroupsLogged)
            ReportError("Ё моё чтож я сделал. GroupsCount>=5000 в SelectedUnitsGo");
        g->GiveOrder(target.kind, x, y, target.a, target.b);
    }
    if (crowd.empty())
        return;
    switch (target.cls) {
    case TTargetClass::Ground:
        SpreadAroundPoint(crowd, x, y);
        break;
    case TTargetClass::OwnObject:
        EnterOwnObject(crowd, target.b);
        break;
    case TTargetClass::EnemyHouse:
        AttackBuilding(crowd, target.house);
        break;
    case TTargetClass::EnemyUnit:
        AttackUnit(crowd, target.unit);
        break;
    case TTargetClass::MiscObject:
        SendToMisc(crowd, x, y, target.b);
        break;
    case TTargetClass::Transport:
        BoardTransport(player, crowd, target.unit);
        break;
    }
}
