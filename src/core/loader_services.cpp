// What the loader runs in the game: the graphics loaders of units, buildings and ships bound to
// the request kinds, the process's one loader and its entry points.
#include "combat/ship_graphics.h"
#include "core/loader_thread.h"
#include "map/map_view.h"
#include "platform/clock.h"
#include "units/building_graphics.h"
#include "units/unit_types.h"

TLoaderServices TLoaderServices::Default()
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
    return services;
}

TBackgroundLoader::TBackgroundLoader()
    : TBackgroundLoader(TLoaderServices::Default())
{
}

// Constructed at static initialisation; its thread starts with the first request.
TBackgroundLoader g_Loader;

void LoaderRequest(std::unique_ptr<TLoaderRequest> request)
{
    g_Loader.Request(std::move(request));
}

void ResumeLoaderThread()
{
    g_Loader.Resume();
}

void PollLoaderResult()
{
    g_Loader.Poll();
}

void StopLoader()
{
    g_Loader.Stop();
}

void WaitLoaderIdle()
{
    g_Loader.WaitUntilIdle();
}
