// Tanks: the kind-3 move and second handlers, clearing the way round a vehicle and crushing what
// lies under its tracks.
#include "combat/tanks.h"

#include <cmath>

#include "combat/battle_services.h"
#include "combat/firing.h"
#include "combat/ground_frame.h"
#include "combat/house_events.h"
#include "combat/target_search.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/unit_queries.h"
#include "combat/work_states.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/site_queries.h"
#include "movement/directions.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace {

constexpr std::uint8_t kGunSearchDelay = 30;
constexpr std::uint16_t kGunFireAbove = 24999;
constexpr std::uint16_t kStandingScanSkip = 25000;
constexpr std::uint16_t kReplanChance = 3001;
constexpr std::uint16_t kPushSoundChance = 3000;
constexpr std::uint8_t kPushSoundCategory = 3;
constexpr std::uint16_t kPushSoundTypeA = 24;
constexpr std::uint16_t kPushSoundTypeB = 13;
constexpr std::uint16_t kTypeNeverPushed = 23;
constexpr std::uint16_t kPushWait = 10;
constexpr float kFarFromGoal = 300.0f;
constexpr float kPushReach = 100.0f;
constexpr float kSaveOrderDistance = 40.0f;
constexpr float kCrushHitPoints = -100.0f;
constexpr float kOnGround = 1.0f;
constexpr std::uint8_t kAnimIdle = 4;
constexpr std::uint8_t kScanRadius = 2;
constexpr std::uint16_t kCrushRadius = 2;

// Fixed replacements of the objects 9608..9616 driven over straight (side 0).
constexpr std::uint16_t kCrushedRow[9] = {9656, 9653, 9650, 9641, 9635, 9632, 9647, 9644, 9636};
constexpr std::uint16_t kCrushedMarksFirst = 9623;
constexpr std::uint16_t kCrushedMarksLast = 9658;

bool Inside(const TUnit* u)
{
    return u->Work == STAY_IN_HOUSE || u->Work == WORK_UNIT_TRANSPORTED;
}
bool BoardingThis(const TUnit* u, const TUnit* tank)
{
    return u->Work == WORK_GO_TO_TRANSPORT && u->m_MyFutureTransporter == tank;
}
bool IsClosePath(const TUnit* u)
{
    return u->Basic != nullptr && u->Basic->ClosePath != 0;
}
void MoveIntoCellUnder(TUnit* u)
{
    const plat::Point c = PixelToFlatCell(u->X, u->Y);
    if (c.x != u->MapX || c.y != u->MapY)
        MoveUnitToCell(c.x, c.y, u);
}
bool TargetInFiringRange(const TUnit* u)
{
    const TUnit* t = u->AttackUnit;
    return IsLiveUnit(t) && HasAnimation(u, ANIM_AIM) && PixelDistance(u->X, u->Y, t->X, t->Y) <= UnitRange(u);
}

// The machine guns: a search while without a target, bursts at the target while it lives.
void GunsStep(TUnit* u)
{
    if (u->Basic->GunCount == 0)
        return;
    if (u->GunTarget == nullptr) {
        if (u->GunScanDelay == 0) {
            UnitScanAround(u);
            if (u->GunTarget == nullptr)
                u->GunScanDelay = kGunSearchDelay;
        } else {
            --u->GunScanDelay;
        }
        return;
    }
    const std::uint8_t guns = u->Basic->GunCount < UNIT_GUN_SLOTS ? u->Basic->GunCount : UNIT_GUN_SLOTS;
    for (std::uint8_t i = 0; i < guns; ++i) {
        if (u->GunTarget != nullptr && u->GunTarget->Dead != 0) {
            u->GunTarget = nullptr;
            UnitScanAround(u);
            if (u->GunTarget == nullptr)
                return;
        }
        if (u->GunTarget == nullptr)
            return;
        if (RandomDraw() > kGunFireAbove && u->Basic->GunSlots[i] == 0)
            MashineGunnerFire(u, u->GunTarget);
    }
}

