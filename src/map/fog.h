#pragma once
// The fog of war: what the local player does not see. It is recomputed from the current sight
// sources on every pass, never accumulated. Two pictures of visibility come out of a pass: one at
// minimap scale (200 x 200), which the minimap draws and FogTestTile reads, and one pixel per map
// cell of the view and its margins, from which a byte grid is made and the closed contours between
// seen and unseen cells are traced. fog_edges.h turns those contours into the fog drawn on screen.
// Everything here is local to this machine: it never reads the shared random table and never
// feeds the simulation. Main thread only.
#include <cstdint>
#include <functional>
#include <vector>

namespace plat {
class Surface;
}
class TIfStreamMemory;
class TOfStreamMemory;

// ---- Mission reveal points --------------------------------------------------------------------

constexpr int FOG_REVEAL_SLOTS = 10;
constexpr std::uint16_t FOG_NO_SLOT = 65535;
// Bytes of the record in a save game: ten {i32 x, i32 y} in cells, then ten u8 radii.
constexpr int FOG_RECORD_BYTES = FOG_REVEAL_SLOTS * 8 + FOG_REVEAL_SLOTS;

struct TFogRevealPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
// A radius of 0 marks a free slot.
struct TFogRevealRecord {
    TFogRevealPoint point[FOG_REVEAL_SLOTS];
    std::uint8_t radius[FOG_REVEAL_SLOTS];
};
extern TFogRevealRecord g_FogRevealPoints;

void ClearFogRecord(TFogRevealRecord& record);
// The slot used, or FOG_NO_SLOT when all ten are taken. The radius is held to the masks that exist.
std::uint16_t AddFogRevealPoint(TFogRevealRecord& record, std::int32_t x, std::int32_t y, std::uint8_t radius);
bool SaveFogState(const TFogRevealRecord& record, TOfStreamMemory& out);
// false (logged, record cleared) when the stream holds fewer than FOG_RECORD_BYTES.
bool LoadFogState(TFogRevealRecord& record, TIfStreamMemory& in);

// ---- Sight sources: the seam to units, buildings and players ---------------------------------

// What the fog reads of a unit.
struct TFogUnitSight {
    std::uint8_t sight = 0;          // sight radius of the unit's type, cells
    std::uint8_t dead = 0;           // non-zero once the unit has died
    std::uint16_t deathCounter = 0;  // 65535 at death, counting down
    std::uint16_t mapX = 0;          // cell
    std::uint16_t mapY = 0;
    float x = 0.0f;                  // map pixels
    float y = 0.0f;
};
// What the fog reads of a building.
struct TFogHouseSight {
    std::uint8_t status = 0;  // non-zero: the building reveals nothing
    std::uint8_t sight = 0;   // cells
    std::int32_t x = 0;       // cell
    std::int32_t y = 0;
};

// Everything the fog reads of players, units, buildings and the kind of game. The default table
// (DefaultFogServices) binds what exists; tests put hand-made sources in its place.
struct TFogServices {
    std::function<std::uint16_t()> NumPlayers;                   // g_wNumPlayer
    std::function<bool(std::uint8_t player)> IsDefeated;
    // The relation byte of one player toward another.
    std::function<std::uint8_t(std::uint8_t from, std::uint8_t to)> Relation;
    std::function<bool()> IsRandomMapGame;                       // g_bRandomMapGame
    std::function<bool()> IsNetGame;
    // Calls back for each unit of the player's unit list, in list order.
    std::function<void(std::uint8_t player, const std::function<void(const TFogUnitSight&)>&)> ForEachUnit;
    // Calls back for each record of the player's building array.
    std::function<void(std::uint8_t player, const std::function<void(const TFogHouseSight&)>&)> ForEachHouse;
};
TFogServices& FogServices();
TFogServices DefaultFogServices();
void ResetFogServices();

// ---- Resources ----------------------------------------------------------------------------------

// Masks of radius g_FogMaskFirstRadius .. + g_FogMaskCount - 1; the mask of radius r is entry
// r - g_FogMaskFirstRadius. Set pixels are magenta, the rest black (the masks' colour key).
extern std::uint8_t g_FogMaskFirstRadius;
extern std::uint8_t g_FogMaskCount;
extern std::vector<plat::Surface*> g_FogCircleMasks;  // (2r+1) square, for the minimap picture
extern std::vector<plat::Surface*> g_FogEllipseMasks; // 2r+1 wide, 4r+1 tall, for the view picture

constexpr int FOG_MINI_SIZE = 200;
// Black unseen, magenta seen; pixel (mx, my) is cell (mx * g_MiniMapScaleX, my * g_MiniMapScaleY).
extern plat::Surface* g_FogMiniSurface;
// [mx][my]: the largest circle already drawn centred on that minimap pixel in this pass.
extern std::uint8_t g_FogSeen[FOG_MINI_SIZE][FOG_MINI_SIZE];
// (g_ViewCols + 10) x (g_ViewRows + 20); pixel (i, j) is cell (g_ViewX - 5 + i, g_ViewY - 5 + j).
extern plat::Surface* g_FogViewSurface;
// The pixels of g_FogMiniSurface while FogTestTile holds it locked (until the next UpdateFog).
extern const std::uint8_t* g_FogLockedBits;

