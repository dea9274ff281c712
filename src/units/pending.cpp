// Least bodies of unit and building services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include <string>

#include "core/archive.h"
#include "core/error_log.h"
#include "units/house_behaviour.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/unit.h"
#include "units/unit_types.h"

void ReleaseEmplacementUnitGraphic(THouse*) {}
