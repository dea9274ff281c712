#pragma once
// A small owned list of 16-bit values: the group manager hands unit lists over in it, and every
// unit group embeds one (its record list).
#include <cstdint>

class TWordList {
public:
    TWordList() = default;
    ~TWordList();
    TWordList(const TWordList&) = delete;
    TWordList& operator=(const TWordList&) = delete;

    // Takes a copy of count values (an empty list for 0 or null).
    void Assign(const std::uint16_t* values, std::uint16_t count);
    // Frees the array; the count becomes 0. An empty list stays as it is.
    void Clear();
    // Stores the count and returns the array, null when empty.
    std::uint16_t* GetData(std::uint16_t* count) const;

private:
    // The values are plain numbers: only the array is freed, never what a value might look like.
    std::uint16_t* m_pItems = nullptr;
    std::uint16_t m_Count = 0;
};