// A unit in the tank's way steps aside to the side it stands on.
void PushAside(TUnit* tank, TUnit* u, float hx, float hy)
{
    u->StopAtEnd = 1;
    const float vx = u->X - tank->X;
    const float vy = u->Y - tank->Y;
    const float cross = hx * vy - hy * vx;
    const float sx = cross >= 0.0f ? -hy : hy;
    const float sy = cross >= 0.0f ? hx : -hx;
    float tx = u->X + sx;
    float ty = u->Y + sy;
    const plat::Point cell = PixelToFlatCell(tx, ty);
    if (!CellPointInMap(cell) || !IsCellUsableByUnit(u, static_cast<std::uint32_t>(CellIndex(cell.x, cell.y)))) {
        const plat::Point free = FindFreeCellNear(cell.x, cell.y);
        CellCentrePixel(free, tx, ty);
    }
    if ((tank->Type == kPushSoundTypeA || tank->Type == kPushSoundTypeB) && RandomDraw() < kPushSoundChance &&
        BattleServices().playSound)
        BattleServices().playSound(kPushSoundCategory, tank, 0, 0);
    if (u->HasSavedOrder == 0 && PixelDistance(u->X, u->Y, u->GoalX, u->GoalY) > kSaveOrderDistance) {
        u->SavedGoalX = u->GoalX;
        u->SavedGoalY = u->GoalY;
        u->SavedWork = static_cast<std::int8_t>(u->Work);
        u->SavedWorkObject = u->WorkObject;
        u->HasSavedOrder = 1;
    }
    const std::uint8_t stop = u->StopAtEnd;
    GoToPoint(u, tx, ty, 1);
    u->StopAtEnd = stop;
    if (IsClosePath(u)) {
        HaltInPlace(tank);
        tank->WaitCount = kPushWait;
        if (tank->NumWork == ANIM_TURN) {
            tank->NextWork = ANIM_STAND_UPRIGHT;
        } else {
            tank->NumWork = ANIM_STAND_UPRIGHT;
            tank->NumSprite = 0.0f;
        }
    }
}

void Replan(TUnit* tank)
{
    if (RandomDraw() < kReplanChance)
        GoToPoint(tank, tank->GoalX, tank->GoalY, 1);
}

// Whether u stands in the tank's own cell or one of the three cells behind it.
bool StandsBehindCell(const TUnit* tank, const TUnit* u)
{
    const plat::Point own{tank->MapX, tank->MapY};
    if (u->MapX == own.x && u->MapY == own.y)
        return true;
    const std::uint8_t back = GetDirectionUseOrient(GetBackDirection(static_cast<std::uint8_t>(tank->Orient)));
    const TSideDirections s = SideDirections(back);
    for (std::uint8_t d : {back, s.a, s.b}) {
        const plat::Point c = GetNeighbourPoint(own, d);
        if (u->MapX == c.x && u->MapY == c.y)
            return true;
    }
    return false;
}

void ChangeObject(const plat::Point& cell, std::uint16_t code)
{
    SetObjectMap(cell, code);
    MakePartOfBasicMap(cell, kCrushRadius);
    if (cell.x >= g_ViewX && cell.x <= g_ViewX + g_ViewCols && cell.y >= g_ViewY && cell.y <= g_ViewY + g_ViewRows)
        g_bMapViewDirty = 1;
}

// A cell beside the tank with a fence or crop (9600..9699) is flattened from its side.
void CrushBeside(const plat::Point& cell, std::uint8_t side)
{
    if (!CellPointInMap(cell))
        return;
    const std::uint16_t code = GetObjectFromMap(cell);
    if (code < kObjectMiscFirst || code > kObjectAnimatedLast)
        return;
    const std::uint16_t to = CrushedObjectCode(code, side);
    if (to != code)
        ChangeObject(cell, to);
}

} // namespace

TSideDirections SideDirections(std::uint8_t direction)
{
    static constexpr TSideDirections kSides[9] = {{0, 0}, {5, 7}, {6, 7}, {6, 8}, {8, 5},
                                                  {4, 1}, {3, 2}, {2, 1}, {4, 3}};
    return direction < 9 ? kSides[direction] : TSideDirections{};
}

