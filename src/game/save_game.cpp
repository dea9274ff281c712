#include "game/save_game.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "combat/effects.h"
#include "core/archive.h"
#include "core/error_log.h"
#include "game/game_load.h"
#include "game/game_main.h"
#include "core/loader_thread.h"
#include "core/memory_stream.h"
#include "game/mission.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "core/string_table.h"
#include "devices/cursor_state.h"
#include "editor/editor.h"
#include "map/fog.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/trenches.h"
#include "map/water.h"
#include "platform/bytes.h"
#include "players/strateg.h"
#include "ui/panel.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"
#include "units/upgrades.h"

namespace {

// The mission path field of the statistics block: 8-bit, zero-padded.
constexpr std::size_t kSavedMissionPathBytes = 260;

// A title field: SAVE_TITLE_CHARS UTF-16 units, cut to leave room for its terminator.
void WriteTitleField(TOfStreamMemory& out, const std::u16string& title)
{
    const std::size_t n = std::min<std::size_t>(title.size(), SAVE_TITLE_CHARS - 1);
    for (std::size_t i = 0; i < static_cast<std::size_t>(SAVE_TITLE_CHARS); ++i)
        out.WriteU16(i < n ? title[i] : 0);
}


constexpr char kGameMapTag[] = "GameMap";   // 8 bytes with the terminator
constexpr char kGameStatTag[] = "GameStat"; // 9 bytes with the terminator
constexpr int kSavedNations = 5;            // the neutral side's types are not saved
// The largest map the block reader accepts; the layers of a bigger one are refused before any
// allocation.
constexpr std::uint32_t kMaxMapSide = 4096;

// Bytes of the "GameStat" block that belong to modules not built yet. They are written as zeros
// and passed over on reading, so that the block already has its final layout; each owner replaces
// its share with its own fields.
// The research marks and the per-player building values stand where the layout gives them.
constexpr std::int32_t kStatPlayerStats = RESEARCH_STATE_BYTES;
constexpr std::int32_t kStatPlayerArrays = PLAYER_BUILDING_VALUES_BYTES;
static_assert(kStatPlayerStats == 24 * 8 + 160 + 160 + 240 + 240 + 5 * 8);
static_assert(kStatPlayerArrays == 9 * 32 + 2 * 8 + 2 * 192);
constexpr std::int32_t kStatGameBytes = 1 + 1 + 2 + 2 + 1 + 1 + 1 + 1 + 1;
constexpr std::int32_t kStatEffects = 32 + 32;
constexpr std::int32_t kStatMission = 2244 + 128 + 40 + 84 + 2000 + 32 + 1;
constexpr std::int32_t kStatColours = 8 + 32 + 16 + 32 + 32;
constexpr std::int32_t kStatSetup = 1 + 1 + 832 + 1 + 256;

void WriteZeros(TOfStreamMemory& out, std::int32_t count)
{
    static const std::uint8_t kZeros[4096] = {};
    while (count > 0) {
        const std::int32_t n = std::min<std::int32_t>(count, sizeof kZeros);
        out.Write(kZeros, n);
        count -= n;
    }
}

bool Skip(TIfStreamMemory& in, std::int64_t count)
{
    if (count < 0 || count > in.Remaining())
        return false;
    return in.Seek(in.Pos() + static_cast<std::int32_t>(count));
}

bool ReadBytes(TIfStreamMemory& in, void* destination, std::int32_t count)
{
    return in.Read(destination, count) == count;
}

// ---- chunk 0: save information ------------------------------------------------------------------

void WriteInfo(TOfStreamMemory& out)
{
    const std::u16string name = SaveServices().playerName(MyPlayer);
    out.WriteU32(static_cast<std::uint32_t>(name.size()));
    if (!name.empty()) {
        for (char16_t c : name)
            out.WriteU16(c);
        out.WriteU16(0);
    }
    // The mission header's title field comes with the mission loader.
    WriteZeros(out, SAVE_TITLE_CHARS * 2);
    WriteTitleField(out, g_MissionTitle);
}

void ReadTitle(TIfStreamMemory& in, char16_t* title)
{
    for (int i = 0; i < SAVE_TITLE_CHARS; ++i) {
        std::uint16_t c = 0;
        in.ReadU16(c);
        if (title)
            title[i] = c;
    }
    // The caller's buffer holds exactly the field; a full field is cut by one so it ends.
    if (title)
        title[SAVE_TITLE_CHARS - 1] = 0;
}

// ---- chunk 1: "GameMap" ---------------------------------------------------------------------------

void WriteUnitTypeValues(TOfStreamMemory& out, const TBasicUnit& t)
{
    for (const auto& table : t.m_ParamTables)
        for (std::uint16_t v : table)
            out.WriteU16(v);
    // All five per-player arrays: the build times change with research too.
    for (const std::uint16_t* values : {t.m_FirstValue, t.Range, t.ReloadTime, t.MaxHitPoints, t.BuildTime})
        for (int p = 0; p < UNIT_PLAYERS; ++p)
            out.WriteU16(values[p]);
}

bool ReadUnitTypeValues(TIfStreamMemory& in, TBasicUnit& t)
{
    bool ok = true;
    for (auto& table : t.m_ParamTables)
        for (std::uint16_t& v : table)
            ok = in.ReadU16(v) && ok;
    for (std::uint16_t* values : {t.m_FirstValue, t.Range, t.ReloadTime, t.MaxHitPoints, t.BuildTime})
        for (int p = 0; p < UNIT_PLAYERS; ++p)
            ok = in.ReadU16(values[p]) && ok;
    return ok;
}

void WriteWater(TOfStreamMemory& out)
{
    if (g_pWater) {
        g_pWater->SaveWater(out);
        return;
    }
    // Without a water object the map is dry: a blank grid and no coast zones.
    WriteZeros(out, 2 * 2 * static_cast<std::int32_t>(g_MapWidth) * g_MapHeight);
    out.WriteU16(0);
}

void WriteGameMap(TOfStreamMemory& out)
{
    TSaveServices& svc = SaveServices();
    out.Write(kGameMapTag, sizeof kGameMapTag);
    const std::uint16_t players = std::min<std::uint16_t>(g_wNumPlayer, 8);
    out.WriteU16(players);
    out.WriteU16(g_MapWidth);
    out.WriteU16(g_MapHeight);
    out.WriteU16(g_ViewX);
    out.WriteU16(g_ViewY);
    const std::int32_t cells = static_cast<std::int32_t>(g_MapWidth) * g_MapHeight;
    out.Write(g_pHeightMap, cells);
    for (std::int32_t i = 0; i < cells; ++i) {
        const TMapCell& c = g_pCellInfo[i];
        out.WriteU16(c.base);
        out.WriteU8(c.shade);
        out.WriteU8(c.reserved);
        for (std::uint16_t o : c.overlay)
            out.WriteU16(o);
    }
    for (std::int32_t i = 0; i < cells; ++i)
        out.WriteU16(g_pObjectMap[i]);
    out.Write(g_pCellFlags, cells);
    WriteWater(out);
    svc.saveCraters(out);
    SaveHouseTypes(out);
    for (std::uint8_t p = 0; p < players; ++p)
        svc.saveStrateg(p, out);
    for (std::uint16_t n : NumHouse)
        out.WriteU16(n);
    std::uint8_t record[HOUSE_RECORD_SIZE];
    for (std::uint8_t p = 0; p < players; ++p)
        for (std::uint16_t i = 0; i < NumHouse[p]; ++i) {
            const THouse* h = HouseAt(g_pHouse[p], i);
            if (h)
                WriteHouseRecord(*h, record);
            else
                std::memset(record, 0, sizeof record);
            out.Write(record, HOUSE_RECORD_SIZE);
        }
    for (int nation = 0; nation < kSavedNations; ++nation)
        for (int type = 0; type < UNIT_TYPES_PER_NATION; ++type)
            if (const TBasicUnit* t = GetUnitType(nation, type))
                WriteUnitTypeValues(out, *t);
    for (std::uint16_t n : NumUnits)
        out.WriteU16(n);
    // Each player's group manager and pending group orders follow its units in the players' block.
    for (std::uint8_t p = 0; p < players; ++p)
        if (svc.isPlayerInGame(p))
            svc.saveStrategUnits(p, out);
    svc.saveEditorHouses(out);
}

bool ReadLayers(TIfStreamMemory& in, std::uint16_t width, std::uint16_t height)
{
    const std::int64_t cells = std::int64_t{width} * height;
    // Heights, cell records, objects, flags: refuse a block too short before making the layers.
    if (cells * (1 + MAP_CELL_BYTES + 2 + 1) > in.Remaining()) {
        ReportError("GameMap: the map layers are cut short");
        return false;
    }
    DestroyMap();
    g_MapWidth = width;
    g_MapHeight = height;
    if (!SetMapGeometry()) {
        ReportError("GameMap: the map layers cannot be made");
        return false;
    }
    const auto n = static_cast<std::int32_t>(cells);
    in.Read(g_pHeightMap, n);
    for (std::int32_t i = 0; i < n; ++i) {
        TMapCell& c = g_pCellInfo[i];
        in.ReadU16(c.base);
        in.ReadU8(c.shade);
        in.ReadU8(c.reserved);
        for (std::uint16_t& o : c.overlay)
            in.ReadU16(o);
    }
    for (std::int32_t i = 0; i < n; ++i)
        in.ReadU16(g_pObjectMap[i]);
    in.Read(g_pCellFlags, n);
    g_MiniMapScaleX = width * 0.005f;
    g_MiniMapScaleY = height * 0.005f;
    g_MiniMapPixelScaleX = 200.0f / (static_cast<float>(width) * 96.0f);
    g_MiniMapPixelScaleY = 200.0f / (static_cast<float>(height) * 24.0f);
    return true;
}

bool ReadHouses(TIfStreamMemory& in, std::uint16_t players)
{
    std::uint16_t counts[8] = {};
    for (std::uint16_t& n : counts)
        in.ReadU16(n);
    if (in.Failed()) {
        ReportError("GameMap: the building counts are cut short");
        return false;
    }
    std::uint8_t record[HOUSE_RECORD_SIZE];
    for (std::uint8_t p = 0; p < players; ++p) {
        if (counts[p] > HOUSE_PLAYER_CAPACITY) {
            ReportErrorInt("GameMap: too many buildings for player ", p);
            return false;
        }
        for (std::uint16_t i = 0; i < counts[p]; ++i) {
            if (!ReadBytes(in, record, HOUSE_RECORD_SIZE)) {
                ReportErrorInt("GameMap: the buildings are cut short, player ", p);
                return false;
            }
            THouse loaded;
            if (!ReadHouseRecord(record, loaded))
                return false;
            loaded.ResetPhaseFlags();
            if (PlaceLoadedHouse(p, &loaded) == HOUSE_NONE) {
                ReportErrorInt("GameMap: a building cannot be placed, player ", p);
                return false;
            }
            THouse& h = g_pHouse[p][i];
            h.AcquirePhaseGraphic(h.PhaseState, h.PhaseVariant);
            if (h.Destroyed == 0 && h.IsFinished() && h.HouseType < kHouseTypeCountTypes)
                ++g_HouseTypeCount[p][h.HouseType];
            if (i % 50 == 49)
                MapServices().AdvanceLoadingBar(1);
        }
    }
    return true;
}

bool ReadNeutralHouses(TIfStreamMemory& in)
{
    TMapServices& map = MapServices();
    std::uint16_t n = 0;
    if (!in.ReadU16(n)) {
        ReportError("GameMap: the map's own buildings are missing");
        return false;
    }
    if (n > 0)
        map.ReserveNeutralHouses(n);
    for (std::uint16_t i = 0; i < n; ++i) {
        TMapHouseRecord h;
        if (!ReadMapHouseRecord(in, h)) {
            ReportError("GameMap: the map's own buildings are cut short");
            return false;
        }
        map.AddNeutralHouse(h);
    }
    // The map's own units are not kept, as in map files.
    std::uint16_t m = 0;
    if (!in.ReadU16(m) || !Skip(in, std::int64_t{m} * MAP_UNIT_RECORD_SIZE)) {
        ReportError("GameMap: the map's own units are cut short");
        return false;
    }
    return true;
}

bool ReadGameMap(TIfStreamMemory& in)
{
    TSaveServices& svc = SaveServices();
    char tag[sizeof kGameMapTag] = {};
    if (!ReadBytes(in, tag, sizeof tag) || std::memcmp(tag, kGameMapTag, sizeof tag) != 0) {
        ReportError("GameMap: the block tag does not match");
        return false;
    }
    std::uint16_t players = 0, width = 0, height = 0, viewX = 0, viewY = 0;
    in.ReadU16(players);
    in.ReadU16(width);
    in.ReadU16(height);
    in.ReadU16(viewX);
    in.ReadU16(viewY);
    if (in.Failed() || players > 8 || width == 0 || height == 0 || width > kMaxMapSide || height > kMaxMapSide) {
        ReportErrorInt("GameMap: a bad map size or player count, players ", players);
        return false;
    }
    if (!ReadLayers(in, width, height))
        return false;
    {
        std::lock_guard lock(g_InputLock);
        g_ViewX = viewX;
        g_ViewY = viewY;
    }
    MapServices().AdvanceLoadingBar(20);
    if (!MapServices().LoadWater(in)) {
        ReportError("GameMap: the water block is bad");
        return false;
    }
    if (!svc.loadCraters(in)) {
        ReportError("GameMap: the crater block is bad");
        return false;
    }
    if (!LoadHouseTypes(in))
        return false;
    MapServices().AdvanceLoadingBar(5);
    for (std::uint8_t p = 0; p < players; ++p) {
        if (!svc.loadStrateg(p, in)) {
            ReportErrorInt("GameMap: the record of a player cannot be read, player ", p);
            return false;
        }
        g_wNumPlayer = static_cast<std::uint16_t>(p + 1);
    }
    g_wNumPlayer = players;
    if (!ReadHouses(in, players))
        return false;
    for (int nation = 0; nation < kSavedNations; ++nation)
        for (int type = 0; type < UNIT_TYPES_PER_NATION; ++type)
            if (TBasicUnit* t = GetUnitType(nation, type); t && !ReadUnitTypeValues(in, *t)) {
                ReportError("GameMap: the unit-type values are cut short");
                return false;
            }
    std::uint16_t unitCounts[8] = {};
    for (std::uint16_t& n : unitCounts)
        in.ReadU16(n);
    if (in.Failed()) {
        ReportError("GameMap: the unit counts are cut short");
        return false;
    }
    std::copy(std::begin(unitCounts), std::end(unitCounts), std::begin(NumUnits));
    for (std::uint8_t p = 0; p < players; ++p)
        if (svc.isPlayerInGame(p) && !svc.loadStrategUnits(p, in)) {
            ReportErrorInt("GameMap: the units of a player cannot be read, player ", p);
            return false;
        }
    MapServices().AdvanceLoadingBar(10);
    return ReadNeutralHouses(in);
}

// ---- chunk 4: "GameStat" --------------------------------------------------------------------------

void WriteGameStat(TOfStreamMemory& out)
{
    out.Write(kGameStatTag, sizeof kGameStatTag);
    out.WriteU32(g_RandSeed);
    out.WriteU16(g_RandIndex);
    char path[kSavedMissionPathBytes] = {};
    std::memcpy(path, g_MissionPath.data(), std::min(g_MissionPath.size(), sizeof path - 1));
    out.Write(path, sizeof path);
    WriteTitleField(out, g_MissionTitle);
    // The players' statistics: the research marks.
    SaveResearchState(out);
    out.WriteU8(g_bFogOfWar);
    // The players' per-player arrays: the buildings' and the research's values.
    SavePlayerBuildingValues(out);
    // The game's single bytes and words, and the game mode.
    WriteZeros(out, kStatGameBytes);
    out.WriteU32(0);
    out.WriteU32(g_bLandMap);
    // The effects' two tables.
    WriteZeros(out, kStatEffects);
    // The mission header, the campaign, the profile name and the briefing.
    WriteZeros(out, kStatMission);
    // The map loader's value list.
    out.WriteU32(0);
    // The players' 8 bytes and the player colours (rebuilt from the colour tables at load).
    WriteZeros(out, kStatColours);
    SaveFogState(g_FogRevealPoints, out);
    out.WriteU32(static_cast<std::uint32_t>(g_PortPoints.size()));
    for (const TPortPoint& p : g_PortPoints) {
        out.WriteU16(p.x);
        out.WriteU16(p.y);
    }
    // The interface's game bytes, the setup screen's records and the random map's name.
    WriteZeros(out, kStatSetup);
    out.WriteU8(MyPlayer);
}

bool ReadGameStat(TIfStreamMemory& in)
{
    char tag[sizeof kGameStatTag] = {};
    if (!ReadBytes(in, tag, sizeof tag) || std::memcmp(tag, kGameStatTag, sizeof tag) != 0) {
        ReportError("GameStat: the block tag does not match");
        return false;
    }
    std::uint32_t seed = 0;
    std::uint16_t index = 0;
    char path[kSavedMissionPathBytes] = {};
    char16_t title[SAVE_TITLE_CHARS] = {};
    std::uint8_t fog = 0;
    std::uint32_t landMap = 0;
    std::uint32_t values = 0;
    in.ReadU32(seed);
    in.ReadU16(index);
    ReadBytes(in, path, sizeof path);
    for (char16_t& c : title) {
        std::uint16_t v = 0;
        in.ReadU16(v);
        c = v;
    }
    std::vector<std::uint8_t> research(kStatPlayerStats);
    std::vector<std::uint8_t> playerValues(kStatPlayerArrays);
    bool ok = ReadBytes(in, research.data(), kStatPlayerStats);
    in.ReadU8(fog);
    ok = ok && ReadBytes(in, playerValues.data(), kStatPlayerArrays) && Skip(in, kStatGameBytes + 4);
    in.ReadU32(landMap);
    ok = ok && Skip(in, kStatEffects + kStatMission);
    in.ReadU32(values);
    ok = ok && Skip(in, std::int64_t{values} * 4) && Skip(in, kStatColours);
    TFogRevealRecord fogRecord{};
    ok = ok && LoadFogState(fogRecord, in);
    std::uint32_t ports = 0;
    in.ReadU32(ports);
    if (!ok || in.Failed() || std::int64_t{ports} * 4 > in.Remaining()) {
        ReportError("GameStat: the block is cut short");
        return false;
    }
    std::vector<TPortPoint> portPoints(ports);
    for (TPortPoint& p : portPoints) {
        in.ReadU16(p.x);
        in.ReadU16(p.y);
    }
    std::uint8_t myPlayer = 0;
    if (!Skip(in, kStatSetup) || !in.ReadU8(myPlayer) || myPlayer >= 8) {
        ReportError("GameStat: the block is cut short or names no local player");
        return false;
    }
    // The per-player values are checked before anything of the block is taken.
    if (!LoadPlayerBuildingValues(playerValues) || !LoadResearchState(research)) {
        ReportError("GameStat: the per-player values are bad");
        return false;
    }
    // The table is a function of the seed: refill it, then go on drawing where the save stopped.
    g_RandSeed = seed;
    InitRandomTable();
    g_RandIndex = index;
    path[sizeof path - 1] = 0;
    g_MissionPath = path;
    title[SAVE_TITLE_CHARS - 1] = 0;
    g_MissionTitle = title;
    g_bFogOfWar = fog != 0 ? 1 : 0;
    g_bLandMap = landMap;
    g_FogRevealPoints = fogRecord;
    g_PortPoints = std::move(portPoints);
    {
        std::lock_guard lock(g_InputLock);
        MyPlayer = myPlayer;
        MyStrateg = g_Strateg[myPlayer];
    }
    return true;
}

// ---- chunks 7 and 8 -------------------------------------------------------------------------------

void WriteAdvisors(TOfStreamMemory& out)
{
    out.Write(g_AdvisorOptions, sizeof g_AdvisorOptions);
    out.Write(g_WarAdvisorOptions, sizeof g_WarAdvisorOptions);
}

bool ReadAdvisors(TIfStreamMemory& in)
{
    std::uint8_t economy[sizeof g_AdvisorOptions];
    std::uint8_t war[sizeof g_WarAdvisorOptions];
    if (!ReadBytes(in, economy, sizeof economy) || !ReadBytes(in, war, sizeof war)) {
        ReportError("Advisor options: the block is cut short");
        return false;
    }
    std::memcpy(g_AdvisorOptions, economy, sizeof economy);
    std::memcpy(g_WarAdvisorOptions, war, sizeof war);
    return true;
}

bool ReadFrameCounter(TIfStreamMemory& in)
{
    std::uint32_t frame = 0;
    if (!in.ReadU32(frame)) {
        ReportError("Frame counter: the block is cut short");
        return false;
    }
    g_FrameCounter = frame;
    return true;
}

bool ApplyChunk(const TSaveChunk& chunk)
{
    TSaveServices& svc = SaveServices();
    TIfStreamMemory in(chunk.data.data(), static_cast<std::int32_t>(chunk.data.size()));
    switch (chunk.id) {
    case SAVE_CHUNK_INFO:
    case SAVE_CHUNK_MINIMAP:
        return true;
    case SAVE_CHUNK_GAME_MAP:
        return ReadGameMap(in);
    // The timed effects and shots (2), the link blocks (3) and the computer players' objects (9)
    // come with their owners; no save written here holds them.
    case SAVE_CHUNK_EFFECTS:
    case SAVE_CHUNK_LINKS:
    case SAVE_CHUNK_PLAYERS:
        return true;
    case SAVE_CHUNK_GAME_STAT:
        return ReadGameStat(in);
    case SAVE_CHUNK_TRENCHES:
        if (!svc.loadTrenchList(in)) {
            ReportError("Trench list: the block is bad");
            return false;
        }
        return true;
    case SAVE_CHUNK_ADVISORS:
        return ReadAdvisors(in);
    case SAVE_CHUNK_FRAME:
        return ReadFrameCounter(in);
    default:
        ReportErrorInt("Load game: unknown chunk ", chunk.id);
        return false;
    }
}

// The chunks of a save file; empty raw on failure (logged).
struct TSaveFile {
    std::uint8_t* raw = nullptr;
    std::uint32_t size = 0;
    ~TSaveFile() { FreeCompressedFile(raw); }
    std::span<const std::uint8_t> Bytes() const { return {raw, size}; }
};

} // namespace

