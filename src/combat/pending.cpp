// Least bodies of combat and effect services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "units/unit_types.h"
#include "core/error_log.h"


#include "combat/effects.h"


#include "combat/ship_waves.h"
#include "combat/tower.h"
#include "combat/unit_behaviour.h"
#include "devices/animation.h"

// The behaviour of these kinds comes with their own modules: their units stand still.
void MakeMoveKind6(TUnit*) {}
void MakeMoveKind9(TUnit*) {}
void MakeMoveMashineGunner(TUnit*) {}
void SecondHandlerKind6(TUnit*) {}

CTower::CTower() = default;
CTower::~CTower() = default;

void CTower::Init(TUnit* unit, std::uint8_t index, std::uint8_t)
{
    m_pUnit = unit;
    m_Index = index;
}

void CTower::Update() {}
// Tower shots come with the towers: a barrel fires nothing yet.
void CTower::Fire(std::uint8_t) {}

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


// Effects of buildings come with the effects: explosions and rings show nothing; delayed hits come
// with their own module.
#include "combat/house_events.h"
#include "units/house.h"

void StartHouseExplosion(float, float, float, std::uint32_t) {}
void ShowHouseRangeRing(const THouse*, float) {}


// Transports and the ground walk come with their own modules: transports take nobody on board.
#include "combat/unit_events.h"
#include "combat/unit_rect.h"
#include "units/unit.h"

void StopShipEffect(TUnit*) {}
void TUnit::GetMeFromTransport() {}
bool TUnit::PutMeInTransport(TUnit*)
{
    return false;
}

// Transports' places come with the transports: units board where the transport stands.
#include "combat/transports.h"
#include "units/house.h"

bool FindUnloadPlace(const TUnit* transport, TFloatPoint& out)
{
    out = {transport->X, transport->Y};
    return true;
}
bool FindBoardingPlace(const TUnit* transport, TFloatPoint& out)
{
    return FindUnloadPlace(transport, out);
}


// Shots, effects, ships and diplomacy come with unit behaviour: a game has none of them to load or
// free yet.
#include "combat/game_state.h"

void ResetGlobalRecordGrid() {}
void ResetGlobalRecordLists() {}


#include "units/unit_lists.h"


// Gun towers fire when towers are built: until then a tower has nothing to fire.
#include "combat/shots.h"

bool GetTowerGunShot(CTower*, TTowerGunShot&)
{
    return false;
}




// The troop transports' state machine comes with the transports: no transport sails.
#include "players/group_manager.h"

void TransportAiExecute(std::uint8_t, std::int8_t) {}