void MakeMoveKind3(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr)
        return;
    GunsStep(u);

    const float toStep = PixelDistance(u->X, u->Y, u->StepX, u->StepY);
    const float turnDistance = u->Basic->TurnDistance;
    if (u->NumWork != ANIM_TURN && u->NumWork != ANIM_AIM && toStep > turnDistance &&
        (HasUnitPath(u) || u->NumWork == UNIT_WALK)) {
        u->WantedOrient = GetOrientToPoint(u->X, u->Y, u->StepX, u->StepY);
        if (u->WantedOrient != static_cast<std::uint8_t>(u->Orient)) {
            u->NextWork = u->NumWork;
            u->NumWork = ANIM_TURN;
            u->NumSprite = 0.0f;
            return;
        }
    }
    if ((HasUnitPath(u) || toStep > turnDistance) && u->WaitCount == 0)
        u->Halted = 0;

    if (u->NumWork == ANIM_STAND_UPRIGHT) {
        u->StopAtEnd = 0;
        if (u->AttackUnit != nullptr || u->PlayerAttack != UNIT_NO_PLAYER) {
            if (IsLiveUnit(u->AttackUnit))
                OrderAttackUnit(u, u->AttackUnit, 1);
            else
                CancelOrderAndStop(u);
            return;
        }
        if (u->HouseAttack != nullptr || u->PlayerHouseAttack != UNIT_NO_PLAYER) {
            if (IsLiveHouse(u->HouseAttack))
                AttackHouse(u, u, u->HouseAttack, 0, 0);
            else
                CancelOrderAndStop(u);
            return;
        }
    }

    if (UnitWaitStep(u)) {
        UpdateUnitCellAlt(u);
        return;
    }
    const float start = u->NumSprite;
    CutFidgetAtMiddle(u, start);

    if (u->NumWork == ANIM_AIM && !IsLiveHouse(u->HouseAttack)) {
        TUnit* t = u->AttackUnit;
        if (!IsLiveUnit(t)) {
            if (u->Work == WORK_FIRE_AT_POINT) {
                ClearUnitTargets(u);
            } else {
                CancelOrderAndStop(u);
                UpdateUnitCellAlt(u);
                return;
            }
        } else if (PixelDistance(u->X, u->Y, t->X, t->Y) > UnitRange(u)) {
            if (u->Stance == 4)
                CancelOrderAndStop(u);
            else
                OrderAttackUnit(u, t, 1);
            UpdateUnitCellAlt(u);
            return;
        }
    }

    bool advance = true;
    if (u->Reload != 0) {
        --u->Reload;
        if (u->NumWork == ANIM_AIM || u->NumWork == ANIM_AIM_MOVING)
            advance = false;
    }
    if (advance) {
        const std::uint8_t work = u->NumWork;
        u->NumSprite += AnimationStep(u, work);
        if (u->NumSprite >= static_cast<float>(AnimationFrames(u, work))) {
            u->NumSprite = 0.01f;
            switch (work) {
            case ANIM_STAND_UPRIGHT:
                StandingLoopEnded(u);
                break;
            case kAnimIdle:
                HaltUnit(u);
                break;
            case ANIM_AIM:
                if (u->Reload == 0) {
                    if (u->Work == WORK_FIRE_AT_POINT)
                        u->AttackUnit = nullptr;
                    FireTowers(u);
                    u->Reload = u->Basic->ReloadTime[OwnerSlot(u)];
                }
                break;
            case ANIM_AIM_ALT:
                u->NumWork = ANIM_AIM;
                break;
            case ANIM_AIM_TO_TURN:
                u->NumWork = UNIT_WALK;
                break;
            default:
                break;
            }
        }
    }
    UpdateUnitCellAlt(u);
}

void SecondHandlerKind3(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr)
        return;
    if (ReachStepPoint(u, 1.0f)) {
        if (HasUnitPath(u))
            TankNextPathStep(u);
        else
            TankPathEnd(u);
    } else {
        u->X += u->VX;
        u->Y += u->VY;
    }
    UpdateUnitCell(u);
}

