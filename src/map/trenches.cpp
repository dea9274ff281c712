#include "map/trenches.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>

#include "core/archive.h"
#include "core/error_log.h"
#include "core/memory_stream.h"
#include "devices/cursor_state.h"
#include "devices/mouse.h"
#include "devices/d3d_device.h"
#include "devices/quads.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/ship_grid.h"
#include "map/water.h"
#include "movement/passability.h"
#include "players/resources.h"

TTrenchList g_TrenchList;

namespace {

constexpr std::uint32_t kCmpGreater = 5;
// A ship kind above 1 needs truly free water, the test that tells open water from a bank.
constexpr std::uint8_t kLargeShipKind = 2;

bool TileOnWater(std::int32_t x, std::int32_t y)
{
    return g_pWater != nullptr && g_pWater->IsTileOnWater(x, y);
}

bool IsHouseCode(std::uint16_t code)
{
    return code >= kObjectNeutralHouseFirst && code <= kObjectPlayerHouseLast;
}

bool IsEntryCode(std::uint16_t code)
{
    return code >= kObjectTrenchListFirst && code <= kObjectTrenchListLast;
}

std::uint16_t EntryCode(std::uint32_t index)
{
    return static_cast<std::uint16_t>(kObjectTrenchListFirst + index);
}

bool EvenRow(std::int32_t y)
{
    return (y & 1) == 0;
}

} // namespace

TTrenchServices DefaultTrenchServices()
{
    TTrenchServices s;
    s.PlayerWood = GetPlayerWood;
    s.CanAffordTrench = CanAffordTrench;
    s.MakePartOfBasicMap = MakePartOfBasicMap;
    return s;
}

TTrenchServices& TrenchServices()
{
    static TTrenchServices services = DefaultTrenchServices();
    return services;
}

plat::Point TrenchTilePixel(const plat::Point& tile)
{
    return {(2 * tile.x - (EvenRow(tile.y) ? 1 : 0)) * 48, tile.y * 24};
}

std::uint8_t LineStep(plat::Point& pos, const plat::Point& target)
{
    std::uint8_t dir = 0;
    if (pos.x == target.x && pos.y == target.y)
        return 0;
    if (pos.x == target.x) {
        const std::int32_t rows = std::abs(target.y - pos.y);
        if (target.y > pos.y)
            dir = rows == 1 ? (EvenRow(pos.y) ? 2 : 3) : 3;
        else
            dir = rows == 1 ? (EvenRow(pos.y) ? 1 : 4) : 4;
    } else if (pos.y == target.y) {
        dir = target.x < pos.x ? 4 : 1;
    } else if (target.x > pos.x) {
        dir = target.y < pos.y ? 1 : 2;
    } else {
        dir = target.y < pos.y ? 4 : 3;
    }
    pos = GetNeighbourPoint(pos, dir);
    return dir;
}

std::vector<TTrenchLineTile> TrenchLineWalk(const plat::Point& from, const plat::Point& to)
{
    std::vector<TTrenchLineTile> tiles;
    plat::Point pos = from;
    tiles.push_back({pos, 0});
    while (static_cast<int>(tiles.size()) < kTrenchWalkMaxTiles) {
        const std::uint8_t dir = LineStep(pos, to);
        if (dir == 0)
            break;
        tiles.back().direction = dir;
        tiles.push_back({pos, dir});
    }
    return tiles;
}

std::uint8_t PontoonKindForDirection(std::uint8_t direction)
{
    return direction == 2 || direction == 4 ? kPontoonKindFalling : kPontoonKindRising;
}

TTrenchList::TTrenchList()
{
    Clear();
}

TTrenchList::~TTrenchList()
{
    FreeTrenchGraphics();
}

void TTrenchList::Clear()
{
    m_Entries.assign(kTrenchListGrowth, TTrenchEntry{});
    m_Capacity = kTrenchListGrowth;
    m_Count = 0;
}

TTrenchEntry* TTrenchList::Entry(std::uint16_t index)
{
    return index < m_Count ? &m_Entries[index] : nullptr;
}

const TTrenchEntry* TTrenchList::Entry(std::uint16_t index) const
{
    return index < m_Count ? &m_Entries[index] : nullptr;
}

