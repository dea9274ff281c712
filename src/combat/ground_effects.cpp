#include "combat/ground_effects.h"

#include <cmath>

#include "combat/battle_services.h"
#include "combat/effects.h"
#include "combat/explosions.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "devices/d3d_device.h"
#include "devices/image_files.h"
#include "devices/span_image.h"
#include "map/landscape.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/terrain.h"
#include "platform/texture.h"
#include "players/strateg.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"

plat::Texture* g_pHouseSelTexture = nullptr;

namespace {

constexpr std::uint32_t kFireType = 34;
constexpr std::uint32_t kSmokeType = 9;
constexpr std::uint8_t kFireSoundCategory = 7;
constexpr std::uint8_t kFireSoundPriority = 4;
constexpr std::int32_t kFireLevels = 4;
constexpr int kMaxFirePoints = 10;
constexpr std::int16_t kNoDepthHigh = 32767;
constexpr std::int16_t kNoDepthLow = -32768;

constexpr float kRingPointsPerRadius = 0.49951172f;
constexpr float kRingLift = 26.0f;
constexpr float kRingMarginX = 100.0f;
constexpr float kRingMarginY = 50.0f;
// Half the width of the drawn band, in screen pixels.
constexpr float kRingBandHalf = 4.0f;
constexpr float kShipRingRadius = 200.0f;

const char* const kHouseSelTexturePath = "Data\\Misc\\HouseSelTexture.bmp";

} // namespace

// ---- house fires ----------------------------------------------------------------------------------

std::int32_t HouseFireLevel(float hitPoints, std::uint16_t maxHitPoints)
{
    const std::int32_t half = maxHitPoints / 2;
    if (half <= 0 || hitPoints >= static_cast<float>(half))
        return -1;
    const std::int32_t n = (half - static_cast<std::int32_t>(hitPoints)) * kFireLevels / half;
    return n < kFireLevels ? n : kFireLevels - 1;
}

bool HouseMayBurn(const THouse& h)
{
    if (h.TypeRecord == nullptr || h.Owner >= HOUSE_NO_OWNER || h.Destroyed != 0 || !h.IsFinished())
        return false;
    const CHousePhaseGraphic* standing = h.Type().m_pFinishedPhase;
    return standing != nullptr && standing->State() == PHASE_LOADED;
}

bool HouseFirePointHeight(const THouse& h, std::int16_t x, std::int16_t y, std::int32_t& height)
{
    if (h.TypeRecord == nullptr || h.Type().m_pFinishedPhase == nullptr)
        return false;
    const THouseType& t = h.Type();
    const CHousePhaseGraphic& phase = *t.m_pFinishedPhase;
    std::int16_t depth = 0;
    if (t.m_DepthKind == HOUSE_DEPTH_SPAN_CODED) {
        if (phase.m_pDepthMap == nullptr)
            return false;
        depth = static_cast<std::int16_t>(phase.m_pDepthMap->GetPixel(x, y));
    } else {
        if (phase.m_pDepth == nullptr || x < 0 || y < 0 || x >= t.m_SpriteWidth || y >= t.m_SpriteHeight)
            return false;
        depth = static_cast<std::int16_t>(phase.m_pDepth[static_cast<std::size_t>(y) * t.m_SpriteWidth + x]);
    }
    if (depth == kNoDepthHigh || depth == kNoDepthLow)
        return false;
    height = static_cast<std::int32_t>(GetHeightFromMap(plat::Point{h.X, h.Y})) + depth;
    return true;
}

void AddDamagedHouseFires()
{
    for (const TVisibleHouse& visible : g_VisibleHouses) {
        const THouse* h = visible.house;
        if (h == nullptr || !HouseMayBurn(*h))
            continue;
        const std::int32_t n = HouseFireLevel(h->HitPoints, h->MaxHitPoints);
        if (n < 0)
            continue;
        const THouseType& t = h->Type();
        const std::int32_t ground = GetHeightFromMap(plat::Point{h->X, h->Y});
        const int points = t.m_DestructionCount < kMaxFirePoints ? t.m_DestructionCount : kMaxFirePoints;
        for (int i = 0; i < points; ++i) {
            if (((t.m_DestructionValues[i] >> (8 * n)) & 0xFFu) == 0)
                continue;
            std::int32_t height = 0;
            if (!HouseFirePointHeight(*h, t.m_DestructionX[i], t.m_DestructionY[i], height))
                continue;
            if (VisualRand() % 3 != 0)
                continue;
            const std::int32_t x = static_cast<std::int32_t>(h->DoorX) - t.m_DoorX + t.m_DestructionX[i]
                - (VisualRand() & 1) + 1;
            const std::int32_t y = static_cast<std::int32_t>(h->DoorY) - t.m_DoorY + height + 5 + t.m_DestructionY[i]
                - ground - VisualRand() % 5;
            AddVisualExplosion(EXPLOSION_ATTACHED, x, y, height + 5, kFireType);
            const std::int32_t beside = VisualRand() % 10;
            const std::int32_t higher = VisualRand() % 10;
            if (TExplosion* smoke = AddVisualExplosion(EXPLOSION_ATTACHED, x + beside, y, height + 5 + higher, kSmokeType))
                smoke->risePerFrame = 3;
        }
        if (BattleServices().playSound)
            BattleServices().playSound(kFireSoundCategory, h, static_cast<std::uint8_t>(n), kFireSoundPriority);
    }
}

