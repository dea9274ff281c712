#include "units/unit_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/random_table.h"
#include "map/map_file.h"
#include "map/map_fixture.h"
#include "unit_world.h"
#include "units/house_queue.h"

namespace {

using unittest::CellCentre;
using unittest::kPlane;
using unittest::kShip;
using unittest::kSoldier;
using unittest::kTank;
using unittest::UnitWorld;

const char kAlarm[] = "Юнит(не самолет) вышел за пределы карты. Тревога!!!";

bool Contains(const std::vector<TUnit*>& units, const TUnit* u)
{
    return std::find(units.begin(), units.end(), u) != units.end();
}

TEST(UnitListsTest, CreatingAUnitDrawsOnceAndPlacesItWithoutAnOwner)
{
    UnitWorld world;
    const TFloatPoint at = CellCentre(10, 21);
    g_RandIndex = 7;
    TUnit* u = CreateUnit(at.x, at.y, kSoldier, 0);
    EXPECT_EQ(g_RandIndex, 8) << "one shared draw per created unit";
    EXPECT_EQ(u->X, at.x);
    EXPECT_EQ(u->GoalX, at.x);
    EXPECT_EQ(u->StepY, at.y);
    EXPECT_EQ(u->StartX, at.x);
    EXPECT_EQ(u->m_SpareY, at.y);
    EXPECT_EQ(u->MapX, 10);
    EXPECT_EQ(u->MapY, 21);
    EXPECT_TRUE(UnitWorld::Listed(10, 21).empty()) << "no cell list before it has an owner";
    EXPECT_EQ(NumUnits[0], 0);
    delete u;
}

TEST(UnitListsTest, AnAircraftIsCreatedInFlight)
{
    UnitWorld world;
    TUnit* u = CreateUnit(1000.0f, 500.0f, kPlane, 0);
    EXPECT_EQ(u->StopAtEnd, 1);
    EXPECT_EQ(u->Orient, 5);
    EXPECT_EQ(u->Heading, 0.7953982f);
    EXPECT_EQ(u->GoalX, 1100.0f);
    EXPECT_EQ(u->GoalY, 600.0f);
    EXPECT_EQ(u->StartX, 1000.0f - 100.0f * 0.05f);
    EXPECT_EQ(u->StartY, 500.0f - 100.0f * 0.05f);
    EXPECT_EQ(u->Halted, 0);
    EXPECT_EQ(u->Work, 5);
    EXPECT_EQ(u->NumWork, 14);
    delete u;
}

TEST(UnitListsTest, JoiningAPlayerCountsListsAndLinksTheUnit)
{
    UnitWorld world;
    TUnit* a = world.Add(1, kSoldier, 10, 21);
    TUnit* b = world.Add(1, kSoldier, 10, 21);
    TUnit* c = world.Add(1, kTank, 12, 30);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(NumUnits[1], 3);
    EXPECT_EQ(g_UnitTypeCount[1][kSoldier], 2);
    EXPECT_EQ(g_UnitTypeCount[1][kTank], 1);
    EXPECT_EQ(g_Strateg[1]->LiveUnits, 3u);
    EXPECT_EQ(NumUnits[0], 0);
    EXPECT_EQ(UnitWorld::Units(1), (std::vector<TUnit*>{c, b, a})) << "each new unit heads the list";
    EXPECT_EQ(UnitWorld::Listed(10, 21), (std::vector<TUnit*>{a, b}));
    EXPECT_EQ(UnitWorld::Listed(12, 30), (std::vector<TUnit*>{c}));
    EXPECT_EQ(c->Player, 1);
    EXPECT_EQ(c->m_pOwner, g_Strateg[1]);
    EXPECT_EQ(c->HitPoints, 110.0f) << "the owner's hit points";
    EXPECT_EQ(a->m_Index, 0);
    EXPECT_EQ(c->m_Index, 2);
}

TEST(UnitListsTest, TheFortyFirstUnitOfACellIsNotListed)
{
    UnitWorld world;
    std::vector<TUnit*> units;
    for (int i = 0; i < kCellUnitCapacity + 1; ++i)
        units.push_back(world.Add(0, kSoldier, 10, 21));
    const std::vector<TUnit*> listed = UnitWorld::Listed(10, 21);
    ASSERT_EQ(listed.size(), static_cast<std::size_t>(kCellUnitCapacity));
    EXPECT_FALSE(Contains(listed, units.back()));
    EXPECT_EQ(NumUnits[0], kCellUnitCapacity + 1) << "still the player's unit";
    // Once a place is free, the next move finds room.
    UnitWorld::Delete(units.front());
    UpdateUnitCellAlt(units.back());
    EXPECT_TRUE(Contains(UnitWorld::Listed(10, 21), units.back()));
}

TEST(UnitListsTest, MovingKeepsTheCellListsPacked)
{
    UnitWorld world;
    TUnit* a = world.Add(0, kSoldier, 10, 21);
    TUnit* b = world.Add(0, kSoldier, 10, 21);
    TUnit* c = world.Add(0, kSoldier, 10, 21);
    const TFloatPoint to = CellCentre(11, 21);
    b->X = to.x;
    b->Y = to.y;
    UpdateUnitCell(b);
    EXPECT_EQ(UnitWorld::Listed(10, 21), (std::vector<TUnit*>{a, c}));
    EXPECT_EQ(UnitWorld::Listed(11, 21), (std::vector<TUnit*>{b}));
    EXPECT_EQ(b->MapX, 11);
    EXPECT_TRUE(RemoveUnitFromCell(a));
    EXPECT_FALSE(RemoveUnitFromCell(a)) << "not there any more";
    EXPECT_EQ(UnitWorld::Listed(10, 21), (std::vector<TUnit*>{c}));
}

TEST(UnitListsTest, AGroundUnitPushedOffTheInnerAreaComesBackWithTheAlarm)
{
    UnitWorld world;
    maptest::LogWatch log;
    TUnit* u = world.Add(0, kSoldier, 5, 21);
    TUnit target(kSoldier, 0);
    u->AttackUnit = &target;
    u->PlayerAttack = 1;
    MoveUnitToCell(2, 21, u);
    EXPECT_EQ(log.Count(kAlarm), 1);
    EXPECT_EQ(u->MapX, 4);
    EXPECT_EQ(u->MapY, 21);
    const TFloatPoint centre = CellCentre(4, 21);
    EXPECT_EQ(u->X, centre.x);
    EXPECT_EQ(u->Y, centre.y);
    EXPECT_EQ(u->GoalX, centre.x);
    EXPECT_EQ(u->StepY, centre.y);
    EXPECT_EQ(u->AttackUnit, nullptr);
    EXPECT_EQ(u->PlayerAttack, UNIT_NO_PLAYER);
    EXPECT_TRUE(UnitWorld::Listed(5, 21).empty());
    EXPECT_EQ(UnitWorld::Listed(4, 21), (std::vector<TUnit*>{u}));
    EXPECT_EQ(world.stopped, (std::vector<TUnit*>{u}));
    // Rows clamp the same way, at the bottom too.
    MoveUnitToCell(6, g_MapHeight - 2, u);
    EXPECT_EQ(u->MapX, 6);
    EXPECT_EQ(u->MapY, g_MapHeight - 10);
}

TEST(UnitListsTest, AnAircraftOverTheBorderLeavesTheListsAndFliesOn)
{
    UnitWorld world;
    maptest::LogWatch log;
    TUnit* u = world.Add(0, kPlane, 5, 21);
    ASSERT_EQ(UnitWorld::Listed(5, 21), (std::vector<TUnit*>{u}));
    MoveUnitToCell(1, 21, u);
    EXPECT_TRUE(UnitWorld::Listed(5, 21).empty());
    EXPECT_TRUE(UnitWorld::Listed(1, 21).empty());
    EXPECT_EQ(log.Count(kAlarm), 0);
    EXPECT_TRUE(world.stopped.empty());
    MoveUnitToCell(0, 21, u);
    EXPECT_EQ(log.Count(kAlarm), 0) << "still the cell it left from";
    MoveUnitToCell(6, 21, u);
    EXPECT_EQ(UnitWorld::Listed(6, 21), (std::vector<TUnit*>{u}));
}

TEST(UnitListsTest, DeletionUnlinksHeadMiddleAndTail)
{
    UnitWorld world;
    std::vector<TUnit*> made;
    for (int i = 0; i < 5; ++i)
        made.push_back(world.Add(0, kSoldier, 10 + i, 21));
    // The list runs newest first: made[4] .. made[0].
    struct Case {
        int made;
        const char* where;
    };
    const Case cases[] = {{4, "head"}, {2, "middle"}, {0, "tail"}};
    std::vector<TUnit*> expected{made[3], made[1]};
    for (const Case& c : cases) {
        TUnit* u = made[c.made];
        TUnit* next = u->m_pNext;
        TUnit* cursor = u;
        u->WorkObject = UNIT_DELETE_PARAM;
        DeleteUnit(&cursor);
        EXPECT_EQ(cursor, next) << c.where;
        EXPECT_TRUE(UnitWorld::Listed(10 + c.made, 21).empty()) << c.where;
    }
    EXPECT_EQ(UnitWorld::Units(0), expected);
    EXPECT_EQ(NumUnits[0], 2);
    EXPECT_EQ(g_Strateg[0]->Dead, 0);
}

TEST(UnitListsTest, AUnitWithoutItsBackLinkIsStillUnlinked)
{
    UnitWorld world;
    maptest::LogWatch log;
    TUnit* a = world.Add(0, kSoldier, 10, 21);
    TUnit* b = world.Add(0, kSoldier, 11, 21);
    TUnit* c = world.Add(0, kSoldier, 12, 21);
    b->Prev = nullptr;
    UnitWorld::Delete(b);
    EXPECT_EQ(log.Count("DeleteUnit u->Prev==NULL"), 1);
    EXPECT_EQ(UnitWorld::Units(0), (std::vector<TUnit*>{c, a}));
}

TEST(UnitListsTest, OnlyTheDeletionMarkDeletes)
{
    UnitWorld world;
    TUnit* u = world.Add(0, kSoldier, 10, 21);
    u->WorkObject = 10;
    TUnit* cursor = u;
    DeleteUnit(&cursor);
    EXPECT_EQ(cursor, u);
    EXPECT_EQ(u->Dead, 0);
    EXPECT_EQ(NumUnits[0], 1);
    EXPECT_EQ(UnitWorld::Listed(10, 21), (std::vector<TUnit*>{u}));
}

TEST(UnitListsTest, TheLastUnitLeavesTheDefeatToThePlayersTurn)
{
    UnitWorld world;
    UnitWorld::Delete(world.Add(0, kSoldier, 10, 21));
    EXPECT_EQ(NumUnits[0], 0);
    EXPECT_EQ(g_Strateg[0]->FirstUnit, nullptr);
    EXPECT_EQ(g_Strateg[0]->Dead, 0);
}

TEST(UnitListsTest, DeletionClearsEveryReferenceToTheUnit)
{
    UnitWorld world;
    maptest::LogWatch log;
    TUnit* gone = world.Add(1, kShip, 20, 41);
    TUnit* attacker = world.Add(0, kSoldier, 10, 21);
    TUnit* passenger = world.Add(0, kSoldier, 11, 21);
    TUnit* gunner = world.Add(1, kTank, 12, 21);
    attacker->AttackUnit = gone;
    attacker->PlayerAttack = 1;
    attacker->HouseAttack = &g_pHouse[1][0];
    attacker->PlayerHouseAttack = 1;
    passenger->m_MyFutureTransporter = gone;
    passenger->Work = 21;
    gunner->GunTarget = gone;
    gunner->m_pOrderObject = gone;
    THouse& tower = g_pHouse[0][0];
    NumHouse[0] = 1;
    tower.TargetUnit = gone;
    tower.TargetPlayer = 1;
    ASSERT_EQ(g_ShipUnits, (std::vector<TUnit*>{gone}));

    UnitWorld::Delete(gone);
    EXPECT_EQ(attacker->AttackUnit, nullptr);
    EXPECT_EQ(attacker->PlayerAttack, UNIT_NO_PLAYER);
    EXPECT_EQ(attacker->HouseAttack, nullptr);
    EXPECT_EQ(world.cancelled, (std::vector<TUnit*>{attacker}));
    EXPECT_EQ(passenger->m_MyFutureTransporter, nullptr);
    EXPECT_EQ(passenger->Work, UNIT_NO_WORK);
    EXPECT_EQ(log.Count("DeleteUnit if (un->m_MyFutureTransporter==u || un->m_MyTransporter==u)"), 1);
    EXPECT_EQ(gunner->GunTarget, nullptr);
    EXPECT_EQ(gunner->m_pOrderObject, nullptr);
    EXPECT_EQ(tower.TargetUnit, nullptr);
    EXPECT_EQ(tower.TargetPlayer, UNIT_NO_PLAYER);
    EXPECT_TRUE(g_ShipUnits.empty());
}

TEST(UnitListsTest, FreeingAPlayersBuildingsClearsEveryPointerIntoThem)
{
    UnitWorld world;
    NumHouse[1] = 3;
    THouse* theirs = &g_pHouse[1][2];
    THouse* ours = &g_pHouse[0][0];
    TUnit* besieger = world.Add(0, kSoldier, 10, 21);
    TUnit* leaving = world.Add(0, kSoldier, 11, 21);
    TUnit* ordered = world.Add(0, kSoldier, 12, 21);
    TUnit* homeBound = world.Add(0, kSoldier, 13, 21);
    besieger->HouseAttack = theirs;
    besieger->PlayerHouseAttack = 1;
    leaving->House = theirs;
    leaving->Work = STAY_IN_HOUSE;
    ordered->m_pOrderObject = theirs;
    homeBound->House = ours;
    homeBound->HouseAttack = ours;
    homeBound->m_pOrderObject = ours;

    FreePlayerHouses(1);
    EXPECT_EQ(g_pHouse[1], nullptr);
    EXPECT_EQ(besieger->HouseAttack, nullptr);
    EXPECT_EQ(besieger->PlayerHouseAttack, UNIT_NO_PLAYER);
    EXPECT_EQ(world.cancelled, (std::vector<TUnit*>{besieger}));
    EXPECT_EQ(leaving->House, nullptr);
    EXPECT_EQ(leaving->Work, UNIT_NO_WORK);
    EXPECT_EQ(ordered->m_pOrderObject, nullptr);
    // Pointers into another player's buildings stay.
    EXPECT_EQ(homeBound->House, ours);
    EXPECT_EQ(homeBound->HouseAttack, ours);
    EXPECT_EQ(homeBound->m_pOrderObject, ours);
}

TEST(UnitListsTest, AShelteredOrTransportedUnitLeavesWhereItWas)
{
    UnitWorld world;
    THouse& h = g_pHouse[0][0];
    NumHouse[0] = 1;
    h.Capacity = 5;
    h.Selected = 1;
    h.Owner = 0;
    TUnit* a = world.Add(0, kSoldier, 10, 21);
    TUnit* b = world.Add(0, kSoldier, 10, 21);
    ASSERT_TRUE(PutUnitInHouse(a, &h));
    ASSERT_TRUE(PutUnitInHouse(b, &h));
    const int refreshes = world.panelRefreshes;
    UnitWorld::Delete(a);
    ASSERT_EQ(h.InsideCount, 1);
    EXPECT_EQ(h.Inside[0], b);
    EXPECT_EQ(world.panelRefreshes, refreshes + 1) << "the local player's selected building";

    TUnit* carried = world.Add(0, kSoldier, 11, 21);
    carried->Work = WORK_UNIT_TRANSPORTED;
    UnitWorld::Delete(carried);
    EXPECT_EQ(world.leftTransport, (std::vector<TUnit*>{carried}));
}

TEST(UnitListsTest, FreeDeadUnitFromHouseShiftsTheRestAndFreesTheEmptyArray)
{
    UnitWorld world;
    maptest::LogWatch log;
    THouse& h = g_pHouse[0][0];
    h.Capacity = 3;
    TUnit* a = world.Add(0, kSoldier, 10, 21);
    TUnit* b = world.Add(0, kSoldier, 10, 21);
    ASSERT_TRUE(PutUnitInHouse(a, &h) && PutUnitInHouse(b, &h));
    FreeDeadUnitFromHouse(&h, a);
    EXPECT_EQ(a->Work, UNIT_NO_WORK);
    ASSERT_EQ(h.InsideCount, 1);
    EXPECT_EQ(h.Inside[0], b);
    b->Work = 10;
    FreeDeadUnitFromHouse(&h, b);
    EXPECT_EQ(log.Count("Здесь бодяга FreeDeadUnitFromHouse"), 1) << "looked for all the same";
    EXPECT_EQ(h.InsideCount, 0);
    EXPECT_EQ(h.Inside, nullptr);
}

TEST(UnitListsTest, CreateUnitAtRefusesWithoutSideEffects)
{
    struct Case {
        const char* name;
        std::uint8_t player;
        std::uint16_t type;
        std::uint8_t skip;
        bool passable;
        bool mayStay;
        bool deadPlayer;
        bool created;
        std::uint16_t players = 2;
    };
    const Case cases[] = {
        {"a soldier", 0, kSoldier, 0, true, true, false, true},
        {"player beyond the game's players", 2, kSoldier, 0, true, true, false, false},
        {"player without a state", 2, kSoldier, 0, true, true, false, false, 3},
        {"dead player", 1, kSoldier, 0, true, true, true, false},
        {"type beyond the nation's table", 0, 40, 0, true, true, false, false},
        {"type the nation lacks", 0, 7, 0, true, true, false, false},
        {"point not passable", 0, kSoldier, 0, false, true, false, false},
        {"skip passes an impassable point", 0, kSoldier, 1, false, true, false, true},
        {"cell it may not stay in", 0, kSoldier, 0, true, false, false, false},
        {"ship that may not stay", 0, kShip, 0, true, false, false, false},
    };
    for (const Case& c : cases) {
        UnitWorld world;
        world.passable = c.passable;
        world.mayStay = c.mayStay;
        g_Strateg[1]->Dead = c.deadPlayer ? 1 : 0;
        g_wNumPlayer = c.players;
        const TFloatPoint at = CellCentre(10, 21);
        const std::uint16_t index = CreateUnitAt(at.x, at.y, c.player, c.type, c.skip);
        EXPECT_EQ(index != UNIT_NO_INDEX, c.created) << c.name;
        const int expected = c.created ? 1 : 0;
        EXPECT_EQ(NumUnits[c.player < 8 ? c.player : 0], expected) << c.name;
        EXPECT_EQ(UnitWorld::Listed(10, 21).size(), static_cast<std::size_t>(expected)) << c.name;
        EXPECT_TRUE(g_ShipUnits.empty()) << c.name;
    }
}

TEST(UnitListsTest, TypeOneIsMadeAsTypeZero)
{
    UnitWorld world;
    const TFloatPoint at = CellCentre(10, 21);
    ASSERT_NE(CreateUnitAt(at.x, at.y, 0, 1, 0), UNIT_NO_INDEX);
    EXPECT_EQ(g_Strateg[0]->FirstUnit->Type, 0);
    EXPECT_EQ(g_UnitTypeCount[0][0], 1);
    EXPECT_EQ(g_UnitTypeCount[0][1], 0);
}

TEST(UnitListsTest, ALargeUnitDefersItsBlockAndSettlesItOnRequest)
{
    UnitWorld world;
    g_AdvancedPathReleaseQueue.clear();
    g_AdvancedPathUnpathQueue.clear();
    TUnit* tank = world.Add(0, kTank, 10, 21);
    MoveUnitToCell(11, 21, tank);
    ASSERT_FALSE(g_AdvancedPathUnpathQueue.empty());
    EXPECT_EQ(g_AdvancedPathUnpathQueue.back().x, 11);
    EXPECT_EQ(g_AdvancedPathReleaseQueue.back().x, 10);
    const std::size_t released = g_AdvancedPathReleaseQueue.size();
    UnitWorld::Delete(tank);
    EXPECT_EQ(g_AdvancedPathReleaseQueue.size(), released + 1) << "one release for the deletion";
    EXPECT_EQ(g_AdvancedPathReleaseQueue.back().x, 11);

    // Settling: the nine cells of the block, and nothing else.
    const std::int32_t x = 10;
    const std::int32_t y = 21;
    SetUnpathOnAdvancedPath(x, y, 1);
    int flagged = 0;
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        flagged += (g_pCellFlags[i] & ADVANCED_PATH_UNIT_BIT) != 0 ? 1 : 0;
    EXPECT_EQ(flagged, 9);
    for (const plat::Point p : {plat::Point{x, y}, plat::Point{x + 1, y}, plat::Point{x - 1, y}, plat::Point{x, y - 2},
                                plat::Point{x, y + 2}, GetNeighbourPoint({x, y}, 1), GetNeighbourPoint({x, y}, 3)})
        EXPECT_NE(g_pCellFlags[p.y * g_MapWidth + p.x] & ADVANCED_PATH_UNIT_BIT, 0) << p.x << "," << p.y;
    g_pCellFlags[y * g_MapWidth + x] |= 1;
    FreeAdvancedPath(x, y, 1);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        EXPECT_EQ(g_pCellFlags[i] & ADVANCED_PATH_UNIT_BIT, 0);
    EXPECT_EQ(g_pCellFlags[y * g_MapWidth + x], 1) << "the map's own flag stays";
    EXPECT_EQ(world.recomputed.size(), 2u);
}

TEST(UnitListsTest, SettlingNearTheEdgeIsRefusedAndLogged)
{
    UnitWorld world;
    maptest::LogWatch log;
    FreeAdvancedPath(1, 20, 1);
    SetUnpathOnAdvancedPath(10, g_MapHeight - 3, 1);
    EXPECT_EQ(log.Count("FreeAdvancedPath"), 1);
    EXPECT_EQ(log.Count("SetUnpathOnAdvancedPath"), 1);
    EXPECT_TRUE(world.recomputed.empty());
}

TEST(UnitListsTest, NeutralUnitsAreListedAndFreedWithTheMap)
{
    UnitWorld world;
    const TFloatPoint at = CellCentre(10, 21);
    TUnit* a = CreateUnit(at.x, at.y, kSoldier, 0);
    TUnit* b = CreateUnit(at.x, at.y, kShip, 0);
    EXPECT_EQ(AddNeutralUnit(a), 0);
    EXPECT_EQ(AddNeutralUnit(b), 1);
    EXPECT_EQ(a->Player, UNIT_NEUTRAL_PLAYER);
    EXPECT_EQ(g_NeutralUnitList, b);
    EXPECT_EQ(UnitWorld::Listed(10, 21), (std::vector<TUnit*>{a, b}));
    FreeUnitsMap();
    EXPECT_EQ(g_NeutralUnitList, nullptr);
    EXPECT_EQ(g_NeutralUnitCount, 0);
    EXPECT_TRUE(UnitWorld::Listed(10, 21).empty());
    EXPECT_TRUE(g_ShipUnits.empty());
}

TEST(UnitListsTest, ShipGridFieldsReadTheUnit)
{
    UnitWorld world;
    TUnit* ship = world.Add(0, kShip, 20, 41);
    ship->Heading = 1.5f;
    TShipGridFields f;
    ASSERT_TRUE(GetShipGridFields(ship, f));
    EXPECT_EQ(f.x, ship->X);
    EXPECT_EQ(f.y, ship->Y);
    EXPECT_EQ(f.heading, 1.5f);
    EXPECT_EQ(f.type, kShip);
    EXPECT_EQ(f.dead, 0);
    ship->Dead = 1;
    ASSERT_TRUE(GetShipGridFields(ship, f));
    EXPECT_EQ(f.dead, 1);
    EXPECT_FALSE(GetShipGridFields(nullptr, f));
}

TEST(UnitListsTest, MapUnitsJoinTheirPlayerFacingTheStoredDirection)
{
    UnitWorld world;
    world.passable = false; // the map's own units skip the placement test
    const TFloatPoint at = CellCentre(10, 21);
    TMapUnitRecord soldier{at.x, at.y, kSoldier, 3};
    TMapUnitRecord plane{at.x, at.y, kPlane, 3};
    ASSERT_TRUE(CreateMapUnitFromRecord(1, soldier));
    EXPECT_EQ(g_Strateg[1]->FirstUnit->Orient, 2);
    ASSERT_TRUE(CreateMapUnitFromRecord(1, plane));
    EXPECT_EQ(g_Strateg[1]->FirstUnit->Orient, 5) << "aircraft keep their flight course";
    EXPECT_FALSE(CreateMapUnitFromRecord(5, soldier));
}

TEST(UnitListsTest, StartingTheModuleClearsCountersAndTypes)
{
    UnitWorld world;
    world.Add(0, kSoldier, 10, 21);
    g_HouseTypeCount[0][3] = 4;
    // The players' units are the players' to free; take them off first, as the teardown does.
    UnitWorld::Delete(g_Strateg[0]->FirstUnit);
    NumUnits[1] = 9;
    InitUnitsAndHouses();
    EXPECT_EQ(NumUnits[1], 0);
    EXPECT_EQ(g_UnitTypeCount[0][kSoldier], 0);
    EXPECT_EQ(g_HouseTypeCount[0][3], 0);
    EXPECT_EQ(g_UnitIdCounter, 0);
    EXPECT_EQ(GetUnitType(0, kSoldier), nullptr);
    EXPECT_EQ(g_pHouse[0], nullptr);
}

} // namespace