TTrenchEntry* TTrenchList::EntryForCode(std::uint16_t code)
{
    return IsEntryCode(code) ? Entry(static_cast<std::uint16_t>(code - kObjectTrenchListFirst)) : nullptr;
}

const TTrenchEntry* TTrenchList::EntryForCode(std::uint16_t code) const
{
    return IsEntryCode(code) ? Entry(static_cast<std::uint16_t>(code - kObjectTrenchListFirst)) : nullptr;
}

bool TTrenchList::CanPlaceTrench(std::uint8_t kind, std::int32_t x, std::int32_t y) const
{
    if (x < 4 || x >= g_MapWidth - 3 || y < 10 || y >= g_MapHeight - 9)
        return false;
    if (g_pWater && g_pWater->m_pShipGrid) {
        const plat::Point px = TrenchTilePixel({x, y});
        if (g_pWater->m_pShipGrid->IsPixelFreeForShip(kLargeShipKind, static_cast<float>(px.x + 48),
                                                       static_cast<float>(px.y)))
            return false;
    }
    const plat::Point tile{x, y};
    if (IsEntryCode(GetObjectFromMap(tile)))
        return false;
    for (std::uint8_t dir = 0; dir <= 7; ++dir) {
        const plat::Point n = GetNeighbourPoint(tile, dir);
        if (CellPointInMap(n) && IsHouseCode(GetObjectFromMap(n)))
            return false;
    }
    if (!TileOnWater(x, y) && !TileOnWater(x, y - 2)) {
        for (std::uint8_t dir = 0; dir < kDirectionCount; ++dir) {
            const plat::Point n = GetNeighbourPoint(tile, dir);
            if (TileOnWater(n.x, n.y))
                return true;
        }
        return false;
    }
    return kind == kPontoonKindRising || kind == kPontoonKindFalling;
}

TTrenchEntry* TTrenchList::AddTrenchEntry(std::uint8_t kind, std::int32_t x, std::int32_t y)
{
    if (!CanPlaceTrench(kind, x, y))
        return nullptr;
    // A further entry's code would run into the trench pieces' codes.
    if (m_Count >= kTrenchListMaxEntries)
        return nullptr;
    if (m_Count >= m_Capacity) {
        m_Capacity = static_cast<std::uint16_t>(m_Capacity + kTrenchListGrowth);
        m_Entries.resize(m_Capacity, TTrenchEntry{});
    }
    const plat::Point tile{x, y};
    SetObjectMap(tile, EntryCode(m_Count));
    TTrenchEntry& e = m_Entries[m_Count];
    e.x = static_cast<std::uint16_t>(x);
    e.y = static_cast<std::uint16_t>(y);
    e.kind = kind;
    e.active = 1;
    e.countdown = kTrenchNewCountdown;
    e.strength = kTrenchNewStrength;
    if (IsPointNearScreen(tile))
        g_bMapViewDirty = 1;
    ++m_Count;
    TrenchServices().MakePartOfBasicMap(tile, 2);
    return &e;
}

bool TTrenchList::IsTrenchObjectCode(std::uint16_t code) const
{
    const TTrenchEntry* e = EntryForCode(code);
    return e != nullptr && (e->kind == kPontoonKindRising || e->kind == kPontoonKindFalling);
}

bool TTrenchList::IsPointNearScreen(const plat::Point& tile)
{
    return tile.y + 3 >= g_ViewY && tile.y - 3 <= g_ViewY + g_ViewRows + 2 && tile.x + 2 >= g_ViewX - 1
        && tile.x - 2 <= g_ViewX + g_ViewCols;
}

void TTrenchList::DigTrenchLine(std::uint8_t player, float pixelX, float pixelY, std::int32_t startX,
                                std::int32_t startY)
{
    TTrenchServices& s = TrenchServices();
    plat::Point target;
    GetCellFromPoint(pixelX, pixelY, target);
    for (const TTrenchLineTile& t : TrenchLineWalk(target, {startX, startY})) {
        const std::uint8_t kind = PontoonKindForDirection(t.direction);
        if (!CanPlaceTrench(kind, t.tile.x, t.tile.y) || !s.CanAffordTrench(player))
            continue;
        // The wood is taken only for a piece the list took, so a full list costs nothing.
        if (!AddTrenchEntry(kind, t.tile.x, t.tile.y))
            continue;
        if (TResourcePair* wood = s.PlayerWood(player)) {
            wood->recorded -= kTrenchPieceWood;
            wood->spendable = std::max(0.0, wood->spendable - kTrenchPieceWood);
        }
    }
}

