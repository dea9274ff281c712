// Ships on the sample coast: a voyage that has to round land, and two ships whose courses cross.
#include <gtest/gtest.h>

#include <cmath>

#include "combat/ship_geometry.h"
#include "combat/ship_graphics.h"
#include "combat/ship_movement.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_orders.h"
#include "core/error_log.h"
#include "core/loader_thread.h"
#include "game/game_load.h"
#include "game/sample_world_fixture.h"
#include "map/ship_grid.h"
#include "map/water.h"
#include "players/strateg.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

constexpr std::uint16_t kDestroyer = 18;

class ShipVoyageTest : public SampleWorldTest {
protected:
    void SetUp() override
    {
        SampleWorldTest::SetUp();
        saved = GameLoadServices();
        MyPlayer = 0;
        ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Coast.mis", false, nullptr));
        ASSERT_NE(g_pWater, nullptr);
        grid = g_pWater->m_pShipGrid.get();
        ASSERT_NE(grid, nullptr);
    }
    void TearDown() override
    {
        FreeGame();
        GameLoadServices() = saved;
        g_Loader.WaitUntilIdleFor(10000);
        MapDeviceTest::TearDown();
    }
    static float CellX(int c) { return 96.0f * c + 48.0f; }
    static float CellY(int r) { return 48.0f * r + 24.0f; }

    // Whether the cell and its neighbours within two cells are open sea.
    bool OpenSea(int c, int r) const
    {
        for (int j = r - 2; j <= r + 2; ++j)
            for (int i = c - 2; i <= c + 2; ++i)
                if (grid->CellValue(i, j) != SHIP_CELL_FREE)
                    return false;
        return c > 4 && r > 4 && c < static_cast<int>(grid->m_Width) - 5 && r < static_cast<int>(grid->m_Height) - 5;
    }

    TUnit* Launch(int c, int r)
    {
        const std::uint16_t index = CreateUnitAt(CellX(c), CellY(r), 0, kDestroyer, 1);
        TUnit* ship = g_Strateg[0]->GetUnit(index);
        EXPECT_NE(ship, nullptr);
        if (ship != nullptr) {
            ship->m_bShown = 1;
            ship->Work = UNIT_NO_WORK;
        }
        return ship;
    }

    // One cycle of the ships: the grid's tags first, as the game cycle has them.
    static void Cycle(const std::vector<TUnit*>& ships)
    {
        RefreshShipTags();
        for (TUnit* s : ships)
            MakeMoveShip(s);
    }

    TGameLoadServices saved;
    TShipGrid* grid = nullptr;
};

} // namespace

TEST_F(ShipVoyageTest, AShipSailsRoundLandToItsGoal)
{
    // Two stretches of open sea that land hides from each other, one reachable from the other.
    TShipPlanGrid plan;
    ASSERT_TRUE(MakeShipPlanGrid(nullptr, plan));
    int fc = -1, fr = -1, tc = -1, tr = -1;
    for (int r = 6; r < plan.height - 6 && fc < 0; r += 3)
        for (int c = 6; c < plan.width - 6 && fc < 0; c += 3) {
            if (!OpenSea(c, r))
                continue;
            for (int r2 = r; r2 < plan.height - 6 && fc < 0; r2 += 3)
                for (int c2 = 6; c2 < plan.width - 6; c2 += 3) {
                    if (std::abs(c2 - c) + std::abs(r2 - r) < 12 || !OpenSea(c2, r2) || ShipLineClear(plan, c, r, c2, r2))
                        continue;
                    int oc = 0, orow = 0;
                    if (ShipPlan(plan, c, r, c2, r2, oc, orow) && (oc != c || orow != r)) {
                        fc = c, fr = r, tc = c2, tr = r2;
                        break;
                    }
                }
        }
    ASSERT_GE(fc, 0) << "the coast map has no sea with land between two of its parts";
    TUnit* ship = Launch(fc, fr);
    ASSERT_NE(ship, nullptr);
    GoToPoint(ship, CellX(tc), CellY(tr), 1);
    float firstHeading = ship->Heading;
    int turns = 0;
    float last = ship->Heading;
    bool arrived = false;
    for (int cycle = 0; cycle < 20000 && !arrived; ++cycle) {
        Cycle({ship});
        if (std::fabs(ship->Heading - last) > 1e-4f)
            ++turns;
        last = ship->Heading;
        ASSERT_NE(grid->GetPixelCellForShip(ship->X, ship->Y), SHIP_CELL_BLOCKED) << "on land at cycle " << cycle;
        arrived = std::hypot(ship->X - CellX(tc), ship->Y - CellY(tr)) < 100.0f && ship->VX == 0.0f && ship->VY == 0.0f;
    }
    EXPECT_TRUE(arrived) << "at " << ship->X << "," << ship->Y << " for " << CellX(tc) << "," << CellY(tr);
    EXPECT_GT(turns, 0);
    (void)firstHeading;
}

TEST_F(ShipVoyageTest, TwoShipsWhoseCoursesCrossDoNotOverlap)
{
    // A stretch of open sea about 800 pixels across (cells are 96 x 48 pixels).
    int cc = -1, cr = -1;
    for (int r = 14; r < static_cast<int>(grid->m_Height) - 14 && cc < 0; ++r)
        for (int c = 8; c < static_cast<int>(grid->m_Width) - 8; ++c) {
            bool open = true;
            for (int j = -8; j <= 8 && open; ++j)
                for (int i = -4; i <= 4 && open; ++i)
                    open = grid->CellValue(c + i, r + j) == SHIP_CELL_FREE;
            if (open) {
                cc = c, cr = r;
                break;
            }
        }
    ASSERT_GE(cc, 0) << "no open sea on the coast map";
    TUnit* a = Launch(cc - 3, cr);
    TUnit* b = Launch(cc, cr - 6);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    GoToPoint(a, CellX(cc + 3), CellY(cr), 1);
    GoToPoint(b, CellX(cc), CellY(cr + 6), 1);
    float closest = 1e9f;
    for (int cycle = 0; cycle < 3000; ++cycle) {
        Cycle({a, b});
        closest = std::min(closest, std::hypot(a->X - b->X, a->Y - b->Y));
        ASSERT_FALSE(ShipQuadsIntersect(ShipHullOutline(ShipDataOf(a), a), ShipHullOutline(ShipDataOf(b), b)))
            << "hulls overlap at cycle " << cycle << ": " << a->X << "," << a->Y << " h" << a->Heading << " v" << a->VX << "," << a->VY << " w" << int(a->Work) << " / " << b->X << "," << b->Y << " h" << b->Heading << " v" << b->VX << "," << b->VY << " w" << int(b->Work) << " wait " << a->WaitCount << "," << b->WaitCount;
    }
    EXPECT_GT(closest, 60.0f);
    // Neither holds the other for ever: both end their voyages.
    EXPECT_LT(std::hypot(a->X - CellX(cc + 3), a->Y - CellY(cr)), 150.0f);
    EXPECT_LT(std::hypot(b->X - CellX(cc), b->Y - CellY(cr + 6)), 150.0f);
}
