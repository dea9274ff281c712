// Firing and hits: bullets, bursts, aimed fire, flame, close combat, the fire of defensive buildings,
// aircraft fire, explosion damage to one unit, and the alarm a hit raises round its victim. Every
// roll draws from the shared random table, in the same order on every machine.
#include "combat/firing.h"

#include <algorithm>
#include <cmath>

#include "combat/battle_services.h"
#include "combat/combat_values.h"
#include "combat/hits.h"
#include "combat/house_events.h"
#include "combat/timed_effects.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/unit_queries.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "movement/directions.h"
#include "movement/group.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"
#include "units/upgrades.h"

namespace {

constexpr std::uint8_t kWorkFireAtUnit = 7;
constexpr std::uint16_t kTypeArmouredLorry = 24; // the one kind-3-proof exception: bullets hurt it
constexpr std::uint16_t kTypeSiegeHowitzer = 23;
constexpr std::uint16_t kTypeAirA = 11;
constexpr std::uint16_t kTypeAirB = 12;
constexpr float kMachineGunMinimum = 150.0f;
constexpr float kCloseReach = 100.0f;
constexpr float kFlameMinimum = 40.0f;
constexpr float kFlameStep = 40.0f;
// Each flame step scorches this far round its point.
constexpr float kFlameRadius = 40.0f;
constexpr float kBurstStep = 40.0f;
constexpr float kReacquireReach = 30.0f;
constexpr int kStrafeBullets = 14;
constexpr int kAlarmReactions = 10;
constexpr std::uint8_t kSoundUnit = 3;
constexpr std::uint8_t kSoundHouse = 2;
constexpr std::uint8_t kAttackMode = 1;
constexpr std::uint8_t kNationRenewing = 2;
constexpr std::uint16_t kTypeRenewing = 14;

bool Alive(const TUnit* u)
{
    return u != nullptr && u->Dead == 0 && u->Basic != nullptr && u->HitPoints >= 0.0f;
}

// Tanks shrug off bullets, bursts and shells of buildings; the armoured lorry does not.
bool BulletProof(const TUnit* u)
{
    return UnitKindOf(u) == UNIT_KIND_TANK && u->Type != kTypeArmouredLorry;
}

bool Sheltered(const TUnit* u)
{
    return u->Work == STAY_IN_HOUSE;
}

bool InShelteringHouse(const TUnit* u)
{
    return u->House != nullptr && (u->House->HouseType == 21 || u->House->HouseType == 7 || u->House->HouseType == 1);
}

// Lying, crawling and dug-in postures make a smaller target.
bool LowPosture(const TUnit* u)
{
    return IsOneOfCodes(u->NumWork, {1, 2, 20, 8, 14, 21});
}

std::uint16_t Value(const TUnit* u, TUnitCombatSlot slot)
{
    return UnitCombatValue(u->Basic, u->Player, slot);
}

float Range(const TUnit* u)
{
    return u->Basic != nullptr && u->Player < UNIT_PLAYERS ? static_cast<float>(u->Basic->Range[u->Player]) : 0.0f;
}

float Factor(const float (&factors)[8], std::uint8_t player)
{
    return player < 8 ? factors[player] : 1.0f;
}

// The experience factor: 1 + 0.002 per point, at most 1.5; a grouped unit fights at the group's
// level (groups keep no elite mark, so 1.0).
double ExperienceFactor(const TUnit* u)
{
    if (u->m_pGroup != nullptr)
        return 1.0;
    return std::min(1.5, 1.0 + 0.002 * static_cast<double>(u->m_Experience));
}

float Distance(const TUnit* a, const TUnit* b)
{
    return PixelDistance(a->X, a->Y, b->X, b->Y);
}

void RefreshIfShown(const TUnit* victim)
{
    if (victim->Selected != 0 && victim->Player == MyPlayer && BattleServices().refreshPanel)
        BattleServices().refreshPanel();
}

void RefreshIfShown(const THouse* house)
{
    if (house->Selected != 0 && house->Owner == MyPlayer && BattleServices().refreshPanel)
        BattleServices().refreshPanel();
}

void Sound(const void* object, std::uint8_t category, std::uint8_t subKind)
{
    if (BattleServices().playSound)
        BattleServices().playSound(category, object, subKind, 4);
}

bool HasTargets(const TUnit* u)
{
    return u->AttackUnit != nullptr || u->HouseAttack != nullptr;
}

bool HouseStanding(const THouse* h)
{
    return h->Destroyed == 0 && h->HitPoints >= 0.0f;
}

// The building of a map object code 1000..8999, or null.
THouse* HouseOfCode(std::uint16_t code)
{
    if (code < kObjectPlayerHouseFirst || code > kObjectPlayerHouseLast)
        return nullptr;
    const std::uint32_t player = HouseCodePlayer(code);
    const std::uint32_t index = HouseCodeIndex(code);
    if (player >= 8 || g_pHouse[player] == nullptr || index >= NumHouse[player])
        return nullptr;
    return HouseAt(g_pHouse[player], index);
}

// The firing operation's common start: the reload begins and a sheltered unit whose building has
// gone stands up.
void StartShot(TUnit* a)
{
    a->FiredFlag = 1;
    if (a->Basic != nullptr && a->Player < UNIT_PLAYERS)
        a->Reload = a->Basic->ReloadTime[a->Player];
    if (Sheltered(a) && a->House == nullptr) {
        ReportError("(Att->House==NULL) in CombatFireForMashineGunner");
        a->Work = UNIT_NO_WORK;
    }
}

// Whether a machine gun may fire at the target now: never at a tank, within range, and at a ground
// target only from a building or from 150 pixels on with no friend beside the target.
bool MayFireAt(const TUnit* a, const TUnit* t, float distance)
{
    if (!Alive(t) || BulletProof(t) || distance > Range(a))
        return false;
    if (IsAirUnit(t) || (Sheltered(a) && a->House != nullptr))
        return true;
    return distance >= kMachineGunMinimum && NoFriendNearUnit(a->Player, t);
}

// The target hears of the fire: its group reacts, or, left alone and idle, the units round it.
void TellTarget(TUnit* a, TUnit* t)
{
    if (t->m_pGroup != nullptr && IsLiveGroup(t->m_pGroup))
        t->m_pGroup->OnAttacked(static_cast<std::int32_t>(a->X), static_cast<std::int32_t>(a->Y), a);
    else if (!HasTargets(t))
        AlarmUnitsNearHit(a->Player, t->MapX, t->MapY, a, 0, 0);
}

// Units of a cell list that a hit at (x, y) within radius reaches; visit may damage them. A list
// that lost the entry under the visit is reported and the rest of that cell skipped.
template <class Visit>
void ForUnitsInCellAndNeighbours(float x, float y, const char* lostMessage, Visit visit)
{
    if (g_pUnitsMap == nullptr)
        return;
    const plat::Point centre = PixelToFlatCell(x, y);
    for (std::uint8_t dir = 0; dir < kDirectionCount; ++dir) {
        const plat::Point c = GetNeighbourPoint(centre, dir);
        if (!CellPointInMap(c))
            continue;
        const std::size_t poz = CellIndex(c.x, c.y);
        for (int k = 0; k < kCellUnitCapacity; ++k) {
            TUnit** list = g_pUnitsMap[poz];
            if (list == nullptr || list[k] == nullptr)
                break;
            TUnit* u = list[k];
            if (!visit(u))
                continue;
            if (g_pUnitsMap[poz] == nullptr || g_pUnitsMap[poz][k] != u) {
                ReportError(lostMessage);
                break;
            }
        }
    }
}

// A bullet's damage applied to one unit; true when it was hit.
bool BulletHit(TUnit* shooter, TUnit* v)
{
    v->HitPoints -= static_cast<float>(BulletDamage(shooter, v));
    if (v->HitPoints >= 0.0f) {
        v->SlowCount = 10;
    } else {
        std::uint8_t killer = UNIT_NO_PLAYER;
        if (shooter != nullptr) {
            shooter->m_Experience += 10.0f;
            killer = shooter->Player;
        }
        RemoveUnitFromGame(v, killer);
    }
    RefreshIfShown(v);
    return true;
}

// Every unit round (x, y) within radius (its height counting) takes a bullet's damage: of another
// player than the shooter's, or of any player with hitOwnSide; the shooter itself only when
// sparesShooter is false.
void HitUnitsAround(float x, float y, TUnit* shooter, bool hitOwnSide, float radius, bool sparesShooter, const char* lostMessage)
{
    const std::uint8_t own = shooter != nullptr ? shooter->Player : UNIT_NO_PLAYER;
    ForUnitsInCellAndNeighbours(x, y, lostMessage, [&](TUnit* v) {
        if ((sparesShooter && v == shooter) || !Alive(v) || (!hitOwnSide && v->Player == own))
            return false;
        const float dx = v->X - x;
        const float dy = v->Y - y;
        if (!(std::sqrt(dx * dx + dy * dy + v->Height * v->Height) < radius))
            return false;
        return BulletHit(shooter, v);
    });
}

void Burst(TUnit* a, TUnit* t, bool gunner)
{
    if (a == nullptr || t == nullptr || a->Basic == nullptr)
        return;
    if (t->Height > 1.0f) {
        CombatFireForMashineGunner(a, t);
        return;
    }
    const float distance = Distance(a, t);
    if (gunner) {
        StartShot(a);
        if (!MayFireAt(a, t, distance)) {
            CancelOrderAndStop(a);
            return;
        }
    } else if (!Alive(t)) {
        return;
    }
    SetOrientToPoint(a, t->X, t->Y);
    Sound(a, kSoundUnit, gunner ? 2 : 3);
    TellTarget(a, t);
    const float accuracy = static_cast<float>(UnitTypeAccuracy(a->Basic, a->Player)) * Factor(g_AccuracyFactor, a->Player);
    if (accuracy < static_cast<float>(RandomDraw() % 101))
        return;
    const int n = static_cast<int>(distance) / static_cast<int>(kBurstStep) + 1;
    const float base = n < 5 ? 20.0f : 10.0f;
    const float spread = std::tan(3.14159265f / 8.0f);
    const float ax = a->X;
    const float ay = a->Y;
    const float dx = t->X - ax;
    const float dy = t->Y - ay;
    const std::uint8_t player = a->Player;
    for (int i = 0; i < n; ++i) {
        const float share = static_cast<float>(i + 1) / static_cast<float>(n);
        const float travelled = distance * share;
        // The first half of the burst passes over the shooter's own lines; the rest may not.
        BulletToPoint(ax + dx * share, ay + dy * share, a, i > n / 2, travelled * spread + base);
        if (a->Dead != 0 || a->Player != player)
            break;
    }
    a->m_Experience += gunner ? 0.3f : 0.03f;
}

} // namespace

