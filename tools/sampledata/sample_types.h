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
};

// Kinds: 1 fighter, 2/5/7/8 default ground units, 3 tanks, 4 field guns, 6 workers, 9 flame throwers,
// 10 heavy guns, 11 aircraft, 12 bombers, 13-15 ships, 16 machine gunners.
inline constexpr std::array<SampleUnitType, 30> kSampleUnitTypes = {{
    {0, 6, "Worker", "Worker"},
    {1, 2, "Militia", "Militia"},
    {2, 2, "Rifleman", "Rifleman"},
    {3, 2, "Grenadier", "Grenadier"},
    {4, 5, "Cavalry", "Cavalry"},
    {5, 4, "Field gun", "FieldGun"},
    {6, 16, "Machine gunner", "MachineGunner"},
    {7, 2, "Sapper", "Sapper"},
    {8, 10, "Mortar", "Mortar"},
    {9, 9, "Flame thrower", "FlameThrower"},
    {10, 12, "Bomber", "Bomber"},
    {11, 1, "Fighter", "Fighter"},
    {12, 11, "Reconnaissance plane", "ReconPlane"},
    {13, 4, "Anti-aircraft gun", "AntiAircraftGun"},
    {14, 3, "Tank", "Tank"},
    {15, 3, "Armoured car", "ArmouredCar"},
    {16, 5, "Dragoon", "Dragoon"},
    {17, 13, "Troop transport", "Transport"},
    {18, 14, "Destroyer", "Destroyer"},
    {19, 15, "Cruiser", "Cruiser"},
    {20, 15, "Battleship", "Battleship"},
    {21, 4, "Heavy gun", "HeavyGun"},
    {22, 10, "Howitzer", "Howitzer"},
    {23, 10, "Siege howitzer", "SiegeHowitzer"},
    {24, 16, "Armoured lorry", "ArmouredLorry"},
    {25, 2, "Guardsman", "Guardsman"},
    {26, 2, "Marine", "Marine"},
    {27, 2, "Stormtrooper", "Stormtrooper"},
    {28, 7, "Medic", "Medic"},
    {29, 8, "Scout", "Scout"},
}};

struct SampleHouseType {
    std::uint8_t type; // index within the side (0..24)
    const char* name;
    const char* graphic; // archive under Data\Objects\Houses\ (the same for every nation)
};

inline constexpr std::array<SampleHouseType, 25> kSampleHouseTypes = {{
    {0, "Power plant", "PowerPlant"},
    {1, "Pillbox", "Pillbox"},
    {2, "Science academy", "ScienceAcademy"},
    {3, "Barracks", "Barracks"},
    {4, "Artillery works", "ArtilleryWorks"},
    {5, "War academy", "WarAcademy"},
    {6, "Town hall", "TownHall"},
    {7, "Bunker", "Bunker"},
    {8, "Market", "Market"},
    {9, "Dwelling", "Dwelling"},
    {10, "Iron mine", "IronMine"},
    {11, "Gold mine", "GoldMine"},
    {12, "Lumber mill", "LumberMill"},
    {13, "Oil well", "OilWell"},
    {14, "Mint", "Mint"},
    {15, "Farm", "Farm"},
    {16, "Stables", "Stables"},
    {17, "Field hospital", "FieldHospital"},
    {18, "Hospital", "Hospital"},
    {19, "Tank factory", "TankFactory"},
    {20, "Air hangar", "AirHangar"},
    {21, "Watchtower", "Watchtower"},
    {22, "Port", "Port"},
    {23, "Ordnance depot", "OrdnanceDepot"},
    {24, "Howitzer emplacement", "HowitzerEmplacement"},
}};

// The neutral side's buildings: the map's own objects (types 0 and 1 may share cells).
inline constexpr std::array<SampleHouseType, 6> kSampleNeutralHouseTypes = {{
    {0, "Haystack", "Haystack"},
    {1, "Well", "Well"},
    {2, "Farmhouse", "Farmhouse"},
    {3, "Windmill", "Windmill"},
    {4, "Chapel", "Chapel"},
    {5, "Ruined manor", "RuinedManor"},
}};

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
