#pragma once
// A 200 x 400 map with the sample building types of side 0 and an empty building array for player
// 0: the ground the building benchmarks stand on.
#include "map/map_grid.h"
#include "parameters.h"
#include "sample_types.h"
#include "units/house.h"
#include "units/house_types.h"

struct SampleHouseMap {
    SampleHouseMap()
    {
        g_MapWidth = 200;
        g_MapHeight = 400;
        SetMapGeometry();
        for (const auto& s : sampledata::kSampleHouseTypes)
            HouseType(0, s.type) = sampledata::SampleHouseRecord(0, s);
        g_pHouse[0] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
        NumHouse[0] = 0;
    }
    ~SampleHouseMap()
    {
        FreePlayerHouses(0);
        DestroyMap();
    }
    SampleHouseMap(const SampleHouseMap&) = delete;
    SampleHouseMap& operator=(const SampleHouseMap&) = delete;
};
