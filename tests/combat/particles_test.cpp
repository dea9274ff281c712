#include "combat/particles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "animations.h"
#include "combat/ship_graphics.h"
#include "core/game_folder_fixture.h"
#include "core/random_table.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "effects_art.h"
#include "map/map_view.h"

namespace {

class ParticleTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        ASSERT_TRUE(DirectDrawInit(nullptr, 0));
        ASSERT_TRUE(Direct3DInit());
        savedX = g_ViewPixelX;
        savedY = g_ViewPixelY;
        savedBase = g_ViewDepthBase;
        list = CreateParticleSystemList();
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override
    {
        ParticlesClear(list);
        DeleteParticleSystemList(list);
        ParticlesFree();
        g_ViewPixelX = savedX;
        g_ViewPixelY = savedY;
        g_ViewDepthBase = savedBase;
        Direct3DFree();
        DirectDrawFree();
        GameFolderTest::TearDown();
    }
    static TEffect* Effect(std::int32_t lifetime, std::uint16_t count = 3, TAnimationSprites* sprites = nullptr)
    {
        TEffectDesc d;
        d.sprites = sprites;
        d.count = count;
        d.radius = 12;
        d.lifetime = lifetime;
        return new TEffect(d);
    }

    TParticleSystemList* list = nullptr;
    std::int32_t savedX = 0, savedY = 0;
    std::int16_t savedBase = 0;
};

TEST_F(ParticleTest, OffsetsLieInsideTheFlattenedTurnedCircle)
{
    EXPECT_EQ(ParticleOffset(0, 1.0f).x, 0.0f);
    for (int i = 0; i < 50; ++i) {
        const TVector3 centre = ParticleOffset(1, 0.0f);
        EXPECT_EQ(centre.x, 0.0f);
        EXPECT_EQ(centre.y, 0.0f);
    }
    for (float angle : {0.0f, 0.7853982f, 3.1415927f}) {
        for (int i = 0; i < 500; ++i) {
            TVector3 v = ParticleOffset(20, angle);
            RotateVectorZ(v, -angle); // back to the flattened circle
            EXPECT_LT(std::abs(v.x), 20.5f);
            EXPECT_LE(std::hypot(v.x, 2.0f * v.y), 21.5f) << v.x << " " << v.y;
        }
    }
}

TEST_F(ParticleTest, TheQuadStandsAboutThePositionRoundedWithRowDepths)
{
    g_ViewPixelX = 10;
    g_ViewPixelY = 20;
    g_ViewDepthBase = 300;
    const TScreenQuad q = PlaceParticleQuad({100.0f, 200.0f, 0.0f}, 3.4f, -2.6f, 32, 16);
    // origin (100 - (16 + 10), 200 - (8 + 20)) = (74, 172), plus the offset, rounded.
    EXPECT_EQ(q[0].x, 77.0f);
    EXPECT_EQ(q[0].y, 169.0f);
    EXPECT_EQ(q[1].x, 109.0f);
    EXPECT_EQ(q[1].y, 169.0f);
    EXPECT_EQ(q[2].x, 77.0f);
    EXPECT_EQ(q[3].y, 185.0f);
    EXPECT_FLOAT_EQ(q[0].z, 0.99999f - (300 + 1024 + 169 + 110) / 4096.0f);
    EXPECT_FLOAT_EQ(q[3].z, 0.99999f - (300 + 1024 + 185 + 110) / 4096.0f);
    g_ViewDepthBase = 30000;
    EXPECT_EQ(PlaceParticleQuad({100.0f, 200.0f, 0.0f}, 0, 0, 32, 16)[0].z, 0.0f);
}

