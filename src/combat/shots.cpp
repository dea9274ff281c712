#include "combat/shots.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "combat/battle_services.h"
#include "combat/explosions.h"
#include "combat/hits.h"
#include "combat/timed_signs.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "platform/texture.h"
#include "core/memory_stream.h"
#include "core/random_table.h"
#include "devices/animation.h"
#include "devices/d3d_device.h"
#include "devices/image_files.h"
#include "devices/quads.h"
#include "devices/sound.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/terrain.h"
#include "map/water.h"
#include "net/net_events.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/upgrades.h"

TShotType g_ShotTypes[SHOT_TYPE_COUNT];
std::uint8_t g_FragmentSets[2][13];
TShot* g_ShotList = nullptr;

namespace {

struct TShellSprite {
    plat::Texture* texture = nullptr;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};
TShellSprite g_ShellSprites[SHOT_SPRITE_COUNT];
TAnimationBank* g_pShotsBank = nullptr;

constexpr double kGravity = 9.81;
constexpr double kTorpedoGravity = 0.1;
constexpr float kTorpedoAimHeight = 55.0f;
constexpr float kEdgeAllowance = 11.0f;
constexpr double kPi = 3.14159265358979323846;

// One row per type: HighArc, MuzzleSpeed, Damage, BlastRadius, SubStepScale, Sprite, Fragments,
// DrawHeightScale, TimeScale.
constexpr TShotType kBuiltInTypes[SHOT_TYPE_COUNT] = {
    {0, 300.0, 700, 100, 180.0f, 0, 1, 0.5f, 6.0f},  {0, 400.0, 900, 120, 150.0f, 1, 2, 0.5f, 3.0f},
    {1, 170.0, 400, 80, 80.0f, 0, 1, 0.3f, 1.0f},    {1, 200.0, 800, 80, 70.0f, 0, 2, 0.2f, 1.0f},
    {1, 220.0, 1500, 100, 60.0f, 1, 2, 0.2f, 1.0f},  {1, 250.0, 3000, 300, 60.0f, 2, 2, 0.2f, 1.0f},
    {1, 60.0, 100, 40, 50.0f, 3, 1, 1.0f, 3.0f},     {0, 3.0, 300, 100, 210.0f, 4, 2, 1.0f, 6.0f},
    {0, 500.0, 200, 60, 210.0f, 0, 0, 1.0f, 7.0f},   {0, 800.0, 300, 100, 20000.0f, 5, 0, 1.0f, 80.0f},
    {1, 70.0, 50, 15, 30.0f, 6, 0, 0.1f, 1.8f},      {1, 50.0, 100, 25, 30.0f, 7, 0, 0.3f, 1.8f},
    {1, 60.0, 50, 15, 30.0f, 8, 0, 0.2f, 2.0f},
};
constexpr std::uint8_t kFragmentSets[2][13] = {{6, 10, 10, 10, 12, 11, 11}, {8, 10, 10, 12, 10, 10, 11, 12, 11}};

constexpr const char* kShellFiles[SHOT_SPRITE_COUNT] = {
    "snar_S.444", "snar_M.444", "snar_L.444", "snar_Gr.444", "snar_Bo.444",
    "torpeda.444", "oskolok_1.444", "oskolok_2.444", "oskolok_3.444",
};
constexpr std::uint16_t kShellQuad[SHOT_SPRITE_COUNT][2] = {{8, 8}, {8, 8}, {16, 16}, {8, 8}, {8, 8},
                                                            {32, 64}, {8, 8}, {8, 8}, {8, 8}};

void ReleaseShellSprites()
{
    for (TShellSprite& s : g_ShellSprites) {
        if (s.texture != nullptr)
            s.texture->Release();
        s = {};
    }
}

void FillTables()
{
    std::copy(std::begin(kBuiltInTypes), std::end(kBuiltInTypes), g_ShotTypes);
    std::memcpy(g_FragmentSets, kFragmentSets, sizeof g_FragmentSets);
}

void LinkAtHead(TShot* shot)
{
    shot->prev = nullptr;
    shot->next = g_ShotList;
    if (g_ShotList)
        g_ShotList->prev = shot;
    g_ShotList = shot;
}

void Unlink(TShot* shot)
{
    if (shot->prev)
        shot->prev->next = shot->next;
    else
        g_ShotList = shot->next;
    if (shot->next)
        shot->next->prev = shot->prev;
    shot->next = shot->prev = nullptr;
}

void ClampIntoMap(float& x, float& y)
{
    const float w = static_cast<float>(g_MapWidth) * 96.0f;
    const float h = static_cast<float>(g_MapHeight) * 24.0f;
    if (x < 0.0f)
        x = kEdgeAllowance;
    else if (x > w)
        x = w - kEdgeAllowance;
    if (y < 0.0f)
        y = kEdgeAllowance;
    else if (y > h)
        y = h - kEdgeAllowance;
}

bool CellOf(float x, float y, plat::Point& cell)
{
    GetCellFromPoint(x, y, cell);
    return IsTileInMap(cell);
}

// The house of a player's object code, or null.
THouse* HouseOfCode(std::uint16_t code)
{
    const int player = code / 1000 - 1;
    const int index = code % 1000;
    if (player < 0 || player >= 8 || g_pHouse[player] == nullptr || index >= NumHouse[player])
        return nullptr;
    THouse* h = &g_pHouse[player][index];
    return h->TypeRecord != nullptr ? h : nullptr;
}

// The height a shell meets over a house. It comes from the type alone, so every machine and
// every replay finds the same value whether or not the building's pictures have loaded yet.
std::int32_t HouseHitHeight(const THouse& house)
{
    if (house.Destroyed != 0)
        return 20;
    return house.Type().m_SpriteHeight / 5;
}

// Moves the impact to the house type's nearest hit point; returns the height met there.
void MoveToHouseHitPoint(TShot& s, const THouse& house)
{
    const THouseType& type = house.Type();
    const float originX = house.DoorX - type.m_DoorX;
    const float originY = house.DoorY - type.m_DoorY;
    const std::int32_t H = HouseHitHeight(house);
    const float sx = s.x - originX;
    const float sy = (s.y - s.z) - originY;
    const int count = std::min<int>(type.m_SpotCountB, HOUSE_LIST_SIZE);
    double best = 100000.0;
    int pick = -1;
    for (int i = 0; i < count; ++i) {
        const double dx = type.m_SpotsBX[i] - sx;
        const double dy = type.m_SpotsBY[i] - sy;
        const double d = dx * dx + dy * dy;
        if (d < best) {
            best = d;
            pick = i;
        }
    }
    if (pick < 0)
        return;
    std::uint16_t ground = 0;
    if (house.X >= 0 && house.Y >= 0 && house.X < g_MapWidth && house.Y < g_MapHeight)
        ground = GetHeightFromMap(static_cast<std::uint16_t>(house.X), static_cast<std::uint16_t>(house.Y));
    else
        ReportMapOverrun(kMsgGetHeightXY);
    s.z = static_cast<float>(H + ground);
    s.x = originX + type.m_SpotsBX[pick];
    s.y = originY + type.m_SpotsBY[pick] + static_cast<float>(H);
}

bool IsWaterCell(const plat::Point& cell)
{
    return g_pWater != nullptr && g_pWater->GetWaterKind(cell.x, cell.y) != 0;
}

void ApplyBlast(TShot& s, THouse* house)
{
    DamageForUnits(s.x, s.y, s.z, s.Fragments, static_cast<std::int32_t>(s.damage),
                   static_cast<std::int32_t>(s.BlastRadius), house, &s, 0);
}

} // namespace