// ---- the container ----------------------------------------------------------------------------------

std::int32_t BeginSaveChunk(TOfStreamMemory& out, std::uint16_t id)
{
    out.WriteU16(id);
    const std::int32_t position = out.Pos();
    out.WriteU32(SAVE_CHUNK_PLACEHOLDER);
    return position;
}

void EndSaveChunk(TOfStreamMemory& out, std::int32_t lengthPosition)
{
    std::uint8_t length[4];
    plat::WriteU32LE(length, static_cast<std::uint32_t>(out.Pos() - lengthPosition - 4));
    out.Insert(lengthPosition, length, 4);
}

bool SplitSaveChunks(std::span<const std::uint8_t> raw, std::vector<TSaveChunk>& out)
{
    std::size_t pos = 0;
    // A single byte left over is padding, as the reading loop has always allowed.
    while (pos + 1 < raw.size()) {
        if (raw.size() - pos < static_cast<std::size_t>(SAVE_CHUNK_HEADER)) {
            ReportErrorInt("Load game: a chunk header is cut short at ", static_cast<long long>(pos));
            return false;
        }
        TSaveChunk chunk;
        chunk.id = plat::ReadU16LE(raw.data() + pos);
        const std::uint32_t length = plat::ReadU32LE(raw.data() + pos + 2);
        pos += SAVE_CHUNK_HEADER;
        if (length > raw.size() - pos) {
            ReportErrorInt("Load game: a chunk is longer than the file, chunk ", chunk.id);
            return false;
        }
        chunk.data = raw.subspan(pos, length);
        pos += length;
        out.push_back(chunk);
    }
    return true;
}

