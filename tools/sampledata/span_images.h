#pragma once
// Writers of the span-coded picture formats ("~cIMg" colours, "~cHMap" heights).
#include <cstdint>
#include <string>
#include <vector>

#include "archives.h"

namespace sampledata {

// A picture to encode: width x rows, opaque where `opaque` is set.
struct SpanPicture {
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> opaque;     // width * rows, 1 = stored
    std::vector<std::uint8_t> rgb;        // width * rows * 3 (red, green, blue)
    std::vector<std::uint16_t> heights;   // width * rows, pixels above the ground line
};

std::vector<std::uint8_t> EncodeIMg(const SpanPicture& picture);
std::vector<std::uint8_t> EncodeHMap(const SpanPicture& picture);

// A house-like block: a shaded box of the given size whose roof rises toward the middle.
SpanPicture MakeBlockPicture(int width, int rows, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// A white pennant on a pole near the top middle: the player-colour overlay of a house (white ANDed
// with the player colour gives the player colour).
SpanPicture MakePennantPicture(int width, int rows);

// One phase of a house archive: the picture at entry code, its depth map at code + 2 and, when the
// overlay has any width, the overlay at code + 3.
void AddHousePhase(std::vector<LesSource>& entries, std::uint16_t code, const SpanPicture& picture,
                   const SpanPicture& overlay);

// The span-coded house pictures of the game folder.
bool WriteSpanImages(const std::string& outDir);

} // namespace sampledata
