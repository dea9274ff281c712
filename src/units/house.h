#pragma once
// Buildings on the map: the building record, the per-player building arrays and the operations that
// put a building on the map, write its footprint into the object and height maps, move units out
// from under it and take it off again when it is destroyed.
//
// Threads: everything here runs on the main thread; the loader thread only touches the phase
// graphics a building holds (building_graphics.h states that rule).
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "platform/types.h"

namespace plat {
struct RasterVertex;
}

class THouse;
class THouseType;
class TUnit;
class TAnimationSlot;
class CHousePhaseGraphic;

// What the sound code reads of a building and of its type record.
struct THouseSoundFields {
    float x = 0.0f; // map position, pixels
    float y = 0.0f;
    std::uint16_t buildWork = 0; // non-zero while the building is not finished
    std::int16_t houseType = 0;
    std::uint8_t owner = 0;      // player number
    std::int16_t number = 0;     // index in the owner's building array
    std::uint16_t typeWidth = 0; // picture size and offsets of the type
    std::uint16_t typeHeight = 0;
    std::int16_t typeOffsetX = 0;
    std::int16_t typeOffsetY = 0;
    std::uint16_t typeFireY = 0; // added to the y of a fire sound
};
// false when the record cannot be read (null).
bool GetHouseSoundFields(const THouse* house, THouseSoundFields& out);

// The house arrays: slots 0..7 belong to the players, slot 8 holds the map's own (neutral)
// houses. Main thread only.
constexpr int kHouseSlots = 9;
constexpr int kNeutralHouseSlot = 8;
extern THouse* g_pHouse[kHouseSlots];
// Records in use per player slot.
extern std::uint16_t NumHouse[8];

// Constructs and destroys an array of houses (each with the house's constructor and destructor).
THouse* NewHouseArray(std::uint32_t count);
void DeleteHouseArray(THouse* houses);
// The house at an index of an array; null for a null array.
THouse* HouseAt(THouse* houses, std::uint32_t index);

// What the map reads of a house and of its type record.
struct THouseMapFields {
    std::uint16_t type = 0;
    std::uint16_t state = 0;        // construction still to do; 0 finished
    float strength = 0.0f;
    float maxStrength = 0.0f;       // the type's full strength
    std::uint16_t buildTotal = 0;   // the type's construction total
    std::uint8_t owner = 0;         // player number, 0xFF neutral
    std::uint8_t secondState = 0;   // 0: the bar is shown
    float rallyX = 0.0f;
    float rallyY = 0.0f;
};
// false when the record cannot be read (null).
bool GetHouseMapFields(const THouse* house, THouseMapFields& out);
// The link slot of a building in a stored unit image: (owner << 16) | index, 0xFFFFFFFF for none.
std::uint32_t HouseLinkSlot(const THouse* house);

// ---- the building record ----------------------------------------------------------------------

constexpr std::int32_t HOUSE_RECORD_SIZE = 192;
// Bytes of the record the synchronisation dump writes.
constexpr std::int32_t HOUSE_SYNC_BYTES = 170;
constexpr std::uint32_t HOUSE_PLAYER_CAPACITY = 1000;
// Indexes 0..999 make codes below the next player's; a player's last usable index.
constexpr std::uint16_t HOUSE_LAST_INDEX = 999;
constexpr std::uint16_t HOUSE_NONE = 65535;
constexpr std::uint16_t HOUSE_MANY_WARNING = 901;
constexpr std::uint8_t HOUSE_NO_OWNER = 255;
constexpr std::uint8_t HOUSE_NO_DESTROYER = 255;
// Hit points that mark the stages of destruction.
constexpr float HOUSE_HP_RUIN_START = -1.0f;
constexpr float HOUSE_HP_REMOVE = -10001.0f;
constexpr float HOUSE_HP_STAGE_TWO = -10000.0f;
constexpr float HOUSE_HP_OFF_MAP = -150001.0f;
constexpr int HOUSE_HANDLER_BYTES = 10;
constexpr int HOUSE_DRAW_BUFFERS = 5;

