#include "map/water.h"
#include "map/site_queries.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "combat/effects.h"
#include "combat/ships.h"
#include "core/error_log.h"
#include "core/app_state.h"
#include "core/geometry.h"
#include "core/memory_stream.h"
#include "devices/animation.h"
#include "devices/cursor_state.h"
#include "devices/display.h"
#include "devices/image_files.h"
#include "editor/editor.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/ship_grid.h"
#include "platform/draw.h"
#include "platform/texture.h"
#include "units/unit.h"

TWaterMap* g_pWater = nullptr;
std::uint32_t g_bLandMap = 1;

namespace {

bool ReadShipFields(const TUnit* unit, TShipFields& out)
{
    TShipGridFields f;
    if (!GetShipGridFields(unit, f))
        return false;
    out.x = f.x;
    out.y = f.y;
    out.heading = f.heading;
    out.type = f.type;
    out.dead = f.dead;
    return true;
}

plat::Texture* NoPlainTexture()
{
    return nullptr;
}

} // namespace

TWaterServices g_WaterServices{};

void ResetWaterServices()
{
    g_WaterServices.getShipFields = ReadShipFields;
    g_WaterServices.shipQuery = ShipQuery;
    g_WaterServices.plainTexture = NoPlainTexture;
    g_WaterServices.editorEraseOn = EditorWaterEraseOn;
    g_WaterServices.editorMapPoint = EditorCurrentMapPoint;
    g_WaterServices.editorTile = EditorCurrentTile;
}

namespace {
// The real services are bound before main runs, so no caller ever meets an empty table.
const bool g_WaterServicesBound = (ResetWaterServices(), true);
} // namespace

int TWaterAnimation::FrameCount() const
{
    return sets.empty() || !sets[0] ? 0 : sets[0]->m_Count;
}

plat::Texture* TWaterAnimation::FrameTexture(int index) const
{
    return sets.empty() || !sets[0] ? nullptr : sets[0]->FrameTexture(index);
}

TWaterMap::TWaterMap()
{
    InitWater();
}

TWaterMap::~TWaterMap()
{
    FreeWater();
}

void TWaterMap::InitWater()
{
    FreeCoastLines();
    CoastZoneCount = 0;
    m_CurrentLook = 1;
    m_CurrentKind = 0;
    m_pBrushTexture = LoadTextureFromFile("Data\\Misc\\Water\\Brush.bmp");
    if (!LoadWaterAnimation(m_WaterAnim[0], "Data\\Misc\\Water\\Anim0\\Anim_", 1)) {
        ReportError("m_WaterAnim[0] FAILED");
        return;
    }
    m_WaterAnimLoaded = 1;
    if (!LoadWaterAnimation(m_CoastWaterAnim[0], "Data\\Misc\\Water\\CoastWater0_", 1)) {
        ReportError("m_CoastWaterAnim[0] FAILED");
        return;
    }
    for (int i = 0; i < WATER_LIGHT_SPOTS; ++i) {
        const std::string path = "Data\\Misc\\Water\\LightSpots\\LSpot" + std::to_string(i) + ".444";
        TLightSpotPicture& p = m_LightSpotPictures[i];
        p.texture = Load444Texture(path.c_str());
        if (p.texture) {
            p.width = static_cast<std::uint16_t>(p.texture->Width());
            p.height = static_cast<std::uint16_t>(p.texture->Height());
        }
    }
    if (g_bEditorMode && !m_pCoverSurface)
        m_pCoverSurface = CreateOffscreenSurface(WATER_CELL_WIDTH, WATER_CELL_HEIGHT, 0, true);
    m_WaterColor = MakeColor16(WATER_MINIMAP_RGB[0], WATER_MINIMAP_RGB[1], WATER_MINIMAP_RGB[2]);
    if (!g_pParticleSystems)
        g_pParticleSystems = CreateParticleSystemList();
}

