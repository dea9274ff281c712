#pragma once
// Water and coasts: a grid of 48 x 24-pixel cells over the map's pixel plane, independent of the
// diamond tiles. A cell is land, open water, or a coast cell whose water part is a set of
// polygons ("arcs") kept in a table of coast zones. The water object also owns the water and
// coast animations, the light spots, the editor's brush, the shore-line quads built for drawing
// and the ships' grid.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "devices/animation.h"
#include "devices/quads.h"
#include "platform/types.h"

namespace plat {
class Surface;
class Texture;
} // namespace plat
class TAnimationSprites;
class TIfStreamMemory;
class TOfStreamMemory;
class TShipGrid;
class TUnit;

// Cell sizes in map pixels.
constexpr int WATER_CELL_WIDTH = 48;
constexpr int WATER_CELL_HEIGHT = 24;
// Cell values: 0 land; bit 15 a coast cell with its zone index in bits 0-14; otherwise open water
// with the look in bits 0-3, the light spot in bits 4-6 and the water kind in bits 11-14.
constexpr std::uint16_t WATER_COAST_BIT = 0x8000;
constexpr std::uint16_t WATER_ZONE_MASK = 0x7FFF;
constexpr std::uint16_t WATER_LOOK_MASK = 0x000F;
constexpr std::uint16_t WATER_SPOT_MASK = 0x0070;
constexpr int WATER_SPOT_SHIFT = 4;
constexpr int WATER_KIND_SHIFT = 11;

// The zone table's size in the editor, and the most zones a water block may hold.
constexpr std::uint16_t MAX_COAST_NUM = 32767;
constexpr int MAX_COAST_ARCS = 255;
constexpr int MAX_ARC_POINTS = 50;
constexpr int WATER_LIGHT_SPOTS = 7;
constexpr int WATER_ANIM_SLOTS = 8;
// Brush sizes 1..9; size 9 has the most outline points (with the repeated first point).
constexpr int WATER_BRUSH_MAX_SIZE = 9;
constexpr int WATER_BRUSH_MAX_POINTS = 421;
// Shore-line quads are kept in blocks of this many.
constexpr int COAST_LINE_BLOCK = 50;

// A point of a coast polygon, relative to the cell's top-left pixel (x 0..48, y 0..24).
struct TCoastPoint {
    std::uint8_t x = 0;
    std::uint8_t y = 0;
    bool operator==(const TCoastPoint&) const = default;
};

// One closed polygon of water inside a cell; drawn only with 3 or more points.
struct TCoastArc {
    std::vector<TCoastPoint> points;
    bool operator==(const TCoastArc&) const = default;
};

// The water part of one coast cell.
struct TCoastZone {
    std::vector<TCoastArc> arcs; // ArcsCount = arcs.size(), at most 255
    std::uint16_t value = 0;      // look, light spot and kind, as an open-water cell holds them
    bool operator==(const TCoastZone&) const = default;
};

// A shore-line quad: corners in screen pixels in strip order, and the first point of its edge.
struct TCoastLine {
    std::array<float, 4> x{};
    std::array<float, 4> y{};
    std::array<float, 4> z{};
    float x0 = 0.0f;
    float y0 = 0.0f;
};
struct TCoastLineBlock {
    std::array<TCoastLine, COAST_LINE_BLOCK> lines{};
    std::uint8_t used = 0;
    std::unique_ptr<TCoastLineBlock> next;
};

// An animation of the water: its sets and a frame position shared by all of them.
struct TWaterAnimation {
    float currentFrame = 0.0f;
    std::vector<std::unique_ptr<TAnimationSprites>> sets;
    std::uint8_t SetCount() const { return static_cast<std::uint8_t>(sets.size()); }
    // Frames of the first set (0 without one).
    int FrameCount() const;
    // Frame index of the first set, or null.
    plat::Texture* FrameTexture(int index) const;
};

struct TLightSpotEntry {
    std::int16_t column = 0; // offsets from the view's first water column and row
    std::int16_t row = 0;
    std::uint8_t picture = 0; // 0..6
};

