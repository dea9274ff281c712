#include "combat/particles.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/error_log.h"
#include "core/random_table.h"
#include "devices/d3d_device.h"
#include "map/map_view.h"

TParticleSystemList* g_pParticleSystems = nullptr;

namespace {

TAnimationBank* g_pParticleBank = nullptr;

// Rows of a particle sit 110 pixels nearer than a sprite standing on the same row, so clouds stay
// in front of what they rise from.
constexpr float kParticleDepthLift = 110.0f;
// A ship's boiling line asks for this many bubbles at most: enough to cover the largest hull.
constexpr std::int32_t kMaxBoilingBubbles = 200;

} // namespace

TVector3 ParticleOffset(std::uint16_t radius, float angle)
{
    TVector3 v;
    if (radius == 0)
        return v;
    const int r = radius;
    int a = 0, b = 0;
    do {
        a = VisualRand() % (2 * r) - r;
        b = VisualRand() % (2 * r) - r;
    } while (!(std::sqrt(static_cast<double>(a * a + b * b)) < static_cast<double>(r)));
    v.x = static_cast<float>(a);
    v.y = static_cast<float>(b >> 1);
    RotateVectorZ(v, angle);
    return v;
}

TScreenQuad PlaceParticleQuad(const TVector3& position, float offsetX, float offsetY, std::uint16_t w, std::uint16_t h)
{
    TScreenQuad q = g_SpriteQuadTemplate;
    const float originX = position.x - (static_cast<float>(w) * 0.5f + static_cast<float>(g_ViewPixelX));
    const float originY = position.y - (static_cast<float>(h) * 0.5f + static_cast<float>(g_ViewPixelY));
    const float left = std::round(originX + offsetX);
    const float top = std::round(originY + offsetY);
    const float right = left + static_cast<float>(w);
    const float bottom = top + static_cast<float>(h);
    const float base = static_cast<float>(g_ViewDepthBase) + 1024.0f + kParticleDepthLift;
    const float topZ = ClampedDepth(base + top);
    const float bottomZ = ClampedDepth(base + bottom);
    q[0].x = left;
    q[0].y = top;
    q[1].x = right;
    q[1].y = top;
    q[2].x = left;
    q[2].y = bottom;
    q[3].x = right;
    q[3].y = bottom;
    q[0].z = q[1].z = topZ;
    q[2].z = q[3].z = bottomZ;
    return q;
}

TEffect::TEffect(const TEffectDesc& desc) : m_pSprites(desc.sprites), m_Radius(desc.radius), m_Angle(desc.angle)
{
    // A maker that sets no lifetime means the default one; 0 would delete the cloud unseen.
    m_Lifetime = desc.lifetime > 0 ? desc.lifetime : EFFECT_DEFAULT_LIFETIME;
    m_Elements.reserve(desc.count);
    for (std::uint16_t i = 0; i < desc.count; ++i) {
        auto element = std::make_unique<TEffectParticle>();
        element->m_Anim.SetSprites(m_pSprites, false);
        element->m_Anim.m_Repeat = 0; // plays for as long as the cloud lives
        element->m_Anim.m_StartDelay = static_cast<std::uint16_t>(VisualRand() % 10);
        element->m_Anim.m_Speed = PARTICLE_ANIMATION_SPEED;
        const TVector3 offset = ParticleOffset(m_Radius, m_Angle);
        element->m_OffsetX = offset.x;
        element->m_OffsetY = offset.y;
        m_Elements.push_back(std::move(element));
    }
}

const TEffectParticle& TEffect::Element(std::size_t i) const
{
    return static_cast<const TEffectParticle&>(*m_Elements[i]);
}

TScreenQuad TEffect::ElementQuad(std::size_t i) const
{
    const TEffectParticle& e = Element(i);
    const std::uint16_t w = m_pSprites != nullptr ? m_pSprites->m_Width : 0;
    const std::uint16_t h = m_pSprites != nullptr ? m_pSprites->m_Height : 0;
    return PlaceParticleQuad(m_Position, e.m_OffsetX, e.m_OffsetY, w, h);
}

