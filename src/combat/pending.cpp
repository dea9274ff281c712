// Least bodies of combat and effect services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
#include "units/unit_types.h"
#include "core/error_log.h"


#include "combat/effects.h"


#include "combat/ship_waves.h"
#include "combat/tower.h"
#include "combat/unit_behaviour.h"
#include "devices/animation.h"


// Effects of buildings come with the effects: rings show nothing; delayed hits come with their own
// module.
#include "combat/house_events.h"
#include "units/house.h"

void ShowHouseRangeRing(const THouse*, float) {}


// Ship effects come with their own module: a ship stops with no effect to end.
#include "combat/unit_events.h"
#include "combat/unit_rect.h"
#include "units/unit.h"

void StopShipEffect(TUnit*) {}


// Shots, effects, ships and diplomacy come with unit behaviour: a game has none of them to load or
// free yet.
#include "combat/game_state.h"

void ResetGlobalRecordGrid() {}
void ResetGlobalRecordLists() {}


#include "units/unit_lists.h"






