#include "platform/log.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace plat {

namespace {

// Atomic: any thread logs, and the sink is installed during static initialisation.
std::atomic<LogSink> g_Sink{nullptr};

} // namespace

void SetLogSink(LogSink sink)
{
    g_Sink.store(sink, std::memory_order_release);
}

void LogError(std::string_view message)
{
    if (LogSink sink = g_Sink.load(std::memory_order_acquire)) {
        sink(message);
        return;
    }
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
}

void LogError2(std::string_view first, std::string_view second)
{
    std::string joined;
    joined.reserve(first.size() + second.size());
    joined.append(first).append(second);
    LogError(joined);
}

} // namespace plat
