#pragma once
// The mouse and cursor state shared by the mouse thread, the present sequence of the display and
// the frame's readers. Everything here is read and written under g_InputLock.
#include <cstdint>

#include "platform/surface.h"
#include "platform/threads.h"
#include "platform/types.h"

constexpr int CURSOR_COUNT = 10;

extern plat::CriticalSection g_InputLock;

// Cursor position in screen pixels (the cursor image's top-left corner, its hot spot).
extern std::int32_t g_MouseX;
extern std::int32_t g_MouseY;
// Where the cursor was last drawn (the position at the start of the current batch).
extern std::int32_t g_PrevMouseX;
extern std::int32_t g_PrevMouseY;

extern std::uint16_t g_CursorIndex;
extern plat::Surface* g_pCursorSurf[CURSOR_COUNT];
extern std::uint8_t g_CursorWidth;
extern std::uint8_t g_CursorHeight;
extern plat::Rect g_CursorRect;
extern plat::Surface* g_pSurfUnderCursor;
extern plat::Surface* g_pCursorUnionSurf;
extern std::uint8_t g_bCursorVisible;
