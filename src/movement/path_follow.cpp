#include "movement/path_follow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "combat/ships.h"
#include "combat/unit_events.h"
#include "combat/unit_queries.h"
#include "combat/unit_orders.h"
#include "combat/work_states.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/terrain.h"
#include "map/trenches.h"
#include "movement/directions.h"
#include "movement/passability.h"
#include "movement/path_cache.h"
#include "movement/path_search.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

constexpr float kMinPathSpeed = 0.2f;
constexpr float kMinMoveSpeed = 0.1f;
constexpr float kCatchUpFactor = 1.1f;
constexpr std::int32_t kPathWorkPerLongMove = 10;
constexpr int kGreedyCheckedSteps = 9;
constexpr float kSmallHouseHeight = 114.0f;
constexpr float kUphillWeight = 6.0f;
constexpr float kDownhillWeight = 3.0f;
constexpr float kSlopeMinDistance = 3.0f;
constexpr float kSlopeMaxSlowdown = 4.0f;
constexpr int kMaxNewWayPoints = 100;
constexpr std::uint16_t kIdleHouseType = 15;
constexpr std::uint16_t kComputerHouseChance = 2000;
constexpr std::int32_t kIdleSearchColumns = 8;

bool IsAnimatedObject(std::uint16_t code)
{
    return code >= kObjectAnimatedFirst && code <= kObjectAnimatedLast;
}

// Random steps from cell until the cell test accepts one; the cell stays as given when none did.
bool RandomWalkToFreeCell(plat::Point& cell, const TUnit* unit, int steps)
{
    plat::Point at = cell;
    for (int i = 0; i < steps; ++i) {
        if (IsCellFreeForUnit(at, unit)) {
            cell = at;
            return true;
        }
        at = GetNeighbourPoint(at, static_cast<std::uint8_t>((RandomDraw() & 7) + 1));
    }
    return false;
}

// The first step toward the step point has begun: animation, velocity and facing. The saved work
// stays only when the facing made the unit turn and so changed its animation.
void BeginStep(TUnit* unit)
{
    SetMoveWork(unit);
    SetVelocityToWaypoint(unit);
    unit->NextWork = unit->NumWork;
    const std::uint8_t before = unit->NumWork;
    SetOrientToUnit(unit);
    if (unit->NumWork == before)
        unit->NextWork = UNIT_NO_NEXT_WORK;
}

void StartStraightWalk(TUnit* unit, float x, float y)
{
    unit->StepX = x;
    unit->StepY = y;
    BeginStep(unit);
}

bool FirstCellFree(const TUnit* unit, const plat::Point& first)
{
    if (!IsCellInPlayableArea(first.x, first.y))
        return false;
    const std::size_t poz = CellIndex(first.x, first.y);
    if (IsVehicleUnit(unit))
        return g_pVehiclePassMap[poz] == 0 || (g_pCellFlags != nullptr && g_pCellFlags[poz] == ADVANCED_PATH_UNIT_BIT);
    return g_pLandPassMap[poz] == 0;
}

// The first code of the unit's path becomes its step.
void TakeFirstPathStep(TUnit* unit)
{
    unit->m_PathRetries = 0;
    const TDirStep d = GetDxDyUseDirection(unit->Path[0]);
    unit->StepX = unit->X + static_cast<float>(d.dx);
    unit->StepY = unit->Y + static_cast<float>(d.dy);
    unit->PathIndex = 1;
    BeginStep(unit);
}

plat::Point FirstPathCell(const TUnit* unit)
{
    return GetNeighbourPoint({unit->MapX, unit->MapY}, unit->Path[0]);
}

