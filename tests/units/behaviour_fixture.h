#pragma once
// The house world with a small stand-in economy behind the building behaviour: resources, the
// population, the advisor switches, the players' unit lists and records of what the behaviour
// asked of combat and the effects.
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "core/app_state.h"
#include "core/random_table.h"
#include "house_fixture.h"
#include "players/economy.h"
#include "players/strateg.h"
#include "units/house_behaviour.h"
#include "units/unit.h"
#include "units/unit_types.h"
#include "units/upgrades.h"

namespace housetest {

class BehaviourWorld : public HouseWorld {
public:
    BehaviourWorld()
    {
        for (int t = 0; t < UNIT_TYPES_PER_NATION; ++t) {
            m_SavedUnitTypes[t] = g_UnitTypes[t];
            auto* b = new TBasicUnit;
            for (int p = 0; p < 8; ++p) {
                b->MaxHitPoints[p] = 100;
                b->ReloadTime[p] = 40;
                b->Range[p] = 500;
                b->BuildTime[p] = 300;
                b->m_FirstValue[p] = 20;
            }
            g_UnitTypes[t] = b;
        }
        g_UnitTypes[6]->m_Kind = UNIT_KIND_WORKER;
        g_UnitTypes[3]->m_Kind = UNIT_KIND_TANK;
        g_UnitTypes[11]->m_bAir = 1;
        m_SavedBehaviour = HouseBehaviourServices();
        m_SavedRandIndex = g_RandIndex;
        m_SavedRandTable.assign(std::begin(g_RandTable), std::end(g_RandTable));
        m_SavedFrame = g_FrameCounter;
        InitUpgrades();
        InitResourceMultipliers();
        FreeBarnDecayList();
        THouseBehaviourServices& s = HouseBehaviourServices();
        s.isComputerPlayer = [this](std::uint8_t p) { return computer[p]; };
        s.nation = [](std::uint8_t) -> std::uint8_t { return 0; };
        s.economyOption = [this](std::uint8_t p, int n) { return economy[p][n]; };
        s.warOption = [this](std::uint8_t p, int n) { return war[p][n]; };
        s.compAssist = [this](std::uint8_t p) { return compAssist[p]; };
        s.warAssist = [this](std::uint8_t p) { return warAssist[p]; };
        s.spendable = [this](std::uint8_t p, std::uint8_t r) { return spendable[p][r]; };
        s.addResource = [this](std::uint8_t p, std::uint8_t r, double a) {
            recorded[p][r] += a;
            spendable[p][r] = std::max(0.0, spendable[p][r] + a);
        };
        s.addExtracted = [this](std::uint8_t p, std::uint8_t r, double a) { extracted[p][r] += a; };
        s.resourceFell = [this](std::uint8_t p, std::uint8_t r) { return fell[p][r]; };
        s.subtractCost = [this](std::uint8_t p, const std::int32_t* cost) {
            static constexpr std::uint8_t kRes[5] = {RESOURCE_FOOD, RESOURCE_WOOD, RESOURCE_IRON, RESOURCE_GOLD,
                                                     RESOURCE_OIL};
            for (int k = 0; k < 5; ++k) {
                recorded[p][kRes[k]] -= cost[k];
                spendable[p][kRes[k]] -= cost[k];
            }
        };
        s.population = [this](std::uint8_t p) { return population[p]; };
        s.populationCap = [this](std::uint8_t p) { return cap[p]; };
        s.addPopulationCap = [this](std::uint8_t p, std::int32_t d) { cap[p] += d; };
        s.relation = [this](std::uint8_t p, std::uint8_t q) { return relation[p][q]; };
        s.isDead = [](std::uint8_t) { return false; };
        s.markGrid = [this](std::uint8_t, float, float, std::uint8_t) { ++gridMarks; };
        s.firstUnit = [this](std::uint8_t p) { return first[p]; };
        s.shipUnits = [this]() -> const std::vector<TUnit*>& { return ships; };
        s.removeFromQueue = [this](std::uint8_t, std::uint16_t, std::uint16_t, std::uint8_t) { ++queueRemovals; };
        s.goToObject = [this](TUnit* u, TUnit*, std::uint16_t code, std::uint16_t) { sent.push_back({u, code}); };
        s.houseSearchTarget = [this](THouse*) {
            ++searches;
            return false;
        };
        s.artilleryFire = [this](THouse*, TUnit* t) { fired.push_back(t); };
        s.delayedExplosion = [this](float, float, std::uint32_t) { ++flashes; };
        s.removeUnitFromGame = [this](TUnit* u, std::uint8_t killer) { removedUnits.push_back({u, killer}); };
        s.refreshTargetGridHouses = [] {};
        s.isWater = [this](std::int32_t x, std::int32_t y) { return water.count({x, y}) != 0; };
        s.refreshPanel = [this] { ++panelRebuilds; };
        s.fogOff = [this] { ++fogOffs; };
        MyPlayer = 0;
        g_FrameCounter = 0;
    }
    ~BehaviourWorld()
    {
        for (std::uint8_t p = 0; p < 8; ++p)
            first[p] = nullptr;
        units.clear();
        for (int t = 0; t < UNIT_TYPES_PER_NATION; ++t) {
            delete g_UnitTypes[t];
            g_UnitTypes[t] = m_SavedUnitTypes[t];
        }
        HouseBehaviourServices() = m_SavedBehaviour;
        std::copy(m_SavedRandTable.begin(), m_SavedRandTable.end(), std::begin(g_RandTable));
        g_RandIndex = m_SavedRandIndex;
        g_FrameCounter = m_SavedFrame;
        FreeBarnDecayList();
        InitUpgrades();
        InitResourceMultipliers();
    }

