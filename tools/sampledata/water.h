#pragma once
// The water of the sample game: the animated water and surf packs, the light spots, the editor's
// brush picture, and the water block of a map built from which of its tiles are sea or river.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "animations.h"

namespace sampledata {

// Tile classes of a map's water mask.
constexpr std::uint8_t kTileLand = 0;
constexpr std::uint8_t kTileSea = 1;
constexpr std::uint8_t kTileRiver = 2;

// Tileable rolling waves, frames of size x size.
std::vector<AnimationFrame> DrawWaterFrames(int count, int size);
// Surf along a shore line: foam rolling in toward the middle row (the shore), frames of
// width x height.
std::vector<AnimationFrame> DrawSurfFrames(int count, int width, int height);
// Light spot i (0..6): a soft glint, wider than high.
AnimationFrame DrawLightSpot(int index);

// The water block of a map of width x height tiles (layout of the water loader): tiles holds
// width x height classes (kTileLand, kTileSea, kTileRiver) in row order. Cells over water become
// open water (look 1; kind 1 sea, 2 river; a few light spots); cells where the shore
// crosses become coast cells whose polygon follows a softened, slightly ragged shore line. The
// same seed gives the same block.
std::vector<std::uint8_t> BuildWaterBlock(int width, int height, std::span<const std::uint8_t> tiles,
                                          std::uint32_t seed = 1);

// A sea along the map's right side with a wavy coast and a winding river that flows into it, as
// a water mask for BuildWaterBlock.
std::vector<std::uint8_t> MakeSampleWaterTiles(int width, int height);

// Writes the water pictures and animations of the game folder.
bool WriteWaterFiles(const std::string& outDir);

} // namespace sampledata
