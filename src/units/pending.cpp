// Least bodies of unit and building services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include <string>

#include "core/archive.h"
#include "core/error_log.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_types.h"

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

// Unit drawing is not built yet: units stay invisible.
void TBasicUnit::Draw(TUnit*) {}
void TBasicUnit::DrawDead(TUnit*) {}

// No building records exist yet: nothing to read, so no building sound plays.
bool GetHouseSoundFields(const THouse*, THouseSoundFields&)
{
    return false;
}

// No building records exist yet, so no unit can point at one.
std::uint32_t HouseLinkSlot(const THouse*)
{
    return 0xFFFFFFFFu;
}
