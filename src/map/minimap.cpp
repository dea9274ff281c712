#include "map/minimap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "core/archive.h"
#include "core/error_log.h"
#include "core/file_bytes.h"
#include "core/app_state.h"
#include "core/memory_stream.h"
#include "core/settings.h"
#include "devices/animation.h"
#include "devices/cursor_state.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/image_files.h"
#include "devices/quads.h"
#include "map/fog.h"
#include "map/map_view.h"
#include "map/site_queries.h"
#include "map/water.h"
#include "platform/bytes.h"
#include "platform/draw.h"
#include "platform/surface.h"
#include "platform/texture.h"
#include "players/strateg.h"
#include "ui/panel.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"

std::uint8_t g_bMiniMapShown = 1;
std::uint8_t g_MiniMapClick = 0;
std::uint16_t g_MiniMapLeft = 0;
std::uint16_t g_MiniMapTop = 0;

float g_MiniMapScaleX = 0.0f;
float g_MiniMapScaleY = 0.0f;
float g_MiniMapPixelScaleX = 0.0f;
float g_MiniMapPixelScaleY = 0.0f;

plat::Surface* g_pMiniMapSurface = nullptr;
plat::Surface* g_pMiniMapBevelUp = nullptr;
plat::Surface* g_pMiniMapBevelLeft = nullptr;
TAnimationBank* g_pMiniMapIndicatorBank = nullptr;
std::vector<TAnimationStruct*> g_MiniMapIndicators;

namespace {

constexpr const char* kBevelUpName = "MiniMapBevelUp.bmp";
constexpr const char* kBevelLeftName = "MiniMapBevelleft.bmp";
constexpr const char* kLandTexturesPath = "Data\\LandTextures\\LandTextures.dat";
constexpr const char* kCreateFailed = "CreateMiniMap() FAILED";
// Map kind of the special maps, whose selection colour differs.
constexpr std::uint32_t kSpecialMapKind = 3;

// A cell column or row of a minimap pixel, as the colour formula truncates it.
std::int32_t CellOfPixel(std::int32_t pixel, float scale)
{
    return static_cast<std::int32_t>(static_cast<float>(pixel) * scale);
}

// The minimap point of a cell; false when it falls outside the picture.
bool CellToPixel(std::int32_t cx, std::int32_t cy, std::int32_t& px, std::int32_t& py)
{
    if (!(g_MiniMapScaleX > 0.0f) || !(g_MiniMapScaleY > 0.0f))
        return false;
    const double fx = std::trunc(cx / static_cast<double>(g_MiniMapScaleX));
    const double fy = std::trunc(cy / static_cast<double>(g_MiniMapScaleY));
    if (!(fx >= 0.0 && fx < MINIMAP_SIZE && fy >= 0.0 && fy < MINIMAP_SIZE))
        return false;
    px = static_cast<std::int32_t>(fx);
    py = static_cast<std::int32_t>(fy);
    return true;
}

std::uint16_t* PixelAt(const plat::LockedArea& area, std::int32_t x, std::int32_t y)
{
    return reinterpret_cast<std::uint16_t*>(area.bits + static_cast<std::size_t>(y) * area.pitch) + x;
}

void SetAreaPixel(const plat::LockedArea& area, std::int32_t px, std::int32_t py, std::uint16_t color)
{
    if (px >= 0 && py >= 0 && px < area.width && py < area.height)
        *PixelAt(area, px, py) = color;
}

void SetCellPixel(const plat::LockedArea& area, std::int32_t cx, std::int32_t cy, std::uint16_t color)
{
    std::int32_t px = 0, py = 0;
    if (CellToPixel(cx, cy, px, py))
        SetAreaPixel(area, px, py, color);
}

void ReleaseIndicators()
{
    for (TAnimationStruct* a : g_MiniMapIndicators)
        delete a;
    g_MiniMapIndicators.clear();
}

plat::Surface* LoadBevel(const char* name)
{
    std::uint32_t size = 0;
    std::uint8_t* entry = LoadLesEntry(LES_SLOT_INTERFACE, name, 0, &size);
    if (!entry)
        return nullptr;
    plat::Surface* surface = CreateSurfaceFromBmpMemory({entry, size});
    FreeLesEntry(entry);
    return surface;
}

void LoadLandColorsIfMissing()
{
    if (!g_LandColors.empty())
        return;
    std::vector<std::uint8_t> file;
    if (!ReadGameFile(kLandTexturesPath, file)) {
        ReportError("LandTextures.dat opening ERROR");
        return;
    }
    std::uint16_t count = 0;
    ParseLandTexturesHead(file, count, g_LandColors);
}

std::uint16_t SelectionColor()
{
    return g_MapKind == kSpecialMapKind ? MakeColor16(255, 128, 0) : MakeColor16(140, 140, 140);
}

TMiniMapServices g_Services = DefaultMiniMapServices();

} // namespace

