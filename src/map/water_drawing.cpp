// Water drawing in two stages that meet in the depth buffer. The static layer's rebuild draws the
// water's shape (whole cells and coast polygons) with a plain texture and builds the shore-line
// quads; every frame the animated water is drawn over each visible water cell with the depth test
// EQUAL, so it shows only inside that shape. Both stages take z from the screen row by one rule.
#include <algorithm>
#include <cmath>

#include "core/geometry.h"
#include "devices/animation.h"
#include "devices/cursor_state.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "map/map_view.h"
#include "map/water.h"
#include "platform/texture.h"

namespace {

constexpr std::uint32_t kCmpEqual = 3;
constexpr std::uint32_t kCmpLessEqual = 4;
constexpr std::uint32_t kBlendOne = 2;
constexpr std::uint32_t kBlendInvSrcAlpha = 6;
constexpr float kShoreHalfWidth = 16.0f;

TScreenQuad QuadAt(float x0, float y0, float x1, float y1)
{
    TScreenQuad q = g_SpriteQuadTemplate;
    const float xs[4] = {x0, x1, x0, x1};
    const float ys[4] = {y0, y0, y1, y1};
    for (int i = 0; i < 4; ++i) {
        q[i].x = xs[i];
        q[i].y = ys[i];
        q[i].z = WaterDepth(ys[i]);
    }
    return q;
}

void DrawStrip(const TScreenQuad& q)
{
    g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, q.data(), 4, kDrawWait);
}

// The visible cell's grid index, or false when it lies past the grid.
bool VisibleCell(const TWaterMap& w, std::int32_t c, std::int32_t r, std::int32_t& column, std::int32_t& row)
{
    column = 2 * static_cast<std::int32_t>(g_ViewX) + c;
    row = static_cast<std::int32_t>(g_ViewY) + r;
    return column < w.m_Width && static_cast<std::uint64_t>(row) * w.m_Width + column < w.m_CellCount;
}

// Calls f(c, r, column, row, cell) for every visible cell that is not land, row by row.
template <class F> void ForEachVisibleWater(const TWaterMap& w, F&& f)
{
    for (std::int32_t r = 0; r < w.m_VisibleRows; ++r)
        for (std::int32_t c = 0; c < w.m_VisibleCols; ++c) {
            std::int32_t column = 0, row = 0;
            if (!VisibleCell(w, c, r, column, row))
                continue;
            const std::uint16_t cell = w.Cell(column, row);
            if (cell != 0)
                f(c, r, column, row, cell);
        }
}

bool OnCellBorder(const TCoastPoint& p)
{
    return p.x == 0 || p.x == WATER_CELL_WIDTH || p.y == 0 || p.y == WATER_CELL_HEIGHT;
}

} // namespace

float WaterDepth(float y)
{
    return ClampedDepth(y + static_cast<float>(g_ViewDepthBase) + 1024.0f + 110.0f);
}

void WaterTexCoords(const TWaterMap& water, std::int32_t c, std::int32_t r, std::uint8_t look, float& u, float& v)
{
    const int cols = water.m_VisibleCols, rows = water.m_VisibleRows;
    const double viewCol = g_ViewX, viewRow = g_ViewY;
    const double a = viewCol - std::floor(viewCol / cols) + c;
    const double b = viewRow - std::floor(viewRow / rows) + r;
    const float ku = cols * 0.33333334f, kv = rows * 0.33333334f;
    const double tu = std::max(1.0, std::trunc(static_cast<double>(ku)));
    const double tv = std::max(1.0, std::trunc(static_cast<double>(kv)));
    const float su = water.m_TexStepU * (look == 2 ? 2.0f : 1.0f);
    const float sv = water.m_TexStepV * (look == 2 ? 2.0f : 1.0f);
    u = static_cast<float>((a - std::floor(a / tu) * ku) * su);
    v = static_cast<float>((b - std::floor(b / tv) * kv) * sv);
}

bool WaterKeptRect(std::uint8_t direction, int cols, int rows, plat::Rect& kept)
{
    // Inclusive bounds, kept in left/top/right/bottom.
    const int lastC = cols - 1, lastR = rows - 1;
    switch (direction) {
    case 1: kept = {2, 0, lastC, lastR}; return true;
    case 2: kept = {0, 0, cols - 5, lastR}; return true;
    case 3: kept = {0, 2, lastC, lastR}; return true;
    case 4: kept = {0, 0, lastC, rows - 5}; return true;
    case 5: kept = {2, 2, lastC, lastR}; return true;
    case 6: kept = {2, 0, lastC, rows - 5}; return true;
    case 7: kept = {0, 2, cols - 5, lastR}; return true;
    case 8: kept = {0, 0, cols - 5, rows - 5}; return true;
    default: return false;
    }
}

