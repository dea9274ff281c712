// Ground units: the frame every ground kind shares and the default move handler of infantry,
// artillery and every kind without a handler of its own.
#include "combat/ground_frame.h"

#include <cmath>

#include "combat/battle_services.h"
#include "combat/cycle_updates.h"
#include "combat/effects.h"
#include "combat/firing.h"
#include "combat/house_events.h"
#include "combat/shots.h"
#include "combat/tower.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/unit_queries.h"
#include "combat/unit_rect.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "core/string_table.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/terrain.h"
#include "movement/directions.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "net/net_events.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

// The pause of the minimum-distance message: set when the message shows, lowered by the game
// cycle. Main thread only; it decides only what the local player is told.
std::uint8_t g_MoveCountdown = 0;

namespace {

constexpr std::uint8_t kKindArtillery = 10;
constexpr std::uint8_t kKindFieldGun = 4;
constexpr std::uint8_t kAnimIdle = 4;
constexpr std::uint16_t kTypeWithTowerTiming = 5;
constexpr std::uint16_t kTypeRepairing = 14;
constexpr std::uint16_t kTypeSiegeHowitzer = 23;
constexpr float kMinimumShare = 0.2f;
constexpr float kGrenadeReach = 270.0f;
constexpr float kFlameReach = 500.0f;
constexpr float kEndMoveDistance = 300.0f;
constexpr float kOnGround = 1.0f;
constexpr float kAirTargetX = 999999.0f;
constexpr std::uint16_t kFidgetChance = 100;
constexpr std::uint16_t kFidgetFromMiddle = 16384;
constexpr std::uint16_t kStopWait = 150;
constexpr std::uint8_t kMessagePause = 100;
constexpr std::uint32_t kWhite = 0xffffff;
constexpr float kRepairPerCycle = 0.5f;
constexpr int kScanUnitsPerCell = kCellUnitCapacity;
constexpr float kFriendReach = 400.0f;
constexpr float kTrenchHeight = 65.0f;
constexpr float kSmallHouseHeight = 114.0f;
constexpr float kOrientToRadians = 0.7853982f;
constexpr float kRadiansToOrient = 1.2732395f;
constexpr float kTwoPi = 6.2831855f;
constexpr float kHeadingWrap = 6.2821856f;
constexpr float kOrientAngleBias = 0.0001f;
constexpr float kPlayerHouseDamageShare = 0.52f;

std::uint16_t ReloadTimeOf(const TUnit* u)
{
    return u->Basic->ReloadTime[OwnerSlot(u)];
}
void CallSecondHandler(TUnit* u)
{
    const TUnitHandler second =
        u->Basic->m_SecondHandler != nullptr ? u->Basic->m_SecondHandler : UnitKindHandlers(u->Basic->m_Kind).second;
    if (second != nullptr)
        second(u);
}
// The cycle's animation length in frames; fractional frames count within the current frame.
bool IsFacingWanted(const TUnit* u)
{
    return static_cast<std::uint8_t>(u->Orient) == u->WantedOrient;
}
void FacePoint(TUnit* u, float x, float y)
{
    SetOrientToPoint(u, x, y);
}
void ShowMinimumDistanceMessage(const TUnit* u)
{
    if (u->Player != MyPlayer || g_MoveCountdown != 0)
        return;
    g_MoveCountdown = kMessagePause;
    if (BattleServices().showMessage)
        BattleServices().showMessage(GetResString(u"IDS_CANT_FIRE_MIN_DISTANCE"), kWhite);
}

// The first attack state of artillery (kind 10): range checks, the timed tower shots. true when
// the handler ends here.
bool ArtilleryAttackStep(TUnit* u, float start)
{
    float ax = 0.0f;
    float ay = 0.0f;
    if (IsLiveUnit(u->AttackUnit)) {
        ax = u->AttackUnit->Height > kOnGround ? kAirTargetX : u->AttackUnit->X;
        ay = u->AttackUnit->Y;
    } else if (IsLiveHouse(u->HouseAttack)) {
        ax = u->HouseAttack->DoorX;
        ay = u->HouseAttack->DoorY;
    } else if (u->Work == WORK_FIRE_AT_POINT) {
        ax = u->TargetX;
        ay = u->TargetY;
        u->PlayerAttack = UNIT_NO_PLAYER;
        u->PlayerHouseAttack = UNIT_NO_PLAYER;
    } else {
        CancelOrderAndStop(u);
        return true;
    }
    const float range = UnitRange(u);
    const float d = PixelDistance(u->X, u->Y, ax, ay);
    if (d < kMinimumShare * range) {
        ShowMinimumDistanceMessage(u);
        CancelOrderAndStop(u);
        return true;
    }
    if (d > range) {
        CancelOrderAndStop(u);
        return true;
    }
    if (u->Reload != 0)
        return false;
    const float speed = AnimationStep(u, u->NumWork);
    if (u->Type == kTypeWithTowerTiming) {
        if (FrameCrossed(start, speed, static_cast<float>(AnimationFrames(u, u->NumWork)) - 6.0f))
            FireTowers(u);
    } else if (u->Type >= 21 && u->Type <= kTypeSiegeHowitzer) {
        if (FrameCrossed(start, speed, 3.0f)) {
            u->Reload = ReloadTimeOf(u);
            if (u->Work == WORK_FIRE_AT_POINT)
                u->AttackUnit = nullptr;
            FireTowers(u);
        }
    }
    return false;
}

// Standing: a target is attacked again or approached; a lost one ends the order. true when the
// handler ends here.
bool StandingStep(TUnit* u)
{
    u->StopAtEnd = 0;
    if (u->Work == WORK_ENTER_HOUSE && u->WaitCount == 0 && u->KeepWork == 0)
        u->Work = UNIT_NO_WORK;
    if (u->AttackUnit != nullptr || u->PlayerAttack != UNIT_NO_PLAYER) {
        if (IsLiveUnit(u->AttackUnit)) {
            OrderAttackUnit(u, u->AttackUnit, 1);
        } else {
            CancelOrderAndStop(u);
        }
        return true;
    }
    if (u->HouseAttack != nullptr || u->PlayerHouseAttack != UNIT_NO_PLAYER) {
        if (IsLiveHouse(u->HouseAttack))
            AttackHouse(u, u, u->HouseAttack, 0, 0);
        else
            CancelOrderAndStop(u);
        return true;
    }
    if (u->m_MyFutureTransporter != nullptr) {
        if (u->Work == WORK_GO_TO_TRANSPORT) {
            if (u->m_MyFutureTransporter->Dead != 0)
                u->m_MyFutureTransporter = nullptr;
        } else {
            u->Work = UNIT_NO_WORK;
            u->m_MyFutureTransporter = nullptr;
        }
    }
    return false;
}

// Firing a grenade at a point while ammunition lasts.
void PointFireStep(TUnit* u)
{
    if (static_cast<std::int32_t>(u->NumSprite) != 11)
        return;
    u->Ammo -= 1.0f;
    if (TUnit* t = u->AttackUnit; t != nullptr) {
        const std::uint16_t rx = RandomDraw();
        const std::uint16_t ry = RandomDraw();
        u->TargetX = t->X + static_cast<float>(rx % 20 + 5) * t->VX;
        u->TargetY = t->Y + static_cast<float>(ry % 20 + 5) * t->VY;
    }
    AddShot(SHOT_SOURCE_GRENADE, u, nullptr, nullptr);
}

// The strike of a close attack at the middle of its animation.
void CloseStrike(TUnit* u)
{
    if (IsLiveUnit(u->AttackUnit)) {
        FacePoint(u, u->AttackUnit->X, u->AttackUnit->Y);
        UnitHitNear(u, u->AttackUnit);
    } else if (IsLiveHouse(u->HouseAttack)) {
        UnitHitHouse(u, u->HouseAttack);
    } else {
        CancelOrderAndStop(u);
    }
}

// The end of a firing animation (states 2 and 6) in the default handler.
void EndOfFiringDefault(TUnit* u)
{
    if (u->Reload != 0)
        return;
    if (UnitKindOf(u) != kKindArtillery) {
        if (u->AttackUnit != nullptr)
            CombatFireForMashineGunner(u, u->AttackUnit);
        const std::int32_t reload =
            static_cast<std::int32_t>(ReloadTimeOf(u)) - static_cast<std::int32_t>(AnimationFrames(u, u->NumWork));
        u->Reload = static_cast<std::uint16_t>(reload < 0 ? 0 : reload);
        return;
    }
    if (u->Type == kTypeSiegeHowitzer)
        return;
    u->Reload = ReloadTimeOf(u);
    if (u->TowerCount == 0) {
        if (u->Work == WORK_FIRE_AT_POINT)
            u->AttackUnit = nullptr;
        AddShot(0, u, nullptr, nullptr);
    }
}

// The end of a grenade throw: another while ammunition lasts and the target stays near.
void EndOfPointFire(TUnit* u)
{
    if (u->Ammo >= 1.0f) {
        TUnit* t = u->AttackUnit;
        if (IsLiveUnit(t) && PixelDistance(u->X, u->Y, t->X, t->Y) <= kGrenadeReach) {
            FacePoint(u, t->X, t->Y);
            return;
        }
        if (IsLiveHouse(u->HouseAttack)) {
            FacePoint(u, u->HouseAttack->DoorX, u->HouseAttack->DoorY);
            return;
        }
    }
    CancelOrderAndStop(u);
}

// Not halted and its step point not yet reached.
bool OnItsWay(const TUnit* u)
{
    return u->Halted == 0 && (u->StepX != u->X || u->StepY != u->Y);
}

bool AnyAnimation(const TUnit* u, std::uint8_t code)
{
    return HasAnimation(u, code);
}

} // namespace