// ---- the picture's pixels -----------------------------------------------------------------------

TMiniMapSource TMiniMapSource::FromLoadedMap(bool withPlayerHouses)
{
    TMiniMapSource s;
    if (!g_pCellInfo || !g_pObjectMap || !g_pHeightMap)
        return s;
    s.width = g_MapWidth;
    s.height = g_MapHeight;
    s.scaleX = g_MiniMapScaleX;
    s.scaleY = g_MiniMapScaleY;
    s.cells = g_pCellInfo;
    s.objects = g_pObjectMap;
    s.heights = g_pHeightMap;
    s.landColors = g_LandColors;
    s.specialPoints = {g_SpecialPoints, std::min<std::size_t>(g_SpecialPointCount, MAP_MAX_SPECIAL_POINTS)};
    if (g_pWater) {
        const TWaterMap* water = g_pWater;
        s.isWater = [water](std::int32_t px, std::int32_t py) { return water->IsTileInWaterGrid(px, py); };
        s.waterColor = water->m_WaterColor;
    }
    s.neutralColor = g_NeutralColor16;
    if (withPlayerHouses) {
        s.playerHouseColor = [](std::uint16_t code, std::uint16_t& color) {
            // The code names a player, an array and an index; any of them may be stale or
            // corrupt, and then the cell shows its terrain.
            const THouse* house = HouseFromObjectCode(code);
            const std::uint32_t player = HouseCodePlayer(code);
            if (house == nullptr || player >= PLAYER_COLORS || house->Destroyed != 0)
                return false;
            color = g_PlayerColors16[player];
            return true;
        };
    }
    s.makeColor = MakeColor16;
    return s;
}

bool MiniMapPixelColor(const TMiniMapSource& source, std::int32_t px, std::int32_t py, std::uint16_t& color)
{
    const std::int32_t r = CellOfPixel(py, source.scaleY);
    const std::int32_t c = CellOfPixel(px, source.scaleX);
    if (r < 0 || c < 0 || c >= source.width || r >= source.height || !source.cells)
        return false;
    const std::size_t i = static_cast<std::size_t>(r) * source.width + static_cast<std::size_t>(c);

    const std::uint16_t o = source.objects ? source.objects[i] : 0;
    if (o >= kObjectNeutralHouseFirst && o <= kObjectNeutralHouseLast) {
        color = source.neutralColor;
        return true;
    }
    if (o >= kObjectPlayerHouseFirst && o <= kObjectPlayerHouseLast && source.playerHouseColor &&
        source.playerHouseColor(o, color))
        return true;
    if (source.isWater && source.isWater(px, py)) {
        color = source.waterColor;
        return true;
    }

    // Texture numbers count from 1; 0, a number beyond the colours and the "no landscape" word
    // have no colour and add nothing to the mean.
    const std::span<const TLandColor> colors = source.landColors;
    std::uint32_t sum[3] = {0, 0, 0};
    int counted = 0;
    auto add = [&](std::uint32_t number) {
        if (number == 0 || number > colors.size())
            return;
        const TLandColor& k = colors[number - 1];
        sum[0] += k.r;
        sum[1] += k.g;
        sum[2] += k.b;
        ++counted;
    };
    const TMapCell& cell = source.cells[i];
    add(cell.base & 0x7FFFu);
    for (int slot = 0; slot < 4; ++slot)
        add(cell.overlay[slot]);
    auto* const make = source.makeColor ? source.makeColor : MakeColor16;
    if (counted == 0) {
        color = make(0, 0, 0);
        return true;
    }
    const std::uint8_t h = source.heights ? source.heights[i] : 0;
    const float f = (static_cast<float>(h) * 0.0019608f + 0.5f) / static_cast<float>(counted);
    auto channel = [f](std::uint32_t s) {
        return static_cast<std::uint8_t>(std::min(255.0f, static_cast<float>(s) * f));
    };
    color = make(channel(sum[0]), channel(sum[1]), channel(sum[2]));
    return true;
}

