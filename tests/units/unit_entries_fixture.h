#pragma once
// Unit graphics archive entries served from memory, the way the archive reader hands them out.
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

using TUnitEntries = std::map<std::pair<std::uint32_t, std::uint16_t>, std::vector<std::uint8_t>>;

// A copy of entry (slot, id) that the reader frees with FreeLesEntry; null when it is missing.
inline std::uint8_t* CopyUnitEntry(const TUnitEntries& entries, std::uint32_t slot, std::uint16_t id,
                                   std::uint32_t* size)
{
    auto it = entries.find({slot, id});
    if (it == entries.end())
        return nullptr;
    auto* copy = new std::uint8_t[it->second.size()];
    std::memcpy(copy, it->second.data(), it->second.size());
    *size = static_cast<std::uint32_t>(it->second.size());
    return copy;
}
