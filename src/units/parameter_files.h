#pragma once
// The unit and building parameter files ("Data\BasicParams<side>.dat", one per side), the player
// colours of "Data\Colors.txt" and the ships' gun-tower parameters of "Data\ShipTowersParams.txt".
// The record layouts are shared with the sample-data writer, which writes them through the same
// functions, so reader and writer cannot drift apart (docs/formats.md describes them).
#include <cstdint>
#include <functional>
#include <span>
#include <string>

class THouseType;
class TIfStreamMemory;
class TOfStreamMemory;

constexpr int PARAM_SIDES = 6;
constexpr int PARAM_MAX_HOUSE_TYPES = 25;
constexpr int PARAM_MAX_UNIT_TYPES = 40;
constexpr std::int32_t PARAM_HEADER_SIZE = 8;
constexpr std::int32_t HOUSE_PARAM_RECORD_SIZE = 748;
constexpr std::int32_t UNIT_PARAM_RECORD_SIZE = 2496;
constexpr char PARAM_MAGIC[4] = {'~', 'x', 'g', '1'};

// "Data\BasicParams" + side digit + ".dat"
std::string ParameterFilePath(int side);

// --- unit-type record ------------------------------------------------------------------------

constexpr int UNIT_REC_NAME_LENGTH = 100;        // UTF-16 units of the shown name, terminator included
constexpr int UNIT_REC_GRAPHIC_NAME_SIZE = 92;   // bytes of the stored graphic name, terminator included
constexpr int UNIT_REC_PLAYERS = 8;
constexpr int UNIT_REC_WORKS = 30;
constexpr int UNIT_REC_RESOURCES = 5;            // food, wood, iron, gold, oil
constexpr int UNIT_REC_PARAM_TABLE_SIZE = 160;
constexpr int UNIT_REC_SOUNDS = 10;
constexpr int UNIT_REC_SOUND_NAME_SIZE = 32;
constexpr int UNIT_REC_MAX_ATTACHED = 8;         // attached animations
constexpr int UNIT_REC_GUN_SLOTS = 10;
constexpr int UNIT_REC_MAX_PARTS = 4;            // turrets and other rotating parts
constexpr int UNIT_REC_MAX_BARRELS = 4;
constexpr int UNIT_REC_MAX_SECTORS = 2;

// The five per-player value arrays, in the order the record holds them.
enum TUnitPlayerValue { UNIT_REC_VALUE_FIRST, UNIT_REC_VALUE_RANGE, UNIT_REC_VALUE_RELOAD, UNIT_REC_VALUE_HIT_POINTS,
                        UNIT_REC_VALUE_BUILD_TIME, UNIT_REC_VALUE_ARRAYS };

// One rotating part as the record stores it: angles in degrees, points relative to the unit's
// foot point (the pivot) or to the pivot (the barrels); the unit-type code turns it into the
// part record it keeps.
struct TUnitPartParams {
    float pivot[3] = {};
    std::uint8_t sectorCount = 0;  // 1 or 2
    std::uint8_t barrelCount = 0;  // at most UNIT_REC_MAX_BARRELS
    std::uint8_t shotType = 1;     // 0 = none
    std::uint8_t mode = 0;         // 0: turns with the unit only
    float sectors[UNIT_REC_MAX_SECTORS][3] = {}; // upper limit, lower limit, centre
    float startAngle = 0.0f;
    float barrels[UNIT_REC_MAX_BARRELS][3] = {};
    std::int16_t fireA = 300;
    std::uint16_t reloadTime = 0;  // 0: the type's reload time
    std::int16_t fireC = 100;
    float maxDistance = 2000.0f;
    float fireE = 400.0f;
};

struct TUnitAttachedAnimation {
    float start[3] = {};    // offset from the foot point
    float end[3] = {};
    std::uint8_t set = 0;   // index into the unit animation bank
};

struct TUnitSoundParams {
    char name[UNIT_REC_SOUND_NAME_SIZE] = {}; // relative to "Units\"; empty = silent
    std::uint8_t loop = 0;
    std::uint8_t positioned = 1;
    std::uint8_t variants = 0;
};

