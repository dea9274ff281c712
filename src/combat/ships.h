#pragma once
// Ships as the rest of the game asks about them.
#include <cstdint>

class TUnit;

// The live ship whose hull holds the map pixel (x, y), or null; player 255 asks for any player's
// ship. Only ships within 600 pixels of the point are tested.
const TUnit* ShipQuery(float x, float y, std::uint8_t player);
// Whether another ship lies too close to this one to let it leave its yard.
bool FindShipTooClose(const TUnit* ship);
