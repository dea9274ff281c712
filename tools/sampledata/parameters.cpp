#include "parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>

#include "archives.h"
#include "combat/combat_values.h"
#include "core/archive.h"
#include "core/memory_stream.h"
#include "units/anim_slots.h"
#include "images.h"
#include "sample_data.h"
#include "sounds.h"

namespace sampledata {

namespace {

constexpr double kPi = 3.14159265358979323846;

// --- building types ------------------------------------------------------------------------

struct HouseStats {
    std::uint16_t hitPoints;
    std::uint16_t buildWork; // construction steps
    std::uint16_t capacity;
    float costs[5];          // food, wood, iron, gold, oil
    float powerNeed;
    float output;
    std::initializer_list<std::uint16_t> units;
    std::initializer_list<std::uint16_t> required;
};

// Indexed by building type; every nation has the same buildings.
const HouseStats kHouseStats[25] = {
    {1500, 500, 0, {0, 200, 150, 100, 0}, 0, 100, {}, {}},
    {1200, 300, 4, {0, 50, 150, 0, 0}, 5, 0, {}, {3}},
    {1800, 800, 0, {0, 300, 200, 300, 0}, 20, 0, {}, {6, 0}},
    {1600, 500, 0, {0, 250, 100, 0, 0}, 10, 0, {1, 2, 3, 6, 7, 9, 28, 29}, {6}},
    {2000, 700, 0, {0, 200, 300, 100, 0}, 20, 0, {5, 8, 13, 21, 22}, {3, 0}},
    {1800, 800, 0, {0, 300, 200, 300, 0}, 20, 0, {}, {3}},
    {3000, 1000, 5, {0, 400, 100, 0, 0}, 0, 20, {0}, {}},
    {2000, 400, 6, {0, 100, 250, 0, 0}, 5, 0, {}, {5}},
    {1200, 400, 0, {0, 200, 50, 100, 0}, 5, 0, {}, {6}},
    {800, 250, 0, {50, 100, 0, 0, 0}, 2, 10, {}, {6}},
    {1200, 400, 5, {0, 150, 0, 50, 0}, 10, 1, {}, {6}},
    {1200, 400, 5, {0, 150, 50, 0, 0}, 10, 1, {}, {6}},
    {1000, 300, 5, {0, 100, 50, 0, 0}, 5, 1, {}, {6}},
    {1000, 400, 0, {0, 100, 200, 100, 0}, 10, 1, {}, {19}},
    {1500, 600, 0, {0, 200, 200, 300, 0}, 10, 1, {}, {11}},
    {800, 250, 5, {0, 100, 0, 0, 0}, 0, 1, {}, {6}},
    {1400, 450, 0, {100, 250, 0, 0, 0}, 5, 0, {4, 16}, {3}},
    {900, 300, 4, {50, 150, 50, 50, 0}, 5, 0, {}, {3}},
    {1800, 600, 8, {100, 250, 150, 150, 0}, 15, 0, {}, {17}},
    {2500, 900, 0, {0, 200, 400, 200, 100}, 40, 0, {14, 15, 24}, {4, 0}},
    {2200, 900, 0, {0, 250, 300, 300, 150}, 40, 0, {11, 12, 10}, {19}},
    {900, 250, 2, {0, 150, 50, 0, 0}, 0, 0, {}, {3}},
    {2200, 800, 0, {0, 400, 200, 100, 0}, 20, 0, {17, 18, 19, 20}, {6}},
    {1800, 700, 0, {0, 200, 200, 200, 0}, 20, 0, {25, 26, 27}, {5}},
    {1000, 1200, 0, {0, 100, 400, 200, 50}, 0, 0, {}, {4}},
};

// Building type -> attached animation slot (chimney smoke, flags, forges ...), -1 none.
int HouseAnimationSlot(int side, int type)
{
    if (side == 5)
        return type == 3 ? 5 : -1; // the windmill's sails
    switch (type) {
    case 0: return 1;  // chimney smoke
    case 6: return 2;  // flag
    case 14: return 10; // the mint's forge
    case 12: return 11; // steam of the saw
    case 21: return 14; // beacon
    case 22: return 7;  // harbour lamp
    default: return -1;
    }
}

void SetName(char16_t (&out)[HOUSE_NAME_LENGTH], const char* name)
{
    std::size_t i = 0;
    for (; name[i] && i + 1 < HOUSE_NAME_LENGTH; ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(name[i]));
    out[i] = 0;
}

template <std::size_t N>
void SetText(char (&out)[N], const std::string& text)
{
    std::memset(out, 0, N);
    std::memcpy(out, text.data(), std::min(text.size(), N - 1));
}

template <std::size_t N>
void SetList(std::uint16_t (&out)[N], std::initializer_list<std::uint16_t> values)
{
    std::fill(std::begin(out), std::end(out), HOUSE_LIST_END);
    std::size_t i = 0;
    for (std::uint16_t v : values)
        if (i < N)
            out[i++] = v;
}

// --- unit types ----------------------------------------------------------------------------

struct UnitStats {
    std::uint16_t hitPoints;
    std::uint16_t range;
    std::uint16_t reload;
    float speed;
    std::uint16_t buildTime;
    float costs[5]; // food, wood, iron, gold, oil
    std::uint16_t attack;
};

// Indexed by unit type.
const UnitStats kUnitStats[30] = {
    {40, 30, 30, 1.2f, 300, {50, 0, 0, 0, 0}, 3},
    {60, 150, 35, 1.3f, 250, {40, 0, 0, 10, 0}, 6},
    {80, 220, 40, 1.3f, 300, {50, 0, 10, 20, 0}, 9},
    {90, 160, 50, 1.2f, 350, {60, 0, 20, 30, 0}, 14},
    {120, 40, 25, 2.4f, 400, {80, 0, 0, 40, 0}, 12},
    {150, 500, 90, 0.8f, 600, {0, 50, 120, 40, 0}, 40},
    {90, 260, 8, 1.1f, 450, {60, 0, 40, 30, 0}, 5},
    {70, 120, 40, 1.3f, 300, {50, 30, 0, 20, 0}, 8},
    {100, 600, 120, 0.8f, 550, {0, 0, 100, 50, 0}, 45},
    {90, 100, 20, 1.1f, 450, {60, 0, 0, 20, 40}, 10},
    {300, 60, 200, 3.0f, 1200, {0, 100, 200, 150, 150}, 120},
    {180, 300, 15, 4.0f, 900, {0, 80, 150, 100, 100}, 10},
    {120, 200, 40, 3.6f, 700, {0, 80, 100, 80, 80}, 6},
    {150, 600, 25, 0.8f, 600, {0, 0, 150, 60, 0}, 20},
    {600, 350, 60, 1.0f, 1000, {0, 0, 300, 150, 100}, 60},
    {300, 280, 20, 2.2f, 700, {0, 0, 180, 80, 60}, 12},
    {140, 200, 35, 2.2f, 450, {90, 0, 0, 50, 0}, 10},
    {800, 0, 0, 1.5f, 1200, {0, 300, 200, 100, 50}, 0},
    {1200, 700, 40, 2.0f, 1500, {0, 100, 500, 200, 150}, 60},
    {2000, 900, 60, 1.6f, 2000, {0, 0, 800, 300, 250}, 90},
    {3500, 1200, 90, 1.2f, 3000, {0, 0, 1400, 500, 400}, 140},
    {250, 800, 150, 0.5f, 900, {0, 0, 250, 100, 0}, 80},
    {220, 900, 160, 0.6f, 900, {0, 0, 220, 100, 0}, 90},
    {400, 1400, 250, 0.3f, 1500, {0, 0, 0, 0, 0}, 200},
    {350, 250, 10, 2.0f, 800, {0, 0, 200, 80, 80}, 6},
    {110, 240, 38, 1.3f, 400, {60, 0, 20, 40, 0}, 10},
    {90, 230, 40, 1.4f, 350, {60, 0, 0, 30, 0}, 9},
    {100, 180, 30, 1.6f, 400, {70, 0, 20, 40, 0}, 11},
    {50, 0, 0, 1.4f, 300, {50, 0, 0, 30, 0}, 0},
    {60, 180, 40, 2.0f, 250, {40, 0, 0, 20, 0}, 5},
};

bool IsAir(std::uint8_t kind) { return kind == 1 || kind == 11 || kind == 12; }
bool IsShip(std::uint8_t kind) { return kind >= 13 && kind <= 15; }
bool IsOnFoot(std::uint8_t kind) { return kind == 2 || kind == 6 || kind == 7 || kind == 8 || kind == 9 || kind == 16; }
bool IsVehicle(const SampleUnitType& t) { return t.kind == 3 || t.kind == 4 || t.kind == 10 || t.type == 24; }

// The sample unit sounds, by kind of unit: "Units\<group>_<sub-kind>.wav".
const char* SoundGroup(const SampleUnitType& t)
{
    if (IsAir(t.kind))
        return "Aircraft";
    if (IsShip(t.kind))
        return "Ship";
    if (IsVehicle(t))
        return t.kind == 3 || t.type == 24 ? "Vehicle" : "Gun";
    return t.kind == 6 ? "Worker" : "Infantry";
}
constexpr int kUnitSoundKinds = 3;
const char* const kSoundGroups[] = {"Aircraft", "Ship", "Vehicle", "Gun", "Worker", "Infantry"};

// A turret that turns by itself all round, with one barrel.
TUnitPartParams Turret(float height, float barrel, std::uint8_t mode)
{
    TUnitPartParams p;
    p.pivot[2] = height;
    p.sectorCount = 1;
    p.sectors[0][0] = mode ? 180.0f : 45.0f;
    p.sectors[0][1] = mode ? -180.0f : -45.0f;
    p.barrelCount = 1;
    p.barrels[0][0] = barrel;
    p.mode = mode;
    return p;
}

} // namespace

THouseType SampleHouseRecord(int side, const SampleHouseType& type)
{
    THouseType t;
    const bool neutral = side == kNeutralSide;
    SetName(t.m_Name, type.name);
    SetText(t.m_GraphicName, type.graphic);
    t.m_ArchiveSlot = static_cast<std::uint32_t>(HouseGraphicsSlot(side, type.type));
    t.m_TypeNumber = type.type;
    t.m_SpriteWidth = type.width;
    t.m_SpriteHeight = type.height;
    t.m_FootprintRows = type.rows;
    t.m_FootprintCells = type.cells;
    t.m_AnchorX = static_cast<std::uint16_t>(type.width / 2);
    t.m_AnchorY = static_cast<std::uint16_t>(type.height - 24);
    t.m_ExitX = 0;
    t.m_ExitY = static_cast<std::int16_t>(24 * type.rows + 24);
    t.m_DoorX = 0;
    t.m_DoorY = static_cast<std::int16_t>(12 * type.rows);
    t.m_Param324 = 10; // armour
    t.m_Param328 = 1;
    t.m_DepthKind = HOUSE_DEPTH_SPAN_CODED;
    t.m_ConstructionPhaseCount = HOUSE_CONSTRUCTION_PHASES;
    const bool small = type.rows == 1 && type.cells == 1;
    t.m_RuinPhaseCount = small ? 1 : HOUSE_RUIN_PHASES;
    if (neutral) {
        t.m_HitPoints = static_cast<std::uint16_t>(400 + 200 * type.rows);
        t.m_BuildWork = 100;
        SetList(t.m_Units, {});
        SetList(t.m_RequiredHouses, {});
    } else {
        const HouseStats& s = kHouseStats[type.type];
        t.m_HitPoints = s.hitPoints;
        t.m_BuildWork = s.buildWork;
        t.m_Capacity = s.capacity;
        std::copy(std::begin(s.costs), std::end(s.costs), t.m_Costs);
        t.m_PowerNeed = s.powerNeed;
        t.m_Output = s.output;
        SetList(t.m_Units, s.units);
        SetList(t.m_RequiredHouses, s.required);
        // Pillboxes stand on bare ground.
        t.m_GroundFlag = type.type == HOUSE_PILLBOX || type.type == HOUSE_BUNKER ? 0 : 1;
    }
    t.m_NoCapacity = t.m_Capacity == 0 ? 1 : 0;
    t.m_Reserved = 1;
    const int slot = HouseAnimationSlot(side, type.type);
    if (slot >= 0) {
        t.m_AnimationCount = 1;
        t.m_AnimationSlots[0] = static_cast<std::uint16_t>(slot);
        t.m_AnimationX[0] = static_cast<std::int16_t>(type.width / 4);
        t.m_AnimationY[0] = static_cast<std::int16_t>(-type.height / 2);
    }
    // Explosions and fires where the building is hit hardest, and the points shots strike.
    const std::int16_t w = static_cast<std::int16_t>(type.width / 4);
    const std::int16_t h = static_cast<std::int16_t>(type.height / 4);
    const std::int16_t xs[] = {static_cast<std::int16_t>(-w), 0, w, 0};
    const std::int16_t ys[] = {static_cast<std::int16_t>(-h), static_cast<std::int16_t>(-2 * h), static_cast<std::int16_t>(-h), 0};
    t.m_DestructionCount = 3;
    t.m_SpotCountB = 4;
    for (int i = 0; i < 4; ++i) {
        if (i < 3) {
            t.m_DestructionX[i] = xs[i];
            t.m_DestructionY[i] = ys[i];
            t.m_DestructionValues[i] = 1;
        }
        t.m_SpotsBX[i] = xs[i];
        t.m_SpotsBY[i] = ys[i];
    }
    if (!neutral && (type.type == HOUSE_PILLBOX || type.type == HOUSE_BUNKER || type.type == HOUSE_WATCHTOWER)) {
        t.m_MuzzleCount = 2;
        t.m_MuzzleX[0] = static_cast<std::int16_t>(-w);
        t.m_MuzzleX[1] = w;
        t.m_MuzzleY[0] = t.m_MuzzleY[1] = static_cast<std::int16_t>(-2 * h);
    }
    return t;
}

TUnitParamRecord SampleUnitRecord(int nation, const SampleUnitType& type)
{
    TUnitParamRecord r;
    const UnitStats& s = kUnitStats[type.type];
    SetName(r.name, type.name);
    SetText(r.graphicName, SampleUnitGraphicName(nation, type));
    r.kind = type.kind;
    r.spriteWidth = type.width;
    r.spriteHeight = type.height;
    r.speed = s.speed;
    r.turnDistance = type.kind == 3 ? 20.0f : 0.0f;
    const bool onFoot = IsOnFoot(type.kind);
    r.quickTurn = onFoot ? 1 : 0;
    r.groupFlag = type.kind == 6 ? 0 : 1;
    r.carrier24 = onFoot ? 1 : 0;
    r.carrier17 = (!IsAir(type.kind) && !IsShip(type.kind)) ? 1 : 0;
    r.closePath = IsVehicle(type) ? 1 : 0;
    r.ammoFlag = type.kind == 4 || type.kind == 10 ? 1 : 0;
    const std::uint16_t values[UNIT_REC_VALUE_ARRAYS] = {s.attack, s.range, s.reload, s.hitPoints, s.buildTime};
    for (int a = 0; a < UNIT_REC_VALUE_ARRAYS; ++a)
        std::fill(std::begin(r.playerValues[a]), std::end(r.playerValues[a]), values[a]);
    r.canFire = s.range > 0 ? 1 : 0;
    // The combat record, alike for every player until research changes one of them.
    const bool armoured = IsVehicle(type) || IsShip(type.kind);
    const std::uint16_t combat[][2] = {
        {COMBAT_CLOSE_ATTACK, static_cast<std::uint16_t>(onFoot || type.kind == 5 ? s.attack + 4 : s.attack / 2)},
        {COMBAT_CLOSE_DEFENCE, static_cast<std::uint16_t>(armoured ? 12 : 2)},
        {COMBAT_FIRE_ATTACK, static_cast<std::uint16_t>(type.kind == 9 ? 40 : 0)},
        {COMBAT_FIRE_DEFENCE, static_cast<std::uint16_t>(armoured ? 20 : 0)},
        {COMBAT_EXPLOSION_ARMOUR, static_cast<std::uint16_t>(IsShip(type.kind) ? 25 : armoured ? 15 : 2)},
        {COMBAT_ACCURACY, static_cast<std::uint16_t>(type.kind == 16 ? 60 : IsAir(type.kind) ? 65 : 75)},
        {COMBAT_SHELL_DAMAGE, s.attack},
        {COMBAT_BULLET_ATTACK, static_cast<std::uint16_t>(s.attack + 10)},
        {COMBAT_BULLET_DEFENCE, static_cast<std::uint16_t>(IsShip(type.kind) ? 15 : armoured ? 8 : IsAir(type.kind) ? 4 : 2)},
    };
    for (int p = 0; p < UNIT_PLAYERS; ++p)
        for (const auto& [slot, value] : combat)
            r.paramTables[0][p * UNIT_COMBAT_RECORD_WORDS + slot] = value;
    std::copy(std::begin(s.costs), std::end(s.costs), r.costs);
    r.powerNeed = IsShip(type.kind) ? 4.0f : IsAir(type.kind) ? 3.0f : IsVehicle(type) ? 2.0f : 0.0f;
    if (onFoot || type.kind == 5)
        r.upkeep[0] = 0.002f;
    else
        r.upkeep[4] = 0.003f;
    const auto sizes = SampleAnimationSizes(type);
    std::copy(sizes.begin(), sizes.end(), r.animationSize);
    if (IsAir(type.kind)) {
        r.takeOffRun = 200;
        r.landingRun = 300;
        r.turnStep = 0.05f;
        r.turnRadius = 150.0f;
    } else if (IsShip(type.kind)) {
        r.turnStep = 0.02f;
    } else if (type.kind == 3) {
        r.turnStep = 0.12f; // a tank swings round in about seven cycles per eighth of a turn
    }
    r.crushSize = static_cast<std::int16_t>(std::max<int>(8, type.width / 3));
    // Aircraft see farthest, ships over open water next; men on foot see less than a vehicle's crew.
    r.sightRadius = IsAir(type.kind) ? 12 : IsShip(type.kind) ? 10 : onFoot ? 7 : 8;
    for (int i = 0; i < kUnitSoundKinds; ++i) {
        std::snprintf(r.sounds[i].name, sizeof r.sounds[i].name, "%s_%d.wav", SoundGroup(type), i);
        r.sounds[i].variants = 1;
        r.sounds[i].loop = IsShip(type.kind) && i == 1 ? 1 : 0;
    }
    if (IsAir(type.kind)) {
        r.attachedCount = 1; // the propeller
        r.attached[0].start[0] = static_cast<float>(type.width) * 0.4f;
        r.attached[0].end[0] = static_cast<float>(type.width) * 0.45f;
    }
    if (type.kind == 3) {
        r.partCount = 1;
        r.parts[0] = Turret(static_cast<float>(type.height) * 0.5f, static_cast<float>(type.width) * 0.4f, 1);
        r.gunCount = 2;
    } else if (type.type == 13) {
        r.partCount = 1;
        r.parts[0] = Turret(16.0f, 24.0f, 1);
    } else if (type.type == 24) {
        r.partCount = 1;
        r.parts[0] = Turret(24.0f, 20.0f, 0);
    }
    return r;
}

std::vector<std::uint8_t> BuildParameterFile(const std::vector<THouseType>& houses,
                                             const std::vector<TUnitParamRecord>& units)
{
    TOfStreamMemory out;
    out.Write(PARAM_MAGIC, 4);
    out.WriteU16(static_cast<std::uint16_t>(houses.size()));
    out.WriteU16(static_cast<std::uint16_t>(units.size()));
    for (const THouseType& h : houses)
        WriteHouseParamRecord(h, out);
    for (const TUnitParamRecord& u : units)
        WriteUnitParamRecord(u, out);
    return {out.Data(), out.Data() + out.Size()};
}

std::vector<std::uint8_t> BuildParameterFile(int side)
{
    std::vector<THouseType> houses;
    std::vector<TUnitParamRecord> units;
    if (side == kNeutralSide) {
        for (const SampleHouseType& h : kSampleNeutralHouseTypes)
            houses.push_back(SampleHouseRecord(side, h));
    } else {
        for (const SampleHouseType& h : kSampleHouseTypes)
            houses.push_back(SampleHouseRecord(side, h));
        for (const SampleUnitType& u : kSampleUnitTypes)
            units.push_back(SampleUnitRecord(side, u));
    }
    return BuildParameterFile(houses, units);
}

std::string SampleColorsText()
{
    // Red, blue, green, yellow, purple, orange, teal, white: far apart, none the colour key.
    return "200 30 30\r\n40 70 200\r\n30 150 50\r\n220 200 40\r\n140 60 170\r\n230 120 30\r\n40 180 190\r\n"
           "230 230 230\r\n";
}

std::string SampleShipTowersText()
{
    // Record 0 is never used; 1 torpedoes, 2 destroyer guns, 3 and 4 cruiser guns, 5 battleship guns.
    return "6\r\n"
           "Unused {A} 0 {reload} 0 {C} 0 {distance} 0.0 {E} 0.0 end\r\n"
           "Torpedo {A} 500 {reload} 200 {C} 150 {distance} 1200.0 {E} 600.0 end\r\n"
           "DestroyerGun {A} 300 {reload} 40 {C} 100 {distance} 900.0 {E} 400.0 end\r\n"
           "CruiserMainGun {A} 400 {reload} 60 {C} 120 {distance} 1100.0 {E} 450.0 end\r\n"
           "CruiserSideGun {A} 250 {reload} 30 {C} 90 {distance} 800.0 {E} 350.0 end\r\n"
           "BattleshipGun {A} 600 {reload} 90 {C} 160 {distance} 1400.0 {E} 500.0 end\r\n";
}

bool WriteParameterFiles(const std::string& outDir)
{
    for (int side = 0; side < kSampleSides; ++side) {
        const auto file = BuildParameterFile(side);
        if (!WriteFileBytes(outDir, "Data/BasicParams" + std::to_string(side) + ".dat", file.data(), file.size()))
            return false;
    }
    const std::string colours = SampleColorsText();
    const std::string towers = SampleShipTowersText();
    if (!WriteFileBytes(outDir, "Data/Colors.txt", colours.data(), colours.size())
        || !WriteFileBytes(outDir, "Data/ShipTowersParams.txt", towers.data(), towers.size()))
        return false;
    for (const char* group : kSoundGroups)
        for (int i = 0; i < kUnitSoundKinds; ++i) {
            const std::string name = std::string(group) + "_" + std::to_string(i) + ".wav";
            const auto wave = SynthesizeSoundWave("Units\\" + name);
            if (!WriteFileBytes(outDir, "Media/Units/" + name, wave.data(), wave.size()))
                return false;
        }
    return true;
}

// --- animation slots -------------------------------------------------------------------------

std::vector<std::uint8_t> BuildAnimationList(const std::vector<AnimationSlotEntry>& slots)
{
    TOfStreamMemory out;
    out.WriteI32(static_cast<std::int32_t>(slots.size()));
    for (const AnimationSlotEntry& s : slots) {
        char name[ANF_NAME_SIZE] = {};
        std::memcpy(name, s.name.data(), std::min<std::size_t>(s.name.size(), ANF_NAME_SIZE - 1));
        out.Write(name, ANF_NAME_SIZE);
        out.WriteU8(s.mode);
        out.WriteU8(0);
        out.WriteF32(s.step);
        out.WriteU8(s.frames);
        out.WriteU8(0);
        out.WriteU16(s.width);
        out.WriteU16(s.height);
        out.WriteU16(s.offsetX);
        out.WriteU16(s.offsetY);
        out.WriteU16(0);
    }
    return {out.Data(), out.Data() + out.Size()};
}

std::vector<std::uint8_t> MakeRawAnimationFrame(int width, int height, const std::vector<std::uint16_t>& pixels)
{
    std::vector<std::uint8_t> out(ANIMATION_RAW_FRAME_HEAD + static_cast<std::size_t>(width) * height * 2, 0);
    out[0] = static_cast<std::uint8_t>(width);
    out[2] = static_cast<std::uint8_t>(height);
    for (std::size_t i = 0; i < pixels.size() && i < static_cast<std::size_t>(width) * height; ++i) {
        out[ANIMATION_RAW_FRAME_HEAD + 2 * i] = static_cast<std::uint8_t>(pixels[i]);
        out[ANIMATION_RAW_FRAME_HEAD + 2 * i + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
    }
    return out;
}

namespace {

// A pixel of a frame: ARGB 4444 from channels in 0..1.
std::uint16_t Argb(double a, double r, double g, double b)
{
    auto q = [](double v) { return static_cast<std::uint16_t>(std::clamp(v, 0.0, 1.0) * 15.0 + 0.5); };
    return static_cast<std::uint16_t>((q(a) << 12) | (q(r) << 8) | (q(g) << 4) | q(b));
}

// A small deterministic noise in 0..1.
double Noise(int x, int y, int seed)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u
                    + static_cast<std::uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

// Frame f's pixel (x, y) relative to the frame centre, as ARGB 4444.
using Painter = std::function<std::uint16_t(int f, double x, double y, int px, int py)>;

std::vector<std::uint16_t> Paint(int f, int w, int h, const Painter& paint)
{
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[static_cast<std::size_t>(y) * w + x] = paint(f, x + 0.5 - w / 2.0, y + 0.5 - h / 2.0, x, y);
    return pixels;
}

// Puffs rising from the bottom centre and thinning out; tone is their grey.
Painter Smoke(int frames, double tone)
{
    return [frames, tone](int f, double x, double y, int px, int py) {
        double a = 0;
        for (int puff = 0; puff < 3; ++puff) {
            const double t = std::fmod((f + puff * frames / 3.0) / frames, 1.0);
            const double cy = 20 - 40 * t, cx = 4 * std::sin(t * 5 + puff), r = 4 + 8 * t;
            const double d = std::hypot(x - cx, y - cy) / r;
            if (d < 1)
                a = std::max(a, std::min(1.0, 1.6 * (1 - d) * (1 - 0.8 * t)));
        }
        const double g = tone + 0.15 * Noise(px, py, f);
        return a > 0.05 ? Argb(a, g, g, g) : 0;
    };
}

// A flickering flame on the bottom centre.
Painter Flame(double size)
{
    return [size](int f, double x, double y, int px, int py) {
        const double top = -size * (0.8 + 0.2 * std::sin(f * 1.7));
        const double base = size * 0.6;
        if (y > base || y < top)
            return std::uint16_t{0};
        const double t = (base - y) / (base - top); // 0 at the base, 1 at the tip
        const double half = size * 0.45 * (1 - t) * (0.9 + 0.2 * std::sin(y * 0.5 + f * 2.1));
        if (std::abs(x + 2 * std::sin(t * 3 + f)) > half)
            return std::uint16_t{0};
        const double heat = 1 - t + 0.2 * Noise(px, py, f);
        return Argb(0.9, 1.0, 0.3 + 0.6 * heat, 0.1 * heat);
    };
}

// Blades turning about the centre: count blades of the given length and colour.
Painter Blades(int frames, int count, double length, double width, double r, double g, double b)
{
    return [=](int f, double x, double y, int, int) {
        const double turn = 2 * kPi * f / frames / count;
        const double dist = std::hypot(x, y);
        if (dist < 2.5)
            return Argb(1, 0.3, 0.2, 0.1);
        if (dist > length)
            return std::uint16_t{0};
        for (int k = 0; k < count; ++k) {
            const double a = turn + 2 * kPi * k / count;
            const double along = x * std::cos(a) + y * std::sin(a);
            const double across = -x * std::sin(a) + y * std::cos(a);
            if (along > 0 && std::abs(across) < width * (0.4 + 0.6 * along / length)) {
                const double lattice = (static_cast<int>(along) % 4 == 0) ? 0.7 : 1.0;
                return Argb(1, r * lattice, g * lattice, b * lattice);
            }
        }
        return std::uint16_t{0};
    };
}

// A pool (oil, or the glint of ore) whose bubble or sparkle wanders with the frames.
Painter Pool(int frames, double r, double g, double b, bool sparkle)
{
    return [=](int f, double x, double y, int px, int py) {
        const double e = (x * x) / (20.0 * 20.0) + (y * y) / (10.0 * 10.0);
        if (e > 1)
            return std::uint16_t{0};
        const double t = static_cast<double>(f) / frames;
        const double bx = 10 * std::cos(2 * kPi * t), by = 4 * std::sin(2 * kPi * t);
        const double d = std::hypot(x - bx, (y - by) * 2);
        const double shade = 0.6 + 0.4 * (1 - e) + 0.1 * Noise(px, py, 7);
        if (sparkle && (std::abs(x - bx) < 0.8 || std::abs(y - by) < 0.6) && d < 5)
            return Argb(1, 1, 1, 0.8);
        if (!sparkle && d < 2 + 2 * t)
            return Argb(1, r + 0.3, g + 0.3, b + 0.3);
        return Argb(1, r * shade, g * shade, b * shade);
    };
}

// A small light that swells and fades.
Painter Glow(int frames, double r, double g, double b)
{
    return [=](int f, double x, double y, int, int) {
        const double pulse = 0.6 + 0.4 * std::sin(2 * kPi * f / frames);
        const double d = std::hypot(x, y) / 8.0;
        return d < pulse ? Argb(1 - d / pulse * 0.7, r, g, b) : std::uint16_t{0};
    };
}

// Birds crossing the frame with beating wings.
Painter Birds(int frames, double tone)
{
    return [=](int f, double x, double y, int, int) {
        for (int k = 0; k < 3; ++k) {
            const double cx = -28 + 56.0 * std::fmod(static_cast<double>(f) / frames + k * 0.33, 1.0);
            const double cy = -6 + 5 * k;
            const double wing = (f + k) % 2 ? 2.5 : -1.5;
            const double dx = x - cx;
            if (std::abs(dx) < 4 && std::abs(y - cy + wing * std::abs(dx) / 4) < 0.8)
                return Argb(1, tone, tone, tone);
        }
        return std::uint16_t{0};
    };
}

// Water thrown up in an arc and falling into a basin.
Painter Fountain(int frames)
{
    return [=](int f, double x, double y, int px, int py) -> std::uint16_t {
        if (y > 14 && std::abs(x) < 20 - (y - 14))
            return Argb(1, 0.5, 0.5, 0.55);
        for (int k = -2; k <= 2; ++k) {
            const double t = std::fmod((std::abs(x) / 16.0) + static_cast<double>(f) / frames, 1.0);
            const double arcY = 12 - 30 * (std::abs(x) / 16.0) * (1 - std::abs(x) / 20.0) * 2;
            if (std::abs(y - arcY - k * 0.2) < 1.2 && std::abs(x) < 20 && t < 0.7)
                return Argb(0.8, 0.6, 0.8, 1.0);
        }
        return (std::abs(x) < 18 && y > 10 && y <= 14 && Noise(px, py, f) > 0.3) ? Argb(0.7, 0.4, 0.6, 1.0)
                                                                                  : std::uint16_t{0};
    };
}

// Sparks thrown from the centre, on the colour key (a BMP frame).
std::vector<std::uint32_t> SparksBmp(int f, int w, int h)
{
    std::vector<std::uint32_t> rgb(static_cast<std::size_t>(w) * h, 0xFF00FF);
    for (int k = 0; k < 12; ++k) {
        const double a = 2 * kPi * Noise(k, 0, 3), r = (2 + 14 * Noise(k, 1, 3)) * (f + 1) / 6.0;
        const int x = static_cast<int>(w / 2 + r * std::cos(a)), y = static_cast<int>(h / 2 + r * std::sin(a));
        if (x >= 0 && x < w && y >= 0 && y < h)
            rgb[static_cast<std::size_t>(y) * w + x] = k % 2 ? 0xFFE040 : 0xFF8020;
    }
    return rgb;
}

// A 4444 frame converted into a BMP on the colour key (the BMP path of the slots).
std::vector<std::uint32_t> ToBmpPixels(const std::vector<std::uint16_t>& argb)
{
    std::vector<std::uint32_t> rgb(argb.size());
    for (std::size_t i = 0; i < argb.size(); ++i) {
        const std::uint16_t p = argb[i];
        if ((p >> 12) < 6) {
            rgb[i] = 0xFF00FF;
            continue;
        }
        const std::uint32_t r = ((p >> 8) & 15) * 17, g = ((p >> 4) & 15) * 17, b = (p & 15) * 17;
        rgb[i] = (r << 16) | (g << 8) | b;
    }
    return rgb;
}

struct SlotArt {
    AnimationSlotEntry entry;
    Painter painter;  // null for the sparks
    bool bmp = false; // frames stored as BMP images
};

std::vector<SlotArt> SlotArtList()
{
    const Painter flag = [](int f, double x, double y, int, int) {
        if (x > -13 && x < -11)
            return Argb(1, 0.35, 0.25, 0.15); // the pole
        const double wave = 2 * std::sin(x * 0.4 - f * kPi / 3);
        const double top = -14 + wave;
        if (x >= -11 && x < 12 && y >= top && y < top + 12) {
            const bool stripe = static_cast<int>((y - top) / 4) % 2 == 0;
            const double light = 0.8 + 0.2 * std::cos(x * 0.4 - f * kPi / 3);
            return stripe ? Argb(1, light, light, light) : Argb(1, 0.8 * light, 0.1, 0.1);
        }
        return std::uint16_t{0};
    };
    return {
        {{"Smoke", 0, 0.2f, 8, 32, 48}, Smoke(8, 0.55)},
        {{"ChimneySmoke", 0, 0.2f, 8, 32, 64}, Smoke(8, 0.35)},
        {{"Flag", 0, 0.25f, 6, 32, 32}, flag},
        {{"Fire", 0, 0.3f, 8, 32, 32}, Flame(12)},
        {{"WaterWheel", 0, 0.2f, 8, 48, 48}, Blades(8, 8, 22, 2, 0.45, 0.3, 0.15), true},
        {{"Windmill", 0, 0.005f, 8, 64, 64}, Blades(8, 4, 30, 5, 0.85, 0.8, 0.7)},
        {{"WindmillSmall", 0, 0.2f, 8, 48, 48}, Blades(8, 4, 22, 4, 0.8, 0.75, 0.65)},
        {{"Lamp", 0, 0.1f, 4, 16, 16}, Glow(4, 1.0, 0.9, 0.5), true},
        {{"OilPoint", 0, 0.1f, 8, 48, 32}, Pool(8, 0.08, 0.07, 0.1, false)},
        {{"ResourcePoint", 0, 0.1f, 8, 48, 32}, Pool(8, 0.55, 0.5, 0.4, true)},
        {{"Forge", 0, 0.2f, 6, 32, 32}, Glow(6, 1.0, 0.5, 0.1)},
        {{"Steam", 0, 0.2f, 8, 32, 48}, Smoke(8, 0.9)},
        {{"Sparks", 0, 0.3f, 6, 32, 32}, nullptr, true},
        {{"Propeller", 0, 0.5f, 4, 32, 32}, Blades(4, 2, 14, 2, 0.3, 0.3, 0.3)},
        {{"Beacon", 0, 0.1f, 4, 16, 16}, Glow(4, 1.0, 0.15, 0.1)},
        {{"Birds", 0, 0.01f, 8, 64, 32}, Birds(8, 0.15)},
        {{"Gulls", 0, 0.01f, 8, 64, 32}, Birds(8, 0.95)},
        {{"Fountain", 0, 0.01f, 8, 48, 48}, Fountain(8)},
        {{"Campfire", 0, 0.01f, 8, 32, 32}, Flame(9)},
    };
}

} // namespace

std::vector<AnimationSlotEntry> SampleAnimationSlots()
{
    std::vector<AnimationSlotEntry> entries;
    for (const SlotArt& art : SlotArtList())
        entries.push_back(art.entry);
    return entries;
}

bool WriteAnimationSlots(const std::string& outDir)
{
    const std::vector<SlotArt> arts = SlotArtList();
    for (const SlotArt& art : arts) {
        const AnimationSlotEntry& s = art.entry;
        std::vector<LesSource> entries;
        for (int f = 0; f < s.frames; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "frame%02d", f + 1);
            std::vector<std::uint8_t> data;
            if (!art.painter)
                data = MakeBmp24(s.width, s.height, SparksBmp(f, s.width, s.height));
            else if (art.bmp)
                data = MakeBmp24(s.width, s.height, ToBmpPixels(Paint(f, s.width, s.height, art.painter)));
            else
                data = MakeRawAnimationFrame(s.width, s.height, Paint(f, s.width, s.height, art.painter));
            entries.push_back({name, static_cast<std::uint16_t>(f + 1), std::move(data)});
        }
        if (!WriteLesArchive(outDir, "Data/Objects/Animation/" + s.name + ".les", entries))
            return false;
    }
    const auto list = BuildAnimationList(SampleAnimationSlots());
    return WriteFileBytes(outDir, "Data/Animation.anf", list.data(), list.size());
}

} // namespace sampledata