struct TLightSpotPicture {
    plat::Texture* texture = nullptr;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

// What the water reads of neighbours that are not built yet; tests put recording stand-ins here.
struct TShipFields {
    float x = 0.0f; // map pixels
    float y = 0.0f;
    float heading = 0.0f; // radians, 0 .. 2 pi
    std::uint16_t type = 0;
    std::uint8_t dead = 0;
};
struct TWaterServices {
    // false when the unit cannot be read.
    bool (*getShipFields)(const TUnit* unit, TShipFields& out);
    // The live ship whose hull holds the map pixel, or null (player 255: any player).
    const TUnit* (*shipQuery)(float x, float y, std::uint8_t player);
    // The map's plain texture the water shape is drawn with (null draws opaque white, the same).
    plat::Texture* (*plainTexture)();
    // The editor's state read by the water overlay.
    bool (*editorEraseOn)();
    plat::Point (*editorMapPoint)(); // map pixels
    plat::Point (*editorTile)();
};
extern TWaterServices g_WaterServices;
void ResetWaterServices();

class TWaterMap {
public:
    // Loads the brush picture, the water and coast animations and the light spots (InitWater).
    TWaterMap();
    ~TWaterMap();
    TWaterMap(const TWaterMap&) = delete;
    TWaterMap& operator=(const TWaterMap&) = delete;

    void InitWater();
    void FreeWater();
    // Makes count sets, set i from basePath + i + ".les".
    static bool LoadWaterAnimation(TWaterAnimation& animation, const char* basePath, int count);

    // Grid of 2W x H cells for a map of W x H tiles, with its ships' grid.
    bool CreateWaterGrid(std::uint16_t mapWidth, std::uint16_t mapHeight);
    void FreeWaterGrid();
    void ClearWaterGrid();
    void SetWaterScreenParams();

    // 0 land, 1 open water, 2 coast; 0 in the map's outer band.
    std::uint8_t GetWaterKind(std::int32_t x, std::int32_t y) const;
    bool IsTileOnWater(std::int32_t x, std::int32_t y) const;
    // Minimap pixel (200 x 200 over the whole map).
    bool IsTileInWaterGrid(std::int32_t x, std::int32_t y) const;

    // The water block of map files and save games.
    bool LoadWater(TIfStreamMemory& in);
    // Reads the block of a map of W x H tiles without keeping anything: false (logged) when
    // LoadWater would refuse it.
    static bool CheckWaterBlock(TIfStreamMemory& in, std::uint16_t mapWidth, std::uint16_t mapHeight);
    bool SaveWater(TOfStreamMemory& out) const;

    // Editor operations.
    void SetWaterBrushSize(std::uint8_t size);
    void PaintWaterBrush(std::int32_t x, std::int32_t y);
    void EraseWaterBrush(std::int32_t x, std::int32_t y);
    void SetWaterCellAnimIndex(std::int32_t x, std::int32_t y);
    // The cell's part inside the brush as one arc, or false for none.
    bool BuildCoastArcs(std::int32_t column, std::int32_t row, TCoastArc& arc) const;
    void ChangeCoastZone(std::uint16_t zone, std::int32_t column, std::int32_t row);
    void AddCoastZone(std::int32_t column, std::int32_t row);
    void DestroyCoastWater(std::uint16_t zone);

    // Drawing (the static layer's rebuild and the map scene).
    void BuildWaterFromMap(std::uint8_t direction);
    void DrawWater();
    void CollectVisibleWaterSpots();
    void DrawLightSpots();
    void DrawWaterEditInfo();

    // Cell access; out-of-grid reads give land.
    std::uint16_t Cell(std::int32_t column, std::int32_t row) const;
    void SetCell(std::int32_t column, std::int32_t row, std::uint16_t value);
    // The water value that carries the look of a cell (a coast cell's zone value); 0 for land.
    std::uint16_t CellWaterValue(std::uint16_t cell) const;
    bool IsPointInArc(const TCoastArc& arc, std::int32_t x, std::int32_t y) const;
    // Counts the shore-line quads built by the last BuildWaterFromMap.
    int CoastLineCount() const;

    std::vector<std::uint16_t> m_Grid;
    std::uint16_t m_Width = 0;  // 2W
    std::uint16_t m_Height = 0; // H
    float m_TexStepU = 0.0f;
    float m_TexStepV = 0.0f;
    std::uint32_t m_CellCount = 0;
    std::uint8_t m_VisibleCols = 0;
    std::uint8_t m_VisibleRows = 0;
    std::vector<TCoastZone> m_Zones; // the table; its size is what it holds
    std::uint16_t CoastZoneCount = 0;
    float m_MiniMapFactorX = 0.0f;
    float m_MiniMapFactorY = 0.0f;
    TCoastLineBlock m_CoastLines;

