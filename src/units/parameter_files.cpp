#include "units/parameter_files.h"


#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/archive.h"
#include "core/commented_reader.h"
#include "core/error_log.h"
#include "core/file_bytes.h"
#include "core/memory_stream.h"
#include "devices/display.h"
#include "units/building_graphics.h"
#include "units/house_types.h"
#include "units/unit_types.h"
#include "combat/ship_graphics.h"
#include "combat/tower.h"
#include "units/record_io.h"

TParameterServices g_ParameterServices = DefaultParameterServices();
std::uint16_t g_NationUnitTypeCount[PARAM_SIDES];

std::uint32_t g_PlayerColorsD3D[PLAYER_COLORS];
std::uint16_t g_PlayerColors16[PLAYER_COLORS];
std::uint32_t g_PlayerColorsGdi[PLAYER_COLORS];
std::uint32_t g_PaletteColorsGdi[PLAYER_COLORS];
std::uint16_t g_NeutralColor16 = 0xE4F6;
std::uint32_t g_NeutralColorGdi = 0xC8E4F6;

std::string ParameterFilePath(int side)
{
    return "Data\\BasicParams" + std::to_string(side) + ".dat";
}

// --- unit-type record ------------------------------------------------------------------------

TUnitParamRecord::TUnitParamRecord()
{
    for (float& s : animationSpeed)
        s = 1.0f;
    animationSpeed[4] = 0.3f;
}