// ---- sources -----------------------------------------------------------------------------------

TUnit* TShotSource::Get() const
{
    if (player >= 8 || g_Strateg[player] == nullptr)
        return nullptr;
    TUnit* u = g_Strateg[player]->GetUnit(index);
    if (u == nullptr || u->UniqueId() != uniqueId || u->Dead != 0)
        return nullptr;
    return u;
}

TShotSource TShotSource::Of(const TUnit* unit)
{
    TShotSource s;
    if (unit != nullptr && unit->Player < 8) {
        s.player = unit->Player;
        s.index = unit->m_Index;
        s.uniqueId = unit->UniqueId();
    }
    return s;
}

// ---- set-up ------------------------------------------------------------------------------------

bool ini_tshot()
{
    // The tables come first and apart from the pictures: a missing picture must never leave a
    // shot type without its time scale (a shell that never lands).
    FillTables();
    FreeShotList();
    ReleaseShellSprites();
    bool ok = true;
    for (int i = 0; i < SHOT_SPRITE_COUNT && ok; ++i) {
        const std::string path = std::string("Data\\Misc\\") + kShellFiles[i];
        g_ShellSprites[i].texture = Load444Texture(path.c_str());
        g_ShellSprites[i].width = kShellQuad[i][0];
        g_ShellSprites[i].height = kShellQuad[i][1];
        ok = g_ShellSprites[i].texture != nullptr;
    }
    return ok;
}

TAnimationSprites* ShotBankSet(std::uint8_t index)
{
    if (g_pShotsBank == nullptr)
        return nullptr;
    if (g_pShotsBank->Set(index) == nullptr && !g_pShotsBank->Load(g_pShotsBank->Folder().c_str(), index))
        return nullptr;
    return g_pShotsBank->Set(index);
}

bool ShotsInit()
{
    if (!ini_tshot())
        ReportError("!ini_tshot()");
    if (!ini_explo())
        ReportError("!ini_explo()");
    delete g_pShotsBank;
    g_pShotsBank = new TAnimationBank("Data\\Misc\\Shots\\", 0);
    if (g_pShotsBank->Count() == 0)
        ReportError("FAILED: Data\\Misc\\Shots\\");
    return true;
}