// ---- small questions ----------------------------------------------------------------------------

std::uint8_t OwnerSlot(const TUnit* unit)
{
    return unit->Player < UNIT_PLAYERS ? unit->Player : 0;
}
float UnitRange(const TUnit* unit)
{
    return static_cast<float>(unit->Basic->Range[OwnerSlot(unit)]);
}
bool IsLiveUnit(const TUnit* unit)
{
    return unit != nullptr && unit->Dead == 0;
}
bool IsLiveHouse(const THouse* house)
{
    return house != nullptr && house->Destroyed == 0;
}
bool HasUnitPath(const TUnit* unit)
{
    return unit->Path != nullptr && unit->PathLength > 0;
}

// ---- animation clock ----------------------------------------------------------------------------

std::uint8_t AnimationFrames(const TUnit* unit, std::uint8_t numWork)
{
    return numWork < UNIT_COUNT_WORK ? unit->Basic->AnimationSize[numWork] : 0;
}

float AnimationStep(const TUnit* unit, std::uint8_t numWork)
{
    return numWork < UNIT_COUNT_WORK ? unit->Basic->AnimationSpeed[numWork] : 0.0f;
}

void CutFidgetAtMiddle(TUnit* unit, float start)
{
    if (unit->NumWork != kAnimIdle)
        return;
    const float middle = static_cast<float>(AnimationFrames(unit, kAnimIdle)) * 0.5f;
    if (FrameCrossed(start, AnimationStep(unit, kAnimIdle), middle)) {
        unit->NumWork = ANIM_STAND_UPRIGHT;
        unit->NumSprite = 0.001f;
    }
}

