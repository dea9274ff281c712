// Feeds arbitrary bytes to both template readers. Whatever either accepts must survive the
// binary writer and read back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "players/template.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto t = std::make_unique<TTemplate>();
    auto back = std::make_unique<TTemplate>();
    if (t->LoadTemplateFromBinary(data, size)) {
        const auto bytes = t->ToBinary();
        if (!back->LoadTemplateFromBinary(bytes.data(), bytes.size()) || back->ToBinary() != bytes)
            std::abort();
    }
    if (t->LoadTemplateFromText(reinterpret_cast<const char*>(data), size)) {
        const auto bytes = t->ToBinary();
        if (!back->LoadTemplateFromBinary(bytes.data(), bytes.size()) || back->ToBinary() != bytes)
            std::abort();
    }
    return 0;
}
