#include "combat/unit_walk.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "combat/cycle_updates.h"
#include "combat/unit_orders.h"
#include "combat/unit_queries.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "devices/cursor_state.h"
#include "devices/sound.h"
#include "map/map_grid.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "movement/passability.h"
#include "players/game_cycle.h"
#include "players/sim_checksum.h"
#include "players/strateg.h"
#include "support/test_world.h"
#include "units/behaviour_fixture.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

using testworld::TestWorld;

// The kind handler the walk drives in these tests: it records the call and steps the unit 6 pixels
// toward its goal, the way a path step would.
std::vector<TUnit*> g_Moved;
void StepTowardGoal(TUnit* u)
{
    g_Moved.push_back(u);
    const float dx = u->GoalX - u->X;
    const float dy = u->GoalY - u->Y;
    const float d = std::sqrt(dx * dx + dy * dy);
    if (d <= 6.0f) {
        u->X = u->GoalX;
        u->Y = u->GoalY;
    } else {
        u->X += dx / d * 6.0f;
        u->Y += dy / d * 6.0f;
    }
}

// The screen rectangle the ground behaviour keeps, for units placed by hand.
void SetRect(TUnit* u)
{
    u->m_RectLeft = static_cast<std::int32_t>(u->X - 20);
    u->m_RectRight = static_cast<std::int32_t>(u->X + 20);
    u->m_RectTop = static_cast<std::int32_t>(u->Y - 40 - u->Height);
    u->m_RectBottom = static_cast<std::int32_t>(u->Y + 10);
}

class WalkWorld : public TestWorld {
public:
    WalkWorld() : TestWorld(40, 80)
    {
        m_SavedWalk = UnitWalkServices();
        m_SavedFrame = g_FrameCounter;
        m_SavedView = {g_ViewPixelX, g_ViewPixelY, g_ViewPixelRight, g_ViewPixelBottom};
        TUnitWalkServices& s = UnitWalkServices();
        s.countAllUnits = [this] { return unitCount; };
        s.searchTarget = [this](TUnit* u) { searched.push_back(u); };
        s.addUnitToTargetGrid = [this](TUnit* u) { filed.push_back(u); };
        s.addHouseToTargetGrid = [](THouse*) {};
        s.chargeHouseUpkeep = [](THouse*) { return true; };
        s.population = [](std::uint8_t) { return 0; };
        s.populationCap = [](std::uint8_t) { return 100; };
        for (std::uint8_t p = 0; p < 2; ++p)
            Player(p)->MakeGrid(g_MapWidth, g_MapHeight);
        SetView(0, 0, -1, -1);
        g_Moved.clear();
    }
    ~WalkWorld()
    {
        UnitWalkServices() = m_SavedWalk;
        g_FrameCounter = m_SavedFrame;
        SetView(m_SavedView.left, m_SavedView.top, m_SavedView.right, m_SavedView.bottom);
        g_UnitsDrawSorted.clear();
        g_UnitsDrawTinted.clear();
        g_UnitsDrawLate.clear();
        g_Moved.clear();
    }

    static void SetView(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
    {
        {
            std::lock_guard lock(g_InputLock);
            g_ViewPixelX = left;
            g_ViewPixelY = top;
            g_ViewPixelRight = right;
            g_ViewPixelBottom = bottom;
        }
        TakeViewSnapshot();
    }
    // A unit whose kind handler is the recording step.
    TUnit* Walker(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type = testworld::kRifleman)
    {
        TUnit* u = AddUnit(player, type, x, y);
        u->Basic->m_MoveHandler = StepTowardGoal;
        u->GoalX = u->X;
        u->GoalY = u->Y;
        return u;
    }
    std::uint8_t& AlertByte(std::uint8_t player, const TUnit* u)
    {
        TStrateg* p = Player(player);
        return p->Grid[static_cast<std::size_t>(static_cast<std::int32_t>(u->Y) / 300 * p->GridWidth +
                                                static_cast<std::int32_t>(u->X) / 300)];
    }
    // The player's units in list order.
    std::vector<TUnit*> ListOf(std::uint8_t player)
    {
        std::vector<TUnit*> out;
        for (TUnit* u = Player(player)->FirstUnit; u != nullptr; u = u->m_pNext)
            out.push_back(u);
        return out;
    }

    std::uint32_t unitCount = 10;
    std::vector<TUnit*> searched;
    std::vector<TUnit*> filed;

private:
    TUnitWalkServices m_SavedWalk;
    std::uint32_t m_SavedFrame = 0;
    TViewSnapshot m_SavedView;
};

bool Contains(const std::vector<TUnit*>& v, const TUnit* u)
{
    return std::find(v.begin(), v.end(), u) != v.end();
}

} // namespace

// ---- the alert-grid throttle ------------------------------------------------------------------