bool TWaterMap::LoadWaterAnimation(TWaterAnimation& animation, const char* basePath, int count)
{
    animation.sets.clear();
    animation.currentFrame = 0.0f;
    for (int i = 0; i < count; ++i) {
        auto set = std::make_unique<TAnimationSprites>();
        const std::string path = std::string(basePath) + std::to_string(i) + ".les";
        if (set->LoadAnimationFromArhive(path.c_str(), ANIMATION_FORMAT_4444) <= 0) {
            animation.sets.clear();
            return false;
        }
        animation.sets.push_back(std::move(set));
    }
    return true;
}

void TWaterMap::FreeWater()
{
    if (g_pParticleSystems) {
        ParticlesClear(g_pParticleSystems);
        DeleteParticleSystemList(g_pParticleSystems);
        g_pParticleSystems = nullptr;
    }
    if (m_pBrushTexture) {
        m_pBrushTexture->Release();
        m_pBrushTexture = nullptr;
    }
    FreeWaterGrid();
    for (TWaterAnimation& a : m_WaterAnim)
        a = TWaterAnimation{};
    for (TWaterAnimation& a : m_CoastWaterAnim)
        a = TWaterAnimation{};
    m_WaterAnimLoaded = 0;
    delete m_pCoverSurface;
    m_pCoverSurface = nullptr;
    for (TLightSpotPicture& p : m_LightSpotPictures) {
        if (p.texture)
            p.texture->Release();
        p = TLightSpotPicture{};
    }
    m_LightSpots.clear();
    m_LightSpots.shrink_to_fit();
    FreeCoastLines();
}

bool TWaterMap::CreateWaterGrid(std::uint16_t mapWidth, std::uint16_t mapHeight)
{
    FreeWaterGrid();
    // Sizes kept over the freed grid would let a later cell read index past it.
    m_Width = 0;
    m_Height = 0;
    m_CellCount = 0;
    if (mapWidth > 0x7FFF) {
        ReportErrorInt("CreateWaterGrid: map too wide ", mapWidth);
        return false;
    }
    m_Width = static_cast<std::uint16_t>(mapWidth * 2);
    m_Height = mapHeight;
    m_MiniMapFactorX = static_cast<float>(m_Width * 0.005);
    m_MiniMapFactorY = static_cast<float>(m_Height * 0.005);
    m_CellCount = static_cast<std::uint32_t>(m_Width) * m_Height;
    m_pShipGrid = std::make_unique<TShipGrid>(mapWidth, mapHeight / 2u);
    SetWaterScreenParams();
    m_Grid.assign(m_CellCount, 0);
    if (g_bEditorMode)
        m_Zones.assign(MAX_COAST_NUM, TCoastZone{});
    CoastZoneCount = 0;
    return true;
}

bool CreateWaterGrid(std::uint16_t width, std::uint16_t height)
{
    // The map can be set up before any water object exists (tools, tests of other layers).
    return !g_pWater || g_pWater->CreateWaterGrid(width, height);
}

void TWaterMap::FreeWaterGrid()
{
    m_pShipGrid.reset();
    m_Zones.clear();
    m_Zones.shrink_to_fit();
    CoastZoneCount = 0;
    m_Grid.clear();
    m_Grid.shrink_to_fit();
}

void TWaterMap::ClearWaterGrid()
{
    std::fill(m_Grid.begin(), m_Grid.end(), 0);
}

void TWaterMap::SetWaterScreenParams()
{
    switch (g_ScreenWidth) {
    case 1024: m_VisibleCols = 22; m_VisibleRows = 32; break;
    case 1152: m_VisibleCols = 24; m_VisibleRows = 36; break;
    case 1280:
        m_VisibleCols = 27;
        m_VisibleRows = g_ScreenHeight == 1024 ? 43 : 40;
        break;
    case 1600: m_VisibleCols = 35; m_VisibleRows = 51; break;
    default: break;
    }
    m_LightSpotCapacity = static_cast<std::uint16_t>((m_VisibleCols + 8) * (m_VisibleRows + 16));
    m_LightSpots.clear();
    m_LightSpots.reserve(m_LightSpotCapacity);
    if (m_VisibleCols > 0 && m_VisibleRows > 0) {
        m_TexStepU = 3 * 0.99999f / m_VisibleCols;
        m_TexStepV = -3 * 0.99999f / m_VisibleRows;
    }
}

