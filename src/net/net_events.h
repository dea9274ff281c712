#pragma once
// Network events on the main thread and the cycle gate.
#include <atomic>
#include <cstdint>

// Atomic: the mouse thread tests it. 0 single play, 1 network screens, 2 the lobby (the game being set up), 3 and 4 a running game.
extern std::atomic<std::uint8_t> g_NetMode;
// The lock-step cycle; commands carry the cycle on which they execute.
extern std::uint32_t kadr_now;

// True while a network game is set up or running (mode 2, 3 or 4).
bool IsNetGame();

struct TNetData;

// Non-zero while a network game is connected; the synchronisation command is sent only then.
bool IsNetConnected();
// false when this frame has no game cycle; advances kadr_now when the host granted the next one.
bool NetCycleGate();
// Stamps cycle and sequence on the message and sends its 47 wire bytes; the caller keeps it.
void NetSendCommand(TNetData* message);
// The per-cycle count of sent messages that the sequence stamp counts from restarts at 0.
void ResetNetSendCount();
// Detaches the list of received messages (linked through TNetData::link) and hands it over.
TNetData* TakeReceivedMessages();
