#pragma once
// Production queues and garrisons of buildings. A queue holds unit types, the first one in
// production with the building's timer counting down; QueueCount 65535 is endless production of
// Queue[0], paid one unit at a time. The unit in production counts toward its owner's power
// demand from the moment it heads the queue until it is finished or removed. The garrison is the
// array of units sheltered inside.
//
// Threads: main thread only (the orders, the computer player and the unit walk).
#include <cstdint>

class THouse;
class TUnit;

constexpr std::uint16_t HOUSE_QUEUE_ENDLESS = 65535;

// Appends a unit type the caller has already paid for; false when refused (nothing changed), and
// then the caller gives the price back.
bool AddUnitToHouseQueue(std::uint8_t player, std::uint16_t house, std::uint16_t unitType, std::uint8_t endless);
// Removes one entry of the type (the last one behind the head, else the head); refund gives its
// price back.
void RemoveUnitFromHouseQueue(std::uint8_t player, std::uint16_t house, std::uint16_t unitType, std::uint8_t refund);
// Finishes the head of the queue: the unit leaves the building toward its exit and rally point.
void HouseProduceUnit(std::uint8_t player, std::uint16_t house);
// A lost building's queue: the head's power need and the price of every paid entry go back to
// the owner, and the queue is emptied.
void ReleaseHouseQueue(THouse* house);

// false when the unit is inside or transported already, or the building cannot take it.
bool PutUnitInHouse(TUnit* unit, THouse* house);
// A unit inside a building leaves it through its door toward the exit and the rally point.
void GetUnitOutOfHouse(THouse* house, TUnit* unit);
void SetHousePoint(THouse* house, float x, float y);
