#include "movement/group.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "combat/house_events.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "movement/directions.h"
#include "movement/group_orders.h"
#include "movement/group_selection.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "movement/path_search.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "core/memory_stream.h"
#include "units/house.h"
#include "units/record_io.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

constexpr std::uint8_t kKindVehicleReaction = 10;
constexpr std::uint8_t kKindArtilleryFlag = 7;
constexpr float kSlowFactor = 0.8f;

// Groups of each player, in creation order (the order the move steps run in).
std::array<std::vector<TGroup*>, 8> g_PlayerGroups;
std::uint32_t g_NextGroupId = 0;
// Cycles until the local player hears of another group under attack (all groups).
std::uint32_t g_GroupAlarmCountdown = 0;

bool PlayerAlive(std::uint32_t p)
{
    return p < 8 && g_Strateg[p] != nullptr && g_Strateg[p]->Dead == 0;
}

bool Standing(const TUnit* u)
{
    return u->NumWork == 3 || u->NumWork == 4;
}

// The member ends its moves facing o; standing, it turns now (with its turning animation when
// its type has one).
void FaceFormation(TUnit* u, std::uint8_t o)
{
    u->FaceOrient = o;
    if (!Standing(u) || static_cast<std::uint8_t>(u->Orient) == o)
        return;
    u->WantedOrient = o;
    if (u->Basic != nullptr && u->Basic->m_bQuickTurn != 0) {
        u->NumWork = ANIM_TURN;
        u->NumSprite = 0.0f;
    } else {
        u->Orient = static_cast<std::int8_t>(o);
    }
}

THouse* OwnedHouse(std::uint32_t player, std::uint32_t index)
{
    if (!PlayerAlive(player) || index >= NumHouse[player] || g_pHouse[player] == nullptr)
        return nullptr;
    THouse* h = HouseAt(g_pHouse[player], index);
    return h != nullptr && h->Destroyed == 0 ? h : nullptr;
}

TUnit* OwnedUnit(std::uint32_t player, std::uint32_t index)
{
    if (!PlayerAlive(player))
        return nullptr;
    TUnit* u = g_Strateg[player]->GetUnit(static_cast<std::uint16_t>(index));
    return u != nullptr && u->Dead == 0 ? u : nullptr;
}

// Land map free and inside the playable area.
bool CellFits(std::int32_t x, std::int32_t y)
{
    const plat::Point cell = PixelToFlatCell(static_cast<float>(x), static_cast<float>(y));
    if (!IsCellInPlayableArea(cell.x, cell.y))
        return false;
    return IsLandCellFree(static_cast<std::uint32_t>(cell.y) * g_MapWidth + static_cast<std::uint32_t>(cell.x));
}

// A free cell near the pixel point, as a point at its left corner + dx on its row line.
void FreeCellPoint(std::int32_t& x, std::int32_t& y, std::int32_t dx)
{
    const plat::Point near = PixelToFlatCell(static_cast<float>(x), static_cast<float>(y));
    const plat::Point cell = FindFreeCellNear(near.x, near.y);
    x = TileToPixel(cell).x + dx;
    y = cell.y * kRowStep;
}

float Distance(float x0, float y0, float x1, float y1)
{
    return std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
}

// A member already walking (or waiting for its path) to this point keeps its way: sent again, it
// would start over from a fresh path, and one whose way is longer than the step period never
// arrives.
bool OnWayTo(const TUnit* u, std::int32_t x, std::int32_t y)
{
    if (u->Halted != 0 || (u->Path == nullptr && u->PendingMove == 0 && u->VX == 0.0f && u->VY == 0.0f))
        return false;
    return std::fabs(u->GoalX - static_cast<float>(x)) + std::fabs(u->GoalY - static_cast<float>(y)) < 20.0f;
}

std::int32_t Manhattan(const TUnit* u, std::int32_t x, std::int32_t y)
{
    return static_cast<std::int32_t>(std::fabs(u->X - static_cast<float>(x)) + std::fabs(u->Y - static_cast<float>(y)));
}

// One jitter draw: the value, then the index skips one more.
std::int32_t JitterDraw()
{
    const std::int32_t v = RandomDraw();
    ++g_RandIndex;
    return v;
}

std::uint8_t ClampColumns(std::int32_t c)
{
    return static_cast<std::uint8_t>(std::clamp(c, 1, 255));
}

} // namespace

TGroup::TGroup(std::uint8_t owner) : Owner(owner) {}

TGroup::~TGroup()
{
    ReleaseMembers();
}

void TGroup::ReleaseMembers()
{
    for (TUnit*& u : Slots) {
        if (u != nullptr && u->m_pGroup == this) {
            u->m_pGroup = nullptr;
            u->m_GroupSlot = -1;
            u->UseTypeSpeed = 0;
        }
        u = nullptr;
    }
    LiveCount = 0;
}

bool TGroup::Throttled(bool forming, const TGroupOrderNode& order, const TGroupOrder* forming45)
{
    if (g_GroupOrdersUsed < g_GroupOrderBudget) {
        Busy = 0;
        ++g_GroupOrdersUsed;
        return false;
    }
    TStrateg* owner = Owner < 8 ? g_Strateg[Owner] : nullptr;
    if (owner == nullptr)
        return true;
    auto* record = new TGroupOrder;
    if (forming45 != nullptr)
        *record = *forming45;
    record->group = this;
    record->groupId = Id;
    record->owner = Owner;
    record->forming = forming;
    record->kind = order.kind;
    record->x = order.x;
    record->y = order.y;
    record->a = order.a;
    record->b = order.b;
    THeapItem* item = NewCommand(COMMAND_CLASS_SELECTION,
                                 forming ? COMMAND_ID_REPLAY_GROUP_ORDER : COMMAND_ID_GROUP_ORDER,
                                 static_cast<float>(order.x), static_cast<float>(order.y));
    ++item->cikl;
    item->groupOrder = record;
    owner->AddCommand(item);
    Busy = 1;
    return true;
}

void TGroup::StoreOrder(std::uint8_t kind, std::int32_t x, std::int32_t y, std::uint8_t a, std::uint16_t b)
{
    OrderKind = kind;
    OrderX = x;
    OrderY = y;
    OrderA = a;
    OrderB = b;
}

