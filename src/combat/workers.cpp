// Workers: gathering food from crop cells and carrying it to storehouses, raising and repairing
// their player's buildings, digging map works of the trench list, and fighting hand to hand.
// They share the ground frame (wait step, animation clock, stops) with the other ground kinds.
#include "combat/workers.h"

#include "combat/firing.h"
#include "combat/ground_frame.h"
#include "combat/house_events.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/unit_queries.h"
#include "combat/work_states.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/trenches.h"
#include "movement/directions.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "players/economy.h"
#include "players/strateg.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

// Set by the cheat and test switch that finishes every construction at the first labour loop.
// Main thread only; it changes the simulation, so every machine of a game sets it alike.
bool g_InstantBuild = false;

namespace {

constexpr std::uint8_t kAnimIdle = 4;
constexpr std::uint8_t kAnimGather = 10;
constexpr std::uint8_t kAnimLabour = 11;
constexpr std::uint8_t kWorkGather = WORK_OWN_WAY;
constexpr std::uint8_t kWorkDeliver = WORK_WORKER_BUSY;
constexpr std::uint16_t kNoObject = 65535;
constexpr std::uint16_t kNoBuilding = 1000;
constexpr std::uint16_t kStorehouseA = 15;
constexpr std::uint16_t kStorehouseB = 6;
constexpr float kNoStorehouseBound = 9999999.0f;
constexpr float kCloseReach = 50.0f;
constexpr float kEndMoveDistance = 300.0f;
constexpr std::uint16_t kStopWait = 150;
constexpr std::uint16_t kLookForWorkChance = 70;
constexpr std::uint16_t kFidgetChance = 60;
constexpr std::uint16_t kRepairRadius = 3;

bool IsFacingWanted(const TUnit* u)
{
    return static_cast<std::uint8_t>(u->Orient) == u->WantedOrient;
}

THouse* OwnHouse(const TUnit* u, std::uint32_t index)
{
    if (u->Player >= 8 || g_pHouse[u->Player] == nullptr || index >= NumHouse[u->Player])
        return nullptr;
    return HouseAt(g_pHouse[u->Player], index);
}

// The building a worker's object value names: a plain index below 1000 or the owner's map code.
THouse* WorkBuilding(const TUnit* u, std::uint16_t object)
{
    if (object < kNoBuilding)
        return OwnHouse(u, object);
    if (u->Player < 8 && object >= kObjectPlayerHouseFirst && object <= kObjectPlayerHouseLast &&
        HouseCodePlayer(object) == u->Player)
        return OwnHouse(u, static_cast<std::uint32_t>(object - PlayerHouseCode(u->Player, 0)));
    return nullptr;
}

// The labour on a building or map work is over: the worker looks for more.
void WorkOver(TUnit* u, THouse* house)
{
    u->WorkObject = kNoObject;
    EventWorkerArrived(u, house);
}

// A worker arrived at the site of its building or map work: labour starts when there is work left.
void BeginWork(TUnit* u, std::uint16_t object)
{
    if (object >= kObjectTrenchListFirst && object <= kObjectTrenchListLast) {
        const TTrenchEntry* e = g_TrenchList.EntryForCode(object);
        if (e == nullptr || e->active == 0 || e->countdown < 0.0f) {
            WorkOver(u, nullptr);
            return;
        }
        HaltUnit(u);
        float wx = 0.0f;
        float wy = 0.0f;
        if (CellPointInMap({e->x, e->y}))
            CellCentrePixel({e->x, e->y}, wx, wy);
        SetOrientToPoint(u, wx, wy);
        u->NumWork = kAnimLabour;
        u->NumSprite = 0.0f;
        u->Halted = 1;
        u->WorkObject = object;
        return;
    }
    THouse* h = WorkBuilding(u, object);
    if (h == nullptr || h->Destroyed != 0 || (h->IsFinished() && h->HitPoints >= h->MaxHitPoints)) {
        WorkOver(u, h != nullptr && h->Destroyed == 0 ? h : nullptr);
        return;
    }
    HaltUnit(u);
    SetOrientToPoint(u, h->DoorX, h->DoorY);
    u->NumWork = kAnimLabour;
    u->NumSprite = 0.0f;
    u->Halted = 1;
    u->WorkObject = h->Index;
}

void LabourOnMapWork(TUnit* u)
{
    TTrenchEntry* e = g_TrenchList.EntryForCode(u->WorkObject);
    if (e == nullptr || e->active == 0) {
        WorkOver(u, nullptr);
        return;
    }
    e->countdown -= 1.0f;
    if (e->countdown < 0.0f) {
        MakePartOfBasicMap({e->x, e->y}, kRepairRadius);
        WorkOver(u, nullptr);
    }
}

void LabourOnBuilding(TUnit* u)
{
    THouse* h = OwnHouse(u, u->WorkObject);
    // A site that was destroyed or taken away leaves no reference behind.
    if (h == nullptr || h->Destroyed != 0 || h->TypeRecord == nullptr) {
        WorkOver(u, nullptr);
        return;
    }
    const THouseType& type = *h->TypeRecord;
    if (h->IsFinished()) {
        if (h->HitPoints < h->MaxHitPoints) {
            h->HitPoints = std::min<float>(h->HitPoints + RepairStep(h->MaxHitPoints, type.m_BuildWork), h->MaxHitPoints);
            return;
        }
        WorkOver(u, h);
        return;
    }
    const std::uint8_t n = type.m_ConstructionPhaseCount;
    const std::uint16_t before = h->BuildWork;
    h->BuildWork = g_InstantBuild ? 0 : static_cast<std::uint16_t>(before - 1);
    if (h->BuildWork == 0) {
        EventConstructionFinished(u, h);
        return;
    }
    const std::int32_t oldPhase = ConstructionPhase(n, type.m_BuildWork, before);
    const std::int32_t newPhase = ConstructionPhase(n, type.m_BuildWork, h->BuildWork);
    if (newPhase != oldPhase)
        h->AcquirePhaseGraphic(HOUSE_STATE_CONSTRUCTION, static_cast<std::uint8_t>(oldPhase + 1));
}

void Labour(TUnit* u)
{
    if (u->WorkObject >= kObjectTrenchListFirst && u->WorkObject <= kObjectTrenchListLast) {
        LabourOnMapWork(u);
        return;
    }
    if (u->WorkObject == kNoObject) {
        StopUnit(u, 1);
        EventUnitEndMove(u);
        return;
    }
    LabourOnBuilding(u);
}

void GatherLoop(TUnit* u)
{
    u->WorkObject = static_cast<std::uint16_t>(u->WorkObject + kGatherStep);
    if (u->WorkObject < kFullLoad)
        return;
    const float x = u->X;
    const float y = u->Y;
    HaltUnit(u);
    GoToNearestStorehouse(u);
    u->WorkX = x;
    u->WorkY = y;
}

void EndOfWorkerAnimation(TUnit* u)
{
    switch (u->NumWork) {
    case ANIM_STAND_UPRIGHT:
        if (RandomDraw() < kLookForWorkChance) {
            FindWorkForIdleUnit(u);
            return;
        }
        if (RandomDraw() < kFidgetChance && HasAnimation(u, kAnimIdle)) {
            u->NumWork = kAnimIdle;
            u->NumSprite = (RandomDraw() & 1) != 0 ? static_cast<float>(AnimationFrames(u, kAnimIdle)) * 0.5f : 0.0f;
        }
        return;
    case ANIM_FIRE_TO_TURN:
        if (IsFacingWanted(u)) {
            TakeNextWork(u, u->Halted != 0 ? ANIM_STAND_UPRIGHT : UNIT_WALK);
        } else {
            u->NumWork = ANIM_TURN;
            if (u->NextWork == ANIM_FIRE)
                u->NextWork = ANIM_FIRE_ALT;
        }
        return;
    case kAnimGather:
        GatherLoop(u);
        return;
    case kAnimLabour:
        Labour(u);
        return;
    case ANIM_FIRE_ALT:
        u->NumWork = ANIM_FIRE;
        return;
    default:
        EndOfAnimationShared(u);
        return;
    }
}

// Whether the worker may gather in the cell it stands in.
bool CanGatherHere(const TUnit* u)
{
    if (!CellPointInMap({u->MapX, u->MapY}))
        return false;
    const std::size_t poz = CellIndex(u->MapX, u->MapY);
    const std::uint16_t code = g_pObjectMap[poz];
    if (code < kObjectAnimatedFirst || code > kObjectAnimatedLast)
        return false;
    if (!IsLandCellFree(static_cast<std::uint32_t>(poz)))
        return false;
    TUnit** list = g_pUnitsMap != nullptr ? g_pUnitsMap[poz] : nullptr;
    const float crush = static_cast<float>(u->Basic->CrushSize);
    for (int k = 0; list != nullptr && k < kCellUnitCapacity && list[k] != nullptr; ++k) {
        const TUnit* o = list[k];
        if (o == u || o->Dead != 0 || o->Halted == 0)
            continue;
        if (std::fabs(o->X - u->X) < crush && std::fabs(o->Y - u->Y) < crush)
            return false;
    }
    return true;
}

void Deliver(TUnit* u)
{
    if (u->Player < 8 && g_Strateg[u->Player] != nullptr) {
        const double v = static_cast<double>(g_GatherFactor[u->Player]) * kDeliveryFood;
        TResourcePair& food = g_Strateg[u->Player]->Res[RESOURCE_FOOD];
        food.recorded += v;
        food.spendable = std::max(0.0, food.spendable + v);
        AddExtractedResource(u->Player, RESOURCE_FOOD, v);
    }
    u->WorkObject = 0;
    GoToPoint(u, u->WorkX, u->WorkY, 1);
    u->Work = kWorkGather;
}

} // namespace