void FreeShotList()
{
    while (g_ShotList) {
        TShot* s = g_ShotList;
        Unlink(s);
        delete s;
    }
}

void ShotsFree()
{
    ExplosionsFree();
    ReleaseShellSprites();
    FreeShotList();
    delete g_pShotsBank;
    g_pShotsBank = nullptr;
}

// ---- construction ------------------------------------------------------------------------------

bool BuildShot(const TShotParams& p, TShot& s)
{
    const std::uint8_t type = p.type < SHOT_TYPE_COUNT ? p.type : 0;
    const TShotType& t = g_ShotTypes[type];
    s.startX = p.startX;
    s.startY = p.startY;
    s.startZ = p.startZ;
    s.aimX = p.aimX;
    s.aimY = p.aimY;
    s.aimZ = p.aimZ;
    s.owner = p.owner;
    s.source = TShotSource::Of(p.source);
    s.type = type;
    s.gas = p.gas;
    s.maxRange = p.maxRange;
    s.HighArc = t.HighArc;
    s.subStep = t.SubStepScale / t.TimeScale;
    s.TimeScale = t.TimeScale;
    s.DrawHeightScale = t.DrawHeightScale;
    s.BlastRadius = t.BlastRadius;
    s.Sprite = t.Sprite;
    s.Fragments = t.Fragments;
    s.silent = type >= SHOT_FIRST_FRAGMENT ? 1 : 0;
    const bool quiet = type == SHOT_GRENADE || type >= SHOT_TORPEDO;
    s.whistleKind = quiet ? 0 : 1;
    s.V = p.speed != 0.0f ? p.speed : t.MuzzleSpeed;
    s.damage = p.damage != 0 ? p.damage : t.Damage;

    double dx = static_cast<double>(s.aimX) - s.startX;
    double dy = static_cast<double>(s.aimY) - s.startY;
    s.D = std::sqrt(dx * dx + dy * dy);
    if (s.D > static_cast<double>(s.maxRange) + 2.0 * s.BlastRadius && s.D > 0.0) {
        const double k = s.maxRange / s.D;
        s.aimX = static_cast<float>(s.startX + dx * k);
        s.aimY = static_cast<float>(s.startY + dy * k);
        dx = static_cast<double>(s.aimX) - s.startX;
        dy = static_cast<double>(s.aimY) - s.startY;
        s.D = std::sqrt(dx * dx + dy * dy);
    }

    s.g = type == SHOT_TORPEDO ? kTorpedoGravity : kGravity;
    s.A = (s.g / 2.0) * (s.g / 2.0);
    s.dz = static_cast<double>(s.aimZ) - s.startZ;
    s.B = s.dz * s.g - s.V * s.V;
    s.C = s.D * s.D + s.dz * s.dz;
    s.disc = s.B * s.B - 4.0 * s.A * s.C;
    if (s.disc < 0.0) {
        s.noSolution = 1;
        return false;
    }
    const double root = std::sqrt(s.disc);
    s.T = std::sqrt(((s.HighArc == 1 ? root : -root) - s.B) / (2.0 * s.A));
    // A shot aimed at its own start point (T 0) lands where it stands in one step.
    const double T = s.T > 0.0 ? s.T : 1.0 / s.TimeScale;
    s.hSpeed = s.D / T;
    s.vSpeed = s.dz / T + T * s.g / 2.0;
    s.pitch = std::atan2(s.vSpeed, s.hSpeed);
    s.L = s.TimeScale * T;
    s.steps = static_cast<std::int32_t>(s.L) + 1;

    if (s.whistleKind != 0) {
        s.whistleKind = s.steps <= 3.0f * g_Fps ? 1 : 3;
        s.whistleStep = static_cast<std::int32_t>(s.steps - static_cast<double>(s.whistleKind) * g_Fps - 1.0);
        if (s.whistleStep < 0)
            s.whistleKind = 0;
    }
    s.advX = dx / s.L;
    s.advY = dy / s.L;
    s.step = 0;
    s.x = s.startX;
    s.y = s.startY;
    s.z = s.startZ;
    s.drawnHeight = s.startZ;
    return true;
}

namespace {

std::uint32_t LaunchShot(const TShotParams& p, const std::uint8_t* launch)
{
    auto* shot = new (std::nothrow) TShot;
    if (shot == nullptr)
        return SHOT_NO_MEMORY;
    if (!BuildShot(p, *shot)) {
        delete shot;
        return SHOT_NO_SOLUTION;
    }
    LinkAtHead(shot);
    if (launch != nullptr)
        shot->delay = static_cast<std::uint16_t>(launch[0] | (launch[1] << 8));
    return SHOT_FIRED;
}

} // namespace

