#pragma once
// The game's keys: the key mapping applied to every key message, and the handler of key messages
// outside the editor.
#include <cstdint>

// The replacement of a key code by Data\KeyMapping.txt (the code itself when it has none).
std::uint32_t MapGameKey(std::uint32_t key);
// true lets the window procedure pass the message to default processing.
bool GameKeyMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// Two display switches of the developer keys that unit drawing reads: a further sign over living
// selected units, and a 4 x 4 quad at each unit's point. Main thread only.
struct TDebugUnitMarks {
    std::uint8_t selectedSign = 0;
    std::uint8_t pointQuads = 0;
};
extern TDebugUnitMarks g_DebugUnitMarks;
