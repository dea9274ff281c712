#include "map/map_file.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <string>

#include <algorithm>

#include "core/archive.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/file_bytes.h"
#include "core/memory_stream.h"
#include "devices/d3d_device.h"
#include "devices/image_files.h"
#include "devices/quads.h"
#include "map/map_view.h"
#include "platform/texture.h"
#include "map/land_textures.h"
#include "map/landscape.h"
#include "map/map_grid.h"
#include "map/minimap.h"
#include "map/site_queries.h"
#include "map/terrain.h"
#include "platform/bytes.h"
#include "players/strateg.h"

std::uint32_t g_MapKind = 1;
std::uint32_t g_MapSeason = 1;
char g_MapName[260] = {};
std::uint8_t g_MapPlayerCount = 0;
TMapPoint g_SpecialPoints[MAP_MAX_SPECIAL_POINTS] = {};
std::uint8_t g_SpecialPointCount = 0;
std::vector<TPortPoint> g_PortPoints;

namespace {

constexpr char kMagic[3] = {'~', 'A', 'M'};

// Record fields are read from a copy of the whole record, so a cut record never leaves half a field.
bool ReadRecord(TIfStreamMemory& in, std::uint8_t* record, int size)
{
    return in.Read(record, size) == size;
}

bool ReadOldHouseRecord(TIfStreamMemory& in, TMapHouseRecord& out)
{
    std::uint8_t r[MAP_OLD_HOUSE_RECORD_SIZE];
    if (!ReadRecord(in, r, MAP_OLD_HOUSE_RECORD_SIZE))
        return false;
    out = {};
    out.x = plat::ReadI32LE(r + 8);
    out.y = plat::ReadI32LE(r + 12);
    out.type = plat::ReadU16LE(r + 34);
    out.oldForm = true;
    return true;
}

// The first 11 bytes are laid out alike in both forms.
void UnitFromBytes(const std::uint8_t* r, TMapUnitRecord& out)
{
    out.x = plat::ReadF32LE(r);
    out.y = plat::ReadF32LE(r + 4);
    out.type = plat::ReadU16LE(r + 8);
    out.orient = r[10];
}

bool ReadOldUnitRecord(TIfStreamMemory& in, TMapUnitRecord& out)
{
    std::uint8_t r[MAP_OLD_UNIT_RECORD_SIZE];
    if (!ReadRecord(in, r, MAP_OLD_UNIT_RECORD_SIZE))
        return false;
    UnitFromBytes(r, out);
    return true;
}

void Put(std::vector<std::uint8_t>& out, const std::uint8_t* bytes, std::size_t n)
{
    out.insert(out.end(), bytes, bytes + n);
}

bool CutShort(TIfStreamMemory& in)
{
    if (!in.Failed())
        return false;
    ReportError("Map file is cut short");
    return true;
}

} // namespace

bool ReadMapHouseRecord(TIfStreamMemory& in, TMapHouseRecord& out)
{
    std::uint8_t r[MAP_HOUSE_RECORD_SIZE];
    if (!ReadRecord(in, r, MAP_HOUSE_RECORD_SIZE))
        return false;
    out = {};
    out.x = plat::ReadI32LE(r);
    out.y = plat::ReadI32LE(r + 4);
    out.type = r[8];
    out.state = plat::ReadU16LE(r + 10);
    out.strength = plat::ReadF32LE(r + 12);
    out.destroyed = r[16];
    out.byte28 = r[28];
    out.portSide = plat::ReadU32LE(r + 32);
    return true;
}

bool ReadMapUnitRecord(TIfStreamMemory& in, TMapUnitRecord& out)
{
    std::uint8_t r[MAP_UNIT_RECORD_SIZE];
    if (!ReadRecord(in, r, MAP_UNIT_RECORD_SIZE))
        return false;
    UnitFromBytes(r, out);
    return true;
}

void WriteMapHouseRecord(std::vector<std::uint8_t>& out, const TMapHouseRecord& house)
{
    std::uint8_t r[MAP_HOUSE_RECORD_SIZE] = {};
    plat::WriteU32LE(r, static_cast<std::uint32_t>(house.x));
    plat::WriteU32LE(r + 4, static_cast<std::uint32_t>(house.y));
    r[8] = static_cast<std::uint8_t>(house.type);
    plat::WriteU16LE(r + 10, house.state);
    plat::WriteU32LE(r + 12, std::bit_cast<std::uint32_t>(house.strength));
    r[16] = house.destroyed;
    r[28] = house.byte28;
    plat::WriteU32LE(r + 32, house.portSide);
    Put(out, r, sizeof r);
}

