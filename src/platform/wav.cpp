#include "platform/wav.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/bytes.h"

namespace plat {

namespace {

bool Fail(std::string* error, const char* reason)
{
    if (error)
        *error = reason;
    return false;
}

// Chunks are word-aligned: an odd-sized chunk is followed by one pad byte.
std::size_t Padded(std::uint32_t size) { return static_cast<std::size_t>(size) + (size & 1u); }

} // namespace

bool ParseWave(std::span<const std::uint8_t> image, WaveData& out, std::string* error)
{
    out = WaveData{};
    if (image.size() < 12)
        return Fail(error, "file too short for a RIFF header");
    if (std::memcmp(image.data(), "RIFF", 4) != 0)
        return Fail(error, "not a RIFF file");
    if (std::memcmp(image.data() + 8, "WAVE", 4) != 0)
        return Fail(error, "RIFF form is not WAVE");
    // The RIFF size may overstate a file cut short; chunks are checked against what is really there.
    const std::uint64_t riffEnd = std::min<std::uint64_t>(8ull + ReadU32LE(image.data() + 4), image.size());
    std::size_t pos = 12;
    bool haveFormat = false;
    while (pos + 8 <= riffEnd) {
        const std::uint8_t* h = image.data() + pos;
        const std::uint32_t size = ReadU32LE(h + 4);
        const std::size_t body = pos + 8;
        if (size > riffEnd - body)
            return Fail(error, "chunk runs past the end of the file");
        if (std::memcmp(h, "fmt ", 4) == 0) {
            if (size < 16)
                return Fail(error, "format chunk shorter than 16 bytes");
            const std::uint8_t* f = image.data() + body;
            WaveFormat& wf = out.format;
            wf.formatTag = ReadU16LE(f);
            wf.channels = ReadU16LE(f + 2);
            wf.samplesPerSec = ReadU32LE(f + 4);
            wf.avgBytesPerSec = ReadU32LE(f + 8);
            wf.blockAlign = ReadU16LE(f + 12);
            wf.bitsPerSample = ReadU16LE(f + 14);
            wf.extraSize = size >= 18 ? ReadU16LE(f + 16) : 0;
            haveFormat = true;
        } else if (std::memcmp(h, "data", 4) == 0) {
            if (!haveFormat)
                return Fail(error, "data chunk before the format chunk");
            out.samples.assign(image.begin() + static_cast<std::ptrdiff_t>(body),
                               image.begin() + static_cast<std::ptrdiff_t>(body + size));
            return true;
        }
        pos = body + Padded(size);
    }
    return Fail(error, haveFormat ? "no data chunk" : "no format chunk");
}

bool ReadWaveFile(const std::string& hostPath, WaveData& out, std::string* error)
{
    out = WaveData{};
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(hostPath.c_str(), "rb"), &std::fclose);
    if (!file)
        return Fail(error, "cannot open the file");
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    if (std::ferror(file.get()))
        return Fail(error, "cannot read the file");
    return ParseWave(bytes, out, error);
}

std::vector<std::uint8_t> BuildWaveImage(std::uint16_t channels, std::uint32_t sampleRate, std::uint16_t bitsPerSample,
                                         std::span<const std::uint8_t> samples)
{
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size());
    std::vector<std::uint8_t> img(44 + Padded(dataSize), 0);
    std::uint8_t* p = img.data();
    std::memcpy(p, "RIFF", 4);
    WriteU32LE(p + 4, static_cast<std::uint32_t>(img.size() - 8));
    std::memcpy(p + 8, "WAVE", 4);
    std::memcpy(p + 12, "fmt ", 4);
    WriteU32LE(p + 16, 16);
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * (bitsPerSample / 8));
    WriteU16LE(p + 20, kWaveFormatPcm);
    WriteU16LE(p + 22, channels);
    WriteU32LE(p + 24, sampleRate);
    WriteU32LE(p + 28, sampleRate * blockAlign);
    WriteU16LE(p + 32, blockAlign);
    WriteU16LE(p + 34, bitsPerSample);
    std::memcpy(p + 36, "data", 4);
    WriteU32LE(p + 40, dataSize);
    if (dataSize)
        std::memcpy(p + 44, samples.data(), dataSize);
    return img;
}

} // namespace plat
