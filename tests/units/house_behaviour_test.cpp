#include "units/house_behaviour.h"

#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "behaviour_fixture.h"
#include "map/map_fixture.h"

using housetest::BehaviourWorld;
using maptest::LogWatch;

namespace {

TEST(HouseBehaviour, HandlerTablesCoverTheTypesThatActBesidesProducing)
{
    struct Row {
        std::uint16_t type;
        bool cycle, come, leave;
    };
    const Row rows[] = {
        {HOUSE_POWER_PLANT, true, true, true},  {HOUSE_PILLBOX, true, false, false},
        {HOUSE_SCIENCE_ACADEMY, false, false, false}, {HOUSE_BARRACKS, false, false, false},
        {HOUSE_WORKER_BUILDING, false, true, true}, {HOUSE_BUNKER, true, false, false},
        {HOUSE_DWELLING, true, true, true},     {HOUSE_IRON_MAKER, true, false, false},
        {HOUSE_GOLD_MAKER, true, false, false}, {HOUSE_LUMBER_MILL, true, false, false},
        {HOUSE_OIL_MAKER, true, false, false},  {HOUSE_MINT, false, true, true},
        {HOUSE_BARN, true, true, true},         {HOUSE_FIELD_HOSPITAL, true, false, false},
        {HOUSE_HOSPITAL, true, false, false},   {HOUSE_TANK_FACTORY, true, false, false},
        {HOUSE_AIR_HANGAR, true, false, false}, {HOUSE_WATCHTOWER, true, false, false},
        {HOUSE_PORT, true, false, true},        {HOUSE_UNIT_EMPLACEMENT, false, false, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(g_HouseHandlers.cycle[r.type] != nullptr, r.cycle) << r.type;
        EXPECT_EQ(g_HouseHandlers.come[r.type] != nullptr, r.come) << r.type;
        EXPECT_EQ(g_HouseHandlers.leave[r.type] != nullptr, r.leave) << r.type;
    }
    for (int t = 25; t < HOUSE_HANDLER_SLOTS; ++t)
        EXPECT_EQ(g_HouseHandlers.cycle[t], nullptr);
}

TEST(HouseBehaviour, PowerPlantsAndDwellingsAddTheirOutputWhileTheyStand)
{
    BehaviourWorld w;
    THouse& plant = w.Place(1, 10, 30, HOUSE_POWER_PLANT);
    plant.Output = 12.5f;
    HouseComeHandler(&plant);
    EXPECT_FLOAT_EQ(g_PowerSupply[1], 12.5f);
    EXPECT_FLOAT_EQ(g_ElectricitySupply[1], 12.5f);
    THouse& home = w.Place(1, 20, 30, HOUSE_DWELLING);
    home.Output = 7.9f; // the cap takes the integer part
    HouseComeHandler(&home);
    EXPECT_EQ(w.cap[1], 7);
    HouseLeaveHandler(&plant);
    HouseLeaveHandler(&home);
    EXPECT_FLOAT_EQ(g_PowerSupply[1], 0.0f);
    EXPECT_EQ(w.cap[1], 0);
    EXPECT_FLOAT_EQ(g_PowerSupply[0], 0.0f);
}

TEST(HouseBehaviour, ResourceMakersYieldByWorkersFactorsAndTheMint)
{
    struct Case {
        std::uint16_t type;
        std::uint8_t resource;
        double expected; // output 4, two workers of type 0 and one other unit inside
    };
    const Case cases[] = {
        {HOUSE_IRON_MAKER, RESOURCE_IRON, 1.5 * 4 * 2.5},
        {HOUSE_GOLD_MAKER, RESOURCE_GOLD, 2.0 * 1.5 * 4 * 2.5},
        {HOUSE_LUMBER_MILL, RESOURCE_WOOD, 1.25 * 4 * 2.5},
        {HOUSE_OIL_MAKER, RESOURCE_OIL, 3.0 * 4}, // oil needs no workers
    };
    for (const Case& c : cases) {
        BehaviourWorld w;
        g_MetalFactor[2] = 1.5f;
        g_WoodFactor[2] = 1.25f;
        g_OilFactor[2] = 3.0f;
        g_MintFactor[2] = 2.0f;
        g_FrameCounter = 7; // not the building's turn: no upgrade, no worker call
        THouse& h = w.Finished(2, 12, 30, c.type);
        h.Output = 4.0f;
        w.PutInside(h, {w.AddUnit(2, 0, 10, 10), w.AddUnit(2, 0, 10, 10), w.AddUnit(2, 5, 10, 10)});
        HouseCycleHandler(&h);
        HouseCycleHandler(&h);
        EXPECT_DOUBLE_EQ(w.spendable[2][c.resource], 2 * c.expected) << c.type;
        EXPECT_DOUBLE_EQ(w.extracted[2][c.resource], 2 * c.expected) << c.type;
    }
}

TEST(HouseBehaviour, TheMintDoublesGoldOnlyWhileAMintStandsAfterItsUpgrade)
{
    BehaviourWorld w;
    THouse& a = w.Finished(3, 10, 30, HOUSE_MINT);
    EXPECT_FLOAT_EQ(g_MintFactor[3], 1.0f);
    a.UpgradeInProgress = 3;
    THouse::ApplyUpgrade(&a);
    EXPECT_EQ(g_MintUpgraded[3], 1);
    EXPECT_FLOAT_EQ(g_MintFactor[3], 2.0f);
    THouse& b = w.Finished(3, 20, 30, HOUSE_MINT);
    EXPECT_EQ(g_MintCount[3], 2u);
    DestroyHouse(&a, 4);
    HouseLeaveHandler(&a);
    EXPECT_FLOAT_EQ(g_MintFactor[3], 2.0f);
    HouseLeaveHandler(&b);
    EXPECT_EQ(g_MintCount[3], 0u);
    EXPECT_FLOAT_EQ(g_MintFactor[3], 1.0f);
    HouseLeaveHandler(&b); // a second loss never wraps the count
    EXPECT_EQ(g_MintCount[3], 0u);
    w.Finished(3, 30, 30, HOUSE_MINT);
    EXPECT_FLOAT_EQ(g_MintFactor[3], 2.0f);
    EXPECT_FLOAT_EQ(g_MintFactor[4], 1.0f);
}

TEST(HouseBehaviour, IdleWorkersAreSentWithinTheRadiusOnTheBuildingsTurn)
{
    struct Case {
        float dx;           // worker distance from the exit point
        std::uint8_t work;  // 255 idle
        bool option5;
        bool expectSent;
    };
    const Case cases[] = {
        {49990.0f, UNIT_NO_WORK, true, true},
        {50010.0f, UNIT_NO_WORK, true, false},
        {100.0f, 4, true, false},
        {100.0f, UNIT_NO_WORK, false, false},
    };
    for (const Case& c : cases) {
        BehaviourWorld w;
        w.computer[1] = true;
        w.compAssist[1] = true;
        THouse& h = w.Finished(1, 12, 30, HOUSE_IRON_MAKER);
        w.computer[1] = false; // a person with the assistant: option 5 decides
        w.economy[1][5] = c.option5;
        TUnit* worker = w.AddUnit(1, 6, h.ExitX + c.dx, h.ExitY);
        worker->Halted = 1;
        worker->Work = c.work;
        w.AddUnit(2, 6, h.ExitX, h.ExitY)->Halted = 1; // another player's worker is never taken
        g_FrameCounter = 1000u * 3 + h.Index;
        AssignIdleWorker(&h, 0);
        ASSERT_EQ(w.sent.size(), c.expectSent ? 1u : 0u) << c.dx;
        if (c.expectSent) {
            EXPECT_EQ(w.sent[0].first, worker);
            EXPECT_EQ(w.sent[0].second, h.Index);
        }
        // Not its turn, or the building full: nobody.
        w.sent.clear();
        g_FrameCounter += 1;
        AssignIdleWorker(&h, 0);
        g_FrameCounter -= 1;
        h.Capacity = 0;
        AssignIdleWorker(&h, 0);
        EXPECT_TRUE(w.sent.empty());
    }
}

TEST(HouseBehaviour, ATowerFiresOnlyWithSomebodyInsideAndCountsItsReload)
{
    BehaviourWorld w;
    THouse& tower = w.Finished(0, 12, 30, HOUSE_WATCHTOWER);
    tower.UpgradeLevel = 4; // no automatic upgrade
    TUnit* enemy = w.AddUnit(5, 2, 500, 500);
    tower.TargetUnit = enemy;
    tower.TargetPlayer = 5;
    tower.ReloadA = 3.0f;
    tower.ReloadB = 0.0f;
    for (int i = 0; i < 10; ++i)
        HouseCycleHandler(&tower);
    EXPECT_TRUE(w.fired.empty());
    EXPECT_EQ(w.flashes, 0);

    w.PutInside(tower, {w.AddUnit(0, 2, 10, 10)});
    HouseType(0, HOUSE_WATCHTOWER).m_MuzzleCount = 2;
    for (int i = 0; i < 8; ++i)
        HouseCycleHandler(&tower);
    // Fires at once, then every fourth cycle: reload B counts 3, 2, 1, 0 between shots.
    EXPECT_EQ(w.fired.size(), 2u);
    EXPECT_EQ(w.flashes, 2);
    EXPECT_EQ(w.gridMarks, 2);

    // Without a target the tower searches every 30 cycles and forgets the target player.
    tower.TargetUnit = nullptr;
    w.fired.clear();
    for (std::uint32_t f = 0; f < 60; ++f) {
        g_FrameCounter = 2000 + f;
        HouseCycleHandler(&tower);
    }
    EXPECT_EQ(w.searches, 2);
    EXPECT_EQ(tower.TargetPlayer, HOUSE_NO_OWNER);
    EXPECT_TRUE(w.fired.empty());
}

TEST(HouseBehaviour, HealingAndRepairReachAlliesInRangeAndStopAtTheMaximum)
{
    BehaviourWorld w;
    THouse& hospital = w.Finished(0, 12, 40, HOUSE_FIELD_HOSPITAL);
    THouse& factory = w.Finished(0, 30, 40, HOUSE_TANK_FACTORY);
    w.PutInside(hospital, {w.AddUnit(0, 2, 10, 10), w.AddUnit(0, 2, 10, 10)});
    const float refX = 48.0f * (2 * hospital.X - (hospital.Y % 2 == 0 ? 1 : 0));
    const float refY = 24.0f * hospital.Y;
    TUnit* own = w.AddUnit(0, 2, refX + 100, refY);
    TUnit* full = w.AddUnit(0, 2, refX + 100, refY + 20);
    full->HitPoints = 99.9f;
    TUnit* enemy = w.AddUnit(1, 2, refX + 100, refY);
    TUnit* ally = w.AddUnit(2, 2, refX - 100, refY);
    w.relation[0][2] = w.relation[2][0] = 1;
    TUnit* far = w.AddUnit(0, 2, refX + 720, refY);
    TUnit* tank = w.AddUnit(0, 3, refX, refY + 40);
    g_HealRate[0] = 1.5f;
    g_FrameCounter = 41; // not a repair cycle
    HouseCycleHandler(&hospital);
    EXPECT_FLOAT_EQ(own->HitPoints, 50.0f);
    g_FrameCounter = 40;
    HouseCycleHandler(&hospital);
    const float step = 1.5f * 0.2f * 3; // field hospital: times the units inside plus one
    EXPECT_FLOAT_EQ(own->HitPoints, 50.0f + step);
    EXPECT_FLOAT_EQ(ally->HitPoints, 50.0f + step);
    EXPECT_FLOAT_EQ(full->HitPoints, 100.0f);
    EXPECT_FLOAT_EQ(enemy->HitPoints, 50.0f);
    EXPECT_FLOAT_EQ(far->HitPoints, 50.0f);
    EXPECT_FLOAT_EQ(tank->HitPoints, 50.0f); // hospitals leave machines to their own repair

    const float fx = 48.0f * (2 * factory.X - (factory.Y % 2 == 0 ? 1 : 0));
    const float fy = 24.0f * factory.Y;
    TUnit* hull = w.AddUnit(0, 3, fx + 50, fy);
    hull->HitPoints = 95.0f;
    TUnit* soldier = w.AddUnit(0, 2, fx + 50, fy);
    HouseCycleHandler(&factory);
    EXPECT_FLOAT_EQ(hull->HitPoints, 100.0f);
    EXPECT_FLOAT_EQ(soldier->HitPoints, 50.0f);

    THouse& port = w.Finished(0, 20, 60, HOUSE_PORT);
    TUnit* ship = w.AddUnit(0, 17, port.DoorX + 300, port.DoorY);
    TUnit* farShip = w.AddUnit(0, 17, port.DoorX + 1300, port.DoorY);
    w.ships = {ship, farShip};
    HouseCycleHandler(&port);
    EXPECT_FLOAT_EQ(ship->HitPoints, 100.0f);
    EXPECT_FLOAT_EQ(farShip->HitPoints, 50.0f);
}

TEST(HouseBehaviour, ALostPortTakesItsShipUnderConstructionAlong)
{
    BehaviourWorld w;
    THouse& port = w.Finished(1, 20, 60, HOUSE_PORT);
    HouseLeaveHandler(&port); // nothing in the yard: nothing happens
    EXPECT_TRUE(w.removedUnits.empty());
    TUnit* hull = w.AddUnit(1, 17, port.ExitX, port.ExitY);
    port.ShipUnderConstruction = hull;
    HouseLeaveHandler(&port);
    ASSERT_EQ(w.removedUnits.size(), 1u);
    EXPECT_EQ(w.removedUnits[0].first, hull);
    EXPECT_EQ(w.removedUnits[0].second, HOUSE_NO_DESTROYER);
    EXPECT_EQ(port.ShipUnderConstruction, nullptr);
    // The interface's names reach the same operations.
    PushUnitToHouseQueue(1, port.Index, 17, 1);
    EXPECT_EQ(w.queueRemovals, 1);
}

// The shared table with a known pattern, so each test knows every value it draws.
void FillRandTable(std::uint16_t (*value)(std::uint32_t))
{
    for (std::uint32_t i = 0; i < kRandTableSize; ++i)
        g_RandTable[i] = value(i);
    g_RandIndex = 0;
}

TEST(HouseBehaviour, ABarnPlantsItsFieldAroundWhatMustStayAndDrawsOncePerCrop)
{
    BehaviourWorld w;
    FillRandTable([](std::uint32_t i) { return static_cast<std::uint16_t>(i * 7 + 3); });
    THouse& barn = w.Place(1, 14, 30, HOUSE_BARN);
    barn.BuildWork = 0;
    const std::vector<plat::Point> field = BarnFieldCells(barn);
    std::vector<plat::Point> open;
    for (const plat::Point& c : field)
        if (IsInPlayableBorder(c.x, c.y) && w.Code(c.x, c.y) == kObjectFree)
            open.push_back(c);
    ASSERT_GT(open.size(), 13u);
    const plat::Point water = open[3];
    const plat::Point point = open[7];
    const plat::Point trench = open[11];
    w.water.insert({water.x, water.y});
    w.SetCode(point.x, point.y, OBJECT_GOLD_POINT);
    w.SetCode(trench.x, trench.y, kObjectTrenchListFirst);
    const std::uint16_t start = g_RandIndex;
    HouseComeHandler(&barn);
    int crops = 0;
    std::uint16_t at = start;
    for (const plat::Point& c : field) {
        const std::uint16_t code = w.Code(c.x, c.y);
        if (!IsInPlayableBorder(c.x, c.y))
            continue;
        if (code == PlayerHouseCode(1, barn.Index) || (c.x == water.x && c.y == water.y)) {
            EXPECT_LT(code, OBJECT_CROP_FIRST);
            continue;
        }
        if (c.x == point.x && c.y == point.y) {
            EXPECT_EQ(code, OBJECT_GOLD_POINT);
            continue;
        }
        if (c.x == trench.x && c.y == trench.y) {
            EXPECT_EQ(code, kObjectTrenchListFirst);
            continue;
        }
        // Nation 0 plants 9696 or 9697 by the low bit of the draw.
        EXPECT_EQ(code, 9696 + (g_RandTable[at++] & 1)) << c.x << "," << c.y;
        ++crops;
    }
    EXPECT_GT(crops, 10);
    EXPECT_EQ(static_cast<std::uint16_t>(g_RandIndex - start), crops);
}

std::vector<std::uint32_t> CropCells(const THouse& barn)
{
    std::vector<std::uint32_t> crops;
    for (const plat::Point& c : BarnFieldCells(barn))
        if (IsInPlayableBorder(c.x, c.y)) {
            const std::uint16_t code = GetObjectFromMap(c);
            if (code >= OBJECT_CROP_FIRST && code <= OBJECT_CROP_LAST)
                crops.push_back(static_cast<std::uint32_t>(c.y) * g_MapWidth + c.x);
        }
    return crops;
}

TEST(HouseBehaviour, CropsOfADestroyedBarnVanishOneInThreeHundred)
{
    BehaviourWorld w;
    THouse& barn = w.Finished(1, 14, 30, HOUSE_BARN);
    const std::vector<std::uint32_t> crops = CropCells(barn);
    ASSERT_FALSE(crops.empty());
    DestroyHouse(&barn, 2); // the ruin stays, but a ruin keeps no field
    HouseLeaveHandler(&barn);
    EXPECT_EQ(BarnDecayList(), crops);

    // Draws alternate 301 (1 mod 300: gone) and 302 (stays): every other crop goes per step.
    FillRandTable([](std::uint32_t i) { return static_cast<std::uint16_t>(i % 2 == 0 ? 301 : 302); });
    DecayBarnFields();
    EXPECT_EQ(g_RandIndex, crops.size());
    EXPECT_EQ(BarnDecayList().size(), crops.size() / 2);
    for (std::size_t i = 0; i < crops.size(); ++i)
        EXPECT_EQ(g_pObjectMap[crops[i]] == kObjectFree, i % 2 == 0) << i;

    // A cell that is no longer a crop leaves the list without a draw.
    for (std::uint32_t cell : BarnDecayList())
        g_pObjectMap[cell] = kObjectTreeFirst;
    const std::uint16_t before = g_RandIndex;
    DecayBarnFields();
    EXPECT_EQ(g_RandIndex, before);
    EXPECT_TRUE(BarnDecayList().empty());
}

TEST(HouseBehaviour, CropsNearAStandingBarnLeaveTheListWithoutADraw)
{
    BehaviourWorld w;
    THouse& barn = w.Finished(1, 14, 30, HOUSE_BARN);
    const std::vector<std::uint32_t> crops = CropCells(barn);
    // The barn changes hands: it leaves its owner but stands on.
    HouseLeaveHandler(&barn);
    FillRandTable([](std::uint32_t) { return std::uint16_t{301}; });
    DecayBarnFields();
    int kept = 0;
    for (std::uint32_t cell : crops)
        kept += g_pObjectMap[cell] >= OBJECT_CROP_FIRST ? 1 : 0;
    EXPECT_GT(kept, 0);
    EXPECT_EQ(g_RandIndex, crops.size() - kept);
    EXPECT_TRUE(BarnDecayList().empty());
}

} // namespace