bool BuildSaveImage(TOfStreamMemory& out)
{
    TSaveServices& svc = SaveServices();
    if (!g_pHeightMap || !g_pCellInfo || !g_pObjectMap || !g_pCellFlags) {
        ReportError("Save game: no map is loaded");
        return false;
    }
    bool ok = true;
    std::int32_t at = BeginSaveChunk(out, SAVE_CHUNK_INFO);
    WriteInfo(out);
    EndSaveChunk(out, at);

    at = BeginSaveChunk(out, SAVE_CHUNK_GAME_MAP);
    WriteGameMap(out);
    EndSaveChunk(out, at);

    // Chunk 3 (the "Houses" and "Units" link blocks) goes here, then chunk 2 (the timed effects and
    // the shots), once their owners exist.

    at = BeginSaveChunk(out, SAVE_CHUNK_GAME_STAT);
    WriteGameStat(out);
    EndSaveChunk(out, at);

    at = BeginSaveChunk(out, SAVE_CHUNK_MINIMAP);
    const std::int32_t pictureStart = out.Pos();
    if (!svc.writeMiniMapImage(out) || out.Pos() - pictureStart != SAVE_MINIMAP_BYTES) {
        ReportError("Save game: the minimap picture cannot be written");
        ok = false;
    }
    EndSaveChunk(out, at);

    at = BeginSaveChunk(out, SAVE_CHUNK_TRENCHES);
    ok = svc.saveTrenchList(out) && ok;
    EndSaveChunk(out, at);

    at = BeginSaveChunk(out, SAVE_CHUNK_ADVISORS);
    WriteAdvisors(out);
    EndSaveChunk(out, at);

    at = BeginSaveChunk(out, SAVE_CHUNK_FRAME);
    out.WriteU32(g_FrameCounter);
    EndSaveChunk(out, at);

    // Chunk 9 (the computer players' group managers and planners) goes here.
    if (!out.Ok()) {
        ReportError("Save game: out of memory");
        return false;
    }
    return ok;
}

