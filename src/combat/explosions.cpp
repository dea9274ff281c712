#include "combat/explosions.h"

#include <algorithm>
#include <string>

#include "combat/battle_services.h"
#include "combat/craters.h"
#include "combat/hits.h"
#include "combat/house_events.h"
#include "core/archive.h"
#include "core/error_log.h"
#include "platform/texture.h"
#include "devices/display.h"
#include "devices/image_files.h"
#include "devices/sound.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/ship_grid.h"
#include "map/site_queries.h"
#include "map/water.h"
#include "units/house.h"

const TExplosionTypeInfo g_ExplosionTypes[EXPLOSION_TYPE_COUNT] = {
    {"Bomba.les", 1, 31, 1, 1},
    {"Bomba1.les", 1, 30, 12, 1},
    {"Bomba2.les", 1, 30, 4, 1},
    {"Bomba3.les", 1, 30, 5, 1},
    {"BuildingSmallDeath.les", 1, 30, 4, 2},
    {"ShootRight.les", 0, 0, 255, 6},
    {"CannonShot.les", 1, 31, 2, 1},
    {"FireManDeath.les", 1, 31, 8, 1},
    {"GaubicaShot.les", 1, 30, 8, 1},
    {"SM1.les", 0, 32, 255, 6},
    {"PlaneDeath.les", 1, 33, 5, 1},
    {"PlaneDeath1.les", 1, 33, 4, 1},
    {"PlaneDeath2.les", 1, 33, 4, 1},
    {"PlaneDeath3.les", 1, 33, 5, 1},
    {"Tank-Hit.les", 1, 31, 10, 1},
    {"GranadeLouncher.les", 1, 31, 1, 1},
    {"exFG.les", 1, 32, 10, 1},
    {"exFG2.les", 1, 32, 11, 1},
    {"SmallDB.les", 1, 30, 4, 1},
    {"Flack.les", 1, 32, 255, 0},
    {"SmallDBSand.les", 1, 30, 5, 2},
    {"flack.les", 0, 0, 255, 0},
    {"flack2.les", 0, 0, 255, 0},
    {"flack3.les", 0, 0, 255, 0},
    {"granade1.les", 1, 31, 10, 0},
    {"granade2.les", 1, 31, 11, 0},
    {"granade3.les", 1, 31, 1, 0},
    {"Tank1.les", 1, 30, 1, 1},
    {"Tank2.les", 1, 30, 10, 1},
    {"Tank3.les", 1, 30, 11, 1},
    {"WEN.les", 0, 30, 255, 3},
    {"WEM.les", 0, 31, 255, 4},
    {"WES.les", 0, 32, 255, 5},
    {"WEP.les", 0, 33, 255, 3},
    {"SmallFire.les", 1, 31, 255, 6},
    {"ShootLeft.les", 0, 0, 255, 6},
    {"gas.les", 0, 0, 255, 6},
    {"Arrows.les", 0, 0, 255, 6},
    {"torpedo.les", 0, 0, 255, 6},
    {"gunplane.les", 0, 0, 255, 6},
    {"HouseShootFull.les", 0, 0, 255, 6},
};

TExploSprites* g_ExploSprites[EXPLOSION_TYPE_COUNT] = {};
std::uint8_t g_ExploSetsLoaded = 0;
TExplosion* g_ExplosionList = nullptr;
std::vector<TExplosionSprite> g_ExploDrawList;
std::uint32_t g_ExplosionsMade = 0;
std::uint64_t g_ExplosionTrail = 0;

namespace {

constexpr std::uint8_t kSilent = 6;
constexpr std::uint32_t kHouseBurst = 3;
constexpr std::uint16_t kEndOfFrames = 65535;

void Fold(std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        g_ExplosionTrail ^= (v >> (8 * i)) & 0xFFu;
        g_ExplosionTrail *= 1099511628211ull;
    }
}

void FreeSprites(TExploSprites*& s)
{
    if (s == nullptr)
        return;
    for (TExplosionFrame& f : s->set.frames)
        if (f.texture != nullptr)
            f.texture->Release();
    delete s;
    s = nullptr;
}

void FreeList()
{
    while (g_ExplosionList) {
        TExplosion* e = g_ExplosionList;
        g_ExplosionList = e->next;
        delete e;
    }
}

bool IsOpenWater(const plat::Point& cell, std::int32_t x, std::int32_t y)
{
    return g_pWater != nullptr && g_pWater->m_pShipGrid != nullptr
        && g_pWater->m_pShipGrid->IsOpenWaterAt(cell.x, cell.y, static_cast<float>(x), static_cast<float>(y));
}

} // namespace

bool ini_explo()
{
    // What a previous game left is freed, not forgotten.
    ExplosionsFree();
    g_ExplosionsMade = 0;
    g_ExplosionTrail = 0;
    return true;
}

