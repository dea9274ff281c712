#pragma once
// The window-message queue: the main loop takes messages from it, and any thread may post to it
// (network events 0x8000, video events 0x8064). SDL events are translated into the same messages.
#include <cstdint>

namespace plat {

struct Message {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

constexpr std::uint32_t MSG_QUIT = 0x0012;

// Thread-safe; wakes a waiting GetAppMessage.
void PostAppMessage(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
// Takes the oldest message when there is one (remove = false leaves it queued).
bool PeekAppMessage(Message& out, bool remove = true);
// Waits for the next message; false only for MSG_QUIT (which is still returned in out).
bool GetAppMessage(Message& out);
// Waits at most timeoutMs for a message to arrive; true when one is queued.
bool WaitAppMessage(std::uint32_t timeoutMs);
// Empties the queue (tests, shutdown).
void ClearAppMessages();

} // namespace plat
