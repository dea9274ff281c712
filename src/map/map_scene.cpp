// The map scene's passes, in their fixed order, and the merge of the depth-sorted pass.
#include "map/map_scene.h"

#include <cmath>

#include "core/app_state.h"
#include "core/settings.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/mouse.h"
#include "map/fog.h"
#include "map/fog_edges.h"
#include "map/landscape.h"
#include "map/map_file.h"
#include "map/map_view.h"
#include "map/terrain.h"
#include "map/water.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_types.h"
#include "units/anim_slots.h"

std::uint8_t g_bStaticLayerFresh = 0;
std::vector<TUnitDrawRecord> g_UnitsDrawTinted;
std::vector<TUnitDrawRecord> g_UnitsDrawSorted;
std::vector<TUnitDrawRecord> g_UnitsDrawLate;
std::uint8_t g_bShowHouseBars = 1;

TMapDrawServices& MapDrawServices()
{
    static TMapDrawServices services = DefaultMapDrawServices();
    return services;
}

namespace {

// Render-state values by their Direct3D 7 numbers.
constexpr std::uint32_t kFalse = 0, kTrue = 1;
constexpr std::uint32_t kCmpEqual = 3, kCmpLessEqual = 4, kCmpNotEqual = 6;
constexpr std::uint32_t kOpSelectArg1 = 2, kOpModulate = 4, kOpAddSmooth = 11;
constexpr std::uint32_t kArgCurrent = 1, kArgTexture = 2, kArgTFactor = 3;
constexpr std::uint32_t kBlendSrcAlpha = 5, kBlendInvSrcAlpha = 6, kBlendDestColor = 9;

constexpr std::uint32_t kReflectionFactor = 0x5A000000u;
constexpr std::uint32_t kExplosionFactor = 0xBE000000u;
constexpr std::uint32_t kReflectionMesh = 0xFFE5E5E5u;
constexpr std::uint32_t kNormalMesh = 0xFF007F19u;

void State(D3DState s, std::uint32_t v)
{
    g_pD3DDevice->SetRenderState(s, v);
}

void Stage(D3DStageState s, std::uint32_t v)
{
    g_pD3DDevice->SetTextureStageState(0, s, v);
}

void ModulateAlphaByFactor()
{
    Stage(D3DStageState::AlphaOp, kOpModulate);
    Stage(D3DStageState::AlphaArg2, kArgTFactor);
}

void PlainAlpha()
{
    Stage(D3DStageState::AlphaOp, kOpSelectArg1);
    Stage(D3DStageState::AlphaArg2, kArgCurrent);
}

bool CanModulateAlphaByFactor()
{
    return (g_bTextureOpsSupported & kTexOpCapModulate) != 0;
}

bool TypeOf(const TUnit* u, TBasicUnit*& basic)
{
    basic = u ? u->Basic : nullptr;
    return basic != nullptr;
}

void DrawReflections()
{
    if (!g_bWaterReflections || g_VisibleHouses.empty() || !CanModulateAlphaByFactor())
        return;
    TMapDrawServices& s = MapDrawServices();
    ModulateAlphaByFactor();
    State(D3DState::TextureFactor, kReflectionFactor);
    if (s.SetReflectionMeshColour)
        s.SetReflectionMeshColour(kReflectionMesh);
    for (const TVisibleHouse& v : g_VisibleHouses) {
        const std::uint16_t kind = v.house->HouseType;
        float dx = 0, dy = 0;
        if (kind == 0)
            dx = -17, dy = 55;
        else if (kind == 1)
            dx = 13, dy = 14;
        else if (kind == 22)
            dx = 0, dy = 156;
        else
            continue;
        TScreenQuad quad = g_SpriteQuadTemplate;
        if (s.DrawHouseRotated)
            s.DrawHouseRotated(v.house, dx, dy, quad);
    }
    if (s.SetReflectionMeshColour)
        s.SetReflectionMeshColour(kNormalMesh);
    PlainAlpha();
}

void DrawDragArrow()
{
    if (!g_bRButtonHeld || MyStrateg == nullptr || MyStrateg->NumSelectedUnits == 0)
        return;
    const float x0 = static_cast<float>(g_RPressMapX), y0 = static_cast<float>(g_RPressMapY);
    const float x1 = static_cast<float>(g_CursorMapX), y1 = static_cast<float>(g_CursorMapY);
    if (!IsOrderDragLongEnough(x0, y0, x1, y1))
        return;
    const TMapDrawServices& s = MapDrawServices();
    if (s.SelectionHasGroup && s.SelectionHasGroup())
        DrawOrientationArrow(x0, y0, x1, y1, 40.0f);
    else
        DrawOrderArrow(x0, y0, x1, y1);
}

std::int16_t Trunc16(float v)
{
    return static_cast<std::int16_t>(static_cast<std::int32_t>(v));
}

struct TMergeState {
    const std::vector<TUnitDrawRecord>* units = nullptr;
    std::size_t unitIndex = 0;
    TMapAnimNode* node = nullptr;
    std::vector<const TExplosionSprite*> explosions;
    std::size_t explosionIndex = 0;
    THouse* flagHouse = nullptr;
    TSceneKey flagKey;
};

void FillHeads(const TMergeState& m, TMergeHeads& h)
{
    h = {};
    while (m.unitIndex < m.units->size()) {
        const TUnit* u = (*m.units)[m.unitIndex].unit;
        TBasicUnit* basic = nullptr;
        if (!TypeOf(u, basic))
            break;
        h.unit.x = Trunc16(u->X - static_cast<float>(g_ViewPixelX) + basic->m_SpriteOffsetX);
        h.unit.y = Trunc16(u->Y - static_cast<float>(g_ViewPixelY) - u->Height - u->GroundHeight +
                           basic->m_SpriteOffsetY);
        h.unitLift = static_cast<std::int16_t>(Trunc16(u->Height) + Trunc16(u->GroundHeight));
        break;
    }
    if (m.node) {
        h.node = {Trunc16(m.node->quad[3].x), Trunc16(m.node->quad[3].y)};
        h.nodeLayer = m.node->layer;
        h.nodeKey = m.node->key;
    }
    if (m.explosionIndex < m.explosions.size()) {
        const TExplosionSprite& e = *m.explosions[m.explosionIndex];
        h.explosion = {static_cast<std::int16_t>(e.x), static_cast<std::int16_t>(e.y + e.height)};
    }
    if (m.flagHouse)
        h.flag = m.flagKey;
}

void DrawMergedPass()
{
    TMapDrawServices& s = MapDrawServices();
    TMergeState m;
    m.units = &g_UnitsDrawSorted;
    m.node = g_MapAnimList;
    if (s.Explosions)
        s.Explosions(m.explosions);
    if (s.RallyFlagHouse) {
        THouseMapFields f;
        THouse* house = s.RallyFlagHouse();
        if (house && GetHouseMapFields(house, f)) {
            const float land = static_cast<float>(GetLandHeightF(f.rallyX, f.rallyY));
            const bool onScreen = g_ViewPixelX <= f.rallyX && f.rallyX <= g_ViewPixelX + g_ScreenWidth &&
                                  g_ViewPixelY <= f.rallyY - land && f.rallyY - land <= g_ViewPixelY + g_ScreenHeight;
            if (onScreen) {
                m.flagHouse = house;
                m.flagKey = {Trunc16(f.rallyX - g_ViewPixelX), Trunc16(f.rallyY - g_ViewPixelY + land)};
            }
        }
    }
    const bool factor = CanModulateAlphaByFactor();
    TMergeHeads heads;
    for (;;) {
        FillHeads(m, heads);
        const int source = ChooseMergeSource(heads);
        if (source < 0)
            break;
        switch (source) {
        case 0: {
            TUnit* u = (*m.units)[m.unitIndex++].unit;
            u->Basic->Draw(u);
            break;
        }
        case 1: {
            TMapAnimNode& n = *m.node;
            if (n.source && n.source->slot) {
                const int frame = static_cast<std::uint8_t>(static_cast<std::int32_t>(n.source->currentFrame));
                g_pD3DDevice->SetTexture(0, n.source->slot->m_Sprites.FrameTexture(frame));
                DrawFilledPrimitive(static_cast<int>(plat::PrimitiveType::TriangleStrip), n.quad.data(), 4);
                AdvanceMapAnimFrame(n);
            }
            m.node = n.next;
            break;
        }
        case 2: {
            const TExplosionSprite& e = *m.explosions[m.explosionIndex++];
            if (factor) {
                ModulateAlphaByFactor();
                State(D3DState::TextureFactor, kExplosionFactor);
                DrawExplosionSprite(e);
                PlainAlpha();
            } else {
                DrawExplosionSprite(e);
            }
            break;
        }
        default:
            DrawRallyFlag(m.flagHouse);
            m.flagHouse = nullptr;
            break;
        }
    }
}

void DrawLandscapeFilter()
{
    // Without its texture the filter would wash the whole view white.
    if (!g_bLandFilter || g_pFilterTexture == nullptr)
        return;
    State(D3DState::ZFunc, kCmpNotEqual);
    State(D3DState::SrcBlend, kBlendDestColor);
    Stage(D3DStageState::ColorOp, kOpAddSmooth);
    g_pD3DDevice->SetTexture(0, g_pFilterTexture);
    TScreenQuad quad;
    for (int row = 0; row < FILTER_ROWS; ++row)
        for (int column = 0; column < FILTER_COLUMNS; ++column) {
            MakeFilterQuad(column, row, g_ViewPixelX, g_ViewPixelY, quad);
            g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, quad.data(), 4, kDrawWait);
        }
    Stage(D3DStageState::ColorOp, kOpModulate);
    State(D3DState::SrcBlend, kBlendSrcAlpha);
    State(D3DState::ZFunc, kCmpLessEqual);
}

} // namespace