bool ApplySaveImage(std::span<const std::uint8_t> raw)
{
    std::vector<TSaveChunk> chunks;
    bool ok = SplitSaveChunks(raw, chunks);
    for (const TSaveChunk& chunk : chunks)
        ok = ApplyChunk(chunk) && ok;
    return ok;
}

bool SaveGameData(const char* path)
{
    TOfStreamMemory out;
    // Nothing reaches the disk unless the whole save was built; the file is then replaced whole.
    const bool ok = BuildSaveImage(out) && out.SaveCompressed(path);
    out.Free();
    if (!ok)
        ReportError2("Save game FAILED: ", path ? path : "");
    return ok;
}

bool LoadGameData(const char* path)
{
    TSaveServices& svc = SaveServices();
    g_FrameCounter = 0;
    // A save without chunk 7 leaves every advisor option on.
    std::memset(g_AdvisorOptions, 1, sizeof g_AdvisorOptions);
    std::memset(g_WarAdvisorOptions, 1, sizeof g_WarAdvisorOptions);
    TSaveFile file;
    file.raw = LoadCompressedFile(path, &file.size);
    if (!file.raw) {
        ReportError2("Load game: cannot read ", path ? path : "");
        return false;
    }
    const bool ok = ApplySaveImage(file.Bytes());
    if (ok)
        svc.waitLoaderIdle();
    svc.updateInterfacePanel(0);
    return ok;
}

