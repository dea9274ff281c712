#pragma once
// Build-site rules: whether a building type may stand at a cell, and when not, why (a text of the
// string table in g_CantBuildReason, which the building cursor shows). The test reads the map
// only; it never changes it. Main thread only.
#include <cstdint>
#include <string_view>

constexpr int CANT_BUILD_REASON_SIZE = 256;
// Emptied at the start of every full test; on refusal the text of the refusal's id.
extern char16_t g_CantBuildReason[CANT_BUILD_REASON_SIZE];

// Copies the string-table text of an id into g_CantBuildReason (cut to fit).
void SetCantBuildReason(std::u16string_view id);

bool CanBuildHouse(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type, std::uint8_t nation);
bool CanBuildHouseAt(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type, std::uint8_t nation);

// Whether the cell lies inside the playable border (x 4..W-4, y 10..H-10).
bool IsInPlayableBorder(std::int32_t x, std::int32_t y);
