#include "combat/tower.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "combat/battle_services.h"
#include "combat/hits.h"
#include "combat/shots.h"
#include "combat/work_states.h"
#include "core/error_log.h"
#include "core/geometry.h"
#include "core/memory_stream.h"
#include "devices/animation.h"
#include "map/water.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kTwoPi = 6.2831855f;
constexpr float kQuarterPi = 0.7853982f;
constexpr float kEighthsPerRadian = 1.2732395f;
constexpr float kNearlyFullTurn = 6.2821856f;
constexpr float kPositiveTurnExtra = 0.01f;
constexpr float kSnapMargin = 0.001f;
constexpr float kIsoX = 0.866025403f;
constexpr std::uint8_t kKindFieldGun = 9;
constexpr std::uint8_t kKindHeavyGun = 10;
constexpr std::uint8_t kKindCarrier = 16;
constexpr std::uint16_t kTypeSubmarine = 18;
constexpr std::uint16_t kTypeCruiser = 19;
constexpr std::uint16_t kTypeBattleship = 20;
constexpr std::uint16_t kTypeHowitzer = 23;
constexpr std::uint8_t kTorpedoShot = 7;
constexpr std::uint8_t kSoundUnit = 3;
// The tower's share of its ship's damage is its fire value A over the default A.
constexpr float kDefaultFireA = 300.0f;

float Wrapped(float a)
{
    return AddAngles(a, 0.0f);
}

// An angle read from a file may lie any number of turns away: brought into one turn, NaN and
// infinities to 0.
float LoadedAngle(float a, float fallback)
{
    if (!std::isfinite(a))
        return fallback;
    constexpr float kTurn = 6.2831855f;
    float r = std::fmod(a, kTurn);
    if (r < 0.0f)
        r += kTurn;
    if (!(r >= 0.0f && r < kTurn))
        r = 0.0f;
    return Wrapped(r);
}

TAnimationStruct* MakeFlash(int set)
{
    auto* a = new TAnimationStruct;
    if (set >= 0)
        a->SetSprites(ShotBankSet(static_cast<std::uint8_t>(set)), false);
    a->m_Repeat = 1;
    a->m_bFinished = 1;
    return a;
}

// The unit's heading snapped down to the steps its pictures turn by.
float SnappedHeading(const TUnit& u)
{
    const std::uint8_t steps = u.Basic != nullptr ? u.Basic->TurnSteps() : 0;
    if (steps == 0)
        return u.Heading;
    const float step = kQuarterPi / static_cast<float>(steps);
    return std::floor(u.Heading / step) * step;
}

bool TargetPoint(const TUnit& u, float& x, float& y)
{
    if (u.AttackUnit != nullptr) {
        x = u.AttackUnit->X;
        y = u.AttackUnit->Y;
        return true;
    }
    if (u.HouseAttack != nullptr) {
        x = u.HouseAttack->DoorX;
        y = u.HouseAttack->DoorY;
        return true;
    }
    if (u.Work == WORK_FIRE_AT_POINT) {
        x = u.TargetX;
        y = u.TargetY;
        return true;
    }
    return false;
}

// The angle toward (dx, dy) in the parts' convention: 0 up the screen, growing counter-clockwise.
float AngleOf(float dx, float dy)
{
    float a = -std::atan2(dy, dx) - kPi / 2.0f;
    if (a < 0.0f)
        a += kTwoPi;
    return a;
}

} // namespace

float AddAngles(float a, float b)
{
    float sum = a + b;
    // A negative sum is brought up once; only a sum that was not negative snaps to 0 near 2 pi.
    if (sum < 0.0f) {
        sum += kTwoPi;
        return sum < 0.0f ? 6.2811856f : sum;
    }
    if (sum >= kTwoPi)
        sum -= kTwoPi;
    return sum >= kNearlyFullTurn ? 0.0f : sum;
}

float WrapAngleDifference(float d)
{
    if (!std::isfinite(d))
        return 0.0f;
    d = std::fmod(d, kTwoPi);
    if (d > kPi)
        d -= kTwoPi;
    else if (d <= -kPi)
        d += kTwoPi;
    return d;
}

void PartRecordInit(TPartRecord& part)
{
    part = TPartRecord{};
}

