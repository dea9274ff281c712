#pragma once
// Writers of the unit graphics archives (Data\Units\<name>.les): one entry per work, with the
// frames of the five stored facings in up to three layers, and the figures they draw.
#include <cstdint>
#include <string>
#include <vector>

#include "archives.h"

namespace sampledata {

// One frame: its place in the type's sprite box and its ARGB 4444 pixels, top row first.
struct UnitFrameImage {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> pixels;
};

// The frames of one work: layers[l][orient * frameCount + frame]; layer 0 the picture, 1 the
// shadow (layer 2), 2 the overlay (layer 3). An empty layer 1 or 2 is left out.
struct UnitWorkImages {
    int frameCount = 0;
    std::vector<UnitFrameImage> layers[3];
};

// The archive entry of one work (layout in docs/formats.md).
std::vector<std::uint8_t> BuildUnitWorkEntry(const UnitWorkImages& work);

// Frames per work of the sample figures of a behaviour kind (0 = the kind has no such work). The
// sample parameter files give the same counts as the types' animation sizes.
int SampleUnitWorkFrames(std::uint8_t kind, int work);
// The sprite box of the sample figures of a kind.
void SampleUnitBox(std::uint8_t kind, int& width, int& height);

// Draws work of sample type `type` (its kind decides the figure) in all five stored facings.
UnitWorkImages DrawSampleUnitWork(std::uint8_t type, std::uint8_t kind, int work);
// Every work entry of one sample type's archive.
std::vector<LesSource> MakeSampleUnitArchive(std::uint8_t type, std::uint8_t kind);

// The archives of every sample unit type.
bool WriteUnitGraphics(const std::string& outDir);

} // namespace sampledata
