#pragma once
// Map files: the writer of both forms and the sample maps of the game folder.
#include <cstdint>
#include <string>
#include <vector>

#include "map/map_file.h"

namespace sampledata {

// The map content ("~AMp" onwards). oldForm writes the plain form's 180-byte house and 12-byte unit
// records.
std::vector<std::uint8_t> BuildMapImage(const TMapFileData& map, const TMapFileTail& tail, bool oldForm = false);
// The file: the compressed form, or the plain form's content as it stands.
std::vector<std::uint8_t> BuildMapFile(const TMapFileData& map, const TMapFileTail& tail, bool compressed);

// A coast zone of the water block: one polygon per arc, points {x 0..48, y 0..24}.
struct WaterZone {
    std::uint16_t value = 1;
    std::vector<std::vector<std::pair<std::uint8_t, std::uint8_t>>> arcs;
};
// The water block: 2W x H cell values, then the zones.
std::vector<std::uint8_t> BuildWaterBlock(const std::vector<std::uint16_t>& cells, const std::vector<WaterZone>& zones);

struct SampleMap {
    TMapFileData data;
    TMapFileTail tail;
};
// The sample maps: "Test.dat" (small, 2 players), "Hills.dat" (2 players, hills and forests),
// "Coast.dat" (8 players, sea, coasts and rivers), "Battle.dat" (below).
SampleMap MakeTestMap();
SampleMap MakeHillsMap();
SampleMap MakeCoastMap();
// "Battle.dat": two players whose mortars stand in each other's reach before the first
// headquarters, so a game on it opens with shells in flight.
SampleMap MakeBattleMap();

// The map's preview file ("_m.min"): the game's own minimap picture of the map as the loader
// would hold it, in the 5-6-5 display format, packed as a compressed file.
std::vector<std::uint8_t> BuildMiniMapPreview(const SampleMap& map);

bool WriteMaps(const std::string& outDir);

} // namespace sampledata
