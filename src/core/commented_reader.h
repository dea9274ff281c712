#pragma once
// Readers of settings-like text files: each value may be preceded by comments in braces
// ("{Звук в игре 1-да 0-нет}"), which are skipped word by word. Every reader returns false and
// leaves its destination alone when the data ends before a value.
#include <cstddef>
#include <cstdint>

class TIfStreamMemory;

// Value words are read into buffers of this size; longer words are cut.
constexpr std::size_t COMMENTED_WORD_BUFFER = 250;

// The next white-space separated word (cut to capacity - 1 characters); false at the end of data.
bool ReadTextWord(TIfStreamMemory& in, char* buffer, std::size_t capacity);
// Decimal text to integer the way the C library's atoi reads it (sign, digits, stops at the first
// other character; 0 when there are no digits), saturated to the 32-bit range.
std::int32_t DecimalToInt(const char* text);
// Strict form: the whole word must be an optionally signed decimal number.
bool ParseDecimalWord(const char* text, std::int32_t& value);

bool ReadCommentedString(TIfStreamMemory& in, char* buffer, std::size_t capacity = COMMENTED_WORD_BUFFER);
bool ReadCommentedWord(TIfStreamMemory& in, std::uint16_t& value);  // low 16 bits
bool ReadCommentedValue(TIfStreamMemory& in, std::uint8_t& value);  // low 8 bits
bool ReadCommentedValue(TIfStreamMemory& in, std::int32_t& value);
bool ReadCommentedValueB(TIfStreamMemory& in, std::uint8_t& value); // 1 for a non-zero number
bool ReadCommentedLong(TIfStreamMemory& in, float& value);          // decimal float text
bool ReadCommentedInt(TIfStreamMemory& in, std::int32_t& value);
bool ReadCommentedDword(TIfStreamMemory& in, std::uint32_t& value);
// Frees *text, then, unless the value is missing or begins with '0', stores a new[] copy of the value
// with every '_' turned into a blank. Returns whether a text was made. Free it with FreeCommentedText.
bool ReadCommentedAlloc(TIfStreamMemory& in, char*& text);
void FreeCommentedText(char*& text);
