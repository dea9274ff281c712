#include "core/app_state.h"

std::atomic<std::uint8_t> g_bAppActive{0};
std::uint8_t g_bQuitRequest = 0;
std::uint8_t g_bPlayVideo = 1;
std::uint8_t g_bNetStart = 0;
std::uint8_t MyPlayer = 0;
std::uint8_t g_bEditorMode = 0;
std::atomic<std::uint8_t> g_bPaused{0};
std::uint32_t g_FrameCounter = 0;
float g_Fps = 0;
std::uint8_t g_ShiftDown[8] = {};
std::uint8_t g_CtrlDown[8] = {};
std::uint8_t g_SelectAnything = 0;
