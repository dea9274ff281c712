#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "combat/ship_geometry.h"
#include "combat/ship_graphics.h"
#include "combat/ship_movement.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_orders.h"
#include "core/archive.h"
#include "map/map_fixture.h"
#include "sample_types.h"
#include "unit_graphics.h"
#include "orders_world.h"
#include "support/test_world.h"
#include "test_support.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

constexpr float kPi = 3.14159265f;

using ErrorLogCapture = maptest::LogWatch;

// --- archive fixtures ---

void PutF32(std::vector<std::uint8_t>& out, float v)
{
    std::uint32_t u = 0;
    std::memcpy(&u, &v, 4);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}

// Entry 0 of a ship archive: two layers, one tower, a keel along y and a four-point outline.
std::vector<std::uint8_t> ShipRecord()
{
    std::vector<std::uint8_t> b{2, 2, 7, 7, 0, 1, 2, 3 /* k */, 1 /* towers */};
    for (float v : {0.0f, 10.0f, 0.0f})
        PutF32(b, v);
    b.push_back(1);
    for (float v : {90.0f, -90.0f, 0.0f, 0.0f, 0.0f, 0.0f})
        PutF32(b, v);
    PutF32(b, 0.0f);
    b.push_back(2);
    PutF32(b, 0.05f);
    b.push_back(3);
    for (int i = 0; i < 12; ++i)
        PutF32(b, 1.0f);
    b.push_back(1); // m
    b.push_back(9);
    b.insert(b.end(), 12, 0);
    b.push_back(2); // keel
    for (float v : {0.0f, -30.0f, 0.0f, 0.0f, 30.0f, 0.0f})
        PutF32(b, v);
    b.push_back(1); // outline
    for (float v : {1.0f, 2.0f, 3.0f})
        PutF32(b, v);
    b.push_back(4); // hull frames per sector
    b.push_back(2);
    b.push_back(3);
    for (int t = 0; t < 4; ++t)
        b.insert(b.end(), 3, static_cast<std::uint8_t>(t));
    return b;
}

