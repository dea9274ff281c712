#pragma once
// Writers of the unit and building parameter files, the player colours, the ships' gun-tower
// parameters and the animation slots (Data\Animation.anf with its archives), made from the sample
// type lists of sample_types.h.
#include <cstdint>
#include <string>
#include <vector>

#include "sample_types.h"
#include "units/house_types.h"
#include "units/parameter_files.h"

namespace sampledata {

// The building type record of a sample type of a side (what the loader should make of it).
THouseType SampleHouseRecord(int side, const SampleHouseType& type);
// The unit-type record of a sample type of a nation, as stored (before the loader's rules).
TUnitParamRecord SampleUnitRecord(int nation, const SampleUnitType& type);

// "~xg1", the counts and the records of a side's file.
std::vector<std::uint8_t> BuildParameterFile(int side);
// Any records: a fixture of the tests.
std::vector<std::uint8_t> BuildParameterFile(const std::vector<THouseType>& houses,
                                             const std::vector<TUnitParamRecord>& units);
std::string SampleColorsText();
std::string SampleShipTowersText();

// The six parameter files, Data\Colors.txt, Data\ShipTowersParams.txt and the unit sounds the
// records name.
bool WriteParameterFiles(const std::string& outDir);

// One record of Data\Animation.anf.
struct AnimationSlotEntry {
    std::string name; // archive under Data\Objects\Animation\, without extension (at most 29 characters)
    std::uint8_t mode = 0;
    float step = 1.0f;
    std::uint8_t frames = 0;
    std::uint16_t width = 64;
    std::uint16_t height = 64;
    std::uint16_t offsetX = 0;
    std::uint16_t offsetY = 0;
};
std::vector<std::uint8_t> BuildAnimationList(const std::vector<AnimationSlotEntry>& slots);
// An animation-slot archive entry in the raw form: u8 width, u8 height, then 4444 pixels at 8.
std::vector<std::uint8_t> MakeRawAnimationFrame(int width, int height, const std::vector<std::uint16_t>& pixels);
// The sample slots, and Data\Animation.anf with one archive per slot.
std::vector<AnimationSlotEntry> SampleAnimationSlots();
bool WriteAnimationSlots(const std::string& outDir);

} // namespace sampledata