bool ReadSaveGameInfo(const char* path, char16_t* name, std::int32_t capacity, char16_t* title, char16_t* mapTitle)
{
    TSaveFile file;
    file.raw = LoadCompressedFile(path, &file.size);
    std::vector<TSaveChunk> chunks;
    if (file.raw)
        SplitSaveChunks(file.Bytes(), chunks);
    const auto info = std::find_if(chunks.begin(), chunks.end(), [](const TSaveChunk& c) { return c.id == SAVE_CHUNK_INFO; });
    if (info == chunks.end()) {
        ReportError("Cant load game info");
        return false;
    }
    TIfStreamMemory in(info->data.data(), static_cast<std::int32_t>(info->data.size()));
    std::uint32_t length = 0;
    if (!in.ReadU32(length) || (length > 0 && (std::int64_t{length} + 1) * 2 > in.Remaining())) {
        ReportError("Cant load game info");
        return false;
    }
    if (length > 0) {
        // An over-long name is cut so that the titles are still read.
        if (capacity <= 0 || length >= static_cast<std::uint32_t>(capacity))
            ReportError("LoadGameInfo - name length is too much");
        const std::uint32_t keep = capacity > 0 ? std::min<std::uint32_t>(length, capacity - 1) : 0;
        for (std::uint32_t i = 0; i <= length; ++i) {
            std::uint16_t c = 0;
            in.ReadU16(c);
            if (name && i < keep)
                name[i] = c;
        }
        if (name && capacity > 0)
            name[keep] = 0;
    } else if (name && capacity > 0) {
        name[0] = 0;
    }
    if (std::int64_t{SAVE_TITLE_CHARS} * 4 > in.Remaining()) {
        ReportError("Cant load game info");
        return false;
    }
    ReadTitle(in, title);
    ReadTitle(in, mapTitle);
    if (mapTitle && mapTitle[0] == 0) {
        const std::u16string_view text = GetResString(u"IDS_RANDOM_MAP");
        const std::size_t n = std::min<std::size_t>(text.size(), SAVE_TITLE_CHARS - 1);
        std::copy_n(text.begin(), n, mapTitle);
        mapTitle[n] = 0;
    }
    return true;
}