// A part entry of frames x layers pictures, each one tile of 2 x 1 pixels.
std::vector<std::uint8_t> PartEntry(std::uint8_t frames, std::uint8_t layers)
{
    std::vector<std::uint8_t> b{frames, layers};
    for (int i = 0; i < frames * layers; ++i) {
        b.push_back(1); // one tile
        for (std::uint16_t v : {0, 0, 2, 1, 2, 1}) {
            b.push_back(static_cast<std::uint8_t>(v));
            b.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        for (std::uint32_t v : {4u, 0u})
            for (int k = 0; k < 4; ++k)
                b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
        b.insert(b.end(), 4, 0xAB);
    }
    return b;
}

TEST(ShipArchive, RecordReadsKeelFramesAndTowersScaled)
{
    const std::vector<std::uint8_t> entry = ShipRecord();
    TShipData d;
    ASSERT_TRUE(ParseShipRecord(entry, d));
    EXPECT_EQ(d.layerCount, 2);
    EXPECT_EQ(d.hullFrames, 4);
    EXPECT_EQ(d.constructionFrames, 2);
    EXPECT_EQ(d.wreckFrames, 3);
    ASSERT_EQ(d.keel.size(), 2u);
    EXPECT_FLOAT_EQ(d.keel[1].y, 30.0f * SHIP_POINT_SCALE);
    ASSERT_EQ(d.towers.size(), 1u);
    EXPECT_EQ(d.towers[0].barrelCount, 2);
    EXPECT_NEAR(d.towers[0].sectors[0][0], kPi / 2.0f, 1e-5f);
    EXPECT_EQ(d.tables[3], (std::vector<std::uint8_t>{3, 3, 3}));
    // Every shorter record is refused with a log line, never read past its end.
    for (std::size_t n = 0; n < entry.size(); ++n) {
        ErrorLogCapture log;
        TShipData cut;
        EXPECT_FALSE(ParseShipRecord({entry.data(), n}, cut)) << n;
        EXPECT_GE(log.Count("Ship archive"), 1) << n;
    }
}

TEST(ShipArchive, SampleShipsReadBackWhole)
{
    for (std::size_t index : {17u, 18u, 19u, 20u}) {
        const sampledata::SampleUnitType& type = sampledata::kSampleUnitTypes[index];
        std::vector<int> ids;
        for (const sampledata::LesSource& e : sampledata::MakeSampleShipArchive(type)) {
            ids.push_back(e.id);
            TShipData d;
            TShipPartFrames f;
            if (e.id == 0) {
                ASSERT_TRUE(ParseShipRecord(e.data, d)) << type.name;
                EXPECT_EQ(d.hullFrames, 4);
                EXPECT_EQ(d.towers.size(), type.type == 17 ? 0u : type.type == 18 ? 1u : 2u) << type.name;
                // The keel runs from the bow ahead of the ship's point (heading 0: up the screen).
                EXPECT_LT(ShipProject(d.keel[0]).y, 0.0f);
                EXPECT_NEAR(ShipProject(d.keel[0]).x, 0.0f, 1e-3f);
            } else if (e.id == SHIP_BOILING_ENTRY) {
                EXPECT_TRUE(ParseShipBoiling(e.data, d)) << type.name;
            } else {
                ASSERT_TRUE(ParseShipPartEntry(e.data, f)) << type.name << " entry " << e.id;
                EXPECT_EQ(f.layerCount, 2);
                EXPECT_EQ(f.frameCount, e.id <= 8 ? 4 : e.id <= 10 ? 17 : 4);
            }
        }
        std::vector<int> expected;
        for (int id = 0; id <= 18; ++id)
            expected.push_back(id);
        expected.push_back(255);
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(ids, expected) << type.name;
    }
}

TEST(ShipArchive, BoilingLineAndPartEntries)
{
    TShipData d;
    const std::string text = "1 5 10 0 0 -10 0 0";
    ASSERT_TRUE(ParseShipBoiling({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, d));
    EXPECT_EQ(d.boilingCount, 5);
    EXPECT_NEAR(std::hypot(d.boiling[0].x, d.boiling[0].y), 10.0f * SHIP_POINT_SCALE, 1e-3f);
    TShipPartFrames f;
    const std::vector<std::uint8_t> part = PartEntry(3, 2);
    ASSERT_TRUE(ParseShipPartEntry(part, f));
    ASSERT_NE(f.Picture(1, 2), nullptr);
    EXPECT_EQ(f.Picture(1, 2)->Tiles()[0].dataWidth, 2);
    EXPECT_EQ(f.Picture(1, 9), f.Picture(1, 2)) << "a frame beyond the part shows its last";
    ErrorLogCapture log;
    EXPECT_FALSE(ParseShipPartEntry({part.data(), part.size() - 1}, f));
    std::vector<std::uint8_t> longer = part;
    longer.push_back(0);
    EXPECT_FALSE(ParseShipPartEntry(longer, f));
}

// --- parts ---

class ShipPartsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = g_ShipPartServices;
        g_ShipPartServices.request = [this](TShipData* d, std::uint8_t kind, std::uint8_t second) {
            requests.push_back({kind, second});
            if (loadNow)
                ShipPartsStep(d, kind, second, 0);
        };
        g_ShipPartServices.readEntry = [this](std::uint32_t, std::uint16_t id, std::uint32_t* size) -> std::uint8_t* {
            reads.push_back(id);
            if (id == badEntry)
                return nullptr;
            const std::vector<std::uint8_t> e = PartEntry(1, 1);
            auto* buffer = new std::uint8_t[e.size()];
            std::memcpy(buffer, e.data(), e.size());
            *size = static_cast<std::uint32_t>(e.size());
            return buffer;
        };
    }
    void TearDown() override { g_ShipPartServices = saved; }

    TShipPartServices saved;
    std::vector<std::pair<int, int>> requests;
    std::vector<int> reads;
    bool loadNow = true;
    int badEntry = -1;
    TShipData data;
};

TEST_F(ShipPartsTest, UseCountsLoadOnceAndFreeOnLastRelease)
{
    ASSERT_TRUE(GetShipPart(&data, SHIP_PART_HULL, 3));
    ASSERT_TRUE(GetShipPart(&data, SHIP_PART_HULL, 3));
    EXPECT_EQ(requests, (std::vector<std::pair<int, int>>{{0, 4}}));
    EXPECT_EQ(reads, (std::vector<int>{4}));
    TShipPart* part = GetShipPartSlot(&data, SHIP_PART_HULL, 3);
    EXPECT_EQ(part->state.load(), SHIP_PART_LOADED);
    ReleaseShipPart(&data, SHIP_PART_HULL, 3);
    EXPECT_NE(part->frames, nullptr);
    ReleaseShipPart(&data, SHIP_PART_HULL, 3);
    EXPECT_EQ(part->frames, nullptr);
    EXPECT_EQ(part->state.load(), SHIP_PART_NOT_LOADED);
    // Construction pictures exist for orientations 5 and 7 only, from entries 10 and 9.
    EXPECT_EQ(GetShipPartSlot(&data, SHIP_PART_CONSTRUCTION, 6), nullptr);
    EXPECT_FALSE(GetShipPart(&data, SHIP_PART_CONSTRUCTION, 0));
    EXPECT_EQ(ShipPartEntryId(SHIP_PART_CONSTRUCTION, 5), 10);
    EXPECT_EQ(ShipPartEntryId(SHIP_PART_CONSTRUCTION, 7), 9);
    EXPECT_EQ(ShipPartEntryId(SHIP_PART_WRECK, 7), 18);
}