namespace {

template <typename IO, typename P>
void MapUnitPart(const IO& io, std::int32_t at, P& p)
{
    io.Array(at, p.pivot);
    io.Field(at + 12, p.sectorCount);
    io.Field(at + 13, p.barrelCount);
    io.Field(at + 14, p.shotType);
    io.Field(at + 15, p.mode);
    for (int s = 0; s < UNIT_REC_MAX_SECTORS; ++s)
        io.Array(at + 16 + 12 * s, p.sectors[s]);
    io.Field(at + 40, p.startAngle);
    for (int b = 0; b < UNIT_REC_MAX_BARRELS; ++b)
        io.Array(at + 44 + 12 * b, p.barrels[b]);
    io.Field(at + 92, p.fireA);
    io.Field(at + 94, p.reloadTime);
    io.Field(at + 96, p.fireC);
    io.Field(at + 100, p.maxDistance);
    io.Field(at + 104, p.fireE);
}

// The whole unit-type record, for both directions.
template <typename IO, typename R>
void MapUnitRecord(const IO& io, R& r)
{
    io.Array(UNIT_REC_NAME, r.name);
    io.Array(UNIT_REC_GRAPHIC_NAME, r.graphicName);
    io.Field(UNIT_REC_KIND, r.kind);
    io.Field(UNIT_REC_SPRITE_WIDTH, r.spriteWidth);
    io.Field(UNIT_REC_SPRITE_HEIGHT, r.spriteHeight);
    io.Field(UNIT_REC_SPRITE_OFFSET, r.spriteOffsetX);
    io.Field(UNIT_REC_SPRITE_OFFSET + 2, r.spriteOffsetY);
    io.Array(UNIT_REC_PARAM_VALUES, r.paramValues);
    io.Field(UNIT_REC_SPEED, r.speed);
    io.Field(UNIT_REC_TURN_DISTANCE, r.turnDistance);
    io.Field(UNIT_REC_FLAGS + 0, r.quickTurn);
    io.Array(UNIT_REC_FLAGS + 1, r.paramFlags);
    io.Field(UNIT_REC_FLAGS + 3, r.groupFlag);
    io.Field(UNIT_REC_FLAGS + 4, r.carrier24);
    io.Field(UNIT_REC_FLAGS + 5, r.carrier17);
    io.Field(UNIT_REC_FLAGS + 6, r.lastParamFlag);
    io.Field(UNIT_REC_FLAGS + 7, r.closePath);
    io.Field(UNIT_REC_FLAGS + 8, r.ammoFlag);
    io.Field(UNIT_REC_FLAGS + 9, r.paramByteA);
    for (int a = 0; a < UNIT_REC_VALUE_ARRAYS; ++a)
        io.Array(UNIT_REC_PLAYER_VALUES + 2 * UNIT_REC_PLAYERS * a, r.playerValues[a]);
    io.Field(UNIT_REC_CAN_FIRE, r.canFire);
    io.Array(UNIT_REC_COSTS, r.costs);
    io.Field(UNIT_REC_POWER_NEED, r.powerNeed);
    io.Field(UNIT_REC_PARAM_VALUE, r.paramValue);
    io.Field(UNIT_REC_PARAM_BYTE_B, r.paramByteB);
    io.Array(UNIT_REC_ANIMATION_SPEED, r.animationSpeed);
    io.Array(UNIT_REC_ANIMATION_SIZE, r.animationSize);
    io.Array(UNIT_REC_UPKEEP, r.upkeep);
    io.Array(UNIT_REC_PARAM_LISTS, r.paramListA);
    io.Array(UNIT_REC_PARAM_LISTS + 10, r.paramListB);
    io.Field(UNIT_REC_PARAM_LISTS + 20, r.paramWord);
    io.Array(UNIT_REC_PARAM_LISTS + 22, r.paramListC);
    io.Field(UNIT_REC_RUNS, r.takeOffRun);
    io.Field(UNIT_REC_RUNS + 2, r.landingRun);
    io.Field(UNIT_REC_TURN_STEP, r.turnStep);
    io.Field(UNIT_REC_TURN_RADIUS, r.turnRadius);
    io.Field(UNIT_REC_CRUSH_SIZE, r.crushSize);
    io.Field(UNIT_REC_ATTACHED_COUNT, r.attachedCount);
    io.Field(UNIT_REC_PART_COUNT, r.partCount);
    for (int t = 0; t < 2; ++t)
        io.Array(UNIT_REC_PARAM_TABLES + 2 * UNIT_REC_PARAM_TABLE_SIZE * t, r.paramTables[t]);
    for (int i = 0; i < UNIT_REC_SOUNDS; ++i) {
        const std::int32_t at = UNIT_REC_SOUND_TABLE + UNIT_REC_SOUND_SIZE * i;
        io.Array(at, r.sounds[i].name);
        io.Field(at + 32, r.sounds[i].loop);
        io.Field(at + 33, r.sounds[i].positioned);
        io.Field(at + 34, r.sounds[i].variants);
    }
    for (int i = 0; i < UNIT_REC_MAX_ATTACHED; ++i) {
        const std::int32_t at = UNIT_REC_ATTACHED + UNIT_REC_ATTACHED_SIZE * i;
        io.Array(at, r.attached[i].start);
        io.Array(at + 12, r.attached[i].end);
        io.Field(at + 24, r.attached[i].set);
    }
    io.Array(UNIT_REC_GUN_SLOT_TABLE, r.gunSlots);
    io.Field(UNIT_REC_GUN_COUNT, r.gunCount);
    for (int i = 0; i < UNIT_REC_MAX_PARTS; ++i)
        MapUnitPart(io, UNIT_REC_PARTS + UNIT_REC_PART_SIZE * i, r.parts[i]);
    io.Field(UNIT_REC_SIGHT, r.sightRadius);
}

bool CheckCount(const char* what, int value, int limit)
{
    if (value <= limit)
        return true;
    ReportError(std::string("Unit type record: ") + what + " " + std::to_string(value) + " (at most "
                + std::to_string(limit) + ")");
    return false;
}

} // namespace

