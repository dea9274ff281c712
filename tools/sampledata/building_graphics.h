#pragma once
// The building archives of the sample game: one archive per building graphic under
// Data\Objects\Houses\, with the finished building (entries 0..3), four construction stages
// (10..43) and two ruins (50..63). Each phase has its span-coded picture, its texture ("HTEX",
// ARGB 4444), its span-coded depth map and, for players' buildings, a white player-colour overlay.
#include <cstdint>
#include <string>
#include <vector>

#include "archives.h"
#include "sample_types.h"

namespace sampledata {

constexpr int kSampleHouseConstructionStages = 4;
constexpr int kSampleHouseRuins = 2;
// Sample building types carry span-coded depth maps.
constexpr std::uint8_t kSampleHouseDepthKind = 255;

// The entries of one building's archive; neutral buildings get no player-colour overlay.
std::vector<LesSource> BuildHouseArchiveEntries(const SampleHouseType& type, bool neutral);
// The texture entry of a picture: ARGB 4444, transparent where nothing is drawn.
std::vector<std::uint8_t> EncodeHouseTexture(int width, int rows, const std::vector<std::uint8_t>& opaque,
                                             const std::vector<std::uint8_t>& rgb);

bool WriteBuildingGraphics(const std::string& outDir);

} // namespace sampledata
