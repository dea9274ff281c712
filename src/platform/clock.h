#pragma once
#include <cstdint>

namespace plat {

// Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick counter.
std::uint32_t GetTickCountMs();
// A high-resolution counter and its ticks per second.
std::int64_t QueryPerfCounter();
std::int64_t QueryPerfFrequency();
void SleepMs(std::uint32_t ms);

struct DateTime {
    int year;       // four digits
    int month;      // 1..12
    int day;        // 1..31
    int dayOfWeek;  // 0 = Sunday
    int hour;
    int minute;
    int second;
    int millisecond;
};
DateTime GetLocalDateTime();
// Seconds since 1970 (the calendar time).
std::int64_t GetCalendarTime();

} // namespace plat