void TankNextPathStep(TUnit* u)
{
    MoveIntoCellUnder(u);
    if (TargetInFiringRange(u)) {
        HaltInPlace(u);
        StopUnitAtPosition(u);
        OrderAttackUnit(u, u->AttackUnit, 1);
        return;
    }
    if (u->HouseAttack != nullptr) {
        if (u->HouseAttack->Destroyed != 0) {
            CancelOrderAndStop(u);
            return;
        }
        if ((RandomDraw() & 1) != 0) {
            AttackHouse(u, u, u->HouseAttack, 0, 0);
            return;
        }
    } else if (u->AttackUnit == nullptr && u->Work == WORK_FIRE_AT_POINT &&
               PixelDistance(u->X, u->Y, u->TargetX, u->TargetY) <= UnitRange(u)) {
        HaltAndAimAt(u, u->TargetX, u->TargetY);
        return;
    }
    if (u->PathIndex < 0 || u->PathIndex >= static_cast<std::int32_t>(u->PathLength)) {
        delete[] u->Path;
        u->Path = nullptr;
        u->PathLength = 0;
        u->PathIndex = -1;
        TankPathEnd(u);
        return;
    }
    const std::uint8_t dir = u->Path[u->PathIndex];
    if (!IsNeighbourCellFree(u, dir)) {
        RecoverPath(u);
        return;
    }
    const TDirStep d = GetDxDyUseDirection(dir);
    u->StepX += static_cast<float>(d.dx);
    u->StepY += static_cast<float>(d.dy);
    SetMoveWork(u);
    SetVelocityToWaypoint(u);
    u->WantedOrient = GetOrientToPoint(u->X, u->Y, u->StepX, u->StepY);
    ++u->PathIndex;
    u->X += u->VX;
    u->Y += u->VY;
}

void TankPathEnd(TUnit* u)
{
    MoveIntoCellUnder(u);
    u->EnteringHouse = 0;
    if (TargetInFiringRange(u)) {
        StopUnitAtPosition(u);
        OrderAttackUnit(u, u->AttackUnit, 1);
        return;
    }
    if (u->AttackUnit == nullptr && u->Work == WORK_FIRE_AT_POINT &&
        PixelDistance(u->X, u->Y, u->TargetX, u->TargetY) <= UnitRange(u)) {
        HaltAndAimAt(u, u->TargetX, u->TargetY);
        return;
    }
    EventUnitEndMove(u);
}

void TankRedirectAllArround(TUnit* tank)
{
    if (tank == nullptr || tank->Basic == nullptr || tank->Dead != 0)
        return;
    if (tank->NumWork == ANIM_AIM || tank->Work == UNIT_WORK_LEAVE_HOUSE)
        return;
    if ((tank->NumWork == ANIM_STAND_UPRIGHT || tank->NumWork == kAnimIdle) && RandomDraw() < kStandingScanSkip)
        return;
    if (g_pUnitsMap == nullptr)
        return;

    const bool far = PixelDistance(tank->X, tank->Y, tank->GoalX, tank->GoalY) >= kFarFromGoal;
    const std::uint8_t d = GetDirectionUseOrient(static_cast<std::uint8_t>(tank->Orient));
    const TSideDirections sides = SideDirections(d);
    UpdateUnitCell(tank);
    const TDirStep step = GetDxDyUseDirection(d);
    const float len = std::sqrt(static_cast<float>(step.dx * step.dx + step.dy * step.dy));
    const float crush = static_cast<float>(tank->Basic->CrushSize);
    const float hx = len > 0.0f ? static_cast<float>(step.dx) / len * 2.5f * crush : 0.0f;
    const float hy = len > 0.0f ? static_cast<float>(step.dy) / len * 2.5f * crush : 0.0f;

    ForEachBlockCell(tank->MapX, tank->MapY, kScanRadius, [&](const plat::Point& cell) {
        if (!CellPointInMap(cell))
            return;
        const std::size_t poz = CellIndex(cell.x, cell.y);
        for (int k = 0; k < kCellUnitCapacity; ++k) {
            TUnit** list = g_pUnitsMap[poz];
            if (list == nullptr || list[k] == nullptr)
                return;
            TUnit* u = list[k];
            if (u == tank || u->Type == kTypeNeverPushed || u->Basic == nullptr)
                continue;
            const float vx = u->X - tank->X;
            const float vy = u->Y - tank->Y;
            const float dist = std::sqrt(vx * vx + vy * vy);
            const bool standing = u->NumWork == ANIM_STAND_UPRIGHT || u->NumWork == kAnimIdle;
            if (standing && hx * vx + hy * vy < 0.0f)
                continue;
            const bool enemy = IsEnemy(tank->Player, u->Player);
            const bool inTankCell = u->MapX == tank->MapX && u->MapY == tank->MapY;
            if (enemy && !IsClosePath(u) && !BoardingThis(u, tank) && u->Dead == 0 && u->Height < kOnGround &&
                !Inside(u) && (inTankCell || dist <= 1.5f * crush)) {
                u->HitPoints = kCrushHitPoints;
                RemoveUnitFromGame(u, tank->Player);
                TUnit** after = g_pUnitsMap[poz];
                if (after == nullptr || after[k] == nullptr) {
                    ReportError("TankRedirectAllArround g_pUnitsMap[poz]==NULL || g_pUnitsMap[poz][k]==NULL");
                    return;
                }
                continue;
            }
            if (tank->Halted != 0 || dist > 2.5f * crush)
                continue;
            const bool inWay = !IsClosePath(u) || !StandsBehindCell(tank, u);
            if (!inWay)
                continue;
            const bool mayMove = u->Work != UNIT_WORK_LEAVE_HOUSE && !BoardingThis(u, tank) && u->Dead == 0 &&
                                 !Inside(u) && u->Height < kOnGround;
            if (!mayMove)
                continue;
            if (u->StopAtEnd != 0) {
                if (IsClosePath(u) && dist <= kPushReach && far)
                    Replan(tank);
                continue;
            }
            if (!IsClosePath(u)) {
                PushAside(tank, u, hx, hy);
                continue;
            }
            const std::uint8_t ud = GetDirectionUseOrient(static_cast<std::uint8_t>(u->Orient));
            const bool crossing = standing || (ud != d && ud != sides.a && ud != sides.b);
            const bool yields =
                (far && dist > kPushReach) ||
                ((dist <= static_cast<float>(u->Basic->CrushSize) || u->WaitCount != 0) && crossing);
            if (yields) {
                if (far)
                    PushAside(tank, u, hx, hy);
            } else if (far) {
                Replan(tank);
            } else {
                StopUnit(tank, 1);
            }
        }
    });
    TankCrushObjects(tank);
}

