#include "core/text_file.h"

#include <algorithm>
#include <cstring>

#include "core/error_log.h"
#include "core/file_bytes.h"
#include "core/memory_stream.h"
#include "core/string_table.h"
#include "platform/text.h"

namespace {

// One 16-bit unit; a lone last byte is consumed as the end of the stream.
bool ReadUnit(TIfStreamMemory& in, char16_t& c)
{
    if (in.Remaining() < 2) {
        in.Seek(std::max(in.Pos(), in.Size()));
        return false;
    }
    std::uint16_t v = 0;
    in.ReadU16(v);
    c = static_cast<char16_t>(v);
    return true;
}

bool IsWrapBreak(std::u16string_view text, std::size_t i)
{
    const char16_t c = text[i];
    if (c == u' ' || c == u'\u3000' || c == u'\u3001' || c == u'\u3002')
        return true;
    return c == u'.' && i + 1 < text.size() && text[i + 1] == u' ';
}

} // namespace

bool SkipUtf16Sign(TIfStreamMemory& in)
{
    std::uint8_t sign[2] = {};
    if (in.Read(sign, 2) != 2 || sign[0] != 0xFF || sign[1] != 0xFE)
        return false;
    return true;
}

int GetLine(TIfStreamMemory& in, char16_t* buffer, int capacity)
{
    int stored = 0;
    bool cut = false;
    char16_t c = 0;
    while (ReadUnit(in, c)) {
        if (c == u'\r') {
            char16_t lf = 0;
            ReadUnit(in, lf);
            break;
        }
        if (c == u'\n')
            break;
        if (buffer && stored < capacity - 1)
            buffer[stored++] = c;
        else
            cut = true;
    }
    if (buffer && capacity > 0)
        buffer[stored] = 0;
    if (cut)
        ReportError("Too long string in GetLine");
    return stored;
}

int GetLinesToString(TIfStreamMemory& in, char16_t* out, int capacity, std::u16string_view stopLine,
                     bool withLineEnds)
{
    std::u16string text;
    std::vector<char16_t> line(GETLINE_CAPACITY);
    bool logged = false;
    while (!in.AtEnd()) {
        const std::int32_t start = in.Pos();
        const int n = GetLine(in, line.data(), GETLINE_CAPACITY);
        std::u16string_view view(line.data(), static_cast<std::size_t>(n));
        if (view == stopLine) {
            in.Seek(start); // the caller reads the stop line again
            break;
        }
        while (!view.empty() && view.back() == u' ')
            view.remove_suffix(1);
        // Once the text is full, further lines are dropped: the readers of these texts keep them
        // in fixed buffers.
        if (text.size() >= static_cast<std::size_t>(GETLINES_CAPACITY))
            continue;
        text += view;
        if (withLineEnds)
            text += u"\r\n";
        if (text.size() >= static_cast<std::size_t>(GETLINES_CAPACITY)) {
            text.resize(GETLINES_CAPACITY);
            if (!logged)
                ReportError("GetLinesToString length>=20000");
            logged = true;
        }
    }
    if (!out || capacity <= 0)
        return 0;
    return static_cast<int>(plat::CopyW(out, static_cast<std::size_t>(capacity), text));
}

TChangePlayerName::TChangePlayerName(const char* fileName)
{
    Load(fileName);
}

TChangePlayerName::~TChangePlayerName() = default;

bool TChangePlayerName::Load(const char* fileName)
{
    m_Names.clear();
    m_NewNames.clear();
    std::vector<std::uint8_t> bytes;
    if (!ReadGameFile(fileName, bytes, 16u << 20)) {
        ReportError2(fileName ? fileName : "", " in TChangePlayerName ");
        return false;
    }
    return LoadFromBuffer(bytes);
}

bool TChangePlayerName::LoadFromBuffer(std::span<const std::uint8_t> bytes)
{
    m_Names.clear();
    m_NewNames.clear();
    if (bytes.empty() || bytes[0] != 255) {
        ReportError("TChangePlayerName Sign!=255");
        return false;
    }
    if (bytes.size() < 2 || bytes[1] != 254) {
        ReportError("TChangePlayerName Sign!=254");
        return false;
    }
    TIfStreamMemory in(bytes.data() + 2, static_cast<std::int32_t>(std::min<std::size_t>(bytes.size() - 2, 0x7FFFFFFF)));
    std::u16string line;
    char16_t c = 0;
    for (;;) {
        if (!ReadUnit(in, c)) {
            MakeNamesFromString(line.c_str(), static_cast<int>(line.size()));
            return true;
        }
        if (c == u'\r') {
            MakeNamesFromString(line.c_str(), static_cast<int>(line.size()));
            line.clear();
            char16_t lf = 0;
            ReadUnit(in, lf);
            continue;
        }
        line += c;
        if (line.size() > static_cast<std::size_t>(PLAYER_NAMES_MAX_LINE)) {
            ReportError("TChangePlayerName (Length>1999)");
            return false;
        }
    }
}