plat::Texture* LoadSaveMiniMap(const char* path)
{
    TSaveFile file;
    file.raw = LoadCompressedFile(path, &file.size);
    if (!file.raw)
        return nullptr;
    std::vector<TSaveChunk> chunks;
    SplitSaveChunks(file.Bytes(), chunks);
    for (const TSaveChunk& chunk : chunks)
        if (chunk.id == SAVE_CHUNK_MINIMAP) {
            if (chunk.data.size() != static_cast<std::size_t>(SAVE_MINIMAP_BYTES)) {
                ReportError2("Save minimap has a wrong size: ", path);
                return nullptr;
            }
            TIfStreamMemory in(chunk.data.data(), SAVE_MINIMAP_BYTES);
            return SaveServices().createMiniMap(in);
        }
    return nullptr;
}

// ---- services ------------------------------------------------------------------------------------

TSaveServices TSaveServices::Default()
{
    TSaveServices s;
    s.playerName = GetPlayerName;
    s.isPlayerInGame = IsPlayerInGame;
    s.saveStrateg = SaveStrateg;
    s.loadStrateg = LoadStrategAI;
    s.saveStrategUnits = SaveStrategUnits;
    s.loadStrategUnits = LoadStrateg;
    s.saveCraters = SaveCraters;
    s.loadCraters = LoadCraters;
    s.saveEditorHouses = SaveEditorHouses;
    s.writeMiniMapImage = WriteMiniMapImage;
    s.createMiniMap = CreateMiniMap;
    s.saveTrenchList = [](TOfStreamMemory& out) { return g_TrenchList.SaveTrenchList(out); };
    s.loadTrenchList = [](TIfStreamMemory& in) { return g_TrenchList.LoadTrenchList(in); };
    s.waitLoaderIdle = [] {
        while (!g_Loader.WaitUntilIdleFor(500)) {
        }
    };
    s.updateInterfacePanel = UpdateInterfacePanel;
    return s;
}

TSaveServices& SaveServices()
{
    static TSaveServices services = TSaveServices::Default();
    return services;
}