std::uint16_t UnitTypeAccuracy(const TBasicUnit* type, std::uint8_t player)
{
    return UnitCombatValue(type, player, COMBAT_ACCURACY);
}

std::uint16_t UnitTypeDamage(const TBasicUnit* type, std::uint8_t player)
{
    return UnitCombatValue(type, player, COMBAT_SHELL_DAMAGE);
}

double BulletDamage(TUnit* shooter, TUnit* victim)
{
    // A bullet without a shooter (its firer left the game) carries no attack.
    if (shooter == nullptr || victim == nullptr || shooter->Basic == nullptr || victim->Basic == nullptr)
        return 0.0;
    if (BulletProof(victim))
        return 0.0;
    const bool flame = UnitKindOf(shooter) == UNIT_KIND_FLAME;
    double attack = Value(shooter, flame ? COMBAT_FIRE_ATTACK : COMBAT_BULLET_ATTACK);
    const double defence = Value(victim, flame ? COMBAT_FIRE_DEFENCE : COMBAT_BULLET_DEFENCE);
    if (IsAirUnit(shooter) && !IsAirUnit(victim))
        attack *= 0.5;
    double damage = ExperienceFactor(shooter) * (attack - defence) * static_cast<double>(RandomDraw() % 100 + 1) * 0.01 /
                    ExperienceFactor(victim);
    if (Sheltered(victim))
        damage *= InShelteringHouse(victim) ? 0.01 : 0.05;
    else if (LowPosture(victim) || (UnitKindOf(victim) == UNIT_KIND_MACHINE_GUNNER && IsOneOfCodes(victim->NumWork, {6, 18})))
        damage *= 0.4;
    return std::max(damage, 0.5);
}

