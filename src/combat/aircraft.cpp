#include "combat/aircraft.h"

#include <cmath>

#include "combat/firing.h"
#include "combat/shots.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_events.h"
#include "combat/unit_queries.h"
#include "combat/unit_rect.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "movement/path_follow.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/upgrades.h"

namespace {

constexpr float kPi = 3.1415927f;
// Eighths of the circle per radian, and radians per eighth.
constexpr float kEighthsPerRadian = 1.2732395f;
constexpr float kRadiansPerEighth = 0.7853982f;
// The flight sprites start half a turn (and a little) from the heading.
constexpr float kSpriteHeadingShift = 3.1426928f;
constexpr float kAttackTurnFactor = 3.0f;
constexpr float kCruiseTurnFactor = 1.4f;
// The bomber type that drops a stick of five and waits longer on the runway.
constexpr std::uint16_t kStickBomberType = 10;
constexpr float kStickBomberRunwayFrames = 4.0f;
constexpr std::uint16_t kShortLeadType = 9;
constexpr int kStickBombs = 5;
constexpr float kStickSpacing = 5.0f;
constexpr float kShipLeadFactor = 5.0f;
constexpr int kShipAimScatter = 200;
constexpr std::uint16_t kReaimChance = 200;
constexpr float kSearchNearGoal = 700.0f;
constexpr float kApproachReach = 20.0f;
constexpr std::uint16_t kGlideTurnWait = 3;
// A ratio's divisor never falls below this (a start on its step point).
constexpr float kMinSquaredRun = 0.01f;
// The take-off roll never stands still, even from its very start point.
constexpr float kMinRollFactor = 0.01f;
constexpr std::uint8_t kAirUnitWalk = 0;
constexpr std::uint8_t kAirClimbAnim = 14;
constexpr int kCellsPerBlockSide = 5;
constexpr std::int32_t kBlockRowsBelow = 4;

bool Usable(const TUnit* u)
{
    return u != nullptr && u->Basic != nullptr;
}

std::uint8_t Owner(const TUnit* u)
{
    return u->Player < UNIT_PLAYERS ? u->Player : 0;
}

float SquaredDistance(float ax, float ay, float bx, float by)
{
    return (ax - bx) * (ax - bx) + (ay - by) * (ay - by);
}

// How far along its run (start to step point) the aircraft is, 0 at the start; the divisor is
// guarded for a run that starts on its step point.
float RunFraction(const TUnit* u)
{
    const float run = std::max(SquaredDistance(u->StepX, u->StepY, u->StartX, u->StartY), kMinSquaredRun);
    return std::sqrt(SquaredDistance(u->X, u->Y, u->StartX, u->StartY) / run);
}

float Sign(float v)
{
    return v > 0.0f ? 1.0f : v < 0.0f ? -1.0f : 0.0f;
}

// Moves by factor x velocity; a move that would reach or pass the step point ends on it.
void MoveTowardStep(TUnit* u, float factor)
{
    const float dx = factor * u->VX;
    const float dy = factor * u->VY;
    const float left = SquaredDistance(u->X, u->Y, u->StepX, u->StepY);
    if (dx * dx + dy * dy >= left) {
        u->X = u->StepX;
        u->Y = u->StepY;
        return;
    }
    u->X += dx;
    u->Y += dy;
}

void AdvanceSprite(TUnit* u)
{
    u->NumSprite += u->Basic->AnimationSpeed[u->NumWork < UNIT_COUNT_WORK ? u->NumWork : 0];
}

float AnimationSpeedOf(const TUnit* u)
{
    return u->Basic->AnimationSpeed[u->NumWork < UNIT_COUNT_WORK ? u->NumWork : 0];
}

bool PlayerPlaying(std::uint8_t p)
{
    return p < 8 && g_Strateg[p] != nullptr && g_Strateg[p]->Dead == 0 && g_Strateg[p]->OutOfGame == 0;
}

// The aircraft's airfield gone: it flies on freely instead of steering at a missing building.
bool AirfieldLost(TUnit* u)
{
    if (u->House != nullptr)
        return false;
    ReportErrorInt("AirFieldStep: aircraft without an airfield, Work=", u->Work);
    u->Work = UNIT_NO_WORK;
    u->NumWork = kAirUnitWalk;
    u->NumSprite = 0.0f;
    if (u->Height < 1.0f)
        u->Height = 1.01f;
    return true;
}

// Touch-down at the approach point: the glide toward the exit point starts here.
bool StartGlide(TUnit* u)
{
    if (AirfieldLost(u))
        return false;
    u->Work = WORK_AIR_LANDING;
    u->X = u->StartX = u->StepX;
    u->Y = u->StartY = u->StepY;
    u->StepX = u->House->ExitX;
    u->StepY = u->House->ExitY;
    SetVelocityToTarget(u);
    return true;
}

bool TakeOffStep(TUnit* u, float runwayFrames)
{
    const TBasicUnit& type = *u->Basic;
    if (u->Height < 1.0f) {
        if (!AirStepReached(u)) {
            MoveTowardStep(u, std::max(RunFraction(u), kMinRollFactor));
            GetObjectAt(u);
        } else if (u->NumSprite >= runwayFrames) {
            u->X = u->StartX = u->StepX;
            u->Y = u->StartY = u->StepY;
            const float run = static_cast<float>(type.RunwayLength);
            u->StepX += Sign(u->VX) * run;
            u->StepY += Sign(u->VY) * run;
            u->Height = 1.01f;
            u->WaitCount = 1;
        } else {
            u->X += u->VX;
            u->Y += u->VY;
            u->StepX += u->VX;
            u->StepY += u->VY;
            AdvanceSprite(u);
        }
        return true;
    }
    if (u->Height + u->GroundHeight < AIR_CRUISE_ALTITUDE) {
        if (u->NumSprite < static_cast<float>(type.AnimationSize[kAirClimbAnim] / 2 + 1))
            AdvanceSprite(u);
        u->Height = std::trunc(AIR_CRUISE_ALTITUDE * RunFraction(u) + 1.0f);
        u->X += u->VX;
        u->Y += u->VY;
        return true;
    }
    AdvanceSprite(u);
    // A type without a climb speed would level off forever; it takes up free flight at once.
    if (u->NumSprite < static_cast<float>(type.AnimationSize[kAirClimbAnim]) && AnimationSpeedOf(u) > 0.0f) {
        u->X += u->VX;
        u->Y += u->VY;
        u->StepX += u->VX;
        u->StepY += u->VY;
        return true;
    }
    u->Work = UNIT_NO_WORK;
    u->NumWork = kAirUnitWalk;
    u->NumSprite = 0.0f;
    return false;
}

bool LandingStep(TUnit* u, float runwayFrames)
{
    if (u->Height >= 1.0f) {
        if (!AirStepReached(u)) {
            // The glide keeps at least 1.0 until the exit point, so the roll starts there and
            // nowhere short of it.
            const float h = std::trunc(AIR_CRUISE_ALTITUDE - AIR_CRUISE_ALTITUDE * RunFraction(u));
            u->Height = std::max(h, 1.0f);
            MoveTowardStep(u, 1.0f);
            ChangeOrientIfNeedForAir(u, AIR_GLIDE_HEADING);
            return true;
        }
        if (AirfieldLost(u))
            return false;
        u->Height = 0.0f;
        u->X = u->StartX = u->StepX;
        u->Y = u->StartY = u->StepY;
        u->StepX = u->House->DoorX;
        u->StepY = u->House->DoorY;
        u->NumWork = ANIM_WALK_UPRIGHT;
        u->Orient = 1;
        u->NumSprite = runwayFrames + 1.0f;
        SetVelocityToTarget(u);
        return true;
    }
    if (!AirStepReached(u)) {
        if (u->NumSprite > 0.01f) {
            u->NumSprite -= AnimationSpeedOf(u);
            if (u->NumSprite <= 0.01f)
                u->NumSprite = 0.001f;
        }
        // The roll slows in proportion to the way left; the step tolerance ends it. A roll that
        // is somehow beyond its whole run (f >= 1) would stand or back away: it ends on the door.
        const float slowing = 1.0f - RunFraction(u);
        if (slowing > 0.0f) {
            MoveTowardStep(u, slowing);
        } else {
            u->X = u->StepX;
            u->Y = u->StepY;
        }
        return true;
    }
    if (AirfieldLost(u))
        return false;
    u->X = u->StepX;
    u->Y = u->StepY;
    u->VX = u->VY = 0.0f;
    EnterHouse(u, u->House);
    return true;
}

// The flight step shared by every air kind: turn, or fly on by the velocity. Returns whether the
// aircraft flew straight (only then may it fire).
bool FlightStep(TUnit* u)
{
    const float a = AirAngleTo(u->X, u->Y, u->StepX, u->StepY);
    if (u->Reload != 0)
        --u->Reload;
    if (std::fabs(a - u->Heading) >= u->Basic->TurnStep * 0.5f) {
        AirRotate(u);
        return false;
    }
    u->X += u->VX;
    u->Y += u->VY;
    return true;
}

void FighterFire(TUnit* u)
{
    TUnit* target = u->AttackUnit;
    if (target == nullptr)
        return;
    if (target->Dead != 0) {
        CancelOrderAndStop(u);
        return;
    }
    const std::uint8_t owner = Owner(u);
    if (u->Reload == 0 && PixelDistance(u->X, u->Y, target->X, target->Y) < static_cast<float>(u->Basic->Range[owner])) {
        UnitFireAtUnit(u, target);
        u->FiredFlag = 1;
        u->Reload = u->Basic->ReloadTime[owner];
    }
}

// Steps 2.4 to 2.6 of every air handler: searching near the goal, the unit's cell, the ceiling.
void AirTail(TUnit* u)
{
    if (u->PlayerAttack == UNIT_NO_PLAYER && u->PlayerHouseAttack == UNIT_NO_PLAYER && u->m_bMaySearch == 0 &&
        u->m_SearchDelay != 0 && PixelDistance(u->X, u->Y, u->GoalX, u->GoalY) < kSearchNearGoal) {
        u->m_bMaySearch = 1;
        u->m_SearchDelay = 0;
    }
    const plat::Point cell = PixelToFlatCell(u->X, u->Y);
    const bool usable = cell.x > 3 && cell.y > 9 && cell.x < static_cast<std::int32_t>(g_MapWidth) - 3 &&
                        cell.y < static_cast<std::int32_t>(g_MapHeight) - 9;
    if (usable && (cell.x != u->MapX || cell.y != u->MapY || g_FrameCounter % 1000 == u->FramePhase))
        MoveUnitToCell(cell.x, cell.y, u);
    if (u->Height + u->GroundHeight >= AIR_CRUISE_ALTITUDE) {
        GetObjectAt(u);
        u->Height = AIR_CRUISE_ALTITUDE - u->GroundHeight + 0.01f;
    }
}

void Drop(TUnit* u)
{
    BomberDropBombs(u);
    u->FiredFlag = 1;
    u->Reload = u->Basic->ReloadTime[Owner(u)];
}

// Drops when the target is within the lead, or, still far off, on whatever lies below.
void DropNearTarget(TUnit* u, float d, float lead)
{
    if (d < lead) {
        Drop(u);
        return;
    }
    const float farOff = static_cast<float>(u->Basic->ReloadTime[Owner(u)]) * u->Basic->Speed;
    if (d - lead > farOff && BomberFindTargets(u)) {
        u->TargetX = u->X + 2.0f;
        u->TargetY = u->Y + 2.0f;
        Drop(u);
    }
}

void BomberAttack(TUnit* u)
{
    TUnit* target = u->PlayerAttack != UNIT_NO_PLAYER ? u->AttackUnit : nullptr;
    const float lead = BomberLeadDistance(u, target);
    if (u->Work == WORK_FIRE_AT_POINT) {
        u->TargetX = u->X + 2.0f;
        u->TargetY = u->Y + 2.0f;
        Drop(u);
        return;
    }
    if (u->PlayerHouseAttack != UNIT_NO_PLAYER) {
        const THouse* h = u->HouseAttack;
        if (h == nullptr) {
            ReportError(" u->HouseAttack==0 in MakeMoveAirBomber");
            return;
        }
        if (h->Destroyed == 0) {
            DropNearTarget(u, PixelDistance(u->X, u->Y, h->DoorX, h->DoorY), lead);
            return;
        }
        CancelOrderAndStop(u);
        return;
    }
    if (u->PlayerAttack != UNIT_NO_PLAYER) {
        if (target == nullptr) {
            ReportError(" u->AttackUnit==0 in MakeMoveAirBomber");
            CancelOrderAndStop(u);
            return;
        }
        float ax = u->X;
        float ay = u->Y;
        if (IsShipTypeUnit(target)) {
            ax += static_cast<float>(100 - RandomDraw() % kShipAimScatter);
            ay += static_cast<float>(100 - RandomDraw() % kShipAimScatter);
        }
        if (target->Dead != 0) {
            CancelOrderAndStop(u);
            return;
        }
        DropNearTarget(u, PixelDistance(ax, ay, target->X, target->Y), lead);
        return;
    }
    CancelOrderAndStop(u);
}

// A bomber gives up a target that is gone and now and then re-aims at a moving one.
void BomberTargetChecks(TUnit* u)
{
    if (u->PlayerHouseAttack != UNIT_NO_PLAYER) {
        const THouse* h = u->HouseAttack;
        if (h == nullptr || h->Destroyed != 0 || !PlayerPlaying(u->PlayerHouseAttack))
            CancelOrderAndStop(u);
    }
    if (u->PlayerAttack != UNIT_NO_PLAYER) {
        TUnit* t = u->AttackUnit;
        if (t == nullptr || t->Dead != 0)
            CancelOrderAndStop(u);
        else if (PlayerPlaying(t->Player) && RandomDraw() < kReaimChance)
            OrderAttackUnit(u, t, 1);
    }
}

void FighterHandler(TUnit* u)
{
    if (!Usable(u))
        return;
    if (!AirFieldStep(u) && FlightStep(u))
        FighterFire(u);
    AirTail(u);
}

// Whether a ground unit below belongs to the bomber's own player, and whether one to an enemy.
struct TBelow {
    bool own = false;
    bool enemyUnit = false;
    bool enemyHouse = false;
};

void ReadCellBelow(const TUnit* u, const plat::Point& c, TBelow& below)
{
    if (!IsTileInMap(c))
        return;
    const std::size_t poz = CellIndex(c.x, c.y);
    TUnit** list = g_pUnitsMap != nullptr ? g_pUnitsMap[poz] : nullptr;
    for (int i = 0; list != nullptr && i < kCellUnitCapacity && list[i] != nullptr; ++i) {
        const TUnit* v = list[i];
        if (v->Dead != 0 || v->Height >= 1.0f)
            continue;
        if (v->Player == u->Player)
            below.own = true;
        else if (IsEnemy(u->Player, v->Player))
            below.enemyUnit = true;
    }
    const std::uint16_t code = GetObjectFromMap(c);
    if (code >= kObjectPlayerHouseFirst && code <= kObjectPlayerHouseLast) {
        const THouse* h = HouseFromObjectCode(code);
        if (h != nullptr && h->Destroyed == 0 && IsEnemy(u->Player, h->Owner))
            below.enemyHouse = true;
    }
}

} // namespace

