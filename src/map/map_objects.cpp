#include "map/map_objects.h"

#include <bit>
#include <cstring>

#include "map/map_grid.h"
#include "map/site_queries.h"

#include <mutex>

#include "core/app_state.h"
#include "core/archive.h"
#include "core/error_log.h"
#include "core/memory_stream.h"
#include "devices/cursor_state.h"
#include "devices/d3d_device.h"
#include "devices/quads.h"
#include "map/map_file.h"
#include "map/map_view.h"
#include "platform/bytes.h"
#include "platform/texture.h"
#include "players/strateg.h"

std::uint16_t g_ObjCount[OBJ_KINDS] = {};
std::vector<TMapObjectRecord> g_ObjRecords[OBJ_KINDS];
std::uint8_t g_ObjTextureCount[OBJ_KINDS] = {};
std::vector<plat::Texture*> g_ObjTextures[OBJ_KINDS];
plat::Texture* g_pPlacementTexture = nullptr;
std::uint8_t g_PlacementAlpha = 150;
std::int8_t g_PlacementAlphaStep = 1;

TMapObjectRecord ReadMapObjectRecord(const std::uint8_t* r)
{
    TMapObjectRecord o;
    std::memcpy(o.raw, r, MAP_OBJECT_RECORD_SIZE);
    o.classByte = r[0];
    o.shadowTexture = r[1];
    o.shadowWidth = r[2];
    o.shadowHeight = r[3];
    o.shadowU0 = plat::ReadF32LE(r + 4);
    o.shadowU1 = plat::ReadF32LE(r + 8);
    o.shadowV0 = plat::ReadF32LE(r + 12);
    o.shadowV1 = plat::ReadF32LE(r + 16);
    o.listWidth = r[20];
    o.listHeight = r[21];
    o.shadowX = plat::ReadI16LE(r + 22);
    o.shadowY = plat::ReadI16LE(r + 24);
    o.texture = r[28];
    o.u0 = plat::ReadF32LE(r + 32);
    o.u1 = plat::ReadF32LE(r + 36);
    o.v0 = plat::ReadF32LE(r + 40);
    o.v1 = plat::ReadF32LE(r + 44);
    o.width = r[48];
    o.height = r[49];
    o.xOffset = plat::ReadI16LE(r + 50);
    o.yOffset = plat::ReadI16LE(r + 52);
    return o;
}

void WriteMapObjectRecord(std::uint8_t* r, const TMapObjectRecord& o)
{
    std::memcpy(r, o.raw, MAP_OBJECT_RECORD_SIZE);
    auto f32 = [](std::uint8_t* p, float v) { plat::WriteU32LE(p, std::bit_cast<std::uint32_t>(v)); };
    r[0] = o.classByte;
    r[1] = o.shadowTexture;
    r[2] = o.shadowWidth;
    r[3] = o.shadowHeight;
    f32(r + 4, o.shadowU0);
    f32(r + 8, o.shadowU1);
    f32(r + 12, o.shadowV0);
    f32(r + 16, o.shadowV1);
    r[20] = o.listWidth;
    r[21] = o.listHeight;
    plat::WriteU16LE(r + 22, static_cast<std::uint16_t>(o.shadowX));
    plat::WriteU16LE(r + 24, static_cast<std::uint16_t>(o.shadowY));
    r[28] = o.texture;
    f32(r + 32, o.u0);
    f32(r + 36, o.u1);
    f32(r + 40, o.v0);
    f32(r + 44, o.v1);
    r[48] = o.width;
    r[49] = o.height;
    plat::WriteU16LE(r + 50, static_cast<std::uint16_t>(o.xOffset));
    plat::WriteU16LE(r + 52, static_cast<std::uint16_t>(o.yOffset));
}

bool ParseObjectBlock(std::span<const std::uint8_t> entry, std::vector<TMapObjectRecord>& records,
                      std::uint8_t& textureCount, std::span<const std::uint8_t>& texturePixels)
{
    records.clear();
    textureCount = 0;
    if (entry.size() < 2) {
        ReportError("LoadObjectBlock: entry too short");
        return false;
    }
    const std::size_t count = plat::ReadU16LE(entry.data());
    const std::size_t recordsEnd = 2 + count * MAP_OBJECT_RECORD_SIZE;
    if (recordsEnd + 1 > entry.size()) {
        ReportError("LoadObjectBlock: records do not fit the entry");
        return false;
    }
    textureCount = entry[recordsEnd];
    const std::size_t textureBytes = std::size_t{textureCount} * MAP_OBJECT_TEXTURE_BYTES;
    if (recordsEnd + 1 + textureBytes > entry.size()) {
        ReportError("LoadObjectBlock: textures do not fit the entry");
        textureCount = 0;
        return false;
    }
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        records.push_back(ReadMapObjectRecord(entry.data() + 2 + i * MAP_OBJECT_RECORD_SIZE));
    texturePixels = entry.subspan(recordsEnd + 1, textureBytes);
    return true;
}

