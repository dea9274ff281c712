#pragma once
// Writers of the span-coded picture formats ("~cIMg" colours, "~cHMap" heights).
#include <cstdint>
#include <vector>

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

} // namespace sampledata
