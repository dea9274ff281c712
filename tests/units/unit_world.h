#pragma once
// A small map with two players of nation 0, a few unit types (a soldier, a worker pair, a tank
// that closes the way, an aircraft, a ship) and recording stand-ins for what units call in other
// subsystems.
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "core/random_table.h"
#include "map/map_fixture.h"
#include "map/map_grid.h"
#include "players/house_orders.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"

namespace unittest {

constexpr std::uint16_t kSoldier = 2;
constexpr std::uint16_t kTank = 5;
constexpr std::uint16_t kPlane = 11;
constexpr std::uint16_t kShip = 13;

// The centre pixel of a cell, where a unit stands in that cell.
inline TFloatPoint CellCentre(std::int32_t x, std::int32_t y)
{
    return {static_cast<float>((2 * x - ((y & 1) == 0 ? 1 : 0)) * 48 + 48), static_cast<float>(24 * y)};
}

class UnitWorld {
public:
    explicit UnitWorld(std::uint16_t width = 40, std::uint16_t height = 80)
    {
        map.emplace(width, height);
        FreeUnitTypes();
        ResetUnitCounters();
        g_UnitIdCounter = 0;
        g_RandIndex = 0;
        for (int nation : {0, 1}) {
            for (std::uint16_t t : {std::uint16_t{0}, std::uint16_t{1}, kSoldier, kTank, kPlane, kShip}) {
                auto* type = new TBasicUnit;
                for (int p = 0; p < 8; ++p) {
                    type->MaxHitPoints[p] = static_cast<std::uint16_t>(100 + 10 * p);
                    type->BuildTime[p] = static_cast<std::uint16_t>(50 + t);
                }
                type->m_PowerNeed = 1.0f + t;
                g_UnitTypes[nation * UNIT_TYPES_PER_NATION + t] = type;
            }
            g_UnitTypes[nation * UNIT_TYPES_PER_NATION + kTank]->ClosePath = 1;
            g_UnitTypes[nation * UNIT_TYPES_PER_NATION + kPlane]->m_bAir = 1;
            g_UnitTypes[nation * UNIT_TYPES_PER_NATION + kShip]->m_bShip = 1;
        }
        for (int p = 0; p < 2; ++p) {
            g_Strateg[p] = new TStrateg;
            g_Strateg[p]->Nation = 0;
            g_pHouse[p] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
            NumHouse[p] = 0;
            g_PowerDemand[p] = 0.0f;
        }
        g_wNumPlayer = 2;
        m_SavedMyPlayer = MyPlayer;
        MyPlayer = 0;

        m_Saved = UnitServices();
        TUnitServices& s = UnitServices();
        s.canAffordUnit = [this](std::uint8_t, std::uint16_t) { return affordable; };
        s.payForUnit = [this](std::uint8_t, std::uint16_t t) {
            if (affordable)
                paid.push_back(t);
            return affordable;
        };
        s.refundUnit = [this](std::uint8_t, std::uint16_t t) { refunded.push_back(t); };
        s.setVelocityToTarget = [](TUnit*) {};
        s.canStayInCell = [this](TUnit*) { return mayStay; };
        s.recomputePassability = [this](std::int32_t x, std::int32_t y, std::int32_t) { recomputed.push_back({x, y}); };
        s.orientToPoint = [](float, float, float, float) -> std::uint8_t { return 2; };
        s.shipPassValue = [](std::int32_t, std::int32_t) -> std::uint16_t { return 0; };
        s.isPointPassable = [this](std::uint32_t, std::uint32_t, std::uint16_t) { return passable; };
        s.getObjectAt = [](TUnit*) {};
        s.stopUnit = [this](TUnit* u, std::uint8_t) { stopped.push_back(u); };
        s.cancelOrderAndStop = [this](TUnit* u) { cancelled.push_back(u); };
        s.getMeFromTransport = [this](TUnit* u) { leftTransport.push_back(u); };
        s.leaveHouse = [this](TUnit* u) { tookOff.push_back(u); };
        s.stopShipEffect = [](TUnit*) {};
        s.refreshTargetGridUnits = [] {};
        s.refreshPanel = [this] { ++panelRefreshes; };
    }
    ~UnitWorld()
    {
        UnitServices() = m_Saved;
        for (int p = 0; p < 8; ++p) {
            if (g_Strateg[p] == nullptr)
                continue;
            FreeAll(g_Strateg[p]->FirstUnit);
            g_Strateg[p]->FirstUnit = nullptr;
            delete g_Strateg[p];
            g_Strateg[p] = nullptr;
            FreePlayerHouses(static_cast<std::uint8_t>(p));
        }
        FreeUnitsMap();
        g_wNumPlayer = 0;
        MyPlayer = m_SavedMyPlayer;
        map.reset();
        FreeUnitTypes();
        for (float& d : g_PowerDemand)
            d = 0.0f;
    }
    UnitWorld(const UnitWorld&) = delete;
    UnitWorld& operator=(const UnitWorld&) = delete;

    // A unit of the player at the centre of a cell, through the loaders' way in.
    TUnit* Add(std::uint8_t player, std::uint16_t type, std::int32_t x, std::int32_t y)
    {
        const TFloatPoint at = CellCentre(x, y);
        if (CreateUnitAt(at.x, at.y, player, type, 0) == UNIT_NO_INDEX)
            return nullptr;
        return g_Strateg[player]->FirstUnit;
    }
    // The units listed in a cell, in slot order.
    static std::vector<TUnit*> Listed(std::int32_t x, std::int32_t y)
    {
        std::vector<TUnit*> out;
        TUnit** list = g_pUnitsMap[y * g_MapWidth + x];
        for (int i = 0; list != nullptr && i < kCellUnitCapacity && list[i] != nullptr; ++i)
            out.push_back(list[i]);
        return out;
    }
    // A player's list from its head, checking every back link on the way.
    static std::vector<TUnit*> Units(std::uint8_t player)
    {
        std::vector<TUnit*> out;
        TUnit* prev = nullptr;
        for (TUnit* u = g_Strateg[player]->FirstUnit; u != nullptr; u = u->m_pNext) {
            EXPECT_EQ(u->Prev, prev) << "back link of unit " << out.size();
            out.push_back(u);
            prev = u;
        }
        return out;
    }
    static void Delete(TUnit* u)
    {
        u->WorkObject = UNIT_DELETE_PARAM;
        DeleteUnit(&u);
    }

    std::optional<maptest::TestMap> map;
    bool affordable = true;
    bool mayStay = true;
    bool passable = true;
    std::vector<std::uint16_t> paid;
    std::vector<std::uint16_t> refunded;
    std::vector<TCellPair> recomputed;
    std::vector<TUnit*> stopped;
    std::vector<TUnit*> cancelled;
    std::vector<TUnit*> leftTransport;
    std::vector<TUnit*> tookOff;
    int panelRefreshes = 0;

private:
    static void FreeAll(TUnit* head)
    {
        while (head != nullptr) {
            TUnit* next = head->m_pNext;
            UnregisterShip(head);
            delete head;
            head = next;
        }
    }
    TUnitServices m_Saved;
    std::uint8_t m_SavedMyPlayer = 0;
};

} // namespace unittest
