#pragma once
// Keyboard shortcuts that change the selection, the stored groups or a player's held Shift and Ctrl
// travel as game-wide commands (ids 32..46), so every machine of a network game applies them at the
// same cycle; single play runs them at once. Id 46 writes the debug dump of the buildings.
//
// Threads: main thread only.
#include <cstdint>
#include <functional>
#include <string>

constexpr std::uint16_t HOT_KEY_SHIFT = 32;
constexpr std::uint16_t HOT_KEY_CTRL = 33;
constexpr std::uint16_t HOT_KEY_DEBUG_DUMP = 46;
// The dump writes at most this many buildings of a player, each as its first HOUSE_SYNC_BYTES.
constexpr std::uint16_t DEBUG_DATA_HOUSES = 100;

// A hot key of the local player: nothing while the game is paused, a front menu is open, the order
// builders are off or a text field has the keyboard. In a network game a class-3 command for
// MyPlayer carrying the id, x, y and, when given, the six values; in single play
// ExecuteHotKeyCommand (MyPlayer, id, x, y, none) at once.
void PostHotKeyCommand(std::uint16_t id, std::uint32_t x, std::uint32_t y, const std::uint32_t* params = nullptr);
// Runs a hot key for a player; params is null when none reached it (a rectangle then means the
// visible map area). An id without a row is logged and changes nothing.
void ExecuteHotKeyCommand(std::uint8_t player, std::uint16_t id, std::uint32_t x, std::uint32_t y,
                          const std::uint32_t* params);

// Appends the buildings of every live player to "DebugData<MyPlayer>.log" in the game folder: the
// first call of a game starts the file afresh. A file that cannot be opened is skipped.
void WriteDebugData();
// A new game: the next dump starts a fresh file.
void ResetDebugData();
// The dump's file name for a player.
std::string DebugDataFileName(std::uint8_t player);

// What the hot keys call elsewhere. The default table binds the owners' functions; the game
// installs the test of its text fields. Tests put recording stand-ins here.
struct THotKeyServices {
    std::function<bool()> isNetGame;
    // Paused, a front menu open, or the order builders off.
    std::function<bool()> blocked;
    std::function<bool()> textInput;
    std::function<void(std::uint8_t player)> selectAll;
    std::function<void(std::uint8_t player, const std::uint32_t* rect)> selectUnitsInRect;
    std::function<void(std::uint8_t player)> selectSameTypes;
    std::function<void(std::uint8_t player, const std::uint32_t* rect)> selectSameTypesInRect;
    std::function<void(std::uint8_t player, std::uint32_t group)> selectUnitsFromGroup;
    std::function<void(std::uint8_t player, std::uint32_t group)> storeGroup;
    std::function<void(std::uint8_t player, const std::uint32_t* rect)> selectWorkersInRect;
    std::function<void()> writeDebugData;

    static THotKeyServices Default();
};
THotKeyServices& HotKeyServices();
