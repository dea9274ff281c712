#include "map/ship_grid.h"

#include <algorithm>
#include <cmath>

#include "core/error_log.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "map/water.h"
#include "map/site_queries.h"

namespace {

constexpr char kOutsideGrid[] = "FreePixelCoordForShip выход за карту";
constexpr float kPi = 3.14159265358979f;
constexpr int kWalkLimit = 5000;

bool IsHouseOrTrench(std::uint16_t code)
{
    return (code >= kObjectNeutralHouseFirst && code <= kObjectPlayerHouseLast)
        || (code >= kObjectTrenchListFirst && code <= kObjectTrenchListLast);
}

bool ReadShip(const TUnit* ship, TShipFields& f)
{
    return ship && g_WaterServices.getShipFields && g_WaterServices.getShipFields(ship, f);
}

std::uint16_t CellCoord(float v, float factor)
{
    const float c = std::trunc(v * factor);
    return static_cast<std::uint16_t>(std::clamp(c, 0.0f, 65535.0f));
}

} // namespace

TShipGrid::TShipGrid(std::uint32_t width, std::uint32_t height)
    : m_Width(width), m_Height(height), m_Cells(static_cast<std::size_t>(width) * height, SHIP_CELL_FREE)
{
}

std::uint8_t TShipGrid::CellValue(std::int32_t column, std::int32_t row) const
{
    if (column < 0 || row < 0 || static_cast<std::uint32_t>(column) >= m_Width || static_cast<std::uint32_t>(row) >= m_Height)
        return SHIP_CELL_BLOCKED;
    return m_Cells[static_cast<std::size_t>(row) * m_Width + column];
}

void TShipGrid::SetCellValue(std::int32_t column, std::int32_t row, std::uint8_t value)
{
    if (column >= 0 && row >= 0 && static_cast<std::uint32_t>(column) < m_Width && static_cast<std::uint32_t>(row) < m_Height)
        m_Cells[static_cast<std::size_t>(row) * m_Width + column] = value;
}

bool TShipGrid::PixelCell(float x, float y, std::int32_t& c, std::int32_t& r) const
{
    if (!(x >= 0.0f) || !(y >= 0.0f))
        return false;
    const double fc = std::trunc(static_cast<double>(x * m_FactorX));
    const double fr = std::trunc(static_cast<double>(y * m_FactorY));
    if (fc >= m_Width || fr >= m_Height)
        return false;
    c = static_cast<std::int32_t>(fc);
    r = static_cast<std::int32_t>(fr);
    return true;
}

bool TShipGrid::IsPixelFreeForShip(std::uint8_t kind, float x, float y) const
{
    std::int32_t c = 0, r = 0;
    if (!PixelCell(x, y, c, r))
        return false;
    const std::uint8_t v = CellValue(c, r);
    return kind <= 1 ? v != SHIP_CELL_BLOCKED : v == SHIP_CELL_FREE;
}

bool TShipGrid::TestPixelForShip(std::uint8_t kind, float x, float y) const
{
    std::int32_t c = 0, r = 0;
    if (!PixelCell(x, y, c, r)) {
        ReportError(kOutsideGrid);
        return false;
    }
    const std::uint8_t v = CellValue(c, r);
    return kind <= 1 ? (v == SHIP_CELL_FREE || v == SHIP_CELL_SHORE) : v == SHIP_CELL_FREE;
}

std::uint8_t TShipGrid::GetPixelCellForShip(float x, float y) const
{
    std::int32_t c = 0, r = 0;
    if (!PixelCell(x, y, c, r)) {
        ReportError(kOutsideGrid);
        return SHIP_CELL_BLOCKED;
    }
    return CellValue(c, r);
}

bool TShipGrid::ShipGridCellAt(float x, float y, float& outX, float& outY) const
{
    if (m_Width == 0 || m_Height == 0)
        return false;
    const std::int32_t maxC = static_cast<std::int32_t>(m_Width) - 1, maxR = static_cast<std::int32_t>(m_Height) - 1;
    auto clampCell = [](double v, std::int32_t hi) {
        return static_cast<std::int32_t>(std::clamp(v, 0.0, static_cast<double>(hi)));
    };
    std::int32_t c = clampCell(std::trunc(static_cast<double>(x * m_FactorX)), maxC);
    std::int32_t r = clampCell(std::trunc(static_cast<double>(y * m_FactorY)), maxR);
    for (int steps = 0; CellValue(c, r) != SHIP_CELL_FREE; ++steps) {
        if (steps >= kWalkLimit)
            return false;
        const std::uint16_t r1 = RandomDraw();
        const std::uint16_t r2 = RandomDraw();
        c = std::clamp(c + (r1 % 2) - 1, 0, maxC);
        r = std::clamp(r + (r2 % 2) - 1, 0, maxR);
    }
    outX = static_cast<float>(96 * c + 48);
    outY = static_cast<float>(48 * r + 24);
    return true;
}

