#include "map/map_view.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "combat/effects.h"
#include "units/parameter_files.h"
#include "devices/cursor_state.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/mouse.h"
#include "map/map_grid.h"
#include "map/static_layer.h"
#include "movement/directions.h"
#include "core/app_state.h"
#include "players/strateg.h"
#include "ui/menus.h"
#include "units/house.h"

std::uint8_t g_bMapViewDirty = 0;
std::uint8_t g_ScrollFlag = 0;
std::uint16_t g_ViewX = 0;
std::uint16_t g_ViewY = 0;
std::uint16_t g_ViewCols = 0;
std::uint16_t g_ViewRows = 0;
std::int32_t g_ViewPixelX = 0;
std::int32_t g_ViewPixelY = 0;
std::int32_t g_ViewPixelRight = 0;
std::int32_t g_ViewPixelBottom = 0;
std::int16_t g_ViewDepthBase = 0;
std::uint8_t g_ViewRowToggle = 0;
std::uint8_t g_ViewColumnScale = 1;
std::int32_t g_CursorMapX = 0;
std::int32_t g_CursorMapY = 0;
std::uint16_t g_CursorCellX = 0;
std::uint16_t g_CursorCellY = 0;

THouseBarSegments g_HouseBarSegments;

bool IsPointInLiftedTile(std::int32_t cx, std::int32_t cy, float x, float y)
{
    if (!g_pHeightMap || cx <= 1 || cy <= 1 || cx >= g_MapWidth - 1 || cy >= g_MapHeight - 1)
        return false;
    const plat::Point cell{cx, cy};
    const float lx = x - static_cast<float>(TileToPixel(cell).x);
    // Outside the tile's column span no edge can leave the point inside (every edge it crosses is
    // crossed in pairs); most tiles of the picking search end here.
    if (!(lx >= 0.0f && lx < 96.0f))
        return false;
    auto height = [](const plat::Point& c) { return static_cast<float>(g_pHeightMap[c.y * g_MapWidth + c.x]); };
    const float h0 = height(cell);
    const float hNE = height(GetNeighbourPoint(cell, 1));
    const float hE = height(GetNeighbourPoint(cell, 7));
    const float hSE = height(GetNeighbourPoint(cell, 2));
    const float ly = y - static_cast<float>(cy * kRowStep - kRowStep);
    const TPointF quad[4] = {{0.0f, 24.0f - h0}, {48.0f, -hNE}, {96.0f, 24.0f - hE}, {48.0f, 48.0f - hSE}};
    bool inside = false;
    for (int i = 0; i < 4; ++i) {
        const TPointF& p = quad[i];
        const TPointF& q = quad[(i + 1) % 4];
        if ((p.y <= ly) == (q.y <= ly))
            continue;
        const float edgeX = p.x + (ly - p.y) * (q.x - p.x) / (q.y - p.y);
        if (lx < edgeX)
            inside = !inside;
    }
    return inside;
}

void GetCellFromPoint(float x, float y, plat::Point& out)
{
    const plat::Point flat = PixelToFlatCell(x, y);
    out = flat;
    // A cell lower on the screen, lifted by its height, covers the cells above it: the search
    // starts 14 rows below and the first (lowest) hit wins.
    for (std::int32_t k = 14; k >= 0; k -= 2) {
        const std::int32_t r = flat.y + k;
        if (IsPointInLiftedTile(flat.x, r, x, y)) {
            out = {flat.x, r};
            return;
        }
        const std::int32_t firstX = (r & 1) ? flat.x : flat.x - 1;
        for (std::int32_t cx : {firstX, firstX + 1}) {
            if (IsPointInLiftedTile(cx, r + 1, x, y)) {
                out = {cx, r + 1};
                return;
            }
        }
    }
}

void ToggleViewMode()
{
    if (g_bShowLandPass) {
        g_bShowLandPass = 0;
        g_bShowShipPass = 1;
    } else if (g_bShowShipPass) {
        g_bShowShipPass = 0;
    } else {
        g_bShowLandPass = 1;
    }
    g_bMapViewDirty = 1;
}

