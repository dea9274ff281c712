// Least bodies of combat and effect services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "combat/ship_graphics.h"
#include "units/unit_types.h"
#include "core/error_log.h"

void ShipPartsStep(TShipData*, std::uint8_t, std::uint8_t, std::uint32_t)
{
    ReportError("ShipPartsStep: ship graphics are not available yet");
}

#include "combat/effects.h"

bool ParticlesInit()
{
    return true;
}

void ParticlesFree() {}
void LoadHouseSelTexture() {}
void FreeHouseSelTexture() {}

#include "combat/ship_waves.h"
#include "combat/tower.h"
#include "combat/unit_behaviour.h"
#include "devices/animation.h"

// Unit behaviour is not built yet: units stand still.
void MakeMoveDefault(TUnit*) {}
void MakeMoveAirKind1(TUnit*) {}
void MakeMoveKind3(TUnit*) {}
void MakeMoveKind6(TUnit*) {}
void MakeMoveKind9(TUnit*) {}
void MakeMoveAirKind11(TUnit*) {}
void MakeMoveAirBomber(TUnit*) {}
void MakeMoveShip(TUnit*) {}
void MakeMoveMashineGunner(TUnit*) {}
void SecondHandlerDefault(TUnit*) {}
void SecondHandlerKind3(TUnit*) {}
void SecondHandlerKind6(TUnit*) {}

CTower::CTower() = default;
CTower::~CTower() = default;

void CTower::Init(TUnit* unit, std::uint8_t index, std::uint8_t)
{
    m_pUnit = unit;
    m_Index = index;
}

void CTower::Update() {}

// Complete already: unit drawing turns the parts with it. It moves with the towers.
float AddAngles(float a, float b)
{
    constexpr float kTwoPi = 6.2831855f;
    float sum = a + b;
    // A negative sum is brought up once; only a sum that was not negative snaps to 0 near 2 pi.
    if (sum < 0.0f) {
        sum += kTwoPi;
        return sum < 0.0f ? 6.2811856f : sum;
    }
    if (sum >= kTwoPi)
        sum -= kTwoPi;
    return sum >= 6.2821856f ? 0.0f : sum;
}

// No wave bank exists yet; ships are made without waves to show.
bool ShipWaveInit()
{
    return true;
}

void ShipWaveRewind(TAnimationStruct* wave, std::uint8_t, bool)
{
    if (wave != nullptr)
        wave->m_Position = static_cast<float>(wave->m_FirstFrame);
}

// No ship graphics exist yet: no part is ever loaded or held.
std::uint8_t ShipPartState(TBasicUnit*, std::uint8_t, std::uint8_t)
{
    return 0;
}

void ReturnShipPart(TBasicUnit*, std::uint8_t, std::uint8_t) {}

// Until ship graphics exist, a ship type is a plain unit type with its ship flag set.
TBasicUnit* CreateShipUnitType()
{
    return new TBasicUnit;
}

// Unit events and effects of buildings come with unit behaviour: no free points are known (units
// under a new building are taken off), and explosions, rings and worker orders show nothing.
#include "combat/house_events.h"
#include "units/house.h"

std::vector<TFloatPoint> GetFreePointsAroundHouse(const THouse*)
{
    return {};
}
void RemoveUnitFromGame(TUnit*, std::uint8_t) {}
void LeaveHouse(TUnit*) {}
void StartHouseExplosion(float, float, float, std::uint32_t) {}
void ShowHouseRangeRing(const THouse*, float) {}
void GoToObject(TUnit*, TUnit*, std::uint16_t, std::uint16_t) {}
// Targets, shots and effects of defensive buildings come with combat: no target is ever found.
bool HouseSearchTarget(THouse*)
{
    return false;
}
void ArtilleryFire(THouse*, TUnit*) {}
void AddDelayedExplosion(float, float, std::uint32_t) {}
void RefreshTargetGridHouses() {}


#include "combat/ships.h"

// No ships sail yet: no hull holds any point.
const TUnit* ShipQuery(float, float, std::uint8_t)
{
    return nullptr;
}

