// Least bodies of unit and building services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "units/house.h"
#include "units/unit.h"

// No building records exist yet: nothing to read, so no building sound plays.
bool GetHouseSoundFields(const THouse*, THouseSoundFields&)
{
    return false;
}

bool GetUnitSoundFields(const TUnit*, TUnitSoundFields&)
{
    return false;
}
