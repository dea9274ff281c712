#pragma once
// What unit behaviour and combat tell the player: sounds, lines in the screen message area and
// refreshes of the in-game panel. The simulation calls these and never reads anything back, so
// the machines of a network game stay alike whatever each one shows; tests put recording
// stand-ins here.
#include <cstdint>
#include <functional>

struct TBattleServices {
    // PlaySoundEvent: a category, its object (a unit, a building or a map point), sub-kind, priority.
    std::function<void(std::uint8_t category, const void* object, std::uint8_t subKind, std::uint8_t priority)> playSound;
    // A text in the screen message line (0xffffff white).
    std::function<void(const char16_t* text, std::uint32_t colour)> showMessage;
    std::function<void()> refreshPanel;
    // A timed text at a screen point: x, y, text, frames, colour.
    std::function<void(int x, int y, const char16_t* text, int frames, std::uint32_t colour)> queueText;

    static TBattleServices Default();
};
TBattleServices& BattleServices();
