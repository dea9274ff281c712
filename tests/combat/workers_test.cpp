// Workers, flame throwers and machine gunners on the shared ground frame: the end of their
// animations, the machine gunner's long reload, the food cycle, storehouse choice, construction
// phases, repair and digging.
#include "combat/workers.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <string>

#include <gtest/gtest.h>

#include "combat/gunners.h"
#include "combat/house_events.h"
#include "combat/ground_frame.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_queries.h"
#include "combat/work_states.h"
#include "core/random_table.h"
#include "map/trenches.h"
#include "movement/passability.h"
#include "orders_world.h"
#include "players/economy.h"
#include "players/house_orders.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

using orderstest::OrdersWorld;

constexpr std::uint8_t kNone = UNIT_NO_NEXT_WORK;
constexpr std::uint8_t kGather = 10;
constexpr std::uint8_t kLabour = 11;

// The tests change the animation table of a shared unit type; the guard puts it back.
struct TypeGuard {
    explicit TypeGuard(TBasicUnit* type) : type(type)
    {
        std::memcpy(size, type->AnimationSize, sizeof size);
        std::memcpy(speed, type->AnimationSpeed, sizeof speed);
        std::memcpy(reload, type->ReloadTime, sizeof reload);
        std::memcpy(range, type->Range, sizeof range);
    }
    ~TypeGuard()
    {
        std::memcpy(type->AnimationSize, size, sizeof size);
        std::memcpy(type->AnimationSpeed, speed, sizeof speed);
        std::memcpy(type->ReloadTime, reload, sizeof reload);
        std::memcpy(type->Range, range, sizeof range);
    }
    TBasicUnit* type;
    decltype(TBasicUnit::AnimationSize) size;
    decltype(TBasicUnit::AnimationSpeed) speed;
    decltype(TBasicUnit::ReloadTime) reload;
    decltype(TBasicUnit::Range) range;
};

TUnit* Standing(OrdersWorld& w, std::uint8_t player, std::uint16_t type, std::int32_t x, std::int32_t y)
{
    TUnit* u = w.AddUnit(player, type, x, y);
    u->Halted = 1;
    u->NumWork = ANIM_STAND_UPRIGHT;
    u->NumSprite = 0.0f;
    u->SetOrient(0);
    u->WantedOrient = 0;
    u->NextWork = kNone;
    return u;
}

} // namespace

// ---- flame throwers and machine gunners ---------------------------------------------------------

