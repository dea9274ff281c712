#pragma once
// Gun towers: the rotating parts (turrets) of ships and land vehicles. A type holds one part record
// per part; each unit of the type holds one CTower per part.
#include <cstdint>

class TUnit;
class THouse;
class TIfStreamMemory;
class TOfStreamMemory;
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
// An angle difference folded into (-pi, pi], keeping its sign, so sectors that are not symmetric
// about their centre keep their shape.
float WrapAngleDifference(float d);

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

// Every field to its default: no pivot, sectors or barrels, shot type 1, A 300, reload 0 (the
// owner's), C 100, greatest distance 2000, E 400.
void PartRecordInit(TPartRecord& part);
// Whether the angle (relative to the unit) lies in one of the part's firing sectors.
bool InSector(const TPartRecord& part, float angle);
// The angle a part rests at: the centre of its sector when it has one, else its start angle.
float PartRestAngle(const TPartRecord& part);
// A ship part's turn step: an eighth of a turn over the frame count of its frame-table entry.
void ShipTowerStep(TPartRecord& part);
// Copies the fire values of "Data\ShipTowersParams.txt" into a self-turning part of ship types 18,
// 19 and 20; a record the file does not hold leaves the part's own values.
void SetShipTowerParams(TPartRecord& part, std::uint16_t unitType, std::uint8_t flag);

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
    // One step toward the wanted angle; true while the part is still turning.
    bool Turn();
    // For self-turning parts: true when the part points at (x, y) closely enough to fire; angle is
    // the absolute angle to turn to.
    bool AimAt(float x, float y, float& angle);
    // Where a shot of the barrel starts: map x, y and height.
    void GetBarrelPoint(std::uint8_t barrel, float (&out)[3]) const;
    void Save(TOfStreamMemory& out) const;
    // false when the stream ends before the record does.
    bool Load(TIfStreamMemory& in, TUnit* unit);

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
    std::uint8_t m_TargetPlayer = 255;
    std::int16_t m_TargetIndex = -1;
    TUnit* m_pTargetUnit = nullptr;
    std::uint8_t PlayerHouseAttack = 255;
    std::int16_t m_TargetHouseIndex = -1;
    THouse* m_pTargetHouse = nullptr;
    std::uint16_t m_Reload = 0; // cycles until the barrels may fire again
    float m_Value = 100.0f;
    std::uint8_t m_ShotBarrel = 0; // the barrel whose shot is being made

private:
    void FreeFlashes();
};
