// Area damage and ship hits: the one place a blast hurts the world (the building it struck, the
// units round it, pontoons, trees and animated objects), and the hit of a shell on a ship it flies
// over.
#include <algorithm>
#include <cmath>
#include <optional>

#include "combat/combat_values.h"
#include "combat/effects.h"
#include "combat/firing.h"
#include "combat/hits.h"
#include "combat/house_events.h"
#include "combat/ship_geometry.h"
#include "combat/ships.h"
#include "combat/shots.h"
#include "combat/unit_events.h"
#include "combat/unit_queries.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/trenches.h"
#include "movement/passability.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/upgrades.h"

namespace {

constexpr std::uint16_t kTypeFieldGun = 5;
constexpr std::uint16_t kFelledTree = 9119;
constexpr std::uint8_t kWorkFireAtPoint = 8;
constexpr float kShipHitHeight = 55.0f;
constexpr float kAntiAircraftLift = 400.0f;
constexpr std::uint32_t kShipHitExplosion = 8;
constexpr std::uint32_t kExplosionAttached = 3;

float PlayerFactor(const float (&factors)[8], std::uint8_t player)
{
    return player < 8 ? factors[player] : 1.0f;
}

// A building type's armour as the owner's research raised it; a type without armour counts as
// armour 1, so damage to it stays finite.
double HouseArmour(const THouse* house)
{
    const double armour = static_cast<double>(HouseTypeArmour(house->TypeRecord)) * PlayerFactor(g_HouseArmourFactor, house->Owner);
    return armour > 0.0 ? armour : 1.0;
}

void DestroyStruckHouse(THouse* house, std::uint8_t by)
{
    house->HitPoints = -10.0f;
    DestroyHouse(house, by);
}

void HurtHouse(THouse* house, std::int32_t damage, const TShot* shot, const TUnit* source)
{
    if (house->HitPoints < 0.0f || house->Destroyed != 0)
        return;
    const std::uint8_t by = shot != nullptr ? shot->owner : HOUSE_NO_DESTROYER;
    const double armour = HouseArmour(house);
    if (house->BuildWork != 0) {
        const double undone = static_cast<double>(damage) / (armour * 0.6666667);
        const std::int64_t work = static_cast<std::int64_t>(house->BuildWork) + static_cast<std::int64_t>(undone);
        house->BuildWork = static_cast<std::uint16_t>(std::clamp<std::int64_t>(work, 0, 65535));
        const std::uint16_t total = house->TypeRecord != nullptr ? house->TypeRecord->m_BuildWork : 0;
        if (house->BuildWork >= total)
            DestroyStruckHouse(house, by);
        return;
    }
    if (!(house->HitPoints > 0.0f))
        return;
    const double left = house->HitPoints - static_cast<double>(damage) * 100.0 / armour;
    const bool fromShipOrAir = source != nullptr && (IsShipTypeUnit(source) || IsAirUnit(source));
    if (shot != nullptr && shot->owner != house->Owner && !fromShipOrAir)
        house->OnAttacked();
    if (left < 1.0)
        DestroyStruckHouse(house, by);
    else
        house->HitPoints = static_cast<float>(left);
}

} // namespace

