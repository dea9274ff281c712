// The walk over the view's cells and the small drawing routines of what it gathers.
#include "map/landscape.h"

#include <algorithm>
#include <bit>
#include <random>

#include "map/trench_pieces.h"
#include "core/error_log.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "map/land_textures.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "movement/passability.h"
#include "players/strateg.h"
#include "units/anim_slots.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"

std::uint8_t g_bWireframe = 0;
TMapAnimNode* g_MapAnimList = nullptr;
std::vector<TVisibleHouse> g_VisibleHouses;
TLandscapeLists g_Landscape;

namespace {

// Frame phases of animated objects are a matter of looks only: they come from a generator of
// their own, so the simulation's shared table is never drawn from by the view.
std::minstd_rand& VisualRandom()
{
    static std::minstd_rand generator(12345u);
    return generator;
}

// Counts rebuilds 0..50; at 50 the houses give back unused phase graphics.
std::uint8_t g_ReleaseCounter = 0;

struct TAnimCode {
    std::uint16_t code;
    int slot;
};
// The eight animated object codes and the animation slots they show.
constexpr TAnimCode kAnimCodes[8] = {{9601, 8},  {9602, 9},  {9694, 17}, {9695, 18},
                                     {9696, 15}, {9697, 16}, {9698, 5},  {9699, 6}};
TMapAnimSource g_ObjectSources[8];

// Heights of the raised blocks under the crop fields 9694..9699.
constexpr std::int32_t kBlockHeight[6] = {30, 30, 18, 18, 30, 30};

bool IsCropField(std::uint16_t code)
{
    return code >= kObjectAnimatedFirst && code <= kObjectAnimatedLast;
}

void SetVertex(TScreenVertex& v, float x, float y, float z)
{
    v.x = x;
    v.y = y;
    v.z = z;
}

void SetVertex(TScreenVertex& v, float x, float y, float z, std::uint32_t colour)
{
    SetVertex(v, x, y, z);
    v.diffuse = colour;
}

std::uint32_t ShadeColour(std::uint8_t shade)
{
    return 0xFF000000u + shade * 0x010101u;
}

constexpr std::uint32_t kBlockedColour = 0xFFFF0000u;
constexpr std::uint32_t kBuildableColour = 0xFF33CC33u;

// The colour that overrides a tile's shades, or 0 for none.
std::uint32_t TileOverrideColour(std::int32_t x, std::int32_t y, std::uint32_t poz)
{
    std::uint32_t colour = 0;
    if ((g_bShowLandPass && g_pLandPassMap && g_pLandPassMap[poz] != 0)
        || (g_bShowShipPass && g_pVehiclePassMap && g_pVehiclePassMap[poz] != 0))
        colour = kBlockedColour;
    if (g_PlacingHouseType >= 0 && MyStrateg != nullptr) {
        const TCellXY cell{x, y};
        const TPlacementServices& s = PlacementServices();
        if (s.CanBuildHouseAt && s.CanBuildHouseAt(MyPlayer, cell, g_PlacingHouseType, MyStrateg->Nation))
            colour = kBuildableColour;
    }
    return colour;
}

struct TTileCorners {
    TScreenVertex left, top, bottom, right;
    std::int32_t hl, hu, hb, hr;
};

// The four corners of a cell's tile: each the left corner of the cell whose height it takes.
TTileCorners TileCorners(std::uint32_t i, std::int32_t y, float x0, float y0)
{
    const std::uint32_t count = g_MapCellCount;
    const std::uint32_t w = g_MapWidth;
    const std::uint32_t odd = (y & 1) ? 1u : 0u;
    const std::int64_t topIndex = static_cast<std::int64_t>(i) - w + odd;
    const std::uint32_t ti = topIndex < 1 ? i : static_cast<std::uint32_t>(topIndex);
    const std::uint64_t bottomIndex = static_cast<std::uint64_t>(i) + w + odd;
    const std::uint32_t bi = bottomIndex >= count - 1 ? i : static_cast<std::uint32_t>(bottomIndex);
    const bool last = i + 1 >= count;
    const std::uint32_t ri = last ? i : i + 1;
    TTileCorners c;
    c.hl = g_pHeightMap[i];
    c.hu = g_pHeightMap[ti];
    c.hb = g_pHeightMap[bi];
    c.hr = g_pHeightMap[ri];
    const std::uint32_t sl = ShadeColour(g_pCellInfo[i].shade);
    const std::uint32_t su = ShadeColour(g_pCellInfo[ti].shade);
    const std::uint32_t sb = ShadeColour(g_pCellInfo[bi].shade);
    const std::uint32_t sr = last ? sb : ShadeColour(g_pCellInfo[ri].shade);
    SetVertex(c.left, x0, y0 + 24 - c.hl, MapDepth(c.hl + y0 + 24), sl);
    SetVertex(c.top, x0 + 48, y0 - c.hu, MapDepth(c.hu + y0), su);
    SetVertex(c.bottom, x0 + 48, y0 + 48 - c.hb, MapDepth(c.hb + y0 + 48), sb);
    SetVertex(c.right, x0 + 96, y0 + 24 - c.hr, MapDepth(c.hr + y0 + 24), sr);
    return c;
}

TScreenVertex Lifted(const TScreenVertex& v, std::int32_t height, float nominalY, std::int32_t e)
{
    TScreenVertex out = v;
    out.y = v.y - e;
    out.z = MapDepth(height + nominalY + e);
    return out;
}

void AddRaisedBlock(const TTileCorners& c, float y0, std::int32_t e)
{
    TLandscapeLists& l = g_Landscape;
    if (l.blockCount >= LANDSCAPE_MAX_BLOCKS)
        return;
    const TScreenVertex L = Lifted(c.left, c.hl, y0 + 24, e);
    const TScreenVertex T = Lifted(c.top, c.hu, y0, e);
    const TScreenVertex B = Lifted(c.bottom, c.hb, y0 + 48, e);
    const TScreenVertex R = Lifted(c.right, c.hr, y0 + 24, e);
    TScreenQuad* q = &l.blocks[static_cast<std::size_t>(l.blockCount) * LANDSCAPE_BLOCK_QUADS];
    const TScreenVertex faces[3][4] = {{L, B, c.left, c.bottom}, {L, T, B, R}, {B, R, c.bottom, c.right}};
    for (int f = 0; f < 3; ++f)
        for (int k = 0; k < 4; ++k) {
            // Only positions, depths and colours change; the rest stays from the template.
            TScreenVertex& v = q[f][k];
            SetVertex(v, faces[f][k].x, faces[f][k].y, faces[f][k].z, faces[f][k].diffuse);
        }
    ++l.blockCount;
}

// The standing quad of an object: centred on cx, foot at fy, hw half width, ht height.
void ObjectQuad(TScreenQuad& q, float cx, float fy, float hw, float ht, float bottomZ, float topZ)
{
    SetVertex(q[0], cx - hw, fy - ht, topZ);
    SetVertex(q[1], cx + hw, fy - ht, topZ);
    SetVertex(q[2], cx - hw, fy, bottomZ);
    SetVertex(q[3], cx + hw, fy, bottomZ);
}

TObjectQuadList* ListOfKind(int kind)
{
    switch (kind) {
    case OBJ_TREES: return &g_Landscape.trees;
    case OBJ_STONES: return &g_Landscape.stones;
    default: return &g_Landscape.misc;
    }
}

constexpr std::uint16_t kListCapacity[OBJ_KINDS] = {LANDSCAPE_MAX_TREES, LANDSCAPE_MAX_STONES, LANDSCAPE_MAX_MISC};

void ResetObjectList(TObjectQuadList& list, int capacity)
{
    list.count = 0;
    if (static_cast<int>(list.index.size()) != capacity) {
        TScreenVertex unfilled;
        unfilled.rhw = 0.0f;
        list.index.assign(static_cast<std::size_t>(capacity), 0);
        list.quads.assign(static_cast<std::size_t>(capacity), TScreenQuad{unfilled, unfilled, unfilled, unfilled});
    }
}

struct TWalk {
    std::int32_t vx, vy, vw, vh;
    TCellRect region[2];
    int regions;
    bool InRegion(std::int32_t x, std::int32_t y) const
    {
        for (int r = 0; r < regions; ++r)
            if (region[r].Contains(x, y))
                return true;
        return false;
    }
};

void CollectObject(const TWalk& walk, std::int32_t x, std::int32_t y, std::uint16_t code, float x0, float y0,
                   std::int32_t h, const TTileCorners& corners)
{
    if (code >= kObjectTrenchPieceFirst && code <= kObjectTrenchPieceLast) {
        if (g_bTrench && MapDrawServices().BuildTrenchPieces)
            MapDrawServices().BuildTrenchPieces(static_cast<std::uint16_t>(code - kObjectTrenchPieceFirst));
        return;
    }
    if (code < kObjectTreeFirst || code > kObjectAnimatedLast)
        return;
    const float fh = static_cast<float>(h);
    if (TMapAnimSource* source = MapObjectAnimSource(code)) {
        // Every visible animated node is gathered, in or out of the region: the list is rebuilt whole.
        TAnimationSlot* slot = source->slot;
        if (!slot->Loaded())
            LoadAnimation(*slot);
        const std::uint8_t frames = slot->m_FrameCount;
        source->currentFrame = frames ? static_cast<float>(VisualRandom()() % frames) : 0.0f;
        const bool crop = IsCropField(code);
        std::int32_t e = 0;
        if (crop) {
            e = kBlockHeight[code - kObjectAnimatedFirst];
            AddRaisedBlock(corners, y0, e);
        }
        const float hw = static_cast<float>(slot->m_FrameWidth / 2);
        const float ht = static_cast<float>(slot->m_FrameHeight);
        const float cx = x0 + (crop ? 66.0f : 48.0f);
        const float fy = y0 - fh + (crop ? 50.0f : 42.0f);
        const float bottom = MapDepth(2 * fh + fy + (crop ? static_cast<float>(e + 10) : 0.0f));
        auto* node = new TMapAnimNode;
        node->source = source;
        node->quad = g_SpriteQuadTemplate;
        ObjectQuad(node->quad, cx, fy, hw, ht, bottom, bottom);
        node->x = node->quad[3].x;
        node->y = node->quad[3].y;
        node->key = MAP_ANIM_NO_KEY;
        node->layer = MAP_ANIM_LAYER_OBJECT;
        InsertMapAnimNode(g_MapAnimList, node);
        return;
    }
    if (!walk.InRegion(x, y))
        return;
    int kind = OBJ_MISC;
    std::uint16_t first = kObjectMiscFirst;
    if (code <= kObjectTreeLast)
        kind = OBJ_TREES, first = kObjectTreeFirst;
    else if (code <= kObjectStoneLast)
        kind = OBJ_STONES, first = kObjectStoneFirst;
    else if (code > kObjectMiscLast)
        return;
    TObjectQuadList& list = *ListOfKind(kind);
    if (list.count >= kListCapacity[kind])
        return;
    const std::uint16_t index = static_cast<std::uint16_t>(code - first);
    float hw = 0.0f, ht = 0.0f;
    if (index < g_ObjRecords[kind].size()) {
        hw = static_cast<float>(g_ObjRecords[kind][index].width / 2);
        ht = static_cast<float>(g_ObjRecords[kind][index].height);
    }
    const float cx = x0 + 48.0f;
    const float fy = y0 - fh + 42.0f;
    const float bottom = MapDepth(2 * fh + fy);
    // The iron point lies flat on the ground: its top is only half as far back.
    const float top = code == OBJECT_IRON_POINT ? MapDepth(2 * fh + fy - ht / 2) : MapDepth(2 * fh + fy + ht);
    list.index[list.count] = index;
    ObjectQuad(list.quads[list.count], cx, fy, hw, ht, bottom, top);
    ++list.count;
}

void CollectTile(std::uint32_t i, std::int32_t x, std::int32_t y, float x0, float y0, const TTileCorners& c)
{
    TLandscapeLists& l = g_Landscape;
    const TMapCell& cell = g_pCellInfo[i];
    if (cell.base == LAND_NO_TEXTURE || l.tileCount >= LANDSCAPE_MAX_TILES)
        return;
    const float screenH = static_cast<float>(g_ScreenHeight);
    const TScreenVertex* corners[4] = {&c.left, &c.top, &c.bottom, &c.right};
    bool belowTop = false, aboveBottom = false;
    for (const TScreenVertex* v : corners) {
        belowTop = belowTop || v->y >= -24.0f;
        aboveBottom = aboveBottom || v->y < screenH;
    }
    if (!belowTop || !aboveBottom)
        return;
    const std::uint32_t override = TileOverrideColour(x, y, i);
    TScreenQuad& q = l.tileQuads[l.tileCount];
    for (int k = 0; k < 4; ++k)
        SetVertex(q[k], corners[k]->x, corners[k]->y, corners[k]->z, override ? override : corners[k]->diffuse);
    TTileRecord& rec = l.tiles[l.tileCount];
    rec.base = cell.base;
    std::copy(std::begin(cell.overlay), std::end(cell.overlay), std::begin(rec.overlay));
    if (cell.base & LAND_OVERLAYS_BIT) {
        TTileMesh mesh;
        BuildTileMesh(x, y, y & 1, mesh);
        for (int k = 0; k < 9; ++k) {
            if (cell.overlay[k] == 0 || l.fanCount >= LANDSCAPE_MAX_FANS)
                continue;
            TOverlayFan& fan = l.fans[l.fanCount++];
            BuildOverlayQuads(x0, y0, k, mesh, fan);
            if (override)
                for (TScreenVertex& v : fan)
                    v.diffuse = override;
        }
    }
    ++l.tileCount;
}

bool HouseInView(const THouse& h, std::int32_t vx, std::int32_t vy, std::int32_t vw, std::int32_t vh)
{
    return h.X > vx - 6 && h.X < vx + vw + 6 && h.Y > vy - 30 && h.Y < vy + vh + 30;
}

void CollectHouses(const TWalk& walk, std::uint8_t direction)
{
    g_VisibleHouses.clear();
    TCellRect wide[2];
    int wideCount = walk.regions;
    if (direction == 0) {
        wide[0] = {walk.vx - 1, walk.vy, walk.vx + walk.vw, walk.vy + walk.vh + 20};
        wideCount = 1;
    } else {
        for (int r = 0; r < wideCount; ++r)
            wide[r] = walk.region[r];
    }
    for (int r = 0; r < wideCount; ++r) {
        wide[r].x0 -= 5;
        wide[r].x1 += 5;
        wide[r].y0 -= 50;
        wide[r].y1 += 5;
    }
    const bool release = g_ReleaseCounter == LANDSCAPE_RELEASE_PERIOD - 1;
    g_ReleaseCounter = release ? 0 : static_cast<std::uint8_t>(g_ReleaseCounter + 1);
    auto walkArray = [&](THouse* houses, std::uint32_t count) {
        for (std::uint32_t k = 0; houses && k < count; ++k) {
            THouse& h = houses[k];
            if (h.TypeRecord == nullptr)
                continue;
            if (h.HitPoints >= -149000.0f && HouseInView(h, walk.vx, walk.vy, walk.vw, walk.vh)) {
                std::uint8_t redraw = 0;
                for (int r = 0; r < wideCount; ++r)
                    if (h.X > wide[r].x0 && h.X < wide[r].x1 && h.Y > wide[r].y0 && h.Y < wide[r].y1)
                        redraw = 1;
                g_VisibleHouses.push_back({&h, redraw});
            }
            if (release)
                h.ReleasePhaseGraphic();
        }
    };
    const TMapDrawServices& s = MapDrawServices();
    for (std::uint8_t p = 0; p < 8; ++p)
        if (g_Strateg[p] != nullptr && !(s.IsPlayerOutOfGame && s.IsPlayerOutOfGame(p)))
            walkArray(g_pHouse[p], NumHouse[p]);
    walkArray(g_pHouse[kNeutralHouseSlot], g_NeutralHouseCount);
    // Shell sort with the gaps 9, 5, 3, 2, 1 by cell x + 100 x cell y: equal keys keep their order
    // within a gap chain.
    auto key = [](const TVisibleHouse& v) { return v.house->X + 100 * v.house->Y; };
    const std::size_t n = g_VisibleHouses.size();
    for (std::size_t gap : {9u, 5u, 3u, 2u, 1u})
        for (std::size_t i = gap; i < n; ++i) {
            const TVisibleHouse moving = g_VisibleHouses[i];
            std::size_t j = i;
            for (; j >= gap && key(g_VisibleHouses[j - gap]) > key(moving); j -= gap)
                g_VisibleHouses[j] = g_VisibleHouses[j - gap];
            g_VisibleHouses[j] = moving;
        }
}

} // namespace