void BulletToPoint(float x, float y, TUnit* shooter, bool hitOwnSide, float radius)
{
    HitUnitsAround(x, y, shooter, hitOwnSide, radius, false, "BulletToPoint g_pUnitsMap[poz]==NULL || g_pUnitsMap[poz][k]==NULL");
}

void FlameToPoint(TUnit* shooter, float x, float y, bool hitOwnSide, float radius)
{
    if (shooter == nullptr || shooter->Basic == nullptr)
        return;
    const plat::Point centre = PixelToFlatCell(x, y);
    const std::uint16_t attack = Value(shooter, COMBAT_FIRE_ATTACK);
    for (std::uint8_t dir = 0; dir < kDirectionCount; ++dir) {
        const plat::Point c = GetNeighbourPoint(centre, dir);
        if (!CellPointInMap(c)) {
            ReportMapOverrun(kMsgGetObjectPoz);
            continue;
        }
        THouse* h = HouseOfCode(GetObjectFromMap(static_cast<std::uint32_t>(CellIndex(c.x, c.y))));
        if (h == nullptr || !HouseStanding(h))
            continue;
        const std::uint16_t defence = HouseTypeFireDefence(h->TypeRecord);
        const float loss =
            defence >= attack ? 1.0f : static_cast<float>(attack - defence) * static_cast<float>(RandomDraw() % 101) * 0.01f;
        h->HitPoints -= loss;
        if (h->Owner != shooter->Player)
            h->OnAttacked();
        if (h->HitPoints < 1.0f) {
            h->HitPoints = -10.0f;
            DestroyHouse(h, shooter->Player);
        }
        RefreshIfShown(h);
    }
    HitUnitsAround(x, y, shooter, hitOwnSide, radius, true, "FlameToPoint g_pUnitsMap[poz]==NULL || g_pUnitsMap[poz][k]==NULL");
}

