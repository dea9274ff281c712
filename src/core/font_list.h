#pragma once
// Data\korvela_font.fnt: the faces and sizes of the interface's four fonts, one entry a line:
// height, white space, charset, one blank, the face name to the end of the line.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

constexpr const char* FONT_LIST_FILE = "Data\\korvela_font.fnt";

struct TFontEntry {
    std::int32_t height = 10;
    std::int32_t charset = 1; // a GDI character-set number (204 Cyrillic, 1 default)
    std::string name;         // the face name, code page 1251, at most 99 characters
    bool operator==(const TFontEntry&) const = default;
};

class TFontList {
public:
    static constexpr std::size_t kMaxName = 99;
    static constexpr std::int32_t kDefaultHeight = 10;
    static constexpr std::int32_t kDefaultCharset = 1;

    // A null name or a missing file gives an empty list.
    explicit TFontList(const char* fileName);
    TFontList() = default;

    std::int32_t GetFirst(int i) const;  // height, or 10
    std::int32_t GetSecond(int i) const; // charset, or 1
    std::string GetName(int i) const;    // face name, or ""
    // Entry i, or the defaults.
    TFontEntry GetEntry(int i) const;
    const std::vector<TFontEntry>& Entries() const { return m_Entries; }

    void Parse(std::span<const std::uint8_t> bytes);

private:
    std::vector<TFontEntry> m_Entries;
};