// Object codes a building leaves in the object map beside its own code.
constexpr std::uint16_t OBJECT_TANK_APRON = 99;
constexpr std::uint16_t OBJECT_AIRFIELD = 100; // also the field ring of a barn
constexpr std::uint16_t OBJECT_OIL_POINT = 9601;
constexpr std::uint16_t OBJECT_GOLD_POINT = 9602;
constexpr std::uint16_t OBJECT_IRON_POINT = 9603;
constexpr std::uint16_t OBJECT_CROP_FIRST = 9694;
constexpr std::uint16_t OBJECT_CROP_LAST = 9699;

// Which side of a port faces the water.
constexpr std::uint32_t PORT_SIDE_NONE = 0;
constexpr std::uint32_t PORT_SIDE_FIRST_ROW = 1;
constexpr std::uint32_t PORT_SIDE_LAST_ROW = 2;
constexpr std::uint32_t PORT_SIDE_LAST_CELL = 3;
constexpr std::uint32_t PORT_SIDE_FIRST_CELL = 4;

// One animation attached to a building (12 bytes when stored).
struct THouseAnimation {
    TAnimationSlot* slot = nullptr;
    std::uint32_t frameState = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
};

// A map point in pixels.
struct TFloatPoint {
    float x = 0.0f;
    float y = 0.0f;
};

// The stored fields of a building, in the order of its stored record. Plain data, so a template
// record copies into an array slot; THouse owns the arrays.
struct THouseRecord {
    static constexpr std::uint32_t none = PORT_SIDE_NONE;

    // Stored fields, at the offsets of the stored record.
    THouseType* TypeRecord = nullptr;      // 0
    std::uint16_t Index = 0;               // 4
    std::int32_t X = 0;                    // 8: reference cell
    std::int32_t Y = 0;                    // 12
    float DoorX = 0.0f;                    // 16
    float DoorY = 0.0f;                    // 20
    float ExitX = 0.0f;                    // 24
    float ExitY = 0.0f;                    // 28
    std::uint16_t BuildWork = 0;           // 32
    std::uint16_t HouseType = 0;           // 34
    float HitPoints = 0.0f;                // 36
    std::uint8_t Destroyed = 0;            // 40
    std::uint16_t InsideCount = 0;         // 42
    TUnit** Inside = nullptr;              // 44: InsideCount entries, owned
    std::uint8_t KeepInside = 0;           // 48
    float RallyX = 0.0f;                   // 52
    float RallyY = 0.0f;                   // 56
    std::uint16_t QueueCount = 0;          // 60: 65535 = endless production of Queue[0]
    std::uint16_t* Queue = nullptr;        // 64: owned
    float ProductionTimer = 0.0f;          // 68
    std::uint8_t Selected = 0;             // 72
    std::uint8_t Owner = 0;                // 73
    std::uint8_t EndlessUnpaid = 0;        // 74: 1 while the endless head waits for its payment
    THouseAnimation* Animations = nullptr; // 76: AnimationCount entries, owned
    std::uint8_t AnimationCount = 0;       // 80
    std::uint8_t HandlerBytes[HOUSE_HANDLER_BYTES] = {}; // 81
    std::uint16_t UpgradeRunning = 0;      // 92
    float UpgradeCountdown = 0.0f;         // 96
    std::uint8_t UpgradeInProgress = 0;    // 100
    std::uint8_t UpgradeLevel = 0;         // 101
    std::uint16_t Capacity = 0;            // 102
    std::uint16_t MaxHitPoints = 0;        // 104
    std::uint8_t UpgradeFlag = 0;          // 106
    std::uint8_t* UpgradeFlagPointer = nullptr; // 108
    float Output = 0.0f;                   // 112
    std::uint8_t Shots = 0;                // 116
    float ReloadA = 0.0f;                  // 120
    float ReloadB = 0.0f;                  // 124
    float Range = 0.0f;                    // 128
    std::uint8_t TargetPlayer = 0;         // 132
    TUnit* TargetUnit = nullptr;           // 136
    std::uint8_t FireValue = 0;            // 140
    std::uint8_t PhaseState = 0;           // 141
    std::uint8_t PhaseVariant = 0;         // 142
    std::uint8_t PrevPhaseState = 0;       // 143
    std::uint8_t PrevPhaseVariant = 0;     // 144
    void* DrawBuffers[HOUSE_DRAW_BUFFERS] = {}; // 148: per-building drawing state, never stored
    std::int32_t AlarmCountdown = 0;       // 168
    std::uint32_t m_ShipSideForPort = none; // 172
    TUnit* ShipUnderConstruction = nullptr; // 176
    std::uint32_t TakeOffCountdown = 0;    // 180
    std::int8_t UnitMode = 0;              // 184
    std::uint8_t FinishedHeld = 0;         // 185: holds the type's finished phase
    std::uint8_t ConstructionHeld[4] = {}; // 186: one flag per construction stage
    std::uint8_t RuinHeld[2] = {};         // 190: one flag per ruin variant
    // Never stored as such: 1 once the second stage of destruction took the building off the map.
    // Callers that take a building off at once pass it hit points far below the ruin's, so the
    // hit points cannot tell; a stored record with HOUSE_HP_OFF_MAP reads back with it set.
    std::uint8_t OffMap = 0;
};