std::uint32_t AddShot(std::uint8_t sourceKind, void* object, std::uint8_t* out, const std::uint8_t* launch)
{
    if (out != nullptr)
        *out = 0;
    TShotParams p;
    std::int32_t accuracy = 10;
    float leadHeight = -1.0f;
    bool torpedo = false;
    TUnit* unit = nullptr;

    if (sourceKind == SHOT_SOURCE_TOWER) {
        TTowerGunShot gun;
        if (object == nullptr || !GetTowerGunShot(static_cast<CTower*>(object), gun) || gun.carrier == nullptr)
            return SHOT_FIRED;
        TUnit* ship = gun.carrier;
        switch (gun.shellKind) {
        case 1: p.type = gun.variant == 0 ? 0 : 1; break;
        case 2:
        case 5: p.type = 5; break;
        case 3: p.type = ship->Type == 5 ? 2 : 3; break;
        case 4: p.type = 4; break;
        case 6: p.type = SHOT_ANTI_AIRCRAFT; break;
        case 7:
            p.type = SHOT_TORPEDO;
            torpedo = true;
            break;
        default: return SHOT_FIRED;
        }
        p.startX = gun.muzzleX;
        p.startY = gun.muzzleY;
        p.startZ = gun.muzzleZ;
        p.damage = gun.damage;
        p.maxRange = gun.range;
        p.source = ship;
        p.owner = ship->Player;
        unit = ship;
        ship->m_Experience += ship->Work == 8 ? 0.5f : 3.0f;
        if (gun.gasOrder != nullptr && *gun.gasOrder != 0) {
            if (ship->Player < 8 && g_SpecialShells[ship->Player] != 0) {
                p.gas = 1;
                --g_SpecialShells[ship->Player];
            }
            *gun.gasOrder = 0;
        }
        accuracy = 101 - UnitTypeAccuracy(ship->Basic, ship->Player);
        p.aimX = gun.aimX;
        p.aimY = gun.aimY;
        if (p.type == SHOT_ANTI_AIRCRAFT && gun.aimUnit != nullptr) {
            p.aimX = gun.aimUnit->X + 17.0f * gun.aimUnit->VX;
            p.aimY = gun.aimUnit->Y + 17.0f * gun.aimUnit->VY;
            leadHeight = gun.aimUnit->GroundHeight + gun.aimUnit->Height;
        }
    } else if (object != nullptr) {
        unit = static_cast<TUnit*>(object);
        p.source = unit;
        p.owner = unit->Player;
        if (sourceKind == SHOT_SOURCE_GRENADE) {
            p.type = SHOT_GRENADE;
            p.startX = unit->X;
            p.startY = unit->Y;
            p.startZ = unit->GroundHeight + 15.0f;
            p.aimX = unit->TargetX;
            p.aimY = unit->TargetY;
            accuracy = 50;
            p.damage = UnitTypeDamage(unit->Basic, unit->Player);
            p.maxRange = 270.0f;
        } else if (sourceKind == SHOT_SOURCE_BOMB) {
            p.type = SHOT_BOMB;
            unit->m_Experience += unit->Work == 8 ? 3.0f : 10.0f;
            p.startX = unit->X;
            p.startY = unit->Y;
            p.startZ = unit->GroundHeight + unit->Height;
            p.aimX = unit->X + 10.0f * unit->VX;
            p.aimY = unit->Y + 10.0f * unit->VY;
            accuracy = 101 - UnitTypeAccuracy(unit->Basic, unit->Player);
            const float typeSpeed = unit->Basic ? unit->Basic->Speed : 0.0f;
            p.speed = 3.0f * (unit->UseTypeSpeed != 0 ? typeSpeed * 1.1f : typeSpeed);
            p.damage = UnitTypeDamage(unit->Basic, unit->Player);
            p.maxRange = 500.0f;
        } else {
            // A unit without a tower fires a plain shell from where it stands at its target point.
            p.type = 0;
            p.startX = unit->X;
            p.startY = unit->Y;
            p.startZ = unit->GroundHeight + unit->Height;
            p.aimX = unit->TargetX;
            p.aimY = unit->TargetY;
            p.maxRange = static_cast<float>(g_ShotTypes[0].MuzzleSpeed);
        }
    }

    if (sourceKind == SHOT_SOURCE_TOWER || sourceKind == SHOT_SOURCE_BOMB)
        accuracy = std::min(accuracy, 100);
    if (unit != nullptr) {
        const float xp = unit->m_Experience;
        const int k = xp >= 250.0f ? 5 : static_cast<int>(xp * 0.02f);
        accuracy += ((100 - accuracy) * k) / 10;
    }

    const double ddx = static_cast<double>(p.aimX) - p.startX;
    const double ddy = static_cast<double>(p.aimY) - p.startY;
    double r = std::sqrt(ddx * ddx + ddy * ddy) * accuracy * 0.01 * 0.5;
    // A factor not yet set (0) must not turn the scatter infinite.
    if (p.owner < 8 && g_ShotAccuracyFactor[p.owner] > 0.0f)
        r /= g_ShotAccuracyFactor[p.owner];
    const std::uint16_t r1 = RandomDraw();
    const std::uint16_t r2 = RandomDraw();
    r *= (r1 % 100) * 0.01;
    const double angle = (r2 % 360) * kPi / 180.0;
    if (sourceKind != SHOT_SOURCE_BOMB) {
        p.aimX = static_cast<float>(p.aimX + r * std::cos(angle));
        p.aimY = static_cast<float>(p.aimY + r * std::sin(angle));
    }
    ClampIntoMap(p.aimX, p.aimY);
    if (torpedo)
        p.aimZ = kTorpedoAimHeight;
    else if (leadHeight > 0.0f)
        p.aimZ = leadHeight;
    else
        p.aimZ = static_cast<float>(GetLandHeightF(p.aimX, p.aimY));
    return LaunchShot(p, launch);
}

