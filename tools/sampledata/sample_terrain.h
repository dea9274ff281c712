#pragma once
// Ground heights drawn from code: the rolling hills of the sample maps and of the map fixtures
// and benchmarks.
#include <cstdint>
#include <vector>

namespace sampledata {

// width x height cell heights (row-major, as the height layer holds them): low rolling hills with
// a few steeper knolls, 0 on the two outermost cells of every edge so the map's border is flat.
// The same seed gives the same ground.
std::vector<std::uint8_t> MakeSampleHeights(int width, int height, std::uint32_t seed);

} // namespace sampledata