// ---- the figures of the labour ------------------------------------------------------------------

std::int32_t ConstructionPhase(std::uint8_t variants, std::uint16_t buildWork, std::uint16_t stepsLeft)
{
    // A type without variants has no phases to show; its step would divide by zero.
    if (variants == 0)
        return 0;
    const std::int32_t n = variants;
    const std::int32_t step = buildWork / n;
    const std::int32_t r = stepsLeft;
    std::int32_t phase = 0;
    if (r <= step)
        phase = n - 1;
    else if (r <= 2 * step)
        phase = n - 2;
    else if (r <= 3 * step)
        phase = n - 3;
    else if (r <= 4 * step)
        phase = n - 4;
    return phase < 0 || phase >= n ? 0 : phase;
}

float RepairStep(std::uint16_t maxHitPoints, std::uint16_t buildWork)
{
    // A type without build work repairs by the least step rather than dividing by zero.
    if (buildWork == 0)
        return 1.0f;
    return std::max(1.0f, static_cast<float>(maxHitPoints) / static_cast<float>(buildWork) * 0.5f);
}

// ---- the handlers -------------------------------------------------------------------------------

void MakeMoveKind6(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr)
        return;
    if (UnitWaitStep(u))
        return;
    // A turn or a fidget that ends while the worker is on its way leaves it standing but not
    // halted, where no second handler would ever move it again: it walks on.
    if (u->Halted == 0 && (u->NumWork == ANIM_STAND_UPRIGHT || u->NumWork == ANIM_STAND)) {
        SetMoveWork(u);
        return;
    }
    if (u->Halted != 0 && u->NumWork == ANIM_STAND_UPRIGHT && u->Work == kWorkGather && u->KeepWork == 0) {
        u->Work = UNIT_NO_WORK;
        FindNewWay(u);
        return;
    }
    if (u->NumWork == ANIM_STAND_UPRIGHT) {
        u->StopAtEnd = 0;
        if (u->AttackUnit != nullptr || u->HouseAttack != nullptr) {
            CancelOrderAndStop(u);
            return;
        }
        if (u->Work == kWorkDeliver && u->KeepWork == 0)
            u->Work = UNIT_NO_WORK;
        if (u->m_MyFutureTransporter != nullptr &&
            (u->Work != WORK_GO_TO_TRANSPORT || u->m_MyFutureTransporter->Dead != 0)) {
            if (u->Work != WORK_GO_TO_TRANSPORT)
                u->Work = UNIT_NO_WORK;
            u->m_MyFutureTransporter = nullptr;
        }
    }
    if (u->NumWork == ANIM_FIRE && !IsLiveHouse(u->HouseAttack) && !IsLiveUnit(u->AttackUnit)) {
        CancelOrderAndStop(u);
        return;
    }
    const float start = u->NumSprite;
    CutFidgetAtMiddle(u, start);

    const std::uint8_t work = u->NumWork;
    const float speed = AnimationStep(u, work);
    u->NumSprite += speed;
    if (work == ANIM_FIRE && FrameCrossed(start, speed, static_cast<float>(AnimationFrames(u, ANIM_FIRE)) * 0.5f)) {
        if (IsLiveUnit(u->AttackUnit)) {
            SetOrientToPoint(u, u->AttackUnit->X, u->AttackUnit->Y);
            UnitHitNear(u, u->AttackUnit);
        } else if (IsLiveHouse(u->HouseAttack)) {
            UnitHitHouse(u, u->HouseAttack);
        } else {
            CancelOrderAndStop(u);
            return;
        }
    }
    if (u->NumWork == work && u->NumSprite >= static_cast<float>(AnimationFrames(u, work))) {
        u->NumSprite = 0.0f;
        EndOfWorkerAnimation(u);
    }
    if (IsCellRefreshCycle(u))
        UpdateUnitCellAlt(u);
}

