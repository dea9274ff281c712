#pragma once
// A building's entry in a save's "Houses" link block: the parts of the record that are arrays or
// point at other objects, written after every object exists. In order: the production queue
// (count x u16; an endless queue writes its one entry), the 10 handler bytes, the target unit when
// the target player byte is at most 254, the units inside, the frame state (u32) of each
// animation record, the ship under construction when there is one; then the separator "#".
// Units are referred to as {u8 owner, u16 index in the owner's unit table}.
//
// Threads: main thread only.
#include <cstdint>
#include <functional>
#include <span>

class THouse;
class TUnit;
class TIfStreamMemory;
class TOfStreamMemory;

constexpr std::uint8_t HOUSE_LINK_SEPARATOR = '#';
// Offset of the ship-under-construction slot of the stored record: 1 there means the link entry
// holds the ship's reference.
constexpr std::int32_t HOUSE_RECORD_SHIP_SLOT = 176;

// What the stored record says the link entry holds; the loaded record keeps none of its arrays.
struct THouseLinkCounts {
    std::uint16_t queueCount = 0; // 65535: one endless entry
    std::uint16_t insideCount = 0;
    std::uint8_t targetPlayer = 255;
    bool ship = false;
};
THouseLinkCounts ReadHouseLinkCounts(std::span<const std::uint8_t, 192> record);

void WriteHouseLinks(const THouse& house, TOfStreamMemory& out);

// The unit of a player's table, or null when there is none.
using TUnitFinder = std::function<TUnit*(std::uint8_t player, std::uint16_t index)>;
// Reads the entry into a placed building: its queue and animation records are rebuilt (the
// animations from the type's lists, taking only their saved frame state), links that name no unit
// are dropped (a lost target sets the target player to 255). False (logged) when the entry is cut
// short, names a unit type beyond the table, or does not end with the separator.
bool ReadHouseLinks(THouse& house, const THouseLinkCounts& counts, TIfStreamMemory& in, const TUnitFinder& findUnit);
// Reads the entry of a building whose type has the given number of animation records without
// keeping anything: false (logged) when ReadHouseLinks would refuse it.
bool CheckHouseLinks(const THouseLinkCounts& counts, std::uint8_t animations, TIfStreamMemory& in);
