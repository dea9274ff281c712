// The static layer's rebuild: full, or one scroll step that shifts the kept Z-buffer and picture
// and draws only the strips that come into view.
#include "map/static_layer.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "map/trench_pieces.h"
#include "core/error_log.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/span_image.h"
#include "map/land_textures.h"
#include "map/landscape.h"
#include "map/map_file.h"
#include "map/map_objects.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "map/water.h"
#include "units/anim_slots.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/parameter_files.h"

std::uint8_t g_bDepthWriterDebug = 0;
std::uint8_t g_bZBufClear = 0;
std::uint8_t g_bRadeon = 0;

namespace {

constexpr std::uint32_t kTrue = 1;
constexpr std::uint32_t kFalse = 0;
constexpr std::uint32_t kFillWireframe = 2;
constexpr std::uint32_t kFillSolid = 3;
constexpr float kZFar = 0.99999f;

bool IsReflectedKind(std::uint16_t kind)
{
    return kind == 0 || kind == 1 || kind == HOUSE_PORT;
}

void ClearDepth(const plat::Rect* rects, std::uint32_t count)
{
    if (g_bZBufClear) {
        if (g_pD3DDevice)
            g_pD3DDevice->Clear(count, rects, kClearZBuffer, 0, kZFar, 0);
        return;
    }
    if (count == 0)
        DepthFillSurface(g_pZBuffer, nullptr, 0xFFFFFFFFu);
    for (std::uint32_t i = 0; i < count; ++i)
        DepthFillSurface(g_pZBuffer, &rects[i], 0xFFFFFFFFu);
}

void SetState(D3DState state, std::uint32_t value)
{
    g_pD3DDevice->SetRenderState(state, value);
}

void DrawTiles()
{
    const TLandscapeLists& l = g_Landscape;
    for (std::uint16_t t = 0; t < l.tileCount; ++t) {
        const std::uint16_t number = l.tiles[t].base & 0x7FFF;
        plat::Texture* texture = number >= 1 && number <= LAND_TEXTURE_SLOTS ? g_LandTex64[number - 1] : nullptr;
        g_pD3DDevice->SetTexture(0, texture);
        DrawFilledPrimitive(static_cast<int>(plat::PrimitiveType::TriangleStrip), l.tileQuads[t].data(), 4);
    }
}

void DrawBlocks()
{
    const TLandscapeLists& l = g_Landscape;
    g_pD3DDevice->SetTexture(0, g_pTintTexture);
    if (g_pTintTexture == nullptr)
        return;
    for (std::uint32_t b = 0; b < static_cast<std::uint32_t>(l.blockCount) * LANDSCAPE_BLOCK_QUADS; ++b)
        DrawFilledPrimitive(static_cast<int>(plat::PrimitiveType::TriangleStrip), l.blocks[b].data(), 4);
}

void SetTexRect(TScreenQuad& q, float u0, float u1, float v0, float v1)
{
    q[0].u = u0, q[0].v = v0;
    q[1].u = u1, q[1].v = v0;
    q[2].u = u0, q[2].v = v1;
    q[3].u = u1, q[3].v = v1;
}

plat::Texture* ObjectTexture(int kind, std::uint8_t index)
{
    const auto& textures = g_ObjTextures[kind];
    return index < textures.size() ? textures[index] : nullptr;
}

void DrawObjectList(int kind, TObjectQuadList& list, const char* message)
{
    for (int n = static_cast<int>(list.count) - 1; n >= 0; --n) {
        const std::uint16_t index = list.index[n];
        if (index >= g_ObjCount[kind] || index >= g_ObjRecords[kind].size()) {
            ReportError(message);
            continue;
        }
        const TMapObjectRecord& rec = g_ObjRecords[kind][index];
        TScreenQuad& q = list.quads[n];
        SetState(D3DState::ColorKeyEnable, kFalse);
        // Without a texture (255, or past the kind's textures) a quad would come out as an opaque
        // grey block that also hides what stands behind it in the depths: such pictures are left out.
        plat::Texture* shadowTexture = ObjectTexture(kind, rec.shadowTexture);
        if (shadowTexture != nullptr) {
            SetState(D3DState::ZWriteEnable, kFalse);
            TScreenQuad s = q;
            const float left = q[0].x + rec.shadowX;
            const float top = q[0].y + rec.shadowY;
            const float right = left + rec.shadowWidth;
            const float bottom = top + rec.shadowHeight;
            const float xs[4] = {left, right, left, right};
            const float ys[4] = {top, top, bottom, bottom};
            for (int k = 0; k < 4; ++k) {
                s[k].x = xs[k];
                s[k].y = ys[k];
                s[k].z = std::clamp(q[k].z - rec.shadowY / 4096.0f, 0.0f, kZFar);
            }
            SetTexRect(s, rec.shadowU0, rec.shadowU1, rec.shadowV0, rec.shadowV1);
            g_pD3DDevice->SetTexture(0, shadowTexture);
            DrawFilledPrimitive(static_cast<int>(plat::PrimitiveType::TriangleStrip), s.data(), 4);
        }
        SetState(D3DState::ColorKeyEnable, kTrue);
        plat::Texture* texture = ObjectTexture(kind, rec.texture);
        if (texture == nullptr)
            continue;
        SetTexRect(q, rec.u0, rec.u1, rec.v0, rec.v1);
        SetState(D3DState::ZWriteEnable, kTrue);
        g_pD3DDevice->SetTexture(0, texture);
        DrawFilledPrimitive(static_cast<int>(plat::PrimitiveType::TriangleStrip), q.data(), 4);
    }
}

// ---- houses in software ----------------------------------------------------------------------

struct THousePictures {
    const cIMg* picture = nullptr;
    const cIMg* mask = nullptr;
    const std::uint16_t* depth = nullptr; // type sprite width x height values
    const cHMap* depthMap = nullptr;
};

// The pictures to draw a house with this rebuild; false skips it.
bool TakeHousePictures(THouse& h, THousePictures& out)
{
    const THouseType& type = *h.TypeRecord;
    CHousePhaseGraphic* phase = HousePhase(type, h.PhaseState, h.PhaseVariant);
    if (phase == nullptr)
        return false;
    const std::uint8_t state = phase->State();
    if (state == PHASE_NOT_LOADED || state == PHASE_FAILED)
        return false;
    if (state == PHASE_LOADING) {
        if (h.DrawBuffers[HOUSE_DRAW_PICTURE] == nullptr || !IsHousePhaseReady(h, type))
            return false;
    } else {
        h.DrawBuffers[HOUSE_DRAW_PICTURE] = phase->m_pPicture;
        h.DrawBuffers[HOUSE_DRAW_MASK] = phase->m_pOverlay;
        const bool spans = type.m_DepthKind == HOUSE_DEPTH_SPAN_CODED;
        h.DrawBuffers[HOUSE_DRAW_DEPTH] = spans ? nullptr : phase->m_pDepth;
        h.DrawBuffers[HOUSE_DRAW_DEPTH_MAP] = spans ? phase->m_pDepthMap : nullptr;
        h.DrawBuffers[HOUSE_DRAW_GRAPHIC] = phase;
    }
    out.picture = static_cast<const cIMg*>(h.DrawBuffers[HOUSE_DRAW_PICTURE]);
    out.mask = static_cast<const cIMg*>(h.DrawBuffers[HOUSE_DRAW_MASK]);
    out.depth = static_cast<const std::uint16_t*>(h.DrawBuffers[HOUSE_DRAW_DEPTH]);
    out.depthMap = static_cast<const cHMap*>(h.DrawBuffers[HOUSE_DRAW_DEPTH_MAP]);
    return out.picture != nullptr;
}

void WriteHouseDepths(const THousePictures& p, const THouseType& type, std::int32_t left, std::int32_t top,
                      std::int32_t base, const plat::Rect& clip, const TLockedSurface& z)
{
    if (p.depth) {
        const std::int32_t w = type.m_SpriteWidth;
        const std::int32_t h = type.m_SpriteHeight;
        const std::int32_t r0 = std::max(0, clip.top - top), r1 = std::min(h, clip.bottom - top);
        const std::int32_t c0 = std::max(0, clip.left - left), c1 = std::min(w, clip.right - left);
        for (std::int32_t r = r0; r < r1; ++r) {
            const std::int32_t sy = top + r;
            auto* row = reinterpret_cast<std::uint16_t*>(z.bits + static_cast<std::ptrdiff_t>(sy) * z.pitch);
            for (std::int32_t c = c0; c < c1; ++c) {
                if (g_bDepthWriterDebug && ((r ^ c) & 1))
                    continue;
                const std::uint16_t v = p.depth[static_cast<std::size_t>(r) * w + c];
                if (v >= 0x7FFF)
                    continue;
                const auto units = static_cast<std::int64_t>(static_cast<double>(v + base + sy) * 15.9998);
                if (units <= 65535)
                    row[left + c] = static_cast<std::uint16_t>(std::min<std::int64_t>(65535 - units, 65535));
            }
        }
    } else if (p.depthMap) {
        if (g_bDepthWriterDebug)
            p.depthMap->WriteZChecker(static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                                      static_cast<std::int16_t>(base), &z, &clip);
        else
            p.depthMap->WriteZ(static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                               static_cast<std::int16_t>(base), &z, &clip);
    }
}

void AddBarSegment(THouse* house, std::int32_t left, std::int32_t top, const cIMg& picture)
{
    THouseBarSegments& bars = g_HouseBarSegments;
    if (std::find(bars.houses.begin(), bars.houses.end(), house) != bars.houses.end())
        return;
    const std::int32_t x = left + g_ViewPixelX;
    const std::int32_t y = top + g_ViewPixelY;
    bars.rects.push_back({x, y, x + picture.Width(), y + picture.Rows()});
    bars.houses.push_back(house);
}

// The depth value at a point of the house picture; points outside it read as 0.
std::int32_t HouseDepthAt(const THousePictures& p, const THouseType& type, std::int32_t x, std::int32_t y)
{
    if (p.depth) {
        if (x < 0 || y < 0 || x >= type.m_SpriteWidth || y >= type.m_SpriteHeight)
            return 0;
        const std::uint16_t v = p.depth[static_cast<std::size_t>(y) * type.m_SpriteWidth + x];
        return v >= 0x7FFF ? 0 : v;
    }
    const std::uint16_t v = p.depthMap->GetPixel(x, y);
    return v == cHMap::NO_PIXEL ? 0 : v;
}

void AddHouseAnimations(THouse& h, const THousePictures& p, std::int32_t left, std::int32_t top, std::int32_t o)
{
    const THouseType& type = *h.TypeRecord;
    for (std::uint8_t k = 0; k < h.AnimationCount && h.Animations; ++k) {
        THouseAnimation& anim = h.Animations[k];
        if (anim.slot == nullptr)
            continue;
        TAnimationSlot& slot = *anim.slot;
        if (!slot.Loaded())
            LoadAnimation(slot);
        std::int32_t v = 0;
        if (p.depth || p.depthMap)
            v = HouseDepthAt(p, type, anim.x, anim.y) + 2 * o;
        else
            ReportError("???? RenderHouses no Z-buf");
        auto* node = new TMapAnimNode;
        node->ownSource.slot = &slot;
        node->ownSource.currentFrame = std::bit_cast<float>(anim.frameState);
        if (!std::isfinite(node->ownSource.currentFrame) || node->ownSource.currentFrame < 0.0f)
            node->ownSource.currentFrame = 0.0f;
        node->source = &node->ownSource;
        node->houseSlot = &anim;
        const float x0 = static_cast<float>(left - slot.m_OffsetX + anim.x);
        const float y0 = static_cast<float>(top - slot.m_OffsetY + anim.y);
        const float x1 = x0 + slot.m_FrameWidth;
        const float y1 = y0 + slot.m_FrameHeight;
        const float value = 2.0f * v + g_ViewDepthBase + 1024.0f + y1;
        const float zBottom = ClampedDepth(value);
        const float zTop = ClampedDepth(value + slot.m_FrameHeight);
        node->quad = g_SpriteQuadTemplate;
        const float xs[4] = {x0, x1, x0, x1};
        const float ys[4] = {y0, y0, y1, y1};
        for (int i = 0; i < 4; ++i) {
            node->quad[i].x = xs[i];
            node->quad[i].y = ys[i];
            node->quad[i].z = i < 2 ? zTop : zBottom;
        }
        node->x = x1;
        node->y = y1;
        node->key = static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
        node->layer = MAP_ANIM_LAYER_HOUSE;
        InsertMapAnimNode(g_MapAnimList, node);
    }
}

// The smallest viewport inside the current one that holds every strip of a scroll step.
TViewport StripBounds(const TLayerShift& shift, const TViewport& whole)
{
    plat::Rect r = shift.strips[0];
    for (int i = 1; i < shift.stripCount; ++i) {
        r.left = std::min(r.left, shift.strips[i].left);
        r.top = std::min(r.top, shift.strips[i].top);
        r.right = std::max(r.right, shift.strips[i].right);
        r.bottom = std::max(r.bottom, shift.strips[i].bottom);
    }
    const std::int32_t x0 = std::max<std::int32_t>(r.left, static_cast<std::int32_t>(whole.x));
    const std::int32_t y0 = std::max<std::int32_t>(r.top, static_cast<std::int32_t>(whole.y));
    const std::int32_t x1 = std::min<std::int32_t>(r.right, static_cast<std::int32_t>(whole.x + whole.width));
    const std::int32_t y1 = std::min<std::int32_t>(r.bottom, static_cast<std::int32_t>(whole.y + whole.height));
    if (x0 >= x1 || y0 >= y1)
        return whole;
    TViewport vp = whole;
    vp.x = static_cast<std::uint32_t>(x0);
    vp.y = static_cast<std::uint32_t>(y0);
    vp.width = static_cast<std::uint32_t>(x1 - x0);
    vp.height = static_cast<std::uint32_t>(y1 - y0);
    return vp;
}

} // namespace