void SecondHandlerKind6(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr)
        return;
    // Workers walk at full speed in every walking state.
    WalkTowardStepPoint(u, u->SlowCount != 0 ? 0.5f : 1.0f, WorkerNextPathStep, WorkerPathEnd);
}

void GoToNearestStorehouse(TUnit* u)
{
    if (u == nullptr)
        return;
    const THouse* best = nullptr;
    float bestDistance = kNoStorehouseBound;
    if (u->Player < 8 && g_pHouse[u->Player] != nullptr) {
        for (std::uint16_t i = 0; i < NumHouse[u->Player]; ++i) {
            const THouse* h = HouseAt(g_pHouse[u->Player], i);
            if (h == nullptr || h->Destroyed != 0 || !h->IsFinished() ||
                (h->HouseType != kStorehouseA && h->HouseType != kStorehouseB))
                continue;
            const float d = PixelDistance(u->X, u->Y, h->ExitX, h->ExitY);
            if (d < bestDistance) {
                bestDistance = d;
                best = h;
            }
        }
    }
    if (best == nullptr) {
        StopUnit(u, 1);
        return;
    }
    GoToPoint(u, best->ExitX, best->ExitY, 1);
    u->Work = kWorkDeliver;
}

void WorkerNextPathStep(TUnit* u)
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
    } else if (u->HouseAttack != nullptr && u->HouseAttack->Destroyed != 0) {
        CancelOrderAndStop(u);
        return;
    }
    // Workers walk their whole path: the last cell is the crop or the site itself.
    if (u->PathIndex >= 0 && u->PathIndex < static_cast<std::int32_t>(u->PathLength)) {
        StepOntoNextPathCell(u);
        return;
    }
    if (PixelDistance(u->X, u->Y, u->GoalX, u->GoalY) > kEndMoveDistance) {
        EventUnitEndMove(u);
        return;
    }
    FinishPathAtGoal(u, WorkerPathEnd);
}