int ChooseMergeSource(const TMergeHeads& h)
{
    int choice;
    TSceneKey key;
    if (!h.node.Exhausted() && h.nodeLayer == 0) {
        choice = 1; // objects of the map are drawn before anything else
        key = h.node;
    } else {
        const bool unitFirst = h.unit.y < h.node.y || (h.unit.y == h.node.y && h.unit.x <= h.node.x);
        choice = unitFirst ? 0 : 1;
        if (!h.unit.Exhausted() && !h.node.Exhausted() && std::abs(h.nodeKey - h.unitLift) > 10)
            choice = h.unitLift > h.nodeKey ? 1 : 0;
        key = choice == 0 ? h.unit : h.node;
    }
    auto overrides = [&](const TSceneKey& k) { return k.y < key.y || (k.y == key.y && key.x > k.x); };
    if (overrides(h.explosion))
        choice = 2, key = h.explosion;
    if (overrides(h.flag))
        choice = 3, key = h.flag;
    return key.Exhausted() ? -1 : choice;
}

bool IsOrderDragLongEnough(float x0, float y0, float x1, float y1)
{
    const double dx = static_cast<double>(x1) - x0;
    const double dy = static_cast<double>(y1) - y0;
    return dx * dx + dy * dy > 100.0 * 100.0;
}

