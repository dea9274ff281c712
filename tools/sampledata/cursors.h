#pragma once
// The mouse cursors and the animated waypoint flag's pictures.
#include <cstdint>
#include <string>
#include <vector>

namespace sampledata {

// Every cursor has this size (the game draws them all with the size of the first).
constexpr int kCursorSize = 32;
constexpr int kCursorPictureCount = 8;
constexpr int kFlagFrameSize = 32;
constexpr int kFlagFrameCount = 8;

// Cursor picture index (0..7) as 0x00RRGGBB pixels, top row first; magenta is transparent.
std::vector<std::uint32_t> CursorPixels(int index);
// Game paths of flag frame n (1..8): the cloth and the staff.
std::string FlagClothFile(int frame);
std::string FlagStaffFile(int frame);

// Writes the cursors and the flag frames as 24-bit BMP files.
bool WriteCursors(const std::string& outDir);

} // namespace sampledata