// ---- ground rings ---------------------------------------------------------------------------------

void TRing::Set(float x, float y, float z, float radius, plat::Texture* texture)
{
    m_X = x;
    m_Y = y;
    m_Z = z;
    m_Radius = radius;
    m_HalfRadius = radius * 0.5f;
    m_pTexture = texture;
    m_Flag = 1;
    Build();
}

void TRing::SetRadius(std::int16_t r)
{
    m_Radius = static_cast<float>(r);
    m_HalfRadius = static_cast<float>(r / 2);
    Build();
}

void TRing::SetCenter(float x, float y, float z)
{
    m_X = x;
    m_Y = y;
    m_Z = z;
    Build();
}

void TRing::Free()
{
    m_Count = 0;
    m_pTexture = nullptr;
}

void TRing::Build()
{
    m_Count = 0;
    if (!(m_Radius < RING_MAX_RADIUS) || !(m_HalfRadius > 0.0f))
        return;
    const auto count = static_cast<std::int32_t>(m_Radius * kRingPointsPerRadius);
    // The turn step divides by count - 1: fewer than two points make no ring.
    if (count < 2)
        return;
    const std::int32_t n = count < RING_MAX_POINTS ? count : RING_MAX_POINTS;
    const float step = 6.2831855f / static_cast<float>(count - 1);
    const float c = std::cos(step);
    const float s = std::sin(step);
    const float widen = m_Radius / m_HalfRadius;
    const float narrow = m_HalfRadius / m_Radius;
    const float right = static_cast<float>(g_MapWidth) * 96.0f - kRingMarginX;
    const float bottom = static_cast<float>(g_MapHeight) * 24.0f - kRingMarginY;
    float px = m_Radius;
    float py = 0.0f;
    for (std::int32_t i = 0; i < n; ++i) {
        TRingPoint& p = m_Points[i];
        p.x = px + m_X;
        p.y = py + m_Y;
        p.z = m_Z;
        if (p.x >= kRingMarginX && p.x <= right && p.y >= kRingMarginY && p.y <= bottom)
            p.z = static_cast<float>(GetLandHeightF(p.x, p.y)) + kRingLift;
        const float nx = px * c - py * widen * s;
        const float ny = px * narrow * s + py * c;
        px = nx;
        py = ny;
    }
    m_Count = static_cast<std::uint16_t>(n);
}

void TRing::Draw() const
{
    if (m_Count < 2 || m_pTexture == nullptr || g_pD3DDevice == nullptr)
        return;
    // Main thread only: one strip buffer serves every ring.
    static plat::RasterVertex strip[2 * RING_MAX_POINTS];
    const float last = static_cast<float>(m_Count - 1);
    for (std::uint16_t i = 0; i < m_Count; ++i) {
        const TRingPoint& p = m_Points[i];
        const float sx = p.x - static_cast<float>(g_ViewPixelX);
        const float sy = p.y - p.z - static_cast<float>(g_ViewPixelY);
        // The band runs across the ring, outward from its centre.
        float ox = (p.x - m_X) / m_Radius;
        float oy = (p.y - m_Y) / m_HalfRadius;
        const float len = std::sqrt(ox * ox + oy * oy);
        if (len > 0.0f) {
            ox = ox / len * kRingBandHalf;
            oy = oy / len * kRingBandHalf;
        }
        const float u = static_cast<float>(i) / last;
        plat::RasterVertex& outer = strip[2 * i];
        plat::RasterVertex& inner = strip[2 * i + 1];
        outer.x = sx + ox;
        outer.y = sy + oy;
        outer.u = u;
        outer.v = 0.0f;
        inner.x = sx - ox;
        inner.y = sy - oy;
        inner.u = u;
        inner.v = 1.0f;
    }
    g_pD3DDevice->SetTexture(0, m_pTexture);
    g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, strip, 2u * m_Count, 0);
    g_pD3DDevice->SetTexture(0, nullptr);
}

void LoadHouseSelTexture()
{
    FreeHouseSelTexture();
    g_pHouseSelTexture = LoadTextureFromFile(kHouseSelTexturePath);
    if (g_pHouseSelTexture == nullptr)
        ReportError2("No file ", kHouseSelTexturePath);
}

void FreeHouseSelTexture()
{
    if (g_pHouseSelTexture != nullptr)
        g_pHouseSelTexture->Release();
    g_pHouseSelTexture = nullptr;
}

void DrawShipSelectionRings()
{
    if (MyPlayer >= UNIT_PLAYERS || g_Strateg[MyPlayer] == nullptr || g_pHouseSelTexture == nullptr)
        return;
    static TRing ring;
    static plat::Texture* built = nullptr;
    if (built != g_pHouseSelTexture) {
        ring.Set(0.0f, 0.0f, 0.0f, kShipRingRadius, g_pHouseSelTexture);
        built = g_pHouseSelTexture;
    }
    for (TUnit* u = g_Strateg[MyPlayer]->FirstUnit; u != nullptr; u = u->m_pNext) {
        if (u->Selected == 0 || u->Dead != 0 || u->Basic == nullptr || !u->Basic->IsShipUnit())
            continue;
        ring.SetCenter(u->X, u->Y, 0.0f);
        ring.Draw();
    }
}
