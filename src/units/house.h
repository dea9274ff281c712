#pragma once
// Buildings on the map.
#include <cstdint>

class THouse;

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