void TTrenchList::PlaceTrenchPath(std::uint8_t player, float pixelX, float pixelY, const plat::Point& start)
{
    TTrenchServices& s = TrenchServices();
    TResourcePair* wood = s.PlayerWood(player);
    if (!wood)
        return;
    const double saved = wood->spendable;
    const bool haveGraphics = EnsureGraphics();
    plat::Point target;
    GetCellFromPoint(pixelX, pixelY, target);
    for (const TTrenchLineTile& t : TrenchLineWalk(target, start)) {
        const std::uint8_t kind = PontoonKindForDirection(t.direction);
        // The preview counts the wood exactly as the dig pays it, so it shows the pieces the dig
        // will lay.
        if (!CanPlaceTrench(kind, t.tile.x, t.tile.y) || !s.CanAffordTrench(player))
            continue;
        wood->spendable -= kTrenchPieceWood;
        if (haveGraphics && IsPointNearScreen(t.tile)) {
            TTrenchEntry ghost;
            ghost.x = static_cast<std::uint16_t>(t.tile.x);
            ghost.y = static_cast<std::uint16_t>(t.tile.y);
            ghost.kind = kind;
            DrawPontoon(ghost, m_Graphics.main[kind]);
        }
    }
    wood->spendable = saved;
}

std::vector<TTrenchList::TPlannedPiece> TTrenchList::PlanTrenchPath(const plat::Point& s, const plat::Point& e)
{
    struct TPattern {
        std::uint8_t kinds[4];
        std::uint8_t steps[4];
    };
    static constexpr TPattern kRight{{1, 3, 2, 4}, {2, 7, 1, 7}};
    static constexpr TPattern kLeft{{1, 4, 2, 3}, {8, 3, 8, 4}};
    static constexpr TPattern kUp{{2, 6, 1, 5}, {5, 5, 4, 1}};
    static constexpr TPattern kDown{{2, 5, 1, 6}, {3, 2, 6, 6}};

    const std::int32_t dx = std::abs(e.x - s.x);
    const std::int32_t dy = std::abs(e.y - s.y);
    std::vector<TPlannedPiece> pieces;
    plat::Point cur = s;
    auto runPattern = [&](const TPattern& p, std::int32_t repeats, std::uint8_t lastKind) {
        // Every repeat lays four pieces; the walk's step list bounds the line.
        repeats = std::min(repeats, (kTrenchWalkMaxTiles - 1) / 4);
        for (std::int32_t r = 0; r < repeats; ++r)
            for (int i = 0; i < 4; ++i) {
                pieces.push_back({p.kinds[i], cur});
                cur = GetNeighbourPoint(cur, p.steps[i]);
            }
        pieces.push_back({lastKind, cur});
    };
    if (dy < 3 && dx > 2) {
        runPattern(s.x < e.x ? kRight : kLeft, (2 * dx) / 5, 1);
    } else if (dx < 3 && dy > 4) {
        runPattern(s.y >= e.y ? kUp : kDown, dy / 5, 2);
    } else {
        std::uint8_t dir = 0;
        if (s.x < e.x)
            dir = s.y >= e.y ? 1 : 2;
        else
            dir = s.y < e.y ? 3 : 4;
        const std::uint8_t kind = dir == 1 || dir == 3 ? 2 : 1;
        pieces.push_back({kind, cur});
        while (static_cast<int>(pieces.size()) < kTrenchDiagonalMaxPieces && cur.x != e.x && cur.y != e.y) {
            cur = GetNeighbourPoint(cur, dir);
            pieces.push_back({kind, cur});
        }
    }

    // A cap closes each end on the side away from its neighbour along the line: per end kind (1,
    // 2), two rules {neighbour kinds, neighbour's side, cap kind, the cap's direction from the end}.
    struct TCapRule {
        std::uint8_t kinds[2];
        std::uint8_t side;
        std::uint8_t cap;
        std::uint8_t capDir;
    };
    static constexpr TCapRule kCapRules[2][2] = {
        {{{5, 4}, 4, 8, 2}, {{6, 3}, 2, 7, 4}},
        {{{6, 4}, 1, 10, 3}, {{5, 3}, 3, 9, 1}},
    };
    auto cap = [](const TPlannedPiece& end, const TPlannedPiece& neighbour, bool atStart) -> TPlannedPiece {
        const TCapRule(&rules)[2] = kCapRules[end.kind == 1 ? 0 : 1];
        for (const TCapRule& r : rules) {
            const plat::Point side = GetNeighbourPoint(end.tile, r.side);
            if (neighbour.kind == r.kinds[0] || neighbour.kind == r.kinds[1]
                || (side.x == neighbour.tile.x && side.y == neighbour.tile.y))
                return {r.cap, GetNeighbourPoint(end.tile, r.capDir)};
        }
        // The neighbour on neither side: kind 1 starts with the first rule's cap and ends with the
        // second's, kind 2 the other way round.
        const bool first = (end.kind == 1) == atStart;
        const TCapRule& r = rules[first ? 0 : 1];
        return {r.cap, GetNeighbourPoint(end.tile, r.capDir)};
    };
    const std::size_t n = pieces.size();
    const TPlannedPiece startCap = cap(pieces[0], pieces[n > 1 ? 1 : 0], true);
    const TPlannedPiece endCap = cap(pieces[n - 1], pieces[n > 1 ? n - 2 : 0], false);
    pieces.insert(pieces.begin(), startCap);
    pieces.push_back(endCap);
    return pieces;
}