namespace {

constexpr std::uint32_t kBarGrey = 0xFF808080;
constexpr std::uint32_t kArrowYellow = 0xFFFFFF00;
constexpr std::uint16_t kPortHouseType = 22;
constexpr float kPi = 3.14159265358979f;

// Shared by every rally flag of a frame (main thread).
float g_FlagFrame = 0.0f;

// The map's light: ambient 0.7 plus 0.2 on each channel.
constexpr std::uint32_t kTemplateDiffuse = 0xFF000000u | 229u << 16 | 229u << 8 | 229u;

void SetTemplateCoords(TScreenQuad& q, const float (&uv)[4][2])
{
    for (int i = 0; i < 4; ++i) {
        q[i].z = 0.0f;
        q[i].rhw = 1.0f;
        q[i].diffuse = kTemplateDiffuse;
        q[i].specular = 0xFFFFFFFF;
        q[i].u = uv[i][0];
        q[i].v = uv[i][1];
    }
}

// The map point of a point of the arrow's own frame (+y from the start toward the end).
TPointF ArrowPoint(float ox, float oy, float angle, float lx, float ly)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return {ox + lx * c - ly * s, oy + lx * s + ly * c};
}

TPointF ToScreen(const TPointF& p)
{
    return {p.x - static_cast<float>(g_ViewPixelX), p.y - static_cast<float>(g_ViewPixelY)};
}

// Head at the end point, shaft from the two side points of the start to the head's inner
// points, tail from the same side points to the point 40 ahead of the start.
void DrawArrowShape(float sx, float sy, float ex, float ey, float angle)
{
    TMapViewServices& services = MapViewServices();
    if (!services.DrawLine)
        return;
    const float head[5][2] = {{-5.0f, -27.0f}, {-12.0f, -34.0f}, {0.0f, 0.0f}, {12.0f, -34.0f}, {5.0f, -27.0f}};
    TPointF h[5];
    for (int i = 0; i < 5; ++i)
        h[i] = ToScreen(ArrowPoint(ex, ey, angle, head[i][0], head[i][1]));
    for (int i = 0; i < 4; ++i)
        services.DrawLine(h[i], h[i + 1], kArrowYellow);
    const TPointF left = ToScreen(ArrowPoint(sx, sy, angle, -15.0f, 0.0f));
    const TPointF right = ToScreen(ArrowPoint(sx, sy, angle, 15.0f, 0.0f));
    const TPointF tail = ToScreen(ArrowPoint(sx, sy, angle, 0.0f, 40.0f));
    services.DrawLine(left, h[0], kArrowYellow);
    services.DrawLine(right, h[4], kArrowYellow);
    services.DrawLine(left, tail, kArrowYellow);
    services.DrawLine(right, tail, kArrowYellow);
}

bool DefaultDrawQuad(const TScreenQuad& quad, plat::Texture* texture)
{
    if (!g_pD3DDevice)
        return false;
    g_pD3DDevice->SetTexture(0, texture);
    return g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, quad.data(), 4, 0);
}

bool DefaultDrawLine(const TPointF& a, const TPointF& b, std::uint32_t color)
{
    if (!g_pD3DDevice)
        return false;
    g_pD3DDevice->SetTexture(0, g_pWhiteTexture);
    TScreenVertex line[2] = {g_SpriteQuadTemplate[0], g_SpriteQuadTemplate[1]};
    for (TScreenVertex& v : line) {
        v.z = 0.0f;
        v.diffuse = color;
    }
    return DrawLine2D(a, b, line);
}

} // namespace

TScreenQuad g_SpriteQuadTemplateFlipped = {};
TScreenQuad g_SpriteQuadTemplatePlain = {};

TMapViewServices DefaultMapViewServices()
{
    TMapViewServices s;
    s.RenderMapView = ::RenderMapView;
    s.DrawQuad = DefaultDrawQuad;
    s.DrawLine = DefaultDrawLine;
    s.DrawSprite = ::DrawUprightSprite;
    s.PortRallyEffect = [](float x, float y) { AddExplosion(3, 0, x, y, 55, 37, 0, 0, 0); };
    s.HouseFields = ::GetHouseMapFields;
    return s;
}

TMapViewServices& MapViewServices()
{
    static TMapViewServices services = DefaultMapViewServices();
    return services;
}