TEST(UnitWalkThrottle, TightensWithTheUnitCount)
{
    struct Row {
        std::uint32_t units;
        std::uint8_t searches;
        std::uint8_t skips;
    };
    const Row rows[] = {{0, 30, 30},     {1000, 30, 30},  {1001, 27, 37},  {2000, 25, 44},  {3999, 22, 51},
                        {4000, 20, 58},  {5000, 17, 65},  {6000, 15, 72},  {7000, 12, 79},  {8000, 10, 86},
                        {9000, 7, 93},   {10000, 5, 100}, {10001, 5, 100}, {65000, 5, 100}};
    for (const Row& r : rows) {
        const TAlertThrottle t = AlertThrottle(r.units);
        EXPECT_EQ(t.searches, r.searches) << r.units;
        EXPECT_EQ(t.skips, r.skips) << r.units;
    }
}

TEST(UnitWalkThrottle, AQuietCellLetsOneIdleUnitSearchThenSkipsTheNextOnes)
{
    struct Row {
        std::uint32_t units;
        std::size_t skips;
    };
    for (const Row r : {Row{1000, 30}, Row{1001, 37}, Row{10001, 100}}) {
        WalkWorld w;
        w.unitCount = r.units;
        const std::size_t n = 2 * (r.skips + 1) + 1;
        for (std::size_t i = 0; i < n; ++i)
            w.Walker(0, 10, 20)->FramePhase = 0;
        g_FrameCounter = 50;
        WalkPlayerUnits(w.Player(0));
        const std::vector<TUnit*> list = w.ListOf(0);
        ASSERT_EQ(w.searched.size(), 3u) << r.units;
        EXPECT_EQ(w.searched[0], list[0]);
        EXPECT_EQ(w.searched[1], list[r.skips + 1]);
        EXPECT_EQ(w.searched[2], list[2 * (r.skips + 1)]);
    }
}

TEST(UnitWalkThrottle, AUnitWithATargetOpensItsCellAndAlwaysSearchingTypesIgnoreTheGrid)
{
    WalkWorld w;
    TUnit* idle = w.Walker(0, 10, 20);
    TUnit* always = w.Walker(0, 10, 20);
    TUnit* fighter = w.Walker(0, 10, 20);
    for (TUnit* u : {idle, always, fighter})
        u->FramePhase = 0;
    always->Type = 13;
    TUnit* enemy = w.AddUnit(1, testworld::kRifleman, 12, 20);
    fighter->PlayerAttack = 1;
    fighter->AttackUnit = enemy;
    w.AlertByte(0, fighter) = 150; // cooling down
    g_FrameCounter = 50;
    WalkPlayerUnits(w.Player(0));
    // List order: fighter, always, idle. The fighter opens the cell to 30 searches without searching;
    // the idle unit then takes one of them.
    EXPECT_FALSE(Contains(w.searched, fighter));
    EXPECT_TRUE(Contains(w.searched, always));
    EXPECT_TRUE(Contains(w.searched, idle));
    EXPECT_EQ(w.AlertByte(0, idle), 29);
    // Off its stagger cycle nobody searches.
    w.searched.clear();
    g_FrameCounter = 51;
    WalkPlayerUnits(w.Player(0));
    EXPECT_TRUE(w.searched.empty());
}

// ---- what each unit runs ----------------------------------------------------------------------

TEST(UnitWalk, EachStateRunsOnlyItsSteps)
{
    struct Row {
        const char* name;
        std::uint8_t work;
        std::uint8_t numWork;
        bool moves;
        bool pays;
        bool searches;
        bool filed;
    };
    const Row rows[] = {
        {"idle", UNIT_NO_WORK, ANIM_STAND, true, true, true, true},
        {"transported", WORK_UNIT_TRANSPORTED, ANIM_STAND, false, true, true, true},
        {"turning", UNIT_NO_WORK, ANIM_TURN, false, false, false, false},
    };
    for (const Row& r : rows) {
        WalkWorld w;
        TUnit* u = w.Walker(0, 10, 20);
        u->Work = r.work;
        u->NumWork = r.numWork;
        u->WantedOrient = static_cast<std::uint8_t>((u->Orient + 1) % 8);
        u->FramePhase = 0;
        u->Basic->m_Upkeep[0] = 0.5f; // food
        TStrateg* p = w.Player(0);
        p->Res[RESOURCE_FOOD] = {10.0, 10.0};
        g_FrameCounter = 1650; // the stagger, target-grid and ship cycles together
        WalkPlayerUnits(p);
        EXPECT_EQ(Contains(g_Moved, u), r.moves) << r.name;
        EXPECT_EQ(p->Res[RESOURCE_FOOD].recorded < 10.0, r.pays) << r.name;
        EXPECT_EQ(Contains(w.searched, u), r.searches) << r.name;
        EXPECT_EQ(Contains(w.filed, u), r.filed) << r.name;
    }
}