void WriteMapUnitRecord(std::vector<std::uint8_t>& out, const TMapUnitRecord& unit)
{
    std::uint8_t r[MAP_UNIT_RECORD_SIZE] = {};
    plat::WriteU32LE(r, std::bit_cast<std::uint32_t>(unit.x));
    plat::WriteU32LE(r + 4, std::bit_cast<std::uint32_t>(unit.y));
    plat::WriteU16LE(r + 8, unit.type);
    r[10] = unit.orient;
    Put(out, r, sizeof r);
}

void WriteMapPlayerRecord(std::vector<std::uint8_t>& out, const TMapPlayerRecord& player)
{
    std::uint8_t r[MAP_PLAYER_RECORD_SIZE] = {};
    // The last character stays the terminator whatever the name holds.
    for (int i = 0; i < 19; ++i)
        plat::WriteU16LE(r + 2 * i, static_cast<std::uint16_t>(player.name[i]));
    r[40] = player.nation;
    r[41] = player.byte41;
    r[42] = player.byte42;
    r[43] = player.byte43;
    Put(out, r, sizeof r);
}

bool IsPlainMapImage(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 3 && std::memcmp(bytes.data(), kMagic, 3) == 0;
}

std::vector<std::uint8_t> UnpackMapFile(std::span<const std::uint8_t> file, const char* pathForLog, bool* compressed)
{
    if (IsPlainMapImage(file)) {
        if (compressed)
            *compressed = false;
        return {file.begin(), file.end()};
    }
    if (compressed)
        *compressed = true;
    std::uint32_t raw = 0;
    std::uint8_t* content = LoadCompressedBuffer(file, &raw, pathForLog);
    if (!content) {
        ReportError2(" Load_Pack_File failed ", pathForLog);
        return {};
    }
    std::vector<std::uint8_t> out(content, content + raw);
    FreeCompressedFile(content);
    return out;
}