bool TChangePlayerName::MakeNamesFromString(const char16_t* line, int length)
{
    if (!line || length < 3)
        return false;
    const std::u16string_view text(line, static_cast<std::size_t>(length));
    const std::size_t hash = text.find(u'#');
    if (hash == std::u16string_view::npos) {
        ReportError("TChangePlayerName::MakeNamesFromString cant find #");
        return false;
    }
    if (hash == 0) {
        ReportError("TChangePlayerName::MakeNamesFromString num==0");
        return false;
    }
    std::size_t start = hash + 1;
    if (start < text.size() && text[start] == u' ')
        ++start;
    m_Names.emplace_back(text.substr(0, hash - 1)); // the blank before '#' is no part of the name
    m_NewNames.emplace_back(text.substr(start));
    return true;
}

bool TChangePlayerName::ChangePlayerName(char16_t* name, int capacity) const
{
    if (m_Names.empty() || !name || capacity <= 0)
        return false;
    const std::u16string_view current(name, plat::StrLenW(name, static_cast<std::size_t>(capacity)));
    for (std::size_t i = 0; i < m_Names.size(); ++i) {
        if (m_Names[i] != current)
            continue;
        const std::u16string& replacement = m_NewNames[i];
        if (replacement.size() >= static_cast<std::size_t>(capacity))
            ReportError("TChangePlayerName::TChangePlayerNameChangePlayerName maxleng too small");
        plat::CopyW(name, static_cast<std::size_t>(capacity), replacement);
        return true;
    }
    return false;
}

std::u16string MakeMapPlayerName(std::u16string_view mapName, int ownIndex)
{
    if (!mapName.empty()) {
        char16_t name[PLAYER_NAME_CAPACITY];
        plat::CopyW(name, PLAYER_NAME_CAPACITY, mapName);
        TChangePlayerName table(PLAYER_NAMES_FILE);
        table.ChangePlayerName(name, PLAYER_NAME_CAPACITY);
        return name;
    }
    const std::u16string id = u"IDS_COMP" + plat::Utf8ToUtf16(std::to_string(ownIndex + 1));
    return GetResString(id);
}

std::vector<std::u16string> WrapTextToWidth(std::u16string_view text, int maxWidth, int maxHeight,
                                            const TTextMeasurer* measurer)
{
    std::vector<std::u16string> lines;
    if (!measurer || text.empty())
        return lines;
    std::u16string_view rest = text.substr(0, std::min<std::size_t>(text.size(), WRAP_MAX_TEXT));
    int y = 0;
    while (!rest.empty()) {
        std::size_t len = rest.size();
        TTextExtent extent = measurer->Measure(rest);
        if (extent.cx >= maxWidth) {
            // The longest prefix of at least 2 characters that is narrower than the width. Widths
            // grow with the text, so halving finds what dropping one character at a time would.
            std::size_t lo = 2;
            std::size_t hi = rest.size() - 1;
            if (rest.size() < 3 || measurer->Measure(rest.substr(0, lo)).cx >= maxWidth)
                return lines;
            while (lo < hi) {
                const std::size_t mid = lo + (hi - lo + 1) / 2;
                if (measurer->Measure(rest.substr(0, mid)).cx < maxWidth)
                    lo = mid;
                else
                    hi = mid - 1;
            }
            len = lo;
            for (std::size_t i = len - 1; i > 0; --i) {
                if (IsWrapBreak(rest, i)) {
                    len = i + 1;
                    break;
                }
            }
            extent = measurer->Measure(rest.substr(0, len));
            // The height limit only stops a text that is still being cut to the width; a rest
            // that fits is always placed.
            if (y + extent.cy > maxHeight)
                return lines;
        }
        lines.emplace_back(rest.substr(0, len));
        rest.remove_prefix(len);
        y += extent.cy;
    }
    return lines;
}
