#pragma once
// Building types: the table of 150 type records (six side rows of 25 types; row 5 holds the map's
// neutral objects), filled from the parameter files at each game load and read by every building
// operation. Save games store the whole table, so the record has a fixed 688-byte layout.
#include <cstdint>

class CHousePhaseGraphic;
class TIfStreamMemory;
class TOfStreamMemory;

constexpr int HOUSE_SIDES = 6;
constexpr int HOUSE_TYPES_PER_SIDE = 25;
constexpr int HOUSE_TYPE_COUNT = HOUSE_SIDES * HOUSE_TYPES_PER_SIDE;
constexpr int HOUSE_NEUTRAL_SIDE = 5;
constexpr std::int32_t HOUSE_TYPE_RECORD_SIZE = 688;
constexpr std::int32_t HOUSE_TYPE_TABLE_SIZE = HOUSE_TYPE_COUNT * HOUSE_TYPE_RECORD_SIZE; // 103,200
constexpr int HOUSE_NAME_LENGTH = 100;         // UTF-16 units, terminator included
constexpr int HOUSE_GRAPHIC_NAME_SIZE = 100;   // bytes, terminator included
constexpr int HOUSE_LIST_SIZE = 10;            // every list and point table of the record
constexpr std::uint16_t HOUSE_LIST_END = 65535; // ends the unit and requirement lists
constexpr int HOUSE_CONSTRUCTION_PHASES = 4;
constexpr int HOUSE_RUIN_PHASES = 2;
constexpr int HOUSE_RESOURCES = 5; // food, wood, iron, gold, oil
// The largest sprite side a type may give: its raw depth array holds width x height values, and
// the building textures stop at the same size.
constexpr std::uint16_t HOUSE_SPRITE_MAX_SIDE = 4096;
// The depth-kind value of a type whose phases carry a span-coded depth map instead of a raw array.
constexpr std::uint8_t HOUSE_DEPTH_SPAN_CODED = 255;

// Type numbers (column of the table) that the game treats by name.
constexpr std::uint8_t HOUSE_POWER_PLANT = 0;
constexpr std::uint8_t HOUSE_PILLBOX = 1;
constexpr std::uint8_t HOUSE_SCIENCE_ACADEMY = 2;
constexpr std::uint8_t HOUSE_BARRACKS = 3; // its upgrade raises the no-capacity flag
constexpr std::uint8_t HOUSE_WAR_ACADEMY = 5;
constexpr std::uint8_t HOUSE_WORKER_BUILDING = 6;
constexpr std::uint8_t HOUSE_BUNKER = 7; // the second pillbox
constexpr std::uint8_t HOUSE_MARKET = 8;
constexpr std::uint8_t HOUSE_DWELLING = 9;
constexpr std::uint8_t HOUSE_IRON_MAKER = 10;
constexpr std::uint8_t HOUSE_GOLD_MAKER = 11;
constexpr std::uint8_t HOUSE_LUMBER_MILL = 12; // thins the trees around it when placed
constexpr std::uint8_t HOUSE_OIL_MAKER = 13;
constexpr std::uint8_t HOUSE_MINT = 14;
constexpr std::uint8_t HOUSE_BARN = 15;
constexpr std::uint8_t HOUSE_FIELD_HOSPITAL = 17;
constexpr std::uint8_t HOUSE_HOSPITAL = 18;
constexpr std::uint8_t HOUSE_TANK_FACTORY = 19;
constexpr std::uint8_t HOUSE_AIR_HANGAR = 20;
constexpr std::uint8_t HOUSE_WATCHTOWER = 21;
constexpr std::uint8_t HOUSE_PORT = 22;
constexpr std::uint8_t HOUSE_UNIT_EMPLACEMENT = 24; // becomes a unit of type 23 when finished

