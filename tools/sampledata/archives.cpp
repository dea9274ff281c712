#include "archives.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "core/archive.h"
#include "platform/bytes.h"
#include "sample_data.h"

namespace sampledata {

// Bytes 0-3 of an archive hold this tag and bytes 8-11 the offset of the first body; the game's
// reader ignores both.
constexpr char kLesTag[4] = {'L', 'E', 'S', '1'};

std::vector<std::uint8_t> Deflate(std::span<const std::uint8_t> data)
{
    static const Bytef kEmpty = 0;
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> out(size);
    compress(out.data(), &size, data.empty() ? &kEmpty : data.data(), static_cast<uLong>(data.size()));
    out.resize(size);
    return out;
}

std::vector<std::uint8_t> BuildLesArchive(const std::vector<LesSource>& entries)
{
    const std::size_t directoryEnd = LES_HEADER_SIZE + entries.size() * LES_ENTRY_SIZE;
    std::vector<std::uint8_t> out(directoryEnd, 0);
    std::memcpy(out.data(), kLesTag, 4);
    plat::WriteU32LE(out.data() + 4, static_cast<std::uint32_t>(entries.size()));
    plat::WriteU32LE(out.data() + 8, static_cast<std::uint32_t>(directoryEnd));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LesSource& e = entries[i];
        const std::vector<std::uint8_t> body = Deflate(e.data);
        std::uint8_t* d = out.data() + LES_HEADER_SIZE + i * LES_ENTRY_SIZE;
        std::memcpy(d, e.name.data(), std::min<std::size_t>(e.name.size(), LES_NAME_SIZE - 1));
        plat::WriteU16LE(d + 32, e.id);
        plat::WriteU32LE(d + 36, static_cast<std::uint32_t>(body.size()));
        plat::WriteU32LE(d + 40, static_cast<std::uint32_t>(e.data.size()));
        plat::WriteU32LE(d + 44, static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

bool WriteLesArchive(const std::string& outDir, const std::string& relativePath, const std::vector<LesSource>& entries)
{
    const std::vector<std::uint8_t> bytes = BuildLesArchive(entries);
    return WriteFileBytes(outDir, relativePath, bytes.data(), bytes.size());
}

std::vector<std::uint8_t> BuildCompressedFile(std::span<const std::uint8_t> data)
{
    const std::vector<std::uint8_t> body = Deflate(data);
    std::vector<std::uint8_t> out(COMPRESSED_HEADER_SIZE + body.size());
    plat::WriteU32LE(out.data(), static_cast<std::uint32_t>(body.size()));
    plat::WriteU32LE(out.data() + 4, static_cast<std::uint32_t>(data.size()));
    std::copy(body.begin(), body.end(), out.begin() + COMPRESSED_HEADER_SIZE);
    return out;
}

bool WriteCompressedFile(const std::string& outDir, const std::string& relativePath, std::span<const std::uint8_t> data)
{
    const std::vector<std::uint8_t> bytes = BuildCompressedFile(data);
    return WriteFileBytes(outDir, relativePath, bytes.data(), bytes.size());
}

} // namespace sampledata
