#include "core/inf_file.h"

#include <algorithm>

#include "core/file_bytes.h"

TInfFile::TInfFile(const char* fileName)
{
    std::vector<std::uint8_t> bytes;
    if (ReadGameFile(fileName, bytes, 16u << 20))
        Parse(bytes);
}

void TInfFile::Parse(std::span<const std::uint8_t> bytes)
{
    m_Lines.clear();
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\n')
            ++end;
        std::size_t stop = end;
        // Lists written on Windows end their lines with CR LF; the CR is no part of the entry.
        if (stop > pos && bytes[stop - 1] == '\r')
            --stop;
        bool blank = true;
        for (std::size_t i = pos; i < stop && blank; ++i)
            blank = bytes[i] == ' ' || bytes[i] == '\r';
        if (!blank) {
            const std::size_t len = std::min(stop - pos, kMaxLine);
            m_Lines.emplace_back(reinterpret_cast<const char*>(bytes.data() + pos), len);
        }
        pos = end + 1;
    }
}

int TInfFile::Add(const std::string& text)
{
    m_Lines.push_back(text);
    return Count();
}

std::string TInfFile::GetEntry(int index) const
{
    if (index < 0 || index >= Count())
        return "Error";
    return m_Lines[static_cast<std::size_t>(index)];
}