bool LoadObjectBlock(int kind)
{
    std::uint32_t size = 0;
    std::uint8_t* entry = LoadLesEntry(LES_SLOT_OBJECTS, nullptr, static_cast<std::uint16_t>(kind), &size);
    if (!entry)
        return false;
    std::vector<TMapObjectRecord> records;
    std::uint8_t textures = 0;
    std::span<const std::uint8_t> pixels;
    const bool ok = ParseObjectBlock({entry, size}, records, textures, pixels);
    if (ok) {
        g_ObjCount[kind] = static_cast<std::uint16_t>(records.size());
        g_ObjRecords[kind] = std::move(records);
        g_ObjTextureCount[kind] = textures;
        for (int t = 0; t < textures; ++t) {
            plat::Texture* tex = CreateTexture(MAP_OBJECT_TEXTURE_SIDE, MAP_OBJECT_TEXTURE_SIDE, g_TexFormat4444);
            g_ObjTextures[kind].push_back(tex);
            plat::TextureLock lock;
            if (!tex || !tex->Lock(lock))
                continue;
            // Rows are copied one by one: the texture's pitch need not be 512 bytes.
            const std::uint8_t* src = pixels.data() + std::size_t{static_cast<unsigned>(t)} * MAP_OBJECT_TEXTURE_BYTES;
            for (int y = 0; y < MAP_OBJECT_TEXTURE_SIDE; ++y)
                std::memcpy(lock.bits + static_cast<std::ptrdiff_t>(y) * lock.pitch, src + y * MAP_OBJECT_TEXTURE_SIDE * 2,
                            MAP_OBJECT_TEXTURE_SIDE * 2);
            tex->Unlock();
        }
    }
    FreeLesEntry(entry);
    return ok;
}

bool LoadObjects()
{
    FreeObjects();
    if (!Load_LesHeader(LES_SLOT_OBJECTS, LES_PATH_OBJECTS)) {
        ReportError("Load_LesHeader() FAILED");
        return false;
    }
    for (int kind = 0; kind < OBJ_KINDS; ++kind) {
        if (!LoadObjectBlock(kind)) {
            ReportError("LoadObjects() FAILED");
            // Left open, the slot would refuse every later load.
            CloseLes(LES_SLOT_OBJECTS);
            return false;
        }
    }
    CloseLes(LES_SLOT_OBJECTS);
    return true;
}

void FreeObjects()
{
    for (int k = 0; k < OBJ_KINDS; ++k) {
        for (plat::Texture* t : g_ObjTextures[k])
            if (t)
                t->Release();
        g_ObjTextures[k].clear();
        g_ObjRecords[k].clear();
        g_ObjCount[k] = 0;
        g_ObjTextureCount[k] = 0;
    }
    if (g_pPlacementTexture) {
        g_pPlacementTexture->Release();
        g_pPlacementTexture = nullptr;
    }
}

std::uint8_t StepPlacementPulse()
{
    if (g_PlacementAlpha >= 200)
        g_PlacementAlphaStep = -1;
    if (g_PlacementAlpha <= 100)
        g_PlacementAlphaStep = 1;
    g_PlacementAlpha = static_cast<std::uint8_t>(g_PlacementAlpha + 5 * g_PlacementAlphaStep);
    return g_PlacementAlpha;
}

namespace {

// Neighbour steps of the staggered grid: north-east, south-east, south-west, north-west.
TCellXY Step(TCellXY c, int dir)
{
    const bool odd = (c.y & 1) != 0;
    switch (dir) {
    case 1: return {c.x + (odd ? 1 : 0), c.y - 1};
    case 2: return {c.x + (odd ? 1 : 0), c.y + 1};
    case 3: return {c.x - (odd ? 0 : 1), c.y + 1};
    default: return {c.x - (odd ? 0 : 1), c.y - 1};
    }
}

} // namespace

std::vector<TCellXY> WorkRingCells(TCellXY cursor, std::uint8_t footprintW, std::uint8_t footprintD)
{
    const int w = footprintW + 6;
    const int d = footprintD + 6;
    TCellXY c{cursor.x, cursor.y + 6};
    for (int i = 0; i < d - 1; ++i)
        c = Step(c, 4);
    for (int i = 0; i < w; ++i)
        c = Step(c, 1);
    c = Step(c, 3);
    std::vector<TCellXY> out;
    out.reserve(static_cast<std::size_t>(w) * d);
    TCellXY rowStart = c;
    for (int r = 0; r < d; ++r) {
        TCellXY cell = rowStart;
        for (int i = 0; i < w; ++i) {
            out.push_back(cell);
            cell = Step(cell, 3);
        }
        rowStart = Step(rowStart, 2);
    }
    return out;
}