void MakeFilterQuad(int column, int row, std::int32_t viewPixelX, std::int32_t viewPixelY, TScreenQuad& quad)
{
    const float left = static_cast<float>(-(viewPixelX % FILTER_TILE) + column * FILTER_TILE);
    const float top = static_cast<float>(-(viewPixelY % FILTER_TILE) + row * FILTER_TILE);
    const float right = left + FILTER_TILE;
    const float bottom = top + FILTER_TILE;
    const float base = static_cast<float>(g_ViewDepthBase) + 1024.0f + 110.0f;
    quad = g_SpriteQuadTemplate;
    const float xs[4] = {left, right, left, right};
    const float ys[4] = {top, top, bottom, bottom};
    for (int k = 0; k < 4; ++k) {
        quad[k].x = xs[k];
        quad[k].y = ys[k];
        quad[k].z = ClampedDepth(base + ys[k]);
    }
}

void DrawMapScene()
{
    TMapDrawServices& s = MapDrawServices();
    const bool editor = g_bEditorMode != 0;
    const bool fog = g_bFogOfWar && !editor;
    // Main thread: what this frame's fog body will cover, so that the passes before it leave
    // those pixels alone.
    static THiddenArea s_FogBody;
    if (fog) {
        UpdateFog();
        FogBodyArea(s_FogBody, g_ScreenHeight);
    }
    if (g_bStaticLayerFresh)
        g_bStaticLayerFresh = 0;
    else if (g_pDDSBack && g_pDDSBuffer)
        g_pDDSBack->BltFast(0, 0, *g_pDDSBuffer, nullptr, false);
    if (g_pD3DDevice == nullptr)
        return;
    g_pD3DDevice->BeginScene();
    if (fog)
        g_pD3DDevice->SetHiddenArea(&s_FogBody);
    // The states every pass below starts from: blending by source alpha, colour key on, no alpha
    // or depth test, and the stage that lights each texel by the map light in the diffuse colour.
    // The static layer's rebuild leaves blending off, the fog of the previous frame the texture's
    // own colour selected.
    State(D3DState::AlphaBlendEnable, kTrue);
    State(D3DState::SrcBlend, kBlendSrcAlpha);
    State(D3DState::DestBlend, kBlendInvSrcAlpha);
    State(D3DState::ColorKeyEnable, kTrue);
    State(D3DState::AlphaTestEnable, kFalse);
    State(D3DState::ZEnable, kFalse);
    Stage(D3DStageState::ColorOp, kOpModulate);
    Stage(D3DStageState::ColorArg1, kArgTexture);
    Stage(D3DStageState::ColorArg2, kArgCurrent);
    Stage(D3DStageState::AlphaArg1, kArgTexture);
    PlainAlpha();

    State(D3DState::ZEnable, kTrue);
    State(D3DState::ZWriteEnable, kFalse);
    if (g_pWater)
        g_pWater->DrawWater();
    State(D3DState::ZFunc, kCmpEqual);
    if (s.ParticlesUpdateAll)
        s.ParticlesUpdateAll();
    if (s.ClearShipList)
        s.ClearShipList();

    DrawReflections();

    State(D3DState::ZFunc, kCmpLessEqual);
    if (editor) {
        if (s.DrawCratersSecondPass)
            s.DrawCratersSecondPass();
    } else {
        if (s.DrawCraters)
            s.DrawCraters();
        if (s.StepShipList)
            s.StepShipList();
    }

    if (!g_UnitsDrawTinted.empty()) {
        ModulateAlphaByFactor();
        for (const TUnitDrawRecord& r : g_UnitsDrawTinted)
            if (r.unit && r.unit->Basic)
                r.unit->Basic->DrawDead(r.unit);
        PlainAlpha();
    }

    DrawDragArrow();
    DrawMergedPass();
    DrawLandscapeFilter();
    if (g_bShowHouseBars)
        DrawHouseBars();
    for (const TUnitDrawRecord& r : g_UnitsDrawLate)
        if (r.unit && r.unit->Basic)
            r.unit->Basic->Draw(r.unit);

    if (editor) {
        State(D3DState::ZEnable, kTrue);
        State(D3DState::ZWriteEnable, kFalse);
        if (s.DrawEditorBrush)
            s.DrawEditorBrush();
    } else {
        if (s.StepHouses)
            s.StepHouses();
        if (s.DrawShots)
            s.DrawShots();
    }
    g_pD3DDevice->SetHiddenArea(nullptr);
    if (fog) {
        State(D3DState::ZEnable, kFalse);
        DrawSuperFog();
    }
    g_pD3DDevice->EndScene();
    State(D3DState::AlphaBlendEnable, kFalse);
}
