#pragma once
// Player state shared across subsystems.
#include <cstdint>

// The local player's number (0 until a game sets it).
extern std::uint8_t MyPlayer;

// The game cycle, run once a frame while a game runs.
void NetworkFrame();
// The map-mouse handlers: network play, single play.
void UpdateCursorMode();
void ProcessMapMouse();
// Queues a hot-key command of the local player for the next cycle.
void PostHotKeyCommand(int commandId, int a, int b, int c);
