#pragma once
// The map mouse and the order builders that the mouse thread calls in network play.
#include <cstdint>

struct TNetDragCorner {
    std::uint8_t player = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// The drag state below: under g_InputLock (the mouse thread moves the corner).
// Per player: a frame-selection drag of that player runs (network play).
extern std::uint8_t g_bNetDragging[8];
// The corner of the local player's running network drag, and how often the mouse thread moved it.
extern TNetDragCorner g_NetDragCorner;
extern std::uint32_t g_NetDragCount;

void PostDragEndCommand();
void PostMapClickCommand();
void PostMapOrderCommand();
void PostOrientationCommand();

// The handlers of the map-mouse commands, for the acting player p; rect is {left, top, right,
// bottom}, the view rectangle in map pixels.
void SelectAtPointOrFrame(std::uint8_t player, std::int32_t x, std::int32_t y);
void OrderSelectionToPoint(std::uint8_t player, std::int32_t x, std::int32_t y);
void MousePressAtPoint(std::uint8_t player, std::int32_t x, std::int32_t y);
void OrientSelection(std::uint8_t player, std::uint8_t orient, float distance);
void SelectSameTypeOnScreen(std::uint8_t player, std::int32_t x, std::int32_t y, const std::uint32_t* rect);