void TEffect::Update()
{
    if (m_Lifetime == 0)
        return;
    if (m_Lifetime % PARTICLE_MOVE_PERIOD == 0) {
        m_Position.x += m_Velocity.x;
        m_Position.y += m_Velocity.y;
        m_Position.z += m_Velocity.z;
    }
    --m_Lifetime;
    for (std::size_t i = 0; i < m_Elements.size(); ++i) {
        auto& e = static_cast<TEffectParticle&>(*m_Elements[i]);
        const bool shown = e.m_Anim.Update();
        if (!shown || m_pSprites == nullptr || g_pD3DDevice == nullptr)
            continue;
        plat::Texture* texture = m_pSprites->FrameTexture(e.m_Anim.CurrentFrame());
        if (texture == nullptr)
            continue;
        const TScreenQuad q = ElementQuad(i);
        g_pD3DDevice->SetTexture(0, texture);
        g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, q.data(), 4, 0);
    }
}

bool AddParticleSystem(TParticleSystemList* list, TParticleSystem* system)
{
    if (list == nullptr || system == nullptr)
        return false;
    list->systems.emplace_back(system);
    return true;
}

void ParticlesUpdateAll(TParticleSystemList* list)
{
    if (list == nullptr)
        return;
    auto& systems = list->systems;
    for (std::size_t i = 0; i < systems.size();) {
        systems[i]->Update();
        if (systems[i]->m_Lifetime <= 0)
            systems.erase(systems.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

void ParticlesUpdateAll()
{
    ParticlesUpdateAll(g_pParticleSystems);
}

void ParticlesClear(TParticleSystemList* list)
{
    if (list != nullptr)
        list->systems.clear();
}

TEffect* AddBoilingEffect(float x0, float y0, float x1, float y1, std::int32_t count)
{
    TAnimationSprites* foam = GetParticleAnim(PARTICLE_FOAM);
    if (g_pParticleSystems == nullptr || foam == nullptr || count <= 0)
        return nullptr;
    const float dx = x1 - x0, dy = y1 - y0;
    TEffectDesc desc;
    desc.sprites = foam;
    desc.count = static_cast<std::uint16_t>(std::min<std::int32_t>(count, kMaxBoilingBubbles));
    // Half the line, so that the ellipse's long axis spans it; at least one pixel, so a line of no
    // length still gives a point of foam.
    desc.radius = static_cast<std::uint16_t>(std::clamp(std::hypot(dx, dy) * 0.5f, 1.0f, 2000.0f));
    desc.angle = std::atan2(dy, dx);
    auto* effect = new TEffect(desc);
    effect->m_Position = {(x0 + x1) * 0.5f, (y0 + y1) * 0.5f, 0.0f};
    AddParticleSystem(g_pParticleSystems, effect);
    return effect;
}

TParticleSystemList* CreateParticleSystemList()
{
    return new (std::nothrow) TParticleSystemList;
}

void DeleteParticleSystemList(TParticleSystemList* list)
{
    delete list;
}

bool ParticlesInit()
{
    ParticlesFree();
    g_pParticleBank = new TAnimationBank(PARTICLE_FOLDER, 0);
    if (g_pParticleBank->Count() == 0) {
        ReportError("FAILED: Data\\Misc\\ParticleAnims\\");
        ParticlesFree();
        return false;
    }
    return true;
}

void ParticlesFree()
{
    delete g_pParticleBank;
    g_pParticleBank = nullptr;
}

TAnimationSprites* GetParticleAnim(std::uint8_t index)
{
    if (g_pParticleBank == nullptr || index >= g_pParticleBank->Count())
        return nullptr;
    if (g_pParticleBank->Set(index) == nullptr && !g_pParticleBank->Load(PARTICLE_FOLDER, index))
        return nullptr;
    return g_pParticleBank->Set(index);
}