// ---- flight ------------------------------------------------------------------------------------

bool ShotStep(TShot& s)
{
    if (s.delay != 0) {
        --s.delay;
        return false;
    }
    const double n = s.V / s.subStep;
    const double baseX = s.startX + s.step * s.advX;
    const double baseY = s.startY + s.step * s.advY;
    if (s.whistleKind != 0 && s.step == s.whistleStep) {
        TSoundPoint point{static_cast<std::int32_t>(s.x), static_cast<std::int32_t>(s.y)};
        BattleServices().playSound(4, &point, static_cast<std::uint8_t>(s.whistleKind), 2);
    }
    for (std::int32_t i = 0; i < n; ++i) {
        const double f = i / n;
        s.x = static_cast<float>(baseX + f * s.advX);
        s.y = static_cast<float>(baseY + f * s.advY);
        plat::Point cell;
        if (!CellOf(s.x, s.y, cell)) {
            s.silent = 1;
            return true;
        }
        std::int32_t h = static_cast<std::uint8_t>(GetLandHeightF(s.x, s.y));
        std::int32_t H = 0;
        THouse* house = nullptr;
        const std::uint16_t code = GetObjectFromMap(cell);
        if (s.type == SHOT_ANTI_AIRCRAFT) {
            h = 0;
        } else if (code == 0) {
            if (!IsWaterCell(cell)) {
                if (s.type == SHOT_TORPEDO)
                    H = static_cast<std::int32_t>(s.z + 20.0f);
            } else if (s.z >= 55.0f && s.z <= 95.0f && ShipHit(s.x, s.y, s.z, &s)) {
                s.silent = 1;
                return true;
            }
        } else if (code >= 1000 && code <= 8999) {
            house = HouseOfCode(code);
            if (house != nullptr)
                H = HouseHitHeight(*house);
        } else if (code >= 9000 && code <= 9499) {
            const std::uint16_t r = RandomDraw();
            const std::int32_t span = 5 * static_cast<std::int32_t>(n + 1.0);
            if (span > 0 && r % span == 1 && s.step > 2)
                H = 30;
        } else if (code >= 101 && code <= 999) {
            H = 60;
        }
        const double t = f + s.step;
        const double tau = t / s.TimeScale;
        s.z = static_cast<float>(tau * s.vSpeed - tau * tau * s.g / 2.0 + s.startZ);
        // A flight gone wild (a damaged record) ends quietly before any height turns integer.
        if (!(std::fabs(s.z) < 1.0e7f)) {
            s.silent = 1;
            return true;
        }
        if (h + H >= s.z + 15.0f) {
            if (house == nullptr) {
                s.z = static_cast<float>(h + H + 15);
            } else {
                MoveToHouseHitPoint(s, *house);
                s.Fragments = 0;
            }
            ApplyBlast(s, house);
            return true;
        }
        if (t >= s.L) {
            if (s.type == SHOT_TORPEDO) {
                s.silent = 1;
                return true;
            }
            if (h >= s.z)
                s.z = static_cast<float>(h + 5);
            ApplyBlast(s, nullptr);
            return true;
        }
    }
    ++s.step;
    return false;
}

std::uint32_t ShotExplosionType(std::uint8_t type)
{
    switch (type) {
    case 0:
    case 1: return 27 + RandomDraw() % 3;
    case 3:
    case 4: RandomDraw(); return 8;
    case 5: return (RandomDraw() & 1) != 0 ? 3 : 2;
    case SHOT_GRENADE: return 24 + RandomDraw() % 3;
    case SHOT_BOMB: return 27;
    case SHOT_ANTI_AIRCRAFT: return 21 + RandomDraw() % 3;
    default: return 15 + RandomDraw() % 3;
    }
}

void ScatterFragments(const TShot& shot, std::uint8_t set)
{
    if (set < 1 || set > 2)
        return;
    const std::uint8_t* row = g_FragmentSets[set - 1];
    for (int i = 0; i < row[0] && i < 12; ++i) {
        const std::uint16_t r1 = RandomDraw();
        const std::uint16_t r2 = RandomDraw();
        const double d = (r1 % 50) * 0.01 * shot.BlastRadius;
        const double angle = (r2 % 360) * kPi / 180.0;
        TShotParams p;
        p.type = row[1 + i];
        p.startX = shot.x;
        p.startY = shot.y;
        p.startZ = shot.z;
        p.aimX = static_cast<float>(shot.x + 2.0 * d * std::cos(angle));
        p.aimY = static_cast<float>(shot.y + 2.0 * d * std::sin(angle));
        ClampIntoMap(p.aimX, p.aimY);
        p.aimZ = static_cast<float>(GetLandHeightF(p.aimX, p.aimY));
        p.maxRange = static_cast<float>(2.0 * d + 1.0);
        LaunchShot(p, nullptr);
    }
}

