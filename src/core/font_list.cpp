#include "core/font_list.h"

#include <algorithm>
#include <limits>

#include "core/file_bytes.h"

namespace {

bool IsSpace(std::uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Number extraction as a text stream does it: leading white space (line ends included), a sign and
// digits; false when there are no digits or the number leaves the 32-bit range.
bool ExtractInt(std::span<const std::uint8_t> bytes, std::size_t& pos, std::int32_t& value)
{
    while (pos < bytes.size() && IsSpace(bytes[pos]))
        ++pos;
    bool negative = false;
    if (pos < bytes.size() && (bytes[pos] == '+' || bytes[pos] == '-'))
        negative = bytes[pos++] == '-';
    if (pos >= bytes.size() || bytes[pos] < '0' || bytes[pos] > '9')
        return false;
    std::int64_t v = 0;
    while (pos < bytes.size() && bytes[pos] >= '0' && bytes[pos] <= '9') {
        v = v * 10 + (bytes[pos++] - '0');
        if (v > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return false;
    }
    v = negative ? -v : v;
    if (v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min())
        return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

} // namespace

TFontList::TFontList(const char* fileName)
{
    std::vector<std::uint8_t> bytes;
    if (fileName && ReadGameFile(fileName, bytes, 1u << 20))
        Parse(bytes);
}

void TFontList::Parse(std::span<const std::uint8_t> bytes)
{
    m_Entries.clear();
    std::size_t pos = 0;
    for (;;) {
        TFontEntry e;
        if (!ExtractInt(bytes, pos, e.height) || !ExtractInt(bytes, pos, e.charset))
            break;
        if (pos < bytes.size() && bytes[pos] != '\n') // the blank before the name
            ++pos;
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\n')
            ++end;
        std::size_t stop = end;
        if (stop > pos && bytes[stop - 1] == '\r')
            --stop;
        e.name.assign(reinterpret_cast<const char*>(bytes.data() + pos), std::min(stop - pos, kMaxName));
        m_Entries.push_back(std::move(e));
        pos = end < bytes.size() ? end + 1 : end;
    }
}

TFontEntry TFontList::GetEntry(int i) const
{
    if (i < 0 || static_cast<std::size_t>(i) >= m_Entries.size())
        return TFontEntry{};
    return m_Entries[static_cast<std::size_t>(i)];
}

std::int32_t TFontList::GetFirst(int i) const { return GetEntry(i).height; }
std::int32_t TFontList::GetSecond(int i) const { return GetEntry(i).charset; }
std::string TFontList::GetName(int i) const { return GetEntry(i).name; }
