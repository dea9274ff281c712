// Feeds arbitrary bytes to the string table reader; whatever it accepts must survive a write and
// a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/string_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TResStrings table;
    std::vector<std::u16string> errors;
    table.LoadFromBuffer({data, size}, "fuzz.grf", &errors);
    char16_t buffer[RES_RESULT_CAPACITY];
    table.GetString(u"IDS_WIN", buffer, RES_RESULT_CAPACITY);
    table.GetString(u"", buffer, 1);

    const std::vector<std::uint8_t> written = table.Serialize();
    TResStrings again;
    again.LoadFromBuffer(written, "again.grf");
    if (again.Count() != table.Count() || again.Serialize() != written)
        std::abort();
    return 0;
}