float AirNormaliseHeading(float heading)
{
    if (!std::isfinite(heading))
        return 0.0f;
    heading = std::fmod(heading, kTwoPiF);
    if (heading < 0.0f)
        heading += kTwoPiF;
    return heading >= AIR_HEADING_WRAP ? 0.0f : heading;
}

float AirAngleTo(float x, float y, float px, float py)
{
    float a = std::atan2(px - x, py - y);
    if (a < 0.0f)
        a += kTwoPiF;
    return a;
}

bool AirTurnGrows(float heading, float angle)
{
    return (angle > heading && angle - heading < kPi) || (angle <= heading && heading - angle >= kPi);
}

TPointF AirTurnCentre(float x, float y, float heading, float radius, bool grows)
{
    const float c = radius * std::cos(heading);
    const float s = radius * std::sin(heading);
    return grows ? TPointF{x + c, y - s} : TPointF{x - c, y + s};
}

TPointF AirPointOnCircle(TPointF centre, float heading, float radius, bool grows)
{
    const float c = radius * std::cos(heading);
    const float s = radius * std::sin(heading);
    return grows ? TPointF{centre.x - c, centre.y + s} : TPointF{centre.x + c, centre.y - s};
}

bool AirIsAttacking(const TUnit* u)
{
    return u != nullptr &&
           (IsAimingAnimation(u->NumWork) || u->PlayerAttack != UNIT_NO_PLAYER ||
            u->PlayerHouseAttack != UNIT_NO_PLAYER || u->Work == WORK_FIRE_AT_POINT);
}

