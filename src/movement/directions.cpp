#include "movement/directions.h"

#include <cstdlib>

#include "combat/work_states.h"
#include "core/error_log.h"
#include "units/unit.h"
#include "units/unit_types.h"

const TDirStep g_DirPixelStep[kDirectionCount] = {{0, 0},    {48, -24}, {48, 24}, {-48, 24}, {-48, -24},
                                                  {0, -48},  {0, 48},   {96, 0},  {-96, 0}};
const std::uint8_t g_DirWaveCost[kDirectionCount] = {0, 9, 9, 9, 9, 9, 9, 16, 16};

std::uint8_t g_EastFlag = 0;

namespace {

constexpr std::uint8_t kDirectionOfOrient[8] = {5, 4, 8, 3, 6, 2, 7, 1};
constexpr std::uint8_t kOrientOfDirection[9] = {0, 7, 5, 3, 1, 0, 4, 6, 2};
constexpr std::uint8_t kOrtogonalRight[8] = {6, 7, 0, 5, 6, 7, 0, 5};
constexpr TDirSign kOrientSigns[8] = {{0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}};

// The angle of an orient when a walking unit takes it at once.
constexpr double kOrientStep = 0.7853982;
constexpr double kSettleOffset = 0.02;

// The plain difference of two orient codes, not taken round the circle.
int PlainDifference(std::uint8_t a, std::int8_t b)
{
    return std::abs(static_cast<int>(a) - static_cast<int>(b));
}

bool IsQuickTurnWork(std::uint8_t numWork)
{
    return numWork == ANIM_AIM || numWork == ANIM_FIRE || numWork == ANIM_FIRE_ALT || numWork == ANIM_AIM_ALT;
}

bool HasQuickTurn(const TUnit* unit)
{
    return unit->Basic != nullptr && unit->Basic->m_bQuickTurn != 0;
}

// Orient and angle at once, as a walking unit turns.
void TakeOrientAtOnce(TUnit* unit)
{
    unit->Orient = static_cast<std::int8_t>(unit->WantedOrient);
    unit->Heading = static_cast<float>(unit->Orient * kOrientStep + kSettleOffset);
}

// The settling of SetOrientToPointEx and SetOrientToUnit.
void SettleLooking(TUnit* unit, float dx)
{
    g_EastFlag = dx >= 0.0f ? 1 : 0;
    if (IsMovingAnimation(unit->NumWork))
        unit->Orient = static_cast<std::int8_t>(unit->WantedOrient);
    else if (unit->WantedOrient != static_cast<std::uint8_t>(unit->Orient) && unit->NumWork != ANIM_TURN)
        StartTurn(unit);
}

} // namespace

std::uint8_t GetDirectionUseOrient(std::uint8_t orient)
{
    if (orient > 7) {
        ReportError("Unknown Orient in GetDirectionUseOrient");
        return 1;
    }
    return kDirectionOfOrient[orient];
}

std::uint8_t GetOrientUseDirection(std::uint8_t direction)
{
    if (direction < 1 || direction > 8) {
        ReportError("Unknown direction in GetOrientUseDirection");
        return 0;
    }
    return kOrientOfDirection[direction];
}

std::uint8_t GetBackDirection(std::uint8_t orient)
{
    if (orient > 7) {
        ReportError("Unknown orient in GetBackDirection");
        return 1;
    }
    return static_cast<std::uint8_t>((orient + 4) % 8);
}

std::uint8_t GetOrtogonalDirection(std::uint8_t orient)
{
    if (orient > 7) {
        ReportError("Unknown orient in GetOrtogonalDirection");
        return 1;
    }
    return static_cast<std::uint8_t>((orient + 2) % 8);
}

std::uint8_t GetOrtogonalDirectionRight(std::uint8_t orient)
{
    if (orient > 7) {
        ReportError("Unknown orient in GetOrtogonalDirection");
        return 1;
    }
    return kOrtogonalRight[orient];
}

TDirSign GetHorizontalAndVertical(std::uint8_t orient)
{
    if (orient > 7) {
        ReportError("Unknown orient in GetHorizontalAndVertical");
        return {0, 0};
    }
    return kOrientSigns[orient];
}

TDirSign GetOrtogonalVector(std::uint8_t orient)
{
    if (orient > 7) {
        ReportError("Unknown orient in GetOrtogonalVector");
        return {-1, 0};
    }
    return kOrientSigns[(orient + 2) % 8];
}

TDirStep GetDxDyUseDirection(std::uint8_t direction)
{
    if (direction == 0 || direction >= kDirectionCount) {
        ReportErrorInt("GetDxDyUseDirection(BYTE Direction) Direction=", direction);
        return {0, 0};
    }
    return g_DirPixelStep[direction];
}

std::uint8_t GetOrientOfVector(float dx, float dy)
{
    // The slope is rounded to single precision and then compared with the double bounds, so a
    // slope written as 0.42 lies just below its bound (E, not SE) and -2.41 just below its bound
    // (N, not NE).
    float s;
    if (dx > 0.0f)
        s = dy / dx;
    else if (dx < 0.0f)
        s = dy / -dx;
    else
        s = dy * 10000.0f;
    const double slope = s;
    const bool east = dx >= 0.0f;
    if (slope < -2.41)
        return 0;
    if (slope < -0.41)
        return east ? 7 : 1;
    if (slope < 0.42)
        return east ? 6 : 2;
    if (slope < 2.42)
        return east ? 5 : 3;
    return 4;
}

std::uint8_t GetOrientToPoint(float x0, float y0, float x1, float y1)
{
    return GetOrientOfVector(x1 - x0, y1 - y0);
}

void SetOrientToPoint(TUnit* unit, float x, float y)
{
    if (unit == nullptr)
        return;
    unit->WantedOrient = GetOrientToPoint(unit->X, unit->Y, x, y);
    if (unit->WantedOrient == static_cast<std::uint8_t>(unit->Orient))
        return;
    if (IsMovingAnimation(unit->NumWork)
        || (HasQuickTurn(unit) && PlainDifference(unit->WantedOrient, unit->Orient) > 1 && IsQuickTurnWork(unit->NumWork)))
        TakeOrientAtOnce(unit);
    else
        StartTurn(unit);
}

void SetOrientToPointEx(TUnit* unit, float x, float y)
{
    if (unit == nullptr)
        return;
    unit->WantedOrient = GetOrientToPoint(unit->X, unit->Y, x, y);
    SettleLooking(unit, x - unit->X);
}

void SetOrientToUnit(TUnit* unit)
{
    if (unit == nullptr)
        return;
    unit->WantedOrient = GetOrientToPoint(unit->X, unit->Y, unit->StepX, unit->StepY);
    SettleLooking(unit, unit->StepX - unit->X);
}

void SetOrientToAttackTarget(TUnit* unit)
{
    if (unit == nullptr)
        return;
    const float tx = unit->AttackUnit != nullptr ? unit->AttackUnit->X : unit->TargetX;
    const float ty = unit->AttackUnit != nullptr ? unit->AttackUnit->Y : unit->TargetY;
    unit->WantedOrient = GetOrientToPoint(unit->X, unit->Y, tx, ty);
    const bool gun = unit->Basic != nullptr && unit->Basic->m_Kind == 4;
    if (gun || IsMovingAnimation(unit->NumWork)
        || (HasQuickTurn(unit) && PlainDifference(unit->WantedOrient, unit->Orient) < 2 && IsQuickTurnWork(unit->NumWork)))
        unit->SetOrient(unit->WantedOrient);
    else if (unit->WantedOrient != static_cast<std::uint8_t>(unit->Orient))
        StartTurn(unit);
}