TEST_F(ShipPartsTest, UnreadablePartEndsFailedAndReleasesWithoutWaiting)
{
    badEntry = 12;
    ErrorLogCapture log;
    ASSERT_TRUE(GetShipPart(&data, SHIP_PART_WRECK, 1));
    TShipPart* part = GetShipPartSlot(&data, SHIP_PART_WRECK, 1);
    EXPECT_EQ(part->state.load(), SHIP_PART_FAILED);
    EXPECT_EQ(part->frames, nullptr);
    EXPECT_EQ(log.Count("part entry missing"), 1);
    ReleaseShipPart(&data, SHIP_PART_WRECK, 1);
    EXPECT_EQ(part->state.load(), SHIP_PART_NOT_LOADED);
    // A dropped request ends failed too.
    loadNow = false;
    ASSERT_TRUE(GetShipPart(&data, SHIP_PART_HULL, 0));
    EXPECT_EQ(GetShipPartSlot(&data, SHIP_PART_HULL, 0)->state.load(), SHIP_PART_REQUESTED);
    ShipPartDropped(&data, SHIP_PART_HULL, 1);
    EXPECT_EQ(GetShipPartSlot(&data, SHIP_PART_HULL, 0)->state.load(), SHIP_PART_FAILED);
}

TEST(ShipDrawing, BuildFacingOtherThanFiveOrSevenIsRefused)
{
    TShipData d;
    ErrorLogCapture log;
    DrawBuild(&d, 6.0f * kPi / 4.0f + 0.01f, 0, 0.0f, 0.0f);
    EXPECT_EQ(log.Count("Wrong orient for ship building in DrawBuild() !!!"), 1);
    DrawBuild(&d, 5.0f * kPi / 4.0f + 0.01f, 0, 0.0f, 0.0f);
    EXPECT_EQ(log.Count("Wrong orient"), 1);
    AddShipBoiling(&d, 0.0f, 0.0f, 0);
    EXPECT_EQ(log.Count("No have boiling for ship "), 1);
}

// --- planner and line test ---

TShipPlanGrid SmallGrid(const std::vector<const char*>& rows)
{
    TShipPlanGrid g;
    g.height = static_cast<std::int32_t>(rows.size());
    g.width = static_cast<std::int32_t>(std::strlen(rows[0]));
    for (const char* r : rows)
        for (const char* c = r; *c; ++c)
            g.cells.push_back(*c == '#' ? 10 : *c == 's' ? 15 : 0);
    return g;
}

TEST(ShipPlanner, LineTestAndRouteRoundAnIsland)
{
    const TShipPlanGrid g = SmallGrid({
        "..........",
        "....#.....",
        "....#.....",
        "....#.....",
        "..........",
    });
    EXPECT_TRUE(ShipLineClear(g, 0, 0, 9, 0));
    EXPECT_FALSE(ShipLineClear(g, 0, 2, 9, 2));
    std::int32_t c = 0, r = 0;
    ASSERT_TRUE(ShipPlan(g, 0, 2, 9, 2, c, r));
    EXPECT_TRUE(ShipLineClear(g, 0, 2, c, r));
    EXPECT_TRUE(c > 0 && (r == 0 || r == 4 || c >= 3)) << c << "," << r;
    // A goal walled in cannot be reached, and the search ends.
    const TShipPlanGrid walled = SmallGrid({
        "......###.",
        "......#.#.",
        "......###.",
    });
    EXPECT_FALSE(ShipPlan(walled, 0, 1, 7, 1, c, r));
    // Ship cells block the line only between the third and the fourteenth step.
    const TShipPlanGrid ships = SmallGrid({"..s............s.."});
    EXPECT_TRUE(ShipLineClear(ships, 0, 0, 17, 0));
    const TShipPlanGrid mid = SmallGrid({"......s..........."});
    EXPECT_FALSE(ShipLineClear(mid, 0, 0, 17, 0));
}