bool InSector(const TPartRecord& part, float angle)
{
    const int count = std::min<int>(part.sectorCount, 2);
    for (int s = 0; s < count; ++s) {
        const float d = WrapAngleDifference(angle - part.sectors[s][2]);
        if (part.sectors[s][1] <= d && d <= part.sectors[s][0])
            return true;
    }
    return false;
}

float PartRestAngle(const TPartRecord& part)
{
    return part.sectorCount == 1 ? part.sectors[0][2] : part.startAngle;
}

void ShipTowerStep(TPartRecord& part)
{
    if (part.frameEntry != nullptr && part.frameEntry->steps != 0)
        part.turnStep = kQuarterPi / static_cast<float>(part.frameEntry->steps);
}

void SetShipTowerParams(TPartRecord& part, std::uint16_t unitType, std::uint8_t flag)
{
    if (part.mode == 0)
        return;
    std::uint8_t record = 0;
    switch (unitType) {
    case kTypeSubmarine:
        part.shotType = part.mode == 2 ? kTorpedoShot : 1;
        record = part.mode == 2 ? 1 : 2;
        break;
    case kTypeCruiser:
        part.shotType = 1;
        record = flag != 0 || part.mode == 1 ? 3 : 4;
        break;
    case kTypeBattleship:
        part.shotType = 1;
        record = 5;
        break;
    default: return;
    }
    TShipTowerParams p;
    if (!GetShipTowersParams(record, p))
        return;
    part.fireA = p.a;
    part.reload = static_cast<std::uint16_t>(p.b);
    part.fireC = p.c;
    part.maxDistance = p.d;
    part.fireE = p.e;
}

CTower::CTower() = default;

CTower::~CTower()
{
    FreeFlashes();
}

void CTower::FreeFlashes()
{
    for (TAnimationStruct** flashes : {m_FlashA, m_FlashB}) {
        if (flashes == nullptr)
            continue;
        for (int b = 0; b < m_BarrelCount; ++b)
            delete flashes[b];
        delete[] flashes;
    }
    m_FlashA = m_FlashB = nullptr;
}

void CTower::Init(TUnit* unit, std::uint8_t index, std::uint8_t)
{
    m_pUnit = unit;
    m_Index = index;
    m_pPart = unit != nullptr && unit->Basic != nullptr ? unit->Basic->PartRecord(index) : nullptr;
    if (m_FlashA != nullptr || m_pPart == nullptr)
        return;
    m_BarrelCount = std::min<std::uint8_t>(m_pPart->barrelCount, TOWER_MAX_BARRELS);
    m_FlashA = new TAnimationStruct*[m_BarrelCount]{};
    m_FlashB = new TAnimationStruct*[m_BarrelCount]{};
    const std::uint8_t kind = unit->Basic->m_Kind;
    for (int b = 0; b < m_BarrelCount; ++b) {
        int setA = -1;
        int setB = -1;
        if (kind == kKindFieldGun) {
            if (b == 0) {
                setA = 6;
                setB = 4;
            }
        } else if (kind == kKindHeavyGun) {
            if (b == 0) {
                setA = unit->Type == kTypeHowitzer ? 3 : 2;
                setB = 4;
            }
        } else if (kind == kKindCarrier) {
            // The carrier's flash belongs to its own animation set, not to the shots bank.
        } else if (unit->Type == kTypeSubmarine) {
            if (m_pPart->mode == 2) {
                m_pPart->shotType = kTorpedoShot;
            } else {
                setA = 0;
                setB = 4;
            }
        } else {
            setA = m_pPart->mode == 0 ? 0 : 1;
            setB = m_pPart->mode == 0 ? 4 : 5;
        }
        m_FlashA[b] = MakeFlash(setA);
        m_FlashB[b] = setB >= 0 ? MakeFlash(setB) : nullptr;
    }
    m_Angle = m_WantedAngle = PartRestAngle(*m_pPart);
}

bool CTower::Turn()
{
    if (m_pPart == nullptr || m_pPart->mode == 0)
        return false;
    const float step = m_pPart->turnStep;
    // A part without a turn step would never arrive: it takes its wanted angle at once.
    if (step > 0.0f && std::fabs(m_WantedAngle - m_Angle) >= step) {
        if (WrapAngleDifference(m_WantedAngle - m_Angle) > 0.0f)
            m_Angle = Wrapped(m_Angle + step + kPositiveTurnExtra);
        else
            m_Angle = Wrapped(m_Angle - step);
        return true;
    }
    m_Angle = m_WantedAngle;
    return false;
}