void TankCrushObjects(TUnit* tank)
{
    if (tank == nullptr)
        return;
    const plat::Point cell{tank->MapX, tank->MapY};
    if (!CellPointInMap(cell))
        return;
    const std::uint16_t code = GetObjectFromMap(cell);
    if (code >= kObjectAnimatedFirst && code <= kObjectAnimatedLast) {
        ChangeObject(cell, kObjectFree);
        return;
    }
    if (code >= kObjectTreeFirst && code <= kObjectTreeLast) {
        if (GetMapObjectClass(code) >= 2)
            ChangeObject(cell, kObjectFree);
        return;
    }
    if (code < kObjectMiscFirst || code > kObjectMiscLast)
        return;
    const std::uint16_t to = CrushedObjectCode(code, 0);
    if (to != code)
        ChangeObject(cell, to);
    const std::uint8_t orient = static_cast<std::uint8_t>(tank->Orient) & 7u;
    const std::uint8_t sideOrient = GetOrtogonalDirectionRight(orient);
    const plat::Point side = GetNeighbourPoint(cell, GetDirectionUseOrient(sideOrient));
    const plat::Point opposite = GetNeighbourPoint(cell, GetDirectionUseOrient(GetBackDirection(sideOrient)));
    CrushBeside(side, 1);
    CrushBeside(opposite, 2);
}

std::uint16_t CrushedObjectCode(std::uint16_t code, std::uint8_t side)
{
    if (code >= 9608 && code <= 9616)
        return static_cast<std::uint16_t>(kCrushedRow[code - 9608] + side);
    if (code == 9607)
        return static_cast<std::uint16_t>(9629 + side);
    if (code == 9604)
        return static_cast<std::uint16_t>(9626 + side);
    if (code == 9622)
        return static_cast<std::uint16_t>(9623 + side);
    if (code >= kCrushedMarksFirst && code <= kCrushedMarksLast) {
        const std::uint16_t first = static_cast<std::uint16_t>(kCrushedMarksFirst + (code - kCrushedMarksFirst) / 3 * 3);
        return side == 0 ? first : code;
    }
    if (code >= kObjectMiscFirst && code < kObjectAnimatedFirst) {
        const std::uint8_t kind = GetMapObjectClass(code);
        if (kind == 2)
            return kObjectFree;
        if (kind == 3)
            return kObjectStoneFirst;
    }
    return code;
}