TEST(ShipPlanner, LargeOpenSeaNeverOverrunsTheQueue)
{
    TShipPlanGrid g;
    g.width = 300;
    g.height = 300;
    g.cells.assign(300 * 300, 0);
    for (int r = 0; r < 299; ++r)
        g.cells[static_cast<std::size_t>(r) * 300 + 150] = 10;
    std::int32_t c = 0, r = 0;
    ASSERT_TRUE(ShipPlan(g, 10, 10, 290, 10, c, r));
    EXPECT_TRUE(ShipLineClear(g, 10, 10, c, r));
}

// --- movement on the test world ---

class ShipMoveTest : public ::testing::Test {
protected:
    ShipMoveTest() : world({{0, 0}, {1, 0}}) {}
    TUnit* Ship(float x, float y, std::uint16_t type = testworld::kDestroyer, std::uint8_t player = 0)
    {
        TUnit* u = world.AddUnit(player, type, 10, 10);
        u->X = x;
        u->Y = y;
        u->Work = UNIT_NO_WORK;
        u->Upright = SHIP_MODE_FORWARD;
        if (std::find(g_ShipUnits.begin(), g_ShipUnits.end(), u) == g_ShipUnits.end())
            g_ShipUnits.push_back(u);
        return u;
    }
    static void Sail(TUnit* u, float vx, float vy)
    {
        u->VX = vx;
        u->VY = vy;
        u->Heading = ShipVelocityHeading(vx, vy);
        u->StepX = u->GoalX = u->X + vx * 1000.0f;
        u->StepY = u->GoalY = u->Y + vy * 1000.0f;
    }
    orderstest::OrdersWorld world;
};

TEST_F(ShipMoveTest, BlocksWayByAngleBands)
{
    struct Case {
        const char* name;
        float ox, oy;      // the other ship relative to this one (this one sails up the screen)
        float otherHeading; // radians, 0 up the screen
        bool blocks;
    };
    const Case cases[] = {
        {"close ahead", 0.0f, -200.0f, kPi / 2.0f, true},
        {"behind", 0.0f, 300.0f, 0.0f, false},
        {"far ahead within 45 degrees", 100.0f, -600.0f, kPi / 2.0f, true},
        {"head-on beyond 700", 0.0f, -800.0f, kPi, false},
        {"head-on at 50 degrees off the bow", -380.0f, -320.0f, kPi, false},
        {"crossing at 50 degrees off the bow", -380.0f, -320.0f, kPi / 2.0f, true},
        {"same course at 50 degrees off the bow", -380.0f, -320.0f, 0.0f, false},
    };
    TUnit* a = Ship(1500.0f, 1000.0f);
    TUnit* b = Ship(0.0f, 0.0f);
    for (const Case& c : cases) {
        Sail(a, 0.0f, -3.0f);
        b->X = a->X + c.ox;
        b->Y = a->Y + c.oy;
        b->Heading = c.otherHeading;
        EXPECT_EQ(ShipBlocksWay(a, b), c.blocks) << c.name;
    }
}

TEST_F(ShipMoveTest, BlockedDistancesByType)
{
    TUnit* a = Ship(1500.0f, 1000.0f);
    TUnit* b = Ship(1500.0f, 550.0f);
    Sail(a, 0.0f, -3.0f);
    b->Heading = kPi / 2.0f; // crossing
    EXPECT_TRUE(IsShipBlocked(a)) << "450 pixels ahead";
    // Both of type 18: only within 500.
    b->Y = 1000.0f - 550.0f;
    EXPECT_FALSE(IsShipBlocked(a));
    b->Type = 19;
    EXPECT_TRUE(IsShipBlocked(a));
    b->Dead = 1;
    EXPECT_FALSE(IsShipBlocked(a));
}