    // A unit of the player at a map point, linked at the head of the player's list and entered into
    // its cell.
    TUnit* AddUnit(std::uint8_t player, std::uint16_t type, float x, float y)
    {
        auto unit = std::make_unique<TUnit>(type, 0);
        TUnit* u = unit.get();
        u->Player = player;
        u->X = x;
        u->Y = y;
        u->HitPoints = 50.0f;
        u->m_pNext = first[player];
        first[player] = u;
        const plat::Point c = PixelToFlatCell(x, y);
        if (CellPointInMap(c))
            AddUnitToCell(static_cast<std::uint32_t>(c.y) * g_MapWidth + static_cast<std::uint32_t>(c.x), u);
        units.push_back(std::move(unit));
        return u;
    }
    // Puts units into a building's inside array (owned by the building from then on).
    void PutInside(THouse& h, std::vector<TUnit*> inside)
    {
        delete[] h.Inside;
        h.InsideCount = static_cast<std::uint16_t>(inside.size());
        h.Inside = new TUnit*[inside.size()];
        std::copy(inside.begin(), inside.end(), h.Inside);
        for (TUnit* u : inside)
            u->Work = 3;
    }
    // A finished building of the player with the type's handler for coming to the player run.
    THouse& Finished(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type)
    {
        THouse& h = Place(player, x, y, type);
        h.BuildWork = 0;
        HouseComeHandler(&h);
        return h;
    }
    void Rich(std::uint8_t p, double amount = 1e9)
    {
        for (double& r : spendable[p])
            r = amount;
    }

    std::array<bool, 8> computer{};
    std::array<std::array<bool, 8>, 8> economy{};
    std::array<std::array<bool, 8>, 8> war{};
    std::array<bool, 8> compAssist{};
    std::array<bool, 8> warAssist{};
    double spendable[8][6] = {};
    double recorded[8][6] = {};
    double extracted[8][6] = {};
    bool fell[8][6] = {};
    std::int32_t population[8] = {};
    std::int32_t cap[8] = {};
    std::uint8_t relation[8][8] = {};
    TUnit* first[8] = {};
    std::vector<TUnit*> ships;
    std::vector<std::unique_ptr<TUnit>> units;
    std::vector<std::pair<TUnit*, std::uint16_t>> sent;
    std::vector<TUnit*> fired;
    std::vector<std::pair<TUnit*, std::uint8_t>> removedUnits;
    int searches = 0;
    int flashes = 0;
    int gridMarks = 0;
    int panelRebuilds = 0;
    int fogOffs = 0;
    int queueRemovals = 0;

private:
    TBasicUnit* m_SavedUnitTypes[UNIT_TYPES_PER_NATION] = {};
    THouseBehaviourServices m_SavedBehaviour;
    std::uint16_t m_SavedRandIndex = 0;
    std::vector<std::uint16_t> m_SavedRandTable;
    std::uint32_t m_SavedFrame = 0;
};

} // namespace housetest
