#pragma once
// The key mapping of Data\KeyMapping.txt: every key message's code is replaced by the code the
// file gives for it before any handler sees it.
#include <cstdint>
#include <span>
#include <vector>

class KeyMapping {
public:
    // An empty table: every key passes unchanged.
    KeyMapping() = default;
    // Reads the file (through the game's path resolver). A missing file leaves the table empty
    // and not loaded; an unreadable entry is logged and ends the reading.
    explicit KeyMapping(const char* fileName);

    // The replacement of the first entry whose code equals the key; the key itself when the table
    // is not loaded, empty or holds no such entry.
    std::uint32_t Find(std::uint32_t key) const;

    // Replaces the table with the entries of a file image. The file's layout per entry: one byte
    // (the code to replace), any bytes up to and including the next blank, one byte (the
    // replacement), then two bytes that are skipped (the line end). false (logged) when an entry
    // is cut short; the entries before it stay.
    bool Parse(std::span<const std::uint8_t> bytes);

    bool IsLoaded() const { return m_Loaded; }
    std::size_t Size() const { return m_From.size(); }

private:
    std::vector<std::uint32_t> m_From;
    std::vector<std::uint32_t> m_To;
    // Set when the file could be opened, even when it is empty.
    bool m_Loaded = false;
};

// The game's table. Main thread only: built by LoadKeyMapping at the start of KorvelaMain (the game
// folder is known by then), read by every key message.
extern KeyMapping g_KeyMapping;
void LoadKeyMapping();
