#pragma once
// The checksum of the simulation state: what every machine of a network game must hold alike
// after each cycle. It reads only state the simulation owns -- never a pointer, a clock value or
// drawing state -- so two runs of the same game and orders give the same trail, drawn or not.
//
// Whoever adds simulation state adds it here in the same change.
//
// Threads: main thread, between cycles.
#include <cstdint>
#include <span>

// FNV-1a, 64 bits.
class TSimHash {
public:
    void Bytes(std::span<const std::uint8_t> bytes);
    template <typename T>
    void Value(T value)
    {
        std::uint8_t b[sizeof(T)];
        for (std::size_t i = 0; i < sizeof(T); ++i)
            b[i] = static_cast<std::uint8_t>(ToBits(value) >> (8 * i));
        Bytes(b);
    }
    std::uint64_t Result() const { return m_State; }

private:
    template <typename T>
    static std::uint64_t ToBits(T value)
    {
        if constexpr (sizeof(T) == 8) {
            std::uint64_t u = 0;
            __builtin_memcpy(&u, &value, 8);
            return u;
        } else if constexpr (sizeof(T) == 4) {
            std::uint32_t u = 0;
            __builtin_memcpy(&u, &value, 4);
            return u;
        } else if constexpr (sizeof(T) == 2) {
            std::uint16_t u = 0;
            __builtin_memcpy(&u, &value, 2);
            return u;
        } else {
            std::uint8_t u = 0;
            __builtin_memcpy(&u, &value, 1);
            return u;
        }
    }
    std::uint64_t m_State = 14695981039346656037ull;
};

// The checksum of everything the simulation owns now.
std::uint64_t SimulationChecksum();
// One line of a checksum trail: "<g_FrameCounter> <16 hex digits>\n".
void FormatChecksumLine(char (&line)[40], std::uint32_t frame, std::uint64_t checksum);
