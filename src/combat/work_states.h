#pragma once
// A unit's two state codes: Work, the order in progress, and NumWork, the animation it shows (and
// so its posture). The operations here switch NumWork, falling back to what the type has where it
// lacks an animation (its AnimationSize entry is 0).
#include <cstdint>

#include "units/unit_lists.h"

class TUnit;

// Work codes. STAY_IN_HOUSE (3), UNIT_WORK_AIR_START (5), UNIT_WORK_LEAVE_HOUSE (9) and
// WORK_UNIT_TRANSPORTED (20) stand in units/unit_lists.h; 255 (none) is UNIT_NO_WORK of
// units/unit.h.
constexpr std::uint8_t WORK_GO_TO_OBJECT = 1;     // a worker walking to a building or map object
constexpr std::uint8_t WORK_ENTER_HOUSE = 2;      // walking to a building's door; air kinds: touch-down
constexpr std::uint8_t WORK_REMOVED = 4;          // being taken out of the game
constexpr std::uint8_t WORK_AIR_LANDING = 6;      // gliding and rolling in to land
constexpr std::uint8_t WORK_ATTACK_UNIT = 7;
constexpr std::uint8_t WORK_FIRE_AT_POINT = 8;
constexpr std::uint8_t WORK_OWN_WAY = 10;         // walking to a point the unit chose itself
constexpr std::uint8_t WORK_WORKER_BUSY = 11;
constexpr std::uint8_t WORK_AIR_TO_AIRFIELD = 12;
constexpr std::uint8_t WORK_AIR_APPROACH = 13;
constexpr std::uint8_t WORK_SHIP_IN_YARD = 14;
constexpr std::uint8_t WORK_GO_TO_TRANSPORT = 21;

// NumWork codes (animation index). UNIT_WALK (0) stands in units/unit_types.h.
constexpr std::uint8_t ANIM_STAND = 1;            // standing, Upright clear; walking without animation 8
constexpr std::uint8_t ANIM_AIM_MOVING = 2;
constexpr std::uint8_t ANIM_STAND_UPRIGHT = 3;
constexpr std::uint8_t ANIM_TURN = 5;
constexpr std::uint8_t ANIM_AIM = 6;
constexpr std::uint8_t ANIM_FIRE = 7;
constexpr std::uint8_t ANIM_WALK_LOW = 8;         // walking, Upright clear
constexpr std::uint8_t ANIM_FIRE_TO_TURN = 9;     // from 7 before a pending code is taken up
constexpr std::uint8_t ANIM_FIRE_ALT = 13;
constexpr std::uint8_t ANIM_WALK_UPRIGHT = 14;
constexpr std::uint8_t ANIM_AIM_ALT = 18;
constexpr std::uint8_t ANIM_AIM_TO_TURN = 19;     // from 6 before a pending code is taken up
constexpr std::uint8_t ANIM_AIM_MOVING_ALT = 20;
constexpr std::uint8_t ANIM_WALK_UPRIGHT_ALT = 21;
constexpr std::uint8_t ANIM_POINT_FIRE = 22;

// The moving set {1, 2, 8, 14, 20, 21} and the aiming set {6, 18, 2, 20, 21}.
bool IsMovingAnimation(std::uint8_t numWork);
bool IsAimingAnimation(std::uint8_t numWork);
// Whether the unit's type has animation code (its AnimationSize entry is not 0).
bool HasAnimation(const TUnit* unit, std::uint8_t code);

// The last fallback when a type has none of the animations asked for: the unit halts where it is,
// drops its path, and turns to its FaceOrient when that is set and differs.
void HaltUnit(TUnit* unit);
// Begins turning toward WantedOrient (never for ships, never twice).
void StartTurn(TUnit* unit);
// Into the aiming animation, then turns toward the attack target.
void EnterAimWork(TUnit* unit);
void EnterFireWork(TUnit* unit);
// Stores the point as the fire point and enters animation 22 (types that have it).
void EnterPointFireWork(TUnit* unit, float x, float y);
// The moving animation of a unit that starts to move (nothing for a speed of 0.1 or less).
void SetMoveWork(TUnit* unit);
