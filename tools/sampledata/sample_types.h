#pragma once
// The unit and building types of the sample game. The parameter files are written from these
// tables, and the writers of unit and building graphics draw one archive per named graphic, so
// every type the parameter files define has pictures.
//
// Sides 0-4 are the nations (Russia, Great Britain, France, Germany, Austria-Hungary) and all
// share the lists below; side 5 (neutral) has the map's neutral buildings and no units.
// A nation other than 0 names its unit graphics by reference ("1" + two-digit type: the graphics
// of nation 0's type), so each unit graphic exists once, drawn in the player colour.
#include <array>
#include <cstdint>
#include <string>

namespace sampledata {

constexpr int kSampleNations = 5;
constexpr int kSampleSides = 6;
constexpr int kNeutralSide = 5;

struct SampleUnitType {
    std::uint8_t type;      // index within the nation (0..39)
    std::uint8_t kind;      // behaviour kind 1..16
    const char* name;       // shown name
    const char* graphic;    // archive under Data\Units\ (nation 0's; type 23 adds "_2")
    std::uint16_t width;    // frame box, pixels
    std::uint16_t height;   // frame box above the foot point
};

// Kinds: 1 fighter, 2/5/7/8 default ground units, 3 tanks, 4 field guns, 6 workers, 9 flame throwers,
// 10 heavy guns, 11 aircraft, 12 bombers, 13-15 ships, 16 machine gunners.
inline constexpr std::array<SampleUnitType, 30> kSampleUnitTypes = {{
    {0, 6, "Worker", "Worker", 32, 48},
    {1, 2, "Worker with load", "WorkerLoaded", 32, 48}, // how a worker carrying food looks
    {2, 2, "Rifleman", "Rifleman", 32, 48},
    {3, 2, "Grenadier", "Grenadier", 32, 48},
    {4, 5, "Cavalry", "Cavalry", 56, 56},
    {5, 4, "Field gun", "FieldGun", 64, 48},
    {6, 16, "Machine gunner", "MachineGunner", 36, 48},
    {7, 2, "Sapper", "Sapper", 32, 48},
    {8, 10, "Mortar", "Mortar", 72, 56},
    {9, 9, "Flame thrower", "FlameThrower", 32, 48},
    {10, 12, "Bomber", "Bomber", 128, 80},
    {11, 1, "Fighter", "Fighter", 96, 64},
    {12, 11, "Reconnaissance plane", "ReconPlane", 96, 64},
    {13, 4, "Anti-aircraft gun", "AntiAircraftGun", 64, 48},
    {14, 3, "Tank", "Tank", 80, 64},
    {15, 3, "Armoured car", "ArmouredCar", 72, 56},
    {16, 5, "Dragoon", "Dragoon", 56, 56},
    {17, 13, "Troop transport", "Transport", 160, 96},
    {18, 14, "Destroyer", "Destroyer", 192, 112},
    {19, 15, "Cruiser", "Cruiser", 256, 144},
    {20, 15, "Battleship", "Battleship", 288, 160},
    {21, 4, "Heavy gun", "HeavyGun", 64, 48},
    {22, 10, "Howitzer", "Howitzer", 72, 56},
    {23, 10, "Siege howitzer", "SiegeHowitzer", 72, 56},
    {24, 16, "Armoured lorry", "ArmouredLorry", 80, 60},
    {25, 2, "Guardsman", "Guardsman", 32, 48},
    {26, 2, "Marine", "Marine", 32, 48},
    {27, 2, "Stormtrooper", "Stormtrooper", 32, 48},
    {28, 7, "Medic", "Medic", 32, 48},
    {29, 8, "Scout", "Scout", 36, 48},
}};

struct SampleHouseType {
    std::uint8_t type; // index within the side (0..24)
    const char* name;
    const char* graphic; // archive under Data\Objects\Houses\ (the same for every nation)
    std::uint8_t rows;   // footprint rows
    std::uint8_t cells;  // cells per footprint row
    std::uint16_t width; // sprite, pixels; the anchor is (width / 2, height - 24)
    std::uint16_t height; // tall enough for the walls and roof above the footprint
};

inline constexpr std::array<SampleHouseType, 25> kSampleHouseTypes = {{
    {0, "Power plant", "PowerPlant", 2, 2, 240, 176},
    {1, "Pillbox", "Pillbox", 1, 1, 112, 104},
    {2, "Science academy", "ScienceAcademy", 3, 3, 336, 232},
    {3, "Barracks", "Barracks", 3, 3, 336, 232},
    {4, "Artillery works", "ArtilleryWorks", 3, 3, 336, 232},
    {5, "War academy", "WarAcademy", 3, 3, 336, 232},
    {6, "Town hall", "TownHall", 3, 3, 336, 232},
    {7, "Bunker", "Bunker", 1, 1, 112, 104},
    {8, "Market", "Market", 2, 2, 240, 176},
    {9, "Dwelling", "Dwelling", 2, 2, 240, 176},
    {10, "Iron mine", "IronMine", 2, 2, 240, 176},
    {11, "Gold mine", "GoldMine", 2, 2, 240, 176},
    {12, "Lumber mill", "LumberMill", 2, 2, 240, 176},
    {13, "Oil well", "OilWell", 1, 1, 112, 104},
    {14, "Mint", "Mint", 2, 2, 240, 176},
    {15, "Farm", "Farm", 2, 2, 240, 176},
    {16, "Stables", "Stables", 3, 3, 336, 232},
    {17, "Field hospital", "FieldHospital", 2, 2, 240, 176},
    {18, "Hospital", "Hospital", 3, 3, 336, 232},
    {19, "Tank factory", "TankFactory", 3, 3, 336, 232},
    {20, "Air hangar", "AirHangar", 3, 4, 432, 256},
    {21, "Watchtower", "Watchtower", 1, 1, 112, 144},
    {22, "Port", "Port", 3, 3, 336, 232},
    {23, "Ordnance depot", "OrdnanceDepot", 3, 3, 336, 232},
    {24, "Howitzer emplacement", "HowitzerEmplacement", 2, 2, 240, 176},
}};

// The neutral side's buildings: the map's own objects (types 0 and 1 may share cells).
inline constexpr std::array<SampleHouseType, 6> kSampleNeutralHouseTypes = {{
    {0, "Haystack", "Haystack", 1, 1, 112, 96},
    {1, "Well", "Well", 1, 1, 112, 96},
    {2, "Farmhouse", "Farmhouse", 2, 2, 240, 176},
    {3, "Windmill", "Windmill", 2, 2, 240, 176},
    {4, "Chapel", "Chapel", 2, 2, 240, 176},
    {5, "Ruined manor", "RuinedManor", 3, 3, 336, 232},
}};

// Frames per work (animation code 0..29) of a sample unit type; 0 = the type has no such
// animation. The unit-graphics writer draws exactly these, the parameter files declare them.
// Works: 0 walk, 1 stand, 2 aim, 4 idle (soldiers lie down, guns stand), 5 turn (angle steps per
// eighth of a turn), 6 fire, 7 close attack (people on foot and horsemen fight hand to hand),
// 8 crawl, 10 gather and 11 labour (workers), 14 taxi (aircraft), 15 die.
// Work 3 (the upright stand) is made from another work by the game.
inline std::array<std::uint8_t, 30> SampleAnimationSizes(const SampleUnitType& t)
{
    std::array<std::uint8_t, 30> n{};
    switch (t.kind) {
    case 1: case 11: case 12: // aircraft
        n[0] = 2; n[4] = 4; n[5] = 4; n[6] = 2; n[14] = 2; n[15] = 4;
        break;
    case 3: // tanks
        n[0] = 2; n[1] = 1; n[4] = 4; n[5] = 4; n[6] = 3; n[15] = 4;
        break;
    case 4: case 10: // guns
        n[0] = 4; n[1] = 1; n[4] = 4; n[5] = 2; n[6] = 4; n[15] = 4;
        break;
    case 13: case 14: case 15: // ships
        n[0] = 1; n[4] = 1; n[5] = 4;
        break;
    case 5: // horsemen
        n[0] = 8; n[1] = 1; n[4] = 6; n[5] = 1; n[6] = 4; n[7] = 4; n[15] = 6;
        break;
    default: // people on foot
        n[0] = 8; n[1] = 1; n[2] = 2; n[4] = 6; n[5] = 1; n[6] = 4; n[7] = 4; n[8] = 6; n[15] = 6;
        if (t.kind == 6) {
            n[10] = 6;
            n[11] = 6;
        }
        break;
    }
    return n;
}

// The graphic name a nation's parameter file gives unit type t (before the loader adds "_2" to
// type 23): nation 0 names its own archive, the others refer to nation 0's type.
inline std::string SampleUnitGraphicName(int nation, const SampleUnitType& t)
{
    if (nation == 0)
        return t.graphic;
    const char digits[] = {'1', static_cast<char>('0' + t.type / 10), static_cast<char>('0' + t.type % 10), 0};
    return digits;
}

// The archive the game opens for nation 0's unit type t (Data\Units\ + this + ".les").
inline std::string SampleUnitArchiveName(const SampleUnitType& t)
{
    return t.type == 23 ? std::string(t.graphic) + "_2" : std::string(t.graphic);
}

} // namespace sampledata
