#pragma once
// The shared random table. Every decision of the simulation that must come out the same on all
// machines of a network game, and after reloading a save, draws from this one table through one
// index. The table is a pure function of g_RandSeed, so machines holding the same seed and drawing
// in the same order agree. Visual effects use VisualRand, which never touches the table.
#include <cstddef>
#include <cstdint>

constexpr std::size_t kRandTableSize = 65536;

extern std::uint32_t g_RandSeed;
extern std::uint16_t g_RandTable[kRandTableSize];
// Wraps from 65535 to 0 by its width, so the table is read as a ring.
extern std::uint16_t g_RandIndex;

// Seeds the generator with g_RandSeed, fills the table and sets g_RandIndex to 0.
void InitRandomTable();

// The next value of the shared table (0..32767); the index advances by one.
inline std::uint16_t RandomDraw()
{
    return g_RandTable[g_RandIndex++];
}

// What machines compare to see that they still draw in step (the snapshot the player turn takes
// every 10 cycles).
inline std::uint16_t RandSyncValue()
{
    return g_RandIndex;
}

// The generator the table is filled with: state = state * 214013 + 2531011, output the bits 16..30
// of the state. Its exact sequence is part of save and network compatibility.
class TRandomGenerator {
public:
    explicit TRandomGenerator(std::uint32_t seed = 1) : m_State(seed) {}
    void Seed(std::uint32_t seed) { m_State = seed; }
    std::uint16_t Next()
    {
        m_State = m_State * 214013u + 2531011u;
        return static_cast<std::uint16_t>((m_State >> 16) & 0x7FFFu);
    }
    std::uint32_t State() const { return m_State; }

private:
    std::uint32_t m_State;
};

// The generator of visual effects (particle offsets, sound variants, animation start frames):
// values 0..32767 like the shared table, but from a state of its own, safe to call from any
// thread, and never part of what machines compare.
constexpr int kVisualRandMax = 32767;
int VisualRand();
void SeedVisualRand(std::uint32_t seed);
