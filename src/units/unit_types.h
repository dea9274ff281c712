#pragma once
// Unit types: one TBasicUnit per nation and type, with its parameters, costs, per-player combat
// values, animation sizes, the behaviour handlers of its kind and its (shared) graphics.
#include <atomic>
#include <cstdint>

class TUnit;
class CUnitGraphic;
class TAnimationStruct;
struct TPartRecord;

constexpr int UNIT_COUNT_WORK = 30;
constexpr int UNIT_WALK = 0;
constexpr int UNIT_NATIONS = 6; // five nations and the neutral side
constexpr int UNIT_TYPES_PER_NATION = 40;
constexpr int UNIT_TYPE_COUNT = UNIT_NATIONS * UNIT_TYPES_PER_NATION;
constexpr int UNIT_PLAYERS = 8;
// A ship's animation array holds its two bow waves behind the attached animations.
constexpr int UNIT_SHIP_WAVE_SLOTS = 2;
constexpr int UNIT_PARAM_TABLE = 160;
constexpr int UNIT_GUN_SLOTS = 10;

// Behaviour kinds (the kind byte of a type).
constexpr std::uint8_t UNIT_KIND_FIGHTER = 1;
constexpr std::uint8_t UNIT_KIND_TANK = 3;
constexpr std::uint8_t UNIT_KIND_WORKER = 6;
constexpr std::uint8_t UNIT_KIND_FLAME = 9;
constexpr std::uint8_t UNIT_KIND_AIRCRAFT = 11;
constexpr std::uint8_t UNIT_KIND_BOMBER = 12;
constexpr std::uint8_t UNIT_KIND_SHIP_FIRST = 13;
constexpr std::uint8_t UNIT_KIND_SHIP_LAST = 15;
constexpr std::uint8_t UNIT_KIND_MACHINE_GUNNER = 16;

// Both behaviour handlers of a kind take the unit they drive.
using TUnitHandler = void (*)(TUnit*);

struct TUnitKindHandlers {
    TUnitHandler move = nullptr;
    TUnitHandler second = nullptr; // null for the kinds that have none
};
// The handlers of a behaviour kind; unknown kinds get the default pair.
TUnitKindHandlers UnitKindHandlers(std::uint8_t kind);

// One of the ten sound entries of a unit type (one per sound sub-kind 0..9), filled by the
// parameter loader.
struct TUnitSoundEntry {
    const char* name = nullptr;   // relative to "Units\", ending in "_1.wav" when variants exist
    std::uint8_t loop = 0;
    std::uint8_t positioned = 0;
    std::uint8_t variants = 0;
    std::uint8_t unused = 0;
};
constexpr int UNIT_SOUND_ENTRIES = 10;

// A 3-float offset from a unit's foot point.
struct TUnitVector {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

class TBasicUnit {
public:
    TBasicUnit();
    TBasicUnit(const TBasicUnit&) = delete;
    TBasicUnit& operator=(const TBasicUnit&) = delete;

    // The virtual operations stand in the order derived types (ships) replace them.
    // 0: frees the three attached-animation arrays (and the part records).
    virtual ~TBasicUnit();
    // 1: opens "Data\Units\" + name + ".les" in archive slot type + nation*50 and attaches the
    // type's graphics block; a name that reads as a non-zero number "NTT" shares the block of type
    // TT of nation N-1. false only when no block could be attached.
    virtual bool LoadUnitGraphic(std::uint8_t type, std::uint8_t nation, const char* name);
    // 2: forgets a shared block; frees an own one.
    virtual void FreeGraphic();
    // 3: one more graphics reference for a unit of the nation; a worker's first reference also
    // references type 1 of the nation.
    virtual void AddRef(std::uint8_t nation);
    // 4: the mirror of AddRef.
    virtual void Release(std::uint8_t nation);
    // 5, 6: drawing of a living and of a dead unit.
    virtual void Draw(TUnit* unit);
    virtual void DrawDead(TUnit* unit);
    // 7: the i-th part record, null beyond the part count.
    virtual TPartRecord* PartRecord(std::uint8_t i);
    // 8: angle steps per eighth of a turn used to place attached animations.
    virtual std::uint8_t TurnSteps();
    // 9: a zeroed array of m_AnimCount pointers, two more for ships (null when there are none).
    virtual void CreateAnimationArray(TAnimationStruct**& out);
    // 10: one instance per attached animation, bound to its set of the unit animation bank.
    virtual void CreateAnimations(TAnimationStruct** array);
    // 11: deletes each instance and the array.
    virtual void DestroyAnimations(TAnimationStruct** array);

    bool IsShipUnit() const { return m_bShip != 0; }
    bool CanBeInGroup() const { return m_bGroup != 0; }
    bool IsShipKind() const { return m_Kind >= UNIT_KIND_SHIP_FIRST && m_Kind <= UNIT_KIND_SHIP_LAST; }