TPlacementServices& PlacementServices()
{
    static TPlacementServices services = DefaultPlacementServices();
    return services;
}

std::int16_t g_PlacementDrawnType = -1;

std::uint32_t PlacementColour(std::uint8_t alpha, bool allowed)
{
    return (static_cast<std::uint32_t>(alpha) << 24) | (allowed ? 0xFFFFFFu : 0xFF0000u);
}

TScreenXY PlacementGhostCorner(TCellXY cursor, std::int16_t xOffset, std::int16_t yOffset, std::int32_t cellHeight)
{
    const std::int32_t evenShift = (cursor.y & 1) == 0 ? 48 : 0;
    const std::int32_t x = (cursor.x - g_ViewX) * 96 - evenShift - (xOffset - 48);
    const std::int32_t y = (cursor.y - g_ViewY - 1) * 24 - (yOffset + cellHeight - 48);
    return {static_cast<float>(x), static_cast<float>(y)};
}

int RingNationGroup(int nation)
{
    if (nation == 1)
        return 1;
    return nation == 3 || nation == 4 ? 2 : 0;
}

namespace {

constexpr int kLoadingPolls = 5;
constexpr std::uint32_t kLoadingPollMs = 100;

void SetRenderState(D3DState state, std::uint32_t value)
{
    if (g_pD3DDevice)
        g_pD3DDevice->SetRenderState(state, value);
}

void ReleasePlacementTexture()
{
    if (g_pPlacementTexture) {
        g_pPlacementTexture->Release();
        g_pPlacementTexture = nullptr;
    }
}

// Cells the ring leaves out: buildings, the aprons and fields already laid, and resource sites.
bool RingSkipsCode(std::uint16_t code)
{
    return (code >= kObjectPlayerHouseFirst && code <= kObjectPlayerHouseLast) || code == kObjectInfantryBlock
        || code == kObjectAirfield
        || (code >= 9601 && code <= 9603);
}

void DrawWorkRing(TPlacementServices& s, TCellXY cursor, const TPlacementGeometry& g, int nation)
{
    if (!s.DrawRingCell)
        return;
    const int group = RingNationGroup(nation);
    for (const TCellXY& c : WorkRingCells(cursor, g.footprintW, g.footprintD)) {
        const plat::Point cell{c.x, c.y};
        if (!CellPointInMap(cell) || c.x < g_ViewX || c.x >= g_ViewX + g_ViewCols || c.y < g_ViewY
            || c.y >= g_ViewY + g_ViewRows)
            continue;
        if ((s.IsOnWater && s.IsOnWater(c)) || RingSkipsCode(GetObjectFromMap(cell)))
            continue;
        const plat::Point at = GetCoordsUseTile(cell);
        s.DrawRingCell(group, static_cast<float>(at.x + 66 - g_ViewPixelX), static_cast<float>(at.y + 24 - g_ViewPixelY));
    }
}

// The ghost texture of the type: false while its graphic is not there yet (its load was asked
// for, or the loader is still on it after the short wait), or when no texture could be made.
bool EnsurePlacementTexture(TPlacementServices& s, std::int16_t what, std::uint8_t nation)
{
    if (g_pPlacementTexture)
        return true;
    int state = s.PhaseGraphicState(what, nation);
    if (state == 0)
        return false;
    for (int i = 0; i < kLoadingPolls && state == 2; ++i) {
        if (s.Sleep)
            s.Sleep(kLoadingPollMs);
        state = s.PhaseGraphicState(what, nation);
    }
    if (state == 0 || state == 2)
        return false;
    g_pPlacementTexture = s.MakePlacementTexture(what, nation);
    return g_pPlacementTexture != nullptr;
}

} // namespace

namespace {

void DrawTintedQuad(plat::Texture* texture, float x, float y, float width, float height, std::uint32_t colour)
{
    if (!g_pD3DDevice || !texture)
        return;
    TScreenQuad q = g_SpriteQuadTemplate;
    const float xs[4] = {x, x + width, x, x + width};
    const float ys[4] = {y, y, y + height, y + height};
    for (int k = 0; k < 4; ++k) {
        q[k].x = xs[k];
        q[k].y = ys[k];
        q[k].z = 0.0f;
        q[k].diffuse = colour;
    }
    TD3DDevice& d = *g_pD3DDevice;
    const std::uint32_t colorKey = d.GetRenderState(D3DState::ColorKeyEnable);
    const std::uint32_t alphaOp = d.GetTextureStageState(D3DStageState::AlphaOp);
    const std::uint32_t alphaArg2 = d.GetTextureStageState(D3DStageState::AlphaArg2);
    d.SetRenderState(D3DState::ColorKeyEnable, 1);
    d.SetTextureStageState(0, D3DStageState::AlphaOp, static_cast<std::uint32_t>(plat::TextureOp::Modulate));
    d.SetTextureStageState(0, D3DStageState::AlphaArg2, static_cast<std::uint32_t>(plat::TextureArg::Current));
    d.SetTexture(0, texture);
    d.DrawPrimitive(plat::PrimitiveType::TriangleStrip, q.data(), 4, kDrawWait);
    d.SetTexture(0, nullptr);
    d.SetTextureStageState(0, D3DStageState::AlphaArg2, alphaArg2);
    d.SetTextureStageState(0, D3DStageState::AlphaOp, alphaOp);
    d.SetRenderState(D3DState::ColorKeyEnable, colorKey);
}

} // namespace

