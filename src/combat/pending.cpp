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
void RemoveUnitFromGame(TUnit*) {}
void LeaveHouse(TUnit*) {}
void StartHouseExplosion(float, float, float, std::uint32_t) {}
void ShowHouseRangeRing(const THouse*, float) {}
void GoToObject(TUnit*, THouse*, TUnit*, std::uint32_t) {}

TExplosion* AddExplosion(std::int32_t, std::int32_t, float, float, std::int32_t, std::int32_t, std::int32_t,
                         std::int32_t, std::int32_t)
{
    return nullptr;
}

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

// No craters exist yet: the block is empty, and only an empty one can be read.
#include "core/memory_stream.h"

void SaveCraters(TOfStreamMemory& out)
{
    out.WriteU16(0);
}
bool LoadCraters(TIfStreamMemory& in)
{
    std::uint16_t n = 0;
    return in.ReadU16(n) && n == 0;
}

void PlayerUnitsUpdate(std::uint8_t) {}