// What a move handed to SendUnitToCell comes to inside AddBasicPath.
void TakeSendResult(TUnit* unit, std::int8_t r, float x, float y)
{
    switch (r) {
    case SEND_PATH_FOUND:
        unit->NextWork = UNIT_NO_NEXT_WORK;
        break;
    case SEND_WALK_STRAIGHT:
        StartStraightWalk(unit, x, y);
        break;
    default:
        ++unit->m_PathRetries;
        PutUnitToStanding(unit);
        if (r == SEND_FAILED)
            EventUnitEndMove(unit);
        break;
    }
}

void SendWithDeferral(TUnit* unit, float x, float y)
{
    TakeSendResult(unit, SendUnitToCell(unit, x, y, true), x, y);
}

// The ground height under the step point as a walking unit meets it.
float StepPointHeight(TUnit* unit, const plat::Point& cell)
{
    const float altitude = unit->GroundHeight;
    // The two triangles of a cell reach into its NE, SE and E neighbours.
    if (cell.x < 0 || cell.y < 1 || cell.x + 1 >= g_MapWidth || cell.y + 1 >= g_MapHeight || g_pHeightMap == nullptr)
        return altitude;
    if (CellHasHouseKindBelow2(cell)) {
        unit->m_TurnFlag = 1;
        return kSmallHouseHeight;
    }
    unit->m_TurnFlag = 0;
    const std::uint16_t code = g_pObjectMap[CellIndex(cell.x, cell.y)];
    // Pontoons float: a unit on one keeps its height.
    if (g_TrenchList.IsTrenchObjectCode(code))
        return altitude;
    return static_cast<float>(GetLandHeightF(unit->StepX, unit->StepY));
}

void ApplySlope(TUnit* unit)
{
    const plat::Point cell = PixelToFlatCell(unit->StepX, unit->StepY);
    float dh = StepPointHeight(unit, cell) - unit->GroundHeight;
    dh *= dh > 0.0f ? kUphillWeight : kDownhillWeight;
    const float dx = unit->StepX - unit->X;
    const float dy = unit->StepY - unit->Y;
    const float d = std::sqrt(dx * dx + dy * dy);
    if (d < kSlopeMinDistance)
        return;
    const float slow = std::min(std::sqrt(d * d + dh * dh) / d, kSlopeMaxSlowdown);
    unit->VX /= slow;
    unit->VY /= slow;
}

// The velocity rule: speed along the line to the step point, the slower axis from the slope.
void AimVelocity(TUnit* unit, float flatLimit)
{
    const float speed = UnitSpeed(unit);
    const float dx = unit->StepX - unit->X;
    const float dy = unit->StepY - unit->Y;
    const float a = std::fabs(dx);
    const float b = std::fabs(dy);
    float vx = 0.0f;
    float vy = 0.0f;
    if (b <= flatLimit) {
        vx = speed;
    } else {
        const float s = a / b;
        vy = speed / std::sqrt(s * s + 1.0f);
        vx = vy * s;
    }
    unit->VX = dx < 0.0f ? -vx : vx;
    unit->VY = dy < 0.0f ? -vy : vy;
}

// A tank's step point sits on its cell's centre, beside a small neutral house on its slope.
void SnapTankStepPoint(TUnit* unit)
{
    const plat::Point cell = PixelToFlatCell(unit->StepX, unit->StepY);
    if (!CellPointInMap(cell) || !IsTileInMap(cell))
        return;
    const bool endWithIt = std::fabs(unit->StepX - unit->GoalX) <= 1.0f && std::fabs(unit->StepY - unit->GoalY) <= 1.0f;
    float x = 0.0f;
    float y = 0.0f;
    CellCentrePixel(cell, x, y);
    const THouse* h = HouseFromObjectCode(g_pObjectMap[CellIndex(cell.x, cell.y)]);
    if (h != nullptr && h->Owner == HOUSE_NO_OWNER && h->HouseType <= 1) {
        x += h->HouseType == 0 ? 10.0f : -10.0f;
        y -= 10.0f;
    }
    unit->StepX = x;
    unit->StepY = y;
    if (endWithIt) {
        unit->GoalX = x;
        unit->GoalY = y;
    }
}

