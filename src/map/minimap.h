#pragma once
// The minimap in the bottom-right corner of the screen: a 200 x 200 picture of the whole map
// (terrain shaded by height, water, houses, special points) kept in an off-screen surface and
// recomputed by cell rectangles, drawn every frame with the units' dots, the fog, the selected
// house, the view's frame and the animated indicators; a click on it moves the view. The same
// picture without player houses is the map's preview (the "_m.min" file and save games).
//
// Threads: everything runs on the main thread, except IsPointInMiniMap, IsPointInMiniMapPanel and
// ProcessMiniMap(0), which the mouse thread calls holding g_InputLock; they read only the
// geometry below.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "map/land_textures.h"
#include "map/map_file.h"
#include "map/map_grid.h"

namespace plat {
class Surface;
class Texture;
} // namespace plat
class TAnimationBank;
class TAnimationStruct;
class TIfStreamMemory;
class TOfStreamMemory;

constexpr int MINIMAP_SIZE = 200;
constexpr int MINIMAP_PIXELS = MINIMAP_SIZE * MINIMAP_SIZE;
// Bytes of the picture in a preview file and in a save game: 200 rows of 200 u16, top row first.
constexpr int MINIMAP_IMAGE_BYTES = MINIMAP_PIXELS * 2;
// Distance of the minimap's left and top edges from the right and bottom screen edges.
constexpr int MINIMAP_MARGIN = 213;
// The top edge's distance from the bottom while hidden (only the tab shows).
constexpr int MINIMAP_HIDDEN_MARGIN = 13;

// Shown flag and screen position of the minimap's left and top edges: main thread writes under
// g_InputLock (the mouse thread reads them). The flag keeps its value across games.
extern std::uint8_t g_bMiniMapShown;
// A minimap click left for the next frame. Under g_InputLock: the frame tests and clears it in one
// section.
extern std::uint8_t g_MiniMapClick;
extern std::uint16_t g_MiniMapLeft;
extern std::uint16_t g_MiniMapTop;

// Map columns and rows per minimap pixel (map size x 0.005), and minimap pixels per map pixel
// (200 / (width x 96), 200 / (height x 24)); set when a map is loaded and by SetMiniMapGeometry.
// Main thread only.
extern float g_MiniMapScaleX;
extern float g_MiniMapScaleY;
extern float g_MiniMapPixelScaleX;
extern float g_MiniMapPixelScaleY;

// The picture (display format, 200 x 200) and the two frame pictures; null while absent.
extern plat::Surface* g_pMiniMapSurface;
extern plat::Surface* g_pMiniMapBevelUp;
extern plat::Surface* g_pMiniMapBevelLeft;
// The indicator bank and the live indicators, whose X and Y are minimap pixels. Other subsystems
// append indicators (AddMiniMapIndicator); DrawMiniMap advances, draws and retires them.
extern TAnimationBank* g_pMiniMapIndicatorBank;
extern std::vector<TAnimationStruct*> g_MiniMapIndicators;

constexpr const char* MINIMAP_INDICATOR_FOLDER = "Data\\Misc\\MiniMapIndicators\\";

// A rectangle of map cells, x1 and y1 exclusive. Callers name the fields, so no order of the four
// numbers can be mixed up.
struct TMiniMapRect {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
};

