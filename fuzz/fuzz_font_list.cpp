// Feeds arbitrary text to the font list and .inf list readers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/font_list.h"
#include "core/inf_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TFontList fonts;
    fonts.Parse({data, size});
    for (const TFontEntry& e : fonts.Entries())
        if (e.name.size() > TFontList::kMaxName)
            std::abort();
    fonts.GetName(3);

    TInfFile inf;
    inf.Parse({data, size});
    for (const std::string& line : inf.Lines())
        if (line.empty() || line.size() > TInfFile::kMaxLine)
            std::abort();
    return 0;
}