TEST(UnitWalk, UpkeepTakesFromBothValuesAndKeepsTheSpendableValueAtZero)
{
    WalkWorld w;
    TUnit* u = w.Walker(0, 10, 20);
    TBasicUnit& t = *u->Basic;
    // food, wood, iron, gold, oil
    const float upkeep[5] = {1.5f, 0.25f, 0.0f, 2.0f, 0.125f};
    std::copy(std::begin(upkeep), std::end(upkeep), t.m_Upkeep);
    TStrateg* p = w.Player(0);
    p->Res[RESOURCE_FOOD] = {1.0, 1.0};
    p->Res[RESOURCE_WOOD] = {5.0, 5.0};
    p->Res[RESOURCE_IRON] = {3.0, 3.0};
    p->Res[RESOURCE_GOLD] = {10.0, 4.0};
    p->Res[RESOURCE_OIL] = {0.0, 0.0};
    g_FrameCounter = 1;
    WalkPlayerUnits(p);
    EXPECT_DOUBLE_EQ(p->Res[RESOURCE_FOOD].recorded, -0.5);
    EXPECT_DOUBLE_EQ(p->Res[RESOURCE_FOOD].spendable, 0.0);
    EXPECT_DOUBLE_EQ(p->Res[RESOURCE_WOOD].spendable, 4.75);
    EXPECT_DOUBLE_EQ(p->Res[RESOURCE_IRON].spendable, 3.0);
    EXPECT_DOUBLE_EQ(p->Res[RESOURCE_GOLD].recorded, 8.0);
    EXPECT_DOUBLE_EQ(p->Res[RESOURCE_GOLD].spendable, 2.0);
    EXPECT_DOUBLE_EQ(p->Res[RESOURCE_OIL].recorded, -0.125);
    EXPECT_DOUBLE_EQ(p->Res[RESOURCE_OIL].spendable, 0.0);
}

TEST(UnitWalk, TheTargetGridTakesUnitsInsideTheMapOnItsCyclesOnly)
{
    WalkWorld w;
    TUnit* inside = w.Walker(0, 10, 20);
    TUnit* onLeftEdge = w.Walker(0, 10, 22);
    onLeftEdge->X = 0.0f;
    TUnit* onRightEdge = w.Walker(0, 10, 24);
    onRightEdge->X = static_cast<float>(g_MapPixelWidth);
    TUnit* onBottomEdge = w.Walker(0, 10, 26);
    onBottomEdge->Y = static_cast<float>(g_MapPixelHeight);
    for (TUnit* u : {inside, onLeftEdge, onRightEdge, onBottomEdge})
        u->GoalX = u->X, u->GoalY = u->Y;
    g_FrameCounter = 34;
    WalkPlayerUnits(w.Player(0));
    EXPECT_TRUE(w.filed.empty());
    g_FrameCounter = 66;
    WalkPlayerUnits(w.Player(0));
    EXPECT_TRUE(Contains(w.filed, inside));
    EXPECT_FALSE(Contains(w.filed, onLeftEdge));
    EXPECT_TRUE(Contains(w.filed, onRightEdge));
    EXPECT_TRUE(Contains(w.filed, onBottomEdge));
}

TEST(UnitWalk, LostTargetsAreDroppedOnThePlayersCheckCycle)
{
    WalkWorld w;
    TUnit* pointerOnly = w.Walker(1, 10, 20);
    TUnit* byteOnly = w.Walker(1, 12, 20);
    TUnit* target = w.AddUnit(0, testworld::kRifleman, 14, 20);
    pointerOnly->AttackUnit = target;
    pointerOnly->PlayerAttack = UNIT_NO_PLAYER;
    byteOnly->PlayerHouseAttack = 0;
    byteOnly->HouseAttack = nullptr;
    g_FrameCounter = 21; // player 1 checks at 20 within 200
    WalkPlayerUnits(w.Player(1));
    EXPECT_EQ(pointerOnly->AttackUnit, target);
    EXPECT_EQ(byteOnly->PlayerHouseAttack, 0);
    g_FrameCounter = 220;
    WalkPlayerUnits(w.Player(1));
    EXPECT_EQ(pointerOnly->AttackUnit, nullptr);
    EXPECT_EQ(byteOnly->PlayerHouseAttack, UNIT_NO_PLAYER);
}

