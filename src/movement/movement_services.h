#pragma once
// What movement asks of the world map beyond its layers: tests put hand-made answers here.
#include <cstdint>
#include <functional>

struct TMovementMapServices {
    // A water cell of the water object (false on dry maps and near the edge).
    std::function<bool(std::int32_t x, std::int32_t y)> isWater;

    static TMovementMapServices Default();
};
TMovementMapServices& MovementMapServices();
