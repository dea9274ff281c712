#pragma once
// Texts of the game: "wide" strings are UTF-16 (char16_t); 8-bit texts of data files are code
// page 1251 and become UTF-8 where they meet the terminal, the log or the font renderer.
#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

std::u16string Cp1251ToUtf16(std::string_view text);
// Characters with no code page 1251 form become '?'.
std::string Utf16ToCp1251(std::u16string_view text);
std::string Cp1251ToUtf8(std::string_view text);
std::string Utf8ToCp1251(std::string_view text);
// Invalid UTF-8 sequences become U+FFFD; characters beyond the BMP become surrogate pairs.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

bool IsValidUtf8(std::string_view text);

// Case folding for Latin, Latin-1 and Cyrillic letters, the alphabets the game's texts use.
char16_t ToUpperW(char16_t c);
char16_t ToLowerW(char16_t c);
// Compares without regard to case: <0, 0 or >0 like strcmp.
int CompareNoCaseW(std::u16string_view a, std::u16string_view b);
// Same for 8-bit texts in code page 1251.
int CompareNoCase(std::string_view a, std::string_view b);

// Length of a zero-terminated wide text, at most maxLen.
std::size_t StrLenW(const char16_t* s, std::size_t maxLen = static_cast<std::size_t>(-1));
// Copies at most capacity-1 characters and always terminates (when capacity > 0). Returns the
// number of characters copied; a text that did not fit is cut.
std::size_t CopyW(char16_t* dst, std::size_t capacity, std::u16string_view src);
// The same for 8-bit texts.
std::size_t CopyA(char* dst, std::size_t capacity, std::string_view src);

// A small printf-like formatter for wide texts. Conversions: %d %i %u %x %X %c (a char16_t passed
// as int), %s and %ls (const char16_t*), %hs and %S (const char* in code page 1251), %f %g (double),
// %% ; flags '-', '0', '+', ' ', width and precision (also '*'), and the length modifiers l, ll, h.
std::u16string FormatW(const char16_t* fmt, ...);
std::u16string FormatWV(const char16_t* fmt, std::va_list args);
// Formats into a bounded buffer; the result is cut to capacity-1 characters and terminated.
std::size_t FormatWTo(char16_t* dst, std::size_t capacity, const char16_t* fmt, ...);

} // namespace plat
