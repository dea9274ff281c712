#pragma once
// Unit types and their graphics.
#include <cstdint>

class TBasicUnit;

// Builds the animation phases (one texture frame per sprite) of one work state of a unit type.
// Runs on the loader thread; false when the archive entry cannot be read.
bool LoadUnitPhases(TBasicUnit* type, std::uint32_t work);
