// Feeds arbitrary bytes to the parameter-file parser as every side's file, making real unit-type
// objects from whatever records pass.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "units/house_types.h"
#include "units/parameter_files.h"
#include "units/unit_types.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (int side = 0; side < PARAM_SIDES; ++side) {
        if (!ParseParameterFile({data, size}, side, "fuzz.dat"))
            continue;
        for (int i = 0; i < g_NationHouseTypeCount[side]; ++i) {
            const THouseType& t = HouseType(side, i);
            if (t.m_AnimationCount > HOUSE_LIST_SIZE || t.m_RuinPhaseCount > HOUSE_RUIN_PHASES
                || t.m_Name[HOUSE_NAME_LENGTH - 1] != 0 || t.m_GraphicName[HOUSE_GRAPHIC_NAME_SIZE - 1] != 0)
                std::abort();
        }
    }
    FreeUnitTypes();
    return 0;
}
