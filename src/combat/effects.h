#pragma once
// Particles and the building-selection texture, loaded at start-up and freed at shutdown.

// false is fatal at start-up.
bool ParticlesInit();
void ParticlesFree();
void LoadHouseSelTexture();
void FreeHouseSelTexture();