bool StandingUnitNear(float x, float y)
{
    const plat::Point cell = PixelToFlatCell(x, y);
    return AnyUnitAround(cell, [&](const TUnit& u) {
        const float body = u.Basic != nullptr ? static_cast<float>(u.Basic->CrushSize) : 0.0f;
        return u.Dead == 0 && u.Halted != 0 && std::fabs(u.X - x) < body && std::fabs(u.Y - y) < body;
    });
}

bool LandCellFree(const plat::Point& cell)
{
    return CellPointInMap(cell) && IsLandCellFree(static_cast<std::uint32_t>(CellIndex(cell.x, cell.y)));
}

// A field spot qualifies when nobody stands on it and its cell is free land holding the field.
bool FieldPointFree(float x, float y)
{
    const plat::Point c = PixelToFlatCell(x, y);
    return LandCellFree(c) && IsAnimatedObject(g_pObjectMap[CellIndex(c.x, c.y)]) && !StandingUnitNear(x, y);
}

// A place to stand at a field cell: the cell itself when free, else a free land neighbour.
bool FieldStandPlace(const plat::Point& cell, plat::Point& place)
{
    for (std::uint8_t k = 0; k < kDirectionCount; ++k) {
        const plat::Point n = GetNeighbourPoint(cell, k);
        if (!IsCellInPlayableArea(n.x, n.y) || !LandCellFree(n))
            continue;
        float x = 0.0f;
        float y = 0.0f;
        CellCentrePixel(n, x, y);
        if (k == 0 && StandingUnitNear(x, y))
            continue;
        place = n;
        return true;
    }
    return false;
}

} // namespace

float UnitSpeed(const TUnit* unit)
{
    if (unit == nullptr || unit->Basic == nullptr)
        return 0.0f;
    if (unit->m_pGroup == nullptr)
        return unit->Basic->Speed;
    if (unit->UseTypeSpeed != 0)
        return unit->Basic->Speed * kCatchUpFactor;
    return GroupSpeed(unit->m_pGroup);
}

void CellCentrePixel(const plat::Point& cell, float& x, float& y)
{
    x = static_cast<float>(cell.x * kCellWidth + ((cell.y & 1) != 0 ? kCellWidth / 2 : 0));
    y = static_cast<float>(cell.y * kRowStep);
}

std::int8_t SendUnitToCell(TUnit* unit, float x, float y, bool mayDefer)
{
    if (unit == nullptr)
        return SEND_FAILED;
    if (UnitSpeed(unit) < kMinPathSpeed) {
        ++unit->m_PathRetries;
        return SEND_FAILED;
    }
    const plat::Point cell = PixelToFlatCell(x, y);
    if (!CellPointInMap(cell)) {
        ++unit->m_PathRetries;
        return SEND_FAILED;
    }
    if (mayDefer && std::abs(cell.y - unit->MapY) / 2 + std::abs(cell.x - unit->MapX) >= g_MapWidth / 15) {
        if (g_PathWorkCounter >= g_PathBudget) {
            TStrateg* owner = unit->Player < 8 ? g_Strateg[unit->Player] : nullptr;
            if (owner == nullptr)
                return SEND_FAILED;
            unit->PendingMove = 1;
            THeapItem* item = NewCommandForObjects(COMMAND_CLASS_SELECTION, COMMAND_ID_PATH_MOVE, x, y, nullptr, unit, nullptr);
            unit->m_pOrderObject = item;
            owner->AddCommand(item);
            unit->m_OrderedX = static_cast<std::int32_t>(x);
            unit->m_OrderedY = static_cast<std::int32_t>(y);
            return SEND_DEFERRED;
        }
        g_PathWorkCounter += kPathWorkPerLongMove;
    }
    unit->GoalX = x;
    unit->GoalY = y;
    unit->PendingMove = 0;
    unit->StepX = unit->X;
    unit->StepY = unit->Y;
    const std::int8_t r = FindPathChecked(unit, cell.x, cell.y);
    if (r == SEND_WALK_STRAIGHT) {
        unit->StepX = unit->GoalX;
        unit->StepY = unit->GoalY;
        BeginStep(unit);
        unit->m_Flag157 = 0;
        unit->Halted = 0;
        return SEND_WALK_STRAIGHT;
    }
    if (r == SEND_PATH_FOUND && unit->PathLength > 0 && unit->Path != nullptr) {
        unit->m_Flag157 = 0;
        unit->Halted = 0;
        // A path that starts into a blocked cell is no path: the caller's retry takes over.
        if (!FirstCellFree(unit, FirstPathCell(unit))) {
            DropPath(unit);
            ++unit->m_PathRetries;
            return SEND_FAILED;
        }
        TakeFirstPathStep(unit);
        return SEND_PATH_FOUND;
    }
    return r;
}

