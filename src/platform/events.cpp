#include "platform/events.h"

#include <SDL.h>

#include <array>
#include <atomic>
#include <map>
#include <mutex>

#include "platform/messages.h"
#include "platform/text.h"

namespace plat {

namespace {

std::atomic<MouseEventSink> g_MouseSink{nullptr};
std::array<std::atomic<bool>, 256> g_KeyHeld{};
std::mutex g_TimerMutex;
std::map<std::uintptr_t, SDL_TimerID> g_Timers;

std::intptr_t KeyLParam(const SDL_KeyboardEvent& k, bool up)
{
    // Repeat count 1, the scan code in bits 16-23, the previous-state bit 30 and the
    // transition bit 31 as the game reads them.
    std::uint32_t l = 1 | ((static_cast<std::uint32_t>(k.keysym.scancode) & 0xFF) << 16);
    if (up)
        l |= (1u << 30) | (1u << 31);
    else if (k.repeat)
        l |= 1u << 30;
    return static_cast<std::intptr_t>(static_cast<std::int32_t>(l));
}

void PostActivation(bool active)
{
    // Activation of the application comes first when it gains the focus and last when it loses it.
    if (active) {
        PostAppMessage(MSG_ACTIVATEAPP, 1, 0);
        PostAppMessage(MSG_ACTIVATE, 1, 0);
    } else {
        for (auto& k : g_KeyHeld)
            k = false;
        PostAppMessage(MSG_ACTIVATE, 0, 0);
        PostAppMessage(MSG_ACTIVATEAPP, 0, 0);
    }
}

Uint32 TimerCallback(Uint32 interval, void* param)
{
    PostAppMessage(MSG_TIMER, reinterpret_cast<std::uintptr_t>(param), 0);
    return interval;
}

} // namespace

std::uint32_t VirtualKeyFromScancode(int scancode)
{
    // Letters and digits by position, as the system's codes do on every layout.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return 'A' + (scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0)
        return '0';
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return VK_F1 + (scancode - SDL_SCANCODE_F1);
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
        return 0x61 + (scancode - SDL_SCANCODE_KP_1);
    switch (scancode) {
    case SDL_SCANCODE_KP_0: return 0x60;
    case SDL_SCANCODE_KP_MULTIPLY: return 0x6A;
    case SDL_SCANCODE_KP_PLUS: return 0x6B;
    case SDL_SCANCODE_KP_MINUS: return 0x6D;
    case SDL_SCANCODE_KP_PERIOD: return 0x6E;
    case SDL_SCANCODE_KP_DIVIDE: return 0x6F;
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_RETURN: return VK_RETURN;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_BACKSLASH: return 0xDC;
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    default: break;
    }
    return 0;
}

void SetMouseEventSink(MouseEventSink sink)
{
    g_MouseSink = sink;
}

int PumpEvents()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return 0;
    SDL_Event e;
    int n = 0;
    while (SDL_PollEvent(&e)) {
        ++n;
        switch (e.type) {
        case SDL_QUIT:
            PostAppMessage(MSG_CLOSE);
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                PostAppMessage(MSG_CLOSE);
            else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                PostActivation(true);
            else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                PostActivation(false);
            if (MouseEventSink sink = g_MouseSink)
                sink(&e);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const bool up = e.type == SDL_KEYUP;
            const std::uint32_t vk = VirtualKeyFromScancode(e.key.keysym.scancode);
            if (vk == 0)
                break;
            g_KeyHeld[vk & 0xFF] = !up;
            PostAppMessage(up ? MSG_KEYUP : MSG_KEYDOWN, vk, KeyLParam(e.key, up));
            // Control characters that the text input does not deliver.
            if (!up && (vk == VK_BACK || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_TAB))
                PostAppMessage(MSG_CHAR, vk, KeyLParam(e.key, false));
            break;
        }
        case SDL_TEXTINPUT: {
            for (char16_t c : Utf8ToUtf16(e.text.text))
                PostAppMessage(MSG_CHAR, c, 1);
            break;
        }
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEWHEEL:
            if (MouseEventSink sink = g_MouseSink)
                sink(&e);
            break;
        default:
            break;
        }
    }
    return n;
}

std::int16_t GetKeyState(std::uint32_t virtualKey)
{
    return g_KeyHeld[virtualKey & 0xFF] ? static_cast<std::int16_t>(0x8000) : 0;
}

void SetKeyHeld(std::uint32_t virtualKey, bool held)
{
    g_KeyHeld[virtualKey & 0xFF] = held;
}

bool SetWindowTimer(std::uintptr_t id, std::uint32_t periodMs)
{
    if (!SDL_WasInit(SDL_INIT_TIMER) && SDL_InitSubSystem(SDL_INIT_TIMER) != 0)
        return false;
    KillWindowTimer(id);
    const SDL_TimerID t = SDL_AddTimer(periodMs ? periodMs : 1, TimerCallback, reinterpret_cast<void*>(id));
    if (t == 0)
        return false;
    std::lock_guard lock(g_TimerMutex);
    g_Timers[id] = t;
    return true;
}

void KillWindowTimer(std::uintptr_t id)
{
    std::lock_guard lock(g_TimerMutex);
    auto it = g_Timers.find(id);
    if (it != g_Timers.end()) {
        SDL_RemoveTimer(it->second);
        g_Timers.erase(it);
    }
}

void RequestWindowDestroy()
{
    PostAppMessage(MSG_DESTROY);
}

} // namespace plat
