#pragma once
// The per-cycle walk of one player's units and buildings: in each player's turn, after the
// player's orders, every unit runs its countdowns, upkeep, target search and kind handler and is
// filed into the draw-order lists; then the queued advanced-path cells are settled; then every
// building burns, decays, pays upkeep, runs its type's handler, upgrades and produces; last the
// units sheltered in it are checked.
//
// Threads: main thread only, inside the game cycle. The walk draws only on the shared random table
// and the simulation's own state. The view decides nothing but the on-screen flags, the
// draw-order lists and the sounds, which no machine compares.
#include <cstdint>
#include <functional>

class TStrateg;
class TUnit;
class THouse;

// The view rectangle in map pixels, copied once per cycle under g_InputLock (the mouse thread
// moves the view).
struct TViewSnapshot {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = -1;
    std::int32_t bottom = -1;
};
// Takes the copy now.
void TakeViewSnapshot();
// The copy the walk files units by; taken at the first walk of each cycle.
const TViewSnapshot& CurrentViewSnapshot();

// The alert-grid throttle for a total unit count: idle units a fighting cell lets search, and
// idle units a quiet cell skips after one search.
struct TAlertThrottle {
    std::uint8_t searches = 0;
    std::uint8_t skips = 0;
};
TAlertThrottle AlertThrottle(std::uint32_t unitCount);

// The whole walk of one player.
void PlayerUnitsTurn(TStrateg* player);
// Its three stages, in the order the walk runs them.
void WalkPlayerUnits(TStrateg* player);
void SettleAdvancedPaths();
void WalkPlayerHouses(TStrateg* player);
// Takes out of the building every sheltered unit that does not belong there.
void CheckShelteredUnits(THouse* house);

// What the walk calls in subsystems built elsewhere. The default table binds the real modules;
// tests put recording stand-ins here.
struct TUnitWalkServices {
    // Target search.
    std::function<std::uint32_t()> countAllUnits;
    std::function<void(TUnit*)> searchTarget;
    std::function<void(TUnit*)> addUnitToTargetGrid;
    std::function<void(THouse*)> addHouseToTargetGrid;
    // Players: the building upkeep charge (false: the building does nothing more this cycle), the
    // population and its cap.
    std::function<bool(THouse*)> chargeHouseUpkeep;
    std::function<std::int32_t(std::uint8_t player)> population;
    std::function<std::int32_t(std::uint8_t player)> populationCap;

    static TUnitWalkServices Default();
};
TUnitWalkServices& UnitWalkServices();