// One building type. Offsets in the comments are those of the stored record.
class THouseType {
public:
    char16_t m_Name[HOUSE_NAME_LENGTH]{};            // 0: shown name, zero-terminated
    char m_GraphicName[HOUSE_GRAPHIC_NAME_SIZE]{};   // 200: archive under Data\Objects\Houses\, zero-terminated
    std::uint32_t m_ArchiveSlot{};                   // 300: 400 + 50 x side + type
    std::uint8_t m_TypeNumber{};                     // 304: 0..24
    std::uint16_t m_SpriteWidth{};                   // 306
    std::uint16_t m_SpriteHeight{};                  // 308
    std::uint8_t m_FootprintRows{};                  // 310
    std::uint8_t m_FootprintCells{};                 // 311: cells per footprint row
    std::uint16_t m_AnchorX{};                       // 312
    std::uint16_t m_AnchorY{};                       // 314
    std::int16_t m_ExitX{};                          // 316: relative to the anchor
    std::int16_t m_ExitY{};                          // 318
    std::int16_t m_DoorX{};                          // 320
    std::int16_t m_DoorY{};                          // 322
    std::uint16_t m_Param324{};                      // 324
    std::uint16_t m_BuildWork{};                     // 326: construction work (the file value / 10)
    std::uint16_t m_Param328{};                      // 328: doubled by the second stage of an upgrade
    std::uint16_t m_HitPoints{};                     // 330
    std::uint16_t m_Capacity{};                      // 332: units that fit inside
    std::uint16_t m_Units[HOUSE_LIST_SIZE]{};        // 334: producible unit types, HOUSE_LIST_END ends
    float m_Costs[HOUSE_RESOURCES]{};                // 356: food, wood, iron, gold, oil
    std::uint32_t m_Params376[5]{};                  // 376
    float m_PowerNeed{};                             // 396: share of the owner's power demand
    float m_Output{};                                // 400: initial output of each building
    CHousePhaseGraphic* m_pFinishedPhase{};          // 404: the finished building
    CHousePhaseGraphic* m_pConstructionPhases[HOUSE_CONSTRUCTION_PHASES]{}; // 408
    CHousePhaseGraphic* m_pRuinPhases[HOUSE_RUIN_PHASES]{};                // 424
    std::uint8_t m_RuinPhaseCount{};                 // 432: below 2: a destroyed building goes at once
    std::uint8_t m_ConstructionPhaseCount{};         // 433
    std::uint8_t m_DepthKind{};                      // 435: HOUSE_DEPTH_SPAN_CODED or a raw array
    std::uint8_t m_AnimationCount{};                 // 436
    std::uint16_t m_AnimationSlots[HOUSE_LIST_SIZE]{}; // 438: index into g_Animations
    std::int16_t m_AnimationX[HOUSE_LIST_SIZE]{};    // 458
    std::int16_t m_AnimationY[HOUSE_LIST_SIZE]{};    // 478
    std::uint8_t m_DestructionCount{};               // 498: explosion points, also fire spots
    std::int16_t m_DestructionX[HOUSE_LIST_SIZE]{};  // 500
    std::int16_t m_DestructionY[HOUSE_LIST_SIZE]{};  // 520
    std::uint32_t m_DestructionValues[HOUSE_LIST_SIZE]{}; // 540
    std::uint8_t m_SpotCountB{};                     // 580: hit points of shots
    std::int16_t m_SpotsBX[HOUSE_LIST_SIZE]{};       // 582
    std::int16_t m_SpotsBY[HOUSE_LIST_SIZE]{};       // 602
    std::uint8_t m_MuzzleCount{};                    // 622
    std::int16_t m_MuzzleX[HOUSE_LIST_SIZE]{};       // 624
    std::int16_t m_MuzzleY[HOUSE_LIST_SIZE]{};       // 644
    std::uint16_t m_RequiredHouses[HOUSE_LIST_SIZE]{}; // 664: HOUSE_LIST_END ends
    std::uint8_t m_NoCapacity{};                     // 684: 1 when the capacity is 0
    std::uint8_t m_Upgrade2{};                       // 685: 0 after load
    std::uint8_t m_GroundFlag{};                     // 686: 1: texture 136 under the building, else 52
    std::uint8_t m_Reserved{};                       // 687: 1 after load
};

// Index side x 25 + type. Built at program start, lives to the end; only the main thread touches it.
extern THouseType g_HouseTypes[HOUSE_TYPE_COUNT];
// The number of types each side's parameter file defined.
extern std::uint16_t g_NationHouseTypeCount[HOUSE_SIDES];

inline THouseType& HouseType(int side, int type)
{
    return g_HouseTypes[side * HOUSE_TYPES_PER_SIDE + type];
}

// The record in its stored form (688 bytes; the phase pointers are written as 0).
void SaveHouseType(const THouseType& type, TOfStreamMemory& out);
// Reads a stored record; the phase pointers and the archive slot keep their values. false (record unchanged, logged) when the stream ends early or CheckHouseTypeRecord
// refuses it.
bool LoadHouseType(TIfStreamMemory& in, THouseType& type);
// The whole table (103,200 bytes), in index order.
void SaveHouseTypes(TOfStreamMemory& out);
// All or nothing: the table changes only when every record was read.
bool LoadHouseTypes(TIfStreamMemory& in);
// Whether a record read from a file can be used: its counts fit their tables, its sprite is at most
// HOUSE_SPRITE_MAX_SIDE on each side and its floats are finite (logged with the caller's name
// otherwise).
bool CheckHouseTypeRecord(const THouseType& type, const char* who);
