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

// The link slot of a building in a stored unit image: (owner << 16) | index, 0xFFFFFFFF for none.
std::uint32_t HouseLinkSlot(const THouse* house);
