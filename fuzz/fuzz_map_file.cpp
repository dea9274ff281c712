// Feeds map files of both forms to the parser and, through a file in a scratch game folder, to the
// whole map-file load.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archives.h"
#include "core/memory_stream.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "maps.h"
#include "platform/bytes.h"
#include "scratch_root.h"
#include "sample_data.h"

namespace {

// Random bytes are seldom a map, so most inputs start from the small sample map, overwrite a few
// of its bytes with input bytes and cut it at an input-chosen length.
std::vector<std::uint8_t> MakeImage(const std::uint8_t* data, std::size_t size)
{
    if (size < 8 || (data[0] & 3) == 0)
        return {data, data + size};
    static const sampledata::SampleMap sample = sampledata::MakeTestMap();
    std::vector<std::uint8_t> image = sampledata::BuildMapImage(sample.data, sample.tail, (data[0] & 4) != 0);
    const std::size_t cut = image.size() - plat::ReadU16LE(data + 1) % 4096;
    image.resize(std::max<std::size_t>(cut, 4));
    for (std::size_t pos = 3; pos + 4 < size; pos += 5) {
        const std::uint32_t at = plat::ReadU32LE(data + pos) % image.size();
        image[at] = data[pos + 4];
    }
    if ((data[0] & 4) == 0)
        return sampledata::BuildCompressedFile(image);
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> file = MakeImage(data, size);
    bool compressed = false;
    const std::vector<std::uint8_t> content = UnpackMapFile(file, "fuzz", &compressed);
    if (!content.empty()) {
        TIfStreamMemory in(content.data(), static_cast<std::int32_t>(content.size()));
        TMapFileData map;
        ParseMapHead(in, compressed, map);
    }
    if (!sampledata::WriteFileBytes(ScratchGameRoot("map"), "Maps/f.dat", file.data(), file.size()))
        return 0;
    LoadMapFile("f.dat", nullptr);
    GetMapPlayerCount("f.dat");
    DestroyMap();
    return 0;
}