void StandingLoopEnded(TUnit* unit)
{
    if (RandomDraw() >= kFidgetChance || !AnyAnimation(unit, kAnimIdle))
        return;
    unit->NumWork = kAnimIdle;
    unit->NumSprite = RandomDraw() < kFidgetFromMiddle
                          ? static_cast<float>(AnimationFrames(unit, kAnimIdle)) * 0.5f + 1.01f
                          : 0.0f;
}

void TakeNextWork(TUnit* unit, std::uint8_t whenNone)
{
    const std::uint8_t next = unit->NextWork;
    if (next == UNIT_NO_NEXT_WORK) {
        unit->NumWork = whenNone;
        return;
    }
    if (next == UNIT_WALK) {
        unit->NumWork = ANIM_STAND;
        unit->NextWork = UNIT_NO_NEXT_WORK;
        SetMoveWork(unit);
        return;
    }
    unit->NumWork = next;
    unit->NextWork = UNIT_NO_NEXT_WORK;
    unit->NumSprite = 0.0f;
}

bool EndOfAnimationShared(TUnit* unit)
{
    const std::uint8_t standOrWalk = unit->Halted != 0 ? ANIM_STAND_UPRIGHT : UNIT_WALK;
    switch (unit->NumWork) {
    case ANIM_STAND_UPRIGHT:
        StandingLoopEnded(unit);
        return true;
    case kAnimIdle:
        HaltUnit(unit);
        return true;
    case ANIM_WALK_LOW:
        unit->SetOrient(unit->WantedOrient);
        TakeNextWork(unit, ANIM_STAND);
        return true;
    case ANIM_FIRE_TO_TURN:
    case ANIM_AIM_TO_TURN:
        if (!IsFacingWanted(unit)) {
            unit->NumWork = ANIM_TURN;
            unit->NumSprite = 0.0f;
            if (unit->NextWork == ANIM_AIM && AnyAnimation(unit, ANIM_AIM_ALT))
                unit->NextWork = ANIM_AIM_ALT;
            else if (unit->NextWork == ANIM_FIRE && AnyAnimation(unit, ANIM_FIRE_ALT))
                unit->NextWork = ANIM_FIRE_ALT;
            return true;
        }
        TakeNextWork(unit, standOrWalk);
        return true;
    case ANIM_FIRE_ALT:
        unit->NumWork = ANIM_FIRE;
        return true;
    case ANIM_WALK_UPRIGHT:
        if (IsFacingWanted(unit)) {
            TakeNextWork(unit, standOrWalk);
        } else {
            unit->NumWork = ANIM_TURN;
            unit->NumSprite = 0.0f;
        }
        return true;
    case ANIM_AIM_ALT:
        unit->NumWork = ANIM_AIM;
        return true;
    case ANIM_AIM_MOVING_ALT:
        unit->NumWork = ANIM_AIM_MOVING;
        if (unit->NextWork == UNIT_WALK) {
            unit->NumWork = ANIM_STAND;
            unit->NextWork = UNIT_NO_NEXT_WORK;
            SetMoveWork(unit);
        }
        return true;
    case ANIM_WALK_UPRIGHT_ALT: {
        if (!IsFacingWanted(unit)) {
            unit->SetOrient(unit->WantedOrient);
            if (unit->NextWork == ANIM_AIM_MOVING) {
                unit->NumWork = ANIM_AIM_MOVING_ALT;
                return true;
            }
        }
        const std::uint8_t next = unit->NextWork;
        if (next == UNIT_NO_NEXT_WORK)
            unit->NumWork = ANIM_STAND;
        else if (IsOneOfCodes(next, {UNIT_WALK, ANIM_AIM, ANIM_FIRE, ANIM_FIRE_ALT, ANIM_AIM_ALT}))
            unit->NumWork = ANIM_WALK_UPRIGHT;
        else
            TakeNextWork(unit, ANIM_STAND);
        return true;
    }
    case ANIM_POINT_FIRE:
        EndOfPointFire(unit);
        return true;
    default:
        return false;
    }
}