TEST(UnitWalk, CountdownsRunAndTheSearchDelayFreesTheSearch)
{
    WalkWorld w;
    TUnit* u = w.Walker(0, 10, 20);
    u->m_FirstCountdown = 2;
    u->SlowCount = 1;
    u->m_SearchDelay = 2;
    u->m_bMaySearch = 0;
    g_FrameCounter = 1;
    WalkPlayerUnits(w.Player(0));
    EXPECT_EQ(u->m_FirstCountdown, 1);
    EXPECT_EQ(u->SlowCount, 0);
    EXPECT_EQ(u->m_bMaySearch, 0);
    WalkPlayerUnits(w.Player(0));
    WalkPlayerUnits(w.Player(0));
    EXPECT_EQ(u->m_FirstCountdown, 0);
    EXPECT_EQ(u->SlowCount, 0);
    EXPECT_EQ(u->m_SearchDelay, 0);
    EXPECT_EQ(u->m_bMaySearch, 1);
}

// ---- dead units -------------------------------------------------------------------------------

TEST(UnitWalk, ADeadUnitThatLeavesDoesNotSkipItsSuccessor)
{
    WalkWorld w;
    TUnit* living = w.Walker(0, 10, 20);
    TUnit* corpse = w.AddUnit(0, testworld::kRifleman, 12, 20);
    TUnit* second = w.AddUnit(0, testworld::kRifleman, 14, 20);
    TUnit* first = w.AddUnit(0, testworld::kRifleman, 16, 20);
    corpse->Dead = 1;
    corpse->WorkObject = 65535;
    for (TUnit* u : {first, second}) {
        u->Dead = 1;
        u->NumWork = 15;
        u->NumSprite = 300.0f; // past the end of its death animation
        u->WorkObject = 20020; // the corpse's last cycle
    }
    const std::uint16_t before = NumUnits[0];
    g_FrameCounter = 1;
    WalkPlayerUnits(w.Player(0));
    EXPECT_EQ(NumUnits[0], before - 2);
    EXPECT_EQ(w.ListOf(0), (std::vector<TUnit*>{corpse, living}));
    EXPECT_TRUE(Contains(g_Moved, living));
    // A fresh corpse lies on: its counter falls by 30 a cycle once its animation has ended.
    EXPECT_EQ(corpse->NumWork, 15);
    for (int i = 0; i < 100 && corpse->WorkObject == 65535; ++i)
        WalkPlayerUnits(w.Player(0));
    EXPECT_EQ(corpse->WorkObject, 65505);
}

TEST(UnitWalk, ACorpseLiesForAboutFifteenHundredCyclesAndThenLeaves)
{
    WalkWorld w;
    TUnit* corpse = w.AddUnit(0, testworld::kRifleman, 12, 20);
    corpse->Dead = 1;
    corpse->WorkObject = 65535;
    corpse->NumWork = 15;
    corpse->NumSprite = 300.0f;
    int cycles = 0;
    while (w.Player(0)->FirstUnit != nullptr && cycles < 3000) {
        g_FrameCounter = static_cast<std::uint32_t>(++cycles);
        WalkPlayerUnits(w.Player(0));
    }
    EXPECT_EQ(w.Player(0)->FirstUnit, nullptr);
    EXPECT_NEAR(cycles, 1485, 40);
}

// ---- moving -------------------------------------------------------------------------------------

TEST(UnitWalk, UnitsGivenAGoalGetThereThroughTheirKindHandler)
{
    WalkWorld w;
    TUnit* a = w.Walker(0, 10, 20);
    TUnit* b = w.Walker(0, 12, 40);
    TUnit* carried = w.Walker(0, 14, 30);
    a->GoalX = a->X + 300.0f;
    b->GoalX = b->X - 120.0f;
    b->GoalY = b->Y + 160.0f;
    carried->GoalX = carried->X + 300.0f;
    carried->Work = WORK_UNIT_TRANSPORTED;
    const float carriedX = carried->X;
    int cycles = 0;
    while ((a->X != a->GoalX || b->Y != b->GoalY) && cycles < 200) {
        g_FrameCounter = static_cast<std::uint32_t>(++cycles);
        PlayerUnitsTurn(w.Player(0));
    }
    EXPECT_EQ(a->X, a->GoalX);
    EXPECT_EQ(b->X, b->GoalX);
    EXPECT_EQ(b->Y, b->GoalY);
    EXPECT_EQ(cycles, 50); // 300 pixels at 6 a cycle
    EXPECT_EQ(carried->X, carriedX);
}

