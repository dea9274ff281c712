#pragma once
// Timed signs: spreading areas of explosions at a point (a gas shell's cloud, the debug key's
// bursts). Game state: they step in the lock-step cycle and draw from the shared random table only.
//
// Threads: main thread only.
#include <cstdint>
#include <vector>

struct TTimedSignDesc {
    std::uint32_t kind = 0; // 0 gas, 1 the debug key's bursts
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t lifetime = 0; // cycles
    std::uint16_t radius = 0;  // the greatest
    std::uint16_t growth = 0;  // per cycle
    std::uint8_t density = 0;
    std::int32_t damage = 0;       // of each explosion
    std::int32_t damageRadius = 0; // of each explosion
};

constexpr std::uint32_t TIMED_SIGN_GAS = 0;
constexpr std::uint32_t TIMED_SIGN_BURSTS = 1;
constexpr std::uint8_t TIMED_SIGN_GAS_EXPLOSION = 36;
constexpr std::uint8_t TIMED_SIGN_BURST_EXPLOSION = 30;

class TTimedSign {
public:
    explicit TTimedSign(const TTimedSignDesc& desc);
    virtual ~TTimedSign() = default;
    // One cycle: a few explosions inside the current circle, growth, one cycle less to live.
    virtual void Update();

    // The number of explosions this cycle: density x current radius / greatest radius, as a byte;
    // 0 for a sign without a greatest radius.
    std::uint8_t ExplosionCount() const;

    TTimedSignDesc m_Desc;
    std::uint8_t m_ExplosionType = TIMED_SIGN_GAS_EXPLOSION;
    std::int16_t m_Radius = 1; // current
};

class TTimedSignList {
public:
    // false when the list could not be made; a list left from before is emptied and kept.
    static bool Create();
    // Deletes every sign and the list.
    static void Destroy();
    // The new sign, appended; null without a list.
    static TTimedSign* Add(const TTimedSignDesc& desc);
    // One step of every sign in the order added; signs whose lifetime ran out are removed.
    static void UpdateAll();

    // The live list (null between games), for the checksum and tests.
    static const std::vector<TTimedSign*>* Signs();
};

// What the shots call: TTimedSignList::Add.
void AddTimedSign(const TTimedSignDesc& desc);