bool ReadUnitParamRecord(std::span<const std::uint8_t> record, TUnitParamRecord& out)
{
    if (record.size() < static_cast<std::size_t>(UNIT_PARAM_RECORD_SIZE)) {
        ReportError("Error of reading from file units");
        return false;
    }
    TUnitParamRecord r;
    MapUnitRecord(TRecordReader(record.data()), r);
    if (!CheckCount("attached animation count", r.attachedCount, UNIT_REC_MAX_ATTACHED)
        || !CheckCount("part count", r.partCount, UNIT_REC_MAX_PARTS)
        || !CheckCount("machine-gun count", r.gunCount, UNIT_REC_GUN_SLOTS))
        return false;
    for (int i = 0; i < r.partCount; ++i)
        if (!CheckCount("part sector count", r.parts[i].sectorCount, UNIT_REC_MAX_SECTORS)
            || !CheckCount("part barrel count", r.parts[i].barrelCount, UNIT_REC_MAX_BARRELS))
            return false;
    r.name[UNIT_REC_NAME_LENGTH - 1] = 0;
    r.graphicName[UNIT_REC_GRAPHIC_NAME_SIZE - 1] = 0;
    for (TUnitSoundParams& s : r.sounds)
        s.name[UNIT_REC_SOUND_NAME_SIZE - 1] = 0;
    out = r;
    return true;
}

void WriteUnitParamRecord(const TUnitParamRecord& record, TOfStreamMemory& out)
{
    std::vector<std::uint8_t> bytes(UNIT_PARAM_RECORD_SIZE, 0);
    MapUnitRecord(TRecordWriter(bytes.data()), record);
    out.Write(bytes.data(), UNIT_PARAM_RECORD_SIZE);
}

void ApplyUnitTypeLoadRules(TUnitParamRecord& r, int typeIndex)
{
    r.animationSize[3] = 1;
    if (typeIndex == 23) {
        const std::size_t len = ::strnlen(r.graphicName, UNIT_REC_GRAPHIC_NAME_SIZE - 1);
        // The stored name leaves room for the suffix only when it is at most 89 characters long.
        if (len + 2 < UNIT_REC_GRAPHIC_NAME_SIZE) {
            r.graphicName[len] = '_';
            r.graphicName[len + 1] = '2';
            r.graphicName[len + 2] = 0;
        }
        r.animationSpeed[6] = 0.3f;
        r.animationSize[6] = static_cast<std::uint8_t>(r.animationSize[6] / 2);
    }
}

// --- unit-type objects ----------------------------------------------------------------------