std::uint16_t TWaterMap::Cell(std::int32_t column, std::int32_t row) const
{
    return InGrid(column, row) ? m_Grid[static_cast<std::size_t>(row) * m_Width + column] : 0;
}

void TWaterMap::SetCell(std::int32_t column, std::int32_t row, std::uint16_t value)
{
    if (InGrid(column, row))
        m_Grid[static_cast<std::size_t>(row) * m_Width + column] = value;
}

std::uint16_t TWaterMap::CellWaterValue(std::uint16_t cell) const
{
    if (!(cell & WATER_COAST_BIT))
        return cell;
    const std::uint16_t zone = cell & WATER_ZONE_MASK;
    return zone < CoastZoneCount && zone < m_Zones.size() ? m_Zones[zone].value : 0;
}

namespace {

std::uint8_t KindOfCell(std::uint16_t cell)
{
    if (cell == 0)
        return 0;
    return (cell & WATER_COAST_BIT) ? 2 : 1;
}

std::int32_t TileHeight(std::int32_t x, std::int32_t y)
{
    return g_pHeightMap ? GetHeightFromMap(static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y)) : 0;
}

} // namespace

std::uint8_t TWaterMap::GetWaterKind(std::int32_t x, std::int32_t y) const
{
    const std::int32_t w = m_Width / 2;
    if (x < 0 || y < 0 || x >= w || y >= m_Height)
        return 0;
    const std::int32_t px = (2 * x - ((y & 1) == 0 ? 1 : 0)) * 48;
    const std::int32_t py = y * 24 - TileHeight(x, y);
    if (px < 1 || py < 26 || px >= w * 96 - 100 || py >= m_Height * 24 - 25)
        return 0;
    return KindOfCell(Cell(px / WATER_CELL_WIDTH, py / WATER_CELL_HEIGHT));
}

bool TWaterMap::IsTileOnWater(std::int32_t x, std::int32_t y) const
{
    const std::int32_t w = m_Width / 2;
    if (x < 3 || x > w - 4 || y < 3 || y > m_Height - 4)
        return false;
    const plat::Point n = GetNeighbourPoint({x, y}, 2);
    const plat::Point m{n.x, n.y - 2};
    const std::int32_t py1 = CellPointInMap(n) ? GetCoordsUseTile(n).y : (ReportMapOverrun("GetCoordsUseTile"), 0);
    const std::int32_t py2 = CellPointInMap(m) ? GetCoordsUseTile(m).y : (ReportMapOverrun("GetCoordsUseTile"), 0);
    if (py1 < 0 || py2 < 0)
        return false;
    const std::int32_t px = TileToPixel(n).x;
    return px >= 0 && Cell(px / WATER_CELL_WIDTH, ((py1 + py2) / 2) / WATER_CELL_HEIGHT) != 0;
}

bool TWaterMap::IsTileInWaterGrid(std::int32_t x, std::int32_t y) const
{
    return m_Grid.size() >= m_CellCount && WaterGridAtMiniMapPixel(m_Grid.data(), m_Width, m_Height, x, y);
}

bool WaterGridAtMiniMapPixel(const std::uint16_t* grid, std::int32_t columns, std::int32_t rows, std::int32_t x,
                             std::int32_t y)
{
    const float fx = x * static_cast<float>(columns * 0.005);
    const float fy = y * static_cast<float>(rows * 0.005);
    if (grid == nullptr || fx < 0 || fy < 0 || fx >= columns || fy >= rows)
        return false;
    const auto column = static_cast<std::int32_t>(std::floor(fx));
    const auto row = static_cast<std::int32_t>(std::floor(fy));
    return grid[static_cast<std::size_t>(row) * columns + column] != 0;
}

