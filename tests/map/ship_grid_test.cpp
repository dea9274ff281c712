#include <gtest/gtest.h>

#include <map>

#include "core/random_table.h"
#include "map/map_grid.h"
#include "water_fixture.h"

namespace {

// Stand-in ships: the grid reads them through the water's services.
std::map<const TUnit*, TShipFields> g_Ships;
const TUnit* g_ShipUnderPoint = nullptr;
int g_ShipQueries = 0;

bool FakeShipFields(const TUnit* unit, TShipFields& out)
{
    const auto it = g_Ships.find(unit);
    if (it == g_Ships.end())
        return false;
    out = it->second;
    return true;
}

const TUnit* FakeShipQuery(float, float, std::uint8_t player)
{
    ++g_ShipQueries;
    EXPECT_EQ(player, 255);
    return g_ShipUnderPoint;
}

const TUnit* ShipId(int n)
{
    static char ids[8];
    return reinterpret_cast<const TUnit*>(&ids[n]);
}

class ShipGridTest : public WaterTest {
protected:
    void SetUp() override
    {
        WaterTest::SetUp();
        g_Ships.clear();
        g_ShipUnderPoint = nullptr;
        g_ShipQueries = 0;
        g_WaterServices.getShipFields = FakeShipFields;
        g_WaterServices.shipQuery = FakeShipQuery;
    }

    // A 20 x 40 map, all open water, with its ships' grid (20 x 20 cells) rebuilt.
    TShipGrid& SeaGrid()
    {
        TWaterMap& w = MakeWater(20, 40);
        FillOpenWater(w);
        grid = w.m_pShipGrid.get();
        grid->m_pWater = &w;
        grid->RebuildShipGrid(nullptr);
        return *grid;
    }
    // Every cell free, for exact claim rectangles.
    TShipGrid& OpenGrid()
    {
        SeaGrid();
        std::fill(grid->m_Cells.begin(), grid->m_Cells.end(), SHIP_CELL_FREE);
        return *grid;
    }
    int CountCells(std::uint8_t value) const
    {
        return static_cast<int>(std::count(grid->m_Cells.begin(), grid->m_Cells.end(), value));
    }
    static TShipFields ShipAtCell(int c, int r, float heading, std::uint16_t type = 0)
    {
        return TShipFields{96.0f * c + 48, 48.0f * r + 24, heading, type, 0};
    }
    bool RectIs(const TShipCellRect& rect, std::uint8_t value) const
    {
        for (int r = rect.r0; r <= rect.r1; ++r)
            for (int c = rect.c0; c <= rect.c1; ++c)
                if (grid->CellValue(c, r) != value)
                    return false;
        return true;
    }

    TShipGrid* grid = nullptr;
};

} // namespace

TEST_F(ShipGridTest, BorderRingIsBlockedAndShoreBandsFollow)
{
    TShipGrid& g = SeaGrid();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(g.CellValue(i, 0), SHIP_CELL_BLOCKED);
        EXPECT_EQ(g.CellValue(i, 19), SHIP_CELL_BLOCKED);
        EXPECT_EQ(g.CellValue(0, i), SHIP_CELL_BLOCKED);
        EXPECT_EQ(g.CellValue(19, i), SHIP_CELL_BLOCKED);
    }
    // The border's tiles are outside the water band: cells that see them are blocked, the
    // cells next to those are shore water, the middle is free.
    EXPECT_EQ(g.CellValue(2, 10), SHIP_CELL_BLOCKED);
    EXPECT_EQ(g.CellValue(3, 10), SHIP_CELL_SHORE);
    EXPECT_EQ(g.CellValue(4, 10), SHIP_CELL_FREE);
    EXPECT_EQ(g.CellValue(10, 2), SHIP_CELL_BLOCKED);
    EXPECT_EQ(g.CellValue(10, 3), SHIP_CELL_SHORE);
    EXPECT_EQ(g.CellValue(10, 16), SHIP_CELL_BLOCKED);
    EXPECT_EQ(g.CellValue(10, 15), SHIP_CELL_SHORE);
    EXPECT_EQ(g.CellValue(10, 14), SHIP_CELL_FREE);
}