namespace {

// The sound names the types' sound entries point at, per type; replaced when the type is made again.
std::string g_UnitSoundNames[UNIT_TYPE_COUNT][UNIT_REC_SOUNDS];

bool IsAirKind(std::uint8_t kind)
{
    return kind == UNIT_KIND_FIGHTER || kind == UNIT_KIND_AIRCRAFT || kind == UNIT_KIND_BOMBER;
}

// Points of a part are stored unturned; the type keeps them turned by an eighth of a turn, as the
// isometric view sees them.
void TurnEighth(const float (&in)[3], float (&out)[3])
{
    constexpr float c = 0.70710678f;
    out[0] = in[0] * c - in[1] * c;
    out[1] = in[0] * c + in[1] * c;
    out[2] = in[2];
}

void FillPart(const TUnitPartParams& p, TPartRecord& out)
{
    constexpr float kDegrees = 0.017453292f;
    TurnEighth(p.pivot, out.pivot);
    out.sectorCount = p.sectorCount;
    for (int s = 0; s < UNIT_REC_MAX_SECTORS; ++s)
        for (int k = 0; k < 3; ++k)
            out.sectors[s][k] = p.sectors[s][k] * kDegrees;
    out.startAngle = p.startAngle * kDegrees;
    out.barrelCount = p.barrelCount;
    for (int b = 0; b < UNIT_REC_MAX_BARRELS; ++b)
        TurnEighth(p.barrels[b], out.barrels[0][b]);
    out.shotType = p.shotType;
    out.fireA = p.fireA;
    out.reload = p.reloadTime;
    out.fireC = p.fireC;
    out.maxDistance = p.maxDistance;
    out.fireE = p.fireE;
    out.mode = p.mode;
}

void FillUnitType(int side, int index, const TUnitParamRecord& r, TBasicUnit& t)
{
    const bool ship = r.kind >= UNIT_KIND_SHIP_FIRST && r.kind <= UNIT_KIND_SHIP_LAST;
    t.m_bShip = ship ? 1 : 0;
    t.m_bAir = IsAirKind(r.kind) ? 1 : 0;
    t.m_bQuickTurn = r.quickTurn;
    std::copy(std::begin(r.paramFlags), std::end(r.paramFlags), t.m_ParamFlags);
    t.m_bGroup = r.groupFlag;
    t.m_bCarrier24 = r.carrier24;
    t.m_bCarrier17 = r.carrier17;
    t.m_bLastParamFlag = r.lastParamFlag;
    std::copy(std::begin(r.name), std::end(r.name), t.m_Name);
    std::memcpy(t.m_GraphicName, r.graphicName, sizeof r.graphicName);
    t.m_Kind = r.kind;
    t.m_SpriteWidth = r.spriteWidth;
    t.m_SpriteHeight = r.spriteHeight;
    std::copy(std::begin(r.paramValues), std::end(r.paramValues), t.m_ParamValues);
    t.m_SpriteOffsetX = r.spriteOffsetX;
    t.m_SpriteOffsetY = r.spriteOffsetY;
    t.m_CentreX = static_cast<float>(r.spriteWidth) * 0.5f;
    t.m_CentreY = static_cast<float>(r.spriteHeight) * 0.5f;
    t.Speed = r.speed;
    t.TurnDistance = r.turnDistance;
    // A ship's parts come with its ship graphics.
    if (!ship && r.partCount > 0) {
        t.m_PartCount = r.partCount;
        t.m_Parts = new TPartRecord[r.partCount];
        for (int i = 0; i < r.partCount; ++i)
            FillPart(r.parts[i], t.m_Parts[i]);
    }
    std::memcpy(t.m_ParamTables, r.paramTables, sizeof r.paramTables);
    std::uint16_t* const perPlayer[UNIT_REC_VALUE_ARRAYS] = {t.m_FirstValue, t.Range, t.ReloadTime, t.MaxHitPoints,
                                                             t.BuildTime};
    for (int a = 0; a < UNIT_REC_VALUE_ARRAYS; ++a)
        std::copy(std::begin(r.playerValues[a]), std::end(r.playerValues[a]), perPlayer[a]);
    t.m_CanFire = r.canFire;
    std::copy(std::begin(r.costs), std::end(r.costs), t.m_Costs);
    t.m_PowerNeed = r.powerNeed;
    std::copy(std::begin(r.upkeep), std::end(r.upkeep), t.m_Upkeep);
    t.m_ParamValue = r.paramValue;
    t.ClosePath = (r.closePath != 0 || r.kind == UNIT_KIND_TANK) ? 1 : 0;
    t.m_ParamByte = r.paramByteA;
    std::copy(std::begin(r.paramListA), std::end(r.paramListA), t.m_ParamA);
    std::copy(std::begin(r.paramListB), std::end(r.paramListB), t.m_ParamB);
    t.m_ParamC = r.paramWord;
    std::copy(std::begin(r.paramListC), std::end(r.paramListC), t.m_ParamD);
    t.RunwayLength = std::max(r.takeOffRun, r.landingRun);
    t.TurnStep = r.turnStep;
    t.TurnRadius = r.turnRadius;
    t.m_ParamByte2 = r.paramByteB;
    std::copy(std::begin(r.animationSpeed), std::end(r.animationSpeed), t.AnimationSpeed);
    std::copy(std::begin(r.animationSize), std::end(r.animationSize), t.AnimationSize);
    t.m_ArchiveSlot = static_cast<std::uint32_t>(UnitGraphicsSlot(side, index));
    const int slot = side * UNIT_TYPES_PER_NATION + index;
    for (int i = 0; i < UNIT_REC_SOUNDS; ++i) {
        const TUnitSoundParams& in = r.sounds[i];
        std::string& name = g_UnitSoundNames[slot][i];
        name = in.name;
        t.m_Sounds[i].name = name.empty() ? nullptr : name.c_str();
        t.m_Sounds[i].loop = in.loop;
        t.m_Sounds[i].positioned = in.positioned;
        t.m_Sounds[i].variants = in.variants;
    }
    const TUnitKindHandlers handlers = UnitKindHandlers(r.kind);
    t.m_MoveHandler = handlers.move;
    t.m_SecondHandler = handlers.second;
    t.MaxAmmo = r.kind == UNIT_KIND_TANK && index == 14 ? 10 : (r.ammoFlag ? 3 : 0);
    t.CrushSize = r.crushSize;
    t.m_bAirLike = (IsAirKind(r.kind) || r.kind == UNIT_KIND_TANK) ? 1 : 0;
    t.m_AnimCount = r.attachedCount;
    if (r.attachedCount > 0) {
        t.m_StartVectors = new TUnitVector[r.attachedCount];
        t.m_EndVectors = new TUnitVector[r.attachedCount];
        t.m_AnimSetIndexes = new std::uint8_t[r.attachedCount];
        for (int i = 0; i < r.attachedCount; ++i) {
            const TUnitAttachedAnimation& a = r.attached[i];
            t.m_StartVectors[i] = {a.start[0], a.start[1], a.start[2]};
            t.m_EndVectors[i] = {a.end[0], a.end[1], a.end[2]};
            t.m_AnimSetIndexes[i] = a.set;
        }
    }
    std::copy(std::begin(r.gunSlots), std::end(r.gunSlots), t.GunSlots);
    t.GunCount = r.gunCount;
    t.SightRadius = r.sightRadius;
}

} // namespace

