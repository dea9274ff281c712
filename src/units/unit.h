#pragma once
// Units on the map: one soldier, worker, vehicle, aircraft or ship of one player. The record is
// stored in save games as a 380-byte image (WriteUnitImage / ReadUnitImage), never copied as memory.
#include <cstdint>
#include <functional>
#include <span>

#include "units/unit_types.h"

class THouse;
class CTower;
class TStrateg;
class TGroup;
class TAnimationStruct;

constexpr int UNIT_RECORD_SIZE = 380;
constexpr std::uint8_t UNIT_NO_PLAYER = 255;
constexpr std::uint8_t UNIT_NO_WORK = 255;
constexpr std::uint8_t UNIT_NO_NEXT_WORK = 100;
constexpr std::uint16_t UNIT_NO_OBJECT = 65535;
constexpr std::uint8_t UNIT_NO_FACE = 255;
constexpr std::uint8_t UNIT_STAND_WORK = 3;
constexpr int UNIT_FRAME_STAGGER = 50;
// Types that carry passengers, and how many.
constexpr std::uint16_t UNIT_TYPE_CARRIER = 24;
constexpr std::uint16_t UNIT_TYPE_TRANSPORT_SHIP = 17;
constexpr int UNIT_CARRIER_PASSENGERS = 50;
constexpr int UNIT_SHIP_PASSENGERS = 500;
constexpr int UNIT_SHIP_WAVES = UNIT_SHIP_WAVE_SLOTS;
constexpr int UNIT_ORIENTS = 8;

