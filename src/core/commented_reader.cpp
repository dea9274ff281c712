#include "core/commented_reader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/memory_stream.h"

namespace {

bool IsBlank(std::uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The next word, cut to capacity - 1 characters; last receives the word's real last character, so a
// comment's closing brace is seen even when the word was cut.
bool NextWord(TIfStreamMemory& in, char* buffer, std::size_t capacity, char& last)
{
    const std::uint8_t* data = in.Data();
    std::int32_t pos = in.Pos();
    const std::int32_t size = in.Size();
    while (pos < size && IsBlank(data[pos]))
        ++pos;
    if (pos >= size) {
        in.Seek(pos);
        if (capacity)
            buffer[0] = 0;
        return false;
    }
    std::size_t len = 0;
    while (pos < size && !IsBlank(data[pos])) {
        if (len + 1 < capacity)
            buffer[len++] = static_cast<char>(data[pos]);
        last = static_cast<char>(data[pos]);
        ++pos;
    }
    if (capacity)
        buffer[len] = 0;
    in.Seek(pos);
    return true;
}

// Skips comments and leaves the value word in buffer.
bool ReadValueWord(TIfStreamMemory& in, char* buffer, std::size_t capacity)
{
    if (!buffer || capacity == 0)
        return false;
    char last = 0;
    if (!NextWord(in, buffer, capacity, last))
        return false;
    while (buffer[0] == '{') {
        // The comment ends with the first word that ends with a closing brace; the opening word
        // may close it at once.
        while (last != '}') {
            if (!NextWord(in, buffer, capacity, last))
                return false;
        }
        if (!NextWord(in, buffer, capacity, last))
            return false;
    }
    return true;
}

} // namespace

bool ReadTextWord(TIfStreamMemory& in, char* buffer, std::size_t capacity)
{
    char last = 0;
    if (!buffer || capacity == 0)
        return false;
    return NextWord(in, buffer, capacity, last);
}

std::int32_t DecimalToInt(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    while (IsBlank(static_cast<std::uint8_t>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    std::int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > std::int64_t{1} << 32)
            value = std::int64_t{1} << 32; // saturates below; the digits after do not matter
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

bool ParseDecimalWord(const char* text, std::int32_t& value)
{
    if (!text)
        return false;
    const char* p = text;
    if (*p == '+' || *p == '-')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    while (*p >= '0' && *p <= '9')
        ++p;
    if (*p)
        return false;
    value = DecimalToInt(text);
    return true;
}

bool ReadCommentedString(TIfStreamMemory& in, char* buffer, std::size_t capacity)
{
    return ReadValueWord(in, buffer, capacity);
}

bool ReadCommentedInt(TIfStreamMemory& in, std::int32_t& value)
{
    char word[COMMENTED_WORD_BUFFER];
    if (!ReadValueWord(in, word, sizeof word))
        return false;
    value = DecimalToInt(word);
    return true;
}

bool ReadCommentedValue(TIfStreamMemory& in, std::int32_t& value)
{
    return ReadCommentedInt(in, value);
}

bool ReadCommentedDword(TIfStreamMemory& in, std::uint32_t& value)
{
    std::int32_t v = 0;
    if (!ReadCommentedInt(in, v))
        return false;
    value = static_cast<std::uint32_t>(v);
    return true;
}

bool ReadCommentedWord(TIfStreamMemory& in, std::uint16_t& value)
{
    std::int32_t v = 0;
    if (!ReadCommentedInt(in, v))
        return false;
    value = static_cast<std::uint16_t>(v);
    return true;
}

bool ReadCommentedValue(TIfStreamMemory& in, std::uint8_t& value)
{
    std::int32_t v = 0;
    if (!ReadCommentedInt(in, v))
        return false;
    value = static_cast<std::uint8_t>(v);
    return true;
}

bool ReadCommentedValueB(TIfStreamMemory& in, std::uint8_t& value)
{
    std::int32_t v = 0;
    if (!ReadCommentedInt(in, v))
        return false;
    value = v != 0 ? 1 : 0;
    return true;
}

bool ReadCommentedLong(TIfStreamMemory& in, float& value)
{
    char word[COMMENTED_WORD_BUFFER];
    if (!ReadValueWord(in, word, sizeof word))
        return false;
    value = std::strtof(word, nullptr);
    return true;
}

void FreeCommentedText(char*& text)
{
    delete[] text;
    text = nullptr;
}

bool ReadCommentedAlloc(TIfStreamMemory& in, char*& text)
{
    FreeCommentedText(text);
    char word[COMMENTED_WORD_BUFFER];
    if (!ReadValueWord(in, word, sizeof word) || word[0] == '0')
        return false;
    const std::size_t len = std::strlen(word);
    text = new char[len + 1];
    for (std::size_t i = 0; i <= len; ++i)
        text[i] = word[i] == '_' ? ' ' : word[i];
    return true;
}
