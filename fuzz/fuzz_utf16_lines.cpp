// Feeds arbitrary bytes to the UTF-16 line readers, the player-name table and text wrapping.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/memory_stream.h"
#include "core/text_file.h"

namespace {

class FixedWidth : public TTextMeasurer {
public:
    TTextExtent Measure(std::u16string_view text) const override
    {
        int cx = 0;
        for (char16_t c : text)
            cx += 4 + (c & 7);
        return {cx, 12};
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int capacity = 1 + data[0] % 64;
    TIfStreamMemory in(data + 1, static_cast<std::int32_t>(size - 1));
    std::vector<char16_t> line(static_cast<std::size_t>(capacity));
    std::u16string text;
    for (int guard = 0; !in.AtEnd() && guard < 100000; ++guard) {
        const int n = GetLine(in, line.data(), capacity);
        if (n >= capacity)
            std::abort();
        text.append(line.data(), static_cast<std::size_t>(n));
    }
    in.Seek(0);
    std::vector<char16_t> joined(static_cast<std::size_t>(capacity));
    GetLinesToString(in, joined.data(), capacity, u"#####", true);

    TChangePlayerName names;
    names.LoadFromBuffer({data, size});
    char16_t name[PLAYER_NAME_CAPACITY] = u"Kaiser";
    names.ChangePlayerName(name, PLAYER_NAME_CAPACITY);

    FixedWidth measurer;
    const auto lines = WrapTextToWidth(text, 20 + data[0], 200, &measurer);
    for (const auto& l : lines)
        if (measurer.Measure(l).cx >= 20 + data[0])
            std::abort();
    return 0;
}