void PutUnitToStanding(TUnit* unit)
{
    if (unit == nullptr)
        return;
    unit->NumWork = unit->Upright == 0 ? ANIM_STAND : ANIM_STAND_UPRIGHT;
    unit->NumSprite = 0.0f;
    unit->Halted = 1;
    unit->StopAtEnd = 0;
    DropPath(unit);
    if (unit->FaceOrient != UNIT_NO_FACE && unit->FaceOrient != static_cast<std::uint8_t>(unit->Orient)) {
        unit->WantedOrient = unit->FaceOrient;
        StartTurn(unit);
    }
}

void AddBasicPath(TUnit* unit, float x, float y, bool keepState)
{
    if (unit == nullptr || unit->Basic == nullptr)
        return;
    unit->PendingMove = 0;
    if (IsShipTypeUnit(unit)) {
        unit->StepX = unit->GoalX = x;
        unit->StepY = unit->GoalY = y;
        SetVelocityToWaypoint(unit);
        unit->Halted = 0;
        ShipMoveStep(unit);
        return;
    }
    if (UnitSpeed(unit) < kMinMoveSpeed) {
        unit->StepX = x;
        unit->StepY = y;
        SetOrientToUnit(unit);
        unit->Halted = 1;
        return;
    }
    plat::Point goal = PixelToFlatCell(x, y);
    if (!IsCellInPlayableArea(goal.x, goal.y)) {
        RandomWalkToFreeCell(goal, nullptr, kFreeCellWalkSteps);
        float gx = x;
        float gy = y;
        if (IsCellInPlayableArea(goal.x, goal.y))
            CellCentrePixel(goal, gx, gy);
        SendWithDeferral(unit, gx, gy);
        return;
    }
    if (IsVehicleUnit(unit)) {
        if (!IsCellUsableByUnit(unit, static_cast<std::uint32_t>(CellIndex(goal.x, goal.y)))
            && RandomWalkToFreeCell(goal, unit, kVehicleWalkSteps))
            CellCentrePixel(goal, x, y);
        SendWithDeferral(unit, x, y);
        return;
    }
    if (!IsLandCellFree(static_cast<std::uint32_t>(CellIndex(goal.x, goal.y)))) {
        if (!keepState) {
            PutUnitToStanding(unit);
            ClearUnitTargets(unit);
        }
        if (RandomWalkToFreeCell(goal, nullptr, kFreeCellWalkSteps))
            CellCentrePixel(goal, x, y);
    }
    DropPath(unit);
    unit->StepX = unit->X;
    unit->StepY = unit->Y;
    unit->VX = unit->VY = 0.0f;
    unit->GoalX = x;
    unit->GoalY = y;
    unit->m_Flag157 = 0;
    unit->Halted = 0;

    const plat::Point start{unit->MapX, unit->MapY};
    if ((goal.x == start.x && goal.y == start.y) || StraightLineFree(unit, g_pLandPassMap)) {
        StartStraightWalk(unit, x, y);
        return;
    }
    // A straight run of cells toward the goal; only its first cells are tested, the walk finds
    // out about the rest.
    std::vector<std::uint8_t> codes;
    plat::Point at = start;
    while (at.x != goal.x || at.y != goal.y) {
        if (static_cast<int>(codes.size()) >= kGreedyPathLimit) {
            ReportError("Error in AddBasicPath");
            DropPath(unit);
            unit->Halted = 1;
            return;
        }
        const std::uint8_t k = CPathHelper::StraightStep(at, goal);
        at = GetNeighbourPoint(at, k);
        if (static_cast<int>(codes.size()) < kGreedyCheckedSteps && !LandCellFree(at)) {
            SendWithDeferral(unit, x, y);
            return;
        }
        codes.push_back(k);
    }
    delete[] unit->Path;
    unit->Path = new std::uint8_t[codes.size()];
    std::copy(codes.begin(), codes.end(), unit->Path);
    unit->PathLength = static_cast<std::uint16_t>(codes.size());
    unit->PathIndex = 0;
    if (FirstCellFree(unit, FirstPathCell(unit))) {
        TakeFirstPathStep(unit);
        return;
    }
    SendWithDeferral(unit, x, y);
}