bool TShipGrid::IsBadTile(std::int32_t x, std::int32_t y) const
{
    if (x < 0 || y < 0 || x >= g_MapWidth || y >= g_MapHeight) {
        ReportMapOverrun(kMsgGetObjectXY);
        return false;
    }
    if (m_pWater->GetWaterKind(x, y) == 0)
        return true;
    return g_pObjectMap && IsHouseOrTrench(GetObjectFromMap(static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y)));
}

void TShipGrid::RebuildShipGrid(const TTileRect* tiles)
{
    if (!m_pWater) {
        ReportError("Вода еще не задана!!!");
        return;
    }
    if (m_Width == 0 || m_Height == 0)
        return;
    const std::int32_t maxC = static_cast<std::int32_t>(m_Width) - 1, maxR = static_cast<std::int32_t>(m_Height) - 1;
    TShipCellRect range{0, 0, maxC, maxR};
    if (tiles)
        range = Clip({tiles->x0, tiles->y0 / 2, tiles->x1, tiles->y1 / 2});
    if (range.c0 > range.c1 || range.r0 > range.r1)
        return;

    // Whether each cell's own tile is bad, for the range and the neighbourhood it looks at.
    const TShipCellRect near = Clip({range.c0 - 2, range.r0 - 2, range.c1 + 2, range.r1 + 3});
    const std::int32_t nearW = near.c1 - near.c0 + 1;
    std::vector<std::uint8_t> bad(static_cast<std::size_t>(nearW) * (near.r1 - near.r0 + 1));
    for (std::int32_t r = near.r0; r <= near.r1; ++r)
        for (std::int32_t c = near.c0; c <= near.c1; ++c)
            bad[static_cast<std::size_t>(r - near.r0) * nearW + (c - near.c0)] = IsBadTile(c, 2 * r + 1) ? 1 : 0;
    auto isBad = [&](std::int32_t c, std::int32_t r) {
        return bad[static_cast<std::size_t>(r - near.r0) * nearW + (c - near.c0)] != 0;
    };
    auto isBorder = [&](std::int32_t c, std::int32_t r) { return c == 0 || r == 0 || c == maxC || r == maxR; };

    for (std::int32_t r = range.r0; r <= range.r1; ++r)
        for (std::int32_t c = range.c0; c <= range.c1; ++c) {
            if (isBorder(c, r) || isBad(c, r) || CellValue(c, r) == SHIP_CELL_BLOCKED) {
                SetCellValue(c, r, SHIP_CELL_BLOCKED);
                continue;
            }
            bool blocked = false;
            for (std::int32_t nr = std::max(r - 2, 0); nr <= std::min(r + 3, maxR) && !blocked; ++nr)
                for (std::int32_t nc = std::max(c - 2, 0); nc <= std::min(c + 2, maxC) && !blocked; ++nc)
                    blocked = isBad(nc, nr);
            SetCellValue(c, r, blocked ? SHIP_CELL_BLOCKED : SHIP_CELL_FREE);
        }
    for (std::int32_t r = range.r0; r <= range.r1; ++r)
        for (std::int32_t c = range.c0; c <= range.c1; ++c) {
            if (isBorder(c, r)) {
                SetCellValue(c, r, SHIP_CELL_BLOCKED);
                continue;
            }
            if (CellValue(c, r) != SHIP_CELL_FREE)
                continue;
            bool nearBlocked = false;
            for (std::int32_t nr = r - 1; nr <= r + 1; ++nr)
                for (std::int32_t nc = c - 1; nc <= c + 1; ++nc)
                    nearBlocked = nearBlocked || CellValue(nc, nr) == SHIP_CELL_BLOCKED;
            if (nearBlocked)
                SetCellValue(c, r, SHIP_CELL_SHORE);
        }
}

void TShipGrid::ShipFootprint(std::uint16_t type, std::int32_t& a, std::int32_t& b)
{
    switch (type) {
    case 18: a = 2; b = 3; break;
    case 20: a = 4; b = 5; break;
    default: a = 3; b = 4; break;
    }
}

std::uint8_t TShipGrid::HeadingSector(float heading)
{
    if (heading < kPi / 4)
        return 0;
    if (heading < 3 * kPi / 4)
        return 2;
    if (heading < 5 * kPi / 4)
        return 4;
    if (heading < 7 * kPi / 4)
        return 6;
    return 0;
}

TShipCellRect TShipGrid::Clip(TShipCellRect rect) const
{
    rect.c0 = std::max(rect.c0, 0);
    rect.r0 = std::max(rect.r0, 0);
    rect.c1 = std::min(rect.c1, static_cast<std::int32_t>(m_Width) - 1);
    rect.r1 = std::min(rect.r1, static_cast<std::int32_t>(m_Height) - 1);
    return rect;
}

TShipCellRect TShipGrid::ClaimRect(std::int32_t c, std::int32_t r, std::uint16_t type, std::uint8_t sector) const
{
    std::int32_t a = 0, b = 0;
    ShipFootprint(type, a, b);
    if (sector == 0 || sector == 4)
        return Clip({c - a, r - (b + 2), c + a, r + (b + 2)});
    return Clip({c - (a + 1), r - b, c + (a + 1), r + b});
}