bool CTower::AimAt(float x, float y, float& angle)
{
    angle = 0.0f;
    if (m_pUnit == nullptr || m_pPart == nullptr)
        return false;
    const TUnit& u = *m_pUnit;
    const float heading = SnappedHeading(u);
    TVector3 pivot{m_pPart->pivot[0], m_pPart->pivot[1], m_pPart->pivot[2]};
    RotateVectorZ(pivot, heading);
    const float px = u.X + static_cast<float>(pivot.x);
    const float py = u.Y - u.GroundHeight + static_cast<float>(pivot.y);
    const float dx = x - px;
    const float dy = y - py;
    if (std::sqrt(dx * dx + dy * dy) > m_pPart->maxDistance)
        return false;
    const float current = AddAngles(heading, m_Angle);
    const float a = AngleOf(dx, dy);
    angle = a;
    const float diff = std::fabs(WrapAngleDifference(current - a));
    const float rel = AddAngles(a, -heading);
    if (InSector(*m_pPart, rel))
        return diff <= m_pPart->turnStep;
    // Out of every sector: the part turns back to its rest angle.
    angle = AddAngles(heading, PartRestAngle(*m_pPart));
    return false;
}

void CTower::Update()
{
    if (m_pUnit == nullptr || m_pPart == nullptr)
        return;
    if (Turn())
        return;
    if (m_Reload != 0) {
        --m_Reload;
        return;
    }
    TUnit& u = *m_pUnit;
    if (m_pPart->shotType == kTorpedoShot) {
        if (u.HouseAttack != nullptr)
            return;
        if (u.AttackUnit != nullptr && (u.AttackUnit->Basic == nullptr || !u.AttackUnit->Basic->IsShipUnit()))
            return;
        if (u.AttackUnit == nullptr && u.Work == WORK_FIRE_AT_POINT) {
            const plat::Point c =
                PixelToWaterCell(static_cast<std::int32_t>(u.TargetX), static_cast<std::int32_t>(u.TargetY));
            if (g_pWater == nullptr || g_pWater->GetWaterKind(c.x, c.y) == 0)
                return;
        }
    }
    float tx = 0.0f;
    float ty = 0.0f;
    if (!TargetPoint(u, tx, ty)) {
        m_TargetPlayer = 255;
        m_TargetIndex = -1;
        m_pTargetUnit = nullptr;
        PlayerHouseAttack = 255;
        m_TargetHouseIndex = -1;
        m_pTargetHouse = nullptr;
        return;
    }
    m_pTargetUnit = u.AttackUnit;
    m_TargetPlayer = u.AttackUnit != nullptr ? u.AttackUnit->Player : 255;
    m_TargetIndex = u.AttackUnit != nullptr ? static_cast<std::int16_t>(u.AttackUnit->m_Index) : -1;
    m_pTargetHouse = u.AttackUnit == nullptr ? u.HouseAttack : nullptr;
    PlayerHouseAttack = m_pTargetHouse != nullptr ? u.PlayerHouseAttack : 255;
    m_TargetHouseIndex = m_pTargetHouse != nullptr ? static_cast<std::int16_t>(m_pTargetHouse->Index) : -1;

    if (m_pPart->mode == 0) {
        const float dx = tx - u.X;
        const float dy = ty - (u.Y - u.GroundHeight);
        if (std::sqrt(dx * dx + dy * dy) > m_pPart->maxDistance)
            return;
        if (!InSector(*m_pPart, AddAngles(AngleOf(dx, dy), -u.Heading)))
            return;
    } else {
        float angle = 0.0f;
        if (!AimAt(tx, ty, angle)) {
            float wanted = AddAngles(angle, -u.Heading);
            const std::uint8_t steps = m_pPart->frameEntry != nullptr ? m_pPart->frameEntry->steps : 0;
            if (steps != 0) {
                const float stepAngle = kQuarterPi / static_cast<float>(steps);
                const int o = std::min(7, static_cast<int>(wanted * kEighthsPerRadian));
                const int s = std::min(steps - 1, static_cast<int>((wanted - static_cast<float>(o) * kQuarterPi) / stepAngle));
                wanted = static_cast<float>(std::max(s, 0)) * stepAngle + static_cast<float>(o) * kQuarterPi + kSnapMargin;
            }
            m_WantedAngle = wanted;
            return;
        }
    }
    for (std::uint8_t b = 0; b < m_BarrelCount; ++b)
        Fire(b);
    std::uint16_t reload = m_pPart->reload;
    if (reload == 0 && u.Basic != nullptr && u.Player < UNIT_PLAYERS) {
        reload = u.Basic->ReloadTime[u.Player];
        if (m_pPart->mode == 0)
            reload /= 2;
    }
    m_Reload = reload;
}