TLandscapeLists::TLandscapeLists()
{
    TScreenVertex unfilled;
    unfilled.rhw = 0.0f;
    const TScreenQuad quad{unfilled, unfilled, unfilled, unfilled};
    tileQuads.fill(quad);
    fans.assign(LANDSCAPE_MAX_FANS, TOverlayFan{unfilled, unfilled, unfilled, unfilled, unfilled, unfilled, unfilled, unfilled});
    blocks.assign(static_cast<std::size_t>(LANDSCAPE_MAX_BLOCKS) * LANDSCAPE_BLOCK_QUADS, quad);
}

float MapDepth(float v)
{
    return ClampedDepth(v + static_cast<float>(g_ViewDepthBase) + 1024.0f);
}

// ---- animated objects ------------------------------------------------------------------------

TMapAnimSource* MapObjectAnimSource(std::uint16_t code)
{
    for (int i = 0; i < 8; ++i)
        if (kAnimCodes[i].code == code) {
            g_ObjectSources[i].slot = &g_Animations[kAnimCodes[i].slot];
            return &g_ObjectSources[i];
        }
    return nullptr;
}

void InsertMapAnimNode(TMapAnimNode*& head, TMapAnimNode* node)
{
    if (node == nullptr)
        return;
    if (node->source && node->source->slot && !node->source->slot->Loaded())
        LoadAnimation(*node->source->slot);
    // The layer test binds the whole condition: a node only ever goes before nodes of a higher
    // layer. Nodes of one layer then stay in the order they were made (the walk's, then the
    // visible houses'), and every layer-0 node precedes the house animations, which is the order
    // the map scene's merge takes them in (a layer-0 head is drawn at once).
    TMapAnimNode* before = nullptr;
    TMapAnimNode* last = nullptr;
    for (TMapAnimNode* c = head; c != nullptr; c = c->next) {
        last = c;
        const bool keyOk = node->key <= c->key;
        const bool earlier = (node->y < c->y && keyOk) || (node->y == c->y && node->x <= c->x && keyOk);
        if (node->layer < c->layer && earlier) {
            before = c;
            break;
        }
    }
    if (before == nullptr) {
        node->prev = last;
        node->next = nullptr;
        if (last)
            last->next = node;
        else
            head = node;
        return;
    }
    node->next = before;
    node->prev = before->prev;
    if (before->prev)
        before->prev->next = node;
    else
        head = node;
    before->prev = node;
}

