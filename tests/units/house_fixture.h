#pragma once
// A small map with the sample building types of side 0, empty player arrays and recording
// stand-ins for what buildings call in other subsystems.
#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/archive.h"
#include "core/string_table.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/map_fixture.h"
#include "parameters.h"
#include "sample_strings.h"
#include "sample_types.h"
#include "units/build_site.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"

namespace housetest {

class HouseWorld {
public:
    explicit HouseWorld(std::uint16_t width = 40, std::uint16_t height = 80)
    {
        map.emplace(width, height);
        std::copy(std::begin(g_HouseTypes), std::end(g_HouseTypes), m_SavedTypes.begin());
        for (THouseType& t : g_HouseTypes)
            t = THouseType{};
        for (const auto& s : sampledata::kSampleHouseTypes) {
            THouseType& t = HouseType(0, s.type);
            t = sampledata::SampleHouseRecord(0, s);
            t.m_BuildWork = 100;
            t.m_RuinPhaseCount = 2;
            t.m_PowerNeed = 2.5f;
        }
        for (const auto& s : sampledata::kSampleNeutralHouseTypes)
            HouseType(HOUSE_NEUTRAL_SIDE, s.type) = sampledata::SampleHouseRecord(HOUSE_NEUTRAL_SIDE, s);
        for (int p = 0; p < 8; ++p) {
            g_pHouse[p] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
            NumHouse[p] = 0;
            g_HouseCounters[p] = {};
        }
        m_SavedServices = HouseServices();
        THouseServices& s = HouseServices();
        s.isWater = [this](std::int32_t x, std::int32_t y) { return water.count({x, y}) != 0; };
        s.redrawMiniMap = [](std::int32_t, std::int32_t, std::int32_t, std::int32_t) {};
        s.rebuildShipGrid = [](std::int32_t, std::int32_t, std::int32_t, std::int32_t) {};
        s.clearCellPassability = [](std::int32_t, std::int32_t) {};
        s.recomputePassability = [](std::int32_t, std::int32_t, std::int32_t) {};
        s.isCellFreeForUnit = [](std::int32_t, std::int32_t) { return true; };
        s.clampRallyIntoShipGrid = [](THouse*) {};
        // The fixture's trees stop building and vehicles (class 1); other objects are class 0.
        s.mapObjectClass = [](std::uint16_t code) -> std::uint8_t {
            return code >= kObjectTreeFirst && code <= kObjectTreeLast ? 1 : 0;
        };
        s.freePointsAroundHouse = [this](const THouse*) { return freePoints; };
        s.removeUnitFromGame = [this](TUnit* u) { removed.push_back(u); };
        s.mayPushUnit = [](const TUnit* u) { return u->Dead == 0; };
        s.pushUnitOut = [this](TUnit* u, const THouse*, TFloatPoint p) { pushed.push_back({u, p}); };
        s.getUnitOutOfHouse = [](THouse*, TUnit*) {};
        s.leaveHouse = [](TUnit*) {};
        s.explosion = [this](float, float, float lift, std::uint32_t delay) { explosions.push_back({lift, delay}); };
        s.houseLeaveHandler = [this](THouse*) { ++leaveHandlers; };
        s.leaveGroups = [](THouse*) {};
        s.playDestructionSound = [](THouse*) {};
        s.refreshPanel = [] {};
        s.takeEmplacementUnitGraphic = [](THouse*) {};
        s.releaseEmplacementUnitGraphic = [](THouse*) {};
        s.canAfford = [this](std::uint8_t, std::uint16_t) { return affordable; };
        s.pay = [this](std::uint8_t, std::uint16_t) { ++payments; };
        s.sendWorkers = [](std::uint8_t, THouse*) {};
        s.isComputerPlayer = [](std::uint8_t) { return false; };
        s.advisorWorkers = [](std::uint8_t) { return true; };
        s.nation = [](std::uint8_t) -> std::uint8_t { return 0; };
        s.lowerPowerDemand = [this](std::uint8_t p, float need) { powerDemand[p] -= need; };
        s.raisePowerDemand = [this](std::uint8_t p, float need) { powerDemand[p] += need; };
        s.houseComeHandler = [this](THouse*) { ++comeHandlers; };
        s.tellGroupManager = [this](THouse*) {
            ++alarms;
            return true;
        };
        s.showRangeRing = [](const THouse*, float) {};
        for (auto& row : g_HouseTypeCount)
            std::fill(std::begin(row), std::end(row), 0);
        sampledata::FillStringTable(g_ResStrings);
    }
    ~HouseWorld()
    {
        HouseServices() = m_SavedServices;
        // The map's release frees the house arrays, which give back their phases to the types
        // that are still in place.
        for (std::uint8_t p = 0; p < 8; ++p)
            FreePlayerHouses(p);
        map.reset();
        for (THouseType& t : g_HouseTypes)
            CHousePhaseGraphic::Free(t);
        std::copy(m_SavedTypes.begin(), m_SavedTypes.end(), std::begin(g_HouseTypes));
    }
    HouseWorld(const HouseWorld&) = delete;
    HouseWorld& operator=(const HouseWorld&) = delete;

    // A building placed from a template, as the build order does after its checks.
    THouse& Place(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type)
    {
        THouse* t = CreateHouseRecord(x, y, type, 0);
        const std::uint16_t index = AddHouse(player, t);
        delete t;
        EXPECT_NE(index, HOUSE_NONE);
        return g_pHouse[player][index];
    }
    std::uint16_t Code(std::int32_t x, std::int32_t y) const { return g_pObjectMap[y * g_MapWidth + x]; }
    void SetCode(std::int32_t x, std::int32_t y, std::uint16_t code) { g_pObjectMap[y * g_MapWidth + x] = code; }
    std::uint8_t Height(std::int32_t x, std::int32_t y) const { return g_pHeightMap[y * g_MapWidth + x]; }
    void SetHeight(std::int32_t x, std::int32_t y, std::uint8_t h) { g_pHeightMap[y * g_MapWidth + x] = h; }

    std::optional<maptest::TestMap> map;
    std::set<std::pair<std::int32_t, std::int32_t>> water;
    std::vector<TFloatPoint> freePoints;
    std::vector<TUnit*> removed;
    std::vector<std::pair<TUnit*, TFloatPoint>> pushed;
    std::vector<std::pair<float, std::uint32_t>> explosions;
    int leaveHandlers = 0;
    int comeHandlers = 0;
    int payments = 0;
    int alarms = 0;
    bool affordable = true;
    float powerDemand[8] = {};

private:
    std::array<THouseType, HOUSE_TYPE_COUNT> m_SavedTypes{};
    THouseServices m_SavedServices;
};

// The text a refusal id leaves in g_CantBuildReason.
inline std::u16string ReasonText(std::u16string_view id)
{
    return GetResString(id);
}

} // namespace housetest