bool CreateUnitTypeFromParams(int side, int index, const TUnitParamRecord& record)
{
    if (side < 0 || side >= UNIT_NATIONS || index < 0 || index >= UNIT_TYPES_PER_NATION)
        return false;
    const bool ship = record.kind >= UNIT_KIND_SHIP_FIRST && record.kind <= UNIT_KIND_SHIP_LAST;
    TBasicUnit* type = ship ? CreateShipUnitType() : new TBasicUnit;
    FillUnitType(side, index, record, *type);
    TBasicUnit*& entry = g_UnitTypes[side * UNIT_TYPES_PER_NATION + index];
    if (entry) {
        entry->FreeGraphic();
        delete entry;
    }
    entry = type;
    return true;
}

void LoadUnitTypeGraphics(int side, int index)
{
    if (TBasicUnit* type = GetUnitType(static_cast<std::uint32_t>(side), static_cast<std::uint32_t>(index)))
        type->LoadUnitGraphic(static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(side), type->m_GraphicName);
}

// --- building-type record --------------------------------------------------------------------

namespace {

// The fields a building record copies unchanged (the record offset, then the type field).
template <typename IO, typename T>
void MapHouseParamRecord(const IO& io, T& t)
{
    io.Array(0, t.m_Name);
    io.Array(200, t.m_GraphicName);
    io.Field(300, t.m_SpriteWidth);
    io.Field(302, t.m_SpriteHeight);
    io.Field(304, t.m_FootprintRows);
    io.Field(305, t.m_FootprintCells);
    io.Field(306, t.m_AnchorX);
    io.Field(308, t.m_AnchorY);
    io.Field(310, t.m_ExitX);
    io.Field(312, t.m_ExitY);
    io.Field(314, t.m_DoorX);
    io.Field(316, t.m_DoorY);
    io.Field(318, t.m_Param324);
    io.Field(322, t.m_Param328);
    io.Field(324, t.m_HitPoints);
    io.Field(326, t.m_Capacity);
    io.Array(328, t.m_Units);
    io.Array(368, t.m_Params376);
    io.Field(388, t.m_PowerNeed); // float bits, copied unchanged
    io.Field(392, t.m_RuinPhaseCount);
    io.Field(393, t.m_ConstructionPhaseCount);
    io.Field(394, t.m_AnimationCount);
    io.Array(396, t.m_AnimationSlots);
    io.Array(416, t.m_AnimationX);
    io.Array(436, t.m_AnimationY);
    io.Field(456, t.m_DestructionCount);
    io.Array(458, t.m_DestructionX);
    io.Array(478, t.m_DestructionY);
    io.Array(498, t.m_DestructionValues);
    io.Field(538, t.m_MuzzleCount);
    io.Array(540, t.m_MuzzleX);
    io.Array(560, t.m_MuzzleY);
    io.Array(680, t.m_RequiredHouses);
    io.Field(700, t.m_Output); // float bits, copied unchanged
    io.Field(704, t.m_GroundFlag);
    io.Field(705, t.m_DepthKind);
    io.Field(706, t.m_SpotCountB);
    io.Array(708, t.m_SpotsBX);
    io.Array(728, t.m_SpotsBY);
}

constexpr std::int32_t HOUSE_REC_BUILD_WORK = 320; // stored ten times the type's value
constexpr std::int32_t HOUSE_REC_COSTS = 348; // five i32

} // namespace