void FreeMapAnimList(TMapAnimNode*& head)
{
    while (head) {
        TMapAnimNode* next = head->next;
        delete head;
        head = next;
    }
}

void AdvanceMapAnimFrame(TMapAnimNode& node)
{
    TMapAnimSource* s = node.source;
    if (s == nullptr || s->slot == nullptr)
        return;
    s->currentFrame += s->slot->m_FrameStep;
    if (s->currentFrame >= static_cast<float>(s->slot->m_FrameCount))
        s->currentFrame = 0.0f;
    if (node.houseSlot)
        node.houseSlot->frameState = std::bit_cast<std::uint32_t>(s->currentFrame);
}

// ---- explosion sprites -----------------------------------------------------------------------

bool MakeExplosionQuad(const TExplosionSprite& e, TScreenQuad& quad, plat::Texture*& texture)
{
    const TExplosionSet* set = e.set;
    if (set == nullptr || e.frame >= set->frameCount || e.frame >= set->frames.size())
        return false;
    const TExplosionFrame& f = set->frames[e.frame];
    for (std::uint16_t v : f.rect)
        if (v == 65535)
            return false;
    if (f.rect[2] == 0 || f.rect[3] == 0 || f.rect[4] == 0 || f.rect[5] == 0 || f.texture == nullptr)
        return false;
    const float left = static_cast<float>(e.x - set->hotX + f.rect[0]);
    const float top = static_cast<float>((e.y - e.height) - set->hotY + f.rect[1]);
    const float right = left + f.rect[2];
    const float bottom = top + f.rect[3];
    const float value = 2.0f * e.height + g_ViewDepthBase + 1024.0f + 2.0f * (e.y - e.height) - bottom;
    const float zBottom = ClampedDepth(value);
    const float zTop = ClampedDepth(value + set->hotY);
    // The last two fields give the size of the texture the frame was cut into.
    const float u1 = std::min(1.0f, static_cast<float>(f.rect[2]) / f.rect[4]) * 0.99999f;
    const float v1 = std::min(1.0f, static_cast<float>(f.rect[3]) / f.rect[5]) * 0.99999f;
    quad = g_SpriteQuadTemplate;
    const float xs[4] = {left, right, left, right};
    const float ys[4] = {top, top, bottom, bottom};
    const float us[4] = {0.0f, u1, 0.0f, u1};
    const float vs[4] = {0.0f, 0.0f, v1, v1};
    for (int k = 0; k < 4; ++k) {
        quad[k].x = xs[k];
        quad[k].y = ys[k];
        quad[k].z = k < 2 ? zTop : zBottom;
        quad[k].u = us[k];
        quad[k].v = vs[k];
    }
    texture = f.texture;
    return true;
}

