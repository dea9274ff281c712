#pragma once
// A small world for the movement and combat tests, built in a few lines: a map of a chosen size
// with heights, objects, water, trenches and neutral houses set by hand, players with chosen
// nations and relations, the unit types of the sample parameter files, a controllable shared
// random index, and recording stand-ins for what the simulation tells the player (sounds, message
// lines, panel refreshes).
//
// Everything it changes it puts back when it goes: the map, players, types, services and random
// index of the test before it and after it are the program's defaults.
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "combat/battle_services.h"
#include "movement/movement_services.h"
#include "units/unit_lists.h"

class TUnit;
class TStrateg;
class THouse;
class THouseType;

namespace testworld {

// Sample unit types (index within the nation).
constexpr std::uint16_t kWorker = 0;
constexpr std::uint16_t kRifleman = 2;
constexpr std::uint16_t kFieldGun = 5;
constexpr std::uint16_t kMachineGunner = 6;
constexpr std::uint16_t kFighter = 11;
constexpr std::uint16_t kTank = 14;
constexpr std::uint16_t kTransportShip = 17;
constexpr std::uint16_t kDestroyer = 18;

// The centre pixel of a cell: where a unit standing in it is.
struct TPixel {
    float x = 0.0f;
    float y = 0.0f;
};
TPixel CellCentre(std::int32_t x, std::int32_t y);

struct TSoundCall {
    std::uint8_t category = 0;
    const void* object = nullptr;
    std::uint8_t subKind = 0;
    std::uint8_t priority = 0;
};

struct TPlayerSetup {
    std::uint8_t nation = 0;
    std::uint8_t team = 0; // players of one non-zero team are allies; 0 stands alone
};

class TestWorld {
public:
    // A flat map (height 50, no objects) with the given players (nations 0..4), every relation
    // from the teams, and the sample unit types of every nation used.
    TestWorld(std::uint16_t width, std::uint16_t height, const std::vector<TPlayerSetup>& players = {{0, 0}, {1, 0}});
    ~TestWorld();
    TestWorld(const TestWorld&) = delete;
    TestWorld& operator=(const TestWorld&) = delete;

    // ---- the map ----
    void SetHeight(std::int32_t x, std::int32_t y, std::uint8_t h);
    void FillHeights(std::uint8_t h);
    void SetObject(std::int32_t x, std::int32_t y, std::uint16_t code);
    // The blocking class (first record byte) of a tree, stone or other object code.
    void SetObjectClass(std::uint16_t code, std::uint8_t blockingClass);
    void SetWater(std::int32_t x, std::int32_t y, bool water = true);
    void SetAdvancedPath(std::int32_t x, std::int32_t y, std::uint8_t value);
    // A trench list entry at the cell with its object code; finished: its build countdown is spent.
    std::uint16_t AddTrench(std::int32_t x, std::int32_t y, bool finished, std::uint8_t kind = 0);
    // A neutral house of a type word at its reference cell; its code is written into that cell
    // only (callers mark more cells with SetObject and NeutralHouseCode).
    std::uint16_t AddNeutralHouse(std::int32_t x, std::int32_t y, std::uint16_t type);
    static std::uint16_t NeutralHouseCode(std::uint16_t index) { return static_cast<std::uint16_t>(101 + index); }
    // A standing, finished house of a player at its reference cell, of a type record the caller
    // keeps; its code is written into that cell only.
    THouse* AddPlayerHouse(std::uint8_t player, std::int32_t x, std::int32_t y, THouseType* type);
    // Rebuilds both pass maps from what was set.
    void BuildPassMaps();

    // ---- players ----
    TStrateg* Player(std::uint8_t p) const;
    // Both relation bytes of the pair, so they are allies (same non-zero value) or enemies.
    void SetAllies(std::uint8_t a, std::uint8_t b, bool allies);

    // ---- units ----
    // A unit of the player at the centre of a cell, placed by hand (no placement test).
    TUnit* AddUnit(std::uint8_t player, std::uint16_t type, std::int32_t x, std::int32_t y);
    // The units listed in a cell, in slot order.
    static std::vector<TUnit*> UnitsIn(std::int32_t x, std::int32_t y);

    // ---- the shared random table ----
    void SetRandomIndex(std::uint16_t index);
    // Writes values into the table from the current index on.
    void SetNextRandomValues(const std::vector<std::uint16_t>& values);

    // ---- what the player was told ----
    std::vector<TSoundCall> sounds;
    std::vector<std::u16string> messages;
    int panelRefreshes = 0;

private:
    void ReloadTrenches();

    std::uint8_t m_Players = 0;
    std::set<std::pair<std::int32_t, std::int32_t>> m_Water;
    std::vector<std::vector<std::uint8_t>> m_TrenchBlock;
    TMovementMapServices m_SavedMovement;
    TBattleServices m_SavedBattle;
    TUnitServices m_SavedUnits;
    std::uint16_t m_SavedRandIndex = 0;
    std::vector<std::uint16_t> m_SavedRandTable;
    std::uint8_t m_SavedMyPlayer = 0;
};

} // namespace testworld