void TWaterMap::FreeCoastLines()
{
    // Unlinked one block at a time, so a long chain never recurses through destructors.
    std::unique_ptr<TCoastLineBlock> next = std::move(m_CoastLines.next);
    while (next)
        next = std::move(next->next);
    m_CoastLines.used = 0;
}

int TWaterMap::CoastLineCount() const
{
    int n = 0;
    for (const TCoastLineBlock* b = &m_CoastLines; b; b = b->next.get())
        n += b->used;
    return n;
}

void TWaterMap::PushCoastLine(const TCoastLine& line)
{
    TCoastLineBlock* block = &m_CoastLines;
    while (block->used == COAST_LINE_BLOCK) {
        if (!block->next)
            block->next = std::make_unique<TCoastLineBlock>();
        block = block->next.get();
    }
    block->lines[block->used++] = line;
}

void TWaterMap::AddShoreLines(std::int32_t column, std::int32_t row, float screenX, float screenY)
{
    const std::uint16_t zoneIndex = Cell(column, row) & WATER_ZONE_MASK;
    if (zoneIndex >= CoastZoneCount || zoneIndex >= m_Zones.size())
        return;
    const TCoastZone& zone = m_Zones[zoneIndex];
    for (std::size_t ai = 0; ai < zone.arcs.size(); ++ai) {
        const TCoastArc& arc = zone.arcs[ai];
        const std::size_t n = arc.points.size();
        if (n < 3)
            continue;
        for (std::size_t i = 0; i < n; ++i) {
            const TCoastPoint& q0 = arc.points[i];
            const TCoastPoint& q1 = arc.points[(i + 1) % n];
            plat::Point p0{q0.x, q0.y}, p1{q1.x, q1.y};
            bool dropped = false;
            for (std::size_t oi = 0; oi < zone.arcs.size() && !dropped; ++oi) {
                const TCoastArc& other = zone.arcs[oi];
                if (oi == ai || other.points.size() < 3)
                    continue;
                const bool in0 = IsPointInArc(other, p0.x, p0.y), in1 = IsPointInArc(other, p1.x, p1.y);
                if (in0 && in1) {
                    dropped = true;
                } else if (in0 || in1) {
                    // Keep the part outside the other arc: from the crossing to the outer end.
                    const std::size_t m = other.points.size();
                    for (std::size_t k = 0; k < m; ++k) {
                        const plat::Point e0{other.points[k].x, other.points[k].y};
                        const plat::Point e1{other.points[(k + 1) % m].x, other.points[(k + 1) % m].y};
                        plat::Point hit;
                        if (SegmentsIntersect(p0, p1, e0, e1, hit)) {
                            (in0 ? p0 : p1) = hit;
                            break;
                        }
                    }
                }
            }
            if (dropped)
                continue;
            const TCoastPoint c0{static_cast<std::uint8_t>(p0.x), static_cast<std::uint8_t>(p0.y)};
            const TCoastPoint c1{static_cast<std::uint8_t>(p1.x), static_cast<std::uint8_t>(p1.y)};
            if (OnCellBorder(c0) && OnCellBorder(c1))
                continue;

            const float x0 = screenX + p0.x, y0 = screenY + p0.y;
            const float x1 = screenX + p1.x, y1 = screenY + p1.y;
            const float mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
            const float len = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
            const double angle = 1.57 - std::atan2(static_cast<double>(y0 - y1), static_cast<double>(x0 - x1));
            const float dxs[4] = {len, -len, len, -len};
            const float dys[4] = {-kShoreHalfWidth, -kShoreHalfWidth, kShoreHalfWidth, kShoreHalfWidth};
            TCoastLine line;
            for (int k = 0; k < 4; ++k) {
                const double r = std::sqrt(static_cast<double>(dxs[k]) * dxs[k] + static_cast<double>(dys[k]) * dys[k]);
                const double b = std::atan2(static_cast<double>(dys[k]), static_cast<double>(dxs[k]));
                line.x[k] = static_cast<float>(mx + r * std::sin(b + angle));
                line.y[k] = static_cast<float>(my + r * std::cos(b + angle));
                line.z[k] = WaterDepth(line.y[k]);
            }
            line.x0 = x0;
            line.y0 = y0;
            PushCoastLine(line);
        }
    }
}