void DrawExplosionSprite(const TExplosionSprite& entry)
{
    TScreenQuad quad;
    plat::Texture* texture = nullptr;
    if (g_pD3DDevice == nullptr || !MakeExplosionQuad(entry, quad, texture))
        return;
    constexpr std::uint32_t kPoint = 1, kLinear = 2;
    g_pD3DDevice->SetTexture(0, texture);
    if (g_bLinearMagFilter)
        g_pD3DDevice->SetTextureStageState(0, D3DStageState::MagFilter, kLinear);
    g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, quad.data(), 4, kDrawWait);
    if (g_bLinearMagFilter)
        g_pD3DDevice->SetTextureStageState(0, D3DStageState::MagFilter, kPoint);
}

// ---- houses ----------------------------------------------------------------------------------

bool IsHousePhaseReady(const THouse& house, const THouseType& type)
{
    const auto* held = static_cast<const CHousePhaseGraphic*>(house.DrawBuffers[HOUSE_DRAW_GRAPHIC]);
    if (held == nullptr)
        return true;
    auto notReady = [&](const CHousePhaseGraphic* phase) { return phase == held && phase->State() != PHASE_LOADED; };
    if (notReady(type.m_pFinishedPhase))
        return false;
    for (const CHousePhaseGraphic* p : type.m_pConstructionPhases)
        if (notReady(p))
            return false;
    for (const CHousePhaseGraphic* p : type.m_pRuinPhases)
        if (notReady(p))
            return false;
    return true;
}