void TGroup::FormGroup(TUnit* const* units, std::uint16_t count, std::uint8_t modeA, std::uint8_t kind,
                       std::uint8_t columns, std::uint8_t orderKind, std::int32_t x, std::int32_t y, std::uint8_t a,
                       std::uint16_t b, std::uint8_t formationMode)
{
    FormationMode = formationMode;
    Disbanded = 0;
    TGroupOrder forming;
    forming.modeA = modeA;
    forming.formKind = kind;
    forming.columns = columns;
    if (units != nullptr)
        forming.units.assign(units, units + count);
    if (Throttled(true, {orderKind, x, y, a, b}, &forming))
        return;
    ReleaseMembers();
    StoreOrder(orderKind, x, y, a, b);
    SlotCount = units != nullptr ? count : 0;
    Capacity = static_cast<std::uint16_t>((SlotCount / 100 + 1) * 100);
    Slots.assign(Capacity, nullptr);
    SlotX.assign(Capacity, 0);
    SlotY.assign(Capacity, 0);
    SlotBytes.assign(Capacity, 0);
    if (modeA >= 1 && modeA <= 3)
        FormationKind = modeA;
    // A column count past a byte would wrap (to 0 for 3,840 units and more) and divide by zero.
    std::int32_t c = columns != 0 ? columns : SlotCount / 15 + 1;
    if (FormationKind == 2)
        c = (static_cast<std::int32_t>(std::sqrt(static_cast<double>(SlotCount))) + 1) * 2;
    else if (FormationKind == 3)
        c = SlotCount / std::max(c, 1) + 1;
    Columns = ClampColumns(c);

    float slowest = 0.0f;
    std::int32_t largest = 0;
    VehicleGroup = 0;
    HasKind7 = HasKind10 = 0;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        TUnit* u = units[i];
        if (u == nullptr || u->Dead != 0 || u->Basic == nullptr || u->Work == 3 || u->Work == 20)
            continue;
        if (!u->Basic->CanBeInGroup()) {
            ReportError("!u->Basic->CanBeInGroup() in FormGroup");
            GoToPoint(u, static_cast<float>(x), static_cast<float>(y), 1);
            continue;
        }
        if (u->Basic->ClosePath != 0) {
            ReportError("u->Basic->ClosePath in FormGroup");
            if (SlotCount != 1)
                continue;
            VehicleGroup = 1;
        } else if (VehicleGroup != 0) {
            continue;
        }
        if (u->m_pGroup != nullptr)
            u->m_pGroup->RemoveUnit(u);
        Slots[i] = u;
        u->m_pGroup = this;
        u->m_GroupSlot = static_cast<std::int16_t>(i);
        ++LiveCount;
        if (LiveCount == 1 || u->Basic->Speed < slowest)
            slowest = u->Basic->Speed;
        largest = std::max<std::int32_t>(largest, u->Basic->CrushSize);
        HasKind7 |= u->Basic->m_Kind == kKindArtilleryFlag ? 1 : 0;
        HasKind10 |= u->Basic->m_Kind == kKindVehicleReaction ? 1 : 0;
    }
    if (LiveCount == 0) {
        FormationMode = 1;
        Disbanded = 1;
        return;
    }
    HalfCount = static_cast<std::uint16_t>(LiveCount * (FormationMode == 0 ? 0.5 : 0.3));
    FormingOrderKind = orderKind;
    OrderKind = orderKind;
    Counter = static_cast<std::uint16_t>(LiveCount / 2);
    UnslowedSpeed = slowest * 0.95f;
    Speed = UnslowedSpeed;
    SpeedFactor = 1.0f;
    SpacingFactor = static_cast<std::uint8_t>(LiveCount == 1 ? 1 : std::min(largest / 18 + 1, 2));
    EvaluateCoords();
    if (orderKind == GROUP_ORDER_HOUSE || orderKind == GROUP_ORDER_OBJECT) {
        TargetX = static_cast<float>(x);
        TargetY = static_cast<float>(y);
    }
}

void TGroup::GiveOrder(std::uint8_t kind, std::int32_t x, std::int32_t y, std::uint8_t a, std::uint16_t b)
{
    if (SlotCount > 0 && !SlotX.empty()) {
        const float d = Distance(static_cast<float>(SlotX[0]), static_cast<float>(SlotY[0]), static_cast<float>(x),
                                 static_cast<float>(y));
        const bool atTarget = kind == GROUP_ORDER_HOUSE || kind == GROUP_ORDER_UNIT;
        bool near = (VehicleGroup == 0 && d < 600.0f) || (atTarget && d < 1500.0f);
        if (!near && atTarget && Slots[0] != nullptr && d < 3000.0f)
            near = true;
        if (near) {
            StoreOrder(kind, x, y, a, b);
            OrderStep();
            return;
        }
    }
    if (Throttled(false, {kind, x, y, a, b}, nullptr))
        return;
    StoreOrder(kind, x, y, a, b);
    if (SlotCount == 0 || LiveCount == 0) {
        Disbanded = 1;
        return;
    }
    float best = 1000000.0f;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        const TUnit* u = Slots[i];
        if (u == nullptr)
            continue;
        const float d = Distance(u->X, u->Y, static_cast<float>(x), static_cast<float>(y));
        if (d < best) {
            best = d;
            SlotX[0] = static_cast<std::int32_t>(u->X);
            SlotY[0] = static_cast<std::int32_t>(u->Y);
        }
    }
    ComputeFormationPath();
    if (Disbanded == 0 && Counter < SlotCount)
        EvaluateCoords();
}

void TGroup::GiveOrderFromRecord(const TGroupOrder& r)
{
    if (Disbanded != 0) {
        Busy = 0;
        return;
    }
    GiveOrder(r.kind, r.x, r.y, r.a, r.b);
}

void TGroup::ReplayForming(const TGroupOrder& r)
{
    if (Disbanded != 0) {
        Busy = 0;
        return;
    }
    if (Busy != 0)
        FormGroup(r.units.data(), static_cast<std::uint16_t>(r.units.size()), r.modeA, r.formKind, r.columns, r.kind,
                  r.x, r.y, r.a, r.b, FormationMode);
}

