#include "core/string_table.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "core/error_log.h"
#include "core/file_bytes.h"
#include "platform/bytes.h"
#include "platform/paths.h"
#include "platform/text.h"

TResStrings g_ResStrings;
plat::CriticalSection g_ResStringsLock;

namespace {

std::once_flag g_ResStringsOnce;
std::atomic<bool> g_ResStringsLoaded{false};

void EnsureResStrings()
{
    if (g_ResStringsLoaded.load(std::memory_order_acquire))
        return;
    std::call_once(g_ResStringsOnce, [] {
        if (!g_ResStringsLoaded.load(std::memory_order_acquire))
            g_ResStrings.Load(RES_STRINGS_FILE);
    });
}

// Each thread has its own rotating buffers: the network and loader threads look texts up while the
// main thread holds earlier results, and a shared ring would let one thread overwrite another's.
struct TResultRing {
    char16_t buffers[RES_RESULT_BUFFERS][RES_RESULT_CAPACITY];
    std::uint32_t index = 0;
};
thread_local TResultRing t_ResultRing;

std::u16string ReadUnits(const std::uint8_t* p, std::int32_t count)
{
    std::u16string s(static_cast<std::size_t>(count), u'\0');
    for (std::int32_t i = 0; i < count; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char16_t>(plat::ReadU16LE(p + 2 * i));
    return s;
}

void AppendUnits(std::vector<std::uint8_t>& out, std::u16string_view s)
{
    const std::size_t at = out.size();
    out.resize(at + 4 + 2 * s.size());
    plat::WriteI32LE(out.data() + at, static_cast<std::int32_t>(s.size()));
    for (std::size_t i = 0; i < s.size(); ++i)
        plat::WriteU16LE(out.data() + at + 4 + 2 * i, s[i]);
}

} // namespace

TResStrings::TResStrings(const char* fileName)
{
    Load(fileName);
}

void TResStrings::Clear()
{
    // Whoever fills the game's table by hand has chosen its content; a later first lookup must
    // not replace it with the file.
    if (this == &g_ResStrings)
        g_ResStringsLoaded.store(true, std::memory_order_release);
    m_Map.clear();
    m_bChanged = false;
}

int TResStrings::Load(const char* fileName, std::vector<std::u16string>* errors)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadGameFile(fileName, bytes)) {
        m_FileName = fileName ? fileName : "";
        Clear();
        return 0;
    }
    return LoadFromBuffer(bytes, fileName, errors);
}

int TResStrings::LoadFromBuffer(std::span<const std::uint8_t> bytes, const char* fileName,
                                std::vector<std::u16string>* errors)
{
    m_FileName = fileName ? fileName : "";
    Clear();
    std::size_t pos = 0;
    const std::size_t size = bytes.size();
    auto readLength = [&](std::int32_t& n) {
        if (size - pos < 4)
            return false;
        n = plat::ReadI32LE(bytes.data() + pos);
        pos += 4;
        return n > 0;
    };
    // A record too long to keep is skipped (its lengths say where the next one begins) and
    // reported once per file, so one bad text does not lose every text after it.
    bool reportedLong = false;
    for (;;) {
        std::int32_t keyLength = 0;
        std::int32_t textLength = 0;
        if (!readLength(keyLength))
            break;
        if (size - pos < 2 * static_cast<std::size_t>(keyLength))
            break;
        const std::size_t keyAt = pos;
        pos += 2 * static_cast<std::size_t>(keyLength);
        if (!readLength(textLength))
            break;
        if (size - pos < 2 * static_cast<std::size_t>(textLength))
            break; // a truncated last record is dropped
        const std::size_t textAt = pos;
        pos += 2 * static_cast<std::size_t>(textLength);
        if (keyLength > RES_MAX_KEY || textLength > RES_MAX_TEXT) {
            if (!reportedLong)
                ReportError2(keyLength > RES_MAX_KEY ? "String table key too long in "
                                                     : "String table text too long in ",
                             m_FileName);
            reportedLong = true;
            continue;
        }
        std::u16string key = ReadUnits(bytes.data() + keyAt, keyLength);
        std::u16string text = ReadUnits(bytes.data() + textAt, textLength);
        auto it = m_Map.find(key);
        if (it != m_Map.end()) {
            if (errors)
                errors->push_back(plat::FormatW(u"%s in file %S", key.c_str(), m_FileName.c_str()));
            it->second = std::move(text);
        } else {
            m_Map.emplace(std::move(key), std::move(text));
        }
    }
    m_bChanged = false;
    return errors ? static_cast<int>(errors->size()) : 0;
}

const std::u16string* TResStrings::Find(std::u16string_view id) const
{
    auto it = m_Map.find(id);
    return it == m_Map.end() ? nullptr : &it->second;
}

int TResStrings::GetString(std::u16string_view id, char16_t* buffer, std::size_t capacity) const
{
    const std::u16string* text = Find(id);
    if (!text)
        return -2;
    if (!buffer || text->size() >= capacity)
        return -3;
    std::memcpy(buffer, text->data(), text->size() * sizeof(char16_t));
    buffer[text->size()] = 0;
    return static_cast<int>(text->size());
}

void TResStrings::SetString(std::u16string_view id, std::u16string_view text)
{
    if (this == &g_ResStrings)
        g_ResStringsLoaded.store(true, std::memory_order_release);
    m_Map.insert_or_assign(std::u16string(id), std::u16string(text));
    m_bChanged = true;
}

std::vector<std::uint8_t> TResStrings::Serialize() const
{
    std::vector<std::uint8_t> out;
    for (const auto& [key, text] : m_Map) {
        AppendUnits(out, key);
        AppendUnits(out, text);
    }
    return out;
}

bool TResStrings::Save(const char* fileName)
{
    if (!m_bChanged)
        return true;
    const std::vector<std::uint8_t> bytes = Serialize();
    if (!fileName || !plat::WriteFileAtomic(plat::ResolvePath(fileName), bytes.data(), bytes.size())) {
        ReportError2("Cannot write string table ", fileName ? fileName : "");
        return false;
    }
    m_bChanged = false;
    return true;
}

std::size_t LoadResStrings()
{
    g_ResStrings.Load(RES_STRINGS_FILE);
    return g_ResStrings.Count();
}

const char16_t* GetResString(std::u16string_view id)
{
    EnsureResStrings();
    std::lock_guard lock(g_ResStringsLock);
    TResultRing& ring = t_ResultRing;
    if (ring.index >= RES_RESULT_BUFFERS)
        ring.index = 0;
    char16_t* buffer = ring.buffers[ring.index];
    buffer[0] = 0;
    g_ResStrings.GetString(id, buffer, RES_RESULT_CAPACITY);
    ++ring.index;
    return buffer;
}

int My_LoadStringW(std::u16string_view id, char16_t* buffer, int max)
{
    if (!buffer || max <= 0)
        return 0;
    const char16_t* text = GetResString(id);
    const std::size_t length = plat::StrLenW(text);
    if (length >= static_cast<std::size_t>(max)) {
        buffer[0] = 0;
        ReportErrorInt(" - too long string in My_LoadStringW", static_cast<long long>(length));
        return 0;
    }
    std::memcpy(buffer, text, (length + 1) * sizeof(char16_t));
    return static_cast<int>(length);
}

char16_t* IntToWStr(std::int32_t value, char16_t* buffer)
{
    const std::string digits = std::to_string(value);
    for (std::size_t i = 0; i <= digits.size(); ++i)
        buffer[i] = static_cast<char16_t>(static_cast<unsigned char>(digits.c_str()[i]));
    return buffer;
}