void UpdateShots()
{
    TShot* s = g_ShotList;
    while (s != nullptr) {
        TShot* next = s->next;
        if (ShotStep(*s)) {
            if (s->gas != 0) {
                TTimedSignDesc sign;
                sign.kind = 0;
                sign.x = static_cast<std::int32_t>(s->x);
                sign.y = static_cast<std::int32_t>(s->y);
                sign.lifetime = 1500;
                const float factor = s->owner < 8 ? g_GasFactor[s->owner] : 1.0f;
                sign.radius = static_cast<std::uint16_t>(static_cast<std::int32_t>(factor * 600.0f));
                sign.growth = 2;
                sign.density = 16;
                sign.damage = 50;
                sign.damageRadius = 50;
                AddTimedSign(sign);
            } else if (s->silent == 0) {
                const std::uint32_t type = ShotExplosionType(s->type);
                plat::Point cell;
                if (CellOf(s->x, s->y, cell)) {
                    AddExplosion(EXPLOSION_GROUND, nullptr, static_cast<std::int32_t>(s->x),
                                 static_cast<std::int32_t>(s->y), static_cast<std::int32_t>(s->z), type, 0, 0, 0);
                    if (s->Fragments != 0) {
                        const std::uint16_t code = GetObjectFromMap(cell);
                        const bool object = code >= 101 && code <= 10999 && !(code >= 9000 && code <= 9699);
                        if (!IsWaterCell(cell) || object)
                            ScatterFragments(*s, s->Fragments);
                    }
                }
            }
            // Fragments went to the head, so the next shot in the walk is unchanged.
            Unlink(s);
            delete s;
        }
        s = next;
    }
}

// ---- queries -----------------------------------------------------------------------------------

std::int16_t CountShotsNear(float x, float y, float r)
{
    std::int16_t n = 0;
    for (const TShot* s = g_ShotList; s; s = s->next) {
        const double dx = s->x - x;
        const double dy = s->y - y;
        if (std::sqrt(dx * dx + dy * dy) < r)
            ++n;
    }
    return n;
}

double ShotHeightAt(const TShot* s, float t)
{
    if (s == nullptr)
        return 0.0;
    const double tau = t / s->TimeScale;
    return tau * s->vSpeed - tau * tau * s->g / 2.0 + s->startZ;
}

// ---- drawing -----------------------------------------------------------------------------------

void DrawShots()
{
    if (g_pD3DDevice == nullptr || g_ShotList == nullptr)
        return;
    g_pD3DDevice->SetRenderState(D3DState::ZEnable, 0);
    g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 0);
    for (TShot* s = g_ShotList; s; s = s->next) {
        const float drawn = s->startZ + (s->z - s->startZ) * s->DrawHeightScale;
        if (s->step == 0) {
            s->drawnHeight = drawn;
            continue;
        }
        s->drawnHeightChange = drawn - s->drawnHeight;
        s->drawnHeight = drawn;
        const TShellSprite& sprite = g_ShellSprites[s->Sprite < SHOT_SPRITE_COUNT ? s->Sprite : 0];
        const float cx = s->x - static_cast<float>(g_ViewPixelX);
        const float cy = s->y - drawn - static_cast<float>(g_ViewPixelY);
        float angle = 0.0f;
        if (s->type == SHOT_TORPEDO) {
            if (s->step > 9) {
                // The wake is made by drawing, so it must not count among what the cycles made.
                const std::uint32_t made = g_ExplosionsMade;
                const std::uint64_t trail = g_ExplosionTrail;
                TExplosion* wake = AddExplosion(EXPLOSION_ATTACHED, nullptr, static_cast<std::int32_t>(s->x),
                                                static_cast<std::int32_t>(s->y), 0, EXPLOSION_TORPEDO_WAKE, 0, 0, 0);
                g_ExplosionsMade = made;
                g_ExplosionTrail = trail;
                if (wake != nullptr) {
                    wake->delay = 3;
                    wake->frame = 1.0f;
                }
            }
            angle = static_cast<float>(std::atan2(-s->advY, s->advX));
        } else if (s->type == 10 || s->type == 11) {
            angle = static_cast<float>(s->step * 18.849556 / s->steps);
        } else {
            angle = static_cast<float>(std::atan2(-s->drawnHeightChange, s->advX) + kPi / 2.0);
        }
        if (sprite.texture == nullptr)
            continue;
        g_pD3DDevice->SetTexture(0, sprite.texture);
        DrawRotatedQuad(cx, cy, sprite.width, sprite.height, angle,
                        static_cast<std::int16_t>(std::clamp(drawn, -32768.0f, 32767.0f)));
    }
    g_pD3DDevice->SetRenderState(D3DState::ZEnable, 1);
}

