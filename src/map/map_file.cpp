#include "map/map_file.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/archive.h"
#include "core/error_log.h"
#include "core/file_bytes.h"
#include "core/memory_stream.h"
#include "platform/bytes.h"

std::uint32_t g_MapKind = 1;
char g_MapName[260] = {};
std::uint32_t g_bLandMap = 1;
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
    out.state = plat::ReadU16LE(r + 32);
    out.type = r[34];
    out.oldForm = true;
    return true;
}

bool ReadOldUnitRecord(TIfStreamMemory& in, TMapUnitRecord& out)
{
    std::uint8_t r[MAP_OLD_UNIT_RECORD_SIZE];
    if (!ReadRecord(in, r, MAP_OLD_UNIT_RECORD_SIZE))
        return false;
    out.x = plat::ReadF32LE(r);
    out.y = plat::ReadF32LE(r + 4);
    out.type = plat::ReadU16LE(r + 8);
    out.orient = r[10];
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
    out.x = plat::ReadF32LE(r);
    out.y = plat::ReadF32LE(r + 4);
    out.type = plat::ReadU16LE(r + 8);
    out.orient = r[10];
    return true;
}

void WriteMapHouseRecord(std::vector<std::uint8_t>& out, const TMapHouseRecord& house)
{
    std::uint8_t r[MAP_HOUSE_RECORD_SIZE] = {};
    plat::WriteU32LE(r, static_cast<std::uint32_t>(house.x));
    plat::WriteU32LE(r + 4, static_cast<std::uint32_t>(house.y));
    r[8] = house.type;
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
    if (!in.ReadU16(out.width) || !in.ReadU16(out.height) || out.width == 0 || out.height == 0) {
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
