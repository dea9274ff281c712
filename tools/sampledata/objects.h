#pragma once
// The map objects archive (Data\Objects\Objects.les): trees, stones and miscellaneous objects.
#include <cstdint>
#include <string>
#include <vector>

struct TMapObjectRecord;

namespace sampledata {

constexpr int kObjectTextureSide = 256;
// Records per kind in the sample archive.
constexpr int kSampleTreeCount = 8;
constexpr int kSampleStoneCount = 4;
constexpr int kSampleMiscCount = 8;

// One kind's entry: u16 R, R 56-byte records, u8 T, T textures of 256 x 256 ARGB 4444.
std::vector<std::uint8_t> BuildObjectKindEntry(const std::vector<TMapObjectRecord>& records,
                                               const std::vector<std::vector<std::uint16_t>>& textures);
// The sample archive's entry of kind 0, 1 or 2.
std::vector<std::uint8_t> BuildSampleObjectKind(int kind);
bool WriteObjects(const std::string& outDir);

} // namespace sampledata