void TGroup::ComputeFormationPath()
{
    PathX.clear();
    PathY.clear();
    PathOrient.clear();
    PathIndex = 0;
    const std::uint16_t* pass = VehicleGroup != 0 ? g_pVehiclePassMap : g_pLandPassMap;
    if (VehicleGroup == 0)
        FreeCellPoint(OrderX, OrderY, 45);
    std::vector<std::uint8_t> dirs;
    const std::int8_t found = pass != nullptr ? FindPathFromPointToPoint(pass, SlotX[0], SlotY[0], OrderX, OrderY, dirs) : 0;
    if (found == 1) {
        plat::Point cell = PixelToFlatCell(static_cast<float>(SlotX[0]), static_cast<float>(SlotY[0]));
        for (std::uint8_t d : dirs) {
            cell = GetNeighbourPoint(cell, d);
            float px = 0.0f;
            float py = 0.0f;
            CellCentrePixel(cell, px, py);
            PathX.push_back(static_cast<std::int32_t>(px));
            PathY.push_back(static_cast<std::int32_t>(py));
            PathOrient.push_back(GetOrientUseDirection(d));
        }
        return;
    }
    if (found == -1)
        return;
    // No way for the body: the members are handed the order one by one, each finding its own way,
    // rather than the order falling back to where the group already stands.
    GoByOrder(false);
    Disbanded = 1;
}

void TGroup::ChooseHead()
{
    HeadPoz = GROUP_NO_HEAD;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        if (Slots[i] != nullptr) {
            HeadPoz = i;
            return;
        }
    }
}

void TGroup::OrderStep()
{
    PathX.clear();
    PathY.clear();
    PathOrient.clear();
    PathIndex = 0;
    if (!OrderQueue.empty()) {
        const TGroupOrderNode n = OrderQueue.front();
        OrderQueue.erase(OrderQueue.begin());
        GiveOrder(n.kind, n.x, n.y, n.a, n.b);
    }
}

void TGroup::QueueOrder(const TGroupOrderNode& node)
{
    OrderQueue.push_back(node);
}

void TGroup::ClearOrderQueue()
{
    OrderQueue.clear();
    OrderStep();
}

bool TGroup::ValidateSlot(std::uint16_t i)
{
    if (SlotX.empty()) {
        ReportError("Coords==NULL");
        return false;
    }
    if (CellFits(SlotX[i], SlotY[i]))
        return true;
    if (i == 0) {
        FreeCellPoint(SlotX[0], SlotY[0], 45);
        return CellFits(SlotX[0], SlotY[0]);
    }
    ++ReactionCounter;
    // A point off the playable area is never kept: a member sent there would walk off the map.
    const plat::Point cell = PixelToFlatCell(static_cast<float>(SlotX[i]), static_cast<float>(SlotY[i]));
    const bool outside = !IsCellInPlayableArea(cell.x, cell.y);
    if (RandomDraw() >= 500 || outside) {
        SlotX[i] = SlotX[0];
        SlotY[i] = SlotY[0];
    }
    return true;
}

void TGroup::LayOut(std::int32_t ox, std::int32_t oy, bool anchorSlot0)
{
    const std::uint8_t o = FormationOrient;
    const std::uint8_t dir = GetDirectionUseOrient(o);
    const TDirStep step = GetDxDyUseDirection(dir);
    std::int32_t rx = SpacingFactor * step.dx;
    const std::int32_t ry = SpacingFactor * step.dy;
    const TDirSign hv = GetOrtogonalVector(o);
    std::int32_t cx = SpacingFactor * -18 * hv.h;
    std::int32_t cy = SpacingFactor * -6 * hv.v;
    if (FormationWidth > 0.0f) {
        const float len = std::sqrt(static_cast<float>(cx * cx + cy * cy));
        if (len > 0.0f) {
            const float w = 2.0f * (FormationWidth / static_cast<float>(Columns));
            cx = static_cast<std::int32_t>(w * static_cast<float>(cx) / len);
            cy = static_cast<std::int32_t>(w * static_cast<float>(cy) / len);
        }
    }
    if (dir == 7 || dir == 8) {
        rx /= 2;
        if (FormationWidth < 0.0f)
            cy *= 2;
    }
    if (!anchorSlot0) {
        ox -= (Columns * cx) / 2;
        oy -= (Columns * cy) / 2;
    }
    const std::uint16_t checked = anchorSlot0 ? 0 : HeadPoz;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        const std::int32_t col = i % Columns;
        const std::int32_t row = i / Columns;
        SlotX[i] = ox + col * cx - row * rx;
        SlotY[i] = oy + col * cy - row * ry;
        if (i == checked) {
            ValidateSlot(i);
            continue;
        }
        SlotX[i] += (3 - JitterDraw() % 6) * 2;
        SlotY[i] += (3 - JitterDraw() % 6) * 2;
    }
}

void TGroup::SendMembers(bool send)
{
    if (!send)
        return;
    ++g_GroupOrdersUsed;
    const std::uint8_t o = FormationOrient;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        TUnit* u = Slots[i];
        if (u == nullptr)
            continue;
        if (Distance(u->X, u->Y, static_cast<float>(SlotX[i]), static_cast<float>(SlotY[i])) > 10.0f)
            GoToPoint(u, static_cast<float>(SlotX[i]), static_cast<float>(SlotY[i]), 1);
        FaceFormation(u, o);
    }
}

void TGroup::MoveInFormation(bool send)
{
    if (Busy != 0 || SlotCount == 0 || Disbanded != 0 || WantedOrient == GROUP_NO_ORIENT || HeadPoz >= SlotCount ||
        Slots[HeadPoz] == nullptr || (OrderX == 0 && OrderY == 0))
        return;
    FormationActive = 1;
    FormationOrient = WantedOrient;
    LayOut(OrderX, OrderY, false);
    SendMembers(send);
}

