#include "movement/passability.h"

#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "map/map_fixture.h"
#include "map/map_grid.h"
#include "support/test_world.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

using testworld::TestWorld;

constexpr std::int32_t kX = 10;
constexpr std::int32_t kY = 20;

bool LandFree(std::int32_t x, std::int32_t y)
{
    return g_pLandPassMap[CellIndex(x, y)] == 0;
}
bool VehicleFree(std::int32_t x, std::int32_t y)
{
    return g_pVehiclePassMap[CellIndex(x, y)] == 0;
}

// What one cell's contents make of it, for infantry and for vehicles.
TEST(PassMaps, EachKindOfCellForInfantryAndVehicles)
{
    struct Case {
        const char* label;
        std::function<void(TestWorld&)> arrange;
        bool land, vehicle;
    } cases[] = {
        {"open ground", [](TestWorld&) {}, true, true},
        {"tree of class 0", [](TestWorld& w) { w.SetObject(kX, kY, 9000), w.SetObjectClass(9000, 0); }, true, false},
        {"tree of class 2", [](TestWorld& w) { w.SetObject(kX, kY, 9001), w.SetObjectClass(9001, 2); }, true, true},
        {"stone of class 1", [](TestWorld& w) { w.SetObject(kX, kY, 9500), w.SetObjectClass(9500, 1); }, true, false},
        {"fence of class 0", [](TestWorld& w) { w.SetObject(kX, kY, 9600), w.SetObjectClass(9600, 0); }, false, true},
        {"fence of class 2", [](TestWorld& w) { w.SetObject(kX, kY, 9610), w.SetObjectClass(9610, 2); }, false, true},
        {"fence of class 3", [](TestWorld& w) { w.SetObject(kX, kY, 9611), w.SetObjectClass(9611, 3); }, true, true},
        {"crop field", [](TestWorld& w) { w.SetObject(kX, kY, 9694); }, true, true},
        {"player building", [](TestWorld& w) { w.SetObject(kX, kY, PlayerHouseCode(0, 3)); }, false, false},
        {"water", [](TestWorld& w) { w.SetWater(kX, kY); }, false, false},
        {"infantry block", [](TestWorld& w) { w.SetObject(kX, kY, 99); }, false, true},
        {"infantry block on a reserved cell", [](TestWorld& w) { w.SetObject(kX, kY, 99), w.SetAdvancedPath(kX, kY, 2); },
         false, true},
        {"reserved cell", [](TestWorld& w) { w.SetAdvancedPath(kX, kY, 2); }, false, false},
        {"cell blocked by the map file", [](TestWorld& w) { w.SetAdvancedPath(kX, kY, 1); }, false, false},
        {"reserved tree of class 2", [](TestWorld& w) { w.SetAdvancedPath(kX, kY, 2), w.SetObject(kX, kY, 9001), w.SetObjectClass(9001, 2); },
         false, false},
        {"slope 25", [](TestWorld& w) { w.SetHeight(kX + 1, kY, 75); }, true, true},
        {"slope 26", [](TestWorld& w) { w.SetHeight(kX + 1, kY, 76); }, true, false},
        {"slope 60", [](TestWorld& w) { w.SetHeight(kX + 1, kY, 110); }, true, false},
        {"slope 61", [](TestWorld& w) { w.SetHeight(kX + 1, kY, 111); }, false, false},
        {"slope 61 with a tree of class 2", [](TestWorld& w) { w.SetHeight(kX + 1, kY, 111), w.SetObject(kX, kY, 9001), w.SetObjectClass(9001, 2); },
         false, false},
        {"slope 20 with a tree of class 2", [](TestWorld& w) { w.SetHeight(kX + 1, kY, 70), w.SetObject(kX, kY, 9001), w.SetObjectClass(9001, 2); },
         true, true},
        {"reserved fence", [](TestWorld& w) { w.SetAdvancedPath(kX, kY, 1), w.SetObject(kX, kY, 9600); }, false, false},
        {"finished trench", [](TestWorld& w) { w.AddTrench(kX, kY, true); }, true, false},
        {"unfinished trench", [](TestWorld& w) { w.AddTrench(kX, kY, false); }, false, false},
        {"trench code naming another cell's entry",
         [](TestWorld& w) { w.AddTrench(kX + 2, kY, true), w.SetObject(kX, kY, kObjectTrenchListFirst); }, false, false},
        {"large neutral house", [](TestWorld& w) { w.AddNeutralHouse(kX, kY, 3); }, false, false},
        {"special point", [](TestWorld& w) { w.SetObject(kX, kY, 9602); }, false, false},
    };
    for (const Case& c : cases) {
        TestWorld w(24, 48);
        c.arrange(w);
        w.BuildPassMaps();
        EXPECT_EQ(LandFree(kX, kY), c.land) << c.label;
        EXPECT_EQ(VehicleFree(kX, kY), c.vehicle) << c.label;
        EXPECT_TRUE(LandFree(kX - 2, kY) && VehicleFree(kX - 2, kY)) << c.label;
    }
}