void TTrenchList::TrenchFindPath(const plat::Point& s, const plat::Point& e)
{
    for (const TPlannedPiece& p : PlanTrenchPath(s, e))
        AddTrenchEntry(p.kind, p.tile.x, p.tile.y);
}

int TTrenchList::TrenchPontoonStep(const plat::Point& tile, plat::Point* points, int max) const
{
    int count = 0;
    auto put = [&](std::int32_t x, std::int32_t y) {
        if (count < max)
            points[count++] = {x, y};
    };
    for (std::uint8_t dir = 0; dir < kDirectionCount && count < max; ++dir) {
        const plat::Point n = GetNeighbourPoint(tile, dir);
        const TTrenchEntry* e = EntryForCode(GetObjectFromMap(n));
        if (!e || e->kind < 1 || e->kind > 10)
            continue;
        const plat::Point p = TrenchTilePixel(n);
        const float px = static_cast<float>(p.x);
        const float py = static_cast<float>(p.y);
        switch (e->kind) {
        case 1:
        case 7:
        case 8:
        case 2:
        case 9:
        case 10: {
            const float slope = (e->kind == 1 || e->kind == 7 || e->kind == 8) ? 0.5f : -0.5f;
            for (int i = 0; i < 3; ++i) {
                const auto xi = static_cast<std::int32_t>(px + 2.0f + 14.666667f * static_cast<float>(i));
                const auto yi = static_cast<std::int32_t>(py + slope * (static_cast<float>(xi) - px - 2.0f));
                put(xi, yi);
            }
            break;
        }
        case 3:
            put(p.x, p.y - 1);
            break;
        case 4:
            put((p.y & 1) ? p.x + 1 : p.x, p.y + 1);
            break;
        case 5:
            put(p.x + 2, p.y);
            break;
        case 6:
            put(p.x - 1, p.y);
            break;
        default:
            break;
        }
    }
    return count;
}

void TTrenchList::TrenchWearDown(TTrenchEntry* entry, const plat::Point& tile, std::optional<float> attackerDamage)
{
    if (!entry)
        return;
    if (entry->countdown < 0.0f) {
        entry->strength -= attackerDamage.value_or(kTrenchDefaultWear);
        if (entry->strength > 0.0f)
            return;
    }
    entry->active = 0;
    if (IsEntryCode(GetObjectFromMap(tile)))
        SetObjectMap(tile, kObjectFree);
    TrenchServices().MakePartOfBasicMap(tile, 3);
}