    double m_BrushAngleStep = 0.0;
    double m_BrushSin = 0.0;
    double m_BrushCos = 0.0;
    float m_BrushRadiusX = 0.0f;
    float m_BrushRadiusY = 0.0f;
    std::array<float, WATER_BRUSH_MAX_POINTS> m_BrushX{};
    std::array<float, WATER_BRUSH_MAX_POINTS> m_BrushY{};
    std::int32_t m_BrushPointCount = 0;
    std::uint8_t m_SelectNum = 0;
    std::int32_t m_BrushPointX = 0; // map pixel given to PaintWaterBrush
    std::int32_t m_BrushPointY = 0;
    std::int32_t m_BrushCenterX = 0; // the mouse cursor, screen pixels
    std::int32_t m_BrushCenterY = 0;

    std::array<TWaterAnimation, WATER_ANIM_SLOTS> m_WaterAnim{};
    std::uint8_t m_WaterAnimLoaded = 0;
    std::array<TWaterAnimation, WATER_ANIM_SLOTS> m_CoastWaterAnim{};
    plat::Surface* m_pCoverSurface = nullptr; // 48 x 24, editor only
    std::vector<TLightSpotEntry> m_LightSpots;
    std::uint16_t m_LightSpotCapacity = 0;
    std::uint8_t m_bCoastEdit = 0;
    std::unique_ptr<TShipGrid> m_pShipGrid;
    plat::Texture* m_pBrushTexture = nullptr;
    std::uint8_t m_bWaterEditMode = 0;
    std::uint8_t m_CurrentLook = 1;
    std::uint8_t m_CurrentKind = 0;
    std::uint8_t m_LastLightSpot = 0;
    std::uint16_t m_WaterColor = 0;
    std::array<TLightSpotPicture, WATER_LIGHT_SPOTS> m_LightSpotPictures{};
    std::uint8_t m_bWaterHidden = 0;

private:
    bool InGrid(std::int32_t column, std::int32_t row) const
    {
        return column >= 0 && row >= 0 && column < m_Width && row < m_Height;
    }
    std::uint16_t FreshWaterValue() const;
    // Whether a screen point lies inside the brush ellipse around the mouse.
    bool InsideBrush(double screenX, double screenY) const;
    bool CoverTest(const TCoastZone& zone);
    void FreeCoastLines();
    void AddShoreLines(std::int32_t column, std::int32_t row, float screenX, float screenY);
    void PushCoastLine(const TCoastLine& line);
};

// The one water object of a game or of the editor; null outside them. Main thread only.
extern TWaterMap* g_pWater;
// 1 for a mostly-land map; the water loader clears it for a map that is mostly open water.
extern std::uint32_t g_bLandMap;

// The water's colour on the minimap (8-bit channels).
constexpr std::uint8_t WATER_MINIMAP_RGB[3] = {38, 71, 88};
// Whether a grid of columns x rows water cells (2W x H for a map of W x H cells) holds water
// under pixel (x, y) of the 200 x 200 minimap.
bool WaterGridAtMiniMapPixel(const std::uint16_t* grid, std::int32_t columns, std::int32_t rows, std::int32_t x,
                             std::int32_t y);

// The cell of a map pixel.
inline plat::Point PixelToWaterCell(std::int32_t x, std::int32_t y)
{
    return {x / WATER_CELL_WIDTH, y / WATER_CELL_HEIGHT};
}

// Depth of a vertex on screen row y in both water passes.
float WaterDepth(float y);
// The u/v of visible cell (c, r): left u and top v; the right and bottom add the steps.
void WaterTexCoords(const TWaterMap& water, std::int32_t c, std::int32_t r, std::uint8_t look, float& u, float& v);
// The rectangle of visible cells the shifted layer already holds after a scroll in direction
// 1..8 (inclusive bounds); false for direction 0 (nothing kept).
bool WaterKeptRect(std::uint8_t direction, int cols, int rows, plat::Rect& kept);
