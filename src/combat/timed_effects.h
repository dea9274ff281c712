#pragma once
// Delayed hits: bullets of a strafing run that land a few cycles after they were fired. They are
// game state, saved with the game (chunk 2, SaveTimedEffects / LoadTimedEffects of
// combat/game_state.h) and part of the simulation checksum. UpdateTimedEffects
// (combat/cycle_updates.h) runs once per game cycle, before the shots. Main thread only.
#include <cstdint>
#include <functional>
#include <list>

class TUnit;

struct TTimedEffect {
    float X = 0.0f;
    float Y = 0.0f;
    // Ground height at (X, Y), in whole pixels.
    float Height = 0.0f;
    std::uint16_t Unused = 0;
    // Cycles before the bullet lands.
    std::uint16_t Delay = 0;
    // May be null: the shooter was deleted (or never known) and the hit lands without damage.
    TUnit* Shooter = nullptr;
};

// The hits waiting to land, in the order they were added.
extern std::list<TTimedEffect> g_TimedEffects;

// Appends a hit at (x, y) with the ground height there, delay 0 and no shooter; the caller sets the
// delay and the shooter. null when no hit could be added.
TTimedEffect* AddTimedEffect(float x, float y);
// A unit going away is no longer the shooter of any hit (DeleteUnit's reference clearing).
void ForgetTimedEffectShooter(const TUnit* unit);

// The landing of a bullet; tests put recording stand-ins here.
struct TTimedEffectServices {
    // BulletToPoint (combat/firing.h).
    std::function<void(float x, float y, TUnit* shooter, bool hitOwnSide, float radius)> bulletToPoint;

    static TTimedEffectServices Default();
};
TTimedEffectServices& TimedEffectServices();