TEST(UnitWalk, UnitsOrderedToPointsArriveThroughTheWalk)
{
    WalkWorld w;
    TUnit* rifleman = w.AddUnit(0, testworld::kRifleman, 10, 20);
    TUnit* tank = w.AddUnit(0, testworld::kTank, 14, 20);
    const testworld::TPixel riflemanGoal = testworld::CellCentre(12, 50);
    const testworld::TPixel tankGoal = testworld::CellCentre(20, 44);
    GoToPoint(rifleman, riflemanGoal.x, riflemanGoal.y, 0);
    GoToPoint(tank, tankGoal.x, tankGoal.y, 0);
    const plat::Point riflemanCell = PixelToFlatCell(riflemanGoal.x, riflemanGoal.y);
    const plat::Point tankCell = PixelToFlatCell(tankGoal.x, tankGoal.y);
    auto arrived = [](const TUnit* u, const plat::Point& cell) {
        return u->MapX == cell.x && u->MapY == cell.y && u->Halted != 0 && u->Path == nullptr;
    };
    int cycles = 0;
    while (!(arrived(rifleman, riflemanCell) && arrived(tank, tankCell)) && cycles < 3000) {
        g_FrameCounter = static_cast<std::uint32_t>(++cycles);
        WalkPlayerUnits(w.Player(0));
    }
    EXPECT_TRUE(arrived(rifleman, riflemanCell)) << rifleman->MapX << "," << rifleman->MapY;
    EXPECT_TRUE(arrived(tank, tankCell)) << tank->MapX << "," << tank->MapY;
    // The arrival event ended their work: they stand where they are.
    for (TUnit* u : {rifleman, tank}) {
        EXPECT_EQ(u->Work, UNIT_NO_WORK);
        EXPECT_EQ(u->VX, 0.0f);
        EXPECT_EQ(u->VY, 0.0f);
    }
    EXPECT_LT(PixelDistance(rifleman->X, rifleman->Y, riflemanGoal.x, riflemanGoal.y), 48.0f);
    EXPECT_LT(PixelDistance(tank->X, tank->Y, tankGoal.x, tankGoal.y), 48.0f);
}

// ---- drawing ------------------------------------------------------------------------------------

namespace {

// A game cycle with nothing but the players' unit walks.
class CycleServicesScope {
public:
    CycleServicesScope() : m_Saved(GameCycleServices())
    {
        TGameCycleServices& s = GameCycleServices();
        s.isNetGame = [] { return false; };
        s.isNetConnected = [] { return false; };
        s.netCycleGate = [] { return true; };
        s.netSendCommand = [](TNetData*) {};
        s.takeReceivedMessages = []() -> TNetData* { return nullptr; };
        s.handleNetMessage = [](THeapItem&) {};
        s.sendBlocked = [] { return false; };
        s.executeCommand = [](THeapItem*) { return false; };
        s.strategDead = [](TStrateg*) {};
        s.groupManagerUpdate = [](TStrateg*) {};
        s.computerStep = [](TStrateg*) {};
        s.missionOver = [](std::uint8_t) { return false; };
        s.marketTick = [](std::uint8_t) {};
        s.cycleUpdates = [] {};
        s.refreshTargetUnits = [] {};
        s.refreshTargetHouses = [] {};
        s.unitWalk = ::UnitWalk;
    }
    ~CycleServicesScope() { GameCycleServices() = m_Saved; }

private:
    TGameCycleServices m_Saved;
};

std::vector<TUnit*> UnitsOf(const std::vector<TUnitDrawRecord>& list)
{
    std::vector<TUnit*> out;
    for (const TUnitDrawRecord& r : list)
        out.push_back(r.unit);
    return out;
}

} // namespace

TEST(UnitWalk, UnitsOnScreenFillTheThreeDrawListsSortedByYThenX)
{
    WalkWorld w;
    CycleServicesScope cycle;
    w.SetView(0, 0, 1500, 1000);
    std::vector<TUnit*> ground;
    for (std::int32_t y : {30, 10, 20, 10})
        for (std::int32_t x : {8, 3})
            ground.push_back(w.Walker(static_cast<std::uint8_t>(y % 20 == 0 ? 1 : 0), x, y));
    TUnit* plane = w.Walker(1, 5, 30, testworld::kFighter);
    plane->Height = 200.0f;
    TUnit* dying = w.AddUnit(0, testworld::kRifleman, 6, 16);
    TUnit* corpse = w.AddUnit(0, testworld::kRifleman, 7, 16);
    for (TUnit* u : {dying, corpse}) {
        u->Dead = 1;
        u->WorkObject = 65535;
        u->NumWork = 15;
        u->Basic->AnimationSize[15] = 8;
        u->Basic->AnimationSpeed[15] = 1.0f;
    }
    dying->NumSprite = 0.0f;
    corpse->NumSprite = 7.5f;
    TUnit* offScreen = w.Walker(0, 30, 70);
    TUnit* inYard = w.Walker(0, 4, 12);
    inYard->m_bShown = 0;
    for (TUnit* u : w.ListOf(0))
        SetRect(u);
    for (TUnit* u : w.ListOf(1))
        SetRect(u);
    offScreen->m_bOnScreen = 1;
    w.sounds.clear();
    NetworkFrame();

    for (const auto* list : {&g_UnitsDrawSorted, &g_UnitsDrawTinted, &g_UnitsDrawLate})
        EXPECT_TRUE(std::is_sorted(list->begin(), list->end(), DrawOrderLess));
    std::vector<TUnit*> expectedGround = ground;
    expectedGround.push_back(dying);
    std::vector<TUnit*> sortedGround = UnitsOf(g_UnitsDrawSorted);
    std::sort(expectedGround.begin(), expectedGround.end());
    std::sort(sortedGround.begin(), sortedGround.end());
    EXPECT_EQ(sortedGround, expectedGround);
    EXPECT_EQ(UnitsOf(g_UnitsDrawTinted), std::vector<TUnit*>{corpse});
    EXPECT_EQ(UnitsOf(g_UnitsDrawLate), std::vector<TUnit*>{plane});
    ASSERT_EQ(w.sounds.size(), 1u);
    EXPECT_EQ(w.sounds[0].category, SOUND_UNIT);
    EXPECT_EQ(w.sounds[0].object, plane);
    EXPECT_EQ(w.sounds[0].subKind, 5);
    EXPECT_EQ(w.sounds[0].priority, 6);
    EXPECT_EQ(offScreen->m_bOnScreen, 0);
    EXPECT_EQ(inYard->m_bOnScreen, 0);
    EXPECT_EQ(plane->m_bOnScreen, 1);
    // The keys: x and the foot point lifted by the ground height.
    const auto it = std::find_if(g_UnitsDrawSorted.begin(), g_UnitsDrawSorted.end(),
                                 [&](const TUnitDrawRecord& r) { return r.unit == ground[0]; });
    ASSERT_NE(it, g_UnitsDrawSorted.end());
    EXPECT_EQ(it->key1, static_cast<std::int32_t>(ground[0]->X));
    EXPECT_EQ(it->key2, static_cast<std::int32_t>(ground[0]->Y - ground[0]->GroundHeight));
}