// ---- The contour grid -----------------------------------------------------------------------

// Values of the grid's cells.
enum : std::uint8_t {
    FOG_SEEN = 0,
    FOG_UNSEEN = 1,      // also every point of a traced curve
    FOG_CONTOUR = 2,     // in the contour list
    FOG_START = 3,       // start of the curve being traced
    FOG_TAKEN = 4,       // contour point already in a curve
    FOG_EDGE = 7,        // seen, with an unseen diagonal neighbour
    FOG_SMOOTHED = 9,    // a smoothed point was made in this cell
    FOG_UNDER_TRIANGLE = 20,
    FOG_FOG_SIDE = 21,
    FOG_SEEN_SIDE = 22,
    FOG_FRAME = 255,
};

// g_FogGridWidth x g_FogGridHeight bytes, row-major: the interior 1..Wg x 1..Hg and a frame of 255,
// Wg = 2 * (g_ViewCols + 10), Hg = g_ViewRows + 20. Each map cell covers two grid columns. Grid
// point (gx, gy) lies on screen at ((gx - 11) * g_FogCellWidth, (gy - 11) * g_FogCellHeight).
extern std::vector<std::uint8_t> g_FogGrid;
extern std::int32_t g_FogGridWidth;  // Wg + 2
extern std::int32_t g_FogGridHeight; // Hg + 2
extern float g_FogCellWidth;         // g_ScreenWidth / (2 * g_ViewCols)
extern float g_FogCellHeight;        // g_ScreenHeight / g_ViewRows

// Cells outside the grid read as the frame and are never written.
inline std::uint8_t FogGridCell(int x, int y)
{
    if (x < 0 || y < 0 || x >= g_FogGridWidth || y >= g_FogGridHeight)
        return FOG_FRAME;
    return g_FogGrid[static_cast<std::size_t>(y) * g_FogGridWidth + x];
}
inline void SetFogGridCell(int x, int y, std::uint8_t value)
{
    if (x >= 0 && y >= 0 && x < g_FogGridWidth && y < g_FogGridHeight)
        g_FogGrid[static_cast<std::size_t>(y) * g_FogGridWidth + x] = value;
}
// Sizes the grid (filled with the frame value) and the cell sizes for a view of viewCols x viewRows
// cells on a screen of the given size. false (nothing changed) for sizes the grid cannot hold.
bool SetFogGridSize(std::int32_t viewCols, std::int32_t viewRows, float screenWidth, float screenHeight);

struct TFogContourPoint {
    std::uint8_t gx = 0;
    std::uint8_t gy = 0;
    std::uint8_t border = 0; // touches the grid's frame
};
extern std::vector<TFogContourPoint> g_FogContours;

struct TFogPoint {
    float x = 0.0f;
    float y = 0.0f;
    std::uint8_t flag = 0; // a border point
};
// One closed curve. Traced curves (grid units) hold their points at 0 .. count - 1, the last one a
// copy of the first. Every later stage numbers its points from 1 and closes the curve with copies:
// point count at 0, points 1 and 2 at count + 1 and count + 2.
struct TFogCurve {
    std::vector<TFogPoint> pt;
    std::uint16_t count = 0;
    std::uint8_t hole = 0; // the curve surrounds an island of fog
};
// A curve never grows beyond this many points; appends past it are dropped.
constexpr int FOG_CURVE_MAX_POINTS = 8000;
// Appends at index base + count (base 0 for traced curves, 1 for the stages' curves); false when full.
// The point is taken by value: it may be one of the curve's own.
bool AppendFogPoint(TFogCurve& curve, int base, TFogPoint point);
// Writes the closing copies of a curve numbered from 1.
void CloseFogCurve(TFogCurve& curve);
extern std::vector<TFogCurve> g_FogCurves;

// ---- The pass ---------------------------------------------------------------------------------

// Creates every resource of the fog for the current view and screen; false when one cannot be
// made (logged; whatever was made is released again) or when the fog exists already. In the map
// editor nothing is made.
bool InitSuperFog();
// Releases everything; safe to call when nothing exists. Always true.
bool FreeSuperFog();
// Builds both mask tables; false when they exist already.
bool BuildFogMasks(std::uint8_t count, std::uint8_t firstRadius);
// After a display-mode change: frees the fog and makes it again for the new view and screen size.
// Does nothing (true) when no fog exists.
bool RecreateSuperFog();

// Once per frame, first in the map scene, while the fog is on and the editor is not running: a full
// pass every 30th frame, only the view picture and the curves while the view scrolls.
void UpdateFog();
// Makes the next UpdateFog a full pass (after the view jumped).
void RequestFullFogPass();
// True when the cell is unseen; false while the fog is off, in the editor, and for cells the
// minimap picture does not cover.
bool FogTestTile(std::uint16_t x, std::uint16_t y);

// The steps of a pass after the sources are drawn, open for tests: the grid from the view picture;
// classification, pruning and the four corners (returns the contour count); tracing and the hole test.
void FogGridFromView();
std::size_t FindFogContours();
void TraceFogCurves();