void TGroup::EvaluateCoords()
{
    ChooseHead();
    FormationActive = 1;
    TUnit* head = HeadPoz < SlotCount ? Slots[HeadPoz] : nullptr;
    if (VehicleGroup != 0 && head != nullptr && head->Basic != nullptr && Owner < 8) {
        float tx = 0.0f;
        float ty = 0.0f;
        bool target = false;
        if (OrderKind == GROUP_ORDER_HOUSE) {
            if (const THouse* h = OwnedHouse(OrderA, OrderB)) {
                const plat::Point p = TileToPixel({h->X, h->Y});
                tx = static_cast<float>(p.x);
                ty = static_cast<float>(p.y);
                target = true;
            }
        } else if (OrderKind == GROUP_ORDER_UNIT) {
            if (const TUnit* t = OwnedUnit(OrderA, OrderB)) {
                tx = t->X;
                ty = t->Y;
                target = true;
            }
        }
        if (target && Distance(head->X, head->Y, tx, ty) < static_cast<float>(head->Basic->Range[Owner]) - 200.0f)
            OrderStep();
    }
    if (VehicleGroup == 0) {
        if (head != nullptr) {
            SlotX[0] = static_cast<std::int32_t>(head->X);
            SlotY[0] = static_cast<std::int32_t>(head->Y);
            FreeCellPoint(SlotX[0], SlotY[0], 48);
        }
        if (OrderX == 0 && OrderY == 0) {
            OrderX = SlotX[0];
            OrderY = SlotY[0];
        }
        if (!ValidateSlot(0)) {
            Disbanded = 1;
            ReportError("!NormalizeCoord(Coords[0],Orient) in EvaluateCoords");
            return;
        }
        if (OrderKind != GROUP_ORDER_NONE)
            ComputeFormationPath();
    } else {
        if (head == nullptr) {
            ReportError("if (Units[HeadPoz]==NULL)");
        } else {
            SlotX[0] = static_cast<std::int32_t>(head->X);
            SlotY[0] = static_cast<std::int32_t>(head->Y);
        }
        if (OrderKind != GROUP_ORDER_NONE)
            ComputeFormationPath();
        if (PathLength() > 5)
            PathIndex = 5;
    }
    if (Disbanded != 0)
        return;
    if (PathLength() < 2) {
        FormationOrient = head != nullptr ? static_cast<std::uint8_t>(head->Orient & 7)
                                          : static_cast<std::uint8_t>(RandomDraw() & 7);
    } else {
        const std::uint16_t at = std::min<std::uint16_t>(PathIndex, static_cast<std::uint16_t>(PathLength() - 1));
        SlotX[0] = PathX[at];
        SlotY[0] = PathY[at];
        FormationOrient = PathOrient[at];
    }
    LayOut(SlotX[0], SlotY[0], true);
    SendMembers(true);
}

bool TGroup::RemoveUnit(TUnit* unit)
{
    if (unit == nullptr || unit->m_pGroup != this || unit->m_GroupSlot < 0 ||
        static_cast<std::uint16_t>(unit->m_GroupSlot) >= Slots.size() || Slots[unit->m_GroupSlot] != unit)
        return LiveCount != 0;
    const std::uint16_t slot = static_cast<std::uint16_t>(unit->m_GroupSlot);
    Slots[slot] = nullptr;
    unit->m_pGroup = nullptr;
    unit->m_GroupSlot = -1;
    unit->UseTypeSpeed = 0;
    if (LiveCount > 0)
        --LiveCount;
    HalfCount = static_cast<std::uint16_t>(LiveCount * (FormationMode == 0 ? 0.5 : 0.3));
    if (Counter > 1)
        --Counter;
    if (slot == HeadPoz)
        ChooseHead();
    RecomputeSpeed();
    if (LiveCount == 0) {
        Disbanded = 1;
        OrderKind = GROUP_ORDER_NONE;
        return false;
    }
    RecomputeKinds();
    return true;
}

void TGroup::RecomputeSpeed()
{
    float slowest = -1.0f;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        const TUnit* u = Slots[i];
        if (u != nullptr && u->Basic != nullptr && (slowest < 0.0f || u->Basic->Speed < slowest))
            slowest = u->Basic->Speed;
    }
    if (slowest < 0.0f)
        return;
    UnslowedSpeed = slowest * 0.95f;
    Speed = UnslowedSpeed * SpeedFactor;
}

void TGroup::RecomputeKinds()
{
    HasKind7 = HasKind10 = 0;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        const TUnit* u = Slots[i];
        if (u == nullptr || u->Basic == nullptr)
            continue;
        HasKind7 |= u->Basic->m_Kind == kKindArtilleryFlag ? 1 : 0;
        HasKind10 |= u->Basic->m_Kind == kKindVehicleReaction ? 1 : 0;
    }
}

void TGroup::SlowDown(std::uint8_t counter)
{
    Speed = Speed / SpeedFactor * kSlowFactor;
    SpeedFactor = kSlowFactor;
    SlowedCounter = counter;
}