TShipCellRect TShipGrid::ClearRect(std::int32_t c, std::int32_t r, std::uint16_t type) const
{
    std::int32_t a = 0, b = 0;
    ShipFootprint(type, a, b);
    return Clip({c - (a + 1), r - (b + 2), c + (a + 1), r + (b + 2)});
}

void TShipGrid::ClearTags(const TShipCellRect& rect)
{
    for (std::int32_t r = rect.r0; r <= rect.r1; ++r)
        for (std::int32_t c = rect.c0; c <= rect.c1; ++c)
            if (CellValue(c, r) == SHIP_CELL_TAKEN)
                SetCellValue(c, r, SHIP_CELL_FREE);
}

void TShipGrid::ClaimTags(const TShipCellRect& rect)
{
    for (std::int32_t r = rect.r0; r <= rect.r1; ++r)
        for (std::int32_t c = rect.c0; c <= rect.c1; ++c)
            if (CellValue(c, r) == SHIP_CELL_FREE)
                SetCellValue(c, r, SHIP_CELL_TAKEN);
}

bool TShipGrid::Claim(const TShipEntry& entry)
{
    TShipFields f;
    if (!ReadShip(entry.ship, f) || f.dead)
        return false;
    ClaimTags(ClaimRect(entry.column, entry.row, f.type, HeadingSector(f.heading)));
    return true;
}

void TShipGrid::AddShipToList(const TUnit* ship)
{
    TShipFields f;
    ReadShip(ship, f);
    m_Ships.push_back({ship, CellCoord(f.x, m_FactorX), CellCoord(f.y, m_FactorY)});
}

void TShipGrid::RemoveShipFromList(const TUnit* ship)
{
    // The ship's tags go with it; left behind they would block the water for good.
    for (const TShipEntry& e : m_Ships)
        if (e.ship == ship) {
            TShipFields f;
            ReadShip(ship, f);
            ClearTags(ClearRect(e.column, e.row, f.type));
        }
    std::erase_if(m_Ships, [ship](const TShipEntry& e) { return e.ship == ship; });
}

void TShipGrid::RefreshShipCells()
{
    if (m_Ships.empty())
        return;
    for (const TShipEntry& e : m_Ships) {
        TShipFields f;
        ReadShip(e.ship, f);
        ClearTags(ClearRect(e.column, e.row, f.type));
    }
    for (TShipEntry& e : m_Ships) {
        TShipFields f;
        if (!ReadShip(e.ship, f) || f.dead)
            continue;
        e.column = CellCoord(f.x, m_FactorX);
        e.row = CellCoord(f.y, m_FactorY);
        ClaimTags(ClaimRect(e.column, e.row, f.type, HeadingSector(f.heading)));
    }
}

void TShipGrid::UpdateShipCells(const TUnit* ship)
{
    const auto it = std::find_if(m_Ships.begin(), m_Ships.end(), [ship](const TShipEntry& e) { return e.ship == ship; });
    if (it == m_Ships.end())
        return;
    TShipFields f;
    ReadShip(ship, f);
    ClearTags(ClearRect(it->column, it->row, f.type));
    for (const TShipEntry& other : m_Ships)
        if (other.ship != ship && std::abs(other.column - it->column) < 5 && std::abs(other.row - it->row) < 6)
            Claim(other);
}

void TShipGrid::UpdateShipHeading(const TUnit* ship)
{
    const auto it = std::find_if(m_Ships.begin(), m_Ships.end(), [ship](const TShipEntry& e) { return e.ship == ship; });
    if (it != m_Ships.end())
        Claim(*it);
}

bool TShipGrid::IsOpenWaterAt(std::int32_t tileX, std::int32_t tileY, float px, float py) const
{
    if (!m_pWater)
        return false;
    auto waterTileFree = [&](const plat::Point& t) {
        if (!IsTileInMap(t)) {
            ReportMapOverrun(kMsgGetObjectPoint);
            return true;
        }
        return m_pWater->GetWaterKind(t.x, t.y) != 0 && !(g_pObjectMap && IsHouseOrTrench(GetObjectFromMap(t)));
    };
    const plat::Point tile{tileX, tileY};
    if (!IsTileInMap(tile) || !waterTileFree(tile))
        return false;
    for (std::uint8_t d : {1, 4, 2, 3}) {
        const plat::Point n = GetNeighbourPoint(tile, d);
        if (IsTileInMap(n) && !waterTileFree(n))
            return false;
    }
    return !(g_WaterServices.shipQuery && g_WaterServices.shipQuery(px, py, 255));
}

void RefreshShipTags()
{
    if (g_pWater && g_pWater->m_pShipGrid)
        g_pWater->m_pShipGrid->RefreshShipCells();
}

void RebuildShipGrid(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    if (g_pWater && g_pWater->m_pShipGrid) {
        const TTileRect tiles{x0, y0, x1, y1};
        g_pWater->m_pShipGrid->RebuildShipGrid(&tiles);
    }
}
