#pragma once
// Particles and the building-selection texture, loaded at start-up and freed at shutdown.

// false is fatal at start-up.
bool ParticlesInit();
void ParticlesFree();
void LoadHouseSelTexture();
void FreeHouseSelTexture();

// The particle systems that live for one game or editor session.
class TParticleSystemList;
extern TParticleSystemList* g_pParticleSystems;
TParticleSystemList* CreateParticleSystemList();
// Deletes every particle system of the list and empties it.
void ParticlesClear(TParticleSystemList* list);
void DeleteParticleSystemList(TParticleSystemList* list);
