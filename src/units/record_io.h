#pragma once
// Field access by offset for fixed-size little-endian records. A record's layout is written once,
// as a function template over the accessor, and serves both directions: TRecordReader fills the
// host fields from the bytes, TRecordWriter stores them, so reader and writer share one table.
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

class TRecordReader {
public:
    explicit TRecordReader(const std::uint8_t* bytes) : m_Bytes(bytes) {}

    template <typename T>
    void Field(std::int32_t offset, T& value) const
    {
        static_assert(std::is_arithmetic_v<T> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4));
        using U = std::conditional_t<sizeof(T) == 1, std::uint8_t,
                                     std::conditional_t<sizeof(T) == 2, std::uint16_t, std::uint32_t>>;
        U u = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            u = static_cast<U>(u | (static_cast<U>(m_Bytes[offset + i]) << (8 * i)));
        value = std::bit_cast<T>(u);
    }
    template <typename T, std::size_t N>
    void Array(std::int32_t offset, T (&values)[N]) const
    {
        for (std::size_t i = 0; i < N; ++i)
            Field(offset + static_cast<std::int32_t>(i * sizeof(T)), values[i]);
    }

private:
    const std::uint8_t* m_Bytes;
};

class TRecordWriter {
public:
    explicit TRecordWriter(std::uint8_t* bytes) : m_Bytes(bytes) {}

    template <typename T>
    void Field(std::int32_t offset, const T& value) const
    {
        static_assert(std::is_arithmetic_v<T> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4));
        using U = std::conditional_t<sizeof(T) == 1, std::uint8_t,
                                     std::conditional_t<sizeof(T) == 2, std::uint16_t, std::uint32_t>>;
        const U u = std::bit_cast<U>(value);
        for (std::size_t i = 0; i < sizeof(T); ++i)
            m_Bytes[offset + i] = static_cast<std::uint8_t>(u >> (8 * i));
    }
    template <typename T, std::size_t N>
    void Array(std::int32_t offset, const T (&values)[N]) const
    {
        for (std::size_t i = 0; i < N; ++i)
            Field(offset + static_cast<std::int32_t>(i * sizeof(T)), values[i]);
    }

private:
    std::uint8_t* m_Bytes;
};