TEST_F(ParticleTest, EffectsUseTheVisualGeneratorAndLiveTheirDefaultWhenUnset)
{
    const std::uint16_t index = g_RandIndex;
    std::unique_ptr<TEffect> e(Effect(0, 40));
    EXPECT_EQ(g_RandIndex, index);
    EXPECT_EQ(e->m_Lifetime, EFFECT_DEFAULT_LIFETIME);
    ASSERT_EQ(e->m_Elements.size(), 40u);
    EXPECT_FLOAT_EQ(e->Element(0).m_Anim.m_Speed, 0.4f);
    EXPECT_LT(e->Element(0).m_Anim.m_StartDelay, 10);
}

TEST_F(ParticleTest, AnEffectMovesEveryTwentiethFrameAndIsRemovedWhenItsLifeEnds)
{
    TEffect* moving = Effect(41);
    moving->m_Velocity = {1.0f, 2.0f, 3.0f};
    TEffect* brief = Effect(1);
    EXPECT_FALSE(AddParticleSystem(list, nullptr));
    ASSERT_TRUE(AddParticleSystem(list, moving));
    ASSERT_TRUE(AddParticleSystem(list, brief));

    ParticlesUpdateAll(list); // 41: no move; the brief one ends
    ASSERT_EQ(list->systems.size(), 1u);
    EXPECT_EQ(list->systems[0].get(), moving);
    EXPECT_EQ(moving->m_Position.x, 0.0f);
    ParticlesUpdateAll(list); // 40: moves
    EXPECT_EQ(moving->m_Position.x, 1.0f);
    EXPECT_EQ(moving->m_Position.z, 3.0f);
    for (int i = 0; i < 19; ++i)
        ParticlesUpdateAll(list);
    EXPECT_EQ(moving->m_Position.y, 2.0f);
    ParticlesUpdateAll(list); // 20: moves again
    EXPECT_EQ(moving->m_Position.y, 4.0f);
    for (int i = 0; i < 18; ++i)
        ParticlesUpdateAll(list);
    EXPECT_EQ(moving->m_Lifetime, 1);
    ParticlesUpdateAll(list);
    EXPECT_TRUE(list->systems.empty());

    AddParticleSystem(list, Effect(5));
    ParticlesClear(list);
    EXPECT_TRUE(list->systems.empty());
}

TEST_F(ParticleTest, WithoutTheBankStartUpFails)
{
    EXPECT_FALSE(ParticlesInit());
    EXPECT_TRUE(Logged("FAILED: Data\\Misc\\ParticleAnims\\"));
    EXPECT_EQ(GetParticleAnim(0), nullptr);
}

TEST_F(ParticleTest, TheSampleBankLoadsOnFirstUseAndDrawsRecognisableEffects)
{
    ASSERT_TRUE(sampledata::WriteAnimations(dir.Path()));
    ASSERT_TRUE(ParticlesInit());
    EXPECT_EQ(GetParticleAnim(PARTICLE_FOAM + 1), nullptr);
    for (std::uint8_t i : {PARTICLE_SMOKE, PARTICLE_FIRE, PARTICLE_SPARKS, PARTICLE_GAS, PARTICLE_FOAM}) {
        TAnimationSprites* set = GetParticleAnim(i);
        ASSERT_NE(set, nullptr) << int(i);
        EXPECT_EQ(set->m_Count, sampledata::kParticleFrames);
        EXPECT_EQ(set->m_Width, sampledata::kParticleFrameSize);
        EXPECT_EQ(GetParticleAnim(i), set);
    }

    std::unique_ptr<TEffect> e(Effect(30, 5, GetParticleAnim(PARTICLE_SMOKE)));
    for (int i = 0; i < 20; ++i)
        e->Update();
    EXPECT_EQ(e->m_Lifetime, 10);

    // Each look: transparent corners, many shades, and its own hue.
    const auto hue = [](std::uint16_t p) { return std::array<int, 3>{(p >> 8) & 15, (p >> 4) & 15, p & 15}; };
    for (auto look : {sampledata::ParticleLook::Smoke, sampledata::ParticleLook::Fire,
                      sampledata::ParticleLook::Sparks, sampledata::ParticleLook::Gas, sampledata::ParticleLook::Foam}) {
        const auto pixels = sampledata::DrawParticleFrame(look, 3);
        EXPECT_EQ(pixels.front() >> 12, 0);
        EXPECT_EQ(pixels.back() >> 12, 0);
        std::set<std::uint16_t> shades;
        long r = 0, g = 0, b = 0;
        for (std::uint16_t p : pixels)
            if ((p >> 12) > 4) {
                shades.insert(p);
                r += hue(p)[0];
                g += hue(p)[1];
                b += hue(p)[2];
            }
        EXPECT_GE(shades.size(), 6u) << int(look);
        switch (look) {
        case sampledata::ParticleLook::Smoke: EXPECT_LT(std::abs(r - b), r / 5); break;
        case sampledata::ParticleLook::Fire:
        case sampledata::ParticleLook::Sparks: EXPECT_GT(r, 2 * b); break;
        case sampledata::ParticleLook::Gas: EXPECT_GT(g, 2 * b); break;
        case sampledata::ParticleLook::Foam: EXPECT_GE(b, r); EXPECT_GT(r, 0); break;
        }
    }
}