bool ReadHouseParamRecord(std::span<const std::uint8_t> record, THouseType& out)
{
    if (record.size() < static_cast<std::size_t>(HOUSE_PARAM_RECORD_SIZE)) {
        ReportError("Error of reading from file houses");
        return false;
    }
    const TRecordReader io(record.data());
    THouseType t = out;
    MapHouseParamRecord(io, t);
    std::uint16_t work = 0;
    io.Field(HOUSE_REC_BUILD_WORK, work);
    t.m_BuildWork = static_cast<std::uint16_t>(work / 10);
    t.m_NoCapacity = t.m_Capacity == 0 ? 1 : 0;
    for (int i = 0; i < HOUSE_RESOURCES; ++i) {
        std::int32_t cost = 0;
        io.Field(HOUSE_REC_COSTS + 4 * i, cost);
        t.m_Costs[i] = static_cast<float>(cost);
    }
    if (!CheckHouseTypeRecord(t, "BasicParams"))
        return false;
    t.m_Name[HOUSE_NAME_LENGTH - 1] = 0;
    t.m_GraphicName[HOUSE_GRAPHIC_NAME_SIZE - 1] = 0;
    t.m_Upgrade2 = 0;
    t.m_Reserved = 1;
    out = t;
    return true;
}

void WriteHouseParamRecord(const THouseType& type, TOfStreamMemory& out)
{
    std::vector<std::uint8_t> bytes(HOUSE_PARAM_RECORD_SIZE, 0);
    const TRecordWriter io(bytes.data());
    MapHouseParamRecord(io, type);
    io.Field(HOUSE_REC_BUILD_WORK, static_cast<std::uint16_t>(std::min(type.m_BuildWork * 10, 65535)));
    for (int i = 0; i < HOUSE_RESOURCES; ++i)
        io.Field(HOUSE_REC_COSTS + 4 * i, static_cast<std::int32_t>(type.m_Costs[i]));
    out.Write(bytes.data(), HOUSE_PARAM_RECORD_SIZE);
}

// --- the parameter files ---------------------------------------------------------------------

TParameterServices DefaultParameterServices()
{
    TParameterServices s;
    s.makeUnitType = CreateUnitTypeFromParams;
    s.loadUnitGraphics = LoadUnitTypeGraphics;
    s.loadHouseGraphics = [](std::uint32_t slot, const char* name) { CHousePhaseGraphic::Load(slot, name); };
    return s;
}

