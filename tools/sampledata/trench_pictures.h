#pragma once
// The trench and pontoon pictures of the sample game: the archive of the trench and pontoon list
// (wooden pontoon bridges and dug trench segments with their building frames) and the sixteen
// trench pieces of the second trench system with their depth pictures.
#include <cstdint>
#include <string>
#include <vector>

namespace sampledata {

constexpr int kTrenchSpritePixels = 128;
constexpr int kTrenchPiecePixels = 64;

// A 128 x 128 ARGB 4444 sprite of list kind 1..10 (a trench segment) or 20, 21 (a pontoon
// bridge); built 0..1 draws a piece under construction (1 is finished).
std::vector<std::uint16_t> DrawTrenchSprite(int kind, float built);
// The archive image: entry 10k the finished picture of kind k, entries 10k + 1 .. 10k + 4 its
// building frames, for the kinds the game draws or lays (1..10, 20, 21).
std::vector<std::uint8_t> BuildTrenchArchive();
// Trench piece kind 0..15: the earth rim around the dug channel (the channel itself transparent),
// and the depth picture (the channel's floor, opaque).
std::vector<std::uint16_t> DrawTrenchPiecePicture(int kind);
std::vector<std::uint16_t> DrawTrenchPieceDepthPicture(int kind);

// Writes Data\Misc\TrenchAndPonton.les and Data\Misc\Trenches\*.444.
bool WriteTrenchFiles(const std::string& outDir);

} // namespace sampledata
