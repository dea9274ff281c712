#include "core/app_state.h"

std::atomic<std::uint8_t> g_bAppActive{0};
std::uint8_t g_bQuitRequest = 0;
std::uint8_t g_bPlayVideo = 1;
std::uint8_t g_bNetStart = 0;
