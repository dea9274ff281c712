#pragma once
// Particles and the building-selection texture, loaded at start-up and freed at shutdown.
#include <cstdint>

// false is fatal at start-up.
bool ParticlesInit();
void ParticlesFree();
void LoadHouseSelTexture();
void FreeHouseSelTexture();

class TExplosion;
// Starts an effect of the given type at a map point; null when none could be made.
TExplosion* AddExplosion(std::int32_t type, std::int32_t owner, float x, float y, std::int32_t z,
                         std::int32_t power, std::int32_t a, std::int32_t b, std::int32_t c);
