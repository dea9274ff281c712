#pragma once
// Particles and the building-selection texture, loaded at start-up and freed at shutdown.
#include <cstdint>

// false is fatal at start-up.
bool ParticlesInit();
void ParticlesFree();
void LoadHouseSelTexture();
void FreeHouseSelTexture();

class TExplosion;
// An explosion of a kind (0 an impact, 1 and 3 free at its point, 2 without a point) and a type at
// a map point, attached to an object or not; with damage it hurts what lies within radius. null
// when the type is unknown.
TExplosion* AddExplosion(std::uint32_t kind, void* object, std::int32_t x, std::int32_t y, std::int32_t z,
                         std::uint32_t type, std::int32_t damage, std::int32_t radius, std::uint8_t flag);

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