void TGroup::GoByOrder(bool keepMembers)
{
    if (WindowFlag != 0) {
        WindowFlag = 0;
        ToggleGroupWindow();
    }
    if (LiveCount != 0) {
        const std::int32_t k = static_cast<std::int32_t>(std::sqrt(static_cast<double>(LiveCount))) + 1;
        std::int32_t n = 0;
        TUnit* first = nullptr;
        const bool onlyKind10 = keepMembers && HasKind10 != 0 &&
                                (OrderKind == GROUP_ORDER_HOUSE || OrderKind == GROUP_ORDER_UNIT);
        for (std::uint16_t i = 0; i < SlotCount; ++i) {
            TUnit* u = Slots[i];
            if (u == nullptr)
                continue;
            if (onlyKind10 && (u->Basic == nullptr || u->Basic->m_Kind != kKindVehicleReaction))
                continue;
            MoveUnitToFirstUnit(u);
            if (!keepMembers) {
                Slots[i] = nullptr;
                u->m_pGroup = nullptr;
                u->m_GroupSlot = -1;
                u->UseTypeSpeed = 0;
            }
            if (first == nullptr)
                first = u;
            switch (OrderKind) {
            case GROUP_ORDER_NONE:
            case GROUP_ORDER_GO: {
                const std::int32_t p = RandomDraw();
                const std::int32_t q = RandomDraw();
                GoToPoint(u, static_cast<float>(OrderX + ((n % k) * 2 - k + 1) * 15 - p % 30),
                          static_cast<float>(OrderY + ((n / k) * 2 - k + 1) * 15 - q % 30), 1);
                break;
            }
            case GROUP_ORDER_HOUSE:
                if (THouse* h = OwnedHouse(OrderA, OrderB))
                    AttackHouse(u, first, h, static_cast<std::uint16_t>(n), 0);
                break;
            case GROUP_ORDER_UNIT:
                if (TUnit* t = OwnedUnit(OrderA, OrderB)) {
                    t->m_FirstCountdown = 12;
                    OrderAttackUnit(u, t, 1);
                }
                break;
            case GROUP_ORDER_OBJECT: {
                const std::int32_t v = JitterDraw();
                EventSendToMisc(u, static_cast<float>(OrderX + 15 - v % 30 + (n % k) * 30 - k * 15),
                                static_cast<float>(OrderY + 15 - v % 30 + (n / k) * 30 - k * 15), OrderB);
                break;
            }
            case GROUP_ORDER_ENTER:
                if (PlayerAlive(Owner))
                    GoToObject(u, first, OrderB, static_cast<std::uint16_t>(n));
                break;
            default:
                break;
            }
            ++n;
        }
        if (!keepMembers) {
            LiveCount = 0;
            Disbanded = 1;
        }
    }
    OrderKind = GROUP_ORDER_NONE;
}

void TGroup::OnAttacked(std::int32_t, std::int32_t, TUnit* attacker)
{
    if (AlarmCountdown > 0)
        return;
    AlarmCountdown = 40;
    if (attacker == nullptr || !IsEnemy(Owner, attacker->Player) || LiveCount == 0)
        return;
    bool reacted = false;
    TUnit* first = nullptr;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        TUnit* u = Slots[i];
        if (u == nullptr || u->Dead != 0)
            continue;
        if (first == nullptr)
            first = u;
        if (u->WaitCount == 0 && u->AttackUnit == nullptr && u->HouseAttack == nullptr && u->m_bMaySearch != 0) {
            OrderAttackUnit(u, attacker, 1);
            attacker->m_FirstCountdown = 12;
            reacted = true;
        }
    }
    if (Owner == MyPlayer && reacted && g_GroupAlarmCountdown == 0 && first != nullptr) {
        AnnounceGroupUnderAttack(first->MapX, first->MapY);
        g_GroupAlarmCountdown = 20;
    } else if (g_GroupAlarmCountdown > 0) {
        --g_GroupAlarmCountdown;
    }
    ReactionCounter = 100;
}

void TGroup::SelectUnits()
{
    Selected = 1;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        TUnit* u = Slots[i];
        if (u != nullptr && u->Dead == 0 && u->Selected == 0)
            AddUnitToSelection(Owner, u);
    }
}

void TGroup::DeselectUnits()
{
    Selected = 0;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        TUnit* u = Slots[i];
        if (u != nullptr && u->Selected != 0)
            DeleteSelection(Owner, u);
    }
}

bool TGroup::HasUnitOfType(std::uint16_t type) const
{
    if (Busy != 0 || LiveCount == 0)
        return false;
    for (std::uint16_t i = 0; i < SlotCount; ++i)
        if (Slots[i] != nullptr && Slots[i]->Type == type)
            return true;
    return false;
}

bool TGroup::OrderSpecificStep()
{
    TUnit* head = HeadPoz < SlotCount ? Slots[HeadPoz] : nullptr;
    if (OrderKind == GROUP_ORDER_HOUSE) {
        const THouse* h = OwnedHouse(OrderA, OrderB);
        if (h == nullptr) {
            OrderKind = GROUP_ORDER_GO;
            return false;
        }
        if (VehicleGroup != 0 && head != nullptr && head->Basic != nullptr) {
            const plat::Point p = TileToPixel({h->X, h->Y});
            if (Distance(head->X, head->Y, static_cast<float>(p.x), static_cast<float>(p.y)) <
                static_cast<float>(head->Basic->Range[Owner & 7]))
                OrderStep();
        }
    } else if (OrderKind == GROUP_ORDER_UNIT) {
        const TUnit* t = OwnedUnit(OrderA, OrderB);
        if (t == nullptr) {
            OrderKind = GROUP_ORDER_GO;
            return false;
        }
        if (Distance(t->X, t->Y, static_cast<float>(OrderX), static_cast<float>(OrderY)) > 500.0f) {
            OrderX = static_cast<std::int32_t>(t->X);
            OrderY = static_cast<std::int32_t>(t->Y);
            GiveOrder(OrderKind, OrderX, OrderY, OrderA, OrderB);
        }
    }
    return true;
}