TEST_F(ShipGridTest, HouseNearWaterBlocksItsNeighbourhoodAndMakesShore)
{
    TShipGrid& g = SeaGrid();
    SetObjectMap(10, 21, PlayerHouseCode(0, 3)); // the tile of cell (10, 10)
    g.RebuildShipGrid(nullptr);
    for (int r = 7; r <= 12; ++r)
        for (int c = 8; c <= 12; ++c)
            EXPECT_EQ(g.CellValue(c, r), SHIP_CELL_BLOCKED) << c << "," << r;
    EXPECT_EQ(g.CellValue(13, 10), SHIP_CELL_SHORE);
    EXPECT_EQ(g.CellValue(7, 10), SHIP_CELL_SHORE);
    EXPECT_EQ(g.CellValue(10, 13), SHIP_CELL_SHORE);
    EXPECT_EQ(g.CellValue(14, 10), SHIP_CELL_FREE);
    // Shore water takes small ships only.
    const float x = 13 * 96 + 48, y = 10 * 48 + 24;
    EXPECT_TRUE(g.IsPixelFreeForShip(0, x, y));
    EXPECT_TRUE(g.TestPixelForShip(1, x, y));
    EXPECT_FALSE(g.IsPixelFreeForShip(2, x, y));
    EXPECT_FALSE(g.TestPixelForShip(2, x, y));

    // Trees do not count; a trench entry does. Removing the house frees nothing.
    SetObjectMap(10, 21, kObjectTreeFirst);
    SetObjectMap(14, 9, kObjectTrenchListFirst); // the tile of cell (14, 4)
    const TTileRect tiles{8, 0, 18, 24};
    g.RebuildShipGrid(&tiles);
    EXPECT_EQ(g.CellValue(10, 10), SHIP_CELL_BLOCKED);
    EXPECT_EQ(g.CellValue(14, 5), SHIP_CELL_BLOCKED);
}

TEST_F(ShipGridTest, RebuildOverATileRectangleLeavesTheRest)
{
    TShipGrid& g = SeaGrid();
    g.SetCellValue(15, 12, SHIP_CELL_TAKEN);
    g.SetCellValue(5, 5, SHIP_CELL_TAKEN);
    const TTileRect tiles{12, 20, 18, 26}; // columns 12..18, rows 10..13
    g.RebuildShipGrid(&tiles);
    EXPECT_EQ(g.CellValue(15, 12), SHIP_CELL_FREE);
    EXPECT_EQ(g.CellValue(5, 5), SHIP_CELL_TAKEN);
}

TEST_F(ShipGridTest, RebuildWithoutWaterIsReported)
{
    TShipGrid g(4, 4);
    maptest::LogWatch log;
    g.RebuildShipGrid(nullptr);
    EXPECT_EQ(log.Count("Вода еще не задана!!!"), 1);
}

TEST_F(ShipGridTest, QueriesOutsideTheGridAreRefused)
{
    TShipGrid& g = SeaGrid();
    maptest::LogWatch log;
    EXPECT_FALSE(g.IsPixelFreeForShip(0, -1.0f, 100.0f));
    EXPECT_FALSE(g.IsPixelFreeForShip(0, 20 * 96.0f, 100.0f));
    EXPECT_EQ(log.Count("FreePixelCoordForShip"), 0);
    EXPECT_FALSE(g.TestPixelForShip(0, 100.0f, 20 * 48.0f));
    EXPECT_EQ(g.GetPixelCellForShip(-5.0f, 0.0f), SHIP_CELL_BLOCKED);
    EXPECT_EQ(log.Count("FreePixelCoordForShip выход за карту"), 2);
    g.SetCellValue(10, 10, SHIP_CELL_TAKEN);
    EXPECT_FALSE(g.TestPixelForShip(0, 10 * 96 + 1, 10 * 48 + 1));
    EXPECT_TRUE(g.IsPixelFreeForShip(0, 10 * 96 + 1, 10 * 48 + 1));
    EXPECT_EQ(g.GetPixelCellForShip(10 * 96 + 95, 10 * 48 + 47), SHIP_CELL_TAKEN);
}

