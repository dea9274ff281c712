#pragma once
// Explosions: short animated sprites at a world point (bursts, fires, smoke, splashes, a torpedo's
// wake). Making one may deal area damage, leave a crater and play a sound. The game cycle makes
// them; the frame renderer animates them and queues the visible ones for the map scene, sorted by
// screen row, then column.
//
// Threads: main thread only.
#include <cstdint>
#include <vector>

#include "combat/effects.h"
#include "map/landscape.h"

constexpr std::uint32_t EXPLOSION_TYPE_COUNT = 41;
constexpr int EXPLOSION_MAX_FRAMES = 50;
constexpr std::uint32_t EXPLOSION_TORPEDO_WAKE = 38;

// Kinds of explosion.
constexpr std::uint32_t EXPLOSION_GROUND = 0; // an impact; may leave a crater
constexpr std::uint32_t EXPLOSION_FREE = 1;
constexpr std::uint32_t EXPLOSION_NO_POINT = 2;
constexpr std::uint32_t EXPLOSION_ATTACHED = 3;

struct TExplosionTypeInfo {
    const char* archive;
    std::uint8_t objects;
    std::uint8_t onWater;
    std::uint8_t crater; // crater set + 1; 255 none
    std::uint8_t sound;  // 6 silent
};
extern const TExplosionTypeInfo g_ExplosionTypes[EXPLOSION_TYPE_COUNT];

// One type's frames; frameCount 0 when the archive could not give them.
struct TExploSprites {
    TExplosionSet set;
    std::uint16_t A = 0, B = 0, C = 0, D = 0;
    std::uint16_t FrameCount() const { return set.frameCount; }
};
extern TExploSprites* g_ExploSprites[EXPLOSION_TYPE_COUNT];
extern std::uint8_t g_ExploSetsLoaded;

class TExplosion {
public:
    std::uint32_t kind = 0;
    void* object = nullptr;
    TExploSprites* sprites = nullptr;
    std::uint32_t type = 0;
    float frame = 0.0f;
    std::int32_t x = 0, y = 0, z = 0;
    TExplosion* next = nullptr;
    TExplosion* prev = nullptr;
    std::uint16_t delay = 0;
    std::int32_t rise = 0;
    std::int32_t risePerFrame = 1;
    float frameStep = 1.0f;
    std::int32_t endFrame = 0;
    bool onWater = false;
};
extern TExplosion* g_ExplosionList;
// The explosions on screen this frame, sorted by screen y, then screen x.
extern std::vector<TExplosionSprite> g_ExploDrawList;

// What the game cycle made: the number of explosions and a running hash of their kinds, types and
// points. The live list advances with drawing, so the checksum reads these instead.
extern std::uint32_t g_ExplosionsMade;
extern std::uint64_t g_ExplosionTrail;

// An explosion that only shows (smoke, fire, a bullet's burst seen on screen): made like any other
// but left out of the count and trail the machines compare, since what makes it may depend on the
// view or the visual generator. Never deals damage.
TExplosion* AddVisualExplosion(std::uint32_t kind, std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t type);

// Clears the set pointers, the loaded count and both lists; true.
bool ini_explo();
void ExplosionsFree();
// Once per rendered frame: ends finished explosions, queues the visible ones, advances all.
void UpdateExplosions();
// Loads the type's frames into a new set (empty when the archive fails).
TExploSprites* LoadExploTextures(std::uint32_t type);
// Fills a set from an explosion frame block; the frame count is 0 for a refused block.
void FillExploSprites(TExploSprites& sprites, const std::uint8_t* block, std::uint32_t size);
// The queue entries in order, as the map scene merges them with the units.
void CollectExplosionSprites(std::vector<const TExplosionSprite*>& out);