void TGroup::MarchStep()
{
    if (PathX.empty() || FormationKind < 1 || FormationKind > 3 || SlotCount == 0)
        return;
    for (std::int32_t i = SlotCount - 1; i >= Columns; --i) {
        SlotX[i] = SlotX[i - Columns];
        SlotY[i] = SlotY[i - Columns];
    }
    const std::uint16_t at = std::min<std::uint16_t>(PathIndex, static_cast<std::uint16_t>(PathLength() - 1));
    SlotX[0] = PathX[at];
    SlotY[0] = PathY[at];
    const std::uint8_t previous = FormationOrient;
    FormationOrient = PathOrient[at];
    if (FormationOrient != previous && PathIndex > 0)
        SlowDown(static_cast<std::uint8_t>(std::min(SlotCount / Columns + 2, 255)));
    PathIndex = static_cast<std::uint16_t>(std::min<std::int32_t>(PathIndex + SpacingFactor, PathLength()));

    const std::uint8_t dir = GetDirectionUseOrient(FormationOrient);
    const TDirSign hv = GetOrtogonalVector(FormationOrient);
    const std::int32_t cx = SpacingFactor * -18 * hv.h;
    std::int32_t cy = SpacingFactor * -6 * hv.v;
    if (dir == 7 || dir == 8) {
        cy *= 2;
        if (FormationWidth < 0.0f)
            cy *= 2;
    }
    const std::uint16_t front = std::min<std::uint16_t>(Columns, SlotCount);
    for (std::uint16_t j = 1; j < front; ++j) {
        SlotX[j] = SlotX[0] + j * cx + static_cast<std::int32_t>(RandomDraw() % 6) - 3;
        SlotY[j] = SlotY[0] + j * cy + static_cast<std::int32_t>(RandomDraw() % 6) - 3;
    }
    std::uint16_t misses = 0;
    for (std::uint16_t j = 0; j < front; ++j) {
        if (!CellFits(SlotX[j], SlotY[j])) {
            SlotX[j] = SlotX[0];
            SlotY[j] = SlotY[0];
            ++misses;
        }
    }
    ReactionCounter = static_cast<std::uint16_t>(ReactionCounter + misses);
    if (ReactionCounter > LiveCount / 10) {
        SlowDown(10);
        ReactionCounter = 0;
        FormationActive = 0;
    }
    if (SlowedCounter > 0 && --SlowedCounter == 0) {
        SpeedFactor = 1.0f;
        Speed = UnslowedSpeed;
    }
}

void TGroup::Gather()
{
    if (AlarmCountdown > 0)
        return;
    std::int64_t sum = 0;
    std::uint16_t close = 0;
    bool pause = false;
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        TUnit* u = Slots[i];
        if (u == nullptr)
            continue;
        std::int32_t d = Manhattan(u, SlotX[i], SlotY[i]);
        if (i != 0 && SlotX[i] == SlotX[0] && SlotY[i] == SlotY[0])
            d = 0;
        sum += d;
        if (FormationActive == 0) {
            u->UseTypeSpeed = d > 200 ? 1 : 0;
            if (d > 500)
                sum += 999999;
            continue;
        }
        if (d >= 40) {
            if (SlowedCounter == 0 && Standing(u) && u->PendingMove == 0 && u->WaitCount == 0 && u->StopAtEnd == 0) {
                GoToPoint(u, static_cast<float>(SlotX[i]), static_cast<float>(SlotY[i]), 0);
                FormationActive = 0;
            } else if (u->StopAtEnd != 0 || u->WaitCount != 0) {
                if (VehicleGroup == 0)
                    pause = true;
                else if (Distance(u->X, u->Y, static_cast<float>(OrderX), static_cast<float>(OrderY)) < 300.0f) {
                    FormationActive = 0;
                    PathIndex = PathLength();
                }
            }
            continue;
        }
        sum -= d;
        ++close;
        const std::uint16_t needed = PathIndex < 2 ? HalfCount : LiveCount;
        if (close >= needed)
            FormationActive = 0;
    }
    if (FormationActive == 0) {
        if (pause && GatherRetries < 3) {
            ++GatherRetries;
            StepCountdown = 20;
        }
        if (SlowedCounter == 0 && LiveCount != 0 && sum / LiveCount > 500 && GatherRetries < 2) {
            FormationActive = 1;
            ++GatherRetries;
            StepCountdown = 100;
        }
        return;
    }
    if (ReactionCounter > LiveCount / 10) {
        SlowDown(10);
        ReactionCounter = 0;
        FormationActive = 0;
    } else if (SlowedCounter != 0 && sum < 999999) {
        FormationActive = 0;
    }
}

void TGroup::MoveStep()
{
    if (AlarmCountdown > 0)
        --AlarmCountdown;
    if (Busy != 0 || Disbanded != 0)
        return;
    if (StepCountdown != 0) {
        --StepCountdown;
        return;
    }
    if (FormationActive != 0) {
        Gather();
        if (FormationActive != 0)
            return;
    } else {
        GatherRetries = 0;
    }
    if (!PathX.empty() && PathIndex >= PathLength()) {
        OrderStep();
        return;
    }
    if (OrderKind != GROUP_ORDER_NONE)
        OrderSpecificStep();
    if (FormationActive == 0 && Busy == 0 && Disbanded == 0 && StepCountdown == 0) {
        MarchStep();
        if (PathX.empty())
            StepCountdown = 100;
    }
    for (std::uint16_t i = 0; i < SlotCount; ++i) {
        TUnit* u = Slots[i];
        if (u == nullptr)
            continue;
        if (u->Dead != 0) {
            RemoveUnit(u);
            continue;
        }
        const std::int32_t d = Manhattan(u, SlotX[i], SlotY[i]);
        if (d >= 5000) {
            OrderStep();
            continue;
        }
        u->UseTypeSpeed = d >= 200 ? 1 : 0;
        if (u->AttackUnit == nullptr && u->HouseAttack == nullptr && d >= 20 && !OnWayTo(u, SlotX[i], SlotY[i]))
            GoToPoint(u, static_cast<float>(SlotX[i]), static_cast<float>(SlotY[i]), 0);
        if (static_cast<std::uint8_t>(u->Orient) != FormationOrient)
            FaceFormation(u, FormationOrient);
    }
    FormationActive = 1;
}

// ---- the groups of the players ----

TGroup* NewGroup(std::uint8_t owner)
{
    if (owner >= 8)
        return nullptr;
    auto* g = new TGroup(owner);
    // Ids are counted by the owner's group manager, so that a saved game numbers them on.
    TStrateg* s = g_Strateg[owner];
    g->Id = s != nullptr && s->GroupManager ? s->GroupManager->NextGroupId++ : g_NextGroupId++;
    g_PlayerGroups[owner].push_back(g);
    return g;
}

const std::vector<TGroup*>& PlayerGroups(std::uint8_t owner)
{
    static const std::vector<TGroup*> none;
    return owner < 8 ? g_PlayerGroups[owner] : none;
}

bool IsLiveGroup(const TGroup* group)
{
    if (group == nullptr || group->Owner >= 8)
        return false;
    const auto& list = g_PlayerGroups[group->Owner];
    return std::find(list.begin(), list.end(), group) != list.end();
}

