#pragma once
// Building placement of the computer players and of a human player's economy advisor: the site,
// the building record, its price and the worker sent to build it; the player's base point and
// the shore points its transports land at.
//
// Threads: main thread only, inside the player's turn; every choice draws from the shared table.
#include <cstdint>

#include "platform/types.h"

class TUnit;

// Bounds of the building area of the map, in cells.
struct TSiteSquare {
    std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
// The search square around a base cell (x +- h, y +- 2h), slid inwards where it meets a border of
// the building area so that it keeps its size, and clamped where it is larger than the area.
TSiteSquare SiteSearchSquare(std::int32_t x, std::int32_t y, std::int32_t h);
// Inside the building area: x in [4, W - 4], y in [10, H - 10].
bool InBuildingArea(std::int32_t x, std::int32_t y);
// The map pixel point of a cell.
plat::Point CellPixel(std::int32_t x, std::int32_t y);

// The whole placement of a building for the player; false when it was not placed this time.
bool BuildHouse(std::uint8_t player, std::uint16_t type);
// AdvisorBuildHouse (players/strateg.h) places for the player's selected workers.
// A buildable cell for the type near the player's base point.
bool ChooseSite(plat::Point& out, std::uint8_t player, std::uint16_t type);
// Places and pays for the building; its index, 65535 when it was not placed.
std::uint16_t PlaceHouse(std::uint8_t player, std::int32_t x, std::int32_t y, std::uint16_t type);
// The player's idle worker nearest to the cell, else the nearest busy with food, building or
// repair; null when there is none.
TUnit* FindNearestWorker(std::int32_t x, std::int32_t y, std::uint8_t player);
// Walks the worker to 7 cells short of the site.
void SendWorkerTowards(TUnit* worker, const plat::Point& site);
void OrderWorkerToBuild(TUnit* worker, std::uint16_t houseIndex);
// Moves the player's base point: mode 0 a step aside, mode 1 to the quietest of 20 random cells.
bool ChooseNewBase(std::uint8_t player, int mode);
// How strongly the player's enemies hold the area around the cell (deeper levels add the
// midpoints toward the base).
std::int32_t EnemyPresence(std::uint8_t player, const plat::Point& cell, const plat::Point& base, int depth);
// The player's landing points on the shores around its base.
void ComputeShorePoints(std::uint8_t player);
// One of the n landing points nearest to (x, y), at random; the base point when there is none.
void NearShorePoint(std::uint8_t player, plat::Point& out, std::int32_t x, std::int32_t y, std::uint32_t n);