void TTrenchList::DrawPontoon(const TTrenchEntry& entry, plat::Texture* texture)
{
    if (!texture)
        return;
    const plat::Point p = TrenchTilePixel({entry.x, entry.y});
    float x = static_cast<float>(p.x + 64);
    if (entry.kind == kPontoonKindFalling)
        x -= 31.0f;
    const TSpriteFrame frame{texture, kTrenchSpriteSide, kTrenchSpriteSide};
    DrawSpriteFrame(x, static_cast<float>(p.y - 68), frame, kTrenchSpriteHeight);
}

void TTrenchList::DrawTrenchPontoons()
{
    if (!g_pD3DDevice)
        return;
    g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 1);
    g_pD3DDevice->SetRenderState(D3DState::AlphaBlendEnable, 1);
    g_pD3DDevice->SetRenderState(D3DState::AlphaRef, 0);
    g_pD3DDevice->SetRenderState(D3DState::AlphaFunc, kCmpGreater);
    g_pD3DDevice->SetRenderState(D3DState::AlphaTestEnable, 1);
    for (std::uint16_t i = 0; i < m_Count; ++i) {
        const TTrenchEntry& e = m_Entries[i];
        if (!e.active || (e.kind != kPontoonKindRising && e.kind != kPontoonKindFalling)
            || !IsPointNearScreen({e.x, e.y}) || !EnsureGraphics())
            continue;
        plat::Texture* texture = e.countdown >= 0.0f
            ? (m_Graphics.frameCount[e.kind] ? m_Graphics.frames[e.kind][0] : nullptr)
            : m_Graphics.main[e.kind];
        DrawPontoon(e, texture);
    }
    g_pD3DDevice->SetRenderState(D3DState::AlphaTestEnable, 0);
    g_pD3DDevice->SetRenderState(D3DState::ZWriteEnable, 0);
}

bool TTrenchList::EnsureGraphics()
{
    if (!m_GraphicsTried) {
        m_GraphicsTried = true;
        m_GraphicsLoaded = LoadTrenchGraphics(kTrenchGraphicsPath);
    }
    return m_GraphicsLoaded;
}

namespace {

// Entry id of slot 310 as a texture: u16 width, u16 height, ARGB 4444 pixels. Null when the entry
// is missing or shorter than its sizes say.
plat::Texture* LoadTrenchPicture(std::uint16_t id)
{
    std::uint32_t size = 0;
    std::uint8_t* data = LoadLesEntry(LES_SLOT_TRENCHES, nullptr, id, &size);
    if (!data)
        return nullptr;
    plat::Texture* texture = nullptr;
    if (size >= 4) {
        const std::uint16_t w = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
        const std::uint16_t h = static_cast<std::uint16_t>(data[2] | (data[3] << 8));
        if (w && h && 4u + 2u * w * h <= size)
            texture = CreateTexture4444(data + 4, w, h);
        else
            ReportErrorInt("Trench picture sizes do not fit its entry: ", id);
    }
    FreeLesEntry(data);
    return texture;
}

} // namespace

bool TTrenchList::LoadTrenchGraphics(const char* path)
{
    FreeTrenchGraphics();
    if (!Load_LesHeader(LES_SLOT_TRENCHES, path)) {
        ReportError2("Cannot find trench file  ", path);
        return false;
    }
    for (int k = 0; k < kTrenchGraphicKinds; ++k) {
        const auto base = static_cast<std::uint16_t>(10 * k);
        m_Graphics.main[k] = LoadTrenchPicture(base);
        if (!m_Graphics.main[k])
            continue;
        for (int f = 0; f < kTrenchBuildFrames; ++f) {
            plat::Texture* t = LoadTrenchPicture(static_cast<std::uint16_t>(base + 1 + f));
            if (!t)
                break;
            m_Graphics.frames[k][f] = t;
            ++m_Graphics.frameCount[k];
        }
    }
    CloseLes(LES_SLOT_TRENCHES);
    m_GraphicsTried = true;
    m_GraphicsLoaded = true;
    return true;
}