float AirTurnFactor(const TUnit* u)
{
    return AirIsAttacking(u) && UnitKindOf(u) != UNIT_KIND_AIRCRAFT ? kAttackTurnFactor : kCruiseTurnFactor;
}

bool AirStepReached(const TUnit* u)
{
    return std::fabs(u->StepX - u->X) <= AIR_STEP_TOLERANCE && std::fabs(u->StepY - u->Y) <= AIR_STEP_TOLERANCE;
}

float BomberLeadDistance(const TUnit* u, const TUnit* targetUnit)
{
    if (!Usable(u))
        return 0.0f;
    float accuracy = g_ShotAccuracyFactor[Owner(u)];
    // A factor not yet set must not make the lead infinite.
    if (!(accuracy > 0.0f))
        accuracy = 1.0f;
    float lead = UnitSpeed(u) * (u->Type == kShortLeadType ? 10.0f : 30.0f) / accuracy;
    if (targetUnit != nullptr && IsShipTypeUnit(targetUnit))
        lead *= kShipLeadFactor;
    return lead;
}

bool AirFieldStep(TUnit* u)
{
    if (!Usable(u))
        return false;
    RefreshUnitRect(u);
    if (u->WaitCount != 0) {
        --u->WaitCount;
        return true;
    }
    if (u->Work == UNIT_NO_WORK)
        return false;
    const float runwayFrames = u->Type == kStickBomberType ? kStickBomberRunwayFrames : 0.0f;
    switch (u->Work) {
    case WORK_ENTER_HOUSE:
        return StartGlide(u);
    case STAY_IN_HOUSE:
        return true;
    case UNIT_WORK_AIR_START:
        return TakeOffStep(u, runwayFrames);
    case WORK_AIR_LANDING:
        return LandingStep(u, runwayFrames);
    case WORK_AIR_TO_AIRFIELD:
        if (std::fabs(u->StepX - u->X) > kApproachReach || std::fabs(u->StepY - u->Y) > kApproachReach)
            return false;
        if (AirfieldLost(u))
            return false;
        u->Work = WORK_AIR_APPROACH;
        u->StepX = u->House->ExitX + static_cast<float>(u->Basic->RunwayLength);
        u->StepY = u->House->ExitY + static_cast<float>(u->Basic->RunwayLength);
        return true;
    case WORK_AIR_APPROACH: {
        const float a = AirAngleTo(u->X, u->Y, u->StepX, u->StepY);
        const float speed = u->Basic->Speed;
        if (std::fabs(u->StepX - u->X) <= speed && std::fabs(u->StepY - u->Y) <= speed) {
            u->Work = WORK_ENTER_HOUSE;
            return StartGlide(u);
        }
        if (std::fabs(a - u->Heading) < u->Basic->TurnStep * 0.5f) {
            SetVelocityToTarget(u);
            u->X += u->VX / 3.0f;
            u->Y += u->VY / 3.0f;
        }
        return false;
    }
    default:
        return false;
    }
}