std::int8_t SendUnitToPoint(TUnit* unit, float x, float y)
{
    if (unit == nullptr)
        return SEND_WALK_STRAIGHT;
    unit->Work = WORK_OWN_WAY;
    unit->WorkObject = 0;
    unit->StopAtEnd = 0;
    AddBasicPath(unit, x, y, false);
    unit->m_OrderFlagA = 0;
    unit->m_OrderFlagB = 0;
    unit->PlayerAttack = UNIT_NO_PLAYER;
    unit->PlayerHouseAttack = UNIT_NO_PLAYER;
    return SEND_WALK_STRAIGHT;
}

void ResumeGoToPoint(TUnit* unit, float x, float y)
{
    if (unit == nullptr)
        return;
    unit->StopAtEnd = 0;
    GoToPoint(unit, x, y, 1);
}

void SetVelocityToWaypoint(TUnit* unit)
{
    if (unit == nullptr || unit->Basic == nullptr)
        return;
    if (UnitKindOf(unit) == UNIT_KIND_TANK)
        SnapTankStepPoint(unit);
    AimVelocity(unit, 0.1f);
    ApplySlope(unit);
}

void SetVelocityToTarget(TUnit* unit)
{
    if (unit == nullptr || unit->Basic == nullptr)
        return;
    AimVelocity(unit, 0.0f);
}

plat::Point FindFreeCellNear(std::int32_t x, std::int32_t y)
{
    plat::Point cell{x, y};
    if (!RandomWalkToFreeCell(cell, nullptr, kFreeCellWalkSteps))
        return {x, y};
    return cell;
}

void MoveAsideToFreeCell(TUnit* unit)
{
    if (unit == nullptr)
        return;
    if (unit->Work == WORK_OWN_WAY || unit->Work == WORK_WORKER_BUSY) {
        FindNewWay(unit);
        return;
    }
    plat::Point cell{unit->MapX, unit->MapY};
    RandomWalkToFreeCell(cell, unit, kVehicleWalkSteps);
    ++unit->m_PathRetries;
    float x = 0.0f;
    float y = 0.0f;
    CellCentrePixel(cell, x, y);
    const auto r = static_cast<float>(RandomDraw() % 20);
    // The shift takes two places of the shared table.
    ++g_RandIndex;
    GoToPoint(unit, x + r - 10.0f, y + r - 10.0f, 0);
}