void TTrenchList::FreeTrenchGraphics()
{
    for (int k = 0; k < kTrenchGraphicKinds; ++k) {
        if (m_Graphics.main[k])
            m_Graphics.main[k]->Release();
        for (plat::Texture* t : m_Graphics.frames[k])
            if (t)
                t->Release();
    }
    m_Graphics = TTrenchGraphics{};
    m_GraphicsTried = false;
    m_GraphicsLoaded = false;
}

namespace {

// The list's block as read, before anything of the game changes.
bool ParseTrenchBlock(TIfStreamMemory& in, std::uint16_t& capacity, std::uint16_t& count, std::vector<TTrenchEntry>& entries)
{
    if (!in.ReadU16(capacity) || !in.ReadU16(count)) {
        ReportError("Trench list block cut short");
        return false;
    }
    if (count > capacity || count > kTrenchListMaxEntries) {
        ReportErrorInt("Trench list block holds more entries than it may: ", count);
        return false;
    }
    if (static_cast<std::int64_t>(count) * kTrenchBlockEntryBytes > in.Remaining()) {
        ReportError("Trench list block cut short");
        return false;
    }
    entries.assign(capacity, TTrenchEntry{});
    for (std::uint16_t i = 0; i < count; ++i) {
        TTrenchEntry& e = entries[i];
        in.ReadU8(e.kind);
        in.ReadU16(e.x);
        in.ReadU16(e.y);
        in.ReadF32(e.countdown);
        in.ReadF32(e.strength);
        in.ReadU8(e.active);
    }
    return true;
}

} // namespace

bool TTrenchList::CheckTrenchList(TIfStreamMemory& in)
{
    std::uint16_t capacity = 0;
    std::uint16_t count = 0;
    std::vector<TTrenchEntry> entries;
    return ParseTrenchBlock(in, capacity, count, entries);
}

bool TTrenchList::LoadTrenchList(TIfStreamMemory& in)
{
    std::uint16_t capacity = 0;
    std::uint16_t count = 0;
    std::vector<TTrenchEntry> entries;
    if (!ParseTrenchBlock(in, capacity, count, entries))
        return false;
    m_Entries = std::move(entries);
    m_Capacity = capacity;
    m_Count = count;
    for (std::uint16_t i = 0; i < count; ++i)
        if (m_Entries[i].active)
            SetObjectMap(m_Entries[i].x, m_Entries[i].y, EntryCode(i));
    return true;
}

bool TTrenchList::SaveTrenchList(TOfStreamMemory& out) const
{
    out.WriteU16(m_Capacity);
    out.WriteU16(m_Count);
    for (std::uint16_t i = 0; i < m_Count; ++i) {
        const TTrenchEntry& e = m_Entries[i];
        out.WriteU8(e.kind);
        out.WriteU16(e.x);
        out.WriteU16(e.y);
        out.WriteF32(e.countdown);
        out.WriteF32(e.strength);
        out.WriteU8(e.active);
    }
    return true;
}

namespace {

bool LineStartOf(int player, plat::Point& pressPoint)
{
    if (player < 0 || player >= 8)
        return false;
    std::lock_guard lock(g_InputLock);
    if (g_PlayerPrevClickX[player] == NO_LINE_START)
        return false;
    pressPoint = {g_PlayerPrevClickX[player], g_PlayerPrevClickY[player]};
    return true;
}

} // namespace

bool HasTrenchLineStart(int player)
{
    plat::Point unused;
    return LineStartOf(player, unused);
}

void DrawTrenchLinePreview(int player)
{
    plat::Point press;
    if (!LineStartOf(player, press))
        return;
    float cursorX = 0, cursorY = 0;
    {
        std::lock_guard lock(g_InputLock);
        cursorX = static_cast<float>(g_CursorMapX);
        cursorY = static_cast<float>(g_CursorMapY);
    }
    plat::Point start;
    GetCellFromPoint(static_cast<float>(press.x), static_cast<float>(press.y), start);
    g_TrenchList.PlaceTrenchPath(static_cast<std::uint8_t>(player), cursorX, cursorY, start);
}