void ExplosionsFree()
{
    FreeList();
    for (TExploSprites*& s : g_ExploSprites)
        FreeSprites(s);
    g_ExploSetsLoaded = 0;
    g_ExploDrawList.clear();
}

void FillExploSprites(TExploSprites& out, const std::uint8_t* block, std::uint32_t size)
{
    out = {};
    if (block == nullptr || size < 13)
        return;
    const std::uint8_t count = block[0];
    auto u16 = [&](int at) { return static_cast<std::uint16_t>(block[at] | (block[at + 1] << 8)); };
    out.A = u16(1);
    out.B = u16(5);
    out.C = u16(9);
    out.D = u16(11);
    if (count >= EXPLOSION_MAX_FRAMES) {
        // The set stays without frames (count 0): its explosions end on their first update.
        ReportError("ExploBuffer small, increace MAX_NKADR_EXPLO");
        return;
    }
    std::vector<plat::Texture*> textures(count, nullptr);
    std::vector<TFrameHeader> headers(count);
    if (!CreateHalfSizeFrameTextures({block, size}, textures, headers))
        return;
    out.set.frames.resize(count);
    std::uint16_t frames = count;
    for (std::uint16_t i = 0; i < count; ++i) {
        const TFrameHeader& h = headers[i];
        if (h.x == kEndOfFrames) {
            frames = i;
            break;
        }
        TExplosionFrame& f = out.set.frames[i];
        f.texture = textures[i];
        f.rect[0] = h.x;
        f.rect[1] = h.y;
        f.rect[2] = h.dataWidth;
        f.rect[3] = h.dataHeight;
        f.rect[4] = h.texWidth;
        f.rect[5] = h.texHeight;
    }
    out.set.frames.resize(frames);
    out.set.frameCount = frames;
}

TExploSprites* LoadExploTextures(std::uint32_t type)
{
    auto* sprites = new TExploSprites;
    if (type >= EXPLOSION_TYPE_COUNT)
        return sprites;
    const std::string path = std::string("Data\\Misc\\Explo\\") + g_ExplosionTypes[type].archive;
    if (!Load_LesHeader(LES_SLOT_EXPLOSION, path.c_str())) {
        ReportError2("No file ", path);
        return sprites;
    }
    std::uint32_t size = 0;
    std::uint8_t* block = LoadLesEntry(LES_SLOT_EXPLOSION, nullptr, 0, &size);
    CloseLes(LES_SLOT_EXPLOSION);
    if (block == nullptr) {
        ReportError2("Cant load explo texture", path);
        return sprites;
    }
    FillExploSprites(*sprites, block, size);
    FreeLesEntry(block);
    ++g_ExploSetsLoaded;
    return sprites;
}

TExplosion* AddExplosion(std::uint32_t kind, void* object, std::int32_t x, std::int32_t y, std::int32_t z,
                         std::uint32_t type, std::int32_t damage, std::int32_t radius, std::uint8_t flag)
{
    if (type >= EXPLOSION_TYPE_COUNT)
        return nullptr;
    if (damage != 0) {
        const float fx = static_cast<float>(x), fy = static_cast<float>(y), fz = static_cast<float>(z);
        if (flag != 0) {
            DamageForUnits(fx, fy, fz, g_ExplosionTypes[type].objects, damage, radius, nullptr, nullptr, flag);
        } else {
            plat::Point cell;
            GetCellFromPoint(fx, fy, cell);
            if (IsTileInMap(cell)) {
                const std::uint16_t code = GetObjectFromMap(cell);
                THouse* house = nullptr;
                if (code >= 1000 && code <= 8999) {
                    const int p = code / 1000 - 1, i = code % 1000;
                    if (g_pHouse[p] != nullptr && i < NumHouse[p])
                        house = &g_pHouse[p][i];
                }
                DamageForUnits(fx, fy, fz, g_ExplosionTypes[type].objects, damage, radius, house, nullptr, 0);
            }
        }
    }

    auto* e = new (std::nothrow) TExplosion;
    if (e == nullptr)
        return nullptr;
    e->kind = kind;
    e->object = object;
    if (kind != EXPLOSION_NO_POINT) {
        e->x = x;
        e->y = y;
        e->z = z;
    }
    plat::Point cell;
    GetCellFromPoint(static_cast<float>(x), static_cast<float>(y), cell);
    if (IsTileInMap(cell)) {
        if (object == nullptr && IsOpenWater(cell, x, y)) {
            if (type != 9 && type != EXPLOSION_TORPEDO_WAKE && g_ExplosionTypes[type].onWater != 0)
                type = g_ExplosionTypes[type].onWater;
            e->z = 50;
            e->onWater = true;
        } else {
            const std::uint8_t crater = g_ExplosionTypes[type].crater;
            if (kind == EXPLOSION_GROUND && crater < 255 && !IsTileOnWater(cell.x, cell.y)
                && z - 20 < static_cast<std::int32_t>(GetHeightFromMap(static_cast<std::uint32_t>(CellIndex(cell.x, cell.y))))
                && g_pCraters != nullptr)
                g_pCraters->AddPicture(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y - z),
                                       static_cast<std::uint8_t>(crater - 1));
            const std::uint16_t code = GetObjectFromMap(static_cast<std::uint32_t>(CellIndex(cell.x, cell.y)));
            if (code >= 9694 && code <= 9699)
                e->z += 40;
        }
    }
    e->type = type;
    const std::uint8_t sound = g_ExplosionTypes[type].sound;
    if (sound != kSilent) {
        TSoundPoint point{x, y - z};
        BattleServices().playSound(6, &point, sound, e->onWater ? 5 : 7);
    }
    if (g_ExploSprites[type] == nullptr)
        g_ExploSprites[type] = LoadExploTextures(type);
    e->sprites = g_ExploSprites[type];
    e->endFrame = e->sprites->FrameCount();

    ++g_ExplosionsMade;
    for (std::uint32_t v : {kind, type, static_cast<std::uint32_t>(e->x), static_cast<std::uint32_t>(e->y),
                            static_cast<std::uint32_t>(e->z)})
        Fold(v);

    e->next = g_ExplosionList;
    if (g_ExplosionList)
        g_ExplosionList->prev = e;
    g_ExplosionList = e;
    return e;
}

