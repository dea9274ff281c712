#pragma once
// Building graphics: the reference-counted phases (construction, standing and ruin pictures) of a
// building type, loaded on demand by the loader thread.
#include <cstdint>

class THouseType;

class CHousePhaseGraphic {
public:
    // Loads the phase's pictures, depth data and texture from the type's archive entries starting
    // at phaseCode. Runs on the loader thread.
    bool LoadSprites(THouseType* type, std::int32_t phaseCode);
    // Opens Data\Objects\Houses\ + name + ".les" in the given archive slot and loads the
    // building type's phase graphics.
    static void Load(std::uint32_t slot, const char* name);
};