void UpdateGroups(std::uint8_t owner)
{
    if (owner >= 8)
        return;
    auto& list = g_PlayerGroups[owner];
    for (std::size_t i = 0; i < list.size();) {
        TGroup* g = list[i];
        if (g->Disbanded != 0 && g->Busy == 0) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            // No unit may keep pointing at the group once it is gone, members or not.
            for (TUnit* u = g_Strateg[owner] != nullptr ? g_Strateg[owner]->FirstUnit : nullptr; u != nullptr;
                 u = u->m_pNext)
                if (u->m_pGroup == g) {
                    u->m_pGroup = nullptr;
                    u->m_GroupSlot = -1;
                }
            delete g;
            continue;
        }
        g->MoveStep();
        ++i;
    }
}

void LeaveGroup(TUnit* unit)
{
    if (unit == nullptr || unit->m_pGroup == nullptr)
        return;
    TGroup* g = unit->m_pGroup;
    if (IsLiveGroup(g))
        g->RemoveUnit(unit);
    unit->m_pGroup = nullptr;
    unit->m_GroupSlot = -1;
}

std::uint32_t GroupAlarmCountdown()
{
    return g_GroupAlarmCountdown;
}

void InitGroups()
{
    FreeGroups();
}

void FreeGroups()
{
    for (auto& list : g_PlayerGroups) {
        for (TGroup* g : list)
            delete g;
        list.clear();
    }
    g_NextGroupId = 0;
    g_GroupAlarmCountdown = 0;
}

float GroupSpeed(const TGroup* group)
{
    return group != nullptr ? group->Speed : 0.0f;
}

// ---- the records of commands 45 and 47 ----

void FreeGroupOrder(void* payload)
{
    delete static_cast<TGroupOrder*>(payload);
}

void GiveGroupOrderFromRecord(void* payload)
{
    auto* r = static_cast<TGroupOrder*>(payload);
    if (r != nullptr && IsLiveGroup(r->group) && r->group->Id == r->groupId)
        r->group->GiveOrderFromRecord(*r);
}

void ReplayGroupForming(void* payload)
{
    auto* r = static_cast<TGroupOrder*>(payload);
    if (r != nullptr && IsLiveGroup(r->group) && r->group->Id == r->groupId)
        r->group->ReplayForming(*r);
}

// ---- what the selection asks ----

bool IsGroupShownSelected(const TGroup* group)
{
    return group != nullptr && group->Selected != 0;
}

void SelectGroupUnits(TGroup* group, bool select)
{
    if (group == nullptr)
        return;
    if (select)
        group->SelectUnits();
    else
        group->DeselectUnits();
}

bool GroupHasUnitOfType(const TGroup* group, std::uint16_t type)
{
    return group != nullptr && group->HasUnitOfType(type);
}

bool GetGroupCell(const TGroup* group, std::int32_t& column, std::int32_t& row)
{
    if (group == nullptr)
        return false;
    for (const TUnit* u : group->Slots) {
        if (u != nullptr) {
            column = u->MapX;
            row = u->MapY;
            return true;
        }
    }
    return false;
}

void OrientGroup(TGroup* group, std::uint8_t orient, float distance)
{
    if (group == nullptr || orient > 7)
        return;
    group->WantedOrient = orient;
    group->FormationWidth = std::min(distance, 2000.0f);
    if (group->PathX.empty() || group->PathIndex >= group->PathLength())
        group->MoveInFormation(true);
}

// ---- the group's save block ----

namespace {

// The largest slot capacity and path a stored group may claim: a u16 count, as in memory.
constexpr std::uint32_t kMaxStoredQueue = 65535;

// The value fields of the 128-byte head, visited alike by the writer and the reader. The pointer
// slots (operations, slot arrays, path arrays, order queue, record list) stay zero.
template <class Io, class Group>
void VisitGroupHead(const Io& io, Group& g, std::uint16_t& pathLength)
{
    io.Field(24, pathLength);
    io.Field(26, g.PathIndex);
    io.Field(28, g.SlotCount);
    io.Field(30, g.Capacity);
    io.Field(32, g.LiveCount);
    io.Field(34, g.HalfCount);
    io.Field(36, g.FormationKind);
    io.Field(37, g.SpacingFactor);
    io.Field(38, g.Columns);
    io.Field(39, g.SlowedCounter);
    io.Field(40, g.HeadPoz);
    io.Field(42, g.WantedOrient);
    io.Field(43, g.Busy);
    io.Field(44, g.TargetX);
    io.Field(48, g.TargetY);
    io.Field(52, g.FormationWidth);
    io.Field(56, g.StepCountdown);
    io.Field(58, g.FormationMode);
    io.Field(59, g.Selected);
    io.Field(60, g.WindowFlag);
    io.Field(61, g.VehicleGroup);
    io.Field(62, g.GatherRetries);
    io.Field(63, g.HasKind7);
    io.Field(64, g.AlarmCountdown);
    io.Field(68, g.ReactionCounter);
    io.Field(70, g.HasKind10);
    io.Field(71, g.FormingOrderKind);
    io.Field(72, g.Owner);
    io.Field(73, g.OrderKind);
    io.Field(74, g.OrderA);
    io.Field(75, g.FormationActive);
    io.Field(76, g.OrderB);
    io.Field(78, g.Counter);
    io.Field(80, g.OrderX);
    io.Field(84, g.OrderY);
    io.Field(88, g.Id);
    io.Field(92, g.Speed);
    io.Field(96, g.SpeedFactor);
    io.Field(100, g.FormationOrient);
    io.Field(101, g.Disbanded);
    // 102 and 104: the two private speed fields, written by SaveGroup and LoadGroup themselves.
}

bool RefuseGroup(const char* what)
{
    ReportError2("Group block is refused: ", what);
    return false;
}

} // namespace