bool ParseParameterFile(std::span<const std::uint8_t> file, int side, const char* pathForLog)
{
    if (side < 0 || side >= PARAM_SIDES)
        return false;
    if (file.size() < 4 || std::memcmp(file.data(), PARAM_MAGIC, 4) != 0) {
        ReportError("Incorrect file format!");
        return false;
    }
    if (file.size() < static_cast<std::size_t>(PARAM_HEADER_SIZE)) {
        ReportError2(pathForLog, ": the header is cut short");
        return false;
    }
    const std::uint16_t houseCount = static_cast<std::uint16_t>(file[4] | (file[5] << 8));
    const std::uint16_t unitCount = static_cast<std::uint16_t>(file[6] | (file[7] << 8));
    if (houseCount > PARAM_MAX_HOUSE_TYPES || unitCount > PARAM_MAX_UNIT_TYPES) {
        ReportError(std::string(pathForLog) + ": " + std::to_string(houseCount) + " building types and "
                    + std::to_string(unitCount) + " unit types (at most 25 and 40)");
        return false;
    }
    std::size_t pos = PARAM_HEADER_SIZE;
    // Every record is read before the table changes, so a bad file leaves the side as it was.
    std::vector<THouseType> houses(houseCount);
    for (int i = 0; i < houseCount; ++i, pos += HOUSE_PARAM_RECORD_SIZE) {
        THouseType& t = houses[i];
        t = HouseType(side, i);
        if (!ReadHouseParamRecord(file.subspan(std::min(pos, file.size())), t))
            return false;
        t.m_TypeNumber = static_cast<std::uint8_t>(i);
        t.m_ArchiveSlot = static_cast<std::uint32_t>(HouseGraphicsSlot(side, i));
        if (side != 0) {
            // The requirements are the nations' common rule; only side 0's file decides them.
            if (i < g_NationHouseTypeCount[0])
                std::copy(std::begin(HouseType(0, i).m_RequiredHouses), std::end(HouseType(0, i).m_RequiredHouses),
                          t.m_RequiredHouses);
            else
                std::fill(std::begin(t.m_RequiredHouses), std::end(t.m_RequiredHouses), HOUSE_LIST_END);
        }
    }
    std::vector<TUnitParamRecord> units(unitCount);
    for (int i = 0; i < unitCount; ++i, pos += UNIT_PARAM_RECORD_SIZE) {
        if (!ReadUnitParamRecord(file.subspan(std::min(pos, file.size())), units[i]))
            return false;
        ApplyUnitTypeLoadRules(units[i], i);
    }
    for (int i = 0; i < houseCount; ++i)
        HouseType(side, i) = houses[i];
    g_NationHouseTypeCount[side] = houseCount;
    for (int i = 0; i < unitCount; ++i) {
        if (g_ParameterServices.makeUnitType && !g_ParameterServices.makeUnitType(side, i, units[i])) {
            ReportError2(pathForLog, ": a unit type could not be made");
            return false;
        }
    }
    g_NationUnitTypeCount[side] = unitCount;
    return true;
}

bool LoadBasicParametrs()
{
    // A load replaces every type of an earlier one.
    FreeUnitTypes();
    for (int side = 0; side < PARAM_SIDES; ++side) {
        const std::string path = ParameterFilePath(side);
        std::vector<std::uint8_t> file;
        if (!ReadGameFile(path.c_str(), file) || file.empty()) {
            ReportError(path + "  open FAILED");
            return false;
        }
        if (!ParseParameterFile(file, side, path.c_str()))
            return false;
    }
    if (!LoadShipTowersParams())
        return false;
    for (int side = 0; side < PARAM_SIDES; ++side)
        for (int i = 0; i < g_NationUnitTypeCount[side]; ++i)
            if (g_ParameterServices.loadUnitGraphics)
                g_ParameterServices.loadUnitGraphics(side, i);
    for (int side = 0; side < PARAM_SIDES; ++side)
        for (int i = 0; i < g_NationHouseTypeCount[side]; ++i)
            if (g_ParameterServices.loadHouseGraphics)
                g_ParameterServices.loadHouseGraphics(HouseType(side, i).m_ArchiveSlot, HouseType(side, i).m_GraphicName);
    FreeShipTowersParams();
    return true;
}

void FreeUnitAndHouseTypes()
{
    for (int side = 0; side < PARAM_SIDES; ++side) {
        for (int t = 0; t < g_NationHouseTypeCount[side] && t < HOUSE_TYPES_PER_SIDE; ++t)
            CHousePhaseGraphic::Free(HouseType(side, t));
        g_NationHouseTypeCount[side] = 0;
        for (int t = 0; t < g_NationUnitTypeCount[side] && t < UNIT_TYPES_PER_NATION; ++t)
            CloseLes(static_cast<std::uint32_t>(UnitGraphicsSlot(side, t)));
        g_NationUnitTypeCount[side] = 0;
    }
    FreeUnitTypes();
}

// --- player colours --------------------------------------------------------------------------

