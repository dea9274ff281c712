// Feeds save games to the chunk reader: as raw chunk sequences to the loader, as a real save of a
// small running game (players, buildings, a shot in flight, a delayed hit, trench pieces) with
// bytes changed and cut where the input says, and as files in a scratch game folder to the save
// list's readers, the check before a load and the whole load. Whatever the check passes, the load
// must take without a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "combat/game_state.h"
#include "combat/shots.h"
#include "combat/timed_effects.h"
#include "core/memory_stream.h"
#include "game/save_game.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "map/trenches.h"
#include "parameters.h"
#include "movement/passability.h"
#include "platform/bytes.h"
#include "archives.h"
#include "players/strateg.h"
#include "sample_data.h"
#include "sample_types.h"
#include "scratch_root.h"
#include "units/house.h"
#include "units/house_types.h"

namespace {

// Random bytes seldom frame a chunk, so most inputs are turned into chunks: each piece becomes a
// chunk of an id in 0..12 whose length may lie.
std::vector<std::uint8_t> MakeImage(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> raw;
    std::size_t pos = 1;
    while (pos + 3 <= size) {
        const std::uint16_t id = data[pos] % 13;
        std::size_t length = data[pos + 1] | (data[pos + 2] << 8);
        pos += 3;
        const std::size_t available = size - pos;
        const std::size_t take = length < available ? length : available;
        // The length field tells the truth unless the high bit of the id byte says otherwise.
        if ((data[pos - 3] & 0x80) == 0)
            length = take;
        raw.push_back(static_cast<std::uint8_t>(id));
        raw.push_back(0);
        std::uint8_t field[4];
        plat::WriteU32LE(field, static_cast<std::uint32_t>(length));
        raw.insert(raw.end(), field, field + 4);
        raw.insert(raw.end(), data + pos, data + pos + take);
        pos += take;
    }
    return raw;
}

void FreeWorld()
{
    // The players a load made go with their units and groups before the map they stand on.
    FreeGroups();
    FreeShotList();
    FreeTimedEffects();
    ClearGlobalHeap();
    for (std::uint8_t p = 0; p < 8; ++p)
        FreePlayerHouses(p);
    DestroyMap();
}

// The save of a small game made once: two players with buildings on a 40 x 60 map, a shot in
// flight, a delayed hit and two trench pieces. The check must pass it.
const std::vector<std::uint8_t>& RealSave()
{
    static const std::vector<std::uint8_t> image = [] {
        g_MapWidth = 40;
        g_MapHeight = 60;
        SetMapGeometry();
        for (const auto& s : sampledata::kSampleHouseTypes)
            HouseType(0, s.type) = sampledata::SampleHouseRecord(0, s);
        for (std::uint32_t i = 0; i < g_MapCellCount; ++i)
            g_pHeightMap[i] = static_cast<std::uint8_t>((i * 37) >> 5);
        for (std::uint8_t p = 0; p < 2; ++p) {
            TMapPlayerRecord record;
            record.name[0] = u'A' + p;
            CreateMapPlayer(record, PLAYER_KIND_COMPUTER);
            for (int i = 0; i < 3; ++i) {
                THouse* t = CreateHouseRecord(4 + i * 9, 8 + p * 30, HOUSE_WATCHTOWER, 0);
                if (t != nullptr)
                    AddHouse(p, t);
                delete t;
            }
        }
        ini_tshot();
        TShotParams params;
        params.startX = 400;
        params.startY = 300;
        params.startZ = 20;
        params.aimX = 700;
        params.aimY = 500;
        params.aimZ = 20;
        params.maxRange = 2000;
        auto* shot = new TShot;
        if (BuildShot(params, *shot))
            g_ShotList = shot;
        else
            delete shot;
        TTimedEffect hit;
        hit.X = 120.0f;
        hit.Y = 90.0f;
        hit.Delay = 4;
        g_TimedEffects.push_back(hit);
        g_TrenchList.AddTrenchEntry(0, 10, 20);
        g_TrenchList.AddTrenchEntry(1, 12, 20);
        TOfStreamMemory out;
        BuildSaveImage(out);
        std::vector<std::uint8_t> raw(out.Data(), out.Data() + out.Size());
        out.Free();
        if (!CheckSaveImage(raw))
            std::abort();
        FreeWorld();
        return raw;
    }();
    return image;
}

// The real save with the input's changes: each 5 bytes set the byte at a 32-bit offset; a last
// piece of 4 bytes or less cuts the save at its offset.
std::vector<std::uint8_t> ChangedSave(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> raw = RealSave();
    std::size_t pos = 1;
    for (; pos + 5 <= size; pos += 5)
        raw[plat::ReadU32LE(data + pos) % raw.size()] = data[pos + 4];
    if (pos + 2 <= size)
        raw.resize(plat::ReadU16LE(data + pos) * 64u % raw.size());
    return raw;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& root = ScratchGameRoot("save");
    std::vector<std::uint8_t> raw;
    if (size < 4 || data[0] % 3 == 0)
        raw.assign(data, data + size);
    else if (data[0] % 3 == 1)
        raw = MakeImage(data, size);
    else
        raw = ChangedSave(data, size);
    CheckSaveImage(raw);
    ApplySaveImage(raw);
    FreeWorld();
    const std::vector<std::uint8_t> file = sampledata::BuildCompressedFile(raw);
    if (sampledata::WriteFileBytes(root, "Save/f.svg", file.data(), file.size())) {
        char16_t name[20];
        char16_t title[SAVE_TITLE_CHARS];
        char16_t mapTitle[SAVE_TITLE_CHARS];
        ReadSaveGameInfo("Save\\f.svg", name, 20, title, mapTitle);
        LoadSaveMiniMap("Save\\f.svg");
        CheckSaveGameFile("Save\\f.svg");
    }
    return 0;
}