TEST_F(ShipMoveTest, RampsScaleTheStepAndTurningHoldsTheShip)
{
    TUnit* s = Ship(1500.0f, 1500.0f);
    Sail(s, 0.0f, -4.0f);
    s->Work = SHIP_WORK_STARTING;
    s->WorkObject = 11; // counted down to 10 first: half the velocity
    MakeMoveShip(s);
    EXPECT_NEAR(s->Y, 1498.0f, 1e-3f);
    s->Work = SHIP_WORK_STOPPING;
    s->WorkObject = 11;
    const float y = s->Y;
    MakeMoveShip(s);
    EXPECT_NEAR(s->Y, y - 2.0f, 1e-3f);
    // Facing away from the course: the ship turns one step and does not advance.
    Sail(s, 0.0f, -4.0f);
    s->Work = UNIT_NO_WORK;
    s->Heading = kPi / 2.0f;
    const float x0 = s->X, y0 = s->Y;
    MakeMoveShip(s);
    EXPECT_EQ(s->X, x0);
    EXPECT_EQ(s->Y, y0);
    EXPECT_NEAR(s->Heading, kPi / 2.0f - s->Basic->TurnStep, 1e-4f);
}

TEST_F(ShipMoveTest, OutlineAndKeelFollowTheHeading)
{
    TUnit* s = Ship(1000.0f, 1000.0f);
    TShipData d;
    d.hullFrames = 1;
    d.keel = {{0.0f, -100.0f, 0.0f}, {0.0f, 100.0f, 0.0f}};
    s->Heading = 0.0f;
    s->GroundHeight = 0.0f;
    const TShipQuad q = ShipHullOutline(&d, s);
    // The keel (0, +-100) projects to (-+86.6, -+50) about the ship, lowered 55.
    EXPECT_NEAR((q[0].x + q[3].x) / 2.0f, 1000.0f + 86.6025f, 1e-2f);
    EXPECT_NEAR((q[0].y + q[3].y) / 2.0f, 1000.0f + 50.0f + 55.0f, 1e-2f);
    EXPECT_TRUE(ShipQuadContains(q, 1000.0f, 1055.0f));
    EXPECT_FALSE(ShipQuadContains(q, 1000.0f, 900.0f));
    const TShipVec3 k = ShipNearestKeelPoint(&d, s, 2000.0f, 1050.0f);
    EXPECT_NEAR(k.x, 1000.0f + 86.6025f, 1e-2f);
    // Turned by less than one frame step (45 degrees here), the drawing angle and outline stay.
    s->Heading = 0.5f;
    const TShipQuad same = ShipHullOutline(&d, s);
    EXPECT_NEAR(same[0].x, q[0].x, 1e-3f);
    TUnit* other = Ship(1050.0f, 1030.0f);
    other->GroundHeight = 0.0f;
    EXPECT_TRUE(ShipQuadsIntersect(q, ShipHullOutline(&d, other)));
    other->X = 1000.0f;
    other->Y = 1300.0f;
    EXPECT_FALSE(ShipQuadsIntersect(q, ShipHullOutline(&d, other)));
}

TEST_F(ShipMoveTest, AShipWithNoWayStopsAfterItsRetries)
{
    // The test world has no water: no leg can ever be planned.
    TUnit* s = Ship(1500.0f, 1000.0f);
    GoToPoint(s, 2500.0f, 1000.0f, 1);
    EXPECT_EQ(s->m_PathRetries, 1);
    EXPECT_EQ(s->WaitCount, 40);
    int cycles = 0;
    while (cycles < 2000 && (s->GoalX != s->X || s->m_PathRetries != 0)) {
        MakeMoveShip(s);
        ++cycles;
    }
    EXPECT_LT(cycles, 2000) << "the ship gives up";
    EXPECT_GE(cycles, 9 * 40);
    EXPECT_EQ(s->VX, 0.0f);
    EXPECT_EQ(s->VY, 0.0f);
    EXPECT_EQ(s->X, 1500.0f);
    EXPECT_EQ(s->Work, UNIT_NO_WORK);
    EXPECT_EQ(s->Upright, SHIP_MODE_FORWARD);
}

TEST_F(ShipMoveTest, FireAtStopsAndTurnsTowardTheTarget)
{
    TUnit* s = Ship(1000.0f, 1000.0f);
    Sail(s, 0.0f, -3.0f);
    // A destroyer keeps sailing at a unit target beyond 900 pixels.
    ShipFireAt(s, 1000.0f, 0.0f, 0, 0);
    EXPECT_EQ(s->VY, -3.0f);
    ShipFireAt(s, 1500.0f, 1000.0f, 0, 0);
    EXPECT_EQ(s->GoalX, 1000.0f);
    EXPECT_NEAR(ShipVelocityHeading(s->VX, s->VY), ShipVelocityHeading(500.0f, 0.0f), 1e-4f);
    EXPECT_NEAR(std::hypot(s->VX, s->VY), 10.0f, 1e-4f);
}

} // namespace