// The stored fields of a unit, in the order of its stored image. Plain data: a unit is cleared by
// assigning a fresh record, so no memory contents reach a save or another machine.
struct TUnitRecord {
    TBasicUnit* Basic = nullptr;
    std::uint8_t NumWork = 0;
    std::uint8_t Dead = 0;
    std::uint8_t m_bMaySearch = 0;
    std::uint8_t FramePhase = 0;
    std::int32_t m_RectTop = 0;
    std::int32_t m_RectLeft = 0;
    std::int32_t m_RectRight = 0;
    std::int32_t m_RectBottom = 0;
    std::uint8_t m_bOnScreen = 0;
    float X = 0.0f;
    float Y = 0.0f;
    float Height = 0.0f;
    float GroundHeight = 0.0f;
    TUnit* m_pNext = nullptr;
    TUnit* Prev = nullptr;
    float VX = 0.0f;
    float VY = 0.0f;
    std::uint16_t MapX = 0;
    std::uint16_t MapY = 0;
    float StepX = 0.0f;
    float StepY = 0.0f;
    float GoalX = 0.0f;
    float GoalY = 0.0f;
    float StartX = 0.0f;
    float StartY = 0.0f;
    float m_SpareX = 0.0f;
    float m_SpareY = 0.0f;
    std::int32_t m_OrderedX = 0;
    std::int32_t m_OrderedY = 0;
    float NumSprite = 0.0f;
    std::int8_t Orient = 0;
    std::uint8_t m_OrientTag = 0;
    std::uint8_t WantedOrient = 0;
    std::uint16_t m_Reserved112 = 0;
    float Heading = 0.0f;
    std::uint8_t NextWork = 0;
    std::uint8_t Selected = 0;
    std::uint8_t Player = 0;
    std::uint16_t WaitCount = 0;
    std::int32_t m_UniqueId = 0;
    std::uint16_t m_Reserved132 = 0;
    std::uint8_t m_OrderFlagA = 0;
    std::uint16_t Type = 0;
    float m_Experience = 0.0f;
    std::uint16_t m_Index = 0;
    std::uint8_t FiredFlag = 0;
    std::uint8_t m_OrderFlagB = 0;
    float WorkX = 0.0f;
    float WorkY = 0.0f;
    std::uint8_t m_Flag156 = 0;
    std::uint8_t m_Flag157 = 0;
    std::uint8_t Halted = 0;
    std::uint8_t StopAtEnd = 0;
    std::uint8_t PendingMove = 0; // a move deferred as a queued order (its point: m_OrderedX, m_OrderedY)
    float SavedGoalX = 0.0f;
    float SavedGoalY = 0.0f;
    std::int8_t SavedWork = 0;
    std::uint16_t SavedWorkObject = 0;
    std::uint8_t HasSavedOrder = 0;
    std::uint8_t* Path = nullptr; // direction codes, owned
    std::uint16_t PathLength = 0;
    std::int16_t PathIndex = 0;
    std::uint8_t Work = 0;
    std::uint16_t WorkObject = 0;
    std::uint8_t PlayerAttack = 0;
    std::int16_t m_AttackIndex = 0;
    TUnit* AttackUnit = nullptr;
    float TargetX = 0.0f;
    float TargetY = 0.0f;
    float HitPoints = 0.0f;
    std::uint8_t AttackPoints = 0; // 2 for each attacker aimed at this unit
    std::uint32_t m_TransportState = 0;
    std::uint8_t m_TransportCounter = 0;
    std::uint8_t m_TransportTag = 0;
    std::int8_t m_StoredGroup = 0;
    std::uint16_t m_CanFire = 0;
    std::uint16_t Reload = 0;
    void* m_pSelectionNode = nullptr;
    THouse* House = nullptr;
    std::uint8_t EnteringHouse = 0;
    std::uint8_t PlayerHouseAttack = 0;
    THouse* HouseAttack = nullptr;
    TGroup* m_pGroup = nullptr;
    std::int16_t m_GroupSlot = 0;
    std::uint8_t UseTypeSpeed = 0;
    std::uint8_t KeepWork = 0;
    std::uint8_t m_bShown = 0;
    TStrateg* m_pOwner = nullptr;
    CTower* Towers = nullptr; // TowerCount records, owned
    std::uint8_t TowerCount = 0;
    std::int8_t m_Reserved277 = 0;
    std::int8_t Stance = 0;
    float Ammo = 0.0f;
    TAnimationStruct** m_pAnimations = nullptr; // m_AnimationCount instances, owned
    std::uint8_t m_AnimationCount = 0;
    std::uint8_t m_ShipParts1[UNIT_ORIENTS] = {};
    std::uint8_t m_ShipParts0[UNIT_ORIENTS] = {};
    std::uint8_t m_ShipParts2[UNIT_ORIENTS] = {};
    std::uint8_t ShipPartMode = 0;
    std::uint8_t m_Reserved314 = 0;
    std::uint32_t m_Reserved316 = 0;
    std::uint8_t m_ShipContact = 0;
    std::uint8_t m_FirstCountdown = 0;
    std::uint16_t m_SearchDelay = 0;
    std::uint8_t SlowCount = 0;
    std::uint8_t m_PathRetries = 0;
    std::uint16_t m_PassengerCount = 0;
    TUnit** m_pPassengers = nullptr; // PassengerCapacity() entries, owned
    TUnit* m_MyFutureTransporter = nullptr;
    TUnit* m_MyTransporter = nullptr;
    std::uint8_t m_bHold = 0;
    TUnit* m_pContactUnit = nullptr;
    std::uint8_t m_Reserved348 = 0;
    std::uint8_t m_TurnFlag = 0;
    void* m_pOrderObject = nullptr;
    TUnit* GunTarget = nullptr;
    std::uint8_t GunScanDelay = 0;
    float m_ShipGoalX = 0.0f;
    float m_ShipGoalY = 0.0f;
    std::uint32_t Upright = 0;
    std::uint8_t FaceOrient = 0;

};

class TUnit : public TUnitRecord {
public:
    // Makes a unit of entry nation*40 + type of g_UnitTypes without an owner or a position.
    TUnit(std::uint16_t type, std::uint8_t nation);
    // Frees what the unit owns (Release).
    ~TUnit();
    TUnit(const TUnit&) = delete;
    TUnit& operator=(const TUnit&) = delete;

