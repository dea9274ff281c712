#include "movement/directions.h"

#include <gtest/gtest.h>

#include "combat/work_states.h"
#include "map/map_fixture.h"
#include "support/test_world.h"
#include "units/unit.h"

namespace {

using testworld::CellCentre;

// Every direction's pixel step leads from a cell's centre to its neighbour's centre, the diamond
// rule takes that point back to the neighbour, the reverse leads home, and the orient of the step
// is the direction's orient.
TEST(Directions, StepsNeighboursReversesAndOrientsAgree)
{
    maptest::TestMap map(20, 40);
    for (const plat::Point cell : {plat::Point{5, 4}, plat::Point{5, 3}, plat::Point{10, 21}}) {
        const testworld::TPixel c = CellCentre(cell.x, cell.y);
        for (std::uint8_t d = 1; d <= 8; ++d) {
            const plat::Point n = GetNeighbourPoint(cell, d);
            const TDirStep step = GetDxDyUseDirection(d);
            const testworld::TPixel nc = CellCentre(n.x, n.y);
            EXPECT_EQ(nc.x - c.x, step.dx) << int(d);
            EXPECT_EQ(nc.y - c.y, step.dy) << int(d);
            const plat::Point back = PixelToFlatCell(nc.x, nc.y);
            EXPECT_EQ(back.x, n.x) << int(d);
            EXPECT_EQ(back.y, n.y) << int(d);
            const plat::Point home = GetNeighbourPoint(n, g_ReverseDirection[d]);
            EXPECT_EQ(home.x, cell.x) << int(d);
            EXPECT_EQ(home.y, cell.y) << int(d);
            EXPECT_EQ(GetOrientOfVector(static_cast<float>(step.dx), static_cast<float>(step.dy)), GetOrientUseDirection(d))
                << int(d);
            EXPECT_EQ(g_DirWaveCost[d], d >= 7 ? 16 : 9);
        }
    }
    // The neighbours the grid's users quote: NE of (5, 4) is (5, 3), NE of (5, 3) is (6, 2).
    EXPECT_EQ(GetNeighbourPoint({5, 4}, 1).x, 5);
    EXPECT_EQ(GetNeighbourPoint({5, 3}, 1).x, 6);
    EXPECT_EQ(GetNeighbourPoint({5, 3}, 1).y, 2);
}

TEST(Directions, DiamondRuleAtCornersOfTheCell)
{
    struct Case {
        float x, y;
        plat::Point cell;
    } cases[] = {{0, 0, {0, 0}}, {48, 24, {0, 1}}, {95, 1, {1, 0}}, {47, 23, {0, 1}}, {10, 5, {0, 0}},
                 {96 * 3 + 10, 24 * 7, {3, 7}}, {96 * 3 + 48, 24 * 7, {3, 7}}};
    for (const Case& c : cases) {
        const plat::Point p = PixelToFlatCell(c.x, c.y);
        EXPECT_EQ(p.x, c.cell.x) << c.x << "," << c.y;
        EXPECT_EQ(p.y, c.cell.y) << c.x << "," << c.y;
    }
}

TEST(Directions, OrientAndDirectionTablesRoundTrip)
{
    for (std::uint8_t o = 0; o < 8; ++o) {
        EXPECT_EQ(GetOrientUseDirection(GetDirectionUseOrient(o)), o);
        EXPECT_EQ(GetBackDirection(GetBackDirection(o)), o);
        EXPECT_EQ(GetOrtogonalDirection(o), (o + 2) % 8);
        // The orient of its own sign vector, and the quarter turn of it.
        const TDirSign hv = GetHorizontalAndVertical(o);
        EXPECT_EQ(GetOrientOfVector(static_cast<float>(hv.h), static_cast<float>(hv.v)), o);
        const TDirSign ortho = GetOrtogonalVector(o);
        const TDirSign turned = GetHorizontalAndVertical(GetOrtogonalDirection(o));
        EXPECT_EQ(ortho.h, turned.h);
        EXPECT_EQ(ortho.v, turned.v);
        // An orient and its opposite share one perpendicular on the east/north side.
        const std::uint8_t right = GetOrtogonalDirectionRight(o);
        EXPECT_EQ(right, GetOrtogonalDirectionRight(GetBackDirection(o)));
        EXPECT_TRUE(right == 6 || right == 7 || right == 0 || right == 5) << int(o);
    }
    EXPECT_EQ(GetOrtogonalDirectionRight(4), 6);
    EXPECT_EQ(GetOrtogonalDirectionRight(0), 6);
}

TEST(Directions, BadArgumentsAreLoggedAndGiveTheirFixedValue)
{
    maptest::LogWatch log;
    EXPECT_EQ(GetDirectionUseOrient(9), 1);
    EXPECT_EQ(GetOrientUseDirection(0), 0);
    EXPECT_EQ(GetOrientUseDirection(9), 0);
    EXPECT_EQ(GetBackDirection(8), 1);
    EXPECT_EQ(GetOrtogonalDirection(8), 1);
    EXPECT_EQ(GetOrtogonalDirectionRight(200), 1);
    EXPECT_EQ(GetHorizontalAndVertical(8).h, 0);
    EXPECT_EQ(GetOrtogonalVector(8).h, -1);
    const TDirStep none = GetDxDyUseDirection(0);
    const TDirStep beyond = GetDxDyUseDirection(9);
    EXPECT_EQ(none.dx | none.dy | beyond.dx | beyond.dy, 0);
    const std::pair<const char*, int> messages[] = {
        {"Unknown Orient in GetDirectionUseOrient", 1},    {"Unknown direction in GetOrientUseDirection", 2},
        {"Unknown orient in GetBackDirection", 1},         {"Unknown orient in GetOrtogonalDirection", 2},
        {"Unknown orient in GetHorizontalAndVertical", 1}, {"Unknown orient in GetOrtogonalVector", 1},
        {"GetDxDyUseDirection(BYTE Direction) Direction=", 2}};
    for (const auto& [message, count] : messages)
        EXPECT_EQ(log.Count(message), count) << message;
}

// The slope is rounded to single precision before it meets the double bounds: a slope of 0.42
// stays below 0.42 (east), one of -2.41 below -2.41 (north).
TEST(Directions, OrientOfAVectorAtTheSlopeBounds)
{
    struct Case {
        float dx, dy;
        std::uint8_t orient;
    } cases[] = {
        {0, 10, 4},     {0, -10, 0},    {0, 0, 6},       {10, 0, 6},      {-10, 0, 2},
        {100, 42, 6},   {-100, 42, 2},  {100, 43, 5},    {-100, 43, 3},   {100, -41, 6},
        {-100, -41, 2}, {100, -42, 7},  {-100, -42, 1},  {100, -241, 0},  {-100, -241, 0},
        {100, -240, 7}, {-100, -240, 1}, {100, 241, 5},  {100, 242, 4},   {-100, 242, 4},
        {1, 1, 5},      {-1, -1, 1},    {1, -1, 7},      {-1, 1, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetOrientOfVector(c.dx, c.dy), c.orient) << c.dx << "," << c.dy;
    EXPECT_EQ(GetOrientToPoint(100.0f, 100.0f, 100.0f, 300.0f), 4);
}

// Turning toward a point: at once while walking or for a quick-turning type in a firing posture,
// else through the turning animation.
TEST(Directions, TurningSettlesByPosture)
{
    testworld::TestWorld world(30, 60);
    TUnit* u = world.AddUnit(0, testworld::kRifleman, 10, 20);
    ASSERT_NE(u, nullptr);
    struct Case {
        const char* label;
        std::uint8_t numWork;
        bool quick;
        std::int8_t orient;
        std::uint8_t wantOrient, wantNumWork;
    } cases[] = {
        {"walking takes it at once", ANIM_WALK_LOW, false, 0, 6, ANIM_WALK_LOW},
        {"standing low is in the moving set", ANIM_STAND, false, 0, 6, ANIM_STAND},
        {"upright standing turns", ANIM_STAND_UPRIGHT, false, 0, 0, ANIM_TURN},
        {"quick type firing, far", ANIM_FIRE, true, 0, 6, ANIM_FIRE},
        {"quick type firing, one step", ANIM_FIRE, true, 7, 7, ANIM_TURN},
        {"slow type firing", ANIM_FIRE, false, 0, 0, ANIM_TURN},
        {"already facing", ANIM_STAND_UPRIGHT, false, 6, 6, ANIM_STAND_UPRIGHT},
    };
    for (const Case& c : cases) {
        u->NumWork = c.numWork;
        u->NextWork = UNIT_NO_NEXT_WORK;
        u->Orient = c.orient;
        u->Basic->m_bQuickTurn = c.quick ? 1 : 0;
        SetOrientToPoint(u, u->X + 200.0f, u->Y);
        EXPECT_EQ(u->WantedOrient, 6) << c.label;
        EXPECT_EQ(u->Orient, c.wantOrient) << c.label;
        EXPECT_EQ(u->NumWork, c.wantNumWork) << c.label;
        if (c.wantOrient == 6 && c.orient != 6)
            EXPECT_FLOAT_EQ(u->Heading, static_cast<float>(6 * 0.7853982 + 0.02)) << c.label;
    }
    // The looking turn tells the behaviours which side the point lies on.
    u->NumWork = ANIM_STAND_UPRIGHT;
    u->Orient = 6;
    SetOrientToPointEx(u, u->X - 50.0f, u->Y);
    EXPECT_EQ(g_EastFlag, 0);
    EXPECT_EQ(u->NumWork, ANIM_TURN);
    u->StepX = u->X + 10.0f;
    u->StepY = u->Y;
    u->NumWork = ANIM_WALK_UPRIGHT;
    u->Orient = 2;
    SetOrientToUnit(u);
    EXPECT_EQ(g_EastFlag, 1);
    EXPECT_EQ(u->Orient, 6);
}

} // namespace
