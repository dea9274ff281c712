// Feeds arbitrary archive images to the directory parser and, through a file, to the slot reader.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "archives.h"
#include "core/archive.h"
#include "platform/bytes.h"

namespace {

const std::string& ScratchPath()
{
    static const std::string path = [] {
        std::string p = "/tmp/korvela-fuzz-archive-" + std::to_string(getpid()) + ".les";
        std::atexit([] { std::remove(ScratchPath().c_str()); });
        return p;
    }();
    return path;
}

// Random bytes seldom make a valid directory, so half of the inputs build a real archive from the
// input and then overwrite one 32-bit field of it with input bytes.
std::vector<std::uint8_t> MakeImage(const std::uint8_t* data, std::size_t size)
{
    if (size < 8 || (data[0] & 1) == 0)
        return {data, data + size};
    const std::uint32_t patchAt = plat::ReadU16LE(data + 1);
    const std::uint32_t patchValue = plat::ReadU32LE(data + 3);
    const std::size_t count = data[7] % 8;
    std::vector<sampledata::LesSource> sources;
    std::size_t pos = 8;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t len = pos < size ? std::min<std::size_t>(data[pos], size - pos - 1) : 0;
        sampledata::LesSource src;
        src.name = "e" + std::to_string(i);
        src.id = static_cast<std::uint16_t>(i % 3);
        if (pos < size)
            src.data.assign(data + pos + 1, data + pos + 1 + len);
        pos += len + 1;
        sources.push_back(std::move(src));
    }
    std::vector<std::uint8_t> image = sampledata::BuildLesArchive(sources);
    if (patchAt + 4 <= image.size())
        plat::WriteU32LE(image.data() + patchAt, patchValue);
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> image = MakeImage(data, size);
    std::vector<TLesEntry> entries;
    ParseLesDirectory(image, image.size(), entries, "fuzz");

    std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);
    if (!Load_LesHeader(LES_SLOT_ANIMATION, ScratchPath().c_str()))
        return 0;
    const std::uint32_t count = GetLesEntryCount(LES_SLOT_ANIMATION);
    for (std::uint32_t i = 0; i < count && i < 16; ++i) {
        TLesEntry e{};
        if (!GetLesEntry(LES_SLOT_ANIMATION, i, e))
            break;
        std::uint32_t raw = 0;
        FreeLesEntry(LoadLesEntry(LES_SLOT_ANIMATION, e.name, 0, &raw));
        FreeLesEntry(LoadLesEntry(LES_SLOT_ANIMATION, nullptr, e.id, &raw));
    }
    CloseLes(LES_SLOT_ANIMATION);
    return 0;
}
