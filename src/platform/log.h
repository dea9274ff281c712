#pragma once
// Error messages of the platform layer. They go to a sink that the application installs (the
// game's error log); until one is installed they go to standard error. The sink may be called
// from any thread.
#include <string_view>

namespace plat {

using LogSink = void (*)(std::string_view message);

// Null restores standard error.
void SetLogSink(LogSink sink);
void LogError(std::string_view message);
// The two texts joined.
void LogError2(std::string_view first, std::string_view second);

} // namespace plat
