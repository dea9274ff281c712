#pragma once
// Writers of the unit graphics archives (Data\Units\<name>.les): one entry per work, with the
// frames of the five stored facings in up to three layers, and the figures they draw.
#include <cstdint>
#include <string>
#include <vector>

#include "archives.h"
#include "sample_types.h"

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

// Frames of a work in a sample type's archive: the type's animation size, and one frame of work 3.
int SampleUnitWorkFrames(const SampleUnitType& type, int work);
// Draws a work of a sample type in all five stored facings, in the type's sprite box with the foot
// point at the box centre (where the game places the unit's position).
UnitWorkImages DrawSampleUnitWork(const SampleUnitType& type, int work);
// Every work entry of one sample type's archive.
std::vector<LesSource> MakeSampleUnitArchive(const SampleUnitType& type);

// Ship archives (layout in docs/formats.md): entry 0 the ship record, 1..8 the hulls, 9 and 10 the
// construction pictures, 11..18 the wrecks, 255 the boiling line.
std::vector<std::uint8_t> BuildSampleShipRecord(const SampleUnitType& type);
std::vector<LesSource> MakeSampleShipArchive(const SampleUnitType& type);

// A file of the game folder: its game path and bytes.
struct SampleFile {
    std::string path;
    std::vector<std::uint8_t> bytes;
};
// The selection signs and aircraft wreck pictures that unit drawing loads (.444 files).
std::vector<SampleFile> MakeUnitDrawPictures();

// The archives of every sample unit type, and the pictures above.
bool WriteUnitGraphics(const std::string& outDir);

} // namespace sampledata
