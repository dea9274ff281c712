#pragma once
// Production queues, garrisons and the players' unit lists, as the building behaviour uses them.
#include <cstdint>
#include <vector>

class THouse;
class TUnit;

// Removes one queued entry of the unit type from the player's building; refund gives its cost
// back.
void RemoveUnitFromHouseQueue(std::uint8_t player, std::uint16_t house, std::uint16_t unitType, std::uint8_t refund);
// The first unit of a player's unit list (units link through their next field); null when none.
TUnit* PlayerFirstUnit(std::uint8_t player);
// Every ship on the map. Main thread only.
extern std::vector<TUnit*> g_ShipUnits;
