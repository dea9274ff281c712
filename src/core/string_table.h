#pragma once
// The string table: every text the player sees, looked up by a wide text id such as u"IDS_WIN".
// Data\korvela_res.grf holds records {i32 key length K, K UTF-16LE units, i32 text length T,
// T UTF-16LE units}; a length of 0 or less ends the table.
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/threads.h"

constexpr const char* RES_STRINGS_FILE = "Data\\korvela_res.grf";
// Longest key and text a record may hold; longer records are refused.
constexpr std::int32_t RES_MAX_KEY = 65;
constexpr std::int32_t RES_MAX_TEXT = 59999;
// GetResString's results: each thread owns this many rotating buffers of this many characters.
constexpr int RES_RESULT_BUFFERS = 20;
constexpr int RES_RESULT_CAPACITY = 2000;

class TResStrings {
public:
    TResStrings() = default;
    explicit TResStrings(const char* fileName);

    // Replaces the content with the file's records. Duplicate keys: the last record wins, and when
    // errors is given, L"%s in file %S" (key, file name) is appended to it. Returns the number of
    // entries in that list (0 without one).
    int Load(const char* fileName, std::vector<std::u16string>* errors = nullptr);
    // The same on a file image in memory.
    int LoadFromBuffer(std::span<const std::uint8_t> bytes, const char* fileName,
                       std::vector<std::u16string>* errors = nullptr);
    // The text's length and the text with its terminator in buffer; -2 when the id is absent, -3 when
    // the text does not fit capacity (the buffer is left alone then).
    int GetString(std::u16string_view id, char16_t* buffer, std::size_t capacity) const;
    const std::u16string* Find(std::u16string_view id) const;
    // Adds or replaces a text; the table counts as changed.
    void SetString(std::u16string_view id, std::u16string_view text);
    // Writes every record in key order when the table changed since it was loaded; clears the flag.
    // false when writing failed (the previous file stays).
    bool Save(const char* fileName);
    // The file image Save writes.
    std::vector<std::uint8_t> Serialize() const;

    std::size_t Count() const { return m_Map.size(); }
    bool Changed() const { return m_bChanged; }
    const std::string& FileName() const { return m_FileName; }
    void Clear();

private:
    std::map<std::u16string, std::u16string, std::less<>> m_Map;
    std::string m_FileName;
    bool m_bChanged = false;
};

// The game's table. It is read from RES_STRINGS_FILE on the first lookup (after the game folder is
// known), or earlier by LoadResStrings; it is only read afterwards.
extern TResStrings g_ResStrings;
// Guards the result buffers; callers of other threads may hold it around a lookup.
extern plat::CriticalSection g_ResStringsLock;

// Reads the game's table now (start-up). Returns the number of texts.
std::size_t LoadResStrings();

// The text of id in one of the calling thread's rotating buffers, or an empty text when the id is
// absent or the text has 2000 characters or more. A result stays valid until the same thread has
// made 20 further calls.
const char16_t* GetResString(std::u16string_view id);
// Copies the text of id when it is shorter than max characters and returns its length; otherwise
// the buffer is left empty, the length is logged and 0 returned.
int My_LoadStringW(std::u16string_view id, char16_t* buffer, int max);
// Decimal text of value in buffer (at least 12 characters); returns buffer.
char16_t* IntToWStr(std::int32_t value, char16_t* buffer);