void TWaterMap::BuildWaterFromMap(std::uint8_t direction)
{
    FreeCoastLines();
    m_bCoastEdit = 0;
    if (g_bMapViewDirty)
        direction = 0;
    const bool draw = g_pD3DDevice != nullptr;
    if (draw)
        g_pD3DDevice->SetTexture(0, g_WaterServices.plainTexture ? g_WaterServices.plainTexture() : nullptr);
    plat::Rect kept;
    const bool hasKept = WaterKeptRect(direction, m_VisibleCols, m_VisibleRows, kept);
    auto inKept = [&](std::int32_t c, std::int32_t r) {
        return hasKept && c >= kept.left && c <= kept.right && r >= kept.top && r <= kept.bottom;
    };
    ForEachVisibleWater(*this, [&](std::int32_t c, std::int32_t r, std::int32_t column, std::int32_t row,
                               std::uint16_t cell) {
        const float sx = static_cast<float>(c * WATER_CELL_WIDTH), sy = static_cast<float>(r * WATER_CELL_HEIGHT);
        if (!(cell & WATER_COAST_BIT)) {
            if (!inKept(c, r) && draw)
                DrawStrip(QuadAt(sx, sy, sx + WATER_CELL_WIDTH, sy + WATER_CELL_HEIGHT));
            return;
        }
        const std::uint16_t zone = cell & WATER_ZONE_MASK;
        if (!inKept(c, r) && draw && zone < CoastZoneCount && zone < m_Zones.size()) {
            std::vector<TScreenVertex> fan;
            for (const TCoastArc& arc : m_Zones[zone].arcs) {
                if (arc.points.size() < 3)
                    continue;
                fan.assign(arc.points.size(), g_SpriteQuadTemplate[0]);
                for (std::size_t i = 0; i < arc.points.size(); ++i) {
                    fan[i].x = sx + arc.points[i].x;
                    fan[i].y = sy + arc.points[i].y;
                    fan[i].z = WaterDepth(fan[i].y);
                }
                g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleFan, fan.data(),
                                            static_cast<std::uint32_t>(fan.size()), kDrawWait);
            }
        }
        AddShoreLines(column, row, sx, sy);
    });
    CollectVisibleWaterSpots();
}

void TWaterMap::CollectVisibleWaterSpots()
{
    m_LightSpots.clear();
    const std::int32_t viewCol = 2 * static_cast<std::int32_t>(g_ViewX), viewRow = g_ViewY;
    for (std::int32_t row = std::max(viewRow - 8, 0); row <= viewRow + m_VisibleRows + 7 && row < m_Height; ++row)
        for (std::int32_t col = std::max(viewCol - 4, 0); col <= viewCol + m_VisibleCols + 3 && col < m_Width; ++col) {
            const std::uint16_t cell = Cell(col, row);
            if (cell == 0 || (cell & WATER_COAST_BIT))
                continue;
            const int k = (cell & WATER_SPOT_MASK) >> WATER_SPOT_SHIFT;
            if (k > 0)
                m_LightSpots.push_back({static_cast<std::int16_t>(col - viewCol), static_cast<std::int16_t>(row - viewRow),
                                        static_cast<std::uint8_t>(k - 1)});
        }
}

void TWaterMap::DrawLightSpots()
{
    if (m_LightSpots.empty() || !g_pD3DDevice)
        return;
    g_pD3DDevice->SetRenderState(D3DState::DestBlend, kBlendOne);
    for (const TLightSpotEntry& e : m_LightSpots) {
        const TLightSpotPicture& p = m_LightSpotPictures[e.picture % WATER_LIGHT_SPOTS];
        if (!p.texture)
            continue;
        const float cx = 48.0f * e.column + 24.0f, cy = 24.0f * e.row + 12.0f;
        g_pD3DDevice->SetTexture(0, p.texture);
        g_pD3DDevice->SetRenderState(D3DState::ZBias, 1);
        DrawStrip(QuadAt(cx - p.width, cy - p.height, cx + p.width, cy + p.height));
        g_pD3DDevice->SetRenderState(D3DState::ZBias, 0);
    }
    g_pD3DDevice->SetRenderState(D3DState::DestBlend, kBlendInvSrcAlpha);
}

