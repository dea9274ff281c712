#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace plat {

namespace {
const auto g_Start = std::chrono::steady_clock::now();
}

std::uint32_t GetTickCountMs()
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - g_Start);
    return static_cast<std::uint32_t>(ms.count());
}

std::int64_t QueryPerfCounter()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t QueryPerfFrequency()
{
    return 1'000'000'000;
}

void SleepMs(std::uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

DateTime GetLocalDateTime()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    DateTime d{};
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.dayOfWeek = tm.tm_wday;
    d.hour = tm.tm_hour;
    d.minute = tm.tm_min;
    d.second = tm.tm_sec;
    d.millisecond =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return d;
}

std::int64_t GetCalendarTime()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

} // namespace plat