void CombatFireForMashineGunner(TUnit* a, TUnit* t)
{
    if (a == nullptr || a->Basic == nullptr)
        return;
    StartShot(a);
    const float distance = t != nullptr ? Distance(a, t) : 0.0f;
    if (t == nullptr || !MayFireAt(a, t, distance)) {
        CancelOrderAndStop(a);
        return;
    }
    SetOrientToPoint(a, t->X, t->Y);
    Sound(a, kSoundUnit, 2);
    TellTarget(a, t);
    a->m_Experience += 1.0f;
    const float range = Range(a);
    const float q = range > 0.0f ? distance / range : 0.0f;
    const float accuracy = static_cast<float>(UnitTypeAccuracy(a->Basic, a->Player)) * Factor(g_AccuracyFactor, a->Player);
    if (accuracy < q * q * static_cast<float>(RandomDraw() % 101))
        return;
    t->HitPoints -= static_cast<float>(BulletDamage(a, t));
    RefreshIfShown(t);
    if (t->HitPoints >= 1.0f) {
        const std::uint8_t kind = UnitKindOf(a);
        const TStrateg* owner = a->Player < UNIT_PLAYERS ? g_Strateg[a->Player] : nullptr;
        const bool renews = kind == 4 || (a->Type == kTypeRenewing && owner != nullptr && owner->Nation == kNationRenewing);
        if (renews && a->AttackUnit != nullptr && a->Stance != 1)
            OrderAttackUnit(a, a->AttackUnit, kAttackMode);
        return;
    }
    a->m_Experience += 10.0f;
    RemoveUnitFromGame(t, a->Player);
    CancelOrderAndStop(a);
}

void MashineGunnerFire(TUnit* attacker, TUnit* target)
{
    Burst(attacker, target, false);
}

