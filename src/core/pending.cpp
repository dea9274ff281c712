// Least bodies of core services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "core/error_log.h"
#include "core/memory_stream.h"

bool SaveCompressedFile(const char* path, const void*, std::int32_t)
{
    ReportError2("SaveCompressedFile: not available yet: ", path ? path : "");
    return false;
}