TEST_F(ShipGridTest, ShipsClaimByHeadingSectorAndFootprint)
{
    TShipGrid& g = OpenGrid();
    const struct {
        float heading;
        std::uint16_t type;
        TShipCellRect rect;
    } cases[] = {
        {0.0f, 0, {7, 4, 13, 16}},    // sector 0, footprint (3, 4)
        {1.6f, 0, {6, 6, 14, 14}},    // sector 2
        {3.2f, 18, {8, 5, 12, 15}},   // sector 4, footprint (2, 3)
        {4.8f, 20, {5, 5, 15, 15}},   // sector 6, footprint (4, 5)
        {6.0f, 0, {7, 4, 13, 16}},    // past 7 pi / 4: sector 0
    };
    for (const auto& c : cases) {
        std::fill(g.m_Cells.begin(), g.m_Cells.end(), SHIP_CELL_FREE);
        g_Ships[ShipId(0)] = ShipAtCell(10, 10, c.heading, c.type);
        g.m_Ships.clear();
        g.AddShipToList(ShipId(0));
        g.RefreshShipCells();
        EXPECT_TRUE(RectIs(c.rect, SHIP_CELL_TAKEN)) << c.heading;
        const int area = (c.rect.c1 - c.rect.c0 + 1) * (c.rect.r1 - c.rect.r0 + 1);
        EXPECT_EQ(CountCells(SHIP_CELL_TAKEN), area) << c.heading;
    }
}

TEST_F(ShipGridTest, RefreshMovesTagsAndLeavesBlockedCells)
{
    TShipGrid& g = OpenGrid();
    g.SetCellValue(10, 10, SHIP_CELL_BLOCKED);
    g.SetCellValue(11, 10, SHIP_CELL_SHORE);
    g_Ships[ShipId(0)] = ShipAtCell(10, 10, 0.0f);
    g.AddShipToList(ShipId(0));
    g.RefreshShipCells();
    EXPECT_EQ(g.CellValue(10, 10), SHIP_CELL_BLOCKED);
    EXPECT_EQ(g.CellValue(11, 10), SHIP_CELL_SHORE);
    EXPECT_EQ(g.CellValue(12, 10), SHIP_CELL_TAKEN);

    g_Ships[ShipId(0)] = ShipAtCell(4, 4, 0.0f);
    g.RefreshShipCells();
    EXPECT_EQ(g.CellValue(12, 10), SHIP_CELL_FREE);
    EXPECT_EQ(g.CellValue(4, 4), SHIP_CELL_TAKEN);
    EXPECT_EQ(g.m_Ships[0].column, 4);

    // A dead ship claims nothing once its old tags are cleared.
    g_Ships[ShipId(0)].dead = 1;
    g.RefreshShipCells();
    EXPECT_EQ(CountCells(SHIP_CELL_TAKEN), 0);
}

TEST_F(ShipGridTest, RemovedShipTakesItsTagsAlong)
{
    TShipGrid& g = OpenGrid();
    g_Ships[ShipId(0)] = ShipAtCell(10, 10, 0.0f);
    g_Ships[ShipId(1)] = ShipAtCell(4, 4, 0.0f);
    g.AddShipToList(ShipId(0));
    g.AddShipToList(ShipId(1));
    g.AddShipToList(ShipId(0));
    g.RefreshShipCells();
    g.RemoveShipFromList(ShipId(0));
    ASSERT_EQ(g.m_Ships.size(), 1u);
    EXPECT_EQ(g.CellValue(10, 10), SHIP_CELL_FREE);
    EXPECT_EQ(g.CellValue(4, 4), SHIP_CELL_TAKEN);
    g.RemoveShipFromList(ShipId(1));
    EXPECT_TRUE(g.m_Ships.empty());
    EXPECT_EQ(CountCells(SHIP_CELL_TAKEN), 0);
}

TEST_F(ShipGridTest, ReleaseAndClaimOfOneShipKeepNeighboursClaimed)
{
    TShipGrid& g = OpenGrid();
    g_Ships[ShipId(0)] = ShipAtCell(10, 10, 0.0f);
    g_Ships[ShipId(1)] = ShipAtCell(14, 10, 0.0f); // 4 columns away: overlapping rectangles
    g_Ships[ShipId(2)] = ShipAtCell(2, 2, 0.0f);
    for (int i = 0; i < 3; ++i)
        g.AddShipToList(ShipId(i));
    g.RefreshShipCells();
    g.UpdateShipCells(ShipId(0));
    EXPECT_EQ(g.CellValue(8, 10), SHIP_CELL_FREE);
    EXPECT_EQ(g.CellValue(12, 10), SHIP_CELL_TAKEN); // the neighbour claimed again
    EXPECT_EQ(g.CellValue(2, 2), SHIP_CELL_TAKEN);
    g.UpdateShipHeading(ShipId(0));
    EXPECT_EQ(g.CellValue(8, 10), SHIP_CELL_TAKEN);
    g.UpdateShipHeading(ShipId(5)); // not in the list
    g.UpdateShipCells(ShipId(5));
}