void AirRotate(TUnit* u)
{
    if (!Usable(u))
        return;
    const TBasicUnit& type = *u->Basic;
    const float r = type.TurnRadius;
    const float a = AirAngleTo(u->X, u->Y, u->StepX, u->StepY);
    float h = u->Heading;
    const bool grows = AirTurnGrows(h, a);
    const TPointF centre = AirTurnCentre(u->X, u->Y, h, r, grows);
    const float k = AirTurnFactor(u);
    if (PixelDistance(u->StepX, u->StepY, centre.x, centre.y) > k * r) {
        h = AirNormaliseHeading(grows ? h + type.TurnStep : h - type.TurnStep);
        const TPointF next = AirPointOnCircle(centre, h, r, grows);
        u->VX = next.x - u->X;
        u->VY = next.y - u->Y;
        u->X = next.x;
        u->Y = next.y;
        u->Heading = h;
    } else {
        u->VX = type.Speed * std::sin(h);
        u->VY = type.Speed * std::cos(h);
        u->X += u->VX;
        u->Y += u->VY;
    }
    const float t = AirNormaliseHeading(h + kSpriteHeadingShift);
    const float eighths = t * kEighthsPerRadian;
    u->Orient = static_cast<std::int8_t>(std::trunc(eighths));
    u->NumSprite = (eighths - static_cast<float>(u->Orient)) * static_cast<float>(type.AnimationSize[kAirUnitWalk]);
    if (static_cast<std::uint8_t>(u->NumSprite) >= type.AnimationSize[kAirUnitWalk] || u->NumWork != kAirUnitWalk) {
        ReportError("if ((byte)u->NumSprite >= u->Basic->AnimationSize[UNIT_WALK] || u->NumWork!=UNIT_WALK) in AirRotate");
        ReportErrorInt("(byte)u->NumSprite=", static_cast<std::uint8_t>(u->NumSprite));
        ReportErrorInt("u->NumWork=", u->NumWork);
        ReportErrorInt("u->Orient=", u->Orient);
        u->NumSprite = 0.0f;
        u->NumWork = kAirUnitWalk;
    }
}

