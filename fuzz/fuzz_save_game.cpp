// Feeds save games to the chunk reader: as raw chunk sequences to the loader, and as files in a
// scratch game folder to the save list's readers, the check before a load and the whole load.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/save_game.h"
#include "map/map_grid.h"
#include "movement/passability.h"
#include "players/strateg.h"
#include "platform/bytes.h"
#include "archives.h"
#include "sample_data.h"
#include "scratch_root.h"
#include "units/house.h"

namespace {

// Random bytes seldom frame a chunk, so most inputs are turned into chunks: the input's first byte
// chooses the form, and each following piece becomes a chunk of an id in 0..12 whose length may lie.
std::vector<std::uint8_t> MakeImage(const std::uint8_t* data, std::size_t size)
{
    if (size < 4 || (data[0] & 1) == 0)
        return {data, data + size};
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& root = ScratchGameRoot("save");
    const std::vector<std::uint8_t> raw = MakeImage(data, size);
    CheckSaveImage(raw);
    ApplySaveImage(raw);
    const std::vector<std::uint8_t> file = sampledata::BuildCompressedFile(raw);
    if (sampledata::WriteFileBytes(root, "Save/f.svg", file.data(), file.size())) {
        char16_t name[20];
        char16_t title[SAVE_TITLE_CHARS];
        char16_t mapTitle[SAVE_TITLE_CHARS];
        ReadSaveGameInfo("Save\\f.svg", name, 20, title, mapTitle);
        LoadSaveMiniMap("Save\\f.svg");
        CheckSaveGameFile("Save\\f.svg");
    }
    // The players a load made go with their units and groups before the map they stand on.
    FreeGroups();
    ClearGlobalHeap();
    for (std::uint8_t p = 0; p < 8; ++p)
        FreePlayerHouses(p);
    DestroyMap();
    return 0;
}
