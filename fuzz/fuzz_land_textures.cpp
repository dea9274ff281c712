// Feeds land-texture files to the head parser and, with cell words from the input, to the texture
// loader of a scratch game folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "device_once.h"
#include "land_textures.h"
#include "map/land_textures.h"
#include "platform/bytes.h"
#include "scratch_root.h"
#include "sample_data.h"


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!OpenDeviceOnce() || size < 4)
        return 0;
    // The first 40 bytes are the words of two cells; the rest is the file, or a count for a real one.
    struct Cell {
        std::uint16_t base;
        std::uint16_t overlay[9];
    } cells[2] = {};
    const std::size_t head = std::min<std::size_t>(size, 40);
    for (std::size_t i = 0; i + 1 < head; i += 2)
        (i < 20 ? (i == 0 ? cells[0].base : cells[0].overlay[i / 2 - 1])
                : (i == 20 ? cells[1].base : cells[1].overlay[(i - 20) / 2 - 1])) = plat::ReadU16LE(data + i);
    std::vector<std::uint8_t> file(data + head, data + size);
    if (!file.empty() && (file[0] & 1))
        file = sampledata::BuildLandTexturesDat(1 + file[0] % 8);
    std::uint16_t count = 0;
    std::vector<TLandColor> colors;
    ParseLandTexturesHead(file, count, colors);
    if (!sampledata::WriteFileBytes(ScratchGameRoot("land"), "Data/LandTextures/LandTextures.dat", file.data(), file.size()))
        return 0;
    std::vector<TLandCellTextures> words{{&cells[0].base, cells[0].overlay}, {&cells[1].base, cells[1].overlay}};
    CreateLandscapeTextures(words, (data[0] & 0x80) != 0 && size < 64);
    FreeLandTextures();
    return 0;
}