// ---- save games --------------------------------------------------------------------------------

namespace {

template <typename T>
void Put(std::uint8_t* out, std::size_t at, T v)
{
    std::memcpy(out + at, &v, sizeof v); // the build targets little-endian x86-64 only
}
template <typename T>
void Get(const std::uint8_t* in, std::size_t at, T& v)
{
    std::memcpy(&v, in + at, sizeof v);
}

} // namespace

void WriteShotRecord(const TShot& s, std::span<std::uint8_t, SHOT_RECORD_SIZE> o)
{
    std::uint8_t* b = o.data();
    std::fill(o.begin(), o.end(), std::uint8_t{0});
    Put(b, 8, s.A);
    Put(b, 16, s.B);
    Put(b, 24, s.C);
    Put(b, 32, s.g);
    Put(b, 40, s.advX);
    Put(b, 48, s.advY);
    Put(b, 56, s.drawnHeightChange);
    Put(b, 64, s.D);
    Put(b, 72, s.V);
    Put(b, 80, s.disc);
    Put(b, 88, s.T);
    Put(b, 96, s.L);
    Put(b, 104, s.hSpeed);
    Put(b, 112, s.vSpeed);
    Put(b, 120, s.pitch);
    Put(b, 152, s.HighArc);
    Put(b, 156, s.subStep);
    Put(b, 160, s.maxRange);
    Put(b, 164, s.TimeScale);
    Put(b, 168, s.DrawHeightScale);
    Put(b, 172, s.noSolution);
    Put(b, 173, s.owner);
    Put(b, 176, static_cast<std::uint32_t>(s.source.Get() != nullptr ? 1 : 0));
    Put(b, 180, s.gas);
    Put(b, 181, s.silent);
    Put(b, 184, s.BlastRadius);
    Put(b, 188, s.whistleKind);
    Put(b, 192, s.whistleStep);
    Put(b, 196, s.damage);
    Put(b, 200, s.delay);
    Put(b, 202, s.type);
    Put(b, 203, s.Sprite);
    Put(b, 204, s.Fragments);
    Put(b, 208, s.steps);
    Put(b, 212, s.step);
    Put(b, 216, s.startX);
    Put(b, 220, s.aimX);
    Put(b, 224, s.startY);
    Put(b, 228, s.aimY);
    Put(b, 232, s.startZ);
    Put(b, 236, s.aimZ);
    Put(b, 240, s.x);
    Put(b, 244, s.y);
    Put(b, 248, s.z);
    Put(b, 252, s.drawnHeight);
    Put(b, 256, s.dz);
}

void ReadShotRecord(std::span<const std::uint8_t, SHOT_RECORD_SIZE> in, TShot& s, bool& hasSource)
{
    const std::uint8_t* b = in.data();
    Get(b, 8, s.A);
    Get(b, 16, s.B);
    Get(b, 24, s.C);
    Get(b, 32, s.g);
    Get(b, 40, s.advX);
    Get(b, 48, s.advY);
    Get(b, 56, s.drawnHeightChange);
    Get(b, 64, s.D);
    Get(b, 72, s.V);
    Get(b, 80, s.disc);
    Get(b, 88, s.T);
    Get(b, 96, s.L);
    Get(b, 104, s.hSpeed);
    Get(b, 112, s.vSpeed);
    Get(b, 120, s.pitch);
    Get(b, 152, s.HighArc);
    Get(b, 156, s.subStep);
    Get(b, 160, s.maxRange);
    Get(b, 164, s.TimeScale);
    Get(b, 168, s.DrawHeightScale);
    Get(b, 172, s.noSolution);
    Get(b, 173, s.owner);
    std::uint32_t slot = 0;
    Get(b, 176, slot);
    hasSource = slot != 0;
    Get(b, 180, s.gas);
    Get(b, 181, s.silent);
    Get(b, 184, s.BlastRadius);
    Get(b, 188, s.whistleKind);
    Get(b, 192, s.whistleStep);
    Get(b, 196, s.damage);
    Get(b, 200, s.delay);
    Get(b, 202, s.type);
    Get(b, 203, s.Sprite);
    Get(b, 204, s.Fragments);
    Get(b, 208, s.steps);
    Get(b, 212, s.step);
    Get(b, 216, s.startX);
    Get(b, 220, s.aimX);
    Get(b, 224, s.startY);
    Get(b, 228, s.aimY);
    Get(b, 232, s.startZ);
    Get(b, 236, s.aimZ);
    Get(b, 240, s.x);
    Get(b, 244, s.y);
    Get(b, 248, s.z);
    Get(b, 252, s.drawnHeight);
    Get(b, 256, s.dz);
    s.source = {};
    s.next = s.prev = nullptr;
}