void ChangeOrientIfNeedForAir(TUnit* u, float angle)
{
    if (!Usable(u))
        return;
    const TBasicUnit& type = *u->Basic;
    if (std::fabs(u->Heading - angle) < type.TurnStep)
        return;
    if (u->WaitCount != 0) {
        --u->WaitCount;
    } else {
        u->WaitCount = kGlideTurnWait;
        float h = u->Heading;
        if (h > kTwoPiF)
            h -= kTwoPiF;
        h = AirTurnGrows(h, angle) ? h + type.TurnStep : h - type.TurnStep;
        u->Heading = AirNormaliseHeading(h);
    }
    float t = u->Heading + kPi;
    if (t >= kTwoPiF)
        t -= kTwoPiF;
    const std::int32_t orient = static_cast<std::int32_t>(std::trunc(t * kEighthsPerRadian));
    const float frame = std::trunc((t - static_cast<float>(orient) * kRadiansPerEighth) *
                                   static_cast<float>(type.AnimationSize[kAirUnitWalk]) * kEighthsPerRadian);
    if (orient >= UNIT_ORIENTS || orient < 0 || frame >= static_cast<float>(type.AnimationSize[kAirUnitWalk])) {
        // Drawing indexes its sprites by these: a value beyond them is never stored.
        ReportError("ChangeOrientIfNeedForAir");
        u->Orient = static_cast<std::int8_t>(orient >= UNIT_ORIENTS || orient < 0 ? 0 : orient);
        u->NumSprite = 0.0f;
        return;
    }
    u->Orient = static_cast<std::int8_t>(orient);
    u->NumSprite = frame;
}