bool IsCellRefreshCycle(const TUnit* unit)
{
    // g_FrameCounter is the cycle counter in single and network play alike (the network cycle
    // number is copied into it), so every machine refreshes the same units in the same cycle.
    return g_FrameCounter % 1000u == unit->FramePhase;
}

// ---- stopping -----------------------------------------------------------------------------------

void HaltInPlace(TUnit* unit)
{
    unit->Halted = 1;
    unit->StopAtEnd = 0;
    DropPath(unit);
    unit->StepX = unit->X;
    unit->StepY = unit->Y;
    unit->VX = unit->VY = 0.0f;
}

void HaltAndAimAt(TUnit* unit, float x, float y)
{
    HaltInPlace(unit);
    EnterAimWork(unit);
    FacePoint(unit, x, y);
}

// ---- the wait step ------------------------------------------------------------------------------

bool UnitWaitStep(TUnit* unit)
{
    if (unit->Halted == 0) {
        if (unit->NumWork == UNIT_WALK || unit->NumWork == ANIM_STAND)
            CallSecondHandler(unit);
        return false;
    }
    if (unit->NumWork == UNIT_WALK)
        HaltUnit(unit);
    if (unit->Work == WORK_ENTER_HOUSE && unit->KeepWork == 0)
        unit->Work = UNIT_NO_WORK;
    if (unit->WaitCount != 0) {
        --unit->WaitCount;
        if (unit->WaitCount == 0 && UnitKindOf(unit) == UNIT_KIND_TANK) {
            unit->Halted = 0;
            TankRedirectAllArround(unit);
            if (unit->Halted == 0) {
                SetMoveWork(unit);
                CallSecondHandler(unit);
            }
        }
        return true;
    }
    return unit->NumWork == ANIM_STAND;
}

// ---- the default handler ------------------------------------------------------------------------

void MakeMoveDefault(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr)
        return;
    const TBasicUnit& type = *u->Basic;
    if (u->Ammo < static_cast<float>(type.MaxAmmo))
        u->Ammo += type.AmmoRegen;
    if (u->Type == kTypeRepairing && u->Player < UNIT_PLAYERS && g_Strateg[u->Player] != nullptr &&
        g_Strateg[u->Player]->Nation == 0 && u->HitPoints < static_cast<float>(type.MaxHitPoints[u->Player]))
        u->HitPoints += kRepairPerCycle;

    if (UnitWaitStep(u))
        return;

    const float start = u->NumSprite;
    CutFidgetAtMiddle(u, start);

    switch (u->NumWork) {
    case ANIM_AIM_MOVING:
    case ANIM_AIM:
    case ANIM_FIRE:
        if (UnitKindOf(u) == kKindArtillery && ArtilleryAttackStep(u, start))
            return;
        if (!IsLiveHouse(u->HouseAttack) && !IsLiveUnit(u->AttackUnit) && u->Work != WORK_FIRE_AT_POINT) {
            CancelOrderAndStop(u);
            return;
        }
        break;
    case ANIM_STAND_UPRIGHT:
        if (StandingStep(u))
            return;
        break;
    case ANIM_POINT_FIRE:
        PointFireStep(u);
        break;
    default:
        break;
    }

    if (u->Reload != 0) {
        --u->Reload;
        // The firing animation waits at its first frame until the reload is over.
        if ((u->NumWork == ANIM_AIM || u->NumWork == ANIM_AIM_MOVING) && u->NumSprite < 1.0f)
            return;
    }

    const std::uint8_t work = u->NumWork;
    const float speed = AnimationStep(u, work);
    const float startFrame = u->NumSprite;
    u->NumSprite += speed;
    if (work == ANIM_FIRE && FrameCrossed(startFrame, speed, static_cast<float>(AnimationFrames(u, ANIM_FIRE)) * 0.5f))
        CloseStrike(u);

    if (u->NumWork == work && u->NumSprite >= static_cast<float>(AnimationFrames(u, work))) {
        u->NumSprite = 0.01f;
        if (work == ANIM_AIM || work == ANIM_AIM_MOVING)
            EndOfFiringDefault(u);
        else
            EndOfAnimationShared(u);
    }

    if (IsCellRefreshCycle(u))
        UpdateUnitCellAlt(u);
}

