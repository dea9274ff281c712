#pragma once
// The movement test world with players' buildings placed by hand (a type record of its own, the
// footprint's object codes written and the pass maps rebuilt), for the order and event tests.
#include <cstdint>
#include <vector>

#include "map/map_grid.h"
#include "movement/passability.h"
#include "movement/path_cache.h"
#include "movement/path_search.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"

namespace orderstest {

class OrdersWorld : public testworld::TestWorld {
public:
    explicit OrdersWorld(const std::vector<testworld::TPlayerSetup>& players = {{0, 0}, {1, 0}, {2, 0}})
        : TestWorld(40, 80, players)
    {
        g_PathHelper.Clear();
        g_PathWorkCounter = 0;
    }
    ~OrdersWorld() { g_PathHelper.Clear(); }

    // A finished building of the player at reference cell (x, y), its exit below it.
    THouse* AddHouse(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type = 3)
    {
        const std::uint16_t index = NumHouse[player]++;
        THouse& h = g_pHouse[player][index];
        h.TypeRecord = &HouseTypeRecord();
        h.Index = index;
        h.X = x;
        h.Y = y;
        h.HouseType = type;
        h.Owner = player;
        h.Capacity = 2;
        h.HitPoints = 100.0f;
        h.MaxHitPoints = 100;
        const testworld::TPixel exit = testworld::CellCentre(x, y + 4);
        h.ExitX = exit.x;
        h.ExitY = exit.y;
        const testworld::TPixel door = testworld::CellCentre(x, y + 2);
        h.DoorX = door.x;
        h.DoorY = door.y;
        for (const plat::Point& c : FootprintCells({x, y}, 2, 2))
            SetObject(c.x, c.y, PlayerHouseCode(player, index));
        BuildPassMaps();
        return &h;
    }

    // One record for every test building: the world's players free their buildings after any
    // member of the world is gone.
    static THouseType& HouseTypeRecord()
    {
        static THouseType type = [] {
            THouseType t;
            t.m_FootprintRows = 2;
            t.m_FootprintCells = 2;
            return t;
        }();
        return type;
    }
};

} // namespace orderstest