// ---- the lists -------------------------------------------------------------------------------

void FillLandscapeTemplates()
{
    TLandscapeLists& l = g_Landscape;
    l.tileQuads.fill(g_SpriteQuadTemplate);
    for (TScreenQuad& q : l.blocks)
        q = g_SpriteQuadTemplate;
    for (TOverlayFan& f : l.fans)
        for (TScreenVertex& v : f)
            v = g_SpriteQuadTemplate[0];
    for (int kind = 0; kind < OBJ_KINDS; ++kind) {
        TObjectQuadList& list = *ListOfKind(kind);
        list.index.assign(kListCapacity[kind], 0);
        list.quads.assign(kListCapacity[kind], g_SpriteQuadTemplate);
    }
    l.templated = true;
}

int LandscapeRedrawRegion(std::uint8_t direction, std::int32_t vx, std::int32_t vy, std::int32_t vw, std::int32_t vh,
                          TCellRect (&out)[2])
{
    const std::int32_t R = vx + vw;
    const std::int32_t B = vy + vh;
    const TCellRect left{vx - 1, vy, vx + 2, B + 20};
    const TCellRect right{R - 2, vy, R, B + 20};
    switch (direction) {
    case 0: out[0] = {vx - 1, vy, vx + vw, vy + vh + 20}; return 1;
    case 1: out[0] = left; return 1;
    case 2: out[0] = right; return 1;
    case 3: out[0] = {vx, vy, R, vy + 24}; return 1;
    case 4: out[0] = {vx, B - 5, R, B + 20}; return 1;
    case 5: out[0] = left, out[1] = {vx + 3, vy, R, vy + 15}; return 2;
    case 6: out[0] = left, out[1] = {vx + 3, B - 5, R, B + 20}; return 2;
    case 7: out[0] = right, out[1] = {vx, vy, R - 3, vy + 20}; return 2;
    case 8: out[0] = right, out[1] = {vx, B - 5, R - 3, B + 20}; return 2;
    default: return 0;
    }
}

