#pragma once
// What buildings ask of the players: prices, groups, computer players and their advisors, the
// power demand and the group manager.
#include <cstdint>

class THouse;

// The building-count limit, the special types (65533 always, 65534 a trench segment), the price
// test and the required buildings.
bool CanAffordHouse(std::uint8_t player, std::uint16_t type);
// Pays for the player's building record at that index: the price test alone (no limit, no
// required buildings); false (nothing paid) when it fails or there is no such record.
bool PayForHouse(std::uint8_t player, std::uint16_t houseIndex);
// One unit of a type: the price and the population test, the payment (false: nothing paid), and
// the price given back.
bool CanAffordUnit(std::uint8_t player, std::uint16_t type);
bool PayForUnit(std::uint8_t player, std::uint16_t type);
void RefundUnit(std::uint8_t player, std::uint16_t type);
// Sends the player's selected workers to a new building.
void SendSelectedWorkersToHouse(std::uint8_t player, THouse* house);
// The building leaves its owner's groups.
void RemoveHouseFromGroups(THouse* house);
bool IsComputerPlayer(std::uint8_t player);
// The player's advisor option for workers.
bool AdvisorWorkersOption(std::uint8_t player);
// Tells the owner's group manager about an attacked building; false without one.
bool TellGroupManagerHouseAttacked(THouse* house);