// Everything a 2496-byte unit-type record holds, in host form.
struct TUnitParamRecord {
    char16_t name[UNIT_REC_NAME_LENGTH] = {};
    char graphicName[UNIT_REC_GRAPHIC_NAME_SIZE] = {};
    std::uint8_t kind = 2;
    std::uint16_t spriteWidth = 0;
    std::uint16_t spriteHeight = 0;
    std::int16_t spriteOffsetX = 0;
    std::int16_t spriteOffsetY = 0;
    std::int32_t paramValues[2] = {};
    float speed = 0.0f;          // pixels per cycle
    float turnDistance = 0.0f;
    std::uint8_t quickTurn = 0;
    std::uint8_t paramFlags[2] = {};
    std::uint8_t groupFlag = 1;
    std::uint8_t carrier24 = 0;  // may board a type-24 carrier
    std::uint8_t carrier17 = 0;  // may board a type-17 carrier (a ship)
    std::uint8_t lastParamFlag = 0;
    std::uint8_t closePath = 0;
    std::uint8_t ammoFlag = 0;   // the type carries ammunition (MaxAmmo 3)
    std::uint8_t paramByteA = 0; // the byte after ClosePath
    std::uint16_t playerValues[UNIT_REC_VALUE_ARRAYS][UNIT_REC_PLAYERS] = {};
    std::uint16_t canFire = 0;
    float costs[UNIT_REC_RESOURCES] = {};
    float powerNeed = 0.0f;
    std::uint32_t paramValue = 0;
    std::uint8_t paramByteB = 0; // the byte after TurnRadius
    float animationSpeed[UNIT_REC_WORKS] = {};
    std::uint8_t animationSize[UNIT_REC_WORKS] = {};
    float upkeep[UNIT_REC_RESOURCES] = {};
    std::uint16_t paramListA[5] = {};
    std::uint16_t paramListB[5] = {};
    std::uint16_t paramWord = 0;
    std::uint16_t paramListC[5] = {};
    std::int16_t takeOffRun = 0;  // RunwayLength is the longer of the two runs
    std::int16_t landingRun = 0;
    float turnStep = 0.0f;        // radians per cycle
    float turnRadius = 0.0f;
    std::int16_t crushSize = 0;
    std::uint8_t attachedCount = 0;
    std::uint8_t partCount = 0;
    std::uint16_t paramTables[2][UNIT_REC_PARAM_TABLE_SIZE] = {};
    TUnitSoundParams sounds[UNIT_REC_SOUNDS];
    TUnitAttachedAnimation attached[UNIT_REC_MAX_ATTACHED];
    std::uint32_t gunSlots[UNIT_REC_GUN_SLOTS] = {};
    std::uint8_t gunCount = 0;
    TUnitPartParams parts[UNIT_REC_MAX_PARTS];
    // How far the unit sees through the fog of war, in cells.
    std::uint8_t sightRadius = 0;

    TUnitParamRecord();
};

// Record offsets. The first seven are the ones every reader of these files relies on.
constexpr std::int32_t UNIT_REC_NAME = 0;
constexpr std::int32_t UNIT_REC_GRAPHIC_NAME = 208;
constexpr std::int32_t UNIT_REC_KIND = 300;
constexpr std::int32_t UNIT_REC_SPRITE_WIDTH = 302;
constexpr std::int32_t UNIT_REC_SPRITE_HEIGHT = 304;
constexpr std::int32_t UNIT_REC_ANIMATION_SPEED = 452;
constexpr std::int32_t UNIT_REC_ANIMATION_SIZE = 572;
constexpr std::int32_t UNIT_REC_SPRITE_OFFSET = 306;
constexpr std::int32_t UNIT_REC_PARAM_VALUES = 310;
constexpr std::int32_t UNIT_REC_SPEED = 318;
constexpr std::int32_t UNIT_REC_TURN_DISTANCE = 322;
constexpr std::int32_t UNIT_REC_FLAGS = 326;         // ten flag and parameter bytes
constexpr std::int32_t UNIT_REC_PLAYER_VALUES = 336; // five u16[8]
constexpr std::int32_t UNIT_REC_CAN_FIRE = 416;
constexpr std::int32_t UNIT_REC_COSTS = 420;
constexpr std::int32_t UNIT_REC_POWER_NEED = 440;
constexpr std::int32_t UNIT_REC_PARAM_VALUE = 444;
constexpr std::int32_t UNIT_REC_PARAM_BYTE_B = 448;
constexpr std::int32_t UNIT_REC_UPKEEP = 604;
constexpr std::int32_t UNIT_REC_PARAM_LISTS = 624;
constexpr std::int32_t UNIT_REC_RUNS = 656;
constexpr std::int32_t UNIT_REC_TURN_STEP = 660;
constexpr std::int32_t UNIT_REC_TURN_RADIUS = 664;
constexpr std::int32_t UNIT_REC_CRUSH_SIZE = 668;
constexpr std::int32_t UNIT_REC_ATTACHED_COUNT = 670;
constexpr std::int32_t UNIT_REC_PART_COUNT = 671;
constexpr std::int32_t UNIT_REC_PARAM_TABLES = 672;
constexpr std::int32_t UNIT_REC_SOUND_TABLE = 1312;       // 10 x 36
constexpr std::int32_t UNIT_REC_ATTACHED = 1672;     // 8 x 28
constexpr std::int32_t UNIT_REC_GUN_SLOT_TABLE = 1896;
constexpr std::int32_t UNIT_REC_GUN_COUNT = 1936;
constexpr std::int32_t UNIT_REC_PARTS = 1940;        // 4 x 108
constexpr std::int32_t UNIT_REC_SOUND_SIZE = 36;
constexpr std::int32_t UNIT_REC_ATTACHED_SIZE = 28;
constexpr std::int32_t UNIT_REC_PART_SIZE = 108;
constexpr std::int32_t UNIT_REC_SIGHT = UNIT_REC_PARTS + UNIT_REC_MAX_PARTS * UNIT_REC_PART_SIZE; // 2372
constexpr std::int32_t UNIT_REC_END = UNIT_REC_SIGHT + 1; // the rest is 0
static_assert(UNIT_REC_END <= UNIT_PARAM_RECORD_SIZE);

