#pragma once
// Small plain types shared by the platform layer and the game: screen rectangles and points as
// the game's code has always passed them (right and bottom exclusive).
#include <cstdint>

namespace plat {

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(std::int32_t x, std::int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

} // namespace plat