TEST(UnitWalk, WhatTheViewShowsNeverChangesTheSimulation)
{
    std::uint64_t sums[2] = {};
    for (int run = 0; run < 2; ++run) {
        WalkWorld w;
        CycleServicesScope cycle;
        ResetGameCycle();
        w.SetRandomIndex(0);
        g_FrameCounter = 0;
        for (std::int32_t i = 0; i < 6; ++i) {
            TUnit* u = w.Walker(static_cast<std::uint8_t>(i % 2), 5 + i, 20 + 4 * i);
            u->GoalX = u->X + 200.0f;
            SetRect(u);
        }
        if (run == 0)
            w.SetView(0, 0, 4000, 2000);
        else
            w.SetView(-5000, -5000, -4000, -4000);
        for (int c = 0; c < 40; ++c) {
            NetworkFrame();
            if (run == 0)
                w.SetView(0, 0, 4000, 2000);
            else
                w.SetView(-5000, -5000, -4000, -4000);
        }
        sums[run] = SimulationChecksum();
    }
    EXPECT_EQ(sums[0], sums[1]);
}

// ---- advanced-path settling ----------------------------------------------------------------------

TEST(UnitWalk, QueuedAdvancedPathCellsAreSettledAndTheBorderIsRefused)
{
    WalkWorld w;
    g_pCellFlags[CellIndex(10, 20)] = ADVANCED_PATH_UNIT_BIT;
    g_AdvancedPathReleaseQueue = {{10, 20}, {1, 20}};
    g_AdvancedPathUnpathQueue = {{20, 40}};
    PlayerUnitsTurn(w.Player(0));
    EXPECT_EQ(g_pCellFlags[CellIndex(10, 20)] & ADVANCED_PATH_UNIT_BIT, 0);
    EXPECT_NE(g_pCellFlags[CellIndex(20, 40)] & ADVANCED_PATH_UNIT_BIT, 0);
    EXPECT_NE(g_pCellFlags[CellIndex(21, 40)] & ADVANCED_PATH_UNIT_BIT, 0);
    EXPECT_TRUE(g_AdvancedPathReleaseQueue.empty());
    EXPECT_TRUE(g_AdvancedPathUnpathQueue.empty());
}

// ---- the building pass --------------------------------------------------------------------------

