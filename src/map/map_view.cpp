#include "map/map_view.h"

#include "map/map_grid.h"

std::uint8_t g_bMapViewDirty = 0;
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
    auto height = [](const plat::Point& c) { return static_cast<float>(g_pHeightMap[c.y * g_MapWidth + c.x]); };
    const float h0 = height(cell);
    const float hNE = height(GetNeighbourPoint(cell, 1));
    const float hE = height(GetNeighbourPoint(cell, 7));
    const float hSE = height(GetNeighbourPoint(cell, 2));
    const float lx = x - static_cast<float>(TileToPixel(cell).x);
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
