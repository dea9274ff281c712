#pragma once
// Workers: the food cycle (gather at a crop cell, carry to the nearest storehouse), construction
// and repair of the owner's buildings, digging map works, and the worker's own path stepping.
//
// Threads: main thread only (the game cycle); random draws use the shared table.
#include <cstdint>

class TUnit;

// Cheat and test switch: a construction is finished at the first labour loop. Main thread only.
extern bool g_InstantBuild;

// A gathering loop adds this much to the load; a full load goes to the storehouse.
constexpr std::uint16_t kGatherStep = 10;
constexpr std::uint16_t kFullLoad = 200;
// Food one trip delivers at gathering factor 1.0, whatever the load.
constexpr double kDeliveryFood = 80.0;

// The construction graphic shown with stepsLeft construction steps to go, for a type with that
// many standing variants and build work: 0..variants-1 (0 for a type without variants).
std::int32_t ConstructionPhase(std::uint8_t variants, std::uint16_t buildWork, std::uint16_t stepsLeft);
// The hit points one repair loop gives a finished building: at least 1.0.
float RepairStep(std::uint16_t maxHitPoints, std::uint16_t buildWork);

// Sends a loaded worker to the exit point of the nearest finished storehouse (types 15 and 6);
// stops it where it is when there is none.
void GoToNearestStorehouse(TUnit* unit);
void WorkerNextPathStep(TUnit* unit);
void WorkerPathEnd(TUnit* unit);