namespace {

// The water block as read: nothing of the game changes until the whole block has passed.
struct TWaterBlock {
    std::vector<std::uint16_t> grid;
    std::vector<TCoastZone> zones;
    std::uint16_t zoneCount = 0;
    std::uint32_t openWater = 0;
};

bool ParseWaterBlock(TIfStreamMemory& in, std::uint32_t cellCount, TWaterBlock& block)
{
    std::vector<std::uint16_t>& grid = block.grid;
    grid.assign(cellCount, 0);
    if (in.Remaining() / 2 < static_cast<std::int64_t>(cellCount)) {
        ReportError("LoadWater: the water block ends inside the cells");
        return false;
    }
    for (std::uint16_t& cell : grid)
        in.ReadU16(cell);
    std::uint16_t zoneCount = 0;
    if (!in.ReadU16(zoneCount)) {
        ReportError("LoadWater: the water block ends before the zone count");
        return false;
    }
    if (zoneCount > MAX_COAST_NUM) {
        ReportErrorInt("LoadWater: more coast zones than the table holds: ", zoneCount);
        return false;
    }
    std::vector<TCoastZone>& zones = block.zones;
    zones.assign(zoneCount, TCoastZone{});
    for (TCoastZone& zone : zones) {
        std::uint8_t arcCount = 0;
        in.ReadU8(arcCount);
        in.ReadU16(zone.value);
        if (in.Failed() || in.Remaining() < arcCount) {
            ReportError("LoadWater: the water block ends inside a coast zone");
            return false;
        }
        zone.arcs.resize(arcCount);
        for (TCoastArc& arc : zone.arcs) {
            std::uint8_t pointCount = 0;
            if (!in.ReadU8(pointCount) || in.Remaining() < 2 * pointCount) {
                ReportError("LoadWater: the water block ends inside a coast arc");
                return false;
            }
            arc.points.resize(pointCount);
            for (TCoastPoint& p : arc.points) {
                in.ReadU8(p.x);
                in.ReadU8(p.y);
            }
        }
    }
    std::uint32_t openWater = 0;
    for (std::uint16_t cell : grid) {
        if ((cell & WATER_COAST_BIT) && (cell & WATER_ZONE_MASK) >= zoneCount) {
            ReportErrorInt("LoadWater: a coast cell names a zone beyond the table: ", cell & WATER_ZONE_MASK);
            return false;
        }
        if (cell != 0 && cell < WATER_COAST_BIT)
            ++openWater;
    }
    block.zoneCount = zoneCount;
    block.openWater = openWater;
    return true;
}

} // namespace

bool TWaterMap::CheckWaterBlock(TIfStreamMemory& in, std::uint16_t mapWidth, std::uint16_t mapHeight)
{
    TWaterBlock block;
    return mapWidth <= 0x7FFF && ParseWaterBlock(in, std::uint32_t{mapWidth} * 2u * mapHeight, block);
}

bool TWaterMap::LoadWater(TIfStreamMemory& in)
{
    // Everything is parsed before anything changes, so a refused block leaves the water as it was.
    TWaterBlock block;
    if (!ParseWaterBlock(in, m_CellCount, block))
        return false;
    std::vector<std::uint16_t>& grid = block.grid;
    std::vector<TCoastZone>& zones = block.zones;
    const std::uint16_t zoneCount = block.zoneCount;
    const std::uint32_t openWater = block.openWater;

    m_Grid = std::move(grid);
    if (g_bEditorMode) {
        m_Zones.assign(MAX_COAST_NUM, TCoastZone{});
        std::move(zones.begin(), zones.end(), m_Zones.begin());
    } else {
        m_Zones = std::move(zones);
    }
    CoastZoneCount = zoneCount;
    if (openWater > m_CellCount / 3)
        g_bLandMap = 0;
    if (m_pShipGrid) {
        m_pShipGrid->m_pWater = this;
        m_pShipGrid->RebuildShipGrid(nullptr);
    }
    return true;
}

