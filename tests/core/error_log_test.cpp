#include "core/error_log.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "test_support.h"

namespace {

plat::DateTime FixedClock()
{
    plat::DateTime t{};
    t.day = 3;
    t.month = 7;
    t.year = 2026;
    t.hour = 9;
    t.minute = 5;
    t.second = 1;
    return t;
}

class ErrorLog : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string path = dir / "ReportError.log";
};

} // namespace

TEST_F(ErrorLog, EntryIsDateLineThenMessage)
{
    TLogFile log(path.c_str());
    log.SetClock(FixedClock);
    log.Write("Unknown Hot Key");
    log.Write("");
    EXPECT_EQ(testsupport::ReadText(path), "03:07:2026  09:05:01\t\nUnknown Hot Key\n03:07:2026  09:05:01\t\n\n");
}

TEST_F(ErrorLog, ConstructionEmptiesThePreviousRun)
{
    testsupport::WriteText(path, "old run\n");
    TLogFile log(path.c_str());
    EXPECT_EQ(testsupport::ReadText(path), "");
}

TEST_F(ErrorLog, WritersJoinAndCutTheirTexts)
{
    // The global writers go to g_ErrorLog; point a fresh log at our folder by writing through it.
    g_ErrorLog.SetClock(FixedClock);
    const std::string logPath = g_ErrorLog.FileName();
    testsupport::WriteText(logPath, "");
    ReportError2("first", "");
    ReportErrorInt("Unknown Hot Key. _CommandID = ", -17);
    ReportError2(std::string(2000, 'a'), "tail");
    ReportErrorInt(std::string(1000, 'b'), 123456);
    const std::string text = testsupport::ReadText(logPath);
    const std::string head = "03:07:2026  09:05:01\t\n";
    std::string expected = head + "first\n" + head + "Unknown Hot Key. _CommandID = -17\n";
    expected += head + std::string(kReportError2Buffer - 1, 'a') + "\n";
    expected += head + std::string(kReportErrorIntBuffer - 1 - 6, 'b') + "123456\n";
    EXPECT_EQ(text, expected);
    g_ErrorLog.SetClock(nullptr);
}

TEST_F(ErrorLog, CodePage1251MessagesBecomeUtf8)
{
    TLogFile log(path.c_str());
    log.SetClock(FixedClock);
    log.Write("\xEF\xE5\xF0\xE5\xE1\xEE\xF0"); // "перебор" in code page 1251
    log.Write("перебор");                        // already UTF-8
    const std::string head = "03:07:2026  09:05:01\t\n";
    EXPECT_EQ(testsupport::ReadText(path), head + "перебор\n" + head + "перебор\n");
}

TEST_F(ErrorLog, ConcurrentWritersLeaveWholeEntries)
{
    TLogFile log(path.c_str());
    log.SetClock(FixedClock);
    constexpr int kThreads = 8, kEach = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                log.Write(std::string(100, static_cast<char>('A' + t)));
        });
    for (auto& th : threads)
        th.join();
    const std::string text = testsupport::ReadText(path);
    const std::string head = "03:07:2026  09:05:01\t\n";
    std::size_t pos = 0;
    int entries = 0;
    while (pos < text.size()) {
        ASSERT_EQ(text.compare(pos, head.size(), head), 0) << "at " << pos;
        pos += head.size();
        const char c = text[pos];
        ASSERT_EQ(text.compare(pos, 101, std::string(100, c) + "\n"), 0) << "at " << pos;
        pos += 101;
        ++entries;
    }
    EXPECT_EQ(entries, kThreads * kEach);
}

TEST_F(ErrorLog, OverlongMessageIsCut)
{
    TLogFile log(path.c_str());
    log.SetClock(FixedClock);
    log.Write(std::string(kMaxLogMessage + 500, 'z'));
    const std::string head = "03:07:2026  09:05:01\t\n";
    EXPECT_EQ(testsupport::ReadText(path), head + std::string(kMaxLogMessage, 'z') + "\n");
}

TEST_F(ErrorLog, UnwritableLogIsSkippedSilently)
{
    TLogFile log((dir.Path() + "/no/such/folder/log.txt").c_str());
    log.Write("lost"); // must not throw or crash
}

TEST_F(ErrorLog, CyrillicCutMidLetterStaysUtf8)
{
    TLogFile log(path.c_str());
    log.SetClock(FixedClock);
    // 'я' is two bytes; an odd limit falls inside the last letter that would fit.
    std::string cyrillic;
    while (cyrillic.size() < kMaxLogMessage + 10)
        cyrillic += "я";
    log.Write("x" + cyrillic);
    const std::string head = "03:07:2026  09:05:01\t\n";
    const std::string kept = "x" + cyrillic.substr(0, kMaxLogMessage - 2);
    EXPECT_EQ(testsupport::ReadText(path), head + kept + "\n");

    // The joined writers cut the same way.
    g_ErrorLog.SetClock(FixedClock);
    const std::string logPath = g_ErrorLog.FileName();
    testsupport::WriteText(logPath, "");
    ReportError2("z", std::string(cyrillic, 0, 2 * kReportError2Buffer));
    ReportErrorInt("z" + cyrillic.substr(0, 2 * kReportErrorIntBuffer), 7);
    std::string expected = head + "z" + cyrillic.substr(0, kReportError2Buffer - 2) + "\n";
    expected += head + "z" + cyrillic.substr(0, kReportErrorIntBuffer - 4) + "7\n";
    EXPECT_EQ(testsupport::ReadText(logPath), expected);
    g_ErrorLog.SetClock(nullptr);
}