bool StaticLayerShift(std::uint8_t direction, std::int32_t W, std::int32_t H, TLayerShift& out)
{
    using R = plat::Rect;
    out = {};
    switch (direction) {
    case 1: out = {R{0, 0, W - 96, H}, 96, 0, {R{0, 0, 96, H}}, 1}; return true;
    case 2: out = {R{96, 0, W, H}, 0, 0, {R{W - 96, 0, W, H}}, 1}; return true;
    case 3: out = {R{0, 0, W, H - 48}, 0, 48, {R{0, 0, W, 48}}, 1}; return true;
    case 4: out = {R{0, 48, W, H}, 0, 0, {R{0, H - 48, W, H}}, 1}; return true;
    case 5: out = {R{0, 0, W - 96, H - 48}, 96, 48, {R{0, 0, 96, H}, R{96, 0, W, 48}}, 2}; return true;
    case 6: out = {R{0, 48, W - 96, H}, 96, 0, {R{0, 0, 96, H}, R{96, H - 48, W, H}}, 2}; return true;
    case 7: out = {R{96, 0, W, H - 48}, 0, 48, {R{W - 96, 0, W, H}, R{0, 0, W - 96, 48}}, 2}; return true;
    case 8: out = {R{96, 48, W, H}, 0, 0, {R{W - 96, 0, W, H}, R{0, H - 48, W - 96, H}}, 2}; return true;
    default: return false;
    }
}

