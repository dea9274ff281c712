// What the loader runs in the game: the graphics loaders of units, buildings and ships bound to
// the request kinds. The loader itself lives in the core, below the modules it loads for, so the
// game installs this binding.
#include "game/loader_services.h"

#include "combat/ship_graphics.h"
#include "core/loader_thread.h"
#include "map/map_view.h"
#include "platform/clock.h"
#include "units/building_graphics.h"
#include "units/unit_types.h"

namespace {

TLoaderServices GameLoaderServices()
{
    TLoaderServices services;
    services.loadUnitPhases = [](TBasicUnit* type, std::uint32_t work) { return LoadUnitPhases(type, work); };
    services.loadHouseSprites = [](CHousePhaseGraphic* phase, THouseType* type, std::int32_t code) {
        return phase->LoadSprites(type, code);
    };
    services.shipPartsStep = [](TShipData* ship, std::uint8_t part, std::uint8_t second) {
        ShipPartsStep(ship, part, second, 0);
    };
    services.sleepMs = [](std::uint32_t ms) { plat::SleepMs(ms); };
    services.requestRedraw = [] { g_bMapViewDirty = 1; };
    // A building phase whose load was dropped waits for no one: a later use asks for it again.
    services.dropped = [](TLoaderRequest& request) {
        if (const auto* house = std::get_if<THouseSpritesPayload>(&request.payload); house && house->phase)
            house->phase->LoadDropped();
        // A ship part whose load was dropped ends failed, so that nothing waits for it.
        if (const auto* ship = std::get_if<TShipPartPayload>(&request.payload); ship && ship->ship)
            ShipPartDropped(ship->ship, ship->part, ship->second);
    };
    return services;
}

// Installed at static initialisation too, so that any program that links the game's load has
// the binding before its first request.
[[maybe_unused]] const bool s_Installed = (InstallGameLoaderServices(), true);

} // namespace

void InstallGameLoaderServices()
{
    SetDefaultLoaderServices(&GameLoaderServices);
}