void MashineGunnerBurst(TUnit* attacker, TUnit* target)
{
    Burst(attacker, target, true);
}

void CombatFireFlameThrower(TUnit* a)
{
    if (a == nullptr || a->Basic == nullptr)
        return;
    a->FiredFlag = 1;
    if (a->Player < UNIT_PLAYERS)
        a->Reload = a->Basic->ReloadTime[a->Player];
    if (Sheltered(a)) {
        ReportError("Att->Work==STAY_IN_HOUSE in void CombatFireFlameThrower(TUnit *Att,TUnit *Def)");
        a->Work = UNIT_NO_WORK;
        CancelOrderAndStop(a);
        return;
    }
    TUnit* t = a->AttackUnit;
    THouse* h = a->HouseAttack;
    float tx = 0.0f;
    float ty = 0.0f;
    if (t != nullptr) {
        const float distance = Distance(a, t);
        if (!Alive(t) || distance > Range(a) || distance < kFlameMinimum) {
            CancelOrderAndStop(a);
            return;
        }
        SetOrientToPoint(a, t->X, t->Y);
        if (!HasTargets(t))
            AlarmUnitsNearHit(a->Player, t->MapX, t->MapY, a, 0, 0);
        tx = t->X;
        ty = t->Y;
    } else if (h != nullptr) {
        if (!HouseStanding(h)) {
            CancelOrderAndStop(a);
            return;
        }
        const TFloatPoint centre = HouseCentre(h);
        tx = centre.x;
        ty = centre.y;
    } else {
        return;
    }
    a->m_Experience += 1.0f;
    const float ax = a->X;
    const float ay = a->Y;
    const float distance = PixelDistance(ax, ay, tx, ty);
    const int n = static_cast<int>(distance) / static_cast<int>(kFlameStep) + 2;
    for (int i = 0; i < n; ++i) {
        const float share = static_cast<float>(i + 1) / static_cast<float>(n);
        // The first two steps leave the nozzle; the flame beyond them burns whoever stands there.
        FlameToPoint(a, ax + (tx - ax) * share, ay + (ty - ay) * share, i >= 2, kFlameRadius);
        if (a->Dead != 0)
            return;
    }
    if ((t != nullptr && !Alive(t)) || (t == nullptr && h != nullptr && !HouseStanding(h)))
        CancelOrderAndStop(a);
}

void UnitHitNear(TUnit* a, TUnit* t)
{
    if (a == nullptr || a->Basic == nullptr)
        return;
    if (t == nullptr || t->Work == WORK_UNIT_TRANSPORTED || Sheltered(t) || !Alive(t) || BulletProof(t) ||
        !(Distance(a, t) < kCloseReach)) {
        CancelOrderAndStop(a);
        return;
    }
    a->m_Experience += 1.0f;
    Sound(a, kSoundUnit, 3);
    const double blow = std::max(1.0, static_cast<double>(Value(a, COMBAT_CLOSE_ATTACK)) - Value(t, COMBAT_CLOSE_DEFENCE));
    t->HitPoints -= static_cast<float>(blow * ExperienceFactor(a) / ExperienceFactor(t));
    if (t->HitPoints < 0.0f) {
        a->m_Experience += 10.0f;
        RemoveUnitFromGame(t, a->Player);
        CancelOrderAndStop(a);
    } else {
        t->SlowCount = 10;
    }
    RefreshIfShown(t);
}

void UnitHitHouse(TUnit* a, THouse* h)
{
    if (a == nullptr || a->Basic == nullptr)
        return;
    if (h == nullptr || !HouseStanding(h)) {
        CancelOrderAndStop(a);
        return;
    }
    Sound(a, kSoundUnit, 3);
    a->m_Experience += 1.0f;
    const double armour = static_cast<double>(HouseTypeArmour(h->TypeRecord)) * Factor(g_HouseArmourFactor, h->Owner);
    double damage = (Value(a, COMBAT_CLOSE_ATTACK) * 0.5 - armour) * ExperienceFactor(a);
    // A lone attacker (one without a group) strikes half as hard again.
    if (a->m_pGroup == nullptr)
        damage *= 1.5;
    if (damage < 1.0)
        damage = 0.3;
    const std::uint16_t total = h->TypeRecord != nullptr ? h->TypeRecord->m_BuildWork : 0;
    if (h->BuildWork != 0) {
        const std::uint32_t raised = h->BuildWork + static_cast<std::uint32_t>(damage + 1.0);
        h->BuildWork = static_cast<std::uint16_t>(std::min<std::uint32_t>(raised, 65535u));
    } else {
        h->HitPoints -= static_cast<float>(damage);
    }
    if (h->HitPoints >= 0.0f && h->BuildWork <= total) {
        RefreshIfShown(h);
        return;
    }
    a->m_Experience += 10.0f;
    DestroyHouse(h, a->Player);
    CancelOrderAndStop(a);
}

