#pragma once
// What buildings ask of the water object, the ships' grid, the minimap and the map objects.
#include <cstdint>

// A water cell of the water object (false within 3 cells of the map's edge and on dry maps).
bool IsTileOnWater(std::int32_t x, std::int32_t y);
// The ship passability value of a cell (0 free).
std::uint16_t GetShipPassValue(std::int32_t x, std::int32_t y);
void RebuildShipGrid(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
// Clamps a point into the ships' grid.
void ClampPointIntoShipGrid(float& x, float& y);
void RedrawMiniMapCells(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
// The advanced-path byte of a cell.
std::uint8_t GetAdvancedPathByte(std::int32_t x, std::int32_t y);
// The first byte of a map object's record (its blocking class); 0 for codes without a record.
std::uint8_t GetMapObjectClass(std::uint16_t code);
// The map's season (3 = winter).
extern std::uint32_t g_MapSeason;