void CTower::Fire(std::uint8_t barrel)
{
    if (m_pUnit == nullptr || m_pPart == nullptr || barrel >= m_BarrelCount)
        return;
    TUnit& u = *m_pUnit;
    if (m_pPart->shotType != 0) {
        m_ShotBarrel = barrel;
        AddShot(SHOT_SOURCE_TOWER, this, nullptr, nullptr);
    }
    if (m_Firing[barrel] != 0)
        return;
    const bool ship = u.Basic != nullptr && u.Basic->IsShipUnit();
    std::uint8_t effect = 7;
    std::uint8_t variant = 2;
    if (m_pPart->mode == 0) {
        effect = 4;
        variant = ship ? 3 : 2;
    } else if (u.Type == kTypeSubmarine) {
        effect = 4;
        variant = m_pPart->shotType == kTorpedoShot ? 2 : 3;
    }
    if (BattleServices().playSound)
        BattleServices().playSound(kSoundUnit, &u, effect, variant);
    // The flashes are seen only: they depend on the view and change nothing of the game.
    if (u.m_bOnScreen == 0 || m_FlashA == nullptr || m_FlashA[barrel] == nullptr)
        return;
    float p[3];
    GetBarrelPoint(barrel, p);
    float direction = 0.0f;
    if (ship) {
        direction = AddAngles(m_Angle, u.Heading);
    } else {
        const float* b = m_pPart->barrels[0][barrel];
        direction = std::atan2(-((b[0] + b[1]) * 0.5f), (b[0] - b[1]) * kIsoX);
    }
    m_Firing[barrel] = 1;
    for (TAnimationStruct* flash : {m_FlashA[barrel], m_FlashB != nullptr ? m_FlashB[barrel] : nullptr}) {
        if (flash == nullptr || flash->m_pSprites == nullptr)
            continue;
        flash->m_Position = static_cast<float>(flash->m_FirstFrame);
        flash->m_bFinished = 0;
        flash->m_Repeat = 1;
        flash->m_Angle = direction;
        flash->SetCoord(p[0], p[1] - p[2]);
    }
}

void CTower::GetBarrelPoint(std::uint8_t barrel, float (&out)[3]) const
{
    out[0] = out[1] = out[2] = 0.0f;
    if (m_pUnit == nullptr || m_pPart == nullptr || barrel >= TOWER_MAX_BARRELS)
        return;
    const TUnit& u = *m_pUnit;
    const float heading = SnappedHeading(u);
    const float* b = m_pPart->barrels[0][barrel];
    TVector3 v{b[0], b[1], b[2]};
    if (m_pPart->mode != 0) {
        TVector3 rel{b[0] - m_pPart->pivot[0], b[1] - m_pPart->pivot[1], b[2] - m_pPart->pivot[2]};
        RotateVectorZ(rel, m_Angle);
        v = {rel.x + m_pPart->pivot[0], rel.y + m_pPart->pivot[1], rel.z + m_pPart->pivot[2]};
    }
    RotateVectorZ(v, heading);
    const float px = static_cast<float>(v.x);
    const float py = static_cast<float>(v.y);
    const float pz = static_cast<float>(v.z);
    out[0] = (px - py) * kIsoX + u.X;
    out[1] = u.Y + pz - ((px + py) * 0.5f + pz);
    out[2] = u.Height + u.GroundHeight + pz;
}

