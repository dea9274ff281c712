#pragma once
// Particle systems: purely visual clouds of animated sprites about a moving point, updated and drawn
// once per drawn frame. They draw from the visual generator, never from the shared random table,
// and take no part in the simulation checksum. The particle animation bank of
// "Data\Misc\ParticleAnims\" supplies their sprites.
//
// Threads: main thread only.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "combat/effects.h"
#include "devices/animation.h"
#include "devices/quads.h"

// Sets of the sample particle bank, in its "Info.txt" order.
constexpr std::uint8_t PARTICLE_SMOKE = 0;
constexpr std::uint8_t PARTICLE_FIRE = 1;
constexpr std::uint8_t PARTICLE_SPARKS = 2;
constexpr std::uint8_t PARTICLE_GAS = 3;
constexpr std::uint8_t PARTICLE_FOAM = 4;

constexpr char PARTICLE_FOLDER[] = "Data\\Misc\\ParticleAnims\\";
// Frames between two moves of a system by its velocity.
constexpr std::int32_t PARTICLE_MOVE_PERIOD = 20;
// What an effect lives (drawn frames) when its maker gives no lifetime.
constexpr std::int32_t EFFECT_DEFAULT_LIFETIME = 400;
constexpr float PARTICLE_ANIMATION_SPEED = 0.4f;

class TParticle {
public:
    virtual ~TParticle() = default;
};

class TParticleSystem {
public:
    virtual ~TParticleSystem() = default;
    // One drawn frame: moves, ages, advances and draws the elements.
    virtual void Update() = 0;

    TVector3 m_Position;
    TVector3 m_Velocity;
    std::int32_t m_Lifetime = 0;
    std::uint8_t m_Flag = 0;
    std::vector<std::unique_ptr<TParticle>> m_Elements;
};

struct TEffectDesc {
    TAnimationSprites* sprites = nullptr;
    std::uint16_t count = 0;
    std::uint16_t radius = 0;
    float angle = 0.0f; // radians, about the vertical axis
    std::int32_t lifetime = EFFECT_DEFAULT_LIFETIME;
};

// One sprite of an effect: its offset from the effect's position and its playing instance.
class TEffectParticle : public TParticle {
public:
    float m_OffsetX = 0.0f;
    float m_OffsetY = 0.0f;
    TAnimationStruct m_Anim;
};

class TEffect : public TParticleSystem {
public:
    explicit TEffect(const TEffectDesc& desc);
    void Update() override;

    // The quad of element i this frame (screen pixels and depths, texture coordinates of the
    // template), without advancing anything.
    TScreenQuad ElementQuad(std::size_t i) const;
    const TEffectParticle& Element(std::size_t i) const;

    TAnimationSprites* m_pSprites = nullptr;
    std::uint16_t m_Radius = 0;
    float m_Angle = 0.0f;
};

// A point strictly inside the circle of radius r about the origin from the visual generator,
// flattened to the isometric ellipse and turned by angle: the offset of an effect's element.
// (0, 0) for radius 0.
TVector3 ParticleOffset(std::uint16_t radius, float angle);

// A particle quad: the sprite's w x h about the system's position, moved by the element's offset,
// corners rounded to whole pixels, each row at its own depth.
TScreenQuad PlaceParticleQuad(const TVector3& position, float offsetX, float offsetY, std::uint16_t w,
                              std::uint16_t h);

class TParticleSystemList {
public:
    std::vector<std::unique_ptr<TParticleSystem>> systems;
};

// false for a null system or list (the caller keeps the system); else the list owns it.
bool AddParticleSystem(TParticleSystemList* list, TParticleSystem* system);
// Every system of the list in order: its frame; systems whose lifetime ran out are deleted.
void ParticlesUpdateAll(TParticleSystemList* list);
// Set index of the particle bank, loaded on first use; null beyond the bank or without it.
TAnimationSprites* GetParticleAnim(std::uint8_t index);

// The foam of a sinking ship: one effect of count bubbles of the foam set, centred between the two
// map points and stretched along the line joining them (the cloud's long axis is the line). Added
// to the map's particle list; null without the list, the set, or any bubble.
TEffect* AddBoilingEffect(float x0, float y0, float x1, float y1, std::int32_t count);
