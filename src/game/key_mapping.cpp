#include "game/key_mapping.h"

#include <vector>

#include "core/error_log.h"
#include "core/file_bytes.h"

KeyMapping g_KeyMapping;

namespace {
constexpr std::uint8_t kBlank = ' ';
// A key-mapping file is a few lines; anything larger is not one.
constexpr std::size_t kMaxFileSize = 1u << 20;
} // namespace

KeyMapping::KeyMapping(const char* fileName)
{
    std::vector<std::uint8_t> bytes;
    if (!fileName || !ReadGameFile(fileName, bytes, kMaxFileSize))
        return;
    m_Loaded = true;
    Parse(bytes);
}

bool KeyMapping::Parse(std::span<const std::uint8_t> bytes)
{
    m_From.clear();
    m_To.clear();
    m_Loaded = true;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::uint8_t from = bytes[pos++];
        while (pos < bytes.size() && bytes[pos] != kBlank)
            ++pos;
        // The blank itself, then the replacement byte.
        if (pos + 1 >= bytes.size()) {
            ReportErrorInt("KeyMapping: entry without a replacement for key ", from);
            return false;
        }
        const std::uint8_t to = bytes[pos + 1];
        pos += 2;
        m_From.push_back(from);
        m_To.push_back(to);
        // The line end; a last entry may stand without one.
        pos += 2;
    }
    return true;
}

std::uint32_t KeyMapping::Find(std::uint32_t key) const
{
    if (!m_Loaded)
        return key;
    for (std::size_t i = 0; i < m_From.size(); ++i)
        if (m_From[i] == key)
            return m_To[i];
    return key;
}

void LoadKeyMapping()
{
    g_KeyMapping = KeyMapping("Data\\KeyMapping.txt");
}
