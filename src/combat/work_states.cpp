#include "combat/work_states.h"

#include <initializer_list>

#include "movement/directions.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

constexpr float kStandingSpeed = 0.1f;

bool IsOneOf(std::uint8_t v, std::initializer_list<std::uint8_t> set)
{
    for (std::uint8_t s : set)
        if (s == v)
            return true;
    return false;
}

// A new animation always starts at its first frame: the old frame number may lie beyond the new
// animation's frames.
void Enter(TUnit* unit, std::uint8_t numWork)
{
    unit->NumWork = numWork;
    unit->NumSprite = 0.0f;
}

// The walking code a moving animation 2, 20 or 21 keeps while the unit fires: 21 where the type
// has it, else 14.
std::uint8_t FiringWalk(const TUnit* unit)
{
    return IsOneOf(unit->NumWork, {ANIM_AIM_MOVING, ANIM_AIM_MOVING_ALT, ANIM_WALK_UPRIGHT_ALT})
                   && HasAnimation(unit, ANIM_WALK_UPRIGHT_ALT)
               ? ANIM_WALK_UPRIGHT_ALT
               : ANIM_WALK_UPRIGHT;
}

// A walking unit keeps walking and a unit in a transition finishes it; the firing code waits as
// the pending one. false for any other posture.
bool DeferFiring(TUnit* unit, std::uint8_t firing)
{
    if (IsMovingAnimation(unit->NumWork))
        Enter(unit, FiringWalk(unit));
    else if (unit->NumWork != ANIM_AIM_TO_TURN && unit->NumWork != ANIM_FIRE_TO_TURN)
        return false;
    unit->NextWork = firing;
    return true;
}

} // namespace

bool IsMovingAnimation(std::uint8_t numWork)
{
    return IsOneOf(numWork, {ANIM_STAND, ANIM_AIM_MOVING, ANIM_WALK_LOW, ANIM_WALK_UPRIGHT, ANIM_AIM_MOVING_ALT,
                             ANIM_WALK_UPRIGHT_ALT});
}

bool IsAimingAnimation(std::uint8_t numWork)
{
    return IsOneOf(numWork, {ANIM_AIM, ANIM_AIM_ALT, ANIM_AIM_MOVING, ANIM_AIM_MOVING_ALT, ANIM_WALK_UPRIGHT_ALT});
}

bool HasAnimation(const TUnit* unit, std::uint8_t code)
{
    return unit->Basic != nullptr && code < UNIT_COUNT_WORK && unit->Basic->AnimationSize[code] != 0;
}

void HaltUnit(TUnit* unit)
{
    if (unit == nullptr)
        return;
    unit->Halted = 1;
    unit->StopAtEnd = 0;
    unit->NumWork = unit->Upright != 0 ? ANIM_STAND_UPRIGHT : ANIM_STAND;
    delete[] unit->Path;
    unit->Path = nullptr;
    unit->PathLength = 0;
    unit->PathIndex = -1;
    unit->StepX = unit->GoalX = unit->X;
    unit->StepY = unit->GoalY = unit->Y;
    unit->VX = unit->VY = 0.0f;
    unit->NumSprite = 0.0f;
    if (unit->FaceOrient != UNIT_NO_FACE && unit->FaceOrient != static_cast<std::uint8_t>(unit->Orient)) {
        unit->WantedOrient = unit->FaceOrient;
        StartTurn(unit);
    }
}

void StartTurn(TUnit* unit)
{
    if (unit == nullptr || (unit->Basic != nullptr && unit->Basic->IsShipUnit())
        || unit->WantedOrient == static_cast<std::uint8_t>(unit->Orient) || unit->NumWork == ANIM_TURN)
        return;
    if (unit->NextWork == UNIT_NO_NEXT_WORK)
        unit->NextWork = ANIM_TURN;
    // Aiming and firing postures first pass through their transition; the turn follows it.
    if (unit->NumWork == ANIM_AIM && HasAnimation(unit, ANIM_AIM_TO_TURN)) {
        Enter(unit, ANIM_AIM_TO_TURN);
        return;
    }
    if (unit->NumWork == ANIM_FIRE && HasAnimation(unit, ANIM_FIRE_TO_TURN)) {
        Enter(unit, ANIM_FIRE_TO_TURN);
        return;
    }
    if (unit->NumWork == ANIM_FIRE_TO_TURN || unit->NumWork == ANIM_AIM_TO_TURN)
        return;
    unit->NumWork = ANIM_TURN;
    if (unit->NextWork == ANIM_TURN)
        unit->NextWork = UNIT_NO_NEXT_WORK;
    unit->NumSprite = 0.0f;
}

void EnterAimWork(TUnit* unit)
{
    if (unit == nullptr)
        return;
    const std::uint8_t w = unit->NumWork;
    if (IsAimingAnimation(w)) {
        // Already aiming.
    } else if (w == ANIM_FIRE && HasAnimation(unit, ANIM_FIRE_TO_TURN)) {
        Enter(unit, ANIM_FIRE_TO_TURN);
        unit->NextWork = ANIM_AIM_ALT;
    } else if (w == ANIM_STAND || w == ANIM_WALK_LOW || w == ANIM_WALK_UPRIGHT) {
        Enter(unit, HasAnimation(unit, ANIM_AIM_MOVING_ALT) ? ANIM_AIM_MOVING_ALT
                    : HasAnimation(unit, ANIM_AIM_MOVING)   ? ANIM_AIM_MOVING
                                                            : ANIM_STAND);
    } else if (w == ANIM_AIM_TO_TURN || w == ANIM_FIRE_TO_TURN) {
        unit->NextWork = ANIM_AIM_ALT;
    } else if (unit->Type == 23 && w == ANIM_STAND_UPRIGHT) {
        Enter(unit, ANIM_AIM);
    } else if (HasAnimation(unit, ANIM_AIM_ALT)) {
        Enter(unit, ANIM_AIM_ALT);
    } else if (HasAnimation(unit, ANIM_AIM)) {
        Enter(unit, ANIM_AIM);
    } else {
        HaltUnit(unit);
    }
    // The posture to come back to after the turn; kept only when the unit really turns.
    const bool noneWaiting = unit->NextWork == UNIT_NO_NEXT_WORK;
    if (noneWaiting)
        unit->NextWork = unit->NumWork;
    SetOrientToAttackTarget(unit);
    if (noneWaiting && unit->WantedOrient == static_cast<std::uint8_t>(unit->Orient))
        unit->NextWork = UNIT_NO_NEXT_WORK;
}