// ---- the second handler and the path ------------------------------------------------------------

bool ReachStepPoint(TUnit* unit, float factor)
{
    const float dx = unit->StepX - unit->X;
    const float dy = unit->StepY - unit->Y;
    const float reach = std::sqrt(unit->VX * unit->VX + unit->VY * unit->VY) * factor;
    if (dx * dx + dy * dy > reach * reach && !(dx == 0.0f && dy == 0.0f))
        return false;
    unit->X = unit->StepX;
    unit->Y = unit->StepY;
    return true;
}

void SecondHandlerDefault(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr)
        return;
    float factor = u->SlowCount != 0 ? 0.5f : 1.0f;
    if (IsMovingAnimation(u->NumWork))
        factor /= 3.0f;
    WalkTowardStepPoint(u, factor, NextPathStep, PathEndDefault);
}

void WalkTowardStepPoint(TUnit* u, float factor, void (*nextStep)(TUnit*), void (*pathEnd)(TUnit*))
{
    if (ReachStepPoint(u, factor)) {
        if (HasUnitPath(u))
            nextStep(u);
        else
            pathEnd(u);
    } else {
        u->X += factor * u->VX;
        u->Y += factor * u->VY;
    }
    UpdateUnitCell(u);
}

void RecoverPath(TUnit* unit)
{
    SetPendingMove(unit, unit->GoalX, unit->GoalY);
    ResumeMove(unit);
}

void NextPathStep(TUnit* u)
{
    if (u->AttackUnit != nullptr) {
        if (u->AttackUnit->Dead != 0) {
            CancelOrderAndStop(u);
            return;
        }
        if ((RandomDraw() & 1) != 0) {
            OrderAttackUnit(u, u->AttackUnit, 1);
            return;
        }
    } else if (u->HouseAttack != nullptr) {
        THouse* h = u->HouseAttack;
        if (h->Destroyed != 0) {
            CancelOrderAndStop(u);
            return;
        }
        if (UnitKindOf(u) == kKindArtillery && AnyAnimation(u, ANIM_AIM) &&
            PixelDistance(u->X, u->Y, h->DoorX, h->DoorY) < UnitRange(u)) {
            HaltAndAimAt(u, h->DoorX, h->DoorY);
            return;
        }
    } else if (u->Work == WORK_FIRE_AT_POINT && PixelDistance(u->X, u->Y, u->TargetX, u->TargetY) <= UnitRange(u)) {
        HaltAndAimAt(u, u->TargetX, u->TargetY);
        return;
    }

    if (u->PathIndex >= 0 && u->PathIndex < static_cast<std::int32_t>(u->PathLength) - 1) {
        StepOntoNextPathCell(u);
        return;
    }
    if (PixelDistance(u->X, u->Y, u->GoalX, u->GoalY) > kEndMoveDistance) {
        EventUnitEndMove(u);
        return;
    }
    FinishPathAtGoal(u, PathEndDefault);
}

void StepOntoNextPathCell(TUnit* u)
{
    const std::uint8_t dir = u->Path[u->PathIndex];
    const plat::Point next = GetNeighbourPoint({u->MapX, u->MapY}, dir);
    if (!IsCellInPlayableArea(next.x, next.y) ||
        !IsCellUsableByUnit(nullptr, static_cast<std::uint32_t>(CellIndex(next.x, next.y)))) {
        RecoverPath(u);
        return;
    }
    const TDirStep d = GetDxDyUseDirection(dir);
    u->StepX += static_cast<float>(d.dx);
    u->StepY += static_cast<float>(d.dy);
    SetMoveWork(u);
    SetVelocityToWaypoint(u);
    u->NextWork = u->NumWork;
    const std::uint8_t before = u->NumWork;
    SetOrientToUnit(u);
    if (u->NumWork == before)
        u->NextWork = UNIT_NO_NEXT_WORK;
    u->X += u->VX;
    u->Y += u->VY;
    ++u->PathIndex;
}