void ArtilleryFire(THouse* h, TUnit* t)
{
    if (h == nullptr)
        return;
    const TFloatPoint centre = HouseCentre(h);
    if (t == nullptr || !Alive(t) || BulletProof(t) || PixelDistance(centre.x, centre.y, t->X, t->Y) > h->Range) {
        h->TargetUnit = nullptr;
        h->TargetPlayer = UNIT_NO_PLAYER;
        HouseSearchTarget(h);
        return;
    }
    Sound(h, kSoundHouse, 6);
    float mx = centre.x;
    float my = centre.y;
    if (h->TypeRecord != nullptr && h->TypeRecord->m_MuzzleCount > 0) {
        mx -= h->TypeRecord->m_MuzzleX[0];
        my -= h->TypeRecord->m_MuzzleY[0];
    }
    const bool inMap = h->X >= 0 && h->Y >= 0 && h->X < g_MapWidth && h->Y < g_MapHeight;
    if (inMap)
        my -= GetHeightFromMap(static_cast<std::uint16_t>(h->X), static_cast<std::uint16_t>(h->Y));
    else
        ReportMapOverrun(kMsgGetHeightXY);
    if (Factor(g_AccuracyFactor, h->Owner) * 50.0f < static_cast<float>(RandomDraw() % 101))
        return;
    const double range = h->Range;
    const double distance = PixelDistance(mx, my, t->X, t->Y);
    const double half = range / 2.0;
    const double share = distance <= half || half <= 0.0 ? 1.0 : (range - distance) / half;
    double damage = share * (100.0 - Value(t, COMBAT_BULLET_DEFENCE)) / ExperienceFactor(t);
    if (Sheltered(t) || t->Work == WORK_UNIT_TRANSPORTED)
        damage *= 0.1;
    else if (LowPosture(t))
        damage *= 0.4;
    // A shell that lands always hurts.
    damage = std::max(damage, 1.0);
    t->HitPoints -= static_cast<float>(damage);
    RefreshIfShown(t);
    if (t->HitPoints < 0.0f) {
        RemoveUnitFromGame(t, h->Owner);
        h->TargetUnit = nullptr;
        h->TargetPlayer = UNIT_NO_PLAYER;
        HouseSearchTarget(h);
    }
}

void UnitFireAtUnit(TUnit* a, TUnit* t)
{
    if (a == nullptr || a->Basic == nullptr)
        return;
    if (t == nullptr || !Alive(t) || Sheltered(t)) {
        if (t != nullptr && Sheltered(t))
            ClearUnitTargets(a);
        AirReacquireTarget(a);
        return;
    }
    if (a->m_CanFire == 0)
        return;
    Sound(a, kSoundUnit, 2);
    const bool air = IsAirUnit(t);
    if (air) {
        AirToAirFire(a, t);
    } else {
        a->m_Experience += 1.0f;
        const float vx = a->VX;
        const float vy = a->VY;
        float x = t->X - 4.0f * vx;
        float y = t->Y - 4.0f * vy;
        for (int i = 0; i < kStrafeBullets; ++i) {
            const std::uint16_t r1 = RandomDraw();
            const std::uint16_t r2 = RandomDraw();
            const float bx = x + static_cast<float>(static_cast<int>(r1 & 1u) - 4) * -vy;
            const float by = y + static_cast<float>(static_cast<int>(r2 & 1u) - 4) * -vx;
            // Until delayed hits can be laid, a strafing run's bullets are simply lost.
            if (TTimedEffect* e = AddTimedEffect(bx, by); e != nullptr) {
                e->Shooter = a;
                e->Delay = static_cast<std::uint16_t>(i + 1);
            }
            x += vx;
            y += vy;
        }
    }
    if (t->HitPoints < 0.0f) {
        a->m_Experience += air ? 30.0f : 5.0f;
        AirReacquireTarget(a);
    }
}

