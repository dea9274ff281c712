// Feeds damaged films to the film decoder. Inputs with an odd first byte are patches applied to a
// sample film (so the fuzzer reaches the picture and sound decoding at once); the others are taken
// as the whole file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "films.h"
#include "platform/video.h"

namespace {

std::string TempPath(const char* name)
{
    static const unsigned id = std::random_device{}();
    return (std::filesystem::temp_directory_path() / ("korvela-fuzz-" + std::to_string(id) + "-" + name)).string();
}

const std::vector<std::uint8_t>& SampleFilm()
{
    static const std::vector<std::uint8_t> film = [] {
        const std::string path = TempPath("sample.ogm");
        std::vector<std::uint8_t> bytes;
        if (sampledata::WriteFilm(path, sampledata::Film::Logo)) {
            std::ifstream in(path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        std::remove(path.c_str());
        return bytes;
    }();
    return film;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> file;
    if (size > 0 && (data[0] & 1) && !SampleFilm().empty()) {
        file = SampleFilm();
        // Records of 4 bytes: a 24-bit offset and a value to xor there; a final short record cuts the file.
        std::size_t i = 1;
        for (; i + 4 <= size; i += 4) {
            const std::size_t at = (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % file.size();
            file[at] ^= data[i + 3];
        }
        if (i < size)
            file.resize(file.size() * data[i] / 256 + 1);
    } else {
        file.assign(data, data + size);
    }
    const std::string path = TempPath("input.ogm");
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    } else {
        return 0;
    }
    plat::VideoDecoder decoder;
    if (decoder.Open(path)) {
        decoder.SetOutput(32, 24, size % 2 ? plat::PixelFormat::RGB555 : plat::PixelFormat::RGB565);
        plat::PixelBuffer picture;
        std::vector<std::int16_t> sound;
        std::int64_t timeMs = 0;
        for (int n = 0; n < 64 && decoder.DecodeNext(picture, timeMs) == 1; ++n)
            decoder.TakeAudio(sound);
    }
    std::remove(path.c_str());
    return 0;
}
