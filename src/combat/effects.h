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

// The particle systems that live for one game or editor session.
class TParticleSystemList;
extern TParticleSystemList* g_pParticleSystems;
TParticleSystemList* CreateParticleSystemList();
// Deletes every particle system of the list and empties it.
void ParticlesClear(TParticleSystemList* list);
void DeleteParticleSystemList(TParticleSystemList* list);

// The frame's effects: the particle systems' step and drawing, the explosions' step, the shots.
void ParticlesUpdateAll();
void UpdateExplosions();
void DrawShots();

// The craters and ground pictures inside the "GameMap" block of a save: u16 count, then the
// pictures.
class TOfStreamMemory;
class TIfStreamMemory;
void SaveCraters(TOfStreamMemory& out);
bool LoadCraters(TIfStreamMemory& in);

// The Delete key's update of the player's units.
void PlayerUnitsUpdate(std::uint8_t player);
