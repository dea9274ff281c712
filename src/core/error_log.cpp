#include "core/error_log.h"

#include <cstdio>

#include "platform/log.h"
#include "platform/text.h"

TLogFile g_ErrorLog("ReportError.log");

namespace {

// Cuts a text to at most maxBytes. A UTF-8 text is cut before the letter that would be split, so
// the cut text is still read as UTF-8 and not mistaken for code page 1251 (one byte a letter).
std::string_view CutText(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = maxBytes;
    if (plat::IsValidUtf8(text)) {
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
    }
    return text.substr(0, end);
}

// The platform layer logs through its own sink; from static initialisation on it is this log.
const bool g_PlatformLogSinkInstalled = [] {
    plat::SetLogSink(ReportError);
    return true;
}();

} // namespace

TLogFile::TLogFile(const char* fileName)
    : m_FileName(fileName ? fileName : "")
    , m_Clock(plat::GetLocalDateTime)
{
    if (std::FILE* f = std::fopen(m_FileName.c_str(), "wb"))
        std::fclose(f);
}

TLogFile::~TLogFile() = default;

void TLogFile::SetClock(std::function<plat::DateTime()> clock)
{
    std::lock_guard lock(m_Mutex);
    m_Clock = clock ? std::move(clock) : std::function<plat::DateTime()>(plat::GetLocalDateTime);
}

void TLogFile::Write(std::string_view message)
{
    message = CutText(message, kMaxLogMessage);
    // Messages written in the code are UTF-8 already; texts taken from data files are code page
    // 1251, which is practically never valid UTF-8, so the check tells the two apart.
    const std::string utf8 = plat::IsValidUtf8(message) ? std::string(message) : plat::Cp1251ToUtf8(message);

    std::lock_guard lock(m_Mutex);
    const plat::DateTime t = m_Clock();
    char header[96];
    std::snprintf(header, sizeof header, "%02d:%02d:%02d  %02d:%02d:%02d\t\n", t.day, t.month, t.year, t.hour,
                  t.minute, t.second);
    // One buffer, one write: an entry is never split between writers of other processes either.
    std::string entry = header;
    entry += utf8;
    entry += '\n';
    std::FILE* f = std::fopen(m_FileName.c_str(), "ab");
    if (!f)
        return;
    std::fwrite(entry.data(), 1, entry.size(), f);
    std::fclose(f);
}

void ReportError(std::string_view message)
{
    g_ErrorLog.Write(message);
}

void ReportError2(std::string_view first, std::string_view second)
{
    std::string joined;
    joined.reserve(first.size() + second.size());
    joined.append(first).append(second);
    g_ErrorLog.Write(CutText(joined, kReportError2Buffer - 1));
}

void ReportErrorInt(std::string_view message, long long number)
{
    const std::string digits = std::to_string(number);
    // The number is what the entry is about: cut the text, never the digits.
    const std::size_t room = kReportErrorIntBuffer - 1;
    std::string joined(CutText(message, room > digits.size() ? room - digits.size() : 0));
    joined += digits;
    g_ErrorLog.Write(joined);
}

void NetDebugTrace(const char*, const char*) {}