std::int32_t MiniMapPixelFrom(std::int32_t cell, float scale)
{
    if (!(scale > 0.0f))
        return MINIMAP_SIZE;
    // Start near the quotient and settle on the exact first pixel, so a rectangle's range holds
    // every pixel the colour formula gives one of its cells, whatever the rounding of cell / scale.
    const double guess = std::trunc(cell / static_cast<double>(scale));
    std::int32_t p = static_cast<std::int32_t>(std::clamp(guess, 0.0, static_cast<double>(MINIMAP_SIZE)));
    while (p > 0 && CellOfPixel(p - 1, scale) >= cell)
        --p;
    while (p < MINIMAP_SIZE && CellOfPixel(p, scale) < cell)
        ++p;
    return p;
}

void RenderMiniMapPixels(const TMiniMapSource& source, const TMiniMapRect& cells, std::uint16_t* pixels,
                         std::int32_t pitchPixels)
{
    const std::int32_t w = source.width, h = source.height;
    if (!pixels || cells.x0 > w || cells.x1 < 0 || cells.y0 > h || cells.y1 < 0)
        return;
    const std::int32_t x0 = std::max(cells.x0, 0), y0 = std::max(cells.y0, 0);
    const std::int32_t x1 = std::min(cells.x1, w), y1 = std::min(cells.y1, h);
    const std::int32_t pxBegin = MiniMapPixelFrom(x0, source.scaleX), pxEnd = MiniMapPixelFrom(x1, source.scaleX);
    const std::int32_t pyBegin = MiniMapPixelFrom(y0, source.scaleY), pyEnd = MiniMapPixelFrom(y1, source.scaleY);
    for (std::int32_t py = pyBegin; py < pyEnd; ++py) {
        std::uint16_t* row = pixels + static_cast<std::size_t>(py) * pitchPixels;
        for (std::int32_t px = pxBegin; px < pxEnd; ++px)
            MiniMapPixelColor(source, px, py, row[px]);
    }
    if (!(source.scaleX > 0.0f) || !(source.scaleY > 0.0f))
        return;
    const std::uint16_t white = (source.makeColor ? source.makeColor : MakeColor16)(255, 255, 255);
    for (const TMapPoint& p : source.specialPoints) {
        const double fx = std::trunc(p.x / static_cast<double>(source.scaleX));
        const double fy = std::trunc(p.y / static_cast<double>(source.scaleY));
        if (fx >= 0.0 && fx < MINIMAP_SIZE && fy >= 0.0 && fy < MINIMAP_SIZE)
            pixels[static_cast<std::size_t>(fy) * pitchPixels + static_cast<std::size_t>(fx)] = white;
    }
}

std::vector<std::uint8_t> MiniMapImageBytes(const TMiniMapSource& source)
{
    std::vector<std::uint16_t> pixels(MINIMAP_PIXELS, 0);
    RenderMiniMapPixels(source, {0, 0, source.width, source.height}, pixels.data(), MINIMAP_SIZE);
    std::vector<std::uint8_t> bytes(MINIMAP_IMAGE_BYTES);
    for (int i = 0; i < MINIMAP_PIXELS; ++i)
        plat::WriteU16LE(bytes.data() + 2 * i, pixels[static_cast<std::size_t>(i)]);
    return bytes;
}

// ---- lifecycle and geometry ---------------------------------------------------------------------

