#pragma once
// Gun towers: the rotating parts (turrets) of ships and land vehicles. A type holds one part record
// per part; each unit of the type holds one CTower per part.
#include <cstdint>

class TUnit;
class TAnimationStruct;

// One part of a type (172 bytes in the original record layout; kept here as plain fields).
struct TPartRecord {
    float pivot[3] = {};
    std::uint8_t sectorCount = 0;
    float sectors[2][3] = {}; // upper limit, lower limit, centre angle (radians)
    float startAngle = 0.0f;
    std::uint8_t barrelCount = 0;
    float turnStep = 0.0f;
    const std::uint8_t* frameEntry = nullptr;
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

    TPartRecord* m_pPart = nullptr;
    std::uint8_t m_Index = 0;
    TUnit* m_pUnit = nullptr;
};
