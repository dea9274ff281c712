#pragma once
// The largest sample map (Coast.dat, 160 x 480) written to a temporary game folder and loaded as
// the game loads a map, with its pass maps built.
#include <filesystem>
#include <string>

#include "map/map_file.h"
#include "map/map_grid.h"
#include "parameters.h"
#include "players/strateg.h"
#include "sample_types.h"
#include "units/parameter_files.h"
#include "units/unit_types.h"
#include "movement/passability.h"
#include "platform/paths.h"
#include "maps.h"
#include "sample_data.h"

inline bool LoadCoastMap(const char* folderName)
{
    const std::string folder = (std::filesystem::temp_directory_path() / folderName).string();
    const sampledata::SampleMap map = sampledata::MakeCoastMap();
    const auto file = sampledata::BuildMapFile(map.data, map.tail, true);
    if (!sampledata::WriteFileBytes(folder, "Maps/Coast.dat", file.data(), file.size()))
        return false;
    plat::SetGameRoot(folder);
    const bool ok = LoadMapFile("Coast.dat", nullptr);
    plat::SetGameRoot(".");
    if (ok)
        MakeBasicMap();
    return ok;
}

// The Coast map's heights, objects and blocked cells in the map layers.
struct CoastLayers {
    CoastLayers()
    {
        const sampledata::SampleMap map = sampledata::MakeCoastMap();
        g_MapWidth = map.data.width;
        g_MapHeight = map.data.height;
        SetMapGeometry();
        for (std::size_t i = 0; i < map.data.cells.size() && i < g_MapCellCount; ++i) {
            g_pHeightMap[i] = map.data.cells[i].height;
            g_pObjectMap[i] = map.data.cells[i].object & 0x7FFF;
            g_pCellFlags[i] = (map.data.cells[i].object & 0x8000) != 0 ? 1 : 0;
        }
        MakeBasicMap();
    }
    ~CoastLayers() { DestroyMap(); }
    CoastLayers(const CoastLayers&) = delete;
    CoastLayers& operator=(const CoastLayers&) = delete;
};
// The map's players get the sample unit types of their nations (the previous types freed).
inline void MakeSampleUnitTypes()
{
    FreeUnitTypes();
    for (int p = 0; p < g_wNumPlayer; ++p)
        if (g_Strateg[p] != nullptr && g_Strateg[p]->Nation < UNIT_NATIONS)
            for (const auto& t : sampledata::kSampleUnitTypes)
                if (GetUnitType(g_Strateg[p]->Nation, t.type) == nullptr)
                    CreateUnitTypeFromParams(g_Strateg[p]->Nation, t.type,
                                             sampledata::SampleUnitRecord(g_Strateg[p]->Nation, t));
}