bool TWaterMap::SaveWater(TOfStreamMemory& out) const
{
    for (std::uint16_t cell : m_Grid)
        out.WriteU16(cell);
    out.WriteU16(CoastZoneCount);
    for (std::uint16_t i = 0; i < CoastZoneCount && i < m_Zones.size(); ++i) {
        const TCoastZone& zone = m_Zones[i];
        out.WriteU8(static_cast<std::uint8_t>(zone.arcs.size()));
        out.WriteU16(zone.value);
        for (const TCoastArc& arc : zone.arcs) {
            out.WriteU8(static_cast<std::uint8_t>(arc.points.size()));
            for (const TCoastPoint& p : arc.points) {
                out.WriteU8(p.x);
                out.WriteU8(p.y);
            }
        }
    }
    return true;
}

std::uint16_t TWaterMap::FreshWaterValue() const
{
    return static_cast<std::uint16_t>(((m_CurrentKind & 0xF) << WATER_KIND_SHIFT) | (m_CurrentLook & WATER_LOOK_MASK));
}

void TWaterMap::SetWaterBrushSize(std::uint8_t size)
{
    // The digit keys give 0..9; the outline store is sized for the largest brush.
    size = std::min<std::uint8_t>(size, WATER_BRUSH_MAX_SIZE);
    m_SelectNum = size;
    const int count = size == 9 ? 420 : 25 * size;
    m_BrushPointCount = count;
    m_BrushRadiusX = size == 9 ? 720.0f : 40.0f * size;
    m_BrushRadiusY = size == 9 ? 360.0f : 20.0f * size;
    m_BrushX.fill(0.0f);
    m_BrushY.fill(0.0f);
    if (count < 2)
        return;
    m_BrushAngleStep = 2 * 3.14159265358979323846 / (count - 1);
    m_BrushSin = std::sin(m_BrushAngleStep);
    m_BrushCos = std::cos(m_BrushAngleStep);
    const double ratioXY = static_cast<double>(m_BrushRadiusX) / m_BrushRadiusY;
    const double ratioYX = static_cast<double>(m_BrushRadiusY) / m_BrushRadiusX;
    double x = m_BrushRadiusX, y = 0.0;
    for (int i = 0; i < count; ++i) {
        m_BrushX[i] = static_cast<float>(x);
        m_BrushY[i] = static_cast<float>(y);
        const double nx = x * m_BrushCos - y * m_BrushSin * ratioXY;
        const double ny = x * m_BrushSin * ratioYX + y * m_BrushCos;
        x = nx;
        y = ny;
    }
    m_BrushX[count] = m_BrushX[0];
    m_BrushY[count] = m_BrushY[0];
}

bool TWaterMap::InsideBrush(double screenX, double screenY) const
{
    if (!(m_BrushRadiusX > 0.0f) || !(m_BrushRadiusY > 0.0f))
        return false;
    const double dx = (screenX - m_BrushCenterX) / m_BrushRadiusX;
    const double dy = (screenY - m_BrushCenterY) / m_BrushRadiusY;
    return dx * dx + dy * dy < 1.0;
}

namespace {
constexpr plat::Point kCellCorners[4] = {{0, 0}, {48, 0}, {48, 24}, {0, 24}};
} // namespace

