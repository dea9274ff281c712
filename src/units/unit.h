#pragma once
// Units on the map.
#include <cstdint>

class TUnit;

// One of the ten sound entries of a unit type (one per sound sub-kind 0..9).
struct TUnitSoundEntry {
    const char* name = nullptr;   // relative to "Units\", ending in "_1.wav" when variants exist
    std::uint8_t loop = 0;
    std::uint8_t positioned = 0;
    std::uint8_t variants = 0;
    std::uint8_t unused = 0;
};
constexpr int UNIT_SOUND_ENTRIES = 10;

// What the sound code reads of a unit and of its type record.
struct TUnitSoundFields {
    float x = 0.0f; // map position, pixels
    float y = 0.0f;
    float height = 0.0f; // the two height terms that follow the position
    float lift = 0.0f;
    std::int16_t number = 0;                // the unit's number
    const TUnitSoundEntry* sounds = nullptr; // UNIT_SOUND_ENTRIES entries of its type
};
// false when the record cannot be read (null).
bool GetUnitSoundFields(const TUnit* unit, TUnitSoundFields& out);

// The map's own units, linked through their next field. Main thread only.
extern TUnit* g_NeutralUnits;
// Releases and frees every unit of the list and empties it.
void FreeUnitList(TUnit*& head);
// Per-player unit counters, cleared with the map.
constexpr int kPlayerUnitCountBytes = 640;
extern std::uint8_t g_PlayerUnitCounts[kPlayerUnitCountBytes];