    std::uint8_t m_bShip = 0;
    std::uint8_t m_bAir = 0;
    std::uint8_t m_bQuickTurn = 0;
    std::uint8_t m_ParamFlags[2] = {};
    std::uint8_t m_bGroup = 0;
    std::uint8_t m_bCarrier24 = 0;
    std::uint8_t m_bCarrier17 = 0;
    std::uint8_t m_bLastParamFlag = 0;
    char16_t m_Name[100] = {};
    char m_GraphicName[100] = {};
    std::uint8_t m_Kind = 0;
    std::uint8_t m_Fill = 0;
    std::uint16_t m_SpriteWidth = 0;
    std::uint16_t m_SpriteHeight = 0;
    std::int32_t m_ParamValues[2] = {};
    std::int16_t m_SpriteOffsetX = 0;
    std::int16_t m_SpriteOffsetY = 0;
    float m_CentreX = 0.0f;
    float m_CentreY = 0.0f;
    float Speed = 0.0f;
    float TurnDistance = 0.0f;
    std::uint8_t m_PartCount = 0;
    TPartRecord* m_Parts = nullptr; // m_PartCount records, owned (allocated with new[])
    std::uint16_t m_ParamTables[2][UNIT_PARAM_TABLE] = {};
    // Per player, so that one player's upgrades change only that player's units.
    std::uint16_t m_FirstValue[UNIT_PLAYERS] = {};
    std::uint16_t Range[UNIT_PLAYERS] = {};
    std::uint16_t ReloadTime[UNIT_PLAYERS] = {};
    std::uint16_t MaxHitPoints[UNIT_PLAYERS] = {};
    std::uint16_t BuildTime[UNIT_PLAYERS] = {};
    std::uint16_t m_CanFire = 0;
    float m_Costs[5] = {}; // food, wood, iron, gold, oil
    float m_PowerNeed = 0.0f;
    float m_Upkeep[5] = {}; // same order
    std::uint32_t m_ParamValue = 0;
    std::uint8_t ClosePath = 0;
    std::uint8_t m_ParamByte = 0;
    std::uint16_t m_ParamA[5] = {};
    std::uint16_t m_ParamB[5] = {};
    std::uint16_t m_ParamC = 0;
    std::uint16_t m_ParamD[5] = {};
    std::int16_t RunwayLength = 0;
    float TurnStep = 0.0f;
    float TurnRadius = 0.0f;
    std::uint8_t m_ParamByte2 = 0;
    float AnimationSpeed[UNIT_COUNT_WORK] = {};
    std::uint8_t AnimationSize[UNIT_COUNT_WORK] = {};
    std::uint32_t m_ArchiveSlot = 0;
    CUnitGraphic* m_pGraphic = nullptr; // own or shared (see m_bSharedGraphic)
    TUnitSoundEntry m_Sounds[UNIT_SOUND_ENTRIES];
    TUnitHandler m_MoveHandler = nullptr;
    TUnitHandler m_SecondHandler = nullptr;
    std::uint8_t MaxAmmo = 0;
    float AmmoRegen = 0.001f;
    std::int16_t CrushSize = 0;
    std::uint8_t m_bAirLike = 0;
    std::uint8_t m_AnimCount = 0;
    TUnitVector* m_StartVectors = nullptr; // m_AnimCount entries, owned (new[])
    TUnitVector* m_EndVectors = nullptr;   // m_AnimCount entries, owned (new[])
    std::uint8_t* m_AnimSetIndexes = nullptr; // m_AnimCount entries, owned (new[])
    // Written by the loader thread only; readers on other threads see a running total.
    std::atomic<std::uint32_t> m_TextureBytes{0};
    std::uint32_t GunSlots[UNIT_GUN_SLOTS] = {};
    std::uint8_t GunCount = 0;
    // How far a tank's machine guns reach (pixels); 0 keeps them silent.
    float MachineGunReach = 0.0f;
    // Cells the unit sees through the fog of war.
    std::uint8_t SightRadius = 0;

    // Set by LoadUnitGraphic: the block belongs to another type and is not freed with this one.
    std::uint8_t m_bSharedGraphic = 0;
};

// Index nation*40 + type; null where the nation has no such type. The main thread owns the table.
extern TBasicUnit* g_UnitTypes[UNIT_TYPE_COUNT];

// The type of nation and type number, null when out of range or absent.
TBasicUnit* GetUnitType(std::uint32_t nation, std::uint32_t type);
// Deletes every type of the table (freeing their graphics) and empties it.
void FreeUnitTypes();

// Builds the animation phases (one texture frame per sprite) of one work state of a unit type.
// Runs on the loader thread; false when the archive entry cannot be read.
bool LoadUnitPhases(TBasicUnit* type, std::uint32_t work);

// The unit module's global state: reset at start-up (false is fatal) and destroyed at shutdown.
bool UnitInit();
void UnitDone();
