#pragma once
// Player state shared across subsystems.
#include <cstdint>

struct THeapItem;

class TStrateg {
public:
    // Appends a command record to the player's queue; the queue owns it from then on.
    void AddCommand(THeapItem* item);

    std::uint16_t NumSelectedUnits = 0;
};

// The local player's number (0 until a game sets it) and state (null outside a game).
extern std::uint8_t MyPlayer;
extern TStrateg* MyStrateg;