void DamageForUnits(float x, float y, float z, std::uint8_t objects, std::int32_t damage, std::int32_t radius,
                    THouse* house, TShot* shot, std::uint8_t flag)
{
    plat::Point centre = PixelToFlatCell(x, y);
    const std::uint16_t code =
        CellPointInMap(centre) && g_pObjectMap != nullptr ? g_pObjectMap[CellIndex(centre.x, centre.y)] : 0;
    TUnit* source = shot != nullptr ? shot->source.Get() : nullptr;
    if (shot != nullptr) {
        damage = shot->type == SHOT_GRENADE ? damage / 2 : damage * 2;
        if (source != nullptr && source->Type == kTypeFieldGun)
            damage /= 2;
    }
    if (house != nullptr && flag == 0)
        HurtHouse(house, damage, shot, source);
    if (shot != nullptr && shot->owner < g_wNumPlayer && shot->owner < 8 && g_Strateg[shot->owner] != nullptr &&
        g_Strateg[shot->owner]->Dead == 0 && CellPointInMap(centre))
        AlarmUnitsNearHit(shot->owner, static_cast<std::uint16_t>(centre.x), static_cast<std::uint16_t>(centre.y), source,
                          static_cast<std::int32_t>(shot->startX), static_cast<std::int32_t>(shot->startY));

    // An anti-aircraft burst hurts what flies at its height above the point, measured in the plane.
    const bool antiAircraft = shot != nullptr && shot->type == SHOT_ANTI_AIRCRAFT;
    float bx = x;
    float by = y;
    plat::Point unitCentre = centre;
    if (antiAircraft) {
        by = y + z - kAntiAircraftLift;
        unitCentre = PixelToFlatCell(bx, by);
    }
    const std::uint8_t killer = shot != nullptr ? shot->owner : UNIT_NO_PLAYER;
    if (radius > 0 && g_pUnitsMap != nullptr) {
        for (std::int32_t cy = unitCentre.y - 4; cy <= unitCentre.y + 4; ++cy)
            for (std::int32_t cx = unitCentre.x - 2; cx <= unitCentre.x + 2; ++cx) {
                if (!CellPointInMap({cx, cy}))
                    continue;
                const std::size_t poz = CellIndex(cx, cy);
                for (int k = 0; k < kCellUnitCapacity; ++k) {
                    TUnit** list = g_pUnitsMap[poz];
                    if (list == nullptr || list[k] == nullptr)
                        break;
                    TUnit* u = list[k];
                    if (u->Dead != 0)
                        continue;
                    const float dx = u->X - bx;
                    const float dy = u->Y - by;
                    const float dz = antiAircraft ? 0.0f : u->GroundHeight + u->Height - z;
                    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
                    if (!(d <= static_cast<float>(radius)))
                        continue;
                    const std::int64_t hurt = static_cast<std::int64_t>((static_cast<float>(radius) - d) *
                                                                        static_cast<float>(damage) / static_cast<float>(radius));
                    const std::uint16_t applied = static_cast<std::uint16_t>(std::clamp<std::int64_t>(hurt, 0, 65535));
                    if (applied == 0)
                        continue;
                    UnitDamage(u, applied, killer, flag);
                    if (g_pUnitsMap[poz] == nullptr || g_pUnitsMap[poz][k] != u) {
                        ReportError("DamageForUnits g_pUnitsMap[poz]==NULL || g_pUnitsMap[poz][k]==NULL");
                        break;
                    }
                }
            }
    }

    if (code >= kObjectTrenchListFirst && code <= kObjectTrenchListLast) {
        TTrenchEntry* entry = g_TrenchList.Entry(static_cast<std::uint16_t>(code - kObjectTrenchListFirst));
        if (entry != nullptr && (entry->kind == kPontoonKindRising || entry->kind == kPontoonKindFalling))
            g_TrenchList.TrenchWearDown(entry, centre,
                                        shot != nullptr ? std::optional<float>(static_cast<float>(damage)) : std::nullopt);
    }
    if (objects == 0 || !CellPointInMap(centre))
        return;
    std::uint16_t next = code;
    if (code >= kObjectTreeFirst && code <= kObjectTreeLast) {
        const std::size_t index = code - kObjectTreeFirst;
        const auto& trees = g_ObjRecords[OBJ_TREES];
        next = index < trees.size() && trees[index].classByte == 1 ? kFelledTree : kObjectFree;
    } else if (code >= kObjectAnimatedFirst && code <= kObjectAnimatedLast) {
        next = kObjectFree;
    }
    if (next == code)
        return;
    SetObjectMap(centre, next);
    RecalcPassabilityAround(centre.x, centre.y, 2);
}

bool ShipHit(float x, float y, float z, TShot* shot)
{
    (void)z;
    if (shot == nullptr)
        return false;
    const TUnit* found = ShipQuery(x, y, UNIT_NO_PLAYER);
    if (found == nullptr)
        return false;
    // The live record of the ship found, as the ship list holds it.
    const auto it = std::find(g_ShipUnits.begin(), g_ShipUnits.end(), found);
    if (it == g_ShipUnits.end())
        return false;
    TUnit* ship = *it;
    TUnit* source = shot->source.Get();
    if (ship->Dead != 0 || ship->Basic == nullptr || !ship->Basic->IsShipUnit() || ship == source)
        return false;
    const bool torpedo = shot->type == SHOT_TORPEDO;
    if (!torpedo && !IsEnemy(ship->Player, shot->owner))
        return false;
    double armour = PlayerFactor(g_UnitArmourFactor, ship->Player);
    if (!(armour > 0.0))
        armour = 1.0;
    ship->HitPoints -= static_cast<float>(static_cast<double>(shot->damage) / armour);
    if (ship->HitPoints < 0.0f)
        RemoveUnitFromGame(ship, shot->owner);
    // A torpedo strikes friendly ships too; only a ship hit by an enemy turns on the firer, never one
    // hit by its own side.
    if (ship->Dead == 0 && source != nullptr && IsShipTypeUnit(source) && IsEnemy(ship->Player, source->Player) &&
        ship->AttackUnit == nullptr &&
        ship->HouseAttack == nullptr && ship->Work != kWorkFireAtPoint && ship->Basic->m_CanFire != 0)
        OrderAttackUnit(ship, source, 1);
    shot->z = kShipHitHeight;
    const TShipVec3 keel = ShipNearestKeelPoint(ShipDataOf(ship), ship, shot->x, shot->y);
    const float ix = keel.x;
    const float iy = keel.y;
    if (shot->Fragments == 0 && !torpedo)
        return true;
    RandomDraw();
    AddExplosion(kExplosionAttached, ship, static_cast<std::int32_t>(ix), static_cast<std::int32_t>(iy),
                 static_cast<std::int32_t>(kShipHitHeight), kShipHitExplosion, 0, 0, 0);
    return true;
}