void TWaterMap::PaintWaterBrush(std::int32_t x, std::int32_t y)
{
    m_BrushPointX = x;
    m_BrushPointY = y;
    m_BrushCenterX = g_MouseX;
    m_BrushCenterY = g_MouseY;
    m_bCoastEdit = 1;
    const double reachX = 1.5 * m_BrushRadiusX, reachY = 1.5 * m_BrushRadiusY;
    const std::int32_t c0 = std::max(0, static_cast<std::int32_t>(std::ceil((x - reachX) / WATER_CELL_WIDTH)));
    const std::int32_t c1 = std::min<std::int32_t>(m_Width - 1, static_cast<std::int32_t>(std::floor((x + reachX) / WATER_CELL_WIDTH)));
    const std::int32_t r0 = std::max(0, static_cast<std::int32_t>(std::ceil((y - reachY) / WATER_CELL_HEIGHT)));
    const std::int32_t r1 = std::min<std::int32_t>(m_Height - 1, static_cast<std::int32_t>(std::floor((y + reachY) / WATER_CELL_HEIGHT)));
    for (std::int32_t r = r0; r <= r1; ++r)
        for (std::int32_t c = c0; c <= c1; ++c) {
            const std::int32_t sx = c * WATER_CELL_WIDTH - g_ViewPixelX;
            const std::int32_t sy = r * WATER_CELL_HEIGHT - g_ViewPixelY;
            int inside = 0;
            for (const plat::Point& k : kCellCorners)
                inside += InsideBrush(sx + k.x, sy + k.y) ? 1 : 0;
            if (inside == 0)
                continue;
            const std::uint16_t cell = Cell(c, r);
            if (cell != 0 && !(cell & WATER_COAST_BIT)) {
                SetCell(c, r, FreshWaterValue());
            } else if (inside == 4) {
                if (cell & WATER_COAST_BIT)
                    DestroyCoastWater(cell & WATER_ZONE_MASK);
                SetCell(c, r, FreshWaterValue());
            } else if (cell == 0) {
                AddCoastZone(c, r);
            } else {
                ChangeCoastZone(cell & WATER_ZONE_MASK, c, r);
            }
        }
}

bool TWaterMap::BuildCoastArcs(std::int32_t column, std::int32_t row, TCoastArc& arc) const
{
    const std::int32_t sx = column * WATER_CELL_WIDTH - g_ViewPixelX;
    const std::int32_t sy = row * WATER_CELL_HEIGHT - g_ViewPixelY;
    int reference = -1;
    for (int i = 0; i < 4 && reference < 0; ++i)
        if (InsideBrush(sx + kCellCorners[i].x, sy + kCellCorners[i].y))
            reference = i;
    if (reference < 0)
        return false;
    const plat::Point ref = kCellCorners[reference];

    struct Candidate {
        plat::Point p;
        double key;
    };
    std::vector<Candidate> candidates;
    auto add = [&](plat::Point p) {
        if (candidates.size() >= MAX_ARC_POINTS)
            return;
        const double dx = p.x - ref.x, dy = p.y - ref.y;
        const double d = std::sqrt(dx * dx + dy * dy);
        candidates.push_back({p, d > 0.0 ? dy / d : 0.0});
    };

    const std::array<plat::Point, 5> outline = {kCellCorners[0], kCellCorners[1], kCellCorners[2], kCellCorners[3],
                                                kCellCorners[0]};
    const double baseX = static_cast<double>(m_BrushPointX) - column * WATER_CELL_WIDTH;
    const double baseY = static_cast<double>(m_BrushPointY) - row * WATER_CELL_HEIGHT;
    auto outlinePoint = [&](int i) {
        return plat::Point{static_cast<std::int32_t>(baseX + m_BrushX[i]), static_cast<std::int32_t>(baseY + m_BrushY[i])};
    };
    for (int i = 0; i < m_BrushPointCount; ++i) {
        const plat::Point p = outlinePoint(i);
        if (PointInQuad(outline, p.x, p.y))
            add(p);
    }
    for (int i = 0; i < m_BrushPointCount; ++i) {
        const plat::Point a = outlinePoint(i), b = outlinePoint(i + 1);
        for (int e = 0; e < 4; ++e) {
            plat::Point hit;
            if (SegmentsIntersect(a, b, outline[e], outline[e + 1], hit))
                add(hit);
        }
    }
    for (int i = 0; i < 4; ++i)
        if (i != reference && InsideBrush(sx + kCellCorners[i].x, sy + kCellCorners[i].y))
            add(kCellCorners[i]);
    if (candidates.empty())
        return false;

    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.key < b.key; });
    auto toCoast = [](plat::Point p) {
        return TCoastPoint{static_cast<std::uint8_t>(std::clamp(p.x, 0, WATER_CELL_WIDTH)),
                           static_cast<std::uint8_t>(std::clamp(p.y, 0, WATER_CELL_HEIGHT))};
    };
    arc.points.clear();
    arc.points.push_back(toCoast(ref));
    for (const Candidate& c : candidates) {
        const TCoastPoint p = toCoast(c.p);
        if (!(p == arc.points.back()))
            arc.points.push_back(p);
    }
    if (reference == 1 || reference == 2)
        std::reverse(arc.points.begin(), arc.points.end());
    return true;
}