void BuildOverlayQuads(float x0, float y0, int slot, const TTileMesh& mesh, TOverlayFan& out)
{
    // A sub-tile is the hexagon of lattice points round its anchor: the anchor, then its six
    // neighbours in turn and the first of them again to close the fan. Lattice point (i, j) has
    // index 5j + i.
    static constexpr int kRing[7][2] = {{-1, 0}, {0, -1}, {1, -1}, {1, 0}, {0, 1}, {-1, 1}, {-1, 0}};
    const int anchor = g_SlotAnchor[slot];
    const std::uint16_t texture = mesh.slotTexture[anchor];
    for (int k = 0; k < LANDSCAPE_FAN_VERTICES; ++k) {
        const int p = k == 0 ? anchor : anchor + kRing[k - 1][0] + 5 * kRing[k - 1][1];
        const TLatticePoint& lp = g_SubTileLattice[p];
        const float height = mesh.height[p];
        TScreenVertex& v = out[k];
        v.x = x0 + lp.x;
        v.y = y0 + lp.y - height;
        v.z = ClampedDepth(height + 0.5f + static_cast<float>(g_ViewDepthBase) + 1024.0f + y0 + lp.y);
        v.rhw = 1.0f;
        const auto grey = static_cast<std::uint32_t>(std::clamp(mesh.shade[p], 0.0f, 1.0f) * 255.0f);
        v.diffuse = 0xFF000000u + grey * 0x010101u;
        v.specular = 0xFFFFFFFFu;
        v.u = lp.u + g_SlotShiftU[slot] + 0.002f * slot;
        v.v = lp.v + g_SlotShiftV[slot] + 0.001f * slot;
        // Where the neighbouring entry shows the same ground, the edge is pulled in a little so the
        // two sub-tiles' soft edges meet without a seam.
        if (k != 0 && mesh.slotTexture[p] == texture)
            v.v += 0.01f;
    }
    if (anchor >= 5 && mesh.slotTexture[anchor - 5] == texture)
        out[0].v += 0.05f;
}