void SetViewSizeByScreen()
{
    switch (g_ScreenWidth) {
    case 1024:
        g_ViewCols = 11;
        g_ViewRows = 34;
        break;
    case 1152:
        g_ViewCols = 12;
        g_ViewRows = 38;
        break;
    case 1280:
        g_ViewCols = 14;
        g_ViewRows = g_ScreenHeight == 1024 ? 44 : 42;
        break;
    default:
        break;
    }
}

std::uint8_t ScrollDirection(std::int32_t dx, std::int32_t dy)
{
    if (dx == 0 && dy == 0)
        return 0;
    if (dy == 0)
        return dx < 0 ? 1 : 2;
    if (dx == 0)
        return dy < 0 ? 3 : 4;
    if (dx < 0)
        return dy < 0 ? 5 : 6;
    return dy < 0 ? 7 : 8;
}

void ScrollMap(std::int32_t dx, std::int32_t dy)
{
    if (g_MainMenuWindow || !g_pObjectMap || !g_pHeightMap)
        return;
    {
        std::lock_guard lock(g_InputLock);
        if (dy != 0)
            g_ViewRowToggle ^= 1;
        std::int32_t row = static_cast<std::int32_t>(g_ViewY) + 2 * dy;
        std::int32_t column = static_cast<std::int32_t>(g_ViewX) + dx;
        const std::int32_t lastRow = static_cast<std::int32_t>(g_MapHeight) - g_ViewRows - 10;
        const std::int32_t lastColumn = static_cast<std::int32_t>(g_MapWidth) - g_ViewCols - 2;
        if (row > lastRow) {
            row = lastRow;
            g_bMapViewDirty = 1;
        }
        if (column > lastColumn) {
            column = lastColumn;
            g_bMapViewDirty = 1;
        }
        // A map smaller than the view and its margins puts the bounds above below zero; the
        // origin is unsigned and would wrap to the far side of the map.
        if (row < 0) {
            row = 0;
            g_bMapViewDirty = 1;
        }
        if (column < 0) {
            column = 0;
            g_bMapViewDirty = 1;
        }
        g_ViewX = static_cast<std::uint16_t>(column);
        g_ViewY = static_cast<std::uint16_t>(row);
        g_ViewPixelX = (g_ViewColumnScale + 1) * column * 48;
        g_ViewPixelY = row * kRowStep;
        g_ViewPixelRight = g_ViewPixelX + g_ScreenWidth;
        g_ViewPixelBottom = g_ViewPixelY + g_ScreenHeight;
        g_CursorMapX = g_ViewPixelX + g_MouseX;
        g_CursorMapY = g_ViewPixelY + g_MouseY;
        plat::Point cell;
        GetCellFromPoint(static_cast<float>(g_CursorMapX), static_cast<float>(g_CursorMapY), cell);
        g_CursorCellX = static_cast<std::uint16_t>(cell.x);
        g_CursorCellY = static_cast<std::uint16_t>(cell.y);
    }
    std::uint8_t direction = ScrollDirection(dx, dy);
    if (g_bMapViewDirty) {
        g_bMapViewDirty = 0;
        direction = 0;
    }
    if (direction == 3 || direction == 5 || direction == 7)
        g_ViewDepthBase = static_cast<std::int16_t>(g_ViewDepthBase - 48);
    else if (direction == 4 || direction == 6 || direction == 8)
        g_ViewDepthBase = static_cast<std::int16_t>(g_ViewDepthBase + 48);
    if (MapViewServices().RenderMapView)
        MapViewServices().RenderMapView(direction);
}

void InitTileVertexTemplates()
{
    const float forward[4][2] = {{0.0f, 0.0f}, {0.99999f, 0.0f}, {0.0f, 0.99999f}, {0.99999f, 0.99999f}};
    const float reversed[4][2] = {{0.99999f, 0.99999f}, {0.0f, 0.99999f}, {0.99999f, 0.0f}, {0.0f, 0.0f}};
    SetTemplateCoords(g_SpriteQuadTemplate, forward);
    SetTemplateCoords(g_SpriteQuadTemplateFlipped, reversed);
    SetTemplateCoords(g_SpriteQuadTemplatePlain, forward);
}