// Parses one record; false (logged) when it is shorter than UNIT_PARAM_RECORD_SIZE or a count
// exceeds its table. Names are always terminated.
bool ReadUnitParamRecord(std::span<const std::uint8_t> record, TUnitParamRecord& out);
// Appends the record's 2496 bytes.
void WriteUnitParamRecord(const TUnitParamRecord& record, TOfStreamMemory& out);

// What the loader changes in every record before the unit type is made from it: work 3's frame
// count is 1; type 23 names its "_2" graphics, plays work 6 at 0.3 and with half its frames.
void ApplyUnitTypeLoadRules(TUnitParamRecord& record, int typeIndex);

// --- building-type record --------------------------------------------------------------------

// Fills a building type from a 748-byte record, with the record's conversions. Leaves the side-
// dependent fields (slot, type number, required buildings of sides 1-5) to the caller. false
// (logged) when the record is short or a count exceeds its table; the type is unchanged then.
bool ReadHouseParamRecord(std::span<const std::uint8_t> record, THouseType& out);
// The inverse: a 748-byte record that reads back as the type (the build work times 10, the costs
// as integers).
void WriteHouseParamRecord(const THouseType& type, TOfStreamMemory& out);

// --- the parameter files ---------------------------------------------------------------------

// Where the loader hands what it read to the unit-type and graphics code; tests put recording
// stand-ins here.
struct TParameterServices {
    // Makes unit type index of side from its record (after ApplyUnitTypeLoadRules).
    std::function<bool(int side, int index, const TUnitParamRecord& record)> makeUnitType;
    // Opens the unit type's graphics archive and attaches its graphic block.
    std::function<void(int side, int index)> loadUnitGraphics;
    // Opens a building type's graphics archive in its slot.
    std::function<void(std::uint32_t slot, const char* name)> loadHouseGraphics;
};
extern TParameterServices g_ParameterServices;
// The unit-type module's and the building graphics' own operations.
TParameterServices DefaultParameterServices();
// What the default services call: the unit-type object made from a record (into g_UnitTypes) and
// the attachment of its graphics.
bool CreateUnitTypeFromParams(int side, int index, const TUnitParamRecord& record);
void LoadUnitTypeGraphics(int side, int index);

// The number of unit types each side's parameter file defined.
extern std::uint16_t g_NationUnitTypeCount[PARAM_SIDES];

// Parses one side's file image: the building rows of g_HouseTypes and, through the services, the
// unit types. pathForLog names the file in log lines. false (logged) on a bad file.
bool ParseParameterFile(std::span<const std::uint8_t> file, int side, const char* pathForLog);

// Reads the six parameter files, the ship-tower parameters and opens every type's graphics.
bool LoadBasicParametrs();
// The end of a game: every building type's phase graphics freed and every nation's building-type
// count 0; every unit type's archive closed, its graphics released and the type deleted.
void FreeUnitAndHouseTypes();

// --- player colours --------------------------------------------------------------------------

constexpr int PLAYER_COLORS = 8;
// Written by the game load on the main thread only (LoadColors, then the network colour choice).
extern std::uint32_t g_PlayerColorsD3D[PLAYER_COLORS]; // 0xAARRGGBB
extern std::uint16_t g_PlayerColors16[PLAYER_COLORS];  // display pixels
extern std::uint32_t g_PlayerColorsGdi[PLAYER_COLORS]; // 0x00BBGGRR
extern std::uint32_t g_PaletteColorsGdi[PLAYER_COLORS]; // 0x00BBGGRR, file order
extern std::uint16_t g_NeutralColor16;
extern std::uint32_t g_NeutralColorGdi;

constexpr const char* COLORS_FILE_PATH = "Data\\Colors.txt";
// Parses the 24 numbers of a colours file into the four tables and sets the neutral colours.
// false (logged, tables unchanged) when fewer than 24 numbers stand in the text.
bool ParseColors(std::span<const std::uint8_t> text);
bool LoadColors();

// --- ships' gun-tower parameters -------------------------------------------------------------

struct TShipTowerParams {
    std::int16_t a = 0;
    std::int16_t b = 0; // reload time
    std::int16_t c = 0;
    float d = 0.0f;     // greatest firing distance
    float e = 0.0f;
};
constexpr const char* SHIP_TOWERS_PARAMS_PATH = "Data\\ShipTowersParams.txt";
// Parses the text of the tower-parameter file; false (logged) when a record is cut short.
bool ParseShipTowersParams(std::span<const std::uint8_t> text);
bool LoadShipTowersParams();
void FreeShipTowersParams();
// false for i at or beyond the count.
bool GetShipTowersParams(std::uint8_t i, TShipTowerParams& out);

// A player's colour as the 3-D device takes it (ARGB), from the colour tables; players outside
// 0..7 get opaque white.
std::uint32_t GetPlayerColorD3D(std::uint8_t player);
