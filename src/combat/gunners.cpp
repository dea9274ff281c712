// Flame throwers and machine gunners: soldiers on the shared ground frame with their own firing
// rhythm. Neither keeps an order while standing; their attacks come from the target search.
#include "combat/gunners.h"

#include "combat/firing.h"
#include "combat/ground_frame.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_events.h"
#include "combat/work_states.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace {

constexpr std::uint16_t kLongReloadOneIn = 20;
constexpr std::uint16_t kLongReloadDraw = 1;

std::uint16_t ReloadAfterAnimation(const TUnit* u)
{
    const std::int32_t reload = static_cast<std::int32_t>(u->Basic->ReloadTime[OwnerSlot(u)]) -
                                static_cast<std::int32_t>(AnimationFrames(u, u->NumWork));
    return static_cast<std::uint16_t>(reload < 0 ? 0 : reload);
}

// Standing: a target of any kind drops the order; a future transport stays only while the unit
// is on its way to it.
bool StandingDropsOrder(TUnit* u)
{
    u->StopAtEnd = 0;
    if (u->AttackUnit != nullptr || u->HouseAttack != nullptr) {
        CancelOrderAndStop(u);
        return true;
    }
    if (u->m_MyFutureTransporter != nullptr &&
        (u->Work != WORK_GO_TO_TRANSPORT || u->m_MyFutureTransporter->Dead != 0)) {
        if (u->Work != WORK_GO_TO_TRANSPORT)
            u->Work = UNIT_NO_WORK;
        u->m_MyFutureTransporter = nullptr;
    }
    return false;
}

// The end of an animation for both kinds; the firing states end their own way.
void EndOfGunnerAnimation(TUnit* u, bool machineGunner)
{
    const std::uint8_t work = u->NumWork;
    if (work == ANIM_AIM || (work == ANIM_AIM_MOVING && machineGunner)) {
        if (u->Reload != 0)
            return;
        // The pause follows the firing animation even when the burst ends the order.
        const std::uint16_t reload = ReloadAfterAnimation(u);
        if (machineGunner && u->AttackUnit != nullptr)
            MashineGunnerBurst(u, u->AttackUnit);
        u->Reload = reload;
        if (machineGunner && RandomDraw() % kLongReloadOneIn == kLongReloadDraw)
            u->Reload = kLongReload;
        return;
    }
    if (work == ANIM_AIM_MOVING)
        return;
    EndOfAnimationShared(u);
}

void MakeMoveGunner(TUnit* u, bool machineGunner)
{
    if (u == nullptr || u->Basic == nullptr)
        return;
    if (UnitWaitStep(u))
        return;
    const float start = u->NumSprite;
    CutFidgetAtMiddle(u, start);
    if (u->NumWork == ANIM_STAND_UPRIGHT && StandingDropsOrder(u))
        return;
    const float speed = AnimationStep(u, u->NumWork);
    if (!machineGunner && u->NumWork == ANIM_AIM && u->Reload == 0) {
        if (FrameCrossed(start, speed, 1.0f) && u->Towers != nullptr)
            FireTowers(u);
        const float half = static_cast<float>(AnimationFrames(u, ANIM_AIM)) * 0.5f;
        if (start < half && half <= start + speed)
            CombatFireFlameThrower(u);
    }
    if (machineGunner && (u->NumWork == ANIM_AIM || u->NumWork == ANIM_AIM_MOVING)) {
        if (IsLiveHouse(u->HouseAttack)) {
            ReportError("????MakeMoveMashineGunner u->PlayerHouseAttack!=255");
            CancelOrderAndStop(u);
            return;
        }
        if (!IsLiveUnit(u->AttackUnit)) {
            CancelOrderAndStop(u);
            return;
        }
    }
    if (u->Reload != 0) {
        --u->Reload;
        if (!machineGunner && u->NumWork == ANIM_AIM && u->NumSprite <= 1.0f)
            return;
        if (machineGunner && (u->NumWork == ANIM_AIM || u->NumWork == ANIM_AIM_MOVING))
            return;
    }
    const std::uint8_t work = u->NumWork;
    u->NumSprite += AnimationStep(u, work);
    if (u->NumWork == work && u->NumSprite >= static_cast<float>(AnimationFrames(u, work))) {
        u->NumSprite = 0.01f;
        EndOfGunnerAnimation(u, machineGunner);
    }
    if (IsCellRefreshCycle(u))
        UpdateUnitCellAlt(u);
}

} // namespace

void MakeMoveKind9(TUnit* unit)
{
    MakeMoveGunner(unit, false);
}

void MakeMoveMashineGunner(TUnit* unit)
{
    MakeMoveGunner(unit, true);
}