void DrawHouseBars()
{
    TMapViewServices& services = MapViewServices();
    const std::size_t count = std::min(g_HouseBarSegments.rects.size(), g_HouseBarSegments.houses.size());
    if (!services.DrawQuad || !services.HouseFields)
        return;
    for (std::size_t i = 0; i < count; ++i) {
        const TBarRect& r = g_HouseBarSegments.rects[i];
        THouseMapFields house;
        if (!services.HouseFields(g_HouseBarSegments.houses[i], house))
            continue;
        const float left = static_cast<float>(r.x1 - g_ViewPixelX);
        const float right = static_cast<float>(r.x2 - g_ViewPixelX);
        const float top = static_cast<float>(r.y1 - 3 - g_ViewPixelY);
        const float bottom = static_cast<float>(r.y1 - g_ViewPixelY);
        if (bottom < 1.0f || top >= g_ScreenHeight || left >= g_ScreenWidth || right < 1.0f)
            continue;
        float fraction = 0.0f;
        if (house.state != 0)
            fraction = house.buildTotal ? 1.0f - static_cast<float>(house.state) / house.buildTotal : 0.0f;
        else if (house.maxStrength > 0.0f)
            fraction = house.strength / house.maxStrength;
        // A damaged record or a state past its total must not draw outside the bar.
        fraction = std::isnan(fraction) ? 0.0f : std::clamp(fraction, 0.0f, 1.0f);
        const float z = ClampedDepth(static_cast<float>(g_ViewDepthBase) + 1024.0f + static_cast<float>(r.y1));
        TScreenQuad q = g_SpriteQuadTemplate;
        auto place = [&](float x0, float x1, std::uint32_t color) {
            const float xs[4] = {x0, x1, x0, x1};
            const float ys[4] = {top, top, bottom, bottom};
            for (int k = 0; k < 4; ++k) {
                q[k].x = xs[k];
                q[k].y = ys[k];
                q[k].z = z;
                q[k].diffuse = color;
            }
            services.DrawQuad(q, g_pWhiteTexture);
        };
        place(left, right, kBarGrey);
        place(left, left + (right - left) * fraction, GetPlayerColorD3D(house.owner));
    }
}

void DrawRallyFlag(THouse* house)
{
    TMapViewServices& services = MapViewServices();
    THouseMapFields fields;
    if (!services.HouseFields || !services.HouseFields(house, fields))
        return;
    const float x = fields.rallyX;
    const float y = fields.rallyY;
    if (fields.type == kPortHouseType) {
        if (g_FrameCounter % 10 == 1 && services.PortRallyEffect)
            services.PortRallyEffect(x, y);
        return;
    }
    const plat::Point flat = PixelToFlatCell(x, y);
    int offset = 0;
    if (IsTileInMap(flat) && g_pObjectMap) {
        const std::uint16_t code = g_pObjectMap[flat.y * g_MapWidth + flat.x];
        if (code >= kObjectAnimatedFirst && code <= kObjectAnimatedLast)
            offset = 30;
    }
    const float ground = y - static_cast<float>(GetLandHeightF(x, y));
    const int frame = std::clamp(static_cast<int>(g_FlagFrame), 0, FLAG_FRAME_COUNT - 1);
    g_FlagFrame += 0.5f;
    if (g_FlagFrame >= 8.0f)
        g_FlagFrame = 0.001f;
    if (!services.DrawSprite)
        return;
    services.DrawSprite(x, ground, TSpriteFrame{g_pFlagClothTex[frame], 32, 32}, GetPlayerColorD3D(MyPlayer), offset);
    services.DrawSprite(x, ground, TSpriteFrame{g_pFlagStaffTex[frame], 32, 32}, 0, offset);
}

void DrawOrderArrow(float x1, float y1, float x2, float y2)
{
    float angle = std::atan2(y2 - y1, x2 - x1) - kPi / 2.0f;
    if (angle < 0.0f)
        angle += 2.0f * kPi;
    DrawArrowShape(x1, y1, x2, y2, angle);
}

void DrawOrientationArrow(float x1, float y1, float x2, float y2, float length)
{
    const std::uint8_t direction = GetOrientToPoint(x1, y1, x2, y2);
    const float angle = kPi - static_cast<float>(direction) * kPi / 4.0f;
    const TPointF head = ArrowPoint(x1, y1, angle, 0.0f, length / 2.0f + 80.0f);
    DrawArrowShape(x1, y1, head.x, head.y, angle);
}
