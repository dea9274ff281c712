#pragma once
// The game-setup record: the players chosen for a game in the menus or the network lobby, in the
// byte layout the map loader, the mission loader and the network game share.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr std::size_t GAME_SETUP_SIZE = 1404;
constexpr std::size_t GAME_SETUP_SLOTS = 680;       // u8: player slots (8)
constexpr std::size_t GAME_SETUP_PLAYERS = 681;     // u8: players taking part
constexpr std::size_t GAME_SETUP_NAMES = 700;       // 8 x 20 UTF-16LE characters
constexpr std::size_t GAME_SETUP_NAME_CHARS = 20;
constexpr std::size_t GAME_SETUP_NATIONS = 1372;    // u8 x 8: 0..4, 5 a random nation
constexpr std::size_t GAME_SETUP_COLOURS = 1380;    // u8 x 8: colour index 0..7
constexpr std::size_t GAME_SETUP_TEAMS = 1388;      // u8 x 8: 1-based, 0 none
constexpr std::size_t GAME_SETUP_LEVELS = 1396;     // u8 x 8: 0 closed, 1..3 computer, 4 a person
constexpr std::uint8_t GAME_SETUP_RANDOM_NATION = 5;

// A zero-terminated UTF-16LE text of at most chars characters at offset of a byte record.
inline std::u16string ReadWideField(const std::uint8_t* bytes, std::size_t offset, std::size_t chars)
{
    std::u16string text;
    for (std::size_t c = 0; c < chars; ++c) {
        const char16_t ch = static_cast<char16_t>(bytes[offset + 2 * c] | bytes[offset + 2 * c + 1] << 8);
        if (ch == 0)
            break;
        text += ch;
    }
    return text;
}

struct TGameSetup {
    std::array<std::uint8_t, GAME_SETUP_SIZE> bytes{};

    std::uint8_t& SlotCount() { return bytes[GAME_SETUP_SLOTS]; }
    std::uint8_t& PlayerCount() { return bytes[GAME_SETUP_PLAYERS]; }
    std::uint8_t& Nation(int i) { return bytes[GAME_SETUP_NATIONS + (i & 7)]; }
    std::uint8_t& Colour(int i) { return bytes[GAME_SETUP_COLOURS + (i & 7)]; }
    std::uint8_t& Team(int i) { return bytes[GAME_SETUP_TEAMS + (i & 7)]; }
    std::uint8_t& Level(int i) { return bytes[GAME_SETUP_LEVELS + (i & 7)]; }

    // At most 19 characters are kept, so the name stays zero-terminated.
    void SetName(int i, std::u16string_view name)
    {
        const std::size_t at = GAME_SETUP_NAMES + (i & 7) * GAME_SETUP_NAME_CHARS * 2;
        for (std::size_t c = 0; c < GAME_SETUP_NAME_CHARS; ++c) {
            const char16_t ch = c + 1 < GAME_SETUP_NAME_CHARS && c < name.size() ? name[c] : u'\0';
            bytes[at + 2 * c] = static_cast<std::uint8_t>(ch & 0xFF);
            bytes[at + 2 * c + 1] = static_cast<std::uint8_t>(ch >> 8);
        }
    }
    std::u16string Name(int i) const
    {
        return ReadWideField(bytes.data(), GAME_SETUP_NAMES + (i & 7) * GAME_SETUP_NAME_CHARS * 2,
                             GAME_SETUP_NAME_CHARS);
    }
};