TEST(Gunners, EndOfAnimationByKindStateAndReload)
{
    struct Row {
        const char* label;
        bool machineGunner;
        std::uint8_t numWork;
        std::uint16_t reload;
        std::uint8_t wantNumWork;
        std::uint16_t wantReload; // after the cycle
    };
    // Reload time 30, firing animation of 8 frames: a shot leaves a reload of 22.
    const Row rows[] = {
        {"flame thrower, firing ends", false, ANIM_AIM, 0, ANIM_AIM, 22},
        {"machine gunner, firing ends", true, ANIM_AIM, 0, ANIM_AIM, 22},
        {"flame thrower, moving fire ends in nothing", false, ANIM_AIM_MOVING, 0, ANIM_AIM_MOVING, 0},
        {"machine gunner, moving fire ends as firing", true, ANIM_AIM_MOVING, 0, ANIM_AIM_MOVING, 22},
        {"flame thrower, 13 becomes 7", false, ANIM_FIRE_ALT, 0, ANIM_FIRE, 0},
        {"machine gunner, 13 becomes 7", true, ANIM_FIRE_ALT, 0, ANIM_FIRE, 0},
        {"flame thrower, 18 becomes 6", false, ANIM_AIM_ALT, 0, ANIM_AIM, 0},
        {"machine gunner, 18 becomes 6", true, ANIM_AIM_ALT, 0, ANIM_AIM, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        OrdersWorld w;
        TUnit* u = Standing(w, 0, testworld::kRifleman, 10, 20);
        TypeGuard guard(u->Basic);
        TUnit* t = Standing(w, 1, testworld::kRifleman, 10, 40);
        t->HitPoints = 1.0e9f;
        u->Basic->ReloadTime[0] = 30;
        u->Basic->Range[0] = 2000;
        for (std::uint8_t s : {ANIM_AIM, ANIM_AIM_MOVING, ANIM_FIRE_ALT, ANIM_AIM_ALT, ANIM_FIRE}) {
            u->Basic->AnimationSize[s] = 8;
            u->Basic->AnimationSpeed[s] = 1.0f;
        }
        u->AttackUnit = t;
        u->PlayerAttack = 1;
        u->NumWork = r.numWork;
        u->NumSprite = 7.5f;
        u->Reload = r.reload;
        // A draw that never gives the long pause.
        g_RandIndex = 0;
        while (g_RandTable[g_RandIndex] % 20 == 1)
            ++g_RandIndex;
        if (r.machineGunner)
            MakeMoveMashineGunner(u);
        else
            MakeMoveKind9(u);
        EXPECT_EQ(u->NumWork, r.wantNumWork);
        EXPECT_EQ(u->Reload, r.wantReload);
    }
}

TEST(Gunners, AboutOneBurstInTwentyEndsInTheLongReload)
{
    OrdersWorld w;
    TUnit* u = Standing(w, 0, testworld::kMachineGunner, 10, 20);
    TypeGuard guard(u->Basic);
    TUnit* t = Standing(w, 1, testworld::kRifleman, 10, 40);
    u->Basic->ReloadTime[0] = 0;
    u->Basic->Range[0] = 2000;
    u->Basic->AnimationSize[ANIM_AIM] = 4;
    u->Basic->AnimationSpeed[ANIM_AIM] = 1.0f;
    g_RandSeed = 7;
    InitRandomTable();
    int bursts = 0;
    int pauses = 0;
    for (int i = 0; i < 4000; ++i) {
        t->HitPoints = 1.0e9f;
        u->AttackUnit = t;
        u->PlayerAttack = 1;
        u->NumWork = ANIM_AIM;
        u->NumSprite = 3.5f;
        u->Reload = 0;
        MakeMoveMashineGunner(u);
        ++bursts;
        if (u->Reload == kLongReload)
            ++pauses;
        else
            EXPECT_EQ(u->Reload, 0);
    }
    EXPECT_GT(pauses, bursts / 20 - bursts / 60);
    EXPECT_LT(pauses, bursts / 20 + bursts / 60);
}

TEST(Gunners, AMachineGunnerGivenABuildingCancelsAndAStandingGunnerDropsItsTarget)
{
    OrdersWorld w;
    THouse* h = w.AddHouse(1, 20, 40);
    TUnit* g = Standing(w, 0, testworld::kMachineGunner, 10, 20);
    g->NumWork = ANIM_AIM;
    g->HouseAttack = h;
    g->PlayerHouseAttack = 1;
    MakeMoveMashineGunner(g);
    EXPECT_EQ(g->HouseAttack, nullptr);
    EXPECT_NE(g->NumWork, ANIM_AIM);

    TUnit* f = Standing(w, 0, testworld::kRifleman, 12, 20);
    TUnit* t = Standing(w, 1, testworld::kRifleman, 12, 40);
    f->AttackUnit = t;
    f->PlayerAttack = 1;
    MakeMoveKind9(f);
    EXPECT_EQ(f->AttackUnit, nullptr);
}

// ---- workers ------------------------------------------------------------------------------------

TEST(Workers, TwentyGatheringLoopsFillTheLoadAndATripDeliversEightyFood)
{
    OrdersWorld w;
    THouse* store = w.AddHouse(0, 20, 60, 15);
    TUnit* u = Standing(w, 0, testworld::kWorker, 20, 20);
    TypeGuard guard(u->Basic);
    u->Basic->AnimationSize[kGather] = 5;
    u->Basic->AnimationSpeed[kGather] = 1.0f;
    u->Work = 10;
    u->NumWork = kGather;
    u->WorkObject = 0;
    int loops = 0;
    for (int c = 0; c < 1000 && u->Work == 10; ++c) {
        const std::uint16_t before = u->WorkObject;
        MakeMoveKind6(u);
        if (u->Work == 10 && u->WorkObject != before)
            ++loops;
    }
    EXPECT_EQ(loops + 1, 20) << "the twentieth loop sends the worker off";
    EXPECT_EQ(u->Work, 11);
    EXPECT_EQ(u->WorkX, testworld::CellCentre(20, 20).x);
    EXPECT_EQ(u->GoalX, store->ExitX);
    EXPECT_EQ(u->GoalY, store->ExitY);

    TResourcePair& food = g_Strateg[0]->Res[RESOURCE_FOOD];
    food = {100.0, 100.0};
    g_GatherFactor[0] = 1.0f;
    u->X = u->StepX = store->ExitX;
    u->Y = u->StepY = store->ExitY;
    WorkerPathEnd(u);
    EXPECT_DOUBLE_EQ(food.recorded, 180.0);
    EXPECT_DOUBLE_EQ(food.spendable, 180.0);
    EXPECT_EQ(u->Work, 10) << "back to the crop";
}

TEST(Workers, ALoadGoesToTheNearestFinishedStorehouseOrTheWorkerStops)
{
    OrdersWorld w;
    TUnit* u = Standing(w, 0, testworld::kWorker, 20, 20);
    GoToNearestStorehouse(u);
    EXPECT_NE(u->Work, 11) << "no storehouse: it stops";
    EXPECT_EQ(u->Halted, 1);

    THouse* far = w.AddHouse(0, 20, 70, 6);
    THouse* site = w.AddHouse(0, 20, 30, 15);
    site->BuildWork = 10; // under construction
    THouse* other = w.AddHouse(0, 24, 26, 2); // not a storehouse
    THouse* near = w.AddHouse(0, 20, 50, 15);
    (void)other;
    GoToNearestStorehouse(u);
    // The goal is the exit point or the free cell the walk settles for beside it.
    auto closer = [u](const THouse* a, const THouse* b) {
        return PixelDistance(u->GoalX, u->GoalY, a->ExitX, a->ExitY) < PixelDistance(u->GoalX, u->GoalY, b->ExitX, b->ExitY);
    };
    EXPECT_EQ(u->Work, 11);
    EXPECT_TRUE(closer(near, far));
    EXPECT_TRUE(closer(near, site));
    near->Destroyed = 1;
    GoToNearestStorehouse(u);
    EXPECT_TRUE(closer(far, near));
}

TEST(Workers, ConstructionPhaseByVariantsBuildWorkAndStepsLeft)
{
    struct Row {
        std::uint8_t n;
        std::uint16_t t;
        std::uint16_t r;
        std::int32_t phase;
    };
    const Row rows[] = {
        {4, 100, 100, 0}, {4, 100, 76, 0}, {4, 100, 75, 1}, {4, 100, 51, 1}, {4, 100, 50, 2},
        {4, 100, 26, 2},  {4, 100, 25, 3}, {4, 100, 1, 3},  {2, 100, 50, 1}, {2, 100, 51, 0},
        {2, 100, 100, 0}, // N - 3 and N - 4 are negative: 0
        {1, 100, 99, 0},  {0, 100, 10, 0}, // no variants: no division
        {3, 2, 1, 0},     // step 0: only R <= 0 would reach the last phase
        {6, 60, 10, 5},   {6, 60, 35, 2},  {6, 60, 41, 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ConstructionPhase(r.n, r.t, r.r), r.phase)
            << "N " << int(r.n) << " T " << r.t << " R " << r.r;
}

TEST(Workers, RepairGivesHalfTheHitPointsPerBuildWorkButAtLeastOne)
{
    EXPECT_FLOAT_EQ(RepairStep(1000, 100), 5.0f);
    EXPECT_FLOAT_EQ(RepairStep(100, 1000), 1.0f);
    EXPECT_FLOAT_EQ(RepairStep(100, 0), 1.0f);

    OrdersWorld w;
    THouse* h = w.AddHouse(0, 20, 40);
    TUnit* u = Standing(w, 0, testworld::kWorker, 20, 36);
    TypeGuard guard(u->Basic);
    u->Basic->AnimationSize[kLabour] = 2;
    u->Basic->AnimationSpeed[kLabour] = 1.0f;
    h->HitPoints = 98.5f;
    u->NumWork = kLabour;
    u->WorkObject = h->Index;
    for (int c = 0; c < 2; ++c)
        MakeMoveKind6(u);
    EXPECT_FLOAT_EQ(h->HitPoints, 99.5f) << "build work 0: the least step";
    for (int c = 0; c < 2; ++c)
        MakeMoveKind6(u);
    EXPECT_FLOAT_EQ(h->HitPoints, 100.0f) << "never beyond the maximum";
}

TEST(Workers, EachLabourLoopRemovesOneConstructionStepAndTheLastFinishes)
{
    OrdersWorld w;
    THouse* h = w.AddHouse(0, 20, 40);
    TUnit* u = Standing(w, 0, testworld::kWorker, 20, 36);
    TypeGuard guard(u->Basic);
    u->Basic->AnimationSize[kLabour] = 1;
    u->Basic->AnimationSpeed[kLabour] = 1.0f;
    h->BuildWork = 3;
    u->NumWork = kLabour;
    u->WorkObject = h->Index;
    MakeMoveKind6(u);
    EXPECT_EQ(h->BuildWork, 2);
    MakeMoveKind6(u);
    EXPECT_EQ(h->BuildWork, 1);
    MakeMoveKind6(u);
    EXPECT_TRUE(h->IsFinished());
    EXPECT_NE(u->NumWork, kLabour) << "the finished building ends the labour";

    // The instant-build switch finishes at once.
    THouse* h2 = w.AddHouse(0, 30, 40);
    h2->BuildWork = 50;
    u->NumWork = kLabour;
    u->NumSprite = 0.0f;
    u->WorkObject = h2->Index;
    g_InstantBuild = true;
    MakeMoveKind6(u);
    g_InstantBuild = false;
    EXPECT_TRUE(h2->IsFinished());
}

TEST(Workers, AWorkerWhoseSiteWasDestroyedStopsWithoutAReference)
{
    OrdersWorld w;
    THouse* h = w.AddHouse(0, 20, 40);
    TUnit* u = Standing(w, 0, testworld::kWorker, 20, 36);
    TypeGuard guard(u->Basic);
    u->Basic->AnimationSize[kLabour] = 1;
    u->Basic->AnimationSpeed[kLabour] = 1.0f;
    h->BuildWork = 30;
    h->Destroyed = 1;
    u->NumWork = kLabour;
    u->WorkObject = h->Index;
    MakeMoveKind6(u);
    EXPECT_NE(u->NumWork, kLabour);
    EXPECT_EQ(h->BuildWork, 30);
    EXPECT_NE(u->WorkObject, h->Index);
}

// A pontoon line across a strait, laid along the trench tool's line walk; the worker is sent to
// each piece in turn from the near shore, as an order to the piece sends it, labours a loop per
// unit of the piece's work, and the finished piece opens its cell to walkers, so the next piece can
// be reached.
TEST(Workers, AWorkerDigsAPontoonLinePieceByPiece)
{
    OrdersWorld w;
    for (std::int32_t y = 20; y < 60; ++y)
        for (std::int32_t x = 18; x <= 21; ++x)
            w.SetWater(x, y);
    std::vector<std::uint16_t> order;
    for (const TTrenchLineTile& t : TrenchLineWalk({18, 40}, {21, 40}))
        order.push_back(w.AddTrench(t.tile.x, t.tile.y, false, PontoonKindForDirection(t.direction)));
    w.BuildPassMaps();
    ASSERT_GE(order.size(), 3u);

    TUnit* u = Standing(w, 0, testworld::kWorker, 14, 40);
    TypeGuard guard(u->Basic);
    u->Basic->AnimationSize[kLabour] = 2;
    u->Basic->AnimationSpeed[kLabour] = 1.0f;
    const TUnitKindHandlers run = UnitKindHandlers(UNIT_KIND_WORKER);
    for (const std::uint16_t i : order) {
        TTrenchEntry* e = g_TrenchList.Entry(i);
        SCOPED_TRACE(testing::Message() << "piece " << i << " at " << e->x << "," << e->y);
        const std::size_t cell = CellIndex(e->x, e->y);
        EXPECT_FALSE(IsLandCellFree(static_cast<std::uint32_t>(cell))) << "a piece not yet dug is no way";
        GoToObject(u, u, static_cast<std::uint16_t>(kObjectTrenchListFirst + i), 0);
        ASSERT_EQ(u->Work, WORK_GO_TO_OBJECT);
        const float work = e->countdown;
        int loops = 0;
        for (int c = 0; c < 3000 && e->countdown >= 0.0f; ++c) {
            const float before = e->countdown;
            run.move(u);
            // The test world's worker has no turning pictures to end a turn: its walk is stepped
            // directly while it is on its way.
            if (u->Halted == 0)
                run.second(u);
            if (e->countdown != before)
                ++loops;
        }
        ASSERT_LT(e->countdown, 0.0f) << "never finished; worker at " << u->MapX << "," << u->MapY << " Work " << int(u->Work)
                                      << " NumWork " << int(u->NumWork) << " object " << u->WorkObject;
        EXPECT_EQ(loops, static_cast<int>(work) + 1) << "one unit of work per labour loop";
        EXPECT_TRUE(IsLandCellFree(static_cast<std::uint32_t>(cell)));
        EXPECT_NE(u->NumWork, kLabour) << "the finished piece ends the labour";
        EXPECT_NE(u->WorkObject, kObjectTrenchListFirst + i);
    }
}

// The build order calls the selected workers to the new site; other selected units and a worker
// still leaving a building stay as they were.
TEST(Workers, ABuildingPlacedByOrderCallsTheSelectedWorkers)
{
    OrdersWorld w;
    THouse* site = w.AddHouse(0, 20, 50, 15);
    site->BuildWork = 40;
    TUnit* a = Standing(w, 0, testworld::kWorker, 20, 30);
    TUnit* b = Standing(w, 0, testworld::kWorker, 22, 30);
    TUnit* leaving = Standing(w, 0, testworld::kWorker, 24, 30);
    leaving->Work = UNIT_WORK_LEAVE_HOUSE;
    TUnit* rifleman = Standing(w, 0, testworld::kRifleman, 18, 30);
    TUnit* unselected = Standing(w, 0, testworld::kWorker, 16, 30);
    for (TUnit* u : {a, b, leaving, rifleman})
        AddUnitToSelection(0, u);
    SendSelectedWorkersToHouse(0, site);
    for (TUnit* u : {a, b}) {
        EXPECT_EQ(u->Work, WORK_GO_TO_OBJECT);
        EXPECT_EQ(u->WorkObject, PlayerHouseCode(0, site->Index));
    }
    EXPECT_EQ(leaving->Work, UNIT_WORK_LEAVE_HOUSE);
    EXPECT_EQ(rifleman->Work, UNIT_NO_WORK);
    EXPECT_EQ(unselected->Work, UNIT_NO_WORK);
    ClearSelection(0);
}
