#pragma once
// The memory reader and the growable memory writer under every loader and saver: a loader gets
// a whole file or archive entry as one buffer and parses it in place; a saver assembles
// everything in memory and writes it with one call.
#include <cstdint>
#include <string>

class TIfStreamMemory {
public:
    TIfStreamMemory();
    TIfStreamMemory(const void* data, std::int32_t size);
    // Reads a whole file (the path goes through the game's path resolver). A file that cannot be
    // opened logs the path and leaves the reader empty; an empty file leaves it empty silently.
    explicit TIfStreamMemory(const char* path);
    ~TIfStreamMemory();
    TIfStreamMemory(const TIfStreamMemory&) = delete;
    TIfStreamMemory& operator=(const TIfStreamMemory&) = delete;

    void SetBuffer(const void* data, std::int32_t size);
    void Close();
    bool Seek(std::int32_t position);

    // Copies min(count, size - pos) bytes and returns that number. The rest of the destination
    // is zero-filled on a short read, so a truncated field never holds stale bytes; callers that
    // must refuse truncated data compare the result with count (or check Failed()).
    std::int32_t Read(void* destination, std::int32_t count);
    // Reads the next token into a destination of the given capacity (terminating zero included).
    // A token longer than capacity-1 is cut to fit; the rest of it is skipped.
    std::int32_t ReadToken(char* destination, std::int32_t capacity);

    // Field readers: little-endian, false (and the field zeroed) on a short read.
    bool ReadU8(std::uint8_t& v);
    bool ReadU16(std::uint16_t& v);
    bool ReadU32(std::uint32_t& v);
    bool ReadI8(std::int8_t& v);
    bool ReadI16(std::int16_t& v);
    bool ReadI32(std::int32_t& v);
    bool ReadI64(std::int64_t& v);
    bool ReadF32(float& v);
    bool ReadF64(double& v);

    const std::uint8_t* Data() const { return m_Data; }
    std::int32_t Size() const { return m_Size; }
    std::int32_t Pos() const { return m_Pos; }
    std::int32_t Remaining() const { return m_Pos < m_Size ? m_Size - m_Pos : 0; }
    bool AtEnd() const { return m_Pos >= m_Size; }
    // Set by the first short read since the buffer was set; loaders refuse the file then.
    bool Failed() const { return m_Failed; }

private:
    bool IsDelimiter(std::uint8_t b) const;

    const std::uint8_t* m_Data = nullptr;
    std::int32_t m_Size = 0;
    std::int32_t m_Pos = 0;
    std::uint8_t* m_Delimiters = nullptr;
    std::uint8_t m_DelimiterCount = 0;
    std::uint8_t m_OwnsData = 0;
    bool m_Failed = false;
};

class TOfStreamMemory {
public:
    static constexpr std::int32_t kGrowth = 10'000'000;

    TOfStreamMemory() = default;
    ~TOfStreamMemory();
    TOfStreamMemory(const TOfStreamMemory&) = delete;
    TOfStreamMemory& operator=(const TOfStreamMemory&) = delete;

    std::int32_t Write(const void* source, std::int32_t count);
    // Overwrites bytes at position without moving pos (patching a length written earlier).
    void Insert(std::int32_t position, const void* source, std::int32_t count);
    void Free();
    void Reset() { Free(); }
    // Writes the first size bytes as a compressed file. The buffer stays; the caller frees it.
    bool SaveCompressed(const char* path);

    // Field writers, little-endian.
    void WriteU8(std::uint8_t v);
    void WriteU16(std::uint16_t v);
    void WriteU32(std::uint32_t v);
    void WriteI8(std::int8_t v) { WriteU8(static_cast<std::uint8_t>(v)); }
    void WriteI16(std::int16_t v) { WriteU16(static_cast<std::uint16_t>(v)); }
    void WriteI32(std::int32_t v) { WriteU32(static_cast<std::uint32_t>(v)); }
    void WriteI64(std::int64_t v);
    void WriteF32(float v);
    void WriteF64(double v);

    const std::uint8_t* Data() const { return m_Data; }
    std::int32_t Capacity() const { return m_Capacity; }
    std::int32_t Size() const { return m_Size; }
    std::int32_t Pos() const { return m_Pos; }
    // False once a write could not be done (the size would pass 2 GiB or memory ran out).
    bool Ok() const { return !m_Failed; }

private:
    bool Grow(std::int64_t end);

    std::uint8_t* m_Data = nullptr;
    std::int32_t m_Capacity = 0;
    std::int32_t m_Size = 0;
    std::int32_t m_Pos = 0;
    std::int32_t m_Growth = kGrowth;
    bool m_Failed = false;
};

// Seam to the compressed-file writer of the archive module.
bool SaveCompressedFile(const char* path, const void* data, std::int32_t size);