class THouse : public THouseRecord {
public:
    THouse() = default;
    ~THouse();
    THouse(const THouse&) = delete;
    THouse& operator=(const THouse&) = delete;
    // Takes over the arrays of the source (a template record), which is left without them.
    void TakeFrom(THouse& source);

    // --- graphics (building_graphics.cpp) ---
    bool AcquirePhaseGraphic(std::uint8_t state, std::uint8_t variant);
    void ReleasePhaseGraphic();
    void InitGraphicState();
    void ResetPhaseFlags();
    // A building read from a save takes again each phase its record says it held and shows the
    // saved phase, with the saved previous phase kept.
    void AcquireSavedPhases();
    void FreeGraphicBuffers();
    std::uint8_t GetBuildState() const;
    // Draws the current phase through the 3-D device; false when nothing was drawn.
    bool Draw(plat::RasterVertex* vertices);
    // Fills the quad of the current phase; false when the phase has no texture to draw.
    bool MakeDrawQuad(plat::RasterVertex* vertices) const;
    void OnAttacked();
    // Gives every phase the building holds back to its type.
    void ReleaseAllPhases();

    // --- the map (house.cpp) ---
    void SetOnMap(std::uint16_t code);
    void DelOnMap();
    THouseType& Type() const { return *TypeRecord; }
    bool IsFinished() const { return BuildWork == 0; }

    // --- behaviour (house_behaviour.cpp) ---
    // Applies the upgrade whose id is in UpgradeInProgress.
    static void ApplyUpgrade(THouse* house);
    // The flash of a firing tower at one of its muzzle spots.
    static void MuzzleFlash(THouse* house);

};

// The record in its stored form (192 bytes). The type pointer is kept as its index in
// g_HouseTypes; the other pointer slots hold 0 (the loaders rebuild them).
void WriteHouseRecord(const THouse& house, std::uint8_t* out192);
// Reads a stored record into a house without arrays; false (logged, house unchanged) when the
// type index or a value is out of range.
bool ReadHouseRecord(std::span<const std::uint8_t> bytes, THouse& house);

// ---- the arrays and placing -------------------------------------------------------------------

// The neutral array's capacity (slot 8): codes 101..999.
constexpr std::uint32_t HOUSE_NEUTRAL_CAPACITY = 899;