namespace {

// The house world with a player record for player 0, so the building pass can produce.
class HouseWalkWorld : public housetest::BehaviourWorld {
public:
    HouseWalkWorld()
    {
        m_SavedPlayer = g_Strateg[0];
        m_SavedPlayers = g_wNumPlayer;
        m_SavedWalk = UnitWalkServices();
        player = new TStrateg;
        player->Number = 0;
        player->Nation = 0;
        player->Houses = g_pHouse[0];
        player->MakeGrid(g_MapWidth, g_MapHeight);
        g_Strateg[0] = player;
        g_wNumPlayer = 1;
        ResetUnitCounters();
        MakeBasicMap();
        TUnitWalkServices& s = UnitWalkServices();
        s.countAllUnits = [] { return 0u; };
        s.searchTarget = [](TUnit*) {};
        s.addUnitToTargetGrid = [](TUnit*) {};
        s.addHouseToTargetGrid = [](THouse*) {};
        s.chargeHouseUpkeep = [this](THouse*) {
            ++upkeepCharges;
            return payUpkeep;
        };
        s.population = [this](std::uint8_t) { return population[0]; };
        s.populationCap = [this](std::uint8_t) { return cap[0]; };
        cap[0] = 100;
    }
    ~HouseWalkWorld()
    {
        for (TUnit* u = player->FirstUnit; u != nullptr;) {
            TUnit* next = u->m_pNext;
            RemoveUnitFromCell(u);
            delete u;
            u = next;
        }
        player->FirstUnit = nullptr;
        ResetUnitCounters();
        UnitWalkServices() = m_SavedWalk;
        delete player;
        g_Strateg[0] = m_SavedPlayer;
        g_wNumPlayer = m_SavedPlayers;
        g_PowerDemand[0] = 0.0f;
        g_PowerSupply[0] = 0.0f;
    }
    // One building pass of player 0 at the next frame.
    void Pass()
    {
        ++g_FrameCounter;
        WalkPlayerHouses(player);
    }
    void Queue(THouse& h, std::uint16_t unitType, float countdown)
    {
        delete[] h.Queue;
        h.Queue = new std::uint16_t[1]{unitType};
        h.QueueCount = 1;
        h.ProductionTimer = countdown;
    }

    TStrateg* player = nullptr;
    int upkeepCharges = 0;
    bool payUpkeep = true;

private:
    TStrateg* m_SavedPlayer = nullptr;
    std::uint16_t m_SavedPlayers = 0;
    TUnitWalkServices m_SavedWalk;
};

} // namespace

TEST(HouseWalk, ABuildingUnderConstructionWaitsAndWorksOnceItsWorkIsDone)
{
    HouseWalkWorld w;
    THouse& h = w.Place(0, 10, 30, HOUSE_BARRACKS);
    ASSERT_NE(h.BuildWork, 0);
    h.MaxHitPoints = 1000;
    h.HitPoints = 100.0f; // below half: it would burn if it were finished
    w.Queue(h, 2, 50.0f);
    for (int i = 0; i < 10; ++i)
        w.Pass();
    EXPECT_EQ(w.upkeepCharges, 0);
    EXPECT_FLOAT_EQ(h.HitPoints, 100.0f);
    EXPECT_FLOAT_EQ(h.ProductionTimer, 50.0f);
    // The builders' last step.
    h.BuildWork = 0;
    w.Pass();
    EXPECT_EQ(w.upkeepCharges, 1);
    EXPECT_FLOAT_EQ(h.HitPoints, 99.9f);
    EXPECT_FLOAT_EQ(h.ProductionTimer, 49.0f);
}

TEST(HouseWalk, ABurningBuildingFallsToARuinThatVanishes)
{
    struct Row {
        std::uint16_t type;
        int ruinCycles;
    };
    for (const Row r : {Row{HOUSE_BARRACKS, 2000}, Row{HOUSE_PORT, 100}}) {
        HouseWalkWorld w;
        THouse& h = w.Finished(0, 10, 30, r.type);
        h.MaxHitPoints = 1000;
        h.HitPoints = 500.0f;
        w.Pass();
        EXPECT_FLOAT_EQ(h.HitPoints, 500.0f) << "at half it does not burn";
        h.HitPoints = 1.25f;
        w.Pass();
        EXPECT_EQ(h.Destroyed, 0);
        EXPECT_NEAR(h.HitPoints, 1.15f, 1e-4);
        int burnt = 1;
        while (h.Destroyed == 0 && burnt < 10) {
            w.Pass();
            ++burnt;
        }
        EXPECT_EQ(burnt, 3) << r.type;
        ASSERT_EQ(h.Destroyed, 1);
        EXPECT_EQ(h.OffMap, 0);
        int cycles = 0;
        while (h.OffMap == 0 && cycles < 5000) {
            w.Pass();
            ++cycles;
        }
        EXPECT_EQ(h.OffMap, 1) << r.type;
        EXPECT_NEAR(cycles, r.ruinCycles, 2) << r.type;
        // Taken off the map, the ruin changes no more.
        const float gone = h.HitPoints;
        w.Pass();
        EXPECT_EQ(h.HitPoints, gone);
    }
}