void WorkerPathEnd(TUnit* u)
{
    u->EnteringHouse = 0;
    if (u->HouseAttack != nullptr) {
        THouse* h = u->HouseAttack;
        if (h->Destroyed != 0 || !CheckUnitCell(u, PlayerHouseCode(u->PlayerHouseAttack, h->Index), 1)) {
            CancelOrderAndStop(u);
            return;
        }
        HaltInPlace(u);
        EnterFireWork(u);
        SetOrientToPoint(u, h->DoorX, h->DoorY);
        return;
    }
    if (TUnit* t = u->AttackUnit; IsLiveUnit(t) && PixelDistance(u->X, u->Y, t->X, t->Y) <= kCloseReach &&
                                  HasAnimation(u, ANIM_FIRE) && u->Work != STAY_IN_HOUSE &&
                                  u->Work != WORK_UNIT_TRANSPORTED) {
        HaltInPlace(u);
        EnterFireWork(u);
        u->Halted = 1;
        return;
    }
    if (u->StopAtEnd != 0) {
        HaltUnit(u);
        u->WaitCount = kStopWait;
        return;
    }
    switch (u->Work) {
    case WORK_GO_TO_OBJECT:
        BeginWork(u, u->WorkObject);
        return;
    case WORK_ENTER_HOUSE:
        PathEndDefault(u);
        return;
    case kWorkGather:
        if (CanGatherHere(u)) {
            HaltInPlace(u);
            u->NumWork = kAnimGather;
            u->NumSprite = 0.0f;
            u->WorkObject = 0;
            u->Halted = 1;
        } else {
            FindNewWay(u);
        }
        return;
    case kWorkDeliver:
        Deliver(u);
        return;
    default:
        EventUnitEndMove(u);
        return;
    }
}
