// The computer players' build template: binary and text readers, the binary writer.
#include "players/template.h"

#include <cctype>
#include <cstring>
#include <string>

#include "core/commented_reader.h"
#include "core/error_log.h"
#include "core/file_bytes.h"
#include "core/memory_stream.h"
#include "platform/paths.h"
#include "units/house_types.h"
#include "units/unit_types.h"

namespace {

constexpr char kMagic[4] = {'t', 'm', 'p', 'l'};
// A template file is small; anything larger is not one.
constexpr std::size_t kMaxTemplateFile = 16u << 20;

std::string Upper(const char* word)
{
    std::string s(word);
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A number word in 0..limit.
bool ReadNumber(TIfStreamMemory& in, std::int32_t limit, std::uint16_t& value)
{
    char word[COMMENTED_WORD_BUFFER];
    std::int32_t v = 0;
    if (!ReadCommentedString(in, word) || !ParseDecimalWord(word, v) || v < 0 || v > limit)
        return false;
    value = static_cast<std::uint16_t>(v);
    return true;
}

bool ReadTemplateFile(const char* name, const char* failure, std::vector<std::uint8_t>& bytes)
{
    if (name && ReadGameFile(name, bytes, kMaxTemplateFile))
        return true;
    ReportError(failure);
    return false;
}

} // namespace

bool IsValidTemplateEntry(const TTemplateEntry& entry)
{
    switch (entry.Kind & 0xFF) {
    case TEMPLATE_UNIT:
        return entry.Type < UNIT_TYPES_PER_NATION;
    case TEMPLATE_HOUSE:
        return entry.Type < HOUSE_TYPES_PER_SIDE;
    case TEMPLATE_UPGRADE:
        return true;
    default:
        return false;
    }
}

void TTemplate::ReleaseTemplateLists()
{
    for (auto& level : m_Levels) {
        level.Must = {};
        level.May = {};
    }
}

void TTemplate::FreeTemplate()
{
    ReleaseTemplateLists();
    LevelCount = 0;
    CurrentLevel = 0;
    Cursor = 0;
}

bool TTemplate::LoadTemplateFromBinaryFile(const char* name)
{
    FreeTemplate();
    std::vector<std::uint8_t> bytes;
    return ReadTemplateFile(name, "Cant open file in LoadTemplateFromBinaryFile", bytes) &&
           LoadTemplateFromBinary(bytes.data(), bytes.size());
}

bool TTemplate::LoadTemplateFromBinary(const std::uint8_t* data, std::size_t size)
{
    FreeTemplate();
    if (size < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return false;
    TIfStreamMemory in(data + sizeof kMagic, static_cast<std::int32_t>(size - sizeof kMagic));
    std::uint8_t count = 0;
    bool ok = in.ReadU8(count) && count <= TEMPLATE_MAX_LEVELS;
    for (int level = 0; ok && level < count; ++level)
        ok = ReadTemplateList(in, m_Levels[level].Must) && ReadTemplateList(in, m_Levels[level].May);
    if (!ok) {
        FreeTemplate();
        ReportError("Bad template file in LoadTemplateFromBinaryFile");
        return false;
    }
    LevelCount = count;
    return true;
}

bool TTemplate::LoadTemplateFromFile(const char* name)
{
    FreeTemplate();
    std::vector<std::uint8_t> bytes;
    return ReadTemplateFile(name, "Cant open file in LoadTemplateFromFile", bytes) &&
           LoadTemplateFromText(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool TTemplate::LoadTemplateFromText(const char* text, std::size_t size)
{
    FreeTemplate();
    TIfStreamMemory in(text, static_cast<std::int32_t>(size));
    char word[COMMENTED_WORD_BUFFER];
    std::uint16_t count = 0;
    bool ok = ReadNumber(in, TEMPLATE_MAX_LEVELS, count);
    for (int level = 0; ok && level < count; ++level) {
        while ((ok = ReadCommentedString(in, word)) && Upper(word) != "MUST") {
        }
        // The scratch list grows as needed but never past what a list's 16-bit count can say.
        std::vector<TTemplateEntry> scratch;
        bool inMay = false;
        while (ok) {
            if (!(ok = ReadCommentedString(in, word)))
                break;
            const std::string key = Upper(word);
            TTemplateEntry e;
            if (key == "CREATE_UNIT")
                e.Kind = TEMPLATE_UNIT;
            else if (key == "CREATE_BUILDING")
                e.Kind = TEMPLATE_HOUSE;
            else if (key == "CREATE_UPGRADE")
                e.Kind = TEMPLATE_UPGRADE;
            else if (key.starts_with("MAY") && !inMay) {
                m_Levels[level].Must = std::move(scratch);
                scratch = {};
                inMay = true;
                continue;
            } else if (key == "NEW_LEVEL") {
                m_Levels[level].May = std::move(scratch);
                break;
            } else {
                ok = false;
                break;
            }
            ok = ReadNumber(in, 0xFFFF, e.Type) && ReadNumber(in, 0xFFFF, e.Count) && IsValidTemplateEntry(e) &&
                 scratch.size() < 0xFFFF;
            if (ok)
                scratch.push_back(e);
        }
    }
    if (!ok) {
        FreeTemplate();
        ReportError("Bad template file in LoadTemplateFromFile");
        return false;
    }
    LevelCount = static_cast<std::uint8_t>(count);
    return true;
}

std::vector<std::uint8_t> TTemplate::ToBinary() const
{
    TOfStreamMemory out;
    out.Write(kMagic, sizeof kMagic);
    out.WriteU8(LevelCount);
    for (int level = 0; level < LevelCount; ++level) {
        WriteTemplateList(out, m_Levels[level].Must);
        WriteTemplateList(out, m_Levels[level].May);
    }
    return {out.Data(), out.Data() + out.Size()};
}

bool TTemplate::SaveTemplateToFile(const char* name) const
{
    const std::vector<std::uint8_t> bytes = ToBinary();
    if (!name || !plat::WriteFileAtomic(plat::ResolvePath(name), bytes.data(), bytes.size())) {
        ReportError("Cant open file in SaveTemplateToFile");
        return false;
    }
    return true;
}

bool ReadTemplateList(TIfStreamMemory& in, std::vector<TTemplateEntry>& list)
{
    std::uint16_t count = 0;
    if (!in.ReadU16(count))
        return false;
    if (static_cast<std::size_t>(in.Remaining()) < count * TEMPLATE_ENTRY_SIZE)
        return false;
    list.resize(count);
    for (auto& e : list) {
        in.ReadU16(e.Kind);
        in.ReadU16(e.Type);
        in.ReadU16(e.Count);
        if (!IsValidTemplateEntry(e))
            return false;
    }
    return true;
}

void WriteTemplateList(TOfStreamMemory& out, const std::vector<TTemplateEntry>& list)
{
    out.WriteU16(static_cast<std::uint16_t>(list.size()));
    for (const auto& e : list) {
        out.WriteU16(e.Kind);
        out.WriteU16(e.Type);
        out.WriteU16(e.Count);
    }
}
