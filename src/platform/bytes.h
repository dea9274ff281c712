#pragma once
// Little-endian field access for every file and wire record: records are never copied as structs.
#include <bit>
#include <cstdint>
#include <cstring>

namespace plat {

inline std::uint16_t ReadU16LE(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t ReadU32LE(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t ReadU64LE(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(ReadU32LE(p)) | (static_cast<std::uint64_t>(ReadU32LE(p + 4)) << 32);
}
inline std::int16_t ReadI16LE(const std::uint8_t* p) { return static_cast<std::int16_t>(ReadU16LE(p)); }
inline std::int32_t ReadI32LE(const std::uint8_t* p) { return static_cast<std::int32_t>(ReadU32LE(p)); }
inline std::int64_t ReadI64LE(const std::uint8_t* p) { return static_cast<std::int64_t>(ReadU64LE(p)); }
inline float ReadF32LE(const std::uint8_t* p) { return std::bit_cast<float>(ReadU32LE(p)); }
inline double ReadF64LE(const std::uint8_t* p) { return std::bit_cast<double>(ReadU64LE(p)); }

inline void WriteU16LE(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void WriteU32LE(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void WriteU64LE(std::uint8_t* p, std::uint64_t v)
{
    WriteU32LE(p, static_cast<std::uint32_t>(v));
    WriteU32LE(p + 4, static_cast<std::uint32_t>(v >> 32));
}
inline void WriteI16LE(std::uint8_t* p, std::int16_t v) { WriteU16LE(p, static_cast<std::uint16_t>(v)); }
inline void WriteI32LE(std::uint8_t* p, std::int32_t v) { WriteU32LE(p, static_cast<std::uint32_t>(v)); }
inline void WriteI64LE(std::uint8_t* p, std::int64_t v) { WriteU64LE(p, static_cast<std::uint64_t>(v)); }
inline void WriteF32LE(std::uint8_t* p, float v) { WriteU32LE(p, std::bit_cast<std::uint32_t>(v)); }
inline void WriteF64LE(std::uint8_t* p, double v) { WriteU64LE(p, std::bit_cast<std::uint64_t>(v)); }

} // namespace plat