void PrepareLandscape(std::uint8_t direction)
{
    TLandscapeLists& l = g_Landscape;
    l.tileCount = 0;
    l.fanCount = 0;
    l.blockCount = 0;
    for (int kind = 0; kind < OBJ_KINDS; ++kind)
        ResetObjectList(*ListOfKind(kind), kListCapacity[kind]);
    g_VisibleHouses.clear();
    TWalk walk{g_ViewX, g_ViewY, g_ViewCols, g_ViewRows, {}, 0};
    walk.regions = LandscapeRedrawRegion(direction, walk.vx, walk.vy, walk.vw, walk.vh, walk.region);
    if (walk.regions == 0 || g_pHeightMap == nullptr || g_pCellInfo == nullptr || g_MapWidth == 0)
        return;
    const std::uint32_t limit = g_MapCellCount > g_MapWidth ? g_MapCellCount - g_MapWidth : 0;
    bool done = false;
    for (std::int32_t y = walk.vy; y <= walk.vy + walk.vh + 20 && !done; ++y)
        for (std::int32_t x = walk.vx - 1; x <= walk.vx + walk.vw; ++x) {
            // A column left or right of the map would read the neighbouring row's cells.
            if (x < 0 || x >= g_MapWidth)
                continue;
            const std::uint32_t i = static_cast<std::uint32_t>(y) * g_MapWidth + static_cast<std::uint32_t>(x);
            if (i >= limit) {
                done = true; // the map's last row is never drawn
                break;
            }
            const float x0 = static_cast<float>((x - walk.vx) * 96 - ((y & 1) ? 0 : 48));
            const float y0 = static_cast<float>((y - walk.vy) * 24 - 24);
            const TTileCorners corners = TileCorners(i, y, x0, y0);
            CollectObject(walk, x, y, g_pObjectMap[i], x0, y0, g_pHeightMap[i], corners);
            CollectTile(i, x, y, x0, y0, corners);
        }
    CollectHouses(walk, direction);
}