TEST(PassMaps, SmallNeutralHousesLeaveTheirPassageOpen)
{
    for (std::uint16_t type : {0, 1}) {
        TestWorld w(24, 48);
        const std::uint16_t index = w.AddNeutralHouse(kX, kY, type);
        const plat::Point house{kX, kY};
        const plat::Point above{kX, kY - 2};
        const plat::Point passage[] = {GetNeighbourPoint(house, type == 0 ? 1 : 4), above,
                                       GetNeighbourPoint(above, type == 0 ? 4 : 1)};
        const plat::Point closed[] = {GetNeighbourPoint(house, type == 0 ? 4 : 1), GetNeighbourPoint(above, type == 0 ? 1 : 4)};
        for (const plat::Point& p : passage)
            w.SetObject(p.x, p.y, TestWorld::NeutralHouseCode(index));
        for (const plat::Point& p : closed)
            w.SetObject(p.x, p.y, TestWorld::NeutralHouseCode(index));
        w.BuildPassMaps();
        EXPECT_FALSE(LandFree(kX, kY) || VehicleFree(kX, kY)) << type;
        for (const plat::Point& p : passage)
            EXPECT_TRUE(LandFree(p.x, p.y) && VehicleFree(p.x, p.y)) << type << " " << p.x << "," << p.y;
        for (const plat::Point& p : closed)
            EXPECT_FALSE(LandFree(p.x, p.y) || VehicleFree(p.x, p.y)) << type << " " << p.x << "," << p.y;
    }
}

TEST(PassMaps, SpecialPointBlocksFourVehicleCellsAround)
{
    TestWorld w(24, 48);
    w.SetObject(kX, kY, 9601);
    w.BuildPassMaps();
    const plat::Point n = GetNeighbourPoint({kX, kY}, 1);
    const plat::Point blocked[] = {n, {n.x, n.y + 2}, {n.x - 1, n.y}, {n.x - 1, n.y + 2}};
    for (const plat::Point& p : blocked) {
        EXPECT_FALSE(VehicleFree(p.x, p.y)) << p.x << "," << p.y;
        EXPECT_TRUE(LandFree(p.x, p.y)) << p.x << "," << p.y;
    }
    EXPECT_TRUE(VehicleFree(n.x + 1, n.y));
    EXPECT_TRUE(VehicleFree(kX, kY + 2));
}