void FinishPathAtGoal(TUnit* u, void (*pathEnd)(TUnit*))
{
    const plat::Point goal = PixelToFlatCell(u->GoalX, u->GoalY);
    if (!IsCellInPlayableArea(goal.x, goal.y) ||
        !IsCellUsableByUnit(u, static_cast<std::uint32_t>(CellIndex(goal.x, goal.y)))) {
        EventUnitEndMove(u);
        return;
    }
    delete[] u->Path;
    u->Path = nullptr;
    u->PathLength = 0;
    u->PathIndex = -1;
    u->StepX = u->GoalX;
    u->StepY = u->GoalY;
    if (u->X == u->GoalX && u->Y == u->GoalY) {
        pathEnd(u);
        return;
    }
    SetVelocityToWaypoint(u);
    SetOrientToUnit(u);
}

void PathEndDefault(TUnit* u)
{
    if (u->AttackUnit != nullptr) {
        TUnit* t = u->AttackUnit;
        if (t->Dead != 0) {
            CancelOrderAndStop(u);
            return;
        }
        if (CanAttack(u, t, PixelDistance(u->X, u->Y, t->X, t->Y))) {
            HaltInPlace(u);
            return;
        }
    }
    const std::uint8_t kind = UnitKindOf(u);
    if (IsLiveHouse(u->HouseAttack)) {
        THouse* h = u->HouseAttack;
        const float d = PixelDistance(u->X, u->Y, h->DoorX, h->DoorY);
        const std::uint16_t code = PlayerHouseCode(u->PlayerHouseAttack, h->Index);
        if (!CheckUnitCell(u, code, 2)) {
            if (kind == kKindArtillery && d < UnitRange(u) && AnyAnimation(u, ANIM_AIM))
                HaltAndAimAt(u, h->DoorX, h->DoorY);
            else if (kind == UNIT_KIND_FLAME && d < kFlameReach) {
                EnterAimWork(u);
                FacePoint(u, h->DoorX, h->DoorY);
            } else
                CancelOrderAndStop(u);
            return;
        }
        if (AnyAnimation(u, ANIM_POINT_FIRE) && u->Work != STAY_IN_HOUSE && u->Work != WORK_UNIT_TRANSPORTED &&
            u->Ammo >= 1.0f) {
            HaltInPlace(u);
            EnterPointFireWork(u, h->DoorX, h->DoorY);
            u->NextWork = u->NumWork;
            const std::uint8_t before = u->NumWork;
            FacePoint(u, h->DoorX, h->DoorY);
            if (u->NumWork == before)
                u->NextWork = UNIT_NO_NEXT_WORK;
        } else if (kind == UNIT_KIND_FLAME && d < kFlameReach) {
            EnterAimWork(u);
            FacePoint(u, h->DoorX, h->DoorY);
        } else {
            CancelOrderAndStop(u);
        }
        return;
    }
    if (u->Work == WORK_FIRE_AT_POINT && PixelDistance(u->X, u->Y, u->TargetX, u->TargetY) <= UnitRange(u)) {
        HaltAndAimAt(u, u->TargetX, u->TargetY);
        return;
    }
    if (u->StopAtEnd != 0) {
        HaltUnit(u);
        u->WaitCount = kStopWait;
        return;
    }
    if (u->Work != WORK_ENTER_HOUSE) {
        u->Halted = 1;
        EventUnitEndMove(u);
        return;
    }
    THouse* h = u->Player < 8 && g_pHouse[u->Player] != nullptr && u->WorkObject < NumHouse[u->Player]
                    ? &g_pHouse[u->Player][u->WorkObject]
                    : nullptr;
    if (h == nullptr) {
        u->Halted = 1;
        EventUnitEndMove(u);
        return;
    }
    if (u->StepX == h->ExitX && u->StepY == h->ExitY) {
        if (h->IsFinished() && h->Destroyed == 0 && h->InsideCount < h->Capacity) {
            u->Upright = 1;
            u->StepX = u->GoalX = h->DoorX;
            u->StepY = u->GoalY = h->DoorY;
            if (u->Selected != 0 && UnitServices().deselect)
                UnitServices().deselect(u->Player, u);
            SetMoveWork(u);
            SetVelocityToWaypoint(u);
            SetOrientToUnit(u);
            u->Halted = 0;
            u->EnteringHouse = 1;
        } else {
            EventUnitEndMove(u);
        }
        return;
    }
    if (u->StepX == h->DoorX && u->StepY == h->DoorY) {
        EnterHouse(u, h);
        return;
    }
    u->GoalX = h->ExitX;
    u->GoalY = h->ExitY;
    RecoverPath(u);
}

// ---- turning in place ---------------------------------------------------------------------------

