#pragma once
// The interface archive (Data\Interface\Interface.les) and the pictures it holds: so far the two
// frame pieces around the minimap.
#include <cstdint>
#include <string>
#include <vector>

namespace sampledata {

// The frame above the minimap (216 x 36: a riveted plate for the button row, its lower edge the
// minimap's top rim) and the one along its left side (10 x 216); 24-bit BMP files.
constexpr int kMiniMapBevelUpWidth = 216;
constexpr int kMiniMapBevelUpHeight = 36;
constexpr int kMiniMapBevelLeftWidth = 10;
constexpr int kMiniMapBevelLeftHeight = 216;
std::vector<std::uint8_t> MakeMiniMapBevelUpBmp();
std::vector<std::uint8_t> MakeMiniMapBevelLeftBmp();

bool WriteInterfaceArchive(const std::string& outDir);

} // namespace sampledata
