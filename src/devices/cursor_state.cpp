#include "devices/cursor_state.h"

plat::CriticalSection g_InputLock;

std::int32_t g_MouseX = 0;
std::int32_t g_MouseY = 0;
std::int32_t g_PrevMouseX = 0;
std::int32_t g_PrevMouseY = 0;

std::uint16_t g_CursorIndex = 0;
plat::Surface* g_pCursorSurf[CURSOR_COUNT] = {};
std::uint8_t g_CursorWidth = 0;
std::uint8_t g_CursorHeight = 0;
plat::Rect g_CursorRect;
plat::Surface* g_pSurfUnderCursor = nullptr;
plat::Surface* g_pCursorUnionSurf = nullptr;
std::uint8_t g_bCursorVisible = 1;