TEST(HouseWalk, PowerShortageSlowsProductionAndUpgradesOncePerCycle)
{
    struct Row {
        float demand;
        float supply;
        float houseNeed;
        float production; // progress per cycle
        float upgrade;
    };
    const Row rows[] = {
        {0.0f, 0.0f, 2.5f, 1.0f, 1.0f},    // no demand
        {10.0f, 10.0f, 2.5f, 1.0f, 1.0f},  // balanced
        {10.0f, 20.0f, 2.5f, 1.0f, 1.0f},  // surplus
        {10.0f, 5.0f, 2.5f, 0.5f, 0.5f},   // half
        {10.0f, 1.0f, 2.5f, 0.3f, 0.1f},   // production keeps its floor, upgrades slow on
        {10.0f, 0.0f, 2.5f, 0.3f, 0.0f},   // no supply at all: upgrades stand still
        {10.0f, 1.0f, 0.0f, 1.0f, 0.1f},   // a building that needs no power produces at full speed
        {10.9f, 5.9f, 2.5f, 0.5f, 0.5f},   // the balance compares whole units
    };
    for (const Row& r : rows) {
        HouseWalkWorld w;
        THouse& h = w.Finished(0, 10, 30, HOUSE_BARRACKS);
        h.Type().m_PowerNeed = r.houseNeed;
        w.Queue(h, 2, 100.0f);
        h.UpgradeRunning = 1;
        h.UpgradeCountdown = 100.0f;
        g_PowerDemand[0] = r.demand;
        g_PowerSupply[0] = r.supply;
        w.Pass();
        EXPECT_NEAR(100.0f - h.ProductionTimer, r.production, 1e-5) << r.demand << " / " << r.supply;
        EXPECT_NEAR(100.0f - h.UpgradeCountdown, r.upgrade, 1e-5) << r.demand << " / " << r.supply;
    }
}

TEST(HouseWalk, UnpaidUpkeepStopsTheBuildingForTheCycle)
{
    HouseWalkWorld w;
    THouse& h = w.Finished(0, 10, 30, HOUSE_BARRACKS);
    w.Queue(h, 2, 100.0f);
    w.payUpkeep = false;
    w.Pass();
    EXPECT_EQ(w.upkeepCharges, 1);
    EXPECT_FLOAT_EQ(h.ProductionTimer, 100.0f);
    w.payUpkeep = true;
    w.Pass();
    EXPECT_FLOAT_EQ(h.ProductionTimer, 99.0f);
}

TEST(HouseWalk, AFinishedUnitWaitsForRoomAndThenLeavesTheBuilding)
{
    HouseWalkWorld w;
    THouse& h = w.Finished(0, 10, 30, HOUSE_BARRACKS);
    w.Queue(h, 2, 1.0f);
    w.population[0] = 100; // at the cap
    w.Pass();
    EXPECT_FLOAT_EQ(h.ProductionTimer, 1.0f);
    EXPECT_EQ(h.QueueCount, 1);
    w.population[0] = 99;
    w.Pass();
    EXPECT_EQ(h.QueueCount, 0);
    ASSERT_NE(w.player->FirstUnit, nullptr);
    EXPECT_EQ(w.player->FirstUnit->Type, 2);
}

TEST(HouseWalk, AShipyardWithoutAWaterSideLogsAndProducesNothing)
{
    HouseWalkWorld w;
    THouse& h = w.Finished(0, 10, 30, HOUSE_PORT);
    h.m_ShipSideForPort = THouse::none;
    w.Queue(h, 17, 1.0f);
    for (int i = 0; i < 3; ++i)
        w.Pass();
    EXPECT_EQ(h.ShipUnderConstruction, nullptr);
    EXPECT_EQ(h.QueueCount, 1);
    EXPECT_EQ(w.player->FirstUnit, nullptr);
}

TEST(HouseWalk, ThreeShelteredUnitsThatDoNotBelongLeaveTogether)
{
    HouseWalkWorld w;
    THouse& h = w.Finished(0, 10, 30, HOUSE_BARRACKS);
    THouse& other = w.Finished(0, 20, 30, HOUSE_BARRACKS);
    TUnit* a = w.AddUnit(0, 2, h.DoorX, h.DoorY);
    TUnit* b = w.AddUnit(0, 2, h.DoorX, h.DoorY);
    TUnit* c = w.AddUnit(0, 2, h.DoorX, h.DoorY);
    TUnit* stays = w.AddUnit(0, 2, h.DoorX, h.DoorY);
    w.PutInside(h, {a, b, stays, c});
    for (TUnit* u : {a, b, c, stays})
        u->House = &h;
    a->House = &other; // linked to another building
    b->Work = UNIT_NO_WORK;
    c->Dead = 1;
    c->House = nullptr;
    CheckShelteredUnits(&h);
    ASSERT_EQ(h.InsideCount, 1);
    EXPECT_EQ(h.Inside[0], stays);
    for (TUnit* u : {a, b, c})
        EXPECT_NE(u->Work, STAY_IN_HOUSE);
    // The last one out frees the array.
    stays->Work = UNIT_NO_WORK;
    CheckShelteredUnits(&h);
    EXPECT_EQ(h.InsideCount, 0);
    EXPECT_EQ(h.Inside, nullptr);
}
