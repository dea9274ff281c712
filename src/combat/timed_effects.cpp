#include "combat/timed_effects.h"

#include <cmath>

#include "combat/cycle_updates.h"
#include "combat/explosions.h"
#include "combat/firing.h"
#include "combat/game_state.h"
#include "combat/house_events.h"
#include "core/error_log.h"
#include "core/memory_stream.h"
#include "devices/display.h"
#include "map/map_view.h"
#include "map/terrain.h"
#include "players/strateg.h"
#include "units/unit.h"

std::list<TTimedEffect> g_TimedEffects;

TTimedEffectServices TTimedEffectServices::Default()
{
    TTimedEffectServices s;
    s.bulletToPoint = BulletToPoint;
    return s;
}

TTimedEffectServices& TimedEffectServices()
{
    static TTimedEffectServices services = TTimedEffectServices::Default();
    return services;
}

namespace {

// The burst a landing bullet shows, and how it lands: on any side, within this radius.
constexpr std::uint32_t kBulletBurstType = 39;
constexpr float kBulletRadius = 20.0f;
// The stored record: three f32, two u16, the u32 shooter marker.
constexpr std::int32_t kRecordBytes = 20;
constexpr std::uint32_t kShooterStored = 1;
// A delayed explosion of a building shows this high above its point.
constexpr std::int32_t kDelayedExplosionLift = 200;

// Between the view origin and the origin plus the screen size.
bool OnScreen(float x, float y)
{
    const auto left = static_cast<float>(g_ViewPixelX);
    const auto top = static_cast<float>(g_ViewPixelY);
    return x >= left && x <= left + static_cast<float>(g_ScreenWidth) && y >= top
        && y <= top + static_cast<float>(g_ScreenHeight);
}

// The unit a save names by owner and table index, only for a player still in the game.
TUnit* FindStoredShooter(std::uint8_t player, std::uint16_t index)
{
    if (player >= UNIT_PLAYERS || g_Strateg[player] == nullptr || g_Strateg[player]->Dead != 0)
        return nullptr;
    return g_Strateg[player]->GetUnit(index);
}

} // namespace

TTimedEffect* AddTimedEffect(float x, float y)
{
    TTimedEffect& hit = g_TimedEffects.emplace_back();
    hit.X = x;
    hit.Y = y;
    hit.Height = static_cast<float>(GetLandHeightF(x, y));
    return &hit;
}

void ForgetTimedEffectShooter(const TUnit* unit)
{
    if (unit == nullptr)
        return;
    for (TTimedEffect& hit : g_TimedEffects)
        if (hit.Shooter == unit)
            hit.Shooter = nullptr;
}

void UpdateTimedEffects()
{
    TTimedEffectServices& s = TimedEffectServices();
    for (auto it = g_TimedEffects.begin(); it != g_TimedEffects.end();) {
        if (it->Delay != 0) {
            --it->Delay;
            ++it;
            continue;
        }
        // A hit whose shooter has gone does no damage: nobody is there to credit or to spare.
        if (it->Shooter != nullptr && s.bulletToPoint)
            s.bulletToPoint(it->X, it->Y, it->Shooter, true, kBulletRadius);
        if (OnScreen(it->X, it->Y - it->Height))
            AddVisualExplosion(EXPLOSION_ATTACHED, static_cast<std::int32_t>(it->X), static_cast<std::int32_t>(it->Y),
                               static_cast<std::int32_t>(it->Height), kBulletBurstType);
        it = g_TimedEffects.erase(it);
    }
}

void FreeTimedEffects()
{
    g_TimedEffects.clear();
}

void SaveTimedEffects(TOfStreamMemory& out)
{
    out.WriteU32(static_cast<std::uint32_t>(g_TimedEffects.size()));
    for (const TTimedEffect& hit : g_TimedEffects) {
        out.WriteF32(hit.X);
        out.WriteF32(hit.Y);
        out.WriteF32(hit.Height);
        out.WriteU16(0);
        out.WriteU16(hit.Delay);
        // A marker, never the address: saves are alike on every machine.
        out.WriteU32(hit.Shooter != nullptr ? kShooterStored : 0);
        if (hit.Shooter != nullptr) {
            out.WriteU8(hit.Shooter->Player);
            out.WriteU16(hit.Shooter->m_Index);
        }
    }
}

namespace {

// Reads the block into hits (their shooters found again) or, without hits, only checks it.
bool ReadTimedEffectsBlock(TIfStreamMemory& in, std::list<TTimedEffect>* hits)
{
    std::uint32_t count = 0;
    if (!in.ReadU32(count)) {
        ReportError("Timed effects: the block is cut short");
        return false;
    }
    if (count > static_cast<std::uint32_t>(in.Remaining() / kRecordBytes)) {
        ReportErrorInt("Timed effects: more hits than the block holds, count ", static_cast<std::int32_t>(count));
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        TTimedEffect hit;
        std::uint16_t unused = 0;
        std::uint32_t shooter = 0;
        if (!in.ReadF32(hit.X) || !in.ReadF32(hit.Y) || !in.ReadF32(hit.Height) || !in.ReadU16(unused)
            || !in.ReadU16(hit.Delay) || !in.ReadU32(shooter)) {
            ReportError("Timed effects: a hit is cut short");
            return false;
        }
        if (!std::isfinite(hit.X) || !std::isfinite(hit.Y) || !std::isfinite(hit.Height)) {
            ReportError("Timed effects: a hit lies at no point");
            return false;
        }
        if (shooter != 0) {
            std::uint8_t player = 0;
            std::uint16_t index = 0;
            if (!in.ReadU8(player) || !in.ReadU16(index)) {
                ReportError("Timed effects: a shooter is cut short");
                return false;
            }
            if (hits != nullptr)
                hit.Shooter = FindStoredShooter(player, index);
        }
        if (hits != nullptr)
            hits->push_back(hit);
    }
    return true;
}

} // namespace

bool LoadTimedEffects(TIfStreamMemory& in)
{
    FreeTimedEffects();
    std::list<TTimedEffect> hits;
    if (!ReadTimedEffectsBlock(in, &hits))
        return false;
    g_TimedEffects = std::move(hits);
    return true;
}

bool CheckTimedEffects(TIfStreamMemory& in)
{
    return ReadTimedEffectsBlock(in, nullptr);
}

void AddDelayedExplosion(float x, float y, std::uint32_t type)
{
    if (!OnScreen(x, y))
        return;
    if (TExplosion* e = AddVisualExplosion(EXPLOSION_FREE, static_cast<std::int32_t>(x),
                                           static_cast<std::int32_t>(y) + kDelayedExplosionLift,
                                           kDelayedExplosionLift, type))
        e->risePerFrame = 0;
}
