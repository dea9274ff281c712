#pragma once
// Ship graphics: a ship type's hull, construction and wreck pictures, kept in parts that the
// loader thread loads on demand.
#include <cstdint>

struct TShipData;

// Loads the frames of one ship part (kind 0 hull, 1 construction, 2 wreck; index is the part
// index + 1) and marks the part loaded. Runs on the loader thread.
void ShipPartsStep(TShipData* data, std::uint8_t partKind, std::uint8_t partIndex, std::uint32_t flags);