bool ParseMapHead(TIfStreamMemory& in, bool compressed, TMapFileData& out)
{
    out = {};
    out.compressed = compressed;
    std::uint8_t magic[4] = {};
    if (in.Read(magic, 4) != 4 || std::memcmp(magic, kMagic, 3) != 0) {
        ReportError("Wrong map file!");
        return false;
    }
    if (!in.ReadU16(out.width) || !in.ReadU16(out.height) || !MapSizeAllowed(out.width, out.height)) {
        ReportError("Map size out of range");
        return false;
    }
    const std::int64_t cellCount = std::int64_t{out.width} * out.height;
    if (cellCount * MAP_CELL_RECORD_SIZE > in.Remaining()) {
        ReportError("Map file is cut short");
        return false;
    }
    out.cells.resize(static_cast<std::size_t>(cellCount));
    const std::uint8_t* p = in.Data() + in.Pos();
    for (TMapFileCell& c : out.cells) {
        c.height = p[0];
        c.base = plat::ReadU16LE(p + 1);
        c.shade = p[3];
        c.reserved = p[4];
        for (int k = 0; k < 9; ++k)
            c.overlay[k] = plat::ReadU16LE(p + 5 + 2 * k);
        c.object = plat::ReadU16LE(p + 23);
        p += MAP_CELL_RECORD_SIZE;
    }
    in.Seek(in.Pos() + static_cast<std::int32_t>(cellCount * MAP_CELL_RECORD_SIZE));

    std::uint16_t playerCount = 0;
    in.ReadU16(playerCount);
    // The per-slot counts below hold eight entries only.
    if (playerCount > MAP_PLAYER_SLOTS) {
        ReportErrorInt("Map player count above 8: ", playerCount);
        return false;
    }
    out.players.resize(playerCount);
    for (TMapPlayerRecord& pr : out.players) {
        std::uint8_t r[MAP_PLAYER_RECORD_SIZE] = {};
        ReadRecord(in, r, MAP_PLAYER_RECORD_SIZE);
        for (int i = 0; i < 20; ++i)
            pr.name[i] = static_cast<char16_t>(plat::ReadU16LE(r + 2 * i));
        pr.name[19] = 0;
        pr.nation = r[40];
        pr.byte41 = r[41];
        pr.byte42 = r[42];
        pr.byte43 = r[43];
    }
    for (std::uint16_t& n : out.houseCounts)
        in.ReadU16(n);
    if (CutShort(in))
        return false;
    for (int slot = 0; slot < playerCount; ++slot) {
        const std::uint16_t n = out.houseCounts[slot];
        if (!compressed && n != 0)
            ReportError("ERROR!!!Houses failed on old map");
        const std::int64_t need = std::int64_t{n} * (compressed ? MAP_HOUSE_RECORD_SIZE : MAP_OLD_HOUSE_RECORD_SIZE);
        if (need > in.Remaining()) {
            ReportError("Map file is cut short");
            return false;
        }
        out.houses[slot].resize(n);
        for (TMapHouseRecord& h : out.houses[slot]) {
            if (compressed) {
                ReadMapHouseRecord(in, h);
                // The type indexes the 25 per-player type counters.
                if (h.type >= MAP_HOUSE_TYPES) {
                    ReportErrorInt("Map house type out of range: ", h.type);
                    return false;
                }
            } else {
                ReadOldHouseRecord(in, h);
                if (h.type >= MAP_OLD_HOUSE_TYPES) {
                    ReportError("AAAAAAAAA");
                    return false;
                }
            }
        }
    }
    for (std::uint16_t& n : out.unitCounts)
        in.ReadU16(n);
    if (CutShort(in))
        return false;
    for (int slot = 0; slot < playerCount; ++slot) {
        const std::uint16_t n = out.unitCounts[slot];
        const std::int64_t need = std::int64_t{n} * (compressed ? MAP_UNIT_RECORD_SIZE : MAP_OLD_UNIT_RECORD_SIZE);
        if (need > in.Remaining()) {
            ReportError("Map file is cut short");
            return false;
        }
        out.units[slot].resize(n);
        for (TMapUnitRecord& u : out.units[slot]) {
            if (compressed)
                ReadMapUnitRecord(in, u);
            else
                ReadOldUnitRecord(in, u);
        }
    }
    return !CutShort(in);
}

std::uint32_t MapKindOfName(const char* name)
{
    if (!name)
        return 1;
    if (name[0] == 'w' || name[0] == 'W')
        return 3;
    if (std::strcmp(name, "random1r.dat") == 0 || std::strcmp(name, "random2r.dat") == 0)
        return 3;
    return 1;
}

std::uint8_t HouseBuildPhase(std::uint16_t state, std::uint8_t phases, std::uint16_t buildTotal)
{
    if (state == 0 || phases == 0)
        return 0;
    const std::uint32_t q = buildTotal / phases;
    int phase;
    if (state <= q)
        phase = phases - 1;
    else if (state <= 2 * q)
        phase = phases - 2;
    else if (state <= 3 * q)
        phase = phases - 3;
    else if (state <= 4 * q)
        phase = phases - 4;
    else
        phase = 0;
    if (static_cast<unsigned>(phase) >= phases)
        phase = 0;
    return static_cast<std::uint8_t>(phase);
}

std::uint8_t GetMapPlayerCount(const char* name)
{
    const std::string path = std::string("Maps\\") + name;
    std::vector<std::uint8_t> file;
    if (!ReadGameFile(path.c_str(), file)) {
        ReportError(std::string(name) + " Load failed!!!");
        return 0;
    }
    const std::vector<std::uint8_t> content = UnpackMapFile(file, path.c_str(), nullptr);
    if (content.empty())
        return 0;
    if (!IsPlainMapImage(content) || content.size() < 8) {
        ReportError("Wrong map file!");
        return 0;
    }
    const std::uint64_t cells = std::uint64_t{plat::ReadU16LE(content.data() + 4)} * plat::ReadU16LE(content.data() + 6);
    const std::uint64_t at = 8 + cells * MAP_CELL_RECORD_SIZE;
    if (at + 2 > content.size()) {
        ReportError("Map file is cut short");
        return 0;
    }
    return static_cast<std::uint8_t>(plat::ReadU16LE(content.data() + at));
}