bool ParseColors(std::span<const std::uint8_t> text)
{
    TIfStreamMemory in(text.data(), static_cast<std::int32_t>(text.size()));
    int rgb[PLAYER_COLORS][3];
    char word[COMMENTED_WORD_BUFFER];
    for (auto& colour : rgb)
        for (int& channel : colour) {
            if (!ReadTextWord(in, word, sizeof word)) {
                ReportError("Data\\Colors.txt holds fewer than 24 numbers");
                return false;
            }
            // A channel beyond 0..255 would spill into its neighbours in the packed colours.
            channel = std::clamp(DecimalToInt(word), 0, 255);
        }
    for (int i = 0; i < PLAYER_COLORS; ++i) {
        const auto r = static_cast<std::uint32_t>(rgb[i][0]);
        const auto g = static_cast<std::uint32_t>(rgb[i][1]);
        const auto b = static_cast<std::uint32_t>(rgb[i][2]);
        g_PlayerColorsD3D[i] = 0xFF000000u + r * 65536 + g * 256 + b;
        g_PlayerColors16[i] = MakeColor16(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                          static_cast<std::uint8_t>(b));
        g_PlayerColorsGdi[i] = b * 65536 + g * 256 + r;
        g_PaletteColorsGdi[i] = g_PlayerColorsGdi[i];
    }
    g_NeutralColor16 = 58614;
    g_NeutralColorGdi = 13165814;
    return true;
}

bool LoadColors()
{
    std::vector<std::uint8_t> text;
    if (!ReadGameFile(COLORS_FILE_PATH, text)) {
        ReportError("Cannot open file Data\\Colors.txt");
        return false;
    }
    return ParseColors(text);
}

// --- ships' gun-tower parameters -------------------------------------------------------------

namespace {
// Read at the type load and freed right after it; main thread only.
std::vector<TShipTowerParams> g_ShipTowerParams;
} // namespace

bool ParseShipTowersParams(std::span<const std::uint8_t> text)
{
    g_ShipTowerParams.clear();
    TIfStreamMemory in(text.data(), static_cast<std::int32_t>(text.size()));
    char word[COMMENTED_WORD_BUFFER];
    if (!ReadTextWord(in, word, sizeof word)) {
        ReportError("Data\\ShipTowersParams.txt is empty");
        return false;
    }
    const int count = DecimalToInt(word) & 0xFF;
    std::vector<TShipTowerParams> records;
    for (int i = 0; i < count; ++i) {
        TShipTowerParams p;
        std::int32_t a = 0, b = 0, c = 0;
        if (!ReadTextWord(in, word, sizeof word) || !ReadCommentedInt(in, a) || !ReadCommentedInt(in, b)
            || !ReadCommentedInt(in, c) || !ReadCommentedLong(in, p.d) || !ReadCommentedLong(in, p.e)
            || !ReadTextWord(in, word, sizeof word)) {
            ReportError("Data\\ShipTowersParams.txt: record " + std::to_string(i) + " is cut short");
            return false;
        }
        p.a = static_cast<std::int16_t>(a);
        p.b = static_cast<std::int16_t>(b);
        p.c = static_cast<std::int16_t>(c);
        records.push_back(p);
    }
    g_ShipTowerParams = std::move(records);
    return true;
}

bool LoadShipTowersParams()
{
    std::vector<std::uint8_t> text;
    if (!ReadGameFile(SHIP_TOWERS_PARAMS_PATH, text)) {
        ReportError("Cannot open file Data\\ShipTowersParams.txt");
        return false;
    }
    return ParseShipTowersParams(text);
}

void FreeShipTowersParams()
{
    g_ShipTowerParams.clear();
    g_ShipTowerParams.shrink_to_fit();
}

bool GetShipTowersParams(std::uint8_t i, TShipTowerParams& out)
{
    if (i >= g_ShipTowerParams.size())
        return false;
    out = g_ShipTowerParams[i];
    return true;
}

std::uint32_t GetPlayerColorD3D(std::uint8_t player)
{
    return player < PLAYER_COLORS ? g_PlayerColorsD3D[player] : 0xFFFFFFFF;
}
