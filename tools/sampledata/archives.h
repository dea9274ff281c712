#pragma once
// Writers of the packed archives (.les) and compressed files the game reads.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sampledata {

struct LesSource {
    // Stored exactly as given and cut to 31 characters. The game lower-cases the name it looks for,
    // so an entry meant to be found by name must be written in lower case.
    std::string name;
    std::uint16_t id = 0;
    std::vector<std::uint8_t> data;
};

// The archive image: header, directory, then the bodies in directory order.
std::vector<std::uint8_t> BuildLesArchive(const std::vector<LesSource>& entries);
bool WriteLesArchive(const std::string& outDir, const std::string& relativePath, const std::vector<LesSource>& entries);

// {u32 packed size, u32 raw size, zlib stream}.
std::vector<std::uint8_t> BuildCompressedFile(std::span<const std::uint8_t> data);
bool WriteCompressedFile(const std::string& outDir, const std::string& relativePath, std::span<const std::uint8_t> data);

// One zlib stream of data, as archive bodies hold them.
std::vector<std::uint8_t> Deflate(std::span<const std::uint8_t> data);

} // namespace sampledata
