#include "core/memory_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/error_log.h"
#include "platform/bytes.h"
#include "platform/paths.h"

namespace {
constexpr std::uint8_t kStandardDelimiters[4] = {13, 32, 9, 10};
}

TIfStreamMemory::TIfStreamMemory()
    : m_Delimiters(new std::uint8_t[4])
    , m_DelimiterCount(4)
{
    std::memcpy(m_Delimiters, kStandardDelimiters, 4);
}

TIfStreamMemory::TIfStreamMemory(const void* data, std::int32_t size)
    : TIfStreamMemory()
{
    SetBuffer(data, size);
}

TIfStreamMemory::TIfStreamMemory(const char* path)
    : TIfStreamMemory()
{
    const std::string host = plat::ResolvePath(path ? path : "");
    std::FILE* f = std::fopen(host.c_str(), "rb");
    if (!f || plat::IsDirectory(host)) {
        if (f)
            std::fclose(f);
        ReportError(path ? path : "");
        return;
    }
    std::fseek(f, 0, SEEK_END);
    const long length = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    if (length <= 0 || length > 0x7FFFFFFF) {
        if (length > 0x7FFFFFFF)
            ReportError2("file too large: ", path);
        std::fclose(f);
        return;
    }
    auto* bytes = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(length)];
    if (!bytes) {
        ReportError2("out of memory reading ", path);
        std::fclose(f);
        return;
    }
    const std::size_t got = std::fread(bytes, 1, static_cast<std::size_t>(length), f);
    std::fclose(f);
    if (got != static_cast<std::size_t>(length)) {
        ReportError2("read error: ", path);
        delete[] bytes;
        return;
    }
    m_Data = bytes;
    m_Size = static_cast<std::int32_t>(length);
    m_OwnsData = 1;
}

TIfStreamMemory::~TIfStreamMemory()
{
    delete[] m_Delimiters;
    Close();
}

void TIfStreamMemory::SetBuffer(const void* data, std::int32_t size)
{
    Close();
    m_Data = static_cast<const std::uint8_t*>(data);
    m_Size = data ? std::max<std::int32_t>(size, 0) : 0;
    m_Pos = 0;
}

void TIfStreamMemory::Close()
{
    if (m_OwnsData)
        delete[] m_Data;
    m_Data = nullptr;
    m_Size = 0;
    m_Pos = 0;
    m_OwnsData = 0;
    m_Failed = false;
}

bool TIfStreamMemory::Seek(std::int32_t position)
{
    if (position < 0)
        return false;
    m_Pos = position;
    return true;
}

std::int32_t TIfStreamMemory::Read(void* destination, std::int32_t count)
{
    if (count <= 0 || !destination)
        return 0;
    const std::int32_t n = std::min(count, Remaining());
    if (n > 0) {
        std::memcpy(destination, m_Data + m_Pos, static_cast<std::size_t>(n));
        m_Pos += n;
    }
    if (n < count) {
        std::memset(static_cast<std::uint8_t*>(destination) + n, 0, static_cast<std::size_t>(count - n));
        m_Failed = true;
    }
    return n;
}

bool TIfStreamMemory::IsDelimiter(std::uint8_t b) const
{
    for (int i = 0; i < m_DelimiterCount; ++i)
        if (m_Delimiters[i] == b)
            return true;
    return false;
}

std::int32_t TIfStreamMemory::ReadToken(char* destination, std::int32_t capacity)
{
    if (!destination || capacity <= 0) {
        // No room even for the terminator: the token is still consumed so that callers advance.
        while (m_Pos < m_Size && !IsDelimiter(m_Data[m_Pos]))
            ++m_Pos;
        while (m_Pos < m_Size && IsDelimiter(m_Data[m_Pos]))
            ++m_Pos;
        return 0;
    }
    destination[0] = 0;
    if (m_Pos >= m_Size)
        return 0;
    std::int32_t len = 0;
    while (m_Pos < m_Size && !IsDelimiter(m_Data[m_Pos])) {
        if (len < capacity - 1)
            destination[len++] = static_cast<char>(m_Data[m_Pos]);
        ++m_Pos;
    }
    destination[len] = 0;
    while (m_Pos < m_Size && IsDelimiter(m_Data[m_Pos]))
        ++m_Pos;
    return len;
}

#define KORVELA_READ_FIELD(Name, Type, Size, Decode)   \
    bool TIfStreamMemory::Name(Type& v)                 \
    {                                                   \
        std::uint8_t b[Size];                           \
        const bool ok = Read(b, Size) == Size;          \
        v = static_cast<Type>(Decode(b));               \
        return ok;                                      \
    }