TEST(PassMaps, BorderBandIsBlockedAndCarriesPenalty)
{
    TestWorld w(24, 48);
    const std::int32_t W = 24, H = 48;
    struct Case {
        std::int32_t x, y;
        bool free;
    } cases[] = {{3, 20, false}, {4, 20, true}, {W - 4, 20, true}, {W - 3, 20, false}, {10, 9, false},
                 {10, 10, true}, {10, H - 10, true}, {10, H - 9, false}, {0, 0, false}, {W - 1, H - 1, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(LandFree(c.x, c.y), c.free) << c.x << "," << c.y;
        EXPECT_EQ(VehicleFree(c.x, c.y), c.free) << c.x << "," << c.y;
        EXPECT_EQ(IsCellInPlayableArea(c.x, c.y), c.free) << c.x << "," << c.y;
    }
    EXPECT_EQ(g_pLandPenalty[CellIndex(0, 0)], PASS_BLOCKED_PENALTY);
}

// The land penalty: a third of the slope, 5 more where infantry cannot go, then the truncated mean
// of each cell's neighbourhood, in place: the border band's lower values reach every cell through
// the already smoothed ones before it, so a uniform area settles one below its raw value.
TEST(PassMaps, LandPenaltyOfSlopesAndBlockedAreas)
{
    TestWorld w(40, 80);
    // Rows of alternating heights 50 / 80 give every diamond a spread of 30: penalty 10.
    for (std::int32_t y = 0; y < 80; ++y)
        for (std::int32_t x = 0; x < 40; ++x)
            w.SetHeight(x, y, (x & 1) != 0 ? 80 : 50);
    for (std::int32_t y = 30; y < 50; ++y)
        for (std::int32_t x = 22; x < 32; ++x)
            w.SetObject(x, y, PlayerHouseCode(1, 0));
    w.BuildPassMaps();
    EXPECT_EQ(g_pLandPenalty[CellIndex(10, 40)], 10 - 1);
    EXPECT_EQ(g_pLandPenalty[CellIndex(27, 40)], 15 - 1);
    EXPECT_FALSE(VehicleFree(10, 40));
    EXPECT_TRUE(LandFree(10, 40));
}

// A deterministic scene with every kind of cell, so a partial refresh can be held against a full
// build of the same world.
void BuildMixedScene(TestWorld& w, std::uint32_t seed)
{
    std::uint32_t r = seed;
    const auto next = [&r] {
        r = r * 1664525u + 1013904223u;
        return r >> 8;
    };
    w.SetObjectClass(9000, 0);
    w.SetObjectClass(9001, 2);
    w.SetObjectClass(9600, 1);
    w.SetObjectClass(9601, 0);
    for (std::int32_t y = 0; y < g_MapHeight; ++y)
        for (std::int32_t x = 0; x < g_MapWidth; ++x) {
            w.SetHeight(x, y, static_cast<std::uint8_t>(40 + next() % 40));
            switch (next() % 14) {
            case 0: w.SetObject(x, y, 9000); break;
            case 1: w.SetObject(x, y, 9001); break;
            case 2: w.SetObject(x, y, 9600); break;
            case 3: w.SetObject(x, y, PlayerHouseCode(0, 1)); break;
            case 4: w.SetObject(x, y, 9601); break;
            case 5: w.SetWater(x, y); break;
            case 6: w.SetObject(x, y, 99); break;
            case 7: w.SetAdvancedPath(x, y, 1); break;
            default: break;
            }
        }
}

// After a change, the partial refresh gives each cell of its square what a full build gives it,
// up to the last playable column and row.
TEST(PassMaps, PartialRefreshMatchesFullBuildOnItsSquare)
{
    const std::int32_t W = 40, H = 80;
    struct Case {
        plat::Point where;
        std::uint16_t radius;
    } cases[] = {{{W - 4, H - 10}, 2}, {{W - 6, H - 12}, 3}, {{20, 40}, 4}, {{5, 12}, 3}, {{W - 2, H - 12}, 5}};
    for (const Case& c : cases) {
        TestWorld w(W, H);
        BuildMixedScene(w, 7u + static_cast<std::uint32_t>(c.where.x));
        w.BuildPassMaps();
        // Change everything in a ring around the point, then refresh only the square.
        for (std::int32_t y = c.where.y - c.radius; y <= c.where.y + c.radius; ++y)
            for (std::int32_t x = c.where.x - c.radius; x <= c.where.x + c.radius; ++x)
                if (CellPointInMap({x, y})) {
                    w.SetObject(x, y, (x + y) % 3 == 0 ? 9601 : (x + y) % 3 == 1 ? PlayerHouseCode(0, 2) : 0);
                    w.SetHeight(x, y, static_cast<std::uint8_t>(30 + 11 * ((x * 7 + y) % 9)));
                }
        MakePartOfBasicMap(c.where, c.radius);
        const std::vector<std::uint16_t> land(g_pLandPassMap, g_pLandPassMap + g_MapCellCount);
        const std::vector<std::uint16_t> vehicle(g_pVehiclePassMap, g_pVehiclePassMap + g_MapCellCount);
        MakeBasicMap();
        const std::int32_t c0 = std::max(4, c.where.x - c.radius - 2), c1 = std::min(W - 3, c.where.x + c.radius + 2);
        const std::int32_t r0 = std::max(10, c.where.y - c.radius - 2), r1 = std::min(H - 9, c.where.y + c.radius + 2);
        int compared = 0;
        for (std::int32_t y = r0; y < r1; ++y)
            for (std::int32_t x = c0; x < c1; ++x) {
                ++compared;
                EXPECT_EQ(land[CellIndex(x, y)], g_pLandPassMap[CellIndex(x, y)]) << "land " << x << "," << y;
                EXPECT_EQ(vehicle[CellIndex(x, y)], g_pVehiclePassMap[CellIndex(x, y)]) << "vehicle " << x << "," << y;
            }
        EXPECT_GT(compared, 0) << c.where.x;
    }
}

TEST(PassMaps, PartialRefreshKeepsToItsClampedSquare)
{
    TestWorld w(40, 80);
    for (std::int32_t y = 0; y < 80; ++y)
        for (std::int32_t x = 0; x < 40; ++x)
            w.SetObject(x, y, PlayerHouseCode(0, 0));
    maptest::LogWatch log;
    MakePartOfBasicMap({5, 20}, 3);
    for (std::int32_t x = 0; x < 12; ++x)
        EXPECT_EQ(LandFree(x, 20), x > 9) << x;
    EXPECT_TRUE(LandFree(6, 25));
    EXPECT_FALSE(LandFree(6, 24));
    EXPECT_EQ(log.Count("in void MakePartOfBasicMap(POINT Where,WORD Radius)"), 0);
    // A point beyond the map is reported, and its clamped square still refreshed.
    MakePartOfBasicMap({45, 30}, 7);
    EXPECT_EQ(log.Count("if (!ThisPointInMap(Where))    in void MakePartOfBasicMap(POINT Where,WORD Radius)"), 1);
    EXPECT_FALSE(LandFree(36, 30)); // the last playable column
    EXPECT_TRUE(LandFree(35, 30));
}

TEST(PassMaps, InfantryBlockOnReservedCellStopsVehiclesOnlyAfterARefresh)
{
    TestWorld w(24, 48);
    w.SetObject(kX, kY, 99);
    w.SetAdvancedPath(kX, kY, 2);
    w.BuildPassMaps();
    EXPECT_TRUE(VehicleFree(kX, kY));
    MakePartOfBasicMap({kX, kY}, 1);
    EXPECT_FALSE(VehicleFree(kX, kY));
    EXPECT_FALSE(LandFree(kX, kY));
}

TEST(PassMaps, MapsFollowTheMapTheyWereMadeFor)
{
    TestWorld big(60, 120);
    big.SetObject(50, 100, PlayerHouseCode(0, 0));
    big.BuildPassMaps();
    EXPECT_FALSE(LandFree(50, 100));
    EXPECT_TRUE(LandFree(50, 102));
    FreePathBuffers();
    MakePartOfBasicMap({50, 100}, 3);
    EXPECT_EQ(g_pLandPassMap, nullptr);
}

// ---- cell tests ----

TEST(CellTests, UsableNeighbourAndLandCells)
{
    TestWorld w(24, 48);
    w.SetObject(kX, kY, 9000);
    w.SetObjectClass(9000, 0);
    const plat::Point ne = GetNeighbourPoint({kX, kY + 2}, 5);
    w.SetAdvancedPath(kX, kY - 2, 2);
    w.BuildPassMaps();
    TUnit* rifleman = w.AddUnit(0, testworld::kRifleman, kX, kY + 2);
    TUnit* tank = w.AddUnit(0, testworld::kTank, kX, kY + 2);
    ASSERT_TRUE(rifleman && tank);
    ASSERT_NE(tank->Basic->ClosePath, 0);
    const std::uint32_t tree = static_cast<std::uint32_t>(CellIndex(kX, kY));
    EXPECT_TRUE(IsCellUsableByUnit(rifleman, tree));
    EXPECT_TRUE(IsCellUsableByUnit(nullptr, tree));
    EXPECT_FALSE(IsCellUsableByUnit(tank, tree));
    EXPECT_FALSE(IsCellUsableByUnit(nullptr, g_MapCellCount));
    EXPECT_TRUE(IsLandCellFree(tree));
    EXPECT_FALSE(IsLandCellFree(g_MapCellCount));
    // North of the unit lies the tree; two rows further the reserved cell.
    EXPECT_EQ(ne.y, kY);
    EXPECT_TRUE(IsNeighbourCellFree(rifleman, 5));
    EXPECT_FALSE(IsNeighbourCellFree(tank, 5));
    tank->MapY = kY;
    EXPECT_TRUE(IsNeighbourCellFree(tank, 5));  // the reserved cell takes a vehicle
    EXPECT_FALSE(IsCellUsableByUnit(tank, static_cast<std::uint32_t>(CellIndex(kX, kY - 2))));
    rifleman->MapY = kY;
    EXPECT_FALSE(IsNeighbourCellFree(rifleman, 5));
    rifleman->MapY = 11;
    EXPECT_FALSE(IsNeighbourCellFree(rifleman, 5)); // row 9: the border band
    tank->MapY = kY + 2;
    rifleman->MapY = kY + 2;
}

TEST(CellTests, PointPassableForTypesAndStandingUnits)
{
    TestWorld w(24, 48);
    w.SetWater(kX + 4, kY);
    w.BuildPassMaps();
    const testworld::TPixel open = testworld::CellCentre(kX, kY);
    const testworld::TPixel water = testworld::CellCentre(kX + 4, kY);
    const testworld::TPixel edge = testworld::CellCentre(3, kY);
    const auto passable = [](const testworld::TPixel& p, std::uint16_t type) {
        return IsPointPassable(static_cast<std::uint32_t>(p.x), static_cast<std::uint32_t>(p.y), type);
    };
    EXPECT_TRUE(passable(open, testworld::kRifleman));
    EXPECT_FALSE(passable(water, testworld::kRifleman));
    EXPECT_TRUE(passable(water, testworld::kDestroyer));
    EXPECT_FALSE(passable(open, testworld::kDestroyer));
    EXPECT_FALSE(passable(edge, testworld::kRifleman));
    EXPECT_FALSE(passable(open, 39)); // no such type
    TUnit* standing = w.AddUnit(1, testworld::kRifleman, kX, kY);
    ASSERT_NE(standing, nullptr);
    standing->Halted = 1;
    EXPECT_FALSE(passable(open, testworld::kRifleman));
    standing->Dead = 1;
    EXPECT_TRUE(passable(open, testworld::kRifleman));
    standing->Dead = 0;
    standing->Halted = 0;
    EXPECT_TRUE(passable(open, testworld::kRifleman));
}

TEST(CellTests, StayingInACellKeepsBodiesApart)
{
    TestWorld w(24, 48);
    w.SetWater(kX + 4, kY);
    w.BuildPassMaps();
    TUnit* a = w.AddUnit(0, testworld::kRifleman, kX, kY);
    TUnit* b = w.AddUnit(1, testworld::kRifleman, kX, kY + 2);
    TUnit* ship = w.AddUnit(0, testworld::kDestroyer, kX + 4, kY);
    ASSERT_TRUE(a && b && ship);
    const std::int16_t body = a->Basic->CrushSize;
    ASSERT_GT(body, 0);
    EXPECT_TRUE(CanUnitStayInCell(a));
    EXPECT_TRUE(CanUnitStayInCell(ship));
    b->X = a->X + static_cast<float>(body) - 1.0f;
    b->Y = a->Y;
    EXPECT_FALSE(CanUnitStayInCell(a));
    b->Dead = 1;
    EXPECT_TRUE(CanUnitStayInCell(a));
    b->Dead = 0;
    b->X = a->X + static_cast<float>(body);
    EXPECT_TRUE(CanUnitStayInCell(a));
    ship->MapX = kX + 2;
    EXPECT_FALSE(CanUnitStayInCell(ship));
}

TEST(CellTests, CellFreeForAUnitIsClampedIntoThePlayableArea)
{
    TestWorld w(24, 48);
    w.BuildPassMaps();
    struct Case {
        plat::Point cell, clamped;
    } cases[] = {{{2, 20}, {4, 20}}, {{30, 60}, {20, 38}}, {{10, 3}, {10, 10}}};
    for (const Case& c : cases) {
        plat::Point cell = c.cell;
        EXPECT_FALSE(IsCellFreeForUnit(cell, nullptr));
        EXPECT_EQ(cell.x, c.clamped.x);
        EXPECT_EQ(cell.y, c.clamped.y);
    }
    plat::Point open{kX, kY};
    EXPECT_TRUE(IsCellFreeForUnit(open, nullptr));
    TUnit* a = w.AddUnit(0, testworld::kRifleman, kX, kY);
    ASSERT_NE(a, nullptr);
    // The unit itself does not stand in its way; another at the test point does.
    EXPECT_TRUE(IsCellFreeForUnit(open, a));
    TUnit* b = w.AddUnit(1, testworld::kRifleman, kX, kY);
    b->X -= 20.0f;
    EXPECT_FALSE(IsCellFreeForUnit(open, a));
    EXPECT_FALSE(IsCellFreeForUnit(open, nullptr));
}

} // namespace