void SaveGroup(const TGroup& group, TOfStreamMemory& out)
{
    std::uint8_t head[GROUP_HEAD_BYTES] = {};
    std::uint16_t pathLength = group.PathLength();
    VisitGroupHead(TRecordWriter(head), group, pathLength);
    TRecordWriter(head).Field(102, group.SlowestIgnored);
    TRecordWriter(head).Field(104, group.UnslowedSpeed);
    out.Write(head, GROUP_HEAD_BYTES);
    out.WriteU32(static_cast<std::uint32_t>(group.OrderQueue.size()));
    for (const TGroupOrderNode& n : group.OrderQueue) {
        std::uint8_t node[GROUP_ORDER_NODE_BYTES] = {};
        const TRecordWriter w(node);
        w.Field(0, n.kind);
        w.Field(1, n.a);
        w.Field(2, n.b);
        w.Field(4, n.x);
        w.Field(8, n.y);
        out.Write(node, GROUP_ORDER_NODE_BYTES);
    }
    const std::uint16_t slots = std::min<std::uint16_t>(group.SlotCount, static_cast<std::uint16_t>(group.Slots.size()));
    for (std::uint16_t i = 0; i < group.SlotCount; ++i) {
        const TUnit* u = i < slots ? group.Slots[i] : nullptr;
        out.WriteU16(u != nullptr ? u->m_Index : std::uint16_t{65535});
    }
    if (group.SlotCount != 0) {
        for (std::uint16_t i = 0; i < group.SlotCount; ++i) {
            out.WriteI32(i < group.SlotX.size() ? group.SlotX[i] : 0);
            out.WriteI32(i < group.SlotY.size() ? group.SlotY[i] : 0);
        }
        for (std::uint16_t i = 0; i < group.SlotCount; ++i)
            out.WriteU8(i < group.SlotBytes.size() ? group.SlotBytes[i] : 0);
    }
    out.WriteU16(pathLength);
    out.WriteU16(group.PathIndex);
    for (std::uint16_t i = 0; i < pathLength; ++i) {
        out.WriteI32(group.PathX[i]);
        out.WriteI32(group.PathY[i]);
    }
    for (std::uint16_t i = 0; i < pathLength; ++i)
        out.WriteU8(i < group.PathOrient.size() ? group.PathOrient[i] : 0);
}

bool LoadGroup(TGroup& group, TIfStreamMemory& in)
{
    std::uint8_t head[GROUP_HEAD_BYTES];
    if (in.Read(head, GROUP_HEAD_BYTES) != GROUP_HEAD_BYTES)
        return RefuseGroup("cut short");
    // The whole block is read into a scratch group first, so a refused block changes nothing.
    TGroup scratch(group.Owner);
    std::uint16_t headPath = 0;
    VisitGroupHead(TRecordReader(head), scratch, headPath);
    if (scratch.Owner != group.Owner)
        return RefuseGroup("owner");
    if (scratch.SlotCount > scratch.Capacity)
        return RefuseGroup("slot count past the capacity");
    std::uint32_t queued = 0;
    if (!in.ReadU32(queued) || queued > kMaxStoredQueue ||
        std::int64_t{queued} * GROUP_ORDER_NODE_BYTES > in.Remaining())
        return RefuseGroup("order queue");
    std::vector<TGroupOrderNode> queue(queued);
    for (TGroupOrderNode& n : queue) {
        std::uint8_t node[GROUP_ORDER_NODE_BYTES];
        in.Read(node, GROUP_ORDER_NODE_BYTES);
        const TRecordReader r(node);
        r.Field(0, n.kind);
        r.Field(1, n.a);
        r.Field(2, n.b);
        r.Field(4, n.x);
        r.Field(8, n.y);
    }
    const std::uint16_t count = scratch.SlotCount;
    if (std::int64_t{count} * (2 + 8 + 1) > in.Remaining())
        return RefuseGroup("slots cut short");
    std::vector<std::uint16_t> members(count);
    for (std::uint16_t& m : members)
        in.ReadU16(m);
    std::vector<std::int32_t> sx(scratch.Capacity, 0), sy(scratch.Capacity, 0);
    std::vector<std::uint8_t> bytes(scratch.Capacity, 0);
    for (std::uint16_t i = 0; i < count; ++i) {
        in.ReadI32(sx[i]);
        in.ReadI32(sy[i]);
    }
    if (count != 0)
        in.Read(bytes.data(), count);
    std::uint16_t pathLength = 0, pathIndex = 0;
    if (!in.ReadU16(pathLength) || !in.ReadU16(pathIndex) || pathLength != headPath ||
        std::int64_t{pathLength} * 9 > in.Remaining())
        return RefuseGroup("path");
    std::vector<std::int32_t> px(pathLength), py(pathLength);
    std::vector<std::uint8_t> po(pathLength);
    for (std::uint16_t i = 0; i < pathLength; ++i) {
        in.ReadI32(px[i]);
        in.ReadI32(py[i]);
    }
    if (pathLength != 0)
        in.Read(po.data(), pathLength);
    if (in.Failed())
        return RefuseGroup("cut short");
    // Members are looked up in the owner's table; a slot whose unit is gone stays empty.
    const TStrateg* owner = group.Owner < 8 ? g_Strateg[group.Owner] : nullptr;
    std::vector<TUnit*> slots(scratch.Capacity, nullptr);
    for (std::uint16_t i = 0; i < count; ++i) {
        TUnit* u = owner != nullptr && members[i] != 65535 ? owner->GetUnit(members[i]) : nullptr;
        if (u != nullptr && u->Player == group.Owner && u->m_pGroup == nullptr)
            slots[i] = u;
    }

    group.ReleaseMembers();
    std::uint16_t ignored = 0;
    VisitGroupHead(TRecordReader(head), group, ignored);
    TRecordReader(head).Field(102, group.SlowestIgnored);
    TRecordReader(head).Field(104, group.UnslowedSpeed);
    group.PathIndex = pathIndex;
    group.OrderQueue = std::move(queue);
    group.Slots = std::move(slots);
    group.SlotX = std::move(sx);
    group.SlotY = std::move(sy);
    group.SlotBytes = std::move(bytes);
    group.PathX = std::move(px);
    group.PathY = std::move(py);
    group.PathOrient = std::move(po);
    for (std::uint16_t i = 0; i < count; ++i)
        if (TUnit* u = group.Slots[i]) {
            u->m_pGroup = &group;
            u->m_GroupSlot = static_cast<std::int16_t>(i);
        }
    return true;
}