void FindNewWay(TUnit* unit)
{
    if (unit == nullptr)
        return;
    ++unit->m_PathRetries;
    const std::int32_t c0 = std::max<std::int32_t>(unit->MapX - 5, PASS_BORDER_LEFT);
    const std::int32_t c1 = std::min<std::int32_t>(unit->MapX + 4, g_MapWidth - PASS_BORDER_RIGHT - 1);
    const std::int32_t r0 = std::max<std::int32_t>(unit->MapY - 10, PASS_BORDER_TOP);
    const std::int32_t r1 = std::min<std::int32_t>(unit->MapY + 9, g_MapHeight - PASS_BORDER_BOTTOM - 1);
    std::vector<TFloatPoint> points;
    for (std::int32_t r = r0; r <= r1 && static_cast<int>(points.size()) < kMaxNewWayPoints; ++r)
        for (std::int32_t c = c0; c <= c1 && static_cast<int>(points.size()) < kMaxNewWayPoints; ++c) {
            if (!IsAnimatedObject(g_pObjectMap[CellIndex(c, r)]))
                continue;
            const plat::Point corner = TileToPixel({c, r});
            for (std::int32_t dx : {15, 75}) {
                const auto px = static_cast<float>(corner.x + dx);
                const auto py = static_cast<float>(corner.y);
                if (static_cast<int>(points.size()) < kMaxNewWayPoints && FieldPointFree(px, py))
                    points.push_back({px, py});
            }
        }
    // Nowhere to go (or no cells to look at): the unit gives up its work and stands.
    if (points.empty()) {
        unit->Work = UNIT_NO_WORK;
        StopUnit(unit, 0);
        return;
    }
    const TFloatPoint& p = points[RandomDraw() % points.size()];
    GoToPoint(unit, p.x, p.y, 0);
}

bool GoToNearestHouseOfType15(TUnit* unit)
{
    if (unit == nullptr || unit->Player >= 8 || g_pHouse[unit->Player] == nullptr)
        return false;
    const THouse* best = nullptr;
    std::int32_t bestScore = 0;
    for (std::uint32_t i = 0; i < NumHouse[unit->Player]; ++i) {
        const THouse* h = HouseAt(g_pHouse[unit->Player], i);
        if (h == nullptr || h->HouseType != kIdleHouseType || h->Destroyed != 0 || !h->IsFinished())
            continue;
        const std::int32_t score = std::abs(h->Y - unit->MapY) + 2 * std::abs(h->X - unit->MapX);
        if (best == nullptr || score < bestScore) {
            best = h;
            bestScore = score;
        }
    }
    if (best == nullptr)
        return false;
    GoToPoint(unit, best->ExitX, best->ExitY, 0);
    return true;
}

bool FindWorkForIdleUnit(TUnit* unit)
{
    if (unit == nullptr || unit->Work != UNIT_NO_WORK)
        return false;
    const TStrateg* owner = unit->Player < 8 ? g_Strateg[unit->Player] : nullptr;
    if (owner != nullptr && owner->Kind == PLAYER_KIND_COMPUTER && RandomDraw() < kComputerHouseChance
        && GoToNearestHouseOfType15(unit))
        return true;
    // Rings of cells outward from the unit, nearest ring first.
    const plat::Point at{unit->MapX, unit->MapY};
    for (std::int32_t ring = 1; ring <= kIdleSearchColumns; ++ring)
        for (std::int32_t dr = -2 * ring; dr <= 2 * ring; ++dr)
            for (std::int32_t dc = -ring; dc <= ring; ++dc) {
                if (std::abs(dc) != ring && std::abs(dr) < 2 * ring - 1)
                    continue;
                const plat::Point c{at.x + dc, at.y + dr};
                if (!IsCellInPlayableArea(c.x, c.y) || !IsAnimatedObject(g_pObjectMap[CellIndex(c.x, c.y)]))
                    continue;
                plat::Point place;
                if (!FieldStandPlace(c, place))
                    continue;
                float x = 0.0f;
                float y = 0.0f;
                CellCentrePixel(place, x, y);
                unit->Work = WORK_OWN_WAY;
                unit->WorkObject = 0;
                AddBasicPath(unit, x, y, false);
                return true;
            }
    return false;
}