void TWaterMap::DrawWater()
{
    if (m_bWaterHidden || !g_pD3DDevice)
        return;
    // The ships' tags are simulation state: the game cycle refreshes them, never the drawing.
    g_pD3DDevice->SetRenderState(D3DState::ZFunc, kCmpEqual);
    ForEachVisibleWater(*this, [&](std::int32_t c, std::int32_t r, std::int32_t, std::int32_t, std::uint16_t cell) {
        const std::uint8_t look = CellWaterValue(cell) & WATER_LOOK_MASK;
        const TWaterAnimation* anim = nullptr;
        for (int i = 0; i < look && i < WATER_ANIM_SLOTS && !anim; ++i)
            if (m_WaterAnim[i].SetCount() > 0)
                anim = &m_WaterAnim[i];
        if (!anim)
            return;
        float u = 0.0f, v = 0.0f;
        WaterTexCoords(*this, c, r, look, u, v);
        const float su = m_TexStepU * (look == 2 ? 2.0f : 1.0f), sv = m_TexStepV * (look == 2 ? 2.0f : 1.0f);
        const float sx = static_cast<float>(c * WATER_CELL_WIDTH), sy = static_cast<float>(r * WATER_CELL_HEIGHT);
        TScreenQuad q = QuadAt(sx, sy, sx + WATER_CELL_WIDTH, sy + WATER_CELL_HEIGHT);
        q[0].u = q[2].u = u;
        q[1].u = q[3].u = u + su;
        q[0].v = q[1].v = v;
        q[2].v = q[3].v = v + sv;
        g_pD3DDevice->SetTexture(0, anim->FrameTexture(static_cast<int>(anim->currentFrame)));
        DrawStrip(q);
    });

    g_pD3DDevice->SetRenderState(D3DState::AlphaBlendEnable, 1);
    DrawLightSpots();

    if (m_bCoastEdit)
        g_pD3DDevice->SetRenderState(D3DState::ZEnable, 0);
    g_pD3DDevice->SetRenderState(D3DState::ZFunc, kCmpLessEqual);
    const TWaterAnimation& coast = m_CoastWaterAnim[0];
    if (coast.FrameCount() > 0) {
        g_pD3DDevice->SetTexture(0, coast.FrameTexture(static_cast<int>(coast.currentFrame) % coast.FrameCount()));
        for (const TCoastLineBlock* b = &m_CoastLines; b; b = b->next.get())
            for (int i = 0; i < b->used; ++i) {
                const TCoastLine& line = b->lines[i];
                TScreenQuad q = g_SpriteQuadTemplate;
                for (int k = 0; k < 4; ++k) {
                    q[k].x = line.x[k];
                    q[k].y = line.y[k];
                    q[k].z = line.z[k];
                }
                DrawStrip(q);
            }
    }

    if (m_bWaterEditMode)
        DrawWaterEditInfo();

    auto advance = [](TWaterAnimation& a, float step) {
        if (a.SetCount() == 0)
            return;
        a.currentFrame += step;
        if (a.currentFrame >= a.FrameCount())
            a.currentFrame = 0.0f;
    };
    for (TWaterAnimation& a : m_WaterAnim)
        advance(a, 0.5f);
    advance(m_CoastWaterAnim[0], 0.4f);
}

void TWaterMap::DrawWaterEditInfo()
{
    if (!g_pD3DDevice)
        return;
    g_pD3DDevice->SetRenderState(D3DState::ZEnable, 0);
    g_pD3DDevice->SetTexture(0, m_pBrushTexture);
    auto dot = [](float x, float y) { DrawStrip(QuadAt(x, y, x + 4.0f, y + 4.0f)); };
    const bool erase = g_WaterServices.editorEraseOn && g_WaterServices.editorEraseOn();
    if (!erase) {
        for (int i = 0; i < m_BrushPointCount; ++i)
            dot(static_cast<float>(static_cast<std::int32_t>(g_MouseX + m_BrushX[i])),
                static_cast<float>(static_cast<std::int32_t>(g_MouseY + m_BrushY[i])));
    } else {
        const std::int32_t n = m_SelectNum;
        const plat::Point mapPoint = g_WaterServices.editorMapPoint ? g_WaterServices.editorMapPoint() : plat::Point{};
        const plat::Point cell = PixelToWaterCell(mapPoint.x, mapPoint.y);
        const float left = static_cast<float>((cell.x - n) * WATER_CELL_WIDTH - g_ViewPixelX);
        const float top = static_cast<float>((cell.y - n) * WATER_CELL_HEIGHT - g_ViewPixelY);
        const float bottom = top + static_cast<float>((2 * n + 1) * WATER_CELL_HEIGHT);
        const float right = left + static_cast<float>((2 * n + 1) * WATER_CELL_WIDTH);
        for (std::int32_t i = 0; i < 8 * n + 5; ++i) {
            dot(left + 12.0f * i, top);
            dot(left + 12.0f * i, bottom);
        }
        for (std::int32_t i = 0; i < 4 * n + 2; ++i) {
            dot(left, top + 12.0f * i);
            dot(right, top + 12.0f * i);
        }
    }
    const plat::Point tile = g_WaterServices.editorTile ? g_WaterServices.editorTile() : plat::Point{};
    DrawTextWithBackground(g_pDDSBack, 300, 300, IsTileOnWater(tile.x, tile.y) ? u"Water" : u"No Water", false);
}
