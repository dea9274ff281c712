#pragma once
// Map files and map loading: the map file's records, its parser, the loader that builds the world
// from it, the fixed resources of a loaded map, and the table of services of other subsystems that
// the loader calls.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class TIfStreamMemory;
#include "platform/raster.h"

namespace plat {
class Texture;
}

// 3 for a winter map, 1 otherwise; set at every map-file load.
extern std::uint32_t g_MapKind;
// File name of the map loaded last (at most 259 bytes and the terminator).
extern char g_MapName[260];
// 1 at every map-file load; the water block clears it when the map is mostly open water.
extern std::uint32_t g_bLandMap;
// The map's player count as the file gives it (low byte), saved with the game.
extern std::uint8_t g_MapPlayerCount;

constexpr int MAP_PLAYER_SLOTS = 8;
constexpr int MAP_MAX_SPECIAL_POINTS = 199;
constexpr int MAP_CELL_BYTES = 22;
constexpr int MAP_CELL_RECORD_SIZE = 25;
constexpr int MAP_PLAYER_RECORD_SIZE = 44;
constexpr int MAP_HOUSE_RECORD_SIZE = 132;
constexpr int MAP_UNIT_RECORD_SIZE = 112;
constexpr int MAP_OLD_HOUSE_RECORD_SIZE = 180;
constexpr int MAP_OLD_UNIT_RECORD_SIZE = 12;
constexpr int MAP_HOUSE_TYPES = 25;
// Plain-form files know only the first 21 house types.
constexpr int MAP_OLD_HOUSE_TYPES = 21;
// Cell heights of water and coast after loading.
constexpr std::uint8_t MAP_WATER_HEIGHT = 30;
// Bit of a stored object code that marks the cell as blocked.
constexpr std::uint16_t MAP_BLOCKED_BIT = 0x8000;

struct TMapPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
// The cells holding the special building-site codes 9601..9603.
extern TMapPoint g_SpecialPoints[MAP_MAX_SPECIAL_POINTS];
extern std::uint8_t g_SpecialPointCount;
// Lists the resource points of the loaded object map again, in cell order (a save's map holds
// them only as object codes).
void CollectSpecialPoints();

struct TPortPoint {
    std::uint16_t x = 0;
    std::uint16_t y = 0;
};
extern std::vector<TPortPoint> g_PortPoints;

// One cell as a map file stores it: the height, the 22 bytes of the cell record, the object code.
struct TMapFileCell {
    std::uint8_t height = 0;
    std::uint16_t base = 0; // texture number from 1; 65535 none; bit 15 overlays in use
    std::uint8_t shade = 0;
    std::uint8_t reserved = 0;
    std::uint16_t overlay[9] = {};
    std::uint16_t object = 0; // bit 15: the cell is blocked
};

struct TMapPlayerRecord {
    char16_t name[20] = {}; // zero-terminated
    std::uint8_t nation = 0;
    std::uint8_t byte41 = 0;
    std::uint8_t byte42 = 0;
    std::uint8_t byte43 = 0;
};

// The fields of a house record that the game reads; the other bytes are written as zero.
struct TMapHouseRecord {
    std::int32_t x = 0; // cell
    std::int32_t y = 0;
    std::uint16_t type = 0;  // the compressed form stores one byte, the plain form 16 bits
    std::uint16_t state = 0; // construction still to do; 0 finished
    float strength = 0.0f;
    std::uint8_t destroyed = 0;
    std::uint8_t byte28 = 0;
    std::uint32_t portSide = 0; // type 22 only
    // Read from a plain-form file: the state is the type's build total, the strength its full one.
    bool oldForm = false;
};

struct TMapUnitRecord {
    float x = 0.0f; // world pixels
    float y = 0.0f;
    std::uint16_t type = 0;
    std::uint8_t orient = 0; // direction + 1; 0 none
};

// Everything of a map file up to and including the units; the optional blocks that follow are
// read by their owners from the stream.
struct TMapFileData {
    bool compressed = true; // selects the record sizes
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<TMapFileCell> cells; // width x height, row by row
    std::vector<TMapPlayerRecord> players;
    std::uint16_t houseCounts[MAP_PLAYER_SLOTS] = {};
    std::vector<TMapHouseRecord> houses[MAP_PLAYER_SLOTS];
    std::uint16_t unitCounts[MAP_PLAYER_SLOTS] = {};
    std::vector<TMapUnitRecord> units[MAP_PLAYER_SLOTS];
};

// The optional blocks after the units, as the writer lays them out. blocks says how many of the five
// are written (0 ends the file after the units): craters, water, neutral objects, trench list,
// port points.
struct TMapFileTail {
    int blocks = 5;
    std::vector<std::uint8_t> craters{0, 0}; // u16 count, then the pictures
    std::vector<std::uint8_t> water;         // the whole water block
    std::vector<TMapHouseRecord> neutralHouses;
    std::vector<TMapUnitRecord> neutralUnits;
    std::vector<std::uint8_t> trenchList{0, 0, 0, 0}; // u16 list value, u16 count, 14-byte entries
    std::vector<TPortPoint> portPoints;
};

// Per player slot of a game whose players were chosen in the menus.
struct TMapStartSlot {
    char16_t name[20] = {};
    std::uint8_t nation = 0;
    std::uint8_t team = 0; // 1-based
    std::uint8_t kind = 0; // 0 slot not used
};
struct TMapStartRecord {
    TMapStartSlot slots[MAP_PLAYER_SLOTS];
};

