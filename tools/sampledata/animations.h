#pragma once
// Writers of animation packs (a frame entry per frame, then "Info.txt" with the hot spot) and of
// animation banks (a folder whose "Info.txt" lists its packs), with the frames they draw.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archives.h"

namespace sampledata {

// One ARGB 4444 frame, top row first.
struct AnimationFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> pixels;
};

struct HotSpot {
    int x = 0; // the picture point placed at the instance's position
    int y = 0;
};

// Frame i is entry id i (".444" layout); "Info.txt" comes last with the id after the frames.
std::vector<LesSource> MakeAnimationPack(const std::vector<AnimationFrame>& frames, std::optional<HotSpot> hotSpot);

// count frames of size x size: a ring in colour (ARGB 4444) that widens from frame to frame.
std::vector<AnimationFrame> DrawRingFrames(int count, int size, std::uint16_t colour);
// count frames of width x height: a crest that rolls from left to right.
std::vector<AnimationFrame> DrawWaveFrames(int count, int width, int height, std::uint16_t colour);

struct BankPack {
    std::string fileName; // relative to the bank's folder
    std::vector<LesSource> entries;
};
// Writes folder (a game path ending with a backslash) with its packs and its "Info.txt".
bool WriteAnimationBank(const std::string& outDir, const std::string& folder, const std::vector<BankPack>& packs);

// The animation banks of the game folder.
bool WriteAnimations(const std::string& outDir);

} // namespace sampledata