void EnterFireWork(TUnit* unit)
{
    if (unit == nullptr)
        return;
    const std::uint8_t w = unit->NumWork;
    if (w == ANIM_FIRE || w == ANIM_FIRE_ALT)
        return;
    if (w == ANIM_AIM && HasAnimation(unit, ANIM_AIM_TO_TURN)) {
        Enter(unit, ANIM_AIM_TO_TURN);
        unit->NextWork = ANIM_FIRE_ALT;
        return;
    }
    if (DeferFiring(unit, ANIM_FIRE_ALT))
        return;
    if (HasAnimation(unit, ANIM_FIRE_ALT))
        Enter(unit, ANIM_FIRE_ALT);
    else if (HasAnimation(unit, ANIM_FIRE))
        Enter(unit, ANIM_FIRE);
    else
        HaltUnit(unit);
}

void EnterPointFireWork(TUnit* unit, float x, float y)
{
    if (unit == nullptr || !HasAnimation(unit, ANIM_POINT_FIRE))
        return;
    unit->TargetX = x;
    unit->TargetY = y;
    const std::uint8_t w = unit->NumWork;
    if (w == ANIM_POINT_FIRE)
        return;
    if (w == ANIM_FIRE && HasAnimation(unit, ANIM_FIRE_TO_TURN)) {
        Enter(unit, ANIM_FIRE_TO_TURN);
        unit->NextWork = ANIM_POINT_FIRE;
    } else if (!DeferFiring(unit, ANIM_POINT_FIRE)) {
        Enter(unit, ANIM_POINT_FIRE);
    }
}

void SetMoveWork(TUnit* unit)
{
    if (unit == nullptr || unit->Basic == nullptr || unit->Basic->Speed <= kStandingSpeed)
        return;
    const std::uint8_t w = unit->NumWork;
    if (unit->Upright == 0) {
        const std::uint8_t walk = HasAnimation(unit, ANIM_WALK_LOW) ? ANIM_WALK_LOW : ANIM_STAND;
        if (w == ANIM_STAND)
            return;
        if (IsOneOf(w, {ANIM_AIM_MOVING, ANIM_AIM_MOVING_ALT, ANIM_WALK_UPRIGHT_ALT})) {
            const std::uint8_t to = HasAnimation(unit, ANIM_WALK_UPRIGHT_ALT) ? ANIM_WALK_UPRIGHT_ALT : ANIM_STAND;
            if (to != w)
                Enter(unit, to);
        } else if (w == ANIM_WALK_LOW || w == ANIM_WALK_UPRIGHT) {
            Enter(unit, ANIM_STAND);
        } else if (w == ANIM_AIM && HasAnimation(unit, ANIM_AIM_TO_TURN)) {
            Enter(unit, ANIM_AIM_TO_TURN);
            unit->NextWork = walk;
        } else if (w == ANIM_FIRE && HasAnimation(unit, ANIM_FIRE_TO_TURN)) {
            Enter(unit, ANIM_FIRE_TO_TURN);
            unit->NextWork = walk;
        } else {
            Enter(unit, walk);
        }
        return;
    }
    if (w == UNIT_WALK)
        return;
    if (IsOneOf(w, {ANIM_AIM_MOVING_ALT, ANIM_WALK_LOW, ANIM_WALK_UPRIGHT_ALT, ANIM_WALK_UPRIGHT})) {
        unit->NextWork = UNIT_WALK;
    } else if (w == ANIM_AIM_MOVING && HasAnimation(unit, ANIM_WALK_UPRIGHT_ALT)) {
        Enter(unit, ANIM_WALK_UPRIGHT_ALT);
        unit->NextWork = UNIT_WALK;
    } else if (w == ANIM_AIM_MOVING || w == ANIM_STAND) {
        if (HasAnimation(unit, ANIM_WALK_UPRIGHT)) {
            Enter(unit, ANIM_WALK_UPRIGHT);
            unit->NextWork = UNIT_WALK;
        } else {
            Enter(unit, UNIT_WALK);
        }
    } else if (w == ANIM_AIM && HasAnimation(unit, ANIM_AIM_TO_TURN)) {
        Enter(unit, ANIM_AIM_TO_TURN);
        unit->NextWork = UNIT_WALK;
    } else if (w == ANIM_FIRE && HasAnimation(unit, ANIM_FIRE_TO_TURN)) {
        Enter(unit, ANIM_FIRE_TO_TURN);
        unit->NextWork = UNIT_WALK;
    } else if (w == ANIM_TURN) {
        unit->NextWork = UNIT_WALK;
    } else {
        Enter(unit, UNIT_WALK);
        unit->NextWork = UNIT_WALK;
    }
}