void RenderHouses(std::uint8_t direction)
{
    if (g_pDDSBack == nullptr || g_pZBuffer == nullptr)
        return;
    const std::int32_t W = g_ScreenWidth, H = g_ScreenHeight;
    TLayerShift shift;
    if (!StaticLayerShift(direction, W, H, shift)) {
        shift.strips[0] = {0, 0, W, H};
        shift.stripCount = 1;
    }
    TLockedSurface back, z;
    if (!g_pDDSBack->Lock(nullptr, back))
        return;
    if (!g_pZBuffer->Lock(nullptr, z)) {
        g_pDDSBack->Unlock();
        return;
    }
    // Pictures and depths are clipped to the locked surfaces too, whatever the screen size says.
    const plat::Rect screen{0, 0, std::min(W, std::min(back.width, z.width)), std::min(H, std::min(back.height, z.height))};
    THouseMapFields fields;
    for (const TVisibleHouse& visible : g_VisibleHouses) {
        THouse& h = *visible.house;
        const THouseType& type = *h.TypeRecord;
        const std::uint16_t kind = h.HouseType;
        std::int32_t o = 0;
        if ((kind == 0 || kind == 1) && h.Owner == HOUSE_NO_OWNER)
            o = 55;
        else if (kind == HOUSE_PORT)
            o = 90;
        else
            o = (CellPointInMap({h.X, h.Y}) ? GetHeightFromMap(plat::Point{h.X, h.Y}) : 0) + 1;
        const std::int32_t cornerX = (2 * h.X - ((h.Y & 1) ? 0 : 1)) * 48 - g_ViewPixelX;
        const std::int32_t cornerY = h.Y * 24 - g_ViewPixelY - 24;
        const std::int32_t left = cornerX - (type.m_AnchorX - 48);
        const std::int32_t top = cornerY - (type.m_AnchorY + o - (kind == HOUSE_PORT ? 83 : 48));
        THousePictures p;
        if (!TakeHousePictures(h, p))
            continue;
        const std::int32_t base = g_ViewDepthBase + 2 * o + 1024;
        if (visible.redraw) {
            GetHouseMapFields(&h, fields);
            for (int s = 0; s < shift.stripCount; ++s) {
                plat::Rect clip = shift.strips[s];
                clip.left = std::max(clip.left, screen.left);
                clip.top = std::max(clip.top, screen.top);
                clip.right = std::min(clip.right, screen.right);
                clip.bottom = std::min(clip.bottom, screen.bottom);
                const plat::Rect picture{left, top, left + p.picture->Width(), top + p.picture->Rows()};
                if (clip.Empty() || picture.right <= clip.left || picture.left >= clip.right
                    || picture.bottom <= clip.top || picture.top >= clip.bottom)
                    continue;
                WriteHouseDepths(p, type, left, top, base, clip, z);
                p.picture->DrawToSurface(left, top, &back, &clip);
                if (h.Owner != HOUSE_NO_OWNER && fields.secondState == 0 && g_bShowHouseBars && g_pWhiteTexture)
                    AddBarSegment(&h, left, top, *p.picture);
                if (p.mask && h.Owner < PLAYER_COLORS) {
                    const_cast<cIMg*>(p.mask)->maskColor = g_PlayerColors16[h.Owner];
                    p.mask->DrawToSurfaceMasked(left, top, &back, &clip);
                }
            }
        }
        if (h.BuildWork == 0 && h.PhaseState == HOUSE_STATE_FINISHED && type.m_AnimationCount > 0)
            AddHouseAnimations(h, p, left, top, o);
    }
    g_pZBuffer->Unlock();
    g_pDDSBack->Unlock();
}

