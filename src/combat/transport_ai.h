#pragma once
// The troop transports' state machine: a player's ships of type 17 sail to a loading point on the
// own coast, gather idle soldiers, sail to a landing point of a target player, unload and start
// again. The state lives in the ship (m_TransportState, m_TransportCounter, m_TransportTag).
#include <cstdint>

class TUnit;

constexpr std::uint32_t TRANSPORT_IDLE = 0;
constexpr std::uint32_t TRANSPORT_TO_LOADING = 1;
constexpr std::uint32_t TRANSPORT_LOADING = 2;
constexpr std::uint32_t TRANSPORT_TO_LANDING = 3;
constexpr std::uint32_t TRANSPORT_UNLOADING = 4;
// Attempts a transport makes at each wait before it gives up.
constexpr std::uint8_t TRANSPORT_RETRIES = 6;

// One step for all of the player's transports; target -1 means no landing target (nothing done).
void TransportAiExecute(std::uint8_t player, std::int8_t targetPlayer);
// One of the given player's five shore points nearest the ship, at random, as the ship's goal;
// false when that player has no computer-player object.
bool PickLandingPoint(TUnit* ship, std::uint8_t player);
// Calls the owner's idle soldiers to the ship.
void GatherPassengers(TUnit* ship);
// Turns the search for an unload place round the ship and sails there; false when none is found.
bool SeekUnloadPlace(TUnit* ship);
double PointDistance(double x1, double y1, double x2, double y2);