void DrawPlacementGhost(plat::Texture* texture, float x, float y, float width, float height, std::uint32_t colour)
{
    DrawTintedQuad(texture, x, y, width, height, colour);
}

void DrawPlacementRingCell(int, float x, float y)
{
    constexpr std::uint32_t kRingColour = 0x6040FF40u;
    DrawTintedQuad(g_pWhiteTexture, x - 24.0f, y - 12.0f, 48.0f, 24.0f, kRingColour);
}

void EndPlacementPreview()
{
    if (g_PlacementDrawnType == -1)
        return;
    g_PlacementDrawnType = -1;
    ReleasePlacementTexture();
    g_bMapViewDirty = 1;
}

bool DrawObjects(std::int16_t what, std::uint8_t nation)
{
    TPlacementServices& s = PlacementServices();
    SetRenderState(D3DState::AlphaBlendEnable, 1);
    if (what == -3 || what == -2) {
        // A building chosen before gives back its ghost and its tint of the view.
        EndPlacementPreview();
        if (!s.HasLineStart(MyPlayer))
            return false;
        if (what == -2 && g_pD3DDevice) {
            g_pD3DDevice->BeginScene();
            SetRenderState(D3DState::ZWriteEnable, 0);
            s.DrawTrenchPathPreview(MyPlayer);
            SetRenderState(D3DState::ZWriteEnable, 1);
            g_pD3DDevice->EndScene();
        }
        return true;
    }
    if (what != g_PlacementDrawnType) {
        // Another building: its own ghost, and the view's tint of the cells it may stand on.
        ReleasePlacementTexture();
        g_PlacementDrawnType = what;
        g_bMapViewDirty = 1;
    }
    TPlacementGeometry geometry;
    if (!s.Geometry || !s.Geometry(what, nation, geometry))
        return false;
    if (!EnsurePlacementTexture(s, what, nation))
        return false;
    const std::uint8_t alpha = StepPlacementPulse();
    TCellXY cursor;
    {
        std::lock_guard lock(g_InputLock);
        cursor = {g_CursorCellX, g_CursorCellY};
    }
    bool allowed = s.CanBuildHouseAt && s.CanBuildHouseAt(MyPlayer, cursor, what, nation);
    if (allowed && !g_bEditorMode)
        allowed = s.CanAffordHouse && s.CanAffordHouse(MyPlayer, what);
    if (g_pD3DDevice)
        g_pD3DDevice->BeginScene();
    SetRenderState(D3DState::ZEnable, 0);
    if (what == PLACEMENT_RING_TYPE)
        DrawWorkRing(s, cursor, geometry, nation);
    const plat::Point cell{cursor.x, cursor.y};
    const std::int32_t height = CellPointInMap(cell) ? GetHeightFromMap(cell) : 0;
    const TScreenXY corner = PlacementGhostCorner(cursor, geometry.xOffset, geometry.yOffset, height);
    if (s.DrawGhost)
        s.DrawGhost(g_pPlacementTexture, corner.x, corner.y, static_cast<float>(g_pPlacementTexture->Width()),
                    static_cast<float>(g_pPlacementTexture->Height()), PlacementColour(alpha, allowed));
    // The map scene of the next frame tests depths again.
    SetRenderState(D3DState::ZEnable, 1);
    SetRenderState(D3DState::AlphaBlendEnable, 0);
    if (g_pD3DDevice)
        g_pD3DDevice->EndScene();
    return true;
}

std::uint8_t GetMapObjectClass(std::uint16_t code)
{
    struct Range {
        std::uint16_t first;
        std::uint16_t last;
        int kind;
    };
    static constexpr Range kRanges[] = {{kObjectTreeFirst, kObjectTreeLast, OBJ_TREES},
                                        {kObjectStoneFirst, kObjectStoneLast, OBJ_STONES},
                                        {kObjectMiscFirst, kObjectMiscLast, OBJ_MISC}};
    for (const Range& r : kRanges) {
        if (code < r.first || code > r.last)
            continue;
        const std::size_t index = code - r.first;
        return index < g_ObjRecords[r.kind].size() ? g_ObjRecords[r.kind][index].classByte : 0;
    }
    return 0;
}
