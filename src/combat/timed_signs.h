#pragma once
// Timed signs: spreading areas of explosions at a point (a gas shell's cloud). Game state: they
// step in the lock-step cycle and draw from the shared random table.
#include <cstdint>

struct TTimedSignDesc {
    std::uint32_t kind = 0; // 0 gas, 1 water bursts
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t lifetime = 0; // cycles
    std::uint16_t radius = 0;  // the greatest
    std::uint16_t growth = 0;  // per cycle
    std::uint8_t density = 0;
    std::int32_t damage = 0;       // of each explosion
    std::int32_t damageRadius = 0; // of each explosion
};
void AddTimedSign(const TTimedSignDesc& desc);