void CTower::Save(TOfStreamMemory& out) const
{
    out.WriteU8(m_Index);
    out.WriteU8(m_BarrelCount);
    out.Write(m_Firing, TOWER_MAX_BARRELS);
    out.WriteF32(m_Angle);
    out.WriteF32(m_WantedAngle);
    out.WriteU8(m_TargetPlayer);
    out.WriteI16(m_TargetIndex);
    out.WriteU8(PlayerHouseAttack);
    if (PlayerHouseAttack < 255)
        out.WriteU16(static_cast<std::uint16_t>(m_TargetHouseIndex));
    out.WriteU16(m_Reload);
    out.WriteF32(m_Value);
}

bool CTower::Load(TIfStreamMemory& in, TUnit* unit)
{
    std::uint8_t index = 0;
    if (unit == nullptr || !in.ReadU8(index))
        return false;
    const std::uint8_t nation = unit->Player < 8 && g_Strateg[unit->Player] != nullptr ? g_Strateg[unit->Player]->Nation : 0;
    Init(unit, index, nation);
    std::uint8_t barrels = 0;
    std::uint8_t firing[TOWER_MAX_BARRELS] = {};
    float angle = 0.0f, wanted = 0.0f, value = 0.0f;
    std::uint8_t targetPlayer = 255, housePlayer = 255;
    std::int16_t targetIndex = -1;
    std::uint16_t houseIndex = 0, reload = 0;
    if (!in.ReadU8(barrels) || in.Read(firing, TOWER_MAX_BARRELS) != TOWER_MAX_BARRELS || !in.ReadF32(angle)
        || !in.ReadF32(wanted) || !in.ReadU8(targetPlayer) || !in.ReadI16(targetIndex) || !in.ReadU8(housePlayer))
        return false;
    if (housePlayer < 255 && !in.ReadU16(houseIndex))
        return false;
    if (!in.ReadU16(reload) || !in.ReadF32(value))
        return false;
    // The barrel count comes from the type, not the stream: the flash arrays are made for it.
    for (int b = 0; b < TOWER_MAX_BARRELS; ++b)
        m_Firing[b] = b < m_BarrelCount && m_FlashA != nullptr ? firing[b] : 0;
    m_Angle = LoadedAngle(angle, 0.0f);
    m_WantedAngle = LoadedAngle(wanted, m_Angle);
    m_TargetPlayer = targetPlayer;
    m_TargetIndex = targetIndex;
    m_pTargetUnit = nullptr;
    PlayerHouseAttack = housePlayer;
    m_TargetHouseIndex = -1;
    m_pTargetHouse = nullptr;
    if (housePlayer < 255) {
        if (housePlayer >= 8 || g_pHouse[housePlayer] == nullptr || NumHouse[housePlayer] <= houseIndex) {
            ReportError("???? CTower::Load if (g_pHouse[PlayerHouseAttack]==NULL || NumHouse[PlayerHouseAttack]<Num)");
            PlayerHouseAttack = 255;
        } else {
            m_TargetHouseIndex = static_cast<std::int16_t>(houseIndex);
            m_pTargetHouse = HouseAt(g_pHouse[housePlayer], houseIndex);
        }
    }
    m_Reload = reload;
    m_Value = value;
    return true;
}

bool GetTowerGunShot(CTower* tower, TTowerGunShot& out)
{
    out = TTowerGunShot{};
    if (tower == nullptr || tower->m_pUnit == nullptr || tower->m_pPart == nullptr || tower->m_pPart->shotType == 0)
        return false;
    TUnit* u = tower->m_pUnit;
    float p[3];
    tower->GetBarrelPoint(tower->m_ShotBarrel, p);
    out.muzzleX = p[0];
    out.muzzleY = p[1];
    out.muzzleZ = p[2];
    // Saturated: a large fire value must not wrap round to a weak shot.
    const float damage = static_cast<float>(UnitTypeDamage(u->Basic, u->Player))
        * std::max(0.0f, static_cast<float>(tower->m_pPart->fireA)) / kDefaultFireA;
    out.damage = static_cast<std::uint16_t>(std::min(damage, static_cast<float>(std::numeric_limits<std::uint16_t>::max())));
    out.range = tower->m_pPart->maxDistance;
    out.shellKind = tower->m_pPart->shotType;
    out.variant = tower->m_pPart->mode == 0 ? 0 : 1;
    out.carrier = u;
    if (!TargetPoint(*u, out.aimX, out.aimY)) {
        out.aimX = u->TargetX;
        out.aimY = u->TargetY;
    }
    out.aimUnit = u->AttackUnit;
    return true;
}