bool DrawFilledPrimitive(int type, const TScreenVertex* vertices, std::uint32_t count)
{
    if (g_pD3DDevice == nullptr)
        return false;
    for (std::uint32_t k = 0; k < count; ++k)
        if (vertices[k].rhw == 0.0f)
            return false;
    return g_pD3DDevice->DrawPrimitive(static_cast<plat::PrimitiveType>(type), vertices, count, kDrawWait);
}

void DrawLandOverlays()
{
    if (g_bWireframe || g_pD3DDevice == nullptr)
        return;
    const TLandscapeLists& l = g_Landscape;
    std::uint32_t bound = 2000; // matches no texture
    std::uint32_t fan = 0;
    for (std::uint16_t t = 0; t < l.tileCount; ++t) {
        const TTileRecord& rec = l.tiles[t];
        if (!(rec.base & LAND_OVERLAYS_BIT))
            continue;
        for (int k = 0; k < 9 && fan < l.fanCount; ++k) {
            const std::uint16_t id = rec.overlay[k];
            if (id == 0)
                continue;
            if (id != bound) {
                bound = id;
                g_pD3DDevice->SetTexture(0, id <= LAND_TEXTURE_SLOTS ? g_LandTex128[id - 1] : nullptr);
            }
            DrawFilledPrimitive(static_cast<int>(plat::PrimitiveType::TriangleFan), l.fans[fan].data(),
                                LANDSCAPE_FAN_VERTICES);
            ++fan;
        }
    }
}