// A sinking ship's foam: one cloud of the foam set laid along the ship's boiling line, on the map's
// particle list, through the ship graphics' own service.
TEST_F(ParticleTest, BoilingLaysFoamAlongTheLine)
{
    ASSERT_TRUE(sampledata::WriteAnimations(dir.Path()));
    ASSERT_TRUE(ParticlesInit());
    TParticleSystemList* saved = g_pParticleSystems;
    g_pParticleSystems = list;
    const struct {
        float x0, y0, x1, y1;
        std::int32_t count;
        std::size_t made;
    } cases[] = {{100, 200, 300, 200, 40, 40}, {500, 100, 500, 300, 12, 12}, {50, 50, 50, 50, 3, 3},
                 {0, 0, 100, 100, 20, 20}, {0, 0, 100, 0, 0, 0}, {0, 0, 100, 0, 100000, 200}};
    for (const auto& c : cases) {
        ParticlesClear(list);
        TShipPartServices::Default().boiling(c.x0, c.y0, c.x1, c.y1, c.count);
        ASSERT_EQ(list->systems.size(), c.made > 0 ? 1u : 0u) << c.count;
        if (c.made == 0)
            continue;
        const auto& e = static_cast<const TEffect&>(*list->systems[0]);
        EXPECT_EQ(e.m_pSprites, GetParticleAnim(PARTICLE_FOAM));
        EXPECT_GT(e.m_Lifetime, 0) << "a cloud that is drawn at all";
        EXPECT_FLOAT_EQ(e.m_Position.x, (c.x0 + c.x1) / 2);
        EXPECT_FLOAT_EQ(e.m_Position.y, (c.y0 + c.y1) / 2);
        ASSERT_EQ(e.m_Elements.size(), c.made);
        // Every bubble lies within half the line's length of the middle, and nearer the line than
        // half again across it.
        const float half = std::max(1.0f, std::hypot(c.x1 - c.x0, c.y1 - c.y0) / 2);
        const float ux = half > 1.0f ? (c.x1 - c.x0) / (2 * half) : 1.0f, uy = half > 1.0f ? (c.y1 - c.y0) / (2 * half) : 0.0f;
        for (std::size_t i = 0; i < e.m_Elements.size(); ++i) {
            const TEffectParticle& p = e.Element(i);
            const float along = p.m_OffsetX * ux + p.m_OffsetY * uy;
            const float across = -p.m_OffsetX * uy + p.m_OffsetY * ux;
            EXPECT_LE(std::abs(along), half + 0.01f);
            EXPECT_LE(std::abs(across), half / 2 + 0.51f);
        }
    }
    ParticlesClear(list);
    g_pParticleSystems = nullptr;
    TShipPartServices::Default().boiling(0, 0, 10, 0, 5);
    g_pParticleSystems = saved;
}

} // namespace
