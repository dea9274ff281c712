#pragma once
// A text file read into the list of its non-blank lines (video lists, host settings files).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class TInfFile {
public:
    // A missing file (or a null or empty name) gives an empty list.
    explicit TInfFile(const char* fileName = nullptr);

    // Appends one line; returns the new number of lines.
    int Add(const std::string& text);
    // Line index, or "Error" when there is none.
    std::string GetEntry(int index) const;
    int Count() const { return static_cast<int>(m_Lines.size()); }
    const std::vector<std::string>& Lines() const { return m_Lines; }

    // Replaces the list with the lines of a file image.
    void Parse(std::span<const std::uint8_t> bytes);

    static constexpr std::size_t kMaxLine = 9999;

private:
    std::vector<std::string> m_Lines;
};
