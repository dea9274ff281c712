// Least bodies of unit and building services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include <string>

#include "core/archive.h"
#include "core/error_log.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/unit_types.h"

bool LoadUnitPhases(TBasicUnit*, std::uint32_t)
{
    ReportError("LoadUnitPhases: unit graphics are not available yet");
    return false;
}

bool CHousePhaseGraphic::LoadSprites(THouseType*, std::int32_t)
{
    ReportError("CHousePhaseGraphic::LoadSprites: building graphics are not available yet");
    return false;
}

// Until building graphics exist, a type's archive is only opened, so that its slot is taken.
void CHousePhaseGraphic::Load(std::uint32_t slot, const char* name)
{
    CloseLes(slot);
    Load_LesHeader(slot, (std::string(LES_FOLDER_HOUSES) + name + ".les").c_str());
}

// Until unit types exist, a parameter record makes no type object and loads no graphics.
bool CreateUnitTypeFromParams(int, int, const TUnitParamRecord&)
{
    return true;
}

void LoadUnitTypeGraphics(int, int) {}

bool UnitInit()
{
    return true;
}

void UnitDone() {}

// No building or unit records exist yet: nothing to read, so no building or unit sound plays.
bool GetHouseSoundFields(const THouse*, THouseSoundFields&)
{
    return false;
}

bool GetUnitSoundFields(const TUnit*, TUnitSoundFields&)
{
    return false;
}