void AirToAirFire(TUnit* a, TUnit* t)
{
    if (a == nullptr || t == nullptr || a->Basic == nullptr || !Alive(t))
        return;
    if (Distance(a, t) > Range(a) || !(RandomDraw() % 100 < UnitTypeAccuracy(a->Basic, a->Player)))
        return;
    t->HitPoints -= static_cast<float>(10.0 * BulletDamage(a, t));
    a->m_Experience += 0.1f;
    RefreshIfShown(t);
    if (t->HitPoints < 0.0f) {
        a->m_Experience += 30.0f;
        RemoveUnitFromGame(t, a->Player);
    }
}

bool AirReacquireTarget(TUnit* a)
{
    if (a == nullptr || a->Basic == nullptr || a->m_bMaySearch == 0 || IsOneOfCodes(a->Work, {3, 5, 12, 13, 6, 4}))
        return false;
    if (g_pUnitsMap == nullptr)
        return false;
    const TUnit* aim = a->AttackUnit;
    const float ax = aim != nullptr ? aim->X : a->X;
    const float ay = aim != nullptr ? aim->Y : a->Y;
    const float az = aim != nullptr ? aim->Height : 0.0f;
    const plat::Point cell = PixelToFlatCell(ax, ay);
    if (!CellPointInMap(cell))
        return false;
    TUnit** list = g_pUnitsMap[CellIndex(cell.x, cell.y)];
    if (list == nullptr)
        return false;
    const float range = Range(a);
    const bool bomberType = a->Type == 7 || a->Type == 8;
    for (int k = 0; k < kCellUnitCapacity && list[k] != nullptr; ++k) {
        TUnit* v = list[k];
        // Only an enemy is fought: the aim point's cell holds friends as well.
        if (v == a || !Alive(v) || Sheltered(v) || !IsEnemy(a->Player, v->Player))
            continue;
        if (bomberType && UnitKindOf(v) == UNIT_KIND_TANK && v->Type != kTypeSiegeHowitzer)
            continue;
        if (Distance(a, v) > range)
            continue;
        const float dx = v->X - ax;
        const float dy = v->Y - ay;
        const float dz = v->Height - az;
        if (std::sqrt(dx * dx + dy * dy + dz * dz) > kReacquireReach)
            continue;
        a->Work = kWorkFireAtUnit;
        a->WorkObject = UNIT_NO_OBJECT;
        a->Halted = 0;
        a->NumWork = 0;
        a->AttackUnit = v;
        a->PlayerAttack = v->Player;
        a->HouseAttack = nullptr;
        a->PlayerHouseAttack = UNIT_NO_PLAYER;
        a->StepX = v->X;
        a->StepY = v->Y;
        return true;
    }
    return false;
}

