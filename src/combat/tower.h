#pragma once
// Gun towers: the rotating parts (turrets) of ships and land vehicles. A type holds one part record
// per part; each unit of the type holds one CTower per part.
#include <cstdint>

class TUnit;
class TAnimationStruct;
class TSpriteList;

// An entry of a part's frame table (kept by the ship graphics): the part's pictures, steps
// pictures per eighth of a turn for each of the eight headings.
struct TPartFrameEntry {
    TSpriteList* pictures = nullptr;
    std::uint8_t steps = 0;
};

constexpr int TOWER_MAX_BARRELS = 4;

// The sum of two angles wrapped into [0, 2 pi) by the rule every turning part shares.
float AddAngles(float a, float b);

// One part of a type (172 bytes in the original record layout; kept here as plain fields).
struct TPartRecord {
    float pivot[3] = {};
    std::uint8_t sectorCount = 0;
    float sectors[2][3] = {}; // upper limit, lower limit, centre angle (radians)
    float startAngle = 0.0f;
    std::uint8_t barrelCount = 0;
    float turnStep = 0.0f;
    const TPartFrameEntry* frameEntry = nullptr;
    std::uint8_t shotType = 1;
    std::int16_t fireA = 300;
    std::uint16_t reload = 0;
    std::int16_t fireC = 100;
    float maxDistance = 2000.0f;
    float fireE = 400.0f;
    std::uint8_t mode = 0;
    float barrels[2][4][3] = {}; // mode 0 and mode 1 barrel points
};

class CTower {
public:
    CTower();
    ~CTower();
    CTower(const CTower&) = delete;
    CTower& operator=(const CTower&) = delete;

    // Binds the tower to part index of the unit's type.
    void Init(TUnit* unit, std::uint8_t index, std::uint8_t nation);
    // One cycle: turns toward the target and fires.
    void Update();
    // Fires one barrel.
    void Fire(std::uint8_t barrel);

    TPartRecord* m_pPart = nullptr;
    std::uint8_t m_Index = 0;
    // Per barrel the two firing effects (null until built) and whether they play.
    TAnimationStruct** m_FlashA = nullptr;
    TAnimationStruct** m_FlashB = nullptr;
    std::uint8_t m_BarrelCount = 0;
    std::uint8_t m_Firing[TOWER_MAX_BARRELS] = {};
    float m_Angle = 0.0f; // relative to the unit, radians in [0, 2 pi)
    float m_WantedAngle = 0.0f;
    TUnit* m_pUnit = nullptr;
};