static std::uint8_t ReadU8Raw(const std::uint8_t* b) { return b[0]; }
KORVELA_READ_FIELD(ReadU8, std::uint8_t, 1, ReadU8Raw)
KORVELA_READ_FIELD(ReadI8, std::int8_t, 1, ReadU8Raw)
KORVELA_READ_FIELD(ReadU16, std::uint16_t, 2, plat::ReadU16LE)
KORVELA_READ_FIELD(ReadI16, std::int16_t, 2, plat::ReadI16LE)
KORVELA_READ_FIELD(ReadU32, std::uint32_t, 4, plat::ReadU32LE)
KORVELA_READ_FIELD(ReadI32, std::int32_t, 4, plat::ReadI32LE)
KORVELA_READ_FIELD(ReadI64, std::int64_t, 8, plat::ReadI64LE)
KORVELA_READ_FIELD(ReadF32, float, 4, plat::ReadF32LE)
KORVELA_READ_FIELD(ReadF64, double, 8, plat::ReadF64LE)
#undef KORVELA_READ_FIELD

TOfStreamMemory::~TOfStreamMemory()
{
    Free();
}

bool TOfStreamMemory::Grow(std::int64_t end)
{
    // The end must stay below the capacity, so the buffer always keeps one spare byte.
    std::int64_t capacity = m_Capacity;
    while (end >= capacity)
        capacity += m_Growth;
    if (capacity == m_Capacity)
        return true;
    if (capacity > 0x7FFFFFFF) {
        ReportError("TOfStreamMemory: buffer would pass 2 GiB");
        m_Failed = true;
        return false;
    }
    auto* bigger = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(capacity)];
    if (!bigger) {
        ReportError("TOfStreamMemory: out of memory");
        m_Failed = true;
        return false;
    }
    if (m_Data)
        std::memcpy(bigger, m_Data, static_cast<std::size_t>(m_Capacity));
    std::memset(bigger + m_Capacity, 0, static_cast<std::size_t>(capacity - m_Capacity));
    delete[] m_Data;
    m_Data = bigger;
    m_Capacity = static_cast<std::int32_t>(capacity);
    return true;
}

std::int32_t TOfStreamMemory::Write(const void* source, std::int32_t count)
{
    // After a failed grow the stream holds a gap where the lost bytes belong: what follows would
    // land at the wrong place, so nothing more is written until Free.
    if (!source || count <= 0 || m_Failed)
        return 0;
    if (!Grow(static_cast<std::int64_t>(m_Pos) + count))
        return 0;
    std::memcpy(m_Data + m_Pos, source, static_cast<std::size_t>(count));
    m_Pos += count;
    m_Size = std::max(m_Size, m_Pos);
    return count;
}

void TOfStreamMemory::Insert(std::int32_t position, const void* source, std::int32_t count)
{
    if (!source || count <= 0 || position < 0 || m_Failed)
        return;
    if (!Grow(static_cast<std::int64_t>(position) + count))
        return;
    std::memcpy(m_Data + position, source, static_cast<std::size_t>(count));
    m_Size = std::max(m_Size, position + count);
}

void TOfStreamMemory::Free()
{
    delete[] m_Data;
    m_Data = nullptr;
    m_Capacity = 0;
    m_Size = 0;
    m_Pos = 0;
    m_Failed = false;
}

bool TOfStreamMemory::SaveCompressed(const char* path)
{
    if (m_Failed) {
        ReportError2("TOfStreamMemory: incomplete data not saved: ", path ? path : "");
        return false;
    }
    return SaveCompressedFile(path, m_Data, m_Size);
}

void TOfStreamMemory::WriteU8(std::uint8_t v) { Write(&v, 1); }
void TOfStreamMemory::WriteU16(std::uint16_t v)
{
    std::uint8_t b[2];
    plat::WriteU16LE(b, v);
    Write(b, 2);
}
void TOfStreamMemory::WriteU32(std::uint32_t v)
{
    std::uint8_t b[4];
    plat::WriteU32LE(b, v);
    Write(b, 4);
}
void TOfStreamMemory::WriteI64(std::int64_t v)
{
    std::uint8_t b[8];
    plat::WriteI64LE(b, v);
    Write(b, 8);
}
void TOfStreamMemory::WriteF32(float v)
{
    std::uint8_t b[4];
    plat::WriteF32LE(b, v);
    Write(b, 4);
}
void TOfStreamMemory::WriteF64(double v)
{
    std::uint8_t b[8];
    plat::WriteF64LE(b, v);
    Write(b, 8);
}
