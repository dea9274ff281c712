#pragma once
// A map with striped water for the trench and pontoon list: every fourth row (rows 0, 4, 8, ...)
// is open water, so odd rows are banks (every kind may be laid) and even rows are water or lie two
// rows under it (only pontoons). The ships' grid is shallow everywhere, so no tile counts as deep
// water unless a test says so. The players' wood and the passability refresh are recorded.
#include <vector>

#include "core/memory_stream.h"
#include "map/trenches.h"
#include "players/resources.h"
#include "trench_pictures.h"
#include "water_fixture.h"

class TrenchTest : public WaterTest {
protected:
    static void SetUpTestSuite()
    {
        WaterTest::SetUpTestSuite();
        ASSERT_TRUE(sampledata::WriteTrenchFiles(s_Folder->Path()));
    }

    void SetUp() override
    {
        WaterTest::SetUp();
        g_TrenchList.Clear();
        TTrenchServices& s = TrenchServices();
        s.PlayerWood = [this](std::uint8_t player) { return player == 0 ? &wood : nullptr; };
        s.CanAffordTrench = [this](std::uint8_t player) { return player == 0 && wood.spendable >= 300.0; };
        s.MakePartOfBasicMap = [this](const plat::Point& p, std::uint16_t radius) {
            refreshes.push_back({p.x, p.y, radius});
        };
        g_ViewCols = 20;
        g_ViewRows = 40;
    }
    void TearDown() override
    {
        g_TrenchList.FreeTrenchGraphics();
        g_TrenchList.Clear();
        TrenchServices() = DefaultTrenchServices();
        WaterTest::TearDown();
    }

    void MakeStripedMap(std::uint16_t width = 40, std::uint16_t height = 60)
    {
        TWaterMap& w = MakeWater(width, height);
        for (int r = 0; r < w.m_Height; r += 4)
            for (int c = 0; c < w.m_Width; ++c)
                w.SetCell(c, r, 1);
        TShipGrid& g = *w.m_pShipGrid;
        for (std::uint32_t r = 0; r < g.m_Height; ++r)
            for (std::uint32_t c = 0; c < g.m_Width; ++c)
                g.SetCellValue(static_cast<std::int32_t>(c), static_cast<std::int32_t>(r), SHIP_CELL_SHORE);
    }
    // The map pixel in the middle of a tile's diamond (heights are 0).
    static plat::Point TileCentre(const plat::Point& tile)
    {
        const plat::Point p = TrenchTilePixel(tile);
        return {p.x + 48, p.y};
    }

    struct TRefresh {
        std::int32_t x, y, radius;
        bool operator==(const TRefresh&) const = default;
    };
    TResourcePair wood;
    std::vector<TRefresh> refreshes;
};