TEST_F(ShipGridTest, FreeCellIsFoundWithoutDrawingAndTheWalkRepeats)
{
    TShipGrid& g = OpenGrid();
    g_RandSeed = 12345;
    InitRandomTable();
    g_RandIndex = 100;
    float x = 0, y = 0;
    ASSERT_TRUE(g.ShipGridCellAt(10 * 96 + 7.0f, 10 * 48 + 40.0f, x, y));
    EXPECT_EQ(x, 10 * 96 + 48.0f);
    EXPECT_EQ(y, 10 * 48 + 24.0f);
    EXPECT_EQ(g_RandIndex, 100);

    // Blocked everywhere but column 2 and row 2: the walk goes left and up until it meets them.
    std::fill(g.m_Cells.begin(), g.m_Cells.end(), SHIP_CELL_BLOCKED);
    for (int i = 0; i < 20; ++i) {
        g.SetCellValue(2, i, SHIP_CELL_FREE);
        g.SetCellValue(i, 2, SHIP_CELL_FREE);
    }
    ASSERT_TRUE(g.ShipGridCellAt(10 * 96.0f, 10 * 48.0f, x, y));
    const std::uint16_t used = g_RandIndex;
    EXPECT_GT(used, 100);
    EXPECT_EQ((used - 100) % 2, 0);
    EXPECT_TRUE(x == 2 * 96 + 48.0f || y == 2 * 48 + 24.0f);
    g_RandIndex = 100;
    float x2 = 0, y2 = 0;
    ASSERT_TRUE(g.ShipGridCellAt(10 * 96.0f, 10 * 48.0f, x2, y2));
    EXPECT_EQ(x2, x);
    EXPECT_EQ(y2, y);
    EXPECT_EQ(g_RandIndex, used);

    // Nothing free: the walk gives up.
    std::fill(g.m_Cells.begin(), g.m_Cells.end(), SHIP_CELL_BLOCKED);
    EXPECT_FALSE(g.ShipGridCellAt(500.0f, 500.0f, x, y));
}

TEST_F(ShipGridTest, OpenWaterNeedsWaterAroundAndNoHull)
{
    TShipGrid& g = SeaGrid();
    EXPECT_TRUE(g.IsOpenWaterAt(10, 21, 1000.0f, 500.0f));
    EXPECT_EQ(g_ShipQueries, 1);
    g_ShipUnderPoint = ShipId(3);
    EXPECT_FALSE(g.IsOpenWaterAt(10, 21, 1000.0f, 500.0f));
    g_ShipUnderPoint = nullptr;
    const plat::Point south = GetNeighbourPoint({10, 21}, 2);
    SetObjectMap(static_cast<std::uint16_t>(south.x), static_cast<std::uint16_t>(south.y), PlayerHouseCode(1, 0));
    EXPECT_FALSE(g.IsOpenWaterAt(10, 21, 1000.0f, 500.0f));
    EXPECT_FALSE(g.IsOpenWaterAt(0, 0, 0.0f, 0.0f)); // the outer band is never water
}

TEST_F(ShipGridTest, CycleHookRefreshesTheTags)
{
    TShipGrid& g = OpenGrid();
    g_Ships[ShipId(0)] = ShipAtCell(10, 10, 0.0f);
    g.AddShipToList(ShipId(0));
    RefreshShipTags();
    EXPECT_EQ(g.CellValue(10, 10), SHIP_CELL_TAKEN);
    // Drawing the water never touches them.
    g_Ships[ShipId(0)] = ShipAtCell(4, 4, 0.0f);
    g_pWater->DrawWater();
    EXPECT_EQ(g.CellValue(10, 10), SHIP_CELL_TAKEN);
    EXPECT_EQ(g.CellValue(4, 4), SHIP_CELL_FREE);
}