    // Every field to its reset value and a new unique id; draws one value of the shared random
    // table for the facing. Owned arrays are forgotten, not freed: Release first.
    void Reset();
    // Frees the towers, the attached animations and the passenger array.
    void Release();
    // false and nothing changed for 8 or more.
    bool SetOrient(std::uint8_t orient);
    // The foot point on the drawn map image.
    void GetDrawPoint(std::int32_t& x, std::int32_t& y) const;
    // The sprite origin on the screen.
    void GetScreenPos(float& x, float& y) const;
    void UpdateTowers();
    void StartShipWaves();
    void ResetShipWaves();
    // Returns the ship parts the unit holds; with wait, waits for each started load and returns
    // every part.
    void ReleaseShipParts(bool wait);

    // A transported unit leaves its transport and is put on the map beside it; false (the unit still
    // aboard) when a ship finds no shore place for it.
    bool GetMeFromTransport();
    // Whether the carrier can put passengers on the map now: always for type 24.
    bool CanUnload(const TUnit* transport) const;
    // The unit boards the transport; false when it cannot.
    bool PutMeInTransport(TUnit* transport);

    std::uint16_t PassengerCapacity() const;
    std::uint32_t UniqueId() const { return m_UniqueId; }

};

// The unique-id counter; set to 0 when a game's unit tables are made. Main thread only.
extern std::int32_t g_UnitIdCounter;

// Link slots of the stored image: a unit or building pointer is kept as (player << 16) | index,
// UNIT_LINK_NONE for none; every other pointer slot holds 0.
constexpr std::uint32_t UNIT_LINK_NONE = 0xFFFFFFFFu;
constexpr std::uint32_t UnitLinkSlot(std::uint8_t player, std::uint16_t index)
{
    return (static_cast<std::uint32_t>(player) << 16) | index;
}
std::uint32_t UnitLinkSlot(const TUnit* unit);

// The pointer fields of a stored image, left for the save reader's link pass to rebuild.
struct TUnitLinks {
    std::uint32_t attackUnit = UNIT_LINK_NONE;
    std::uint32_t house = UNIT_LINK_NONE;
    std::uint32_t houseAttack = UNIT_LINK_NONE;
    std::uint32_t futureTransporter = UNIT_LINK_NONE;
    std::uint32_t transporter = UNIT_LINK_NONE;
    std::uint32_t contactUnit = UNIT_LINK_NONE;
    std::uint32_t gunTarget = UNIT_LINK_NONE;
};

// The 380-byte stored image: every field at its offset, gaps zero, pointers as link slots.
void WriteUnitImage(const TUnit& unit, std::span<std::uint8_t, UNIT_RECORD_SIZE> out);
// Copies a stored image over a live unit (a fresh one made for the stored type): every field but
// the type, the owned arrays (path, towers, animations, passengers) and the pointers, which keep
// the unit's values or become null for the link pass. The stored path length is kept; the caller
// reads the path bytes into a new array. false for a null unit.
bool ReadUnitImage(std::span<const std::uint8_t, UNIT_RECORD_SIZE> image, TUnit* unit, TUnitLinks& links);

// What the sound code reads of a unit and of its type record.
struct TUnitSoundFields {
    float x = 0.0f; // map position, pixels
    float y = 0.0f;
    float height = 0.0f; // the two height terms that follow the position
    float lift = 0.0f;
    std::int16_t number = 0;                // the unit's number
    const TUnitSoundEntry* sounds = nullptr; // UNIT_SOUND_ENTRIES entries of its type
};
// false when the record cannot be read (null).
bool GetUnitSoundFields(const TUnit* unit, TUnitSoundFields& out);

// The first unit of a player's unit list (linked through m_pNext); null when the player has none
// or does not exist. Main thread only.
TUnit* FirstPlayerUnit(std::uint8_t player);

// What the ships' grid reads of a ship.
struct TShipGridFields {
    float x = 0.0f; // map pixels
    float y = 0.0f;
    float heading = 0.0f; // radians, 0 .. 2 pi
    std::uint16_t type = 0;
    std::uint8_t dead = 0; // non-zero: out of play, claims no ship cells
};
// false when the record cannot be read (null).
bool GetShipGridFields(const TUnit* unit, TShipGridFields& out);

// Calls back for each unit of the player's unit list, in list order.
void ForEachPlayerUnit(std::uint8_t player, const std::function<void(const TUnit&)>& visit);