bool AirInRotate(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr || u->NumWork != ANIM_TURN)
        return false;
    if (IsAirUnit(u))
        ReportError("Air in rotate");
    if (IsShipTypeUnit(u)) {
        u->NumWork = UNIT_WALK;
        return false;
    }
    // A type without a turning speed would never finish its turn: it turns at once like a gun.
    if (UnitKindOf(u) == kKindFieldGun || !(u->Basic->TurnStep > 0.0f)) {
        u->SetOrient(u->WantedOrient);
        u->NumSprite = 0.0f;
    } else {
        // A heading that does not belong to the facing (the unit was turned at once elsewhere)
        // starts from the facing.
        if (static_cast<std::int32_t>(u->Heading * kRadiansToOrient) != u->Orient)
            u->Heading = static_cast<float>(u->Orient) * kOrientToRadians + kOrientAngleBias;
        const std::int32_t diff = static_cast<std::int32_t>(u->WantedOrient) - u->Orient;
        const bool grow = (diff > 0 && diff < 5) || (-diff > 4);
        const float step = grow ? u->Basic->TurnStep + 0.01f : u->Basic->TurnStep;
        const float wanted = static_cast<float>(u->WantedOrient) * kOrientToRadians + kOrientAngleBias;
        float left = grow ? wanted - u->Heading : u->Heading - wanted;
        if (left < 0.0f)
            left += kTwoPi;
        // A step wider than what is left would carry the heading past its sector and back again
        // for ever: the last step lands on the wanted facing.
        if (left <= step && u->WantedOrient < UNIT_ORIENTS)
            u->Heading = wanted;
        else
            u->Heading += grow ? step : -step;
        if (u->Heading < 0.0f)
            u->Heading += kTwoPi;
        if (u->Heading >= kTwoPi)
            u->Heading -= kTwoPi;
        if (u->Heading >= kHeadingWrap)
            u->Heading = 0.0f;
        std::int32_t orient = static_cast<std::int32_t>(u->Heading * kRadiansToOrient);
        if (orient > 7)
            orient = 7;
        // Not SetOrient: that would put the heading back to the start of the eighth.
        u->Orient = static_cast<std::int8_t>(orient);
        u->NumSprite = std::trunc((u->Heading - static_cast<float>(orient) * kOrientToRadians) *
                                  static_cast<float>(AnimationFrames(u, ANIM_TURN)) * kRadiansToOrient);
    }
    if (IsFacingWanted(u) && static_cast<std::int32_t>(u->NumSprite) == 0) {
        if (u->NextWork != UNIT_NO_NEXT_WORK) {
            u->NumWork = u->NextWork;
            u->NextWork = UNIT_NO_NEXT_WORK;
        } else {
            // A unit on its way with no path left (a straight walk, or the last stretch to its
            // goal) walks on too: standing here would keep it still with its move unfinished, and
            // no end of move would ever come to finish its order.
            u->NumWork = HasUnitPath(u) || OnItsWay(u) ? UNIT_WALK : ANIM_STAND_UPRIGHT;
        }
        u->NumSprite = 0.0f;
    }
    return true;
}

// ---- map queries --------------------------------------------------------------------------------

bool ArePlayersFriends(std::uint8_t a, std::uint8_t b)
{
    if (a == UNIT_NO_PLAYER || b == UNIT_NO_PLAYER || a >= 8 || b >= 8)
        return false;
    const TStrateg* pa = g_Strateg[a];
    const TStrateg* pb = g_Strateg[b];
    if (pa == nullptr || pb == nullptr)
        return false;
    if (pa->Dead != 0 || pb->Dead != 0)
        return true;
    return pa->Relations[b] == pb->Relations[a] && pa->Relations[b] != 0;
}

bool ScanMapCells(TUnit* unit, float x, float y)
{
    if (unit == nullptr)
        return false;
    if (unit->Work == WORK_FIRE_AT_POINT)
        return true;
    const plat::Point centre = PixelToFlatCell(x, y);
    if (!CellPointInMap(centre))
        return false;
    const std::uint8_t owner = unit->Player;
    for (std::int32_t row = centre.y - 5; row <= centre.y + 5; ++row) {
        for (std::int32_t col = centre.x - 2; col <= centre.x + 2; ++col) {
            if (!CellPointInMap({col, row}))
                continue;
            const std::size_t poz = CellIndex(col, row);
            const std::uint16_t code = g_pObjectMap[poz];
            if (owner < 8 && code >= kObjectPlayerHouseFirst && code <= kObjectPlayerHouseLast &&
                HouseCodePlayer(code) == owner)
                return false;
            TUnit** list = g_pUnitsMap != nullptr ? g_pUnitsMap[poz] : nullptr;
            for (int k = 0; list != nullptr && k < kScanUnitsPerCell && list[k] != nullptr; ++k) {
                const TUnit* o = list[k];
                if (o->Dead != 0 || PixelDistance(o->X, o->Y, x, y) >= kFriendReach)
                    continue;
                if (o->Player == owner || ArePlayersFriends(owner, o->Player))
                    return false;
            }
        }
    }
    return true;
}