void SaveShots(TOfStreamMemory& out)
{
    std::uint32_t count = 0;
    for (const TShot* s = g_ShotList; s; s = s->next)
        ++count;
    out.WriteU32(count);
    std::uint8_t record[SHOT_RECORD_SIZE];
    for (const TShot* s = g_ShotList; s; s = s->next) {
        WriteShotRecord(*s, record);
        out.Write(record, SHOT_RECORD_SIZE);
        if (const TUnit* u = s->source.Get()) {
            out.WriteU8(u->Player);
            out.WriteU16(u->m_Index);
        }
    }
}

namespace {

// The source reference of a stored shot: u8 player, u16 index.
bool Skip3(TIfStreamMemory& in)
{
    return in.Remaining() >= 3 && in.Seek(in.Pos() + 3);
}

// No shot of the built-in types takes more than a few dozen samples a step.
constexpr double kMostSamplesPerStep = 4096.0;

// A loaded record whose bytes would index past the tables, or steer a shot that never ends, is
// dropped: a damaged save must not reach the drawing or the step with them.
bool IsUsableShot(const TShot& s)
{
    const auto finite = [](double v) { return std::isfinite(v); };
    return s.type < SHOT_TYPE_COUNT && s.Sprite < SHOT_SPRITE_COUNT && s.Fragments <= 2 && s.subStep > 0.0f
        && finite(s.subStep) && finite(s.V) && s.V >= 0.0 && s.V / s.subStep < kMostSamplesPerStep && finite(s.L) && s.L > 0.0
        && finite(s.advX) && finite(s.advY) && finite(s.vSpeed) && finite(s.g) && s.TimeScale > 0.0f
        && finite(s.TimeScale) && finite(s.x) && finite(s.y) && finite(s.z) && finite(s.startX) && finite(s.startY)
        && finite(s.startZ) && s.step >= 0 && s.L < 1.0e7 && s.step <= s.L + 1.0 && std::fabs(s.advX) < 1.0e5
        && std::fabs(s.advY) < 1.0e5 && std::fabs(s.startX) < 1.0e7 && std::fabs(s.startY) < 1.0e7
        && std::fabs(s.x) < 1.0e7 && std::fabs(s.y) < 1.0e7 && std::fabs(s.z) < 1.0e7 && std::fabs(s.startZ) < 1.0e7
        && finite(s.hSpeed) && finite(s.dz);
}

} // namespace

bool CheckShots(TIfStreamMemory& in)
{
    std::uint32_t count = 0;
    if (!in.ReadU32(count) || count > static_cast<std::uint32_t>(in.Remaining() / SHOT_RECORD_SIZE)) {
        ReportError("Не смог загрузить выстрел");
        return false;
    }
    std::uint8_t record[SHOT_RECORD_SIZE];
    for (std::uint32_t i = 0; i < count; ++i) {
        TShot s;
        bool hasSource = false;
        if (in.Read(record, SHOT_RECORD_SIZE) != SHOT_RECORD_SIZE) {
            ReportError("Не смог загрузить выстрел");
            return false;
        }
        ReadShotRecord(record, s, hasSource);
        if (hasSource && !Skip3(in)) {
            ReportError("Не смог загрузить выстрел");
            return false;
        }
    }
    return true;
}

bool LoadShots(TIfStreamMemory& in)
{
    ReleaseShellSprites();
    if (!ini_tshot())
        ReportError("!ini_tshot()");
    std::uint32_t count = 0;
    if (!in.ReadU32(count)) {
        ReportError("Не смог загрузить выстрел");
        return false;
    }
    std::uint8_t record[SHOT_RECORD_SIZE];
    TShot* tail = nullptr;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (in.Read(record, SHOT_RECORD_SIZE) != SHOT_RECORD_SIZE) {
            ReportError("Не смог загрузить выстрел");
            return false;
        }
        auto* s = new TShot;
        bool hasSource = false;
        ReadShotRecord(record, *s, hasSource);
        if (hasSource) {
            std::uint8_t player = 0;
            std::uint16_t index = 0;
            if (!in.ReadU8(player) || !in.ReadU16(index)) {
                ReportError("Не смог загрузить выстрел");
                delete s;
                return false;
            }
            if (player < 8 && g_Strateg[player] != nullptr && g_Strateg[player]->Dead == 0)
                s->source = TShotSource::Of(g_Strateg[player]->GetUnit(index));
        }
        if (s->owner >= 8 && s->owner != SHOT_NO_OWNER)
            s->owner = SHOT_NO_OWNER;
        if (!IsUsableShot(*s)) {
            ReportErrorInt("LoadShots: a shot of unknown type or broken flight is dropped, type ", s->type);
            delete s;
            continue;
        }
        // Read in list order and kept in it: the shots step in the order the saving game had.
        if (tail != nullptr) {
            tail->next = s;
            s->prev = tail;
        } else {
            g_ShotList = s;
        }
        tail = s;
    }
    return true;
}
