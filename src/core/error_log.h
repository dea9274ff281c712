#pragma once
// The plain-text error log. Every entry opens the file for appending, writes the date line and
// the message, and closes it again, so the log survives a crash up to the last entry.
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/clock.h"

class TLogFile {
public:
    // Creates or empties the file.
    explicit TLogFile(const char* fileName);
    ~TLogFile();

    // Appends one entry; a log that cannot be written is skipped silently. Messages are UTF-8 or
    // code page 1251 texts and are written as UTF-8.
    void Write(std::string_view message);

    const std::string& FileName() const { return m_FileName; }

    // Tests fix the clock the date line is made from.
    void SetClock(std::function<plat::DateTime()> clock);

private:
    std::string m_FileName;
    std::function<plat::DateTime()> m_Clock;
    std::mutex m_Mutex; // keeps entries from several threads whole
};

extern TLogFile g_ErrorLog;

// Longest message written by one entry; longer ones are cut.
constexpr std::size_t kMaxLogMessage = 4000;
// The joined texts of ReportError2 and ReportErrorInt are built in buffers of these sizes.
constexpr std::size_t kReportError2Buffer = 1000;
constexpr std::size_t kReportErrorIntBuffer = 340;

void ReportError(std::string_view message);
void ReportError2(std::string_view first, std::string_view second);
void ReportErrorInt(std::string_view message, long long number);
// Trace entry point of the game-listing code; does nothing.
void NetDebugTrace(const char* label, const char* text);
