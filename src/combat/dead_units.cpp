#include "combat/dead_units.h"

#include "combat/explosions.h"
#include "combat/ship_graphics.h"
#include "combat/unit_behaviour.h"
#include "combat/unit_queries.h"
#include "combat/work_states.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/site_queries.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/unit.h"
#include "units/unit_lists.h"

TDeadUnitServices TDeadUnitServices::Default()
{
    TDeadUnitServices s;
    s.addExplosion = [](std::uint32_t kind, std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t type,
                        std::int32_t damage, std::int32_t radius, std::uint8_t flag) {
        return AddExplosion(kind, nullptr, x, y, z, type, damage, radius, flag);
    };
    s.addVisualExplosion = AddVisualExplosion;
    s.isWater = IsTileOnWater;
    return s;
}

TDeadUnitServices& DeadUnitServices()
{
    static TDeadUnitServices services = TDeadUnitServices::Default();
    return services;
}

namespace {

constexpr std::uint8_t kShipPartWreck = 2;
constexpr std::uint8_t kShipBuildingMode = 1;
// The corpse leaves its cell's unit list once, when its counter passes through this band.
constexpr std::int32_t kLeaveCellAbove = 62000;
constexpr std::int32_t kLeaveCellBelow = 63000;
constexpr std::int32_t kAfterLeavingCell = 61999;
// Explosion types of a falling aircraft: the smoke trail and the four aircraft bursts.
constexpr std::uint32_t kSmokeType = 9;
constexpr std::uint32_t kAircraftBurstFirst = 10;
constexpr std::int32_t kHouseCodeFirst = 1000;
constexpr std::int32_t kHouseCodeLast = 8999;
// Below this above the ground a falling aircraft hits a building it flies over.
constexpr float kHouseCrashHeight = 100.0f;
// Below this it trails bursts as well as smoke.
constexpr float kLowBurstHeight = 15.0f;
constexpr std::int32_t kCrashDamage = 800;
constexpr std::int32_t kCrashRadius = 150;
constexpr std::int32_t kLandingDamage = 300;
constexpr std::int32_t kLandingRadius = 100;
constexpr std::uint16_t kLandingDelay = 10;

// Deletion needs the work parameter that says the unit is meant to go; *unit becomes the next unit.
void DeleteDead(TUnit** unit)
{
    (*unit)->WorkObject = UNIT_DELETE_PARAM;
    DeleteUnit(unit);
}

void SmokeOfTankWreck(const TUnit* u)
{
    if (VisualRand() % 3 == 0)
        return;
    const auto x = static_cast<std::int32_t>(u->X + 5.0f - static_cast<float>(VisualRand() % 10));
    const auto y = static_cast<std::int32_t>(u->Y - static_cast<float>(VisualRand() % 5) + 100.0f);
    const auto z = static_cast<std::int32_t>(u->GroundHeight + 100.0f);
    if (TExplosion* e = DeadUnitServices().addVisualExplosion(EXPLOSION_ATTACHED, x, y, z, kSmokeType))
        e->risePerFrame = 3;
}

// true when the sunk ship was deleted.
bool SinkShip(TUnit** unit)
{
    TUnit* u = *unit;
    if (u->House != nullptr) {
        THouse* port = u->House;
        u->House = nullptr;
        // A ship lost in the yard ends its port's order; any other link is only forgotten.
        if (port->ShipUnderConstruction == u && port->Owner < UNIT_PLAYERS)
            HouseProduceUnit(port->Owner, port->Index);
    }
    const std::int32_t run = DEAD_COUNTER_START - static_cast<std::int32_t>(u->WorkObject);
    if (run >= DEAD_SHIP_SINK) {
        DeleteDead(unit);
        return true;
    }
    if (u->Orient < 0 || u->Orient >= UNIT_ORIENTS)
        return false;
    const auto o = static_cast<std::uint8_t>(u->Orient);
    if (u->ShipPartMode == kShipBuildingMode && !(u->Work == WORK_SHIP_IN_YARD && u->WorkObject > 1))
        return false;
    if (u->m_ShipParts2[o] == 0) {
        GetShipPart(u->Basic, kShipPartWreck, o);
        u->m_ShipParts2[o] = 1;
    }
    return false;
}

// The corpse rules: the death animation, then the counter; true when the corpse was deleted.
bool LieAsCorpse(TUnit** unit)
{
    TUnit* u = *unit;
    if (u->NumWork < ANIM_DEATH_FIRST || u->NumWork > ANIM_DEATH_LAST) {
        u->NumWork = ANIM_DEATH_FIRST;
        u->NumSprite = 0.0f;
    }
    const float speed = u->Basic->AnimationSpeed[u->NumWork];
    u->NumSprite += speed;
    if (u->NumSprite < static_cast<float>(u->Basic->AnimationSize[u->NumWork]))
        return false;
    std::int32_t counter = static_cast<std::int32_t>(u->WorkObject) - DEAD_COUNTER_STEP;
    if (counter > kLeaveCellAbove && counter < kLeaveCellBelow) {
        RemoveUnitFromCell(u);
        counter = kAfterLeavingCell;
    }
    if (counter > DEAD_COUNTER_END) {
        u->WorkObject = static_cast<std::uint16_t>(counter);
        // The last frame stays on screen.
        u->NumSprite -= speed;
        return false;
    }
    DeleteDead(unit);
    return true;
}

std::uint32_t BurstType()
{
    return kAircraftBurstFirst + (RandomDraw() & 3u);
}

void Fall(TUnit** unit)
{
    TUnit* u = *unit;
    TDeadUnitServices& s = DeadUnitServices();
    const auto altitude = static_cast<std::int32_t>(u->GroundHeight + u->Height);
    u->NumWork = UNIT_WALK;
    u->X += u->VX;
    u->Y += u->VY;
    const float n = static_cast<float>(altitude) - u->Basic->Speed * 0.5f;
    const plat::Point under = PixelToFlatCell(u->X, u->Y);
    MoveUnitToCell(under.x, under.y, u);
    GetObjectAt(u);
    u->Height = n - u->GroundHeight;

    std::int32_t px = 0, py = 0;
    u->GetDrawPoint(px, py);
    const auto ni = static_cast<std::int32_t>(n);
    const std::int32_t sx = px - RandomDraw() % 10 + 5;
    const std::int32_t sy = py - RandomDraw() % 10 + 5 + ni;
    s.addExplosion(EXPLOSION_ATTACHED, sx, sy, ni, kSmokeType, 0, 0, 0);

    if (u->Height > 0.0f) {
        if (u->Height <= kLowBurstHeight) {
            const std::uint32_t type = BurstType();
            const std::int32_t bx = px - RandomDraw() % 50 + 25;
            const std::int32_t by = py - RandomDraw() % 50 + 25 + ni;
            s.addExplosion(EXPLOSION_ATTACHED, bx, by, ni, type, 0, 0, 0);
        }
        if (!CellPointInMap({u->MapX, u->MapY})) {
            ReportError("ThisPointInMap(u->MapX,u->MapY)==false in MakeMoveForDead");
            u->MapX = 0;
            u->MapY = 0;
        }
        const std::int32_t terrain = GetHeightFromMap(u->MapX, u->MapY);
        const std::int32_t code = GetObjectFromMap(u->MapX, u->MapY);
        const bool hill = terrain >= altitude;
        const bool house = u->Height < kHouseCrashHeight && code >= kHouseCodeFirst && code <= kHouseCodeLast;
        if (!hill && !house)
            return;
        s.addExplosion(EXPLOSION_GROUND, static_cast<std::int32_t>(u->X + 3.0f * u->VX),
                       static_cast<std::int32_t>(u->Y + 3.0f * u->VY), ni, BurstType(), kCrashDamage, kCrashRadius, 1);
        u->Work = UNIT_NO_WORK;
        u->Height = 0.0f;
        u->WorkObject = DEAD_COUNTER_START;
        u->NumWork = ANIM_DEATH_FIRST;
        u->NumSprite = 0.0f;
        DeleteDead(unit);
        return;
    }

    if (TExplosion* e = s.addExplosion(EXPLOSION_GROUND, static_cast<std::int32_t>(u->X), static_cast<std::int32_t>(u->Y),
                                       ni, BurstType(), kLandingDamage, kLandingRadius, 1))
        e->delay = kLandingDelay;
    u->Work = UNIT_NO_WORK;
    u->WorkObject = DEAD_COUNTER_START;
    if (s.isWater(u->MapX, u->MapY)) {
        DeleteDead(unit);
        return;
    }
    // The wreck lies on land and follows the corpse rules from the next cycle.
    u->NumWork = ANIM_DEATH_FIRST;
    u->NumSprite = 0.0f;
}

} // namespace

void MakeMoveForDead(TUnit** unit)
{
    TUnit* u = unit != nullptr ? *unit : nullptr;
    if (u == nullptr || u->Basic == nullptr)
        return;
    if (u->Basic->m_Kind == UNIT_KIND_TANK && u->WorkObject > DEAD_TANK_SMOKE_ABOVE)
        SmokeOfTankWreck(u);
    if (u->Basic->IsShipUnit() && u->m_bShown != 0 && SinkShip(unit))
        return;
    if (u->Work != WORK_REMOVED)
        LieAsCorpse(unit);
    else
        Fall(unit);
}
