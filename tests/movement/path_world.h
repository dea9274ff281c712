#pragma once
// The movement test world with cells of the pass maps blocked by hand, and the path search's
// global state (cache, work counter, frame counter) reset around each test.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "core/app_state.h"
#include "map/map_grid.h"
#include "movement/passability.h"
#include "movement/path_cache.h"
#include "movement/path_search.h"
#include "support/test_world.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace pathtest {

enum class Kind { Land, Vehicle };

class PathWorld : public testworld::TestWorld {
public:
    PathWorld(std::uint16_t width = 40, std::uint16_t height = 80) : TestWorld(width, height)
    {
        g_PathHelper.Clear();
        g_PathWorkCounter = 0;
        g_FrameCounter = 0;
    }
    ~PathWorld()
    {
        g_PathHelper.Clear();
        g_PathWorkCounter = 0;
        g_FrameCounter = 0;
    }

    // Rows of a picture from cell (x0, y0) on: '#' blocked for everyone, 'l' for land units only,
    // 'v' for vehicles only; anything else leaves the cell as it is.
    static void Paint(std::int32_t x0, std::int32_t y0, std::initializer_list<const char*> rows)
    {
        std::int32_t y = y0;
        for (const char* row : rows) {
            for (std::int32_t i = 0; row[i] != 0; ++i) {
                const std::size_t poz = CellIndex(x0 + i, y);
                if (row[i] == '#' || row[i] == 'l')
                    g_pLandPassMap[poz] = PASS_BLOCKED;
                if (row[i] == '#' || row[i] == 'v')
                    g_pVehiclePassMap[poz] = PASS_BLOCKED;
            }
            ++y;
        }
    }
    static void Block(std::int32_t x, std::int32_t y)
    {
        g_pLandPassMap[CellIndex(x, y)] = PASS_BLOCKED;
        g_pVehiclePassMap[CellIndex(x, y)] = PASS_BLOCKED;
    }

    TUnit* Place(Kind kind, std::int32_t x, std::int32_t y)
    {
        TUnit* u = AddUnit(0, kind == Kind::Vehicle ? testworld::kTank : testworld::kRifleman, x, y);
        EXPECT_NE(u, nullptr);
        if (u != nullptr)
            EXPECT_EQ(u->Basic->ClosePath != 0, kind == Kind::Vehicle);
        return u;
    }
    // Sends the unit toward a cell the way the movement code does: its end point is the cell's
    // centre.
    static std::int8_t Send(TUnit* u, std::int32_t x, std::int32_t y)
    {
        const testworld::TPixel end = testworld::CellCentre(x, y);
        u->GoalX = end.x;
        u->GoalY = end.y;
        return FindPathChecked(u, x, y);
    }
};

// Walks a path from a cell; every step must land on a cell of the playable area that the pass
// map leaves open. Returns the cell reached, or (-1, -1) at the first bad step.
inline plat::Point Walk(plat::Point at, const std::uint8_t* path, std::size_t length, const std::uint16_t* pass)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (path[i] < 1 || path[i] > 8)
            return {-1, -1};
        at = GetNeighbourPoint(at, path[i]);
        if (!IsCellInPlayableArea(at.x, at.y) || pass[CellIndex(at.x, at.y)] != 0)
            return {-1, -1};
    }
    return at;
}
inline plat::Point Walk(plat::Point at, const std::vector<std::uint8_t>& path, const std::uint16_t* pass)
{
    return Walk(at, path.data(), path.size(), pass);
}

} // namespace pathtest