TParticleSystemList* g_pParticleSystems = nullptr;

TParticleSystemList* CreateParticleSystemList()
{
    return nullptr;
}
void ParticlesClear(TParticleSystemList*) {}
void DeleteParticleSystemList(TParticleSystemList*) {}

// Unit events and the target grid come with unit behaviour: stopping and cancelling change
// nothing, and transports and the target grid hold nobody.
#include "combat/unit_events.h"
#include "units/unit.h"

void StopUnit(TUnit*, std::uint8_t) {}
void CancelOrderAndStop(TUnit*) {}
void StopShipEffect(TUnit*) {}
void ClearTargetGridUnits() {}
void GetObjectAt(TUnit*) {}
void TUnit::GetMeFromTransport() {}

// Particles come with the combat subsystem; until then nothing moves.
void ParticlesUpdateAll() {}

// Shots, effects, ships and diplomacy come with unit behaviour: a game has none of them to load or
// free yet.
#include "combat/game_state.h"

bool CreateTimedSignList()
{
    return true;
}
void DestroyTimedSignList() {}
void ShipListInit() {}
bool MakeShipTable()
{
    return true;
}
void ShipListFree() {}
void FreeShipTables() {}
void ResetDiplomacyMatrix() {}
void ResetGlobalRecordGrid() {}
void ResetGlobalRecordLists() {}
void FreeTimedEffects() {}
// Delayed hits are not built: the timed-effects list of chunk 2 is always empty (u32 count 0).
#include "core/memory_stream.h"
void SaveTimedEffects(TOfStreamMemory& out)
{
    out.WriteU32(0);
}
bool LoadTimedEffects(TIfStreamMemory& in)
{
    std::uint32_t n = 0;
    return in.ReadU32(n) && n == 0;
}


void PlayerUnitsUpdate(std::uint8_t) {}

// The per-cycle work of combat is not built yet. The unit walk's stand-in only files the turn's
// living units into the draw-order lists, so a running game shows them.
#include "combat/cycle_updates.h"
#include "map/map_scene.h"
#include "players/strateg.h"

std::uint8_t g_MoveCountdown = 0;
void UpdateDelayedHits() {}
void UpdateTimedSigns() {}
void RefreshTargetGridUnits() {}
void UnitWalk(TTurnList& turn)
{
    if (turn.owner == nullptr)
        return;
    for (TUnit* u = turn.owner->FirstUnit; u != nullptr; u = u->m_pNext) {
        if (u->Dead != 0 || u->Basic == nullptr)
            continue;
        const std::uint8_t kind = u->Basic->m_Kind;
        const bool air = kind == UNIT_KIND_FIGHTER || kind == UNIT_KIND_AIRCRAFT || kind == UNIT_KIND_BOMBER;
        (air ? g_UnitsDrawLate : g_UnitsDrawSorted)
            .push_back({u, static_cast<std::int32_t>(u->X), static_cast<std::int32_t>(u->Y - u->Height)});
    }
}

// Area damage, ship hits and the firing values of unit types come with firing and hits: a blast
// hurts nobody, no shell meets a ship, every type fires with full accuracy and its shell's damage.
#include "combat/hits.h"

void DamageForUnits(float, float, float, std::uint8_t, std::int32_t, std::int32_t, THouse*, TShot*, std::uint8_t) {}
bool ShipHit(float, float, float, TShot*)
{
    return false;
}
std::uint16_t UnitTypeAccuracy(const TBasicUnit*, std::uint8_t)
{
    return 100;
}
std::uint16_t UnitTypeDamage(const TBasicUnit*, std::uint8_t)
{
    return 0;
}

// Gun towers fire when towers are built: until then a tower has nothing to fire.
#include "combat/shots.h"

bool GetTowerGunShot(CTower*, TTowerGunShot&)
{
    return false;
}

// Timed signs come with the effects: a gas shell's cloud spreads nowhere yet.
#include "combat/timed_signs.h"

void AddTimedSign(const TTimedSignDesc&) {}
