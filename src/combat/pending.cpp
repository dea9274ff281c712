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

void LoadHouseSelTexture() {}
void FreeHouseSelTexture() {}

#include "combat/ship_waves.h"
#include "combat/tower.h"
#include "combat/unit_behaviour.h"
#include "devices/animation.h"

// Unit behaviour is not built yet: units stand still.
void MakeMoveDefault(TUnit*) {}
void MakeMoveKind3(TUnit*) {}
void MakeMoveKind6(TUnit*) {}
void MakeMoveKind9(TUnit*) {}
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

// Effects of buildings come with the effects: explosions and rings show nothing; artillery and
// delayed hits come with firing.
#include "combat/house_events.h"
#include "units/house.h"

void StartHouseExplosion(float, float, float, std::uint32_t) {}
void ShowHouseRangeRing(const THouse*, float) {}
void ArtilleryFire(THouse*, TUnit*) {}
void AddDelayedExplosion(float, float, std::uint32_t) {}


#include "combat/ships.h"

// No ships sail yet: no hull holds any point.
const TUnit* ShipQuery(float, float, std::uint8_t)
{
    return nullptr;
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
#include "combat/unit_rect.h"
#include "units/unit.h"

void StopShipEffect(TUnit*) {}
// The ground height comes with the ground behaviour; the screen rectangle follows the unit already,
// so it is drawn and picked where it stands.
void RefreshUnitRect(TUnit* u)
{
    if (u == nullptr || u->Basic == nullptr)
        return;
    const float w = u->Basic->m_CentreX;
    const float v = u->Basic->m_SpriteHeight;
    u->m_RectLeft = static_cast<std::int32_t>(u->X - w);
    u->m_RectRight = static_cast<std::int32_t>(u->X + w);
    u->m_RectTop = static_cast<std::int32_t>(u->Y - v - u->GroundHeight - u->Height);
    u->m_RectBottom = static_cast<std::int32_t>(u->Y + v - u->GroundHeight);
}
void GetObjectAt(TUnit* u)
{
    RefreshUnitRect(u);
}
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

// The timed work of combat is not built yet.
#include "combat/cycle_updates.h"

std::uint8_t g_MoveCountdown = 0;
void UpdateDelayedHits() {}

// Turning comes with the ground behaviour: a turning unit faces its wanted way at once and takes
// up what it was doing.
#include "combat/work_states.h"

bool AirInRotate(TUnit* u)
{
    if (u == nullptr || u->NumWork != ANIM_TURN)
        return false;
    u->SetOrient(u->WantedOrient);
    u->NumSprite = 0.0f;
    if (u->NextWork != UNIT_NO_NEXT_WORK) {
        u->NumWork = u->NextWork;
        u->NextWork = UNIT_NO_NEXT_WORK;
    } else {
        u->NumWork = u->Path != nullptr && u->PathIndex < u->PathLength ? UNIT_WALK : UNIT_STAND_WORK;
    }
    return true;
}

void TankRedirectAllArround(TUnit*) {}

// Dead units come with their own behaviour; until then a dead unit plays its death animation,
// lies as a corpse with its counter falling by 30 a cycle, leaves its cell's list at 62999 and is
// deleted at 20000.
void MakeMoveForDead(TUnit** unit)
{
    TUnit* u = unit != nullptr ? *unit : nullptr;
    if (u == nullptr || u->Basic == nullptr)
        return;
    constexpr std::uint8_t kDying = 15;
    if (u->NumWork < kDying || u->NumWork > kDying + 2) {
        u->NumWork = kDying;
        u->NumSprite = 0.0f;
    }
    const float speed = u->Basic->AnimationSpeed[u->NumWork];
    u->NumSprite += speed;
    if (u->NumSprite < static_cast<float>(u->Basic->AnimationSize[u->NumWork]))
        return;
    std::int32_t counter = static_cast<std::int32_t>(u->WorkObject) - 30;
    if (counter > 62000 && counter < 63000) {
        RemoveUnitFromCell(u);
        counter = 61999;
    }
    if (counter > 20000) {
        u->WorkObject = static_cast<std::uint16_t>(counter);
        u->NumSprite -= speed;
        return;
    }
    u->WorkObject = UNIT_DELETE_PARAM;
    DeleteUnit(unit);
}

// Ship graphics and ship movement come with the ships: no part is held and no ship is ever too
// close.
void GetShipPart(TBasicUnit*, std::uint8_t, std::uint8_t) {}
bool FindShipTooClose(const TUnit*)
{
    return false;
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


// Firing and hits are not built yet: no shot hurts anybody and no unit is found.
#include "combat/firing.h"

double BulletDamage(TUnit*, TUnit*)
{
    return 0.0;
}
void BulletToPoint(float, float, TUnit*, bool, float) {}
void FlameToPoint(TUnit*, float, float, bool, float) {}
void CombatFireForMashineGunner(TUnit*, TUnit*) {}
void MashineGunnerFire(TUnit*, TUnit*) {}
void MashineGunnerBurst(TUnit*, TUnit*) {}
void CombatFireFlameThrower(TUnit*) {}
void UnitHitNear(TUnit*, TUnit*) {}
void UnitHitHouse(TUnit*, THouse*) {}
void UnitFireAtUnit(TUnit*, TUnit*) {}
void AirToAirFire(TUnit*, TUnit*) {}
bool AirReacquireTarget(TUnit*)
{
    return false;
}
void UnitDamage(TUnit*, std::uint16_t, std::uint32_t, std::uint8_t) {}
void AlarmUnitsNearHit(std::uint8_t, std::uint16_t, std::uint16_t, TUnit*, std::int32_t, std::int32_t) {}
TUnit* GetNearestUnitOfPlayer(std::uint8_t, float, float)
{
    return nullptr;
}

// Delayed hits come with their own module: a strafing run lays no bullets yet.
#include "combat/timed_effects.h"

TTimedEffect* AddTimedEffect(float, float)
{
    return nullptr;
}