bool TWaterMap::IsPointInArc(const TCoastArc& arc, std::int32_t x, std::int32_t y) const
{
    const std::size_t n = arc.points.size();
    if (n == 0)
        return false;
    bool inside = false;
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const std::int64_t xi = arc.points[i].x, yi = arc.points[i].y;
        const std::int64_t xj = arc.points[j].x, yj = arc.points[j].y;
        const std::int64_t cross = (xj - xi) * (y - yi) - (yj - yi) * (x - xi);
        if (cross == 0 && x >= std::min(xi, xj) && x <= std::max(xi, xj) && y >= std::min(yi, yj)
            && y <= std::max(yi, yj))
            return true;
        if ((yi > y) != (yj > y)) {
            const double crossingX = xi + static_cast<double>(xj - xi) * (y - yi) / static_cast<double>(yj - yi);
            if (x < crossingX)
                inside = !inside;
        }
    }
    return inside;
}

void TWaterMap::ChangeCoastZone(std::uint16_t zone, std::int32_t column, std::int32_t row)
{
    if (zone >= CoastZoneCount || zone >= m_Zones.size())
        return;
    TCoastArc added;
    if (!BuildCoastArcs(column, row, added))
        return;
    TCoastZone& target = m_Zones[zone];
    std::vector<TCoastArc> kept;
    for (const TCoastArc& arc : target.arcs) {
        const bool addsNothing = std::all_of(added.points.begin(), added.points.end(),
                                             [&](const TCoastPoint& p) { return IsPointInArc(arc, p.x, p.y); });
        if (addsNothing)
            return;
        const bool covered = !arc.points.empty()
            && std::all_of(arc.points.begin(), arc.points.end(),
                           [&](const TCoastPoint& p) { return IsPointInArc(added, p.x, p.y); });
        if (!covered && !arc.points.empty())
            kept.push_back(arc);
    }
    if (kept.size() + 1 > MAX_COAST_ARCS) {
        ReportError("ChangeCoastZone(): Count >= 256");
        return;
    }
    kept.push_back(std::move(added));
    target.arcs = std::move(kept);
    if (CoverTest(target)) {
        DestroyCoastWater(zone);
        SetCell(column, row, FreshWaterValue());
    }
}