bool MiniMapInit()
{
    if (g_pMiniMapSurface) {
        ReportError("MiniMapInit() FAILED");
        return false;
    }
    g_pMiniMapSurface = CreateOffscreenSurface(MINIMAP_SIZE, MINIMAP_SIZE, 0, true);
    if (!g_pMiniMapSurface) {
        ReportError(kCreateFailed);
        return false;
    }
    FillSurface(g_pMiniMapSurface, 0);
    SetMiniMapGeometry();
    plat::ReleaseSurface(g_pMiniMapBevelUp);
    plat::ReleaseSurface(g_pMiniMapBevelLeft);
    g_pMiniMapBevelUp = LoadBevel(kBevelUpName);
    g_pMiniMapBevelLeft = LoadBevel(kBevelLeftName);
    LoadLandColorsIfMissing();
    if (!g_pMiniMapIndicatorBank) {
        g_pMiniMapIndicatorBank = new TAnimationBank(MINIMAP_INDICATOR_FOLDER, 1);
        if (g_pMiniMapIndicatorBank->Count() == 0) {
            ReportError2("FAILED: ", MINIMAP_INDICATOR_FOLDER);
            delete g_pMiniMapIndicatorBank;
            g_pMiniMapIndicatorBank = nullptr;
        }
    }
    return true;
}

void FreeMiniMap()
{
    plat::ReleaseSurface(g_pMiniMapSurface);
    plat::ReleaseSurface(g_pMiniMapBevelUp);
    plat::ReleaseSurface(g_pMiniMapBevelLeft);
    ReleaseIndicators();
    delete g_pMiniMapIndicatorBank;
    g_pMiniMapIndicatorBank = nullptr;
}

void SetMiniMapGeometry()
{
    {
        std::lock_guard lock(g_InputLock);
        g_MiniMapLeft = static_cast<std::uint16_t>(std::max(0, g_ScreenWidth - MINIMAP_MARGIN));
        // The top follows the shown flag: a hidden minimap keeps its tab at the bottom edge after
        // a screen-mode change, and its empty place takes no clicks.
        g_MiniMapTop = static_cast<std::uint16_t>(
            std::max(0, g_ScreenHeight - (g_bMiniMapShown ? MINIMAP_MARGIN : MINIMAP_HIDDEN_MARGIN)));
    }
    g_MiniMapScaleX = static_cast<float>(g_MapWidth) * 0.005f;
    g_MiniMapScaleY = static_cast<float>(g_MapHeight) * 0.005f;
    g_MiniMapPixelScaleX = g_MapWidth ? 200.0f / (static_cast<float>(g_MapWidth) * 96.0f) : 0.0f;
    g_MiniMapPixelScaleY = g_MapHeight ? 200.0f / (static_cast<float>(g_MapHeight) * 24.0f) : 0.0f;
}

void HideMiniMap()
{
    {
        std::lock_guard lock(g_InputLock);
        g_bMiniMapShown = 0;
        g_MiniMapTop = static_cast<std::uint16_t>(std::max(0, g_ScreenHeight - MINIMAP_HIDDEN_MARGIN));
    }
    LayoutBottomPanel();
}

void ShowMiniMap()
{
    {
        std::lock_guard lock(g_InputLock);
        g_bMiniMapShown = 1;
        g_MiniMapTop = static_cast<std::uint16_t>(std::max(0, g_ScreenHeight - MINIMAP_MARGIN));
    }
    LayoutBottomPanel();
    RedrawMiniMap(nullptr);
}

void RedrawMiniMap(const TMiniMapRect* cells)
{
    if (!g_bMiniMapShown || !g_pMiniMapSurface)
        return;
    const TMiniMapSource source = TMiniMapSource::FromLoadedMap(true);
    if (!source.cells)
        return;
    plat::LockedArea area;
    if (!g_pMiniMapSurface->Lock(nullptr, area))
        return;
    const TMiniMapRect all{0, 0, source.width, source.height};
    RenderMiniMapPixels(source, cells ? *cells : all, reinterpret_cast<std::uint16_t*>(area.bits), area.pitch / 2);
    g_pMiniMapSurface->Unlock();
}

void RedrawMiniMapCells(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    const TMiniMapRect cells{x0, y0, x1, y1};
    RedrawMiniMap(&cells);
}

// ---- the frame ----------------------------------------------------------------------------------

