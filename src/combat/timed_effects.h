#pragma once
// Delayed hits: bullets of a strafing run that land a few cycles after they were fired. They are
// game state, saved with the game. Main thread only.
#include <cstdint>

class TUnit;

struct TTimedEffect {
    float X = 0.0f;
    float Y = 0.0f;
    // Ground height at (X, Y), in whole pixels.
    float Height = 0.0f;
    std::uint16_t Unused = 0;
    // Cycles before the bullet lands.
    std::uint16_t Delay = 0;
    // May be null: the hit then lands without a shooter.
    TUnit* Shooter = nullptr;
};

// Appends a hit at (x, y) with the ground height there, delay 0 and no shooter; the caller sets the
// delay and the shooter. null when no hit could be added.
TTimedEffect* AddTimedEffect(float x, float y);