// Gives the building one animation record per animation of its type (frame state 0), in place of
// any it had.
void AttachTypeAnimations(THouse& house);
// Allocates a template record filled from the type at nation * 25 + type; null for a bad type.
THouse* CreateHouseRecord(std::int32_t x, std::int32_t y, std::uint16_t type, std::uint8_t nation);
std::uint16_t AddHouseToPointFull(std::uint8_t player, float x, float y, std::uint16_t addedHouse);
std::uint16_t AddHouseToPoint(std::uint8_t player, float x, float y, std::uint16_t type);
// Places a player's building from the template (left empty); HOUSE_NONE when the player's array
// is full or missing.
std::uint16_t AddHouse(std::uint8_t player, THouse* templateRecord);
std::uint16_t AddHouseFromMapData(std::uint8_t player, float x, float y, std::uint16_t type);
std::uint16_t PlaceLoadedHouse(std::uint8_t player, THouse* templateRecord);
// A building of a save game, stored as the player's next building. The saved layers already hold
// its footprint's heights, aprons and port side, so only its object codes are written again, and
// only while it stands on the map. HOUSE_NONE (logged) when its reference cell lies outside the
// map or the player has no room.
std::uint16_t PlaceSavedHouse(std::uint8_t player, THouse* templateRecord);
std::uint16_t AddNeutralHouseAt(std::int32_t x, std::int32_t y, std::uint16_t type, bool check);
std::uint16_t PlaceNeutralHouse(THouse* templateRecord);
void DestroyHouse(THouse* house, std::uint8_t by);
// A finished building comes to its owner: the owner's count of its type, the type's arrival handler
// and its power need; what losing it takes away again.
void HouseArrives(THouse* house);
std::uint32_t GetPortWaterSide(const plat::Point& cell, const THouseType& type);
void SetPortExitPoint(THouse* house);
void SetNearestHouseRallyPoint(std::uint8_t player, std::uint16_t type, float x, float y, bool pick);
void ClearUnitsUnderHouse(THouse* house, std::int32_t x, std::int32_t y);
TFloatPoint GetNearPointFromPoints(std::span<const TFloatPoint> points, float x, float y);
void SetPodlozka(THouse* house, std::uint16_t podl);
// Removes the trees of the lumber-mill area, one shared random draw per cell.
void ThinTreesAroundHouse(const THouse* house);
void FreePlayerHouses(std::uint8_t player);
// The range ring of the local player's selected firing building, every frame.
void DrawSelectedHouseRing();
void FreeHousesAndUnitsMap();

// The fog of war's sight radius of every building, in cells: building types carry no radius of
// their own.
constexpr std::uint8_t HOUSE_SIGHT_CELLS = 8;

// ---- houses of a map file ---------------------------------------------------------------------
struct TMapHouseRecord;
// A player's house of a map file at the lifted pixel point of its cell: the state of the record,
// the type's full strength, the port side, the graphic phase; a finished one arrives
// (HouseArrives). False when it could not be placed.
bool AddMapHouse(int player, std::int32_t px, std::int32_t py, const TMapHouseRecord& record);
// The neutral houses of a map file: the old ones and the neutral units go; the array is rebuilt for
// count houses; each record's house takes the record's state and strength.
void ClearNeutralObjects();
void ReserveNeutralHouses(std::uint16_t count);
bool AddNeutralMapHouse(const TMapHouseRecord& record);
// The phase a house read from a map shows: a construction stage by its state, the ruin, or the
// finished building.
void AcquireMapHousePhase(THouse& house);

