// Least bodies of combat and effect services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "combat/ship_graphics.h"
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

TExplosion* AddExplosion(std::int32_t, std::int32_t, float, float, std::int32_t, std::int32_t, std::int32_t,
                         std::int32_t, std::int32_t)
{
    return nullptr;
}
