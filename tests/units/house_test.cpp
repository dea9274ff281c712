#include "units/house.h"

#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "core/random_table.h"
#include "house_fixture.h"
#include "map/map_fixture.h"
#include "units/building_graphics.h"
#include "units/house_behaviour.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

using housetest::HouseWorld;
using maptest::LogWatch;

namespace {

TEST(House, FootprintTakesTheCodeAndTheReferenceHeight)
{
    HouseWorld w;
    for (int y = 20; y < 50; ++y)
        for (int x = 5; x < 25; ++x)
            w.SetHeight(x, y, static_cast<std::uint8_t>(x + y));
    const std::uint8_t h0 = w.Height(12, 30);
    THouse& h = w.Place(1, 12, 30, HOUSE_BARRACKS);
    EXPECT_EQ(h.Owner, 1);
    EXPECT_EQ(h.Index, 0);
    for (const plat::Point& p : FootprintCells({12, 30}, 3, 3)) {
        EXPECT_EQ(w.Code(p.x, p.y), PlayerHouseCode(1, 0)) << p.x << "," << p.y;
        EXPECT_EQ(w.Height(p.x, p.y), h0) << p.x << "," << p.y;
    }
    EXPECT_EQ(NumHouse[1], 1);
    EXPECT_EQ(g_HouseCounters[1].placed, 1u);
}

TEST(House, EdgeCellsAreSkippedAndLoggedAndClearingRemovesExactlyWhatPlacingSet)
{
    HouseWorld w;
    const std::vector<std::uint16_t> before(g_pObjectMap, g_pObjectMap + g_MapCellCount);
    LogWatch log;
    THouse& h = w.Place(0, 0, 30, HOUSE_BARRACKS);
    EXPECT_GT(log.Count("void THouse::SetOnMap() end of map"), 0);
    int inside = 0;
    for (const plat::Point& p : FootprintCells({0, 30}, 3, 3))
        if (CellPointInMap(p)) {
            ++inside;
            EXPECT_EQ(w.Code(p.x, p.y), PlayerHouseCode(0, 0));
        }
    EXPECT_GT(inside, 0);
    h.BuildWork = 5; // unfinished: taken off at once
    DestroyHouse(&h, 3);
    EXPECT_GT(log.Count("void THouse::DelOnMap() end of map"), 0);
    const std::vector<std::uint16_t> after(g_pObjectMap, g_pObjectMap + g_MapCellCount);
    EXPECT_EQ(before, after);
}

TEST(House, ApronsAndAirfieldsAreWrittenAndClearedWithTheReferenceHeight)
{
    struct Case {
        std::uint16_t type;
        int rows;
        std::uint16_t code;
    };
    for (const Case c : {Case{HOUSE_TANK_FACTORY, 2, OBJECT_TANK_APRON}, Case{HOUSE_AIR_HANGAR, 6, OBJECT_AIRFIELD}}) {
        HouseWorld w;
        w.SetHeight(15, 30, 33);
        THouse& h = w.Place(2, 15, 30, c.type);
        const std::vector<plat::Point> apron = ApronCells({15, 30}, HouseType(0, c.type).m_FootprintRows, c.rows);
        ASSERT_EQ(static_cast<int>(apron.size()), c.rows * HouseType(0, c.type).m_FootprintRows);
        for (const plat::Point& p : apron) {
            EXPECT_EQ(w.Code(p.x, p.y), c.code) << c.type;
            EXPECT_EQ(w.Height(p.x, p.y), 33) << c.type;
        }
        h.BuildWork = 1;
        DestroyHouse(&h, HOUSE_NO_DESTROYER);
        for (const plat::Point& p : apron)
            EXPECT_EQ(w.Code(p.x, p.y), kObjectFree) << c.type;
    }
}

TEST(House, DestroyedMakersLeaveTheirResourcePoints)
{
    const std::pair<std::uint16_t, std::uint16_t> cases[] = {
        {HOUSE_IRON_MAKER, OBJECT_IRON_POINT}, {HOUSE_GOLD_MAKER, OBJECT_GOLD_POINT}, {HOUSE_OIL_MAKER, OBJECT_OIL_POINT}};
    for (const auto& [type, code] : cases) {
        HouseWorld w;
        THouse& h = w.Place(0, 14, 30, type);
        h.BuildWork = 1;
        DestroyHouse(&h, HOUSE_NO_DESTROYER);
        EXPECT_EQ(w.Code(14, 30), code) << type;
    }
}

TEST(House, TwoStageDestructionByRuinCountAndFinishedState)
{
    struct Case {
        std::uint8_t ruins;
        bool finished;
        float hitPoints;
        bool stillOnMap;
        int leaveHandlers;
        bool countDropped;
    };
    const Case cases[] = {
        {2, true, HOUSE_HP_RUIN_START, true, 1, true},
        // A finished building without ruin pictures still costs its owner the type's count.
        {1, true, HOUSE_HP_OFF_MAP, false, 1, true},
        {0, true, HOUSE_HP_OFF_MAP, false, 1, true},
        {2, false, HOUSE_HP_OFF_MAP, false, 0, false},
        {1, false, HOUSE_HP_OFF_MAP, false, 0, false},
    };
    for (const Case& c : cases) {
        HouseWorld w;
        HouseType(0, HOUSE_BARRACKS).m_RuinPhaseCount = c.ruins;
        THouse& h = w.Place(4, 12, 30, HOUSE_BARRACKS);
        if (c.finished)
            h.BuildWork = 0;
        g_HouseTypeCount[4][HOUSE_BARRACKS] = 3;
        DestroyHouse(&h, 6);
        const std::string label = std::to_string(c.ruins) + (c.finished ? " finished" : " unfinished");
        EXPECT_EQ(h.HitPoints, c.hitPoints) << label;
        EXPECT_EQ(h.Destroyed, 1) << label;
        EXPECT_EQ(w.Code(12, 30) == PlayerHouseCode(4, 0), c.stillOnMap) << label;
        EXPECT_EQ(w.leaveHandlers, c.leaveHandlers) << label;
        EXPECT_EQ(g_HouseTypeCount[4][HOUSE_BARRACKS], c.countDropped ? 2 : 3) << label;
        EXPECT_FLOAT_EQ(w.powerDemand[4], c.countDropped ? -2.5f : 0.0f) << label;
        EXPECT_EQ(g_HouseCounters[6].destroyed, 1u) << label;
        EXPECT_EQ(g_HouseCounters[4].lost, 1u) << label;
        if (c.stillOnMap) {
            // The unit walk lowers a ruin; at -10000 the second stage takes it off the map.
            h.HitPoints = HOUSE_HP_STAGE_TWO;
            DestroyHouse(&h, HOUSE_NO_DESTROYER);
            EXPECT_EQ(h.HitPoints, HOUSE_HP_OFF_MAP) << label;
            EXPECT_EQ(w.Code(12, 30), kObjectFree) << label;
            EXPECT_EQ(g_HouseCounters[4].lost, 1u) << label;
        }
        // Once off the map, nothing more happens: a new building there keeps its cells.
        w.SetCode(12, 30, 4242);
        DestroyHouse(&h, HOUSE_NO_DESTROYER);
        EXPECT_EQ(w.Code(12, 30), 4242) << label;
    }
}

TEST(House, EachStageOfDestructionRunsOnceByFlagAndHitPoints)
{
    // What a call does to a finished building in each state: stage one only while it is not
    // destroyed, stage two once it is destroyed with hit points at -10000 or below (a ruin the unit
    // walk lowered, a finished emplacement at -1000000, a building changing hands at -1000001).
    struct Case {
        const char* what;
        std::uint8_t destroyed;
        float hitPoints;
        int leaveHandlers;
        float after;
        bool onMap;
    };
    const Case cases[] = {
        {"standing", 0, 500.0f, 1, HOUSE_HP_RUIN_START, true},
        {"a ruin hit again", 1, -5.0f, 0, -5.0f, true},
        {"a ruin at the second stage", 1, HOUSE_HP_STAGE_TWO, 0, HOUSE_HP_OFF_MAP, false},
        {"a finished emplacement", 1, -1000000.0f, 0, HOUSE_HP_OFF_MAP, false},
        {"a building changing hands", 1, -1000001.0f, 0, HOUSE_HP_OFF_MAP, false},
    };
    for (const Case& c : cases) {
        HouseWorld w;
        THouse& h = w.Place(3, 12, 30, HOUSE_BARRACKS);
        h.BuildWork = 0;
        g_HouseTypeCount[3][HOUSE_BARRACKS] = 2;
        h.Destroyed = c.destroyed;
        h.HitPoints = c.hitPoints;
        DestroyHouse(&h, 5);
        EXPECT_EQ(w.leaveHandlers, c.leaveHandlers) << c.what;
        EXPECT_EQ(g_HouseTypeCount[3][HOUSE_BARRACKS], 2 - c.leaveHandlers) << c.what;
        EXPECT_EQ(g_HouseCounters[3].lost, static_cast<std::uint32_t>(c.leaveHandlers)) << c.what;
        EXPECT_EQ(h.HitPoints, c.after) << c.what;
        EXPECT_EQ(w.Code(12, 30) == PlayerHouseCode(3, 0), c.onMap) << c.what;
        // A second call on what is left changes nothing more.
        w.SetCode(12, 30, c.onMap ? PlayerHouseCode(3, 0) : 4242);
        const float hp = h.HitPoints;
        DestroyHouse(&h, 5);
        EXPECT_EQ(w.leaveHandlers, c.leaveHandlers) << c.what;
        EXPECT_EQ(h.HitPoints, hp) << c.what;
        EXPECT_EQ(w.Code(12, 30), c.onMap ? PlayerHouseCode(3, 0) : 4242) << c.what;
    }
}

TEST(House, ABuildingStoredOffTheMapIsReadBackOffTheMap)
{
    HouseWorld w;
    THouse& gone = w.Place(2, 12, 30, HOUSE_BARRACKS);
    gone.BuildWork = 7;
    DestroyHouse(&gone, HOUSE_NO_DESTROYER);
    ASSERT_EQ(gone.OffMap, 1);
    std::uint8_t record[HOUSE_RECORD_SIZE];
    WriteHouseRecord(gone, record);

    // Another building stands there now; placing the stored one keeps its index but not its cells.
    w.SetCode(12, 30, 4242);
    THouse loaded;
    ASSERT_TRUE(ReadHouseRecord(record, loaded));
    EXPECT_EQ(loaded.OffMap, 1);
    NumHouse[2] = 0;
    EXPECT_EQ(PlaceLoadedHouse(2, &loaded), 0);
    EXPECT_EQ(NumHouse[2], 1);
    EXPECT_EQ(w.Code(12, 30), 4242);
    DestroyHouse(&g_pHouse[2][0], HOUSE_NO_DESTROYER);
    EXPECT_EQ(w.Code(12, 30), 4242);
}

TEST(House, AnEmplacementHoldsItsUnitTypesGraphicsWhileOnTheMap)
{
    // A unit type that counts its graphics references.
    struct CountingType : TBasicUnit {
        int refs = 0;
        void AddRef(std::uint8_t nation) override
        {
            EXPECT_EQ(nation, 0);
            ++refs;
        }
        void Release(std::uint8_t) override { --refs; }
    };
    HouseWorld w;
    HouseServices().takeEmplacementUnitGraphic = THouseServices::Default().takeEmplacementUnitGraphic;
    HouseServices().releaseEmplacementUnitGraphic = THouseServices::Default().releaseEmplacementUnitGraphic;
    TBasicUnit* saved = g_UnitTypes[EMPLACEMENT_UNIT_TYPE];
    CountingType howitzer;
    g_UnitTypes[EMPLACEMENT_UNIT_TYPE] = &howitzer;

    THouse& built = w.Place(0, 12, 30, HOUSE_UNIT_EMPLACEMENT);
    EXPECT_EQ(howitzer.refs, 1);
    w.Place(0, 20, 30, HOUSE_BARRACKS); // other buildings take nothing
    EXPECT_EQ(howitzer.refs, 1);
    std::uint8_t record[HOUSE_RECORD_SIZE];
    WriteHouseRecord(built, record);
    THouse loaded;
    ASSERT_TRUE(ReadHouseRecord(record, loaded));
    ASSERT_NE(PlaceLoadedHouse(1, &loaded), HOUSE_NONE);
    EXPECT_EQ(howitzer.refs, 2);

    // Finished, it is taken off the map at once and gives its reference back, once.
    built.Destroyed = 1;
    built.HitPoints = -1000000.0f;
    DestroyHouse(&built, HOUSE_NO_DESTROYER);
    EXPECT_EQ(howitzer.refs, 1);
    DestroyHouse(&built, HOUSE_NO_DESTROYER);
    EXPECT_EQ(howitzer.refs, 1);
    // A record stored off the map holds nothing.
    WriteHouseRecord(built, record);
    ASSERT_TRUE(ReadHouseRecord(record, loaded));
    ASSERT_NE(PlaceLoadedHouse(2, &loaded), HOUSE_NONE);
    EXPECT_EQ(howitzer.refs, 1);
    g_UnitTypes[EMPLACEMENT_UNIT_TYPE] = saved;
}

TEST(House, PortSideAndExitPoint)
{
    HouseWorld w;
    const THouseType& t = HouseType(0, HOUSE_PORT);
    const plat::Point ref{14, 30};
    const std::vector<plat::Point> foot = FootprintCells(ref, t.m_FootprintRows, t.m_FootprintCells);
    auto waterOn = [&](auto pick) {
        w.water.clear();
        for (int i = 0; i < static_cast<int>(foot.size()); ++i)
            if (pick(i / t.m_FootprintCells, i % t.m_FootprintCells)) {
                w.water.insert({foot[i].x, foot[i].y});
                const plat::Point east = GetNeighbourPoint(foot[i], 7);
                w.water.insert({east.x, east.y});
            }
    };
    const int last = t.m_FootprintRows - 1;
    waterOn([](int, int) { return true; });
    EXPECT_EQ(GetPortWaterSide(ref, t), PORT_SIDE_FIRST_ROW);
    waterOn([&](int r, int) { return r == last; });
    EXPECT_EQ(GetPortWaterSide(ref, t), PORT_SIDE_LAST_ROW);
    waterOn([](int, int c) { return c == 0; });
    EXPECT_EQ(GetPortWaterSide(ref, t), PORT_SIDE_FIRST_CELL);
    waterOn([&](int, int c) { return c == t.m_FootprintCells - 1; });
    EXPECT_EQ(GetPortWaterSide(ref, t), PORT_SIDE_LAST_CELL);
    // Dry land faces no water on any side.
    waterOn([](int, int) { return false; });
    EXPECT_EQ(GetPortWaterSide(ref, t), PORT_SIDE_NONE);

    // The exit point of the first-row side, from the cell's corner point.
    waterOn([](int r, int) { return r == 0; });
    THouse& h = w.Place(0, ref.x, ref.y, HOUSE_PORT);
    ASSERT_EQ(h.m_ShipSideForPort, PORT_SIDE_FIRST_ROW);
    const float c = t.m_FootprintCells;
    EXPECT_FLOAT_EQ(h.ExitX, 48.0f * (2 * ref.x - 1) + (-24 * c - 150));
    EXPECT_FLOAT_EQ(h.ExitY, 24.0f * ref.y + (123 - 12 * c));
    const float len = std::sqrt(125.0f);
    EXPECT_FLOAT_EQ(h.RallyX, h.ExitX + 1000.0f * -5.0f / len);
    EXPECT_FLOAT_EQ(h.RallyY, h.ExitY + 1000.0f * 10.0f / len);
    EXPECT_EQ(h.GetBuildState(), 5);
    EXPECT_FLOAT_EQ(h.Range, 1000.0f);
}

TEST(House, ClearUnitsUnderHouseWithAndWithoutFreePoints)
{
    HouseWorld w;
    TUnit a(0, 0), b(0, 0), dead(0, 0);
    a.X = 100.0f;
    a.Y = 100.0f;
    dead.Dead = 1;
    b.Work = STAY_IN_HOUSE; // sheltered in a building beside: it does not move
    const std::uint32_t poz = 30 * g_MapWidth + 12;
    ASSERT_TRUE(AddUnitToCell(poz, &a));
    ASSERT_TRUE(AddUnitToCell(poz, &dead));
    ASSERT_TRUE(AddUnitToCell(poz, &b));
    THouse* t = CreateHouseRecord(12, 30, HOUSE_PILLBOX, 0);
    // Whatever the type rule says, only living units outside buildings are pushed.
    HouseServices().mayPushUnit = [](const TUnit*) { return true; };

    LogWatch log;
    ClearUnitsUnderHouse(t, 12, 30);
    EXPECT_EQ(log.Count("ClearUnitsUnderHouse - no free point near"), 1);
    EXPECT_EQ(w.removed, (std::vector<TUnit*>{&a, &dead, &b}));

    w.removed.clear();
    // The nearest by dx² + 4dy²: (140, 100) beats (100, 125).
    w.freePoints = {{100.0f, 125.0f}, {140.0f, 100.0f}, {400.0f, 400.0f}};
    ClearUnitsUnderHouse(t, 12, 30);
    EXPECT_TRUE(w.removed.empty());
    ASSERT_EQ(w.pushed.size(), 1u);
    EXPECT_EQ(w.pushed[0].first, &a);
    EXPECT_FLOAT_EQ(w.pushed[0].second.x, 140.0f);
    RemoveUnitFromCell(poz, &a);
    RemoveUnitFromCell(poz, &dead);
    RemoveUnitFromCell(poz, &b);
    delete t;
}

TEST(House, NearestPointIsTheNearestEvenFarAway)
{
    const TFloatPoint points[] = {{5000.0f, 0.0f}, {300.0f, 0.0f}, {0.0f, 200.0f}};
    const TFloatPoint p = GetNearPointFromPoints(points, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(p.x, 300.0f);
    LogWatch log;
    const TFloatPoint none = GetNearPointFromPoints({}, 1.0f, 1.0f);
    EXPECT_EQ(none.x, 0.0f);
    EXPECT_EQ(log.Count("GetNearPointFromPoints"), 1);
}

TEST(House, TreeThinningDrawsOneSharedValuePerCell)
{
    HouseWorld w;
    for (int y = 0; y < g_MapHeight; ++y)
        for (int x = 0; x < g_MapWidth; ++x)
            w.SetCode(x, y, static_cast<std::uint16_t>(kObjectTreeFirst + (x + y) % 50));
    THouse* t = CreateHouseRecord(6, 14, HOUSE_LUMBER_MILL, 0);
    t->Index = 0;
    const std::uint16_t start = g_RandIndex;
    const std::vector<std::uint16_t> before(g_pObjectMap, g_pObjectMap + g_MapCellCount);
    ThinTreesAroundHouse(t);
    // x 4..11 (clamped at the playable border), y 10..24.
    EXPECT_EQ(static_cast<std::uint16_t>(g_RandIndex - start), 8 * 15);
    std::uint16_t k = start;
    for (int y = 10; y <= 24; ++y)
        for (int x = 4; x <= 11; ++x) {
            const bool cleared = g_RandTable[k++] < 16000;
            EXPECT_EQ(w.Code(x, y), cleared ? kObjectFree : before[y * g_MapWidth + x]) << x << "," << y;
        }
    EXPECT_EQ(w.Code(3, 14), before[14 * g_MapWidth + 3]);
    delete t;
}

TEST(House, RecordIsStoredAtItsOffsets)
{
    HouseWorld w;
    THouse* t = CreateHouseRecord(7, 21, HOUSE_WATCHTOWER, 0);
    t->Index = 12;
    t->Owner = 3;
    t->HitPoints = 123.5f;
    t->QueueCount = 65535;
    t->m_ShipSideForPort = PORT_SIDE_LAST_ROW;
    t->RuinHeld[1] = 1;
    t->HandlerBytes[9] = 0xAB;
    std::uint8_t bytes[HOUSE_RECORD_SIZE];
    WriteHouseRecord(*t, bytes);
    auto u16 = [&](int o) { return bytes[o] | (bytes[o + 1] << 8); };
    auto u32 = [&](int o) { return static_cast<std::uint32_t>(u16(o) | (u16(o + 2) << 16)); };
    EXPECT_EQ(u32(0), static_cast<std::uint32_t>(HOUSE_WATCHTOWER));
    EXPECT_EQ(u16(4), 12);
    EXPECT_EQ(u32(8), 7u);
    EXPECT_EQ(u32(12), 21u);
    EXPECT_EQ(u16(34), HOUSE_WATCHTOWER);
    float hp = 0;
    std::memcpy(&hp, bytes + 36, 4);
    EXPECT_EQ(hp, 123.5f);
    EXPECT_EQ(bytes[48], 1);   // keep inside
    EXPECT_EQ(u16(60), 65535);
    EXPECT_EQ(bytes[73], 3);
    EXPECT_EQ(bytes[90], 0xAB);
    EXPECT_EQ(bytes[116], 1);  // shots
    EXPECT_EQ(bytes[132], 255);
    EXPECT_EQ(bytes[140], 18); // a watchtower's fire value
    EXPECT_EQ(bytes[141], HOUSE_STATE_CONSTRUCTION);
    EXPECT_EQ(u32(172), PORT_SIDE_LAST_ROW);
    EXPECT_EQ(static_cast<std::int8_t>(bytes[184]), -1);
    EXPECT_EQ(bytes[191], 1);
    EXPECT_EQ(u32(44), 0u); // pointer slots hold 0

    THouse back;
    ASSERT_TRUE(ReadHouseRecord(bytes, back));
    EXPECT_EQ(back.TypeRecord, &HouseType(0, HOUSE_WATCHTOWER));
    EXPECT_EQ(back.Index, 12);
    EXPECT_EQ(back.HitPoints, 123.5f);
    EXPECT_EQ(back.QueueCount, 0); // the queue itself is not in the record
    EXPECT_EQ(back.HandlerBytes[9], 0xAB);
    EXPECT_EQ(back.m_ShipSideForPort, PORT_SIDE_LAST_ROW);

    bytes[0] = 200; // no such type
    LogWatch log;
    EXPECT_FALSE(ReadHouseRecord(bytes, back));
    EXPECT_EQ(back.Index, 12);
    EXPECT_FALSE(ReadHouseRecord(std::span<const std::uint8_t>(bytes, 100), back));
    delete t;
}

TEST(House, ArraysRefuseBeyondTheirCapacityAndWarnAboutManyBuildings)
{
    HouseWorld w;
    NumHouse[0] = HOUSE_MANY_WARNING;
    LogWatch log;
    const std::uint16_t index = AddHouseToPoint(0, 96.0f * 20, 24.0f * 40, HOUSE_PILLBOX);
    EXPECT_EQ(index, HOUSE_MANY_WARNING);
    EXPECT_EQ(log.Count("Много домов"), 1);

    NumHouse[0] = HOUSE_LAST_INDEX + 1;
    THouse* t = CreateHouseRecord(20, 50, HOUSE_PILLBOX, 0);
    EXPECT_EQ(AddHouse(0, t), HOUSE_NONE);
    EXPECT_EQ(w.Code(20, 50), kObjectFree);
    delete t;

    g_NeutralHouseCount = kNeutralHouseCapacity;
    EXPECT_EQ(AddNeutralHouseAt(10, 40, 2, false), HOUSE_NONE);
    g_NeutralHouseCount = 0;
}

TEST(House, NeutralHousesShareCellsOnlyAsTheRuleAllows)
{
    HouseWorld w;
    EXPECT_EQ(AddNeutralHouseAt(10, 40, 0, true), 0);
    EXPECT_EQ(w.Code(10, 40), kObjectNeutralHouseFirst);
    // A second haystack on the very same reference cell is refused; a farmhouse there too.
    EXPECT_EQ(AddNeutralHouseAt(10, 40, 1, true), HOUSE_NONE);
    EXPECT_EQ(AddNeutralHouseAt(10, 40, 2, true), HOUSE_NONE);
    EXPECT_EQ(AddNeutralHouseAt(20, 40, 2, true), 1);
    EXPECT_EQ(AddNeutralHouseAt(-1, 40, 2, true), HOUSE_NONE);
    EXPECT_EQ(g_NeutralHouseCount, 2);
}

TEST(House, BuildOrderPaysOnlyWhenAffordable)
{
    HouseWorld w;
    w.affordable = false;
    EXPECT_EQ(AddHouseToPointFull(0, 96.0f * 20, 24.0f * 40, HOUSE_PILLBOX), HOUSE_NONE);
    EXPECT_EQ(std::u16string(g_CantBuildReason), housetest::ReasonText(u"IDS_CANTBUILD_NO_MANY"));
    w.affordable = true;
    EXPECT_NE(AddHouseToPointFull(0, 96.0f * 20, 24.0f * 40, HOUSE_PILLBOX), HOUSE_NONE);
    EXPECT_EQ(w.payments, 1);
    LogWatch log;
    EXPECT_EQ(AddHouseToPointFull(0, 0.0f, 0.0f, 65001), HOUSE_NONE);
    EXPECT_EQ(log.Count("AddedHouse>65000"), 1);
}

TEST(House, AlarmCountdownTellsTheGroupManagerBelowOne)
{
    HouseWorld w;
    THouse& h = w.Place(0, 12, 30, HOUSE_PILLBOX);
    h.AlarmCountdown = 2;
    h.OnAttacked();
    EXPECT_EQ(h.AlarmCountdown, 1);
    EXPECT_EQ(w.alarms, 0);
    h.AlarmCountdown = 0;
    h.OnAttacked();
    EXPECT_EQ(w.alarms, 1);
    h.Destroyed = 1;
    h.OnAttacked();
    EXPECT_EQ(w.alarms, 1);
}

} // namespace
