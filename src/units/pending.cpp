// Least bodies of unit and building services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include <string>

#include "core/archive.h"
#include "core/error_log.h"
#include "units/house_behaviour.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_types.h"

// Unit drawing is not built yet: units stay invisible.
void TBasicUnit::Draw(TUnit*) {}
void TBasicUnit::DrawDead(TUnit*) {}

TUnit* g_NeutralUnits = nullptr;
std::uint16_t NumUnits[8] = {};
std::uint8_t g_PlayerUnitCounts[kPlayerUnitCountBytes] = {};

void FreeUnitList(TUnit*& head)
{
    head = nullptr;
}

// Production and per-type behaviour come later: nobody is inside a building, and losing one
// changes nothing beyond what destruction itself does.
void GetUnitOutOfHouse(THouse*, TUnit*) {}
void HouseLeaveHandler(THouse*) {}
void NeutralHouseLeaveHandler(THouse*) {}
void ReleaseEmplacementUnitGraphic(THouse*) {}
// No unit records exist yet: no ship can be read, so none claims ship cells.
bool GetShipGridFields(const TUnit*, TShipGridFields&)
{
    return false;
}

// Unit creation comes with the unit lists.
std::uint16_t CreateUnitAt(float, float, std::uint8_t, std::uint16_t, int)
{
    return 65535;
}
