#include "game/save_game.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <mutex>
#include <string_view>
#include <thread>

#include "combat/craters.h"
#include "combat/effects.h"
#include "combat/game_state.h"
#include "combat/shots.h"
#include "combat/target_grid.h"
#include "core/archive.h"
#include "core/error_log.h"
#include "core/loader_thread.h"
#include "core/memory_stream.h"
#include "core/random_table.h"
#include "core/settings.h"
#include "core/string_table.h"
#include "devices/cursor_state.h"
#include "editor/editor.h"
#include "game/game_load.h"
#include "game/game_main.h"
#include "game/mission.h"
#include "combat/explosions.h"
#include "map/fog.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/trenches.h"
#include "map/water.h"
#include "platform/bytes.h"
#include "players/computer_player.h"
#include "players/dispatcher.h"
#include "players/game_cycle.h"
#include "movement/path_cache.h"
#include "movement/path_search.h"
#include "players/player_saves.h"
#include "players/strateg.h"
#include "ui/panel.h"
#include "ui/setup_screen.h"
#include "units/house.h"
#include "units/house_links.h"
#include "units/house_behaviour.h"
#include "units/house_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_lists.h"
#include "units/unit_types.h"
#include "units/upgrades.h"

namespace {

// The mission path field of the statistics block: 8-bit, zero-padded.
constexpr std::size_t kSavedMissionPathBytes = 260;

// Wide text of a fixed field: chars UTF-16 units, cut to leave room for its terminator.
void WriteWideField(TOfStreamMemory& out, std::u16string_view text, std::size_t chars)
{
    const std::size_t n = std::min(text.size(), chars - 1);
    for (std::size_t i = 0; i < chars; ++i)
        out.WriteU16(i < n ? text[i] : 0);
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
// The mission fields: the header's first bytes, an interface share, the campaign's name, the
// profile name and the briefing, then an interface share again.
constexpr std::size_t kStatHeaderBytes = 2244;
constexpr std::int32_t kStatInterfaceA = 128;
constexpr std::size_t kStatCampaignBytes = 40;
constexpr std::size_t kStatProfileChars = 42;
constexpr std::size_t kStatBriefingChars = 1000;
constexpr std::int32_t kStatInterfaceB = 32 + 1;
constexpr std::int32_t kStatPlayerBytes = 8;
// The setup screen's player rows: the name, then nation, colour, team and level at their offsets.
constexpr std::size_t kSetupRowBytes = 104;
constexpr std::size_t kSetupNameChars = 42;
constexpr std::size_t kRandomMapNameBytes = 256;
// A player's unit table holds 65 pages of 1000 units.
constexpr std::uint32_t kUnitTableCapacity = 65000;
constexpr char kHousesTag[] = {'H', 'o', 'u', 's', 'e', 's'};
constexpr char kUnitsTag[] = {'U', 'n', 'i', 't', 's'};

// What a load keeps between chunks: whether the map and the statistics were read, and what each
// building's stored record says its link entry holds. Main thread only, like every load.
struct TLoadState {
    bool mapRead = false;
    bool statRead = false;
    std::vector<THouseLinkCounts> links[8];
    // The local player's name of the save information: the players' own blocks do not hold it.
    std::u16string localName;
    bool infoRead = false;
    // Of the cycle state: put in once every player's units and buildings are.
    bool cycleExtras = false;
    std::uint16_t statIndex[8] = {};
    TTargetGridImage grid;
};
TLoadState g_Load;
// The local player's name of the last save read. The players' own blocks are not saved yet, so a
// game loaded from a save has no player records to hold it; its next save keeps this name. Main
// thread only.
std::optional<std::u16string> g_SavedLocalName;

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
    std::u16string name = SaveServices().playerName(MyPlayer);
    if (name.empty() && g_SavedLocalName)
        name = *g_SavedLocalName;
    out.WriteU32(static_cast<std::uint32_t>(name.size()));
    if (!name.empty()) {
        for (char16_t c : name)
            out.WriteU16(c);
        out.WriteU16(0);
    }
    WriteWideField(out, g_MissionHeader.Title(), SAVE_TITLE_CHARS);
    WriteWideField(out, g_MissionTitle, SAVE_TITLE_CHARS);
}

// The name at the head of the save information; empty when it is missing or longer than a name.
std::u16string ReadInfoName(TIfStreamMemory& in)
{
    constexpr std::uint32_t kLongestName = 256;
    std::uint32_t count = 0;
    if (!in.ReadU32(count) || count == 0 || count > kLongestName)
        return {};
    std::u16string name(count, u'\0');
    for (char16_t& c : name) {
        std::uint16_t v = 0;
        if (!in.ReadU16(v))
            return {};
        c = static_cast<char16_t>(v);
    }
    return name;
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

// The eight players' unit counts of the map chunk, each within a player's table.
bool ReadUnitCounts(TIfStreamMemory& in, std::uint16_t (&unitCounts)[8])
{
    for (std::uint16_t& n : unitCounts)
        in.ReadU16(n);
    if (in.Failed()) {
        ReportError("GameMap: the unit counts are cut short");
        return false;
    }
    for (int p = 0; p < 8; ++p)
        if (unitCounts[p] > kUnitTableCapacity) {
            ReportErrorInt("GameMap: more units than a player's table holds, player ", p);
            return false;
        }
    return true;
}

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
    // Units made after a load number on from where the saving game stood.
    out.WriteU32(static_cast<std::uint32_t>(g_UnitIdCounter));
    svc.saveEditorHouses(out);
}

struct TGameMapHeader {
    std::uint16_t players = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t viewX = 0;
    std::uint16_t viewY = 0;
};

// The block's tag, sizes and player count, and whether the layers fit in what follows; nothing of
// the game changes.
bool ReadGameMapHeader(TIfStreamMemory& in, TGameMapHeader& h)
{
    char tag[sizeof kGameMapTag] = {};
    if (!ReadBytes(in, tag, sizeof tag) || std::memcmp(tag, kGameMapTag, sizeof tag) != 0) {
        ReportError("GameMap: the block tag does not match");
        return false;
    }
    in.ReadU16(h.players);
    in.ReadU16(h.width);
    in.ReadU16(h.height);
    in.ReadU16(h.viewX);
    in.ReadU16(h.viewY);
    if (in.Failed() || h.players > 8 || h.width == 0 || h.height == 0 || h.width > kMaxMapSide ||
        h.height > kMaxMapSide) {
        ReportErrorInt("GameMap: a bad map size or player count, players ", h.players);
        return false;
    }
    // Heights, cell records, objects, flags: refuse a block too short before making the layers.
    if (std::int64_t{h.width} * h.height * (1 + MAP_CELL_BYTES + 2 + 1) > in.Remaining()) {
        ReportError("GameMap: the map layers are cut short");
        return false;
    }
    return true;
}

bool ReadLayers(TIfStreamMemory& in, std::uint16_t width, std::uint16_t height)
{
    const std::int64_t cells = std::int64_t{width} * height;
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
    CollectSpecialPoints();
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
            const THouseLinkCounts links = ReadHouseLinkCounts(std::span<const std::uint8_t, HOUSE_RECORD_SIZE>(record));
            THouse loaded;
            if (!ReadHouseRecord(record, loaded))
                return false;
            const std::uint16_t index = PlaceSavedHouse(p, &loaded);
            if (index == HOUSE_NONE) {
                ReportErrorInt("GameMap: a building cannot be placed, player ", p);
                return false;
            }
            THouse& h = g_pHouse[p][index];
            h.AcquireSavedPhases();
            g_Load.links[p].push_back(links);
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
    TGameMapHeader header;
    if (!ReadGameMapHeader(in, header) || !ReadLayers(in, header.width, header.height))
        return false;
    const std::uint16_t players = header.players;
    {
        std::lock_guard lock(g_InputLock);
        g_ViewX = header.viewX;
        g_ViewY = header.viewY;
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
    // Placing the saved buildings counts them again; the players' blocks hold the true counters.
    THouseCounters counters[8];
    std::copy(std::begin(g_HouseCounters), std::end(g_HouseCounters), std::begin(counters));
    const bool housesRead = ReadHouses(in, players);
    std::copy(std::begin(counters), std::end(counters), std::begin(g_HouseCounters));
    if (!housesRead)
        return false;
    // The pass maps follow the map's objects and the buildings standing on it; the units read
    // next walk on them.
    if (MapServices().MakeBasicMap)
        MapServices().MakeBasicMap();
    for (int nation = 0; nation < kSavedNations; ++nation)
        for (int type = 0; type < UNIT_TYPES_PER_NATION; ++type)
            if (TBasicUnit* t = GetUnitType(nation, type); t && !ReadUnitTypeValues(in, *t)) {
                ReportError("GameMap: the unit-type values are cut short");
                return false;
            }
    std::uint16_t unitCounts[8] = {};
    if (!ReadUnitCounts(in, unitCounts))
        return false;
    // Once the units block holds the units, the counts follow from the units read.
    std::copy(std::begin(unitCounts), std::end(unitCounts), std::begin(NumUnits));
    for (std::uint8_t p = 0; p < players; ++p)
        if (svc.isPlayerInGame(p) && !svc.loadStrategUnits(p, in)) {
            ReportErrorInt("GameMap: the units of a player cannot be read, player ", p);
            return false;
        }
    // Queued records, group orders, towers and pending path moves point at what was just read,
    // never at old memory.
    RelinkLoadedPlayers();
    std::uint32_t idCounter = 0;
    if (!in.ReadU32(idCounter)) {
        ReportError("GameMap: the unit id counter is missing");
        return false;
    }
    g_UnitIdCounter = static_cast<std::int32_t>(idCounter);
    MapServices().AdvanceLoadingBar(10);
    return ReadNeutralHouses(in);
}

// ---- chunk 4: "GameStat" --------------------------------------------------------------------------

std::u16string ReadWideField(TIfStreamMemory& in, std::size_t chars)
{
    std::u16string text;
    bool ended = false;
    for (std::size_t i = 0; i < chars; ++i) {
        std::uint16_t c = 0;
        in.ReadU16(c);
        if (c == 0 || i + 1 == chars)
            ended = true;
        if (!ended)
            text.push_back(static_cast<char16_t>(c));
    }
    return text;
}

// 8-bit text of a fixed field, zero-padded, the last byte always the terminator.
void WriteTextField(TOfStreamMemory& out, std::string_view text, std::size_t bytes)
{
    std::vector<char> field(bytes, 0);
    std::memcpy(field.data(), text.data(), std::min(text.size(), bytes - 1));
    out.Write(field.data(), static_cast<std::int32_t>(bytes));
}

std::string ReadTextField(TIfStreamMemory& in, std::size_t bytes)
{
    std::vector<char> field(bytes, 0);
    ReadBytes(in, field.data(), static_cast<std::int32_t>(bytes));
    field[bytes - 1] = 0;
    return field.data();
}

// The "GameStat" block as read, applied only once the whole block was read.
struct TGameStat {
    std::uint32_t seed = 0;
    std::uint16_t index = 0;
    std::string missionPath;
    std::u16string missionTitle;
    std::uint8_t fog = 0;
    std::uint32_t gameMode = 0;
    std::uint32_t landMap = 0;
    std::array<std::uint8_t, kStatHeaderBytes> header{};
    std::string campaign;
    std::u16string briefing;
    std::uint32_t coloursD3D[PLAYER_COLORS] = {};
    std::uint16_t colours16[PLAYER_COLORS] = {};
    std::uint32_t coloursGdi[PLAYER_COLORS] = {};
    std::uint32_t paletteGdi[PLAYER_COLORS] = {};
    TFogRevealRecord fogRecord{};
    std::vector<TPortPoint> ports;
    std::uint8_t randomMapGame = 0;
    TSetupPlayer setup[8] = {};
    std::uint8_t setupCount = 0;
    std::string randomMapName;
    std::uint8_t myPlayer = 0;
    std::vector<std::uint8_t> research;
    std::vector<std::uint8_t> playerValues;
};

void WriteSetupRow(TOfStreamMemory& out, const TSetupPlayer& row)
{
    std::uint8_t bytes[kSetupRowBytes] = {};
    for (std::size_t i = 0; i < kSetupNameChars; ++i)
        plat::WriteU16LE(bytes + 2 * i, row.name[i]);
    bytes[84] = row.nation;
    bytes[85] = row.colour;
    bytes[86] = row.team;
    bytes[92] = row.level;
    out.Write(bytes, kSetupRowBytes);
}

void ReadSetupRow(TIfStreamMemory& in, TSetupPlayer& row)
{
    std::uint8_t bytes[kSetupRowBytes] = {};
    ReadBytes(in, bytes, kSetupRowBytes);
    for (std::size_t i = 0; i < kSetupNameChars; ++i)
        row.name[i] = static_cast<char16_t>(plat::ReadU16LE(bytes + 2 * i));
    row.name[kSetupNameChars - 1] = 0;
    row.nation = bytes[84];
    row.colour = bytes[85];
    row.team = bytes[86];
    row.level = bytes[92];
}

void WriteGameStat(TOfStreamMemory& out)
{
    out.Write(kGameStatTag, sizeof kGameStatTag);
    out.WriteU32(g_RandSeed);
    out.WriteU16(g_RandIndex);
    WriteTextField(out, g_MissionPath, kSavedMissionPathBytes);
    WriteWideField(out, g_MissionTitle, SAVE_TITLE_CHARS);
    // The players' statistics: the research marks.
    SaveResearchState(out);
    out.WriteU8(g_bFogOfWar);
    // The players' per-player arrays: the buildings' and the research's values.
    SavePlayerBuildingValues(out);
    // The game's single bytes and words, the game mode and the map flag.
    WriteZeros(out, kStatGameBytes);
    out.WriteU32(g_GameMode);
    out.WriteU32(g_bLandMap);
    // The effects' two tables.
    WriteZeros(out, kStatEffects);
    out.Write(g_MissionHeader.bytes.data(), static_cast<std::int32_t>(kStatHeaderBytes));
    WriteZeros(out, kStatInterfaceA);
    WriteTextField(out, g_CampaignName, kStatCampaignBytes);
    WriteWideField(out, MissionServices().ProfileName(), kStatProfileChars);
    WriteWideField(out, g_MissionBriefing, kStatBriefingChars);
    WriteZeros(out, kStatInterfaceB);
    // The map loader's value list.
    out.WriteU32(0);
    WriteZeros(out, kStatPlayerBytes);
    for (std::uint32_t c : g_PlayerColorsD3D)
        out.WriteU32(c);
    for (std::uint16_t c : g_PlayerColors16)
        out.WriteU16(c);
    for (std::uint32_t c : g_PlayerColorsGdi)
        out.WriteU32(c);
    for (std::uint32_t c : g_PaletteColorsGdi)
        out.WriteU32(c);
    SaveFogState(g_FogRevealPoints, out);
    out.WriteU32(static_cast<std::uint32_t>(g_PortPoints.size()));
    for (const TPortPoint& p : g_PortPoints) {
        out.WriteU16(p.x);
        out.WriteU16(p.y);
    }
    out.WriteU8(g_bRandomMapGame);
    out.WriteU8(0);
    for (const TSetupPlayer& row : g_SetupPlayers)
        WriteSetupRow(out, row);
    out.WriteU8(g_SetupPlayerCount);
    WriteTextField(out, g_RandomMapName, kRandomMapNameBytes);
    out.WriteU8(MyPlayer);
}

// Reads the whole block without changing the game; false (logged) when it is malformed.
bool ReadGameStat(TIfStreamMemory& in, TGameStat& s)
{
    char tag[sizeof kGameStatTag] = {};
    if (!ReadBytes(in, tag, sizeof tag) || std::memcmp(tag, kGameStatTag, sizeof tag) != 0) {
        ReportError("GameStat: the block tag does not match");
        return false;
    }
    std::uint32_t values = 0;
    in.ReadU32(s.seed);
    in.ReadU16(s.index);
    s.missionPath = ReadTextField(in, kSavedMissionPathBytes);
    s.missionTitle = ReadWideField(in, SAVE_TITLE_CHARS);
    s.research.resize(kStatPlayerStats);
    s.playerValues.resize(kStatPlayerArrays);
    bool ok = ReadBytes(in, s.research.data(), kStatPlayerStats);
    in.ReadU8(s.fog);
    ok = ok && ReadBytes(in, s.playerValues.data(), kStatPlayerArrays) && Skip(in, kStatGameBytes);
    in.ReadU32(s.gameMode);
    in.ReadU32(s.landMap);
    ok = ok && Skip(in, kStatEffects);
    ReadBytes(in, s.header.data(), static_cast<std::int32_t>(kStatHeaderBytes));
    ok = ok && Skip(in, kStatInterfaceA);
    s.campaign = ReadTextField(in, kStatCampaignBytes);
    // The profile belongs to the player, not to the game: it is not taken back.
    ok = ok && Skip(in, kStatProfileChars * 2);
    s.briefing = ReadWideField(in, kStatBriefingChars);
    ok = ok && Skip(in, kStatInterfaceB);
    in.ReadU32(values);
    ok = ok && Skip(in, std::int64_t{values} * 4) && Skip(in, kStatPlayerBytes);
    for (std::uint32_t& c : s.coloursD3D)
        in.ReadU32(c);
    for (std::uint16_t& c : s.colours16)
        in.ReadU16(c);
    for (std::uint32_t& c : s.coloursGdi)
        in.ReadU32(c);
    for (std::uint32_t& c : s.paletteGdi)
        in.ReadU32(c);
    ok = ok && LoadFogState(s.fogRecord, in);
    std::uint32_t ports = 0;
    in.ReadU32(ports);
    if (!ok || in.Failed() || std::int64_t{ports} * 4 > in.Remaining()) {
        ReportError("GameStat: the block is cut short");
        return false;
    }
    s.ports.resize(ports);
    for (TPortPoint& p : s.ports) {
        in.ReadU16(p.x);
        in.ReadU16(p.y);
    }
    in.ReadU8(s.randomMapGame);
    ok = Skip(in, 1);
    for (TSetupPlayer& row : s.setup)
        ReadSetupRow(in, row);
    in.ReadU8(s.setupCount);
    s.randomMapName = ReadTextField(in, kRandomMapNameBytes);
    if (!ok || !in.ReadU8(s.myPlayer) || s.myPlayer >= 8) {
        ReportError("GameStat: the block is cut short or names no local player");
        return false;
    }
    return true;
}

// false (logged) when the per-player values are bad; they are checked before any is taken.
bool ApplyGameStat(const TGameStat& s)
{
    if (!LoadPlayerBuildingValues(s.playerValues) || !LoadResearchState(s.research)) {
        ReportError("GameStat: the per-player values are bad");
        return false;
    }
    // The table is a function of the seed: refill it, then go on drawing where the save stopped.
    g_RandSeed = s.seed;
    InitRandomTable();
    g_RandIndex = s.index;
    g_MissionPath = s.missionPath;
    g_MissionTitle = s.missionTitle;
    g_bFogOfWar = s.fog != 0 ? 1 : 0;
    g_GameMode = s.gameMode;
    g_bLandMap = s.landMap;
    g_MissionHeader = TMissionHeader{};
    std::copy(s.header.begin(), s.header.end(), g_MissionHeader.bytes.begin());
    g_CampaignName = s.campaign;
    g_MissionBriefing = s.briefing;
    std::copy(std::begin(s.coloursD3D), std::end(s.coloursD3D), g_PlayerColorsD3D);
    std::copy(std::begin(s.colours16), std::end(s.colours16), g_PlayerColors16);
    std::copy(std::begin(s.coloursGdi), std::end(s.coloursGdi), g_PlayerColorsGdi);
    std::copy(std::begin(s.paletteGdi), std::end(s.paletteGdi), g_PaletteColorsGdi);
    g_FogRevealPoints = s.fogRecord;
    g_PortPoints = s.ports;
    g_bRandomMapGame = s.randomMapGame;
    std::copy(std::begin(s.setup), std::end(s.setup), g_SetupPlayers);
    g_SetupPlayerCount = s.setupCount;
    std::snprintf(g_RandomMapName, sizeof g_RandomMapName, "%s", s.randomMapName.c_str());
    // The local player's record is taken once every chunk is in, when the players are known.
    std::lock_guard lock(g_InputLock);
    MyPlayer = s.myPlayer;
    return true;
}

bool ReadGameStat(TIfStreamMemory& in)
{
    TGameStat stat;
    if (!ReadGameStat(in, stat))
        return false;
    return ApplyGameStat(stat);
}

// ---- chunk 3: the link blocks ---------------------------------------------------------------------

void WriteLinks(TOfStreamMemory& out)
{
    out.Write(kHousesTag, sizeof kHousesTag);
    const std::uint16_t players = std::min<std::uint16_t>(g_wNumPlayer, 8);
    for (std::uint8_t p = 0; p < players; ++p)
        for (std::uint16_t i = 0; i < NumHouse[p]; ++i) {
            if (const THouse* h = HouseAt(g_pHouse[p], i))
                WriteHouseLinks(*h, out);
            else
                out.WriteU8(HOUSE_LINK_SEPARATOR);
        }
    out.Write(kUnitsTag, sizeof kUnitsTag);
    TSaveServices& svc = SaveServices();
    for (std::uint8_t p = 0; p < players; ++p)
        if (svc.isPlayerInGame(p))
            WriteUnitLinkEntries(p, out);
}

bool ReadLinks(TIfStreamMemory& in)
{
    char tag[sizeof kHousesTag] = {};
    if (!ReadBytes(in, tag, sizeof tag) || std::memcmp(tag, kHousesTag, sizeof tag) != 0) {
        ReportError("Houses: the block tag does not match");
        return false;
    }
    TSaveServices& svc = SaveServices();
    for (std::uint8_t p = 0; p < g_wNumPlayer && p < 8; ++p)
        for (std::uint16_t i = 0; i < NumHouse[p]; ++i) {
            THouse* h = HouseAt(g_pHouse[p], i);
            if (h == nullptr || i >= g_Load.links[p].size()) {
                ReportErrorInt("Houses: a building the map block did not place, player ", p);
                return false;
            }
            if (!ReadHouseLinks(*h, g_Load.links[p][i], in, svc.findUnit))
                return false;
        }
    char units[sizeof kUnitsTag] = {};
    if (!ReadBytes(in, units, sizeof units) || std::memcmp(units, kUnitsTag, sizeof units) != 0) {
        ReportError("Units: the block tag does not match");
        return false;
    }
    for (std::uint8_t p = 0; p < g_wNumPlayer && p < 8; ++p)
        if (svc.isPlayerInGame(p) && !ReadUnitLinkEntries(p, in, svc.findUnit))
            return false;
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

// Chunk 8: the frame counter, then the cycle's own state that carries from one cycle to the next
// (budgets, counters, the unit id counter, the explosions' count and trail, the cache of recent
// paths), so that a loaded game goes on as the saving game would have. A chunk of the frame
// counter alone leaves the rest as the load made it.
struct TCycleState {
    std::uint16_t pathBudget = 0;
    std::uint8_t groupOrderBudget = 0;
    std::uint8_t groupOrdersUsed = 0;
    std::uint32_t pathMoves = 0;
    std::uint32_t computerPathMoves = 0;
    std::uint16_t syncSnapshot = 0;
    std::int32_t pathWork = 0;
    std::int32_t unitIds = 0;
    std::uint32_t explosions = 0;
    std::int64_t explosionTrail = 0;
    // The players' places in their statistics rings and the target grid's entries; a save
    // without them leaves the indexes as loaded and files the grid afresh.
    bool hasExtras = false;
    std::uint16_t statIndex[8] = {};
    TTargetGridImage grid;
};

void WriteCycleState(TOfStreamMemory& out)
{
    out.WriteU32(g_FrameCounter);
    out.WriteU16(g_PathBudget);
    out.WriteU8(g_GroupOrderBudget);
    out.WriteU8(g_GroupOrdersUsed);
    out.WriteU32(g_PathMoveCount);
    out.WriteU32(g_CompPathMoveCount);
    out.WriteU16(g_SyncSnapshot);
    out.WriteI32(g_PathWorkCounter);
    out.WriteI32(g_UnitIdCounter);
    out.WriteU32(g_ExplosionsMade);
    out.WriteI64(static_cast<std::int64_t>(g_ExplosionTrail));
    g_PathHelper.Save(out);
    for (std::uint8_t p = 0; p < 8; ++p)
        out.WriteU16(g_Strateg[p] != nullptr ? g_Strateg[p]->StatIndex : std::uint16_t{0});
    SaveTargetGrid(out);
}

// Reads the chunk into the frame counter, the state and the cache; false (logged) when it is bad.
// hasState is false for a chunk of the frame counter alone.
bool ReadCycleState(TIfStreamMemory& in, std::uint32_t& frame, TCycleState& s, CPathHelper& paths, bool& hasState)
{
    if (!in.ReadU32(frame)) {
        ReportError("Frame counter: the block is cut short");
        return false;
    }
    hasState = in.Remaining() > 0;
    if (!hasState)
        return true;
    in.ReadU16(s.pathBudget);
    in.ReadU8(s.groupOrderBudget);
    in.ReadU8(s.groupOrdersUsed);
    in.ReadU32(s.pathMoves);
    in.ReadU32(s.computerPathMoves);
    in.ReadU16(s.syncSnapshot);
    in.ReadI32(s.pathWork);
    in.ReadI32(s.unitIds);
    in.ReadU32(s.explosions);
    in.ReadI64(s.explosionTrail);
    if (in.Failed() || s.unitIds < 0) {
        ReportError("Frame counter: the cycle's state is cut short or bad");
        return false;
    }
    if (!paths.Load(in))
        return false;
    s.hasExtras = in.Remaining() > 0;
    if (!s.hasExtras)
        return true;
    for (std::uint16_t& index : s.statIndex)
        in.ReadU16(index);
    if (in.Failed() || std::any_of(std::begin(s.statIndex), std::end(s.statIndex),
                                   [](std::uint16_t i) { return i >= STRATEG_STAT_RING; })) {
        ReportError("Frame counter: the statistics indexes are cut short or bad");
        return false;
    }
    return ReadTargetGrid(in, s.grid);
}

bool ReadFrameCounter(TIfStreamMemory& in)
{
    std::uint32_t frame = 0;
    TCycleState s;
    CPathHelper paths;
    bool hasState = false;
    if (!ReadCycleState(in, frame, s, paths, hasState))
        return false;
    g_FrameCounter = frame;
    if (!hasState)
        return true;
    g_PathBudget = s.pathBudget;
    g_GroupOrderBudget = s.groupOrderBudget;
    g_GroupOrdersUsed = s.groupOrdersUsed;
    g_PathMoveCount = s.pathMoves;
    g_CompPathMoveCount = s.computerPathMoves;
    g_SyncSnapshot = s.syncSnapshot;
    g_PathWorkCounter = s.pathWork;
    g_UnitIdCounter = s.unitIds;
    g_ExplosionsMade = s.explosions;
    g_ExplosionTrail = static_cast<std::uint64_t>(s.explosionTrail);
    g_PathHelper = std::move(paths);
    g_Load.cycleExtras = s.hasExtras;
    std::copy(std::begin(s.statIndex), std::end(s.statIndex), g_Load.statIndex);
    g_Load.grid = std::move(s.grid);
    return true;
}

bool ApplyChunk(const TSaveChunk& chunk)
{
    TSaveServices& svc = SaveServices();
    TIfStreamMemory in(chunk.data.data(), static_cast<std::int32_t>(chunk.data.size()));
    switch (chunk.id) {
    case SAVE_CHUNK_INFO:
        // Only shown in the save list; a damaged name is passed over.
        g_Load.localName = ReadInfoName(in);
        g_Load.infoRead = true;
        return true;
    case SAVE_CHUNK_MINIMAP:
        return true;
    case SAVE_CHUNK_GAME_MAP:
        g_Load.mapRead = ReadGameMap(in);
        return g_Load.mapRead;
    case SAVE_CHUNK_EFFECTS:
        return svc.loadEffects(in);
    case SAVE_CHUNK_PLAYERS:
        return LoadComputerPlayers(in);
    case SAVE_CHUNK_LINKS:
        if (!g_Load.mapRead) {
            ReportError("Load game: the link blocks come without a map");
            return false;
        }
        return ReadLinks(in);
    case SAVE_CHUNK_GAME_STAT:
        g_Load.statRead = ReadGameStat(in);
        return g_Load.statRead;
    case SAVE_CHUNK_TRENCHES:
        // The list writes its pieces into the object map, which only a read map chunk made.
        if (!g_Load.mapRead) {
            ReportError("Load game: the trench list comes without a map");
            return false;
        }
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

// ---- the check walk: every block read as the loader reads it, nothing kept ------------------------

// What the walk carries from chunk to chunk: the map's player count and, for the link blocks, what
// each building's record says its entry holds.
struct TCheckedHouse {
    THouseLinkCounts links;
    std::uint8_t animations = 0;
};
struct TSaveCheck {
    TGameMapHeader header;
    bool mapRead = false;
    std::vector<TCheckedHouse> houses[8];
    std::uint8_t myPlayer = 0;
};

std::int32_t UnitTypeValueBytes(const TBasicUnit& t)
{
    return static_cast<std::int32_t>(sizeof t.m_ParamTables) + 5 * UNIT_PLAYERS * 2;
}

bool CheckGameMap(TIfStreamMemory& in, TSaveCheck& check)
{
    TSaveServices& svc = SaveServices();
    TGameMapHeader& header = check.header;
    if (!ReadGameMapHeader(in, header))
        return false;
    Skip(in, std::int64_t{header.width} * header.height * (1 + MAP_CELL_BYTES + 2 + 1));
    if (!TWaterMap::CheckWaterBlock(in, header.width, header.height)) {
        ReportError("GameMap: the water block is bad");
        return false;
    }
    TCraters craters;
    if (!craters.LoadCraters(in)) {
        ReportError("GameMap: the crater block is bad");
        return false;
    }
    // The building types of the save: the buildings' animation records follow them.
    auto types = std::make_unique<THouseType[]>(HOUSE_TYPE_COUNT);
    for (int i = 0; i < HOUSE_TYPE_COUNT; ++i) {
        types[i] = g_HouseTypes[i];
        if (!LoadHouseType(in, types[i]))
            return false;
    }
    bool inGame[8] = {};
    for (std::uint8_t p = 0; p < header.players; ++p)
        if (!svc.checkStrateg(p, in, inGame[p])) {
            ReportErrorInt("GameMap: the record of a player cannot be read, player ", p);
            return false;
        }
    std::uint16_t counts[8] = {};
    for (std::uint16_t& n : counts)
        in.ReadU16(n);
    if (in.Failed()) {
        ReportError("GameMap: the building counts are cut short");
        return false;
    }
    std::uint8_t record[HOUSE_RECORD_SIZE];
    for (std::uint8_t p = 0; p < header.players; ++p) {
        if (counts[p] > HOUSE_PLAYER_CAPACITY) {
            ReportErrorInt("GameMap: too many buildings for player ", p);
            return false;
        }
        for (std::uint16_t i = 0; i < counts[p]; ++i) {
            if (!ReadBytes(in, record, HOUSE_RECORD_SIZE)) {
                ReportErrorInt("GameMap: the buildings are cut short, player ", p);
                return false;
            }
            THouse house;
            if (!ReadHouseRecord(record, house))
                return false;
            TCheckedHouse checked;
            checked.links = ReadHouseLinkCounts(std::span<const std::uint8_t, HOUSE_RECORD_SIZE>(record));
            const std::uint32_t typeIndex = plat::ReadU32LE(record);
            checked.animations = static_cast<std::uint8_t>(
                std::clamp<int>(types[typeIndex].m_AnimationCount, 0, HOUSE_LIST_SIZE));
            check.houses[p].push_back(checked);
        }
    }
    // The unit types come from the parameter files, which a fresh load reads as the running game
    // did; without a running game they are unknown, and the rest of the block is left to the load.
    int unitTypes = 0;
    for (int nation = 0; nation < kSavedNations; ++nation)
        for (int type = 0; type < UNIT_TYPES_PER_NATION; ++type)
            if (const TBasicUnit* t = GetUnitType(nation, type)) {
                ++unitTypes;
                if (!Skip(in, UnitTypeValueBytes(*t))) {
                    ReportError("GameMap: the unit-type values are cut short");
                    return false;
                }
            }
    check.mapRead = true;
    if (unitTypes == 0)
        return true;
    std::uint16_t unitCounts[8] = {};
    if (!ReadUnitCounts(in, unitCounts))
        return false;
    for (std::uint8_t p = 0; p < header.players; ++p) {
        if (!inGame[p])
            continue;
        if (!svc.checkStrategUnits)
            return true;
        if (!svc.checkStrategUnits(p, in)) {
            ReportErrorInt("GameMap: the units of a player cannot be read, player ", p);
            return false;
        }
    }
    std::uint16_t n = 0;
    if (!in.ReadU16(n)) {
        ReportError("GameMap: the map's own buildings are missing");
        return false;
    }
    for (std::uint16_t i = 0; i < n; ++i) {
        TMapHouseRecord h;
        if (!ReadMapHouseRecord(in, h)) {
            ReportError("GameMap: the map's own buildings are cut short");
            return false;
        }
    }
    std::uint16_t m = 0;
    if (!in.ReadU16(m) || !Skip(in, std::int64_t{m} * MAP_UNIT_RECORD_SIZE)) {
        ReportError("GameMap: the map's own units are cut short");
        return false;
    }
    return true;
}

bool CheckLinks(TIfStreamMemory& in, const TSaveCheck& check)
{
    char tag[sizeof kHousesTag] = {};
    if (!ReadBytes(in, tag, sizeof tag) || std::memcmp(tag, kHousesTag, sizeof tag) != 0) {
        ReportError("Houses: the block tag does not match");
        return false;
    }
    for (std::uint8_t p = 0; p < check.header.players; ++p)
        for (const TCheckedHouse& house : check.houses[p])
            if (!CheckHouseLinks(house.links, house.animations, in))
                return false;
    char units[sizeof kUnitsTag] = {};
    if (!ReadBytes(in, units, sizeof units) || std::memcmp(units, kUnitsTag, sizeof units) != 0) {
        ReportError("Units: the block tag does not match");
        return false;
    }
    return true;
}

// Chunk 9 as LoadComputerPlayers reads it: per player a flagged group-manager block and a flagged
// planner block, each of a fixed size.
bool CheckComputerPlayers(TIfStreamMemory& in, std::uint16_t players)
{
    constexpr std::int32_t kManagerExtraBytes = 1 + 4;
    for (std::uint16_t p = 0; p < players; ++p)
        for (const std::int32_t bytes : {kManagerExtraBytes, AI_BASE_POINTS_BYTES}) {
            std::uint8_t flag = 0;
            if (!in.ReadU8(flag) || flag > 1 || (flag == 1 && !Skip(in, bytes))) {
                ReportErrorInt("Computer players: the block is bad, player ", p);
                return false;
            }
        }
    return true;
}

bool CheckChunk(const TSaveChunk& chunk, TSaveCheck& check)
{
    TSaveServices& svc = SaveServices();
    TIfStreamMemory in(chunk.data.data(), static_cast<std::int32_t>(chunk.data.size()));
    switch (chunk.id) {
    case SAVE_CHUNK_INFO:
    case SAVE_CHUNK_MINIMAP:
        return true;
    case SAVE_CHUNK_GAME_MAP:
        return CheckGameMap(in, check);
    case SAVE_CHUNK_EFFECTS:
        return svc.checkEffects(in);
    case SAVE_CHUNK_LINKS:
        if (!check.mapRead) {
            ReportError("Load game: the link blocks come without a map");
            return false;
        }
        return CheckLinks(in, check);
    case SAVE_CHUNK_GAME_STAT: {
        TGameStat block;
        if (!ReadGameStat(in, block))
            return false;
        check.myPlayer = block.myPlayer;
        return true;
    }
    case SAVE_CHUNK_TRENCHES:
        if (!check.mapRead) {
            ReportError("Load game: the trench list comes without a map");
            return false;
        }
        if (!TTrenchList::CheckTrenchList(in)) {
            ReportError("Trench list: the block is bad");
            return false;
        }
        return true;
    case SAVE_CHUNK_ADVISORS:
        if (in.Remaining() < static_cast<std::int32_t>(sizeof g_AdvisorOptions + sizeof g_WarAdvisorOptions)) {
            ReportError("Advisor options: the block is cut short");
            return false;
        }
        return true;
    case SAVE_CHUNK_FRAME: {
        std::uint32_t frame = 0;
        TCycleState state;
        CPathHelper paths;
        bool hasState = false;
        return ReadCycleState(in, frame, state, paths, hasState);
    }
    case SAVE_CHUNK_PLAYERS:
        // The loader reads it for the players the map chunk made; before a map there are none.
        return CheckComputerPlayers(in, check.mapRead ? check.header.players : 0);
    default:
        ReportErrorInt("Load game: unknown chunk ", chunk.id);
        return false;
    }
}

bool HasChunk(const std::vector<TSaveChunk>& chunks, std::uint16_t id)
{
    return std::any_of(chunks.begin(), chunks.end(), [id](const TSaveChunk& c) { return c.id == id; });
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

    at = BeginSaveChunk(out, SAVE_CHUNK_LINKS);
    WriteLinks(out);
    EndSaveChunk(out, at);

    at = BeginSaveChunk(out, SAVE_CHUNK_EFFECTS);
    svc.saveEffects(out);
    EndSaveChunk(out, at);

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
    WriteCycleState(out);
    EndSaveChunk(out, at);

    at = BeginSaveChunk(out, SAVE_CHUNK_PLAYERS);
    SaveComputerPlayers(out);
    EndSaveChunk(out, at);

    if (!out.Ok()) {
        ReportError("Save game: out of memory");
        return false;
    }
    return ok;
}

void ForgetSavedLocalName()
{
    g_SavedLocalName.reset();
}

bool ApplySaveImage(std::span<const std::uint8_t> raw)
{
    g_Load = TLoadState{};
    std::vector<TSaveChunk> chunks;
    bool ok = SplitSaveChunks(raw, chunks);
    for (const TSaveChunk& chunk : chunks)
        ok = ApplyChunk(chunk) && ok;
    // Again once the trench pieces stand, as a mission's load does after its last objects.
    if (g_Load.mapRead && MapServices().MakeBasicMap)
        MapServices().MakeBasicMap();
    if (!HasChunk(chunks, SAVE_CHUNK_GAME_MAP)) {
        ReportError("Load game: the save holds no map");
        ok = false;
    }
    if (!HasChunk(chunks, SAVE_CHUNK_GAME_STAT)) {
        ReportError("Load game: the save holds no game statistics");
        ok = false;
    }
    // The units and buildings are in: the grid the target searches read is filed again.
    if (g_Load.mapRead) {
        if (g_Load.cycleExtras)
            ok = RestoreTargetGrid(g_Load.grid) && ok;
        else
            RefillTargetGrid();
    }
    if (g_Load.cycleExtras)
        for (std::uint8_t p = 0; p < 8; ++p)
            if (g_Strateg[p] != nullptr)
                g_Strateg[p]->StatIndex = g_Load.statIndex[p];
    if (g_Load.mapRead && g_Load.statRead && MyPlayer >= g_wNumPlayer) {
        ReportErrorInt("Load game: the local player is not among the players, player ", MyPlayer);
        ok = false;
    }
    {
        std::lock_guard lock(g_InputLock);
        MyStrateg = MyPlayer < 8 && MyPlayer < g_wNumPlayer ? g_Strateg[MyPlayer] : nullptr;
    }
    if (g_Load.infoRead)
        g_SavedLocalName = g_Load.localName;
    else
        g_SavedLocalName.reset();
    g_Load = TLoadState{};
    ForgetLoadedUnitLinks();
    return ok;
}

bool CheckSaveImage(std::span<const std::uint8_t> raw)
{
    std::vector<TSaveChunk> chunks;
    if (!SplitSaveChunks(raw, chunks))
        return false;
    if (!HasChunk(chunks, SAVE_CHUNK_GAME_MAP)) {
        ReportError("Load game: the save holds no map");
        return false;
    }
    if (!HasChunk(chunks, SAVE_CHUNK_GAME_STAT)) {
        ReportError("Load game: the save holds no game statistics");
        return false;
    }
    TSaveCheck check;
    for (const TSaveChunk& chunk : chunks)
        if (!CheckChunk(chunk, check))
            return false;
    if (check.myPlayer >= check.header.players) {
        ReportErrorInt("Load game: the local player is not among the players, player ", check.myPlayer);
        return false;
    }
    return true;
}

bool CheckSaveGameFile(const char* path)
{
    TSaveFile file;
    file.raw = LoadCompressedFile(path, &file.size);
    if (!file.raw) {
        ReportError2("Load game: cannot read ", path ? path : "");
        return false;
    }
    return CheckSaveImage(file.Bytes());
}

bool ReplaceGameFromSave(const char* path)
{
    // Everything that can be told from the file alone is checked before the running game goes.
    if (!CheckSaveGameFile(path)) {
        ReportError2("Load game: the save is refused and the running game stays: ", path ? path : "");
        return false;
    }
    if (g_bGameLoaded)
        FreeGame();
    if (!LoadGame(path, true, nullptr)) {
        ReportError("LoadGame FAILED");
        return false;
    }
    return true;
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
    bool ok = ApplySaveImage(file.Bytes());
    if (ok && !svc.waitLoaderIdle()) {
        ReportError("Load game: the loader thread did not finish its work");
        ok = false;
    }
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
    // A live player's units, then its group manager with its groups, then its pending group orders.
    s.saveStrategUnits = [](std::uint8_t player, TOfStreamMemory& out) {
        SaveStrategUnits(player, out);
        const TStrateg* record = player < 8 ? g_Strateg[player] : nullptr;
        if (record != nullptr && record->GroupManager) {
            record->GroupManager->Save(out);
        } else {
            const TGroupManager blank(player, record != nullptr ? record->Nation : 0);
            blank.Save(out);
        }
        SaveSpecialHeap(player, out);
    };
    s.loadStrategUnits = [](std::uint8_t player, TIfStreamMemory& in) {
        TStrateg* record = player < 8 ? g_Strateg[player] : nullptr;
        if (!LoadStrateg(player, in) || record == nullptr)
            return false;
        if (!record->GroupManager)
            record->GroupManager = std::make_unique<TGroupManager>(player, record->Nation);
        return record->GroupManager->Load(in) && record->LoadSpecialHeap(in);
    };
    s.checkStrateg = CheckStrategBlock;
    s.saveCraters = SaveCraters;
    s.loadCraters = LoadCraters;
    s.saveEditorHouses = SaveEditorHouses;
    s.writeMiniMapImage = WriteMiniMapImage;
    s.createMiniMap = CreateMiniMap;
    s.saveEffects = [](TOfStreamMemory& out) {
        SaveTimedEffects(out);
        SaveShots(out);
    };
    s.loadEffects = [](TIfStreamMemory& in) {
        // The shots follow the hits: a bad hits block leaves nothing to read them from.
        return LoadTimedEffects(in) && LoadShots(in);
    };
    s.checkEffects = [](TIfStreamMemory& in) { return CheckTimedEffects(in) && CheckShots(in); };
    s.saveTrenchList = [](TOfStreamMemory& out) { return g_TrenchList.SaveTrenchList(out); };
    s.loadTrenchList = [](TIfStreamMemory& in) { return g_TrenchList.LoadTrenchList(in); };
    s.waitLoaderIdle = [] {
        for (std::uint32_t waited = 0; waited < LOADER_IDLE_LIMIT_MS; waited += 500)
            if (g_Loader.WaitUntilIdleFor(500))
                return true;
        return g_Loader.IsIdle();
    };
    s.findUnit = [](std::uint8_t player, std::uint16_t index) -> TUnit* {
        if (player >= g_wNumPlayer || !IsPlayerInGame(player))
            return nullptr;
        TUnit* u = g_Strateg[player]->GetUnit(index);
        return u != nullptr && u->Player == player && u->m_Index == index ? u : nullptr;
    };
    s.updateInterfacePanel = UpdateInterfacePanel;
    return s;
}

TSaveServices& SaveServices()
{
    static TSaveServices services = TSaveServices::Default();
    return services;
}