namespace {

void DrawUnitDots(const plat::LockedArea& area)
{
    TMiniMapServices& s = MiniMapServices();
    const std::uint16_t special = SelectionColor();
    for (std::uint8_t p = 0; p < PLAYER_COLORS; ++p) {
        if (!s.PlayerActive || !s.PlayerActive(p) || !s.ForEachUnit)
            continue;
        const std::uint16_t own = g_PlayerColors16[p];
        const bool local = p == MyPlayer;
        s.ForEachUnit(p, [&](const TMiniMapUnit& u) {
            if (u.dead || !u.shown)
                return;
            SetCellPixel(area, u.mapX, u.mapY, local && u.selected ? special : own);
        });
    }
}

void DrawSelectedHouse(const plat::LockedArea& area)
{
    TMiniMapServices& s = MiniMapServices();
    TMiniMapHouse h;
    if (!s.LocalSelectedHouse || !s.LocalSelectedHouse(h))
        return;
    const std::uint16_t special = SelectionColor();
    const std::int32_t x = h.rallyX, y = h.rallyY;
    if (g_FrameCounter % 6 < 3 && x >= 3 && x < g_MapWidth - 2 && y >= 4 && y < g_MapHeight - 3) {
        const plat::Point cross[5] = {{x, y}, {x, y - 2}, {x - 1, y}, {x, y + 2}, {x + 1, y}};
        for (const plat::Point& c : cross)
            SetCellPixel(area, c.x, c.y, special);
    }
    // The same cells that placing the house wrote.
    for (const plat::Point& c : FootprintCells({h.x, h.y}, h.rows, h.cells))
        if (CellPointInMap(c))
            SetCellPixel(area, c.x, c.y, special);
}

void DrawViewFrame()
{
    plat::DrawContext dc(g_pDDSBack);
    if (!dc || !(g_MiniMapScaleX > 0.0f) || !(g_MiniMapScaleY > 0.0f))
        return;
    const auto x0 = static_cast<std::int32_t>(g_ViewX / g_MiniMapScaleX + g_MiniMapLeft - 2);
    const auto y0 = static_cast<std::int32_t>(g_ViewY / g_MiniMapScaleY + g_MiniMapTop + 2);
    const auto x1 = static_cast<std::int32_t>(g_ViewCols / g_MiniMapScaleX + x0 + 3);
    const auto y1 = static_cast<std::int32_t>(g_ViewRows / g_MiniMapScaleY + y0 - 1);
    const plat::Pen old = dc.SelectPen({plat::kPenSolid, 0, 0x0000FF});
    dc.MoveTo(x0, y0);
    dc.LineTo(x1, y0);
    dc.LineTo(x1, y1);
    dc.LineTo(x0, y1);
    dc.LineTo(x0, y0);
    dc.SelectPen(old);
}

void RunIndicators(bool draw)
{
    if (g_MiniMapIndicators.empty())
        return;
    draw = draw && g_pD3DDevice != nullptr;
    if (draw) {
        g_pD3DDevice->SetRenderState(D3DState::AlphaBlendEnable, 1);
        g_pD3DDevice->BeginScene();
    }
    for (std::size_t i = 0; i < g_MiniMapIndicators.size();) {
        TAnimationStruct* a = g_MiniMapIndicators[i];
        a->Update();
        if (a->m_bFinished) {
            delete a;
            g_MiniMapIndicators.erase(g_MiniMapIndicators.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        ++i;
        const TAnimationSprites* set = a->m_pSprites;
        if (!draw || !set)
            continue;
        const auto frame = static_cast<std::uint8_t>(a->m_Position);
        const float w = set->m_Width, h = set->m_Height;
        DrawQuad2D(set->FrameTexture(frame), g_MiniMapLeft + std::trunc(a->m_X) - w / 2,
                   g_MiniMapTop + std::trunc(a->m_Y) - h / 2, w, h);
    }
    if (draw) {
        g_pD3DDevice->EndScene();
        g_pD3DDevice->SetRenderState(D3DState::AlphaBlendEnable, 0);
    }
}

} // namespace

void DrawMiniMap()
{
    if (!g_pDDSBack)
        return;
    const int sw = g_pDDSBack->Width(), sh = g_pDDSBack->Height();
    const std::int32_t left = g_MiniMapLeft, top = g_MiniMapTop;
    if (!g_bMiniMapShown) {
        if (g_pMiniMapBevelUp)
            BltSurfaceClipped(g_pDDSBack, g_pMiniMapBevelUp, sw, sh, nullptr, left - 8, top - 36, true);
        // Alerts keep their time while the map is folded away.
        RunIndicators(false);
        return;
    }
    if (!g_pMiniMapSurface)
        return;
    BltSurfaceClipped(g_pDDSBack, g_pMiniMapSurface, sw, sh, nullptr, left, top, false);
    if (g_pMiniMapBevelLeft)
        BltSurfaceClipped(g_pDDSBack, g_pMiniMapBevelLeft, sw, sh, nullptr, left - 10, top - 8, true);
    if (g_pMiniMapBevelUp)
        BltSurfaceClipped(g_pDDSBack, g_pMiniMapBevelUp, sw, sh, nullptr, left - 8, top - 36, true);

    const plat::Rect rect{left, top, left + MINIMAP_SIZE, top + MINIMAP_SIZE};
    plat::LockedArea area;
    if (g_pDDSBack->Lock(&rect, area)) {
        DrawUnitDots(area);
        g_pDDSBack->Unlock();
        if (g_bFogOfWar && !g_bEditorMode && g_FogMiniSurface)
            BltSurfaceClipped(g_pDDSBack, g_FogMiniSurface, sw, sh, nullptr, left, top, true);
        if (g_pDDSBack->Lock(&rect, area)) {
            DrawSelectedHouse(area);
            g_pDDSBack->Unlock();
        }
        DrawViewFrame();
    }
    RunIndicators(true);
}

bool AddMiniMapIndicator(std::uint8_t set, std::int32_t cellX, std::int32_t cellY, std::uint16_t repeats)
{
    if (!g_pMiniMapIndicatorBank || !g_pMiniMapIndicatorBank->Load(MINIMAP_INDICATOR_FOLDER, set))
        return false;
    TAnimationSprites* sprites = g_pMiniMapIndicatorBank->Set(set);
    std::int32_t px = 0, py = 0;
    if (!sprites || sprites->m_Count == 0 || !CellToPixel(cellX, cellY, px, py))
        return false;
    auto* a = new TAnimationStruct;
    a->SetSprites(sprites, false);
    a->m_X = static_cast<float>(px);
    a->m_Y = static_cast<float>(py);
    a->m_Repeat = repeats;
    g_MiniMapIndicators.push_back(a);
    return true;
}

// ---- the mouse ----------------------------------------------------------------------------------

bool IsPointInMiniMap(std::int32_t x, std::int32_t y)
{
    return g_MiniMapLeft < x && x < g_ScreenWidth && g_MiniMapTop < y && y < g_ScreenHeight;
}

bool IsPointInMiniMapPanel(std::int32_t x, std::int32_t y)
{
    return g_MiniMapLeft < x && x < g_ScreenWidth && g_PanelTop < y && y < g_ScreenHeight;
}

plat::Point MiniMapClickOrigin(std::int32_t mx, std::int32_t my)
{
    auto axis = [](std::int32_t mouse, std::int32_t edge, std::int32_t viewSize, float scale) {
        if (!(scale > 0.0f))
            return std::int32_t{2};
        const double v = std::trunc((mouse - edge - (viewSize / static_cast<double>(scale)) * 0.5) * scale);
        // Near the near edge the view stays two cells in, never at 0 or 1.
        return v > 1.0 && v < 1.0e9 ? static_cast<std::int32_t>(v) : std::int32_t{2};
    };
    std::int32_t x = axis(mx, g_MiniMapLeft, g_ViewCols, g_MiniMapScaleX);
    std::int32_t y = axis(my, g_MiniMapTop, g_ViewRows, g_MiniMapScaleY);
    const std::int32_t lastRow = static_cast<std::int32_t>(g_MapHeight) - g_ViewRows - 10;
    const std::int32_t lastColumn = static_cast<std::int32_t>(g_MapWidth) - g_ViewCols - 2;
    // A map smaller than the view puts these bounds below zero; the origin never goes negative.
    y = std::max(0, std::min(y, lastRow));
    x = std::max(0, std::min(x, lastColumn));
    return {x, y};
}

void ProcessMiniMap(std::uint8_t flag)
{
    if (flag == 0) {
        g_MiniMapClick = 1;
        return;
    }
    {
        std::lock_guard lock(g_InputLock);
        const plat::Point origin = MiniMapClickOrigin(g_MouseX, g_MouseY);
        g_ViewX = static_cast<std::uint16_t>(origin.x);
        g_ViewY = static_cast<std::uint16_t>(origin.y);
    }
    g_ViewDepthBase = 0;
    g_ScrollFlag = 0;
    RequestFullFogPass();
    g_bMapViewDirty = 1;
    // Recomputes the pixel origin and the cursor's map point and cell, and rebuilds the view whole.
    ScrollMap(0, 0);
}

// ---- the preview picture ------------------------------------------------------------------------

bool WriteMiniMapImage(TOfStreamMemory& out)
{
    const std::vector<std::uint8_t> bytes = MiniMapImageBytes(TMiniMapSource::FromLoadedMap(false));
    out.Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    return true;
}

plat::Texture* CreateMiniMap(TIfStreamMemory& in)
{
    if (in.Remaining() < MINIMAP_IMAGE_BYTES) {
        ReportError(kCreateFailed);
        return nullptr;
    }
    plat::Texture* texture = CreateTextureSurface(MINIMAP_SIZE, MINIMAP_SIZE);
    plat::TextureLock lock;
    if (!texture || !texture->Lock(lock)) {
        if (texture)
            texture->Release();
        ReportError(kCreateFailed);
        return nullptr;
    }
    texture->Fill(0);
    // Row by row: the texture's rows may be wider than the picture's.
    for (int y = 0; y < MINIMAP_SIZE; ++y)
        in.Read(lock.bits + static_cast<std::size_t>(y) * lock.pitch, MINIMAP_SIZE * 2);
    texture->Unlock();
    return texture;
}

std::string MiniMapPreviewPath(const std::string& mapPath)
{
    if (mapPath.size() < 4)
        return {};
    return mapPath.substr(0, mapPath.size() - 4) + "_m.min";
}

bool SaveMiniMapPreview(const char* mapPath)
{
    const std::string path = MiniMapPreviewPath(mapPath ? mapPath : "");
    if (path.empty()) {
        ReportError2("No minimap preview for the map name ", mapPath ? mapPath : "");
        return false;
    }
    TOfStreamMemory out;
    WriteMiniMapImage(out);
    if (!out.Ok() || !out.SaveCompressed(path.c_str())) {
        ReportError2("Minimap preview not written: ", path);
        return false;
    }
    return true;
}

plat::Texture* ReadMiniMapPreview(std::span<const std::uint8_t> file, const char* pathForLog)
{
    std::uint32_t size = 0;
    std::uint8_t* raw = LoadCompressedBuffer(file, &size, pathForLog);
    if (!raw)
        return nullptr;
    if (size != MINIMAP_IMAGE_BYTES) {
        FreeCompressedFile(raw);
        ReportErrorInt(std::string(pathForLog ? pathForLog : "") + ": not a minimap picture, bytes ", size);
        return nullptr;
    }
    TIfStreamMemory in(raw, static_cast<std::int32_t>(size));
    plat::Texture* texture = CreateMiniMap(in);
    FreeCompressedFile(raw);
    return texture;
}

plat::Texture* LoadMiniMapPreview(const char* previewPath)
{
    std::vector<std::uint8_t> file;
    if (!previewPath || !ReadGameFile(previewPath, file)) {
        ReportError2("Minimap preview missing: ", previewPath ? previewPath : "");
        return nullptr;
    }
    return ReadMiniMapPreview(file, previewPath);
}

// ---- services -----------------------------------------------------------------------------------

TMiniMapServices& MiniMapServices()
{
    return g_Services;
}

void ResetMiniMapServices()
{
    g_Services = DefaultMiniMapServices();
}

TMiniMapServices DefaultMiniMapServices()
{
    TMiniMapServices s;
    s.PlayerActive = [](std::uint8_t p) { return p < 8 && g_Strateg[p] != nullptr; };
    s.ForEachUnit = [](std::uint8_t p, const std::function<void(const TMiniMapUnit&)>& f) {
        for (const TUnit* u = FirstPlayerUnit(p); u != nullptr; u = u->m_pNext)
            f({u->MapX, u->MapY, u->Dead, u->m_bShown, u->Selected});
    };
    s.LocalSelectedHouse = [](TMiniMapHouse& out) {
        const THouse* h = GetSingleSelectedHouse(MyPlayer);
        if (h == nullptr || h->TypeRecord == nullptr)
            return false;
        const plat::Point rally = PixelToFlatCell(h->RallyX, h->RallyY);
        out = {h->X, h->Y, rally.x, rally.y, h->Type().m_FootprintRows, h->Type().m_FootprintCells};
        return true;
    };
    return s;
}
