#pragma once
// Dead units: the death animation, corpses and wrecks lying for a while, sinking ships and aircraft
// falling out of the sky. The unit walk calls MakeMoveForDead (combat/unit_behaviour.h) for every
// dead unit each cycle. Main thread only.
#include <cstdint>
#include <functional>

class TExplosion;

// The dying counter (WorkObject) of a unit that has just died; it falls by DEAD_COUNTER_STEP a
// cycle once the death animation has ended.
constexpr std::uint16_t DEAD_COUNTER_START = 65535;
constexpr std::int32_t DEAD_COUNTER_STEP = 30;
// At or below this the corpse is deleted.
constexpr std::int32_t DEAD_COUNTER_END = 20000;
// A tank wreck smokes while its counter is above this.
constexpr std::int32_t DEAD_TANK_SMOKE_ABOVE = 59000;
// A sinking ship is deleted when this much of its counter has run.
constexpr std::int32_t DEAD_SHIP_SINK = 2400;
// The death animations (NumWork).
constexpr std::uint8_t ANIM_DEATH_FIRST = 15;
constexpr std::uint8_t ANIM_DEATH_LAST = 17;

// How dead units make their explosions and find water; tests put recording stand-ins here.
struct TDeadUnitServices {
    // AddExplosion (combat/effects.h).
    std::function<TExplosion*(std::uint32_t kind, std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t type,
                              std::int32_t damage, std::int32_t radius, std::uint8_t flag)>
        addExplosion;
    // AddVisualExplosion (combat/explosions.h): the smoke of a burning wreck.
    std::function<TExplosion*(std::uint32_t kind, std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t type)>
        addVisualExplosion;
    // IsTileOnWater (map/site_queries.h): where a falling aircraft ditches.
    std::function<bool(std::int32_t x, std::int32_t y)> isWater;

    static TDeadUnitServices Default();
};
TDeadUnitServices& DeadUnitServices();
