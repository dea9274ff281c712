// Feeds arbitrary text to the settings reader and the comment-skipping readers. Whatever settings
// result must be written and read back to the same file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/commented_reader.h"
#include "core/memory_stream.h"
#include "core/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ParseGameInfo(reinterpret_cast<const char*>(data), size);
    const std::string text = MakeGameInfoText();
    ParseGameInfo(text.data(), text.size());
    if (MakeGameInfoText() != text)
        std::abort();

    TIfStreamMemory in(data, static_cast<std::int32_t>(size));
    char word[COMMENTED_WORD_BUFFER];
    char* alloc = nullptr;
    float f = 0;
    std::uint16_t w = 0;
    for (int guard = 0; !in.AtEnd() && guard < 10000; ++guard) {
        switch (guard % 4) {
        case 0: ReadCommentedString(in, word); break;
        case 1: ReadCommentedLong(in, f); break;
        case 2: ReadCommentedWord(in, w); break;
        default: ReadCommentedAlloc(in, alloc); break;
        }
    }
    FreeCommentedText(alloc);
    return 0;
}
