// Feeds object-kind entries to the entry parser and, packed into an archive of a scratch game
// folder, to the objects loader.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archives.h"
#include "device_once.h"
#include "map/map_objects.h"
#include "objects.h"
#include "platform/bytes.h"
#include "scratch_root.h"


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!OpenDeviceOnce() || size < 2)
        return 0;
    std::vector<std::uint8_t> entry(data + 1, data + size);
    // Odd first bytes: a real stones entry with its head overwritten by input bytes.
    if (data[0] & 1) {
        const std::vector<std::uint8_t> tail(entry);
        entry = sampledata::BuildSampleObjectKind(1);
        for (std::size_t i = 0; i < tail.size() && i < 8; ++i)
            entry[(i * 57) % entry.size()] = tail[i];
    }
    std::vector<TMapObjectRecord> records;
    std::uint8_t textures = 0;
    std::span<const std::uint8_t> pixels;
    ParseObjectBlock(entry, records, textures, pixels);
    std::vector<sampledata::LesSource> sources;
    for (std::uint16_t k = 0; k < 3; ++k)
        if (!(data[0] & (2 << k)))
            sources.push_back({"k" + std::to_string(k), k, entry});
    if (!sampledata::WriteLesArchive(ScratchGameRoot("objects"), "Data/Objects/Objects.les", sources))
        return 0;
    LoadObjects();
    FreeObjects();
    return 0;
}
