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


#include "combat/ship_waves.h"
#include "combat/tower.h"
#include "combat/unit_behaviour.h"
#include "devices/animation.h"

// The behaviour of these kinds comes with their own modules: their units stand still.
void MakeMoveAirKind1(TUnit*) {}
void MakeMoveKind6(TUnit*) {}
void MakeMoveKind9(TUnit*) {}
void MakeMoveAirKind11(TUnit*) {}
void MakeMoveAirBomber(TUnit*) {}
void MakeMoveShip(TUnit*) {}
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

// Effects of buildings come with the effects: explosions and rings show nothing; delayed hits come
// with their own module.
#include "combat/house_events.h"
#include "units/house.h"

void StartHouseExplosion(float, float, float, std::uint32_t) {}
void ShowHouseRangeRing(const THouse*, float) {}


#include "combat/ships.h"
#include "units/unit.h"

// No ships sail yet: no hull holds any point.
const TUnit* ShipQuery(float, float, std::uint8_t)
{
    return nullptr;
}
// Without hull outlines a ship is hit at its own position.
void ShipNearestKeelPoint(const TUnit* ship, float x, float y, float& outX, float& outY)
{
    outX = ship != nullptr ? ship->X : x;
    outY = ship != nullptr ? ship->Y : y;
}

// Ship movement comes with the ships: a ship ordered somewhere halts where it is.
#include "units/unit.h"

void ShipMoveStep(TUnit*) {}
void ShipStop(TUnit* ship)
{
    ship->StepX = ship->GoalX = ship->X;
    ship->StepY = ship->GoalY = ship->Y;
    ship->VX = ship->VY = 0.0f;
}
void ShipSetUnderway(TUnit*) {}
bool FreeShipPointToward(TUnit*)
{
    return false;
}
void StepTowardTarget(TUnit* ship)
{
    ShipStop(ship);
}
void FreePixelCoordForShip(TUnit*) {}
bool ShipGoalIsFreeWater(const TUnit*)
{
    return true;
}
bool ShipRoomAt(float, float, std::int32_t)
{
    return true;
}



// Transports and the ground walk come with their own modules: transports take nobody on board.
#include "combat/unit_events.h"
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

void ShipListInit() {}
bool MakeShipTable()
{
    return true;
}
void ShipListFree() {}
void FreeShipTables() {}
void ResetGlobalRecordGrid() {}
void ResetGlobalRecordLists() {}


#include "units/unit_lists.h"

// Ship graphics and ship movement come with the ships: no part is held and no ship is ever too
// close.
void GetShipPart(TBasicUnit*, std::uint8_t, std::uint8_t) {}
bool FindShipTooClose(const TUnit*)
{
    return false;
}

// Gun towers fire when towers are built: until then a tower has nothing to fire.
#include "combat/shots.h"

bool GetTowerGunShot(CTower*, TTowerGunShot&)
{
    return false;
}