bool BomberFindTargets(TUnit* u)
{
    if (!Usable(u))
        return false;
    const std::int32_t x = u->MapX;
    const std::int32_t y = u->MapY;
    if (x < 4 || y < 10 || x > static_cast<std::int32_t>(g_MapWidth) - 4 ||
        y > static_cast<std::int32_t>(g_MapHeight) - 10)
        return false;
    TBelow below;
    plat::Point rowStart{x, y + kBlockRowsBelow};
    for (int row = 0; row < kCellsPerBlockSide; ++row) {
        plat::Point c = rowStart;
        for (int i = 0; i < kCellsPerBlockSide; ++i) {
            ReadCellBelow(u, c, below);
            c = GetNeighbourPoint(c, 1);
        }
        rowStart = GetNeighbourPoint(rowStart, 4);
    }
    if (below.own)
        return false;
    return below.enemyHouse || below.enemyUnit;
}

void BomberDropBombs(TUnit* u)
{
    if (!Usable(u))
        return;
    if (u->Type != kStickBomberType) {
        AddShot(SHOT_SOURCE_BOMB, u, nullptr, nullptr);
        return;
    }
    const float x0 = u->X;
    const float y0 = u->Y;
    for (int i = 0; i < kStickBombs; ++i) {
        const float along = static_cast<float>(i) * kStickSpacing;
        u->X = x0 + along * u->VX + static_cast<float>(RandomDraw() % 10 - 5);
        u->Y = y0 + along * u->VY + static_cast<float>(RandomDraw() % 10 - 5);
        AddShot(SHOT_SOURCE_BOMB, u, nullptr, nullptr);
    }
    u->X = x0;
    u->Y = y0;
}

void MakeMoveAirKind1(TUnit* u)
{
    FighterHandler(u);
}

void MakeMoveAirKind11(TUnit* u)
{
    FighterHandler(u);
}

void MakeMoveAirBomber(TUnit* u)
{
    if (!Usable(u))
        return;
    if (!AirFieldStep(u)) {
        BomberTargetChecks(u);
        FlightStep(u);
        if (u->Reload == 0 && AirIsAttacking(u))
            BomberAttack(u);
    }
    AirTail(u);
}
