// Least bodies of unit and building services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "core/error_log.h"
#include "units/building_graphics.h"
#include "units/house.h"
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

THouse* g_pHouse[kHouseSlots] = {};
std::uint16_t NumHouse[8] = {};

// No house records exist yet: an array is a name without houses.
THouse* NewHouseArray(std::uint32_t)
{
    return nullptr;
}

void DeleteHouseArray(THouse*) {}

THouse* HouseAt(THouse*, std::uint32_t)
{
    return nullptr;
}

bool GetHouseMapFields(const THouse*, THouseMapFields&)
{
    return false;
}

TUnit* g_NeutralUnits = nullptr;
std::uint8_t g_PlayerUnitCounts[kPlayerUnitCountBytes] = {};

void FreeUnitList(TUnit*& head)
{
    head = nullptr;
}
