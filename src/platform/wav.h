#pragma once
// Reader and writer of RIFF WAVE files: the "fmt " chunk's format record and the "data" chunk.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plat {

// The format record as a WAVE file stores it (18 bytes; files with the 16-byte form read extra 0).
struct WaveFormat {
    std::uint16_t formatTag = 0; // 1 = PCM
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};
constexpr std::uint16_t kWaveFormatPcm = 1;

struct WaveData {
    WaveFormat format;
    std::vector<std::uint8_t> samples;
};

// Parses a whole file image. false (with the reason in *error when given) for anything that is not
// a complete RIFF/WAVE image with a "fmt " chunk of at least 16 bytes before a "data" chunk that
// lies wholly inside the image.
bool ParseWave(std::span<const std::uint8_t> image, WaveData& out, std::string* error = nullptr);
// Reads and parses a host file.
bool ReadWaveFile(const std::string& hostPath, WaveData& out, std::string* error = nullptr);

// A PCM WAVE image: 16-byte "fmt " chunk, then "data".
std::vector<std::uint8_t> BuildWaveImage(std::uint16_t channels, std::uint32_t sampleRate, std::uint16_t bitsPerSample,
                                         std::span<const std::uint8_t> samples);

} // namespace plat