bool TWaterMap::CoverTest(const TCoastZone& zone)
{
    // Drawn by the display's even-odd filler: a cell counts as covered when its arcs leave no
    // pixel of the cell's picture unpainted.
    if (!m_pCoverSurface)
        m_pCoverSurface = CreateOffscreenSurface(WATER_CELL_WIDTH, WATER_CELL_HEIGHT, 0, true);
    plat::Surface* surface = m_pCoverSurface;
    if (!surface)
        return true;
    FillSurface(surface, 0);
    {
        plat::DrawContext dc(surface);
        dc.SelectPen({plat::kPenSolid, 1, 0xFFFFFF});
        dc.SelectBrush({false, 0xFFFFFF});
        std::vector<plat::Point> points;
        for (const TCoastArc& arc : zone.arcs) {
            points.clear();
            for (const TCoastPoint& p : arc.points)
                points.push_back({p.x, p.y});
            if (!points.empty())
                dc.Polygon(points.data(), points.size());
        }
    }
    bool covered = true;
    plat::LockedArea area;
    if (surface->Lock(nullptr, area)) {
        for (int y = 0; y < area.height && covered; ++y) {
            const auto* row = reinterpret_cast<const std::uint16_t*>(area.bits + static_cast<std::ptrdiff_t>(y) * area.pitch);
            for (int x = 0; x < area.width; ++x)
                if (row[x] == 0) {
                    covered = false;
                    break;
                }
        }
        surface->Unlock();
    }
    FillSurface(surface, 0);
    return covered;
}

void TWaterMap::AddCoastZone(std::int32_t column, std::int32_t row)
{
    if (CoastZoneCount >= MAX_COAST_NUM) {
        ReportError("CoastZoneCount == MAX_COAST_NUM");
        return;
    }
    TCoastArc arc;
    if (!BuildCoastArcs(column, row, arc))
        return;
    if (m_Zones.size() <= CoastZoneCount)
        m_Zones.resize(CoastZoneCount + 1u);
    TCoastZone& zone = m_Zones[CoastZoneCount];
    zone.arcs.clear();
    zone.arcs.push_back(std::move(arc));
    zone.value = FreshWaterValue();
    SetCell(column, row, static_cast<std::uint16_t>(WATER_COAST_BIT | CoastZoneCount));
    ++CoastZoneCount;
}

void TWaterMap::DestroyCoastWater(std::uint16_t zone)
{
    if (zone >= CoastZoneCount || zone >= m_Zones.size()) {
        ReportError("DestroyCoastWater(): CoastZoneCount-1-Num < 0");
        return;
    }
    m_Zones.erase(m_Zones.begin() + zone);
    if (g_bEditorMode)
        m_Zones.emplace_back();
    --CoastZoneCount;
    for (std::uint16_t& cell : m_Grid)
        if ((cell & WATER_COAST_BIT) && (cell & WATER_ZONE_MASK) > zone)
            --cell;
}

void TWaterMap::EraseWaterBrush(std::int32_t x, std::int32_t y)
{
    const std::int32_t n = m_SelectNum;
    const plat::Point centre = PixelToWaterCell(x, y);
    for (std::int32_t r = centre.y - n; r <= centre.y + n; ++r)
        for (std::int32_t c = centre.x - n; c <= centre.x + n; ++c) {
            if (!InGrid(c, r))
                continue;
            const std::uint16_t cell = Cell(c, r);
            if (cell & WATER_COAST_BIT)
                DestroyCoastWater(cell & WATER_ZONE_MASK);
            SetCell(c, r, 0);
        }
}

void TWaterMap::SetWaterCellAnimIndex(std::int32_t x, std::int32_t y)
{
    const std::uint8_t k = m_SelectNum;
    m_LastLightSpot = k;
    if (k >= 8 || (k > 0 && !m_LightSpotPictures[k - 1].texture))
        return;
    if (x < 0 || y < 0)
        return;
    const plat::Point p = PixelToWaterCell(x, y);
    const std::uint16_t cell = Cell(p.x, p.y);
    if (cell == 0 || (cell & WATER_COAST_BIT))
        return;
    SetCell(p.x, p.y, static_cast<std::uint16_t>((cell & ~WATER_SPOT_MASK) | (k << WATER_SPOT_SHIFT)));
}

bool IsTileOnWater(std::int32_t x, std::int32_t y)
{
    return g_pWater != nullptr && g_pWater->IsTileOnWater(x, y);
}