void UnitDamage(TUnit* v, std::uint16_t damage, std::uint32_t killerPlayer, std::uint8_t direct)
{
    if (v == nullptr || v->Basic == nullptr || v->Dead != 0 || v->HitPoints < 0.0f)
        return;
    const std::uint8_t owner = v->Player;
    double d = std::max(0.1, static_cast<double>(damage) - Value(v, COMBAT_EXPLOSION_ARMOUR)) / ExperienceFactor(v);
    if (!Sheltered(v)) {
        if (LowPosture(v))
            d *= 0.6;
    } else {
        double f = Factor(g_ShelterFactor, owner);
        if (!(f > 0.0))
            f = 1.0;
        if (f > 1.5)
            f *= 2.0;
        if (direct != 0)
            d *= (InShelteringHouse(v) ? 0.3 : 0.5) / f;
        else
            d *= 0.01;
    }
    const bool aircraft = v->Type == kTypeAirA || v->Type == kTypeAirB;
    if (aircraft) {
        if (direct != 0)
            d = 0.0;
        else
            d *= Factor(g_AirDamageFactor, owner);
    }
    if (IsShipTypeUnit(v)) {
        const double armour = Factor(g_UnitArmourFactor, owner);
        if (armour > 0.0)
            d /= armour;
    }
    if (direct != 0 && !aircraft)
        d = std::max(d, v->Type >= 21 && v->Type <= 23 ? 2.0 : 1.0);
    v->HitPoints -= static_cast<float>(d);
    if (v->HitPoints < 0.0f)
        RemoveUnitFromGame(v, killerPlayer < UNIT_NO_PLAYER ? static_cast<std::uint8_t>(killerPlayer) : UNIT_NO_PLAYER);
    else
        v->SlowCount = 10;
    RefreshIfShown(v);
}

void AlarmUnitsNearHit(std::uint8_t shooterPlayer, std::uint16_t cellX, std::uint16_t cellY, TUnit* attacker,
                       std::int32_t x, std::int32_t y)
{
    if (g_pUnitsMap == nullptr || g_MapWidth == 0 || g_MapHeight == 0)
        return;
    const std::int32_t x0 = std::max<std::int32_t>(cellX - 2, 0);
    const std::int32_t x1 = std::min<std::int32_t>(cellX + 2, g_MapWidth - 1);
    const std::int32_t y0 = std::max<std::int32_t>(cellY - 4, 0);
    const std::int32_t y1 = std::min<std::int32_t>(cellY + 4, g_MapHeight - 1);
    int reactions = 0;
    for (std::int32_t cy = y0; cy <= y1; ++cy)
        for (std::int32_t cx = x0; cx <= x1; ++cx) {
            TUnit** list = g_pUnitsMap[CellIndex(cx, cy)];
            if (list == nullptr)
                continue;
            // The orders below may move units between cells: the cell's units as they stood.
            TUnit* units[kCellUnitCapacity] = {};
            int count = 0;
            for (; count < kCellUnitCapacity && list[count] != nullptr; ++count)
                units[count] = list[count];
            for (int k = 0; k < count; ++k) {
                if (reactions >= kAlarmReactions)
                    return;
                TUnit* v = units[k];
                if (v == attacker || !Alive(v) || v->Player == shooterPlayer || !IsEnemy(v->Player, shooterPlayer))
                    continue;
                TGroup* group = v->m_pGroup != nullptr && IsLiveGroup(v->m_pGroup) ? v->m_pGroup : nullptr;
                const bool answers = v->m_SearchDelay == 0 && v->m_bMaySearch != 0 && v->Work == UNIT_NO_WORK &&
                                     !IsAirUnit(v) && !IsOneOfCodes(v->NumWork, {6, 18, 2, 20, 21, 7, 13});
                if (group != nullptr) {
                    group->OnAttacked(x, y, attacker);
                    reactions += 5;
                    continue;
                }
                if (!answers)
                    continue;
                const bool hitCell = cx == cellX && cy == cellY;
                if ((v->Type == 0 && !hitCell) || (IsShipTypeUnit(v) && HasTargets(v)))
                    continue;
                if (attacker != nullptr && Alive(attacker))
                    OrderAttackUnit(v, attacker, kAttackMode);
                else
                    GoToPoint(v, static_cast<float>(x), static_cast<float>(y), 1);
                reactions += 1;
            }
        }
}

TUnit* GetNearestUnitOfPlayer(std::uint8_t player, float x, float y)
{
    TUnit* best = nullptr;
    float bestDistance = 0.0f;
    // Corpses stay in the list for a while; only the living count.
    for (TUnit* u = FirstPlayerUnit(player); u != nullptr; u = u->m_pNext) {
        if (u->Dead != 0)
            continue;
        const float d = PixelDistance(u->X, u->Y, x, y);
        if (best == nullptr || d < bestDistance) {
            best = u;
            bestDistance = d;
        }
    }
    return best;
}
