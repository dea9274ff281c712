#pragma once
// Ship graphics: a ship type's hull, construction and wreck pictures, kept in parts that the
// loader thread loads on demand.
#include <cstdint>

struct TShipData;

// Loads the frames of one ship part (kind 0 hull, 1 construction, 2 wreck; index is the part
// index + 1) and marks the part loaded. Runs on the loader thread.
void ShipPartsStep(TShipData* data, std::uint8_t partKind, std::uint8_t partIndex, std::uint32_t flags);

class TBasicUnit;

// Load state of one ship part of a ship type (kind 0 hull, 1 construction, 2 wreck; orientation
// 0..7): 0 not started, 1 loading, 2 loaded.
std::uint8_t ShipPartState(TBasicUnit* type, std::uint8_t kind, std::uint8_t orient);
// Takes a hold on one ship part (kind 0 hull, 1 construction, 2 wreck) and starts its load when
// it is not loaded yet.
void GetShipPart(TBasicUnit* type, std::uint8_t kind, std::uint8_t orient);
// Gives back a unit's hold on one ship part.
void ReturnShipPart(TBasicUnit* type, std::uint8_t kind, std::uint8_t orient);

// A new ship unit type object (the ship graphics class), filled by the parameter loader.
TBasicUnit* CreateShipUnitType();
