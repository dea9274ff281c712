#pragma once
// Turns the window system's events into the window messages the game handles, on the main
// thread, and answers key-state queries from the same event stream.
#include <cstdint>

namespace plat {

// Window messages the game handles.
constexpr std::uint32_t MSG_DESTROY = 0x0002;
constexpr std::uint32_t MSG_ACTIVATE = 0x0006;
constexpr std::uint32_t MSG_CLOSE = 0x0010;
constexpr std::uint32_t MSG_ACTIVATEAPP = 0x001C;
constexpr std::uint32_t MSG_KEYDOWN = 0x0100;
constexpr std::uint32_t MSG_KEYUP = 0x0101;
constexpr std::uint32_t MSG_CHAR = 0x0102;
constexpr std::uint32_t MSG_TIMER = 0x0113;
constexpr std::uint32_t MSG_NETEVENT = 0x8000;
constexpr std::uint32_t MSG_VIDEOEVENT = 0x8064;

// Virtual-key codes used by the game's code.
constexpr std::uint32_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
                        VK_MENU = 0x12, VK_PAUSE = 0x13, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21,
                        VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26,
                        VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_F1 = 0x70;

// Reads every waiting event: window and keyboard events become posted messages, mouse events go
// to the mouse sink. Returns the number of events read.
int PumpEvents();

// Where mouse events go (motion, buttons, focus); set by the input layer. The argument is the
// window system's event, passed through opaquely.
using MouseEventSink = void (*)(const void* event);
void SetMouseEventSink(MouseEventSink sink);

// The virtual-key code of a key (by its position); 0 for keys the game has no code for.
std::uint32_t VirtualKeyFromScancode(int scancode);

// Like the system's key-state query: bit 15 set while the key is held.
std::int16_t GetKeyState(std::uint32_t virtualKey);
// Tests and focus loss set key states directly.
void SetKeyHeld(std::uint32_t virtualKey, bool held);

// Window timers: message MSG_TIMER with wParam = id every periodMs until killed.
bool SetWindowTimer(std::uintptr_t id, std::uint32_t periodMs);
void KillWindowTimer(std::uintptr_t id);

// What default processing of a close request does: MSG_DESTROY is
// posted; the display module releases the window itself at shutdown.
void RequestWindowDestroy();

} // namespace plat