// Record readers and writers of the map file (also used by the save game's neutral block).
bool ReadMapHouseRecord(TIfStreamMemory& in, TMapHouseRecord& out);
bool ReadMapUnitRecord(TIfStreamMemory& in, TMapUnitRecord& out);
void WriteMapHouseRecord(std::vector<std::uint8_t>& out, const TMapHouseRecord& house);
void WriteMapUnitRecord(std::vector<std::uint8_t>& out, const TMapUnitRecord& unit);
void WriteMapPlayerRecord(std::vector<std::uint8_t>& out, const TMapPlayerRecord& player);

// True when the first three bytes are the plain form's magic (the fourth is not compared).
bool IsPlainMapImage(std::span<const std::uint8_t> bytes);
// Parses the map image (the plain-form content) up to the end of the units; the stream is left at
// the first optional block. Logs and returns false on a malformed or refused file.
bool ParseMapHead(TIfStreamMemory& in, bool compressed, TMapFileData& out);
// The content of a map file in memory: the plain form as it stands, the compressed form inflated.
// Empty on failure (logged with path).
std::vector<std::uint8_t> UnpackMapFile(std::span<const std::uint8_t> file, const char* pathForLog,
                                        bool* compressed);

// Passes over the water block of a width x height map; false when it is cut short or malformed.
bool SkipWaterBlock(TIfStreamMemory& in, int width, int height);

// 3 for a winter map name, else 1.
std::uint32_t MapKindOfName(const char* name);
// The phase of a house under construction (state s != 0) with k phases and build total q*k.
std::uint8_t HouseBuildPhase(std::uint16_t state, std::uint8_t phases, std::uint16_t buildTotal);

// Services of other subsystems that the map loader calls. The default table binds what exists;
// tests put recording stand-ins in its place.
struct TMapServices {
    // Players: creates the next player (g_wNumPlayer grows by one).
    std::function<bool(const TMapPlayerRecord& record, std::uint8_t kind)> CreateMapPlayer;
    // Flags the newest player as not playing and destroys its house array.
    std::function<void(int player)> SetNotPlaying;
    std::function<bool(int player)> CanReceiveUnits; // exists and its first not-playing flag is clear
    std::function<void(int player, int team)> SetTeam;
    std::function<void()> SetRelationsFromTeams;
    // Houses: places the house of the record at the pixel point, applies state, strength, port side
    // and the phase rule, and for a finished house the arrival handler, the running total and the
    // type counter.
    std::function<bool(int player, std::int32_t px, std::int32_t py, const TMapHouseRecord& record)> AddMapHouse;
    // Neutral objects: empties the neutral houses and units; rebuilds the array for n houses.
    std::function<void()> ClearNeutralObjects;
    std::function<void(std::uint16_t count)> ReserveNeutralHouses;
    std::function<bool(const TMapHouseRecord& record)> AddNeutralHouse;
    // Units.
    std::function<bool(int player, const TMapUnitRecord& record)> CreateMapUnit;
    // Passability maps.
    std::function<void()> MakeBasicMap;
    // The optional blocks; each reads its block from the stream.
    std::function<bool(TIfStreamMemory&)> LoadCraters;
    std::function<bool(TIfStreamMemory&)> LoadWater;
    std::function<bool(TIfStreamMemory&)> LoadTrenchList;
    // Empties the trench list: a map without the block must not keep the previous map's pieces.
    std::function<void()> ClearTrenchList;
    std::function<bool(std::uint16_t slot)> TrenchEntryExists;
    std::function<void()> BuildWaterFromMap;
    std::function<std::uint8_t(int x, int y)> GetWaterKind;
    // The save-game loader (the game's, installed by the game load; none refuses) and the view.
    std::function<bool(const char* name)> LoadGameData;
    std::function<void()> ScrollToOrigin;
    std::function<void(int amount)> AdvanceLoadingBar;
};

TMapServices& MapServices();
// The table binding the modules that exist (least bodies for the others).
TMapServices DefaultMapServices();

// The resources of a loaded map.
extern plat::Texture* g_pSelectTexture;
extern plat::Texture* g_pBurntStains[8];
extern plat::Texture* g_pFilterTexture;
extern plat::Texture* g_pUnitFlashTexture;
extern plat::Texture* g_pWhiteTexture;
extern plat::Texture* g_pTintTexture;
// The map renderer's three quad buffers, filled with the quad template at every map load.
constexpr std::size_t MAP_QUAD_BUFFER_SIZES[3] = {3000, 18000, 1000};
extern std::vector<std::array<plat::RasterVertex, 4>> g_MapQuadBuffers[3];

// Loads a map from Maps\name (fromMapFile) or a save game, then its resources.
bool LoadMap(const char* name, bool fromMapFile, const TMapStartRecord* start);
bool LoadMapFile(const char* name, const TMapStartRecord* start);
void FreeMapResources();
// The player count of Maps\name for the map lists; 0 when it cannot be read.
std::uint8_t GetMapPlayerCount(const char* name);
// The texture words of the loaded map's cells, as the land-texture loader reads them.
std::vector<struct TLandCellTextures> MapCellTextureWords();
// The neutral block: houses kept, units read and dropped.
void LoadNeutralObjects(TIfStreamMemory& in);