bool SkipWaterBlock(TIfStreamMemory& in, int width, int height)
{
    const std::int64_t gridBytes = std::int64_t{2} * width * height * 2;
    if (width <= 0 || height <= 0 || gridBytes > in.Remaining())
        return false;
    in.Seek(in.Pos() + static_cast<std::int32_t>(gridBytes));
    std::uint16_t zones = 0;
    if (!in.ReadU16(zones))
        return false;
    for (int z = 0; z < zones; ++z) {
        std::uint8_t arcs = 0;
        std::uint16_t value = 0;
        if (!in.ReadU8(arcs) || !in.ReadU16(value))
            return false;
        for (int a = 0; a < arcs; ++a) {
            std::uint8_t points = 0;
            if (!in.ReadU8(points) || 2 * points > in.Remaining())
                return false;
            in.Seek(in.Pos() + 2 * points);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Loading into the world

TMapServices& MapServices()
{
    static TMapServices services = DefaultMapServices();
    return services;
}

namespace {

bool IsKeptObjectCode(std::uint16_t code)
{
    return code == 0 || code == kObjectInfantryBlock || code == kObjectAirfield
        || (code >= kObjectTreeFirst && code <= kObjectAnimatedLast)
        || (code >= kObjectTrenchListFirst && code <= kObjectTrenchListLast);
}

bool IsResourcePointCode(std::uint16_t code)
{
    return code >= 9601 && code <= 9603;
}

// A resource point joins the list when it lies inside the map's interior; false when it lies
// outside (the map loader drops its code). A full list keeps the code without listing it.
bool KeepSpecialPoint(std::uint32_t poz, int w, int h)
{
    if (g_SpecialPointCount >= MAP_MAX_SPECIAL_POINTS)
        return true;
    const std::int32_t x = static_cast<std::int32_t>(poz % w);
    const std::int32_t y = static_cast<std::int32_t>(poz / w);
    g_SpecialPoints[g_SpecialPointCount] = {x, y};
    if (x >= 6 && x <= w - 6 && y >= 15 && y <= h - 15) {
        ++g_SpecialPointCount;
        return true;
    }
    return false;
}

void FillCells(const TMapFileData& map)
{
    const int w = map.width;
    const int h = map.height;
    std::uint32_t cleared = 0;
    for (std::uint32_t poz = 0; poz < map.cells.size(); ++poz) {
        const TMapFileCell& c = map.cells[poz];
        g_pHeightMap[poz] = c.height;
        TMapCell& cell = g_pCellInfo[poz];
        cell.base = c.base;
        cell.shade = c.shade;
        cell.reserved = c.reserved;
        std::memcpy(cell.overlay, c.overlay, sizeof cell.overlay);
        std::uint16_t code = c.object;
        if (code & MAP_BLOCKED_BIT) {
            code &= static_cast<std::uint16_t>(~MAP_BLOCKED_BIT);
            g_pCellFlags[poz] = 1;
        }
        // Codes from the file index house and object tables later; only what a map may hold stays.
        if (!IsKeptObjectCode(code)) {
            code = 0;
            ++cleared;
        }
        if (IsResourcePointCode(code) && !KeepSpecialPoint(poz, w, h))
            code = 0;
        g_pObjectMap[poz] = code;
    }
    if (cleared)
        ReportErrorInt("Map cells with object codes a map cannot hold, cleared: ", cleared);
}

// Trench-list codes name entries of the list read in the tail; a code whose entry is not there
// would index past the list.
void CheckTrenchCodes(const TMapServices& svc)
{
    std::uint32_t cleared = 0;
    for (std::uint32_t poz = 0; poz < g_MapCellCount; ++poz) {
        const std::uint16_t code = g_pObjectMap[poz];
        if (code >= kObjectTrenchListFirst && code <= kObjectTrenchListLast
            && !svc.TrenchEntryExists(static_cast<std::uint16_t>(code - kObjectTrenchListFirst))) {
            g_pObjectMap[poz] = 0;
            ++cleared;
        }
    }
    if (cleared)
        ReportErrorInt("Map cells naming trench entries that do not exist, cleared: ", cleared);
}

void CreatePlayers(const TMapFileData& map, const TMapStartRecord* start, bool (&notPlaying)[MAP_PLAYER_SLOTS])
{
    TMapServices& svc = MapServices();
    const std::size_t toCreate = start ? MAP_PLAYER_SLOTS : map.players.size();
    for (std::size_t i = 0; i < map.players.size() && i < toCreate; ++i) {
        TMapPlayerRecord record = map.players[i];
        const bool local = i == MyPlayer;
        if (!start) {
            svc.CreateMapPlayer(record, local ? 4 : 3);
            continue;
        }
        const TMapStartSlot& slot = start->slots[i];
        if (slot.kind == 0) {
            svc.CreateMapPlayer(record, 1);
            svc.SetNotPlaying(static_cast<int>(i));
            notPlaying[i] = true;
            continue;
        }
        record.nation = slot.nation;
        std::memcpy(record.name, slot.name, sizeof record.name);
        record.name[19] = 0;
        svc.CreateMapPlayer(record, local ? 4 : slot.kind);
    }
    if (start) {
        for (std::size_t i = 0; i < map.players.size() && i < MAP_PLAYER_SLOTS; ++i)
            svc.SetTeam(static_cast<int>(i), start->slots[i].team - 1);
        svc.SetRelationsFromTeams();
    }
}

void PlaceHouses(const TMapFileData& map, const bool (&notPlaying)[MAP_PLAYER_SLOTS])
{
    TMapServices& svc = MapServices();
    for (std::size_t p = 0; p < map.players.size(); ++p) {
        // A player left out by the start record has no houses.
        if (p >= g_wNumPlayer || notPlaying[p])
            continue;
        for (const TMapHouseRecord& h : map.houses[p]) {
            const plat::Point at = GetCoordsUseTile({h.x, h.y});
            svc.AddMapHouse(static_cast<int>(p), at.x, at.y, h);
        }
    }
}

void PlaceUnits(const TMapFileData& map, const bool (&notPlaying)[MAP_PLAYER_SLOTS])
{
    TMapServices& svc = MapServices();
    for (std::size_t p = 0; p < map.players.size(); ++p) {
        if (p >= g_wNumPlayer || notPlaying[p] || !svc.CanReceiveUnits(static_cast<int>(p)))
            continue;
        for (const TMapUnitRecord& u : map.units[p])
            svc.CreateMapUnit(static_cast<int>(p), u);
    }
}

bool MoreToRead(const TIfStreamMemory& in)
{
    return in.Pos() < in.Size() - 1;
}

// The optional blocks after the units. False only when the water block is unreadable.
bool ReadTail(TIfStreamMemory& in)
{
    TMapServices& svc = MapServices();
    if (!MoreToRead(in)) {
        ReportError("end of file before animation");
        return true;
    }
    if (!svc.LoadCraters(in)) {
        ReportError("Map craters unreadable; the rest of the map's blocks are skipped");
        return true;
    }
    if (!MoreToRead(in)) {
        ReportError("end of file before water");
        return true;
    }
    if (!svc.LoadWater(in)) {
        ReportError("LoadMap() FAILED");
        return false;
    }
    LoadNeutralObjects(in);
    if (MoreToRead(in) && !svc.LoadTrenchList(in)) {
        ReportError("Map trench list unreadable");
        return true;
    }
    if (MoreToRead(in)) {
        std::uint16_t n = 0;
        in.ReadU16(n);
        std::vector<TPortPoint> points;
        for (std::uint16_t i = 0; i < n; ++i) {
            TPortPoint p;
            if (!in.ReadU16(p.x) || !in.ReadU16(p.y)) {
                ReportError("Map port points cut short");
                break;
            }
            points.push_back(p);
        }
        g_PortPoints = std::move(points);
    }
    return true;
}

void RaiseWaterCells()
{
    TMapServices& svc = MapServices();
    if (g_pD3DDevice)
        g_pD3DDevice->BeginScene();
    svc.BuildWaterFromMap();
    if (g_pD3DDevice)
        g_pD3DDevice->EndScene();
    for (int y = 0; y < g_MapHeight; ++y)
        for (int x = 0; x < g_MapWidth; ++x)
            if (svc.GetWaterKind(x, y) != 0)
                g_pHeightMap[y * g_MapWidth + x] = MAP_WATER_HEIGHT;
}

} // namespace

void LoadNeutralObjects(TIfStreamMemory& in)
{
    TMapServices& svc = MapServices();
    g_NeutralHouseCount = 0;
    svc.ClearNeutralObjects();
    if (!MoreToRead(in))
        return;
    std::uint16_t n = 0;
    in.ReadU16(n);
    if (!g_bEditorMode && n > 0)
        svc.ReserveNeutralHouses(n);
    for (std::uint16_t i = 0; i < n; ++i) {
        TMapHouseRecord h;
        if (!ReadMapHouseRecord(in, h)) {
            ReportError("Map neutral houses cut short");
            return;
        }
        svc.AddNeutralHouse(h);
    }
    if (!MoreToRead(in))
        return;
    std::uint16_t m = 0;
    in.ReadU16(m);
    const std::int64_t units = std::int64_t{m} * MAP_UNIT_RECORD_SIZE;
    in.Seek(in.Pos() + static_cast<std::int32_t>(std::min<std::int64_t>(units, in.Remaining())));
}

bool LoadMapFile(const char* name, const TMapStartRecord* start)
{
    std::snprintf(g_MapName, sizeof g_MapName, "%s", name ? name : "");
    g_MapKind = MapKindOfName(g_MapName);
    // The kind is the season: the winter maps (kind 3) refuse barns.
    g_MapSeason = g_MapKind;
    const std::string path = std::string("Maps\\") + g_MapName;
    g_bLandMap = 1;

    std::vector<std::uint8_t> file;
    if (!ReadGameFile(path.c_str(), file)) {
        ReportError(std::string(g_MapName) + " Load failed!!!");
        return false;
    }
    bool compressed = false;
    const std::vector<std::uint8_t> content = UnpackMapFile(file, path.c_str(), &compressed);
    file.clear();
    if (content.empty())
        return false;
    TIfStreamMemory in(content.data(), static_cast<std::int32_t>(content.size()));
    TMapFileData map;
    if (!ParseMapHead(in, compressed, map))
        return false;

    DestroyMap();
    g_MapWidth = map.width;
    g_MapHeight = map.height;
    g_MapCellCount = std::uint32_t{map.width} * map.height;
    if (!SetMapGeometry())
        return false;
    g_SpecialPointCount = 0;
    if (MapServices().ClearTrenchList)
        MapServices().ClearTrenchList();
    FillCells(map);
    ResetTileShading(0, g_MapWidth, 0, g_MapHeight);
    UpdateTileShading(0, g_MapWidth, 0, g_MapHeight);

    g_MapPlayerCount = static_cast<std::uint8_t>(map.players.size());
    bool notPlaying[MAP_PLAYER_SLOTS] = {};
    CreatePlayers(map, start, notPlaying);
    PlaceHouses(map, notPlaying);
    MapServices().MakeBasicMap();
    PlaceUnits(map, notPlaying);
    g_MiniMapScaleX = g_MapWidth * 0.005f;
    g_MiniMapScaleY = g_MapHeight * 0.005f;
    g_MiniMapPixelScaleX = 200.0f / (static_cast<float>(g_MapWidth) * 96.0f);
    g_MiniMapPixelScaleY = 200.0f / (static_cast<float>(g_MapHeight) * 24.0f);

    if (!ReadTail(in))
        return false;
    CheckTrenchCodes(MapServices());
    RaiseWaterCells();
    MapServices().MakeBasicMap();
    return true;
}

std::vector<TLandCellTextures> MapCellTextureWords()
{
    std::vector<TLandCellTextures> words;
    if (!g_pCellInfo)
        return words;
    words.reserve(g_MapCellCount);
    for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
        words.push_back({&g_pCellInfo[i].base, g_pCellInfo[i].overlay});
    return words;
}

// ---------------------------------------------------------------------------------------------
// Resources of a loaded map

plat::Texture* g_pSelectTexture = nullptr;
plat::Texture* g_pBurntStains[8] = {};
plat::Texture* g_pFilterTexture = nullptr;
plat::Texture* g_pUnitFlashTexture = nullptr;
plat::Texture* g_pWhiteTexture = nullptr;
plat::Texture* g_pTintTexture = nullptr;
std::vector<std::array<plat::RasterVertex, 4>> g_MapQuadBuffers[3];

namespace {

void Release(plat::Texture*& texture)
{
    if (texture)
        texture->Release();
    texture = nullptr;
}

plat::Texture* FilledTexture(const TPixelFormatDesc& format, std::uint32_t pixel)
{
    plat::Texture* t = CreateTexture(2, 2, format);
    if (t)
        t->Fill(pixel);
    return t;
}

bool LoadBurntStains()
{
    for (plat::Texture*& t : g_pBurntStains)
        Release(t);
    if (!Load_LesHeader(LES_SLOT_STAINS, LES_PATH_BURNT_STAINS)) {
        ReportError("FAILED: Data\\Misc\\BurntStains.les");
        return false;
    }
    for (std::uint16_t i = 0; i < 8; ++i) {
        std::uint32_t size = 0;
        std::uint8_t* entry = LoadLesEntry(LES_SLOT_STAINS, nullptr, i, &size);
        if (!entry)
            continue;
        TImage444 image;
        if (Parse444({entry, size}, image))
            g_pBurntStains[i] = CreateTexture4444(image.pixels.data(), static_cast<std::uint16_t>(image.width),
                                                  static_cast<std::uint16_t>(image.height));
        else
            ReportErrorInt("Burnt stain unreadable: ", i);
        FreeLesEntry(entry);
    }
    CloseLes(LES_SLOT_STAINS);
    return true;
}

} // namespace

void CollectSpecialPoints()
{
    g_SpecialPointCount = 0;
    for (std::uint32_t poz = 0; poz < g_MapCellCount; ++poz)
        if (IsResourcePointCode(g_pObjectMap[poz]))
            KeepSpecialPoint(poz, g_MapWidth, g_MapHeight);
}

bool LoadMap(const char* name, bool fromMapFile, const TMapStartRecord* start)
{
    TMapServices& svc = MapServices();
    g_PortPoints.clear();
    g_HouseBarSegments.rects.clear();
    g_HouseBarSegments.houses.clear();
    Release(g_pSelectTexture);
    g_pSelectTexture = Load444Texture("Data\\Misc\\Select.444");
    svc.AdvanceLoadingBar(5);
    if (fromMapFile) {
        if (!LoadMapFile(name, start)) {
            ReportError("LoadMap () FAILED");
            return false;
        }
    } else if (!g_bEditorMode) {
        if (!svc.LoadGameData || !svc.LoadGameData(name)) {
            ReportError("LoadMap () FAILED");
            return false;
        }
        svc.ScrollToOrigin();
    }
    if (!CreateLandscapeTextures()) {
        ReportError("CreateLandscapeTextures() FAILED");
        return false;
    }
    InitTileVertexTemplates();
    FillLandscapeTemplates();
    for (int i = 0; i < 3; ++i)
        g_MapQuadBuffers[i].assign(MAP_QUAD_BUFFER_SIZES[i], g_SpriteQuadTemplate);
    Release(g_pTintTexture);
    Release(g_pWhiteTexture);
    g_pTintTexture = FilledTexture(g_TexFormat8888, 0x0100486Au);
    g_pWhiteTexture = FilledTexture(g_TexFormat4444, 0xFFFFu);
    if (!LoadBurntStains())
        return false;
    Release(g_pFilterTexture);
    g_pFilterTexture = LoadTextureTga("Data\\LandTextures\\Filter.tga");
    if (!g_pFilterTexture) {
        ReportError("FAILED: Data\\LandTextures\\Filter.tga");
        return false;
    }
    Release(g_pUnitFlashTexture);
    g_pUnitFlashTexture = Load444Texture("Data\\Misc\\UnitFlash.444");
    return true;
}

void FreeMapResources()
{
    // The view's lists point into the houses and animations that go with the map.
    FreeMapAnimList(g_MapAnimList);
    g_VisibleHouses.clear();
    Release(g_pUnitFlashTexture);
    FreeLandTextures();
    DestroyMap();
    Release(g_pSelectTexture);
    for (plat::Texture*& t : g_pBurntStains)
        Release(t);
    Release(g_pFilterTexture);
    Release(g_pTintTexture);
    Release(g_pWhiteTexture);
    for (auto& buffer : g_MapQuadBuffers)
        buffer = {};
}