void RenderMapView(std::uint8_t direction)
{
    if (direction > 8)
        return;
    if (std::abs(g_ViewDepthBase) > 1023 || g_bRadeon)
        direction = 0;
    const std::int32_t W = g_ScreenWidth, H = g_ScreenHeight;
    TLayerShift shift;
    const bool shifted = StaticLayerShift(direction, W, H, shift);
    if (!shifted) {
        g_ViewDepthBase = 0;
        g_HouseBarSegments.rects.clear();
        g_HouseBarSegments.houses.clear();
        ClearDepth(nullptr, 0);
    } else {
        BltDepthSelf(g_pZBuffer, shift.source, shift.x, shift.y);
        ClearDepth(shift.strips, static_cast<std::uint32_t>(shift.stripCount));
    }
    if (g_bWireframe && g_pD3DDevice)
        g_pD3DDevice->Clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF000000u, kZFar, 0);
    FreeMapAnimList(g_MapAnimList);
    PrepareLandscape(direction);
    if (!g_VisibleHouses.empty())
        RenderHouses(direction);
    if (g_pD3DDevice) {
        // A scroll step keeps everything but its strips, which the kept picture covers again below:
        // the device draws only inside the strips' bounds.
        const TViewport whole = g_pD3DDevice->Viewport();
        if (shifted)
            g_pD3DDevice->SetViewport(StripBounds(shift, whole));
        g_pD3DDevice->BeginScene();
        SetState(D3DState::ZEnable, kTrue);
        SetState(D3DState::ZWriteEnable, kTrue);
        SetState(D3DState::AlphaBlendEnable, kFalse);
        if (g_pWater)
            g_pWater->BuildWaterFromMap(direction);
        if (g_bWireframe)
            SetState(D3DState::FillMode, kFillWireframe);
        DrawTiles();
        if (g_bWireframe)
            SetState(D3DState::FillMode, kFillSolid);
        SetState(D3DState::AlphaBlendEnable, kTrue);
        SetState(D3DState::ZWriteEnable, kFalse);
        DrawLandOverlays();
        const TMapDrawServices& s = MapDrawServices();
        if (g_bTrench && s.DrawTrenches)
            s.DrawTrenches();
        SetState(D3DState::ZWriteEnable, kTrue);
        DrawBlocks();
        if (s.DrawTrenchPontoons)
            s.DrawTrenchPontoons();
        DrawObjectList(OBJ_TREES, g_Landscape.trees, "TreesTextures[i] >= g_ObjCount[OBJ_TREES]");
        DrawObjectList(OBJ_STONES, g_Landscape.stones, "SonesTextures[i] >= g_ObjCount[OBJ_TREES]");
        DrawObjectList(OBJ_MISC, g_Landscape.misc, "MiscTextures[i] >= g_ObjCount[OBJ_TREES]");
        for (const TVisibleHouse& v : g_VisibleHouses)
            if (!IsReflectedKind(v.house->HouseType)) {
                TScreenQuad quad = g_SpriteQuadTemplate;
                v.house->Draw(quad.data());
            }
        SetState(D3DState::AlphaBlendEnable, kFalse);
        SetState(D3DState::ZEnable, kFalse);
        SetState(D3DState::ZBias, 0);
        g_pD3DDevice->EndScene();
        g_pD3DDevice->SetViewport(whole);
    }
    if (g_pDDSBack && g_pDDSBuffer) {
        if (shifted)
            g_pDDSBack->BltFast(shift.x, shift.y, *g_pDDSBuffer, &shift.source, false);
        g_pDDSBuffer->BltFast(0, 0, *g_pDDSBack, nullptr, false);
    }
    g_bStaticLayerFresh = 1;
}
