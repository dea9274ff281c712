// Least bodies of device services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include <cstdint>

#include "devices/display.h"

std::uint16_t g_ScreenWidth = 1024;
std::uint16_t g_ScreenHeight = 768;

std::uint8_t g_VideoState = 0;
std::uint8_t g_VideoPlaying = 0;