// The footprint's cells in the one order placing and clearing share: R rows, the first at the
// reference cell and each next one step north-east; C cells per row stepping north-west.
std::vector<plat::Point> FootprintCells(const plat::Point& reference, int rows, int cells);
// Rows of cells running north-east, each next row starting one step north-west; the first row
// starts at start.
std::vector<plat::Point> AreaCells(const plat::Point& start, int rows, int cellsPerRow);
// A barn's field: cells + 6 rows of rows + 6 cells from (x, y + 6); placing, planting, decay and
// destruction walk the same cells.
std::vector<plat::Point> BarnFieldCells(const THouse& house);
// The apron rows of a tank factory (2 rows) or the airfield of an air hangar (6 rows).
std::vector<plat::Point> ApronCells(const plat::Point& reference, int rowsLong, int rowCount);
// The reference pixel of a cell: (96x + 48 on odd rows, 24y + 24).
TFloatPoint HouseReferencePixel(std::int32_t x, std::int32_t y);
// The house an object code names, or null.
THouse* HouseFromObjectCode(std::uint16_t code);
// Whether the cell lies within the view widened by 6 cells sideways and 30 rows up and down.
bool IsCellNearView(std::int32_t x, std::int32_t y);

// Counters touched by placing and destruction (the players' records keep them when they exist).
struct THouseCounters {
    std::uint32_t placed = 0;
    std::uint32_t lost = 0;
    std::uint32_t destroyed = 0;
};
extern THouseCounters g_HouseCounters[8];

// What buildings call in subsystems that are built elsewhere: tests put recording stand-ins here.
struct THouseServices {
    // World map.
    std::function<bool(std::int32_t x, std::int32_t y)> isWater;
    std::function<void(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)> redrawMiniMap;
    std::function<void(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)> rebuildShipGrid;
    std::function<void(std::int32_t x, std::int32_t y)> clearCellPassability;
    std::function<std::uint16_t(std::int32_t x, std::int32_t y)> shipPassValue;
    std::function<std::uint8_t(std::int32_t x, std::int32_t y)> advancedPathByte;
    std::function<std::uint8_t(std::uint16_t code)> mapObjectClass;
    std::function<std::uint32_t()> mapSeason;
    // Movement.
    std::function<void(std::int32_t x, std::int32_t y, std::int32_t radius)> recomputePassability;
    std::function<bool(std::int32_t x, std::int32_t y)> isCellFreeForUnit;
    std::function<void(THouse* rallyHouse)> clampRallyIntoShipGrid;
    // Units and combat.
    std::function<std::vector<TFloatPoint>(const THouse*)> freePointsAroundHouse;
    std::function<void(TUnit*)> removeUnitFromGame;
    std::function<bool(const TUnit*)> mayPushUnit;
    std::function<void(TUnit*, const THouse*, TFloatPoint)> pushUnitOut;
    std::function<void(THouse*, TUnit*)> getUnitOutOfHouse;
    std::function<void(TUnit*)> leaveHouse;
    std::function<void(float x, float y, float lift, std::uint32_t delay)> explosion;
    std::function<void(THouse*)> houseLeaveHandler;
    std::function<void(THouse*)> leaveGroups;
    std::function<void(THouse*)> playDestructionSound;
    std::function<void()> refreshPanel;
    std::function<void(THouse*)> takeEmplacementUnitGraphic;
    std::function<void(THouse*)> releaseEmplacementUnitGraphic;
    // Players.
    std::function<bool(std::uint8_t player, std::uint16_t type)> canAfford;
    // Pays for the player's new building at that index.
    std::function<void(std::uint8_t player, std::uint16_t houseIndex)> pay;
    std::function<void(std::uint8_t player, THouse* house)> sendWorkers;
    std::function<bool(std::uint8_t player)> isComputerPlayer;
    std::function<bool(std::uint8_t player)> advisorWorkers;
    std::function<std::uint8_t(std::uint8_t player)> nation;
    std::function<void(std::uint8_t player, float need)> lowerPowerDemand;
    std::function<void(std::uint8_t player, float need)> raisePowerDemand;
    std::function<void(THouse*)> houseComeHandler;
    // Tells the owner's group manager that the building is under attack; false when the owner is
    // dead or has none.
    std::function<bool(THouse*)> tellGroupManager;
    // Shows the range ring around a building (created on the first call).
    std::function<void(const THouse*, float range)> showRangeRing;

    static THouseServices Default();
};
THouseServices& HouseServices();