// Creates the picture (filled with 0), sets the geometry and scales, loads the frame pictures
// from the interface archive, the land colours when none are loaded, and the indicator bank when
// absent. false when the picture exists already or cannot be made (logged).
bool MiniMapInit();
// Releases the picture, the frame pictures, the indicators and their bank. Safe to call twice.
void FreeMiniMap();
// Left, top (by the shown flag) and the four scales, after a map load or a screen-mode change.
void SetMiniMapGeometry();
void HideMiniMap();
// Also redraws the whole picture.
void ShowMiniMap();
// Recomputes the picture's pixels for the cells of the rectangle (null: the whole map). Nothing
// while hidden or without a picture.
void RedrawMiniMap(const TMiniMapRect* cells = nullptr);
// The same with the four numbers of a cell rectangle.
void RedrawMiniMapCells(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
// The frame's drawing onto the back buffer.
void DrawMiniMap();

// Strictly inside the minimap's area, from its left and top edges to the screen's right and
// bottom edges.
bool IsPointInMiniMap(std::int32_t x, std::int32_t y);
// The same with the bottom panel's top edge in place of the minimap's.
bool IsPointInMiniMapPanel(std::int32_t x, std::int32_t y);
// 0: leaves the click for the next frame (g_MiniMapClick; the caller holds g_InputLock).
// Else: moves the view to the mouse position now (main thread, without g_InputLock).
void ProcessMiniMap(std::uint8_t flag);
// The view origin a click at screen (mx, my) asks for, clamped to the map.
plat::Point MiniMapClickOrigin(std::int32_t mx, std::int32_t my);

// Appends the preview picture (player houses drawn as terrain): MINIMAP_IMAGE_BYTES bytes. True.
bool WriteMiniMapImage(TOfStreamMemory& out);
// A 200 x 200 texture holding the next MINIMAP_IMAGE_BYTES bytes of the stream; null (logged
// "CreateMiniMap() FAILED") when the stream is shorter or the texture cannot be made.
plat::Texture* CreateMiniMap(TIfStreamMemory& in);

// The preview file beside a map: its path with the last four characters replaced by "_m.min";
// empty for a path shorter than that.
std::string MiniMapPreviewPath(const std::string& mapPath);
// Writes the preview of the loaded map beside the map file (a compressed file whose content is
// the picture). false (logged) when it cannot be written; an older preview then stays whole.
bool SaveMiniMapPreview(const char* mapPath);
// Reads a preview file image: null (logged) unless it inflates to exactly the picture's bytes.
plat::Texture* ReadMiniMapPreview(std::span<const std::uint8_t> file, const char* pathForLog);
plat::Texture* LoadMiniMapPreview(const char* previewPath);

// Appends an indicator: set index of the bank, at the minimap point of a map cell, playing its
// frames repeats times. false when the bank or the set is missing.
bool AddMiniMapIndicator(std::uint8_t set, std::int32_t cellX, std::int32_t cellY, std::uint16_t repeats);

// ---- the picture's pixels ---------------------------------------------------------------------

// Everything the colour of a minimap pixel is computed from. FromLoadedMap binds the game's map;
// the sample-data builder binds a map it has only in memory.
struct TMiniMapSource {
    std::uint16_t width = 0;  // cells
    std::uint16_t height = 0;
    float scaleX = 0.0f;      // map columns and rows per minimap pixel
    float scaleY = 0.0f;
    const TMapCell* cells = nullptr;         // width x height each
    const std::uint16_t* objects = nullptr;
    const std::uint8_t* heights = nullptr;
    std::span<const TLandColor> landColors;
    std::span<const TMapPoint> specialPoints;
    // Whether the water covers a minimap pixel; null: no water.
    std::function<bool(std::int32_t px, std::int32_t py)> isWater;
    std::uint16_t waterColor = 0;
    std::uint16_t neutralColor = 0;
    // The colour of a player's house at an object code, or false to draw the terrain under it.
    // Null: player houses are terrain (the preview).
    std::function<bool(std::uint16_t code, std::uint16_t& color)> playerHouseColor;
    // The display's 16-bit colour of 8-bit channels.
    std::uint16_t (*makeColor)(std::uint8_t r, std::uint8_t g, std::uint8_t b) = nullptr;

    static TMiniMapSource FromLoadedMap(bool withPlayerHouses);
};

// The colour of pixel (px, py); false when its cell lies beyond the map (the pixel keeps its
// value). Terrain is the mean of the texture colours that exist (the base and the first four
// overlay slots; a base or overlay without a colour counts for nothing), at half brightness for
// height 0 and full brightness for height 255; a cell without any colour is black.
bool MiniMapPixelColor(const TMiniMapSource& source, std::int32_t px, std::int32_t py, std::uint16_t& color);
// The first minimap column (or row) whose cell is at or beyond cell; 0..200.
std::int32_t MiniMapPixelFrom(std::int32_t cell, float scale);
// Computes the pixels of the cells of the rectangle (clamped to the map) into a picture of 200
// rows of pitchPixels, then every special point in white.
void RenderMiniMapPixels(const TMiniMapSource& source, const TMiniMapRect& cells, std::uint16_t* pixels,
                         std::int32_t pitchPixels);
// The whole preview picture of a source, MINIMAP_IMAGE_BYTES little-endian bytes.
std::vector<std::uint8_t> MiniMapImageBytes(const TMiniMapSource& source);

// ---- what the frame's drawing reads of players, units and the selection -----------------------

struct TMiniMapUnit {
    std::uint16_t mapX = 0; // cell
    std::uint16_t mapY = 0;
    std::uint8_t dead = 0;
    std::uint8_t shown = 0;    // zero while the unit is off the map (inside a house or a transport)
    std::uint8_t selected = 0;
};
struct TMiniMapHouse {
    std::int32_t x = 0; // reference cell
    std::int32_t y = 0;
    std::int32_t rallyX = 0; // rally-point cell
    std::int32_t rallyY = 0;
    std::uint8_t rows = 0; // footprint
    std::uint8_t cells = 0;
};
// The default table (DefaultMiniMapServices) binds the players' tables; tests put hand-made
// players in its place.
struct TMiniMapServices {
    std::function<bool(std::uint8_t player)> PlayerActive;
    // Calls back for each unit of the player's unit list, in list order.
    std::function<void(std::uint8_t player, const std::function<void(const TMiniMapUnit&)>&)> ForEachUnit;
    // The one house the local player has selected, while the local player is in the game.
    std::function<bool(TMiniMapHouse& out)> LocalSelectedHouse;
};
TMiniMapServices& MiniMapServices();
TMiniMapServices DefaultMiniMapServices();
void ResetMiniMapServices();