bool CheckUnitCell(TUnit* unit, std::uint16_t code, std::uint8_t radius)
{
    if (unit == nullptr)
        return false;
    const plat::Point own{unit->MapX, unit->MapY};
    if (GetObjectFromMap(own) == code)
        return true;
    bool found = false;
    ForEachBlockCell(own.x, own.y, radius, [&](const plat::Point& c) {
        if (!found && GetObjectFromMap(c) == code)
            found = true;
    });
    return found;
}

void GetObjectAt(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr)
        return;
    if (!IsShipTypeUnit(u)) {
        const plat::Point cell{u->MapX, u->MapY};
        bool set = false;
        if (u->Height < kOnGround && CellPointInMap(cell)) {
            const TObjectKind kind = ClassifyObjectCode(g_pObjectMap[CellIndex(cell.x, cell.y)]);
            if (kind == TObjectKind::TrenchList || kind == TObjectKind::TrenchPiece) {
                u->GroundHeight = kTrenchHeight;
                set = true;
            } else if (CellHasHouseKindBelow2(cell)) {
                u->GroundHeight = kSmallHouseHeight;
                set = true;
            }
        }
        if (!set && cell.x > 2 && cell.x < g_MapWidth - 3 && cell.y > 3 && cell.y < g_MapHeight - 4)
            u->GroundHeight = static_cast<float>(GetLandHeightF(u->X, u->Y));
    }
    RefreshUnitRect(u);
}

void RefreshUnitRect(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr)
        return;
    const float w = u->Basic->m_CentreX;
    const float v = static_cast<float>(u->Basic->m_SpriteHeight);
    u->m_RectLeft = static_cast<std::int32_t>(u->X - w);
    u->m_RectRight = static_cast<std::int32_t>(u->X + w);
    u->m_RectTop = static_cast<std::int32_t>(u->Y - v - u->GroundHeight - u->Height);
    u->m_RectBottom = static_cast<std::int32_t>(u->Y + v - u->GroundHeight);
}

// ---- towers -------------------------------------------------------------------------------------

void FireTowers(TUnit* unit)
{
    if (unit->Towers == nullptr)
        return;
    for (std::uint8_t i = 0; i < unit->TowerCount; ++i)
        for (std::uint8_t b = 0; b < unit->Towers[i].m_BarrelCount; ++b)
            unit->Towers[i].Fire(b);
}

// ---- keyboard and command actions ---------------------------------------------------------------

void LocalPlayerUnitsCheck()
{
    if (IsNetGame() || MyPlayer >= 8 || g_Strateg[MyPlayer] == nullptr)
        return;
    for (TSelectionNode* n = g_Strateg[MyPlayer]->SelectionHead; n != nullptr; n = n->next) {
        TUnit* u = n->unit;
        if (u != nullptr && u->Basic != nullptr && AnyAnimation(u, ANIM_POINT_FIRE)) {
            u->NumWork = ANIM_POINT_FIRE;
            u->NumSprite = 0.0f;
        }
    }
}

void LocalPlayerUnitCheck()
{
    if (IsNetGame() || MyPlayer >= 8 || g_Strateg[MyPlayer] == nullptr)
        return;
    for (TSelectionNode* n = g_Strateg[MyPlayer]->SelectionHead; n != nullptr; n = n->next) {
        TUnit* u = n->unit;
        if (u == nullptr || u->Basic == nullptr)
            continue;
        u->Upright = u->Upright != 0 && AnyAnimation(u, ANIM_STAND) ? 0 : 1;
        SetMoveWork(u);
    }
}

void PlayerUnitsUpdate(std::uint8_t player)
{
    if (player >= 8 || g_Strateg[player] == nullptr)
        return;
    TStrateg* s = g_Strateg[player];
    if (s->SelectionHead != nullptr && s->SelectionHead->unit != nullptr) {
        TUnit* u = s->SelectionHead->unit;
        u->HitPoints = -10.0f;
        RemoveUnitFromGame(u, player);
    }
    THouse* houses = g_pHouse[player];
    if (houses == nullptr)
        return;
    for (std::uint16_t i = 0; i < NumHouse[player]; ++i) {
        THouse* h = &houses[i];
        // A building marked for demolition is the selected one.
        if (h->Destroyed != 0 || h->Selected == 0 || h->TypeRecord == nullptr)
            continue;
        h->HitPoints -= kPlayerHouseDamageShare * static_cast<float>(h->TypeRecord->m_HitPoints);
        if (h->X >= g_ViewX - 6 && h->X <= g_ViewX + g_ViewCols + 6 && h->Y >= g_ViewY - 30 &&
            h->Y <= g_ViewY + g_ViewRows + 30)
            g_bMapViewDirty = 1;
        if (h->HitPoints <= 1.0f)
            DestroyHouse(h, player);
    }
}