// One burst of a building's destruction: a free explosion, so no crater opens under the ruin,
// lifted above its point and held back by its delay, so the points go up one after another.
void StartHouseExplosion(float x, float y, float lift, std::uint32_t delay)
{
    if (TExplosion* e = AddExplosion(EXPLOSION_FREE, nullptr, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                                     static_cast<std::int32_t>(lift), kHouseBurst, 0, 0, 0))
        e->delay = static_cast<std::uint16_t>(std::min<std::uint32_t>(delay, 65535u));
}

TExplosion* AddVisualExplosion(std::uint32_t kind, std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t type)
{
    const std::uint32_t made = g_ExplosionsMade;
    const std::uint64_t trail = g_ExplosionTrail;
    TExplosion* e = AddExplosion(kind, nullptr, x, y, z, type, 0, 0, 0);
    g_ExplosionsMade = made;
    g_ExplosionTrail = trail;
    return e;
}

void UpdateExplosions()
{
    g_ExploDrawList.clear();
    const std::int32_t screenW = g_ScreenWidth;
    const std::int32_t screenH = g_ScreenHeight;
    TExplosion* e = g_ExplosionList;
    while (e != nullptr) {
        TExplosion* next = e->next;
        if (e->delay != 0) {
            --e->delay;
            e = next;
            continue;
        }
        const std::int32_t f = static_cast<std::int32_t>(e->frame);
        // Ends at the last frame or beyond it: a set without frames ends at once, and a frame
        // index never passes the frames the set holds.
        if (e->sprites == nullptr || f >= e->sprites->FrameCount() || f >= e->endFrame || f < 0) {
            if (e->prev)
                e->prev->next = e->next;
            else
                g_ExplosionList = e->next;
            if (e->next)
                e->next->prev = e->prev;
            delete e;
            e = next;
            continue;
        }
        const TExploSprites& s = *e->sprites;
        TExplosionSprite node;
        if (e->kind != EXPLOSION_NO_POINT) {
            node.x = s.A - s.C + e->x - g_ViewPixelX;
            node.y = s.B - s.D + e->y - g_ViewPixelY;
            node.height = static_cast<std::int16_t>(static_cast<std::uint16_t>(e->rise) + e->z);
        }
        node.set = &s.set;
        node.frame = static_cast<std::uint8_t>(f);
        const std::int32_t margin = s.A + s.B;
        const std::int32_t top = node.y - node.height;
        if (node.x > -margin && top > -margin && node.x < screenW + margin && top < screenH + margin) {
            const auto at = std::upper_bound(g_ExploDrawList.begin(), g_ExploDrawList.end(), node,
                                             [](const TExplosionSprite& a, const TExplosionSprite& b) {
                                                 return a.y < b.y || (a.y == b.y && a.x < b.x);
                                             });
            g_ExploDrawList.insert(at, node);
        }
        e->frame += e->frameStep;
        e->rise += e->risePerFrame;
        e = next;
    }
}

void CollectExplosionSprites(std::vector<const TExplosionSprite*>& out)
{
    out.clear();
    for (const TExplosionSprite& s : g_ExploDrawList)
        out.push_back(&s);
}
